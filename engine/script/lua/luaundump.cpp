#include "engine/script/lua/luaundump.h"

#include <cstring>

#include "engine/script/lua/luadebug.h"
#include "engine/script/lua/luafunc.h"
#include "engine/script/lua/luamem.h"
#include "engine/script/lua/luanumber.h"
#include "engine/script/lua/luaopcodes.h"
#include "engine/script/lua/luastring.h"

namespace {

// The whole chunk is read into memory first, so that every size can be checked against the data
// actually left before anything is allocated for it.
struct LoadState {
    lua_State* L;
    const char* p; // read position
    size_t left;   // bytes not read yet
    bool swap;     // the chunk's byte order differs from ours
    const char* name;
    int depth; // nesting of the function records being read
};

// Deeper nesting than the compiler can produce; bounds the reader's recursion.
constexpr int kMaxFunctionDepth = 250;

[[noreturn]] void unexpectedEOZ(LoadState* S) {
    luaG_runerror(S->L, "unexpected end of file in %s", S->name);
}

void need(LoadState* S, size_t n) {
    if (n > S->left) {
        unexpectedEOZ(S);
    }
}

void LoadBlock(LoadState* S, void* b, size_t n) {
    need(S, n);
    if (n == 0) {
        return;
    }
    std::memcpy(b, S->p, n);
    S->p += n;
    S->left -= n;
}

int LoadByte(LoadState* S) {
    need(S, 1);
    S->left--;
    return static_cast<unsigned char>(*S->p++);
}

void swapbytes(void* b, size_t size) {
    unsigned char* p = static_cast<unsigned char*>(b);
    for (size_t i = 0; i < size / 2; i++) {
        const unsigned char t = p[i];
        p[i] = p[size - 1 - i];
        p[size - 1 - i] = t;
    }
}

// A block of n items of the given size, each reversed when the byte order differs.
void LoadVector(LoadState* S, void* b, size_t n, size_t size) {
    LoadBlock(S, b, n * size);
    if (S->swap) {
        unsigned char* p = static_cast<unsigned char*>(b);
        for (size_t i = 0; i < n; i++) {
            swapbytes(p + i * size, size);
        }
    }
}

int32_t LoadRawInt(LoadState* S) {
    int32_t x;
    LoadVector(S, &x, 1, 4);
    return x;
}

int LoadInt(LoadState* S) {
    const int32_t x = LoadRawInt(S);
    if (x < 0) {
        luaG_runerror(S->L, "bad integer in %s", S->name);
    }
    return x;
}

uint32_t LoadSize(LoadState* S) {
    uint32_t x;
    LoadVector(S, &x, 1, 4);
    return x;
}

lua_Number LoadNumber(LoadState* S) {
    lua_Number x;
    LoadVector(S, &x, 1, sizeof(x));
    return x;
}

// A count of items of the given size each that must all be present.
int LoadCount(LoadState* S, size_t itemsize) {
    const int n = LoadInt(S);
    need(S, static_cast<size_t>(n) * itemsize);
    return n;
}

TString* LoadString(LoadState* S) {
    const uint32_t size = LoadSize(S);
    if (size == 0) {
        return nullptr;
    }
    need(S, size);
    TString* ts = luaS_newlstr(S->L, S->p, size - 1); // the last byte is the terminating 0
    S->p += size;
    S->left -= size;
    return ts;
}

TString* LoadWString(LoadState* S) {
    const uint32_t size = LoadSize(S);
    if (size == 0) {
        return luaS_newlwstr(S->L, nullptr, 0);
    }
    need(S, static_cast<size_t>(size) * 2);
    lua_WChar* units = luaM_newvector<lua_WChar>(S->L, size);
    std::memcpy(units, S->p, static_cast<size_t>(size) * 2);
    S->p += static_cast<size_t>(size) * 2;
    S->left -= static_cast<size_t>(size) * 2;
    if (S->swap) {
        for (uint32_t i = 0; i < size; i++) {
            units[i] = static_cast<lua_WChar>((units[i] >> 8) | (units[i] << 8));
        }
    }
    TString* ts;
    try {
        ts = luaS_newlwstr(S->L, units, size - 1);
    } catch (...) {
        luaM_freearray(S->L, units, size);
        throw;
    }
    luaM_freearray(S->L, units, size);
    return ts;
}

Proto* LoadFunction(LoadState* S, TString* p);

void LoadConstants(LoadState* S, Proto* f) {
    const int n = LoadCount(S, 1);
    f->k = luaM_newvector<TObject>(S->L, static_cast<size_t>(n));
    for (int i = 0; i < n; i++) {
        setnilvalue(&f->k[i]);
    }
    f->sizek = n;
    for (int i = 0; i < n; i++) {
        TObject* o = &f->k[i];
        const int t = LoadByte(S);
        switch (t) {
        case LUA_TNUMBER:
            setnvalue(o, LoadNumber(S));
            break;
        case LUA_TSTRING: {
            TString* ts = LoadString(S);
            setsvalue(o, ts != nullptr ? ts : luaS_newlstr(S->L, "", 0));
            break;
        }
        case LUA_TWSTRING:
            setsvalue(o, LoadWString(S));
            break;
        case LUA_TNIL:
            setnilvalue(o);
            break;
        default:
            luaG_runerror(S->L, "bad constant type (%d) in %s", t, S->name);
        }
    }
    const int np = LoadCount(S, 1);
    f->p = luaM_newvector<Proto*>(S->L, static_cast<size_t>(np));
    for (int i = 0; i < np; i++) {
        f->p[i] = nullptr;
    }
    f->sizep = np;
    for (int i = 0; i < np; i++) {
        f->p[i] = LoadFunction(S, f->source);
    }
}

// Names stored as no string still need a text: the debug interface prints them.
TString* LoadName(LoadState* S) {
    TString* ts = LoadString(S);
    return ts != nullptr ? ts : luaS_newlstr(S->L, "", 0);
}

Proto* LoadFunction(LoadState* S, TString* p) {
    lua_State* L = S->L;
    if (++S->depth > kMaxFunctionDepth) {
        luaG_runerror(L, "bad code in %s", S->name);
    }
    Proto* f = luaF_newproto(L);
    TString* source = LoadString(S);
    f->source = source != nullptr ? source : p;
    if (f->source == nullptr) {
        f->source = luaS_new(L, S->name);
    }
    f->lineDefined = LoadInt(S);
    f->nups = static_cast<lu_byte>(LoadByte(S));
    f->numparams = static_cast<lu_byte>(LoadByte(S));
    f->is_vararg = static_cast<lu_byte>(LoadByte(S));
    f->maxstacksize = static_cast<lu_byte>(LoadByte(S));

    const int nlines = LoadCount(S, 4);
    f->lineinfo = luaM_newvector<int>(L, static_cast<size_t>(nlines));
    f->sizelineinfo = nlines;
    LoadVector(S, f->lineinfo, static_cast<size_t>(nlines), 4);

    const int nloc = LoadCount(S, 12);
    f->locvars = luaM_newvector<LocVar>(L, static_cast<size_t>(nloc));
    for (int i = 0; i < nloc; i++) {
        f->locvars[i].varname = nullptr;
        f->locvars[i].startpc = 0;
        f->locvars[i].endpc = 0;
    }
    f->sizelocvars = nloc;
    for (int i = 0; i < nloc; i++) {
        f->locvars[i].varname = LoadName(S);
        f->locvars[i].startpc = LoadInt(S);
        f->locvars[i].endpc = LoadInt(S);
    }

    const int nup = LoadInt(S);
    if (nup != 0 && nup != f->nups) {
        luaG_runerror(L, "bad nupvalues in %s: read %d; expected %d", S->name, nup, f->nups);
    }
    need(S, static_cast<size_t>(nup) * 4);
    f->upvalues = luaM_newvector<TString*>(L, static_cast<size_t>(nup));
    for (int i = 0; i < nup; i++) {
        f->upvalues[i] = nullptr;
    }
    f->sizeupvalues = nup;
    for (int i = 0; i < nup; i++) {
        f->upvalues[i] = LoadName(S);
    }

    LoadConstants(S, f);

    const int ncode = LoadCount(S, 4);
    f->code = luaM_newvector<Instruction>(L, static_cast<size_t>(ncode));
    f->sizecode = ncode;
    LoadVector(S, f->code, static_cast<size_t>(ncode), 4);

    // Line information is indexed by instruction; the checker covers registers, constants,
    // upvalues, prototypes and jumps.
    if (f->sizelineinfo != f->sizecode || !luaG_checkcode(f)) {
        luaG_runerror(L, "bad code in %s", S->name);
    }
    S->depth--;
    return f;
}

void LoadHeader(LoadState* S) {
    char s[4];
    LoadBlock(S, s, 4);
    if (std::memcmp(s, LUA_SIGNATURE, 4) != 0) {
        luaG_runerror(S->L, "bad signature in %s", S->name);
    }
    const int version = LoadByte(S);
    if (version > VERSION) {
        luaG_runerror(S->L, "%s too new: read version %d.%d; expected at most %d.%d", S->name,
                      version >> 4, version & 0x0F, VERSION >> 4, VERSION & 0x0F);
    }
    if (version < VERSION) {
        luaG_runerror(S->L, "%s too old: read version %d.%d; expected at least %d.%d", S->name,
                      version >> 4, version & 0x0F, VERSION >> 4, VERSION & 0x0F);
    }
    S->swap = LoadByte(S) != 1;
    static const struct {
        const char* what;
        int size;
    } sizes[] = {{"int", 4},    {"size_t", 4}, {"Instruction", 4}, {"OP", SIZE_OP},
                 {"A", SIZE_A}, {"B", SIZE_B}, {"C", SIZE_C},      {"number", 8}};
    for (const auto& sz : sizes) {
        const int r = LoadByte(S);
        if (r != sz.size) {
            luaG_runerror(S->L, "virtual machine mismatch in %s: size of %s is %d but read %d",
                          S->name, sz.what, sz.size, r);
        }
    }
    const lua_Number x = LoadNumber(S);
    if (LuaNumberToInt64(x) != LuaNumberToInt64(TEST_NUMBER)) {
        luaG_runerror(S->L, "unknown number format in %s", S->name);
    }
}

} // namespace

Proto* luaU_undump(lua_State* L, ZIO* z, Mbuffer* buff) {
    // Read the whole stream into the load's buffer.
    size_t n = 0;
    size_t cap = buff->size;
    char* b = buff->buffer;
    for (;;) {
        if (cap - n < 4096) {
            size_t newcap = cap < 4096 ? 8192 : cap * 2;
            if (newcap > MAX_LUA_STRLEN) {
                luaG_runerror(L, "chunk too big");
            }
            b = luaZ_openspace(L, buff, newcap);
            cap = buff->size;
        }
        const size_t want = cap - n;
        const size_t missing = luaZ_read(z, b + n, want);
        n += want - missing;
        if (missing > 0) {
            break;
        }
    }
    LoadState S;
    S.L = L;
    S.p = b;
    S.left = n;
    S.swap = false;
    S.depth = 0;
    const char* s = z->name;
    if (*s == '@' || *s == '=') {
        S.name = s + 1;
    } else if (*s == '\033') {
        S.name = "binary string";
    } else {
        S.name = s;
    }
    LoadHeader(&S);
    Proto* f = LoadFunction(&S, nullptr);
    if (f->nups != 0) {
        // The loaded main function gets no upvalues.
        luaG_runerror(L, "bad code in %s", S.name);
    }
    return f;
}
