#include "game/visual/GVRotateInterpolator.h"

#include "game/visual/GVData.h"
#include "game/visual/GVXmlValues.h"

GVClassId GVRotateInterpolator::ClassIdentity() {
    static const char identity = 0;
    return &identity;
}

GVBase* GVRotateInterpolator::CopyTo(GVBase* target) {
    auto* interpolator = dynamic_cast<GVRotateInterpolator*>(target);
    if (interpolator == nullptr || GVDefInterpolator::CopyTo(target) == nullptr) {
        return nullptr;
    }
    interpolator->mKeys = mKeys;
    return target;
}

int GVRotateInterpolator::ParseKeys(const char* text) {
    mKeys = gvxml::ParseNumberList(text);
    return static_cast<int>(mKeys.size());
}

void GVRotateInterpolator::ApplyKey(GVData& data, int index, float fraction) {
    data.mRotate += KeyValue(mKeys, index, fraction);
    data.MarkChanged();
}
