#include "platform/win32/mmsystem.h"
#include "platform/win32/standin.h"
#include "platform/win32/synchapi.h"
#include "platform/win32/userstate.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace standin::detail {

TQueue& QueueOf(DWORD thread) {
    return User().queues[thread];
}

} // namespace standin::detail

namespace {

using namespace standin::detail;

MSG Stamp(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{window, message, wParam, lParam, timeGetTime(), User().cursor};
}

// Runs what other threads handed to this one. Returns whether anything ran.
bool RunTasks() {
    bool ran = false;
    for (;;) {
        std::function<void()> task;
        {
            auto hold = Hold();
            auto& tasks = QueueOf(CurrentThreadId()).tasks;
            if (tasks.empty()) {
                return ran;
            }
            task = std::move(tasks.front());
            tasks.pop_front();
        }
        task();
        ran = true;
    }
}

bool InRange(UINT message, UINT low, UINT high) {
    return (low == 0 && high == 0) || (message >= low && message <= high);
}

bool Matches(const MSG& message, HWND window, UINT low, UINT high) {
    if (!InRange(message.message, low, high)) {
        return false;
    }
    if (window == nullptr) {
        return true;
    }
    if (window == reinterpret_cast<HWND>(-1)) {
        return message.hwnd == nullptr;
    }
    return message.hwnd == window || IsDescendant(message.hwnd, window);
}

bool IsMouseMessage(UINT message) {
    return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && message != WM_MOUSEWHEEL &&
           message != WM_MOUSEHWHEEL;
}

// GetKeyState follows the messages the thread takes out of its queue.
void NoteKeyState(TQueue& queue, const MSG& message) {
    auto press = [&queue](int key, bool down, bool repeat) {
        BYTE& state = queue.keys[key & 0xFF];
        if (down) {
            if ((state & 0x80) == 0 && !repeat) {
                state ^= 1;
            }
            state |= 0x80;
        } else {
            state &= static_cast<BYTE>(~0x80);
        }
    };
    switch (message.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        const bool down = message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN;
        const bool repeat = down && (message.lParam & (1L << 30)) != 0;
        const int key = static_cast<int>(message.wParam & 0xFF);
        const bool extended = (message.lParam & (1L << 24)) != 0;
        press(key, down, repeat);
        if (key == VK_SHIFT) {
            press(((message.lParam >> 16) & 0xFF) == 0x36 ? VK_RSHIFT : VK_LSHIFT, down, repeat);
        } else if (key == VK_CONTROL) {
            press(extended ? VK_RCONTROL : VK_LCONTROL, down, repeat);
        } else if (key == VK_MENU) {
            press(extended ? VK_RMENU : VK_LMENU, down, repeat);
        }
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        press(VK_LBUTTON, message.message == WM_LBUTTONDOWN, false);
        break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        press(VK_RBUTTON, message.message == WM_RBUTTONDOWN, false);
        break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        press(VK_MBUTTON, message.message == WM_MBUTTONDOWN, false);
        break;
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
        press(HIWORD(message.wParam) == XBUTTON1 ? VK_XBUTTON1 : VK_XBUTTON2,
              message.message == WM_XBUTTONDOWN, false);
        break;
    default:
        break;
    }
}

// WM_MOUSEHOVER once the mouse rested long enough inside the tracked window.
void CheckHover(TQueue& queue) {
    auto& user = User();
    if ((queue.trackFlags & TME_HOVER) == 0 || queue.trackWindow == nullptr ||
        user.mouseWindow == nullptr ||
        TopLevelOf(user.mouseWindow) != TopLevelOf(queue.trackWindow)) {
        return;
    }
    const DWORD now = timeGetTime();
    if (std::abs(user.cursor.x - queue.hoverAnchor.x) > 2 ||
        std::abs(user.cursor.y - queue.hoverAnchor.y) > 2) {
        queue.hoverAnchor = user.cursor;
        queue.hoverStart = now;
        return;
    }
    if (now - queue.hoverStart < queue.hoverTime) {
        return;
    }
    const TWindow* record = WindowOf(queue.trackWindow);
    if (record == nullptr) {
        return;
    }
    const RECT client = ClientRectOnScreen(*record);
    WPARAM keys = 0;
    const auto down = [&queue](int key) { return (queue.keys[key] & 0x80) != 0; };
    keys |= down(VK_LBUTTON) ? MK_LBUTTON : 0;
    keys |= down(VK_RBUTTON) ? MK_RBUTTON : 0;
    keys |= down(VK_MBUTTON) ? MK_MBUTTON : 0;
    keys |= down(VK_SHIFT) ? MK_SHIFT : 0;
    keys |= down(VK_CONTROL) ? MK_CONTROL : 0;
    queue.posted.push_back(
        Stamp(queue.trackWindow, WM_MOUSEHOVER, keys,
              MAKELPARAM(user.cursor.x - client.left, user.cursor.y - client.top)));
    queue.trackFlags &= ~TME_HOVER;
}

BOOL Peek(LPMSG out, HWND window, UINT low, UINT high, UINT flags) {
    if (out == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RunTasks();
    if (IsSdlThread()) {
        PumpSdl();
        ApplyCursor();
    }
    const bool remove = (flags & PM_REMOVE) != 0;
    const DWORD self = CurrentThreadId();
    MSG found{};
    bool mouse = false;
    {
        auto hold = Hold();
        TQueue& queue = QueueOf(self);
        CheckHover(queue);
        for (auto* list : {&queue.posted, &queue.input}) {
            auto at = std::find_if(list->begin(), list->end(), [&](const MSG& message) {
                return Matches(message, window, low, high);
            });
            if (at == list->end()) {
                continue;
            }
            found = *at;
            if (remove) {
                list->erase(at);
                NoteKeyState(queue, found);
                mouse = list == &queue.input && IsMouseMessage(found.message) &&
                        User().capture == nullptr && found.hwnd != nullptr;
            }
            hold.unlock();
            *out = found;
            break;
        }
        if (!hold.owns_lock()) {
            if (mouse) {
                // The cursor shape is settled before the mouse message is handled.
                const LRESULT hit =
                    SendTo(found.hwnd, WM_NCHITTEST, 0, MAKELPARAM(found.pt.x, found.pt.y));
                SendTo(found.hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(found.hwnd),
                       MAKELPARAM(static_cast<WORD>(hit), found.message));
            }
            return TRUE;
        }
        if (queue.quit && (window == nullptr || window == reinterpret_cast<HWND>(-1)) &&
            InRange(WM_QUIT, low, high)) {
            *out = Stamp(nullptr, WM_QUIT, static_cast<WPARAM>(queue.quitCode), 0);
            if (remove) {
                queue.quit = false;
            }
            return TRUE;
        }
        if (InRange(WM_PAINT, low, high)) {
            for (const auto& entry : User().windows) {
                const TWindow& record = *entry.second;
                if (record.thread == self && record.invalid && record.visible &&
                    !record.minimized && !record.destroying &&
                    (window == nullptr || entry.first == window ||
                     IsDescendant(entry.first, window))) {
                    // WM_PAINT stays until the window is validated.
                    *out = Stamp(entry.first, WM_PAINT, 0, 0);
                    return TRUE;
                }
            }
        }
        if (InRange(WM_TIMER, low, high)) {
            const DWORD now = timeGetTime();
            TTimer* due = nullptr;
            for (auto& timer : queue.timers) {
                const bool elapsed = static_cast<std::int32_t>(now - timer.due) >= 0;
                const bool wanted =
                    window == nullptr ||
                    (window == reinterpret_cast<HWND>(-1)
                         ? timer.window == nullptr
                         : timer.window == window || IsDescendant(timer.window, window));
                if (elapsed && wanted &&
                    (due == nullptr || static_cast<std::int32_t>(timer.due - due->due) < 0)) {
                    due = &timer;
                }
            }
            if (due != nullptr) {
                *out =
                    Stamp(due->window, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->procedure));
                if (remove) {
                    due->due = now + due->elapse;
                }
                return TRUE;
            }
        }
    }
    return FALSE;
}

bool BadFilterWindow(HWND window) {
    if (window == nullptr || window == reinterpret_cast<HWND>(-1)) {
        return false;
    }
    auto hold = Hold();
    return WindowOf(window) == nullptr;
}

BOOL Get(LPMSG out, HWND window, UINT low, UINT high) {
    if (out == nullptr || BadFilterWindow(window)) {
        SetLastError(out == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    for (;;) {
        if (Peek(out, window, low, high, PM_REMOVE)) {
            return out->message == WM_QUIT ? FALSE : TRUE;
        }
        auto hold = Hold();
        if (QueueOf(CurrentThreadId()).tasks.empty()) {
            // SDL has no way to wake us, so its events are looked for every few milliseconds.
            SyncSignal().wait_for(hold, std::chrono::milliseconds(5));
        }
    }
}

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto hold = Hold();
    DWORD thread = CurrentThreadId();
    if (window != nullptr) {
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        thread = record->thread;
    }
    QueueOf(thread).posted.push_back(Stamp(window, message, wParam, lParam));
    WakeQueues();
    return true;
}

LRESULT Dispatch(const MSG* message) {
    if (message == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (message->message == WM_TIMER && message->lParam != 0) {
        reinterpret_cast<TIMERPROC>(message->lParam)(message->hwnd, WM_TIMER, message->wParam,
                                                     timeGetTime());
        return 0;
    }
    if (message->hwnd == nullptr) {
        return 0;
    }
    WNDPROC procedure = nullptr;
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(message->hwnd);
        if (record == nullptr || record->thread != CurrentThreadId()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        procedure = record->proc;
    }
    return procedure(message->hwnd, message->message, message->wParam, message->lParam);
}

} // namespace

namespace standin::detail {

LRESULT SendTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    DWORD owner = 0;
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        procedure = record->proc;
        owner = record->thread;
    }
    if (owner == CurrentThreadId()) {
        return procedure(window, message, wParam, lParam);
    }
    // Another thread's window: its thread runs the procedure inside its next message call, and
    // this thread keeps serving calls sent to it meanwhile.
    struct TReply {
        bool done = false;
        LRESULT result = 0;
    };
    auto reply = std::make_shared<TReply>();
    {
        auto hold = Hold();
        QueueOf(owner).tasks.push_back([reply, window, message, wParam, lParam] {
            const LRESULT result = SendTo(window, message, wParam, lParam);
            auto hold = Hold();
            reply->result = result;
            reply->done = true;
            WakeQueues();
        });
        WakeQueues();
    }
    for (;;) {
        RunTasks();
        auto hold = Hold();
        if (reply->done) {
            return reply->result;
        }
        if (QueueOf(CurrentThreadId()).tasks.empty()) {
            SyncSignal().wait_for(hold, std::chrono::milliseconds(50));
        }
    }
}

void PostInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr) {
        return;
    }
    auto& input = QueueOf(record->thread).input;
    // Windows keeps only the latest of consecutive mouse moves.
    if (message == WM_MOUSEMOVE && !input.empty() && input.back().message == WM_MOUSEMOVE &&
        input.back().hwnd == window) {
        input.back() = Stamp(window, message, wParam, lParam);
    } else {
        input.push_back(Stamp(window, message, wParam, lParam));
    }
    WakeQueues();
}

void PostTo(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Post(window, message, wParam, lParam);
}

void ForgetTimersOf(HWND window) {
    for (auto& entry : User().queues) {
        auto& timers = entry.second.timers;
        timers.erase(std::remove_if(timers.begin(), timers.end(),
                                    [window](const TTimer& t) { return t.window == window; }),
                     timers.end());
    }
}

} // namespace standin::detail

BOOL PeekMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    return Peek(message, window, filterMin, filterMax, removeFlags);
}

BOOL PeekMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    return Peek(message, window, filterMin, filterMax, removeFlags);
}

BOOL GetMessageA(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    return Get(message, window, filterMin, filterMax);
}

BOOL GetMessageW(LPMSG message, HWND window, UINT filterMin, UINT filterMax) {
    return Get(message, window, filterMin, filterMax);
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsRemoteWindow(window)) {
        return RemoteRequest(window, message, wParam, lParam);
    }
    if (IsForeignHandle(window)) {
        return HostRequest(window, message, wParam, lParam);
    }
    return Post(window, message, wParam, lParam) ? TRUE : FALSE;
}

BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return PostMessageA(window, message, wParam, lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (IsRemoteWindow(window)) {
        // Nothing can be waited for across processes; the message arrives as if posted.
        RemoteRequest(window, message, wParam, lParam);
        return 0;
    }
    if (IsForeignHandle(window)) {
        HostRequest(window, message, wParam, lParam);
        return 0;
    }
    return SendTo(window, message, wParam, lParam);
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageA(window, message, wParam, lParam);
}

LRESULT DispatchMessageA(const MSG* message) {
    return Dispatch(message);
}

LRESULT DispatchMessageW(const MSG* message) {
    return Dispatch(message);
}

BOOL TranslateMessage(const MSG* message) {
    if (message == nullptr) {
        return FALSE;
    }
    const UINT kind = message->message;
    if (kind != WM_KEYDOWN && kind != WM_SYSKEYDOWN && kind != WM_KEYUP && kind != WM_SYSKEYUP) {
        return FALSE;
    }
    if (kind == WM_KEYUP || kind == WM_SYSKEYUP) {
        return TRUE;
    }
    // Characters SDL reports as text arrive as WM_CHAR on their own; these are the ones a key
    // makes without text: control characters.
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const WPARAM key = message->wParam;
    int character = -1;
    switch (key) {
    case VK_BACK:
        character = ctrl ? 0x7F : 0x08;
        break;
    case VK_TAB:
        character = ctrl ? -1 : 0x09;
        break;
    case VK_RETURN:
        character = ctrl ? 0x0A : 0x0D;
        break;
    case VK_ESCAPE:
        character = 0x1B;
        break;
    case VK_OEM_4:
        character = ctrl ? 0x1B : -1;
        break;
    case VK_OEM_5:
        character = ctrl ? 0x1C : -1;
        break;
    case VK_OEM_6:
        character = ctrl ? 0x1D : -1;
        break;
    default:
        if (ctrl && key >= 'A' && key <= 'Z') {
            character = static_cast<int>(key - 'A' + 1);
        }
        break;
    }
    if (character >= 0) {
        Post(message->hwnd, kind == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR,
             static_cast<WPARAM>(character), message->lParam);
    }
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    auto hold = Hold();
    TQueue& queue = QueueOf(CurrentThreadId());
    queue.quit = true;
    queue.quitCode = exitCode;
    WakeQueues();
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask) {
    const auto start = std::chrono::steady_clock::now();
    const auto elapsed = [start] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    for (;;) {
        if (count > 0) {
            const DWORD result = WaitForMultipleObjects(count, handles, waitAll, 0);
            if (result != WAIT_TIMEOUT) {
                return result;
            }
        }
        if (wakeMask != 0) {
            if (IsSdlThread()) {
                PumpSdl();
            }
            auto hold = Hold();
            const TQueue& queue = QueueOf(CurrentThreadId());
            const bool ready = ((wakeMask & QS_POSTMESSAGE) != 0 && !queue.posted.empty()) ||
                               ((wakeMask & QS_INPUT) != 0 && !queue.input.empty()) ||
                               ((wakeMask & QS_SENDMESSAGE) != 0 && !queue.tasks.empty());
            if (ready) {
                return WAIT_OBJECT_0 + count;
            }
        }
        if (milliseconds != INFINITE && elapsed() >= static_cast<long long>(milliseconds)) {
            return WAIT_TIMEOUT;
        }
        if (count == 0 && wakeMask == 0 && milliseconds != INFINITE) {
            Sleep(milliseconds);
            return WAIT_TIMEOUT;
        }
        Sleep(1);
    }
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    auto hold = Hold();
    DWORD thread = CurrentThreadId();
    if (window != nullptr) {
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (record->thread != thread) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
    }
    elapse = std::clamp(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    auto& timers = QueueOf(thread).timers;
    const DWORD due = timeGetTime() + elapse;
    if (window == nullptr) {
        for (auto& timer : timers) {
            if (timer.window == nullptr && timer.id == id && id != 0) {
                timer = TTimer{nullptr, id, elapse, due, procedure};
                return id;
            }
        }
        UINT_PTR fresh = 1;
        for (bool taken = true; taken; ++fresh) {
            taken = std::any_of(timers.begin(), timers.end(), [fresh](const TTimer& t) {
                return t.window == nullptr && t.id == fresh;
            });
            if (!taken) {
                break;
            }
        }
        timers.push_back(TTimer{nullptr, fresh, elapse, due, procedure});
        return fresh;
    }
    for (auto& timer : timers) {
        if (timer.window == window && timer.id == id) {
            timer = TTimer{window, id, elapse, due, procedure};
            return id == 0 ? 1 : id;
        }
    }
    timers.push_back(TTimer{window, id, elapse, due, procedure});
    return id == 0 ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    auto hold = Hold();
    auto& timers = QueueOf(CurrentThreadId()).timers;
    auto at = std::find_if(timers.begin(), timers.end(), [window, id](const TTimer& t) {
        return t.window == window && t.id == id;
    });
    if (at == timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    timers.erase(at);
    return TRUE;
}

SHORT GetKeyState(int virtualKey) {
    auto hold = Hold();
    const BYTE state = QueueOf(CurrentThreadId()).keys[virtualKey & 0xFF];
    return static_cast<SHORT>(((state & 0x80) != 0 ? 0xFF80 : 0) | (state & 1));
}

BOOL TrackMouseEvent(TRACKMOUSEEVENT* track) {
    if (track == nullptr || track->cbSize != sizeof(TRACKMOUSEEVENT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool leaveNow = false;
    {
        auto hold = Hold();
        auto& user = User();
        if ((track->dwFlags & TME_QUERY) != 0) {
            const TQueue& queue = QueueOf(CurrentThreadId());
            track->dwFlags = queue.trackFlags;
            track->hwndTrack = queue.trackWindow;
            track->dwHoverTime = queue.hoverTime;
            return TRUE;
        }
        const TWindow* record = WindowOf(track->hwndTrack);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        TQueue& queue = QueueOf(record->thread);
        const DWORD kinds = track->dwFlags & (TME_HOVER | TME_LEAVE);
        if ((track->dwFlags & TME_CANCEL) != 0) {
            if (queue.trackWindow == track->hwndTrack) {
                queue.trackFlags &= ~kinds;
            }
            return TRUE;
        }
        if (queue.trackWindow != track->hwndTrack) {
            queue.trackFlags = 0;
        }
        queue.trackWindow = track->hwndTrack;
        queue.trackFlags |= kinds;
        if ((kinds & TME_HOVER) != 0) {
            queue.hoverTime = track->dwHoverTime == HOVER_DEFAULT ? 400 : track->dwHoverTime;
            queue.hoverStart = timeGetTime();
            queue.hoverAnchor = user.cursor;
        }
        // Asked while the mouse is already elsewhere: the leave is reported at once.
        if ((kinds & TME_LEAVE) != 0 && user.capture == nullptr &&
            (user.mouseWindow == nullptr ||
             TopLevelOf(user.mouseWindow) != TopLevelOf(track->hwndTrack))) {
            leaveNow = true;
            queue.trackFlags &= ~(TME_LEAVE | TME_HOVER);
        }
    }
    if (leaveNow) {
        PostTo(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
    }
    return TRUE;
}

namespace standin {

void InjectMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto hold = Hold();
    if (const TWindow* record = WindowOf(window)) {
        // A mouse message in client coordinates also tells where the mouse is, as SDL would.
        if (IsMouseMessage(message)) {
            const RECT client = ClientRectOnScreen(*record);
            User().mouseWindow = window;
            User().cursor = POINT{client.left + static_cast<short>(LOWORD(lParam)),
                                  client.top + static_cast<short>(HIWORD(lParam))};
        }
        hold.unlock();
        PostInput(window, message, wParam, lParam);
        return;
    }
    QueueOf(CurrentThreadId()).input.push_back(Stamp(window, message, wParam, lParam));
    WakeQueues();
}

} // namespace standin
