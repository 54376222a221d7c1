// The pacifier station: a game object that holds the pacifier items, moves them along with it,
// gives them their looks by upgrade level and item set, and runs the "reset" task that brings them
// back once all are taken. It does not own the items (the level does). Main thread only.
#pragma once

#include "game/world/GGameObject.h"
#include "game/world/GPacifierContainerListener.h"

#include <cstdint>
#include <vector>

class GPacifierObject;

class GPacifierContainer : public GGameObject, public GPacifierContainerListener {
public:
    static int sClassId;

    GPacifierContainer() = default;
    // The items still linked forget it first: they may outlive it.
    ~GPacifierContainer() override;

    bool IsKindOf(int classId) const override {
        return classId == sClassId || GGameObject::IsKindOf(classId);
    }
    const char* GetClassName() const override { return "GPacifierContainer"; }
    int GetClassId() const override { return sClassId; }
    GGameObject* Clone() const override;
    // Upgrade phase on; publishes "CPP_SetItem" and "CPP_SetSet"; remembers its upgrade level.
    bool InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension, const str& extraLua,
                     GLevel* level) override;
    // The end of "reset" shows every item again.
    void OnTaskEnd(GBaseSimpleTask* task, int reason) override;
    bool HasPendingTask(bool /*flag*/) override { return false; }
    // Runs its start command; a container not offered yet on this level goes with its items.
    void UpdateHolder() override;
    void Upgrade() override;
    void LeaveUpgradeMode(int mode) override;
    bool IsHolder() const override { return true; }
    bool IsEditable() const override { return true; }
    void SetEditMode(bool on, int level) override;
    // The items follow the container's move.
    void PlaceOccupant() override;
    void EnterUpgradeMode(int mode) override;
    // "upgrade_2" refreshes the items with flag 1, any other state with flag 0; by name or by
    // key.
    int SetVisualState(const str& state) override;
    void SetVisualState(GStateKey key) override;

    // GPacifierContainerListener.
    void CheckAllTaken() override;
    void AddItem(GPacifierObject* item) override;
    void RemoveItem(GPacifierObject* item) override;
    int GetUpgradeLevel() override { return GGameObject::GetUpgradeLevel(); }
    float GetDepth() override;
    int SetItemState(GPacifierObject* item, int flag) override;

    // Lua "CPP_SetItem" (index from 1, kind, value) and "CPP_SetSet".
    int CPP_SetItem(int index, int kind, int value);
    void CPP_SetSet(int value) { mSet = value; }
    // The item states of the items not pinned by a script; the item count.
    int RefreshItems(int flag);
    // The upgrade record of its saved level for the items not pinned, then their states.
    void ApplyUpgradeToItems();

    const std::vector<GPacifierObject*>& GetItems() const { return mItems; }
    int GetSet() const { return mSet; }
    bool IsInUpgradePhase() const { return mUpgradePhase != 0; }
    int GetSavedUpgradeLevel() const { return mSavedUpgradeLevel; }

private:
    void PublishContainerFunctions();
    void RefreshForState(GStateKey key);
    // Depth just in front of the container, its state, for the item the script set.
    int PinItem(GPacifierObject* item);

    TVec2 mLastPosition;
    // Not owned; each item removes itself when it goes.
    std::vector<GPacifierObject*> mItems;
    int32_t mSavedUpgradeLevel = 0;
    uint8_t mUpgraded = 0;
    int32_t mSet = 0;
    uint8_t mUpgradePhase = 0;
};
