// The girl's life on the level: her type data, her appearance through the entrance, the requests
// of her life cycle, the next scene on the same seat, clicks and check marks, and what the scenes
// and the manager ask of her.
#include "game/world/GStudent.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luabinding.h"
#include "engine/script/luawrapper.h"
#include "game/common/LuaValues.h"
#include "game/visual/GVObject.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GInDoor.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GMStr_TargetDrag.h"
#include "game/world/LuaTableWalk.h"
#include "game/world/ScriptCall.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

int Truncate(double number) {
    return LuaNumberToInt(number);
}

// A "judging_..." scene: longer than the prefix itself.
bool IsJudgingScene(const str& name) {
    return name.Length() > 8 && name[0] == 'j' && name[7] == '_';
}

// A Lua string proper; numbers in a life cycle name no scene.
bool IsStringValue(const TLuaObjectWrapper& value) {
    value.Push();
    const bool text = lua_type(value.GetState(), -1) == LUA_TSTRING;
    lua_pop(value.GetState(), 1);
    return text;
}

// The type's base times and the tasks they time.
struct GBaseTime {
    const char* mKey;
    const char* mTask;
};
constexpr GBaseTime kBaseTimes[] = {
    {"base_hairstyle_time", "hairstyle"}, {"base_accessories_time", "accessories"},
    {"base_change_time", "change"},       {"base_judging_time", "podium"},
    {"base_makeup_time", "makeup"},       {"base_mask_time", "mask"},
    {"base_manicure_time", "manicure"},
};

} // namespace

GStudent::GStudent() = default;

int GStudent::Clamped(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

GStudent::~GStudent() = default;

GGameObject* GStudent::Clone() const {
    auto* copy = new GStudent;
    copy->CopyFrom(*this);
    copy->mBaseRequestTime = mBaseRequestTime;
    copy->mDeltaScoreX = mDeltaScoreX;
    copy->mDeltaScoreY = mDeltaScoreY;
    copy->mPoiseMaximum = mPoiseMaximum;
    copy->mStartPoise = mStartPoise;
    copy->mLook = mLook;
    copy->mCryLock = 0;
    return copy;
}

bool GStudent::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    mBaseRequestTime = Truncate(typeTable->GetNumber("base_request_time"));
    mDeltaScoreX = Truncate(typeTable->GetNumber("delta_score_x"));
    mDeltaScoreY = Truncate(typeTable->GetNumber("delta_score_y"));
    mLook.mHead = Truncate(typeTable->GetNumber("head"));
    mLook.mBody = Truncate(typeTable->GetNumber("body"));
    mLook.mDressBase = Truncate(typeTable->GetNumber("dress", 100));
    mLook.mHairBase = Truncate(typeTable->GetNumber("hair", 100));
    mLook.mMakeupBase = Truncate(typeTable->GetNumber("makeup", 100));
    mLook.mManicureBase = Truncate(typeTable->GetNumber("manicure", 100));
    mLook.mMaskBase = Truncate(typeTable->GetNumber("mask", 100));
    CPP_ResetToBaseStyle();
    return true;
}

bool GStudent::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                           GLevel* level) {
    PublishFunctions();
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    LoadType(objectTable, typeExtension);
    return true;
}

void GStudent::PublishFunctions() {
    lua_State* state = GetScript().GetState();
    LuaPublish(state, "CPP_CheckTimeRequest", this, &GStudent::CPP_CheckTimeRequest);
    LuaPublish(state, "CPP_CheckTimeAppearence", this, &GStudent::CPP_CheckTimeAppearence);
    LuaPublish(state, "CPP_PoiseChange", this, &GStudent::CPP_PoiseChange);
    LuaPublish(state, "CPP_AddFlyScore", this, &GStudent::CPP_AddFlyScore);
    LuaPublish(state, "CPP_ResetToBaseStyle", this, &GStudent::CPP_ResetToBaseStyle);
    LuaPublish(state, "CPP_ApplyDress", this, &GStudent::CPP_ApplyDress);
    LuaPublish(state, "CPP_ApplyHair", this, &GStudent::CPP_ApplyHair);
    LuaPublish(state, "CPP_ApplyMakeup", this, &GStudent::CPP_ApplyMakeup);
    LuaPublish(state, "CPP_SetCanTouchUp", this, &GStudent::CPP_SetCanTouchUp);
    LuaPublish(state, "CPP_ApplyMask", this, &GStudent::CPP_ApplyMask);
    LuaPublish(state, "CPP_ApplyManicure", this, &GStudent::CPP_ApplyManicure);
    LuaPublish(state, "CPP_CheckNextSceneOnThisSeat", this,
               &GStudent::CPP_CheckNextSceneOnThisSeat);
    LuaPublish(state, "CPP_IsNextSceneSeat", this, &GStudent::CPP_IsNextSceneSeat);
    LuaPublish(state, "CPP_SetPoiseOn", this, &GStudent::CPP_SetPoiseOn);
    LuaPublish(state, "CPP_DeathOn", this, &GStudent::CPP_DeathOn);
}

void GStudent::LoadType(TLuaTable* objectTable, TLuaTable* typeTable) {
    mLifeCycle.clear();
    mJudgingSceneCount = 0;
    std::unique_ptr<TLuaTable> lifeCycle(
        objectTable != nullptr ? objectTable->GetTable("life_cycle") : nullptr);
    if (lifeCycle != nullptr) {
        ForEachEntry(*lifeCycle, [this](const TLuaObjectWrapper&, const TLuaObjectWrapper& value) {
            if (!IsStringValue(value)) {
                return;
            }
            const str name = value.ToString();
            mLifeCycle.push_back(name);
            if (IsJudgingScene(name)) {
                ++mJudgingSceneCount;
            }
        });
    }
    mCname = objectTable != nullptr ? objectTable->GetString("cname") : str();

    if (typeTable != nullptr) {
        mBaseRequestTime = Truncate(typeTable->GetNumber("base_request_time"));
        int times[std::size(kBaseTimes)] = {};
        for (size_t i = 0; i < std::size(kBaseTimes); ++i) {
            times[i] = Truncate(typeTable->GetNumber(kBaseTimes[i].mKey));
            if (times[i] > 0) {
                SetTaskTime(kBaseTimes[i].mTask, times[i]);
            }
        }
        const int statPoise = Truncate(typeTable->GetNumber("base_stat_poise"));
        mPoiseMaximum = Truncate(typeTable->GetNumber("base_poise"));
        mStartPoise = std::min(Truncate(typeTable->GetNumber("base_start_poise")), mPoiseMaximum);
        const int restorePoise = Truncate(typeTable->GetNumber("base_restore_poise"));
        GetScript().DoLuaString(str::FromFormat(
            "BaseType.base_request_time=%d;BaseType.base_hairstyle_time=%d;"
            "BaseType.base_accessories_time=%d;BaseType.base_change_time=%d;"
            "BaseType.base_judging_time=%d;BaseType.base_makeup_time=%d;"
            "BaseType.base_mask_time=%d;BaseType.base_manicure_time=%d;"
            "BaseType.base_stat_poise=%d;BaseType.base_poise=%d;"
            "BaseType.base_restore_poise=%d;BaseType.base_start_poise=%d;",
            mBaseRequestTime, times[0], times[1], times[2], times[3], times[4], times[5], times[6],
            statPoise, mPoiseMaximum, restorePoise, mStartPoise));
        std::unique_ptr<TLuaTable> sceneScores(typeTable->GetTable("scene_scores"));
        if (sceneScores != nullptr) {
            GetScript().DoLuaString(str("BaseType.scene_scores = ") +
                                    LuaValueToText(sceneScores.get(), false) + "; OnAfterLoad();");
        }
    }

    mRequestTime = std::max(mBaseRequestTime, 0);
    mFirstAppearance = true;
    mFirstAppearanceCountdown =
        objectTable != nullptr
            ? std::max(Truncate(objectTable->GetNumber("first_appearance_time")), 0)
            : 0;
    mAppearanceCountdown = objectTable != nullptr
                               ? std::max(Truncate(objectTable->GetNumber("appearance_time")), 0)
                               : 0;

    if (GVObject* visual = GetVisual()) {
        GVObject* checkObject = visual->GetChild("check_obj");
        GVObject* check = checkObject != nullptr ? checkObject->GetChild("check") : nullptr;
        mCheckVisual = check != nullptr ? check->GetChild("check1") : nullptr;
        mNumber1Visual = visual->GetChild("number1");
        mNumber2Visual = visual->GetChild("number2");
    }

    mScoreTotal = 0;
    TScript& script = GetScript();
    mOffsetX = Truncate(script.GetGlobalNumber("offset_X"));
    mOffsetY = Truncate(script.GetGlobalNumber("offset_Y"));
    mOffsetSceneX = Truncate(script.GetGlobalNumber("offsetScene_X"));
    mOffsetSceneY = Truncate(script.GetGlobalNumber("offsetScene_Y"));
}

void GStudent::StartGame() {
    mLifeIndex = 0;
    GGameObject::StartGame();
    ScriptCallVoid(&GetScript(), "OnStartGame");
}

void GStudent::SetScriptNumber(const char* name, double value) {
    GetScript().SetGlobalNumber(name, value);
}

int GStudent::CPP_CheckTimeAppearence() {
    if (mAppeared) {
        return 2;
    }
    int& countdown = mFirstAppearance ? mFirstAppearanceCountdown : mAppearanceCountdown;
    countdown = std::max(Clamped(int64_t{countdown} - GetTriggerPeriod()), 0);
    if (countdown > 0) {
        return 0;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* queue = manager.FirstFreePreparationQueue();
    if (queue == nullptr) {
        return 0;
    }
    queue->TakeObject(this);
    SetScriptNumber("check_request", 1.0);
    if (mFirstAppearance) {
        manager.GetHooks().TutorialAppeared(this);
        if (auto* door = dynamic_cast<GInDoor*>(manager.GetEntranceDoor())) {
            door->Open();
        }
    }
    mAppeared = true;
    mFirstAppearance = false;
    return 1;
}

int GStudent::RequestScene(const str& scene, bool notify) {
    if (WantsDestroy()) {
        return 0;
    }
    const int result = AddScene(scene, notify);
    ShowDesire(true);
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.GetHooks().TutorialWish(this, scene);
    if (result == 1 && mNextSceneTrigger.Length() > 0) {
        if (mTriggerEnded != 0) {
            ClearNextScene();
            manager.GoToScene(scene, this, GetHolder(), true);
        } else {
            mNextSceneTarget = scene;
        }
    }
    return result;
}

int GStudent::CPP_CheckTimeRequest() {
    mRequestCountdown = Clamped(int64_t{mRequestCountdown} - GetTriggerPeriod());
    if (mRequestCountdown > 0) {
        return 1;
    }
    mRequestCountdown = 0;
    if (mLifeIndex >= 0 && static_cast<size_t>(mLifeIndex) < mLifeCycle.size()) {
        RequestScene(mLifeCycle[static_cast<size_t>(mLifeIndex)], true);
    }
    return 0;
}

bool GStudent::StartRequestCountdown() {
    mRequestCountdown = mRequestTime;
    if (mRequestTime >= GetTriggerPeriod()) {
        return false;
    }
    // Shorter than a tick: the request cannot wait for the next one.
    RequestScene(mLifeCycle[static_cast<size_t>(mLifeIndex)], true);
    mRequestCountdown = 0;
    return true;
}

void GStudent::Unblock(const str& scene) {
    GGameObject::Unblock(scene);
    if (scene.Length() == 0 || !IsKnownScene(scene)) {
        return;
    }
    ++mLifeIndex;
    if (mLifeIndex >= 0 && static_cast<size_t>(mLifeIndex) < mLifeCycle.size() &&
        !StartRequestCountdown()) {
        SetScriptNumber("check_request", 1.0);
    }
}

int GStudent::ReturnToPreQueue() {
    GLogicalManager::Instance().GetHooks().ForgetGirl(this);
    ScriptCallVoid(&GetScript(), "OnReturnToPreQueue");
    ++mLifeIndex;
    mAppeared = false;
    if (mLifeIndex >= 0 && static_cast<size_t>(mLifeIndex) < mLifeCycle.size()) {
        StartRequestCountdown();
        SetScriptNumber("check_appearence", 1.0);
        return 1;
    }
    SetScriptNumber("check_appearence", 0.0);
    return 0;
}

void GStudent::ShowDesire(bool on) {
    SetScriptNumber("poise_on", on ? 1.0 : 0.0);
    if (on) {
        const str first = GetSceneName(0);
        SetVisualState(first.Length() > 0 ? first + "_icon" : str("desire_hide"));
    } else if (mCryLock != 1) {
        SetVisualState("desire_hide");
    }
}

void GStudent::ClearNextScene() {
    mNextSceneTrigger = str();
    mNextSceneTarget = str();
    mTriggerEnded = 0;
    mTriggerIndex = 0;
}

str GStudent::FrontTaskScene() const {
    GBaseSimpleTask* task = GetCurrentTask();
    GBaseLogicalScene* scene = task != nullptr ? task->GetListener() : nullptr;
    return scene != nullptr ? scene->GetName() : str();
}

int GStudent::CPP_CheckNextSceneOnThisSeat() {
    ClearNextScene();
    GGameObject* holder = GetHolder();
    if (mLifeIndex < 0 || static_cast<size_t>(mLifeIndex) + 1 >= mLifeCycle.size() ||
        holder == nullptr) {
        return 0;
    }
    if (!holder->IsKnownScene(mLifeCycle[static_cast<size_t>(mLifeIndex) + 1])) {
        return 1;
    }
    mTriggerIndex = mLifeIndex;
    mNextSceneTrigger = FrontTaskScene();
    if (mNextSceneTrigger.Length() == 0) {
        mNextSceneTrigger = mLifeCycle[static_cast<size_t>(mLifeIndex)];
    }
    return 1;
}

void GStudent::CPP_SetCanTouchUp(int value) {
    if (value > 0 && mNextSceneTrigger.Length() > 0) {
        value = 0;
    }
    mTouchUpAllowed = value;
    if (value == 0 || mLifeIndex < 1 || static_cast<size_t>(mLifeIndex) > mLifeCycle.size()) {
        return;
    }
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* personage =
        manager.RequestPersonage(this, mLifeCycle[static_cast<size_t>(mLifeIndex) - 1]);
    if (personage != nullptr) {
        mTouchUpAllowed = 0;
    }
    manager.GetHooks().TutorialTouchUp(personage != nullptr ? personage : manager.GetHeroine());
}

void GStudent::CPP_ResetToBaseStyle() {
    mLook.mDress = mLook.mDressBase;
    mLook.mHair = mLook.mHairBase;
    mLook.mMakeup = mLook.mMakeupBase;
    mLook.mMask = mLook.mMaskBase;
    mLook.mManicure = mLook.mManicureBase;
    mLook.mAccessories = 0;
}

void GStudent::CPP_ApplyDress(int /*ignored*/) {
    const int choice = GLogicalManager::Instance().GetChoiceIndex(GetBaseType(), FrontTaskScene());
    mLook.mDress = std::max(choice, 1);
}

void GStudent::CPP_SetPoiseOn(int flag) {
    ShowDesire(flag != 0);
    if (flag != 0) {
        mPoiseLevel = -1;
        CPP_PoiseChange(Truncate(GetScript().GetGlobalNumber("current_poise")));
    }
}

int GStudent::CPP_DeathOn() {
    return AddTask("death", nullptr, true);
}

str GStudent::CheckState() {
    GGameObject* holder = GetHolder();
    if (holder == nullptr) {
        return "check_on";
    }
    return ScriptCallStr(&GetScript(), "MakeCheckState", holder->GetBaseType());
}

int GStudent::CheckClick() {
    if (mCheckCounter > 0) {
        return -1;
    }
    const bool touchable = mTouchUpAllowed > 0 && GLogicalManager::Instance().CanTouchUp();
    if (mCryLock != 1 && !touchable) {
        return -1;
    }
    mSavedClick = {IsActive(), mTouchUpAllowed};
    SetActive(false);
    const str state = CheckState();
    ++mCheckCounter;
    SetVisualState(state);
    mTouchUpAllowed = 0;
    if (mCryLock == 1) {
        return touchable ? 2 : 0;
    }
    return 1;
}

void GStudent::UndoClick() {
    ModifyCheck(-1);
    SetActive(mSavedClick.mActive);
    mTouchUpAllowed = mSavedClick.mTouchUpAllowed;
}

int GStudent::ModifyCheck(int delta) {
    mCheckCounter = std::max(Clamped(int64_t{mCheckCounter} + delta), 0);
    SetVisualState(mCheckCounter > 0 ? CheckState() : str("check_hide"));
    return mCheckCounter;
}

bool GStudent::HasPendingTask(bool flag) {
    if (flag || IsLocked()) {
        return false;
    }
    if (const GBaseSimpleTask* task = GetCurrentTask()) {
        if (task->GetState() == GBaseSimpleTask::kRunning ||
            task->GetState() == GBaseSimpleTask::kResumed) {
            return false;
        }
    }
    return !GetScenes().empty() && !IsBlocked();
}

void GStudent::LeaveScene(const str& scene, bool keep) {
    RemoveScene(scene, false);
    SetMouseEnabled(false);
    if (!keep) {
        ShowNumber(0);
    }
}

int GStudent::RemoveScene(const str& scene, bool notify) {
    const int result = GGameObject::RemoveScene(scene, notify);
    ShowDesire(!GetScenes().empty());
    return result;
}

void GStudent::LeaveUpgradeMode(int mode) {
    SetStrategy(nullptr);
    ResetUpgradeView();
    if (mode != 0) {
        auto* strategy = new GMStr_TargetDrag(1, sClassId);
        SetStrategy(strategy);
        strategy->SetTarget(this, GLogicalManager::Instance().GetSwitchListener());
    }
}

void GStudent::SetStrategyMode(bool on) {
    GGameObject::SetStrategyMode(on);
    SetTriggerEnabled("PoiseTrigger", !on);
}

void GStudent::SetCombo(int count, const str& name) {
    mComboCount = count;
    mComboName = name;
}

void GStudent::SetCryLock(int value) {
    mCryLock = value;
    SetScriptNumber("cry_lock", value == 1 ? 1.0 : 0.0);
}

void GStudent::SetPacifierPoise(const str& /*pacifier*/, int number) {
    SetScriptNumber("pacifier_poise", number);
}

void GStudent::BlockForPacifier(const str& scene) {
    Block(scene);
}

void GStudent::TakePacifier(const str& /*pacifier*/, int number) {
    ScriptCallWithInt(&GetScript(), "TakePacifier", number);
}

int GStudent::AddPoise(int value) {
    ScriptCallWithInt(&GetScript(), "AddPoise", value);
    return 1;
}

int GStudent::ChangePoisePower(int value) {
    if (mFirstAppearance || !mAppeared) {
        return 0;
    }
    ScriptCallWithInt(&GetScript(), "ChangePoisePower", value);
    return 1;
}

void GStudent::NotifyDragEnd() {
    GLogicalManager::Instance().GetHooks().TutorialDragEnd(this);
}

void GStudent::OnTaskFinished(GBaseSimpleTask* task) {
    GLogicalManager::Instance().GetHooks().TutorialTaskEnd(task);
}

void GStudent::OnTaskStarted(GBaseSimpleTask* task) {
    GLogicalManager::Instance().GetHooks().TutorialTaskStart(task);
}

void GStudent::GetLook(GGirlLook& look) const {
    look.mNumbers = mLook;
}
