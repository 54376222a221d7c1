// A plain effect list with an owner: the object or the state it belongs to. Effects are made
// from elements named by their type through the effect registry, keyed by effect id, and owned
// by the list. Main thread only.
#pragma once

#include "game/visual/GVConteiner.h"
#include "game/visual/GVEffect.h"

class GVObject;

class GVCustomEffects : public GVConteiner<GVEffect, str> {
public:
    // The owner is not owned.
    explicit GVCustomEffects(GVBase* owner) : GVConteiner(kEffects, ""), mOwner(owner) {}

    // Every child element is an effect of the type its name gives; unregistered types and
    // effects that fail to load are left out. True when at least one was kept.
    bool Load(TXmlNode* element, GVBase* owner) override;
    GVBase* GetOwner() override { return mOwner; }
    const GVBase* GetOwnerConst() const override { return mOwner; }
    // The effect of the element's type, loaded with this list as owner; null when unregistered
    // or when it fails to load.
    GVEffect* CreateItem(TXmlNode* element) override;
    // A new effect of the same type name with the item copied into it; null when unregistered.
    GVEffect* CloneItem(GVEffect* item) override;

    // Every effect learns the object.
    void SetOwnerAll(GVObject* object);
    void SetOwner(GVBase* owner) { mOwner = owner; }

private:
    // Not owned.
    GVBase* mOwner;
};
