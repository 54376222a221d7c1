// A running level with the judging objects: a row of judging places, the judging scene with its
// judges and, when asked, the door, all made by the object factory from Lua tables and owned by
// the level; contestant girls of a fixture type that wait for the judging scene they are given.
// The girls show their combo number on two children of their visual, which the fixture reads
// back. A scene file defines the queue scenes "judging_a", "judging_b" and "judging_" (which
// place a girl in the row and name the judging she waits for), "judging_scene", "tussle" and
// "judging_scene_door".
#pragma once

#include "game/visual/GVObject.h"
#include "game/world/GJudgingQueue.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GStudent.h"
#include "tests/game/world/level_fixture.h"

#include <memory>
#include <string>
#include <vector>

namespace world_test {

// Every number the digit children show, and the rest of the states the judging objects use.
inline std::string DigitStates(const char* prefix) {
    std::string states;
    for (int d = 0; d <= 9; ++d) {
        states += "<state id=\"" + std::string(prefix) + std::to_string(d) + "\" framelist=\"0\"/>";
    }
    return states;
}

inline const char kJudgingScenes[] = R"(
log = ''
function note(s) log = log .. s .. ';' end
function Go() return 1 end
function Placed() note('placed') return 1 end
function DoorBegin() note('door') return 1 end
tussleDelay = 0
function CalcTussleDelayTime(poise, mode)
  note('delay ' .. poise .. ' ' .. mode)
  return tussleDelay
end
judges = 'happy'
function GetJudgesAnimationState(points) note('state ' .. points) return judges end
cards = { 3, 5, 7 }
card = 0
function GetJudgesAnimationScore(points) card = card + 1 return cards[card] end
function GetStudentAnimationState(points) return 'smile' end
scenes = {
  judging_a = { class_name = 'GQueueLogicalScene', OnBegin = 'Placed' },
  judging_b = { class_name = 'GQueueLogicalScene', OnBegin = 'Placed' },
  judging_ = { class_name = 'GQueueLogicalScene', OnBegin = 'Placed' },
  judging_scene_door = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'DoorBegin',
                         objects = { { class_type = 'GJudgingSceneDoor' },
                                     { class_type = 'GMainHeroine' } },
                         stages = { { tasks = { '', 'work' } } } },
  judging_scene = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'Go',
                    objects = { { class_type = 'GStudent' }, { class_type = 'GJudgingScene' } },
                    stages = { { tasks = { 'work' } } } },
  tussle = { class_name = 'GLogicalScene', OnCreate = 'Go', OnBegin = 'Go',
             objects = { { class_type = 'GStudent' }, { class_type = 'GStudent' },
                         { class_type = 'GJudgingQueue' }, { class_type = 'GJudgingQueue' } },
             stages = { { tasks = { 'work', 'work' } } } },
}
)";

// A girl's type script: what the girl and the judging calls ask of it.
inline const char kGirlScript[] = "current_poise = 500\n"
                                  "function OnStartGame() end\n"
                                  "function OnSceneEnd(scene) return 0 end\n"
                                  "function OnReturnToPreQueue() end\n"
                                  "function workBeginTask(r) return 1 end\n"
                                  "function workTaskTimer(n) return 1 end\n"
                                  "function workEndTask(r) return 0 end\n";

class TJudgingTest : public TLevelTest {
protected:
    void SetUp() override {
        TLevelTest::SetUp();
        ServeImage("square.png", 40);
        const std::string square = "<images><img name=\"square.png\"/></images><framelist>"
                                   "<frame w=\"40\" h=\"40\"/></framelist>";
        ServeXml("place", "<main id=\"place\">" + square +
                              "<states><state id=\"normal\" framelist=\"0\"/></states></main>");
        ServeXml("judges", "<main id=\"judges\">" + square +
                               "<states><state id=\"normal\" framelist=\"0\"/>"
                               "<state id=\"judges_idle\" framelist=\"0\"/>"
                               "<state id=\"invisible\" framelist=\"0\"/>"
                               "<state id=\"judges_happy\" framelist=\"0\"/>" +
                               DigitStates("judges_1_score_") + DigitStates("judges_2_score_") +
                               DigitStates("judges_3_score_") + "</states></main>");
        const std::string digit = "<states><state id=\"hide_number\" framelist=\"0\"/>" +
                                  DigitStates("value_") + "</states>";
        ServeXml("door", "<main id=\"door\">" + square +
                             "<states><state id=\"normal\" framelist=\"0\"/>"
                             "<state id=\"close\" framelist=\"0\"/></states><objects>"
                             "<obj id=\"number1\">" +
                             square + digit + "</obj><obj id=\"number2\">" + square + digit +
                             "</obj></objects></main>");
        const std::string units = "<states><state id=\"hide_number\" framelist=\"0\"/>" +
                                  DigitStates("value1_") + "</states>";
        const std::string tens = "<states><state id=\"hide_number\" framelist=\"0\"/>"
                                 "<state id=\"value2_hide\" framelist=\"0\"/>" +
                                 DigitStates("value2_") + "</states>";
        ServeXml("girl", "<main id=\"girl\">" + square + "<objects><obj id=\"units\">" + square +
                             units + "</obj><obj id=\"tens\">" + square + tens +
                             "</obj></objects></main>");
        Main("shown = ''\n"
             "function ShowLastEvent(e) shown = shown .. 'show ' .. e .. ';' end\n"
             "function HideLastEvent() shown = shown .. 'hide;' end\n");
        ServeXml("heroine", "<main id=\"heroine\">" + square +
                                "<states><state id=\"normal\" framelist=\"0\"/>"
                                "<state id=\"bless\" framelist=\"0\"/>"
                                "<state id=\"last_bless\" framelist=\"0\"/></states></main>");
        WriteFile("scripts/girl.lua", kGirlScript);
        WriteFile("scripts/stages/scenes.lua", kJudgingScenes);
        WriteStage("LevelData = {} Objects = {} function LevelTimerFunc() end");
        ASSERT_TRUE(Start(1));
        Manager().LoadScenes("scripts/stages/scenes.lua");
    }

    void TearDown() override {
        Manager().DeleteLiveScenes();
        GObjectFactory::Instance().Clear(false, true);
        TLevelTest::TearDown();
    }

    static GLogicalManager& Manager() { return GLogicalManager::Instance(); }

    // The factory's object from the tables, placed and handed to the level; null when refused.
    GGameObject* Add(const std::string& name, const std::string& type, const std::string& object,
                     const std::string& extra = "") {
        std::unique_ptr<TLuaTable> typeTable = Table(type);
        std::unique_ptr<TLuaTable> objectTable = Table(object);
        std::unique_ptr<GGameObject> made(GObjectFactory::Instance().CreateObject(
            name.c_str(), typeTable.get(), objectTable.get()));
        if (made == nullptr ||
            !made->InitInLevel(objectTable.get(), nullptr, extra.c_str(), Level())) {
            return nullptr;
        }
        GGameObject* placed = made.release();
        Level()->AddObject(placed);
        return placed;
    }

    static std::string At(const std::string& name, int x, int y) {
        return "{ name = '" + name + "', pos_x = " + std::to_string(x) +
               ", pos_y = " + std::to_string(y) + " }";
    }

    // A judging place at x; the row is sorted as play begins (BeginPlay).
    GJudgingQueue* AddPlace(const std::string& name, int x) {
        return dynamic_cast<GJudgingQueue*>(
            Add(name,
                "{ class_name = 'GJudgingQueue', xml_anim = 'place', "
                "scenes = { 'judging_a', 'judging_b', 'judging_' }, "
                "point_landing = { x = 5, y = -10, z = 1 }, point_approach = { x = 0, y = 30 } }",
                At(name, x, 400)));
    }
    // The places named p0, p1, ... from left to right in the row (largest x first).
    std::vector<GJudgingQueue*> AddRow(int count) {
        std::vector<GJudgingQueue*> row;
        for (int i = 0; i < count; ++i) {
            row.push_back(AddPlace("p" + std::to_string(i), 700 - 100 * i));
        }
        return row;
    }

    GJudgingScene* AddJudgingScene(const std::string& comboScores = "{ 5, 10 }",
                                   const std::string& extra = "") {
        return dynamic_cast<GJudgingScene*>(
            Add("stand",
                "{ class_name = 'GJudgingScene', xml_anim = 'place', xml_judges = 'judges', "
                "enter_scene_delay = 1500, score_combo = " +
                    comboScores +
                    ", judges_delta = { x = 30, y = -20 }, point_landing = { x = 0, y = 10 } }",
                At("stand", 400, 200), extra));
    }

    // The door script notes what the door runs in it.
    GJudgingSceneDoor* AddDoor(const std::string& triggers = "") {
        return dynamic_cast<GJudgingSceneDoor*>(Add(
            "door",
            "{ class_name = 'GJudgingSceneDoor', xml_anim = 'door', scenes = { "
            "'judging_scene_door', 'judging_a', 'judging_b' }, point_approach = { x = 1, y = 2 }" +
                triggers + " }",
            At("door", 100, 300),
            "ran = ''\n"
            "function OnFirstGirlInQueue() ran = ran .. 'first;' end\n"
            "function OnBeginSceneQueue() ran = ran .. 'begin;' end\n"
            "function OnEndSceneQueue() ran = ran .. 'end;' end\n"
            "function SetPossibilityTussle(n) ran = ran .. 'possible ' .. n .. ';' end\n"
            "function SetTickTussle(n) ran = ran .. 'tick ' .. n .. ';' end\n"));
    }

    // A girl whose first scene is the judging scene given, with her poise.
    GStudent* AddGirl(const std::string& name, const std::string& judging, int poise = 500) {
        auto* girl = dynamic_cast<GStudent*>(Add(
            name,
            "{ class_name = 'GStudent', base_type = 'singer', xml_anim = 'girl', "
            "script_name = 'scripts/girl.lua', scenes = { '" +
                judging + "' }, tasks = { work = { tick_count = 50, delay = 100 } } }",
            "{ name = '" + name + "', pos_x = 50, pos_y = 50, life_cycle = { '" + judging + "' } }",
            "current_poise = " + std::to_string(poise)));
        if (girl != nullptr) {
            girl->AddScene(judging.c_str(), false);
        }
        return girl;
    }

    // The heroine, whose visual shows her blessings.
    GGameObject* AddHeroine() {
        return Add("heroine",
                   "{ class_name = 'GMainHeroine', base_type = 'heroine', xml_anim = 'heroine', "
                   "tasks = { work = { tick_count = 50, delay = 100 } } }",
                   "{ name = 'heroine', pos_x = 10, pos_y = 10, speed = 4 }",
                   "wait_task_exit = 0\n"
                   "function workBeginTask(r) return 1 end\n"
                   "function workTaskTimer(n) return 1 end\n"
                   "function workEndTask(r) return 0 end\n");
    }

    // Lets n girls of the judging kind in one after the other, through the row's first place.
    void JudgeInARow(GJudgingScene* scene, int n, const std::string& judging) {
        GGameObject* place = Manager().GetFirstQueuePlace();
        for (int i = 0; i < n; ++i) {
            Seat(place, AddGirl("judged" + std::to_string(i), judging));
            scene->SetEnterRequests(1);
            scene->CPP_EnterDelayRequest();
            Manager().DeleteLiveScenes();
        }
    }

    // The girl waits on the place.
    static void Seat(GGameObject* place, GGameObject* girl) {
        ASSERT_EQ(place->TakeObject(girl), 1);
    }

    // Play begins: the row is sorted.
    void BeginPlay() {
        Level()->EndUpgradePhase();
        Level()->Begin();
    }

    // The number a girl shows: her units child's digit and her tens child's, 0 when hidden.
    static int Shown(GGameObject* girl) {
        const GVObject* units = girl->GetVisual()->GetChild("units");
        const GVObject* tens = girl->GetVisual()->GetChild("tens");
        int number = -1;
        for (int d = 0; d <= 9; ++d) {
            if (units->GetStateKey() == GStateKey::FromString(str::FromFormat("value1_%d", d))) {
                number = d;
            }
        }
        if (number < 0) {
            return 0;
        }
        for (int d = 0; d <= 9; ++d) {
            if (tens->GetStateKey() == GStateKey::FromString(str::FromFormat("value2_%d", d))) {
                number += 10 * d;
            }
        }
        return number;
    }

    // What the row holds, by the girls' names ("-" for an empty place), checking each holder.
    static std::vector<std::string> Row() {
        std::vector<std::string> names;
        for (GGameObject* place : Manager().GetJudgingPlaces()) {
            GGameObject* girl = place->GetOccupant();
            names.emplace_back(girl != nullptr ? girl->GetName().CStr() : "-");
            if (girl != nullptr) {
                EXPECT_EQ(girl->GetHolder(), place) << girl->GetName().CStr();
            }
        }
        return names;
    }

    static void RunInScenes(const std::string& text) {
        Manager().GetSceneScript()->DoLuaString(text.c_str());
    }

    // A fresh level of the same stage; the object prototypes go too.
    void Restart() {
        Manager().DeleteLiveScenes();
        mGameData.DestroyLevel();
        GObjectFactory::Instance().Clear(false, false);
        ASSERT_TRUE(Start(1));
    }

    static std::string SceneLog() {
        return Manager().GetSceneScript()->GetGlobalString("log").CStr();
    }
};

} // namespace world_test
