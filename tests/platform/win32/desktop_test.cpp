#include "platform/win32/desktop.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "platform/win32/wingdi.h"

#include "tests/platform/win32/wintest.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using standin::TDesktop;

void ExpectRect(const RECT& seen, const RECT& expected, const std::string& what) {
    EXPECT_EQ(seen.left, expected.left) << what;
    EXPECT_EQ(seen.top, expected.top) << what;
    EXPECT_EQ(seen.right, expected.right) << what;
    EXPECT_EQ(seen.bottom, expected.bottom) << what;
}

MONITORINFO InfoOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    EXPECT_TRUE(GetMonitorInfoA(monitor, &info));
    return info;
}

class Desktop : public ::testing::Test {
protected:
    void TearDown() override { standin::UseSystemDesktop(); }
};

TEST_F(Desktop, CallsAnswerFromTheDescription) {
    struct TCase {
        const char* name;
        TDesktop desktop;
        // Expected answers, worked out by hand.
        RECT workArea;
        int numColors;
        RECT virtualScreen;
        int monitors;
    };
    TDesktop twoMonitors;
    twoMonitors.width = 1280;
    twoMonitors.height = 1024;
    twoMonitors.refreshRate = 85;
    twoMonitors.workArea = RECT{0, 0, 1280, 984};
    // The second monitor stands left of the primary, lower; its work area is left empty.
    twoMonitors.monitors = {{RECT{}, RECT{}}, {RECT{-1024, 256, 0, 1024}, RECT{}}};
    const TCase cases[] = {
        {"800x600, 16 bits, no task bar",
         TDesktop{800, 600, 16, 75, RECT{}, {}},
         {0, 0, 800, 600},
         -1,
         {0, 0, 800, 600},
         1},
        {"1024x768, 32 bits, task bar at the bottom",
         TDesktop{1024, 768, 32, 60, RECT{0, 0, 1024, 738}, {}},
         {0, 0, 1024, 738},
         -1,
         {0, 0, 1024, 768},
         1},
        {"16 colours",
         TDesktop{640, 480, 4, 60, RECT{}, {}},
         {0, 0, 640, 480},
         16,
         {0, 0, 640, 480},
         1},
        {"256 colours, task bar on the left",
         TDesktop{640, 480, 8, 70, RECT{40, 0, 640, 480}, {}},
         {40, 0, 640, 480},
         256,
         {0, 0, 640, 480},
         1},
        {"two monitors side by side",
         twoMonitors,
         {0, 0, 1280, 984},
         -1,
         {-1024, 0, 1280, 1024},
         2},
    };
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);
    for (const TCase& item : cases) {
        SCOPED_TRACE(item.name);
        const TDesktop& d = item.desktop;
        standin::SetDesktop(d);
        const int workWidth = item.workArea.right - item.workArea.left;
        const int workHeight = item.workArea.bottom - item.workArea.top;

        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), d.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), d.height);
        EXPECT_EQ(GetSystemMetrics(SM_CXFULLSCREEN), workWidth);
        EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), workHeight - 19);
        EXPECT_EQ(GetSystemMetrics(SM_XVIRTUALSCREEN), item.virtualScreen.left);
        EXPECT_EQ(GetSystemMetrics(SM_YVIRTUALSCREEN), item.virtualScreen.top);
        EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN),
                  item.virtualScreen.right - item.virtualScreen.left);
        EXPECT_EQ(GetSystemMetrics(SM_CYVIRTUALSCREEN),
                  item.virtualScreen.bottom - item.virtualScreen.top);
        EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), item.monitors);
        // Metrics that do not come from the desktop stay as they are.
        EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 19);

        EXPECT_EQ(GetDeviceCaps(screen, HORZRES), d.width);
        EXPECT_EQ(GetDeviceCaps(screen, VERTRES), d.height);
        EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), d.bitsPerPixel);
        EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
        EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), item.numColors);
        EXPECT_EQ(GetDeviceCaps(screen, VREFRESH), d.refreshRate);

        RECT work{};
        ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
        ExpectRect(work, item.workArea, "work area");

        const RECT primaryRect{0, 0, d.width, d.height};
        HMONITOR primary = MonitorFromRect(&primaryRect, MONITOR_DEFAULTTONULL);
        ASSERT_NE(primary, nullptr);
        const MONITORINFO info = InfoOf(primary);
        ExpectRect(info.rcMonitor, primaryRect, "primary monitor");
        ExpectRect(info.rcWork, item.workArea, "primary work area");
        EXPECT_EQ(info.dwFlags, static_cast<DWORD>(MONITORINFOF_PRIMARY));

        const TDesktop current = standin::CurrentDesktop();
        ASSERT_EQ(static_cast<int>(current.monitors.size()), item.monitors);
        ExpectRect(current.workArea, item.workArea, "described work area");
        for (std::size_t i = 1; i < current.monitors.size(); ++i) {
            const RECT rect = d.monitors[i].rect;
            HMONITOR other = MonitorFromRect(&rect, MONITOR_DEFAULTTONULL);
            ASSERT_NE(other, nullptr);
            EXPECT_NE(other, primary);
            const MONITORINFO otherInfo = InfoOf(other);
            ExpectRect(otherInfo.rcMonitor, rect, "other monitor");
            // An empty work area is the whole monitor.
            ExpectRect(otherInfo.rcWork, rect, "other work area");
            EXPECT_EQ(otherInfo.dwFlags, 0u);
        }
    }
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST_F(Desktop, DescriptionIsNormalised) {
    TDesktop desktop{1024, 768, 32, 60, RECT{-50, 0, 1024, 2000}, {}};
    // A primary placed elsewhere goes to the origin with the mode's size.
    desktop.monitors = {{RECT{100, 100, 200, 200}, RECT{}},
                        {RECT{1024, 0, 2048, 768}, RECT{1000, 0, 2048, 700}}};
    standin::SetDesktop(desktop);
    const TDesktop seen = standin::CurrentDesktop();
    ASSERT_EQ(seen.monitors.size(), 2u);
    ExpectRect(seen.monitors[0].rect, RECT{0, 0, 1024, 768}, "primary");
    // Work areas reaching past their monitor are cut to it.
    ExpectRect(seen.monitors[0].workArea, RECT{0, 0, 1024, 768}, "primary work area");
    ExpectRect(seen.workArea, RECT{0, 0, 1024, 768}, "work area");
    ExpectRect(seen.monitors[1].workArea, RECT{1024, 0, 2048, 700}, "second work area");
}

TEST_F(Desktop, DefaultIsTheSystemDesktopAt32Bits) {
    standin::SetDesktop(TDesktop{640, 480, 8, 70, RECT{0, 0, 640, 450}, {}});
    standin::UseSystemDesktop();
    const TDesktop system = standin::CurrentDesktop();
    EXPECT_GT(system.width, 0);
    EXPECT_GT(system.height, 0);
    EXPECT_EQ(system.bitsPerPixel, 32);
    EXPECT_GT(system.refreshRate, 0);
    ASSERT_EQ(system.monitors.size(), 1u);
    ExpectRect(system.workArea, RECT{0, 0, system.width, system.height}, "work area");
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), system.width);
    EXPECT_EQ(GetSystemMetrics(SM_CYFULLSCREEN), system.height - 19);
    EXPECT_EQ(GetDeviceCaps(GetDC(nullptr), BITSPIXEL), 32);
}

TEST_F(Desktop, DisplayModeKeepsTheTaskBarAndIsRestored) {
    TDesktop desktop{1024, 768, 32, 60, RECT{10, 20, 1000, 700}, {}};
    desktop.monitors = {{RECT{}, RECT{}}, {RECT{1024, 0, 2048, 768}, RECT{}}};
    standin::SetDesktop(desktop);
    HDC screen = GetDC(nullptr);

    standin::detail::SetDesktopMode(640, 480, 16, 75);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 640);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 480);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(screen, VREFRESH), 75);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    // Insets 10, 20, 24 and 68 from the edges, as before.
    ExpectRect(work, RECT{10, 20, 616, 412}, "work area after the first mode");
    // The other monitor stays where it was.
    EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 2048);

    // A second mode; the adapter's default refresh keeps the current one.
    standin::detail::SetDesktopMode(800, 600, 8, 0);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 800);
    EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), 256);
    EXPECT_EQ(GetDeviceCaps(screen, VREFRESH), 75);
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ExpectRect(work, RECT{10, 20, 776, 532}, "work area after the second mode");

    // Back to the mode before the first change, once.
    standin::detail::RestoreDesktopMode();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, VREFRESH), 60);
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ExpectRect(work, RECT{10, 20, 1000, 700}, "work area restored");
    standin::SetDesktop(TDesktop{800, 600, 16, 60, RECT{}, {}});
    standin::detail::RestoreDesktopMode();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);

    // A description set after a mode change is what a later restore leaves alone.
    standin::detail::SetDesktopMode(640, 480, 16, 60);
    standin::SetDesktop(TDesktop{1280, 1024, 32, 60, RECT{}, {}});
    standin::detail::RestoreDesktopMode();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);

    // Modes without a size or depth change nothing.
    standin::detail::SetDesktopMode(0, 480, 16, 60);
    standin::detail::SetDesktopMode(640, 480, 0, 60);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1280);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
}

TEST_F(Desktop, DisplayModeOverTheSystemDesktopRestoresIt) {
    const TDesktop system = standin::CurrentDesktop();
    standin::detail::SetDesktopMode(320, 240, 8, 60);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 320);
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    ExpectRect(work, RECT{0, 0, 320, 240}, "work area");
    standin::detail::RestoreDesktopMode();
    const TDesktop restored = standin::CurrentDesktop();
    EXPECT_EQ(restored.width, system.width);
    EXPECT_EQ(restored.height, system.height);
    EXPECT_EQ(restored.bitsPerPixel, 32);
    EXPECT_EQ(restored.refreshRate, system.refreshRate);
}

TEST_F(Desktop, MonitorFromRectChoosesByOverlapThenByFlags) {
    TDesktop desktop{1024, 768, 32, 60, RECT{}, {}};
    desktop.monitors = {{RECT{}, RECT{}}, {RECT{1024, 0, 2304, 1024}, RECT{}}};
    standin::SetDesktop(desktop);
    const RECT primaryRect{0, 0, 1024, 768};
    const RECT secondRect{1024, 0, 2304, 1024};
    HMONITOR primary = MonitorFromRect(&primaryRect, MONITOR_DEFAULTTONULL);
    HMONITOR second = MonitorFromRect(&secondRect, MONITOR_DEFAULTTONULL);
    ASSERT_NE(primary, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(primary, second);

    // Across both: 124 columns on the primary, 176 on the second.
    const RECT straddling{900, 0, 1200, 100};
    EXPECT_EQ(MonitorFromRect(&straddling, MONITOR_DEFAULTTONULL), second);
    // An empty rect counts by its corner.
    const RECT point{10, 10, 10, 10};
    EXPECT_EQ(MonitorFromRect(&point, MONITOR_DEFAULTTONULL), primary);

    struct TCase {
        const char* name;
        RECT rect;
        HMONITOR onNull;
        HMONITOR onPrimary;
        HMONITOR onNearest;
    };
    const TCase cases[] = {
        // 696 columns right of the second monitor.
        {"right of everything", {3000, 100, 3100, 200}, nullptr, primary, second},
        // 32 rows below the primary, 924 columns left of the second.
        {"below the primary", {0, 800, 100, 900}, nullptr, primary, primary},
        // 312 rows below the primary, 56 below the second.
        {"below both", {1000, 1080, 1100, 1200}, nullptr, primary, second},
    };
    for (const TCase& item : cases) {
        SCOPED_TRACE(item.name);
        EXPECT_EQ(MonitorFromRect(&item.rect, MONITOR_DEFAULTTONULL), item.onNull);
        EXPECT_EQ(MonitorFromRect(&item.rect, MONITOR_DEFAULTTOPRIMARY), item.onPrimary);
        EXPECT_EQ(MonitorFromRect(&item.rect, MONITOR_DEFAULTTONEAREST), item.onNearest);
    }

    // Handles are stable across descriptions for the same monitor index.
    standin::SetDesktop(desktop);
    EXPECT_EQ(MonitorFromRect(&secondRect, MONITOR_DEFAULTTONULL), second);
}

TEST_F(Desktop, BadArgumentsFail) {
    TDesktop desktop{1024, 768, 32, 60, RECT{}, {}};
    desktop.monitors = {{RECT{}, RECT{}}, {RECT{1024, 0, 2048, 768}, RECT{}}};
    standin::SetDesktop(desktop);
    HDC screen = GetDC(nullptr);
    ASSERT_NE(screen, nullptr);

    SetLastError(0);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x10010)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    HDC other = reinterpret_cast<HDC>(0x10010);
    EXPECT_EQ(ReleaseDC(nullptr, other), 0);
    EXPECT_EQ(ReleaseDC(nullptr, nullptr), 0);
    EXPECT_EQ(GetDeviceCaps(other, HORZRES), 0);
    EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), 0);
    EXPECT_EQ(GetDeviceCaps(screen, 999), 0);

    SetLastError(0);
    EXPECT_FALSE(SystemParametersInfoA(SPI_GETWORKAREA, 0, nullptr, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    RECT work{1, 2, 3, 4};
    SetLastError(0);
    EXPECT_FALSE(SystemParametersInfoA(0x0001, 0, &work, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ExpectRect(work, RECT{1, 2, 3, 4}, "untouched");

    EXPECT_EQ(MonitorFromRect(nullptr, MONITOR_DEFAULTTOPRIMARY), nullptr);
    const RECT inside{0, 0, 10, 10};
    SetLastError(0);
    EXPECT_EQ(MonitorFromRect(&inside, 3), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FLAGS));

    const RECT secondRect{1024, 0, 2048, 768};
    HMONITOR second = MonitorFromRect(&secondRect, MONITOR_DEFAULTTONULL);
    ASSERT_NE(second, nullptr);
    MONITORINFO info{};
    info.cbSize = sizeof info - 1;
    EXPECT_FALSE(GetMonitorInfoA(second, &info));
    EXPECT_FALSE(GetMonitorInfoA(second, nullptr));
    info.cbSize = sizeof info;
    SetLastError(0);
    EXPECT_FALSE(GetMonitorInfoA(nullptr, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MONITOR_HANDLE));
    EXPECT_FALSE(GetMonitorInfoA(
        reinterpret_cast<HMONITOR>(reinterpret_cast<std::uintptr_t>(second) + 1), &info));
    // The handle of a monitor the desktop no longer has.
    standin::SetDesktop(TDesktop{1024, 768, 32, 60, RECT{}, {}});
    EXPECT_FALSE(GetMonitorInfoA(second, &info));
}

// Maximised windows fill their monitor's work area; windows without a caption the whole monitor.
class DesktopWindows : public wintest::TWindowTest {
protected:
    void TearDown() override {
        wintest::TWindowTest::TearDown();
        standin::UseSystemDesktop();
    }
};

TEST_F(DesktopWindows, MaximisedWindowsFillTheirMonitor) {
    TDesktop desktop{1024, 768, 32, 60, RECT{0, 0, 1024, 738}, {}};
    desktop.monitors = {{RECT{}, RECT{}}, {RECT{1024, 0, 2304, 1024}, RECT{1024, 40, 2304, 1024}}};
    standin::SetDesktop(desktop);
    struct TCase {
        const char* name;
        DWORD style;
        int x; // where the window starts
        RECT maximised;
    };
    const TCase cases[] = {
        // Sizing borders of 4 outside the work area, the caption inside it.
        {"framed, on the primary", WS_OVERLAPPEDWINDOW, 100, {-4, -4, 1028, 742}},
        {"framed, on the second", WS_OVERLAPPEDWINDOW, 1500, {1020, 36, 2308, 1028}},
        {"no caption, on the primary", WS_POPUP, 100, {0, 0, 1024, 768}},
        {"no caption, bordered, on the second", WS_POPUP | WS_BORDER, 1500, {1023, -1, 2305, 1025}},
    };
    for (const TCase& item : cases) {
        SCOPED_TRACE(item.name);
        HWND window = MakeWindow(item.style);
        ASSERT_TRUE(SetWindowPos(window, nullptr, item.x, 50, 300, 200, SWP_NOZORDER));
        ShowWindow(window, SW_MAXIMIZE);
        Drain();
        RECT rect{};
        ASSERT_TRUE(GetWindowRect(window, &rect));
        ExpectRect(rect, item.maximised, "maximised");
        DestroyWindow(window);
    }
}

} // namespace
