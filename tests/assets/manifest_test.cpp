// The asset manifest: every file the engine and the game load by name exists in the demo folder
// and loads as its kind (pictures through the texture loader, scripts through the script
// compiler, texts non-empty). The sounds, strings, settings, cursors and visual objects are
// decoded in depth by their own tests. The demo ships no "xsell/xsell.xml" on purpose.

#include "engine/media/texture.h"
#include "engine/script/scriptcode.h"
#include "tests/assets/assets_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace assets_test {
namespace {

using testing_fixtures::SourceDir;

const char* const kNamedFiles[] = {
    // Engine start-up.
    "settings.xml", "strings.xml", "fonts/default.mvec",
    // The game's cursors.
    "cursor/cursor_def.png", "cursor/cursor_def_click.png", "cursor/cursor_def_want.png",
    "cursor/cursor_def_drag.png",
    // Sound effects (26 names, "happy" and "happy_xl" share one file) and music.
    "audio/sfx/typing.ogg", "audio/sfx/click.ogg", "audio/sfx/click_empty.ogg",
    "audio/sfx/sliding.ogg", "audio/sfx/action_done.ogg", "audio/sfx/grab.ogg",
    "audio/sfx/door_open.ogg", "audio/sfx/cry.ogg", "audio/sfx/fight.ogg",
    "audio/sfx/judging_bad.ogg", "audio/sfx/judging_ok.ogg", "audio/sfx/judging_great.ogg",
    "audio/sfx/drums.ogg", "audio/sfx/winner.ogg", "audio/sfx/slider_relief.ogg",
    "audio/sfx/girl_happy.ogg", "audio/sfx/girl_neutral.ogg", "audio/sfx/girl_sad.ogg",
    "audio/sfx/bottle_open.ogg", "audio/sfx/speed_power.ogg", "audio/sfx/hair_power.ogg",
    "audio/sfx/makeup_power.ogg", "audio/sfx/poise_power.ogg", "audio/sfx/goal_achieved.ogg",
    "audio/sfx/expert_achieved.ogg", "audio/music/gamemusic01.ogg", "audio/music/gamemusic02.ogg",
    "audio/music/gamemusic03.ogg", "audio/music/gamemusic04.ogg", "audio/music/gamemusic05.ogg",
    "audio/music/interface.ogg",
    // The main script and the dialogs the game main and the logical manager open.
    "scripts/mainloop.lua", "scripts/yesno.lua", "scripts/pause.lua", "scripts/stop_game.lua",
    // The loading and game screens with their dialogs.
    "scripts/loader.lua", "scripts/game.lua", "scripts/levelgoal.lua", "scripts/rule_window.lua",
    "scripts/rule_upgrade.lua",
    // Cheats' level jump and the power selection's icons.
    "scripts/jump_level.lua", "buttons/powers/soda.png", "buttons/powers/locked.png",
    // Powers and the buy dialog.
    "scripts/powers.lua", "scripts/buy.lua",
    // The levels and their particle scripts.
    "scripts/stages/stages.lua", "scripts/stages/game_datas.lua", "scripts/stages/scenes.lua",
    "particles/particle_fx1.lua", "particles/particle_fx9.lua", "particles/bess_total_shine.lua",
    // The selector and the end-of-level screens.
    "scripts/selector.lua", "scripts/selector_child.lua", "scripts/level_stats.lua",
    "scripts/level_award.lua", "scripts/level_try_again.lua",
    // Tutorials.
    "scripts/stages/tutorials.lua", "scripts/stages/tutorial_03.lua",
    // The front end.
    "scripts/mainmenu.lua", "scripts/options.lua", "scripts/hiscores.lua",
    "scripts/chooseplayer.lua", "scripts/newplayer.lua", "scripts/credits.lua", "credits.txt"};

// Every upgrade the demo offers for sale has a preview per level.
const char* const kBuyPreviews[] = {"assistant", "girl_upgrade", "makeup_seat",
                                    "pacifier_container"};

std::filesystem::path Demo(const std::string& name) {
    return SourceDir() / "assets" / name;
}

TEST_F(TDemoAssetsTest, EveryFileLoadedByNameExistsAndLoadsAsItsKind) {
    OpenDisplay(64, 64);
    std::vector<std::string> names(std::begin(kNamedFiles), std::end(kNamedFiles));
    for (const char* type : kBuyPreviews) {
        for (int level = 0; level < 3; ++level) {
            names.push_back("selector/buy_preview/buy_" + std::string(type) + "_" +
                            std::to_string(level) + ".png");
        }
    }
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(std::filesystem::is_regular_file(Demo(name)));
        EXPECT_GT(std::filesystem::file_size(Demo(name)), 0u);
        const std::string extension = Demo(name).extension().string();
        if (extension == ".png") {
            EXPECT_TRUE(TTexture::GetSimple(name.c_str()));
        } else if (extension == ".lua") {
            str error;
            EXPECT_TRUE(TScriptCode::Get(name.c_str(), str(), &error)) << Text(error);
        }
    }
}

TEST_F(TDemoAssetsTest, EveryObjectTypeScriptCompiles) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(Demo("scripts/objects"))) {
        const std::string name =
            entry.path().lexically_relative(SourceDir() / "assets").generic_string();
        SCOPED_TRACE(name);
        str error;
        EXPECT_TRUE(TScriptCode::Get(name.c_str(), str(), &error)) << Text(error);
        ++count;
    }
    EXPECT_GT(count, 0);
}

TEST_F(TDemoAssetsTest, NoCrossSellFileLeavesTheMachine) {
    EXPECT_FALSE(std::filesystem::exists(Demo("xsell/xsell.xml")));
}

} // namespace
} // namespace assets_test
