// A straight motion: each step moves by the velocity times the step's amount.
#pragma once

#include "engine/core/vec.h"
#include "game/world/GSMoveType.h"

class LineMove : public GSMoveType { // NOLINT(readability-identifier-naming)
public:
    LineMove() = default;
    LineMove(float x, float y) : mVelocity(x, y) {}

    // Position + velocity x amount.
    void Step(GSCanMove* mover, float amount) override;

    TVec2 mVelocity;
};
