// Conversions between numbers and both kinds of string, and the double-to-integer helper.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/lualib.h"
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
        {u"-.", true, -0.0},
        {u"+", true, 0},
        {u".e5", true, 0},
        {u"1e", true, 1}, // an exponent marker without digits counts for nothing
        {u"1e+", true, 1},
        {u"0x1p", true, 1},
        {u"0x.p1", true, 0},
        {u"0e400", true, 0},      // zero, not zero times infinity
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

struct TwinCase {
    std::string text;
    double value; // worked out by hand or written as a literal the compiler rounds
};

// Texts that both kinds of string accept: the wide form reads as exactly the 8-bit form's
// number, which is the correctly rounded value of the digits.
TEST(LuaWideNumber, SameDigitsGiveTheSameNumberInBothKinds) {
    const double inf = std::numeric_limits<double>::infinity();
    // 1 + 2^-53, halfway between 1 and the next double, written out in full.
    const std::string halfAboveOne = "1.00000000000000011102230246251565404236316680908203125";
    std::vector<TwinCase> cases = {
        {"0.3", 0.3},
        {"3e-1", 0.3},
        {"0.7", 0.7},
        {"1.1", 1.1},
        {"2.675", 2.675},
        {"123.456", 123.456},
        {"-2.5E+2", -250},
        {"+7", 7},
        {".5", 0.5},
        {"5.", 5},
        {"-0", -0.0},
        {"00012", 12},
        {"0.3 \t\n", 0.3},
        {"1e23", 1e23},
        {"8.98846567431158e307", 8.98846567431158e307},
        {"1.7976931348623157e308", std::numeric_limits<double>::max()},
        {"1e309", inf},
        {"2.2250738585072011e-308", 2.2250738585072011e-308},
        {"4.9406564584124654e-324", 0x1p-1074},
        {"1e-400", 0},
        {"0e400", 0},
        {"9007199254740993", 0x1p53}, // 2^53 + 1: a tie goes to the even neighbour
        {"9007199254740993.00000000000000000001", 0x1p53 + 2},
        {halfAboveOne, 1},
        // Digits far past what a double holds still decide a tie; none may be cut off.
        {halfAboveOne + std::string(1000, '0') + "1", 1 + 0x1p-52},
        {"0." + std::string(4000, '0') + "1e4001", 1},
        {"1" + std::string(5000, '0') + "e-5000", 1},
        {"0x10", 16},
        {"0X1P4", 16},
        {"0x1.8p-1", 0.75},
        {"0xA.8P+2", 42},
        {"0x20000000000001", 0x1p53},
        {"0x20000000000003", 0x1p53 + 4},
        {"0x10000000000000800", 0x1p64},
        {"0x10000000000000801", 0x1p64 + 0x1p12},
        {"0x1.000000000000080000001p0", 1 + 0x1p-52},
        {"0x1.00000000000008" + std::string(2000, '0') + "1", 1 + 0x1p-52},
        {"0x1.fffffffffffff7ffp1023", std::numeric_limits<double>::max()},
        {"0x1.fffffffffffff8p1023", inf},
        {"0x1p-1074", 0x1p-1074},
        {"0x1p-1075", 0},
        {"0x1.8p-1075", 0x1p-1074},
        {"0x" + std::string(300, 'f'), inf},
    };
    for (const TwinCase& c : cases) {
        const std::string shown = c.text.substr(0, 60);
        lua_Number narrow = 12345;
        ASSERT_TRUE(luaO_str2d(c.text.c_str(), &narrow)) << shown;
        EXPECT_EQ(std::bit_cast<uint64_t>(narrow), std::bit_cast<uint64_t>(c.value))
            << shown << ": " << narrow;
        const std::u16string wide(c.text.begin(), c.text.end());
        lua_Number n = 12345;
        ASSERT_TRUE(luaO_wstr2d(wide.data(), wide.size(), &n)) << shown;
        EXPECT_EQ(std::bit_cast<uint64_t>(n), std::bit_cast<uint64_t>(narrow))
            << shown << ": " << n;
    }
}

using LuaNumberApi = LuaStateTest;

TEST_F(LuaNumberApi, AWideNumberReadsBackAsTheSameNumber) {
    luaopen_base(L);
    lua_settop(L, 0);
    const char source[] =
        "local function check(x)\n"
        "  local w = towstring(x)\n"
        "  assert(type(w) == 'wstring')\n"
        "  if tonumber(w) ~= x or w + 0 ~= x then error('round trip of ' .. x, 0) end\n"
        "end\n"
        "for i = 0, 10000 do check(i / 1000) end\n"
        "local awkward = {0.1, 0.2, 0.7, 1.005, 2.675, 8.41, 1234.5678, -0.29, 3e-5, 1e-7,\n"
        "  6.02214076e23, 1e22, 1e23, 1e-300, 5e-324, 2.2250738585072e-308, 1.7976931348623e308,\n"
        "  -1e-5, 4.35, 99999999999999}\n"
        "for _, x in ipairs(awkward) do check(x) end\n"
        "assert(L\"0.3\" + 0 == 0.3, 'L\"0.3\"')\n"
        "assert(L\"3e-1\" + 0 == 0.3, 'L\"3e-1\"')\n";
    ASSERT_EQ(luaL_loadbuffer(L, source, sizeof(source) - 1, "=roundtrip"), 0)
        << lua_tostring(L, -1);
    EXPECT_EQ(lua_pcall(L, 0, 0, 0), 0) << lua_tostring(L, -1);
}

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
