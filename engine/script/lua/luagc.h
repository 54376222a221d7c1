// The collector: stop-the-world mark and sweep, run only at safe points (interface calls and
// instruction boundaries) when the bytes in use reach the threshold.
#pragma once

#include "engine/script/lua/luaobject.h"

// Test switch: when set, every safe point runs a full collection whatever the threshold.
extern bool gLuaGCStress;

void luaC_link(lua_State* L, GCObject* o, lu_byte tt);
void luaC_collectgarbage(lua_State* L);
void luaC_checkGC(lua_State* L);
// Moves unreachable userdata with a __gc handler to the finalisation list; returns their size.
size_t luaC_separateudata(lua_State* L);
void luaC_callGCTM(lua_State* L);
void luaC_sweep(lua_State* L, int all);
