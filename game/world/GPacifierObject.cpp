#include "game/world/GPacifierObject.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/visual/GVObject.h"
#include "game/world/GMStr_TargetDrag.h"
#include "game/world/GPacifierContainer.h"

#include <memory>

GPacifierObject::~GPacifierObject() {
    if (mContainer != nullptr) {
        mContainer->RemoveItem(this);
    }
}

GGameObject* GPacifierObject::Clone() const {
    auto* copy = new GPacifierObject;
    copy->CopyFrom(*this);
    copy->mApproach = mApproach;
    copy->mApproachZ = mApproachZ;
    copy->mPoiseBoost = mPoiseBoost;
    copy->mResetTime = mResetTime;
    copy->mLoaded = mLoaded;
    copy->mContainerName = mContainerName;
    return copy;
}

bool GPacifierObject::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    ReadPoint(typeTable, "point_approach", mApproach, mApproachZ);
    mHiddenCountdown = 0;
    mSpare = 0;
    mContainerName = typeTable->GetString("container");
    mPoiseBoost = LuaNumberToInt(typeTable->GetNumber("poise_boost"));
    mResetTime = LuaNumberToInt(typeTable->GetNumber("reset_time"));
    mLoaded = 1;
    return true;
}

bool GPacifierObject::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension,
                                  const str& extraLua, GLevel* level) {
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    mFixed = 0;
    mHome = GetPosition();
    mHomeDepth = GetVisual() != nullptr ? GetVisual()->mDeltaZ : mHome.y + GetDepthOffset();
    return true;
}

void GPacifierObject::StartGame() {
    GGameObject::StartGame();
    if (!WantsDestroy()) {
        Show(true);
    }
}

int GPacifierObject::PickHolder(std::vector<GGameObject*>& objects) {
    for (GGameObject* object : objects) {
        if (object == nullptr || object->GetName() != mContainerName) {
            continue;
        }
        if (object->IsKindOf(GPacifierContainer::sClassId)) {
            static_cast<GPacifierContainer*>(object)->AddItem(this);
            if (GVObject* visual = object->GetVisual()) {
                visual->mDeltaZ += 1.0f;
                visual->MarkChanged();
            }
        }
        return 1;
    }
    return 0;
}

void GPacifierObject::LeaveUpgradeMode(int mode) {
    SetStrategy(nullptr);
    if (IsUnbought()) {
        SetLookState("invisible");
        CPP_WantDestroy();
        return;
    }
    if (GetVisual() != nullptr && mode != 0) {
        InstallStrategy(new GMStr_TargetDrag(0, sClassId), false);
    }
}

TVec2 GPacifierObject::GetApproachPoint(GGameObject* /*asking*/) {
    return GetPosition() + mApproach;
}

void GPacifierObject::SetEditMode(bool on, int /*level*/) {
    SetEditStrategy(on);
}

void GPacifierObject::Show(bool flag) {
    mVisible = flag ? 1 : 0;
    if (!flag) {
        mHiddenCountdown = mResetTime;
        SetLookState("invisible");
        SetVisualState("hide_fx");
        return;
    }
    if (mContainer == nullptr) {
        return;
    }
    mContainer->SetItemState(this, 0);
    if (GVObject* visual = GetVisual()) {
        visual->mDeltaZ = mContainer->GetDepth() + 1.0f;
        visual->MarkChanged();
    }
}

void GPacifierObject::ReturnHome(bool taken) {
    SetPlace(mHome, mHomeDepth);
    Show(!taken);
    if (taken && mContainer != nullptr) {
        mContainer->CheckAllTaken();
    }
}

void GPacifierObject::ApplyUpgrade(const GUpgradeData* record) {
    if (record != nullptr) {
        RunStartCommand(record->mStartCommand);
    }
    std::unique_ptr<TLuaTable> base(GetScript().GetGlobalTable("BaseType"));
    if (base != nullptr) {
        mPoiseBoost = LuaNumberToInt(base->GetNumber("poise_boost"));
        mResetTime = LuaNumberToInt(base->GetNumber("reset_time"));
    }
}
