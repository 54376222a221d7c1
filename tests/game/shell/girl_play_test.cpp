// A fixture level played on the game harness from scripted input: two girls appear in the
// preparation queues, one is dragged onto a seat for her make-up, clicked there and touched up by
// the heroine meanwhile, and asks for her next station when the make-up is over; the scenes come
// and go in order and the score is what her scene gave.

#include "game/world/GBaseLogicalScene.h"
#include "game/world/GLevel.h"
#include "game/world/GStudent.h"
#include "tests/game/shell/judging_play_fixture.h"

#include <gmock/gmock.h>

#include <string>

namespace girl_play_test {

using namespace game_harness;

// Anna and Bella wait for their first appearance, two queues (the lower one first), the seat of
// the make-up and the heroine; touch-ups are on sale from level 1.
const char kStage[] = R"(
LevelData = {
  LevelBaseTypes = { base_type_extension = true, girl = { base_request_time = 200, base_poise = 10 } },
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    anna = { included = true, life_cycle = { 'makeup', 'hair' }, first_appearance_time = 100 },
    bella = { included = true, life_cycle = { 'hair' }, first_appearance_time = 300 },
    queue1 = { included = true, pos_x = 100, pos_y = 300 },
    queue2 = { included = true, pos_x = 100, pos_y = 400 },
    seat = { included = true, pos_x = 400, pos_y = 300 },
    heroine = { included = true, pos_x = 600, pos_y = 100, touchup_time = 300, touchup_poise = 5 },
  },
}
Objects = {
  types = {
    girl = { class_name = 'GStudent', base_type = 'girl', script_name = 'scripts/girl.lua',
             xml_anim = 'square', triggers = { delay = 100, { func_name = 'GirlTick' } },
             scenes = { 'makeup', 'hair' }, tasks = { makeup = { tick_count = 6, delay = 100 } } },
    queue = { class_name = 'GPreparationQueue', base_type = 'queue', xml_anim = 'square' },
    seat = { class_name = 'GSeat', base_type = 'seat', xml_anim = 'square', scenes = { 'makeup' } },
    heroine = { class_name = 'GMainHeroine', base_type = 'heroine', xml_anim = 'square',
                script_name = 'scripts/heroine.lua',
                tasks = { touchup = { tick_count = 3, delay = 100 } } },
  },
  data = { anna = { name = 'anna', base_type = 'girl' }, bella = { name = 'bella', base_type = 'girl' },
           queue1 = { name = 'queue1', base_type = 'queue' },
           queue2 = { name = 'queue2', base_type = 'queue' },
           seat = { name = 'seat', base_type = 'seat' },
           heroine = { name = 'heroine', base_type = 'heroine' } },
  level_types = { level = {} },
}
function LevelTimerFunc(tick) end
)";

// Her ticks: she appears, then asks for her stations. Once her make-up begins the heroine may
// touch her up; the make-up earns 10. The seat times her make-up by its base time, 600 ms.
const char kGirl[] = R"(
function GirlTick(tick)
  if CPP_CheckTimeAppearence() ~= 0 then CPP_CheckTimeRequest() end
  return 1
end
function OnStartGame() end
function OnSceneEnd(scene)
  if scene == 'makeup' then return 10 end
  return 0
end
function MakeCheckState(holder) return 'normal' end
poise = 0
function AddPoise(n) poise = poise + n end
function GetRealTaskName(task) return task end
function GetTaskBaseTime(task) return 600 end
function makeupBeginTask(r) CPP_SetCanTouchUp(1) return 1 end
function makeupTaskTimer(n) return 1 end
function makeupEndTask(r) return 0 end
)";

const char kHeroine[] = R"(
function touchupBeginTask(r) return 1 end
function touchupTaskTimer(n) return 1 end
function touchupEndTask(r) return 0 end
)";

// Every scene notes its creation and its end in the journal.
const char kScenes[] = R"(
function MakeupCreate() Note('makeup created') return 1 end
function MakeupEnd() Note('makeup ended') end
function TouchCreate() Note('make_touchup created') return 1 end
function Touch() CPP_TouchUp(0) return 1 end
function TouchEnd() CPP_ModifyCheck(0, -1) Note('make_touchup ended') end
scenes = {
  makeup = { class_name = 'GLogicalScene', OnCreate = 'MakeupCreate', OnEnd = 'MakeupEnd',
             objects = { { class_type = 'GStudent' }, { class_type = 'GSeat' } },
             stages = { { tasks = { 'makeup' } } } },
  make_touchup = { class_name = 'GTouchUpScene', OnCreate = 'TouchCreate', OnEnd = 'TouchEnd',
                   objects = { { class_type = 'GStudent' }, { class_type = 'GMainHeroine' } },
                   stages = { { OnBegin = 'Touch', tasks = { '', 'touchup' } } } },
}
)";

// The judging level's fixture with this level's stage, scenes and scripts written over its own.
class GirlPlayTest : public judging_play::TJudgingPlayTest {
protected:
    void SetUp() override {
        TJudgingPlayTest::SetUp();
        mGame.Write("assets/scripts/stages/stages.lua", kStage);
        mGame.Write("assets/scripts/stages/scenes.lua", kScenes);
        WriteGameData(
            "Upgrades = { powers = {}, objects = { { name = 'touchup', { level = 1 } } } }\n");
        mGame.Write("assets/scripts/girl.lua", kGirl);
        mGame.Write("assets/scripts/heroine.lua", kHeroine);
    }

    static GStudent* Girl(const char* name) {
        for (GGameObject* object : Level()->GetObjects()) {
            if (object->GetName() == str(name)) {
                return dynamic_cast<GStudent*>(object);
            }
        }
        return nullptr;
    }
};

TEST_F(GirlPlayTest, TwoGirlsAppearOneIsMadeUpTouchedUpAndAsksForHerNextStation) {
    RunGame(
        [this](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "game");
            ASSERT_NO_FATAL_FAILURE(StartLevel());
            GLogicalManager& manager = LogicalManager();
            // The scene hooks write to the journal too.
            LuaPublish(manager.GetSceneScript()->GetState(), "Note", &Note);
            GStudent* anna = Girl("anna");
            GStudent* bella = Girl("bella");
            ASSERT_NE(anna, nullptr);
            ASSERT_NE(bella, nullptr);
            Take();

            // Anna appears in the first queue (the lower one, at (100, 400)) and asks for her
            // make-up; Bella follows into the other.
            ASSERT_TRUE(RunFor(400));
            EXPECT_TRUE(anna->HasAppeared());
            EXPECT_TRUE(bella->HasAppeared());
            EXPECT_EQ(Text(anna->GetHolder()->GetName()), "queue2");
            EXPECT_EQ(Text(bella->GetHolder()->GetName()), "queue1");
            EXPECT_EQ(anna->GetScenes(), std::vector<str>{"makeup"});
            EXPECT_EQ(bella->GetScenes(), std::vector<str>{"hair"});

            // Dragged from her queue onto the seat; the make-up begins.
            ASSERT_TRUE(Play(Drag(10, 120, 420, 420, 320)));
            EXPECT_THAT(Take(), testing::ElementsAre("makeup created"));
            EXPECT_EQ(Text(anna->GetHolder()->GetName()), "seat");
            EXPECT_EQ(anna->GetTouchUpAllowed(), 1);

            // Clicked on the seat, the heroine touches her up for 300 ms while the make-up goes
            // on.
            ASSERT_TRUE(Play("at 10: move 415 315\nat 20: down 415 315\nat 40: up 415 315\n"));
            EXPECT_THAT(Take(), testing::ElementsAre("make_touchup created"));
            EXPECT_EQ(anna->GetCheckCounter(), 1);
            EXPECT_EQ(anna->GetScript().GetGlobalNumber("poise"), 5.0)
                << "the heroine's touch-up poise";
            ASSERT_TRUE(RunFor(350));
            EXPECT_THAT(Take(), testing::ElementsAre("make_touchup ended"));
            EXPECT_EQ(anna->GetCheckCounter(), 0);
            EXPECT_EQ(Level()->GetScore(), 0);

            // The make-up is over: 10 points; her next station 200 ms later.
            ASSERT_TRUE(RunFor(300));
            EXPECT_THAT(Take(), testing::ElementsAre("makeup ended"));
            EXPECT_TRUE(manager.GetLiveScenes().empty());
            EXPECT_EQ(Level()->GetScore(), 10);
            ASSERT_TRUE(RunFor(300));
            EXPECT_EQ(anna->GetScenes(), std::vector<str>{"hair"});
            EXPECT_EQ(bella->GetScenes(), std::vector<str>{"hair"});
        },
        {{"firstscreen", "scripts/game.lua"}});
}

} // namespace girl_play_test
