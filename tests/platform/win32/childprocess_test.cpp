// The child entries of a test program, on which the tests that need a second process stand.
#include "tests/fixtures/childprocess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSawGTestVariable = 100;

// Answers the exit code it is given, unless a GTEST_ variable reached it.
CHILD_ENTRY(ChildProcessProbe) {
    if (std::getenv("GTEST_CHILDPROCESS_PROBE") != nullptr) {
        return kSawGTestVariable;
    }
    const char* code = std::getenv("CHILDPROCESS_PROBE_CODE");
    return code != nullptr ? std::atoi(code) : 0;
}

CHILD_ENTRY(ChildProcessSleeper) {
    for (;;) {
        pause();
    }
}

TEST(ChildProcess, RunsTheEntryWithTheParentsVariablesAndTheGivenOnes) {
    setenv("CHILDPROCESS_PROBE_CODE", "7", 1);
    setenv("GTEST_CHILDPROCESS_PROBE", "1", 1);
    const struct {
        std::vector<std::string> extra;
        int code;
    } cases[] = {
        {{}, 7},
        {{"CHILDPROCESS_PROBE_CODE=42"}, 42},
        {{"OTHER=1", "CHILDPROCESS_PROBE_CODE=3"}, 3},
    };
    for (const auto& c : cases) {
        const pid_t child = testing_fixtures::SpawnChild("ChildProcessProbe", c.extra);
        EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), c.code) << c.code;
    }
    unsetenv("GTEST_CHILDPROCESS_PROBE");
    unsetenv("CHILDPROCESS_PROBE_CODE");
}

TEST(ChildProcess, AnUnknownNameEndsWithItsOwnCode) {
    const pid_t child = testing_fixtures::SpawnChild("NoSuchEntry", {}, true);
    ASSERT_GT(child, 0);
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), testing_fixtures::kNoSuchChild);
}

TEST(ChildProcess, AChildThatDoesNotEndIsKilled) {
    const pid_t child = testing_fixtures::SpawnChild("ChildProcessSleeper", {});
    ASSERT_GT(child, 0);
    int waits = 0;
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 1, [&waits] { ++waits; }), -1);
    EXPECT_GT(waits, 0);
    EXPECT_EQ(kill(child, 0), -1) << "still there after the wait";
}

} // namespace
