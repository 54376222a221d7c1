// The main window: class registration, creation and the window procedure, which turns window
// messages into the platform record's pending-event flags.
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"

#include <cstdlib>
#include <vector>

namespace {

// Set when the window was moved off the screen or shrunk to nothing (minimised).
bool gWasMinimised = false;
// The class is a Unicode one; the procedure needs it before the platform pointer is stored.
bool gUnicodeClass = false;

LRESULT DefaultProc(bool unicode, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return unicode ? DefWindowProcW(window, message, wParam, lParam)
                   : DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

void TWin32Platform::DisableSizeMenuItem(bool positionsToo) {
    HMENU menu = GetSystemMenu(mMainWindow, FALSE);
    if (menu == nullptr) {
        return;
    }
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STATE;
    info.fState = MFS_GRAYED | MFS_DISABLED;
    SetMenuItemInfoA(menu, SC_SIZE, FALSE, &info);
    if (positionsToo) {
        for (UINT position = 0; position < 4; ++position) {
            SetMenuItemInfoA(menu, position, TRUE, &info);
        }
    }
}

void TWin32Platform::CreateMainWindow(TPlatform* platform) {
    const str& className = MainWindowClassName();
    HICON icon = LoadIconA(mInstance, MAKEINTRESOURCEA(99));
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    auto* brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    // Pointer-sized: four bytes would cut the platform pointer on this host.
    constexpr int kWindowMemory = sizeof(void*);
    // The same class in either character set; only the name's type differs.
    const auto FillClass = [&](auto& windowClass) {
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.cbWndExtra = kWindowMemory;
        windowClass.hInstance = mInstance;
        windowClass.hIcon = icon;
        windowClass.hCursor = arrow;
        windowClass.hbrBackground = brush;
        windowClass.lpszMenuName = nullptr;
    };
    std::vector<char16_t> wideClass;
    if (IsEnabled("utf8mode")) {
        mUtf8Mode = true;
        const int length = MultiByteToWideChar(CP_UTF8, 0, className.CStr(), -1, nullptr, 0);
        wideClass.resize(length > 0 ? static_cast<size_t>(length) : 1, u'\0');
        MultiByteToWideChar(CP_UTF8, 0, className.CStr(), -1, wideClass.data(), length);
        WNDCLASSW windowClass{};
        FillClass(windowClass);
        windowClass.lpszClassName = wideClass.data();
        RegisterClassW(&windowClass);
    } else {
        WNDCLASSA windowClass{};
        FillClass(windowClass);
        windowClass.lpszClassName = className.CStr();
        RegisterClassA(&windowClass);
    }
    gUnicodeClass = mUtf8Mode;

    if (mExternalWindowParent != nullptr && !IsWindow(mExternalWindowParent)) {
        Log("Error: mExternalWindowParent is lost, exiting!");
        // Nothing may run on while the process tears its objects down.
        StopCursorThread();
        std::exit(-1);
    }
    const bool hosted = mExternalWindowParent != nullptr;
    const DWORD exStyle = hosted ? 0 : WS_EX_APPWINDOW;
    const DWORD style = hosted ? (WS_CHILD | WS_VISIBLE)
                               : (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX);
    if (mUtf8Mode) {
        mMainWindow = CreateWindowExW(exStyle, wideClass.data(), u"Kelvane", style, 0, 0, 480, 360,
                                      mExternalWindowParent, nullptr, mInstance, nullptr);
    } else {
        mMainWindow = CreateWindowExA(exStyle, className.CStr(), "Kelvane", style, 0, 0, 480, 360,
                                      mExternalWindowParent, nullptr, mInstance, nullptr);
    }
    gPortalHostWindow = GetParent(mMainWindow);

    if (mAxTest) {
        RECT client{};
        GetClientRect(mMainWindow, &client);
        SetWindowPos(mMainWindow, nullptr, 0, 0, 960 - client.right, 720 - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(mMainWindow, SW_SHOWNORMAL);
    }
    DisableSizeMenuItem(true);
    SetWindowLongPtrA(mMainWindow, 0, reinterpret_cast<LONG_PTR>(platform));
    SetActiveWindow(mMainWindow);
}

void TWin32Platform::OnActivation(HWND /*window*/, bool active) {
    if (active == mWindowActive) {
        return;
    }
    if (mSoundManager != nullptr) {
        mSoundManager->SetActive(active);
    }
    // A second change before the event is read cancels the first.
    mActivationEventPending = !mActivationEventPending;
    mWindowActive = active;
}

void TWin32Platform::OnActivateApp(HWND window, bool active) {
    if (active == mAppActive) {
        return;
    }
    OnActivation(window, active);
    mAppActive = active;
    mAppActivationEventPending = true;
    if (mSoundManager != nullptr) {
        mSoundManager->SetActive(active);
    }
    if (active) {
        mInactiveInFullScreen = false;
    } else {
        TPlatform* platform = TPlatform::GetInstance();
        if (platform != nullptr && platform->IsFullScreen()) {
            mInactiveInFullScreen = true;
        }
    }
}

LRESULT TWin32Platform::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* platform = reinterpret_cast<TPlatform*>(GetWindowLongPtrA(window, 0));
    if (platform == nullptr || platform->GetWin32() == nullptr) {
        return DefaultProc(gUnicodeClass, window, message, wParam, lParam);
    }
    TWin32Platform& record = *platform->GetWin32();
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            record.OnActivation(window, false);
        } else if (wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED || wParam == SIZE_MAXSHOW) {
            record.OnActivation(window, true);
        }
        break;
    case WM_PAINT:
        record.mWindowManager->Invalidate();
        record.mRepaintPending = true;
        break;
    case WM_CLOSE:
        record.mClosePending = true;
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_ACTIVATEAPP:
        record.OnActivateApp(window, wParam != 0);
        break;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT && Display().ApplyCursor()) {
            return 1;
        }
        break;
    case WM_MOUSEACTIVATE:
        if (!record.mEmbedded) {
            record.BlockClicks();
        }
        break;
    case WM_WINDOWPOSCHANGING: {
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        const bool topLevel =
            (static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_CHILD) == 0;
        // The window keeps the size of the renderer's viewport; there is none without a display.
        if (pos != nullptr && topLevel && !record.mEmbedded && !IsPqMode() &&
            (pos->flags & SWP_NOSIZE) == 0 && Display().Exists() && !Display().IsFullscreen()) {
            const TPoint viewport = Display().GetViewportSize();
            pos->cx = viewport.x + 2 * GetSystemMetrics(SM_CXSIZEFRAME);
            pos->cy =
                viewport.y + 2 * GetSystemMetrics(SM_CYSIZEFRAME) + GetSystemMetrics(SM_CYCAPTION);
        }
        break;
    }
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (pos == nullptr) {
            break;
        }
        if (pos->cx != 0 && pos->cy != 0 && pos->x >= -10000 && pos->y >= -10000) {
            record.mInactiveInFullScreen = false;
            if (gWasMinimised) {
                record.OnActivateApp(window, true);
                gWasMinimised = false;
            }
        } else {
            record.mInactiveInFullScreen = true;
            record.OnActivateApp(window, false);
            gWasMinimised = true;
        }
        break;
    }
    case WM_DISPLAYCHANGE:
        if (!record.mWindowActive) {
            Display().ReadDesktopMode();
        }
        break;
    case WM_NCHITTEST: {
        // Neither borders nor the maximise button may resize the window.
        const LRESULT hit = DefWindowProcA(window, message, wParam, lParam);
        if (hit == HTSIZE || (hit >= HTMAXBUTTON && hit <= HTBORDER)) {
            return HTNOWHERE;
        }
        return hit;
    }
    case WM_TIMER:
        return 0;
    case WM_INITMENUPOPUP:
        record.DisableSizeMenuItem(false);
        return 0;
    case WM_MOUSEMOVE:
        if (Display().Exists()) {
            Display().CheckClientRect();
            Display().UpdateCursor(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        }
        break;
    case WM_MOUSELEAVE:
        Display().RemoveCursorImage();
        record.mHoverTracking = false;
        record.mMouseLeavePending = true;
        record.mLeaveTracking = false;
        return 0;
    case WM_USER:
        if (TGameState* state = TGameState::Peek()) {
            state->SendCommand("windowmessage", static_cast<int>(static_cast<DWORD>(wParam)));
        }
        return 1;
    case WM_USER + 2:
        SendMessageA(gPortalHostWindow, message, wParam, lParam);
        return 1;
    case WM_USER + 100:
        return 1;
    default:
        break;
    }
    return DefaultProc(record.mUtf8Mode, window, message, wParam, lParam);
}
