#include "game/world/GLevel.h"

#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "game/visual/GVFactory.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GLevelScript.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPlayerInfo.h"
#include "game/world/GStratMousePikUp.h"
#include "game/world/GStudent.h"
#include "game/world/LuaTableWalk.h"
#include "game/world/MainScript.h"
#include "game/world/ScriptCall.h"

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

constexpr int kDefaultTimerPeriod = 1000;

GVLayer* GameLayer() {
    return GLogicalManager::Instance().GetGameLayer();
}

GGameObject* AsObject(G_VoidLink* link) {
    return dynamic_cast<GGameObject*>(link);
}

} // namespace

GLevel::GLevel() {
    mScript.Init();
}

GLevel::~GLevel() {
    for (GGameObject* object : mObjects) {
        delete object;
    }
    mObjects.clear();
    mHolders.clear();
    // The timer clears this pointer when its task list deletes it first, so it is safe to let go
    // of it while closing too; left attached it would tick a deleted level.
    if (mTimer != nullptr) {
        mTimer->Detach();
    }
    WithdrawLevelFunctions(mScript.GetState(), this);
}

bool GLevel::Load(const str& stageFile, int stage, int level, const str& extraLua,
                  bool preloadOnly) {
    GVFactory& factory = GVFactory::Instance();
    factory.SetCurrentLayer(GameLayer());
    mStageNumber = stage;
    mLevelNumber = level;
    mTickCounter = 0;
    PublishLevelFunctions(mScript.GetState(), this);
    mStageFile = stageFile;
    mScript.RunScript(stageFile);
    if (extraLua.Length() > 0) {
        mScript.DoLuaString(extraLua);
    }
    mTimerPeriod = LuaNumberToInt(mScript.GetGlobalNumber("timer_delay"));
    if (mTimerPeriod < 1) {
        mTimerPeriod = kDefaultTimerPeriod;
    }

    std::unique_ptr<TLuaTable> levelData(mScript.GetGlobalTable("LevelData"));
    std::unique_ptr<TLuaTable> objects(mScript.GetGlobalTable("Objects"));
    if (levelData == nullptr || objects == nullptr) {
        return false;
    }
    if (preloadOnly) {
        PreloadVisuals();
    }
    PlaceSections(*levelData, *objects, preloadOnly);

    if (!preloadOnly) {
        auto* timer = new GGameObjectTimer(this, &GBaseTimerObj::RunTimer, &mTimer);
        timer->Start(mTimerPeriod, true, true, false);
        if (!GLogicalManager::Instance().AddTimerTask(timer)) {
            // No task list took it: it is still ours, and the level runs without ticks.
            delete timer;
        }
    }
    ReadGoals(*levelData, *objects, preloadOnly);
    factory.SetCurrentLayer(GameLayer());
    if (!preloadOnly) {
        GLogicalManagerHooks& hooks = GLogicalManager::Instance().GetHooks();
        hooks.SetScore(0);
        hooks.AddDistance(-1);
        SettleHoldersAndRecommendations();
    }
    mLevelState = 1;
    mUpgradePhase = true;
    return true;
}

void GLevel::PreloadVisuals() {
    std::unique_ptr<TLuaTable> section(mScript.GetGlobalTable("PreloadObjectsSection"));
    if (section == nullptr) {
        return;
    }
    std::vector<str> names;
    ForEachEntry(*section,
                 [&names](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
                     if (value.IsString()) {
                         names.push_back(value.ToString());
                     }
                 });
    for (const str& name : names) {
        // The function keeps its own place in the list and ends it with an empty text.
        for (str path = ScriptCallStr(&mScript, "GetPreloadingXml", name, 0); path.Length() > 0;
             path = ScriptCallStr(&mScript, "GetPreloadingXml", name, 0)) {
            GVFactory::Instance().Preload(path);
        }
    }
}

void GLevel::PlaceSections(TLuaTable& levelData, TLuaTable& objects, bool preloadOnly) {
    std::unique_ptr<TLuaTable> extensions(levelData.GetTable("LevelBaseTypes"));
    ForEachEntry(levelData, [&](const TLuaObjectWrapper& /*key*/, const TLuaObjectWrapper& value) {
        std::unique_ptr<TLuaTable> section = AsTable(value);
        if (section == nullptr || section->GetBool("base_type_extension")) {
            return;
        }
        std::unique_ptr<TLuaTable> instances(
            objects.GetTable(section->GetString("BaseData").CStr()));
        std::unique_ptr<TLuaTable> types(objects.GetTable(section->GetString("BaseType").CStr()));
        if (types == nullptr) {
            return;
        }
        ForEachEntry(*section, [&](const TLuaObjectWrapper& name, const TLuaObjectWrapper& entry) {
            if (std::unique_ptr<TLuaTable> placement = AsTable(entry)) {
                PlaceObject(name.ToString(), *placement, instances.get(), *types, extensions.get(),
                            preloadOnly);
            }
        });
    });
}

void GLevel::PlaceObject(const str& name, TLuaTable& placement, TLuaTable* instanceTable,
                         TLuaTable& typeTable, TLuaTable* extensions, bool preloadOnly) {
    std::unique_ptr<TLuaTable> instance(
        instanceTable != nullptr ? instanceTable->GetTable(name.CStr()) : nullptr);
    const str baseType =
        instance != nullptr ? instance->GetString("base_type") : placement.GetString("base_type");
    // Objects without data of their own share one prototype per base type.
    const str requested = instance != nullptr ? name : baseType;
    std::unique_ptr<TLuaTable> type(typeTable.GetTable(baseType.CStr()));
    GLogicalManager& manager = GLogicalManager::Instance();
    if (type != nullptr && type->GetNumber("use_scene_control") > 0) {
        GVFactory::Instance().SetCurrentLayer(manager.GetSceneLayer());
    }
    if (preloadOnly) {
        AddObject(GObjectFactory::Instance().CreateObject(requested, type.get(), instance.get()));
    } else if (placement.GetBool("included")) {
        std::unique_ptr<GGameObject> object(
            GObjectFactory::Instance().CreateObject(requested, type.get(), instance.get()));
        if (object != nullptr) {
            GGameData* data = manager.GetGameData();
            const bool upgradable = data != nullptr && data->GetFirstUpgradeLevel(name) >= 0;
            object->SetUpgradeLevel(
                upgradable ? GPlayerInfo::Instance()->GetUpgradeIndex(name, mLevelNumber) - 1 : -1);
            std::unique_ptr<TLuaTable> extension(
                extensions != nullptr ? extensions->GetTable(baseType.CStr()) : nullptr);
            if (object->InitInLevel(&placement, extension.get(), str(), this)) {
                AddObject(object.release());
            }
        }
    }
    GVFactory::Instance().SetCurrentLayer(GameLayer());
}

void GLevel::ReadGoals(TLuaTable& levelData, TLuaTable& objects, bool preloadOnly) {
    std::unique_ptr<TLuaTable> level(levelData.GetTable("level"));
    if (level == nullptr) {
        mGoal = 0;
        mExpert = 0;
        return;
    }
    std::unique_ptr<TLuaTable> types(
        objects.GetTable(level->GetString("BaseType", "level_types").CStr()));
    std::unique_ptr<TLuaTable> levelType(types != nullptr ? types->GetTable("level") : nullptr);
    mBackground = levelType != nullptr ? levelType->GetString("background") : str();
    mGoal = LuaNumberToInt(level->GetNumber("goal", 50.0));
    mExpert = LuaNumberToInt(level->GetNumber("expert", 100.0));
    GLogicalManagerHooks& hooks = GLogicalManager::Instance().GetHooks();
    if (preloadOnly) {
        RunMainScript(str::FromFormat("STAGE_BACKGROUND='%s';", mBackground.CStr()));
        if (hooks.HasGameWindow()) {
            hooks.SetBackground(mBackground);
        }
    } else {
        hooks.SetGoals(mGoal, mExpert);
    }
}

void GLevel::SettleHoldersAndRecommendations() {
    GGameObject* chosen = nullptr;
    int chosenLevel = 0;
    for (GGameObject* object : mObjects) {
        object->PickHolder(mHolders);
        const int level = object->GetRecommendedLevel();
        if (level <= 0) {
            continue;
        }
        if (chosen == nullptr || level < chosenLevel) {
            if (chosen != nullptr) {
                chosen->HideRecommended();
            }
            chosen = object;
            chosenLevel = level;
        }
    }
}

int GLevel::AddObject(GGameObject* object) {
    if (object == nullptr) {
        return 0;
    }
    mObjects.push_back(object);
    GLogicalManager::Instance().RegisterObject(object);
    if (object->IsStudent()) {
        ++mGirlsAdded;
        GGirlLook& look = mGirls[object->GetName()];
        look.mName = object->GetName();
        look.mType = object->GetBaseType();
        if (const auto* girl = dynamic_cast<const GStudent*>(object)) {
            mJudgingsPending += girl->GetJudgingSceneCount();
            girl->GetLook(look);
        }
        mGirlTypes.insert(object->GetBaseType());
    }
    if (object->IsHolder()) {
        mHolders.push_back(object);
    }
    return 1;
}

int GLevel::RemoveObject(GGameObject* object, bool served) {
    if (object == nullptr) {
        return 0;
    }
    if (object->IsStudent()) {
        ++(served ? mGirlsServed : mGirlsLost);
        if (CheckLevelEnd() != 0) {
            if (mResult == 1) {
                mTryAgainCountdown = kTryAgainTicks;
            } else {
                GLogicalManager::Instance().ShowLevelResult(mResult);
            }
        }
    }
    LeaveHolders(object);
    const auto found = std::find(mObjects.begin(), mObjects.end(), object);
    if (found == mObjects.end()) {
        return 0;
    }
    DeleteObject(object);
    return 1;
}

void GLevel::LeaveHolders(GGameObject* object) {
    const auto holder = std::find(mHolders.begin(), mHolders.end(), object);
    if (holder != mHolders.end()) {
        mHolders.erase(holder);
    }
}

void GLevel::DeleteObject(GGameObject* object) {
    GLogicalManager::Instance().UnregisterObject(object);
    mObjects.erase(std::find(mObjects.begin(), mObjects.end(), object));
    delete object;
}

void GLevel::Begin() {
    mLevelState = 2;
    for (GGameObject* object : mObjects) {
        object->StartGame();
    }
    GLogicalManager::Instance().OnLevelBegin();
}

void GLevel::EndUpgradePhase() {
    // A copy: an object of which nothing was bought removes itself from the list.
    const std::vector<GGameObject*> objects = mObjects;
    for (GGameObject* object : objects) {
        if (std::find(mObjects.begin(), mObjects.end(), object) != mObjects.end()) {
            object->LeaveUpgradeMode(mLevelNumber);
        }
    }
    for (size_t i = 0; i < mObjects.size();) {
        GGameObject* object = mObjects[i];
        if (object->WantsDestroy()) {
            LeaveHolders(object);
            DeleteObject(object);
        } else {
            ++i;
        }
    }
    mUpgradePhase = false;
    GLogicalManager::Instance().OnUpgradePhaseEnd();
}

void GLevel::PrepareClose() {
    mClosing = true;
    for (GGameObject* object : mObjects) {
        object->Shutdown();
    }
}

void GLevel::UpdateHolders() {
    for (GGameObject* holder : mHolders) {
        holder->UpdateHolder();
        if (holder->WantsDestroy()) {
            RemoveObject(holder, false);
            return;
        }
    }
}

void GLevel::AddComboBonus(int points) {
    mComboBonus = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{mComboBonus} + points, INT32_MIN, INT32_MAX));
}

void GLevel::AddScore(int points) {
    // Points come from scripts: the sum stays within int instead of wrapping.
    mScore = static_cast<int32_t>(std::clamp<int64_t>(int64_t{mScore} + points, 0, INT32_MAX));
    GLogicalManager::Instance().GetHooks().SetScore(mScore);
}

int GLevel::CheckLevelEnd() {
    if (mGirlsServed + mGirlsLost < mGirlsAdded) {
        return 0;
    }
    mResult = mScore < mGoal ? 1 : (mScore < mExpert ? 2 : 3);
    if (mResult != 1) {
        GPlayerInfo::Instance()->LevelCompleted(mLevelNumber, mScore, mResult == 3);
    }
    mLevelState = 3;
    GLogicalManager::Instance().OnLevelEnd();
    return 1;
}

void GLevel::SetResult(int result) {
    mResult = result;
    if (result == 2 || result == 3) {
        GPlayerInfo::Instance()->LevelCompleted(mLevelNumber, mScore, result == 3);
    }
    mLevelState = 3;
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.OnLevelEnd();
    mTryAgainCountdown = 0;
    manager.ShowLevelResult(result);
}

bool GLevel::OnTimer() {
    ++mTickCounter;
    ScriptCallWithInt(&mScript, "LevelTimerFunc", mTickCounter);
    if (mLevelState == 3 && mResult == 1 && mTryAgainCountdown > 0) {
        if (--mTryAgainCountdown == 0) {
            GLogicalManager::Instance().ShowLevelResult(1);
        }
    }
    return true;
}

bool GLevel::OnMouseDown(TPoint point) {
    for (GGameObject* object : mObjects) {
        object->OnMouseDown(point);
    }
    FlushMouseStrategyState();
    return true;
}

bool GLevel::OnMouseUp(TPoint point) {
    for (GGameObject* object : mObjects) {
        object->OnMouseUp(point);
    }
    FlushMouseStrategyState();
    return true;
}

bool GLevel::OnMouseMove(TPoint point) {
    for (GGameObject* object : mObjects) {
        object->OnMouseMove(point);
    }
    FlushMouseStrategyState();
    return true;
}

void GLevel::OnOOOA(G_VoidLink* object, G_VoidLink* place) {
    GGameObject* dragged = AsObject(object);
    GGameObject* target = AsObject(place);
    if (dragged != nullptr && target != nullptr) {
        GLogicalManager::Instance().OnDragOver(dragged, target);
    }
}

void GLevel::OnOODTA(G_VoidLink* object, G_VoidLink* target) {
    GGameObject* dragged = AsObject(object);
    GGameObject* onto = AsObject(target);
    if (dragged != nullptr && onto != nullptr) {
        GLogicalManager::Instance().OnDrop(dragged, onto);
    }
}

void GLevel::OnOTL(G_VoidLink* object, G_VoidLink* queue) {
    GGameObject* dragged = AsObject(object);
    GGameObject* left = AsObject(queue);
    if (dragged != nullptr && left != nullptr) {
        GLogicalManager::Instance().OnDragLeave(dragged, left);
    }
}

void GLevel::OnOFD(G_VoidLink* object) {
    if (GGameObject* dragged = AsObject(object)) {
        GLogicalManager::Instance().OnDragEnd(dragged);
    }
}

void GLevel::OnOSD(G_VoidLink* object) {
    if (GGameObject* grabbed = AsObject(object)) {
        GLogicalManager::Instance().OnGrab(grabbed);
    }
}

void GLevel::OnClick(G_VoidLink* object) {
    if (GGameObject* clicked = AsObject(object)) {
        GLogicalManager::Instance().OnObjectClick(clicked, false);
    }
}

void GLevel::OnBMC(G_VoidLink* object) {
    if (GGameObject* clicked = AsObject(object)) {
        GLogicalManager::Instance().OnObjectClick(clicked, true);
    }
}

void GLevel::SetEditMode(bool on) {
    GLogicalManager& manager = GLogicalManager::Instance();
    for (GGameObject* object : mObjects) {
        if (on) {
            object->SetMouseEnabled(false);
            if (object->IsEditable()) {
                object->SetEditMode(true, mLevelNumber);
            }
        } else if (object->IsEditable()) {
            const TVec2 position = object->GetPosition();
            manager.SaveObjectPosition(object->GetName(), LuaNumberToInt(position.x),
                                       LuaNumberToInt(position.y));
            object->SetEditMode(false, mLevelNumber);
        }
    }
}

bool GLevel::CanAffordUpgrade(int money) const {
    if (!mUpgradePhase || money <= 0) {
        return false;
    }
    return std::any_of(mObjects.begin(), mObjects.end(), [money](const GGameObject* object) {
        const int price = object->GetUpgradePrice();
        return price > 0 && price <= money;
    });
}

void GLevel::EvalUpgradeCommand(str& text) {
    if (text.Length() > 0) {
        mScript.DoLuaString(str(text.CStr() + 1));
    }
    text = mScript.GetGlobalString("retUpgradeStr");
}

void GLevel::UpdateGirlScore(int score, const GStudent& girl) {
    const auto found = mGirls.find(girl.GetName());
    if (found != mGirls.end()) {
        girl.GetLook(found->second);
        found->second.mScore = score;
    }
}

str GLevel::GetBestGirlName() {
    if (mBestGirlName.Length() == 0) {
        int32_t best = 0;
        bool any = false;
        for (const auto& [name, look] : mGirls) {
            if (!any || look.mScore >= best) {
                best = look.mScore;
                mBestGirlName = name;
                mBestGirl = look;
                any = true;
            }
        }
    }
    return mBestGirlName;
}

int GLevel::NextCombo(const str& group) {
    if (group == mComboGroup) {
        return ++mComboCount;
    }
    mComboGroup = group;
    mComboCount = 0;
    return 0;
}
