#include "engine/system/gamestatescript.h"

#include "engine/script/luabinding.h"
#include "engine/script/script.h"
#include "engine/system/gamestate.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"

namespace {

lua_State* WindowScriptState() {
    TPlatform* platform = TPlatform::GetInstance();
    TWindowManagerLink* manager = platform != nullptr ? platform->GetWindowManager() : nullptr;
    TScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    return script != nullptr ? script->GetState() : nullptr;
}

// A plain function, so it reaches whichever game state exists when a script calls it.
void LuaSetState(str key, str value) {
    if (TGameState* state = TGameState::Get()) {
        state->SetState(key, value);
    }
}

} // namespace

lua_State* PublishGameState(TGameState* gameState) {
    lua_State* state = WindowScriptState();
    if (state != nullptr) {
        LuaPublish(state, "GetState", gameState, &TGameState::GetState);
        LuaPublish(state, "_SetState", &LuaSetState);
        LuaPublish(state, "QueryMuteGame", gameState, &TGameState::QueryMuteGame);
        LuaPublish(state, "QueryRestartMode", gameState, &TGameState::QueryRestartMode);
        LuaPublish(state, "QueryJumpToMenu", gameState, &TGameState::QueryJumpToMenu);
    }
    return state;
}

void WithdrawGameState(TGameState* gameState, lua_State* state) {
    if (state != nullptr && state == WindowScriptState()) {
        LuaWithdrawObject(state, gameState);
        LuaWithdraw(state, "_SetState");
    }
}
