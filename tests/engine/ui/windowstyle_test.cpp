// Window definitions read through TWindowStyle: defaults from gCurrentDefaultStyle and its
// "parent" chain, the conversions, and reads that run script code.

#include "engine/core/log.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "engine/ui/windowstyle.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

namespace window_style_test {
namespace {

class TWindowStyleTest : public ::testing::Test {
protected:
    void SetUp() override { SetLogFolder(mLogs.Path().string().c_str()); }
    void TearDown() override { SetLogFolder(nullptr); }

    // Runs the Lua text, which sets the global "def", and makes the style over it.
    TWindowStyle& Style(const std::string& lua) {
        mScript.DoLuaString(lua.c_str());
        lua_State* state = mScript.GetState();
        lua_pushstring(state, "def");
        lua_gettable(state, LUA_GLOBALSINDEX);
        mDefinition = std::make_unique<TLuaTable>(state);
        mStyle = std::make_unique<TWindowStyle>(mScript, *mDefinition);
        return *mStyle;
    }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }
    int Top() { return lua_gettop(mScript.GetState()); }

    testing_fixtures::TempDir mLogs;
    TScript mScript;
    std::unique_ptr<TLuaTable> mDefinition;
    std::unique_ptr<TWindowStyle> mStyle;
};

TEST_F(TWindowStyleTest, WhereAPropertyIsFound) {
    struct TCase {
        const char* lua;
        int expected; // GetInt("w", -7)
    };
    const TCase cases[] = {
        {"def = {w = 5}", 5},
        {"gCurrentDefaultStyle = {w = 100}; def = {}", 100},
        {"gCurrentDefaultStyle = {w = 100}; def = {w = 3}", 3},
        {"gCurrentDefaultStyle = 5; def = {}", -7},
        {"gCurrentDefaultStyle = nil; def = {}", -7},
        {"gCurrentDefaultStyle = {parent = {parent = {parent = {w = 33}}}}; def = {}", 33},
        {"gCurrentDefaultStyle = {parent = {w = 1}, w = 2}; def = {}", 2},
        // The definition's own "parent" is not followed by the engine...
        {"gCurrentDefaultStyle = nil; def = {parent = {w = 4}}", -7},
        // ...but metatables apply to every read.
        {"def = setmetatable({}, {__index = {w = 6}})", 6},
        {"gCurrentDefaultStyle = setmetatable({}, {__index = function(t, k) return k == 'parent' "
         "and {w = 8} or nil end}); def = {}",
         8},
        // A definition that is no table reads the global of the property's name.
        {"gCurrentDefaultStyle = nil; w = 9; def = 'not a table'", 9},
        // Loops end the search.
        {"local s = {}; s.parent = s; gCurrentDefaultStyle = s; def = {}", -7},
        {"local a, b = {}, {}; a.parent = b; b.parent = a; gCurrentDefaultStyle = a; def = {}", -7},
        {"local a = {}; gCurrentDefaultStyle = {parent = a}; a.parent = gCurrentDefaultStyle; "
         "a.w = 12; def = {}",
         12},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.lua);
        mScript.DoLuaString("gCurrentDefaultStyle = nil; w = nil");
        TWindowStyle& style = Style(c.lua);
        const int top = Top();
        EXPECT_EQ(style.GetInt("w", -7), c.expected);
        EXPECT_EQ(Top(), top);
    }
}

TEST_F(TWindowStyleTest, Conversions) {
    TWindowStyle& style =
        Style("def = {s = '12', t = {}, big = 1e300, nan = 0/0, neg = -2.9, yes = true, one = 1, "
              "zero = 0, text = 'true', c = {1, 0.5, 0.25}, cs = 'red', n = 7.5, "
              "f = function() return 42 end}");
    const int top = Top();
    EXPECT_EQ(style.GetInt("s", -1), 12);
    EXPECT_EQ(style.GetInt("t", -1), 0);
    EXPECT_EQ(style.GetInt("big", -1), INT_MIN);
    EXPECT_EQ(style.GetInt("nan", -1), INT_MIN);
    EXPECT_EQ(style.GetInt("neg", -1), -2);
    EXPECT_EQ(style.GetInt("missing", -1), -1);
    EXPECT_EQ(style.GetNumber("big", 0), 1e300);
    EXPECT_EQ(style.GetNumber("n", 0), 7.5);
    EXPECT_EQ(style.GetString("n", ""), str("7.5"));
    EXPECT_EQ(style.GetString("s", ""), str("12"));
    EXPECT_EQ(style.GetString("t", "x"), str());
    EXPECT_EQ(style.GetString("missing", "x"), str("x"));
    EXPECT_TRUE(style.GetBool("yes", false));
    EXPECT_TRUE(style.GetBool("one", false));
    EXPECT_FALSE(style.GetBool("zero", true));
    EXPECT_TRUE(style.GetBool("missing", true));
    EXPECT_FALSE(style.GetBool("text", true));
    EXPECT_FALSE(style.GetBool("t", true));

    const TColor fallback{0.1f, 0.2f, 0.3f, 0.4f};
    const TColor c = style.GetColor("c", fallback);
    EXPECT_EQ(c.r, 1.0f);
    EXPECT_EQ(c.g, 0.5f);
    EXPECT_EQ(c.b, 0.25f);
    EXPECT_EQ(c.a, 0.0f) << "a missing entry reads 0";
    EXPECT_EQ(style.GetColor("cs", fallback).g, 0.2f) << "not a table: the default";
    EXPECT_EQ(style.GetColor("missing", fallback).a, 0.4f);

    std::unique_ptr<TLuaTable> table(style.GetTable("c"));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->GetNumberAt(2), 0.5);
    EXPECT_EQ(style.GetTable("s"), nullptr);
    EXPECT_EQ(style.GetTable("missing"), nullptr);
    std::unique_ptr<TLuaFunction> function(style.GetFunction("f"));
    ASSERT_NE(function, nullptr);
    ASSERT_EQ(function->CallWithAlert(), 0);
    EXPECT_EQ(lua_tonumber(mScript.GetState(), -1), 42);
    lua_pop(mScript.GetState(), 1);
    EXPECT_EQ(style.GetFunction("c"), nullptr);
    EXPECT_EQ(Top(), top);

    const std::string log = LogText();
    EXPECT_NE(log.find("PopBool used on lua string true"), std::string::npos);
    EXPECT_NE(log.find("PopBool used on a type that isn't a number, a boolean, or nil. (type: 5)"),
              std::string::npos);
}

TEST_F(TWindowStyleTest, ScriptErrorsDuringAReadGiveTheDefault) {
    struct TCase {
        const char* lua;
        const char* logged;
    };
    const TCase cases[] = {
        {"def = setmetatable({}, {__index = function() error('boom') end})", "boom"},
        {"gCurrentDefaultStyle = setmetatable({}, {__index = function() error('deep') end}); "
         "def = {}",
         "deep"},
        {"setmetatable(_G, {__index = function(t, k) if k == 'gCurrentDefaultStyle' then "
         "error('globals') end end}); def = {}",
         "globals"},
        // Recursion without end is stopped by the script machine.
        {"local m = {}; m.__index = function(t, k) return t[k] end; def = setmetatable({}, m)",
         "reading \"w\" failed"},
        // An __index that makes a new "parent" at every read never repeats a style.
        {"gCurrentDefaultStyle = setmetatable({}, {__index = function(t, k) if k == 'parent' then "
         "return setmetatable({}, getmetatable(t)) end end}); def = {}",
         "longer than 256 styles"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.lua);
        TWindowStyle& style = Style(c.lua);
        const int top = Top();
        EXPECT_EQ(style.GetInt("w", 77), 77);
        EXPECT_EQ(style.GetColor("w", TColor{0.5f, 0, 0, 1}).r, 0.5f);
        EXPECT_EQ(style.GetTable("w"), nullptr);
        EXPECT_EQ(Top(), top);
        EXPECT_NE(LogText().find(c.logged), std::string::npos);
        mScript.DoLuaString("setmetatable(_G, nil); gCurrentDefaultStyle = nil");
    }
}

} // namespace
} // namespace window_style_test
