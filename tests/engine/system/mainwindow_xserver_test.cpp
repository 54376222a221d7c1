// The main window on a real X server (Xvfb) and a real key press through the XTEST extension:
// the key reaches the game loop as event 11. Skipped when no X server can be started or the
// XTEST client library is missing.
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/xserver.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using testing_fixtures::FinishChild;
using testing_fixtures::kChildNoXTest;
using testing_fixtures::kChildPassed;

constexpr int kWrongWindow = 78;
constexpr int kNoKey = 80;

// The child process that the test below starts on the Xvfb display.
CHILD_ENTRY(MainWindowXServerChild) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    char commandLine[] = "";
    auto* platform = new TPlatform(
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true));
    platform->CreateMainWindow();
    HWND window = platform->GetWin32()->mMainWindow;
    // The display handler would show it when it sets the display up.
    ShowWindow(window, SW_SHOWNORMAL);
    RECT outer{};
    GetWindowRect(window, &outer);
    if (window == nullptr || standin::CurrentVideoDriver() != "x11" ||
        outer.right - outer.left != 480 || outer.bottom - outer.top != 360) {
        FinishChild(kWrongWindow);
    }
    const auto pollFor = [platform](int milliseconds, TEvent* found) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            TEvent event;
            platform->GetEvent(&event);
            if (found != nullptr && event.type == kEventKeyDown) {
                *found = event;
                return true;
            }
        }
        return false;
    };
    pollFor(500, nullptr);
    standin::FocusNativeWindow(window);
    pollFor(300, nullptr);

    if (!testing_fixtures::PressRealKey(0x61)) { // XK_a
        FinishChild(kChildNoXTest);
    }
    TEvent event;
    const bool got = pollFor(3000, &event);
    if (!got || event.param != 'A' || event.modifiers != 0) {
        FinishChild(kNoKey);
    }
    delete platform;
    FinishChild(kChildPassed);
}

TEST(MainWindowXServer, RealKeyPressBecomesKeyDownEvent) {
    testing_fixtures::TXvfb server;
    if (!server.Start()) {
        GTEST_SKIP() << server.Why();
    }
    const int code = server.RunChild("MainWindowXServerChild", {});
    if (code == kChildNoXTest) {
        GTEST_SKIP() << "no way to press a real key: libXtst.so.6 or XTEST is missing";
    }
    EXPECT_NE(code, kWrongWindow) << "the main window did not open 480 by 360 on the X server";
    EXPECT_EQ(code, kChildPassed) << "the key press did not arrive as event 11";
}

} // namespace
