// The game data over a fixture "scripts/stages/game_datas.lua": the upgrade groups and power
// names it reads, the offers it makes, its Lua calls, touch-ups, the level-goal dialog and
// "Restart".
#include "game/world/GGameData.h"

#include "game/visual/GVFactory.h"
#include "tests/game/world/level_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TLevelTest;

const char kGameData[] = R"(
Upgrades = {
  powers = {
    speed = { index = 2, level = 3, price = 10 },
    makeup = { index = 1, level = 1 },
    sneaky = { level = 1 },
    touchup = { index = 9, level = 4 },
    broken = 5,
  },
  objects = {
    { name = 'booth', { level = 2, upgrade_level = 0, price = 40 },
                      { level = 3, upgrade_level = 1, price = 70 },
                      { level = 6, upgrade_level = 2 } },
    { name = 'upgr_student_3', girl_base_type = 'singer', { index = 7 }, { } },
    { name = 'upgr_student_9', girl_base_type = 'dancer', { } },
    { name = 'empty' },
    { { level = 1 } },
  },
}
gCombo = { 'a', 'a', 'a', 'b', 'a', '' }
local at = 0
function IsInComboList(name) at = at + 1 return gCombo[at] end
function GetPowerData(power, parameter) return power .. '.' .. parameter == 'energy_boost.speed' and 7 or '12.9' end
function GetUpgradeDataParam(a, n, b) return string.len(a) + n + string.len(b) end
)";

class GameDataTest : public TLevelTest {
protected:
    void SetUp() override {
        TLevelTest::SetUp();
        WriteGameData(kGameData);
        mGameData.Load();
    }

    // An object placed under the name: the prototype reads its name from the object table.
    GGameObject* Named(const char* name) {
        return Place(std::string("named_") + name, "{ class_name = 'GGameObject' }",
                     std::string("{ name = '") + name + "' }");
    }
};

TEST_F(GameDataTest, GroupsPowerNamesAndGirlBaseTypes) {
    EXPECT_EQ(mGameData.GetPowerCount(), 4U) << "one name per power group";
    EXPECT_STREQ(mGameData.GetPowerName(0).CStr(), "makeup");
    EXPECT_STREQ(mGameData.GetPowerName(1).CStr(), "speed");
    EXPECT_STREQ(mGameData.GetPowerName(2).CStr(), "") << "sneaky has no index";
    EXPECT_STREQ(mGameData.GetPowerName(3).CStr(), "");
    EXPECT_STREQ(mGameData.GetPowerName(-1).CStr(), "");
    EXPECT_STREQ(mGameData.GetPowerName(4).CStr(), "");

    const GUpgradeData* speed = mGameData.FindUpgrade("speed", 0);
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->mPrice, 10);
    EXPECT_STREQ(speed->mOwnerName.CStr(), "speed");
    EXPECT_EQ(speed->mUpgradeLevel, -1) << "the default upgrade level";
    EXPECT_EQ(mGameData.FindUpgrade("broken", 0), nullptr);
    EXPECT_EQ(mGameData.FindUpgrade("empty", 0), nullptr);

    // Records without an index are numbered by their place; an index read stays.
    const GUpgradeData* first = mGameData.FindUpgrade("upgr_student_3", 0);
    const GUpgradeData* second = mGameData.FindUpgrade("upgr_student_3", 1);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->mIndex, 7);
    EXPECT_EQ(second->mIndex, 2);
    EXPECT_EQ(second->mLevel, 1) << "the default level";
    EXPECT_STREQ(second->mGirlBaseType.CStr(), "singer");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mGameData.FindUpgrade("booth", i)->mIndex, i + 1);
    }
    EXPECT_STREQ(mGameData.GetGirlBaseType(3).CStr(), "singer");
    EXPECT_STREQ(mGameData.GetGirlBaseType(9).CStr(), "") << "no type 9";
    EXPECT_EQ(mGameData.GetFirstUpgradeLevel("booth"), 0);
    EXPECT_EQ(mGameData.GetFirstUpgradeLevel("makeup"), -1);
    EXPECT_EQ(mGameData.GetFirstUpgradeLevel("nothing"), -1);
    ASSERT_NE(mGameData.FindUpgradeByLevel("booth", 1), nullptr);
    EXPECT_EQ(mGameData.FindUpgradeByLevel("booth", 1)->mPrice, 70);
    EXPECT_EQ(mGameData.FindUpgradeByLevel("booth", 5), nullptr);
}

TEST_F(GameDataTest, ObjectUpgradesAreOfferedByLevel) {
    WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
    GGameObject* booth = Named("booth");
    GGameObject* other = Named("other");
    ASSERT_NE(booth, nullptr);
    struct TCase {
        int level;
        int upgradeLevel;
        int answer;
        int outUpgradeLevel;
        int outPrice;
    };
    const TCase cases[] = {
        // Upgrade level -1: the first record, offered once its level is reached.
        {2, -1, 1, 0, 40},
        {1, -1, 0, 0, 0},
        // Later levels offer the next record; otherwise the record at the level's place.
        {3, 0, 1, 1, 70},
        {2, 0, 0, 0, 40},
        {6, 1, 1, 2, 0},
        {9, 2, 0, 2, 0},
        {9, 5, 0, 0, 0},
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(mGameData.StartLevel(c.level, 1));
        const int offers = mGameData.GetOfferCount();
        GUpgradeData record;
        record.mPrice = 0;
        EXPECT_EQ(mGameData.GetObjectUpgrade(booth, c.upgradeLevel, record), c.answer)
            << c.level << " " << c.upgradeLevel;
        EXPECT_EQ(record.mUpgradeLevel, c.outUpgradeLevel) << c.level << " " << c.upgradeLevel;
        EXPECT_EQ(record.mPrice, c.outPrice) << c.level << " " << c.upgradeLevel;
        EXPECT_EQ(mGameData.GetOfferCount(), offers + c.answer);
    }
    GUpgradeData record;
    EXPECT_EQ(mGameData.GetObjectUpgrade(other, 0, record), -1);
    EXPECT_EQ(mGameData.DestroyLevel(), 1);
    EXPECT_EQ(mGameData.GetOfferCount(), 0);
    EXPECT_EQ(mGameData.DestroyLevel(), 0);
}

TEST_F(GameDataTest, LuaCalls) {
    EXPECT_EQ(mGameData.IsInComboList("x"), 0) << "without a level";
    int speed = 0;
    int actionTime = 0;
    EXPECT_EQ(mGameData.GetPowerData(1, speed, actionTime), 1);
    EXPECT_EQ(speed, 7);
    EXPECT_EQ(actionTime, 12) << "a numeric string, truncated";
    EXPECT_EQ(mGameData.GetPowerData(2, speed, actionTime), 0);
    EXPECT_EQ(mGameData.GetUpgradeDataParam("ab", 10, "cde"), 15);
    EXPECT_FALSE(mGameData.IsPowerMeterEnabled(1));
}

TEST_F(GameDataTest, ComboAnswersCountRepeats) {
    WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
    ASSERT_TRUE(mGameData.StartLevel(1, 1));
    EXPECT_EQ(mGameData.IsInComboList("x"), 0);
    EXPECT_EQ(mGameData.IsInComboList("x"), 1);
    EXPECT_EQ(mGameData.IsInComboList("x"), 2);
    EXPECT_EQ(mGameData.IsInComboList("x"), 0) << "another group starts again";
    EXPECT_EQ(mGameData.IsInComboList("x"), 0);
}

TEST_F(GameDataTest, MissingScriptFunctionsEndTheProcess) {
    WriteFile(GGameData::kScriptFile, ""); // not even the fixture's combo function
    mGameData.Reload();
    int speed = 0;
    int actionTime = 0;
    EXPECT_EQ(EndCode([&] { mGameData.GetPowerData(1, speed, actionTime); }), 1);
    EXPECT_EQ(EndCode([&] { mGameData.IsInComboList("x"); }), 1);
    EXPECT_EQ(EndCode([&] { mGameData.GetUpgradeDataParam("a", 1, "b"); }), 1);
    EXPECT_EQ(mGameData.GetPowerCount(), 0U);
    EXPECT_EQ(mGameData.FindUpgrade("booth", 0), nullptr);
    EXPECT_FALSE(mGameData.IsTouchupAvailable(10)) << "no touch-up group";
}

TEST_F(GameDataTest, TouchUpsFollowTheTouchUpGroup) {
    EXPECT_FALSE(mGameData.IsTouchupAvailable(0)) << "no level, none loading";
    EXPECT_FALSE(mGameData.IsTouchupAvailable(3));
    EXPECT_TRUE(mGameData.IsTouchupAvailable(4));
    EXPECT_TRUE(mGameData.IsTouchupAvailable(4)) << "cached";
    EXPECT_FALSE(mGameData.IsTouchupAvailable(3));
    WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
    ASSERT_TRUE(mGameData.StartLevel(5, 1));
    EXPECT_TRUE(mGameData.IsTouchupAvailable(0)) << "the current level";
    ASSERT_TRUE(mGameData.StartLevel(2, 1));
    EXPECT_FALSE(mGameData.IsTouchupAvailable(-1));
    // A reload forgets the cached answer.
    WriteGameData("Upgrades = { powers = { touchup = { level = 1 } } }");
    mGameData.Reload();
    EXPECT_TRUE(mGameData.IsTouchupAvailable(2));
}

TEST_F(GameDataTest, LevelGoalDialogs) {
    struct TCase {
        int level;
        const char* intro;
        int bonus;
        const char* ran;
    };
    const TCase cases[] = {
        {13, "empty_text", 2, "scripts/levelgoal.lua;"},
        {8, "empty_text", 1, "scripts/levelgoal.lua;"},
        {25, "empty_text", 4, "scripts/levelgoal.lua;"},
        {5, "intro_text_level_5", 5, "scripts/levelgoal.lua;"},
        {1, "intro_text_level_1", 5, "scripts/levelgoal.lua;scripts/rule_window.lua;"},
    };
    WriteStage("LevelData = { level = { goal = 70, expert = 140 } } Objects = {} function "
               "LevelTimerFunc() end");
    mGameData.ShowLevelGoalDialog();
    EXPECT_EQ(MainText("gRan"), "") << "no level, no dialog";
    for (const TCase& c : cases) {
        ASSERT_TRUE(mGameData.StartLevel(c.level, 1));
        Main("gRan = ''");
        mGameData.ShowLevelGoalDialog();
        EXPECT_EQ(MainText("gRan"), c.ran) << c.level;
        EXPECT_EQ(MainText("level_intro"), c.intro) << c.level;
        EXPECT_EQ(MainText("preview_caption"), "preview_caption_" + std::to_string(c.level));
        EXPECT_EQ(MainNumber("bonus_num"), c.bonus) << c.level;
        Main("gGoal = scorelimits.goal .. '/' .. scorelimits.expert");
        EXPECT_EQ(MainText("gGoal"), "70/140");
    }
}

TEST_F(GameDataTest, RestartNeedsALevelAndTheGameWindow) {
    Main("gRestart = Restart()");
    EXPECT_EQ(MainNumber("gRestart"), 0);
    WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
    ASSERT_TRUE(mGameData.StartLevel(6, 2));
    EXPECT_EQ(mGameData.GetLoadState(), 0) << "no game window took it";
    Main("gRestart = Restart()");
    EXPECT_EQ(MainNumber("gRestart"), 0) << "no game window";
    mHooks.gameWindow = true;
    ASSERT_TRUE(mGameData.StartLevel(6, 2));
    EXPECT_EQ(mGameData.GetLoadState(), 2);
    mHooks.calls.clear();
    Main("gRestart = Restart()");
    EXPECT_EQ(MainNumber("gRestart"), 1);
    EXPECT_EQ(mGameData.GetLevel(), nullptr);
    EXPECT_EQ(mHooks.calls, (std::vector<std::string>{"stop score text", "load 6 2"}));
}

} // namespace

namespace {

TEST_F(TLevelTest, TheFactoryMakesTheGameDataOnceWithTheGamesFolders) {
    WriteGameData("Upgrades = { powers = { speed = { index = 1 } } }");
    GVFactory& visuals = GVFactory::Instance();
    const str objects = visuals.GetObjectFolder();
    const str textures = visuals.GetTextureFolder();
    visuals.SetObjectFolder("elsewhere/");
    GGameData* data = GObjectFactory::Instance().GetGameData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(GObjectFactory::Instance().GetGameData(), data);
    EXPECT_STREQ(visuals.GetObjectFolder().CStr(), "xml/");
    EXPECT_STREQ(visuals.GetTextureFolder().CStr(), "anim/");
    EXPECT_STREQ(data->GetPowerName(0).CStr(), "speed") << "loaded";
    GObjectFactory::Instance().Clear(true, false);
    visuals.SetObjectFolder(objects);
    visuals.SetTextureFolder(textures);
}

} // namespace
