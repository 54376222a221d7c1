#include "engine/core/clock.h"

#include "engine/core/enginetime.h"

TClock::~TClock() = default;

int TClock::RunningTime() const {
    // The platform time wraps at 32 bits; modular arithmetic keeps the difference right.
    const uint32_t elapsed = GetEngineTime() - static_cast<uint32_t>(mStartStamp);
    return static_cast<int32_t>(static_cast<uint32_t>(mStartValue) + elapsed -
                                static_cast<uint32_t>(mPausedTotal));
}

int TClock::GetTime() const {
    return mPaused ? mFrozen : RunningTime();
}

void TClock::Reset(int startMs) {
    mStartStamp = static_cast<int32_t>(GetEngineTime());
    mStartValue = startMs;
    mFrozen = startMs;
    mPausedTotal = 0;
}

int TClock::Resume() {
    if (!mPaused) {
        return 0;
    }
    mPaused = false;
    if (!mStarted) {
        mStarted = true;
        Reset(0);
        return 0;
    }
    const int span =
        static_cast<int32_t>(static_cast<uint32_t>(RunningTime()) - static_cast<uint32_t>(mFrozen));
    mPausedTotal =
        static_cast<int32_t>(static_cast<uint32_t>(mPausedTotal) + static_cast<uint32_t>(span));
    return span;
}

bool TClock::Pause() {
    if (mPaused) {
        return true;
    }
    mFrozen = GetTime();
    mPaused = true;
    return false;
}

void TClock::Stop() {
    Reset(0);
    mPaused = true;
}
