// The presenter on a real X server (Xvfb): what it shows is read back from the server, not from
// SDL, windowed pixel for pixel and full screen scaled. Skipped when no X server can be started.
#include "platform/directx/ddraw.h"
#include "platform/directx/presenter.h"
#include "platform/win32/windowbackend.h"
#include "platform/win32/windows.h"

#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/xpixels.h"
#include "tests/fixtures/xserver.h"

#include <gtest/gtest.h>

#include <SDL2/SDL.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using standin::detail::TPresentImage;
using testing_fixtures::FinishChild;
using testing_fixtures::kChildPassed;
using testing_fixtures::TServerWindow;

enum : int {
    kWrongDriver = 70,
    kNoXWindow = 71,
    kNeverMapped = 72,
    kWindowedWrong = 73,
    kOtherThreadShowed = 74,
    kNoFullscreen = 75,
    kFullscreenWrong = 76,
    kNotBack = 77,
    kDirectDrawFailed = 78,
    kPresentNotShown = 79,
    kShownBeforePump = 80,
    kThreadPixelNotShown = 81,
};

constexpr int kWidth = 64;
constexpr int kHeight = 48;
// Wider than the image, so that a presenter that ignores the pitch shows the padding.
constexpr int kPitch = 70;
constexpr std::uint32_t kPadding = 0xFFFF00FFu;

// Four quadrants and two marked corners: mirrored, turned, shifted or scaled pictures all differ.
std::uint32_t Expected(int x, int y) {
    if (x == 0 && y == 0) {
        return 0xFFFFFFFFu;
    }
    if (x == kWidth - 1 && y == kHeight - 1) {
        return 0xFFABCDEFu;
    }
    const bool right = x >= kWidth / 2;
    const bool bottom = y >= kHeight / 2;
    return bottom ? (right ? 0xFF123456u : 0xFF0000FFu) : (right ? 0xFF00FF00u : 0xFFFF0000u);
}

std::vector<std::uint32_t> Picture() {
    std::vector<std::uint32_t> pixels(std::size_t{kPitch} * kHeight, kPadding);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            pixels[y * kPitch + x] = Expected(x, y);
        }
    }
    return pixels;
}

struct TPoint {
    int x;
    int y;
};

const TPoint kSamples[] = {{0, 0},  {1, 0},   {31, 23}, {32, 0},  {63, 0},
                           {0, 47}, {31, 47}, {40, 30}, {62, 47}, {63, 47}};

void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Pumps messages until `done` holds or five seconds pass.
bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        Pump();
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Whether the server shows the picture, each sample point at `scale` times its place (the centre
// of its block), on a window of `width` x `height`. Prints the first difference when `report`.
bool ShowsPicture(const TServerWindow& window, int width, int height, int scale, bool report) {
    const std::vector<std::uint32_t> pixels = window.Pixels(width, height);
    if (pixels.empty()) {
        if (report) {
            std::fprintf(stderr, "the window is not viewable at %d x %d\n", width, height);
        }
        return false;
    }
    for (const TPoint& point : kSamples) {
        const int x = point.x * scale + scale / 2;
        const int y = point.y * scale + scale / 2;
        const std::uint32_t seen = pixels[static_cast<std::size_t>(y) * width + x];
        if (seen != Expected(point.x, point.y)) {
            if (report) {
                std::fprintf(stderr, "pixel (%d, %d) is %08X, not %08X\n", x, y, seen,
                             Expected(point.x, point.y));
            }
            return false;
        }
    }
    return true;
}

// The X window of `window`, once the server shows it mapped at kWidth x kHeight; exits the child
// on failure.
std::unique_ptr<TServerWindow> OpenXWindow(HWND window) {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (window == nullptr || driver == nullptr || std::strcmp(driver, "x11") != 0) {
        FinishChild(kWrongDriver);
    }
    auto opened = std::make_unique<TServerWindow>(window);
    if (!opened->IsOpen()) {
        FinishChild(kNoXWindow);
    }
    // A read while the window changes size is refused by the server; the loop asks again.
    if (!PumpUntil([&] { return !opened->Pixels(kWidth, kHeight).empty(); })) {
        FinishChild(kNeverMapped);
    }
    return opened;
}

CHILD_ENTRY(PresenterChild) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinPresenterTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinPresenterTest", "Presenter", WS_POPUP | WS_VISIBLE, 40,
                                  30, kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    const std::unique_ptr<TServerWindow> x = OpenXWindow(window);

    const auto presenter = standin::detail::MakePresenter();
    const std::vector<std::uint32_t> picture = Picture();
    const TPresentImage image{picture.data(), kPitch, kWidth, kHeight};
    const bool windowed = PumpUntil([&] {
        presenter->Show(window, false, image);
        return ShowsPicture(*x, kWidth, kHeight, 1, false);
    });
    if (!windowed) {
        ShowsPicture(*x, kWidth, kHeight, 1, true);
        FinishChild(kWindowedWrong);
    }

    // Only the thread that runs SDL's video shows anything.
    const std::vector<std::uint32_t> black(std::size_t{kPitch} * kHeight, 0xFF000000u);
    std::thread other([&] {
        presenter->Show(window, false, TPresentImage{black.data(), kPitch, kWidth, kHeight});
    });
    other.join();
    if (!ShowsPicture(*x, kWidth, kHeight, 1, true)) {
        FinishChild(kOtherThreadShowed);
    }

    // Full screen on Xvfb's 1024 x 768 screen: each image pixel becomes a 16 x 16 block.
    presenter->SetFullscreen(window, true);
    if (!PumpUntil([&] { return !x->Pixels(1024, 768).empty(); })) {
        FinishChild(kNoFullscreen);
    }
    const bool fullscreen = PumpUntil([&] {
        presenter->Show(window, true, image);
        return ShowsPicture(*x, 1024, 768, 16, false);
    });
    if (!fullscreen) {
        ShowsPicture(*x, 1024, 768, 16, true);
        FinishChild(kFullscreenWrong);
    }

    presenter->SetFullscreen(window, false);
    const auto inPlace = [&] { return x->IsAt(40, 30); };
    const bool back = PumpUntil([&] {
        presenter->Show(window, false, image);
        return inPlace() && ShowsPicture(*x, kWidth, kHeight, 1, false);
    });
    if (!back) {
        std::fprintf(stderr, "%s\n", inPlace() ? "in place" : "not at (40, 30)");
        ShowsPicture(*x, kWidth, kHeight, 1, true);
        FinishChild(kNotBack);
    }
    DestroyWindow(window);
    FinishChild(kChildPassed);
}

// Full screen on a screen of another shape (PRESENTER_SCREEN "WxH"): the picture in the largest
// centred rectangle of its shape, black bars beside it.
CHILD_ENTRY(LetterboxChild) {
    int screenWidth = 0;
    int screenHeight = 0;
    if (std::sscanf(std::getenv("PRESENTER_SCREEN"), "%dx%d", &screenWidth, &screenHeight) != 2) {
        FinishChild(kWrongDriver);
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinLetterboxTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinLetterboxTest", "Letterbox", WS_POPUP | WS_VISIBLE, 40,
                                  30, kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    const std::unique_ptr<TServerWindow> x = OpenXWindow(window);
    const auto presenter = standin::detail::MakePresenter();
    const std::vector<std::uint32_t> picture = Picture();
    const TPresentImage image{picture.data(), kPitch, kWidth, kHeight};
    presenter->SetFullscreen(window, true);
    if (!PumpUntil([&] { return !x->Pixels(screenWidth, screenHeight).empty(); })) {
        FinishChild(kNoFullscreen);
    }
    // The rectangle worked out by hand: 1920 x 1080 shows 1440 x 1080 from x = 240; 1280 x 1024
    // shows 1280 x 960 from y = 32.
    const bool wide = screenWidth * kHeight > screenHeight * kWidth;
    const int shownWidth = wide ? screenHeight * kWidth / kHeight : screenWidth;
    const int shownHeight = wide ? screenHeight : screenWidth * kHeight / kWidth;
    const int left = (screenWidth - shownWidth) / 2;
    const int top = (screenHeight - shownHeight) / 2;
    const auto shows = [&](bool report) {
        const std::vector<std::uint32_t> pixels = x->Pixels(screenWidth, screenHeight);
        if (pixels.empty()) {
            return false;
        }
        const auto at = [&](int px, int py) {
            return pixels[static_cast<std::size_t>(py) * screenWidth + px];
        };
        for (const TPoint& point : kSamples) {
            const int px = left + (2 * point.x + 1) * shownWidth / (2 * kWidth);
            const int py = top + (2 * point.y + 1) * shownHeight / (2 * kHeight);
            if (at(px, py) != Expected(point.x, point.y)) {
                if (report) {
                    std::fprintf(stderr, "pixel (%d, %d) is %08X, not %08X\n", px, py, at(px, py),
                                 Expected(point.x, point.y));
                }
                return false;
            }
        }
        // Each bar's outer and inner edge and its middle.
        std::vector<TPoint> bars;
        if (left > 0) {
            bars = {{0, 0},
                    {left - 1, screenHeight / 2},
                    {left / 2, screenHeight - 1},
                    {screenWidth - left, 0},
                    {screenWidth - 1, screenHeight / 2}};
        }
        if (top > 0) {
            bars = {{0, 0},
                    {screenWidth / 2, top - 1},
                    {screenWidth - 1, top / 2},
                    {0, screenHeight - top},
                    {screenWidth / 2, screenHeight - 1}};
        }
        for (const TPoint& bar : bars) {
            if (at(bar.x, bar.y) != 0xFF000000u) {
                if (report) {
                    std::fprintf(stderr, "bar pixel (%d, %d) is %08X\n", bar.x, bar.y,
                                 at(bar.x, bar.y));
                }
                return false;
            }
        }
        return true;
    };
    const bool shown = PumpUntil([&] {
        presenter->Show(window, true, image);
        return shows(false);
    });
    if (!shown) {
        shows(true);
        FinishChild(kFullscreenWrong);
    }
    DestroyWindow(window);
    FinishChild(kChildPassed);
}

// The whole DirectDraw path in a window: a back buffer shown with a Blt to the primary, and a
// pixel another thread writes to the primary, which shows once the main thread pumps.
CHILD_ENTRY(DirectDrawWindowChild) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinDirectDrawTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinDirectDrawTest", "DirectDraw", WS_POPUP | WS_VISIBLE,
                                  40, 30, kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
    const std::unique_ptr<TServerWindow> x = OpenXWindow(window);

    void* object = nullptr;
    IDirectDraw7* directDraw = nullptr;
    IDirectDrawSurface7* primary = nullptr;
    IDirectDrawSurface7* back = nullptr;
    IDirectDrawSurface7* dot = nullptr;
    IDirectDrawClipper* clipper = nullptr;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    bool ok = DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr) == DD_OK;
    directDraw = static_cast<IDirectDraw7*>(object);
    ok = ok && directDraw->SetCooperativeLevel(window, DDSCL_NORMAL) == DD_OK &&
         directDraw->CreateSurface(&desc, &primary, nullptr) == DD_OK &&
         directDraw->CreateClipper(0, &clipper, nullptr) == DD_OK &&
         clipper->SetHWnd(0, window) == DD_OK && primary->SetClipper(clipper) == DD_OK;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = kWidth;
    desc.dwHeight = kHeight;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    ok = ok && directDraw->CreateSurface(&desc, &back, nullptr) == DD_OK;
    desc.dwWidth = 1;
    desc.dwHeight = 1;
    ok = ok && directDraw->CreateSurface(&desc, &dot, nullptr) == DD_OK;
    DDSURFACEDESC2 locked{};
    locked.dwSize = sizeof locked;
    ok = ok && back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr) == DD_OK;
    if (!ok || locked.ddpfPixelFormat.dwRGBBitCount != 32) {
        FinishChild(kDirectDrawFailed);
    }
    for (int y = 0; y < kHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(static_cast<char*>(locked.lpSurface) +
                                                     y * locked.lPitch);
        for (int px = 0; px < kWidth; ++px) {
            row[px] = Expected(px, y) & 0xFFFFFF;
        }
    }
    back->Unlock(nullptr);
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x00FFFF;
    dot->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);

    RECT client{40, 30, 40 + kWidth, 30 + kHeight};
    const bool shown = PumpUntil([&] {
        primary->Blt(&client, back, nullptr, DDBLT_WAIT, nullptr);
        return ShowsPicture(*x, kWidth, kHeight, 1, false);
    });
    if (!shown) {
        ShowsPicture(*x, kWidth, kHeight, 1, true);
        FinishChild(kPresentNotShown);
    }

    // The cursor thread's kind of write: straight onto the primary, from another thread.
    std::thread drawer([&] {
        RECT at{45, 35, 46, 36};
        primary->Blt(&at, dot, nullptr, DDBLT_WAIT, nullptr);
    });
    drawer.join();
    const std::vector<std::uint32_t> before = x->Pixels(kWidth, kHeight);
    if (before.empty() || before[5 * kWidth + 5] != Expected(5, 5)) {
        FinishChild(kShownBeforePump);
    }
    const bool pumped = PumpUntil([&] {
        const std::vector<std::uint32_t> now = x->Pixels(kWidth, kHeight);
        return !now.empty() && now[5 * kWidth + 5] == 0xFF00FFFFu;
    });
    if (!pumped) {
        FinishChild(kThreadPixelNotShown);
    }
    dot->Release();
    back->Release();
    primary->Release();
    clipper->Release();
    directDraw->Release();
    DestroyWindow(window);
    FinishChild(kChildPassed);
}

TEST(PresenterXServer, DirectDrawPresentAndAnotherThreadsPixelShowInTheWindow) {
    testing_fixtures::TXvfb server;
    if (!server.Start()) {
        GTEST_SKIP() << server.Why();
    }
    const int code = server.RunChild("DirectDrawWindowChild", {});
    EXPECT_NE(code, kDirectDrawFailed) << "the DirectDraw set-up failed";
    EXPECT_NE(code, kPresentNotShown) << "the back buffer blitted to the primary did not show";
    EXPECT_NE(code, kShownBeforePump) << "the window changed before the main thread pumped";
    EXPECT_NE(code, kThreadPixelNotShown) << "the other thread's pixel did not show after pumping";
    EXPECT_EQ(code, kChildPassed);
}

TEST(PresenterXServer, ShowsThePictureWindowedAndFullScreen) {
    testing_fixtures::TXvfb server;
    if (!server.Start()) {
        GTEST_SKIP() << server.Why();
    }
    const int code = server.RunChild("PresenterChild", {});
    EXPECT_NE(code, kWrongDriver) << "the window did not open on the X server";
    EXPECT_NE(code, kNoXWindow) << "no X11 window behind the SDL window";
    EXPECT_NE(code, kNeverMapped) << "the window was never mapped at 64 x 48";
    EXPECT_NE(code, kWindowedWrong) << "the windowed picture differs (see the child's output)";
    EXPECT_NE(code, kOtherThreadShowed) << "a Show from another thread reached the window";
    EXPECT_NE(code, kNoFullscreen) << "the window did not become 1024 x 768";
    EXPECT_NE(code, kFullscreenWrong) << "the full-screen picture differs";
    EXPECT_NE(code, kNotBack)
        << "the window did not return to 64 x 48 at (40, 30) with its picture";
    EXPECT_EQ(code, kChildPassed);
}

TEST(PresenterXServer, FullScreenKeepsThePicturesShapeWithBlackBars) {
    for (const char* screen : {"1920x1080", "1280x1024"}) {
        SCOPED_TRACE(screen);
        int width = 0;
        int height = 0;
        std::sscanf(screen, "%dx%d", &width, &height);
        testing_fixtures::TXvfb server;
        if (!server.Start(width, height)) {
            GTEST_SKIP() << server.Why();
        }
        const int code =
            server.RunChild("LetterboxChild", {std::string("PRESENTER_SCREEN=") + screen});
        EXPECT_NE(code, kNoFullscreen) << "the window did not cover the screen";
        EXPECT_NE(code, kFullscreenWrong) << "the picture or its bars differ";
        EXPECT_EQ(code, kChildPassed);
    }
}

} // namespace
