// A level with a row of one to six judging places, the judging scene, maybe the judging door and
// the heroine, and girls waiting for one of three judging kinds with a poise each, all from the
// bytes. The bytes then drive the row: drops on places, on girls and on the door, drags over the
// row and their ends, tussles, girls let in to the judges and their judgings ended, podium
// requests during and outside carries, the door's clicks and tussle checks, tasks ended, girls
// leaving, and the scene script's answers to every hook and question. After every step each place
// holds at most one girl, who is alive and whose holder is that place, and every girl held by a
// place is that place's occupant. ASan watches every step.
#include "engine/core/knownfiles.h"
#include "engine/script/lua/lua.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowsystem.h"
#include "game/visual/GVFactory.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GGameData.h"
#include "game/world/GJudgingQueue.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPlayerInfo.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every hook and question answers the next value of "answers", cycling.
const char kSceneFile[] =
    "answers = {}\n"
    "count = 0\n"
    "at = 0\n"
    "function H()\n"
    "  if count == 0 then return nil end\n"
    "  at = math.mod(at, count) + 1\n"
    "  return answers[at]\n"
    "end\n"
    "CalcTussleDelayTime = H\n"
    "GetJudgesAnimationState = H\n"
    "GetJudgesAnimationScore = H\n"
    "GetStudentAnimationState = H\n"
    "local function queue() return { class_name = 'GQueueLogicalScene', OnCreate = 'H', "
    "  OnBegin = 'H', OnEnd = 'H' } end\n"
    "scenes = {\n"
    "  judging_a = queue(), judging_b = queue(), judging_ = queue(),\n"
    "  judging_scene = { class_name = 'GLogicalScene', OnCreate = 'H', OnBegin = 'H',\n"
    "    objects = { { class_type = 'GStudent' }, { class_type = 'GJudgingScene' } },\n"
    "    stages = { { OnEnd = 'H', tasks = { 'work' } } } },\n"
    "  tussle = { class_name = 'GLogicalScene', OnCreate = 'H', OnBegin = 'H',\n"
    "    objects = { { class_type = 'GStudent' }, { class_type = 'GStudent' },\n"
    "                { class_type = 'GJudgingQueue' }, { class_type = 'GJudgingQueue' } },\n"
    "    stages = { { OnEnd = 'H', tasks = { 'work', 'work' } } } },\n"
    "  judging_scene_door = { class_name = 'GLogicalScene', OnCreate = 'H', OnBegin = 'H',\n"
    "    objects = { { class_type = 'GJudgingSceneDoor' }, { class_type = 'GMainHeroine' } },\n"
    "    stages = { { tasks = { '', 'work' } } } },\n"
    "}\n";

// What the girls' and the heroine's scripts are asked.
const char kWork[] = "function workBeginTask(r) return 1 end\n"
                     "function workTaskTimer(n) return 1 end\n"
                     "function workEndTask(r) return 0 end\n";
const char kGirlScript[] = "function OnStartGame() end\n"
                           "function OnSceneEnd(scene) return 1 end\n"
                           "function OnReturnToPreQueue() end\n"
                           "function MakeCheckState(holder) return 'check_on' end\n"
                           "function GetRealTaskName(task) return task end\n"
                           "function GetTaskBaseTime(task) return 100 end\n"
                           "function TakePacifier(n) end\n"
                           "function AddPoise(n) end\n"
                           "function ChangePoisePower(n) end\n";
const char kPlace[] = "<main id=\"place\"><framelist><frame w=\"40\" h=\"40\"/></framelist>"
                      "<states><state id=\"normal\" framelist=\"0\"/></states></main>";

const char* const kKinds[] = {"judging_a", "judging_b", "judging_"};
constexpr int kMaxGirls = 8;

void Serve(const char* name, const char* text) {
    RegisterMemoryFile(name, text, static_cast<unsigned>(std::strlen(text)));
}

std::unique_ptr<TLuaTable> Table(TScript& tables, const std::string& text) {
    tables.DoLuaString(("return " + text).c_str(), -1, 1);
    return std::make_unique<TLuaTable>(tables.GetState());
}

GGameObject* Add(GLevel& level, TScript& tables, const std::string& name, const std::string& type,
                 const std::string& object, const std::string& extra) {
    std::unique_ptr<TLuaTable> typeTable = Table(tables, type);
    std::unique_ptr<TLuaTable> objectTable = Table(tables, object);
    std::unique_ptr<GGameObject> made(
        GObjectFactory::Instance().CreateObject(name.c_str(), typeTable.get(), objectTable.get()));
    if (made == nullptr || !made->InitInLevel(objectTable.get(), nullptr, extra.c_str(), &level)) {
        return nullptr;
    }
    GGameObject* placed = made.release();
    level.AddObject(placed);
    return placed;
}

void SetAnswers(lua_State* L, TFuzzBytes& bytes) {
    lua_newtable(L);
    const int count = bytes.Byte() % 10;
    for (int i = 1; i <= count; ++i) {
        lua_pushnumber(L, i);
        switch (bytes.Byte() % 5) {
        case 0:
            lua_pushnil(L);
            break;
        case 1:
            lua_pushstring(L, (bytes.Byte() & 1) != 0 ? "happy" : "x");
            break;
        case 2:
            lua_pushnumber(L, bytes.Double());
            break;
        default:
            lua_pushnumber(L, static_cast<int8_t>(bytes.Byte()) % 5);
            break;
        }
        lua_rawset(L, -3);
    }
    lua_pushstring(L, "answers");
    lua_insert(L, -2);
    lua_settable(L, LUA_GLOBALSINDEX);
    lua_pushstring(L, "count");
    lua_pushnumber(L, count);
    lua_settable(L, LUA_GLOBALSINDEX);
    lua_pushstring(L, "at");
    lua_pushnumber(L, 0);
    lua_settable(L, LUA_GLOBALSINDEX);
}

bool IsAlive(GLevel& level, const GGameObject* object) {
    const std::vector<GGameObject*>& objects = level.GetObjects();
    return std::find(objects.begin(), objects.end(), object) != objects.end();
}

// Each place holds at most one girl, alive and held by it; a girl held by a place is its occupant.
void CheckRow(GLevel& level) {
    const std::vector<GGameObject*>& places = GLogicalManager::Instance().GetJudgingPlaces();
    std::vector<GGameObject*> seen;
    for (GGameObject* place : places) {
        GGameObject* girl = place->GetOccupant();
        if (girl == nullptr) {
            continue;
        }
        if (!IsAlive(level, girl) || girl->GetHolder() != place ||
            std::find(seen.begin(), seen.end(), girl) != seen.end()) {
            std::abort();
        }
        seen.push_back(girl);
    }
    for (GGameObject* object : level.GetObjects()) {
        GGameObject* holder = object->GetHolder();
        if (std::find(places.begin(), places.end(), holder) != places.end() &&
            holder->GetOccupant() != object) {
            std::abort();
        }
    }
}

std::vector<GGameObject*> Girls(GLevel& level) {
    std::vector<GGameObject*> girls;
    for (GGameObject* object : level.GetObjects()) {
        if (object->IsStudent()) {
            girls.push_back(object);
        }
    }
    return girls;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::SetFakeTime(1000);
    RegisterWindowSystem();
    static char commandLine[1] = "";
    auto* record =
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true);
    new TPlatform(record);
    TScript* script = GetWindowManager() != nullptr ? GetWindowManager()->GetScript() : nullptr;
    if (script == nullptr) {
        std::abort();
    }
    script->DoLuaString("function HidePowerButtons() end\n"
                        "function ShowLastEvent(e) end\n"
                        "function HideLastEvent() end\n"
                        "function GetUpgradeIndex() return 0 end\n"
                        "function UpgradeBuyed() return 1 end\n"
                        "function LevelCompleted() end\n"
                        "function GetMoney() return 0 end\n"
                        "function GetTotalScore() return 0 end\n"
                        "function SetUserVariable() end\n"
                        "function DoModal() end\n");
    GPlayerInfo::Instance();
    GVFactory& visuals = GVFactory::Instance();
    visuals.SetObjectFolder("xml/");
    visuals.SetTextureFolder("anim/");
    Serve("xml/place.xml", kPlace);
    Serve("scripts/girl.lua", kGirlScript);
    Serve(GGameData::kScriptFile, "function IsInComboList(name) return '' end Upgrades = {}");
    Serve(GLevel::kStageFile, "LevelData = {} Objects = {} function LevelTimerFunc() end");
    Serve("scripts/stages/scenes.lua", kSceneFile);
    GLogicalManager::Instance().LoadScenes("scripts/stages/scenes.lua");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GLogicalManager& manager = GLogicalManager::Instance();
    TScript* scenes = manager.GetSceneScript();
    if (scenes == nullptr) {
        return 0;
    }
    static TScript tables;
    TFuzzBytes bytes(data, size);
    SetAnswers(scenes->GetState(), bytes);

    GGameData gameData;
    manager.SetGameData(&gameData);
    gameData.Load();
    if (gameData.StartLevel(1, 1)) {
        GLevel& level = *gameData.GetLevel();
        const int placeCount = 1 + bytes.Byte() % 6;
        for (int i = 0; i < placeCount; ++i) {
            const std::string name = "p" + std::to_string(i);
            Add(level, tables, name,
                "{ class_name = 'GJudgingQueue', xml_anim = 'place', scenes = { 'judging_a', "
                "'judging_b', 'judging_' }, point_landing = { x = 1, y = 2, z = 1 } }",
                "{ name = '" + name + "', pos_x = " + std::to_string(bytes.Byte() % 8 * 50) +
                    ", pos_y = 300 }",
                "");
        }
        GJudgingScene* scene = dynamic_cast<GJudgingScene*>(
            Add(level, tables, "stand",
                "{ class_name = 'GJudgingScene', xml_anim = 'place', enter_scene_delay = " +
                    std::to_string(bytes.Byte() * 20) + ", score_combo = { 5, 10, 20 } }",
                "{ name = 'stand', pos_x = 400, pos_y = 100 }", ""));
        const uint8_t extras = bytes.Byte();
        GJudgingSceneDoor* door = nullptr;
        if ((extras & 1) != 0) {
            door = dynamic_cast<GJudgingSceneDoor*>(Add(
                level, tables, "door",
                std::string("{ class_name = 'GJudgingSceneDoor', xml_anim = 'place', scenes = { "
                            "'judging_scene_door', 'judging_a', 'judging_b', 'judging_' }") +
                    ((extras & 2) != 0 ? ", triggers = { delay = 100 }" : "") + " }",
                "{ name = 'door', pos_x = 50, pos_y = 300 }",
                "function OnFirstGirlInQueue() end function OnBeginSceneQueue() end "
                "function OnEndSceneQueue() end function SetPossibilityTussle() end "
                "function SetTickTussle() end"));
        }
        if ((extras & 4) != 0) {
            Add(level, tables, "heroine",
                "{ class_name = 'GMainHeroine', base_type = 'heroine', xml_anim = 'place', "
                "tasks = { work = { tick_count = 5, delay = 10 } } }",
                "{ name = 'heroine', pos_x = 10, pos_y = 10 }", kWork);
        }
        const int girlCount = bytes.Byte() % (kMaxGirls + 1);
        for (int i = 0; i < girlCount; ++i) {
            const std::string name = "g" + std::to_string(i);
            const char* kind = kKinds[bytes.Byte() % 3];
            const char* second = kKinds[bytes.Byte() % 3];
            GGameObject* girl =
                Add(level, tables, name,
                    std::string("{ class_name = 'GStudent', base_type = 'singer', xml_anim = "
                                "'place', script_name = 'scripts/girl.lua', scenes = { '") +
                        kind + "', '" + second +
                        "' }, tasks = { work = { tick_count = 5, delay = 10 } } }",
                    "{ name = '" + name + "', life_cycle = { '" + kind + "', '" + second + "' } }",
                    std::string(kWork) + "current_poise = " + std::to_string(bytes.Byte() * 4));
            if (girl != nullptr) {
                girl->AddScene(kind, false);
            }
        }
        level.EndUpgradePhase();
        level.Begin();
        const std::vector<GGameObject*> places = manager.GetJudgingPlaces();
        auto place = [&places, &bytes]() { return places[bytes.Byte() % places.size()]; };
        auto girl = [&level, &bytes]() -> GGameObject* {
            const std::vector<GGameObject*> girls = Girls(level);
            return girls.empty() ? nullptr : girls[bytes.Byte() % girls.size()];
        };
        CheckRow(level);

        for (int step = 0; step < 64 && !bytes.Empty(); ++step) {
            switch (bytes.Byte() % 15) {
            case 0:
            case 1:
            case 2:
                if (GGameObject* carried = girl()) {
                    const uint8_t how = bytes.Byte() % 3;
                    GGameObject* target =
                        how == 0 ? place() : (how == 1 ? girl() : static_cast<GGameObject*>(door));
                    manager.OnGrab(carried);
                    manager.OnDrop(carried, target);
                }
                break;
            case 3:
                if (GGameObject* carried = girl()) {
                    manager.OnGrab(carried);
                    manager.OnDragOver(carried, place());
                    if ((bytes.Byte() & 1) != 0) {
                        manager.OnDragLeave(carried, place());
                    }
                    if ((bytes.Byte() & 1) != 0) {
                        manager.OnDragEnd(carried);
                    }
                }
                break;
            case 4:
                manager.StartTussle(bytes.Byte() % 8 - 1);
                break;
            case 5:
                if (scene != nullptr) {
                    scene->SetEnterRequests(bytes.Byte() % 4);
                    scene->CPP_EnterDelayRequest();
                }
                break;
            case 6: {
                const std::vector<GBaseLogicalScene*>& live = manager.GetLiveScenes();
                if (!live.empty()) {
                    manager.SetCurrentScene(live[bytes.Byte() % live.size()]);
                    manager.CPP_OnEndJudging();
                }
                break;
            }
            case 7:
                manager.CPP_OnEnterPodium(bytes.Byte() & 1);
                break;
            case 8:
                if (door != nullptr) {
                    switch (bytes.Byte() % 3) {
                    case 0:
                        manager.OnObjectClick(door, false);
                        break;
                    case 1:
                        door->CPP_CheckTussle(0);
                        break;
                    default:
                        door->OnQueueCount(bytes.Byte() % 8);
                        break;
                    }
                }
                break;
            case 9:
                if (GGameObject* owner = girl()) {
                    if (GBaseSimpleTask* task = owner->GetCurrentTask()) {
                        task->End(bytes.Byte() % 2);
                    }
                }
                break;
            case 10:
                manager.SetGameState(2 + bytes.Byte() % 2);
                break;
            case 11:
                if (GGameObject* leaving = girl()) {
                    manager.RemoveObject(leaving, true);
                }
                break;
            case 12:
                switch (bytes.Byte() % 4) {
                case 0:
                    manager.MakeRoomAt(place());
                    break;
                case 1:
                    manager.CompactQueue();
                    break;
                case 2:
                    manager.ClearQueuePreview(girl());
                    break;
                default:
                    manager.RefreshComboNumbers((bytes.Byte() & 1) != 0);
                    break;
                }
                break;
            case 13:
                if (GGameObject* judged = girl()) {
                    manager.ShowJudgesScore(judged, static_cast<int8_t>(bytes.Byte()));
                }
                break;
            default:
                if (GGameObject* stopped = girl()) {
                    manager.StopScenesOf(stopped);
                }
                break;
            }
            CheckRow(level);
        }
    }
    manager.DeleteLiveScenes();
    gameData.DestroyLevel();
    manager.SetGameData(nullptr);
    manager.SetGameState(0);
    GObjectFactory::Instance().Clear(false, false);
    lua_settop(scenes->GetState(), 0);
    lua_setgcthreshold(scenes->GetState(), 0);
    lua_settop(tables.GetState(), 0);
    lua_setgcthreshold(tables.GetState(), 0);
    lua_setgcthreshold(GetWindowManager()->GetScript()->GetState(), 0);
    return 0;
}
