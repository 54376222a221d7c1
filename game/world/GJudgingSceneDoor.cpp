#include "game/world/GJudgingSceneDoor.h"

#include "engine/script/luabinding.h"
#include "game/visual/GVObject.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_Door.h"

GGameObject* GJudgingSceneDoor::Clone() const {
    auto* copy = new GJudgingSceneDoor;
    copy->CopyFrom(*this);
    copy->mApproach = mApproach;
    copy->mApproachZ = mApproachZ;
    copy->mCapacity = mCapacity;
    return copy;
}

bool GJudgingSceneDoor::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    ReadPoint(typeTable, "point_approach", mApproach, mApproachZ);
    mEntered = 0;
    mCapacity = 1;
    return true;
}

bool GJudgingSceneDoor::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension,
                                    const str& extraLua, GLevel* level) {
    lua_State* state = GetScript().GetState();
    LuaPublish(state, "CPP_OnBeginGoToScene", this, &GJudgingSceneDoor::CPP_OnBeginGoToScene);
    LuaPublish(state, "CPP_CheckTussle", this, &GJudgingSceneDoor::CPP_CheckTussle);
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    if (const GVObject* visual = GetVisual()) {
        mTens = visual->GetChild(str("number1"));
        mOnes = visual->GetChild(str("number2"));
    }
    return true;
}

int GJudgingSceneDoor::CheckClick() {
    if (mOpen == 0) {
        return 0;
    }
    SetActive(false);
    if (mEntered >= mCapacity) {
        return 0;
    }
    GLogicalManager::Instance().CPP_OnEnterPodium(0);
    SetVisualState(str("close"));
    EnterQueue();
    return 1;
}

void GJudgingSceneDoor::StartGame() {
    if (GetScenes().empty()) {
        EnterKnownScenes();
    }
    GGameObject::StartGame();
}

bool GJudgingSceneDoor::HasPendingTask(bool flag) {
    return flag && !mFull && !IsBlocked();
}

void GJudgingSceneDoor::LeaveUpgradeMode(int /*level*/) {
    SetStrategy(nullptr);
    ResetUpgradeView();
    if (IsUnbought()) {
        CPP_WantDestroy();
        return;
    }
    if (GetVisual() != nullptr && GLogicalManager::Instance().GetLevel() != nullptr) {
        InstallStrategy(new GMStr_Door, false);
    }
}

TVec2 GJudgingSceneDoor::GetApproachPoint(GGameObject* asking) {
    if (GGameObject* place = GLogicalManager::Instance().GetFirstQueuePlace()) {
        return place->GetApproachPoint(asking);
    }
    return GetPosition() + mApproach;
}

int GJudgingSceneDoor::ShowNumber(int number) {
    if (mTens == nullptr || mOnes == nullptr) {
        return 0;
    }
    const auto digit = [](int value) {
        return GStateKey::FromString(str::FromFormat("value_%d", value));
    };
    const GStateKey hidden = GStateKey::FromString(str("hide_number"));
    GStateKey tens = hidden;
    GStateKey ones = hidden;
    if (number >= 99) {
        tens = digit(9);
        ones = digit(9);
    } else if (number >= 10) {
        tens = digit(number / 10);
        ones = digit(number % 10);
    } else if (number >= 1) {
        ones = digit(number);
    }
    mTens->SetState(tens, true);
    mOnes->SetState(ones, true);
    return 1;
}

void GJudgingSceneDoor::SetEditMode(bool on, int level) {
    GGameObject::SetEditMode(on, level);
    if (on) {
        SetEditStrategy(true);
    } else {
        InstallStrategy(new GMStr_Door, false);
    }
}

bool GJudgingSceneDoor::OnMouseDown(TPoint point) {
    if (mOpen == 0 || GetStrategy() != nullptr) {
        return GGameObject::OnMouseDown(point);
    }
    GVObject* visual = GetVisual();
    if (visual != nullptr && visual->FindObjectAt(static_cast<float>(point.x),
                                                  static_cast<float>(point.y), -1) != nullptr) {
        GLogicalManager::Instance().OnObjectClick(this, true);
    }
    return true;
}

bool GJudgingSceneDoor::CanAcceptGirl() {
    return mEntered < mCapacity && mOpen != 0;
}

int GJudgingSceneDoor::EnterQueue() {
    if (!CanAcceptGirl()) {
        return 0;
    }
    ++mEntered;
    GetScript().DoLuaString(str("SetPossibilityTussle(0);OnBeginSceneQueue();"));
    return 1;
}

int GJudgingSceneDoor::TussleTicks(int mode) const {
    const int period = GetTriggerPeriod();
    return GLogicalManager::Instance().GetTussleDelay(mode) / (period > 0 ? period : 1);
}

void GJudgingSceneDoor::ReleaseHeroine() {
    if (GGameObject* heroine = GLogicalManager::Instance().GetHeroine()) {
        heroine->GetScript().DoLuaString(str("wait_task_exit = 1;"));
    }
}

void GJudgingSceneDoor::OnQueueCount(int count) {
    GLogicalManager& manager = GLogicalManager::Instance();
    if (count < 1) {
        ReleaseHeroine();
        GetScript().DoLuaString(str("OnEndSceneQueue();"));
    } else {
        if (mBusy) {
            if (auto* scene = dynamic_cast<GJudgingScene*>(manager.GetJudgingScene())) {
                scene->SetEnterRequests(count);
            }
        }
        if (mOpen == 0) {
            GetScript().DoLuaString(str("OnFirstGirlInQueue();"));
        }
        mOpen = 1;
        if (!mTussleArmed && mEntered == 0 && count > 1) {
            mTussleArmed = true;
            mTussleCountdown = TussleTicks(0);
            GetScript().DoLuaString(
                str::FromFormat("SetPossibilityTussle(1);SetTickTussle(%d);", mTussleCountdown));
        }
    }
    mFull = count >= manager.GetQueuePlaceCount();
}

void GJudgingSceneDoor::OnQueueEmptied(int count) {
    if (count < 1) {
        mEntered = 0;
        mOpen = 0;
        mBusy = false;
        GetScript().DoLuaString(str("OnEndSceneQueue();"));
        ReleaseHeroine();
    }
    mFull = count >= GLogicalManager::Instance().GetQueuePlaceCount();
}

void GJudgingSceneDoor::CPP_OnBeginGoToScene() {
    mBusy = true;
    if (auto* scene = dynamic_cast<GJudgingScene*>(GLogicalManager::Instance().GetJudgingScene())) {
        scene->SetJudgesState(str("judges_idle"));
        scene->ShowLastEvent(false);
    }
}

int GJudgingSceneDoor::CPP_CheckTussle(int /*ignored*/) {
    if (mTussleCountdown <= 0) {
        return 0;
    }
    if (--mTussleCountdown > 0) {
        return 1;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    if (manager.GetGameState() == 3) {
        mTussleCountdown = 1;
        return 0;
    }
    int poise = 0;
    const int index = manager.FindTussleCandidate(400, poise);
    const int mode = index >= 0 && manager.StartTussle(index) > 0 ? 1 : -1;
    mTussleCountdown = TussleTicks(mode);
    GetScript().DoLuaString(str::FromFormat("SetTickTussle(%d);", mTussleCountdown));
    return 1;
}
