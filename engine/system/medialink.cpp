#include "engine/system/medialink.h"

#include <atomic>

namespace {

class TNullDisplay final : public TDisplayLink {
public:
    bool Exists() const override { return false; }
    bool IsReady() override { return true; }
    void Restore() override {}
    void ResetWorkingCount() override {}
    void SetDisplay(int, int, bool, bool) override {}
    bool SetFullscreen(bool) override { return false; }
    bool IsFullscreen() const override { return false; }
    void CalibrateTexelOffset() override {}
    void ReadDesktopMode() override {}
    TPoint GetViewportSize() const override { return TPoint{0, 0}; }
    TPoint GetCursorPosition() override { return TPoint{0, 0}; }
    TPoint UpdateCursor(int, int) override { return TPoint{-1, -1}; }
    void CheckClientRect() override {}
    void RemoveCursorImage() override {}
    bool ApplyCursor() override { return false; }
    bool SetCursorImage(const TTexturePtr&, int, int, bool) override { return false; }
    void ToggleStats() override {}
    void FillRect(const TRect&, float, float, float, float) override {}
    TGlyphRendererLink* CreateGlyphRenderer() override { return nullptr; }
    TTexturePtr GetSimpleTexture(const str&) override { return TTexturePtr(); }
};

// Never destroyed: the cursor thread may still ask during process exit.
TNullDisplay& gNullDisplay = *new TNullDisplay;
// Read by the cursor thread too, under DisplayInUse().
std::atomic<TDisplayLink*> gDisplay{nullptr};

// Held by a TDisplayLinkUse for as long as it uses the link, and by SetDisplayLink while it swaps.
std::mutex& DisplayInUse() {
    static auto* lock = new std::mutex();
    return *lock;
}

TCreateSoundManagerProc gCreateSoundManager = nullptr;

} // namespace

TDisplayLink& Display() {
    TDisplayLink* link = gDisplay.load();
    return link != nullptr ? *link : gNullDisplay;
}

void SetDisplayLink(TDisplayLink* link) {
    const std::lock_guard<std::mutex> hold(DisplayInUse());
    gDisplay = link;
}

TDisplayLinkUse::TDisplayLinkUse() : mHold(DisplayInUse()), mLink(&Display()) {}

void SetSoundManagerFactory(TCreateSoundManagerProc create) {
    gCreateSoundManager = create;
}

TSoundManagerLink* CreateSoundManager() {
    return gCreateSoundManager != nullptr ? gCreateSoundManager() : nullptr;
}
