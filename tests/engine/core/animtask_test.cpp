#include "engine/core/animtask.h"
#include "engine/core/clock.h"
#include "engine/core/enginetime.h"
#include "engine/core/tasklist.h"

#include "platform/win32/standin.h"

#include <gtest/gtest.h>

namespace {

class TCounter : public TAnimTask {
public:
    explicit TCounter(TClock* clock = nullptr, int finishAt = 0, int* calls = nullptr)
        : TAnimTask(clock), mFinishAt(finishAt), mCalls(calls) {}

    bool Animate() override {
        ++mCount;
        if (mCalls != nullptr) {
            ++*mCalls;
        }
        return mCount != mFinishAt;
    }

    int mCount = 0;

private:
    int mFinishAt; // the call that reports the task finished; 0 = never
    int* mCalls;   // outlives the task
};

constexpr uint32_t kT0 = 50000;

class AnimTaskTest : public testing::Test {
protected:
    void SetUp() override { standin::SetFakeTime(kT0); }
    void TearDown() override { standin::UseRealTime(); }
};

TEST_F(AnimTaskTest, NewTaskIsDueAtOnce) {
    TCounter task;
    EXPECT_EQ(task.GetElapsed(), 0);
    EXPECT_TRUE(task.IsReady(0));
    EXPECT_FALSE(task.IsReady(1));
}

struct DueCase {
    const char* name;
    int delay;
    bool repeat;
    bool fromNow;
    bool catchUp;
    int runAt;    // ms after the due time t = start + delay
    int finishAt; // Animate call that ends the task; 0 = never
    int animates; // Animate calls in the pass
    int nextDue;  // next due time relative to t (checked while the task lives)
};

class AnimTaskDueTest : public AnimTaskTest, public testing::WithParamInterface<DueCase> {};

TEST_P(AnimTaskDueTest, OnePass) {
    const DueCase& c = GetParam();
    TTaskList list;
    int calls = 0;
    auto* task = new TCounter(nullptr, c.finishAt, &calls);
    list.Add(task);
    // A new task is due now, so Start without fromNow counts from kT0: t = kT0 + delay.
    task->Start(c.delay, c.repeat, c.fromNow, c.catchUp);
    const int t = static_cast<int>(kT0) + c.delay;
    standin::SetFakeTime(static_cast<uint32_t>(t + c.runAt));

    list.Run(0);
    EXPECT_EQ(calls, c.animates);
    if (c.finishAt != 0 && c.animates == c.finishAt) {
        // The task reported that it finished: the list deleted it.
        EXPECT_FALSE(list.Remove(task));
    } else {
        EXPECT_EQ(task->GetElapsed(), c.runAt - c.nextDue);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AnimTaskDueTest,
    testing::Values(DueCase{"NotYetDue", 100, true, false, true, -1, 0, 0, 0},
                    DueCase{"ExactlyDue", 100, true, false, true, 0, 0, 1, 100},
                    DueCase{"DueOnTheNextBoundary", 100, true, false, true, 100, 0, 1, 100},
                    // 350 ms late: steps for t, t+100, t+200, t+300; the loop stops once the due
                    // time (t+400) is no longer below now, so t+400 is next.
                    DueCase{"CatchUp", 100, true, false, true, 350, 0, 4, 400},
                    DueCase{"CatchUpFullSecond", 100, true, false, true, 1000, 0, 10, 1000},
                    // More than a second behind: resynchronise to now and animate once.
                    DueCase{"ResyncJustPastASecond", 100, true, false, true, 1001, 0, 1, 1101},
                    DueCase{"Resync", 100, true, false, true, 1500, 0, 1, 1600},
                    DueCase{"NoCatchUpRunsOncePerPass", 100, true, false, false, 350, 0, 1, 100},
                    DueCase{"NoCatchUpResyncs", 100, true, false, false, 1500, 0, 1, 1600},
                    DueCase{"FromNowCountsFromTheStep", 100, true, true, true, 350, 0, 1, 450},
                    DueCase{"FromNowWithoutCatchUp", 100, true, true, false, 350, 0, 1, 450},
                    DueCase{"CatchUpEndsWhenAnimateFinishes", 100, true, false, true, 350, 2, 2, 0},
                    DueCase{"OneShotStaysDue", 100, false, false, true, 250, 0, 1, 0},
                    // Period 0 with catch up behind its due time: one step, no endless loop.
                    DueCase{"ZeroPeriodCatchUp", 0, true, false, true, 50, 0, 1, 0},
                    DueCase{"NegativePeriodCatchUp", -10, true, false, true, 50, 0, 1, -10}),
    [](const testing::TestParamInfo<DueCase>& info) { return info.param.name; });

TEST_F(AnimTaskTest, OneShotAnimatesOnEveryPassUntilStopped) {
    TCounter task;
    task.Start(100, false, false, false);
    standin::AdvanceTime(100);
    for (int pass = 1; pass <= 3; ++pass) {
        ASSERT_TRUE(task.IsReady(0));
        EXPECT_TRUE(task.DoTask());
        EXPECT_EQ(task.mCount, pass);
    }
    task.Stop();
    EXPECT_FALSE(task.IsReady(0));
}

TEST_F(AnimTaskTest, StartCountsFromTheDueTimeUnlessFromNowOrStopped) {
    struct Case {
        const char* name;
        bool stopFirst;
        bool fromNow;
        int elapsed; // at kT0 + 30 after Start(100) there
    };
    const Case cases[] = {
        // Due at kT0 (construction): kT0 + 100.
        {"FromDueTime", false, false, -70},
        {"FromNow", false, true, -100},
        {"FromNowWhenStopped", true, false, -100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        standin::SetFakeTime(kT0);
        TCounter task;
        standin::SetFakeTime(kT0 + 30);
        if (c.stopFirst) {
            task.Stop();
        }
        task.Start(100, false, c.fromNow, false);
        EXPECT_EQ(task.GetElapsed(), c.elapsed);
    }
}

TEST_F(AnimTaskTest, StopClearsDueTimeAndFrameFlag) {
    TCounter task;
    task.SetFrameFlag(true);
    task.Stop();
    EXPECT_EQ(task.GetElapsed(), -1);
    EXPECT_FALSE(task.IsReady(0));
    EXPECT_FALSE(task.IsReady(1));
}

TEST_F(AnimTaskTest, FrameFlagDecidesPhaseOne) {
    struct Case {
        bool frameFlag;
        bool due;
        bool phase0;
        bool phase1;
    };
    const Case cases[] = {
        {false, false, false, false},
        {false, true, true, false},
        {true, false, false, true},
        {true, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "frame " << c.frameFlag << " due " << c.due);
        standin::SetFakeTime(kT0);
        TCounter task;
        task.Start(c.due ? 0 : 500, true, false, false);
        task.SetFrameFlag(c.frameFlag);
        EXPECT_EQ(task.IsReady(0), c.phase0);
        EXPECT_EQ(task.IsReady(1), c.phase1);
    }
}

TEST_F(AnimTaskTest, FrameFlagTaskRunsInPhaseOnePasses) {
    TTaskList list;
    auto* task = new TCounter;
    list.Add(task);
    task->Start(1000, true, false, false);
    task->SetFrameFlag(true);
    list.Run(0);
    EXPECT_EQ(task->mCount, 0);
    list.Run(1);
    list.Run(1);
    EXPECT_EQ(task->mCount, 2);
}

TEST_F(AnimTaskTest, SetClockKeepsTheTaskDueInTheSameTime) {
    TClock clock;
    clock.Resume();
    clock.Reset(7000);
    TCounter task;
    task.Start(100, true, true, false);
    task.SetClock(&clock);
    EXPECT_EQ(task.GetElapsed(), -100);
    standin::AdvanceTime(99);
    EXPECT_FALSE(task.IsReady(0));
    standin::AdvanceTime(1);
    EXPECT_TRUE(task.IsReady(0));

    // And back to the platform time.
    task.SetClock(nullptr);
    EXPECT_EQ(task.GetElapsed(), 0);
}

TEST_F(AnimTaskTest, SetClockLeavesAStoppedTaskStopped) {
    TClock clock;
    clock.Resume();
    TCounter task;
    task.Stop();
    task.SetClock(&clock);
    EXPECT_EQ(task.GetElapsed(), -1);
    EXPECT_FALSE(task.IsReady(0));
}

TEST_F(AnimTaskTest, PausedClockHoldsTheTaskBack) {
    TClock clock;
    clock.Resume();
    TCounter task(&clock);
    task.Start(100, true, true, false);
    standin::AdvanceTime(50);
    clock.Pause();
    standin::AdvanceTime(500);
    EXPECT_FALSE(task.IsReady(0));
    clock.Resume();
    standin::AdvanceTime(49);
    EXPECT_FALSE(task.IsReady(0));
    standin::AdvanceTime(1);
    EXPECT_TRUE(task.IsReady(0));
}

TEST_F(AnimTaskTest, DueTimeComparesAcrossTheWrap) {
    standin::SetFakeTime(0xFFFFFFC0u); // platform time -64 as a signed clock time
    TCounter task;
    task.Start(100, true, true, true);
    standin::AdvanceTime(99);
    EXPECT_FALSE(task.IsReady(0));
    standin::AdvanceTime(1);
    EXPECT_TRUE(task.IsReady(0));
    EXPECT_TRUE(task.DoTask());
    EXPECT_EQ(task.mCount, 1);
    EXPECT_EQ(task.GetElapsed(), -100);
}

} // namespace
