// The debug-help library's dump writer, as the crash guard loads and calls it: types only. This
// host has no such library, so LoadLibraryA ("dbghelp.dll") finds none unless one was put where
// the loader looks.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/wintypes.h"

enum MINIDUMP_TYPE {
    MiniDumpNormal = 0x0,
    MiniDumpWithDataSegs = 0x1,
    MiniDumpWithFullMemory = 0x2,
};

struct MINIDUMP_EXCEPTION_INFORMATION {
    DWORD ThreadId;
    EXCEPTION_POINTERS* ExceptionPointers;
    // TRUE: the pointers belong to the process being dumped.
    BOOL ClientPointers;
};
using PMINIDUMP_EXCEPTION_INFORMATION = MINIDUMP_EXCEPTION_INFORMATION*;

// Passed as null by every caller here.
struct MINIDUMP_USER_STREAM_INFORMATION;
struct MINIDUMP_CALLBACK_INFORMATION;

// "MiniDumpWriteDump": writes a dump of the process into the open file.
using MINIDUMPWRITEDUMP = BOOL (*)(HANDLE process, DWORD processId, HANDLE file,
                                   MINIDUMP_TYPE dumpType,
                                   PMINIDUMP_EXCEPTION_INFORMATION exception,
                                   const MINIDUMP_USER_STREAM_INFORMATION* userStreams,
                                   const MINIDUMP_CALLBACK_INFORMATION* callback);
