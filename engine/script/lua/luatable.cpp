#include "engine/script/lua/luatable.h"

#include <cmath>

#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"

static inline int twoto(int x) {
    return 1 << x;
}

static Node* hashpow2(const Table* t, lu_hash n) {
    return gnode(t, static_cast<int>(n & static_cast<lu_hash>(sizenode(t) - 1)));
}

static Node* hashmod(const Table* t, lu_hash n) {
    return gnode(t, static_cast<int>(n % static_cast<lu_hash>((sizenode(t) - 1) | 1)));
}

// Pointers are folded to 32 bits on purpose: the main position only needs a well-spread number.
static lu_hash hashpointer(const void* p) {
    const uint64_t u = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p));
    return static_cast<lu_hash>(u) ^ static_cast<lu_hash>(u >> 32);
}

static Node* hashnum(const Table* t, lua_Number n) {
    uint32_t a[sizeof(lua_Number) / sizeof(uint32_t)];
    n += 1; // normalises -0 and avoids a zero hash for 0
    std::memcpy(a, &n, sizeof(a));
    for (size_t i = 1; i < sizeof(a) / sizeof(a[0]); i++) {
        a[0] += a[i];
    }
    return hashmod(t, a[0]);
}

Node* luaH_mainposition(const Table* t, const TObject* key) {
    switch (ttype(key)) {
    case LUA_TNUMBER:
        return hashnum(t, nvalue(key));
    case LUA_TSTRING:
    case LUA_TWSTRING:
        return hashpow2(t, tsvalue(key)->hash);
    case LUA_TBOOLEAN:
        return hashpow2(t, static_cast<lu_hash>(bvalue(key)));
    case LUA_TLIGHTUSERDATA:
        return hashmod(t, hashpointer(pvalue(key)));
    default:
        return hashmod(t, hashpointer(gcvalue(key)));
    }
}

// The array index of a key, or -1 when it is not a suitable integer.
static int arrayindex(const TObject* key) {
    if (ttisnumber(key)) {
        int32_t k;
        if (LuaNumberIsInt(nvalue(key), &k) && k >= 1 && k <= MAXASIZE) {
            return k;
        }
    }
    return -1;
}

// Position of a key for a traversal: array slots first (0..sizearray-1), then nodes.
static int luaH_index(lua_State* L, Table* t, StkId key) {
    if (ttisnil(key)) {
        return -1;
    }
    int i = arrayindex(key);
    if (0 < i && i <= t->sizearray) {
        return i - 1;
    }
    const TObject* v = luaH_get(t, key);
    if (v == &luaO_nilobject) {
        luaG_runerror(L, "invalid key for `next'");
    }
    i = static_cast<int>(reinterpret_cast<const char*>(v) -
                         reinterpret_cast<const char*>(gval(gnode(t, 0)))) /
        static_cast<int>(sizeof(Node));
    return i + t->sizearray;
}

int luaH_next(lua_State* L, Table* t, StkId key) {
    int i = luaH_index(L, t, key);
    for (i++; i < t->sizearray; i++) {
        if (!ttisnil(&t->array[i])) {
            setnvalue(key, static_cast<lua_Number>(i + 1));
            setobj(key + 1, &t->array[i]);
            return 1;
        }
    }
    for (i -= t->sizearray; i < sizenode(t); i++) {
        if (!ttisnil(gval(gnode(t, i)))) {
            setobj(key, gkey(gnode(t, i)));
            setobj(key + 1, gval(gnode(t, i)));
            return 1;
        }
    }
    return 0;
}

// Chooses the array size: the largest n (a power of 2) such that more than half of 1..n is used.
static void computesizes(int nums[], int ntotal, int* narray, int* nhash) {
    int a = nums[0];
    int na = a;
    int n = (na == 0) ? -1 : 0;
    for (int i = 1; a < *narray && *narray >= twoto(i - 1); i++) {
        if (nums[i] > 0) {
            a += nums[i];
            if (a > twoto(i - 1)) {
                n = i;
                na = a;
            }
        }
    }
    *nhash = ntotal - na;
    *narray = (n == -1) ? 0 : twoto(n);
}

// Counts keys by slices (2^(lg-1), 2^lg]; extra is a key about to be inserted, or null.
static void numuse(const Table* t, const TObject* extra, int* narray, int* nhash) {
    int nums[MAXBITS + 1];
    int i = 0;
    int lg;
    int totaluse = 0;
    for (lg = 0; lg <= MAXBITS; lg++) {
        int ttlg = twoto(lg);
        if (ttlg > t->sizearray) {
            ttlg = t->sizearray;
            if (i >= ttlg) {
                break;
            }
        }
        nums[lg] = 0;
        for (; i < ttlg; i++) {
            if (!ttisnil(&t->array[i])) {
                nums[lg]++;
                totaluse++;
            }
        }
    }
    for (; lg <= MAXBITS; lg++) {
        nums[lg] = 0;
    }
    *narray = totaluse;
    auto countkey = [&](const TObject* key) {
        const int k = arrayindex(key);
        if (k >= 0) {
            nums[luaO_log2(static_cast<unsigned>(k - 1)) + 1]++;
            (*narray)++;
        }
        totaluse++;
    };
    i = sizenode(t);
    while (i--) {
        Node* n = &t->node[i];
        if (!ttisnil(gval(n))) {
            countkey(gkey(n));
        }
    }
    if (extra != nullptr) {
        countkey(extra);
    }
    computesizes(nums, totaluse, narray, nhash);
}

static Node* newnodevector(lua_State* L, int lsize) {
    if (lsize > MAXBITS) {
        luaG_runerror(L, "table overflow");
    }
    if (lsize == 0) {
        return G(L)->dummynode;
    }
    const int size = twoto(lsize);
    Node* node = luaM_newvector<Node>(L, static_cast<size_t>(size));
    for (int i = 0; i < size; i++) {
        node[i].next = nullptr;
        setnilvalue(gkey(&node[i]));
        setnilvalue(gval(&node[i]));
    }
    return node;
}

static void setnodevector(Table* t, Node* node, int lsize) {
    t->node = node;
    t->lsizenode = static_cast<lu_byte>(lsize);
    t->firstfree = gnode(t, twoto(lsize) - 1);
}

static TObject* rawset(lua_State* L, Table* t, const TObject* key);

// Both new parts are allocated before anything changes, so a failed allocation leaves the table
// as it was.
// Nothing changes until both new parts exist, so a failed allocation leaves the table as it was.
static void resize(lua_State* L, Table* t, int nasize, int nhsize) {
    const int oldasize = t->sizearray;
    const int oldhsize = t->lsizenode;
    Node* nold = t->node;
    Node* nnew = newnodevector(L, nhsize);
    TObject* oldarray = t->array;
    if (nasize > oldasize) {
        // Growing keeps the block in place when the allocator can.
        TObject* grown = oldarray;
        try {
            luaM_reallocvector(L, grown, static_cast<size_t>(oldasize),
                               static_cast<size_t>(nasize));
        } catch (...) {
            if (nnew != G(L)->dummynode) {
                luaM_freearray(L, nnew, static_cast<size_t>(twoto(nhsize)));
            }
            throw;
        }
        for (int i = oldasize; i < nasize; i++) {
            setnilvalue(&grown[i]);
        }
        t->array = grown;
        t->sizearray = nasize;
        setnodevector(t, nnew, nhsize);
    } else if (nasize < oldasize) {
        TObject* shrunk = nullptr;
        if (nasize > 0) {
            try {
                shrunk = luaM_newvector<TObject>(L, static_cast<size_t>(nasize));
            } catch (...) {
                if (nnew != G(L)->dummynode) {
                    luaM_freearray(L, nnew, static_cast<size_t>(twoto(nhsize)));
                }
                throw;
            }
            std::memcpy(shrunk, oldarray, sizeof(TObject) * static_cast<size_t>(nasize));
        }
        t->array = shrunk;
        t->sizearray = nasize;
        setnodevector(t, nnew, nhsize);
        // Entries of the vanishing slice move to the hash part.
        for (int i = nasize; i < oldasize; i++) {
            if (!ttisnil(&oldarray[i])) {
                setobj(luaH_setnum(L, t, i + 1), &oldarray[i]);
            }
        }
        luaM_freearray(L, oldarray, static_cast<size_t>(oldasize));
    } else {
        setnodevector(t, nnew, nhsize);
    }
    for (int i = twoto(oldhsize) - 1; i >= 0; i--) {
        Node* old = nold + i;
        if (!ttisnil(gval(old))) {
            setobj(rawset(L, t, gkey(old)), gval(old));
        }
    }
    if (nold != G(L)->dummynode) {
        luaM_freearray(L, nold, static_cast<size_t>(twoto(oldhsize)));
    }
}

static void rehash(lua_State* L, Table* t, const TObject* extra) {
    int nasize;
    int nhsize;
    numuse(t, extra, &nasize, &nhsize);
    resize(L, t, nasize, luaO_log2(static_cast<unsigned>(nhsize)) + 1);
}

Table* luaH_new(lua_State* L, int narray, int lnhash) {
    Table* t = static_cast<Table*>(luaM_realloc(L, nullptr, 0, sizeof(Table)));
    global_State* g = G(L);
    t->tt = LUA_TTABLE;
    t->marked = 0;
    t->flags = static_cast<lu_byte>(~0);
    t->lsizenode = 0;
    t->array = nullptr;
    t->sizearray = 0;
    t->gclist = nullptr;
    t->node = g->dummynode;
    t->firstfree = g->dummynode;
    const TObject* mt = &g->mt[LUA_TTABLE];
    t->metatable = ttistable(mt) ? hvalue(mt) : (g->defaultmeta != nullptr ? g->defaultmeta : t);
    try {
        if (narray > 0) {
            t->array = luaM_newvector<TObject>(L, static_cast<size_t>(narray));
            for (int i = 0; i < narray; i++) {
                setnilvalue(&t->array[i]);
            }
            t->sizearray = narray;
        }
        setnodevector(t, newnodevector(L, lnhash), lnhash);
    } catch (...) {
        luaH_free(L, t);
        throw;
    }
    luaC_link(L, t, LUA_TTABLE);
    return t;
}

void luaH_free(lua_State* L, Table* t) {
    if (t->node != G(L)->dummynode) {
        luaM_freearray(L, t->node, static_cast<size_t>(sizenode(t)));
    }
    if (t->array != nullptr) {
        luaM_freearray(L, t->array, static_cast<size_t>(t->sizearray));
    }
    luaM_free(L, t, sizeof(Table));
}

// Inserts a key not present in the table. The key goes to its main position; a colliding node
// that is not in its own main position moves to a free node. When the last free node is taken the
// table is rehashed (with the new key counted) and the key inserted again.
static TObject* newkey(lua_State* L, Table* t, const TObject* key) {
    if (t->node == G(L)->dummynode) {
        // The shared empty node is never written.
        rehash(L, t, key);
        return rawset(L, t, key);
    }
    Node* mp = luaH_mainposition(t, key);
    if (!ttisnil(gval(mp))) {
        Node* othern = luaH_mainposition(t, gkey(mp));
        Node* n = t->firstfree;
        if (othern != mp) {
            while (othern->next != mp) {
                othern = othern->next;
            }
            othern->next = n;
            *n = *mp;
            mp->next = nullptr;
            setnilvalue(gval(mp));
        } else {
            n->next = mp->next;
            mp->next = n;
            mp = n;
        }
    }
    setobj(gkey(mp), key);
    for (;;) {
        if (ttisnil(gkey(t->firstfree))) {
            return gval(mp);
        } else if (t->firstfree == t->node) {
            break;
        } else {
            t->firstfree--;
        }
    }
    // No free place left: a false value keeps the new key counted during the rehash.
    setbvalue(gval(mp), 0);
    try {
        rehash(L, t, nullptr);
    } catch (...) {
        setnilvalue(gval(mp)); // the failed assignment leaves no value behind
        throw;
    }
    TObject* val = const_cast<TObject*>(luaH_get(t, key));
    setnilvalue(val);
    return val;
}

static const TObject* luaH_getany(Table* t, const TObject* key) {
    if (ttisnil(key)) {
        return &luaO_nilobject;
    }
    Node* n = luaH_mainposition(t, key);
    do {
        if (luaO_rawequalObj(gkey(n), key)) {
            return gval(n);
        }
        n = n->next;
    } while (n != nullptr);
    return &luaO_nilobject;
}

const TObject* luaH_getnum(Table* t, int key) {
    if (1 <= key && key <= t->sizearray) {
        return &t->array[key - 1];
    }
    const lua_Number nk = static_cast<lua_Number>(key);
    Node* n = hashnum(t, nk);
    do {
        if (ttisnumber(gkey(n)) && nvalue(gkey(n)) == nk) {
            return gval(n);
        }
        n = n->next;
    } while (n != nullptr);
    return &luaO_nilobject;
}

const TObject* luaH_getstr(Table* t, TString* key) {
    Node* n = hashpow2(t, key->hash);
    do {
        if (ttype(gkey(n)) == key->tt && tsvalue(gkey(n)) == key) {
            return gval(n);
        }
        n = n->next;
    } while (n != nullptr);
    return &luaO_nilobject;
}

const TObject* luaH_get(Table* t, const TObject* key) {
    switch (ttype(key)) {
    case LUA_TSTRING:
    case LUA_TWSTRING:
        return luaH_getstr(t, tsvalue(key));
    case LUA_TNUMBER: {
        int32_t k;
        if (LuaNumberIsInt(nvalue(key), &k)) {
            return luaH_getnum(t, k);
        }
        return luaH_getany(t, key);
    }
    default:
        return luaH_getany(t, key);
    }
}

// Slot for key, inserting it when absent; does not touch the event cache.
static TObject* rawset(lua_State* L, Table* t, const TObject* key) {
    const TObject* p = luaH_get(t, key);
    if (p != &luaO_nilobject) {
        return const_cast<TObject*>(p);
    }
    if (ttisnil(key)) {
        luaG_runerror(L, "table index is nil");
    } else if (ttisnumber(key) && std::isnan(nvalue(key))) {
        luaG_runerror(L, "table index is NaN");
    }
    return newkey(L, t, key);
}

TObject* luaH_set(lua_State* L, Table* t, const TObject* key) {
    t->flags = 0;
    return rawset(L, t, key);
}

TObject* luaH_setnum(lua_State* L, Table* t, int key) {
    t->flags = 0;
    const TObject* p = luaH_getnum(t, key);
    if (p != &luaO_nilobject) {
        return const_cast<TObject*>(p);
    }
    TObject k;
    setnvalue(&k, static_cast<lua_Number>(key));
    return newkey(L, t, &k);
}

int luaH_getn(lua_State* L, Table* t) {
    // No table can hold the key "n" unless that string exists, so it is looked up, not made.
    TString* nkey = luaS_find(L, "n", 1);
    const TObject* n = nkey != nullptr ? luaH_getstr(t, nkey) : &luaO_nilobject;
    if (ttisnumber(n)) {
        return LuaNumberToInt(nvalue(n));
    }
    lua_Number result = 0;
    for (int i = t->sizearray; i > 0; i--) {
        if (!ttisnil(&t->array[i - 1])) {
            result = i;
            break;
        }
    }
    for (int i = 0; i < sizenode(t); i++) {
        Node* nd = gnode(t, i);
        if (ttisnumber(gkey(nd)) && !ttisnil(gval(nd)) && nvalue(gkey(nd)) > result) {
            result = nvalue(gkey(nd));
        }
    }
    return LuaNumberToInt(result);
}
