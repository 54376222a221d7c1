// Conversions between 16-bit text and the code pages the engine uses: UTF-8 and the ANSI code
// page, which on this host is Windows-1252. Any thread may call these.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008u
#define ERROR_NO_UNICODE_TRANSLATION 1113L

// A length of -1 takes the text up to and with its NUL. A zero output size asks for the size
// needed; a too small output fails with ERROR_INSUFFICIENT_BUFFER. Code pages other than CP_ACP,
// 1252 and CP_UTF8 fail with ERROR_INVALID_PARAMETER. Malformed UTF-8 becomes U+FFFD (or fails
// with MB_ERR_INVALID_CHARS).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int length, LPWSTR out,
                        int outSize);
// Characters Windows-1252 lacks become `defaultChar` (or '?') and set *usedDefault.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR text, int length, LPSTR out,
                        int outSize, LPCSTR defaultChar, BOOL* usedDefault);
