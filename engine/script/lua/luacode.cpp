#include "engine/script/lua/luacode.h"

#include <cstdlib>

#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luatable.h"

static void setfield(Instruction& i, int pos, int size, int v) {
    const Instruction mask = ((1u << size) - 1u) << pos;
    i = (i & ~mask) | ((static_cast<Instruction>(v) << pos) & mask);
}
static void SETARG_A(Instruction& i, int v) {
    setfield(i, POS_A, SIZE_A, v);
}
static void SETARG_B(Instruction& i, int v) {
    setfield(i, POS_B, SIZE_B, v);
}
static void SETARG_C(Instruction& i, int v) {
    setfield(i, POS_C, SIZE_C, v);
}
static void SETARG_sBx(Instruction& i, int v) {
    setfield(i, POS_Bx, SIZE_Bx, v + MAXARG_sBx);
}

static bool hasjumps(const ExprInfo* e) {
    return e->t != e->f;
}

void luaK_nil(FunctionBuilder* fs, int from, int n) {
    if (fs->pc > fs->lasttarget) { // no jumps to the current position
        Instruction* previous = &fs->f->code[fs->pc - 1];
        if (GET_OPCODE(*previous) == OpLoadNil) {
            const int pfrom = GETARG_A(*previous);
            const int pto = GETARG_B(*previous);
            if (pfrom <= from && from <= pto + 1) { // can connect both
                if (from + n - 1 > pto) {
                    SETARG_B(*previous, from + n - 1);
                }
                return;
            }
        }
    }
    luaK_codeABC(fs, OpLoadNil, from, from + n - 1, 0);
}

int luaK_jump(FunctionBuilder* fs) {
    const int jpc = fs->jpc; // jumps to here stay pending
    fs->jpc = NO_JUMP;
    int j = luaK_codeAsBx(fs, OpJump, 0, NO_JUMP);
    luaK_concat(fs, &j, jpc);
    return j;
}

static int luaK_condjump(FunctionBuilder* fs, OpCode op, int a, int b, int c) {
    luaK_codeABC(fs, op, a, b, c);
    return luaK_jump(fs);
}

static void luaK_fixjump(FunctionBuilder* fs, int pc, int dest) {
    Instruction& jmp = fs->f->code[pc];
    const int offset = dest - (pc + 1);
    if (std::abs(offset) > MAXARG_sBx) {
        luaX_syntaxerror(fs->ls, "control structure too long");
    }
    SETARG_sBx(jmp, offset);
}

int luaK_getlabel(FunctionBuilder* fs) {
    fs->lasttarget = fs->pc;
    return fs->pc;
}

static int luaK_getjump(FunctionBuilder* fs, int pc) {
    const int offset = GETARG_sBx(fs->f->code[pc]);
    if (offset == NO_JUMP) { // a jump to itself ends the list
        return NO_JUMP;
    }
    return (pc + 1) + offset;
}

static Instruction* getjumpcontrol(FunctionBuilder* fs, int pc) {
    Instruction* pi = &fs->f->code[pc];
    if (pc >= 1 && testOpMode(GET_OPCODE(*(pi - 1)), OpModeT)) {
        return pi - 1;
    }
    return pi;
}

// Whether a list holds a jump that does not come from a test producing the value it tests.
static bool need_value(FunctionBuilder* fs, int list, int cond) {
    for (; list != NO_JUMP; list = luaK_getjump(fs, list)) {
        const Instruction i = *getjumpcontrol(fs, list);
        if (GET_OPCODE(i) != OpTestSet || GETARG_C(i) != cond) {
            return true;
        }
    }
    return false;
}

static void patchtestreg(Instruction* i, int reg) {
    if (reg == NO_REG) {
        reg = GETARG_B(*i);
    }
    SETARG_A(*i, reg);
}

static void luaK_patchlistaux(FunctionBuilder* fs, int list, int ttarget, int treg, int ftarget,
                              int freg, int dtarget) {
    while (list != NO_JUMP) {
        const int nxt = luaK_getjump(fs, list);
        Instruction* i = getjumpcontrol(fs, list);
        if (GET_OPCODE(*i) != OpTestSet) {
            luaK_fixjump(fs, list, dtarget);
        } else if (GETARG_C(*i)) {
            patchtestreg(i, treg);
            luaK_fixjump(fs, list, ttarget);
        } else {
            patchtestreg(i, freg);
            luaK_fixjump(fs, list, ftarget);
        }
        list = nxt;
    }
}

static void luaK_dischargejpc(FunctionBuilder* fs) {
    luaK_patchlistaux(fs, fs->jpc, fs->pc, NO_REG, fs->pc, NO_REG, fs->pc);
    fs->jpc = NO_JUMP;
}

void luaK_patchlist(FunctionBuilder* fs, int list, int target) {
    if (target == fs->pc) {
        luaK_patchtohere(fs, list);
    } else {
        luaK_patchlistaux(fs, list, target, NO_REG, target, NO_REG, target);
    }
}

void luaK_patchtohere(FunctionBuilder* fs, int list) {
    luaK_getlabel(fs);
    luaK_concat(fs, &fs->jpc, list);
}

void luaK_concat(FunctionBuilder* fs, int* l1, int l2) {
    if (l2 == NO_JUMP) {
        return;
    }
    if (*l1 == NO_JUMP) {
        *l1 = l2;
        return;
    }
    int list = *l1;
    int nxt;
    while ((nxt = luaK_getjump(fs, list)) != NO_JUMP) { // find the last element
        list = nxt;
    }
    luaK_fixjump(fs, list, l2);
}

void luaK_checkstack(FunctionBuilder* fs, int n) {
    const int newstack = fs->freereg + n;
    if (newstack > fs->f->maxstacksize) {
        if (newstack >= MAXSTACK) {
            luaX_syntaxerror(fs->ls, "function or expression too complex");
        }
        fs->f->maxstacksize = static_cast<lu_byte>(newstack);
    }
}

void luaK_reserveregs(FunctionBuilder* fs, int n) {
    luaK_checkstack(fs, n);
    fs->freereg += n;
}

static void freereg(FunctionBuilder* fs, int reg) {
    if (reg >= fs->nactvar && reg < MAXSTACK) {
        fs->freereg--;
    }
}

static void freeexp(FunctionBuilder* fs, ExprInfo* e) {
    if (e->k == VNONRELOC) {
        freereg(fs, e->info);
    }
}

static int addk(FunctionBuilder* fs, const TObject* k, const TObject* v) {
    const TObject* idx = luaH_get(fs->h, k);
    if (ttisnumber(idx)) {
        return static_cast<int>(nvalue(idx));
    }
    Proto* f = fs->f;
    if (fs->nk >= MAXARG_Bx) {
        luaX_syntaxerror(fs->ls, "constant table overflow");
    }
    if (fs->nk >= f->sizek) {
        int oldsize = f->sizek;
        luaM_growvector(fs->L, f->k, fs->nk, f->sizek, MAXARG_Bx, "constant table overflow");
        while (oldsize < f->sizek) {
            setnilvalue(&f->k[oldsize++]);
        }
    }
    setobj(&f->k[fs->nk], v);
    setnvalue(luaH_set(fs->L, fs->h, k), static_cast<lua_Number>(fs->nk));
    return fs->nk++;
}

int luaK_stringK(FunctionBuilder* fs, TString* s) {
    TObject o;
    setsvalue(&o, s);
    return addk(fs, &o, &o);
}

int luaK_wstringK(FunctionBuilder* fs, TString* ws) {
    return luaK_stringK(fs, ws); // the tag of the string tells the kinds apart
}

int luaK_numberK(FunctionBuilder* fs, lua_Number r) {
    TObject o;
    setnvalue(&o, r);
    return addk(fs, &o, &o);
}

static int nil_constant(FunctionBuilder* fs) {
    TObject k;
    TObject v;
    setnilvalue(&v);
    sethvalue(&k, fs->h); // nil cannot be a key: the map itself stands for it
    return addk(fs, &k, &v);
}

void luaK_setcallreturns(FunctionBuilder* fs, ExprInfo* e, int nresults) {
    if (e->k == VCALL) { // an open call
        SETARG_C(getcode(fs, e), nresults + 1);
        if (nresults == 1) {
            e->k = VNONRELOC;
            e->info = GETARG_A(getcode(fs, e));
        }
    }
}

void luaK_dischargevars(FunctionBuilder* fs, ExprInfo* e) {
    switch (e->k) {
    case VLOCAL:
        e->k = VNONRELOC;
        break;
    case VUPVAL:
        e->info = luaK_codeABC(fs, OpGetUpvalue, 0, e->info, 0);
        e->k = VRELOCABLE;
        break;
    case VGLOBAL:
        e->info = luaK_codeABx(fs, OpGetGlobal, 0, e->info);
        e->k = VRELOCABLE;
        break;
    case VINDEXED:
        freereg(fs, e->aux);
        freereg(fs, e->info);
        e->info = luaK_codeABC(fs, OpGetIndex, 0, e->info, e->aux);
        e->k = VRELOCABLE;
        break;
    case VCALL:
        luaK_setcallreturns(fs, e, 1);
        break;
    default:
        break; // the value is available somewhere
    }
}

static int code_label(FunctionBuilder* fs, int a, int b, int jump) {
    luaK_getlabel(fs); // these instructions may be jump targets
    return luaK_codeABC(fs, OpLoadBool, a, b, jump);
}

static void discharge2reg(FunctionBuilder* fs, ExprInfo* e, int reg) {
    luaK_dischargevars(fs, e);
    switch (e->k) {
    case VNIL:
        luaK_nil(fs, reg, 1);
        break;
    case VFALSE:
    case VTRUE:
        luaK_codeABC(fs, OpLoadBool, reg, e->k == VTRUE, 0);
        break;
    case VK:
        luaK_codeABx(fs, OpLoadConst, reg, e->info);
        break;
    case VRELOCABLE:
        SETARG_A(getcode(fs, e), reg);
        break;
    case VNONRELOC:
        if (reg != e->info) {
            luaK_codeABC(fs, OpCopy, reg, e->info, 0);
        }
        break;
    default:
        return; // VVOID or VJMP: nothing to do
    }
    e->info = reg;
    e->k = VNONRELOC;
}

static void discharge2anyreg(FunctionBuilder* fs, ExprInfo* e) {
    if (e->k != VNONRELOC) {
        luaK_reserveregs(fs, 1);
        discharge2reg(fs, e, fs->freereg - 1);
    }
}

static void luaK_exp2reg(FunctionBuilder* fs, ExprInfo* e, int reg) {
    discharge2reg(fs, e, reg);
    if (e->k == VJMP) {
        luaK_concat(fs, &e->t, e->info); // the jump joins the true list
    }
    if (hasjumps(e)) {
        int p_f = NO_JUMP; // position of a load of false
        int p_t = NO_JUMP; // position of a load of true
        if (need_value(fs, e->t, 1) || need_value(fs, e->f, 0)) {
            int fj = NO_JUMP; // jump over the loads
            if (e->k != VJMP) {
                fj = luaK_jump(fs);
            }
            p_f = code_label(fs, reg, 0, 1);
            p_t = code_label(fs, reg, 1, 0);
            luaK_patchtohere(fs, fj);
        }
        const int final = luaK_getlabel(fs);
        luaK_patchlistaux(fs, e->f, p_f, NO_REG, final, reg, p_f);
        luaK_patchlistaux(fs, e->t, final, reg, p_t, NO_REG, p_t);
    }
    e->f = e->t = NO_JUMP;
    e->info = reg;
    e->k = VNONRELOC;
}

void luaK_exp2nextreg(FunctionBuilder* fs, ExprInfo* e) {
    luaK_dischargevars(fs, e);
    freeexp(fs, e);
    luaK_reserveregs(fs, 1);
    luaK_exp2reg(fs, e, fs->freereg - 1);
}

int luaK_exp2anyreg(FunctionBuilder* fs, ExprInfo* e) {
    luaK_dischargevars(fs, e);
    if (e->k == VNONRELOC) {
        if (!hasjumps(e)) {
            return e->info;
        }
        if (e->info >= fs->nactvar) { // not a local: the value may go there
            luaK_exp2reg(fs, e, e->info);
            return e->info;
        }
    }
    luaK_exp2nextreg(fs, e);
    return e->info;
}

void luaK_exp2val(FunctionBuilder* fs, ExprInfo* e) {
    if (hasjumps(e)) {
        luaK_exp2anyreg(fs, e);
    } else {
        luaK_dischargevars(fs, e);
    }
}

int luaK_exp2RK(FunctionBuilder* fs, ExprInfo* e) {
    luaK_exp2val(fs, e);
    switch (e->k) {
    case VNIL:
        if (fs->nk + MAXSTACK <= MAXARG_C) { // the constant fits an operand
            e->info = nil_constant(fs);
            e->k = VK;
            return e->info + MAXSTACK;
        }
        break;
    case VK:
        if (e->info + MAXSTACK <= MAXARG_C) {
            return e->info + MAXSTACK;
        }
        break;
    default:
        break;
    }
    return luaK_exp2anyreg(fs, e); // not a usable constant: into a register
}

void luaK_storevar(FunctionBuilder* fs, ExprInfo* var, ExprInfo* ex) {
    switch (var->k) {
    case VLOCAL:
        freeexp(fs, ex);
        luaK_exp2reg(fs, ex, var->info);
        return;
    case VUPVAL: {
        const int e = luaK_exp2anyreg(fs, ex);
        luaK_codeABC(fs, OpSetUpvalue, e, var->info, 0);
        break;
    }
    case VGLOBAL: {
        const int e = luaK_exp2anyreg(fs, ex);
        luaK_codeABx(fs, OpSetGlobal, e, var->info);
        break;
    }
    case VINDEXED: {
        const int e = luaK_exp2RK(fs, ex);
        luaK_codeABC(fs, OpSetIndex, var->info, var->aux, e);
        break;
    }
    default:
        break;
    }
    freeexp(fs, ex);
}

void luaK_self(FunctionBuilder* fs, ExprInfo* e, ExprInfo* key) {
    luaK_exp2anyreg(fs, e);
    freeexp(fs, e);
    const int func = fs->freereg;
    luaK_reserveregs(fs, 2);
    luaK_codeABC(fs, OpMethod, func, e->info, luaK_exp2RK(fs, key));
    freeexp(fs, key);
    e->info = func;
    e->k = VNONRELOC;
}

static void invertjump(FunctionBuilder* fs, ExprInfo* e) {
    Instruction* pc = getjumpcontrol(fs, e->info);
    SETARG_A(*pc, !(GETARG_A(*pc)));
}

static int jumponcond(FunctionBuilder* fs, ExprInfo* e, int cond) {
    if (e->k == VRELOCABLE) {
        const Instruction ie = getcode(fs, e);
        if (GET_OPCODE(ie) == OpNot) {
            fs->pc--; // drop the negation and test its operand the other way
            return luaK_condjump(fs, OpTestSet, NO_REG, GETARG_B(ie), !cond);
        }
    }
    discharge2anyreg(fs, e);
    freeexp(fs, e);
    return luaK_condjump(fs, OpTestSet, NO_REG, e->info, cond);
}

void luaK_goiftrue(FunctionBuilder* fs, ExprInfo* e) {
    int pc; // the last jump
    luaK_dischargevars(fs, e);
    switch (e->k) {
    case VK:
    case VTRUE:
        pc = NO_JUMP; // always true
        break;
    case VFALSE:
        pc = luaK_jump(fs); // always jump
        break;
    case VJMP:
        invertjump(fs, e);
        pc = e->info;
        break;
    default:
        pc = jumponcond(fs, e, 0);
        break;
    }
    luaK_concat(fs, &e->f, pc);
}

void luaK_goiffalse(FunctionBuilder* fs, ExprInfo* e) {
    int pc;
    luaK_dischargevars(fs, e);
    switch (e->k) {
    case VNIL:
    case VFALSE:
        pc = NO_JUMP; // always false
        break;
    case VTRUE:
        pc = luaK_jump(fs);
        break;
    case VJMP:
        pc = e->info;
        break;
    default:
        pc = jumponcond(fs, e, 1);
        break;
    }
    luaK_concat(fs, &e->t, pc);
}

static void codenot(FunctionBuilder* fs, ExprInfo* e) {
    luaK_dischargevars(fs, e);
    switch (e->k) {
    case VNIL:
    case VFALSE:
        e->k = VTRUE;
        break;
    case VK:
    case VTRUE:
        e->k = VFALSE;
        break;
    case VJMP:
        invertjump(fs, e);
        break;
    case VRELOCABLE:
    case VNONRELOC:
        discharge2anyreg(fs, e);
        freeexp(fs, e);
        e->info = luaK_codeABC(fs, OpNot, 0, e->info, 0);
        e->k = VRELOCABLE;
        break;
    default:
        break;
    }
    const int temp = e->f; // true and false lists change places
    e->f = e->t;
    e->t = temp;
}

void luaK_indexed(FunctionBuilder* fs, ExprInfo* t, ExprInfo* k) {
    t->aux = luaK_exp2RK(fs, k);
    t->k = VINDEXED;
}

void luaK_prefix(FunctionBuilder* fs, UnOpr op, ExprInfo* e) {
    if (op == OPR_MINUS) {
        luaK_exp2val(fs, e);
        if (e->k == VK && ttisnumber(&fs->f->k[e->info])) {
            e->info = luaK_numberK(fs, -nvalue(&fs->f->k[e->info]));
        } else {
            luaK_exp2anyreg(fs, e);
            freeexp(fs, e);
            e->info = luaK_codeABC(fs, OpNegate, 0, e->info, 0);
            e->k = VRELOCABLE;
        }
    } else {
        codenot(fs, e);
    }
}

void luaK_infix(FunctionBuilder* fs, BinOpr op, ExprInfo* v) {
    switch (op) {
    case OPR_AND:
        luaK_goiftrue(fs, v);
        luaK_patchtohere(fs, v->t);
        v->t = NO_JUMP;
        break;
    case OPR_OR:
        luaK_goiffalse(fs, v);
        luaK_patchtohere(fs, v->f);
        v->f = NO_JUMP;
        break;
    case OPR_CONCAT:
        luaK_exp2nextreg(fs, v); // operands of a concatenation are consecutive registers
        break;
    default:
        luaK_exp2RK(fs, v);
        break;
    }
}

static void codebinop(FunctionBuilder* fs, ExprInfo* res, BinOpr op, int o1, int o2) {
    if (op <= OPR_POW) {
        const OpCode opc = static_cast<OpCode>((op - OPR_ADD) + OpAdd);
        res->info = luaK_codeABC(fs, opc, 0, o1, o2);
        res->k = VRELOCABLE;
    } else {
        static const OpCode ops[] = {OpEqual, OpEqual, OpLess, OpLessEqual, OpLess, OpLessEqual};
        int cond = 1;
        if (op >= OPR_GT) { // `>' and `>=' exchange their operands
            const int temp = o1;
            o1 = o2;
            o2 = temp;
        } else if (op == OPR_NE) {
            cond = 0;
        }
        res->info = luaK_condjump(fs, ops[op - OPR_NE], cond, o1, o2);
        res->k = VJMP;
    }
}

void luaK_posfix(FunctionBuilder* fs, BinOpr op, ExprInfo* e1, ExprInfo* e2) {
    switch (op) {
    case OPR_AND:
        luaK_dischargevars(fs, e2);
        luaK_concat(fs, &e1->f, e2->f);
        e1->k = e2->k;
        e1->info = e2->info;
        e1->aux = e2->aux;
        e1->t = e2->t;
        break;
    case OPR_OR:
        luaK_dischargevars(fs, e2);
        luaK_concat(fs, &e1->t, e2->t);
        e1->k = e2->k;
        e1->info = e2->info;
        e1->aux = e2->aux;
        e1->f = e2->f;
        break;
    case OPR_CONCAT:
        luaK_exp2val(fs, e2);
        if (e2->k == VRELOCABLE && GET_OPCODE(getcode(fs, e2)) == OpConcat) {
            freeexp(fs, e1);
            SETARG_B(getcode(fs, e2), e1->info);
            e1->k = e2->k;
            e1->info = e2->info;
        } else {
            luaK_exp2nextreg(fs, e2);
            freeexp(fs, e2);
            freeexp(fs, e1);
            e1->info = luaK_codeABC(fs, OpConcat, 0, e1->info, e2->info);
            e1->k = VRELOCABLE;
        }
        break;
    default: {
        const int o1 = luaK_exp2RK(fs, e1);
        const int o2 = luaK_exp2RK(fs, e2);
        freeexp(fs, e2);
        freeexp(fs, e1);
        codebinop(fs, e1, op, o1, o2);
        break;
    }
    }
}

void luaK_fixline(FunctionBuilder* fs, int line) {
    fs->f->lineinfo[fs->pc - 1] = line;
}

int luaK_code(FunctionBuilder* fs, Instruction i, int line) {
    Proto* f = fs->f;
    luaK_dischargejpc(fs); // pc is about to change
    if (fs->pc >= MAX_INT_LUA) {
        luaX_syntaxerror(fs->ls, "code size overflow");
    }
    if (fs->pc >= f->sizecode) {
        luaM_growvector(fs->L, f->code, fs->pc, f->sizecode, MAX_INT_LUA, "code size overflow");
    }
    f->code[fs->pc] = i;
    if (fs->pc >= f->sizelineinfo) {
        luaM_growvector(fs->L, f->lineinfo, fs->pc, f->sizelineinfo, MAX_INT_LUA,
                        "code size overflow");
    }
    f->lineinfo[fs->pc] = line;
    return fs->pc++;
}

int luaK_codeABC(FunctionBuilder* fs, OpCode o, int a, int b, int c) {
    return luaK_code(fs, CREATE_ABC(o, a, b, c), fs->ls->lastline);
}

int luaK_codeABx(FunctionBuilder* fs, OpCode o, int a, int bx) {
    return luaK_code(fs, CREATE_ABx(o, a, bx), fs->ls->lastline);
}
