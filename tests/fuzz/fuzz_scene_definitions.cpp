// Builds scene definitions from the bytes (class, hooks, entries by base type, name or class,
// stages with tasks, walks and must-free lists, the personage flag) whose hook functions answer
// numbers, strings, booleans or nothing from the bytes. The factory makes prototypes of them; then
// the bytes drive the manager and the scenes: copies are created on fixture objects, filled, begun,
// their tasks ended, stages finished, retained and released, stopped, prototypes asked to accept,
// objects forgotten and deleted while scenes hold them, and dispatches and broadcasts heard. ASan
// watches every step.
#include "engine/core/knownfiles.h"
#include "engine/script/lua/lua.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GBaseSimpleTask.h"
#include "game/world/GEventDispatcher.h"
#include "game/world/GGameObject.h"
#include "game/world/GInDoor.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every hook is "H" (or none); it answers the next value of "answers", cycling.
const char kSceneFile[] = "answers = {}\n"
                          "count = 0\n"
                          "at = 0\n"
                          "function H()\n"
                          "  if count == 0 then return nil end\n"
                          "  at = math.mod(at, count) + 1\n"
                          "  return answers[at]\n"
                          "end\n"
                          "OnCalcPath = H\n";

// t1 runs, t2 refuses at its begin, so a task can end while its stage is still starting.
const char kObjectFunctions[] = "function t1BeginTask(r) return 1 end\n"
                                "function t1TaskTimer(n) return 1 end\n"
                                "function t1EndTask(r) return 0 end\n"
                                "function t2BeginTask(r) return 0 end\n"
                                "function t2TaskTimer(n) return 0 end\n"
                                "function t2EndTask(r) return 0 end\n";

const char* const kClasses[] = {"GLogicalScene", "GQueueLogicalScene", "GPacifierScene",
                                "GTouchUpScene", "GNoScene"};
const char* const kKeys[] = {"a", "b", "c", "n1", "n3", "GInDoor", "GGameObject", ""};
const char* const kTasks[] = {"", "t1", "t2", "@n1", "none"};
constexpr int kSceneCount = 4;
constexpr int kObjectCount = 5;

class TDefinitionBuilder {
public:
    TDefinitionBuilder(lua_State* state, TFuzzBytes& bytes) : L(state), mBytes(bytes) {}

    void PushAnswers() {
        lua_newtable(L);
        const int count = mBytes.Byte() % 12;
        for (int i = 1; i <= count; ++i) {
            lua_pushnumber(L, i);
            switch (mBytes.Byte() % 6) {
            case 0:
                lua_pushnil(L);
                break;
            case 1:
                lua_pushboolean(L, mBytes.Byte() & 1);
                break;
            case 2:
                lua_pushstring(L, (mBytes.Byte() & 1) != 0 ? "2" : "x");
                break;
            case 3:
                lua_pushnumber(L, mBytes.Double());
                break;
            default:
                lua_pushnumber(L, static_cast<int8_t>(mBytes.Byte()) % 4);
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
    }

    void PushDefinition() {
        lua_checkstack(L, 16);
        lua_newtable(L);
        const uint8_t fields = mBytes.Byte();
        SetString("class_name", kClasses[mBytes.Byte() % 5]);
        for (const char* hook : {"OnCreate", "OnBegin", "OnEnd"}) {
            if (mBytes.Byte() & 1) {
                SetString(hook, "H");
            }
        }
        if (fields & 1) {
            lua_pushstring(L, "objects");
            PushArray([this] { PushEntry(); });
            lua_rawset(L, -3);
        }
        if (fields & 2) {
            lua_pushstring(L, "stages");
            PushArray([this] { PushStage(); });
            lua_rawset(L, -3);
        }
        if (fields & 4) {
            lua_pushstring(L, "wait_personage");
            lua_pushnumber(L, mBytes.Byte() % 2);
            lua_rawset(L, -3);
        }
    }

private:
    void SetString(const char* key, const char* value) {
        lua_pushstring(L, key);
        lua_pushstring(L, value);
        lua_rawset(L, -3);
    }

    template <class Push>
    void PushArray(Push push) {
        lua_newtable(L);
        const int count = mBytes.Byte() % 5;
        for (int i = 1; i <= count; ++i) {
            lua_pushnumber(L, i);
            if (mBytes.Byte() % 7 == 0) {
                lua_pushstring(L, "not a table");
            } else {
                push();
            }
            lua_rawset(L, -3);
        }
    }

    void PushEntry() {
        lua_newtable(L);
        for (const char* key : {"base_type", "name", "class_type"}) {
            if (mBytes.Byte() & 1) {
                SetString(key, kKeys[mBytes.Byte() % 8]);
            }
        }
        if (mBytes.Byte() & 1) {
            lua_pushstring(L, "block_on_begin");
            lua_pushnumber(L, static_cast<int8_t>(mBytes.Byte()) % 3);
            lua_rawset(L, -3);
        }
    }

    void PushStage() {
        lua_newtable(L);
        for (const char* hook : {"OnBegin", "OnEnd"}) {
            if (mBytes.Byte() & 1) {
                SetString(hook, "H");
            }
        }
        lua_pushstring(L, "tasks");
        PushArray([this] { lua_pushstring(L, kTasks[mBytes.Byte() % 5]); });
        lua_rawset(L, -3);
        if (mBytes.Byte() & 1) {
            lua_pushstring(L, "must_free");
            PushArray([this] { lua_pushnumber(L, static_cast<int8_t>(mBytes.Byte()) % 6); });
            lua_rawset(L, -3);
        }
    }

    lua_State* L;
    TFuzzBytes& mBytes;
};

// A girl as the scenes tell one, so touch-ups link to her.
class TFuzzGirl final : public GGameObject {
public:
    const char* GetClassName() const override { return "GStudent"; }
    bool IsStudent() const override { return true; }
};

// Objects with the two tasks: base types a (a girl), a, b, c (a door), b; names n1 to n5.
std::vector<std::unique_ptr<GGameObject>> MakeObjects(TScript& tables) {
    std::vector<std::unique_ptr<GGameObject>> objects;
    const char* const baseTypes[] = {"a", "a", "b", "c", "b"};
    for (int i = 0; i < kObjectCount; ++i) {
        const std::string type =
            std::string("return { base_type = '") + baseTypes[i] +
            "', tasks = { t1 = { tick_count = 2, delay = 10 }, t2 = { tick_count = 1, "
            "delay = 10 } } }";
        tables.DoLuaString(type.c_str(), -1, 1);
        TLuaTable typeTable(tables.GetState());
        const std::string object = "return { name = 'n" + std::to_string(i + 1) + "' }";
        tables.DoLuaString(object.c_str(), -1, 1);
        TLuaTable objectTable(tables.GetState());
        std::unique_ptr<GGameObject> made;
        if (i == 0) {
            made = std::make_unique<TFuzzGirl>();
        } else if (i == 3) {
            made = std::make_unique<GInDoor>();
        } else {
            made = std::make_unique<GGameObject>();
        }
        made->InitFromTable(&typeTable, &objectTable);
        made->InitInLevel(&objectTable, nullptr, kObjectFunctions, nullptr);
        objects.push_back(std::move(made));
    }
    return objects;
}

GBaseLogicalScene* LiveScene(TFuzzBytes& bytes) {
    const std::vector<GBaseLogicalScene*>& live = GLogicalManager::Instance().GetLiveScenes();
    if (live.empty()) {
        return nullptr;
    }
    return live[bytes.Byte() % live.size()];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    GLogicalManager& manager = GLogicalManager::Instance();
    GObjectFactory& factory = GObjectFactory::Instance();
    static const bool loaded = [&manager] {
        RegisterMemoryFile("scripts/stages/scenes.lua", kSceneFile, sizeof kSceneFile - 1);
        manager.LoadScenes("scripts/stages/scenes.lua");
        return manager.GetSceneScript() != nullptr;
    }();
    if (!loaded) {
        return 0;
    }
    static TScript tables;
    TFuzzBytes bytes(data, size);
    lua_State* state = manager.GetSceneScript()->GetState();
    TDefinitionBuilder builder(state, bytes);
    builder.PushAnswers();
    factory.Clear(false, true);
    std::vector<std::string> names;
    for (int i = 0; i < kSceneCount; ++i) {
        names.push_back("s" + std::to_string(i));
        builder.PushDefinition();
        TLuaTable definition(state);
        factory.GetScene(names.back().c_str(), &definition);
    }

    std::vector<std::unique_ptr<GGameObject>> objects = MakeObjects(tables);
    auto object = [&objects, &bytes]() -> GGameObject* {
        const uint8_t pick = bytes.Byte() % (kObjectCount + 1);
        return pick < kObjectCount ? objects[pick].get() : nullptr;
    };

    for (int step = 0; step < 48 && !bytes.Empty(); ++step) {
        switch (bytes.Byte() % 12) {
        case 0: {
            const std::string& name = names[bytes.Byte() % kSceneCount];
            GGameObject* first = object();
            GGameObject* second = object();
            const uint8_t flags = bytes.Byte();
            manager.CreateScene(name.c_str(), first, second, (flags & 1) != 0, (flags & 2) != 0);
            break;
        }
        case 1:
            if (GBaseLogicalScene* scene = LiveScene(bytes)) {
                GGameObject* added = object();
                if (scene->AddObject(added) >= 0 && scene->IsFull()) {
                    scene->BeginIfFull();
                }
            }
            break;
        case 2:
            if (GGameObject* owner = object()) {
                if (GBaseSimpleTask* task = owner->GetCurrentTask()) {
                    task->End(bytes.Byte() % 2);
                }
            }
            break;
        case 3:
            if (GBaseLogicalScene* scene = LiveScene(bytes)) {
                scene->FinishStage();
            }
            break;
        case 4:
            if (GBaseLogicalScene* scene = LiveScene(bytes)) {
                scene->Retain();
            }
            break;
        case 5:
            if (GBaseLogicalScene* scene = LiveScene(bytes)) {
                scene->Release();
            }
            break;
        case 6:
            if (GBaseLogicalScene* scene = LiveScene(bytes)) {
                scene->StopAndClose();
            }
            break;
        case 7: {
            const uint8_t pick = bytes.Byte() % kObjectCount;
            if (objects[pick] != nullptr) {
                manager.ForgetObject(objects[pick].get());
                objects[pick].reset();
            }
            break;
        }
        case 8:
            if (GBaseLogicalScene* prototype =
                    factory.FindScenePrototype(names[bytes.Byte() % kSceneCount].c_str())) {
                if (GGameObject* asked = object()) {
                    prototype->CanAccept(asked, (bytes.Byte() & 1) != 0);
                    prototype->ClearObjects();
                }
            }
            break;
        case 9:
            if (GGameObject* stopped = object()) {
                manager.StopScenesOf(stopped);
            }
            break;
        case 10:
            // A girl carried away or removed, heard by her touch-up.
            manager.GetEventDispatcher().Dispatch(object());
            break;
        default:
            manager.GetEventDispatcher().Broadcast(GEventDispatcher::kBroadcast);
            break;
        }
    }
    manager.DeleteLiveScenes();
    objects.clear();
    factory.Clear(false, true);
    lua_settop(state, 0);
    lua_setgcthreshold(state, 0);
    lua_settop(tables.GetState(), 0);
    lua_setgcthreshold(tables.GetState(), 0);
    return 0;
}
