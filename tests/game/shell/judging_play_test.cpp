// A fixture level with a judging door played on the game harness from scripted input to its end:
// two girls dragged onto the judging places quarrel (a tussle), the player clicks the door, the
// heroine waits at it while the judges let the girls in one after the other, and the level ends
// with both girls served, the second with the combo bonus.

#include "game/world/GBaseLogicalScene.h"
#include "game/world/GGameData.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GLevel.h"
#include "tests/game/level_harness.h"

#include <gmock/gmock.h>

#include <string>

namespace judging_play_test {

using namespace game_harness;

// Two girls asking for "judging_a" (the first calmer), two places, the stand, the door and the
// heroine; goal 40, expert 100.
const char kStage[] = R"(
LevelData = {
  level = { goal = 40, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    amy = { included = true, pos_x = 100, pos_y = 100, poise = 300, life_cycle = { 'judging_a' } },
    bea = { included = true, pos_x = 200, pos_y = 100, poise = 100, life_cycle = { 'judging_a' } },
    near = { included = true, pos_x = 500, pos_y = 300 },
    far = { included = true, pos_x = 400, pos_y = 300 },
    stand = { included = true, pos_x = 500, pos_y = 100 },
    door = { included = true, pos_x = 650, pos_y = 300 },
    heroine = { included = true, pos_x = 700, pos_y = 500 } },
}
local girl = { class_name = 'GStudent', base_type = 'singer', xml_anim = 'square',
  script_name = 'scripts/girl.lua', base_request_time = 100, scenes = { 'judging_a' },
  triggers = { delay = 100, { func_name = 'Tick' } },
  tasks = { quarrel = { tick_count = 2, delay = 100 }, podium = { tick_count = 3, delay = 100 } } }
Objects = {
  types = {
    amy = girl, bea = girl,
    place = { class_name = 'GJudgingQueue', xml_anim = 'square', scenes = { 'judging_a' } },
    stand = { class_name = 'GJudgingScene', xml_anim = 'square', xml_judges = 'square',
              enter_scene_delay = 200, score_combo = { 5, 10 },
              script_name = 'scripts/stand.lua', triggers = { delay = 100, { func_name = 'Tick' } } },
    door = { class_name = 'GJudgingSceneDoor', xml_anim = 'square',
             scenes = { 'judging_scene_door', 'judging_a' }, script_name = 'scripts/door.lua',
             triggers = { delay = 100, { func_name = 'Tick' } } },
    heroine = { class_name = 'GMainHeroine', base_type = 'heroine', xml_anim = 'square',
                script_name = 'scripts/heroine.lua', tasks = { wait = { tick_count = 100, delay = 100 } } },
  },
  data = {
    amy = { name = 'amy', base_type = 'amy' }, bea = { name = 'bea', base_type = 'bea' },
    near = { name = 'near', base_type = 'place' }, far = { name = 'far', base_type = 'place' },
    stand = { name = 'stand', base_type = 'stand' }, door = { name = 'door', base_type = 'door' },
    heroine = { name = 'heroine', base_type = 'heroine' },
  },
  level_types = { level = {} },
}
function LevelTimerFunc(tick) end
)";

// The girl asks for her next scene as her request time runs out; the judges give 20 points.
const char kGirl[] = R"(
current_poise = 500
function Tick(n)
  if n == 1 then current_poise = ObjectData.poise end
  CPP_CheckTimeRequest()
  return 1
end
function OnStartGame() end
function OnSceneEnd(scene) return 0 end
function OnReturnToPreQueue() end
function MakeCheckState(holder) return 'normal' end
function GetRealTaskName(task) return task end
function GetTaskBaseTime(task) return 100 end
quarrels = 0
function quarrelBeginTask(r) quarrels = quarrels + 1 return 1 end
function quarrelTaskTimer(n) return 1 end
function quarrelEndTask(r) return 0 end
function podiumBeginTask(r) return 1 end
function podiumTaskTimer(n) return 1 end
function podiumEndTask(r) CPP_AddFlyScore(20, 1) return 0 end
)";

// The judges ask for the next girl every "check_enter_delay" ticks while it is above 0.
const char kStand[] = R"(
check_enter_delay = 0
waited = 0
function Tick(n)
  if check_enter_delay > 0 then
    waited = waited + 1
    if waited >= check_enter_delay then waited = 0 CPP_EnterDelayRequest() end
  end
  return 1
end
)";

// The door checks for a tussle at each tick while one is possible, and sends the queue in.
const char kDoor[] = R"(
possible = 0
ran = ''
function Tick(n) if possible == 1 then CPP_CheckTussle(n) end return 1 end
function SetPossibilityTussle(p) possible = p end
function SetTickTussle(t) ran = ran .. 'tussle in ' .. t .. ';' end
function OnFirstGirlInQueue() ran = ran .. 'first girl;' end
function OnBeginSceneQueue() ran = ran .. 'queue goes in;' CPP_OnBeginGoToScene() end
function OnEndSceneQueue() ran = ran .. 'queue done;' end
)";

// The heroine waits at the door until the door lets her go.
const char kHeroine[] = R"(
wait_task_exit = 0
function waitBeginTask(r) wait_task_exit = 0 CPP_OnJudgingQueueChange() return 1 end
function waitTaskTimer(n) if wait_task_exit == 1 then return 0 end return 1 end
function waitEndTask(r) return 0 end
)";

const char kScenes[] = R"(
function Go() return 1 end
function CalcTussleDelayTime(poise, mode)
  if mode == 0 then return 300 end
  return 1000000
end
function GetJudgesAnimationState(points) return 'happy' end
function GetJudgesAnimationScore(points) return 3 end
function GetStudentAnimationState(points) return 'smile' end
function Judged() CPP_OnEndJudging() return 1 end
scenes = {
  judging_a = { class_name = 'GQueueLogicalScene' },
  tussle = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'Go',
    objects = { { class_type = 'GStudent' }, { class_type = 'GStudent' },
                { class_type = 'GJudgingQueue' }, { class_type = 'GJudgingQueue' } },
    stages = { { tasks = { 'quarrel', 'quarrel' } } } },
  judging_scene_door = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'Go',
    objects = { { class_type = 'GJudgingSceneDoor' }, { class_type = 'GMainHeroine' } },
    stages = { { tasks = { '', 'wait' } } } },
  judging_scene = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'Go',
    objects = { { class_type = 'GStudent' }, { class_type = 'GJudgingScene', block_on_begin = 1 } },
    stages = { { OnEnd = 'Judged', tasks = { 'podium', '' } } } },
}
)";

class JudgingPlayTest : public TLevelHarness {
protected:
    void SetUp() override {
        TLevelHarness::SetUp();
        mGame.Write("assets/scripts/stages/stages.lua", kStage);
        mGame.Write("assets/scripts/stages/scenes.lua", kScenes);
        mGame.Write("assets/scripts/stages/game_datas.lua", "Upgrades = { powers = {} }\n");
        mGame.Write("assets/scripts/girl.lua", kGirl);
        mGame.Write("assets/scripts/stand.lua", kStand);
        mGame.Write("assets/scripts/door.lua", kDoor);
        mGame.Write("assets/scripts/heroine.lua", kHeroine);
    }
};

TEST_F(JudgingPlayTest, TwoGirlsQuarrelAtTheDoorAndAreJudgedInARow) {
    RunGame(
        [this](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "game");
            GLogicalManager& manager = LogicalManager();
            StartLevel();
            ASSERT_TRUE(RunFor(300, 30));
            ASSERT_EQ(GameState(), 2);
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
