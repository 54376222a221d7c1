// The game harness itself: scripted input reaches the game at its times on the fake clock, a
// script line it does not know fails, and the null sound device hands over what the game played.

#include "game/world/GSoundEffects.h"
#include "tests/game/game_harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest-spi.h>

#include <algorithm>
#include <cstdlib>

namespace harness_test {

using namespace game_harness;
using testing::ElementsAre;

class TGameHarnessTest : public TGameHarness {};

// The fixture's game screen has the control probe, which notes the releases that reach it; the
// game main first releases the game's listeners through the hooks.
TEST_F(TGameHarnessTest, ScriptedInputArrivesAtItsTimes) {
    TTestHooks hooks;
    UseHooks(&hooks);
    RunGame(
        [this](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "game");
            Take();
            const uint32_t start = TPlatform::GetTime();
            ASSERT_TRUE(Play("at 120: move 40 30\n"
                             "at 125: down 40 30\n"
                             "\n"
                             "at 300: up 41 32\n"));
            EXPECT_EQ(TPlatform::GetTime() - start, 300u) << "the clock moved as the script did";
            EXPECT_THAT(Take(), ElementsAre("outside release game_ctrl", "game_ctrl up 41,32"));
            EXPECT_TRUE(Play("at 10: key 65\nat 20: char 97\nat 30: activate 1"));
            EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(Play("at 10: jump 3 4")), "no such input");
            EXPECT_NONFATAL_FAILURE(EXPECT_FALSE(Play("down 3 4")), "not an input line");
        },
        {{"firstscreen", "scripts/game.lua"}});
}

TEST_F(TGameHarnessTest, TheNullDeviceHandsOverWhatTheGamePlayed) {
    UseDemoAssets();
    RunGame([](TPlatform*, GGameMain&) {
        TakeSound(4410);
        const std::vector<std::int16_t> quiet = TakeSound(4410);
        ASSERT_EQ(quiet.size(), 2u * 4410) << "stereo frames";
        EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [](std::int16_t s) { return s == 0; }))
            << "nothing plays before the sound";
        ASSERT_TRUE(GSoundEffects::Instance()->Play("click"));
        const std::vector<std::int16_t> click = TakeSound(4410);
        EXPECT_TRUE(std::any_of(click.begin(), click.end(), [](std::int16_t s) { return s != 0; }));
    });
}

// The loop does not draw while the test runs it; the screen is drawn when asked for.
TEST_F(TGameHarnessTest, TheScreenIsDrawnWhenAskedFor) {
    UseDemoAssets();
    RunGame([](TPlatform*, GGameMain&) {
        AddPlayer("Tester");
        ASSERT_TRUE(RunFor(800));
        ASSERT_EQ(Top(), "mainmenu");
        const standin::TScreenImage screen = Screen();
        ASSERT_EQ(screen.width, 800);
        ASSERT_EQ(screen.height, 600);
        // The menu's background at row 300 (as in its golden frame), far from the cursor.
        EXPECT_EQ(screen.pixels[300 * 800 + 5] & 0xFFFFFFu, 0x5C1E4Fu);
        EXPECT_EQ(Frame().pixels[300 * 800 + 5], screen.pixels[300 * 800 + 5]);
    });
}

} // namespace harness_test
