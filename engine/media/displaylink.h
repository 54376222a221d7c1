// How the platform layer reaches the renderer and its display handler: the display and renderer
// links the renderer installs while it exists. Main thread, except what TDisplayLink allows the
// cursor thread.
#pragma once

#include "engine/system/medialink.h"

class TDxDisplayHandler;
class TRenderer;

class TDxDisplayLink : public TDisplayLink {
public:
    explicit TDxDisplayLink(TDxDisplayHandler& handler) : mHandler(handler) {}

    bool Exists() const override { return true; }
    bool IsReady() override;
    void Restore() override;
    void ResetWorkingCount() override;
    void SetDisplay(int width, int height, bool fullScreen, bool hostPresent) override;
    bool SetFullscreen(bool fullScreen) override;
    bool IsFullscreen() const override;
    void CalibrateTexelOffset() override;
    void ReadDesktopMode() override;
    TPoint GetViewportSize() const override;
    TPoint GetCursorPosition() override;
    TPoint UpdateCursor(int x, int y) override;
    void CheckClientRect() override;
    void RemoveCursorImage() override;
    bool ApplyCursor() override;
    bool SetCursorImage(const TTexturePtr& texture, int hotX, int hotY, bool system) override;
    bool ShowCursor(bool visible) override;
    void SetVSync(bool on) override;
    bool IsFlipDone() override;
    void OnOutOfVideoMemory() override;

private:
    TDxDisplayHandler& mHandler;
};

class TRendererFacadeLink : public TRendererLink {
public:
    explicit TRendererFacadeLink(TRenderer& renderer) : mRenderer(renderer) {}

    void ToggleStats() override;
    // The rectangle is relative to the viewport and cut at it, as the renderer's FillRect takes it.
    void FillRect(const TRect& rect, float red, float green, float blue, float alpha) override;
    void PopClipRect() override;
    void PushClipRect(const TRect& rect) override;
    // A TQzMiniVecDraw after its self-test.
    TGlyphRendererLink* CreateGlyphRenderer() override;
    TTexturePtr GetSimpleTexture(const str& name) override;

private:
    TRenderer& mRenderer;
};
