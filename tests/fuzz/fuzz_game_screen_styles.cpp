// Builds the game screen from the input: the game window's style values ("FlyEmittersNum" of any
// Lua type and size) and the main-script globals it reads (the power-button grid, "gLevelNum" and
// "gStageNum", numbers huge, NaN or strings), children present or missing or of the wrong type,
// fly emitters named by a template of arbitrary '%' sequences, and a power name pressed. The
// screen is built headless on a small level, ticked through its start-up on the fake clock, asked
// for the selector and queued texts, then closed; ASan watches every step. Checked: a template is
// used only when it has exactly one integer conversion, and a closed screen leaves the logical
// manager without game window, screen or draw list.
#include "engine/core/event.h"
#include "engine/core/knownfiles.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "game/shell/GGameCtrl.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GSceneCtrl.h"
#include "game/shell/StyleTemplate.h"
#include "game/shell/TLoaderWindow.h"
#include "game/shell/TProgressBar.h"
#include "game/visual/GFlyEmitter.h"
#include "game/visual/GVFactory.h"
#include "game/visual/TPSimple.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPlayerInfo.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char kStage[] = R"(
LevelData = { level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data', booth = { included = true } } }
Objects = { types = { plain = { class_name = 'GGameObject' } },
  data = { booth = { name = 'booth', base_type = 'plain' } },
  level_types = { level = { background = 'none.png' } } }
function LevelTimerFunc() end
)";
const char kGameData[] = R"(
Upgrades = { powers = { speed = { level = 1, index = 1 }, odd = { level = 1, index = 2 } },
  objects = { { name = 'booth', { level = 1, upgrade_level = 0 },
                                { level = 1, upgrade_level = 1, price = 5 } } } }
)";

std::string Number(TFuzzBytes& bytes) {
    switch (bytes.Byte() % 6) {
    case 0:
        return LuaNumberLiteral(bytes.Double());
    case 1:
        return "'12'";
    case 2:
        return "nil";
    default:
        return std::to_string(static_cast<int8_t>(bytes.Byte()));
    }
}

// A name template of raw bytes, '%' and the conversion letters likely.
std::string Template(TFuzzBytes& bytes) {
    static const char kLetters[] = "%dixsnf.-0123456789_ l*";
    if (bytes.Byte() % 3 == 0) {
        return "FlyEmitter_%d";
    }
    std::string text;
    for (int n = bytes.Byte() % 12; n > 0; --n) {
        const uint8_t b = bytes.Byte();
        text += b < 0xC0 ? kLetters[b % (sizeof kLetters - 1)] : static_cast<char>(b);
    }
    return text;
}

// The name as a Lua string literal, every byte escaped.
std::string Quoted(const str& name) {
    std::string text = "'";
    for (int i = 0; i < name.Length(); ++i) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\%u",
                      static_cast<unsigned char>(name[static_cast<unsigned>(i)]));
        text += escaped;
    }
    return text + "'";
}

// The child of that name as a window of the expected type, a plain window, or missing.
std::string Child(TFuzzBytes& bytes, const char* type, const char* name) {
    const std::string place =
        std::string("{ name = '") + name + "', x = 0, y = 0, w = 40, h = 20 }";
    switch (bytes.Byte() % 4) {
    case 0:
        return "";
    case 1:
        return "Window" + place + ",";
    default:
        return type + place + ",";
    }
}

void ServeFile(const char* name, const char* text) {
    RegisterMemoryFile(name, text, static_cast<unsigned>(std::char_traits<char>::length(text)));
}

void Idle() {
    TEvent event;
    event.type = kEventIdle;
    GetWindowManager()->HandleEvent(event);
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
    script->RegisterWindowType("GGameWnd", &GGameWnd::Create);
    script->RegisterWindowType("GGameCtrl", &GGameCtrl::Create);
    script->RegisterWindowType("GSceneCtrl", &GSceneCtrl::Create);
    script->RegisterWindowType("GFlyEmitter", &GFlyEmitter::Create);
    script->RegisterWindowType("TPSimple", &TPSimple::Create);
    script->RegisterWindowType("ProgressBar", &TProgressBar::Create);
    script->RegisterWindowType("Loader", &TLoaderWindow::Create);
    script->DoLuaString("function HidePowerButtons() end function DoModal() end "
                        "function GetUpgradeIndex() return 0 end function GetMoney() return 7 end");
    GPlayerInfo::Instance();
    ServeFile(GLevel::kStageFile, kStage);
    ServeFile(GGameData::kScriptFile, kGameData);
    GLogicalManager::Instance().SetGameData(GObjectFactory::Instance().GetGameData());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TFuzzBytes bytes(data, size);
    TWindowManager* windows = GetWindowManager();
    TWindowScript* script = windows->GetWindowScript();
    GLogicalManager& manager = GLogicalManager::Instance();

    std::string globals;
    for (const char* name :
         {"power_begin_x", "power_begin_y", "power_delta_x", "power_delta_y", "gStageNum"}) {
        globals += std::string(name) + " = " + Number(bytes) + " ";
    }
    globals += "gLevelNum = " + std::to_string(bytes.Byte() % 3) + " ";
    script->DoLuaString(globals.c_str());

    const std::string raw = Template(bytes);
    const int emitterCount = bytes.Byte() % 4;
    std::string children;
    for (int i = 0; i < emitterCount; ++i) {
        const str name = FormatNameTemplate(raw, i);
        if (!IsNameTemplate(raw) && name.Length() != 0) {
            std::abort();
        }
        children += "GFlyEmitter{ name = '" +
                    std::string(name.CStr() != nullptr ? name.CStr() : "") +
                    "', x = 0, y = 0, w = 4, h = 4 },";
    }
    children += Child(bytes, "GGameCtrl", "game_ctrl");
    children += Child(bytes, "GSceneCtrl", "scene_ctrl");
    children += Child(bytes, "Text", "money_account");
    children += Child(bytes, "Text", "judging_count_value");
    children += Child(bytes, "Text", "name_level1");
    children += Child(bytes, "Bitmap", "background");
    children += Child(bytes, "TPSimple", "guide_glow");
    children += Child(bytes, "Window", "speed");
    children += Child(bytes, "Window", "speed_dis");
    children += Child(bytes, "Window", "odd");
    // The score panel's bars with style values from the bytes.
    std::string bars;
    for (const char* bar : {"score_progress", "goal_progress"}) {
        bars += std::string("ProgressBar{ name = '") + bar +
                "', x = 0, y = 0, Value = " + Number(bytes) + ", dX = " + Number(bytes) +
                ", dY = " + Number(bytes) + ", Background = 'none.png' },";
    }
    children += "Window{ name = 'score_panel', x = 0, y = 0, w = 200, h = 100, " + bars + "},";
    const std::string screen = "(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600, "
                               "FlyEmittersNum = " +
                               Number(bytes) + ", " + children + "})()";

    auto* modal = new TModalWindow;
    modal->SetName("game");
    modal->SetSize(800, 600);
    windows->PushModal(modal);
    script->ResetCreationStack(modal);
    script->DoLuaString(screen.c_str());

    for (int step = bytes.Byte() % 12; step > 0 && !bytes.Empty(); --step) {
        switch (bytes.Byte() % 6) {
        case 0:
            script->DoLuaString("CPP_OnUpgradeModeFinished()");
            break;
        case 1:
            script->DoLuaString(bytes.Byte() & 1 ? "CPP_PressPowerButton('speed')"
                                                 : "CPP_PressPowerButton('odd')");
            break;
        case 2:
            manager.GetHooks().RequestSelector("gSetUp = 1");
            break;
        case 3:
            manager.GetHooks().QueueLuaText("gQueued = 1");
            break;
        case 4:
            manager.SetGameState(bytes.Byte() % 5);
            break;
        default:
            script->DoLuaString("CPP_LoadLevel(1, 1)");
            break;
        }
        standin::AdvanceTime(10 + bytes.Byte() % 40);
        Idle();
    }

    windows->DoPopModal("game");
    Idle();

    // A later loading screen over the root, its bar starting from a value of the bytes (or
    // missing), ticked to its end.
    if (bytes.Byte() % 2 == 0) {
        auto* loading = new TModalWindow;
        loading->SetName("loading");
        loading->SetSize(800, 600);
        windows->PushModal(loading);
        script->ResetCreationStack(loading);
        const std::string bar = bytes.Byte() % 3 == 0
                                    ? std::string()
                                    : "ProgressBar{ name = 'LoadingProgressing', x = 0, y = 0, "
                                      "Value = " +
                                          Number(bytes) + " },";
        script->DoLuaString(("(Loader{ name = 'loader', x = 0, y = 0, " + bar + "})()").c_str());
        for (int tick = 0; tick < 12; ++tick) {
            standin::AdvanceTime(100);
            Idle();
        }
        windows->DoPopModal("loading");
        Idle();
    }
    // Anything the selector pushed goes too.
    while (windows->GetTopModal() != nullptr && windows->GetTopModal()->GetParent() != nullptr) {
        windows->PopModal();
        Idle();
    }
    if (manager.GetHooks().HasGameWindow() || manager.GetGameLayer() != nullptr ||
        manager.GetGameScreen() != nullptr) {
        std::abort();
    }
    // Without a game control the screen leaves its level to the game data.
    if (GGameData* gameData = manager.GetGameData()) {
        gameData->DestroyLevel();
    }
    manager.SetSelectorWindow(nullptr);
    manager.SetSelectorModal(nullptr);
    manager.SetGameState(0);
    GVFactory::Instance().SetCurrentLayer(nullptr);
    lua_setgcthreshold(script->GetState(), 0);
    return 0;
}
