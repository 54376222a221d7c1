#include <cstdint>

#include "engine/script/lua/luaopcodes.h"
#include "engine/script/lua/luaundump.h"

namespace {

struct DumpState {
    lua_State* L;
    lua_Chunkwriter write;
    void* data;
};

void DumpBlock(const void* b, size_t size, DumpState* D) {
    D->write(D->L, b, size, D->data);
}

void DumpByte(int y, DumpState* D) {
    const char x = static_cast<char>(y);
    DumpBlock(&x, 1, D);
}

// Stored ints and sizes are 4 bytes whatever the host.
void DumpInt(int x, DumpState* D) {
    const int32_t v = x;
    DumpBlock(&v, 4, D);
}

void DumpSize(size_t x, DumpState* D) {
    const uint32_t v = static_cast<uint32_t>(x);
    DumpBlock(&v, 4, D);
}

void DumpNumber(lua_Number x, DumpState* D) {
    DumpBlock(&x, sizeof(x), D);
}

void DumpString(const TString* s, DumpState* D) {
    if (s == nullptr) {
        DumpSize(0, D);
        return;
    }
    const size_t size = static_cast<size_t>(s->len) + 1; // with the terminating 0
    DumpSize(size, D);
    DumpBlock(getstr(s), size, D);
}

void DumpWString(const TString* s, DumpState* D) {
    const size_t size = static_cast<size_t>(s->len) + 1;
    DumpSize(size, D);
    DumpBlock(getwstr(s), size * sizeof(lua_WChar), D);
}

void DumpFunction(const Proto* f, const TString* p, DumpState* D);

void DumpLocals(const Proto* f, DumpState* D) {
    DumpInt(f->sizelocvars, D);
    for (int i = 0; i < f->sizelocvars; i++) {
        DumpString(f->locvars[i].varname, D);
        DumpInt(f->locvars[i].startpc, D);
        DumpInt(f->locvars[i].endpc, D);
    }
}

void DumpUpvalues(const Proto* f, DumpState* D) {
    DumpInt(f->sizeupvalues, D);
    for (int i = 0; i < f->sizeupvalues; i++) {
        DumpString(f->upvalues[i], D);
    }
}

void DumpConstants(const Proto* f, DumpState* D) {
    DumpInt(f->sizek, D);
    for (int i = 0; i < f->sizek; i++) {
        const TObject* o = &f->k[i];
        DumpByte(ttype(o), D);
        switch (ttype(o)) {
        case LUA_TNUMBER:
            DumpNumber(nvalue(o), D);
            break;
        case LUA_TSTRING:
            DumpString(tsvalue(o), D);
            break;
        case LUA_TWSTRING:
            DumpWString(tsvalue(o), D);
            break;
        default:
            break; // nil
        }
    }
    DumpInt(f->sizep, D);
    for (int i = 0; i < f->sizep; i++) {
        DumpFunction(f->p[i], f->source, D);
    }
}

void DumpFunction(const Proto* f, const TString* p, DumpState* D) {
    DumpString((f->source == p) ? nullptr : f->source, D);
    DumpInt(f->lineDefined, D);
    DumpByte(f->nups, D);
    DumpByte(f->numparams, D);
    DumpByte(f->is_vararg, D);
    DumpByte(f->maxstacksize, D);
    DumpInt(f->sizelineinfo, D);
    DumpBlock(f->lineinfo, sizeof(int) * static_cast<size_t>(f->sizelineinfo), D);
    DumpLocals(f, D);
    DumpUpvalues(f, D);
    DumpConstants(f, D);
    DumpInt(f->sizecode, D);
    DumpBlock(f->code, sizeof(Instruction) * static_cast<size_t>(f->sizecode), D);
}

void DumpHeader(DumpState* D) {
    DumpBlock(LUA_SIGNATURE, 4, D);
    DumpByte(VERSION, D);
    DumpByte(1, D); // little-endian
    DumpByte(4, D); // int
    DumpByte(4, D); // size_t
    DumpByte(sizeof(Instruction), D);
    DumpByte(SIZE_OP, D);
    DumpByte(SIZE_A, D);
    DumpByte(SIZE_B, D);
    DumpByte(SIZE_C, D);
    DumpByte(sizeof(lua_Number), D);
    DumpNumber(TEST_NUMBER, D);
}

} // namespace

static_assert(sizeof(int) == 4 && sizeof(Instruction) == 4 && sizeof(lua_Number) == 8,
              "the chunk format stores 4-byte ints and instructions and 8-byte numbers");

void luaU_dump(lua_State* L, const Proto* f, lua_Chunkwriter w, void* data) {
    DumpState D;
    D.L = L;
    D.write = w;
    D.data = data;
    DumpHeader(&D);
    DumpFunction(f, nullptr, &D);
}
