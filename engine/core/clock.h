// A pausable millisecond clock on the platform time. Windows, dialogs, game objects and timer
// tasks keep their own clocks so that pausing one stops everything timed by it. Main thread only.
#pragma once

#include <cstdint>

class TClock {
public:
    // Starts paused at 0; the first Resume starts it from 0.
    TClock() = default;
    virtual ~TClock();

    // The frozen value while paused; otherwise the running time.
    int GetTime() const;
    // Restarts the count at startMs without touching the paused state.
    void Reset(int startMs);
    // Returns how long the clock stood still (0 when it was not paused or on the first start).
    int Resume();
    // Returns true when the clock was already paused.
    bool Pause();
    // Back to 0 and paused.
    void Stop();

private:
    int RunningTime() const;

    bool mPaused = true;
    bool mStarted = false;
    int32_t mStartStamp = 0;
    int32_t mStartValue = 0;
    int32_t mFrozen = 0;
    int32_t mPausedTotal = 0;
};
