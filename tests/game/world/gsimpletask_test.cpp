// Simple tasks on a placed object: their Lua hooks in order, the end after the last tick, a failed
// begin, pause and resume, the task list's rules for adding and queueing, the listener's view and
// the task times.
#include "game/world/GSimpleTask.h"

#include "game/world/GBaseLogicalScene.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using visual_test::Tick;
using world_test::TWorldObjectTest;

// Notes what a scene hears of its tasks.
class TRecordingScene : public GBaseLogicalScene {
public:
    void AddTask(GBaseSimpleTask* task) override { Note("add", task); }
    void RemoveTask(GBaseSimpleTask* task) override { Note("remove", task); }
    int OnTaskEnd(GGameObject* /*object*/, int reason) override {
        mJournal.push_back("end " + std::to_string(reason));
        return 7;
    }

    void Note(const char* what, GBaseSimpleTask* task) {
        mJournal.push_back(std::string(what) + " " + task->GetName().CStr());
    }

    std::vector<std::string> mJournal;
};

const char kTaskType[] = "{ class_name = 'GGameObject', tasks = { "
                         "work = { tick_count = 3, delay = 100 }, "
                         "fail = { tick_count = 2, delay = 50 }, "
                         "zero = { tick_count = 0, delay = 40 }, "
                         "odd = { sub_type = 2, tick_count = 1, delay = 10 }, "
                         "'not a task' } }";

const char kTaskFunctions[] =
    "calls = ''\n"
    "function workBeginTask(r) calls = calls .. 'B' .. r .. ';' return 1 end\n"
    "function workTaskTimer(n) calls = calls .. 'T' .. n .. ';' return 1 end\n"
    "function workEndTask(r) calls = calls .. 'E' .. r .. ';' return 0 end\n"
    "function failBeginTask(r) calls = calls .. 'b' .. r .. ';' return 0 end\n"
    "function failTaskTimer(n) return 1 end\n"
    "function failEndTask(r) calls = calls .. 'e' .. r .. ';' end\n";

class SimpleTaskTest : public TWorldObjectTest {
protected:
    void SetUp() override {
        TWorldObjectTest::SetUp();
        mObject = Place("worker", kTaskType, "{}", kTaskFunctions);
        ASSERT_NE(mObject, nullptr);
    }

    std::string Calls() const { return Text(mObject, "calls"); }

    GGameObject* mObject = nullptr;
    TRecordingScene mScene;
};

TEST_F(SimpleTaskTest, TaskRunsItsTicksAndEndsAfterTheLastWhateverLuaAnswers) {
    ASSERT_EQ(mObject->AddTask("work", &mScene, true), 1);
    GBaseSimpleTask* task = mObject->GetCurrentTask();
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->GetType(), 0);
    EXPECT_EQ(task->GetState(), GBaseSimpleTask::kRunning);
    EXPECT_EQ(Calls(), "B0;");
    Tick(99);
    EXPECT_EQ(Calls(), "B0;");
    Tick(1);
    Tick(100);
    EXPECT_EQ(Calls(), "B0;T1;T2;");
    Tick(100);
    EXPECT_EQ(Calls(), "B0;T1;T2;T3;E0;");
    EXPECT_EQ(mObject->GetCurrentTask(), nullptr);
    EXPECT_EQ(mScene.mJournal, (std::vector<std::string>{"add work", "remove work", "end 0"}));
    Tick(100);
    EXPECT_EQ(Calls(), "B0;T1;T2;T3;E0;");
}

TEST_F(SimpleTaskTest, BeginAnsweringZeroEndsTheTaskAtStart) {
    ASSERT_EQ(mObject->AddTask("fail", &mScene, true), 1);
    EXPECT_EQ(Calls(), "b0;e0;");
    EXPECT_EQ(mObject->GetCurrentTask(), nullptr);
    EXPECT_EQ(mScene.mJournal, (std::vector<std::string>{"add fail", "remove fail", "end 0"}));
}

TEST_F(SimpleTaskTest, PauseResumePauseLeavesTheTaskPaused) {
    ASSERT_EQ(mObject->AddTask("work", nullptr, false), 1);
    GBaseSimpleTask* task = mObject->GetCurrentTask();
    EXPECT_EQ(task->GetState(), GBaseSimpleTask::kReady);
    EXPECT_EQ(task->Pause(), 0) << "not running";
    EXPECT_EQ(task->Resume(), 0);
    EXPECT_EQ(mObject->StartCurrentTask(), 1);
    EXPECT_EQ(task->Start(), 0) << "started once";

    EXPECT_EQ(task->Pause(), 1);
    EXPECT_EQ(task->Pause(), 0);
    EXPECT_EQ(task->GetState(), GBaseSimpleTask::kPaused);
    Tick(500);
    EXPECT_EQ(Calls(), "B0;") << "no ticks while paused";
    EXPECT_EQ(task->Resume(), 1);
    EXPECT_EQ(task->GetState(), GBaseSimpleTask::kResumed);
    EXPECT_EQ(task->Pause(), 1);
    EXPECT_EQ(task->GetState(), GBaseSimpleTask::kPaused);
    EXPECT_EQ(Calls(), "B0;B1;");

    EXPECT_EQ(task->Resume(), 1);
    Tick(100);
    EXPECT_EQ(Calls(), "B0;B1;B1;T1;");
    EXPECT_EQ(task->Finish(true), 1);
    EXPECT_EQ(Calls(), "B0;B1;B1;T1;E1;");
    EXPECT_EQ(mObject->GetCurrentTask(), nullptr);
}

TEST_F(SimpleTaskTest, TaskQueuedAtTheFrontSurvivesTheEndOfTheRunningOne) {
    ASSERT_EQ(mObject->AddTask("work", &mScene, true), 1);
    GBaseSimpleTask* running = mObject->GetCurrentTask();
    EXPECT_EQ(mObject->AddTask("fail", &mScene, false), -1);
    EXPECT_EQ(mObject->GetTasks().size(), 1u);

    ASSERT_EQ(mObject->QueueTask("fail", &mScene, true), 1);
    ASSERT_EQ(mObject->QueueTask("work", nullptr, false), 1);
    GBaseSimpleTask* queued = mObject->GetCurrentTask();
    ASSERT_NE(queued, running);
    EXPECT_TRUE(queued->IsQueued());
    EXPECT_FALSE(running->IsQueued());
    EXPECT_EQ(mObject->GetTasks().back()->GetName(), "work");

    for (int i = 0; i < 3; ++i) {
        Tick(100);
    }
    EXPECT_EQ(Calls(), "B0;T1;T2;T3;E0;");
    ASSERT_EQ(mObject->GetTasks().size(), 2u);
    EXPECT_EQ(mObject->GetCurrentTask(), queued);
    EXPECT_EQ(queued->GetState(), GBaseSimpleTask::kReady);
    EXPECT_EQ(mScene.mJournal,
              (std::vector<std::string>{"add work", "add fail", "remove work", "end 0"}));

    EXPECT_EQ(queued->RemoveFromObject(), 1);
    EXPECT_EQ(mObject->GetTasks().size(), 1u);
    mObject->DestroyTasks();
    EXPECT_TRUE(mObject->GetTasks().empty());
    EXPECT_EQ(mScene.mJournal.back(), "remove fail");
}

// Moving tasks (type 1) are made too: their tests walk an object along a path.
TEST_F(SimpleTaskTest, OnlyTasksOfKnownNamesAndTypesAreMade) {
    EXPECT_EQ(mObject->AddTask("missing", nullptr, true), 0);
    EXPECT_EQ(mObject->AddTask("odd", nullptr, true), 0);
    EXPECT_EQ(mObject->QueueTask("odd", nullptr, true), 0);
    EXPECT_EQ(mObject->FindTaskData("not a task"), nullptr);
    EXPECT_TRUE(mObject->GetTasks().empty());
}

TEST_F(SimpleTaskTest, TaskTimesSplitOverTheTicks) {
    struct TCase {
        const char* step;
        const char* task;
        int result;
        int time;
    };
    // "work" has 3 ticks of 100 ms, "zero" no ticks and a delay of 40 ms.
    const TCase cases[] = {
        {"set 1000", "work", 333, 999}, {"scale 0.5", "work", 166, 498},
        {"scale 3", "work", 498, 1494}, {"set 2", "work", 0, 0},
        {"set 500", "zero", 40, 0},     {"scale 2", "zero", 0, 0},
        {"set 500", "missing", 0, 0},   {"scale 2", "missing", 0, 0},
    };
    for (const TCase& c : cases) {
        const std::string step = c.step;
        int result = 0;
        if (step.rfind("set ", 0) == 0) {
            result = mObject->SetTaskTime(c.task, std::stoi(step.substr(4)));
        } else {
            result = mObject->ScaleTaskTime(c.task, std::stof(step.substr(6)));
        }
        EXPECT_EQ(result, c.result) << c.step << " " << c.task;
        EXPECT_EQ(mObject->GetTaskTime(c.task), c.time) << c.step << " " << c.task;
    }
}

} // namespace
