#include "game/visual/GVHitTester.h"

#include "game/visual/GVAlphaHitTester.h"
#include "game/visual/GVDefHitTester.h"

std::map<str, GVHitTesterCreator>& GetHitTesterCreators() {
    static std::map<str, GVHitTesterCreator> creators;
    return creators;
}

GVHitTesterCreator& HitTesterCreatorSlot(const str& name) {
    return GetHitTesterCreators()[name];
}

namespace {

// Here, beside the registry, so that linking the registry links the testers too.
[[maybe_unused]] const bool kTestersRegistered = [] {
    HitTesterCreatorSlot(GVDefHitTester::kTypeName) = []() -> GVHitTester* {
        return new GVDefHitTester;
    };
    HitTesterCreatorSlot(GVAlphaHitTester::kTypeName) = []() -> GVHitTester* {
        return new GVAlphaHitTester;
    };
    return true;
}();

} // namespace
