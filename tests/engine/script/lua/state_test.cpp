// States: opening and closing, memory accounting through the allocator hook, failures of every
// allocation, errors and protected calls, and the native-function parts of coroutines.
#include <gtest/gtest.h>

#include <string>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luastate.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

TEST(LuaStateOpen, OpenAndCloseReleaseEverything) {
    TTestAllocator alloc;
    lua_State* L = lua_open();
    ASSERT_NE(L, nullptr);
    EXPECT_GT(alloc.LiveBytes(), 0u);
    // Bytes in use as the state counts them equal what the allocator holds.
    EXPECT_EQ(G(L)->nblocks, alloc.LiveBytes());
    EXPECT_EQ(lua_gettop(L), 0);
    EXPECT_EQ(lua_type(L, LUA_GLOBALSINDEX), LUA_TTABLE);
    EXPECT_EQ(lua_type(L, LUA_REGISTRYINDEX), LUA_TTABLE);
    // The threshold starts at four times the bytes in use.
    EXPECT_EQ(G(L)->GCthreshold, 4 * G(L)->nblocks);
    lua_close(L);
    EXPECT_EQ(alloc.LiveBytes(), 0u);
    EXPECT_EQ(alloc.LiveBlocks(), 0u);
}

TEST(LuaStateOpen, FirstAllocationRefusedGivesNull) {
    TTestAllocator alloc;
    alloc.FailAt(1);
    EXPECT_EQ(lua_open(), nullptr);
    EXPECT_EQ(alloc.LiveBytes(), 0u);
}

TEST(LuaStateOpen, EveryRefusedAllocationDuringOpenGivesNullAndLeaksNothing) {
    TTestAllocator alloc;
    for (long k = 1;; k++) {
        alloc.FailAt(k);
        lua_State* L = lua_open();
        if (L != nullptr) {
            alloc.FailAt(0);
            EXPECT_GT(k, 5);
            lua_close(L);
            EXPECT_EQ(alloc.LiveBytes(), 0u);
            break;
        }
        EXPECT_EQ(alloc.LiveBytes(), 0u) << "k = " << k;
        ASSERT_LT(k, 10000);
    }
}

TEST(LuaStateOpen, NoScratchBufferUntilFirstConcatenation) {
    TTestAllocator alloc;
    alloc.mRecord = true;
    const unsigned saved = gLuaInitialBuffer;
    gLuaInitialBuffer = 0;
    lua_State* L = lua_open();
    ASSERT_NE(L, nullptr);
    EXPECT_EQ(G(L)->buff.buffer, nullptr);
    for (const auto& c : alloc.mCalls) {
        EXPECT_EQ(c.buffer, 0);
    }
    alloc.mCalls.clear();
    lua_pushstring(L, "ab");
    lua_pushstring(L, "cd");
    lua_concat(L, 2);
    EXPECT_STREQ(lua_tostring(L, -1), "abcd");
    int bufferCalls = 0;
    for (const auto& c : alloc.mCalls) {
        if (c.buffer) {
            bufferCalls++;
            EXPECT_EQ(c.oldsize, 0u);
            EXPECT_EQ(c.newsize, 32u); // the request, at least 32
        }
    }
    EXPECT_EQ(bufferCalls, 1);
    EXPECT_EQ(L->allocatingBuffer, 0);
    lua_close(L);
    gLuaInitialBuffer = saved;
}

TEST(LuaStateOpen, InitialBufferIsGrownAtOpen) {
    const unsigned saved = gLuaInitialBuffer;
    for (unsigned request : {1u, 32u, 100u}) {
        gLuaInitialBuffer = request;
        lua_State* L = lua_open();
        ASSERT_NE(L, nullptr);
        EXPECT_EQ(G(L)->buff.size, request < 32 ? 32u : request);
        lua_close(L);
    }
    gLuaInitialBuffer = saved;
}

// A workload that touches every kind of allocation the interface can make.
void Workload(lua_State* L) {
    lua_newtable(L);
    for (int i = 1; i <= 40; i++) {
        lua_pushnumber(L, i * 2);
        lua_rawseti(L, -2, i);
        lua_pushfstring(L, "key%d", i);
        lua_pushnumber(L, i);
        lua_settable(L, -3);
    }
    static const char16_t wide[] = u"wide text";
    lua_pushwstring(L, wide);
    lua_pushnumber(L, 7);
    lua_concat(L, 2);
    lua_pushboolean(L, 1);
    lua_settable(L, -3);
    void* block = lua_newuserdata(L, 24);
    std::memset(block, 0xAB, 24);
    lua_newtable(L);
    lua_setmetatable(L, -2);
    lua_pushstring(L, "ud");
    lua_insert(L, -2);
    lua_rawset(L, -3);
    lua_State* co = lua_newthread(L);
    lua_pushstring(co, "in thread");
    lua_pop(L, 1);
    lua_pushstring(L, "last");
    lua_pushvalue(L, -2);
    lua_pushcclosure(
        L, [](lua_State*) { return 0; }, 1);
    lua_settable(L, LUA_REGISTRYINDEX);
    for (int i = 0; i < 100; i++) {
        lua_pushnumber(L, i);
    }
    lua_setgcthreshold(L, 0);
    lua_settop(L, 0);
}

TEST(LuaStateMemory, RefusingEachAllocationOfAWorkloadLeavesAUsableStateAndNoLeak) {
    TTestAllocator alloc;
    long failures = 0;
    for (long k = 1;; k++) {
        alloc.Pause(true);
        lua_State* L = lua_open();
        ASSERT_NE(L, nullptr);
        lua_pushcfunction(L, [](lua_State* L) {
            Workload(L);
            return 0;
        });
        alloc.Pause(false);
        alloc.FailAt(k);
        const int status = lua_pcall(L, 0, 0, 0);
        alloc.Pause(true);
        if (status == 0) {
            lua_close(L);
            EXPECT_EQ(alloc.LiveBytes(), 0u);
            break;
        }
        failures++;
        EXPECT_EQ(status, LUA_ERRMEM) << "k = " << k;
        EXPECT_STREQ(lua_tostring(L, -1), "not enough memory");
        EXPECT_EQ(G(L)->nblocks, alloc.LiveBytes()) << "k = " << k;
        EXPECT_GE(LuaVerifyReachable(L), 0) << "k = " << k;
        // The state still works: the same workload runs through.
        lua_settop(L, 0);
        lua_pushcfunction(L, [](lua_State* L) {
            Workload(L);
            return 0;
        });
        EXPECT_EQ(lua_pcall(L, 0, 0, 0), 0) << "k = " << k;
        lua_close(L);
        EXPECT_EQ(alloc.LiveBytes(), 0u) << "k = " << k;
        ASSERT_LT(k, 100000);
    }
    EXPECT_GT(failures, 50);
}

TEST(LuaStateMemory, BlockTooBigIsARunTimeErrorWithoutCallingTheAllocator) {
    TTestAllocator alloc;
    lua_State* L = lua_open();
    ASSERT_NE(L, nullptr);
    const size_t before = G(L)->nblocks;
    alloc.mRecord = true;
    std::string msg;
    const int status = LuaProtectedRun(
        L, [](lua_State* L) { lua_newuserdata(L, 4294967293u); }, &msg);
    EXPECT_EQ(status, LUA_ERRRUN);
    EXPECT_EQ(msg, "memory allocation error: block too big");
    for (const auto& c : alloc.mCalls) {
        EXPECT_LT(c.newsize, 4294967293u);
    }
    lua_setgcthreshold(L, 0);
    // Only the scratch buffer that built the message remains.
    EXPECT_EQ(G(L)->nblocks, before + G(L)->buff.size);
    lua_close(L);
}

// Errors and protected calls.

int RaiseValue(lua_State* L) {
    lua_pushnumber(L, 42);
    return lua_error(L);
}

TEST_F(LuaStateTest, ErrorObjectReachesTheProtectedCaller) {
    lua_pushcfunction(L, RaiseValue);
    EXPECT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRRUN);
    EXPECT_EQ(lua_gettop(L), 1);
    EXPECT_EQ(lua_tonumber(L, -1), 42);
}

TEST_F(LuaStateTest, ErrorHandlerReplacesTheErrorObject) {
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushfstring(L, "handled %s", lua_typename(L, lua_type(L, 1)));
        return 1;
    });
    lua_pushcfunction(L, RaiseValue);
    EXPECT_EQ(lua_pcall(L, 0, 0, 1), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "handled number");
}

TEST_F(LuaStateTest, ErrorHandlerThatIsNotAFunctionGivesStatus5) {
    lua_pushnumber(L, 1);
    lua_pushcfunction(L, RaiseValue);
    EXPECT_EQ(lua_pcall(L, 0, 0, 1), LUA_ERRERR);
    EXPECT_STREQ(lua_tostring(L, -1), "error in error handling");
}

TEST_F(LuaStateTest, ResultsAreAdjustedToTheRequestedCount) {
    auto three = [](lua_State* L) {
        lua_pushnumber(L, 1);
        lua_pushnumber(L, 2);
        lua_pushnumber(L, 3);
        return 3;
    };
    struct Case {
        int wanted;
        int expectTop;
    } cases[] = {{0, 0}, {1, 1}, {5, 5}, {LUA_MULTRET, 3}};
    for (const Case& c : cases) {
        lua_settop(L, 0);
        lua_pushcfunction(L, three);
        lua_call(L, 0, c.wanted);
        ASSERT_EQ(lua_gettop(L), c.expectTop) << c.wanted;
        for (int i = 1; i <= c.expectTop; i++) {
            if (i <= 3) {
                EXPECT_EQ(lua_tonumber(L, i), i);
            } else {
                EXPECT_TRUE(lua_isnil(L, i));
            }
        }
    }
}

TEST_F(LuaStateTest, DeepNativeRecursionRaisesCStackOverflow) {
    // A closure that calls itself through its own upvalue (a table holding it).
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_pushcclosure(
        L,
        [](lua_State* L) {
            lua_rawgeti(L, lua_upvalueindex(1), 1);
            lua_call(L, 0, 0);
            return 0;
        },
        1);
    lua_pushvalue(L, -1);
    lua_rawseti(L, -3, 1);
    const int status = lua_pcall(L, 0, 0, 0);
    EXPECT_EQ(status, LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "C stack overflow");
    EXPECT_EQ(L->nCcalls, 0);
    // The state goes on working after the overflow.
    lua_pushcfunction(L, RaiseValue);
    EXPECT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRRUN);
}

TEST(LuaStatePanic, UnprotectedErrorEndsTheProcessWithStatus1) {
    EXPECT_EXIT(
        {
            lua_State* L = lua_open();
            lua_pushnumber(L, 1);
            lua_error(L);
        },
        ::testing::ExitedWithCode(1), "");
}

// Coroutines with native bodies.

TEST_F(LuaStateTest, ResumeStatusMessages) {
    lua_State* co = lua_newthread(L);
    EXPECT_EQ(lua_resume(co, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(co, -1), "cannot resume dead coroutine");

    lua_settop(co, 0);
    lua_pushcfunction(co, [](lua_State* L) {
        lua_pushnumber(L, lua_tonumber(L, 1) * 2);
        return 1;
    });
    lua_pushnumber(co, 21);
    EXPECT_EQ(lua_resume(co, 1), 0);
    ASSERT_EQ(lua_gettop(co), 1);
    EXPECT_EQ(lua_tonumber(co, 1), 42);
    // Finished: nothing left to resume.
    lua_settop(co, 0);
    EXPECT_EQ(lua_resume(co, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(co, -1), "cannot resume dead coroutine");
}

TEST_F(LuaStateTest, RunningCoroutineCannotBeResumed) {
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co, [](lua_State* L) {
        const int status = lua_resume(L, 0);
        lua_pushnumber(L, status);
        return 2;
    });
    EXPECT_EQ(lua_resume(co, 0), 0);
    ASSERT_EQ(lua_gettop(co), 2);
    EXPECT_STREQ(lua_tostring(co, 1), "cannot resume non-suspended coroutine");
    EXPECT_EQ(lua_tonumber(co, 2), LUA_ERRRUN);
}

TEST_F(LuaStateTest, NativeBodyYieldsAndIsResumed) {
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co, [](lua_State* L) {
        lua_pushstring(L, "yielded");
        return lua_yield(L, 1);
    });
    EXPECT_EQ(lua_resume(co, 0), 0);
    ASSERT_EQ(lua_gettop(co), 1);
    EXPECT_STREQ(lua_tostring(co, 1), "yielded");
    EXPECT_EQ(co->ci->state & CI_YIELD, CI_YIELD);
    lua_settop(co, 0);
    lua_pushstring(co, "back");
    EXPECT_EQ(lua_resume(co, 1), 0);
    ASSERT_EQ(lua_gettop(co), 1);
    EXPECT_STREQ(lua_tostring(co, 1), "back");
    EXPECT_EQ(co->ci, co->base_ci);
}

TEST_F(LuaStateTest, YieldBelowANativeCallIsRefused) {
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co, [](lua_State* L) {
        lua_pushcfunction(L, [](lua_State* L) { return lua_yield(L, 0); });
        lua_call(L, 0, 0);
        return 0;
    });
    EXPECT_EQ(lua_resume(co, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(co, -1), "attempt to yield across metamethod/C-call boundary");
}

TEST_F(LuaStateTest, ThreadHooksSeeCreationAndRelease) {
    static int created;
    static int freed;
    created = 0;
    freed = 0;
    gLuaNewThreadHook = [](lua_State*, lua_State*) { created++; };
    gLuaFreeThreadHook = [](lua_State*, lua_State*) { freed++; };
    lua_newthread(L);
    lua_newthread(L);
    EXPECT_EQ(created, 2);
    lua_pop(L, 1);
    lua_setgcthreshold(L, 0);
    EXPECT_EQ(freed, 1);
    lua_close(L);
    L = nullptr;
    EXPECT_EQ(freed, 2);
    gLuaNewThreadHook = nullptr;
    gLuaFreeThreadHook = nullptr;
}

} // namespace
