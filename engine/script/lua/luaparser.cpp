#include "engine/script/lua/luaparser.h"

#include <cmath>

#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/lua/luastring.h"
#include "engine/script/lua/luatable.h"

#define LUA_MAXPARSERLEVEL 200
#define MAXEXPWHILE 100
#define EXTRAEXP 5
#define MAXLOOPNUMBER 100

struct TableCtor {
    ExprInfo v;  // last list item read
    ExprInfo* t; // table descriptor
    int nh;      // hash items
    int na;      // array items
    int tostore; // array items waiting to be stored
};

static void chunk(ScriptLexer* ls);
static void expr(ScriptLexer* ls, ExprInfo* v);

static LocVar& getlocvar(FunctionBuilder* fs, int i) {
    return fs->f->locvars[fs->actvar[i]];
}

static void enterlevel(ScriptLexer* ls) {
    if (++ls->nestlevel > LUA_MAXPARSERLEVEL) {
        luaX_syntaxerror(ls, "too many syntax levels");
    }
}

static void leavelevel(ScriptLexer* ls) {
    ls->nestlevel--;
}

static void next(ScriptLexer* ls) {
    luaX_next(ls);
}

[[noreturn]] static void error_expected(ScriptLexer* ls, int token) {
    luaX_syntaxerror(ls, luaO_pushfstring(ls->L, "`%s' expected", luaX_token2str(ls, token)));
}

static int testnext(ScriptLexer* ls, int c) {
    if (ls->t.token == c) {
        next(ls);
        return 1;
    }
    return 0;
}

static void check(ScriptLexer* ls, int c) {
    if (ls->t.token != c) {
        error_expected(ls, c);
    }
}

static void checknext(ScriptLexer* ls, int c) {
    check(ls, c);
    next(ls);
}

static void check_condition(ScriptLexer* ls, bool c, const char* msg) {
    if (!c) {
        luaX_syntaxerror(ls, msg);
    }
}

static void check_match(ScriptLexer* ls, int what, int who, int where) {
    if (!testnext(ls, what)) {
        if (where == ls->linenumber) {
            error_expected(ls, what);
        }
        luaX_syntaxerror(ls, luaO_pushfstring(ls->L, "`%s' expected (to close `%s' at line %d)",
                                              luaX_token2str(ls, what), luaX_token2str(ls, who),
                                              where));
    }
}

static TString* str_checkname(ScriptLexer* ls) {
    check_condition(ls, ls->t.token == TK_NAME, "<name> expected");
    TString* ts = ls->t.seminfo.ts;
    next(ls);
    return ts;
}

static void init_exp(ExprInfo* e, expkind k, int i) {
    e->f = e->t = NO_JUMP;
    e->k = k;
    e->info = i;
    e->aux = 0;
}

static void codestring(ScriptLexer* ls, ExprInfo* e, TString* s) {
    init_exp(e, VK, luaK_stringK(ls->fs, s));
}

static void checkname(ScriptLexer* ls, ExprInfo* e) {
    codestring(ls, e, str_checkname(ls));
}

static int luaI_registerlocalvar(ScriptLexer* ls, TString* varname) {
    FunctionBuilder* fs = ls->fs;
    Proto* f = fs->f;
    if (fs->nlocvars >= f->sizelocvars) {
        int old = f->sizelocvars;
        luaM_growvector(ls->L, f->locvars, fs->nlocvars, f->sizelocvars, MAX_INT_LUA, "");
        while (old < f->sizelocvars) {
            f->locvars[old++].varname = nullptr;
        }
    }
    f->locvars[fs->nlocvars].varname = varname;
    f->locvars[fs->nlocvars].startpc = 0;
    f->locvars[fs->nlocvars].endpc = 0;
    return fs->nlocvars++;
}

static void new_localvar(ScriptLexer* ls, TString* name, int n) {
    FunctionBuilder* fs = ls->fs;
    luaX_checklimit(ls, fs->nactvar + n + 1, MAXVARS, "local variables");
    fs->actvar[fs->nactvar + n] = luaI_registerlocalvar(ls, name);
}

static void new_localvarstr(ScriptLexer* ls, const char* name, int n) {
    new_localvar(ls, luaS_new(ls->L, name), n);
}

static void adjustlocalvars(ScriptLexer* ls, int nvars) {
    FunctionBuilder* fs = ls->fs;
    fs->nactvar += nvars;
    for (; nvars; nvars--) {
        getlocvar(fs, fs->nactvar - nvars).startpc = fs->pc;
    }
}

static void removevars(ScriptLexer* ls, int tolevel) {
    FunctionBuilder* fs = ls->fs;
    while (fs->nactvar > tolevel) {
        getlocvar(fs, --fs->nactvar).endpc = fs->pc;
    }
}

static int indexupvalue(FunctionBuilder* fs, TString* name, ExprInfo* v) {
    Proto* f = fs->f;
    for (int i = 0; i < f->nups; i++) {
        if (fs->upvalues[i].k == v->k && fs->upvalues[i].info == v->info) {
            return i;
        }
    }
    luaX_checklimit(fs->ls, f->nups + 1, MAXUPVALUES, "upvalues");
    if (f->nups >= f->sizeupvalues) {
        int old = f->sizeupvalues;
        luaM_growvector(fs->L, f->upvalues, f->nups, f->sizeupvalues, MAX_INT_LUA, "");
        while (old < f->sizeupvalues) {
            f->upvalues[old++] = nullptr;
        }
    }
    f->upvalues[f->nups] = name;
    fs->upvalues[f->nups] = *v;
    return f->nups++;
}

static int searchvar(FunctionBuilder* fs, TString* n) {
    for (int i = fs->nactvar - 1; i >= 0; i--) {
        if (n == getlocvar(fs, i).varname) {
            return i;
        }
    }
    return -1;
}

static void markupval(FunctionBuilder* fs, int level) {
    BlockScope* bl = fs->bl;
    while (bl && bl->nactvar > level) {
        bl = bl->previous;
    }
    if (bl) {
        bl->upval = 1;
    }
}

static void singlevaraux(FunctionBuilder* fs, TString* n, ExprInfo* var, int base) {
    if (fs == nullptr) {
        init_exp(var, VGLOBAL, NO_REG); // not found anywhere: a global
        return;
    }
    const int v = searchvar(fs, n);
    if (v >= 0) {
        init_exp(var, VLOCAL, v);
        if (!base) {
            markupval(fs, v); // the local is used as an upvalue
        }
        return;
    }
    singlevaraux(fs->prev, n, var, 0);
    if (var->k == VGLOBAL) {
        if (base) {
            var->info = luaK_stringK(fs, n);
        }
    } else {
        var->info = indexupvalue(fs, n, var);
        var->k = VUPVAL;
    }
}

static TString* singlevar(ScriptLexer* ls, ExprInfo* var, int base) {
    TString* varname = str_checkname(ls);
    singlevaraux(ls->fs, varname, var, base);
    return varname;
}

static void adjust_assign(ScriptLexer* ls, int nvars, int nexps, ExprInfo* e) {
    FunctionBuilder* fs = ls->fs;
    int extra = nvars - nexps;
    if (e->k == VCALL) {
        extra++; // the call itself counts
        if (extra <= 0) {
            extra = 0;
        } else {
            luaK_reserveregs(fs, extra - 1);
        }
        luaK_setcallreturns(fs, e, extra);
    } else {
        if (e->k != VVOID) {
            luaK_exp2nextreg(fs, e);
        }
        if (extra > 0) {
            const int reg = fs->freereg;
            luaK_reserveregs(fs, extra);
            luaK_nil(fs, reg, extra);
        }
    }
}

static void code_params(ScriptLexer* ls, int nparams, int dots) {
    FunctionBuilder* fs = ls->fs;
    adjustlocalvars(ls, nparams);
    luaX_checklimit(ls, fs->nactvar, MAXPARAMS, "parameters");
    fs->f->numparams = static_cast<lu_byte>(fs->nactvar);
    fs->f->is_vararg = static_cast<lu_byte>(dots);
    if (dots) {
        new_localvarstr(ls, "arg", 0);
        adjustlocalvars(ls, 1);
    }
    luaK_reserveregs(fs, fs->nactvar); // registers for the parameters
}

static void enterblock(FunctionBuilder* fs, BlockScope* bl, int isloop) {
    bl->breaklist = NO_JUMP;
    bl->continuelist = NO_JUMP;
    bl->isloop = isloop;
    bl->nactvar = fs->nactvar;
    bl->upval = 0;
    bl->previous = fs->bl;
    fs->bl = bl;
}

static void leaveblock(FunctionBuilder* fs) {
    BlockScope* bl = fs->bl;
    fs->bl = bl->previous;
    removevars(fs->ls, bl->nactvar);
    if (bl->upval) {
        luaK_codeABC(fs, OpCloseUpvalues, bl->nactvar, 0, 0);
    }
    fs->freereg = fs->nactvar; // free registers
    luaK_patchtohere(fs, bl->breaklist);
}

static void pushclosure(ScriptLexer* ls, FunctionBuilder* func, ExprInfo* v) {
    FunctionBuilder* fs = ls->fs;
    Proto* f = fs->f;
    if (fs->np >= MAXARG_Bx) {
        luaX_syntaxerror(ls, "constant table overflow");
    }
    if (fs->np >= f->sizep) {
        int old = f->sizep;
        luaM_growvector(ls->L, f->p, fs->np, f->sizep, MAXARG_Bx, "constant table overflow");
        while (old < f->sizep) {
            f->p[old++] = nullptr;
        }
    }
    f->p[fs->np++] = func->f;
    init_exp(v, VRELOCABLE, luaK_codeABx(fs, OpClosure, 0, fs->np - 1));
    for (int i = 0; i < func->f->nups; i++) {
        const OpCode o = (func->upvalues[i].k == VLOCAL) ? OpCopy : OpGetUpvalue;
        luaK_codeABC(fs, o, 0, func->upvalues[i].info, 0);
    }
}

static void open_func(ScriptLexer* ls, FunctionBuilder* fs) {
    lua_State* L = ls->L;
    Proto* f = luaF_newproto(L);
    fs->f = f;
    fs->prev = ls->fs;
    fs->ls = ls;
    fs->L = ls->L;
    ls->fs = fs;
    fs->pc = 0;
    fs->lasttarget = 0;
    fs->jpc = NO_JUMP;
    fs->freereg = 0;
    fs->nk = 0;
    fs->h = luaH_new(ls->L, 0, 0);
    fs->np = 0;
    fs->nlocvars = 0;
    fs->nactvar = 0;
    fs->bl = nullptr;
    f->source = ls->source;
    f->maxstacksize = 2; // registers 0 and 1 are always valid
    // Nothing else refers to them until the function is closed and stored in its parent, and the
    // reader may run a collection at every read.
    fs->anchorlevel = savestack(L, L->top);
    setgcvalue(L->top, f, LUA_TPROTO);
    incr_top(L);
    sethvalue(L->top, fs->h);
    incr_top(L);
}

static void close_func(ScriptLexer* ls) {
    lua_State* L = ls->L;
    FunctionBuilder* fs = ls->fs;
    Proto* f = fs->f;
    removevars(ls, 0);
    luaK_codeABC(fs, OpReturn, 0, 1, 0); // final return
    luaM_reallocvector(L, f->code, static_cast<size_t>(f->sizecode), static_cast<size_t>(fs->pc));
    f->sizecode = fs->pc;
    luaM_reallocvector(L, f->lineinfo, static_cast<size_t>(f->sizelineinfo),
                       static_cast<size_t>(fs->pc));
    f->sizelineinfo = fs->pc;
    luaM_reallocvector(L, f->k, static_cast<size_t>(f->sizek), static_cast<size_t>(fs->nk));
    f->sizek = fs->nk;
    luaM_reallocvector(L, f->p, static_cast<size_t>(f->sizep), static_cast<size_t>(fs->np));
    f->sizep = fs->np;
    luaM_reallocvector(L, f->locvars, static_cast<size_t>(f->sizelocvars),
                       static_cast<size_t>(fs->nlocvars));
    f->sizelocvars = fs->nlocvars;
    luaM_reallocvector(L, f->upvalues, static_cast<size_t>(f->sizeupvalues),
                       static_cast<size_t>(f->nups));
    f->sizeupvalues = f->nups;
    ls->fs = fs->prev;
    L->top = restorestack(L, fs->anchorlevel); // the caller stores f before the next read
}

Proto* luaY_parser(lua_State* L, ZIO* z, Mbuffer* buff) {
    ScriptLexer lexstate;
    FunctionBuilder funcstate;
    luaX_init(L);
    lexstate.buff = buff;
    lexstate.nestlevel = 0;
    const ptrdiff_t oldtop = savestack(L, L->top);
    luaX_setinput(L, &lexstate, z, luaS_new(L, z->name));
    open_func(&lexstate, &funcstate);
    funcstate.f->is_vararg = 1; // the main function takes any arguments
    next(&lexstate);            // read the first token
    chunk(&lexstate);
    check_condition(&lexstate, lexstate.t.token == TK_EOS, "<eof> expected");
    close_func(&lexstate);
    L->top = restorestack(L, oldtop);
    return funcstate.f;
}

// Grammar rules.

static void luaY_field(ScriptLexer* ls, ExprInfo* v) {
    // field -> ['.' | ':'] NAME
    FunctionBuilder* fs = ls->fs;
    ExprInfo key;
    luaK_exp2anyreg(fs, v);
    next(ls); // skip the dot or colon
    checkname(ls, &key);
    luaK_indexed(fs, v, &key);
}

static void luaY_index(ScriptLexer* ls, ExprInfo* v) {
    // index -> '[' expr ']'
    next(ls);
    expr(ls, v);
    luaK_exp2val(ls->fs, v);
    checknext(ls, ']');
}

// Table constructors.

static void recfield(ScriptLexer* ls, TableCtor* cc) {
    FunctionBuilder* fs = ls->fs;
    const int reg = ls->fs->freereg;
    ExprInfo key;
    ExprInfo val;
    if (ls->t.token == TK_NAME) {
        luaX_checklimit(ls, cc->nh, MAX_INT_LUA, "items in a constructor");
        cc->nh++;
        checkname(ls, &key);
    } else {
        luaY_index(ls, &key);
    }
    checknext(ls, '=');
    luaK_exp2RK(fs, &key);
    expr(ls, &val);
    luaK_codeABC(fs, OpSetIndex, cc->t->info, luaK_exp2RK(fs, &key), luaK_exp2RK(fs, &val));
    fs->freereg = reg;
}

static void closelistfield(FunctionBuilder* fs, TableCtor* cc) {
    if (cc->v.k == VVOID) {
        return; // no list item
    }
    luaK_exp2nextreg(fs, &cc->v);
    cc->v.k = VVOID;
    if (cc->tostore == LFIELDS_PER_FLUSH) {
        luaK_codeABx(fs, OpSetList, cc->t->info, cc->na - 1); // flush
        cc->tostore = 0;
        fs->freereg = cc->t->info + 1;
    }
}

static void lastlistfield(FunctionBuilder* fs, TableCtor* cc) {
    if (cc->tostore == 0) {
        return;
    }
    if (cc->v.k == VCALL) {
        luaK_setcallreturns(fs, &cc->v, LUA_MULTRET);
        luaK_codeABx(fs, OpSetListOpen, cc->t->info, cc->na - 1);
    } else {
        if (cc->v.k != VVOID) {
            luaK_exp2nextreg(fs, &cc->v);
        }
        luaK_codeABx(fs, OpSetList, cc->t->info, cc->na - 1);
    }
    fs->freereg = cc->t->info + 1;
}

static void listfield(ScriptLexer* ls, TableCtor* cc) {
    expr(ls, &cc->v);
    luaX_checklimit(ls, cc->na, MAXARG_Bx, "items in a constructor");
    cc->na++;
    cc->tostore++;
}

static int int2fb(unsigned int x) {
    int m = 0; // mantissa
    while (x >= (1u << 3)) {
        x = (x + 1) >> 1;
        m++;
    }
    return (m << 3) | static_cast<int>(x);
}

// A size hint after `&': a numeral truncated to an int.
static int sizehint(ScriptLexer* ls) {
    next(ls); // skip `&'
    if (ls->t.token != TK_NUMBER) {
        luaX_syntaxerror(
            ls, luaO_pushfstring(ls->L, "size expected following & (line %d)", ls->linenumber));
    }
    const int n = LuaNumberToInt(ls->t.seminfo.r);
    next(ls);
    return n;
}

static void constructor(ScriptLexer* ls, ExprInfo* t) {
    FunctionBuilder* fs = ls->fs;
    const int line = ls->linenumber;
    const int pc = luaK_codeABC(fs, OpNewTable, 0, 0, 0);
    TableCtor cc;
    cc.na = cc.nh = cc.tostore = 0;
    cc.t = t;
    init_exp(t, VRELOCABLE, pc);
    init_exp(&cc.v, VVOID, 0);
    luaK_exp2nextreg(ls->fs, t); // fix it at the stack top
    checknext(ls, '{');
    int hashhint = 0;
    int arrayhint = 0;
    if (ls->t.token == '&') {
        hashhint = sizehint(ls);
        if (ls->t.token == '&') {
            arrayhint = sizehint(ls);
        }
    }
    do {
        testnext(ls, ';');
        if (ls->t.token == '}') {
            break;
        }
        closelistfield(fs, &cc);
        switch (ls->t.token) {
        case TK_NAME:
            luaX_lookahead(ls);
            if (ls->lookahead.token != '=') {
                listfield(ls, &cc);
            } else {
                recfield(ls, &cc);
            }
            break;
        case '[':
            recfield(ls, &cc);
            break;
        default:
            listfield(ls, &cc);
            break;
        }
    } while (testnext(ls, ',') || testnext(ls, ';'));
    check_match(ls, '}', '{', line);
    lastlistfield(fs, &cc);
    // Hints only raise the sizes, and never past what a table can hold.
    int na = cc.na > arrayhint ? cc.na : arrayhint;
    int nh = cc.nh > hashhint ? cc.nh : hashhint;
    if (na > MAXASIZE) {
        na = MAXASIZE;
    }
    if (nh > MAXASIZE) {
        nh = MAXASIZE;
    }
    Instruction& i = fs->f->code[pc];
    const int b = na > 0 ? int2fb(static_cast<unsigned int>(na)) : 0;
    int c = luaO_log2(static_cast<unsigned int>(nh)) + 1;
    if (c > MAXBITS) {
        c = MAXBITS;
    }
    i = CREATE_ABC(OpNewTable, GETARG_A(i), b, c);
}

// Functions.

static void parlist(ScriptLexer* ls) {
    int nparams = 0;
    int dots = 0;
    if (ls->t.token != ')') {
        do {
            switch (ls->t.token) {
            case TK_DOTS:
                dots = 1;
                next(ls);
                break;
            case TK_NAME:
                new_localvar(ls, str_checkname(ls), nparams++);
                break;
            default:
                luaX_syntaxerror(ls, "<name> or `...' expected");
            }
        } while (!dots && testnext(ls, ','));
    }
    code_params(ls, nparams, dots);
}

static void body(ScriptLexer* ls, ExprInfo* e, int needself, int line) {
    FunctionBuilder new_fs;
    open_func(ls, &new_fs);
    new_fs.f->lineDefined = line;
    checknext(ls, '(');
    if (needself) {
        new_localvarstr(ls, "self", 0);
        adjustlocalvars(ls, 1);
    }
    parlist(ls);
    checknext(ls, ')');
    chunk(ls);
    check_match(ls, TK_END, TK_FUNCTION, line);
    close_func(ls);
    pushclosure(ls, &new_fs, e);
}

static int explist1(ScriptLexer* ls, ExprInfo* v) {
    int n = 1;
    expr(ls, v);
    while (testnext(ls, ',')) {
        luaK_exp2nextreg(ls->fs, v);
        expr(ls, v);
        n++;
    }
    return n;
}

static void funcargs(ScriptLexer* ls, ExprInfo* f) {
    FunctionBuilder* fs = ls->fs;
    ExprInfo args;
    const int line = ls->linenumber;
    switch (ls->t.token) {
    case '(':
        if (line != ls->lastline) {
            luaX_syntaxerror(ls, "ambiguous syntax (function call x new statement)");
        }
        next(ls);
        if (ls->t.token == ')') {
            args.k = VVOID;
        } else {
            explist1(ls, &args);
            luaK_setcallreturns(fs, &args, LUA_MULTRET);
        }
        check_match(ls, ')', '(', line);
        break;
    case '{':
        constructor(ls, &args);
        break;
    case TK_STRING:
    case TK_WSTRING:
        codestring(ls, &args, ls->t.seminfo.ts);
        next(ls); // must use the string before the next token replaces it
        break;
    default:
        luaX_syntaxerror(ls, "function arguments expected");
    }
    const int base = f->info; // base register of the call
    int nparams;
    if (args.k == VCALL) {
        nparams = LUA_MULTRET; // open call
    } else {
        if (args.k != VVOID) {
            luaK_exp2nextreg(fs, &args); // close the last argument
        }
        nparams = fs->freereg - (base + 1);
    }
    init_exp(f, VCALL, luaK_codeABC(fs, OpCall, base, nparams + 1, 2));
    luaK_fixline(fs, line);
    fs->freereg = base + 1; // the call removes function and arguments and leaves one result
}

// Expressions.

static void prefixexp(ScriptLexer* ls, ExprInfo* v) {
    switch (ls->t.token) {
    case '(': {
        const int line = ls->linenumber;
        next(ls);
        expr(ls, v);
        check_match(ls, ')', '(', line);
        luaK_dischargevars(ls->fs, v);
        return;
    }
    case TK_NAME:
        singlevar(ls, v, 1);
        return;
    default:
        luaX_syntaxerror(ls, "unexpected symbol");
    }
}

static void primaryexp(ScriptLexer* ls, ExprInfo* v) {
    FunctionBuilder* fs = ls->fs;
    prefixexp(ls, v);
    for (;;) {
        switch (ls->t.token) {
        case '.':
            luaY_field(ls, v);
            break;
        case '[': {
            ExprInfo key;
            luaK_exp2anyreg(fs, v);
            luaY_index(ls, &key);
            luaK_indexed(fs, v, &key);
            break;
        }
        case ':': {
            ExprInfo key;
            next(ls);
            checkname(ls, &key);
            luaK_self(fs, v, &key);
            funcargs(ls, v);
            break;
        }
        case '(':
        case TK_STRING:
        case TK_WSTRING:
        case '{':
            luaK_exp2nextreg(fs, v);
            funcargs(ls, v);
            break;
        default:
            return;
        }
    }
}

static void simpleexp(ScriptLexer* ls, ExprInfo* v) {
    switch (ls->t.token) {
    case TK_NUMBER:
        init_exp(v, VK, luaK_numberK(ls->fs, ls->t.seminfo.r));
        next(ls);
        break;
    case TK_STRING:
        codestring(ls, v, ls->t.seminfo.ts);
        next(ls);
        break;
    case TK_WSTRING:
        init_exp(v, VK, luaK_wstringK(ls->fs, ls->t.seminfo.ts));
        next(ls);
        break;
    case TK_NIL:
        init_exp(v, VNIL, 0);
        next(ls);
        break;
    case TK_TRUE:
        init_exp(v, VTRUE, 0);
        next(ls);
        break;
    case TK_FALSE:
        init_exp(v, VFALSE, 0);
        next(ls);
        break;
    case '{':
        constructor(ls, v);
        break;
    case TK_FUNCTION:
        next(ls);
        body(ls, v, 0, ls->linenumber);
        break;
    default:
        primaryexp(ls, v);
        break;
    }
}

static UnOpr getunopr(int op) {
    switch (op) {
    case TK_NOT:
        return OPR_NOT;
    case '-':
        return OPR_MINUS;
    default:
        return OPR_NOUNOPR;
    }
}

static BinOpr getbinopr(int op) {
    switch (op) {
    case '+':
        return OPR_ADD;
    case '-':
        return OPR_SUB;
    case '*':
        return OPR_MULT;
    case '/':
        return OPR_DIV;
    case '&':
        return OPR_BAND;
    case '|':
        return OPR_BOR;
    case TK_SHL:
        return OPR_SHL;
    case TK_SHR:
        return OPR_SHR;
    case '^':
        return OPR_POW;
    case TK_CONCAT:
        return OPR_CONCAT;
    case TK_NE:
        return OPR_NE;
    case TK_EQ:
        return OPR_EQ;
    case '<':
        return OPR_LT;
    case TK_LE:
        return OPR_LE;
    case '>':
        return OPR_GT;
    case TK_GE:
        return OPR_GE;
    case TK_AND:
        return OPR_AND;
    case TK_OR:
        return OPR_OR;
    default:
        return OPR_NOBINOPR;
    }
}

static const struct {
    lu_byte left;  // priority of each binary operator on its left
    lu_byte right; // and on its right
} priority[] = {
    {6, 6},  {6, 6}, {7, 7}, {7, 7},                 // + - * /
    {8, 8},  {8, 8}, {8, 8}, {8, 8},                 // & | << >>
    {10, 9}, {5, 4},                                 // ^ .. (right associative)
    {3, 3},  {3, 3}, {3, 3}, {3, 3}, {3, 3}, {3, 3}, // comparisons
    {2, 2},  {1, 1}                                  // and, or
};

#define UNARY_PRIORITY 8

// subexpr -> (simpleexp | unop subexpr) { binop subexpr }, where binop binds tighter than limit.
static BinOpr subexpr(ScriptLexer* ls, ExprInfo* v, int limit) {
    enterlevel(ls);
    const UnOpr uop = getunopr(ls->t.token);
    if (uop != OPR_NOUNOPR) {
        next(ls);
        subexpr(ls, v, UNARY_PRIORITY);
        luaK_prefix(ls->fs, uop, v);
    } else {
        simpleexp(ls, v);
    }
    BinOpr op = getbinopr(ls->t.token);
    while (op != OPR_NOBINOPR && priority[op].left > limit) {
        ExprInfo v2;
        next(ls);
        luaK_infix(ls->fs, op, v);
        const BinOpr nextop = subexpr(ls, &v2, priority[op].right);
        luaK_posfix(ls->fs, op, v, &v2);
        op = nextop;
    }
    leavelevel(ls);
    return op;
}

static void expr(ScriptLexer* ls, ExprInfo* v) {
    subexpr(ls, v, -1);
}

// Rules for statements.

static int block_follow(int token) {
    switch (token) {
    case TK_ELSE:
    case TK_ELSEIF:
    case TK_END:
    case TK_UNTIL:
    case TK_EOS:
        return 1;
    default:
        return 0;
    }
}

static void block(ScriptLexer* ls) {
    FunctionBuilder* fs = ls->fs;
    BlockScope bl;
    enterblock(fs, &bl, 0);
    chunk(ls);
    leaveblock(fs);
}

// The variables on the left of an assignment, chained from the last one back.
struct LHS_assign {
    LHS_assign* prev;
    ExprInfo v;
};

// When a local assigned to is also the table or key of an indexed variable earlier in the list,
// that index uses a safe copy made before the assignment.
static void check_conflict(ScriptLexer* ls, LHS_assign* lh, ExprInfo* v) {
    FunctionBuilder* fs = ls->fs;
    const int extra = fs->freereg;
    bool conflict = false;
    for (; lh; lh = lh->prev) {
        if (lh->v.k == VINDEXED) {
            if (lh->v.info == v->info) {
                conflict = true;
                lh->v.info = extra;
            }
            if (lh->v.aux == v->info) {
                conflict = true;
                lh->v.aux = extra;
            }
        }
    }
    if (conflict) {
        luaK_codeABC(fs, OpCopy, fs->freereg, v->info, 0);
        luaK_reserveregs(fs, 1);
    }
}

// Each further target recurses; the nesting limit keeps a long target list off the native stack.
static void assignment(ScriptLexer* ls, LHS_assign* lh, int nvars) {
    ExprInfo e;
    enterlevel(ls);
    check_condition(ls, VLOCAL <= lh->v.k && lh->v.k <= VINDEXED, "syntax error");
    if (testnext(ls, ',')) {
        LHS_assign nv;
        nv.prev = lh;
        primaryexp(ls, &nv.v);
        if (nv.v.k == VLOCAL) {
            check_conflict(ls, lh, &nv.v);
        }
        assignment(ls, &nv, nvars + 1);
    } else {
        checknext(ls, '=');
        const int nexps = explist1(ls, &e);
        if (nexps != nvars) {
            adjust_assign(ls, nvars, nexps, &e);
            if (nexps > nvars) {
                ls->fs->freereg -= nexps - nvars; // drop the extra values
            }
        } else {
            luaK_setcallreturns(ls->fs, &e, 1);
            luaK_storevar(ls->fs, &lh->v, &e);
            leavelevel(ls);
            return;
        }
    }
    init_exp(&e, VNONRELOC, ls->fs->freereg - 1); // default assignment
    luaK_storevar(ls->fs, &lh->v, &e);
    leavelevel(ls);
}

static void cond(ScriptLexer* ls, ExprInfo* v) {
    expr(ls, v);
    if (v->k == VNIL) {
        v->k = VFALSE; // all false values are equal here
    }
    luaK_goiftrue(ls->fs, v);
    luaK_patchtohere(ls->fs, v->t);
}

static void whilestat(ScriptLexer* ls, int line) {
    // whilestat -> WHILE cond DO block END; the condition's code is moved after the body
    Instruction codeexp[MAXEXPWHILE + EXTRAEXP];
    int lineexp[MAXEXPWHILE + EXTRAEXP];
    FunctionBuilder* fs = ls->fs;
    ExprInfo v;
    BlockScope bl;
    next(ls);
    const int whileinit = luaK_jump(fs); // jump to the condition
    const int expinit = luaK_getlabel(fs);
    expr(ls, &v);
    if (v.k == VK) {
        v.k = VTRUE;
    }
    luaK_goiffalse(fs, &v);
    luaK_concat(fs, &v.f, fs->jpc);
    fs->jpc = NO_JUMP;
    const int sizeexp = fs->pc - expinit;
    if (sizeexp > MAXEXPWHILE) {
        luaX_syntaxerror(ls, "`while' condition too complex");
    }
    for (int i = 0; i < sizeexp; i++) { // save the condition's code
        codeexp[i] = fs->f->code[expinit + i];
        lineexp[i] = fs->f->lineinfo[expinit + i];
    }
    fs->pc = expinit; // and remove it
    enterblock(fs, &bl, 1);
    checknext(ls, TK_DO);
    const int blockinit = luaK_getlabel(fs);
    block(ls);
    luaK_patchtohere(fs, whileinit); // the first jump comes here
    luaK_patchtohere(fs, bl.continuelist);
    // Put the condition back.
    if (v.t != NO_JUMP) {
        v.t += fs->pc - expinit;
    }
    if (v.f != NO_JUMP) {
        v.f += fs->pc - expinit;
    }
    for (int i = 0; i < sizeexp; i++) {
        luaK_code(fs, codeexp[i], lineexp[i]);
    }
    check_match(ls, TK_END, TK_WHILE, line);
    leaveblock(fs);
    luaK_patchlist(fs, v.t, blockinit); // a true condition loops again
    luaK_patchtohere(fs, v.f);          // a false one ends the loop
}

static void repeatstat(ScriptLexer* ls, int line) {
    FunctionBuilder* fs = ls->fs;
    const int repeat_init = luaK_getlabel(fs);
    ExprInfo v;
    BlockScope bl;
    enterblock(fs, &bl, 1);
    next(ls);
    block(ls);
    luaK_patchtohere(fs, bl.continuelist);
    check_match(ls, TK_UNTIL, TK_REPEAT, line);
    cond(ls, &v);
    luaK_patchlist(fs, v.f, repeat_init);
    leaveblock(fs);
}

static int exp1(ScriptLexer* ls) {
    ExprInfo e;
    expr(ls, &e);
    const int k = e.k;
    luaK_exp2nextreg(ls->fs, &e);
    return k;
}

static void forbody(ScriptLexer* ls, int base, int line, int nvars, int isnum) {
    BlockScope bl;
    FunctionBuilder* fs = ls->fs;
    adjustlocalvars(ls, nvars); // scope of all the variables
    checknext(ls, TK_DO);
    enterblock(fs, &bl, 1);
    const int prep = luaK_getlabel(fs);
    block(ls);
    luaK_patchtohere(fs, prep - 1);
    luaK_patchtohere(fs, bl.continuelist);
    const int endfor = isnum ? luaK_codeAsBx(fs, OpNumForLoop, base, NO_JUMP)
                             : luaK_codeABC(fs, OpIterLoop, base, 0, nvars - 3);
    luaK_fixline(fs, line); // the loop instruction belongs to the `for' line
    luaK_patchlist(fs, isnum ? endfor : luaK_jump(fs), prep);
    leaveblock(fs);
}

static void fornum(ScriptLexer* ls, TString* varname, int line) {
    FunctionBuilder* fs = ls->fs;
    const int base = fs->freereg;
    new_localvar(ls, varname, 0);
    new_localvarstr(ls, "(for limit)", 1);
    new_localvarstr(ls, "(for step)", 2);
    checknext(ls, '=');
    exp1(ls); // initial value
    checknext(ls, ',');
    exp1(ls); // limit
    if (testnext(ls, ',')) {
        exp1(ls); // step
    } else {
        luaK_codeABx(fs, OpLoadConst, fs->freereg, luaK_numberK(fs, 1));
        luaK_reserveregs(fs, 1);
    }
    luaK_codeABC(fs, OpSub, fs->freereg - 3, fs->freereg - 3, fs->freereg - 1);
    luaK_jump(fs);
    forbody(ls, base, line, 3, 1);
}

static void forlist(ScriptLexer* ls, TString* indexname) {
    FunctionBuilder* fs = ls->fs;
    ExprInfo e;
    int nvars = 0;
    const int base = fs->freereg;
    new_localvarstr(ls, "(for generator)", nvars++);
    new_localvarstr(ls, "(for state)", nvars++);
    new_localvar(ls, indexname, nvars++);
    while (testnext(ls, ',')) {
        new_localvar(ls, str_checkname(ls), nvars++);
    }
    checknext(ls, TK_IN);
    const int line = ls->linenumber;
    adjust_assign(ls, nvars, explist1(ls, &e), &e);
    luaK_checkstack(fs, 3); // room to call the generator
    luaK_codeAsBx(fs, OpIterPrep, base, NO_JUMP);
    forbody(ls, base, line, nvars, 0);
}

static void forstat(ScriptLexer* ls, int line) {
    FunctionBuilder* fs = ls->fs;
    BlockScope bl;
    enterblock(fs, &bl, 0); // scope of the control variables
    next(ls);
    TString* varname = str_checkname(ls);
    switch (ls->t.token) {
    case '=':
        fornum(ls, varname, line);
        break;
    case ',':
    case TK_IN:
        forlist(ls, varname);
        break;
    default:
        luaX_syntaxerror(ls, "`=' or `in' expected");
    }
    check_match(ls, TK_END, TK_FOR, line);
    leaveblock(fs);
}

static void test_then_block(ScriptLexer* ls, ExprInfo* v) {
    next(ls); // skip IF or ELSEIF
    cond(ls, v);
    checknext(ls, TK_THEN);
    block(ls);
}

static void ifstat(ScriptLexer* ls, int line) {
    FunctionBuilder* fs = ls->fs;
    ExprInfo v;
    int escapelist = NO_JUMP;
    test_then_block(ls, &v);
    while (ls->t.token == TK_ELSEIF) {
        luaK_concat(fs, &escapelist, luaK_jump(fs));
        luaK_patchtohere(fs, v.f);
        test_then_block(ls, &v);
    }
    if (ls->t.token == TK_ELSE) {
        luaK_concat(fs, &escapelist, luaK_jump(fs));
        luaK_patchtohere(fs, v.f);
        next(ls);
        block(ls);
    } else {
        luaK_concat(fs, &escapelist, v.f);
    }
    luaK_patchtohere(fs, escapelist);
    check_match(ls, TK_END, TK_IF, line);
}

static void localfunc(ScriptLexer* ls) {
    ExprInfo v;
    ExprInfo b;
    FunctionBuilder* fs = ls->fs;
    new_localvar(ls, str_checkname(ls), 0);
    init_exp(&v, VLOCAL, fs->freereg);
    luaK_reserveregs(fs, 1);
    adjustlocalvars(ls, 1);
    body(ls, &b, 0, ls->linenumber);
    luaK_storevar(fs, &v, &b);
    getlocvar(fs, fs->nactvar - 1).startpc = fs->pc; // the local is visible only now
}

static void localstat(ScriptLexer* ls) {
    int nvars = 0;
    int nexps;
    ExprInfo e;
    do {
        new_localvar(ls, str_checkname(ls), nvars++);
    } while (testnext(ls, ','));
    if (testnext(ls, '=')) {
        nexps = explist1(ls, &e);
    } else {
        e.k = VVOID;
        nexps = 0;
    }
    adjust_assign(ls, nvars, nexps, &e);
    adjustlocalvars(ls, nvars);
}

static int funcname(ScriptLexer* ls, ExprInfo* v) {
    int needself = 0;
    singlevar(ls, v, 1);
    while (ls->t.token == '.') {
        luaY_field(ls, v);
    }
    if (ls->t.token == ':') {
        needself = 1;
        luaY_field(ls, v);
    }
    return needself;
}

static void funcstat(ScriptLexer* ls, int line) {
    ExprInfo v;
    ExprInfo b;
    next(ls); // skip FUNCTION
    const int needself = funcname(ls, &v);
    body(ls, &b, needself, line);
    luaK_storevar(ls->fs, &v, &b);
    luaK_fixline(ls->fs, line); // the definition happens on the first line
}

static void exprstat(ScriptLexer* ls) {
    FunctionBuilder* fs = ls->fs;
    LHS_assign v;
    primaryexp(ls, &v.v);
    if (v.v.k == VCALL) { // a call statement uses no results
        luaK_setcallreturns(fs, &v.v, 0);
    } else {
        v.prev = nullptr;
        assignment(ls, &v, 1);
    }
}

static void retstat(ScriptLexer* ls) {
    FunctionBuilder* fs = ls->fs;
    ExprInfo e;
    int first;
    int nret;
    next(ls); // skip RETURN
    if (block_follow(ls->t.token) || ls->t.token == ';') {
        first = nret = 0; // return no values
    } else {
        nret = explist1(ls, &e);
        if (e.k == VCALL) {
            luaK_setcallreturns(fs, &e, LUA_MULTRET);
            if (nret == 1) { // a tail call
                Instruction& i = getcode(fs, &e);
                i = (i & ~static_cast<Instruction>((1u << SIZE_OP) - 1)) | OpTailCall;
            }
            first = fs->nactvar;
            nret = LUA_MULTRET;
        } else if (nret == 1) {
            first = luaK_exp2anyreg(fs, &e);
        } else {
            luaK_exp2nextreg(fs, &e); // values must go to the stack
            first = fs->nactvar;
        }
    }
    luaK_codeABC(fs, OpReturn, first, nret + 1, 0);
}

// The loop block of `break n' / `continue n', and whether a block left on the way has captured
// locals.
static BlockScope* findloop(ScriptLexer* ls, bool isbreak, int* upval) {
    FunctionBuilder* fs = ls->fs;
    int n = 1;
    next(ls); // skip BREAK or CONTINUE
    if (ls->t.token == TK_NUMBER) {
        const lua_Number r = ls->t.seminfo.r;
        int32_t k;
        if (std::floor(r) != r) {
            luaX_syntaxerror(ls, "loop block number must be integer");
        }
        if (!LuaNumberIsInt(r, &k) || k < 1 || k > MAXLOOPNUMBER) {
            luaX_syntaxerror(ls, "loop block number out of range");
        }
        n = k;
        next(ls);
    }
    BlockScope* bl = fs->bl;
    *upval = 0;
    for (;;) {
        if (bl == nullptr) {
            luaX_syntaxerror(ls, isbreak ? "no loop to break" : "no loop to continue");
        }
        if (bl->isloop && --n == 0) {
            return bl;
        }
        *upval |= bl->upval;
        bl = bl->previous;
    }
}

static void breakstat(ScriptLexer* ls) {
    FunctionBuilder* fs = ls->fs;
    int upval;
    BlockScope* bl = findloop(ls, true, &upval);
    if (upval) {
        luaK_codeABC(fs, OpCloseUpvalues, bl->nactvar, 0, 0);
    }
    luaK_concat(fs, &bl->breaklist, luaK_jump(fs));
}

// The continue point lies past the body's own closing of captured locals, so a `continue' closes
// them itself: every pass gets fresh variables.
static void continuestat(ScriptLexer* ls) {
    FunctionBuilder* fs = ls->fs;
    int upval;
    BlockScope* bl = findloop(ls, false, &upval);
    if (upval) {
        luaK_codeABC(fs, OpCloseUpvalues, bl->nactvar, 0, 0);
    }
    luaK_concat(fs, &bl->continuelist, luaK_jump(fs));
}

static int statement(ScriptLexer* ls) {
    const int line = ls->linenumber;
    switch (ls->t.token) {
    case TK_IF:
        ifstat(ls, line);
        return 0;
    case TK_WHILE:
        whilestat(ls, line);
        return 0;
    case TK_DO:
        next(ls);
        block(ls);
        check_match(ls, TK_END, TK_DO, line);
        return 0;
    case TK_FOR:
        forstat(ls, line);
        return 0;
    case TK_REPEAT:
        repeatstat(ls, line);
        return 0;
    case TK_FUNCTION:
        funcstat(ls, line);
        return 0;
    case TK_LOCAL:
        next(ls);
        if (testnext(ls, TK_FUNCTION)) {
            localfunc(ls);
        } else {
            localstat(ls);
        }
        return 0;
    case TK_RETURN:
        retstat(ls);
        return 1; // must be the last statement
    case TK_BREAK:
        breakstat(ls);
        return 1;
    case TK_CONTINUE:
        continuestat(ls);
        return 1;
    default:
        exprstat(ls);
        return 0;
    }
}

static void chunk(ScriptLexer* ls) {
    int islast = 0;
    enterlevel(ls);
    while (!islast && !block_follow(ls->t.token)) {
        islast = statement(ls);
        testnext(ls, ';');
        ls->fs->freereg = ls->fs->nactvar; // free registers
    }
    leavelevel(ls);
}
