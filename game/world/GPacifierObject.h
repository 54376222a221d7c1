// A pacifier the player drags onto a girl: it raises her poise, then hides until its container's
// reset task brings it back. It remembers its home place and the container it belongs to. The
// level owns it; main thread only.
#pragma once

#include "game/world/GGameObject.h"

#include <cstdint>

class GPacifierContainerListener;

class GPacifierObject : public GGameObject {
public:
    static int sClassId;

    GPacifierObject() = default;
    // Leaves its container, when it still has one.
    ~GPacifierObject() override;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GPacifierObject"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // The base, "point_approach", "container", "poise_boost" and "reset_time".
    bool InitFromTable(TLuaTable* typeTable, TLuaTable* objectTable) override;
    // Its home is where it was placed.
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // Shown unless it is to be destroyed.
    void StartGame() override;
    bool HasPendingTask(bool flag) override { return !flag && mVisible != 0; }
    // Joins the first object named like its container; 1 when there was one.
    int PickHolder(std::vector<GGameObject*>& objects) override;
    // An unbought item with an upgrade group hides and asks to be destroyed; a kept one is
    // dragged in play.
    void LeaveUpgradeMode(int mode) override;
    TVec2 GetApproachPoint(GGameObject* asking) override;
    bool IsEditable() const override { return true; }
    void SetEditMode(bool on, int level) override;

    // Visible: the container's look for it, just in front of the container; hidden: "invisible"
    // and "hide_fx", counting its reset time.
    void Show(bool flag);
    // Back home after a drop; a taken item lets the container check whether all are gone.
    void ReturnHome(bool taken);
    // The record's start command (a "@" command evaluated by the level first), then "poise_boost"
    // and "reset_time" again from its script's "BaseType".
    void ApplyUpgrade(const GUpgradeData* record);
    // The player picked it up: nothing to do.
    void OnCarryStart() {}

    int GetPoiseBoost() const { return mPoiseBoost; }
    int GetResetTime() const { return mResetTime; }
    int GetHiddenCountdown() const { return mHiddenCountdown; }
    bool IsVisible() const { return mVisible != 0; }
    bool IsFixed() const { return mFixed != 0; }
    void SetFixed(bool fixed) { mFixed = fixed ? 1 : 0; }
    const str& GetContainerName() const { return mContainerName; }
    GPacifierContainerListener* GetContainer() const { return mContainer; }
    // Not owned; the container clears it when it goes first.
    void SetContainer(GPacifierContainerListener* container) { mContainer = container; }
    TVec2 GetHome() const { return mHome; }
    float GetHomeDepth() const { return mHomeDepth; }

private:
    TVec2 mApproach;
    float mApproachZ = 0.0f;
    int32_t mPoiseBoost = 0;
    int32_t mResetTime = 0;
    int32_t mHiddenCountdown = 0;
    int32_t mSpare = 0;
    int32_t mLoaded = 0;
    int32_t mVisible = 0;
    str mContainerName;
    GPacifierContainerListener* mContainer = nullptr;
    TVec2 mHome;
    float mHomeDepth = 0.0f;
    int32_t mFixed = 0;
};
