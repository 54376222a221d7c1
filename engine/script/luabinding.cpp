#include "engine/script/luabinding.h"

#include "engine/script/lua/lauxlib.h"

namespace {

// Registry key of the table that maps each published closure to its record. Its keys are weak, so
// an entry goes when the last copy of the closure does.
char gBindingsKey;

void PushBindings(lua_State* state) {
    lua_pushlightuserdata(state, &gBindingsKey);
    lua_rawget(state, LUA_REGISTRYINDEX);
    if (lua_istable(state, -1)) {
        return;
    }
    lua_pop(state, 1);
    lua_newtable(state);
    lua_newtable(state);
    lua_pushstring(state, "__mode");
    lua_pushstring(state, "k");
    lua_rawset(state, -3);
    lua_setmetatable(state, -2);
    lua_pushlightuserdata(state, &gBindingsKey);
    lua_pushvalue(state, -2);
    lua_rawset(state, LUA_REGISTRYINDEX);
}

// The record carried by the closure at index (absolute), or null when it is none of ours.
luabinding::TRecordHead* RecordOf(lua_State* state, int index) {
    PushBindings(state);
    lua_pushvalue(state, index);
    lua_rawget(state, -2);
    auto* record = static_cast<luabinding::TRecordHead*>(lua_touserdata(state, -1));
    lua_pop(state, 2);
    return record;
}

} // namespace

namespace luabinding {

void RaiseWithdrawn(lua_State* state) {
    luaL_error(state, "attempt to call a native function whose object is gone");
    __builtin_unreachable();
}

void* NewRecord(lua_State* state, size_t size) {
    return lua_newuserdata(state, size);
}

void SetGlobalClosure(lua_State* state, lua_CFunction thunk) {
    // Stack: name, record.
    lua_pushvalue(state, -1);
    lua_pushcclosure(state, thunk, 1);
    // Remember which record the closure carries, so it can be disarmed later.
    PushBindings(state);
    lua_pushvalue(state, -2);
    lua_pushvalue(state, -4);
    lua_rawset(state, -3);
    lua_pop(state, 1);
    lua_remove(state, -2);
    lua_settable(state, LUA_GLOBALSINDEX);
}

int RawFunctionThunk(lua_State* s) {
    using F = int (*)(lua_State*);
    auto* record = static_cast<TFunctionRecord<F>*>(lua_touserdata(s, lua_upvalueindex(1)));
    if (record == nullptr || record->head.owner == nullptr) {
        RaiseWithdrawn(s);
    }
    return record->function(s);
}

} // namespace luabinding

void LuaWithdraw(lua_State* state, const char* name) {
    lua_pushstring(state, name);
    lua_gettable(state, LUA_GLOBALSINDEX);
    if (luabinding::TRecordHead* record = RecordOf(state, lua_gettop(state))) {
        record->owner = nullptr;
    }
    lua_pop(state, 1);
    lua_pushstring(state, name);
    lua_pushnil(state);
    lua_settable(state, LUA_GLOBALSINDEX);
}

void LuaWithdrawObject(lua_State* state, const void* object) {
    if (object == nullptr) {
        return;
    }
    PushBindings(state);
    const int bindings = lua_gettop(state);
    lua_pushnil(state);
    while (lua_next(state, bindings) != 0) {
        auto* record = static_cast<luabinding::TRecordHead*>(lua_touserdata(state, -1));
        if (record != nullptr && record->owner == object) {
            record->owner = nullptr;
        }
        lua_pop(state, 1);
    }
    // Globals still holding a disarmed closure go; assigning nil to a present field is allowed
    // while traversing.
    lua_pushnil(state);
    while (lua_next(state, LUA_GLOBALSINDEX) != 0) {
        if (lua_iscfunction(state, -1)) {
            lua_pushvalue(state, -1);
            lua_rawget(state, bindings);
            auto* record = static_cast<luabinding::TRecordHead*>(lua_touserdata(state, -1));
            lua_pop(state, 1);
            if (record != nullptr && record->owner == nullptr) {
                lua_pushvalue(state, -2);
                lua_pushnil(state);
                lua_rawset(state, LUA_GLOBALSINDEX);
            }
        }
        lua_pop(state, 1);
    }
    lua_pop(state, 1);
}
