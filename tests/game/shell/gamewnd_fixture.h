// The game screen built from window descriptions over the widget fixture's display: a game window
// with its game and scene controls, power buttons and panels, on a fixture stage and game-data
// file served from memory. The main script notes the dialogs the game opens in gRan and answers
// the player's progress from globals; the game data is the object factory's, as the loader leaves
// it. Ticks advance the stand-in's fake clock. Everything is gone after each test.
#pragma once

#include "engine/core/event.h"
#include "engine/core/knownfiles.h"
#include "game/common/WindowScriptState.h"
#include "game/shell/GFlyText.h"
#include "game/shell/GGameCtrl.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GHintPanel.h"
#include "game/shell/GHintedButton.h"
#include "game/shell/GRIndicatorLabel.h"
#include "game/shell/GSceneCtrl.h"
#include "game/shell/TProgressBar.h"
#include "game/visual/GVFactory.h"
#include "game/visual/TPSimple.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "platform/win32/standin.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gtest/gtest.h>

#include <string>

namespace gamewnd_test {

using widget_test::MakeEvent;
using widget_test::TBytes;
using widget_test::Text;

struct TProcessEnded {
    unsigned code;
};

inline void ThrowProcessEnded(UINT code) {
    throw TProcessEnded{code};
}

inline TBytes Bytes(const std::string& text) {
    return TBytes(text.begin(), text.end());
}

// The main script's side of the game: dialogs noted, progress from globals.
inline const char kMainScript[] = R"(
gRan = ''
gMoney = 120
gGlobalPlayerInfo = { gUpgradeIntroShow = 0 }
power_begin_x = 700
power_begin_y = 100
power_delta_x = 50
power_delta_y = 60
gLevelNum = 1
gStageNum = 1
function Note(text) gRan = gRan .. text .. ';' end
function DoModal(file) Note(file) end
function HidePowerButtons() Note('hide') end
function GetUpgradeIndex(object, level) return 0 end
function UpgradeBuyed() return 1 end
function LevelCompleted() end
function GetMoney() return gMoney end
function GetTotalScore() return 0 end
function SetUserVariable() end
function OnSelectorInitComplete() Note('init') end
)";

// A hall with a booth (on offer from level 1 when the game data says so) and two lamps.
inline const char kStage[] = R"(
LevelData = {
  level = { goal = 50, expert = 100 },
  hall = { BaseType = 'types', BaseData = 'data',
    booth = { included = true, base_type = 'plain', name = 'booth' },
    lamp = { included = true, base_type = 'plain', name = 'lamp' } },
}
Objects = {
  types = { plain = { class_name = 'GGameObject' } },
  data = { booth = { name = 'booth', base_type = 'plain' },
           lamp = { name = 'lamp', base_type = 'plain' } },
  level_types = { level = { background = 'hall.png' } },
}
function LevelTimerFunc(tick) end
)";

// Five powers in display order ("odd" of kind 5); the booth offered from level 1.
inline const char kOffers[] = R"(
Upgrades = {
  powers = { speed = { level = 1, index = 1 }, makeup = { level = 1, index = 2 },
             hair = { level = 1, index = 3 }, poise = { level = 1, index = 4 },
             odd = { level = 1, index = 5 } },
  objects = { { name = 'booth', { level = 1, upgrade_level = 0 },
                                { level = 1, upgrade_level = 1, price = 50 } } },
}
)";
inline const char kNoOffers[] = "Upgrades = { powers = { speed = { level = 1, index = 1 } } }";

// The screen: every child the game window looks for, power buttons "speed" (with its disabled
// look), "makeup", "hair" and "odd" (without one); "poise" has none.
inline const char kScreen[] = R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  FlyEmittersNum = 0,
  Bitmap{ name = 'background', x = 0, y = 0, w = 800, h = 600 },
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 },
  GSceneCtrl{ name = 'scene_ctrl', x = 0, y = 0, w = 800, h = 600 },
  Text{ name = 'money_account', x = 10, y = 10, w = 100, h = 20, label = '' },
  Text{ name = 'judging_count_value', x = 10, y = 40, w = 100, h = 20, label = '' },
  Text{ name = 'name_level1', x = 10, y = 70, w = 200, h = 20, label = '' },
  Window{ name = 'judging_counter_img', x = 10, y = 100, w = 20, h = 20 },
  Window{ name = 'buy_panel', x = 0, y = 500, w = 400, h = 100 },
  Window{ name = 'girl_upgrade_panel', x = 400, y = 500, w = 400, h = 100 },
  Window{ name = 'level_panel', x = 0, y = 560, w = 800, h = 40 },
  Window{ name = 'speed', x = 0, y = 0, w = 40, h = 40 },
  Window{ name = 'speed_dis', x = 0, y = 0, w = 40, h = 40 },
  Window{ name = 'makeup', x = 0, y = 0, w = 40, h = 40 },
  Window{ name = 'hair', x = 0, y = 0, w = 40, h = 40 },
  Window{ name = 'odd', x = 0, y = 0, w = 40, h = 40 },
  TPSimple{ name = 'guide_glow', x = 0, y = 0, w = 10, h = 10, FX_fly = 'particles/glow.lua' },
})";

class TGameWndTest : public widget_test::TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        mPreviousHook = standin::SetTerminateHook(&ThrowProcessEnded);
        standin::SetFakeTime(1000);
        for (const auto& [name, create] :
             {std::pair{"GGameWnd", &GGameWnd::Create}, std::pair{"GGameCtrl", &GGameCtrl::Create},
              std::pair{"GSceneCtrl", &GSceneCtrl::Create},
              std::pair{"TPSimple", &TPSimple::Create},
              std::pair{"GHintPanel", &GHintPanel::Create},
              std::pair{"GSmallHintPanel", &GSmallHintPanel::Create},
              std::pair{"GHintedButton", &GHintedButton::Create},
              std::pair{"GFlyText", &GFlyText::Create},
              std::pair{"GLevelJumpButton", &GLevelJumpButton::Create},
              std::pair{"Label", &GRIndicatorLabel::Create}}) {
            Script()->RegisterWindowType(name, create);
        }
        Run(kMainScript);
        AddFile(GLevel::kStageFile, Bytes(kStage));
        AddFile(GGameData::kScriptFile, Bytes(kOffers));
        AddFile("particles/glow.lua", Bytes("gSends = 0\n"));
        AddFile("scripts/selector.lua",
                Bytes("Note('selector ' .. gSetUp)\n"
                      "Window{ name = 'select_control', x = 0, y = 0, w = 10, h = 10 }()\n"));
        GObjectFactory::Instance().Clear(true, false);
    }

    void TearDown() override {
        CloseScreen();
        GLogicalManager& manager = GLogicalManager::Instance();
        manager.SetGameData(nullptr);
        manager.SetSelectorWindow(nullptr);
        manager.SetSelectorModal(nullptr);
        manager.SetGameState(0);
        GObjectFactory::Instance().Clear(true, false);
        GVFactory::Instance().ClearCache();
        standin::SetTerminateHook(mPreviousHook);
        TWidgetTest::TearDown();
    }

    // The game data as the loader leaves it, then the screen in a modal window named "game".
    void OpenScreen(const char* screen = kScreen) {
        GLogicalManager::Instance().SetGameData(GObjectFactory::Instance().GetGameData());
        mGame =
            PushDialog("game", TRect{0, 0, widget_test::kScreenWidth, widget_test::kScreenHeight});
        Build(screen);
        mWnd = Find<GGameWnd>("game_wnd");
        ASSERT_NE(mWnd, nullptr);
    }

    // Pops the screen and lets the window manager delete it.
    void CloseScreen() {
        if (mGame != nullptr) {
            Manager()->DoPopModal("game");
            Send(MakeEvent(kEventIdle));
            mGame = nullptr;
            mWnd = nullptr;
        }
    }

    // One pass of the top modal window's tasks after ms more milliseconds.
    void Tick(int ms) {
        standin::AdvanceTime(static_cast<DWORD>(ms));
        Send(MakeEvent(kEventIdle));
    }

    static GLevel* Level() { return GLogicalManager::Instance().GetLevel(); }
    static std::string Ran() {
        const std::string ran = Global("gRan");
        Run("gRan = ''");
        return ran;
    }
    static double Number(const char* name) { return Script()->GetGlobalNumber(name); }
    static bool IsNilGlobal(const char* name) { return !HasGlobal(Script()->GetState(), name); }
    static bool Shown(const char* name) {
        TWindow* window = Find(name);
        return window != nullptr && (window->GetFlags() & TWindow::kEnabled) != 0;
    }

    TModalWindow* mGame = nullptr;
    GGameWnd* mWnd = nullptr;
    standin::TTerminateHook mPreviousHook = nullptr;
};

} // namespace gamewnd_test
