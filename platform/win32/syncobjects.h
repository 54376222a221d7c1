// Inner workings shared by the stand-in's waitable kernel objects (threads, events, mutexes) and
// the message queues: one process-wide lock and condition that every wait and every change of a
// signalled state goes through. Not part of the Win32 surface; the engine never includes this.
#pragma once

#include "platform/win32/handleapi.h"
#include "platform/win32/wintypes.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace standin::detail {

std::mutex& SyncLock();
inline std::unique_lock<std::mutex> Hold() {
    return std::unique_lock<std::mutex>(SyncLock());
}
// Notified (to all) whenever an object becomes signalled or a message queue receives work.
std::condition_variable& SyncSignal();

// A waitable object's state. Ready and Acquire are called with SyncLock held.
class TWaitState {
public:
    virtual ~TWaitState() = default;
    virtual bool Ready(DWORD thread) const = 0;
    // Takes the object for `thread` (resets an auto-reset event, owns a mutex); true when the
    // object was a mutex abandoned by a thread that ended while owning it.
    virtual bool Acquire(DWORD thread) = 0;
};

// What a HANDLE of a waitable object points at. Closing the handle drops this reference only:
// a thread or a waiter may keep the state alive.
class TWaitHandle final : public TKernelObject {
public:
    explicit TWaitHandle(std::shared_ptr<TWaitState> state);
    ~TWaitHandle() override;
    TWaitHandle(const TWaitHandle&) = delete;
    TWaitHandle& operator=(const TWaitHandle&) = delete;
    const std::shared_ptr<TWaitState>& State() const { return mState; }

private:
    std::shared_ptr<TWaitState> mState;
};

HANDLE NewWaitHandle(std::shared_ptr<TWaitState> state);
// Null for a null, invalid or non-waitable handle.
std::shared_ptr<TWaitState> WaitStateOf(HANDLE handle);

// Marks every mutex the calling thread owns abandoned. Needs SyncLock held. A thread made by
// CreateThread calls it as it finishes, before its handle is signalled, so a waiter on the handle
// finds the mutexes abandoned already; any other thread's are abandoned when it exits.
void AbandonOwnedMutexesLocked();

// The stand-in's id of the calling thread (what GetCurrentThreadId answers).
DWORD CurrentThreadId();
// Gives the calling thread a preset id; used once at the start of threads made by CreateThread.
void AdoptThreadId(DWORD id);
DWORD NewThreadId();

} // namespace standin::detail
