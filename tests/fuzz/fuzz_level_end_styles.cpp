// Builds the screens that close a level and the part selector from the input: the award window's
// "girl_x_y" (numbers huge, NaN, strings, tables), crown offsets and the number of girls, the
// score window's "anim_delay" and the level's values, the statistics window's layer and text
// present or not, and the selector's child count, start angle, distance and name template of
// arbitrary '%' sequences. Everything is built headless over a small level, animated on the fake
// clock, hovered, chosen and closed; ASan watches every step. Checked: every award girl stands in
// the award layer's list, the winner's index lies among the girls, choices exist only for a
// template with one integer conversion, and the closed screens leave nothing registered.
#include "engine/core/event.h"
#include "engine/core/knownfiles.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "game/shell/GAwardWnd.h"
#include "game/shell/GGameCtrl.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GLevelScoreValues.h"
#include "game/shell/GSelectMenu.h"
#include "game/shell/GSelectMenuChild.h"
#include "game/shell/GSelectPopupper.h"
#include "game/shell/GStatWnd.h"
#include "game/shell/StyleTemplate.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/visual/TPSimple.h"
#include "game/world/GGameData.h"
#include "game/world/GGameObject.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPlayerInfo.h"
#include "game/world/GSeparateLayer.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// A girl as the level counts one.
class TFuzzGirl : public GGameObject {
public:
    bool IsStudent() const override { return true; }
    GGameObject* Clone() const override {
        auto* copy = new TFuzzGirl;
        copy->CopyFrom(*this);
        return copy;
    }
};

const char kGameData[] = "function IsInComboList(name) return '' end "
                         "Upgrades = { powers = { speed = { level = 1, index = 1 } } }";
const char kGirlXml[] =
    "<main id=\"cheer\"><images><img name=\"none.png\"/></images><framelist><frame w=\"4\" "
    "h=\"4\"/></framelist><states><state id=\"normal\" framelist=\"0\"/></states></main>";
const char kSelector[] = R"(
GSelectMenu{ name = 'select_control', x = 0, y = 0, w = gW, h = gH,
  childs_script = 'scripts/selector_child.lua', childs_num = gCount, child_name = gName,
  child_start_angle = gStart, child_distance_delta = gDelta,
  TPSimple{ name = 'happy_glow', x = 0, y = 0, w = 4, h = 4, FX_fly = 'particles/none.lua' } }()
GSelectPopupper{ name = 'select_menu_popupper', x = 0, y = 0, w = 800, h = 600 }()
)";
const char kChild[] = R"(
GSelectMenuChild{ name = gSelectorParamsData.name, x = 0, y = 0, w = gChildW, h = 20,
  char_part_id = gSelectorParamsData.char_part_id, delay_click = gDelay }()
)";
const char kMain[] =
    "function HidePowerButtons() end function DoModal() end function GetUpgradeIndex() return 0 "
    "end function GetMoney() return gMoney end function GetTotalScore() return gTotal end "
    "function GetSayMaxIndex() return gSay end function OnSelectorInitComplete() "
    "CPP_OnSelectorInitComplete() end function SetSelectorChildGraphicsVars() end function "
    "SetSelectorChildGraphics() end function SetCurrentPartsGraphics() end function "
    "SetImageAlpha() end function OnEndClosingSelector() end";

std::string gStage;

void ServeFile(const char* name, const char* text, size_t size) {
    RegisterMemoryFile(name, text, static_cast<unsigned>(size));
}

void Idle() {
    TEvent event;
    event.type = kEventIdle;
    GetWindowManager()->HandleEvent(event);
}

std::string Number(TFuzzBytes& bytes) {
    switch (bytes.Byte() % 7) {
    case 0:
        return LuaNumberLiteral(bytes.Double());
    case 1:
        return "'12'";
    case 2:
        return "'x'";
    case 3:
        return "{}";
    default:
        return std::to_string(static_cast<int16_t>(bytes.Byte() << 8 | bytes.Byte()));
    }
}

// A name template of raw bytes (no 0, where a style text would end), '%' and the conversion
// letters likely.
std::string Template(TFuzzBytes& bytes) {
    static const char kLetters[] = "%dixsnf.-0123456789_ l*";
    if (bytes.Byte() % 3 == 0) {
        return "part_%d";
    }
    std::string text;
    for (int n = bytes.Byte() % 10; n > 0; --n) {
        const uint8_t b = bytes.Byte();
        text += b < 0xC0 ? kLetters[b % (sizeof kLetters - 1)] : static_cast<char>(b);
    }
    return text;
}

// The text as a Lua literal, every byte escaped.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += "\\" + std::to_string(static_cast<unsigned char>(c));
    }
    return quoted + "'";
}

// The window of that type and name, a plain window in its place, or none.
std::string Child(TFuzzBytes& bytes, const char* type, const char* name, const char* inner = "") {
    const std::string place =
        std::string("{ name = '") + name + "', x = 0, y = 0, w = 800, h = 600, " + inner + "},";
    switch (bytes.Byte() % 4) {
    case 0:
        return "";
    case 1:
        return "Window" + place;
    default:
        return type + place;
    }
}

void Push(const char* name, const std::string& layout) {
    TWindowManager* windows = GetWindowManager();
    auto* modal = new TModalWindow;
    modal->SetName(name);
    modal->SetSize(800, 600);
    windows->PushModal(modal);
    windows->GetWindowScript()->ResetCreationStack(modal);
    windows->GetWindowScript()->DoLuaString(layout.c_str());
}

void Animate(TFuzzBytes& bytes, int ticks) {
    for (int tick = 0; tick < ticks; ++tick) {
        standin::AdvanceTime(5 + bytes.Byte() % 200);
        Idle();
    }
}

void CheckAward(const GAwardWnd* award) {
    if (award == nullptr || award->GetGirls().empty()) {
        return;
    }
    const auto count = static_cast<int>(award->GetGirls().size());
    if (award->GetWinnerIndex() < 0 || award->GetWinnerIndex() >= count) {
        std::abort();
    }
    for (const auto& girl : award->GetGirls()) {
        if (girl != nullptr && !award->GetAwardLayer()->GetLayer()->Contains(girl.get())) {
            std::abort();
        }
    }
}

void EndScreens(TFuzzBytes& bytes) {
    TWindowManager* windows = GetWindowManager();
    TScript* script = windows->GetWindowScript();
    const std::string values =
        "gMoney = " + Number(bytes) + " gTotal = " + Number(bytes) + " gSay = " + Number(bytes);
    script->DoLuaString(values.c_str());
    if (GLevel* level = GLogicalManager::Instance().GetLevel()) {
        level->AddScore(static_cast<int16_t>(bytes.Byte() << 8 | bytes.Byte()));
        level->AddComboBonus(static_cast<int8_t>(bytes.Byte()));
    }
    std::string pairs;
    for (int n = bytes.Byte() % 24; n > 0; --n) {
        pairs += Number(bytes) + ", ";
    }
    const std::string crowns =
        Child(bytes, "Bitmap", "crown") + Child(bytes, "Bitmap", "award_crown");
    std::string layout = "(GAwardWnd{ name = 'award', x = 0, y = 0, w = 800, h = 600, "
                         "crown_offset_x = " +
                         Number(bytes) + ", crown_offset_y = " + Number(bytes) + ", girl_x_y = " +
                         (bytes.Byte() % 5 == 0 ? Number(bytes) : "{ " + pairs + "}") + ", " +
                         Child(bytes, "GSeparateLayer", "award_layer", crowns.c_str()) +
                         Child(bytes, "Text", "award_text") + "})()";
    layout +=
        "(GStatWnd{ name = 'stat', x = 0, y = 0, w = 800, h = 600, girl_x = " + Number(bytes) +
        ", girl_y = " + Number(bytes) + ", " +
        Child(bytes, "GSeparateLayer", "girls_layer", "no_game_layer = true, ") +
        Child(bytes, "Text", "girl_say_text") + "})()";
    layout += "(Window{ name = 'scores', x = 0, y = 0, w = 800, h = 600, "
              "GLevelScoreValues{ x = 0, y = 0, w = 4, h = 4, anim_delay = " +
              Number(bytes) + " }, ";
    for (const char* name :
         {"beginner_goal_val", "expert_goal_val", "breakdowns_val", "order_bonus_val",
          "total_points_val", "new_score_val", "new_money_val"}) {
        layout += Child(bytes, "Text", name);
    }
    layout += "})()";
    layout += std::string("(Button{ name = 'aw_btn', x = 0, y = 0, w = 10, h = 10 })()");
    Push("level_end", layout);
    script->DoLuaString("CPP_OnLevelScoreInitComplete()");
    TWindow* top = windows->GetTopModal();
    auto* award = static_cast<GAwardWnd*>(nullptr);
    if (TWindow* found = top->FindChild("award", -1);
        found != nullptr && found->IsKindOf(GAwardWnd::ClassId())) {
        award = static_cast<GAwardWnd*>(found);
    }
    CheckAward(award);
    Animate(bytes, bytes.Byte() % 40);
    CheckAward(award);
    windows->DoPopModal("level_end");
    Idle();
    if (GLogicalManager::Instance().GetSeparateLayer() != nullptr) {
        std::abort();
    }
}

void Selector(TFuzzBytes& bytes, GGameWnd* game) {
    TWindowManager* windows = GetWindowManager();
    TScript* script = windows->GetWindowScript();
    const std::string name = Template(bytes);
    const std::string globals =
        "gW = " + Number(bytes) + " gH = " + Number(bytes) +
        " gCount = " + std::to_string(static_cast<int8_t>(bytes.Byte()) % 40) +
        " gStart = " + Number(bytes) + " gDelta = " + Number(bytes) +
        " gChildW = " + Number(bytes) + " gDelay = " + std::to_string(bytes.Byte() % 8) +
        " gName = " + Quoted(name);
    script->DoLuaString(globals.c_str());
    GLogicalManager& manager = GLogicalManager::Instance();
    manager.SetGameState(2);
    game->RequestSelector("gSetUp = 1");
    standin::AdvanceTime(30);
    Idle();
    auto* menu = static_cast<GSelectMenu*>(nullptr);
    if (TWindow* found = manager.GetSelectorWindow();
        found != nullptr && found->IsKindOf(GSelectMenu::ClassId())) {
        menu = static_cast<GSelectMenu*>(found);
    }
    for (int step = bytes.Byte() % 10; step > 0 && menu != nullptr && !bytes.Empty(); --step) {
        switch (bytes.Byte() % 5) {
        case 0:
            script->DoLuaString(("CPP_BeginSelectorDialogFly(" + Number(bytes) + ")").c_str());
            break;
        case 1:
            if (!menu->GetChoices().empty()) {
                GSelectMenuChild* child =
                    menu->GetChoices()[bytes.Byte() % menu->GetChoices().size()];
                const TPoint point{bytes.Byte() % 50, bytes.Byte() % 30};
                child->OnMouseMove(point);
                child->OnMouseDown(point);
                child->OnMouseUp(point);
            }
            break;
        case 2:
            script->DoLuaString(("CPP_EndSelectorChoose(1, 0, " + Number(bytes) + ")").c_str());
            break;
        case 3:
            script->DoLuaString("CPP_OnBeginClosingSelector('girl00', 'hair')");
            windows->DoPopModal("SelectorModalWindow");
            break;
        default:
            Animate(bytes, 3);
            break;
        }
        standin::AdvanceTime(20);
        Idle();
    }
    if (menu != nullptr && !IsNameTemplate(name) && !menu->GetChoices().empty()) {
        std::abort();
    }
    manager.SetSelectorModal(nullptr);
    manager.CloseGame();
    while (windows->GetTopModal() != nullptr && windows->GetTopModal()->GetName() != str("game")) {
        windows->PopModal();
        Idle();
    }
    Idle();
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
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr || manager->GetWindowScript() == nullptr) {
        std::abort();
    }
    manager->CreateRootScreen(800, 600);
    TWindowScript* script = manager->GetWindowScript();
    for (const auto& [name, create] :
         {std::pair{"GGameWnd", &GGameWnd::Create}, std::pair{"GGameCtrl", &GGameCtrl::Create},
          std::pair{"TPSimple", &TPSimple::Create},
          std::pair{"GSeparateLayer", &GSeparateLayer::Create},
          std::pair{"GAwardWnd", &GAwardWnd::Create}, std::pair{"GStatWnd", &GStatWnd::Create},
          std::pair{"GLevelScoreValues", &GLevelScoreValues::Create},
          std::pair{"GSelectMenu", &GSelectMenu::Create},
          std::pair{"GSelectMenuChild", &GSelectMenuChild::Create},
          std::pair{"GSelectPopupper", &GSelectPopupper::Create}}) {
        script->RegisterWindowType(name, create);
    }
    script->DoLuaString(kMain);
    GSelectMenu::SetSecondsClock([]() -> int64_t { return 77; });
    GObjectFactory::Instance().RegisterObjectCreator(
        "FuzzGirl", [] { return static_cast<GGameObject*>(new TFuzzGirl); });
    GPlayerInfo::Instance();
    ServeFile(GGameData::kScriptFile, kGameData, sizeof kGameData - 1);
    ServeFile("xml/cheer.xml", kGirlXml, sizeof kGirlXml - 1);
    ServeFile("scripts/selector.lua", kSelector, sizeof kSelector - 1);
    ServeFile("scripts/selector_child.lua", kChild, sizeof kChild - 1);
    ServeFile("particles/none.lua", "", 0);
    GLogicalManager::Instance().SetGameData(GObjectFactory::Instance().GetGameData());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzBytes bytes(data, size);
    TWindowManager* windows = GetWindowManager();
    TScript* script = windows->GetWindowScript();

    // The level's girls, of one or two types.
    const int girls = bytes.Byte() % 12;
    std::string hall;
    std::string objects;
    for (int i = 0; i < girls; ++i) {
        const std::string name = "girl0" + std::to_string(i);
        hall += name + " = { included = true },";
        objects += name + " = { name = '" + name + "', base_type = '" +
                   (bytes.Byte() % 2 == 0 ? "cheer" : "dancer") + "' },";
    }
    gStage = "LevelData = { level = { goal = 50, expert = 100 }, hall = { BaseType = 'types', "
             "BaseData = 'data', " +
             hall +
             "} } Objects = { types = { cheer = { class_name = 'FuzzGirl', base_type = 'cheer' }, "
             "dancer = { class_name = 'FuzzGirl', base_type = 'dancer' } }, data = { " +
             objects + "} } function LevelTimerFunc() end";
    ServeFile(GLevel::kStageFile, gStage.data(), gStage.size());
    script->DoLuaString("gLevelNum = 1 gStageNum = 1");

    Push("game", "(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600, GGameCtrl{ "
                 "name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 } })()");
    TWindow* found = windows->GetTopModal()->FindChild("game_wnd", -1);
    auto* game = found != nullptr && found->IsKindOf(GGameWnd::ClassId())
                     ? static_cast<GGameWnd*>(found)
                     : nullptr;
    if (bytes.Byte() % 2 == 0) {
        EndScreens(bytes);
    }
    if (game != nullptr && bytes.Byte() % 2 == 0) {
        Selector(bytes, game);
    }
    windows->DoPopModal("game");
    Idle();

    GLogicalManager& manager = GLogicalManager::Instance();
    if (manager.GetSelectorWindow() != nullptr || manager.GetSeparateLayer() != nullptr) {
        std::abort();
    }
    if (GGameData* gameData = manager.GetGameData()) {
        gameData->DestroyLevel();
    }
    manager.SetGameState(0);
    GVFactory::Instance().SetCurrentLayer(nullptr);
    lua_setgcthreshold(script->GetState(), 0);
    return 0;
}
