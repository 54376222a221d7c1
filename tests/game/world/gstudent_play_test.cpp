// The girl in play with the heroine and a pacifier: the girl rows of the logical manager's click
// table (a touch-up, the cry lock, a refusal and the undone click), the "CPP_" functions that reach
// girls, the touch-up scene when she is carried away, the touch-up chance a personage takes, and
// the pacifier scene.
#include "engine/core/knownfiles.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GEventDispatcher.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GPacifierObject.h"
#include "game/world/GPersonage.h"
#include "tests/game/world/girl_fixture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using world_test::TGirlTest;

const char kPlayScenes[] = R"(
function Go() return 1 end
sceneLog = ''
function note(s) sceneLog = sceneLog .. s .. ';' end
function Touch() note('touch ' .. CPP_TouchUp(0)) return 1 end
function TouchEnd() note('touch end') end
function PacifierEnd() note('pacifier end') end
choice = { 3, 3 }
function GetMinChoiceIndex(girl, scene) note('choice ' .. girl .. ' ' .. scene) return choice[1] end
function GetMaxChoiceIndex(girl, scene) return choice[2] end
scenes = {
  make_touchup = { class_name = 'GTouchUpScene', OnEnd = 'TouchEnd',
                   objects = { { class_type = 'GStudent' }, { class_type = 'GMainHeroine' } },
                   stages = { { OnBegin = 'Touch', tasks = { '', 'touchup' } } } },
  take_pacifier = { class_name = 'GPacifierScene', OnCreate = 'Go', OnEnd = 'PacifierEnd',
                    objects = { { class_type = 'GPacifierObject' }, { class_type = 'GStudent' } },
                    stages = { {} } },
  hair = { class_name = 'GLogicalScene', OnCreate = 'Go',
           objects = { { class_type = 'GStudent' }, { class_type = 'GPersonage' } },
           stages = { {} } },
}
)";

// The heroine, a stylist offering "makeup" and a pacifier join the fixture's girls; touch-ups are
// on sale from level 1.
const char kPlayObjects[] = R"(
LevelData.staff = { BaseType = 'staff_types', BaseData = 'staff_data',
  heroine = { included = true, base_type = 'heroine', touchup_time = 400, touchup_poise = 7,
              pos_x = 10, pos_y = 10 },
  hair = { included = true, base_type = 'stylist', pos_x = 600, pos_y = 300 },
  soother = { included = true, base_type = 'pacifier', pos_x = 50, pos_y = 500 } }
local touchup = { touchup = { tick_count = 4, delay = 100 } }
Objects.staff_types = {
  heroine = { class_name = 'GMainHeroine', base_type = 'heroine', tasks = touchup,
              scenes = { 'make_touchup' } },
  stylist = { class_name = 'GPersonage', base_type = 'stylist', tasks = touchup,
              scenes = { 'hair' } },
  pacifier = { class_name = 'GPacifierObject', base_type = 'soother', poise_boost = 6 } }
Objects.staff_data = { heroine = { name = 'heroine', base_type = 'heroine' },
                       hair = { name = 'hair', base_type = 'stylist' },
                       soother = { name = 'soother', base_type = 'pacifier' } }
)";

const char kTouchupOnSale[] = "Upgrades = { objects = { { name = 'touchup', { level = 1 } } } }";

class GirlPlayTest : public TGirlTest {
protected:
    void SetUp() override {
        TGirlTest::SetUp();
        WriteGameData(kTouchupOnSale);
        ASSERT_TRUE(StartGirls(std::string(world_test::kGirlStage) + kPlayObjects));
        LoadPlayScenes(kPlayScenes);
        Manager().SetGameState(2);
        mAnna = Girl("anna");
        ASSERT_NE(mAnna, nullptr);
        mAnna->StartGame();
        mHeroine = dynamic_cast<GMainHeroine*>(Object("heroine"));
        ASSERT_NE(mHeroine, nullptr);
        mHeroine->GetScript().DoLuaString("function touchupBeginTask(r) return 1 end\n"
                                          "function touchupTaskTimer(n) return 1 end\n"
                                          "function touchupEndTask(r) return 0 end\n");
        mGirlHooks.calls.clear();
    }

    void TearDown() override {
        Manager().DeleteLiveScenes();
        GObjectFactory::Instance().Clear(false, true);
        TGirlTest::TearDown();
        RegisterMemoryFile("scripts/stages/play_scenes.lua", nullptr, 0);
    }

    // Loads the scene file; a text needs a name of its own, as compiled scripts are cached by name.
    void LoadPlayScenes(const char* text, const char* file = "scripts/stages/play_scenes.lua") {
        RegisterMemoryFile(file, text, static_cast<unsigned>(std::strlen(text)));
        Manager().LoadScenes(file);
    }

    static GLogicalManager& Manager() { return GLogicalManager::Instance(); }
    static std::string SceneLog() {
        return Manager().GetSceneScript()->GetGlobalString("sceneLog").CStr();
    }
    GGameObject* Object(const char* name) const {
        for (GGameObject* object : Level()->GetObjects()) {
            if (object->GetName() == str(name)) {
                return object;
            }
        }
        return nullptr;
    }

    GStudent* mAnna = nullptr;
    GMainHeroine* mHeroine = nullptr;
};

TEST_F(GirlPlayTest, AClickOnAGirlWhoMayBeTouchedUpStartsTheTouchUpWithTheHeroine) {
    EXPECT_TRUE(Manager().CanTouchUp());
    mAnna->CPP_SetCanTouchUp(1);
    EXPECT_TRUE(mGirlHooks.calls.empty()) << "before her first scene nobody is asked";

    EXPECT_EQ(Manager().OnObjectClick(mAnna, false), 1);
    ASSERT_EQ(Manager().GetLiveScenes().size(), 1U);
    GBaseLogicalScene* scene = Manager().GetLiveScenes().front();
    EXPECT_STREQ(scene->GetName().CStr(), "make_touchup");
    EXPECT_EQ(scene->GetObject(1), mHeroine);
    EXPECT_EQ(mAnna->GetCheckCounter(), 1);
    EXPECT_EQ(mAnna->GetTouchUpAllowed(), 0);
    // "CPP_TouchUp" gave her the heroine's touch-up poise through her script.
    EXPECT_EQ(SceneLog(), "touch 1;");
    EXPECT_NE(Log(mAnna).find("poise 7;"), std::string::npos) << Log(mAnna);
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"click anna"});

    // Carried away, the touch-up stops her heroine's task and closes; her check mark goes.
    ASSERT_NE(mHeroine->GetCurrentTask(), nullptr);
    Manager().GetEventDispatcher().Dispatch(mAnna);
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
    EXPECT_EQ(mAnna->GetCheckCounter(), 0);
    EXPECT_EQ(mHeroine->GetCurrentTask(), nullptr);
    EXPECT_EQ(SceneLog(), "touch 1;touch end;");
    EXPECT_EQ(Shown(Part(mAnna, "number2")), "hide_number");
}

TEST_F(GirlPlayTest, AClickThatMakesNoTouchUpIsUndone) {
    LoadPlayScenes("scenes = {}", "scripts/stages/no_scenes.lua");
    mAnna->CPP_SetCanTouchUp(1);
    mGirlHooks.calls.clear();
    EXPECT_EQ(Manager().OnObjectClick(mAnna, false), 0);
    EXPECT_EQ(mAnna->GetCheckCounter(), 0);
    EXPECT_TRUE(mAnna->IsActive());
    EXPECT_EQ(mAnna->GetTouchUpAllowed(), 1);
    EXPECT_EQ(Shown(Part(mAnna, "check_obj")), "check_hide");
    EXPECT_TRUE(mGirlHooks.calls.empty()) << "the tutorial hears nothing";
    // The click can come again, and is undone again.
    EXPECT_EQ(Manager().OnObjectClick(mAnna, false), 0);
    EXPECT_EQ(mAnna->GetCheckCounter(), 0);
    RegisterMemoryFile("scripts/stages/no_scenes.lua", nullptr, 0);
}

TEST_F(GirlPlayTest, ACryingGirlsClickLetsTheHeroineJoinAndLiftsTheLock) {
    GBaseLogicalScene* scene = Manager().CreateScene("make_touchup", mAnna, nullptr, true, false);
    ASSERT_NE(scene, nullptr);
    mAnna->SetCryLock(1);
    EXPECT_EQ(Manager().OnObjectClick(mAnna, false), 1);
    EXPECT_EQ(mAnna->GetCryLock(), 0);
    EXPECT_EQ(scene->GetObject(1), mHeroine) << "the heroine joined her scene";
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"click anna"});

    // Marked, she refuses the next click.
    mGirlHooks.calls.clear();
    EXPECT_EQ(Manager().OnObjectClick(mAnna, false), 0);
    EXPECT_TRUE(mGirlHooks.calls.empty());
}

TEST_F(GirlPlayTest, TheEndOfATouchUpOfACryingGirlJoinsTheHeroineToHerNextScene) {
    GBaseLogicalScene* touchup = Manager().CreateScene("make_touchup", mAnna, nullptr, true, false);
    ASSERT_NE(touchup, nullptr);
    mAnna->SetCryLock(1);
    Manager().OnTouchUpSceneEnd(touchup, mAnna);
    EXPECT_EQ(mAnna->GetCryLock(), 0);
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
}

TEST_F(GirlPlayTest, TheCppFunctionsReachTheGirlOfTheCurrentScene) {
    GBaseLogicalScene* scene = Manager().CreateScene("make_touchup", mAnna, nullptr, true, false);
    ASSERT_NE(scene, nullptr);
    Manager().SetCurrentScene(scene);
    EXPECT_EQ(Manager().CPP_SendMessageToObject(0, 2, "x"), 0);
    EXPECT_EQ(mAnna->GetCryLock(), 0) << "only kind 1";
    EXPECT_EQ(Manager().CPP_SendMessageToObject(0, 1, "x"), 0);
    EXPECT_EQ(mAnna->GetCryLock(), 1);
    EXPECT_EQ(Number(mAnna, "cry_lock"), 1.0);
    EXPECT_EQ(Manager().CPP_ModifyCheck(0, 2), 2);
    EXPECT_EQ(Manager().CPP_ModifyCheck(0, -1), 1);
    EXPECT_EQ(Manager().CPP_ModifyCheck(3, 1), -1) << "no such participant";
    Run(mAnna, "calls = ''");
    EXPECT_EQ(Manager().CPP_TouchUp(0), 1);
    // Her dress by the scene script's choice for her type and the scene of her front task (none
    // here); at least 1.
    mAnna->CPP_ApplyDress(0);
    EXPECT_EQ(mAnna->GetLookNumbers().mDress, 3);
    EXPECT_EQ(SceneLog(), "choice girl ;");
    Manager().GetSceneScript()->DoLuaString("choice = { 0, 0 }");
    mAnna->CPP_ApplyDress(0);
    EXPECT_EQ(mAnna->GetLookNumbers().mDress, 1);
    EXPECT_EQ(Log(mAnna), "poise 7;");
    EXPECT_EQ(Manager().CPP_TouchUp(1), -1) << "the heroine is no girl";
    Manager().SetCurrentScene(nullptr);
}

TEST_F(GirlPlayTest, ATouchUpChanceGoesToAPersonageOfferingHerLastSceneElseToTheHeroine) {
    mAnna->Unblock("makeup");
    mAnna->CPP_SetCanTouchUp(1);
    EXPECT_EQ(mAnna->GetTouchUpAllowed(), 1);
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"touchup heroine"});
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
}

TEST_F(GirlPlayTest, APersonageOfferingHerLastSceneTakesTheTouchUpChance) {
    auto* stylist = dynamic_cast<GPersonage*>(Object("hair"));
    ASSERT_NE(stylist, nullptr);
    stylist->CPP_AddTouchupAction("makeup");
    mAnna->Unblock("makeup");
    ASSERT_EQ(mAnna->GetLifeIndex(), 1);
    mGirlHooks.calls.clear();
    mAnna->CPP_SetCanTouchUp(1);
    EXPECT_EQ(mAnna->GetTouchUpAllowed(), 0) << "the stylist takes her";
    ASSERT_EQ(Manager().GetLiveScenes().size(), 1U);
    EXPECT_STREQ(Manager().GetLiveScenes().front()->GetName().CStr(), "hair");
    EXPECT_EQ(mGirlHooks.calls, std::vector<std::string>{"touchup hair"});
}

// A station scene asks the game data for its combo group when it begins: the same group again
// and again gives her a combo one longer each time, and its bonus at the scene's end.
TEST_F(GirlPlayTest, StationScenesOfOneComboGroupInARowGiveHerAGrowingCombo) {
    WriteGameData(std::string(kTouchupOnSale) +
                  "\nfunction IsInComboList(name) return name == 'hair' and 'style' or '' end\n");
    mGameData.Reload();
    Run(mAnna, "scores = { hair = 10 }");
    GGameObject* stylist = Object("hair");
    ASSERT_NE(stylist, nullptr);
    for (int bonus : {0, 10, 30}) {
        GBaseLogicalScene* scene = Manager().CreateScene("hair", mAnna, stylist, true, false);
        ASSERT_NE(scene, nullptr);
        if (!Manager().GetLiveScenes().empty()) {
            scene->FinishStage();
        }
        EXPECT_EQ(Level()->GetComboBonus(), bonus);
    }
    EXPECT_EQ(Level()->GetScore(), 60) << "10, 10 + 10 x 1 and 10 + 10 x 2";
}

TEST_F(GirlPlayTest, APacifierSceneBlocksHerAndGivesHerSavedStateBack) {
    auto* pacifier = dynamic_cast<GPacifierObject*>(Object("soother"));
    ASSERT_NE(pacifier, nullptr);
    mAnna->RequestScene("makeup", false);
    mAnna->SaveState();
    GBaseLogicalScene* scene = Manager().CreateScene("take_pacifier", pacifier, mAnna, true, false);
    ASSERT_NE(scene, nullptr);
    EXPECT_TRUE(mAnna->IsBlocked());
    EXPECT_FALSE(mAnna->IsActive());
    EXPECT_EQ(mAnna->GetScenes(), std::vector<str>{"makeup"}) << "her wish stays";
    EXPECT_EQ(Number(mAnna, "pacifier_poise"), 6.0);

    scene->FinishStage();
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
    EXPECT_EQ(SceneLog(), "pacifier end;");
    EXPECT_FALSE(mAnna->IsBlocked());
    EXPECT_TRUE(mAnna->IsActive());
}

} // namespace
