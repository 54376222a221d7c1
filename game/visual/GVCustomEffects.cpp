#include "game/visual/GVCustomEffects.h"

#include "engine/core/xml.h"

#include <memory>

namespace {

GVEffect* MakeEffect(const str& typeName) {
    const auto& creators = GetEffectCreators();
    auto found = creators.find(typeName);
    return found != creators.end() && found->second != nullptr ? found->second() : nullptr;
}

} // namespace

bool GVCustomEffects::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    int kept = 0;
    str name;
    TXmlNode* child = nullptr;
    element->ResetChildren();
    while (element->NextChild(name, child)) {
        if (child == nullptr) {
            continue;
        }
        if (GVEffect* effect = CreateItem(child)) {
            Append(effect, effect->GetId());
            ++kept;
        }
    }
    return kept > 0;
}

GVEffect* GVCustomEffects::CreateItem(TXmlNode* element) {
    if (element == nullptr) {
        return nullptr;
    }
    std::unique_ptr<GVEffect> effect(MakeEffect(element->GetName()));
    if (effect == nullptr || !effect->Load(element, this)) {
        return nullptr;
    }
    return effect.release();
}

GVEffect* GVCustomEffects::CloneItem(GVEffect* item) {
    if (item == nullptr) {
        return nullptr;
    }
    std::unique_ptr<GVEffect> effect(MakeEffect(item->GetTypeName()));
    if (effect == nullptr || item->CopyTo(effect.get()) == nullptr) {
        return nullptr;
    }
    return effect.release();
}

void GVCustomEffects::SetOwnerAll(GVObject* object) {
    for (int i = 0; i < Count(); ++i) {
        At(i)->SetOwner(object);
    }
}
