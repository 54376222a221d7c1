// A chair of the backstage where a touch-up scene runs (hair, make-up, manicure and the like): it
// holds one girl, offers every scene it knows while it is free, scales the girl's task by its
// upgrade's time factor, and shows where the heroine, a helper and a girl stand. The level owns
// it; main thread only.
#pragma once

#include "game/world/GGameObject.h"

class GSeat : public GGameObject {
public:
    static int sClassId;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GSeat"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // The base, then "point_approach", "point_approach_helper", "point_landing" and
    // "point_approach_power" of the type table (a missing one stays at 0).
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    void StartGame() override;
    bool HasPendingTask(bool flag) override;
    // An unbought seat with an upgrade group asks to be destroyed; a kept one gets the chair
    // strategy and the upgrade record of its level.
    void LeaveUpgradeMode(int mode) override;
    // The girl leaves her old holder and sits at the landing point; 0 without a girl or a visual.
    int TakeObject(GGameObject* girl) override;
    GGameObject* GetOccupant() override { return Occupant(); }
    int SetOccupant(GGameObject* object) override;
    bool CanHold() const override { return true; }
    // "point_approach" for the heroine, "point_approach_helper" for anyone else.
    TVec2 GetApproachPoint(GGameObject* asking) override;
    TVec2 GetLandingPoint() override;
    // Any known scene empties the whole scene list.
    int RemoveScene(const str& scene, bool notify) override;
    bool IsEditable() const override { return true; }
    void SetEditMode(bool on, int level) override;
    void PlaceOccupant() override;
    void EnterUpgradeMode(int mode) override;

    // Every known scene is offered again once the scene list is empty.
    void OfferScenes();
    // The "value" of its upgrade record.
    float GetTimeFactor() { return static_cast<float>(GetUpgradeData().mValue); }

private:
    struct GPoint3 {
        TVec2 mOffset;
        float mZ = 0.0f;
    };

    GPoint3 mApproach;
    GPoint3 mApproachHelper;
    GPoint3 mLanding;
    GPoint3 mApproachPower;
};
