#include "game/world/GameRandom.h"

#include "engine/core/random.h"
#include "engine/system/platform.h"

TRandom& GameRandom() {
    static TRandom random = [] {
        TRandom seeded;
        seeded.Seed(TPlatform::GetTime());
        return seeded;
    }();
    return random;
}
