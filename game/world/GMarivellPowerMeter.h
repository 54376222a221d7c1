// The level object that fills up as the player scores. Its type script shows the progress
// ("powerSetProgress") and enables it, typically when full; a click on the enabled meter opens the
// power selection through the logical manager. Placed only when the game data enables it. Main
// thread only.
#pragma once

#include "game/world/GGameObject.h"

class GMarivellPowerMeter : public GGameObject {
public:
    static int sClassId;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GMarivellPowerMeter"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // 1 when enabled, which deactivates it; else 0.
    int CheckClick() override;
    void StartGame() override;
    bool HasPendingTask(bool /*flag*/) override { return false; }
    TVec2 GetApproachPoint(GGameObject* asking) override;
    bool IsEditable() const override { return true; }
    void SetEditMode(bool on, int level) override;
    // Enabled and without a strategy, a hit on the visual is a click on the meter; otherwise the
    // strategy has the press.
    bool OnMouseDown(TPoint point) override;

    // Nothing once the progress reached the maximum; else the points are added (the last add may
    // overshoot) and the script shows the progress.
    void AddScore(int points);

    int GetProgress() const { return mProgress; }
    bool IsEnabled() const { return mEnabled != 0; }
    bool IsLoaded() const { return mLoaded != 0; }
    int GetResetTime() const { return mResetTime; }
    int GetPowerToAdd() const { return mPowerToAdd; }
    int GetMaxScore() const { return mMaxScore; }
    int GetSegments() const { return mSegments; }

    void CPP_AddPowerScore();
    void CPP_SetEnabled(int flag);
    int CPP_UnChecked();
    void CPP_Reset();

private:
    TVec2 mApproach;
    float mApproachZ = 0.0f;
    int32_t mSpare = 0;
    int32_t mResetTime = 0;
    int32_t mPowerToAdd = 0;
    int32_t mMaxScore = 0;
    int32_t mSegments = 0;
    int32_t mCheckCounter = 0;
    int32_t mLoaded = 0;
    int32_t mEnabled = 0;
    int32_t mProgress = 0;
};
