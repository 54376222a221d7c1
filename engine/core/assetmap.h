// TAssetMap keeps loaded assets alive under the names a caller used for them, so that a window, a
// particle layer or the game's sound-effect registry loads its media once and finds it again by
// the same name. It loads any kind of asset the engine knows, chosen by the file's extension,
// registers each with the asset manager under its class's own key and holds a strong reference.
// Main thread only.
//
// The loaders live above the core (textures, animated textures, models and sounds in media,
// compiled scripts in the script layer), so the map reaches them through TAssetLoaderLink, which
// media installs at start-up (RegisterMedia). Until then nothing loads.
#pragma once

#include "engine/core/asset.h"
#include "engine/core/str.h"

#include <boost/shared_ptr.hpp>

#include <map>

class TSound;
using TSoundPtr = boost::shared_ptr<TSound>;

// The asset loaders as the core reaches them. The bodies are those of an engine without them:
// nothing loads and nothing is a sound.
class TAssetLoaderLink {
public:
    virtual ~TAssetLoaderLink() = default;

    // TTexture::Get(path, no options).
    virtual TAssetPtr LoadTexture(const str& /*path*/) { return TAssetPtr(); }
    // TTexture::MakeKey(request, no alpha, no mipmap, not simple).
    virtual str MakeTextureKey(const str& request) { return request; }
    // TAnimatedTexture::Get(path, no image or mask override).
    virtual TAssetPtr LoadAnimatedTexture(const str& /*path*/) { return TAssetPtr(); }
    // TAnimatedTexture::MakeKey(request, no image or mask override).
    virtual str MakeAnimatedTextureKey(const str& request) { return request; }
    // TSound::Get(path, in memory, no category).
    virtual TAssetPtr LoadSound(const str& /*path*/) { return TAssetPtr(); }
    // TScriptCode::Get(path, the default search path); its error text is not kept.
    virtual TAssetPtr LoadScriptCode(const str& /*path*/) { return TAssetPtr(); }
    // TModel::Get(path).
    virtual TAssetPtr LoadModel(const str& /*path*/) { return TAssetPtr(); }
    // The asset as a TSound when its class accepts TSound's class id; null otherwise.
    virtual TSound* AsSound(TAsset* /*asset*/) { return nullptr; }
};

// The installed loaders, or the ones that load nothing. Main thread.
TAssetLoaderLink& AssetLoaders();
// Not owned; null goes back to the ones that load nothing. Main thread.
void SetAssetLoaderLink(TAssetLoaderLink* link);

// The same object as a sound when it is one, else empty.
TSoundPtr AssetToSound(const TAssetPtr& asset);

class TAssetMap {
public:
    TAssetMap() = default;
    // Drops every held reference; each asset dies when its last other holder lets go.
    virtual ~TAssetMap();
    TAssetMap(const TAssetMap&) = delete;
    TAssetMap& operator=(const TAssetMap&) = delete;

    // With an asset, stores it under the name. Without one, loads the named file: a name without
    // a known extension is tried with ".xml", ".anm", ".jpg", ".png", ".ogg", ".mesh" and ".lua"
    // in that order, the loader is chosen by the extension found, and the asset is registered
    // with the asset manager and stored under the name as given. Failures are logged.
    void AddAsset(const str& name, const TAssetPtr& asset);
    // AddAsset without an asset for each name of a null-terminated array.
    void AddAssets(const char* const* names);
    // The sound stored under the name; empty for another kind of asset (silently) and for a
    // missing name, which is loaded first when mAutoLoad is set and logged otherwise.
    TSoundPtr GetSound(const str& name);

    // Set by the owner: GetSound loads a name it does not hold.
    bool mAutoLoad = false;

private:
    // Names as given, with '/' for every '\', options after '?' included.
    std::map<str, TAssetPtr> mAssets;
};
