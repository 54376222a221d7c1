// Inner state of the window and message stand-in: window classes, windows, per-thread queues,
// activation, focus and capture. Every field is guarded by standin::detail::SyncLock; window
// procedures are always called with the lock released. Not part of the Win32 surface.
#pragma once

#include "platform/win32/standin.h"
#include "platform/win32/syncobjects.h"
#include "platform/win32/winuser.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct SDL_Window;

namespace standin::detail {

struct TWindowClass {
    std::string name;
    bool unicode = false;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int wndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};

struct TMenuItem {
    UINT id;
    UINT state;
};

struct TWindow {
    HWND handle = nullptr;
    std::shared_ptr<TWindowClass> windowClass;
    DWORD thread = 0;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    HINSTANCE instance = nullptr;
    std::vector<BYTE> extra;
    std::string title; // UTF-8
    // Screen coordinates for a top-level window, the parent's client coordinates for a child.
    RECT rect{};
    RECT restoreRect{};
    bool visible = false;
    bool minimized = false;
    bool maximized = false;
    bool invalid = false;
    bool erase = false;
    bool destroying = false;
    // The SDL window behind a top-level window, made by the SDL window backend
    // (windowbackend.h) on the thread that runs SDL's video; null for the others.
    SDL_Window* sdl = nullptr;
    std::uint32_t sdlId = 0;
    std::vector<TMenuItem> systemMenu;
    // Of a top-level window that owns others: the window of its ownership chain activated last
    // (GetLastActivePopup); null until one was.
    HWND lastActivePopup = nullptr;
};

struct TTimer {
    HWND window;
    UINT_PTR id;
    UINT elapse;
    DWORD due;
    TIMERPROC procedure;
};

struct TQueue {
    std::deque<MSG> posted;
    std::deque<MSG> input;
    // Work handed over by other threads (sent messages, requests from other processes), run by
    // the owning thread inside its message calls.
    std::deque<std::function<void()>> tasks;
    bool quit = false;
    int quitCode = 0;
    std::vector<TTimer> timers;
    BYTE keys[256] = {};
    // TrackMouseEvent.
    HWND trackWindow = nullptr;
    DWORD trackFlags = 0;
    DWORD hoverTime = 400;
    DWORD hoverStart = 0;
    POINT hoverAnchor{};
};

// The desktop the stand-in describes (desktop.h).
struct TDesktopState {
    // SDL's desktop display mode, read when its video starts.
    int systemWidth = 1024;
    int systemHeight = 768;
    int systemRefresh = 60;
    // What SetDesktop or a display mode set, normalised; none: the system's desktop.
    std::optional<standin::TDesktop> set;
    // A display mode was set since the last SetDesktop or UseSystemDesktop; `beforeMode` is what
    // `set` was before the first of them.
    bool modeChanged = false;
    std::optional<standin::TDesktop> beforeMode;
};

struct TUserState {
    std::map<std::string, std::shared_ptr<TWindowClass>> classes; // lower-case names
    std::map<HWND, std::unique_ptr<TWindow>> windows;
    std::vector<HWND> zOrder; // top-level windows, topmost first
    std::map<DWORD, TQueue> queues;
    HWND active = nullptr;
    bool appActive = false;
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND mouseWindow = nullptr; // the window the mouse is in, null when outside all of ours
    POINT cursor{};             // screen coordinates
    int cursorCount = 0;
    HCURSOR cursorShape = nullptr;
    bool cursorDirty = false;
    std::atomic<DWORD> sdlThread{0}; // read without the lock
    TDesktopState desktop;
    std::uintptr_t nextHandle = 0x10010;
};

// All of these need SyncLock held.
TUserState& User();
TWindow* WindowOf(HWND window);
TQueue& QueueOf(DWORD thread);
HWND NewHandleValue();
RECT FrameInsets(DWORD style, DWORD exStyle, bool menu);
RECT ClientRectOnScreen(const TWindow& window);
HWND TopLevelOf(HWND window);
bool IsDescendant(HWND window, HWND ancestor);
void WakeQueues();

// These take the lock themselves.
LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Changes activation as Windows does; null deactivates the application. `how` is WA_ACTIVE or
// WA_CLICKACTIVE.
void Activate(HWND window, int how);
// Moves, sizes and reorders a window with WM_WINDOWPOSCHANGING (which may change the request)
// and WM_WINDOWPOSCHANGED. `fromNative`: the native window already has the new place.
void ChangeWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags,
                     bool fromNative);
// Starts SDL's video on the calling thread when nobody has; true when it is this thread's.
bool EnsureSdlVideo();
bool IsSdlThread();
// No display to show anything on (SDL's dummy or offscreen driver, or none to start).
bool HeadlessVideo();
// Turns waiting SDL events into messages; only on the SDL thread.
void PumpSdl();
// Hands the cursor ShowCursor and SetCursor left to the window system, on a thread that has a
// pointer to show it on.
void ApplyCursor();
// Publishes a top-level window to other processes and withdraws it.
void PublishWindow(HWND window, const std::string& className);
void WithdrawWindow(HWND window);
HWND FindRemoteWindow(const std::string& className, const char* title);
bool IsRemoteWindow(HWND window);
BOOL RemoteRequest(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Host windows (standin::THostWindow). A foreign handle is neither one of ours nor a stand-in
// handle of FindWindowA; a host window is a foreign handle whose host listens.
bool IsForeignHandle(HWND window);
bool IsHostWindow(HWND window);
BOOL HostRequest(HWND host, UINT message, WPARAM wParam, LPARAM lParam);
bool HostClientRect(HWND host, RECT* rect);
// Joins our window to its host, so that what the host posts reaches it; and lets go of it.
bool AttachToHost(HWND window, HWND host);
void DetachFromHost(HWND window);
void ForgetTimersOf(HWND window);
// Text forms.
std::string Utf8FromAnsi(const char* text);
std::string AnsiFromUtf8(const std::string& text);
std::string Utf8FromWide(const char16_t* text);
std::u16string WideFromUtf8(const std::string& text);
// Windows-1252 byte for a code point, '?' when it has none.
char AnsiFromCodePoint(char32_t codePoint);

// Message boxes size themselves to their longest line: lines longer than `columns` characters are
// broken at their last blank within the limit (a longer word at the limit), the text otherwise
// unchanged.
std::string WrapBoxText(const std::string& text, std::size_t columns);

// Requests from other processes, understood by the window procedure side.
#define STANDIN_REMOTE_FOREGROUND 0xBF01
#define STANDIN_REMOTE_SHOW 0xBF02

} // namespace standin::detail
