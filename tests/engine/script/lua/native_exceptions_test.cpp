// C++ exceptions leaving native functions: what scripts, protected calls and coroutines see, and
// that the machine's own errors pass the native-call boundary unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/lua/luastate.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

// Objects of the throwing function still alive; its exception must have unwound them.
int gLive = 0;
struct TGuard {
    TGuard() { ++gLive; }
    ~TGuard() { --gLive; }
    TGuard(const TGuard&) = delete;
    TGuard& operator=(const TGuard&) = delete;
};

struct TCustomError : std::exception {
    const char* what() const noexcept override { return "custom failure"; }
};

int Throws(lua_State*) {
    TGuard guard;
    throw std::runtime_error("boom");
}
int ThrowsCustom(lua_State*) {
    throw TCustomError();
}
int ThrowsInt(lua_State*) {
    throw 42;
}
int ThrowsAlloc(lua_State*) {
    throw std::bad_alloc();
}
int Raises(lua_State* L) {
    return luaL_error(L, "plain %d", 7);
}
void PushGlobal(lua_State* L, const char* name) {
    lua_pushstring(L, name);
    lua_gettable(L, LUA_GLOBALSINDEX);
}
// error(...) with this function's arguments, called from native code.
int CallsError(lua_State* L) {
    const int n = lua_gettop(L);
    PushGlobal(L, "error");
    lua_insert(L, 1);
    lua_call(L, n, 0);
    return 0;
}
// throws() called from native code: its error reaches this function's caller as it is.
int CallsThrows(lua_State* L) {
    PushGlobal(L, "throws");
    lua_call(L, 0, 0);
    return 0;
}

class LuaNativeExceptions : public LuaStateTest {
protected:
    void SetUp() override {
        LuaStateTest::SetUp();
        luaopen_base(L);
        lua_settop(L, 0);
        lua_register(L, "throws", Throws);
        lua_register(L, "custom", ThrowsCustom);
        lua_register(L, "throwsint", ThrowsInt);
        lua_register(L, "throwsalloc", ThrowsAlloc);
        lua_register(L, "raises", Raises);
        lua_register(L, "callserror", CallsError);
        lua_register(L, "callsthrows", CallsThrows);
    }
    // Runs a chunk named "t" that returns (ok, message).
    void Expect(const char* code, const std::string& message) {
        SCOPED_TRACE(code);
        lua_settop(L, 0);
        ASSERT_EQ(luaL_loadbuffer(L, code, std::strlen(code), "t"), 0) << lua_tostring(L, -1);
        ASSERT_EQ(lua_pcall(L, 0, 2, 0), 0) << lua_tostring(L, -1);
        EXPECT_TRUE(lua_isboolean(L, 1) && !lua_toboolean(L, 1));
        EXPECT_EQ(lua_isstring(L, 2) ? lua_tostring(L, 2) : "(not a string)", message);
        EXPECT_EQ(gLive, 0);
        EXPECT_EQ(L->nCcalls, 0);
        lua_settop(L, 0);
    }
};

TEST_F(LuaNativeExceptions, ScriptsSeeTheTextAndTheFunctionsName) {
    const struct {
        const char* code;
        const char* message;
    } cases[] = {
        {"return pcall(function() throws() end)", "[string \"t\"]:1: error in `throws': boom"},
        {"return pcall(function() local f = throws; f() end)",
         "[string \"t\"]:1: error in `f': boom"},
        {"return pcall(function() local o = {m = throws}; o:m() end)",
         "[string \"t\"]:1: error in `m': boom"},
        {"return pcall(function() local t = {throws}; t[1]() end)",
         "[string \"t\"]:1: error in `?': boom"},
        // Called by a native function: no position, the name found among the globals.
        {"return pcall(throws)", "error in `throws': boom"},
        {"return pcall(function() custom() end)",
         "[string \"t\"]:1: error in `custom': custom failure"},
        {"return pcall(function() throwsint() end)",
         "[string \"t\"]:1: unknown error in `throwsint'"},
        {"return pcall(function() throwsalloc() end)", "not enough memory"},
        // An error raised below another native function is not renamed after it.
        {"return pcall(function() callsthrows() end)", "error in `throws': boom"},
    };
    for (const auto& c : cases) {
        Expect(c.code, c.message);
    }
}

TEST_F(LuaNativeExceptions, TheMachinesOwnErrorsPassUnchanged) {
    Expect("return pcall(function() raises() end)", "[string \"t\"]:1: plain 7");
    Expect("return pcall(function() callserror('x') end)", "x");
    Expect("return pcall(function() callserror('x', 2) end)", "[string \"t\"]:1: x");
    const char* code = "local e = {}; local ok, got = pcall(callserror, e); return ok, got == e";
    ASSERT_EQ(luaL_loadbuffer(L, code, std::strlen(code), "t"), 0);
    ASSERT_EQ(lua_pcall(L, 0, 2, 0), 0) << lua_tostring(L, -1);
    EXPECT_FALSE(lua_toboolean(L, 1));
    EXPECT_TRUE(lua_toboolean(L, 2)) << "the error object itself, not a text about it";
}

TEST_F(LuaNativeExceptions, CoroutinesReportThroughResume) {
    Expect("return coroutine.resume(coroutine.create(function() throws() end))",
           "[string \"t\"]:1: error in `throws': boom");
    // Thrown after a yield, in a resumed frame; the coroutine is dead afterwards.
    Expect("local co = coroutine.create(function() coroutine.yield() throwsint() end)\n"
           "coroutine.resume(co)\n"
           "local ok, m = coroutine.resume(co)\n"
           "return ok, coroutine.status(co) .. ' ' .. m",
           "dead [string \"t\"]:1: unknown error in `throwsint'");
    // A native function as the body of a coroutine resumed from native code.
    lua_State* co = lua_newthread(L);
    PushGlobal(co, "throws");
    EXPECT_EQ(lua_resume(co, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(co, -1), "error in `throws': boom");
    EXPECT_EQ(gLive, 0);
}

int Handler(lua_State* L) {
    lua_pushfstring(L, "handled: %s", lua_tostring(L, 1));
    return 1;
}

TEST_F(LuaNativeExceptions, ProtectedCallsFromNativeCodeGetStatusAndMessage) {
    const struct {
        const char* function;
        lua_CFunction handler;
        int status;
        const char* message;
    } cases[] = {
        // Raised as luaL_error raises: through the error handler.
        {"throws", Handler, LUA_ERRRUN, "handled: error in `throws': boom"},
        {"throwsint", Handler, LUA_ERRRUN, "handled: unknown error in `throwsint'"},
        // Memory errors skip the handler, as the machine's own do.
        {"throwsalloc", Handler, LUA_ERRMEM, "not enough memory"},
        // A handler that throws in turn fails as any failing handler does.
        {"throws", Throws, LUA_ERRERR, "error in error handling"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.function);
        lua_settop(L, 0);
        lua_pushcfunction(L, c.handler);
        PushGlobal(L, c.function);
        EXPECT_EQ(lua_pcall(L, 0, 0, 1), c.status);
        ASSERT_EQ(lua_gettop(L), 2);
        EXPECT_STREQ(lua_tostring(L, 2), c.message);
        EXPECT_EQ(gLive, 0);
        EXPECT_EQ(L->nCcalls, 0);
    }
}

// A foreign exception from below a native function's own calls (here a return hook inside the
// Lua function it calls) is raised on that native function's frame.
bool gHookArmed = false;
void ThrowingHook(lua_State*, lua_Debug*) {
    if (gHookArmed) {
        gHookArmed = false;
        throw std::runtime_error("hooked");
    }
}
int CallsBack(lua_State* L) {
    PushGlobal(L, "cb");
    gHookArmed = true;
    lua_call(L, 0, 0);
    return 0;
}

TEST_F(LuaNativeExceptions, AnExceptionFromADeeperFrameIsRaisedOnTheNativeFrame) {
    lua_register(L, "callsback", CallsBack);
    L->hook = ThrowingHook;
    L->hookmask = LUA_MASKRET;
    Expect("function cb() local x = 1 end\n"
           "return pcall(function()\n"
           "  callsback()\n"
           "end)",
           "[string \"t\"]:3: error in `callsback': hooked");
    L->hookmask = 0;
    L->hook = nullptr;
    Expect("return pcall(function() throws() end)", "[string \"t\"]:1: error in `throws': boom");
}

} // namespace
