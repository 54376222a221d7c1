// The native programming interface over a state's stack.
#include <climits>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "engine/script/lua/luatm.h"
#include "engine/script/lua/luavm.h"

static inline void api_incr_top(lua_State* L) {
    L->top++;
}

// Slot of an index, or null when the index names no value (above the top, or a missing upvalue).
static TObject* negindex(lua_State* L, int idx) {
    if (idx > LUA_REGISTRYINDEX) {
        return L->top + idx;
    }
    if (idx == LUA_REGISTRYINDEX) {
        return registry(L);
    }
    if (idx == LUA_GLOBALSINDEX) {
        return gt(L);
    }
    if (idx < LUA_REGINTINDEX) {
        // Read-only view of the registry's integer keys; a missing entry reads as nil.
        const TObject* o = luaH_getnum(hvalue(registry(L)), LUA_REGINTINDEX - idx);
        return const_cast<TObject*>(o);
    }
    TObject* func = L->base - 1;
    const int up = LUA_GLOBALSINDEX - idx;
    if (!ttisfunction(func) || !clvalue(func)->h.isC) {
        return nullptr;
    }
    Closure* cl = clvalue(func);
    return up <= cl->h.nupvalues ? &cl->c.upvalue[up - 1] : nullptr;
}

static TObject* index2acceptable(lua_State* L, int idx) {
    if (idx > 0) {
        TObject* o = L->base + (idx - 1);
        return o >= L->top ? nullptr : o;
    }
    return negindex(L, idx);
}

static TObject* index2adr(lua_State* L, int idx) {
    if (idx > 0) {
        return L->base + (idx - 1);
    }
    TObject* o = negindex(L, idx);
    return o != nullptr ? o : const_cast<TObject*>(&luaO_nilobject);
}

// State manipulation.

lua_State* lua_newthread(lua_State* L) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    lua_State* L1 = luaE_newthread(L);
    setthvalue(L->top, L1);
    api_incr_top(L);
    if (gLuaNewThreadHook != nullptr) {
        gLuaNewThreadHook(L, L1);
    }
    return L1;
}

// Basic stack manipulation.

int lua_gettop(lua_State* L) {
    return static_cast<int>(L->top - L->base);
}

void lua_settop(lua_State* L, int idx) {
    if (idx >= 0) {
        StkId newtop = L->base + idx;
        if (newtop > L->top) {
            const int n = static_cast<int>(newtop - L->top);
            luaD_checkstack(L, n);
            newtop = L->base + idx;
            while (L->top < newtop) {
                setnilvalue(L->top++);
            }
        }
        L->top = newtop;
    } else {
        L->top += idx + 1;
    }
}

void lua_remove(lua_State* L, int idx) {
    StkId p = index2adr(L, idx);
    while (++p < L->top) {
        setobj(p - 1, p);
    }
    L->top--;
}

void lua_insert(lua_State* L, int idx) {
    StkId p = index2adr(L, idx);
    for (StkId q = L->top; q > p; q--) {
        setobj(q, q - 1);
    }
    setobj(p, L->top);
}

void lua_replace(lua_State* L, int idx) {
    TObject* o = index2adr(L, idx);
    if (idx > LUA_REGINTINDEX && o != &luaO_nilobject) {
        setobj(o, L->top - 1);
    }
    L->top--;
}

void lua_pushvalue(lua_State* L, int idx) {
    luaD_checkpush(L);
    setobj(L->top, index2adr(L, idx));
    api_incr_top(L);
}

int lua_checkstack(lua_State* L, int size) {
    if (size < 0 || (L->top - L->base + size) > LUA_MAXCSTACK) {
        return 0;
    }
    luaD_checkstack(L, size);
    if (L->ci->top < L->top + size) {
        L->ci->top = L->top + size;
    }
    return 1;
}

void lua_xmove(lua_State* from, lua_State* to, int n) {
    if (from == to) {
        return;
    }
    from->top -= n;
    for (int i = 0; i < n; i++) {
        luaD_checkpush(to);
        setobj(to->top, from->top + i);
        api_incr_top(to);
    }
}

// Access functions.

int lua_type(lua_State* L, int idx) {
    const TObject* o = index2acceptable(L, idx);
    return o == nullptr ? LUA_TNONE : ttype(o);
}

const char* lua_typename(lua_State*, int t) {
    if (t >= LUA_TNIL && t <= LUA_TWSTRING) {
        return luaT_typenames[t];
    }
    return "no value";
}

int lua_iscfunction(lua_State* L, int idx) {
    const TObject* o = index2acceptable(L, idx);
    return o != nullptr && ttisfunction(o) && clvalue(o)->h.isC;
}

int lua_isnumber(lua_State* L, int idx) {
    TObject n;
    const TObject* o = index2acceptable(L, idx);
    return o != nullptr && luaV_tonumber(o, &n) != nullptr;
}

int lua_isstring(lua_State* L, int idx) {
    const int t = lua_type(L, idx);
    return t == LUA_TSTRING || t == LUA_TNUMBER || t == LUA_TWSTRING;
}

int lua_isuserdata(lua_State* L, int idx) {
    const TObject* o = index2acceptable(L, idx);
    return o != nullptr && (ttisuserdata(o) || ttislightuserdata(o));
}

int lua_rawequal(lua_State* L, int index1, int index2) {
    const TObject* o1 = index2acceptable(L, index1);
    const TObject* o2 = index2acceptable(L, index2);
    return (o1 == nullptr || o2 == nullptr) ? 0 : luaO_rawequalObj(o1, o2);
}

int lua_lessthan(lua_State* L, int index1, int index2) {
    const TObject* o1 = index2acceptable(L, index1);
    const TObject* o2 = index2acceptable(L, index2);
    return (o1 == nullptr || o2 == nullptr) ? 0 : luaV_lessthan(L, o1, o2);
}

lua_Number lua_tonumber(lua_State* L, int idx) {
    TObject n;
    const TObject* o = index2acceptable(L, idx);
    if (o != nullptr && (o = luaV_tonumber(o, &n)) != nullptr) {
        return nvalue(o);
    }
    return 0;
}

int lua_toboolean(lua_State* L, int idx) {
    const TObject* o = index2acceptable(L, idx);
    return o != nullptr && !l_isfalse(o);
}

const char* lua_tostring(lua_State* L, int idx) {
    StkId o = index2acceptable(L, idx);
    if (o == nullptr) {
        return nullptr;
    }
    if (ttisstring(o)) {
        return getstr(tsvalue(o));
    }
    if (!luaV_tostring(L, o)) {
        return nullptr;
    }
    const char* s = getstr(tsvalue(o)); // the slot keeps the new string alive
    luaC_checkGC(L);
    return s;
}

const lua_WChar* lua_towstring(lua_State* L, int idx) {
    StkId o = index2acceptable(L, idx);
    if (o == nullptr) {
        return nullptr;
    }
    if (ttiswstring(o)) {
        return getwstr(tsvalue(o));
    }
    if (!luaV_towstring(L, o)) {
        return nullptr;
    }
    const lua_WChar* s = getwstr(tsvalue(o));
    luaC_checkGC(L);
    return s;
}

size_t lua_strlen(lua_State* L, int idx) {
    StkId o = index2acceptable(L, idx);
    if (o == nullptr) {
        return 0;
    }
    if (ttisanystring(o)) {
        return tsvalue(o)->len;
    }
    if (!luaV_tostring(L, o)) {
        return 0;
    }
    const size_t len = tsvalue(o)->len;
    luaC_checkGC(L);
    return len;
}

static void* udatapointer(Udata* u) {
    if (u->len & 1) {
        void* p;
        std::memcpy(&p, udatablock(u), sizeof(void*));
        return p;
    }
    return udatablock(u);
}

void* lua_touserdata(lua_State* L, int idx) {
    const TObject* o = index2acceptable(L, idx);
    if (o == nullptr) {
        return nullptr;
    }
    switch (ttype(o)) {
    case LUA_TUSERDATA:
        return udatapointer(uvalue(o));
    case LUA_TLIGHTUSERDATA:
        return pvalue(o);
    default:
        return nullptr;
    }
}

lua_State* lua_tothread(lua_State* L, int idx) {
    const TObject* o = index2acceptable(L, idx);
    return (o == nullptr || !ttisthread(o)) ? nullptr : thvalue(o);
}

const void* lua_topointer(lua_State* L, int idx) {
    const TObject* o = index2acceptable(L, idx);
    if (o == nullptr) {
        return nullptr;
    }
    switch (ttype(o)) {
    case LUA_TTABLE:
    case LUA_TFUNCTION:
    case LUA_TTHREAD:
        return gcvalue(o);
    case LUA_TUSERDATA:
    case LUA_TLIGHTUSERDATA:
        return lua_touserdata(L, idx);
    default:
        return nullptr;
    }
}

// Push functions.

void lua_pushnil(lua_State* L) {
    luaD_checkpush(L);
    setnilvalue(L->top);
    api_incr_top(L);
}

void lua_pushnumber(lua_State* L, lua_Number n) {
    luaD_checkpush(L);
    setnvalue(L->top, n);
    api_incr_top(L);
}

void lua_pushlstring(lua_State* L, const char* s, size_t len) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    setsvalue(L->top, luaS_newlstr(L, s, len));
    api_incr_top(L);
}

void lua_pushstring(lua_State* L, const char* s) {
    if (s == nullptr) {
        lua_pushnil(L);
    } else {
        lua_pushlstring(L, s, std::strlen(s));
    }
}

void lua_pushlwstring(lua_State* L, const lua_WChar* s, size_t len) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    setsvalue(L->top, luaS_newlwstr(L, s, len));
    api_incr_top(L);
}

void lua_pushwstring(lua_State* L, const lua_WChar* s) {
    if (s == nullptr) {
        lua_pushnil(L);
    } else {
        lua_pushlwstring(L, s, luaS_wstrlen(s));
    }
}

const char* lua_pushvfstring(lua_State* L, const char* fmt, va_list argp) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    return luaO_pushvfstring(L, fmt, argp);
}

const char* lua_pushfstring(lua_State* L, const char* fmt, ...) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    va_list argp;
    va_start(argp, fmt);
    const char* ret = luaO_pushvfstring(L, fmt, argp);
    va_end(argp);
    return ret;
}

void lua_pushcclosure(lua_State* L, lua_CFunction fn, int n) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    Closure* cl = luaF_newCclosure(L, n);
    cl->c.f = fn;
    L->top -= n;
    while (n--) {
        setobj(&cl->c.upvalue[n], L->top + n);
    }
    setclvalue(L->top, cl);
    api_incr_top(L);
}

void lua_pushboolean(lua_State* L, int b) {
    luaD_checkpush(L);
    setbvalue(L->top, b != 0);
    api_incr_top(L);
}

void lua_pushlightuserdata(lua_State* L, void* p) {
    luaD_checkpush(L);
    setpvalue(L->top, p);
    api_incr_top(L);
}

void lua_pushboxedpointer(lua_State* L, void* p) {
    luaD_checkpush(L);
    setuvalue(L->top, luaS_newboxedpointer(L, p));
    api_incr_top(L);
}

// Get functions.

void lua_gettable(lua_State* L, int idx) {
    const TObject* t = index2adr(L, idx);
    luaV_gettable(L, t, L->top - 1, L->top - 1);
}

void lua_rawget(lua_State* L, int idx) {
    const TObject* t = index2adr(L, idx);
    setobj(L->top - 1, luaH_get(hvalue(t), L->top - 1));
}

void lua_rawgeti(lua_State* L, int idx, int n) {
    luaD_checkpush(L);
    const TObject* o = index2adr(L, idx);
    setobj(L->top, luaH_getnum(hvalue(o), n));
    api_incr_top(L);
}

void lua_newtable(lua_State* L) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    sethvalue(L->top, luaH_new(L, 0, 0));
    api_incr_top(L);
}

void* lua_newuserdata(lua_State* L, size_t size) {
    luaC_checkGC(L);
    luaD_checkpush(L);
    Udata* u = luaS_newudata(L, size);
    setuvalue(L->top, u);
    api_incr_top(L);
    return udatablock(u);
}

int lua_getmetatable(lua_State* L, int objindex) {
    const TObject* obj = index2acceptable(L, objindex);
    Table* mt = obj != nullptr ? luaT_getmetatable(L, obj) : nullptr;
    if (mt == nullptr) {
        return 0;
    }
    luaD_checkpush(L);
    sethvalue(L->top, mt);
    api_incr_top(L);
    return 1;
}

void lua_getfenv(lua_State* L, int idx) {
    luaD_checkpush(L);
    const TObject* o = index2adr(L, idx);
    const bool isLfunction = ttisfunction(o) && !clvalue(o)->h.isC;
    setobj(L->top, isLfunction ? &clvalue(o)->h.g : gt(L));
    api_incr_top(L);
}

void lua_gettypemetatable(lua_State* L, int tag) {
    luaD_checkpush(L);
    if (tag >= 0 && tag < NUM_TYPE_SLOTS) {
        setobj(L->top, &G(L)->mt[tag]);
    } else {
        setnilvalue(L->top);
    }
    api_incr_top(L);
}

// Set functions.

void lua_settable(lua_State* L, int idx) {
    const TObject* t = index2adr(L, idx);
    luaV_settable(L, t, L->top - 2, L->top - 1);
    L->top -= 2;
}

void lua_rawset(lua_State* L, int idx) {
    const TObject* t = index2adr(L, idx);
    setobj(luaH_set(L, hvalue(t), L->top - 2), L->top - 1);
    L->top -= 2;
}

void lua_rawseti(lua_State* L, int idx, int n) {
    const TObject* o = index2adr(L, idx);
    setobj(luaH_setnum(L, hvalue(o), n), L->top - 1);
    L->top--;
}

int lua_setmetatable(lua_State* L, int objindex) {
    const TObject* obj = index2adr(L, objindex);
    const TObject* top = L->top - 1;
    Table* mt = nullptr;
    if (ttisnil(top)) {
        mt = G(L)->defaultmeta;
    } else if (ttistable(top)) {
        mt = hvalue(top);
    }
    int res = 1;
    if (mt != nullptr && ttistable(obj)) {
        hvalue(obj)->metatable = mt;
    } else if (mt != nullptr && ttisuserdata(obj)) {
        uvalue(obj)->metatable = mt;
    } else {
        res = 0;
    }
    L->top--;
    return res;
}

int lua_setfenv(lua_State* L, int idx) {
    TObject* o = index2adr(L, idx);
    L->top--;
    if (ttisfunction(o) && !clvalue(o)->h.isC && ttistable(L->top)) {
        setobj(&clvalue(o)->h.g, L->top);
        return 1;
    }
    return 0;
}

void lua_settypemetatable(lua_State* L, int tag) {
    L->top--;
    if (tag >= 1 && tag < NUM_TYPE_SLOTS && ttistable(L->top)) {
        setobj(&G(L)->mt[tag], L->top);
    }
}

// Calls.

void lua_call(lua_State* L, int nargs, int nresults) {
    StkId func = L->top - (nargs + 1);
    luaD_call(L, func, nresults);
}

struct CallS {
    ptrdiff_t func;
    int nresults;
};

static void f_call(lua_State* L, void* ud) {
    CallS* c = static_cast<CallS*>(ud);
    luaD_call(L, restorestack(L, c->func), c->nresults);
}

int lua_pcall(lua_State* L, int nargs, int nresults, int errfunc) {
    const ptrdiff_t func = (errfunc == 0) ? 0 : savestack(L, index2adr(L, errfunc));
    CallS c;
    c.func = savestack(L, L->top - (nargs + 1));
    c.nresults = nresults;
    return luaD_pcall(L, f_call, &c, c.func, func);
}

// Collector.

int lua_getgcthreshold(lua_State* L) {
    const lu_mem t = G(L)->GCthreshold;
    if (t == MAX_LU_MEM) {
        return static_cast<int>(0xFFFFFFFFu >> 10); // unlimited, as the 32-bit machine reports it
    }
    return static_cast<int>((t >> 10) > static_cast<lu_mem>(INT_MAX) ? INT_MAX : (t >> 10));
}

int lua_getgccount(lua_State* L) {
    const lu_mem n = G(L)->nblocks >> 10;
    return static_cast<int>(n > static_cast<lu_mem>(INT_MAX) ? INT_MAX : n);
}

void lua_setgcthreshold(lua_State* L, int newthreshold) {
    // Thresholds past the 32-bit byte range (and negative ones) mean "never collect".
    if (static_cast<uint32_t>(newthreshold) > (0xFFFFFFFFu >> 10)) {
        G(L)->GCthreshold = MAX_LU_MEM;
    } else {
        G(L)->GCthreshold = static_cast<lu_mem>(newthreshold) << 10;
    }
    luaC_checkGC(L);
}

// Miscellaneous.

int lua_error(lua_State* L) {
    luaG_errormsg(L);
}

int lua_next(lua_State* L, int idx) {
    luaD_checkpush(L);
    const TObject* t = index2adr(L, idx);
    const int more = luaH_next(L, hvalue(t), L->top - 1);
    if (more) {
        api_incr_top(L);
    } else {
        L->top -= 1;
    }
    return more;
}

void lua_concat(lua_State* L, int n) {
    if (n >= 2) {
        luaC_checkGC(L);
        luaV_concat(L, n, static_cast<int>(L->top - L->base) - 1);
        L->top -= (n - 1);
    } else if (n == 0) {
        luaC_checkGC(L);
        luaD_checkpush(L);
        setsvalue(L->top, luaS_newlstr(L, "", 0));
        api_incr_top(L);
    }
}

int lua_getn(lua_State* L, int idx) {
    const TObject* t = index2adr(L, idx);
    return luaH_getn(L, hvalue(t));
}
