// The precompiled chunk format: the exact header, the field layout, reading chunks written in the
// other byte order, and the refusal of damaged or hostile chunks before anything runs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/script/lua/lua.h"
#include "tests/engine/script/lua/luaasm.h"
#include "tests/engine/script/lua/luacompiletest.h"
#include "tests/engine/script/lua/luatestsupport.h"

using namespace luacompiletest;

namespace {

class LuaChunk : public LuaStateTest {
protected:
    void SetUp() override {
        LuaStateTest::SetUp();
        OpenTestNatives(L);
    }
    // Loads the bytes; returns "" when they load, else the message.
    std::string LoadMessage(const std::string& bytes, const char* name = "=test") {
        const int status = LoadBytes(L, bytes, name);
        std::string msg = status == 0 ? "" : lua_tostring(L, -1);
        lua_settop(L, 0);
        return msg;
    }
    // The chunk of an assembled function (the function need not be valid code).
    std::string AsmChunk(const luaasm::Func& f) {
        luaasm::Push(L, f);
        std::string out = Dump(L);
        lua_settop(L, 0);
        return out;
    }
};

const unsigned char kHeader[22] = {0x1b, 0x4c, 0x75, 0x61, 0x50, 0x01, 0x04, 0x04,
                                   0x04, 0x06, 0x08, 0x09, 0x09, 0x08, 0xb6, 0x09,
                                   0x93, 0x68, 0xe7, 0xf5, 0x7d, 0x41};

// Appends little-endian 4-byte values and raw bytes, for chunks written by hand.
struct TBytes {
    std::string s;
    TBytes& Byte(int b) {
        s.push_back(static_cast<char>(b));
        return *this;
    }
    TBytes& Int(uint32_t v) {
        for (int i = 0; i < 4; i++) {
            s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        }
        return *this;
    }
    TBytes& Str(const std::string& t) {
        Int(static_cast<uint32_t>(t.size() + 1));
        s += t;
        s.push_back('\0');
        return *this;
    }
    TBytes& Num(double d) {
        char b[8];
        std::memcpy(b, &d, 8);
        s.append(b, 8);
        return *this;
    }
};

std::string Header() {
    return std::string(reinterpret_cast<const char*>(kHeader), 22);
}

TEST_F(LuaChunk, HeaderAndMainRecordLayout) {
    const std::string chunk = Compile(L, "local w = L\"\" return 1", "=hdr");
    ASSERT_GE(chunk.size(), 22u);
    EXPECT_EQ(chunk.substr(0, 22), Header());
    // Main record: source "=hdr", line 0, upvalues 0, parameters 0, vararg 1, stack size 2.
    TBytes expect;
    expect.Str("=hdr").Int(0).Byte(0).Byte(0).Byte(1).Byte(2);
    EXPECT_EQ(chunk.substr(22, expect.s.size()), expect.s);
    // An empty wide string is the size 1 and one 0 unit.
    TBytes wide;
    wide.Byte(9).Int(1).Byte(0).Byte(0);
    EXPECT_NE(chunk.find(wide.s), std::string::npos);
}

TEST_F(LuaChunk, HandWrittenChunkRuns) {
    // return 40 + 2, L"hi"
    TBytes b;
    b.s = Header();
    b.Str("=hand").Int(0).Byte(0).Byte(0).Byte(0).Byte(4);
    b.Int(4).Int(1).Int(1).Int(1).Int(1); // lines
    b.Int(0);                             // locals
    b.Int(0);                             // upvalue names
    b.Int(3)
        .Byte(3)
        .Num(40)
        .Byte(3)
        .Num(2)
        .Byte(9)
        .Int(3)
        .Byte('h')
        .Byte(0)
        .Byte('i')
        .Byte(0)
        .Byte(0)
        .Byte(0);
    b.Int(0); // prototypes
    b.Int(4)
        .Int(luaasm::EncABC(luaasm::ADD, 0, luaasm::RK(0), luaasm::RK(1)))
        .Int(luaasm::EncABx(luaasm::LOADCONST, 1, 2))
        .Int(luaasm::EncABC(luaasm::RETURN, 0, 3, 0))
        .Int(luaasm::EncABC(luaasm::RETURN, 0, 1, 0));
    ASSERT_EQ(LoadBytes(L, b.s, "=hand"), 0) << lua_tostring(L, -1);
    ASSERT_EQ(lua_pcall(L, 0, 2, 0), 0);
    EXPECT_EQ(lua_tonumber(L, 1), 42);
    ASSERT_TRUE(lua_iswstring(L, 2));
    EXPECT_EQ(std::u16string(lua_towstring(L, 2)), u"hi");
    lua_settop(L, 0);
    // Written back, the chunk is the same bytes.
    ASSERT_EQ(LoadBytes(L, b.s, "=hand"), 0);
    EXPECT_EQ(Dump(L), b.s);
    lua_settop(L, 0);
}

// Rewrites a little-endian chunk in big-endian order by walking its records.
struct TSwapper {
    const std::string& in;
    std::string out;
    size_t pos = 0;
    void Raw(size_t n) {
        out += in.substr(pos, n);
        pos += n;
    }
    void Swapped(size_t n) {
        std::string v = in.substr(pos, n);
        out.append(v.rbegin(), v.rend());
        pos += n;
    }
    uint32_t Int() {
        uint32_t v;
        std::memcpy(&v, in.data() + pos, 4);
        Swapped(4);
        return v;
    }
    void Str() { Raw(Int()); }
    void Function() {
        Str();
        Int();
        Raw(4);
        for (uint32_t n = Int(); n > 0; n--) {
            Int();
        }
        for (uint32_t n = Int(); n > 0; n--) {
            Str();
            Int();
            Int();
        }
        for (uint32_t n = Int(); n > 0; n--) {
            Str();
        }
        for (uint32_t n = Int(); n > 0; n--) {
            const int type = static_cast<unsigned char>(in[pos]);
            Raw(1);
            if (type == 3) {
                Swapped(8);
            } else if (type == 4) {
                Str();
            } else if (type == 9) {
                for (uint32_t units = Int(); units > 0; units--) {
                    Swapped(2);
                }
            }
        }
        for (uint32_t n = Int(); n > 0; n--) {
            Function();
        }
        for (uint32_t n = Int(); n > 0; n--) {
            Int();
        }
    }
    std::string Run() {
        Raw(5);
        out.push_back('\0'); // big-endian
        pos++;
        Raw(8);
        Swapped(8);
        Function();
        return out;
    }
};

TEST_F(LuaChunk, BigEndianChunkLoads) {
    const char* src = R"(
        local function f(a, b) return a * 1000 + b, L"\x263A\x41" end
        local x, w = f(12, 34)
        assert(x == 12034) assert(wcode(w, 1) == 0x263A and wcode(w, 2) == 0x41)
        assert(-2.5 * 2 == -5) return x
    )";
    const std::string little = Compile(L, src);
    TSwapper sw{little, {}};
    const std::string big = sw.Run();
    ASSERT_EQ(big.size(), little.size());
    ASSERT_NE(big, little);
    ASSERT_EQ(LoadBytes(L, big, "=big"), 0) << lua_tostring(L, -1);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << lua_tostring(L, -1);
    EXPECT_EQ(lua_tonumber(L, -1), 12034);
    lua_settop(L, 0);
    // Written again, it is this machine's little-endian chunk.
    ASSERT_EQ(LoadBytes(L, big, "=test"), 0);
    EXPECT_EQ(Dump(L), little);
    lua_settop(L, 0);
}

TEST_F(LuaChunk, HeaderMismatches) {
    struct HeaderCase {
        int offset;
        int value;
        const char* message;
    };
    const HeaderCase cases[] = {
        {1, 'l', "bad signature in test"},
        {4, 0x51, "test too new: read version 5.1; expected at most 5.0"},
        {4, 0x40, "test too old: read version 4.0; expected at least 5.0"},
        {6, 8, "virtual machine mismatch in test: size of int is 4 but read 8"},
        {7, 8, "virtual machine mismatch in test: size of size_t is 4 but read 8"},
        {8, 2, "virtual machine mismatch in test: size of Instruction is 4 but read 2"},
        {9, 7, "virtual machine mismatch in test: size of OP is 6 but read 7"},
        {10, 9, "virtual machine mismatch in test: size of A is 8 but read 9"},
        {11, 8, "virtual machine mismatch in test: size of B is 9 but read 8"},
        {12, 10, "virtual machine mismatch in test: size of C is 9 but read 10"},
        {13, 4, "virtual machine mismatch in test: size of number is 8 but read 4"},
        {20, 0x7e, "unknown number format in test"},
    };
    const std::string good = Compile(L, "return 1");
    for (const HeaderCase& c : cases) {
        std::string bad = good;
        bad[c.offset] = static_cast<char>(c.value);
        EXPECT_EQ(LoadMessage(bad), c.message) << c.offset;
    }
}

TEST_F(LuaChunk, ChunkNamesInMessages) {
    const std::string truncated = Header().substr(0, 10);
    EXPECT_EQ(LoadMessage(truncated, "@scripts/a.lua"), "unexpected end of file in scripts/a.lua");
    EXPECT_EQ(LoadMessage(truncated, "=given"), "unexpected end of file in given");
    EXPECT_EQ(LoadMessage(truncated, "\033Lua..."), "unexpected end of file in binary string");
    EXPECT_EQ(LoadMessage(truncated, "plain"), "unexpected end of file in plain");
}

TEST_F(LuaChunk, EveryTruncationIsAnEndOfFile) {
    const std::string chunk = Compile(L, R"(
        local t = {1, "two", L"three", nil} local function f(x) return x + t[1] end return f(1)
    )");
    for (size_t n = 1; n < chunk.size(); n++) {
        EXPECT_EQ(LoadMessage(chunk.substr(0, n)), "unexpected end of file in test") << n;
    }
    EXPECT_EQ(LoadMessage(chunk), "");
}

TEST_F(LuaChunk, DamagedFieldsAreRefused) {
    auto record = [](const std::function<void(TBytes&)>& body) {
        TBytes b;
        b.s = Header();
        b.Str("=x").Int(0).Byte(0).Byte(0).Byte(0).Byte(2);
        body(b);
        return b.s;
    };
    const uint32_t ret = luaasm::EncABC(luaasm::RETURN, 0, 1, 0);
    struct DamageCase {
        const char* what;
        std::string bytes;
        const char* message;
    };
    const DamageCase cases[] = {
        {"negative line count", record([](TBytes& b) { b.Int(0xFFFFFFFF); }),
         "bad integer in test"},
        {"huge line count", record([](TBytes& b) { b.Int(0x7FFFFFFF).Int(1); }),
         "unexpected end of file in test"},
        {"huge string", record([](TBytes& b) { b.Int(0).Int(1).Int(0xFFFFFFF0); }),
         "unexpected end of file in test"},
        {"negative first instruction of a local",
         record([](TBytes& b) { b.Int(0).Int(1).Str("v").Int(0xFFFFFFFE).Int(1); }),
         "bad integer in test"},
        {"upvalue names without upvalues", record([](TBytes& b) { b.Int(0).Int(0).Int(1); }),
         "bad nupvalues in test: read 1; expected 0"},
        {"unknown constant type", record([](TBytes& b) { b.Int(0).Int(0).Int(0).Int(1).Byte(7); }),
         "bad constant type (7) in test"},
        {"huge constant count", record([](TBytes& b) { b.Int(0).Int(0).Int(0).Int(0x40000000); }),
         "unexpected end of file in test"},
        {"lines not matching the code",
         record([ret](TBytes& b) { b.Int(0).Int(0).Int(0).Int(0).Int(0).Int(1).Int(ret); }),
         "bad code in test"},
        {"functions nested past any compiled depth", record([](TBytes& b) {
             for (int i = 0; i < 300; i++) {
                 b.Int(0).Int(0).Int(0).Int(0).Int(1); // lines, locals, upvalues, constants, one
                 b.Int(0).Int(0).Byte(0).Byte(0).Byte(0).Byte(2); // nested record's header
             }
         }),
         "bad code in test"},
        {"no code", record([](TBytes& b) { b.Int(0).Int(0).Int(0).Int(0).Int(0).Int(0); }),
         "bad code in test"},
    };
    for (const DamageCase& c : cases) {
        EXPECT_EQ(LoadMessage(c.bytes), c.message) << c.what;
    }
}

TEST_F(LuaChunk, HostileCodeIsRefusedBeforeItRuns) {
    using namespace luaasm;
    struct CodeCase {
        const char* what;
        std::function<void(Func&)> build;
    };
    const CodeCase cases[] = {
        {"register past the stack", [](Func& f) { f.ABC(COPY, 0, 30, 0); }},
        {"target register past the stack", [](Func& f) { f.ABC(LOADNIL, 25, 25, 0); }},
        {"constant past the list", [](Func& f) { f.ABx(LOADCONST, 0, 3); }},
        {"RK constant past the list", [](Func& f) { f.ABC(ADD, 0, RK(5), 0); }},
        {"global name not a string",
         [](Func& f) {
             f.Num(1);
             f.ABx(GETGLOBAL, 0, 0);
         }},
        {"upvalue past the count", [](Func& f) { f.ABC(GETUPVALUE, 0, 0, 0); }},
        {"prototype past the list", [](Func& f) { f.ABx(CLOSURE, 0, 0); }},
        {"jump past the end", [](Func& f) { f.AsBx(JUMP, 0, 5); }},
        {"jump before the start", [](Func& f) { f.AsBx(JUMP, 0, -3); }},
        {"test without a jump",
         [](Func& f) {
             f.ABC(EQUAL, 0, 0, 0);
             f.ABC(COPY, 0, 0, 0);
         }},
        {"open call followed by a plain copy",
         [](Func& f) {
             f.ABC(CALL, 0, 1, 0);
             f.ABC(COPY, 0, 1, 0);
         }},
        {"iterator preparation at the last register", [](Func& f) { f.AsBx(ITERPREP, 19, 0); }},
        {"for loop past the stack", [](Func& f) { f.AsBx(NUMFORLOOP, 18, -1); }},
        {"concat range past the stack", [](Func& f) { f.ABC(CONCAT, 0, 0, 25); }},
        {"list store past the stack", [](Func& f) { f.ABx(SETLIST, 15, 10); }},
        {"stack size above the limit", [](Func& f) { f.maxstack = 251; }},
        {"main function with upvalues",
         [](Func& f) {
             f.nups = 1;
             f.upvalueNames = {"u"};
         }},
        {"closure followed by a wrong pseudo-instruction",
         [](Func& f) {
             Func sub;
             sub.nups = 1;
             sub.ABC(RETURN, 0, 1, 0);
             f.ABx(CLOSURE, 0, f.Sub(sub));
             f.ABC(ADD, 0, 0, 0);
         }},
        {"nested function with bad code",
         [](Func& f) {
             Func sub;
             sub.ABC(COPY, 0, 99, 0);
             sub.ABC(RETURN, 0, 1, 0);
             f.ABx(CLOSURE, 0, f.Sub(sub));
         }},
        {"last instruction not a return",
         [](Func& f) { f.code.clear(), f.lines.clear(), f.ABC(COPY, 0, 1, 0); }},
    };
    for (const CodeCase& c : cases) {
        Func f;
        f.source = "=hostile";
        c.build(f);
        if (f.code.empty() || (f.code.back() & 63) != RETURN || f.lines.size() != f.code.size()) {
            if (std::string(c.what) != "last instruction not a return") {
                f.ABC(RETURN, 0, 1, 0);
            }
        }
        EXPECT_EQ(LoadMessage(AsmChunk(f), "=hostile"), "bad code in hostile") << c.what;
    }
    // The same shapes within bounds load.
    Func ok;
    ok.Num(1);
    ok.ABx(LOADCONST, 0, 0);
    ok.AsBx(JUMP, 0, 0);
    ok.ABC(RETURN, 0, 2, 0);
    EXPECT_EQ(LoadMessage(AsmChunk(ok)), "");
}

TEST_F(LuaChunk, LoadedTableSizesStayWithinTheMachineLimits) {
    using namespace luaasm;
    Func f;
    f.ABC(NEWTABLE, 0, 511, 0); // a floating byte far past the largest array part
    f.ABC(RETURN, 0, 2, 0);
    luaasm::Push(L, f);
    const std::string chunk = Dump(L);
    lua_settop(L, 0);
    ASSERT_EQ(LoadBytes(L, chunk, "=big"), 0) << lua_tostring(L, -1);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << lua_tostring(L, -1);
    EXPECT_TRUE(lua_istable(L, -1));
    lua_settop(L, 0);
    // A hash part past the largest one is an error, not a request for the memory.
    Func g;
    g.ABC(NEWTABLE, 0, 0, 511);
    g.ABC(RETURN, 0, 2, 0);
    luaasm::Push(L, g);
    const std::string hashChunk = Dump(L);
    lua_settop(L, 0);
    ASSERT_EQ(LoadBytes(L, hashChunk, "=big"), 0) << lua_tostring(L, -1);
    ASSERT_NE(lua_pcall(L, 0, 1, 0), 0);
    EXPECT_STREQ(lua_tostring(L, -1), "asm:1: table overflow"); // the chunk keeps its own source
    lua_settop(L, 0);
}

TEST_F(LuaChunk, DumpRefusesWhatIsNotAPlainLuaFunction) {
    std::string out;
    auto writer = [](lua_State*, const void* p, size_t sz, void* ud) {
        static_cast<std::string*>(ud)->append(static_cast<const char*>(p), sz);
        return 0;
    };
    lua_pushnumber(L, 1);
    EXPECT_EQ(lua_dump(L, writer, &out), 0);
    lua_pushcfunction(L, [](lua_State*) { return 0; });
    EXPECT_EQ(lua_dump(L, writer, &out), 0);
    ASSERT_EQ(LoadBytes(L, "local u return function() return u end", "=t"), 0);
    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0);
    EXPECT_EQ(lua_dump(L, writer, &out), 0); // it has an upvalue
    EXPECT_TRUE(out.empty());
    lua_settop(L, 0);
}

} // namespace
