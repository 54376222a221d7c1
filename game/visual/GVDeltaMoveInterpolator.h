// "DeltaMoveInterpolator": adds the offset its (x, y) key pairs have reached to the position.
// Main thread only.
#pragma once

#include "game/visual/GVDefInterpolator.h"

#include <vector>

class GVDeltaMoveInterpolator final : public GVDefInterpolator {
public:
    static constexpr const char* kTypeName = "DeltaMoveInterpolator";

    static GVClassId ClassIdentity();
    bool IsKindOf(GVClassId id) const override {
        return id == ClassIdentity() || GVDefInterpolator::IsKindOf(id);
    }
    const char* GetClassName() const override { return "GVDeltaMoveInterpolator"; }
    const char* GetTypeName() const override { return kTypeName; }
    GVBase* CopyTo(GVBase* target) override;

protected:
    // The numbers in pairs; an odd last one is dropped. The number of pairs.
    int ParseKeys(const char* text) override;
    void ApplyKey(GVData& data, int index, float fraction) override;

private:
    std::vector<float> mKeysX;
    std::vector<float> mKeysY;
};
