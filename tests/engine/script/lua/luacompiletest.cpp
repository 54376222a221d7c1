#include "tests/engine/script/lua/luacompiletest.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace luacompiletest {

namespace {

struct TReader {
    const std::string* bytes;
    size_t block;
    size_t pos;
};

const char* ReadBlock(lua_State*, void* ud, size_t* size) {
    TReader* r = static_cast<TReader*>(ud);
    if (r->pos >= r->bytes->size()) {
        *size = 0;
        return nullptr;
    }
    *size = std::min(r->block, r->bytes->size() - r->pos);
    const char* p = r->bytes->data() + r->pos;
    r->pos += *size;
    return p;
}

int Writer(lua_State*, const void* p, size_t sz, void* ud) {
    static_cast<std::string*>(ud)->append(static_cast<const char*>(p), sz);
    return 0;
}

int Assert(lua_State* L) {
    if (!lua_toboolean(L, 1)) {
        lua_pushstring(L, lua_isstring(L, 2) ? lua_tostring(L, 2) : "assertion failed!");
        return lua_error(L);
    }
    return 0;
}

int Len(lua_State* L) {
    lua_pushnumber(L, static_cast<lua_Number>(lua_strlen(L, 1)));
    return 1;
}

int WCode(lua_State* L) {
    const lua_WChar* s = lua_towstring(L, 1);
    const size_t i = static_cast<size_t>(lua_tonumber(L, 2));
    if (s == nullptr || i < 1 || i > lua_strlen(L, 1)) {
        lua_pushnil(L);
    } else {
        lua_pushnumber(L, s[i - 1]);
    }
    return 1;
}

int TypeOf(lua_State* L) {
    lua_pushstring(L, lua_typename(L, lua_type(L, 1)));
    return 1;
}

int GetN(lua_State* L) {
    lua_pushnumber(L, lua_getn(L, 1));
    return 1;
}

int Ws(lua_State* L) {
    std::u16string w;
    for (int i = 1; i <= lua_gettop(L); i++) {
        w.push_back(static_cast<char16_t>(lua_tonumber(L, i)));
    }
    lua_pushlwstring(L, w.data(), w.size());
    return 1;
}

int Next(lua_State* L) {
    lua_settop(L, 2);
    if (lua_next(L, 1)) {
        return 2;
    }
    lua_pushnil(L);
    return 1;
}

} // namespace

void OpenTestNatives(lua_State* L) {
    lua_register(L, "assert", Assert);
    lua_register(L, "len", Len);
    lua_register(L, "wcode", WCode);
    lua_register(L, "typeof", TypeOf);
    lua_register(L, "getn", GetN);
    lua_register(L, "ws", Ws);
    lua_register(L, "next", Next);
}

int LoadBytes(lua_State* L, const std::string& bytes, const char* name, size_t block) {
    TReader r{&bytes, block, 0};
    return lua_load(L, ReadBlock, &r, name);
}

std::string RunChunk(lua_State* L, const std::string& src, const char* name) {
    const int top = lua_gettop(L);
    int status = LoadBytes(L, src, name);
    if (status == 0) {
        status = lua_pcall(L, 0, 0, 0);
    }
    std::string msg;
    if (status != 0) {
        msg = lua_isstring(L, -1) ? lua_tostring(L, -1) : "(error object is not a string)";
        if (msg.empty()) {
            msg = "(empty error)";
        }
    }
    lua_settop(L, top);
    return msg;
}

std::string Dump(lua_State* L) {
    std::string out;
    EXPECT_EQ(lua_dump(L, Writer, &out), 1);
    return out;
}

std::string Compile(lua_State* L, const std::string& src, const char* name) {
    if (LoadBytes(L, src, name) != 0) {
        ADD_FAILURE() << "does not compile: " << lua_tostring(L, -1) << "\n" << src;
        lua_pop(L, 1);
        return {};
    }
    std::string out = Dump(L);
    lua_pop(L, 1);
    return out;
}

} // namespace luacompiletest
