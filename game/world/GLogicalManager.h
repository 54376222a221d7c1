// The process-wide object that drives play on the current level. This is the part game objects
// and their tasks reach: the timers' task list (the game screen's), the game data's closing flag,
// score, change notices, removal from the level, particle effects, the buy button and the path
// grid, each giving its answer for a missing game screen, game data or level. Made on first use,
// destroyed at process exit. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/world/GEventDispatcher.h"
#include "game/world/GGameObjectTimer.h"
#include "game/world/GPathGrid.h"

#include <cstdint>
#include <map>
#include <vector>

class GBaseLogicalScene;
class GFlyEmitter;
class GGameData;
class GGameObject;
class GLevel;
class GVLayer;
class TWindow;
class GLogicalManagerHooks;
class G_VoidLink;
class TModalWindow;

class GLogicalManager {
public:
    static GLogicalManager& Instance();

    // Binds the game log's module "Logical" to the discarding writer.
    GLogicalManager();
    GLogicalManager(const GLogicalManager&) = delete;
    GLogicalManager& operator=(const GLogicalManager&) = delete;

    // Not owned. The path grid is sized for the play area.
    void SetGameData(GGameData* data);
    GGameData* GetGameData() const { return mGameData; }
    // The modal window whose task list runs the timers (not owned); null when there is none.
    // Tests set it directly; the game control sets it when it registers.
    void SetGameScreen(TModalWindow* screen) { mGameScreen = screen; }
    TModalWindow* GetGameScreen() const { return mGameScreen; }
    // The shell's windows (not owned); null goes back to the behaviour of missing windows.
    void SetHooks(GLogicalManagerHooks* hooks);
    GLogicalManagerHooks& GetHooks() const { return *mHooks; }

    // Into the game screen's task list, which then owns it; false without a screen or a timer
    // (the timer stays the caller's).
    bool AddTimerTask(GGameObjectTimer* timer);
    // The game data's closing flag; true without game data.
    bool IsClosing() const;
    // 0 before the first level, 1 loaded, 2 playing, 3 carrying an object, 4 level ended.
    int GetGameState() const { return mGameState; }
    // The points go to the current level; nothing without game data or level.
    void AddScore(int points);
    // An object changed: unless something is carried, an object with a pending task takes the
    // mouse again.
    void OnObjectChanged(GGameObject* object);
    // Takes the object out of play and the level deletes it; 0 without game data or level.
    int RemoveObject(GGameObject* object, bool stopScenes);
    // The game window's fly emitter for the particle script, or null.
    GFlyEmitter* CreateParticleEffect(const str& script);
    // Refreshes the buy button of the upgrade phase; false without a level.
    bool UpdateBuyButton();
    // The walkability grid of the play area and its path finder: empty until game data is set.
    GPathGrid& GetPathGrid() { return mPathGrid; }

    // The game data's current level, or null.
    GLevel* GetLevel() const;
    // The game and scene controls' draw lists, the hint panels and score texts of the game
    // window; null without it.
    GVLayer* GetGameLayer() const;
    GVLayer* GetSceneLayer() const;
    TWindow* GetHintPanel() const;
    TWindow* GetSmallHintPanel() const;
    TWindow* GetWhiteScoreText() const;
    TWindow* GetIdleScoreLabel(const str& text) const;
    // To the power meter, when the level has one.
    void AddPowerScore(int points);
    // 1 when no power is in use and the kind is 1 to 4, else 0.
    int CanUsePower(int kind) const;
    // 1 when the power was started; the powers start once they are a class of their own.
    int UsePower(int kind);
    // The part selector's modal window and selector window, kept between openings; the manager
    // does not own them yet.
    void SetSelectorModal(TModalWindow* modal) { mSelectorModal = modal; }
    TModalWindow* GetSelectorModal() const { return mSelectorModal; }
    void SetSelectorWindow(TWindow* window) { mSelectorWindow = window; }
    TWindow* GetSelectorWindow() const { return mSelectorWindow; }
    // False without a heroine; else whether the current level offers touch-ups.
    bool CanTouchUp();

    // The level's special objects, filed by their exact class; other classes are ignored.
    void RegisterObject(GGameObject* object);
    void UnregisterObject(GGameObject* object);
    // The first preparation queue (in sorted order) without an occupant, or null.
    GGameObject* FirstFreePreparationQueue() const;
    GGameObject* GetHeroine() const { return mHeroine; }
    GGameObject* GetJudgingScene() const { return mJudgingScene; }
    GGameObject* GetJudgingDoor() const { return mJudgingDoor; }
    GGameObject* GetEntranceDoor() const { return mEntranceDoor; }
    GGameObject* GetPowerMeter() const { return mPowerMeter; }
    const std::map<str, GGameObject*>& GetPersonages() const { return mPersonages; }
    const std::multimap<str, GGameObject*>& GetGirls() const { return mGirls; }
    const std::vector<GGameObject*>& GetJudgingPlaces() const { return mJudgingPlaces; }
    const std::vector<GGameObject*>& GetPreparationQueues() const { return mPreparationQueues; }

    // Leaving 3 for 2 queues the deferred Lua texts; entering 2 resumes after a carry; entering 3
    // holds the judging scene unless the judging door does not know the carried object's scene;
    // entering 4 takes the mouse from every object.
    void SetGameState(int state);
    void ResumeAfterCarry();
    // Whether the judging scene's timer is held while something is carried.
    bool IsJudgingSceneHeld() const { return mJudgingSceneHeld; }
    void SetCarriedObject(GGameObject* object) { mCarriedObject = object; }
    GGameObject* GetCarriedObject() const { return mCarriedObject; }
    // A Lua text for the game control that waits while something is carried.
    void DeferLuaText(const str& text) { mDeferredLuaTexts.push_back(text); }
    const std::vector<str>& GetDeferredLuaTexts() const { return mDeferredLuaTexts; }
    void SetCurrentScene(GBaseLogicalScene* scene) { mCurrentScene = scene; }
    GBaseLogicalScene* GetCurrentScene() const { return mCurrentScene; }
    void SetPoiseEffect(GFlyEmitter* effect) { mPoiseEffect = effect; }
    GFlyEmitter* GetPoiseEffect() const { return mPoiseEffect; }
    int GetPowerInUse() const { return mPowerInUse; }
    GEventDispatcher& GetEventDispatcher() { return mEventDispatcher; }

    // The level flow.
    void OnLevelLoaded(GLevel* level);
    void OnLevelBegin();
    void OnLevelEnd();
    // Applies the bought girl upgrades as play starts.
    void OnUpgradePhaseEnd();
    // The result, award or try-again dialog in the main window script.
    void ShowLevelResult(int result);
    static bool IsAwardLevel(int level);
    // Forgets everything that belongs to the level.
    void ResetLevel();
    // Deletes the live scenes and forgets the game's windows.
    void DeleteLiveScenes();
    // After the main loop: the player's total score ends the statistics' session.
    void CloseGame();
    // The position editor's saver; nothing is saved until the developer tools come.
    int SaveObjectPosition(const str& name, int x, int y);

    // The level's switch slots: what the mouse strategies report. Play input comes with the
    // logical scenes; until then nothing happens.
    void OnDragOver(GGameObject* /*dragged*/, GGameObject* /*target*/) {}
    int OnDrop(GGameObject* /*dragged*/, GGameObject* /*target*/) { return 0; }
    void OnDragLeave(GGameObject* /*dragged*/, GGameObject* /*target*/) {}
    void OnDragEnd(GGameObject* /*object*/) {}
    void OnGrab(GGameObject* /*object*/) {}
    void OnObjectClick(GGameObject* /*object*/, int /*blocked*/) {}
    // The mouse cursor: 1 click, 2 want, 3 drag, anything else the default arrow. The kind
    // already shown does nothing. Returns the kind.
    int SetCursor(int kind);
    // 5 until the first SetCursor, which therefore always sets a cursor.
    int GetCursorKind() const { return mCursorKind; }
    // The object's buy dialog in the main window script; the object becomes the pending upgrade.
    // Nothing for a link that is not a game object.
    void RunBuyDialog(G_VoidLink* upgrade);
    // The buy dialog's answer: with ok the pending upgrade is bought, the money shown and the
    // progress saved. The pending upgrade is cleared either way.
    void CPP_EndBuyDialog(bool ok);
    // Not owned; null when no buy dialog is open.
    GGameObject* GetPendingUpgrade() const { return mPendingUpgrade; }
    // How the upgrade screen names the object's offered upgrade: base type, "_", upgrade level.
    static str UpgradeName(GGameObject& object);
    // The Lua text that opens the buy dialog for the upgrade of that name and price.
    static str BuyDialogText(int price, const str& name);

private:
    // The power buttons go (Lua "HidePowerButtons").
    static void HidePowerButtons();
    void SetObjectsMouse(bool enabled);
    void ClearLevelObjects();

    GGameData* mGameData = nullptr;
    TModalWindow* mGameScreen = nullptr;
    GLogicalManagerHooks* mHooks;
    int32_t mGameState = 0;
    // Owned.
    std::vector<GBaseLogicalScene*> mLiveScenes;
    int32_t mPowerInUse = 0;
    // The registries; objects are the level's.
    std::map<str, GGameObject*> mPersonages;
    std::multimap<str, GGameObject*> mGirls;
    std::vector<GGameObject*> mJudgingPlaces;
    std::vector<GGameObject*> mPreparationQueues;
    GGameObject* mHeroine = nullptr;
    GGameObject* mJudgingScene = nullptr;
    GGameObject* mJudgingDoor = nullptr;
    GGameObject* mEntranceDoor = nullptr;
    GGameObject* mPowerMeter = nullptr;
    GEventDispatcher mEventDispatcher;
    // Not owned: the scene whose Lua hook runs.
    GBaseLogicalScene* mCurrentScene = nullptr;
    std::vector<str> mDeferredLuaTexts;
    bool mQueuePreviewOn = false;
    bool mPodiumRequest = false;
    GGameObject* mPendingUpgrade = nullptr;
    // The poise power's effect; owned by the game window.
    GFlyEmitter* mPoiseEffect = nullptr;
    GGameObject* mCarriedObject = nullptr;
    bool mJudgingSceneHeld = false;
    int32_t mCursorKind = 5;
    GPathGrid mPathGrid;
    // Not owned.
    TModalWindow* mSelectorModal = nullptr;
    TWindow* mSelectorWindow = nullptr;
};
