// Ending the process: TerminateProcess on the calling process, in child processes, and the hook
// a test puts in front of it.
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A file the child leaves in the folder its parent named.
void Mark(const char* name) {
    const char* folder = std::getenv("TERMINATE_FOLDER");
    if (folder != nullptr) {
        std::ofstream(std::filesystem::path(folder) / name) << name;
    }
}

struct TMarkOnDestruction {
    ~TMarkOnDestruction() { Mark("destructor"); }
};

void MarkHook(UINT code) {
    Mark(("hook" + std::to_string(code)).c_str());
}

void ThrowingHook(UINT /*code*/) {
    throw std::runtime_error("stay");
}

// Ends itself with TERMINATE_CODE through the hook TERMINATE_HOOK names ("" none, "mark",
// "throw"). Only a throwing hook lets it reach its own end, with exit code 3.
CHILD_ENTRY(TerminateSelf) {
    static TMarkOnDestruction destruction;
    std::atexit([] { Mark("atexit"); });
    // Left in stdio's buffer, which nothing flushes before the end.
    const char* folder = std::getenv("TERMINATE_FOLDER");
    std::FILE* buffered = std::fopen((std::string(folder) + "/buffered").c_str(), "w");
    std::fputs("lost", buffered);
    const std::string hook = std::getenv("TERMINATE_HOOK");
    if (hook == "mark") {
        standin::SetTerminateHook(&MarkHook);
    } else if (hook == "throw") {
        standin::SetTerminateHook(&ThrowingHook);
    }
    const auto code = static_cast<UINT>(std::atoi(std::getenv("TERMINATE_CODE")));
    try {
        TerminateProcess(GetCurrentProcess(), code);
    } catch (const std::runtime_error&) {
        Mark("survived");
        testing_fixtures::FinishChild(3);
    }
    return 99;
}

TEST(TerminateProcess, EndsTheCallingProcessAtOnceWithTheCode) {
    struct TCase {
        const char* hook;
        int code;
        int expectedExit;
        std::vector<std::string> marks;
    };
    const TCase cases[] = {
        {"", 1, 1, {"buffered"}},
        {"", 300, 300 & 0xFF, {"buffered"}},
        {"mark", 7, 7, {"buffered", "hook7"}},
        {"throw", 7, 3, {"buffered", "survived"}},
    };
    for (const TCase& item : cases) {
        testing_fixtures::TempDir folder;
        const pid_t child =
            testing_fixtures::SpawnProcess({"/proc/self/exe", "--child=TerminateSelf"},
                                           {"TERMINATE_FOLDER=" + folder.Path().string(),
                                            std::string("TERMINATE_HOOK=") + item.hook,
                                            "TERMINATE_CODE=" + std::to_string(item.code)},
                                           1);
        EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), item.expectedExit) << item.hook;
        std::vector<std::string> marks;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
            marks.push_back(entry.path().filename().string());
        }
        std::sort(marks.begin(), marks.end());
        EXPECT_EQ(marks, item.marks) << item.hook << ": no exit-time handler, no destructor";
        EXPECT_EQ(folder.Read("buffered"), "") << item.hook << ": no stdio flushed";
    }
}

TEST(TerminateProcess, RefusesAnyOtherProcess) {
    for (HANDLE other : {static_cast<HANDLE>(nullptr), reinterpret_cast<HANDLE>(0x1234)}) {
        SetLastError(0);
        EXPECT_EQ(TerminateProcess(other, 1), FALSE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

} // namespace
