// The stock objects a window class names. Nothing is drawn through GDI on this host.
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
