// string.pack and string.unpack: binary records in narrow strings, with 16-bit strings, booleans
// and fixed-size padded fields.
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/lua/luanumber.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal number at fmt[*i], saturating at INT_MAX; -1 when there are no digits.
int ReadNumber(const char* fmt, size_t len, size_t* i) {
    if (*i >= len || !IsDigit(fmt[*i])) {
        return -1;
    }
    long long n = 0;
    while (*i < len && IsDigit(fmt[*i])) {
        n = n * 10 + (fmt[*i] - '0');
        if (n > INT_MAX) {
            n = INT_MAX;
        }
        (*i)++;
    }
    return static_cast<int>(n);
}

bool IsStringCode(char c) {
    return c == 'A' || c == 'z' || c == 'p' || c == 'P' || c == 'a';
}

[[noreturn]] void BadCode(lua_State* L, char c) {
    const char code[2] = {c, '\0'};
    luaL_argerror(L, 1, lua_pushfstring(L, "bad code `%s'", code));
    __builtin_unreachable();
}

// Byte-order marks and separators; true when `c` was one (and the order is applied).
bool TakeOrderMark(char c, bool& big) {
    switch (c) {
    case '<':
    case '=':
        big = false;
        return true;
    case '>':
        big = true;
        return true;
    case ' ':
    case ',':
        return true;
    default:
        return false;
    }
}

// Whether `c` is a code with data; 'A' only packs. A zero byte is no code.
bool IsDataCode(char c, bool packing) {
    return (c != '\0' && std::strchr("bchHilILfdnBzpPa", c) != nullptr) || (packing && c == 'A');
}

// Appends the low `size` bytes of v in the chosen order.
void PutInt(std::string& out, uint64_t v, int size, bool big) {
    for (int k = 0; k < size; k++) {
        const int shift = 8 * (big ? size - 1 - k : k);
        out += static_cast<char>((v >> shift) & 0xFF);
    }
}

uint64_t GetInt(const char* p, int size, bool big) {
    uint64_t v = 0;
    for (int k = 0; k < size; k++) {
        const int shift = 8 * (big ? size - 1 - k : k);
        v |= static_cast<uint64_t>(static_cast<unsigned char>(p[k])) << shift;
    }
    return v;
}

// A length that its prefix cannot hold would be read back as a different, shorter record.
void CheckPrefix(lua_State* L, int arg, char code, int prefix, size_t n) {
    if (prefix > 0 && prefix < 8 && static_cast<uint64_t>(n) >> (8 * prefix) != 0) {
        const char name[2] = {code, '\0'};
        luaL_argerror(L, arg, lua_pushfstring(L, "string too long for code `%s'", name));
    }
}

int lua_pack(lua_State* L) {
    size_t flen;
    const char* fmt = luaL_checklstring(L, 1, &flen);
    std::string out;
    bool big = false;
    int arg = 2;
    bool fieldOpen = false;
    size_t fieldStart = 0;
    size_t fieldSize = 0;
    char padByte = 0;
    size_t i = 0;
    while (i < flen) {
        char c = fmt[i++];
        bool wide = false;
        bool endsAfterW = false;
        while (c == 'w') {
            if (i >= flen) {
                endsAfterW = true;
                break;
            }
            c = fmt[i++];
            wide = IsStringCode(c);
        }
        if (endsAfterW) {
            break;
        }
        if (c == '@') {
            const int size = ReadNumber(fmt, flen, &i);
            int pad = -1;
            if (i < flen && fmt[i] == ':') {
                i++;
                pad = ReadNumber(fmt, flen, &i);
            }
            if (fieldOpen) {
                const size_t written = out.size() - fieldStart;
                if (written < fieldSize) {
                    out.append(fieldSize - written, padByte);
                }
                fieldOpen = false;
            } else if (size >= 0) {
                fieldOpen = true;
                fieldStart = out.size();
                fieldSize = static_cast<size_t>(size);
            }
            if (pad >= 0) {
                padByte = static_cast<char>(pad % 256);
            }
            continue;
        }
        int count = ReadNumber(fmt, flen, &i);
        if (count <= 0) {
            count = 1;
        }
        if (TakeOrderMark(c, big)) {
            continue;
        }
        if (!IsDataCode(c, true)) {
            BadCode(L, c);
        }
        for (int k = 0; k < count; k++, arg++) {
            switch (c) {
            case 'b':
            case 'c':
                PutInt(out, static_cast<uint32_t>(LuaNumberToInt(luaL_checknumber(L, arg))), 1,
                       big);
                break;
            case 'h':
            case 'H':
                PutInt(out, static_cast<uint32_t>(LuaNumberToInt(luaL_checknumber(L, arg))), 2,
                       big);
                break;
            case 'i':
            case 'l':
                PutInt(out, static_cast<uint32_t>(LuaNumberToInt(luaL_checknumber(L, arg))), 4,
                       big);
                break;
            case 'I':
            case 'L':
                PutInt(out, LuaNumberLow32(luaL_checknumber(L, arg)), 4, big);
                break;
            case 'f': {
                const float f = static_cast<float>(luaL_checknumber(L, arg));
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                PutInt(out, bits, 4, big);
                break;
            }
            case 'd':
            case 'n': {
                const double d = luaL_checknumber(L, arg);
                uint64_t bits;
                std::memcpy(&bits, &d, 8);
                PutInt(out, bits, 8, big);
                break;
            }
            case 'B':
                if (!lua_isboolean(L, arg)) {
                    luaL_error(L, "expected a boolean");
                }
                out += static_cast<char>(lua_toboolean(L, arg) != 0 ? 1 : 0);
                break;
            default: {
                const int prefix = c == 'p' ? 1 : c == 'P' ? 2 : c == 'a' ? 4 : 0;
                if (wide) {
                    size_t n;
                    const lua_WChar* w = luaL_checkwstring(L, arg, &n);
                    CheckPrefix(L, arg, c, prefix, n);
                    PutInt(out, n, prefix, big);
                    for (size_t u = 0; u < n; u++) {
                        PutInt(out, w[u], 2, big);
                    }
                    if (c == 'z') {
                        PutInt(out, 0, 2, big);
                    }
                } else {
                    size_t n;
                    const char* s = luaL_checklstring(L, arg, &n);
                    CheckPrefix(L, arg, c, prefix, n);
                    PutInt(out, n, prefix, big);
                    out.append(s, n);
                    if (c == 'z') {
                        out += '\0';
                    }
                }
                break;
            }
            }
        }
    }
    lua_pushlstring(L, out.data(), out.size());
    return 1;
}

int lua_unpack(lua_State* L) {
    size_t len;
    const char* data = luaL_checklstring(L, 1, &len);
    size_t flen;
    const char* fmt = luaL_checklstring(L, 2, &flen);
    const lua_Number startArg = luaL_optnumber(L, 3, 1);
    luaL_argcheck(L, startArg >= 1, 3, "out of range");
    // Positions past the end read nothing: every value is short there.
    const int64_t start64 = LuaNumberToInt64(startArg);
    size_t pos = (start64 < 1 || static_cast<uint64_t>(start64) > len + 1)
                     ? len
                     : static_cast<size_t>(start64 - 1);
    const bool pastEnd = pos == len && (start64 < 1 || static_cast<uint64_t>(start64) > len + 1);
    int results = 0;
    bool big = false;
    size_t i = 0;
    bool stop = false;
    while (i < flen && !stop) {
        char c = fmt[i++];
        bool wide = false;
        bool endsAfterW = false;
        while (c == 'w') {
            if (i >= flen) {
                endsAfterW = true;
                break;
            }
            c = fmt[i++];
            wide = IsStringCode(c);
        }
        if (endsAfterW) {
            break;
        }
        int count = ReadNumber(fmt, flen, &i);
        if (c == 'A') {
            // The count is the string's length; 0 or none reads one unit.
            const size_t unit = wide ? 2 : 1;
            const size_t n = static_cast<size_t>(count <= 0 ? 1 : count);
            const size_t left = len - pos;
            if (n > left / unit) {
                break;
            }
            luaL_checkstack(L, 1, "too many results");
            if (wide) {
                std::u16string w(n, u'\0');
                for (size_t u = 0; u < n; u++) {
                    w[u] = static_cast<lua_WChar>(GetInt(data + pos + 2 * u, 2, big));
                }
                lua_pushlwstring(L, w.data(), n);
            } else {
                lua_pushlstring(L, data + pos, n);
            }
            pos += n * unit;
            results++;
            continue;
        }
        if (count <= 0) {
            count = 1;
        }
        if (TakeOrderMark(c, big)) {
            continue;
        }
        if (!IsDataCode(c, false)) {
            BadCode(L, c);
        }
        for (int k = 0; k < count; k++) {
            const size_t left = len - pos;
            int size = 0;
            switch (c) {
            case 'b':
            case 'c':
            case 'B':
                size = 1;
                break;
            case 'h':
            case 'H':
                size = 2;
                break;
            case 'i':
            case 'l':
            case 'I':
            case 'L':
            case 'f':
                size = 4;
                break;
            case 'd':
            case 'n':
                size = 8;
                break;
            case 'p':
                size = 1;
                break;
            case 'P':
                size = 2;
                break;
            case 'a':
                size = 4;
                break;
            default:
                size = 0;
                break;
            }
            if (static_cast<size_t>(size) > left) {
                stop = true;
                break;
            }
            luaL_checkstack(L, 1, "too many results");
            const char* p = data + pos;
            switch (c) {
            case 'b':
                lua_pushnumber(L, static_cast<unsigned char>(*p));
                break;
            case 'c':
                lua_pushnumber(L, static_cast<signed char>(*p));
                break;
            case 'B':
                lua_pushboolean(L, *p != 0);
                break;
            case 'h':
                lua_pushnumber(L, static_cast<int16_t>(GetInt(p, 2, big)));
                break;
            case 'H':
                lua_pushnumber(L, static_cast<uint16_t>(GetInt(p, 2, big)));
                break;
            case 'i':
            case 'l':
                lua_pushnumber(L, static_cast<int32_t>(GetInt(p, 4, big)));
                break;
            case 'I':
            case 'L':
                lua_pushnumber(L, static_cast<uint32_t>(GetInt(p, 4, big)));
                break;
            case 'f': {
                const uint32_t bits = static_cast<uint32_t>(GetInt(p, 4, big));
                float f;
                std::memcpy(&f, &bits, 4);
                lua_pushnumber(L, f);
                break;
            }
            case 'd':
            case 'n': {
                const uint64_t bits = GetInt(p, 8, big);
                double d;
                std::memcpy(&d, &bits, 8);
                lua_pushnumber(L, d);
                break;
            }
            case 'z': {
                const size_t unit = wide ? 2 : 1;
                size_t n = 0;
                bool ended = false;
                while ((n + 1) * unit <= left) {
                    if (GetInt(p + n * unit, static_cast<int>(unit), big) == 0) {
                        ended = true;
                        break;
                    }
                    n++;
                }
                // Short data without its terminator still gives the string up to the end; an empty
                // remainder does not fit at all.
                if (left < unit) {
                    stop = true;
                    break;
                }
                if (wide) {
                    std::u16string w(n, u'\0');
                    for (size_t u = 0; u < n; u++) {
                        w[u] = static_cast<lua_WChar>(GetInt(p + 2 * u, 2, big));
                    }
                    lua_pushlwstring(L, w.data(), n);
                } else {
                    lua_pushlstring(L, p, n);
                }
                size = 0;
                pos += n * unit + (ended ? unit : 0);
                break;
            }
            default: {
                // Length-prefixed: the prefix and the whole stored length must fit.
                const uint64_t n = GetInt(p, size, big);
                const size_t unit = wide ? 2 : 1;
                const size_t room = (left - static_cast<size_t>(size)) / unit;
                if (n > room) {
                    stop = true;
                    break;
                }
                const char* s = p + size;
                if (wide) {
                    std::u16string w(static_cast<size_t>(n), u'\0');
                    for (size_t u = 0; u < n; u++) {
                        w[u] = static_cast<lua_WChar>(GetInt(s + 2 * u, 2, big));
                    }
                    lua_pushlwstring(L, w.data(), static_cast<size_t>(n));
                } else {
                    lua_pushlstring(L, s, static_cast<size_t>(n));
                }
                pos += static_cast<size_t>(n) * unit;
                break;
            }
            }
            if (stop) {
                break;
            }
            pos += static_cast<size_t>(size);
            results++;
        }
    }
    luaL_checkstack(L, 1, "too many results");
    lua_pushnumber(L, pastEnd ? startArg : static_cast<lua_Number>(pos + 1));
    lua_insert(L, -(results + 1));
    return results + 1;
}

const luaL_reg kPackLib[] = {
    {"pack", lua_pack},
    {"unpack", lua_unpack},
    {nullptr, nullptr},
};

} // namespace

int luaopen_pack(lua_State* L) {
    luaL_openlib(L, LUA_STRLIBNAME, kPackLib, 0);
    lua_pop(L, 1);
    return 0;
}
