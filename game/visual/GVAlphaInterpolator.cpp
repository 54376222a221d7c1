#include "game/visual/GVAlphaInterpolator.h"

#include "game/visual/GVData.h"
#include "game/visual/GVXmlValues.h"

GVClassId GVAlphaInterpolator::ClassIdentity() {
    static const char identity = 0;
    return &identity;
}

GVBase* GVAlphaInterpolator::CopyTo(GVBase* target) {
    auto* interpolator = dynamic_cast<GVAlphaInterpolator*>(target);
    if (interpolator == nullptr || GVDefInterpolator::CopyTo(target) == nullptr) {
        return nullptr;
    }
    interpolator->mKeys = mKeys;
    return target;
}

int GVAlphaInterpolator::ParseKeys(const char* text) {
    mKeys = gvxml::ParseNumberList(text);
    return static_cast<int>(mKeys.size());
}

void GVAlphaInterpolator::ApplyKey(GVData& data, int index, float fraction) {
    data.mAlpha *= KeyValue(mKeys, index, fraction);
    data.MarkChanged();
}
