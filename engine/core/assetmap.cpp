#include "engine/core/assetmap.h"

#include "engine/core/assetmanager.h"
#include "engine/core/file.h"
#include "engine/core/log.h"

namespace {

TAssetLoaderLink& NoAssetLoaders() {
    static auto* none = new TAssetLoaderLink;
    return *none;
}

TAssetLoaderLink* gAssetLoaders = nullptr;

// Tried in this order on a name that does not exist as given.
const char* const kAssetExtensions[] = {".xml", ".anm", ".jpg", ".png", ".ogg", ".mesh", ".lua"};

str WithSlashes(const str& name) {
    str copy = name;
    copy.Replace("\\", "/", str::kAll);
    return copy;
}

// The number after "group=" in a sound's options; 0 without one.
int SoundGroup(const str& options) {
    const str tag = "group=";
    const int at = options.Find(tag);
    return at < 0 ? 0 : options.Substr(at + tag.Length()).ToInt();
}

} // namespace

TAssetLoaderLink& AssetLoaders() {
    return gAssetLoaders != nullptr ? *gAssetLoaders : NoAssetLoaders();
}

void SetAssetLoaderLink(TAssetLoaderLink* link) {
    gAssetLoaders = link;
}

TSoundPtr AssetToSound(const TAssetPtr& asset) {
    if (!asset) {
        return TSoundPtr();
    }
    TSound* sound = AssetLoaders().AsSound(asset.get());
    // Shares the asset's ownership; the core never needs TSound's definition.
    return sound != nullptr ? TSoundPtr(asset, sound) : TSoundPtr();
}

TAssetMap::~TAssetMap() = default;

void TAssetMap::AddAsset(const str& name, const TAssetPtr& asset) {
    const str request = WithSlashes(name);
    if (asset) {
        mAssets[request] = asset;
        return;
    }
    const int question = request.FindChar('?');
    const str options = question < 0 ? str() : request.Substr(question);
    str file = question < 0 ? request : request.Substr(0, question);
    if (!EngineFileExists(file)) {
        bool found = false;
        for (const char* extension : kAssetExtensions) {
            if (EngineFileExists(file + extension)) {
                file = file + extension;
                found = true;
                break;
            }
        }
        if (!found) {
            Log("TAssetMap::AddAsset: Failed to find asset %s with any standard extension "
                "(jpg/png/anm/xml/ogg/mesh)",
                request.CStr());
            return;
        }
    }
    const int dot = file.FindChar('.', str::kBackward);
    const str extension = dot < 0 ? str() : file.Substr(dot + 1);
    const str full = file + options;

    TAssetLoaderLink& loaders = AssetLoaders();
    TAssetPtr loaded;
    str key;
    if (extension == "jpg" || extension == "png") {
        loaded = loaders.LoadTexture(full);
        key = loaders.MakeTextureKey(request);
    } else if (extension == "xml" || extension == "anm") {
        loaded = loaders.LoadAnimatedTexture(full);
        key = loaders.MakeAnimatedTextureKey(request);
    } else if (extension == "ogg") {
        loaded = loaders.LoadSound(full);
        key = str::FromFormat("%s;%d;%d", request.CStr(), 0, SoundGroup(options));
    } else if (extension == "lua") {
        loaded = loaders.LoadScriptCode(full);
        key = request;
    } else if (extension == "mesh") {
        loaded = loaders.LoadModel(full);
        key = request;
    }
    if (!loaded) {
        Log("TAssetMap::AddAsset: Error loading %s", full.CStr());
        return;
    }
    if (TAssetManager* manager = GetAssetManager()) {
        manager->Add(key, loaded);
    }
    mAssets[request] = loaded;
}

void TAssetMap::AddAssets(const char* const* names) {
    if (names == nullptr) {
        return;
    }
    for (; *names != nullptr; ++names) {
        AddAsset(*names, TAssetPtr());
    }
}

TSoundPtr TAssetMap::GetSound(const str& name) {
    const str request = WithSlashes(name);
    // A lookup of a missing name leaves an empty entry, as the map has always done.
    if (const TAssetPtr& held = mAssets[request]) {
        return AssetToSound(held);
    }
    if (mAutoLoad) {
        AddAsset(request, TAssetPtr());
        if (const TAssetPtr& loaded = mAssets[request]) {
            return AssetToSound(loaded);
        }
    }
    Log("Sound asset not found: %s", request.CStr());
    return TSoundPtr();
}
