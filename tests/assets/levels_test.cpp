// The four demo levels as the game loads them on the demo folder: the objects each level places
// by class, its goal and expert score, the visuals a preload-only load caches, the preload
// sequence, a scene prototype for every scene the game and the girls ask for by name, every hook
// the scenes and objects name defined where it is called, and every label the content uses in
// the string table.

#include "engine/script/script.h"
#include "engine/system/windowsystemlink.h"
#include "game/visual/GVFactory.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GLevel.h"
#include "tests/game/game_harness.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace levels_test {
namespace {

using namespace game_harness;

constexpr int kLevelCount = 4;

// The text of a Lua string global that `code` computes in the script.
std::string Compute(TScript& script, const std::string& code, const char* global) {
    script.DoLuaString(str(code.c_str()));
    return Text(script.GetGlobalString(global));
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, separator)) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

class DemoLevelsTest : public TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        UseDemoAssets();
    }

    // The body runs in the first menu, once the loading screen loaded the game data and scenes.
    void RunInMenu(const std::function<void()>& body) {
        RunGame([&](TPlatform*, GGameMain&) {
            AddPlayer("Tester");
            ASSERT_TRUE(RunFor(800));
            ASSERT_EQ(Top(), "mainmenu");
            body();
        });
    }

    static GGameData& GameData() { return *GObjectFactory::Instance().GetGameData(); }

    // The words that `code` leaves in the string global in the stage script of each level.
    static std::vector<std::string> FromEachLevel(const std::string& code, const char* global) {
        std::vector<std::string> words;
        for (int level = 1; level <= kLevelCount; ++level) {
            EXPECT_TRUE(GameData().StartLevel(level, 0)) << level;
            if (Level() == nullptr) {
                break;
            }
            for (const std::string& word :
                 Split(Compute(Level()->GetScript(), code, global), ' ')) {
                words.push_back(word);
            }
            GameData().DestroyLevel();
        }
        return words;
    }

    static std::map<std::string, int> ClassCounts() {
        std::map<std::string, int> counts;
        for (GGameObject* object : Level()->GetObjects()) {
            ++counts[Text(object->GetClassName())];
        }
        return counts;
    }
};

// A fresh player on each level: the objects for sale are placed to be bought, the power meter
// (which the game never enables) is not.
TEST_F(DemoLevelsTest, EachLevelPlacesItsObjectsAndScores) {
    struct TCase {
        int level;
        int goal;
        int expert;
        std::map<std::string, int> classes;
    };
    const std::map<std::string, int> hall = {
        {"GInDoor", 1},      {"GPreparationQueue", 2}, {"GSeat", 1},
        {"GMainHeroine", 1}, {"GJudgingScene", 1},     {"GJudgingQueue", 2},
    };
    const auto with = [&](std::map<std::string, int> more) {
        std::map<std::string, int> all = hall;
        for (const auto& [name, count] : more) {
            all[name] += count;
        }
        return all;
    };
    const TCase cases[] = {
        {1, 50, 100, with({{"GStudent", 3}})},
        {2, 150, 300,
         with({{"GStudent", 5},
               {"GSeat", 1},
               {"GPersonage", 1},
               {"GStudentUpgrade", 1},
               {"GJudgingSceneDoor", 1},
               {"GPacifierContainer", 1},
               {"GPacifierObject", 3}})},
        {3, 250, 450,
         with({{"GStudent", 6},
               {"GSeat", 1},
               {"GPreparationQueue", 1},
               {"GJudgingQueue", 1},
               {"GJudgingSceneDoor", 1}})},
        {4, 120, 240, with({{"GStudent", 4}, {"GSeat", 1}, {"GJudgingSceneDoor", 1}})},
    };
    RunInMenu([&] {
        for (const TCase& c : cases) {
            ASSERT_TRUE(GameData().StartLevel(c.level, 0)) << c.level;
            ASSERT_NE(Level(), nullptr);
            EXPECT_EQ(ClassCounts(), c.classes) << "level " << c.level;
            EXPECT_EQ(Level()->GetGoal(), c.goal) << c.level;
            EXPECT_EQ(Level()->GetExpert(), c.expert) << c.level;
            EXPECT_EQ(Text(Level()->GetBackground()),
                      "backgrounds/level_0" + std::to_string(c.level) + ".png");
            GameData().DestroyLevel();
        }
    });
}

// After a preload-only load of a level every visual its real load uses is cached, so the real
// load opens no visual file; the preload sequence ends, and starts over after its end.
TEST_F(DemoLevelsTest, PreloadOnlyLoadCachesEveryVisualOfTheLevel) {
    RunInMenu([&] {
        GVFactory& visuals = GVFactory::Instance();
        for (int level = 1; level <= kLevelCount; ++level) {
            ASSERT_TRUE(GameData().StartLevel(level, 0));
            std::vector<std::string> paths = {"judges"};
            for (GGameObject* object : Level()->GetObjects()) {
                if (object->GetVisualPath().Length() > 0) {
                    paths.push_back(Text(object->GetVisualPath()));
                }
            }
            GameData().DestroyLevel();

            visuals.ClearCache();
            std::unique_ptr<GLevel> preload(GObjectFactory::Instance().CreateLevel(level, 0, true));
            ASSERT_NE(preload, nullptr) << level;
            for (const std::string& path : paths) {
                EXPECT_TRUE(visuals.IsCached(visuals.MakePathKey(str(path.c_str()), nullptr)))
                    << path << " on level " << level;
            }
            const std::string sequence = Compute(preload->GetScript(), R"(
local names, n, name = '', 0, nil
repeat
  name = GetPreloadingXml('visuals', 0)
  names = names .. name .. ' '
  n = n + 1
until name == '' or n > 100
preload_sequence = names .. '| ' .. GetPreloadingXml('visuals', 0)
)",
                                                 "preload_sequence");
            EXPECT_NE(sequence.find("  | cheerleader"), std::string::npos)
                << "the sequence ends with an empty name and starts over: " << sequence;
            EXPECT_LT(Split(sequence, ' ').size(), 100u);
        }
    });
}

// Every scene the game creates by name, and every station of every girl's life cycle, has a
// prototype; every hook a scene names, and the functions the game calls in the scene script,
// are functions there.
TEST_F(DemoLevelsTest, ScenesHavePrototypesAndTheirHooks) {
    RunInMenu([&] {
        std::vector<std::string> names = {
            "make_touchup", "judging_scene", "judging_scene_door", "tussle",        "take_power",
            "poise_power",  "makeup_power",  "hairstyle_power",    "take_pacifier", "assistant",
            "judging_a",    "judging_b",     "hairstyle",          "makeup"};
        const std::vector<std::string> cycles = FromEachLevel(R"(
life_cycles = ''
for name, placement in pairs(LevelData.hall) do
  if type(placement) == 'table' and placement.life_cycle then
    life_cycles = life_cycles .. table.concat(placement.life_cycle, ' ') .. ' '
  end
end
)",
                                                              "life_cycles");
        names.insert(names.end(), cycles.begin(), cycles.end());
        for (const std::string& name : names) {
            EXPECT_NE(GObjectFactory::Instance().FindScenePrototype(str(name.c_str())), nullptr)
                << name;
        }

        TScript* scenes = LogicalManager().GetSceneScript();
        ASSERT_NE(scenes, nullptr);
        const std::string missing = Compute(*scenes, R"(
missing_hooks = ''
local function need(name)
  if name and type(_G[name]) ~= 'function' then
    missing_hooks = missing_hooks .. name .. ' '
  end
end
for _, name in ipairs({ 'OnCalcPath', 'GetMinChoiceIndex', 'GetMaxChoiceIndex',
                        'CalcTussleDelayTime', 'GetJudgesAnimationState',
                        'GetJudgesAnimationScore', 'GetStudentAnimationState' }) do
  need(name)
end
for _, scene in pairs(scenes) do
  need(scene.OnCreate) need(scene.OnBegin) need(scene.OnEnd)
  for _, stage in ipairs(scene.stages or {}) do
    need(stage.OnBegin) need(stage.OnEnd)
  end
end
)",
                                            "missing_hooks");
        EXPECT_EQ(missing, "");
    });
}

// Each object script defines the hooks its class calls by name, the three of every task of its
// type and its triggers.
TEST_F(DemoLevelsTest, ObjectScriptsDefineEveryHookTheirObjectsCall) {
    const std::map<std::string, std::vector<std::string>> byClass = {
        {"GStudent",
         {"OnStartGame", "OnSceneEnd", "MakeCheckState", "GetRealTaskName", "GetTaskBaseTime",
          "TakePacifier", "AddPoise", "ChangePoisePower", "OnReturnToPreQueue", "OnAfterLoad",
          "PoiseTrigger"}},
        {"GJudgingSceneDoor",
         {"OnFirstGirlInQueue", "OnBeginSceneQueue", "OnEndSceneQueue", "SetPossibilityTussle",
          "SetTickTussle"}},
        {"GPersonage", {"LoadTouchupAction"}},
        {"GMarivellPowerMeter", {"powerSetProgress", "ResetPowerMeter"}},
    };
    RunInMenu([&] {
        ASSERT_TRUE(GameData().StartLevel(2, 0));
        const std::string types = Compute(Level()->GetScript(), R"(
script_hooks = ''
for _, t in pairs(Objects.types) do
  if t.script_name then
    local names = {}
    for task in pairs(t.tasks or {}) do
      table.insert(names, task .. 'BeginTask')
      table.insert(names, task .. 'TaskTimer')
      table.insert(names, task .. 'EndTask')
    end
    for _, trigger in ipairs(t.triggers or {}) do
      table.insert(names, trigger.func_name)
    end
    script_hooks = script_hooks .. t.script_name .. '|' .. t.class_name .. '|' ..
                   table.concat(names, ',') .. ';'
  end
end
)",
                                          "script_hooks");
        GameData().DestroyLevel();
        const std::vector<std::string> entries = Split(types, ';');
        EXPECT_GE(entries.size(), 10u) << types;
        for (const std::string& entry : entries) {
            const std::vector<std::string> fields = Split(entry, '|');
            ASSERT_GE(fields.size(), 2u) << entry;
            std::vector<std::string> names =
                fields.size() > 2 ? Split(fields[2], ',') : std::vector<std::string>{};
            const auto known = byClass.find(fields[1]);
            if (known != byClass.end()) {
                names.insert(names.end(), known->second.begin(), known->second.end());
            }
            TScript script;
            ASSERT_TRUE(script.RunScript(str(fields[0].c_str()))) << fields[0];
            for (const std::string& name : names) {
                script.DoLuaString(
                    str(("hook_defined = type(" + name + ") == 'function' and 1 or 0").c_str()));
                EXPECT_EQ(script.GetGlobalNumber("hook_defined"), 1.0)
                    << fields[0] << " lacks " << name;
            }
        }
    });
}

// Captions, intros, the girls' names and say texts, combo and judging labels and the upgrades'
// names and descriptions are all in the string table.
TEST_F(DemoLevelsTest, EveryLabelTheContentUsesResolves) {
    RunInMenu([&] {
        std::vector<std::string> labels = {
            "empty_text", "combo_hair",           "combo_makeup",        "judging_a",
            "judging_b",  "last_event_judging_a", "last_event_judging_b"};
        for (int level = 1; level <= kLevelCount; ++level) {
            const std::string n = std::to_string(level);
            labels.insert(labels.end(),
                          {"level_caption_" + n, "intro_text_level_" + n, "preview_caption_" + n});
        }
        TScript data;
        ASSERT_TRUE(data.RunScript("scripts/stages/game_datas.lua"));
        const std::string upgrades = Compute(data, R"(
upgrade_levels = ''
for _, object in ipairs(Upgrades.objects) do
  for _, record in ipairs(object) do
    upgrade_levels = upgrade_levels .. object.name .. '|' .. record.upgrade_level .. ';'
  end
end
)",
                                             "upgrade_levels");
        // The buy dialog names an upgrade by its object's base type and its upgrade level.
        const std::vector<std::string> used = FromEachLevel(R"(
used_labels = ''
for name, placement in pairs(LevelData.hall) do
  if type(placement) == 'table' and placement.cname then
    local kind = Objects.data[name].base_type
    used_labels = used_labels .. placement.cname .. ' '
    for i = 1, 3 do used_labels = used_labels .. kind .. '_say_text_' .. i .. ' ' end
  end
end
for name, level in string.gfind(')" + upgrades + R"(', '([^|;]+)|([^;]+);') do
  local kind = Objects.data[name].base_type .. '_' .. level
  used_labels = used_labels .. kind .. '_name ' .. kind .. '_descript '
end
)",
                                                            "used_labels");
        labels.insert(labels.end(), used.begin(), used.end());
        TStringTableLink* table = TPlatform::GetInstance()->GetStringTable();
        ASSERT_NE(table, nullptr);
        for (const std::string& label : labels) {
            EXPECT_NE(Text(table->GetString(str(label.c_str()))), "#####") << label;
        }
    });
}

} // namespace
} // namespace levels_test
