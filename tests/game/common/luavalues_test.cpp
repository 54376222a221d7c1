#include "game/common/LuaValues.h"

#include "engine/core/log.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace luavalues_test {

// Deep equality of two Lua values; NaN equals NaN.
const char kSame[] = "function Same(a, b)\n"
                     "  if type(a) ~= type(b) then return false end\n"
                     "  if type(a) == 'number' then return a == b or (a ~= a and b ~= b) end\n"
                     "  if type(a) ~= 'table' then return a == b end\n"
                     "  for k, v in pairs(a) do if not Same(v, b[k]) then return false end end\n"
                     "  for k in pairs(b) do if a[k] == nil then return false end end\n"
                     "  return true\n"
                     "end\n";

class LuaValuesTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLogFolder(mLogs.Path().string().c_str());
        mScript.Init();
        L = mScript.GetState();
        mScript.DoLuaString(kSame);
    }
    void TearDown() override { SetLogFolder(nullptr); }

    // A reference to the value of a Lua expression, which may use the globals set before.
    std::unique_ptr<TLuaObjectWrapper> Value(const std::string& expression) {
        Load("return " + expression);
        return std::make_unique<TLuaObjectWrapper>(L);
    }

    std::string Text(const std::string& expression, bool bare = false) {
        const std::unique_ptr<TLuaObjectWrapper> value = Value(expression);
        const int top = lua_gettop(L);
        const str text = LuaValueToText(value.get(), bare);
        EXPECT_EQ(lua_gettop(L), top) << "the stack is left as found";
        return std::string(text.CStr() != nullptr ? text.CStr() : "",
                           static_cast<size_t>(text.Length()));
    }

    // Runs the chunk and leaves its one result on the stack (an error text on failure).
    void Load(const std::string& chunk) {
        ASSERT_EQ(luaL_loadbuffer(L, chunk.data(), chunk.size(), "test"), 0)
            << chunk << ": " << lua_tostring(L, -1);
        ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << chunk << ": " << lua_tostring(L, -1);
    }

    // Writes the expression's value, reads the text back as Lua and compares the two values.
    void ExpectRoundTrip(const std::string& expression) {
        ExpectReadsBackAs(Text(expression), expression);
    }

    void ExpectReadsBackAs(const std::string& text, const std::string& expression) {
        Load("return " + expression);
        SetGlobal("gExpected");
        Load("return " + text);
        SetGlobal("gReadBack");
        Load("return Same(gExpected, gReadBack)");
        EXPECT_TRUE(lua_toboolean(L, -1)) << text << " does not read back as " << expression;
        lua_pop(L, 1);
    }

    // Pops the value on the top into the global.
    void SetGlobal(const char* name) {
        lua_pushstring(L, name);
        lua_insert(L, -2);
        lua_settable(L, LUA_GLOBALSINDEX);
    }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }

    testing_fixtures::TempDir mLogs;
    TScript mScript;
    lua_State* L = nullptr;
};

TEST_F(LuaValuesTest, TruthAndBooleanTests) {
    struct TCase {
        const char* expression;
        bool isTrue;
        bool isBoolean;
    };
    const TCase cases[] = {
        {"nil", false, false}, {"false", false, true}, {"true", true, true},
        {"0", true, false},    {"''", true, false},    {"{}", true, false},
    };
    for (const TCase& c : cases) {
        const std::unique_ptr<TLuaObjectWrapper> value = Value(c.expression);
        const int top = lua_gettop(L);
        EXPECT_EQ(LuaValueIsTrue(value.get()), c.isTrue) << c.expression;
        EXPECT_EQ(LuaValueIsBoolean(value.get()), c.isBoolean) << c.expression;
        EXPECT_EQ(lua_gettop(L), top);
    }
    EXPECT_FALSE(LuaValueIsTrue(nullptr));
    EXPECT_FALSE(LuaValueIsBoolean(nullptr));
}

TEST_F(LuaValuesTest, PointFromTheSubTableOrTheTableItself) {
    const TPoint defaults{7, 8};
    struct TCase {
        const char* table;
        const char* subTable;
        TPoint expected;
    };
    const TCase cases[] = {
        {"{x = 1.9, y = -2.9, pos = {x = 30, y = 40}}", "pos", {30, 40}},
        {"{x = 1.9, y = -2.9}", "pos", {1, -2}},
        {"{x = 1.9, y = -2.9, pos = 5}", "pos", {1, -2}},
        {"{x = 1.9, y = -2.9, pos = {x = 30, y = 40}}", "", {1, -2}},
        {"{pos = {y = 40}}", "pos", {7, 40}},
        {"{}", "", {7, 8}},
        {"{x = 0/0, y = 1e300}", "", {INT32_MIN, INT32_MIN}},
    };
    for (const TCase& c : cases) {
        Load(std::string("return ") + c.table);
        TLuaTable table(L);
        const TPoint point = ReadLuaPoint(&table, c.subTable, defaults);
        EXPECT_EQ(point.x, c.expected.x) << c.table << " " << c.subTable;
        EXPECT_EQ(point.y, c.expected.y) << c.table << " " << c.subTable;
    }
    const TPoint none = ReadLuaPoint(nullptr, "pos", defaults);
    EXPECT_EQ(none.x, 7);
    EXPECT_EQ(none.y, 8);
}

TEST_F(LuaValuesTest, SimpleValuesAndTheKnownFormsKeepTheirText) {
    struct TCase {
        const char* expression;
        bool bare;
        const char* text;
    };
    const TCase cases[] = {
        {"nil", false, "nil"},
        {"true", false, "true"},
        {"false", true, "false"},
        {"3", false, "3"},
        {"'x'", false, "'x'"},
        {"'x'", true, "x"},
        {"\"it's\"", true, "it's"},
        {"{'a'; x = 2}", false, "{'a'; x=2; } "},
        {"{'a'; x = 2}", true, "'a'; x=2; "},
        {"{}", false, "{} "},
        {"{{1}}", false, "{{1; } ; } "},
        {"1234567", false, "1234567"},
        {"0.1", false, "0.1"},
        {"-2.5", false, "-2.5"},
        {"1e300", false, "1e+300"},
        {"0/0", false, "0/0"},
        {"1/0", false, "1/0"},
        {"-1/0", false, "-1/0"},
        {"'a\\'b\\\\c\\nd\\re\\0f\\127g'", false, "'a\\'b\\\\c\\nd\\re\\000f\\127g'"},
        {"'\\t\\0011'", false, "'\\t\\0011'"},
        {"'caf\\195\\169'", false, "'caf\xC3\xA9'"},
        {"{[5] = 'e'}", false, "{[5]='e'; } "},
        {"{[1.5] = 1}", false, "{[1.5]=1; } "},
        {"{[-1] = 1}", false, "{[-1]=1; } "},
        {"{[1/0] = 1}", false, "{[1/0]=1; } "},
        {"{['my key'] = 1}", false, "{['my key']=1; } "},
        {"{['end'] = 1}", false, "{['end']=1; } "},
        {"{['continue'] = 1}", false, "{['continue']=1; } "},
        {"{['a\\0b'] = 1}", false, "{['a\\000b']=1; } "},
        {"{['2'] = 1}", false, "{['2']=1; } "},
        {"{[true] = 1}", false, "{[true]=1; } "},
        {"{_under_9 = 1}", false, "{_under_9=1; } "},
        {"print", false, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Text(c.expression, c.bare), c.text) << c.expression;
    }
    EXPECT_EQ(LuaValueToText(nullptr, false), str("nil"));
    EXPECT_EQ(LuaValueToText(nullptr, true), str("nil"));
}

TEST_F(LuaValuesTest, ValuesReadBackEqual) {
    const char* const expressions[] = {
        "1234567",
        "0.1",
        "1e300",
        "-0.000123456789012345",
        "4.9406564584124654e-324",
        "9007199254740994",
        "'a quote \\' and\\na line break'",
        "'\\0\\1\\31\\127\\255 \\\\'",
        "{money = 1234567, rate = 0.1, big = 1e300}",
        "{'a', 'b', 'c'}",
        "{[1] = 'a', [2] = 'b', [5] = 'e'}",
        "{[2] = 'b', [3] = 'c'}",
        "{[0] = 'zero', 'one'}",
        "{['my key'] = 1, ['end'] = 2, [true] = 3, [false] = 4, plain = 5}",
        "{nested = {deeper = {'x', {y = 'z'}}}, 'first'}",
        "{0/0, 1/0, -1/0, [1/0] = 'inf'}",
        "{[-3] = 1, [0.5] = 2, [1e300] = 3}",
    };
    for (const char* expression : expressions) {
        ExpectRoundTrip(expression);
    }
}

// Numbers after a hole, or met before the ones below them, go by key: positions would renumber
// them.
TEST_F(LuaValuesTest, PositionsOnlyWhileTheKeysRunOneTwoThree) {
    EXPECT_EQ(Text("{[2] = 'b'}"), "{[2]='b'; } ");
    const std::string text = Text("{'a', 'b', [5] = 'e'}");
    EXPECT_NE(text.find("[5]='e'; "), std::string::npos) << text;
    ExpectReadsBackAs(text, "{'a', 'b', [5] = 'e'}");
}

TEST_F(LuaValuesTest, EntriesThatCannotBeWrittenAreLeftOutAndLogged) {
    mScript.DoLuaString("gLoop = {1, name = 'loop'}; gLoop.self = gLoop\n"
                        "gMixed = {'a', print, 'c', f = print, [print] = 1, ok = true}\n"
                        "gDeep = {}; local t = gDeep; for i = 1, 100 do t.next = {}; "
                        "t = t.next end\n");
    const std::string loop = Text("gLoop");
    EXPECT_EQ(loop.find("self"), std::string::npos) << loop;
    ExpectReadsBackAs(loop, "{1, name = 'loop'}");
    ExpectReadsBackAs(Text("{inner = gLoop}"), "{inner = {1, name = 'loop'}}");
    EXPECT_NE(LogText().find("left out a table that holds itself"), std::string::npos) << LogText();

    // The function at position 2 is left out, so 'c' goes by its key.
    const std::string mixed = Text("gMixed");
    EXPECT_NE(mixed.find("'a'; "), std::string::npos) << mixed;
    EXPECT_NE(mixed.find("[3]='c'; "), std::string::npos) << mixed;
    EXPECT_NE(mixed.find("ok=true; "), std::string::npos) << mixed;
    EXPECT_EQ(mixed.find("f="), std::string::npos) << mixed;
    EXPECT_EQ(mixed.find("=1"), std::string::npos) << mixed;
    EXPECT_NE(LogText().find("left out a value of type function"), std::string::npos);
    EXPECT_NE(LogText().find("left out an entry with a key of type function"), std::string::npos);

    const std::string deep = Text("gDeep");
    ASSERT_LT(deep.size(), 1000u);
    Load("return " + deep);
    lua_pop(L, 1);
    EXPECT_NE(LogText().find("nested deeper than 64 levels"), std::string::npos);
}

// Each table holds the one before twice: written out in full, 40 of them would take terabytes.
TEST_F(LuaValuesTest, TheTextStopsGrowingAtItsLength) {
    mScript.DoLuaString("gDoubling = {'leaf'}\n"
                        "for i = 1, 40 do gDoubling = {gDoubling, gDoubling} end\n");
    const std::string text = Text("gDoubling");
    EXPECT_LE(text.size(), kLuaTextMaxLength);
    EXPECT_GT(text.size(), kLuaTextMaxLength - 1000);
    EXPECT_EQ(text.substr(0, 4), "{{{{");
    EXPECT_NE(LogText().find("left out the entries past 16777216 bytes"), std::string::npos);
}

TEST_F(LuaValuesTest, StringLiteralsEscapeLikeTheWriter) {
    EXPECT_EQ(LuaStringLiteral("stop_game"), str("'stop_game'"));
    EXPECT_EQ(LuaStringLiteral("it's"), str("'it\\'s'"));
}

} // namespace luavalues_test
