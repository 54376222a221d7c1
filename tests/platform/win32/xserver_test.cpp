// A real window on a real X server (Xvfb) and a real key press through the XTEST extension,
// which reaches the program the way a user's key does. Skipped when no X server can be started
// or the XTEST client library is missing.
#include "tests/platform/win32/wintest.h"

#include <SDL2/SDL.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kPassed = 0;
constexpr int kNoXTest = 77;
constexpr int kWrongDriver = 78;
constexpr int kWrongSize = 79;
constexpr int kNoKey = 80;

// The few Xlib and XTEST calls the test needs, bound at run time: their headers are not part
// of the build, only their libraries may be present.
struct TXlib {
    void* x11 = nullptr;
    void* xtst = nullptr;
    void* (*openDisplay)(const char*) = nullptr;
    int (*closeDisplay)(void*) = nullptr;
    unsigned char (*keysymToKeycode)(void*, unsigned long) = nullptr;
    int (*fakeKey)(void*, unsigned int, int, unsigned long) = nullptr;
    int (*sync)(void*, int) = nullptr;

    bool Load() {
        x11 = dlopen("libX11.so.6", RTLD_NOW);
        xtst = dlopen("libXtst.so.6", RTLD_NOW);
        if (x11 == nullptr || xtst == nullptr) {
            return false;
        }
        openDisplay = reinterpret_cast<decltype(openDisplay)>(dlsym(x11, "XOpenDisplay"));
        closeDisplay = reinterpret_cast<decltype(closeDisplay)>(dlsym(x11, "XCloseDisplay"));
        keysymToKeycode =
            reinterpret_cast<decltype(keysymToKeycode)>(dlsym(x11, "XKeysymToKeycode"));
        sync = reinterpret_cast<decltype(sync)>(dlsym(x11, "XSync"));
        fakeKey = reinterpret_cast<decltype(fakeKey)>(dlsym(xtst, "XTestFakeKeyEvent"));
        return openDisplay && closeDisplay && keysymToKeycode && sync && fakeKey;
    }
};

// Runs inside the child process that the test below starts on the Xvfb display.
TEST(XServerChild, Run) {
    if (std::getenv("STANDIN_XSERVER_CHILD") == nullptr) {
        GTEST_SKIP() << "runs only as a child of XServer.*";
    }
    const auto finish = [](int code) {
        std::fflush(stdout);
        std::_Exit(code);
    };
    TXlib xlib;
    if (!xlib.Load()) {
        finish(kNoXTest);
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinXServerTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinXServerTest", "Kelvane", WS_POPUP | WS_VISIBLE, 0, 0,
                                  480, 360, nullptr, nullptr, nullptr, nullptr);
    const char* driver = SDL_GetCurrentVideoDriver();
    if (window == nullptr || driver == nullptr || std::string(driver) != "x11") {
        finish(kWrongDriver);
    }
    SDL_Window* sdl = SDL_GetWindowFromID(standin::SdlWindowId(window));
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    RECT client{};
    GetClientRect(window, &client);
    if (width != 480 || height != 360 || client.right != 480 || client.bottom != 360) {
        finish(kWrongSize);
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

    void* display = xlib.openDisplay(nullptr);
    if (display == nullptr) {
        finish(kNoXTest);
    }
    const unsigned int keycode = xlib.keysymToKeycode(display, 0x61); // XK_a
    xlib.fakeKey(display, keycode, 1, 0);
    xlib.fakeKey(display, keycode, 0, 0);
    xlib.sync(display, 0);
    const bool got = pumpFor(3000, WM_KEYDOWN);
    xlib.closeDisplay(display);
    // The a key: virtual key 'A', make code 0x1E, not extended, first press.
    if (!got || message.hwnd != window || message.wParam != 'A' ||
        static_cast<DWORD>(message.lParam) != 0x001E0001u) {
        finish(kNoKey);
    }
    DestroyWindow(window);
    finish(kPassed);
}

// `quiet` 1 silences the child's standard output, 2 its error output as well.
pid_t Spawn(std::vector<std::string> arguments, const std::vector<std::string>& extraEnvironment,
            int quiet) {
    std::vector<std::string> variables = extraEnvironment;
    for (char** at = environ; *at != nullptr; ++at) {
        const std::string entry = *at;
        bool replaced = entry.rfind("GTEST_", 0) == 0;
        for (const auto& extra : extraEnvironment) {
            replaced = replaced ||
                       entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
        }
        if (!replaced) {
            variables.push_back(entry);
        }
    }
    std::vector<char*> envp;
    envp.reserve(variables.size() + 1);
    for (auto& entry : variables) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet >= 1) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    if (quiet >= 2) {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? child : -1;
}

// Waits up to `seconds` for the child; its exit code, or -1 (then it is killed).
int WaitFor(pid_t child, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(XServer, RealKeyPressArrivesAsKeyDown) {
    const char* xvfb = "/usr/bin/Xvfb";
    if (access(xvfb, X_OK) != 0) {
        GTEST_SKIP() << "no X server: Xvfb is not installed";
    }
    // A display number nobody uses.
    int number = 0;
    for (number = 140 + static_cast<int>(getpid() % 200); number < 400; ++number) {
        const std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        if (access(lock.c_str(), F_OK) != 0 && access(socket.c_str(), F_OK) != 0) {
            break;
        }
    }
    const std::string display = ":" + std::to_string(number);
    const pid_t server =
        Spawn({xvfb, display, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {}, 2);
    if (server < 0) {
        GTEST_SKIP() << "no X server: Xvfb could not be started";
    }
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
    bool ready = false;
    for (int i = 0; i < 500 && !ready; ++i) {
        ready = access(socket.c_str(), F_OK) == 0;
        int status = 0;
        if (waitpid(server, &status, WNOHANG) == server) {
            break;
        }
        usleep(10000);
    }
    if (!ready) {
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
        GTEST_SKIP() << "no X server: Xvfb did not come up on " << display;
    }
    const pid_t child =
        Spawn({"/proc/self/exe", "--gtest_filter=XServerChild.Run"},
              {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "STANDIN_XSERVER_CHILD=1"}, 1);
    const int code = child < 0 ? -1 : WaitFor(child, 60);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    if (code == kNoXTest) {
        GTEST_SKIP() << "no way to press a real key: libXtst.so.6 or the XTEST extension is "
                        "missing";
    }
    EXPECT_NE(code, kWrongDriver) << "the window did not open on the X server";
    EXPECT_NE(code, kWrongSize) << "the window is not 480 by 360";
    EXPECT_EQ(code, kPassed) << "the key press did not arrive as WM_KEYDOWN";
}

} // namespace
