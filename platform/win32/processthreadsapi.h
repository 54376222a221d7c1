// Threads: CreateThread over std::thread, exit codes, priorities (best effort: Linux lets only a
// privileged process raise one). Child processes: CreateProcessA over posix_spawn. Any thread may
// call these.
#pragma once

#include "platform/win32/synchapi.h"
#include "platform/win32/wintypes.h"

#define STILL_ACTIVE 259u
#define CREATE_SUSPENDED 0x00000004u
#define NORMAL_PRIORITY_CLASS 0x00000020u
#define CREATE_DEFAULT_ERROR_MODE 0x04000000u
#define STARTF_USESHOWWINDOW 0x00000001u

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

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOA = STARTUPINFOA*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// Starts a program with posix_spawn, never through a shell. Without an application name the
// program is the first argument of the command line (split by SplitCommandLine's Windows rules,
// platform/win32/spawn.h), looked for on PATH unless it names a folder; with one, that file is the
// program and the command line gives its arguments. The directory (null: the caller's) is where
// it starts; environment blocks, handle inheritance, security attributes and the start-up record
// are not used here. FALSE (ERROR_FILE_NOT_FOUND) when the program cannot be started; the
// information then is untouched. Both returned handles are the caller's to close; closing the
// process handle of a child still running leaves the child running.
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine,
                    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
                    LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// STILL_ACTIVE while the child runs, then its exit status (the signal number plus 128 when a
// signal ended it). FALSE (ERROR_INVALID_HANDLE) for a handle that is not a child's.
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
// A child exists once CreateProcessA returned, and a program here has no input queue to wait for:
// 0 at once for a child's handle, WAIT_FAILED (ERROR_INVALID_HANDLE) for any other.
DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds);
