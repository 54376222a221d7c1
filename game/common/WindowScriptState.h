// Where the game shell publishes its Lua functions: the window script's state. Main thread only.
#pragma once

#include "engine/script/luabinding.h"
#include "engine/script/script.h"
#include "engine/ui/windowmanager.h"

// Null while there is no window manager or it has no script.
inline lua_State* WindowScriptState() {
    TWindowManager* manager = GetWindowManager();
    TScript* script = manager != nullptr ? manager->GetScript() : nullptr;
    return script != nullptr ? script->GetState() : nullptr;
}

// Takes back what the object published in `state`, unless that is no longer the window script's
// state: the platform may have gone, and the state with it, before the object.
inline void WithdrawFromWindowScript(const void* object, lua_State* state) {
    if (state != nullptr && state == WindowScriptState()) {
        LuaWithdrawObject(state, object);
    }
}
