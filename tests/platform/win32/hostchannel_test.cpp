// The host channel: a window of another process, named by its handle number, that holds one of
// ours. The host here is the stand-in's host side in this process; the game's side reaches it
// only through the socket, as it would reach another process.
#include "platform/win32/runtimefolder.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"
#include "tests/platform/win32/wintest.h"

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using standin::THostWindow;

// Far above the handles the stand-in hands out to this process's windows.
constexpr std::uintptr_t kHostHandle = 0x5A000100;

class HostChannel : public wintest::TWindowTest {
protected:
    void SetUp() override {
        TWindowTest::SetUp();
        ASSERT_TRUE(mHost.Open(kHostHandle, 800, 600));
    }

    void TearDown() override {
        mHost.Close();
        TWindowTest::TearDown();
    }

    HWND Host() const { return mHost.Handle(); }

    // A window of ours created as a child of the host, as the game's main window is.
    HWND MakeHosted() {
        HWND window = CreateWindowExA(0, "StandinTestAnsi", "hosted", WS_CHILD | WS_VISIBLE, 0, 0,
                                      480, 360, Host(), nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr);
        return window;
    }

    THostWindow mHost;
};

TEST_F(HostChannel, IsWindowWhileTheHostListens) {
    EXPECT_EQ(Host(), reinterpret_cast<HWND>(kHostHandle));
    EXPECT_TRUE(IsWindow(Host()));
    EXPECT_FALSE(IsWindow(reinterpret_cast<HWND>(kHostHandle + 1)));
    mHost.Close();
    EXPECT_FALSE(IsWindow(Host()));
    // A handle nobody listens under reaches nothing.
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(Host(), WM_USER, 1, 2));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(HostChannel, MessagesArriveInOrderWithTheirParameters) {
    EXPECT_TRUE(PostMessageA(Host(), WM_USER, 0x64726F57, 0x00002179));
    EXPECT_EQ(SendMessageA(Host(), WM_USER + 2, 5, -1), 0);
    EXPECT_TRUE(PostMessageA(Host(), WM_USER, 0xFFFFFFFFu, 0x7FFFFFFF));
    const auto messages = mHost.TakeMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(messages[0].wParam, 0x64726F57u);
    EXPECT_EQ(messages[0].lParam, 0x00002179);
    EXPECT_EQ(messages[1].message, static_cast<UINT>(WM_USER + 2));
    EXPECT_EQ(messages[1].wParam, 5u);
    EXPECT_EQ(messages[1].lParam, -1);
    EXPECT_EQ(messages[2].wParam, 0xFFFFFFFFu);
    EXPECT_EQ(messages[2].lParam, 0x7FFFFFFF);
    EXPECT_TRUE(mHost.TakeMessages().empty());
}

TEST_F(HostChannel, ClientRectIsTheHostsSize) {
    RECT client{1, 2, 3, 4};
    ASSERT_TRUE(GetClientRect(Host(), &client));
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    EXPECT_EQ(client.right, 800);
    EXPECT_EQ(client.bottom, 600);
    mHost.Close();
    EXPECT_FALSE(GetClientRect(Host(), &client));
}

TEST_F(HostChannel, AHandleIsHeldByOneHostAtATime) {
    THostWindow second;
    EXPECT_FALSE(second.Open(kHostHandle, 1, 1));
    EXPECT_FALSE(second.Open(0, 1, 1));
    mHost.Close();
    EXPECT_TRUE(second.Open(kHostHandle, 1, 1));
    EXPECT_TRUE(IsWindow(Host()));
}

TEST_F(HostChannel, HostedWindowHasTheHostAsParentAndHearsFromIt) {
    HWND window = MakeHosted();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(window), Host());
    EXPECT_EQ(mHost.AttachedCount(), 1);
    Drain();
    ASSERT_EQ(mHost.Post(WM_USER, 7, 0), 1);
    ASSERT_EQ(mHost.Post(WM_USER, 2, 9), 1);
    // Already queued when Post returned: no waiting.
    std::vector<std::pair<WPARAM, LPARAM>> heard;
    for (const MSG& message : Drain()) {
        if (message.message == WM_USER) {
            EXPECT_EQ(message.hwnd, window);
            heard.emplace_back(message.wParam, message.lParam);
        }
    }
    EXPECT_EQ(heard, (std::vector<std::pair<WPARAM, LPARAM>>{{7, 0}, {2, 9}}));
    // The procedure saw them as well.
    EXPECT_EQ(Seen({WM_USER}).size(), 2u);
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_EQ(mHost.AttachedCount(), 0);
    EXPECT_EQ(mHost.Post(WM_USER, 7, 0), 0);
}

TEST_F(HostChannel, HostGoingAwayLeavesTheWindowAndEndsIsWindow) {
    HWND window = MakeHosted();
    ASSERT_NE(window, nullptr);
    mHost.Close();
    EXPECT_FALSE(IsWindow(Host()));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(GetParent(window), Host());
    EXPECT_TRUE(DestroyWindow(window));
}

TEST_F(HostChannel, NoChildOfAHostThatIsGone) {
    mHost.Close();
    SetLastError(0);
    EXPECT_EQ(CreateWindowExA(0, "StandinTestAnsi", "hosted", WS_CHILD, 0, 0, 10, 10, Host(),
                              nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(HostChannel, AHostThatEndedWithoutClosingLeavesNoWindow) {
    mHost.Close();
    // A host process that died leaves its socket file with nobody listening.
    char number[24];
    std::snprintf(number, sizeof number, "%llx", static_cast<unsigned long long>(kHostHandle));
    const std::string path = standin::detail::RuntimeFileName("host", number, ".sock");
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);
    EXPECT_FALSE(IsWindow(Host()));
    EXPECT_FALSE(PostMessageA(Host(), WM_USER, 1, 2));
    // A new host takes the handle over.
    ASSERT_TRUE(mHost.Open(kHostHandle, 10, 10));
    EXPECT_TRUE(IsWindow(Host()));
}

// Exit codes of the game side run in a child process.
constexpr int kGameHeardTheHost = 0;
constexpr int kGameNoHost = 20;
constexpr int kGameNoWindow = 21;
constexpr int kGamePostFailed = 22;
constexpr int kGameHeardNothing = 23;

// The game's side in a process of its own: checks the host named by its handle number, creates
// its window inside it, posts one message and waits for the host's event 7.
CHILD_ENTRY(HostedGame) {
    const char* handle = std::getenv("STANDIN_HOST_HANDLE");
    unsigned number = 0;
    if (handle == nullptr || std::sscanf(handle, "%x", &number) != 1) {
        return kGameNoHost;
    }
    HWND host = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number));
    if (!IsWindow(host)) {
        return kGameNoHost;
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.lpszClassName = "StandinHostedGame";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "StandinHostedGame", "game", WS_CHILD | WS_VISIBLE, 0, 0, 64,
                                  48, host, nullptr, nullptr, nullptr);
    if (window == nullptr || GetParent(window) != host) {
        return kGameNoWindow;
    }
    if (!PostMessageA(host, WM_USER, 0x1234, 0x5678)) {
        return kGamePostFailed;
    }
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_USER && message.hwnd == window && message.wParam == 7) {
                DestroyWindow(window);
                return kGameHeardTheHost;
            }
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
    return kGameHeardNothing;
}

// Starts the game of HostedGame in a process of its own, talking to the host window `handle`,
// and waits up to 30 s for what the host hears first.
pid_t SpawnHostedGame(THostWindow& host, std::uintptr_t handle,
                      const testing_fixtures::TempDir& runtime,
                      std::vector<THostWindow::TMessage>* heard) {
    char number[24];
    std::snprintf(number, sizeof number, "%llx", static_cast<unsigned long long>(handle));
    const pid_t child =
        testing_fixtures::SpawnChild("HostedGame", {std::string("STANDIN_HOST_HANDLE=") + number,
                                                    "XDG_RUNTIME_DIR=" + runtime.Path().string()});
    if (child <= 0) {
        return child;
    }
    const auto start = std::chrono::steady_clock::now();
    while (heard->empty() && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        *heard = host.TakeMessages();
        usleep(5000);
    }
    return child;
}

TEST(HostChannelAcrossProcesses, TheGameInAnotherProcessTalksToItsHost) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    THostWindow host;
    ASSERT_TRUE(host.Open(kHostHandle + 2, 64, 48));

    // The game's message says its window is attached; then the host answers.
    std::vector<THostWindow::TMessage> heard;
    const pid_t child = SpawnHostedGame(host, kHostHandle + 2, runtime, &heard);
    ASSERT_GT(child, 0);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(heard[0].wParam, 0x1234u);
    EXPECT_EQ(heard[0].lParam, 0x5678);
    EXPECT_EQ(host.Post(WM_USER, 7, 0), 1);
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), kGameHeardTheHost);
    host.Close();
    standin::SetRuntimeFolder("");
}

// A game that is slow to take the host's message (a loaded machine, a debugger) keeps its link:
// the message is counted once it is queued, and the next one reaches the game as well. The stop
// may come while the game still waits for the host's answer to its own message, which must
// survive it too.
TEST(HostChannelAcrossProcesses, AGameSlowToAnswerKeepsItsLink) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    THostWindow host;
    ASSERT_TRUE(host.Open(kHostHandle + 3, 64, 48));
    std::vector<THostWindow::TMessage> heard;
    const pid_t child = SpawnHostedGame(host, kHostHandle + 3, runtime, &heard);
    ASSERT_GT(child, 0);
    ASSERT_EQ(heard.size(), 1u);
    // The game is held still longer than any answer used to be waited for.
    ASSERT_EQ(kill(child, SIGSTOP), 0);
    std::thread resume([child] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        kill(child, SIGCONT);
    });
    EXPECT_EQ(host.Post(WM_USER, 8, 0), 1);
    resume.join();
    EXPECT_EQ(host.Post(WM_USER, 7, 0), 1);
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), kGameHeardTheHost);
    host.Close();
    standin::SetRuntimeFolder("");
}

} // namespace
