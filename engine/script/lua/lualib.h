// The standard libraries a state can open: base with coroutine, string (with pack), table, math.
// Each opener registers its functions into the state it is given.
#pragma once

#include "engine/script/lua/lua.h"

#define LUA_COLIBNAME "coroutine"
#define LUA_TABLIBNAME "table"
#define LUA_STRLIBNAME "string"
#define LUA_MATHLIBNAME "math"

int luaopen_base(lua_State* L);
int luaopen_table(lua_State* L);
int luaopen_string(lua_State* L);
int luaopen_math(lua_State* L);
// Opens string.pack and string.unpack; luaopen_string calls it.
int luaopen_pack(lua_State* L);

// Where print writes: narrow results whole, wide results in 0-terminated pieces of at most 511
// units. Standard output by default (wide pieces as UTF-8); tests and hosts may redirect them.
extern void (*gLuaPrintWrite)(const char* s, size_t n);
extern void (*gLuaPrintWriteWide)(const lua_WChar* s);
