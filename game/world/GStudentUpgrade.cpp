#include "game/world/GStudentUpgrade.h"

#include "game/world/GGameData.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_StudentUpgrButton.h"
#include "game/world/GPlayerInfo.h"

GStudentUpgrade::~GStudentUpgrade() {
    SetStrategy(nullptr);
}

GGameObject* GStudentUpgrade::Clone() const {
    auto* copy = new GStudentUpgrade;
    copy->CopyFrom(*this);
    return copy;
}

bool GStudentUpgrade::InitInLevel(TLuaTable* objectTable, TLuaTable* typeExtension,
                                  const str& extraLua, GLevel* level) {
    if (!GGameObject::InitInLevel(objectTable, typeExtension, extraLua, level)) {
        return false;
    }
    ShowUpgradeLevel();
    return true;
}

void GStudentUpgrade::Upgrade() {
    SetStrategy(nullptr);
    SetUpgradeLevel(GetUpgradeLevel() + 1);
    const GUpgradeData& data = GetUpgradeData();
    GGameData* gameData = GLogicalManager::Instance().GetGameData();
    GPlayerInfo::Instance()->UpgradeBuyed(
        data.mOwnerName, data.mPrice, gameData != nullptr ? gameData->GetCurrentLevelNumber() : 0,
        data.mIndex);
}

void GStudentUpgrade::LeaveUpgradeMode(int /*level*/) {
    SetStrategy(nullptr);
    ResetUpgradeView();
    CPP_WantDestroy();
}

void GStudentUpgrade::EnterUpgradeMode(int /*mode*/) {
    SetStrategy(nullptr);
    ShowUpgradeLevel();
    auto* strategy = new GMStr_StudentUpgrButton;
    SetStrategy(strategy);
    strategy->SetTarget(this, GLogicalManager::Instance().GetSwitchListener());
    SetMouseEnabled(true);
}
