// The script machine's native programming interface: a state, its stack and the functions that
// native code uses to talk to scripts. A state and its threads are used by one thread of the
// process at a time; nothing here takes a lock.
#pragma once

#include <cstdarg>
#include <cstddef>

#define LUA_VERSION "Lua 5.0.2"

// Option for multiple returns in lua_call and lua_pcall.
#define LUA_MULTRET (-1)

// Pseudo-indices.
#define LUA_REGISTRYINDEX (-10000)
#define LUA_GLOBALSINDEX (-10001)
#define lua_upvalueindex(i) (LUA_GLOBALSINDEX - (i))
// Indices below this one read the registry's integer keys: LUA_REGINTINDEX - n is registry[n].
#define LUA_REGINTINDEX (-40000)
#define lua_registryintindex(n) (LUA_REGINTINDEX - (n))

// Status codes.
#define LUA_ERRRUN 1
#define LUA_ERRFILE 2
#define LUA_ERRSYNTAX 3
#define LUA_ERRMEM 4
#define LUA_ERRERR 5

struct lua_State;
typedef struct lua_State lua_State;

// A native function. A C++ exception leaving one becomes a script error raised as luaL_error
// raises it (the caller's position first, then through the error handler): a std::exception as
// "<where>error in `<name>': <what()>", any other as "<where>unknown error in `<name>'", <name>
// being the function's name as the debug interface knows it, or "?". A std::bad_alloc becomes the
// memory error (LUA_ERRMEM, "not enough memory").
typedef int (*lua_CFunction)(lua_State* L);
typedef const char* (*lua_Chunkreader)(lua_State* L, void* ud, size_t* sz);
typedef int (*lua_Chunkwriter)(lua_State* L, const void* p, size_t sz, void* ud);

// Type tags.
#define LUA_TNONE (-1)
#define LUA_TNIL 0
#define LUA_TBOOLEAN 1
#define LUA_TLIGHTUSERDATA 2
#define LUA_TNUMBER 3
#define LUA_TSTRING 4
#define LUA_TTABLE 5
#define LUA_TFUNCTION 6
#define LUA_TUSERDATA 7
#define LUA_TTHREAD 8
#define LUA_TWSTRING 9
// Tags that label internal objects only; valid per-type metatable slots run up to LUA_TPROTO.
#define LUA_TPROTO 10
#define LUA_TUPVALUE 11

// Stack slots a native function may use without lua_checkstack.
#define LUA_MINSTACK 20

typedef double lua_Number;
typedef char16_t lua_WChar;

// Allocator: (user pointer, old block or null, old size, new size, always 0, allocating-buffer
// flag). A new size of 0 frees the block; otherwise returns a block of the new size keeping the old
// contents, or null when memory is exhausted (the old block is then left as it was).
typedef void* (*lua_Alloc)(void* ud, void* block, size_t oldsize, size_t newsize, int reserved,
                           int allocatingBuffer);
typedef void (*lua_ThreadHook)(lua_State* L, lua_State* thread);

// Process-wide configuration, read when a state or thread is created or freed.
extern lua_Alloc gLuaAlloc;
extern void* gLuaAllocUserData;
extern unsigned gLuaInitialBuffer;
extern lua_ThreadHook gLuaNewThreadHook;
extern lua_ThreadHook gLuaFreeThreadHook;

void* LuaAllocDefault(void* ud, void* block, size_t oldsize, size_t newsize, int reserved,
                      int allocatingBuffer);

// State manipulation.
lua_State* lua_open(void);
void lua_close(lua_State* L);
lua_State* lua_newthread(lua_State* L);

// Basic stack manipulation.
int lua_gettop(lua_State* L);
void lua_settop(lua_State* L, int idx);
void lua_pushvalue(lua_State* L, int idx);
void lua_remove(lua_State* L, int idx);
void lua_insert(lua_State* L, int idx);
void lua_replace(lua_State* L, int idx);
int lua_checkstack(lua_State* L, int sz);
void lua_xmove(lua_State* from, lua_State* to, int n);

// Access functions (stack -> C).
int lua_isnumber(lua_State* L, int idx);
int lua_isstring(lua_State* L, int idx);
int lua_iscfunction(lua_State* L, int idx);
int lua_isuserdata(lua_State* L, int idx);
int lua_type(lua_State* L, int idx);
const char* lua_typename(lua_State* L, int tp);
int lua_rawequal(lua_State* L, int idx1, int idx2);
int lua_lessthan(lua_State* L, int idx1, int idx2);

lua_Number lua_tonumber(lua_State* L, int idx);
int lua_toboolean(lua_State* L, int idx);
const char* lua_tostring(lua_State* L, int idx);
const lua_WChar* lua_towstring(lua_State* L, int idx);
size_t lua_strlen(lua_State* L, int idx);
void* lua_touserdata(lua_State* L, int idx);
lua_State* lua_tothread(lua_State* L, int idx);
const void* lua_topointer(lua_State* L, int idx);

// Push functions (C -> stack). Each grows the stack itself when needed.
void lua_pushnil(lua_State* L);
void lua_pushnumber(lua_State* L, lua_Number n);
void lua_pushlstring(lua_State* L, const char* s, size_t l);
void lua_pushstring(lua_State* L, const char* s);
void lua_pushlwstring(lua_State* L, const lua_WChar* s, size_t l);
void lua_pushwstring(lua_State* L, const lua_WChar* s);
const char* lua_pushvfstring(lua_State* L, const char* fmt, va_list argp);
const char* lua_pushfstring(lua_State* L, const char* fmt, ...);
void lua_pushcclosure(lua_State* L, lua_CFunction fn, int n);
void lua_pushboolean(lua_State* L, int b);
void lua_pushlightuserdata(lua_State* L, void* p);
void lua_pushboxedpointer(lua_State* L, void* p);

// Get functions (Lua -> stack).
void lua_gettable(lua_State* L, int idx);
void lua_rawget(lua_State* L, int idx);
void lua_rawgeti(lua_State* L, int idx, int n);
void lua_newtable(lua_State* L);
void* lua_newuserdata(lua_State* L, size_t sz);
int lua_getmetatable(lua_State* L, int objindex);
void lua_getfenv(lua_State* L, int idx);
void lua_gettypemetatable(lua_State* L, int tag);

// Set functions (stack -> Lua).
void lua_settable(lua_State* L, int idx);
void lua_rawset(lua_State* L, int idx);
void lua_rawseti(lua_State* L, int idx, int n);
int lua_setmetatable(lua_State* L, int objindex);
int lua_setfenv(lua_State* L, int idx);
void lua_settypemetatable(lua_State* L, int tag);

// Calls.
void lua_call(lua_State* L, int nargs, int nresults);
int lua_pcall(lua_State* L, int nargs, int nresults, int errfunc);
// Compiles a text chunk or reads a precompiled one and pushes it as a function; 0 or an error
// status with the message pushed.
int lua_load(lua_State* L, lua_Chunkreader reader, void* dt, const char* chunkname);
// Writes the Lua function on the top as a precompiled chunk; 0 when it is not one without
// upvalues.
int lua_dump(lua_State* L, lua_Chunkwriter writer, void* data);

// Coroutines.
int lua_yield(lua_State* L, int nresults);
int lua_resume(lua_State* L, int narg);

// Collector (sizes in kilobytes).
int lua_getgcthreshold(lua_State* L);
int lua_getgccount(lua_State* L);
void lua_setgcthreshold(lua_State* L, int newthreshold);

// Miscellaneous.
int lua_error(lua_State* L);
int lua_next(lua_State* L, int idx);
void lua_concat(lua_State* L, int n);
int lua_getn(lua_State* L, int idx);

// Convenience macros.
#define lua_pop(L, n) lua_settop(L, -(n)-1)
#define lua_register(L, n, f)                                                                      \
    (lua_pushstring(L, n), lua_pushcfunction(L, f), lua_settable(L, LUA_GLOBALSINDEX))
#define lua_pushcfunction(L, f) lua_pushcclosure(L, f, 0)
#define lua_isfunction(L, n) (lua_type(L, (n)) == LUA_TFUNCTION)
#define lua_istable(L, n) (lua_type(L, (n)) == LUA_TTABLE)
#define lua_islightuserdata(L, n) (lua_type(L, (n)) == LUA_TLIGHTUSERDATA)
#define lua_isnil(L, n) (lua_type(L, (n)) == LUA_TNIL)
#define lua_isboolean(L, n) (lua_type(L, (n)) == LUA_TBOOLEAN)
#define lua_iswstring(L, n) (lua_type(L, (n)) == LUA_TWSTRING)
#define lua_isnone(L, n) (lua_type(L, (n)) == LUA_TNONE)
#define lua_isnoneornil(L, n) (lua_type(L, (n)) <= 0)
#define lua_pushliteral(L, s) lua_pushlstring(L, "" s, (sizeof(s) / sizeof(char)) - 1)
#define lua_getregistry(L) lua_pushvalue(L, LUA_REGISTRYINDEX)

// Debug interface: activation records, filled by lua_getstack and lua_getinfo.
#define LUA_IDSIZE 60

typedef struct lua_Debug {
    int event;
    const char* name;           // (n)
    const char* namewhat;       // (n) "global", "local", "field", "method"
    const char* what;           // (S) "Lua", "C", "main", "tail"
    const char* source;         // (S)
    int currentline;            // (l)
    int nups;                   // (u) number of upvalues
    int linedefined;            // (S)
    char short_src[LUA_IDSIZE]; // (S)
    int i_ci;                   // active function's call-info index (private)
} lua_Debug;

typedef void (*lua_Hook)(lua_State* L, lua_Debug* ar);

#define LUA_HOOKCALL 0
#define LUA_HOOKRET 1
#define LUA_HOOKLINE 2
#define LUA_HOOKCOUNT 3
#define LUA_HOOKTAILRET 4

#define LUA_MASKCALL (1 << LUA_HOOKCALL)
#define LUA_MASKRET (1 << LUA_HOOKRET)
#define LUA_MASKLINE (1 << LUA_HOOKLINE)
#define LUA_MASKCOUNT (1 << LUA_HOOKCOUNT)

int lua_getstack(lua_State* L, int level, lua_Debug* ar);
int lua_getinfo(lua_State* L, const char* what, lua_Debug* ar);
