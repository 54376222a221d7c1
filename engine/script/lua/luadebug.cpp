#include "engine/script/lua/luadebug.h"

#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luavm.h"

static bool isLua(const CallInfo* ci) {
    return !(ci->state & CI_C);
}

static int currentpc(CallInfo* ci) {
    if (!isLua(ci)) {
        return -1;
    }
    if (ci->state & CI_HASFRAME && ci->pc != nullptr) {
        ci->savedpc = *ci->pc; // the running frame keeps its pc in a local
    }
    const Proto* p = clvalue(ci->base - 1)->l.p;
    return static_cast<int>(ci->savedpc - p->code) - 1;
}

int luaG_currentline(lua_State*, CallInfo* ci) {
    const int pc = currentpc(ci);
    if (pc < 0) {
        return -1;
    }
    const Proto* p = clvalue(ci->base - 1)->l.p;
    return (p->lineinfo != nullptr && pc < p->sizelineinfo) ? p->lineinfo[pc] : 0;
}

static void addinfo(lua_State* L, const char* msg) {
    CallInfo* ci = L->ci;
    if (ci != L->base_ci && isLua(ci)) {
        char buff[LUA_IDSIZE];
        const int line = luaG_currentline(L, ci);
        const Proto* p = clvalue(ci->base - 1)->l.p;
        luaO_chunkid(buff, p->source != nullptr ? getstr(p->source) : "?", LUA_IDSIZE);
        luaO_pushfstring(L, "%s:%d: %s", buff, line, msg);
    }
}

void luaG_errormsg(lua_State* L) {
    if (L->errfunc != 0) {
        StkId errfunc = restorestack(L, L->errfunc);
        if (!ttisfunction(errfunc)) {
            luaD_throw(L, LUA_ERRERR);
        }
        setobj(L->top, L->top - 1);
        setobj(L->top - 1, errfunc);
        incr_top(L);
        luaD_call(L, L->top - 2, 1);
    }
    luaD_throw(L, LUA_ERRRUN);
}

void luaG_runerror(lua_State* L, const char* fmt, ...) {
    va_list argp;
    va_start(argp, fmt);
    const char* msg = luaO_pushvfstring(L, fmt, argp);
    va_end(argp);
    addinfo(L, msg);
    luaG_errormsg(L);
}

void luaG_typeerror(lua_State* L, const TObject* o, const char* op) {
    const int t = ttype(o);
    const char* tname = (t >= 0 && t <= LUA_TWSTRING) ? luaT_typenames[t] : "no value";
    luaG_runerror(L, "attempt to %s a %s value", op, tname);
}

void luaG_concaterror(lua_State* L, StkId p1, StkId p2) {
    if (ttisstring(p1)) {
        p1 = p2;
    }
    luaG_typeerror(L, p1, "concatenate");
}

void luaG_aritherror(lua_State* L, const TObject* p1, const TObject* p2) {
    TObject temp;
    if (luaV_tonumber(p1, &temp) == nullptr) {
        p2 = p1; // first operand is wrong
    }
    luaG_typeerror(L, p2, "perform arithmetic on");
}

void luaG_ordererror(lua_State* L, const TObject* p1, const TObject* p2) {
    const char* t1 = luaT_typenames[ttype(p1)];
    const char* t2 = luaT_typenames[ttype(p2)];
    if (t1[2] == t2[2]) {
        luaG_runerror(L, "attempt to compare two %s values", t1);
    } else {
        luaG_runerror(L, "attempt to compare %s with %s", t1, t2);
    }
}
