// A fixture level with a judging door on the game harness, played from scripted input: the game
// screen, a 40 x 40 square for every object, two girls asking for "judging_a", two judging places,
// the stand, the door and the heroine with their scripts, and the scenes that let girls quarrel,
// wait at the door and be judged. A test may write its own stage, scenes and scripts over these
// before it runs the game.
#pragma once

#include "tests/game/game_harness.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace judging_play {

using namespace game_harness;

// The harness's main script with the player's progress answered and the dialogs a level opens
// noted without opening, so that the game screen stays on top.
inline std::string MainLoop() {
    return LevelMainLoop(R"(
gLevelNum = 1
gStageNum = 0
function ShowLastEvent(e) Note("last event " .. e) end
function HideLastEvent() end
function LevelCompleted(level, score, expert) Note("completed " .. level .. " " .. score) end
)",
                         {"scripts/levelgoal.lua", "scripts/rule_window.lua",
                          "scripts/level_stats.lua", "scripts/level_award.lua",
                          "scripts/level_try_again.lua"});
}

inline const char kGameScreen[] = R"(SetWindowName('game')
MakeDialog({ GGameWnd({ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl({ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 }),
  GSceneCtrl({ name = 'scene_ctrl', x = 0, y = 0, w = 800, h = 600 }) }) })
)";

// Every object is a 40 x 40 frame of the demo's marks from its position.
inline const char kSquare[] = R"(<main id="square"><images><img name="marks.png"/></images>
<framelist><frame w="40" h="40"/></framelist><states><state id="normal" framelist="0"/></states>
</main>)";

// Two girls asking for "judging_a" (the first calmer), two places, the stand, the door and the
// heroine; goal 40, expert 100.
inline const char kStage[] = R"(
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
inline const char kGirl[] = R"(
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
inline const char kStand[] = R"(
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
inline const char kDoor[] = R"(
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
inline const char kHeroine[] = R"(
wait_task_exit = 0
function waitBeginTask(r) wait_task_exit = 0 CPP_OnJudgingQueueChange() return 1 end
function waitTaskTimer(n) if wait_task_exit == 1 then return 0 end return 1 end
function waitEndTask(r) return 0 end
)";

inline const char kScenes[] = R"(
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

inline std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TJudgingPlayTest : public game_harness::TGameHarness {
protected:
    // The game data after a function of no combo groups (a scene asks for its group when it
    // begins), which the text may define again.
    void WriteGameData(const std::string& text) {
        mGame.Write("assets/scripts/stages/game_datas.lua",
                    "function IsInComboList(name) return '' end\n" + text);
    }

    void SetUp() override {
        game_harness::TGameHarness::SetUp();
        mGame.Write("assets/scripts/mainloop.lua", MainLoop());
        mGame.Write("assets/scripts/game.lua", kGameScreen);
        mGame.Write("assets/xml/square.xml", kSquare);
        mGame.Write("assets/anim/marks.png",
                    ReadBytes(testing_fixtures::SourceDir() / "assets/anim/common/marks.png"));
        mGame.Write("assets/scripts/stages/stages.lua", kStage);
        mGame.Write("assets/scripts/stages/scenes.lua", kScenes);
        WriteGameData("Upgrades = { powers = {} }\n");
        mGame.Write("assets/scripts/girl.lua", kGirl);
        mGame.Write("assets/scripts/stand.lua", kStand);
        mGame.Write("assets/scripts/door.lua", kDoor);
        mGame.Write("assets/scripts/heroine.lua", kHeroine);
        DrawEachTurn(true);
    }

    // In the game: the manager takes the game data and the scene file, and level 1 is loaded and
    // played (no offers, so its show starts at once).
    static void StartLevel() {
        GLogicalManager& manager = LogicalManager();
        manager.SetGameData(GObjectFactory::Instance().GetGameData());
        manager.LoadScenes("scripts/stages/scenes.lua");
        Script()->DoLuaString("CPP_LoadLevel(1, 0)");
        ASSERT_TRUE(RunFor(300, 30));
        ASSERT_EQ(GameState(), 2);
    }

    // The girl at (x, y) dragged onto the place at (px, py), from `at` ms on.
    static std::string Drag(int at, int x, int y, int px, int py) {
        const auto line = [](int ms, const char* verb, int a, int b) {
            return "at " + std::to_string(ms) + ": " + verb + " " + std::to_string(a) + " " +
                   std::to_string(b) + "\n";
        };
        // Two moves: a girl hovered takes the press, and hover passes on in the objects' order.
        return line(at, "move", x, y) + line(at + 10, "move", x + 1, y) +
               line(at + 20, "down", x, y) + line(at + 40, "move", x + 10, y + 10) +
               line(at + 80, "move", px, py) + line(at + 120, "move", px + 1, py) +
               line(at + 160, "up", px + 1, py);
    }
};

} // namespace judging_play
