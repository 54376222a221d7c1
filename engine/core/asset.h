// The base of every loaded resource that may be shared: compiled scripts, textures, models,
// sounds. Assets are always held by boost shared pointers and can hand out a shared pointer to
// themselves; the asset manager keeps only weak references, so the last holder frees an asset.
// Main thread only.
#pragma once

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>

class TAsset : public boost::enable_shared_from_this<TAsset> {
public:
    // A class's identity is the address of its own ClassId function.
    static const void* ClassId();

    virtual const char* GetClassName() const;
    // True for the class's own id and for those of its bases.
    virtual bool IsKindOf(const void* classId) const;
    virtual ~TAsset();
    // Gives up what the asset keeps on the display device before a reset.
    virtual void Unload();
    // Rebuilds it after the device is back.
    virtual void Restore();
};

using TAssetPtr = boost::shared_ptr<TAsset>;
