// The base of everything placed on a level: a name and a Lua type, a visual built from an object
// path, a Lua state of its own running the type's script, a timer that runs Lua triggers, a list
// of timed tasks, the logical scenes the object takes part in, a walk mask for the path grid, an
// upgrade record and a mouse strategy. The object factory keeps one prototype per object name
// (InitFromTable) and hands out clones; the level places each clone (InitInLevel) and owns it
// until it is removed. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "engine/script/script.h"
#include "game/world/GGameObjectTimer.h"
#include "game/world/GPathGrid.h"
#include "game/world/GTaskData.h"
#include "game/world/GUpgradeData.h"
#include "game/world/G_ICanListenMouse.h"
#include "game/world/G_VoidLink.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

class GBaseLogicalScene;
class GBaseSimpleTask;
class GFlyEmitter;
class GLevel;
class GStratMousePikUp;
class GVObject;
class TLuaTable;

class GGameObject : public GBaseTimerObj, public G_ICanListenMouse, public G_VoidLink {
public:
    // The id of this class, taken from the running class-id counter at start-up.
    static int sClassId;

    GGameObject();
    GGameObject(const GGameObject&) = delete;
    GGameObject& operator=(const GGameObject&) = delete;

    // One timer tick: while active, the triggers run; a wanted removal comes last.
    bool OnTimer() override;
    virtual bool IsKindOf(int classId) const { return classId == sClassId; }
    virtual const char* GetClassName() const { return "GGameObject"; }
    virtual int GetClassId() const { return sClassId; }
    // Tasks and triggers go, the timer is unhooked, then the visual, the strategy and the Lua
    // state (its functions withdrawn first).
    ~GGameObject() override;
    // A new object of the same class copied from this one.
    virtual GGameObject* Clone() const;
    // Reads the type's tasks, triggers, walk mask, scenes and visual path and builds the prelude;
    // false without a type table.
    virtual bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable);
    // Places the object on a level: upgrade record, Lua state, timer, position and visual. False
    // when its upgrade group offers nothing yet and nothing was bought.
    virtual bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                             GLevel* level);
    virtual int CheckClick() { return 0; }
    virtual void StartGame() { mActive = true; }
    virtual void StopGame() { mActive = false; }
    virtual void LeaveScene(const str& /*scene*/, bool /*keep*/) {}
    virtual void Block(const str& scene);
    virtual void Unblock(const str& scene);
    virtual bool IsBlocked() const { return mBlocked; }
    virtual int SaveState();
    virtual bool RestoreState();
    virtual bool HasSavedState() const { return mSavedValid; }
    // The task ended for the reason: it leaves the list and is destroyed.
    virtual void OnTaskEnd(GBaseSimpleTask* task, int reason);
    virtual void OnTaskBegin(bool resumed);
    virtual bool HasPendingTask(bool /*flag*/) { return false; }
    virtual void SetLocked(bool flag) { mLocked = flag; }
    bool IsLocked() const { return mLocked; }
    virtual bool IsStudent() const { return false; }
    virtual bool Reserved23() { return false; }
    // Queues the walk task toward the named target for the listener; 0 in the base.
    virtual int WalkTo(const str& /*target*/, const str& /*task*/, GBaseLogicalScene* /*listener*/,
                       bool /*atFront*/) {
        return 0;
    }
    virtual int PickHolder(std::vector<GGameObject*>& /*objects*/) { return 0; }
    virtual void UpdateHolder() {}
    virtual void SetUpgradeLevel(int level) { mUpgradeLevel = level; }
    // One upgrade level more, booked as bought, shown, and the buy button refreshed.
    virtual void Upgrade();
    // Play starts: the upgrade view goes; an object of which nothing was bought leaves the level.
    virtual void LeaveUpgradeMode(int level);
    virtual bool IsHolder() const { return false; }
    virtual int StartCurrentTask();
    // The points a moving task walks the object along, first the next; null in the base.
    virtual GPathPoints* GetPathData() { return nullptr; }
    virtual void SetPosition(int x, int y);
    virtual int TakeObject(GGameObject* /*object*/) { return 0; }
    virtual GGameObject* GetOccupant() { return nullptr; }
    virtual int SetOccupant(GGameObject* /*object*/) { return 0; }
    virtual bool CanHold() const { return false; }
    virtual TVec2 GetApproachPoint(GGameObject* /*asking*/) { return TVec2(); }
    virtual TVec2 GetLandingPoint() { return TVec2(); }
    virtual void SetStrategyMode(bool flag);
    virtual int ModifyCheck(int /*delta*/) { return 0; }
    virtual int ShowNumber(int /*number*/) { return 0; }
    virtual int RemoveScene(const str& scene, bool notify);
    virtual void OnSceneEnd(const str& /*scene*/) {}
    virtual bool IsEditable() const { return false; }
    virtual void SetEditMode(bool on, int level);
    virtual void PlaceOccupant() {}
    virtual int ScaleTaskTime(const str& task, float factor);
    virtual void ApplyBaseType(const str& /*task*/) {}
    // The visual's state by name, applied at once; its duration in ms, 0 without a visual.
    virtual int SetLookState(const str& state);
    virtual int SetVisualState(const str& state);
    // The mouse strategy goes.
    virtual void EnterUpgradeMode(int level);
    virtual void ShowUpgradeLevel();
    virtual void ResetUpgradeView();
    virtual void NotifyManager();
    virtual void OnTasksChanged() {}
    virtual void OnTaskFinished(GBaseSimpleTask* /*task*/) {}
    virtual void OnTaskStarted(GBaseSimpleTask* /*task*/) {}

    // To the strategy, when there is one (the move only with a visual too); true.
    bool OnMouseDown(TPoint point) override;
    bool OnMouseUp(TPoint point) override;
    bool OnMouseMove(TPoint point) override;

    GVObject* GetVisual() override { return mVisual.get(); }
    void MoveTo(TPoint point, float depth) override;
    GUpgradeData& GetUpgradeData() override { return mUpgradeData; }
    void SetVisualState(GStateKey key) override;

    // Moved to the centre of its path-grid cell when it has a walk mask; the visual follows.
    void SetPlace(TVec2 point, float depth);
    // SetPlace at the depth of its y; a running particle effect follows.
    void MoveToPoint(float x, float y);
    void SetMouseEnabled(bool flag);
    bool IsMouseEnabled() const { return mMouseEnabled; }
    // The price of the upgrade on offer while the object has a strategy, else 0.
    int GetUpgradePrice() const;
    // The offered upgrade's level while it has a strategy and is recommended, else 0.
    int GetRecommendedLevel() const;
    // Another object is recommended instead.
    void HideRecommended();
    void SetMouseLocked(bool flag);
    bool IsMouseLocked() const { return mMouseLocked; }
    void SetMouseBlocked(bool flag);
    // Takes the strategy (null removes it); the activation rule is applied.
    void SetStrategy(GStratMousePikUp* strategy);
    GStratMousePikUp* GetStrategy() const { return mStrategy.get(); }

    // 1 added (started when asked), 0 unknown name or no task made, -1 while a task runs.
    int AddTask(const str& name, GBaseLogicalScene* listener, bool startNow);
    int QueueTask(const str& name, GBaseLogicalScene* listener, bool atFront);
    // Destroys the first task with the same task id; 0 when none matches.
    int RemoveTask(GBaseSimpleTask* task);
    void DestroyTasks();
    GBaseSimpleTask* GetCurrentTask() const;
    const std::vector<GBaseSimpleTask*>& GetTasks() const { return mTasks; }
    // The task's delay for that total time; 0 for an unknown task.
    int SetTaskTime(const str& task, int total);
    int GetTaskTime(const str& task) const;
    const GTaskData* FindTaskData(const str& task) const;

    int AddScene(const str& scene, bool notify);
    bool HasScene(const str& scene) const;
    bool IsKnownScene(const str& scene) const;
    // Every known scene goes into the scene list, without notice; for holders whose list ran empty.
    void EnterKnownScenes();
    str GetSceneName(int index) const;
    // The scenes the object takes part in now, in order.
    const std::vector<str>& GetScenes() const { return mScenes; }
    void SetTriggerEnabled(const str& function, bool enabled);
    // The cell at the flat index; 0 outside the mask.
    int8_t GetWalkMaskCell(int index) const;
    int GetWalkMaskWidth() const { return mWalkWidth; }
    int GetWalkMaskHeight() const { return mWalkHeight; }
    // Width x height cells row after row, or none.
    const std::vector<int8_t>& GetWalkMaskCells() const { return mWalkCells; }
    // The numbers "x", "y", "z" of the sub-table; false without the table or the sub-table.
    static bool ReadPoint(TLuaTable* table, const char* key, TVec2& point, float& z);
    // The level closes: tasks go without unhooking and the timer is let go.
    void Shutdown();

    // The object's Lua function with one integer argument and one integer result; fatal when it
    // is missing or fails.
    int CallScript(const str& function, int argument);
    TScript& GetScript() { return mScript; }

    const str& GetName() const { return mName; }
    const str& GetBaseType() const { return mBaseType; }
    const str& GetScriptName() const { return mScriptName; }
    const str& GetPrelude() const { return mPrelude; }
    const str& GetVisualPath() const { return mVisualPath; }
    TVec2 GetPosition() const { return mPosition; }
    TVec2 GetStartPosition() const { return mStartPosition; }
    float GetDepthOffset() const { return mDepthOffset; }
    bool IsActive() const { return mActive; }
    void SetActive(bool active) { mActive = active; }
    bool IsClosing() const { return mClosing; }
    bool WantsDestroy() const { return mWantDestroy; }
    int GetUpgradeLevel() const { return mUpgradeLevel; }
    int GetTriggerPeriod() const { return mTriggerPeriod; }
    int GetTickCounter() const { return mTickCounter; }
    size_t GetTriggerCount() const { return mTriggers.size(); }
    GGameObjectTimer* GetTimer() const { return mTimer; }
    GFlyEmitter* GetEffect() const { return mEffect; }
    GGameObject* GetHolder() const { return mHolder; }
    void SetHolder(GGameObject* holder) { mHolder = holder; }

    // The Lua functions of the object's state.
    int CPP_SetAnimState(str state);
    int CPP_SetSimpleAnimState(str state);
    void CPP_SetSimpleAnimCoef(float factor);
    void CPP_WantDestroy();
    void CPP_AddScore(int points);
    void CPP_SetVisible(int flag);
    void ScriptDump(str text);
    void CPP_ParticleFX(int dx, int dy, str name, int ticks);
    double CPP_GetUpgradeDataValue();
    void CPP_PlaySound(str name);

protected:
    // Copies the definition read by InitFromTable; the instance state is not copied.
    void CopyFrom(const GGameObject& other);
    // The object this one holds, for the holders' GetOccupant and SetOccupant; not owned.
    GGameObject* Occupant() const { return mOccupant; }
    void SetOccupantField(GGameObject* object) { mOccupant = object; }
    // The strategy (null removes it) bound to the object and the current level's listener; with
    // mouse on, the mouse is enabled too.
    void InstallStrategy(GStratMousePikUp* strategy, bool mouseOn);
    // The upgrade screen's button: the level shown and the upgrade strategy with the mouse.
    void OfferUpgrade();
    // On: the level editor's strategy with the mouse; off: no strategy.
    void SetEditStrategy(bool on);
    // A holder takes the girl: her old holder lets her go, and she stands at the offset from its
    // position, in front of its visual by z. 0 without a girl or a visual of its own.
    int TakeAt(GGameObject* girl, TVec2 offset, float z);
    // The occupant, when there is one, moves to the offset from the position.
    void MoveOccupantTo(TVec2 offset);
    // An upgrade's start command runs in the object's script; one beginning with "@" is first
    // turned into the command by the level.
    void RunStartCommand(str command);
    // Nothing of it was bought: its name has an upgrade group in the game
    // data. An object without a group is kept whatever its upgrade level says.
    bool IsUnbought() const;
    // The task list itself, for classes that set tasks aside.
    std::vector<GBaseSimpleTask*>& TaskList() { return mTasks; }
    // Destroys the task (not unhooking its timer while closing).
    void DestroyTask(GBaseSimpleTask* task) const;

private:
    struct GTrigger {
        str mFunction;
        bool mDisabled = false;
    };

    void LoadTasks(TLuaTable* table);
    void LoadTriggers(TLuaTable* table);
    void LoadScenes(TLuaTable* table);
    void LoadWalkMask(TLuaTable* table);
    // Publishes the Lua functions in the object's state.
    void PublishLuaFunctions();
    // Runs the script file; an exception out of it is fatal.
    void RunTypeScript();
    // The upgrade record from the game data; false when the object is not to be placed.
    bool TakeUpgradeRecord();
    // The object's timer, repeating with the trigger period, into the game screen's task list.
    void StartTimer();
    // Activates the strategy when the mouse is enabled and neither locked nor suspended.
    void ApplyStrategyRule();
    void LogLogical(const char* format, const str& scene) const;
    // A task made by the factory from the name's data, which this object then runs; null for an
    // unknown name or a task that cannot be made.
    GBaseSimpleTask* MakeTask(const str& name, GBaseLogicalScene* listener);

    std::map<str, GTaskData> mTaskData;
    // Owned; the front is the current task.
    std::vector<GBaseSimpleTask*> mTasks;
    // Owned by the game screen's task list; cleared by the timer when it goes.
    GGameObjectTimer* mTimer = nullptr;
    std::vector<GTrigger> mTriggers;
    std::set<str> mKnownScenes;
    std::vector<str> mScenes;
    int32_t mTickCounter = 0;
    int32_t mTriggerPeriod = 0;
    str mName;
    str mBaseType;
    bool mActive = false;
    bool mSavedActive = false;
    str mPrelude;
    str mVisualPath;
    std::unique_ptr<GVObject> mVisual;
    std::unique_ptr<GStratMousePikUp> mStrategy;
    TScript mScript;
    TVec2 mPosition;
    TVec2 mStartPosition;
    float mDepthOffset = 0.0f;
    bool mClosing = false;
    bool mBlocked = false;
    int32_t mWalkWidth = 0;
    int32_t mWalkHeight = 0;
    std::vector<int8_t> mWalkCells;
    // Not owned.
    GGameObject* mHolder = nullptr;
    GGameObject* mOccupant = nullptr;
    bool mWantDestroy = false;
    bool mLocked = false;
    bool mSavedBlocked = false;
    bool mSavedLocked = false;
    bool mSavedStateActive = false;
    bool mSavedValid = false;
    int32_t mUpgradeLevel = 0;
    GUpgradeData mUpgradeData;
    str mScriptName;
    bool mMouseEnabled = false;
    bool mMouseLocked = false;
    bool mMouseSuspended = false;
    // The fly emitter of the last "CPP_ParticleFX"; owned by the game window.
    GFlyEmitter* mEffect = nullptr;
    // Whether the Lua functions are in the state, to be withdrawn before the object goes.
    bool mPublished = false;
};
