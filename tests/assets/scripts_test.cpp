// The Lua files of the asset folder (scripts and particle scripts): each compiles as the engine
// compiles scripts, and the
// player-progress functions pass the self-checking script tests/assets/progress_test.lua in a
// plain script of their own.

#include "engine/script/lua/lauxlib.h"
#include "engine/script/script.h"
#include "engine/script/scriptcode.h"
#include "tests/assets/assets_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace assets_test {
namespace {

using testing_fixtures::SourceDir;

TEST_F(TDemoAssetsTest, EveryScriptCompiles) {
    int count = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(SourceDir() / "assets")) {
        if (entry.path().extension() != ".lua") {
            continue;
        }
        const std::string name =
            entry.path().lexically_relative(SourceDir() / "assets").generic_string();
        str error;
        EXPECT_TRUE(TScriptCode::Get(name.c_str(), str(), &error)) << name << ": " << Text(error);
        ++count;
    }
    EXPECT_GT(count, 0);
}

TEST_F(TDemoAssetsTest, ProgressFunctionsPassTheirScriptTest) {
    TScript script;
    ASSERT_TRUE(script.RunScript("scripts/progress.lua"));
    std::ifstream in(SourceDir() / "tests/assets/progress_test.lua");
    const std::string test{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(test.empty());
    lua_State* state = script.GetState();
    int status = luaL_loadbuffer(state, test.data(), test.size(), "progress_test.lua");
    if (status == 0) {
        status = lua_pcall(state, 0, 0, 0);
    }
    const char* message = status != 0 ? lua_tostring(state, -1) : nullptr;
    EXPECT_EQ(status, 0) << (message != nullptr ? message : "");
}

} // namespace
} // namespace assets_test
