#include "engine/ui/windowlibrary.h"

#include "engine/script/lua/lauxlib.h"

#include <cstddef>

// Written by the build from engine/ui/windowlibrary.lua (cmake/EmbedFile.cmake).
extern const unsigned char kWindowLibraryData[];
extern const std::size_t kWindowLibrarySize;

bool RunWindowLibrary(lua_State* state) {
    const int top = lua_gettop(state);
    const int status = lua_dobuffer(state, reinterpret_cast<const char*>(kWindowLibraryData),
                                    kWindowLibrarySize, "gScreenInit");
    lua_settop(state, top);
    return status == 0;
}
