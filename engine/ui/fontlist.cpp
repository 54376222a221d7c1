#include "engine/ui/fontlist.h"

#include "engine/core/file.h"
#include "engine/core/log.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/minivecfont.h"
#include "engine/media/minivecfontbuiltin.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"

#include <vector>

namespace {

constexpr const char* kBuiltInName = "__DEFAULT";
constexpr const char* kFallbackFile = "fonts/default.mvec";

// The whole file, or nothing when it cannot be opened.
bool ReadFontFile(const str& name, std::vector<unsigned char>* bytes) {
    TFile file;
    if (!file.Open(name, kModeReadBinary)) {
        return false;
    }
    const int size = file.GetSize();
    bytes->assign(size > 0 ? static_cast<size_t>(size) : 0, 0);
    const int read = bytes->empty() ? 0 : file.Read(bytes->data(), size);
    bytes->resize(read > 0 ? static_cast<size_t>(read) : 0);
    file.Close();
    return true;
}

} // namespace

TFontList& TFontList::Instance() {
    static TFontList list;
    return list;
}

TFontList::~TFontList() {
    Clear();
}

TMiniVecFont* TFontList::Get(const str& name) {
    const auto found = mFonts.find(name);
    if (found != mFonts.end()) {
        return found->second.get();
    }
    std::vector<unsigned char> bytes;
    if (name == str(kBuiltInName) ||
        (!ReadFontFile(name, &bytes) && !ReadFontFile(kFallbackFile, &bytes))) {
        bytes.assign(BuiltInMiniVecFont().begin(), BuiltInMiniVecFont().end());
    }
    std::unique_ptr<TMiniVecFont> font = TMiniVecFont::Load(std::move(bytes));
    // Bytes that are no font give one without glyphs: it counts as a font that failed to build.
    if (font->GetGlyphCount() == 0) {
        Log("Font not found: %s", name.CStr());
        font.reset();
    }
    TMiniVecFont* result = font.get();
    mFonts[name] = std::move(font);
    return result;
}

void TFontList::Clear() {
    if (mFonts.empty()) {
        return;
    }
    if (const TPlatform* platform = TPlatform::GetInstance()) {
        if (auto* drawer = dynamic_cast<TQzMiniVecDraw*>(platform->GetWin32()->mGlyphRenderer)) {
            drawer->ClearCache();
        }
    }
    mFonts.clear();
}
