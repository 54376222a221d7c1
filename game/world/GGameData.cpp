#include "game/world/GGameData.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "game/world/GGameDataScript.h"
#include "game/world/GGameObject.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GSoundEffects.h"
#include "game/world/LuaTableWalk.h"
#include "game/world/MainScript.h"
#include "game/world/ScriptCall.h"

namespace {

// The girl type index sits in this character of an upgrade object's name ("upgr_student_3...").
constexpr int kGirlTypeCharacter = 13;

GUpgradeData ReadRecord(const TLuaTable& table) {
    GUpgradeData record;
    record.mPrice = LuaNumberToInt(table.GetNumber("price", 0));
    record.mLevel = LuaNumberToInt(table.GetNumber("level", 1));
    record.mUpgradeLevel = LuaNumberToInt(table.GetNumber("upgrade_level", -1));
    record.mIndex = LuaNumberToInt(table.GetNumber("index", 0));
    record.mValue = table.GetNumber("value", 1.0);
    record.mRecommended = table.GetBool("recommended", false);
    record.mBuyingParam = table.GetString("buying_param");
    record.mBuyingCommand = table.GetString("buying_command");
    record.mStartCommand = table.GetString("start_command");
    return record;
}

bool IsBonusLevel(int level, int* bonus) {
    static const int kBonusLevels[] = {8, 13, 19, 25};
    for (int i = 0; i < 4; ++i) {
        if (kBonusLevels[i] == level) {
            *bonus = i + 1;
            return true;
        }
    }
    return false;
}

} // namespace

GGameData::GGameData() = default;

GGameData::~GGameData() {
    DestroyLevel();
    mGroups.clear();
    mGirlBaseTypes.clear();
    WithdrawFromWindowScript(this, mPublished);
    mScript.reset();
}

void GGameData::Load() {
    if (mScript == nullptr) {
        mScript = std::make_unique<TScript>();
        mScript->Init();
    }
    mLoadState = 0;
    mPublished = PublishGameData(WindowScriptState(), this);
    mScript->RunScript(kScriptFile);
    ReadUpgrades();
}

void GGameData::Reload() {
    mScript.reset();
    mGroups.clear();
    mGirlBaseTypes.clear();
    mPowerNames.clear();
    mTouchupLevel = -1;
    mTouchupAnswer = false;
    mLoadState = 0;
    Load();
}

void GGameData::ReadUpgrades() {
    std::unique_ptr<TLuaTable> upgrades(mScript->GetGlobalTable("Upgrades"));
    if (upgrades == nullptr) {
        return;
    }
    if (std::unique_ptr<TLuaTable> powers{upgrades->GetTable("powers")}) {
        ReadPowers(*powers);
    }
    if (std::unique_ptr<TLuaTable> objects{upgrades->GetTable("objects")}) {
        ForEachEntry(*objects,
                     [this](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
                         if (std::unique_ptr<TLuaTable> object = AsTable(value)) {
                             ReadObject(*object);
                         }
                     });
    }
}

void GGameData::ReadPowers(const TLuaTable& powers) {
    ForEachEntry(powers, [this](const TLuaObjectWrapper& key, const TLuaObjectWrapper& value) {
        std::unique_ptr<TLuaTable> entry = AsTable(value);
        if (entry == nullptr) {
            return;
        }
        GUpgradeGroup group;
        group.mKind = kPowerGroup;
        group.mName = key.ToString();
        GUpgradeData record = ReadRecord(*entry);
        record.mOwnerName = group.mName;
        group.mRecords.push_back(record);
        mGroups.emplace(group.mName, group);
    });
    // Only powers are read so far: the names come in their "index" order.
    mPowerNames.assign(mGroups.size(), str());
    const int count = static_cast<int>(mGroups.size());
    for (const auto& [name, group] : mGroups) {
        for (const GUpgradeData& record : group.mRecords) {
            if (record.mIndex >= 1 && record.mIndex <= count) {
                mPowerNames[static_cast<size_t>(record.mIndex - 1)] = record.mOwnerName;
            }
        }
    }
}

void GGameData::ReadObject(const TLuaTable& object) {
    GUpgradeGroup group;
    group.mKind = kObjectGroup;
    group.mName = object.GetString("name");
    if (group.mName.Length() == 0) {
        return;
    }
    const str girlBaseType = object.GetString("girl_base_type");
    ForEachEntry(object, [&](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
        std::unique_ptr<TLuaTable> entry = AsTable(value);
        if (entry == nullptr) {
            return;
        }
        GUpgradeData record = ReadRecord(*entry);
        if (record.mIndex == 0) {
            record.mIndex = static_cast<int32_t>(group.mRecords.size()) + 1;
        }
        record.mOwnerName = group.mName;
        record.mGirlBaseType = girlBaseType;
        group.mRecords.push_back(record);
    });
    if (group.mRecords.empty()) {
        return;
    }
    if (girlBaseType.Length() > 0 && group.mName.Length() > kGirlTypeCharacter) {
        const char digit = group.mName.CStr()[kGirlTypeCharacter];
        if (digit >= '1' && digit <= '8') {
            mGirlBaseTypes[digit - '0'] = girlBaseType;
        }
    }
    mGroups.emplace(group.mName, group);
}

const GGameData::GUpgradeGroup* GGameData::FindGroup(const str& name) const {
    const auto found = mGroups.find(name);
    return found != mGroups.end() ? &found->second : nullptr;
}

bool GGameData::StartLevel(int level, int stage) {
    mOfferCount = 0;
    mClosing = false;
    DestroyLevel();
    mLoadState = 1;
    mLoadingLevel = level;
    mLevel.reset(GObjectFactory::Instance().CreateLevel(level, stage, false));
    GLogicalManager& manager = GLogicalManager::Instance();
    if (mLevel != nullptr && manager.GetHooks().HasGameWindow()) {
        mLevel->UpdateHolders();
        manager.GetHooks().SetBackground(mLevel->GetBackground());
        mLoadState = 2;
    } else {
        mLoadState = 0;
    }
    if (mLevel != nullptr) {
        manager.OnLevelLoaded(mLevel.get());
    }
    IsTouchupAvailable(level);
    mLoadingLevel = 0;
    return mLevel != nullptr;
}

int GGameData::DestroyLevel() {
    mOfferCount = 0;
    mLoadState = 0;
    if (mLevel == nullptr) {
        return 0;
    }
    GSoundEffects::Instance()->StopAll();
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.GetHooks().StopScoreText();
    manager.ResetLevel();
    mLevel.reset();
    manager.DeleteDroppedScenes();
    return 1;
}

int GGameData::CloseLevel() {
    mClosing = true;
    if (mLevel != nullptr) {
        mLevel->PrepareClose();
    }
    GLogicalManager::Instance().DeleteLiveScenes();
    return DestroyLevel();
}

int GGameData::Restart() {
    GLogicalManagerHooks& hooks = GLogicalManager::Instance().GetHooks();
    if (mLevel == nullptr || !hooks.HasGameWindow()) {
        return 0;
    }
    const int level = mLevel->GetLevelNumber();
    const int stage = mLevel->GetStageNumber();
    DestroyLevel();
    hooks.LoadLevel(level, stage);
    return 1;
}

void GGameData::ShowLevelGoalDialog() {
    if (mLevel == nullptr) {
        return;
    }
    const int level = mLevel->GetLevelNumber();
    int bonus = 5;
    const bool isBonus = IsBonusLevel(level, &bonus);
    str text = str::FromFormat("scorelimits = { goal = %d,expert = %d }; ", mLevel->GetGoal(),
                               mLevel->GetExpert());
    text += isBonus ? str("level_intro = 'empty_text'; ")
                    : str::FromFormat("level_intro = 'intro_text_level_%d'; ", level);
    text += str::FromFormat(
        "preview_caption = 'preview_caption_%d'; bonus_num = %d; DoModal('scripts/levelgoal.lua');",
        level, bonus);
    if (level == 1) {
        text += "DoModal('scripts/rule_window.lua');";
    }
    RunMainScript(text);
}

int GGameData::GetCurrentLevelNumber() const {
    if (mLoadState == 1) {
        return mLoadingLevel;
    }
    return mLevel != nullptr ? mLevel->GetLevelNumber() : 0;
}

int GGameData::GetObjectUpgrade(const GGameObject* object, int upgradeLevel, GUpgradeData& record) {
    const GUpgradeGroup* group = object != nullptr ? FindGroup(object->GetName()) : nullptr;
    if (group == nullptr) {
        return -1;
    }
    const std::vector<GUpgradeData>& records = group->mRecords;
    const int64_t next = int64_t{upgradeLevel} + 1;
    if (next >= 0 && next < static_cast<int64_t>(records.size()) &&
        records[static_cast<size_t>(next)].mLevel <= GetCurrentLevelNumber()) {
        record = records[static_cast<size_t>(next)];
        ++mOfferCount;
        return 1;
    }
    if (upgradeLevel >= 0 && upgradeLevel < static_cast<int>(records.size())) {
        record = records[static_cast<size_t>(upgradeLevel)];
    } else {
        record.mUpgradeLevel = records.front().mUpgradeLevel;
    }
    return 0;
}

const GUpgradeData* GGameData::FindUpgrade(const str& name, int position) const {
    const GUpgradeGroup* group = FindGroup(name);
    if (group == nullptr || position < 0 || position >= static_cast<int>(group->mRecords.size())) {
        return nullptr;
    }
    return &group->mRecords[static_cast<size_t>(position)];
}

const GUpgradeData* GGameData::FindUpgradeByLevel(const str& object, int upgradeLevel) const {
    const GUpgradeGroup* group = FindGroup(object);
    if (group == nullptr) {
        return nullptr;
    }
    for (const GUpgradeData& record : group->mRecords) {
        if (record.mUpgradeLevel == upgradeLevel) {
            return &record;
        }
    }
    return nullptr;
}

int GGameData::GetFirstUpgradeLevel(const str& name) const {
    const GUpgradeGroup* group = FindGroup(name);
    return group != nullptr && !group->mRecords.empty() ? group->mRecords.front().mUpgradeLevel
                                                        : -1;
}

bool GGameData::IsTouchupAvailable(int level) {
    if (level < 1) {
        if (mLevel != nullptr) {
            level = mLevel->GetLevelNumber();
        } else if (mLoadState == 1) {
            level = mLoadingLevel;
        } else {
            return false;
        }
    }
    if (level == mTouchupLevel) {
        return mTouchupAnswer;
    }
    const GUpgradeData* touchup = FindUpgrade("touchup", 0);
    if (touchup == nullptr) {
        return false;
    }
    mTouchupLevel = level;
    mTouchupAnswer = level >= touchup->mLevel;
    return mTouchupAnswer;
}

str GGameData::GetPowerName(int position) const {
    if (position < 0 || position >= static_cast<int>(mPowerNames.size())) {
        return str();
    }
    return mPowerNames[static_cast<size_t>(position)];
}

int GGameData::GetPowerData(int kind, int& speed, int& actionTime) {
    if (kind != 1) {
        return 0;
    }
    speed = GetPowerParam("energy_boost", "speed");
    actionTime = GetPowerParam("energy_boost", "action_time");
    return 1;
}

int GGameData::GetPowerParam(const str& power, const str& parameter) {
    return ScriptCallInt(mScript.get(), "GetPowerData", power, parameter);
}

int GGameData::GetUpgradeDataParam(const str& first, int number, const str& last) {
    return ScriptCallInt(mScript.get(), "GetUpgradeDataParam", first, number, last);
}

int GGameData::IsInComboList(const str& name, str* group) {
    const str found = ScriptCallStr(mScript.get(), "IsInComboList", name);
    if (group != nullptr) {
        *group = found;
    }
    if (found.Length() == 0 || mLevel == nullptr) {
        return 0;
    }
    return mLevel->NextCombo(found);
}

str GGameData::GetGirlBaseType(int index) const {
    const auto found = mGirlBaseTypes.find(index);
    return found != mGirlBaseTypes.end() ? found->second : str();
}

bool GGameData::OnMouseDown(TPoint point) {
    if (mLevel != nullptr) {
        mLevel->OnMouseDown(point);
    }
    return true;
}

bool GGameData::OnMouseUp(TPoint point) {
    if (mLevel != nullptr) {
        mLevel->OnMouseUp(point);
    }
    return true;
}

bool GGameData::OnMouseMove(TPoint point) {
    if (mLevel != nullptr) {
        mLevel->OnMouseMove(point);
    }
    return true;
}

bool GGameData::OnKeyDown(int key, int modifiers) {
    if (mLevel != nullptr) {
        mLevel->OnKeyDown(key, modifiers);
    }
    return false;
}

bool GGameData::OnKeyUp(int key) {
    if (mLevel != nullptr) {
        mLevel->OnKeyUp(key);
    }
    return false;
}
