#include "tests/engine/system/platform_fixture.h"

#include "engine/core/task.h"

namespace platform_test {
namespace {

using TEventSourceTest = TPlatformTest;

constexpr LPARAM kExtendedKey = 1 << 24;
constexpr LPARAM kAltDown = 1 << 29;

TEST_F(TEventSourceTest, KeysAndTheirModifiers) {
    struct TCase {
        const char* name;
        std::vector<int> held; // virtual keys held down before the key
        UINT message;
        WPARAM key;
        LPARAM lParam;
        int type;
        int param;
        int modifiers;
    };
    const TCase cases[] = {
        {"shift+insert", {VK_SHIFT}, WM_KEYDOWN, VK_INSERT, 0, 11, VK_INSERT, 1},
        {"insert alone", {}, WM_KEYDOWN, VK_INSERT, 0, 2, 0, 0},
        {"ctrl+insert", {VK_CONTROL}, WM_KEYDOWN, VK_INSERT, 0, 2, 0, 0},
        {"shift+ctrl+insert", {VK_SHIFT, VK_CONTROL}, WM_KEYDOWN, VK_INSERT, 0, 2, 0, 0},
        {"shift+extended insert",
         {VK_SHIFT},
         WM_KEYDOWN,
         VK_INSERT,
         kExtendedKey,
         11,
         VK_INSERT,
         9},
        {"ctrl+a", {VK_CONTROL}, WM_KEYDOWN, 'A', 0, 11, 'A', 2},
        {"extended left", {}, WM_KEYDOWN, VK_LEFT, kExtendedKey, 11, VK_LEFT, 8},
        {"key up with shift", {VK_SHIFT}, WM_KEYUP, 'B', 0, 12, 'B', 1},
        {"alt+x", {}, WM_SYSKEYDOWN, 'X', kAltDown, 11, 'X', 4},
        {"alt+shift+x", {VK_SHIFT}, WM_SYSKEYDOWN, 'X', kAltDown, 11, 'X', 5},
        {"F10 without alt", {}, WM_SYSKEYDOWN, VK_F10, 0, 11, VK_F10, 0},
        {"shift+insert without alt", {VK_SHIFT}, WM_SYSKEYDOWN, VK_INSERT, 0, 11, VK_INSERT, 1},
    };
    Open();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (int key : c.held) {
            standin::InjectMessage(mMain, WM_KEYDOWN, static_cast<WPARAM>(key), 0);
            EXPECT_EQ(Next().type, kEventKeyDown);
        }
        standin::InjectMessage(mMain, c.message, c.key, c.lParam);
        const TEvent event = Next();
        EXPECT_EQ(event.type, c.type);
        EXPECT_EQ(event.param, c.param);
        EXPECT_EQ(event.modifiers, c.modifiers);
        EXPECT_EQ(event.x, 0);
        for (int key : c.held) {
            standin::InjectMessage(mMain, WM_KEYUP, static_cast<WPARAM>(key), 0);
        }
        UntilIdle();
    }
}

TEST_F(TEventSourceTest, AltEnterSwitchesFullScreenOnlyWhenNotEmbedded) {
    struct TCase {
        bool embedded;
        bool startFullScreen;
        int type;
        int param;
        std::vector<bool> requests;
    };
    const TCase cases[] = {
        {false, false, 19, 1, {true}},
        {false, true, 19, 0, {false}},
        {true, false, 2, 0, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.embedded ? "embedded" : "top-level");
        TFakeDisplay display;
        display.fullScreen = c.startFullScreen;
        SetDisplayLink(&display);
        TWin32Platform& record = MakePlatform();
        record.mEmbedded = c.embedded;
        mPlatform->CreateMainWindow();
        UntilIdle();
        standin::InjectMessage(record.mMainWindow, WM_SYSKEYDOWN, VK_RETURN, kAltDown);
        const TEvent event = Next();
        EXPECT_EQ(event.type, c.type);
        EXPECT_EQ(event.param, c.param);
        EXPECT_EQ(display.fullscreenRequests, c.requests);
        delete mPlatform;
        mPlatform = nullptr;
        SetDisplayLink(nullptr);
    }
}

TEST_F(TEventSourceTest, AltF1TogglesStatistics) {
    TFakeRenderer renderer;
    Open();
    standin::InjectMessage(mMain, WM_SYSKEYDOWN, VK_F1, kAltDown);
    EXPECT_EQ(Next().type, kEventNothing);
    EXPECT_EQ(renderer.toggleStats, 1);
}

TEST_F(TEventSourceTest, CharactersInAnsiAndUnicodeWindows) {
    struct TStep {
        WPARAM unit;
        int type;
        int param;
    };
    struct TCase {
        const char* name;
        bool unicode;
        std::vector<TStep> steps;
    };
    const TCase cases[] = {
        {"ansi letter", false, {{'a', 13, 'a'}}},
        {"basic plane", true, {{0x00E9, 14, 0x00E9}, {0x20AC, 14, 0x20AC}}},
        {"surrogate pair", true, {{0xD83D, 2, 0}, {0xDE00, 14, 0x1F600}}},
        {"highest pair", true, {{0xDBFF, 2, 0}, {0xDFFF, 14, 0x10FFFF}}},
        {"lone low half", true, {{0xDC00, 2, 0}, {'x', 14, 'x'}}},
        {"pair used once", true, {{0xD800, 2, 0}, {0xDC00, 14, 0x10000}, {0xDC01, 2, 0}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetSetting("utf8mode", c.unicode ? "1" : "0");
        Open();
        EXPECT_EQ(mPlatform->GetWin32()->mUtf8Mode, c.unicode);
        for (const TStep& step : c.steps) {
            standin::InjectMessage(mMain, WM_CHAR, step.unit, 1);
            const TEvent event = Next();
            EXPECT_EQ(event.type, step.type);
            EXPECT_EQ(event.param, step.param);
        }
        delete mPlatform;
        mPlatform = nullptr;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
    }
}

TEST_F(TEventSourceTest, ActivationClickBlocksButtonsFor400Ms) {
    struct TCase {
        DWORD delay;
        std::vector<int> firstClick;
        std::vector<int> secondClick;
    };
    const TCase cases[] = {
        {300, {2, 2}, {5, 7}},
        {399, {2, 2}, {5, 7}},
        {400, {5, 7}, {5, 7}},
        {1000, {5, 7}, {5, 7}},
    };
    Open();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.delay);
        SendMessageA(mMain, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(mMain),
                     MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
        standin::AdvanceTime(c.delay);
        for (const auto* expected : {&c.firstClick, &c.secondClick}) {
            standin::InjectMessage(mMain, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
            standin::InjectMessage(mMain, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
            std::vector<int> types;
            for (const TEvent& event : UntilIdle()) {
                if (event.type != kEventMouseMove) {
                    types.push_back(event.type);
                }
            }
            EXPECT_EQ(types, *expected);
        }
    }
}

TEST_F(TEventSourceTest, BlockedDownDoesNotEndTheBlock) {
    Open();
    SendMessageA(mMain, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(mMain),
                 MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    standin::InjectMessage(mMain, WM_RBUTTONDOWN, MK_RBUTTON, 0);
    EXPECT_EQ(Next().type, kEventNothing);
    standin::AdvanceTime(350);
    // Still blocked: only an up message ends the block.
    standin::InjectMessage(mMain, WM_MBUTTONDOWN, MK_MBUTTON, 0);
    EXPECT_EQ(Next().type, kEventNothing);
}

TEST_F(TEventSourceTest, MouseButtonsWheelAndPositions) {
    struct TCase {
        const char* name;
        UINT message;
        WPARAM wParam;
        int type;
        int param;
        int modifiers;
        bool capturedAfter;
    };
    const TCase cases[] = {
        {"left down with ctrl", WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, 5, 0, 2, true},
        {"left up", WM_LBUTTONUP, MK_SHIFT, 7, 0, 0, false},
        {"right down with shift", WM_RBUTTONDOWN, MK_RBUTTON | MK_SHIFT, 6, 1, 1, true},
        {"right up", WM_RBUTTONUP, MK_SHIFT, 6, 0, 0, false},
        {"middle down", WM_MBUTTONDOWN, MK_MBUTTON | MK_SHIFT | MK_CONTROL, 6, 3, 3, true},
        {"middle up", WM_MBUTTONUP, 0, 6, 2, 0, false},
        {"wheel forward", WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, 120), 6, 6, 1, false},
        {"wheel back", WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 6, 7, 0, false},
        {"first extra down while second held", WM_XBUTTONDOWN,
         MAKEWPARAM(MK_XBUTTON1 | MK_XBUTTON2 | MK_SHIFT, XBUTTON1), 6, 4, 0, true},
        {"first extra up", WM_XBUTTONUP, MAKEWPARAM(MK_XBUTTON2, XBUTTON1), 2, 0, 0, false},
        {"second extra down while first held", WM_XBUTTONDOWN,
         MAKEWPARAM(MK_XBUTTON1 | MK_XBUTTON2, XBUTTON2), 6, 5, 0, true},
        {"second extra up", WM_XBUTTONUP, MAKEWPARAM(MK_XBUTTON1, XBUTTON2), 2, 0, 0, false},
    };
    TFakeDisplay display;
    // Positions come from the display handler's cursor, cut to 16 bits: 100000 is 0x186A0.
    display.cursor = TPoint{100000, -5};
    SetDisplayLink(&display);
    Open();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        standin::InjectMessage(mMain, c.message, c.wParam, MAKELPARAM(33, 44));
        const TEvent event = Next();
        EXPECT_EQ(event.type, c.type);
        EXPECT_EQ(event.param, c.param);
        EXPECT_EQ(event.modifiers, c.modifiers);
        if (c.type != kEventNothing) {
            EXPECT_EQ(event.x, -31072);
            EXPECT_EQ(event.y, -5);
        }
        EXPECT_EQ(GetCapture() == mMain, c.capturedAfter);
    }
}

TEST_F(TEventSourceTest, BlockedInputDropsButtons) {
    Open();
    TFakeWindowManager::sInputBlocked = true;
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_MOUSEWHEEL}) {
        standin::InjectMessage(mMain, message, 0, 0);
        EXPECT_EQ(Next().type, kEventNothing) << message;
    }
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(TEventSourceTest, CaptureTakenByAnotherWindow) {
    Open();
    HWND other = MakeWindow(50, 50);
    struct TCase {
        HWND taker;
        int type;
    };
    for (const TCase& c : {TCase{other, 9}, TCase{nullptr, 9}, TCase{mMain, 2}}) {
        PostMessageA(mMain, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(c.taker));
        const TEvent event = Next();
        EXPECT_EQ(event.type, c.type);
        EXPECT_EQ(event.x, 0);
        EXPECT_EQ(event.y, 0);
    }
}

TEST_F(TEventSourceTest, MouseLeaveAndHover) {
    TFakeDisplay display;
    display.cursor = TPoint{12, 34};
    SetDisplayLink(&display);
    TWin32Platform& record = Open();
    standin::InjectMessage(mMain, WM_MOUSEMOVE, 0, MAKELPARAM(5, 6));
    TEvent event = Next();
    EXPECT_EQ(event.type, kEventMouseMove);
    EXPECT_EQ(event.x, 12);
    EXPECT_EQ(event.y, 34);
    EXPECT_TRUE(record.mHoverTracking);
    EXPECT_TRUE(record.mLeaveTracking);

    SendMessageA(mMain, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(record.mHoverTracking);
    EXPECT_FALSE(record.mLeaveTracking);
    event = Next();
    EXPECT_EQ(event.type, kEventMouseLeft);
    EXPECT_EQ(event.x, 12);
    EXPECT_EQ(event.y, 34);

    PostMessageA(mMain, WM_MOUSEHOVER, 0, 0);
    event = Next();
    EXPECT_EQ(event.type, kEventMouseHover);
    EXPECT_EQ(event.y, 34);
}

TEST_F(TEventSourceTest, RepaintIsReportedTwice) {
    Open();
    TFakeWindowManager::sInvalidates = 0;
    InvalidateRect(mMain, nullptr, FALSE);
    // Once for the message, once more for the flag the window procedure set.
    EXPECT_EQ(Types(UntilIdle()), (std::vector<int>{15, 15}));
    EXPECT_EQ(TFakeWindowManager::sInvalidates, 1);
}

TEST_F(TEventSourceTest, PendingFlagsComeOneAtATimeInOrder) {
    TWin32Platform& record = Open();
    record.mAppActivationEventPending = true;
    record.mClosePending = true;
    record.mRepaintPending = true;
    record.mAssetsReleased = true;
    record.mMouseLeavePending = true;
    record.mActivationEventPending = true;
    EXPECT_EQ(Types(UntilIdle()), (std::vector<int>{18, 17, 15, 18, 3, 9}));
}

TEST_F(TEventSourceTest, LostDeviceIsRestoredWhileActive) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    TWin32Platform& record = Open();
    display.ready = false;
    EXPECT_EQ(Next().type, kEventNothing);
    EXPECT_EQ(display.restores, 1);
    // Inactive in full screen: no restore, the loop goes on.
    record.mInactiveInFullScreen = true;
    EXPECT_EQ(Next().type, kEventIdle);
    EXPECT_EQ(display.restores, 1);
    // A quit is seen even while the device is lost.
    PostQuitMessage(0);
    EXPECT_EQ(Next().type, kEventQuit);
}

TEST_F(TEventSourceTest, InactivationRestartsTheFrameCount) {
    TFakeDisplay display;
    SetDisplayLink(&display);
    TWin32Platform& record = Open();
    record.OnActivation(mMain, false);
    const TEvent event = Next();
    EXPECT_EQ(event.type, kEventActivation);
    EXPECT_EQ(event.param, 0);
    EXPECT_EQ(display.resetWorkingCounts, 1);
}

TEST_F(TEventSourceTest, BusyHandlerLetsOnlyQuitThrough) {
    Open();
    TFakeGameState& gameState = AddGameStateHandler();
    gameState.busyPolls = 1000000;
    standin::InjectMessage(mMain, WM_KEYDOWN, 'A', 0);
    SendMessageA(mMain, WM_CLOSE, 0, 0);
    PostQuitMessage(0);
    EXPECT_EQ(Next().type, kEventQuit);
    EXPECT_GT(gameState.busyPolls, 0);

    // Once nobody is busy, what was pumped meanwhile is not reported again.
    gameState.busyPolls = 5;
    standin::InjectMessage(mMain, WM_KEYDOWN, 'B', 0);
    const std::vector<TEvent> events = UntilIdle();
    EXPECT_EQ(gameState.busyPolls, 0);
    for (const TEvent& event : events) {
        EXPECT_NE(event.type, kEventKeyDown);
    }
    // The close request set before still comes through its flag.
    EXPECT_EQ(Types(events), (std::vector<int>{3}));
}

TEST_F(TEventSourceTest, HostWindowGoneInHostedModeQuits) {
    struct TCase {
        const char* commandLine;
        int type;
    };
    for (const TCase& c : {TCase{"game -pq=1", kEventQuit}, TCase{"game -wnd=1", kEventIdle}}) {
        SCOPED_TRACE(c.commandLine);
        HWND host = MakeWindow(200, 200);
        TWin32Platform& record = MakePlatform(c.commandLine);
        record.mEmbedded = true;
        record.mExternalWindowParent = host;
        mPlatform->CreateMainWindow();
        UntilIdle();
        DestroyWindow(host);
        // Its child went with it; the quit that brings is not what is tested here.
        MSG quit;
        while (PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        record.mMainWindow = nullptr;
        EXPECT_EQ(Types(UntilIdleOrQuit()), (std::vector<int>{c.type}));
        delete mPlatform;
        mPlatform = nullptr;
    }
}

TEST_F(TEventSourceTest, WindowMessagesGoToTheGameState) {
    Open();
    EXPECT_EQ(SendMessageA(mMain, WM_USER, 7, 0), 1) << "no game state yet: nothing to tell";
    TFakeGameState& gameState = AddGameStateHandler();
    EXPECT_EQ(SendMessageA(mMain, WM_USER, 9, 0), 1);
    EXPECT_EQ(SendMessageA(mMain, WM_USER + 100, 0, 0), 1);
    ASSERT_EQ(gameState.commands.size(), 1u);
    EXPECT_EQ(gameState.commands[0], (std::pair<std::string, int>("windowmessage", 9)));
}

struct TCountingTask final : TTask {
    int* runs;
    explicit TCountingTask(int* counter) : runs(counter) {}
    bool DoTask() override {
        ++*runs;
        return true;
    }
};

struct TFakeSound final : TSoundManagerLink {
    int* updates;
    std::vector<bool>* actives;
    TFakeSound(int* u, std::vector<bool>* a) : updates(u), actives(a) {}
    void Update() override { ++*updates; }
    void SetActive(bool active) override { actives->push_back(active); }
    float GetVolume(int) override { return 1; }
    void SetVolume(int, float) override {}
};

TEST_F(TEventSourceTest, IdleRunsSoundAndTasks) {
    TWin32Platform& record = Open();
    int runs = 0;
    int updates = 0;
    std::vector<bool> actives;
    record.mTaskList.Add(new TCountingTask(&runs));
    record.mSoundManager = new TFakeSound(&updates, &actives);
    EXPECT_EQ(Next().type, kEventIdle);
    EXPECT_EQ(Next().type, kEventIdle);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(updates, 2);
    // A message instead of idle: no idle work.
    PostMessageA(mMain, WM_USER + 100, 0, 0);
    EXPECT_EQ(Next().type, kEventNothing);
    EXPECT_EQ(runs, 2);
}

TEST_F(TEventSourceTest, EmbeddedWindowKeepsRightClicksFromItsProcedure) {
    HWND host = MakeWindow(960, 720);
    Open(host);
    int rightClicksSeen = 0;
    // The host's context menu gets them; the window procedure must not.
    static int* seen = nullptr;
    seen = &rightClicksSeen;
    const LONG_PTR old = SetWindowLongPtrA(
        mMain, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_RBUTTONDOWN || m == WM_RBUTTONUP) {
                ++*seen;
            }
            return TWin32Platform::WindowProc(w, m, wp, lp);
        }));
    standin::InjectMessage(mMain, WM_RBUTTONDOWN, MK_RBUTTON, 0);
    standin::InjectMessage(mMain, WM_RBUTTONUP, 0, 0);
    standin::InjectMessage(mMain, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(Next().param, kRightDown);
    EXPECT_EQ(Next().param, kRightUp);
    EXPECT_EQ(Next().type, kEventLeftDown);
    EXPECT_EQ(rightClicksSeen, 0);
    SetWindowLongPtrA(mMain, GWLP_WNDPROC, old);
}

} // namespace
} // namespace platform_test
