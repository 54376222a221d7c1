#include "engine/script/lua/luavm.h"

#include <cstring>

#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luagc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luanumber.h"
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
                    luaG_typeerror(L, loop == 0 ? t0 : &t, "index");
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
                luaG_typeerror(L, loop == 0 ? t0 : &t, "index");
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

static bool call_binTM(lua_State* L, const TObject* p1, const TObject* p2, StkId res, TMS event) {
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
            const size_t unit = wide ? sizeof(lua_WChar) : 1;
            if (tl * unit > MAX_LUA_STRLEN) { // the joined text must fit one block, in bytes
                luaG_runerror(L, "string size overflow");
            }
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

// The number operand of a bitwise instruction: the low 32 bits of its truncation.
static inline lua_Number bitresult(uint32_t r) {
    return static_cast<lua_Number>(r);
}

static void Arith(lua_State* L, StkId ra, const TObject* rb, const TObject* rc, TMS op) {
    TObject tempb, tempc;
    const TObject* b = luaV_tonumber(rb, &tempb);
    const TObject* c = b != nullptr ? luaV_tonumber(rc, &tempc) : nullptr;
    if (c != nullptr) {
        switch (op) {
        case TM_ADD:
            setnvalue(ra, nvalue(b) + nvalue(c));
            return;
        case TM_SUB:
            setnvalue(ra, nvalue(b) - nvalue(c));
            return;
        case TM_MUL:
            setnvalue(ra, nvalue(b) * nvalue(c));
            return;
        case TM_DIV:
            setnvalue(ra, nvalue(b) / nvalue(c));
            return;
        case TM_POW: {
            // Two numbers never get here: for them ^ is the exclusive or.
            const TObject* f = luaH_getstr(hvalue(gt(L)), G(L)->tmname[TM_POW]);
            if (!ttisfunction(f)) {
                luaG_runerror(L, "`__pow' (`^' operator) is not a function");
            }
            const ptrdiff_t res = savestack(L, ra);
            callTMres(L, f, b, c);
            setobj(restorestack(L, res), L->top);
            return;
        }
        default:
            break;
        }
    }
    if (!call_binTM(L, rb, rc, ra, op)) {
        luaG_aritherror(L, rb, rc);
    }
}

// Array size of a table constructor: a floating byte, capped at the largest array part.
static int fb2int(int b) {
    const int e = b >> 3;
    if (e > MAXBITS) {
        return (b & 7) == 0 ? 0 : MAXASIZE;
    }
    const int64_t n = static_cast<int64_t>(b & 7) << e;
    return n > MAXASIZE ? MAXASIZE : static_cast<int>(n);
}

int luaV_pendingresults(lua_State* L) {
    const CallInfo* caller = L->ci - 1;
    const Instruction i = *(caller->savedpc - 1);
    if (GET_OPCODE(i) == OpIterLoop) {
        return GETARG_C(i) + 1;
    }
    return GETARG_C(i) - 1;
}

// Moves the results of an iterator call into the loop variables and takes or skips the jump back.
static inline const Instruction* finishiter(StkId ra, Instruction i, const Instruction* pc) {
    const int nvar = GETARG_C(i) + 1;
    StkId cb = ra + 2 + nvar;
    for (int j = nvar - 1; j >= 0; j--) {
        setobj(ra + 2 + j, cb + j);
    }
    if (ttisnil(ra + 2)) {
        return pc + 1;
    }
    return pc + GETARG_sBx(*pc) + 1;
}

// Operands scaled to byte offsets straight from the instruction word: one shift and one mask.
static_assert(sizeof(TObject) == 16, "operand offsets assume 16-byte values");
#define OFF_A(i) (((i) >> (POS_A - 4)) & (MAXARG_A << 4))
#define OFF_B(i) (((i) >> (POS_B - 4)) & (MAXARG_B << 4))
#define OFF_C(i) (((i) >> (POS_C - 4)) & (MAXARG_C << 4))
#define ATOFF(p, off) reinterpret_cast<TObject*>(reinterpret_cast<char*>(p) + (off))
#define CATOFF(p, off) reinterpret_cast<const TObject*>(reinterpret_cast<const char*>(p) + (off))
#define RA(i) ATOFF(base, OFF_A(i))
#define RB(i) ATOFF(base, OFF_B(i))
// Register or constant: one selected base plus the operand, the constants biased so that operand
// MAXSTACK lands on the first of them.
#define RKB(i) CATOFF(OFF_B(i) < (MAXSTACK << 4) ? base : kbias, OFF_B(i))
#define RKC(i) CATOFF(OFF_C(i) < (MAXSTACK << 4) ? base : kbias, OFF_C(i))
#define KBx(i) (k + GETARG_Bx(i))

// Jumps by the signed offset of an instruction: the unsigned field zero-extends and the bias folds
// into the address computation.
#define DOJUMP(pc, i) ((pc) += static_cast<ptrdiff_t>(((i) >> POS_Bx) & MAXARG_Bx) - MAXARG_sBx)

// Keeps the position for error messages and the debug interface before anything that may raise an
// error, call a function or move the stack; base is reloaded afterwards.
#define SAVEPC() (L->ci->savedpc = pc)
#define Protect(x)                                                                                 \
    {                                                                                              \
        SAVEPC();                                                                                  \
        x;                                                                                         \
        base = L->base;                                                                            \
    }

// Each handler ends with its own dispatch through a table of label addresses (a GNU extension
// that GCC and Clang both have): one indirect jump per instruction, each predicted on its own.
#define vmcase(op) L_##op:
#define vmdispatch()                                                                               \
    do {                                                                                           \
        i = *pc++;                                                                                 \
        goto* dispatch[GET_OPCODE(i)];                                                             \
    } while (0)

// Raw read with the usual key of field access, a string, looked up directly.
static inline const TObject* rawget(Table* h, const TObject* key) {
    return ttisstring(key) ? luaH_getstr(h, tsvalue(key)) : luaH_get(h, key);
}

// The constant array shifted down by MAXSTACK entries, computed on addresses so that no pointer
// outside the array is ever formed by pointer arithmetic on it.
static inline const TObject* constbias(const TObject* k) {
    return reinterpret_cast<const TObject*>(reinterpret_cast<uintptr_t>(k) -
                                            MAXSTACK * sizeof(TObject));
}

// Each handler keeps its own dispatch (GCC would otherwise merge the identical tails into one), so
// that every indirect jump is predicted on its own.
#if defined(__GNUC__) && !defined(__clang__)
#define VM_OWN_DISPATCH __attribute__((optimize("no-crossjumping")))
#else
#define VM_OWN_DISPATCH
#endif

static_assert(NUM_OPCODES == 39, "the dispatch table lists every opcode in order");

VM_OWN_DISPATCH StkId luaV_execute(lua_State* L) {
    static void* const dispatch[64] = {&&L_OpCopy,        &&L_OpLoadConst,
                                       &&L_OpLoadBool,    &&L_OpLoadNil,
                                       &&L_OpGetUpvalue,  &&L_OpGetGlobal,
                                       &&L_OpGetIndex,    &&L_OpSetGlobal,
                                       &&L_OpSetUpvalue,  &&L_OpSetIndex,
                                       &&L_OpNewTable,    &&L_OpMethod,
                                       &&L_OpAdd,         &&L_OpSub,
                                       &&L_OpMul,         &&L_OpDiv,
                                       &&L_OpBitAnd,      &&L_OpBitOr,
                                       &&L_OpShiftLeft,   &&L_OpShiftRight,
                                       &&L_OpCaret,       &&L_OpNegate,
                                       &&L_OpNot,         &&L_OpConcat,
                                       &&L_OpJump,        &&L_OpEqual,
                                       &&L_OpLess,        &&L_OpLessEqual,
                                       &&L_OpTestSet,     &&L_OpCall,
                                       &&L_OpTailCall,    &&L_OpReturn,
                                       &&L_OpNumForLoop,  &&L_OpIterLoop,
                                       &&L_OpIterPrep,    &&L_OpSetList,
                                       &&L_OpSetListOpen, &&L_OpCloseUpvalues,
                                       &&L_OpClosure,     &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad,
                                       &&L_bad,           &&L_bad};
    LClosure* cl;
    const TObject* k;
    const TObject* kbias;
    StkId base;
    const Instruction* pc;
    Instruction i;
    StkId ra;

newframe:
    L->ci->state = CI_HASFRAME;
    pc = L->ci->savedpc;
    cl = &clvalue(L->base - 1)->l;
    k = cl->p->k;
    kbias = constbias(k);
    base = L->base;

    vmdispatch();

    vmcase(OpCopy) {
        setobj(RA(i), RB(i));
        vmdispatch();
    }
    vmcase(OpLoadConst) {
        setobj(RA(i), KBx(i));
        vmdispatch();
    }
    vmcase(OpLoadBool) {
        setbvalue(RA(i), GETARG_B(i) != 0);
        if (GETARG_C(i)) {
            pc++;
        }
        vmdispatch();
    }
    vmcase(OpLoadNil) {
        ra = RA(i);
        for (StkId rb = RB(i); rb >= ra; rb--) {
            setnilvalue(rb);
        }
        vmdispatch();
    }
    vmcase(OpGetUpvalue) {
        setobj(RA(i), cl->upvals[GETARG_B(i)]->v);
        vmdispatch();
    }
    vmcase(OpGetGlobal) {
        const TObject* rb = KBx(i);
        ra = RA(i);
        const TObject* v = !ttistable(&cl->g) ? &luaO_nilobject
                           : ttisstring(rb)   ? luaH_getstr(hvalue(&cl->g), tsvalue(rb))
                                              : luaH_get(hvalue(&cl->g), rb);
        if (!ttisnil(v)) {
            setobj(ra, v);
        } else {
            Protect(luaV_gettable(L, &cl->g, rb, ra));
        }
        vmdispatch();
    }
    vmcase(OpGetIndex) {
        StkId rb = RB(i);
        const TObject* rc = RKC(i);
        ra = RA(i);
        if (ttistable(rb)) {
            Table* h = hvalue(rb);
            const TObject* v = rawget(h, rc);
            if (!ttisnil(v)) {
                setobj(ra, v);
                vmdispatch();
            }
        }
        Protect(luaV_gettable(L, rb, rc, ra));
        vmdispatch();
    }
    vmcase(OpSetGlobal) {
        const TObject* rb = KBx(i);
        ra = RA(i);
        TObject* slot = ttistable(&cl->g) ? const_cast<TObject*>(rawget(hvalue(&cl->g), rb))
                                          : const_cast<TObject*>(&luaO_nilobject);
        if (!ttisnil(slot)) {
            hvalue(&cl->g)->flags = 0;
            setobj(slot, ra);
        } else {
            Protect(luaV_settable(L, &cl->g, rb, ra));
        }
        vmdispatch();
    }
    vmcase(OpSetUpvalue) {
        setobj(cl->upvals[GETARG_B(i)]->v, RA(i));
        vmdispatch();
    }
    vmcase(OpSetIndex) {
        ra = RA(i);
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        if (ttistable(ra)) {
            Table* h = hvalue(ra);
            TObject* slot = const_cast<TObject*>(rawget(h, rb));
            if (!ttisnil(slot)) {
                h->flags = 0;
                setobj(slot, rc);
                vmdispatch();
            }
        }
        Protect(luaV_settable(L, ra, rb, rc));
        vmdispatch();
    }
    vmcase(OpNewTable) {
        SAVEPC();
        Table* t = luaH_new(L, fb2int(GETARG_B(i)), GETARG_C(i));
        sethvalue(RA(i), t);
        luaC_checkGC(L);
        base = L->base;
        vmdispatch();
    }
    vmcase(OpMethod) {
        StkId rb = RB(i);
        const TObject* rc = RKC(i);
        ra = RA(i);
        setobj(ra + 1, rb);
        if (ttistable(rb)) {
            const TObject* v = rawget(hvalue(rb), rc);
            if (!ttisnil(v)) {
                setobj(ra, v);
                vmdispatch();
            }
        }
        Protect(luaV_gettable(L, ra + 1, rc, ra));
        vmdispatch();
    }
    vmcase(OpAdd) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {
            setnvalue(RA(i), nvalue(rb) + nvalue(rc));
        } else {
            Protect(Arith(L, RA(i), rb, rc, TM_ADD));
        }
        vmdispatch();
    }
    vmcase(OpSub) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {
            setnvalue(RA(i), nvalue(rb) - nvalue(rc));
        } else {
            Protect(Arith(L, RA(i), rb, rc, TM_SUB));
        }
        vmdispatch();
    }
    vmcase(OpMul) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {
            setnvalue(RA(i), nvalue(rb) * nvalue(rc));
        } else {
            Protect(Arith(L, RA(i), rb, rc, TM_MUL));
        }
        vmdispatch();
    }
    vmcase(OpDiv) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {
            setnvalue(RA(i), nvalue(rb) / nvalue(rc));
        } else {
            Protect(Arith(L, RA(i), rb, rc, TM_DIV));
        }
        vmdispatch();
    }
#define BITOP(expr)                                                                                \
    {                                                                                              \
        const TObject* rb = RKB(i);                                                                \
        const TObject* rc = RKC(i);                                                                \
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {                                         \
            const uint32_t x = LuaNumberLow32(nvalue(rb));                                         \
            const uint32_t y = LuaNumberLow32(nvalue(rc));                                         \
            setnvalue(RA(i), bitresult(expr));                                                     \
        } else {                                                                                   \
            SAVEPC();                                                                              \
            luaG_aritherror(L, rb, rc);                                                            \
        }                                                                                          \
        vmdispatch();                                                                              \
    }
    vmcase(OpBitAnd) BITOP(x & y) vmcase(OpBitOr) BITOP(x | y) vmcase(OpShiftLeft)
        BITOP(x << (y & 31)) vmcase(OpShiftRight) BITOP(x >> (y & 31)) vmcase(OpCaret) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {
            const uint32_t x = LuaNumberLow32(nvalue(rb));
            const uint32_t y = LuaNumberLow32(nvalue(rc));
            setnvalue(RA(i), bitresult(x ^ y));
        } else {
            Protect(Arith(L, RA(i), rb, rc, TM_POW));
        }
        vmdispatch();
    }
#undef BITOP
    vmcase(OpNegate) {
        const TObject* rb = RB(i);
        TObject temp;
        const TObject* n = luaV_tonumber(rb, &temp);
        if (n != nullptr) {
            setnvalue(RA(i), -nvalue(n));
        } else {
            setnilvalue(&temp);
            SAVEPC();
            if (!call_binTM(L, rb, &temp, RA(i), TM_UNM)) {
                luaG_aritherror(L, RB(i), &temp);
            }
            base = L->base;
        }
        vmdispatch();
    }
    vmcase(OpNot) {
        const int res = l_isfalse(RB(i));
        setbvalue(RA(i), res);
        vmdispatch();
    }
    vmcase(OpConcat) {
        const int b = GETARG_B(i);
        const int c = GETARG_C(i);
        Protect(luaV_concat(L, c - b + 1, c));
        setobj(RA(i), base + b);
        luaC_checkGC(L);
        base = L->base;
        vmdispatch();
    }
    vmcase(OpJump) {
        DOJUMP(pc, i);
        vmdispatch();
    }
    vmcase(OpEqual) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        int res;
        if (ttype(rb) != ttype(rc)) {
            res = 0;
        } else if (ttisnumber(rb)) {
            res = nvalue(rb) == nvalue(rc);
        } else {
            Protect(res = luaV_equalval(L, rb, rc));
        }
        if (res != GETARG_A(i)) {
            pc++;
        } else {
            DOJUMP(pc, *pc);
            pc++;
        }
        vmdispatch();
    }
    vmcase(OpLess) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        int res;
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {
            res = nvalue(rb) < nvalue(rc);
        } else {
            Protect(res = luaV_lessthan(L, rb, rc));
        }
        if (res != GETARG_A(i)) {
            pc++;
        } else {
            DOJUMP(pc, *pc);
            pc++;
        }
        vmdispatch();
    }
    vmcase(OpLessEqual) {
        const TObject* rb = RKB(i);
        const TObject* rc = RKC(i);
        int res;
        if (ttisnumber(rb) && ttisnumber(rc)) [[likely]] {
            res = nvalue(rb) <= nvalue(rc);
        } else {
            Protect(res = luaV_lessequal(L, rb, rc));
        }
        if (res != GETARG_A(i)) {
            pc++;
        } else {
            DOJUMP(pc, *pc);
            pc++;
        }
        vmdispatch();
    }
    vmcase(OpTestSet) {
        const TObject* rb = RB(i);
        if (static_cast<int>(l_isfalse(rb)) == GETARG_C(i)) {
            pc++;
        } else {
            setobj(RA(i), rb);
            DOJUMP(pc, *pc);
            pc++;
        }
        vmdispatch();
    }
    vmcase(OpCall) {
        ra = RA(i);
        const int b = GETARG_B(i);
        const int nresults = GETARG_C(i) - 1;
        if (b != 0) {
            L->top = ra + b; // else the previous instruction set the top
        }
        SAVEPC();
        if (ttisfunction(ra) && !clvalue(ra)->h.isC) {
            // The common case inline: a Lua function with fixed parameters and room on both stacks.
            Proto* p = clvalue(ra)->l.p;
            if (!p->is_vararg && L->ci + 1 != L->end_ci && L->stack_last - L->top > p->maxstacksize)
                [[likely]] {
                CallInfo* ci = L->ci;
                ci->state = CI_SAVEDPC | CI_CALLING;
                L->ci = ++ci;
                StkId nbase = ra + 1;
                L->base = ci->base = nbase;
                ci->top = nbase + p->maxstacksize;
                ci->savedpc = p->code;
                ci->tailcalls = 0;
                StkId t = L->top;
                if (t > nbase + p->numparams) {
                    t = nbase + p->numparams; // extra arguments are dropped
                }
                while (t < ci->top) {
                    setnilvalue(t++);
                }
                L->top = ci->top;
                goto newframe;
            }
        }
        StkId firstResult = luaD_precall(L, ra);
        if (firstResult != nullptr) {
            // A native function ran to completion.
            luaD_poscall(L, nresults, firstResult);
            if (nresults >= 0) {
                L->top = L->ci->top;
            }
            base = L->base;
            vmdispatch();
        }
        if (L->ci->state & CI_C) {
            // A native function yielded: the resume completes this instruction.
            (L->ci - 1)->state = CI_SAVEDPC;
            return nullptr;
        }
        (L->ci - 1)->state = CI_SAVEDPC | CI_CALLING;
        goto newframe;
    }
    vmcase(OpTailCall) {
        ra = RA(i);
        const int b = GETARG_B(i);
        if (b != 0) {
            L->top = ra + b;
        }
        SAVEPC();
        StkId firstResult = luaD_precall(L, ra);
        if (firstResult != nullptr) {
            luaD_poscall(L, LUA_MULTRET, firstResult);
            base = L->base;
            vmdispatch(); // the return that follows hands the results on
        }
        if (L->ci->state & CI_C) {
            (L->ci - 1)->state = CI_SAVEDPC;
            return nullptr;
        }
        // Put the callee's frame in place of this one.
        CallInfo* ci = L->ci - 1;
        base = ci->base;
        if (L->openupval != nullptr) {
            luaF_close(L, base);
        }
        StkId func = L->base - 1;
        int aux = 0;
        for (; func + aux < L->top; aux++) {
            setobj(base - 1 + aux, func + aux);
        }
        ci->top = L->top = base - 1 + aux;
        ci->savedpc = L->ci->savedpc;
        ci->tailcalls++;
        ci->state = CI_SAVEDPC;
        L->ci = ci;
        L->base = ci->base;
        goto newframe;
    }
    vmcase(OpReturn) {
        ra = RA(i);
        const int b = GETARG_B(i);
        if (b != 0) {
            L->top = ra + b - 1;
        }
        if (L->openupval != nullptr) {
            luaF_close(L, base);
        }
        L->ci->state = CI_SAVEDPC;
        L->ci->savedpc = pc;
        CallInfo* ci = L->ci - 1;
        if (!(ci->state & CI_CALLING)) {
            return ra; // the caller is native or another activation of this loop
        }
        const Instruction ci_i = *(ci->savedpc - 1);
        if (GET_OPCODE(ci_i) == OpIterLoop) {
            luaD_poscall(L, GETARG_C(ci_i) + 1, ra);
            L->top = L->ci->top;
            L->ci->state = CI_HASFRAME;
            pc = L->ci->savedpc;
            cl = &clvalue(L->base - 1)->l;
            k = cl->p->k;
            kbias = constbias(k);
            base = L->base;
            pc = finishiter(base + GETARG_A(ci_i), ci_i, pc);
            vmdispatch();
        }
        int wanted = GETARG_C(ci_i) - 1;
        if (L->hookmask & LUA_MASKRET) {
            luaD_poscall(L, wanted, ra);
            if (wanted >= 0) {
                L->top = L->ci->top;
            }
            goto newframe;
        }
        // Results move down over the callee's function slot.
        StkId res = base - 1;
        L->ci = ci;
        L->base = ci->base;
        if (wanted < 0) {
            while (ra < L->top) {
                setobj(res++, ra++);
            }
            L->top = res;
        } else {
            for (; wanted > 0 && ra < L->top; wanted--) {
                setobj(res++, ra++);
            }
            for (; wanted > 0; wanted--) {
                setnilvalue(res++);
            }
            L->top = ci->top;
        }
        goto newframe;
    }
    vmcase(OpNumForLoop) {
        ra = RA(i);
        if (ttisnumber(ra) && ttisnumber(ra + 1) && ttisnumber(ra + 2)) [[likely]] {
            const lua_Number step = nvalue(ra + 2);
            const lua_Number idx = nvalue(ra) + step;
            const lua_Number limit = nvalue(ra + 1);
            if (step > 0) {
                if (idx <= limit) {
                    DOJUMP(pc, i);
                    ra->value.n = idx; // already a number
                }
            } else if (idx >= limit) {
                DOJUMP(pc, i);
                ra->value.n = idx;
            }
            vmdispatch();
        }
        SAVEPC();
        TObject temp;
        const TObject* n;
        if (!ttisnumber(ra)) {
            luaG_runerror(L, "`for' initial value must be a number");
        }
        if ((n = luaV_tonumber(ra + 1, &temp)) == nullptr) {
            luaG_runerror(L, "`for' limit must be a number");
        }
        setobj(ra + 1, n);
        if ((n = luaV_tonumber(ra + 2, &temp)) == nullptr) {
            luaG_runerror(L, "`for' step must be a number");
        }
        setobj(ra + 2, n);
        const lua_Number step = nvalue(ra + 2);
        const lua_Number idx = nvalue(ra) + step;
        const lua_Number limit = nvalue(ra + 1);
        if (step > 0 ? idx <= limit : idx >= limit) {
            pc += GETARG_sBx(i);
            setnvalue(ra, idx);
        }
        vmdispatch();
    }
    vmcase(OpIterLoop) {
        ra = RA(i);
        const int nvar = GETARG_C(i) + 1;
        StkId cb = ra + nvar + 2;
        setobj(cb, ra);
        setobj(cb + 1, ra + 1);
        setobj(cb + 2, ra + 2);
        L->top = cb + 3;
        SAVEPC();
        // A native iterator runs below a native-level boundary, so it cannot yield.
        L->nCcalls++;
        StkId firstResult = luaD_precall(L, cb);
        L->nCcalls--;
        if (firstResult == nullptr) {
            (L->ci - 1)->state = CI_SAVEDPC | CI_CALLING;
            goto newframe;
        }
        luaD_poscall(L, nvar, firstResult);
        L->top = L->ci->top;
        base = L->base;
        pc = finishiter(RA(i), i, pc);
        vmdispatch();
    }
    vmcase(OpIterPrep) {
        ra = RA(i);
        if (ttistable(ra)) {
            setobj(ra + 1, ra);
            SAVEPC();
            TString* name = luaS_new(L, "next");
            setobj(RA(i), luaH_getstr(hvalue(gt(L)), name));
        }
        pc += GETARG_sBx(i);
        vmdispatch();
    }
    vmcase(OpSetList) vmcase(OpSetListOpen) {
        ra = RA(i);
        SAVEPC();
        if (!ttistable(ra)) {
            luaG_typeerror(L, ra, "index");
        }
        Table* h = hvalue(ra);
        int bc = GETARG_Bx(i);
        int n;
        if (GET_OPCODE(i) == OpSetList) {
            n = (bc & (LFIELDS_PER_FLUSH - 1)) + 1;
        } else {
            n = static_cast<int>(L->top - ra - 1);
            L->top = L->ci->top;
        }
        bc &= ~(LFIELDS_PER_FLUSH - 1);
        for (; n > 0; n--) {
            setobj(luaH_setnum(L, h, bc + n), ra + n);
        }
        vmdispatch();
    }
    vmcase(OpCloseUpvalues) {
        luaF_close(L, RA(i));
        vmdispatch();
    }
    vmcase(OpClosure) {
        SAVEPC();
        Proto* p = cl->p->p[GETARG_Bx(i)];
        const int nup = p->nups;
        Closure* ncl = luaF_newLclosure(L, nup, &cl->g);
        ncl->l.p = p;
        setclvalue(RA(i), ncl); // reachable before any upvalue is made
        for (int j = 0; j < nup; j++, pc++) {
            if (GET_OPCODE(*pc) == OpGetUpvalue) {
                ncl->l.upvals[j] = cl->upvals[GETARG_B(*pc)];
            } else {
                ncl->l.upvals[j] = luaF_findupval(L, base + GETARG_B(*pc));
            }
        }
        SAVEPC();
        luaC_checkGC(L);
        base = L->base;
        vmdispatch();
    }
L_bad:
    SAVEPC();
    luaG_runerror(L, "bad opcode %d", static_cast<int>(GET_OPCODE(i)));
}
