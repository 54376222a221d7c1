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

    // Reads "x", "y", "w", "h", "img", "regx", "regy" and "centering". False for a frame that
    // shows nothing: 0 by 0 (the list drops it), or a negative size, which is marked empty and
    // keeps its number as a slot that draws nothing.
    bool Load(TXmlNode* element, GVBase* owner) override;
    // The attributes Load reads; zeros and an unset mode are written empty.
    bool Save(TXmlNode* element) override;
    // Rectangle, texture index, registration points and the empty mark, into a frame.
    GVBase* CopyTo(GVBase* target) override;

    // Each coordinate from the mirrored point when its flip bit is set (1: x, 2: y), truncated
    // toward zero.
    TPoint GetRegistration(uint32_t flip) const;

    TVec2 mRegistration;
    // "regx", "regy" as read, before the registration mode was applied.
    TVec2 mRawRegistration;
    TVec2 mMirroredRegistration;
    int mMode = kModeNotSet;
    // Texture pixels.
    TRect mRect{0, 0, 0, 0};
    int mTexture = 0;
    // Position in the frame list.
    int mNumber = 0;
    // A slot kept for a frame that was left out: shows nothing, is never hit.
    bool mEmpty = false;
};
