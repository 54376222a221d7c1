#include "game/world/GPersonage.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/ScriptCall.h"

#include <memory>

GPersonage::~GPersonage() {
    for (GBaseSimpleTask* task : mSavedTasks) {
        DestroyTask(task);
    }
}

GGameObject* GPersonage::Clone() const {
    auto* copy = new GPersonage;
    copy->CopyFrom(*this);
    return copy;
}

bool GPersonage::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                             GLevel* level) {
    PublishPersonageFunctions();
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    ReadTouchUpValues(objectTable);
    return true;
}

void GPersonage::ReadTouchUpValues(TLuaTable* objectTable) {
    if (objectTable != nullptr) {
        mTouchUpPoise = LuaNumberToInt(objectTable->GetNumber("touchup_poise", 0));
        mTouchUpTime = LuaNumberToInt(objectTable->GetNumber("touchup_time", 1000));
    }
    SetTaskTime("touchup", mTouchUpTime);
}

void GPersonage::StartGame() {
    EnterKnownScenes();
    GGameObject::StartGame();
}

int GPersonage::WalkTo(const str& target, const str& task, GBaseLogicalScene* listener,
                       bool atFront) {
    Reserved23();
    const int queued = QueueTask(task, listener, atFront);
    if (queued == 1) {
        mTargetName = target;
    }
    return queued;
}

void GPersonage::LeaveUpgradeMode(int /*mode*/) {
    if (GetStrategy() != nullptr) {
        SetStrategy(nullptr);
        ResetUpgradeView();
    }
    if (IsUnbought()) {
        CPP_WantDestroy();
        return;
    }
    LoadTouchupAction();
}

int GPersonage::StartCurrentTask() {
    GBaseSimpleTask* task = GetCurrentTask();
    if (task == nullptr) {
        return 0;
    }
    if ((task->IsQueued() && IsBlocked()) || task->GetState() == GBaseSimpleTask::kRunning) {
        return 0;
    }
    if (!IsBlocked()) {
        Block(mTargetName);
    }
    if (GBaseLogicalScene* scene = task->GetListener()) {
        scene->OnPersonageStarted();
    }
    // A task whose begin fails is gone when Start returns.
    const int started = task->Start();
    if (started == 0) {
        Unblock(mTargetName);
    }
    return started;
}

void GPersonage::OnSceneEnd(const str& scene) {
    Reserved23();
    mTargetName = scene;
    StartCurrentTask();
}

void GPersonage::SetEditMode(bool on, int level) {
    GGameObject::SetEditMode(on, level);
    SetEditStrategy(on);
}

void GPersonage::EnterUpgradeMode(int /*mode*/) {
    OfferUpgrade();
}

void GPersonage::OnTaskFinished(GBaseSimpleTask* task) {
    GLogicalManager::Instance().GetHooks().TutorialTaskEnd(task);
}

void GPersonage::OnTaskStarted(GBaseSimpleTask* task) {
    GLogicalManager::Instance().GetHooks().TutorialTaskStart(task);
}

void GPersonage::RunUpgradeCommand() {
    const GGameData* data = GLogicalManager::Instance().GetGameData();
    const GUpgradeData* record =
        data != nullptr ? data->FindUpgradeByLevel(GetName(), GetUpgradeLevel()) : nullptr;
    if (record != nullptr) {
        RunStartCommand(record->mStartCommand);
    }
}

void GPersonage::LoadTouchupAction() {
    RunUpgradeCommand();
    const int level = GetUpgradeLevel();
    GGameData* data = GLogicalManager::Instance().GetGameData();
    if (level >= 0 && data != nullptr) {
        const int time = data->GetUpgradeDataParam(GetName(), level + 1, "touchup_time");
        const int speed = data->GetUpgradeDataParam(GetName(), level + 1, "speed");
        if (time > 0) {
            mTouchUpTime = time;
            SetTaskTime("touchup", time);
        }
        if (speed > 0) {
            SetSpeed(speed);
        }
    }
    mTouchUpActions.clear();
    ScriptCall(&GetScript(), "LoadTouchupAction", 0, GetName(), level + 1);
}

void GPersonage::CPP_AddTouchupAction(str name) {
    mTouchUpActions.insert(name);
}

void GPersonage::SetSpeed(int speed) {
    GetScript().DoLuaString(str::FromFormat("ObjectData.speed=%d;", speed));
}

int GPersonage::ReadSpeed() {
    std::unique_ptr<TLuaTable> data(GetScript().GetGlobalTable("ObjectData"));
    return data != nullptr ? LuaNumberToInt(data->GetNumber("speed", -1)) : -1;
}

void GPersonage::SetTouchUpDirection(const GGameObject* girl) {
    const bool left = girl != nullptr && girl->GetPosition().x < GetPosition().x;
    GetScript().SetGlobalString("personageTouchUpDirection", left ? "left" : "right");
}

void GPersonage::SaveTasks() {
    // Tasks set aside earlier and never brought back would belong to no one.
    for (GBaseSimpleTask* task : mSavedTasks) {
        DestroyTask(task);
    }
    mSavedTasks.clear();
    mSavedTasks.swap(TaskList());
}

void GPersonage::RestoreTasks() {
    if (mSavedTasks.empty()) {
        return;
    }
    std::vector<GBaseSimpleTask*>& tasks = TaskList();
    tasks.insert(tasks.end(), mSavedTasks.begin(), mSavedTasks.end());
    mSavedTasks.clear();
    OnTasksChanged();
}
