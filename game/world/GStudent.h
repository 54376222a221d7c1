// The contestant girl: she appears through the entrance after her countdown, asks for the stations
// of her type's life cycle one after the other, is carried to seats and queues, touched up by the
// heroine, earns points at each scene's end and at the judges, and leaves the level. Her rules
// live mostly in her type script; this class loads her type data into it, keeps the counters and
// timers the script asks for, turns scene scores into level score with combos, shows the score
// pop-ups, her desire icon, check mark, two-digit number and poise hearts, and answers the logical
// manager and the scenes. The level owns her. Main thread only.
#pragma once

#include "game/world/GGameObject.h"
#include "game/world/GGirlLook.h"

#include <cstdint>
#include <vector>

struct GUpgradeData;

class GStudent : public GGameObject {
public:
    static int sClassId;

    GStudent();
    ~GStudent() override;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GStudent"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    // Publishes her functions, places her, then loads her type data into her script.
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // -1 refused; else 1, or with the cry lock 2 when she may be touched up and 0 when not.
    int CheckClick() override;
    // A click that CheckClick took but that led nowhere: her check mark goes, and her active flag
    // and touch-up permission are what they were before it.
    void UndoClick();
    void StartGame() override;
    void LeaveScene(const str& scene, bool keep) override;
    void Unblock(const str& scene) override;
    bool HasPendingTask(bool flag) override;
    bool IsStudent() const override { return true; }
    void LeaveUpgradeMode(int mode) override;
    void SetStrategyMode(bool on) override;
    int ModifyCheck(int delta) override;
    int ShowNumber(int number) override;
    int RemoveScene(const str& scene, bool notify) override;
    void OnSceneEnd(const str& scene) override;
    // Seats scale her task with mode 1.
    int ScaleTaskTime(const str& task, float factor) override {
        return ScaleTaskTime(task, factor, 1);
    }
    // With mode 1 the time is her script's base time of the real task times the factor.
    int ScaleTaskTime(const str& task, float factor, int mode);
    void ApplyBaseType(const str& task) override;
    int SetLookState(const str& name) override;
    void OnTaskFinished(GBaseSimpleTask* task) override;
    void OnTaskStarted(GBaseSimpleTask* task) override;

    // Her way to ask for the next station: -1 unknown scene, 0 already asked or leaving, 1 asked.
    int RequestScene(const str& scene, bool notify);
    void ShowDesire(bool on);
    void SetCombo(int count, const str& name);
    void SetCryLock(int value);
    // The pacifier given to her: its base type and number (its poise boost).
    void SetPacifierPoise(const str& pacifier, int number);
    void BlockForPacifier(const str& scene);
    void TakePacifier(const str& pacifier, int number);
    int AddPoise(int value);
    int ChangePoisePower(int value);
    void ClearTouchUp() { mTouchUpAllowed = 0; }
    void NotifyDragEnd();
    // After a judging pass: 1 when her life cycle goes on, 0 past its end.
    int ReturnToPreQueue();
    // The bought touch-up upgrades (any may be null) shorten her tasks and raise her poise.
    void ApplyUpgrades(const GUpgradeData* hair, const GUpgradeData* makeup,
                       const GUpgradeData* poise);
    void ShowCountNumber(int number);
    void ShowScorePopup(int points, int bonus, int count, const str& text, bool judges);
    void GetLook(GGirlLook& look) const;
    void DebugDraw() {}

    // Her Lua functions.
    int CPP_CheckTimeRequest();
    int CPP_CheckTimeAppearence();
    void CPP_PoiseChange(int value);
    void CPP_AddFlyScore(int points, int judges);
    void CPP_ResetToBaseStyle();
    void CPP_ApplyDress(int ignored);
    void CPP_ApplyHair(int value) { mLook.mHair = value; }
    void CPP_ApplyMakeup(int value) { mLook.mMakeup = value; }
    void CPP_SetCanTouchUp(int value);
    void CPP_ApplyMask(int value) { mLook.mMask = value; }
    void CPP_ApplyManicure(int value) { mLook.mManicure = value; }
    int CPP_CheckNextSceneOnThisSeat();
    int CPP_IsNextSceneSeat() { return mNextSceneTrigger.Length() == 0 ? 0 : 1; }
    void CPP_SetPoiseOn(int flag);
    int CPP_DeathOn();

    const std::vector<str>& GetLifeCycle() const { return mLifeCycle; }
    int GetLifeIndex() const { return mLifeIndex; }
    int GetRequestCountdown() const { return mRequestCountdown; }
    int GetRequestTime() const { return mRequestTime; }
    int GetPoiseMaximum() const { return mPoiseMaximum; }
    int GetStartPoise() const { return mStartPoise; }
    bool IsFirstAppearance() const { return mFirstAppearance; }
    bool HasAppeared() const { return mAppeared; }
    int GetCryLock() const { return mCryLock; }
    int GetCheckCounter() const { return mCheckCounter; }
    int GetTouchUpAllowed() const { return mTouchUpAllowed; }
    int GetComboCount() const { return mComboCount; }
    const str& GetNextSceneTrigger() const { return mNextSceneTrigger; }
    const str& GetNextSceneTarget() const { return mNextSceneTarget; }
    int GetTriggerEnded() const { return mTriggerEnded; }
    int GetJudgingSceneCount() const { return mJudgingSceneCount; }
    const GLookNumbers& GetLookNumbers() const { return mLook; }
    int GetPoiseLevel() const { return mPoiseLevel; }
    int GetScoreTotal() const { return mScoreTotal; }
    const str& GetCname() const { return mCname; }

private:
    // Sums of numbers from scripts and type tables held within int: a broken table may give any
    // value, and scores and countdowns must not wrap.
    static int Clamped(int64_t value);

    void LoadType(TLuaTable* objectTable, TLuaTable* typeTable);
    void PublishFunctions();
    // The request after a finished scene waits the request time, or is raised at once when that
    // is shorter than a tick.
    // The countdown restarts with the request time; true when the request was raised at once.
    bool StartRequestCountdown();
    void ClearNextScene();
    // The check state for her holder: "check_on" without one, else her script's choice.
    str CheckState();
    // Queued behind the current state, as the hearts hand over.
    void SetPoiseState(GStateKey key);
    void SetScriptNumber(const char* name, double value);
    // The name of the scene that owns her front task; empty without one.
    str FrontTaskScene() const;

    std::vector<str> mLifeCycle;
    int32_t mLifeIndex = 0;
    int32_t mRequestCountdown = 0;
    int32_t mRequestTime = 0;
    int32_t mBaseRequestTime = 0;
    int32_t mPoiseMaximum = 0;
    int32_t mStartPoise = 0;
    int32_t mFirstAppearanceCountdown = 0;
    int32_t mAppearanceCountdown = 0;
    bool mFirstAppearance = true;
    bool mAppeared = false;
    GLookNumbers mLook;
    int32_t mCryLock = 0;
    int32_t mDeltaScoreX = 0;
    int32_t mDeltaScoreY = 0;
    int32_t mCheckCounter = 0;
    int32_t mTouchUpAllowed = 0;
    int32_t mComboCount = 0;
    str mComboName;
    str mNextSceneTrigger;
    str mNextSceneTarget;
    int32_t mTriggerEnded = 0;
    int32_t mTriggerIndex = 0;
    // Owned by her visual object.
    GVObject* mCheckVisual = nullptr;
    GVObject* mNumber1Visual = nullptr;
    GVObject* mNumber2Visual = nullptr;
    int32_t mJudgingSceneCount = 0;
    int32_t mPoiseLevel = -1;
    int32_t mScoreTotal = 0;
    str mCname;
    int32_t mOffsetX = 0;
    int32_t mOffsetY = 0;
    int32_t mOffsetSceneX = 0;
    int32_t mOffsetSceneY = 0;
    // What the last click changed, for UndoClick.
    struct GClickState {
        bool mActive = false;
        int32_t mTouchUpAllowed = 0;
    } mSavedClick;
};
