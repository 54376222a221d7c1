// What the game-screen fuzz targets share: the headless engine they build screens in, the files of
// a small level served from memory, and the style values they make from the input's bytes
// (numbers huge, NaN or strings; name templates of arbitrary '%' sequences; children present,
// missing or of the wrong type). Main thread only.
#pragma once

#include "engine/core/event.h"
#include "engine/core/knownfiles.h"
#include "engine/core/str.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/script/script.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "game/visual/GVFactory.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPlayerInfo.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

namespace fuzz_screen {

// A hall with one plain booth, offered for 5 at level 1, and two powers.
inline const char kStage[] = R"(
LevelData = { level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data', booth = { included = true } } }
Objects = { types = { plain = { class_name = 'GGameObject' } },
  data = { booth = { name = 'booth', base_type = 'plain' } },
  level_types = { level = { background = 'none.png' } } }
function LevelTimerFunc() end
)";
inline const char kGameData[] = R"(
function IsInComboList(name) return '' end
Upgrades = { powers = { speed = { level = 1, index = 1 }, odd = { level = 1, index = 2 } },
  objects = { { name = 'booth', { level = 1, upgrade_level = 0 },
                                { level = 1, upgrade_level = 1, price = 5 } } } }
)";

// A style or global value: a double of any bits, a numeric string, nil or a small integer.
inline std::string Number(TFuzzBytes& bytes) {
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

// A name template of raw bytes, '%' and the conversion letters likely; the usual one a third of
// the time.
inline std::string Template(TFuzzBytes& bytes, const char* usual) {
    static const char kLetters[] = "%dixsnf.-0123456789_ l*";
    if (bytes.Byte() % 3 == 0) {
        return usual;
    }
    std::string text;
    for (int n = bytes.Byte() % 12; n > 0; --n) {
        const uint8_t b = bytes.Byte();
        text += b < 0xC0 ? kLetters[b % (sizeof kLetters - 1)] : static_cast<char>(b);
    }
    return text;
}

// The text as a Lua string literal, every byte escaped.
inline std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\%u", static_cast<unsigned char>(c));
        quoted += escaped;
    }
    return quoted + "'";
}

// The child of that name as a window of the expected type, a plain window, or missing; `rest`
// goes into its definition.
inline std::string Child(TFuzzBytes& bytes, const char* type, const char* name,
                         const std::string& rest = "") {
    const std::string place =
        std::string("{ name = '") + name + "', x = 0, y = 0, w = 40, h = 20, " + rest + "}";
    switch (bytes.Byte() % 4) {
    case 0:
        return "";
    case 1:
        return "Window" + place + ",";
    default:
        return type + place + ",";
    }
}

inline void ServeFile(const char* name, const char* text) {
    RegisterMemoryFile(name, text, static_cast<unsigned>(std::char_traits<char>::length(text)));
}

// One idle event: the top modal window's timers run and queued messages go out.
inline void Idle() {
    TEvent event;
    event.type = kEventIdle;
    GetWindowManager()->HandleEvent(event);
}

// The engine on the fake clock, with a root screen, the window types given, the main-script
// functions the game screen calls, and the level's files; the logical manager has the game data.
// With a display size, the software renderer draws into an off-screen display of that size.
// Aborts when the window system or the display did not come up.
inline TWindowScript*
StartHeadless(std::initializer_list<std::pair<const char*, TWindowScript::TCreateFunction>> types,
              int displayWidth = 0, int displayHeight = 0) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::SetFakeTime(1000);
    const bool display = displayWidth > 0 && displayHeight > 0;
    if (display) {
        RegisterMedia();
    }
    RegisterWindowSystem();
    static char commandLine[1] = "";
    auto* record =
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true);
    auto* platform = new TPlatform(record);
    TWindowManager* manager = GetWindowManager();
    if (manager == nullptr || manager->GetWindowScript() == nullptr) {
        std::abort();
    }
    if (display) {
        platform->CreateMainWindow();
        CreateRenderer();
        platform->SetDisplay(displayWidth, displayHeight, false);
        TRenderer* renderer = TRenderer::Existing();
        if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
            std::abort();
        }
    }
    manager->CreateRootScreen(800, 600);
    TWindowScript* script = manager->GetWindowScript();
    for (const auto& [name, create] : types) {
        script->RegisterWindowType(name, create);
    }
    script->DoLuaString("function HidePowerButtons() end function DoModal() end "
                        "function GetUpgradeIndex() return 0 end function GetMoney() return 7 end");
    GPlayerInfo::Instance();
    ServeFile(GLevel::kStageFile, kStage);
    ServeFile(GGameData::kScriptFile, kGameData);
    GLogicalManager::Instance().SetGameData(GObjectFactory::Instance().GetGameData());
    return script;
}

// A modal window of the name over the root, 800 x 600, the parent of what the script creates.
inline void PushScreen(const char* name) {
    auto* modal = new TModalWindow;
    modal->SetName(name);
    modal->SetSize(800, 600);
    GetWindowManager()->PushModal(modal);
    GetWindowManager()->GetWindowScript()->ResetCreationStack(modal);
}

// Pops every screen above the root; aborts unless the logical manager is then left without game
// window, screen or draw list; and clears what the level, the manager and the script's message
// queue kept, for the next input.
inline void CloseScreens() {
    TWindowManager* windows = GetWindowManager();
    while (windows->GetTopModal() != nullptr && windows->GetTopModal()->GetParent() != nullptr) {
        windows->PopModal();
        Idle();
    }
    GLogicalManager& manager = GLogicalManager::Instance();
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
    // Messages no window took wait there for a dialog that never comes.
    TWindowScript* script = windows->GetWindowScript();
    script->DoLuaString("gMessageQueue = {}");
    lua_setgcthreshold(script->GetState(), 0);
}

} // namespace fuzz_screen
