// The compiler front: a one-pass recursive-descent parser of script text that drives the code
// generator and returns the main function's prototype. Runs on the loading thread.
#pragma once

#include "engine/script/lua/luacode.h"

struct BlockScope {
    BlockScope* previous;
    int breaklist;
    int continuelist;
    int nactvar; // active locals outside the block
    int upval;   // a local of the block is captured by an inner function
    int isloop;
};

// Compiles the text chunk on the stream; the chunk's name is the stream's name.
Proto* luaY_parser(lua_State* L, ZIO* z, Mbuffer* buff);
