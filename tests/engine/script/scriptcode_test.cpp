#include "tests/engine/script/script_fixture.h"

#include "engine/core/assetmanager.h"
#include "engine/core/filescan.h"
#include "engine/core/knownfiles.h"
#include "engine/script/scriptcode.h"
#include "tests/fixtures/tempdir.h"

#include <fstream>
#include <string>

class ScriptCodeTest : public ScriptTest {
protected:
    // Runs a compiled chunk in the fixture's state and returns the global "result".
    std::string RunChunk(const TScriptCodePtr& code, const char* name) {
        EXPECT_EQ(luaL_loadbuffer(L, code->Data(), static_cast<size_t>(code->mSize), name), 0);
        EXPECT_EQ(lua_pcall(L, 0, 0, 0), 0);
        return GlobalText("result");
    }
};

TEST_F(ScriptCodeTest, CompilesAFileIntoAChunk) {
    WriteScript("chunk.lua", "result = 'from ' .. 'chunk'\n");
    str error;
    TScriptCodePtr code = TScriptCode::Get("chunk.lua", "", &error);
    ASSERT_TRUE(code);
    EXPECT_EQ(error.Length(), 0);
    EXPECT_EQ(std::string(code->Data(), 4), "\x1bLua");
    EXPECT_EQ(RunChunk(code, "chunk.lua"), "from chunk");
    EXPECT_STREQ(code->GetClassName(), "TScriptCode");
    EXPECT_TRUE(code->IsKindOf(TScriptCode::ClassId()));
    EXPECT_TRUE(code->IsKindOf(TAsset::ClassId()));
    EXPECT_FALSE(code->IsKindOf(&error));
}

TEST_F(ScriptCodeTest, FailuresGiveNothingAndTheLoadersMessage) {
    WriteScript("broken.lua", "x = = 1");
    str error;
    EXPECT_FALSE(TScriptCode::Get("broken.lua", "", &error));
    EXPECT_STREQ(error.CStr(), "broken.lua:1: unexpected symbol near `='");
    EXPECT_FALSE(TScriptCode::Get("broken.lua", "", nullptr));
    EXPECT_FALSE(TScriptCode::Get("", "", &error));
    error = "";
    EXPECT_FALSE(TScriptCode::Get("absent.lua", "", &error));
    EXPECT_NE(error.Length(), 0);
}

TEST_F(ScriptCodeTest, TheSearchPathIsTriedInOrderAndNeverRunAsText) {
    WriteScript("first/found.lua", "result = 'first'");
    WriteScript("it's/quoted.lua", "result = 'quoted'");
    WriteScript("found.lua", "result = 'direct'");
    struct Case {
        const char* name;
        const char* path;
        const char* result;
    };
    const Case cases[] = {
        {"found.lua", "first/?", "direct"},
        {"quoted.lua", "nothere/?;it's/?", "quoted"},
        {"quoted.lua", "x' error('injected') '/?;it's/?", "quoted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TScriptCodePtr code = TScriptCode::Get(c.name, c.path, nullptr);
        ASSERT_TRUE(code);
        EXPECT_EQ(RunChunk(code, c.name), c.result);
    }
}

// The chunk cache is the asset manager the platform installs; here the test installs its own.
class ScriptCodeCacheTest : public ::testing::Test {
protected:
    void SetUp() override { SetAssetManager(&mAssets); }
    void TearDown() override {
        SetAssetManager(nullptr);
        ClearKnownFiles();
    }

    TAssetManager mAssets;
};

TEST_F(ScriptCodeCacheTest, ASecondGetWhileHeldReturnsTheSameChunk) {
    testing_fixtures::TempDir dir;
    std::ofstream(dir.Path() / "cached.lua") << "x = 1\n";
    ScanFolder(str(dir.Path().c_str()), "cachetest/");

    TScriptCodePtr first = TScriptCode::Get("cachetest/cached.lua", "", nullptr);
    ASSERT_TRUE(first);
    // Changing the file shows whether it was compiled again.
    std::ofstream(dir.Path() / "cached.lua") << "x = = 1\n";
    TScriptCodePtr second = TScriptCode::Get("cachetest/cached.lua", "", nullptr);
    EXPECT_EQ(first.get(), second.get());

    first.reset();
    second.reset();
    EXPECT_FALSE(TScriptCode::Get("cachetest/cached.lua", "", nullptr));
}
