#include "game/world/GJudgingQueue.h"

#include "game/visual/GVObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_Queue.h"

GGameObject* GJudgingQueue::Clone() const {
    auto* copy = new GJudgingQueue;
    copy->CopyFrom(*this);
    copy->mApproach = mApproach;
    copy->mApproachZ = mApproachZ;
    copy->mLanding = mLanding;
    copy->mLandingZ = mLandingZ;
    return copy;
}

bool GJudgingQueue::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    ReadPoint(typeTable, "point_approach", mApproach, mApproachZ);
    ReadPoint(typeTable, "point_landing", mLanding, mLandingZ);
    return true;
}

void GJudgingQueue::StartGame() {
    if (GetScenes().empty()) {
        EnterKnownScenes();
    }
    GGameObject::StartGame();
}

bool GJudgingQueue::HasPendingTask(bool flag) {
    return flag && !GetScenes().empty() && !IsBlocked();
}

void GJudgingQueue::LeaveUpgradeMode(int /*level*/) {
    SetStrategy(nullptr);
    ResetUpgradeView();
    if (GetVisual() != nullptr && GLogicalManager::Instance().GetLevel() != nullptr) {
        InstallStrategy(new GMStr_Queue, false);
    }
}

TVec2 GJudgingQueue::LandingPosition() const {
    return GetPosition() + mLanding;
}

float GJudgingQueue::LandingDepth() {
    const GVObject* visual = GetVisual();
    return (visual != nullptr ? visual->mDeltaZ : 0.0f) + mLandingZ;
}

int GJudgingQueue::TakeObject(GGameObject* girl) {
    return TakeAt(girl, mLanding, mLandingZ);
}

int GJudgingQueue::SetOccupant(GGameObject* girl) {
    SetOccupantField(girl);
    mPlacedGirl = nullptr;
    if (girl == nullptr && GetScenes().empty()) {
        EnterKnownScenes();
    }
    return 1;
}

TVec2 GJudgingQueue::GetApproachPoint(GGameObject* /*asking*/) {
    return GetPosition() + mApproach;
}

void GJudgingQueue::SetEditMode(bool on, int level) {
    GGameObject::SetEditMode(on, level);
    if (on) {
        SetEditStrategy(true);
    } else {
        InstallStrategy(new GMStr_Queue, false);
    }
}

void GJudgingQueue::PlaceOccupant() {
    MoveOccupantTo(mLanding);
}

void GJudgingQueue::PlaceGirl(GGameObject* girl) {
    if (girl == nullptr) {
        return;
    }
    girl->SetPlace(LandingPosition(), LandingDepth());
    mPlacedGirl = girl;
}

void GJudgingQueue::ForgetGirl(const GGameObject* girl) {
    if (mPlacedGirl == girl) {
        mPlacedGirl = nullptr;
    }
    if (mPreviewOccupant == girl) {
        mPreviewOccupant = nullptr;
    }
}
