#include "game/world/GInDoor.h"

#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_Door.h"
#include "game/world/GMStr_Edit.h"
#include "game/world/GSoundEffects.h"

GGameObject* GInDoor::Clone() const {
    auto* copy = new GInDoor;
    copy->CopyFrom(*this);
    return copy;
}

void GInDoor::SetEditMode(bool on, int level) {
    GGameObject::SetEditMode(on, level);
    SetStrategy(nullptr);
    GStratMousePikUp* strategy = nullptr;
    if (on) {
        strategy = new GMStr_Edit;
    } else {
        strategy = new GMStr_Door;
    }
    SetStrategy(strategy);
    strategy->SetTarget(this, GLogicalManager::Instance().GetSwitchListener());
    if (on) {
        SetMouseEnabled(true);
    }
}

void GInDoor::Open() {
    SetVisualState(str("open"));
    GSoundEffects::Instance()->Play(str("door_open"));
}
