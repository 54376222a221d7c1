// A waiting place the girls enter when they appear: it holds one girl at her landing point and
// shows every asker the same approach point. It has no strategy in play. The level owns it; main
// thread only.
#pragma once

#include "game/world/GGameObject.h"

class GPreparationQueue : public GGameObject {
public:
    static int sClassId;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GPreparationQueue"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // The base, then "point_approach" and "point_landing" of the type table.
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    bool HasPendingTask(bool /*flag*/) override { return false; }
    void LeaveUpgradeMode(int mode) override;
    int TakeObject(GGameObject* girl) override;
    GGameObject* GetOccupant() override { return Occupant(); }
    int SetOccupant(GGameObject* object) override;
    bool CanHold() const override { return true; }
    TVec2 GetApproachPoint(GGameObject* asking) override;
    bool IsEditable() const override { return true; }
    void SetEditMode(bool on, int level) override;
    void PlaceOccupant() override;

private:
    TVec2 mApproach;
    float mApproachZ = 0.0f;
    TVec2 mLanding;
    float mLandingZ = 0.0f;
};
