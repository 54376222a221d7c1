// Memory of a state: every allocation, growth and release goes through the global state's
// allocator and is counted in its bytes in use.
#pragma once

#include "engine/script/lua/luaobject.h"

// Resizes a block; a new size of 0 frees it. Raises the memory error when the allocator fails and
// "memory allocation error: block too big" for sizes at or above MAX_LUA_STRLEN.
void* luaM_realloc(lua_State* L, void* block, lu_mem oldsize, lu_mem size);
// As luaM_realloc but returns null instead of raising; for optional shrinking inside the collector.
void* luaM_tryrealloc(lua_State* L, void* block, lu_mem oldsize, lu_mem size);
// Grows a text buffer: the allocating-buffer flag is 1 for exactly this allocator call.
void* luaM_reallocbuffer(lua_State* L, void* block, lu_mem oldsize, lu_mem size);

inline void luaM_free(lua_State* L, void* block, lu_mem size) {
    luaM_realloc(L, block, size, 0);
}

template <typename T>
T* luaM_newvector(lua_State* L, size_t n) {
    if (n > MAX_LUA_STRLEN / sizeof(T)) {
        luaM_realloc(L, nullptr, 0, MAX_LUA_STRLEN); // raises "block too big"
    }
    return static_cast<T*>(luaM_realloc(L, nullptr, 0, n * sizeof(T)));
}

template <typename T>
void luaM_freearray(lua_State* L, T* block, size_t n) {
    luaM_realloc(L, block, n * sizeof(T), 0);
}

template <typename T>
void luaM_reallocvector(lua_State* L, T*& v, size_t oldn, size_t n) {
    if (n > MAX_LUA_STRLEN / sizeof(T)) {
        luaM_realloc(L, nullptr, 0, MAX_LUA_STRLEN);
    }
    v = static_cast<T*>(luaM_realloc(L, v, oldn * sizeof(T), n * sizeof(T)));
}

// Grows a vector used as a list: doubles it, at least to 4 entries, at most to limit.
void* luaM_growaux(lua_State* L, void* block, int* size, int size_elem, int limit,
                   const char* errormsg);

template <typename T>
void luaM_growvector(lua_State* L, T*& v, int nelems, int& size, int limit, const char* e) {
    if (nelems + 1 > size) {
        v = static_cast<T*>(luaM_growaux(L, v, &size, sizeof(T), limit, e));
    }
}
