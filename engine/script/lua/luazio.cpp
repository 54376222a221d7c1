#include "engine/script/lua/luazio.h"

#include <cstring>

#include "engine/script/lua/luamem.h"

void luaZ_init(lua_State* L, ZIO* z, lua_Chunkreader reader, void* data, const char* name) {
    z->reader = reader;
    z->data = data;
    z->name = name;
    z->n = 0;
    z->p = nullptr;
    z->wide = 0;
    z->L = L;
    z->pushedback = EOZ;
}

static int fill(ZIO* z) {
    size_t size = 0;
    const char* buff = z->reader(z->L, z->data, &size);
    if (buff == nullptr || size == 0) {
        return EOZ;
    }
    z->n = size - 1;
    z->p = buff;
    return static_cast<unsigned char>(*(z->p++));
}

int luaZ_getbyte(ZIO* z) {
    if (z->pushedback != EOZ) {
        const int c = z->pushedback;
        z->pushedback = EOZ;
        return c;
    }
    if (z->n > 0) {
        z->n--;
        return static_cast<unsigned char>(*(z->p++));
    }
    return fill(z);
}

int luaZ_lookahead(ZIO* z) {
    if (z->pushedback != EOZ) {
        return z->pushedback;
    }
    if (z->n == 0) {
        const int c = fill(z);
        if (c == EOZ) {
            return c;
        }
        z->n++;
        z->p--;
    }
    return static_cast<unsigned char>(*z->p);
}

int luaZ_getc(ZIO* z) {
    const int lo = luaZ_getbyte(z);
    if (!z->wide || lo == EOZ) {
        return lo;
    }
    const int hi = luaZ_getbyte(z);
    return hi == EOZ ? EOZ : (lo | (hi << 8));
}

size_t luaZ_read(ZIO* z, void* b, size_t n) {
    char* out = static_cast<char*>(b);
    while (n > 0) {
        if (z->pushedback != EOZ || z->n == 0) {
            const int c = luaZ_getbyte(z);
            if (c == EOZ) {
                return n;
            }
            *out++ = static_cast<char>(c);
            n--;
            continue;
        }
        const size_t m = n <= z->n ? n : z->n;
        std::memcpy(out, z->p, m);
        z->n -= m;
        z->p += m;
        out += m;
        n -= m;
    }
    return 0;
}

void luaZ_checkbom(ZIO* z) {
    if (luaZ_lookahead(z) != 0xFF) {
        return;
    }
    luaZ_getbyte(z);
    if (luaZ_lookahead(z) == 0xFE) {
        luaZ_getbyte(z);
        z->wide = 1;
    } else {
        z->pushedback = 0xFF; // not a mark: the byte stays part of the text
    }
}

char* luaZ_openspace(lua_State* L, Mbuffer* buff, size_t n) {
    if (n > buff->size) {
        if (n < LUA_MINBUFFER) {
            n = LUA_MINBUFFER;
        }
        buff->buffer = static_cast<char*>(luaM_reallocbuffer(L, buff->buffer, buff->size, n));
        buff->size = n;
    }
    return buff->buffer;
}

void luaZ_freebuffer(lua_State* L, Mbuffer* buff) {
    luaM_realloc(L, buff->buffer, buff->size, 0);
    buff->buffer = nullptr;
    buff->size = 0;
}
