// The tasks of a game object: made by the object factory from the task data its type defines,
// kept in a list whose front is the current task, destroyed when they end.
#include "engine/script/lua/luanumber.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameObject.h"
#include "game/world/GObjectFactory.h"

#include <algorithm>

GBaseSimpleTask* GGameObject::MakeTask(const str& name, GBaseLogicalScene* listener) {
    const auto found = mTaskData.find(name);
    if (found == mTaskData.end()) {
        return nullptr;
    }
    found->second.mObject = this;
    return GObjectFactory::Instance().CreateTask(found->second, listener);
}

int GGameObject::AddTask(const str& name, GBaseLogicalScene* listener, bool startNow) {
    if (mTaskData.count(name) == 0) {
        return 0;
    }
    for (const GBaseSimpleTask* task : mTasks) {
        if (task->GetState() == GBaseSimpleTask::kRunning ||
            task->GetState() == GBaseSimpleTask::kResumed) {
            return -1;
        }
    }
    GBaseSimpleTask* task = MakeTask(name, listener);
    if (task == nullptr) {
        return 0;
    }
    mTasks.insert(mTasks.begin(), task);
    if (listener != nullptr) {
        listener->AddTask(task);
    }
    OnTasksChanged();
    if (startNow) {
        task->Start();
    }
    return 1;
}

int GGameObject::QueueTask(const str& name, GBaseLogicalScene* listener, bool atFront) {
    GBaseSimpleTask* task = MakeTask(name, listener);
    if (task == nullptr) {
        return 0;
    }
    task->MarkQueued();
    mTasks.insert(atFront ? mTasks.begin() : mTasks.end(), task);
    if (listener != nullptr) {
        listener->AddTask(task);
    }
    OnTasksChanged();
    return 1;
}

void GGameObject::OnTaskEnd(GBaseSimpleTask* task, int /*reason*/) {
    // The task that ended, wherever it stands: one queued at the front since it began stays.
    const auto found = std::find(mTasks.begin(), mTasks.end(), task);
    if (found == mTasks.end()) {
        return;
    }
    OnTaskFinished(task);
    mTasks.erase(found);
    DestroyTask(task);
    OnTasksChanged();
}

void GGameObject::OnTaskBegin(bool /*resumed*/) {
    OnTaskStarted(GetCurrentTask());
}

int GGameObject::RemoveTask(GBaseSimpleTask* task) {
    if (task == nullptr) {
        return 0;
    }
    const int id = task->mTaskId;
    const auto found = std::find_if(mTasks.begin(), mTasks.end(),
                                    [id](const GBaseSimpleTask* t) { return t->mTaskId == id; });
    if (found == mTasks.end()) {
        return 0;
    }
    GBaseSimpleTask* removed = *found;
    mTasks.erase(found);
    DestroyTask(removed);
    OnTasksChanged();
    return 1;
}

void GGameObject::DestroyTasks() {
    std::vector<GBaseSimpleTask*> tasks;
    tasks.swap(mTasks);
    for (GBaseSimpleTask* task : tasks) {
        DestroyTask(task);
    }
    OnTasksChanged();
}

void GGameObject::DestroyTask(GBaseSimpleTask* task) const {
    task->Destroy(!mClosing);
}

GBaseSimpleTask* GGameObject::GetCurrentTask() const {
    return mTasks.empty() ? nullptr : mTasks.front();
}

int GGameObject::StartCurrentTask() {
    GBaseSimpleTask* task = GetCurrentTask();
    return task != nullptr ? task->Start() : 0;
}

const GTaskData* GGameObject::FindTaskData(const str& task) const {
    const auto found = mTaskData.find(task);
    return found != mTaskData.end() ? &found->second : nullptr;
}

int GGameObject::SetTaskTime(const str& task, int total) {
    const auto found = mTaskData.find(task);
    if (found == mTaskData.end()) {
        return 0;
    }
    GTaskData& data = found->second;
    if (data.mTickCount != 0) {
        data.mDelay = LuaNumberToInt(static_cast<double>(total) / data.mTickCount);
    }
    return data.mDelay;
}

int GGameObject::ScaleTaskTime(const str& task, float factor) {
    const auto found = mTaskData.find(task);
    if (found == mTaskData.end() || found->second.mTickCount == 0) {
        return 0;
    }
    GTaskData& data = found->second;
    const int total = LuaNumberToInt(static_cast<double>(data.mTickCount) * data.mDelay * factor);
    data.mDelay = LuaNumberToInt(static_cast<double>(total) / data.mTickCount);
    return data.mDelay;
}

int GGameObject::GetTaskTime(const str& task) const {
    const GTaskData* data = FindTaskData(task);
    if (data == nullptr) {
        return 0;
    }
    return LuaNumberToInt(static_cast<double>(data->mDelay) * data->mTickCount);
}
