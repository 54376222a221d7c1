#include "game/visual/GVChilds.h"

#include "game/visual/GVObject.h"

#include <algorithm>

GVChilds::~GVChilds() {
    GVChilds::Clear();
}

GVBase* GVChilds::GetOwner() {
    return mOwner;
}

const GVBase* GVChilds::GetOwnerConst() const {
    return mOwner;
}

void GVChilds::Clear() {
    mImported.clear();
    if (mOwning) {
        GVConteiner::Clear();
    } else {
        Forget();
    }
}

bool GVChilds::IsImported(const GVObject* child) const {
    return std::find(mImported.begin(), mImported.end(), child) != mImported.end();
}
