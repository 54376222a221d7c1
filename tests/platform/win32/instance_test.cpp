// Two processes of one program: the second finds the first through the instance mutex and its
// window, brings it to the front and ends.
#include "tests/fixtures/tempdir.h"
#include "tests/platform/win32/wintest.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using wintest::Calls;

// Exit codes of the second instance.
constexpr int kBroughtForward = 0;
constexpr int kRanAlone = 10;
constexpr int kNoWindow = 11;
constexpr int kRequestFailed = 12;

// The second instance, run by the test below as a child process: the steps of the engine's
// single-instance check with the mutex and window class names it is given.
TEST(SecondInstance, Run) {
    const char* mutexName = std::getenv("STANDIN_INSTANCE_MUTEX");
    const char* className = std::getenv("STANDIN_INSTANCE_CLASS");
    if (mutexName == nullptr || className == nullptr) {
        GTEST_SKIP() << "the second instance runs only as a child of SingleInstance.*";
    }
    SetLastError(0);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName);
    int code = kBroughtForward;
    if (GetLastError() != ERROR_ALREADY_EXISTS) {
        code = kRanAlone;
    } else if (HWND first = FindWindowA(className, nullptr); first == nullptr) {
        code = kNoWindow;
    } else if (!SetForegroundWindow(first) || !ShowWindow(first, SW_SHOWNORMAL)) {
        code = kRequestFailed;
    }
    CloseHandle(mutex);
    std::exit(code);
}

// A program may end through exit() with its window still open (the display code does so on
// fatal errors); nothing the stand-in keeps running may stand in the way.
TEST(ExitWithWindowOpen, Run) {
    if (std::getenv("STANDIN_EXIT_WITH_WINDOW") == nullptr) {
        GTEST_SKIP() << "runs only as a child of SingleInstance.*";
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinExitTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinExitTest", "", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                  nullptr, nullptr, nullptr, nullptr);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, "StandinExitTestMutex");
    (void)mutex;
    std::exit(window != nullptr ? 0 : 1);
}

class SingleInstance : public wintest::TWindowTest {
protected:
    // Runs the second instance and answers its exit code, serving this process's messages while
    // it runs (the requests arrive through them).
    int RunSecond(const std::string& mutexName, const std::string& runtime) {
        return RunChild("SecondInstance.Run",
                        {"STANDIN_INSTANCE_MUTEX=" + mutexName,
                         "STANDIN_INSTANCE_CLASS=StandinTestAnsi", "XDG_RUNTIME_DIR=" + runtime});
    }

    // Runs one test of this program in a child process with these variables set.
    int RunChild(const std::string& test, std::vector<std::string> variables) {
        for (char** at = environ; *at != nullptr; ++at) {
            const std::string entry = *at;
            if (entry.rfind("XDG_RUNTIME_DIR=", 0) != 0 && entry.rfind("GTEST_", 0) != 0) {
                variables.push_back(entry);
            }
        }
        std::vector<char*> envp;
        envp.reserve(variables.size() + 1);
        for (auto& entry : variables) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        std::string self = "/proc/self/exe";
        std::string filter = "--gtest_filter=" + test;
        char* argv[] = {self.data(), filter.data(), nullptr};
        // Its test report would only clutter ours; its sanitizer reports still show.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t child = 0;
        const int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << test;
            return -1;
        }
        const auto start = std::chrono::steady_clock::now();
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            Drain();
            Sleep(5);
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                ADD_FAILURE() << test << " did not end";
                return -1;
            }
        }
        // What it asked for may still be on its way through this process's queue.
        for (int i = 0; i < 20; ++i) {
            Drain();
            Sleep(5);
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(SingleInstance, SecondInstanceBringsTheFirstForwardAndEnds) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    const std::string mutexName = "standintest" + std::to_string(getpid()) + "_MUTEX";
    SetLastError(0);
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName.c_str());
    ASSERT_EQ(GetLastError(), 0u);
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
    ShowWindow(window, SW_MINIMIZE);
    Drain();
    ASSERT_TRUE(IsIconic(window));
    Calls().clear();

    EXPECT_EQ(RunSecond(mutexName, runtime.Path().string()), kBroughtForward);
    EXPECT_FALSE(IsIconic(window));
    EXPECT_EQ(GetForegroundWindow(), window);
    EXPECT_EQ(GetFocus(), window);
    bool restored = false;
    bool appActivated = false;
    for (const auto& call : Seen({WM_SIZE, WM_ACTIVATEAPP})) {
        restored = restored || (call.message == WM_SIZE && call.wParam == SIZE_RESTORED);
        appActivated = appActivated || (call.message == WM_ACTIVATEAPP && call.wParam == TRUE);
    }
    EXPECT_TRUE(restored);
    EXPECT_TRUE(appActivated);
    CloseHandle(mutex);
    standin::SetRuntimeFolder("");
}

TEST_F(SingleInstance, ProgramsWithDifferentMutexNamesRunSideBySide) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    const std::string mutexName = "standintest" + std::to_string(getpid()) + "_MUTEX";
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName.c_str());
    HWND window = MakeWindow(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE);
    ShowWindow(window, SW_MINIMIZE);
    Drain();
    EXPECT_EQ(RunSecond("other" + mutexName, runtime.Path().string()), kRanAlone);
    EXPECT_TRUE(IsIconic(window));
    // Once the first has let go of its mutex, a new one is first again.
    CloseHandle(mutex);
    EXPECT_EQ(RunSecond(mutexName, runtime.Path().string()), kRanAlone);
    standin::SetRuntimeFolder("");
}

TEST_F(SingleInstance, WithoutAWindowYetOrOverALeftOverSocket) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    const std::string mutexName = "standintest" + std::to_string(getpid()) + "_MUTEX";
    HANDLE mutex = CreateMutexA(nullptr, TRUE, mutexName.c_str());
    // The first has its mutex but no window yet.
    EXPECT_EQ(RunSecond(mutexName, runtime.Path().string()), kNoWindow);

    // A program that ended without closing its window leaves its socket behind.
    HWND window = MakeWindow(WS_POPUP | WS_VISIBLE);
    std::string socketPath;
    for (const auto& entry : std::filesystem::directory_iterator(runtime.Path())) {
        if (entry.path().extension() == ".sock") {
            socketPath = entry.path().string();
        }
    }
    ASSERT_FALSE(socketPath.empty());
    DestroyWindow(window);
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
    EXPECT_EQ(RunSecond(mutexName, runtime.Path().string()), kNoWindow);

    // The next window takes the name over.
    window = MakeWindow(WS_POPUP | WS_VISIBLE);
    SetActiveWindow(nullptr);
    EXPECT_EQ(RunSecond(mutexName, runtime.Path().string()), kBroughtForward);
    EXPECT_EQ(GetForegroundWindow(), window);
    CloseHandle(mutex);
    standin::SetRuntimeFolder("");
}

TEST_F(SingleInstance, ExitingWithTheWindowOpenEndsCleanly) {
    testing_fixtures::TempDir runtime;
    EXPECT_EQ(RunChild("ExitWithWindowOpen.Run", {"STANDIN_EXIT_WITH_WINDOW=1",
                                                  "XDG_RUNTIME_DIR=" + runtime.Path().string()}),
              0);
}

} // namespace
