#include "game/shell/GCrashGuard.h"

#include "game/shell/GCrashLog.h"
#include "game/shell/GameMain.h"
#include "game/world/ErrorBox.h"
#include "platform/win32/fileapi.h"
#include "platform/win32/libloader.h"
#include "platform/win32/processthreadsapi.h"

#include <atomic>
#include <csignal>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

const char kCrashText[] = "Error occured! Press \"Yes\" for create full dump( large size ),\"No\" "
                          "for create mini dump or \"Cancel\" not create dump;Please send "
                          "crash.mdp to developers! Thank you.... ";

// Room for the box and the dump on the signal stack, sanitizers included.
constexpr size_t kSignalStackSize = size_t{1} << 20;

// Set once, before any guard goes up, and never freed.
MINIDUMPWRITEDUMP gDumpWriter = nullptr;

pid_t CurrentThread() {
    return static_cast<pid_t>(syscall(SYS_gettid));
}

// Where the faulting instruction was, and whether it wrote; what the processor state tells.
LPVOID InstructionAddress(const void* context) {
#if defined(__x86_64__)
    return reinterpret_cast<LPVOID>(
        static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_RIP]);
#elif defined(__aarch64__)
    return reinterpret_cast<LPVOID>(static_cast<const ucontext_t*>(context)->uc_mcontext.pc);
#else
    (void)context;
    return nullptr;
#endif
}

bool WasWrite(const void* context) {
#if defined(__x86_64__)
    // Bit 1 of the page-fault error code.
    return (static_cast<const ucontext_t*>(context)->uc_mcontext.gregs[REG_ERR] & 2) != 0;
#else
    (void)context;
    return false;
#endif
}

// The guard while it is up: the SIGSEGV handler on a signal stack of its own for the thread that
// raised it. Made and removed on that thread.
class GCrashGuard {
public:
    GCrashGuard();
    ~GCrashGuard();
    GCrashGuard(const GCrashGuard&) = delete;
    GCrashGuard& operator=(const GCrashGuard&) = delete;

private:
    static void OnSegv(int signal, siginfo_t* info, void* context);

    pid_t mThread;
    GCrashLog mLog;
    void* mStack = nullptr;
    stack_t mOldStack{};
    struct sigaction mOldAction {};
    GCrashGuard* mOuter;

    // The innermost guard up; read by the handler.
    static std::atomic<GCrashGuard*> sActive;
};

std::atomic<GCrashGuard*> GCrashGuard::sActive{nullptr};

GCrashGuard::GCrashGuard() : mThread(CurrentThread()), mOuter(sActive.load()) {
    mStack =
        mmap(nullptr, kSignalStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mStack == MAP_FAILED) {
        mStack = nullptr;
    }
    stack_t stack{};
    stack.ss_sp = mStack;
    stack.ss_size = kSignalStackSize;
    // Without it the handler runs on the thread's own stack, which serves unless it overflowed.
    if (mStack != nullptr && sigaltstack(&stack, &mOldStack) != 0) {
        munmap(mStack, kSignalStackSize);
        mStack = nullptr;
    }
    struct sigaction action {};
    action.sa_sigaction = &GCrashGuard::OnSegv;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sActive = this;
    sigaction(SIGSEGV, &action, &mOldAction);
}

GCrashGuard::~GCrashGuard() {
    sigaction(SIGSEGV, &mOldAction, nullptr);
    sActive = mOuter;
    if (mStack != nullptr) {
        sigaltstack(&mOldStack, nullptr);
        munmap(mStack, kSignalStackSize);
    }
}

void GCrashGuard::OnSegv(int signal, siginfo_t* info, void* context) {
    GCrashGuard* guard = sActive.load();
    if (guard == nullptr || CurrentThread() != guard->mThread) {
        // Not the guarded thread: the fault happens again on return, under the handling the
        // guard replaced.
        if (guard != nullptr) {
            sigaction(SIGSEGV, &guard->mOldAction, nullptr);
        } else {
            std::signal(SIGSEGV, SIG_DFL);
        }
        return;
    }
    guard->mLog.WriteFault(signal, info->si_addr, guard->mThread);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = InstructionAddress(context);
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = WasWrite(context) ? 1 : 0;
    record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info->si_addr);
    EXCEPTION_POINTERS pointers{&record, context};
    CrashFilter(record.ExceptionCode, &pointers);
}

MINIDUMP_TYPE DumpTypeOf(int choice) {
    switch (choice) {
    case kCrashDumpFull:
        return MiniDumpWithFullMemory;
    case kCrashDumpDataSegments:
        return MiniDumpWithDataSegs;
    default:
        return MiniDumpNormal;
    }
}

} // namespace

int GuardedGameMain(TPlatform* platform, const char* /*commandLine*/) {
    LoadMiniDumpWriter();
    RunGuarded(&GameMain, platform);
    return 0;
}

void RunGuarded(void (*body)(TPlatform*), TPlatform* platform) {
    GCrashGuard guard;
    body(platform);
}

bool LoadMiniDumpWriter() {
    HMODULE library = LoadLibraryA("dbghelp.dll");
    if (library == nullptr) {
        return false;
    }
    gDumpWriter = reinterpret_cast<MINIDUMPWRITEDUMP>(GetProcAddress(library, "MiniDumpWriteDump"));
    return gDumpWriter != nullptr;
}

LONG CrashFilter(DWORD code, EXCEPTION_POINTERS* pointers) {
    if (code != EXCEPTION_ACCESS_VIOLATION) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    MINIDUMP_EXCEPTION_INFORMATION information{GetCurrentThreadId(), pointers, TRUE};
    const int answer = ShowErrorBox(kCrashText, MB_YESNOCANCEL);
    const int choice = answer == IDYES  ? kCrashDumpFull
                       : answer == IDNO ? kCrashDumpSmall
                                        : kCrashDumpNone;
    // Without a dump writer no file is made: an empty one would pass for a dump.
    if (choice != kCrashDumpNone && gDumpWriter != nullptr) {
        // Truncated, so that no tail of an older, larger dump stays behind.
        HANDLE file = CreateFileA("crash.mdmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            WriteCrashDump(file, choice, &information);
            CloseHandle(file);
        }
    }
    TerminateProcess(GetCurrentProcess(), 1);
    return EXCEPTION_EXECUTE_HANDLER;
}

bool WriteCrashDump(HANDLE file, int choice, MINIDUMP_EXCEPTION_INFORMATION* information) {
    if (gDumpWriter == nullptr) {
        return false;
    }
    if (gDumpWriter(GetCurrentProcess(), GetCurrentProcessId(), file, DumpTypeOf(choice),
                    information, nullptr, nullptr) == FALSE) {
        ShowErrorBox("Lose");
        return false;
    }
    return true;
}
