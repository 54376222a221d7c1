// The protected parser behind lua_load: the byte-order mark that switches the stream to 16-bit
// units, the choice between text and precompiled chunks, block boundaries of the reader, errors
// of the compilers and the token buffer's release. The compilers here are stand-ins that hand the
// stream's characters back as the chunk's result. Last, readers that run collections or raise
// errors while the real compilers are loading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/lua/luazio.h"
#include "tests/engine/script/lua/luaasm.h"
#include "tests/engine/script/lua/luatestsupport.h"

namespace {

using namespace luaasm;

struct TBlockReader {
    std::string bytes;
    size_t block;
    size_t pos = 0;
    static const char* Read(lua_State*, void* ud, size_t* size) {
        TBlockReader* r = static_cast<TBlockReader*>(ud);
        if (r->pos >= r->bytes.size()) {
            *size = 0;
            return nullptr;
        }
        *size = std::min(r->block, r->bytes.size() - r->pos);
        const char* p = r->bytes.data() + r->pos;
        r->pos += *size;
        return p;
    }
};

// A chunk returning (kind, characters read) where kind tells which compiler ran; the characters
// come back as a wide string when the stream was read wide, else as an 8-bit string.
Proto* EchoChunk(lua_State* L, ZIO* z, Mbuffer* buff, const char* kind) {
    luaZ_openspace(L, buff, 100); // the loader frees it
    std::string narrow;
    std::u16string wide;
    for (int c; (c = luaZ_getc(z)) != EOZ;) {
        if (z->wide) {
            wide.push_back(static_cast<char16_t>(c));
        } else {
            narrow.push_back(static_cast<char>(c));
        }
    }
    Func f;
    f.source = std::string("=") + z->name;
    const int kk = f.Str(kind);
    const int kt = z->wide ? f.WStr(wide) : f.Str(narrow);
    f.ABx(LOADCONST, 0, kk);
    f.ABx(LOADCONST, 1, kt);
    f.ABC(RETURN, 0, 3, 0);
    return Build(L, f);
}
Proto* TextEcho(lua_State* L, ZIO* z, Mbuffer* buff) {
    return EchoChunk(L, z, buff, "text");
}
Proto* BinaryEcho(lua_State* L, ZIO* z, Mbuffer* buff) {
    return EchoChunk(L, z, buff, "binary");
}

TEST(LuaLoad, MarkAndChunkKind) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* kind;
        bool wide;
        std::string narrow;
        std::u16string units;
    } cases[] = {
        {"plain text", "return 1", "text", false, "return 1", u""},
        {"utf-16 with mark", std::string("\xFF\xFEp\0=\0001\0", 8), "text", true, "", u"p=1"},
        {"wide unit above a byte", std::string("\xFF\xFE\x3A\x26", 4), "text", true, "", u"\u263A"},
        {"lone FF", "\xFFx", "text", false, "\xFFx", u""},
        {"FF at the end", "\xFF", "text", false, "\xFF", u""},
        {"precompiled", "\x1bLua", "binary", false, "\x1bLua", u""},
        {"escape byte in wide text", std::string("\xFF\xFE\x1b\0", 4), "text", true, "", u"\x1b"},
        {"odd byte in wide text",
         std::string("\xFF\xFE"
                     "a\0b",
                     5),
         "text", true, "", u"a"},
        {"mark only", "\xFF\xFE", "text", true, "", u""},
        {"empty", "", "text", false, "", u""},
    };
    for (const size_t block : {static_cast<size_t>(1), static_cast<size_t>(1000)}) {
        for (const Case& c : cases) {
            TTestAllocator alloc;
            lua_State* L = lua_open();
            ASSERT_NE(L, nullptr);
            const size_t before = alloc.LiveBytes();
            TBlockReader r{c.bytes, block};
            ZIO z;
            luaZ_init(L, &z, TBlockReader::Read, &r, "chunk");
            ASSERT_EQ(luaD_protectedparser(L, &z, TextEcho, BinaryEcho), 0) << c.what;
            ASSERT_EQ(lua_gettop(L), 1);
            EXPECT_GT(alloc.LiveBytes(), before);
            ASSERT_EQ(lua_pcall(L, 0, 2, 0), 0) << c.what;
            EXPECT_STREQ(lua_tostring(L, 1), c.kind) << c.what << " block " << block;
            if (c.wide) {
                ASSERT_EQ(lua_type(L, 2), LUA_TWSTRING) << c.what;
                EXPECT_EQ(std::u16string(lua_towstring(L, 2), lua_strlen(L, 2)), c.units) << c.what;
            } else {
                ASSERT_EQ(lua_type(L, 2), LUA_TSTRING) << c.what;
                EXPECT_EQ(std::string(lua_tostring(L, 2), lua_strlen(L, 2)), c.narrow) << c.what;
            }
            lua_close(L);
            EXPECT_EQ(alloc.LiveBytes(), 0u) << c.what << ": the token buffer was freed";
        }
    }
}

TEST(LuaLoad, CompilerErrorsBecomeTheStatus) {
    struct Case {
        LuaChunkCompiler compiler;
        int status;
        const char* message;
    } cases[] = {
        {[](lua_State* L, ZIO*, Mbuffer* buff) -> Proto* {
             luaZ_openspace(L, buff, 64);
             luaO_pushfstring(L, "chunk:1: `=' expected near `x'");
             luaD_throw(L, LUA_ERRSYNTAX);
         },
         LUA_ERRSYNTAX, "chunk:1: `=' expected near `x'"},
        {[](lua_State* L, ZIO*, Mbuffer*) -> Proto* { luaG_runerror(L, "bad header in %s", "x"); },
         LUA_ERRRUN, "bad header in x"},
        {[](lua_State* L, ZIO*, Mbuffer*) -> Proto* { luaD_throw(L, LUA_ERRMEM); }, LUA_ERRMEM,
         "not enough memory"},
    };
    for (const Case& c : cases) {
        TTestAllocator alloc;
        lua_State* L = lua_open();
        lua_pushnumber(L, 5);
        TBlockReader r{"text", 2};
        ZIO z;
        luaZ_init(L, &z, TBlockReader::Read, &r, "chunk");
        EXPECT_EQ(luaD_protectedparser(L, &z, c.compiler, c.compiler), c.status);
        ASSERT_EQ(lua_gettop(L), 2) << "the message replaces nothing below";
        EXPECT_EQ(lua_tonumber(L, 1), 5);
        EXPECT_STREQ(lua_tostring(L, 2), c.message);
        lua_close(L);
        EXPECT_EQ(alloc.LiveBytes(), 0u);
    }
}

// Hands out one byte per call and runs `before` first, with the number of the call (from 1).
struct TActiveReader {
    std::string bytes;
    std::function<void(lua_State*, size_t)> before;
    size_t pos = 0;
    static const char* Read(lua_State* L, void* ud, size_t* size) {
        TActiveReader* r = static_cast<TActiveReader*>(ud);
        r->before(L, r->pos + 1);
        if (r->pos >= r->bytes.size()) {
            *size = 0;
            return nullptr;
        }
        *size = 1;
        return r->bytes.data() + r->pos++;
    }
};

// Compiles src with the base library open and keeps the function in the registry under name.
void RegisterLuaFunction(lua_State* L, const char* name, const char* src) {
    ASSERT_EQ(luaL_loadbuffer(L, src, std::strlen(src), name), 0);
    lua_pushstring(L, name);
    lua_insert(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

void CallRegistered(lua_State* L, const char* name) {
    lua_pushstring(L, name);
    lua_rawget(L, LUA_REGISTRYINDEX);
    lua_call(L, 0, 0);
}

int StringWriter(lua_State*, const void* p, size_t sz, void* ud) {
    static_cast<std::string*>(ud)->append(static_cast<const char*>(p), sz);
    return 0;
}

// Everything the compiler has built so far (prototypes, constant maps, names and literals read
// ahead) must survive a collection between any two bytes.
TEST(LuaLoad, ReaderThatCollectsKeepsWhatIsBeingBuilt) {
    const struct {
        const char* src;
        const char* result; // of the chunk, or of the function it returns
    } sources[] = {
        {"local t = {1, 2, 3} return function () return t[3] end", "3"},
        {"local s = 0 for i = 1, 3 do s = s + i end return s", "6"},
        {"local r = '' for k, v in next, {a = 'b'} do r = r .. k .. v end return r", "ab"},
        {"local function cat(a, b) return a .. b end return cat('con', [[cat]])", "concat"},
        {"local o = {n = 'x'} function o:get() return self.n end return o:get()", "x"},
        {"local w = L\"wide\" return w == L\"wide\" and 'same'", "same"},
        {"return (function () return (function () return 'deep' end)() end)()", "deep"},
    };
    const struct {
        const char* what;
        std::function<void(lua_State*, size_t)> before;
    } readers[] = {
        {"threshold 0", [](lua_State* L, size_t) { lua_setgcthreshold(L, 0); }},
        {"Lua function", [](lua_State* L, size_t) { CallRegistered(L, "collect"); }},
    };
    for (const auto& reader : readers) {
        for (const bool precompiled : {false, true}) {
            for (const auto& c : sources) {
                TTestAllocator alloc;
                lua_State* L = lua_open();
                ASSERT_NE(L, nullptr);
                luaopen_base(L);
                lua_settop(L, 0);
                RegisterLuaFunction(L, "collect", "collectgarbage()");
                std::string bytes = c.src;
                if (precompiled) {
                    ASSERT_EQ(luaL_loadbuffer(L, c.src, std::strlen(c.src), "=chunk"), 0);
                    bytes.clear();
                    ASSERT_EQ(lua_dump(L, StringWriter, &bytes), 1);
                    lua_settop(L, 0);
                }
                const std::string what =
                    std::string(reader.what) + (precompiled ? ", precompiled: " : ": ") + c.src;
                TActiveReader r{bytes, reader.before};
                ASSERT_EQ(lua_load(L, TActiveReader::Read, &r, "=chunk"), 0) << what << "\n"
                                                                             << lua_tostring(L, -1);
                ASSERT_EQ(lua_gettop(L), 1) << what;
                ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << what << "\n" << lua_tostring(L, -1);
                if (lua_isfunction(L, -1)) {
                    ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << what;
                }
                ASSERT_TRUE(lua_isstring(L, -1)) << what;
                EXPECT_STREQ(lua_tostring(L, -1), c.result) << what;
                EXPECT_GE(LuaVerifyReachable(L), 0) << what;
                lua_close(L);
                EXPECT_EQ(alloc.LiveBytes(), 0u) << what;
            }
        }
    }
}

// An error raised inside the reader ends the load like a syntax error: the status, one message,
// the stack below as it was, and a state that goes on working.
TEST(LuaLoad, ReaderErrorIsReportedLikeASyntaxError) {
    const struct {
        const char* what;
        size_t failingCall;
        bool fromLua; // raised by a Lua function the reader calls, else by the reader itself
    } cases[] = {
        {"Lua function, first byte", 1, true},
        {"Lua function, inside a nested function", 40, true},
        {"native, first byte", 1, false},
        {"native, inside a nested function", 40, false},
    };
    for (const auto& c : cases) {
        TTestAllocator alloc;
        lua_State* L = lua_open();
        ASSERT_NE(L, nullptr);
        luaopen_base(L);
        lua_settop(L, 0);
        RegisterLuaFunction(L, "fail", "error('reader failed', 0)");
        lua_pushnumber(L, 5);
        TActiveReader r{"local t = {1, 2, 3} return function () return t[3] end",
                        [&c](lua_State* L, size_t call) {
                            if (call != c.failingCall) {
                                return;
                            }
                            if (c.fromLua) {
                                CallRegistered(L, "fail");
                            }
                            lua_pushstring(L, "reader failed");
                            lua_error(L);
                        }};
        EXPECT_EQ(lua_load(L, TActiveReader::Read, &r, "=chunk"), LUA_ERRRUN) << c.what;
        ASSERT_EQ(lua_gettop(L), 2) << c.what;
        EXPECT_EQ(lua_tonumber(L, 1), 5) << c.what;
        EXPECT_STREQ(lua_tostring(L, 2), "reader failed") << c.what;
        lua_settop(L, 0);
        ASSERT_EQ(luaL_loadbuffer(L, "return 1 + 1", 12, "=again"), 0) << c.what;
        ASSERT_EQ(lua_pcall(L, 0, 1, 0), 0) << c.what;
        EXPECT_EQ(lua_tonumber(L, 1), 2) << c.what;
        EXPECT_GE(LuaVerifyReachable(L), 0) << c.what;
        lua_close(L);
        EXPECT_EQ(alloc.LiveBytes(), 0u) << c.what;
    }
}

} // namespace
