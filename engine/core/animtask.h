// A task with a due time on a clock: it runs once per period, can catch up when it fell behind
// and resynchronises when it fell more than a second behind. Derived classes do one period's
// work in Animate. Main thread only.
#pragma once

#include "engine/core/task.h"

#include <cstdint>

class TClock;

class TAnimTask : public TTask {
public:
    // The clock is not owned; null runs the task on the platform time. A new task is due at once.
    explicit TAnimTask(TClock* clock = nullptr);

    // Phase 1 answers the frame flag; other phases whether the task is started and due.
    bool IsReady(int phase) override;
    // Animates once, or once per missed period with catch up (never further back than a second).
    bool DoTask() override;
    // One period's work; false ends the task (the list deletes it).
    virtual bool Animate() = 0;

    int GetClockTime() const;
    // Due after delay ms, counted from now when fromNow is set or the task is stopped, else from
    // the current due time; repeat makes delay the period. fromNow also makes every later period
    // count from the time its step started; catchUp runs missed periods in one pass.
    void Start(int delay, bool repeat, bool fromNow, bool catchUp);
    void Stop();
    // -1 when stopped; otherwise the clock time minus the due time (negative before it is due).
    int GetElapsed() const;
    // Moves the task to another clock (null: the platform time) keeping GetElapsed unchanged.
    void SetClock(TClock* clock);
    // Makes the task run in every phase-1 pass as well.
    void SetFrameFlag(bool flag);

private:
    static constexpr int32_t kStopped = -1;

    bool mFrameFlag = false;
    int32_t mDue = kStopped;
    int32_t mPeriod = 0;
    bool mFromNow = false;
    bool mCatchUp = false;
    TClock* mClock;
};
