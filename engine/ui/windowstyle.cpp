#include "engine/ui/windowstyle.h"

#include "engine/core/log.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"

namespace {

// Style chains are a few levels deep; one this long is taken for a chain without end (an
// __index that makes a new "parent" at every read).
constexpr int kMaxStyleChain = 256;

const char* StyleNameText(lua_State* state, int index) {
    const char* text = lua_tostring(state, index);
    return text != nullptr ? text : "";
}

// The search itself, run protected: (definition, name) -> (found, value). Reads go through the
// tables' metatables, so they may run script code and raise errors.
int FindStyleProperty(lua_State* state) {
    constexpr int kDefinition = 1;
    constexpr int kName = 2;
    constexpr int kVisited = 3;
    lua_settop(state, kName);
    lua_newtable(state);

    if (lua_istable(state, kDefinition)) {
        lua_pushvalue(state, kDefinition);
        lua_pushboolean(state, 1);
        lua_rawset(state, kVisited);
        lua_pushvalue(state, kName);
        lua_gettable(state, kDefinition);
    } else {
        lua_pushvalue(state, kName);
        lua_gettable(state, LUA_GLOBALSINDEX);
    }
    if (!lua_isnil(state, -1)) {
        lua_pushboolean(state, 1);
        lua_insert(state, -2);
        return 2;
    }
    lua_pop(state, 1);

    lua_pushstring(state, "gCurrentDefaultStyle");
    lua_gettable(state, LUA_GLOBALSINDEX);
    for (int depth = 0;; ++depth) {
        // The style under examination is on the top.
        if (!lua_istable(state, -1)) {
            break;
        }
        lua_pushvalue(state, -1);
        lua_rawget(state, kVisited);
        const bool seen = !lua_isnil(state, -1);
        lua_pop(state, 1);
        if (seen) {
            Log("TWindowStyle: the \"parent\" chain loops; \"%s\" not found",
                StyleNameText(state, kName));
            break;
        }
        if (depth == kMaxStyleChain) {
            Log("TWindowStyle: the \"parent\" chain is longer than %d styles; \"%s\" not found",
                kMaxStyleChain, StyleNameText(state, kName));
            break;
        }
        lua_pushvalue(state, -1);
        lua_pushboolean(state, 1);
        lua_rawset(state, kVisited);

        lua_pushvalue(state, kName);
        lua_gettable(state, -2);
        if (!lua_isnil(state, -1)) {
            lua_pushboolean(state, 1);
            lua_insert(state, -2);
            return 2;
        }
        lua_pop(state, 1);
        lua_pushstring(state, "parent");
        lua_gettable(state, -2);
        lua_remove(state, -2);
    }
    lua_pushboolean(state, 0);
    return 1;
}

} // namespace

TWindowStyle::TWindowStyle(TScript& script, const TLuaTable& definition)
    : mScript(script), mDefinition(definition) {}

TWindowStyle::~TWindowStyle() = default;

bool TWindowStyle::FindProperty(const str& name) const {
    lua_State* state = mScript.GetState();
    if (lua_checkstack(state, 4) == 0) {
        Log("TWindowStyle: no Lua stack left to read \"%s\"", name.CStr() ? name.CStr() : "");
        return false;
    }
    lua_pushcclosure(state, &FindStyleProperty, 0);
    mDefinition.Push();
    LuaPushStr(state, name);
    if (lua_pcall(state, 2, 2, 0) != 0) {
        const char* error = lua_tostring(state, -1);
        Log("TWindowStyle: reading \"%s\" failed: %s", name.CStr() ? name.CStr() : "",
            error != nullptr ? error : "(error object is not a string)");
        lua_pop(state, 1);
        return false;
    }
    if (lua_toboolean(state, -2) == 0) {
        lua_pop(state, 2);
        return false;
    }
    lua_remove(state, -2);
    return true;
}

double TWindowStyle::GetNumber(const str& name, double defaultValue) const {
    const TLuaStackTop top(mScript.GetState());
    const double result = FindProperty(name) ? mScript.PopNumber() : defaultValue;
    top.Restore();
    return result;
}

int TWindowStyle::GetInt(const str& name, int defaultValue) const {
    return LuaNumberToInt(GetNumber(name, static_cast<double>(defaultValue)));
}

str TWindowStyle::GetString(const str& name, const str& defaultValue) const {
    const TLuaStackTop top(mScript.GetState());
    str result = FindProperty(name) ? mScript.PopString() : defaultValue;
    top.Restore();
    return result;
}

TColor TWindowStyle::GetColor(const str& name, const TColor& defaultValue) const {
    lua_State* state = mScript.GetState();
    const TLuaStackTop top(state);
    TColor result = defaultValue;
    if (FindProperty(name) && lua_istable(state, -1)) {
        result = mScript.PopColor();
    }
    top.Restore();
    return result;
}

bool TWindowStyle::GetBool(const str& name, bool defaultValue) const {
    const TLuaStackTop top(mScript.GetState());
    const bool result = FindProperty(name) ? mScript.PopBool() : defaultValue;
    top.Restore();
    return result;
}

TLuaTable* TWindowStyle::GetTable(const str& name) const {
    lua_State* state = mScript.GetState();
    const TLuaStackTop top(state);
    TLuaTable* result = nullptr;
    if (FindProperty(name) && lua_istable(state, -1)) {
        result = new TLuaTable(state);
    }
    top.Restore();
    return result;
}

TLuaFunction* TWindowStyle::GetFunction(const str& name) const {
    lua_State* state = mScript.GetState();
    const TLuaStackTop top(state);
    TLuaFunction* result = nullptr;
    if (FindProperty(name) && lua_isfunction(state, -1)) {
        result = new TLuaFunction(state);
    }
    top.Restore();
    return result;
}
