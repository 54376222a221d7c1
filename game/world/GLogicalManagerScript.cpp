// The "CPP_" functions the logical manager publishes to the main script and the scene script:
// dialog and scene scripts act through them on the objects of the running scene.
#include "engine/script/luabinding.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GPersonage.h"
#include "game/world/GSoundEffects.h"
#include "game/world/GStudent.h"

void GLogicalManager::RegisterLuaFunctions(lua_State* state) {
    if (state == nullptr) {
        return;
    }
    LuaPublish(state, "CPP_EndChooseUser", this, &GLogicalManager::CPP_EndChooseUser);
    LuaPublish(state, "CPP_EndPowerMeterDialog", this, &GLogicalManager::CPP_EndPowerMeterDialog);
    LuaPublish(state, "CPP_EndBuyDialog", this, &GLogicalManager::CPP_EndBuyDialog);
    LuaPublish(state, "CPP_RunChooseUser", this, &GLogicalManager::CPP_RunChooseUser);
    LuaPublish(state, "CPP_RunPowerMeterDialog", this, &GLogicalManager::CPP_RunPowerMeterDialog);
    LuaPublish(state, "CPP_SetAnimState", this, &GLogicalManager::CPP_SetAnimState);
    LuaPublish(state, "CPP_SetSimpleAnimState", this, &GLogicalManager::CPP_SetSimpleAnimState);
    LuaPublish(state, "CPP_CalcPath", this, &GLogicalManager::CPP_CalcPath);
    LuaPublish(state, "CPP_MoveToBasePos", this, &GLogicalManager::CPP_MoveToBasePos);
    LuaPublish(state, "CPP_OnEndJudging", this, &GLogicalManager::CPP_OnEndJudging);
    LuaPublish(state, "CPP_SendMessageToObject", this, &GLogicalManager::CPP_SendMessageToObject);
    LuaPublish(state, "CPP_OnEnterPodium", this, &GLogicalManager::CPP_OnEnterPodium);
    LuaPublish(state, "CPP_ModifyCheck", this, &GLogicalManager::CPP_ModifyCheck);
    LuaPublish(state, "CPP_TouchUp", this, &GLogicalManager::CPP_TouchUp);
    LuaPublish(state, "CPP_SetTouchUpDirection", this, &GLogicalManager::CPP_SetTouchUpDirection);
    LuaPublish(state, "CPP_GenerateChooseUser", this, &GLogicalManager::CPP_GenerateChooseUser);
    LuaPublish(state, "CPP_SyncTaskTime", this, &GLogicalManager::CPP_SyncTaskTime);
    LuaPublish(state, "CPP_OnPoisePower", this, &GLogicalManager::CPP_OnPoisePower);
    LuaPublish(state, "CPP_RestoreTaskTime", this, &GLogicalManager::CPP_RestoreTaskTime);
    LuaPublish(state, "CPP_PlaySound", this, &GLogicalManager::CPP_PlaySound);
    LuaPublish(state, "CPP_CheckComboNumbers", this, &GLogicalManager::CPP_CheckComboNumbers);
}

GGameObject* GLogicalManager::Participant(int index) const {
    return mCurrentScene != nullptr ? mCurrentScene->GetObject(index) : nullptr;
}

int GLogicalManager::CPP_SetAnimState(int participant, str state) {
    GGameObject* object = Participant(participant);
    return object != nullptr ? object->SetLookState(state) : 0;
}

int GLogicalManager::CPP_SetSimpleAnimState(int participant, str state) {
    GGameObject* object = Participant(participant);
    return object != nullptr ? object->SetVisualState(state) : 0;
}

int GLogicalManager::CPP_CalcPath(int participant, int target) {
    GGameObject* object = Participant(participant);
    GGameObject* goal = Participant(target);
    if (object == nullptr || goal == nullptr) {
        return 0;
    }
    return WalkToEntry(object, goal, mCurrentScene->GetWalkMode()) ? 1 : 0;
}

int GLogicalManager::CPP_MoveToBasePos(int participant) {
    GGameObject* object = Participant(participant);
    if (object == nullptr || object->GetCurrentTask() != nullptr) {
        return 0;
    }
    GPathPoints* path = object->GetPathData();
    if (path == nullptr) {
        return 0;
    }
    mPathGrid.PlanPath(object->GetPosition(), object->GetStartPosition(), *path);
    const bool planned = !path->empty();
    object->AddTask("moving", nullptr, true);
    return planned ? 1 : 0;
}

int GLogicalManager::CPP_SendMessageToObject(int participant, int kind, str /*text*/) {
    // Only a girl takes a message: kind 1 sets her cry lock.
    if (kind == 1) {
        if (auto* girl = dynamic_cast<GStudent*>(Participant(participant))) {
            girl->SetCryLock(1);
        }
    }
    return 0;
}

int GLogicalManager::CPP_ModifyCheck(int participant, int delta) {
    GGameObject* object = Participant(participant);
    return object != nullptr ? object->ModifyCheck(delta) : -1;
}

int GLogicalManager::CPP_TouchUp(int participant) {
    auto* girl = dynamic_cast<GStudent*>(Participant(participant));
    auto* heroine = dynamic_cast<GPersonage*>(mHeroine);
    if (girl == nullptr || heroine == nullptr) {
        return -1;
    }
    mHooks->TutorialTouchUpEnd(heroine, girl);
    return girl->AddPoise(heroine->GetTouchUpPoise());
}

void GLogicalManager::CPP_SetTouchUpDirection() {
    GGameObject* girl = Participant(0);
    auto* personage = dynamic_cast<GPersonage*>(Participant(1));
    if (girl != nullptr && girl->IsStudent() && personage != nullptr) {
        personage->SetTouchUpDirection(girl);
    }
}

void GLogicalManager::CPP_SyncTaskTime(int participant, str task, int participant2, str task2) {
    GGameObject* object = Participant(participant);
    GGameObject* other = Participant(participant2);
    if (object != nullptr && other != nullptr) {
        object->SetTaskTime(task, other->GetTaskTime(task2));
    }
}

void GLogicalManager::CPP_RestoreTaskTime(int participant, str task) {
    if (GGameObject* object = Participant(participant)) {
        object->ApplyBaseType(task);
    }
}

void GLogicalManager::CPP_PlaySound(str name) {
    GSoundEffects::Instance()->Play(name);
}
