// The auxiliary library and the library openers seen from native code: loading files through the
// engine file layer, the wide buffer, luaL_checkwstring, the error report of lua_dostring, print's
// output pieces, argument errors and the state each opener leaves.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/knownfiles.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/lualib.h"
#include "tests/engine/script/lua/luatestsupport.h"
#include "tests/fixtures/tempdir.h"

namespace {

class LuaAuxTest : public LuaStateTest {
protected:
    void SetUp() override {
        LuaStateTest::SetUp();
        GetFolderRoots(&mUser, &mCommon, &mDesktop);
        SetFolderRoots(str(mDir.Path().string().c_str()), mCommon, mDesktop);
    }
    void TearDown() override {
        SetFolderRoots(mUser, mCommon, mDesktop);
        LuaStateTest::TearDown();
    }
    std::string TopString() {
        const char* s = lua_tostring(L, -1);
        return s != nullptr ? std::string(s, lua_strlen(L, -1)) : std::string("(not a string)");
    }

    testing_fixtures::TempDir mDir;
    str mUser;
    str mCommon;
    str mDesktop;
};

TEST_F(LuaAuxTest, LoadFileOfAMissingFileReportsAFileError) {
    lua_pushnumber(L, 7);
    EXPECT_EQ(luaL_loadfile(L, "user:nothere.lua"), LUA_ERRFILE);
    EXPECT_EQ(TopString(), std::string("cannot read user:nothere.lua: ") + std::strerror(ENOENT));
    // Only the message is left above what was there.
    EXPECT_EQ(lua_gettop(L), 2);
    EXPECT_EQ(lua_tonumber(L, 1), 7);
}

TEST_F(LuaAuxTest, LoadFileReadsTextBinaryAndEmptyFiles) {
    luaopen_base(L);
    luaopen_string(L);
    lua_settop(L, 0);
    struct Case {
        const char* name;
        std::string bytes;
        int results; // what the chunk returns when called
        double first;
    };
    // A precompiled image of "return 40 + 2", made by string.dump.
    ASSERT_EQ(luaL_loadbuffer(L, "return string.dump(function() return 40 + 2 end)", 48, "=dump"),
              0);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0);
    const std::string image(lua_tostring(L, -1), lua_strlen(L, -1));
    lua_pop(L, 1);
    ASSERT_EQ(image[0], '\x1b');
    const Case cases[] = {
        {"text.lua", "return 1 + 2\n", 1, 3},
        {"crlf.lua", "local a = 5\r\nreturn a\r\n", 1, 5},
        {"empty.lua", "", 0, 0},
        {"binary.out", image, 1, 42},
        {"long.lua", "return " + std::string(3000, ' ') + "9", 1, 9},
        // 16-bit source with its byte-order mark: the first byte is not text.
        {"wide.lua",
         std::string("\xff\xfer\0e\0t\0u\0r\0n\0 \0"
                     "6\0",
                     18),
         1, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mDir.Write(c.name, c.bytes);
        const std::string name = std::string("user:") + c.name;
        ASSERT_EQ(luaL_loadfile(L, name.c_str()), 0) << TopString();
        ASSERT_EQ(lua_gettop(L), 1);
        EXPECT_TRUE(lua_isfunction(L, 1));
        ASSERT_EQ(lua_pcall(L, 0, LUA_MULTRET, 0), 0) << TopString();
        ASSERT_EQ(lua_gettop(L), c.results);
        if (c.results > 0) {
            EXPECT_EQ(lua_tonumber(L, 1), c.first);
        }
        lua_settop(L, 0);
    }
}

TEST_F(LuaAuxTest, LoadFileNamesTheChunkAfterTheFile) {
    mDir.Write("bad.lua", "x = = 1\n");
    EXPECT_EQ(luaL_loadfile(L, "user:bad.lua"), LUA_ERRSYNTAX);
    EXPECT_EQ(TopString().rfind("user:bad.lua:1: ", 0), 0u) << TopString();
}

TEST_F(LuaAuxTest, WideBufferFlushesAfter256UnitsAndPushesOneWideString) {
    luaL_Buffer b;
    luaL_wbuffinit(L, &b);
    std::u16string units;
    for (int i = 0; i < 300; i++) {
        units += static_cast<char16_t>(0x2600 + i);
    }
    luaL_addlwstring(&b, units.data(), 256);
    EXPECT_EQ(b.lvl, 0);
    EXPECT_EQ(lua_gettop(L), 0);
    luaL_addlwstring(&b, units.data() + 256, 1);
    EXPECT_EQ(b.lvl, 1);
    luaL_addlwstring(&b, units.data() + 257, 43);
    luaL_pushresult(&b);
    ASSERT_EQ(lua_gettop(L), 1);
    ASSERT_EQ(lua_type(L, 1), LUA_TWSTRING);
    ASSERT_EQ(lua_strlen(L, 1), 300u);
    EXPECT_EQ(std::u16string(lua_towstring(L, 1), 300), units);
}

TEST_F(LuaAuxTest, EmptyBuffersPushEmptyStringsOfTheirKind) {
    luaL_Buffer b;
    luaL_wbuffinit(L, &b);
    luaL_pushresult(&b);
    EXPECT_EQ(lua_type(L, -1), LUA_TWSTRING);
    EXPECT_EQ(lua_strlen(L, -1), 0u);
    luaL_buffinit(L, &b);
    luaL_pushresult(&b);
    EXPECT_EQ(lua_type(L, -1), LUA_TSTRING);
    EXPECT_EQ(lua_strlen(L, -1), 0u);
}

TEST_F(LuaAuxTest, NarrowBufferMergesManyPiecesAndValues) {
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    std::string expected;
    for (int i = 0; i < 200; i++) {
        const std::string piece(37, static_cast<char>('a' + i % 26));
        luaL_addlstring(&b, piece.data(), piece.size());
        expected += piece;
        lua_pushnumber(L, i);
        luaL_addvalue(&b);
        expected += std::to_string(i);
        EXPECT_LE(b.lvl, LUA_MINSTACK / 2 + 1);
    }
    const std::string big(2000, 'z');
    lua_pushlstring(L, big.data(), big.size());
    luaL_addvalue(&b);
    expected += big;
    lua_pushwstring(L, u"\x0141\x0142");
    luaL_addvalue(&b);
    expected += "AB";
    luaL_pushresult(&b);
    ASSERT_EQ(lua_gettop(L), 1);
    EXPECT_EQ(TopString(), expected);
}

TEST_F(LuaAuxTest, CheckWStringConvertsNumbersAndRefusesNarrowStrings) {
    struct Case {
        int push; // 0 number 12, 1 wide "ab", 2 narrow "12", 3 nil
        const char16_t* units;
        const char* error;
    };
    const Case cases[] = {
        {0, u"12", nullptr},
        {1, u"ab", nullptr},
        {2, nullptr, "bad argument #1 to `?' (wstring expected, got string)"},
        {3, nullptr, "bad argument #1 to `?' (wstring expected, got nil)"},
    };
    for (const Case& c : cases) {
        lua_settop(L, 0);
        std::u16string got;
        size_t len = 99;
        std::string msg;
        const int status = LuaProtectedRun(
            L,
            [&](lua_State* S) {
                switch (c.push) {
                case 0:
                    lua_pushnumber(S, 12);
                    break;
                case 1:
                    lua_pushwstring(S, u"ab");
                    break;
                case 2:
                    lua_pushstring(S, "12");
                    break;
                default:
                    lua_pushnil(S);
                    break;
                }
                const lua_WChar* w = luaL_checkwstring(S, 1, &len);
                got.assign(w, len);
            },
            &msg);
        if (c.error == nullptr) {
            EXPECT_EQ(status, 0) << msg;
            EXPECT_EQ(got, c.units);
            EXPECT_EQ(len, std::char_traits<char16_t>::length(c.units));
        } else {
            EXPECT_NE(status, 0);
            EXPECT_EQ(msg, c.error);
        }
    }
}

int BadSelf(lua_State* L) {
    return luaL_argerror(L, 1, "my reason");
}
int BadSecond(lua_State* L) {
    return luaL_argerror(L, 2, "my reason");
}

TEST_F(LuaAuxTest, ArgumentErrorsNameTheFunctionAndCountMethodArguments) {
    luaopen_base(L);
    lua_settop(L, 0);
    lua_register(L, "badself", BadSelf);
    lua_register(L, "badsecond", BadSecond);
    const struct {
        const char* code;
        const char* message;
    } cases[] = {
        {"badsecond(1, 2)", "[string \"t\"]:1: bad argument #2 to `badsecond' (my reason)"},
        {"local o = {m = badself}; o:m()", "[string \"t\"]:1: calling `m' on bad self (my reason)"},
        {"local o = {m = badsecond}; o:m()",
         "[string \"t\"]:1: bad argument #1 to `m' (my reason)"},
        {"local o = {f = badsecond}; o.f()",
         "[string \"t\"]:1: bad argument #2 to `f' (my reason)"},
        {"local t = {badsecond}; t[1]()", "[string \"t\"]:1: bad argument #2 to `?' (my reason)"},
    };
    for (const auto& c : cases) {
        lua_settop(L, 0);
        ASSERT_EQ(luaL_loadbuffer(L, c.code, std::strlen(c.code), "t"), 0);
        EXPECT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRRUN);
        EXPECT_EQ(TopString(), c.message) << c.code;
    }
}

TEST_F(LuaAuxTest, DoStringReportsErrorsToAlertOrStandardError) {
    luaopen_base(L);
    lua_settop(L, 0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(lua_dostring(L, "x = = 1"), LUA_ERRSYNTAX);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.rfind("[string \"x = = 1\"]:1: ", 0), 0u) << err;
    EXPECT_EQ(err.back(), '\n');
    EXPECT_EQ(lua_gettop(L), 0);

    ASSERT_EQ(lua_dostring(L, "alerts = {} function _ALERT(m) table.insert(alerts, m) end"), 0);
    luaopen_table(L);
    lua_settop(L, 0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(lua_dostring(L, "error('runtime', 0)"), LUA_ERRRUN);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(lua_gettop(L), 0);
    ASSERT_EQ(lua_dostring(L, "return alerts[1]"), 0);
    EXPECT_EQ(TopString(), "runtime");

    lua_settop(L, 0);
    EXPECT_EQ(lua_dostring(L, "return 1, 2"), 0);
    EXPECT_EQ(lua_gettop(L), 2);
    EXPECT_EQ(lua_dobuffer(L, "return 3", 8, "=buf"), 0);
    EXPECT_EQ(lua_tonumber(L, -1), 3);
}

TEST_F(LuaAuxTest, TableSizesFollowNThenTheSizeTableThenTheCount) {
    lua_newtable(L);
    const int t = lua_gettop(L);
    EXPECT_EQ(luaL_getn(L, t), 0);
    for (int i = 1; i <= 3; i++) {
        lua_pushnumber(L, i);
        lua_rawseti(L, t, i);
    }
    EXPECT_EQ(luaL_getn(L, t), 3);
    luaL_setn(L, t, 10);
    EXPECT_EQ(luaL_getn(L, t), 10);
    // The explicit size lives in registry slot 2, a weak-keyed table.
    lua_rawgeti(L, LUA_REGISTRYINDEX, 2);
    ASSERT_TRUE(lua_istable(L, -1));
    lua_pushliteral(L, "__mode");
    lua_rawget(L, -2);
    EXPECT_STREQ(lua_tostring(L, -1), "k");
    lua_settop(L, t);
    lua_pushliteral(L, "n");
    lua_pushnumber(L, 2);
    lua_rawset(L, t);
    EXPECT_EQ(luaL_getn(L, t), 2);
    luaL_setn(L, t, 1);
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    EXPECT_EQ(lua_tonumber(L, -1), 1);
    EXPECT_EQ(lua_gettop(L), t + 1);
}

TEST_F(LuaAuxTest, OpenersLeaveTheirTablesAndRegisterThePerTypeMetatables) {
    EXPECT_EQ(luaopen_base(L), 0);
    ASSERT_EQ(lua_gettop(L), 1);
    lua_pushliteral(L, "coroutine");
    lua_gettable(L, LUA_GLOBALSINDEX);
    EXPECT_TRUE(lua_rawequal(L, 1, 2));
    lua_settop(L, 0);
    const char* keys[] = {"_boolean",  "_lightuserdata", "_number", "_string", "_table",
                          "_function", "_userdata",      "_thread", "_wstring"};
    for (int tag = 1; tag <= 9; tag++) {
        lua_pushstring(L, keys[tag - 1]);
        lua_rawget(L, LUA_REGISTRYINDEX);
        lua_gettypemetatable(L, tag);
        EXPECT_TRUE(lua_rawequal(L, -1, -2)) << keys[tag - 1];
        lua_settop(L, 0);
    }
    EXPECT_EQ(luaopen_string(L), 1);
    EXPECT_EQ(lua_gettop(L), 1);
    lua_pushliteral(L, "abc");
    ASSERT_EQ(lua_getmetatable(L, -1), 1);
    EXPECT_TRUE(lua_rawequal(L, 1, -1));
    // The registry entry keeps what strings had when the base library opened.
    lua_pushliteral(L, "_string");
    lua_rawget(L, LUA_REGISTRYINDEX);
    EXPECT_FALSE(lua_rawequal(L, 1, -1));
    lua_settop(L, 0);
    EXPECT_EQ(luaopen_pack(L), 0);
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(luaopen_table(L), 1);
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaAuxTest, MathAndPowExistOnlyWhereTheMathLibraryIsOpened) {
    luaopen_base(L);
    luaopen_string(L);
    luaopen_table(L);
    lua_settop(L, 0);
    ASSERT_EQ(lua_dostring(L, "return __pow == nil and math == nil, 2 ^ 10"), 0);
    EXPECT_TRUE(lua_toboolean(L, 1));
    EXPECT_EQ(lua_tonumber(L, 2), 8);
    lua_settop(L, 0);
    EXPECT_EQ(luaopen_math(L), 1);
    lua_settop(L, 0);
    ASSERT_EQ(lua_dostring(L, "return __pow == math.pow, math.pow(2, 10), '2' ^ '10'"), 0);
    EXPECT_TRUE(lua_toboolean(L, 1));
    EXPECT_EQ(lua_tonumber(L, 2), 1024);
    EXPECT_EQ(lua_tonumber(L, 3), 1024);
}

// print's output, recorded through its write hooks.
struct TPrintRecord {
    std::vector<std::string> narrow;
    std::vector<std::u16string> wide;
    std::string order; // 'n' or 'w' per write
};
TPrintRecord* gRecord = nullptr;

void RecordNarrow(const char* s, size_t n) {
    gRecord->narrow.emplace_back(s, n);
    gRecord->order += 'n';
}
void RecordWide(const lua_WChar* s) {
    gRecord->wide.emplace_back(s);
    gRecord->order += 'w';
}

class LuaPrintTest : public LuaStateTest {
protected:
    void SetUp() override {
        LuaStateTest::SetUp();
        luaopen_base(L);
        lua_settop(L, 0);
        mOldNarrow = gLuaPrintWrite;
        mOldWide = gLuaPrintWriteWide;
        gRecord = &mRecord;
        gLuaPrintWrite = RecordNarrow;
        gLuaPrintWriteWide = RecordWide;
    }
    void TearDown() override {
        gLuaPrintWrite = mOldNarrow;
        gLuaPrintWriteWide = mOldWide;
        gRecord = nullptr;
        LuaStateTest::TearDown();
    }
    int Print(const std::function<void(lua_State*)>& pushArgs) {
        lua_pushliteral(L, "print");
        lua_gettable(L, LUA_GLOBALSINDEX);
        const int base = lua_gettop(L);
        pushArgs(L);
        return lua_pcall(L, lua_gettop(L) - base, 0, 0);
    }
    TPrintRecord mRecord;
    void (*mOldNarrow)(const char*, size_t) = nullptr;
    void (*mOldWide)(const lua_WChar*) = nullptr;
};

TEST_F(LuaPrintTest, WritesNarrowAndWideResultsSeparatedByTabs) {
    ASSERT_EQ(Print([](lua_State* S) {
                  lua_pushwstring(S, u"abc");
                  lua_pushnumber(S, 1);
                  lua_pushlstring(S, "a\0b", 3);
                  lua_pushnil(S);
              }),
              0);
    EXPECT_EQ(mRecord.order, "wnnnnnnn");
    ASSERT_EQ(mRecord.wide.size(), 1u);
    EXPECT_EQ(mRecord.wide[0], u"abc");
    const std::vector<std::string> narrow = {"\t", "1",   "\t", std::string("a\0b", 3),
                                             "\t", "nil", "\n"};
    EXPECT_EQ(mRecord.narrow, narrow);
}

TEST_F(LuaPrintTest, WritesLongWideStringsInPiecesOf511Units) {
    std::u16string text;
    for (int i = 0; i < 1200; i++) {
        text += static_cast<char16_t>(0x0100 + i);
    }
    ASSERT_EQ(Print([&](lua_State* S) { lua_pushlwstring(S, text.data(), text.size()); }), 0);
    ASSERT_EQ(mRecord.wide.size(), 3u);
    EXPECT_EQ(mRecord.wide[0], text.substr(0, 511));
    EXPECT_EQ(mRecord.wide[1], text.substr(511, 511));
    EXPECT_EQ(mRecord.wide[2], text.substr(1022));
    EXPECT_EQ(mRecord.wide[2].size(), 178u);
    EXPECT_EQ(mRecord.order, "wwwn");
}

TEST_F(LuaPrintTest, DefaultOutputWritesWideTextAsUtf8) {
    gLuaPrintWrite = mOldNarrow;
    gLuaPrintWriteWide = mOldWide;
    ::testing::internal::CaptureStdout();
    ASSERT_EQ(Print([](lua_State* S) {
                  lua_pushwstring(S, u"a\x00e9\x263A\xD83D\xDE00");
                  lua_pushliteral(S, "b");
              }),
              0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "a\xc3\xa9\xe2\x98\xba\xf0\x9f\x98\x80\tb\n");
}

TEST_F(LuaPrintTest, UsesTheGlobalConvertersAndChecksTheirResults) {
    ASSERT_EQ(lua_dostring(L, "function tostring(v) return '<' .. type(v) .. '>' end "
                              "function towstring(v) return 5 end"),
              0);
    ASSERT_EQ(Print([](lua_State* S) {
                  lua_pushboolean(S, 1);
                  lua_pushwstring(S, u"x");
              }),
              0);
    EXPECT_EQ(mRecord.narrow[0], "<boolean>");
    // A number from towstring converts to the wide string of its text.
    ASSERT_EQ(mRecord.wide.size(), 1u);
    EXPECT_EQ(mRecord.wide[0], u"5");
    ASSERT_EQ(lua_dostring(L, "function tostring(v) return {} end"), 0);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Print([](lua_State* S) { lua_pushnumber(S, 1); }), LUA_ERRRUN);
    ::testing::internal::GetCapturedStderr();
    EXPECT_STREQ(lua_tostring(L, -1), "`tostring' must return a string to `print'");
}

} // namespace
