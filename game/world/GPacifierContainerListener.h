// What a pacifier item knows of the container that holds it. Main thread only.
#pragma once

class GPacifierObject;

class GPacifierContainerListener {
public:
    virtual ~GPacifierContainerListener() = default;
    // When every item is taken, the reset task brings them back.
    virtual void CheckAllTaken() = 0;
    // The item joins the container, which becomes its container.
    virtual void AddItem(GPacifierObject* item) = 0;
    virtual void RemoveItem(GPacifierObject* item) = 0;
    virtual int GetUpgradeLevel() = 0;
    virtual float GetDepth() = 0;
    // The item's look for its upgrade level, the container's item set and the flag.
    // The state's duration in ms; 0 when nothing was set.
    virtual int SetItemState(GPacifierObject* item, int flag) = 0;
};
