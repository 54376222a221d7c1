// The base of the logical scenes: one station of play that brings objects together for a while,
// gives them tasks stage by stage and hears when the tasks end. The scene file defines each scene
// by name; the object factory keeps one prototype per name and hands out numbered clones, which
// the logical manager links, creates, begins and finally destroys (a scene ends only through
// GLogicalManager::DestroyScene). Each body here is the behaviour of a scene that does not care.
// Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstdint>
#include <vector>

class GBaseSimpleTask;
class GGameObject;
class TLuaTable;
class TScript;

class GBaseLogicalScene {
public:
    GBaseLogicalScene() = default;
    GBaseLogicalScene(const GBaseLogicalScene&) = delete;
    GBaseLogicalScene& operator=(const GBaseLogicalScene&) = delete;
    // The tasks that still report to the scene stop doing so.
    virtual ~GBaseLogicalScene();

    // A task the scene gave was queued on its object: it reports to this scene.
    virtual void AddTask(GBaseSimpleTask* task);
    // The task goes (it is being destroyed).
    virtual void RemoveTask(GBaseSimpleTask* task);
    // A task of the object ended for the reason (0 its ticks ran out or its start failed, 1
    // finished from outside); the answer is the task end's answer.
    virtual int OnTaskEnd(GGameObject* /*object*/, int /*reason*/) { return 0; }
    // Plans the object's path for a moving task.
    virtual int CalcPath(GGameObject* /*object*/, int /*mode*/) { return 0; }
    virtual const str& GetName() const;
    // The personage began its work in the scene.
    virtual void OnPersonageStarted() {}
    virtual int GetNumber() const { return mNumber; }
    // The first filled object that is a girl, or null.
    virtual GGameObject* GetStudent() const { return nullptr; }
    // ShowNumber on every filled object; the results summed.
    virtual int ShowNumbers(int /*number*/) { return 0; }
    // Reads the definition; false when it is missing or lacks what the class needs.
    virtual bool InitFromTable(const str& /*name*/, TScript* /*script*/, TLuaTable* /*table*/) {
        return false;
    }
    virtual int BeginIfFull() { return 0; }
    virtual int Close() { return 0; }
    virtual int StopAndClose() { return 0; }
    virtual int StopTasks() { return 0; }
    // A fresh copy of the definition with the number; the caller owns it.
    virtual GBaseLogicalScene* Clone(int /*number*/) const { return nullptr; }
    // Whether the object would fill an entry; with undo the scene is left as it was.
    virtual int CanAccept(GGameObject* /*object*/, bool /*undo*/) { return 0; }
    virtual bool GetWalkMode() const { return false; }
    virtual void SetWalkMode(bool /*flag*/) {}
    virtual int GetStageIndex() const { return 0; }
    // A dialog answered: the stage ends unless tasks are still pending.
    virtual void FinishStage() {}
    // The first step after a copy: the object (and the target) go into the scene.
    virtual bool OnLink(GGameObject* /*object*/, GGameObject* /*target*/) { return false; }
    // The index of the entry the object fills, or -1.
    virtual int AddObject(GGameObject* /*object*/) { return 0; }
    virtual GGameObject* GetObject(int /*index*/) const { return nullptr; }
    virtual int IndexOfObject(const GGameObject* /*object*/) const { return -1; }
    virtual bool IsFull() const { return true; }
    virtual void ClearObjects() {}
    // Blocks the objects and runs OnCreate; 0 when the scene closed itself (it is gone then).
    virtual int Create() { return 1; }
    virtual void OnDialogResult(int /*entry*/, int /*result*/, int /*poiseFactor*/) {}
    virtual void OnChooseResult(int /*kind*/, int /*value*/) {}
    virtual void SetHold(bool /*flag*/) {}
    virtual bool IsHold() const { return false; }
    // While the use count is above 0, Begin and BeginStage wait for the last Release.
    virtual int Retain() { return 0; }
    virtual int Release() { return 0; }
    // A scene that waits for this one; 1 when it was added.
    virtual int AddWaiting(GBaseLogicalScene* /*scene*/) { return 0; }
    virtual bool HasNextStage() const { return false; }
    virtual int Begin() { return 0; }
    // Lets the objects go, runs OnEnd and has the manager destroy the scene: it is gone then.
    virtual int End() { return 0; }
    virtual int BeginStage() { return 0; }
    virtual void EndStage() {}
    // The object is being deleted: every entry holding it is emptied, nothing else happens.
    virtual void ForgetObject(const GGameObject* /*object*/) {}

    const std::vector<GBaseSimpleTask*>& GetTasks() const { return mTasks; }
    // The tasks stop reporting to the scene and it forgets them.
    void DetachTasks();
    bool WaitsForPersonage() const { return mWaitPersonage; }

protected:
    bool mWaitPersonage = false;
    // The tasks that report to this scene; not owned.
    std::vector<GBaseSimpleTask*> mTasks;
    int32_t mNumber = 0;
};
