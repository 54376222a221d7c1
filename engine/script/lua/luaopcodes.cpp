#include "engine/script/lua/luaopcodes.h"

const lu_byte luaP_opmodes[NUM_OPCODES] = {
    0x24, // OpCopy
    0x61, // OpLoadConst
    0x20, // OpLoadBool
    0x24, // OpLoadNil
    0x20, // OpGetUpvalue
    0x61, // OpGetGlobal
    0x34, // OpGetIndex
    0x41, // OpSetGlobal
    0x00, // OpSetUpvalue
    0x18, // OpSetIndex
    0x20, // OpNewTable
    0x34, // OpMethod
    0x38, // OpAdd
    0x38, // OpSub
    0x38, // OpMul
    0x38, // OpDiv
    0x38, // OpBitAnd
    0x38, // OpBitOr
    0x38, // OpShiftLeft
    0x38, // OpShiftRight
    0x38, // OpCaret
    0x24, // OpNegate
    0x24, // OpNot
    0x34, // OpConcat
    0x02, // OpJump
    0x98, // OpEqual
    0x98, // OpLess
    0x98, // OpLessEqual
    0xA4, // OpTestSet
    0x00, // OpCall
    0x00, // OpTailCall
    0x00, // OpReturn
    0x02, // OpNumForLoop
    0x80, // OpIterLoop
    0x02, // OpIterPrep
    0x01, // OpSetList
    0x01, // OpSetListOpen
    0x00, // OpCloseUpvalues
    0x21, // OpClosure
};
