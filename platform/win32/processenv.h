// The process's current folder, in Windows form. Any thread may call these.
#pragma once

#include "platform/win32/wintypes.h"

// The length written (without the NUL) when it fits `size`, else the size needed including the
// NUL (nothing written); 0 on failure.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
