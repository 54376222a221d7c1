// Builds a contestant girl's Lua type table, her placement and the level's base-type extension
// from the bytes: a "life_cycle" of strings, numbers, booleans and tables ("judging_" names among
// them), "scene_scores" of any shape, base values and look numbers that are 0, negative, huge or
// not numbers at all. The girl reads them (InitFromTable), is cloned and placed (InitInLevel, which
// loads her type), and the rest of the bytes drive her: requests, appearances, unblocking, the
// pre-queue, poise changes and hearts, numbers, clicks, scene and judges' scores, task times and
// upgrades. ASan and UBSan watch every step.
#include "engine/core/knownfiles.h"
#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "game/visual/GVFactory.h"
#include "game/world/GStudent.h"
#include "game/world/GUpgradeData.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Names her life cycle, scenes and scores draw from: real judging names, the bare prefix, and
// names just around it.
const char* const kSceneNames[] = {"makeup",    "hair", "judging_a", "judging_", "judging_ab",
                                   "jxxxxxx_y", "j",    "",          "podium",   "take_pacifier"};

// Every hook the girl calls in her script, answering from globals the bytes set.
const char kGirlHooks[] = R"(
sceneScore = 0
taskBase = 0
function OnAfterLoad() end
function OnStartGame() end
function OnSceneEnd(scene) return sceneScore end
function MakeCheckState(holder) return 'check_' .. holder end
function OnReturnToPreQueue() end
function AddPoise(n) end
function TakePacifier(n) end
function ChangePoisePower(n) end
function GetRealTaskName(task) return task end
function GetTaskBaseTime(task) return taskBase end
)";

// Her visual: the children the girl looks up, without images (so without states).
const char kGirlXml[] = "<main id=\"girl\"><objects><obj id=\"check_obj\"><objects>"
                        "<obj id=\"check\"><objects><obj id=\"check1\" deltaX=\"3\"/></objects>"
                        "</obj></objects></obj><obj id=\"number1\"/><obj id=\"number2\"/>"
                        "</objects></main>";

class TGirlText {
public:
    explicit TGirlText(TFuzzBytes& bytes) : mBytes(bytes) {}

    std::string Number() {
        switch (mBytes.Byte() % 6) {
        case 0:
            return LuaNumberLiteral(mBytes.Double());
        case 1:
            return std::to_string(static_cast<int8_t>(mBytes.Byte()) * 100);
        case 2:
            return "0";
        default:
            return std::to_string(mBytes.Byte() % 40);
        }
    }

    std::string SceneName() {
        return std::string("'") + kSceneNames[mBytes.Byte() % std::size(kSceneNames)] + "'";
    }

    // A number, a scene name, a boolean or a small table: what a stage file may hold anywhere.
    std::string Value(int depth) {
        switch (mBytes.Byte() % 5) {
        case 0:
            return Number();
        case 1:
            return mBytes.Byte() & 1 ? "true" : "false";
        case 2:
            return depth > 0 ? List(depth - 1, [this, depth] { return Value(depth - 1); }) : "{}";
        default:
            return SceneName();
        }
    }

    // A list of values from make(), some under string or odd number keys.
    template <class Make>
    std::string List(int /*depth*/, Make make) {
        std::string text = "{";
        for (int n = mBytes.Byte() % 9; n > 0 && !mBytes.Empty(); --n) {
            switch (mBytes.Byte() % 6) {
            case 0:
                text += "[" + SceneName() + "]=";
                break;
            case 1:
                text += "[" + Number() + "]=";
                break;
            default:
                break;
            }
            text += make() + ",";
        }
        return text + "}";
    }

    // Each field present or not, with a number or sometimes any value.
    std::string Fields(std::initializer_list<const char*> keys) {
        std::string text;
        for (const char* key : keys) {
            const uint8_t choice = mBytes.Byte() % 5;
            if (choice == 0) {
                continue;
            }
            text += std::string(key) + "=" + (choice == 1 ? Value(1) : Number()) + ",";
        }
        return text;
    }

private:
    TFuzzBytes& mBytes;
};

std::unique_ptr<TLuaTable> Evaluate(TScript& script, const std::string& text) {
    script.DoLuaString(("return " + text).c_str(), -1, 1);
    lua_State* state = script.GetState();
    if (!lua_istable(state, -1)) {
        lua_pop(state, 1);
        return nullptr;
    }
    return std::make_unique<TLuaTable>(state);
}

// A small factor, or none of a table's records.
const GUpgradeData* Upgrade(TFuzzBytes& bytes, GUpgradeData& record) {
    if (bytes.Byte() % 3 == 0) {
        return nullptr;
    }
    record.mValue = bytes.Byte() % 4 == 0 ? bytes.Double() : (bytes.Byte() % 32) / 8.0;
    return &record;
}

void Drive(GStudent& girl, TFuzzBytes& bytes) {
    girl.StartGame();
    const int lifeLength = static_cast<int>(girl.GetLifeCycle().size());
    for (int step = 0; step < 64 && !bytes.Empty(); ++step) {
        const int value = static_cast<int8_t>(bytes.Byte()) * (bytes.Byte() % 8 == 0 ? 1000 : 1);
        switch (bytes.Byte() % 16) {
        case 0:
            girl.CPP_CheckTimeRequest();
            break;
        case 1:
            girl.CPP_CheckTimeAppearence();
            break;
        case 2:
            girl.CPP_PoiseChange(value);
            break;
        case 3:
            girl.ShowNumber(value);
            break;
        case 4:
            girl.ShowCountNumber(value);
            break;
        case 5: {
            const int at = lifeLength > 0 ? bytes.Byte() % lifeLength : 0;
            girl.Unblock(lifeLength > 0 ? girl.GetLifeCycle()[static_cast<size_t>(at)]
                                        : str(kSceneNames[bytes.Byte() % std::size(kSceneNames)]));
            break;
        }
        case 6:
            girl.ReturnToPreQueue();
            break;
        case 7:
            girl.CPP_SetPoiseOn(value & 1);
            girl.GetScript().DoLuaString(("current_poise = " + std::to_string(value)).c_str());
            break;
        case 8:
            girl.RequestScene(kSceneNames[bytes.Byte() % std::size(kSceneNames)], bytes.Byte() & 1);
            break;
        case 9:
            girl.CheckClick();
            girl.ModifyCheck(value % 4);
            break;
        case 10:
            girl.SetCombo(value % 5, "pair");
            girl.GetScript().DoLuaString(("sceneScore = " + std::to_string(value)).c_str());
            girl.OnSceneEnd(kSceneNames[bytes.Byte() % std::size(kSceneNames)]);
            break;
        case 11:
            // Judges above 0 ask the scene script, which this target does not have.
            girl.CPP_AddFlyScore(value, -(bytes.Byte() & 1));
            break;
        case 12:
            girl.GetScript().DoLuaString(("taskBase = " + std::to_string(value)).c_str());
            girl.ScaleTaskTime("makeup", static_cast<float>(static_cast<int8_t>(bytes.Byte())) / 8,
                               bytes.Byte() % 3);
            break;
        case 13: {
            GUpgradeData hair;
            GUpgradeData makeup;
            GUpgradeData poise;
            const GUpgradeData* a = Upgrade(bytes, hair);
            const GUpgradeData* b = Upgrade(bytes, makeup);
            girl.ApplyUpgrades(a, b, Upgrade(bytes, poise));
            break;
        }
        case 14:
            girl.ApplyBaseType(bytes.Byte() & 1 ? "makeup" : "hairstyle");
            girl.CPP_CheckNextSceneOnThisSeat();
            break;
        default:
            girl.CPP_SetCanTouchUp(value);
            girl.SetLookState(bytes.Byte() & 1 ? "girl_invisible" : "stay");
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    RegisterMemoryFile("xml/girl.xml", kGirlXml, static_cast<unsigned>(std::strlen(kGirlXml)));
    GVFactory::Instance().SetObjectFolder("xml/");
    GVFactory::Instance().SetTextureFolder("anim/");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TScript tables;
    TFuzzBytes bytes(data, size);
    TGirlText text(bytes);

    const std::string look =
        text.Fields({"head", "body", "dress", "hair", "makeup", "manicure", "mask",
                     "base_request_time", "delta_score_x", "delta_score_y"});
    std::unique_ptr<TLuaTable> type =
        Evaluate(tables, "{ class_name = 'GStudent', base_type = 'girl', xml_anim = 'girl', " +
                             look + "triggers = { delay = " + text.Number() +
                             " }, scenes = { 'makeup', 'hair', 'judging_a', 'judging_' }, "
                             "tasks = { makeup = { tick_count = 4, delay = 10 }, "
                             "hairstyle = { tick_count = " +
                             text.Number() + ", delay = 10 } } }");
    const std::string lifeCycle = text.List(2, [&text] { return text.Value(1); });
    std::unique_ptr<TLuaTable> placement = Evaluate(
        tables, "{ name = 'gina', life_cycle = " + lifeCycle + ", cname = " + text.Value(0) + ", " +
                    text.Fields({"first_appearance_time", "appearance_time", "pos_x"}) + "}");
    const std::string scores = text.List(2, [&text] { return text.Value(2); });
    std::unique_ptr<TLuaTable> extension =
        Evaluate(tables, "{ " +
                             text.Fields({"base_request_time", "base_hairstyle_time",
                                          "base_accessories_time", "base_change_time",
                                          "base_judging_time", "base_makeup_time", "base_mask_time",
                                          "base_manicure_time", "base_stat_poise", "base_poise",
                                          "base_start_poise", "base_restore_poise"}) +
                             (bytes.Byte() & 1 ? "scene_scores = " + scores : std::string()) + "}");

    GStudent prototype;
    if (type != nullptr && prototype.InitFromTable(type.get(), placement.get())) {
        std::unique_ptr<GGameObject> clone(prototype.Clone());
        auto* girl = dynamic_cast<GStudent*>(clone.get());
        if (girl != nullptr &&
            girl->InitInLevel(placement.get(), extension.get(), kGirlHooks, nullptr)) {
            Drive(*girl, bytes);
        }
    }
    extension.reset();
    placement.reset();
    type.reset();
    lua_setgcthreshold(tables.GetState(), 0);
    return 0;
}
