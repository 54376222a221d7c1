#include "game/world/GMovingTask.h"

#include "engine/script/lua/luanumber.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameObject.h"
#include "game/world/GPathGrid.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

bool GMovingTask::Init(const GTaskData& data, GBaseLogicalScene* listener) {
    const bool ready = GBaseSimpleTask::Init(data, listener);
    const bool named = NameLuaFunctions();
    return ready && named;
}

int GMovingTask::Direction(const TVec2& from, const TVec2& to) {
    // Wide enough that the magnitude of any truncated difference, however far, fits.
    const int64_t dx = LuaNumberToInt(to.x - from.x);
    const int64_t dy = LuaNumberToInt(to.y - from.y);
    if (dx == 0 && dy == 0) {
        return kNone;
    }
    if (std::abs(dx) < std::abs(dy)) {
        return dy < 0 ? kUp : kDown;
    }
    return dx >= 0 ? kRight : kLeft;
}

int GMovingTask::Begin(bool resumed) {
    GBaseSimpleTask::Begin(resumed);
    if (mListener != nullptr) {
        mListener->CalcPath(mObject, 0);
    }
    GPathPoints* path = mObject->GetPathData();
    if (path == nullptr || path->size() < 2) {
        return 0;
    }
    path->erase(path->begin());
    mTarget = path->front();
    mRunning = mObject->GetPosition();
    mLastDirection = Direction(mRunning, mTarget);
    const int answer = mObject->CallScript(mBeginFunction, mLastDirection);
    // A delay below 1 ms would give endless steps.
    const int delay = std::max(mDelay, 1);
    mStepLength = static_cast<float>(std::max(answer, delay)) / static_cast<float>(delay);
    return 1;
}

int GMovingTask::OnTick(int /*ticksDone*/) {
    GPathPoints* path = mObject->GetPathData();
    if (path == nullptr || path->empty()) {
        // The path was taken away under the walk.
        return 0;
    }
    const TVec2 position = mObject->GetPosition();
    const float dx = mTarget.x - position.x;
    const float dy = mTarget.y - position.y;
    const float distance = std::sqrt((dx * dx) + (dy * dy));
    if (distance > mStepLength) {
        mRunning.x += dx * mStepLength / distance;
        mRunning.y += dy * mStepLength / distance;
        mObject->MoveToPoint(mRunning.x, mRunning.y);
        return 1;
    }
    mObject->SetPlace(mTarget, mTarget.y + mObject->GetDepthOffset());
    path->erase(path->begin());
    if (path->empty()) {
        return 0;
    }
    mTarget = path->front();
    mLastDirection = Direction(position, mTarget);
    mObject->CallScript(mTimerFunction, mLastDirection);
    return 1;
}

int GMovingTask::End(int reason) {
    if (mObject != nullptr) {
        mObject->CallScript(mEndFunction, mLastDirection);
    }
    return GBaseSimpleTask::End(reason);
}
