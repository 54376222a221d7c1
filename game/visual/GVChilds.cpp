#include "game/visual/GVChilds.h"

#include "engine/core/xml.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVXmlValues.h"

#include <algorithm>

GVChilds::~GVChilds() {
    GVChilds::Clear();
}

GVBase* GVChilds::GetOwner() {
    return mOwner;
}

const GVBase* GVChilds::GetOwnerConst() const {
    return mOwner;
}

void GVChilds::Clear() {
    mImported.clear();
    if (mOwning) {
        GVConteiner::Clear();
    } else {
        Forget();
    }
}

bool GVChilds::IsImported(const GVObject* child) const {
    return std::find(mImported.begin(), mImported.end(), child) != mImported.end();
}

bool GVChilds::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    int kept = 0;
    str name;
    TXmlNode* child = nullptr;
    element->ResetChildren();
    while (element->NextChild(name, child)) {
        if (!(name == GetItemName()) || child == nullptr) {
            continue;
        }
        const str id = gvxml::Text(child, "id");
        GVObject* object = GVFactory::Instance().CreateChild(id, child, this);
        if (object != nullptr) {
            Append(object, object->GetId());
            ++kept;
        }
    }
    return kept > 0;
}

GVBase* GVChilds::CopyTo(GVBase* target) {
    auto* list = dynamic_cast<GVChilds*>(target);
    if (list == nullptr || target->GetType() != GetType()) {
        return nullptr;
    }
    for (int i = 0; i < Count(); ++i) {
        GVObject* child = At(i);
        list->Append(child, child->GetId());
        if (IsImported(child)) {
            list->AddImported(child);
        }
    }
    return target;
}

bool GVChilds::SaveChild(TXmlNode* element, GVObject* child) {
    if (element == nullptr || child == nullptr || IsImported(child)) {
        return false;
    }
    return child->Save(element);
}

void GVChilds::AttachAll(GVLayer* layer, GVObject* parent, bool setNormal) {
    std::vector<GVObject*> children;
    for (int i = 0; i < Count(); ++i) {
        children.push_back(At(i));
    }
    if (mOwning) {
        for (GVObject* child : children) {
            child->AttachTo(layer, parent, setNormal);
        }
        return;
    }
    const std::vector<GVObject*> imported = mImported;
    Forget();
    mImported.clear();
    for (GVObject* child : children) {
        GVObject* copy = GVFactory::Instance().CloneObject(child, layer, parent, setNormal);
        if (copy == nullptr) {
            continue;
        }
        if (std::find(imported.begin(), imported.end(), child) != imported.end()) {
            mImported.push_back(copy);
        }
        Append(copy, copy->GetId());
    }
    mOwning = true;
}
