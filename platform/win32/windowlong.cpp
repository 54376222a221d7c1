// Window memory, the GWL_ and GCL_ longs, and window text.
#include "platform/win32/windowbackend.h"
#include "platform/win32/windowimpl.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace standin::detail;

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

namespace {

BOOL SetTitle(HWND window, std::string title) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    record->title = std::move(title);
    Backend().SetTitle(*record);
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
