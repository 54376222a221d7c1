#include "tests/platform/win32/wintest.h"

#include <SDL2/SDL.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using wintest::Calls;
using wintest::TCall;

class Windows : public wintest::TWindowTest {};

TEST_F(Windows, CreationSendsItsMessagesInOrder) {
    HWND window = MakeWindow(WS_POPUP);
    std::vector<UINT> order;
    for (const TCall& call : Calls()) {
        order.push_back(call.message);
    }
    EXPECT_EQ(order, (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE}));
    ASSERT_EQ(Calls().size(), 4u);
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(Calls()[1].lParam);
    EXPECT_EQ(Calls()[2].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(Calls()[2].lParam, MAKELPARAM(480, 360));
    EXPECT_EQ(Calls()[3].lParam, MAKELPARAM(100, 50));
    (void)create;
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetForegroundWindow(), nullptr);
}

TEST_F(Windows, CreationFailsForUnknownClassOrRefusedCreate) {
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        result = -1;
        return message == WM_CREATE;
    });
    EXPECT_EQ(CreateWindowExA(0, "StandinTestAnsi", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr),
              nullptr);
    EXPECT_FALSE(Seen({WM_DESTROY}).empty());
}

TEST_F(Windows, FrameAroundTheClientAreaFollowsTheStyle) {
    struct TCase {
        const char* name;
        DWORD style;
        BOOL menu;
        RECT outer; // for a client area of {0, 0, 480, 360}
    };
    const DWORD framed = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
    const TCase cases[] = {
        {"popup", WS_POPUP, FALSE, {0, 0, 480, 360}},
        {"caption and sizing frame", framed, FALSE, {-4, -23, 484, 364}},
        {"caption, fixed frame", WS_CAPTION | WS_SYSMENU, FALSE, {-3, -22, 483, 363}},
        {"border only", WS_POPUP | WS_BORDER, FALSE, {-1, -1, 481, 361}},
        {"with a menu bar", framed, TRUE, {-4, -42, 484, 364}},
    };
    for (const TCase& item : cases) {
        RECT rect{0, 0, 480, 360};
        ASSERT_TRUE(AdjustWindowRectEx(&rect, item.style, item.menu, 0)) << item.name;
        EXPECT_EQ(rect.left, item.outer.left) << item.name;
        EXPECT_EQ(rect.top, item.outer.top) << item.name;
        EXPECT_EQ(rect.right, item.outer.right) << item.name;
        EXPECT_EQ(rect.bottom, item.outer.bottom) << item.name;
    }
    EXPECT_EQ(GetSystemMetrics(SM_CXSIZEFRAME), 4);
    EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 19);
}

TEST_F(Windows, GeometryOfAFramedWindow) {
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX);
    RECT client{};
    RECT outer{};
    ASSERT_TRUE(GetClientRect(window, &client));
    ASSERT_TRUE(GetWindowRect(window, &outer));
    EXPECT_EQ(client.right, 472);
    EXPECT_EQ(client.bottom, 333);
    EXPECT_EQ(outer.left, 100);
    EXPECT_EQ(outer.bottom, 410);
    POINT point{0, 0};
    ClientToScreen(window, &point);
    EXPECT_EQ(point.x, 104);
    EXPECT_EQ(point.y, 73);
    ScreenToClient(window, &point);
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);

    // Sizing so that the client area is 480 by 360, as the display code does.
    Calls().clear();
    RECT wanted{0, 0, 480, 360};
    AdjustWindowRectEx(&wanted, GetWindowLongA(window, GWL_STYLE), FALSE, 0);
    ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, wanted.right - wanted.left,
                             wanted.bottom - wanted.top, SWP_NOMOVE | SWP_NOZORDER));
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 480);
    EXPECT_EQ(client.bottom, 360);
    const auto sizes = Seen({WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_SIZE});
    ASSERT_EQ(sizes.size(), 3u);
    EXPECT_EQ(sizes[2].lParam, MAKELPARAM(480, 360));
}

TEST_F(Windows, WindowPosChangingMayOverrideTheSize) {
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
        if (message != WM_WINDOWPOSCHANGING) {
            return false;
        }
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        pos->cx = 480;
        pos->cy = 360;
        result = 0;
        return true;
    });
    SetWindowPos(window, nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 480);
    EXPECT_EQ(client.bottom, 360);
}

TEST_F(Windows, WindowMemoryIsBoundsChecked) {
    HWND window = MakeWindow(WS_POPUP); // the class has 16 bytes
    int marker = 0;
    const auto pointer = reinterpret_cast<LONG_PTR>(&marker);
    EXPECT_EQ(SetWindowLongPtrA(window, 0, pointer), 0);
    EXPECT_EQ(GetWindowLongPtrA(window, 0), pointer);
    EXPECT_EQ(SetWindowLongA(window, 8, 0x1234), 0);
    EXPECT_EQ(GetWindowLongA(window, 8), 0x1234);
    EXPECT_EQ(GetWindowLongPtrA(window, 0), pointer);

    struct TCase {
        int index;
        bool pointerSized;
    };
    const TCase outside[] = {{16, false}, {13, false}, {9, true}, {-100, false}};
    for (const TCase& item : outside) {
        SetLastError(0);
        if (item.pointerSized) {
            EXPECT_EQ(SetWindowLongPtrA(window, item.index, 1), 0) << item.index;
        } else {
            EXPECT_EQ(SetWindowLongA(window, item.index, 1), 0) << item.index;
        }
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX)) << item.index;
    }
    // A procedure does not fit 32 bits: only the pointer-sized form reaches it.
    SetLastError(0);
    EXPECT_EQ(GetWindowLongA(window, GWLP_WNDPROC), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(&wintest::RecordingProc));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)), static_cast<DWORD>(WS_POPUP));
}

TEST_F(Windows, ShowingActivatesAndFocuses) {
    HWND window = MakeWindow(WS_POPUP);
    Calls().clear();
    EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
    const auto seen = Seen({WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_ACTIVATEAPP));
    EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(seen[2].wParam, static_cast<WPARAM>(WA_ACTIVE));
    EXPECT_EQ(seen[3].message, static_cast<UINT>(WM_SETFOCUS));
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetFocus(), window);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(ShowWindow(window, SW_SHOW));
}

TEST_F(Windows, MinimiseAndRestore) {
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
    Drain();
    RECT before{};
    GetWindowRect(window, &before);
    Calls().clear();
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(window));
    auto seen = Seen({WM_WINDOWPOSCHANGED, WM_SIZE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS});
    ASSERT_EQ(seen.size(), 5u);
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(seen[0].lParam);
    (void)pos;
    EXPECT_EQ(seen[1].message, static_cast<UINT>(WM_SIZE));
    EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
    EXPECT_EQ(seen[1].lParam, 0);
    EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_ACTIVATE));
    EXPECT_EQ(LOWORD(seen[2].wParam), WA_INACTIVE);
    EXPECT_EQ(HIWORD(seen[2].wParam), 1);
    EXPECT_EQ(seen[3].message, static_cast<UINT>(WM_ACTIVATEAPP));
    EXPECT_EQ(seen[3].wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(seen[4].message, static_cast<UINT>(WM_KILLFOCUS));
    RECT parked{};
    GetWindowRect(window, &parked);
    EXPECT_EQ(parked.left, -32000);
    EXPECT_EQ(GetForegroundWindow(), nullptr);

    Calls().clear();
    ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_FALSE(IsIconic(window));
    seen = Seen({WM_SIZE, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(SIZE_RESTORED));
    EXPECT_EQ(seen[0].lParam, MAKELPARAM(474, 335));
    EXPECT_EQ(seen[1].wParam, static_cast<WPARAM>(TRUE));
    EXPECT_EQ(LOWORD(seen[2].wParam), WA_ACTIVE);
    RECT after{};
    GetWindowRect(window, &after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(GetForegroundWindow(), window);
}

TEST_F(Windows, SystemCommandsGoThroughTheDefaultProcedure) {
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    Drain();
    SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(window));
    SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(window));
    // A procedure that keeps the window on WM_CLOSE keeps it; the default destroys it.
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        result = 0;
        return message == WM_CLOSE;
    });
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(window));
    wintest::SetAnswer(nullptr);
    Calls().clear();
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindow(window));
    const auto seen = Seen({WM_CLOSE, WM_DESTROY, WM_NCDESTROY});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_NCDESTROY));
}

TEST_F(Windows, AltF4AsksToClose) {
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_VISIBLE);
    Drain();
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        result = 0;
        return message == WM_CLOSE;
    });
    Calls().clear();
    standin::InjectMessage(window, WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    Drain();
    EXPECT_EQ(Seen({WM_CLOSE}).size(), 1u);
}

TEST_F(Windows, ActivationMovesBetweenWindowsOfTheProgram) {
    HWND first = MakeWindow(WS_POPUP | WS_VISIBLE);
    HWND second = MakeWindow(WS_POPUP | WS_VISIBLE);
    Drain();
    EXPECT_EQ(GetActiveWindow(), second);
    Calls().clear();
    SetForegroundWindow(first);
    // The application stays active: no WM_ACTIVATEAPP between two of its own windows.
    EXPECT_TRUE(Seen({WM_ACTIVATEAPP}).empty());
    const auto seen = Seen({WM_ACTIVATE});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, second);
    EXPECT_EQ(seen[0].wParam, static_cast<WPARAM>(WA_INACTIVE));
    EXPECT_EQ(seen[0].lParam, reinterpret_cast<LPARAM>(first));
    EXPECT_EQ(seen[1].window, first);
    EXPECT_EQ(GetWindow(first, GW_HWNDFIRST), first);
    // Hiding the active window passes activation on.
    ShowWindow(first, SW_HIDE);
    EXPECT_EQ(GetActiveWindow(), second);
}

TEST_F(Windows, LastActivePopupIsTheOwnedWindowActivatedLast) {
    HWND owner = MakeWindow(WS_POPUP | WS_VISIBLE);
    Drain();
    EXPECT_EQ(GetLastActivePopup(owner), owner) << "owning nothing";
    // Windows the test owns; destroyed with it.
    struct TOwned {
        HWND window;
        ~TOwned() { DestroyWindow(window); }
    };
    const auto makeOwned = [](HWND by) {
        return CreateWindowExA(0, "StandinTestAnsi", "owned", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50,
                               by, nullptr, nullptr, nullptr);
    };
    const TOwned popup{makeOwned(owner)};
    const TOwned nested{makeOwned(popup.window)};
    HWND other = MakeWindow(WS_POPUP | WS_VISIBLE);
    Drain();
    EXPECT_EQ(GetLastActivePopup(owner), nested.window) << "owned through another";
    EXPECT_EQ(GetLastActivePopup(other), other) << "a window of another chain active";

    SetForegroundWindow(popup.window);
    EXPECT_EQ(GetLastActivePopup(owner), popup.window);
    SetForegroundWindow(owner);
    EXPECT_EQ(GetLastActivePopup(owner), owner) << "the owner itself was activated last";

    // Hidden or destroyed while another chain is active, the popup is no longer answered.
    SetForegroundWindow(popup.window);
    SetForegroundWindow(other);
    EXPECT_EQ(GetLastActivePopup(owner), popup.window);
    ShowWindow(popup.window, SW_HIDE);
    EXPECT_EQ(GetLastActivePopup(owner), owner) << "hidden";
    ShowWindow(popup.window, SW_SHOW);
    SetForegroundWindow(popup.window);
    SetForegroundWindow(other);
    DestroyWindow(popup.window);
    EXPECT_EQ(GetLastActivePopup(owner), owner) << "destroyed";

    SetLastError(0);
    EXPECT_EQ(GetLastActivePopup(reinterpret_cast<HWND>(0x7654321)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(Windows, CaptureChangesAreReported) {
    HWND first = MakeWindow(WS_POPUP | WS_VISIBLE);
    HWND second = MakeWindow(WS_POPUP | WS_VISIBLE);
    Drain();
    EXPECT_EQ(SetCapture(first), nullptr);
    EXPECT_EQ(GetCapture(), first);
    Calls().clear();
    EXPECT_EQ(SetCapture(second), first);
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(GetCapture(), nullptr);
    auto seen = Seen({WM_CAPTURECHANGED});
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].window, first);
    EXPECT_EQ(seen[0].lParam, reinterpret_cast<LPARAM>(second));
    EXPECT_EQ(seen[1].window, second);
    EXPECT_EQ(seen[1].lParam, 0);
    // Losing activation to another program takes the capture away.
    SetCapture(first);
    Calls().clear();
    SetActiveWindow(nullptr);
    seen = Seen({WM_CAPTURECHANGED});
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].lParam, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Windows, MouseLeaveAndHoverTracking) {
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    Drain();
    standin::SetFakeTime(1000);
    standin::InjectMessage(window, WM_MOUSEMOVE, 0, MAKELPARAM(30, 40));
    Drain();
    TRACKMOUSEEVENT track{sizeof track, TME_HOVER | TME_LEAVE, window, HOVER_DEFAULT};
    ASSERT_TRUE(TrackMouseEvent(&track));
    TRACKMOUSEEVENT query{sizeof query, TME_QUERY, nullptr, 0};
    ASSERT_TRUE(TrackMouseEvent(&query));
    EXPECT_EQ(query.dwFlags, TME_HOVER | TME_LEAVE);
    EXPECT_EQ(query.dwHoverTime, 400u);
    standin::AdvanceTime(399);
    EXPECT_TRUE(Seen({WM_MOUSEHOVER}).empty());
    Drain();
    EXPECT_TRUE(Seen({WM_MOUSEHOVER}).empty());
    standin::AdvanceTime(1);
    Drain();
    auto hover = Seen({WM_MOUSEHOVER});
    ASSERT_EQ(hover.size(), 1u);
    EXPECT_EQ(hover[0].lParam, MAKELPARAM(30, 40));
    // One-shot: no second hover without re-arming.
    standin::AdvanceTime(1000);
    Drain();
    EXPECT_EQ(Seen({WM_MOUSEHOVER}).size(), 1u);

    SDL_Event leave{};
    leave.type = SDL_WINDOWEVENT;
    leave.window.windowID = standin::SdlWindowId(window);
    leave.window.event = SDL_WINDOWEVENT_LEAVE;
    SDL_PushEvent(&leave);
    Drain();
    EXPECT_EQ(Seen({WM_MOUSELEAVE}).size(), 1u);
    // Asked again while the mouse is outside: reported at once.
    ASSERT_TRUE(TrackMouseEvent(&track));
    Drain();
    EXPECT_EQ(Seen({WM_MOUSELEAVE}).size(), 2u);
}

TEST_F(Windows, PaintIsGeneratedUntilValidated) {
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    Drain();
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        result = 0;
        return message == WM_PAINT; // never paints
    });
    InvalidateRect(window, nullptr, TRUE);
    MSG message{};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(message.message, static_cast<UINT>(WM_PAINT));
        DispatchMessageA(&message);
    }
    PAINTSTRUCT paint{};
    Calls().clear();
    EXPECT_NE(BeginPaint(window, &paint), nullptr);
    EndPaint(window, &paint);
    EXPECT_EQ(Seen({WM_ERASEBKGND}).size(), 1u);
    EXPECT_EQ(paint.rcPaint.right, 480);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    // UpdateWindow paints at once, through the procedure, without the queue.
    wintest::SetAnswer(nullptr);
    InvalidateRect(window, nullptr, FALSE);
    Calls().clear();
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(Seen({WM_PAINT}).size(), 1u);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
    // Minimised windows are not painted.
    InvalidateRect(window, nullptr, FALSE);
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE));
}

TEST_F(Windows, SystemMenuItemsCanBeGreyed) {
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU);
    HMENU menu = GetSystemMenu(window, FALSE);
    ASSERT_NE(menu, nullptr);
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE;
    info.fState = MFS_GRAYED | MFS_DISABLED;
    EXPECT_TRUE(SetMenuItemInfoA(menu, SC_SIZE, FALSE, &info));
    EXPECT_TRUE(SetMenuItemInfoA(menu, 0, TRUE, &info));
    EXPECT_FALSE(SetMenuItemInfoA(menu, 12, TRUE, &info));
    const struct {
        UINT item;
        BOOL byPosition;
        UINT state;
    } expected[] = {{SC_SIZE, FALSE, MFS_GRAYED},
                    {2, TRUE, MFS_GRAYED},
                    {SC_RESTORE, FALSE, MFS_GRAYED},
                    {SC_CLOSE, FALSE, MFS_ENABLED}};
    for (const auto& item : expected) {
        MENUITEMINFOA got{};
        got.cbSize = sizeof got;
        got.fMask = MIIM_STATE;
        ASSERT_TRUE(GetMenuItemInfoA(menu, item.item, item.byPosition, &got));
        EXPECT_EQ(got.fState, item.state) << item.item;
    }
    EXPECT_EQ(GetSystemMenu(MakeWindow(WS_POPUP), FALSE), nullptr);
}

TEST_F(Windows, TitlesAndFindingWindows) {
    HWND window = MakeWindow(WS_POPUP);
    EXPECT_TRUE(SetWindowTextA(window, "Caf\xe9"));
    char title[16];
    EXPECT_EQ(GetWindowTextA(window, title, sizeof title), 4);
    EXPECT_STREQ(title, "Caf\xe9");
    EXPECT_EQ(GetWindowTextA(window, title, 3), 2);
    EXPECT_STREQ(title, "Ca");
    EXPECT_EQ(FindWindowA("standintestansi", nullptr), window);
    EXPECT_EQ(FindWindowA("StandinTestAnsi", "Caf\xe9"), window);
    EXPECT_EQ(FindWindowA("StandinTestAnsi", "Other"), nullptr);
    // The Unicode form of the same title.
    HWND wide = MakeWindow(WS_POPUP, true);
    EXPECT_TRUE(SetWindowTextW(wide, u"Caf\u00e9"));
    EXPECT_EQ(GetWindowTextA(wide, title, sizeof title), 4);
    EXPECT_STREQ(title, "Caf\xe9");
}

// The test controls that reach the native window: only a top-level window has one.
TEST_F(Windows, NativeWindowControls) {
    HWND window = MakeWindow(WS_POPUP);
    ASSERT_NE(SDL_GetCurrentVideoDriver(), nullptr);
    EXPECT_EQ(standin::CurrentVideoDriver(), SDL_GetCurrentVideoDriver());
    EXPECT_TRUE(SetWindowTextA(window, "Caf\xe9"));
    EXPECT_EQ(standin::NativeWindowTitle(window), "Caf\xc3\xa9");
    HWND child = CreateWindowExA(0, "StandinTestAnsi", "inner", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                 window, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(standin::NativeWindowTitle(child), "");
    EXPECT_FALSE(standin::FocusNativeWindow(child));
    EXPECT_FALSE(standin::FocusNativeWindow(nullptr));
}

TEST_F(Windows, ClassRegistration) {
    WNDCLASSEXA extended{};
    extended.cbSize = sizeof extended;
    extended.lpfnWndProc = wintest::RecordingProc;
    extended.lpszClassName = "StandinTestExtended";
    EXPECT_NE(RegisterClassExA(&extended), 0);
    EXPECT_EQ(RegisterClassExA(&extended), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    extended.cbSize = 0;
    EXPECT_EQ(RegisterClassExA(&extended), 0);
    EXPECT_TRUE(UnregisterClassA("STANDINTESTEXTENDED", nullptr));
    EXPECT_FALSE(UnregisterClassA("StandinTestExtended", nullptr));
}

TEST_F(Windows, CursorCountAndShape) {
    const int start = ShowCursor(TRUE) - 1;
    EXPECT_EQ(ShowCursor(FALSE), start);
    EXPECT_EQ(ShowCursor(FALSE), start - 1);
    EXPECT_EQ(ShowCursor(TRUE), start);
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_NE(arrow, nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, MAKEINTRESOURCEA(1)), nullptr);
    HCURSOR old = SetCursor(arrow);
    EXPECT_EQ(SetCursor(old), arrow);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(99)), nullptr);
    EXPECT_TRUE(SetCursorPos(123, 45));
    POINT point{};
    EXPECT_TRUE(GetCursorPos(&point));
    EXPECT_EQ(point.x, 123);
    EXPECT_EQ(point.y, 45);
}

// Only the thread that runs SDL's video makes SDL windows; another thread's windows live on their
// records alone and behave the same.
TEST_F(Windows, AThreadWithoutVideoKeepsItsWindowsOnRecords) {
    EXPECT_NE(standin::SdlWindowId(MakeWindow(WS_POPUP)), 0u);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinTestNoVideo";
    RegisterClassA(&windowClass);
    struct TSeen {
        bool created = false;
        std::uint32_t sdlId = 1;
        bool visible = false;
        bool active = false;
        RECT moved{};
        bool captured = false;
        POINT cursor{};
        bool iconic = false;
        bool destroyed = false;
    } seen;
    std::atomic<bool> done{false};
    std::thread worker([&seen, &done] {
        HWND window = CreateWindowExA(0, "StandinTestNoVideo", "worker", WS_POPUP | WS_VISIBLE, 10,
                                      20, 200, 100, nullptr, nullptr, nullptr, nullptr);
        seen.created = window != nullptr;
        seen.sdlId = standin::SdlWindowId(window);
        seen.visible = IsWindowVisible(window) != FALSE;
        seen.active = GetActiveWindow() == window;
        MoveWindow(window, 30, 40, 300, 150, TRUE);
        GetWindowRect(window, &seen.moved);
        SetCapture(window);
        seen.captured = GetCapture() == window;
        ReleaseCapture();
        SetCursorPos(35, 45);
        GetCursorPos(&seen.cursor);
        ShowWindow(window, SW_MINIMIZE);
        seen.iconic = IsIconic(window) != FALSE;
        seen.destroyed = DestroyWindow(window) != FALSE;
        done = true;
    });
    // This thread's window hears of the worker's activation through this thread's queue.
    while (!done) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Drain();
    }
    worker.join();
    EXPECT_TRUE(seen.created);
    EXPECT_EQ(seen.sdlId, 0u);
    EXPECT_TRUE(seen.visible);
    EXPECT_TRUE(seen.active);
    EXPECT_EQ(seen.moved.left, 30);
    EXPECT_EQ(seen.moved.top, 40);
    EXPECT_EQ(seen.moved.right, 330);
    EXPECT_EQ(seen.moved.bottom, 190);
    EXPECT_TRUE(seen.captured);
    EXPECT_EQ(seen.cursor.x, 35);
    EXPECT_EQ(seen.cursor.y, 45);
    EXPECT_TRUE(seen.iconic);
    EXPECT_TRUE(seen.destroyed);
}

} // namespace
