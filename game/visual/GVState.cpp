#include "game/visual/GVState.h"

#include "engine/core/xml.h"
#include "game/visual/GVStates.h"
#include "game/visual/GVXmlValues.h"
#include "game/world/GStateNameTable.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

GVBase* GVState::CopyTo(GVBase* target) {
    auto* state = dynamic_cast<GVState*>(target);
    if (state == nullptr || GVData::CopyTo(target) == nullptr) {
        return nullptr;
    }
    state->mDelay = mDelay;
    state->mFrames = mFrames;
    state->mKey = mKey;
    state->mNextKey = mNextKey;
    if (mEffects != nullptr) {
        auto effects = std::make_unique<GVCustomEffects>(state);
        if (mEffects->CopyTo(effects.get()) != nullptr) {
            state->SetEffects(effects.release());
        }
    }
    return target;
}

void GVState::SetEffects(GVCustomEffects* effects) {
    mEffects.reset(effects);
    if (mEffects != nullptr) {
        mEffects->SetOwner(this);
    }
}

int GVState::FrameAt(int position) const {
    return position >= 0 && position < GetFrameCount() ? mFrames[static_cast<size_t>(position)]
                                                       : -1;
}

int GVState::GetDuration() const {
    // A delay from a file times a long list must not overflow.
    const int64_t duration = int64_t{mDelay} * GetFrameCount();
    if (duration > std::numeric_limits<int>::max()) {
        return std::numeric_limits<int>::max();
    }
    return duration < std::numeric_limits<int>::min() ? std::numeric_limits<int>::min()
                                                      : static_cast<int>(duration);
}

bool GVState::Load(TXmlNode* element, GVBase* owner) {
    if (!GVData::Load(element, owner)) {
        return false;
    }
    const auto* states = dynamic_cast<const GVStates*>(owner);
    const int frameCount = states != nullptr ? states->mFrameCount : 0;
    mDelay = gvxml::ReadInt(element, "defdelay", kDefaultDelay);
    mFrames = gvxml::ParseFrameList(gvxml::Chars(gvxml::Text(element, "framelist")), frameCount);
    mKey = GStateKey::FromString(gvxml::Text(element, "id"));
    mNextKey = GStateKey::FromString(gvxml::Text(element, "nextstate"));
    if (!mKey.IsEmpty()) {
        // After the delay and the frame list: an interpolator's default pass is made of them.
        auto effects = std::make_unique<GVCustomEffects>(this);
        if (effects->Load(element, this)) {
            SetEffects(effects.release());
        }
    }
    // The state's data starts unchanged: only switching to it marks the object.
    ClearChanged();
    return !mKey.IsEmpty();
}

bool GVState::Save(TXmlNode* element) {
    return SaveWithFrameCount(element, GetFrameCount());
}

bool GVState::SaveWithFrameCount(TXmlNode* element, int frameCount) {
    if (!GVData::Save(element)) {
        return false;
    }
    const GStateNameTable& names = GStateNameTable::Instance();
    gvxml::SetText(element, "defdelay",
                   mDelay == kDefaultDelay ? str() : str::FromFormat("%d", mDelay));
    gvxml::SetText(element, "id", names.Decode(mKey));
    gvxml::SetText(element, "framelist", gvxml::FormatFrameList(mFrames, frameCount));
    gvxml::SetText(element, "nextstate", names.Decode(mNextKey));
    return true;
}
