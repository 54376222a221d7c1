#include "game/visual/GVEffect.h"

#include "game/visual/GVAlphaInterpolator.h"
#include "game/visual/GVDeltaMoveInterpolator.h"
#include "game/visual/GVParticlesEffect.h"
#include "game/visual/GVRotateInterpolator.h"
#include "game/visual/GVScaleInterpolator.h"
#include "game/visual/GVXmlValues.h"

GVClassId GVEffect::ClassIdentity() {
    static const char identity = 0;
    return &identity;
}

bool GVEffect::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    mEnabled = gvxml::ReadBool(element, "enable", true);
    mId = gvxml::Text(element, "id");
    return true;
}

GVBase* GVEffect::CopyTo(GVBase* target) {
    auto* effect = dynamic_cast<GVEffect*>(target);
    if (effect == nullptr) {
        return nullptr;
    }
    effect->mId = mId;
    effect->mEnabled = mEnabled;
    return target;
}

bool GVEffect::SetOwner(GVObject* owner) {
    mOwner = owner;
    return owner != nullptr;
}

std::map<str, GVEffectCreator>& GetEffectCreators() {
    static std::map<str, GVEffectCreator> creators;
    return creators;
}

bool RegisterEffectCreator(const str& name, GVEffectCreator creator) {
    GetEffectCreators()[name] = creator;
    return true;
}

namespace {

// Here, beside the registry, so that linking the registry links the effects too.
[[maybe_unused]] const bool kEffectsRegistered = [] {
    RegisterEffectCreator(GVScaleInterpolator::kTypeName,
                          []() -> GVEffect* { return new GVScaleInterpolator; });
    RegisterEffectCreator(GVDeltaMoveInterpolator::kTypeName,
                          []() -> GVEffect* { return new GVDeltaMoveInterpolator; });
    RegisterEffectCreator(GVAlphaInterpolator::kTypeName,
                          []() -> GVEffect* { return new GVAlphaInterpolator; });
    RegisterEffectCreator(GVRotateInterpolator::kTypeName,
                          []() -> GVEffect* { return new GVRotateInterpolator; });
    RegisterEffectCreator(GVParticlesEffect::kTypeName,
                          []() -> GVEffect* { return new GVParticlesEffect; });
    return true;
}();

} // namespace
