#include "engine/script/lua/luastate.h"

#include <initializer_list>

#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "engine/script/lua/luatm.h"
#include "engine/script/lua/luavm.h"

static int defaultpanic(lua_State*) {
    return 0;
}

static void preinit_state(lua_State* L) {
    L->tt = LUA_TTHREAD;
    L->marked = 0;
    L->next = nullptr;
    L->stack = nullptr;
    L->stacksize = 0;
    L->errorJmp = 0;
    L->hook = nullptr;
    L->hookmask = 0;
    L->hookinit = 0;
    L->basehookcount = 0;
    L->allowhook = 1;
    L->hookcount = 0;
    L->openupval = nullptr;
    L->size_ci = 0;
    L->nCcalls = 0;
    L->base_ci = nullptr;
    L->ci = nullptr;
    L->end_ci = nullptr;
    L->top = nullptr;
    L->base = nullptr;
    L->stack_last = nullptr;
    L->errfunc = 0;
    L->gclist = nullptr;
    L->allocatingBuffer = 0;
    L->l_G = nullptr;
    setnilvalue(gt(L));
}

// Allocations are charged to L, the thread that asks for the new one.
static void stack_init(lua_State* L1, lua_State* L) {
    TObject* stack = luaM_newvector<TObject>(L, BASIC_STACK_SIZE + EXTRA_STACK);
    for (int i = 0; i < BASIC_STACK_SIZE + EXTRA_STACK; i++) {
        setnilvalue(stack + i);
    }
    L1->stack = stack;
    L1->stacksize = BASIC_STACK_SIZE + EXTRA_STACK;
    L1->top = L1->stack;
    L1->stack_last = L1->stack + (L1->stacksize - EXTRA_STACK) - 1;
    CallInfo* ci = luaM_newvector<CallInfo>(L, BASIC_CI_SIZE);
    L1->base_ci = ci;
    L1->ci = ci;
    L1->size_ci = BASIC_CI_SIZE;
    L1->end_ci = L1->base_ci + L1->size_ci;
    ci->state = CI_C;
    ci->savedpc = nullptr;
    ci->tailcalls = 0;
    setnilvalue(L1->top++); // the function slot of the base level
    L1->base = ci->base = L1->top;
    ci->top = L1->top + LUA_MINSTACK;
}

static void freestack(lua_State* L, lua_State* L1) {
    if (L1->base_ci != nullptr) {
        luaM_freearray(L, L1->base_ci, L1->size_ci);
        L1->base_ci = nullptr;
    }
    if (L1->stack != nullptr) {
        luaM_freearray(L, L1->stack, static_cast<size_t>(L1->stacksize));
        L1->stack = nullptr;
    }
}

static void f_luaopen(lua_State* L, void*) {
    void* block = gLuaAlloc(gLuaAllocUserData, nullptr, 0, sizeof(global_State), 0, 0);
    if (block == nullptr) {
        throw LuaError{LUA_ERRMEM};
    }
    global_State* g = static_cast<global_State*>(block);
    g->strt.hash = nullptr;
    g->strt.nuse = 0;
    g->strt.size = 0;
    g->frealloc = gLuaAlloc;
    g->ud = gLuaAllocUserData;
    g->rootgc = nullptr;
    g->rootudata = nullptr;
    g->tmudata = nullptr;
    g->buff.buffer = nullptr;
    g->buff.size = 0;
    g->GCthreshold = 0; // no collection can run before the state is complete
    g->nblocks = sizeof(lua_State) + sizeof(global_State);
    g->panic = defaultpanic;
    g->nprotected = 0;
    g->errorthread = nullptr;
    g->nresumes = 0;
    setnilvalue(&g->_registry);
    g->defaultmeta = nullptr;
    g->mainthread = L;
    g->dummynode->next = nullptr;
    setnilvalue(gkey(g->dummynode));
    setnilvalue(gval(g->dummynode));
    for (int i = 0; i < TM_N; i++) {
        g->tmname[i] = nullptr;
    }
    for (int i = 0; i < NUM_TYPE_SLOTS; i++) {
        setnilvalue(&g->mt[i]);
    }
    L->l_G = g;

    stack_init(L, L);
    g->defaultmeta = luaH_new(L, 0, 0); // its own metatable
    for (int i = 1; i < NUM_TYPE_SLOTS; i++) {
        Table* t = luaH_new(L, 0, 0);
        t->metatable = g->defaultmeta;
        sethvalue(&g->mt[i], t);
    }
    sethvalue(gt(L), luaH_new(L, 0, 4));
    sethvalue(registry(L), luaH_new(L, 4, 4));
    // Scripts can reach and change the per-type table metatable (getmetatable({})); the globals
    // and the registry each get a metatable of their own so such changes cannot reach them.
    for (Table* t : {hvalue(gt(L)), hvalue(registry(L))}) {
        Table* own = luaH_new(L, 0, 0);
        own->metatable = g->defaultmeta;
        t->metatable = own;
    }
    luaS_resize(L, MINSTRTABSIZE);
    luaT_init(L);
    luaS_fix(luaS_new(L, "not enough memory"));
    luaS_fix(luaS_new(L, "error in error handling"));
    g->GCthreshold = 4 * g->nblocks;
    if (gLuaInitialBuffer > 0) {
        luaV_openspace(L, gLuaInitialBuffer);
    }
}

static void close_state(lua_State* L) {
    global_State* g = G(L);
    lua_Alloc frealloc = g != nullptr ? g->frealloc : gLuaAlloc;
    void* ud = g != nullptr ? g->ud : gLuaAllocUserData;
    if (g != nullptr) {
        luaF_close(L, L->stack);
        luaC_sweep(L, 1);
        if (g->strt.hash != nullptr) {
            luaS_freeall(L);
        }
        if (g->buff.buffer != nullptr) {
            luaM_reallocbuffer(L, g->buff.buffer, g->buff.size, 0);
        }
        freestack(L, L);
        frealloc(ud, g, sizeof(global_State), 0, 0, 0);
    }
    frealloc(ud, L, sizeof(lua_State), 0, 0, 0);
}

lua_State* lua_open(void) {
    void* block = gLuaAlloc(gLuaAllocUserData, nullptr, 0, sizeof(lua_State), 0, 0);
    if (block == nullptr) {
        return nullptr;
    }
    lua_State* L = static_cast<lua_State*>(block);
    preinit_state(L);
    if (luaD_rawrunprotected(L, f_luaopen, nullptr) != 0) {
        close_state(L);
        return nullptr;
    }
    return L;
}

lua_State* luaE_newthread(lua_State* L) {
    lua_State* L1 = static_cast<lua_State*>(luaM_realloc(L, nullptr, 0, sizeof(lua_State)));
    preinit_state(L1);
    L1->l_G = L->l_G;
    setobj(gt(L1), gt(L));
    luaC_link(L, L1, LUA_TTHREAD); // from here the collector frees it, even half built
    stack_init(L1, L);
    return L1;
}

void luaE_freethread(lua_State* L, lua_State* L1) {
    if (gLuaFreeThreadHook != nullptr) {
        gLuaFreeThreadHook(L, L1);
    }
    if (L1->stack != nullptr) {
        luaF_close(L1, L1->stack);
    }
    freestack(L, L1);
    luaM_free(L, L1, sizeof(lua_State));
}

static void callallgcTM(lua_State* L, void*) {
    luaC_callGCTM(L);
}

void lua_close(lua_State* L) {
    L = G(L)->mainthread; // only the main thread can be closed
    luaF_close(L, L->stack);
    luaC_separateudata(L);
    L->errfunc = 0;
    do {
        L->ci = L->base_ci;
        L->base = L->top = L->ci->base;
        L->nCcalls = 0;
    } while (luaD_rawrunprotected(L, callallgcTM, nullptr) != 0);
    close_state(L);
}
