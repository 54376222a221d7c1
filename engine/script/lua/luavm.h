// Value operations of the virtual machine that the native interface shares: conversions, indexing
// through metatables, comparison and concatenation; and the entry of the instruction loop.
#pragma once

#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luastate.h"

// The number a value stands for (numbers, and 8-bit or wide strings that convert), or null.
const TObject* luaV_tonumber(const TObject* obj, TObject* n);
// Converts a number in place to an 8-bit string; false for any other value.
int luaV_tostring(lua_State* L, StkId obj);
// Converts a number in place to a wide string; false for any other value.
int luaV_towstring(lua_State* L, StkId obj);
// val := t[key] through __index; t and key may live on the stack.
void luaV_gettable(lua_State* L, const TObject* t, const TObject* key, StkId val);
// t[key] := val through __newindex.
void luaV_settable(lua_State* L, const TObject* t, const TObject* key, const TObject* val);
int luaV_equalval(lua_State* L, const TObject* t1, const TObject* t2);
int luaV_lessthan(lua_State* L, const TObject* l, const TObject* r);
int luaV_lessequal(lua_State* L, const TObject* l, const TObject* r);
// Concatenates the total values ending at base + last into base + last - total + 1.
void luaV_concat(lua_State* L, int total, int last);
// Grows the scratch buffer to at least n bytes and returns it.
char* luaV_openspace(lua_State* L, size_t n);
// Runs the Lua function of the current call level, and the Lua functions it calls, in one loop;
// returns the position of its first result (the results run up to the top), or null when the
// thread yielded.
StkId luaV_execute(lua_State* L);
// Results expected by the call instruction that a yielded native function interrupted.
int luaV_pendingresults(lua_State* L);

inline int equalobj(lua_State* L, const TObject* o1, const TObject* o2) {
    return ttype(o1) == ttype(o2) && luaV_equalval(L, o1, o2);
}
