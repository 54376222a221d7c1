#include "game/world/GJudgingScene.h"

#include "engine/script/luabinding.h"
#include "engine/script/luawrapper.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/MainScript.h"
#include "game/world/ScriptCall.h"

GJudgingScene::GJudgingScene() = default;

GJudgingScene::~GJudgingScene() = default;

bool GJudgingScene::OnTimer() {
    if (!mHold) {
        GGameObject::OnTimer();
    }
    return true;
}

GGameObject* GJudgingScene::Clone() const {
    auto* copy = new GJudgingScene;
    copy->CopyFrom(*this);
    copy->mLanding = mLanding;
    copy->mLandingZ = mLandingZ;
    copy->mEnterDelay = mEnterDelay;
    copy->mJudgesPath = mJudgesPath;
    copy->mJudgesOffset = mJudgesOffset;
    copy->mComboScores = mComboScores;
    return copy;
}

bool GJudgingScene::InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) {
    if (!GGameObject::InitFromTable(typeTable, objectTable)) {
        return false;
    }
    ReadPoint(typeTable, "point_landing", mLanding, mLandingZ);
    mEnterDelay = LuaNumberToInt(typeTable->GetNumber("enter_scene_delay"));
    mComboScores.clear();
    if (std::unique_ptr<TLuaTable> scores(typeTable->GetTable("score_combo")); scores != nullptr) {
        const int count = scores->GetCount();
        for (int i = 1; i <= count; ++i) {
            mComboScores.push_back(LuaNumberToInt(scores->GetNumberAt(i)));
        }
    }
    float unused = 0.0f;
    ReadPoint(typeTable, "judges_delta", mJudgesOffset, unused);
    mJudgesPath = typeTable->GetString("xml_judges");
    if (mJudgesPath.Length() > 0) {
        GVFactory::Instance().Preload(mJudgesPath);
    }
    return true;
}

bool GJudgingScene::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension,
                                const str& extraLua, GLevel* level) {
    LuaPublish(GetScript().GetState(), "CPP_EnterDelayRequest", this,
               &GJudgingScene::CPP_EnterDelayRequest);
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    if (mJudgesPath.Length() > 0 && mJudges == nullptr) {
        mJudges.reset(GVFactory::Instance().CreateByPath(mJudgesPath, true));
    }
    if (mJudges != nullptr) {
        const TVec2 at = GetPosition() + mJudgesOffset;
        mJudges->mDeltaX = at.x;
        mJudges->mDeltaY = at.y;
        mJudges->mDeltaZ = at.y;
        mJudges->MarkChanged();
    }
    return true;
}

void GJudgingScene::StartGame() {
    GGameObject::StartGame();
    SetVisualState(str("show"));
}

int GJudgingScene::TakeObject(GGameObject* girl) {
    return TakeAt(girl, mLanding, mLandingZ);
}

int GJudgingScene::SetOccupant(GGameObject* girl) {
    SetOccupantField(girl);
    if (girl != nullptr && girl->IsStudent()) {
        GLogicalManager::Instance().GetHooks().AddToSceneControl(girl);
    }
    return 1;
}

int GJudgingScene::GetComboBonus() {
    if (mComboCount < 1 || static_cast<size_t>(mComboCount) > mComboScores.size()) {
        return 0;
    }
    return mComboScores[static_cast<size_t>(mComboCount) - 1];
}

void GJudgingScene::SetCheckEnterDelay(int value) {
    GetScript().DoLuaString(str::FromFormat("check_enter_delay = %d;", value));
}

void GJudgingScene::SetEnterRequests(int count) {
    mEnterRequests = count;
    SetCheckEnterDelay(count >= 1 ? mEnterDelay / 100 : 0);
}

void GJudgingScene::OnJudgingDone(int /*waiting*/) {
    if (mEnterRequests > 0) {
        SetCheckEnterDelay(mEnterDelay / 100);
        SetJudgesState(str("judges_idle"));
        return;
    }
    SetCheckEnterDelay(0);
    SetJudgesState(str("invisible"));
    if (auto* scene = dynamic_cast<GJudgingScene*>(GLogicalManager::Instance().GetJudgingScene())) {
        scene->ShowLastEvent(true);
    }
}

int GJudgingScene::SetJudgesState(const str& state) {
    return mJudges != nullptr ? mJudges->SetState(GStateKey::FromString(state), true) : 0;
}

void GJudgingScene::ShowLastEvent(bool show) {
    if (show && mLastEvent.Length() > 0) {
        ScriptCall(WindowScript(), str("ShowLastEvent"), 0, mLastEvent);
    } else {
        ScriptCall(WindowScript(), str("HideLastEvent"), 0);
    }
}

void GJudgingScene::CPP_EnterDelayRequest() {
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* girl = manager.TakeFirstWaitingGirl();
    if (girl == nullptr) {
        if (mEnterRequests >= 1) {
            SetCheckEnterDelay(1);
        }
        return;
    }
    const str event = girl->GetSceneName(0);
    if (event == mLastEvent) {
        if (static_cast<size_t>(mComboCount) < mComboScores.size()) {
            ++mComboCount;
        }
    } else {
        mLastEvent = event;
        mComboCount = 0;
    }
    manager.RefreshComboNumbers(false);
    if (!girl->GetScenes().empty()) {
        girl->RemoveScene(event, true);
    }
    --mEnterRequests;
    manager.GoToScene(str("judging_scene"), girl, this, true);
}
