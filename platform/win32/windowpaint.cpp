// Painting (WM_PAINT and the update region) and the system menu.
#include "platform/win32/windowimpl.h"

namespace {

using namespace standin::detail;

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

HMENU GetSystemMenu(HWND window, BOOL) {
    auto hold = Hold();
    TWindow* record = WindowOf(window);
    if (record == nullptr || (record->style & WS_SYSMENU) == 0) {
        return nullptr;
    }
    // The menu handle is the window's handle: each window has exactly one system menu.
    return reinterpret_cast<HMENU>(window);
}

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
