// The interned string store: one hash table of chains holding both 8-bit strings (tag 4) and wide
// strings of 16-bit units (tag 9). Equal texts of one kind are one object.
#pragma once

#include "engine/script/lua/luaobject.h"

#define FIXEDBIT 4 // marks a string the collector never frees

inline size_t sizestring(size_t l) {
    return sizeof(TString) + (l + 1) * sizeof(char);
}
inline size_t sizewstring(size_t l) {
    return sizeof(TString) + (l + 1) * sizeof(lua_WChar);
}
inline size_t sizeanystring(const TString* ts) {
    return ts->tt == LUA_TWSTRING ? sizewstring(ts->len) : sizestring(ts->len);
}

void luaS_resize(lua_State* L, int newsize);
// Same as luaS_resize but gives up quietly when memory runs out (used for shrinking).
void luaS_tryresize(lua_State* L, int newsize);
TString* luaS_newlstr(lua_State* L, const char* str, size_t l);
// The interned 8-bit string with this text, or null when there is none; never allocates.
TString* luaS_find(lua_State* L, const char* str, size_t l);
TString* luaS_newlwstr(lua_State* L, const lua_WChar* str, size_t l);
Udata* luaS_newudata(lua_State* L, size_t s);
Udata* luaS_newboxedpointer(lua_State* L, void* p);
size_t luaS_udatasize(const Udata* u);
void luaS_freeall(lua_State* L);

inline TString* luaS_new(lua_State* L, const char* s) {
    return luaS_newlstr(L, s, std::strlen(s));
}
inline void luaS_fix(TString* s) {
    s->marked |= (1 << FIXEDBIT);
}
lu_hash luaS_hash(const char* str, size_t l);
lu_hash luaS_whash(const lua_WChar* str, size_t l);
size_t luaS_wstrlen(const lua_WChar* s);
