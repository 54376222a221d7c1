#include "game/world/GGameData.h"

int GGameData::GetObjectUpgrade(const GGameObject* /*object*/, int /*upgradeLevel*/,
                                GUpgradeData& /*record*/) {
    // No upgrade table is read yet, so no object has a group.
    return -1;
}

const GUpgradeData* GGameData::FindUpgrade(const str& /*name*/, int /*position*/) const {
    return nullptr;
}
