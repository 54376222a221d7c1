// The logical manager over a level: its registries, the game state and the carry, the level flow
// from loading to the result, the reset, the buy button and the game's close.
#include "game/world/GLogicalManager.h"

#include "game/world/GJudgingScene.h"
#include "game/world/GStatistics.h"
#include "game/world/GStratMousePikUp.h"
#include "tests/game/world/level_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TLevelTest;

// An object of the named class, at a position; the manager files objects by their class.
class TClassed : public GGameObject {
public:
    explicit TClassed(const char* className, int x = 0, int y = 0, GGameObject* occupant = nullptr)
        : mClass(className), mOccupantObject(occupant) {
        SetPosition(x, y);
    }
    const char* GetClassName() const override { return mClass; }
    GGameObject* GetOccupant() override { return mOccupantObject; }
    bool HasPendingTask(bool /*flag*/) override { return mPending; }

    const char* mClass;
    GGameObject* mOccupantObject;
    bool mPending = false;
};

class LogicalManagerLevelTest : public TLevelTest {
protected:
    GLogicalManager& Manager() { return GLogicalManager::Instance(); }

    // A level from the stage text, started and taking the fixture objects.
    GLevel& StartWith(const std::string& stage, int number = 1) {
        WriteStage(stage);
        EXPECT_TRUE(mGameData.StartLevel(number, 1));
        return *Level();
    }
};

const char kEmptyStage[] = "LevelData = {} Objects = {} function LevelTimerFunc() end";

TEST_F(LogicalManagerLevelTest, RegistriesFileObjectsByExactClassAndForgetThem) {
    GLevel& level = StartWith(kEmptyStage);
    auto* place = new TClassed("GJudgingQueue");
    auto* queue = new TClassed("GPreparationQueue");
    auto* heroine = new TClassed("GMainHeroine");
    auto* door = new TClassed("GInDoor");
    auto* meter = new TClassed("GMarivellPowerMeter");
    auto* scene = new TClassed("GJudgingScene");
    auto* judgingDoor = new TClassed("GJudgingSceneDoor");
    auto* kin = new TClassed("GJudgingQueueX");
    for (GGameObject* object :
         {static_cast<GGameObject*>(place), static_cast<GGameObject*>(queue),
          static_cast<GGameObject*>(heroine), static_cast<GGameObject*>(door),
          static_cast<GGameObject*>(meter), static_cast<GGameObject*>(scene),
          static_cast<GGameObject*>(judgingDoor), static_cast<GGameObject*>(kin)}) {
        level.AddObject(object);
    }
    GLogicalManager& manager = Manager();
    EXPECT_EQ(manager.GetJudgingPlaces(), std::vector<GGameObject*>{place});
    EXPECT_EQ(manager.GetPreparationQueues(), std::vector<GGameObject*>{queue});
    EXPECT_EQ(manager.GetHeroine(), heroine);
    EXPECT_EQ(manager.GetEntranceDoor(), door);
    EXPECT_EQ(manager.GetPowerMeter(), meter);
    EXPECT_EQ(manager.GetJudgingScene(), scene);
    EXPECT_EQ(manager.GetJudgingDoor(), judgingDoor);
    EXPECT_EQ(manager.FirstFreePreparationQueue(), queue);

    for (GGameObject* object :
         {static_cast<GGameObject*>(place), static_cast<GGameObject*>(queue),
          static_cast<GGameObject*>(heroine), static_cast<GGameObject*>(door),
          static_cast<GGameObject*>(meter), static_cast<GGameObject*>(scene),
          static_cast<GGameObject*>(judgingDoor), static_cast<GGameObject*>(kin)}) {
        EXPECT_EQ(level.RemoveObject(object, false), 1);
    }
    EXPECT_TRUE(manager.GetJudgingPlaces().empty());
    EXPECT_TRUE(manager.GetPreparationQueues().empty());
    EXPECT_EQ(manager.GetHeroine(), nullptr);
    EXPECT_EQ(manager.GetEntranceDoor(), nullptr);
    EXPECT_EQ(manager.GetPowerMeter(), nullptr);
    EXPECT_EQ(manager.GetJudgingScene(), nullptr);
    EXPECT_EQ(manager.GetJudgingDoor(), nullptr);
    EXPECT_EQ(manager.FirstFreePreparationQueue(), nullptr);
}

TEST_F(LogicalManagerLevelTest, PersonagesAndGirlsAreKeyedAndForgottenByObject) {
    GLevel& level = StartWith(kEmptyStage);
    GObjectFactory& factory = GObjectFactory::Instance();
    std::unique_ptr<TLuaTable> girlType =
        Table("{ class_name = 'FixtureGirl', base_type = 'singer' }");
    std::unique_ptr<TLuaTable> amyData = Table("{ name = 'amy' }");
    std::unique_ptr<TLuaTable> bea = Table("{ name = 'bea' }");
    GGameObject* amy = factory.CreateObject("amy", girlType.get(), amyData.get());
    GGameObject* other = factory.CreateObject("bea", girlType.get(), bea.get());
    level.AddObject(amy);
    level.AddObject(other);
    EXPECT_EQ(Manager().GetGirls().count("singer"), 2U);
    level.RemoveObject(amy, true);
    ASSERT_EQ(Manager().GetGirls().count("singer"), 1U);
    EXPECT_EQ(Manager().GetGirls().find("singer")->second, other);
}

TEST_F(LogicalManagerLevelTest, ALoadedLevelFillsThePathGrid) {
    GPathGrid& grid = Manager().GetPathGrid();
    grid.Clear(0);
    StartWith("LevelData = { hall = { BaseType = 'types', block = { included = true, base_type = "
              "'block', name = 'block', pos_x = 50, pos_y = 30 } } } Objects = { types = { block = "
              "{ class_name = 'GGameObject', log_grid = { { 3 } } } } } function LevelTimerFunc() "
              "end");
    EXPECT_EQ(Manager().GetGameState(), 1);
    // 50, 30 is in cell (2, 1) of 20-unit cells.
    EXPECT_EQ(grid.GetWalkValue(2, 1), 3);
    EXPECT_EQ(grid.GetWalkValue(1, 1), 0);
}

TEST_F(LogicalManagerLevelTest, CarryingHoldsTheJudgingSceneUnlessTheDoorDoesNotKnowTheScene) {
    GLevel& level = StartWith(kEmptyStage);
    auto* scene = new GJudgingScene;
    level.AddObject(scene);
    std::unique_ptr<TLuaTable> doorType = Table("{ scenes = { 'judge' } }");
    auto* door = new TClassed("GJudgingSceneDoor");
    ASSERT_TRUE(door->InitFromTable(doorType.get(), nullptr));
    level.AddObject(door);
    std::unique_ptr<TLuaTable> girlType = Table("{ scenes = { 'judge', 'hair' } }");
    GGameObject girl;
    ASSERT_TRUE(girl.InitFromTable(girlType.get(), nullptr));
    GLogicalManager& manager = Manager();

    struct TCase {
        const char* scene;
        bool withDoor;
        bool held;
    };
    const TCase cases[] = {
        {"hair", true, false},
        {"judge", true, true},
        {"", true, true},
        {"hair", false, true},
    };
    for (const TCase& c : cases) {
        if (!c.withDoor) {
            manager.UnregisterObject(door);
        }
        girl.RemoveScene("judge", false);
        girl.RemoveScene("hair", false);
        if (c.scene[0] != '\0') {
            ASSERT_EQ(girl.AddScene(c.scene, false), 1);
        }
        manager.SetGameState(2);
        manager.SetCarriedObject(&girl);
        manager.SetGameState(3);
        EXPECT_EQ(manager.GetGameState(), 3);
        EXPECT_EQ(manager.IsJudgingSceneHeld(), c.held) << c.scene << " " << c.withDoor;
        // Dropping ends the carry.
        manager.SetGameState(2);
        EXPECT_FALSE(manager.IsJudgingSceneHeld());
        EXPECT_EQ(manager.GetCarriedObject(), nullptr);
    }
}

TEST_F(LogicalManagerLevelTest, LeavingTheCarryQueuesTheDeferredTextsInOrderAndResumes) {
    GLevel& level = StartWith(kEmptyStage);
    auto* waiting = new TClassed("GGameObject");
    waiting->mPending = true;
    waiting->SetStrategy(new GStratMousePikUp);
    auto* idle = new TClassed("GGameObject");
    idle->SetStrategy(new GStratMousePikUp);
    idle->SetMouseEnabled(true);
    level.AddObject(waiting);
    level.AddObject(idle);
    GLogicalManager& manager = Manager();
    manager.SetGameState(2);
    manager.SetGameState(3);
    manager.DeferLuaText("one();");
    manager.DeferLuaText("two();");
    mHooks.calls.clear();
    manager.SetGameState(2);
    EXPECT_EQ(mHooks.calls, (std::vector<std::string>{"queue one();", "queue two();"}));
    EXPECT_TRUE(manager.GetDeferredLuaTexts().empty());
    EXPECT_FALSE(waiting->GetStrategy()->IsInactive()) << "a pending task takes the mouse";
    EXPECT_TRUE(idle->GetStrategy()->IsInactive());

    // Loading and ending store their state without running the deferred texts.
    manager.SetGameState(3);
    manager.DeferLuaText("three();");
    mHooks.calls.clear();
    manager.OnLevelEnd();
    EXPECT_EQ(manager.GetGameState(), 4);
    EXPECT_TRUE(waiting->GetStrategy()->IsInactive());
    manager.SetGameState(3);
    manager.OnLevelLoaded(&level);
    EXPECT_EQ(manager.GetGameState(), 1);
    EXPECT_EQ(manager.GetDeferredLuaTexts(), std::vector<str>{"three();"});
    for (const std::string& call : mHooks.calls) {
        EXPECT_EQ(call.find("queue"), std::string::npos) << call;
    }
    EXPECT_EQ(MainText("gRan"), "hide;hide;hide;");
}

const char kPowersData[] = R"(
Upgrades = { powers = {
  speed = { index = 1, level = 1 }, makeup = { index = 2, level = 5 },
  hair = { index = 3, level = 2 }, poise = { index = 5, level = 1 }, sneaky = { level = 1 },
} }
)";

TEST_F(LogicalManagerLevelTest, BeginningSortsThePlacesAndPlacesThePowerButtonsOfTheLevel) {
    WriteGameData(kPowersData);
    mGameData.Load();
    GLevel& level = StartWith(kEmptyStage, 2);
    auto* left = new TClassed("GJudgingQueue", 10, 0);
    auto* right = new TClassed("GJudgingQueue", 300, 0);
    auto* middle = new TClassed("GJudgingQueue", 100, 0);
    auto* low = new TClassed("GPreparationQueue", 0, 500);
    auto* high = new TClassed("GPreparationQueue", 0, 50, left);
    for (GGameObject* object : {static_cast<GGameObject*>(left), static_cast<GGameObject*>(right),
                                static_cast<GGameObject*>(middle), static_cast<GGameObject*>(high),
                                static_cast<GGameObject*>(low)}) {
        level.AddObject(object);
    }
    mHooks.calls.clear();
    level.EndUpgradePhase();
    level.Begin();
    EXPECT_EQ(level.GetLevelState(), 2);
    EXPECT_EQ(Manager().GetGameState(), 2);
    EXPECT_EQ(Manager().GetJudgingPlaces(), (std::vector<GGameObject*>{right, middle, left}));
    EXPECT_EQ(Manager().GetPreparationQueues(), (std::vector<GGameObject*>{low, high}));
    EXPECT_EQ(Manager().FirstFreePreparationQueue(), low);
    // Makeup unlocks at 5; position 3 is free; "sneaky" has no place.
    EXPECT_EQ(mHooks.calls, (std::vector<std::string>{"power button speed 0", "power button hair 1",
                                                      "power button poise 2"}));
}

const char kGirlUpgrades[] = R"(
Upgrades = { objects = {
  { name = 'upgr_student_2', girl_base_type = 'singer', { level = 1 }, { level = 1 } },
  { name = 'upgr_student_2_1', girl_base_type = 'singer', { level = 1 } },
  { name = 'upgr_student_4', girl_base_type = 'dancer', { level = 1 } },
} }
)";

TEST_F(LogicalManagerLevelTest, UpgradePhaseEndAsksOnlyForTypesWithGirls) {
    WriteGameData(kGirlUpgrades);
    mGameData.Load();
    GLevel& level = StartWith(kEmptyStage, 3);
    std::unique_ptr<TLuaTable> girlType =
        Table("{ class_name = 'FixtureGirl', base_type = 'singer' }");
    std::unique_ptr<TLuaTable> data = Table("{ name = 'amy' }");
    level.AddObject(GObjectFactory::Instance().CreateObject("amy", girlType.get(), data.get()));
    Main("gAsked = '' gUpgradeIndex = { upgr_student_2 = 2 }");
    level.EndUpgradePhase();
    EXPECT_FALSE(level.IsUpgradePhase());
    EXPECT_EQ(MainText("gAsked"), "upgr_student_2@3;upgr_student_2_1@3;upgr_student_2_2@3;");
}

TEST_F(LogicalManagerLevelTest, ResultDialogsAndAwardLevels) {
    for (const int n : {4, 7, 46, 50, 51}) {
        EXPECT_TRUE(GLogicalManager::IsAwardLevel(n)) << n;
    }
    for (const int n : {1, 3, 47, 48, 49}) {
        EXPECT_FALSE(GLogicalManager::IsAwardLevel(n)) << n;
    }
    struct TCase {
        int level;
        int result;
        const char* ran;
        const char* levelResult;
    };
    const TCase cases[] = {
        {7, 2, "scripts/level_award.lua;", "win"},
        {8, 3, "scripts/level_stats.lua;", "expert"},
        {8, 2, "scripts/level_stats.lua;", "win"},
        {9, 1, "scripts/level_try_again.lua;", ""},
    };
    for (const TCase& c : cases) {
        StartWith(kEmptyStage, c.level);
        Main("gRan = '' LevelResult = nil");
        Manager().ShowLevelResult(c.result);
        EXPECT_EQ(MainText("gRan"), c.ran) << c.level;
        EXPECT_EQ(MainText("LevelResult"), c.levelResult) << c.level;
    }
    mGameData.DestroyLevel();
    Main("gRan = ''");
    Manager().ShowLevelResult(2);
    EXPECT_EQ(MainText("gRan"), "scripts/level_award.lua;") << "without a level";
}

TEST_F(LogicalManagerLevelTest, ResetLeavesNothingOfTheLevelBehind) {
    GLevel& level = StartWith(kEmptyStage);
    level.AddObject(new TClassed("GMainHeroine"));
    GLogicalManager& manager = Manager();
    manager.SetGameState(2);
    manager.SetGameState(3);
    manager.DeferLuaText("PowerIDS=1;");
    GFlyEmitter* effect = reinterpret_cast<GFlyEmitter*>(&level);
    manager.SetPoiseEffect(effect);
    manager.SetCurrentScene(reinterpret_cast<GBaseLogicalScene*>(&level));
    GStatistics::Instance()->OnLevelStart(1);
    mGameData.DestroyLevel();
    EXPECT_TRUE(manager.GetDeferredLuaTexts().empty());
    EXPECT_EQ(manager.GetCurrentScene(), nullptr);
    EXPECT_EQ(manager.GetPoiseEffect(), nullptr);
    EXPECT_EQ(manager.GetHeroine(), nullptr);
    EXPECT_EQ(manager.GetCarriedObject(), nullptr);
    EXPECT_FALSE(GStatistics::Instance()->IsLevelActive());
    EXPECT_NE(std::find(mHooks.calls.begin(), mHooks.calls.end(), "stop score text"),
              mHooks.calls.end());
}

TEST_F(LogicalManagerLevelTest, BuyButtonFollowsTheMoneyInTheUpgradePhase) {
    GLogicalManager& manager = Manager();
    Main("gMoney = 100");
    EXPECT_FALSE(manager.UpdateBuyButton()) << "no level";
    GLevel& level = StartWith(kEmptyStage);
    auto* booth = new GGameObject;
    booth->GetUpgradeData().mPrice = 80;
    booth->SetStrategy(new GStratMousePikUp);
    level.AddObject(booth);
    mHooks.calls.clear();
    EXPECT_TRUE(manager.UpdateBuyButton());
    Main("gMoney = 79");
    EXPECT_FALSE(manager.UpdateBuyButton());
    Main("gMoney = 100");
    booth->GetUpgradeData().mPrice = 0;
    EXPECT_FALSE(manager.UpdateBuyButton()) << "nothing on sale";
    booth->GetUpgradeData().mPrice = 80;
    level.EndUpgradePhase();
    EXPECT_FALSE(manager.UpdateBuyButton()) << "in play";
    EXPECT_EQ(mHooks.calls,
              (std::vector<std::string>{"glow off", "glow on", "glow on", "glow on"}));
}

TEST_F(LogicalManagerLevelTest, ClosingTheGameFilesTheTotalScoreOnceInASession) {
    GStatistics* statistics = GStatistics::Instance();
    Main("gTotalScore = 1234 gTotalScoreAsked = 0");
    Manager().CloseGame();
    EXPECT_EQ(MainNumber("gTotalScoreAsked"), 0) << "no session";
    statistics->CPP_StatisticOnGameSessionStart();
    ASSERT_TRUE(statistics->IsSessionActive());
    Manager().CloseGame();
    Manager().CloseGame();
    EXPECT_EQ(MainNumber("gTotalScoreAsked"), 1);
    EXPECT_FALSE(statistics->IsSessionActive());
}

TEST_F(LogicalManagerLevelTest, TouchUpsNeedAHeroineWithATouchUpTimeAndTheirLevel) {
    WriteGameData("Upgrades = { powers = { touchup = { level = 3 } } }");
    mGameData.Load();
    // A heroine placed with the touch-up time of her object table.
    const auto heroine = [this](const std::string& time) {
        std::unique_ptr<TLuaTable> type = Table("{ class_name = 'GMainHeroine' }");
        std::unique_ptr<TLuaTable> object = Table("{ touchup_time = " + time + " }");
        GGameObject* made = GObjectFactory::Instance().CreateObject(("heroine" + time).c_str(),
                                                                    type.get(), object.get());
        EXPECT_TRUE(made->InitInLevel(object.get(), nullptr, "", nullptr));
        return made;
    };
    GLevel& level = StartWith(kEmptyStage, 3);
    EXPECT_FALSE(Manager().CanTouchUp()) << "no heroine";
    level.AddObject(new TClassed("GMainHeroine"));
    EXPECT_FALSE(Manager().CanTouchUp()) << "not a heroine of her class";
    level.AddObject(heroine("1000"));
    EXPECT_TRUE(Manager().CanTouchUp());
    level.AddObject(heroine("0"));
    EXPECT_FALSE(Manager().CanTouchUp()) << "no touch-up time";
    StartWith(kEmptyStage, 2).AddObject(heroine("1000"));
    EXPECT_FALSE(Manager().CanTouchUp()) << "level 2";
}

// Notes the edit mode it is given.
class TEditable : public GGameObject {
public:
    explicit TEditable(std::string* journal) : mJournal(journal) {}
    bool IsEditable() const override { return true; }
    void SetEditMode(bool on, int level) override {
        *mJournal += (on ? "on " : "off ") + std::to_string(level) + ";";
        GGameObject::SetEditMode(on, level);
    }

private:
    std::string* mJournal;
};

TEST_F(LogicalManagerLevelTest, EditModeTakesTheMouseAndEditsTheEditableObjects) {
    std::string journal;
    GLevel& level = StartWith(kEmptyStage, 5);
    auto* plain = new GGameObject;
    plain->SetStrategy(new GStratMousePikUp);
    plain->SetMouseEnabled(true);
    level.AddObject(plain);
    level.AddObject(new TEditable(&journal));
    level.SetEditMode(true);
    EXPECT_TRUE(plain->GetStrategy()->IsInactive());
    level.SetEditMode(false);
    EXPECT_EQ(journal, "on 5;off 5;");
}

} // namespace
