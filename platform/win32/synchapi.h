// Waits, events, mutexes and Sleep. Named mutexes are system-wide: a second process that creates
// a mutex of the same name gets ERROR_ALREADY_EXISTS (lock files under the user's runtime folder);
// waiting on and owning one stays within the process. Any thread may call these.
#pragma once

#include "platform/win32/errhandlingapi.h"
#include "platform/win32/handleapi.h"
#include "platform/win32/minwinbase.h"
#include "platform/win32/wintypes.h"

#define INFINITE 0xFFFFFFFFu
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

// Named in minwinbase.h; given its fields here, where callers may fill one in.
struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};

// Security attributes are ignored. A named mutex that exists already (in this or another
// process) gives a handle to it, ignores `initialOwner` and sets ERROR_ALREADY_EXISTS; otherwise
// the last error is 0.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own the mutex.
BOOL ReleaseMutex(HANDLE mutex);
// Named events are not shared with other processes.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                    LPCSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// WAIT_OBJECT_0, WAIT_ABANDONED (a mutex whose owning thread ended), WAIT_TIMEOUT, or WAIT_FAILED
// with ERROR_INVALID_HANDLE.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);
void Sleep(DWORD milliseconds);
