#include "game/world/GMarivellPowerMeter.h"

#include "engine/script/luabinding.h"
#include "engine/script/luawrapper.h"
#include "game/visual/GVObject.h"
#include "game/world/GGameData.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_Edit.h"

#include <algorithm>
#include <cstdint>

namespace {

int ToInt(double number) {
    return LuaNumberToInt(number);
}

} // namespace

GGameObject* GMarivellPowerMeter::Clone() const {
    auto* copy = new GMarivellPowerMeter;
    copy->CopyFrom(*this);
    copy->mApproach = mApproach;
    copy->mApproachZ = mApproachZ;
    copy->mSpare = mSpare;
    copy->mResetTime = mResetTime;
    copy->mPowerToAdd = mPowerToAdd;
    copy->mMaxScore = mMaxScore;
    copy->mSegments = mSegments;
    copy->mLoaded = mLoaded;
    return copy;
}

bool GMarivellPowerMeter::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    ReadPoint(typeTable, "point_approach", mApproach, mApproachZ);
    mCheckCounter = 0;
    mResetTime = LuaNumberToInt(typeTable->GetNumber("reset_time"));
    mMaxScore = LuaNumberToInt(typeTable->GetNumber("power_max_score"));
    mSegments = LuaNumberToInt(typeTable->GetNumber("power_segments_num"));
    mPowerToAdd = LuaNumberToInt(typeTable->GetNumber("power_to_add"));
    mLoaded = 1;
    if (mResetTime > 0) {
        SetTaskTime(str("reset"), mResetTime);
    }
    return true;
}

bool GMarivellPowerMeter::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension,
                                      const str& extraLua, GLevel* level) {
    GGameData* data = GLogicalManager::Instance().GetGameData();
    if (data == nullptr || !data->IsPowerMeterEnabled(data->GetCurrentLevelNumber())) {
        return false;
    }
    lua_State* state = GetScript().GetState();
    LuaPublish(state, "CPP_AddPowerScore", this, &GMarivellPowerMeter::CPP_AddPowerScore);
    LuaPublish(state, "CPP_SetEnabled", this, &GMarivellPowerMeter::CPP_SetEnabled);
    LuaPublish(state, "CPP_UnChecked", this, &GMarivellPowerMeter::CPP_UnChecked);
    LuaPublish(state, "CPP_Reset", this, &GMarivellPowerMeter::CPP_Reset);
    LuaPublish(state, "ToInt", &ToInt);
    return GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level);
}

int GMarivellPowerMeter::CheckClick() {
    if (mEnabled == 0) {
        return 0;
    }
    SetActive(false);
    return 1;
}

void GMarivellPowerMeter::StartGame() {
    GGameObject::StartGame();
    mEnabled = 0;
}

TVec2 GMarivellPowerMeter::GetApproachPoint(GGameObject* /*asking*/) {
    return GetPosition() + mApproach;
}

void GMarivellPowerMeter::SetEditMode(bool on, int level) {
    GGameObject::SetEditMode(on, level);
    SetStrategy(nullptr);
    if (on) {
        auto* strategy = new GMStr_Edit;
        SetStrategy(strategy);
        strategy->SetTarget(this, GLogicalManager::Instance().GetSwitchListener());
        SetMouseEnabled(true);
    }
}

bool GMarivellPowerMeter::OnMouseDown(TPoint point) {
    if (mEnabled == 0 || GetStrategy() != nullptr) {
        return GGameObject::OnMouseDown(point);
    }
    GVObject* visual = GetVisual();
    if (visual != nullptr && visual->FindObjectAt(static_cast<float>(point.x),
                                                  static_cast<float>(point.y), -1) != nullptr) {
        GLogicalManager::Instance().OnObjectClick(this, true);
    }
    return true;
}

void GMarivellPowerMeter::AddScore(int points) {
    if (mProgress >= mMaxScore) {
        return;
    }
    // Scored points come from scripts: the sum is held to the int range.
    mProgress = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{mProgress} + points, INT32_MIN, INT32_MAX));
    GetScript().DoLuaString(
        str::FromFormat("powerSetProgress(%d, %d, %d);", mProgress, mMaxScore, mSegments));
}

void GMarivellPowerMeter::CPP_AddPowerScore() {
    AddScore(mPowerToAdd);
}

void GMarivellPowerMeter::CPP_SetEnabled(int flag) {
    mEnabled = flag != 0 ? 1 : 0;
}

int GMarivellPowerMeter::CPP_UnChecked() {
    if (mCheckCounter > 0) {
        --mCheckCounter;
        SetVisualState(str("check_hide"));
    }
    return mCheckCounter;
}

void GMarivellPowerMeter::CPP_Reset() {
    mProgress = 0;
    mEnabled = 0;
}
