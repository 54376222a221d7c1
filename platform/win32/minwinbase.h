// Small records shared by several Win32 areas: security attributes (only named here; the
// stand-in ignores them, pass null) and file times.
#pragma once

#include "platform/win32/wintypes.h"

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// 100-nanosecond intervals since 1 January 1601 (UTC).
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};
