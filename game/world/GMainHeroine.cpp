#include "game/world/GMainHeroine.h"

#include "engine/core/enginetime.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GLogicalManager.h"

#include <algorithm>
#include <cstdint>
#include <limits>

bool GMainHeroine::OnTimer() {
    // While the speed power runs; one with no action time ends at the first tick.
    if (mActivePower == 1) {
        mSpeedCountdown -= ElapsedForCountdown();
        if (mSpeedCountdown <= 0) {
            EndSpeedPower();
        }
    }
    return GPersonage::OnTimer();
}

int GMainHeroine::ElapsedForCountdown() {
    if (GetTriggerPeriod() > 0) {
        return GetTriggerPeriod();
    }
    // A period of 0 ticks at every run of the task list: the time that passed counts.
    GGameObjectTimer* timer = GetTimer();
    const int now =
        timer != nullptr ? timer->GetClockTime() : static_cast<int32_t>(GetEngineTime());
    const int elapsed = mLastTickTime >= 0 && now > mLastTickTime ? now - mLastTickTime : 0;
    mLastTickTime = now;
    return elapsed;
}

GGameObject* GMainHeroine::Clone() const {
    auto* copy = new GMainHeroine;
    copy->CopyFrom(*this);
    return copy;
}

bool GMainHeroine::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension,
                               const str& extraLua, GLevel* level) {
    PublishHeroineFunctions();
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    if (objectTable != nullptr) {
        mBeginSpeed = LuaNumberToInt(objectTable->GetNumber("speed"));
    }
    ReadTouchUpValues(objectTable);
    return true;
}

void GMainHeroine::OnTaskEnd(GBaseSimpleTask* task, int reason) {
    GBaseSimpleTask* front = GetCurrentTask();
    if (front != nullptr && front->IsQueued() && front->GetListener() != nullptr) {
        front->GetListener()->ShowNumbers(0);
    }
    GPersonage::OnTaskEnd(task, reason);
}

void GMainHeroine::OnTasksChanged() {
    int number = 1;
    // A copy: a scene that shows its number may change her tasks.
    const std::vector<GBaseSimpleTask*> tasks = GetTasks();
    for (GBaseSimpleTask* task : tasks) {
        if (task->IsQueued() && task->GetListener() != nullptr &&
            task->GetListener()->ShowNumbers(number) > 0) {
            ++number;
        }
    }
}

void GMainHeroine::LoadTouchupAction() {
    RunUpgradeCommand();
}

int GMainHeroine::UseSpeedPower(int kind) {
    if (mActivePower == 1) {
        EndSpeedPower();
    }
    mActivePower = kind;
    if (kind != 1) {
        return 0;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    int speed = 0;
    int actionTime = 0;
    if (GGameData* data = manager.GetGameData()) {
        data->GetPowerData(1, speed, actionTime);
    }
    manager.SetPowerInUse(1);
    GetScript().DoLuaString(str::FromFormat("ObjectData.speed=%d;", speed));
    mSpeedCountdown = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{actionTime} * 1000, 0, std::numeric_limits<int32_t>::max()));
    mLastTickTime = -1;
    ElapsedForCountdown();
    return 1;
}

int GMainHeroine::EndSpeedPower() {
    mSpeedCountdown = 0;
    GetScript().DoLuaString(str::FromFormat("ObjectData.speed=%d;", mBeginSpeed));
    GLogicalManager::Instance().SetPowerInUse(0);
    mActivePower = 0;
    return 1;
}

void GMainHeroine::DoBlessing(int count) {
    if (count < 0) {
        count = GLogicalManager::Instance().CountQueuedGirls();
    }
    SetVisualState(str(count < 2 ? "last_bless" : "bless"));
}

void GMainHeroine::CPP_OnJudgingQueueChange() {
    GLogicalManager::Instance().OnQueueChanged();
}

void GMainHeroine::CPP_DoPoisePower(int value) {
    GLogicalManager::Instance().CPP_OnPoisePower(1, value);
}

void GMainHeroine::CPP_DoBlessing(int count) {
    DoBlessing(count);
}

void GMainHeroine::CPP_SetBeginSpeed(int speed) {
    mBeginSpeed = speed;
}
