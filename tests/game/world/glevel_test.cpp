// Levels built from fixture stage files: which placements become objects and how, the timer
// period, the goal and expert scores, the result and its dialogs, and the mouse.
#include "game/world/GLevel.h"

#include "game/common/GLogManager.h"
#include "game/visual/GVFactory.h"
#include "game/world/GStratMousePikUp.h"
#include "game/world/G_Invoker.h"
#include "tests/fixtures/childprocess.h"
#include "tests/game/world/level_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TExtensionProbe;
using world_test::TFixtureGirl;
using world_test::TLevelTest;

// Booth and lamp are upgradable; the booth's group offers its first level from level 1, the
// shed's only from level 5.
const char kUpgradesForLevels[] = R"(
Upgrades = { objects = {
  { name = 'booth', { level = 1, upgrade_level = 0 }, { level = 1, upgrade_level = 1 } },
  { name = 'lamp', { level = 1 } },
  { name = 'shed', { level = 5, upgrade_level = 0 } },
} }
)";

const char kHallStage[] = R"(
timer_delay = 250
LevelData = {
  LevelBaseTypes = { base_type_extension = true, probe = { extra = 'wide' } },
  level = { goal = 60, expert = 120 },
  hall = { BaseType = 'types', BaseData = 'data',
    booth = { included = true, base_type = 'plain', name = 'booth' },
    lamp = { included = true, base_type = 'plain', name = 'lamp' },
    shed = { included = true, base_type = 'plain', name = 'shed' },
    hidden = { included = false, base_type = 'plain', name = 'hidden' },
    sign = { included = true, base_type = 'probe', name = 'sign' },
    anna = { included = true, base_type = 'plain' },
  },
}
Objects = {
  types = { plain = { class_name = 'GGameObject' }, probe = { class_name = 'ExtensionProbe' },
            girl = { class_name = 'FixtureGirl', base_type = 'girl' } },
  data = { anna = { name = 'anna', base_type = 'girl' }, booth = { name = 'booth', base_type = 'plain' },
           lamp = { name = 'lamp', base_type = 'plain' }, shed = { name = 'shed', base_type = 'plain' } },
  level_types = { level = { background = 'hall.png' } },
}
function LevelTimerFunc(tick) ticks = tick end
)";

std::vector<std::string> Names(const GLevel& level) {
    std::vector<std::string> names;
    for (const GGameObject* object : level.GetObjects()) {
        names.emplace_back(object->GetName().CStr());
    }
    return names;
}

TEST_F(TLevelTest, PlacementsBecomeObjectsAsTheStageAndTheProgressSay) {
    WriteGameData(kUpgradesForLevels);
    WriteStage(kHallStage);
    Main("gUpgradeIndex = { booth = 2 }");
    ASSERT_TRUE(Start(1));
    GLevel* level = Level();
    ASSERT_NE(level, nullptr);

    // The shed offers nothing on level 1 and nothing was bought: it is not kept. "hidden" is not
    // included. Table order of a hash part is Lua's business, so the names are compared as a set.
    std::vector<std::string> names = Names(*level);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"anna", "booth", "lamp", "sign"}));

    // Only objects whose group starts at an upgrade level of 0 or more ask the progress.
    const std::string asked = MainText("gAsked");
    EXPECT_NE(asked.find("booth@1;"), std::string::npos) << asked;
    EXPECT_NE(asked.find("shed@1;"), std::string::npos) << asked;
    EXPECT_EQ(asked.find("lamp@"), std::string::npos) << asked;
    EXPECT_EQ(asked.find("sign@"), std::string::npos) << asked;
    for (const GGameObject* object : level->GetObjects()) {
        if (object->GetName() == str("booth")) {
            EXPECT_EQ(object->GetUpgradeLevel(), 1) << "bought index 2";
        }
        if (object->GetName() == str("anna")) {
            // The instance data's base type wins over the placement's.
            EXPECT_STREQ(object->GetClassName(), "GStudent");
        }
    }
    EXPECT_EQ(TExtensionProbe::sExtensions, std::vector<std::string>{"wide"});
    EXPECT_EQ(level->GetGirlsAdded(), 1);
    EXPECT_EQ(level->GetTimerPeriod(), 250);
    EXPECT_EQ(level->GetGoal(), 60);
    EXPECT_EQ(level->GetExpert(), 120);
    EXPECT_EQ(level->GetLevelState(), 1);
    EXPECT_TRUE(level->IsUpgradePhase());
    EXPECT_EQ(GLogicalManager::Instance().GetGirls().count("girl"), 1U);
    EXPECT_EQ(GLogicalManager::Instance().GetGameState(), 1);
    // The goal indicator hears the goals, then score 0 and the distance reset.
    const std::vector<std::string> expected = {"goals 60 120", "score 0", "distance -1",
                                               "judging count"};
    EXPECT_EQ(mHooks.calls, expected);
    EXPECT_EQ(MainText("gRan"), "hide;");
}

TEST_F(TLevelTest, PreloadMakesEveryPlacementAndPreloadsThePathsInOrder) {
    WriteStage(std::string(kHallStage) + R"(
PreloadObjectsSection = { 'girls', 7 }
local lists = { girls = { 'g/a', 'g/b' }, ['7'] = { 'n/c' } }
local at = {}
gPreloadCalls = ''
function GetPreloadingXml(name, zero)
  gPreloadCalls = gPreloadCalls .. name .. ':' .. zero .. ';'
  at[name] = (at[name] or 0) + 1
  return lists[name][at[name]] or ''
end
)");
    ServeImage("dot.png", 4);
    for (const char* path : {"g/a", "g/b", "n/c"}) {
        ServeXml(path, "<main><images><img name=\"dot.png\"/></images><framelist><frame w=\"4\" "
                       "h=\"4\"/></framelist><states><state id=\"normal\" "
                       "framelist=\"0\"/></states></main>");
    }
    mGameData.Load();
    std::unique_ptr<GLevel> level(GObjectFactory::Instance().CreateLevel(3, 1, true));
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->GetObjectCount(), 6) << "every placement, included or not";
    for (GGameObject* object : level->GetObjects()) {
        EXPECT_EQ(object->GetVisual(), nullptr) << "not placed";
    }
    EXPECT_STREQ(level->GetScript().GetGlobalString("gPreloadCalls").CStr(),
                 "girls:0;girls:0;girls:0;7:0;7:0;");
    for (const char* key : {"xml/g/a.xml", "xml/g/b.xml", "xml/n/c.xml"}) {
        EXPECT_TRUE(GVFactory::Instance().IsCached(key)) << key;
    }
    EXPECT_EQ(MainText("STAGE_BACKGROUND"), "hall.png");
    EXPECT_TRUE(TExtensionProbe::sExtensions.empty()) << "nothing is placed";
    EXPECT_EQ(std::count(mHooks.calls.begin(), mHooks.calls.end(), "goals 60 120"), 0);
    EXPECT_EQ(level->GetTimerPeriod(), 250);
    GLogicalManager::Instance().ResetLevel();
}

TEST_F(TLevelTest, TimerPeriodGoalsAndMissingTables) {
    struct TCase {
        const char* stage;
        int period;
        int goal;
        int expert;
    };
    const TCase cases[] = {
        {"timer_delay = 0 LevelData = { level = { goal = 50, expert = 100 } } Objects = {}", 1000,
         50, 100},
        {"timer_delay = 3.9 LevelData = { level = {} } Objects = {}", 3, 50, 100},
        {"LevelData = {} Objects = {}", 1000, 0, 0},
    };
    for (const TCase& c : cases) {
        GLevel level;
        WriteFile(std::string("stage") + std::to_string(&c - cases) + ".lua", c.stage);
        ASSERT_TRUE(level.Load(str::FromFormat("stage%d.lua", static_cast<int>(&c - cases)), 1, 2,
                               str(), false))
            << c.stage;
        EXPECT_EQ(level.GetTimerPeriod(), c.period) << c.stage;
        EXPECT_EQ(level.GetGoal(), c.goal) << c.stage;
        EXPECT_EQ(level.GetExpert(), c.expert) << c.stage;
    }
    const char* const broken[] = {"Objects = {}", "LevelData = {}", "LevelData = 1 Objects = {}"};
    for (size_t i = 0; i < std::size(broken); ++i) {
        GLevel level;
        const std::string name = "broken" + std::to_string(i) + ".lua";
        WriteFile(name, broken[i]);
        EXPECT_FALSE(level.Load(name.c_str(), 1, 2, str(), false)) << broken[i];
    }
}

// The game log keeps its file open from its first record on: the case runs in a process of its
// own. 0 when no level started and the log names the stage file and level, 1 when a level
// started, 2 when the log line is missing.
class TChildLevel : public TLevelTest {
public:
    int Run() {
        SetUp();
        GetLogManager()->SetModuleWriter("Logical", GLogManager::kCsvWriter);
        WriteStage("Objects = {}");
        const bool started = Start(4, 2);
        const bool kept = Level() != nullptr || mGameData.GetLoadState() != 0;
        GetLogManager()->SetModuleWriter("Logical", GLogManager::kNullWriter);
        const std::string log = mFolder.Read("debug_log.csv");
        TearDown();
        if (started || kept) {
            return 1;
        }
        return log.find(";Error;Logical;Level 4 of stage 2 not loaded from "
                        "scripts/stages/stages.lua;") != std::string::npos
                   ? 0
                   : 2;
    }

private:
    void TestBody() override {}
};

CHILD_ENTRY(StageWithoutTables) {
    auto* test = new TChildLevel;
    const int code = test->Run();
    delete test;
    return code;
}

TEST(Level, AStageWithoutItsTablesStartsNoLevel) {
    const pid_t child = testing_fixtures::SpawnChild("StageWithoutTables", {});
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 0);
}

// A level of `girls` fixture girls and one plain object, goals 50 and 100, running.
const char kGirlsStage[] = R"(
LevelData = {
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    amy = { included = true }, bea = { included = true },
    desk = { included = true, base_type = 'plain', name = 'desk' } },
}
Objects = {
  types = { plain = { class_name = 'GGameObject' }, girl = { class_name = 'FixtureGirl' } },
  data = { amy = { name = 'amy', base_type = 'girl' }, bea = { name = 'bea', base_type = 'girl' } },
}
function LevelTimerFunc(tick) end
)";

GGameObject* Find(GLevel& level, const char* name) {
    for (GGameObject* object : level.GetObjects()) {
        if (object->GetName() == str(name)) {
            return object;
        }
    }
    return nullptr;
}

TEST_F(TLevelTest, ResultsFollowTheScoreOnceEveryGirlLeft) {
    struct TCase {
        int score;
        int result;
    };
    for (const TCase c : {TCase{49, 1}, TCase{50, 2}, TCase{99, 2}, TCase{100, 3}}) {
        WriteStage(kGirlsStage);
        ASSERT_TRUE(mGameData.StartLevel(9, 1));
        GLevel& level = *Level();
        level.Begin();
        level.AddScore(c.score);
        EXPECT_EQ(level.RemoveObject(Find(level, "desk"), true), 1);
        EXPECT_EQ(level.RemoveObject(Find(level, "amy"), true), 1);
        EXPECT_EQ(level.GetResult(), 0) << "a girl is still out";
        EXPECT_EQ(level.GetLevelState(), 2);
        level.RemoveObject(Find(level, "bea"), false);
        EXPECT_EQ(level.GetResult(), c.result) << c.score;
        EXPECT_EQ(level.GetLevelState(), 3);
        EXPECT_EQ(level.GetGirlsServed(), 1);
        EXPECT_EQ(level.GetGirlsLost(), 1);
        EXPECT_EQ(GLogicalManager::Instance().GetGameState(), 4);
        EXPECT_EQ(level.IsExpertReached(), c.result == 3);
    }
    // Won levels are booked, lost ones not.
    EXPECT_EQ(MainText("gCompleted"), "9,50,0;9,99,0;9,100,1;");
}

TEST_F(TLevelTest, NoLevelTableEndsWonAtScoreZero) {
    WriteStage("LevelData = { hall = { BaseType = 'types', BaseData = 'data', amy = { included = "
               "true } } } Objects = { types = { girl = { class_name = 'FixtureGirl' } }, data = "
               "{ amy = { name = 'amy', base_type = 'girl' } } } function LevelTimerFunc() end");
    ASSERT_TRUE(mGameData.StartLevel(2, 1));
    GLevel& level = *Level();
    level.AddScore(-10);
    EXPECT_EQ(level.GetScore(), 0);
    level.RemoveObject(Find(level, "amy"), false);
    EXPECT_EQ(level.GetResult(), 3);
    EXPECT_EQ(MainText("gRan"), "hide;hide;scripts/level_stats.lua;");
    EXPECT_EQ(MainText("LevelResult"), "expert");
}

TEST_F(TLevelTest, ScoreNeverGoesBelowZero) {
    GLevel level;
    level.AddScore(4);
    level.AddScore(-10);
    EXPECT_EQ(level.GetScore(), 0);
    EXPECT_EQ(mHooks.calls, (std::vector<std::string>{"score 4", "score 0"}));
}

TEST_F(TLevelTest, ALostLevelOffersTryingAgainSevenTicksLaterAWonOneAtOnce) {
    WriteStage(kGirlsStage);
    ASSERT_TRUE(mGameData.StartLevel(9, 1));
    GLevel& level = *Level();
    level.RemoveObject(Find(level, "amy"), false);
    level.RemoveObject(Find(level, "bea"), false);
    ASSERT_EQ(level.GetResult(), 1);
    for (int tick = 1; tick < GLevel::kTryAgainTicks; ++tick) {
        visual_test::Tick(1000);
    }
    EXPECT_EQ(MainText("gRan").find("try_again"), std::string::npos);
    visual_test::Tick(1000);
    EXPECT_EQ(level.GetTickCounter(), GLevel::kTryAgainTicks);
    EXPECT_EQ(MainText("gRan"), "hide;hide;scripts/level_try_again.lua;");
    visual_test::Tick(5000);
    EXPECT_EQ(MainText("gRan"), "hide;hide;scripts/level_try_again.lua;") << "once";

    WriteStage(kGirlsStage);
    ASSERT_TRUE(mGameData.StartLevel(7, 1));
    Main("gRan = ''");
    Level()->AddScore(60);
    Level()->RemoveObject(Find(*Level(), "amy"), true);
    Level()->RemoveObject(Find(*Level(), "bea"), true);
    EXPECT_EQ(MainText("gRan"), "hide;scripts/level_award.lua;");
    EXPECT_EQ(MainText("LevelResult"), "win");
}

// Notes the clicks the strategies post.
class TClickSwitch final : public G_ICanListenSwitch {
public:
    explicit TClickSwitch(std::string* journal) : mJournal(journal) {}
    void OnOOOA(G_VoidLink* /*object*/, G_VoidLink* /*place*/) override {}
    void OnOODTA(G_VoidLink* /*object*/, G_VoidLink* /*target*/) override {}
    void OnOTL(G_VoidLink* /*object*/, G_VoidLink* /*queue*/) override {}
    void OnOFD(G_VoidLink* /*object*/) override {}
    void OnOTU(G_VoidLink* /*object*/) override {}
    void OnOSD(G_VoidLink* /*object*/) override {}
    void OnOCOn(G_VoidLink* /*object*/) override {}
    void OnOCOff(G_VoidLink* /*object*/) override {}
    void OnClick(G_VoidLink* /*object*/) override { *mJournal += "click;"; }
    void OnBMC(G_VoidLink* /*object*/) override {}

private:
    std::string* mJournal;
};

// Notes each mouse call it hears, by object name; a release posts a click.
class TNotingStrategy : public GStratMousePikUp {
public:
    TNotingStrategy(std::string* journal, std::string name, G_ICanListenSwitch* listener)
        : mJournal(journal), mName(std::move(name)), mClicks(listener) {}
    bool OnMouseDown(TPoint /*point*/) override {
        *mJournal += mName + " down;";
        return true;
    }
    bool OnMouseUp(TPoint /*point*/) override {
        *mJournal += mName + " up;";
        G_Invoke_Click::Instance().Set(mClicks, nullptr);
        MouseInteraction().mPending = &G_Invoke_Click::Instance();
        return true;
    }

private:
    std::string* mJournal;
    std::string mName;
    G_ICanListenSwitch* mClicks;
};

TEST_F(TLevelTest, MousePressAndReleaseReachEveryObjectInOrder) {
    std::string journal;
    TClickSwitch clicks(&journal);
    GLevel level;
    for (const char* name : {"one", "two"}) {
        auto* object = new GGameObject;
        object->SetStrategy(new TNotingStrategy(&journal, name, &clicks));
        object->SetMouseEnabled(true);
        level.AddObject(object);
    }
    EXPECT_TRUE(level.OnMouseDown(TPoint{5, 5}));
    EXPECT_TRUE(level.OnMouseUp(TPoint{5, 5}));
    EXPECT_EQ(journal, "one down;two down;one up;two up;click;") << "one pending call, flushed";
    EXPECT_EQ(MouseInteraction().mPending, nullptr);
    level.OnMouseMove(TPoint{6, 6});
    EXPECT_EQ(journal, "one down;two down;one up;two up;click;");
    EXPECT_FALSE(level.OnKeyDown(27, 0));
    EXPECT_FALSE(level.OnKeyUp(27));
}

TEST_F(TLevelTest, PlayStartingDropsWhatWasNotBoughtAndWhatWantsToGo) {
    // The manager removes an object through the game data's level.
    WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
    ASSERT_TRUE(mGameData.StartLevel(1, 1));
    GLevel& level = *Level();
    auto* unbought = new GGameObject;
    unbought->SetUpgradeLevel(-1);
    unbought->SetStrategy(new GStratMousePikUp);
    auto* leaving = new GGameObject;
    leaving->CPP_WantDestroy();
    auto* bought = new GGameObject;
    bought->SetUpgradeLevel(0);
    bought->SetStrategy(new GStratMousePikUp);
    auto* plain = new GGameObject;
    for (GGameObject* object : {unbought, leaving, bought, plain}) {
        level.AddObject(object);
    }
    level.EndUpgradePhase();
    EXPECT_EQ(level.GetObjects(), (std::vector<GGameObject*>{bought, plain}));
    EXPECT_FALSE(level.IsUpgradePhase());
    EXPECT_EQ(bought->GetStrategy(), nullptr) << "the upgrade view went";
}

TEST_F(TLevelTest, AClosedLevelsTimerTicksNoMore) {
    WriteStage("LevelData = {} Objects = {} function LevelTimerFunc(tick) gTicks = tick end");
    ASSERT_TRUE(mGameData.StartLevel(1, 1));
    visual_test::Tick(1000);
    EXPECT_EQ(Level()->GetTickCounter(), 1);
    EXPECT_EQ(mGameData.CloseLevel(), 1);
    EXPECT_TRUE(mGameData.IsClosing());
    EXPECT_EQ(Level(), nullptr);
    visual_test::Tick(1000);
    visual_test::Tick(1000);
}

TEST_F(TLevelTest, BestGirlAndCombos) {
    GLevel level;
    EXPECT_EQ(level.NextCombo("a"), 0);
    EXPECT_EQ(level.NextCombo("a"), 1);
    EXPECT_EQ(level.NextCombo("a"), 2);
    EXPECT_EQ(level.NextCombo("b"), 0);
    EXPECT_EQ(level.NextCombo("a"), 0);
}

TEST_F(TLevelTest, TheLevelsLuaFunctions) {
    WriteFile("stage.lua", "LevelData = {} Objects = {} n = CPP_GetLevelNum() s = "
                           "CPP_GetStageNum() r = required('x') e = CPP_UnderEditor() "
                           "retUpgradeStr = 'none'");
    GLevel level;
    ASSERT_TRUE(level.Load("stage.lua", 3, 12, "extra = 5", false));
    TScript& script = level.GetScript();
    EXPECT_EQ(script.GetGlobalNumber("n"), 12);
    EXPECT_EQ(script.GetGlobalNumber("s"), 3);
    EXPECT_EQ(script.GetGlobalNumber("r"), 0);
    EXPECT_EQ(script.GetGlobalNumber("e"), 0);
    EXPECT_EQ(script.GetGlobalNumber("extra"), 5);
    str command = "@retUpgradeStr = 'bought'";
    level.EvalUpgradeCommand(command);
    EXPECT_STREQ(command.CStr(), "bought");
    EXPECT_EQ(EndCode([&] { level.OnTimer(); }), 1) << "no LevelTimerFunc";

    WriteFile("preload.lua", "LevelData = {} Objects = {} PreloadObjectsSection = { 'x' }");
    GLevel preloading;
    EXPECT_EQ(EndCode([&] { preloading.Load("preload.lua", 1, 1, str(), true); }), 1)
        << "no GetPreloadingXml";
}

} // namespace
