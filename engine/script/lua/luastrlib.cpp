// The string library: the per-type metatable of strings, pattern matching, format with its
// binary and quoting options, and escape resolution.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lualib.h"
#include "engine/script/lua/luanumber.h"

namespace {

// Character classes of the "C" locale, whatever locale the process runs in.
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}
bool IsUpper(int c) {
    return c >= 'A' && c <= 'Z';
}
bool IsLower(int c) {
    return c >= 'a' && c <= 'z';
}
bool IsAlpha(int c) {
    return IsUpper(c) || IsLower(c);
}
bool IsAlnum(int c) {
    return IsAlpha(c) || IsDigit(c);
}
bool IsSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsCntrl(int c) {
    return (c >= 0 && c < 32) || c == 127;
}
bool IsPrint(int c) {
    return c >= 32 && c <= 126;
}
bool IsPunct(int c) {
    return IsPrint(c) && c != ' ' && !IsAlnum(c);
}
bool IsXDigit(int c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int ToLower(int c) {
    return IsUpper(c) ? c - 'A' + 'a' : c;
}
int ToUpper(int c) {
    return IsLower(c) ? c - 'a' + 'A' : c;
}

int UChar(char c) {
    return static_cast<unsigned char>(c);
}

// A position relative to the string: negative counts back from the end.
long long PosRelat(long long pos, size_t len) {
    return pos >= 0 ? pos : static_cast<long long>(len) + pos + 1;
}

int str_len(lua_State* L) {
    size_t l;
    luaL_checklstring(L, 1, &l);
    lua_pushnumber(L, static_cast<lua_Number>(l));
    return 1;
}

int str_sub(lua_State* L) {
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    long long start = PosRelat(luaL_checkint(L, 2), l);
    long long end = PosRelat(luaL_optint(L, 3, -1), l);
    if (start < 1) {
        start = 1;
    }
    if (end > static_cast<long long>(l)) {
        end = static_cast<long long>(l);
    }
    if (start <= end) {
        lua_pushlstring(L, s + start - 1, static_cast<size_t>(end - start + 1));
    } else {
        lua_pushliteral(L, "");
    }
    return 1;
}

int str_lower(lua_State* L) {
    size_t l;
    luaL_Buffer b;
    const char* s = luaL_checklstring(L, 1, &l);
    luaL_buffinit(L, &b);
    for (size_t i = 0; i < l; i++) {
        luaL_putchar(&b, static_cast<char>(ToLower(UChar(s[i]))));
    }
    luaL_pushresult(&b);
    return 1;
}

int str_upper(lua_State* L) {
    size_t l;
    luaL_Buffer b;
    const char* s = luaL_checklstring(L, 1, &l);
    luaL_buffinit(L, &b);
    for (size_t i = 0; i < l; i++) {
        luaL_putchar(&b, static_cast<char>(ToUpper(UChar(s[i]))));
    }
    luaL_pushresult(&b);
    return 1;
}

int str_rep(lua_State* L) {
    size_t l;
    luaL_Buffer b;
    const char* s = luaL_checklstring(L, 1, &l);
    int n = luaL_checkint(L, 2);
    if (l == 0) {
        n = 0;
    }
    luaL_buffinit(L, &b);
    while (n-- > 0) {
        luaL_addlstring(&b, s, l);
    }
    luaL_pushresult(&b);
    return 1;
}

int str_byte(lua_State* L) {
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    const long long pos = PosRelat(luaL_optint(L, 2, 1), l);
    if (pos <= 0 || static_cast<size_t>(pos) > l) {
        return 0;
    }
    lua_pushnumber(L, UChar(s[pos - 1]));
    return 1;
}

int str_char(lua_State* L) {
    const int n = lua_gettop(L);
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    for (int i = 1; i <= n; i++) {
        const int c = luaL_checkint(L, i);
        luaL_argcheck(L, (c & 0xFF) == c, i, "invalid value");
        luaL_putchar(&b, static_cast<char>(c));
    }
    luaL_pushresult(&b);
    return 1;
}

int Writer(lua_State*, const void* b, size_t size, void* B) {
    luaL_addlstring(static_cast<luaL_Buffer*>(B), static_cast<const char*>(b), size);
    return 1;
}

int str_dump(lua_State* L) {
    luaL_Buffer b;
    luaL_checktype(L, 1, LUA_TFUNCTION);
    luaL_buffinit(L, &b);
    if (lua_dump(L, Writer, &b) == 0) {
        luaL_error(L, "unable to dump given function");
    }
    luaL_pushresult(&b);
    return 1;
}

// Pattern matching.

constexpr int kMaxCaptures = 32;
constexpr int kCapUnfinished = -1;
constexpr int kCapPosition = -2;
// Nesting of the matcher beyond which a pattern is refused instead of exhausting the C stack.
constexpr int kMaxMatchDepth = 2000;
constexpr char kEsc = '%';
constexpr const char* kSpecials = "^$*+?.([%-";

struct MatchState {
    const char* src_init;
    const char* src_end;
    lua_State* L;
    int level;
    int depth;
    struct {
        const char* init;
        long long len;
    } capture[kMaxCaptures];
};

const char* Match(MatchState* ms, const char* s, const char* p);

int CheckCapture(MatchState* ms, int l) {
    l -= '1';
    if (l < 0 || l >= ms->level || ms->capture[l].len == kCapUnfinished) {
        return luaL_error(ms->L, "invalid capture index");
    }
    return l;
}

int CaptureToClose(MatchState* ms) {
    int level = ms->level;
    for (level--; level >= 0; level--) {
        if (ms->capture[level].len == kCapUnfinished) {
            return level;
        }
    }
    return luaL_error(ms->L, "invalid pattern capture");
}

const char* ClassEnd(MatchState* ms, const char* p) {
    switch (*p++) {
    case kEsc:
        if (*p == '\0') {
            luaL_error(ms->L, "malformed pattern (ends with `%%')");
        }
        return p + 1;
    case '[':
        if (*p == '^') {
            p++;
        }
        do {
            if (*p == '\0') {
                luaL_error(ms->L, "malformed pattern (missing `]')");
            }
            if (*(p++) == kEsc && *p != '\0') {
                p++;
            }
        } while (*p != ']');
        return p + 1;
    default:
        return p;
    }
}

bool MatchClass(int c, int cl) {
    bool res;
    switch (ToLower(cl)) {
    case 'a':
        res = IsAlpha(c);
        break;
    case 'c':
        res = IsCntrl(c);
        break;
    case 'd':
        res = IsDigit(c);
        break;
    case 'l':
        res = IsLower(c);
        break;
    case 'p':
        res = IsPunct(c);
        break;
    case 's':
        res = IsSpace(c);
        break;
    case 'u':
        res = IsUpper(c);
        break;
    case 'w':
        res = IsAlnum(c);
        break;
    case 'x':
        res = IsXDigit(c);
        break;
    case 'z':
        res = (c == 0);
        break;
    default:
        return cl == c;
    }
    return IsLower(cl) ? res : !res;
}

bool MatchBracketClass(int c, const char* p, const char* ec) {
    bool sig = true;
    if (*(p + 1) == '^') {
        sig = false;
        p++;
    }
    while (++p < ec) {
        if (*p == kEsc) {
            p++;
            if (MatchClass(c, UChar(*p))) {
                return sig;
            }
        } else if (*(p + 1) == '-' && p + 2 < ec) {
            p += 2;
            if (UChar(*(p - 2)) <= c && c <= UChar(*p)) {
                return sig;
            }
        } else if (UChar(*p) == c) {
            return sig;
        }
    }
    return !sig;
}

bool SingleMatch(int c, const char* p, const char* ep) {
    switch (*p) {
    case '.':
        return true;
    case kEsc:
        return MatchClass(c, UChar(*(p + 1)));
    case '[':
        return MatchBracketClass(c, p, ep - 1);
    default:
        return UChar(*p) == c;
    }
}

const char* MatchBalance(MatchState* ms, const char* s, const char* p) {
    if (*p == '\0' || *(p + 1) == '\0') {
        luaL_error(ms->L, "unbalanced pattern");
    }
    if (s >= ms->src_end || *s != *p) {
        return nullptr;
    }
    const char b = *p;
    const char e = *(p + 1);
    int cont = 1;
    while (++s < ms->src_end) {
        if (*s == e) {
            if (--cont == 0) {
                return s + 1;
            }
        } else if (*s == b) {
            cont++;
        }
    }
    return nullptr;
}

const char* MaxExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    long long i = 0;
    while ((s + i) < ms->src_end && SingleMatch(UChar(*(s + i)), p, ep)) {
        i++;
    }
    while (i >= 0) {
        const char* res = Match(ms, s + i, ep + 1);
        if (res != nullptr) {
            return res;
        }
        i--;
    }
    return nullptr;
}

const char* MinExpand(MatchState* ms, const char* s, const char* p, const char* ep) {
    for (;;) {
        const char* res = Match(ms, s, ep + 1);
        if (res != nullptr) {
            return res;
        }
        if (s < ms->src_end && SingleMatch(UChar(*s), p, ep)) {
            s++;
        } else {
            return nullptr;
        }
    }
}

const char* StartCapture(MatchState* ms, const char* s, const char* p, int what) {
    const int level = ms->level;
    if (level >= kMaxCaptures) {
        luaL_error(ms->L, "too many captures");
    }
    ms->capture[level].init = s;
    ms->capture[level].len = what;
    ms->level = level + 1;
    const char* res = Match(ms, s, p);
    if (res == nullptr) {
        ms->level--;
    }
    return res;
}

const char* EndCapture(MatchState* ms, const char* s, const char* p) {
    const int l = CaptureToClose(ms);
    ms->capture[l].len = s - ms->capture[l].init;
    const char* res = Match(ms, s, p);
    if (res == nullptr) {
        ms->capture[l].len = kCapUnfinished;
    }
    return res;
}

const char* MatchCapture(MatchState* ms, const char* s, int l) {
    l = CheckCapture(ms, l);
    const size_t len = static_cast<size_t>(ms->capture[l].len);
    if (static_cast<size_t>(ms->src_end - s) >= len &&
        std::memcmp(ms->capture[l].init, s, len) == 0) {
        return s + len;
    }
    return nullptr;
}

const char* DoMatch(MatchState* ms, const char* s, const char* p) {
init:
    switch (*p) {
    case '(':
        if (*(p + 1) == ')') {
            return StartCapture(ms, s, p + 2, kCapPosition);
        }
        return StartCapture(ms, s, p + 1, kCapUnfinished);
    case ')':
        return EndCapture(ms, s, p + 1);
    case kEsc:
        switch (*(p + 1)) {
        case 'b':
            s = MatchBalance(ms, s, p + 2);
            if (s == nullptr) {
                return nullptr;
            }
            p += 4;
            goto init;
        case 'f': {
            p += 2;
            if (*p != '[') {
                luaL_error(ms->L, "missing `[' after `%%f' in pattern");
            }
            const char* ep = ClassEnd(ms, p);
            const char previous = (s == ms->src_init) ? '\0' : *(s - 1);
            const char current = (s < ms->src_end) ? *s : '\0';
            if (MatchBracketClass(UChar(previous), p, ep - 1) ||
                !MatchBracketClass(UChar(current), p, ep - 1)) {
                return nullptr;
            }
            p = ep;
            goto init;
        }
        default:
            if (IsDigit(UChar(*(p + 1)))) {
                s = MatchCapture(ms, s, UChar(*(p + 1)));
                if (s == nullptr) {
                    return nullptr;
                }
                p += 2;
                goto init;
            }
            goto dflt;
        }
    case '\0':
        return s;
    case '$':
        if (*(p + 1) == '\0') {
            return (s == ms->src_end) ? s : nullptr;
        }
        goto dflt;
    default:
    dflt : {
        const char* ep = ClassEnd(ms, p);
        const bool m = s < ms->src_end && SingleMatch(UChar(*s), p, ep);
        switch (*ep) {
        case '?': {
            const char* res;
            if (m && (res = Match(ms, s + 1, ep + 1)) != nullptr) {
                return res;
            }
            p = ep + 1;
            goto init;
        }
        case '*':
            return MaxExpand(ms, s, p, ep);
        case '+':
            return m ? MaxExpand(ms, s + 1, p, ep) : nullptr;
        case '-':
            return MinExpand(ms, s, p, ep);
        default:
            if (!m) {
                return nullptr;
            }
            s++;
            p = ep;
            goto init;
        }
    }
    }
}

const char* Match(MatchState* ms, const char* s, const char* p) {
    if (++ms->depth > kMaxMatchDepth) {
        luaL_error(ms->L, "pattern too complex");
    }
    const char* res = DoMatch(ms, s, p);
    ms->depth--;
    return res;
}

const char* MemFind(const char* s1, size_t l1, const char* s2, size_t l2) {
    if (l2 == 0) {
        return s1;
    }
    if (l2 > l1) {
        return nullptr;
    }
    l2--;
    l1 = l1 - l2;
    const char* init;
    while (l1 > 0 && (init = static_cast<const char*>(std::memchr(s1, *s2, l1))) != nullptr) {
        init++;
        if (std::memcmp(init, s2 + 1, l2) == 0) {
            return init - 1;
        }
        l1 -= static_cast<size_t>(init - s1);
        s1 = init;
    }
    return nullptr;
}

void PushOneCapture(MatchState* ms, int i) {
    const long long l = ms->capture[i].len;
    if (l == kCapUnfinished) {
        luaL_error(ms->L, "unfinished capture");
    }
    if (l == kCapPosition) {
        lua_pushnumber(ms->L, static_cast<lua_Number>(ms->capture[i].init - ms->src_init + 1));
    } else {
        lua_pushlstring(ms->L, ms->capture[i].init, static_cast<size_t>(l));
    }
}

int PushCaptures(MatchState* ms, const char* s, const char* e) {
    luaL_checkstack(ms->L, ms->level, "too many captures");
    if (ms->level == 0 && s != nullptr) {
        lua_pushlstring(ms->L, s, static_cast<size_t>(e - s));
        return 1;
    }
    for (int i = 0; i < ms->level; i++) {
        PushOneCapture(ms, i);
    }
    return ms->level;
}

void InitMatch(MatchState* ms, lua_State* L, const char* s, size_t l) {
    ms->L = L;
    ms->src_init = s;
    ms->src_end = s + l;
    ms->level = 0;
    ms->depth = 0;
}

int str_find(lua_State* L) {
    size_t l1;
    size_t l2;
    const char* s = luaL_checklstring(L, 1, &l1);
    const char* p = luaL_checklstring(L, 2, &l2);
    const long long init = PosRelat(luaL_optint(L, 3, 1), l1) - 1;
    luaL_argcheck(L, 0 <= init && static_cast<size_t>(init) <= l1, 3, "out of range");
    if (lua_toboolean(L, 4) != 0 || std::strpbrk(p, kSpecials) == nullptr) {
        const char* s2 = MemFind(s + init, l1 - static_cast<size_t>(init), p, l2);
        if (s2 != nullptr) {
            lua_pushnumber(L, static_cast<lua_Number>(s2 - s + 1));
            lua_pushnumber(L, static_cast<lua_Number>(s2 - s + static_cast<long long>(l2)));
            return 2;
        }
    } else {
        MatchState ms;
        const bool anchor = (*p == '^');
        if (anchor) {
            p++;
        }
        const char* s1 = s + init;
        InitMatch(&ms, L, s, l1);
        do {
            ms.level = 0;
            const char* res = Match(&ms, s1, p);
            if (res != nullptr) {
                lua_pushnumber(L, static_cast<lua_Number>(s1 - s + 1));
                lua_pushnumber(L, static_cast<lua_Number>(res - s));
                return PushCaptures(&ms, nullptr, nullptr) + 2;
            }
        } while (s1++ < ms.src_end && !anchor);
    }
    lua_pushnil(L);
    return 1;
}

int GfindAux(lua_State* L) {
    MatchState ms;
    const char* s = lua_tostring(L, lua_upvalueindex(1));
    const size_t ls = lua_strlen(L, lua_upvalueindex(1));
    const char* p = lua_tostring(L, lua_upvalueindex(2));
    InitMatch(&ms, L, s, ls);
    const long long start = LuaNumberToInt64(lua_tonumber(L, lua_upvalueindex(3)));
    if (start < 0 || start > static_cast<long long>(ls)) {
        return 0;
    }
    for (const char* src = s + start; src <= ms.src_end; src++) {
        ms.level = 0;
        const char* e = Match(&ms, src, p);
        if (e != nullptr) {
            long long newstart = e - s;
            if (e == src) {
                newstart++;
            }
            lua_pushnumber(L, static_cast<lua_Number>(newstart));
            lua_replace(L, lua_upvalueindex(3));
            return PushCaptures(&ms, src, e);
        }
    }
    return 0;
}

int str_gfind(lua_State* L) {
    luaL_checkstring(L, 1);
    luaL_checkstring(L, 2);
    lua_settop(L, 2);
    lua_pushnumber(L, 0);
    lua_pushcclosure(L, GfindAux, 3);
    return 1;
}

void AddS(MatchState* ms, luaL_Buffer* b, const char* s, const char* e) {
    lua_State* L = ms->L;
    if (lua_isstring(L, 3) != 0) {
        const char* news = lua_tostring(L, 3);
        const size_t l = lua_strlen(L, 3);
        for (size_t i = 0; i < l; i++) {
            if (news[i] != kEsc) {
                luaL_putchar(b, news[i]);
            } else {
                i++;
                if (!IsDigit(UChar(news[i]))) {
                    luaL_putchar(b, news[i]);
                } else {
                    const int level = CheckCapture(ms, UChar(news[i]));
                    PushOneCapture(ms, level);
                    luaL_addvalue(b);
                }
            }
        }
    } else {
        lua_pushvalue(L, 3);
        const int n = PushCaptures(ms, s, e);
        lua_call(L, n, 1);
        if (lua_isstring(L, -1) != 0) {
            luaL_addvalue(b);
        } else {
            lua_pop(L, 1);
        }
    }
}

// Replaces the wide string at idx by the narrow string of its units' low 8 bits.
void NarrowInPlace(lua_State* L, int idx) {
    const lua_WChar* w = lua_towstring(L, idx);
    std::string narrow(lua_strlen(L, idx), '\0');
    for (size_t i = 0; i < narrow.size(); i++) {
        narrow[i] = static_cast<char>(w[i] & 0xFF);
    }
    lua_pushlstring(L, narrow.data(), narrow.size());
    lua_replace(L, idx);
}

int str_gsub(lua_State* L) {
    size_t srcl;
    const char* src = luaL_checklstring(L, 1, &srcl);
    const char* p = luaL_checkstring(L, 2);
    const int max_s =
        luaL_optint(L, 4, static_cast<int>(srcl < 0x7FFFFFFE ? srcl + 1 : 0x7FFFFFFF));
    const bool anchor = (*p == '^');
    if (anchor) {
        p++;
    }
    luaL_argcheck(L, lua_gettop(L) >= 3 && (lua_isstring(L, 3) != 0 || lua_isfunction(L, 3)), 3,
                  "string or function expected");
    // The result is narrow: a wide replacement contributes the low 8 bits of its units.
    if (lua_iswstring(L, 3)) {
        NarrowInPlace(L, 3);
    }
    MatchState ms;
    luaL_Buffer b;
    int n = 0;
    luaL_buffinit(L, &b);
    InitMatch(&ms, L, src, srcl);
    while (n < max_s) {
        ms.level = 0;
        const char* e = Match(&ms, src, p);
        if (e != nullptr) {
            n++;
            AddS(&ms, &b, src, e);
        }
        if (e != nullptr && e > src) {
            src = e;
        } else if (src < ms.src_end) {
            luaL_putchar(&b, *src++);
        } else {
            break;
        }
        if (anchor) {
            break;
        }
    }
    luaL_addlstring(&b, src, static_cast<size_t>(ms.src_end - src));
    luaL_pushresult(&b);
    lua_pushnumber(L, static_cast<lua_Number>(n));
    return 2;
}

// Format.

constexpr int kMaxItem = 512;
constexpr int kMaxFormat = 20;

void AddQuoted(lua_State* L, luaL_Buffer* b, int arg) {
    size_t l;
    const char* s = luaL_checklstring(L, arg, &l);
    luaL_putchar(b, '"');
    while (l-- != 0) {
        switch (*s) {
        case '"':
        case '\\':
        case '\n':
            luaL_putchar(b, '\\');
            luaL_putchar(b, *s);
            break;
        case '\0':
            luaL_addlstring(b, "\\000", 4);
            break;
        default:
            luaL_putchar(b, *s);
            break;
        }
        s++;
    }
    luaL_putchar(b, '"');
}

// Writes one character of %Q; `hexDigits` is 2 for narrow and 4 for wide strings.
void AddQuotedChar(luaL_Buffer* b, unsigned c, int hexDigits) {
    static const char kEscapes[] = "abtnvfr";
    if (c >= 7 && c <= 13) {
        luaL_putchar(b, '\\');
        luaL_putchar(b, kEscapes[c - 7]);
    } else if (c == '"' || c == '\\') {
        luaL_putchar(b, '\\');
        luaL_putchar(b, static_cast<char>(c));
    } else if (IsPrint(static_cast<int>(c))) {
        luaL_putchar(b, static_cast<char>(c));
    } else {
        char buff[8];
        std::snprintf(buff, sizeof(buff), hexDigits == 2 ? "\\x%02x" : "\\x%04x", c);
        luaL_addstring(b, buff);
    }
}

void AddLuaQuoted(lua_State* L, luaL_Buffer* b, int arg) {
    if (lua_iswstring(L, arg)) {
        const lua_WChar* w = lua_towstring(L, arg);
        const size_t l = lua_strlen(L, arg);
        luaL_addlstring(b, "L\"", 2);
        for (size_t i = 0; i < l; i++) {
            AddQuotedChar(b, w[i], 4);
        }
    } else {
        size_t l;
        const char* s = luaL_checklstring(L, arg, &l);
        luaL_putchar(b, '"');
        for (size_t i = 0; i < l; i++) {
            AddQuotedChar(b, static_cast<unsigned>(UChar(s[i])), 2);
        }
    }
    luaL_putchar(b, '"');
}

void AddBinary(luaL_Buffer* b, char kind, lua_Number n) {
    unsigned char bytes[8];
    size_t size = 0;
    switch (kind) {
    case 'F':
        std::memcpy(bytes, &n, 8);
        size = 8;
        break;
    case 'f': {
        const float f = static_cast<float>(n);
        std::memcpy(bytes, &f, 4);
        size = 4;
        break;
    }
    case 'd': {
        const uint32_t v = LuaNumberLow32(n);
        for (int i = 0; i < 4; i++) {
            bytes[i] = static_cast<unsigned char>(v >> (8 * i));
        }
        size = 4;
        break;
    }
    case 'w': {
        const uint32_t v = static_cast<uint32_t>(LuaNumberToInt(n));
        bytes[0] = static_cast<unsigned char>(v);
        bytes[1] = static_cast<unsigned char>(v >> 8);
        size = 2;
        break;
    }
    case 'b':
        bytes[0] = static_cast<unsigned char>(static_cast<uint32_t>(LuaNumberToInt(n)));
        size = 1;
        break;
    default:
        break;
    }
    luaL_addlstring(b, reinterpret_cast<const char*>(bytes), size);
}

const char* ScanFormat(lua_State* L, const char* strfrmt, char* form, bool* hasprecision) {
    const char* p = strfrmt;
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) {
        p++;
    }
    if (IsDigit(UChar(*p))) {
        p++;
    }
    if (IsDigit(UChar(*p))) {
        p++;
    }
    if (*p == '.') {
        p++;
        *hasprecision = true;
        if (IsDigit(UChar(*p))) {
            p++;
        }
        if (IsDigit(UChar(*p))) {
            p++;
        }
    }
    if (IsDigit(UChar(*p))) {
        luaL_error(L, "invalid format (width or precision too long)");
    }
    if (p - strfrmt + 2 > kMaxFormat) {
        luaL_error(L, "invalid format (too long)");
    }
    form[0] = '%';
    const size_t n = static_cast<size_t>(p - strfrmt + 1);
    std::memcpy(form + 1, strfrmt, n);
    form[n + 1] = '\0';
    return p;
}

int str_format(lua_State* L) {
    int arg = 1;
    size_t sfl;
    const char* strfrmt = luaL_checklstring(L, arg, &sfl);
    const char* strfrmt_end = strfrmt + sfl;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    while (strfrmt < strfrmt_end) {
        if (*strfrmt != '%') {
            luaL_putchar(&b, *strfrmt++);
            continue;
        }
        if (*++strfrmt == '%') {
            luaL_putchar(&b, *strfrmt++);
            continue;
        }
        char form[kMaxFormat + 1];
        char buff[kMaxItem];
        bool hasprecision = false;
        if (IsDigit(UChar(*strfrmt)) && *(strfrmt + 1) == '$') {
            return luaL_error(L, "obsolete option (d$) to `format'");
        }
        arg++;
        strfrmt = ScanFormat(L, strfrmt, form, &hasprecision);
        switch (*strfrmt++) {
        case 'c':
        case 'd':
        case 'i':
            std::snprintf(buff, sizeof(buff), form, LuaNumberToInt(luaL_checknumber(L, arg)));
            break;
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            std::snprintf(buff, sizeof(buff), form,
                          static_cast<unsigned>(LuaNumberLow32(luaL_checknumber(L, arg))));
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G':
            std::snprintf(buff, sizeof(buff), form, luaL_checknumber(L, arg));
            break;
        case 'q':
            AddQuoted(L, &b, arg);
            continue;
        case 'Q':
            AddLuaQuoted(L, &b, arg);
            continue;
        case 'B': {
            const int t = lua_type(L, arg);
            if (t != LUA_TBOOLEAN && t != LUA_TNIL) {
                luaL_typerror(L, arg, "boolean");
            }
            luaL_addstring(&b, lua_toboolean(L, arg) != 0 ? "true" : "false");
            continue;
        }
        case 'b': {
            const lua_Number n = luaL_checknumber(L, arg);
            if (strfrmt < strfrmt_end) {
                AddBinary(&b, *strfrmt++, n);
            }
            continue;
        }
        case 's': {
            size_t l;
            const char* s = luaL_checklstring(L, arg, &l);
            if (!hasprecision && l >= 100) {
                lua_pushvalue(L, arg);
                luaL_addvalue(&b);
                continue;
            }
            std::snprintf(buff, sizeof(buff), form, s);
            break;
        }
        default:
            return luaL_error(L, "invalid option to `format'");
        }
        luaL_addlstring(&b, buff, std::strlen(buff));
    }
    luaL_pushresult(&b);
    return 1;
}

// Escape resolution.

int HexValue(int c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    return ToLower(c) - 'a' + 10;
}

int str_lualex(lua_State* L) {
    size_t l;
    const char* s = luaL_checklstring(L, 1, &l);
    const bool wide = LuaNumberToInt64(luaL_checknumber(L, 2)) != 0;
    const int maxHex = wide ? 4 : 2;
    luaL_Buffer b;
    luaL_buffinit(L, &b);
    size_t i = 0;
    while (i < l) {
        unsigned c = UChar(s[i++]);
        if (c == '\\') {
            if (i >= l) {
                c = 0;
            } else {
                const int e = UChar(s[i++]);
                switch (e) {
                case 'a':
                    c = 7;
                    break;
                case 'b':
                    c = 8;
                    break;
                case 'f':
                    c = 12;
                    break;
                case 'n':
                    c = 10;
                    break;
                case 'r':
                    c = 13;
                    break;
                case 't':
                    c = 9;
                    break;
                case 'v':
                    c = 11;
                    break;
                case 'x': {
                    int digits = 0;
                    c = 0;
                    while (digits < maxHex && i < l && IsXDigit(UChar(s[i]))) {
                        c = c * 16 + static_cast<unsigned>(HexValue(UChar(s[i++])));
                        digits++;
                    }
                    if (digits == 0) {
                        c = 'x';
                    }
                    break;
                }
                default:
                    if (IsDigit(e)) {
                        c = static_cast<unsigned>(e - '0');
                        for (int digits = 1; digits < 3 && i < l && IsDigit(UChar(s[i]));
                             digits++) {
                            c = c * 10 + static_cast<unsigned>(UChar(s[i++]) - '0');
                        }
                        c &= 0xFF;
                    } else {
                        c = static_cast<unsigned>(e);
                    }
                    break;
                }
            }
        }
        luaL_putchar(&b, static_cast<char>(c & 0xFF));
        if (wide) {
            luaL_putchar(&b, static_cast<char>((c >> 8) & 0xFF));
        }
    }
    luaL_pushresult(&b);
    return 1;
}

const luaL_reg kStrLib[] = {
    {"len", str_len},       {"sub", str_sub},   {"lower", str_lower}, {"upper", str_upper},
    {"char", str_char},     {"rep", str_rep},   {"byte", str_byte},   {"format", str_format},
    {"dump", str_dump},     {"find", str_find}, {"gfind", str_gfind}, {"gsub", str_gsub},
    {"lualex", str_lualex}, {nullptr, nullptr},
};

} // namespace

int luaopen_string(lua_State* L) {
    luaL_openlib(L, LUA_STRLIBNAME, kStrLib, 0);
    lua_pushliteral(L, LUA_STRLIBNAME);
    lua_gettable(L, LUA_GLOBALSINDEX);
    lua_settypemetatable(L, LUA_TSTRING);
    luaopen_pack(L);
    return 1;
}
