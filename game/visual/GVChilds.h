// The children list of a visual object. A prototype's list refers to children that the factory's
// cache owns; once the list has been attached (its children replaced by copies) it owns them and
// deletes them with itself. Children that came from another file ("export") are listed as
// imported as well. Main thread only.
#pragma once

#include "game/visual/GVConteiner.h"
#include "game/visual/GVObject.h"

#include <vector>

class GVChilds : public GVConteiner<GVObject, str> {
public:
    // The owner is the parent object, not owned.
    explicit GVChilds(GVObject* owner) : GVConteiner(kChilds, "obj"), mOwner(owner) {}
    // Deletes the children only when owning them.
    ~GVChilds() override;

    // Every "obj" element becomes a child prototype through the factory (cached under its child
    // key); those that give no object are left out. True when at least one child was kept.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // The same child objects (not copies) and the imported marks into a children list; the
    // target does not own them until it is attached.
    GVBase* CopyTo(GVBase* target) override;
    // Writes the child onto the element unless it was imported; false when not written.
    virtual bool SaveChild(TXmlNode* element, GVObject* child);
    // Replaces every child by the factory's copy attached to the draw list below the parent,
    // keeping the imported marks, and from then on owns them. A list that owns its children
    // already attaches them as they are.
    void AttachAll(GVLayer* layer, GVObject* parent, bool setNormal);
    // The parent object.
    GVBase* GetOwner() override;
    const GVBase* GetOwnerConst() const override;
    // Deletes the children when owning them, else only forgets them; the imported list too.
    void Clear() override;

    GVObject* GetOwnerObject() const { return mOwner; }
    bool IsOwning() const { return mOwning; }
    void SetOwning(bool owning) { mOwning = owning; }
    // The child must be in the list as well.
    void AddImported(GVObject* child) { mImported.push_back(child); }
    bool IsImported(const GVObject* child) const;
    const std::vector<GVObject*>& GetImported() const { return mImported; }

private:
    GVObject* mOwner;
    // Not owned: each is also an item of the list.
    std::vector<GVObject*> mImported;
    bool mOwning = false;
};
