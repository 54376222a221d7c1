// The "default" hit tester: every point of the frame's rectangle hits. Main thread only.
#pragma once

#include "game/visual/GVHitTester.h"

class GVDefHitTester final : public GVHitTester {
public:
    static constexpr const char* kTypeName = "default";

    bool HitTest(const TPoint& /*point*/, const GVFrame* /*frame*/) override { return true; }
    bool Attach(GVObject* /*object*/) override { return true; }
    const char* GetTypeName() const override { return kTypeName; }
};
