// What game objects reach of the logical manager: each answer for a missing game screen, game
// data or level, and the change notice that gives an object with a pending task the mouse.
#include "game/world/GLogicalManager.h"

#include "game/world/GStratMousePikUp.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TWorldObjectTest;

class LogicalManagerTest : public TWorldObjectTest {};

// An object that always waits for a task.
class TWaitingObject : public GGameObject {
public:
    bool HasPendingTask(bool /*flag*/) override { return true; }
};

TEST_F(LogicalManagerTest, MissingPartsGiveTheirAnswers) {
    GLogicalManager& manager = GLogicalManager::Instance();
    EXPECT_FALSE(manager.IsClosing());
    mGameData.SetClosing(true);
    EXPECT_TRUE(manager.IsClosing());
    manager.SetGameData(nullptr);
    EXPECT_TRUE(manager.IsClosing()) << "no game data";

    GGameObject object;
    EXPECT_EQ(manager.RemoveObject(&object, true), 0);
    EXPECT_FALSE(manager.UpdateBuyButton());
    EXPECT_EQ(manager.CreateParticleEffect("fx"), nullptr);
    EXPECT_FALSE(manager.AddTimerTask(nullptr));
    manager.SetGameScreen(nullptr);
    GGameObjectTimer timer(&object, &GBaseTimerObj::RunTimer, nullptr);
    EXPECT_FALSE(manager.AddTimerTask(&timer)) << "no game screen";
    EXPECT_EQ(manager.GetGameState(), 0);
}

TEST_F(LogicalManagerTest, ChangeNoticeGivesAnObjectWithAPendingTaskTheMouse) {
    TWaitingObject waiting;
    waiting.SetStrategy(new GStratMousePikUp);
    GGameObject idle;
    idle.SetStrategy(new GStratMousePikUp);
    waiting.NotifyManager();
    idle.NotifyManager();
    EXPECT_FALSE(waiting.GetStrategy()->IsInactive());
    EXPECT_TRUE(idle.GetStrategy()->IsInactive());
}

} // namespace
