#include "game/visual/GVRegCalc.h"

#include "engine/script/lua/luanumber.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVTextures.h"

#include <algorithm>
#include <cstdint>

namespace {

TPoint RawPoint(const GVFrame& frame) {
    return TPoint{LuaNumberToInt(frame.mRegistration.x), LuaNumberToInt(frame.mRegistration.y)};
}

} // namespace

void GVRegCalc::InitModes() {
    mModes = {&GVRegCalc::OldBase, &GVRegCalc::ZeroBase, &GVRegCalc::ZeroBase,
              &GVRegCalc::ZeroBase};
}

int GVRegCalc::ResolveMode(const GVFrame& frame, const GVFrames& frames,
                           const GVTextures* textures) {
    int mode = frame.mMode;
    if (mode == kModeNotSet) {
        mode = frames.mMode;
    }
    if (mode == kModeNotSet && textures != nullptr) {
        if (const GVTexture* texture = textures->At(frame.mTexture)) {
            mode = texture->mMode;
        }
    }
    return mode >= kModeOld && mode < kModeNotSet ? mode : kModeOld;
}

void GVRegCalc::Compute(GVFrames& frames, const GVTextures* textures) {
    mOldBase = TPoint{0, 0};
    for (int i = 0; i < frames.Count(); ++i) {
        if (frames.At(i)->mEmpty) {
            continue;
        }
        const TPoint raw = RawPoint(*frames.At(i));
        mOldBase.x = std::min(mOldBase.x, raw.x);
        mOldBase.y = std::min(mOldBase.y, raw.y);
    }
    for (int i = 0; i < frames.Count(); ++i) {
        GVFrame& frame = *frames.At(i);
        const TPoint raw = RawPoint(frame);
        const GBaseFunction function =
            mModes[static_cast<size_t>(ResolveMode(frame, frames, textures))];
        const TPoint base = function != nullptr ? (this->*function)() : TPoint{0, 0};
        // In 64 bits: points and sizes come from files and may be anywhere in the int range.
        const int64_t width = int64_t{frame.mRect.right} - frame.mRect.left;
        const int64_t height = int64_t{frame.mRect.bottom} - frame.mRect.top;
        const int64_t x = raw.x;
        const int64_t y = raw.y;
        frame.mRegistration = TVec2(static_cast<float>(x - base.x), static_cast<float>(y - base.y));
        frame.mMirroredRegistration =
            TVec2(static_cast<float>(width - x - base.x), static_cast<float>(height - y - base.y));
    }
}
