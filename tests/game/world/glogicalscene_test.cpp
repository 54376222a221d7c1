// Logical scenes from a fixture scene file: definitions, entry matching, creation, stages and
// their hooks, walks and tasks, freeing, deferral, stopping, numbering and the scene's end.
#include "game/world/GLogicalScene.h"

#include "game/common/GLogManager.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GQueueLogicalScene.h"
#include "tests/fixtures/childprocess.h"
#include "tests/game/world/scene_fixture.h"

#include <gtest/gtest.h>

namespace {

using visual_test::Tick;
using world_test::TProbe;
using world_test::TSceneTest;

// The timers tick once per pass: one pass per 100 ms.
void Ticks(int count) {
    for (int i = 0; i < count; ++i) {
        Tick(100);
    }
}

const char kScenes[] = R"(
log = ''
function note(s) log = log .. s .. ';' end
function Go() note('go') return 1 end
function Made() note('made') return 1 end
function Nothing() note('nil') end
function Text() note('text') return 'x' end
function Numeric() note('numeric') return '2' end
function StageBegin(i) note('b' .. i) return 1 end
function StageEnd(i) note('e' .. i) return 7 end
function StageStop(i) note('stop' .. i) return 0 end
function SceneEnd() note('end') return 0 end
function OnCalcPath(name) note('path ' .. name) return pathEntry end
pathEntry = 1
scenes = {
  match = { class_name = 'GLogicalScene',
            objects = { { base_type = 'girl' }, { name = 'chair1' }, { class_type = 'GInDoor' },
                        { base_type = 'girl' }, { block_on_begin = 1 }, 'skipped' },
            stages = { {} } },
  nilcreate = { class_name = 'GLogicalScene', OnCreate = 'Nothing', OnEnd = 'SceneEnd',
                objects = { { base_type = 'girl' } }, stages = { { tasks = { 'work' } } } },
  textcreate = { class_name = 'GLogicalScene', OnCreate = 'Text', OnEnd = 'SceneEnd',
                 objects = { { base_type = 'girl' } }, stages = { { tasks = { 'work' } } } },
  numericcreate = { class_name = 'GLogicalScene', OnCreate = 'Numeric',
                    objects = { { base_type = 'girl' } }, stages = { { tasks = { 'work' } } } },
  nostage = { class_name = 'GLogicalScene', OnCreate = 'Go', OnEnd = 'SceneEnd',
              objects = { { base_type = 'girl' } }, stages = {} },
  two = { class_name = 'GLogicalScene', OnCreate = 'Made', OnBegin = 'Go', OnEnd = 'SceneEnd',
          wait_personage = 1,
          objects = { { base_type = 'girl' }, { base_type = 'chair', block_on_begin = 1 } },
          stages = { { OnBegin = 'StageBegin', OnEnd = 'StageEnd', tasks = { 'work', 'long' } },
                     { OnBegin = 'StageBegin', OnEnd = 'StageEnd', tasks = { '', 'work' } } } },
  stop = { class_name = 'GLogicalScene', OnEnd = 'SceneEnd',
           objects = { { base_type = 'girl' } },
           stages = { { OnBegin = 'StageStop', OnEnd = 'StageEnd', tasks = { 'work' } } } },
  free = { class_name = 'GLogicalScene', OnEnd = 'SceneEnd',
           objects = { { base_type = 'girl' }, { base_type = 'chair' } },
           stages = { { tasks = { 'work', 'long' }, must_free = { 5 } } } },
  walk = { class_name = 'GLogicalScene',
           objects = { { base_type = 'girl' }, { base_type = 'chair' } },
           stages = { { tasks = { 'work', '@chair1' } } } },
  refused = { class_name = 'GLogicalScene', OnEnd = 'SceneEnd',
              objects = { { base_type = 'girl' } }, stages = { { tasks = { 'unknown' } } } },
  queue = { class_name = 'GQueueLogicalScene', OnBegin = 'Go' },
  noobjects = { class_name = 'GLogicalScene', stages = {} },
  nostages = { class_name = 'GLogicalScene', objects = {} },
  noclass = { objects = {}, stages = {} },
  unknownclass = { class_name = 'GNoScene', objects = {}, stages = {} },
  notatable = 'two',
}
)";

class LogicalSceneTest : public TSceneTest {
protected:
    void SetUp() override {
        TSceneTest::SetUp();
        LoadScenes(kScenes);
        mGirl = Make("girl1", "girl");
        mGirl2 = Make("girl2", "girl");
        mChair = Make("chair1", "chair");
        mDoor = Make("door1", "door", "GInDoor");
        ASSERT_NE(mGirl, nullptr);
        ASSERT_NE(mGirl2, nullptr);
        ASSERT_NE(mChair, nullptr);
        ASSERT_NE(mDoor, nullptr);
    }

    static GLogicalScene* Prototype(const char* name) {
        return dynamic_cast<GLogicalScene*>(GObjectFactory::Instance().FindScenePrototype(name));
    }
    static GBaseLogicalScene* Create(const char* name, GGameObject* object, GGameObject* target,
                                     bool begin = true) {
        return GLogicalManager::Instance().CreateScene(name, object, target, begin, false);
    }

    GGameObject* mGirl = nullptr;
    GGameObject* mGirl2 = nullptr;
    GGameObject* mChair = nullptr;
    GGameObject* mDoor = nullptr;
};

TEST_F(LogicalSceneTest, DefinitionsGivePrototypesOnlyWithObjectsStagesAndAKnownClass) {
    GObjectFactory& factory = GObjectFactory::Instance();
    for (const char* name : {"noobjects", "nostages", "noclass", "unknownclass", "notatable"}) {
        EXPECT_EQ(factory.FindScenePrototype(name), nullptr) << name;
        EXPECT_EQ(Create(name, mGirl, nullptr), nullptr) << name;
    }
    GLogicalScene* two = Prototype("two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->GetNumber(), 0);
    EXPECT_EQ(two->GetName(), "two");
    EXPECT_EQ(two->GetOnCreate(), "Made");
    EXPECT_EQ(two->GetOnBegin(), "Go");
    EXPECT_EQ(two->GetOnEnd(), "SceneEnd");
    EXPECT_TRUE(two->WaitsForPersonage());
    ASSERT_EQ(two->GetEntries().size(), 2u);
    EXPECT_EQ(two->GetEntries()[1].mBlockOnBegin, 1);
    ASSERT_EQ(two->GetStages().size(), 2u);
    EXPECT_EQ(two->GetStages()[1].mTasks, (std::vector<str>{"", "work"}));

    GLogicalScene* match = Prototype("match");
    ASSERT_NE(match, nullptr);
    // The entry without a key and the element that is no table are skipped.
    ASSERT_EQ(match->GetEntries().size(), 4u);
    EXPECT_EQ(match->GetEntries()[0].mKind, GLogicalScene::kBaseType);
    EXPECT_EQ(match->GetEntries()[1].mKind, GLogicalScene::kObjectName);
    EXPECT_EQ(match->GetEntries()[2].mKind, GLogicalScene::kClassType);
    EXPECT_FALSE(Prototype("free")->WaitsForPersonage());
    EXPECT_EQ(Prototype("free")->GetStages()[0].mMustFree, (std::vector<int32_t>{5}));

    auto* queue = dynamic_cast<GQueueLogicalScene*>(factory.FindScenePrototype("queue"));
    ASSERT_NE(queue, nullptr);
    EXPECT_EQ(queue->GetOnBegin(), "Go");
}

TEST_F(LogicalSceneTest, EntriesTakeTheFirstMatchingFreeObjectInEntryOrder) {
    GLogicalScene* match = Prototype("match");
    ASSERT_NE(match, nullptr);
    GGameObject* girl3 = Make("girl3", "girl");
    EXPECT_EQ(match->AddObject(mDoor), 2);
    EXPECT_EQ(match->AddObject(mGirl), 0);
    EXPECT_EQ(match->AddObject(mChair), 1);
    EXPECT_EQ(match->AddObject(mGirl2), 3);
    EXPECT_EQ(match->AddObject(girl3), -1) << "both girl entries are taken";
    EXPECT_EQ(match->AddObject(Make("chair2", "chair")), -1) << "by name, not base type";
    EXPECT_EQ(match->AddObject(nullptr), -1);
    EXPECT_TRUE(match->IsFull());
    EXPECT_EQ(match->IndexOfObject(mGirl2), 3);
    EXPECT_EQ(match->GetObject(4), nullptr);
    EXPECT_EQ(match->GetObject(-1), nullptr);
    match->ClearObjects();
    EXPECT_EQ(match->GetFilledCount(), 0);
    EXPECT_EQ(match->GetObject(0), nullptr);
}

TEST_F(LogicalSceneTest, CanAcceptWithUndoLeavesTheSceneAsItWas) {
    GLogicalScene* match = Prototype("match");
    ASSERT_EQ(match->AddObject(mGirl), 0);
    struct Case {
        GGameObject* object;
        int accepted;
    };
    for (const Case& c : {Case{mGirl2, 1}, Case{mChair, 1}, Case{Make("other", "other"), 0}}) {
        EXPECT_EQ(match->CanAccept(c.object, true), c.accepted);
        EXPECT_EQ(match->GetFilledCount(), 1);
        EXPECT_EQ(match->GetObject(0), mGirl);
        for (int i = 1; i < 4; ++i) {
            EXPECT_EQ(match->GetObject(i), nullptr);
        }
    }
    EXPECT_EQ(match->CanAccept(mChair, false), 1);
    EXPECT_EQ(match->GetObject(1), mChair);
}

TEST_F(LogicalSceneTest, ScenesWhoseCreationStopsCloseAtOnceAndHandNothingBack) {
    struct Case {
        const char* scene;
        const char* log;
    };
    for (const Case& c : {Case{"nilcreate", "nil;end;"}, Case{"textcreate", "text;end;"},
                          Case{"nostage", "go;end;"}}) {
        RunInScenes("log = ''");
        EXPECT_EQ(Create(c.scene, mGirl, nullptr), nullptr) << c.scene;
        EXPECT_EQ(SceneText("log"), c.log) << c.scene;
        EXPECT_EQ(LiveCount(), 0u);
        EXPECT_FALSE(mGirl->IsBlocked()) << "released again";
        EXPECT_EQ(GLogicalManager::Instance().GetCurrentScene(), nullptr);
    }
    RunInScenes("log = ''");
    GBaseLogicalScene* numeric = Create("numericcreate", mGirl, nullptr, false);
    EXPECT_NE(numeric, nullptr) << "a numeric string reads as its number";
    EXPECT_EQ(LiveCount(), 1u);
}

TEST_F(LogicalSceneTest, StagesRunInOrderAndTheSceneClosesAfterTheLast) {
    GBaseLogicalScene* scene = Create("two", mGirl, mChair);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(mGirl->IsBlocked());
    EXPECT_TRUE(mChair->IsBlocked()) << "blocked at begin";
    EXPECT_EQ(SceneText("log"), "made;go;b0;");
    EXPECT_EQ(scene->GetStageIndex(), 0);
    EXPECT_TRUE(scene->HasNextStage());
    ASSERT_NE(mGirl->GetCurrentTask(), nullptr);
    EXPECT_EQ(mGirl->GetCurrentTask()->GetState(), GBaseSimpleTask::kRunning);
    EXPECT_EQ(mChair->GetCurrentTask()->GetName(), "long");
    EXPECT_EQ(scene->GetTasks().size(), 2u);

    Ticks(3);
    EXPECT_EQ(SceneText("log"), "made;go;b0;") << "the chair's task still runs";
    Ticks(2);
    EXPECT_EQ(SceneText("log"), "made;go;b0;e0;b1;");
    EXPECT_EQ(scene->GetStageIndex(), 1);
    EXPECT_EQ(mGirl->GetCurrentTask(), nullptr) << "no task for the girl in stage 1";
    Ticks(3);
    EXPECT_EQ(SceneText("log"), "made;go;b0;e0;b1;e1;end;");
    EXPECT_EQ(LiveCount(), 0u);
    EXPECT_FALSE(mGirl->IsBlocked());
    EXPECT_FALSE(mChair->IsBlocked());
}

TEST_F(LogicalSceneTest, AStageWhoseBeginStopsRunsItsEndAndCloses) {
    EXPECT_EQ(Create("stop", mGirl, nullptr), nullptr);
    EXPECT_EQ(SceneText("log"), "stop0;e0;end;");
    EXPECT_EQ(mGirl->GetCurrentTask(), nullptr);
    EXPECT_EQ(LiveCount(), 0u);
}

TEST_F(LogicalSceneTest, RefusedTasksAreNotCountedAndTheStageWaits) {
    GBaseLogicalScene* scene = Create("refused", mGirl, nullptr);
    ASSERT_NE(scene, nullptr);
    auto* general = static_cast<GLogicalScene*>(scene);
    EXPECT_EQ(general->GetPendingTasks(), 0);
    Ticks(10);
    EXPECT_EQ(LiveCount(), 1u);
    scene->FinishStage();
    EXPECT_EQ(LiveCount(), 0u);
    EXPECT_EQ(SceneText("log"), "end;");
}

TEST_F(LogicalSceneTest, WalksAndTasksAreAddedBeforeAnyStarts) {
    auto* chair = dynamic_cast<TProbe*>(mChair);
    ASSERT_NE(chair, nullptr);
    chair->mWatch = mGirl;
    GBaseLogicalScene* scene = Create("walk", mGirl, mChair);
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(chair->mWalks, (std::vector<std::string>{"walk/chair1"}));
    EXPECT_EQ(chair->mWalkListener, scene);
    EXPECT_FALSE(chair->mWalkAtFront) << "the hold flag";
    EXPECT_EQ(chair->mWatchedState, GBaseSimpleTask::kReady) << "added, not yet started";
    EXPECT_EQ(static_cast<GLogicalScene*>(scene)->GetPendingTasks(), 2);
    ASSERT_NE(mGirl->GetCurrentTask(), nullptr);
    EXPECT_EQ(mGirl->GetCurrentTask()->GetState(), GBaseSimpleTask::kRunning);
}

TEST_F(LogicalSceneTest, MustFreeReleasesTheObjectWhoseTaskEnded) {
    GBaseLogicalScene* scene = Create("free", mGirl, mChair);
    ASSERT_NE(scene, nullptr);
    Ticks(3);
    EXPECT_EQ(scene->GetObject(0), nullptr) << "the girl's task ended";
    EXPECT_FALSE(mGirl->IsBlocked());
    EXPECT_EQ(scene->GetObject(1), mChair);
    EXPECT_TRUE(mChair->IsBlocked());
    EXPECT_EQ(static_cast<GLogicalScene*>(scene)->GetFilledCount(), 2) << "the count stays";
    Ticks(2);
    EXPECT_EQ(LiveCount(), 0u);
    EXPECT_FALSE(mChair->IsBlocked());
}

TEST_F(LogicalSceneTest, RetainedScenesBeginAtTheLastRelease) {
    GBaseLogicalScene* scene = Create("two", mGirl, mChair, false);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->Retain(), 1);
    EXPECT_EQ(scene->Retain(), 2);
    EXPECT_EQ(scene->Begin(), 1);
    EXPECT_EQ(scene->Release(), 1);
    EXPECT_EQ(SceneText("log"), "made;");
    EXPECT_EQ(scene->Release(), 0);
    EXPECT_EQ(SceneText("log"), "made;go;b0;");
    EXPECT_EQ(scene->Release(), 0);
}

TEST_F(LogicalSceneTest, CopiesAreNumberedOverTheRunAcrossReloads) {
    const int before = GObjectFactory::Instance().GetSceneCounter();
    GBaseLogicalScene* first = Create("two", mGirl, mChair, false);
    GBaseLogicalScene* second = Create("queue", mGirl2, nullptr, false);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetNumber(), before + 1);
    EXPECT_EQ(second, nullptr) << "the queue placement refuses";
    EXPECT_EQ(GObjectFactory::Instance().GetSceneCounter(), before + 2);

    GObjectFactory::Instance().Clear(false, true);
    EXPECT_EQ(GObjectFactory::Instance().FindScenePrototype("two"), nullptr);
    LoadScenes(kScenes);
    EXPECT_EQ(LiveCount(), 0u) << "loading deletes the live scenes";
    GBaseLogicalScene* third = Create("two", mGirl2, mChair, false);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->GetNumber(), before + 3);
    // A known name with a definition still gives a copy.
    std::unique_ptr<TLuaTable> definition(Table("{ class_name = 'GLogicalScene', objects = {}, "
                                                "stages = {} }"));
    GBaseLogicalScene* copy = GObjectFactory::Instance().GetScene("two", definition.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetNumber(), before + 4);
    delete copy;
}

TEST_F(LogicalSceneTest, StopAndCloseRemovesQueuedTasksThroughTheirObject) {
    GBaseLogicalScene* scene = Create("two", mGirl, mChair, false);
    ASSERT_NE(scene, nullptr);
    ASSERT_EQ(mGirl->QueueTask("work", scene, false), 1);
    ASSERT_EQ(mChair->AddTask("long", scene, true), 1);
    EXPECT_EQ(scene->GetTasks().size(), 2u);
    scene->StopAndClose();
    EXPECT_EQ(LiveCount(), 0u);
    EXPECT_EQ(mGirl->GetCurrentTask(), nullptr);
    EXPECT_EQ(mChair->GetCurrentTask(), nullptr);
    // The next task changes of both objects reach no deleted task or scene.
    ASSERT_EQ(mGirl->AddTask("work", nullptr, true), 1);
    Ticks(3);
    mChair->DestroyTasks();
    EXPECT_EQ(SceneText("log"), "made;end;");
}

TEST_F(LogicalSceneTest, ScenesForgetAnObjectThatIsDeleted) {
    GBaseLogicalScene* first = Create("two", mGirl, mChair, false);
    GBaseLogicalScene* second = Create("walk", mGirl2, mChair, false);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    GLogicalManager::Instance().ForgetObject(mChair);
    EXPECT_EQ(first->IndexOfObject(mChair), -1);
    EXPECT_EQ(second->IndexOfObject(mChair), -1);
    mObjects.erase(std::find_if(mObjects.begin(), mObjects.end(),
                                [this](const auto& o) { return o.get() == mChair; }));
    mChair = nullptr;
    first->StopAndClose();
    second->StopAndClose();
    EXPECT_EQ(LiveCount(), 0u);
}

TEST_F(LogicalSceneTest, StopScenesOfClosesEveryScenesTheObjectFills) {
    ASSERT_NE(Create("two", mGirl, mChair, false), nullptr);
    ASSERT_NE(Create("walk", mGirl2, mChair, false), nullptr);
    GBaseLogicalScene* other = Create("nilcreate", mGirl, nullptr);
    EXPECT_EQ(other, nullptr);
    ASSERT_EQ(LiveCount(), 2u);
    EXPECT_FALSE(GLogicalManager::Instance().StopScenesOf(mDoor));
    EXPECT_TRUE(GLogicalManager::Instance().StopScenesOf(mChair));
    EXPECT_EQ(LiveCount(), 0u);
}

// The game log keeps its file open from its first record on: the case runs in a process of its
// own. 0 when the creation and destruction lines are there, else 1.
class TChildSceneLog : public LogicalSceneTest {
public:
    int Run() {
        SetUp();
        GetLogManager()->SetModuleWriter("Logical", GLogManager::kCsvWriter);
        GBaseLogicalScene* scene = Create("two", mGirl, mChair, false);
        // The queue placement refuses: created, never destroyed.
        const bool refused = Create("queue", mGirl2, nullptr) == nullptr;
        if (scene != nullptr) {
            scene->StopAndClose();
        }
        GetLogManager()->SetModuleWriter("Logical", GLogManager::kNullWriter);
        const std::string log = mFolder.Read("debug_log.csv");
        TearDown();
        int code = scene != nullptr && refused ? 0 : 1;
        for (const char* line :
             {";Debug;Logical;scene two created!;.\\GLogicalManager.cpp;287;",
              ";Debug;Logical;scene queue created!;.\\GLogicalManager.cpp;287;",
              ";Debug;Logical;scene two destroyed!;.\\GLogicalManager.cpp;416;"}) {
            if (log.find(line) == std::string::npos) {
                code = 1;
            }
        }
        if (log.find("scene queue destroyed!") != std::string::npos) {
            code = 1;
        }
        return code;
    }

private:
    void TestBody() override {}
};

CHILD_ENTRY(SceneLogLines) {
    auto* test = new TChildSceneLog;
    const int code = test->Run();
    delete test;
    return code;
}

TEST(LogicalScene, CreationAndDestructionGoToTheGameLog) {
    const pid_t child = testing_fixtures::SpawnChild("SceneLogLines", {});
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 0);
}

TEST_F(LogicalSceneTest, CalcPathWalksToTheEntryTheHookNames) {
    auto* girl = dynamic_cast<TProbe*>(mGirl);
    GBaseLogicalScene* scene = Create("two", mGirl, mChair, false);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(scene->CalcPath(mGirl, 0), 1);
    EXPECT_EQ(SceneText("log"), "made;path two;");
    ASSERT_FALSE(girl->mPath.empty());
    EXPECT_NEAR(girl->mPath.back().x, 110, 20) << "the approach point with walk mode clear";
    scene->SetWalkMode(true);
    EXPECT_EQ(scene->CalcPath(mGirl, 0), 1);
    EXPECT_NEAR(girl->mPath.back().x, 710, 20) << "the landing point";
    RunInScenes("pathEntry = -1");
    girl->mPath.clear();
    EXPECT_EQ(scene->CalcPath(mGirl, 0), 0);
    EXPECT_TRUE(girl->mPath.empty());
}

} // namespace
