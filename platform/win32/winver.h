// The program file's version block, from constants fixed at build time. Other files have none.
// Any thread may call these.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

#define VS_FFI_SIGNATURE 0xFEEF04BDu
#define VS_FFI_STRUCVERSION 0x00010000u
#define VOS_NT_WINDOWS32 0x00040004u
#define VFT_APP 0x00000001u

struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// 0 with ERROR_RESOURCE_TYPE_NOT_FOUND for any file but the program's own.
DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD size, LPVOID data);
// "\\" gives the VS_FIXEDFILEINFO; "\\VarFileInfo\\Translation" the language and code page;
// "\\StringFileInfo\\040904b0\\<name>" a string value, its length counted in characters with
// the NUL. Names are matched without regard to case.
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);
