#include "engine/script/lua/luaobject.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/script/lua/luado.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luavm.h"

const TObject luaO_nilobject = {LUA_TNIL, {nullptr}};

int luaO_log2(unsigned int x) {
    int l = -1;
    while (x != 0) {
        x >>= 1;
        l++;
    }
    return l;
}

int luaO_rawequalObj(const TObject* t1, const TObject* t2) {
    if (ttype(t1) != ttype(t2)) {
        return 0;
    }
    switch (ttype(t1)) {
    case LUA_TNIL:
        return 1;
    case LUA_TNUMBER:
        return nvalue(t1) == nvalue(t2);
    case LUA_TBOOLEAN:
        return bvalue(t1) == bvalue(t2);
    case LUA_TLIGHTUSERDATA:
        return pvalue(t1) == pvalue(t2);
    default:
        return gcvalue(t1) == gcvalue(t2);
    }
}

// 8-bit text reads as the C library's strtod reads it, correctly rounded. Nothing in the program
// changes the C library's locale, so the "C" number format applies.
int luaO_str2d(const char* s, lua_Number* result) {
    char* endptr;
    const lua_Number res = std::strtod(s, &endptr);
    if (endptr == s) {
        return 0;
    }
    while (std::isspace(static_cast<unsigned char>(*endptr))) {
        endptr++;
    }
    if (*endptr != '\0') {
        return 0;
    }
    *result = res;
    return 1;
}

static bool ishexunit(lua_WChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

static bool isdecunit(lua_WChar c) {
    return c >= u'0' && c <= u'9';
}

// Copies the units from *i on that pass the test into text; returns how many there were.
static size_t copydigits(const lua_WChar* s, size_t len, size_t* i, bool (*accepts)(lua_WChar),
                         std::string* text) {
    const size_t first = *i;
    while (*i < len && accepts(s[*i])) {
        text->push_back(static_cast<char>(s[*i]));
        (*i)++;
    }
    return *i - first;
}

// The wide grammar is the machine's own (no leading blanks, no sign before "0x", a bare sign or
// point reads as zero, an exponent marker without digits is ignored); the digits it accepts are
// then read by luaO_str2d, so that the same digits give the same number in both kinds of string.
int luaO_wstr2d(const lua_WChar* s, size_t len, lua_Number* result) {
    std::string text;
    size_t i = 0;
    size_t digits = 0;
    bool negative = false;
    bool (*isdigitunit)(lua_WChar) = isdecunit;
    lua_WChar exponent[2] = {u'e', u'E'};
    if (len >= 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X')) {
        text = "0x";
        i = 2;
        isdigitunit = ishexunit;
        exponent[0] = u'p';
        exponent[1] = u'P';
    } else if (len >= 1 && (s[0] == u'-' || s[0] == u'+')) {
        negative = s[0] == u'-';
        text.push_back(static_cast<char>(s[0]));
        i = 1;
    }
    digits += copydigits(s, len, &i, isdigitunit, &text);
    if (i < len && s[i] == u'.') {
        text.push_back('.');
        i++;
        digits += copydigits(s, len, &i, isdigitunit, &text);
    }
    if (i < len && (s[i] == exponent[0] || s[i] == exponent[1])) {
        i++;
        std::string power(1, static_cast<char>(exponent[0]));
        if (i < len && (s[i] == u'+' || s[i] == u'-')) {
            power.push_back(static_cast<char>(s[i]));
            i++;
        }
        if (copydigits(s, len, &i, isdecunit, &power) > 0) {
            text += power;
        }
    }
    if (i == 0) {
        return 0;
    }
    for (size_t k = i; k < len; k++) {
        if (s[k] >= 256 || !std::isspace(static_cast<unsigned char>(s[k]))) {
            return 0;
        }
    }
    if (digits == 0) {
        *result = negative ? -0.0 : 0.0;
        return 1;
    }
    return luaO_str2d(text.c_str(), result);
}

void luaO_number2str(lua_Number n, char* buff) {
    std::snprintf(buff, 32, "%.14g", n);
}

static void pushstr(lua_State* L, const char* str) {
    setsvalue(L->top, luaS_new(L, str));
    incr_top(L);
}

// Handles only %d, %c, %f, %s and %%; any other character after % is copied as is.
const char* luaO_pushvfstring(lua_State* L, const char* fmt, va_list argp) {
    int n = 1;
    pushstr(L, "");
    for (;;) {
        const char* e = std::strchr(fmt, '%');
        if (e == nullptr) {
            break;
        }
        setsvalue(L->top, luaS_newlstr(L, fmt, static_cast<size_t>(e - fmt)));
        incr_top(L);
        switch (*(e + 1)) {
        case 's': {
            const char* s = va_arg(argp, const char*);
            pushstr(L, s != nullptr ? s : "(null)");
            break;
        }
        case 'c': {
            char buff[2];
            buff[0] = static_cast<char>(va_arg(argp, int));
            buff[1] = '\0';
            pushstr(L, buff);
            break;
        }
        case 'd':
            setnvalue(L->top, static_cast<lua_Number>(va_arg(argp, int)));
            incr_top(L);
            break;
        case 'f':
            setnvalue(L->top, static_cast<lua_Number>(va_arg(argp, double)));
            incr_top(L);
            break;
        case '%':
            pushstr(L, "%");
            break;
        case '\0':
            pushstr(L, "%");
            n += 2;
            fmt = e + 1;
            continue;
        default: {
            char buff[3] = {'%', *(e + 1), '\0'};
            pushstr(L, buff);
            break;
        }
        }
        n += 2;
        fmt = e + 2;
    }
    pushstr(L, fmt);
    luaV_concat(L, n + 1, static_cast<int>(L->top - L->base - 1));
    L->top -= n;
    return getstr(tsvalue(L->top - 1));
}

const char* luaO_pushfstring(lua_State* L, const char* fmt, ...) {
    va_list argp;
    va_start(argp, fmt);
    const char* msg = luaO_pushvfstring(L, fmt, argp);
    va_end(argp);
    return msg;
}

void luaO_chunkid(char* out, const char* source, int bufflen) {
    if (*source == '=') {
        std::strncpy(out, source + 1, static_cast<size_t>(bufflen));
        out[bufflen - 1] = '\0';
    } else if (*source == '@') {
        source++;
        bufflen -= static_cast<int>(sizeof(" `...' "));
        const int l = static_cast<int>(std::strlen(source));
        out[0] = '\0';
        if (l > bufflen) {
            source += (l - bufflen);
            std::strcat(out, "...");
        }
        std::strcat(out, source);
    } else {
        int len = static_cast<int>(std::strcspn(source, "\n"));
        bufflen -= static_cast<int>(sizeof(" [string \"...\"] "));
        if (len > bufflen) {
            len = bufflen;
        }
        std::strcpy(out, "[string \"");
        if (source[len] != '\0') {
            std::strncat(out, source, static_cast<size_t>(len));
            std::strcat(out, "...");
        } else {
            std::strcat(out, source);
        }
        std::strcat(out, "\"]");
    }
}
