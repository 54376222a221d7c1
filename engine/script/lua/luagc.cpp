#include "engine/script/lua/luagc.h"

#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "engine/script/lua/luatm.h"

bool gLuaGCStress = false;

// Mark bits: bit 0 reached in this cycle; userdata bit 1 still to be finalised; tables bits 1 and
// 2 weak keys and weak values (set while marking); strings bit 4 fixed.
#define MARKBIT 0
#define UDATA_NOTFINALIZED 1
#define KEYWEAKBIT 1
#define VALUEWEAKBIT 2
#define KEYWEAK (1 << KEYWEAKBIT)
#define VALUEWEAK (1 << VALUEWEAKBIT)

static inline bool ismarked(const GCObject* o) {
    return (o->marked & (1 << MARKBIT)) != 0;
}
static inline void setmark(GCObject* o) {
    o->marked |= (1 << MARKBIT);
}
static inline void unmark(GCObject* o) {
    o->marked &= static_cast<lu_byte>(~((1 << MARKBIT)));
}
static inline bool isfinalized(const Udata* u) {
    return !(u->marked & (1 << UDATA_NOTFINALIZED));
}
static inline void markfinalized(Udata* u) {
    u->marked &= static_cast<lu_byte>(~(1 << UDATA_NOTFINALIZED));
}

struct GCState {
    GCObject* tmark; // gray objects still to traverse
    GCObject* wk;    // weak tables met
    global_State* g;
    lua_State* L;
};

static GCObject*& gclistof(GCObject* o) {
    switch (o->tt) {
    case LUA_TTABLE:
        return static_cast<Table*>(o)->gclist;
    case LUA_TFUNCTION:
        return gco2cl(o)->h.gclist;
    case LUA_TTHREAD:
        return static_cast<lua_State*>(o)->gclist;
    default:
        return static_cast<Proto*>(o)->gclist;
    }
}

static void reallymarkobject(GCState* st, GCObject* o) {
    setmark(o);
    switch (o->tt) {
    case LUA_TSTRING:
    case LUA_TWSTRING:
        break;
    case LUA_TUSERDATA: {
        Table* mt = static_cast<Udata*>(o)->metatable;
        if (mt != nullptr && !ismarked(mt)) {
            reallymarkobject(st, mt);
        }
        break;
    }
    case LUA_TTABLE:
    case LUA_TFUNCTION:
    case LUA_TTHREAD:
    case LUA_TPROTO:
        gclistof(o) = st->tmark;
        st->tmark = o;
        break;
    default:
        break;
    }
}

static inline void markgc(GCState* st, GCObject* o) {
    if (o != nullptr && !ismarked(o)) {
        reallymarkobject(st, o);
    }
}

static inline void markvalue(GCState* st, const TObject* o) {
    if (iscollectable(o) && !ismarked(gcvalue(o))) {
        reallymarkobject(st, gcvalue(o));
    }
}

static void markupval(GCState* st, UpVal* uv) {
    if (uv == nullptr) {
        return;
    }
    if (uv->v != &uv->value) {
        // Open: the slot lives on a stack whose thread may itself be unreachable.
        markvalue(st, uv->v);
    } else if (!ismarked(uv)) {
        setmark(uv);
        markvalue(st, &uv->value);
    }
}

static void traversetable(GCState* st, Table* h) {
    markgc(st, h->metatable);
    h->marked &= static_cast<lu_byte>(~(KEYWEAK | VALUEWEAK));
    bool weakkey = false;
    bool weakvalue = false;
    const TObject* mode = luaT_fasttm(st->L, h->metatable, TM_MODE);
    if (mode != nullptr && ttisstring(mode)) {
        weakkey = std::strchr(getstr(tsvalue(mode)), 'k') != nullptr;
        weakvalue = std::strchr(getstr(tsvalue(mode)), 'v') != nullptr;
        if (weakkey || weakvalue) {
            h->marked |=
                static_cast<lu_byte>((weakkey ? KEYWEAK : 0) | (weakvalue ? VALUEWEAK : 0));
            h->gclist = st->wk;
            st->wk = h;
        }
    }
    if (!weakvalue) {
        for (int i = 0; i < h->sizearray; i++) {
            markvalue(st, &h->array[i]);
        }
    }
    for (int i = sizenode(h) - 1; i >= 0; i--) {
        Node* n = gnode(h, i);
        if (!ttisnil(gval(n))) {
            if (!weakkey) {
                markvalue(st, gkey(n));
            }
            if (!weakvalue) {
                markvalue(st, gval(n));
            }
        }
    }
}

static void traverseproto(GCState* st, Proto* f) {
    markgc(st, f->source);
    for (int i = 0; i < f->sizek; i++) {
        if (ttisanystring(&f->k[i])) {
            setmark(tsvalue(&f->k[i]));
        }
    }
    for (int i = 0; i < f->sizeupvalues; i++) {
        markgc(st, f->upvalues[i]);
    }
    for (int i = 0; i < f->sizep; i++) {
        markgc(st, f->p[i]);
    }
    for (int i = 0; i < f->sizelocvars; i++) {
        markgc(st, f->locvars[i].varname);
    }
}

static void traverseclosure(GCState* st, Closure* cl) {
    markvalue(st, &cl->h.g);
    if (cl->h.isC) {
        for (int i = 0; i < cl->h.nupvalues; i++) {
            markvalue(st, &cl->c.upvalue[i]);
        }
    } else {
        markgc(st, cl->l.p);
        for (int i = 0; i < cl->h.nupvalues; i++) {
            markupval(st, cl->l.upvals[i]);
        }
    }
}

// Shrinks oversized stacks and call-info arrays; optional, so a refused allocation is ignored.
static void checkstacksizes(lua_State* L, StkId max) {
    const int ciused = static_cast<int>(L->ci - L->base_ci);
    if (4 * ciused < L->size_ci && 2 * BASIC_CI_SIZE < L->size_ci) {
        luaD_tryreallocCI(L, L->size_ci / 2);
    }
    const int sused = static_cast<int>(max - L->stack);
    if (4 * sused < L->stacksize && 2 * (BASIC_STACK_SIZE + EXTRA_STACK) < L->stacksize) {
        luaD_tryreallocstack(L, L->stacksize / 2);
    }
}

static void traversestack(GCState* st, lua_State* L1) {
    markvalue(st, gt(L1));
    if (L1->stack == nullptr) {
        return; // a thread still being built
    }
    StkId lim = L1->top;
    for (CallInfo* ci = L1->base_ci; ci <= L1->ci; ci++) {
        if (lim < ci->top) {
            lim = ci->top;
        }
    }
    StkId o;
    for (o = L1->stack; o < L1->top; o++) {
        markvalue(st, o);
    }
    for (; o <= lim; o++) {
        setnilvalue(o);
    }
    checkstacksizes(L1, lim);
}

static void propagatemarks(GCState* st) {
    while (st->tmark != nullptr) {
        GCObject* o = st->tmark;
        st->tmark = gclistof(o);
        switch (o->tt) {
        case LUA_TTABLE:
            traversetable(st, static_cast<Table*>(o));
            break;
        case LUA_TFUNCTION:
            traverseclosure(st, gco2cl(o));
            break;
        case LUA_TTHREAD:
            traversestack(st, static_cast<lua_State*>(o));
            break;
        case LUA_TPROTO:
            traverseproto(st, static_cast<Proto*>(o));
            break;
        default:
            break;
        }
    }
}

// Strings are values, never weak references.
static bool valismarked(const TObject* o) {
    if (ttisanystring(o)) {
        setmark(tsvalue(o));
        return true;
    }
    return !iscollectable(o) || ismarked(gcvalue(o));
}

static void removekey(Node* n) {
    setnilvalue(gval(n));
    if (iscollectable(gkey(n))) {
        gkey(n)->tt = LUA_TDEADKEY;
    }
}

// Removes the entries of the weak tables on list l whose weak value (values) or weak key (keys)
// was not reached.
static void cleartables(GCObject* l, bool keys, bool values) {
    while (l != nullptr) {
        Table* h = static_cast<Table*>(l);
        const bool weakkey = keys && (h->marked & KEYWEAK);
        const bool weakvalue = values && (h->marked & VALUEWEAK);
        if (weakvalue) {
            for (int i = 0; i < h->sizearray; i++) {
                if (!valismarked(&h->array[i])) {
                    setnilvalue(&h->array[i]);
                }
            }
        }
        for (int i = sizenode(h) - 1; i >= 0; i--) {
            Node* n = gnode(h, i);
            if (ttisnil(gval(n))) {
                continue;
            }
            if ((weakkey && !valismarked(gkey(n))) || (weakvalue && !valismarked(gval(n)))) {
                removekey(n);
            }
        }
        l = h->gclist;
    }
}

void luaC_link(lua_State* L, GCObject* o, lu_byte tt) {
    o->next = G(L)->rootgc;
    G(L)->rootgc = o;
    o->marked = 0;
    o->tt = tt;
}

static void freeobj(lua_State* L, GCObject* o) {
    switch (o->tt) {
    case LUA_TPROTO:
        luaF_freeproto(L, static_cast<Proto*>(o));
        break;
    case LUA_TFUNCTION:
        luaF_freeclosure(L, gco2cl(o));
        break;
    case LUA_TUPVALUE:
        luaM_free(L, o, sizeof(UpVal));
        break;
    case LUA_TTABLE:
        luaH_free(L, static_cast<Table*>(o));
        break;
    case LUA_TTHREAD:
        luaE_freethread(L, static_cast<lua_State*>(o));
        break;
    case LUA_TSTRING:
    case LUA_TWSTRING: {
        TString* ts = static_cast<TString*>(o);
        G(L)->strt.nuse--;
        luaM_free(L, ts, sizeanystring(ts));
        break;
    }
    case LUA_TUSERDATA:
        luaM_free(L, o, luaS_udatasize(static_cast<Udata*>(o)));
        break;
    default:
        break;
    }
}

// Dead threads are freed after the sweep: freeing one closes its upvalues into the object list,
// which must not happen under the sweep's feet.
static void sweeplist(lua_State* L, GCObject** p, bool all, GCObject** deadthreads) {
    GCObject* curr;
    while ((curr = *p) != nullptr) {
        if (!all && ismarked(curr)) {
            unmark(curr);
            if (curr->tt == LUA_TTABLE) {
                curr->marked &= static_cast<lu_byte>(~(KEYWEAK | VALUEWEAK));
            }
            p = &curr->next;
        } else {
            *p = curr->next;
            if (curr->tt == LUA_TTHREAD && deadthreads != nullptr) {
                curr->next = *deadthreads;
                *deadthreads = curr;
            } else {
                freeobj(L, curr);
            }
        }
    }
}

static void sweepstrings(lua_State* L, bool all) {
    stringtable* tb = &G(L)->strt;
    for (int i = 0; i < tb->size; i++) {
        GCObject** p = &tb->hash[i];
        GCObject* curr;
        while ((curr = *p) != nullptr) {
            const bool fixed = (curr->marked & (1 << FIXEDBIT)) != 0;
            if (!all && (ismarked(curr) || fixed)) {
                unmark(curr);
                p = &curr->next;
            } else {
                *p = curr->next;
                freeobj(L, curr);
            }
        }
    }
}

void luaC_sweep(lua_State* L, int all) {
    GCObject* deadthreads = nullptr;
    sweeplist(L, &G(L)->rootudata, all != 0, nullptr);
    sweepstrings(L, all != 0);
    sweeplist(L, &G(L)->rootgc, all != 0, &deadthreads);
    while (deadthreads != nullptr) {
        GCObject* next = deadthreads->next;
        freeobj(L, deadthreads);
        deadthreads = next;
    }
    if (all) {
        // Threads freed last may have closed upvalues into the list.
        sweeplist(L, &G(L)->rootgc, true, nullptr);
    }
}

size_t luaC_separateudata(lua_State* L) {
    size_t deadmem = 0;
    GCObject** p = &G(L)->rootudata;
    GCObject* curr;
    GCObject* collected = nullptr;
    GCObject** lastcollected = &collected;
    while ((curr = *p) != nullptr) {
        Udata* u = static_cast<Udata*>(curr);
        if (ismarked(curr) || isfinalized(u)) {
            p = &curr->next;
        } else if (luaT_fasttm(L, u->metatable, TM_GC) == nullptr) {
            markfinalized(u);
            p = &curr->next;
        } else {
            deadmem += luaS_udatasize(u);
            *p = curr->next;
            curr->next = nullptr;
            *lastcollected = curr;
            lastcollected = &curr->next;
        }
    }
    *lastcollected = G(L)->tmudata;
    G(L)->tmudata = collected;
    return deadmem;
}

static void marktmu(GCState* st) {
    for (GCObject* u = st->g->tmudata; u != nullptr; u = u->next) {
        unmark(u); // may be marked when left over from an interrupted cycle
        reallymarkobject(st, u);
    }
}

static size_t mark(lua_State* L) {
    GCState st;
    global_State* g = G(L);
    st.g = g;
    st.L = L;
    st.tmark = nullptr;
    st.wk = nullptr;
    unmark(g->mainthread); // not in any list the sweep unmarks
    markgc(&st, g->mainthread);
    markvalue(&st, registry(L));
    markgc(&st, g->defaultmeta);
    for (int i = 0; i < NUM_TYPE_SLOTS; i++) {
        markvalue(&st, &g->mt[i]);
    }
    markgc(&st, L); // the running thread, which may be a coroutine
    propagatemarks(&st);
    // Weak values are cleared before the userdata awaiting finalisation (and what only they reach)
    // are marked for their finalisers, so a finaliser cannot fetch its object back from a weak
    // cache. Weak keys are cleared after: what they attach to such an object stays readable by its
    // finaliser and goes with the object in the next cycle.
    cleartables(st.wk, false, true);
    GCObject* const reached = st.wk;
    st.wk = nullptr;
    const size_t deadmem = luaC_separateudata(L);
    marktmu(&st);
    propagatemarks(&st);
    cleartables(reached, true, false);
    cleartables(st.wk, true, true); // weak tables reached only through those userdata
    return deadmem;
}

static void checkSizes(lua_State* L, size_t deadmem) {
    global_State* g = G(L);
    if (g->strt.nuse < static_cast<uint32_t>(g->strt.size / 4) &&
        g->strt.size > MINSTRTABSIZE * 2) {
        luaS_tryresize(L, g->strt.size / 2);
    }
    if (g->buff.size > LUA_MINBUFFER * 2) {
        const size_t newsize = g->buff.size / 2;
        void* nb = luaM_tryrealloc(L, g->buff.buffer, g->buff.size, newsize);
        if (nb != nullptr) {
            g->buff.buffer = static_cast<char*>(nb);
            g->buff.size = newsize;
        }
    }
    g->GCthreshold = 2 * g->nblocks - deadmem;
}

static void do1gcTM(lua_State* L, Udata* udata) {
    const TObject* tm = luaT_fasttm(L, udata->metatable, TM_GC);
    if (tm != nullptr) {
        setobj(L->top, tm);
        setuvalue(L->top + 1, udata);
        L->top += 2;
        luaD_call(L, L->top - 2, 0);
    }
}

void luaC_callGCTM(lua_State* L) {
    global_State* g = G(L);
    if (g->tmudata == nullptr) {
        return;
    }
    luaD_checkstack(L, 3);
    const lu_byte oldah = L->allowhook;
    L->allowhook = 0;
    L->top++; // keeps the userdata alive while its handler runs
    try {
        while (g->tmudata != nullptr) {
            GCObject* o = g->tmudata;
            Udata* udata = static_cast<Udata*>(o);
            g->tmudata = udata->next;
            udata->next = g->rootudata;
            g->rootudata = o;
            setuvalue(L->top - 1, udata);
            unmark(o);
            markfinalized(udata);
            do1gcTM(L, udata);
        }
    } catch (...) {
        L->allowhook = oldah;
        throw;
    }
    L->top--;
    L->allowhook = oldah;
}

void luaC_collectgarbage(lua_State* L) {
    const size_t deadmem = mark(L);
    luaC_sweep(L, 0);
    checkSizes(L, deadmem);
    luaC_callGCTM(L);
}

void luaC_checkGC(lua_State* L) {
    global_State* g = G(L);
    if (g->nblocks >= g->GCthreshold) {
        luaC_collectgarbage(L);
    } else if (gLuaGCStress) {
        // An extra collection must not change what the state would do otherwise.
        const lu_mem threshold = g->GCthreshold;
        luaC_collectgarbage(L);
        g->GCthreshold = threshold;
    }
}
