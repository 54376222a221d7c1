// Two processes of one program: the second finds the first through the instance mutex and its
// window, brings it to the front and ends.
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"
#include "tests/platform/win32/wintest.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using wintest::Calls;

// Exit codes of the second instance.
constexpr int kBroughtForward = 0;
constexpr int kRanAlone = 10;
constexpr int kNoWindow = 11;
constexpr int kRequestFailed = 12;
constexpr int kNotNamed = 13;

// The second instance, run by the tests below as a child process: the steps of the engine's
// single-instance check with the mutex and window class names it is given.
CHILD_ENTRY(SecondInstance) {
    const char* mutexName = std::getenv("STANDIN_INSTANCE_MUTEX");
    const char* className = std::getenv("STANDIN_INSTANCE_CLASS");
    if (mutexName == nullptr || className == nullptr) {
        return kNotNamed;
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
    return code;
}

// A program may end through exit() with its window still open (the display code does so on
// fatal errors); nothing the stand-in keeps running may stand in the way.
CHILD_ENTRY(ExitWithWindowOpen) {
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
        return RunChild("SecondInstance",
                        {"STANDIN_INSTANCE_MUTEX=" + mutexName,
                         "STANDIN_INSTANCE_CLASS=StandinTestAnsi", "XDG_RUNTIME_DIR=" + runtime});
    }

    // Runs this program's child entry `name` with these variables set.
    int RunChild(const std::string& name, const std::vector<std::string>& variables) {
        const pid_t child = testing_fixtures::SpawnChild(name, variables);
        if (child < 0) {
            ADD_FAILURE() << "cannot start " << name;
            return -1;
        }
        const int code = testing_fixtures::WaitForProcess(child, 60, [this] { Drain(); });
        if (code < 0) {
            ADD_FAILURE() << name << " did not end, or was killed";
        }
        // What it asked for may still be on its way through this process's queue.
        for (int i = 0; i < 20; ++i) {
            Drain();
            Sleep(5);
        }
        return code;
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
    EXPECT_EQ(RunChild("ExitWithWindowOpen", {"XDG_RUNTIME_DIR=" + runtime.Path().string()}), 0);
}

} // namespace
