// The collector: what survives, what is freed, weak tables, finalisers, thresholds, prototypes and
// upvalues, and a stress mode that collects at every safe point.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

class LuaCollector : public ::testing::Test {
protected:
    void SetUp() override {
        L = lua_open();
        ASSERT_NE(L, nullptr);
    }
    void TearDown() override {
        if (L != nullptr) {
            lua_close(L);
        }
        EXPECT_EQ(alloc.LiveBytes(), 0u);
    }
    void Collect() {
        lua_setgcthreshold(L, 0);
        ASSERT_GE(LuaVerifyReachable(L), 0);
    }
    size_t InUse() const { return G(L)->nblocks; }

    TTestAllocator alloc;
    lua_State* L = nullptr;
};

TEST_F(LuaCollector, CountsMatchTheAllocatorAndGarbageIsFreed) {
    auto makeGarbage = [this] {
        for (int i = 0; i < 100; i++) {
            lua_newtable(L);
            lua_pushfstring(L, "garbage %d", i);
            lua_newuserdata(L, 100);
            lua_pushwstring(L, u"wide garbage");
            lua_settop(L, 0);
        }
    };
    // A first round sizes the string store and the scratch buffer.
    makeGarbage();
    Collect();
    const size_t base = InUse();
    makeGarbage();
    if (!gLuaGCStress) {
        EXPECT_GT(InUse(), base);
    }
    EXPECT_EQ(InUse(), alloc.LiveBytes());
    Collect();
    EXPECT_EQ(InUse(), base);
    EXPECT_EQ(InUse(), alloc.LiveBytes());
    EXPECT_EQ(lua_getgccount(L), static_cast<int>(InUse() >> 10));
}

TEST_F(LuaCollector, EveryRootKeepsItsObjects) {
    // Stack, globals, registry, a C closure's upvalue, a userdata's metatable, a per-type slot,
    // and the stack of a thread that is itself reachable.
    lua_newtable(L); // 1: on the stack
    lua_pushstring(L, "g");
    lua_newtable(L);
    lua_settable(L, LUA_GLOBALSINDEX);
    lua_pushstring(L, "r");
    lua_pushwstring(L, u"registry value");
    lua_settable(L, LUA_REGISTRYINDEX);
    lua_pushstring(L, "upvalue text");
    lua_pushcclosure(
        L, [](lua_State*) { return 0; }, 1); // 2
    lua_newuserdata(L, 16);                  // 3
    lua_newtable(L);
    lua_pushstring(L, "mt field");
    lua_pushstring(L, "kept");
    lua_rawset(L, -3);
    lua_setmetatable(L, 3);
    lua_newtable(L);
    lua_pushstring(L, "per-type field");
    lua_pushstring(L, "kept too");
    lua_rawset(L, -3);
    lua_settypemetatable(L, LUA_TBOOLEAN);
    lua_State* co = lua_newthread(L); // 4
    lua_pushstring(co, "on the thread");
    lua_newtable(co);
    for (int i = 0; i < 5; i++) {
        Collect();
    }
    const size_t live = InUse();
    Collect();
    EXPECT_EQ(InUse(), live);
    lua_pushvalue(L, 2);
    EXPECT_EQ(lua_type(L, -1), LUA_TFUNCTION);
    lua_pop(L, 1);
    EXPECT_STREQ(lua_tostring(co, 1), "on the thread");
    EXPECT_EQ(lua_type(co, 2), LUA_TTABLE);
    lua_getmetatable(L, 3);
    lua_pushstring(L, "mt field");
    lua_rawget(L, -2);
    EXPECT_STREQ(lua_tostring(L, -1), "kept");
    lua_pushboolean(L, 1);
    lua_getmetatable(L, -1);
    lua_pushstring(L, "per-type field");
    lua_rawget(L, -2);
    EXPECT_STREQ(lua_tostring(L, -1), "kept too");
    lua_pushstring(L, "r");
    lua_gettable(L, LUA_REGISTRYINDEX);
    EXPECT_EQ(std::u16string(lua_towstring(L, -1)), u"registry value");
    // Dropping the thread frees what only its stack held.
    lua_settop(L, 3);
    Collect();
    EXPECT_LT(InUse(), live);
}

TEST_F(LuaCollector, WeakTablesLoseUnreachableEntries) {
    struct Case {
        const char* mode;
        int keptStrongKeyWeakValue; // entry {string key -> unreachable table}
        int keptWeakKeyStrongValue; // entry {unreachable table -> number}
    } cases[] = {{"k", 1, 0}, {"v", 0, 1}, {"kv", 0, 0}, {"", 1, 1}};
    for (const Case& c : cases) {
        lua_settop(L, 0);
        lua_newtable(L); // 1: weak table
        lua_newtable(L);
        lua_pushstring(L, "__mode");
        lua_pushstring(L, c.mode);
        lua_rawset(L, -3);
        lua_setmetatable(L, 1);
        lua_pushstring(L, "key");
        lua_newtable(L);
        lua_rawset(L, 1);
        lua_newtable(L);
        lua_pushnumber(L, 7);
        lua_rawset(L, 1);
        // Strings and numbers are values, never collected from weak tables.
        lua_pushstring(L, "string key");
        lua_pushstring(L, "string value");
        lua_rawset(L, 1);
        lua_pushnumber(L, 1);
        lua_pushwstring(L, u"wide value");
        lua_rawset(L, 1);
        Collect();
        int strongKey = 0;
        int weakKey = 0;
        int values = 0;
        lua_pushnil(L);
        while (lua_next(L, 1)) {
            if (lua_type(L, -2) == LUA_TTABLE) {
                weakKey++;
            } else if (lua_type(L, -1) == LUA_TTABLE) {
                strongKey++;
            } else {
                values++;
            }
            lua_pop(L, 1);
        }
        EXPECT_EQ(strongKey, c.keptStrongKeyWeakValue) << c.mode;
        EXPECT_EQ(weakKey, c.keptWeakKeyStrongValue) << c.mode;
        EXPECT_EQ(values, 2) << c.mode;
    }
}

std::vector<int>* gFinalised;

int Finaliser(lua_State* L) {
    const int* block = static_cast<const int*>(lua_touserdata(L, 1));
    gFinalised->push_back(*block);
    return 0;
}

void PushFinalisedUserdata(lua_State* L, int id) {
    int* block = static_cast<int*>(lua_newuserdata(L, sizeof(int)));
    *block = id;
    lua_newtable(L);
    lua_pushstring(L, "__gc");
    lua_pushcfunction(L, Finaliser);
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
}

TEST_F(LuaCollector, FinalisersRunOnceThenTheBlockIsFreed) {
    std::vector<int> finalised;
    gFinalised = &finalised;
    PushFinalisedUserdata(L, 1);
    PushFinalisedUserdata(L, 2);
    lua_pop(L, 1); // 2 becomes garbage, 1 stays
    Collect();
    EXPECT_EQ(finalised, std::vector<int>{2});
    const size_t afterFirst = InUse();
    Collect();
    EXPECT_EQ(finalised, std::vector<int>{2});
    EXPECT_LT(InUse(), afterFirst); // the finalised block is released by the next cycle
    // Closing the state finalises the rest.
    lua_close(L);
    L = nullptr;
    EXPECT_EQ(finalised, (std::vector<int>{2, 1}));
}

TEST_F(LuaCollector, ClosingRepeatsFinalisersAfterAnError) {
    std::vector<int> finalised;
    gFinalised = &finalised;
    int* block = static_cast<int*>(lua_newuserdata(L, sizeof(int)));
    *block = 9;
    lua_newtable(L);
    lua_pushstring(L, "__gc");
    lua_pushcfunction(L, [](lua_State* L) {
        gFinalised->push_back(-1);
        lua_pushstring(L, "finaliser failed");
        return lua_error(L);
    });
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
    PushFinalisedUserdata(L, 3);
    lua_close(L);
    L = nullptr;
    // Both ran exactly once, whatever the order, and closing went on after the error.
    ASSERT_EQ(finalised.size(), 2u);
    EXPECT_NE(std::find(finalised.begin(), finalised.end(), -1), finalised.end());
    EXPECT_NE(std::find(finalised.begin(), finalised.end(), 3), finalised.end());
}

TEST_F(LuaCollector, FinaliserErrorLeavesTheOthersForTheNextCollection) {
    // The failing finaliser must run inside the protected call below, not at an earlier safe point.
    const bool savedStress = gLuaGCStress;
    gLuaGCStress = false;
    std::vector<int> finalised;
    gFinalised = &finalised;
    static bool failOnce;
    failOnce = true;
    for (int id = 1; id <= 3; id++) {
        int* block = static_cast<int*>(lua_newuserdata(L, sizeof(int)));
        *block = id;
        lua_newtable(L);
        lua_pushstring(L, "__gc");
        lua_pushcfunction(L, [](lua_State* L) {
            gFinalised->push_back(*static_cast<const int*>(lua_touserdata(L, 1)));
            if (failOnce) {
                failOnce = false;
                lua_pushstring(L, "finaliser failed");
                lua_error(L);
            }
            return 0;
        });
        lua_rawset(L, -3);
        lua_setmetatable(L, -2);
    }
    lua_settop(L, 0);
    std::string msg;
    EXPECT_EQ(LuaProtectedRun(
                  L, [](lua_State* L) { lua_setgcthreshold(L, 0); }, &msg),
              LUA_ERRRUN);
    EXPECT_EQ(msg, "finaliser failed");
    EXPECT_EQ(finalised.size(), 1u);
    Collect();
    Collect();
    // Each one ran exactly once and all three blocks are gone.
    std::sort(finalised.begin(), finalised.end());
    EXPECT_EQ(finalised, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(G(L)->tmudata, nullptr);
    EXPECT_EQ(G(L)->rootudata, nullptr);
    gLuaGCStress = savedStress;
}

TEST_F(LuaCollector, ThresholdRules) {
    // 0 collects at once; afterwards the threshold is twice the bytes in use.
    for (int i = 0; i < 50; i++) {
        lua_newtable(L);
    }
    lua_settop(L, 0);
    const size_t before = InUse();
    lua_setgcthreshold(L, 0);
    EXPECT_LT(InUse(), before);
    EXPECT_EQ(G(L)->GCthreshold, 2 * InUse());
    EXPECT_EQ(lua_getgcthreshold(L), static_cast<int>((2 * InUse()) >> 10));

    // 4194304 KB or more (and negative values) mean never.
    for (int never : {4194304, 100000000, -1}) {
        lua_setgcthreshold(L, never);
        EXPECT_EQ(lua_getgcthreshold(L), 4194303) << never;
        if (gLuaGCStress) {
            continue; // stress mode collects regardless
        }
        const size_t start = InUse();
        for (int i = 0; i < 2000; i++) {
            lua_newtable(L);
            lua_pop(L, 1);
        }
        EXPECT_GE(InUse(), start + 2000 * sizeof(Table)) << never;
        lua_setgcthreshold(L, 0);
    }
    // A threshold above the bytes in use does not collect; at or below it does.
    lua_setgcthreshold(L, 0);
    const int kb = lua_getgccount(L);
    for (int i = 0; i < 20; i++) {
        lua_newtable(L);
        lua_pop(L, 1);
    }
    const size_t grown = InUse();
    if (!gLuaGCStress) {
        lua_setgcthreshold(L, kb + 1000);
        EXPECT_EQ(InUse(), grown);
    }
    lua_setgcthreshold(L, kb);
    EXPECT_LT(InUse(), grown);
}

TEST_F(LuaCollector, ScratchBufferIsHalvedWhenLarge) {
    std::string big(1000, 'x');
    lua_pushstring(L, big.c_str());
    lua_pushstring(L, "y");
    lua_concat(L, 2);
    EXPECT_EQ(G(L)->buff.size, 1001u);
    Collect();
    EXPECT_EQ(G(L)->buff.size, 500u);
    Collect();
    EXPECT_EQ(G(L)->buff.size, 250u);
    for (int i = 0; i < 5; i++) {
        Collect();
    }
    EXPECT_EQ(G(L)->buff.size, 62u); // halved only while above 64
}

TEST_F(LuaCollector, StacksShrinkAfterDeepUse) {
    lua_State* co = lua_newthread(L);
    for (int i = 0; i < 3000; i++) {
        lua_pushnumber(co, i);
    }
    const int grown = co->stacksize;
    EXPECT_GT(grown, 3000);
    lua_settop(co, 0);
    for (int i = 0; i < 20; i++) {
        Collect();
    }
    EXPECT_LT(co->stacksize, grown / 8);
    EXPECT_GE(co->stacksize, BASIC_STACK_SIZE + EXTRA_STACK);
    lua_pushnumber(co, 5);
    EXPECT_EQ(lua_tonumber(co, 1), 5);
}

// Builds a Lua closure by hand: a prototype with 8-bit and wide string constants and one upvalue
// open on a slot of thread co.
Closure* MakeClosureOverSlot(lua_State* L, lua_State* co, StkId slot) {
    Proto* p = luaF_newproto(L);
    p->source = luaS_new(L, "=hand made");
    p->k = luaM_newvector<TObject>(L, 2);
    p->sizek = 2;
    setsvalue(&p->k[0], luaS_new(L, "narrow constant"));
    setsvalue(&p->k[1], luaS_newlwstr(L, u"wide constant", 13));
    p->nups = 1;
    Closure* cl = luaF_newLclosure(L, 1, gt(L));
    cl->l.p = p;
    cl->l.upvals[0] = luaF_findupval(co, slot);
    return cl;
}

TEST_F(LuaCollector, PrototypesAndUpvaluesSurviveTheirThread) {
    lua_State* co = lua_newthread(L); // 1
    lua_newtable(co);
    lua_pushstring(co, "x");
    lua_pushstring(co, "held by the upvalue");
    lua_rawset(co, 1);
    Closure* cl = MakeClosureOverSlot(L, co, co->base);
    lua_pushnil(L);
    setclvalue(L->top - 1, cl); // 2
    // Only the closure's open upvalue now refers to the table on the thread.
    lua_remove(L, 1);
    Collect();
    Collect();
    UpVal* uv = cl->l.upvals[0];
    ASSERT_EQ(uv->v, &uv->value); // closed when its thread was freed
    ASSERT_TRUE(ttistable(uv->v));
    lua_pushnil(L);
    setobj(L->top - 1, uv->v);
    lua_pushstring(L, "x");
    lua_rawget(L, -2);
    EXPECT_STREQ(lua_tostring(L, -1), "held by the upvalue");
    EXPECT_STREQ(getstr(tsvalue(&cl->l.p->k[0])), "narrow constant");
    EXPECT_EQ(std::u16string(getwstr(tsvalue(&cl->l.p->k[1]))), u"wide constant");
    lua_settop(L, 0);
    Collect();
    EXPECT_EQ(LuaVerifyReachable(L) >= 0, true);
}

TEST(LuaCollectorStress, StateOpensAndWorksWithACollectionAtEverySafePoint) {
    TTestAllocator alloc;
    const bool saved = gLuaGCStress;
    gLuaGCStress = true;
    lua_State* L = lua_open();
    ASSERT_NE(L, nullptr);
    EXPECT_GE(LuaVerifyReachable(L), 0);
    lua_newtable(L);
    for (int i = 1; i <= 300; i++) {
        lua_pushfstring(L, "item %d", i);
        lua_pushvalue(L, -1);
        lua_rawseti(L, 1, i);
        lua_pushwstring(L, u"w");
        lua_settable(L, 1);
        if (i % 50 == 0) {
            ASSERT_GE(LuaVerifyReachable(L), 0) << i;
        }
    }
    for (int i = 1; i <= 300; i++) {
        lua_rawgeti(L, 1, i);
        EXPECT_EQ(std::string(lua_tostring(L, -1)), "item " + std::to_string(i));
        lua_gettable(L, 1);
        EXPECT_EQ(lua_type(L, -1), LUA_TWSTRING);
        lua_pop(L, 1);
    }
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co, [](lua_State* L) {
        lua_newtable(L);
        lua_pushstring(L, "inside");
        return lua_yield(L, 2);
    });
    EXPECT_EQ(lua_resume(co, 0), 0);
    EXPECT_STREQ(lua_tostring(co, 2), "inside");
    EXPECT_GE(LuaVerifyReachable(L), 0);
    lua_close(L);
    gLuaGCStress = saved;
    EXPECT_EQ(alloc.LiveBytes(), 0u);
}

} // namespace
