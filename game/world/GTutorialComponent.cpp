#include "game/world/GTutorialComponent.h"

bool GTutorialComponent::Load(TLuaTable* table, GTutorialRun* owner) {
    mOwner = owner;
    return table != nullptr && owner != nullptr;
}
