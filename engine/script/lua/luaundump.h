// The chunk format: writing a prototype tree as a precompiled chunk and reading one back. Reading
// is the safety boundary for chunks from files and strings: every size is checked against the
// data present and every prototype against the code checker before anything can run.
#pragma once

#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luazio.h"

#define LUA_SIGNATURE "\033Lua"
#define VERSION 0x50
#define TEST_NUMBER static_cast<lua_Number>(3.14159265358979323846E7)

// Reads a precompiled chunk from the stream (its first byte is the escape byte).
Proto* luaU_undump(lua_State* L, ZIO* z, Mbuffer* buff);
// Writes the chunk of a prototype through the writer; writer results are not examined.
void luaU_dump(lua_State* L, const Proto* f, lua_Chunkwriter w, void* data);
