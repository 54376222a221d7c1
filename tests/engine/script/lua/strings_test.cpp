// Interned 8-bit and wide strings: identity, separation of the two kinds, hashing and the growth
// and shrinking of the string store.
#include <gtest/gtest.h>

#include <string>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

using LuaStrings = LuaStateTest;

TEST_F(LuaStrings, EqualTextsOfOneKindAreOneObject) {
    lua_pushstring(L, "key");
    std::string built = "k";
    built += "ey";
    lua_pushlstring(L, built.data(), built.size());
    EXPECT_EQ(lua_topointer(L, 1), nullptr); // strings have no pointer identity for natives
    EXPECT_TRUE(lua_rawequal(L, 1, 2));
    EXPECT_EQ(lua_tostring(L, 1), lua_tostring(L, 2));

    lua_pushwstring(L, u"key");
    const char16_t units[] = {u'k', u'e', u'y'};
    lua_pushlwstring(L, units, 3);
    EXPECT_TRUE(lua_rawequal(L, 3, 4));
    EXPECT_EQ(lua_towstring(L, 3), lua_towstring(L, 4));
}

TEST_F(LuaStrings, NarrowAndWideStringsNeverMeet) {
    lua_pushstring(L, "k");
    lua_pushwstring(L, u"k");
    EXPECT_FALSE(lua_rawequal(L, 1, 2));
    EXPECT_EQ(lua_type(L, 1), LUA_TSTRING);
    EXPECT_EQ(lua_type(L, 2), LUA_TWSTRING);
    EXPECT_STREQ(lua_typename(L, lua_type(L, 2)), "wstring");

    // As keys of one table they reach two different entries.
    lua_newtable(L);
    lua_pushstring(L, "k");
    lua_pushnumber(L, 1);
    lua_rawset(L, 3);
    lua_pushwstring(L, u"k");
    lua_pushnumber(L, 2);
    lua_rawset(L, 3);
    lua_pushstring(L, "k");
    lua_rawget(L, 3);
    EXPECT_EQ(lua_tonumber(L, -1), 1);
    lua_pushwstring(L, u"k");
    lua_rawget(L, 3);
    EXPECT_EQ(lua_tonumber(L, -1), 2);
    // A wide string built separately finds the same entry.
    const char16_t k[] = {u'k'};
    lua_pushlwstring(L, k, 1);
    lua_rawget(L, 3);
    EXPECT_EQ(lua_tonumber(L, -1), 2);
}

TEST_F(LuaStrings, EmptyStringsOfBothKinds) {
    lua_pushstring(L, "");
    lua_pushwstring(L, u"");
    lua_pushlwstring(L, nullptr, 0);
    EXPECT_FALSE(lua_rawequal(L, 1, 2));
    EXPECT_TRUE(lua_rawequal(L, 2, 3));
    EXPECT_EQ(lua_strlen(L, 2), 0u);
    const char16_t* w = lua_towstring(L, 2);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(lua_strlen(L, 1), 0u);
}

TEST_F(LuaStrings, WideTextKeepsZeroUnitsAndHighUnits) {
    const char16_t units[] = {0x0041, 0x0000, 0xFFFF, 0xD800};
    lua_pushlwstring(L, units, 4);
    EXPECT_EQ(lua_strlen(L, 1), 4u);
    const char16_t* w = lua_towstring(L, 1);
    EXPECT_EQ(std::u16string(w, 4), std::u16string(units, 4));
    EXPECT_EQ(w[4], 0);
    // A prefix up to the zero unit is another string.
    lua_pushwstring(L, units);
    EXPECT_EQ(lua_strlen(L, 2), 1u);
    EXPECT_FALSE(lua_rawequal(L, 1, 2));
}

TEST(LuaStringHash, FormulaOverBytesAndUnits) {
    // Hand-worked: length 2, step 1; h = 2; h ^= (h<<5)+(h>>2)+'b' = 2 ^ (64+0+98) = 160;
    // h ^= (160<<5)+(160>>2)+'a' = 160 ^ (5120+40+97) = 160 ^ 5257 = 5161.
    EXPECT_EQ(luaS_hash("ab", 2), 5161u);
    const char16_t ab[] = {u'a', u'b'};
    EXPECT_EQ(luaS_whash(ab, 2), 5161u);
    // Units above 255 take part in full.
    const char16_t hi[] = {0x0100};
    // h = 1; h ^= 32 + 0 + 256 = 1 ^ 288 = 289.
    EXPECT_EQ(luaS_whash(hi, 1), 289u);
    EXPECT_EQ(luaS_hash("", 0), 0u);
    // Long strings hash every (len >> 5) + 1 -th byte from the end: two strings of 64 bytes that
    // differ only at an unsampled position hash alike.
    std::string a(64, 'x');
    std::string b = a;
    b[0] = 'y'; // step 3 samples bytes 63, 60, ..., 3
    EXPECT_EQ(luaS_hash(a.data(), a.size()), luaS_hash(b.data(), b.size()));
    b = a;
    b[63] = 'y';
    EXPECT_NE(luaS_hash(a.data(), a.size()), luaS_hash(b.data(), b.size()));
}

TEST_F(LuaStrings, StoreDoublesWhenFullAndHalvesAfterCollection) {
    stringtable* tb = &G(L)->strt;
    const int startSize = tb->size;
    EXPECT_EQ(startSize, 32);
    lua_newtable(L);
    for (int i = 0; i < 2000; i++) {
        lua_pushfstring(L, "s%d", i);
        lua_rawseti(L, 1, i + 1);
    }
    EXPECT_GE(tb->size, 1024);
    EXPECT_LE(tb->nuse, static_cast<uint32_t>(tb->size));
    EXPECT_EQ(tb->size & (tb->size - 1), 0);
    const int grown = tb->size;
    lua_settop(L, 0);
    lua_setgcthreshold(L, 0);
    // Fewer than a quarter in use: halved once per collection.
    EXPECT_EQ(tb->size, grown / 2);
    int collections = 0;
    while (tb->size > 64 && collections < 20) {
        lua_setgcthreshold(L, 0);
        collections++;
    }
    EXPECT_EQ(tb->size, 64); // never halved below 64
}

} // namespace
