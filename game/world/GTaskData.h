// The definition of one task of a game object, read from the "tasks" table of its Lua type, and
// the fields every task copies from it. Plain data with a virtual destructor (tasks derive from
// it). Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstdint>

class GGameObject;

class GTaskData {
public:
    virtual ~GTaskData() = default;
    GTaskData() = default;
    GTaskData(const GTaskData&) = default;
    GTaskData& operator=(const GTaskData&) = default;

    // Ticks the task lasts ("tick_count").
    int32_t mTickCount = 0;
    // The object that runs it, set when the task is queued; not owned.
    GGameObject* mObject = nullptr;
    // Period of one tick in ms ("delay").
    int32_t mDelay = 0;
    // The key of its entry in "tasks".
    str mName;
    // The type code ("sub_type"): 0 a simple task, 1 a moving task.
    int32_t mSubType = 0;
    // 1 once the object queued it rather than adding it.
    int32_t mQueued = 0;
    // The id the object factory gave the last task made from this data.
    int32_t mTaskId = 0;
};
