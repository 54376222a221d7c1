// Instruction layout and opcode numbers of the virtual machine. An instruction is one unsigned
// 32-bit word: opcode in bits 0-5, C in 6-14, B in 15-23, A in 24-31; Bx and sBx span B and C.
#pragma once

#include "engine/script/lua/luaobject.h"

#define SIZE_OP 6
#define SIZE_C 9
#define SIZE_B 9
#define SIZE_A 8
#define SIZE_Bx (SIZE_C + SIZE_B)
#define POS_C SIZE_OP
#define POS_B (POS_C + SIZE_C)
#define POS_Bx POS_C
#define POS_A (POS_B + SIZE_B)
#define MAXARG_Bx ((1 << SIZE_Bx) - 1)
#define MAXARG_sBx (MAXARG_Bx >> 1)
#define MAXARG_A ((1 << SIZE_A) - 1)
#define MAXARG_B ((1 << SIZE_B) - 1)
#define MAXARG_C ((1 << SIZE_C) - 1)
#define MAXSTACK 250 // registers of a function; RK operands at or above it name constants

enum OpCode {
    OpCopy,
    OpLoadConst,
    OpLoadBool,
    OpLoadNil,
    OpGetUpvalue,
    OpGetGlobal,
    OpGetIndex,
    OpSetGlobal,
    OpSetUpvalue,
    OpSetIndex,
    OpNewTable,
    OpMethod,
    OpAdd,
    OpSub,
    OpMul,
    OpDiv,
    OpBitAnd,
    OpBitOr,
    OpShiftLeft,
    OpShiftRight,
    OpCaret,
    OpNegate,
    OpNot,
    OpConcat,
    OpJump,
    OpEqual,
    OpLess,
    OpLessEqual,
    OpTestSet,
    OpCall,
    OpTailCall,
    OpReturn,
    OpNumForLoop,
    OpIterLoop,
    OpIterPrep,
    OpSetList,
    OpSetListOpen,
    OpCloseUpvalues,
    OpClosure,
    NUM_OPCODES
};

inline OpCode GET_OPCODE(Instruction i) {
    return static_cast<OpCode>(i & ((1u << SIZE_OP) - 1));
}
inline int GETARG_A(Instruction i) {
    return static_cast<int>((i >> POS_A) & MAXARG_A);
}
inline int GETARG_B(Instruction i) {
    return static_cast<int>((i >> POS_B) & MAXARG_B);
}
inline int GETARG_C(Instruction i) {
    return static_cast<int>((i >> POS_C) & MAXARG_C);
}
inline int GETARG_Bx(Instruction i) {
    return static_cast<int>((i >> POS_Bx) & MAXARG_Bx);
}
inline int GETARG_sBx(Instruction i) {
    return GETARG_Bx(i) - MAXARG_sBx;
}

inline Instruction CREATE_ABC(OpCode o, int a, int b, int c) {
    return static_cast<Instruction>(o) | (static_cast<Instruction>(a) << POS_A) |
           (static_cast<Instruction>(b) << POS_B) | (static_cast<Instruction>(c) << POS_C);
}
inline Instruction CREATE_ABx(OpCode o, int a, int bc) {
    return static_cast<Instruction>(o) | (static_cast<Instruction>(a) << POS_A) |
           (static_cast<Instruction>(bc) << POS_Bx);
}

inline Instruction CREATE_AsBx(OpCode o, int a, int sbx) {
    return CREATE_ABx(o, a, sbx + MAXARG_sBx);
}

// Instruction formats and the mode bits of each opcode, read by the code checker and the debug
// information.
enum OpMode { iABC, iABx, iAsBx };

#define OpModeBreg 2 // B is a register
#define OpModeBrk 3  // B is a register or a constant
#define OpModeCrk 4  // C is a register or a constant
#define OpModesetA 5 // the instruction sets register A
#define OpModeK 6    // Bx is a constant index
#define OpModeT 7    // a test: the next instruction is a jump

extern const lu_byte luaP_opmodes[NUM_OPCODES];

inline OpMode getOpMode(OpCode m) {
    return static_cast<OpMode>(luaP_opmodes[m] & 3);
}
inline bool testOpMode(OpCode m, int b) {
    return (luaP_opmodes[m] & (1 << b)) != 0;
}

// Items stored by one list instruction.
#define LFIELDS_PER_FLUSH 32
