// Lays arbitrary bytes out as markup text at a few wrap widths, alignments, sizes and rotations
// taken from the first bytes, measures the block, looks links up and scrolls, and draws it on the
// headless 160 x 120 display and into a small target texture with the glyph rasteriser the
// platform made at its first display.
#include "engine/core/knownfiles.h"
#include "engine/media/media.h"
#include "engine/media/minivecfontbuiltin.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/fontlist.h"
#include "engine/ui/textsprite.h"
#include "engine/ui/windowsystem.h"
#include "platform/directx/standin_directx.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr size_t kParameterBytes = 6;

// The engine with its display up, made once per process.
class TEngine {
public:
    TEngine() : mFont(BuiltInMiniVecFont().begin(), BuiltInMiniVecFont().end()) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        standin::TDesktop desktop;
        desktop.width = 1024;
        desktop.height = 768;
        standin::SetDesktop(desktop);
        RegisterMedia();
        RegisterWindowSystem();
        RegisterMemoryFile("fonts/default.mvec", mFont.data(), static_cast<unsigned>(mFont.size()));
        mPlatform = new TPlatform(new TWin32Platform(GetModuleHandleA(nullptr), nullptr,
                                                     mCommandLine, SW_SHOWNORMAL, true));
        mPlatform->CreateMainWindow();
        CreateRenderer();
        // Small: a text beyond it is cut the same way, and clearing and showing a large frame
        // takes much of an input's time and memory.
        mPlatform->SetDisplay(160, 120, false);
        // The cursor thread draws and allocates beside the inputs, which makes every input look
        // as if it kept memory and has the fuzzer search for leaks after each.
        mPlatform->GetWin32()->StopCursorThread();
        mTarget = TTexture::CreateRenderTarget(128, 64, true);
        if (mPlatform->GetWin32()->mGlyphRenderer == nullptr || !mTarget) {
            std::abort();
        }
    }

    const TTexturePtr& Target() const { return mTarget; }

private:
    char mCommandLine[1] = "";
    std::vector<unsigned char> mFont;
    TPlatform* mPlatform = nullptr;
    TTexturePtr mTarget;
};

float ScaleFrom(uint8_t byte) {
    switch (byte % 8) {
    case 0:
        return 1.0f;
    case 1:
        return 2.0f;
    case 2:
        return 0.5f;
    case 3:
        return 0.0f;
    case 4:
        return -1.0f;
    case 5:
        return std::numeric_limits<float>::quiet_NaN();
    case 6:
        // Large, though not so large that a long text of big glyphs takes a second to rasterise.
        return 2.75f;
    default:
        return 0.125f;
    }
}

TEngine* sEngine = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    sEngine = new TEngine;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TEngine& engine = *sEngine;
    if (size < kParameterBytes) {
        return 0;
    }
    const uint8_t* p = data;
    const str text(reinterpret_cast<const char*>(data + kParameterBytes),
                   static_cast<int>(size - kParameterBytes));
    const int widths[] = {0, 37, 200, 800, -20};
    const int height = p[1] % 2 == 0 ? 40 : 600;
    const int fontSize = p[2] % 64;
    const char* font = (p[1] & 2) != 0 ? "fonts/default.mvec" : "";
    const float scale = ScaleFrom(p[3]);
    const int spacing = static_cast<int8_t>(p[4]) / 8;
    TRenderer& renderer = *TRenderer::Instance();
    for (int pass = 0; pass < 3; ++pass) {
        const int width = widths[(p[0] + pass) % 5];
        TTextSprite* sprite = TTextSprite::Create(text, width, height, p[1] >> 4, font, fontSize,
                                                  TColor{1.0f, 0.8f, 0.6f, 1.0f});
        if (pass == 2) {
            sprite->SetRotation(static_cast<float>(p[5]) * 3.0f, p[5] % 16, 4);
            sprite->SetFirstLine(static_cast<float>(p[5] % 4) / 2.0f);
        }
        TRect extent{};
        sprite->GetExtent(&extent, scale);
        for (int y = -8; y < height + 8; y += 7) {
            const TPoint point{(y * 13) % (width > 0 ? width + 16 : 16), y};
            sprite->SetHoverLink(&point, spacing);
        }
        sprite->GetScrollRange(scale, spacing);
        if (renderer.BeginDraw(0)) {
            if (renderer.Begin2d()) {
                sprite->DrawInRect(TRect{10, 10, 10 + width, 10 + height}, scale, spacing, 1.0f,
                                   TTexturePtr());
                renderer.End2d();
            }
            renderer.EndDraw(0);
        }
        sprite->SetRenderOptions((p[5] & 1) != 0, (p[5] & 2) != 0);
        sprite->Draw(TVec2(-3.0f, 2.0f), 64, scale, spacing, 0.75f, engine.Target());
        TTextSprite::Delete(sprite);
    }
    // Every face the input names is loaded once; do not let them pile up across inputs.
    TFontList::Instance().Clear();
    return 0;
}
