// The auxiliary library: argument checks and their messages, library registration, the string
// buffer (narrow and 16-bit), table sizes, and loading and running chunks. Used by the standard
// libraries and by the engine's script layer, on the thread that uses the state.
#pragma once

#include <cstddef>

#include "engine/script/lua/lua.h"

typedef struct luaL_reg {
    const char* name;
    lua_CFunction func;
} luaL_reg;

void luaL_openlib(lua_State* L, const char* libname, const luaL_reg* l, int nup);
int luaL_getmetafield(lua_State* L, int obj, const char* e);
int luaL_callmeta(lua_State* L, int obj, const char* e);
int luaL_typerror(lua_State* L, int narg, const char* tname);
int luaL_argerror(lua_State* L, int numarg, const char* extramsg);
const char* luaL_checklstring(lua_State* L, int numArg, size_t* l);
const char* luaL_optlstring(lua_State* L, int numArg, const char* def, size_t* l);
lua_Number luaL_checknumber(lua_State* L, int numArg);
lua_Number luaL_optnumber(lua_State* L, int nArg, lua_Number def);
// The argument as 16-bit units (a number is converted in place); *l gets its length in units.
const lua_WChar* luaL_checkwstring(lua_State* L, int numArg, size_t* l);

void luaL_checkstack(lua_State* L, int sz, const char* msg);
void luaL_checktype(lua_State* L, int narg, int t);
void luaL_checkany(lua_State* L, int narg);

void luaL_where(lua_State* L, int lvl);
int luaL_error(lua_State* L, const char* fmt, ...);

int luaL_getn(lua_State* L, int t);
void luaL_setn(lua_State* L, int t, int n);

int luaL_loadfile(lua_State* L, const char* filename);
int luaL_loadbuffer(lua_State* L, const char* buff, size_t sz, const char* name);

int lua_dobuffer(lua_State* L, const char* buff, size_t sz, const char* n);
int lua_dostring(lua_State* L, const char* str);

#define luaL_argcheck(L, cond, numarg, extramsg)                                                   \
    ((void)((cond) || luaL_argerror(L, (numarg), (extramsg))))
#define luaL_checkstring(L, n) (luaL_checklstring(L, (n), nullptr))
#define luaL_optstring(L, n, d) (luaL_optlstring(L, (n), (d), nullptr))

// Integer arguments truncate through the machine's one conversion helper.
int luaL_checkint(lua_State* L, int numArg);
int luaL_optint(lua_State* L, int numArg, int def);

// The string buffer. It lives on the caller's frame and keeps its pieces on the Lua stack from
// luaL_buffinit to luaL_pushresult; nothing else may be pushed or popped meanwhile.
#define LUAL_BUFFERSIZE 512

typedef struct luaL_Buffer {
    char* p;  // current position in buffer
    int lvl;  // pieces this buffer has on the stack
    int wide; // 1 for a buffer of 16-bit units
    lua_State* L;
    alignas(lua_WChar) char buffer[LUAL_BUFFERSIZE];
} luaL_Buffer;

void luaL_buffinit(lua_State* L, luaL_Buffer* B);
void luaL_wbuffinit(lua_State* L, luaL_Buffer* B);
char* luaL_prepbuffer(luaL_Buffer* B);
void luaL_addlstring(luaL_Buffer* B, const char* s, size_t l);
void luaL_addstring(luaL_Buffer* B, const char* s);
void luaL_addlwstring(luaL_Buffer* B, const lua_WChar* s, size_t l);
void luaL_addvalue(luaL_Buffer* B);
void luaL_pushresult(luaL_Buffer* B);

inline void luaL_putchar(luaL_Buffer* B, char c) {
    if (B->p >= B->buffer + LUAL_BUFFERSIZE) {
        luaL_prepbuffer(B);
    }
    *B->p++ = c;
}

#define luaL_addsize(B, n) ((B)->p += (n))
