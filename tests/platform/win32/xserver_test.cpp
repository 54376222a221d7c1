// A real window on a real X server (Xvfb) and a real key press through the XTEST extension,
// which reaches the program the way a user's key does. Skipped when no X server can be started
// or the XTEST client library is missing.
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/xserver.h"
#include "tests/platform/win32/wintest.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <string>

namespace {

using testing_fixtures::FinishChild;
using testing_fixtures::kChildNoXTest;
using testing_fixtures::kChildPassed;

constexpr int kWrongDriver = 78;
constexpr int kWrongSize = 79;
constexpr int kNoKey = 80;

// The child process that the test below starts on the Xvfb display.
CHILD_ENTRY(XServerChild) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinXServerTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinXServerTest", "Kelvane", WS_POPUP | WS_VISIBLE, 0, 0,
                                  480, 360, nullptr, nullptr, nullptr, nullptr);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (window == nullptr || driver == nullptr || std::string(driver) != "x11") {
        FinishChild(kWrongDriver);
    }
    SDL_Window* sdl = SDL_GetWindowFromID(standin::SdlWindowId(window));
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    RECT client{};
    GetClientRect(window, &client);
    if (width != 480 || height != 360 || client.right != 480 || client.bottom != 360) {
        FinishChild(kWrongSize);
    }
    MSG message{};
    const auto pumpFor = [&message](int milliseconds, UINT wanted) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.message == wanted) {
                    return true;
                }
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            Sleep(5);
        }
        return false;
    };
    // Mapped and given the keyboard focus (there is no window manager to give it).
    pumpFor(500, 0xFFFF);
    SDL_SetWindowInputFocus(sdl);
    pumpFor(300, 0xFFFF);

    if (!testing_fixtures::PressRealKey(0x61)) { // XK_a
        FinishChild(kChildNoXTest);
    }
    const bool got = pumpFor(3000, WM_KEYDOWN);
    // The a key: virtual key 'A', make code 0x1E, not extended, first press.
    if (!got || message.hwnd != window || message.wParam != 'A' ||
        static_cast<DWORD>(message.lParam) != 0x001E0001u) {
        FinishChild(kNoKey);
    }
    DestroyWindow(window);
    FinishChild(kChildPassed);
}

TEST(XServer, RealKeyPressArrivesAsKeyDown) {
    testing_fixtures::TXvfb server;
    if (!server.Start()) {
        GTEST_SKIP() << server.Why();
    }
    const int code = server.RunChild("XServerChild", {});
    if (code == kChildNoXTest) {
        GTEST_SKIP() << "no way to press a real key: libXtst.so.6 or the XTEST extension is "
                        "missing";
    }
    EXPECT_NE(code, kWrongDriver) << "the window did not open on the X server";
    EXPECT_NE(code, kWrongSize) << "the window is not 480 by 360";
    EXPECT_EQ(code, kChildPassed) << "the key press did not arrive as WM_KEYDOWN";
}

} // namespace
