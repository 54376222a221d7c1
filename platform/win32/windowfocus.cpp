// Activation, keyboard focus and mouse capture.
#include "platform/win32/windowbackend.h"
#include "platform/win32/windowimpl.h"

namespace standin::detail {

namespace {

// The owner of a top-level window: its parent when that is one of ours.
TWindow* OwnerOf(const TWindow& window) {
    return (window.style & WS_CHILD) == 0 ? WindowOf(window.parent) : nullptr;
}

// The window heading the ownership chain keeps which of the chain was activated last.
void NoteActivation(HWND window) {
    TWindow* root = WindowOf(window);
    while (TWindow* owner = root != nullptr ? OwnerOf(*root) : nullptr) {
        root = owner;
    }
    if (root != nullptr) {
        root->lastActivePopup = window;
    }
}

} // namespace

void Activate(HWND window, int how) {
    HWND old = nullptr;
    bool oldMinimized = false;
    bool newMinimized = false;
    bool appWas = false;
    std::vector<HWND> topLevels;
    HWND lostCapture = nullptr;
    HWND lostFocus = nullptr;
    {
        auto hold = Hold();
        auto& user = User();
        if (window != nullptr) {
            window = TopLevelOf(window);
            if (window == nullptr) {
                return;
            }
        }
        old = user.active;
        if (old == window) {
            return;
        }
        if (const TWindow* record = WindowOf(old)) {
            oldMinimized = record->minimized;
        } else {
            old = nullptr;
        }
        if (const TWindow* record = WindowOf(window)) {
            newMinimized = record->minimized;
        }
        appWas = user.appActive;
        user.active = window;
        user.appActive = window != nullptr;
        if (window != nullptr) {
            BringToFront(window);
            NoteActivation(window);
        }
        for (const auto& entry : user.windows) {
            if ((entry.second->style & WS_CHILD) == 0) {
                topLevels.push_back(entry.first);
            }
        }
        if (window == nullptr) {
            lostCapture = user.capture;
            user.capture = nullptr;
            lostFocus = user.focus;
            user.focus = nullptr;
        } else if (old != nullptr && user.focus != nullptr && IsDescendant(user.focus, old)) {
            lostFocus = user.focus;
            user.focus = nullptr;
        }
    }
    if (old != nullptr) {
        SendTo(old, WM_NCACTIVATE, FALSE, 0);
        SendTo(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, oldMinimized ? 1 : 0),
               reinterpret_cast<LPARAM>(window));
    }
    if (appWas && window == nullptr) {
        for (HWND each : topLevels) {
            SendTo(each, WM_ACTIVATEAPP, FALSE, 0);
        }
    }
    if (lostCapture != nullptr) {
        Backend().CaptureMouse(false);
        SendTo(lostCapture, WM_CAPTURECHANGED, 0, 0);
    }
    if (lostFocus != nullptr) {
        SendTo(lostFocus, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    }
    if (window == nullptr) {
        return;
    }
    if (!appWas) {
        for (HWND each : topLevels) {
            SendTo(each, WM_ACTIVATEAPP, TRUE, 0);
        }
    }
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record != nullptr && record->visible && !record->minimized) {
            Backend().Raise(*record);
        }
    }
    SendTo(window, WM_NCACTIVATE, TRUE, 0);
    SendTo(window, WM_ACTIVATE, MAKEWPARAM(how, newMinimized ? 1 : 0),
           reinterpret_cast<LPARAM>(old));
}

void ActivateNext(HWND leaving) {
    HWND next = nullptr;
    {
        auto hold = Hold();
        auto& user = User();
        if (user.active != leaving) {
            return;
        }
        for (HWND candidate : user.zOrder) {
            const TWindow* record = WindowOf(candidate);
            if (candidate != leaving && record != nullptr && record->visible &&
                !record->minimized && !record->destroying) {
                next = candidate;
                break;
            }
        }
    }
    Activate(next, WA_ACTIVE);
}

} // namespace standin::detail

namespace {

using namespace standin::detail;

} // namespace

HWND GetForegroundWindow() {
    auto hold = Hold();
    return User().appActive ? User().active : nullptr;
}

BOOL SetForegroundWindow(HWND window) {
    if (IsRemoteWindow(window)) {
        return RemoteRequest(window, STANDIN_REMOTE_FOREGROUND, 0, 0);
    }
    if (!IsWindow(window)) {
        return FALSE;
    }
    Activate(window, WA_ACTIVE);
    return TRUE;
}

HWND GetActiveWindow() {
    auto hold = Hold();
    return User().active;
}

HWND GetLastActivePopup(HWND window) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const TWindow* popup = WindowOf(record->lastActivePopup);
    if (popup == nullptr || popup->destroying || !popup->visible) {
        return window;
    }
    for (const TWindow* owner = OwnerOf(*popup); owner != nullptr; owner = OwnerOf(*owner)) {
        if (owner == record) {
            return record->lastActivePopup;
        }
    }
    return window;
}

HWND SetActiveWindow(HWND window) {
    HWND old = GetActiveWindow();
    if (window != nullptr && !IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    Activate(window, WA_ACTIVE);
    return old;
}

HWND GetFocus() {
    auto hold = Hold();
    return User().focus;
}

HWND SetFocus(HWND window) {
    HWND old = nullptr;
    HWND top = nullptr;
    {
        auto hold = Hold();
        old = User().focus;
        if (window != nullptr) {
            if (WindowOf(window) == nullptr) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            top = TopLevelOf(window);
        }
        if (old == window) {
            return old;
        }
    }
    if (top != nullptr && GetActiveWindow() != top) {
        Activate(top, WA_ACTIVE);
        auto hold = Hold();
        old = User().focus;
        if (old == window) {
            return old;
        }
    }
    {
        auto hold = Hold();
        User().focus = window;
    }
    if (old != nullptr && IsWindow(old)) {
        SendTo(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    }
    if (window != nullptr) {
        SendTo(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

HWND GetCapture() {
    auto hold = Hold();
    return User().capture;
}

HWND SetCapture(HWND window) {
    HWND old = nullptr;
    bool native = false;
    TWindowBackend& backend = Backend();
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            return nullptr;
        }
        const TWindow* top = WindowOf(TopLevelOf(window));
        native = top != nullptr && backend.HasNative(*top);
        old = User().capture;
        User().capture = window;
    }
    if (native) {
        backend.CaptureMouse(true);
    }
    if (old != nullptr && old != window) {
        SendTo(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    }
    return old;
}

BOOL ReleaseCapture() {
    HWND old = nullptr;
    HWND leave = nullptr;
    {
        auto hold = Hold();
        auto& user = User();
        old = user.capture;
        user.capture = nullptr;
        // A mouse that left while captured leaves for real now.
        TQueue& queue = QueueOf(CurrentThreadId());
        if (old != nullptr && queue.trackWindow != nullptr && (queue.trackFlags & TME_LEAVE) != 0 &&
            (user.mouseWindow == nullptr ||
             TopLevelOf(user.mouseWindow) != TopLevelOf(queue.trackWindow))) {
            leave = queue.trackWindow;
            queue.trackFlags &= ~(TME_LEAVE | TME_HOVER);
            queue.trackWindow = nullptr;
        }
    }
    if (old != nullptr) {
        Backend().CaptureMouse(false);
        SendTo(old, WM_CAPTURECHANGED, 0, 0);
    }
    if (leave != nullptr) {
        PostTo(leave, WM_MOUSELEAVE, 0, 0);
    }
    return TRUE;
}
