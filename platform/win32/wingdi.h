// The stock objects a window class names, the screen's device caps and the blits a caller may try
// as a fall-back. Nothing is drawn through GDI on this host.
#pragma once

#include "platform/win32/winuser.h"

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5

// A distinct non-null handle for each stock object; null for an unknown index.
HGDIOBJ GetStockObject(int index);

// GetDeviceCaps.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define PLANES 14
#define NUMCOLORS 24
#define VREFRESH 116

// Of the screen's context (GetDC of a null window): its size, depth, colour count (-1 above 8
// bits) and refresh rate. 0 for other contexts and indexes.
int GetDeviceCaps(HDC dc, int index);

// Raster operations.
#define SRCCOPY 0x00CC0020u

// Surfaces hand out no device contexts here, so there is never anything to copy between: both
// answer FALSE.
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);
