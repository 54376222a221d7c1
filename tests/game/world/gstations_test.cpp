// The stations: seats and preparation queues with their points, the girls they take and the scenes
// a seat offers; the pacifier items and their container: the item looks by upgrade level, item set
// and flag, the script's "CPP_SetItem", the reset once every item is taken, and a container that
// goes before its items.
#include "game/visual/GVObject.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GMStr_Chair.h"
#include "game/world/GMStr_Edit.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GPacifierContainer.h"
#include "game/world/GPacifierObject.h"
#include "game/world/GPreparationQueue.h"
#include "game/world/GSeat.h"
#include "tests/game/world/level_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace gstations_test {
namespace {

using visual_test::Tick;
using world_test::TFixtureGirl;
using world_test::TLevelTest;

const char kSeatPoints[] = "point_approach = { x = 10, y = 20, z = 1 }, "
                           "point_approach_helper = { x = -10, y = 25, z = 2 }, "
                           "point_landing = { x = 3, y = -4, z = 5 }, "
                           "point_approach_power = { y = 40 }";

class StationTest : public TLevelTest {
protected:
    void SetUp() override {
        TLevelTest::SetUp();
        ServeImage("s.png", 8);
        ServeXml("station", "<main id=\"station\"><images><img name=\"s.png\"/></images>"
                            "<framelist><frame w=\"8\" h=\"8\"/></framelist></main>");
    }

    // A seat at (100, 200) with the scenes hair, makeup and nails.
    GSeat* PlaceSeat(const std::string& name,
                     const std::string& visual = "xml_anim = 'station', ") {
        return dynamic_cast<GSeat*>(Place(name,
                                          "{ class_name = 'GSeat', " + visual +
                                              "scenes = { 'hair', 'makeup', 'nails' }, " +
                                              kSeatPoints + " }",
                                          "{ name = '" + name + "', pos_x = 100, pos_y = 200 }"));
    }

    GPreparationQueue* PlaceQueue(const std::string& name) {
        return dynamic_cast<GPreparationQueue*>(
            Place(name,
                  std::string("{ class_name = 'GPreparationQueue', xml_anim = 'station', ") +
                      kSeatPoints + " }",
                  "{ name = '" + name + "', pos_x = 300, pos_y = 100 }"));
    }

    static void ExpectPoint(TVec2 point, float x, float y, const std::string& what) {
        EXPECT_FLOAT_EQ(point.x, x) << what;
        EXPECT_FLOAT_EQ(point.y, y) << what;
    }
};

TEST_F(StationTest, SeatPointsDependOnWhoAsksAndSurviveTheClone) {
    GSeat* seat = PlaceSeat("chair");
    ASSERT_NE(seat, nullptr);
    EXPECT_STREQ(seat->GetClassName(), "GSeat");
    EXPECT_TRUE(seat->IsKindOf(GGameObject::sClassId));
    EXPECT_TRUE(seat->CanHold());
    EXPECT_TRUE(seat->IsEditable());
    GMainHeroine heroine;
    GPersonage helper;
    ExpectPoint(seat->GetApproachPoint(&heroine), 110, 220, "heroine");
    ExpectPoint(seat->GetApproachPoint(&helper), 90, 225, "another personage");
    ExpectPoint(seat->GetApproachPoint(nullptr), 90, 225, "nobody");
    ExpectPoint(seat->GetLandingPoint(), 100, 240, "landing");

    std::unique_ptr<GGameObject> copy(seat->Clone());
    copy->SetPosition(0, 0);
    ExpectPoint(copy->GetApproachPoint(&heroine), 10, 20, "clone");
    ExpectPoint(copy->GetLandingPoint(), 0, 40, "clone");

    GPreparationQueue* queue = PlaceQueue("queue");
    ASSERT_NE(queue, nullptr);
    ExpectPoint(queue->GetApproachPoint(&heroine), 310, 120, "queue, heroine");
    ExpectPoint(queue->GetApproachPoint(&helper), 310, 120, "queue, helper");
    EXPECT_FALSE(queue->HasPendingTask(false));
}

TEST_F(StationTest, AnySceneRemovedFromASeatEmptiesItsListAndAFreedSeatOffersThemAgain) {
    GSeat* seat = PlaceSeat("chair");
    ASSERT_NE(seat, nullptr);
    EXPECT_FALSE(seat->HasPendingTask(false));
    seat->StartGame();
    EXPECT_EQ(seat->GetScenes(), (std::vector<str>{"hair", "makeup", "nails"}));
    EXPECT_TRUE(seat->HasPendingTask(false));

    EXPECT_EQ(seat->RemoveScene("", true), 0);
    EXPECT_EQ(seat->RemoveScene("judging", true), -1);
    EXPECT_EQ(seat->GetScenes().size(), 3u);
    EXPECT_EQ(seat->RemoveScene("makeup", false), 1);
    EXPECT_TRUE(seat->GetScenes().empty());
    EXPECT_FALSE(seat->HasPendingTask(false));
    EXPECT_EQ(seat->RemoveScene("nails", true), 1) << "a known scene, even one not offered";

    EXPECT_EQ(seat->SetOccupant(nullptr), 1);
    EXPECT_EQ(seat->GetScenes().size(), 3u) << "free again: every scene offered";
    seat->Block("hair");
    EXPECT_FALSE(seat->HasPendingTask(false)) << "blocked";
}

TEST_F(StationTest, HoldersTakeAGirlFromHerOldHolderAndKeepHerAtTheirLandingPoint) {
    GSeat* seat = PlaceSeat("chair");
    GPreparationQueue* queue = PlaceQueue("queue");
    GSeat* bare = PlaceSeat("bare", "");
    ASSERT_TRUE(seat != nullptr && queue != nullptr && bare != nullptr);
    TFixtureGirl girl;
    EXPECT_EQ(queue->TakeObject(nullptr), 0);
    EXPECT_EQ(bare->TakeObject(&girl), 0) << "no visual";
    EXPECT_EQ(girl.GetHolder(), nullptr);

    ASSERT_EQ(queue->TakeObject(&girl), 1);
    EXPECT_EQ(girl.GetHolder(), queue);
    EXPECT_EQ(queue->GetOccupant(), &girl);
    ExpectPoint(girl.GetPosition(), 303, 96, "in the queue");

    seat->StartGame();
    seat->RemoveScene("hair", false);
    ASSERT_EQ(seat->TakeObject(&girl), 1);
    EXPECT_EQ(queue->GetOccupant(), nullptr) << "her old holder let her go";
    EXPECT_EQ(seat->GetOccupant(), &girl);
    EXPECT_EQ(girl.GetHolder(), seat);
    ExpectPoint(girl.GetPosition(), 103, 196, "on the seat");

    seat->SetPosition(120, 230);
    seat->PlaceOccupant();
    ExpectPoint(girl.GetPosition(), 123, 226, "moved with the seat");
    EXPECT_TRUE(seat->GetScenes().empty());
    seat->SetOccupant(nullptr);
    EXPECT_EQ(seat->GetScenes().size(), 3u);
}

TEST_F(StationTest, AGirlSeatedTakesTheSeatsTimeFactorForHerFirstScene) {
    GSeat* seat = PlaceSeat("chair");
    GGameObject* girl = Place("girl",
                              "{ class_name = 'GStudent', scenes = { 'hair' }, "
                              "tasks = { hairstyle = { tick_count = 3, delay = 100 } } }",
                              "{ name = 'girl' }",
                              "function GetRealTaskName(t) asked = t return 'hairstyle' end\n"
                              "function GetTaskBaseTime(t) return 250 end");
    ASSERT_TRUE(seat != nullptr && girl != nullptr);
    girl->AddScene("hair", false);
    seat->GetUpgradeData().mValue = 1.5;
    ASSERT_EQ(seat->TakeObject(girl), 1);
    EXPECT_EQ(Text(girl, "asked"), "hair");
    EXPECT_EQ(girl->GetTaskTime("hairstyle"), 375) << "250 x 1.5 over three ticks of 125";
}

TEST_F(StationTest, OccupiedPreparationQueuesCloseUpAtTheFront) {
    GLogicalManager& manager = GLogicalManager::Instance();
    std::vector<GPreparationQueue*> queues;
    for (const char* name : {"q1", "q2", "q3", "q4"}) {
        queues.push_back(PlaceQueue(name));
        ASSERT_NE(queues.back(), nullptr);
        manager.RegisterObject(queues.back());
    }
    TFixtureGirl first;
    TFixtureGirl second;
    TFixtureGirl third;
    queues[1]->TakeObject(&first);
    queues[3]->TakeObject(&second);
    manager.CompactPreparationQueues();
    EXPECT_EQ(queues[0]->GetOccupant(), &first);
    EXPECT_EQ(queues[1]->GetOccupant(), &second);
    EXPECT_EQ(queues[2]->GetOccupant(), nullptr);
    EXPECT_EQ(queues[3]->GetOccupant(), nullptr);
    EXPECT_EQ(second.GetHolder(), queues[1]);

    queues[3]->TakeObject(&third);
    queues[0]->SetOccupant(nullptr);
    first.SetHolder(nullptr);
    EXPECT_EQ(GLogicalManager::CloseUp(manager.GetPreparationQueues()), 2);
    EXPECT_EQ(queues[0]->GetOccupant(), &second);
    EXPECT_EQ(queues[1]->GetOccupant(), &third);
    EXPECT_EQ(GLogicalManager::CloseUp(manager.GetPreparationQueues()), 0) << "closed up";
}

TEST_F(StationTest, TheEditorMovesSeatsQueuesAndItemsAndPlayGivesTheSeatItsChair) {
    GSeat* seat = PlaceSeat("chair");
    GPreparationQueue* queue = PlaceQueue("queue");
    ASSERT_TRUE(seat != nullptr && queue != nullptr);
    seat->SetEditMode(true, 1);
    queue->SetEditMode(true, 1);
    EXPECT_NE(dynamic_cast<GMStr_Edit*>(seat->GetStrategy()), nullptr);
    EXPECT_NE(dynamic_cast<GMStr_Edit*>(queue->GetStrategy()), nullptr);
    EXPECT_TRUE(seat->IsMouseEnabled());
    seat->SetEditMode(false, 1);
    queue->SetEditMode(false, 1);
    EXPECT_NE(dynamic_cast<GMStr_Chair*>(seat->GetStrategy()), nullptr);
    EXPECT_EQ(seat->GetStrategy()->GetTarget(), seat);
    EXPECT_EQ(queue->GetStrategy(), nullptr);
}

// A pacifier item that notes the looks it is given.
class TRecordingItem final : public GPacifierObject {
public:
    int SetLookState(const str& state) override {
        mStates += std::string(state.CStr()) + ";";
        return 7;
    }

    std::string mStates;
};

const char kContainerType[] = "{ class_name = 'GPacifierContainer', xml_anim = 'station', "
                              "tasks = { reset = { tick_count = 2, delay = 1 } } }";
const char kContainerFunctions[] = "resets = ''\n"
                                   "function resetBeginTask(r) return 1 end\n"
                                   "function resetTaskTimer(n) return 1 end\n"
                                   "function resetEndTask(r) resets = resets .. r .. ';' end\n";

TEST_F(StationTest, ItemLooksFollowTheirUpgradeLevelTheItemSetAndTheFlag) {
    struct TCase {
        int level;
        int set;
        int flag;
        const char* states;
    };
    const TCase cases[] = {
        {-1, 0, 0, "upgrade_0;"},
        {-1, 1, 0, "upgrade_2_0;"},
        {-1, 2, 0, "upgrade_3_0;"},
        {-1, 0, 1, "upgrade_1;"},
        {-1, 1, 1, "upgrade_2;"},
        {-1, 2, 1, "upgrade_3;"},
        {0, 0, 0, "upgrade_1;"},
        {0, 1, 0, "upgrade_2;"},
        {0, 2, 0, "upgrade_3;"},
        {0, 0, 1, "upgrade_2;"},
        {0, 1, 1, "upgrade_3;"},
        {0, 2, 1, "upgrade_3;"},
        {1, 0, 0, "upgrade_2;"},
        {1, 2, 0, "upgrade_2;"},
        {1, 1, 1, "upgrade_3;"},
        {2, 0, 0, "upgrade_3;"},
        {2, 2, 0, "upgrade_3;"},
        {2, 0, 1, ""},
        {2, 2, 1, ""},
        {3, 0, 0, ""},
        {-2, 0, 0, ""},
        {0, 3, 0, ""},
        {0, -1, 1, ""},
        {0, 0, 2, ""},
    };
    auto* placed = dynamic_cast<GPacifierContainer*>(Place("box", kContainerType, "{}"));
    ASSERT_NE(placed, nullptr);
    ASSERT_TRUE(placed->IsInUpgradePhase());
    for (const TCase& c : cases) {
        TRecordingItem item;
        item.SetUpgradeLevel(c.level);
        placed->CPP_SetSet(c.set);
        const int duration = placed->SetItemState(&item, c.flag);
        EXPECT_EQ(item.mStates, c.states) << c.level << " " << c.set << " " << c.flag;
        EXPECT_EQ(duration, item.mStates.empty() ? 0 : 7) << c.level << " " << c.set;
    }

    // In play the first set's first level comes in with its effect.
    GPacifierContainer playing;
    for (const int level : {0, -1}) {
        TRecordingItem item;
        item.SetUpgradeLevel(level);
        playing.SetItemState(&item, level == 0 ? 0 : 1);
        EXPECT_EQ(item.mStates, "upgrade_1;show_fx;") << level;
    }
}

TEST_F(StationTest, ScriptsPinOrFreeItemsByIndexFromOne) {
    auto* box = dynamic_cast<GPacifierContainer*>(Place("box", kContainerType, "{}"));
    ASSERT_NE(box, nullptr);
    TRecordingItem first;
    TRecordingItem second;
    box->AddItem(&first);
    box->AddItem(&second);
    box->AddItem(&first);
    ASSERT_EQ(box->GetItems().size(), 2u) << "an item is listed once";
    EXPECT_EQ(first.GetContainer(), box);

    Run(box, "r = { CPP_SetItem(0, 1, 1), CPP_SetItem(3, 1, 1), CPP_SetItem(1, 5, 0), "
             "CPP_SetItem(2, 2, 0), CPP_SetItem(1, 1, 2), CPP_SetItem(-4, 2, 0) }");
    std::unique_ptr<TLuaTable> results(box->GetScript().GetGlobalTable("r"));
    ASSERT_NE(results, nullptr);
    const double expected[] = {0, 2, 3, 7, 7, 0};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(results->GetNumberAt(i + 1), expected[i]) << "call " << i + 1;
    }
    EXPECT_EQ(second.GetUpgradeLevel(), 1) << "kind 2 without a strategy: one level more";
    EXPECT_FALSE(second.IsFixed());
    EXPECT_EQ(second.mStates, "upgrade_2;");
    EXPECT_EQ(first.GetUpgradeLevel(), 2);
    EXPECT_TRUE(first.IsFixed());
    EXPECT_EQ(first.mStates, "upgrade_3;");

    first.mStates.clear();
    second.mStates.clear();
    EXPECT_EQ(box->RefreshItems(1), 2);
    EXPECT_EQ(first.mStates, "") << "pinned by the script";
    EXPECT_EQ(second.mStates, "upgrade_3;");
    box->SetVisualState(str("upgrade_2"));
    EXPECT_EQ(second.mStates, "upgrade_3;upgrade_3;") << "the container's upgrade_2: flag 1";
    box->SetVisualState(str("normal"));
    EXPECT_EQ(second.mStates, "upgrade_3;upgrade_3;upgrade_2;");

    box->SetStrategy(new GMStr_Edit);
    Run(box, "r = CPP_SetItem(2, 2, 0)");
    EXPECT_EQ(second.GetUpgradeLevel(), 0) << "kind 2 with a strategy: the value itself";
    Run(box, "r = CPP_SetItem(1, 0, 0)");
    EXPECT_EQ(Number(box, "r"), 0) << "no level to remove the item from";
}

TEST_F(StationTest, TakingTheLastVisibleItemResetsThemAllAfterTheFirstItemsResetTime) {
    auto* box = dynamic_cast<GPacifierContainer*>(
        Place("box", kContainerType, "{ name = 'box' }", kContainerFunctions));
    ASSERT_NE(box, nullptr);
    std::vector<GPacifierObject*> items;
    for (const char* name : {"soother", "dummy"}) {
        const std::string time = items.empty() ? "300" : "500";
        auto* item = dynamic_cast<GPacifierObject*>(
            Place(name,
                  "{ class_name = 'GPacifierObject', container = 'box', poise_boost = 4, "
                  "reset_time = " +
                      time + ", point_approach = { x = 1, y = 2 } }",
                  std::string("{ name = '") + name + "', pos_x = 50, pos_y = 60 }"));
        ASSERT_NE(item, nullptr);
        items.push_back(item);
    }
    std::vector<GGameObject*> holders{items[0], box};
    EXPECT_EQ(items[0]->PickHolder(holders), 1);
    EXPECT_EQ(items[1]->PickHolder(holders), 1);
    std::vector<GGameObject*> none{items[0]};
    EXPECT_EQ(items[1]->PickHolder(none), 0);
    EXPECT_EQ(box->GetItems(), (std::vector<GPacifierObject*>{items[0], items[1]}));
    EXPECT_EQ(items[1]->GetPoiseBoost(), 4);
    ExpectPoint(items[1]->GetApproachPoint(nullptr), 51, 62, "item approach");

    box->StartGame();
    for (GPacifierObject* item : items) {
        item->StartGame();
        EXPECT_TRUE(item->IsVisible());
        EXPECT_TRUE(item->HasPendingTask(false));
        EXPECT_FALSE(item->HasPendingTask(true));
    }
    items[1]->SetPlace(TVec2(400, 400), 10000);
    items[1]->ReturnHome(true);
    ExpectPoint(items[1]->GetPosition(), 50, 60, "back home");
    EXPECT_FALSE(items[1]->IsVisible());
    EXPECT_EQ(items[1]->GetHiddenCountdown(), 500);
    EXPECT_EQ(box->GetCurrentTask(), nullptr) << "one item is still there";

    items[0]->ReturnHome(false);
    EXPECT_TRUE(items[0]->IsVisible()) << "dropped without use";
    EXPECT_EQ(box->GetCurrentTask(), nullptr);
    items[0]->ReturnHome(true);
    ASSERT_NE(box->GetCurrentTask(), nullptr);
    EXPECT_EQ(box->GetCurrentTask()->GetName(), str("reset"));
    EXPECT_EQ(box->GetTaskTime("reset"), 300) << "the first item's reset time";
    Tick(150);
    EXPECT_FALSE(items[0]->IsVisible());
    Tick(150);
    Tick(150);
    EXPECT_EQ(Text(box, "resets"), "0;");
    EXPECT_EQ(box->GetCurrentTask(), nullptr);
    for (GPacifierObject* item : items) {
        EXPECT_TRUE(item->IsVisible());
    }
}

TEST_F(StationTest, ABoughtContainerRaisesItsItemsRunsItsRecordAndMovesThemAlong) {
    WriteGameData("Upgrades = { objects = { { name = 'box', "
                  "{ level = 1, upgrade_level = 0, start_command = 'BaseType.poise_boost = 9' }, "
                  "{ level = 2, upgrade_level = 1, start_command = 'BaseType.poise_boost = 12' } "
                  "} } }");
    mGameData.Load();
    auto* box = dynamic_cast<GPacifierContainer*>(
        Place("box", kContainerType, "{ name = 'box', pos_x = 200, pos_y = 300 }"));
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->GetSavedUpgradeLevel(), 0);
    std::vector<GPacifierObject*> items;
    for (const char* name : {"soother", "dummy"}) {
        auto* item = dynamic_cast<GPacifierObject*>(
            Place(name, "{ class_name = 'GPacifierObject', poise_boost = 4, reset_time = 50 }",
                  std::string("{ name = '") + name + "', pos_x = 210, pos_y = 310 }"));
        ASSERT_NE(item, nullptr);
        box->AddItem(item);
        items.push_back(item);
    }
    items[1]->SetFixed(true);
    box->EnterUpgradeMode(1);
    EXPECT_NE(box->GetStrategy(), nullptr);
    box->Upgrade();
    EXPECT_EQ(box->GetStrategy(), nullptr);
    EXPECT_EQ(box->GetUpgradeLevel(), 1);
    EXPECT_EQ(items[0]->GetUpgradeLevel(), 1);
    EXPECT_EQ(items[0]->GetPoiseBoost(), 9) << "the record of the level it was placed with";
    EXPECT_EQ(items[1]->GetUpgradeLevel(), 0) << "pinned by a script";
    EXPECT_EQ(items[1]->GetPoiseBoost(), 4);

    box->LeaveUpgradeMode(1);
    EXPECT_FALSE(box->IsInUpgradePhase());
    EXPECT_FALSE(items[0]->WantsDestroy());

    box->SetEditMode(true, 1);
    EXPECT_NE(dynamic_cast<GMStr_Edit*>(box->GetStrategy()), nullptr);
    box->SetPosition(230, 290);
    box->PlaceOccupant();
    for (GPacifierObject* item : items) {
        ExpectPoint(item->GetPosition(), 240, 300, item->GetName().CStr());
    }
    box->PlaceOccupant();
    ExpectPoint(items[0]->GetPosition(), 240, 300, "no further move");
}

TEST_F(StationTest, AContainerDeletedBeforeItsItemsLeavesThemNothingToReach) {
    auto* box = dynamic_cast<GPacifierContainer*>(Place("box", kContainerType, "{}"));
    ASSERT_NE(box, nullptr);
    auto item = std::make_unique<TRecordingItem>();
    auto other = std::make_unique<TRecordingItem>();
    box->AddItem(item.get());
    box->AddItem(other.get());
    other.reset();
    EXPECT_EQ(box->GetItems().size(), 1u) << "a deleted item leaves its container";
    mObjects.clear();
    EXPECT_EQ(item->GetContainer(), nullptr);
    item->Show(true);
    item->ReturnHome(true);
    item.reset();
}

const char kUnofferedBoxGameData[] =
    "Upgrades = { objects = { { name = 'box', { level = 5, upgrade_level = 1 } } } }";

const char kBoxStage[] = R"(
LevelData = {
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    box = { included = true, base_type = 'box' },
    soother = { included = true, base_type = 'item' },
    dummy = { included = true, base_type = 'item' },
    rattle = { included = true, base_type = 'item' } },
}
Objects = {
  types = { box = { class_name = 'GPacifierContainer' },
            item = { class_name = 'GPacifierObject', container = 'box' } },
  data = { box = { name = 'box', base_type = 'box' },
           soother = { name = 'soother', base_type = 'item' },
           dummy = { name = 'dummy', base_type = 'item' },
           rattle = { name = 'rattle', base_type = 'item' } },
}
function LevelTimerFunc(tick) end
)";

TEST_F(StationTest, AContainerNotOfferedYetTakesItsItemsAlongWhenItGoes) {
    WriteGameData(kUnofferedBoxGameData);
    WriteStage(kBoxStage);
    ASSERT_TRUE(Start(5));
    GLevel* level = Level();
    auto count = [&level](const char* className) {
        int found = 0;
        for (GGameObject* object : level->GetObjects()) {
            found += str(object->GetClassName()) == str(className) ? 1 : 0;
        }
        return found;
    };
    ASSERT_EQ(count("GPacifierContainer"), 1) << "offered on level 5";
    ASSERT_EQ(count("GPacifierObject"), 3);
    level->UpdateHolders();
    EXPECT_EQ(count("GPacifierContainer"), 1);
    EXPECT_EQ(count("GPacifierObject"), 3);

    mGameData.DestroyLevel();
    ASSERT_TRUE(mGameData.StartLevel(3, 1));
    level = Level();
    ASSERT_EQ(count("GPacifierContainer"), 1) << "kept: nothing offered, nothing bought";
    ASSERT_EQ(count("GPacifierObject"), 3);
    level->UpdateHolders();
    EXPECT_EQ(count("GPacifierContainer"), 0);
    EXPECT_EQ(count("GPacifierObject"), 0) << "every item went, none skipped";
}

} // namespace
} // namespace gstations_test
