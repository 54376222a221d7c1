// Builds the game screen from the input: the game window's style values ("FlyEmittersNum" of any
// Lua type and size) and the main-script globals it reads (the power-button grid, "gLevelNum" and
// "gStageNum", numbers huge, NaN or strings), children present or missing or of the wrong type,
// fly emitters named by a template of arbitrary '%' sequences, and a power name pressed. The
// screen is built headless on a small level, ticked through its start-up on the fake clock, asked
// for the selector and queued texts, then closed; ASan watches every step. Checked: a template is
// used only when it has exactly one integer conversion, and a closed screen leaves the logical
// manager without game window, screen or draw list.
#include "engine/script/script.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
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
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "platform/win32/standin.h"
#include "tests/fuzz/fuzz_game_screen.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using fuzz_screen::Child;
using fuzz_screen::CloseScreens;
using fuzz_screen::Idle;
using fuzz_screen::Number;
using fuzz_screen::PushScreen;
using fuzz_screen::StartHeadless;
using fuzz_screen::Template;

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    StartHeadless({{"GGameWnd", &GGameWnd::Create},
                   {"GGameCtrl", &GGameCtrl::Create},
                   {"GSceneCtrl", &GSceneCtrl::Create},
                   {"GFlyEmitter", &GFlyEmitter::Create},
                   {"TPSimple", &TPSimple::Create},
                   {"ProgressBar", &TProgressBar::Create},
                   {"Loader", &TLoaderWindow::Create}});
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

    const std::string raw = Template(bytes, "FlyEmitter_%d");
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

    PushScreen("game");
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
        PushScreen("loading");
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
    CloseScreens();
    return 0;
}
