// The Direct3D context's software cursor: the cursor image drawn by the engine onto the screen's
// surfaces, so that it moves smoothly whatever the frame rate. The cursor thread draws it straight
// onto the front buffer every 16 ms, saving what it covers in one of two background surfaces and
// putting the other one back; every present draws it into the back buffer first.
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/task.h"
#include "engine/media/directx.h"
#include "engine/media/dxerror.h"
#include "engine/media/dxhelpers.h"
#include "engine/media/mouselock.h"
#include "engine/media/texture.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"
#include "platform/win32/windows.h"

#include <cmath>

// Runs RestoreMouseImage after every display restore; the restore task list owns it.
class TMouseTextureListener final : public TTask {
public:
    explicit TMouseTextureListener(TDXContext* context) : mContext(context) {}
    ~TMouseTextureListener() override {
        if (mContext != nullptr) {
            mContext->mMouseListener = nullptr;
        }
    }
    TMouseTextureListener(const TMouseTextureListener&) = delete;
    TMouseTextureListener& operator=(const TMouseTextureListener&) = delete;

    // Stays in the list while its context lives.
    bool DoTask() override {
        if (mContext == nullptr) {
            return false;
        }
        mContext->RestoreMouseImage();
        return true;
    }
    // The context is going away.
    void Detach() { mContext = nullptr; }

private:
    TDXContext* mContext;
};

namespace {

constexpr const char* kCursorSource = ".\\directx";
// The cursor thread's rhythm: updates closer than this do nothing.
constexpr uint32_t kCursorInterval = 16;
// How long a thread update waits for the mouse mutex before it skips its turn.
constexpr DWORD kThreadWait = 5;

TWindowManagerLink* CursorWindowManager() {
    TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetWindowManager() : nullptr;
}

RECT ToRect(const TRect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

bool IsEmptyCursorRect(const TRect& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

} // namespace

void TDXContext::InvalidateForCursor() {
    if (GetCurrentThreadId() != mMainThread) {
        // The window manager is the main thread's: a paint message tells it there.
        if (mDisplay.GetWindow() != nullptr) {
            InvalidateRect(mDisplay.GetWindow(), nullptr, FALSE);
        }
        return;
    }
    if (TWindowManagerLink* manager = CursorWindowManager()) {
        manager->Invalidate();
    }
}

void TDXContext::RefreshCursorFacts() {
    TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr) {
        mCursorScale = 1.0f;
        mInactiveInFullScreen = false;
        return;
    }
    TWin32Platform* win32 = platform->GetWin32();
    float scale = 1.0f;
    mCursorScale = win32->GetViewportScale(&scale) && scale > 0.0f ? scale : 1.0f;
    mInactiveInFullScreen = win32->mInactiveInFullScreen;
}

TPoint TDXContext::FromClient(int x, int y) const {
    return TPoint{TruncateScaled(static_cast<float>(x) / mCursorScale),
                  TruncateScaled(static_cast<float>(y) / mCursorScale)};
}

int TDXContext::ToScreen(int value) const {
    return TruncateScaled(std::floor(static_cast<float>(value) * mCursorScale + 0.5f));
}

void TDXContext::ReadCursorPos() {
    POINT point{0, 0};
    GetCursorPos(&point);
    const TRect& window = mDisplay.GetWindowRect();
    mCursorPos = FromClient(point.x - window.left, point.y - window.top);
}

bool TDXContext::ComputeCursorRects(TPoint position, const TRect& clip, TRect* screen,
                                    TRect* source) const {
    const int left = clip.left + mHotSpot.x + ToScreen(position.x);
    const int top = clip.top + mHotSpot.y + ToScreen(position.y);
    const TRect whole{left, top, left + mCursorSize.x, top + mCursorSize.y};
    screen->Intersect(whole, clip);
    *source =
        TRect{screen->left - left, screen->top - top, screen->right - left, screen->bottom - top};
    return !IsEmptyCursorRect(*screen);
}

TRect TDXContext::CursorClip(bool backBuffer) const {
    const TRect& window = mDisplay.GetWindowRect();
    if (backBuffer) {
        return TRect{0, 0, window.right - window.left, window.bottom - window.top};
    }
    return window;
}

bool TDXContext::IconInWindow() const {
    return mCursorIcon != nullptr && mDisplay.IsWindowed();
}

bool TDXContext::ShouldDrawCursor(const TRect& window, bool positionPassed, TPoint position) {
    if (IconInWindow()) {
        ReadCursorPos();
        return false;
    }
    if (!mCursorPlaced) {
        if (!positionPassed) {
            return false;
        }
        ReadCursorPos();
        mCursorPlaced = true;
    }
    if (!positionPassed && TPlatform::GetTime() - mLastCursorDraw < kCursorInterval) {
        return false;
    }
    if (!positionPassed) {
        // The thread's update is checked where the mouse is now, not where it was last drawn.
        ReadCursorPos();
        position = mCursorPos;
    }
    const int left = window.left + mHotSpot.x + ToScreen(position.x);
    const int top = window.top + mHotSpot.y + ToScreen(position.y);
    if (mNoCursorSurfaces || left < 0 || top < 0 || left + mCursorSize.x > mDesktopWidth ||
        top + mCursorSize.y > mDesktopHeight) {
        // Blits onto the desktop cannot leave it: the next frame draws the cursor.
        InvalidateForCursor();
        return false;
    }
    // From Vista on the desktop composes windows: only full screen may draw at mouse moves.
    if (positionPassed && IsVistaOrLater() && (mDisplay.IsWindowed() || IsPqMode())) {
        return false;
    }
    return true;
}

bool TDXContext::CanDrawCursor() {
    IDirectDrawSurface7* front = mDisplay.GetFrontBuffer();
    return front == nullptr || front->GetFlipStatus(DDGFS_ISFLIPDONE) != DDERR_WASSTILLDRAWING;
}

HRESULT TDXContext::CursorBlit(IDirectDrawSurface7* to, const TRect& toRect,
                               IDirectDrawSurface7* from, const TRect& fromRect) {
    RECT target = ToRect(toRect);
    RECT source = ToRect(fromRect);
    return to->Blt(&target, from, &source, DDBLT_WAIT, nullptr);
}

bool TDXContext::CursorLost(HRESULT result) {
    if (result == DDERR_SURFACELOST) {
        mCursorSurfacesLost = true;
        mCursorDrawn = false;
        return true;
    }
    if (FAILED(result)) {
        ReportDxError(result, kCursorSource, 501);
    }
    return false;
}

TPoint TDXContext::DrawCursor(int x, int y, bool beforePresent) {
    const bool positionPassed = x != -1 || y != -1;
    const TMouseLock lock(mMouseMutex, beforePresent || positionPassed ? INFINITE : kThreadWait);
    if (!lock.Held()) {
        return mCursorPos;
    }
    if (positionPassed) {
        RefreshCursorFacts();
    }
    if (mCursorSurfacesLost || mInactiveInFullScreen) {
        return mCursorPos;
    }
    if (IconInWindow()) {
        ReadCursorPos();
        return mCursorPos;
    }
    if (!mCursorShown) {
        return mCursorPos;
    }
    if (!beforePresent &&
        !ShouldDrawCursor(mDisplay.GetWindowRect(), positionPassed, FromClient(x, y))) {
        return mCursorPos;
    }
    if (mCursorSize.x == 0 || mCursorSize.y == 0) {
        return TPoint{x, y};
    }
    if (positionPassed) {
        mCursorPos = FromClient(x, y);
    } else {
        ReadCursorPos();
    }
    const TPoint position = mCursorPos.Load();
    const bool windowed = mDisplay.IsWindowed();
    if (!windowed && !beforePresent && !positionPassed && mCursorPlaced && !CanDrawCursor()) {
        return position;
    }
    TDDSurface* const* surfaces = mCursorSurfaces;
    if (surfaces[0] == nullptr || surfaces[1] == nullptr || surfaces[2] == nullptr) {
        return position;
    }
    IDirectDrawSurface7* target =
        beforePresent ? mDisplay.GetBackBuffer() : mDisplay.GetFrontBuffer();
    if (beforePresent) {
        // A fresh frame holds no cursor.
        mCursorDrawn = false;
    }
    if (target == nullptr) {
        return position;
    }
    if (!beforePresent && mCursorDrawn && mCursorPlaced && position == mLastCursorPos) {
        return position;
    }
    const TRect clip = CursorClip(beforePresent);
    if (windowed) {
        const int sx = ToScreen(position.x);
        const int sy = ToScreen(position.y);
        if (sx < 0 || sy < 0 || sx >= clip.right - clip.left || sy >= clip.bottom - clip.top) {
            RemoveCursorImage();
            ReadCursorPos();
            return mCursorPos;
        }
    }
    TRect screen;
    TRect source;
    if (!ComputeCursorRects(position, clip, &screen, &source)) {
        return position;
    }

    // Save what the new cursor covers, into the background not in use.
    const int fresh = 1 - mSaveIndex;
    IDirectDrawSurface7* freshBackground = surfaces[fresh]->mSurface;
    if (CursorLost(CursorBlit(freshBackground, source, target, screen))) {
        return position;
    }
    // Where the old cursor covers the new place, the target shows cursor pixels: the old
    // background has what lies beneath them.
    TRect oldScreen;
    TRect oldSource;
    if (mCursorDrawn && mCursorOnBackBuffer == beforePresent &&
        ComputeCursorRects(mLastCursorPos, clip, &oldScreen, &oldSource)) {
        TRect overlap;
        overlap.Intersect(screen, oldScreen);
        if (!IsEmptyCursorRect(overlap)) {
            const TRect into{overlap.left - screen.left + source.left,
                             overlap.top - screen.top + source.top,
                             overlap.right - screen.left + source.left,
                             overlap.bottom - screen.top + source.top};
            const TRect from{overlap.left - oldScreen.left + oldSource.left,
                             overlap.top - oldScreen.top + oldSource.top,
                             overlap.right - oldScreen.left + oldSource.left,
                             overlap.bottom - oldScreen.top + oldSource.top};
            if (CursorLost(
                    CursorBlit(freshBackground, into, surfaces[mSaveIndex]->mSurface, from))) {
                return position;
            }
        }
    }
    if (CursorLost(CursorBlit(surfaces[2]->mSurface, source, freshBackground, source))) {
        return position;
    }
    BlendComposite();
    if (mCursorSurfacesLost) {
        return position;
    }
    if (!RestoreCursorBackground()) {
        InvalidateForCursor();
        return position;
    }
    if (CursorLost(CursorBlit(target, screen, surfaces[2]->mSurface, source))) {
        return position;
    }
    mLastCursorPos = position;
    mCursorOnBackBuffer = beforePresent;
    mSaveIndex = fresh;
    mCursorDrawn = true;
    mLastCursorDraw = TPlatform::GetTime();
    return position;
}

void TDXContext::BlendComposite() {
    IDirectDrawSurface7* composite = mCursorSurfaces[2]->mSurface;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const HRESULT result = composite->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (CursorLost(result) || FAILED(result)) {
        return;
    }
    BlendRuns(mUseSystemCursor ? mSystemRuns : mGameRuns, desc);
    CursorLost(composite->Unlock(nullptr));
}

bool TDXContext::RestoreCursorBackground() {
    if (mCursorSize.x == 0 || mCursorSize.y == 0 || !mCursorDrawn) {
        return true;
    }
    IDirectDrawSurface7* target =
        mCursorOnBackBuffer ? mDisplay.GetBackBuffer() : mDisplay.GetFrontBuffer();
    TDDSurface* background = mCursorSurfaces[mSaveIndex];
    TRect screen;
    TRect source;
    if (target == nullptr || background == nullptr ||
        !ComputeCursorRects(mLastCursorPos, CursorClip(mCursorOnBackBuffer), &screen, &source)) {
        return true;
    }
    return !CursorLost(CursorBlit(target, screen, background->mSurface, source));
}

void TDXContext::EraseCursorFromBackBuffer() {
    IDirectDrawSurface7* back = mDisplay.GetBackBuffer();
    TDDSurface* background = mCursorSurfaces[mSaveIndex];
    TRect screen;
    TRect source;
    if (back == nullptr || background == nullptr || mCursorSize.x == 0 ||
        !ComputeCursorRects(mLastCursorPos, CursorClip(true), &screen, &source)) {
        return;
    }
    CursorLost(CursorBlit(back, screen, background->mSurface, source));
}

TPoint TDXContext::GetCursorPosition() {
    // Where the mouse is now; the drawing's own position (and its -1 while the cursor is not
    // placed, which paces the cursor thread) stays as it is.
    const TMouseLock lock(mMouseMutex);
    POINT point{0, 0};
    GetCursorPos(&point);
    const TRect& window = mDisplay.GetWindowRect();
    return FromClient(point.x - window.left, point.y - window.top);
}

void TDXContext::CheckClientRect() {
    const TMouseLock lock(mMouseMutex);
    RefreshCursorFacts();
    const TRect before = mDisplay.GetWindowRect();
    mDisplay.RefreshBounds();
    const TRect& after = mDisplay.GetWindowRect();
    if (before.left != after.left || before.top != after.top || before.right != after.right ||
        before.bottom != after.bottom) {
        mCursorDrawn = false;
        ReadCursorPos();
    }
}

void TDXContext::ApplyIconCursor(bool visible) {
    if (visible && IconInWindow()) {
        SetCursor(reinterpret_cast<HCURSOR>(mCursorIcon));
    } else {
        // The system arrow never shows over the game.
        SetCursor(nullptr);
    }
}

void TDXContext::RemoveCursorImage() {
    const TMouseLock lock(mMouseMutex);
    RestoreCursorBackground();
    mCursorDrawn = false;
    if (mCursorPlaced) {
        ResetCursorState();
        InvalidateForCursor();
    }
}

void TDXContext::ResetCursorState() {
    const TMouseLock lock(mMouseMutex);
    mCursorPos = TPoint{-1, -1};
    mLastCursorPos = TPoint{-1, -1};
    mCursorPlaced = false;
    mCursorDrawn = false;
    mSaveIndex = 0;
    mDisplay.RefreshBounds();
}

void TDXContext::ShowCursor(bool show) {
    const TMouseLock lock(mMouseMutex);
    if (IconInWindow()) {
        SetClassLongPtrA(mDisplay.GetWindow(), GCLP_HCURSOR,
                         show ? reinterpret_cast<LONG_PTR>(mCursorIcon) : 0);
    } else if (show == mCursorShown) {
        return;
    }
    mCursorShown = show;
    if (show) {
        DrawCursor(-1, -1, true);
    } else {
        RemoveCursorImage();
    }
}

bool TDXContext::SetCursorImage(const TTexturePtr& texture, int hotX, int hotY, bool system) {
    if (mDevice == nullptr) {
        return false;
    }
    const TMouseLock lock(mMouseMutex);
    RefreshCursorFacts();
    RestoreCursorBackground();
    mCursorDrawn = false;

    if (system && texture && GetSetting("activex") == "1") {
        mSystemHotSpot = TPoint{hotX, hotY};
        return MakeCursorIcon(texture, hotX, hotY);
    }
    bool redraw = false;
    if (system) {
        redraw = mUseSystemCursor || mGameCursor;
        mSystemCursor = texture;
        mSystemHotSpot = TPoint{hotX, hotY};
        if (!texture) {
            mSystemRuns.clear();
        } else {
            BuildAlphaRuns(texture, &mSystemRuns);
        }
    } else {
        redraw = mGameCursor && !mUseSystemCursor;
        mGameCursor = texture;
        mGameHotSpot = TPoint{hotX, hotY};
        if (!texture) {
            mGameRuns.clear();
        } else {
            BuildKeyedRuns(texture, &mGameRuns);
        }
    }
    if (texture) {
        mUseSystemCursor = mUseSystemCursor || system;
    } else if (system) {
        mUseSystemCursor = false;
    }

    mCursorSize = TPoint{0, 0};
    if (!mGameCursor) {
        return true;
    }
    TPlatform* platform = TPlatform::GetInstance();
    if (mMouseListener == nullptr && platform != nullptr) {
        mMouseListener = new TMouseTextureListener(this);
        platform->AddRestoreTask(mMouseListener);
    }
    // The size and hot spot are the active image's, whichever image this call set.
    const TTexturePtr& active = mUseSystemCursor ? mSystemCursor : mGameCursor;
    const TPoint hotSpot = mUseSystemCursor ? mSystemHotSpot : mGameHotSpot;
    mHotSpot = TPoint{-hotSpot.x, -hotSpot.y};
    mCursorSize = active ? active->GetSurfaceSize() : TPoint{0, 0};
    if (!CreateCursorSurfaces()) {
        return false;
    }
    mDisplay.RefreshBounds();
    if (redraw) {
        ResetCursorState();
        POINT point{0, 0};
        GetCursorPos(&point);
        const TRect& window = mDisplay.GetWindowRect();
        DrawCursor(point.x - window.left, point.y - window.top, false);
    }
    return true;
}

void TDXContext::ReleaseCursorSurfaces() {
    for (TDDSurface*& surface : mCursorSurfaces) {
        delete surface;
        surface = nullptr;
    }
}

bool TDXContext::CreateCursorSurfaces() {
    ReleaseCursorSurfaces();
    mCursorSurfacesLost = false;
    if (mNoCursorSurfaces || mCursorSize.x <= 0 || mCursorSize.y <= 0) {
        return true;
    }
    for (TDDSurface*& surface : mCursorSurfaces) {
        HRESULT result = mDisplay.MakeSurface(&surface, mCursorSize.x, mCursorSize.y,
                                              &mDisplayMode.ddpfPixelFormat, nullptr);
        if (result == DDERR_OUTOFVIDEOMEMORY) {
            if (mDirect3D != nullptr) {
                mDirect3D->EvictManagedTextures();
            }
            result = mDisplay.MakeSurface(&surface, mCursorSize.x, mCursorSize.y,
                                          &mDisplayMode.ddpfPixelFormat, nullptr);
            if (result == DDERR_OUTOFVIDEOMEMORY) {
                mNoCursorSurfaces = true;
                ReleaseCursorSurfaces();
                return true;
            }
        }
        if (FAILED(result)) {
            ReportDxError(result, kCursorSource, 502);
            ReleaseCursorSurfaces();
            return false;
        }
    }
    return true;
}

void TDXContext::RestoreMouseImage() {
    if (mRestoringMouseImage) {
        Log("Second concurrent call to RestoreMouseImage");
        return;
    }
    TFlagScope restoring(mRestoringMouseImage);
    TWindowManagerLink* manager = CursorWindowManager();
    if (manager != nullptr && manager->IsDrawingSuspended()) {
        // A movie covers the screen: what the cursor saved no longer matches it.
        const TMouseLock lock(mMouseMutex);
        mCursorDrawn = false;
        return;
    }
    if (IconInWindow()) {
        return;
    }
    // Copies: each call replaces the member it is given.
    const TTexturePtr game = mGameCursor;
    const TTexturePtr system = mSystemCursor;
    SetCursorImage(game, mGameHotSpot.x, mGameHotSpot.y, false);
    SetCursorImage(system, mSystemHotSpot.x, mSystemHotSpot.y, true);
}

void TDXContext::ReleaseCursor() {
    const TMouseLock lock(mMouseMutex);
    if (mCursorIcon != nullptr) {
        DestroyIcon(mCursorIcon);
        mCursorIcon = nullptr;
    }
    if (mMouseListener != nullptr) {
        mMouseListener->Detach();
        mMouseListener = nullptr;
    }
    ReleaseCursorSurfaces();
    mGameRuns.clear();
    mSystemRuns.clear();
    mGameCursor.reset();
    mSystemCursor.reset();
    mCursorSize = TPoint{0, 0};
}
