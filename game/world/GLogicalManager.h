// The process-wide object that drives play on the current level. This is the part game objects
// and their tasks reach: the timers' task list (the game screen's), the game data's closing flag,
// score, change notices, removal from the level, particle effects, the buy button and the path
// grid, each giving its answer for a missing game screen, game data or level. Made on first use,
// destroyed at process exit. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/world/GGameObjectTimer.h"
#include "game/world/GPathGrid.h"

#include <cstdint>
#include <memory>
#include <vector>

class GBaseLogicalScene;
class GFlyEmitter;
class GGameData;
class GGameObject;
class GLogicalManagerHooks;
class G_VoidLink;
class G_ICanListenSwitch;
class TModalWindow;
class TScript;
struct lua_State;

class GLogicalManager {
public:
    static GLogicalManager& Instance();

    // Binds the game log's module "Logical" to the discarding writer.
    GLogicalManager();
    // Deletes the live scenes and the scene script; withdraws the functions from the main script.
    ~GLogicalManager();
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

    // The mouse cursor: 1 click, 2 want, 3 drag, anything else the default arrow. The kind
    // already shown does nothing. Returns the kind.
    int SetCursor(int kind);
    // 5 until the first SetCursor, which therefore always sets a cursor.
    int GetCursorKind() const { return mCursorKind; }
    // The level's listener of the mouse strategies; null without a level.
    G_ICanListenSwitch* GetSwitchListener() const;

    // Scenes. The scene script runs the scene file; every scene hook runs in it. Null until a
    // scene file was loaded.
    TScript* GetSceneScript() const { return mSceneScript.get(); }
    // Deletes the live scenes, makes a new scene script with the "CPP_" functions, runs the file
    // and makes a prototype of each entry of its "scenes" table.
    void LoadScenes(const str& file);
    // Deletes every live scene (the game closes).
    void DeleteLiveScenes();
    void SetCurrentScene(GBaseLogicalScene* scene) { mCurrentScene = scene; }
    GBaseLogicalScene* GetCurrentScene() const { return mCurrentScene; }
    const std::vector<GBaseLogicalScene*>& GetLiveScenes() const { return mLiveScenes; }
    bool IsLiveScene(const GBaseLogicalScene* scene) const;
    // A copy of the named prototype linked to the object and target, created and (when asked and
    // full) begun; null when there is no such scene, the link refused or the scene closed itself.
    GBaseLogicalScene* CreateScene(const str& name, GGameObject* object, GGameObject* target,
                                   bool beginWhenFull, bool keepState);
    // Where a scene ends: forgotten as the current scene and by the dispatcher, and deleted. An
    // unknown scene is ignored.
    void DestroyScene(GBaseLogicalScene* scene);
    // StopAndClose on every live scene the object fills; true when there was one.
    bool StopScenesOf(GGameObject* object);
    // A scene lets the object go: it may take the mouse again and hears the scene's end.
    void ReleaseFromScene(GBaseLogicalScene* scene, GGameObject* object, bool reenable);
    // Plans the object's path to the target's landing point (or its approach point); true when
    // the path has points.
    bool WalkToEntry(GGameObject* object, GGameObject* target, bool landing);
    // The object is being deleted: no live scene, holder or carry keeps it.
    void ForgetObject(GGameObject* object);
    // Exact classes the scenes tell apart by name until their classes exist.
    static bool IsPreparationQueue(const GGameObject* object);
    static bool IsPacifier(const GGameObject* object);
    // Hands the occupants of the preparation queues forward so the occupied ones close up.
    void CompactPreparationQueues();

    // The Lua functions of the main and scene scripts; participant n is entry n of the current
    // scene.
    void RegisterLuaFunctions(lua_State* state);
    int CPP_SetAnimState(int participant, str state);
    int CPP_SetSimpleAnimState(int participant, str state);
    int CPP_CalcPath(int participant, int target);
    int CPP_MoveToBasePos(int participant);
    int CPP_SendMessageToObject(int participant, int kind, str text);
    int CPP_ModifyCheck(int participant, int delta);
    int CPP_TouchUp(int participant);
    void CPP_SetTouchUpDirection();
    void CPP_SyncTaskTime(int participant, str task, int participant2, str task2);
    void CPP_RestoreTaskTime(int participant, str task);
    void CPP_PlaySound(str name);
    void CPP_EndChooseUser(int dialog, int entry, int result, int poiseFactor);
    void CPP_EndPowerMeterDialog(int dialog, int kind, int value);
    void CPP_RunChooseUser(int entry);
    void CPP_RunPowerMeterDialog(int entry);
    void CPP_OnEndJudging();
    void CPP_OnEnterPodium(int flag);
    void CPP_GenerateChooseUser(int participant, int poiseFactor);
    void CPP_OnPoisePower(int kind, int ignored);
    void CPP_CheckComboNumbers();

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
    GGameData* mGameData = nullptr;
    TModalWindow* mGameScreen = nullptr;
    GLogicalManagerHooks* mHooks;
    int32_t mGameState = 0;
    int32_t mCursorKind = 5;
    GGameObject* mPendingUpgrade = nullptr;
    GPathGrid mPathGrid;
    std::unique_ptr<TScript> mSceneScript;
    str mSceneFile;
    // Owned, in creation order.
    std::vector<GBaseLogicalScene*> mLiveScenes;
    // Not owned: the scene whose Lua hook runs.
    GBaseLogicalScene* mCurrentScene = nullptr;
    // The main script the functions were published in, to withdraw them from.
    lua_State* mPublishedState = nullptr;

    // CreateScene; made tells whether a scene came about, even one that has closed already.
    GBaseLogicalScene* MakeScene(const str& name, GGameObject* object, GGameObject* target,
                                 bool beginWhenFull, bool keepState, bool& made);
    // The participant of the current scene, or null.
    GGameObject* Participant(int index) const;
};
