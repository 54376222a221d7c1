#include "engine/script/lua/luatm.h"

#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"

const char* const luaT_typenames[] = {"nil",   "boolean",  "userdata", "number", "string",
                                      "table", "function", "userdata", "thread", "wstring"};

void luaT_init(lua_State* L) {
    static const char* const eventnames[] = {
        "__index", "__newindex", "__gc",  "__mode", "__eq", "__add",    "__sub", "__mul",
        "__div",   "__pow",      "__unm", "__lt",   "__le", "__concat", "__call"};
    for (int i = 0; i < TM_N; i++) {
        G(L)->tmname[i] = luaS_new(L, eventnames[i]);
        luaS_fix(G(L)->tmname[i]);
    }
}

const TObject* luaT_gettm(Table* mt, TMS event, TString* ename) {
    const TObject* tm = luaH_getstr(mt, ename);
    if (ttisnil(tm)) {
        if (event <= TM_EQ) {
            mt->flags |= static_cast<lu_byte>(1u << event);
        }
        return nullptr;
    }
    return tm;
}

const TObject* luaT_fasttm(lua_State* L, Table* mt, TMS event) {
    if (mt == nullptr || (mt->flags & (1u << event))) {
        return nullptr;
    }
    return luaT_gettm(mt, event, G(L)->tmname[event]);
}

const TObject* luaT_gettmbyobj(lua_State* L, const TObject* o, TMS event) {
    Table* mt;
    switch (ttype(o)) {
    case LUA_TTABLE:
        mt = hvalue(o)->metatable;
        break;
    case LUA_TUSERDATA:
        mt = uvalue(o)->metatable;
        break;
    default:
        // Any other value's per-type metatable is the handler itself.
        if (ttype(o) >= 0 && ttype(o) < NUM_TYPE_SLOTS) {
            return &G(L)->mt[ttype(o)];
        }
        return &luaO_nilobject;
    }
    return mt != nullptr ? luaH_getstr(mt, G(L)->tmname[event]) : &luaO_nilobject;
}

Table* luaT_getmetatable(lua_State* L, const TObject* o) {
    switch (ttype(o)) {
    case LUA_TTABLE:
        return hvalue(o)->metatable;
    case LUA_TUSERDATA:
        return uvalue(o)->metatable;
    default:
        if (ttype(o) >= 0 && ttype(o) < NUM_TYPE_SLOTS && ttistable(&G(L)->mt[ttype(o)])) {
            return hvalue(&G(L)->mt[ttype(o)]);
        }
        return nullptr;
    }
}
