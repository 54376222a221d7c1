// WinMM's multimedia timer calls: monotonic milliseconds wrapping at 32 bits.
#pragma once

#include "platform/win32/wintypes.h"

using MMRESULT = UINT;
#define TIMERR_NOERROR 0
#define TIMERR_NOCANDO 97

DWORD timeGetTime();
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);
