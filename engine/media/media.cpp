#include "engine/media/media.h"

#include "engine/core/assetmap.h"
#include "engine/media/animatedtexture.h"
#include "engine/media/model.h"
#include "engine/media/renderer.h"
#include "engine/media/sound.h"
#include "engine/media/soundmanager.h"
#include "engine/media/texture.h"
#include "engine/script/scriptcode.h"
#include "engine/system/medialink.h"

namespace {

// The loaders the core's asset map reaches: the media assets and the script layer's compiled
// scripts.
class TMediaAssetLoaders final : public TAssetLoaderLink {
public:
    TAssetPtr LoadTexture(const str& path) override { return TTexture::Get(path, 0); }
    str MakeTextureKey(const str& request) override {
        return TTexture::MakeKey(request, false, false, false);
    }
    TAssetPtr LoadAnimatedTexture(const str& path) override {
        return TAnimatedTexture::Get(path, str(), str());
    }
    str MakeAnimatedTextureKey(const str& request) override {
        return TAnimatedTexture::MakeKey(request, str(), str());
    }
    TAssetPtr LoadSound(const str& path) override { return TSound::Get(path, true, -1); }
    TAssetPtr LoadScriptCode(const str& path) override {
        return TScriptCode::Get(path, str(), nullptr);
    }
    TAssetPtr LoadModel(const str& path) override { return TModel::Get(path); }
    TSound* AsSound(TAsset* asset) override {
        return asset->IsKindOf(TSound::ClassId()) ? static_cast<TSound*>(asset) : nullptr;
    }
};

} // namespace

void RegisterMedia() {
    SetRendererHooks([] { TRenderer::Instance(); }, [] { TRenderer::Destroy(); });
    SetSoundManagerFactory([]() -> TSoundManagerLink* { return new TSoundManager; });
    // Holds nothing; lives as long as the process, like the registration.
    static auto* loaders = new TMediaAssetLoaders;
    SetAssetLoaderLink(loaders);
}
