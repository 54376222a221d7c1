// The count-down the movers share: a motion of n steps, each tick using one up. With something
// bound to move, the last tick ends the motion and every other one makes a step of the motion with
// the steps that remain, so the motion slows to a stop. The motion is not owned. Main thread only.
#pragma once

#include "game/world/GSCanMove.h"

class GSMoveType;

class GStepMobile : public GSCanMove {
public:
    // One step with the steps that remain; the last one ends the motion. Nothing once the count
    // is spent.
    void Tick();

    float GetCount() const { return mCount; }
    GSMoveType* GetMover() const { return mMover; }

protected:
    // Whether something is bound to move.
    virtual bool IsBound() const = 0;
    // The count ran out with something bound.
    virtual void OnLastStep() = 0;

    // Not owned.
    GSMoveType* mMover = nullptr;
    float mCount = 0.0f;
};
