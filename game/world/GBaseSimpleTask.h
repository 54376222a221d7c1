// A timed piece of work of one game object, driven by a timer of its own in the game screen's
// task list. It calls its object's hooks at begin, each tick and end, and reports its end to the
// object, which destroys it, and to the scene that gave it. States: 0 new, 1 ready, 2 running,
// 3 paused, 4 resumed, 5 ended. Owned by its object's task list. Main thread only.
#pragma once

#include "game/world/GGameObjectTimer.h"
#include "game/world/GTaskData.h"

class GBaseLogicalScene;

class GBaseSimpleTask : public GBaseTimerObj, public GTaskData {
public:
    enum : int32_t { kNew, kReady, kRunning, kPaused, kResumed, kEnded };

    GBaseSimpleTask() = default;
    GBaseSimpleTask(const GBaseSimpleTask&) = delete;
    GBaseSimpleTask& operator=(const GBaseSimpleTask&) = delete;

    // One tick: a zero OnTick ends the task (reason 0), which may delete it.
    bool OnTimer() override;
    // Copies the task data and keeps the listener (not owned); ready with an object.
    virtual bool Init(const GTaskData& data, GBaseLogicalScene* listener);
    // From ready: Begin, then the timer starts; a failed Begin ends (and deletes) the task. 1 when
    // it runs.
    virtual int Start();
    virtual int Pause();
    virtual int Resume();
    // Ends a running task with reason 1 (which deletes it); 0 in any other state.
    virtual int Finish(bool detach);
    // Deletes the task; 1.
    virtual int Destroy(bool detach);
    virtual const str& GetName() const { return mName; }
    // One tick's work; 0 ends the task.
    virtual int OnTick(int ticksDone) = 0;
    virtual int GetType() const = 0;
    // Unhooks the timer and tells the listener that the task goes.
    ~GBaseSimpleTask() override;
    // Running (or resumed); the object hears of the begin.
    virtual int Begin(bool resumed);
    // Ended: the object hears of it and destroys the task; then the listener hears of it with the
    // object. The task is gone when this returns.
    virtual int End(int reason);

    void MarkQueued() { mQueued = 1; }
    bool IsQueued() const { return mQueued != 0; }
    // The object's RemoveTask of this task (which deletes it); 0 without an object.
    int RemoveFromObject();

    int GetState() const { return mState; }
    bool IsPaused() const { return mPaused; }
    int GetTicksDone() const { return mTicksDone; }
    GBaseLogicalScene* GetListener() const { return mListener; }
    // The scene stops hearing of this task (it is stopping it).
    void ClearListener() { mListener = nullptr; }
    GGameObjectTimer* GetTimer() const { return mTimer; }

protected:
    // The timer while it runs; owned by the game screen's task list, cleared when it goes.
    GGameObjectTimer* mTimer = nullptr;
    bool mPaused = false;
    int32_t mTicksDone = 0;
    GBaseLogicalScene* mListener = nullptr;
    int32_t mState = kNew;
    // Kept for callers that pass it; the timer and the task unhook each other whichever goes
    // first.
    bool mDetach = true;
    // The object's Lua functions that the tasks calling Lua call: name + "TaskTimer",
    // "BeginTask", "EndTask".
    str mTimerFunction;
    str mBeginFunction;
    str mEndFunction;

    // Names the three functions after the task; true when it has a name.
    bool NameLuaFunctions();

private:
    // The timer repeating with the delay from now, without catching up.
    void StartTimer();
};
