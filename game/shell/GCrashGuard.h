// The crash guard around the game main. An access violation on the guarded thread (here: SIGSEGV
// while the guard is up) is logged with a backtrace, then a box offers a full, a small or no dump
// of the process; the chosen dump goes to "crash.mdmp" in the current folder when the system's
// dump writer exists (this host has none), and the process ends at once with exit code 1. Every
// other signal, and a SIGSEGV on another thread, keeps the handling it had. Main thread only.
#pragma once

#include "platform/win32/dbghelp.h"

class TPlatform;

// The choices of the crash box; 2 is never offered.
enum : int {
    kCrashDumpFull = 0,
    kCrashDumpSmall = 1,
    kCrashDumpDataSegments = 2,
    kCrashDumpNone = 3,
};

// The game callback the program entry hands the engine start-up: loads the dump writer, then runs
// the game main inside the guard. Answers 0.
int GuardedGameMain(TPlatform* platform, const char* commandLine = nullptr);
// Runs body (platform) inside the guard, on the calling thread; the guard is gone when it returns.
void RunGuarded(void (*body)(TPlatform*), TPlatform* platform);

// Looks up "MiniDumpWriteDump" of "dbghelp.dll"; true when both were found. The library stays
// loaded.
bool LoadMiniDumpWriter();
// EXCEPTION_CONTINUE_SEARCH for any code but an access violation, which it handles: it does not
// return.
LONG CrashFilter(DWORD code, EXCEPTION_POINTERS* pointers);
// Dumps the process into the open file as the choice says. False at once without a dump writer;
// when the writer fails, the error box "Lose", then false.
bool WriteCrashDump(HANDLE file, int choice, MINIDUMP_EXCEPTION_INFORMATION* information);
