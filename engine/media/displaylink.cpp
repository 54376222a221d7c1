#include "engine/media/displaylink.h"

#include "engine/media/dxdisplayhandler.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"

bool TDxDisplayLink::IsReady() {
    return mHandler.IsReady();
}

void TDxDisplayLink::Restore() {
    mHandler.Restore();
}

void TDxDisplayLink::ResetWorkingCount() {
    mHandler.ResetWorkingCount();
}

void TDxDisplayLink::SetDisplay(int width, int height, bool fullScreen, bool hostPresent) {
    mHandler.SetDisplay(width, height, fullScreen, false, false, hostPresent);
}

bool TDxDisplayLink::SetFullscreen(bool fullScreen) {
    return mHandler.SetFullscreen(fullScreen);
}

bool TDxDisplayLink::IsFullscreen() const {
    return mHandler.IsFullscreen();
}

void TDxDisplayLink::CalibrateTexelOffset() {
    mHandler.CalibrateTexelOffset();
}

void TDxDisplayLink::ReadDesktopMode() {
    mHandler.UpdateDesktopMode();
}

TPoint TDxDisplayLink::GetViewportSize() const {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    mHandler.GetViewport(&left, &top, &right, &bottom);
    return TPoint{right - left, bottom - top};
}

TPoint TDxDisplayLink::GetCursorPosition() {
    return mHandler.GetCursorPosition();
}

TPoint TDxDisplayLink::UpdateCursor(int x, int y) {
    return mHandler.UpdateCursor(x, y);
}

void TDxDisplayLink::CheckClientRect() {
    mHandler.CheckClientRect();
}

void TDxDisplayLink::RemoveCursorImage() {
    mHandler.RemoveCursorImage();
}

bool TDxDisplayLink::ApplyCursor() {
    return mHandler.ApplyCursor();
}

bool TDxDisplayLink::SetCursorImage(const TTexturePtr& texture, int hotX, int hotY, bool system) {
    return mHandler.SetCursorImage(texture, hotX, hotY, system);
}

bool TDxDisplayLink::ShowCursor(bool visible) {
    return mHandler.ShowCursor(visible);
}

void TDxDisplayLink::SetVSync(bool on) {
    mHandler.SetVSync(on);
}

bool TDxDisplayLink::IsFlipDone() {
    return mHandler.IsFlipDone();
}

void TDxDisplayLink::OnOutOfVideoMemory() {
    mHandler.OnOutOfVideoMemory();
}

void TRendererFacadeLink::ToggleStats() {
    mRenderer.ToggleStats();
}

void TRendererFacadeLink::FillRect(const TRect& rect, float red, float green, float blue,
                                   float alpha) {
    mRenderer.FillRect(rect, TColor{red, green, blue, alpha}, TTexturePtr());
}

void TRendererFacadeLink::PopClipRect() {
    mRenderer.PopClipRect();
}

void TRendererFacadeLink::PushClipRect(const TRect& rect) {
    mRenderer.PushClipRect(rect);
}

TGlyphRendererLink* TRendererFacadeLink::CreateGlyphRenderer() {
    auto* drawer = new TQzMiniVecDraw;
    drawer->SelfTest();
    return drawer;
}

TTexturePtr TRendererFacadeLink::GetSimpleTexture(const str& name) {
    return TTexture::GetSimple(name);
}
