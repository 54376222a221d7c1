// Script errors with position information, and the messages of failed operations.
#pragma once

#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luastate.h"

[[noreturn]] void luaG_typeerror(lua_State* L, const TObject* o, const char* opname);
[[noreturn]] void luaG_concaterror(lua_State* L, StkId p1, StkId p2);
[[noreturn]] void luaG_aritherror(lua_State* L, const TObject* p1, const TObject* p2);
[[noreturn]] void luaG_ordererror(lua_State* L, const TObject* p1, const TObject* p2);
// Raises a run-time error; inside a Lua function the message gets "chunk:line: " in front.
[[noreturn]] void luaG_runerror(lua_State* L, const char* fmt, ...);
// Raises the error object on the stack top, through the error handler when one is set.
[[noreturn]] void luaG_errormsg(lua_State* L);
// Raises the script error of the running native function that ended with a C++ exception, in the
// form lua.h gives for native functions; with text, the exception's text is on the stack top.
[[noreturn]] void luaG_nativeerror(lua_State* L, bool withText);
// Current source line of a Lua function's activation, or -1.
int luaG_currentline(lua_State* L, CallInfo* ci);
// Checks loaded code: registers, constants, jumps, open calls and closures; false for bad code.
int luaG_checkcode(const Proto* pt);
