#include "platform/win32/errhandlingapi.h"
#include "platform/win32/processthreadsapi.h"
#include "platform/win32/standin.h"

#include <atomic>
#include <unistd.h>

namespace {

std::atomic<standin::TTerminateHook> gTerminateHook{nullptr};

// Windows' pseudo handle of the current process has the value of INVALID_HANDLE_VALUE.
HANDLE CurrentProcessHandle() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

} // namespace

HANDLE GetCurrentProcess() {
    return CurrentProcessHandle();
}

BOOL TerminateProcess(HANDLE process, UINT exitCode) {
    if (process != CurrentProcessHandle()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (const standin::TTerminateHook hook = gTerminateHook.load()) {
        hook(exitCode);
    }
    _exit(static_cast<int>(exitCode & 0xFFu));
}

namespace standin {

TTerminateHook SetTerminateHook(TTerminateHook hook) {
    return gTerminateHook.exchange(hook);
}

} // namespace standin
