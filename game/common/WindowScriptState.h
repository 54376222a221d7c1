// Where the game shell publishes its Lua functions: the window script's state. Main thread only.
#pragma once

#include "engine/script/luabinding.h"
#include "engine/script/script.h"
#include "engine/ui/windowmanager.h"

// The window script itself; null while there is no window manager or it has no script.
inline TScript* WindowScript() {
    TWindowManager* manager = GetWindowManager();
    return manager != nullptr ? manager->GetScript() : nullptr;
}

// Null while there is no window manager or it has no script.
inline lua_State* WindowScriptState() {
    TScript* script = WindowScript();
    return script != nullptr ? script->GetState() : nullptr;
}

// Takes back what the object published in `state`, unless that is no longer the window script's
// state: the platform may have gone, and the state with it, before the object.
inline void WithdrawFromWindowScript(const void* object, lua_State* state) {
    if (state != nullptr && state == WindowScriptState()) {
        LuaWithdrawObject(state, object);
    }
}

// Whether the state holds something other than nil under the global name.
inline bool HasGlobal(lua_State* state, const char* name) {
    lua_pushstring(state, name);
    lua_gettable(state, LUA_GLOBALSINDEX);
    const bool found = !lua_isnil(state, -1);
    lua_pop(state, 1);
    return found;
}

// For a publisher that outlives window scripts: when the window script lacks the global `probe`
// (one made after the publisher starts without its functions), publish (state) runs and that state
// is answered; otherwise `published`, the state the functions were last published in.
template <class F>
lua_State* PublishIfMissingIn(lua_State* published, const char* probe, F&& publish) {
    lua_State* state = WindowScriptState();
    if (state == nullptr || HasGlobal(state, probe)) {
        return published;
    }
    publish(state);
    return state;
}
