#include "game/visual/GVTextures.h"

#include "engine/core/xml.h"
#include "game/visual/GVXmlValues.h"

bool GVTextures::Load(TXmlNode* element, GVBase* /*owner*/) {
    if (element == nullptr) {
        return false;
    }
    const str listFolder = gvxml::Text(element, "path");
    if (listFolder.Length() > 0) {
        mFolder = listFolder;
    }
    int loaded = 0;
    str name;
    TXmlNode* child = nullptr;
    element->ResetChildren();
    while (element->NextChild(name, child)) {
        if (!(name == GetItemName()) || child == nullptr) {
            continue;
        }
        auto* entry = new GVTexture;
        const str folder = gvxml::Text(child, "path");
        entry->mPath = folder.Length() > 0 ? folder : mFolder;
        entry->mMode = gvxml::ParseCentering(gvxml::Chars(gvxml::Text(child, "centering")));
        const str file = gvxml::Text(child, "name");
        if (file.Length() > 0) {
            entry->mPath += file;
            entry->mTexture = TTexture::Get(entry->mPath, 0);
        }
        if (entry->mTexture) {
            ++loaded;
        } else {
            // The slot stays; its mode must not steer the registration of frames that show
            // nothing anyway.
            entry->mMode = GVFrame::kModeNotSet;
        }
        Append(entry, entry->mPath);
    }
    return loaded > 0;
}
