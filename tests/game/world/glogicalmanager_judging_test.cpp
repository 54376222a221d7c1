// The logical manager's rules for the row of judging places: placements that move the row, the
// combo numbers along it, tussles between neighbours, the podium request, the end of a judging,
// the judges' score display and the judging door's clicks and drops.
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GLevel.h"
#include "tests/game/world/judging_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TJudgingTest;

class JudgingOrderTest : public TJudgingTest {
protected:
    // The row from a pattern, one letter a girl of that name waiting for "judging_a", '-' an empty
    // place; play begins.
    void BuildRow(const std::string& pattern) {
        std::vector<GJudgingQueue*> row = AddRow(static_cast<int>(pattern.size()));
        for (size_t i = 0; i < pattern.size(); ++i) {
            if (pattern[i] != '-') {
                Seat(row[i], AddGirl(std::string(1, pattern[i]), "judging_a"));
            }
        }
        BeginPlay();
    }

    static std::string RowText() {
        std::string text;
        for (const std::string& name : Row()) {
            text += name;
        }
        return text;
    }

    GGameObject* Find(const std::string& name) {
        for (GGameObject* object : Level()->GetObjects()) {
            if (object->GetName() == name.c_str()) {
                return object;
            }
        }
        return nullptr;
    }
};

TEST_F(JudgingOrderTest, GirlsContinuingTheJudgedKindCountOnAndOthersRestart) {
    GJudgingScene* scene = AddJudgingScene();
    AddRow(4);
    BeginPlay();
    JudgeInARow(scene, 3, "judging_a");
    ASSERT_EQ(scene->GetComboCount(), 2);
    ASSERT_EQ(scene->GetLastEvent(), "judging_a");

    const char* const kinds[] = {"judging_a", "judging_a", "judging_b", "judging_a"};
    std::vector<GStudent*> girls;
    for (size_t i = 0; i < 4; ++i) {
        girls.push_back(AddGirl("w" + std::to_string(i), kinds[i]));
        Seat(Manager().GetJudgingPlaces()[i], girls.back());
    }
    Main("CPP_CheckComboNumbers()");
    EXPECT_EQ(Shown(girls[0]), 4);
    EXPECT_EQ(Shown(girls[1]), 5);
    EXPECT_EQ(Shown(girls[2]), 0);
    EXPECT_EQ(Shown(girls[3]), 0);
}

TEST_F(JudgingOrderTest, AFreshRunShowsFromItsSecondGirlAndShortNamesNeverContinue) {
    struct TCase {
        std::vector<const char*> scenes;
        std::vector<int> shown;
    };
    const TCase cases[] = {
        {{"judging_a", "judging_a"}, {0, 2}},
        {{"judging_", "judging_"}, {0, 0}},
        {{"judging_a", "judging_", "judging_a"}, {0, 0, 0}},
        {{"judging_a", nullptr, "judging_a", "judging_a"}, {0, -1, 2, 3}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.scenes.size());
        AddJudgingScene();
        std::vector<GJudgingQueue*> row = AddRow(static_cast<int>(c.scenes.size()));
        std::vector<GStudent*> girls;
        for (size_t i = 0; i < c.scenes.size(); ++i) {
            girls.push_back(c.scenes[i] != nullptr ? AddGirl("g" + std::to_string(i), c.scenes[i])
                                                   : nullptr);
            if (girls.back() != nullptr) {
                Seat(row[i], girls.back());
            }
        }
        BeginPlay();
        Manager().RefreshComboNumbers(false);
        for (size_t i = 0; i < girls.size(); ++i) {
            if (girls[i] != nullptr) {
                EXPECT_EQ(Shown(girls[i]), c.shown[i]) << i;
            }
        }
        Restart();
    }
}

TEST_F(JudgingOrderTest, PlacingOnAnOccupiedPlaceMovesTheRowTowardAFreePlace) {
    struct TCase {
        const char* row;
        const char* girl; // a new girl's name, or one of the row
        int place;        // the place dropped on, or -1 for the girl of the next field
        const char* onGirl;
        const char* after;
        bool placed;
    };
    const TCase cases[] = {
        {"ab--", "x", 0, "", "xab-", true},  {"-ab-", "x", 1, "", "-xab", true},
        {"a-bc", "x", 2, "", "abxc", true},  {"ab--", "x", -1, "b", "axb-", true},
        {"abc-", "c", 0, "", "cab-", true},  {"abcd", "d", 0, "", "dabc", true},
        {"abcd", "x", 1, "", "abcd", false}, {"a---", "x", 2, "", "a-x-", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.row) + " " + c.girl + " " + std::to_string(c.place));
        BuildRow(c.row);
        RunInScenes("log = ''");
        GGameObject* girl = Find(c.girl);
        if (girl == nullptr) {
            girl = AddGirl(c.girl, "judging_a");
        }
        GGameObject* target = c.place >= 0
                                  ? Manager().GetJudgingPlaces()[static_cast<size_t>(c.place)]
                                  : Find(c.onGirl);
        Manager().SetGameState(3);
        EXPECT_EQ(Manager().OnDrop(girl, target), c.placed ? 1 : 0);
        EXPECT_EQ(RowText(), c.after);
        EXPECT_EQ(SceneLog(), c.placed ? "placed;" : "");
        EXPECT_EQ(Manager().GetGameState(), 2);
        Restart();
    }
}

TEST_F(JudgingOrderTest, DraggingOverTheRowShowsWhereTheGirlsWouldGoAndTheirNumbers) {
    AddJudgingScene();
    std::vector<GJudgingQueue*> row = AddRow(3);
    GStudent* a = AddGirl("a", "judging_a");
    GStudent* b = AddGirl("b", "judging_b");
    Seat(row[0], a);
    Seat(row[1], b);
    GStudent* x = AddGirl("x", "judging_a");
    BeginPlay();
    const auto standsAt = [](GGameObject* girl, GGameObject* place) {
        return girl->GetPosition().x == place->GetPosition().x + 5.0f &&
               girl->GetPosition().y == place->GetPosition().y - 10.0f;
    };
    ASSERT_EQ(Manager().OnGrab(x), 1);
    ASSERT_TRUE(Manager().IsQueuePreviewOn());
    EXPECT_EQ(Manager().OnDragOver(x, row[0]), 1);
    // x would stand first: a and b shown one place on, a continuing x's run.
    EXPECT_TRUE(standsAt(a, row[1]));
    EXPECT_TRUE(standsAt(b, row[2]));
    EXPECT_EQ(Shown(x), 0);
    EXPECT_EQ(Shown(a), 2);
    EXPECT_EQ(Shown(b), 0);
    EXPECT_EQ(RowText(), "ab-") << "only shown";
    Manager().OnDragLeave(x, row[0]);
    EXPECT_TRUE(standsAt(a, row[0]));
    EXPECT_TRUE(standsAt(b, row[1]));
    EXPECT_EQ(Manager().OnDragOver(x, Find("a")), 0) << "a girl is no place";
    Manager().OnDragEnd(x);
    EXPECT_FALSE(Manager().IsQueuePreviewOn());

    // A girl of the row dragged over another place leaves hers only for the preview.
    ASSERT_EQ(Manager().OnGrab(b), 1);
    EXPECT_EQ(Manager().OnDragOver(b, row[0]), 1);
    EXPECT_TRUE(standsAt(a, row[1])) << "into the place b left";
    EXPECT_EQ(row[1]->GetOccupant(), b);
    EXPECT_EQ(b->GetHolder(), row[1]);
    Manager().OnDrop(b, nullptr);
    EXPECT_EQ(RowText(), "ab-");

    // A girl who leaves during a preview is forgotten by it too (ASan).
    ASSERT_EQ(Manager().OnGrab(x), 1);
    EXPECT_EQ(Manager().OnDragOver(x, row[0]), 1);
    EXPECT_EQ(row[1]->GetPreviewOccupant(), a);
    EXPECT_EQ(Manager().RemoveObject(a, true), 1);
    EXPECT_EQ(row[1]->GetPreviewOccupant(), nullptr);
    EXPECT_EQ(row[1]->GetPlacedGirl(), nullptr);
    Manager().RefreshComboNumbers(true);
    EXPECT_EQ(Shown(b), 0);
}

TEST_F(JudgingOrderTest, MakingRoomRefusesAFullRowAndPlacesOutsideIt) {
    BuildRow("abc");
    EXPECT_FALSE(Manager().MakeRoomAt(Manager().GetJudgingPlaces()[1]));
    EXPECT_EQ(RowText(), "abc");
    EXPECT_FALSE(Manager().MakeRoomAt(Find("a")));
    EXPECT_FALSE(Manager().MakeRoomAt(nullptr));
    EXPECT_TRUE(Manager().AllPlacesOccupied());
    EXPECT_EQ(Manager().FirstFreePlace(), nullptr);
    EXPECT_EQ(Manager().CountQueuedGirls(), 3);
}

TEST_F(JudgingOrderTest, AGirlOfTheRowPutOnAGirlOutsideItStaysInHerPlace) {
    GJudgingScene* scene = AddJudgingScene();
    AddRow(2);
    BeginPlay();
    Seat(Manager().GetFirstQueuePlace(), AddGirl("y", "judging_a"));
    scene->SetEnterRequests(1);
    scene->CPP_EnterDelayRequest();
    GGameObject* y = scene->GetOccupant();
    ASSERT_NE(y, nullptr);
    GStudent* x = AddGirl("x", "judging_a");
    Seat(Manager().GetJudgingPlaces()[1], x);
    // Her target's holder, the stand, is no place of the row: nobody moves and she stays.
    EXPECT_EQ(Manager().CreateScene("judging_a", x, y, true, false), nullptr);
    EXPECT_EQ(RowText(), "-x");
    EXPECT_EQ(scene->GetOccupant(), y);
}

TEST_F(JudgingOrderTest, ATusslePairsAGirlWithTheNextOrOnTheLastPlaceThePreviousGirl) {
    BuildRow("abc");
    EXPECT_EQ(Manager().StartTussle(3), 0);
    EXPECT_EQ(Manager().StartTussle(-1), 0);
    ASSERT_EQ(Manager().StartTussle(2), 1);
    ASSERT_EQ(Manager().GetLiveScenes().size(), 1U);
    GBaseLogicalScene* tussle = Manager().GetLiveScenes()[0];
    EXPECT_EQ(tussle->GetObject(0), Find("c"));
    EXPECT_EQ(tussle->GetObject(1), Find("b"));
    // The place further left (smaller x) comes first: the last place.
    EXPECT_EQ(tussle->GetObject(2), Manager().GetJudgingPlaces()[2]);
    EXPECT_EQ(tussle->GetObject(3), Manager().GetJudgingPlaces()[1]);
    // Both quarrel now: neither can start another.
    EXPECT_EQ(Manager().StartTussle(1), 0);
    Restart();

    BuildRow("ab-c");
    ASSERT_EQ(Manager().StartTussle(0), 1);
    EXPECT_EQ(Manager().GetLiveScenes()[0]->GetObject(1), Find("b"));
    EXPECT_EQ(Manager().StartTussle(3), 0) << "no neighbour";
}

TEST_F(JudgingOrderTest, TheCandidateIsTheLowestPoiseUpToTheLimit) {
    std::vector<GJudgingQueue*> row = AddRow(4);
    Seat(row[0], AddGirl("a", "judging_a", 350));
    Seat(row[1], AddGirl("b", "judging_a", 200));
    Seat(row[2], AddGirl("c", "judging_a", 200));
    BeginPlay();
    int poise = -1;
    EXPECT_EQ(Manager().FindTussleCandidate(400, poise), 1) << "the first of equals";
    EXPECT_EQ(poise, 200);
    EXPECT_EQ(Manager().FindTussleCandidate(150, poise), -1);
    EXPECT_EQ(poise, 0);
    RunInScenes("tussleDelay = 1234");
    EXPECT_EQ(Manager().GetTussleDelay(-1), 1234);
    EXPECT_EQ(SceneLog(), "delay 200 -1;");
}

TEST_F(JudgingOrderTest, APodiumRequestDuringACarryWaitsForTheDropAndCompactsWithoutBlessing) {
    GGameObject* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    BuildRow("-a-b");
    GGameObject* carried = AddGirl("x", "judging_a");
    heroine->SetVisualState("normal");
    Manager().SetCarriedObject(carried);
    Manager().SetGameState(3);
    Main("CPP_OnEnterPodium(1)");
    EXPECT_EQ(RowText(), "-a-b");
    EXPECT_TRUE(Manager().IsPodiumRequested());
    Manager().OnDrop(carried, nullptr);
    EXPECT_EQ(RowText(), "ab--");
    EXPECT_FALSE(Manager().IsPodiumRequested());
    EXPECT_EQ(heroine->GetVisual()->GetStateKey(), GStateKey::FromString("normal"));
    Restart();

    // Outside a carry the row closes up at once, and with the flag the heroine blesses; without
    // a heroine nobody does.
    BuildRow("-a-b");
    Main("CPP_OnEnterPodium(1)");
    EXPECT_EQ(RowText(), "ab--");
    Restart();
    heroine = AddHeroine();
    BuildRow("-a-b");
    Main("CPP_OnEnterPodium(0)");
    EXPECT_EQ(RowText(), "ab--");
    EXPECT_EQ(heroine->GetVisual()->GetStateKey(), GStateKey::FromString("normal"));
    Restart();
    heroine = AddHeroine();
    BuildRow("-a-b");
    Main("CPP_OnEnterPodium(1)");
    EXPECT_EQ(RowText(), "ab--");
    EXPECT_EQ(heroine->GetVisual()->GetStateKey(), GStateKey::FromString("bless"));
}

TEST_F(JudgingOrderTest, TheJudgesShowTheScoreAndTheGirlsLipsFollowHerMakeUp) {
    GJudgingScene* scene = AddJudgingScene();
    AddRow(1);
    GStudent* girl = AddGirl("amy", "judging_a");
    BeginPlay();
    struct TCase {
        int makeup;
        const char* lips;
    };
    for (const TCase& c :
         {TCase{12, "lips_smile_01"}, TCase{7, "lips_smile_07"}, TCase{0, "lips_smile_01"}}) {
        SCOPED_TRACE(c.makeup);
        Run(girl, "CPP_ApplyMakeup(" + std::to_string(c.makeup) + ")");
        RunInScenes("card = 0 log = ''");
        Manager().ShowJudgesScore(girl, 30);
        EXPECT_EQ(Text(girl, "judging_lips_state"), c.lips);
        EXPECT_EQ(Text(girl, "judging_particles_state"), "particles_smile");
        EXPECT_EQ(SceneLog(), "state 30;");
        EXPECT_EQ(scene->GetJudges()->GetStateKey(), GStateKey::FromString("judges_3_score_7"));
    }
}

TEST_F(JudgingOrderTest, JudgesPointsCarryTheComboBonusToTheJudgesAndTheScore) {
    GJudgingScene* scene = AddJudgingScene();
    AddRow(1);
    BeginPlay();
    JudgeInARow(scene, 1, "judging_a");
    Seat(Manager().GetFirstQueuePlace(), AddGirl("amy", "judging_a"));
    scene->SetEnterRequests(1);
    scene->CPP_EnterDelayRequest();
    auto* amy = dynamic_cast<GStudent*>(scene->GetOccupant());
    ASSERT_NE(amy, nullptr);
    ASSERT_EQ(scene->GetComboCount(), 1);
    RunInScenes("card = 0 log = ''");
    const int score = Level()->GetScore();
    Run(amy, "CPP_AddFlyScore(30, 1)");
    EXPECT_EQ(SceneLog(), "state 35;") << "the judges react to the points and the bonus";
    EXPECT_EQ(Level()->GetComboBonus(), 5);
    EXPECT_EQ(Level()->GetScore(), score + 35);
    // Without the judges only the score and the bonus.
    RunInScenes("log = ''");
    Run(amy, "CPP_AddFlyScore(10, 0)");
    EXPECT_EQ(SceneLog(), "");
    EXPECT_EQ(Level()->GetComboBonus(), 10);
}

TEST_F(JudgingOrderTest, AnEndedJudgingSendsTheGirlRoundAgainOrRemovesHerAsServed) {
    struct TCase {
        const char* lifeCycle;
        bool stays;
    };
    for (const TCase& c : {TCase{"'judging_a', 'judging_b'", true}, TCase{"'judging_a'", false}}) {
        SCOPED_TRACE(c.lifeCycle);
        GJudgingScene* scene = AddJudgingScene();
        std::vector<GJudgingQueue*> row = AddRow(2);
        auto* girl = dynamic_cast<GStudent*>(
            Add("amy",
                "{ class_name = 'GStudent', base_type = 'singer', xml_anim = 'girl', "
                "script_name = 'scripts/girl.lua', scenes = { 'judging_a', 'judging_b' }, "
                "tasks = { work = { tick_count = 50, delay = 100 } } }",
                std::string("{ name = 'amy', life_cycle = { ") + c.lifeCycle + " } }"));
        ASSERT_NE(girl, nullptr);
        girl->AddScene("judging_a", false);
        Seat(row[0], girl);
        Seat(row[1], AddGirl("bea", "judging_a"));
        BeginPlay();
        Level()->AddJudgingsPending(2 - Level()->GetJudgingsPending());
        scene->SetEnterRequests(1);
        scene->CPP_EnterDelayRequest();
        ASSERT_EQ(Manager().GetLiveScenes().size(), 1U);
        GBaseLogicalScene* judging = Manager().GetLiveScenes()[0];
        ASSERT_EQ(judging->GetObject(0), girl);
        mHooks.calls.clear();
        Manager().SetCurrentScene(judging);
        Main("CPP_OnEndJudging()");
        EXPECT_EQ(Level()->GetJudgingsPending(), 1);
        EXPECT_EQ(mHooks.calls.front(), "judging count");
        EXPECT_EQ(Level()->GetGirlsServed(), c.stays ? 0 : 1);
        if (c.stays) {
            EXPECT_EQ(Find("amy"), girl);
        } else {
            // Deleted: neither the stand nor her scene keeps her.
            EXPECT_EQ(Find("amy"), nullptr);
            EXPECT_EQ(scene->GetOccupant(), nullptr);
            EXPECT_EQ(judging->GetObject(0), nullptr);
        }
        // One still waits: the judges stay for her.
        EXPECT_EQ(scene->GetJudges()->GetStateKey(), GStateKey::FromString("invisible"));
        Restart();
    }
}

TEST_F(JudgingOrderTest, TheDoorIsClickedWithAHeroineAndTakesDropsWhilePlacesAreFree) {
    GJudgingSceneDoor* door = AddDoor();
    BuildRow("a-");
    door->OnQueueCount(1);
    EXPECT_EQ(Manager().OnObjectClick(door, false), 0) << "no heroine";

    GGameObject* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    mHooks.calls.clear();
    EXPECT_EQ(Manager().OnObjectClick(door, false), 1);
    EXPECT_EQ(SceneLog(), "door;");
    EXPECT_EQ(mHooks.calls, std::vector<std::string>{"tutorial click door"});
    EXPECT_EQ(Manager().OnObjectClick(door, false), 0) << "one group per opening";

    // A girl dropped on the door goes to the first free place.
    GGameObject* x = AddGirl("x", "judging_a");
    Manager().SetGameState(3);
    EXPECT_EQ(Manager().OnDrop(x, door), 1);
    EXPECT_EQ(RowText(), "ax");
    // With every place taken the carry still ends and the row stays.
    GGameObject* y = AddGirl("y", "judging_a");
    Manager().SetGameState(3);
    EXPECT_EQ(Manager().OnDrop(y, door), 0);
    EXPECT_EQ(Manager().GetGameState(), 2);
    EXPECT_EQ(RowText(), "ax");
    EXPECT_EQ(y->GetHolder(), nullptr);
}

} // namespace
