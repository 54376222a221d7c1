// Calls across the native boundary, the call-depth limits, coroutines of Lua functions with their
// errors and yields, the debug interface (activation records and names) and the code checker.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luastate.h"
#include "tests/engine/script/lua/luaasm.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

using namespace luaasm;

int Yield(lua_State* L) {
    return lua_yield(L, lua_gettop(L));
}

class LuaCalls : public LuaStateTest {
protected:
    void SetUp() override {
        LuaStateTest::SetUp();
        SetGlobal("yield", Yield);
    }
    void SetGlobal(const char* name, lua_CFunction fn) {
        lua_pushstring(L, name);
        lua_pushcfunction(L, fn);
        lua_settable(L, LUA_GLOBALSINDEX);
    }
    void SetGlobal(const char* name, const Func& f) {
        lua_pushstring(L, name);
        Push(L, f);
        lua_settable(L, LUA_GLOBALSINDEX);
    }
    // A new coroutine (kept in the registry) running f.
    lua_State* NewCoroutine(const Func& f) {
        lua_State* co = lua_newthread(L);
        lua_pushvalue(L, -1);
        lua_rawseti(L, LUA_REGISTRYINDEX, ++mThreads);
        lua_pop(L, 1);
        Push(co, f);
        return co;
    }
    // Resumes co with the numbers given; returns the status and collects what it left.
    int Resume(lua_State* co, std::vector<double> args) {
        for (double a : args) {
            lua_pushnumber(co, a);
        }
        const int status = lua_resume(co, static_cast<int>(args.size()));
        mOut.clear();
        mMsg.clear();
        if (status != 0) {
            mMsg = lua_isstring(co, -1) ? lua_tostring(co, -1) : "<no message>";
            lua_pop(co, 1);
        } else {
            for (int i = 1; i <= lua_gettop(co); i++) {
                mOut.push_back(lua_tonumber(co, i));
            }
            lua_settop(co, 0);
        }
        return status;
    }
    int mThreads = 0;
    std::vector<double> mOut;
    std::string mMsg;
};

// function(x) local a = yield(x + 1); local b = yield(a * 2); return a + b end
Func TwoYields() {
    Func f;
    f.numparams = 1;
    const int kyield = f.Str("yield");
    const int k1 = f.Num(1);
    const int k2 = f.Num(2);
    f.ABx(GETGLOBAL, 1, kyield);
    f.ABC(ADD, 2, 0, RK(k1));
    f.ABC(CALL, 1, 2, 2); // a
    f.ABx(GETGLOBAL, 2, kyield);
    f.ABC(MUL, 3, 1, RK(k2));
    f.ABC(CALL, 2, 2, 2); // b
    f.ABC(ADD, 3, 1, 2);
    f.ABC(RETURN, 3, 2, 0);
    return f;
}

TEST_F(LuaCalls, LuaCoroutineYieldsAndResumes) {
    lua_State* co = NewCoroutine(TwoYields());
    ASSERT_EQ(Resume(co, {10}), 0) << mMsg;
    EXPECT_EQ(mOut, std::vector<double>{11});
    ASSERT_EQ(Resume(co, {5}), 0) << mMsg;
    EXPECT_EQ(mOut, std::vector<double>{10});
    ASSERT_EQ(Resume(co, {7}), 0) << mMsg;
    EXPECT_EQ(mOut, std::vector<double>{12});
    EXPECT_EQ(Resume(co, {}), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "cannot resume dead coroutine");
}

// The yield happens two Lua calls deep; the whole chain is suspended and continues.
TEST_F(LuaCalls, YieldFromNestedLuaCalls) {
    SetGlobal("inner", TwoYields());
    Func outer; // function(x) return inner(x) * 100 end  (a plain call, then arithmetic)
    outer.numparams = 1;
    const int kinner = outer.Str("inner");
    const int k100 = outer.Num(100);
    outer.ABx(GETGLOBAL, 1, kinner);
    outer.ABC(COPY, 2, 0, 0);
    outer.ABC(CALL, 1, 2, 2);
    outer.ABC(MUL, 1, 1, RK(k100));
    outer.ABC(RETURN, 1, 2, 0);
    lua_State* co = NewCoroutine(outer);
    ASSERT_EQ(Resume(co, {1}), 0) << mMsg;
    EXPECT_EQ(mOut, std::vector<double>{2});
    ASSERT_EQ(Resume(co, {3}), 0) << mMsg;
    EXPECT_EQ(mOut, std::vector<double>{6});
    ASSERT_EQ(Resume(co, {4}), 0) << mMsg;
    EXPECT_EQ(mOut, std::vector<double>{700});
}

TEST_F(LuaCalls, ErrorInsideCoroutineKillsIt) {
    Func f; // yield(); return nil + 1
    const int kyield = f.Str("yield");
    const int k1 = f.Num(1);
    f.ABx(GETGLOBAL, 0, kyield);
    f.ABC(CALL, 0, 1, 1);
    f.line = 4;
    f.ABC(LOADNIL, 0, 0, 0);
    f.ABC(ADD, 0, 0, RK(k1));
    f.ABC(RETURN, 0, 2, 0);
    lua_State* co = NewCoroutine(f);
    ASSERT_EQ(Resume(co, {}), 0);
    EXPECT_EQ(Resume(co, {}), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "asm:4: attempt to perform arithmetic on a nil value");
    EXPECT_EQ(Resume(co, {}), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "cannot resume dead coroutine");
    // The resumer's state is untouched.
    EXPECT_EQ(lua_gettop(L), 0);
}

// Yields that would have to cross a native-level call fail inside the coroutine, as errors a
// protected call catches there.
TEST_F(LuaCalls, YieldAcrossNativeBoundaries) {
    SetGlobal("pcallyield", [](lua_State* L) {
        lua_pushcfunction(L, Yield);
        const int status = lua_pcall(L, 0, 0, 0);
        lua_pushnumber(L, status);
        lua_insert(L, -2);
        return 2;
    });
    Func f; // return pcallyield()
    const int k = f.Str("pcallyield");
    f.ABx(GETGLOBAL, 0, k);
    f.ABC(CALL, 0, 1, 0);
    f.ABC(RETURN, 0, 0, 0);
    lua_State* co = NewCoroutine(f);
    ASSERT_EQ(lua_resume(co, 0), 0);
    ASSERT_EQ(lua_gettop(co), 2);
    EXPECT_EQ(lua_tonumber(co, 1), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(co, 2), "attempt to yield across metamethod/C-call boundary");

    // A yield from an __index handler.
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__index");
    lua_pushcfunction(L, Yield);
    lua_settable(L, -3);
    lua_setmetatable(L, -2);
    lua_pushstring(L, "obj");
    lua_insert(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
    Func g; // return obj.x
    const int kobj = g.Str("obj");
    const int kx = g.Str("x");
    g.ABx(GETGLOBAL, 0, kobj);
    g.ABC(GETINDEX, 0, 0, RK(kx));
    g.ABC(RETURN, 0, 2, 0);
    lua_State* co2 = NewCoroutine(g);
    EXPECT_EQ(Resume(co2, {}), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "attempt to yield across metamethod/C-call boundary");

    // A native iterator of a generic for cannot yield either.
    Func h; // for k in yield do end
    const int kyh = h.Str("yield");
    h.ABx(GETGLOBAL, 0, kyh);
    const int prep = h.AsBx(JUMP, 0, 0);
    const int loop = h.ABC(ITERLOOP, 0, 0, 0);
    const int back = h.AsBx(JUMP, 0, 0);
    h.PatchTo(prep, loop);
    h.PatchTo(back, loop);
    h.ABC(RETURN, 0, 1, 0);
    lua_State* co3 = NewCoroutine(h);
    EXPECT_EQ(Resume(co3, {}), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "attempt to yield across metamethod/C-call boundary");
}

// A coroutine that resumes itself, or is resumed while it runs, is not suspended.
TEST_F(LuaCalls, ResumingARunningCoroutine) {
    SetGlobal("resumeself", [](lua_State* L) {
        const int status = lua_resume(L, 0);
        lua_pushnumber(L, status);
        return 2;
    });
    Func f;
    const int k = f.Str("resumeself");
    f.ABx(GETGLOBAL, 0, k);
    f.ABC(CALL, 0, 1, 0);
    f.ABC(RETURN, 0, 0, 0);
    lua_State* co = NewCoroutine(f);
    ASSERT_EQ(lua_resume(co, 0), 0);
    ASSERT_EQ(lua_gettop(co), 2);
    EXPECT_STREQ(lua_tostring(co, 1), "cannot resume non-suspended coroutine");
    EXPECT_EQ(lua_tonumber(co, 2), LUA_ERRRUN);
}

// A Lua iterator runs in the loop's own activation, so it may yield the coroutine.
TEST_F(LuaCalls, LuaIteratorMayYield) {
    Func iter; // function(s, c) if c < 3 then yield(c); return c + 1 end end
    iter.numparams = 2;
    const int kyield = iter.Str("yield");
    const int k3 = iter.Num(3);
    const int k1 = iter.Num(1);
    iter.ABC(LESS, 1, 1, RK(k3));
    iter.AsBx(JUMP, 0, 1);
    iter.ABC(RETURN, 0, 1, 0);
    iter.ABx(GETGLOBAL, 2, kyield);
    iter.ABC(COPY, 3, 1, 0);
    iter.ABC(CALL, 2, 2, 1);
    iter.ABC(ADD, 2, 1, RK(k1));
    iter.ABC(RETURN, 2, 2, 0);
    Func f; // local n = 0; for c in iter, nil, 0 do n = n + c end; return n
    const int p = f.Sub(iter);
    const int k0 = f.Num(0);
    f.ABx(LOADCONST, 0, k0);
    f.ABx(CLOSURE, 1, p);
    f.ABC(LOADNIL, 2, 2, 0);
    f.ABx(LOADCONST, 3, k0);
    const int jmp = f.AsBx(JUMP, 0, 0);
    const int body = f.ABC(ADD, 0, 0, 3);
    const int loop = f.ABC(ITERLOOP, 1, 0, 0);
    const int back = f.AsBx(JUMP, 0, 0);
    f.PatchTo(jmp, loop);
    f.PatchTo(back, body);
    f.ABC(RETURN, 0, 2, 0);
    lua_State* co = NewCoroutine(f);
    std::vector<double> yielded;
    int status;
    while ((status = Resume(co, {})) == 0 && co->ci != co->base_ci) {
        yielded.push_back(mOut.at(0));
    }
    ASSERT_EQ(status, 0) << mMsg;
    EXPECT_EQ(yielded, (std::vector<double>{0, 1, 2}));
    EXPECT_EQ(mOut, std::vector<double>{1 + 2 + 3});
}

// f(n) returns f(n + 1) + 1 without a tail call: the call levels run out, not the native stack.
TEST_F(LuaCalls, DeepLuaRecursionHitsTheCallLimit) {
    Func f;
    f.numparams = 1;
    f.lineDefined = 1;
    const int kf = f.Str("f");
    const int k1 = f.Num(1);
    f.line = 2;
    f.ABx(GETGLOBAL, 1, kf);
    f.ABC(ADD, 2, 0, RK(k1));
    f.line = 3;
    f.ABC(CALL, 1, 2, 2);
    f.ABC(ADD, 1, 1, RK(k1));
    f.ABC(RETURN, 1, 2, 0);
    SetGlobal("f", f);
    for (int round = 0; round < 2; round++) {
        lua_pushstring(L, "f");
        lua_gettable(L, LUA_GLOBALSINDEX);
        lua_pushnumber(L, 0);
        ASSERT_EQ(lua_pcall(L, 1, 1, 0), LUA_ERRRUN);
        EXPECT_STREQ(lua_tostring(L, -1), "asm:3: stack overflow");
        lua_pop(L, 1);
        EXPECT_EQ(L->ci, L->base_ci);
        EXPECT_LE(L->size_ci, LUA_MAXCALLS);
    }
    // The state still runs ordinary calls.
    lua_pushstring(L, "f");
    lua_gettable(L, LUA_GLOBALSINDEX);
    EXPECT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRRUN) << "nil + 1 in the first activation";
    EXPECT_STREQ(lua_tostring(L, -1), "asm:2: attempt to perform arithmetic on a nil value");
}

// Lua -> native -> lua_call -> Lua -> ... : each native level counts.
TEST_F(LuaCalls, NativeReentryHitsTheNativeLimit) {
    SetGlobal("reenter", [](lua_State* L) {
        lua_pushstring(L, "g");
        lua_gettable(L, LUA_GLOBALSINDEX);
        lua_call(L, 0, 0);
        return 0;
    });
    Func g;
    const int kr = g.Str("reenter");
    g.ABx(GETGLOBAL, 0, kr);
    g.ABC(CALL, 0, 1, 1);
    g.ABC(RETURN, 0, 1, 0);
    SetGlobal("g", g);
    lua_pushstring(L, "g");
    lua_gettable(L, LUA_GLOBALSINDEX);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "C stack overflow");
    lua_pop(L, 1);
    EXPECT_EQ(L->nCcalls, 0);
}

// Coroutines resumed inside one another nest natively: the depth is bounded as well.
int Nest(lua_State* L) {
    const int depth = static_cast<int>(lua_tonumber(L, 1));
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co, Nest);
    lua_pushnumber(co, depth + 1);
    const int status = lua_resume(co, 1);
    if (status != 0) {
        lua_pushnumber(L, depth);
        lua_pushstring(L, lua_tostring(co, -1));
        return 2;
    }
    lua_xmove(co, L, 2);
    return 2;
}

TEST_F(LuaCalls, NestedResumesAreBounded) {
    lua_State* co = lua_newthread(L);
    lua_pushcfunction(co, Nest);
    lua_pushnumber(co, 1);
    ASSERT_EQ(lua_resume(co, 1), 0);
    ASSERT_EQ(lua_gettop(co), 2);
    EXPECT_EQ(lua_tonumber(co, 1), LUA_MAXCCALLS);
    EXPECT_STREQ(lua_tostring(co, 2), "C stack overflow");
    EXPECT_EQ(G(L)->nresumes, 0);
}

TEST_F(LuaCalls, ErrorHandlerSeesThePosition) {
    Func f;
    f.line = 7;
    f.ABC(LOADNIL, 0, 0, 0);
    f.ABC(CALL, 0, 1, 1);
    f.ABC(RETURN, 0, 1, 0);
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushfstring(L, "handled: %s", lua_tostring(L, 1));
        return 1;
    });
    Push(L, f);
    ASSERT_EQ(lua_pcall(L, 0, 0, 1), LUA_ERRRUN);
    EXPECT_STREQ(lua_tostring(L, -1), "handled: asm:7: attempt to call a nil value");
}

// What a probe called from Lua learns about the activations beneath it.
struct Level {
    std::string what, name, namewhat, src;
    int currentline, linedefined;
};
std::vector<Level> gLevels;

int Probe(lua_State* L) {
    gLevels.clear();
    lua_Debug ar;
    for (int level = 0; lua_getstack(L, level, &ar); level++) {
        lua_getinfo(L, "Snl", &ar);
        gLevels.push_back({ar.what, ar.name != nullptr ? ar.name : "(null)", ar.namewhat,
                           ar.short_src, ar.currentline, ar.linedefined});
    }
    return 0;
}

TEST_F(LuaCalls, StackLevelsAndNames) {
    SetGlobal("probe", Probe);
    Func callee; // function(t) t:probe() ; probe() end, defined at line 10
    callee.numparams = 1;
    callee.lineDefined = 10;
    callee.source = "@scripts/callee.lua";
    const int kprobe = callee.Str("probe");
    callee.line = 11;
    callee.ABC(METHOD, 1, 0, RK(kprobe));
    callee.ABC(CALL, 1, 2, 1);
    callee.line = 12;
    callee.ABx(GETGLOBAL, 1, kprobe);
    callee.ABC(CALL, 1, 1, 1);
    callee.ABC(RETURN, 0, 1, 0);
    callee.Local("t", 0, 5);
    SetGlobal("callee", callee);

    Func main; // local helper = callee; helper({probe = probe})
    const int kcallee = main.Str("callee");
    main.line = 3;
    main.ABx(GETGLOBAL, 0, kcallee);
    main.ABC(COPY, 1, 0, 0);
    main.ABC(NEWTABLE, 2, 0, 1);
    main.ABx(GETGLOBAL, 3, main.Str("probe"));
    main.ABC(SETINDEX, 2, RK(main.Str("probe")), 3);
    main.line = 4;
    main.ABC(CALL, 1, 2, 1);
    main.ABC(RETURN, 0, 1, 0);
    main.Local("helper", 1, 7);
    Push(L, main);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0) << lua_tostring(L, -1);
    // The last probe: called as a global.
    ASSERT_EQ(gLevels.size(), 3u);
    EXPECT_EQ(gLevels[0].what, "C");
    EXPECT_EQ(gLevels[0].name, "probe");
    EXPECT_EQ(gLevels[0].namewhat, "global");
    EXPECT_EQ(gLevels[0].src, "[C]");
    EXPECT_EQ(gLevels[0].currentline, -1);
    EXPECT_EQ(gLevels[1].what, "Lua");
    EXPECT_EQ(gLevels[1].name, "helper");
    EXPECT_EQ(gLevels[1].namewhat, "local");
    EXPECT_EQ(gLevels[1].src, "scripts/callee.lua");
    EXPECT_EQ(gLevels[1].currentline, 12);
    EXPECT_EQ(gLevels[1].linedefined, 10);
    EXPECT_EQ(gLevels[2].what, "main");
    EXPECT_EQ(gLevels[2].src, "asm");
    EXPECT_EQ(gLevels[2].currentline, 4);
}

TEST_F(LuaCalls, MethodNamesAndTailCalls) {
    SetGlobal("probe", Probe);
    Func f; // local t = {m = probe}; t:m()
    const int km = f.Str("m");
    f.ABC(NEWTABLE, 0, 0, 1);
    f.ABx(GETGLOBAL, 1, f.Str("probe"));
    f.ABC(SETINDEX, 0, RK(km), 1);
    f.ABC(METHOD, 1, 0, RK(km));
    f.ABC(CALL, 1, 2, 1);
    f.ABC(RETURN, 0, 1, 0);
    Push(L, f);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0) << lua_tostring(L, -1);
    ASSERT_GE(gLevels.size(), 1u);
    EXPECT_EQ(gLevels[0].name, "m");
    EXPECT_EQ(gLevels[0].namewhat, "method");

    // main calls tail, which tail-calls mid, which calls probe: tail's activation is lost.
    Func mid;
    mid.lineDefined = 20;
    mid.ABx(GETGLOBAL, 0, mid.Str("probe"));
    mid.ABC(CALL, 0, 1, 1);
    mid.ABC(RETURN, 0, 1, 0);
    SetGlobal("mid", mid);
    Func tail;
    tail.lineDefined = 30;
    tail.ABx(GETGLOBAL, 0, tail.Str("mid"));
    tail.ABC(TAILCALL, 0, 1, 0);
    tail.ABC(RETURN, 0, 0, 0);
    SetGlobal("tail", tail);
    Func g;
    g.ABx(GETGLOBAL, 0, g.Str("tail"));
    g.ABC(CALL, 0, 1, 1);
    g.ABC(RETURN, 0, 1, 0);
    Push(L, g);
    ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0) << lua_tostring(L, -1);
    ASSERT_EQ(gLevels.size(), 4u);
    EXPECT_EQ(gLevels[0].name, "probe");
    EXPECT_EQ(gLevels[1].what, "Lua");
    EXPECT_EQ(gLevels[1].linedefined, 20);
    EXPECT_EQ(gLevels[1].name, "mid");
    EXPECT_EQ(gLevels[1].namewhat, "global") << "found among the globals: its caller is lost";
    EXPECT_EQ(gLevels[2].what, "tail");
    EXPECT_EQ(gLevels[2].src, "(tail call)");
    EXPECT_EQ(gLevels[2].currentline, -1);
    EXPECT_EQ(gLevels[3].what, "main");
}

TEST_F(LuaCalls, InfoOfAFunctionValue) {
    Func f;
    f.lineDefined = 42;
    f.source = "=chunk";
    f.ABC(RETURN, 0, 1, 0);
    Push(L, f);
    lua_Debug ar;
    ASSERT_EQ(lua_getinfo(L, ">Su", &ar), 1);
    EXPECT_STREQ(ar.what, "Lua");
    EXPECT_EQ(ar.linedefined, 42);
    EXPECT_STREQ(ar.short_src, "chunk");
    EXPECT_EQ(ar.nups, 0);
    EXPECT_EQ(lua_gettop(L), 0) << "the function is popped";
    lua_pushcfunction(L, Probe);
    ASSERT_EQ(lua_getinfo(L, ">Sf", &ar), 1);
    EXPECT_STREQ(ar.what, "C");
    EXPECT_TRUE(lua_iscfunction(L, -1)) << "f pushes the function";
    lua_pushcfunction(L, Probe);
    EXPECT_EQ(lua_getinfo(L, ">x", &ar), 0) << "unknown option";
    EXPECT_EQ(lua_getstack(L, 0, &ar), 0) << "no activation at the base level";
}

// The checker of loaded code, on small prototypes that break one rule each.
TEST_F(LuaCalls, CodeChecker) {
    auto base = [] {
        Func f;
        f.maxstack = 4;
        f.Num(1);
        return f;
    };
    struct Case {
        const char* what;
        std::vector<uint32_t> code;
        bool valid;
    } cases[] = {
        {"plain return", {EncABC(RETURN, 0, 1, 0)}, true},
        {"no final return", {EncABC(COPY, 0, 1, 0)}, false},
        {"register past the frame", {EncABC(COPY, 4, 0, 0), EncABC(RETURN, 0, 1, 0)}, false},
        {"constant in range", {EncABx(LOADCONST, 0, 0), EncABC(RETURN, 0, 1, 0)}, true},
        {"constant out of range", {EncABx(LOADCONST, 0, 1), EncABC(RETURN, 0, 1, 0)}, false},
        {"rk constant out of range", {EncABC(ADD, 0, RK(1), 0), EncABC(RETURN, 0, 1, 0)}, false},
        {"test without jump",
         {EncABC(EQUAL, 1, 0, 1), EncABC(COPY, 0, 1, 0), EncABC(RETURN, 0, 1, 0)},
         false},
        {"test with jump",
         {EncABC(EQUAL, 1, 0, 1), EncAsBx(JUMP, 0, 0), EncABC(RETURN, 0, 1, 0)},
         true},
        {"jump outside", {EncAsBx(JUMP, 0, 5), EncABC(RETURN, 0, 1, 0)}, false},
        {"open call then return", {EncABC(CALL, 0, 1, 0), EncABC(RETURN, 0, 0, 0)}, true},
        {"open call then copy",
         {EncABC(CALL, 0, 1, 0), EncABC(COPY, 0, 1, 0), EncABC(RETURN, 0, 1, 0)},
         false},
        {"open call then setlistopen",
         {EncABC(CALL, 1, 1, 0), EncABx(SETLISTOPEN, 0, 0), EncABC(RETURN, 0, 1, 0)},
         true},
        {"upvalue out of range", {EncABC(GETUPVALUE, 0, 0, 0), EncABC(RETURN, 0, 1, 0)}, false},
        {"global name not a string", {EncABx(GETGLOBAL, 0, 0), EncABC(RETURN, 0, 1, 0)}, false},
        {"concat of one", {EncABC(CONCAT, 0, 1, 1), EncABC(RETURN, 0, 1, 0)}, false},
        {"unknown opcode", {39, EncABC(RETURN, 0, 1, 0)}, false},
    };
    for (const Case& c : cases) {
        Func f = base();
        f.code = c.code;
        f.lines.assign(c.code.size(), 1);
        Push(L, f);
        const Proto* p = clvalue(L->top - 1)->l.p;
        EXPECT_EQ(luaG_checkcode(p) != 0, c.valid) << c.what;
        lua_pop(L, 1);
    }
    // The pseudo-instructions after a closure must capture or share.
    Func inner;
    inner.nups = 1;
    inner.ABC(RETURN, 0, 1, 0);
    for (const bool good : {true, false}) {
        Func f = base();
        f.Sub(inner);
        f.ABx(CLOSURE, 0, 0);
        if (good) {
            f.ABC(COPY, 0, 1, 0);
        } else {
            f.ABC(LOADNIL, 0, 1, 0);
        }
        f.ABC(RETURN, 0, 1, 0);
        Push(L, f);
        EXPECT_EQ(luaG_checkcode(clvalue(L->top - 1)->l.p) != 0, good);
        lua_pop(L, 1);
    }
}

} // namespace
