// The stock objects a window class names and the screen's device caps. Nothing is drawn through
// GDI on this host.
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
