#include "game/visual/GVDefaultObjectCreator.h"

#include "engine/core/xml.h"
#include "game/visual/GVObject.h"

GVObject* GVDefaultObjectCreator::Create(const str& key, TXmlNode* element, GVObject* owner) {
    if (key.Length() == 0 && element == nullptr) {
        return nullptr;
    }
    std::unique_ptr<TXmlNode> document;
    if (element == nullptr) {
        element = OpenNode(key, document);
        if (element == nullptr) {
            return nullptr;
        }
    }
    auto object = std::make_unique<GVObject>();
    // Before loading: the children's keys are built from it.
    object->SetPathKey(key);
    const bool loaded = object->Load(element, owner);
    CloseNode(document);
    return loaded ? object.release() : nullptr;
}

GVObject* GVDefaultObjectCreator::Clone(GVObject* prototype) {
    if (prototype == nullptr) {
        return nullptr;
    }
    auto object = std::make_unique<GVObject>();
    return prototype->CopyTo(object.get()) != nullptr ? object.release() : nullptr;
}

bool GVDefaultObjectCreator::Attach(GVObject* object, GVLayer* layer, GVObject* parent,
                                    bool setNormal) {
    return object != nullptr && object->AttachTo(layer, parent, setNormal);
}

TXmlNode* GVDefaultObjectCreator::OpenNode(const str& key, std::unique_ptr<TXmlNode>& document) {
    if (key.Length() == 0 || key.FindChar('@') >= 0) {
        return nullptr;
    }
    document = std::make_unique<TXmlNode>();
    if (!document->LoadFile(key.CStr())) {
        document.reset();
        return nullptr;
    }
    return document->FindChild("main");
}

void GVDefaultObjectCreator::CloseNode(std::unique_ptr<TXmlNode>& document) {
    document.reset();
}
