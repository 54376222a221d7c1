// A task that calls its object's Lua each tick for a fixed number of ticks: name + "BeginTask"
// at begin, name + "TaskTimer" each tick, name + "EndTask" at end. Main thread only.
#pragma once

#include "game/world/GBaseSimpleTask.h"

class GSimpleTask final : public GBaseSimpleTask {
public:
    // Besides the base: true only with a non-empty name.
    bool Init(const GTaskData& data, GBaseLogicalScene* listener) override;
    // "TaskTimer" (ticks done) answered non-zero and ticks remain.
    int OnTick(int ticksDone) override;
    int GetType() const override { return 0; }
    // The base, then the answer of "BeginTask" (resumed).
    int Begin(bool resumed) override;
    // "EndTask" (reason), then the base.
    int End(int reason) override;
};
