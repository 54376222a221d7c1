// Stack and call-info management, calls, errors and protected execution. Script errors travel as
// LuaError exceptions from luaD_throw to the nearest protected boundary on the same thread.
#pragma once

#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luastate.h"

// Thrown by luaD_throw; status is one of the LUA_ERR* codes. The error object is on the stack.
struct LuaError {
    int status;
};

typedef void (*Pfunc)(lua_State* L, void* ud);

void luaD_reallocstack(lua_State* L, int newsize);
void luaD_reallocCI(lua_State* L, int newsize);
void luaD_growstack(lua_State* L, int n);
// Resizing that gives up quietly (returns false) when memory runs out; for optional shrinking.
bool luaD_tryreallocstack(lua_State* L, int newsize);
bool luaD_tryreallocCI(lua_State* L, int newsize);

inline void luaD_checkstack(lua_State* L, int n) {
    if ((reinterpret_cast<char*>(L->stack_last) - reinterpret_cast<char*>(L->top)) <=
        static_cast<ptrdiff_t>(n) * static_cast<ptrdiff_t>(sizeof(TObject))) {
        luaD_growstack(L, n);
    }
}

inline void incr_top(lua_State* L) {
    luaD_checkstack(L, 1);
    L->top++;
}

// Room for one more push at the top of a native frame: past the frame's limit the stack grows
// instead of overflowing. The frame's limit itself stays, so the collector can shrink the stack
// again once the values are gone.
void luaD_checkpush(lua_State* L);

inline ptrdiff_t savestack(lua_State* L, const TObject* p) {
    return reinterpret_cast<const char*>(p) - reinterpret_cast<const char*>(L->stack);
}
inline TObject* restorestack(lua_State* L, ptrdiff_t n) {
    return reinterpret_cast<TObject*>(reinterpret_cast<char*>(L->stack) + n);
}
inline ptrdiff_t saveci(lua_State* L, const CallInfo* p) {
    return reinterpret_cast<const char*>(p) - reinterpret_cast<const char*>(L->base_ci);
}
inline CallInfo* restoreci(lua_State* L, ptrdiff_t n) {
    return reinterpret_cast<CallInfo*>(reinterpret_cast<char*>(L->base_ci) + n);
}

// Prepares a call of the function at func. For a native function it runs it and returns the
// position of its first result (a C++ exception leaving it is raised as the script error lua.h
// describes); for a Lua function it builds the frame and returns null.
StkId luaD_precall(lua_State* L, StkId firstResult);
void luaD_poscall(lua_State* L, int wanted, StkId firstResult);
void luaD_call(lua_State* L, StkId func, int nResults);
int luaD_pcall(lua_State* L, Pfunc func, void* u, ptrdiff_t oldtop, ptrdiff_t ef);
int luaD_rawrunprotected(lua_State* L, Pfunc f, void* ud);
[[noreturn]] void luaD_throw(lua_State* L, int errcode);
void luaD_seterrorobj(lua_State* L, int errcode, StkId oldtop);
void luaD_callhook(lua_State* L, int event, int line);

struct ZIO;
struct Mbuffer;

// A chunk compiler: the parser for text chunks or the reader of precompiled ones. It reads the
// stream, may use the load's token buffer, and returns the main function's prototype or raises.
typedef Proto* (*LuaChunkCompiler)(lua_State* L, ZIO* z, Mbuffer* buff);

// The protected parser behind lua_load: skips a UTF-16 byte-order mark (the stream is then read
// wide), hands a stream starting with byte 27 to binary and any other to text, and pushes the new
// function (its environment the table of globals) or, on failure, the error message. Returns the
// status. The token buffer is freed afterwards, also after an error.
int luaD_protectedparser(lua_State* L, ZIO* z, LuaChunkCompiler text, LuaChunkCompiler binary);
