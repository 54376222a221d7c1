// The window system behind the window model: a native window for each top-level window record,
// and the pointer. SDL's video is one; the headless twin stands in on a thread without video,
// where the model lives on its records alone. Backend() chooses for the calling thread, and a
// backend is only used on the thread it was chosen on. Not part of the Win32 surface.
#pragma once

#include "platform/win32/userstate.h"

namespace standin::detail {

// Methods are called with SyncLock held unless they say otherwise.
class TWindowBackend {
public:
    virtual ~TWindowBackend() = default;

    // Makes the hidden native window of a new top-level record, its client area at `client`
    // (screen coordinates); false when the window system refuses one. Called without SyncLock:
    // making a window may wait on the display. It takes the lock to note the window in `window`.
    virtual bool Create(TWindow& window, const RECT& client) = 0;
    virtual void Destroy(TWindow& window) = 0;
    // Whether this backend has a native window behind the record.
    virtual bool HasNative(const TWindow& window) const = 0;
    virtual void SetTitle(const TWindow& window) = 0;
    // Gives the native window the record's frame (caption, sizing border), since the style may
    // have changed (full screen and back), and puts its client area at `client`.
    virtual void Place(const TWindow& window, const RECT& client) = 0;
    // Keeps the native window above the others or not, as WS_EX_TOPMOST says.
    virtual void SetTopmost(const TWindow& window) = 0;
    virtual void Show(const TWindow& window, bool visible) = 0;
    virtual void Raise(const TWindow& window) = 0;
    virtual void Minimize(const TWindow& window) = 0;
    virtual void Restore(const TWindow& window, bool maximize) = 0;

    // Keeps the mouse reporting to us while it is outside our windows. Called without SyncLock.
    virtual void CaptureMouse(bool capture) = 0;
    // Whether there is a pointer to shape. Without one a cursor change waits, unapplied, for the
    // thread whose backend has one.
    virtual bool HasPointer() const = 0;
    // `shape` is a system cursor's resource number, an icon cursor (CreateIconIndirect), or null
    // to keep the current shape. Called without SyncLock.
    virtual void SetCursor(HCURSOR shape, bool visible) = 0;
    // The icon cursor is being destroyed: what was made to show it goes. Called without SyncLock.
    virtual void ForgetCursor(HCURSOR shape) = 0;
    // Moves the pointer to `local` in the client area of `inside`, or to `screen` when it is over
    // none of this backend's windows (`inside` null). Called without SyncLock, on the thread
    // that owns `inside`.
    virtual void WarpCursor(const TWindow* inside, POINT local, POINT screen) = 0;
};

// The backend of the calling thread: SDL's on the thread that runs SDL's video (whatever its
// driver, the dummy one included), the headless twin on every other thread.
TWindowBackend& Backend();
// Starts SDL's video on the calling thread when nobody has, then answers Backend(). Not with
// SyncLock held.
TWindowBackend& StartBackend();

// The SDL window behind a top-level window; null for other windows or without SDL's video. Only
// for use on the thread that runs SDL's video.
SDL_Window* SdlWindowOf(HWND window);
// Runs on the SDL thread at the end of every pump of its events (PeekMessageA, GetMessageA, ...);
// the DirectDraw stand-in shows a changed primary surface from it. Empty removes it.
void SetPumpHook(std::function<void()> hook);

} // namespace standin::detail
