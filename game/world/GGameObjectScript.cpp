// A game object's own Lua state: the functions it publishes there, the type's script file and the
// calls of the object's Lua functions from the game.
#include "engine/script/luabinding.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/GVObject.h"
#include "game/world/GGameObject.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GSoundEffects.h"
#include "game/world/ScriptCall.h"

void GGameObject::PublishLuaFunctions() {
    lua_State* state = mScript.GetState();
    LuaPublish(state, "CPP_SetAnimState", this, &GGameObject::CPP_SetAnimState);
    LuaPublish(state, "CPP_SetSimpleAnimState", this, &GGameObject::CPP_SetSimpleAnimState);
    LuaPublish(state, "CPP_SetSimpleAnimCoef", this, &GGameObject::CPP_SetSimpleAnimCoef);
    LuaPublish(state, "CPP_WantDestroy", this, &GGameObject::CPP_WantDestroy);
    LuaPublish(state, "CPP_AddScore", this, &GGameObject::CPP_AddScore);
    LuaPublish(state, "CPP_SetVisible", this, &GGameObject::CPP_SetVisible);
    LuaPublish(state, "ScriptDump", this, &GGameObject::ScriptDump);
    LuaPublish(state, "CPP_ParticleFX", this, &GGameObject::CPP_ParticleFX);
    LuaPublish(state, "CPP_GetUpgradeDataValue", this, &GGameObject::CPP_GetUpgradeDataValue);
    LuaPublish(state, "CPP_PlaySound", this, &GGameObject::CPP_PlaySound);
    mPublished = true;
}

void GGameObject::RunTypeScript() {
    try {
        // A file that fails to run is only logged by the script.
        mScript.RunScript(mScriptName);
    } catch (...) {
        ScriptCallFailed(mScriptName);
    }
}

int GGameObject::CallScript(const str& function, int argument) {
    return ScriptCallInt(&mScript, function, argument);
}

int GGameObject::CPP_SetAnimState(str state) {
    return SetLookState(state);
}

int GGameObject::CPP_SetSimpleAnimState(str state) {
    return SetVisualState(state);
}

void GGameObject::CPP_SetSimpleAnimCoef(float factor) {
    if (mVisual != nullptr) {
        mVisual->SetAnimSpeed(factor, true);
    }
}

void GGameObject::CPP_WantDestroy() {
    mWantDestroy = true;
}

void GGameObject::CPP_AddScore(int points) {
    GLogicalManager::Instance().AddScore(points);
}

void GGameObject::CPP_SetVisible(int flag) {
    if (mVisual != nullptr) {
        mVisual->mVisible = flag != 0 ? 1 : 0;
        mVisual->MarkChanged();
    }
}

void GGameObject::ScriptDump(str /*text*/) {}

void GGameObject::CPP_ParticleFX(int dx, int dy, str name, int ticks) {
    mEffect = GLogicalManager::Instance().CreateParticleEffect(name);
    if (mEffect != nullptr) {
        mEffect->SetStartPosition(static_cast<float>(dx), static_cast<float>(dy));
        mEffect->SetPosition(mPosition.x, mPosition.y);
        mEffect->Fly(ticks);
    }
}

double GGameObject::CPP_GetUpgradeDataValue() {
    return mUpgradeData.mValue;
}

void GGameObject::CPP_PlaySound(str name) {
    GSoundEffects::Instance()->Play(name);
}
