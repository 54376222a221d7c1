// The main window on a real X server (Xvfb) and a real key press through the XTEST extension:
// the key reaches the game loop as event 11. Skipped when no X server can be started or the
// XTEST client library is missing.
#include "engine/core/platform.h"
#include "engine/core/win32platform.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/tempdir.h"

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int kPassed = 0;
constexpr int kNoXTest = 77;
constexpr int kWrongWindow = 78;
constexpr int kNoKey = 80;

void Finish(int code) {
    std::fflush(stdout);
    std::_Exit(code);
}

// Runs inside the child process that the test below starts on the Xvfb display.
TEST(MainWindowXServerChild, Run) {
    if (std::getenv("MAINWINDOW_XSERVER_CHILD") == nullptr) {
        GTEST_SKIP() << "runs only as a child of MainWindowXServer.*";
    }
    void* x11 = dlopen("libX11.so.6", RTLD_NOW);
    void* xtst = dlopen("libXtst.so.6", RTLD_NOW);
    if (x11 == nullptr || xtst == nullptr) {
        Finish(kNoXTest);
    }
    using TOpen = void* (*)(const char*);
    using TClose = int (*)(void*);
    using TKeycode = unsigned char (*)(void*, unsigned long);
    using TFakeKey = int (*)(void*, unsigned int, int, unsigned long);
    using TSync = int (*)(void*, int);
    auto openDisplay = reinterpret_cast<TOpen>(dlsym(x11, "XOpenDisplay"));
    auto closeDisplay = reinterpret_cast<TClose>(dlsym(x11, "XCloseDisplay"));
    auto keycodeOf = reinterpret_cast<TKeycode>(dlsym(x11, "XKeysymToKeycode"));
    auto sync = reinterpret_cast<TSync>(dlsym(x11, "XSync"));
    auto fakeKey = reinterpret_cast<TFakeKey>(dlsym(xtst, "XTestFakeKeyEvent"));
    if (!openDisplay || !closeDisplay || !keycodeOf || !sync || !fakeKey) {
        Finish(kNoXTest);
    }
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    char commandLine[] = "";
    auto* platform = new TPlatform(
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true));
    platform->CreateMainWindow();
    HWND window = platform->GetWin32()->mMainWindow;
    // The display handler would show it when it sets the display up.
    ShowWindow(window, SW_SHOWNORMAL);
    const char* driver = SDL_GetCurrentVideoDriver();
    RECT outer{};
    GetWindowRect(window, &outer);
    if (window == nullptr || driver == nullptr || std::string(driver) != "x11" ||
        outer.right - outer.left != 480 || outer.bottom - outer.top != 360) {
        Finish(kWrongWindow);
    }
    const auto pollFor = [platform](int milliseconds, TEvent* found) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (std::chrono::steady_clock::now() < end) {
            TEvent event;
            platform->GetEvent(&event);
            if (found != nullptr && event.type == kEventKeyDown) {
                *found = event;
                return true;
            }
        }
        return false;
    };
    pollFor(500, nullptr);
    SDL_SetWindowInputFocus(SDL_GetWindowFromID(standin::SdlWindowId(window)));
    pollFor(300, nullptr);

    void* display = openDisplay(nullptr);
    if (display == nullptr) {
        Finish(kNoXTest);
    }
    const unsigned int keycode = keycodeOf(display, 0x61); // XK_a
    fakeKey(display, keycode, 1, 0);
    fakeKey(display, keycode, 0, 0);
    sync(display, 0);
    TEvent event;
    const bool got = pollFor(3000, &event);
    closeDisplay(display);
    if (!got || event.param != 'A' || event.modifiers != 0) {
        Finish(kNoKey);
    }
    delete platform;
    Finish(kPassed);
}

// `quiet` 1 silences the child's standard output, 2 its error output as well.
pid_t Spawn(std::vector<std::string> arguments, const std::vector<std::string>& extra, int quiet) {
    std::vector<std::string> variables = extra;
    for (char** at = environ; *at != nullptr; ++at) {
        const std::string entry = *at;
        bool replaced = entry.rfind("GTEST_", 0) == 0;
        for (const auto& added : extra) {
            replaced = replaced ||
                       entry.compare(0, added.find('=') + 1, added, 0, added.find('=') + 1) == 0;
        }
        if (!replaced) {
            variables.push_back(entry);
        }
    }
    std::vector<char*> envp;
    for (auto& entry : variables) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<char*> argv;
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

// The child's exit code, or -1 when it had to be killed after `seconds`.
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

TEST(MainWindowXServer, RealKeyPressBecomesKeyDownEvent) {
    const char* xvfb = "/usr/bin/Xvfb";
    if (access(xvfb, X_OK) != 0) {
        GTEST_SKIP() << "no X server: Xvfb is not installed";
    }
    int number = 0;
    for (number = 420 + static_cast<int>(getpid() % 200); number < 700; ++number) {
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
        if (waitpid(server, nullptr, WNOHANG) == server) {
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
        Spawn({"/proc/self/exe", "--gtest_filter=MainWindowXServerChild.Run"},
              {"DISPLAY=" + display, "SDL_VIDEODRIVER=x11", "MAINWINDOW_XSERVER_CHILD=1"}, 1);
    const int code = child < 0 ? -1 : WaitFor(child, 60);
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    if (code == kNoXTest) {
        GTEST_SKIP() << "no way to press a real key: libXtst.so.6 or XTEST is missing";
    }
    EXPECT_NE(code, kWrongWindow) << "the main window did not open 480 by 360 on the X server";
    EXPECT_EQ(code, kPassed) << "the key press did not arrive as event 11";
}

} // namespace
