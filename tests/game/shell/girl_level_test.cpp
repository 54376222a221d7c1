// A fixture level played through the game window with the mouse on the fake clock: two girls
// appear in the preparation queues, one is dragged onto a seat for her make-up, clicked there,
// touched up by the heroine, and asks for her next station when the make-up is over; the scenes
// come and go in order and the score is what her scene gave.
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GMainHeroine.h"
#include "game/world/GSeat.h"
#include "game/world/GStudent.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <gtest/gtest.h>

namespace gamewnd_test {
namespace {

const char kGirlLevel[] = R"(
timer_delay = 100
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
             xml_anim = 'girl', triggers = { delay = 100, { func_name = 'GirlTick' } },
             scenes = { 'makeup', 'hair' }, tasks = { makeup = { tick_count = 6, delay = 100 } } },
    queue = { class_name = 'GPreparationQueue', base_type = 'queue', xml_anim = 'spot' },
    seat = { class_name = 'GSeat', base_type = 'seat', xml_anim = 'seat', scenes = { 'makeup' },
             point_landing = { x = 10, y = 10 } },
    heroine = { class_name = 'GMainHeroine', base_type = 'heroine', xml_anim = 'spot',
                tasks = { touchup = { tick_count = 3, delay = 100 } } },
  },
  data = { anna = { name = 'anna', base_type = 'girl' }, bella = { name = 'bella', base_type = 'girl' },
           queue1 = { name = 'queue1', base_type = 'queue' },
           queue2 = { name = 'queue2', base_type = 'queue' },
           seat = { name = 'seat', base_type = 'seat' },
           heroine = { name = 'heroine', base_type = 'heroine' } },
}
function LevelTimerFunc(tick) end
)";

// Her ticks: she appears, then asks for her stations. Once her make-up begins the heroine may
// touch her up; the make-up earns 10. The seat times her make-up by its base time, 600 ms.
const char kGirlScript[] = R"(
function GirlTick(tick)
  if CPP_CheckTimeAppearence() ~= 0 then CPP_CheckTimeRequest() end
  return 1
end
function OnStartGame() end
function OnSceneEnd(scene)
  if scene == 'makeup' then return 10 end
  return 0
end
function MakeCheckState(holder) return 'check_on' end
poise = 0
function AddPoise(n) poise = poise + n end
function GetRealTaskName(task) return task end
function GetTaskBaseTime(task) return 600 end
function makeupBeginTask(r) CPP_SetCanTouchUp(1) return 1 end
function makeupTaskTimer(n) return 1 end
function makeupEndTask(r) return 0 end
)";

const char kHeroineScript[] = R"(
function touchupBeginTask(r) return 1 end
function touchupTaskTimer(n) return 1 end
function touchupEndTask(r) return 0 end
)";

// Every scene notes its creation and its end in "scenes".
const char kGirlScenes[] = R"(
scenes_log = ''
function note(s) scenes_log = scenes_log .. s .. ';' end
function MakeupCreate() note('makeup created') return 1 end
function MakeupEnd() note('makeup ended') end
function TouchCreate() note('make_touchup created') return 1 end
function Touch() CPP_TouchUp(0) return 1 end
function TouchEnd() CPP_ModifyCheck(0, -1) note('make_touchup ended') end
scenes = {
  makeup = { class_name = 'GLogicalScene', OnCreate = 'MakeupCreate', OnEnd = 'MakeupEnd',
             objects = { { class_type = 'GStudent' }, { class_type = 'GSeat' } },
             stages = { { tasks = { 'makeup' } } } },
  make_touchup = { class_name = 'GTouchUpScene', OnCreate = 'TouchCreate', OnEnd = 'TouchEnd',
                   objects = { { class_type = 'GStudent' }, { class_type = 'GMainHeroine' } },
                   stages = { { OnBegin = 'Touch', tasks = { '', 'touchup' } } } },
}
)";

class GirlLevelTest : public TGameWndTest {
protected:
    void SetUp() override {
        TGameWndTest::SetUp();
        const auto square = [this](const char* name, int size, uint32_t rgb) {
            AddFile(std::string("anim/") + name + ".png",
                    widget_test::PatternPng(size, size, [rgb](int, int) { return rgb; }));
            AddFile(std::string("xml/") + name + ".xml",
                    Bytes(std::string("<main id=\"") + name + "\"><images><img name=\"" + name +
                          ".png\"/></images><framelist><frame w=\"" + std::to_string(size) +
                          "\" h=\"" + std::to_string(size) +
                          "\"/></framelist><states><state id=\"normal\" framelist=\"0\"/>"
                          "</states></main>"));
        };
        square("girl", 40, 0xFF0000u);
        square("seat", 60, 0x0000FFu);
        square("spot", 10, 0x808080u);
        AddFile(GLevel::kStageFile, Bytes(kGirlLevel));
        AddFile("scripts/girl.lua", Bytes(kGirlScript));
        AddFile("scripts/stages/girl_scenes.lua", Bytes(kGirlScenes));
        AddFile(GGameData::kScriptFile,
                Bytes("Upgrades = { powers = {}, objects = { { name = 'touchup', { level = 1 } } } "
                      "}"));
    }

    static GLogicalManager& Manager() { return GLogicalManager::Instance(); }
    static GGameObject* Object(const char* name) {
        for (GGameObject* object : Level()->GetObjects()) {
            if (object->GetName() == str(name)) {
                return object;
            }
        }
        return nullptr;
    }
    static std::string SceneLog() {
        return Text(Manager().GetSceneScript()->GetGlobalString("scenes_log"));
    }
    // Ticks of the game screen until the time has passed.
    void Wait(int ms) {
        for (int passed = 0; passed < ms; passed += 10) {
            Tick(10);
        }
    }
    void Mouse(int32_t type, int x, int y) { Send(MakeEvent(type, x, y)); }
};

TEST_F(GirlLevelTest, TwoGirlsAppearOneIsMadeUpTouchedUpAndAsksForHerNextStation) {
    OpenScreen();
    Manager().LoadScenes("scripts/stages/girl_scenes.lua");
    Tick(30);
    if (Level()->GetLevelState() == 1) {
        Run("CPP_OnUpgradeModeFinished()");
    }
    ASSERT_EQ(Manager().GetGameState(), 2) << "playing";
    Object("heroine")->GetScript().DoLuaString(kHeroineScript);
    auto* anna = dynamic_cast<GStudent*>(Object("anna"));
    auto* bella = dynamic_cast<GStudent*>(Object("bella"));
    GGameObject* seat = Object("seat");
    ASSERT_NE(anna, nullptr);
    ASSERT_NE(bella, nullptr);
    ASSERT_NE(seat, nullptr);

    // Anna appears at her first tick past 100 ms in the first queue (the lowest on the screen,
    // at (100, 400)) and asks for her make-up; Bella follows into the other.
    Wait(400);
    EXPECT_TRUE(anna->HasAppeared());
    EXPECT_TRUE(bella->HasAppeared());
    EXPECT_EQ(anna->GetHolder(), Object("queue2"));
    EXPECT_EQ(bella->GetHolder(), Object("queue1"));
    EXPECT_EQ(anna->GetScenes(), std::vector<str>{"makeup"});
    EXPECT_EQ(bella->GetScenes(), std::vector<str>{"hair"});

    // Dragged from her queue onto the seat.
    DrawFrame();
    Mouse(kEventMouseMove, 120, 420);
    Mouse(kEventLeftDown, 120, 420);
    Mouse(kEventMouseMove, 200, 400);
    Mouse(kEventMouseMove, 420, 320);
    Mouse(kEventLeftUp, 420, 320);
    EXPECT_EQ(SceneLog(), "makeup created;");
    EXPECT_EQ(anna->GetHolder(), seat);

    EXPECT_EQ(anna->GetTouchUpAllowed(), 1) << "her make-up began";

    // Clicked on the seat, the heroine touches her up for 300 ms while the make-up goes on.
    Wait(50);
    DrawFrame();
    Mouse(kEventMouseMove, 425, 325);
    Mouse(kEventLeftDown, 425, 325);
    Mouse(kEventLeftUp, 425, 325);
    EXPECT_EQ(SceneLog(), "makeup created;make_touchup created;");
    EXPECT_EQ(anna->GetCheckCounter(), 1);
    EXPECT_EQ(anna->GetScript().GetGlobalNumber("poise"), 5.0) << "the heroine's touch-up poise";
    Wait(400);
    EXPECT_EQ(SceneLog(), "makeup created;make_touchup created;make_touchup ended;");
    EXPECT_EQ(anna->GetCheckCounter(), 0);
    EXPECT_EQ(Level()->GetScore(), 0);

    // The make-up's 600 ms are over: 10 points; her next station 200 ms later.
    Wait(300);
    EXPECT_EQ(SceneLog(), "makeup created;make_touchup created;make_touchup ended;makeup ended;");
    EXPECT_TRUE(Manager().GetLiveScenes().empty());
    EXPECT_EQ(Level()->GetScore(), 10);
    EXPECT_TRUE(anna->GetScenes().empty());
    Wait(300);
    EXPECT_EQ(anna->GetScenes(), std::vector<str>{"hair"});
    EXPECT_EQ(bella->GetScenes(), std::vector<str>{"hair"});
}

} // namespace
} // namespace gamewnd_test
