// The developer tools' outside parts: the launcher of the object editor's process, with this test
// program's own child entry as the editor, and the binding of the level-data saver library
// "Trellane.dll" with the level file it writes, read back as Lua.
#include "engine/script/script.h"
#include "game/world/GProcessLauncher.h"
#include "game/world/GTrellaneSaver.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// The editor's stand-in: runs until the file "release" appears in EDITOR_FOLDER.
CHILD_ENTRY(EditorStandIn) {
    const fs::path release = fs::path(std::getenv("EDITOR_FOLDER")) / "release";
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(release) && std::chrono::steady_clock::now() < end) {
        usleep(2000);
    }
    return 0;
}

TEST(ProcessLauncher, HoldsOneChildAndReportsItsEndOnce) {
    testing_fixtures::TempDir folder;
    setenv("EDITOR_FOLDER", folder.Path().c_str(), 1);
    GProcessLauncher launcher;
    EXPECT_EQ(launcher.Poll(), -1) << "no child";
    EXPECT_FALSE(launcher.Launch("ostrevan.exe assets/scripts/stages/stages.lua 0 1"));
    EXPECT_EQ(launcher.Poll(), -1);

    ASSERT_TRUE(launcher.Launch("/proc/self/exe --child=EditorStandIn"));
    EXPECT_EQ(launcher.Poll(), 1);
    EXPECT_FALSE(launcher.Launch("/proc/self/exe --child=EditorStandIn")) << "one at a time";
    EXPECT_EQ(launcher.Poll(), 1);

    folder.Write("release", "");
    int polled = 1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (polled == 1 && std::chrono::steady_clock::now() < end) {
        usleep(2000);
        polled = launcher.Poll();
    }
    EXPECT_EQ(polled, 0) << "the end, once";
    EXPECT_EQ(launcher.Poll(), -1);
    ASSERT_TRUE(launcher.Launch("/proc/self/exe --child=EditorStandIn")) << "free again";
    unsetenv("EDITOR_FOLDER");
    // Destroyed while the child runs: the child is left to end by itself (released already).
}

TEST(ProcessLauncher, TheCurrentFolderIsWholeHoweverLong) {
    testing_fixtures::TempDir folder;
    const fs::path old = fs::current_path();
    // Longer than the 1040 characters a fixed buffer would hold.
    fs::path deep = folder.Path();
    for (int i = 0; i < 12; ++i) {
        deep /= std::string(100, static_cast<char>('a' + i));
    }
    fs::create_directories(deep);
    fs::current_path(deep);
    const str current = GetCurrentFolder();
    fs::current_path(old);
    std::string expected = deep.string();
    for (char& c : expected) {
        c = c == '/' ? '\\' : c;
    }
    EXPECT_EQ(std::string(current.CStr()), expected) << "in the engine's path form";
}

// Each test starts with the library not yet looked for, in a current folder of its own that holds
// the library when the test puts it there.
class TrellaneSaver : public ::testing::Test {
protected:
    void SetUp() override {
        mOldFolder = fs::current_path();
        fs::current_path(mFolder.Path());
        GetTrellaneSaver()->Unload();
    }
    void TearDown() override {
        GetTrellaneSaver()->Abort();
        GetTrellaneSaver()->Unload();
        fs::current_path(mOldFolder);
    }

    void PlaceLibrary() {
        fs::copy_file(testing_fixtures::BinaryDir() / "Trellane.dll",
                      mFolder.Path() / "Trellane.dll");
    }
    std::string Path(const char* name) const { return (mFolder.Path() / name).string(); }

    testing_fixtures::TempDir mFolder;
    fs::path mOldFolder;
};

TEST_F(TrellaneSaver, WithoutTheLibraryNothingOpens) {
    GTrellaneSaver* saver = GetTrellaneSaver();
    EXPECT_EQ(saver->GetState(), GTrellaneSaver::kClosed) << "looked for once";
    EXPECT_FALSE(saver->Open(Path("level_1.lua").c_str(), Path("variables.lua").c_str()));
    EXPECT_EQ(saver->GetState(), GTrellaneSaver::kClosed);
    EXPECT_EQ(saver->WriteObject("door", 1, 2), 0);
    EXPECT_EQ(saver->Close(Path("level_1.lua").c_str()), 0);
    EXPECT_FALSE(fs::exists(Path("level_1.lua")));
}

TEST_F(TrellaneSaver, TheLevelFileReadsBackAsTheWrittenPositions) {
    PlaceLibrary();
    mFolder.Write("level_1.lua", "positions['old'] = { x = 1, y = 1 }\n");
    GTrellaneSaver* saver = GetTrellaneSaver();
    EXPECT_EQ(saver->WriteObject("door", 1, 2), 0) << "not open yet";
    // The level file in the engine's path form, as the position editor names it.
    const std::string level = std::string(GetCurrentFolder().CStr()) + "/level_1.lua";
    ASSERT_TRUE(saver->Open(level.c_str(), Path("variables.lua").c_str()));
    EXPECT_EQ(saver->GetState(), GTrellaneSaver::kOpen);
    const char kOdd[] = "it's \"a\\b\"\n\x01"
                        "9";
    EXPECT_EQ(saver->WriteObject("door", 120, -35), 1);
    EXPECT_EQ(saver->WriteObject(kOdd, 0, 599), 1);
    EXPECT_EQ(saver->Close(level.c_str()), 1);
    EXPECT_EQ(saver->GetState(), GTrellaneSaver::kClosed);
    EXPECT_FALSE(fs::exists(Path("variables.lua"))) << "only the level file is written";
    EXPECT_FALSE(fs::exists(Path("level_1.lua.tmp")));

    const std::string text = mFolder.Read("level_1.lua");
    EXPECT_EQ(text.substr(0, text.find('\n') + 1), "positions['door'] = { x = 120, y = -35 }\n");
    TScript script;
    script.Init();
    script.DoLuaString("positions = {}");
    script.DoLuaString(str(text.data(), static_cast<int>(text.size())));
    script.DoLuaString(str("local p = positions[") + "'it\\'s \"a\\\\b\"\\n\\0019'" +
                       "] count = 0 for _ in pairs(positions) do count = count + 1 end "
                       "x, y, dx, dy = p.x, p.y, positions.door.x, positions.door.y");
    EXPECT_EQ(script.GetGlobalNumber("count"), 2) << "the old file is replaced";
    EXPECT_EQ(script.GetGlobalNumber("x"), 0);
    EXPECT_EQ(script.GetGlobalNumber("y"), 599);
    EXPECT_EQ(script.GetGlobalNumber("dx"), 120);
    EXPECT_EQ(script.GetGlobalNumber("dy"), -35);
}

TEST_F(TrellaneSaver, AnAbortedOrUnclosedSaverWritesNothing) {
    PlaceLibrary();
    GTrellaneSaver* saver = GetTrellaneSaver();
    ASSERT_TRUE(saver->Open(Path("level_1.lua").c_str(), Path("variables.lua").c_str()));
    EXPECT_EQ(saver->WriteObject("door", 1, 2), 1);
    EXPECT_EQ(saver->Abort(), 1);
    EXPECT_EQ(saver->GetState(), GTrellaneSaver::kClosed);
    EXPECT_EQ(saver->WriteObject("door", 1, 2), 0);
    EXPECT_EQ(saver->Close(Path("level_1.lua").c_str()), 0);

    ASSERT_TRUE(saver->Open(Path("level_1.lua").c_str(), Path("variables.lua").c_str()));
    EXPECT_EQ(saver->WriteObject("door", 1, 2), 1);
    saver->Unload();
    EXPECT_EQ(saver->GetState(), GTrellaneSaver::kNotLoaded);
    EXPECT_FALSE(fs::exists(Path("level_1.lua")));
}

TEST_F(TrellaneSaver, AFolderThatIsNotThereIsRefused) {
    PlaceLibrary();
    GTrellaneSaver* saver = GetTrellaneSaver();
    EXPECT_FALSE(saver->Open(Path("missing/level_1.lua").c_str(), Path("variables.lua").c_str()));
    EXPECT_EQ(saver->GetState(), GTrellaneSaver::kClosed);
    EXPECT_FALSE(saver->Open("", ""));
}

} // namespace
