// A timer task that calls a member function of its owner every period: the frame timers of visual
// objects, the steps of interpolators, the updates of particle effects. It lives in a task list,
// which deletes it; its owner only detaches it, after which it ends at its next run. Main thread
// only.
#pragma once

#include "engine/core/animtask.h"

class TCustomOnTimerCaller : public TAnimTask {
public:
    // No clock, and stopped: it does not run before Start.
    TCustomOnTimerCaller();

    // Forgets the owner and clears the owner's reference to this timer.
    virtual void Detach() = 0;
};
