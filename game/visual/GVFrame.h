// One frame of an object's animation: a rectangle cut from one of the object's textures, with the
// registration point that lands on the object's position, plain and mirrored. Frames live in a
// frame list shared by an object, its clones and its prototype. Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/vec.h"
#include "game/visual/GVBase.h"

#include <cstdint>

class GVFrame : public GVBase {
public:
    // Registration mode not set: the list's, the texture's or "old" applies.
    static constexpr int kModeNotSet = 4;

    GVFrame() : GVBase(kFrame) {}

    // Frames are not written back.
    bool Save(TXmlNode* /*element*/) override { return false; }
    // Rectangle, texture index and registration points, into a frame.
    GVBase* CopyTo(GVBase* target) override;

    // Each coordinate from the mirrored point when its flip bit is set (1: x, 2: y), truncated
    // toward zero.
    TPoint GetRegistration(uint32_t flip) const;

    TVec2 mRegistration;
    TVec2 mMirroredRegistration;
    int mMode = kModeNotSet;
    // Texture pixels.
    TRect mRect{0, 0, 0, 0};
    int mTexture = 0;
    // Position in the frame list.
    int mNumber = 0;
};
