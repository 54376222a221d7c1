// What the logical manager asks of the game's windows, which the shell owns: each body here is the
// behaviour while that window is missing. The shell registers its implementation with the manager
// and keeps it alive while registered. Main thread.
#pragma once

#include "engine/core/str.h"

class GBaseSimpleTask;
class GFlyEmitter;
class GGameObject;
class GVLayer;
class TWindow;

class GLogicalManagerHooks {
public:
    virtual ~GLogicalManagerHooks() = default;

    // The game window's fly emitter for the particle script; null when there is none.
    virtual GFlyEmitter* FindFlyEmitter(const str& /*script*/) { return nullptr; }

    // The game window.
    virtual bool HasGameWindow() { return false; }
    virtual void SetBackground(const str& /*background*/) {}
    virtual void UpdateJudgingCount() {}
    // 1 when the button and its disabled look were placed.
    virtual int PlacePowerButton(const str& /*power*/, int /*position*/) { return 0; }
    virtual void ShowPowerButtons(bool /*show*/) {}
    virtual void SetMoney(int /*money*/) {}
    virtual void SetGuideGlow(bool /*on*/) {}
    virtual void StopScoreText() {}
    // The part selector opens at the game window's next tick with the set-up text; a later request
    // before that replaces the text.
    virtual void RequestSelector(const str& /*text*/) {}
    // "CPP_LoadLevel" of the game window.
    virtual void LoadLevel(int /*level*/, int /*stage*/) {}
    // The game control's and the scene control's draw lists.
    virtual GVLayer* GetGameLayer() { return nullptr; }
    virtual GVLayer* GetSceneLayer() { return nullptr; }
    virtual TWindow* GetHintPanel() { return nullptr; }
    virtual TWindow* GetSmallHintPanel() { return nullptr; }
    virtual TWindow* GetWhiteScoreText() { return nullptr; }
    virtual TWindow* GetIdleScoreLabel(const str& /*text*/) { return nullptr; }
    // The judges' points: the first idle score label's description colour is cleared, then the
    // white score text shows the text from the point and flies in the direction (below 0 down, 0
    // in place, above 0 up). Nothing without a white score text.
    virtual void FlyWhiteScoreText(const str& /*text*/, int /*x*/, int /*y*/, int /*direction*/) {}
    // A scene's points: the first idle score label shows the description on the background (1 or
    // 2) at the point and flies with the points. Nothing when no label is idle.
    virtual void FlyScoreLabel(const str& /*description*/, int /*background*/, int /*x*/, int /*y*/,
                               int /*points*/) {}

    // The goal indicator of the game window.
    virtual void SetScore(int /*score*/) {}
    virtual void SetGoals(int /*goal*/, int /*expert*/) {}
    virtual void AddDistance(int /*distance*/) {}

    // The game control runs the Lua text when it may (GGameCtrl::QueueLuaText).
    virtual void QueueLuaText(const str& /*text*/) {}

    // What the tutorial engine hears of play: an accepted click, a pacifier given, a touch-up
    // done by the heroine.
    virtual void TutorialClick(GGameObject* /*object*/) {}
    virtual void TutorialDragEnd(GGameObject* /*object*/) {}
    virtual void TutorialTouchUpEnd(GGameObject* /*heroine*/, GGameObject* /*girl*/) {}
    // A task of a personage or girl started or ended.
    virtual void TutorialTaskStart(GBaseSimpleTask* /*task*/) {}
    virtual void TutorialTaskEnd(GBaseSimpleTask* /*task*/) {}
    // What the tutorial engine hears of the girls: a named game event, a chance of a touch-up by
    // the personage, a wish raised and an appearance.
    virtual void TutorialGameEvent(GGameObject* /*object*/, const str& /*event*/) {}
    virtual void TutorialTouchUp(GGameObject* /*personage*/) {}
    virtual void TutorialWish(GGameObject* /*girl*/, const str& /*scene*/) {}
    virtual void TutorialAppeared(GGameObject* /*girl*/) {}
    // The scene control forgets a girl that leaves the level.
    virtual void ForgetGirl(GGameObject* /*girl*/) {}
    // The scene control draws a girl who stands before the judges.
    virtual void AddToSceneControl(GGameObject* /*girl*/) {}

    // The hint panel with the texts of the two string-table labels, the item's cost and whether it
    // is recommended; and hiding it.
    virtual void ShowHint(const str& /*nameLabel*/, const str& /*descriptionLabel*/, int /*cost*/,
                          bool /*recommended*/) {}
    virtual void HideHint() {}
};
