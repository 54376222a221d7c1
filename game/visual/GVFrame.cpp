#include "game/visual/GVFrame.h"

#include "engine/script/lua/luanumber.h"
#include "game/visual/GVData.h"

GVBase* GVFrame::CopyTo(GVBase* target) {
    auto* frame = dynamic_cast<GVFrame*>(target);
    if (frame == nullptr || target->GetType() != GetType()) {
        return nullptr;
    }
    frame->mRect = mRect;
    frame->mTexture = mTexture;
    frame->mRegistration = mRegistration;
    frame->mMirroredRegistration = mMirroredRegistration;
    return target;
}

TPoint GVFrame::GetRegistration(uint32_t flip) const {
    const float x = (flip & GVData::kFlipH) != 0 ? mMirroredRegistration.x : mRegistration.x;
    const float y = (flip & GVData::kFlipV) != 0 ? mMirroredRegistration.y : mRegistration.y;
    return TPoint{LuaNumberToInt(x), LuaNumberToInt(y)};
}
