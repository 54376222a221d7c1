// The personages and the heroine: their touch-up values and the actions their scripts add, the end
// of the upgrade phase for bought and unbought objects, the start of the current task blocked for
// its target, the turn toward a girl, the heroine's speed power and blessings, her numbered jobs
// and her walk around a wall.
#include "game/world/GMainHeroine.h"

#include "game/world/GBaseSimpleTask.h"
#include "game/world/GMStr_Chair.h"
#include "game/world/GMStr_Edit.h"
#include "game/world/GMStr_UpgradeButton.h"
#include "game/world/GPacifierObject.h"
#include "game/world/GPersonage.h"
#include "game/world/GSeat.h"
#include "tests/game/world/level_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace gpersonage_test {
namespace {

using visual_test::Tick;
using world_test::TFixtureGirl;
using world_test::TLevelTest;

// The game-data script: the helper's level 1 shortens its touch-up and makes it faster; the speed
// power runs at 9 for 2 seconds. Only "helper" and "box" are on sale.
const char kGameData[] = R"(
Upgrades = { objects = {
  { name = 'helper', { level = 1, upgrade_level = 0, start_command = 'started = (started or 0) + 1' } },
  { name = 'seat1', { level = 1, upgrade_level = 0 } },
  { name = 'box', { level = 1, upgrade_level = 0 } },
} }
function GetUpgradeDataParam(name, level, parameter)
  asked = (asked or '') .. name .. level .. parameter .. ';'
  if level == 1 and parameter == 'touchup_time' then return 600 end
  if level == 1 and parameter == 'speed' then return 7 end
  return 0
end
function GetPowerData(power, parameter)
  if power == 'energy_boost' and parameter == 'speed' then return 9 end
  if power == 'energy_boost' and parameter == 'action_time' then return boostTime or 2 end
  return 0
end
)";

// Its touch-up actions by level, as the scripts add them.
const char kPersonageFunctions[] = R"(
loaded = ''
function LoadTouchupAction(name, level)
  loaded = loaded .. name .. level .. ';'
  CPP_AddTouchupAction('hair')
  if level > 0 then CPP_AddTouchupAction('makeup') end
end
calls = ''
function workBeginTask(r) calls = calls .. 'B;' return 1 end
function workTaskTimer(n) calls = calls .. 'T;' return 1 end
function workEndTask(r) calls = calls .. 'E;' return 0 end
function failBeginTask(r) calls = calls .. 'b;' return 0 end
function failTaskTimer(n) return 1 end
function failEndTask(r) calls = calls .. 'e;' return 0 end
function walkBeginTask(d) return 0 end
function walkTaskTimer(d) return 0 end
function walkEndTask(d) walked = 1 return 0 end
)";

const char kTasks[] = "tasks = { touchup = { tick_count = 4, delay = 250 }, "
                      "work = { tick_count = 2, delay = 100 }, "
                      "fail = { tick_count = 1, delay = 100 }, "
                      "walk = { sub_type = 1, tick_count = 1, delay = 10 } }";

// Notes what the heroine tells it; answers ShowNumbers with its own answer.
class TJobScene : public GBaseLogicalScene {
public:
    explicit TJobScene(int answer = 1) : mAnswer(answer) {}
    int ShowNumbers(int number) override {
        mNumbers.push_back(number);
        return mAnswer;
    }
    void OnPersonageStarted() override { ++mStarted; }

    int mAnswer;
    std::vector<int> mNumbers;
    int mStarted = 0;
};

class PersonageTest : public TLevelTest {
protected:
    void SetUp() override {
        TLevelTest::SetUp();
        WriteGameData(kGameData);
        mGameData.Load();
    }

    GPersonage* PlacePersonage(const std::string& name, const std::string& className,
                               const std::string& object = "") {
        return dynamic_cast<GPersonage*>(
            Place(name, "{ class_name = '" + className + "', " + kTasks + " }",
                  "{ name = '" + name + "', pos_x = 100, pos_y = 100" + object + " }",
                  kPersonageFunctions));
    }
};

TEST_F(PersonageTest, PersonagesReadTheirTouchUpValuesAndLoadTheirLevelsActions) {
    GPersonage* helper = PlacePersonage("helper", "GPersonage", ", touchup_time = 800");
    ASSERT_NE(helper, nullptr);
    EXPECT_STREQ(helper->GetClassName(), "GPersonage");
    EXPECT_TRUE(helper->IsKindOf(GGameObject::sClassId));
    EXPECT_FALSE(helper->IsKindOf(GMainHeroine::sClassId));
    EXPECT_TRUE(helper->IsEditable());
    EXPECT_EQ(helper->GetTouchUpTime(), 800);
    EXPECT_EQ(helper->GetTouchUpPoise(), 0);
    EXPECT_EQ(helper->GetTaskTime("touchup"), 800);
    EXPECT_EQ(helper->ReadSpeed(), -1) << "no speed in its object table";

    helper->SetUpgradeLevel(0);
    helper->LeaveUpgradeMode(1);
    EXPECT_EQ(Number(helper, "started"), 1) << "its level's start command";
    EXPECT_EQ(Text(helper, "loaded"), "helper1;");
    EXPECT_TRUE(helper->HasAction("hair"));
    EXPECT_TRUE(helper->HasAction("makeup"));
    EXPECT_FALSE(helper->HasAction("nails"));
    EXPECT_EQ(helper->GetTouchUpTime(), 600);
    EXPECT_EQ(helper->GetTaskTime("touchup"), 600);
    EXPECT_EQ(helper->ReadSpeed(), 7);

    // Actions load afresh for the level; a level without values keeps the time.
    helper->SetUpgradeLevel(-1);
    helper->CPP_WantDestroy();
    GPersonage* free = PlacePersonage("free", "GPersonage");
    ASSERT_NE(free, nullptr);
    free->SetUpgradeLevel(-1);
    free->LeaveUpgradeMode(1);
    EXPECT_FALSE(free->WantsDestroy()) << "not on sale: it stays";
    EXPECT_EQ(Text(free, "loaded"), "free0;");
    EXPECT_TRUE(free->HasAction("hair"));
    EXPECT_FALSE(free->HasAction("makeup"));
    EXPECT_EQ(free->GetTouchUpTime(), 1000);
    EXPECT_EQ(MainText("asked"), "") << "a level below 0 asks for no upgrade values";
}

TEST_F(PersonageTest, AtTheUpgradePhasesEndOnlyUnboughtObjectsOnSaleGo) {
    GPersonage* helper = PlacePersonage("helper", "GPersonage");
    GPersonage* heroine = PlacePersonage("heroine", "GMainHeroine");
    ServeImage("s.png", 8);
    ServeXml("station", "<main id=\"station\"><images><img name=\"s.png\"/></images>"
                        "<framelist><frame w=\"8\" h=\"8\"/></framelist></main>");
    GGameObject* sold =
        Place("seat1", "{ class_name = 'GSeat', xml_anim = 'station' }", "{ name = 'seat1' }");
    GGameObject* plain =
        Place("seat2", "{ class_name = 'GSeat', xml_anim = 'station' }", "{ name = 'seat2' }");
    GGameObject* strategic =
        Place("seat3", "{ class_name = 'GSeat', xml_anim = 'station' }", "{ name = 'seat3' }");
    GGameObject* item = Place("box", "{ class_name = 'GPacifierObject' }", "{ name = 'box' }",
                              "function dummy() end");
    ASSERT_TRUE(helper != nullptr && heroine != nullptr && sold != nullptr && plain != nullptr &&
                strategic != nullptr && item != nullptr);
    for (GGameObject* object : {static_cast<GGameObject*>(helper),
                                static_cast<GGameObject*>(heroine), sold, plain, strategic, item}) {
        object->SetUpgradeLevel(-1);
    }
    strategic->EnterUpgradeMode(1);
    EXPECT_NE(dynamic_cast<GMStr_UpgradeButton*>(strategic->GetStrategy()), nullptr);
    for (GGameObject* object : {static_cast<GGameObject*>(helper),
                                static_cast<GGameObject*>(heroine), sold, plain, strategic, item}) {
        object->LeaveUpgradeMode(1);
    }
    EXPECT_TRUE(helper->WantsDestroy());
    EXPECT_EQ(Text(helper, "loaded"), "") << "an unbought personage loads nothing";
    EXPECT_TRUE(sold->WantsDestroy());
    EXPECT_EQ(sold->GetStrategy(), nullptr);
    EXPECT_TRUE(item->WantsDestroy());

    EXPECT_FALSE(heroine->WantsDestroy()) << "no upgrade group: the level keeps its heroine";
    EXPECT_EQ(Text(heroine, "loaded"), "") << "the heroine runs only the start command";
    for (GGameObject* seat : {plain, strategic}) {
        EXPECT_FALSE(seat->WantsDestroy()) << seat->GetName().CStr();
        EXPECT_NE(dynamic_cast<GMStr_Chair*>(seat->GetStrategy()), nullptr)
            << seat->GetName().CStr();
        EXPECT_EQ(seat->GetUpgradeData().mPrice, 0);
    }
}

// The helper is on sale from level 1 and not bought; the heroine and the seat have no upgrade
// group, so the level gives them the upgrade level -1.
const char kCrewStage[] = R"(
LevelData = {
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    helper = { included = true }, heroine = { included = true }, seat2 = { included = true } },
}
Objects = {
  types = { helper = { class_name = 'GPersonage' }, heroine = { class_name = 'GMainHeroine' },
            seat = { class_name = 'GSeat', xml_anim = 'station' } },
  data = { helper = { name = 'helper', base_type = 'helper' },
           heroine = { name = 'heroine', base_type = 'heroine' },
           seat2 = { name = 'seat2', base_type = 'seat' } },
}
function LevelTimerFunc(tick) end
)";

TEST_F(PersonageTest, WhenPlayStartsTheUnboughtHelperGoesAndTheHeroineAndSeatStay) {
    ServeImage("s.png", 8);
    ServeXml("station", "<main id=\"station\"><images><img name=\"s.png\"/></images>"
                        "<framelist><frame w=\"8\" h=\"8\"/></framelist></main>");
    WriteStage(kCrewStage);
    ASSERT_TRUE(mGameData.StartLevel(1, 1));
    GLevel* level = Level();
    ASSERT_EQ(level->GetObjects().size(), 3u);
    GLogicalManager& manager = GLogicalManager::Instance();
    ASSERT_NE(manager.GetHeroine(), nullptr);
    ASSERT_EQ(manager.GetPersonages().size(), 1u);
    for (GGameObject* object : level->GetObjects()) {
        const bool helper = object->GetName() == str("helper");
        EXPECT_EQ(object->GetUpgradeLevel(), -1) << object->GetName().CStr();
        EXPECT_EQ(object->GetStrategy() != nullptr, helper) << "only the helper is on sale";
    }
    level->EndUpgradePhase();
    ASSERT_EQ(level->GetObjects().size(), 2u);
    EXPECT_TRUE(manager.GetPersonages().empty());
    EXPECT_NE(manager.GetHeroine(), nullptr);
    GGameObject* seat = level->GetObjects().back();
    ASSERT_EQ(seat->GetName(), str("seat2"));
    EXPECT_NE(dynamic_cast<GMStr_Chair*>(seat->GetStrategy()), nullptr);
    EXPECT_EQ(seat->GetStrategy()->GetListener(), manager.GetSwitchListener());
}

TEST_F(PersonageTest, TheCurrentTaskStartsBlockedForItsTargetAndAFailedStartUnblocks) {
    GPersonage* helper = PlacePersonage("helper", "GPersonage");
    ASSERT_NE(helper, nullptr);
    helper->StartGame();
    TJobScene chair;
    TJobScene sink;
    EXPECT_EQ(helper->StartCurrentTask(), 0) << "no task";
    EXPECT_EQ(helper->WalkTo("chair", "nothing", &chair, false), 0);
    EXPECT_EQ(helper->GetTargetName(), str());
    ASSERT_EQ(helper->WalkTo("chair", "work", &chair, false), 1);
    EXPECT_EQ(helper->GetTargetName(), str("chair"));

    EXPECT_EQ(helper->StartCurrentTask(), 1);
    EXPECT_TRUE(helper->IsBlocked());
    EXPECT_FALSE(helper->IsActive());
    EXPECT_EQ(chair.mStarted, 1);
    EXPECT_EQ(helper->StartCurrentTask(), 0) << "it runs already";
    ASSERT_EQ(helper->WalkTo("sink", "fail", &sink, true), 1);
    EXPECT_EQ(helper->StartCurrentTask(), 0) << "queued while it is blocked";
    EXPECT_EQ(sink.mStarted, 0);

    helper->Unblock("chair");
    EXPECT_EQ(helper->StartCurrentTask(), 0) << "its begin fails";
    EXPECT_EQ(sink.mStarted, 1);
    EXPECT_FALSE(helper->IsBlocked()) << "unblocked for the target";
    EXPECT_TRUE(helper->IsActive());
    EXPECT_EQ(Text(helper, "calls"), "B;b;e;");

    helper->OnSceneEnd("chair");
    EXPECT_FALSE(helper->IsBlocked()) << "the first task still runs";
    Tick(100);
    Tick(100);
    Tick(100);
    EXPECT_EQ(Text(helper, "calls"), "B;b;e;T;T;E;");
    ASSERT_EQ(helper->WalkTo("chair", "work", &chair, false), 1);
    helper->OnSceneEnd("sink");
    EXPECT_EQ(helper->GetTargetName(), str("sink"));
    EXPECT_TRUE(helper->IsBlocked()) << "the scene's end starts the next task";
    EXPECT_EQ(chair.mStarted, 2);
}

TEST_F(PersonageTest, SetAsideTasksComeBackBehindTheNewOnes) {
    GPersonage* helper = PlacePersonage("helper", "GPersonage");
    ASSERT_NE(helper, nullptr);
    TJobScene chair;
    helper->WalkTo("chair", "work", &chair, false);
    helper->WalkTo("chair", "fail", &chair, false);
    helper->SaveTasks();
    EXPECT_EQ(helper->GetCurrentTask(), nullptr);
    EXPECT_EQ(helper->GetSavedTaskCount(), 2u);
    helper->WalkTo("sink", "work", nullptr, false);
    helper->RestoreTasks();
    ASSERT_EQ(helper->GetTasks().size(), 3u);
    EXPECT_EQ(helper->GetTasks()[1]->GetName(), str("work"));
    EXPECT_EQ(helper->GetTasks()[2]->GetName(), str("fail"));
    EXPECT_EQ(helper->GetSavedTaskCount(), 0u);
    helper->SaveTasks();
    // Set aside when it goes: the fixture deletes it with them.
}

TEST_F(PersonageTest, APersonageTurnsLeftOnlyTowardAGirlOnItsLeft) {
    GPersonage* helper = PlacePersonage("helper", "GPersonage");
    ASSERT_NE(helper, nullptr);
    struct TCase {
        float girlX;
        bool girl;
        const char* direction;
    };
    const TCase cases[] = {
        {99.5f, true, "left"}, {100, true, "right"}, {140, true, "right"}, {0, false, "right"}};
    for (const TCase& c : cases) {
        TFixtureGirl girl;
        girl.SetPlace(TVec2(c.girlX, 300), 0);
        helper->SetTouchUpDirection(c.girl ? &girl : nullptr);
        EXPECT_EQ(Text(helper, "personageTouchUpDirection"), c.direction) << c.girlX;
    }
}

TEST_F(PersonageTest, TheSpeedPowerCountsDownAndBringsTheBeginSpeedBack) {
    struct TCase {
        const char* triggers;
        int step;
    };
    // With a trigger period of 0 the heroine ticks at every run of the task list: the time that
    // passed counts, not the period.
    const TCase cases[] = {{", triggers = { delay = 500 }", 500}, {"", 700}};
    for (const TCase& c : cases) {
        auto* heroine = dynamic_cast<GMainHeroine*>(
            Place(std::string("heroine") + std::to_string(c.step),
                  std::string("{ class_name = 'GMainHeroine'") + c.triggers + " }",
                  "{ name = 'heroine', speed = 4, touchup_poise = 3 }"));
        ASSERT_NE(heroine, nullptr);
        EXPECT_EQ(heroine->GetBeginSpeed(), 4);
        EXPECT_EQ(heroine->GetTouchUpPoise(), 3);
        EXPECT_EQ(heroine->UseSpeedPower(1), 1);
        EXPECT_EQ(GLogicalManager::Instance().GetPowerInUse(), 1);
        EXPECT_EQ(heroine->ReadSpeed(), 9);
        EXPECT_EQ(heroine->GetSpeedCountdown(), 2000);
        int ticks = 0;
        while (heroine->GetActivePower() == 1 && ticks < 10) {
            Tick(c.step);
            ++ticks;
        }
        EXPECT_EQ(ticks, (2000 + c.step - 1) / c.step) << c.step;
        EXPECT_EQ(heroine->GetSpeedCountdown(), 0);
        EXPECT_EQ(heroine->ReadSpeed(), 4) << "the begin speed back";
        EXPECT_EQ(GLogicalManager::Instance().GetPowerInUse(), 0);

        Run(heroine, "CPP_SetBeginSpeed(5)");
        heroine->UseSpeedPower(1);
        EXPECT_EQ(heroine->UseSpeedPower(2), 0);
        EXPECT_EQ(heroine->GetActivePower(), 2);
        EXPECT_EQ(heroine->GetSpeedCountdown(), 0) << "the running power ended";
        EXPECT_EQ(heroine->ReadSpeed(), 5);
        EXPECT_EQ(GLogicalManager::Instance().GetPowerInUse(), 0);
    }
}

TEST_F(PersonageTest, ASpeedPowerWithoutActionTimeEndsAtTheFirstTickAndAHugeOneIsCapped) {
    struct TCase {
        const char* boostTime;
        int countdown;
        int ticksToEnd;
    };
    const TCase cases[] = {{"0", 0, 1}, {"-5", 0, 1}, {"3000000", 2147483647, -1}};
    for (const TCase& c : cases) {
        WriteGameData(std::string("boostTime = ") + c.boostTime + "\n" + kGameData);
        mGameData.Reload();
        auto* heroine = dynamic_cast<GMainHeroine*>(
            Place(std::string("heroine") + c.boostTime,
                  "{ class_name = 'GMainHeroine', triggers = { delay = 500 } }",
                  "{ name = 'heroine', speed = 4 }"));
        ASSERT_NE(heroine, nullptr);
        EXPECT_EQ(heroine->UseSpeedPower(1), 1);
        EXPECT_EQ(heroine->GetSpeedCountdown(), c.countdown) << c.boostTime;
        Tick(500);
        EXPECT_EQ(heroine->GetActivePower() == 0, c.ticksToEnd == 1) << c.boostTime;
        heroine->EndSpeedPower();
    }
}

TEST_F(PersonageTest, EachPublishesItsOwnLuaFunctions) {
    GPersonage* helper = PlacePersonage("helper", "GPersonage");
    GPersonage* heroine = PlacePersonage("heroine", "GMainHeroine");
    ASSERT_TRUE(helper != nullptr && heroine != nullptr);
    const char* const names[] = {"CPP_AddTouchupAction", "CPP_OnJudgingQueueChange",
                                 "CPP_DoPoisePower", "CPP_DoBlessing", "CPP_SetBeginSpeed"};
    for (GPersonage* personage : {helper, heroine}) {
        std::string kinds;
        for (const char* name : names) {
            Run(personage, std::string("kind = type(") + name + ")");
            kinds += Text(personage, "kind") + ";";
        }
        EXPECT_EQ(kinds, personage == helper ? "function;nil;nil;nil;nil;"
                                             : "nil;function;function;function;function;");
    }
    Run(heroine, "CPP_SetBeginSpeed(6) CPP_OnJudgingQueueChange() CPP_DoBlessing(2)");
    EXPECT_EQ(static_cast<GMainHeroine*>(heroine)->GetBeginSpeed(), 6);
}

TEST_F(PersonageTest, QueuedJobsAreNumberedOnTheirScenesInOrder) {
    GPersonage* placed = PlacePersonage("heroine", "GMainHeroine");
    auto* heroine = dynamic_cast<GMainHeroine*>(placed);
    ASSERT_NE(heroine, nullptr);
    TJobScene first;
    TJobScene silent(0);
    TJobScene second;
    TJobScene third;
    heroine->WalkTo("a", "work", &first, false);
    heroine->WalkTo("b", "work", &silent, false);
    heroine->WalkTo("c", "work", &second, false);
    heroine->WalkTo("d", "work", nullptr, false);
    heroine->WalkTo("e", "work", &third, false);
    EXPECT_EQ(first.mNumbers.back(), 1);
    EXPECT_EQ(silent.mNumbers.back(), 2) << "shown nothing: the number goes on";
    EXPECT_EQ(second.mNumbers.back(), 2);
    EXPECT_EQ(third.mNumbers.back(), 3);

    ASSERT_EQ(heroine->StartCurrentTask(), 1);
    Tick(100);
    Tick(100);
    Tick(100);
    EXPECT_EQ(first.mNumbers.back(), 0) << "its job is done";
    EXPECT_EQ(silent.mNumbers.back(), 1);
    EXPECT_EQ(third.mNumbers.back(), 2);
}

// Notes the visual states the heroine is given.
class TRecordingHeroine final : public GMainHeroine {
public:
    using GGameObject::SetVisualState;
    int SetVisualState(const str& state) override {
        mStates += std::string(state.CStr()) + ";";
        return 0;
    }

    std::string mStates;
};

TEST_F(PersonageTest, ABlessingOfFewerThanTwoIsTheLastOne) {
    TRecordingHeroine heroine;
    for (const int count : {-1, 0, 1, 2, 5}) {
        heroine.DoBlessing(count);
    }
    EXPECT_EQ(heroine.mStates, "last_bless;last_bless;last_bless;bless;bless;")
        << "-1 counts the occupied judging places: none";
}

// A wall of cells from (100, 0) to (119, 99); the heroine walks from (90, 10) to the seat's
// approach point (130, 10) around its lower end. The smoothed path keeps the cells under the wall,
// (5, 5) and (6, 5): a line from the start cell (4, 0) to (6, 5) meets the wall at (5, 2), one from
// (5, 5) to (6, 4) at (5, 4); the line samples of (4, 0) to (5, 5) all lie in column 4.
TEST_F(PersonageTest, TheHeroineWalksAPlannedPathAroundAWall) {
    GPathGrid& grid = GLogicalManager::Instance().GetPathGrid();
    grid.Clear(0);
    const int8_t wall[5] = {-1, -1, -1, -1, -1};
    grid.StampMask(100, 0, 1, 5, wall);
    auto* heroine = dynamic_cast<GMainHeroine*>(
        Place("heroine", std::string("{ class_name = 'GMainHeroine', ") + kTasks + " }",
              "{ name = 'heroine', pos_x = 90, pos_y = 10 }", kPersonageFunctions));
    auto* seat = dynamic_cast<GSeat*>(
        Place("seat", "{ class_name = 'GSeat', point_approach = { x = 10, y = -10 } }",
              "{ name = 'seat', pos_x = 120, pos_y = 20 }"));
    ASSERT_TRUE(heroine != nullptr && seat != nullptr);
    ASSERT_TRUE(GLogicalManager::Instance().WalkToEntry(heroine, seat, false));
    const GPathPoints path = *heroine->GetPathData();
    std::string points;
    for (const TVec2& point : path) {
        points += std::to_string(static_cast<int>(point.x)) + "," +
                  std::to_string(static_cast<int>(point.y)) + ";";
    }
    EXPECT_EQ(points, "90,10;110,110;130,110;130,10;");

    ASSERT_EQ(heroine->WalkTo("seat", "walk", nullptr, false), 1);
    ASSERT_EQ(heroine->StartCurrentTask(), 1);
    for (int i = 0; i < 300 && Number(heroine, "walked") == 0; ++i) {
        Tick(10);
    }
    EXPECT_EQ(Number(heroine, "walked"), 1);
    EXPECT_FLOAT_EQ(heroine->GetPosition().x, 130);
    EXPECT_FLOAT_EQ(heroine->GetPosition().y, 10);
    grid.Clear(0);
}

} // namespace
} // namespace gpersonage_test
