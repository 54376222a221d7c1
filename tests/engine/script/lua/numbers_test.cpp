// Conversions between numbers and both kinds of string, and the double-to-integer helper.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/lua/luaobject.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

struct WideCase {
    const char16_t* text;
    bool converts;
    double value;
};

TEST(LuaWideNumber, ParserCases) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const WideCase cases[] = {
        {u"0x1p4", true, 16},
        {u"0X1P4", true, 16},
        {u"0x10", true, 16},
        {u"0xff", true, 255},
        {u"0x1.8", true, 1.5},
        {u"0x1p-2", true, 0.25},
        {u"0x", true, 0}, // "0x" itself is consumed
        {u"1e2", true, 100},
        {u"1E+2", true, 100},
        {u"25e-1", true, 2.5},
        {u"5  ", true, 5},
        {u"5\t\n", true, 5},
        {u"  5", false, nan}, // leading white space is not skipped
        {u"5x", false, nan},
        {u"-", true, -0.0},
        {u".", true, 0},
        {u"+7", true, 7},
        {u"-2.5", true, -2.5},
        {u"0.1", true, 0.1},
        {u"", false, nan},
        {u"x", false, nan},
        {u"-0x10", false, nan}, // no sign before a hexadecimal prefix
        {u"1e999999999", true, std::numeric_limits<double>::infinity()},
        {u"5\u00a0", false, nan}, // a non-breaking space is not C white space
        {u"5\u2003", false, nan}, // nor is a unit above 255
    };
    for (const WideCase& c : cases) {
        const std::u16string text = c.text;
        lua_Number n = 12345;
        const int ok = luaO_wstr2d(text.data(), text.size(), &n);
        EXPECT_EQ(ok != 0, c.converts) << std::string(text.begin(), text.end());
        if (c.converts && ok) {
            EXPECT_EQ(n, c.value) << std::string(text.begin(), text.end());
            EXPECT_EQ(std::signbit(n), std::signbit(c.value));
        }
    }
}

using LuaNumberApi = LuaStateTest;

TEST_F(LuaNumberApi, WideStringsConvertThroughTheInterface) {
    lua_pushwstring(L, u"0x1p4");
    EXPECT_TRUE(lua_isnumber(L, 1));
    EXPECT_EQ(lua_tonumber(L, 1), 16);
    lua_pushwstring(L, u"  5");
    EXPECT_FALSE(lua_isnumber(L, 2));
    EXPECT_EQ(lua_tonumber(L, 2), 0);
    // 8-bit strings use the C library's reading: leading blanks allowed there.
    lua_pushstring(L, "  5 ");
    EXPECT_TRUE(lua_isnumber(L, 3));
    EXPECT_EQ(lua_tonumber(L, 3), 5);
    lua_pushstring(L, "5x");
    EXPECT_FALSE(lua_isnumber(L, 4));
    lua_newtable(L);
    EXPECT_FALSE(lua_isnumber(L, 5));
}

struct ToTextCase {
    double n;
    const char* text;
};

TEST_F(LuaNumberApi, NumbersBecomeTextInPlace) {
    const ToTextCase cases[] = {
        {10, "10"}, {0.1, "0.1"}, {-3.5, "-3.5"}, {1e100, "1e+100"}, {1.0 / 3, "0.33333333333333"},
    };
    for (const ToTextCase& c : cases) {
        lua_settop(L, 0);
        lua_pushnumber(L, c.n);
        EXPECT_STREQ(lua_tostring(L, 1), c.text);
        EXPECT_EQ(lua_type(L, 1), LUA_TSTRING);
        lua_pushnumber(L, c.n);
        EXPECT_EQ(lua_strlen(L, -1), std::strlen(c.text));
        EXPECT_EQ(lua_type(L, -1), LUA_TSTRING); // converted in place by the length query
        lua_pop(L, 1);

        lua_pushnumber(L, c.n);
        const char16_t* w = lua_towstring(L, 2);
        ASSERT_NE(w, nullptr);
        const std::string narrow(c.text);
        EXPECT_EQ(std::u16string(w), std::u16string(narrow.begin(), narrow.end()));
        EXPECT_EQ(lua_type(L, 2), LUA_TWSTRING);
        EXPECT_EQ(lua_strlen(L, 2), narrow.size());
    }
}

TEST_F(LuaNumberApi, OnlyNumbersConvertToText) {
    lua_newtable(L);
    EXPECT_EQ(lua_towstring(L, 1), nullptr);
    EXPECT_EQ(lua_tostring(L, 1), nullptr);
    EXPECT_EQ(lua_type(L, 1), LUA_TTABLE);
    // The 8-bit string "12" is not a wide string and does not become one.
    lua_pushstring(L, "12");
    EXPECT_EQ(lua_towstring(L, 2), nullptr);
    EXPECT_EQ(lua_type(L, 2), LUA_TSTRING);
    // A wide string has no 8-bit form, yet counts as a string with its length in units.
    lua_pushwstring(L, u"abc");
    EXPECT_EQ(lua_tostring(L, 3), nullptr);
    EXPECT_TRUE(lua_isstring(L, 3));
    EXPECT_EQ(lua_strlen(L, 3), 3u);
    lua_pushnumber(L, 12);
    const char16_t* w = lua_towstring(L, 4);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w[0], u'1');
    EXPECT_EQ(w[1], u'2');
    EXPECT_EQ(w[2], 0);
    EXPECT_EQ(lua_type(L, 4), LUA_TWSTRING);
}

struct TruncCase {
    double n;
    int64_t to64;
    int32_t to32;
    uint32_t low32;
};

TEST(LuaNumberTruncation, DefinedForEveryDouble) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TruncCase cases[] = {
        {2.9, 2, 2, 2},
        {-2.5, -2, -2, 4294967294u},
        {-1, -1, -1, 4294967295u},
        {4294967296.0, 4294967296, INT32_MIN, 0},
        {2147483648.0, 2147483648, INT32_MIN, 2147483648u},
        {-2147483648.0, -2147483648LL, INT32_MIN, 2147483648u},
        {2147483647.9, 2147483647, 2147483647, 2147483647u},
        {1e19, INT64_MIN, INT32_MIN, 0},
        {-1e19, INT64_MIN, INT32_MIN, 0},
        {inf, INT64_MIN, INT32_MIN, 0},
        {-inf, INT64_MIN, INT32_MIN, 0},
        {nan, INT64_MIN, INT32_MIN, 0},
    };
    for (const TruncCase& c : cases) {
        EXPECT_EQ(LuaNumberToInt64(c.n), c.to64) << c.n;
        EXPECT_EQ(LuaNumberToInt(c.n), c.to32) << c.n;
        EXPECT_EQ(LuaNumberLow32(c.n), c.low32) << c.n;
    }
    int32_t k = 0;
    EXPECT_TRUE(LuaNumberIsInt(-7, &k));
    EXPECT_EQ(k, -7);
    EXPECT_FALSE(LuaNumberIsInt(2.5, &k));
    EXPECT_FALSE(LuaNumberIsInt(nan, &k));
    EXPECT_FALSE(LuaNumberIsInt(1e10, &k));
}

} // namespace
