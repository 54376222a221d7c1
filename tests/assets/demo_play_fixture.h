// The demo played on the game harness: the game started on the demo folder with a fixed clock for
// the selector's moods, the way from the first menu into play on a level, and the player's clicks
// and keys on the named windows of the top screen.
#pragma once

#include "engine/ui/text.h"
#include "game/shell/GSelectMenu.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GPlayerInfo.h"
#include "tests/game/game_harness.h"

#include <gtest/gtest.h>

#include <string>

namespace assets_test {

inline int64_t FixedSeconds() {
    return 86400;
}

class TDemoPlayTest : public game_harness::TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        UseDemoAssets();
        GSelectMenu::SetSecondsClock(&FixedSeconds);
    }

    void TearDown() override {
        GSelectMenu::SetSecondsClock(nullptr);
        const std::string log = LogText();
        EXPECT_EQ(log.find("rror"), std::string::npos) << log;
        TGameHarness::TearDown();
    }

    // From the first menu, with a player made before it, into play on the level: "Play", the
    // level's button (every level offered), the level-goal dialog and the rules. A level with
    // offers starts the show from its upgrade phase without buying.
    // With `tutorialSeen` the player has seen the level's tutorial, which pauses the show.
    static void PlayLevel(int level, bool tutorialSeen = false) {
        AddPlayer("Tester");
        ASSERT_TRUE(RunFor(800));
        ASSERT_EQ(Top(), "mainmenu");
        if (tutorialSeen) {
            GPlayerInfo::Instance()->SetUserValue(str::FromFormat("tutorial_%02d", level), 1);
        }
        // The choice offers every level; the game asks the real progress again.
        Script()->DoLuaString("local real = GetCountLevel "
                              "function GetCountLevel() GetCountLevel = real return 4 end");
        Click("play");
        ASSERT_EQ(Top(), "levels");
        Click(("level_" + std::to_string(level)).c_str());
        ASSERT_EQ(Top(), "game");
        ASSERT_TRUE(RunFor(60, 30));
        for (int step = 0; step < 5 && (Top() != "game" || GameState() != 2); ++step) {
            if (Top() != "game") {
                Key(13);
            } else {
                Click("start_show");
                ASSERT_TRUE(RunFor(60, 30));
            }
        }
        ASSERT_EQ(Top(), "game");
        ASSERT_NE(Level(), nullptr);
        ASSERT_EQ(Level()->GetLevelNumber(), level);
        ASSERT_EQ(GameState(), 2);
    }

    static std::string Shown(const char* name) {
        TWindow* window = Find(name);
        if (window == nullptr || !window->IsKindOf(TText::ClassId())) {
            return "no text " + std::string(name);
        }
        return game_harness::Text(static_cast<TText*>(window)->GetText());
    }

    // A move, press and release in the middle of the named window of the top modal window, as
    // the player clicks; then two turns deliver what the press posted and the closes it caused.
    static void Click(const char* name) {
        TWindow* window = Find(name);
        ASSERT_NE(window, nullptr) << name << " in " << Top();
        const TRect rect = window->GetScreenRect();
        const std::string at = std::to_string((rect.left + rect.right) / 2) + " " +
                               std::to_string((rect.top + rect.bottom) / 2);
        ASSERT_TRUE(Play("at 0: move " + at + "\nat 10: down " + at + "\nat 20: up " + at));
        Turn();
        Turn();
    }

    static void Key(int character) {
        ASSERT_TRUE(Play("at 0: char " + std::to_string(character)));
        Turn();
        Turn();
    }

    static double Progress(const char* expression) {
        Script()->DoLuaString((std::string("gProbe = ") + expression).c_str());
        return Script()->GetGlobalNumber("gProbe");
    }
};

} // namespace assets_test
