// The basic functions and the coroutine table.
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/lua/luanumber.h"

namespace {

void LuaPrintWriteDefault(const char* s, size_t n) {
    std::fwrite(s, 1, n, stdout);
}

// The terminal reads UTF-8: each piece is encoded on its own, a surrogate pair split between
// pieces writing a replacement character for each half.
void LuaPrintWriteWideDefault(const lua_WChar* s) {
    std::string out;
    for (size_t i = 0; s[i] != 0; i++) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
}

void GetGlobal(lua_State* L, const char* name) {
    lua_pushstring(L, name);
    lua_gettable(L, LUA_GLOBALSINDEX);
}

void SetGlobal(lua_State* L, const char* name) {
    lua_pushstring(L, name);
    lua_insert(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
}

int luaB_error(lua_State* L) {
    const int level = luaL_optint(L, 2, 1);
    luaL_checkany(L, 1);
    if (lua_isstring(L, 1) == 0 || level == 0) {
        lua_pushvalue(L, 1);
    } else {
        luaL_where(L, level);
        lua_pushvalue(L, 1);
        lua_concat(L, 2);
    }
    return lua_error(L);
}

int luaB_getmetatable(lua_State* L) {
    luaL_checkany(L, 1);
    if (lua_getmetatable(L, 1) == 0) {
        lua_pushnil(L);
        return 1;
    }
    luaL_getmetafield(L, 1, "__metatable");
    return 1;
}

int luaB_setmetatable(lua_State* L) {
    const int t = lua_type(L, 2);
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_argcheck(L, t == LUA_TNIL || t == LUA_TTABLE, 2, "nil or table expected");
    if (luaL_getmetafield(L, 1, "__metatable") != 0) {
        luaL_error(L, "cannot change a protected metatable");
    }
    lua_settop(L, 2);
    lua_setmetatable(L, 1);
    return 1;
}

void GetFunc(lua_State* L) {
    if (lua_isfunction(L, 1)) {
        lua_pushvalue(L, 1);
    } else {
        lua_Debug ar;
        const int level = luaL_optint(L, 1, 1);
        luaL_argcheck(L, level >= 0, 1, "level must be non-negative");
        if (lua_getstack(L, level, &ar) == 0) {
            luaL_argerror(L, 1, "invalid level");
        }
        lua_getinfo(L, "f", &ar);
        if (lua_isnil(L, -1)) {
            luaL_error(L, "no function environment for tail call at level %d", level);
        }
    }
}

int AuxGetFenv(lua_State* L) {
    lua_getfenv(L, -1);
    lua_pushliteral(L, "__fenv");
    lua_rawget(L, -2);
    return lua_isnil(L, -1) ? 0 : 1;
}

int luaB_getfenv(lua_State* L) {
    GetFunc(L);
    if (AuxGetFenv(L) == 0) {
        lua_pop(L, 1);
    }
    return 1;
}

int luaB_setfenv(lua_State* L) {
    luaL_checktype(L, 2, LUA_TTABLE);
    GetFunc(L);
    if (AuxGetFenv(L) != 0) {
        luaL_error(L, "`setfenv' cannot change a protected environment");
    } else {
        lua_pop(L, 2);
    }
    lua_pushvalue(L, 2);
    if (lua_isnumber(L, 1) != 0 && lua_tonumber(L, 1) == 0) {
        lua_replace(L, LUA_GLOBALSINDEX);
    } else if (lua_setfenv(L, -2) == 0) {
        luaL_error(L, "`setfenv' cannot change environment of given function");
    }
    return 0;
}

int luaB_rawequal(lua_State* L) {
    luaL_checkany(L, 1);
    luaL_checkany(L, 2);
    lua_pushboolean(L, lua_rawequal(L, 1, 2));
    return 1;
}

// Both work on the stack top, so extra arguments are dropped first.
int luaB_rawget(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    lua_rawget(L, 1);
    return 1;
}

int luaB_rawset(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    luaL_checkany(L, 2);
    luaL_checkany(L, 3);
    lua_settop(L, 3);
    lua_rawset(L, 1);
    return 1;
}

int luaB_gcinfo(lua_State* L) {
    lua_pushnumber(L, static_cast<lua_Number>(lua_getgccount(L)));
    lua_pushnumber(L, static_cast<lua_Number>(lua_getgcthreshold(L)));
    return 2;
}

int luaB_collectgarbage(lua_State* L) {
    lua_setgcthreshold(L, luaL_optint(L, 1, 0));
    return 0;
}

int luaB_type(lua_State* L) {
    luaL_checkany(L, 1);
    lua_pushstring(L, lua_typename(L, lua_type(L, 1)));
    return 1;
}

int luaB_next(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_settop(L, 2);
    if (lua_next(L, 1) != 0) {
        return 2;
    }
    lua_pushnil(L);
    return 1;
}

int luaB_pairs(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_pushliteral(L, "next");
    lua_rawget(L, LUA_GLOBALSINDEX);
    lua_pushvalue(L, 1);
    lua_pushnil(L);
    return 3;
}

int luaB_ipairs(lua_State* L) {
    lua_Number i = lua_tonumber(L, 2);
    luaL_checktype(L, 1, LUA_TTABLE);
    if (i == 0 && lua_isnone(L, 2)) {
        lua_pushliteral(L, "ipairs");
        lua_rawget(L, LUA_GLOBALSINDEX);
        lua_pushvalue(L, 1);
        lua_pushnumber(L, 0);
        return 3;
    }
    i++;
    lua_pushnumber(L, i);
    lua_rawgeti(L, 1, LuaNumberToInt(i));
    return lua_isnil(L, -1) ? 0 : 2;
}

int LoadAux(lua_State* L, int status) {
    if (status == 0) {
        return 1;
    }
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

int luaB_loadstring(lua_State* L) {
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    const char* chunkname = luaL_optstring(L, 2, s);
    return LoadAux(L, luaL_loadbuffer(L, s, l, chunkname));
}

// There is no standard input to read from, so the file name is required.
int luaB_loadfile(lua_State* L) {
    const char* fname = luaL_checkstring(L, 1);
    return LoadAux(L, luaL_loadfile(L, fname));
}

int luaB_dofile(lua_State* L) {
    const char* fname = luaL_checkstring(L, 1);
    const int n = lua_gettop(L);
    if (luaL_loadfile(L, fname) != 0) {
        lua_error(L);
    }
    lua_call(L, 0, LUA_MULTRET);
    return lua_gettop(L) - n;
}

int luaB_assert(lua_State* L) {
    luaL_checkany(L, 1);
    if (lua_toboolean(L, 1) == 0) {
        return luaL_error(L, "%s", luaL_optstring(L, 2, "assertion failed!"));
    }
    lua_settop(L, 1);
    return 1;
}

int luaB_unpack(lua_State* L) {
    luaL_checktype(L, 1, LUA_TTABLE);
    const int n = luaL_getn(L, 1);
    luaL_checkstack(L, n, "table too big to unpack");
    for (int i = 1; i <= n; i++) {
        lua_rawgeti(L, 1, i);
    }
    return n;
}

int luaB_pcall(lua_State* L) {
    luaL_checkany(L, 1);
    const int status = lua_pcall(L, lua_gettop(L) - 1, LUA_MULTRET, 0);
    lua_pushboolean(L, status == 0);
    lua_insert(L, 1);
    return lua_gettop(L);
}

int luaB_xpcall(lua_State* L) {
    luaL_checkany(L, 2);
    lua_settop(L, 2);
    lua_insert(L, 1);
    const int status = lua_pcall(L, 0, LUA_MULTRET, 1);
    lua_pushboolean(L, status == 0);
    lua_replace(L, 1);
    return lua_gettop(L);
}

int luaB_tostring(lua_State* L) {
    char buff[64];
    luaL_checkany(L, 1);
    if (luaL_callmeta(L, 1, "__tostring") != 0) {
        return 1;
    }
    switch (lua_type(L, 1)) {
    case LUA_TNUMBER:
        lua_pushstring(L, lua_tostring(L, 1));
        return 1;
    case LUA_TSTRING:
        lua_pushvalue(L, 1);
        return 1;
    case LUA_TWSTRING: {
        const lua_WChar* w = lua_towstring(L, 1);
        std::string narrow(lua_strlen(L, 1), '\0');
        for (size_t i = 0; i < narrow.size(); i++) {
            narrow[i] = static_cast<char>(w[i] & 0xFF);
        }
        lua_pushlstring(L, narrow.data(), narrow.size());
        return 1;
    }
    case LUA_TBOOLEAN:
        lua_pushstring(L, lua_toboolean(L, 1) != 0 ? "true" : "false");
        return 1;
    case LUA_TTABLE:
        std::snprintf(buff, sizeof(buff), "table: %p", lua_topointer(L, 1));
        break;
    case LUA_TFUNCTION:
        std::snprintf(buff, sizeof(buff), "function: %p", lua_topointer(L, 1));
        break;
    case LUA_TUSERDATA:
    case LUA_TLIGHTUSERDATA:
        std::snprintf(buff, sizeof(buff), "userdata: %p", lua_touserdata(L, 1));
        break;
    case LUA_TTHREAD:
        std::snprintf(buff, sizeof(buff), "thread: %p", static_cast<void*>(lua_tothread(L, 1)));
        break;
    default:
        lua_pushliteral(L, "nil");
        return 1;
    }
    lua_pushstring(L, buff);
    return 1;
}

void PushWidened(lua_State* L, const char* s, size_t n) {
    std::u16string w(n, u'\0');
    for (size_t i = 0; i < n; i++) {
        w[i] = static_cast<lua_WChar>(static_cast<int16_t>(static_cast<signed char>(s[i])));
    }
    lua_pushlwstring(L, w.data(), n);
}

int luaB_towstring(lua_State* L) {
    char buff[64];
    switch (lua_type(L, 1)) {
    case LUA_TNIL:
        lua_pushliteral(L, "nil");
        return 1;
    case LUA_TNUMBER:
        lua_pushvalue(L, 1);
        lua_towstring(L, -1);
        return 1;
    case LUA_TSTRING:
        PushWidened(L, lua_tostring(L, 1), lua_strlen(L, 1));
        return 1;
    case LUA_TWSTRING:
        lua_pushvalue(L, 1);
        return 1;
    case LUA_TTABLE:
    case LUA_TFUNCTION:
    case LUA_TTHREAD:
    case LUA_TUSERDATA: {
        const void* p =
            lua_type(L, 1) == LUA_TUSERDATA ? lua_touserdata(L, 1) : lua_topointer(L, 1);
        if (lua_type(L, 1) == LUA_TTHREAD) {
            p = static_cast<void*>(lua_tothread(L, 1));
        }
        std::snprintf(buff, sizeof(buff), "%.40s: %p", lua_typename(L, lua_type(L, 1)), p);
        PushWidened(L, buff, std::strlen(buff));
        return 1;
    }
    default:
        return luaL_argerror(L, 1, "value expected");
    }
}

// The C runtime's 32-bit unsigned conversion: overflow saturates, a minus sign negates modulo 2^32.
bool StrToU32(const char* s, int base, uint32_t* out) {
    const char* p = s;
    while (std::isspace(static_cast<unsigned char>(*p)) != 0) {
        p++;
    }
    bool neg = false;
    if (*p == '-' || *p == '+') {
        neg = *p == '-';
        p++;
    }
    if (std::isalnum(static_cast<unsigned char>(*p)) == 0) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(p, &end, base);
    if (end == p) {
        return false;
    }
    while (std::isspace(static_cast<unsigned char>(*end)) != 0) {
        end++;
    }
    if (*end != '\0') {
        return false;
    }
    if (errno == ERANGE || v > 0xFFFFFFFFull) {
        *out = 0xFFFFFFFFu;
    } else {
        *out =
            neg ? static_cast<uint32_t>(0u - static_cast<uint32_t>(v)) : static_cast<uint32_t>(v);
    }
    return true;
}

int luaB_tonumber(lua_State* L) {
    const int base = luaL_optint(L, 2, 10);
    if (base == 10) {
        luaL_checkany(L, 1);
        if (lua_isnumber(L, 1) != 0) {
            lua_pushnumber(L, lua_tonumber(L, 1));
            return 1;
        }
    } else {
        std::string text;
        if (lua_iswstring(L, 1)) {
            const size_t n = lua_strlen(L, 1);
            if (n >= 100) {
                lua_pushnil(L);
                return 1;
            }
            const lua_WChar* w = lua_towstring(L, 1);
            for (size_t i = 0; i < n; i++) {
                text += static_cast<char>(w[i] & 0xFF);
            }
        } else {
            text = luaL_checkstring(L, 1);
        }
        luaL_argcheck(L, 2 <= base && base <= 36, 2, "base out of range");
        uint32_t n = 0;
        if (StrToU32(text.c_str(), base, &n)) {
            lua_pushnumber(L, static_cast<lua_Number>(n));
            return 1;
        }
    }
    lua_pushnil(L);
    return 1;
}

int luaB_print(lua_State* L) {
    const int n = lua_gettop(L);
    GetGlobal(L, "towstring");
    GetGlobal(L, "tostring");
    for (int i = 1; i <= n; i++) {
        const bool wide = lua_iswstring(L, i);
        lua_pushvalue(L, wide ? n + 1 : n + 2);
        lua_pushvalue(L, i);
        lua_call(L, 1, 1);
        const void* s = wide ? static_cast<const void*>(lua_towstring(L, -1))
                             : static_cast<const void*>(lua_tostring(L, -1));
        if (s == nullptr) {
            return luaL_error(L, "`tostring' must return a string to `print'");
        }
        if (i > 1) {
            gLuaPrintWrite("\t", 1);
        }
        if (wide) {
            const auto* w = static_cast<const lua_WChar*>(s);
            size_t left = lua_strlen(L, -1);
            lua_WChar piece[512];
            while (left > 0) {
                const size_t k = left < 511 ? left : 511;
                std::memcpy(piece, w, k * sizeof(lua_WChar));
                piece[k] = 0;
                gLuaPrintWriteWide(piece);
                w += k;
                left -= k;
            }
        } else {
            gLuaPrintWrite(static_cast<const char*>(s), lua_strlen(L, -1));
        }
        lua_pop(L, 1);
    }
    gLuaPrintWrite("\n", 1);
    return 0;
}

int luaB_newproxy(lua_State* L) {
    lua_settop(L, 1);
    lua_newuserdata(L, 0);
    if (lua_toboolean(L, 1) == 0) {
        return 1;
    }
    if (lua_isboolean(L, 1)) {
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_pushboolean(L, 1);
        lua_rawset(L, lua_upvalueindex(1));
    } else {
        int validproxy = 0;
        if (lua_getmetatable(L, 1) != 0) {
            lua_rawget(L, lua_upvalueindex(1));
            validproxy = lua_toboolean(L, -1);
            lua_pop(L, 1);
        }
        luaL_argcheck(L, validproxy, 1, "boolean or proxy expected");
        lua_getmetatable(L, 1);
    }
    lua_setmetatable(L, 2);
    return 1;
}

// require: the path is kept on the stack (slot 4) so that it stays alive while files load.
constexpr const char* kRequireTable = "_LOADED";

void PushPath(lua_State* L) {
    GetGlobal(L, "LUA_PATH");
    if (lua_isstring(L, -1) != 0 && lua_tostring(L, -1) != nullptr) {
        return;
    }
    lua_pop(L, 1);
    const char* env = std::getenv("LUA_PATH");
    lua_pushstring(L, env != nullptr ? env : "?;?.lua");
}

const char* PushNextPath(lua_State* L, const char* path) {
    if (*path == '\0') {
        return nullptr;
    }
    if (*path == ';') {
        path++;
    }
    const char* l = std::strchr(path, ';');
    if (l == nullptr) {
        l = path + std::strlen(path);
    }
    lua_pushlstring(L, path, static_cast<size_t>(l - path));
    return l;
}

void PushComposeName(lua_State* L) {
    const char* path = lua_tostring(L, -1);
    const char* wild;
    int n = 1;
    while ((wild = std::strchr(path, '?')) != nullptr) {
        luaL_checkstack(L, 3, "too many marks in a path component");
        lua_pushlstring(L, path, static_cast<size_t>(wild - path));
        lua_pushvalue(L, 1);
        path = wild + 1;
        n += 2;
    }
    lua_pushstring(L, path);
    lua_concat(L, n);
}

int luaB_require(lua_State* L) {
    int status = LUA_ERRFILE;
    luaL_checkstring(L, 1);
    lua_settop(L, 1);
    GetGlobal(L, kRequireTable);
    if (!lua_istable(L, 2)) {
        return luaL_error(L, "`_LOADED' is not a table");
    }
    lua_pushvalue(L, 1);
    lua_rawget(L, 2);
    if (lua_toboolean(L, -1) != 0) {
        return 1;
    }
    PushPath(L);
    const char* path = lua_tostring(L, 4);
    while (status == LUA_ERRFILE) {
        lua_settop(L, 4);
        path = PushNextPath(L, path);
        if (path == nullptr) {
            break;
        }
        PushComposeName(L);
        status = luaL_loadfile(L, lua_tostring(L, -1));
    }
    switch (status) {
    case 0: {
        GetGlobal(L, "_REQUIREDNAME");
        lua_insert(L, -2);
        lua_pushvalue(L, 1);
        SetGlobal(L, "_REQUIREDNAME");
        lua_call(L, 0, 1);
        lua_insert(L, -2);
        SetGlobal(L, "_REQUIREDNAME");
        if (lua_isnil(L, -1)) {
            lua_pushboolean(L, 1);
            lua_replace(L, -2);
        }
        lua_pushvalue(L, 1);
        lua_pushvalue(L, -2);
        lua_rawset(L, 2);
        return 1;
    }
    case LUA_ERRFILE:
        return luaL_error(L, "could not load package `%s' from path `%s'", lua_tostring(L, 1),
                          lua_tostring(L, 4));
    default:
        return luaL_error(L, "error loading package `%s' (%s)", lua_tostring(L, 1),
                          lua_tostring(L, -1));
    }
}

const luaL_reg kBaseFuncs[] = {
    {"error", luaB_error},
    {"getmetatable", luaB_getmetatable},
    {"setmetatable", luaB_setmetatable},
    {"getfenv", luaB_getfenv},
    {"setfenv", luaB_setfenv},
    {"next", luaB_next},
    {"ipairs", luaB_ipairs},
    {"pairs", luaB_pairs},
    {"print", luaB_print},
    {"tonumber", luaB_tonumber},
    {"tostring", luaB_tostring},
    {"towstring", luaB_towstring},
    {"type", luaB_type},
    {"assert", luaB_assert},
    {"unpack", luaB_unpack},
    {"rawequal", luaB_rawequal},
    {"rawget", luaB_rawget},
    {"rawset", luaB_rawset},
    {"pcall", luaB_pcall},
    {"xpcall", luaB_xpcall},
    {"collectgarbage", luaB_collectgarbage},
    {"gcinfo", luaB_gcinfo},
    {"loadfile", luaB_loadfile},
    {"dofile", luaB_dofile},
    {"loadstring", luaB_loadstring},
    {"require", luaB_require},
    {nullptr, nullptr},
};

// Coroutines.

int AuxResume(lua_State* L, lua_State* co, int narg) {
    if (lua_checkstack(co, narg) == 0) {
        luaL_error(L, "too many arguments to resume");
    }
    lua_xmove(L, co, narg);
    const int status = lua_resume(co, narg);
    if (status == 0) {
        const int nres = lua_gettop(co);
        if (lua_checkstack(L, nres) == 0) {
            luaL_error(L, "too many results to resume");
        }
        lua_xmove(co, L, nres);
        return nres;
    }
    lua_xmove(co, L, 1);
    return -1;
}

int luaB_coresume(lua_State* L) {
    lua_State* co = lua_tothread(L, 1);
    luaL_argcheck(L, co != nullptr, 1, "coroutine expected");
    const int r = AuxResume(L, co, lua_gettop(L) - 1);
    if (r < 0) {
        lua_pushboolean(L, 0);
        lua_insert(L, -2);
        return 2;
    }
    lua_pushboolean(L, 1);
    lua_insert(L, -(r + 1));
    return r + 1;
}

int luaB_auxwrap(lua_State* L) {
    lua_State* co = lua_tothread(L, lua_upvalueindex(1));
    const int r = AuxResume(L, co, lua_gettop(L));
    if (r < 0) {
        if (lua_isstring(L, -1) != 0) {
            luaL_where(L, 1);
            lua_insert(L, -2);
            lua_concat(L, 2);
        }
        lua_error(L);
    }
    return r;
}

int luaB_cocreate(lua_State* L) {
    lua_State* NL = lua_newthread(L);
    luaL_argcheck(L, lua_isfunction(L, 1) && lua_iscfunction(L, 1) == 0, 1,
                  "Lua function expected");
    lua_pushvalue(L, 1);
    lua_xmove(L, NL, 1);
    return 1;
}

int luaB_cowrap(lua_State* L) {
    luaB_cocreate(L);
    lua_pushcclosure(L, luaB_auxwrap, 1);
    return 1;
}

int luaB_yield(lua_State* L) {
    return lua_yield(L, lua_gettop(L));
}

int luaB_costatus(lua_State* L) {
    lua_State* co = lua_tothread(L, 1);
    luaL_argcheck(L, co != nullptr, 1, "coroutine expected");
    if (L == co) {
        lua_pushliteral(L, "running");
    } else {
        lua_Debug ar;
        if (lua_getstack(co, 0, &ar) == 0 && lua_gettop(co) == 0) {
            lua_pushliteral(L, "dead");
        } else {
            lua_pushliteral(L, "suspended");
        }
    }
    return 1;
}

const luaL_reg kCoFuncs[] = {
    {"create", luaB_cocreate}, {"wrap", luaB_cowrap},     {"resume", luaB_coresume},
    {"yield", luaB_yield},     {"status", luaB_costatus}, {nullptr, nullptr},
};

void BaseOpen(lua_State* L) {
    lua_pushliteral(L, "_G");
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    luaL_openlib(L, nullptr, kBaseFuncs, 0);
    lua_pushliteral(L, "_VERSION");
    lua_pushliteral(L, LUA_VERSION);
    lua_rawset(L, -3);
    lua_pushliteral(L, "newproxy");
    lua_newtable(L);
    lua_pushvalue(L, -1);
    lua_setmetatable(L, -2);
    lua_pushliteral(L, "__mode");
    lua_pushliteral(L, "k");
    lua_rawset(L, -3);
    lua_pushcclosure(L, luaB_newproxy, 1);
    lua_rawset(L, -3);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

const char* const kTypeMetatableKeys[] = {"_boolean",  "_lightuserdata", "_number",
                                          "_string",   "_table",         "_function",
                                          "_userdata", "_thread",        "_wstring"};

} // namespace

void (*gLuaPrintWrite)(const char* s, size_t n) = LuaPrintWriteDefault;
void (*gLuaPrintWriteWide)(const lua_WChar* s) = LuaPrintWriteWideDefault;

int luaopen_base(lua_State* L) {
    BaseOpen(L);
    luaL_openlib(L, LUA_COLIBNAME, kCoFuncs, 0);
    lua_newtable(L);
    SetGlobal(L, kRequireTable);
    for (int tag = LUA_TBOOLEAN; tag <= LUA_TWSTRING; tag++) {
        lua_pushstring(L, kTypeMetatableKeys[tag - 1]);
        lua_gettypemetatable(L, tag);
        lua_rawset(L, LUA_REGISTRYINDEX);
    }
    return 0;
}
