// The registry of live assets: one weak reference per asset under a key its class chooses, so a
// second request for the same key finds the live object instead of loading it again. Around a
// display reset it lets every live asset give up and rebuild its device data. Owned by the
// platform; main thread only.
#pragma once

#include "engine/core/asset.h"
#include "engine/core/str.h"

#include <boost/weak_ptr.hpp>

#include <map>

class TAssetManager {
public:
    TAssetManager() = default;
    TAssetManager(const TAssetManager&) = delete;
    TAssetManager& operator=(const TAssetManager&) = delete;
    // Frees the map; the assets themselves are not told.
    virtual ~TAssetManager();

    // Registers the asset under key, replacing whatever the key referred to.
    void Add(const str& key, const TAssetPtr& asset);
    // The live asset under key, or empty. A lookup of an absent key leaves an empty entry, which
    // the next ReleaseAll drops.
    TAssetPtr Find(const str& key);
    void Remove(const str& key);
    // Drops the entries of dead assets and calls Unload on every live one, in key order.
    void ReleaseAll();
    // Calls Restore on every live asset in key order.
    void RestoreAll();
    // True when the map holds any entry, a dead asset's included.
    bool HasEntries() const { return !mAssets.empty(); }

protected:
    // Ordered byte-wise by key. Entries of dead assets stay until ReleaseAll or Remove.
    std::map<str, boost::weak_ptr<TAsset>> mAssets;
};

// The platform's asset manager; null while there is no platform. The platform sets it (not owned)
// when it is made and takes it back (null) before it deletes it. Main thread.
TAssetManager* GetAssetManager();
void SetAssetManager(TAssetManager* manager);
