// Threads: CreateThread over std::thread, exit codes, priorities (best effort: Linux lets only a
// privileged process raise one). Any thread may call these.
#pragma once

#include "platform/win32/synchapi.h"
#include "platform/win32/wintypes.h"

#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x00000004u

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

// The handle is signalled when the thread has ended. CREATE_SUSPENDED is not supported: null
// with ERROR_NOT_SUPPORTED.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stackSize,
                    LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags, LPDWORD threadId);
// STILL_ACTIVE while the thread runs, then the value its function returned.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
// Remembers the priority and asks the scheduler for a matching nice value; the scheduler's
// refusal is not an error.
BOOL SetThreadPriority(HANDLE thread, int priority);
int GetThreadPriority(HANDLE thread);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();
// The pseudo handle of the calling process; it needs no closing.
HANDLE GetCurrentProcess();
// Only the calling process can be ended here: at once, with the low eight bits of the code as its
// exit status (all Linux keeps), nothing unwound: no exit-time handlers, no destructors, no
// flushing of stdio. A test may put a hook in front of it (standin::SetTerminateHook). Another
// handle: FALSE with ERROR_INVALID_HANDLE.
BOOL TerminateProcess(HANDLE process, UINT exitCode);
