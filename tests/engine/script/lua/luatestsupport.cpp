#include "tests/engine/script/lua/luatestsupport.h"

#include <vector>

#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"

TTestAllocator::TTestAllocator() : mPrevAlloc(gLuaAlloc), mPrevUd(gLuaAllocUserData) {
    gLuaAlloc = &TTestAllocator::Alloc;
    gLuaAllocUserData = this;
}

TTestAllocator::~TTestAllocator() {
    gLuaAlloc = mPrevAlloc;
    gLuaAllocUserData = mPrevUd;
}

void* TTestAllocator::Alloc(void* ud, void* block, size_t oldsize, size_t newsize, int reserved,
                            int buffer) {
    TTestAllocator* self = static_cast<TTestAllocator*>(ud);
    EXPECT_EQ(reserved, 0);
    if (self->mRecord) {
        self->mCalls.push_back({oldsize, newsize, buffer});
    }
    if (block != nullptr) {
        auto it = self->mBlocks.find(block);
        EXPECT_NE(it, self->mBlocks.end()) << "unknown block";
        if (it != self->mBlocks.end()) {
            EXPECT_EQ(it->second, oldsize) << "old size differs from the allocated size";
        }
    } else {
        EXPECT_EQ(oldsize, 0u);
    }
    if (newsize == 0) {
        if (block != nullptr) {
            self->mLive -= oldsize;
            self->mBlocks.erase(block);
            std::free(block);
        }
        return nullptr;
    }
    if (!self->mPaused) {
        self->mCount++;
        if (self->mFailAlways || (self->mFailAt != 0 && self->mCount == self->mFailAt)) {
            return nullptr;
        }
    }
    void* nb = std::realloc(block, newsize);
    if (nb == nullptr) {
        return nullptr;
    }
    if (block != nullptr) {
        self->mBlocks.erase(block);
        self->mLive -= oldsize;
    }
    self->mBlocks[nb] = newsize;
    self->mLive += newsize;
    return nb;
}

bool LuaGCStressRequested() {
    const char* v = std::getenv("STELLAGRIM_LUA_GC_STRESS");
    return v != nullptr && std::string(v) == "1";
}

namespace {
class TGCStressEnvironment : public ::testing::Environment {
public:
    void SetUp() override { gLuaGCStress = LuaGCStressRequested(); }
    void TearDown() override { gLuaGCStress = false; }
};
const ::testing::Environment* const gStressEnv =
    ::testing::AddGlobalTestEnvironment(new TGCStressEnvironment);

struct TReach {
    std::set<const void*> owned;
    std::set<const void*> seen;
    std::vector<GCObject*> work;
    long bad = 0;

    void Visit(GCObject* o) {
        if (o == nullptr || !seen.insert(o).second) {
            return;
        }
        if (!owned.count(o)) {
            bad++;
            ADD_FAILURE() << "reachable object of tag " << int(o->tt) << " is not owned";
            return;
        }
        work.push_back(o);
    }
    void Value(const TObject* v) {
        if (iscollectable(v)) {
            Visit(gcvalue(v));
        }
    }
};
} // namespace

long LuaVerifyReachable(lua_State* L) {
    global_State* g = G(L);
    TReach r;
    for (GCObject* o = g->rootgc; o != nullptr; o = o->next) {
        r.owned.insert(o);
    }
    for (GCObject* o = g->rootudata; o != nullptr; o = o->next) {
        r.owned.insert(o);
    }
    for (GCObject* o = g->tmudata; o != nullptr; o = o->next) {
        r.owned.insert(o);
    }
    for (int i = 0; i < g->strt.size; i++) {
        for (GCObject* o = g->strt.hash[i]; o != nullptr; o = o->next) {
            r.owned.insert(o);
        }
    }
    std::vector<lua_State*> threads;
    r.owned.insert(g->mainthread);
    r.Visit(g->mainthread);
    r.Value(registry(L));
    r.Visit(g->defaultmeta);
    for (int i = 0; i < NUM_TYPE_SLOTS; i++) {
        r.Value(&g->mt[i]);
    }
    while (!r.work.empty()) {
        GCObject* o = r.work.back();
        r.work.pop_back();
        switch (o->tt) {
        case LUA_TTABLE: {
            Table* h = static_cast<Table*>(o);
            r.Visit(h->metatable);
            for (int i = 0; i < h->sizearray; i++) {
                r.Value(&h->array[i]);
            }
            for (int i = 0; i < sizenode(h); i++) {
                Node* n = gnode(h, i);
                if (!ttisnil(gval(n))) {
                    r.Value(gkey(n));
                    r.Value(gval(n));
                }
            }
            break;
        }
        case LUA_TUSERDATA:
            r.Visit(static_cast<Udata*>(o)->metatable);
            break;
        case LUA_TFUNCTION: {
            Closure* cl = gco2cl(o);
            r.Value(&cl->h.g);
            if (cl->h.isC) {
                for (int i = 0; i < cl->h.nupvalues; i++) {
                    r.Value(&cl->c.upvalue[i]);
                }
            } else {
                r.Visit(cl->l.p);
                for (int i = 0; i < cl->h.nupvalues; i++) {
                    UpVal* uv = cl->l.upvals[i];
                    if (uv != nullptr && uv->v == &uv->value) {
                        r.Visit(uv);
                    }
                    if (uv != nullptr) {
                        r.Value(uv->v);
                    }
                }
            }
            break;
        }
        case LUA_TUPVALUE:
            r.Value(static_cast<UpVal*>(o)->v);
            break;
        case LUA_TPROTO: {
            Proto* f = static_cast<Proto*>(o);
            r.Visit(f->source);
            for (int i = 0; i < f->sizek; i++) {
                r.Value(&f->k[i]);
            }
            for (int i = 0; i < f->sizep; i++) {
                r.Visit(f->p[i]);
            }
            break;
        }
        case LUA_TTHREAD: {
            lua_State* th = static_cast<lua_State*>(o);
            r.Value(gt(th));
            if (th->stack != nullptr) {
                for (StkId s = th->stack; s < th->top; s++) {
                    r.Value(s);
                }
            }
            break;
        }
        default:
            break;
        }
    }
    return r.bad == 0 ? static_cast<long>(r.seen.size()) : -1;
}

namespace {
struct TRunData {
    const std::function<void(lua_State*)>* f;
};

int RunThunk(lua_State* L) {
    auto* d = static_cast<TRunData*>(lua_touserdata(L, lua_upvalueindex(1)));
    (*d->f)(L);
    return 0;
}
} // namespace

int LuaProtectedRun(lua_State* L, const std::function<void(lua_State*)>& f, std::string* msg) {
    TRunData d{&f};
    const int top = lua_gettop(L);
    lua_pushlightuserdata(L, &d);
    lua_pushcclosure(L, RunThunk, 1);
    const int status = lua_pcall(L, 0, 0, 0);
    if (msg != nullptr) {
        const char* s = status != 0 ? lua_tostring(L, -1) : nullptr;
        *msg = s != nullptr ? s : "";
    }
    lua_settop(L, top);
    return status;
}
