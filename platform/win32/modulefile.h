// The program file and path forms: the program's module handle and file name (in Windows form,
// '\' between components) and short path names (on this host the short form of a path is the
// path itself). Any thread may call these.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

// The program's handle for a null name; other modules are not known here (null with
// ERROR_MOD_NOT_FOUND).
HMODULE GetModuleHandleA(LPCSTR moduleName);
// For the program (a null module or the program's handle): its file in Windows form. A short
// buffer gets the cut name, NUL-terminated, the answer `size` and ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// Copies the path. Answers its length, or when the buffer is too small the size needed with its
// NUL (nothing copied).
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR shortPath, DWORD size);
