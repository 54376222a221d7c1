// Random operations on one table checked against a plain map after every step: stores, removals,
// lookups and full traversals over keys of every kind, with collections in between.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luatable.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

// A key as the model sees it: kind and text.
using ModelKey = std::pair<int, std::string>;

int gAnchors[4];

std::string KeyText(int n) {
    std::string t = "k";
    t += std::to_string(n);
    return t;
}

ModelKey PushKey(lua_State* L, int pick) {
    const int kind = pick % 7;
    const int n = pick / 7;
    switch (kind) {
    case 0:
        lua_pushnumber(L, 1 + n % 40); // array candidates
        return {0, std::to_string(1 + n % 40)};
    case 1:
        lua_pushnumber(L, 1000 + n * 37); // sparse integers
        return {0, std::to_string(1000 + n * 37)};
    case 2:
        lua_pushnumber(L, n + 0.25);
        return {0, std::to_string(n) + ".25"};
    case 3:
        lua_pushfstring(L, "k%d", n);
        return {1, KeyText(n)};
    case 4: {
        const std::string t = KeyText(n);
        lua_pushwstring(L, std::u16string(t.begin(), t.end()).c_str());
        return {2, t};
    }
    case 5:
        lua_pushboolean(L, n % 2);
        return {3, std::to_string(n % 2)};
    default:
        lua_pushlightuserdata(L, &gAnchors[n % 4]);
        return {4, std::to_string(n % 4)};
    }
}

ModelKey KeyAtTop(lua_State* L) {
    char buf[64];
    switch (lua_type(L, -1)) {
    case LUA_TNUMBER: {
        const double d = lua_tonumber(L, -1);
        if (d == static_cast<int>(d)) {
            return {0, std::to_string(static_cast<int>(d))};
        }
        std::snprintf(buf, sizeof(buf), "%d.25", static_cast<int>(d));
        return {0, buf};
    }
    case LUA_TSTRING:
        return {1, lua_tostring(L, -1)};
    case LUA_TWSTRING: {
        const char16_t* w = lua_towstring(L, -1);
        return {2, std::string(w, w + lua_strlen(L, -1))};
    }
    case LUA_TBOOLEAN:
        return {3, std::to_string(lua_toboolean(L, -1))};
    default:
        for (int i = 0; i < 4; i++) {
            if (lua_touserdata(L, -1) == &gAnchors[i]) {
                return {4, std::to_string(i)};
            }
        }
        return {-1, ""};
    }
}

void CheckShape(const Table* t) {
    EXPECT_EQ(t->sizearray & (t->sizearray - 1), 0);
    EXPECT_LE(t->lsizenode, 24);
    // Every node above the last-free pointer is in use.
    for (const Node* n = t->firstfree + 1; n < t->node + sizenode(t); n++) {
        EXPECT_FALSE(ttisnil(&n->i_key));
    }
}

TEST(LuaTableModel, RandomOperationsMatchAMap) {
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) {
        lua_State* L = lua_open();
        ASSERT_NE(L, nullptr);
        lua_newtable(L);
        const Table* t = static_cast<const Table*>(lua_topointer(L, 1));
        std::map<ModelKey, double> model;
        std::mt19937 rng(seed);
        for (int step = 0; step < 3000; step++) {
            const int op = static_cast<int>(rng() % 10);
            const int pick = static_cast<int>(rng() % 420);
            if (op < 6) {
                const ModelKey k = PushKey(L, pick);
                lua_pushnumber(L, step);
                lua_rawset(L, 1);
                model[k] = step;
            } else if (op < 8) {
                const ModelKey k = PushKey(L, pick);
                lua_pushnil(L);
                lua_rawset(L, 1);
                model.erase(k);
            } else {
                const ModelKey k = PushKey(L, pick);
                lua_rawget(L, 1);
                auto it = model.find(k);
                if (it == model.end()) {
                    EXPECT_TRUE(lua_isnil(L, -1)) << seed << " " << step;
                } else {
                    EXPECT_EQ(lua_tonumber(L, -1), it->second) << seed << " " << step;
                }
                lua_pop(L, 1);
            }
            ASSERT_EQ(lua_gettop(L), 1);
            if (step % 100 == 0) {
                lua_setgcthreshold(L, 0);
            }
            if (step % 250 == 0 || step == 2999) {
                CheckShape(t);
                std::map<ModelKey, double> seen;
                lua_pushnil(L);
                while (lua_next(L, 1)) {
                    const double v = lua_tonumber(L, -1);
                    lua_pop(L, 1);
                    const ModelKey k = KeyAtTop(L);
                    EXPECT_TRUE(seen.emplace(k, v).second) << "visited twice";
                }
                EXPECT_EQ(seen, model) << seed << " " << step;
            }
        }
        lua_close(L);
    }
}

} // namespace
