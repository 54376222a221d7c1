// Window records and classes: registration, creation and destruction, and finding windows.
#include "platform/win32/windowbackend.h"
#include "platform/win32/windowimpl.h"

#include <algorithm>
#include <cctype>

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
        if (topLevel) {
            TWindowBackend& backend = StartBackend();
            hold.lock();
            const RECT client = ClientRectOnScreen(*added);
            hold.unlock();
            if (!backend.Create(*added, client)) {
                hold.lock();
                user.windows.erase(handle);
                user.zOrder.erase(std::remove(user.zOrder.begin(), user.zOrder.end(), handle),
                                  user.zOrder.end());
                SetLastError(ERROR_NOT_ENOUGH_MEMORY);
                return nullptr;
            }
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
        Backend().Destroy(*found->second);
        user.windows.erase(found);
    }
    if (lostCapture != nullptr) {
        Backend().CaptureMouse(false);
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

HWND GetParent(HWND window) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    return record != nullptr ? record->parent : nullptr;
}

HWND SetParent(HWND window, HWND parent) {
    HWND previous = nullptr;
    {
        auto hold = Hold();
        TWindow* record = WindowOf(window);
        if (record == nullptr) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        // Only a window that is top-level here (a host's child is) moves between a host and the
        // desktop.
        const bool local = parent != nullptr && WindowOf(parent) != nullptr;
        if (local || ((record->style & WS_CHILD) != 0 && WindowOf(record->parent) != nullptr)) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return nullptr;
        }
        previous = record->parent;
    }
    if (parent != nullptr && !IsHostWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (parent == previous) {
        return previous;
    }
    // Another process's window cannot hold ours: parented to a host, the window stays top-level
    // and hears from the host; parented to none, it lets the host go.
    DetachFromHost(window);
    const bool attached = parent == nullptr || AttachToHost(window, parent);
    {
        auto hold = Hold();
        if (TWindow* record = WindowOf(window)) {
            record->parent = attached ? parent : nullptr;
        }
    }
    if (!attached) {
        // The host went away meanwhile.
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return previous;
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
