// What the logical manager asks of the personages in scenes: the first personage by name that
// offers a girl's action goes with her to the scene named after it, and "CPP_SetTouchUpDirection"
// turns the scene's personage toward its girl.
#include "game/world/GPersonage.h"

#include "tests/game/world/level_fixture.h"
#include "tests/game/world/scene_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace gpersonage_scene_test {
namespace {

using world_test::TSceneTest;

// One scene per personage name, each waiting for a girl and a helper.
const char kScenes[] = R"(
scenes = {
  anna = { class_name = 'GLogicalScene',
           objects = { { base_type = 'girl' }, { base_type = 'helper' } },
           stages = { { tasks = { 'long', 'long' } } } },
  carl = { class_name = 'GLogicalScene',
           objects = { { base_type = 'girl' }, { base_type = 'helper' } },
           stages = { { tasks = { 'long', 'long' } } } },
  dora = { class_name = 'GLogicalScene',
           objects = { { base_type = 'girl' }, { base_type = 'helper' } },
           stages = { { tasks = { 'long', 'long' } } } },
}
)";

class PersonageSceneTest : public TSceneTest {
protected:
    void SetUp() override {
        TSceneTest::SetUp();
        ASSERT_TRUE(world_test::gFixtureClassesRegistered);
        LoadScenes(kScenes, "scripts/stages/personage_scenes.lua");
        GLogicalManager::Instance().SetGameState(2);
    }

    void TearDown() override {
        GLogicalManager::Instance().ResetLevel();
        GLogicalManager::Instance().SetGameState(0);
        TSceneTest::TearDown();
    }

    // A helper filed with the manager, offering the actions.
    GPersonage* Helper(const std::string& name, std::initializer_list<const char*> actions) {
        auto* helper = dynamic_cast<GPersonage*>(Make(name, "helper", "GPersonage"));
        EXPECT_NE(helper, nullptr);
        for (const char* action : actions) {
            helper->CPP_AddTouchupAction(action);
        }
        GLogicalManager::Instance().RegisterObject(helper);
        return helper;
    }
};

TEST_F(PersonageSceneTest, TheFirstPersonageByNameWithTheActionGoesWithTheGirl) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* girl = Make("amy", "girl", "FixtureGirl");
    ASSERT_NE(girl, nullptr);
    // Filed out of name order: the manager visits them by name.
    GPersonage* dora = Helper("dora", {"nails"});
    GPersonage* anna = Helper("anna", {"hair"});
    GPersonage* carl = Helper("carl", {"nails", "hair"});
    ASSERT_EQ(manager.GetPersonages().size(), 3u);

    EXPECT_EQ(manager.RequestPersonage(girl, "mask"), nullptr) << "nobody offers it";
    EXPECT_EQ(LiveCount(), 0u);
    EXPECT_EQ(manager.RequestPersonage(girl, "nails"), carl);
    ASSERT_EQ(LiveCount(), 1u);
    GBaseLogicalScene* scene = manager.GetLiveScenes().front();
    EXPECT_EQ(scene->GetName(), str("carl"));
    EXPECT_EQ(scene->GetObject(0), girl);
    EXPECT_EQ(scene->GetObject(1), carl);
    EXPECT_EQ(scene->IndexOfObject(dora), -1);

    manager.SetCurrentScene(scene);
    girl->SetPlace(TVec2(250, 300), 0);
    manager.CPP_SetTouchUpDirection();
    EXPECT_EQ(Text(carl, "personageTouchUpDirection"), "left");
    girl->SetPlace(TVec2(300, 300), 0);
    manager.CPP_SetTouchUpDirection();
    EXPECT_EQ(Text(carl, "personageTouchUpDirection"), "right") << "the same x";

    EXPECT_EQ(manager.RequestPersonage(girl, "hair"), anna);
    EXPECT_EQ(manager.GetLiveScenes().back()->GetName(), str("anna"));
}

TEST_F(PersonageSceneTest, TheTouchUpDirectionNeedsAGirlAndAPersonage) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GGameObject* girl = Make("amy", "girl", "FixtureGirl");
    GGameObject* probe = Make("bob", "helper");
    GPersonage* carl = Helper("carl", {"nails"});
    ASSERT_TRUE(girl != nullptr && probe != nullptr && carl != nullptr);
    girl->SetPlace(TVec2(10, 300), 0);
    // A scene of a probe in the helper's place, and one of the helper with no girl first.
    GBaseLogicalScene* scene = manager.CreateScene("anna", girl, nullptr, false, true);
    ASSERT_NE(scene, nullptr);
    scene->AddObject(probe);
    manager.SetCurrentScene(scene);
    manager.CPP_SetTouchUpDirection();
    manager.SetCurrentScene(nullptr);
    manager.CPP_SetTouchUpDirection();
    GBaseLogicalScene* reversed = manager.CreateScene("dora", carl, nullptr, false, true);
    ASSERT_NE(reversed, nullptr);
    manager.SetCurrentScene(reversed);
    manager.CPP_SetTouchUpDirection();
    EXPECT_EQ(Text(carl, "personageTouchUpDirection"), "") << "never turned";
}

} // namespace
} // namespace gpersonage_scene_test
