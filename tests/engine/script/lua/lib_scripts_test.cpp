// Runs the self-checking library scripts: each file in scripts/ is loaded with luaL_loadfile in a
// state with the standard libraries open and must run to its end without an error. The scripts
// also get loadreader(f [, chunkname]): lua_load over the pieces f returns (nil or "" ends the
// chunk); it returns the function, or nil and the message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/knownfiles.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/lua/lua.h"
#include "engine/script/lua/lualib.h"
#include "tests/engine/script/lua/luatestsupport.h"
#include "tests/fixtures/testpaths.h"

namespace {

std::filesystem::path ScriptFolder() {
    return testing_fixtures::SourceDir() / "tests/engine/script/lua/scripts";
}

std::vector<std::string> ScriptNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ScriptFolder())) {
        if (entry.path().extension() == ".lua") {
            names.push_back(entry.path().stem().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

const char* ReadFromFunction(lua_State* L, void*, size_t* size) {
    lua_pushvalue(L, 1);
    lua_call(L, 0, 1);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        *size = 0;
        return nullptr;
    }
    if (!lua_isstring(L, -1)) {
        luaL_error(L, "reader function must return a string");
    }
    lua_replace(L, 3); // keeps the piece alive until the next call
    *size = lua_strlen(L, 3);
    return lua_tostring(L, 3);
}

int LoadReader(lua_State* L) {
    luaL_checktype(L, 1, LUA_TFUNCTION);
    const char* name = luaL_optstring(L, 2, "=(reader)");
    lua_settop(L, 3);
    const int status = lua_load(L, ReadFromFunction, nullptr, name);
    if (status == 0) {
        return 1;
    }
    lua_pushnil(L);
    lua_insert(L, -2);
    return 2;
}

class LuaLibScript : public ::testing::TestWithParam<std::string> {};

TEST_P(LuaLibScript, RunsToItsEnd) {
    lua_State* L = lua_open();
    ASSERT_NE(L, nullptr);
    luaopen_base(L);
    luaopen_string(L);
    luaopen_table(L);
    luaopen_math(L);
    lua_register(L, "loadreader", LoadReader);
    lua_settop(L, 0);
    // The scripts load through the engine's file layer, from a root pointing at their folder.
    str user;
    str common;
    str desktop;
    GetFolderRoots(&user, &common, &desktop);
    SetFolderRoots(str(ScriptFolder().string().c_str()), common, desktop);
    const std::string name = "user:" + GetParam() + ".lua";
    int status = luaL_loadfile(L, name.c_str());
    if (status == 0) {
        status = lua_pcall(L, 0, 0, 0);
    }
    SetFolderRoots(user, common, desktop);
    const char* msg = status != 0 ? lua_tostring(L, -1) : nullptr;
    EXPECT_EQ(status, 0) << (msg != nullptr ? msg : "(no message)");
    lua_close(L);
}

INSTANTIATE_TEST_SUITE_P(Scripts, LuaLibScript, ::testing::ValuesIn(ScriptNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

} // namespace
