#include "game/world/GLogicalManager.h"

#include "engine/media/texture.h"
#include "engine/system/platform.h"
#include "game/common/GLogManager.h"
#include "game/common/LuaValues.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GJudgingQueue.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GMarivellPowerMeter.h"
#include "game/world/GPersonage.h"
#include "game/world/GPlayerInfo.h"
#include "game/world/GStatistics.h"
#include "game/world/GStudent.h"
#include "game/world/GUpgradeData.h"
#include "game/world/MainScript.h"

#include <algorithm>
#include <cstring>

namespace {

GLogicalManagerHooks gMissingWindows;

} // namespace

GLogicalManager& GLogicalManager::Instance() {
    static GLogicalManager manager;
    return manager;
}

GLogicalManager::GLogicalManager() : mHooks(&gMissingWindows) {
    GetLogManager()->SetModuleWriter("Logical", GLogManager::kNullWriter);
}

void GLogicalManager::SetGameData(GGameData* data) {
    mGameData = data;
    mPathGrid.Allocate();
}

void GLogicalManager::SetHooks(GLogicalManagerHooks* hooks) {
    mHooks = hooks != nullptr ? hooks : &gMissingWindows;
}

bool GLogicalManager::AddTimerTask(GGameObjectTimer* timer) {
    if (mGameScreen == nullptr || timer == nullptr) {
        return false;
    }
    return timer->PlaceIn(mGameScreen);
}

bool GLogicalManager::IsClosing() const {
    return mGameData == nullptr || mGameData->IsClosing();
}

void GLogicalManager::AddScore(int points) {
    if (GLevel* level = GetLevel()) {
        level->AddScore(points);
    }
}

void GLogicalManager::OnObjectChanged(GGameObject* object) {
    if (object != nullptr && mGameState != 3 && object->HasPendingTask(false)) {
        object->SetMouseEnabled(true);
    }
}

GFlyEmitter* GLogicalManager::CreateParticleEffect(const str& script) {
    return mHooks->FindFlyEmitter(script);
}

G_ICanListenSwitch* GLogicalManager::GetSwitchListener() const {
    return GetLevel();
}

bool GLogicalManager::UpdateBuyButton() {
    GLevel* level = GetLevel();
    const bool affordable =
        level != nullptr && level->CanAffordUpgrade(GPlayerInfo::Instance()->GetMoney());
    mHooks->SetGuideGlow(!affordable);
    return affordable;
}

GLevel* GLogicalManager::GetLevel() const {
    return mGameData != nullptr ? mGameData->GetLevel() : nullptr;
}

GVLayer* GLogicalManager::GetGameLayer() const {
    return mHooks->GetGameLayer();
}

GVLayer* GLogicalManager::GetSceneLayer() const {
    return mHooks->GetSceneLayer();
}

TWindow* GLogicalManager::GetHintPanel() const {
    return mHooks->GetHintPanel();
}

TWindow* GLogicalManager::GetSmallHintPanel() const {
    return mHooks->GetSmallHintPanel();
}

TWindow* GLogicalManager::GetWhiteScoreText() const {
    return mHooks->GetWhiteScoreText();
}

TWindow* GLogicalManager::GetIdleScoreLabel(const str& text) const {
    return mHooks->GetIdleScoreLabel(text);
}

void GLogicalManager::AddPowerScore(int points) {
    if (auto* meter = dynamic_cast<GMarivellPowerMeter*>(mPowerMeter)) {
        meter->AddScore(points);
    }
}

bool GLogicalManager::CanTouchUp() {
    const auto* heroine = dynamic_cast<const GPersonage*>(mHeroine);
    return heroine != nullptr && heroine->GetTouchUpTime() > 0 && mGameData != nullptr &&
           mGameData->IsTouchupAvailable(0);
}

void GLogicalManager::SetPowerInUse(int kind) {
    mPowerInUse = kind;
    if (kind == 0) {
        mHooks->ShowPowerButtons(true);
    }
}

namespace {

// The single-object registries and the lists, by exact class name.
enum class TRegistry { kNone, kJudgingPlace, kPreparationQueue, kPersonage, kGirl, kSingle };

TRegistry RegistryOf(const GGameObject* object) {
    const char* name = object->GetClassName();
    if (std::strcmp(name, "GJudgingQueue") == 0) {
        return TRegistry::kJudgingPlace;
    }
    if (std::strcmp(name, "GPreparationQueue") == 0) {
        return TRegistry::kPreparationQueue;
    }
    if (std::strcmp(name, "GPersonage") == 0) {
        return TRegistry::kPersonage;
    }
    if (std::strcmp(name, "GStudent") == 0) {
        return TRegistry::kGirl;
    }
    static const char* const kSingles[] = {"GMainHeroine", "GJudgingScene", "GJudgingSceneDoor",
                                           "GInDoor", "GMarivellPowerMeter"};
    for (const char* single : kSingles) {
        if (std::strcmp(name, single) == 0) {
            return TRegistry::kSingle;
        }
    }
    return TRegistry::kNone;
}

void EraseFirst(std::vector<GGameObject*>& list, const GGameObject* object) {
    const auto found = std::find(list.begin(), list.end(), object);
    if (found != list.end()) {
        list.erase(found);
    }
}

} // namespace

void GLogicalManager::RegisterObject(GGameObject* object) {
    if (object == nullptr) {
        return;
    }
    switch (RegistryOf(object)) {
    case TRegistry::kJudgingPlace:
        mJudgingPlaces.push_back(object);
        break;
    case TRegistry::kPreparationQueue:
        mPreparationQueues.push_back(object);
        break;
    case TRegistry::kPersonage:
        mPersonages.emplace(object->GetName(), object);
        break;
    case TRegistry::kGirl:
        mGirls.emplace(object->GetBaseType(), object);
        break;
    case TRegistry::kSingle: {
        const str name = object->GetClassName();
        if (name == str("GMainHeroine")) {
            mHeroine = object;
        } else if (name == str("GJudgingScene")) {
            mJudgingScene = object;
        } else if (name == str("GJudgingSceneDoor")) {
            mJudgingDoor = object;
        } else if (name == str("GInDoor")) {
            mEntranceDoor = object;
        } else {
            mPowerMeter = object;
        }
        break;
    }
    case TRegistry::kNone:
        break;
    }
}

void GLogicalManager::UnregisterObject(GGameObject* object) {
    if (object == nullptr) {
        return;
    }
    ForgetObject(object);
    switch (RegistryOf(object)) {
    case TRegistry::kJudgingPlace:
        EraseFirst(mJudgingPlaces, object);
        break;
    case TRegistry::kPreparationQueue:
        EraseFirst(mPreparationQueues, object);
        break;
    case TRegistry::kPersonage: {
        const auto found = mPersonages.find(object->GetName());
        if (found != mPersonages.end() && found->second == object) {
            mPersonages.erase(found);
        }
        break;
    }
    case TRegistry::kGirl: {
        const auto found = std::find_if(mGirls.begin(), mGirls.end(), [object](const auto& entry) {
            return entry.second == object;
        });
        if (found != mGirls.end()) {
            mGirls.erase(found);
        }
        mHooks->ForgetGirl(object);
        break;
    }
    case TRegistry::kSingle:
        for (GGameObject** field :
             {&mHeroine, &mJudgingScene, &mJudgingDoor, &mEntranceDoor, &mPowerMeter}) {
            if (*field == object) {
                *field = nullptr;
            }
        }
        break;
    case TRegistry::kNone:
        break;
    }
}

GGameObject* GLogicalManager::FirstFreePreparationQueue() const {
    for (GGameObject* queue : mPreparationQueues) {
        if (queue->GetOccupant() == nullptr) {
            return queue;
        }
    }
    return nullptr;
}

void GLogicalManager::SetGameState(int state) {
    if (mGameState == 3 && state == 2) {
        // Moved out first: a queued text may defer another.
        std::vector<str> texts;
        texts.swap(mDeferredLuaTexts);
        for (const str& text : texts) {
            mHooks->QueueLuaText(text);
        }
    }
    if (state == 2) {
        ResumeAfterCarry();
    } else if (state == 3) {
        if (mJudgingDoor != nullptr && mCarriedObject != nullptr) {
            const str scene = mCarriedObject->GetSceneName(0);
            if (scene.Length() > 0 && !mJudgingDoor->IsKnownScene(scene)) {
                mGameState = 3;
                return;
            }
        }
        HoldJudgingScene(true);
    } else if (state == 4) {
        SetObjectsMouse(false);
    }
    mGameState = state;
}

void GLogicalManager::ResumeAfterCarry() {
    mCarriedObject = nullptr;
    HoldJudgingScene(false);
    mQueuePreviewOn = false;
    if (mPodiumRequest) {
        CompactQueue();
    }
    mPodiumRequest = false;
    for (GGameObject* place : mJudgingPlaces) {
        if (auto* queue = dynamic_cast<GJudgingQueue*>(place)) {
            queue->SetPreviewOccupant(nullptr);
        }
    }
    if (GLevel* level = GetLevel()) {
        for (GGameObject* object : level->GetObjects()) {
            object->SetMouseEnabled(object->HasPendingTask(false));
        }
    }
}

void GLogicalManager::SetObjectsMouse(bool enabled) {
    if (GLevel* level = GetLevel()) {
        for (GGameObject* object : level->GetObjects()) {
            object->SetMouseEnabled(enabled);
        }
    }
}

void GLogicalManager::HidePowerButtons() {
    RunMainScript("HidePowerButtons();");
}

void GLogicalManager::OnLevelLoaded(GLevel* level) {
    mCarriedObject = nullptr;
    if (level != nullptr) {
        mPathGrid.Fill(level->GetObjects());
    }
    mGameState = 1;
    mHooks->UpdateJudgingCount();
    if (auto* scene = dynamic_cast<GJudgingScene*>(mJudgingScene)) {
        scene->SetEnterRequests(0);
    }
    mPowerInUse = 0;
    if (level != nullptr) {
        LoadLevelTutorial(level->GetLevelNumber());
    }
    HidePowerButtons();
}

void GLogicalManager::OnLevelBegin() {
    SetGameState(2);
    std::stable_sort(mJudgingPlaces.begin(), mJudgingPlaces.end(),
                     [](const GGameObject* a, const GGameObject* b) {
                         return a->GetPosition().x > b->GetPosition().x;
                     });
    std::stable_sort(mPreparationQueues.begin(), mPreparationQueues.end(),
                     [](const GGameObject* a, const GGameObject* b) {
                         return a->GetPosition().y > b->GetPosition().y;
                     });
    if (mGameData == nullptr) {
        return;
    }
    const int levelNumber = mGameData->GetCurrentLevelNumber();
    int count = 0;
    for (int i = 0; i < 5; ++i) {
        const str name = mGameData->GetPowerName(i);
        const GUpgradeData* record = name.Length() > 0 ? mGameData->FindUpgrade(name, 0) : nullptr;
        if (record != nullptr && record->mLevel <= levelNumber) {
            mHooks->PlacePowerButton(name, count++);
        }
    }
}

void GLogicalManager::OnUpgradePhaseEnd() {
    if (mGameData == nullptr) {
        return;
    }
    const int levelNumber = mGameData->GetCurrentLevelNumber();
    for (int i = 1; i <= 8; ++i) {
        if (mGirls.count(mGameData->GetGirlBaseType(i)) == 0) {
            continue;
        }
        const str names[] = {str::FromFormat("upgr_student_%d", i),
                             str::FromFormat("upgr_student_%d_%d", i, 1),
                             str::FromFormat("upgr_student_%d_%d", i, 2)};
        const GUpgradeData* records[3] = {};
        for (int k = 0; k < 3; ++k) {
            const int index = GPlayerInfo::Instance()->GetUpgradeIndex(names[k], levelNumber) - 1;
            if (index >= 0) {
                records[k] = mGameData->FindUpgrade(names[k], index);
            }
        }
        if (records[0] == nullptr && records[1] == nullptr && records[2] == nullptr) {
            continue;
        }
        const auto girls = mGirls.equal_range(mGameData->GetGirlBaseType(i));
        for (auto it = girls.first; it != girls.second; ++it) {
            if (auto* girl = dynamic_cast<GStudent*>(it->second)) {
                girl->ApplyUpgrades(records[0], records[1], records[2]);
            }
        }
    }
}

void GLogicalManager::OnLevelEnd() {
    if (GLevel* level = GetLevel()) {
        GStatistics::Instance()->OnLevelEnd(level->GetResult() != 1 ? 1 : 0);
    }
    if (mTutorialProcessor != nullptr) {
        mTutorialProcessor->StopTutorial(true);
    }
    SetObjectsMouse(false);
    mGameState = 4;
    HidePowerButtons();
}

void GLogicalManager::ShowLevelResult(int result) {
    if (result != 2 && result != 3) {
        RunMainScript("DoModal('scripts/level_try_again.lua');");
        return;
    }
    GLevel* level = GetLevel();
    const bool award = level == nullptr || IsAwardLevel(level->GetLevelNumber());
    RunMainScript(str::FromFormat("LevelResult = '%s'; DoModal('scripts/%s.lua');",
                                  result == 2 ? "win" : "expert",
                                  award ? "level_award" : "level_stats"));
}

bool GLogicalManager::IsAwardLevel(int level) {
    if (level > 49) {
        return true;
    }
    return level >= 4 && level <= 46 && (level - 4) % 3 == 0;
}

void GLogicalManager::ClearLevelObjects() {
    mPersonages.clear();
    mGirls.clear();
    mJudgingPlaces.clear();
    mPreparationQueues.clear();
    mHeroine = nullptr;
    mJudgingScene = nullptr;
    mJudgingDoor = nullptr;
    mEntranceDoor = nullptr;
    mPowerMeter = nullptr;
}

void GLogicalManager::ResetLevel() {
    if (IsPositionEditorOn()) {
        StopPositionEditor(false);
    }
    ClearLevelObjects();
    mPendingUpgrade = nullptr;
    mPodiumRequest = false;
    mQueuePreviewOn = false;
    mPowerInUse = 0;
    mPowerRecords.clear();
    mCarriedObject = nullptr;
    DeleteDialogCallers();
    mEventDispatcher.Clear();
    // The scenes outlive the level's objects for a moment: no task reaches them meanwhile.
    for (GBaseLogicalScene* scene : mLiveScenes) {
        scene->DetachTasks();
        mDroppedScenes.push_back(scene);
    }
    mLiveScenes.clear();
    ResetTutorials();
    // Nothing of the old level may reach the next one: a text deferred during a carry, the scene
    // the "CPP_" functions act on, the poise glow.
    mDeferredLuaTexts.clear();
    mCurrentScene = nullptr;
    mPoiseEffect = nullptr;
    GStatistics* statistics = GStatistics::Instance();
    if (statistics->IsLevelActive()) {
        statistics->OnLevelEnd(2);
    }
}

void GLogicalManager::DeleteDroppedScenes() {
    std::vector<GBaseLogicalScene*> scenes;
    scenes.swap(mDroppedScenes);
    for (GBaseLogicalScene* scene : scenes) {
        delete scene;
    }
}

void GLogicalManager::DeleteLiveScenes() {
    DeleteScenes();
    mGameScreen = nullptr;
    mSeparateLayer = nullptr;
}

void GLogicalManager::CloseGame() {
    if (mSelectorWindow != nullptr) {
        if (TWindow* parent = mSelectorWindow->GetParent()) {
            parent->RemoveChild(mSelectorWindow);
        }
        if (TWindowManager* windows = GetWindowManager()) {
            windows->DeleteWindowLater(mSelectorWindow);
        }
        mSelectorWindow = nullptr;
    }
    GStatistics* statistics = GStatistics::Instance();
    if (statistics->IsSessionActive()) {
        statistics->CPP_StatisticOnSessionEnd(GPlayerInfo::Instance()->GetTotalScore());
    }
}

int GLogicalManager::SetCursor(int kind) {
    if (kind == mCursorKind) {
        return kind;
    }
    mCursorKind = kind;
    const char* image = "cursor/cursor_def";
    switch (kind) {
    case 1:
        image = "cursor/cursor_def_click";
        break;
    case 2:
        image = "cursor/cursor_def_want";
        break;
    case 3:
        image = "cursor/cursor_def_drag";
        break;
    default:
        break;
    }
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->SetMouseCursor(TTexture::GetSimple(image), 1, 1, false);
    }
    return kind;
}

str GLogicalManager::UpgradeName(GGameObject& object) {
    return object.GetBaseType() + str::FromFormat("_%d", object.GetUpgradeData().mUpgradeLevel);
}

str GLogicalManager::BuyDialogText(int price, const str& name) {
    // The names go in as literals: a quote in a base type must not end the string.
    str text = str::FromFormat("price = { cost = %d };", price);
    text += str("upgrade_description = ") + LuaStringLiteral(name + str("_descript"));
    text += str(";upgrade_name = ") + LuaStringLiteral(name + str("_name"));
    text += str(";buy_image = ") +
            LuaStringLiteral(str("selector/buy_preview/buy_") + name + str(".png"));
    text += str("DoModal('scripts/buy.lua');");
    return text;
}

void GLogicalManager::RunBuyDialog(G_VoidLink* upgrade) {
    auto* object = dynamic_cast<GGameObject*>(upgrade);
    if (object == nullptr) {
        return;
    }
    mPendingUpgrade = object;
    const str text = BuyDialogText(object->GetUpgradeData().mPrice, UpgradeName(*object));
    if (TScript* script = WindowScript()) {
        script->DoLuaString(text);
    }
}

void GLogicalManager::CPP_EndBuyDialog(bool ok) {
    GGameObject* object = mPendingUpgrade;
    mPendingUpgrade = nullptr;
    if (!ok || object == nullptr) {
        return;
    }
    object->Upgrade();
    GPlayerInfo* player = GPlayerInfo::Instance();
    mHooks->SetMoney(player->GetMoney());
    player->Save();
}
