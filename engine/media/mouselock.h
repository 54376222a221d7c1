// Holds the display's mouse mutex for a scope: the cursor thread and the main thread never touch
// the cursor surfaces, positions and flags, or a buffer being copied or presented, at the same
// time. The mutex is a Win32 one, so a thread may take it again while it holds it.
#pragma once

#include "engine/core/rect.h"
#include "platform/win32/synchapi.h"

#include <atomic>
#include <cstdint>

class TMouseLock {
public:
    // Waits at most `milliseconds` (INFINITE: without limit); a null mutex is never held.
    explicit TMouseLock(HANDLE mutex, DWORD milliseconds = INFINITE) : mMutex(mutex) {
        if (mMutex != nullptr) {
            const DWORD result = WaitForSingleObject(mMutex, milliseconds);
            mHeld = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        }
    }
    ~TMouseLock() {
        if (mHeld) {
            ReleaseMutex(mMutex);
        }
    }
    TMouseLock(const TMouseLock&) = delete;
    TMouseLock& operator=(const TMouseLock&) = delete;

    bool Held() const { return mHeld; }

private:
    HANDLE mMutex;
    bool mHeld = false;
};

// A point written under the mouse mutex and also read without it, when the mutex is busy.
class TSharedPoint {
public:
    explicit TSharedPoint(TPoint point) : mBits(Pack(point)) {}
    TSharedPoint(const TSharedPoint&) = delete;
    TSharedPoint& operator=(const TSharedPoint&) = delete;

    TSharedPoint& operator=(TPoint point) {
        mBits = Pack(point);
        return *this;
    }
    operator TPoint() const { return Load(); }
    TPoint Load() const {
        const uint64_t bits = mBits;
        return TPoint{static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)),
                      static_cast<int32_t>(static_cast<uint32_t>(bits))};
    }

private:
    static uint64_t Pack(TPoint point) {
        return static_cast<uint64_t>(static_cast<uint32_t>(point.x)) << 32 |
               static_cast<uint32_t>(point.y);
    }

    std::atomic<uint64_t> mBits;
};
