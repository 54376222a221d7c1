#include "tests/engine/system/platform_fixture.h"

#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/script/script.h"
#include "engine/system/gamestate.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

namespace platform_test {
namespace {

// String table that records what the platform asks of it.
struct TRecordingStringTable final : TStringTableLink {
    static inline std::vector<std::string> sCalls;
    // Load of "strings.xml" answers this.
    static inline bool sLoads = false;

    ~TRecordingStringTable() override { sCalls.emplace_back("deleted"); }
    bool Load(const str& path) override {
        sCalls.push_back(std::string("load ") + path.CStr());
        return sLoads;
    }
    bool LoadFile(const str& path) override {
        sCalls.push_back(std::string("loadfile ") + path.CStr());
        return true;
    }
    void Clear() override { sCalls.emplace_back("clear"); }
};

struct TFakeSoundManager final : TSoundManagerLink {
    static inline int sMade = 0;
    static inline int sInits = 0;
    static inline bool sInitResult = true;
    void Update() override {}
    void SetActive(bool) override {}
    float GetVolume(int) override { return 1; }
    void SetVolume(int, float) override {}
    bool Init() override {
        ++sInits;
        return sInitResult;
    }
};

struct TCountedTask final : TTask {
    explicit TCountedTask(int* deletions) : mDeletions(deletions) {}
    ~TCountedTask() override { ++*mDeletions; }
    bool DoTask() override { return true; }
    int* mDeletions;
};

// Window manager that has a root once it was asked to make one.
struct TRootMaker final : TWindowManagerLink {
    static inline std::vector<std::pair<int, int>> sRoots;
    bool IsDrawingSuspended() const override { return false; }
    bool IsInputBlocked() const override { return false; }
    void Invalidate() override {}
    void AbortMovie() override {}
    bool GetRootRect(TRect* rect) const override {
        if (!sRoots.empty()) {
            *rect = TRect{0, 0, sRoots.back().first, sRoots.back().second};
        }
        return !sRoots.empty();
    }
    void CreateRootScreen(int width, int height) override { sRoots.emplace_back(width, height); }
};

class TPlatformFacadeTest : public TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        TRecordingStringTable::sCalls.clear();
        TRecordingStringTable::sLoads = false;
    }

    void TearDown() override {
        TPlatformTest::TearDown();
        SetSoundManagerFactory(nullptr);
        standin::RecordShellExecute(false);
        standin::TakeShellExecutes();
    }

    // The record, then TPlatform constructed while `folder` is the current directory (the record
    // itself moves to the program folder), with the user folder given when not null.
    TWin32Platform& MakePlatformIn(const std::filesystem::path& folder,
                                   const char* userFolder = nullptr) {
        mCommandLine = "";
        auto* record = new TWin32Platform(GetModuleHandleA(nullptr), nullptr, mCommandLine.data(),
                                          SW_SHOWNORMAL, true);
        SetCurrentDirectoryA(folder.string().c_str());
        if (userFolder != nullptr) {
            std::snprintf(record->mUserFolder, MAX_PATH, "%s", userFolder);
        }
        mPlatform = new TPlatform(record);
        return *record;
    }

    static void UseRecordingStringTable() {
        TWindowSystemFactory factory;
        factory.createWindowManager = []() -> TWindowManagerLink* {
            return new TFakeWindowManager;
        };
        factory.createStringTable = []() -> TStringTableLink* { return new TRecordingStringTable; };
        SetWindowSystemFactory(factory);
    }
};

TEST_F(TPlatformFacadeTest, ConstructorSetsDefaultsAndKeepsTheUtf8ModeItFound) {
    SetSetting("utf8mode", "1");
    standin::TVersionBlock block;
    block.major = 2;
    block.minor = 5;
    block.strings = {{"ProductName", "Marivell Test"}, {"InternalName", "tag-9"}};
    standin::SetVersionBlock(block);
    MakePlatform();
    EXPECT_EQ(GetSetting("memorymax"), str("100000000"));
    EXPECT_EQ(GetSetting("texturememorymax"), str("100000000"));
    EXPECT_EQ(GetSetting("utf8modeinit"), str("1"));
    SetSetting("utf8mode", "0");
    EXPECT_EQ(GetSetting("utf8modeinit"), str("1"));
    EXPECT_EQ(GetSetting("computerid").Length(), 16);
    EXPECT_EQ(GetSetting("gamename"), str("Marivell Test"));
    EXPECT_EQ(GetSetting("version"), str("2.5.0.0"));
    EXPECT_EQ(GetSetting("buildtag"), str("tag-9"));
}

TEST_F(TPlatformFacadeTest, SettingsFileChildrenBecomeSettingsAndTheGameNameIsReplaced) {
    testing_fixtures::TempDir folder;
    folder.Write("assets/settings.xml", "<settings><a>1</a><b>two words</b>"
                                        "<gamename>From File</gamename></settings>");
    standin::RemoveVersionBlock();
    TWin32Platform& record = MakePlatformIn(folder.Path());
    EXPECT_EQ(GetSetting("a"), str("1"));
    EXPECT_EQ(GetSetting("b"), str("two words"));
    EXPECT_EQ(record.mGameName, str("Stellagrim Application"));
    EXPECT_EQ(GetSetting("gamename"), str("Stellagrim Application"));
}

TEST_F(TPlatformFacadeTest, MissingSettingsFileOrElementChangesNothing) {
    const char* const files[] = {nullptr, "<other><a>1</a></other>", "<settings></settings>"};
    for (const char* text : files) {
        testing_fixtures::TempDir folder;
        if (text != nullptr) {
            folder.Write("assets/settings.xml", text);
        }
        MakePlatformIn(folder.Path());
        EXPECT_EQ(GetSetting("a", "absent"), str("absent")) << (text ? text : "no file");
        delete mPlatform;
        mPlatform = nullptr;
    }
}

TEST_F(TPlatformFacadeTest, ADamagedSettingsFileIsLoggedWithItsFault) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().string().c_str());
    testing_fixtures::TempDir folder;
    folder.Write("assets/settings.xml", "<settings>\n<a>1</a>\n<b>2</settings>");
    MakePlatformIn(folder.Path());
    SetLogFolder(nullptr);
    // What the reader could take is still taken.
    EXPECT_EQ(GetSetting("a"), str("1"));
    const std::string log = logs.Read("logfile.txt");
    EXPECT_NE(log.find("XML file ::assets/settings.xml does not parse: end tag </settings> does "
                       "not match <b> at line 3, column 5\r\n"),
              std::string::npos)
        << log;
}

TEST_F(TPlatformFacadeTest, StringTablesLoadAndSwitchLabelTranslationOn) {
    for (const bool loads : {false, true}) {
        UseRecordingStringTable();
        TRecordingStringTable::sCalls.clear();
        TRecordingStringTable::sLoads = loads;
        testing_fixtures::TempDir folder;
        folder.Write("user/strings_more.xml", "x");
        folder.Write("user/Strings_Caps.XML", "x");
        folder.Write("user/notstrings.xml", "x");
        folder.Write("user/strings.txt", "x");
        MakePlatformIn(folder.Path(), (folder.Path() / "user").string().c_str());
        // Known-file keys are lower-cased; only the user folder's string files are added.
        const std::vector<std::string> expected = {
            "load strings.xml", "loadfile user:strings_caps.xml", "loadfile user:strings_more.xml"};
        EXPECT_EQ(TRecordingStringTable::sCalls, expected);
        EXPECT_EQ(mPlatform->GetWindowManager()->SetTranslateLabels(false), loads);
        delete mPlatform;
        mPlatform = nullptr;
        const std::vector<std::string> tail(TRecordingStringTable::sCalls.end() - 2,
                                            TRecordingStringTable::sCalls.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"clear", "deleted"}));
    }
}

TEST_F(TPlatformFacadeTest, WindowScriptLivesWithoutAWindowSystem) {
    SetWindowSystemFactory(TWindowSystemFactory{});
    MakePlatform();
    TScript* script = mPlatform->GetWindowManager()->GetScript();
    ASSERT_NE(script, nullptr);
    ASSERT_NE(script->GetState(), nullptr);
    script->DoLuaString("gAnswer = 6 * 7");
    EXPECT_EQ(script->GetGlobalNumber("gAnswer"), 42.0);
    // The main task list runs it and deletes it at shutdown (a leak would fail the run).
    EXPECT_TRUE(mPlatform->RemoveTask(script));
    mPlatform->AddTask(script);
}

TEST_F(TPlatformFacadeTest, SettingsHookAppliesWhileThePlatformLives) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    SetSetting("viewportscale", "3");
    TWin32Platform& record = MakePlatform();
    EXPECT_EQ(record.mViewportScale, 1.0f) << "written before the platform: not applied";
    SetSetting("viewportscale", "2.5");
    EXPECT_EQ(record.mViewportScale, 2.5f);
    SetSetting("vsync", "1");
    SetSetting("vsync", "0");
    EXPECT_EQ(display.vsyncs, (std::vector<bool>{true, false}));
    // The memory limit goes to the log module, which must not take it for a folder.
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().string().c_str());
    const str logPath = GetLogPath();
    SetSetting("memorymax", "5000");
    EXPECT_EQ(GetLogPath(), logPath);
    SetLogFolder(nullptr);
    delete mPlatform;
    mPlatform = nullptr;
    SetSetting("vsync", "1");
    EXPECT_EQ(display.vsyncs.size(), 2u);
    SetDisplayLink(nullptr);
}

TEST_F(TPlatformFacadeTest, CursorVisibilityAsksTheDisplayOnlyOnAChange) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    MakePlatform();
    EXPECT_TRUE(mPlatform->SetCursorVisible(true)) << "already visible: answered unchanged";
    EXPECT_TRUE(display.cursorShows.empty());
    mPlatform->SetCursorVisible(false);
    EXPECT_FALSE(mPlatform->SetCursorVisible(false));
    EXPECT_EQ(display.cursorShows, std::vector<bool>{false});
    EXPECT_EQ(mPlatform->GetMouseMode(), 0);
    SetDisplayLink(nullptr);
}

TEST_F(TPlatformFacadeTest, SetDisplayMakesTheRootOnceAndResetsTheClip) {
    TRootMaker::sRoots.clear();
    TWindowSystemFactory factory;
    factory.createWindowManager = []() -> TWindowManagerLink* { return new TRootMaker; };
    SetWindowSystemFactory(factory);
    TFakeDisplay display;
    SetDisplayLink(&display);
    TFakeRenderer renderer;
    Open();
    mPlatform->SetDisplay(800, 600, false);
    mPlatform->SetDisplay(640, 480, false);
    EXPECT_EQ(TRootMaker::sRoots, (std::vector<std::pair<int, int>>{{800, 600}}));
    ASSERT_EQ(display.setDisplays.size(), 2u);
    EXPECT_EQ(display.setDisplays[1].width, 640);
    EXPECT_EQ(renderer.clipCalls,
              (std::vector<std::string>{"pop", "push 0,0,800,600", "pop", "push 0,0,640,480"}));
    SetDisplayLink(nullptr);
}

TEST_F(TPlatformFacadeTest, DisplayStateGoesThroughTheDisplayLink) {
    MakePlatform();
    EXPECT_FALSE(IsDisplayOk()) << "no display handler";
    EXPECT_TRUE(mPlatform->IsFlipDone());
    struct TFlipDisplay final : TDisplayLink {
        bool ready = true;
        bool flipDone = false;
        int shortages = 0;
        bool Exists() const override { return true; }
        bool IsReady() override { return ready; }
        bool IsFlipDone() override { return flipDone; }
        void OnOutOfVideoMemory() override { ++shortages; }
    } display;
    SetDisplayLink(&display);
    EXPECT_TRUE(IsDisplayOk());
    display.ready = false;
    EXPECT_FALSE(IsDisplayOk());
    EXPECT_FALSE(mPlatform->IsFlipDone());
    mPlatform->OnOutOfVideoMemory();
    EXPECT_EQ(display.shortages, 1);
    SetDisplayLink(nullptr);
}

TEST_F(TPlatformFacadeTest, InitSoundNeedsARegisteredSoundManager) {
    MakePlatform();
    EXPECT_FALSE(mPlatform->InitSound());
    EXPECT_EQ(mPlatform->GetSoundManager(), nullptr);

    TFakeSoundManager::sMade = 0;
    TFakeSoundManager::sInits = 0;
    TFakeSoundManager::sInitResult = false;
    SetSoundManagerFactory([]() -> TSoundManagerLink* {
        ++TFakeSoundManager::sMade;
        return new TFakeSoundManager;
    });
    EXPECT_FALSE(mPlatform->InitSound()) << "the manager's own answer";
    TSoundManagerLink* made = mPlatform->GetSoundManager();
    ASSERT_NE(made, nullptr);
    TFakeSoundManager::sInitResult = true;
    EXPECT_TRUE(mPlatform->InitSound());
    EXPECT_EQ(mPlatform->GetSoundManager(), made);
    EXPECT_EQ(TFakeSoundManager::sMade, 1);
    EXPECT_EQ(TFakeSoundManager::sInits, 2);
}

TEST_F(TPlatformFacadeTest, TaskListsHandTasksBackOrDeleteThemAtShutdown) {
    MakePlatform();
    int deletions = 0;
    auto* kept = new TCountedTask(&deletions);
    auto* restore = new TCountedTask(&deletions);
    auto* main = new TCountedTask(&deletions);
    mPlatform->AddTask(kept);
    mPlatform->AddTask(main);
    mPlatform->AddRestoreTask(restore);
    EXPECT_TRUE(mPlatform->RemoveTask(kept));
    EXPECT_FALSE(mPlatform->RemoveTask(kept));
    EXPECT_FALSE(mPlatform->RemoveRestoreTask(main));
    delete mPlatform;
    mPlatform = nullptr;
    EXPECT_EQ(deletions, 2);
    delete kept;
}

TEST_F(TPlatformFacadeTest, DestructorDeletesTheGameStateAndClearsTheInstance) {
    MakePlatform();
    ASSERT_NE(TGameState::Get(), nullptr);
    delete mPlatform;
    mPlatform = nullptr;
    EXPECT_EQ(TGameState::Peek(), nullptr);
    EXPECT_EQ(TPlatform::GetInstance(), nullptr);
    EXPECT_EQ(TGameState::Get(), nullptr) << "not created again without a platform";
}

TEST_F(TPlatformFacadeTest, WindowTitleInEitherCharacterSet) {
    struct TCase {
        bool utf8;
        const char* title;
        const char* shown; // UTF-8
    };
    const TCase cases[] = {
        {false, "Caf\xE9", "Caf\xC3\xA9"},                                // Windows-1252 text
        {true, "\xCE\xA9mega \xE2\x98\x85", "\xCE\xA9mega \xE2\x98\x85"}, // UTF-8 text
    };
    for (const TCase& c : cases) {
        SetSetting("utf8mode", c.utf8 ? "1" : "0");
        Open();
        mPlatform->SetWindowTitle(c.title);
        ASSERT_NE(standin::SdlWindowId(mMain), 0u);
        EXPECT_EQ(standin::NativeWindowTitle(mMain), c.shown) << c.utf8;
        delete mPlatform;
        mPlatform = nullptr;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
    }
}

TEST_F(TPlatformFacadeTest, ClipboardTextRoundTripAndNonTextData) {
    Open();
    EXPECT_TRUE(mPlatform->SetClipboardText("copied text"));
    EXPECT_EQ(mPlatform->GetClipboardText(), str("copied text"));

    // A picture on the clipboard: there is no text to give.
    constexpr UINT kDibFormat = 8;
    ASSERT_TRUE(OpenClipboard(mMain));
    EmptyClipboard();
    HGLOBAL picture = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(SetClipboardData(kDibFormat, picture), nullptr);
    CloseClipboard();
    EXPECT_TRUE(IsClipboardFormatAvailable(kDibFormat));
    EXPECT_EQ(mPlatform->GetClipboardText(), str(""));

    EXPECT_TRUE(mPlatform->SetClipboardText(""));
    EXPECT_EQ(mPlatform->GetClipboardText(), str(""));
    EXPECT_FALSE(IsClipboardFormatAvailable(kDibFormat)) << "replaced by the text";
}

TEST_F(TPlatformFacadeTest, ClipboardHeldByAnotherThreadFails) {
    Open();
    std::atomic<bool> opened{false};
    std::atomic<bool> release{false};
    std::thread other([&] {
        opened = OpenClipboard(nullptr) != FALSE;
        while (!release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        CloseClipboard();
    });
    while (!opened) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(mPlatform->SetClipboardText("x"));
    release = true;
    other.join();
}

TEST_F(TPlatformFacadeTest, LaunchUrlPicksTheBrowser) {
    struct TCase {
        const char* commandLine;
        bool embedded;
        const char* file;
        const char* parameters;
    };
    const TCase cases[] = {
        {"", false, "http://a.example/x", ""},
        {"-host=firefox -other", false, "http://a.example/x", ""},
        {"-host=/usr/bin/firefox -other", true, "/usr/bin/firefox", "http://a.example/x"},
        {"-wnd=10", true, "iexplore.exe", "http://a.example/x"},
        {"-host= -x", true, "iexplore.exe", "http://a.example/x"},
    };
    standin::RecordShellExecute(true);
    for (const TCase& c : cases) {
        TWin32Platform& record = MakePlatform(c.commandLine);
        record.mEmbedded = c.embedded;
        mPlatform->LaunchUrl("http://a.example/x");
        const auto launched = standin::TakeShellExecutes();
        ASSERT_EQ(launched.size(), 1u) << c.commandLine;
        EXPECT_EQ(launched[0].file, c.file) << c.commandLine;
        EXPECT_EQ(launched[0].parameters, c.parameters) << c.commandLine;
        delete mPlatform;
        mPlatform = nullptr;
    }
}

TEST_F(TPlatformFacadeTest, ForegroundIsTheMainWindow) {
    Open();
    SetForegroundWindow(mMain);
    EXPECT_TRUE(mPlatform->IsForeground());
    HWND other = MakeWindow(50, 50);
    SetForegroundWindow(other);
    EXPECT_FALSE(mPlatform->IsForeground());
}

TEST_F(TPlatformFacadeTest, HostedGameCountsItsHostsAsForeground) {
    HWND host = MakeWindow(200, 150);
    Open(host);
    SetForegroundWindow(host);
    EXPECT_FALSE(mPlatform->IsForeground()) << "embedded without -pq=";
    gCommandLine = "-pq=1";
    EXPECT_TRUE(mPlatform->IsForeground());
    HWND other = MakeWindow(50, 50);
    SetForegroundWindow(other);
    EXPECT_FALSE(mPlatform->IsForeground());
}

TEST_F(TPlatformFacadeTest, LaunchUrlMinimisesAFullScreenHost) {
    standin::RecordShellExecute(true);
    HWND host = MakeWindow(200, 150);
    Open(host);
    gCommandLine = "-pq=1";
    mPlatform->LaunchUrl("http://a.example/");
    EXPECT_FALSE(IsIconic(host)) << "the host is not full screen";
    gPortalHostFullScreen = true;
    mPlatform->LaunchUrl("http://a.example/");
    EXPECT_TRUE(IsIconic(host));
    EXPECT_EQ(standin::TakeShellExecutes().size(), 2u);
}

TEST_F(TPlatformFacadeTest, PostQuitEndsInTheQuitEvent) {
    Open();
    mPlatform->PostQuit(0);
    const std::vector<TEvent> events = UntilIdleOrQuit();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().type, kEventQuit);
}

} // namespace
} // namespace platform_test
