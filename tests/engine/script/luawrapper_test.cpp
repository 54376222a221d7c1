#include "tests/engine/script/script_fixture.h"

#include "engine/script/luawrapper.h"

#include <map>
#include <memory>

using ::testing::ElementsAre;

namespace {

int gCollected = 0;

int CountCollection(lua_State*) {
    ++gCollected;
    return 0;
}

} // namespace

class LuaWrapperTest : public ScriptTest {
protected:
    std::unique_ptr<TLuaTable> Table(const char* expression) {
        mScript->DoLuaString(str("return ") + expression, -1, 1);
        return std::make_unique<TLuaTable>(L);
    }
};

TEST_F(LuaWrapperTest, AWrapperPopsItsValueAndReleasesItOnDestruction) {
    gCollected = 0;
    lua_newuserdata(L, 8);
    lua_newtable(L);
    lua_pushstring(L, "__gc");
    lua_pushcclosure(L, &CountCollection, 0);
    lua_rawset(L, -3);
    lua_setmetatable(L, -2);
    auto* wrapper = new TLuaObjectWrapper(L);
    EXPECT_EQ(lua_gettop(L), 0);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(gCollected, 0);
    delete wrapper;
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(gCollected, 1);
}

TEST_F(LuaWrapperTest, TwoWrappersOfOneTableAreIndependent) {
    Run("shared = { v = 3 }");
    PushGlobal("shared");
    auto* first = new TLuaTable(L);
    PushGlobal("shared");
    TLuaTable second(L);
    Run("shared = nil");
    delete first;
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(second.GetNumber("v", 0), 3);
}

TEST_F(LuaWrapperTest, TypedReadsConvertOrGiveTheDefault) {
    auto table = Table("{ n = 12, s = '12', t = {}, b = false, w = towstring('5'), [2] = 'two' }");
    lua_pushstring(L, "below");
    struct Case {
        const char* field;
        double number;
        const char* text;
        bool flag;
    };
    const Case cases[] = {
        {"n", 12, "12", true}, {"s", 12, "12", true}, {"t", 0, "", true},
        {"b", 0, "", false},   {"w", 5, "", true},    {"missing", -1, "def", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(table->GetNumber(c.field, -1), c.number);
        EXPECT_STREQ(table->GetString(c.field, "def").CStr(), c.text);
        EXPECT_EQ(table->GetBool(c.field, true), c.flag);
    }
    EXPECT_STREQ(table->GetStringAt(2, "def").CStr(), "two");
    EXPECT_EQ(table->GetNumberAt(3, 9), 9);
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaWrapperTest, ReadsOfAWrapperHoldingNoTableGiveDefaults) {
    lua_pushnumber(L, 4);
    TLuaTable notTable(L);
    EXPECT_EQ(notTable.GetNumber("x", 7), 7);
    EXPECT_STREQ(notTable.GetString("x", "d").CStr(), "d");
    EXPECT_EQ(notTable.GetTable("x"), nullptr);
    EXPECT_EQ(notTable.GetCount(), 0);
    const TColor color = notTable.GetColorAt(1, TColor{1, 2, 3, 4});
    EXPECT_EQ(color.b, 3);
    TLuaObjectWrapper* key = nullptr;
    EXPECT_EQ(notTable.Next(&key), nullptr);
    EXPECT_EQ(lua_gettop(L), 0);
    const TColor popped = mScript->PopColor();
    EXPECT_EQ(popped.r, 0);
}

TEST_F(LuaWrapperTest, NestedGettersAndColors) {
    auto table = Table("{ sub = { 1, 2, n = 5 }, f = print, colors = { { 1, 0.5 }, 'x' } }");
    std::unique_ptr<TLuaTable> sub(table->GetTable("sub"));
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->GetCount(), 5);
    EXPECT_EQ(table->GetTable("f"), nullptr);
    std::unique_ptr<TLuaFunction> function(table->GetFunction("f"));
    EXPECT_NE(function, nullptr);
    EXPECT_EQ(table->GetFunction("sub"), nullptr);
    std::unique_ptr<TLuaTable> colors(table->GetTable("colors"));
    const TColor fallback{0.1f, 0.2f, 0.3f, 0.4f};
    const TColor color = colors->GetColorAt(1, fallback);
    EXPECT_EQ(color.r, 1);
    EXPECT_EQ(color.g, 0.5f);
    EXPECT_EQ(color.b, 0.3f);
    EXPECT_EQ(color.a, 0.4f);
    EXPECT_EQ(colors->GetColorAt(2, fallback).r, 0.1f);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LuaWrapperTest, NextVisitsEveryEntryOnce) {
    auto empty = Table("{}");
    TLuaObjectWrapper* key = nullptr;
    EXPECT_EQ(empty->Next(&key), nullptr);
    EXPECT_EQ(key, nullptr);

    auto table = Table("{ a = 1, b = 2, 30 }");
    std::map<std::string, double> seen;
    TLuaObjectWrapper* value = table->Next(&key);
    while (value != nullptr) {
        seen[key->ToString().CStr()] = value->ToNumber();
        delete value;
        value = table->Next(&key);
    }
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(seen, (std::map<std::string, double>{{"1", 30}, {"a", 1}, {"b", 2}}));
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(LuaWrapperTest, ValueKindsOfAPlainWrapper) {
    struct Case {
        const char* value;
        bool isString;
        bool isNumber;
        const char* text;
        double number;
    };
    const Case cases[] = {
        {"'12'", true, true, "12", 12}, {"'x'", true, false, "x", 0},
        {"3", true, true, "3", 3},      {"towstring('7')", true, true, "", 7},
        {"{}", false, false, "", 0},    {"nil", false, false, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        mScript->DoLuaString(str("return ") + c.value, -1, 1);
        TLuaObjectWrapper wrapper(L);
        EXPECT_EQ(wrapper.IsString(), c.isString);
        EXPECT_EQ(wrapper.IsNumber(), c.isNumber);
        EXPECT_STREQ(wrapper.ToString().CStr(), c.text);
        EXPECT_EQ(wrapper.ToNumber(), c.number);
        EXPECT_EQ(lua_gettop(L), 0);
    }
}

TEST_F(LuaWrapperTest, CallWithAlert) {
    lua_pushstring(L, "below");
    // A function returned to DoLuaString would start as the script's coroutine: take it from a
    // global instead.
    Run("good = function() return 'result' end\n"
        "bad = function() error('bad') end");
    PushGlobal("good");
    TLuaFunction good(L);
    EXPECT_EQ(good.CallWithAlert(), 0);
    ASSERT_EQ(lua_gettop(L), 2);
    EXPECT_STREQ(lua_tostring(L, 2), "result");
    EXPECT_STREQ(lua_tostring(L, 1), "below");
    lua_settop(L, 1);

    PushGlobal("bad");
    TLuaFunction bad(L);
    EXPECT_EQ(bad.CallWithAlert(), LUA_ERRRUN);
    EXPECT_EQ(lua_gettop(L), 2);
    EXPECT_STREQ(lua_tostring(L, 1), "below");
    lua_settop(L, 1);
    EXPECT_THAT(Logged(), ElementsAre("Lua error: [string \"test\"]:2: bad"));

    lua_pushnumber(L, 1);
    TLuaFunction notFunction(L);
    EXPECT_EQ(notFunction.CallWithAlert(), 0);
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(LuaWrapperTest, StringHelpers) {
    LuaPushStr(L, str());
    EXPECT_EQ(lua_type(L, -1), LUA_TSTRING);
    EXPECT_EQ(lua_strlen(L, -1), 0u);
    LuaPushStr(L, "abc");
    EXPECT_STREQ(LuaGetString(L, -1).CStr(), "abc");
    lua_pushnumber(L, 1.5);
    EXPECT_STREQ(LuaGetString(L, -1).CStr(), "1.5");
    lua_pushnil(L);
    EXPECT_STREQ(LuaGetString(L, -1).CStr(), "");
    EXPECT_STREQ(LuaGetString(L, 10).CStr(), "");
}
