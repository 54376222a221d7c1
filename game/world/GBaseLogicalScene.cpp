#include "game/world/GBaseLogicalScene.h"

#include "game/world/GBaseSimpleTask.h"

#include <algorithm>

GBaseLogicalScene::~GBaseLogicalScene() {
    DetachTasks();
}

void GBaseLogicalScene::DetachTasks() {
    std::vector<GBaseSimpleTask*> tasks;
    tasks.swap(mTasks);
    for (GBaseSimpleTask* task : tasks) {
        task->ClearListener();
    }
}

void GBaseLogicalScene::AddTask(GBaseSimpleTask* task) {
    mTasks.push_back(task);
}

void GBaseLogicalScene::RemoveTask(GBaseSimpleTask* task) {
    const auto found = std::find(mTasks.begin(), mTasks.end(), task);
    if (found != mTasks.end()) {
        mTasks.erase(found);
    }
}

const str& GBaseLogicalScene::GetName() const {
    static const str kNoName;
    return kNoName;
}
