#include "platform/win32/errhandlingapi.h"
#include "platform/win32/handleapi.h"
#include "platform/win32/pathconv.h"
#include "platform/win32/processthreadsapi.h"
#include "platform/win32/spawn.h"
#include "platform/win32/standin.h"

#include <atomic>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<standin::TTerminateHook> gTerminateHook{nullptr};

// Windows' pseudo handle of the current process has the value of INVALID_HANDLE_VALUE.
HANDLE CurrentProcessHandle() {
    return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
}

// A child started by CreateProcessA. Its exit status is read once, by the first look that finds
// it ended; a handle closed before that leaves the wait to a thread of its own.
class TProcessHandle final : public standin::TKernelObject {
public:
    explicit TProcessHandle(pid_t child) : mChild(child) {}
    ~TProcessHandle() override {
        const std::lock_guard<std::mutex> hold(mLock);
        if (!mEnded) {
            standin::detail::ReapLater(mChild);
        }
    }
    TProcessHandle(const TProcessHandle&) = delete;
    TProcessHandle& operator=(const TProcessHandle&) = delete;

    DWORD ExitCode() {
        const std::lock_guard<std::mutex> hold(mLock);
        if (!mEnded) {
            int status = 0;
            if (waitpid(mChild, &status, WNOHANG) == mChild) {
                mEnded = true;
                mExitCode = WIFEXITED(status) ? static_cast<DWORD>(WEXITSTATUS(status))
                                              : 128u + static_cast<DWORD>(WTERMSIG(status));
            }
        }
        return mEnded ? mExitCode : STILL_ACTIVE;
    }

private:
    std::mutex mLock;
    const pid_t mChild;
    bool mEnded = false;
    DWORD mExitCode = STILL_ACTIVE;
};

// The child's first thread: nothing to do with it here but close it.
class TChildThreadHandle final : public standin::TKernelObject {};

TProcessHandle* AsProcess(HANDLE handle) {
    return dynamic_cast<TProcessHandle*>(standin::FromHandle(handle));
}

} // namespace

BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCSTR currentDirectory,
                    LPSTARTUPINFOA, LPPROCESS_INFORMATION processInformation) {
    std::vector<std::string> arguments = standin::SplitCommandLine(commandLine);
    if (applicationName != nullptr && applicationName[0] != '\0') {
        if (arguments.empty()) {
            arguments.emplace_back(applicationName);
        } else {
            arguments[0] = applicationName;
        }
    }
    if (processInformation == nullptr || arguments.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A program named with a folder is a path in the engine's form.
    if (arguments[0].find_first_of("\\/") != std::string::npos) {
        arguments[0] = standin::ToPosixPath(arguments[0].c_str());
    }
    const pid_t child = standin::detail::Spawn(arguments, currentDirectory);
    if (child < 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    processInformation->hProcess = new TProcessHandle(child);
    processInformation->hThread = new TChildThreadHandle;
    processInformation->dwProcessId = static_cast<DWORD>(child);
    processInformation->dwThreadId = static_cast<DWORD>(child);
    return TRUE;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    TProcessHandle* child = AsProcess(process);
    if (child == nullptr || exitCode == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = child->ExitCode();
    return TRUE;
}

DWORD WaitForInputIdle(HANDLE process, DWORD) {
    if (AsProcess(process) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return 0;
}

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
