// The sounds of the logical manager's input and of the girls: a refused click plays "click_empty"
// (the power meter's row: refused while disabled, taken silently when enabled) and the judging
// door's click none, "CPP_PlaySound" plays the effect of the short name, a choose dialog's answer
// the girl's mood, the entrance door opens with "door_open" at a girl's first appearance only, and
// a scene that earns her points plays "done" (the file "action_done").
#include "game/world/GLogicalManager.h"

#include "engine/core/knownfiles.h"
#include "engine/media/sound.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameObject.h"
#include "game/world/GInDoor.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GMarivellPowerMeter.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GStudent.h"
#include "tests/assets/assets_fixture.h"
#include "tests/game/world/girl_fixture.h"

#include <gtest/gtest.h>

namespace {

class LogicalManagerSoundTest : public assets_test::TDemoSoundDeviceTest {
protected:
    void TearDown() override {
        GLogicalManager::Instance().SetGameState(0);
        GLogicalManager::Instance().ResetLevel();
        TDemoSoundDeviceTest::TearDown();
    }

    // Stopping a sound answers whether it was playing; the file's name, not the effect's.
    static bool WasPlaying(const char* name) {
        const TSoundPtr sound =
            TSound::Find((std::string("audio/sfx/") + name + ".ogg;1;1000").c_str());
        return sound && sound->Stop();
    }
};

TEST_F(LogicalManagerSoundTest, ARefusedClickPlaysClickEmptyOnlyInPlay) {
    GLogicalManager& manager = GLogicalManager::Instance();
    // Personages and the heroine take no clicks of their own.
    GGameObject object;
    GPersonage personage;
    GMainHeroine heroine;
    for (GGameObject* clicked :
         {&object, static_cast<GGameObject*>(&personage), static_cast<GGameObject*>(&heroine)}) {
        manager.SetGameState(0);
        EXPECT_EQ(manager.OnObjectClick(clicked, false), 0);
        EXPECT_FALSE(WasPlaying("click_empty")) << "silent before a level";
        manager.SetGameState(2);
        EXPECT_EQ(manager.OnObjectClick(clicked, false), 0);
        EXPECT_TRUE(WasPlaying("click_empty")) << clicked->GetClassName();
        EXPECT_FALSE(WasPlaying("click"));
    }
}

TEST_F(LogicalManagerSoundTest,
       APowerMeterClickIsRefusedWhileDisabledOrAPowerIsInUseAndElseTakenSilently) {
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(2);
    GMarivellPowerMeter meter;
    meter.SetActive(true);
    EXPECT_EQ(manager.OnObjectClick(&meter, true), 0);
    EXPECT_TRUE(WasPlaying("click_empty"));
    EXPECT_TRUE(meter.IsActive());

    meter.CPP_SetEnabled(1);
    manager.SetPowerInUse(2);
    EXPECT_EQ(manager.OnObjectClick(&meter, true), 0) << "a power is in use";
    EXPECT_TRUE(WasPlaying("click_empty"));
    EXPECT_TRUE(meter.IsActive());

    manager.SetPowerInUse(0);
    EXPECT_EQ(manager.OnObjectClick(&meter, true), 1);
    EXPECT_FALSE(meter.IsActive()) << "the click was checked";
    EXPECT_FALSE(WasPlaying("click_empty"));
    EXPECT_FALSE(WasPlaying("click"));
}

TEST_F(LogicalManagerSoundTest, TheJudgingDoorTakesAClickSilentlyOnlyWithAHeroine) {
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(2);
    GJudgingSceneDoor door;
    manager.RegisterObject(&door);
    door.OnQueueCount(1);
    ASSERT_TRUE(door.CanAcceptGirl());
    EXPECT_EQ(manager.OnObjectClick(&door, false), 0);
    EXPECT_TRUE(WasPlaying("click_empty")) << "no heroine";
    EXPECT_TRUE(door.CanAcceptGirl()) << "the door was not asked";

    GMainHeroine heroine;
    manager.RegisterObject(&heroine);
    EXPECT_EQ(manager.OnObjectClick(&door, false), 1);
    EXPECT_FALSE(WasPlaying("click_empty"));
    EXPECT_FALSE(WasPlaying("click"));
    EXPECT_EQ(door.GetEntered(), 1);
    EXPECT_EQ(manager.OnObjectClick(&door, false), 0) << "its group went in";
    EXPECT_TRUE(WasPlaying("click_empty"));
    manager.UnregisterObject(&heroine);
    manager.UnregisterObject(&door);
}

TEST_F(LogicalManagerSoundTest, PlaySoundPlaysTheShortName) {
    GLogicalManager::Instance().CPP_PlaySound("grab");
    EXPECT_TRUE(WasPlaying("grab"));
}

TEST_F(LogicalManagerSoundTest, ChooseAnswerPlaysTheGirlsMoodByItsPoiseFactor) {
    static const char kScenes[] =
        "function Ask(i) CPP_RunChooseUser(0) return 1 end\n"
        "scenes = { ask = { class_name = 'GLogicalScene', objects = { { class_type = "
        "'GGameObject' } }, stages = { { OnBegin = 'Ask' }, {} } } }";
    const char* file = "scripts/stages/mood_scenes.lua";
    RegisterMemoryFile(file, kScenes, sizeof kScenes - 1);
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.LoadScenes(file);
    struct TCase {
        int poise;
        const char* sound;
    };
    const char* moods[] = {"girl_sad", "girl_neutral", "girl_happy"};
    GGameObject objects[3];
    const TCase cases[] = {{-3, "girl_sad"}, {0, "girl_neutral"}, {2, "girl_happy"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].poise);
        GBaseLogicalScene* scene = manager.CreateScene("ask", &objects[i], nullptr, true, true);
        ASSERT_NE(scene, nullptr);
        manager.CPP_EndChooseUser(manager.GetDialogIdCounter(), 0, 1, cases[i].poise);
        for (const char* mood : moods) {
            EXPECT_EQ(WasPlaying(mood), mood == std::string(cases[i].sound)) << mood;
        }
        EXPECT_EQ(scene->GetStageIndex(), 1);
    }
    manager.DeleteLiveScenes();
    GObjectFactory::Instance().Clear(false, true);
    RegisterMemoryFile(file, nullptr, 0);
}

TEST_F(LogicalManagerSoundTest, TheDoorOpensWithItsSoundAtTheFirstAppearanceOnly) {
    GLogicalManager& manager = GLogicalManager::Instance();
    world_test::TFixtureQueue queue;
    GInDoor door;
    manager.RegisterObject(&queue);
    manager.RegisterObject(&door);
    GStudent girl;
    EXPECT_EQ(girl.CPP_CheckTimeAppearence(), 1);
    EXPECT_TRUE(WasPlaying("door_open"));

    queue.mOccupant = nullptr;
    girl.GetScript().DoLuaString("function OnReturnToPreQueue() end");
    girl.ReturnToPreQueue();
    EXPECT_EQ(girl.CPP_CheckTimeAppearence(), 1);
    EXPECT_FALSE(WasPlaying("door_open"));
}

TEST_F(LogicalManagerSoundTest, PointsOfASceneOrTheJudgesSoundDone) {
    GStudent girl;
    girl.GetScript().DoLuaString("points = 0 function OnSceneEnd(scene) return points end");
    girl.OnSceneEnd("makeup");
    EXPECT_FALSE(WasPlaying("action_done")) << "no points";
    girl.GetScript().DoLuaString("points = -3");
    girl.OnSceneEnd("makeup");
    EXPECT_FALSE(WasPlaying("action_done")) << "lost points";
    girl.GetScript().DoLuaString("points = 4");
    girl.OnSceneEnd("makeup");
    EXPECT_TRUE(WasPlaying("action_done"));
    // The judges' points likewise, without judges to react.
    girl.CPP_AddFlyScore(-2, 0);
    EXPECT_FALSE(WasPlaying("action_done"));
    girl.CPP_AddFlyScore(5, 0);
    EXPECT_TRUE(WasPlaying("action_done"));
}

} // namespace
