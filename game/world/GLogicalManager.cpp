#include "game/world/GLogicalManager.h"

#include "game/common/GLogManager.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManagerHooks.h"

namespace {

GLogicalManagerHooks gMissingWindows;

} // namespace

GLogicalManager& GLogicalManager::Instance() {
    static GLogicalManager manager;
    return manager;
}

GLogicalManager::GLogicalManager() : mHooks(&gMissingWindows) {
    GetLogManager()->SetModuleWriter("Logical", GLogManager::kNullWriter);
}

void GLogicalManager::SetGameData(GGameData* data) {
    mGameData = data;
    mPathGrid.Allocate();
}

void GLogicalManager::SetHooks(GLogicalManagerHooks* hooks) {
    mHooks = hooks != nullptr ? hooks : &gMissingWindows;
}

bool GLogicalManager::AddTimerTask(GGameObjectTimer* timer) {
    if (mGameScreen == nullptr || timer == nullptr) {
        return false;
    }
    return timer->PlaceIn(mGameScreen);
}

bool GLogicalManager::IsClosing() const {
    return mGameData == nullptr || mGameData->IsClosing();
}

void GLogicalManager::AddScore(int /*points*/) {
    // The score belongs to the current level, which the game data does not hold yet.
}

void GLogicalManager::OnObjectChanged(GGameObject* object) {
    if (object != nullptr && mGameState != 3 && object->HasPendingTask(false)) {
        object->SetMouseEnabled(true);
    }
}

int GLogicalManager::RemoveObject(GGameObject* /*object*/, bool /*stopScenes*/) {
    // Without a level there is nothing to remove the object from.
    return 0;
}

GFlyEmitter* GLogicalManager::CreateParticleEffect(const str& script) {
    return mHooks->FindFlyEmitter(script);
}

bool GLogicalManager::UpdateBuyButton() {
    return false;
}
