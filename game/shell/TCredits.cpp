#include "game/shell/TCredits.h"

#include "engine/core/file.h"
#include "engine/media/renderer.h"
#include "engine/script/lua/luanumber.h"
#include "engine/system/platform.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"

#include <cmath>
#include <cstring>
#include <string_view>

namespace {

constexpr int kCreditsTickMs = 16;
constexpr int kCreditsLineBuffer = 1024;
const TColor kCreditsWhite{1.0f, 1.0f, 1.0f, 1.0f};

} // namespace

TWindow* TCredits::Create() {
    return new TCredits;
}

bool TCredits::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TCredits::~TCredits() = default;

void TCredits::Init(TWindowStyle& style) {
    TWindow::Init(style);
    mSpeed = static_cast<float>(style.GetNumber("speed", 10.0));
    mIntroPause = style.GetInt("intropause", 0);
    mFontName = style.GetString("font", str());
    mFontSize = LuaNumberToInt(style.GetNumber("fontsize", 16.0));
    mFontColor = style.GetColor("fontcolor", kCreditsWhite);
    const TColor header = style.GetColor("headercolor", kCreditsWhite);
    mFileName = style.GetString("file", str());

    ReadFile(header);
    mTotalHeight = 0;
    for (const auto& block : mBlocks) {
        mTotalHeight = SaturateToInt(int64_t{mTotalHeight} + block->GetHeight());
    }
    mStartTime = TPlatform::GetTime();
    StartAnimation(kCreditsTickMs, true, true, false);
}

void TCredits::ReadFile(const TColor& header) {
    TFile* file = FileOpen(mFileName.CStr() != nullptr ? mFileName.CStr() : "", 1);
    if (file == nullptr) {
        return;
    }
    const TRect screen = GetScreenRect();
    const int width = screen.right - screen.left;
    const int height = screen.bottom - screen.top;
    TCreditsBlock* current = nullptr;
    char line[kCreditsLineBuffer];
    while (FileGets(file, line, kCreditsLineBuffer) != nullptr) {
        const std::vector<str> columns = CutCreditsLine(std::string_view(line), header);
        if (current == nullptr) {
            mBlocks.push_back(std::make_unique<TCreditsBlock>(columns.size()));
            current = mBlocks.back().get();
        }
        if (!columns.empty() && columns.size() != current->GetColumnCount()) {
            current->Layout(width, height, mFontName, mFontSize, mFontColor);
            mBlocks.push_back(std::make_unique<TCreditsBlock>(columns.size()));
            current = mBlocks.back().get();
        }
        current->AddLine(columns);
    }
    if (current != nullptr) {
        current->Layout(width, height, mFontName, mFontSize, mFontColor);
    }
    FileClose(file);
}

int64_t TCredits::ScrollOffset(uint32_t now) {
    // A speed of 0 or less, or nothing to show, has no period to scroll by.
    if (!(mSpeed > 0.0f) || mTotalHeight <= 0) {
        return 0;
    }
    const int64_t height = GetHeight();
    // The wrapping engine clock's difference, good for 49 days of a slow pass; only the pause
    // makes it negative.
    int64_t elapsed = int64_t{now - mStartTime} - mIntroPause;
    if (elapsed < 0) {
        elapsed = 0;
    }
    const int64_t span = mPass * height + mTotalHeight;
    const int64_t period =
        LuaNumberToInt64(std::trunc(static_cast<double>(span) * 1000.0 / mSpeed));
    if (period <= 0) {
        return 0;
    }
    // At exactly one period the first pass is over too: the text would otherwise stand at the top
    // once more for that frame.
    if (mPass == 0 && elapsed >= period) {
        // The later passes count from this frame, which shows the text at the bottom edge: the
        // time past the first pass measured against its shorter period would make it jump.
        mStartTime = now - static_cast<uint32_t>(mIntroPause);
        mPass = 1;
        return 0;
    }
    const int64_t phase = elapsed % period;
    // In 64 bits: span times phase passes 2^31 for a text a few thousand pixels high.
    return span * phase / period;
}

int64_t TCredits::TextTop(uint32_t now) {
    const int64_t offset = ScrollOffset(now);
    return mPass * int64_t{GetHeight()} - offset;
}

void TCredits::Draw() {
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr || mTotalHeight <= 0 || !(mSpeed > 0.0f)) {
        return;
    }
    int64_t y = TextTop(TPlatform::GetTime());
    TRenderer2dScope pass;
    pass.mActive = renderer->Begin2d();
    for (const auto& block : mBlocks) {
        block->Draw(0, SaturateToInt(y));
        y += block->GetHeight();
    }
}

bool TCredits::OnAnimate() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
    return true;
}
