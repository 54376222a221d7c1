// The default window procedure: what a window does with the messages its own procedure leaves.
#include "platform/win32/windowbackend.h"
#include "platform/win32/windowimpl.h"

namespace {

using namespace standin::detail;

WPARAM SizeType(const TWindow& window) {
    if (window.minimized) {
        return SIZE_MINIMIZED;
    }
    return window.maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

LRESULT HitTest(HWND window, LPARAM lParam) {
    const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr) {
        return HTNOWHERE;
    }
    const RECT client = ClientRectOnScreen(*record);
    if (point.x >= client.left && point.x < client.right && point.y >= client.top &&
        point.y < client.bottom) {
        return HTCLIENT;
    }
    RECT outer = record->rect;
    if ((record->style & WS_CHILD) != 0) {
        outer = RECT{client.left, client.top, client.right, client.bottom};
    }
    if (point.x < outer.left || point.x >= outer.right || point.y < outer.top ||
        point.y >= outer.bottom) {
        return HTNOWHERE;
    }
    const RECT inset = FrameInsets(record->style, record->exStyle, false);
    const bool thick = (record->style & WS_THICKFRAME) != 0;
    const bool left = point.x < outer.left + inset.left;
    const bool right = point.x >= outer.right - inset.right;
    const bool top = point.y < outer.top + inset.left;
    const bool bottom = point.y >= outer.bottom - inset.bottom;
    if (!thick && (left || right || top || bottom)) {
        return HTBORDER;
    }
    if (top) {
        return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
    }
    if (bottom) {
        return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
    }
    if (left) {
        return HTLEFT;
    }
    if (right) {
        return HTRIGHT;
    }
    return HTCAPTION;
}

LRESULT DefWindowProcCommon(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool wide) {
    switch (message) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: {
        auto hold = Hold();
        const TWindow* record = WindowOf(window);
        return record != nullptr && record->windowClass->background != nullptr ? 1 : 0;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (pos == nullptr) {
            return 0;
        }
        WPARAM type = SIZE_RESTORED;
        RECT client{};
        POINT origin{0, 0};
        HWND parent = nullptr;
        bool child = false;
        {
            auto hold = Hold();
            const TWindow* record = WindowOf(window);
            if (record == nullptr) {
                return 0;
            }
            type = SizeType(*record);
            const RECT screen = ClientRectOnScreen(*record);
            client = RECT{0, 0, screen.right - screen.left, screen.bottom - screen.top};
            origin = POINT{screen.left, screen.top};
            child = (record->style & WS_CHILD) != 0;
            parent = record->parent;
        }
        if (child) {
            ScreenToClient(parent, &origin);
        }
        if ((pos->flags & SWP_NOMOVE) == 0) {
            SendTo(window, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
        }
        if ((pos->flags & SWP_NOSIZE) == 0) {
            SendTo(window, WM_SIZE, type, MAKELPARAM(client.right, client.bottom));
        }
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0) {
            SetFocus(window);
        }
        return 0;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_NCHITTEST:
        return HitTest(window, lParam);
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) {
            return FALSE;
        }
        HCURSOR cursor = nullptr;
        {
            auto hold = Hold();
            const TWindow* record = WindowOf(window);
            cursor = record != nullptr ? record->windowClass->cursor : nullptr;
        }
        if (cursor == nullptr) {
            return FALSE;
        }
        SetCursor(cursor);
        return TRUE;
    }
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            ShowWindow(window, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            ShowWindow(window, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(window, SW_RESTORE);
            break;
        case SC_CLOSE:
            SendTo(window, WM_CLOSE, 0, 0);
            break;
        default:
            break;
        }
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F4 && (lParam & (1L << 29)) != 0) {
            SendTo(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_SETTEXT: {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr) {
            return FALSE;
        }
        record->title = wide ? Utf8FromWide(reinterpret_cast<const char16_t*>(lParam))
                             : Utf8FromAnsi(reinterpret_cast<const char*>(lParam));
        Backend().SetTitle(*record);
        return TRUE;
    }
    default:
        return 0;
    }
}

} // namespace

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcCommon(window, message, wParam, lParam, false);
}

LRESULT DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcCommon(window, message, wParam, lParam, true);
}

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam,
                        LPARAM lParam) {
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}
