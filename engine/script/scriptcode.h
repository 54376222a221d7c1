// A script file compiled once into the precompiled-chunk form and shared through the asset
// manager, so running the same file again only loads the stored chunk. Main thread only.
#pragma once

#include "engine/core/asset.h"
#include "engine/core/str.h"

#include <boost/shared_ptr.hpp>

class TScriptCode : public TAsset {
public:
    TScriptCode(const char* data, int size);

    static const void* ClassId();
    const char* GetClassName() const override;
    bool IsKindOf(const void* classId) const override;

    // The chunk of the file, from the cache or compiled now (path: the LUA_PATH search path, empty
    // for "assets/?;../?;?"). Empty with the loader's message in *error when it does not compile.
    static boost::shared_ptr<TScriptCode> Get(const str& name, const str& path, str* error);

    // The chunk bytes; they may contain 0 bytes, so read mSize of them.
    str GetCode() const { return mCode; }
    const char* Data() const { return mCode.CStr(); }

    str mCode;
    int32_t mSize;
};

using TScriptCodePtr = boost::shared_ptr<TScriptCode>;
