// Test controls of the platform stand-in: what the stand-in answers instead of the real system.
// The program never calls these; tests do, from the main thread, before the code under test runs.
#pragma once

#include "platform/win32/wintypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace standin {

// Freezes timeGetTime at `ms`; it then moves only through AdvanceTime.
void SetFakeTime(DWORD ms);
void AdvanceTime(DWORD ms);
// Back to the real monotonic clock.
void UseRealTime();

// Puts a message into the input queue of the window's thread (the caller's for a null window),
// as if it came from the keyboard or mouse. Mouse messages in client coordinates also move the
// cursor there.
void InjectMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The SDL window id of a top-level window (0 for others), to address pushed SDL events.
std::uint32_t SdlWindowId(HWND window);
// The SDL video driver in use ("x11", "dummy", ...); empty before the video has started.
std::string CurrentVideoDriver();
// The title the native window of a top-level window shows (UTF-8); empty for other windows.
std::string NativeWindowTitle(HWND window);
// The X11 window behind a top-level window when SDL runs on its X11 driver; 0 otherwise.
std::uint64_t NativeX11Window(HWND window);
// Gives the native window of a top-level window the keyboard focus, as a window manager would on
// a click (a bare X server has none to do it). False for other windows or when the driver
// cannot.
bool FocusNativeWindow(HWND window);
// Forgets the buttons and modifier keys the SDL adapter has seen held.
void ResetPumpState();

// The desktop GetSystemMetrics, GDI's device caps, the work area and the monitor calls answer
// from. Rectangles are in screen coordinates.
struct TMonitorDesc {
    RECT rect;
    RECT workArea;
};
struct TDesktop {
    // The primary monitor's mode.
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32; // 4 = 16 colours, 8 = 256 colours, 16, 24, 32
    int refreshRate = 60;
    RECT workArea{}; // of the primary monitor
    // The first is the primary; its rect is {0, 0, width, height}.
    std::vector<TMonitorDesc> monitors;
};
// What the stand-in answers from now on. Without monitors there is one, the primary; the
// primary's rect becomes {0, 0, width, height} and its work area `workArea`. A work area (of any
// monitor) reaching past its monitor is cut to it; an empty one, or one wholly outside, is the
// whole monitor.
void SetDesktop(const TDesktop& desktop);
// Back to the default: SDL's desktop display mode at 32 bits, one monitor, no task bar.
void UseSystemDesktop();
// The description in use, as normalised.
TDesktop CurrentDesktop();

// The folder standing for the system-wide namespace (named mutexes, windows other processes
// look for); empty returns to $XDG_RUNTIME_DIR or the per-user folder under /tmp.
void SetRuntimeFolder(const std::string& folder);

// MessageBoxA answers these, in order, without showing anything; when they run out it behaves
// as usual (the default button at once when there is no display).
void SetMessageBoxAnswers(std::vector<int> answers);
struct TMessageBoxRecord {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};
// Every box MessageBoxA was asked for since the last call, oldest first.
std::vector<TMessageBoxRecord> TakeMessageBoxes();

// TerminateProcess on the calling process runs the hook first, with the exit code; when the hook
// returns, the process ends as usual. A hook that throws leaves the process running, so a test can
// watch a fatal path in its own process. Null removes it; answers the hook it replaced. The hook
// runs on whichever thread ends the process, inside a signal handler for a crash.
using TTerminateHook = void (*)(UINT exitCode);
TTerminateHook SetTerminateHook(TTerminateHook hook);

// The program file's version block instead of the built one; or none at all.
struct TVersionBlock {
    WORD major = 0;
    WORD minor = 0;
    WORD patch = 0;
    WORD build = 0;
    std::vector<std::pair<std::string, std::string>> strings;
};
void SetVersionBlock(const TVersionBlock& block);
void RemoveVersionBlock();
void UseBuiltVersionBlock();

// ShellExecuteA records every call; with `recordOnly` it starts nothing.
void RecordShellExecute(bool recordOnly);
struct TShellExecuteRecord {
    std::string file;
    std::string parameters;
    std::string directory;
};
std::vector<TShellExecuteRecord> TakeShellExecutes();

// The host channel: a window of another process that holds the game's main window (a web-portal
// host starts the game with "-wnd=<its handle in hex>"). The host listens under its handle number
// in the runtime folder. While it listens, IsWindow of that handle is true, PostMessageA and
// SendMessageA to it arrive here (SendMessageA cannot wait across processes and answers 0), and
// GetClientRect answers its client size. A window the game creates as a child of the host is a
// top-level window of its own here (another process's window cannot hold it) whose GetParent is
// the host; it is attached to the host, and what the host posts arrives in its message queue.
// Open and Close from one thread, the rest from any; the host's messages are taken in by a thread
// of its own.
class THostWindow {
public:
    struct TMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    THostWindow();
    // Closes the host.
    ~THostWindow();
    THostWindow(const THostWindow&) = delete;
    THostWindow& operator=(const THostWindow&) = delete;

    // Starts listening as the window `handle`; false when the handle is 0, another live host has
    // it, there is no runtime folder, or this host is open already.
    bool Open(std::uintptr_t handle, int clientWidth, int clientHeight);
    // Stops listening and lets go of the attached windows; IsWindow of the handle is false once
    // this returns. Safe to call again.
    void Close();
    HWND Handle() const;
    // The messages that arrived since the last call, oldest first.
    std::vector<TMessage> TakeMessages();
    // Posts to every attached window; when it returns the message waits in their queues.
    // Answers how many windows it reached.
    int Post(UINT message, WPARAM wParam, LPARAM lParam);
    // Windows of the game that are attached now.
    int AttachedCount();

    // Shared with the host's listening thread.
    struct TState;

private:
    std::shared_ptr<TState> mState;
};

} // namespace standin
