#include "engine/core/assetmanager.h"

TAssetManager::~TAssetManager() = default;

void TAssetManager::Add(const str& key, const TAssetPtr& asset) {
    mAssets[key] = asset;
}

TAssetPtr TAssetManager::Find(const str& key) {
    return mAssets[key].lock();
}

void TAssetManager::Remove(const str& key) {
    mAssets.erase(key);
}

// Both walks step by key rather than by iterator: an Unload or Restore may release other assets,
// whose destructors remove their own entries, or register new ones.
void TAssetManager::ReleaseAll() {
    for (auto it = mAssets.begin(); it != mAssets.end();) {
        TAssetPtr asset = it->second.lock();
        if (!asset) {
            it = mAssets.erase(it);
            continue;
        }
        const str key = it->first;
        asset->Unload();
        asset.reset();
        it = mAssets.upper_bound(key);
    }
}

void TAssetManager::RestoreAll() {
    for (auto it = mAssets.begin(); it != mAssets.end();) {
        const str key = it->first;
        if (TAssetPtr asset = it->second.lock()) {
            asset->Restore();
        }
        it = mAssets.upper_bound(key);
    }
}

namespace {

TAssetManager* gAssetManager = nullptr;

} // namespace

TAssetManager* GetAssetManager() {
    return gAssetManager;
}

void SetAssetManager(TAssetManager* manager) {
    gAssetManager = manager;
}
