#include "platform/win32/processthreadsapi.h"
#include "platform/win32/syncobjects.h"

#include <atomic>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace standin::detail;

class TThreadState final : public TWaitState {
public:
    bool Ready(DWORD) const override { return mFinished; }
    bool Acquire(DWORD) override { return false; }

    DWORD id = 0;
    std::atomic<pid_t> nativeId{0};
    std::atomic<int> priority{THREAD_PRIORITY_NORMAL};
    // Written under SyncLock.
    bool mFinished = false;
    DWORD mExitCode = STILL_ACTIVE;
};

// Nice values standing for the Win32 priorities; raising one needs privilege, so it may fail.
int NiceFor(int priority) {
    switch (priority) {
    case THREAD_PRIORITY_IDLE:
        return 19;
    case THREAD_PRIORITY_LOWEST:
        return 4;
    case THREAD_PRIORITY_BELOW_NORMAL:
        return 2;
    case THREAD_PRIORITY_ABOVE_NORMAL:
        return -2;
    case THREAD_PRIORITY_HIGHEST:
        return -4;
    case THREAD_PRIORITY_TIME_CRITICAL:
        return -10;
    default:
        return 0;
    }
}

void ApplyPriority(const TThreadState& state) {
    const pid_t tid = state.nativeId.load();
    if (tid != 0) {
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceFor(state.priority.load()));
    }
}

bool IsKnownPriority(int priority) {
    return priority == THREAD_PRIORITY_IDLE || priority == THREAD_PRIORITY_TIME_CRITICAL ||
           (priority >= THREAD_PRIORITY_LOWEST && priority <= THREAD_PRIORITY_HIGHEST);
}

} // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD flags, LPDWORD threadId) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if ((flags & CREATE_SUSPENDED) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto state = std::make_shared<TThreadState>();
    state->id = NewThreadId();
    HANDLE handle = NewWaitHandle(state);
    try {
        std::thread([state, start, parameter] {
            AdoptThreadId(state->id);
            state->nativeId.store(static_cast<pid_t>(syscall(SYS_gettid)));
            if (state->priority.load() != THREAD_PRIORITY_NORMAL) {
                ApplyPriority(*state);
            }
            const DWORD code = start(parameter);
            std::lock_guard<std::mutex> hold(SyncLock());
            AbandonOwnedMutexesLocked();
            state->mExitCode = code;
            state->mFinished = true;
            SyncSignal().notify_all();
        }).detach();
    } catch (const std::system_error&) {
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId != nullptr) {
        *threadId = state->id;
    }
    return handle;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto state = std::dynamic_pointer_cast<TThreadState>(WaitStateOf(thread));
    if (!state || exitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(SyncLock());
    *exitCode = state->mExitCode;
    return TRUE;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
    auto state = std::dynamic_pointer_cast<TThreadState>(WaitStateOf(thread));
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!IsKnownPriority(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state->priority.store(priority);
    ApplyPriority(*state);
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    auto state = std::dynamic_pointer_cast<TThreadState>(WaitStateOf(thread));
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    return state->priority.load();
}

DWORD GetCurrentThreadId() {
    return CurrentThreadId();
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}
