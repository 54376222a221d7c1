// A level played on the game harness: the harness's main script with the player's progress
// answered and the dialogs a level opens noted without opening (so that the game screen stays on
// top), a game screen with the game window and its controls, the demo's marks as a 40 x 40 square
// visual "square", and scripted drags. The loop draws on every turn, so that the visuals stand
// where the mouse finds them.
#pragma once

#include "tests/game/game_harness.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace game_harness {

inline std::string PlayMainLoop() {
    return std::string(R"(
gLevelNum = 1
gStageNum = 0
gGlobalPlayerInfo = {}
function HidePowerButtons() end
function ShowLastEvent(e) Note("last event " .. e) end
function HideLastEvent() end
function LevelCompleted(level, score, expert) Note("completed " .. level .. " " .. score) end
function GetUpgradeIndex() return 0 end
function UpgradeBuyed() return 1 end
function GetMoney() return 0 end
function GetTotalScore() return 0 end
function SetUserVariable() end
local harness = (function()
)") + kMainLoop +
           R"(
end)()
local notingDoModal = DoModal
local kNotedOnly = { ['scripts/levelgoal.lua'] = true, ['scripts/rule_window.lua'] = true,
                     ['scripts/level_stats.lua'] = true,
                     ['scripts/level_award.lua'] = true, ['scripts/level_try_again.lua'] = true }
function DoModal(file)
  if kNotedOnly[file] then Note("DoModal " .. file) else return notingDoModal(file) end
end
return harness
)";
}

inline const char kPlayScreen[] = R"(SetWindowName('game')
MakeDialog({ GGameWnd({ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl({ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 }),
  GSceneCtrl({ name = 'scene_ctrl', x = 0, y = 0, w = 800, h = 600 }) }) })
)";

// Every object is a 40 x 40 frame of the demo's marks from its position.
inline const char kPlaySquare[] = R"(<main id="square"><images><img name="marks.png"/></images>
<framelist><frame w="40" h="40"/></framelist><states><state id="normal" framelist="0"/></states>
</main>)";

class TLevelHarness : public TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        mGame.Write("assets/scripts/mainloop.lua", PlayMainLoop());
        mGame.Write("assets/scripts/game.lua", kPlayScreen);
        mGame.Write("assets/xml/square.xml", kPlaySquare);
        std::ifstream marks(testing_fixtures::SourceDir() / "assets/anim/common/marks.png",
                            std::ios::binary);
        mGame.Write("assets/anim/marks.png", std::string(std::istreambuf_iterator<char>(marks),
                                                         std::istreambuf_iterator<char>()));
        DrawEachTurn(true);
    }

    // The game data as the loader leaves it, the scene file "scripts/stages/scenes.lua" (whose
    // hooks may write to the journal too) and level 1 of the stage file.
    static void StartLevel() {
        GLogicalManager& manager = LogicalManager();
        manager.SetGameData(GObjectFactory::Instance().GetGameData());
        manager.LoadScenes("scripts/stages/scenes.lua");
        LuaPublish(manager.GetSceneScript()->GetState(), "Note", &Note);
        Script()->DoLuaString("CPP_LoadLevel(1, 0)");
    }

    // Input lines that drag what lies at (x, y) onto (px, py), from `at` ms on.
    static std::string Drag(int at, int x, int y, int px, int py) {
        const auto line = [](int ms, const char* verb, int a, int b) {
            return "at " + std::to_string(ms) + ": " + verb + " " + std::to_string(a) + " " +
                   std::to_string(b) + "\n";
        };
        // Two moves: a girl hovered takes the press, and hover passes on in the objects' order.
        return line(at, "move", x, y) + line(at + 10, "move", x + 1, y) +
               line(at + 20, "down", x, y) + line(at + 40, "move", x + 10, y + 10) +
               line(at + 80, "move", px, py) + line(at + 120, "move", px + 1, py) +
               line(at + 160, "up", px + 1, py);
    }
};

} // namespace game_harness
