// The judging objects: the places, the judging scene letting girls in with its combo count and
// enter delay, and the door with its digits, clicks and tussle countdown.
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GJudgingQueue.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "tests/game/world/judging_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TJudgingTest;

class JudgingObjectsTest : public TJudgingTest {
protected:
    static int CheckDelay(GGameObject* scene) {
        return static_cast<int>(Number(scene, "check_enter_delay"));
    }
    static std::string DoorRan(GGameObject* door) { return Text(door, "ran"); }
    static bool Shows(const GVObject* visual, const char* child, const char* state) {
        return visual->GetChild(child)->GetStateKey() == GStateKey::FromString(state);
    }
};

TEST_F(JudgingObjectsTest, TheFactoryMakesTheThreeClassesAndClonesCopyTheirDefinitions) {
    GJudgingQueue* place = AddPlace("p0", 300);
    GJudgingScene* scene = AddJudgingScene();
    GJudgingSceneDoor* door = AddDoor();
    ASSERT_NE(place, nullptr);
    ASSERT_NE(scene, nullptr);
    ASSERT_NE(door, nullptr);
    EXPECT_STREQ(place->GetClassName(), "GJudgingQueue");
    EXPECT_STREQ(scene->GetClassName(), "GJudgingScene");
    EXPECT_STREQ(door->GetClassName(), "GJudgingSceneDoor");
    EXPECT_TRUE(place->IsKindOf(GGameObject::sClassId));
    EXPECT_FALSE(place->IsKindOf(GJudgingScene::sClassId));
    EXPECT_NE(GJudgingQueue::sClassId, GJudgingSceneDoor::sClassId);
    EXPECT_EQ(Manager().GetJudgingPlaces(), std::vector<GGameObject*>{place});
    EXPECT_EQ(Manager().GetJudgingScene(), scene);
    EXPECT_EQ(Manager().GetJudgingDoor(), door);

    std::unique_ptr<GGameObject> placeCopy(place->Clone());
    EXPECT_EQ(placeCopy->GetApproachPoint(nullptr).y, 30.0f);
    std::unique_ptr<GGameObject> copy(scene->Clone());
    auto* sceneCopy = dynamic_cast<GJudgingScene*>(copy.get());
    ASSERT_NE(sceneCopy, nullptr);
    EXPECT_EQ(sceneCopy->GetEnterDelay(), 1500);
    EXPECT_EQ(sceneCopy->GetComboScores(), (std::vector<int>{5, 10}));
    EXPECT_EQ(sceneCopy->GetLandingOffset().y, 10.0f);
    std::unique_ptr<GGameObject> doorCopy(door->Clone());
    EXPECT_EQ(dynamic_cast<GJudgingSceneDoor*>(doorCopy.get())->GetCapacity(), 1);
    // The judges stand beside the stand, by the judges' offset.
    ASSERT_NE(scene->GetJudges(), nullptr);
    EXPECT_EQ(scene->GetJudges()->mDeltaX, 430.0f);
    EXPECT_EQ(scene->GetJudges()->mDeltaY, 180.0f);
}

TEST_F(JudgingObjectsTest, EnterRequestsSetTheCheckDelayAndAJudgingsEndKeepsItOrHidesTheJudges) {
    GJudgingScene* scene = AddJudgingScene();
    scene->SetEnterRequests(3);
    EXPECT_EQ(CheckDelay(scene), 15);
    scene->SetEnterRequests(0);
    EXPECT_EQ(CheckDelay(scene), 0);

    scene->SetEnterRequests(2);
    scene->SetJudgesState("judges_happy");
    scene->OnJudgingDone(0);
    EXPECT_EQ(CheckDelay(scene), 15) << "the requests decide, not the count";
    EXPECT_EQ(scene->GetJudges()->GetStateKey(), GStateKey::FromString("judges_idle"));
    EXPECT_EQ(MainText("shown"), "");

    scene->SetEnterRequests(0);
    scene->OnJudgingDone(4);
    EXPECT_EQ(CheckDelay(scene), 0);
    EXPECT_EQ(scene->GetJudges()->GetStateKey(), GStateKey::FromString("invisible"));
    EXPECT_EQ(MainText("shown"), "hide;") << "nothing was judged yet";
}

TEST_F(JudgingObjectsTest, GirlsOfOneSceneLetInOneAfterTheOtherCountTheCombo) {
    GJudgingScene* scene = AddJudgingScene();
    std::vector<GJudgingQueue*> row = AddRow(4);
    for (size_t i = 0; i < row.size(); ++i) {
        Seat(row[i], AddGirl("girl" + std::to_string(i), "judging_a"));
    }
    BeginPlay();
    scene->SetEnterRequests(4);
    struct TStep {
        int count;
        int bonus;
        int shownCount;
    };
    const TStep steps[] = {{0, 0, 0}, {1, 5, 2}, {2, 10, 3}, {2, 10, 3}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        GGameObject* girl = row[i]->GetOccupant();
        ASSERT_NE(girl, nullptr);
        scene->CPP_EnterDelayRequest();
        EXPECT_EQ(row[i]->GetOccupant(), nullptr);
        EXPECT_EQ(scene->GetOccupant(), girl) << "she stands before the judges";
        EXPECT_EQ(scene->GetLastEvent(), "judging_a");
        EXPECT_EQ(scene->GetComboCount(), steps[i].count);
        EXPECT_EQ(scene->GetComboBonus(), steps[i].bonus);
        int count = -1;
        str label;
        str key;
        EXPECT_EQ(Manager().GetJudgingComboBonus(count, label, key), steps[i].bonus);
        EXPECT_EQ(count, steps[i].shownCount);
        EXPECT_EQ(key, "judging_a");
        EXPECT_FALSE(girl->HasScene("judging_a"));
    }
    EXPECT_EQ(scene->GetEnterRequests(), 0);
}

TEST_F(JudgingObjectsTest, WithNobodyWaitingTheSceneAsksAgainWhileRequestsRemain) {
    GJudgingScene* scene = AddJudgingScene();
    AddRow(2);
    BeginPlay();
    scene->SetEnterRequests(1);
    scene->CPP_EnterDelayRequest();
    EXPECT_EQ(CheckDelay(scene), 1);
    scene->SetEnterRequests(0);
    scene->CPP_EnterDelayRequest();
    EXPECT_EQ(CheckDelay(scene), 0);
}

TEST_F(JudgingObjectsTest, DoorNumbersShowTheirDigits) {
    GJudgingSceneDoor* door = AddDoor();
    struct TCase {
        int number;
        const char* tens;
        const char* ones;
    };
    const TCase cases[] = {{7, "hide_number", "value_7"},     {45, "value_4", "value_5"},
                           {120, "value_9", "value_9"},       {99, "value_9", "value_9"},
                           {10, "value_1", "value_0"},        {0, "hide_number", "hide_number"},
                           {-3, "hide_number", "hide_number"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(door->ShowNumber(c.number), 1);
        EXPECT_TRUE(Shows(door->GetVisual(), "number1", c.tens));
        EXPECT_TRUE(Shows(door->GetVisual(), "number2", c.ones));
    }
}

TEST_F(JudgingObjectsTest, AClickOpensTheQueueOnceAndAFullDoorOnlyLosesItsActiveFlag) {
    GJudgingSceneDoor* door = AddDoor();
    BeginPlay();
    EXPECT_EQ(door->CheckClick(), 0) << "closed";
    EXPECT_TRUE(door->IsActive());

    door->OnQueueCount(1);
    EXPECT_TRUE(door->IsOpen());
    EXPECT_TRUE(door->CanAcceptGirl());
    EXPECT_EQ(door->CheckClick(), 1);
    EXPECT_EQ(door->GetEntered(), 1);
    EXPECT_FALSE(door->CanAcceptGirl());
    EXPECT_EQ(DoorRan(door), "first;possible 0;begin;");
    EXPECT_EQ(door->GetVisual()->GetStateKey(), GStateKey::FromString("close"));

    door->SetActive(true);
    door->SetVisualState("normal");
    EXPECT_EQ(door->CheckClick(), 0);
    EXPECT_FALSE(door->IsActive());
    EXPECT_EQ(door->GetEntered(), 1);
    EXPECT_EQ(DoorRan(door), "first;possible 0;begin;");
    EXPECT_EQ(door->GetVisual()->GetStateKey(), GStateKey::FromString("normal"));
    EXPECT_EQ(door->EnterQueue(), 0);

    // The queue empties after a judging: closed again, and the heroine may go.
    door->OnQueueEmptied(0);
    EXPECT_FALSE(door->IsOpen());
    EXPECT_EQ(door->GetEntered(), 0);
    EXPECT_EQ(DoorRan(door), "first;possible 0;begin;end;");
}

TEST_F(JudgingObjectsTest, ATussleDueDuringACarryWaitsForTheNextCheck) {
    GJudgingSceneDoor* door = AddDoor();
    BeginPlay();
    door->SetTussleCountdown(1);
    Manager().SetGameState(3);
    EXPECT_EQ(door->CPP_CheckTussle(0), 0);
    EXPECT_EQ(door->GetTussleCountdown(), 1);
    Manager().SetGameState(2);
    // Due now, with nobody waiting: no tussle, and no delay to wait either.
    EXPECT_EQ(door->CPP_CheckTussle(0), 1);
    EXPECT_EQ(door->GetTussleCountdown(), 0);
    EXPECT_EQ(DoorRan(door), "tick 0;");
    EXPECT_EQ(door->CPP_CheckTussle(0), 0);
}

TEST_F(JudgingObjectsTest, TussleCountdownsCountInTriggerPeriodsOrSingleTicksWithoutTriggers) {
    struct TCase {
        const char* triggers;
        int delay;
    };
    const TCase cases[] = {{"", 3}, {", triggers = { delay = 500 }", 1500}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.triggers);
        GJudgingSceneDoor* door = AddDoor(c.triggers);
        std::vector<GJudgingQueue*> row = AddRow(3);
        Seat(row[0], AddGirl("calm", "judging_a", 300));
        Seat(row[1], AddGirl("edgy", "judging_a", 100));
        BeginPlay();
        RunInScenes("tussleDelay = " + std::to_string(c.delay) + " log = ''");
        door->OnQueueCount(2);
        EXPECT_TRUE(door->IsTussleArmed());
        EXPECT_EQ(door->GetTussleCountdown(), 3);
        EXPECT_EQ(DoorRan(door), "first;possible 1;tick 3;");
        EXPECT_EQ(door->CPP_CheckTussle(0), 1);
        EXPECT_EQ(door->CPP_CheckTussle(0), 1);
        EXPECT_EQ(SceneLog(), "delay 100 0;");
        // Due: the edgiest girl quarrels with her neighbour.
        EXPECT_EQ(door->CPP_CheckTussle(0), 1);
        EXPECT_EQ(SceneLog(), "delay 100 0;delay 100 1;");
        EXPECT_EQ(door->GetTussleCountdown(), 3);
        EXPECT_EQ(DoorRan(door), "first;possible 1;tick 3;tick 3;");
        ASSERT_EQ(Manager().GetLiveScenes().size(), 1U);
        EXPECT_EQ(Manager().GetLiveScenes()[0]->GetName(), "tussle");
        Restart();
    }
}

TEST_F(JudgingObjectsTest, TakingRefusesNoGirlAndAnObjectWithoutVisual) {
    GJudgingQueue* place = AddPlace("p0", 300);
    GJudgingScene* scene = AddJudgingScene();
    auto* bare = dynamic_cast<GJudgingQueue*>(
        Add("bare", "{ class_name = 'GJudgingQueue' }", At("bare", 100, 100)));
    auto* bareScene = dynamic_cast<GJudgingScene*>(
        Add("barescene", "{ class_name = 'GJudgingScene' }", At("barescene", 100, 100)));
    ASSERT_NE(bare, nullptr);
    ASSERT_NE(bareScene, nullptr);
    GStudent* girl = AddGirl("amy", "judging_a");
    EXPECT_EQ(place->TakeObject(nullptr), 0);
    EXPECT_EQ(scene->TakeObject(nullptr), 0);
    EXPECT_EQ(bare->TakeObject(girl), 0);
    EXPECT_EQ(bareScene->TakeObject(girl), 0);
    EXPECT_EQ(girl->GetHolder(), nullptr);

    // Taken, she stands at the landing point in front of the place's visual.
    EXPECT_EQ(place->TakeObject(girl), 1);
    EXPECT_EQ(girl->GetHolder(), place);
    EXPECT_EQ(girl->GetPosition().x, 305.0f);
    EXPECT_EQ(girl->GetPosition().y, 390.0f);
    EXPECT_EQ(girl->GetVisual()->mDeltaZ, place->GetVisual()->mDeltaZ + 1.0f);
    // The stand takes her from the place, which waits again.
    EXPECT_EQ(scene->TakeObject(girl), 1);
    EXPECT_EQ(place->GetOccupant(), nullptr);
    EXPECT_EQ(scene->GetOccupant(), girl);
    EXPECT_EQ(girl->GetHolder(), scene);
}

TEST_F(JudgingObjectsTest, TheDoorReachesTheHeroineAndTheJudgingSceneOnlyWhenTheyExist) {
    GJudgingSceneDoor* door = AddDoor();
    BeginPlay();
    // Neither exists: the door's own part still happens.
    Run(door, "CPP_OnBeginGoToScene()");
    EXPECT_TRUE(door->IsBusy());
    door->OnQueueCount(0);
    door->OnQueueCount(1);
    door->OnQueueEmptied(0);
    EXPECT_FALSE(door->IsBusy());
    EXPECT_EQ(DoorRan(door), "end;first;end;");

    GGameObject* heroine = AddHeroine();
    GJudgingScene* scene = AddJudgingScene();
    ASSERT_NE(heroine, nullptr);
    scene->SetJudgesState("invisible");
    Run(door, "CPP_OnBeginGoToScene()");
    EXPECT_EQ(scene->GetJudges()->GetStateKey(), GStateKey::FromString("judges_idle"));
    EXPECT_EQ(MainText("shown"), "hide;");
    // Busy, the door passes the waiting count on to the judges.
    door->OnQueueCount(2);
    EXPECT_EQ(Number(scene, "check_enter_delay"), 15);
    EXPECT_EQ(scene->GetEnterRequests(), 2);
    door->OnQueueEmptied(0);
    EXPECT_EQ(Number(heroine, "wait_task_exit"), 1) << "she stops waiting at the door";
}

} // namespace
