// The pointer on a real X server (Xvfb), moved and clicked through XTEST and warped: over a
// display mode of another shape than the screen it goes through the picture's rectangle, a click
// on a bar reaches no window, and a warp (the program's own or another program's) moves the
// cursor at once. Skipped when no X server can be started or XTEST is missing.
#include "platform/win32/desktop.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/xserver.h"
#include "tests/platform/win32/wintest.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using testing_fixtures::FinishChild;
using testing_fixtures::kChildNoXTest;
using testing_fixtures::kChildPassed;

enum : int {
    kPointerWrongDriver = 60,
    kPointerNotMoved = 61,
    kPointerNotClicked = 62,
    kPointerBarReached = 63,
    kPointerOwnWarpLost = 64,
    kPointerOtherWarpLost = 65,
};

constexpr int kModeWidth = 800;
constexpr int kModeHeight = 600;

struct TPlace {
    int nativeX, nativeY; // on the screen
    int x, y;             // in the mode
};

// Messages until one satisfies `wanted` (which sees each) or five seconds pass.
bool PumpUntil(const std::function<bool(const MSG&)>& wanted) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    MSG message{};
    while (std::chrono::steady_clock::now() < end) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool done = wanted(message);
            DispatchMessageA(&message);
            if (done) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// More turns of the pump, each of which used to put back SDL's idea of the pointer.
void PumpTurns(int turns) {
    MSG message{};
    for (int i = 0; i < turns; ++i) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
    }
}

bool CursorAt(int x, int y) {
    POINT cursor{};
    return GetCursorPos(&cursor) && cursor.x == x && cursor.y == y;
}

bool IsMoveTo(const MSG& message, int x, int y) {
    return message.message == WM_MOUSEMOVE && message.lParam == MAKELPARAM(x, y);
}

// POINTER_SCREEN "WxH"; the places worked out by hand for each screen.
CHILD_ENTRY(PointerChild) {
    const std::string screen = std::getenv("POINTER_SCREEN");
    // 1920 x 1080 shows the mode at 1440 x 1080 from x = 240; 1280 x 1024 at 1280 x 960 from
    // y = 32. A place: the screen pixel and the mode pixel it shows.
    std::vector<TPlace> places;
    std::vector<TPlace> bars;
    if (screen == "1920x1080") {
        places = {{960, 540, 400, 300}, {240, 0, 0, 0}, {1679, 1079, 799, 599}};
        bars = {{239, 540, 0, 0}, {1680, 10, 0, 0}};
    } else {
        places = {{640, 512, 400, 300}, {0, 32, 0, 0}, {1279, 991, 799, 599}};
        bars = {{640, 31, 0, 0}, {10, 992, 0, 0}};
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinPointerTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinPointerTest", "Pointer", WS_POPUP | WS_VISIBLE, 0, 0,
                                  kModeWidth, kModeHeight, nullptr, nullptr, nullptr, nullptr);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (window == nullptr || driver == nullptr || std::string(driver) != "x11") {
        FinishChild(kPointerWrongDriver);
    }
    // The game's full screen: the mode set over the screen, the window covering it (as the
    // presenter makes it).
    standin::detail::SetDesktopMode(kModeWidth, kModeHeight, 32, 0);
    int screenWidth = 0;
    int screenHeight = 0;
    std::sscanf(screen.c_str(), "%dx%d", &screenWidth, &screenHeight);
    SDL_Window* sdl = SDL_GetWindowFromID(standin::SdlWindowId(window));
    SDL_SetWindowPosition(sdl, 0, 0);
    SDL_SetWindowSize(sdl, screenWidth, screenHeight);
    // Mapped (there is no window manager to wait for).
    const auto mapped = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < mapped) {
        PumpTurns(1);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!testing_fixtures::MoveRealPointer(1, 1, false)) {
        FinishChild(kChildNoXTest);
    }

    for (const TPlace& place : places) {
        testing_fixtures::MoveRealPointer(place.nativeX, place.nativeY, false);
        if (!PumpUntil([&](const MSG& m) { return IsMoveTo(m, place.x, place.y); }) ||
            !CursorAt(place.x, place.y)) {
            std::fprintf(stderr, "no move to (%d, %d)\n", place.x, place.y);
            FinishChild(kPointerNotMoved);
        }
        testing_fixtures::ClickRealButton();
        if (!PumpUntil([&](const MSG& m) {
                return m.message == WM_LBUTTONUP && m.lParam == MAKELPARAM(place.x, place.y);
            })) {
            FinishChild(kPointerNotClicked);
        }
    }

    // A click on each bar, then a move into the picture: nothing but that move arrives.
    const TPlace& inside = places[0];
    for (const TPlace& bar : bars) {
        testing_fixtures::MoveRealPointer(bar.nativeX, bar.nativeY, false);
        testing_fixtures::ClickRealButton();
        testing_fixtures::MoveRealPointer(inside.nativeX, inside.nativeY, false);
        bool reached = false;
        PumpUntil([&](const MSG& m) {
            if (IsMoveTo(m, inside.x, inside.y)) {
                return true;
            }
            reached = reached || (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST);
            return false;
        });
        if (reached) {
            std::fprintf(stderr, "the bar at (%d, %d) reached the window\n", bar.nativeX,
                         bar.nativeY);
            FinishChild(kPointerBarReached);
        }
    }

    // The last click was at places[0]; the program warps the cursor elsewhere.
    const TPlace& own = places[1];
    SetCursorPos(own.x + 100, own.y + 50);
    PumpUntil([&](const MSG& m) { return IsMoveTo(m, own.x + 100, own.y + 50); });
    PumpTurns(20);
    if (!CursorAt(own.x + 100, own.y + 50)) {
        FinishChild(kPointerOwnWarpLost);
    }
    // Another program warps it.
    const TPlace& other = places[2];
    testing_fixtures::MoveRealPointer(other.nativeX, other.nativeY, true);
    const bool heard = PumpUntil([&](const MSG& m) { return IsMoveTo(m, other.x, other.y); });
    PumpTurns(20);
    if (!heard || !CursorAt(other.x, other.y)) {
        FinishChild(kPointerOtherWarpLost);
    }
    standin::detail::RestoreDesktopMode();
    DestroyWindow(window);
    FinishChild(kChildPassed);
}

TEST(PointerXServer, ThroughThePictureOfAModeOfAnotherShapeAndAfterWarps) {
    for (const char* screen : {"1920x1080", "1280x1024"}) {
        SCOPED_TRACE(screen);
        int width = 0;
        int height = 0;
        std::sscanf(screen, "%dx%d", &width, &height);
        testing_fixtures::TXvfb server;
        if (!server.Start(width, height)) {
            GTEST_SKIP() << server.Why();
        }
        const int code = server.RunChild("PointerChild", {std::string("POINTER_SCREEN=") + screen});
        if (code == kChildNoXTest) {
            GTEST_SKIP() << "no XTEST";
        }
        EXPECT_NE(code, kPointerWrongDriver) << "the window did not open on the X server";
        EXPECT_NE(code, kPointerNotMoved) << "a move did not come in the mode's pixels";
        EXPECT_NE(code, kPointerNotClicked) << "a click did not come in the mode's pixels";
        EXPECT_NE(code, kPointerBarReached) << "a click on a bar reached the window";
        EXPECT_NE(code, kPointerOwnWarpLost) << "the program's warp was undone by the next pump";
        EXPECT_NE(code, kPointerOtherWarpLost) << "another program's warp was not followed";
        EXPECT_EQ(code, kChildPassed);
    }
}

} // namespace
