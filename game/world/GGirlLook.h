// A girl's look carried out of the level: her thirteen appearance numbers in the order the girl
// keeps them, her object name, her type name and her last score. The level keeps one per girl.
#pragma once

#include "engine/core/str.h"

#include <cstdint>

// The appearance numbers; the "base" ones are her type's defaults, the others her current look.
struct GLookNumbers {
    int32_t mHead = 0;
    int32_t mDress = 0;
    int32_t mHair = 0;
    int32_t mBody = 0;
    int32_t mDressBase = 0;
    int32_t mHairBase = 0;
    int32_t mMakeupBase = 0;
    int32_t mAccessories = 0;
    int32_t mMakeup = 0;
    int32_t mMask = 0;
    int32_t mManicure = 0;
    int32_t mMaskBase = 0;
    int32_t mManicureBase = 0;
};

struct GGirlLook {
    GLookNumbers mNumbers;
    str mName;
    str mType;
    int32_t mScore = 0;

    // The thirteen numbers become 0; the names and the score stay.
    void Clear() { mNumbers = GLookNumbers(); }
};
