// Contestant girls on fixture levels: a stage with girls of one Lua type whose script notes what
// the game calls, a visual with the children and states the girl drives (desire icons, check mark,
// two digits, five poise hearts with their bursts), fake preparation queues, and hooks toward the
// shell that note the tutorial events and score pop-ups.
#pragma once

#include "game/visual/GVObject.h"
#include "game/visual/GVStates.h"
#include "game/world/GStateNameTable.h"
#include "game/world/GStudent.h"
#include "tests/game/world/level_fixture.h"

#include <string>
#include <vector>

namespace world_test {

// A waiting place as the manager files one: it takes a girl and holds her.
class TFixtureQueue : public GGameObject {
public:
    const char* GetClassName() const override { return "GPreparationQueue"; }
    int TakeObject(GGameObject* girl) override {
        mOccupant = girl;
        girl->SetHolder(this);
        return 1;
    }
    GGameObject* GetOccupant() override { return mOccupant; }
    int SetOccupant(GGameObject* girl) override {
        mOccupant = girl;
        return 1;
    }

    GGameObject* mOccupant = nullptr;
};

struct TGirlHooks final : GLogicalManagerHooks {
    std::vector<std::string> calls;
    // The game control's draw list the level builds visuals into; none unless a test draws.
    GVLayer* layer = nullptr;

    GVLayer* GetGameLayer() override { return layer; }

    void Note(const std::string& call) { calls.push_back(call); }
    static std::string Name(GGameObject* object) {
        return object != nullptr ? object->GetName().CStr() : "-";
    }
    void TutorialAppeared(GGameObject* girl) override { Note("appeared " + Name(girl)); }
    void TutorialWish(GGameObject* girl, const str& scene) override {
        Note("wish " + Name(girl) + " " + scene.CStr());
    }
    void TutorialGameEvent(GGameObject* object, const str& event) override {
        Note("event " + Name(object) + " " + event.CStr());
    }
    void TutorialTouchUp(GGameObject* personage) override { Note("touchup " + Name(personage)); }
    void TutorialDragEnd(GGameObject* object) override { Note("drag end " + Name(object)); }
    void TutorialClick(GGameObject* object) override { Note("click " + Name(object)); }
    void ForgetGirl(GGameObject* girl) override { Note("forget " + Name(girl)); }
    void FlyWhiteScoreText(const str& text, int x, int y, int direction) override {
        Note("white '" + std::string(text.CStr()) + "' " + std::to_string(x) + "," +
             std::to_string(y) + " " + std::to_string(direction));
    }
    void FlyScoreLabel(const str& description, int background, int x, int y, int points) override {
        Note("label '" + std::string(description.CStr()) + "' " + std::to_string(background) + " " +
             std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(points));
    }
};

// The girl's type script: every hook notes its call in `calls`.
inline const char kStudentScript[] = R"(
calls = ''
function note(s) calls = calls .. s .. ';' end
scores = {}
function OnStartGame() note('start') end
function OnAfterLoad() note('after_load ' .. (BaseType.scene_scores.makeup or '-')) end
function OnSceneEnd(scene) note('end ' .. scene) return scores[scene] or 0 end
function MakeCheckState(holder) return 'check_' .. holder end
function OnReturnToPreQueue() note('prequeue') end
function AddPoise(n) note('poise ' .. n) end
function TakePacifier(n) note('pacifier ' .. n) end
function ChangePoisePower(n) note('power ' .. n) end
function GetRealTaskName(task) return 'real_' .. task end
function GetTaskBaseTime(task) return 200 end
poiseTicks = 0
function PoiseTrigger(n) poiseTicks = poiseTicks + 1 return 1 end
)";

// Anna and Bella of type "girl"; the level's base-type extension gives the girl's base values.
inline const char kGirlStage[] = R"(
timer_delay = 1000
LevelData = {
  LevelBaseTypes = { base_type_extension = true,
    girl = { base_request_time = 300, base_poise = 10, base_start_poise = 40, base_stat_poise = 3,
             base_restore_poise = 2, base_makeup_time = 500, base_hairstyle_time = -1,
             base_judging_time = 700, scene_scores = { makeup = 10, hair = 20 } } },
  level = { goal = 60, expert = 120 },
  hall = { BaseType = 'types', BaseData = 'data',
    anna = { included = true, base_type = 'girl', pos_x = 100, pos_y = 200, cname = 'Anna',
             life_cycle = { 'makeup', 7, 'hair', { 'x' }, 'judging_a', 'judging_' },
             first_appearance_time = 250, appearance_time = -5 },
    bella = { included = true, base_type = 'girl', pos_x = 300, pos_y = 200,
              life_cycle = { 'hair' } },
  },
}
Objects = {
  types = { girl = { class_name = 'GStudent', base_type = 'girl', script_name = 'girl.lua',
                     xml_anim = 'girl', triggers = { delay = 100 }, delta_score_x = 5,
                     delta_score_y = -10, hair = 3, dress = 4, head = 2,
                     scenes = { 'makeup', 'hair', 'judging_a', 'seat_hair' },
                     tasks = { makeup = { tick_count = 10, delay = 10 },
                               hairstyle = { tick_count = 10, delay = 10 },
                               podium = { tick_count = 10, delay = 10 },
                               real_makeup = { tick_count = 4, delay = 5 } } } },
  data = { anna = { name = 'anna', base_type = 'girl' }, bella = { name = 'bella', base_type = 'girl' } },
}
function LevelTimerFunc(tick) end
)";

// An object of the girl's visual: one 4 x 4 frame and the named states.
inline std::string GirlPart(const std::string& id, const std::vector<std::string>& states,
                            const std::string& children = "", const std::string& attributes = "") {
    std::string text = "<obj id=\"" + id + "\" " + attributes +
                       "><framelist><frame w=\"4\" h=\"4\"/></framelist><states>";
    for (const std::string& state : states) {
        text += "<state id=\"" + state + "\" framelist=\"0\"/>";
    }
    text += "</states>";
    if (!children.empty()) {
        text += "<objects>" + children + "</objects>";
    }
    return text + "</obj>";
}

inline std::string GirlXml() {
    std::vector<std::string> digits = {"hide_number"};
    for (int i = 0; i <= 9; ++i) {
        digits.push_back("value_" + std::to_string(i));
    }
    std::string children =
        GirlPart("check_obj", {"check_on", "check_hide", "check_girl"},
                 GirlPart("check", {}, GirlPart("check1", {}, "", "deltaX=\"6\" deltaY=\"-20\""))) +
        GirlPart("number1", digits, "", "link=\"0\"") +
        GirlPart("number2", digits, "", "link=\"0\"") + GirlPart("plus", {"poise_plus"}) +
        GirlPart("hair", {"stay", "hair_stay_3", "hair_girl_invisible_3"}) +
        GirlPart("dress", {"dress_stay_4"}) + GirlPart("acc", {"accesories_0"});
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::to_string(i);
        children += GirlPart("heart" + n,
                             {"poise_" + n + "_0", "poise_" + n + "_1_l", "poise_" + n + "_1_l_b",
                              "poise_" + n + "_2", "poise_" + n + "_2_l", "poise_" + n + "_2_l_b"});
        children += GirlPart("burst" + n, {"poise_" + n + "_0_expl"});
    }
    return "<main id=\"girl\"><images><img name=\"g.png\"/></images><framelist>"
           "<frame w=\"4\" h=\"4\"/></framelist><states><state id=\"desire_hide\" "
           "framelist=\"0\"/><state id=\"makeup_icon\" framelist=\"0\"/><state id=\"hair_icon\" "
           "framelist=\"0\"/><state id=\"stay\" framelist=\"0\"/></states><objects>" +
           children + "</objects></main>";
}

class TGirlTest : public TLevelTest {
protected:
    void SetUp() override {
        TLevelTest::SetUp();
        GLogicalManager::Instance().SetHooks(&mGirlHooks);
        WriteFile("girl.lua", kStudentScript);
        ServeImage("g.png", 8);
        ServeXml("girl", GirlXml());
    }

    // The level of the stage started; the girls by name.
    bool StartGirls(const std::string& stage = kGirlStage) {
        WriteStage(stage);
        return Start(1);
    }
    // The girl on the fixture stage, placed; Playing also starts her game. Null when the level
    // did not start.
    GStudent* Placed(const char* name) { return StartGirls() ? Girl(name) : nullptr; }
    GStudent* Playing(const char* name) {
        GStudent* girl = Placed(name);
        if (girl != nullptr) {
            girl->StartGame();
        }
        return girl;
    }
    // Anna on the stage with one text of it replaced; null when the level did not start.
    GStudent* StartAnnaWith(const std::string& from, const std::string& to) {
        std::string stage = kGirlStage;
        stage.replace(stage.find(from), from.size(), to);
        return StartGirls(stage) ? Girl("anna") : nullptr;
    }
    GStudent* Girl(const char* name) const {
        if (Level() == nullptr) {
            return nullptr;
        }
        for (GGameObject* object : Level()->GetObjects()) {
            if (object->GetName() == str(name)) {
                return dynamic_cast<GStudent*>(object);
            }
        }
        return nullptr;
    }
    static std::string Log(GStudent* girl) { return Text(girl, "calls"); }
    static GVObject* Part(GStudent* girl, const char* id) {
        return girl->GetVisual() != nullptr ? girl->GetVisual()->GetChild(id) : nullptr;
    }
    // The state the part shows now, by name ("" for none).
    static std::string Shown(GVObject* part) {
        return part != nullptr ? GStateNameTable::Instance().Decode(part->GetStateKey()).CStr()
                               : "(no part)";
    }
    // The state queued behind the current one.
    static std::string Queued(GVObject* part) {
        if (part == nullptr || part->GetStates() == nullptr) {
            return "(no states)";
        }
        return GStateNameTable::Instance().Decode(part->GetStates()->mPendingKey).CStr();
    }

    TGirlHooks mGirlHooks;
};

} // namespace world_test
