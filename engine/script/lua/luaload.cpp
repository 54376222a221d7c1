// lua_load and lua_dump: the native interface to the compiler and the chunk format.
#include "engine/script/lua/lua.h"
#include "engine/script/lua/luado.h"
#include "engine/script/lua/luaparser.h"
#include "engine/script/lua/luaundump.h"
#include "engine/script/lua/luazio.h"

int lua_load(lua_State* L, lua_Chunkreader reader, void* data, const char* chunkname) {
    ZIO z;
    luaZ_init(L, &z, reader, data, chunkname ? chunkname : "?");
    return luaD_protectedparser(L, &z, luaY_parser, luaU_undump);
}

int lua_dump(lua_State* L, lua_Chunkwriter writer, void* data) {
    const TObject* o = L->top - 1;
    if (ttisfunction(o) && !clvalue(o)->h.isC && clvalue(o)->h.nupvalues == 0) {
        luaU_dump(L, clvalue(o)->l.p, writer, data);
        return 1;
    }
    return 0;
}
