#include "game/visual/GVState.h"

#include <cstddef>
#include <cstdint>
#include <limits>

GVBase* GVState::CopyTo(GVBase* target) {
    auto* state = dynamic_cast<GVState*>(target);
    if (state == nullptr || GVData::CopyTo(target) == nullptr) {
        return nullptr;
    }
    state->mDelay = mDelay;
    state->mFrames = mFrames;
    state->mKey = mKey;
    state->mNextKey = mNextKey;
    return target;
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
