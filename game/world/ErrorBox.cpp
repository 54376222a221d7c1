#include "game/world/ErrorBox.h"

int ShowErrorBox(const char* text, UINT buttons) {
    HWND owner = GetActiveWindow();
    if (owner != nullptr) {
        if (HWND popup = GetLastActivePopup(owner)) {
            owner = popup;
        }
    }
    MSG quit{};
    const bool quitWaiting = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    const int answer = MessageBoxA(owner, text, "Error",
                                   buttons | MB_ICONINFORMATION | MB_TASKMODAL | MB_SETFOREGROUND);
    if (quitWaiting) {
        PostQuitMessage(static_cast<int>(quit.wParam));
    }
    return answer;
}
