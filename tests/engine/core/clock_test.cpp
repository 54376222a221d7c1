#include "engine/core/clock.h"
#include "engine/core/enginetime.h"

#include "platform/win32/standin.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

class ClockTest : public testing::Test {
protected:
    void SetUp() override { standin::SetFakeTime(100000); }
    void TearDown() override { standin::UseRealTime(); }
};

TEST_F(ClockTest, PlatformTimeFollowsTimeGetTimeAcrossTheWrap) {
    standin::SetFakeTime(0xFFFFFFF0u);
    const uint32_t before = GetEngineTime();
    standin::AdvanceTime(0x20);
    EXPECT_EQ(GetEngineTime() - before, 0x20u);
}

enum class Op { Advance, Resume, Pause, Stop, Reset };

struct Step {
    Op op;
    int arg;      // ms to advance, or the Reset value
    int result;   // Resume's span, Pause's 1/0; ignored for the others
    int expected; // GetTime after the step
};

struct ClockCase {
    const char* name;
    std::vector<Step> steps;
};

class ClockScenario : public ClockTest, public testing::WithParamInterface<ClockCase> {};

TEST_P(ClockScenario, ReadsAsExpectedAfterEachStep) {
    TClock clock;
    int index = 0;
    for (const Step& step : GetParam().steps) {
        SCOPED_TRACE(testing::Message() << "step " << index++);
        switch (step.op) {
        case Op::Advance:
            standin::AdvanceTime(static_cast<uint32_t>(step.arg));
            break;
        case Op::Resume:
            EXPECT_EQ(clock.Resume(), step.result);
            break;
        case Op::Pause:
            EXPECT_EQ(clock.Pause() ? 1 : 0, step.result);
            break;
        case Op::Stop:
            clock.Stop();
            break;
        case Op::Reset:
            clock.Reset(step.arg);
            break;
        }
        EXPECT_EQ(clock.GetTime(), step.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClockScenario,
    testing::Values(
        ClockCase{"NewClockStaysAtZero",
                  {{Op::Advance, 5000, 0, 0}, {Op::Pause, 0, 1, 0}, {Op::Advance, 10, 0, 0}}},
        ClockCase{"FirstResumeCountsFromZero",
                  {{Op::Advance, 700, 0, 0}, {Op::Resume, 0, 0, 0}, {Op::Advance, 250, 0, 250}}},
        ClockCase{"PausedSpanIsLeftOut",
                  {{Op::Resume, 0, 0, 0},
                   {Op::Advance, 250, 0, 250},
                   {Op::Pause, 0, 0, 250},
                   {Op::Advance, 500, 0, 250},
                   {Op::Resume, 0, 500, 250},
                   {Op::Advance, 100, 0, 350},
                   {Op::Pause, 0, 0, 350},
                   {Op::Advance, 40, 0, 350},
                   {Op::Resume, 0, 40, 350},
                   {Op::Advance, 5, 0, 355}}},
        ClockCase{"SecondPauseChangesNothing",
                  {{Op::Resume, 0, 0, 0},
                   {Op::Advance, 30, 0, 30},
                   {Op::Pause, 0, 0, 30},
                   {Op::Advance, 30, 0, 30},
                   {Op::Pause, 0, 1, 30},
                   {Op::Resume, 0, 30, 30},
                   {Op::Advance, 1, 0, 31}}},
        ClockCase{"ResumeWhileRunningReturnsZero",
                  {{Op::Resume, 0, 0, 0}, {Op::Advance, 80, 0, 80}, {Op::Resume, 0, 0, 80}}},
        ClockCase{"StopThenResumeCountsFromZeroAgain",
                  {{Op::Resume, 0, 0, 0},
                   {Op::Advance, 900, 0, 900},
                   {Op::Stop, 0, 0, 0},
                   {Op::Advance, 300, 0, 0},
                   {Op::Resume, 0, 300, 0},
                   {Op::Advance, 20, 0, 20}}},
        ClockCase{"ResetWhileRunningKeepsRunning",
                  {{Op::Resume, 0, 0, 0},
                   {Op::Advance, 100, 0, 100},
                   {Op::Pause, 0, 0, 100},
                   {Op::Advance, 50, 0, 100},
                   {Op::Resume, 0, 50, 100},
                   {Op::Reset, 2000, 0, 2000},
                   {Op::Advance, 10, 0, 2010}}},
        ClockCase{"ResetWhilePausedShowsTheNewValue",
                  {{Op::Resume, 0, 0, 0},
                   {Op::Advance, 100, 0, 100},
                   {Op::Pause, 0, 0, 100},
                   {Op::Reset, -40, 0, -40},
                   {Op::Advance, 60, 0, -40},
                   {Op::Resume, 0, 60, -40},
                   {Op::Advance, 50, 0, 10}}}),
    [](const testing::TestParamInfo<ClockCase>& info) { return info.param.name; });

TEST_F(ClockTest, RunsAcrossThePlatformTimeWrap) {
    standin::SetFakeTime(0xFFFFFF00u);
    TClock clock;
    clock.Resume();
    standin::AdvanceTime(0x200);
    EXPECT_EQ(clock.GetTime(), 0x200);
}

TEST_F(ClockTest, ClockValueWrapsAsA32BitCount) {
    TClock clock;
    clock.Resume();
    clock.Reset(INT_MAX);
    standin::AdvanceTime(2);
    EXPECT_EQ(clock.GetTime(), INT_MIN + 1);
}

} // namespace
