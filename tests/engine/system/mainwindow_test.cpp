#include "tests/engine/system/platform_fixture.h"

namespace platform_test {
namespace {

using TMainWindowTest = TPlatformTest;

TEST_F(TMainWindowTest, CloseKeepsTheWindowAndStopsTheMovie) {
    Open();
    PostMessageA(mMain, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Next().type, kEventNothing);
    EXPECT_TRUE(IsWindow(mMain));
    EXPECT_EQ(TFakeWindowManager::sAbortMovies, 0);
    EXPECT_EQ(Next().type, kEventClose);
    EXPECT_EQ(TFakeWindowManager::sAbortMovies, 1);
    EXPECT_EQ(Next().type, kEventIdle);
    EXPECT_TRUE(IsWindow(mMain));
}

TEST_F(TMainWindowTest, MinimiseAndRestore) {
    struct TStep {
        int command;
        bool pollAfter;
    };
    struct TCase {
        const char* name;
        std::vector<TStep> steps;
        std::vector<std::vector<int>> activations; // params of the events 18 of each poll
    };
    const TCase cases[] = {
        {"minimise", {{SW_MINIMIZE, true}}, {{0, 0}}},
        // The window's own events cancel; the application's is still reported.
        {"minimise and restore before polling", {{SW_MINIMIZE, false}, {SW_RESTORE, true}}, {{1}}},
        {"minimise, poll, restore", {{SW_MINIMIZE, true}, {SW_RESTORE, true}}, {{0, 0}, {1, 1}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        Open();
        std::vector<std::vector<int>> polls;
        for (const TStep& step : c.steps) {
            ShowWindow(mMain, step.command);
            if (step.pollAfter) {
                std::vector<int> params;
                for (const TEvent& event : UntilIdle()) {
                    if (event.type == kEventActivation) {
                        params.push_back(event.param);
                    }
                }
                polls.push_back(params);
            }
        }
        EXPECT_EQ(polls, c.activations);
        delete mPlatform;
        mPlatform = nullptr;
    }
}

TEST_F(TMainWindowTest, WindowClassStyleAndMemory) {
    TWin32Platform& record = Open();
    char module[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, module, MAX_PATH);
    EXPECT_EQ(MainWindowClassName(), TWin32Platform::MakeInstanceName(module) + "_WNDCLASS");
    EXPECT_EQ(FindWindowA(MainWindowClassName().CStr(), nullptr), mMain);
    char title[32] = {};
    GetWindowTextA(mMain, title, sizeof(title));
    EXPECT_STREQ(title, "Kelvane");
    RECT outer{};
    GetWindowRect(mMain, &outer);
    EXPECT_EQ(outer.right - outer.left, 480);
    EXPECT_EQ(outer.bottom - outer.top, 360);
    const auto style = static_cast<DWORD>(GetWindowLongA(mMain, GWL_STYLE));
    EXPECT_EQ(style & 0xCE0000u, 0xCE0000u);
    EXPECT_EQ(style & (WS_CHILD | WS_MAXIMIZEBOX), 0u);
    EXPECT_NE(static_cast<DWORD>(GetWindowLongA(mMain, GWL_EXSTYLE)) & WS_EX_APPWINDOW, 0u);
    // The whole pointer, not its low half.
    EXPECT_EQ(GetWindowLongPtrA(mMain, 0), reinterpret_cast<LONG_PTR>(mPlatform));
    EXPECT_EQ(gPortalHostWindow, nullptr);
    EXPECT_FALSE(record.mUtf8Mode);
}

TEST_F(TMainWindowTest, EmbeddedWindowIsAChildOfItsHost) {
    HWND host = MakeWindow(960, 720);
    TWin32Platform& record = Open(host);
    EXPECT_EQ(GetParent(mMain), host);
    EXPECT_EQ(gPortalHostWindow, host);
    const auto style = static_cast<DWORD>(GetWindowLongA(mMain, GWL_STYLE));
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_CAPTION), WS_CHILD | WS_VISIBLE);
    // No click block in a host's window.
    SendMessageA(mMain, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(host), 0);
    EXPECT_FALSE(record.mClickBlock);
}

TEST_F(TMainWindowTest, LostHostEndsTheProcess) {
    EXPECT_EXIT(
        {
            HWND host = MakeWindow(100, 100);
            TWin32Platform& record = MakePlatform();
            record.mEmbedded = true;
            record.mExternalWindowParent = host;
            DestroyWindow(host);
            mPlatform->CreateMainWindow();
        },
        ::testing::ExitedWithCode(255), "");
}

TEST_F(TMainWindowTest, BordersAndMaximiseButtonDoNotResize) {
    Open();
    RECT outer{};
    GetWindowRect(mMain, &outer);
    POINT client{0, 0};
    ClientToScreen(mMain, &client);
    RECT inner{};
    GetClientRect(mMain, &inner);
    const int midX = (outer.left + outer.right) / 2;
    const int midY = client.y + inner.bottom / 2;
    struct TCase {
        const char* name;
        int x;
        int y;
        LRESULT hit;
    };
    const TCase cases[] = {
        {"left border", outer.left, midY, HTNOWHERE},
        {"right border", outer.right - 1, midY, HTNOWHERE},
        {"bottom border", midX, outer.bottom - 1, HTNOWHERE},
        {"bottom-right corner", outer.right - 1, outer.bottom - 1, HTNOWHERE},
        {"top-left corner", outer.left, outer.top, HTNOWHERE},
        {"client", client.x + 10, client.y + 10, HTCLIENT},
        {"caption", midX, client.y - 3, HTCAPTION},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(SendMessageA(mMain, WM_NCHITTEST, 0, MAKELPARAM(c.x, c.y)), c.hit) << c.name;
    }
}

TEST_F(TMainWindowTest, SystemMenuOffersNoSize) {
    Open();
    HMENU menu = GetSystemMenu(mMain, FALSE);
    ASSERT_NE(menu, nullptr);
    const auto state = [menu](UINT item, BOOL byPosition) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_STATE;
        EXPECT_TRUE(GetMenuItemInfoA(menu, item, byPosition, &info));
        return info.fState;
    };
    for (UINT position = 0; position < 4; ++position) {
        EXPECT_EQ(state(position, TRUE) & MFS_DISABLED, MFS_DISABLED) << position;
    }
    EXPECT_EQ(state(SC_CLOSE, FALSE) & MFS_DISABLED, 0u);
    // Opening the menu greys Size again, whoever enabled it.
    MENUITEMINFOA enable{};
    enable.cbSize = sizeof(enable);
    enable.fMask = MIIM_STATE;
    enable.fState = MFS_ENABLED;
    SetMenuItemInfoA(menu, SC_SIZE, FALSE, &enable);
    EXPECT_EQ(SendMessageA(mMain, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0), 0);
    EXPECT_EQ(state(SC_SIZE, FALSE) & MFS_DISABLED, MFS_DISABLED);
}

TEST_F(TMainWindowTest, SizeFollowsTheViewportWhileWindowed) {
    TFakeDisplay display;
    display.viewport = TPoint{640, 480};
    SetDisplayLink(&display);
    Open();
    const int frameX = GetSystemMetrics(SM_CXSIZEFRAME);
    const int frameY = GetSystemMetrics(SM_CYSIZEFRAME);
    const int caption = GetSystemMetrics(SM_CYCAPTION);
    SetWindowPos(mMain, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    RECT outer{};
    GetWindowRect(mMain, &outer);
    EXPECT_EQ(outer.right - outer.left, 640 + 2 * frameX);
    EXPECT_EQ(outer.bottom - outer.top, 480 + 2 * frameY + caption);
    // A move alone keeps the size; full screen leaves the size alone.
    display.fullScreen = true;
    SetWindowPos(mMain, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(mMain, &outer);
    EXPECT_EQ(outer.right - outer.left, 300);
}

TEST_F(TMainWindowTest, DestroyingTheWindowPostsQuit) {
    Open();
    DestroyWindow(mMain);
    // The activation changes of the closing window come first.
    EXPECT_EQ(Types(UntilIdle()), (std::vector<int>{18, 18, 4}));
}

TEST_F(TMainWindowTest, ActivationTellsTheSoundManager) {
    struct TFakeSound final : TSoundManagerLink {
        std::vector<bool> actives;
        void Update() override {}
        void SetActive(bool active) override { actives.push_back(active); }
        float GetVolume(int) override { return 1; }
        void SetVolume(int, float) override {}
    };
    TWin32Platform& record = Open();
    auto* sound = new TFakeSound;
    record.mSoundManager = sound;
    record.OnActivation(mMain, true);
    EXPECT_TRUE(sound->actives.empty());
    record.OnActivation(mMain, false);
    record.OnActivateApp(mMain, false);
    EXPECT_EQ(sound->actives, (std::vector<bool>{false, false}));
    EXPECT_TRUE(record.mActivationEventPending);
    EXPECT_TRUE(record.mAppActivationEventPending);
    EXPECT_FALSE(record.mInactiveInFullScreen);
}

TEST_F(TMainWindowTest, LosingTheAppInFullScreenMarksInactiveInFullScreen) {
    TFakeDisplay display;
    display.fullScreen = true;
    SetDisplayLink(&display);
    TWin32Platform& record = Open();
    record.OnActivateApp(mMain, false);
    EXPECT_TRUE(record.mInactiveInFullScreen);
    record.OnActivateApp(mMain, true);
    EXPECT_FALSE(record.mInactiveInFullScreen);
}

TEST_F(TMainWindowTest, DisplayHandlerSetsTheCursorOverTheClientArea) {
    struct TCase {
        bool applies;
        WORD hit;
        LRESULT result;
    };
    TFakeDisplay display;
    SetDisplayLink(&display);
    Open();
    // Without a class cursor the default procedure sets none and answers 0.
    SetClassLongA(mMain, GCL_HCURSOR, 0);
    for (const TCase& c :
         {TCase{true, HTCLIENT, 1}, TCase{false, HTCLIENT, 0}, TCase{true, HTCAPTION, 0}}) {
        display.appliesCursor = c.applies;
        EXPECT_EQ(SendMessageA(mMain, WM_SETCURSOR, reinterpret_cast<WPARAM>(mMain),
                               MAKELPARAM(c.hit, WM_MOUSEMOVE)),
                  c.result)
            << c.applies << " " << c.hit;
    }
}

TEST_F(TMainWindowTest, PortalMessagesGoToTheHost) {
    static std::vector<std::pair<WPARAM, LPARAM>> received;
    received.clear();
    WNDCLASSA hostClass{};
    hostClass.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER + 2) {
            received.emplace_back(wp, lp);
        }
        return DefWindowProcA(w, m, wp, lp);
    };
    hostClass.lpszClassName = "PlatformTestPortalHost";
    RegisterClassA(&hostClass);
    HWND host = CreateWindowExA(0, "PlatformTestPortalHost", "host", WS_POPUP | WS_VISIBLE, 0, 0,
                                640, 480, nullptr, nullptr, nullptr, nullptr);
    mExtraWindows.push_back(host);
    Open(host);
    EXPECT_EQ(SendMessageA(mMain, WM_USER + 2, 11, 22), 1);
    EXPECT_EQ(received, (std::vector<std::pair<WPARAM, LPARAM>>{{11, 22}}));
}

} // namespace
} // namespace platform_test
