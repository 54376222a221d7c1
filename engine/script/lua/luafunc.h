// Closures, prototypes and upvalues.
#pragma once

#include "engine/script/lua/luaobject.h"

Proto* luaF_newproto(lua_State* L);
Closure* luaF_newCclosure(lua_State* L, int nelems);
Closure* luaF_newLclosure(lua_State* L, int nelems, TObject* e);
// The open upvalue for a stack slot, created when none exists yet.
UpVal* luaF_findupval(lua_State* L, StkId level);
// Closes every open upvalue at or above level: each takes its own copy of the value.
void luaF_close(lua_State* L, StkId level);
void luaF_freeproto(lua_State* L, Proto* f);
void luaF_freeclosure(lua_State* L, Closure* c);
const char* luaF_getlocalname(const Proto* func, int local_number, int pc);
