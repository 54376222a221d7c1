// The logical manager's "CPP_" functions, called from scene hooks in the scene script and from the
// main script: each acts on a participant of the current scene or answers its value without one.
#include "game/world/GLogicalManager.h"

#include "engine/ui/windowmanager.h"
#include "game/common/WindowScriptState.h"
#include "game/world/GBaseSimpleTask.h"
#include "tests/game/world/scene_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TProbe;
using world_test::TSceneTest;

// Every hook writes what the functions answered into "out"; "stop" ends the scene from within.
const char kCppScenes[] = R"(
out = ''
function put(v) out = out .. tostring(v) .. ';' end
function Calls()
  put(CPP_SetAnimState(0, 'walk'))
  put(CPP_SetSimpleAnimState(1, 'sit'))
  put(CPP_ModifyCheck(0, 3))
  put(CPP_ModifyCheck(5, 3))
  put(CPP_TouchUp(0))
  put(CPP_TouchUp(7))
  put(CPP_SetAnimState(9, 'walk'))
  put(CPP_SetSimpleAnimState(9, 'sit'))
  put(CPP_CalcPath(0, 1))
  put(CPP_CalcPath(0, 9))
  put(CPP_SendMessageToObject(0, 1, 'hi'))
  CPP_SyncTaskTime(0, 'work', 1, 'long')
  CPP_SyncTaskTime(0, 'long', 9, 'work')
  CPP_RestoreTaskTime(1, 'long')
  CPP_RestoreTaskTime(9, 'long')
  put(CPP_MoveToBasePos(9))
  CPP_SetTouchUpDirection()
  CPP_OnEndJudging()
  CPP_CheckComboNumbers()
  return 1
end
scenes = {
  calls = { class_name = 'GLogicalScene', OnCreate = 'Calls',
            objects = { { base_type = 'girl' }, { base_type = 'chair' } },
            stages = { { tasks = { 'long' } } } },
}
)";

class LogicalManagerCppTest : public TSceneTest {
protected:
    void SetUp() override {
        TSceneTest::SetUp();
        LoadScenes(kCppScenes, "scripts/stages/cpp_scenes.lua");
        mGirl = dynamic_cast<TProbe*>(Make("girl1", "girl"));
        mChair = dynamic_cast<TProbe*>(Make("chair1", "chair"));
        ASSERT_NE(mGirl, nullptr);
        ASSERT_NE(mChair, nullptr);
    }

    GBaseLogicalScene* CreateCalls() {
        return GLogicalManager::Instance().CreateScene("calls", mGirl, mChair, false, false);
    }

    TProbe* mGirl = nullptr;
    TProbe* mChair = nullptr;
};

TEST_F(LogicalManagerCppTest, SceneHooksReachTheParticipantsOrAnswerTheirValues) {
    ASSERT_NE(CreateCalls(), nullptr);
    // Set and simple states, check +30 and -1, no girl for a touch-up (-1 twice), 0 and 0 for a
    // missing participant, a path to the chair's approach point, none to a missing one, the
    // message's 0, no base position without a participant.
    EXPECT_EQ(SceneText("out"), "250;125;30;-1;-1;-1;0;0;1;0;0;0;");
    EXPECT_EQ(mGirl->mStates, (std::vector<std::string>{"look walk"}));
    EXPECT_EQ(mChair->mStates, (std::vector<std::string>{"visual sit", "base long"}));
    ASSERT_FALSE(mGirl->mPath.empty());
    EXPECT_NEAR(mGirl->mPath.back().x, 110, 20);
    EXPECT_EQ(mGirl->GetTaskTime("work"), 400) << "synchronised with the chair's long task";
    EXPECT_EQ(mGirl->GetTaskTime("long"), 400) << "untouched without participant 9";
}

TEST_F(LogicalManagerCppTest, TheMainScriptHasTheFunctionsForTheCurrentScene) {
    GBaseLogicalScene* scene = CreateCalls();
    ASSERT_NE(scene, nullptr);
    TScript* main = WindowScript();
    ASSERT_NE(main, nullptr);
    main->DoLuaString("mainOut = CPP_ModifyCheck(1, 2) .. ',' .. CPP_SetAnimState(1, 'x')");
    EXPECT_STREQ(main->GetGlobalString("mainOut").CStr(), "20,250");

    // The chair has a task: its base position waits.
    ASSERT_EQ(mChair->AddTask("work", nullptr, true), 1);
    main->DoLuaString("mainOut = CPP_MoveToBasePos(1)");
    EXPECT_STREQ(main->GetGlobalString("mainOut").CStr(), "0");
    mGirl->SetPosition(600, 400);
    main->DoLuaString("mainOut = CPP_MoveToBasePos(0)");
    EXPECT_STREQ(main->GetGlobalString("mainOut").CStr(), "1");
    ASSERT_NE(mGirl->GetCurrentTask(), nullptr);
    EXPECT_EQ(mGirl->GetCurrentTask()->GetName(), "moving");
    EXPECT_EQ(mGirl->GetCurrentTask()->GetListener(), nullptr);
}

TEST_F(LogicalManagerCppTest, AfterTheCurrentSceneIsDestroyedTheFunctionsFindNoParticipant) {
    GBaseLogicalScene* scene = CreateCalls();
    ASSERT_NE(scene, nullptr);
    GLogicalManager& manager = GLogicalManager::Instance();
    ASSERT_EQ(manager.GetCurrentScene(), scene);
    scene->StopAndClose();
    EXPECT_EQ(manager.GetCurrentScene(), nullptr);
    TScript* main = WindowScript();
    main->DoLuaString("mainOut = CPP_ModifyCheck(0, 2) .. ',' .. CPP_TouchUp(0) .. ',' .. "
                      "CPP_SetAnimState(0, 'x') .. ',' .. CPP_CalcPath(0, 1)");
    EXPECT_STREQ(main->GetGlobalString("mainOut").CStr(), "-1,-1,0,0");
    RunInScenes("out = CPP_ModifyCheck(0, 2)");
    EXPECT_EQ(SceneText("out"), "-1");
}

TEST_F(LogicalManagerCppTest, EveryFunctionIsPublishedInBothScripts) {
    const char* names[] = {"CPP_EndChooseUser",       "CPP_EndPowerMeterDialog",
                           "CPP_EndBuyDialog",        "CPP_RunChooseUser",
                           "CPP_RunPowerMeterDialog", "CPP_SetAnimState",
                           "CPP_SetSimpleAnimState",  "CPP_CalcPath",
                           "CPP_MoveToBasePos",       "CPP_OnEndJudging",
                           "CPP_SendMessageToObject", "CPP_OnEnterPodium",
                           "CPP_ModifyCheck",         "CPP_TouchUp",
                           "CPP_SetTouchUpDirection", "CPP_GenerateChooseUser",
                           "CPP_SyncTaskTime",        "CPP_OnPoisePower",
                           "CPP_RestoreTaskTime",     "CPP_PlaySound",
                           "CPP_CheckComboNumbers"};
    EXPECT_EQ(std::size(names), 21u);
    lua_State* scenes = GLogicalManager::Instance().GetSceneScript()->GetState();
    for (const char* name : names) {
        EXPECT_TRUE(HasGlobal(scenes, name)) << name;
        EXPECT_TRUE(HasGlobal(WindowScriptState(), name)) << name;
    }
}

} // namespace
