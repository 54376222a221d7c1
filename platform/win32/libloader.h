// Run-time loading of shared libraries over dlopen, with the Windows search order for a bare
// file name: the program's folder, the current folder, then the system's library path. File
// names are used as given (no "lib" prefix, no extension added); symbols are undecorated, so a
// name in the stdcall decoration ("_Name@8") is found under its plain one ("Name").
// Any thread may call these.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

#define ERROR_PROC_NOT_FOUND 127L

// A function pointer of no particular type; callers cast it to the export's real type. It takes
// and returns nothing so that such casts are accepted without a cast-function-type warning.
using FARPROC = void (*)();

// Null when the library is not found or cannot be loaded (last error ERROR_MOD_NOT_FOUND);
// nothing is shown or logged. "ATL.DLL" (in any case, with any folder) hosts ActiveX controls,
// which this host has none of: it answers null without looking on disk.
HMODULE LoadLibraryA(LPCSTR fileName);
// The export of that name, else, for a decorated name "_Name@<digits>", the export "Name". Null
// for a null module or a missing export (last error ERROR_PROC_NOT_FOUND).
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
// Drops one reference taken by LoadLibraryA; FALSE for a null or unknown module (last error
// ERROR_INVALID_HANDLE).
BOOL FreeLibrary(HMODULE module);
