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
