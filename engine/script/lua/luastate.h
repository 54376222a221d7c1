// Global state shared by a state and its coroutines, the per-thread state record and the call-info
// records of the call stack. Owned by the main thread's lua_open/lua_close.
#pragma once

#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luatm.h"

#define BASIC_CI_SIZE 8
#define BASIC_STACK_SIZE (2 * LUA_MINSTACK)
#define EXTRA_STACK 5 // spare slots for metamethod calls and error handling
#define LUA_MAXCALLS 4096
#define LUA_MAXCCALLS 200
#define LUA_MAXCSTACK 2048
#define NUM_TYPE_SLOTS 11

struct stringtable {
    GCObject** hash;
    uint32_t nuse; // number of strings
    int size;      // number of buckets
};

// Text buffer used by concatenation and the lexer.
struct Mbuffer {
    char* buffer;
    size_t size;
};

// Call-info states.
#define CI_C (1 << 0)        // a native function
#define CI_HASFRAME (1 << 1) // a Lua function running in an instruction loop
#define CI_CALLING (1 << 2)  // a Lua function whose Lua callee runs in the same instruction loop
#define CI_SAVEDPC (1 << 3)  // savedpc holds the current position
#define CI_YIELD (1 << 4)    // suspended in a yield

// One activation record.
struct CallInfo {
    StkId base; // base of the called function
    StkId top;  // top for this function
    int state;
    // Lua functions: the instruction after the current one (kept by the instruction loop before
    // anything that may raise an error or call) and the number of tail calls lost beneath.
    const Instruction* savedpc;
    int tailcalls;
};

struct global_State {
    stringtable strt;
    lua_Alloc frealloc;
    void* ud;
    GCObject* rootgc;    // every collectable object but strings, userdata and open upvalues
    GCObject* rootudata; // userdata
    GCObject* tmudata;   // userdata awaiting finalisation
    Mbuffer buff;        // scratch buffer
    lu_mem GCthreshold;
    lu_mem nblocks; // bytes in use
    lua_CFunction panic;
    int nprotected;         // protected boundaries active on any thread of this state
    lua_State* errorthread; // thread whose stack holds the error object being thrown
    int nresumes;           // coroutines being resumed inside one another (each nests natively)
    TObject _registry;
    Table* defaultmeta; // an empty table whose metatable is itself
    lua_State* mainthread;
    Node dummynode[1]; // shared empty hash part
    TString* tmname[TM_N];
    TObject mt[NUM_TYPE_SLOTS]; // per-type metatables, slot 0 (nil) stays nil
};

struct lua_State : GCObject {
    StkId top;  // first free slot
    StkId base; // base of the current function
    global_State* l_G;
    CallInfo* ci;
    StkId stack_last; // last free slot in the stack
    StkId stack;
    int stacksize;
    CallInfo* end_ci;
    CallInfo* base_ci;
    unsigned short size_ci;
    unsigned short nCcalls; // nested native-level calls
    lu_byte hookmask;
    lu_byte allowhook;
    lu_byte hookinit;
    int basehookcount;
    int hookcount;
    lua_Hook hook;
    TObject _gt;         // table of globals
    GCObject* openupval; // open upvalues, highest stack slot first
    GCObject* gclist;
    int errorJmp;         // number of protected boundaries active on this thread
    ptrdiff_t errfunc;    // stack offset of the error handler
    int allocatingBuffer; // 1 while a text buffer is being grown
};

inline global_State* G(lua_State* L) {
    return L->l_G;
}
inline TObject* registry(lua_State* L) {
    return &L->l_G->_registry;
}
inline TObject* gt(lua_State* L) {
    return &L->_gt;
}
inline lua_State* thvalue(const TObject* o) {
    return static_cast<lua_State*>(o->value.gc);
}
inline void setthvalue(TObject* o, lua_State* th) {
    setgcvalue(o, th, LUA_TTHREAD);
}

lua_State* luaE_newthread(lua_State* L);
void luaE_freethread(lua_State* L, lua_State* L1);
