// The states list of an object, keyed by state key, with the key of the state queued to follow
// the current one. Owned by its object; copies of an object get copies of it. Main thread only.
#pragma once

#include "game/visual/GVConteiner.h"
#include "game/visual/GVState.h"
#include "game/world/GStateKey.h"

class GVObject;

class GVStates : public GVConteiner<GVState, GStateKey> {
public:
    // The keys of "normal" (every object has it) and "any" (the fallback for missing states).
    static GStateKey NormalKey();
    static GStateKey AnyKey();

    // The owner is the object, not owned; it may be set later (SetOwner).
    explicit GVStates(GVObject* owner) : GVConteiner(kStates, "state"), mOwner(owner) {}

    // The "state" elements in order over mFrameCount frames; states without "id" are left out.
    // True when at least one was kept. "normal" is added by the caller (AddNormal).
    bool Load(TXmlNode* element, GVBase* owner) override;
    // Every state as a "state" element added to the element.
    bool Save(TXmlNode* element) override;
    // The owner object.
    GVBase* GetOwner() override;
    const GVBase* GetOwnerConst() const override;
    // Copies of the states, and the frame count, into a states list.
    GVBase* CopyTo(GVBase* target) override;
    // A copy of the state.
    GVState* CloneItem(GVState* item) override;

    // At the end, under its own key; the list takes it. A state without a key (its name was
    // empty or refused) is deleted: false.
    bool AppendState(GVState* state);
    // Adds "normal" (every frame in order, the default delay, no data) unless a state has its key.
    void AddNormal(int frameCount);

    GVObject* GetOwnerObject() const { return mOwner; }
    void SetOwner(GVObject* owner) { mOwner = owner; }

    // The state to apply when the current one's list runs out; 0 for none.
    GStateKey mPendingKey;
    // The owner's frame count when the list was made.
    int mFrameCount = 0;

private:
    GVObject* mOwner;
};
