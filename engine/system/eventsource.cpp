// The event source behind TPlatform::GetEvent: pending-event flags first, then one window message
// per call, otherwise the engine's idle work.
#include "engine/system/gamestate.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/portal.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"

namespace {

// Mouse buttons within this many ms of an activating click are dropped.
constexpr DWORD kClickBlockMs = 400;

bool gFirstCallDone = false;
// The high half of a character outside the basic plane, until its low half arrives.
unsigned gHighSurrogate = 0;

void Set(TEvent* event, int32_t type, int32_t param = 0) {
    event->type = type;
    event->param = param;
}

int32_t KeyModifiers(LPARAM lParam) {
    int32_t modifiers = 0;
    if (GetKeyState(VK_CONTROL) < 0) {
        modifiers |= kModCtrl;
    }
    if (GetKeyState(VK_SHIFT) < 0) {
        modifiers |= kModShift;
    }
    if ((static_cast<DWORD>(lParam) & (1u << 24)) != 0) {
        modifiers |= kModExtended;
    }
    return modifiers;
}

int32_t MouseKeyModifiers(WPARAM wParam) {
    int32_t modifiers = 0;
    if ((wParam & MK_SHIFT) != 0) {
        modifiers |= kModShift;
    }
    if ((wParam & MK_CONTROL) != 0) {
        modifiers |= kModCtrl;
    }
    return modifiers;
}

// A Unicode window gets UTF-16 units: a character outside the basic plane comes in two halves.
void UnicodeCharToEvent(unsigned unit, TEvent* event) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        gHighSurrogate = unit;
        Set(event, kEventNothing);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (gHighSurrogate == 0) {
            Set(event, kEventNothing);
            return;
        }
        // 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00)
        Set(event, kEventUnicodeChar,
            static_cast<int32_t>((gHighSurrogate << 10) + unit - 0x35FDC00u));
        gHighSurrogate = 0;
    } else {
        Set(event, kEventUnicodeChar, static_cast<int32_t>(unit));
    }
}

} // namespace

void TWin32Platform::BlockClicks() {
    mClickBlock = true;
    mClickBlockTime = TPlatform::GetTime();
}

void TWin32Platform::GetEvent(TEvent* event) {
    *event = TEvent{};

    if ((IsZylomMode() || IsPqMode()) && mExternalWindowParent != nullptr &&
        !IsWindow(mExternalWindowParent)) {
        Set(event, kEventQuit);
        return;
    }
    if (!gFirstCallDone) {
        gFirstCallDone = true;
        if (TGameState* state = TGameState::Peek()) {
            state->SendCommand("sessionready", 0);
        }
    }
    if (PumpWhileBusy(event)) {
        return;
    }
    if (mActivationEventPending) {
        mActivationEventPending = false;
        if (!mWindowActive) {
            Display().ResetWorkingCount();
        }
        Set(event, kEventActivation, mWindowActive ? 1 : 0);
        return;
    }
    MSG quit;
    if (!Display().IsReady() && PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        Set(event, kEventQuit);
        return;
    }
    if (!mInactiveInFullScreen && mWindowActive && !mActivationEventPending &&
        !Display().IsReady()) {
        Display().Restore();
        Set(event, kEventNothing);
        return;
    }
    if (mAssetsReleased) {
        mAssetsReleased = false;
        Set(event, kEventAssetsReleased);
        return;
    }
    if (mRepaintPending) {
        mRepaintPending = false;
        Set(event, kEventRepaint);
        if (!Display().IsReady() && !mInactiveInFullScreen) {
            Display().Restore();
        }
        return;
    }
    if (mAppActivationEventPending) {
        mAppActivationEventPending = false;
        Set(event, kEventActivation, mAppActive ? 1 : 0);
        return;
    }
    if (mClosePending) {
        mClosePending = false;
        mWindowManager->AbortMovie();
        Set(event, kEventClose);
        return;
    }
    if (mMouseLeavePending) {
        mMouseLeavePending = false;
        SetMouseEvent(event, kEventMouseLeft, 0, 0);
        return;
    }
    if (TranslateOneMessage(event)) {
        return;
    }
    if (Display().IsFullscreen() && mWindowActive && !mActivationEventPending) {
        EnsureTopmost();
    }
    if (mSoundManager != nullptr) {
        mSoundManager->Update();
    }
    mTaskList.Run(0);
    Set(event, kEventIdle);
    // A plain 1 ms wait: input does not cut it short.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, 0);
}

bool TWin32Platform::PumpWhileBusy(TEvent* event) {
    for (TGameState* state = TGameState::Peek(); state != nullptr && state->IsBusy();
         state = TGameState::Peek()) {
        ::Sleep(1);
        MSG message;
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                Set(event, kEventQuit);
                return true;
            }
            TranslateMessage(&message);
            if (mUtf8Mode) {
                DispatchMessageW(&message);
            } else {
                DispatchMessageA(&message);
            }
        }
    }
    return false;
}

bool TWin32Platform::TranslateOneMessage(TEvent* event) {
    MSG message;
    const BOOL got = mUtf8Mode ? PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)
                               : PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
    if (!got) {
        return false;
    }
    MessageToEvent(message, event);
    // An embedded window leaves right clicks to its host's context menu.
    const bool keepFromHost =
        mEmbedded && message.hwnd == mMainWindow &&
        (message.message == WM_RBUTTONDOWN || message.message == WM_RBUTTONUP);
    if (!keepFromHost) {
        TranslateMessage(&message);
        if (mUtf8Mode) {
            DispatchMessageW(&message);
        } else {
            DispatchMessageA(&message);
        }
    }
    return true;
}

void TWin32Platform::SetMouseEvent(TEvent* event, int32_t type, int32_t param, int32_t modifiers) {
    const TPoint position = Display().GetCursorPosition();
    event->type = type;
    event->param = param;
    event->x = static_cast<int16_t>(static_cast<uint16_t>(position.x & 0xFFFF));
    event->y = static_cast<int16_t>(static_cast<uint16_t>(position.y & 0xFFFF));
    event->modifiers = modifiers;
}

void TWin32Platform::SetKeyEvent(TEvent* event, int32_t type, WPARAM key, LPARAM lParam,
                                 int32_t extra) {
    event->type = type;
    event->param = static_cast<int32_t>(static_cast<DWORD>(key));
    event->modifiers = extra | KeyModifiers(lParam);
}

bool TWin32Platform::ButtonCheck(bool up) {
    if (mClickBlock && !mWindowManager->IsDrawingSuspended()) {
        if (up) {
            mClickBlock = false;
        }
        if (TPlatform::GetTime() - mClickBlockTime < kClickBlockMs) {
            return false;
        }
    }
    return !mWindowManager->IsInputBlocked();
}

void TWin32Platform::FocusAndCapture() {
    if (mExternalWindowParent != nullptr) {
        SetFocus(mMainWindow);
    }
    SetCapture(mMainWindow);
}

void TWin32Platform::MessageToEvent(const MSG& message, TEvent* event) {
    const WPARAM wParam = message.wParam;
    const LPARAM lParam = message.lParam;
    const auto keyDown = [&]() {
        SetKeyEvent(event, kEventKeyDown, wParam, lParam, 0);
        // Insert counts only with shift alone: the other combinations are clipboard keys.
        if (wParam == VK_INSERT && (event->modifiers & ~kModExtended) != kModShift) {
            *event = TEvent{};
            Set(event, kEventNothing);
        }
    };
    const auto buttonDown = [&](int32_t type, int32_t param, int32_t modifiers) {
        if (!ButtonCheck(false)) {
            Set(event, kEventNothing);
            return;
        }
        FocusAndCapture();
        SetMouseEvent(event, type, param, modifiers);
    };
    const auto buttonUp = [&](int32_t type, int32_t param) {
        if (!ButtonCheck(true)) {
            Set(event, kEventNothing);
            return;
        }
        ReleaseCapture();
        SetMouseEvent(event, type, param, 0);
    };

    switch (message.message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(mMainWindow, &paint);
        EndPaint(mMainWindow, &paint);
        mHoverTracking = false;
        Set(event, kEventRepaint);
        break;
    }
    case WM_QUIT:
        Set(event, kEventQuit);
        break;
    case WM_KEYDOWN:
        keyDown();
        break;
    case WM_KEYUP:
        SetKeyEvent(event, kEventKeyUp, wParam, lParam, 0);
        break;
    case WM_CHAR:
        if (mUtf8Mode) {
            UnicodeCharToEvent(static_cast<unsigned>(wParam & 0xFFFF), event);
        } else {
            SetKeyEvent(event, kEventChar, wParam, lParam, 0);
        }
        break;
    case WM_SYSKEYDOWN:
        if ((static_cast<DWORD>(lParam) & (1u << 29)) == 0) {
            keyDown();
        } else if (wParam == VK_RETURN) {
            if (!mEmbedded || IsPqMode()) {
                TPlatform* platform = TPlatform::GetInstance();
                if (IsPqMode() && platform != nullptr) {
                    platform->SetFullScreen(!platform->IsFullScreen());
                } else {
                    Display().SetFullscreen(!Display().IsFullscreen());
                }
                Set(event, kEventFullScreenToggled, Display().IsFullscreen() ? 1 : 0);
            } else {
                Set(event, kEventNothing);
            }
        } else if (wParam == VK_F1) {
            Renderer().ToggleStats();
            Set(event, kEventNothing);
        } else {
            SetKeyEvent(event, kEventKeyDown, wParam, lParam, kModAlt);
        }
        break;
    case WM_MOUSEMOVE:
        SetMouseEvent(event, kEventMouseMove, 0, 0);
        if (!mHoverTracking) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER, mMainWindow, HOVER_DEFAULT};
            mHoverTracking = TrackMouseEvent(&track) != 0;
        }
        if (!mLeaveTracking) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, mMainWindow, HOVER_DEFAULT};
            mLeaveTracking = TrackMouseEvent(&track) != 0;
        }
        break;
    case WM_LBUTTONDOWN:
        buttonDown(kEventLeftDown, 0, MouseKeyModifiers(wParam));
        break;
    case WM_LBUTTONUP:
        buttonUp(kEventLeftUp, 0);
        break;
    case WM_RBUTTONDOWN:
        buttonDown(kEventMouseButton, kRightDown, MouseKeyModifiers(wParam));
        break;
    case WM_RBUTTONUP:
        buttonUp(kEventMouseButton, kRightUp);
        break;
    case WM_MBUTTONDOWN:
        buttonDown(kEventMouseButton, kMiddleDown, MouseKeyModifiers(wParam));
        break;
    case WM_MBUTTONUP:
        buttonUp(kEventMouseButton, kMiddleUp);
        break;
    case WM_MOUSEWHEEL:
        if (!ButtonCheck(false)) {
            Set(event, kEventNothing);
        } else {
            SetMouseEvent(event, kEventMouseButton,
                          GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? kWheelForward : kWheelBack,
                          MouseKeyModifiers(wParam));
        }
        break;
    case WM_XBUTTONDOWN:
        // The button that went down, not the buttons held.
        buttonDown(kEventMouseButton,
                   GET_XBUTTON_WPARAM(wParam) == XBUTTON1 ? kExtraButton1Down : kExtraButton2Down,
                   0);
        break;
    case WM_XBUTTONUP:
        // No event of its own, but it ends the capture its down took.
        if (ButtonCheck(true)) {
            ReleaseCapture();
        }
        Set(event, kEventNothing);
        break;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != mMainWindow) {
            Set(event, kEventMouseLeft);
        } else {
            Set(event, kEventNothing);
        }
        break;
    case WM_MOUSEHOVER: {
        TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER, mMainWindow, HOVER_DEFAULT};
        mHoverTracking = TrackMouseEvent(&track) != 0;
        SetMouseEvent(event, kEventMouseHover, 0, 0);
        break;
    }
    default:
        Set(event, kEventNothing);
        break;
    }
}
