#include "engine/script/lua/luadebug.h"

#include <cstring>

#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luaopcodes.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"
#include "engine/script/lua/luavm.h"

static bool isLua(const CallInfo* ci) {
    return !(ci->state & CI_C);
}

static Proto* ci_proto(const CallInfo* ci) {
    return clvalue(ci->base - 1)->l.p;
}

// Index of the instruction a Lua activation is executing (the loop saves its position before
// every instruction that may raise an error or call), or -1 for a native one.
static int currentpc(CallInfo* ci) {
    if (!isLua(ci) || ci->savedpc == nullptr) {
        return -1;
    }
    return static_cast<int>(ci->savedpc - ci_proto(ci)->code) - 1;
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
        const Proto* p = ci_proto(ci);
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

void luaG_nativeerror(lua_State* L, bool withText) {
    const char* text = withText ? getstr(tsvalue(L->top - 1)) : nullptr;
    lua_Debug ar;
    const char* name = nullptr;
    if (lua_getstack(L, 0, &ar) != 0) {
        lua_getinfo(L, "n", &ar);
        name = ar.name;
    }
    if (name == nullptr) {
        name = "?";
    }
    // The caller's position, as luaL_where gives it at level 1.
    const char* where = "";
    if (lua_getstack(L, 1, &ar) != 0) {
        lua_getinfo(L, "Sl", &ar);
        if (ar.currentline > 0) {
            where = luaO_pushfstring(L, "%s:%d: ", ar.short_src, ar.currentline);
        }
    }
    if (text != nullptr) {
        luaO_pushfstring(L, "%serror in `%s': %s", where, name, text);
    } else {
        luaO_pushfstring(L, "%sunknown error in `%s'", where, name);
    }
    luaG_errormsg(L);
}

// Symbolic execution of a prototype's code up to lastpc: checks every instruction, and tells which
// instruction last set register reg (the final return when none did). Returns 0 for bad code.
#define check(x)                                                                                   \
    if (!(x)) {                                                                                    \
        return 0;                                                                                  \
    }
#define checkreg(pt, reg) check((reg) < (pt)->maxstacksize)
#define NO_REG MAXARG_A

static int precheck(const Proto* pt) {
    check(pt->sizecode > 0);
    check(pt->maxstacksize <= MAXSTACK);
    check(pt->numparams + pt->is_vararg <= pt->maxstacksize);
    check(pt->sizelineinfo == pt->sizecode || pt->sizelineinfo == 0);
    check(GET_OPCODE(pt->code[pt->sizecode - 1]) == OpReturn);
    return 1;
}

static int checkopenop(const Proto* pt, int pc) {
    const Instruction i = pt->code[pc + 1];
    switch (GET_OPCODE(i)) {
    case OpCall:
    case OpTailCall:
    case OpReturn:
        check(GETARG_B(i) == 0);
        return 1;
    case OpSetListOpen:
        return 1;
    default:
        return 0; // nothing else may follow an open call
    }
}

static int checkRK(const Proto* pt, int r) {
    return r < pt->maxstacksize || (r >= MAXSTACK && r - MAXSTACK < pt->sizek);
}

static Instruction symbexec(const Proto* pt, int lastpc, int reg) {
    int last = pt->sizecode - 1; // the final return: a neutral instruction
    check(precheck(pt));
    for (int pc = 0; pc < lastpc; pc++) {
        const Instruction i = pt->code[pc];
        const OpCode op = GET_OPCODE(i);
        const int a = GETARG_A(i);
        int b = 0;
        int c = 0;
        check(op < NUM_OPCODES);
        checkreg(pt, a);
        switch (getOpMode(op)) {
        case iABC:
            b = GETARG_B(i);
            c = GETARG_C(i);
            if (testOpMode(op, OpModeBreg)) {
                checkreg(pt, b);
            } else if (testOpMode(op, OpModeBrk)) {
                check(checkRK(pt, b));
            }
            if (testOpMode(op, OpModeCrk)) {
                check(checkRK(pt, c));
            }
            break;
        case iABx:
            b = GETARG_Bx(i);
            if (testOpMode(op, OpModeK)) {
                check(b < pt->sizek);
            }
            break;
        case iAsBx:
            b = GETARG_sBx(i);
            break;
        }
        if (testOpMode(op, OpModesetA) && a == reg) {
            last = pc;
        }
        if (testOpMode(op, OpModeT)) {
            check(pc + 2 < pt->sizecode);
            check(GET_OPCODE(pt->code[pc + 1]) == OpJump);
        }
        switch (op) {
        case OpLoadBool:
            check(c == 0 || pc + 2 < pt->sizecode);
            break;
        case OpLoadNil:
            if (a <= reg && reg <= b) {
                last = pc;
            }
            break;
        case OpGetUpvalue:
        case OpSetUpvalue:
            check(b < pt->nups);
            break;
        case OpGetGlobal:
        case OpSetGlobal:
            check(ttisstring(&pt->k[b]));
            break;
        case OpMethod:
            checkreg(pt, a + 1);
            if (reg == a + 1) {
                last = pc;
            }
            break;
        case OpConcat:
            check(c < MAXSTACK && b < c);
            break;
        case OpIterLoop:
            checkreg(pt, a + c + 5);
            if (reg >= a) {
                last = pc;
            }
            [[fallthrough]];
        case OpNumForLoop:
            checkreg(pt, a + 2);
            [[fallthrough]];
        case OpIterPrep:
            checkreg(pt, a + 1); // the table moves up one register
            [[fallthrough]];
        case OpJump: {
            const int dest = pc + 1 + b;
            check(0 <= dest && dest < pt->sizecode);
            // Follow a forward jump that does not pass lastpc.
            if (reg != NO_REG && pc < dest && dest <= lastpc) {
                pc += b;
            }
            break;
        }
        case OpCall:
        case OpTailCall:
            if (b != 0) {
                checkreg(pt, a + b - 1);
            }
            c--;
            if (c == LUA_MULTRET) {
                check(checkopenop(pt, pc));
            } else if (c != 0) {
                checkreg(pt, a + c - 1);
            }
            if (reg >= a) {
                last = pc;
            }
            break;
        case OpReturn:
            b--;
            if (b > 0) {
                checkreg(pt, a + b - 1);
            }
            break;
        case OpSetList:
            checkreg(pt, a + (b & (LFIELDS_PER_FLUSH - 1)) + 1);
            break;
        case OpClosure: {
            check(b < pt->sizep);
            int nup = pt->p[b]->nups;
            check(pc + nup < pt->sizecode);
            for (; nup > 0; nup--) {
                const OpCode op1 = GET_OPCODE(pt->code[pc + nup]);
                check(op1 == OpGetUpvalue || op1 == OpCopy);
            }
            break;
        }
        default:
            break;
        }
    }
    return pt->code[last];
}

#undef check
#undef checkreg

int luaG_checkcode(const Proto* pt) {
    return symbexec(pt, pt->sizecode - 1, NO_REG) != 0;
}

static const char* kname(const Proto* p, int c) {
    if (c >= MAXSTACK && ttisstring(&p->k[c - MAXSTACK])) {
        return getstr(tsvalue(&p->k[c - MAXSTACK]));
    }
    return "?";
}

// What a register of a Lua activation holds at its current instruction: a local, a global, a
// field or a method, with its name; null when nothing useful is known.
static const char* getobjname(CallInfo* ci, int stackpos, const char** name) {
    if (!isLua(ci)) {
        return nullptr;
    }
    const Proto* p = ci_proto(ci);
    const int pc = currentpc(ci);
    if (pc < 0) {
        return nullptr;
    }
    *name = luaF_getlocalname(p, stackpos + 1, pc);
    if (*name != nullptr) {
        return "local";
    }
    const Instruction i = symbexec(p, pc, stackpos);
    if (i == 0) {
        return nullptr;
    }
    switch (GET_OPCODE(i)) {
    case OpGetGlobal:
        *name = getstr(tsvalue(&p->k[GETARG_Bx(i)]));
        return "global";
    case OpCopy: {
        const int a = GETARG_A(i);
        const int b = GETARG_B(i);
        if (b < a) {
            return getobjname(ci, b, name);
        }
        break;
    }
    case OpGetIndex:
        *name = kname(p, GETARG_C(i));
        return "field";
    case OpMethod:
        *name = kname(p, GETARG_C(i));
        return "method";
    default:
        break;
    }
    return nullptr;
}

static bool isinstack(const CallInfo* ci, const TObject* o) {
    return o >= ci->base && o < ci->top;
}

void luaG_typeerror(lua_State* L, const TObject* o, const char* op) {
    const int t = ttype(o);
    const char* tname = (t >= 0 && t <= LUA_TWSTRING) ? luaT_typenames[t] : "no value";
    const char* name = nullptr;
    const char* kind =
        isinstack(L->ci, o) ? getobjname(L->ci, static_cast<int>(o - L->base), &name) : nullptr;
    if (kind != nullptr) {
        luaG_runerror(L, "attempt to %s %s `%s' (a %s value)", op, kind, name, tname);
    }
    luaG_runerror(L, "attempt to %s a %s value", op, tname);
}

// Debug interface.

int lua_getstack(lua_State* L, int level, lua_Debug* ar) {
    CallInfo* ci;
    for (ci = L->ci; level > 0 && ci > L->base_ci; ci--) {
        level--;
        if (isLua(ci)) {
            level -= ci->tailcalls; // tail calls lost beneath this one
        }
    }
    if (level > 0 || ci == L->base_ci) {
        return 0;
    }
    ar->i_ci = level < 0 ? 0 : static_cast<int>(ci - L->base_ci);
    return 1;
}

static void funcinfo(lua_Debug* ar, const TObject* func) {
    Closure* cl = clvalue(func);
    if (cl->h.isC) {
        ar->source = "=[C]";
        ar->linedefined = -1;
        ar->what = "C";
    } else {
        ar->source = cl->l.p->source != nullptr ? getstr(cl->l.p->source) : "=?";
        ar->linedefined = cl->l.p->lineDefined;
        ar->what = (ar->linedefined == 0) ? "main" : "Lua";
    }
    luaO_chunkid(ar->short_src, ar->source, LUA_IDSIZE);
}

static const char* travglobals(lua_State* L, const TObject* o) {
    if (!ttistable(gt(L))) {
        return nullptr;
    }
    Table* g = hvalue(gt(L));
    for (int i = sizenode(g) - 1; i >= 0; i--) {
        Node* n = gnode(g, i);
        if (luaO_rawequalObj(o, gval(n)) && ttisstring(gkey(n))) {
            return getstr(tsvalue(gkey(n)));
        }
    }
    return nullptr;
}

static const char* getfuncname(CallInfo* ci, const char** name) {
    if ((isLua(ci) && ci->tailcalls > 0) || !isLua(ci - 1)) {
        return nullptr; // the caller is native, or lost in a tail call
    }
    ci--;
    const int pc = currentpc(ci);
    if (pc < 0) {
        return nullptr;
    }
    const Instruction i = ci_proto(ci)->code[pc];
    if (GET_OPCODE(i) == OpCall || GET_OPCODE(i) == OpTailCall) {
        return getobjname(ci, GETARG_A(i), name);
    }
    return nullptr;
}

static void info_tailcall(lua_State* L, lua_Debug* ar) {
    ar->name = ar->namewhat = "";
    ar->what = "tail";
    ar->linedefined = ar->currentline = -1;
    ar->source = "=(tail call)";
    luaO_chunkid(ar->short_src, ar->source, LUA_IDSIZE);
    ar->nups = 0;
    setnilvalue(L->top);
}

static int getinfo(lua_State* L, const char* what, lua_Debug* ar, const TObject* f, CallInfo* ci) {
    int status = 1;
    for (; *what; what++) {
        switch (*what) {
        case 'S':
            funcinfo(ar, f);
            break;
        case 'l':
            ar->currentline = (ci != nullptr) ? luaG_currentline(L, ci) : -1;
            break;
        case 'u':
            ar->nups = clvalue(f)->h.nupvalues;
            break;
        case 'n':
            ar->namewhat = (ci != nullptr) ? getfuncname(ci, &ar->name) : nullptr;
            if (ar->namewhat == nullptr) {
                ar->name = travglobals(L, f);
                ar->namewhat = ar->name != nullptr ? "global" : "";
            }
            break;
        case 'f':
            setobj(L->top, f);
            break;
        default:
            status = 0; // invalid option
        }
    }
    return status;
}

int lua_getinfo(lua_State* L, const char* what, lua_Debug* ar) {
    int status = 1;
    if (*what == '>') {
        StkId f = L->top - 1;
        if (!ttisfunction(f)) {
            luaG_runerror(L, "value for `lua_getinfo' is not a function");
        }
        const TObject func = *f;
        L->top--; // the function is popped; its copy keeps it reachable while we look
        status = getinfo(L, what + 1, ar, &func, nullptr);
    } else if (ar->i_ci != 0) {
        CallInfo* ci = L->base_ci + ar->i_ci;
        status = getinfo(L, what, ar, ci->base - 1, ci);
    } else {
        info_tailcall(L, ar);
    }
    if (std::strchr(what, 'f') != nullptr) {
        incr_top(L);
    }
    return status;
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
