// The instruction set, one opcode at a time, on hand-assembled prototypes: moves and constants,
// upvalues and closures, globals and indexing, arithmetic, the bitwise operators and the exclusive
// or, concatenation in both string modes, comparisons and tests, calls, returns and loops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luatable.h"
#include "tests/engine/script/lua/luaasm.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

using namespace luaasm;

class LuaVm : public LuaStateTest {
protected:
    // Calls f with the values on the stack top as arguments; returns the status and keeps the
    // results (or the error message) on the stack.
    int Call(const Func& f, int nargs = 0, int nresults = LUA_MULTRET) {
        Push(L, f);
        lua_insert(L, -(nargs + 1));
        const int status = lua_pcall(L, nargs, nresults, 0);
        mMsg = status != 0 && lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
        return status;
    }
    double Num(int idx) { return lua_tonumber(L, idx); }
    std::string Str(int idx) {
        const char* s = lua_tostring(L, idx);
        return s != nullptr ? s : "<not a string>";
    }
    std::u16string WStr(int idx) {
        const lua_WChar* s = lua_towstring(L, idx);
        return s != nullptr && lua_type(L, idx) == LUA_TWSTRING ? std::u16string(s) : u"<none>";
    }
    void SetGlobalFunction(const char* name, lua_CFunction fn) {
        lua_pushstring(L, name);
        lua_pushcfunction(L, fn);
        lua_settable(L, LUA_GLOBALSINDEX);
    }
    // A userdata in the global u whose metatable has the given handler.
    void MakeUserdataWith(const char* event, lua_CFunction handler) {
        lua_pushstring(L, "u");
        lua_newuserdata(L, 4);
        lua_newtable(L);
        lua_pushstring(L, event);
        lua_pushcfunction(L, handler);
        lua_settable(L, -3);
        lua_setmetatable(L, -2);
        lua_settable(L, LUA_GLOBALSINDEX);
    }
    std::string mMsg;
};

// Returns "handled" plus the type names of its two operands.
int TypesHandler(lua_State* L) {
    lua_pushfstring(L, "handled %s %s", lua_typename(L, lua_type(L, 1)),
                    lua_typename(L, lua_type(L, 2)));
    return 1;
}

TEST_F(LuaVm, CopyAndLoadConst) {
    Func f;
    const int kn = f.Num(2.5);
    const int ks = f.Str("text");
    const int kw = f.WStr(u"wide");
    f.ABx(LOADCONST, 0, kn);
    f.ABx(LOADCONST, 1, ks);
    f.ABx(LOADCONST, 2, kw);
    f.ABC(COPY, 3, 0, 0);
    f.ABC(COPY, 4, 2, 0);
    f.ABC(RETURN, 0, 6, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    ASSERT_EQ(lua_gettop(L), 5);
    EXPECT_EQ(Num(1), 2.5);
    EXPECT_EQ(Str(2), "text");
    EXPECT_EQ(WStr(3), u"wide");
    EXPECT_EQ(Num(4), 2.5);
    EXPECT_TRUE(lua_rawequal(L, 3, 5));
}

TEST_F(LuaVm, LoadBoolAndItsSkip) {
    struct Case {
        int b, c;
        bool value;
        bool nextRan;
    } cases[] = {
        {0, 0, false, true}, {1, 0, true, true}, {0, 1, false, false}, {7, 1, true, false}};
    for (const Case& c : cases) {
        Func f;
        const int k = f.Str("next ran");
        f.ABC(LOADBOOL, 0, c.b, c.c);
        f.ABx(LOADCONST, 1, k);
        f.ABC(RETURN, 0, 3, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        EXPECT_EQ(lua_type(L, 1), LUA_TBOOLEAN);
        EXPECT_EQ(lua_toboolean(L, 1) != 0, c.value) << c.b << c.c;
        EXPECT_EQ(!lua_isnil(L, 2), c.nextRan) << c.b << c.c;
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, LoadNilClearsTheRange) {
    Func f;
    const int k = f.Num(1);
    for (int r = 0; r < 4; r++) {
        f.ABx(LOADCONST, r, k);
    }
    f.ABC(LOADNIL, 1, 2, 0);
    f.ABC(RETURN, 0, 5, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(1), 1);
    EXPECT_TRUE(lua_isnil(L, 2));
    EXPECT_TRUE(lua_isnil(L, 3));
    EXPECT_EQ(Num(4), 1);
}

// A counter factory: local n = start; return function() n = n + step; return n end. The inner
// function reads and writes n through its upvalue while the factory's register is open, and after
// the factory returned (closed).
TEST_F(LuaVm, ClosureUpvaluesOpenAndClosed) {
    Func inner;
    inner.nups = 1;
    inner.upvalueNames = {"n"};
    const int kstep = inner.Num(10);
    inner.ABC(GETUPVALUE, 0, 0, 0);
    inner.ABC(ADD, 0, 0, RK(kstep));
    inner.ABC(SETUPVALUE, 0, 0, 0);
    inner.ABC(RETURN, 0, 2, 0);

    Func f;
    const int kstart = f.Num(5);
    const int p = f.Sub(inner);
    f.ABx(LOADCONST, 0, kstart); // n = 5
    f.ABx(CLOSURE, 1, p);        // c = closure capturing n
    f.ABC(COPY, 0, 0, 0);        // pseudo-instruction: capture register 0
    f.ABC(COPY, 2, 1, 0);        // call c() while n is open
    f.ABC(CALL, 2, 1, 2);
    f.ABC(COPY, 3, 0, 0);   // n as the factory sees it now
    f.ABC(RETURN, 1, 4, 0); // c, first result, n
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(2), 15);
    EXPECT_EQ(Num(3), 15) << "the open upvalue is the register itself";
    // Closed now: each call keeps counting on its own copy.
    lua_pushvalue(L, 1);
    lua_call(L, 0, 1);
    EXPECT_EQ(Num(-1), 25);
    lua_pushvalue(L, 1);
    lua_call(L, 0, 1);
    EXPECT_EQ(Num(-1), 35);
}

// An inner closure shares its parent's upvalue through the GETUPVALUE pseudo-instruction, and
// CLOSEUPVALUES detaches the closures made so far from the register.
TEST_F(LuaVm, SharedUpvaluesAndCloseUpvalues) {
    Func innermost; // returns the shared upvalue
    innermost.nups = 1;
    innermost.ABC(GETUPVALUE, 0, 0, 0);
    innermost.ABC(RETURN, 0, 2, 0);

    Func middle; // returns a closure sharing its own upvalue
    middle.nups = 1;
    const int pm = middle.Sub(innermost);
    middle.ABx(CLOSURE, 0, pm);
    middle.ABC(GETUPVALUE, 0, 0, 0);
    middle.ABC(RETURN, 0, 2, 0);

    Func f;
    const int k1 = f.Num(1);
    const int k2 = f.Num(2);
    const int p = f.Sub(middle);
    f.ABx(LOADCONST, 0, k1);
    f.ABx(CLOSURE, 1, p);
    f.ABC(COPY, 0, 0, 0);
    f.ABC(CLOSEUPVALUES, 0, 0, 0); // middle keeps 1
    f.ABx(LOADCONST, 0, k2);
    f.ABC(COPY, 2, 1, 0);
    f.ABC(CALL, 2, 1, 2); // innermost closure from middle
    f.ABC(CALL, 2, 1, 2); // its value
    f.ABC(RETURN, 2, 2, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(1), 1);
}

TEST_F(LuaVm, GlobalsReadAndWrite) {
    lua_pushstring(L, "x");
    lua_pushnumber(L, 7);
    lua_settable(L, LUA_GLOBALSINDEX);
    Func f;
    const int kx = f.Str("x");
    const int ky = f.Str("y");
    const int kmissing = f.Str("missing");
    f.ABx(GETGLOBAL, 0, kx);
    f.ABx(SETGLOBAL, 0, ky); // new global
    f.ABx(SETGLOBAL, 0, kx); // existing global
    f.ABx(GETGLOBAL, 1, kmissing);
    f.ABC(RETURN, 0, 3, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(1), 7);
    EXPECT_TRUE(lua_isnil(L, 2));
    lua_pushstring(L, "y");
    lua_gettable(L, LUA_GLOBALSINDEX);
    EXPECT_EQ(Num(-1), 7);
}

// __index on the table of globals: a read of a missing global goes through it, and a
// __newindex sees a write of a new global but not of an existing one.
TEST_F(LuaVm, GlobalsThroughMetatable) {
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    lua_newtable(L);
    lua_pushstring(L, "__index");
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushfstring(L, "default %s", lua_tostring(L, 2));
        return 1;
    });
    lua_settable(L, -3);
    lua_pushstring(L, "__newindex");
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushstring(L, "written");
        lua_pushvalue(L, 2);
        lua_rawset(L, LUA_GLOBALSINDEX);
        return 0;
    });
    lua_settable(L, -3);
    lua_setmetatable(L, -2);
    lua_pop(L, 1);
    Func f;
    const int kname = f.Str("absent");
    const int knew = f.Str("fresh");
    f.ABx(GETGLOBAL, 0, kname);
    f.ABx(SETGLOBAL, 0, knew);
    f.ABx(GETGLOBAL, 1, knew);
    f.ABC(RETURN, 0, 3, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Str(1), "default absent");
    EXPECT_EQ(Str(2), "default fresh") << "__newindex stored nothing under fresh";
    lua_pushstring(L, "written");
    lua_rawget(L, LUA_GLOBALSINDEX);
    EXPECT_EQ(Str(-1), "fresh");
}

TEST_F(LuaVm, GetIndexAndSetIndexWithRegistersAndConstants) {
    Func f;
    f.numparams = 1;
    const int kkey = f.Str("key");
    const int kval = f.Num(42);
    const int k3 = f.Num(3);
    f.ABC(SETINDEX, 0, RK(kkey), RK(kval)); // t.key = 42
    f.ABx(LOADCONST, 1, k3);
    f.ABC(SETINDEX, 0, 1, RK(kkey)); // t[3] = "key"
    f.ABC(GETINDEX, 2, 0, RK(kkey)); // t.key
    f.ABC(GETINDEX, 3, 0, 1);        // t[3]
    f.ABC(GETINDEX, 4, 0, 2);        // t[42]: nil
    f.ABC(RETURN, 2, 4, 0);
    lua_newtable(L);
    lua_pushvalue(L, -1);
    ASSERT_EQ(Call(f, 1), 0) << mMsg;
    EXPECT_EQ(Num(2), 42);
    EXPECT_EQ(Str(3), "key");
    EXPECT_TRUE(lua_isnil(L, 4));
    lua_pushstring(L, "key");
    lua_rawget(L, 1);
    EXPECT_EQ(Num(-1), 42);
}

TEST_F(LuaVm, IndexErrorsNameTheVariable) {
    struct Case {
        const char* what;
        bool withLocal;
        bool fromGlobal;
        bool field;
        const char* expected;
    } cases[] = {
        {"local", true, false, false, "asm:3: attempt to index local `t' (a nil value)"},
        {"global", false, true, false, "asm:3: attempt to index global `g' (a nil value)"},
        {"field", false, false, true, "asm:3: attempt to index field `inner' (a nil value)"},
        {"unnamed", false, false, false, "asm:3: attempt to index a nil value"},
    };
    for (const Case& c : cases) {
        Func f;
        const int kg = f.Str("g");
        const int kinner = f.Str("inner");
        const int kx = f.Str("x");
        f.line = 1;
        if (c.fromGlobal) {
            f.ABx(GETGLOBAL, 0, kg);
        } else if (c.field) {
            f.ABC(NEWTABLE, 1, 0, 0);
            f.ABC(GETINDEX, 0, 1, RK(kinner));
        } else {
            f.ABC(LOADNIL, 0, 0, 0);
        }
        f.line = 3;
        const int pc = f.ABC(GETINDEX, 2, 0, RK(kx));
        f.ABC(RETURN, 0, 1, 0);
        if (c.withLocal) {
            f.Local("t", 0, pc + 2);
        }
        EXPECT_EQ(Call(f), LUA_ERRRUN) << c.what;
        EXPECT_EQ(mMsg, c.expected) << c.what;
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, NewTableSizesFromItsOperands) {
    struct Case {
        int b, c;
        int sizearray;
        int lsizenode;
    } cases[] = {
        {0, 0, 0, 0},
        {3, 0, 3, 0},
        {7, 1, 7, 1},
        {(1 << 3) | 5, 2, 10, 2},
        {(2 << 3) | 3, 0, 12, 0},
        {(4 << 3) | 1, 3, 16, 3},
        {8, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Func f;
        f.ABC(NEWTABLE, 0, c.b, c.c);
        f.ABC(RETURN, 0, 2, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        ASSERT_TRUE(lua_istable(L, 1));
        const Table* t = static_cast<const Table*>(lua_topointer(L, 1));
        EXPECT_EQ(t->sizearray, c.sizearray) << "B=" << c.b;
        EXPECT_EQ(t->lsizenode, c.lsizenode) << "C=" << c.c;
        lua_settop(L, 0);
    }
}

// obj:name(...) loads the method and the object; with a string, the per-type table of strings
// supplies the method.
TEST_F(LuaVm, MethodLoadsFunctionAndSelf) {
    lua_newtable(L);
    lua_pushstring(L, "name");
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushfstring(L, "%s/%d", lua_typename(L, lua_type(L, 1)), lua_gettop(L));
        return 1;
    });
    lua_rawset(L, -3);
    lua_pushvalue(L, -1);
    lua_settypemetatable(L, LUA_TSTRING);
    Func f;
    f.numparams = 1;
    const int kname = f.Str("name");
    const int ks = f.Str("str");
    f.ABC(METHOD, 1, 0, RK(kname));
    f.ABC(CALL, 1, 2, 2);
    f.ABx(LOADCONST, 2, ks);
    f.ABC(METHOD, 2, 2, RK(kname)); // the object register is also the destination
    f.ABC(CALL, 2, 2, 2);
    f.ABC(RETURN, 1, 3, 0);
    ASSERT_EQ(Call(f, 1), 0) << mMsg;
    EXPECT_EQ(Str(1), "table/1");
    EXPECT_EQ(Str(2), "string/1");
}

TEST_F(LuaVm, ArithmeticOnNumbersAndConvertibleStrings) {
    struct Case {
        Op op;
        Const b, c;
        double expected;
    } cases[] = {
        {ADD, {LUA_TNUMBER, 2}, {LUA_TNUMBER, 3}, 5},
        {SUB, {LUA_TNUMBER, 2}, {LUA_TNUMBER, 3}, -1},
        {MUL, {LUA_TNUMBER, 2.5}, {LUA_TNUMBER, 4}, 10},
        {DIV, {LUA_TNUMBER, 1}, {LUA_TNUMBER, 4}, 0.25},
        {ADD, {LUA_TSTRING, 0, "10"}, {LUA_TNUMBER, 1}, 11},
        {MUL, {LUA_TSTRING, 0, " 3 "}, {LUA_TSTRING, 0, "0x10"}, 48},
        {SUB, {LUA_TWSTRING, 0, {}, u"0x1p4"}, {LUA_TNUMBER, 1}, 15},
        {DIV, {LUA_TNUMBER, 9}, {LUA_TWSTRING, 0, {}, u"1e1"}, 0.9},
    };
    for (const Case& c : cases) {
        Func f;
        f.k = {c.b, c.c};
        f.ABC(c.op, 0, RK(0), RK(1));
        f.ABx(LOADCONST, 1, 0); // register operands too
        f.ABx(LOADCONST, 2, 1);
        f.ABC(c.op, 1, 1, 2);
        f.ABC(RETURN, 0, 3, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        EXPECT_DOUBLE_EQ(Num(1), c.expected) << "op " << c.op;
        EXPECT_DOUBLE_EQ(Num(2), c.expected) << "op " << c.op;
        lua_settop(L, 0);
    }
    // Division by zero follows the floating-point rules.
    Func f;
    f.k = {{LUA_TNUMBER, 1}, {LUA_TNUMBER, 0}};
    f.ABC(DIV, 0, RK(0), RK(1));
    f.ABC(RETURN, 0, 2, 0);
    ASSERT_EQ(Call(f), 0);
    EXPECT_TRUE(std::isinf(Num(1)));
}

// u + 1 calls the handler of the userdata; 1 + u fails, because the number's per-type table
// stands as its handler and is not a function.
TEST_F(LuaVm, ArithmeticHandlersAndErrors) {
    MakeUserdataWith("__add", TypesHandler);
    enum Source { Param, Global, NamedLocal };
    struct Case {
        const char* what;
        bool uFirst;
        Source source;
        int status;
        const char* result;
    } cases[] = {
        {"u+1", true, Global, 0, "handled userdata number"},
        {"1+u local", false, NamedLocal, LUA_ERRRUN,
         "asm:1: attempt to perform arithmetic on local `u' (a userdata value)"},
        {"1+u global", false, Global, LUA_ERRRUN,
         "asm:1: attempt to perform arithmetic on global `u' (a userdata value)"},
        {"1+u", false, Param, LUA_ERRRUN,
         "asm:1: attempt to perform arithmetic on a userdata value"},
    };
    for (const Case& c : cases) {
        Func f;
        f.numparams = 1;
        const int ku = f.Str("u");
        const int k1 = f.Num(1);
        if (c.source != Param) {
            f.ABx(GETGLOBAL, 0, ku);
        }
        f.ABx(LOADCONST, 1, k1);
        if (c.uFirst) {
            f.ABC(ADD, 2, 0, 1);
        } else {
            f.ABC(ADD, 2, 1, 0);
        }
        f.ABC(RETURN, 2, 2, 0);
        if (c.source == NamedLocal) {
            f.Local("u", 1, 4);
        }
        lua_pushstring(L, "u");
        lua_gettable(L, LUA_GLOBALSINDEX);
        EXPECT_EQ(Call(f, 1), c.status) << c.what;
        if (c.status == 0) {
            EXPECT_EQ(Str(1), c.result) << c.what;
        } else {
            EXPECT_EQ(mMsg, c.result) << c.what;
        }
        lua_settop(L, 0);
    }
    // The operand named is the second when the first converts to a number, else the first.
    struct ErrCase {
        Const b, c;
        const char* expected;
    } errors[] = {
        {{LUA_TSTRING, 0, "12"},
         {LUA_TSTRING, 0, "x"},
         "asm:1: attempt to perform arithmetic on a string value"},
        {{LUA_TNIL}, {LUA_TNUMBER, 1}, "asm:1: attempt to perform arithmetic on a nil value"},
        {{LUA_TWSTRING, 0, {}, u"1"},
         {LUA_TNIL},
         "asm:1: attempt to perform arithmetic on a nil value"},
        {{LUA_TWSTRING, 0, {}, u"z"},
         {LUA_TNUMBER, 1},
         "asm:1: attempt to perform arithmetic on a wstring value"},
    };
    for (const ErrCase& c : errors) {
        Func f;
        f.k = {c.b, c.c};
        f.ABC(SUB, 0, RK(0), RK(1));
        f.ABC(RETURN, 0, 2, 0);
        EXPECT_EQ(Call(f), LUA_ERRRUN);
        EXPECT_EQ(mMsg, c.expected);
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, BitwiseOperatorsOnLow32Bits) {
    const double nan = std::nan("");
    struct Case {
        Op op;
        double b, c;
        double expected;
    } cases[] = {
        {BITAND, 6, 3, 2},
        {BITOR, 5, 8, 13},
        {SHIFTLEFT, 1, 31, 2147483648.0},
        {SHIFTLEFT, 1, 32, 1},
        {SHIFTLEFT, 1, 33, 2},
        {SHIFTRIGHT, -1, 28, 15},
        {SHIFTRIGHT, 2147483648.0, 31, 1},
        {SHIFTRIGHT, 256, -4, 0}, // -4 AND 31 is 28
        {BITAND, -1, -1, 4294967295.0},
        {BITOR, -2.5, 0, 4294967294.0},
        {BITAND, 2.9, 3, 2},
        {BITOR, 4294967296.0, 0, 0},
        {BITOR, 4294967297.5, 0, 1},
        {BITOR, nan, 0, 0},
        {BITOR, INFINITY, 5, 5},
        {BITOR, -1e300, 7, 7},
    };
    for (const Case& c : cases) {
        Func f;
        const int kb = f.Num(c.b);
        const int kc = f.Num(c.c);
        f.ABC(c.op, 0, RK(kb), RK(kc));
        f.ABC(RETURN, 0, 2, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        EXPECT_EQ(Num(1), c.expected) << "op " << c.op << " " << c.b << ", " << c.c;
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, BitwiseOperatorsRefuseEverythingButNumbers) {
    MakeUserdataWith("__add", TypesHandler); // no event exists for them: never consulted
    struct Case {
        Op op;
        Const b, c;
        const char* expected;
    } cases[] = {
        {BITAND,
         {LUA_TSTRING, 0, "6"},
         {LUA_TNUMBER, 3},
         "asm:1: attempt to perform arithmetic on a number value"},
        {BITOR,
         {LUA_TNUMBER, 1},
         {LUA_TSTRING, 0, "2"},
         "asm:1: attempt to perform arithmetic on a string value"},
        {SHIFTLEFT,
         {LUA_TWSTRING, 0, {}, u"x"},
         {LUA_TNUMBER, 1},
         "asm:1: attempt to perform arithmetic on a wstring value"},
        {SHIFTRIGHT,
         {LUA_TNIL},
         {LUA_TNUMBER, 1},
         "asm:1: attempt to perform arithmetic on a nil value"},
    };
    for (const Case& c : cases) {
        Func f;
        f.k = {c.b, c.c};
        f.ABC(c.op, 0, RK(0), RK(1));
        f.ABC(RETURN, 0, 2, 0);
        EXPECT_EQ(Call(f), LUA_ERRRUN);
        EXPECT_EQ(mMsg, c.expected) << "op " << c.op;
        lua_settop(L, 0);
    }
    Func f;
    const int ku = f.Str("u");
    const int k1 = f.Num(1);
    f.ABx(GETGLOBAL, 0, ku);
    f.ABC(BITAND, 1, 0, RK(k1));
    f.ABC(RETURN, 1, 2, 0);
    EXPECT_EQ(Call(f), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "asm:1: attempt to perform arithmetic on global `u' (a userdata value)");
}

int PowerHandler(lua_State* L) {
    lua_pushnumber(L, std::pow(lua_tonumber(L, 1), lua_tonumber(L, 2)));
    return 1;
}

TEST_F(LuaVm, CaretIsExclusiveOrOfNumbers) {
    struct Case {
        double b, c, expected;
    } cases[] = {{2, 3, 1}, {5, 5, 0}, {2, 0.5, 2}, {-1, 0, 4294967295.0}, {12, 10, 6}};
    SetGlobalFunction("__pow", PowerHandler); // must not be used for numbers
    for (const Case& c : cases) {
        Func f;
        const int kb = f.Num(c.b);
        const int kc = f.Num(c.c);
        f.ABC(CARET, 0, RK(kb), RK(kc));
        f.ABC(RETURN, 0, 2, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        EXPECT_EQ(Num(1), c.expected) << c.b << " ^ " << c.c;
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, CaretOnStringsGoesThroughGlobalPow) {
    Func f;
    const int k2 = f.Str("2");
    const int k3 = f.WStr(u"3");
    f.ABC(CARET, 0, RK(k2), RK(k3));
    f.ABC(RETURN, 0, 2, 0);
    EXPECT_EQ(Call(f), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "asm:1: `__pow' (`^' operator) is not a function");
    lua_settop(L, 0);
    lua_pushstring(L, "__pow");
    lua_pushnumber(L, 1);
    lua_settable(L, LUA_GLOBALSINDEX);
    EXPECT_EQ(Call(f), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "asm:1: `__pow' (`^' operator) is not a function");
    lua_settop(L, 0);
    SetGlobalFunction("__pow", PowerHandler);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(1), 8);
    lua_settop(L, 0);
    // Not convertible: the handler of the operands, else the arithmetic error.
    MakeUserdataWith("__pow", TypesHandler);
    Func g;
    const int ku = g.Str("u");
    const int kx = g.Str("x");
    g.ABx(GETGLOBAL, 0, ku);
    g.ABC(CARET, 1, 0, RK(kx));
    g.ABC(CARET, 2, RK(kx), 0);
    g.ABC(RETURN, 1, 2, 0);
    EXPECT_EQ(Call(g), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "asm:1: attempt to perform arithmetic on a string value");
    lua_settop(L, 0);
    g.code[2] = EncABC(RETURN, 1, 2, 0);
    ASSERT_EQ(Call(g), 0) << mMsg;
    EXPECT_EQ(Str(1), "handled userdata string");
}

TEST_F(LuaVm, NegateAndNot) {
    MakeUserdataWith("__unm", TypesHandler);
    Func f;
    const int k5 = f.Num(5);
    const int ks = f.Str("3");
    const int ku = f.Str("u");
    f.ABx(LOADCONST, 0, k5);
    f.ABC(NEGATE, 0, 0, 0);
    f.ABx(LOADCONST, 1, ks);
    f.ABC(NEGATE, 1, 1, 0);
    f.ABx(GETGLOBAL, 2, ku);
    f.ABC(NEGATE, 2, 2, 0);
    f.ABC(RETURN, 0, 4, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(1), -5);
    EXPECT_EQ(Num(2), -3);
    EXPECT_EQ(Str(3), "handled userdata nil");
    lua_settop(L, 0);

    Func g;
    const int kabc = g.Str("abc");
    g.ABx(LOADCONST, 0, kabc);
    g.ABC(NEGATE, 1, 0, 0);
    g.ABC(RETURN, 1, 2, 0);
    g.Local("s", 1, 3);
    EXPECT_EQ(Call(g), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "asm:1: attempt to perform arithmetic on local `s' (a string value)");
    lua_settop(L, 0);

    struct Case {
        Const v;
        bool expected;
    } nots[] = {{{LUA_TNIL}, true},
                {{LUA_TNUMBER, 0}, false},
                {{LUA_TSTRING, 0, ""}, false},
                {{LUA_TWSTRING, 0, {}, u""}, false}};
    for (const Case& c : nots) {
        Func h;
        h.k = {c.v};
        h.ABx(LOADCONST, 0, 0);
        h.ABC(NOT, 1, 0, 0);
        h.ABC(RETURN, 1, 2, 0);
        ASSERT_EQ(Call(h), 0) << mMsg;
        EXPECT_EQ(lua_toboolean(L, 1) != 0, c.expected);
        lua_settop(L, 0);
    }
    Func h; // booleans themselves
    h.ABC(LOADBOOL, 0, 0, 0);
    h.ABC(NOT, 0, 0, 0);
    h.ABC(LOADBOOL, 1, 1, 0);
    h.ABC(NOT, 1, 1, 0);
    h.ABC(RETURN, 0, 3, 0);
    ASSERT_EQ(Call(h), 0) << mMsg;
    EXPECT_TRUE(lua_toboolean(L, 1));
    EXPECT_FALSE(lua_toboolean(L, 2));
}

TEST_F(LuaVm, ConcatenationModes) {
    struct Case {
        std::vector<Const> items;
        int status;
        int type;
        std::string narrow;
        std::u16string wide;
        const char* error;
    } cases[] = {
        {{{LUA_TWSTRING, 0, {}, u"a"}, {LUA_TNUMBER, 1}}, 0, LUA_TWSTRING, "", u"a1", ""},
        {{{LUA_TNUMBER, 1}, {LUA_TWSTRING, 0, {}, u"a"}}, 0, LUA_TWSTRING, "", u"1a", ""},
        {{{LUA_TNUMBER, 1}, {LUA_TNUMBER, 2}}, 0, LUA_TSTRING, "12", u"", ""},
        {{{LUA_TSTRING, 0, "x"}, {LUA_TSTRING, 0, "y"}, {LUA_TNUMBER, 2.5}},
         0,
         LUA_TSTRING,
         "xy2.5",
         u"",
         ""},
        {{{LUA_TSTRING, 0, "x"}, {LUA_TSTRING, 0, ""}}, 0, LUA_TSTRING, "x", u"", ""},
        {{{LUA_TWSTRING, 0, {}, u"p"}, {LUA_TWSTRING, 0, {}, u""}, {LUA_TWSTRING, 0, {}, u"q"}},
         0,
         LUA_TWSTRING,
         "",
         u"pq",
         ""},
        {{{LUA_TSTRING, 0, "a"}, {LUA_TWSTRING, 0, {}, u"b"}},
         LUA_ERRRUN,
         0,
         "",
         u"",
         "asm:1: attempt to concatenate a wstring value"},
        {{{LUA_TWSTRING, 0, {}, u"b"}, {LUA_TSTRING, 0, "a"}},
         LUA_ERRRUN,
         0,
         "",
         u"",
         "asm:1: attempt to concatenate a wstring value"},
        {{{LUA_TSTRING, 0, "a"}, {LUA_TNUMBER, 1}, {LUA_TWSTRING, 0, {}, u"b"}},
         LUA_ERRRUN,
         0,
         "",
         u"",
         "asm:1: attempt to concatenate a wstring value"},
        {{{LUA_TSTRING, 0, "a"}, {LUA_TNIL}},
         LUA_ERRRUN,
         0,
         "",
         u"",
         "asm:1: attempt to concatenate a nil value"},
        {{{LUA_TNIL}, {LUA_TSTRING, 0, "a"}},
         LUA_ERRRUN,
         0,
         "",
         u"",
         "asm:1: attempt to concatenate a nil value"},
    };
    for (const Case& c : cases) {
        Func f;
        f.k = c.items;
        const int n = static_cast<int>(c.items.size());
        for (int r = 0; r < n; r++) {
            f.ABx(LOADCONST, r + 1, r);
        }
        f.ABC(CONCAT, 0, 1, n);
        f.ABC(RETURN, 0, 2, 0);
        ASSERT_EQ(Call(f), c.status) << mMsg;
        if (c.status == 0) {
            ASSERT_EQ(lua_type(L, 1), c.type);
            if (c.type == LUA_TSTRING) {
                EXPECT_EQ(Str(1), c.narrow);
            } else {
                EXPECT_EQ(WStr(1), c.wide);
            }
        } else {
            EXPECT_EQ(mMsg, c.error);
        }
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, ConcatenationHandler) {
    MakeUserdataWith("__concat", TypesHandler);
    Func f;
    const int ku = f.Str("u");
    const int ks = f.Str("s");
    f.ABx(LOADCONST, 1, ks);
    f.ABx(GETGLOBAL, 2, ku);
    f.ABx(LOADCONST, 3, ks);
    f.ABC(CONCAT, 0, 1, 3); // "s" .. (u .. "s")
    f.ABC(RETURN, 0, 2, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Str(1), "shandled userdata string");
}

// Runs "if (b op c) == a then return true else return false" through the test-and-jump pair.
class LuaVmCompare : public LuaVm {
protected:
    int Compare(Op op, int a, const Const& b, const Const& c, bool* jumped) {
        Func f;
        f.k = {b, c};
        f.ABC(op, a, RK(0), RK(1));
        f.AsBx(JUMP, 0, 2);
        f.ABC(LOADBOOL, 0, 0, 0);
        f.ABC(RETURN, 0, 2, 0);
        f.ABC(LOADBOOL, 0, 1, 0);
        f.ABC(RETURN, 0, 2, 0);
        const int status = Call(f);
        if (status == 0) {
            *jumped = lua_toboolean(L, -1) != 0;
        }
        lua_settop(L, 0);
        return status;
    }
};

TEST_F(LuaVmCompare, EqualLessAndLessEqual) {
    const Const n1{LUA_TNUMBER, 1}, n2{LUA_TNUMBER, 2}, sa{LUA_TSTRING, 0, "a"},
        sb{LUA_TSTRING, 0, "b"}, wa{LUA_TWSTRING, 0, {}, u"a"}, nil{LUA_TNIL};
    struct Case {
        Op op;
        int a;
        Const b, c;
        bool jumped;
    } cases[] = {
        {EQUAL, 1, n1, n1, true},      {EQUAL, 1, n1, n2, false},    {EQUAL, 0, n1, n2, true},
        {EQUAL, 1, sa, sa, true},      {EQUAL, 1, sa, wa, false},    {EQUAL, 1, wa, wa, true},
        {EQUAL, 1, nil, nil, true},    {EQUAL, 1, n1, sa, false},    {LESS, 1, n1, n2, true},
        {LESS, 1, n2, n1, false},      {LESS, 0, n2, n1, true},      {LESS, 1, n1, n1, false},
        {LESS, 1, sa, sb, true},       {LESS, 1, sb, sa, false},     {LESSEQUAL, 1, n1, n1, true},
        {LESSEQUAL, 1, n2, n1, false}, {LESSEQUAL, 0, n2, n1, true}, {LESSEQUAL, 1, sa, sa, true},
        {LESSEQUAL, 1, sb, sa, false},
    };
    for (const Case& c : cases) {
        bool jumped = false;
        ASSERT_EQ(Compare(c.op, c.a, c.b, c.c, &jumped), 0) << mMsg;
        EXPECT_EQ(jumped, c.jumped) << "op " << c.op << " a " << c.a;
    }
}

TEST_F(LuaVmCompare, OrderErrors) {
    struct Case {
        Op op;
        Const b, c;
        const char* expected;
    } cases[] = {
        {LESS,
         {LUA_TNUMBER, 1},
         {LUA_TSTRING, 0, "1"},
         "asm:1: attempt to compare number with string"},
        {LESSEQUAL, {LUA_TNIL}, {LUA_TNIL}, "asm:1: attempt to compare two nil values"},
        {LESS,
         {LUA_TSTRING, 0, "a"},
         {LUA_TWSTRING, 0, {}, u"a"},
         "asm:1: attempt to compare string with wstring"},
        // Wide strings have no built-in order: their per-type table is called and has no __call.
        {LESS,
         {LUA_TWSTRING, 0, {}, u"a"},
         {LUA_TWSTRING, 0, {}, u"b"},
         "asm:1: attempt to call a table value"},
    };
    for (const Case& c : cases) {
        bool jumped;
        EXPECT_EQ(Compare(c.op, 1, c.b, c.c, &jumped), LUA_ERRRUN);
        EXPECT_EQ(mMsg, c.expected);
    }
}

// Wide strings reach their common handler, the per-type table, called through its __call.
TEST_F(LuaVmCompare, WideStringOrderGoesThroughTheHandler) {
    lua_gettypemetatable(L, LUA_TWSTRING);
    lua_newtable(L);
    lua_pushstring(L, "__call");
    lua_pushcfunction(L, [](lua_State* L) {
        // (handler table, left, right): longer is greater, whatever the units say
        lua_pushboolean(L, lua_strlen(L, 2) < lua_strlen(L, 3));
        return 1;
    });
    lua_settable(L, -3);
    lua_setmetatable(L, -2);
    lua_pop(L, 1);
    bool jumped = false;
    ASSERT_EQ(
        Compare(LESS, 1, {LUA_TWSTRING, 0, {}, u"zz"}, {LUA_TWSTRING, 0, {}, u"aaa"}, &jumped), 0)
        << mMsg;
    EXPECT_TRUE(jumped);
    ASSERT_EQ(Compare(LESS, 1, {LUA_TWSTRING, 0, {}, u"a"}, {LUA_TWSTRING, 0, {}, u"b"}, &jumped),
              0);
    EXPECT_FALSE(jumped);
}

TEST_F(LuaVmCompare, EqualityThroughSharedHandler) {
    // Two tables with one metatable whose __eq says yes; a third with another metatable.
    Func f;
    f.numparams = 3;
    f.ABC(EQUAL, 1, 0, 1);
    f.AsBx(JUMP, 0, 2);
    f.ABC(LOADBOOL, 3, 0, 0);
    f.AsBx(JUMP, 0, 1);
    f.ABC(LOADBOOL, 3, 1, 0);
    f.ABC(EQUAL, 1, 0, 2);
    f.AsBx(JUMP, 0, 2);
    f.ABC(LOADBOOL, 4, 0, 0);
    f.AsBx(JUMP, 0, 1);
    f.ABC(LOADBOOL, 4, 1, 0);
    f.ABC(RETURN, 3, 3, 0);
    lua_newtable(L); // shared metatable
    lua_pushstring(L, "__eq");
    lua_pushcfunction(L, [](lua_State* L) {
        lua_pushboolean(L, 1);
        return 1;
    });
    lua_settable(L, -3);
    for (int i = 0; i < 2; i++) {
        lua_newtable(L);
        lua_pushvalue(L, 1);
        lua_setmetatable(L, -2);
    }
    lua_newtable(L);
    lua_remove(L, 1);
    ASSERT_EQ(Call(f, 3), 0) << mMsg;
    EXPECT_TRUE(lua_toboolean(L, 1));
    EXPECT_FALSE(lua_toboolean(L, 2));
}

TEST_F(LuaVm, TestSetCopiesAndJumpsOrSkips) {
    struct Case {
        Const v;
        int c;
        bool copied;
    } cases[] = {
        {{LUA_TNIL}, 1, false},           {{LUA_TNIL}, 0, true},
        {{LUA_TNUMBER, 0}, 0, false},     {{LUA_TNUMBER, 0}, 1, true},
        {{LUA_TSTRING, 0, "x"}, 1, true},
    };
    for (const Case& c : cases) {
        Func f;
        f.k = {c.v, {LUA_TSTRING, 0, "skipped"}};
        f.ABx(LOADCONST, 1, 0);
        f.ABx(LOADCONST, 0, 1);
        f.ABC(TESTSET, 0, 1, c.c);
        f.AsBx(JUMP, 0, 1);
        f.ABC(LOADBOOL, 2, 1, 0); // runs only when the jump was skipped
        f.ABC(RETURN, 0, 4, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        if (c.copied) {
            EXPECT_TRUE(lua_rawequal(L, 1, 2) || (lua_isnil(L, 1) && lua_isnil(L, 2)));
            EXPECT_TRUE(lua_isnil(L, 3)) << "the jump is taken";
        } else {
            EXPECT_EQ(Str(1), "skipped");
            EXPECT_TRUE(lua_toboolean(L, 3));
        }
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, JumpForwardAndBack) {
    // n = 3; acc = 0; repeat acc = acc + n; n = n - 1 until n == 0 (as a backward jump)
    Func f;
    const int k3 = f.Num(3);
    const int k0 = f.Num(0);
    const int k1 = f.Num(1);
    const int kdead = f.Str("dead");
    f.ABx(LOADCONST, 0, k3);
    f.ABx(LOADCONST, 1, k0);
    const int top = f.ABC(ADD, 1, 1, 0);
    f.ABC(SUB, 0, 0, RK(k1));
    f.ABC(EQUAL, 0, 0, RK(k0));
    const int back = f.AsBx(JUMP, 0, 0);
    f.PatchTo(back, top);
    const int fwd = f.AsBx(JUMP, 0, 0);
    f.ABx(LOADCONST, 1, kdead);
    f.PatchTo(fwd, f.Here());
    f.ABC(RETURN, 1, 2, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(1), 6);
}

int ReturnArgsReversed(lua_State* L) {
    const int n = lua_gettop(L);
    for (int i = n; i >= 1; i--) {
        lua_pushvalue(L, i);
    }
    return n;
}

TEST_F(LuaVm, CallArgumentAndResultCounts) {
    SetGlobalFunction("rev", ReturnArgsReversed);
    struct Case {
        int b, c;
        int expectedTop;
        const char* expected; // the returned registers, n for nil
    } cases[] = {
        {3, 2, 1, "2"},   // two arguments, one result
        {3, 4, 3, "21n"}, // three results wanted, two given
        {1, 0, 0, ""},    // no arguments, all results
        {3, 0, 2, "21"},  // all results
        {2, 1, 0, ""},    // no result wanted
    };
    for (const Case& c : cases) {
        Func f;
        const int krev = f.Str("rev");
        const int k1 = f.Num(1);
        const int k2 = f.Num(2);
        f.ABx(GETGLOBAL, 0, krev);
        f.ABx(LOADCONST, 1, k1);
        f.ABx(LOADCONST, 2, k2);
        f.ABC(CALL, 0, c.b, c.c);
        if (c.c == 0) {
            f.ABC(RETURN, 0, 0, 0); // up to the top the call left
        } else {
            f.ABC(RETURN, 0, c.c, 0);
        }
        ASSERT_EQ(Call(f), 0) << mMsg;
        ASSERT_EQ(lua_gettop(L), c.expectedTop) << c.b << "/" << c.c;
        std::string got;
        for (int i = 1; i <= lua_gettop(L); i++) {
            got += lua_isnil(L, i) ? "n" : std::to_string(static_cast<int>(Num(i)));
        }
        EXPECT_EQ(got, c.expected) << c.b << "/" << c.c;
        lua_settop(L, 0);
    }
}

// An open call's results become the arguments of the next call (B = 0).
TEST_F(LuaVm, OpenResultsFeedTheNextCall) {
    SetGlobalFunction("rev", ReturnArgsReversed);
    Func f;
    const int krev = f.Str("rev");
    const int k1 = f.Num(1);
    const int k2 = f.Num(2);
    const int k3 = f.Num(3);
    f.ABx(GETGLOBAL, 0, krev);
    f.ABx(LOADCONST, 1, k1);
    f.ABx(GETGLOBAL, 2, krev);
    f.ABx(LOADCONST, 3, k2);
    f.ABx(LOADCONST, 4, k3);
    f.ABC(CALL, 2, 3, 0); // rev(2, 3) -> 3, 2 (open)
    f.ABC(CALL, 0, 0, 0); // rev(1, 3, 2) -> 2, 3, 1 (open)
    f.ABC(RETURN, 0, 0, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    ASSERT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(Num(1), 2);
    EXPECT_EQ(Num(2), 3);
    EXPECT_EQ(Num(3), 1);
}

// Lua calling Lua, with fixed and variable arguments: the arg table holds the extra values and n.
TEST_F(LuaVm, LuaCallsLuaWithVarargs) {
    Func callee; // function(a, ...) return a, arg.n, arg[2] end
    callee.numparams = 1;
    callee.vararg = true;
    const int kn = callee.Str("n");
    const int k2 = callee.Num(2);
    callee.ABC(COPY, 2, 0, 0);
    callee.ABC(GETINDEX, 3, 1, RK(kn));
    callee.ABC(GETINDEX, 4, 1, RK(k2));
    callee.ABC(RETURN, 2, 4, 0);
    Func f;
    const int p = f.Sub(callee);
    for (int i = 0; i < 4; i++) {
        f.Num(10 + i);
    }
    f.ABx(CLOSURE, 0, p);
    for (int i = 0; i < 4; i++) {
        f.ABx(LOADCONST, 1 + i, i);
    }
    f.ABC(CALL, 0, 5, 0);
    f.ABC(RETURN, 0, 0, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    ASSERT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(Num(1), 10);
    EXPECT_EQ(Num(2), 3);
    EXPECT_EQ(Num(3), 12);
}

// Registers past the parameters start as nil, whatever was passed beyond them, whether the call
// comes from a Lua function or from native code.
TEST_F(LuaVm, ExtraArgumentsAreDropped) {
    Func callee; // function(a) return a, <register 1>, <register 2> end
    callee.numparams = 1;
    callee.maxstack = 3;
    callee.ABC(RETURN, 0, 4, 0);
    Func f;
    const int p = f.Sub(callee);
    const int k7 = f.Num(7);
    f.ABx(CLOSURE, 0, p);
    f.ABx(LOADCONST, 1, k7);
    f.ABx(LOADCONST, 2, k7);
    f.ABx(LOADCONST, 3, k7);
    f.ABC(CALL, 0, 4, 0);
    f.ABC(RETURN, 0, 0, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    ASSERT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(Num(1), 7);
    EXPECT_TRUE(lua_isnil(L, 2));
    EXPECT_TRUE(lua_isnil(L, 3));
    lua_settop(L, 0);
    for (int n = 0; n < 3; n++) {
        lua_pushnumber(L, 7);
    }
    ASSERT_EQ(Call(callee, 3), 0) << mMsg;
    ASSERT_EQ(lua_gettop(L), 3);
    EXPECT_EQ(Num(1), 7);
    EXPECT_TRUE(lua_isnil(L, 2));
    EXPECT_TRUE(lua_isnil(L, 3));
}

TEST_F(LuaVm, CallingNonFunctions) {
    // __call of a table receives the table first.
    lua_pushstring(L, "callable");
    lua_newtable(L);
    lua_newtable(L);
    lua_pushstring(L, "__call");
    lua_pushcfunction(L, TypesHandler);
    lua_settable(L, -3);
    lua_setmetatable(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
    struct Case {
        const char* global;
        bool local;
        int status;
        const char* expected;
    } cases[] = {
        {"callable", false, 0, "handled table number"},
        {"nothing", false, LUA_ERRRUN, "asm:2: attempt to call global `nothing' (a nil value)"},
        {"nothing", true, LUA_ERRRUN, "asm:2: attempt to call local `f' (a nil value)"},
    };
    for (const Case& c : cases) {
        Func f;
        const int kg = f.Str(c.global);
        const int k1 = f.Num(1);
        f.ABx(GETGLOBAL, 0, kg);
        f.line = 2;
        f.ABx(LOADCONST, 1, k1);
        f.ABC(CALL, 0, 2, 2);
        f.ABC(RETURN, 0, 2, 0);
        if (c.local) {
            f.Local("f", 1, 4);
        }
        EXPECT_EQ(Call(f), c.status);
        if (c.status == 0) {
            EXPECT_EQ(Str(1), c.expected);
        } else {
            EXPECT_EQ(mMsg, c.expected);
        }
        lua_settop(L, 0);
    }
}

// A function that counts down through tail calls: the frames do not pile up.
Func CountdownByTailCall() {
    Func f; // function count(n) if n == 0 then return "done" end return count(n - 1) end
    f.numparams = 1;
    const int k0 = f.Num(0);
    const int kdone = f.Str("done");
    const int kcount = f.Str("count");
    const int k1 = f.Num(1);
    f.ABC(EQUAL, 0, 0, RK(k0));
    f.AsBx(JUMP, 0, 2);
    f.ABx(LOADCONST, 1, kdone);
    f.ABC(RETURN, 1, 2, 0);
    f.ABx(GETGLOBAL, 1, kcount);
    f.ABC(SUB, 2, 0, RK(k1));
    f.ABC(TAILCALL, 1, 2, 0);
    f.ABC(RETURN, 1, 0, 0);
    return f;
}

TEST_F(LuaVm, TailCallsDoNotGrowTheCallStack) {
    lua_pushstring(L, "count");
    Push(L, CountdownByTailCall());
    lua_settable(L, LUA_GLOBALSINDEX);
    Func f;
    const int kcount = f.Str("count");
    const int kn = f.Num(100000);
    f.ABx(GETGLOBAL, 0, kcount);
    f.ABx(LOADCONST, 1, kn);
    f.ABC(CALL, 0, 2, 0);
    f.ABC(RETURN, 0, 0, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Str(1), "done");
    EXPECT_LT(L->size_ci, 64);
}

TEST_F(LuaVm, TailCallOfNativeFunction) {
    SetGlobalFunction("rev", ReturnArgsReversed);
    Func f;
    const int krev = f.Str("rev");
    const int k1 = f.Num(1);
    const int k2 = f.Num(2);
    f.ABx(GETGLOBAL, 0, krev);
    f.ABx(LOADCONST, 1, k1);
    f.ABx(LOADCONST, 2, k2);
    f.ABC(TAILCALL, 0, 3, 0);
    f.ABC(RETURN, 0, 0, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    ASSERT_EQ(lua_gettop(L), 2);
    EXPECT_EQ(Num(1), 2);
    EXPECT_EQ(Num(2), 1);
}

TEST_F(LuaVm, ReturnCounts) {
    struct Case {
        int a, b;
        int expected;
    } cases[] = {{0, 1, 0}, {0, 2, 1}, {1, 3, 2}, {0, 4, 3}};
    for (const Case& c : cases) {
        Func f;
        const int k = f.Num(9);
        for (int r = 0; r < 4; r++) {
            f.ABx(LOADCONST, r, k);
        }
        f.ABC(RETURN, c.a, c.b, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        EXPECT_EQ(lua_gettop(L), c.expected);
        lua_settop(L, 0);
    }
}

// for i = start, limit, step do acc = acc * 10 + i end, in the form with the pre-subtraction and
// the jump to the loop instruction.
Func NumericFor(const Const& start, const Const& limit, const Const& step) {
    Func f;
    f.k = {start, limit, step, {LUA_TNUMBER, 0}, {LUA_TNUMBER, 10}};
    f.ABx(LOADCONST, 0, 3); // acc
    f.ABx(LOADCONST, 1, 0);
    f.ABx(LOADCONST, 2, 1);
    f.ABx(LOADCONST, 3, 2);
    f.ABC(SUB, 1, 1, 3);
    const int jmp = f.AsBx(JUMP, 0, 0);
    const int body = f.ABC(MUL, 0, 0, RK(4));
    f.ABC(ADD, 0, 0, 1);
    const int loop = f.AsBx(NUMFORLOOP, 1, 0);
    f.PatchTo(jmp, loop);
    f.PatchTo(loop, body);
    f.ABC(RETURN, 0, 2, 0);
    return f;
}

TEST_F(LuaVm, NumericForLoop) {
    const Const n0{LUA_TNUMBER, 0};
    struct Case {
        Const start, limit, step;
        double expected;
    } cases[] = {
        {{LUA_TNUMBER, 1}, {LUA_TNUMBER, 3}, {LUA_TNUMBER, 1}, 123},
        {{LUA_TNUMBER, 3}, {LUA_TNUMBER, 1}, {LUA_TNUMBER, -1}, 321},
        {{LUA_TNUMBER, 1}, {LUA_TNUMBER, 0}, {LUA_TNUMBER, 1}, 0},
        {{LUA_TNUMBER, 1}, {LUA_TNUMBER, 5}, {LUA_TNUMBER, 2}, 135},
        {{LUA_TNUMBER, 1}, {LUA_TSTRING, 0, "2"}, {LUA_TWSTRING, 0, {}, u"1"}, 12},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(Call(NumericFor(c.start, c.limit, c.step)), 0) << mMsg;
        EXPECT_EQ(Num(1), c.expected);
        lua_settop(L, 0);
    }
    // The loop instruction checks its three registers; only the limit and the step convert.
    struct ErrCase {
        Const start, limit, step;
        const char* expected;
    } errors[] = {
        {{LUA_TSTRING, 0, "1"},
         {LUA_TNUMBER, 3},
         {LUA_TNUMBER, 1},
         "asm:1: `for' initial value must be a number"},
        {{LUA_TNUMBER, 1},
         {LUA_TSTRING, 0, "x"},
         {LUA_TNUMBER, 1},
         "asm:1: `for' limit must be a number"},
        {{LUA_TNUMBER, 1}, {LUA_TNUMBER, 3}, {LUA_TNIL}, "asm:1: `for' step must be a number"},
        {{LUA_TNUMBER, 1},
         {LUA_TNUMBER, 3},
         {LUA_TWSTRING, 0, {}, u"s"},
         "asm:1: `for' step must be a number"},
    };
    for (const ErrCase& c : errors) {
        Func f;
        f.k = {c.start, c.limit, c.step};
        f.ABx(LOADCONST, 0, 0);
        f.ABx(LOADCONST, 1, 1);
        f.ABx(LOADCONST, 2, 2);
        f.AsBx(NUMFORLOOP, 0, -1);
        f.ABC(RETURN, 0, 1, 0);
        EXPECT_EQ(Call(f), LUA_ERRRUN);
        EXPECT_EQ(mMsg, c.expected);
        lua_settop(L, 0);
    }
}

int NativeNext(lua_State* L) {
    lua_settop(L, 2);
    if (lua_next(L, 1)) {
        return 2;
    }
    lua_pushnil(L);
    return 1;
}

// for k, v in t do acc = acc + v end, where the iterator preparation puts the global next in
// place of the table.
Func GenericForSum() {
    Func f;
    f.numparams = 1; // the table, moved to the iterator registers
    const int k0 = f.Num(0);
    f.ABC(COPY, 2, 0, 0);    // generator slot := t
    f.ABx(LOADCONST, 1, k0); // acc
    const int prep = f.AsBx(ITERPREP, 2, 0);
    const int body = f.ABC(ADD, 1, 1, 5); // acc = acc + v
    const int loop = f.ABC(ITERLOOP, 2, 0, 1);
    const int back = f.AsBx(JUMP, 0, 0);
    f.PatchTo(back, body);
    f.PatchTo(prep, loop);
    f.ABC(RETURN, 1, 2, 0);
    return f;
}

TEST_F(LuaVm, GenericForWithNativeNext) {
    SetGlobalFunction("next", NativeNext);
    lua_newtable(L);
    for (int i = 1; i <= 4; i++) {
        lua_pushnumber(L, i * 10);
        lua_rawseti(L, -2, i);
    }
    lua_pushstring(L, "x");
    lua_pushnumber(L, 5);
    lua_rawset(L, -3);
    ASSERT_EQ(Call(GenericForSum(), 1), 0) << mMsg;
    EXPECT_EQ(Num(1), 105);
}

// An iterator written in Lua runs in the loop's own activation: f(s, c) returns c + 1 and c * c
// until c reaches 4.
TEST_F(LuaVm, GenericForWithLuaIterator) {
    Func iter;
    iter.numparams = 2;
    const int k4 = iter.Num(4);
    const int k1 = iter.Num(1);
    iter.ABC(LESS, 1, 1, RK(k4));
    iter.AsBx(JUMP, 0, 1);
    iter.ABC(RETURN, 0, 1, 0); // c >= 4: no results, the loop ends
    iter.ABC(ADD, 2, 1, RK(k1));
    iter.ABC(MUL, 3, 2, 2);
    iter.ABC(RETURN, 2, 3, 0);
    Func f;
    const int p = f.Sub(iter);
    const int k0 = f.Num(0);
    f.ABx(LOADCONST, 0, k0); // acc
    f.ABx(CLOSURE, 1, p);    // generator
    f.ABC(LOADNIL, 2, 2, 0); // state
    f.ABx(LOADCONST, 3, k0); // control
    const int jmp = f.AsBx(JUMP, 0, 0);
    const int body = f.ABC(ADD, 0, 0, 4); // acc = acc + squared
    const int loop = f.ABC(ITERLOOP, 1, 0, 1);
    const int back = f.AsBx(JUMP, 0, 0);
    f.PatchTo(back, body);
    f.PatchTo(jmp, loop);
    f.ABC(RETURN, 0, 2, 0);
    f.maxstack = 10;
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(Num(1), 1 + 4 + 9 + 16);
    EXPECT_EQ(L->nCcalls, 0);
}

// SETLIST stores 1 + (Bx mod 32) items starting after the batch Bx - Bx mod 32;
// SETLISTOPEN stores up to the top an open call left.
TEST_F(LuaVm, ListStores) {
    struct Case {
        int bx;
        std::vector<int> keys;
    } cases[] = {{0, {1}}, {2, {1, 2, 3}}, {33, {33, 34}}, {64, {65}}};
    for (const Case& c : cases) {
        Func f;
        const int kv = f.Num(7);
        f.ABC(NEWTABLE, 0, 0, 0);
        for (int r = 1; r <= 3; r++) {
            f.ABx(LOADCONST, r, kv);
        }
        f.ABx(SETLIST, 0, c.bx);
        f.ABC(RETURN, 0, 2, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        std::vector<int> keys;
        lua_pushnil(L);
        while (lua_next(L, 1)) {
            keys.push_back(static_cast<int>(Num(-2)));
            lua_pop(L, 1);
        }
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(keys, c.keys) << "Bx " << c.bx;
        lua_settop(L, 0);
    }
    SetGlobalFunction("rev", ReturnArgsReversed);
    Func f;
    const int krev = f.Str("rev");
    const int k1 = f.Num(1);
    const int k2 = f.Num(2);
    f.ABC(NEWTABLE, 0, 0, 0);
    f.ABx(LOADCONST, 1, k1);
    f.ABx(GETGLOBAL, 2, krev);
    f.ABx(LOADCONST, 3, k1);
    f.ABx(LOADCONST, 4, k2);
    f.ABC(CALL, 2, 3, 0);
    f.ABx(SETLISTOPEN, 0, 0);
    f.ABC(RETURN, 0, 2, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(lua_getn(L, 1), 3);
    lua_rawgeti(L, 1, 2);
    EXPECT_EQ(Num(-1), 2);
    lua_rawgeti(L, 1, 3);
    EXPECT_EQ(Num(-1), 1);
}

// {n = 2, 7, 8, 9}, {7, 8, nil, 10}, {[1] = 1, [100] = 1} and {[2.5] = 1} built by constructors.
TEST_F(LuaVm, LengthOfConstructedTables) {
    struct Item {
        Const key; // nil: a list item
        Const value;
    };
    struct Case {
        std::vector<Item> items;
        int arraySize;
        int expected;
    } cases[] = {
        {{{{LUA_TSTRING, 0, "n"}, {LUA_TNUMBER, 2}},
          {{LUA_TNIL}, {LUA_TNUMBER, 7}},
          {{LUA_TNIL}, {LUA_TNUMBER, 8}},
          {{LUA_TNIL}, {LUA_TNUMBER, 9}}},
         3,
         2},
        {{{{LUA_TNIL}, {LUA_TNUMBER, 7}},
          {{LUA_TNIL}, {LUA_TNUMBER, 8}},
          {{LUA_TNIL}, {LUA_TNIL}},
          {{LUA_TNIL}, {LUA_TNUMBER, 10}}},
         4,
         4},
        {{{{LUA_TNUMBER, 1}, {LUA_TNUMBER, 1}}, {{LUA_TNUMBER, 100}, {LUA_TNUMBER, 1}}}, 0, 100},
        {{{{LUA_TNUMBER, 2.5}, {LUA_TNUMBER, 1}}}, 0, 2},
        {{}, 0, 0},
    };
    for (const Case& c : cases) {
        Func f;
        f.ABC(NEWTABLE, 0, c.arraySize, 2);
        int listed = 0;
        for (const Item& it : c.items) {
            const int kv = static_cast<int>(f.k.size());
            f.k.push_back(it.value);
            if (it.key.type == LUA_TNIL) {
                f.ABx(LOADCONST, 1 + listed, kv);
                listed++;
            } else {
                const int kk = static_cast<int>(f.k.size());
                f.k.push_back(it.key);
                f.ABC(SETINDEX, 0, RK(kk), RK(kv));
            }
        }
        if (listed > 0) {
            f.ABx(SETLIST, 0, listed - 1);
        }
        f.ABC(RETURN, 0, 2, 0);
        ASSERT_EQ(Call(f), 0) << mMsg;
        EXPECT_EQ(lua_getn(L, 1), c.expected);
        lua_settop(L, 0);
    }
}

TEST_F(LuaVm, UnknownOpcodeIsAnError) {
    Func f;
    f.Emit(39);
    f.ABC(RETURN, 0, 1, 0);
    EXPECT_EQ(Call(f), LUA_ERRRUN);
    EXPECT_EQ(mMsg, "asm:1: bad opcode 39");
}

// Every collection point inside the loop (tables, closures, concatenation) keeps what the frame
// still uses: after many iterations the values are intact.
TEST_F(LuaVm, CollectionsDuringExecutionKeepLiveValues) {
    lua_setgcthreshold(L, 0);
    Func f;
    const int ka = f.Str("a");
    const int k1 = f.Num(1);
    const int k200 = f.Num(200);
    Func inner;
    inner.ABC(RETURN, 0, 1, 0);
    const int p = f.Sub(inner);
    f.ABx(LOADCONST, 0, k1);
    f.ABx(LOADCONST, 1, k200);
    f.ABx(LOADCONST, 2, k1);
    f.ABx(LOADCONST, 4, ka); // the string grows each pass
    f.ABC(SUB, 0, 0, 2);
    const int jmp = f.AsBx(JUMP, 0, 0);
    const int body = f.ABC(NEWTABLE, 5, 0, 1);
    f.ABx(CLOSURE, 6, p);
    f.ABC(SETINDEX, 5, RK(ka), 6);
    f.ABC(COPY, 6, 4, 0);
    f.ABx(LOADCONST, 7, ka);
    f.ABC(CONCAT, 4, 6, 7);
    const int loop = f.AsBx(NUMFORLOOP, 0, 0);
    f.PatchTo(jmp, loop);
    f.PatchTo(loop, body);
    f.ABC(RETURN, 4, 3, 0);
    ASSERT_EQ(Call(f), 0) << mMsg;
    EXPECT_EQ(lua_strlen(L, 1), 201u);
    ASSERT_TRUE(lua_istable(L, 2));
    lua_pushstring(L, "a");
    lua_rawget(L, 2);
    EXPECT_TRUE(lua_isfunction(L, -1));
    EXPECT_GE(LuaVerifyReachable(L), 0);
}

} // namespace
