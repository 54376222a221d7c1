// The frame list of an object: frames keyed and numbered by their position, and the registration
// mode of the list. Shared by an object, its clones and its prototype. Main thread only.
#pragma once

#include "game/visual/GVConteiner.h"
#include "game/visual/GVFrame.h"

class GVTextures;

class GVFrames : public GVConteiner<GVFrame, int> {
public:
    GVFrames() : GVConteiner(kFrames, "frame") {}

    // "centering" and the "frame" elements in order, numbered in the order kept: a 0 by 0 frame
    // is dropped, one of negative size keeps an empty slot. True when at least one frame shows
    // something. Registrations are computed by the caller, which knows the textures.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // "centering" and the frames as "frame" elements, added to the element.
    bool Save(TXmlNode* element) override;
    // At the end, numbered and keyed by its position; the list takes it.
    void AppendFrame(GVFrame* frame);
    // The frames' registration points from their raw "regx", "regy" and their modes (GVRegCalc).
    void ComputeRegistrations(const GVTextures* textures);
    // A copy of the frame.
    GVFrame* CloneItem(GVFrame* item) override;

    // GVFrame::kModeNotSet: the frames' texture entries decide.
    int mMode = GVFrame::kModeNotSet;
};
