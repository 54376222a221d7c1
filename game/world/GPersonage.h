// A walking character of the backstage: an assistant hired in the upgrade phase that then performs
// touch-up actions on the girls, walking the paths of the path grid. It queues the tasks the
// logical scenes give it and starts them one after the other, blocked for the scene it works for.
// The level owns it; main thread only.
#pragma once

#include "game/world/GGameObject.h"

#include <set>
#include <vector>

class GPersonage : public GGameObject {
public:
    static int sClassId;

    GPersonage() = default;
    // The tasks set aside are destroyed with it: nothing else owns them.
    ~GPersonage() override;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GPersonage"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // Publishes "CPP_AddTouchupAction"; reads "touchup_poise" and "touchup_time" of the object
    // table, the latter also the total time of its task "touchup".
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // Takes part in every scene it knows, then starts.
    void StartGame() override;
    // Queues the task for the listener; the target is remembered once it is queued. The queue's
    // answer.
    int WalkTo(const str& target, const str& task, GBaseLogicalScene* listener,
               bool atFront) override;
    // An unbought personage with an upgrade group asks to be destroyed; a kept one loads the
    // touch-up data of its level.
    void LeaveUpgradeMode(int mode) override;
    // Starts the front task blocked for the target; 0 when there is none, it runs already, or it
    // waits in the queue while the personage is blocked.
    int StartCurrentTask() override;
    GPathPoints* GetPathData() override { return &mPath; }
    void OnSceneEnd(const str& scene) override;
    bool IsEditable() const override { return true; }
    void SetEditMode(bool on, int level) override;
    void EnterUpgradeMode(int mode) override;
    void OnTaskFinished(GBaseSimpleTask* task) override;
    void OnTaskStarted(GBaseSimpleTask* task) override;
    // The upgrade record's start command, the touch-up time and speed of the upgrade level, and
    // the actions its script's "LoadTouchupAction" adds back.
    virtual void LoadTouchupAction();

    // Lua "CPP_AddTouchupAction".
    void CPP_AddTouchupAction(str name);
    bool HasAction(const str& name) const { return mTouchUpActions.count(name) != 0; }
    // "ObjectData.speed" of its script.
    void SetSpeed(int speed);
    // -1 without "ObjectData" or its "speed".
    int ReadSpeed();
    // Its script's "personageTouchUpDirection": "left" when the girl stands left of it, else
    // "right".
    void SetTouchUpDirection(const GGameObject* girl);
    // The task list is set aside whole, and appended back.
    void SaveTasks();
    void RestoreTasks();

    const str& GetTargetName() const { return mTargetName; }
    int GetTouchUpTime() const { return mTouchUpTime; }
    int GetTouchUpPoise() const { return mTouchUpPoise; }
    const std::set<str>& GetTouchUpActions() const { return mTouchUpActions; }
    size_t GetSavedTaskCount() const { return mSavedTasks.size(); }

protected:
    // "touchup_poise" and "touchup_time" of the object table; the task "touchup" takes the time.
    void ReadTouchUpValues(TLuaTable* objectTable);
    // The start command of the upgrade record at its upgrade level, run in its script (a command
    // beginning with "@" is first evaluated by the level).
    void RunUpgradeCommand();
    // Publishes the personage's own Lua function.
    void PublishPersonageFunctions();

private:
    GPathPoints mPath;
    str mTargetName;
    int32_t mTouchUpTime = 1000;
    int32_t mTouchUpPoise = 0;
    // Owned while set aside.
    std::vector<GBaseSimpleTask*> mSavedTasks;
    std::set<str> mTouchUpActions;
};
