#include "game/visual/GVFactory.h"

#include "engine/core/log.h"
#include "engine/core/xml.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVDefaultObjectCreator.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVTextures.h"

#include <algorithm>

namespace {

// Here, beside the factory, so that linking the factory links its default creator too.
[[maybe_unused]] const bool kDefaultCreatorRegistered = [] {
    GVFactory::Instance().RegisterCreator(GVDefaultObjectCreator::kName,
                                          [](GVFactory* factory) -> GVFactory::GVObjectCreator* {
                                              return new GVDefaultObjectCreator(factory);
                                          });
    return true;
}();

// Sets the build mode for one creation and puts the old one back on every way out.
class GBuildModeScope {
public:
    explicit GBuildModeScope(int& mode) : mMode(mode), mSaved(mode) {
        if (mMode == 0) {
            mMode = 1;
        }
    }
    ~GBuildModeScope() { mMode = mSaved; }
    GBuildModeScope(const GBuildModeScope&) = delete;
    GBuildModeScope& operator=(const GBuildModeScope&) = delete;

private:
    int& mMode;
    int mSaved;
};

// The object a children list or an object being loaded stands for.
const GVObject* OwnerObject(const GVBase* owner) {
    if (const auto* list = dynamic_cast<const GVChilds*>(owner)) {
        return list->GetOwnerObject();
    }
    return dynamic_cast<const GVObject*>(owner);
}

int ChildCount(const GVObject* object) {
    return object != nullptr && object->GetChilds() != nullptr ? object->GetChilds()->Count() : 0;
}

str IdOrCount(const str& id, int count) {
    return id.Length() > 0 ? id : str::FromFormat("#%d", count);
}

} // namespace

GVFactory& GVFactory::Instance() {
    static GVFactory factory;
    return factory;
}

GVFactory::~GVFactory() {
    ClearCache();
}

boost::shared_ptr<GVTextures> GVFactory::CreateTextures(TXmlNode* images, GVObject* object) {
    auto list = boost::make_shared<GVTextures>();
    list->mFolder = mTextureFolder;
    if (images != nullptr && list->Load(images, object)) {
        return list;
    }
    const GVObject* parent = object != nullptr ? object->GetParent() : nullptr;
    return parent != nullptr ? parent->GetTextures() : boost::shared_ptr<GVTextures>();
}

boost::shared_ptr<GVFrames> GVFactory::CreateFrames(TXmlNode* framelist, GVObject* object) {
    auto list = boost::make_shared<GVFrames>();
    if (framelist == nullptr || !list->Load(framelist, object)) {
        return boost::shared_ptr<GVFrames>();
    }
    list->ComputeRegistrations(object != nullptr ? object->GetTextures().get() : nullptr);
    return list;
}

GVObject* GVFactory::Create(TXmlNode* element, const str& path, bool /*clone*/, GVObject* parent) {
    // Loading without the cache (build mode 2, asked for by clone = false) has no caller: every
    // creation goes through a cached prototype.
    const GBuildModeScope scope(mBuildMode);
    if (element == nullptr && path.Length() == 0) {
        return nullptr;
    }
    GVObjectCreator* creator = GetCreator(path);
    if (creator == nullptr) {
        return nullptr;
    }
    const str key = MakePathKey(path, parent);
    auto cached = mCache.find(key);
    GVObject* prototype =
        cached != mCache.end() ? cached->second.get() : GetPrototype(path, element, parent);
    if (prototype == nullptr) {
        return nullptr;
    }
    GVObject* copy = creator->Clone(prototype);
    if (copy == nullptr) {
        return nullptr;
    }
    if (!creator->Attach(copy, mCurrentLayer, parent, true)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

GVObject* GVFactory::GetPrototype(const str& path, TXmlNode* element, GVBase* owner) {
    const str key = MakePathKey(path, owner);
    auto cached = mCache.find(key);
    if (cached != mCache.end()) {
        return cached->second.get();
    }
    GVObjectCreator* creator = GetCreator(path);
    if (creator == nullptr) {
        return nullptr;
    }
    if (std::find(mLoading.begin(), mLoading.end(), key) != mLoading.end()) {
        Log("GVFactory::GetPrototype: %s comes back to a file being loaded", key.CStr());
        return nullptr;
    }
    mLoading.push_back(key);
    GVObject* object = creator->Create(key, element, const_cast<GVObject*>(OwnerObject(owner)));
    mLoading.pop_back();
    if (object == nullptr) {
        return nullptr;
    }
    mCache[key] = boost::shared_ptr<GVObject>(object);
    return object;
}

GVObject* GVFactory::LoadByPath(const str& path) {
    return CreateChild(path, nullptr, nullptr);
}

GVObject* GVFactory::CreateChild(const str& id, TXmlNode* element, GVChilds* list) {
    return GetPrototype(id, element, list);
}

GVObject* GVFactory::CloneObject(GVObject* object, GVLayer* layer, GVObject* parent,
                                 bool setNormal) {
    if (object == nullptr) {
        return nullptr;
    }
    GVObjectCreator* creator = GetCreator(object->GetId());
    GVObject* copy = creator != nullptr ? creator->Clone(object) : nullptr;
    if (copy == nullptr) {
        return nullptr;
    }
    if (!creator->Attach(copy, layer, parent, setNormal)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

GVObject* GVFactory::Preload(const str& path) {
    if (path.Length() == 0) {
        return nullptr;
    }
    auto cached = mCache.find(MakePathKey(path, nullptr));
    return cached != mCache.end() ? cached->second.get() : GetPrototype(path, nullptr, nullptr);
}

void GVFactory::ClearCache() {
    // Prototypes refer to each other (children, "export") without owning: each forgets its
    // children first, so that none is reached after the cache dropped it.
    for (auto& entry : mCache) {
        if (GVChilds* childs = entry.second->GetChilds();
            childs != nullptr && !childs->IsOwning()) {
            childs->Clear();
        }
    }
    std::map<str, boost::shared_ptr<GVObject>> cache;
    cache.swap(mCache);
    cache.clear();
    mCreators.clear();
}

void GVFactory::ForgetLayer(const GVLayer* layer) {
    if (mCurrentLayer == layer) {
        mCurrentLayer = nullptr;
    }
}

str GVFactory::MakePathKey(const str& path, const GVBase* owner) const {
    if (owner == nullptr) {
        const int query = path.FindChar('?');
        return mObjectFolder + (query >= 0 ? path.Substr(0, query) : path) + ".xml";
    }
    int count = 0;
    if (const auto* list = dynamic_cast<const GVChilds*>(owner)) {
        count = list->Count();
    } else {
        count = ChildCount(dynamic_cast<const GVObject*>(owner));
    }
    return ObjectKey(OwnerObject(owner)) + "@" + IdOrCount(path, count);
}

str GVFactory::ObjectKey(const GVObject* object) const {
    if (object == nullptr) {
        return mObjectFolder + "#0.xml";
    }
    if (object->GetPathKey().Length() > 0) {
        return object->GetPathKey();
    }
    const str id = IdOrCount(object->GetId(), ChildCount(object));
    const GVObject* parent = object->GetParent();
    return parent != nullptr ? ObjectKey(parent) + "@" + id : mObjectFolder + id + ".xml";
}

GVFactory::GVObjectCreator* GVFactory::GetCreator(const str& path) {
    const int query = path.FindChar('?');
    const str name = query >= 0 ? path.Substr(query + 1) : str(GVDefaultObjectCreator::kName);
    auto made = mCreators.find(name);
    if (made != mCreators.end()) {
        return made->second.get();
    }
    auto constructor = mConstructors.find(name);
    if (constructor == mConstructors.end() || constructor->second == nullptr) {
        return nullptr;
    }
    GVObjectCreator* creator = constructor->second(this);
    mCreators[name].reset(creator);
    return creator;
}

void GVFactory::RegisterCreator(const str& name, TCreatorConstructor constructor) {
    mConstructors[name] = constructor;
}
