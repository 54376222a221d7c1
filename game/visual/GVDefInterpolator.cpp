#include "game/visual/GVDefInterpolator.h"

#include "engine/ui/window.h"
#include "game/visual/GVData.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVState.h"
#include "game/visual/GVXmlValues.h"

#include <cstddef>

GVDefInterpolator::~GVDefInterpolator() {
    if (mTimer != nullptr) {
        mTimer->Detach();
    }
}

GVClassId GVDefInterpolator::ClassIdentity() {
    static const char identity = 0;
    return &identity;
}

bool GVDefInterpolator::Load(TXmlNode* element, GVBase* owner) {
    if (element == nullptr) {
        return false;
    }
    uint32_t fallback = kDefaultTime;
    const GVBase* listOwner = owner != nullptr ? owner->GetOwnerConst() : nullptr;
    if (listOwner != nullptr && listOwner->GetType() == kState) {
        // One pass per frame list squared, in the 32-bit arithmetic the files were made with.
        const auto* state = static_cast<const GVState*>(listOwner);
        const auto frames = static_cast<uint32_t>(state->GetFrameCount());
        fallback = static_cast<uint32_t>(state->mDelay) * frames * frames;
    }
    mTime = gvxml::ReadUnsigned(element, "time", fallback);
    mQuant = gvxml::ReadUnsigned(element, "quant", kDefaultQuant);
    mKeyCount = ParseKeys(gvxml::Chars(gvxml::Text(element, "keys")));
    return mKeyCount > 0;
}

GVBase* GVDefInterpolator::CopyTo(GVBase* target) {
    auto* interpolator = dynamic_cast<GVDefInterpolator*>(target);
    if (interpolator == nullptr || GVEffect::CopyTo(target) == nullptr) {
        return nullptr;
    }
    interpolator->mTime = mTime;
    interpolator->mQuant = mQuant;
    interpolator->mKeyCount = mKeyCount;
    return target;
}

bool GVDefInterpolator::Start() {
    mElapsed = 0;
    // A copy applies its source's state before it is attached: it has nowhere to run yet.
    if (mOwner == nullptr || mOwner->GetLayers().empty()) {
        return false;
    }
    if (mTimer == nullptr) {
        auto* timer = new TTimer(this, &GVDefInterpolator::OnTimer, &mTimer);
        if (!timer->PlaceIn(mOwner->GetLayers().front()->GetModalWindow())) {
            delete timer;
            return false;
        }
    }
    mTimer->Start(static_cast<int>(mQuant), true, true, false);
    return true;
}

bool GVDefInterpolator::Stop() {
    if (mTimer != nullptr) {
        mTimer->Stop();
    }
    return true;
}

void GVDefInterpolator::OnTimer() {
    if (!mEnabled) {
        if (mTimer != nullptr) {
            mTimer->Stop();
        }
        return;
    }
    mElapsed += mQuant;
    if (mTarget != nullptr) {
        mTarget->MarkChanged();
    }
}

void GVDefInterpolator::Apply(GVData& data) {
    mTarget = &data;
    if (mKeyCount <= 0) {
        return;
    }
    // A pass of 0 ms (given, or a state without frames or delay) holds the first key.
    float position = 0.0f;
    if (mTime != 0) {
        const uint32_t scaled = (mElapsed % mTime) * static_cast<uint32_t>(mKeyCount - 1);
        position = static_cast<float>(scaled) / static_cast<float>(mTime);
    }
    const int index = static_cast<int>(position);
    ApplyKey(data, index, position - static_cast<float>(index));
}

float GVDefInterpolator::KeyValue(const std::vector<float>& keys, int index, float fraction) {
    if (keys.empty() || index < 0) {
        return keys.empty() ? 0.0f : keys.front();
    }
    const auto at = static_cast<size_t>(index);
    if (at + 1 >= keys.size()) {
        // One key is a constant; a float rounding up to the last key stops there.
        return keys.back();
    }
    return keys[at] + (keys[at + 1] - keys[at]) * fraction;
}
