// The chunk input stream: bytes pulled from a lua_Chunkreader block by block, read either as 8-bit
// characters or, in wide mode, as 16-bit units of two bytes (low byte first). One stream serves one
// chunk load on the loading thread.
#pragma once

#include "engine/script/lua/luaobject.h"
#include "engine/script/lua/luastate.h"

#define EOZ (-1) // end of stream

struct ZIO {
    size_t n;      // bytes still unread in the current block
    const char* p; // read position in the current block
    lua_Chunkreader reader;
    void* data; // reader's own data
    const char* name;
    int wide;       // 1: every character is a 16-bit unit
    lua_State* L;   // handed to the reader
    int pushedback; // a byte given back after a look at the stream's start, or EOZ
};

void luaZ_init(lua_State* L, ZIO* z, lua_Chunkreader reader, void* data, const char* name);
// Next byte (0-255) or EOZ, whatever the mode.
int luaZ_getbyte(ZIO* z);
// The next byte without consuming it, or EOZ.
int luaZ_lookahead(ZIO* z);
// Next character: a byte, or in wide mode a unit (0-65535); EOZ when either byte is missing.
int luaZ_getc(ZIO* z);
// Reads n bytes into b; returns how many could not be read (0 on success).
size_t luaZ_read(ZIO* z, void* b, size_t n);
// Skips a leading UTF-16 little-endian byte-order mark (FF FE) and then reads the stream wide.
void luaZ_checkbom(ZIO* z);

// The token buffer of a load: grown with the allocating-buffer flag set, freed by the loader.
char* luaZ_openspace(lua_State* L, Mbuffer* buff, size_t n);
void luaZ_freebuffer(lua_State* L, Mbuffer* buff);
