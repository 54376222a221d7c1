// The mouse cursor: system cursor shapes, the show count, and the pointer's position.
#include "platform/win32/standin_cursor.h"
#include "platform/win32/windowbackend.h"
#include "platform/win32/windowimpl.h"

namespace standin::detail {

void ApplyCursor() {
    TWindowBackend& backend = Backend();
    if (!backend.HasPointer()) {
        return;
    }
    bool visible = false;
    HCURSOR shape = nullptr;
    {
        auto hold = Hold();
        auto& user = User();
        if (!user.cursorDirty) {
            return;
        }
        user.cursorDirty = false;
        visible = user.cursorCount >= 0 && user.cursorShape != nullptr;
        shape = user.cursorShape;
    }
    backend.SetCursor(shape, visible);
}

} // namespace standin::detail

namespace {

using namespace standin::detail;

} // namespace

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
    TWindowBackend& backend = Backend();
    const TWindow* inside = nullptr;
    POINT local{};
    {
        auto hold = Hold();
        auto& user = User();
        user.cursor = POINT{x, y};
        for (HWND candidate : user.zOrder) {
            const TWindow* record = WindowOf(candidate);
            if (record == nullptr || !backend.HasNative(*record) || !record->visible) {
                continue;
            }
            const RECT client = ClientRectOnScreen(*record);
            if (x >= client.left && x < client.right && y >= client.top && y < client.bottom) {
                inside = record;
                local = POINT{x - client.left, y - client.top};
                break;
            }
        }
    }
    backend.WarpCursor(inside, local, POINT{x, y});
    return TRUE;
}

namespace standin {

HCURSOR CurrentCursor() {
    auto hold = Hold();
    return User().cursorShape;
}

} // namespace standin
