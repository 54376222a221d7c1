// Script values and the collectable objects they point to: strings and wide strings, tables,
// userdata, closures, prototypes and upvalues. Objects belong to the global state of the
// lua_State that made them and are freed only by its collector.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/script/lua/lua.h"

typedef unsigned char lu_byte;
typedef uint32_t lu_hash;
typedef size_t lu_mem;
typedef uint32_t Instruction;

// Limits kept from the 32-bit machine.
#define MAX_LUA_STRLEN 4294967293u // longest string or wide string, and largest block
#define MAX_LU_MEM (~static_cast<lu_mem>(0))
#define MAX_INT_LUA 2147483645 // safe "infinity" for counts
#define MAXBITS 24             // log2 of the largest array part and hash part
#define MAXASIZE (1 << MAXBITS)
#define MINSTRTABSIZE 32
#define LUA_MINBUFFER 32
#define MAXTAGLOOP 100

// Internal tag of a key removed from a weak table.
#define LUA_TDEADKEY LUA_TNONE

struct GCObject;
struct TString;
struct Table;
struct Udata;
struct Closure;
struct Proto;
struct UpVal;

// Header shared by every collectable object.
struct GCObject {
    GCObject* next;
    lu_byte tt;
    lu_byte marked;
};

union Value {
    GCObject* gc;
    void* p;
    lua_Number n;
    int b;
};

struct TObject {
    int tt;
    Value value;
};

typedef TObject* StkId;

// Interned 8-bit string (tag 4) or wide string (tag 9); the text follows the record.
struct TString : GCObject {
    lu_byte reserved; // lexer's reserved-word number for 8-bit strings
    lu_hash hash;
    uint32_t len; // bytes for tag 4, 16-bit units for tag 9
};

inline char* getstr(TString* ts) {
    return reinterpret_cast<char*>(ts + 1);
}
inline const char* getstr(const TString* ts) {
    return reinterpret_cast<const char*>(ts + 1);
}
inline lua_WChar* getwstr(TString* ts) {
    return reinterpret_cast<lua_WChar*>(ts + 1);
}
inline const lua_WChar* getwstr(const TString* ts) {
    return reinterpret_cast<const lua_WChar*>(ts + 1);
}

// Full userdata; the block follows the record at a 16-byte boundary. Length 1 marks a boxed
// pointer: the block then holds one whole pointer.
struct Udata : GCObject {
    Table* metatable;
    uint32_t len;
};

constexpr size_t kUdataHeaderSize = (sizeof(Udata) + 15) & ~static_cast<size_t>(15);
inline size_t sizeudata(size_t len) {
    return kUdataHeaderSize + len;
}
inline void* udatablock(Udata* u) {
    return reinterpret_cast<char*>(u) + kUdataHeaderSize;
}

struct LocVar {
    TString* varname;
    int startpc; // first point where variable is active
    int endpc;   // first point where variable is dead
};

// Function prototype (tag 10).
struct Proto : GCObject {
    TObject* k; // constants
    Instruction* code;
    Proto** p;     // nested functions
    int* lineinfo; // source line of each instruction
    LocVar* locvars;
    TString** upvalues; // upvalue names
    TString* source;
    int sizeupvalues;
    int sizek;
    int sizecode;
    int sizelineinfo;
    int sizep;
    int sizelocvars;
    int lineDefined;
    GCObject* gclist;
    lu_byte nups;
    lu_byte numparams;
    lu_byte is_vararg;
    lu_byte maxstacksize;
};

// Upvalue (tag 11): open while v points into a stack, closed when v points to value.
struct UpVal : GCObject {
    TObject* v;
    TObject value;
};

struct ClosureHeader : GCObject {
    lu_byte isC;
    lu_byte nupvalues;
    GCObject* gclist;
    TObject g; // environment (a table)
};

struct CClosure : ClosureHeader {
    lua_CFunction f;
    TObject upvalue[1];
};

struct LClosure : ClosureHeader {
    Proto* p;
    UpVal* upvals[1];
};

// Closure (tag 6): either kind, told apart by isC.
struct Closure {
    union {
        ClosureHeader h;
        CClosure c;
        LClosure l;
    };
};

#define sizeCclosure(n) (sizeof(CClosure) + sizeof(TObject) * ((n) > 0 ? (n)-1 : 0))
#define sizeLclosure(n) (sizeof(LClosure) + sizeof(UpVal*) * ((n) > 0 ? (n)-1 : 0))

struct Node {
    TObject i_key;
    TObject i_val;
    Node* next; // collision chain
};

// Table (tag 5): array part for keys 1..sizearray, hash part of 2^lsizenode nodes.
struct Table : GCObject {
    lu_byte flags;     // 1 << e means event e is known to be absent
    lu_byte lsizenode; // log2 of the hash part size
    Table* metatable;  // never null
    TObject* array;
    Node* node;
    Node* firstfree; // every node above it is in use
    GCObject* gclist;
    int sizearray;
};

// Type tests and accessors.
inline int ttype(const TObject* o) {
    return o->tt;
}
inline bool ttisnil(const TObject* o) {
    return o->tt == LUA_TNIL;
}
inline bool ttisnumber(const TObject* o) {
    return o->tt == LUA_TNUMBER;
}
inline bool ttisstring(const TObject* o) {
    return o->tt == LUA_TSTRING;
}
inline bool ttiswstring(const TObject* o) {
    return o->tt == LUA_TWSTRING;
}
inline bool ttisanystring(const TObject* o) {
    return o->tt == LUA_TSTRING || o->tt == LUA_TWSTRING;
}
inline bool ttistable(const TObject* o) {
    return o->tt == LUA_TTABLE;
}
inline bool ttisfunction(const TObject* o) {
    return o->tt == LUA_TFUNCTION;
}
inline bool ttisboolean(const TObject* o) {
    return o->tt == LUA_TBOOLEAN;
}
inline bool ttisuserdata(const TObject* o) {
    return o->tt == LUA_TUSERDATA;
}
inline bool ttisthread(const TObject* o) {
    return o->tt == LUA_TTHREAD;
}
inline bool ttislightuserdata(const TObject* o) {
    return o->tt == LUA_TLIGHTUSERDATA;
}

inline bool iscollectable(const TObject* o) {
    return o->tt >= LUA_TSTRING;
}

inline GCObject* gcvalue(const TObject* o) {
    return o->value.gc;
}
inline void* pvalue(const TObject* o) {
    return o->value.p;
}
inline lua_Number nvalue(const TObject* o) {
    return o->value.n;
}
inline int bvalue(const TObject* o) {
    return o->value.b;
}
inline TString* tsvalue(const TObject* o) {
    return static_cast<TString*>(o->value.gc);
}
inline Udata* uvalue(const TObject* o) {
    return static_cast<Udata*>(o->value.gc);
}
inline Closure* clvalue(const TObject* o) {
    return reinterpret_cast<Closure*>(o->value.gc);
}
inline Table* hvalue(const TObject* o) {
    return static_cast<Table*>(o->value.gc);
}
inline lua_State* thvalue(const TObject* o);

inline bool l_isfalse(const TObject* o) {
    return ttisnil(o) || (ttisboolean(o) && bvalue(o) == 0);
}

// Setters.
inline void setnilvalue(TObject* o) {
    o->tt = LUA_TNIL;
}
inline void setnvalue(TObject* o, lua_Number n) {
    o->tt = LUA_TNUMBER;
    o->value.n = n;
}
inline void setbvalue(TObject* o, int b) {
    o->tt = LUA_TBOOLEAN;
    o->value.b = b;
}
inline void setpvalue(TObject* o, void* p) {
    o->tt = LUA_TLIGHTUSERDATA;
    o->value.p = p;
}
inline void setgcvalue(TObject* o, GCObject* gc, int tt) {
    o->tt = tt;
    o->value.gc = gc;
}
inline void setsvalue(TObject* o, TString* s) {
    setgcvalue(o, s, s->tt);
}
inline void setuvalue(TObject* o, Udata* u) {
    setgcvalue(o, u, LUA_TUSERDATA);
}
inline void setclvalue(TObject* o, Closure* c) {
    o->tt = LUA_TFUNCTION;
    o->value.gc = reinterpret_cast<GCObject*>(c);
}
inline void sethvalue(TObject* o, Table* t) {
    setgcvalue(o, t, LUA_TTABLE);
}
inline void setobj(TObject* dst, const TObject* src) {
    *dst = *src;
}

inline Closure* gco2cl(GCObject* o) {
    return reinterpret_cast<Closure*>(o);
}
inline GCObject* cl2gco(Closure* c) {
    return reinterpret_cast<GCObject*>(c);
}

extern const TObject luaO_nilobject;
extern const char* const luaT_typenames[];

int luaO_log2(unsigned int x);
int luaO_rawequalObj(const TObject* t1, const TObject* t2);
int luaO_str2d(const char* s, lua_Number* result);
int luaO_wstr2d(const lua_WChar* s, size_t len, lua_Number* result);
// Formats a number the way tostring does ("%.14g"); buff holds at least 32 bytes.
void luaO_number2str(lua_Number n, char* buff);

const char* luaO_pushvfstring(lua_State* L, const char* fmt, va_list argp);
const char* luaO_pushfstring(lua_State* L, const char* fmt, ...);
void luaO_chunkid(char* out, const char* source, int len);
