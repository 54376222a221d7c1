// The compiler end to end: self-checking scripts run through lua_load and lua_pcall, the extended
// syntax (continue, numbered loops, size hints, bitwise operators, wide literals, 16-bit sources),
// the error messages of the lexer and the parser, and the instructions the code generator picks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luastate.h"
#include "tests/engine/script/lua/luaasm.h"
#include "tests/engine/script/lua/luacompiletest.h"
#include "tests/engine/script/lua/luatestsupport.h"

using namespace luacompiletest;

namespace {

struct ScriptCase {
    const char* name;
    const char* src;
};

// Every script checks its own results with assert; expected values are worked out by hand.
const ScriptCase kScripts[] = {
    {"arith", R"(
        assert(1 + 2 * 3 == 7) assert((1 + 2) * 3 == 9) assert(7 - 2 - 1 == 4)
        assert(8 / 2 / 2 == 2) assert(-2 * 3 == -6) assert(- -2 == 2)
        local a, b = 5, 3 assert(a - b == 2) assert(-a == -5)
    )"},
    {"bitwise", R"(
        assert(6 & 3 == 2) assert((5 | 8) == 13) assert(1 << 31 == 2147483648)
        assert((-1) >> 28 == 15) assert(4 + 3 & 1 == 5) assert(2 * 3 << 1 == 12)
        assert(-1 & 255 == 255) assert(2 ^ 3 == 1) assert(5 ^ 5 == 0)
        local x = 0xF0 assert(x & 0x3C == 0x30) assert(x | 0x0F == 255)
    )"},
    {"hex", R"(
        assert(0x1F == 31) assert(0xffffffff == 4294967295) assert(0xAbC == 2748)
        assert(0x0 == 0)
    )"},
    {"strings", R"(
        assert("a" .. "b" .. "c" == "abc") assert(len("\x41\x4") == 2)
        assert("\x41\x4" == "A\4") assert("\xg" == "xg") assert("\65\066" == "AB")
        assert(len("a\0b") == 3) assert([[x]] == "x") assert([[
line]] == "line") assert([[a[[b]]c]] == "a[[b]]c") assert('\'' == "'")
        assert("a\
b" == "a\nb")
    )"},
    {"wide", R"(
        local w = L"abc"
        assert(typeof(w) == "wstring") assert(len(w) == 3) assert(wcode(w, 2) == 98)
        assert(L"abc" == ws(97, 98, 99)) assert(L"abc" ~= "abc")
        assert(len(L"\x263A") == 1) assert(wcode(L"\x263A", 1) == 0x263A)
        assert(wcode(L"\x41g", 1) == 65) assert(wcode(L"\xg", 1) == 120)
        assert(L"" == ws()) assert(wcode(L"\255", 1) == 255)
        local L = 5 assert(L == 5) local Lx = 6 assert(Lx == 6)
        assert(L"a" .. 1 == L"a1")
        assert(L"1e99999999999" + 0 == 1 / 0) assert(L"2e-99999999999" * 1 == 0)
    )"},
    {"wide_call_argument", R"(
        local got
        local function f(s) got = s end
        f L"xy" assert(got == ws(120, 121))
        f "xy" assert(got == "xy")
        local t = {L"k"} assert(t[1] == L"k")
    )"},
    {"logic", R"(
        local t, f, n = true, false, nil
        assert((t and 1) == 1) assert((f and 1) == false) assert((n or 2) == 2)
        assert((1 or error()) == 1) assert(not n) assert(not not t)
        assert((t and f or 3) == 3) assert(1 < 2 and 2 <= 2 and 3 > 2 and 3 >= 3)
        assert("a" < "b") assert(not (1 == 2)) assert(1 ~= 2)
        local x = 1 < 2 assert(x == true) x = 1 > 2 assert(x == false)
        local y = n and n.field assert(y == nil)
    )"},
    {"tables", R"(
        local t = {1, 2, 3; x = 4, ["y"] = 5, [10] = 6}
        assert(t[1] == 1 and t[3] == 3 and t.x == 4 and t.y == 5 and t[10] == 6)
        assert(getn({1, 2, 3, 4}) == 4)
        local function three() return 7, 8, 9 end
        local u = {three()} assert(u[3] == 9) local v = {three(), 1} assert(v[2] == 1)
        local big = {} for i = 1, 100 do big[i] = i end assert(big[77] == 77)
        local lit = {1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,
                     28,29,30,31,32,33,34,35} assert(lit[33] == 33 and lit[35] == 35)
        local h = { &4 } h.a = 1 assert(h.a == 1)
        local hh = { &8 &100 1, 2, 3 } assert(hh[3] == 3)
        t.a = {b = {c = 1}} assert(t.a.b.c == 1)
        local a, b = {}, {} a.x, b.y = 1, 2 assert(a.x + b.y == 3)
    )"},
    {"functions", R"(
        local function fact(n) if n <= 1 then return 1 end return n * fact(n - 1) end
        assert(fact(5) == 120)
        local function va(...) return arg.n, arg[1] end
        local n, first = va(4, 5, 6) assert(n == 3 and first == 4)
        local o = {v = 2} function o:get(k) return self.v * k end assert(o:get(3) == 6)
        function o.twice(x) return x * 2 end assert(o.twice(4) == 8)
        local function multi() return 1, 2 end local p, q, r = multi() assert(q == 2 and r == nil)
        local function tail(k) if k == 0 then return "done" end return tail(k - 1) end
        assert(tail(10000) == "done")
        local s = 0 local function add(...) for i = 1, arg.n do s = s + arg[i] end end
        add(1, 2, 3) assert(s == 6)
    )"},
    {"closures", R"(
        local function counter() local c = 0 return function() c = c + 1 return c end end
        local c1, c2 = counter(), counter()
        assert(c1() == 1 and c1() == 2 and c2() == 1)
        local fs = {}
        local i = 1
        while i <= 3 do local j = i fs[i] = function() return j end i = i + 1 end
        assert(fs[1]() == 1 and fs[3]() == 3)
        local a = 1 local function up() a = a + 1 end up() assert(a == 2)
    )"},
    {"loops", R"(
        local s = 0 for i = 1, 10 do s = s + i end assert(s == 55)
        s = 0 for i = 10, 1, -2 do s = s + i end assert(s == 30)
        local t = {10, 20, 30} s = 0
        for k, v in next, t do s = s + k * v end assert(s == 140)
        s = 0 for k, v in t do s = s + v end assert(s == 60)
        local n = 0 repeat n = n + 1 until n == 5 assert(n == 5)
        n = 0 while n < 7 do n = n + 1 end assert(n == 7)
        n = 0 while true do n = n + 1 if n == 3 then break end end assert(n == 3)
    )"},
    {"break_n_continue_n", R"(
        local trace = ""
        local i = 0
        while i < 3 do
            i = i + 1
            for j = 1, 3 do
                if j == 2 and i == 2 then break 2 end
                trace = trace .. i .. j
            end
        end
        assert(trace == "11121321", trace)
        trace = ""
        for a = 1, 3 do
            for b = 1, 3 do
                if b == 2 then continue 2 end
                trace = trace .. a .. b
            end
            trace = trace .. "x"
        end
        assert(trace == "112131", trace)
        trace = ""
        for a = 1, 2 do for b = 1, 2 do if b == 2 then break 1 end trace = trace .. a .. b end end
        assert(trace == "1121", trace)
    )"},
    {"continue_each_loop", R"(
        local n, s = 0, 0
        while n < 6 do n = n + 1 if n & 1 == 1 then continue end s = s + n end
        assert(s == 12, s)
        s = 0 for i = 1, 6 do if i & 1 == 0 then continue end s = s + i end assert(s == 9, s)
        s = 0 for k, v in {1, 2, 3, 4} do if v == 2 then continue end s = s + v end
        assert(s == 8, s)
        local tries, c = 0, 0
        repeat tries = tries + 1 if tries < 5 then continue end c = c + 1 until tries >= 5
        assert(tries == 5 and c == 1, tries)
        local k = 0
        repeat k = k + 1 continue until k == 3
        assert(k == 3)
    )"},
    {"continue_closes_upvalues", R"(
        local fs = {}
        local i = 0
        while i < 3 do
            i = i + 1
            local v = i
            fs[i] = function() return v end
            if i < 3 then continue end
        end
        assert(fs[1]() == 1 and fs[2]() == 2 and fs[3]() == 3)
        local gs = {}
        for j = 1, 3 do
            local w = j * 10
            gs[j] = function() w = w + 1 return w end
            continue
        end
        assert(gs[1]() == 11 and gs[2]() == 21 and gs[1]() == 12)
        local hs, n = {}, 0
        repeat
            n = n + 1
            do local x = n hs[n] = function() return x end if n < 3 then continue end end
        until n == 3
        assert(hs[1]() == 1 and hs[2]() == 2 and hs[3]() == 3)
    )"},
    {"break_closes_upvalues", R"(
        local f
        for i = 1, 3 do local v = i * 2 f = function() return v end if i == 2 then break end end
        assert(f() == 4)
    )"},
    {"assignment", R"(
        local a, b, c = 1 assert(a == 1 and b == nil and c == nil)
        a, b = 2, 3, 4 assert(a == 2 and b == 3)
        a, b = b, a assert(a == 3 and b == 2)
        local t = {} local i = 1 i, t[i] = i + 1, 20 assert(i == 2 and t[1] == 20)
        x = 5 assert(x == 5) x = nil assert(x == nil)
    )"},
    {"concat_numbers", R"(
        assert(1 .. 2 == "12") assert("a" .. 1 .. "b" == "a1b")
        local s = "" for i = 1, 3 do s = s .. i end assert(s == "123")
    )"},
    {"comments_and_shebang_free", R"(
        -- a line comment
        --[[ a long
        comment ]] local z = 1
        assert(z == 1);
    )"},
    {"numbers", R"(
        assert(1e2 == 100) assert(.5 == 0.5) assert(3. == 3) assert(1E-1 == 0.1)
        assert(2.5e+1 == 25)
    )"},
};

class LuaCompile : public LuaStateTest {
protected:
    void SetUp() override {
        LuaStateTest::SetUp();
        OpenTestNatives(L);
    }
};

TEST_F(LuaCompile, SelfCheckingScripts) {
    for (const ScriptCase& c : kScripts) {
        EXPECT_EQ(RunChunk(L, c.src), "") << c.name;
    }
}

TEST_F(LuaCompile, ChunksRunTheSameAndRoundTripByteForByte) {
    for (const ScriptCase& c : kScripts) {
        const std::string chunk = Compile(L, c.src);
        ASSERT_FALSE(chunk.empty()) << c.name;
        EXPECT_EQ(RunChunk(L, chunk), "") << c.name;
        // Loaded and written again, the chunk is the same bytes.
        ASSERT_EQ(LoadBytes(L, chunk, "=other name"), 0) << c.name;
        EXPECT_EQ(Dump(L), chunk) << c.name;
        lua_settop(L, 0);
    }
}

TEST_F(LuaCompile, ShebangLineIsSkipped) {
    EXPECT_EQ(RunChunk(L, "#!/bin/whatever here ( is not Lua\nassert(1 == 1)"), "");
}

TEST_F(LuaCompile, SixteenBitSources) {
    auto wide = [](const std::u16string& s) {
        std::string bytes = "\xFF\xFE";
        for (char16_t u : s) {
            bytes.push_back(static_cast<char>(u & 0xFF));
            bytes.push_back(static_cast<char>(u >> 8));
        }
        return bytes;
    };
    // The byte-order mark then p=1, low byte first.
    EXPECT_EQ(RunChunk(L, std::string("\xFF\xFEp\0=\0"
                                      "1\0",
                                      8)),
              "");
    EXPECT_EQ(RunChunk(L, "assert(p == 1)"), "");
    // A wide literal keeps whole units; a narrow one keeps their low bytes.
    EXPECT_EQ(RunChunk(L, wide(u"w = L\"\u263A\" n = \"\u263A\"")), "");
    EXPECT_EQ(RunChunk(L, "assert(wcode(w, 1) == 0x263A and len(w) == 1) assert(n == \":\")"), "");
    // Units of 255 and above outside literals and comments are refused.
    EXPECT_EQ(RunChunk(L, wide(u"x = 1 \u263A")), "test:1: invalid wide char near `char(9786)'");
    EXPECT_EQ(RunChunk(L, wide(u"x = \u00FF")), "test:1: invalid wide char near `char(255)'");
    EXPECT_EQ(RunChunk(L, wide(u"x = L\"\u00FF\" x = \"\u00FF\"")), "");
    EXPECT_EQ(RunChunk(L, wide(u"-- \u263A comment\ny = 2")), "");
    EXPECT_EQ(RunChunk(L, "assert(y == 2)"), "");
}

struct ErrorCase {
    const char* src;
    const char* message;
};

TEST_F(LuaCompile, ErrorMessages) {
    const ErrorCase cases[] = {
        // Loop numbers.
        {"while 1 do for i = 1, 2 do break 3 end end", "test:1: no loop to break near `end'"},
        {"while 1 do break 0 end", "test:1: loop block number out of range near `0'"},
        {"while 1 do break 101 end", "test:1: loop block number out of range near `101'"},
        {"while 1 do break 1.5 end", "test:1: loop block number must be integer near `1.5'"},
        {"while 1 do continue 2 end", "test:1: no loop to continue near `end'"},
        {"break", "test:1: no loop to break near `<eof>'"},
        {"do continue end", "test:1: no loop to continue near `end'"},
        {"while 1 do break x = 1 end", "test:1: `end' expected near `x'"},
        {"while 1 do continue; x = 1 end", "test:1: `end' expected near `x'"},
        // Size hints.
        {"t = { &x }", "test:1: size expected following & (line 1) near `x'"},
        {"t = {\n&4 & }", "test:2: size expected following & (line 2) near `}'"},
        // Lexer.
        {"x = \"abc", "test:1: unfinished string near `<eof>'"},
        {"x = \"abc\ny\"", "test:1: unfinished string near `\"abc'"},
        {"x = [[abc", "test:1: unfinished long string near `<eof>'"},
        {"--[[abc", "test:1: unfinished long comment near `<eof>'"},
        {"x = \"\\256\"", "test:1: escape sequence too large near `\"'"},
        {"x = L\"\\256\"", "test:1: escape sequence too large near `\"'"},
        {"x = 1..2", "test:1: ambiguous syntax (decimal point x string concatenation) near `1..'"},
        {"x = 3e", "test:1: malformed number near `3e'"},
        {"x = \x01", "test:1: invalid control char near `char(1)'"},
        {"x = \xFF", "test:1: invalid wide char near `char(255)'"},
        {"x = 1 @", "test:1: unexpected symbol near `@'"},
        {"x = \xE9", "test:1: unexpected symbol near `\xE9'"}, // names are ASCII only
        {"f(L\"a\" 1)", "test:1: `)' expected near `1'"},
        {"x = L\"a\" y", "test:1: `=' expected near `<eof>'"},
        {"L\"w\" = 1", "test:1: unexpected symbol near `*wstring'"},
        {"x = {0x123456789}", "test:1: `}' expected near `9'"}, // eight digits, then 9
        {"x = 0x", "test:1: malformed integer near `0x'"},
        {"x = 0X1F", "test:1: `=' expected near `<eof>'"}, // 0, then the name X1F
        // Parser.
        {"x = ", "test:1: unexpected symbol near `<eof>'"},
        {"if x then", "test:1: `end' expected near `<eof>'"},
        {"if x then\n\n", "test:3: `end' expected (to close `if' at line 1) near `<eof>'"},
        {"for i do end", "test:1: `=' or `in' expected near `do'"},
        {"local function() end", "test:1: <name> expected near `('"},
        {"function f(a, 1) end", "test:1: <name> or `...' expected near `1'"},
        {"f\n(1)", "test:2: ambiguous syntax (function call x new statement) near `('"},
        {"x:y 1", "test:1: function arguments expected near `1'"},
        {"return 1 x = 2", "test:1: <eof> expected near `x'"},
        {"1 = 2", "test:1: unexpected symbol near `1'"},
        {"f() = 1", "test:1: unexpected symbol near `='"},
        {"x, f() = 1", "test:1: syntax error near `='"},
    };
    for (const ErrorCase& c : cases) {
        EXPECT_EQ(RunChunk(L, c.src), c.message) << c.src;
    }
}

TEST_F(LuaCompile, LimitMessages) {
    std::string locals;
    for (int i = 0; i < 201; i++) {
        locals += "local v" + std::to_string(i) + "\n";
    }
    EXPECT_EQ(RunChunk(L, locals), "test:202: too many local variables (limit=200) near `<eof>'");

    std::string upvalues;
    for (int i = 0; i < 33; i++) {
        upvalues += "local u" + std::to_string(i) + " ";
    }
    upvalues += "function f() return ";
    for (int i = 0; i < 33; i++) {
        upvalues += (i ? "+u" : "u") + std::to_string(i);
    }
    upvalues += " end";
    EXPECT_EQ(RunChunk(L, upvalues), "test:1: too many upvalues (limit=32) near `end'");

    std::string nested(201, '(');
    EXPECT_EQ(RunChunk(L, "x = " + nested + "1"), "test:1: too many syntax levels near `('");

    std::string targets = "a";
    for (int i = 0; i < 100000; i++) {
        targets += ",a";
    }
    EXPECT_EQ(RunChunk(L, targets + " = 1"), "test:1: too many syntax levels near `,'");

    std::string cond = "while x";
    for (int i = 0; i < 60; i++) {
        cond += " and x";
    }
    EXPECT_EQ(RunChunk(L, cond + " do end"), "test:1: `while' condition too complex near `do'");
}

// A chunk's main prototype, compiled from the source (the closure is left on the stack).
const Proto* CompileProto(lua_State* L, const std::string& src) {
    if (LoadBytes(L, src, "=test") != 0) {
        ADD_FAILURE() << lua_tostring(L, -1);
        return nullptr;
    }
    return clvalue(L->top - 1)->l.p;
}

uint32_t Op(uint32_t i) {
    return i & 63;
}
int ArgA(uint32_t i) {
    return static_cast<int>(i >> 24);
}
int ArgB(uint32_t i) {
    return static_cast<int>((i >> 15) & 511);
}
int ArgC(uint32_t i) {
    return static_cast<int>((i >> 6) & 511);
}
int ArgBx(uint32_t i) {
    return static_cast<int>((i >> 6) & 0x3FFFF);
}

TEST_F(LuaCompile, CodeShapes) {
    using namespace luaasm;
    // x = -3 is one constant load of -3.
    const Proto* p = CompileProto(L, "local x = -3");
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->sizecode, 2);
    EXPECT_EQ(Op(p->code[0]), LOADCONST);
    EXPECT_EQ(nvalue(&p->k[ArgBx(p->code[0])]), -3);
    // -y negates a register.
    p = CompileProto(L, "local y local x = -y");
    EXPECT_EQ(Op(p->code[1]), NEGATE);
    // a & 0xFF: one BITAND addressing the constant 255.
    p = CompileProto(L, "local a local b = a & 0xFF");
    ASSERT_EQ(Op(p->code[1]), BITAND);
    EXPECT_EQ(ArgB(p->code[1]), 0);
    ASSERT_GE(ArgC(p->code[1]), 250);
    EXPECT_EQ(nvalue(&p->k[ArgC(p->code[1]) - 250]), 255);
    // 1 + 2 & 3: the & is computed first, from the constants 2 and 3.
    p = CompileProto(L, "local r = 1 + 2 & 3");
    ASSERT_EQ(Op(p->code[0]), BITAND);
    EXPECT_EQ(nvalue(&p->k[ArgB(p->code[0]) - 250]), 2);
    EXPECT_EQ(nvalue(&p->k[ArgC(p->code[0]) - 250]), 3);
    EXPECT_EQ(Op(p->code[1]), ADD);
    // 2 ^ 3 ^ 2 groups from the right: 3 ^ 2 comes first.
    p = CompileProto(L, "local r = 2 ^ 3 ^ 2");
    ASSERT_EQ(Op(p->code[0]), CARET);
    EXPECT_EQ(nvalue(&p->k[ArgB(p->code[0]) - 250]), 3);
    EXPECT_EQ(nvalue(&p->k[ArgC(p->code[0]) - 250]), 2);
    ASSERT_EQ(Op(p->code[1]), CARET);
    EXPECT_EQ(nvalue(&p->k[ArgB(p->code[1]) - 250]), 2);
    // a * b << 2 is a * (b << 2).
    p = CompileProto(L, "local a, b local r = a * b << 2");
    EXPECT_EQ(Op(p->code[1]), SHIFTLEFT);
    EXPECT_EQ(Op(p->code[2]), MUL);
    // The same wide literal twice is one constant; a narrow one with the same text another.
    p = CompileProto(L, "local a, b, c = L\"q\", L\"q\", \"q\"");
    EXPECT_EQ(p->sizek, 2);
    // Returning a call is a tail call; every function ends with RETURN 0 1.
    p = CompileProto(L, "return f()");
    EXPECT_EQ(Op(p->code[1]), TAILCALL);
    EXPECT_EQ(p->code[p->sizecode - 1], EncABC(RETURN, 0, 1, 0));
    lua_settop(L, 0);
}

TEST_F(LuaCompile, ConstantsBeyondTheOperandRangeGoThroughARegister) {
    // Constants 0..261 fit an RK operand; the 263rd (index 262) does not.
    std::string src = "local r, x = 0, 0\n";
    for (int i = 1; i <= 261; i++) {
        src += "r = " + std::to_string(i + 1000) + "\n";
    }
    src += "r = x + 5000\nreturn r";
    const Proto* p = CompileProto(L, src);
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->sizek, 263);
    EXPECT_EQ(nvalue(&p->k[262]), 5000);
    const int add = p->sizecode - 3;
    ASSERT_EQ(Op(p->code[add]), luaasm::ADD);
    const uint32_t load = p->code[add - 1];
    EXPECT_EQ(Op(load), luaasm::LOADCONST);
    EXPECT_EQ(ArgBx(load), 262);
    EXPECT_EQ(ArgC(p->code[add]), ArgA(load));
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0);
    EXPECT_EQ(lua_tonumber(L, -1), 5000);
    lua_settop(L, 0);
}

TEST_F(LuaCompile, TableSizeHints) {
    struct HintCase {
        const char* src;
        int b; // array size operand (floating byte)
        int c; // log2 hash size + 1
    };
    const HintCase cases[] = {
        {"local t = { &4 }", 0, 3},
        {"local t = { &0 &16 }", 20, 0},
        {"local t = { &2 &1 1, 2, 3 }", 3, 2},
        {"local t = { &1 a = 1, b = 2 }", 0, 2},
        {"local t = { &0 &0 1 }", 1, 0},
        {"local t = { &1e12 }", 0, 0},                  // past the int range: no hint
        {"local t = { &16777216 &4000000000 }", 0, 24}, // clamped to what a table can hold
    };
    for (const HintCase& c : cases) {
        const Proto* p = CompileProto(L, c.src);
        ASSERT_NE(p, nullptr) << c.src;
        ASSERT_EQ(Op(p->code[0]), luaasm::NEWTABLE) << c.src;
        EXPECT_EQ(ArgB(p->code[0]), c.b) << c.src;
        EXPECT_EQ(ArgC(p->code[0]), c.c) << c.src;
        lua_settop(L, 0);
    }
}

} // namespace
