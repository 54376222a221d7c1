#include "engine/script/lua/luamem.h"

#include <cstdlib>

#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luastate.h"

#define MINSIZEARRAY 4

void* LuaAllocDefault(void*, void* block, size_t, size_t newsize, int, int) {
    if (newsize == 0) {
        std::free(block);
        return nullptr;
    }
    return std::realloc(block, newsize);
}

lua_Alloc gLuaAlloc = LuaAllocDefault;
void* gLuaAllocUserData = nullptr;
unsigned gLuaInitialBuffer = 0;
lua_ThreadHook gLuaNewThreadHook = nullptr;
lua_ThreadHook gLuaFreeThreadHook = nullptr;

void* luaM_tryrealloc(lua_State* L, void* block, lu_mem oldsize, lu_mem size) {
    global_State* g = G(L);
    if (size == 0) {
        if (block != nullptr) {
            g->frealloc(g->ud, block, oldsize, 0, 0, L->allocatingBuffer);
            g->nblocks -= oldsize;
        }
        return nullptr;
    }
    if (size >= MAX_LUA_STRLEN) {
        return nullptr;
    }
    void* nb = g->frealloc(g->ud, block, oldsize, size, 0, L->allocatingBuffer);
    if (nb != nullptr) {
        g->nblocks = g->nblocks - oldsize + size;
    }
    return nb;
}

void* luaM_realloc(lua_State* L, void* block, lu_mem oldsize, lu_mem size) {
    if (size >= MAX_LUA_STRLEN) {
        luaG_runerror(L, "memory allocation error: block too big");
    }
    void* nb = luaM_tryrealloc(L, block, oldsize, size);
    if (nb == nullptr && size > 0) {
        luaD_throw(L, LUA_ERRMEM);
    }
    return nb;
}

void* luaM_reallocbuffer(lua_State* L, void* block, lu_mem oldsize, lu_mem size) {
    const int old = L->allocatingBuffer;
    L->allocatingBuffer = 1;
    if (size >= MAX_LUA_STRLEN) {
        L->allocatingBuffer = old;
        luaG_runerror(L, "memory allocation error: block too big");
    }
    void* nb = luaM_tryrealloc(L, block, oldsize, size);
    L->allocatingBuffer = old;
    if (nb == nullptr && size > 0) {
        luaD_throw(L, LUA_ERRMEM);
    }
    return nb;
}

void* luaM_growaux(lua_State* L, void* block, int* size, int size_elem, int limit,
                   const char* errormsg) {
    int newsize;
    if (*size >= limit / 2) {
        if (*size >= limit - MINSIZEARRAY) {
            luaG_runerror(L, errormsg);
        }
        newsize = limit;
    } else {
        newsize = (*size) * 2;
        if (newsize < MINSIZEARRAY) {
            newsize = MINSIZEARRAY;
        }
    }
    void* nb = luaM_realloc(L, block, static_cast<lu_mem>(*size) * size_elem,
                            static_cast<lu_mem>(newsize) * size_elem);
    *size = newsize;
    return nb;
}
