#include "game/world/GBaseSimpleTask.h"

#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"

bool GBaseSimpleTask::OnTimer() {
    ++mTicksDone;
    if (OnTick(mTicksDone) == 0) {
        // Deletes the task.
        End(0);
    }
    return true;
}

bool GBaseSimpleTask::Init(const GTaskData& data, GBaseLogicalScene* listener) {
    GTaskData::operator=(data);
    mListener = listener;
    mState = mObject != nullptr ? kReady : kNew;
    return mObject != nullptr;
}

bool GBaseSimpleTask::NameLuaFunctions() {
    mTimerFunction = mName + "TaskTimer";
    mBeginFunction = mName + "BeginTask";
    mEndFunction = mName + "EndTask";
    return mName.Length() > 0;
}

int GBaseSimpleTask::Start() {
    if (mState != kReady) {
        return 0;
    }
    if (Begin(false) == 0) {
        End(0);
        return 0;
    }
    auto* timer = new GGameObjectTimer(this, &GBaseTimerObj::RunTimer, &mTimer);
    StartTimer();
    if (!GLogicalManager::Instance().AddTimerTask(timer)) {
        // No task list took it: it is still ours, and never ticks.
        delete timer;
    }
    return 1;
}

int GBaseSimpleTask::Pause() {
    if ((mState != kRunning && mState != kResumed) || mPaused || mTimer == nullptr) {
        return 0;
    }
    mPaused = true;
    mTimer->Stop();
    mState = kPaused;
    return 1;
}

int GBaseSimpleTask::Resume() {
    if (mState != kPaused || !mPaused || mTimer == nullptr) {
        return 0;
    }
    mPaused = false;
    StartTimer();
    Begin(true);
    return 1;
}

int GBaseSimpleTask::Finish(bool detach) {
    mDetach = detach;
    if ((mState != kRunning && mState != kResumed) || mTimer == nullptr) {
        return 0;
    }
    End(1);
    return 1;
}

int GBaseSimpleTask::Destroy(bool detach) {
    mDetach = detach;
    delete this;
    return 1;
}

GBaseSimpleTask::~GBaseSimpleTask() {
    if (mTimer != nullptr) {
        mTimer->Detach();
    }
    if (mListener != nullptr) {
        mListener->RemoveTask(this);
    }
}

int GBaseSimpleTask::Begin(bool resumed) {
    mState = resumed ? kResumed : kRunning;
    if (mObject != nullptr) {
        mObject->OnTaskBegin(resumed);
    }
    return 1;
}

int GBaseSimpleTask::End(int reason) {
    mState = kEnded;
    // The object destroys the task: what is needed afterwards is read first.
    GBaseLogicalScene* listener = mListener;
    GGameObject* object = mObject;
    if (object == nullptr) {
        return 0;
    }
    object->OnTaskEnd(this, reason);
    if (listener != nullptr) {
        return listener->OnTaskEnd(object, reason);
    }
    return 0;
}

int GBaseSimpleTask::RemoveFromObject() {
    if (mObject == nullptr) {
        return 0;
    }
    mObject->RemoveTask(this);
    return 1;
}

void GBaseSimpleTask::StartTimer() {
    if (mTimer != nullptr) {
        mTimer->Start(mDelay, true, true, false);
    }
}
