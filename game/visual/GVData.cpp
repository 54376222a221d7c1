#include "game/visual/GVData.h"

#include "engine/core/str.h"
#include "engine/core/xml.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

const char* AttributeText(const str& value) {
    return value.CStr() != nullptr ? value.CStr() : "";
}

float ReadFloat(TXmlNode* element, const char* name, float fallback) {
    const str value = element->GetAttribute(name);
    return value.Length() == 0 ? fallback : static_cast<float>(std::atof(AttributeText(value)));
}

bool Contains(const char* text, const char* word) {
    const size_t length = std::strlen(word);
    for (const char* p = text; *p != '\0'; ++p) {
        if (strncasecmp(p, word, length) == 0) {
            return true;
        }
    }
    return false;
}

void WriteFloat(TXmlNode* element, const char* name, float value, float fallback) {
    element->SetAttribute(name, value == fallback ? "" : str::FromFormat("%f", value).CStr());
}

} // namespace

bool GVData::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    mDeltaX = ReadFloat(element, "deltaX", 0.0f);
    mDeltaY = ReadFloat(element, "deltaY", 0.0f);
    mDeltaZ = ReadFloat(element, "deltaZ", 0.0f);
    const str visible = element->GetAttribute("visible");
    mVisible = visible.Length() == 0 || std::atoi(AttributeText(visible)) != 0 ? 1 : 0;
    mAlpha = ReadFloat(element, "alpha", 1.0f);
    const str flip = element->GetAttribute("flip");
    mFlip = (Contains(AttributeText(flip), "V") ? kFlipV : 0u) |
            (Contains(AttributeText(flip), "H") ? kFlipH : 0u);
    const char* blend = AttributeText(element->GetAttribute("blend"));
    mBlend = Contains(blend, "add")   ? kBlendAdd
             : Contains(blend, "sub") ? kBlendSub
             : Contains(blend, "mul") ? kBlendMul
                                      : kBlendNormal;
    mRotate = ReadFloat(element, "rotate", 0.0f);
    mScaling = ReadFloat(element, "scaling", 1.0f);
    MarkChanged();
    return true;
}

bool GVData::Save(TXmlNode* element) {
    if (element == nullptr) {
        return false;
    }
    WriteFloat(element, "deltaX", mDeltaX, 0.0f);
    WriteFloat(element, "deltaY", mDeltaY, 0.0f);
    WriteFloat(element, "deltaZ", mDeltaZ, 0.0f);
    element->SetAttribute("visible", mVisible != 0 ? "" : "0");
    WriteFloat(element, "alpha", mAlpha, 1.0f);
    const char* flips[] = {"", "H", "V", "VH"};
    element->SetAttribute("flip", flips[mFlip & (kFlipH | kFlipV)]);
    const char* blend = mBlend == kBlendAdd   ? "add"
                        : mBlend == kBlendSub ? "sub"
                        : mBlend == kBlendMul ? "mul"
                                              : "";
    element->SetAttribute("blend", blend);
    WriteFloat(element, "rotate", mRotate, 0.0f);
    WriteFloat(element, "scaling", mScaling, 1.0f);
    return true;
}

GVBase* GVData::CopyTo(GVBase* target) {
    auto* data = dynamic_cast<GVData*>(target);
    if (data == nullptr || target->GetType() != GetType()) {
        return nullptr;
    }
    data->Assign(*this);
    return target;
}

void GVData::Combine(const GVData& other) {
    mDeltaX += other.mDeltaX;
    mDeltaY += other.mDeltaY;
    mDeltaZ += other.mDeltaZ;
    mRotate += other.mRotate;
    mAlpha *= other.mAlpha;
    mScaling *= other.mScaling;
    mVisible = static_cast<uint8_t>((mVisible + other.mVisible) / 2);
    mFlip ^= other.mFlip;
    // Normal means "no blend of its own": a state's or the code's blend must survive the records
    // combined after it.
    if (other.mBlend != kBlendNormal) {
        mBlend = other.mBlend;
    }
    MarkChanged();
}

void GVData::Assign(const GVData& other) {
    mDeltaX = other.mDeltaX;
    mDeltaY = other.mDeltaY;
    mDeltaZ = other.mDeltaZ;
    mVisible = other.mVisible;
    mAlpha = other.mAlpha;
    mFlip = other.mFlip;
    mBlend = other.mBlend;
    mRotate = other.mRotate;
    mScaling = other.mScaling;
    MarkChanged();
}

void GVData::Difference(const GVData& other, GVData& out) const {
    out.mDeltaX = mDeltaX - other.mDeltaX;
    out.mDeltaY = mDeltaY - other.mDeltaY;
    out.mDeltaZ = mDeltaZ - other.mDeltaZ;
    out.mRotate = mRotate - other.mRotate;
    out.mAlpha = other.mAlpha == 0.0f ? 1.0f : mAlpha / other.mAlpha;
    out.mScaling = other.mScaling == 0.0f ? 1.0f : mScaling / other.mScaling;
    out.mVisible =
        mVisible == other.mVisible ? mVisible : static_cast<uint8_t>(mVisible - other.mVisible + 1);
    // Only what changed: a mirrored parent that moves must not mirror its children again.
    out.mFlip = mFlip ^ other.mFlip;
    out.mBlend = mBlend != other.mBlend ? mBlend : kBlendNormal;
    out.MarkChanged();
}
