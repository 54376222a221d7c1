#include "game/shell/GameMainScript.h"

#include "engine/core/filescan.h"
#include "engine/core/knownfiles.h"
#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "engine/ui/windowscript.h"
#include "game/shell/GGameMainHooks.h"
#include "tests/engine/ui/manager_fixture.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace gamemainscript_test {

using manager_test::Place;

struct TMusicHooks final : GGameMainHooks {
    std::vector<std::pair<int, int>> tracks;
    void PlayMusic(int track, int loop) override { tracks.emplace_back(track, loop); }
};

// The window system of a test platform with the game main's functions in its window script.
class GameMainScriptTest : public manager_test::TManagerTest {
protected:
    void SetUp() override {
        TManagerTest::SetUp();
        mScript = Manager()->GetWindowScript();
        ASSERT_NE(mScript, nullptr);
        L = mScript->GetState();
        PublishGameMainFunctions(L, mHooks);
        PublishLateGameMainFunctions(L);
    }
    void TearDown() override {
        WithdrawGameMainFunctions(L, mHooks);
        TManagerTest::TearDown();
    }

    void Run(const std::string& text) { mScript->DoLuaString(text.c_str()); }
    double Number(const char* name) { return mScript->GetGlobalNumber(name); }

    TWindowScript* mScript = nullptr;
    lua_State* L = nullptr;
    TMusicHooks mHooks;
};

TEST_F(GameMainScriptTest, ToIntGoesThroughSinglePrecisionAndTruncates) {
    struct TCase {
        const char* argument;
        double expected;
    };
    const TCase cases[] = {
        {"-2.7", -2},
        {"2.7", 2},
        {"'12.9'", 12},
        {"nil", 0},
        {"16777217", 16777216},
        {"-16777217", -16777216},
        {"16777219", 16777220},
        // Rounds up to 2^31 as a float, which no int holds: the conversion's defined result.
        {"2147483647", INT32_MIN},
        {"0/0", INT32_MIN},
        {"1e300", INT32_MIN},
        {"-1/0", INT32_MIN},
    };
    for (const TCase& c : cases) {
        Run(std::string("gResult = ToInt(") + c.argument + ")");
        EXPECT_EQ(Number("gResult"), c.expected) << c.argument;
    }
}

TEST_F(GameMainScriptTest, SetPosSearchesEveryLayerWhileTheOthersSearchTheTopOnly) {
    auto* lowImage = Place(mScreen, new TImage, {0, 0, 10, 10});
    lowImage->SetName("low_image");
    auto* lowText = Place(mScreen, new TText, {0, 0, 10, 10});
    lowText->SetName("low_text");
    TWindow* dialog = Push("dialog", {0, 0, 400, 300});
    auto* image = Place(dialog, new TImage, {0, 0, 10, 10});
    image->SetName("image");
    auto* text = Place(dialog, new TText, {0, 0, 10, 10});
    text->SetName("text");

    Run("SetPos('low_image', 5, 6); SetPos('text', 7, 8); SetPos('missing', 1, 1)");
    EXPECT_EQ(lowImage->GetRect().left, 5);
    EXPECT_EQ(lowImage->GetRect().top, 6);
    EXPECT_EQ(text->GetRect().left, 7);
    EXPECT_EQ(text->GetRect().top, 8);

    Run("SetImageAlpha('low_image', 0.5); SetImageAlpha('image', 0.25);"
        "SetImageAlpha('text', 0.75); SetImageAlpha('missing', 0.5)");
    EXPECT_EQ(lowImage->GetAlpha(), 1.0f);
    EXPECT_EQ(image->GetAlpha(), 0.25f);

    Run("SetUnderlineDistance('low_text', 4); SetUnderlineDistance('text', 3);"
        "SetUnderlineDistance('image', 9); SetUnderlineDistance('missing', 2)");
    EXPECT_EQ(lowText->GetUnderlineDistance(), 0);
    EXPECT_EQ(text->GetUnderlineDistance(), 3);

    // Numbers far outside a float's range are held to it.
    Run("SetImageAlpha('image', 1e300)");
    EXPECT_EQ(image->GetAlpha(), 3.40282347e+38f);
}

TEST_F(GameMainScriptTest, RunScriptRunsItsTextAsCode) {
    Run("RunScript('gRan = 40 + 2')");
    EXPECT_EQ(Number("gRan"), 42);
    // A file name is no code: it fails as Lua text and runs no file.
    Run("RunScript('scripts/mainloop.lua')");
    EXPECT_NE(LogText().find("Lua Error"), std::string::npos) << LogText();
}

TEST_F(GameMainScriptTest, PlayMusicReachesTheHooksUntilWithdrawn) {
    Run("PlayMusic(3, 1); PlayMusic(2.9, 0)");
    EXPECT_EQ(mHooks.tracks, (std::vector<std::pair<int, int>>{{3, 1}, {2, 0}}));
    WithdrawGameMainFunctions(L, mHooks);
    Run("local keep = PlayMusic");
    Run("ScriptDump('anything'); gAfterDump = 1");
    EXPECT_EQ(Number("gAfterDump"), 1);
    EXPECT_EQ(mHooks.tracks.size(), 2u);
}

TEST_F(GameMainScriptTest, FileExistsSeesLooseAndPackedFiles) {
    // One entry "packed/inner.lua" holding "x".
    std::string pack = std::string("QZPK\1\0\0\0", 8) + '\x10' + "packed/inner.lua";
    const char directoryEnd = static_cast<char>(8 + 1 + 16 + 8);
    pack += std::string(1, directoryEnd) + std::string("\0\0\0", 3) + std::string("\1\0\0\0", 4);
    pack += "x";
    testing_fixtures::TempDir folder;
    folder.Write("assets/data.qzp", pack);
    folder.Write("assets/scripts/loose.lua", "y");
    const std::filesystem::path old = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    ScanFolder("assets", str());

    Run("gFound = { FileExists('packed/inner.lua'), FileExists('scripts/loose.lua'),"
        "FileExists('scripts/none.lua') }");
    Run("gText = tostring(gFound[1]) .. ' ' .. tostring(gFound[2]) .. ' ' .. tostring(gFound[3])");
    EXPECT_EQ(manager_test::Text(mScript->GetGlobalString("gText")), "true true false");

    ClearKnownFiles();
    std::filesystem::current_path(old);
}

// Modal stacks from the bottom up (the root screen first) and what is left after
// PopWndInPauseMenuWnd, from the top down.
TEST_F(GameMainScriptTest, PopWndInPauseMenuWndStopsAtGameAndAtTheBottom) {
    struct TCase {
        std::vector<const char*> pushed;
        std::vector<std::string> left;
    };
    const std::string root = manager_test::Text(mScreen->GetName());
    const TCase cases[] = {
        {{"game", "pause", "options"}, {"game", root}},
        {{"game"}, {"game", root}},
        {{"menu", "pause"}, {root}},
        {{"it's", "a\\b"}, {root}},
        {{}, {root}},
    };
    for (const TCase& c : cases) {
        for (const char* name : c.pushed) {
            Push(name);
        }
        Run("PopWndInPauseMenuWnd()");
        EXPECT_EQ(Stack(), c.left) << (c.pushed.empty() ? "" : c.pushed.back());
        Manager()->DoPopModal(mScreen->GetIdText());
    }
}

TEST_F(GameMainScriptTest, PopWndInPauseMenuWndStopsWhenAPopChangesNothing) {
    Push("menu");
    Run("function PopModal(text) gPops = (gPops or 0) + 1 end");
    Run("PopWndInPauseMenuWnd()");
    EXPECT_EQ(Number("gPops"), 1);
    EXPECT_EQ(Stack().front(), "menu");
}

} // namespace gamemainscript_test
