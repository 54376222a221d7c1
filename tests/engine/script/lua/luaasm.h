// A test assembler for the virtual machine: builds function prototypes instruction by instruction,
// with constants, upvalue names, nested prototypes, locals and line information, and pushes them as
// closures. The instruction encodings and opcode numbers are written down here on their own, not
// taken from the machine's headers, so that a wrong convention in the machine shows up as a failing
// test. Header-only, so that the benchmarks can use it too. Single-threaded, like a state.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luastate.h"
#include "engine/script/lua/luastring.h"

namespace luaasm {

// Opcode numbers of the instruction set.
enum Op : uint32_t {
    COPY = 0,
    LOADCONST = 1,
    LOADBOOL = 2,
    LOADNIL = 3,
    GETUPVALUE = 4,
    GETGLOBAL = 5,
    GETINDEX = 6,
    SETGLOBAL = 7,
    SETUPVALUE = 8,
    SETINDEX = 9,
    NEWTABLE = 10,
    METHOD = 11,
    ADD = 12,
    SUB = 13,
    MUL = 14,
    DIV = 15,
    BITAND = 16,
    BITOR = 17,
    SHIFTLEFT = 18,
    SHIFTRIGHT = 19,
    CARET = 20,
    NEGATE = 21,
    NOT = 22,
    CONCAT = 23,
    JUMP = 24,
    EQUAL = 25,
    LESS = 26,
    LESSEQUAL = 27,
    TESTSET = 28,
    CALL = 29,
    TAILCALL = 30,
    RETURN = 31,
    NUMFORLOOP = 32,
    ITERLOOP = 33,
    ITERPREP = 34,
    SETLIST = 35,
    SETLISTOPEN = 36,
    CLOSEUPVALUES = 37,
    CLOSURE = 38,
};

// Field layout: opcode bits 0-5, C 6-14, B 15-23, A 24-31; Bx spans 6-23, sBx = Bx - 131071.
inline uint32_t EncABC(Op op, int a, int b, int c) {
    return static_cast<uint32_t>(op) | (static_cast<uint32_t>(c) << 6) |
           (static_cast<uint32_t>(b) << 15) | (static_cast<uint32_t>(a) << 24);
}
inline uint32_t EncABx(Op op, int a, int bx) {
    return static_cast<uint32_t>(op) | (static_cast<uint32_t>(bx) << 6) |
           (static_cast<uint32_t>(a) << 24);
}
inline uint32_t EncAsBx(Op op, int a, int sbx) {
    return EncABx(op, a, sbx + 131071);
}

// Operand naming constant n in an RK field.
inline int RK(int n) {
    return 250 + n;
}

struct Const {
    Const(int type_ = LUA_TNIL, double n_ = 0, std::string s_ = {}, std::u16string w_ = {})
        : type(type_), n(n_), s(std::move(s_)), w(std::move(w_)) {}
    int type; // LUA_TNIL, LUA_TNUMBER, LUA_TSTRING, LUA_TWSTRING
    double n;
    std::string s;
    std::u16string w;
};

class Func {
public:
    // Emitters return the position of the instruction.
    int ABC(Op op, int a, int b, int c) { return Emit(EncABC(op, a, b, c)); }
    int ABx(Op op, int a, int bx) { return Emit(EncABx(op, a, bx)); }
    int AsBx(Op op, int a, int sbx) { return Emit(EncAsBx(op, a, sbx)); }
    int Emit(uint32_t ins) {
        code.push_back(ins);
        lines.push_back(line);
        return static_cast<int>(code.size()) - 1;
    }
    int Here() const { return static_cast<int>(code.size()); }
    // Sets the sBx of the jump-like instruction at pos so that it lands on target.
    void PatchTo(int pos, int target) {
        const uint32_t op = code[pos] & 63;
        const int a = static_cast<int>(code[pos] >> 24);
        code[pos] = EncAsBx(static_cast<Op>(op), a, target - (pos + 1));
    }

    // Constants: each call appends one (tests control the indices).
    int Num(double v) {
        k.push_back({LUA_TNUMBER, v, {}, {}});
        return static_cast<int>(k.size()) - 1;
    }
    int Str(const std::string& v) {
        k.push_back({LUA_TSTRING, 0, v, {}});
        return static_cast<int>(k.size()) - 1;
    }
    int WStr(const std::u16string& v) {
        k.push_back({LUA_TWSTRING, 0, {}, v});
        return static_cast<int>(k.size()) - 1;
    }
    int Nil() {
        k.push_back({LUA_TNIL, 0, {}, {}});
        return static_cast<int>(k.size()) - 1;
    }
    // A local variable name for registers, live from startpc up to (not including) endpc.
    void Local(const std::string& name, int startpc, int endpc) {
        locals.push_back({name, startpc, endpc});
    }
    int Sub(Func f) {
        protos.push_back(std::move(f));
        return static_cast<int>(protos.size()) - 1;
    }

    std::vector<uint32_t> code;
    std::vector<int> lines;
    std::vector<Const> k;
    std::vector<Func> protos;
    struct LocalVar {
        std::string name;
        int startpc;
        int endpc;
    };
    std::vector<LocalVar> locals;
    std::vector<std::string> upvalueNames;
    int line = 1; // line recorded for the next instruction
    int nups = 0;
    int numparams = 0;
    bool vararg = false;
    int maxstack = 20;
    int lineDefined = 0;
    std::string source = "=asm";
};

// Builds the prototype tree. No collection can run while it is built (only safe points collect),
// and every part is allocated through the state so the collector frees it like compiled code.
inline Proto* Build(lua_State* L, const Func& f, TString* parentSource = nullptr) {
    Proto* p = luaF_newproto(L);
    p->source = parentSource != nullptr && f.source == "=asm" ? parentSource
                                                              : luaS_new(L, f.source.c_str());
    p->lineDefined = f.lineDefined;
    p->nups = static_cast<lu_byte>(f.nups);
    p->numparams = static_cast<lu_byte>(f.numparams);
    p->is_vararg = f.vararg ? 1 : 0;
    p->maxstacksize = static_cast<lu_byte>(f.maxstack);

    p->code = luaM_newvector<Instruction>(L, f.code.size());
    p->sizecode = static_cast<int>(f.code.size());
    for (size_t i = 0; i < f.code.size(); i++) {
        p->code[i] = f.code[i];
    }
    p->lineinfo = luaM_newvector<int>(L, f.lines.size());
    p->sizelineinfo = static_cast<int>(f.lines.size());
    for (size_t i = 0; i < f.lines.size(); i++) {
        p->lineinfo[i] = f.lines[i];
    }
    p->k = luaM_newvector<TObject>(L, f.k.size());
    for (size_t i = 0; i < f.k.size(); i++) {
        setnilvalue(&p->k[i]);
    }
    p->sizek = static_cast<int>(f.k.size());
    for (size_t i = 0; i < f.k.size(); i++) {
        const Const& c = f.k[i];
        switch (c.type) {
        case LUA_TNUMBER:
            setnvalue(&p->k[i], c.n);
            break;
        case LUA_TSTRING:
            setsvalue(&p->k[i], luaS_newlstr(L, c.s.data(), c.s.size()));
            break;
        case LUA_TWSTRING:
            setsvalue(&p->k[i], luaS_newlwstr(L, c.w.data(), c.w.size()));
            break;
        default:
            break;
        }
    }
    p->locvars = luaM_newvector<LocVar>(L, f.locals.size());
    p->sizelocvars = static_cast<int>(f.locals.size());
    for (size_t i = 0; i < f.locals.size(); i++) {
        p->locvars[i].varname = luaS_new(L, f.locals[i].name.c_str());
        p->locvars[i].startpc = f.locals[i].startpc;
        p->locvars[i].endpc = f.locals[i].endpc;
    }
    p->upvalues = luaM_newvector<TString*>(L, f.upvalueNames.size());
    p->sizeupvalues = static_cast<int>(f.upvalueNames.size());
    for (size_t i = 0; i < f.upvalueNames.size(); i++) {
        p->upvalues[i] = luaS_new(L, f.upvalueNames[i].c_str());
    }
    p->p = luaM_newvector<Proto*>(L, f.protos.size());
    for (size_t i = 0; i < f.protos.size(); i++) {
        p->p[i] = nullptr;
    }
    p->sizep = static_cast<int>(f.protos.size());
    for (size_t i = 0; i < f.protos.size(); i++) {
        p->p[i] = Build(L, f.protos[i], p->source);
    }
    return p;
}

// Pushes a closure of f (which must have no upvalues) whose environment is the table of globals.
inline void Push(lua_State* L, const Func& f) {
    lua_checkstack(L, 1);
    Proto* p = Build(L, f);
    Closure* cl = luaF_newLclosure(L, 0, gt(L));
    cl->l.p = p;
    setclvalue(L->top, cl);
    L->top++;
}

} // namespace luaasm
