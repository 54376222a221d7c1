#include "game/world/GPreparationQueue.h"

GGameObject* GPreparationQueue::Clone() const {
    auto* copy = new GPreparationQueue;
    copy->CopyFrom(*this);
    copy->mApproach = mApproach;
    copy->mApproachZ = mApproachZ;
    copy->mLanding = mLanding;
    copy->mLandingZ = mLandingZ;
    return copy;
}

bool GPreparationQueue::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    ReadPoint(typeTable, "point_approach", mApproach, mApproachZ);
    ReadPoint(typeTable, "point_landing", mLanding, mLandingZ);
    return true;
}

void GPreparationQueue::LeaveUpgradeMode(int /*mode*/) {
    if (GetStrategy() != nullptr) {
        SetStrategy(nullptr);
        ResetUpgradeView();
    }
}

int GPreparationQueue::TakeObject(GGameObject* girl) {
    return TakeAt(girl, mLanding, mLandingZ);
}

int GPreparationQueue::SetOccupant(GGameObject* object) {
    SetOccupantField(object);
    return 1;
}

TVec2 GPreparationQueue::GetApproachPoint(GGameObject* /*asking*/) {
    return GetPosition() + mApproach;
}

void GPreparationQueue::SetEditMode(bool on, int /*level*/) {
    SetEditStrategy(on);
}

void GPreparationQueue::PlaceOccupant() {
    MoveOccupantTo(mLanding);
}
