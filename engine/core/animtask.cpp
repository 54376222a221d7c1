#include "engine/core/animtask.h"

#include "engine/core/clock.h"
#include "engine/core/enginetime.h"

namespace {

// Clock times wrap at 32 bits; sums and differences are taken modulo 2^32.
int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

int32_t Sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// A task further behind than this skips the missed periods instead of catching up.
constexpr int32_t kResyncLimit = 1000;

} // namespace

TAnimTask::TAnimTask(TClock* clock) : mClock(clock) {
    mDue = GetClockTime();
}

int TAnimTask::GetClockTime() const {
    return mClock != nullptr ? mClock->GetTime() : static_cast<int32_t>(GetEngineTime());
}

bool TAnimTask::IsReady(int phase) {
    if (phase == 1) {
        return mFrameFlag;
    }
    return mDue != kStopped && Sub(GetClockTime(), mDue) >= 0;
}

bool TAnimTask::DoTask() {
    const int32_t now = GetClockTime();
    if (Sub(now, mDue) > kResyncLimit) {
        mDue = GetClockTime();
    }
    bool result;
    do {
        mDue = Add(mFromNow ? now : mDue, mPeriod);
        result = Animate();
        // Without a positive period the due time never moves past now: catching up would loop
        // forever.
    } while (result && mCatchUp && mPeriod > 0 &&
             static_cast<uint32_t>(mDue) < static_cast<uint32_t>(now));
    return result;
}

void TAnimTask::Start(int delay, bool repeat, bool fromNow, bool catchUp) {
    mFromNow = fromNow;
    mCatchUp = catchUp;
    mDue = Add(fromNow || mDue == kStopped ? GetClockTime() : mDue, delay);
    mPeriod = repeat ? delay : 0;
}

void TAnimTask::Stop() {
    mDue = kStopped;
    mFrameFlag = false;
}

int TAnimTask::GetElapsed() const {
    return mDue == kStopped ? -1 : Sub(GetClockTime(), mDue);
}

void TAnimTask::SetClock(TClock* clock) {
    const int elapsed = GetElapsed();
    mClock = clock;
    if (mDue != kStopped) {
        mDue = Sub(GetClockTime(), elapsed);
    }
}

void TAnimTask::SetFrameFlag(bool flag) {
    mFrameFlag = flag;
}
