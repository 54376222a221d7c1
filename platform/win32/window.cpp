#include "platform/win32/userstate.h"

#include "platform/win32/mmsystem.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace standin::detail {

TUserState& User() {
    // Never destroyed, like the lock that guards it.
    static auto* state = new TUserState();
    return *state;
}

TWindow* WindowOf(HWND window) {
    auto& windows = User().windows;
    auto found = windows.find(window);
    return found == windows.end() ? nullptr : found->second.get();
}

HWND NewHandleValue() {
    const std::uintptr_t value = User().nextHandle;
    User().nextHandle += 0x10;
    return reinterpret_cast<HWND>(value);
}

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

HWND TopLevelOf(HWND window) {
    for (TWindow* record = WindowOf(window); record != nullptr; record = WindowOf(record->parent)) {
        if ((record->style & WS_CHILD) == 0 || record->parent == nullptr) {
            return record->handle;
        }
    }
    return nullptr;
}

bool IsDescendant(HWND window, HWND ancestor) {
    for (TWindow* record = WindowOf(window); record != nullptr; record = WindowOf(record->parent)) {
        if (record->handle == ancestor) {
            return true;
        }
        if ((record->style & WS_CHILD) == 0) {
            break;
        }
    }
    return false;
}

void WakeQueues() {
    SyncSignal().notify_all();
}

} // namespace standin::detail

namespace {

using namespace standin::detail;

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::unique_lock<std::mutex> Hold() {
    return std::unique_lock<std::mutex>(SyncLock());
}

ATOM AddClass(const TWindowClass& added) {
    if (added.name.empty() || added.proc == nullptr || added.wndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto hold = Hold();
    auto& classes = User().classes;
    const std::string key = Lower(added.name);
    if (classes.count(key) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    classes[key] = std::make_shared<TWindowClass>(added);
    // Atoms only need to be non-zero and distinct.
    return static_cast<ATOM>(0xC000 + classes.size());
}

void SdlSetTitle(const TWindow& window) {
    if (window.sdl != nullptr && IsSdlThread()) {
        SDL_SetWindowTitle(window.sdl, window.title.c_str());
    }
}

// Moves the SDL window to the record's client rectangle.
void SdlPlace(const TWindow& window) {
    if (window.sdl == nullptr || !IsSdlThread() || window.minimized) {
        return;
    }
    // Styles may have changed since the window was made (full screen and back).
    SDL_SetWindowBordered(window.sdl,
                          (window.style & WS_CAPTION) == WS_CAPTION ? SDL_TRUE : SDL_FALSE);
    SDL_SetWindowResizable(window.sdl, (window.style & WS_THICKFRAME) != 0 ? SDL_TRUE : SDL_FALSE);
    const RECT client = ClientRectOnScreen(window);
    SDL_SetWindowPosition(window.sdl, client.left, client.top);
    SDL_SetWindowSize(window.sdl, std::max(1L, static_cast<long>(client.right - client.left)),
                      std::max(1L, static_cast<long>(client.bottom - client.top)));
}

void BringToFront(HWND window) {
    auto& order = User().zOrder;
    auto found = std::find(order.begin(), order.end(), window);
    if (found != order.end()) {
        order.erase(found);
    }
    order.insert(order.begin(), window);
}

WPARAM SizeType(const TWindow& window) {
    if (window.minimized) {
        return SIZE_MINIMIZED;
    }
    return window.maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

} // namespace

namespace standin::detail {

// Moves, sizes and reorders a window with WM_WINDOWPOSCHANGING (which may change the request)
// and WM_WINDOWPOSCHANGED. `fromSdl`: the SDL window already has the new place.
void ChangeWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags,
                     bool fromSdl) {
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
            if (record->sdl != nullptr && IsSdlThread()) {
                SDL_SetWindowAlwaysOnTop(
                    record->sdl, (record->exStyle & WS_EX_TOPMOST) != 0 ? SDL_TRUE : SDL_FALSE);
            }
        }
        // A place SDL reported but the procedure changed goes back to SDL.
        const bool overridden = pos.x != x || pos.y != y || pos.cx != cx || pos.cy != cy;
        if (fromSdl ? overridden : (moved || sized || (flags & SWP_FRAMECHANGED) != 0)) {
            SdlPlace(*record);
        }
        if (raise && record->sdl != nullptr && IsSdlThread() && record->visible) {
            SDL_RaiseWindow(record->sdl);
        }
        if (sized && (pos.flags & SWP_NOREDRAW) == 0) {
            record->invalid = true;
            record->erase = true;
        }
    }
    SendTo(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
}

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
        if (IsSdlThread()) {
            SDL_CaptureMouse(SDL_FALSE);
        }
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
        if (record != nullptr && record->sdl != nullptr && IsSdlThread() && record->visible &&
            !record->minimized) {
            SDL_RaiseWindow(record->sdl);
        }
    }
    SendTo(window, WM_NCACTIVATE, TRUE, 0);
    SendTo(window, WM_ACTIVATE, MAKEWPARAM(how, newMinimized ? 1 : 0),
           reinterpret_cast<LPARAM>(old));
}

} // namespace standin::detail

namespace {

// Activates the next visible, not minimised top-level window after `leaving`, or none.
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
        if (record->sdl != nullptr && IsSdlThread()) {
            SDL_ShowWindow(record->sdl);
        }
    } else {
        record->style &= ~WS_VISIBLE;
        if (record->sdl != nullptr && IsSdlThread()) {
            SDL_HideWindow(record->sdl);
        }
    }
    WakeQueues();
    return was;
}

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
        if (record->sdl != nullptr && IsSdlThread()) {
            SDL_MinimizeWindow(record->sdl);
        }
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
            const RECT inset = FrameInsets(record->style, record->exStyle, false);
            target = RECT{-inset.left, -inset.top, User().screenWidth + inset.right,
                          User().screenHeight + inset.bottom};
        }
        record->minimized = false;
        record->maximized = maximize;
        record->style &= ~(WS_MINIMIZE | WS_MAXIMIZE);
        if (maximize) {
            record->style |= WS_MAXIMIZE;
        }
        if (record->sdl != nullptr && IsSdlThread()) {
            SDL_RestoreWindow(record->sdl);
            if (maximize) {
                SDL_MaximizeWindow(record->sdl);
            }
        }
    }
    ChangeWindowPos(window, nullptr, target.left, target.top, target.right - target.left,
                    target.bottom - target.top, SWP_NOZORDER | SWP_NOACTIVATE, false);
}

HWND CreateWindowCommon(DWORD exStyle, const std::string& className, std::string title, DWORD style,
                        int x, int y, int width, int height, HWND parent, HMENU menu,
                        HINSTANCE instance, LPVOID parameter, LPCSTR ansiClass, LPCSTR ansiTitle) {
    HWND handle = nullptr;
    bool topLevel = false;
    // Another process's window cannot hold ours: a child of a host window is a top-level window
    // here that keeps the host as its parent and hears from it.
    const bool hosted = (style & WS_CHILD) != 0 && IsHostWindow(parent);
    if (hosted) {
        style &= ~WS_CHILD;
    }
    {
        auto hold = Hold();
        auto& user = User();
        auto found = user.classes.find(Lower(className));
        if (found == user.classes.end()) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        if ((style & WS_CHILD) != 0 && WindowOf(parent) == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        topLevel = (style & WS_CHILD) == 0;
        if (x == CW_USEDEFAULT) {
            x = 0;
            y = 0;
        }
        if (width == CW_USEDEFAULT) {
            width = 640;
            height = 480;
        }
        auto record = std::make_unique<TWindow>();
        record->handle = handle = NewHandleValue();
        record->windowClass = found->second;
        record->thread = CurrentThreadId();
        record->proc = found->second->proc;
        record->style = style & ~WS_VISIBLE;
        record->exStyle = exStyle;
        record->parent = parent;
        record->id = topLevel ? 0 : reinterpret_cast<LONG_PTR>(menu);
        record->instance = instance;
        record->extra.assign(static_cast<size_t>(found->second->wndExtra), 0);
        record->title = std::move(title);
        record->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        record->systemMenu = {{SC_RESTORE, MFS_ENABLED},  {SC_MOVE, MFS_ENABLED},
                              {SC_SIZE, MFS_ENABLED},     {SC_MINIMIZE, MFS_ENABLED},
                              {SC_MAXIMIZE, MFS_ENABLED}, {0, MFS_ENABLED},
                              {SC_CLOSE, MFS_ENABLED}};
        TWindow* added = record.get();
        user.windows[handle] = std::move(record);
        if (topLevel) {
            user.zOrder.insert(user.zOrder.begin(), handle);
        }
        hold.unlock();
        if (topLevel && EnsureSdlVideo()) {
            Uint32 flags = SDL_WINDOW_HIDDEN;
            if ((style & WS_CAPTION) != WS_CAPTION) {
                flags |= SDL_WINDOW_BORDERLESS;
            }
            if ((style & WS_THICKFRAME) != 0) {
                flags |= SDL_WINDOW_RESIZABLE;
            }
            if ((exStyle & WS_EX_TOPMOST) != 0) {
                flags |= SDL_WINDOW_ALWAYS_ON_TOP;
            }
            hold.lock();
            const RECT client = ClientRectOnScreen(*added);
            hold.unlock();
            SDL_Window* sdl =
                SDL_CreateWindow(added->title.c_str(), client.left, client.top,
                                 std::max(1, static_cast<int>(client.right - client.left)),
                                 std::max(1, static_cast<int>(client.bottom - client.top)), flags);
            hold.lock();
            if (sdl == nullptr) {
                user.windows.erase(handle);
                user.zOrder.erase(std::remove(user.zOrder.begin(), user.zOrder.end(), handle),
                                  user.zOrder.end());
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
            added->sdl = sdl;
            added->sdlId = SDL_GetWindowID(sdl);
            hold.unlock();
        }
    }
    if (hosted && !AttachToHost(handle, parent)) {
        // The host went away meanwhile.
        DestroyWindow(handle);
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    CREATESTRUCTA create{
        parameter, instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
        ansiTitle, ansiClass, exStyle};
    if (SendTo(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0 ||
        SendTo(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    RECT client{};
    GetClientRect(handle, &client);
    SendTo(handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    POINT origin{0, 0};
    ClientToScreen(handle, &origin);
    if (!topLevel) {
        ScreenToClient(parent, &origin);
    }
    SendTo(handle, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    // Only top-level windows are found by class; a hosted window is a child to the system.
    if (topLevel && !hosted) {
        PublishWindow(handle, className);
    }
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(handle, SW_SHOW);
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
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
        SdlSetTitle(*record);
        return TRUE;
    }
    default:
        return 0;
    }
}

} // namespace

ATOM RegisterClassA(const WNDCLASSA* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    TWindowClass added;
    added.name = windowClass->lpszClassName;
    added.style = windowClass->style;
    added.proc = windowClass->lpfnWndProc;
    added.wndExtra = windowClass->cbWndExtra;
    added.instance = windowClass->hInstance;
    added.icon = windowClass->hIcon;
    added.cursor = windowClass->hCursor;
    added.background = windowClass->hbrBackground;
    return AddClass(added);
}

ATOM RegisterClassW(const WNDCLASSW* windowClass) {
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    TWindowClass added;
    added.name = Utf8FromWide(windowClass->lpszClassName);
    added.unicode = true;
    added.style = windowClass->style;
    added.proc = windowClass->lpfnWndProc;
    added.wndExtra = windowClass->cbWndExtra;
    added.instance = windowClass->hInstance;
    added.icon = windowClass->hIcon;
    added.cursor = windowClass->hCursor;
    added.background = windowClass->hbrBackground;
    return AddClass(added);
}

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (windowClass == nullptr || windowClass->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const WNDCLASSA plain{windowClass->style,        windowClass->lpfnWndProc,
                          windowClass->cbClsExtra,   windowClass->cbWndExtra,
                          windowClass->hInstance,    windowClass->hIcon,
                          windowClass->hCursor,      windowClass->hbrBackground,
                          windowClass->lpszMenuName, windowClass->lpszClassName};
    return RegisterClassA(&plain);
}

BOOL UnregisterClassA(LPCSTR className, HINSTANCE) {
    if (className == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    auto hold = Hold();
    auto& user = User();
    const std::string key = Lower(className);
    auto found = user.classes.find(key);
    if (found == user.classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (const auto& entry : user.windows) {
        if (entry.second->windowClass == found->second) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
    }
    user.classes.erase(found);
    return TRUE;
}

ULONG_PTR SetClassLongPtrA(HWND window, int index, LONG_PTR value) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    TWindowClass& windowClass = *record->windowClass;
    ULONG_PTR old = 0;
    if (index == GCLP_HCURSOR) {
        old = reinterpret_cast<ULONG_PTR>(windowClass.cursor);
        windowClass.cursor = reinterpret_cast<HCURSOR>(value);
    } else if (index == GCLP_HICON) {
        old = reinterpret_cast<ULONG_PTR>(windowClass.icon);
        windowClass.icon = reinterpret_cast<HICON>(value);
    } else {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    SetLastError(ERROR_SUCCESS);
    return old;
}

DWORD SetClassLongA(HWND window, int index, LONG value) {
    return static_cast<DWORD>(SetClassLongPtrA(window, index, value));
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter) {
    if (className == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    return CreateWindowCommon(exStyle, className, Utf8FromAnsi(windowName), style, x, y, width,
                              height, parent, menu, instance, parameter, className, windowName);
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter) {
    if (className == nullptr) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const std::string name = Utf8FromWide(className);
    const std::string title = Utf8FromWide(windowName);
    return CreateWindowCommon(exStyle, name, title, style, x, y, width, height, parent, menu,
                              instance, parameter, nullptr, nullptr);
}

BOOL DestroyWindow(HWND window) {
    std::vector<HWND> children;
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (record->thread != CurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (record->destroying) {
            return TRUE;
        }
        record->destroying = true;
        for (const auto& entry : User().windows) {
            if (entry.second->parent == window && (entry.second->style & WS_CHILD) != 0) {
                children.push_back(entry.first);
            }
        }
    }
    ShowState(window, false);
    ActivateNext(window);
    SendTo(window, WM_DESTROY, 0, 0);
    for (HWND child : children) {
        DestroyWindow(child);
    }
    SendTo(window, WM_NCDESTROY, 0, 0);
    WithdrawWindow(window);
    DetachFromHost(window);
    HWND lostCapture = nullptr;
    {
        auto hold = Hold();
        auto& user = User();
        ForgetTimersOf(window);
        if (user.capture == window) {
            user.capture = nullptr;
            lostCapture = window;
        }
        if (user.focus == window) {
            user.focus = nullptr;
        }
        if (user.active == window) {
            user.active = nullptr;
        }
        if (user.mouseWindow == window) {
            user.mouseWindow = nullptr;
        }
        for (auto& entry : user.queues) {
            if (entry.second.trackWindow == window) {
                entry.second.trackWindow = nullptr;
                entry.second.trackFlags = 0;
            }
        }
        user.zOrder.erase(std::remove(user.zOrder.begin(), user.zOrder.end(), window),
                          user.zOrder.end());
        auto found = user.windows.find(window);
        if (found->second->sdl != nullptr) {
            SDL_DestroyWindow(found->second->sdl);
        }
        user.windows.erase(found);
    }
    if (lostCapture != nullptr && IsSdlThread()) {
        SDL_CaptureMouse(SDL_FALSE);
    }
    return TRUE;
}

BOOL IsWindow(HWND window) {
    if (IsRemoteWindow(window)) {
        return TRUE;
    }
    {
        auto hold = Hold();
        if (WindowOf(window) != nullptr) {
            return TRUE;
        }
    }
    return IsHostWindow(window) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND window) {
    auto hold = Hold();
    for (const TWindow* record = WindowOf(window); record != nullptr;
         record = WindowOf(record->parent)) {
        if (!record->visible) {
            return FALSE;
        }
        if ((record->style & WS_CHILD) == 0) {
            return TRUE;
        }
    }
    return FALSE;
}

BOOL IsIconic(HWND window) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    return record != nullptr && record->minimized ? TRUE : FALSE;
}

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

BOOL UpdateWindow(HWND window) {
    bool paint = false;
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        paint = record->invalid && record->visible && !record->minimized;
    }
    if (paint) {
        SendTo(window, WM_PAINT, 0, 0);
    }
    return TRUE;
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

namespace {

// Window memory and GWL_ indexes; `size` is 4 for the LONG forms, 8 for the Ptr forms.
bool WindowLong(HWND window, int index, int size, const LONG_PTR* set, LONG_PTR* old) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (index >= 0) {
        if (static_cast<size_t>(index) + static_cast<size_t>(size) > record->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return false;
        }
        BYTE* at = record->extra.data() + index;
        if (size == 4) {
            LONG value = 0;
            std::memcpy(&value, at, 4);
            *old = value;
            if (set != nullptr) {
                const auto narrow = static_cast<LONG>(*set);
                std::memcpy(at, &narrow, 4);
            }
        } else {
            LONG_PTR value = 0;
            std::memcpy(&value, at, sizeof value);
            *old = value;
            if (set != nullptr) {
                std::memcpy(at, set, sizeof *set);
            }
        }
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    LONG_PTR* pointerField = nullptr;
    switch (index) {
    case GWL_STYLE:
        *old = static_cast<LONG>(record->style);
        if (set != nullptr) {
            record->style = static_cast<DWORD>(*set);
            record->visible = (record->style & WS_VISIBLE) != 0 ? record->visible : false;
        }
        break;
    case GWL_EXSTYLE:
        *old = static_cast<LONG>(record->exStyle);
        if (set != nullptr) {
            record->exStyle = static_cast<DWORD>(*set);
        }
        break;
    case GWLP_ID:
        pointerField = &record->id;
        break;
    case GWLP_USERDATA:
        pointerField = &record->userData;
        break;
    case GWLP_WNDPROC:
        // A procedure does not fit the 32-bit forms, as on any 64-bit Windows.
        if (size != 8) {
            SetLastError(ERROR_INVALID_INDEX);
            return false;
        }
        *old = reinterpret_cast<LONG_PTR>(record->proc);
        if (set != nullptr) {
            record->proc = reinterpret_cast<WNDPROC>(*set);
        }
        break;
    case GWLP_HINSTANCE:
        if (size != 8) {
            SetLastError(ERROR_INVALID_INDEX);
            return false;
        }
        *old = reinterpret_cast<LONG_PTR>(record->instance);
        if (set != nullptr) {
            record->instance = reinterpret_cast<HINSTANCE>(*set);
        }
        break;
    default:
        SetLastError(ERROR_INVALID_INDEX);
        return false;
    }
    if (pointerField != nullptr) {
        *old = size == 4 ? static_cast<LONG>(*pointerField) : *pointerField;
        if (set != nullptr) {
            *pointerField = size == 4 ? static_cast<LONG>(*set) : *set;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

} // namespace

LONG SetWindowLongA(HWND window, int index, LONG value) {
    LONG_PTR set = value;
    LONG_PTR old = 0;
    return WindowLong(window, index, 4, &set, &old) ? static_cast<LONG>(old) : 0;
}

LONG GetWindowLongA(HWND window, int index) {
    LONG_PTR old = 0;
    return WindowLong(window, index, 4, nullptr, &old) ? static_cast<LONG>(old) : 0;
}

LONG SetWindowLongW(HWND window, int index, LONG value) {
    return SetWindowLongA(window, index, value);
}

LONG GetWindowLongW(HWND window, int index) {
    return GetWindowLongA(window, index);
}

LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    LONG_PTR old = 0;
    return WindowLong(window, index, 8, &value, &old) ? old : 0;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
    LONG_PTR old = 0;
    return WindowLong(window, index, 8, nullptr, &old) ? old : 0;
}

namespace {

BOOL SetTitle(HWND window, std::string title) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    record->title = std::move(title);
    SdlSetTitle(*record);
    return TRUE;
}

} // namespace

BOOL SetWindowTextA(HWND window, LPCSTR text) {
    return SetTitle(window, Utf8FromAnsi(text));
}

BOOL SetWindowTextW(HWND window, LPCWSTR text) {
    return SetTitle(window, Utf8FromWide(text));
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    if (record == nullptr || text == nullptr || size <= 0) {
        SetLastError(record == nullptr ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string ansi = AnsiFromUtf8(record->title);
    const size_t count = std::min(ansi.size(), static_cast<size_t>(size - 1));
    std::memcpy(text, ansi.data(), count);
    text[count] = '\0';
    return static_cast<int>(count);
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

HWND GetParent(HWND window) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    return record != nullptr ? record->parent : nullptr;
}

HWND FindWindowA(LPCSTR className, LPCSTR windowName) {
    const std::string title = windowName != nullptr ? Utf8FromAnsi(windowName) : std::string();
    {
        auto hold = Hold();
        for (HWND candidate : User().zOrder) {
            const TWindow* record = WindowOf(candidate);
            if (record == nullptr || record->destroying) {
                continue;
            }
            if (className != nullptr && Lower(record->windowClass->name) != Lower(className)) {
                continue;
            }
            if (windowName != nullptr && record->title != title) {
                continue;
            }
            return candidate;
        }
    }
    if (className == nullptr) {
        return nullptr;
    }
    return FindRemoteWindow(className, windowName);
}

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
    bool sdlWindow = false;
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(window);
        if (record == nullptr) {
            return nullptr;
        }
        sdlWindow =
            WindowOf(TopLevelOf(window)) != nullptr && WindowOf(TopLevelOf(window))->sdl != nullptr;
        old = User().capture;
        User().capture = window;
    }
    if (sdlWindow && IsSdlThread()) {
        SDL_CaptureMouse(SDL_TRUE);
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
        if (IsSdlThread()) {
            SDL_CaptureMouse(SDL_FALSE);
        }
        SendTo(old, WM_CAPTURECHANGED, 0, 0);
    }
    if (leave != nullptr) {
        PostTo(leave, WM_MOUSELEAVE, 0, 0);
    }
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    bool erase = false;
    RECT client{};
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr || paint == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        erase = record->erase;
        record->erase = false;
        record->invalid = false;
        const RECT screen = ClientRectOnScreen(*record);
        client = RECT{0, 0, screen.right - screen.left, screen.bottom - screen.top};
    }
    // No drawing goes through device contexts here; the handle only has to be non-null.
    HDC context = reinterpret_cast<HDC>(window);
    *paint = PAINTSTRUCT{};
    paint->hdc = context;
    paint->rcPaint = client;
    paint->fErase = TRUE;
    if (erase) {
        paint->fErase = SendTo(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(context), 0) == 0;
    }
    return context;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) {
    return TRUE;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL erase) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    record->invalid = true;
    record->erase = record->erase || erase != FALSE;
    WakeQueues();
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT*) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    record->invalid = false;
    return TRUE;
}

int GetSystemMetrics(int index) {
    EnsureSdlVideo();
    auto hold = Hold();
    const auto& user = User();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
    case SM_CXVIRTUALSCREEN:
        return user.screenWidth;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN:
        return user.screenHeight;
    case SM_CYFULLSCREEN:
        return user.screenHeight - 19;
    case SM_CYCAPTION:
    case SM_CYMENU:
    case SM_CXSIZE:
    case SM_CYSIZE:
        return 19;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXFIXEDFRAME:
    case SM_CYFIXEDFRAME:
        return 3;
    case SM_CXSIZEFRAME:
    case SM_CYSIZEFRAME:
        return 4;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXMIN:
        return 112;
    case SM_CYMIN:
        return 27;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CMOUSEBUTTONS:
        return 5;
    case SM_CXMINIMIZED:
        return 160;
    case SM_CYMINIMIZED:
        return 28;
    case SM_MOUSEWHEELPRESENT:
    case SM_CMONITORS:
        return 1;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN:
    default:
        return 0;
    }
}

HMENU GetSystemMenu(HWND window, BOOL) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr || (record->style & WS_SYSMENU) == 0) {
        return nullptr;
    }
    // The menu handle is the window's handle: each window has exactly one system menu.
    return reinterpret_cast<HMENU>(window);
}

namespace {

TMenuItem* MenuItem(HMENU menu, UINT item, BOOL byPosition) {
    TWindow* record = WindowOf(reinterpret_cast<HWND>(menu));
    if (record == nullptr) {
        return nullptr;
    }
    auto& items = record->systemMenu;
    if (byPosition) {
        return item < items.size() ? &items[item] : nullptr;
    }
    for (auto& entry : items) {
        if (entry.id == item && item != 0) {
            return &entry;
        }
    }
    return nullptr;
}

} // namespace

BOOL SetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, const MENUITEMINFOA* info) {
    auto hold = Hold();
    TMenuItem* entry = MenuItem(menu, item, byPosition);
    if (entry == nullptr || info == nullptr) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    if ((info->fMask & MIIM_STATE) != 0) {
        entry->state = info->fState;
    }
    if ((info->fMask & MIIM_ID) != 0) {
        entry->id = info->wID;
    }
    return TRUE;
}

BOOL GetMenuItemInfoA(HMENU menu, UINT item, BOOL byPosition, MENUITEMINFOA* info) {
    auto hold = Hold();
    TMenuItem* entry = MenuItem(menu, item, byPosition);
    if (entry == nullptr || info == nullptr) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    if ((info->fMask & MIIM_STATE) != 0) {
        info->fState = entry->state;
    }
    if ((info->fMask & MIIM_ID) != 0) {
        info->wID = entry->id;
    }
    return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
    // Only the system cursors exist; they are identified by their resource numbers.
    if (instance != nullptr || name == nullptr || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    switch (reinterpret_cast<ULONG_PTR>(name)) {
    case 32512:
    case 32513:
    case 32514:
    case 32515:
    case 32646:
    case 32648:
    case 32649:
        return reinterpret_cast<HCURSOR>(const_cast<char*>(name));
    default:
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
}

HICON LoadIconA(HINSTANCE, LPCSTR) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

int ShowCursor(BOOL show) {
    int count = 0;
    {
        auto hold = Hold();
        auto& user = User();
        user.cursorCount += show ? 1 : -1;
        user.cursorDirty = true;
        count = user.cursorCount;
    }
    ApplyCursor();
    return count;
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = nullptr;
    {
        auto hold = Hold();
        auto& user = User();
        old = user.cursorShape;
        user.cursorShape = cursor;
        user.cursorDirty = true;
    }
    ApplyCursor();
    return old;
}

BOOL GetCursorPos(POINT* point) {
    if (point == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto hold = Hold();
    *point = User().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    SDL_Window* inside = nullptr;
    POINT local{};
    {
        auto hold = Hold();
        auto& user = User();
        user.cursor = POINT{x, y};
        for (HWND candidate : user.zOrder) {
            const TWindow* record = WindowOf(candidate);
            if (record == nullptr || record->sdl == nullptr || !record->visible) {
                continue;
            }
            const RECT client = ClientRectOnScreen(*record);
            if (x >= client.left && x < client.right && y >= client.top && y < client.bottom) {
                inside = record->sdl;
                local = POINT{x - client.left, y - client.top};
                break;
            }
        }
    }
    if (IsSdlThread()) {
        if (inside != nullptr) {
            SDL_WarpMouseInWindow(inside, local.x, local.y);
        } else if (!HeadlessVideo()) {
            SDL_WarpMouseGlobal(x, y);
        }
    }
    return TRUE;
}
