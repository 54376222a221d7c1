// Metamethod events and their lookup. Every value has a metatable: tables and userdata their own,
// every other value the per-type metatable of its tag, which itself stands as the handler of every
// event for such values.
#pragma once

#include "engine/script/lua/luaobject.h"

// Order matters: the first five events are cached as absent in a table's flags.
enum TMS {
    TM_INDEX,
    TM_NEWINDEX,
    TM_GC,
    TM_MODE,
    TM_EQ,
    TM_ADD,
    TM_SUB,
    TM_MUL,
    TM_DIV,
    TM_POW,
    TM_UNM,
    TM_LT,
    TM_LE,
    TM_CONCAT,
    TM_CALL,
    TM_N
};

// Raw entry of event e in metatable mt, or null when absent (caching the absence in mt's flags).
const TObject* luaT_gettm(Table* mt, TMS event, TString* ename);
// Handler of an event for a table's metatable, using the flags cache.
const TObject* luaT_fasttm(lua_State* L, Table* mt, TMS event);
// Handler of an event for any value (never null; nil when there is none).
const TObject* luaT_gettmbyobj(lua_State* L, const TObject* o, TMS event);
// Metatable of any value, or null.
Table* luaT_getmetatable(lua_State* L, const TObject* o);
void luaT_init(lua_State* L);
