#include "engine/script/lua/lualex.h"

#include <cstdio>
#include <cstring>

#include "engine/script/lua/luado.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"

static const char* const token2string[] = {"and",     "break",    "continue", "do",   "else",
                                           "elseif",  "end",      "false",    "for",  "function",
                                           "if",      "in",       "local",    "nil",  "not",
                                           "or",      "repeat",   "return",   "then", "true",
                                           "until",   "while",    "*name",    "..",   "...",
                                           "==",      ">=",       "<=",       "~=",   "*number",
                                           "*string", "*wstring", "<<",       ">>",   "<eof>"};

#define MAXSRC 80

void luaX_init(lua_State* L) {
    for (int i = 0; i < NUM_RESERVED; i++) {
        TString* ts = luaS_new(L, token2string[i]);
        luaS_fix(ts);
        ts->reserved = static_cast<lu_byte>(i + 1);
    }
}

void luaX_checklimit(ScriptLexer* ls, int val, int limit, const char* msg) {
    if (val > limit) {
        luaX_syntaxerror(ls, luaO_pushfstring(ls->L, "too many %s (limit=%d)", msg, limit));
    }
}

void luaX_errorline(ScriptLexer* ls, const char* s, const char* token, int line) {
    char buff[MAXSRC];
    luaO_chunkid(buff, getstr(ls->source), MAXSRC);
    luaO_pushfstring(ls->L, "%s:%d: %s near `%s'", buff, line, s, token);
    luaD_throw(ls->L, LUA_ERRSYNTAX);
}

[[noreturn]] static void luaX_error(ScriptLexer* ls, const char* s, const char* token) {
    luaX_errorline(ls, s, token, ls->linenumber);
}

const char* luaX_token2str(ScriptLexer* ls, int token) {
    if (token < FIRST_RESERVED) {
        return luaO_pushfstring(ls->L, "%c", token);
    }
    return token2string[token - FIRST_RESERVED];
}

// The token buffer as text. A wide literal's units show as their low bytes, "?" above 255.
static const char* buffertext(ScriptLexer* ls) {
    if (ls->widetext) {
        const size_t n = ls->nbuff / 2;
        char* out = luaZ_openspace(ls->L, ls->buff, ls->nbuff + n + 1) + ls->nbuff;
        for (size_t i = 0; i < n; i++) {
            lua_WChar u;
            std::memcpy(&u, ls->buff->buffer + 2 * i, sizeof(u));
            out[i] = (u < 256 && u != 0) ? static_cast<char>(u) : '?';
        }
        out[n] = '\0';
        return out;
    }
    char* b = luaZ_openspace(ls->L, ls->buff, ls->nbuff + 1);
    b[ls->nbuff] = '\0';
    return b;
}

[[noreturn]] static void luaX_lexerror(ScriptLexer* ls, const char* s, int token) {
    if (token == TK_EOS) {
        luaX_error(ls, s, luaX_token2str(ls, token));
    }
    luaX_error(ls, s, buffertext(ls));
}

void luaX_syntaxerror(ScriptLexer* ls, const char* msg) {
    const char* lasttoken;
    switch (ls->t.token) {
    case TK_NAME:
        lasttoken = getstr(ls->t.seminfo.ts);
        break;
    case TK_STRING:
    case TK_NUMBER:
        lasttoken = buffertext(ls);
        break;
    default:
        lasttoken = luaX_token2str(ls, ls->t.token);
        break;
    }
    luaX_error(ls, msg, lasttoken);
}

static inline void next(ScriptLexer* ls) {
    ls->current = luaZ_getc(ls->z);
}

static void inclinenumber(ScriptLexer* ls) {
    next(ls); // skip '\n'
    ++ls->linenumber;
    luaX_checklimit(ls, ls->linenumber, MAX_INT_LUA, "lines in a chunk");
}

// A string the lexer makes is held only by C variables until the code generator stores it, and
// the next read may run a collection.
static TString* anchor(ScriptLexer* ls, TString* ts) {
    TObject key;
    setsvalue(&key, ts);
    setbvalue(luaH_set(ls->L, ls->anchors, &key), 1);
    return ts;
}

void luaX_setinput(lua_State* L, ScriptLexer* ls, ZIO* z, TString* source) {
    ls->anchors = luaH_new(L, 0, 0);
    sethvalue(L->top, ls->anchors);
    incr_top(L);
    ls->L = L;
    ls->lookahead.token = TK_EOS; // no look-ahead token
    ls->z = z;
    ls->fs = nullptr;
    ls->linenumber = 1;
    ls->lastline = 1;
    ls->source = anchor(ls, source);
    ls->nbuff = 0;
    ls->widetext = 0;
    ls->nestlevel = 0;
    ls->t.token = 0;
    ls->t.seminfo.ts = nullptr;
    next(ls);
    if (ls->current == '#') {
        do {
            next(ls);
        } while (ls->current != '\n' && ls->current != EOZ);
    }
}

// Token buffer.

static void save(ScriptLexer* ls, int c) {
    if (ls->nbuff + 2 > ls->buff->size) {
        size_t newsize = ls->buff->size * 2;
        if (newsize < LUA_MINBUFFER) {
            newsize = LUA_MINBUFFER;
        }
        if (newsize < ls->nbuff + 2 || newsize > MAX_LUA_STRLEN) {
            luaX_lexerror(ls, "lexical element too long", 0);
        }
        luaZ_openspace(ls->L, ls->buff, newsize);
    }
    if (ls->widetext) {
        const lua_WChar u = static_cast<lua_WChar>(c);
        std::memcpy(ls->buff->buffer + ls->nbuff, &u, sizeof(u));
        ls->nbuff += 2;
    } else {
        ls->buff->buffer[ls->nbuff++] = static_cast<char>(c);
    }
}

static void save_and_next(ScriptLexer* ls) {
    save(ls, ls->current);
    next(ls);
}

// Character classes: ASCII only, whatever the locale.
static bool isalphaA(int c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
static bool isdigitA(int c) {
    return c >= '0' && c <= '9';
}
static bool isalnumA(int c) {
    return isalphaA(c) || isdigitA(c);
}
static int hexvalue(int c) {
    if (isdigitA(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

static void read_numeral(ScriptLexer* ls, int comma, SemInfo* seminfo) {
    bool decorated = false; // has a point or an exponent
    if (comma) {
        save(ls, '.');
        decorated = true;
    } else if (ls->current == '0') {
        save_and_next(ls);
        if (ls->current == 'x') {
            save_and_next(ls);
            uint32_t v = 0;
            int n = 0;
            while (n < 8 && hexvalue(ls->current) >= 0) {
                v = (v << 4) | static_cast<uint32_t>(hexvalue(ls->current));
                save_and_next(ls);
                n++;
            }
            if (n == 0) {
                luaX_lexerror(ls, "malformed integer", TK_NUMBER);
            }
            save(ls, '\0');
            ls->nbuff--;
            seminfo->r = static_cast<lua_Number>(v);
            return;
        }
    }
    while (isdigitA(ls->current)) {
        save_and_next(ls);
    }
    if (ls->current == '.') {
        decorated = true;
        save_and_next(ls);
        if (ls->current == '.') {
            save_and_next(ls);
            luaX_lexerror(ls, "ambiguous syntax (decimal point x string concatenation)", TK_NUMBER);
        }
    }
    while (isdigitA(ls->current)) {
        save_and_next(ls);
    }
    if (ls->current == 'e' || ls->current == 'E') {
        decorated = true;
        save_and_next(ls);
        if (ls->current == '+' || ls->current == '-') {
            save_and_next(ls);
        }
        while (isdigitA(ls->current)) {
            save_and_next(ls);
        }
    }
    save(ls, '\0');
    ls->nbuff--;
    if (!luaO_str2d(ls->buff->buffer, &seminfo->r)) {
        luaX_lexerror(ls, decorated ? "malformed number" : "malformed integer", TK_NUMBER);
    }
}

static void read_long_string(ScriptLexer* ls, SemInfo* seminfo) {
    int cont = 0;
    save_and_next(ls); // pass the second '['
    if (ls->current == '\n') {
        inclinenumber(ls);
    }
    for (;;) {
        switch (ls->current) {
        case EOZ:
            luaX_lexerror(ls, seminfo ? "unfinished long string" : "unfinished long comment",
                          TK_EOS);
        case '[':
            save_and_next(ls);
            if (ls->current == '[') {
                cont++;
                save_and_next(ls);
            }
            continue;
        case ']':
            save_and_next(ls);
            if (ls->current == ']') {
                if (cont == 0) {
                    goto endloop;
                }
                cont--;
                save_and_next(ls);
            }
            continue;
        case '\n':
            save(ls, '\n');
            inclinenumber(ls);
            if (!seminfo) {
                ls->nbuff = 0; // a long comment keeps no text
            }
            continue;
        default:
            if (seminfo) {
                save(ls, ls->current & 0xFF);
            }
            next(ls);
        }
    }
endloop:
    save_and_next(ls); // skip the second ']'
    if (seminfo) {
        seminfo->ts = anchor(ls, luaS_newlstr(ls->L, ls->buff->buffer + 2, ls->nbuff - 4));
    }
}

// A quoted literal. Wide literals (wide != 0) keep whole 16-bit units in the buffer.
static void read_string(ScriptLexer* ls, int del, SemInfo* seminfo, bool wide) {
    save_and_next(ls);
    while (ls->current != del) {
        switch (ls->current) {
        case EOZ:
            luaX_lexerror(ls, "unfinished string", TK_EOS);
        case '\n':
            luaX_lexerror(ls, "unfinished string", TK_STRING);
        case '\\': {
            next(ls); // do not save the backslash
            int c;
            switch (ls->current) {
            case 'a':
                c = '\a';
                break;
            case 'b':
                c = '\b';
                break;
            case 'f':
                c = '\f';
                break;
            case 'n':
                c = '\n';
                break;
            case 'r':
                c = '\r';
                break;
            case 't':
                c = '\t';
                break;
            case 'v':
                c = '\v';
                break;
            case '\n':
                save(ls, '\n');
                inclinenumber(ls);
                continue;
            case EOZ:
                continue; // reported as unfinished on the next pass
            case 'x': {
                next(ls);
                const int maxdigits = wide ? 4 : 2;
                int n = 0;
                c = 0;
                while (n < maxdigits && hexvalue(ls->current) >= 0) {
                    c = (c << 4) | hexvalue(ls->current);
                    next(ls);
                    n++;
                }
                save(ls, n == 0 ? 'x' : c);
                continue;
            }
            default:
                if (!isdigitA(ls->current)) {
                    save_and_next(ls); // handles \\, \", \', \? and the rest
                } else {
                    int i = 0;
                    c = 0;
                    do {
                        c = 10 * c + (ls->current - '0');
                        next(ls);
                    } while (++i < 3 && isdigitA(ls->current));
                    if (c > 255) {
                        luaX_lexerror(ls, "escape sequence too large", TK_STRING);
                    }
                    save(ls, c);
                }
                continue;
            }
            save(ls, c);
            next(ls);
            continue;
        }
        default:
            save(ls, wide ? ls->current : (ls->current & 0xFF));
            next(ls);
        }
    }
    save_and_next(ls); // skip the delimiter
    if (wide) {
        const lua_WChar* units = reinterpret_cast<const lua_WChar*>(ls->buff->buffer);
        const size_t n = ls->nbuff / 2;
        lua_WChar tmp[64];
        lua_WChar* body = tmp;
        // The buffer is only byte-aligned; copy the units out.
        if (n > 64) {
            body = luaM_newvector<lua_WChar>(ls->L, n);
        }
        std::memcpy(body, units, n * sizeof(lua_WChar));
        TString* ts;
        try {
            ts = luaS_newlwstr(ls->L, body + 1, n - 2);
        } catch (...) {
            if (body != tmp) {
                luaM_freearray(ls->L, body, n);
            }
            throw;
        }
        if (body != tmp) {
            luaM_freearray(ls->L, body, n);
        }
        seminfo->ts = anchor(ls, ts);
        ls->widetext = 0;
    } else {
        seminfo->ts = anchor(ls, luaS_newlstr(ls->L, ls->buff->buffer + 1, ls->nbuff - 2));
    }
}

static int llex(ScriptLexer* ls, SemInfo* seminfo) {
    ls->nbuff = 0;
    ls->widetext = 0;
    for (;;) {
        switch (ls->current) {
        case '\n':
            inclinenumber(ls);
            continue;
        case '-':
            next(ls);
            if (ls->current != '-') {
                return '-';
            }
            next(ls);
            if (ls->current == '[') {
                next(ls);
                if (ls->current == '[') {
                    read_long_string(ls, nullptr);
                    ls->nbuff = 0;
                    continue;
                }
            }
            while (ls->current != '\n' && ls->current != EOZ) {
                next(ls);
            }
            continue;
        case '[':
            next(ls);
            if (ls->current != '[') {
                return '[';
            }
            save(ls, '[');
            read_long_string(ls, seminfo);
            return TK_STRING;
        case '=':
            next(ls);
            if (ls->current != '=') {
                return '=';
            }
            next(ls);
            return TK_EQ;
        case '<':
            next(ls);
            if (ls->current == '=') {
                next(ls);
                return TK_LE;
            }
            if (ls->current == '<') {
                next(ls);
                return TK_SHL;
            }
            return '<';
        case '>':
            next(ls);
            if (ls->current == '=') {
                next(ls);
                return TK_GE;
            }
            if (ls->current == '>') {
                next(ls);
                return TK_SHR;
            }
            return '>';
        case '~':
            next(ls);
            if (ls->current != '=') {
                return '~';
            }
            next(ls);
            return TK_NE;
        case '"':
        case '\'':
            read_string(ls, ls->current, seminfo, false);
            return TK_STRING;
        case '.':
            save_and_next(ls);
            if (ls->current == '.') {
                next(ls);
                if (ls->current == '.') {
                    next(ls);
                    return TK_DOTS;
                }
                return TK_CONCAT;
            }
            if (!isdigitA(ls->current)) {
                return '.';
            }
            ls->nbuff = 0;
            read_numeral(ls, 1, seminfo);
            return TK_NUMBER;
        case EOZ:
            return TK_EOS;
        case ' ':
        case '\t':
        case '\r':
        case '\v':
        case '\f':
            next(ls);
            continue;
        default: {
            const int c = ls->current;
            if (isdigitA(c)) {
                read_numeral(ls, 0, seminfo);
                return TK_NUMBER;
            }
            if (isalphaA(c)) {
                if (c == 'L') {
                    next(ls);
                    if (ls->current == '"') {
                        ls->widetext = 1;
                        read_string(ls, '"', seminfo, true);
                        return TK_WSTRING;
                    }
                    save(ls, 'L');
                }
                while (isalnumA(ls->current)) {
                    save_and_next(ls);
                }
                TString* ts = luaS_newlstr(ls->L, ls->buff->buffer, ls->nbuff);
                if (ts->tt == LUA_TSTRING && ts->reserved > 0) {
                    return ts->reserved - 1 + FIRST_RESERVED;
                }
                seminfo->ts = anchor(ls, ts);
                return TK_NAME;
            }
            if (c >= 255) {
                save(ls, c & 0xFF);
                luaX_error(ls, "invalid wide char", luaO_pushfstring(ls->L, "char(%d)", c));
            }
            if (c < 32 || c == 127) {
                luaX_error(ls, "invalid control char", luaO_pushfstring(ls->L, "char(%d)", c));
            }
            next(ls);
            return c; // single-char tokens (+ - / ...)
        }
        }
    }
}

void luaX_next(ScriptLexer* ls) {
    ls->lastline = ls->linenumber;
    if (ls->lookahead.token != TK_EOS) {
        ls->t = ls->lookahead;
        ls->lookahead.token = TK_EOS;
    } else {
        ls->t.token = llex(ls, &ls->t.seminfo);
    }
}

void luaX_lookahead(ScriptLexer* ls) {
    ls->lookahead.token = llex(ls, &ls->lookahead.seminfo);
}
