// The door to the judges' stand on levels that have one: it opens when the first girl waits,
// shows how many wait on two digit visuals, lets one group in per click of the player, and drives
// the tussles among the waiting girls through its type script. The level owns it. Main thread
// only.
#pragma once

#include "game/world/GGameObject.h"
#include "game/world/G_ICanAcceptGirl.h"

class GJudgingSceneDoor : public GGameObject, public G_ICanAcceptGirl {
public:
    static int sClassId;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GJudgingSceneDoor"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // Reads "point_approach"; nobody entered, room for one group.
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    // Publishes "CPP_OnBeginGoToScene" and "CPP_CheckTussle" and finds the digit visuals.
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // 0 while closed; else the click is spent, and with room the judging places close up and
    // the queue goes in: 1.
    int CheckClick() override;
    // An empty scene list takes every known scene first.
    void StartGame() override;
    bool HasPendingTask(bool flag) override;
    // The upgrade view goes; a door that was on sale and not bought leaves the level, any other
    // gets the door strategy with a visual and a level.
    void LeaveUpgradeMode(int level) override;
    bool CanHold() const override { return true; }
    // The first judging place's approach point, else its own.
    TVec2 GetApproachPoint(GGameObject* asking) override;
    // The waiting count on the two digits; 1 (0 without both digits).
    int ShowNumber(int number) override;
    bool IsEditable() const override { return true; }
    // On: the editor's strategy with the mouse; off: the door strategy.
    void SetEditMode(bool on, int level) override;
    // Open and without a strategy, a press on the visual is a click on the door.
    bool OnMouseDown(TPoint point) override;

    // Room for one more group, and open.
    bool CanAcceptGirl() override;
    // With room: the door script starts sending the queue; 1. Else 0.
    int EnterQueue();
    // The number of waiting girls changed.
    void OnQueueCount(int count);
    // A judging ended with this many still waiting.
    void OnQueueEmptied(int count);

    // The door script's functions.
    void CPP_OnBeginGoToScene();
    int CPP_CheckTussle(int ignored);

    int GetEntered() const { return mEntered; }
    int GetCapacity() const { return mCapacity; }
    bool IsOpen() const { return mOpen != 0; }
    bool IsTussleArmed() const { return mTussleArmed; }
    int GetTussleCountdown() const { return mTussleCountdown; }
    void SetTussleCountdown(int ticks) { mTussleCountdown = ticks; }
    bool IsBusy() const { return mBusy; }
    bool IsFull() const { return mFull; }

private:
    // The manager's tussle delay for the mode in ticks of the door's timer; a door without
    // "triggers" ticks every run, counted as 1 ms.
    int TussleTicks(int mode) const;
    // The heroine stops waiting at the door, when there is one.
    static void ReleaseHeroine();

    TVec2 mApproach;
    float mApproachZ = 0.0f;
    int32_t mEntered = 0;
    int32_t mCapacity = 1;
    int32_t mOpen = 0;
    bool mTussleArmed = false;
    int32_t mTussleCountdown = 0;
    bool mBusy = false;
    bool mFull = false;
    // Children of the visual; not owned.
    GVObject* mTens = nullptr;
    GVObject* mOnes = nullptr;
};
