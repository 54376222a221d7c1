// "ScaleInterpolator": multiplies the scale by the value its keys have reached. Main thread only.
#pragma once

#include "game/visual/GVDefInterpolator.h"

#include <vector>

class GVScaleInterpolator final : public GVDefInterpolator {
public:
    static constexpr const char* kTypeName = "ScaleInterpolator";

    static GVClassId ClassIdentity();
    bool IsKindOf(GVClassId id) const override {
        return id == ClassIdentity() || GVDefInterpolator::IsKindOf(id);
    }
    const char* GetClassName() const override { return "GVScaleInterpolator"; }
    const char* GetTypeName() const override { return kTypeName; }
    GVBase* CopyTo(GVBase* target) override;

protected:
    int ParseKeys(const char* text) override;
    void ApplyKey(GVData& data, int index, float fraction) override;

private:
    std::vector<float> mKeys;
};
