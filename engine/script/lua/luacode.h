// The code generator: turns the parser's expression descriptors into register-machine
// instructions, keeps a function's constants and jump lists and allocates its registers. Used by
// the parser during one compilation, on the loading thread.
#pragma once

#include "engine/script/lua/lualex.h"
#include "engine/script/lua/luaopcodes.h"

#define NO_JUMP (-1)
#define NO_REG MAXARG_A
#define MAXUPVALUES 32
#define MAXVARS 200
#define MAXPARAMS 100

enum expkind {
    VVOID, // no value
    VNIL,
    VTRUE,
    VFALSE,
    VK,         // info = constant index
    VLOCAL,     // info = register
    VUPVAL,     // info = upvalue index
    VGLOBAL,    // info = constant index of the name
    VINDEXED,   // info = table register, aux = key register-or-constant
    VJMP,       // info = position of the jump
    VRELOCABLE, // info = position of the instruction whose A is still free
    VNONRELOC,  // info = register
    VCALL       // info = position of the call
};

struct ExprInfo {
    int32_t k;
    int32_t info;
    int32_t aux;
    int32_t t; // patch list of "exit when true"
    int32_t f; // patch list of "exit when false"
};

struct BlockScope;

struct FunctionBuilder {
    Proto* f;
    Table* h; // constant value -> index
    FunctionBuilder* prev;
    ScriptLexer* ls;
    lua_State* L;
    BlockScope* bl;
    int pc;
    int lasttarget;
    int jpc; // jumps waiting for the next instruction
    int freereg;
    int nk;
    int np;
    int nlocvars;
    int nactvar;
    ptrdiff_t anchorlevel; // stack offset of the slots keeping f and h alive while it is built
    ExprInfo upvalues[MAXUPVALUES];
    int actvar[MAXVARS];
};

// Operator numbers: the code generator maps 0-8 to opcodes by adding OpAdd.
enum BinOpr {
    OPR_ADD,
    OPR_SUB,
    OPR_MULT,
    OPR_DIV,
    OPR_BAND,
    OPR_BOR,
    OPR_SHL,
    OPR_SHR,
    OPR_POW,
    OPR_CONCAT,
    OPR_NE,
    OPR_EQ,
    OPR_LT,
    OPR_LE,
    OPR_GT,
    OPR_GE,
    OPR_AND,
    OPR_OR,
    OPR_NOBINOPR
};

enum UnOpr { OPR_MINUS, OPR_NOT, OPR_NOUNOPR };

inline Instruction& getcode(FunctionBuilder* fs, const ExprInfo* e) {
    return fs->f->code[e->info];
}

int luaK_code(FunctionBuilder* fs, Instruction i, int line);
int luaK_codeABx(FunctionBuilder* fs, OpCode o, int a, int bx);
int luaK_codeABC(FunctionBuilder* fs, OpCode o, int a, int b, int c);
inline int luaK_codeAsBx(FunctionBuilder* fs, OpCode o, int a, int sbx) {
    return luaK_codeABx(fs, o, a, sbx + MAXARG_sBx);
}
void luaK_fixline(FunctionBuilder* fs, int line);
void luaK_nil(FunctionBuilder* fs, int from, int n);
void luaK_reserveregs(FunctionBuilder* fs, int n);
void luaK_checkstack(FunctionBuilder* fs, int n);
int luaK_stringK(FunctionBuilder* fs, TString* s);
int luaK_numberK(FunctionBuilder* fs, lua_Number r);
int luaK_wstringK(FunctionBuilder* fs, TString* ws);
void luaK_dischargevars(FunctionBuilder* fs, ExprInfo* e);
int luaK_exp2anyreg(FunctionBuilder* fs, ExprInfo* e);
void luaK_exp2nextreg(FunctionBuilder* fs, ExprInfo* e);
void luaK_exp2val(FunctionBuilder* fs, ExprInfo* e);
int luaK_exp2RK(FunctionBuilder* fs, ExprInfo* e);
void luaK_self(FunctionBuilder* fs, ExprInfo* e, ExprInfo* key);
void luaK_indexed(FunctionBuilder* fs, ExprInfo* t, ExprInfo* k);
void luaK_goiftrue(FunctionBuilder* fs, ExprInfo* e);
void luaK_goiffalse(FunctionBuilder* fs, ExprInfo* e);
void luaK_storevar(FunctionBuilder* fs, ExprInfo* var, ExprInfo* e);
void luaK_setcallreturns(FunctionBuilder* fs, ExprInfo* e, int nresults);
int luaK_jump(FunctionBuilder* fs);
void luaK_patchlist(FunctionBuilder* fs, int list, int target);
void luaK_patchtohere(FunctionBuilder* fs, int list);
void luaK_concat(FunctionBuilder* fs, int* l1, int l2);
int luaK_getlabel(FunctionBuilder* fs);
void luaK_prefix(FunctionBuilder* fs, UnOpr op, ExprInfo* v);
void luaK_infix(FunctionBuilder* fs, BinOpr op, ExprInfo* v);
void luaK_posfix(FunctionBuilder* fs, BinOpr op, ExprInfo* v1, ExprInfo* v2);
