// The periodic timer of a game object, a task or the level: a timer caller that runs its owner's
// tick in the game screen's task list, on that screen's clock. The list owns and deletes the timer;
// the owner keeps a pointer to it that either side clears when it goes first. Main thread only.
#pragma once

#include "engine/ui/window.h"
#include "game/visual/TOnTimerCaller.h"

// What a timer drives: one tick per period.
class GBaseTimerObj {
public:
    virtual ~GBaseTimerObj() = default;
    // One tick. The owner may be deleted during the call (a task that ends, an object removed by
    // its own tick); the caller then touches nothing of it.
    virtual bool OnTimer() = 0;
    // The timer's call: the answer of OnTimer does not stop the timer.
    void RunTimer() { OnTimer(); }
};

using GGameObjectTimer = TOnTimerCaller<GBaseTimerObj, TModalWindow>;
