#include "engine/system/enginemain.h"

#include "engine/core/assetmanager.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/core/task.h"
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/portal.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"
#include "platform/win32/pathconv.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/fakehost.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

// What happened during shutdown, in order.
std::vector<std::string>& Teardown() {
    static std::vector<std::string> events;
    return events;
}

struct TRecordingWindowManager final : TWindowManagerLink {
    ~TRecordingWindowManager() override { Teardown().emplace_back("window manager"); }
    bool IsDrawingSuspended() const override { return false; }
    bool IsInputBlocked() const override { return false; }
    void Invalidate() override {}
    void AbortMovie() override {}
    bool GetRootRect(TRect*) const override { return false; }
};

struct TRecordingStringTable final : TStringTableLink {
    ~TRecordingStringTable() override { Teardown().emplace_back("string table deleted"); }
    void Clear() override { Teardown().emplace_back("string table cleared"); }
};

// What happened during start-up, in order.
std::vector<std::string>& Startup() {
    static std::vector<std::string> events;
    return events;
}

struct TRecordingGlyphRenderer final : TGlyphRendererLink {
    ~TRecordingGlyphRenderer() override { Teardown().emplace_back("glyph renderer"); }
};

struct TRecordingSoundManager final : TSoundManagerLink {
    ~TRecordingSoundManager() override { Teardown().emplace_back("sound manager"); }
    bool Init() override {
        Startup().emplace_back("sound init");
        return true;
    }
    void Update() override {}
    void SetActive(bool) override {}
    float GetVolume(int) override { return 1; }
    void SetVolume(int, float) override {}
};

struct TRecordingTask final : TTask {
    explicit TRecordingTask(const char* name) : mName(name) {}
    ~TRecordingTask() override { Teardown().emplace_back(mName); }
    bool DoTask() override { return true; }
    const char* mName;
};

struct TRecordingHandler final : TGameStateHandler {
    ~TRecordingHandler() override { Teardown().emplace_back("game state"); }
    bool SetState(const char*, const char*) override { return false; }
};

// What the test's game main saw while the engine was up.
struct TSeen {
    int calls = 0;
    bool platformIsTheInstance = false;
    std::string commandLine;
    std::map<std::string, std::string> settings;
    std::map<std::string, std::string> state;
    std::filesystem::path currentFolder;
    std::string userFolder;
    std::string commonFolder;
    std::string programFolder;
    bool embedded = false;
    HWND host = nullptr;
    HWND main = nullptr;
};

TSeen gSeen;

const char* const kSettingKeys[] = {"a",       "b",    "cheatcode", "installkey", "startupdir",
                                    "activex", "-foo", "gamename",  "hooked"};

int RecordingGameMain(TPlatform* platform, const char* commandLine) {
    // Start-up work (the string table's load empties it first) is no part of the teardown.
    Teardown().clear();
    ++gSeen.calls;
    gSeen.platformIsTheInstance = platform != nullptr && platform == TPlatform::GetInstance();
    gSeen.commandLine = commandLine;
    for (const char* key : kSettingKeys) {
        const str value = GetSetting(key, "<absent>");
        gSeen.settings[key] = value.CStr();
    }
    if (TGameState* state = TGameState::Get()) {
        for (const char* key : {"cmdline", "commondatadir", "userdatadir"}) {
            gSeen.state[key] = state->GetState(key).CStr();
        }
    }
    gSeen.currentFolder = std::filesystem::current_path();
    TWin32Platform& record = *platform->GetWin32();
    gSeen.userFolder = record.mUserFolder;
    gSeen.commonFolder = record.mCommonFolder;
    gSeen.programFolder = record.mProgramFolder;
    gSeen.embedded = record.mEmbedded;
    gSeen.host = record.mExternalWindowParent;
    gSeen.main = record.mMainWindow;

    platform->AddTask(new TRecordingTask("main task"));
    platform->AddRestoreTask(new TRecordingTask("restore task"));
    TGameState::AddHandler(new TRecordingHandler);
    return 7;
}

class TEngineMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::SetRuntimeFolder(mRuntime.Path().string());
        mOldFolder = std::filesystem::current_path();
        gSeen = TSeen{};
        Teardown().clear();
        TWindowSystemFactory factory;
        factory.createWindowManager = []() -> TWindowManagerLink* {
            return new TRecordingWindowManager;
        };
        factory.createStringTable = []() -> TStringTableLink* { return new TRecordingStringTable; };
        factory.clearFontList = [] { Teardown().emplace_back("fonts"); };
        SetWindowSystemFactory(factory);
        SetSoundManagerFactory([]() -> TSoundManagerLink* { return new TRecordingSoundManager; });
    }

    void TearDown() override {
        SetWindowSystemFactory(TWindowSystemFactory{});
        SetSoundManagerFactory(nullptr);
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
        gCommandLine = nullptr;
        gPortalHostWindow = nullptr;
        SetLogFolder(nullptr);
        ClearSettings();
        std::filesystem::current_path(mOldFolder);
    }

    void Run(const std::string& commandLine, bool multiInstance = true) {
        mLine.assign(commandLine.begin(), commandLine.end());
        mLine.push_back('\0');
        EngineMain(GetModuleHandleA(nullptr), nullptr, mLine.data(), SW_SHOWNORMAL,
                   &RecordingGameMain, multiInstance);
    }

    // HOME points here, so the data folders and the log land inside.
    testing_fixtures::TempDir mHome{true};
    testing_fixtures::TempDir mRuntime;
    std::filesystem::path mOldFolder;
    std::vector<char> mLine;
};

TEST_F(TEngineMainTest, SmokeRunStoresTheCommandLineRunsTheGameOnceAndTearsDownInOrder) {
    const std::string line = "options=a=1&b=2 --cheat XYZ -foo";
    Run(line);
    EXPECT_EQ(gSeen.calls, 1);
    EXPECT_TRUE(gSeen.platformIsTheInstance);
    EXPECT_EQ(gSeen.commandLine, line);
    EXPECT_EQ(gSeen.settings["a"], "1");
    EXPECT_EQ(gSeen.settings["b"], "2");
    EXPECT_EQ(gSeen.settings["cheatcode"], "XYZ");
    EXPECT_EQ(gSeen.settings["-foo"], "<absent>");
    EXPECT_EQ(gSeen.settings["activex"], "<absent>");
    EXPECT_NE(gSeen.settings["installkey"], "<absent>");
    EXPECT_NE(gSeen.settings["startupdir"], "<absent>");
    EXPECT_EQ(gSeen.state["cmdline"], line);
    EXPECT_EQ(gSeen.state["userdatadir"], gSeen.userFolder);
    EXPECT_EQ(gSeen.state["commondatadir"], gSeen.commonFolder);

    const std::vector<std::string> expected = {
        "window manager",       "main task", "sound manager", "game state", "string table cleared",
        "string table deleted", "fonts",     "restore task",
    };
    EXPECT_EQ(Teardown(), expected);
    EXPECT_EQ(TPlatform::GetInstance(), nullptr);
    EXPECT_EQ(TGameState::Peek(), nullptr);
    EXPECT_EQ(GetSetting("a", "<cleared>"), str("<cleared>"));
}

// Media's renderer comes up right after the sound and goes right after the glyph renderer.
TEST_F(TEngineMainTest, RendererMadeAfterTheSoundAndDestroyedAfterTheGlyphRenderer) {
    Startup().clear();
    SetRendererHooks(
        [] {
            Startup().emplace_back("renderer made");
            if (TPlatform* platform = TPlatform::GetInstance()) {
                platform->GetWin32()->mGlyphRenderer = new TRecordingGlyphRenderer;
            }
        },
        [] { Teardown().emplace_back("renderer destroyed"); });
    Run("");
    SetRendererHooks(nullptr, nullptr);
    EXPECT_EQ(Startup(), (std::vector<std::string>{"sound init", "renderer made"}));
    const std::vector<std::string> expected = {
        "window manager",
        "main task",
        "sound manager",
        "glyph renderer",
        "renderer destroyed",
        "game state",
        "string table cleared",
        "string table deleted",
        "fonts",
        "restore task",
    };
    EXPECT_EQ(Teardown(), expected);
}

// The game's shutdown work runs once the windows and the tasks are gone, while the platform, the
// sound manager, the renderer and the asset manager are still there; several hooks run in the
// order they were added, and one taken back runs no more.
TEST_F(TEngineMainTest, ShutdownHooksRunInOrderBeforeTheRendererAndTheAssetsGo) {
    SetRendererHooks([] {}, [] { Teardown().emplace_back("renderer destroyed"); });
    const auto hook = [](const char* name) {
        return [name] {
            const bool whole = TPlatform::GetInstance() != nullptr && GetAssetManager() != nullptr;
            Teardown().push_back(std::string(name) + (whole ? ", assets there" : ", assets gone"));
        };
    };
    const int first = AddShutdownHook(hook("first"));
    const int second = AddShutdownHook(hook("second"));
    const int third = AddShutdownHook(hook("third"));
    Run("");
    const std::vector<std::string> expected = {
        "window manager",
        "main task",
        "first, assets there",
        "second, assets there",
        "third, assets there",
        "sound manager",
        "renderer destroyed",
        "game state",
        "string table cleared",
        "string table deleted",
        "fonts",
        "restore task",
    };
    EXPECT_EQ(Teardown(), expected);

    Teardown().clear();
    RemoveShutdownHook(second);
    Run("");
    EXPECT_EQ(std::count(Teardown().begin(), Teardown().end(), "first, assets there"), 1);
    EXPECT_EQ(std::count(Teardown().begin(), Teardown().end(), "second, assets there"), 0);
    EXPECT_EQ(std::count(Teardown().begin(), Teardown().end(), "third, assets there"), 1);

    Teardown().clear();
    RemoveShutdownHook(first);
    RemoveShutdownHook(third);
    SetRendererHooks(nullptr, nullptr);
    Run("");
    EXPECT_EQ(
        std::count_if(Teardown().begin(), Teardown().end(),
                      [](const std::string& line) { return line.find("assets") != line.npos; }),
        0);
}

TEST_F(TEngineMainTest, DataFoldersUnderTheUserProfileAndTheLogThere) {
    SetSetting("publisher", "Kelvane");
    SetSetting("gamename", "Smoke Game");
    Run("");
    const std::string home = standin::ToWindowsPath(mHome.Path().string());
    EXPECT_EQ(gSeen.userFolder, home + "\\.local\\share\\Kelvane\\Smoke Game");
    EXPECT_EQ(gSeen.commonFolder, home + "\\.local\\share\\common\\Kelvane\\Smoke Game");
    const std::string log = mHome.Read(".local/share/Kelvane/Smoke Game/logfile.txt");
    EXPECT_NE(log.find("Smoke Game, version"), std::string::npos) << log;
}

TEST_F(TEngineMainTest, WorkingDirectorySwitch) {
    const std::filesystem::path blank = mHome.Path() / "work dir";
    const std::filesystem::path plain = mHome.Path() / "plain";
    std::filesystem::create_directories(blank);
    std::filesystem::create_directories(plain);
    struct TCase {
        std::string line;
        std::filesystem::path folder;
    };
    const TCase cases[] = {
        {"-foo -wd=\"" + blank.string() + "\" -bar", blank},
        {"-wd=\"" + blank.string(), blank},
        {"-wd=" + plain.string() + " -bar", plain},
    };
    for (const TCase& c : cases) {
        Run(c.line);
        EXPECT_EQ(gSeen.currentFolder, c.folder) << c.line;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
    }
}

TEST_F(TEngineMainTest, CheatSwitchAtTheEndStoresNothing) {
    for (const char* line : {"-x --cheat", "-x --cheat "}) {
        Run(line);
        EXPECT_EQ(gSeen.settings["cheatcode"], "<absent>") << line;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
    }
}

TEST_F(TEngineMainTest, AxTestEmbedsTheWindowInItselfAndKeepsTheProgramFolder) {
    Run("--axtest");
    EXPECT_TRUE(gSeen.embedded);
    EXPECT_EQ(gSeen.host, gSeen.main);
    EXPECT_EQ(gSeen.settings["activex"], "1");
    std::string program = gSeen.programFolder;
    program.pop_back();
    EXPECT_EQ(gSeen.userFolder, program) << "one trailing backslash dropped";
    EXPECT_EQ(gSeen.commonFolder, program);
}

TEST_F(TEngineMainTest, EmbeddedInAHostKeepsTheProgramFolderAndWritesNoLog) {
    testing_fixtures::TFakeHost host;
    SetLogFolder(nullptr);
    Run(host.WndSwitch() + " -foo");
    EXPECT_TRUE(gSeen.embedded);
    EXPECT_EQ(gSeen.host, host.Handle());
    EXPECT_EQ(gSeen.settings["activex"], "1");
    std::string program = gSeen.programFolder;
    program.pop_back();
    EXPECT_EQ(gSeen.userFolder, program);
    EXPECT_EQ(GetLogPath(), str(""));
    EXPECT_FALSE(std::filesystem::exists(mHome.Path() / ".local"));
}

TEST_F(TEngineMainTest, HostedModeWithMsnStartsTheMsnHandler) {
    testing_fixtures::TFakeHost host;
    Run(host.WndSwitch() + " -msn -pq=1");
    EXPECT_TRUE(IsMsnMode());
    // Hosted mode takes the data folders and the log even when embedded.
    EXPECT_TRUE(std::filesystem::exists(mHome.Path() / ".local"));
    ResetPortalStateForTests();
}

TEST(TEngineMainDeathTest, AHostThatHasGoneEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing_fixtures::TempDir home(true);
    testing_fixtures::TFakeHost host;
    static char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%s", host.WndSwitch().c_str());
    host.Close();
    EXPECT_EXIT(EngineMain(GetModuleHandleA(nullptr), nullptr, buffer, SW_SHOWNORMAL,
                           &RecordingGameMain, false),
                ::testing::ExitedWithCode(255), "");
}

// Plug-ins are the ".qzmod" files of the assets tree; this one is a copy of the test plug-in
// under a name of its own, removed again after the test.
TEST_F(TEngineMainTest, PluginsLoadBeforeTheGameStateValuesAndLeaveAtShutdown) {
    const std::filesystem::path program =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::filesystem::path plugin = program / "assets" / "enginemain_test.qzmod";
    std::filesystem::create_directories(plugin.parent_path());
    std::filesystem::copy_file(program / "testhandler.qzmod", plugin,
                               std::filesystem::copy_options::overwrite_existing);
    const std::filesystem::path log = mHome.Path() / "plugin.log";
    setenv("STELLAGRIM_TESTPLUGIN_LOG", log.c_str(), 1);
    Run("-x");
    unsetenv("STELLAGRIM_TESTPLUGIN_LOG");
    std::filesystem::remove(plugin);
    std::error_code notEmpty;
    std::filesystem::remove(plugin.parent_path(), notEmpty);
    const std::string calls = mHome.Read("plugin.log");
    const size_t created = calls.find("create");
    const size_t told = calls.find("SetState cmdline=-x");
    const size_t destroyed = calls.find("destroy");
    ASSERT_NE(created, std::string::npos) << calls;
    ASSERT_NE(told, std::string::npos) << calls;
    ASSERT_NE(destroyed, std::string::npos) << calls;
    EXPECT_LT(created, told);
    EXPECT_LT(told, destroyed);
    EXPECT_NE(calls.find("SetState userdatadir="), std::string::npos) << calls;
}

TEST_F(TEngineMainTest, TestHookMayReplaceTheCommandLineAndHearsTheEnd) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "EngineMainHarness";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "EngineMainHarness", "harness", WS_POPUP, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const std::string handle =
        str::FromFormat("%llx",
                        static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)))
            .CStr();
    setenv("STELLAGRIM_HARNESS_WINDOW", handle.c_str(), 1);
    // The hook is looked for in the current folder too, before the engine moves elsewhere.
    std::filesystem::current_path(testing_fixtures::HarnessFolder());
    Run("-x");
    unsetenv("STELLAGRIM_HARNESS_WINDOW");
    EXPECT_EQ(gSeen.commandLine, "options=hooked=1 -x");
    EXPECT_EQ(gSeen.state["cmdline"], "options=hooked=1 -x");
    EXPECT_EQ(gSeen.settings["hooked"], "1");
    MSG message{};
    bool quitPosted = false;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        quitPosted = quitPosted || (message.message == WM_QUIT && message.hwnd == window);
    }
    EXPECT_TRUE(quitPosted);
    gTestHookWindow = nullptr;
    DestroyWindow(window);
    UnregisterClassA("EngineMainHarness", nullptr);
}

TEST(TEngineMainDeathTest, AHostWindowThatIsNoWindowEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing_fixtures::TempDir home(true);
    for (const char* line : {"-wnd=0", "-wnd=fffffff0 -x", "-wnd=zz"}) {
        static char buffer[64];
        std::snprintf(buffer, sizeof(buffer), "%s", line);
        EXPECT_EXIT(EngineMain(GetModuleHandleA(nullptr), nullptr, buffer, SW_SHOWNORMAL,
                               &RecordingGameMain, false),
                    ::testing::ExitedWithCode(255), "")
            << line;
    }
}

TEST(TEngineMainOptions, PairsUpToTheFirstSwitch) {
    struct TCase {
        const char* line;
        std::map<std::string, std::string> stored;
    };
    const TCase cases[] = {
        {"options=a=1&b=2 -x", {{"a", "1"}, {"b", "2"}}},
        {"options=a=1 b=2", {{"a", "1"}, {"b", "2"}}},
        {"options= a=1", {}},
        // A blank ends the value: the next switch's '=' and '&' are its own.
        {"options=a=1 -host=x&y", {{"a", "1"}}},
        {"-f options=k=v", {{"k", "v"}}},
        {"options=a=&b=2", {{"a", ""}, {"b", "2"}}},
        {"options=a=1&b", {{"a", "1"}}},
        {"options=a=1 plain b=2", {{"a", "1"}}},
        {"options=a=1&", {{"a", "1"}}},
        {"options=noequals", {}},
        {"options=", {}},
        {"--cheat x", {}},
    };
    for (const TCase& c : cases) {
        ClearSettings();
        StoreOptions(c.line);
        for (const auto& [key, value] : c.stored) {
            EXPECT_EQ(GetSetting(key.c_str(), "<absent>"), str(value.c_str()))
                << c.line << " key " << key;
        }
        for (const char* other : {"a", "b", "k", "-host", "y", "plain b", "b", " a", "noequals"}) {
            if (c.stored.count(other) == 0) {
                EXPECT_EQ(GetSetting(other, "<absent>"), str("<absent>"))
                    << c.line << " key " << other;
            }
        }
    }
    ClearSettings();
}

} // namespace
