#include "engine/script/lua/luastring.h"

#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastate.h"

static void rehashinto(global_State* g, GCObject** newhash, int newsize) {
    for (int i = 0; i < g->strt.size; i++) {
        GCObject* p = g->strt.hash[i];
        while (p != nullptr) {
            GCObject* next = p->next;
            const lu_hash h = static_cast<TString*>(p)->hash;
            const int h1 = static_cast<int>(h & static_cast<lu_hash>(newsize - 1));
            p->next = newhash[h1];
            newhash[h1] = p;
            p = next;
        }
    }
}

void luaS_resize(lua_State* L, int newsize) {
    GCObject** newhash = luaM_newvector<GCObject*>(L, static_cast<size_t>(newsize));
    global_State* g = G(L);
    for (int i = 0; i < newsize; i++) {
        newhash[i] = nullptr;
    }
    rehashinto(g, newhash, newsize);
    luaM_freearray(L, g->strt.hash, static_cast<size_t>(g->strt.size));
    g->strt.size = newsize;
    g->strt.hash = newhash;
}

void luaS_tryresize(lua_State* L, int newsize) {
    global_State* g = G(L);
    void* block = luaM_tryrealloc(L, nullptr, 0, sizeof(GCObject*) * static_cast<size_t>(newsize));
    if (block == nullptr) {
        return;
    }
    GCObject** newhash = static_cast<GCObject**>(block);
    for (int i = 0; i < newsize; i++) {
        newhash[i] = nullptr;
    }
    rehashinto(g, newhash, newsize);
    luaM_freearray(L, g->strt.hash, static_cast<size_t>(g->strt.size));
    g->strt.size = newsize;
    g->strt.hash = newhash;
}

void luaS_freeall(lua_State* L) {
    global_State* g = G(L);
    luaM_freearray(L, g->strt.hash, static_cast<size_t>(g->strt.size));
    g->strt.hash = nullptr;
    g->strt.size = 0;
}

lu_hash luaS_hash(const char* str, size_t l) {
    lu_hash h = static_cast<lu_hash>(l);
    const size_t step = (l >> 5) + 1;
    for (size_t l1 = l; l1 >= step; l1 -= step) {
        h = h ^ ((h << 5) + (h >> 2) + static_cast<unsigned char>(str[l1 - 1]));
    }
    return h;
}

lu_hash luaS_whash(const lua_WChar* str, size_t l) {
    lu_hash h = static_cast<lu_hash>(l);
    const size_t step = (l >> 5) + 1;
    for (size_t l1 = l; l1 >= step; l1 -= step) {
        h = h ^ ((h << 5) + (h >> 2) + static_cast<uint16_t>(str[l1 - 1]));
    }
    return h;
}

size_t luaS_wstrlen(const lua_WChar* s) {
    size_t n = 0;
    while (s[n] != 0) {
        n++;
    }
    return n;
}

// Links a new string into its bucket and grows the store when it has more strings than buckets.
static void linkstring(lua_State* L, TString* ts, lu_hash h) {
    stringtable* tb = &G(L)->strt;
    const int b = static_cast<int>(h & static_cast<lu_hash>(tb->size - 1));
    ts->next = tb->hash[b];
    tb->hash[b] = ts;
    tb->nuse++;
    if (tb->nuse > static_cast<uint32_t>(tb->size) && tb->size <= MAX_INT_LUA / 2) {
        luaS_resize(L, tb->size * 2);
    }
}

TString* luaS_newlstr(lua_State* L, const char* str, size_t l) {
    if (l >= MAX_LUA_STRLEN) {
        luaM_realloc(L, nullptr, 0, MAX_LUA_STRLEN); // "block too big"
    }
    if (l == 0) {
        str = "";
    }
    if (TString* found = luaS_find(L, str, l)) {
        return found;
    }
    TString* ts = static_cast<TString*>(luaM_realloc(L, nullptr, 0, sizestring(l)));
    ts->tt = LUA_TSTRING;
    ts->marked = 0;
    ts->reserved = 0;
    ts->hash = luaS_hash(str, l);
    ts->len = static_cast<uint32_t>(l);
    std::memcpy(getstr(ts), str, l);
    getstr(ts)[l] = '\0';
    linkstring(L, ts, ts->hash);
    return ts;
}

TString* luaS_find(lua_State* L, const char* str, size_t l) {
    const lu_hash h = luaS_hash(str, l);
    global_State* g = G(L);
    for (GCObject* o = g->strt.hash[h & static_cast<lu_hash>(g->strt.size - 1)]; o != nullptr;
         o = o->next) {
        TString* ts = static_cast<TString*>(o);
        if (ts->tt == LUA_TSTRING && ts->len == l && std::memcmp(str, getstr(ts), l) == 0) {
            return ts;
        }
    }
    return nullptr;
}

TString* luaS_newlwstr(lua_State* L, const lua_WChar* str, size_t l) {
    if (l >= MAX_LUA_STRLEN / 2) {
        luaM_realloc(L, nullptr, 0, MAX_LUA_STRLEN);
    }
    static const lua_WChar empty[1] = {0};
    if (l == 0) {
        str = empty;
    }
    const lu_hash h = luaS_whash(str, l);
    global_State* g = G(L);
    for (GCObject* o = g->strt.hash[h & static_cast<lu_hash>(g->strt.size - 1)]; o != nullptr;
         o = o->next) {
        TString* ts = static_cast<TString*>(o);
        if (ts->tt == LUA_TWSTRING && ts->len == l &&
            std::memcmp(str, getwstr(ts), l * sizeof(lua_WChar)) == 0) {
            return ts;
        }
    }
    TString* ts = static_cast<TString*>(luaM_realloc(L, nullptr, 0, sizewstring(l)));
    ts->tt = LUA_TWSTRING;
    ts->marked = 0;
    ts->reserved = 0;
    ts->hash = h;
    ts->len = static_cast<uint32_t>(l);
    if (l > 0) {
        std::memcpy(getwstr(ts), str, l * sizeof(lua_WChar));
    }
    getwstr(ts)[l] = 0;
    linkstring(L, ts, h);
    return ts;
}

size_t luaS_udatasize(const Udata* u) {
    return sizeudata(u->len == 1 ? sizeof(void*) : u->len);
}

static Udata* newudata(lua_State* L, uint32_t len, size_t blocksize) {
    Udata* u = static_cast<Udata*>(luaM_realloc(L, nullptr, 0, sizeudata(blocksize)));
    global_State* g = G(L);
    u->tt = LUA_TUSERDATA;
    u->marked = (1 << 1); // not yet finalised
    u->len = len;
    const TObject* mt = &g->mt[LUA_TUSERDATA];
    u->metatable = ttistable(mt) ? hvalue(mt) : g->defaultmeta;
    u->next = g->rootudata;
    g->rootudata = u;
    return u;
}

Udata* luaS_newudata(lua_State* L, size_t s) {
    if (s >= MAX_LUA_STRLEN - kUdataHeaderSize) {
        luaM_realloc(L, nullptr, 0, MAX_LUA_STRLEN);
    }
    const size_t even = (s + 1) & ~static_cast<size_t>(1);
    return newudata(L, static_cast<uint32_t>(even), even);
}

Udata* luaS_newboxedpointer(lua_State* L, void* p) {
    Udata* u = newudata(L, 1, sizeof(void*));
    std::memcpy(udatablock(u), &p, sizeof(void*));
    return u;
}
