#include "game/world/GStatistics.h"

#include "engine/system/platform.h"

GStatistics* GStatistics::Instance() {
    static GStatistics instance;
    return &instance;
}

GStatistics::GStatistics() {
    mRandom.Seed(TPlatform::GetTime());
}
