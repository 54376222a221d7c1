// A bought girl upgrade shown in the upgrade phase: a button the player buys from, which leaves the
// level when play starts. The level owns it. Main thread only.
#pragma once

#include "game/world/GGameObject.h"

class GStudentUpgrade : public GGameObject {
public:
    static int sClassId;

    ~GStudentUpgrade() override;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GStudentUpgrade"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // One level more, booked in the player's progress; the new level is not shown here.
    void Upgrade() override;
    // The button goes and the object asks to leave the level.
    void LeaveUpgradeMode(int level) override;
    // The buy button, bound to it with the mode.
    void EnterUpgradeMode(int mode) override;
};
