// One image of an object's texture list: the texture and the registration mode its frames take
// when neither they nor their list name one. Texture lists are shared, never copied. Main thread
// only.
#pragma once

#include "engine/core/str.h"
#include "engine/media/texture.h"
#include "game/visual/GVBase.h"
#include "game/visual/GVFrame.h"

class GVTexture : public GVBase {
public:
    GVTexture() : GVBase(kTexture) {}

    // Texture entries are not written back.
    bool Save(TXmlNode* /*element*/) override { return false; }
    // A texture entry cannot be copied: null.
    GVBase* CopyTo(GVBase* /*target*/) override { return nullptr; }

    // The registration mode of its frames; not set when the image does not name one.
    int mMode = GVFrame::kModeNotSet;
    // Empty when the image could not be loaded.
    TTexturePtr mTexture;
    // The folder, then folder and name once loaded.
    str mPath;
};
