// Child processes: the Windows splitting of a command line, CreateProcessA starting this test
// program as one of its child entries, the exit code read while it runs and after, and a handle
// closed while the child still runs.
#include "platform/win32/spawn.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using TArgs = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRules) {
    struct TCase {
        const char* line;
        TArgs arguments;
    };
    const TCase cases[] = {
        {"", {}},
        {" \t ", {}},
        {"ostrevan.exe assets/scripts/stages/stages.lua 0 1",
         {"ostrevan.exe", "assets/scripts/stages/stages.lua", "0", "1"}},
        {"  a\t b  ", {"a", "b"}},
        // The program name: quotes group and go, backslashes are plain.
        {"\"C:\\Program Files\\a.exe\" x", {"C:\\Program Files\\a.exe", "x"}},
        {"a\"b c\"d e", {"ab cd", "e"}},
        {"a\\\"b c", {"a\\b c"}},
        {"\"\" x", {"", "x"}},
        // The arguments.
        {"p \"a b\" c", {"p", "a b", "c"}},
        {"p \"\" \"\"", {"p", "", ""}},
        {"p a\\\\b", {"p", "a\\\\b"}},
        {"p a\\\"b", {"p", "a\"b"}},
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},
        {"p \"a\\\\\" b", {"p", "a\\", "b"}},
        {"p \"a\"\"b\" c", {"p", "a\"b", "c"}},
        {"p \"open", {"p", "open"}},
        {"p x\"y z\"w", {"p", "xy zw"}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(standin::SplitCommandLine(c.line), c.arguments) << c.line;
    }
    EXPECT_EQ(standin::SplitCommandLine(nullptr), TArgs{});
}

// Notes its arguments in CREATEPROCESS_FOLDER/args, one a line, waits until the file "release"
// appears there and ends with CREATEPROCESS_CODE.
CHILD_ENTRY(CreateProcessChild) {
    const fs::path folder = std::getenv("CREATEPROCESS_FOLDER");
    std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
    std::string arguments((std::istreambuf_iterator<char>(cmdline)), {});
    for (char& c : arguments) {
        c = c == '\0' ? '\n' : c;
    }
    std::ofstream(folder / "args.tmp") << arguments;
    fs::rename(folder / "args.tmp", folder / "args");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(folder / "release")) {
        if (std::chrono::steady_clock::now() > end) {
            return 99;
        }
        usleep(2000);
    }
    return std::atoi(std::getenv("CREATEPROCESS_CODE"));
}

class CreateProcess : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("CREATEPROCESS_FOLDER", mFolder.Path().c_str(), 1);
        setenv("CREATEPROCESS_CODE", "7", 1);
    }
    void TearDown() override {
        unsetenv("CREATEPROCESS_FOLDER");
        unsetenv("CREATEPROCESS_CODE");
    }

    bool Start(std::string line, PROCESS_INFORMATION& info) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.wShowWindow = 1;
        return CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE,
                              CREATE_DEFAULT_ERROR_MODE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                              &startup, &info) == TRUE;
    }

    // Waits for a condition that a child brings about; false after a minute.
    template <typename TCondition>
    static bool WaitFor(TCondition condition) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            usleep(2000);
        }
        return true;
    }

    static DWORD ExitCode(HANDLE process) {
        DWORD code = 0;
        EXPECT_EQ(GetExitCodeProcess(process, &code), TRUE);
        return code;
    }

    void Release() const { mFolder.Write("release", ""); }

    testing_fixtures::TempDir mFolder;
};

TEST_F(CreateProcess, StartsTheProgramWithTheSplitArgumentsAndReadsItsExitCode) {
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(Start("/proc/self/exe --child=CreateProcessChild \"a b\" c\\\"d \"\"", info));
    EXPECT_NE(info.dwProcessId, 0u);
    EXPECT_EQ(WaitForInputIdle(info.hProcess, INFINITE), 0u);
    EXPECT_EQ(CloseHandle(info.hThread), TRUE);
    ASSERT_TRUE(WaitFor([this] { return fs::exists(mFolder.Path() / "args"); }));
    EXPECT_EQ(mFolder.Read("args"), "/proc/self/exe\n--child=CreateProcessChild\na b\nc\"d\n\n");
    EXPECT_EQ(ExitCode(info.hProcess), STILL_ACTIVE) << "waiting for its release";

    Release();
    ASSERT_TRUE(WaitFor([&] { return ExitCode(info.hProcess) != STILL_ACTIVE; }));
    EXPECT_EQ(ExitCode(info.hProcess), 7u);
    EXPECT_EQ(ExitCode(info.hProcess), 7u) << "read again";
    EXPECT_EQ(CloseHandle(info.hProcess), TRUE);
}

TEST_F(CreateProcess, AProgramThatCannotStartFails) {
    for (const char* line : {"ostrevan.exe assets/scripts/stages/stages.lua 0 1",
                             "/no/such/folder/program x", "", "   "}) {
        PROCESS_INFORMATION info{};
        SetLastError(0);
        EXPECT_FALSE(Start(line, info)) << line;
        EXPECT_EQ(info.hProcess, nullptr) << line;
    }
}

TEST_F(CreateProcess, OnlyAChildsHandleIsAnswered) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    for (HANDLE other : {static_cast<HANDLE>(nullptr), GetCurrentProcess(), event}) {
        DWORD code = 0;
        SetLastError(0);
        EXPECT_EQ(GetExitCodeProcess(other, &code), FALSE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(WaitForInputIdle(other, 0), WAIT_FAILED);
    }
    CloseHandle(event);
}

// Closing the handle forgets the child but does not end it: it runs to its own end.
TEST_F(CreateProcess, AChildWhoseHandleIsClosedRunsOn) {
    setenv("CREATEPROCESS_CODE", "0", 1);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(Start("/proc/self/exe --child=CreateProcessChild", info));
    const auto child = static_cast<pid_t>(info.dwProcessId);
    EXPECT_EQ(CloseHandle(info.hThread), TRUE);
    EXPECT_EQ(CloseHandle(info.hProcess), TRUE);
    ASSERT_TRUE(WaitFor([this] { return fs::exists(mFolder.Path() / "args"); }));
    EXPECT_EQ(kill(child, 0), 0) << "still running";
    Release();
    // The stand-in's own waiter collects it: no zombie stays behind.
    EXPECT_TRUE(WaitFor([child] { return kill(child, 0) != 0; }));
}

} // namespace
