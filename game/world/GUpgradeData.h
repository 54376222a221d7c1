// One upgrade level of an object, a power or the touch-up offer, as the game data reads it from
// the "Upgrades" table of its script. Plain data, copied freely.
#pragma once

#include "engine/core/str.h"

#include <cstdint>

struct GUpgradeData {
    int32_t mPrice = 0;
    // The first level number at which the upgrade is offered.
    int32_t mLevel = 0;
    int32_t mUpgradeLevel = 0;
    double mValue = 1.0;
    int32_t mIndex = 0;
    bool mRecommended = false;
    str mBuyingParam;
    str mBuyingCommand;
    str mOwnerName;
    str mGirlBaseType;
    str mStartCommand;

    // Every integer 0, value 1.0, not recommended, every text empty.
    void Reset() { *this = GUpgradeData(); }
};
