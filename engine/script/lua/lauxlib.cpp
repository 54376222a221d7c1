// The auxiliary library over the native interface.
#include "engine/script/lua/lauxlib.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/file.h"
#include "engine/script/lua/luanumber.h"

namespace {

// Registry slot of the weak-keyed table of explicit table sizes.
constexpr int kArraySizeRef = 2;
// Pieces kept on the stack before they are merged regardless of their lengths.
constexpr int kBufferPieceLimit = LUA_MINSTACK / 2;

int AbsIndex(lua_State* L, int i) {
    return (i > 0 || i <= LUA_REGISTRYINDEX) ? i : lua_gettop(L) + i + 1;
}

[[noreturn]] void TagError(lua_State* L, int narg, int tag) {
    luaL_typerror(L, narg, lua_typename(L, tag));
    __builtin_unreachable();
}

} // namespace

int luaL_argerror(lua_State* L, int narg, const char* extramsg) {
    lua_Debug ar;
    const char* name = nullptr;
    if (lua_getstack(L, 0, &ar) != 0) {
        lua_getinfo(L, "n", &ar);
        name = ar.name;
        if (ar.namewhat != nullptr && std::strcmp(ar.namewhat, "method") == 0) {
            narg--;
            if (narg == 0) {
                return luaL_error(L, "calling `%s' on bad self (%s)", name != nullptr ? name : "?",
                                  extramsg);
            }
        }
    }
    if (name == nullptr) {
        name = "?";
    }
    return luaL_error(L, "bad argument #%d to `%s' (%s)", narg, name, extramsg);
}

int luaL_typerror(lua_State* L, int narg, const char* tname) {
    const char* msg =
        lua_pushfstring(L, "%s expected, got %s", tname, lua_typename(L, lua_type(L, narg)));
    return luaL_argerror(L, narg, msg);
}

void luaL_where(lua_State* L, int level) {
    lua_Debug ar;
    if (lua_getstack(L, level, &ar) != 0) {
        lua_getinfo(L, "Sl", &ar);
        if (ar.currentline > 0) {
            lua_pushfstring(L, "%s:%d: ", ar.short_src, ar.currentline);
            return;
        }
    }
    lua_pushliteral(L, "");
}

int luaL_error(lua_State* L, const char* fmt, ...) {
    va_list argp;
    va_start(argp, fmt);
    luaL_where(L, 1);
    lua_pushvfstring(L, fmt, argp);
    va_end(argp);
    lua_concat(L, 2);
    return lua_error(L);
}

void luaL_checkstack(lua_State* L, int space, const char* mes) {
    if (lua_checkstack(L, space) == 0) {
        luaL_error(L, "stack overflow (%s)", mes);
    }
}

void luaL_checktype(lua_State* L, int narg, int t) {
    if (lua_type(L, narg) != t) {
        TagError(L, narg, t);
    }
}

void luaL_checkany(lua_State* L, int narg) {
    if (lua_type(L, narg) == LUA_TNONE) {
        luaL_argerror(L, narg, "value expected");
    }
}

const char* luaL_checklstring(lua_State* L, int narg, size_t* len) {
    const char* s = lua_tostring(L, narg);
    if (s == nullptr) {
        TagError(L, narg, LUA_TSTRING);
    }
    if (len != nullptr) {
        *len = lua_strlen(L, narg);
    }
    return s;
}

const char* luaL_optlstring(lua_State* L, int narg, const char* def, size_t* len) {
    if (lua_isnoneornil(L, narg)) {
        if (len != nullptr) {
            *len = (def != nullptr) ? std::strlen(def) : 0;
        }
        return def;
    }
    return luaL_checklstring(L, narg, len);
}

lua_Number luaL_checknumber(lua_State* L, int narg) {
    const lua_Number d = lua_tonumber(L, narg);
    if (d == 0 && lua_isnumber(L, narg) == 0) {
        TagError(L, narg, LUA_TNUMBER);
    }
    return d;
}

lua_Number luaL_optnumber(lua_State* L, int narg, lua_Number def) {
    if (lua_isnoneornil(L, narg)) {
        return def;
    }
    return luaL_checknumber(L, narg);
}

int luaL_checkint(lua_State* L, int narg) {
    return LuaNumberToInt(luaL_checknumber(L, narg));
}

int luaL_optint(lua_State* L, int narg, int def) {
    return LuaNumberToInt(luaL_optnumber(L, narg, def));
}

const lua_WChar* luaL_checkwstring(lua_State* L, int narg, size_t* len) {
    const lua_WChar* s = lua_towstring(L, narg);
    if (s == nullptr) {
        luaL_typerror(L, narg, "wstring");
    }
    if (len != nullptr) {
        *len = lua_strlen(L, narg);
    }
    return s;
}

int luaL_getmetafield(lua_State* L, int obj, const char* event) {
    if (lua_getmetatable(L, obj) == 0) {
        return 0;
    }
    lua_pushstring(L, event);
    lua_rawget(L, -2);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 2);
        return 0;
    }
    lua_remove(L, -2);
    return 1;
}

int luaL_callmeta(lua_State* L, int obj, const char* event) {
    obj = AbsIndex(L, obj);
    if (luaL_getmetafield(L, obj, event) == 0) {
        return 0;
    }
    lua_pushvalue(L, obj);
    lua_call(L, 1, 1);
    return 1;
}

void luaL_openlib(lua_State* L, const char* libname, const luaL_reg* l, int nup) {
    if (libname != nullptr) {
        lua_pushstring(L, libname);
        lua_gettable(L, LUA_GLOBALSINDEX);
        if (lua_isnil(L, -1)) {
            lua_pop(L, 1);
            lua_newtable(L);
            lua_pushstring(L, libname);
            lua_pushvalue(L, -2);
            lua_settable(L, LUA_GLOBALSINDEX);
        }
        lua_insert(L, -(nup + 1));
    }
    for (; l->name != nullptr; l++) {
        lua_pushstring(L, l->name);
        for (int i = 0; i < nup; i++) {
            lua_pushvalue(L, -(nup + 1));
        }
        lua_pushcclosure(L, l->func, nup);
        lua_settable(L, -(nup + 3));
    }
    lua_pop(L, nup);
}

// Table sizes.

namespace {

// The number on the top as a size, or -1 when it is no number; pops `topop` values.
int CheckInt(lua_State* L, int topop) {
    int n = LuaNumberToInt(lua_tonumber(L, -1));
    if (n == 0 && lua_isnumber(L, -1) == 0) {
        n = -1;
    }
    lua_pop(L, topop);
    return n;
}

void GetSizes(lua_State* L) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, kArraySizeRef);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, -1);
        lua_setmetatable(L, -2);
        lua_pushliteral(L, "__mode");
        lua_pushliteral(L, "k");
        lua_rawset(L, -3);
        lua_pushvalue(L, -1);
        lua_rawseti(L, LUA_REGISTRYINDEX, kArraySizeRef);
    }
}

} // namespace

void luaL_setn(lua_State* L, int t, int n) {
    t = AbsIndex(L, t);
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    if (CheckInt(L, 1) >= 0) {
        lua_pushliteral(L, "n");
        lua_pushnumber(L, static_cast<lua_Number>(n));
        lua_rawset(L, t);
    } else {
        GetSizes(L);
        lua_pushvalue(L, t);
        lua_pushnumber(L, static_cast<lua_Number>(n));
        lua_rawset(L, -3);
        lua_pop(L, 1);
    }
}

int luaL_getn(lua_State* L, int t) {
    t = AbsIndex(L, t);
    lua_pushliteral(L, "n");
    lua_rawget(L, t);
    int n = CheckInt(L, 1);
    if (n >= 0) {
        return n;
    }
    GetSizes(L);
    lua_pushvalue(L, t);
    lua_rawget(L, -2);
    n = CheckInt(L, 2);
    if (n >= 0) {
        return n;
    }
    for (n = 1;; n++) {
        lua_rawgeti(L, t, n);
        if (lua_isnil(L, -1)) {
            break;
        }
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    return n - 1;
}

// The string buffer.

namespace {

size_t BuffLen(const luaL_Buffer* B) {
    return static_cast<size_t>(B->p - B->buffer);
}

size_t BuffFree(const luaL_Buffer* B) {
    return LUAL_BUFFERSIZE - BuffLen(B);
}

bool EmptyBuffer(luaL_Buffer* B) {
    const size_t l = BuffLen(B);
    if (l == 0) {
        return false;
    }
    if (B->wide != 0) {
        lua_pushlwstring(B->L, reinterpret_cast<const lua_WChar*>(B->buffer), l / 2);
    } else {
        lua_pushlstring(B->L, B->buffer, l);
    }
    B->p = B->buffer;
    B->lvl++;
    return true;
}

// Merges pieces so that the stack holds few of them, each shorter than the one below.
void AdjustStack(luaL_Buffer* B) {
    if (B->lvl > 1) {
        lua_State* L = B->L;
        int toget = 1;
        size_t toplen = lua_strlen(L, -1);
        do {
            const size_t l = lua_strlen(L, -(toget + 1));
            if (B->lvl - toget + 1 >= kBufferPieceLimit || toplen > l) {
                toplen += l;
                toget++;
            } else {
                break;
            }
        } while (toget < B->lvl);
        lua_concat(L, toget);
        B->lvl = B->lvl - toget + 1;
    }
}

} // namespace

char* luaL_prepbuffer(luaL_Buffer* B) {
    if (EmptyBuffer(B)) {
        AdjustStack(B);
    }
    return B->buffer;
}

void luaL_addlstring(luaL_Buffer* B, const char* s, size_t l) {
    while (l-- != 0) {
        luaL_putchar(B, *s++);
    }
}

void luaL_addstring(luaL_Buffer* B, const char* s) {
    luaL_addlstring(B, s, std::strlen(s));
}

void luaL_addlwstring(luaL_Buffer* B, const lua_WChar* s, size_t l) {
    for (size_t i = 0; i < l; i++) {
        if (BuffFree(B) < 2) {
            luaL_prepbuffer(B);
        }
        std::memcpy(B->p, &s[i], 2);
        B->p += 2;
    }
}

void luaL_pushresult(luaL_Buffer* B) {
    EmptyBuffer(B);
    if (B->lvl == 0 && B->wide != 0) {
        lua_pushlwstring(B->L, u"", 0);
    } else {
        lua_concat(B->L, B->lvl);
    }
    B->lvl = 1;
}

void luaL_addvalue(luaL_Buffer* B) {
    lua_State* L = B->L;
    if (B->wide == 0 && lua_iswstring(L, -1)) {
        // A narrow buffer takes the low 8 bits of each unit, as tostring does.
        const lua_WChar* w = lua_towstring(L, -1);
        std::string narrow(lua_strlen(L, -1), '\0');
        for (size_t i = 0; i < narrow.size(); i++) {
            narrow[i] = static_cast<char>(w[i] & 0xFF);
        }
        lua_pushlstring(L, narrow.data(), narrow.size());
        lua_replace(L, -2);
    }
    const size_t vl = lua_strlen(L, -1);
    if (B->wide == 0 && vl <= BuffFree(B)) {
        std::memcpy(B->p, lua_tostring(L, -1), vl);
        B->p += vl;
        lua_pop(L, 1);
    } else {
        if (EmptyBuffer(B)) {
            lua_insert(L, -2);
        }
        B->lvl++;
        AdjustStack(B);
    }
}

void luaL_buffinit(lua_State* L, luaL_Buffer* B) {
    B->L = L;
    B->p = B->buffer;
    B->lvl = 0;
    B->wide = 0;
}

void luaL_wbuffinit(lua_State* L, luaL_Buffer* B) {
    luaL_buffinit(L, B);
    B->wide = 1;
}

// Loading.

namespace {

struct TFileReader {
    TFile* file;
    char buff[LUAL_BUFFERSIZE];
};

const char* FileReader(lua_State*, void* ud, size_t* size) {
    auto* r = static_cast<TFileReader*>(ud);
    if (FileEof(r->file) != 0) {
        return nullptr;
    }
    const int n = FileRead(r->file, r->buff, static_cast<int>(sizeof(r->buff)));
    if (n <= 0) {
        return nullptr;
    }
    *size = static_cast<size_t>(n);
    return r->buff;
}

int ErrFile(lua_State* L, int fnameindex) {
    // A name the file layer cannot resolve fails without an error number: it is not there.
    const int err = errno != 0 ? errno : ENOENT;
    const char* filename = lua_tostring(L, fnameindex) + 1;
    lua_pushfstring(L, "cannot read %s: %s", filename, std::strerror(err));
    lua_remove(L, fnameindex);
    return LUA_ERRFILE;
}

struct TBufferReader {
    const char* s;
    size_t size;
};

const char* BufferReader(lua_State*, void* ud, size_t* size) {
    auto* r = static_cast<TBufferReader*>(ud);
    if (r->size == 0) {
        return nullptr;
    }
    *size = r->size;
    r->size = 0;
    return r->s;
}

} // namespace

int luaL_loadfile(lua_State* L, const char* filename) {
    const int fnameindex = lua_gettop(L) + 1;
    lua_pushfstring(L, "@%s", filename);
    TFileReader r;
    errno = 0;
    r.file = FileOpen(filename, kModeReadText);
    if (r.file == nullptr) {
        return ErrFile(L, fnameindex);
    }
    const int c = FileGetc(r.file);
    FileUngetc(r.file);
    const bool text = c >= 0 && (std::isspace(c) != 0 || std::isprint(c) != 0);
    if (!text) {
        FileClose(r.file);
        r.file = FileOpen(filename, kModeReadBinary);
        if (r.file == nullptr) {
            return ErrFile(L, fnameindex);
        }
    }
    const int status = lua_load(L, FileReader, &r, lua_tostring(L, -1));
    const int readstatus = FileError(r.file);
    FileClose(r.file);
    if (readstatus != 0) {
        lua_settop(L, fnameindex);
        return ErrFile(L, fnameindex);
    }
    lua_remove(L, fnameindex);
    return status;
}

int luaL_loadbuffer(lua_State* L, const char* buff, size_t size, const char* name) {
    TBufferReader r{buff, size};
    return lua_load(L, BufferReader, &r, name);
}

namespace {

void CallAlert(lua_State* L, int status) {
    if (status != 0) {
        lua_pushliteral(L, "_ALERT");
        lua_gettable(L, LUA_GLOBALSINDEX);
        if (lua_isfunction(L, -1)) {
            lua_insert(L, -2);
            lua_call(L, 1, 0);
        } else {
            const char* msg = lua_tostring(L, -2);
            std::fprintf(stderr, "%s\n", msg != nullptr ? msg : "(error object is not a string)");
            lua_pop(L, 2);
        }
    }
}

int AuxDo(lua_State* L, int status) {
    if (status == 0) {
        status = lua_pcall(L, 0, LUA_MULTRET, 0);
    }
    CallAlert(L, status);
    return status;
}

} // namespace

int lua_dobuffer(lua_State* L, const char* buff, size_t size, const char* name) {
    return AuxDo(L, luaL_loadbuffer(L, buff, size, name));
}

int lua_dostring(lua_State* L, const char* str) {
    return lua_dobuffer(L, str, std::strlen(str), str);
}
