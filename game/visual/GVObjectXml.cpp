// GVObject's file side: reading and writing an object element.
#include "engine/core/xml.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVEffects.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVHitTester.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVStates.h"
#include "game/visual/GVTextures.h"
#include "game/visual/GVXmlValues.h"

namespace {

// Replaces the element's child of that name by an empty one.
TXmlNode* FreshChild(TXmlNode* element, const char* name) {
    if (TXmlNode* old = element->FindChild(name)) {
        element->RemoveChild(old);
    }
    return element->AddChild(name);
}

} // namespace

bool GVObject::Load(TXmlNode* element, GVBase* owner) {
    if (!mLocal.Load(element, owner)) {
        return false;
    }
    GVObject* parent = dynamic_cast<GVObject*>(owner);
    if (auto* list = dynamic_cast<GVChilds*>(owner)) {
        parent = list->GetOwnerObject();
    }
    mParent = parent;
    mId = gvxml::Text(element, "id");
    if (TXmlNode* params = element->FindChild("params")) {
        // Read and not kept: objects have no parameters.
        str name;
        str value;
        params->ResetAttributes();
        while (params->NextAttribute(name, value)) {
        }
    }

    GVFactory& factory = GVFactory::Instance();
    mTextures = factory.CreateTextures(element->FindChild("images"), this);
    if (mTextures != nullptr) {
        mFrames = factory.CreateFrames(element->FindChild("framelist"), this);
    }
    LoadHitTester(element, parent);

    if (TXmlNode* objects = element->FindChild("objects")) {
        auto childs = std::make_unique<GVChilds>(this);
        if (childs->Load(objects, this)) {
            SetChilds(childs.release());
        }
    }
    const str exported = gvxml::Text(element, "export");
    if (mChilds == nullptr && exported.Length() > 0) {
        if (GVObject* child = factory.LoadByPath(exported)) {
            auto childs = std::make_unique<GVChilds>(this);
            childs->Append(child, child->GetId());
            childs->AddImported(child);
            SetChilds(childs.release());
        }
    }

    if (TXmlNode* effects = element->FindChild("effects")) {
        // The object's own effects: they learn their owner at attachment but never run.
        auto list = std::make_unique<GVEffects>(this);
        if (list->Load(effects, this)) {
            SetEffects(list.release());
        }
    }

    if (mFrames != nullptr) {
        auto states = std::make_unique<GVStates>(this);
        states->mFrameCount = mFrames->Count();
        states->Load(element->FindChild("states"), this);
        states->AddNormal(mFrames->Count());
        SetStates(states.release());
    }
    mLink = gvxml::ReadInt(element, "link", kLinkInherited);
    return mFrames != nullptr || (mChilds != nullptr && mChilds->Count() > 0);
}

void GVObject::LoadHitTester(TXmlNode* element, const GVObject* parent) {
    str name = gvxml::Text(element, "hit_test");
    if (name.Length() == 0) {
        name = parent == nullptr               ? str("default")
               : parent->mHitTester != nullptr ? str(parent->mHitTester->GetTypeName())
                                               : str("none");
    }
    mHitTester.reset();
    const auto& creators = GetHitTesterCreators();
    auto found = creators.find(name);
    if (found == creators.end() || found->second == nullptr) {
        return;
    }
    boost::shared_ptr<GVHitTester> tester(found->second());
    if (tester != nullptr && tester->Attach(this)) {
        mHitTester = tester;
    }
}

bool GVObject::Save(TXmlNode* element) {
    if (element == nullptr || !mLocal.Save(element)) {
        return false;
    }
    if (TXmlNode* params = element->FindChild("params")) {
        element->RemoveChild(params);
    }
    gvxml::SetText(element, "id", mId);
    if (mFrames != nullptr) {
        mFrames->Save(FreshChild(element, "framelist"));
    } else if (TXmlNode* old = element->FindChild("framelist")) {
        element->RemoveChild(old);
    }
    if (mStates != nullptr) {
        mStates->Save(FreshChild(element, "states"));
    } else if (TXmlNode* old = element->FindChild("states")) {
        element->RemoveChild(old);
    }
    if (mChilds != nullptr && mChilds->Count() > 0 && element->FindChild("objects") == nullptr) {
        element->AddChild("objects");
    }
    gvxml::SetText(element, "link", mLink == kLinkInherited ? str() : str::FromFormat("%d", mLink));
    return true;
}
