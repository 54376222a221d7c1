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
#include "game/world/GPowerRecord.h"
#include "game/world/GTutorialHooks.h"
#include "game/world/GWrapperModalCaller.h"

#include <cstdint>
#include <map>
#include <memory>
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
class G_ICanListenSwitch;
class TModalWindow;
class TScript;
class GTutorialFilter;
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
    // 1 when no power is in use, no power record exists and the kind is 1 to 4, else 0.
    int CanUsePower(int kind) const;
    // 1 when the power was started or waits for the heroine's scene; 0 while another power runs,
    // without a heroine, or for an unknown kind.
    int UsePower(int kind);
    // The power machinery: every record started, the girls taken and the power scenes made; the
    // power ends at once (buttons shown) when it finds nothing to do. The count of girls taken,
    // 1 for the poise power.
    int StartPower();
    // Takes the girls out of the served stations still in their first stage: those scenes, and
    // every other scene that holds such a girl, are destroyed without their end. The count.
    int TakeGirlsForPower();
    void StartPowerScenes();
    // The personage left the scene of that number: a power waiting for it may start, a power
    // scene's end finishes its record. 1 when a waiting power was looked at.
    int OnPowerSceneEvent(GGameObject* personage, int sceneNumber);
    // The record is finished and its owner gets the saved speed back; 0 for an unknown index.
    int FinishPowerRecord(int index);
    // No record waits for a scene.
    bool PowerScenesFree() const;
    // Once every record is finished: buttons shown, no power in use, records gone.
    void CheckPowerEnd();
    const std::vector<GPowerRecord>& GetPowerRecords() const { return mPowerRecords; }
    // The part selector's modal window and selector window, kept between openings; CloseGame has
    // the window manager delete the selector window.
    void SetSelectorModal(TModalWindow* modal) { mSelectorModal = modal; }
    TModalWindow* GetSelectorModal() const { return mSelectorModal; }
    void SetSelectorWindow(TWindow* window) { mSelectorWindow = window; }
    TWindow* GetSelectorWindow() const { return mSelectorWindow; }
    // The window that registered as the game's separate layer (not owned), or null.
    void SetSeparateLayer(TWindow* layer) { mSeparateLayer = layer; }
    TWindow* GetSeparateLayer() const { return mSeparateLayer; }
    // False without a heroine or when her touch-up time is not above 0; else whether the current
    // level offers touch-ups.
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
    bool IsJudgingSceneHeld() const;
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
    // Stores the kind; 0 shows the power buttons again.
    void SetPowerInUse(int kind);
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
    // Deletes the scenes a reset dropped, once the level's objects are gone.
    void DeleteDroppedScenes();
    // After the main loop: the player's total score ends the statistics' session.
    void CloseGame();

    // Developer tools (GLogicalManagerTools.cpp); each needs a level. The object editor runs as a
    // child process in a window beside the game, with the "stop_game" dialog over the game: 1
    // when tried, 0 in full screen or without user profiles or level.
    int StartObjectEditor();
    void CloseStopGameDialog();
    // The position editor: the level's editable objects are dragged with the mouse and their
    // positions saved through the level-data saver into the level file. Starting answers whether
    // the saver opened (only a playing level can be edited); stopping with save writes the file,
    // without it drops what was moved. 1.
    int StartPositionEditor();
    int StopPositionEditor(bool save);
    bool IsPositionEditorOn() const;
    // One moved object for the saver; its answer.
    int SaveObjectPosition(const str& name, int x, int y);
    // The same level loaded again from files: game data, scene file and visual objects; 0
    // without game data or level, else 1.
    int ReloadAll();
    // Each girl's debug drawing (which draws nothing).
    void DebugDrawStudents();
    // The tutorial engine's notice that an action starts or ends; nothing comes of it.
    void OnTutorialActionHook(bool /*started*/) {}
    // Tutorials (GLogicalManagerTutorials.cpp). The shell's maker makes the engine when a level
    // first needs one; null makes none. The engine of an earlier maker goes.
    void SetTutorialMaker(GTutorialMaker maker);
    // Null while no tutorial list loaded: every tutorial call is then skipped.
    GTutorialHooks* GetTutorialProcessor() const { return mTutorialProcessor.get(); }
    const str& GetTutorialFile() const { return mTutorialFile; }
    // The level's set "scripts/stages/tutorial_%02d.lua" replaces the previous level's, unless the
    // player has seen it; the engine is made with the common set on first need.
    void LoadLevelTutorial(int level);
    // The current player has seen the current level's tutorial.
    void MarkLevelTutorialSeen();
    // The first object of the level's list that the filter matches, or null.
    GGameObject* FindObjectByFilter(const GTutorialFilter* filter) const;

    // The level's switch slots: what the mouse strategies report.
    // A girl dragged over a judging place: the row shows where the others would go; 1 when shown.
    int OnDragOver(GGameObject* girl, GGameObject* place);
    void OnDragLeave(GGameObject* girl, GGameObject* place);
    // A carried object released over the target (or none): a scene, or the carry just ends.
    // 1 when a scene came about.
    int OnDrop(GGameObject* object, GGameObject* target);
    // A drag ended without a drop target; 1.
    int OnDragEnd(GGameObject* object);
    // An object was picked up: the possible drop targets take the mouse; 1 when carrying.
    int OnGrab(GGameObject* object);
    // A click; with keep state the game state stays. 1 when the click was taken.
    int OnObjectClick(GGameObject* object, bool keepState);
    int StartCarryPacifier(GGameObject* object);
    int OnPacifierDrop(GGameObject* pacifier, GGameObject* target);
    // CreateScene unless something is carried (or forced); null for no object or name.
    GBaseLogicalScene* GoToScene(const str& name, GGameObject* object, GGameObject* target,
                                 bool forced);
    // The heroine joins the first live scene the object fills that is not full; true when there
    // was one.
    bool JoinHeroineToSceneOf(GGameObject* object);
    // GoToScene, forced with a personage, which (or else the heroine) then joins the scene.
    GBaseLogicalScene* GoToSceneWithPersonage(const str& name, GGameObject* object,
                                              GGameObject* personage);
    void OnTouchUpSceneEnd(GBaseLogicalScene* scene, GGameObject* girl);
    // The first personage by name that offers the action goes with the object to the scene named
    // after the personage; the personage when that scene came about, else null.
    GGameObject* RequestPersonage(GGameObject* object, const str& action);
    // Tutorials lock (1) or free (0) the mouse of every level object outside the exceptions;
    // the number of level objects.
    int SetObjectsEnabled(int lock, const std::vector<const GTutorialFilter*>& exceptions);
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
    // The dress a girl of the type gets in the scene: a random pick between the scene script's
    // "GetMinChoiceIndex" and "GetMaxChoiceIndex" when both are above 0; else 1 when the maximum is
    // not 0, else 0.
    int GetChoiceIndex(const str& girlType, const str& scene);
    // Exact classes the scenes tell apart by name until their classes exist.
    static bool IsPreparationQueue(const GGameObject* object);
    static bool IsPacifier(const GGameObject* object);
    // Hands the occupants of the preparation queues forward so the occupied ones close up.
    void CompactPreparationQueues();
    // In order, each occupant is handed to the first holder before it that kept nothing; the
    // number of occupants that moved.
    static int CloseUp(const std::vector<GGameObject*>& holders);

    // The row of judging places (sorted by x, largest first, as play begins), each holding at most
    // one girl.
    int GetQueuePlaceCount() const { return static_cast<int>(mJudgingPlaces.size()); }
    GGameObject* GetFirstQueuePlace() const;
    int CountQueuedGirls() const;
    bool AllPlacesOccupied() const;
    GGameObject* FirstFreePlace() const;
    // Empties the place by moving its occupant and those behind it one place on toward the free
    // place after it (else before it); false for no such place in the row or a full row.
    bool MakeRoomAt(GGameObject* place);
    // The occupant of from is lifted out, then room is made at to.
    bool MoveIntoPlace(GGameObject* from, GGameObject* to);
    // The occupants close up toward the start of the row; how many moved.
    int CompactQueue();
    // Where the row would move its girls if the girl were placed on the place; 1 (0 for a place
    // outside the row).
    int ShowPreview(GGameObject* girl, GGameObject* place);
    // Every occupant but the excepted one stands at its own place again; the number of places.
    int ClearQueuePreview(GGameObject* except);
    bool IsQueuePreviewOn() const { return mQueuePreviewOn; }
    bool IsPodiumRequested() const { return mPodiumRequest; }
    // Numbers the girls that continue the judged run of one judging kind, along the row (or its
    // preview).
    void RefreshComboNumbers(bool usePreview);
    // The combo numbers, then the door (or else the judging scene) hears how many girls wait.
    void OnQueueChanged();
    // The judging scene's combo bonus, with its count, label text and key; 0 without the scene.
    int GetJudgingComboBonus(int& count, str& label, str& key);
    // The first waiting girl, taken off her place; null when none waits or she is busy.
    GGameObject* TakeFirstWaitingGirl();
    // The girl's judging ended: she goes round again or leaves as served; the judges and the door
    // hear how many still wait.
    void OnEndJudging(GGameObject* girl);
    // The place index of the waiting girl with the lowest "current_poise" when that is at most the
    // limit (the poise goes out), else -1.
    int FindTussleCandidate(int limit, int& poise);
    // "CalcTussleDelayTime" of the scene script for the lowest poise waiting; 0 with nobody.
    int GetTussleDelay(int mode);
    // The girl of the place quarrels with a neighbour ("tussle"); 1 when the scene began.
    int StartTussle(int index);
    // The judges' reaction and score cards for the girl's points, and her lips and particles.
    void ShowJudgesScore(GGameObject* girl, int points);

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

    using GSceneDialogCaller = GWrapperModalCaller<GBaseLogicalScene>;
    // The open dialogs and the scenes waiting for their answers, in the order they opened.
    const std::vector<std::unique_ptr<GSceneDialogCaller>>& GetDialogCallers() const {
        return mDialogCallers;
    }
    void DeleteDialogCallers() { mDialogCallers.clear(); }
    // The last id given to a dialog; ids are not reused across levels.
    int GetDialogIdCounter() const { return mDialogIdCounter; }
    // What the part selector is set up with before it opens.
    struct GChooseUserText {
        str mObjectName;
        int mDialog = 0;
        int mEntry = 0;
        str mScene;
        str mGirlType;
        int mHair = 0;
        int mMakeup = 0;
        int mMask = 0;
        int mManicure = 0;
        int mStage = 0;
        int mLevel = 0;
        bool mCached = false;
    };
    // The selector's set-up text; the names go in as Lua string literals.
    static str ChooseUserText(const GChooseUserText& values);

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
    int32_t mCursorKind = 5;
    GPathGrid mPathGrid;
    // Not owned.
    TModalWindow* mSelectorModal = nullptr;
    TWindow* mSelectorWindow = nullptr;
    TWindow* mSeparateLayer = nullptr;
    std::unique_ptr<TScript> mSceneScript;
    str mSceneFile;
    // Owned: what ResetLevel dropped, deleted after the level's objects.
    std::vector<GBaseLogicalScene*> mDroppedScenes;
    // The main script the functions were published in, to withdraw them from.
    lua_State* mPublishedState = nullptr;
    std::vector<std::unique_ptr<GSceneDialogCaller>> mDialogCallers;
    int32_t mDialogIdCounter = 0;
    std::vector<GPowerRecord> mPowerRecords;
    GTutorialMaker mTutorialMaker = nullptr;
    std::unique_ptr<GTutorialHooks> mTutorialProcessor;
    str mTutorialFile;

    // A new dialog id with a caller record for the current scene.
    int OpenDialogCaller();
    // The first caller of the id that still has its scene, out of the list; null when none.
    std::unique_ptr<GSceneDialogCaller> TakeDialogCaller(int dialog);
    // The scene goes: no dialog answer may reach it.
    void ForgetDialogScene(const GBaseLogicalScene* scene);
    // The object leaves the level: no power record keeps it.
    void ForgetPowerObject(const GGameObject* object);
    // The power ends with nothing more to do: buttons shown, no power in use, records gone.
    void DropPower();
    // A reset's tutorial step: everything of the level's tutorials goes.
    void ResetTutorials();

    static bool HasClass(const GGameObject* object, const char* className);
    // Deletes the live scenes and clears the dispatcher.
    void DeleteScenes();
    std::vector<GGameObject*> LevelObjects() const;
    // The preview is cleared (except for the object) when it is on, and switched off.
    void EndQueuePreview(GGameObject* except);
    // The index of the judging place, or -1.
    int PlaceIndex(const GGameObject* place) const;
    // No place shows or previews the object, which is being deleted.
    void ForgetInRow(const GGameObject* object);
    // The occupant of place from goes to place to, in the row; false when the place refused.
    bool ShiftOccupant(size_t from, size_t to);
    void HoldJudgingScene(bool hold);
    // The carry ends: playing again, the girl dispatched when asked and not over her holder, and
    // the broadcast.
    void EndCarry(GGameObject* object, GGameObject* target, bool dispatchGirl);
    // CreateScene; made tells whether a scene came about, even one that has closed already.
    GBaseLogicalScene* MakeScene(const str& name, GGameObject* object, GGameObject* target,
                                 bool beginWhenFull, bool keepState, bool& made);
    // The participant of the current scene, or null.
    GGameObject* Participant(int index) const;
};
