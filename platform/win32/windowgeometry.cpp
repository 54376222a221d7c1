// Window geometry: frames and client areas, placement and z-order, show state.
#include "platform/win32/desktop.h"
#include "platform/win32/windowbackend.h"
#include "platform/win32/windowimpl.h"

#include <algorithm>

namespace standin::detail {

RECT FrameInsets(DWORD style, DWORD exStyle, bool menu) {
    int frame = 0;
    if ((style & WS_THICKFRAME) != 0) {
        frame = 4;
    } else if ((style & WS_DLGFRAME) != 0 || (exStyle & WS_EX_DLGMODALFRAME) != 0) {
        frame = 3;
    } else if ((style & WS_BORDER) != 0) {
        frame = 1;
    }
    int top = frame;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        top += 19;
    }
    if (menu) {
        top += 19;
    }
    return RECT{frame, top, frame, frame};
}

RECT ClientRectOnScreen(const TWindow& window) {
    RECT rect = window.rect;
    if (window.parent != nullptr && (window.style & WS_CHILD) != 0) {
        if (const TWindow* parent = WindowOf(window.parent)) {
            const RECT origin = ClientRectOnScreen(*parent);
            rect.left += origin.left;
            rect.right += origin.left;
            rect.top += origin.top;
            rect.bottom += origin.top;
        }
    }
    if (window.minimized) {
        return RECT{rect.left, rect.top, rect.left, rect.top};
    }
    const RECT inset = FrameInsets(window.style, window.exStyle, false);
    RECT client{rect.left + inset.left, rect.top + inset.top, rect.right - inset.right,
                rect.bottom - inset.bottom};
    client.right = std::max(client.right, client.left);
    client.bottom = std::max(client.bottom, client.top);
    return client;
}

void BringToFront(HWND window) {
    auto& order = User().zOrder;
    auto found = std::find(order.begin(), order.end(), window);
    if (found != order.end()) {
        order.erase(found);
    }
    order.insert(order.begin(), window);
}

void ChangeWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags,
                     bool fromNative) {
    WINDOWPOS pos{window, insertAfter, x, y, cx, cy, flags};
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr) {
            return;
        }
        if ((flags & SWP_NOMOVE) != 0) {
            pos.x = record->rect.left;
            pos.y = record->rect.top;
        }
        if ((flags & SWP_NOSIZE) != 0) {
            pos.cx = record->rect.right - record->rect.left;
            pos.cy = record->rect.bottom - record->rect.top;
        }
    }
    if ((flags & SWP_NOSENDCHANGING) == 0) {
        SendTo(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    }
    bool raise = false;
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr) {
            return;
        }
        TWindowBackend& backend = Backend();
        const bool moved = pos.x != record->rect.left || pos.y != record->rect.top;
        const bool sized = pos.cx != record->rect.right - record->rect.left ||
                           pos.cy != record->rect.bottom - record->rect.top;
        if (!moved) {
            pos.flags |= SWP_NOMOVE;
        }
        if (!sized) {
            pos.flags |= SWP_NOSIZE;
        }
        record->rect = RECT{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
        if ((pos.flags & SWP_NOZORDER) == 0 && (record->style & WS_CHILD) == 0) {
            if (pos.hwndInsertAfter == HWND_TOPMOST) {
                record->exStyle |= WS_EX_TOPMOST;
            } else if (pos.hwndInsertAfter == HWND_NOTOPMOST) {
                record->exStyle &= ~WS_EX_TOPMOST;
            }
            if (pos.hwndInsertAfter == HWND_BOTTOM) {
                auto& order = User().zOrder;
                order.erase(std::remove(order.begin(), order.end(), window), order.end());
                order.push_back(window);
            } else {
                BringToFront(window);
                raise = true;
            }
            backend.SetTopmost(*record);
        }
        // A place the window system reported but the procedure changed goes back to it.
        const bool overridden = pos.x != x || pos.y != y || pos.cx != cx || pos.cy != cy;
        const bool place =
            fromNative ? overridden : (moved || sized || (flags & SWP_FRAMECHANGED) != 0);
        if (place && !record->minimized) {
            backend.Place(*record, ClientRectOnScreen(*record));
        }
        if (raise && record->visible) {
            backend.Raise(*record);
        }
        if (sized && (pos.flags & SWP_NOREDRAW) == 0) {
            record->invalid = true;
            record->erase = true;
        }
    }
    SendTo(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

bool ShowState(HWND window, bool visible) {
    bool was = false;
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr) {
            return false;
        }
        was = record->visible;
        if (was == visible) {
            return was;
        }
    }
    SendTo(window, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr) {
        return was;
    }
    record->visible = visible;
    if (visible) {
        record->style |= WS_VISIBLE;
        record->invalid = true;
        record->erase = true;
    } else {
        record->style &= ~WS_VISIBLE;
    }
    Backend().Show(*record, visible);
    WakeQueues();
    return was;
}

} // namespace standin::detail

namespace {

using namespace standin::detail;

void Minimize(HWND window) {
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr || record->minimized) {
            return;
        }
        record->restoreRect = record->rect;
        record->minimized = true;
        record->maximized = false;
        record->style |= WS_MINIMIZE;
        Backend().Minimize(*record);
    }
    // Windows parks a minimised window far off the screen.
    ChangeWindowPos(window, nullptr, -32000, -32000, 160, 28, SWP_NOZORDER | SWP_NOACTIVATE, true);
    ActivateNext(window);
}

void Restore(HWND window, bool maximize) {
    RECT target{};
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr) {
            return;
        }
        if (!record->minimized && record->maximized == maximize) {
            return;
        }
        if (!maximize) {
            target = record->restoreRect;
        } else if (!record->minimized) {
            record->restoreRect = record->rect;
        }
        if (maximize) {
            const RECT area = MaximizedArea(record->minimized ? record->restoreRect : record->rect,
                                            (record->style & WS_CAPTION) == WS_CAPTION);
            // The borders go past the area's edges; the caption stays inside it.
            const LONG border = FrameInsets(record->style, record->exStyle, false).left;
            target = RECT{area.left - border, area.top - border, area.right + border,
                          area.bottom + border};
        }
        record->minimized = false;
        record->maximized = maximize;
        record->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        if (maximize) {
            record->style |= WS_MAXIMIZE;
        }
        Backend().Restore(*record, maximize);
    }
    ChangeWindowPos(window, nullptr, target.left, target.top, target.right - target.left,
                    target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE, false);
}

} // namespace

BOOL ShowWindow(HWND window, int command) {
    if (IsRemoteWindow(window)) {
        return RemoteRequest(window, STANDIN_REMOTE_SHOW, static_cast<WPARAM>(command), 0);
    }
    bool was = false;
    bool minimized = false;
    bool topLevel = false;
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        was = record->visible;
        minimized = record->minimized;
        topLevel = (record->style & WS_CHILD) == 0;
    }
    switch (command) {
    case SW_HIDE:
        ShowState(window, false);
        ActivateNext(window);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        ShowState(window, true);
        Minimize(window);
        break;
    case SW_MAXIMIZE:
        ShowState(window, true);
        Restore(window, true);
        if (topLevel) {
            Activate(window, WA_ACTIVE);
        }
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        ShowState(window, true);
        Restore(window, false);
        if (topLevel) {
            Activate(window, WA_ACTIVE);
            // Activated while minimised, it took no focus then; restored, it does.
            if (GetActiveWindow() == window && GetFocus() == nullptr) {
                SetFocus(window);
            }
        }
        break;
    case SW_SHOWNOACTIVATE:
        ShowState(window, true);
        Restore(window, false);
        break;
    case SW_SHOWNA:
        ShowState(window, true);
        break;
    case SW_SHOW:
    default:
        ShowState(window, true);
        if (topLevel && !minimized) {
            Activate(window, WA_ACTIVE);
        }
        break;
    }
    return was ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    bool topLevel = false;
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        topLevel = (record->style & WS_CHILD) == 0;
    }
    if ((flags & SWP_SHOWWINDOW) != 0) {
        ShowState(window, true);
    }
    ChangeWindowPos(window, insertAfter, x, y, width, height, flags, false);
    if ((flags & SWP_HIDEWINDOW) != 0) {
        ShowState(window, false);
        ActivateNext(window);
    } else if ((flags & SWP_NOACTIVATE) == 0 && topLevel && IsWindowVisible(window)) {
        Activate(window, WA_ACTIVE);
    }
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(window, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

BOOL GetClientRect(HWND window, RECT* rect) {
    if (rect != nullptr && IsForeignHandle(window) && HostClientRect(window, rect)) {
        return TRUE;
    }
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const RECT client = ClientRectOnScreen(*record);
    *rect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL GetWindowRect(HWND window, RECT* rect) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr || rect == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = record->rect;
    if ((record->style & WS_CHILD) != 0) {
        if (const TWindow* parent = WindowOf(record->parent)) {
            const RECT origin = ClientRectOnScreen(*parent);
            rect->left += origin.left;
            rect->right += origin.left;
            rect->top += origin.top;
            rect->bottom += origin.top;
        }
    }
    return TRUE;
}

BOOL AdjustWindowRectEx(RECT* rect, DWORD style, BOOL menu, DWORD exStyle) {
    if (rect == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT inset = FrameInsets(style, exStyle, menu != FALSE);
    rect->left -= inset.left;
    rect->top -= inset.top;
    rect->right += inset.right;
    rect->bottom += inset.bottom;
    return TRUE;
}

BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu) {
    return AdjustWindowRectEx(rect, style, menu, 0);
}

BOOL ClientToScreen(HWND window, POINT* point) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr || point == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const RECT client = ClientRectOnScreen(*record);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr || point == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const RECT client = ClientRectOnScreen(*record);
    point->x -= client.left;
    point->y -= client.top;
    return TRUE;
}

HWND GetWindow(HWND window, UINT command) {
    auto hold = Hold();
    auto& user = User();
    const TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const bool child = (record->style & WS_CHILD) != 0;
    std::vector<HWND> siblings;
    if (child || command == GW_CHILD) {
        const HWND parent = command == GW_CHILD ? window : record->parent;
        for (const auto& entry : user.windows) {
            if (entry.second->parent == parent && (entry.second->style & WS_CHILD) != 0) {
                siblings.push_back(entry.first);
            }
        }
    } else {
        siblings = user.zOrder;
    }
    switch (command) {
    case GW_CHILD:
    case GW_HWNDFIRST:
        return siblings.empty() ? nullptr : siblings.front();
    case GW_HWNDLAST:
        return siblings.empty() ? nullptr : siblings.back();
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
        auto at = std::find(siblings.begin(), siblings.end(), window);
        if (at == siblings.end()) {
            return nullptr;
        }
        if (command == GW_HWNDNEXT) {
            return at + 1 == siblings.end() ? nullptr : *(at + 1);
        }
        return at == siblings.begin() ? nullptr : *(at - 1);
    }
    case GW_OWNER:
        return child ? nullptr : record->parent;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}
