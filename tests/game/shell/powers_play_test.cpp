// A fixture level with the make-up power played on the game harness from scripted input to its
// end: the player seats a girl at the make-up chair, presses the make-up power's button, the
// heroine serves her in the power's own scene at the power's speed, and the girl then goes to the
// judges through the judging door; the level ends won with her served and both scores counted.

#include "game/world/GBaseLogicalScene.h"
#include "game/world/GLevel.h"
#include "game/world/GPersonage.h"
#include "tests/game/shell/judging_play_fixture.h"

#include <gmock/gmock.h>

namespace powers_play_test {

using namespace game_harness;
using namespace judging_play;

// The power's button over its disabled look, placed by the level on the grid's first place.
const char kPowerScreen[] = R"(SetWindowName('game')
MakeDialog({ GGameWnd({ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl({ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 }),
  GSceneCtrl({ name = 'scene_ctrl', x = 0, y = 0, w = 800, h = 600 }),
  Window({ name = 'makeup_power_dis', x = 0, y = 0, w = 40, h = 40 }),
  Button({ name = 'makeup_power', x = 0, y = 0, w = 40, h = 40,
           command = function() Note('pressed ' .. CPP_PressPowerButton('makeup_power')) end }) }) })
)";

// The judging level with amy alone, first asking for make-up at a chair; goal 30.
const std::string kPowerStage = std::string(kStage) + R"(
LevelData.level.goal = 30
LevelData.hall.bea = nil
LevelData.hall.far = nil
LevelData.hall.amy.life_cycle = { 'makeup', 'judging_a' }
LevelData.hall.chair = { included = true, pos_x = 300, pos_y = 300 }
LevelData.hall.heroine.speed = 80
Objects.types.amy.scenes = { 'makeup', 'makeup_power', 'judging_a' }
Objects.types.amy.tasks.makeup = { tick_count = 3, delay = 100 }
Objects.types.chair = { class_name = 'GSeat', xml_anim = 'square', scenes = { 'makeup' } }
Objects.types.heroine.tasks.help = { tick_count = 3, delay = 100 }
Objects.data.chair = { name = 'chair', base_type = 'chair' }
)";

// The make-up station waits for the heroine; the power's scene serves the girl with her.
const std::string kPowerScenes = std::string(kScenes) + R"(
scenes.makeup = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'Go',
  objects = { { class_type = 'GStudent' }, { class_type = 'GSeat' },
              { class_type = 'GMainHeroine' } },
  stages = { { tasks = { 'makeup', '', 'help' } } } }
scenes.makeup_power = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'Go',
  objects = { { class_type = 'GStudent' }, { class_type = 'GMainHeroine' },
              { class_type = 'GSeat' } },
  stages = { { tasks = { 'makeup', 'help', '' } } } }
)";

// The make-up power (the second) from level 1 on, the heroine at 250 while it serves; the first
// power comes later.
const char kPowerData[] = R"(
Upgrades = { powers = { energy_boost = { level = 9, index = 1, price = 0 },
                        makeup_power = { level = 1, index = 2, price = 0 } } }
function GetPowerData(power, parameter)
  if power == 'dialog_powers_data' and parameter == 'speed' then return 250 end
  return 0
end
function GetUpgradeDataParam() return 0 end
)";

// The girl's make-up task, worth 15 points at the end of the power's scene.
const char kMakeupGirl[] = R"(
function makeupBeginTask(r) return 1 end
function makeupTaskTimer(n) return 1 end
function makeupEndTask(r) return 0 end
function OnSceneEnd(scene) if scene == 'makeup_power' then return 15 end return 0 end
)";

const char kHelpingHeroine[] = R"(
function helpBeginTask(r) return 1 end
function helpTaskTimer(n) return 1 end
function helpEndTask(r) return 0 end
)";

class PowersPlayTest : public TJudgingPlayTest {
protected:
    void SetUp() override {
        TJudgingPlayTest::SetUp();
        mGame.Write("assets/scripts/mainloop.lua",
                    "power_begin_x = 740\npower_begin_y = 20\n" + MainLoop());
        mGame.Write("assets/scripts/game.lua", kPowerScreen);
        mGame.Write("assets/scripts/stages/stages.lua", kPowerStage);
        mGame.Write("assets/scripts/stages/scenes.lua", kPowerScenes);
        WriteGameData(kPowerData);
        mGame.Write("assets/scripts/girl.lua", std::string(kGirl) + kMakeupGirl);
        mGame.Write("assets/scripts/heroine.lua", std::string(kHeroine) + kHelpingHeroine);
    }

    static std::vector<std::string> Scenes() {
        std::vector<std::string> names;
        for (GBaseLogicalScene* scene : LogicalManager().GetLiveScenes()) {
            names.emplace_back(Text(scene->GetName()));
        }
        return names;
    }
    static int HeroineSpeed() {
        auto* heroine = dynamic_cast<GPersonage*>(LogicalManager().GetHeroine());
        return heroine != nullptr ? heroine->ReadSpeed() : -2;
    }
};

TEST_F(PowersPlayTest, MakeupPowerServesTheSeatedGirlWhoIsThenJudged) {
    RunGame(
        [this](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "game");
            ASSERT_NO_FATAL_FAILURE(StartLevel());
            GLogicalManager& manager = LogicalManager();
            ASSERT_NE(manager.GetHeroine(), nullptr);
            EXPECT_EQ(HeroineSpeed(), 80);
            Take();

            // Amy asks for make-up; the player seats her at the chair, where she waits for the
            // heroine.
            ASSERT_TRUE(Play(Drag(10, 120, 120, 320, 320)));
            EXPECT_EQ(Scenes(), (std::vector<std::string>{"makeup"}));
            GGameObject* amy = manager.GetLiveScenes().front()->GetObject(0);
            ASSERT_NE(amy, nullptr);
            EXPECT_EQ(Text(amy->GetName()), "amy");

            // The power's button: the heroine serves her at once, faster.
            ASSERT_TRUE(Play("at 10: move 760 40\nat 30: down 760 40\nat 50: up 760 40\n"));
            EXPECT_THAT(Take(), testing::Contains("pressed 1"));
            EXPECT_EQ(manager.GetPowerInUse(), 2);
            EXPECT_EQ(Scenes(), (std::vector<std::string>{"makeup_power"}));
            EXPECT_EQ(HeroineSpeed(), 250);
            ASSERT_TRUE(RunFor(600));
            EXPECT_TRUE(Scenes().empty());
            EXPECT_EQ(manager.GetPowerInUse(), 0);
            EXPECT_TRUE(manager.GetPowerRecords().empty());
            EXPECT_EQ(HeroineSpeed(), 80);
            ASSERT_NE(Level(), nullptr);
            EXPECT_EQ(Level()->GetScore(), 15);

            // Then the judges: to the place, the door clicked, judged and served.
            ASSERT_TRUE(RunFor(300));
            ASSERT_TRUE(Play(Drag(10, 320, 320, 520, 320)));
            ASSERT_EQ(manager.GetJudgingPlaces()[0]->GetOccupant(), amy);
            ASSERT_TRUE(Play("at 10: move 660 310\nat 30: down 660 310\nat 50: up 660 310\n"));
            ASSERT_TRUE(RunFor(3000));
            GLevel* level = Level();
            ASSERT_NE(level, nullptr);
            EXPECT_EQ(level->GetGirlsServed(), 1);
            EXPECT_EQ(level->GetGirlsLost(), 0);
            EXPECT_EQ(level->GetScore(), 35);
            EXPECT_EQ(level->GetResult(), 2);
            EXPECT_EQ(GameState(), 4);
            EXPECT_THAT(Take(), testing::Contains("DoModal scripts/level_stats.lua"));
        },
        {{"firstscreen", "scripts/game.lua"}});
}

} // namespace powers_play_test
