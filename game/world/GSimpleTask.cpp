#include "game/world/GSimpleTask.h"

#include "game/world/GGameObject.h"

bool GSimpleTask::Init(const GTaskData& data, GBaseLogicalScene* listener) {
    const bool ready = GBaseSimpleTask::Init(data, listener);
    const bool named = NameLuaFunctions();
    return ready && named;
}

int GSimpleTask::OnTick(int ticksDone) {
    const int answer = mObject->CallScript(mTimerFunction, ticksDone);
    return answer != 0 && ticksDone < mTickCount ? 1 : 0;
}

int GSimpleTask::Begin(bool resumed) {
    GBaseSimpleTask::Begin(resumed);
    return mObject->CallScript(mBeginFunction, resumed ? 1 : 0);
}

int GSimpleTask::End(int reason) {
    if (mObject != nullptr) {
        mObject->CallScript(mEndFunction, reason);
    }
    return GBaseSimpleTask::End(reason);
}
