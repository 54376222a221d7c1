#include "game/visual/GVScaleInterpolator.h"

#include "game/visual/GVData.h"
#include "game/visual/GVXmlValues.h"

GVClassId GVScaleInterpolator::ClassIdentity() {
    static const char identity = 0;
    return &identity;
}

GVBase* GVScaleInterpolator::CopyTo(GVBase* target) {
    auto* interpolator = dynamic_cast<GVScaleInterpolator*>(target);
    if (interpolator == nullptr || GVDefInterpolator::CopyTo(target) == nullptr) {
        return nullptr;
    }
    interpolator->mKeys = mKeys;
    return target;
}

int GVScaleInterpolator::ParseKeys(const char* text) {
    mKeys = gvxml::ParseNumberList(text);
    return static_cast<int>(mKeys.size());
}

void GVScaleInterpolator::ApplyKey(GVData& data, int index, float fraction) {
    data.mScaling *= KeyValue(mKeys, index, fraction);
    data.MarkChanged();
}
