#include "platform/win32/errhandlingapi.h"
#include "platform/win32/runtimefolder.h"
#include "platform/win32/synchapi.h"
#include "platform/win32/syncobjects.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace standin::detail {

std::mutex& SyncLock() {
    // Never destroyed: threads the program did not stop may still use it while it exits.
    static auto* lock = new std::mutex();
    return *lock;
}

std::condition_variable& SyncSignal() {
    static auto* signal = new std::condition_variable();
    return *signal;
}

namespace {

// Every open handle: a program may end with handles open, and the system closes them then.
std::set<const TWaitHandle*>& OpenHandles() {
    static auto* handles = new std::set<const TWaitHandle*>();
    return *handles;
}
std::mutex& HandlesLock() {
    static auto* lock = new std::mutex();
    return *lock;
}

} // namespace

TWaitHandle::TWaitHandle(std::shared_ptr<TWaitState> state) : mState(std::move(state)) {
    std::lock_guard<std::mutex> hold(HandlesLock());
    OpenHandles().insert(this);
}

TWaitHandle::~TWaitHandle() {
    std::lock_guard<std::mutex> hold(HandlesLock());
    OpenHandles().erase(this);
}

HANDLE NewWaitHandle(std::shared_ptr<TWaitState> state) {
    TKernelObject* object = new TWaitHandle(std::move(state));
    return object;
}

std::shared_ptr<TWaitState> WaitStateOf(HANDLE handle) {
    auto* waitable = dynamic_cast<TWaitHandle*>(FromHandle(handle));
    return waitable != nullptr ? waitable->State() : nullptr;
}

namespace {
std::atomic<DWORD> gNextThreadId{1000};
thread_local DWORD tThreadId = 0;
} // namespace

DWORD NewThreadId() {
    return gNextThreadId.fetch_add(4);
}

DWORD CurrentThreadId() {
    if (tThreadId == 0) {
        tThreadId = NewThreadId();
    }
    return tThreadId;
}

void AdoptThreadId(DWORD id) {
    tThreadId = id;
}

} // namespace standin::detail

namespace {

using namespace standin::detail;

class TEventState final : public TWaitState {
public:
    TEventState(bool manual, bool signalled) : mManual(manual), mSignalled(signalled) {}
    bool Ready(DWORD) const override { return mSignalled; }
    bool Acquire(DWORD) override {
        if (!mManual) {
            mSignalled = false;
        }
        return false;
    }
    void Set(bool signalled) { mSignalled = signalled; }

private:
    bool mManual;
    bool mSignalled;
};

// Holds a lock file of a system-wide name for as long as the mutex lives in this process. Every
// holder keeps a shared lock; the first creator is the one that got the exclusive lock while
// holding the name's guard file, so two processes starting together cannot both be first.
class TNameLock {
public:
    explicit TNameLock(const std::string& name) {
        const std::string path = RuntimeFileName("mutex", name, ".lock");
        if (path.empty()) {
            return;
        }
        const int guard = open((path + ".guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (guard < 0) {
            return;
        }
        flock(guard, LOCK_EX);
        mFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (mFd >= 0) {
            mExisted = flock(mFd, LOCK_EX | LOCK_NB) != 0;
            flock(mFd, LOCK_SH);
        }
        close(guard);
    }
    ~TNameLock() {
        if (mFd >= 0) {
            close(mFd);
        }
    }
    TNameLock(const TNameLock&) = delete;
    TNameLock& operator=(const TNameLock&) = delete;
    bool Existed() const { return mExisted; }

private:
    int mFd = -1;
    bool mExisted = false;
};

class TMutexState;
// Mutexes the calling thread owns, marked abandoned when the thread ends.
struct TOwnedMutexes {
    std::vector<std::weak_ptr<TMutexState>> list;
    ~TOwnedMutexes();
};
thread_local TOwnedMutexes tOwned;

class TMutexState final : public TWaitState, public std::enable_shared_from_this<TMutexState> {
public:
    explicit TMutexState(const char* name) {
        if (name != nullptr) {
            mNameLock = std::make_unique<TNameLock>(name);
        }
    }
    bool Ready(DWORD thread) const override { return mOwner == 0 || mOwner == thread; }
    bool Acquire(DWORD thread) override {
        if (mOwner == thread) {
            ++mCount;
            return false;
        }
        mOwner = thread;
        mCount = 1;
        tOwned.list.push_back(weak_from_this());
        const bool abandoned = mAbandoned;
        mAbandoned = false;
        return abandoned;
    }
    bool Release(DWORD thread) {
        if (mOwner != thread || mCount == 0) {
            return false;
        }
        if (--mCount == 0) {
            mOwner = 0;
        }
        return true;
    }
    void Abandon(DWORD thread) {
        if (mOwner == thread) {
            mOwner = 0;
            mCount = 0;
            mAbandoned = true;
        }
    }
    bool NameExistedElsewhere() const { return mNameLock != nullptr && mNameLock->Existed(); }

private:
    std::unique_ptr<TNameLock> mNameLock;
    DWORD mOwner = 0;
    DWORD mCount = 0;
    bool mAbandoned = false;
};

TOwnedMutexes::~TOwnedMutexes() {
    std::lock_guard<std::mutex> hold(SyncLock());
    AbandonOwnedMutexesLocked();
    SyncSignal().notify_all();
}

} // namespace

void standin::detail::AbandonOwnedMutexesLocked() {
    const DWORD self = CurrentThreadId();
    for (auto& weak : tOwned.list) {
        if (auto mutex = weak.lock()) {
            mutex->Abandon(self);
        }
    }
    tOwned.list.clear();
}

namespace {

// Named mutexes alive in this process, by name (names are case-sensitive).
std::map<std::string, std::weak_ptr<TMutexState>>& NamedMutexes() {
    static auto* names = new std::map<std::string, std::weak_ptr<TMutexState>>();
    return *names;
}

std::chrono::steady_clock::time_point Deadline(DWORD milliseconds) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

} // namespace

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    const DWORD self = CurrentThreadId();
    std::shared_ptr<TMutexState> state;
    bool existed = false;
    if (name != nullptr && name[0] != '\0') {
        std::lock_guard<std::mutex> hold(SyncLock());
        auto& names = NamedMutexes();
        auto found = names.find(name);
        if (found != names.end()) {
            state = found->second.lock();
        }
        if (state) {
            existed = true;
        } else {
            state = std::make_shared<TMutexState>(name);
            names[name] = state;
            existed = state->NameExistedElsewhere();
            if (initialOwner) {
                state->Acquire(self);
            }
        }
    } else {
        state = std::make_shared<TMutexState>(nullptr);
        if (initialOwner) {
            std::lock_guard<std::mutex> hold(SyncLock());
            state->Acquire(self);
        }
    }
    HANDLE handle = NewWaitHandle(state);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReleaseMutex(HANDLE mutex) {
    auto state = std::dynamic_pointer_cast<TMutexState>(WaitStateOf(mutex));
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(SyncLock());
    if (!state->Release(CurrentThreadId())) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    SyncSignal().notify_all();
    return TRUE;
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
    HANDLE handle =
        NewWaitHandle(std::make_shared<TEventState>(manualReset != FALSE, initialState != FALSE));
    SetLastError(ERROR_SUCCESS);
    return handle;
}

namespace {

BOOL ChangeEvent(HANDLE event, bool signalled) {
    auto state = std::dynamic_pointer_cast<TEventState>(WaitStateOf(event));
    if (!state) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> hold(SyncLock());
    state->Set(signalled);
    if (signalled) {
        SyncSignal().notify_all();
    }
    return TRUE;
}

} // namespace

BOOL SetEvent(HANDLE event) {
    return ChangeEvent(event, true);
}

BOOL ResetEvent(HANDLE event) {
    return ChangeEvent(event, false);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<TWaitState>> states;
    for (DWORD i = 0; i < count; ++i) {
        states.push_back(WaitStateOf(handles[i]));
        if (!states.back()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    const DWORD self = CurrentThreadId();
    const auto deadline = Deadline(milliseconds);
    std::unique_lock<std::mutex> hold(SyncLock());
    for (;;) {
        if (waitAll) {
            bool all = true;
            for (auto& state : states) {
                all = all && state->Ready(self);
            }
            if (all) {
                bool abandoned = false;
                for (auto& state : states) {
                    abandoned = state->Acquire(self) || abandoned;
                }
                return abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (states[i]->Ready(self)) {
                    return (states[i]->Acquire(self) ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i;
                }
            }
        }
        if (milliseconds == INFINITE) {
            SyncSignal().wait(hold);
        } else if (std::chrono::steady_clock::now() >= deadline) {
            return WAIT_TIMEOUT;
        } else {
            SyncSignal().wait_until(hold, deadline);
        }
    }
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        std::this_thread::yield();
    } else if (milliseconds == INFINITE) {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::hours(24));
        }
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}
