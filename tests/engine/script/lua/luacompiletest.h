// Helpers for the compiler tests: loading text or chunk bytes through lua_load, running them under
// lua_pcall, dumping functions, and a few tiny native functions the test scripts call (there are
// no libraries in these tests).
#pragma once

#include <string>

#include "engine/script/lua/lua.h"

namespace luacompiletest {

// Registers assert(v [, msg]), len(s), wcode(s, i), typeof(v), getn(t), next(t, k) and ws(n, ...),
// which builds a wide string from unit numbers.
void OpenTestNatives(lua_State* L);

// lua_load over the bytes, fed in blocks of the given size; pushes the function or the message.
int LoadBytes(lua_State* L, const std::string& bytes, const char* name, size_t block = 7);

// Loads and runs; returns "" on success, else the error message (compile or run time).
std::string RunChunk(lua_State* L, const std::string& src, const char* name = "=test");

// Writes the function on the top of the stack as a chunk (the function stays).
std::string Dump(lua_State* L);

// Compiles the source and returns its chunk bytes; "" and a failure when it does not compile.
std::string Compile(lua_State* L, const std::string& src, const char* name = "=test");

} // namespace luacompiletest
