#include "game/visual/GVDeltaMoveInterpolator.h"

#include "game/visual/GVData.h"
#include "game/visual/GVXmlValues.h"

#include <cstddef>

GVClassId GVDeltaMoveInterpolator::ClassIdentity() {
    static const char identity = 0;
    return &identity;
}

GVBase* GVDeltaMoveInterpolator::CopyTo(GVBase* target) {
    auto* interpolator = dynamic_cast<GVDeltaMoveInterpolator*>(target);
    if (interpolator == nullptr || GVDefInterpolator::CopyTo(target) == nullptr) {
        return nullptr;
    }
    interpolator->mKeysX = mKeysX;
    interpolator->mKeysY = mKeysY;
    return target;
}

int GVDeltaMoveInterpolator::ParseKeys(const char* text) {
    const std::vector<float> numbers = gvxml::ParseNumberList(text);
    mKeysX.clear();
    mKeysY.clear();
    for (size_t i = 0; i + 1 < numbers.size(); i += 2) {
        mKeysX.push_back(numbers[i]);
        mKeysY.push_back(numbers[i + 1]);
    }
    return static_cast<int>(mKeysX.size());
}

void GVDeltaMoveInterpolator::ApplyKey(GVData& data, int index, float fraction) {
    data.mDeltaX += KeyValue(mKeysX, index, fraction);
    data.mDeltaY += KeyValue(mKeysY, index, fraction);
    data.MarkChanged();
}
