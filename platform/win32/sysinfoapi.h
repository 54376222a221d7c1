// The Windows version the program runs on. The stand-in answers Windows XP (5.1, build 2600)
// unless a test chose another (standin::SetWindowsVersion). Any thread may call it.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

#define VER_PLATFORM_WIN32_NT 2

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};

// FALSE with ERROR_INVALID_PARAMETER for a null pointer or a size other than the structure's.
BOOL GetVersionExA(OSVERSIONINFOA* info);
