// The adapter from SDL events to Win32 messages, and the start of SDL's video.
#include "platform/win32/desktop.h"
#include "platform/win32/mmsystem.h"
#include "platform/win32/userstate.h"
#include "platform/win32/windowbackend.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>

namespace {

using namespace standin::detail;

std::mutex gInitLock;

struct TKeyInfo {
    SDL_Scancode scancode;
    BYTE vk;
    BYTE scan; // set-1 make code
    bool extended;
};

// Physical keys: the virtual key of a US layout, the make code, and whether Windows flags the
// key as extended (lParam bit 24). Letters and digits take their virtual key from the layout.
constexpr TKeyInfo kKeys[] = {
    {SDL_SCANCODE_A, 'A', 0x1E, false},
    {SDL_SCANCODE_B, 'B', 0x30, false},
    {SDL_SCANCODE_C, 'C', 0x2E, false},
    {SDL_SCANCODE_D, 'D', 0x20, false},
    {SDL_SCANCODE_E, 'E', 0x12, false},
    {SDL_SCANCODE_F, 'F', 0x21, false},
    {SDL_SCANCODE_G, 'G', 0x22, false},
    {SDL_SCANCODE_H, 'H', 0x23, false},
    {SDL_SCANCODE_I, 'I', 0x17, false},
    {SDL_SCANCODE_J, 'J', 0x24, false},
    {SDL_SCANCODE_K, 'K', 0x25, false},
    {SDL_SCANCODE_L, 'L', 0x26, false},
    {SDL_SCANCODE_M, 'M', 0x32, false},
    {SDL_SCANCODE_N, 'N', 0x31, false},
    {SDL_SCANCODE_O, 'O', 0x18, false},
    {SDL_SCANCODE_P, 'P', 0x19, false},
    {SDL_SCANCODE_Q, 'Q', 0x10, false},
    {SDL_SCANCODE_R, 'R', 0x13, false},
    {SDL_SCANCODE_S, 'S', 0x1F, false},
    {SDL_SCANCODE_T, 'T', 0x14, false},
    {SDL_SCANCODE_U, 'U', 0x16, false},
    {SDL_SCANCODE_V, 'V', 0x2F, false},
    {SDL_SCANCODE_W, 'W', 0x11, false},
    {SDL_SCANCODE_X, 'X', 0x2D, false},
    {SDL_SCANCODE_Y, 'Y', 0x15, false},
    {SDL_SCANCODE_Z, 'Z', 0x2C, false},
    {SDL_SCANCODE_1, '1', 0x02, false},
    {SDL_SCANCODE_2, '2', 0x03, false},
    {SDL_SCANCODE_3, '3', 0x04, false},
    {SDL_SCANCODE_4, '4', 0x05, false},
    {SDL_SCANCODE_5, '5', 0x06, false},
    {SDL_SCANCODE_6, '6', 0x07, false},
    {SDL_SCANCODE_7, '7', 0x08, false},
    {SDL_SCANCODE_8, '8', 0x09, false},
    {SDL_SCANCODE_9, '9', 0x0A, false},
    {SDL_SCANCODE_0, '0', 0x0B, false},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, false},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, false},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, false},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F, false},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, false},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C, false},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D, false},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A, false},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B, false},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B, false},
    {SDL_SCANCODE_NONUSHASH, VK_OEM_5, 0x2B, false},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27, false},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28, false},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29, false},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33, false},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34, false},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35, false},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102, 0x56, false},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, false},
    {SDL_SCANCODE_F1, VK_F1, 0x3B, false},
    {SDL_SCANCODE_F2, VK_F2, 0x3C, false},
    {SDL_SCANCODE_F3, VK_F3, 0x3D, false},
    {SDL_SCANCODE_F4, VK_F4, 0x3E, false},
    {SDL_SCANCODE_F5, VK_F5, 0x3F, false},
    {SDL_SCANCODE_F6, VK_F6, 0x40, false},
    {SDL_SCANCODE_F7, VK_F7, 0x41, false},
    {SDL_SCANCODE_F8, VK_F8, 0x42, false},
    {SDL_SCANCODE_F9, VK_F9, 0x43, false},
    {SDL_SCANCODE_F10, VK_F10, 0x44, false},
    {SDL_SCANCODE_F11, VK_F11, 0x57, false},
    {SDL_SCANCODE_F12, VK_F12, 0x58, false},
    {SDL_SCANCODE_F13, VK_F13, 0x64, false},
    {SDL_SCANCODE_F14, VK_F14, 0x65, false},
    {SDL_SCANCODE_F15, VK_F15, 0x66, false},
    {SDL_SCANCODE_F16, VK_F16, 0x67, false},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT, 0x37, true},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL, 0x46, false},
    {SDL_SCANCODE_PAUSE, VK_PAUSE, 0x45, false},
    {SDL_SCANCODE_INSERT, VK_INSERT, 0x52, true},
    {SDL_SCANCODE_HOME, VK_HOME, 0x47, true},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true},
    {SDL_SCANCODE_END, VK_END, 0x4F, true},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true},
    {SDL_SCANCODE_UP, VK_UP, 0x48, true},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45, true},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, false},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A, false},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E, false},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true},
    // Keypad digits: the digit with Num Lock on, the navigation key (not extended) without.
    {SDL_SCANCODE_KP_1, VK_NUMPAD1, 0x4F, false},
    {SDL_SCANCODE_KP_2, VK_NUMPAD2, 0x50, false},
    {SDL_SCANCODE_KP_3, VK_NUMPAD3, 0x51, false},
    {SDL_SCANCODE_KP_4, VK_NUMPAD4, 0x4B, false},
    {SDL_SCANCODE_KP_5, VK_NUMPAD5, 0x4C, false},
    {SDL_SCANCODE_KP_6, VK_NUMPAD6, 0x4D, false},
    {SDL_SCANCODE_KP_7, VK_NUMPAD7, 0x47, false},
    {SDL_SCANCODE_KP_8, VK_NUMPAD8, 0x48, false},
    {SDL_SCANCODE_KP_9, VK_NUMPAD9, 0x49, false},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, false},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, false},
    {SDL_SCANCODE_APPLICATION, VK_APPS, 0x5D, true},
    {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, false},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D, true},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, false},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, false},
    {SDL_SCANCODE_LALT, VK_MENU, 0x38, false},
    {SDL_SCANCODE_RALT, VK_MENU, 0x38, true},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0x5B, true},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0x5C, true},
};

BYTE KeypadNavigation(SDL_Scancode scancode) {
    switch (scancode) {
    case SDL_SCANCODE_KP_1:
        return VK_END;
    case SDL_SCANCODE_KP_2:
        return VK_DOWN;
    case SDL_SCANCODE_KP_3:
        return VK_NEXT;
    case SDL_SCANCODE_KP_4:
        return VK_LEFT;
    case SDL_SCANCODE_KP_5:
        return VK_CLEAR;
    case SDL_SCANCODE_KP_6:
        return VK_RIGHT;
    case SDL_SCANCODE_KP_7:
        return VK_HOME;
    case SDL_SCANCODE_KP_8:
        return VK_UP;
    case SDL_SCANCODE_KP_9:
        return VK_PRIOR;
    case SDL_SCANCODE_KP_0:
        return VK_INSERT;
    case SDL_SCANCODE_KP_PERIOD:
        return VK_DELETE;
    default:
        return 0;
    }
}

// What the pump has seen of buttons and modifiers (SDL's own state runs ahead of the events
// being turned into messages, and pushed events never change it).
struct TPumpState {
    Uint32 buttons = 0;
    // SDL's global pointer state at the last pump.
    bool haveGlobal = false;
    POINT global{};
    bool shift[2] = {};
    bool ctrl[2] = {};
    bool alt[2] = {};
};
TPumpState gPump;

bool Shift() {
    return gPump.shift[0] || gPump.shift[1];
}
bool Ctrl() {
    return gPump.ctrl[0] || gPump.ctrl[1];
}
bool Alt() {
    return gPump.alt[0] || gPump.alt[1];
}

WPARAM MouseKeys() {
    WPARAM keys = 0;
    keys |= (gPump.buttons & SDL_BUTTON_LMASK) != 0 ? MK_LBUTTON : 0;
    keys |= (gPump.buttons & SDL_BUTTON_RMASK) != 0 ? MK_RBUTTON : 0;
    keys |= (gPump.buttons & SDL_BUTTON_MMASK) != 0 ? MK_MBUTTON : 0;
    keys |= (gPump.buttons & SDL_BUTTON_X1MASK) != 0 ? MK_XBUTTON1 : 0;
    keys |= (gPump.buttons & SDL_BUTTON_X2MASK) != 0 ? MK_XBUTTON2 : 0;
    keys |= Shift() ? MK_SHIFT : 0;
    keys |= Ctrl() ? MK_CONTROL : 0;
    return keys;
}

HWND WindowOfSdl(Uint32 id) {
    if (id == 0) {
        return nullptr;
    }
    for (const auto& entry : User().windows) {
        if (entry.second->sdlId == id && !entry.second->destroying) {
            return entry.first;
        }
    }
    return nullptr;
}

// Keyboard messages go to the focus window when it lies in the window SDL names.
HWND KeyboardTarget(HWND topLevel) {
    const HWND focus = User().focus;
    if (focus != nullptr && TopLevelOf(focus) == topLevel) {
        return focus;
    }
    return topLevel;
}

void OnKey(const SDL_KeyboardEvent& key, HWND target) {
    const TKeyInfo* info = nullptr;
    for (const auto& entry : kKeys) {
        if (entry.scancode == key.keysym.scancode) {
            info = &entry;
            break;
        }
    }
    const bool down = key.type == SDL_KEYDOWN;
    switch (key.keysym.scancode) {
    case SDL_SCANCODE_LSHIFT:
    case SDL_SCANCODE_RSHIFT:
        gPump.shift[key.keysym.scancode == SDL_SCANCODE_RSHIFT] = down;
        break;
    case SDL_SCANCODE_LCTRL:
    case SDL_SCANCODE_RCTRL:
        gPump.ctrl[key.keysym.scancode == SDL_SCANCODE_RCTRL] = down;
        break;
    case SDL_SCANCODE_LALT:
    case SDL_SCANCODE_RALT:
        if (down) {
            gPump.alt[key.keysym.scancode == SDL_SCANCODE_RALT] = true;
        }
        break;
    default:
        break;
    }
    if (info == nullptr || target == nullptr) {
        return;
    }
    BYTE vk = info->vk;
    const SDL_Keycode sym = key.keysym.sym;
    if (sym >= 'a' && sym <= 'z') {
        vk = static_cast<BYTE>(sym - 'a' + 'A');
    } else if (sym >= '0' && sym <= '9' && info->vk >= '0' && info->vk <= '9') {
        vk = static_cast<BYTE>(sym);
    }
    if ((key.keysym.mod & KMOD_NUM) == 0) {
        if (BYTE navigation = KeypadNavigation(key.keysym.scancode)) {
            vk = navigation;
        }
    }
    const bool altDown = Alt() && !Ctrl();
    LPARAM lParam = 1 | (static_cast<LPARAM>(info->scan) << 16);
    lParam |= info->extended ? (1L << 24) : 0;
    lParam |= altDown ? (1L << 29) : 0;
    if (down) {
        lParam |= key.repeat != 0 ? (1L << 30) : 0;
    } else {
        lParam |= (1L << 30) | (1L << 31);
    }
    if (!down &&
        (key.keysym.scancode == SDL_SCANCODE_LALT || key.keysym.scancode == SDL_SCANCODE_RALT)) {
        gPump.alt[key.keysym.scancode == SDL_SCANCODE_RALT] = false;
    }
    const bool system = !Ctrl() && (Alt() || vk == VK_F10 || vk == VK_MENU);
    const UINT message =
        down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    PostInput(target, message, vk, lParam);
}

char32_t NextCodePoint(const unsigned char*& text) {
    const unsigned char lead = *text++;
    int extra = 0;
    char32_t value = lead;
    if (lead >= 0xF0 && lead < 0xF5) {
        extra = 3;
        value = lead & 0x07;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        extra = 2;
        value = lead & 0x0F;
    } else if (lead >= 0xC2 && lead < 0xE0) {
        extra = 1;
        value = lead & 0x1F;
    } else if (lead >= 0x80) {
        return 0xFFFD;
    }
    for (int i = 0; i < extra; ++i) {
        if ((*text & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        value = (value << 6) | (*text++ & 0x3F);
    }
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF) || (extra == 2 && value < 0x800) ||
        (extra == 3 && value < 0x10000)) {
        return 0xFFFD;
    }
    return value;
}

void OnText(const char* text, HWND target) {
    if (target == nullptr) {
        return;
    }
    bool unicode = false;
    {
        auto hold = Hold();
        const TWindow* record = WindowOf(target);
        unicode = record != nullptr && record->windowClass->unicode;
    }
    const UINT message = Alt() && !Ctrl() ? WM_SYSCHAR : WM_CHAR;
    const auto* at = reinterpret_cast<const unsigned char*>(text);
    while (*at != 0) {
        const char32_t code = NextCodePoint(at);
        if (!unicode) {
            PostInput(target, message, static_cast<BYTE>(AnsiFromCodePoint(code)), 1);
        } else if (code >= 0x10000) {
            const char32_t rest = code - 0x10000;
            PostInput(target, message, 0xD800 + (rest >> 10), 1);
            PostInput(target, message, 0xDC00 + (rest & 0x3FF), 1);
        } else {
            PostInput(target, message, code, 1);
        }
    }
}

// Client coordinates of an SDL mouse position in `target`, which may be the capture window.
LPARAM ClientPoint(HWND sdlWindow, int x, int y, HWND target, POINT* screen) {
    POINT point = NativePointerToDesktopLocked(POINT{x, y});
    if (const TWindow* record = WindowOf(sdlWindow)) {
        const RECT client = ClientRectOnScreen(*record);
        point.x += client.left;
        point.y += client.top;
    }
    *screen = point;
    if (const TWindow* record = WindowOf(target)) {
        const RECT client = ClientRectOnScreen(*record);
        point.x -= client.left;
        point.y -= client.top;
    }
    return MAKELPARAM(point.x, point.y);
}

// Whether the pointer is over a bar beside a full-screen picture of another shape, which no
// window shows: then nothing is told of it, unless a window has captured the mouse.
bool OnBar(HWND sdlWindow, HWND target, POINT screen) {
    const TWindow* record = WindowOf(sdlWindow);
    if (record == nullptr || target != sdlWindow || !StretchedModeLocked()) {
        return false;
    }
    const RECT client = ClientRectOnScreen(*record);
    return screen.x < client.left || screen.y < client.top || screen.x >= client.right ||
           screen.y >= client.bottom;
}

void OnLeave(HWND window) {
    HWND leave = nullptr;
    {
        auto hold = Hold();
        auto& user = User();
        if (user.mouseWindow != nullptr && TopLevelOf(user.mouseWindow) == window) {
            user.mouseWindow = nullptr;
        }
        const TWindow* record = WindowOf(window);
        if (record == nullptr || user.capture != nullptr) {
            return;
        }
        TQueue& queue = QueueOf(record->thread);
        if (queue.trackWindow != nullptr && (queue.trackFlags & TME_LEAVE) != 0 &&
            TopLevelOf(queue.trackWindow) == window) {
            leave = queue.trackWindow;
            queue.trackFlags &= ~(TME_LEAVE | TME_HOVER);
            queue.trackWindow = nullptr;
        }
    }
    if (leave != nullptr) {
        PostTo(leave, WM_MOUSELEAVE, 0, 0);
    }
}

void OnMouseButton(const SDL_MouseButtonEvent& button, HWND window) {
    const bool down = button.type == SDL_MOUSEBUTTONDOWN;
    UINT message = 0;
    WORD xButton = 0;
    switch (button.button) {
    case SDL_BUTTON_LEFT:
        message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        break;
    case SDL_BUTTON_X1:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        xButton = XBUTTON1;
        break;
    case SDL_BUTTON_X2:
        message = down ? WM_XBUTTONDOWN : WM_XBUTTONUP;
        xButton = XBUTTON2;
        break;
    default:
        return;
    }
    const Uint32 mask = SDL_BUTTON(button.button);
    gPump.buttons = down ? (gPump.buttons | mask) : (gPump.buttons & ~mask);
    HWND target = nullptr;
    LPARAM point = 0;
    bool activate = false;
    {
        auto hold = Hold();
        auto& user = User();
        target = user.capture != nullptr ? user.capture : window;
        if (target == nullptr) {
            return;
        }
        POINT screen{};
        point = ClientPoint(window, button.x, button.y, target, &screen);
        user.cursor = screen;
        if (OnBar(window, target, screen)) {
            return;
        }
        activate = down && user.active != TopLevelOf(target);
    }
    if (activate) {
        const HWND top = [target] {
            auto hold = Hold();
            return TopLevelOf(target);
        }();
        const LRESULT answer = SendTo(target, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(top),
                                      MAKELPARAM(HTCLIENT, message));
        if (answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) {
            Activate(top, WA_CLICKACTIVE);
        }
        if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) {
            return;
        }
    }
    WPARAM wParam = MouseKeys();
    if (xButton != 0) {
        wParam = MAKEWPARAM(wParam, xButton);
    }
    PostInput(target, message, wParam, point);
}

void OnWindowEvent(const std::vector<SDL_Event>& events, size_t index, HWND window) {
    const SDL_WindowEvent& event = events[index].window;
    // Looks ahead in this batch for the event that settles a focus change.
    const auto clickFollows = [&events, index, &event] {
        for (size_t i = index + 1; i < events.size(); ++i) {
            if (events[i].type == SDL_MOUSEBUTTONDOWN &&
                events[i].button.windowID == event.windowID) {
                return true;
            }
            if (events[i].type == SDL_WINDOWEVENT &&
                (events[i].window.event == SDL_WINDOWEVENT_FOCUS_LOST ||
                 events[i].window.event == SDL_WINDOWEVENT_FOCUS_GAINED)) {
                return false;
            }
        }
        return false;
    };
    const auto focusMovesToOurs = [&events, index, &event] {
        for (size_t i = index + 1; i < events.size(); ++i) {
            if (events[i].type == SDL_WINDOWEVENT &&
                events[i].window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
                auto hold = Hold();
                return events[i].window.windowID != event.windowID &&
                       WindowOfSdl(events[i].window.windowID) != nullptr;
            }
        }
        return false;
    };
    switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
        InvalidateRect(window, nullptr, TRUE);
        break;
    case SDL_WINDOWEVENT_MOVED:
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        RECT outer{};
        bool changed = false;
        {
            auto hold = Hold();
            const TWindow* record = WindowOf(window);
            if (record == nullptr || record->minimized || record->sdl == nullptr) {
                break;
            }
            int x = 0;
            int y = 0;
            int width = 0;
            int height = 0;
            SDL_GetWindowPosition(record->sdl, &x, &y);
            SDL_GetWindowSize(record->sdl, &width, &height);
            const POINT origin = NativeToDesktopLocked(POINT{x, y});
            const POINT extent = NativeToDesktopLocked(POINT{width, height});
            x = origin.x;
            y = origin.y;
            width = extent.x;
            height = extent.y;
            const RECT client = ClientRectOnScreen(*record);
            const RECT inset = FrameInsets(record->style, record->exStyle, false);
            changed = client.left != x || client.top != y || client.right - client.left != width ||
                      client.bottom - client.top != height;
            outer = RECT{x - inset.left, y - inset.top, x + width + inset.right,
                         y + height + inset.bottom};
        }
        if (changed) {
            ChangeWindowPos(window, nullptr, outer.left, outer.top, outer.right - outer.left,
                            outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE, true);
        }
        break;
    }
    case SDL_WINDOWEVENT_MINIMIZED:
        if (!IsIconic(window)) {
            SendTo(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        }
        break;
    case SDL_WINDOWEVENT_MAXIMIZED:
        SendTo(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        break;
    case SDL_WINDOWEVENT_RESTORED: {
        bool restore = false;
        {
            auto hold = Hold();
            const TWindow* record = WindowOf(window);
            restore = record != nullptr && (record->minimized || record->maximized);
        }
        if (restore) {
            SendTo(window, WM_SYSCOMMAND, SC_RESTORE, 0);
        }
        break;
    }
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if (!clickFollows()) {
            Activate(window, WA_ACTIVE);
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        if (GetActiveWindow() == window && !focusMovesToOurs()) {
            Activate(nullptr, WA_INACTIVE);
        }
        break;
    case SDL_WINDOWEVENT_CLOSE:
        SendTo(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    case SDL_WINDOWEVENT_ENTER: {
        auto hold = Hold();
        User().mouseWindow = window;
        break;
    }
    case SDL_WINDOWEVENT_LEAVE:
        OnLeave(window);
        break;
    default:
        break;
    }
}

void HandleEvent(const std::vector<SDL_Event>& events, size_t index) {
    const SDL_Event& event = events[index];
    HWND window = nullptr;
    {
        auto hold = Hold();
        Uint32 id = 0;
        switch (event.type) {
        case SDL_WINDOWEVENT:
            id = event.window.windowID;
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            id = event.key.windowID;
            break;
        case SDL_TEXTINPUT:
            id = event.text.windowID;
            break;
        case SDL_MOUSEMOTION:
            id = event.motion.windowID;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            id = event.button.windowID;
            break;
        case SDL_MOUSEWHEEL:
            id = event.wheel.windowID;
            break;
        default:
            return;
        }
        window = WindowOfSdl(id);
        if (window == nullptr && User().active != nullptr &&
            (event.type == SDL_KEYDOWN || event.type == SDL_KEYUP || event.type == SDL_TEXTINPUT)) {
            window = User().active;
        }
    }
    switch (event.type) {
    case SDL_WINDOWEVENT:
        if (window != nullptr) {
            OnWindowEvent(events, index, window);
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        HWND target = nullptr;
        {
            auto hold = Hold();
            target = window != nullptr ? KeyboardTarget(TopLevelOf(window)) : nullptr;
        }
        OnKey(event.key, target);
        break;
    }
    case SDL_TEXTINPUT: {
        auto hold = Hold();
        const HWND target = window != nullptr ? KeyboardTarget(TopLevelOf(window)) : nullptr;
        hold.unlock();
        OnText(event.text.text, target);
        break;
    }
    case SDL_MOUSEMOTION: {
        HWND target = nullptr;
        LPARAM point = 0;
        {
            auto hold = Hold();
            auto& user = User();
            target = user.capture != nullptr ? user.capture : window;
            if (target == nullptr) {
                break;
            }
            POINT screen{};
            point = ClientPoint(window != nullptr ? window : target, event.motion.x, event.motion.y,
                                target, &screen);
            user.cursor = screen;
            if (OnBar(window, target, screen)) {
                break;
            }
            if (window != nullptr) {
                user.mouseWindow = window;
            }
        }
        PostInput(target, WM_MOUSEMOVE, MouseKeys(), point);
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        OnMouseButton(event.button, window);
        break;
    case SDL_MOUSEWHEEL: {
        HWND target = nullptr;
        POINT screen{};
        {
            auto hold = Hold();
            const HWND focus = User().focus;
            target = focus != nullptr ? focus : window;
            screen = User().cursor;
        }
        if (target == nullptr) {
            break;
        }
        const int flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
        const LPARAM where = MAKELPARAM(screen.x, screen.y);
        const auto delta = [flip](float precise) {
            return static_cast<short>(std::lround(precise * WHEEL_DELTA * flip));
        };
        if (event.wheel.preciseY != 0.0f) {
            PostInput(target, WM_MOUSEWHEEL,
                      MAKEWPARAM(MouseKeys(), static_cast<WORD>(delta(event.wheel.preciseY))),
                      where);
        }
        if (event.wheel.preciseX != 0.0f) {
            PostInput(target, WM_MOUSEHWHEEL,
                      MAKEWPARAM(MouseKeys(), static_cast<WORD>(delta(event.wheel.preciseX))),
                      where);
        }
        break;
    }
    default:
        break;
    }
}

} // namespace

namespace standin::detail {

bool EnsureSdlVideo() {
    std::lock_guard<std::mutex> init(gInitLock);
    const DWORD self = CurrentThreadId();
    if (User().sdlThread.load() != 0) {
        return User().sdlThread.load() == self;
    }
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
        // A Windows program is not stopped by SDL's signal handlers, nor minimised by it when it
        // loses focus in full screen.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
        SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            return false;
        }
    }
    SDL_DisplayMode mode{};
    auto hold = Hold();
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
        NoteSystemDesktop(mode.w, mode.h, mode.refresh_rate);
    }
    User().sdlThread = self;
    return true;
}

bool IsSdlThread() {
    const DWORD thread = User().sdlThread.load();
    return thread != 0 && thread == CurrentThreadId();
}

bool HeadlessVideo() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        // Not started yet: what it would start with.
        driver = std::getenv("SDL_VIDEODRIVER");
        if (driver == nullptr) {
            return std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr;
        }
    }
    return std::strcmp(driver, "dummy") == 0 || std::strcmp(driver, "offscreen") == 0;
}

namespace {

std::mutex& PumpHookMutex() {
    static std::mutex mutex;
    return mutex;
}

std::function<void()>& PumpHook() {
    static std::function<void()> hook;
    return hook;
}

void RunPumpHook() {
    std::function<void()> hook;
    {
        std::lock_guard<std::mutex> guard(PumpHookMutex());
        hook = PumpHook();
    }
    if (hook) {
        hook();
    }
}

} // namespace

void PumpSdl() {
    if (!IsSdlThread()) {
        return;
    }
    SDL_PumpEvents();
    std::vector<SDL_Event> events;
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        events.push_back(event);
    }
    bool moved = false;
    for (size_t i = 0; i < events.size(); ++i) {
        moved = moved || events[i].type == SDL_MOUSEMOTION;
        HandleEvent(events, i);
    }
    if (!HeadlessVideo()) {
        // SDL's global state follows the device's raw motion only: it misses warps (ours, which
        // placed the cursor already, and other programs'). The motion events SDL delivers know
        // better; the state counts when it moved by itself, as over no window of ours.
        int x = 0;
        int y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        const bool changed = !gPump.haveGlobal || x != gPump.global.x || y != gPump.global.y;
        gPump.haveGlobal = true;
        gPump.global = POINT{x, y};
        if (changed && !moved) {
            auto hold = Hold();
            User().cursor = NativePointerToDesktopLocked(POINT{x, y});
        }
    }
    RunPumpHook();
}

SDL_Window* SdlWindowOf(HWND window) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    return record != nullptr ? record->sdl : nullptr;
}

void SetPumpHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> guard(PumpHookMutex());
    PumpHook() = std::move(hook);
}

} // namespace standin::detail

namespace standin {

std::uint32_t SdlWindowId(HWND window) {
    auto hold = Hold();
    const TWindow* record = WindowOf(window);
    return record != nullptr ? record->sdlId : 0;
}

std::string CurrentVideoDriver() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr ? driver : "";
}

std::string NativeWindowTitle(HWND window) {
    SDL_Window* sdl = SDL_GetWindowFromID(SdlWindowId(window));
    return sdl != nullptr ? SDL_GetWindowTitle(sdl) : "";
}

std::uint64_t NativeX11Window(HWND window) {
    SDL_Window* sdl = SDL_GetWindowFromID(SdlWindowId(window));
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (sdl == nullptr || SDL_GetWindowWMInfo(sdl, &info) != SDL_TRUE ||
        info.subsystem != SDL_SYSWM_X11) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.info.x11.window);
}

bool FocusNativeWindow(HWND window) {
    SDL_Window* sdl = SDL_GetWindowFromID(SdlWindowId(window));
    return sdl != nullptr && SDL_SetWindowInputFocus(sdl) == 0;
}

void ResetPumpState() {
    gPump = TPumpState{};
}

} // namespace standin
