#include "platform/win32/wingdi.h"

BOOL BitBlt(HDC, int, int, int, int, HDC, int, int, DWORD) {
    return FALSE;
}

BOOL StretchBlt(HDC, int, int, int, int, HDC, int, int, int, int, DWORD) {
    return FALSE;
}
