#include "engine/core/settings.h"
#include "tests/engine/media/displaymodes_fixture.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/fakehost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using display_test::TRendererTest;

constexpr const char* kWindowFailed = "Failed to initialize windowed mode. Trying full screen.";
constexpr const char* kFallbackFailed =
    "Failed to initialize window. Please try running the game again. If that doesn't help, try "
    "changing the screen resolution and color depth. If that fails, then your video card does "
    "not support this game.";

class DisplayModesTest : public TRendererTest {
protected:
    static void SetDesktopSize(int width, int height) {
        standin::TDesktop desktop;
        desktop.width = width;
        desktop.height = height;
        desktop.bitsPerPixel = 32;
        standin::SetDesktop(desktop);
    }

    // The quit message, if one was posted to the main thread.
    static bool QuitPosted() {
        MSG message;
        return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    }
};

// Desktops and modes on which a window cannot be had: the display comes up full screen, at 16
// bits in low-memory mode.
TEST_F(DisplayModesTest, DesktopsThatForceFullScreen) {
    struct TCase {
        const char* name;
        int desktopWidth;
        int desktopHeight;
        float scale;
        bool lowMemory;
        const char* logged;
        DWORD bits;
    };
    for (const TCase& c : {
             TCase{"desktop of the window's size", 800, 600, 1.0f, false,
                   "SetDisplay Forcing Fullscreen (SMALL)", 32},
             TCase{"scaled past the desktop", 1024, 768, 1.5f, false,
                   "SetDisplay Forcing Fullscreen (SMALL)", 32},
             TCase{"low-memory mode", 1024, 768, 1.0f, true,
                   "SetDisplay Forcing Fullscreen (MEMORY)", 16},
         }) {
        SCOPED_TRACE(c.name);
        SetDesktopSize(c.desktopWidth, c.desktopHeight);
        TDxDisplayHandler& handler = Start();
        mRecord->mViewportScale = c.scale;
        Data().mLowMemoryVideo = c.lowMemory;
        handler.SetDisplay(800, 600, false, false, false, false);
        EXPECT_TRUE(Logged(c.logged));
        EXPECT_TRUE(Data().mFullscreen);
        EXPECT_TRUE(handler.IsReady());
        EXPECT_EQ(ScreenBits(), c.bits);
        EXPECT_TRUE(BoxTexts().empty());
        TearDown();
        SetUp();
    }
}

TEST_F(DisplayModesTest, WindowedDisplayComesUpCentredWithItsStylesAndDefaultStates) {
    std::vector<standin::TAdapter> adapters{display_test::Adapter()};
    adapters[0].monitorFrequency = 75;
    standin::SetAdapters(adapters);
    TDxDisplayHandler& handler = StartDisplay(800, 600, false);
    ASSERT_TRUE(handler.IsReady());
    EXPECT_FALSE(Data().mFullscreen);
    EXPECT_EQ(Data().mTargetRect.right, 800);
    EXPECT_EQ(Data().mTargetRect.bottom, 600);
    EXPECT_EQ(Data().mRenderTarget, Data().mContext->GetBackBuffer());
    EXPECT_EQ(Data().mScreenTarget, Data().mRenderTarget);
    EXPECT_TRUE(mRecord->mAssetsReleased);
    EXPECT_EQ(GetSetting("monitorfrequency"), "75");

    const DWORD style = static_cast<DWORD>(GetWindowLongA(mMain, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(mMain, GWL_EXSTYLE));
    const DWORD windowed = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
    EXPECT_EQ(style & windowed, windowed);
    EXPECT_EQ(style & WS_POPUP, 0u);
    EXPECT_EQ(exStyle & (WS_EX_APPWINDOW | WS_EX_TOPMOST), static_cast<DWORD>(WS_EX_APPWINDOW));

    // The window started at (0, 0): it is centred on the 1024 x 768 monitor.
    RECT rect{};
    GetWindowRect(mMain, &rect);
    EXPECT_EQ(rect.left, (1024 - (rect.right - rect.left)) / 2);
    EXPECT_EQ(rect.top, (768 - (rect.bottom - rect.top)) / 2);

    IDirect3DDevice7* device = Data().mDevice;
    auto render = [device](D3DRENDERSTATETYPE state) {
        DWORD value = 0xDEADBEEF;
        device->GetRenderState(state, &value);
        return value;
    };
    EXPECT_EQ(render(D3DRENDERSTATE_ALPHATESTENABLE), static_cast<DWORD>(TRUE));
    EXPECT_EQ(render(D3DRENDERSTATE_ALPHAREF), 1u);
    EXPECT_EQ(render(D3DRENDERSTATE_ALPHAFUNC), D3DCMP_GREATEREQUAL);
    EXPECT_EQ(render(D3DRENDERSTATE_SHADEMODE), static_cast<DWORD>(D3DSHADE_GOURAUD));
    EXPECT_EQ(render(D3DRENDERSTATE_NORMALIZENORMALS), static_cast<DWORD>(TRUE));
    DWORD op = 0;
    device->GetTextureStageState(0, D3DTSS_ALPHAOP, &op);
    EXPECT_EQ(op, static_cast<DWORD>(D3DTOP_MODULATE));
}

TEST_F(DisplayModesTest, FullScreenStylesAndTheSwitchBack) {
    TDxDisplayHandler& handler = StartDisplay(800, 600, true);
    ASSERT_TRUE(handler.IsReady());
    EXPECT_TRUE(Data().mFullscreen);
    EXPECT_TRUE(Data().mWasFullscreen);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(mMain, GWL_STYLE)) & WS_POPUP,
              static_cast<DWORD>(WS_POPUP));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(mMain, GWL_EXSTYLE)) & WS_EX_TOPMOST,
              static_cast<DWORD>(WS_EX_TOPMOST));

    EXPECT_TRUE(handler.SetFullscreen(false));
    EXPECT_FALSE(Data().mFullscreen);
    EXPECT_TRUE(handler.IsReady());
    // Low-memory mode has no window.
    Data().mLowMemoryVideo = true;
    EXPECT_FALSE(handler.SetFullscreen(false));
}

TEST_F(DisplayModesTest, HostWindowStyles) {
    testing_fixtures::TFakeHost host(0, 800, 600);
    TDxDisplayHandler& handler = Start(host.Handle());
    handler.SetDisplay(800, 600, false, true, false, true);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(mMain, GWL_STYLE)),
              static_cast<DWORD>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongA(mMain, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetParent(mMain), host.Handle());
    EXPECT_EQ(Data().mContext->GetClipWindow(), mMain);

    // Full screen under a host: detached, a top-most pop-up.
    handler.SetDisplay(800, 600, true, true, false, true);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(mMain, GWL_STYLE)), static_cast<DWORD>(WS_POPUP));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(mMain, GWL_EXSTYLE)),
              static_cast<DWORD>(WS_EX_TOPMOST));
    EXPECT_EQ(GetParent(mMain), nullptr);
    EXPECT_EQ(host.AttachedCount(), 0);
}

TEST_F(DisplayModesTest, ZylomModeStaysInAWindowWithoutBoxes) {
    TDxDisplayHandler& handler = Start();
    EnableZylomMode();
    handler.SetDisplay(800, 600, true, false, false, false);
    EXPECT_TRUE(handler.IsReady());
    EXPECT_FALSE(Data().mFullscreen);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(DisplayModesTest, AntialiasHintDroppedWhenCreationFailsWithIt) {
    TDxDisplayHandler& handler = Start();
    Data().mAntialias = true;
    Data().mHintAntialias = true;
    standin::SetFault(nullptr, "IDirectDraw7::CreateSurface", DDERR_INVALIDCAPS);
    handler.SetDisplay(800, 600, false, false, false, false);
    EXPECT_TRUE(handler.IsReady());
    EXPECT_FALSE(Data().mAntialias);
    EXPECT_FALSE(Data().mHintAntialias);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(DisplayModesTest, FailedWindowFallsBackToFullScreenOnce) {
    TDxDisplayHandler& handler = Start();
    // Only a window needs a clipper.
    standin::SetFault(nullptr, "IDirectDraw7::CreateClipper", DDERR_GENERIC, false);
    handler.SetDisplay(800, 600, false, false, false, false);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kWindowFailed});
    EXPECT_TRUE(handler.IsReady());
    EXPECT_TRUE(Data().mFullscreen);
    EXPECT_FALSE(Data().mFallbackTried);
    EXPECT_FALSE(QuitPosted());
}

TEST_F(DisplayModesTest, FallbackThatFailsTooQuitsOnce) {
    TDxDisplayHandler& handler = Start();
    standin::SetFault(nullptr, "IDirectDraw7::SetCooperativeLevel", DDERR_GENERIC, false);
    handler.SetDisplay(800, 600, false, false, false, false);
    // The display object apologises once for the full screen that failed.
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                              kWindowFailed,
                              "Sorry, but this product isn't compatible with your display. Try "
                              "using a different display, if you have the option.",
                              kFallbackFailed}));
    EXPECT_TRUE(Logged("ERROR FALLBACK FAILED"));
    EXPECT_TRUE(QuitPosted());
    EXPECT_TRUE(Data().mFatal);
    EXPECT_FALSE(Data().mInSetDisplay);
}

// The Zylom mode turns the full-screen retry back into a window of the current size, which asks
// for nothing new; the display stays down, and the rebuild of the next restore ends the ladder.
TEST_F(DisplayModesTest, ZylomWindowThatAlwaysFailsEndsAtTheNextRestore) {
    TDxDisplayHandler& handler = Start();
    EnableZylomMode();
    standin::SetFault(nullptr, "IDirectDraw7::SetCooperativeLevel", DDERR_GENERIC, false);
    handler.SetDisplay(800, 600, false, false, false, false);
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_FALSE(QuitPosted());
    EXPECT_FALSE(handler.IsReady());
    handler.Restore();
    EXPECT_TRUE(Logged("TPlatformData::Restore: mDirectDraw NULL. Calling SetDisplay()"));
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kFallbackFailed});
    EXPECT_TRUE(QuitPosted());
    EXPECT_TRUE(Data().mFatal);
}

// In hosted "-pq=" mode a small desktop does not force full screen, so the window fails for a
// reason and falls back to full screen, which the Zylom mode turns into a window again: the
// second failure must end the ladder instead of going round.
TEST_F(DisplayModesTest, ZylomWindowThatKeepsFailingForAReasonEndsTheLadder) {
    SetDesktopSize(800, 600);
    TDxDisplayHandler& handler = Start();
    gCommandLine = "game.exe -pq=1";
    EnableZylomMode();
    // Forced, as the restore path asks: the retry is not skipped as a change to nothing.
    handler.SetDisplay(800, 600, false, true, false, false);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kFallbackFailed});
    EXPECT_TRUE(QuitPosted());
    EXPECT_TRUE(Data().mFatal);
}

TEST_F(DisplayModesTest, FailureWhileInactiveMarksTheDisplayBroken) {
    TDxDisplayHandler& handler = Start();
    standin::SetFault(nullptr, "IDirectDraw7::SetCooperativeLevel", DDERR_GENERIC, false);
    mRecord->mWindowActive = false;
    handler.SetDisplay(800, 600, false, true, false, false);
    EXPECT_TRUE(Logged("SetDisplay marking DirectX Broken: INACTIVE, "));
    EXPECT_TRUE(Data().mLost);
    EXPECT_FALSE(Data().mFallbackTried);
    EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(DisplayModesTest, CallsThatChangeNothing) {
    TDxDisplayHandler& handler = StartDisplay(800, 600, false);
    IDirect3DDevice7* device = Data().mDevice;
    mRecord->mAssetsReleased = false;
    // The current size and mode, no force.
    handler.SetDisplay(800, 600, false, false, false, false);
    EXPECT_EQ(Data().mDevice, device);
    EXPECT_FALSE(mRecord->mAssetsReleased);

    // A call from within a running one waits and leaves everything as it was.
    Data().mInSetDisplay = true;
    const auto start = std::chrono::steady_clock::now();
    handler.SetDisplay(640, 480, true, true, false, false);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_TRUE(Data().mInSetDisplay);
    EXPECT_EQ(Data().mDevice, device);
    EXPECT_FALSE(Data().mFullscreen);
    Data().mInSetDisplay = false;

    // Not active and not forced.
    mRecord->mWindowActive = false;
    handler.SetDisplay(640, 480, true, false, false, false);
    EXPECT_EQ(Data().mDevice, device);
}

TEST_F(DisplayModesTest, CenterWindowOnMonitorCentresOrClamps) {
    HWND window = MakeWindow(200, 100);
    struct TCase {
        int left;
        int top;
        unsigned flags;
        int wantLeft;
        int wantTop;
    };
    // A 200 x 100 window on the 1024 x 768 monitor.
    for (const TCase& c : {TCase{0, 0, 1, 412, 334}, TCase{900, 700, 0, 824, 668},
                           TCase{-50, 20, 0, 0, 20}, TCase{30, 40, 0, 30, 40}}) {
        SetWindowPos(window, nullptr, c.left, c.top, 200, 100, SWP_NOZORDER | SWP_NOACTIVATE);
        CenterWindowOnMonitor(window, c.flags);
        RECT rect{};
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.left, c.wantLeft) << c.left << "," << c.top;
        EXPECT_EQ(rect.top, c.wantTop) << c.left << "," << c.top;
        EXPECT_EQ(rect.right - rect.left, 200);
    }
}

// The fatal exits, each in a process of its own. The child writes the boxes it showed to the file
// the parent names, on its way out.
std::string& ExitBoxFile() {
    static std::string path;
    return path;
}

void WriteBoxesAtExit() {
    if (FILE* out = std::fopen(ExitBoxFile().c_str(), "w")) {
        for (const standin::TMessageBoxRecord& box : standin::TakeMessageBoxes()) {
            std::fprintf(out, "%s\n", box.text.c_str());
        }
        std::fclose(out);
    }
}

class DisplayExitChild : public TRendererTest {
public:
    void TestBody() override {}

    int Run(bool palettedHost) {
        SetUp();
        ExitBoxFile() = std::getenv("DISPLAY_EXIT_BOXES");
        std::atexit(WriteBoxesAtExit);
        SetLogFolder(std::getenv("DISPLAY_EXIT_LOGS"));
        testing_fixtures::TFakeHost host(0, 800, 600);
        if (palettedHost) {
            SetDesktopBits(8);
        }
        TDxDisplayHandler& handler = Start(host.Handle());
        if (!palettedHost) {
            host.Close();
        }
        handler.SetDisplay(800, 600, false, true, false, true);
        return 0;
    }
};

CHILD_ENTRY(DisplayExitPalettedHost) {
    DisplayExitChild child;
    return child.Run(true);
}

CHILD_ENTRY(DisplayExitLostHost) {
    DisplayExitChild child;
    return child.Run(false);
}

TEST(DisplayExits, EndTheProcessWithMinusOne) {
    struct TCase {
        const char* entry;
        const char* box;
        const char* logged;
    };
    for (const TCase& c :
         {TCase{"DisplayExitPalettedHost",
                "You cannot run this application when your video mode is 8 bits or less. Change "
                "your display settings and run again.",
                nullptr},
          TCase{"DisplayExitLostHost", nullptr,
                "Error: mExternalWindowParent is lost, exiting!"}}) {
        SCOPED_TRACE(c.entry);
        testing_fixtures::TempDir folder;
        const std::string boxes = (folder.Path() / "boxes.txt").string();
        // The child ends with exit(-1) while the host's threads still run, as the program does:
        // under ThreadSanitizer that is no leak to report.
        std::string tsan = "TSAN_OPTIONS=";
        if (const char* options = std::getenv("TSAN_OPTIONS")) {
            tsan += options;
            tsan += ":";
        }
        tsan += "report_thread_leaks=0";
        const pid_t child = testing_fixtures::SpawnChild(
            c.entry,
            {"DISPLAY_EXIT_BOXES=" + boxes, "DISPLAY_EXIT_LOGS=" + folder.Path().string(), tsan});
        ASSERT_GT(child, 0);
        EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 255);
        const std::string shown = folder.Read("boxes.txt");
        if (c.box != nullptr) {
            EXPECT_EQ(shown, std::string(c.box) + "\n");
        } else {
            EXPECT_EQ(shown, "");
        }
        if (c.logged != nullptr) {
            EXPECT_NE(folder.Read("logfile.txt").find(c.logged), std::string::npos);
        }
    }
}

} // namespace
