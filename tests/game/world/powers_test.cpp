// The heroine's powers on a level: which kinds may be used, the speed power, a make-up power that
// waits for the heroine's scene and then serves the waiting girls in power scenes of their own, a
// power that finds nobody, the poise glow, and the girls and dialogs a power leaves behind.
#include "game/world/GLogicalManager.h"

#include "game/visual/GFlyEmitter.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GPowerRecord.h"
#include "game/world/GStudent.h"
#include "tests/game/visual/visual_xml_fixture.h"
#include "tests/game/world/level_fixture.h"

#include <gtest/gtest.h>

namespace {

using visual_test::Tick;
using world_test::TLevelTest;

// The game window's side of the powers: the buttons and the poise glow's emitter.
struct TPowerHooks final : GLogicalManagerHooks {
    std::vector<std::string> calls;
    GFlyEmitter glow;
    GFlyEmitter* FindFlyEmitter(const str& script) override {
        return script == "particles/bess_total_shine.lua" ? &glow : nullptr;
    }
    std::vector<std::string> selectors;
    void ShowPowerButtons(bool show) override { calls.emplace_back(show ? "show" : "hide"); }
    void RequestSelector(const str& text) override {
        calls.emplace_back("selector");
        selectors.emplace_back(text.CStr());
    }
    void TutorialGameEvent(GGameObject* object, const str& event) override {
        calls.push_back(std::string(object->GetName().CStr()) + " " + event.CStr());
    }
};

// Notes the strategy mode the poise glow gives every level object.
class TStrategyProbe : public GGameObject {
public:
    GGameObject* Clone() const override {
        auto* copy = new TStrategyProbe;
        copy->CopyFrom(*this);
        return copy;
    }
    void SetStrategyMode(bool flag) override {
        GGameObject::SetStrategyMode(flag);
        mModes += flag ? "1" : "0";
    }
    std::string mModes;
};

const bool gStrategyProbeRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "TStrategyProbe", [] { return static_cast<GGameObject*>(new TStrategyProbe); });

const char kPowerScenes[] = R"(
askChoice = 0
function AskChoice(i) if askChoice == 1 then CPP_RunChooseUser(0) end return 1 end
function Glow(i) CPP_OnPoisePower(0, 0) CPP_OnPoisePower(1, 0) return 1 end
function GlowEnd(i) CPP_OnPoisePower(2, 0) return 1 end
function GetMinChoiceIndex() return 1 end
function GetMaxChoiceIndex() return 3 end
local function Station()
  return { class_name = 'GLogicalScene', objects = { { base_type = 'girl' }, { base_type = 'seat' } },
           stages = { { OnBegin = 'AskChoice' }, {} } }
end
local function Power()
  return { class_name = 'GLogicalScene',
           objects = { { base_type = 'girl' }, { class_type = 'GMainHeroine' },
                       { base_type = 'seat' } },
           stages = { { tasks = { 'work', 'work' } } } }
end
scenes = {
  makeup = Station(), makeup_power = Power(), hairstyle_power = Power(),
  hairstyle = { class_name = 'GLogicalScene',
                objects = { { base_type = 'girl' }, { base_type = 'seat' },
                            { class_type = 'GMainHeroine' } },
                stages = { { tasks = { '', '', 'long' } } } },
  poise_power = { class_name = 'GLogicalScene', objects = { { class_type = 'GMainHeroine' } },
                  stages = { { OnBegin = 'Glow', OnEnd = 'GlowEnd', tasks = { 'work' } } } },
  job = { class_name = 'GLogicalScene', objects = { { class_type = 'GMainHeroine' } },
          stages = { { tasks = { 'long' } } } },
  mirror = { class_name = 'GLogicalScene', objects = { { base_type = 'girl' } }, stages = { {} } },
}
)";

const char kPowerData[] = R"(
Upgrades = { powers = {}, objects = {} }
local kData = { energy_boost = { speed = 400, action_time = 5 },
                dialog_powers_data = { speed = 250 }, poise = { poise_power = 3 } }
function GetPowerData(power, parameter) return kData[power] and kData[power][parameter] or 0 end
function GetUpgradeDataParam() return 0 end
)";

const char kTaskScript[] = "function workBeginTask(r) return 1 end\n"
                           "function workTaskTimer(n) return 1 end\n"
                           "function workEndTask(r) return 0 end\n"
                           "function longBeginTask(r) return 1 end\n"
                           "function longTaskTimer(n) return 1 end\n"
                           "function longEndTask(r) return 0 end\n";

// What a girl's type script answers the game: no score for a scene, the poise the glow gives
// noted.
const char kGirlScript[] = "poise = ''\n"
                           "function OnSceneEnd(scene) return 0 end\n"
                           "function ChangePoisePower(n) poise = poise .. n .. ';' end\n";

class PowersTest : public TLevelTest {
protected:
    void SetUp() override {
        TLevelTest::SetUp();
        ASSERT_TRUE(gStrategyProbeRegistered);
        WriteGameData(kPowerData);
        WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
        ASSERT_TRUE(Start(1));
        WriteFile("scripts/stages/power_scenes.lua", kPowerScenes);
        GLogicalManager::Instance().LoadScenes("scripts/stages/power_scenes.lua");
        GLogicalManager::Instance().SetHooks(&mPowerHooks);
        GLogicalManager::Instance().SetGameState(2);
    }

    void TearDown() override {
        GLogicalManager& manager = GLogicalManager::Instance();
        manager.DeleteLiveScenes();
        manager.SetGameScreen(mDialog);
        GObjectFactory::Instance().Clear(false, true);
        TLevelTest::TearDown();
    }

    // Placed on the level, which owns it.
    GGameObject* Add(const std::string& name, const std::string& className,
                     const std::string& baseType, const std::string& extra = "") {
        GGameObject* object = Place(
            name,
            "{ class_name = '" + className + "', base_type = '" + baseType +
                "', tasks = { work = { tick_count = 2, delay = 100 }, "
                "long = { tick_count = 4, delay = 100 } } }",
            "{ name = '" + name + "', pos_x = 300, pos_y = 200, speed = 80 }", kTaskScript + extra);
        if (object != nullptr) {
            mObjects.back().release();
            mObjects.pop_back();
            Level()->AddObject(object);
        }
        return object;
    }

    GMainHeroine* AddHeroine() {
        return dynamic_cast<GMainHeroine*>(Add("heroine", "GMainHeroine", "heroine"));
    }
    // A girl on her seat, waiting in the station.
    GGameObject* AddWaitingGirl(const std::string& name, const char* station) {
        GGameObject* girl = Add(name, "GStudent", "girl", kGirlScript);
        GGameObject* seat = Add(name + "_seat", "GGameObject", "seat");
        if (girl == nullptr || seat == nullptr) {
            return nullptr;
        }
        girl->SetHolder(seat);
        EXPECT_NE(GLogicalManager::Instance().CreateScene(station, girl, seat, true, false),
                  nullptr);
        return girl;
    }

    static int Speed(GGameObject* heroine) {
        return static_cast<GPersonage*>(heroine)->ReadSpeed();
    }
    static std::vector<std::string> Scenes() {
        std::vector<std::string> names;
        for (GBaseLogicalScene* scene : GLogicalManager::Instance().GetLiveScenes()) {
            names.emplace_back(scene->GetName().CStr());
        }
        return names;
    }
    static void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            Tick(100);
        }
    }

    TPowerHooks mPowerHooks;
};

TEST_F(PowersTest, OnlyKindsOneToFourWhileNoPowerRuns) {
    GLogicalManager& manager = GLogicalManager::Instance();
    for (int kind : {0, 5, -1}) {
        EXPECT_EQ(manager.CanUsePower(kind), 0) << kind;
    }
    for (int kind : {1, 2, 3, 4}) {
        EXPECT_EQ(manager.CanUsePower(kind), 1) << kind;
    }
    // Without a heroine nothing starts and nothing is kept.
    for (int kind : {1, 2, 4}) {
        EXPECT_EQ(manager.UsePower(kind), 0) << kind;
        EXPECT_EQ(manager.GetPowerInUse(), 0);
        EXPECT_TRUE(manager.GetPowerRecords().empty());
    }
    ASSERT_NE(AddHeroine(), nullptr);
    EXPECT_EQ(manager.UsePower(5), 0);
    EXPECT_EQ(manager.GetPowerInUse(), 0);
}

TEST_F(PowersTest, SpeedPowerIsTheHeroinesUntilItEnds) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GMainHeroine* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    EXPECT_EQ(manager.UsePower(1), 1);
    EXPECT_EQ(manager.GetPowerInUse(), 1);
    EXPECT_TRUE(manager.GetPowerRecords().empty());
    EXPECT_EQ(Speed(heroine), 400);
    EXPECT_EQ(manager.CanUsePower(2), 0);
    EXPECT_EQ(manager.UsePower(2), 0) << "one power at a time";
    heroine->EndSpeedPower();
    EXPECT_EQ(manager.GetPowerInUse(), 0);
    EXPECT_EQ(mPowerHooks.calls, (std::vector<std::string>{"show"}));
}

TEST_F(PowersTest, MakeupPowerWaitsForTheHeroinesSceneThenServesTheWaitingGirls) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GMainHeroine* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    GGameObject* girl = AddWaitingGirl("amy", "makeup");
    ASSERT_NE(girl, nullptr);
    ASSERT_NE(AddWaitingGirl("bea", "hairstyle"), nullptr);
    GBaseLogicalScene* job = manager.CreateScene("job", heroine, nullptr, true, false);
    ASSERT_NE(job, nullptr);
    const int jobNumber = job->GetNumber();
    ASSERT_NE(heroine->GetCurrentTask(), nullptr);

    EXPECT_EQ(manager.UsePower(2), 1);
    EXPECT_EQ(manager.GetPowerInUse(), 2);
    ASSERT_EQ(manager.GetPowerRecords().size(), 1u);
    const GPowerRecord& waiting = manager.GetPowerRecords()[0];
    EXPECT_EQ(waiting.mState, GPowerRecord::kWaiting);
    EXPECT_EQ(waiting.mPendingScene, jobNumber);
    EXPECT_EQ(waiting.mSavedSpeed, 80);
    EXPECT_EQ(waiting.mPowerSpeed, 250);
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"makeup", "hairstyle", "job"}));
    EXPECT_EQ(manager.CanUsePower(3), 0);

    // The job's end starts the power: the make-up girl leaves her station for a power scene.
    Ticks(5);
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"hairstyle", "makeup_power"}));
    ASSERT_EQ(manager.GetPowerRecords().size(), 1u);
    const GPowerRecord& started = manager.GetPowerRecords()[0];
    EXPECT_EQ(started.mState, GPowerRecord::kStarted);
    EXPECT_EQ(started.mPendingScene, 0);
    EXPECT_EQ(started.mGirls, (std::vector<GGameObject*>{girl}));
    EXPECT_EQ(started.mPowerScene, manager.GetLiveScenes()[1]->GetNumber());
    EXPECT_EQ(Speed(heroine), 250);
    EXPECT_TRUE(mPowerHooks.calls.empty());

    // The power scene's end finishes the power.
    Ticks(4);
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"hairstyle"}));
    EXPECT_TRUE(manager.GetPowerRecords().empty());
    EXPECT_EQ(manager.GetPowerInUse(), 0);
    EXPECT_EQ(Speed(heroine), 80);
    EXPECT_EQ(mPowerHooks.calls, (std::vector<std::string>{"show"}));
}

TEST_F(PowersTest, PowerStartedByTheHeroinesLeavingTakesTheSceneSheLeft) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GMainHeroine* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    GGameObject* girl = AddWaitingGirl("amy", "hairstyle");
    ASSERT_NE(girl, nullptr);
    ASSERT_EQ(manager.GetLiveScenes().size(), 1u);
    GBaseLogicalScene* station = manager.GetLiveScenes()[0];
    ASSERT_TRUE(manager.JoinHeroineToSceneOf(girl));
    ASSERT_EQ(station->GetStageIndex(), 0);
    EXPECT_EQ(manager.UsePower(3), 1);
    ASSERT_EQ(manager.GetPowerRecords().size(), 1u);
    EXPECT_EQ(manager.GetPowerRecords()[0].mPendingScene, station->GetNumber());
    // Her task's end closes the station in its first stage; letting her go starts the power,
    // which takes the girl with that very scene.
    Ticks(5);
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"hairstyle_power"}));
    Ticks(4);
    EXPECT_TRUE(Scenes().empty());
    EXPECT_EQ(manager.GetPowerInUse(), 0);
}

TEST_F(PowersTest, PowerWithNobodyToServeEndsAtOnce) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GMainHeroine* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    // A make-up girl waits, but the power is the hair style's.
    ASSERT_NE(AddWaitingGirl("amy", "makeup"), nullptr);
    EXPECT_EQ(manager.UsePower(3), 1);
    EXPECT_EQ(manager.GetPowerInUse(), 0);
    EXPECT_TRUE(manager.GetPowerRecords().empty());
    EXPECT_EQ(mPowerHooks.calls, (std::vector<std::string>{"show"}));
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"makeup"}));
    EXPECT_EQ(Speed(heroine), 80);
    EXPECT_EQ(manager.CanUsePower(3), 1);
}

TEST_F(PowersTest, PowerWhoseScenesCannotBeMadeEndsAtOnce) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GMainHeroine* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    ASSERT_NE(AddWaitingGirl("amy", "makeup"), nullptr);
    // A scene file with the stations but without the power scenes.
    WriteFile("scripts/stages/station_scenes.lua",
              "scenes = { makeup = { class_name = 'GLogicalScene', objects = { { base_type = "
              "'girl' }, { base_type = 'seat' } }, stages = { {} } } }");
    manager.LoadScenes("scripts/stages/station_scenes.lua");
    GGameObject* bea = AddWaitingGirl("bea", "makeup");
    ASSERT_NE(bea, nullptr);
    for (int kind : {4, 2}) {
        SCOPED_TRACE(kind);
        mPowerHooks.calls.clear();
        EXPECT_EQ(manager.UsePower(kind), 1);
        EXPECT_TRUE(manager.GetPowerRecords().empty());
        EXPECT_EQ(manager.GetPowerInUse(), 0);
        EXPECT_EQ(mPowerHooks.calls, (std::vector<std::string>{"show"}));
        EXPECT_EQ(Speed(heroine), 80);
    }
    EXPECT_TRUE(Scenes().empty()) << "bea was taken all the same";
}

TEST_F(PowersTest, TakenGirlsSceneDialogAnswerIsIgnored) {
    GLogicalManager& manager = GLogicalManager::Instance();
    ASSERT_NE(AddHeroine(), nullptr);
    manager.GetSceneScript()->DoLuaString("askChoice = 1");
    GGameObject* girl = AddWaitingGirl("amy", "makeup");
    ASSERT_NE(girl, nullptr);
    // Another scene holds her too.
    ASSERT_NE(manager.CreateScene("mirror", girl, nullptr, true, true), nullptr);
    ASSERT_EQ(manager.GetDialogCallers().size(), 1u);
    const int dialog = manager.GetDialogIdCounter();
    EXPECT_EQ(mPowerHooks.calls,
              (std::vector<std::string>{"amy before_makeup_dialog", "selector"}));

    EXPECT_EQ(manager.UsePower(2), 1);
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"makeup_power"}));
    ASSERT_EQ(manager.GetDialogCallers().size(), 1u);
    EXPECT_EQ(manager.GetDialogCallers()[0]->mScene, nullptr);
    manager.CPP_EndChooseUser(dialog, 0, 2, 1);
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"makeup_power"}));
    EXPECT_EQ(manager.GetDialogCallers().size(), 1u) << "a caller without scene stays unanswered";
}

TEST_F(PowersTest, ChooseDialogSetsTheSelectorUpForTheGirlOfTheScene) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* girl = Add("amy", "GStudent", "girl", kGirlScript);
    GGameObject* seat = Add("amy_seat", "GGameObject", "seat");
    ASSERT_TRUE(girl != nullptr && seat != nullptr);
    Run(girl, "CPP_ApplyHair(2) CPP_ApplyMakeup(3) CPP_ApplyMask(4)");
    manager.GetSceneScript()->DoLuaString("askChoice = 1");
    TWindow kept;
    for (bool cached : {false, true}) {
        manager.SetSelectorWindow(cached ? &kept : nullptr);
        mPowerHooks.selectors.clear();
        GBaseLogicalScene* scene = manager.CreateScene("makeup", girl, seat, true, false);
        ASSERT_NE(scene, nullptr);
        ASSERT_EQ(mPowerHooks.selectors.size(), 1u);
        EXPECT_EQ(
            mPowerHooks.selectors[0],
            "CurrentObjectId = 'amy'; SelectorIDS=" + std::to_string(manager.GetDialogIdCounter()) +
                "; SelectorIndObj=0; SelectorSceneType='makeup'; "
                "SelectorStudentType='girl'; SelectorDefaultHairType=2; "
                "SelectorDefaultMakeupType=3; SelectorDefaultMaskType=4; "
                "SelectorDefaultManicureType=100; "
                "SelectorWindowsNumber = GetSelectorCount(1,1,'makeup','girl'); "
                "IsSelectorCached=" +
                (cached ? "1;" : "0;"));
        scene->StopAndClose();
    }
    manager.SetSelectorWindow(nullptr);
    EXPECT_EQ(mPowerHooks.calls,
              (std::vector<std::string>{"amy before_makeup_dialog", "selector",
                                        "amy before_makeup_dialog", "selector"}));
}

TEST_F(PowersTest, GirlLeavingTheLevelLeavesThePowerRecord) {
    GLogicalManager& manager = GLogicalManager::Instance();
    ASSERT_NE(AddHeroine(), nullptr);
    GGameObject* amy = AddWaitingGirl("amy", "makeup");
    GGameObject* bea = AddWaitingGirl("bea", "makeup");
    ASSERT_TRUE(amy != nullptr && bea != nullptr);
    EXPECT_EQ(manager.UsePower(2), 1);
    ASSERT_EQ(manager.GetPowerRecords().size(), 1u);
    EXPECT_EQ(manager.GetPowerRecords()[0].mGirls, (std::vector<GGameObject*>{amy, bea}));
    EXPECT_EQ(manager.RemoveObject(amy, true), 1);
    ASSERT_EQ(manager.GetPowerRecords().size(), 1u) << "bea's scene still runs";
    EXPECT_EQ(manager.GetPowerRecords()[0].mGirls, (std::vector<GGameObject*>{bea}));
}

TEST_F(PowersTest, PoiseGlowSuspendsTheObjectsAndFliesOverTheHeroine) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GMainHeroine* heroine = AddHeroine();
    ASSERT_NE(heroine, nullptr);
    heroine->SetPosition(300, 200);
    auto* probe = dynamic_cast<TStrategyProbe*>(Add("plant", "TStrategyProbe", "plant"));
    ASSERT_NE(probe, nullptr);
    // Only a girl who has appeared takes the glow's poise.
    ASSERT_NE(Add("queue", "GPreparationQueue", "queue"), nullptr);
    auto* amy = dynamic_cast<GStudent*>(Add("amy", "GStudent", "girl", kGirlScript));
    GGameObject* bea = Add("bea", "GStudent", "girl", kGirlScript);
    ASSERT_TRUE(amy != nullptr && bea != nullptr);
    ASSERT_EQ(amy->CPP_CheckTimeAppearence(), 1);
    EXPECT_EQ(manager.UsePower(4), 1);
    ASSERT_EQ(manager.GetPowerRecords().size(), 1u);
    EXPECT_EQ(manager.GetPowerRecords()[0].mSavedSpeed, 0);
    EXPECT_EQ(Scenes(), (std::vector<std::string>{"poise_power"}));
    EXPECT_EQ(probe->mModes, "1");
    EXPECT_EQ(Text(amy, "poise"), "3;");
    EXPECT_EQ(Text(bea, "poise"), "");
    ASSERT_EQ(manager.GetPoiseEffect(), &mPowerHooks.glow);
    EXPECT_EQ(mPowerHooks.glow.GetStartPosition().x, -20.0f);
    EXPECT_EQ(mPowerHooks.glow.GetStartPosition().y, -80.0f);
    EXPECT_EQ(mPowerHooks.glow.GetLocus().mPoint.x, 280.0f);
    EXPECT_EQ(mPowerHooks.glow.GetLocus().mPoint.y, 120.0f);
    EXPECT_FALSE(mPowerHooks.glow.IsIdle());

    Ticks(3);
    EXPECT_EQ(probe->mModes, "10");
    EXPECT_TRUE(mPowerHooks.glow.IsIdle());
    EXPECT_TRUE(Scenes().empty());
    EXPECT_TRUE(manager.GetPowerRecords().empty());
    EXPECT_EQ(manager.GetPowerInUse(), 0);
    EXPECT_EQ(Speed(heroine), 80) << "the poise power leaves her speed alone";
    // Other kinds do nothing.
    manager.CPP_OnPoisePower(3, 0);
    EXPECT_EQ(probe->mModes, "10");
}

} // namespace
