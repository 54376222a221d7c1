#include "tests/engine/system/platform_fixture.h"

#include "engine/core/knownfiles.h"
#include "engine/core/log.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

namespace platform_test {
namespace {

using TWin32PlatformTest = TPlatformTest;

TEST(TWin32PlatformName, InstanceNameIsLowerCaseWithoutBackslashesAndColons) {
    struct TCase {
        const char* path;
        const char* name;
    };
    const TCase cases[] = {
        {"C:\\Games\\Marivell\\PLAY.EXE", "cgamesmarivellplay.exe"},
        {"\\work\\Build Dir\\Game", "workbuild dirgame"},
        {"D:Odd:Name", "doddname"},
        {"already lower", "already lower"},
        {"", ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(TWin32Platform::MakeInstanceName(c.path), str(c.name)) << c.path;
    }
}

TEST_F(TWin32PlatformTest, FoldersAndCurrentDirectory) {
    TWin32Platform& record = MakePlatform();
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    EXPECT_STREQ(record.mProgramFile, module);
    std::string folder = module;
    folder.erase(folder.rfind('\\') + 1);
    EXPECT_EQ(record.mProgramFolder, folder);
    EXPECT_EQ(record.mAssetsFolder, folder + "assets\\");
    EXPECT_EQ(AssetsFolderPath(), str((folder + "assets\\").c_str()));
    for (const char* path : {record.mUserFolder, record.mCommonFolder, record.mDesktopFolder}) {
        EXPECT_EQ(path, folder);
    }
    // The start-up folder is the one before; the program folder is current now.
    char shortOld[MAX_PATH] = {};
    GetShortPathNameA(mOldFolder.c_str(), shortOld, MAX_PATH);
    EXPECT_STREQ(record.mStartupDir, shortOld);
    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(std::string(current) + "\\", folder);
    EXPECT_EQ(record.mStartTime, kStartTime);
    standin::AdvanceTime(25);
    EXPECT_EQ(TPlatform::GetTime(), 25u);
    EXPECT_EQ(TPlatform::GetInstance(), mPlatform);
}

TEST_F(TWin32PlatformTest, VersionBlockGivesVersionGameNameAndBuildTag) {
    struct TCase {
        const char* name;
        bool block;
        const char* presetName; // the setting "gamename" before, or null
        std::vector<std::pair<std::string, std::string>> strings;
        const char* version;
        const char* gameName;
        const char* buildTag;
    };
    const TCase cases[] = {
        {"full block",
         true,
         nullptr,
         {{"ProductName", " \tMarivell Deluxe"}, {"InternalName", "nightly-7"}},
         "1.20.300.65535",
         "Marivell Deluxe",
         "nightly-7"},
        {"setting wins over the product name",
         true,
         "Preset",
         {{"ProductName", "Product"}},
         "1.20.300.65535",
         "Preset",
         ""},
        {"no product name", true, nullptr, {}, "1.20.300.65535", "Stellagrim Application", ""},
        {"no block", false, nullptr, {}, "", "Stellagrim Application", ""},
        {"no block, setting", false, "Preset", {}, "", "Preset", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.block) {
            standin::TVersionBlock block;
            block.major = 1;
            block.minor = 20;
            block.patch = 300;
            block.build = 65535;
            block.strings = c.strings;
            standin::SetVersionBlock(block);
        } else {
            standin::RemoveVersionBlock();
        }
        if (c.presetName != nullptr) {
            SetSetting("gamename", c.presetName);
        }
        TWin32Platform& record = MakePlatform();
        EXPECT_EQ(record.mVersion, str(c.version));
        EXPECT_EQ(record.mGameName, str(c.gameName));
        EXPECT_EQ(record.mBuildTag, str(c.buildTag));
        delete mPlatform;
        mPlatform = nullptr;
    }
}

TEST_F(TWin32PlatformTest, SecondInstanceEndsWithCodeZero) {
    EXPECT_EXIT(
        {
            char commandLine[] = "";
            TWin32Platform first(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW, false);
            first.StopCursorThread();
            TWin32Platform second(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW, false);
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(0), "");
    // With multiple instances allowed both run.
    char commandLine[] = "";
    TWin32Platform first(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW, false);
    TWin32Platform second(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOW, true);
    EXPECT_NE(first.mInstanceMutex, nullptr);
    EXPECT_EQ(second.mInstanceMutex, nullptr);
}

TEST_F(TWin32PlatformTest, SetDisplay) {
    struct TCase {
        const char* name;
        const char* commandLine;
        bool embedded;
        int width;
        bool fullScreen;
        float scale;
        bool passedFullScreen;
        std::vector<WPARAM> hostMessages; // WM_USER wParams the host received
    };
    const TCase cases[] = {
        {"top-level windowed", "", false, 480, false, 1.0f, false, {}},
        {"top-level full screen", "", false, 480, true, 1.0f, true, {}},
        {"embedded, host twice as wide", "", true, 480, true, 2.0f, false, {}},
        {"embedded, host narrower", "", true, 1920, false, 0.5f, false, {}},
        {"embedded, width 0", "", true, 0, false, 1.0f, false, {}},
        {"embedded, negative width", "", true, -480, false, 1.0f, false, {}},
        {"hosted mode full screen", "game -pq=1", true, 960, true, 1.0f, false, {1}},
        {"hosted mode windowed", "game -pq=1", true, 960, false, 1.0f, false, {0}},
    };
    static std::vector<WPARAM> hostMessages;
    WNDCLASSA hostClass{};
    hostClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER) {
            hostMessages.push_back(wp);
        }
        return DefWindowProcA(w, m, wp, lp);
    };
    hostClass.lpszClassName = "PlatformTestHost";
    RegisterClassA(&hostClass);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        hostMessages.clear();
        TFakeDisplay display;
        SetDisplayLink(&display);
        TFakeRenderer renderer;
        TFakeWindowManager::sHasRoot = true;
        TFakeWindowManager::sRoot = TRect{0, 0, 480, 360};
        HWND host = nullptr;
        if (c.embedded) {
            host = CreateWindowExA(0, "PlatformTestHost", "host", WS_POPUP | WS_VISIBLE, 0, 0, 960,
                                   720, nullptr, nullptr, nullptr, nullptr);
            mExtraWindows.push_back(host);
        }
        TWin32Platform& record = MakePlatform(c.commandLine);
        record.mEmbedded = c.embedded;
        record.mExternalWindowParent = host;
        mPlatform->CreateMainWindow();
        record.SetDisplay(c.width, 360, c.fullScreen);
        record.SetDisplay(c.width, 360, c.fullScreen);
        float scale = 0.0f;
        EXPECT_EQ(record.GetViewportScale(&scale), c.embedded);
        EXPECT_FLOAT_EQ(scale, c.scale);
        ASSERT_EQ(display.setDisplays.size(), 2u);
        EXPECT_EQ(display.setDisplays[0].width, c.width);
        EXPECT_EQ(display.setDisplays[0].fullScreen, c.passedFullScreen);
        EXPECT_EQ(display.setDisplays[0].hostPresent, c.embedded);
        // The glyph renderer and the root fill happen once; calibration every time.
        EXPECT_EQ(renderer.glyphRenderers, 1);
        ASSERT_EQ(renderer.fills.size(), 1u);
        EXPECT_EQ(renderer.fills[0].right, 480);
        EXPECT_EQ(display.calibrations, 2);
        std::vector<WPARAM> twice = c.hostMessages;
        twice.insert(twice.end(), c.hostMessages.begin(), c.hostMessages.end());
        EXPECT_EQ(hostMessages, twice);
        if (!c.hostMessages.empty()) {
            EXPECT_EQ(mPlatform->IsFullScreen(), c.fullScreen);
        }
        delete mPlatform;
        mPlatform = nullptr;
        SetDisplayLink(nullptr);
    }
}

TEST_F(TWin32PlatformTest, TimerGivesNothingEventsEvery250Ms) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    TWin32Platform& record = Open();
    record.SetDisplay(480, 360, false);
    UntilIdle();
    standin::AdvanceTime(249);
    EXPECT_TRUE(UntilIdle().empty());
    standin::AdvanceTime(1);
    EXPECT_EQ(Types(UntilIdle()), (std::vector<int>{2}));
}

TEST_F(TWin32PlatformTest, MouseCursor) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    TFakeRenderer renderer;
    renderer.simpleTexture = FakeTexture();
    TWin32Platform& record = Open();
    const TTexturePtr game = FakeTexture();

    record.SetMouseCursor(game, 3, 4, false);
    ASSERT_EQ(display.cursorImages.size(), 1u);
    EXPECT_EQ(display.cursorImages[0].texture, game);
    EXPECT_EQ(record.mCursorTexture, game);
    EXPECT_EQ(record.mCursorHotX, 3);

    // No texture: the built-in image, loaded once from its memory file.
    record.SetMouseCursor(TTexturePtr(), 2, 2, false);
    record.SetMouseCursor(TTexturePtr(), 2, 2, false);
    ASSERT_EQ(display.cursorImages.size(), 3u);
    EXPECT_EQ(display.cursorImages[2].texture, renderer.simpleTexture);
    EXPECT_EQ(renderer.textureNames, (std::vector<std::string>{"__systemcursor__.png"}));
    TFileSource source = TFileSource::kNone;
    EXPECT_NE(ResolveName("__systemcursor__.png", true, &source).Length(), 0);
    EXPECT_EQ(source, TFileSource::kMemory);

    // Forced: handed on as given, the stored image stays.
    record.SetMouseCursor(game, 7, 8, true);
    ASSERT_EQ(display.cursorImages.size(), 4u);
    EXPECT_TRUE(display.cursorImages[3].system);
    EXPECT_EQ(display.cursorImages[3].hotX, 7);
    EXPECT_FALSE(record.mCursorTexture);
    EXPECT_EQ(record.mCursorHotX, 2);

    // Hidden: stored only.
    record.mCursorVisible = false;
    record.SetMouseCursor(game, 5, 6, false);
    EXPECT_EQ(display.cursorImages.size(), 4u);
    EXPECT_EQ(record.mCursorTexture, game);
    EXPECT_EQ(record.mCursorHotY, 6);
}

TEST_F(TWin32PlatformTest, CursorThreadDrawsUnlessDrawingIsSuspended) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    MakePlatform();
    ASSERT_TRUE(WaitUntil([&] { return display.cursorUpdates >= 3; }));
    // Once the thread has seen the suspension it draws nothing more, however many turns it takes.
    TFakeWindowManager::sSuspended = true;
    ASSERT_TRUE(WaitUntil([] { return TFakeWindowManager::sSuspendedAnswers >= 1; }));
    const int suspendedAt = display.cursorUpdates;
    ASSERT_TRUE(WaitUntil([] { return TFakeWindowManager::sSuspendedAnswers >= 4; }));
    EXPECT_EQ(display.cursorUpdates, suspendedAt);
    TFakeWindowManager::sSuspended = false;
    EXPECT_TRUE(WaitUntil([&] { return display.cursorUpdates > suspendedAt; }));
}

TEST_F(TWin32PlatformTest, CursorThreadEndsBeforeTheWindowManagerIsDeleted) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    // Early, while it draws, and once it has drawn a few frames.
    for (const int frames : {0, 1, 3}) {
        SCOPED_TRACE(frames);
        TFakeWindowManager::sDestroyed = false;
        TFakeWindowManager::sCursorThreadAtDestroy = true;
        const int before = display.cursorUpdates;
        MakePlatform();
        ASSERT_TRUE(WaitUntil([&] { return display.cursorUpdates >= before + frames; }));
        delete mPlatform;
        mPlatform = nullptr;
        EXPECT_FALSE(TFakeWindowManager::sCursorThreadAtDestroy) << "the thread still ran";
    }
    EXPECT_EQ(display.updatesAfterManagerDestroyed, 0);
    EXPECT_EQ(TPlatform::GetInstance(), nullptr);
}

// The renderer installs and removes its link while the cursor thread draws: a link that was
// taken out must no longer be in use when its owner deletes it.
TEST_F(TWin32PlatformTest, DisplayLinkRemovedWhileTheCursorThreadDrawsIsNoLongerInUse) {
    // Draws at the fastest pace (a cursor every frame) and stays inside UpdateCursor a little
    // while, writing to itself, after telling the test it is there.
    struct TSlowCursor final : TFakeDisplay {
        std::mutex* lock;
        std::condition_variable* entered;
        bool* inside;
        std::vector<int> strokes;
        TPoint UpdateCursor(int, int) override {
            {
                const std::lock_guard<std::mutex> hold(*lock);
                *inside = true;
            }
            entered->notify_all();
            for (int i = 0; i < 2000; ++i) {
                strokes.push_back(i);
                std::this_thread::yield();
            }
            strokes.clear();
            return TPoint{0, 0};
        }
    };
    MakePlatform();
    std::mutex lock;
    std::condition_variable entered;
    bool inside = false;
    for (int round = 0; round < 40; ++round) {
        auto* link = new TSlowCursor;
        link->lock = &lock;
        link->entered = &entered;
        link->inside = &inside;
        SetDisplayLink(link);
        {
            std::unique_lock<std::mutex> hold(lock);
            ASSERT_TRUE(entered.wait_for(hold, std::chrono::seconds(10), [&] { return inside; }))
                << "the cursor thread never drew";
            inside = false;
        }
        SetDisplayLink(nullptr);
        delete link;
    }
}

TEST_F(TWin32PlatformTest, EnsureTopmostBringsTheWindowBack) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    TWin32Platform& record = Open();
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().c_str());
    HWND other = MakeWindow(100, 100);
    SetForegroundWindow(other);
    ASSERT_EQ(GetForegroundWindow(), other);
    record.EnsureTopmost();
    EXPECT_EQ(GetForegroundWindow(), mMain);
    EXPECT_EQ(GetActiveWindow(), mMain);
    SetLogFolder(nullptr);
    EXPECT_NE(logs.Read("logfile.txt").find("Window does NOT have topmost style"),
              std::string::npos);
    // Inactive in full screen it only waits.
    SetForegroundWindow(other);
    record.mInactiveInFullScreen = true;
    record.EnsureTopmost();
    EXPECT_EQ(GetForegroundWindow(), other);
}

} // namespace
} // namespace platform_test
