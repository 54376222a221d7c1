// A waiting place in front of the judges: it holds at most one girl, who waits there until the
// judging scene lets her in. The logical manager keeps the places in a row and moves girls along
// it; while a girl is dragged over the row a place may show another girl (its preview occupant) at
// its landing point without holding her. The level owns it. Main thread only.
#pragma once

#include "game/world/GGameObject.h"

class GJudgingQueue : public GGameObject {
public:
    static int sClassId;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GJudgingQueue"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // Reads "point_approach" and "point_landing".
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    // An empty scene list takes every known scene first.
    void StartGame() override;
    bool HasPendingTask(bool flag) override;
    // The upgrade view goes and, with a visual and a level, the waiting-place strategy comes.
    void LeaveUpgradeMode(int level) override;
    // The girl leaves her holder and waits here at the landing point; 0 for no girl or without a
    // visual.
    int TakeObject(GGameObject* girl) override;
    GGameObject* GetOccupant() override { return Occupant(); }
    // Forgets the shown girl; emptied, the place waits for every known scene again. 1.
    int SetOccupant(GGameObject* girl) override;
    bool CanHold() const override { return true; }
    TVec2 GetApproachPoint(GGameObject* asking) override;
    bool IsEditable() const override { return true; }
    // On: the editor's strategy with the mouse; off: the waiting-place strategy.
    void SetEditMode(bool on, int level) override;
    // The occupant walks onto the landing point.
    void PlaceOccupant() override;

    // Shows the girl at the landing point without taking her.
    void PlaceGirl(GGameObject* girl);
    GGameObject* GetPlacedGirl() const { return mPlacedGirl; }
    // Who the drag preview shows here; not owned.
    GGameObject* GetPreviewOccupant() const { return mPreviewOccupant; }
    void SetPreviewOccupant(GGameObject* girl) { mPreviewOccupant = girl; }
    // The girl is being deleted: the place neither shows nor previews her any more.
    void ForgetGirl(const GGameObject* girl);
    TVec2 GetLandingOffset() const { return mLanding; }

private:
    // Where a girl stands here, and at what depth.
    TVec2 LandingPosition() const;
    float LandingDepth();

    TVec2 mApproach;
    float mApproachZ = 0.0f;
    TVec2 mLanding;
    float mLandingZ = 0.0f;
    // Not owned.
    GGameObject* mPlacedGirl = nullptr;
    GGameObject* mPreviewOccupant = nullptr;
};
