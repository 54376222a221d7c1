#include "game/world/GGameObject.h"

#include "engine/script/lua/lualib.h"
#include "engine/script/luabinding.h"
#include "engine/script/luawrapper.h"
#include "game/common/GLogManager.h"
#include "game/common/LuaValues.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVObject.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_Edit.h"
#include "game/world/GMStr_UpgradeButton.h"
#include "game/world/GPlayerInfo.h"
#include "game/world/GStratMousePikUp.h"

#include <algorithm>

GGameObject::GGameObject() = default;

GGameObject::~GGameObject() {
    mTaskData.clear();
    mTriggers.clear();
    DestroyTasks();
    if (mTimer != nullptr) {
        mTimer->Detach();
    }
    mVisual.reset();
    mStrategy.reset();
    if (mPublished) {
        LuaWithdrawObject(mScript.GetState(), this);
    }
}

GGameObject* GGameObject::Clone() const {
    auto* copy = new GGameObject;
    copy->CopyFrom(*this);
    return copy;
}

void GGameObject::CopyFrom(const GGameObject& other) {
    mTaskData = other.mTaskData;
    mTriggerPeriod = other.mTriggerPeriod;
    mTriggers = other.mTriggers;
    mTickCounter = 0;
    mKnownScenes = other.mKnownScenes;
    mScenes = other.mScenes;
    mBaseType = other.mBaseType;
    mScriptName = other.mScriptName;
    mPrelude = other.mPrelude;
    mName = other.mName;
    mVisualPath = other.mVisualPath;
    mWalkWidth = other.mWalkWidth;
    mWalkHeight = other.mWalkHeight;
    mWalkCells = other.mWalkCells;
    mActive = false;
}

bool GGameObject::InitInLevel(TLuaTable* objectTable, TLuaTable* /*typeExtension*/,
                              const str& extraLua, GLevel* /*level*/) {
    mUpgradeData.Reset();
    GGameData* data = GLogicalManager::Instance().GetGameData();
    const int offer =
        data != nullptr ? data->GetObjectUpgrade(this, mUpgradeLevel, mUpgradeData) : -1;
    if (offer == 0 || offer == 1) {
        if (mUpgradeLevel < 0) {
            mUpgradeLevel = mUpgradeData.mUpgradeLevel - 1;
            if (offer == 0) {
                mUpgradeData.mUpgradeLevel = 0;
                if (mUpgradeLevel < 0) {
                    return false;
                }
            }
        } else {
            const GUpgradeData* record =
                data != nullptr ? data->FindUpgrade(mName, mUpgradeLevel) : nullptr;
            if (record != nullptr) {
                mUpgradeLevel = record->mUpgradeLevel;
            }
            if (offer == 0 && mUpgradeLevel < 0) {
                return false;
            }
        }
    }

    PublishLuaFunctions();
    RunTypeScript();
    lua_State* state = mScript.GetState();
    luaopen_math(state);
    lua_settop(state, 0);

    if (mName.Length() == 0 && objectTable != nullptr) {
        mName = objectTable->GetString("name");
    }
    mScript.DoLuaString(mPrelude);
    mScript.DoLuaString(str("ObjectData = ") + LuaValueToText(objectTable, false) + ";");
    if (extraLua.Length() > 0) {
        mScript.DoLuaString(extraLua);
    }

    StartTimer();

    if (objectTable != nullptr) {
        mPosition = TVec2(static_cast<float>(objectTable->GetNumber("pos_x")),
                          static_cast<float>(objectTable->GetNumber("pos_y")));
        mDepthOffset = static_cast<float>(objectTable->GetNumber("deltaZ"));
    }
    mStartPosition = mPosition;
    if (mVisualPath.Length() > 0 && mVisual == nullptr) {
        mVisual.reset(GVFactory::Instance().CreateByPath(mVisualPath, true));
    }
    SetPlace(mPosition, mPosition.y + mDepthOffset);

    if (offer == 1) {
        EnterUpgradeMode(data != nullptr ? data->GetCurrentLevelNumber() : 0);
    } else if (mUpgradeLevel > 0) {
        ShowUpgradeLevel();
    }
    return true;
}

void GGameObject::StartTimer() {
    auto* timer = new GGameObjectTimer(this, &GBaseTimerObj::RunTimer, &mTimer);
    timer->Start(mTriggerPeriod, true, true, false);
    if (!GLogicalManager::Instance().AddTimerTask(timer)) {
        // No task list took it: it is still ours, and never ticks.
        delete timer;
    }
}

bool GGameObject::OnTimer() {
    if (!mActive) {
        return true;
    }
    ++mTickCounter;
    for (size_t i = 0; i < mTriggers.size();) {
        if (mTriggers[i].mDisabled || CallScript(mTriggers[i].mFunction, mTickCounter) != 0) {
            ++i;
        } else {
            mTriggers.erase(mTriggers.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    if (mWantDestroy) {
        // The level may delete the object: nothing of it is touched afterwards.
        GLogicalManager::Instance().RemoveObject(this, true);
    }
    return true;
}

void GGameObject::Block(const str& scene) {
    RemoveScene(scene, true);
    if (mStrategy != nullptr) {
        mMouseEnabled = false;
        mStrategy->Deactivate();
    }
    mBlocked = true;
    mActive = false;
    LogLogical("object %s blocked! scene %s", scene);
}

void GGameObject::Unblock(const str& scene) {
    mBlocked = false;
    mLocked = false;
    mActive = true;
    LogLogical("object %s UNblocked! scene %s", scene);
}

void GGameObject::LogLogical(const char* format, const str& scene) const {
    GLogRecord record;
    record.level = GLogManager::kDebug;
    record.module = "Logical";
    record.message = str::FromFormat(format, mName.CStr(), scene.CStr());
    record.sourceFile = ".\\GGameObject.cpp";
    record.line = __LINE__;
    GetLogManager()->Write(record);
}

int GGameObject::SaveState() {
    mSavedBlocked = mBlocked;
    mSavedLocked = mLocked;
    mSavedStateActive = mActive;
    mSavedValid = true;
    return 1;
}

bool GGameObject::RestoreState() {
    if (!mSavedValid) {
        return false;
    }
    mBlocked = mSavedBlocked;
    mLocked = mSavedLocked;
    mActive = mSavedStateActive;
    mSavedValid = false;
    return true;
}

void GGameObject::Upgrade() {
    mStrategy.reset();
    ++mUpgradeLevel;
    GGameData* data = GLogicalManager::Instance().GetGameData();
    GPlayerInfo::Instance()->UpgradeBuyed(mUpgradeData.mOwnerName, mUpgradeData.mPrice,
                                          data != nullptr ? data->GetCurrentLevelNumber() : 0,
                                          mUpgradeData.mIndex);
    static const char* const kUpgradeStates[] = {"upgrade_1", "upgrade_2", "upgrade_3"};
    if (mUpgradeLevel >= 0 && mUpgradeLevel <= 2) {
        SetVisualState("normal");
        SetVisualState(kUpgradeStates[mUpgradeLevel]);
    }
    GLogicalManager::Instance().UpdateBuyButton();
}

void GGameObject::LeaveUpgradeMode(int /*level*/) {
    if (mStrategy == nullptr) {
        return;
    }
    mStrategy.reset();
    ResetUpgradeView();
    if (mUpgradeLevel < 0) {
        // The level may delete the object.
        GLogicalManager::Instance().RemoveObject(this, true);
    }
}

int GGameObject::GetUpgradePrice() const {
    return mStrategy != nullptr ? mUpgradeData.mPrice : 0;
}

int GGameObject::GetRecommendedLevel() const {
    return mStrategy != nullptr && mUpgradeData.mRecommended ? mUpgradeData.mLevel : 0;
}

void GGameObject::HideRecommended() {
    mUpgradeData.mRecommended = false;
    SetVisualState("hiderecomended");
}

void GGameObject::EnterUpgradeMode(int /*level*/) {
    mStrategy.reset();
}

void GGameObject::ShowUpgradeLevel() {
    static const char* const kStates[] = {"upgrade_0", "upgrade_1", "upgrade_2"};
    if (mUpgradeLevel >= -1 && mUpgradeLevel <= 1) {
        SetVisualState(kStates[mUpgradeLevel + 1]);
    }
}

void GGameObject::ResetUpgradeView() {
    if (mUpgradeLevel < -1 || mUpgradeLevel > 1) {
        return;
    }
    SetVisualState("normal");
    if (mUpgradeLevel >= 0) {
        SetVisualState(mUpgradeLevel == 0 ? "upgrade_1" : "upgrade_2");
    }
}

void GGameObject::SetPosition(int x, int y) {
    SetPlace(TVec2(static_cast<float>(x), static_cast<float>(y)),
             static_cast<float>(y) + mDepthOffset);
}

void GGameObject::SetStrategyMode(bool flag) {
    mMouseSuspended = flag;
    ApplyStrategyRule();
}

int GGameObject::AddScene(const str& scene, bool notify) {
    if (!IsKnownScene(scene)) {
        return -1;
    }
    if (HasScene(scene)) {
        return 0;
    }
    mScenes.push_back(scene);
    if (notify) {
        NotifyManager();
    }
    return 1;
}

int GGameObject::RemoveScene(const str& scene, bool notify) {
    if (scene.Length() == 0) {
        return 0;
    }
    if (!IsKnownScene(scene)) {
        return -1;
    }
    const auto found = std::find(mScenes.begin(), mScenes.end(), scene);
    if (found == mScenes.end()) {
        return 0;
    }
    mScenes.erase(found);
    if (notify) {
        NotifyManager();
    }
    return 1;
}

bool GGameObject::HasScene(const str& scene) const {
    return std::find(mScenes.begin(), mScenes.end(), scene) != mScenes.end();
}

bool GGameObject::IsKnownScene(const str& scene) const {
    return mKnownScenes.count(scene) != 0;
}

void GGameObject::EnterKnownScenes() {
    for (const str& scene : mKnownScenes) {
        AddScene(scene, false);
    }
}

str GGameObject::GetSceneName(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= mScenes.size()) {
        return str();
    }
    return mScenes[static_cast<size_t>(index)];
}

void GGameObject::SetEditMode(bool on, int /*level*/) {
    if (on) {
        mSavedActive = mActive;
        mActive = false;
    } else {
        mActive = mSavedActive;
    }
}

int GGameObject::SetLookState(const str& state) {
    // Not the virtual one: a class whose look sets plain states through it would never return.
    return GGameObject::SetVisualState(state);
}

int GGameObject::SetVisualState(const str& state) {
    if (mVisual == nullptr) {
        return 0;
    }
    return mVisual->SetState(GStateKey::FromString(state), true);
}

void GGameObject::SetVisualState(GStateKey key) {
    if (mVisual != nullptr) {
        mVisual->SetState(key, true);
    }
}

void GGameObject::NotifyManager() {
    GLogicalManager::Instance().OnObjectChanged(this);
}

bool GGameObject::OnMouseDown(TPoint point) {
    if (mStrategy != nullptr) {
        mStrategy->OnMouseDown(point);
    }
    return true;
}

bool GGameObject::OnMouseUp(TPoint point) {
    if (mStrategy != nullptr) {
        mStrategy->OnMouseUp(point);
    }
    return true;
}

bool GGameObject::OnMouseMove(TPoint point) {
    if (mVisual != nullptr && mStrategy != nullptr) {
        mStrategy->OnMouseMove(point);
    }
    return true;
}

void GGameObject::MoveTo(TPoint point, float depth) {
    SetPlace(TVec2(static_cast<float>(point.x), static_cast<float>(point.y)), depth);
}

void GGameObject::SetPlace(TVec2 point, float depth) {
    if (!mWalkCells.empty()) {
        point = GLogicalManager::Instance().GetPathGrid().SnapToCell(point);
    }
    mPosition = point;
    if (mVisual != nullptr) {
        mVisual->mDeltaZ = depth;
        mVisual->mDeltaX = point.x;
        mVisual->mDeltaY = point.y;
        mVisual->MarkChanged();
    }
}

void GGameObject::MoveToPoint(float x, float y) {
    SetPlace(TVec2(x, y), y + mDepthOffset);
    if (mEffect != nullptr) {
        mEffect->SetPosition(mPosition.x, mPosition.y);
    }
}

void GGameObject::SetMouseEnabled(bool flag) {
    if (mStrategy == nullptr) {
        return;
    }
    mMouseEnabled = flag;
    ApplyStrategyRule();
}

void GGameObject::SetMouseLocked(bool flag) {
    mMouseLocked = flag;
    ApplyStrategyRule();
}

void GGameObject::SetMouseBlocked(bool flag) {
    if (mStrategy != nullptr) {
        mStrategy->SetBlocked(flag);
    }
}

void GGameObject::InstallStrategy(GStratMousePikUp* strategy, bool mouseOn) {
    SetStrategy(strategy);
    if (strategy == nullptr) {
        return;
    }
    strategy->SetTarget(this, GLogicalManager::Instance().GetSwitchListener());
    if (mouseOn) {
        SetMouseEnabled(true);
    }
}

void GGameObject::OfferUpgrade() {
    SetStrategy(nullptr);
    ShowUpgradeLevel();
    InstallStrategy(new GMStr_UpgradeButton, true);
}

void GGameObject::SetEditStrategy(bool on) {
    InstallStrategy(on ? new GMStr_Edit : nullptr, true);
}

int GGameObject::TakeAt(GGameObject* girl, TVec2 offset, float z) {
    if (girl == nullptr || mVisual == nullptr) {
        return 0;
    }
    if (GGameObject* old = girl->GetHolder()) {
        old->SetOccupant(nullptr);
    }
    SetOccupant(girl);
    girl->SetHolder(this);
    girl->SetPlace(mPosition + offset, mVisual->mDeltaZ + z);
    return 1;
}

void GGameObject::MoveOccupantTo(TVec2 offset) {
    if (GGameObject* occupant = GetOccupant()) {
        const TVec2 place = mPosition + offset;
        occupant->MoveToPoint(place.x, place.y);
    }
}

void GGameObject::RunStartCommand(str command) {
    if (command.Length() == 0) {
        return;
    }
    if (command.CStr()[0] == '@') {
        GLevel* level = GLogicalManager::Instance().GetLevel();
        if (level == nullptr) {
            return;
        }
        level->EvalUpgradeCommand(command);
    }
    mScript.DoLuaString(command);
}

bool GGameObject::IsUnbought() const {
    const GGameData* data = GLogicalManager::Instance().GetGameData();
    return mUpgradeLevel < 0 && data != nullptr && data->HasUpgradeGroup(mName);
}

void GGameObject::SetStrategy(GStratMousePikUp* strategy) {
    mStrategy.reset(strategy);
    ApplyStrategyRule();
}

void GGameObject::ApplyStrategyRule() {
    if (mStrategy == nullptr) {
        return;
    }
    if (mMouseEnabled && !mMouseLocked && !mMouseSuspended) {
        mStrategy->Activate();
    } else {
        mStrategy->Deactivate();
    }
}

void GGameObject::SetTriggerEnabled(const str& function, bool enabled) {
    for (GTrigger& trigger : mTriggers) {
        if (trigger.mFunction == function) {
            trigger.mDisabled = !enabled;
            return;
        }
    }
}

int8_t GGameObject::GetWalkMaskCell(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= mWalkCells.size()) {
        return 0;
    }
    return mWalkCells[static_cast<size_t>(index)];
}

bool GGameObject::ReadPoint(TLuaTable* table, const char* key, TVec2& point, float& z) {
    if (table == nullptr) {
        return false;
    }
    std::unique_ptr<TLuaTable> sub(table->GetTable(key));
    if (sub == nullptr) {
        return false;
    }
    point = TVec2(static_cast<float>(sub->GetNumber("x")), static_cast<float>(sub->GetNumber("y")));
    z = static_cast<float>(sub->GetNumber("z"));
    return true;
}

void GGameObject::Shutdown() {
    mClosing = true;
    DestroyTasks();
    if (mTimer != nullptr) {
        mTimer->Detach();
    }
}
