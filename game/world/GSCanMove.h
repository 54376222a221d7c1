// Something a mover moves: it keeps its position and is told every new one. Movers that carry a
// window along override SetPosition. Main thread only.
#pragma once

#include "engine/core/vec.h"

class GSCanMove {
public:
    GSCanMove() = default;
    virtual ~GSCanMove() = default;
    GSCanMove(const GSCanMove&) = delete;
    GSCanMove& operator=(const GSCanMove&) = delete;

    // Stores the position.
    virtual void SetPosition(float x, float y) {
        mX = x;
        mY = y;
    }
    virtual TVec2 GetPosition() const { return TVec2(mX, mY); }

protected:
    float mX = 0.0f;
    float mY = 0.0f;
};
