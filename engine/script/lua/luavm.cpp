#include "engine/script/lua/luavm.h"

#include <cstring>

#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luaopcodes.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "engine/script/lua/luatm.h"

const TObject* luaV_tonumber(const TObject* obj, TObject* n) {
    lua_Number num;
    if (ttisnumber(obj)) {
        return obj;
    }
    if (ttisstring(obj) && luaO_str2d(getstr(tsvalue(obj)), &num)) {
        setnvalue(n, num);
        return n;
    }
    if (ttiswstring(obj) && luaO_wstr2d(getwstr(tsvalue(obj)), tsvalue(obj)->len, &num)) {
        setnvalue(n, num);
        return n;
    }
    return nullptr;
}

int luaV_tostring(lua_State* L, StkId obj) {
    if (!ttisnumber(obj)) {
        return 0;
    }
    char s[32];
    luaO_number2str(nvalue(obj), s);
    setsvalue(obj, luaS_new(L, s));
    return 1;
}

int luaV_towstring(lua_State* L, StkId obj) {
    if (!ttisnumber(obj)) {
        return 0;
    }
    char s[32];
    luaO_number2str(nvalue(obj), s);
    lua_WChar w[32];
    size_t n = 0;
    for (; s[n] != '\0'; n++) {
        // Sign extension of the byte, as the machine always widened its digits.
        w[n] = static_cast<lua_WChar>(static_cast<int16_t>(static_cast<signed char>(s[n])));
    }
    setsvalue(obj, luaS_newlwstr(L, w, n));
    return 1;
}

// Calls f(p1, p2) and leaves its single result at L->top (not counted in the stack).
static void callTMres(lua_State* L, const TObject* f, const TObject* p1, const TObject* p2) {
    const TObject cf = *f;
    const TObject c1 = *p1;
    const TObject c2 = *p2;
    luaD_checkstack(L, 3);
    setobj(L->top, &cf);
    setobj(L->top + 1, &c1);
    setobj(L->top + 2, &c2);
    L->top += 3;
    luaD_call(L, L->top - 3, 1);
    L->top--;
}

static void callTM(lua_State* L, const TObject* f, const TObject* p1, const TObject* p2,
                   const TObject* p3) {
    const TObject cf = *f;
    const TObject c1 = *p1;
    const TObject c2 = *p2;
    const TObject c3 = *p3;
    luaD_checkstack(L, 4);
    setobj(L->top, &cf);
    setobj(L->top + 1, &c1);
    setobj(L->top + 2, &c2);
    setobj(L->top + 3, &c3);
    L->top += 4;
    luaD_call(L, L->top - 4, 0);
}

void luaV_gettable(lua_State* L, const TObject* t0, const TObject* key0, StkId val) {
    const ptrdiff_t valr = savestack(L, val);
    TObject t = *t0;
    const TObject key = *key0;
    for (int loop = 0; loop < MAXTAGLOOP; loop++) {
        const TObject* tm;
        if (ttistable(&t)) {
            Table* h = hvalue(&t);
            const TObject* res = luaH_get(h, &key);
            if (!ttisnil(res) || (tm = luaT_fasttm(L, h->metatable, TM_INDEX)) == nullptr) {
                setobj(restorestack(L, valr), res);
                return;
            }
        } else {
            tm = luaT_gettmbyobj(L, &t, TM_INDEX);
            if (ttisnil(tm)) {
                Table* mt = luaT_getmetatable(L, &t);
                if (mt == nullptr) {
                    luaG_typeerror(L, &t, "index");
                }
                sethvalue(&t, mt);
                continue;
            }
        }
        if (ttisfunction(tm)) {
            callTMres(L, tm, &t, &key);
            setobj(restorestack(L, valr), L->top);
            return;
        }
        t = *tm;
    }
    luaG_runerror(L, "loop in gettable");
}

void luaV_settable(lua_State* L, const TObject* t0, const TObject* key0, const TObject* val0) {
    TObject t = *t0;
    const TObject key = *key0;
    const TObject val = *val0;
    for (int loop = 0; loop < MAXTAGLOOP; loop++) {
        const TObject* tm;
        if (ttistable(&t)) {
            Table* h = hvalue(&t);
            TObject* oldval = luaH_set(L, h, &key);
            if (!ttisnil(oldval) || (tm = luaT_fasttm(L, h->metatable, TM_NEWINDEX)) == nullptr) {
                setobj(oldval, &val);
                return;
            }
        } else {
            tm = luaT_gettmbyobj(L, &t, TM_NEWINDEX);
            if (ttisnil(tm)) {
                luaG_typeerror(L, &t, "index");
            }
        }
        if (ttisfunction(tm)) {
            callTM(L, tm, &t, &key, &val);
            return;
        }
        t = *tm;
    }
    luaG_runerror(L, "loop in settable");
}

static const TObject* get_compTM(lua_State* L, Table* mt1, Table* mt2, TMS event) {
    const TObject* tm1 = luaT_fasttm(L, mt1, event);
    if (tm1 == nullptr) {
        return nullptr;
    }
    if (mt1 == mt2) {
        return tm1;
    }
    const TObject* tm2 = luaT_fasttm(L, mt2, event);
    if (tm2 == nullptr) {
        return nullptr;
    }
    return luaO_rawequalObj(tm1, tm2) ? tm1 : nullptr;
}

int luaV_equalval(lua_State* L, const TObject* t1, const TObject* t2) {
    const TObject* tm;
    switch (ttype(t1)) {
    case LUA_TNIL:
        return 1;
    case LUA_TNUMBER:
        return nvalue(t1) == nvalue(t2);
    case LUA_TBOOLEAN:
        return bvalue(t1) == bvalue(t2);
    case LUA_TLIGHTUSERDATA:
        return pvalue(t1) == pvalue(t2);
    case LUA_TUSERDATA:
        if (uvalue(t1) == uvalue(t2)) {
            return 1;
        }
        tm = get_compTM(L, uvalue(t1)->metatable, uvalue(t2)->metatable, TM_EQ);
        break;
    case LUA_TTABLE:
        if (hvalue(t1) == hvalue(t2)) {
            return 1;
        }
        tm = get_compTM(L, hvalue(t1)->metatable, hvalue(t2)->metatable, TM_EQ);
        break;
    default:
        return gcvalue(t1) == gcvalue(t2);
    }
    if (tm == nullptr) {
        return 0;
    }
    callTMres(L, tm, t1, t2);
    return !l_isfalse(L->top);
}

// Compares with the locale's collation, chunk by chunk across embedded zeros.
static int l_strcmp(const TString* ls, const TString* rs) {
    const char* l = getstr(ls);
    size_t ll = ls->len;
    const char* r = getstr(rs);
    size_t lr = rs->len;
    for (;;) {
        const int temp = std::strcoll(l, r);
        if (temp != 0) {
            return temp;
        }
        size_t len = std::strlen(l);
        if (len == lr) {
            return (len == ll) ? 0 : 1;
        } else if (len == ll) {
            return -1;
        }
        len++;
        l += len;
        ll -= len;
        r += len;
        lr -= len;
    }
}

static int call_orderTM(lua_State* L, const TObject* p1, const TObject* p2, TMS event) {
    const TObject* tm1 = luaT_gettmbyobj(L, p1, event);
    if (ttisnil(tm1)) {
        return -1;
    }
    const TObject* tm2 = luaT_gettmbyobj(L, p2, event);
    if (!luaO_rawequalObj(tm1, tm2)) {
        return -1;
    }
    callTMres(L, tm1, p1, p2);
    return !l_isfalse(L->top);
}

int luaV_lessthan(lua_State* L, const TObject* l, const TObject* r) {
    if (ttype(l) != ttype(r)) {
        luaG_ordererror(L, l, r);
    }
    if (ttisnumber(l)) {
        return nvalue(l) < nvalue(r);
    }
    if (ttisstring(l)) {
        return l_strcmp(tsvalue(l), tsvalue(r)) < 0;
    }
    const int res = call_orderTM(L, l, r, TM_LT);
    if (res != -1) {
        return res;
    }
    luaG_ordererror(L, l, r);
}

int luaV_lessequal(lua_State* L, const TObject* l, const TObject* r) {
    if (ttype(l) != ttype(r)) {
        luaG_ordererror(L, l, r);
    }
    if (ttisnumber(l)) {
        return nvalue(l) <= nvalue(r);
    }
    if (ttisstring(l)) {
        return l_strcmp(tsvalue(l), tsvalue(r)) <= 0;
    }
    int res = call_orderTM(L, l, r, TM_LE);
    if (res != -1) {
        return res;
    }
    res = call_orderTM(L, r, l, TM_LT);
    if (res != -1) {
        return !res;
    }
    luaG_ordererror(L, l, r);
}

char* luaV_openspace(lua_State* L, size_t n) {
    Mbuffer* b = &G(L)->buff;
    if (n > b->size) {
        if (n < LUA_MINBUFFER) {
            n = LUA_MINBUFFER;
        }
        b->buffer = static_cast<char*>(luaM_reallocbuffer(L, b->buffer, b->size, n));
        b->size = n;
    }
    return b->buffer;
}

static bool call_binTM(lua_State* L, StkId p1, StkId p2, StkId res, TMS event) {
    const ptrdiff_t result = savestack(L, res);
    const TObject* tm = luaT_gettmbyobj(L, p1, event);
    if (ttisnil(tm)) {
        tm = luaT_gettmbyobj(L, p2, event);
    }
    if (!ttisfunction(tm)) {
        return false;
    }
    callTMres(L, tm, p1, p2);
    setobj(restorestack(L, result), L->top);
    return true;
}

void luaV_concat(lua_State* L, int total, int last) {
    // One mode for the whole operation: the first string met from the right decides it.
    bool wide = false;
    for (StkId o = L->base + last; o > L->base + last - total; o--) {
        if (ttisstring(o)) {
            break;
        }
        if (ttiswstring(o)) {
            wide = true;
            break;
        }
    }
    auto tostr = [&](StkId o) -> bool {
        if (wide) {
            return ttiswstring(o) || luaV_towstring(L, o);
        }
        return ttisstring(o) || luaV_tostring(L, o);
    };
    do {
        StkId top = L->base + last + 1;
        int n = 2;
        if (!tostr(top - 2) || !tostr(top - 1)) {
            if (!call_binTM(L, top - 2, top - 1, top - 2, TM_CONCAT)) {
                luaG_concaterror(L, top - 2, top - 1);
            }
        } else if (tsvalue(top - 1)->len > 0) {
            uint64_t tl = static_cast<uint64_t>(tsvalue(top - 1)->len) + tsvalue(top - 2)->len;
            while (n < total && tostr(top - n - 1)) {
                tl += tsvalue(top - n - 1)->len;
                n++;
            }
            if (tl > MAX_LUA_STRLEN) {
                luaG_runerror(L, "string size overflow");
            }
            const size_t unit = wide ? sizeof(lua_WChar) : 1;
            char* buffer = luaV_openspace(L, static_cast<size_t>(tl) * unit);
            size_t pos = 0;
            for (int i = n; i > 0; i--) {
                TString* ts = tsvalue(top - i);
                std::memcpy(buffer + pos, getstr(ts), ts->len * unit);
                pos += ts->len * unit;
            }
            TString* result;
            if (wide) {
                lua_WChar* w = reinterpret_cast<lua_WChar*>(buffer);
                result = luaS_newlwstr(L, w, pos / unit);
            } else {
                result = luaS_newlstr(L, buffer, pos);
            }
            setsvalue(top - n, result);
        }
        total -= n - 1;
        last -= n - 1;
    } while (total > 1);
}

int luaV_pendingresults(lua_State* L) {
    const CallInfo* caller = L->ci - 1;
    return GETARG_C(*(caller->savedpc - 1)) - 1;
}

StkId luaV_execute(lua_State* L) {
    // The instruction loop comes with the compiler; until then no Lua function can exist, since
    // nothing creates prototypes.
    luaG_runerror(L, "attempt to run a script function without the instruction loop");
}
