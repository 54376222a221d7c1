// The visual-object factory: turns object paths into files under the object folder, loads each
// object tree once as a prototype into its cache and hands out clones attached to the current
// draw list. It builds the texture and frame lists of objects being loaded and the children of
// prototypes, and picks the creator (registered by name) that loads, clones and attaches. One
// instance, made on first use; main thread only.
#pragma once

#include "engine/core/str.h"

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <map>
#include <memory>
#include <vector>

class GVBase;
class GVChilds;
class GVFrames;
class GVLayer;
class GVObject;
class GVTextures;
class TXmlNode;

class GVCustomFactory {
public:
    virtual ~GVCustomFactory() = default;
};

class GVFactory : public GVCustomFactory {
public:
    // Loads, clones and attaches objects for the factory. Made from its registered constructor
    // and kept by the factory until ClearCache.
    class GVObjectCreator {
    public:
        virtual ~GVObjectCreator() = default;
        // A new object loaded from the element, or from the file the key names without one
        // (null when it cannot be read or loads nothing). The owner is the parent being loaded.
        virtual GVObject* Create(const str& key, TXmlNode* element, GVObject* owner) = 0;
        virtual GVObject* Clone(GVObject* prototype) = 0;
        virtual bool Attach(GVObject* object, GVLayer* layer, GVObject* parent, bool setNormal) = 0;
        virtual const char* GetName() const = 0;
        // The "main" element of the file the key names, read into the document; null when there
        // is none.
        virtual TXmlNode* OpenNode(const str& key, std::unique_ptr<TXmlNode>& document) = 0;
        virtual void CloseNode(std::unique_ptr<TXmlNode>& document) = 0;
    };
    using TCreatorConstructor = GVObjectCreator* (*)(GVFactory* factory);

    static GVFactory& Instance();

    GVFactory() = default;
    // Empties the cache first.
    ~GVFactory() override;
    GVFactory(const GVFactory&) = delete;
    GVFactory& operator=(const GVFactory&) = delete;

    // A shared list of the element's images, else the parent's list (loading sets the parent),
    // else empty.
    virtual boost::shared_ptr<GVTextures> CreateTextures(TXmlNode* images, GVObject* object);
    // A shared list of the element's frames with their registrations on the object's textures,
    // or empty when none shows anything.
    virtual boost::shared_ptr<GVFrames> CreateFrames(TXmlNode* framelist, GVObject* object);
    // A clone of the path's prototype (loaded from the element when not cached) attached to the
    // current draw list below the parent; null when there is none. The caller owns it.
    virtual GVObject* Create(TXmlNode* element, const str& path, bool clone, GVObject* parent);
    // The cached prototype of the path below the owner (an object or a children list being
    // loaded), loaded and cached when missing; null when it cannot be loaded. The cache owns it.
    virtual GVObject* GetPrototype(const str& path, TXmlNode* element, GVBase* owner);
    // The prototype of a top-level path ("export").
    virtual GVObject* LoadByPath(const str& path);
    // A child prototype of the list being loaded, cached under the child key.
    virtual GVObject* CreateChild(const str& id, TXmlNode* element, GVChilds* list);
    // An attached copy of the object; null when it cannot be made. The caller owns it.
    virtual GVObject* CloneObject(GVObject* object, GVLayer* layer, GVObject* parent,
                                  bool setNormal);

    GVObject* CreateByPath(const str& path, bool clone) {
        return Create(nullptr, path, clone, nullptr);
    }
    // The prototype of the path; null for an empty path.
    GVObject* Preload(const str& path);
    // Drops every prototype and every creator instance; the constructors stay.
    void ClearCache();
    // Not owned. A draw list that is deleted while current clears it (ForgetLayer).
    void SetCurrentLayer(GVLayer* layer) { mCurrentLayer = layer; }
    GVLayer* GetCurrentLayer() const { return mCurrentLayer; }
    void ForgetLayer(const GVLayer* layer);
    // A top-level path (no owner): object folder + the name before "?" + ".xml". Below an
    // owner: the owner's key + "@" + the path, or "#" and the owner's child count for an empty
    // path.
    str MakePathKey(const str& path, const GVBase* owner) const;
    // The creator named after the first "?" ("default" without one), made when first asked;
    // null for a name without a constructor.
    GVObjectCreator* GetCreator(const str& path);
    // Replaces the constructor of the name.
    void RegisterCreator(const str& name, TCreatorConstructor constructor);

    void SetObjectFolder(const str& folder) { mObjectFolder = folder; }
    const str& GetObjectFolder() const { return mObjectFolder; }
    void SetTextureFolder(const str& folder) { mTextureFolder = folder; }
    const str& GetTextureFolder() const { return mTextureFolder; }
    bool IsCached(const str& key) const { return mCache.count(key) != 0; }

private:
    // The key an object answers for: the key it was loaded under, else one made from its ids.
    str ObjectKey(const GVObject* object) const;

    // Not owned.
    GVLayer* mCurrentLayer = nullptr;
    str mTextureFolder;
    str mObjectFolder;
    std::map<str, boost::shared_ptr<GVObject>> mCache;
    std::map<str, TCreatorConstructor> mConstructors;
    std::map<str, std::unique_ptr<GVObjectCreator>> mCreators;
    // 0 idle, 1 while a creation runs.
    int mBuildMode = 0;
    // Keys of the files being loaded, outermost first: an "export" back to one of them is cut.
    std::vector<str> mLoading;
};
