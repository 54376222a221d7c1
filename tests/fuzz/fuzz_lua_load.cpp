// Feeds arbitrary bytes to lua_load as source text, 16-bit text or a precompiled chunk. What loads
// is written back, read again (the two chunks must be equal) and, when its running time is bounded,
// run. The machine has no instruction-count hook, so the bound is checked on the code instead: no
// backward jump, no loop instruction, no tail call and at most one call instruction in the whole
// prototype tree, so every run ends within (call depth x code size) instructions. No libraries are
// opened, so no native function can re-enter scripts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/script/lua/lua.h"
#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luaopcodes.h"
#include "engine/script/lua/luastate.h"

namespace {

struct TReader {
    const uint8_t* data;
    size_t size;
    bool done;
};

const char* Read(lua_State*, void* ud, size_t* size) {
    TReader* r = static_cast<TReader*>(ud);
    if (r->done || r->size == 0) {
        *size = 0;
        return nullptr;
    }
    r->done = true;
    *size = r->size;
    return reinterpret_cast<const char*>(r->data);
}

int Write(lua_State*, const void* p, size_t sz, void* ud) {
    static_cast<std::string*>(ud)->append(static_cast<const char*>(p), sz);
    return 0;
}

// Whether running the tree ends quickly and allocates little.
bool Bounded(const Proto* p, int* calls) {
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
        case OpCall:
            if (++*calls > 1) {
                return false;
            }
            break;
        case OpNewTable:
            if (GETARG_B(i) > 0x50 || GETARG_C(i) > 12) {
                return false;
            }
            break;
        default:
            break;
        }
    }
    for (int k = 0; k < p->sizep; k++) {
        if (!Bounded(p->p[k], calls)) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lua_State* L = lua_open();
    if (L == nullptr) {
        return 0;
    }
    TReader r{data, size, false};
    if (lua_load(L, Read, &r, "=fuzz") == 0) {
        std::string first;
        lua_dump(L, Write, &first);
        TReader again{reinterpret_cast<const uint8_t*>(first.data()), first.size(), false};
        if (lua_load(L, Read, &again, "=fuzz") != 0) {
            std::abort(); // a chunk we wrote must load
        }
        std::string second;
        lua_dump(L, Write, &second);
        if (second != first) {
            std::abort();
        }
        lua_pop(L, 1);
        int calls = 0;
        const Proto* p = clvalue(L->top - 1)->l.p;
        if (Bounded(p, &calls)) {
            lua_pcall(L, 0, 0, 0);
        }
    }
    lua_close(L);
    return 0;
}
