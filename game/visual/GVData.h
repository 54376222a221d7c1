// A transform and appearance record: position, depth, visibility, opacity, mirroring, blend mode,
// rotation and scale. Objects keep several (base, local, world, inherited) and combine them over
// the parent chain; every write through an operation marks the record changed, which is what the
// update pass looks for. Game code writes the fields directly and then calls MarkChanged. Main
// thread only.
#pragma once

#include "game/visual/GVBase.h"

#include <cstdint>

class GVData : public GVBase {
public:
    static constexpr uint32_t kFlipH = 1;
    static constexpr uint32_t kFlipV = 2;
    static constexpr int32_t kBlendNormal = 0;
    static constexpr int32_t kBlendAdd = 2;
    static constexpr int32_t kBlendSub = 3;
    static constexpr int32_t kBlendMul = 4;

    explicit GVData(int type = kData) : GVBase(type) {}
    GVData(const GVData&) = delete;
    GVData& operator=(const GVData&) = delete;

    // The nine attributes "deltaX" ... "scaling"; absent or empty ones take their defaults.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // Defaults are written empty.
    bool Save(TXmlNode* element) override;
    // The nine fields into a record of the same type code; null for another kind.
    GVBase* CopyTo(GVBase* target) override;
    virtual void ClearChanged() { mChanged = 0; }

    // Adds other onto this: offsets and rotation add, alpha and scaling multiply, visible becomes
    // the integer mean, flip the exclusive or; a blend of other's other than normal replaces ours.
    void Combine(const GVData& other);
    void Assign(const GVData& other);
    // out := what Combine must add to other to give this: differences, ratios (1 where other's
    // alpha or scaling is 0), the flip bits that changed, the blend only when it changed (else
    // normal), and for visible this when equal, else this - other + 1 (so that the mean restores
    // it). This record is not changed.
    void Difference(const GVData& other, GVData& out) const;

    void MarkChanged() { mChanged = 1; }
    bool IsChanged() const { return mChanged != 0; }

    float mDeltaX = 0.0f;
    float mDeltaY = 0.0f;
    // Larger is drawn later, in front.
    float mDeltaZ = 0.0f;
    uint8_t mVisible = 1;
    float mAlpha = 1.0f;
    // kFlipH, kFlipV.
    uint32_t mFlip = 0;
    int32_t mBlend = kBlendNormal;
    // Radians.
    float mRotate = 0.0f;
    float mScaling = 1.0f;

private:
    uint8_t mChanged = 0;
};
