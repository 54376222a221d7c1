#include "tests/engine/script/script_fixture.h"

#include "engine/script/luabinding.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TRecorder {
    std::vector<std::string> calls;

    str Describe(double d, int i, str s, bool b) {
        calls.push_back(std::string(str::FromFormat("%g %d [%s] %d", d, i, s.CStr(), b).CStr()));
        return "described";
    }
    void Nothing() { calls.emplace_back("nothing"); }
    float Half(unsigned value) { return static_cast<float>(value) / 2; }
    bool Not(bool value) { return !value; }
    double Field(TLuaTable& table) { return table.GetNumber("v", -1); }
    int Raw(lua_State* state) {
        lua_pushnumber(state, lua_gettop(state));
        lua_pushstring(state, "second");
        return 2;
    }
};

// A class with two bases with data: a member of the second base needs the right sub-object.
struct TFirstBase {
    virtual ~TFirstBase() = default;
    int first = 1;
};
struct TSecondBase {
    virtual ~TSecondBase() = default;
    int second = 2;
    int GetSecond() { return second; }
};
struct TBoth : TFirstBase, TSecondBase {
    int GetBoth() { return first * 10 + second; }
};

int gPlainCalls = 0;
void Plain(str text) {
    if (text == str("go")) {
        ++gPlainCalls;
    }
}
int RawPlain(lua_State* state) {
    lua_pushstring(state, "raw");
    return 1;
}

// Published functions that fail with C++ exceptions.
struct TFailing {
    int calls = 0;
    double Explode(str what) {
        ++calls;
        throw std::runtime_error(what.CStr());
    }
    int RawExplode(lua_State*) {
        ++calls;
        throw std::logic_error("raw");
    }
};
void Refuse(int) {
    throw 7;
}

} // namespace

class LuaBindingTest : public ScriptTest {};

TEST_F(LuaBindingTest, ArgumentsAndResultsConvertAsLuaConvertsThem) {
    TRecorder recorder;
    LuaPublish(L, "Describe", &recorder, &TRecorder::Describe);
    LuaPublish(L, "Nothing", &recorder, &TRecorder::Nothing);
    LuaPublish(L, "Half", &recorder, &TRecorder::Half);
    LuaPublish(L, "Not", &recorder, &TRecorder::Not);
    Run("r1 = Describe(1.5, '7.9', 42, 0)\n"
        "r2 = Describe()\n"
        "r3 = Describe(-2, -3.7, 'x', nil)\n"
        "r4 = Nothing(1, 2, 3)\n"
        "r5 = Half(5)\n"
        "r6 = Not(false)\n");
    EXPECT_EQ(recorder.calls,
              (std::vector<std::string>{"1.5 7 [42] 1", "0 0 [] 0", "-2 -3 [x] 0", "nothing"}));
    EXPECT_EQ(GlobalText("r1"), "described");
    EXPECT_EQ(GlobalText("r4"), "");
    EXPECT_EQ(mScript->GetGlobalNumber("r5"), 2.5);
    PushGlobal("r6");
    EXPECT_EQ(lua_type(L, -1), LUA_TBOOLEAN);
    EXPECT_TRUE(lua_toboolean(L, -1));
    lua_pop(L, 1);
}

TEST_F(LuaBindingTest, TablesRawMembersAndPlainFunctions) {
    TRecorder recorder;
    LuaPublish(L, "Field", &recorder, &TRecorder::Field);
    LuaPublish(L, "Raw", &recorder, &TRecorder::Raw);
    LuaPublish(L, "Plain", &Plain);
    LuaPublish(L, "RawPlain", &RawPlain);
    gPlainCalls = 0;
    Run("f1 = Field({ v = 4 })\n"
        "f2 = Field(3)\n"
        "a, b = Raw(1, 2, 3)\n"
        "Plain('go') Plain('stop')\n"
        "p = RawPlain()\n");
    EXPECT_EQ(mScript->GetGlobalNumber("f1"), 4);
    EXPECT_EQ(mScript->GetGlobalNumber("f2"), -1);
    EXPECT_EQ(mScript->GetGlobalNumber("a"), 3);
    EXPECT_EQ(GlobalText("b"), "second");
    EXPECT_EQ(gPlainCalls, 1);
    EXPECT_EQ(GlobalText("p"), "raw");
}

TEST_F(LuaBindingTest, AMemberOfASecondBaseRunsOnItsSubObject) {
    TBoth both;
    LuaPublish(L, "GetSecond", &both, &TSecondBase::GetSecond);
    LuaPublish(L, "GetBoth", &both, &TBoth::GetBoth);
    Run("s = GetSecond(); b = GetBoth()");
    EXPECT_EQ(mScript->GetGlobalNumber("s"), 2);
    EXPECT_EQ(mScript->GetGlobalNumber("b"), 12);
}

TEST_F(LuaBindingTest, WithdrawnFunctionsRaiseAScriptErrorFromEveryCopy) {
    auto* gone = new TRecorder;
    TRecorder kept;
    LuaPublish(L, "Nothing", gone, &TRecorder::Nothing);
    LuaPublish(L, "Half", gone, &TRecorder::Half);
    LuaPublish(L, "KeptHalf", &kept, &TRecorder::Half);
    Run("local copy = Nothing\n"
        "saved = { Nothing, Half }\n"
        "function CallCopy() return pcall(copy) end");
    LuaWithdraw(L, "Nothing");
    PushGlobal("Nothing");
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
    Run("ok, message = CallCopy()");
    EXPECT_EQ(GlobalText("ok"), "");
    EXPECT_EQ(GlobalText("message"), "attempt to call a native function whose object is gone");

    LuaWithdrawObject(L, gone);
    delete gone;
    Run("ok2, message2 = pcall(saved[2], 4)\n"
        "globalGone = Half == nil\n"
        "k = KeptHalf(3)");
    EXPECT_EQ(GlobalText("message2"), "attempt to call a native function whose object is gone");
    PushGlobal("globalGone");
    EXPECT_TRUE(lua_toboolean(L, -1));
    lua_pop(L, 1);
    EXPECT_EQ(mScript->GetGlobalNumber("k"), 1.5);
    EXPECT_TRUE(kept.calls.empty());
}

TEST_F(LuaBindingTest, ClosuresOfWithdrawnFunctionsAreCollected) {
    // Replaced closures leave the record table: its size stays bounded however often a global
    // is published again.
    TRecorder recorder;
    const auto publish = [&](int times) {
        for (int i = 0; i < times; ++i) {
            LuaPublish(L, "Nothing", &recorder, &TRecorder::Nothing);
        }
        lua_setgcthreshold(L, 0);
        return lua_getgccount(L);
    };
    const int after2000 = publish(2000);
    EXPECT_LE(publish(20000), after2000 + 8);
}

TEST_F(LuaBindingTest, CppExceptionsBecomeScriptErrorsNamingThePublishedFunction) {
    TFailing failing;
    LuaPublish(L, "Explode", &failing, &TFailing::Explode);
    LuaPublish(L, "RawExplode", &failing, &TFailing::RawExplode);
    LuaPublish(L, "Refuse", &Refuse);
    const struct {
        const char* call;
        const char* message;
    } cases[] = {
        {"Explode('boom')", "[string \"test\"]:1: error in `Explode': boom"},
        {"RawExplode()", "[string \"test\"]:1: error in `RawExplode': raw"},
        {"Refuse(1)", "[string \"test\"]:1: unknown error in `Refuse'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        Run(("ok, message = pcall(function() " + std::string(c.call) + " end)").c_str());
        PushGlobal("ok");
        EXPECT_TRUE(lua_isboolean(L, -1) && !lua_toboolean(L, -1));
        lua_pop(L, 1);
        EXPECT_EQ(GlobalText("message"), c.message);
    }
    EXPECT_EQ(failing.calls, 2);

    // Uncaught, the error reaches the log like any script error.
    Run("function Go()\n"
        "  Explode('logged')\n"
        "end");
    mLogStart = mDir.Read("logs/logfile.txt").size();
    PushGlobal("Go");
    EXPECT_EQ(mScript->RunFunction(0, 0), LUA_ERRRUN);
    EXPECT_THAT(Logged(),
                testing::ElementsAre("Lua error: [string \"test\"]:2: error in `Explode': logged"));
}
