// Tables: array and hash parts, the rehash rule, main positions, traversal, lengths and errors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <string>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

using LuaTables = LuaStateTest;

Table* TableAt(lua_State* L, int idx) {
    return static_cast<Table*>(const_cast<void*>(lua_topointer(L, idx)));
}

int NextPow2Above(int k) {
    int p = 1;
    while (p <= k) {
        p *= 2;
    }
    return p;
}

TEST_F(LuaTables, KeysInOrderLandInTheArrayPart) {
    lua_newtable(L);
    Table* t = TableAt(L, 1);
    for (int n = 1; n <= 40; n++) {
        lua_pushnumber(L, n * 10);
        lua_rawseti(L, 1, n);
        int expected = 1;
        while (expected < n) {
            expected *= 2;
        }
        EXPECT_EQ(t->sizearray, expected) << n;
        EXPECT_EQ(t->node, G(L)->dummynode) << n;
    }
    for (int n = 1; n <= 40; n++) {
        lua_rawgeti(L, 1, n);
        EXPECT_EQ(lua_tonumber(L, -1), n * 10);
        lua_pop(L, 1);
    }
}

TEST_F(LuaTables, SparseKeyStaysInTheHashPart) {
    lua_newtable(L);
    for (int k : {1, 2, 1000}) {
        lua_pushnumber(L, k);
        lua_rawseti(L, 1, k);
    }
    Table* t = TableAt(L, 1);
    EXPECT_EQ(t->sizearray, 2);
    EXPECT_EQ(sizenode(t), 2);
    TObject key;
    setnvalue(&key, 1000);
    Node* mp = luaH_mainposition(t, &key);
    bool found = false;
    for (Node* n = mp; n != nullptr; n = n->next) {
        found = found || (ttisnumber(gkey(n)) && nvalue(gkey(n)) == 1000);
    }
    EXPECT_TRUE(found);
    lua_rawgeti(L, 1, 1000);
    EXPECT_EQ(lua_tonumber(L, -1), 1000);
}

TEST_F(LuaTables, HashPartGrowsWhenItsLastFreeNodeIsTaken) {
    lua_newtable(L);
    Table* t = TableAt(L, 1);
    for (int k = 1; k <= 40; k++) {
        lua_pushfstring(L, "key%d", k);
        lua_pushnumber(L, k);
        lua_rawset(L, 1);
        EXPECT_EQ(sizenode(t), NextPow2Above(k)) << k;
        EXPECT_EQ(t->sizearray, 0);
    }
    for (int k = 1; k <= 40; k++) {
        lua_pushfstring(L, "key%d", k);
        lua_rawget(L, 1);
        EXPECT_EQ(lua_tonumber(L, -1), k);
        lua_pop(L, 1);
    }
}

TEST_F(LuaTables, RehashMovesIntegerKeysBetweenParts) {
    // Keys 1..8 given backwards start in the hash part and move into the array part once more
    // than half of 1..n is used.
    lua_newtable(L);
    Table* t = TableAt(L, 1);
    for (int k = 8; k >= 1; k--) {
        lua_pushnumber(L, k);
        lua_rawseti(L, 1, k);
    }
    EXPECT_EQ(t->sizearray + sizenode(t) >= 8, true);
    for (int k = 1; k <= 8; k++) {
        lua_rawgeti(L, 1, k);
        EXPECT_EQ(lua_tonumber(L, -1), k);
        lua_pop(L, 1);
    }
    // Filling many string keys forces rehashes that keep the array part (all of 1..8 used).
    for (int k = 0; k < 20; k++) {
        lua_pushfstring(L, "s%d", k);
        lua_pushboolean(L, 1);
        lua_rawset(L, 1);
    }
    EXPECT_EQ(t->sizearray, 8);
    // Emptying the array part and rehashing lets it shrink to nothing.
    for (int k = 1; k <= 8; k++) {
        lua_pushnil(L);
        lua_rawseti(L, 1, k);
    }
    for (int k = 20; k < 60; k++) {
        lua_pushfstring(L, "s%d", k);
        lua_pushboolean(L, 1);
        lua_rawset(L, 1);
    }
    EXPECT_EQ(t->sizearray, 0);
    EXPECT_EQ(lua_getn(L, 1), 0);
}

TEST_F(LuaTables, MainPositions) {
    // Worked out from the rule: numbers add the two 32-bit halves of n + 1 and take the sum
    // modulo ((nodes - 1) | 1); booleans and strings mask with (nodes - 1).
    struct NumCase {
        double n;
        int node4;
        int node8;
    } nums[] = {{0.5, 2, 6}, {1000, 0, 1}, {-1, 0, 0}, {2.5, 1, 4}, {0, 0, 4}, {1e10, 0, 6}};
    Table* t4 = luaH_new(L, 0, 2);
    Table* t8 = luaH_new(L, 0, 3);
    lua_pushnil(L); // keep both alive by anchoring them
    sethvalue(L->top - 1, t4);
    lua_pushnil(L);
    sethvalue(L->top - 1, t8);
    for (const NumCase& c : nums) {
        TObject k;
        setnvalue(&k, c.n);
        EXPECT_EQ(luaH_mainposition(t4, &k) - t4->node, c.node4) << c.n;
        EXPECT_EQ(luaH_mainposition(t8, &k) - t8->node, c.node8) << c.n;
    }
    TObject b;
    setbvalue(&b, 1);
    EXPECT_EQ(luaH_mainposition(t4, &b) - t4->node, 1);
    setbvalue(&b, 0);
    EXPECT_EQ(luaH_mainposition(t4, &b) - t4->node, 0);
    // "ab" hashes to 5161 (0b1010000101001): node 1 of 4, node 1 of 8.
    TObject s;
    setsvalue(&s, luaS_newlstr(L, "ab", 2));
    EXPECT_EQ(luaH_mainposition(t4, &s) - t4->node, 1);
    EXPECT_EQ(luaH_mainposition(t8, &s) - t8->node, 1);
    const char16_t wab[] = {u'a', u'b'};
    setsvalue(&s, luaS_newlwstr(L, wab, 2));
    EXPECT_EQ(luaH_mainposition(t8, &s) - t8->node, 1);
    // Pointers: the address folded to 32 bits, modulo ((nodes - 1) | 1).
    TObject p;
    sethvalue(&p, t4);
    const uint64_t u = reinterpret_cast<uintptr_t>(t4);
    const uint32_t folded = static_cast<uint32_t>(u) ^ static_cast<uint32_t>(u >> 32);
    EXPECT_EQ(luaH_mainposition(t8, &p) - t8->node, folded % 7);
    // A key stored in an empty hash part sits at its main position.
    lua_pushnumber(L, 0.5);
    lua_pushboolean(L, 1);
    lua_rawset(L, -4);
    EXPECT_TRUE(ttisnumber(gkey(&t4->node[2])));
    EXPECT_EQ(nvalue(gkey(&t4->node[2])), 0.5);
}

TEST_F(LuaTables, KeyErrors) {
    struct Case {
        const char* message;
        void (*pushKey)(lua_State*);
    } cases[] = {
        {"table index is nil", [](lua_State* L) { lua_pushnil(L); }},
        {"table index is NaN",
         [](lua_State* L) { lua_pushnumber(L, std::numeric_limits<double>::quiet_NaN()); }},
    };
    for (const Case& c : cases) {
        std::string msg;
        static void (*push)(lua_State*);
        push = c.pushKey;
        const int status = LuaProtectedRun(
            L,
            [](lua_State* L) {
                lua_newtable(L);
                push(L);
                lua_pushnumber(L, 1);
                lua_rawset(L, -3);
            },
            &msg);
        EXPECT_EQ(status, LUA_ERRRUN);
        EXPECT_EQ(msg, c.message);
    }
    // Reading with a nil or NaN key is allowed and gives nil.
    lua_newtable(L);
    lua_pushnil(L);
    lua_rawget(L, -2);
    EXPECT_TRUE(lua_isnil(L, -1));
    std::string msg;
    const int status = LuaProtectedRun(
        L,
        [](lua_State* L) {
            lua_newtable(L);
            lua_pushstring(L, "absent");
            lua_next(L, -2);
        },
        &msg);
    EXPECT_EQ(status, LUA_ERRRUN);
    EXPECT_EQ(msg, "invalid key for `next'");
}

TEST_F(LuaTables, HashPartLargerThan2To24NodesOverflows) {
    std::string msg;
    const int status = LuaProtectedRun(
        L, [](lua_State* L) { luaH_new(L, 0, 25); }, &msg);
    EXPECT_EQ(status, LUA_ERRRUN);
    EXPECT_EQ(msg, "table overflow");
}

TEST_F(LuaTables, NextVisitsEveryEntryOnce) {
    lua_newtable(L);
    for (int k = 1; k <= 5; k++) {
        lua_pushnumber(L, k);
        lua_rawseti(L, 1, k);
    }
    for (const char* s : {"a", "b", "c"}) {
        lua_pushstring(L, s);
        lua_pushstring(L, s);
        lua_rawset(L, 1);
    }
    lua_pushwstring(L, u"a");
    lua_pushnumber(L, 99);
    lua_rawset(L, 1);
    // A removed entry is skipped, and removing during the traversal is allowed.
    lua_pushstring(L, "b");
    lua_pushnil(L);
    lua_rawset(L, 1);
    std::multiset<std::string> seen;
    lua_pushnil(L);
    while (lua_next(L, 1)) {
        std::string key;
        if (lua_type(L, -2) == LUA_TNUMBER) {
            key = "#" + std::to_string(static_cast<int>(lua_tonumber(L, -2)));
        } else if (lua_type(L, -2) == LUA_TWSTRING) {
            key = "w";
        } else {
            key = lua_tostring(L, -2);
        }
        seen.insert(key);
        if (key == "c") {
            lua_pushvalue(L, -2);
            lua_pushnil(L);
            lua_rawset(L, 1);
        }
        lua_pop(L, 1);
    }
    EXPECT_EQ(seen, (std::multiset<std::string>{"#1", "#2", "#3", "#4", "#5", "a", "c", "w"}));
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaTables, LengthCases) {
    struct Case {
        const char* what;
        void (*build)(lua_State*);
        int n;
    } cases[] = {
        {"n field wins",
         [](lua_State* L) {
             lua_pushstring(L, "n");
             lua_pushnumber(L, 2);
             lua_rawset(L, -3);
             for (int i = 1; i <= 3; i++) {
                 lua_pushnumber(L, 6 + i);
                 lua_rawseti(L, -2, i);
             }
         },
         2},
        {"hole inside the array part",
         [](lua_State* L) {
             for (int i = 1; i <= 4; i++) {
                 lua_pushnumber(L, i);
                 lua_rawseti(L, -2, i);
             }
             lua_pushnil(L);
             lua_rawseti(L, -2, 3);
         },
         4},
        {"keys 1 and 100",
         [](lua_State* L) {
             lua_pushnumber(L, 1);
             lua_rawseti(L, -2, 1);
             lua_pushnumber(L, 1);
             lua_rawseti(L, -2, 100);
         },
         100},
        {"only key 2.5",
         [](lua_State* L) {
             lua_pushnumber(L, 2.5);
             lua_pushboolean(L, 1);
             lua_rawset(L, -3);
         },
         2},
        {"empty", [](lua_State*) {}, 0},
        {"non-number n is ignored",
         [](lua_State* L) {
             lua_pushstring(L, "n");
             lua_pushstring(L, "x");
             lua_rawset(L, -3);
             lua_pushnumber(L, 1);
             lua_rawseti(L, -2, 1);
         },
         1},
        {"huge n truncates to a defined int",
         [](lua_State* L) {
             lua_pushstring(L, "n");
             lua_pushnumber(L, 1e300);
             lua_rawset(L, -3);
         },
         INT32_MIN},
    };
    for (const Case& c : cases) {
        lua_settop(L, 0);
        lua_newtable(L);
        c.build(L);
        EXPECT_EQ(lua_getn(L, 1), c.n) << c.what;
    }
}

TEST(LuaTableMemory, FailedRehashLeavesNoValueForTheNewKey) {
    TTestAllocator alloc;
    lua_State* L = lua_open();
    ASSERT_NE(L, nullptr);
    lua_newtable(L);
    for (const char* k : {"a", "b", "c"}) {
        lua_pushstring(L, k);
        lua_pushnumber(L, 1);
        lua_rawset(L, 1);
    }
    ASSERT_EQ(sizenode(TableAt(L, 1)), 4);
    lua_pushstring(L, "d"); // interned before the failure
    lua_pop(L, 1);
    lua_pushstring(L, "t");
    lua_pushvalue(L, 1);
    lua_settable(L, LUA_GLOBALSINDEX);
    std::string msg;
    const int status = LuaProtectedRun(
        L,
        [&alloc](lua_State* L) {
            lua_pushstring(L, "t");
            lua_gettable(L, LUA_GLOBALSINDEX);
            lua_pushstring(L, "d");
            lua_pushnumber(L, 2);
            alloc.FailAlways(true);
            lua_rawset(L, -3);
        },
        &msg);
    alloc.FailAlways(false);
    EXPECT_EQ(status, LUA_ERRMEM);
    lua_pushstring(L, "d");
    lua_rawget(L, 1);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
    int count = 0;
    lua_pushnil(L);
    while (lua_next(L, 1)) {
        EXPECT_EQ(lua_tonumber(L, -1), 1);
        count++;
        lua_pop(L, 1);
    }
    EXPECT_EQ(count, 3);
    // And the key can be stored once memory is back.
    lua_pushstring(L, "d");
    lua_pushnumber(L, 2);
    lua_rawset(L, 1);
    lua_pushstring(L, "d");
    lua_rawget(L, 1);
    EXPECT_EQ(lua_tonumber(L, -1), 2);
    lua_close(L);
    EXPECT_EQ(alloc.LiveBytes(), 0u);
}

} // namespace
