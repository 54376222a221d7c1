// The game object base: placement from the factory's tables, its Lua state, triggers on the fake
// clock, walk masks, scenes, upgrade views, blocking, and the orders in which an object, its timer
// and the game screen's task list may go.
#include "game/world/GGameObject.h"

#include "engine/script/lua/lauxlib.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "game/common/GLogManager.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/GVObject.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GStratMousePikUp.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using visual_test::Key;
using visual_test::Tick;
using world_test::TWorldObjectTest;

// A square image object whose states name the upgrade views.
std::string UpgradeViewXml() {
    std::string states;
    for (const char* state : {"upgrade_0", "upgrade_1", "upgrade_2", "upgrade_3"}) {
        states += std::string("<state id=\"") + state + "\" framelist=\"0\"/>";
    }
    return "<main id=\"box\"><images><img name=\"a.png\"/></images><framelist>"
           "<frame w=\"8\" h=\"8\"/></framelist><states>" +
           states + "</states></main>";
}

class GameObjectTest : public TWorldObjectTest {
protected:
    void ServeBox() {
        ServeImage("a.png", 8);
        ServeXml("box", UpgradeViewXml());
    }
};

// Counts the change notices an object sends the logical manager.
class TNoticeCounter : public GGameObject {
public:
    void NotifyManager() override { ++mNotices; }
    int mNotices = 0;
};

// A game window with one fly emitter, for the particle script named "fx".
class TOneEmitter : public GLogicalManagerHooks {
public:
    GFlyEmitter* FindFlyEmitter(const str& script) override {
        mAsked.push_back(script.CStr());
        return script == "fx" ? &mEmitter : nullptr;
    }
    GFlyEmitter mEmitter;
    std::vector<std::string> mAsked;
};

// Keeps a script's Lua state open after the script goes.
class TKeepState : public TScriptOwner {};

TEST_F(GameObjectTest, PlacedObjectRunsItsScriptAndPreludeWithEscapedNamesAndTables) {
    static const char kScript[] = "script_ran = 1";
    RegisterMemoryFile("scripts/chair.lua", kScript, sizeof kScript - 1);
    GGameObject* object =
        Place("chair1",
              "{ class_name = 'GGameObject', base_type = [[ch'air\\]], "
              "script_name = 'scripts/chair.lua', speed = 3 }",
              "{ name = [[it's \"q\"'); evil = 1 --]], pos_x = 47, pos_y = 61, deltaZ = 5, "
              "list = { 1, 'two' } }",
              "extra = name");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Number(object, "script_ran"), 1);
    EXPECT_EQ(Text(object, "name"), "it's \"q\"'); evil = 1 --");
    EXPECT_EQ(Text(object, "extra"), "it's \"q\"'); evil = 1 --");
    EXPECT_EQ(Number(object, "evil"), 0) << "the name stays a string";
    EXPECT_EQ(Text(object, "base_type"), "ch'air\\");
    Run(object, "speed = BaseType.speed; item = BaseData.list[2]; x = ObjectData.pos_x; "
                "floor = math.floor(2.5)");
    EXPECT_EQ(Number(object, "speed"), 3);
    EXPECT_EQ(Text(object, "item"), "two");
    EXPECT_EQ(Number(object, "x"), 47);
    EXPECT_EQ(Number(object, "floor"), 2);

    // No walk mask: the position is taken as it is, depth y + "deltaZ".
    EXPECT_EQ(object->GetPosition().x, 47.0f);
    EXPECT_EQ(object->GetPosition().y, 61.0f);
    EXPECT_EQ(object->GetStartPosition().y, 61.0f);
    EXPECT_EQ(object->GetDepthOffset(), 5.0f);
    EXPECT_TRUE(standin::TakeMessageBoxes().empty());
    RegisterMemoryFile("scripts/chair.lua", nullptr, 0);
}

TEST_F(GameObjectTest, ObjectWithAWalkMaskIsSnappedToItsCellCentreWithItsVisual) {
    ServeBox();
    GGameObject* object =
        Place("seat", "{ class_name = 'GGameObject', xml_anim = 'box', log_grid = { { 1 } } }",
              "{ pos_x = 47, pos_y = 61, deltaZ = 5 }");
    ASSERT_NE(object, nullptr);
    GVObject* visual = object->GetVisual();
    ASSERT_NE(visual, nullptr);
    // Cell (2, 3) of 20 units: its centre (50, 70); the depth is the unsnapped y + 5.
    EXPECT_EQ(object->GetPosition().x, 50.0f);
    EXPECT_EQ(object->GetPosition().y, 70.0f);
    EXPECT_EQ(object->GetStartPosition().x, 47.0f);
    EXPECT_EQ(visual->mDeltaX, 50.0f);
    EXPECT_EQ(visual->mDeltaY, 70.0f);
    EXPECT_EQ(visual->mDeltaZ, 66.0f);
    EXPECT_TRUE(visual->IsChanged());

    object->MoveToPoint(100.0f, 200.0f);
    EXPECT_EQ(visual->mDeltaX, 110.0f);
    EXPECT_EQ(visual->mDeltaZ, 205.0f);
    Run(object, "CPP_SetVisible(0); d = CPP_SetAnimState('upgrade_2'); CPP_SetSimpleAnimCoef(2.5); "
                "value = CPP_GetUpgradeDataValue()");
    EXPECT_EQ(visual->mVisible, 0);
    EXPECT_EQ(visual->GetStateKey(), Key("upgrade_2"));
    EXPECT_EQ(visual->GetAnimSpeed(), 2.5f);
    EXPECT_EQ(Number(object, "value"), 1.0) << "the reset record's value";
}

TEST_F(GameObjectTest, ParticleEffectComesFromTheGameWindowAndFollowsTheObject) {
    GGameObject* object =
        Place("o", "{ class_name = 'GGameObject' }", "{ pos_x = 30, pos_y = 40 }");
    ASSERT_NE(object, nullptr);
    Run(object, "CPP_ParticleFX(5, 6, 'fx', 10)");
    EXPECT_EQ(object->GetEffect(), nullptr) << "no game window";

    TOneEmitter window;
    GLogicalManager::Instance().SetHooks(&window);
    Run(object, "CPP_ParticleFX(5, 6, 'other', 10)");
    EXPECT_EQ(object->GetEffect(), nullptr);
    Run(object, "CPP_ParticleFX(5, 6, 'fx', 10)");
    EXPECT_EQ(window.mAsked, (std::vector<std::string>{"other", "fx"}));
    ASSERT_EQ(object->GetEffect(), &window.mEmitter);
    EXPECT_EQ(window.mEmitter.GetStartPosition().x, 5.0f);
    EXPECT_EQ(window.mEmitter.GetStartPosition().y, 6.0f);
    // The flight starts at the object's position plus the offset.
    EXPECT_EQ(window.mEmitter.GetLocus().mPoint.x, 35.0f);
    EXPECT_EQ(window.mEmitter.GetLocus().mPoint.y, 46.0f);
    EXPECT_FALSE(window.mEmitter.IsIdle());
    object->MoveToPoint(70.0f, 80.0f);
    EXPECT_EQ(window.mEmitter.GetLocus().mPoint.x, 70.0f);
    EXPECT_EQ(window.mEmitter.GetLocus().mPoint.y, 80.0f);
    GLogicalManager::Instance().SetHooks(nullptr);
    mObjects.clear();
}

TEST_F(GameObjectTest, WithdrawnObjectsCopiedClosureRaisesAScriptError) {
    GGameObject* object = Place("o", "{ class_name = 'GGameObject' }", "{}");
    ASSERT_NE(object, nullptr);
    lua_State* state = object->GetScript().GetState();
    object->GetScript().SetOwner(new TKeepState);
    Run(object, "kept = CPP_WantDestroy; kept()");
    EXPECT_TRUE(object->WantsDestroy());
    mObjects.clear();

    const char* text = "ok, message = pcall(kept); global = CPP_WantDestroy";
    ASSERT_EQ(luaL_loadbuffer(state, text, std::char_traits<char>::length(text), "test"), 0);
    ASSERT_EQ(lua_pcall(state, 0, 0, 0), 0);
    lua_pushstring(state, "ok");
    lua_gettable(state, LUA_GLOBALSINDEX);
    EXPECT_TRUE(lua_isboolean(state, -1) && lua_toboolean(state, -1) == 0);
    lua_pushstring(state, "global");
    lua_gettable(state, LUA_GLOBALSINDEX);
    EXPECT_TRUE(lua_isnil(state, -1)) << "the global is taken back";
    lua_close(state);
}

TEST_F(GameObjectTest, TriggersRunEachTickUntilTheyAnswerZero) {
    const std::string functions = "log = ''\n"
                                  "function Always(n) log = log .. 'A' .. n .. ';' return 1 end\n"
                                  "function Text(n) log = log .. 'S' .. n .. ';' return '2' end\n"
                                  "function Zero(n) log = log .. 'Z' .. n .. ';' return 0 end\n"
                                  "function Nil(n) log = log .. 'N' .. n .. ';' end\n"
                                  "function True(n) log = log .. 'T' .. n .. ';' return true end\n"
                                  "function Off(n) log = log .. 'O' .. n .. ';' return 1 end\n";
    GGameObject* object =
        Place("o",
              "{ class_name = 'GGameObject', triggers = { delay = 100, { func_name = 'Always' }, "
              "{ func_name = 'Text' }, { func_name = 'Zero' }, { func_name = 'Nil' }, "
              "{ func_name = 'True' }, { func_name = 'Off' }, { func_name = '' }, 'skipped' } }",
              "{}", functions);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetTriggerCount(), 6u);
    object->SetTriggerEnabled("Off", false);

    // Not active yet: the ticks do not count.
    Tick(100);
    EXPECT_EQ(Text(object, "log"), "");
    object->StartGame();
    for (int i = 0; i < 3; ++i) {
        Tick(100);
    }
    EXPECT_EQ(Text(object, "log"), "A1;S1;Z1;N1;T1;A2;S2;A3;S3;");
    EXPECT_EQ(object->GetTriggerCount(), 3u) << "Always, Text and the disabled Off stay";

    object->SetTriggerEnabled("Off", true);
    Run(object, "log = ''");
    Tick(100);
    EXPECT_EQ(Text(object, "log"), "A4;S4;O4;");
}

TEST_F(GameObjectTest, TriggerPeriodComesFromTheTypeAndStaysWithClones) {
    struct TCase {
        const char* type;
        int period;
    };
    const TCase cases[] = {
        {"{ class_name = 'GGameObject' }", 0},
        {"{ class_name = 'GGameObject', triggers = {} }", 1000},
        {"{ class_name = 'GGameObject', triggers = { delay = 250.9 } }", 250},
    };
    int index = 0;
    for (const TCase& c : cases) {
        const std::string name = "type" + std::to_string(index++);
        GGameObject* first = Place(name, c.type, "{}");
        GGameObject* clone = Place(name, "nil", "{}");
        ASSERT_NE(first, nullptr) << c.type;
        ASSERT_NE(clone, nullptr) << c.type;
        EXPECT_EQ(first->GetTriggerPeriod(), c.period) << c.type;
        EXPECT_EQ(clone->GetTriggerPeriod(), c.period) << c.type;
    }

    // Period 0: a tick at every run of the task list.
    GGameObject* object = mObjects.front().get();
    object->StartGame();
    Tick(1);
    Tick(1);
    Tick(1);
    EXPECT_EQ(object->GetTickCounter(), 3);
}

TEST_F(GameObjectTest, MissingTriggerFunctionEndsTheProcessWithTheErrorBox) {
    GGameObject* object = Place(
        "o", "{ class_name = 'GGameObject', triggers = { { func_name = 'Missing' } } }", "{}");
    ASSERT_NE(object, nullptr);
    object->StartGame();
    EXPECT_EQ(EndCode([object] { object->OnTimer(); }), 1);
    const auto boxes = standin::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Cannot run function: Missing\n");
}

TEST_F(GameObjectTest, WalkMaskNeverReadsOrWritesOutsideItsCells) {
    struct TCase {
        const char* grid;
        int width;
        int height;
        std::vector<int> cells;
    };
    const TCase cases[] = {
        {"{ { 1, 2, 3 } }", 3, 1, {1, 2, 3}},
        // A row that is no table still counts as a row.
        {"{ 5, { 1, 2, 3 } }", 3, 2, {0, 0, 0, 1, 2, 3}},
        {"{ { 1 }, { 4, 5 } }", 2, 2, {1, 0, 4, 5}},
        // Low 8 bits of the truncated number.
        {"{ { 255, -1, 300, 2.9 } }", 4, 1, {-1, -1, 44, 2}},
        // Non-numbers take no column.
        {"{ { 1, 'x', 3 } }", 3, 1, {1, 3, 0}},
        // "n" sets the count; being a number it is one more element of its row.
        {"{ { 1, 2, 3, n = 2 } }", 2, 1, {1, 2}},
        {"{ { 1, 2, n = 5 } }", 5, 1, {1, 2, 5, 0, 0}},
        {"{ n = 1, { 1 }, { 2 } }", 1, 1, {1}},
        {"{ n = -4, { 1 } }", 1, 0, {}},
        {"{ { n = 100000 }, { n = 100000 } }", 0, 0, {}},
        {"{}", 0, 0, {}},
        {"{ {} }", 0, 1, {}},
        {"7", 0, 0, {}},
    };
    int index = 0;
    for (const TCase& c : cases) {
        const std::string type =
            std::string("{ class_name = 'GGameObject', log_grid = ") + c.grid + " }";
        GGameObject* object = Place("grid" + std::to_string(index++), type, "{}");
        ASSERT_NE(object, nullptr) << c.grid;
        EXPECT_EQ(object->GetWalkMaskWidth(), c.width) << c.grid;
        EXPECT_EQ(object->GetWalkMaskHeight(), c.height) << c.grid;
        std::vector<int> cells;
        for (size_t i = 0; i < c.cells.size(); ++i) {
            cells.push_back(object->GetWalkMaskCell(static_cast<int>(i)));
        }
        EXPECT_EQ(cells, c.cells) << c.grid;
        EXPECT_EQ(object->GetWalkMaskCell(-1), 0) << c.grid;
        EXPECT_EQ(object->GetWalkMaskCell(static_cast<int>(c.cells.size())), 0) << c.grid;
    }
}

TEST_F(GameObjectTest, ScenesAreKnownFromTheTypeAndNoticedOnlyWhenTheListChanges) {
    std::unique_ptr<TLuaTable> type =
        Table("{ scenes = { 'sit', 'walk', 7, { 'nested' }, key = 'keyed' } }");
    TNoticeCounter object;
    ASSERT_TRUE(object.InitFromTable(type.get(), nullptr));
    for (const char* known : {"sit", "walk", "7", "keyed"}) {
        EXPECT_TRUE(object.IsKnownScene(known)) << known;
    }
    EXPECT_FALSE(object.IsKnownScene("nested"));

    EXPECT_EQ(object.AddScene("sit", true), 1);
    EXPECT_EQ(object.AddScene("sit", true), 0);
    EXPECT_EQ(object.AddScene("unknown", true), -1);
    EXPECT_EQ(object.mNotices, 1);
    EXPECT_EQ(object.RemoveScene("walk", true), 0) << "known but not entered";
    EXPECT_EQ(object.RemoveScene("unknown", true), -1);
    EXPECT_EQ(object.RemoveScene("", true), 0);
    EXPECT_EQ(object.mNotices, 1);
    EXPECT_EQ(object.AddScene("walk", false), 1);
    EXPECT_EQ(object.GetSceneName(1), "walk");
    EXPECT_EQ(object.GetSceneName(2), "");
    EXPECT_EQ(object.RemoveScene("sit", true), 1);
    EXPECT_EQ(object.mNotices, 2);
    EXPECT_EQ(object.GetSceneName(0), "walk");
}

TEST_F(GameObjectTest, UpgradeViewsFollowTheUpgradeLevel) {
    ServeBox();
    GGameObject* object = Place("booth", "{ class_name = 'GGameObject', xml_anim = 'box' }", "{}");
    ASSERT_NE(object, nullptr);
    GVObject* visual = object->GetVisual();
    ASSERT_NE(visual, nullptr);
    EXPECT_EQ(visual->GetStateKey(), Key("normal"));

    object->SetUpgradeLevel(2);
    object->ShowUpgradeLevel();
    EXPECT_EQ(visual->GetStateKey(), Key("normal"));
    object->SetUpgradeLevel(-1);
    object->ShowUpgradeLevel();
    EXPECT_EQ(visual->GetStateKey(), Key("upgrade_0"));

    // The purchase is booked in the player's progress by the window script.
    TWindowScript* script = Manager()->GetWindowScript();
    ASSERT_NE(script, nullptr);
    script->DoLuaString("booked = '' function UpgradeBuyed(owner, price, level, index) "
                        "booked = booked .. owner .. '|' .. price .. '|' .. level .. '|' .. "
                        "index .. ';' return 1 end");
    GUpgradeData& record = object->GetUpgradeData();
    record.mOwnerName = "booth";
    record.mPrice = 150;
    record.mIndex = 2;
    object->SetStrategy(new GStratMousePikUp);
    object->SetUpgradeLevel(1);
    object->Upgrade();
    EXPECT_EQ(object->GetUpgradeLevel(), 2);
    EXPECT_EQ(visual->GetStateKey(), Key("upgrade_3"));
    EXPECT_EQ(object->GetStrategy(), nullptr);
    EXPECT_STREQ(script->GetGlobalString("booked").CStr(), "booth|150|0|2;");
    object->Upgrade();
    EXPECT_EQ(visual->GetStateKey(), Key("upgrade_3")) << "level 3 shows nothing new";

    object->SetUpgradeLevel(0);
    object->ResetUpgradeView();
    EXPECT_EQ(visual->GetStateKey(), Key("upgrade_1"));
    // Without a strategy, play starting changes nothing; with one, the upgrade view goes.
    object->SetUpgradeLevel(-1);
    object->LeaveUpgradeMode(1);
    EXPECT_EQ(visual->GetStateKey(), Key("upgrade_1"));
    object->SetStrategy(new GStratMousePikUp);
    object->LeaveUpgradeMode(1);
    EXPECT_EQ(object->GetStrategy(), nullptr);
    EXPECT_EQ(visual->GetStateKey(), Key("normal"));
    object->SetStrategy(new GStratMousePikUp);
    object->EnterUpgradeMode(1);
    EXPECT_EQ(object->GetStrategy(), nullptr);
}

TEST_F(GameObjectTest, ReadPointTakesTheNumbersOfTheSubTable) {
    std::unique_ptr<TLuaTable> table =
        Table("{ door = { x = 12.5, y = -3, z = 7 }, half = { y = 4 }, "
              "flat = 5 }");
    TVec2 point(1.0f, 1.0f);
    float z = 1.0f;
    EXPECT_TRUE(GGameObject::ReadPoint(table.get(), "door", point, z));
    EXPECT_EQ(point.x, 12.5f);
    EXPECT_EQ(point.y, -3.0f);
    EXPECT_EQ(z, 7.0f);
    EXPECT_TRUE(GGameObject::ReadPoint(table.get(), "half", point, z));
    EXPECT_EQ(point.x, 0.0f);
    EXPECT_EQ(point.y, 4.0f);
    EXPECT_EQ(z, 0.0f);
    EXPECT_FALSE(GGameObject::ReadPoint(table.get(), "flat", point, z));
    EXPECT_FALSE(GGameObject::ReadPoint(table.get(), "missing", point, z));
    EXPECT_FALSE(GGameObject::ReadPoint(nullptr, "door", point, z));
    EXPECT_EQ(point.y, 4.0f) << "untouched when there is nothing to read";
}

TEST_F(GameObjectTest, BlockAndUnblockSwitchTheStrategyAndWriteLogicalRecords) {
    GetLogManager()->SetModuleWriter("Logical", GLogManager::kCsvWriter);
    std::unique_ptr<TLuaTable> type = Table("{ scenes = { 'sit' } }");
    std::unique_ptr<TLuaTable> data = Table("{ name = 'chair1' }");
    GGameObject object;
    ASSERT_TRUE(object.InitFromTable(type.get(), data.get()));
    object.SetStrategy(new GStratMousePikUp);
    EXPECT_TRUE(object.GetStrategy()->IsInactive()) << "the mouse starts disabled";
    object.SetMouseEnabled(true);
    EXPECT_FALSE(object.GetStrategy()->IsInactive());
    object.AddScene("sit", false);
    object.StartGame();

    object.Block("sit");
    EXPECT_TRUE(object.IsBlocked());
    EXPECT_FALSE(object.IsActive());
    EXPECT_FALSE(object.HasScene("sit"));
    EXPECT_TRUE(object.GetStrategy()->IsInactive());
    object.SetMouseLocked(false);
    EXPECT_TRUE(object.GetStrategy()->IsInactive()) << "blocking disabled the mouse";

    object.Unblock("sit");
    EXPECT_FALSE(object.IsBlocked());
    EXPECT_TRUE(object.IsActive());
    GetLogManager()->SetModuleWriter("Logical", GLogManager::kNullWriter);

    const std::string log = mFolder.Read("debug_log.csv");
    EXPECT_NE(log.find(";Debug;Logical;object chair1 blocked! scene sit;.\\GGameObject.cpp;"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(";Debug;Logical;object chair1 UNblocked! scene sit;.\\GGameObject.cpp;"),
              std::string::npos)
        << log;
}

TEST_F(GameObjectTest, SavedStateAndEditModeRestoreTheFlags) {
    GGameObject object;
    object.StartGame();
    object.SetLocked(true);
    EXPECT_FALSE(object.RestoreState());
    EXPECT_EQ(object.SaveState(), 1);
    EXPECT_TRUE(object.HasSavedState());
    object.Block("");
    object.SetLocked(false);
    EXPECT_TRUE(object.RestoreState());
    EXPECT_FALSE(object.IsBlocked());
    EXPECT_TRUE(object.IsActive());
    EXPECT_FALSE(object.HasSavedState());

    object.SetEditMode(true, 1);
    EXPECT_FALSE(object.IsActive());
    object.SetEditMode(false, 1);
    EXPECT_TRUE(object.IsActive());
}

// Each order ends with the task list run again: ASan sees any access to what went first.
TEST_F(GameObjectTest, ObjectDeletedWhileItsTimersAreInTheTaskList) {
    GGameObject* object = Place(
        "o", "{ class_name = 'GGameObject', tasks = { work = { tick_count = 5, delay = 10 } } }",
        "{}",
        "function workBeginTask() return 1 end function workTaskTimer() return 1 end "
        "function workEndTask() return 0 end");
    ASSERT_NE(object, nullptr);
    ASSERT_NE(object->GetTimer(), nullptr);
    ASSERT_EQ(object->AddTask("work", nullptr, true), 1);
    object->StartGame();
    Tick(10);
    mObjects.clear();
    Tick(10);
    Tick(10);
}

TEST_F(GameObjectTest, TaskListClearedBeforeTheObject) {
    GGameObject* object = Place("o", "{ class_name = 'GGameObject' }", "{}");
    ASSERT_NE(object, nullptr);
    ASSERT_NE(object->GetTimer(), nullptr);
    mDialog->ClearTasks();
    EXPECT_EQ(object->GetTimer(), nullptr);
    mObjects.clear();
    Tick(10);
}

TEST_F(GameObjectTest, ObjectShutDownWithItsLevel) {
    GGameObject* object = Place("o", "{ class_name = 'GGameObject' }", "{}");
    ASSERT_NE(object, nullptr);
    object->StartGame();
    object->Shutdown();
    EXPECT_TRUE(object->IsClosing());
    EXPECT_EQ(object->GetTimer(), nullptr);
    Tick(10);
    EXPECT_EQ(object->GetTickCounter(), 0) << "the timer no longer reaches it";
    mObjects.clear();
    Tick(10);
}

TEST_F(GameObjectTest, ObjectWhoseOwnTickAskedForItsRemoval) {
    GGameObject* object = Place("o",
                                "{ class_name = 'GGameObject', triggers = { delay = 10, "
                                "{ func_name = 'Leave' } } }",
                                "{}", "function Leave() CPP_WantDestroy() return 1 end");
    ASSERT_NE(object, nullptr);
    object->StartGame();
    Tick(10);
    EXPECT_TRUE(object->WantsDestroy());
    // Without a level the manager has nothing to remove it from: it stays until its owner goes.
    Tick(10);
    EXPECT_EQ(object->GetTickCounter(), 2);
    mObjects.clear();
    Tick(10);
}

TEST_F(GameObjectTest, WithoutAGameScreenTheTimerIsNotKept) {
    GLogicalManager::Instance().SetGameScreen(nullptr);
    GGameObject* object = Place("o", "{ class_name = 'GGameObject' }", "{}");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetTimer(), nullptr);
}

} // namespace
