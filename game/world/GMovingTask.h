// A walk of its object along the object's path (GetPathData), one step of a fixed length per
// tick. The scene that gave it plans the path when it begins. Its Lua hooks hear the direction:
// name + "BeginTask" the first one (its answer sets the pace), name + "TaskTimer" the new one at
// each corner, name + "EndTask" the last one. Owned by its object's task list. Main thread only.
#pragma once

#include "engine/core/vec.h"
#include "game/world/GBaseSimpleTask.h"

class GMovingTask final : public GBaseSimpleTask {
public:
    // Directions, as the Lua hooks get them.
    enum : int32_t { kNone, kUp, kRight, kDown, kLeft };

    // Besides the base: true only with a non-empty name.
    bool Init(const GTaskData& data, GBaseLogicalScene* listener) override;
    // One step toward the next path point; 0 once the last point is reached.
    int OnTick(int ticksDone) override;
    int GetType() const override { return 1; }
    // The base, then the path is planned; 0 without a path of two points or more. The point
    // where the object stands is dropped and the first direction goes to "BeginTask", whose
    // answer, in ms per delay, gives the step length.
    int Begin(bool resumed) override;
    // "EndTask" (the last direction), then the base.
    int End(int reason) override;

    // The main direction from one point to another (a tie is horizontal); kNone when they are
    // less than a whole unit apart on both axes.
    static int Direction(const TVec2& from, const TVec2& to);

    float GetStepLength() const { return mStepLength; }
    int GetLastDirection() const { return mLastDirection; }

private:
    // Where the walk has got to: it advances by whole steps and is not pulled onto the corners.
    TVec2 mRunning;
    TVec2 mTarget;
    float mStepLength = 1.0f;
    int32_t mLastDirection = kNone;
};
