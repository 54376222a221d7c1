// SDL events as they arrive from the video driver, turned into messages.
#include "platform/win32/desktop.h"
#include "tests/platform/win32/wintest.h"

#include <SDL2/SDL.h>

namespace {

using wintest::Calls;
using wintest::TCall;

class SdlAdapter : public wintest::TWindowTest {
protected:
    void PushKey(HWND window, SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, bool down,
                 bool repeat = false) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = standin::SdlWindowId(window);
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = sym;
        event.key.keysym.mod = mod;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    void PushText(HWND window, const char* text) {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = standin::SdlWindowId(window);
        SDL_strlcpy(event.text.text, text, sizeof event.text.text);
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    void PushButton(HWND window, Uint8 button, bool down, int x, int y) {
        SDL_Event event{};
        event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.windowID = standin::SdlWindowId(window);
        event.button.button = button;
        event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.button.x = x;
        event.button.y = y;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    void PushWindowEvent(HWND window, Uint8 kind) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = standin::SdlWindowId(window);
        event.window.event = kind;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    // The key-down and key-up messages that come out of the queue (not the characters).
    std::vector<MSG> Keys() {
        std::vector<MSG> taken;
        for (const MSG& message : Drain()) {
            if (message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
                message.message == WM_SYSKEYDOWN || message.message == WM_SYSKEYUP) {
                taken.push_back(message);
            }
        }
        return taken;
    }
    // The messages of these kinds that come out of the queue, dispatched on the way.
    std::vector<MSG> Taken(UINT low, UINT high) {
        std::vector<MSG> taken;
        for (const MSG& message : Drain()) {
            if (message.message >= low && message.message <= high) {
                taken.push_back(message);
            }
        }
        return taken;
    }
};

TEST_F(SdlAdapter, KeysBecomeVirtualKeysWithScanCodeAndExtendedBit) {
    HWND window = MakeWindow();
    Drain();
    struct TCase {
        const char* name;
        SDL_Scancode scancode;
        SDL_Keycode sym;
        Uint16 mod;
        UINT message;
        WPARAM vk;
        DWORD lParam;
    };
    const TCase cases[] = {
        {"A", SDL_SCANCODE_A, SDLK_a, KMOD_NONE, WM_KEYDOWN, 'A', 0x001E0001},
        {"A on a French layout", SDL_SCANCODE_Q, SDLK_a, KMOD_NONE, WM_KEYDOWN, 'A', 0x00100001},
        {"digit 1", SDL_SCANCODE_1, SDLK_1, KMOD_NONE, WM_KEYDOWN, '1', 0x00020001},
        {"Insert", SDL_SCANCODE_INSERT, SDLK_INSERT, KMOD_NONE, WM_KEYDOWN, VK_INSERT, 0x01520001},
        {"keypad 0, Num Lock on", SDL_SCANCODE_KP_0, SDLK_KP_0, KMOD_NUM, WM_KEYDOWN, VK_NUMPAD0,
         0x00520001},
        {"keypad 0, Num Lock off", SDL_SCANCODE_KP_0, SDLK_KP_0, KMOD_NONE, WM_KEYDOWN, VK_INSERT,
         0x00520001},
        {"Delete", SDL_SCANCODE_DELETE, SDLK_DELETE, KMOD_NONE, WM_KEYDOWN, VK_DELETE, 0x01530001},
        {"right arrow", SDL_SCANCODE_RIGHT, SDLK_RIGHT, KMOD_NONE, WM_KEYDOWN, VK_RIGHT,
         0x014D0001},
        {"Enter", SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE, WM_KEYDOWN, VK_RETURN, 0x001C0001},
        {"keypad Enter", SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NONE, WM_KEYDOWN, VK_RETURN,
         0x011C0001},
        {"keypad divide", SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, KMOD_NONE, WM_KEYDOWN, VK_DIVIDE,
         0x01350001},
        {"F10 is a system key", SDL_SCANCODE_F10, SDLK_F10, KMOD_NONE, WM_SYSKEYDOWN, VK_F10,
         0x00440001},
        {"Escape", SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_NONE, WM_KEYDOWN, VK_ESCAPE, 0x00010001},
        {"semicolon", SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON, KMOD_NONE, WM_KEYDOWN, VK_OEM_1,
         0x00270001},
    };
    for (const TCase& item : cases) {
        PushKey(window, item.scancode, item.sym, item.mod, true);
        PushKey(window, item.scancode, item.sym, item.mod, false);
        const auto keys = Keys();
        ASSERT_EQ(keys.size(), 2u) << item.name;
        EXPECT_EQ(keys[0].message, item.message) << item.name;
        EXPECT_EQ(keys[0].wParam, item.vk) << item.name;
        EXPECT_EQ(static_cast<DWORD>(keys[0].lParam), item.lParam) << item.name;
        EXPECT_EQ(keys[1].message, item.message + 1) << item.name; // the matching key-up
        // Key-up: previous state and transition bits set.
        EXPECT_EQ(static_cast<DWORD>(keys[1].lParam), item.lParam | 0xC0000000u) << item.name;
    }
}

TEST_F(SdlAdapter, RepeatsRightControlAndAlt) {
    HWND window = MakeWindow();
    Drain();
    PushKey(window, SDL_SCANCODE_A, SDLK_a, KMOD_NONE, true);
    PushKey(window, SDL_SCANCODE_A, SDLK_a, KMOD_NONE, true, true);
    PushKey(window, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL, true);
    PushKey(window, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT, true);
    PushKey(window, SDL_SCANCODE_X, SDLK_x, KMOD_LALT, true);
    const auto keys = Keys();
    ASSERT_EQ(keys.size(), 5u);
    EXPECT_EQ(static_cast<DWORD>(keys[1].lParam), 0x401E0001u);
    EXPECT_EQ(keys[2].wParam, static_cast<WPARAM>(VK_CONTROL));
    EXPECT_EQ(static_cast<DWORD>(keys[2].lParam), 0x011D0001u);
    // With Ctrl held, Alt is AltGr-like and no system key.
    EXPECT_EQ(keys[3].message, static_cast<UINT>(WM_KEYDOWN));
    PushKey(window, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_NONE, false);
    PushKey(window, SDL_SCANCODE_X, SDLK_x, KMOD_LALT, true);
    const auto alt = Keys();
    ASSERT_EQ(alt.size(), 2u);
    EXPECT_EQ(alt[1].message, static_cast<UINT>(WM_SYSKEYDOWN));
    EXPECT_EQ(alt[1].wParam, static_cast<WPARAM>('X'));
    EXPECT_EQ(static_cast<DWORD>(alt[1].lParam), 0x202D0001u);
    // After the modifiers, GetKeyState tells ctrl apart from alt.
    EXPECT_GE(GetKeyState(VK_CONTROL), 0);
    EXPECT_LT(GetKeyState(VK_MENU), 0);
}

TEST_F(SdlAdapter, TextBecomesCharactersOfTheWindowsKind) {
    struct TCase {
        const char* name;
        bool unicode;
        const char* text;
        std::vector<WPARAM> characters;
    };
    const TCase cases[] = {
        {"Unicode window, surrogate pair",
         true,
         "a\xe2\x82\xac\xf0\x9f\x98\x80",
         {0x61, 0x20AC, 0xD83D, 0xDE00}},
        {"Unicode window, Latin-1", true, "\xc3\xa9", {0xE9}},
        {"ANSI window, Windows-1252", false, "a\xe2\x82\xac\xc3\xa9", {0x61, 0x80, 0xE9}},
        {"ANSI window, beyond the code page", false, "\xf0\x9f\x98\x80\xe4\xb8\xad", {'?', '?'}},
        {"malformed UTF-8",
         true,
         "\xff"
         "b",
         {0xFFFD, 'b'}},
    };
    for (const TCase& item : cases) {
        HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, item.unicode);
        Drain();
        PushText(window, item.text);
        std::vector<WPARAM> got;
        for (const MSG& message : Taken(WM_CHAR, WM_CHAR)) {
            EXPECT_EQ(message.hwnd, window) << item.name;
            got.push_back(message.wParam);
        }
        EXPECT_EQ(got, item.characters) << item.name;
        DestroyWindow(window);
    }
}

TEST_F(SdlAdapter, MouseButtonsWheelAndMoves) {
    HWND window = MakeWindow();
    Drain();
    struct TCase {
        const char* name;
        Uint8 button;
        bool down;
        UINT message;
        WPARAM wParam;
    };
    const TCase cases[] = {
        {"left down", SDL_BUTTON_LEFT, true, WM_LBUTTONDOWN, MK_LBUTTON},
        {"left up", SDL_BUTTON_LEFT, false, WM_LBUTTONUP, 0},
        {"right down", SDL_BUTTON_RIGHT, true, WM_RBUTTONDOWN, MK_RBUTTON},
        {"middle down, right held", SDL_BUTTON_MIDDLE, true, WM_MBUTTONDOWN,
         MK_RBUTTON | MK_MBUTTON},
        {"middle up", SDL_BUTTON_MIDDLE, false, WM_MBUTTONUP, MK_RBUTTON},
        {"right up", SDL_BUTTON_RIGHT, false, WM_RBUTTONUP, 0},
        {"first extra down", SDL_BUTTON_X1, true, WM_XBUTTONDOWN, 0x00010020},
        {"first extra up", SDL_BUTTON_X1, false, WM_XBUTTONUP, 0x00010000},
        {"second extra down", SDL_BUTTON_X2, true, WM_XBUTTONDOWN, 0x00020040},
        {"second extra up", SDL_BUTTON_X2, false, WM_XBUTTONUP, 0x00020000},
    };
    for (const TCase& item : cases) {
        PushButton(window, item.button, item.down, 10, -3);
        const auto taken = Taken(WM_MOUSEFIRST, WM_MOUSELAST);
        ASSERT_EQ(taken.size(), 1u) << item.name;
        EXPECT_EQ(taken[0].message, item.message) << item.name;
        EXPECT_EQ(taken[0].wParam, item.wParam) << item.name;
        // Client coordinates, the negative one as a 16-bit value.
        EXPECT_EQ(taken[0].lParam, 0xFFFD000A) << item.name;
    }
    PushKey(window, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT, true);
    PushButton(window, SDL_BUTTON_LEFT, true, 1, 2);
    PushButton(window, SDL_BUTTON_LEFT, false, 1, 2);
    auto taken = Taken(WM_MOUSEFIRST, WM_MOUSELAST);
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].wParam, static_cast<WPARAM>(MK_LBUTTON | MK_SHIFT));
    EXPECT_EQ(taken[1].wParam, static_cast<WPARAM>(MK_SHIFT));
    PushKey(window, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_NONE, false);

    struct TWheel {
        float y;
        SDL_MouseWheelDirection direction;
        WORD delta;
    };
    const TWheel wheels[] = {{1.0f, SDL_MOUSEWHEEL_NORMAL, 120},
                             {-2.0f, SDL_MOUSEWHEEL_NORMAL, static_cast<WORD>(-240)},
                             {1.0f, SDL_MOUSEWHEEL_FLIPPED, static_cast<WORD>(-120)},
                             {0.5f, SDL_MOUSEWHEEL_NORMAL, 60}};
    // The wheel reports the cursor in screen coordinates.
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.windowID = standin::SdlWindowId(window);
    move.motion.x = 7;
    move.motion.y = 8;
    SDL_PushEvent(&move);
    taken = Taken(WM_MOUSEFIRST, WM_MOUSELAST);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(taken[0].lParam, MAKELPARAM(7, 8));
    for (const TWheel& wheel : wheels) {
        SDL_Event event{};
        event.type = SDL_MOUSEWHEEL;
        event.wheel.windowID = standin::SdlWindowId(window);
        event.wheel.y = static_cast<Sint32>(wheel.y);
        event.wheel.preciseY = wheel.y;
        event.wheel.direction = wheel.direction;
        SDL_PushEvent(&event);
        taken = Taken(WM_MOUSEWHEEL, WM_MOUSEWHEEL);
        ASSERT_EQ(taken.size(), 1u) << wheel.y;
        EXPECT_EQ(HIWORD(taken[0].wParam), wheel.delta) << wheel.y;
        EXPECT_EQ(LOWORD(taken[0].wParam), 0) << wheel.y;
        EXPECT_EQ(taken[0].lParam, MAKELPARAM(107, 58)) << wheel.y;
    }
}

TEST_F(SdlAdapter, ClickOnAnInactiveWindowActivatesItFirst) {
    HWND window = MakeWindow();
    Drain();
    SetActiveWindow(nullptr);
    Calls().clear();
    // As a window manager reports it: focus, then the click, in one batch.
    PushWindowEvent(window, SDL_WINDOWEVENT_FOCUS_GAINED);
    PushButton(window, SDL_BUTTON_LEFT, true, 5, 5);
    Drain();
    const auto seen = Seen({WM_MOUSEACTIVATE, WM_ACTIVATE, WM_LBUTTONDOWN});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].message, static_cast<UINT>(WM_MOUSEACTIVATE));
    EXPECT_EQ(seen[0].lParam, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    EXPECT_EQ(LOWORD(seen[1].wParam), WA_CLICKACTIVE);
    EXPECT_EQ(seen[2].message, static_cast<UINT>(WM_LBUTTONDOWN));
    PushButton(window, SDL_BUTTON_LEFT, false, 5, 5);
    Drain();

    // A procedure may swallow the activating click.
    SetActiveWindow(nullptr);
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        result = MA_ACTIVATEANDEAT;
        return message == WM_MOUSEACTIVATE;
    });
    Calls().clear();
    PushButton(window, SDL_BUTTON_LEFT, true, 5, 5);
    Drain();
    EXPECT_TRUE(Seen({WM_LBUTTONDOWN}).empty());
    EXPECT_EQ(GetActiveWindow(), window);
}

TEST_F(SdlAdapter, FocusMinimiseRestoreAndClose) {
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
    Drain();
    ASSERT_EQ(GetForegroundWindow(), window);
    // The procedure keeps the window on WM_CLOSE, as the engine's does.
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
        result = 0;
        return message == WM_CLOSE;
    });

    struct TCase {
        const char* name;
        Uint8 event;
        std::vector<UINT> messages; // of the kinds below, in order
        std::vector<WPARAM> wParams;
        bool iconic;
        bool foreground;
    };
    const TCase cases[] = {
        {"focus lost",
         SDL_WINDOWEVENT_FOCUS_LOST,
         {WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS},
         {WA_INACTIVE, FALSE, 0},
         false,
         false},
        {"focus gained",
         SDL_WINDOWEVENT_FOCUS_GAINED,
         {WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS},
         {TRUE, WA_ACTIVE, 0},
         false,
         true},
        {"minimised",
         SDL_WINDOWEVENT_MINIMIZED,
         {WM_SYSCOMMAND, WM_SIZE, WM_ACTIVATE, WM_ACTIVATEAPP, WM_KILLFOCUS},
         {SC_MINIMIZE, SIZE_MINIMIZED, MAKEWPARAM(WA_INACTIVE, 1), FALSE, 0},
         true,
         false},
        {"minimised again: no change", SDL_WINDOWEVENT_MINIMIZED, {}, {}, true, false},
        {"restored",
         SDL_WINDOWEVENT_RESTORED,
         {WM_SYSCOMMAND, WM_SIZE, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS},
         {SC_RESTORE, SIZE_RESTORED, TRUE, WA_ACTIVE, 0},
         false,
         true},
        {"close button",
         SDL_WINDOWEVENT_CLOSE,
         {WM_SYSCOMMAND, WM_CLOSE},
         {SC_CLOSE, 0},
         false,
         true},
    };
    for (const TCase& item : cases) {
        Calls().clear();
        PushWindowEvent(window, item.event);
        Drain();
        std::vector<UINT> messages;
        std::vector<WPARAM> wParams;
        for (const TCall& call : Seen({WM_SYSCOMMAND, WM_SIZE, WM_ACTIVATE, WM_ACTIVATEAPP,
                                       WM_SETFOCUS, WM_KILLFOCUS, WM_CLOSE})) {
            messages.push_back(call.message);
            wParams.push_back(
                call.message == WM_SETFOCUS || call.message == WM_KILLFOCUS ? 0 : call.wParam);
        }
        EXPECT_EQ(messages, item.messages) << item.name;
        EXPECT_EQ(wParams, item.wParams) << item.name;
        EXPECT_EQ(IsIconic(window) != FALSE, item.iconic) << item.name;
        EXPECT_EQ(GetForegroundWindow() == window, item.foreground) << item.name;
    }
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(SdlAdapter, WindowManagerResizeGoesThroughWindowPosChanging) {
    HWND window = MakeWindow(WS_POPUP | WS_THICKFRAME | WS_VISIBLE, false, 488, 368);
    Drain();
    wintest::SetAnswer([](HWND, UINT message, WPARAM, LPARAM lParam, LRESULT& result) {
        if (message != WM_WINDOWPOSCHANGING) {
            return false;
        }
        auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
        pos->cx = 488;
        pos->cy = 368;
        result = 0;
        return true;
    });
    // The user drags the border: SDL reports the new size; the procedure keeps its own.
    SDL_Window* sdl = SDL_GetWindowFromID(standin::SdlWindowId(window));
    ASSERT_NE(sdl, nullptr);
    SDL_SetWindowSize(sdl, 600, 500);
    PushWindowEvent(window, SDL_WINDOWEVENT_SIZE_CHANGED);
    Drain();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 480);
    EXPECT_EQ(client.bottom, 360);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 480);
    EXPECT_EQ(height, 360);
}

// A display mode set over the real screen is shown stretched over it: the pointer's places on the
// real screen come to the program in the mode's pixels, and stop being scaled once the mode is
// restored.
TEST_F(SdlAdapter, PointerOverAStretchedDisplayModeComesInTheModesPixels) {
    const standin::TDesktop screen = standin::CurrentDesktop();
    const int width = screen.width / 2;
    const int height = screen.height / 2;
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, false, width, height);
    ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER));
    Drain();
    standin::detail::SetDesktopMode(width, height, 32, 0);
    ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), width);

    struct TCase {
        const char* name;
        int nativeX, nativeY;
        int x, y; // in the mode, worked out by hand from the halved size
    };
    const TCase cases[] = {
        {"the middle of the screen", screen.width / 2, screen.height / 2, width / 2, height / 2},
        {"the top left corner", 0, 0, 0, 0},
        {"a pixel from the bottom right", screen.width - 2, screen.height - 2, width - 1,
         height - 1},
    };
    for (const TCase& c : cases) {
        SDL_Event move{};
        move.type = SDL_MOUSEMOTION;
        move.motion.windowID = standin::SdlWindowId(window);
        move.motion.x = c.nativeX;
        move.motion.y = c.nativeY;
        ASSERT_EQ(SDL_PushEvent(&move), 1);
        PushButton(window, SDL_BUTTON_LEFT, true, c.nativeX, c.nativeY);
        PushButton(window, SDL_BUTTON_LEFT, false, c.nativeX, c.nativeY);
        const std::vector<MSG> taken = Taken(WM_MOUSEFIRST, WM_MOUSELAST);
        ASSERT_EQ(taken.size(), 3u) << c.name;
        for (const MSG& message : taken) {
            EXPECT_EQ(message.lParam, MAKELPARAM(c.x, c.y)) << c.name << " " << message.message;
        }
        POINT cursor{};
        ASSERT_TRUE(GetCursorPos(&cursor));
        EXPECT_EQ(cursor.x, c.x) << c.name;
        EXPECT_EQ(cursor.y, c.y) << c.name;
    }

    standin::detail::RestoreDesktopMode();
    SDL_Event move{};
    move.type = SDL_MOUSEMOTION;
    move.motion.windowID = standin::SdlWindowId(window);
    move.motion.x = 7;
    move.motion.y = 8;
    ASSERT_EQ(SDL_PushEvent(&move), 1);
    const std::vector<MSG> taken = Taken(WM_MOUSEMOVE, WM_MOUSEMOVE);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].lParam, MAKELPARAM(7, 8));
}

// A mode of another shape than the screen is shown in the largest centred rectangle of its shape,
// black bars beside it: the pointer goes through the same rectangle, and a click on a bar reaches
// no window.
TEST_F(SdlAdapter, PointerOverAModeOfAnotherShapeGoesThroughItsPicture) {
    const standin::TDesktop screen = standin::CurrentDesktop();
    ASSERT_EQ(screen.width, 1024);
    ASSERT_EQ(screen.height, 768);
    struct TCase {
        const char* name;
        int nativeX, nativeY;
        bool reached;
        int x, y; // in the mode
    };
    struct TMode {
        int width, height;
        std::vector<TCase> cases;
    };
    // 512 x 512 shows at 768 x 768 from x = 128; 800 x 300 at 1024 x 384 from y = 192.
    const TMode modes[] = {
        {512,
         512,
         {{"the picture's top left", 128, 0, true, 0, 0},
          {"the middle", 512, 384, true, 256, 256},
          {"the picture's bottom right", 895, 767, true, 511, 511},
          {"the left bar's last pixel", 127, 300, false, 0, 0},
          {"the right bar's first pixel", 896, 300, false, 0, 0}}},
        {800,
         300,
         {{"the picture's top left", 0, 192, true, 0, 0},
          {"the picture's bottom right", 1023, 575, true, 799, 299},
          {"the top bar", 500, 191, false, 0, 0},
          {"the bottom bar", 500, 576, false, 0, 0}}},
    };
    for (const TMode& mode : modes) {
        HWND window = MakeWindow(WS_POPUP | WS_VISIBLE, false, mode.width, mode.height);
        standin::detail::SetDesktopMode(mode.width, mode.height, 32, 0);
        ASSERT_TRUE(SetWindowPos(window, nullptr, 0, 0, mode.width, mode.height, SWP_NOZORDER));
        Drain();
        for (const TCase& c : mode.cases) {
            SDL_Event move{};
            move.type = SDL_MOUSEMOTION;
            move.motion.windowID = standin::SdlWindowId(window);
            move.motion.x = c.nativeX;
            move.motion.y = c.nativeY;
            ASSERT_EQ(SDL_PushEvent(&move), 1);
            PushButton(window, SDL_BUTTON_LEFT, true, c.nativeX, c.nativeY);
            PushButton(window, SDL_BUTTON_LEFT, false, c.nativeX, c.nativeY);
            const std::vector<MSG> taken = Taken(WM_MOUSEFIRST, WM_MOUSELAST);
            ASSERT_EQ(taken.size(), c.reached ? 3u : 0u) << c.name;
            for (const MSG& message : taken) {
                EXPECT_EQ(message.lParam, MAKELPARAM(c.x, c.y)) << c.name << " " << message.message;
            }
        }
        standin::detail::RestoreDesktopMode();
        DestroyWindow(window);
        Drain();
    }
}

} // namespace
