#include "tests/engine/script/script_fixture.h"

#include "engine/core/folders.h"
#include "engine/core/tasklist.h"
#include "engine/script/luawrapper.h"

#include <cmath>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Stands for the window script: hands a call to the waiting coroutine, which runs it and yields
// again.
class TResumingScript : public TScript {
public:
    int offers = 0;

protected:
    bool CallWhileSuspended() override {
        ++offers;
        lua_pushnil(GetState());
        lua_insert(GetState(), -2);
        return Resume(2) == 0;
    }
};

} // namespace

TEST_F(ScriptTest, InitDefinesTheEngineGlobalsAndLibraries) {
    Run("kinds = type(_ALERT) .. type(DebugOut) .. type(DumpTable) .. type(_SCRIPT) ..\n"
        "  type(string.pack) .. type(table.insert) .. type(coroutine.yield) .. type(math)");
    EXPECT_EQ(GlobalText("kinds"), "functionfunctionfunctionuserdatafunctionfunctionfunctionnil");
    PushGlobal("_SCRIPT");
    EXPECT_TRUE(lua_islightuserdata(L, -1));
    EXPECT_EQ(lua_touserdata(L, -1), mScript.get());
    lua_pop(L, 1);
    Run("DebugOut('ignored') DebugOut()");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTest, DumpTableWritesNestedEntriesThroughDebugOut) {
    Run("DebugOut = function(s) dumped = s end\n"
        "DumpTable({ x = { y = 'z' } })\n"
        "deep = _Internal_DumpTable({ a = 1 }, 12)\n"
        "flat = _Internal_DumpEntry('k', true, 0)");
    EXPECT_EQ(GlobalText("dumped"), "Dump Table: \n  x -> {\n    y -> z\n  }\n");
    EXPECT_EQ(GlobalText("deep"), "            ...\n");
    EXPECT_EQ(GlobalText("flat"), "k -> true\n");
}

TEST_F(ScriptTest, RunFunctionReturnsResultsAndRemovesTheHandler) {
    Run("function add(a, b) return a + b, a * b end");
    lua_pushstring(L, "below");
    PushGlobal("add");
    lua_pushnumber(L, 2);
    lua_pushnumber(L, 3);
    ASSERT_EQ(mScript->RunFunction(2, 2), 0);
    ASSERT_EQ(lua_gettop(L), 3);
    EXPECT_STREQ(lua_tostring(L, 1), "below");
    EXPECT_EQ(lua_tonumber(L, 2), 5);
    EXPECT_EQ(lua_tonumber(L, 3), 6);
}

TEST_F(ScriptTest, RunFunctionFailureLogsOnceAndLeavesTheStackAsFound) {
    Run("function boom() error('boom') end\n"
        "function nothing() error(nil) end\n"
        "function tbl() error({}) end");
    struct Case {
        const char* function;
        int nresults;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"boom", 1, {"Lua error: [string \"test\"]:1: boom"}},
        {"boom",
         2,
         {"Lua error: [string \"test\"]:1: boom",
          "TScript::RunFunction failure. Too many return results? (2, FAILURE CODE 1)"}},
        {"nothing", 0, {"Lua error: (error object is a nil value)"}},
        {"tbl", 0, {"Lua error: (error object is a table value)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function);
        mLogStart = mDir.Read("logs/logfile.txt").size();
        lua_pushstring(L, "below");
        PushGlobal(c.function);
        EXPECT_EQ(mScript->RunFunction(0, c.nresults), LUA_ERRRUN);
        EXPECT_EQ(lua_gettop(L), 1);
        EXPECT_EQ(Logged(), c.log);
        lua_settop(L, 0);
    }
}

TEST_F(ScriptTest, AFileReturningAFunctionRunsAsTheScriptsCoroutine) {
    WriteScript("co.lua", "step = 0\n"
                          "return function()\n"
                          "  step = 1; coroutine.yield()\n"
                          "  step = 2; coroutine.yield()\n"
                          "  step = 3\n"
                          "end\n");
    EXPECT_FALSE(mScript->IsYielded());
    EXPECT_EQ(mScript->GetElapsed(), -1);
    ASSERT_TRUE(mScript->RunScript("co.lua"));
    EXPECT_TRUE(mScript->IsYielded());
    EXPECT_EQ(mScript->GetGlobalNumber("step"), 1);
    EXPECT_NE(mScript->GetElapsed(), -1);

    TTaskList tasks;
    tasks.Add(mScript.get());
    tasks.Run(0);
    EXPECT_EQ(mScript->GetGlobalNumber("step"), 2);
    EXPECT_TRUE(mScript->IsYielded());
    tasks.Run(0);
    EXPECT_EQ(mScript->GetGlobalNumber("step"), 3);
    EXPECT_FALSE(mScript->IsYielded());
    EXPECT_EQ(mScript->GetElapsed(), -1);
    tasks.Run(0);
    EXPECT_EQ(mScript->GetGlobalNumber("step"), 3);
    tasks.Remove(mScript.get());
    EXPECT_THAT(Logged(), IsEmpty());
}

TEST_F(ScriptTest, ACoroutineErrorStopsItsTask) {
    WriteScript("bad.lua", "return function() coroutine.yield() error('late') end");
    ASSERT_TRUE(mScript->RunScript("bad.lua"));
    TTaskList tasks;
    tasks.Add(mScript.get());
    tasks.Run(0);
    tasks.Remove(mScript.get());
    EXPECT_FALSE(mScript->IsYielded());
    EXPECT_EQ(mScript->GetElapsed(), -1);
    EXPECT_THAT(Logged(), ElementsAre("lua_resume ERROR: bad.lua:1: late"));
}

TEST_F(ScriptTest, RunScriptReportsMissingBrokenAndFailingFiles) {
    WriteScript("syntax.lua", "x = = 1");
    WriteScript("fails.lua", "error('at load')");
    WriteScript("fine.lua", "loaded = 'yes'");
    lua_pushstring(L, "below");
    EXPECT_FALSE(mScript->RunScript("missing.lua"));
    EXPECT_FALSE(mScript->RunScript(""));
    // A file that is not there is named with the folder it was looked for from.
    const std::string folder = GetFullPath(".").CStr();
    EXPECT_THAT(Logged(), ElementsAre("TScript::RunScript: script file 'missing.lua' not found "
                                      "(looked for from " +
                                      folder + ")"));

    mLogStart = mDir.Read("logs/logfile.txt").size();
    EXPECT_FALSE(mScript->RunScript("syntax.lua"));
    EXPECT_THAT(Logged(), ElementsAre("Lua error: syntax.lua:1: unexpected symbol near `='"));

    mLogStart = mDir.Read("logs/logfile.txt").size();
    EXPECT_FALSE(mScript->RunScript("fails.lua"));
    EXPECT_THAT(Logged(), ElementsAre("Lua error: fails.lua:1: at load",
                                      "Failed to run script fails.lua: 1"));

    EXPECT_TRUE(mScript->RunScript("fine.lua"));
    EXPECT_EQ(GlobalText("loaded"), "yes");
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(ScriptTest, CallsIntoASuspendedScript) {
    WriteScript("wait.lua", "return function() while true do coroutine.yield('junk') end end");
    ASSERT_TRUE(mScript->RunScript("wait.lua"));
    ASSERT_TRUE(mScript->IsYielded());
    Run("function seven(a, b, c, d, e, f, g) return g end\n"
        "function pair(a, b) return a + b, a * b end\n"
        "function count(...) return arg.n end");

    // Two results: called directly, every argument arrives.
    PushGlobal("pair");
    lua_pushnumber(L, 2);
    lua_pushnumber(L, 3);
    const int below = lua_gettop(L) - 3;
    ASSERT_EQ(mScript->RunFunction(2, 2), 0);
    EXPECT_EQ(lua_gettop(L), below + 2);
    EXPECT_EQ(lua_tonumber(L, -2), 5);
    EXPECT_EQ(lua_tonumber(L, -1), 6);
    lua_settop(L, below);

    // One result: wrapped, so at most six arguments reach the function.
    PushGlobal("seven");
    for (int i = 1; i <= 7; ++i) {
        lua_pushnumber(L, i);
    }
    ASSERT_EQ(mScript->RunFunction(7, 1), 0);
    EXPECT_EQ(lua_gettop(L), below + 1);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_settop(L, below);

    PushGlobal("count");
    lua_pushnumber(L, 1);
    ASSERT_EQ(mScript->RunFunction(1, 1), 0);
    EXPECT_EQ(lua_tonumber(L, -1), 6);
    lua_settop(L, below);
    EXPECT_TRUE(mScript->IsYielded());
}

TEST_F(ScriptTest, ACallTakenOverBySuspendedCoroutineReturnsTheFunctionsResult) {
    TResumingScript script;
    lua_State* s = script.GetState();
    // The waiting loop runs each command it is handed and yields something else.
    script.DoLuaString("gRan = 0\n"
                       "function Loop()\n"
                       "  while true do\n"
                       "    local message, command = coroutine.yield('junk', 'more')\n"
                       "    if command then gRan = gRan + 1; command() end\n"
                       "  end\n"
                       "end\n"
                       "function GetLoop() return Loop end\n"
                       "function answer(a, b) return a * b end");
    // A function result starts the coroutine.
    lua_pushstring(s, "GetLoop");
    lua_gettable(s, LUA_GLOBALSINDEX);
    ASSERT_EQ(script.RunFunction(0, 1), 0);
    ASSERT_TRUE(script.IsYielded());

    lua_pushstring(s, "answer");
    lua_gettable(s, LUA_GLOBALSINDEX);
    lua_pushnumber(s, 6);
    lua_pushnumber(s, 7);
    ASSERT_EQ(script.RunFunction(2, 1), 0);
    EXPECT_EQ(script.offers, 1);
    EXPECT_EQ(lua_tonumber(s, -1), 42);
    lua_pop(s, 1);
    EXPECT_EQ(script.GetGlobalNumber("gRan"), 1);
    EXPECT_TRUE(script.IsYielded());
}

TEST_F(ScriptTest, DoLuaStringErrors) {
    Run("function LuaErrorMessage(m) got = m end");
    lua_pushstring(L, "below");

    // The error value does not stay: the stack is left as it was found.
    mScript->DoLuaString("x = = 1");
    EXPECT_THAT(Logged(), ElementsAre("DoLuaString Lua Error: [string \"x = = 1\"]:1: unexpected "
                                      "symbol near `='",
                                      "\twhen parsing x = = 1"));
    EXPECT_EQ(GlobalText("got"),
              "Lua Error: [string \"x = = 1\"]:1: unexpected symbol near `='\n\twhen parsing");
    ASSERT_EQ(lua_gettop(L), 1);
    EXPECT_STREQ(lua_tostring(L, 1), "below");

    Run("got = nil");
    mLogStart = mDir.Read("logs/logfile.txt").size();
    mScript->DoLuaString("error('run')");
    EXPECT_THAT(Logged(), ElementsAre("Lua error: [string \"error('run')\"]:1: run"));
    EXPECT_EQ(GlobalText("got"), "");
    EXPECT_EQ(lua_gettop(L), 1);

    // A handler that is no function is not called; one that fails does not end anything.
    for (const char* handler : {"LuaErrorMessage = 'text'", "LuaErrorMessage = function() "
                                                            "error('again') end"}) {
        Run(handler);
        mScript->DoLuaString("x = = 2");
        EXPECT_EQ(lua_gettop(L), 1);
    }
}

// Whatever a text did (started a coroutine that yielded, returned or failed at once, or failed
// itself), the stack ends where it began and the next text runs.
TEST_F(ScriptTest, DoLuaStringLeavesTheStackReadyForTheNextText) {
    struct Case {
        const char* before; // run first, may be null
        const char* text;
        bool yielded;
        double step;
    };
    const char* const waits = "return function() coroutine.yield() end";
    const Case cases[] = {
        {nullptr, "step = 1", false, 1},
        {nullptr, "return function() step = 1; coroutine.yield() end", true, 1},
        {nullptr, "return function() step = 1; coroutine.yield('a', 'b') end", true, 1},
        {nullptr, "return function() step = 1 end", false, 1},
        {nullptr, "return function() step = 1; return 1, 2 end", false, 1},
        {nullptr, "return function() step = 1; error('early') end", false, 1},
        {nullptr, "x = = 1", false, 0},
        {nullptr, "step = 1; error('run')", false, 1},
        {waits, "step = 1", true, 1},
        {waits, "x = = 1", true, 0},
        {waits, "step = 1; error('run')", true, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TScript script;
        lua_State* s = script.GetState();
        if (c.before != nullptr) {
            script.DoLuaString(c.before);
        }
        ASSERT_EQ(lua_gettop(s), 0);
        script.DoLuaString(c.text);
        EXPECT_EQ(lua_gettop(s), 0);
        EXPECT_EQ(script.IsYielded(), c.yielded);
        EXPECT_EQ(script.GetGlobalNumber("step"), c.step);

        mLogStart = mDir.Read("logs/logfile.txt").size();
        script.DoLuaString("y = 5");
        EXPECT_EQ(script.GetGlobalNumber("y"), 5);
        EXPECT_EQ(lua_gettop(s), 0);
        EXPECT_THAT(Logged(), IsEmpty());
    }
}

TEST_F(ScriptTest, DoLuaStringResults) {
    mScript->DoLuaString("return 1, 2", -1, 2);
    ASSERT_EQ(lua_gettop(L), 2);
    EXPECT_EQ(lua_tonumber(L, 1), 1);
    EXPECT_EQ(lua_tonumber(L, 2), 2);
    lua_settop(L, 0);
    mScript->DoLuaString("v = 5 -- the rest is cut off", 5);
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(mScript->GetGlobalNumber("v"), 5);
}

TEST_F(ScriptTest, GlobalsReadAndWrittenByName) {
    Run("n = 12; s = '12'; t = {}; b = true");
    lua_pushstring(L, "below");
    EXPECT_EQ(GlobalText("n"), "12");
    EXPECT_EQ(GlobalText("t"), "");
    EXPECT_EQ(GlobalText("none"), "");
    EXPECT_EQ(GlobalText("b"), "");
    EXPECT_EQ(mScript->GetGlobalNumber("s"), 12);
    EXPECT_EQ(mScript->GetGlobalNumber("none"), 0);
    EXPECT_EQ(mScript->GetGlobalTable("s"), nullptr);
    std::unique_ptr<TLuaTable> table(mScript->GetGlobalTable("t"));
    EXPECT_NE(table, nullptr);
    mScript->SetGlobalString("gs", "text");
    mScript->SetGlobalNumber("gn", 2.5);
    Run("same = gs == 'text' and gn == 2.5");
    PushGlobal("same");
    EXPECT_TRUE(lua_toboolean(L, -1));
    lua_pop(L, 1);
    EXPECT_EQ(lua_gettop(L), 1);
}

TEST_F(ScriptTest, PopBoolByType) {
    struct Case {
        const char* value;
        bool expected;
        const char* log;
    };
    const Case cases[] = {
        {"nil", false, nullptr},
        {"false", false, nullptr},
        {"true", true, nullptr},
        {"0", false, nullptr},
        {"-2", true, nullptr},
        {"0/0", true, nullptr},
        {"'yes'", false, "PopBool used on lua string yes"},
        {"{}", false, "PopBool used on a type that isn't a number, a boolean, or nil. (type: 5)"},
        {"coroutine.create(function() end)", false,
         "PopBool used on a type that isn't a number, a boolean, or nil. (type: 8)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        mLogStart = mDir.Read("logs/logfile.txt").size();
        lua_pushstring(L, "below");
        mScript->DoLuaString(str("return ") + c.value, -1, 1);
        EXPECT_EQ(mScript->PopBool(), c.expected);
        EXPECT_EQ(lua_gettop(L), 1);
        if (c.log != nullptr) {
            EXPECT_THAT(Logged(), ElementsAre(c.log));
        } else {
            EXPECT_THAT(Logged(), IsEmpty());
        }
        lua_settop(L, 0);
    }
}

TEST_F(ScriptTest, PopNumberStringAndColor) {
    mScript->DoLuaString("return '7', 8, {1, 0.5, 'x'}, 'nope'", -1, 4);
    const TColor none = mScript->PopColor();
    EXPECT_EQ(none.r + none.g + none.b + none.a, 0);
    const TColor color = mScript->PopColor();
    EXPECT_EQ(color.r, 1);
    EXPECT_EQ(color.g, 0.5f);
    EXPECT_EQ(color.b, 0);
    EXPECT_EQ(color.a, 0);
    EXPECT_STREQ(mScript->PopString().CStr(), "8");
    EXPECT_EQ(mScript->PopNumber(), 7);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTest, AdoptedWrappersGoBeforeTheNextRun) {
    struct TCounted : TLuaObjectWrapper {
        int* deaths;
        TCounted(lua_State* s, int* d) : TLuaObjectWrapper(s), deaths(d) {}
        ~TCounted() override { ++*deaths; }
    };
    int deaths = 0;
    lua_newtable(L);
    TLuaTable::AutoRelease(new TCounted(L, &deaths));
    lua_newtable(L);
    TLuaTable::AutoRelease(new TCounted(L, &deaths));
    EXPECT_EQ(deaths, 0);
    Run("function f() end");
    PushGlobal("f");
    ASSERT_EQ(mScript->RunFunction(0, 0), 0);
    EXPECT_EQ(deaths, 2);

    lua_newtable(L);
    TLuaTable::AutoRelease(new TCounted(L, &deaths));
    mScript.reset();
    EXPECT_EQ(deaths, 3);
}

TEST_F(ScriptTest, AnOwnerReplacesClosingTheState) {
    struct TStateOwner : TScriptOwner {
        lua_State* state;
        bool* closed;
        TStateOwner(lua_State* s, bool* c) : state(s), closed(c) {}
        ~TStateOwner() override {
            lua_close(state);
            *closed = true;
        }
    };
    bool closed = false;
    auto* script = new TScript(lua_open());
    script->SetOwner(new TStateOwner(script->GetState(), &closed));
    delete script;
    EXPECT_TRUE(closed);
}

TEST_F(ScriptTest, AutoReleaseWithoutAScriptKeepsTheWrapperForItsOwner) {
    lua_State* bare = lua_open();
    lua_pushnumber(bare, 3);
    auto* wrapper = new TLuaObjectWrapper(bare);
    TLuaTable::AutoRelease(wrapper);
    EXPECT_THAT(
        Logged(),
        ElementsAre("TLuaTable::AutoRelease: no script owns this state; the wrapper is kept"));
    EXPECT_EQ(wrapper->ToNumber(), 3);
    delete wrapper;
    lua_close(bare);
}
