// The texture list of an object, keyed by image path; a frame names its texture by position.
// Shared by an object, its clones and its prototype, and by children that have no images of their
// own. Main thread only.
#pragma once

#include "engine/core/str.h"
#include "game/visual/GVConteiner.h"
#include "game/visual/GVTexture.h"

class GVTextures : public GVConteiner<GVTexture, str> {
public:
    GVTextures() : GVConteiner(kTextures, "img") {}

    // The "img" elements in order, each loaded from the folder ("path" of the element, else
    // mFolder) through TTexture::Get. An image without a name or without a loadable texture keeps
    // an empty slot, so that the frames' indices of the images after it stay right. True when at
    // least one texture loaded.
    bool Load(TXmlNode* element, GVBase* owner) override;

    // The texture at the position, or null (no entry, or an image that did not load).
    TTexture* TextureAt(int position) const {
        const GVTexture* entry = At(position);
        return entry != nullptr ? entry->mTexture.get() : nullptr;
    }

    // Default folder of the list's images.
    str mFolder;
};
