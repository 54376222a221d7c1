#include "game/world/GLogicalManager.h"

#include "engine/media/texture.h"
#include "engine/system/platform.h"
#include "game/common/GLogManager.h"
#include "game/common/LuaValues.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GPlayerInfo.h"

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

G_ICanListenSwitch* GLogicalManager::GetSwitchListener() const {
    // The level is the listener; the game data does not hold one yet.
    return nullptr;
}

bool GLogicalManager::UpdateBuyButton() {
    return false;
}

int GLogicalManager::SetCursor(int kind) {
    if (kind == mCursorKind) {
        return kind;
    }
    mCursorKind = kind;
    const char* image = "cursor/cursor_def";
    switch (kind) {
    case 1:
        image = "cursor/cursor_def_click";
        break;
    case 2:
        image = "cursor/cursor_def_want";
        break;
    case 3:
        image = "cursor/cursor_def_drag";
        break;
    default:
        break;
    }
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->SetMouseCursor(TTexture::GetSimple(image), 1, 1, false);
    }
    return kind;
}

str GLogicalManager::UpgradeName(GGameObject& object) {
    return object.GetBaseType() + str::FromFormat("_%d", object.GetUpgradeData().mUpgradeLevel);
}

str GLogicalManager::BuyDialogText(int price, const str& name) {
    // The names go in as literals: a quote in a base type must not end the string.
    str text = str::FromFormat("price = { cost = %d };", price);
    text += str("upgrade_description = ") + LuaStringLiteral(name + str("_descript"));
    text += str(";upgrade_name = ") + LuaStringLiteral(name + str("_name"));
    text += str(";buy_image = ") +
            LuaStringLiteral(str("selector/buy_preview/buy_") + name + str(".png"));
    text += str("DoModal('scripts/buy.lua');");
    return text;
}

void GLogicalManager::RunBuyDialog(G_VoidLink* upgrade) {
    auto* object = dynamic_cast<GGameObject*>(upgrade);
    if (object == nullptr) {
        return;
    }
    mPendingUpgrade = object;
    const str text = BuyDialogText(object->GetUpgradeData().mPrice, UpgradeName(*object));
    if (TScript* script = WindowScript()) {
        script->DoLuaString(text);
    }
}

void GLogicalManager::CPP_EndBuyDialog(bool ok) {
    GGameObject* object = mPendingUpgrade;
    mPendingUpgrade = nullptr;
    if (!ok || object == nullptr) {
        return;
    }
    object->Upgrade();
    GPlayerInfo* player = GPlayerInfo::Instance();
    mHooks->SetMoney(player->GetMoney());
    player->Save();
}
