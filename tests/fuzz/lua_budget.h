// Bounds on the work of fuzzed Lua text. The script machine has no instruction hook, so the bound
// is built from what it has: code is refused unless it has no loop, no backward jump and no tail
// call (a function activation then runs at most its code's length), and a call or return hook
// counts activations against a budget of the target's own. Memory goes through a counting
// allocator (gLuaAlloc) with a budget.
#pragma once

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luaopcodes.h"

#include <cstddef>
#include <cstdlib>

namespace lua_budget {

inline constexpr size_t kMemoryBudget = 64u << 20;

inline size_t sMemoryInUse = 0;
// Set when the allocator refused a block for the budget; the target clears it.
inline bool sMemoryRefused = false;

inline void* CountingAlloc(void*, void* block, size_t oldsize, size_t newsize, int, int) {
    if (newsize == 0) {
        std::free(block);
        sMemoryInUse -= block != nullptr ? oldsize : 0;
        return nullptr;
    }
    const size_t old = block != nullptr ? oldsize : 0;
    if (newsize > old && sMemoryInUse + (newsize - old) > kMemoryBudget) {
        sMemoryRefused = true;
        return nullptr;
    }
    void* grown = std::realloc(block, newsize);
    if (grown != nullptr) {
        sMemoryInUse = sMemoryInUse - old + newsize;
    }
    return grown;
}

// Whether every activation of the tree's functions ends within its code's length.
inline bool LoopFree(const Proto* p) {
    for (int pc = 0; pc < p->sizecode; pc++) {
        const Instruction i = p->code[pc];
        switch (GET_OPCODE(i)) {
        case OpJump:
            if (GETARG_sBx(i) < 0) {
                return false;
            }
            break;
        case OpNumForLoop:
        case OpIterLoop:
        case OpTailCall:
            return false;
        default:
            break;
        }
    }
    for (int k = 0; k < p->sizep; k++) {
        if (!LoopFree(p->p[k])) {
            return false;
        }
    }
    return true;
}

} // namespace lua_budget
