// Moving tasks on a placed walker: the walk along the path its scene plans, tick by tick, with the
// directions its Lua hears; the pace from the begin hook; paths too short to walk; the direction
// rule; the object factory's tasks of type 1. Then the path grid filled from placed objects.
#include "game/world/GMovingTask.h"

#include "game/visual/GVObject.h"
#include "game/world/GBaseLogicalScene.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace gmovingtask_test {
namespace {

using visual_test::Tick;
using world_test::TWorldObjectTest;

// A game object with a path of its own, as the walking characters have.
class TWalker final : public GGameObject {
public:
    GGameObject* Clone() const override {
        auto* copy = new TWalker;
        copy->CopyFrom(*this);
        return copy;
    }
    GPathPoints* GetPathData() override { return &mPath; }

    GPathPoints mPath;
};

// Gives the walker the planned points when a walk begins; notes the ends.
class TPlanningScene : public GBaseLogicalScene {
public:
    int CalcPath(GGameObject* object, int /*mode*/) override {
        ++mPlans;
        if (object->GetPathData() != nullptr) {
            *object->GetPathData() = mPlan;
        }
        return 1;
    }
    int OnTaskEnd(GGameObject* /*object*/, int reason) override {
        mEnds.push_back(reason);
        return 0;
    }

    GPathPoints mPlan;
    int mPlans = 0;
    std::vector<int> mEnds;
};

// The begin hook answers the global pace.
const char kWalkerFunctions[] =
    "calls = ''\n"
    "pace = 300\n"
    "function walkBeginTask(d) calls = calls .. 'B' .. d .. ';' return pace end\n"
    "function walkTaskTimer(d) calls = calls .. 'T' .. d .. ';' return 0 end\n"
    "function walkEndTask(d) calls = calls .. 'E' .. d .. ';' end\n";

class MovingTaskTest : public TWorldObjectTest {
protected:
    void SetUp() override {
        TWorldObjectTest::SetUp();
        GObjectFactory::Instance().RegisterObjectCreator(
            "TWalker", []() -> GGameObject* { return new TWalker; });
        ServeImage("w.png", 8);
        ServeXml("walker", "<main id=\"walker\"><images><img name=\"w.png\"/></images>"
                           "<framelist><frame w=\"8\" h=\"8\"/></framelist></main>");
    }

    // A walker at (10, 10), depth offset 5, whose "walk" ticks every delay ms; one prototype per
    // delay.
    TWalker* PlaceWalker(int delay, const std::string& pace = "300") {
        const std::string delayText = std::to_string(delay);
        GGameObject* object =
            Place("walker" + delayText,
                  "{ class_name = 'TWalker', xml_anim = 'walker', tasks = { walk = { sub_type = 1, "
                  "tick_count = 1, delay = " +
                      delayText + " } } }",
                  "{ pos_x = 10, pos_y = 10, deltaZ = 5 }",
                  std::string(kWalkerFunctions) + "pace = " + pace);
        return static_cast<TWalker*>(object);
    }

    static void ExpectAt(GGameObject* walker, float x, float y) {
        EXPECT_NEAR(walker->GetPosition().x, x, 1e-4f);
        EXPECT_NEAR(walker->GetPosition().y, y, 1e-4f);
        EXPECT_NEAR(walker->GetVisual()->mDeltaX, x, 1e-4f);
        EXPECT_NEAR(walker->GetVisual()->mDeltaZ, y + 5.0f, 1e-4f);
    }

    TPlanningScene mScene;
};

// Steps of 3 (300 / 100) from (10, 10) down to (10, 16), then to (14, 19). The corner is reached
// from (10, 13); the direction from there to (14, 19) is down (4 across, 6 down), though from
// the corner itself it would be right (4 across, 3 down). The walk on from the corner advances
// the running point, which stayed at (10, 13): by (2.4, 1.8) along the 3-4-5 line, then by
// (1.6, 4.2) x 3 / |(1.6, 4.2)| = (1.067986, 2.803462); the rest (0.53, 1.40) is within a step.
TEST_F(MovingTaskTest, WalkStepsAlongThePathAndEndsOnTheGoal) {
    TWalker* walker = PlaceWalker(100);
    ASSERT_NE(walker, nullptr);
    mScene.mPlan = {{10.0f, 10.0f}, {10.0f, 16.0f}, {14.0f, 19.0f}};
    ASSERT_EQ(walker->AddTask("walk", &mScene, true), 1);
    auto* task = dynamic_cast<GMovingTask*>(walker->GetCurrentTask());
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->GetType(), 1);
    EXPECT_EQ(task->GetState(), GBaseSimpleTask::kRunning);
    EXPECT_EQ(task->GetStepLength(), 3.0f);
    EXPECT_EQ(Text(walker, "calls"), "B3;");
    EXPECT_EQ(walker->mPath.size(), 2u) << "the point where it stands is dropped";

    Tick(99);
    ExpectAt(walker, 10.0f, 10.0f);
    Tick(1);
    ExpectAt(walker, 10.0f, 13.0f);
    Tick(100);
    ExpectAt(walker, 10.0f, 16.0f);
    EXPECT_EQ(Text(walker, "calls"), "B3;T3;");
    Tick(100);
    ExpectAt(walker, 12.4f, 14.8f);
    Tick(100);
    ExpectAt(walker, 13.467986f, 17.603462f);
    EXPECT_EQ(Text(walker, "calls"), "B3;T3;");
    Tick(100);
    EXPECT_EQ(walker->GetPosition().x, 14.0f);
    EXPECT_EQ(walker->GetPosition().y, 19.0f);
    EXPECT_EQ(walker->GetVisual()->mDeltaZ, 24.0f);
    EXPECT_EQ(Text(walker, "calls"), "B3;T3;E3;");
    EXPECT_EQ(walker->GetCurrentTask(), nullptr);
    EXPECT_TRUE(walker->mPath.empty());
    EXPECT_EQ(mScene.mEnds, (std::vector<int>{0}));
    EXPECT_EQ(mScene.mPlans, 1);
}

TEST_F(MovingTaskTest, PathsOfFewerThanTwoPointsDoNotStart) {
    struct Case {
        const char* name;
        GPathPoints plan;
        bool withScene;
    };
    const Case cases[] = {
        {"one point", {{10.0f, 10.0f}}, true},
        {"no point", {}, true},
        {"no scene to plan", {}, false},
    };
    for (const Case& c : cases) {
        TWalker* walker = PlaceWalker(100);
        ASSERT_NE(walker, nullptr);
        TPlanningScene scene;
        scene.mPlan = c.plan;
        ASSERT_EQ(walker->AddTask("walk", c.withScene ? &scene : nullptr, false), 1) << c.name;
        EXPECT_EQ(walker->GetCurrentTask()->Start(), 0) << c.name;
        EXPECT_EQ(Text(walker, "calls"), "E0;") << c.name;
        EXPECT_EQ(walker->GetCurrentTask(), nullptr) << c.name;
        EXPECT_EQ(scene.mEnds, c.withScene ? std::vector<int>{0} : std::vector<int>{}) << c.name;
        ExpectAt(walker, 10.0f, 10.0f);
    }

    // An object without a path of its own cannot walk either.
    GGameObject* post = Place("post",
                              "{ class_name = 'GGameObject', tasks = { walk = { sub_type = 1, "
                              "tick_count = 1, delay = 100 } } }",
                              "{}", kWalkerFunctions);
    ASSERT_NE(post, nullptr);
    ASSERT_EQ(post->AddTask("walk", &mScene, true), 1);
    EXPECT_EQ(Text(post, "calls"), "E0;");
    EXPECT_EQ(post->GetCurrentTask(), nullptr);
}

TEST_F(MovingTaskTest, TheBeginHooksAnswerPerDelaySetsTheStepLength) {
    struct Case {
        int delay;
        const char* pace;
        float step;
    };
    const Case cases[] = {
        {100, "300", 3.0f},
        {100, "0", 1.0f},
        {100, "150", 1.5f},
        {100, "-50", 1.0f},
        {40, "100", 2.5f},
        // A delay below 1 counts as 1.
        {0, "0", 1.0f},
        {0, "7", 7.0f},
        {-5, "0", 1.0f},
    };
    for (const Case& c : cases) {
        TWalker* walker = PlaceWalker(c.delay, c.pace);
        ASSERT_NE(walker, nullptr);
        mScene.mPlan = {{10.0f, 10.0f}, {400.0f, 10.0f}};
        ASSERT_EQ(walker->AddTask("walk", &mScene, true), 1);
        auto* task = dynamic_cast<GMovingTask*>(walker->GetCurrentTask());
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task->GetStepLength(), c.step) << c.delay << ", " << c.pace;
        task->Finish(true);
        EXPECT_EQ(Text(walker, "calls"), "B2;E2;");
    }
}

TEST_F(MovingTaskTest, AWalkWithoutDelayKeepsFinitePositions) {
    TWalker* walker = PlaceWalker(0, "0");
    ASSERT_NE(walker, nullptr);
    mScene.mPlan = {{10.0f, 10.0f}, {10.0f, 12.5f}};
    ASSERT_EQ(walker->AddTask("walk", &mScene, true), 1);
    // Steps of 1: (10, 11), (10, 12), then the goal.
    std::vector<float> ys;
    for (int i = 0; i < 10 && walker->GetCurrentTask() != nullptr; ++i) {
        Tick(1);
        ASSERT_TRUE(std::isfinite(walker->GetPosition().x));
        ASSERT_TRUE(std::isfinite(walker->GetPosition().y));
        ys.push_back(walker->GetPosition().y);
    }
    EXPECT_EQ(ys, (std::vector<float>{11.0f, 12.0f, 12.5f}));
    EXPECT_EQ(Text(walker, "calls"), "B3;E3;");
}

TEST_F(MovingTaskTest, PausedWalkPlansAgainWhenResumed) {
    TWalker* walker = PlaceWalker(100);
    ASSERT_NE(walker, nullptr);
    mScene.mPlan = {{10.0f, 10.0f}, {10.0f, 40.0f}};
    ASSERT_EQ(walker->AddTask("walk", &mScene, true), 1);
    GBaseSimpleTask* task = walker->GetCurrentTask();
    Tick(100);
    ExpectAt(walker, 10.0f, 13.0f);
    EXPECT_EQ(task->Pause(), 1);
    Tick(500);
    ExpectAt(walker, 10.0f, 13.0f);

    // Resumed, the walk goes from where it stopped to the new plan's goal, to the left.
    mScene.mPlan = {{10.0f, 13.0f}, {4.0f, 13.0f}};
    EXPECT_EQ(task->Resume(), 1);
    EXPECT_EQ(mScene.mPlans, 2);
    EXPECT_EQ(Text(walker, "calls"), "B3;B4;");
    Tick(100);
    ExpectAt(walker, 7.0f, 13.0f);
    Tick(100);
    ExpectAt(walker, 4.0f, 13.0f);
    EXPECT_EQ(Text(walker, "calls"), "B3;B4;E4;");
    EXPECT_EQ(walker->GetCurrentTask(), nullptr);
}

TEST_F(MovingTaskTest, AWalkWhosePathWentEndsAtItsNextStep) {
    TWalker* walker = PlaceWalker(100);
    ASSERT_NE(walker, nullptr);
    mScene.mPlan = {{10.0f, 10.0f}, {10.0f, 40.0f}};
    ASSERT_EQ(walker->AddTask("walk", &mScene, true), 1);
    GBaseSimpleTask* task = walker->GetCurrentTask();
    Tick(100);
    EXPECT_EQ(task->Pause(), 1);
    // Resumed with nothing to walk: the task runs on until its next tick, and ends there.
    mScene.mPlan.clear();
    EXPECT_EQ(task->Resume(), 1);
    Tick(100);
    EXPECT_EQ(walker->GetCurrentTask(), nullptr);
    EXPECT_EQ(Text(walker, "calls"), "B3;E3;");
    ExpectAt(walker, 10.0f, 13.0f);
    EXPECT_EQ(mScene.mEnds, (std::vector<int>{0}));
}

TEST(GMovingTaskDirectionTest, TheLongerAxisWinsAndATieIsHorizontal) {
    struct Case {
        TVec2 to;
        int direction;
    };
    const Case cases[] = {
        {{5.0f, -5.0f}, GMovingTask::kRight},
        {{0.0f, 0.0f}, GMovingTask::kNone},
        {{1.0f, -3.0f}, GMovingTask::kUp},
        {{-1.0f, 3.0f}, GMovingTask::kDown},
        {{-4.0f, 4.0f}, GMovingTask::kLeft},
        {{7.0f, 0.0f}, GMovingTask::kRight},
        {{0.0f, -2.0f}, GMovingTask::kUp},
        // Differences are truncated before they are compared.
        {{0.9f, -0.9f}, GMovingTask::kNone},
        {{0.9f, 1.5f}, GMovingTask::kDown},
        {{-1.9f, 1.5f}, GMovingTask::kLeft},
    };
    const TVec2 from(100.0f, 100.0f);
    for (const Case& c : cases) {
        const TVec2 to(from.x + c.to.x, from.y + c.to.y);
        EXPECT_EQ(GMovingTask::Direction(from, to), c.direction) << c.to.x << ", " << c.to.y;
    }
}

TEST_F(MovingTaskTest, TheFactoryMakesMovingTasksForType1) {
    TWalker* walker = PlaceWalker(100);
    ASSERT_NE(walker, nullptr);
    GTaskData data;
    data.mSubType = 1;
    data.mName = "walk";
    data.mObject = walker;
    data.mDelay = 100;
    GObjectFactory& factory = GObjectFactory::Instance();
    const int counter = factory.GetTaskCounter();
    GBaseSimpleTask* task = factory.CreateTask(data, &mScene);
    ASSERT_NE(task, nullptr);
    EXPECT_NE(dynamic_cast<GMovingTask*>(task), nullptr);
    EXPECT_EQ(task->GetState(), GBaseSimpleTask::kReady);
    EXPECT_EQ(data.mTaskId, counter + 1);
    task->Destroy(true);

    data.mName = "";
    EXPECT_EQ(factory.CreateTask(data, &mScene), nullptr) << "a task needs a name";
    data.mName = "walk";
    data.mObject = nullptr;
    EXPECT_EQ(factory.CreateTask(data, &mScene), nullptr) << "and an object";
}

class PathGridFillTest : public TWorldObjectTest {};

TEST_F(PathGridFillTest, PlacedObjectsStampTheirWalkMasksAtTheirCells) {
    GPathGrid& grid = GLogicalManager::Instance().GetPathGrid();
    ASSERT_EQ(grid.GetColumns(), 40) << "sized with the game data";
    ASSERT_EQ(grid.GetRows(), 30);
    const char kMasked[] = "{ class_name = 'GGameObject', log_grid = { { 1, 2 }, { 3, 4 } } }";
    GGameObject* first = Place("first", kMasked, "{ pos_x = 30, pos_y = 50 }");
    // Snapped from (47, 61) to the centre of cell (2, 3): its one cell overwrites the first's.
    GGameObject* wall = Place("wall", "{ class_name = 'GGameObject', log_grid = { { -1 } } }",
                              "{ pos_x = 47, pos_y = 61 }");
    GGameObject* edge = Place("edge", kMasked, "{ pos_x = 790, pos_y = 590 }");
    GGameObject* plain = Place("plain", "{ class_name = 'GGameObject' }", "{ pos_x = 0 }");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(wall, nullptr);
    ASSERT_NE(edge, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(wall->GetPosition().x, 50.0f);
    EXPECT_EQ(wall->GetPosition().y, 70.0f);

    grid.Clear(7);
    grid.Fill({first, nullptr, wall, edge, plain});
    struct Cell {
        int column;
        int row;
        int value;
    };
    const Cell cells[] = {{1, 2, 1}, {2, 2, 2}, {1, 3, 3}, {2, 3, 255}, {39, 29, 1},
                          {0, 0, 0}, {3, 3, 0}, {1, 4, 0}, {38, 29, 0}};
    for (const Cell& c : cells) {
        EXPECT_EQ(grid.GetWalkValue(c.column, c.row), c.value) << c.column << ", " << c.row;
    }
    int stamped = 0;
    for (int row = 0; row < grid.GetRows(); ++row) {
        for (int column = 0; column < grid.GetColumns(); ++column) {
            stamped += grid.GetWalkValue(column, row) != 0 ? 1 : 0;
        }
    }
    EXPECT_EQ(stamped, 5);

    grid.Fill({});
    EXPECT_EQ(grid.GetWalkValue(2, 3), 0);
}

} // namespace
} // namespace gmovingtask_test
