// Signed coordinates of mouse messages.
#pragma once

#include "platform/win32/wintypes.h"

#define GET_X_LPARAM(lp) (static_cast<int>(static_cast<short>(LOWORD(lp))))
#define GET_Y_LPARAM(lp) (static_cast<int>(static_cast<short>(HIWORD(lp))))
