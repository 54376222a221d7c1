// The modal dialogs a scene opens while it waits in a stage: the ids and callers, the choose
// dialog's set-up text and the script's own choice, the power-meter dialog held back during a
// carry, and answers that reach the scene that asked, or nothing once that scene is gone.
#include "game/world/GLogicalManager.h"

#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GLogicalScene.h"
#include "tests/game/world/scene_fixture.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using world_test::TProbe;
using world_test::TSceneTest;

// What the manager asks of the shell's windows.
struct TDialogHooks final : GLogicalManagerHooks {
    std::vector<std::string> queued;
    std::vector<std::string> selectors;
    void QueueLuaText(const str& text) override { queued.emplace_back(text.CStr()); }
    void RequestSelector(const str& text) override { selectors.emplace_back(text.CStr()); }
};

// A probe the manager files as the level's power meter.
class TMeterProbe : public TProbe {
public:
    const char* GetClassName() const override { return "GMarivellPowerMeter"; }
    GGameObject* Clone() const override {
        auto* copy = new TMeterProbe;
        copy->CopyFrom(*this);
        return copy;
    }
};

const char kDialogScenes[] = R"(
ended = ''
asked = ''
minChoice = 0
maxChoice = 0
function AskPower(i) CPP_RunPowerMeterDialog(1) return 1 end
function AskChoice(i) CPP_RunChooseUser(0) return 1 end
function Generate(i) CPP_GenerateChooseUser(0, -2) return 1 end
function StageEnd(i) ended = ended .. 'e' .. i .. ';' return 1 end
function GetMinChoiceIndex(t, s) asked = asked .. t .. '/' .. s .. ';' return minChoice end
function GetMaxChoiceIndex(t, s) return maxChoice end
local function Waiting(hook)
  return { class_name = 'GLogicalScene', objects = { { base_type = 'girl' } },
           stages = { { OnBegin = hook, OnEnd = 'StageEnd' }, { OnEnd = 'StageEnd' } } }
end
scenes = { power = Waiting('AskPower'), choice = Waiting('AskChoice'),
           generate = Waiting('Generate') }
)";

class DialogTest : public TSceneTest {
protected:
    void SetUp() override {
        TSceneTest::SetUp();
        GObjectFactory::Instance().RegisterObjectCreator(
            "TMeterProbe", [] { return static_cast<GGameObject*>(new TMeterProbe); });
        GLogicalManager::Instance().SetHooks(&mHooks);
        LoadScenes(kDialogScenes, "scripts/stages/dialog_scenes.lua");
        mGirl = Make("girl1", "girl");
        ASSERT_NE(mGirl, nullptr);
        Run(mGirl, "scenes_used_dialog = {}");
    }

    void TearDown() override {
        GLogicalManager& manager = GLogicalManager::Instance();
        manager.ResetLevel();
        manager.SetGameState(0);
        manager.SetHooks(nullptr);
        TSceneTest::TearDown();
    }

    // The scene made for the girl and begun: its first stage opened the dialog.
    GLogicalScene* Open(const char* name, bool keepState = false) {
        auto* scene = dynamic_cast<GLogicalScene*>(
            GLogicalManager::Instance().CreateScene(name, mGirl, nullptr, true, keepState));
        EXPECT_NE(scene, nullptr);
        return scene;
    }

    static int LastId() { return GLogicalManager::Instance().GetDialogIdCounter(); }

    TDialogHooks mHooks;
    GGameObject* mGirl = nullptr;
};

TEST_F(DialogTest, ChooseTextNamesTheGirlAndSceneAsLiterals) {
    GLogicalManager::GChooseUserText values;
    values.mObjectName = "girl_3";
    values.mDialog = 7;
    values.mEntry = 1;
    values.mScene = "makeup";
    values.mGirlType = "cheerleader";
    values.mHair = 2;
    values.mMakeup = 3;
    values.mMask = 100;
    values.mManicure = 101;
    values.mStage = 1;
    values.mLevel = 4;
    values.mCached = true;
    EXPECT_STREQ(GLogicalManager::ChooseUserText(values).CStr(),
                 "CurrentObjectId = 'girl_3'; SelectorIDS=7; SelectorIndObj=1; "
                 "SelectorSceneType='makeup'; SelectorStudentType='cheerleader'; "
                 "SelectorDefaultHairType=2; SelectorDefaultMakeupType=3; "
                 "SelectorDefaultMaskType=100; SelectorDefaultManicureType=101; "
                 "SelectorWindowsNumber = GetSelectorCount(1,4,'makeup','cheerleader'); "
                 "IsSelectorCached=1;");
    values.mObjectName = "x'); os = nil; --";
    values.mCached = false;
    const std::string text = GLogicalManager::ChooseUserText(values).CStr();
    EXPECT_EQ(text.substr(0, 41), "CurrentObjectId = 'x\\'); os = nil; --'; S");
    EXPECT_EQ(text.substr(text.size() - 19), "IsSelectorCached=0;");
}

TEST_F(DialogTest, PowerMeterAnswerReachesTheSceneThatAskedAndEndsItsStage) {
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(2);
    GGameObject* meter = Make("meter", "meter", "TMeterProbe");
    ASSERT_NE(meter, nullptr);
    Run(meter, "resets = 0 function ResetPowerMeter() resets = resets + 1 end");
    manager.RegisterObject(meter);
    const int before = LastId();
    GLogicalScene* scene = Open("power");
    ASSERT_NE(scene, nullptr);
    const int dialog = LastId();
    EXPECT_EQ(dialog, before + 1);
    ASSERT_EQ(mHooks.queued.size(), 1u);
    EXPECT_EQ(mHooks.queued[0], "PowerIDS=" + std::to_string(dialog) +
                                    "; PowerIndObj=1; DoModal('scripts/powers.lua');");
    ASSERT_EQ(manager.GetDialogCallers().size(), 1u);
    EXPECT_EQ(manager.GetDialogCallers()[0]->mScene, scene);

    // An unknown id only resets the meter.
    manager.CPP_EndPowerMeterDialog(dialog + 5, 2, 0);
    EXPECT_EQ(Number(meter, "resets"), 1);
    EXPECT_EQ(SceneText("ended"), "");
    // The answer: a power the level cannot give (no heroine), and the stage goes on.
    manager.CPP_EndPowerMeterDialog(dialog, 3, 0);
    EXPECT_EQ(Number(meter, "resets"), 2);
    EXPECT_EQ(SceneText("ended"), "e0;");
    EXPECT_EQ(scene->GetStageIndex(), 1);
    EXPECT_TRUE(manager.GetDialogCallers().empty());
    EXPECT_EQ(manager.GetPowerInUse(), 0);
    // Answered once only.
    manager.CPP_EndPowerMeterDialog(dialog, 3, 0);
    EXPECT_EQ(SceneText("ended"), "e0;");
    manager.UnregisterObject(meter);
}

TEST_F(DialogTest, PowerMeterDialogAskedDuringACarryOpensAfterTheDrop) {
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(2);
    manager.SetGameState(3);
    ASSERT_NE(Open("power", true), nullptr);
    EXPECT_TRUE(mHooks.queued.empty());
    ASSERT_EQ(manager.GetDeferredLuaTexts().size(), 1u);
    manager.SetGameState(2);
    ASSERT_EQ(mHooks.queued.size(), 1u);
    EXPECT_EQ(mHooks.queued[0], "PowerIDS=" + std::to_string(LastId()) +
                                    "; PowerIndObj=1; DoModal('scripts/powers.lua');");
    EXPECT_TRUE(manager.GetDeferredLuaTexts().empty());
}

TEST_F(DialogTest, ChooseAnswerGoesToTheGirlsScriptAndEndsTheStage) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GLogicalScene* scene = Open("choice");
    ASSERT_NE(scene, nullptr);
    const int dialog = LastId();
    // Not a girl in entry 0: no selector, but the answer is still awaited.
    EXPECT_TRUE(mHooks.selectors.empty());
    ASSERT_EQ(manager.GetDialogCallers().size(), 1u);
    manager.CPP_EndChooseUser(dialog, 0, 3, 1);
    EXPECT_EQ(scene->GetDialogResult(), 3);
    EXPECT_EQ(scene->GetDialogPoiseFactor(), 1);
    EXPECT_EQ(Number(mGirl, "user_dialog_result"), 3);
    EXPECT_EQ(Number(mGirl, "user_dialog_poisekoef"), 1);
    Run(mGirl, "used = scenes_used_dialog.choice");
    EXPECT_EQ(Number(mGirl, "used"), 1);
    EXPECT_EQ(SceneText("ended"), "e0;");
    EXPECT_TRUE(manager.GetDialogCallers().empty());
}

TEST_F(DialogTest, AnAnswerForADestroyedSceneIsIgnored) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GLogicalScene* choice = Open("choice");
    ASSERT_NE(choice, nullptr);
    const int chooseId = LastId();
    GLogicalScene* power = Open("power");
    ASSERT_NE(power, nullptr);
    const int powerId = LastId();
    choice->StopAndClose();
    power->StopAndClose();
    ASSERT_EQ(LiveCount(), 0u);
    ASSERT_EQ(manager.GetDialogCallers().size(), 2u);
    EXPECT_EQ(manager.GetDialogCallers()[0]->mScene, nullptr);
    EXPECT_EQ(manager.GetDialogCallers()[1]->mScene, nullptr);
    const std::string ended = SceneText("ended");
    manager.CPP_EndChooseUser(chooseId, 0, 2, 0);
    manager.CPP_EndPowerMeterDialog(powerId, 2, 0);
    EXPECT_EQ(SceneText("ended"), ended);
    EXPECT_EQ(Number(mGirl, "user_dialog_result"), 0);
    // Scenes deleted in bulk, as a new scene file deletes them, leave their callers too.
    ASSERT_NE(Open("power"), nullptr);
    const int bulkId = LastId();
    LoadScenes(kDialogScenes, "scripts/stages/dialog_scenes.lua");
    ASSERT_EQ(manager.GetDialogCallers().size(), 3u);
    EXPECT_EQ(manager.GetDialogCallers()[2]->mScene, nullptr);
    manager.CPP_EndPowerMeterDialog(bulkId, 2, 0);
    EXPECT_EQ(SceneText("ended"), "");
    // A reset drops the callers; ids go on.
    manager.ResetLevel();
    EXPECT_TRUE(manager.GetDialogCallers().empty());
    EXPECT_EQ(LastId(), bulkId);
    EXPECT_EQ(bulkId, powerId + 1);
}

TEST_F(DialogTest, ChoiceIndexComesFromTheSceneScriptsRange) {
    GLogicalManager& manager = GLogicalManager::Instance();
    struct TCase {
        int low;
        int high;
        std::set<int> results;
    };
    const TCase cases[] = {
        {2, 4, {2, 3, 4}}, {0, 5, {1}}, {0, 0, {0}}, {3, 0, {0}}, {0, -1, {1}}, {5, 5, {5}},
    };
    for (const TCase& c : cases) {
        RunInScenes("minChoice = " + std::to_string(c.low) +
                    " maxChoice = " + std::to_string(c.high));
        std::set<int> seen;
        for (int i = 0; i < 60; ++i) {
            seen.insert(manager.GetChoiceIndex("girl", "makeup"));
        }
        EXPECT_EQ(seen, c.results) << c.low << ".." << c.high;
    }
    EXPECT_EQ(SceneText("asked").substr(0, 14), "girl/makeup;gi");
}

TEST_F(DialogTest, GeneratedChoiceGivesAtLeastOneWithoutCallerOrStageEnd) {
    GLogicalManager& manager = GLogicalManager::Instance();
    const int before = LastId();
    GLogicalScene* scene = Open("generate");
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(SceneText("asked"), "girl/generate;");
    EXPECT_EQ(scene->GetDialogResult(), 1) << "min 0 and max 0 give 0, passed as 1";
    EXPECT_EQ(scene->GetDialogPoiseFactor(), -2);
    EXPECT_EQ(Number(mGirl, "user_dialog_result"), 1);
    EXPECT_EQ(LastId(), before);
    EXPECT_TRUE(manager.GetDialogCallers().empty());
    EXPECT_EQ(SceneText("ended"), "");
    EXPECT_EQ(scene->GetStageIndex(), 0);
    // Without a participant at the entry nothing is asked.
    RunInScenes("CPP_GenerateChooseUser(4, 0)");
    EXPECT_EQ(SceneText("asked"), "girl/generate;");
}

} // namespace
