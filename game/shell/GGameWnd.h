// The game window, window type "GGameWnd": the root of the game screen. It starts the level the
// main script names, walks its start-up (upgrade phase, level-goal dialog, play), places and shows
// the power buttons, shows money, judging count, caption and background, opens the part selector
// when asked, and answers the logical manager's hooks while it exists. Owned by its parent window;
// main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/ui/window.h"
#include "game/shell/GGoalIndicator.h"
#include "game/world/GLogicalManagerHooks.h"

#include <cstdint>
#include <vector>

class GFlyEmitter;
class GGameCtrl;
class GFlyText;
class GHintPanel;
class GSmallHintPanel;
class GSceneCtrl;
class TPSimple;
class TText;
struct lua_State;

// The game window registered with the logical manager forgets the control, which is being deleted.
void ForgetControlInGameWnd(const TWindow* control);

class GGameWnd : public TWindow, public GLogicalManagerHooks {
public:
    static constexpr int kAnimationMs = 30;
    // Steps of a score pop-up's flight.
    static constexpr int kScoreFlightSteps = 30;

    // Publishes "CPP_OnUpgradeModeFinished", "CPP_OnGameWndInitComplete" and
    // "CPP_PressPowerButton" in the main script.
    GGameWnd();
    // Takes its functions back, closes the running level and leaves the logical manager.
    ~GGameWnd() override;
    GGameWnd(const GGameWnd&) = delete;
    GGameWnd& operator=(const GGameWnd&) = delete;
    const char* GetClassName() const override { return "GGameWnd"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GGameWnd".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Reads the power-button grid from the main script.
    void Init(TWindowStyle& style) override;
    // Publishes "CPP_LoadLevel", finds its children, becomes the logical manager's game window,
    // starts the level of "gLevelNum" and "gStageNum" and its 30 ms animation.
    void PostCreate(TWindowStyle& style) override;
    // One step of the level's start-up, and the selector once nothing is carried.
    bool OnAnimate() override;

    // The Lua functions.
    int CPP_LoadLevel(int level, int stage);
    void CPP_OnUpgradeModeFinished();
    void CPP_OnGameWndInitComplete() {}
    int CPP_PressPowerButton(str name);

    void ShowLevelCaption(int level);
    void OpenSelector();

    // The logical manager's hooks.
    GFlyEmitter* FindFlyEmitter(const str& script) override;
    bool HasGameWindow() override { return true; }
    void SetBackground(const str& background) override;
    void UpdateJudgingCount() override;
    int PlacePowerButton(const str& name, int index) override;
    void ShowPowerButtons(bool show) override;
    void SetMoney(int money) override;
    void SetGuideGlow(bool on) override;
    void RequestSelector(const str& text) override;
    void LoadLevel(int level, int stage) override { CPP_LoadLevel(level, stage); }
    GVLayer* GetGameLayer() override;
    GVLayer* GetSceneLayer() override;
    // The girl's visual joins the scene control's draw list.
    void AddToSceneControl(GGameObject* girl) override;
    void QueueLuaText(const str& text) override;
    TWindow* GetHintPanel() override;
    TWindow* GetSmallHintPanel() override;
    TWindow* GetIdleScoreLabel(const str& text) override;
    TWindow* GetWhiteScoreText() override;
    // The hint panel with the texts of the labels, the cost and the recommendation, refreshed.
    void ShowHint(const str& nameLabel, const str& descriptionLabel, int cost,
                  bool recommended) override;
    void HideHint() override;
    // Ends the white score text's flight, emptying it.
    void StopScoreText() override;
    void FlyWhiteScoreText(const str& text, int x, int y, int direction) override;
    void FlyScoreLabel(const str& description, int background, int x, int y, int points) override;
    void SetScore(int score) override { mGoalIndicator.SetScore(score); }
    void SetGoals(int goal, int expert) override { mGoalIndicator.SetGoals(goal, expert); }
    void AddDistance(int distance) override {
        mGoalIndicator.AddDistance(static_cast<float>(distance));
    }

    // What play reports to the tutorial engine, when the logical manager has one.
    void TutorialClick(GGameObject* object) override;
    void TutorialDragEnd(GGameObject* object) override;
    void TutorialTouchUpEnd(GGameObject* heroine, GGameObject* girl) override;
    void TutorialTaskStart(GBaseSimpleTask* task) override;
    void TutorialTaskEnd(GBaseSimpleTask* task) override;
    void TutorialGameEvent(GGameObject* object, const str& event) override;
    void TutorialTouchUp(GGameObject* personage) override;
    void TutorialWish(GGameObject* girl, const str& scene) override;
    void TutorialAppeared(GGameObject* girl) override;

    // A control deleted before the window is forgotten by it.
    void ForgetControl(const TWindow* control);
    GGameCtrl* GetGameCtrl() const { return mGameCtrl; }
    GSceneCtrl* GetSceneCtrl() const { return mSceneCtrl; }
    const GGoalIndicator& GetGoalIndicator() const { return mGoalIndicator; }
    int GetStepCounter() const { return mStepCounter; }
    const std::vector<str>& GetPowerButtons() const { return mPowerButtons; }
    const std::vector<GFlyEmitter*>& GetFlyEmitters() const { return mFlyEmitters; }
    const std::vector<GSmallHintPanel*>& GetScoreLabels() const { return mScoreLabels; }
    // The first score label, in order, that is idle; null when all fly.
    GSmallHintPanel* FindIdleScoreLabel() const;
    bool IsSelectorPending() const { return mSelectorPending; }
    bool GetGuideGlowState() const { return mGuideGlowState; }

private:
    void BeginUpgradePhase();
    // The named window in the modal parent's subtree (this window's own without one).
    TWindow* FindInScreen(const str& name);
    static void RunMain(const str& text);

    bool mGuideGlowState = true;
    // Not owned: windows of the game screen's tree.
    TPSimple* mGuideGlow = nullptr;
    GGameCtrl* mGameCtrl = nullptr;
    GSceneCtrl* mSceneCtrl = nullptr;
    GGoalIndicator mGoalIndicator;
    std::vector<GSmallHintPanel*> mScoreLabels;
    GFlyText* mWhiteScoreText = nullptr;
    std::vector<GFlyEmitter*> mFlyEmitters;
    GSmallHintPanel* mSmallHintPanel = nullptr;
    GHintPanel* mHintPanel = nullptr;
    int32_t mStepCounter = 0;
    TText* mMoneyText = nullptr;
    TText* mJudgingCountText = nullptr;
    int32_t mPowerDeltaY = 0;
    int32_t mPowerDeltaX = 0;
    int32_t mPowerBeginY = 0;
    int32_t mPowerBeginX = 0;
    std::vector<str> mPowerButtons;
    str mSelectorText;
    bool mSelectorPending = false;
    // The main script the functions were published in.
    lua_State* mPublished = nullptr;
};
