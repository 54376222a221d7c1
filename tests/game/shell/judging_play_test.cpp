// A fixture level with a judging door played on the game harness from scripted input to its end:
// two girls dragged onto the judging places quarrel (a tussle), the player clicks the door, the
// heroine waits at it while the judges let the girls in one after the other, and the level ends
// with both girls served, the second with the combo bonus.

#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameData.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GLevel.h"
#include "tests/game/shell/judging_play_fixture.h"

#include <gmock/gmock.h>

namespace judging_play_test {

using namespace game_harness;
using namespace judging_play;
using testing::Contains;

using JudgingPlayTest = TJudgingPlayTest;

TEST_F(JudgingPlayTest, TwoGirlsQuarrelAtTheDoorAndAreJudgedInARow) {
    RunGame(
        [this](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "game");
            ASSERT_NO_FATAL_FAILURE(StartLevel());
            GLogicalManager& manager = LogicalManager();
            ASSERT_NE(manager.GetJudgingDoor(), nullptr);
            ASSERT_EQ(manager.GetQueuePlaceCount(), 2);
            Take();

            // Both girls ask for the judges; the player puts amy on the near place, bea on the far.
            ASSERT_TRUE(Play(Drag(10, 120, 120, 520, 320) + Drag(400, 220, 120, 420, 320)));
            auto* door = dynamic_cast<GJudgingSceneDoor*>(manager.GetJudgingDoor());
            GGameObject* amy = manager.GetJudgingPlaces()[0]->GetOccupant();
            GGameObject* bea = manager.GetJudgingPlaces()[1]->GetOccupant();
            ASSERT_NE(amy, nullptr);
            ASSERT_NE(bea, nullptr);
            EXPECT_EQ(Text(amy->GetName()), "amy");
            EXPECT_TRUE(door->IsOpen());
            EXPECT_EQ(Text(door->GetScript().GetGlobalString("ran")), "first girl;tussle in 3;");
            // Three door ticks later bea, the less poised, on the last place quarrels with amy
            // before her; the next tussle would be far off.
            ASSERT_TRUE(RunFor(1000));
            EXPECT_EQ(amy->GetScript().GetGlobalNumber("quarrels"), 1);
            EXPECT_EQ(bea->GetScript().GetGlobalNumber("quarrels"), 1);
            EXPECT_EQ(Text(door->GetScript().GetGlobalString("ran")),
                      "first girl;tussle in 3;tussle in 10000;");
            EXPECT_EQ(manager.CountQueuedGirls(), 2) << "they quarrel in their places";

            // The door: the heroine waits at it while the judges let amy in, then bea for the
            // combo.
            ASSERT_TRUE(Play("at 10: move 660 310\nat 30: down 660 310\nat 50: up 660 310\n"));
            ASSERT_TRUE(RunFor(3000));
            EXPECT_EQ(Text(door->GetScript().GetGlobalString("ran")),
                      "first girl;tussle in 3;tussle in 10000;queue goes in;queue done;");
            EXPECT_EQ(manager.GetHeroine()->GetScript().GetGlobalNumber("wait_task_exit"), 1);
            GLevel* level = Level();
            ASSERT_NE(level, nullptr);
            EXPECT_EQ(level->GetGirlsServed(), 2);
            EXPECT_EQ(level->GetGirlsLost(), 0);
            EXPECT_EQ(level->GetComboBonus(), 5);
            EXPECT_EQ(level->GetScore(), 45);
            EXPECT_EQ(level->GetResult(), 2);
            EXPECT_EQ(GameState(), 4);
            EXPECT_THAT(Take(),
                        testing::IsSupersetOf({std::string("last event judging_a"),
                                               std::string("DoModal scripts/level_stats.lua")}));
        },
        {{"firstscreen", "scripts/game.lua"}});
}

} // namespace judging_play_test
