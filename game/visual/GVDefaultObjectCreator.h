// The "default" object creator: loads an object from its element or its file, clones a
// prototype by copying it, attaches through the object itself. Main thread only.
#pragma once

#include "game/visual/GVFactory.h"

class GVDefaultObjectCreator final : public GVFactory::GVObjectCreator {
public:
    static constexpr const char* kName = "default";

    // The factory is not owned.
    explicit GVDefaultObjectCreator(GVFactory* factory) : mFactory(factory) {}

    GVObject* Create(const str& key, TXmlNode* element, GVObject* owner) override;
    GVObject* Clone(GVObject* prototype) override;
    bool Attach(GVObject* object, GVLayer* layer, GVObject* parent, bool setNormal) override;
    const char* GetName() const override { return kName; }
    // Paths with "@" parts (an object inside a file) give none.
    TXmlNode* OpenNode(const str& key, std::unique_ptr<TXmlNode>& document) override;
    void CloseNode(std::unique_ptr<TXmlNode>& document) override;

    GVFactory* GetFactory() const { return mFactory; }

private:
    GVFactory* mFactory;
};
