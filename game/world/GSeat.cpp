#include "game/world/GSeat.h"

#include "game/world/GGameData.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_Chair.h"
#include "game/world/GMainHeroine.h"

#include <vector>

GGameObject* GSeat::Clone() const {
    auto* copy = new GSeat;
    copy->CopyFrom(*this);
    copy->mApproach = mApproach;
    copy->mApproachHelper = mApproachHelper;
    copy->mLanding = mLanding;
    copy->mApproachPower = mApproachPower;
    return copy;
}

bool GSeat::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    for (auto [key, point] : {std::pair{"point_approach", &mApproach},
                              std::pair{"point_approach_helper", &mApproachHelper},
                              std::pair{"point_landing", &mLanding},
                              std::pair{"point_approach_power", &mApproachPower}}) {
        ReadPoint(typeTable, key, point->mOffset, point->mZ);
    }
    return true;
}

void GSeat::StartGame() {
    OfferScenes();
    GGameObject::StartGame();
}

bool GSeat::HasPendingTask(bool /*flag*/) {
    return !GetScenes().empty() && !IsBlocked();
}

void GSeat::LeaveUpgradeMode(int mode) {
    if (GetStrategy() != nullptr) {
        SetStrategy(nullptr);
        ResetUpgradeView();
    }
    if (IsUnbought()) {
        CPP_WantDestroy();
        return;
    }
    if (GetVisual() != nullptr && mode != 0) {
        InstallStrategy(new GMStr_Chair, false);
    }
    const GGameData* data = GLogicalManager::Instance().GetGameData();
    const GUpgradeData* record =
        data != nullptr ? data->FindUpgradeByLevel(GetName(), GetUpgradeLevel()) : nullptr;
    if (record != nullptr) {
        GetUpgradeData() = *record;
    } else {
        GetUpgradeData().Reset();
    }
}

int GSeat::TakeObject(GGameObject* girl) {
    return TakeAt(girl, mLanding.mOffset, mLanding.mZ);
}

int GSeat::SetOccupant(GGameObject* object) {
    SetOccupantField(object);
    if (object == nullptr) {
        OfferScenes();
    } else if (object->IsStudent()) {
        object->ScaleTaskTime(object->GetSceneName(0), GetTimeFactor());
    }
    return 1;
}

TVec2 GSeat::GetApproachPoint(GGameObject* asking) {
    const bool heroine = asking != nullptr && asking->IsKindOf(GMainHeroine::sClassId);
    return GetPosition() + (heroine ? mApproach.mOffset : mApproachHelper.mOffset);
}

TVec2 GSeat::GetLandingPoint() {
    return GetPosition() + mApproachPower.mOffset;
}

int GSeat::RemoveScene(const str& scene, bool notify) {
    if (scene.Length() == 0) {
        return 0;
    }
    if (!IsKnownScene(scene)) {
        return -1;
    }
    // A seat runs one scene at a time: whichever starts, it offers none of the others.
    const std::vector<str> scenes = GetScenes();
    for (const str& name : scenes) {
        GGameObject::RemoveScene(name, false);
    }
    if (notify) {
        NotifyManager();
    }
    return 1;
}

void GSeat::SetEditMode(bool on, int level) {
    GGameObject::SetEditMode(on, level);
    if (on) {
        SetEditStrategy(true);
    } else {
        InstallStrategy(new GMStr_Chair, false);
    }
}

void GSeat::PlaceOccupant() {
    MoveOccupantTo(mLanding.mOffset);
}

void GSeat::EnterUpgradeMode(int /*mode*/) {
    OfferUpgrade();
}

void GSeat::OfferScenes() {
    if (GetScenes().empty()) {
        EnterKnownScenes();
    }
}
