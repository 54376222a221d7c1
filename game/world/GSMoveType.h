// How a mover moves what it moves at each step. Main thread only.
#pragma once

class GSCanMove;

class GSMoveType {
public:
    GSMoveType() = default;
    virtual ~GSMoveType() = default;
    GSMoveType(const GSMoveType&) = delete;
    GSMoveType& operator=(const GSMoveType&) = delete;

    // One step; the movers pass the steps that remain, so the motion slows to a stop.
    virtual void Step(GSCanMove* mover, float amount) = 0;
};
