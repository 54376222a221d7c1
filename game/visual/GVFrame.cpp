#include "game/visual/GVFrame.h"

#include "engine/core/xml.h"
#include "engine/script/lua/luanumber.h"
#include "game/visual/GVData.h"
#include "game/visual/GVXmlValues.h"

#include <algorithm>
#include <cstdint>

GVBase* GVFrame::CopyTo(GVBase* target) {
    auto* frame = dynamic_cast<GVFrame*>(target);
    if (frame == nullptr || target->GetType() != GetType()) {
        return nullptr;
    }
    frame->mRect = mRect;
    frame->mTexture = mTexture;
    frame->mRegistration = mRegistration;
    frame->mMirroredRegistration = mMirroredRegistration;
    frame->mRawRegistration = mRawRegistration;
    frame->mEmpty = mEmpty;
    return target;
}

TPoint GVFrame::GetRegistration(uint32_t flip) const {
    const float x = (flip & GVData::kFlipH) != 0 ? mMirroredRegistration.x : mRegistration.x;
    const float y = (flip & GVData::kFlipV) != 0 ? mMirroredRegistration.y : mRegistration.y;
    return TPoint{LuaNumberToInt(x), LuaNumberToInt(y)};
}

bool GVFrame::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    const int x = gvxml::ReadInt(element, "x", 0);
    const int y = gvxml::ReadInt(element, "y", 0);
    const int w = gvxml::ReadInt(element, "w", 0);
    const int h = gvxml::ReadInt(element, "h", 0);
    if (w == 0 && h == 0) {
        return false;
    }
    // A negative size would give a reversed rectangle and a negative mask size.
    if (w < 0 || h < 0) {
        mEmpty = true;
        return false;
    }
    // The far edges in 32 bits: a frame reaching past them is cut at the edge.
    mRect = TRect{x, y, static_cast<int>(std::min<int64_t>(int64_t{x} + w, INT32_MAX)),
                  static_cast<int>(std::min<int64_t>(int64_t{y} + h, INT32_MAX))};
    mTexture = gvxml::ReadInt(element, "img", 0);
    mRawRegistration =
        TVec2(gvxml::ReadFloat(element, "regx", 0.0f), gvxml::ReadFloat(element, "regy", 0.0f));
    mRegistration = mRawRegistration;
    mMode = gvxml::ParseCentering(gvxml::Chars(gvxml::Text(element, "centering")));
    return true;
}

bool GVFrame::Save(TXmlNode* element) {
    if (element == nullptr) {
        return false;
    }
    const auto number = [](int64_t value) {
        return value == 0 ? str() : str::FromFormat("%lld", static_cast<long long>(value));
    };
    const auto real = [](float value) {
        return value == 0.0f ? str() : str::FromFormat("%f", static_cast<double>(value));
    };
    gvxml::SetText(element, "x", number(mRect.left));
    gvxml::SetText(element, "y", number(mRect.top));
    // An empty slot goes out as a reversed size, which reads back as a slot: written as 0 by 0
    // it would be dropped and the frames after it would take other numbers.
    gvxml::SetText(element, "w", mEmpty ? str("-1") : number(int64_t{mRect.right} - mRect.left));
    gvxml::SetText(element, "h", number(int64_t{mRect.bottom} - mRect.top));
    gvxml::SetText(element, "img", number(mTexture));
    gvxml::SetText(element, "regx", real(mRawRegistration.x));
    gvxml::SetText(element, "regy", real(mRawRegistration.y));
    element->SetAttribute("centering", gvxml::CenteringName(mMode));
    return true;
}
