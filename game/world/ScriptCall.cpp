#include "game/world/ScriptCall.h"

#include "engine/core/random.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/script.h"
#include "game/world/ErrorBox.h"
#include "platform/win32/processthreadsapi.h"

#include <exception>

void ScriptPushInt(TScript* script, int value) {
    lua_pushnumber(script->GetState(), value);
}

void ScriptPushStr(TScript* script, const str& text) {
    lua_pushlstring(script->GetState(), text.CStr(), static_cast<size_t>(text.Length()));
}

int ScriptResultInt(TScript* script) {
    return LuaNumberToInt(lua_tonumber(script->GetState(), -1));
}

str ScriptResultStr(TScript* script) {
    lua_State* state = script->GetState();
    const int type = lua_type(state, -1);
    if (type != LUA_TSTRING && type != LUA_TNUMBER) {
        return str();
    }
    // Converts a number in place, as Lua's string conversion does.
    const char* text = lua_tostring(state, -1);
    return str(text, static_cast<int>(lua_strlen(state, -1)));
}

void ScriptCallFailed(const str& name) {
    str message;
    if (name.Length() > 0) {
        message = str::FromFormat("Cannot run function: %s\n", name.CStr());
    }
    ShowErrorBox(message.CStr());
    TerminateProcess(GetCurrentProcess(), 1);
    // Ending the process cannot fail for the calling process; this only keeps the promise.
    std::terminate();
}

bool ScriptCallBegin(TScript* script, const str& name) {
    if (script == nullptr || script->GetState() == nullptr) {
        return false;
    }
    lua_State* state = script->GetState();
    lua_pushlstring(state, name.CStr(), static_cast<size_t>(name.Length()));
    lua_gettable(state, LUA_GLOBALSINDEX);
    return true;
}

bool ScriptCallRun(TScript* script, int nargs, int nresults) {
    return script->RunFunction(nargs, nresults) == 0;
}

void ScriptPop(TScript* script, int n) {
    lua_pop(script->GetState(), n);
}

int RandomInRange(TRandom& random, int a, int b) {
    const float u = RandomUnitFloat(random);
    return LuaNumberToInt(static_cast<double>(u) * (static_cast<double>(b) - a + 1) + a);
}
