// The movie player without an ActiveX host: Play fails and leaves everything as it was; Stop lets
// the game draw again and covers the screen with the root window's background.
#include "engine/media/flashplayer.h"
#include "tests/engine/media/cursor_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class FlashPlayerTest : public cursor_test::TCursorTest {};

TEST_F(FlashPlayerTest, PlayFailsAndLeavesEverythingAsItWas) {
    Open(320, 240);
    struct TCase {
        bool loop;
        bool localize;
        bool interactive;
        bool cursorVisible;
    };
    const TCase cases[] = {
        {false, false, false, true},
        {false, true, true, true},
        {true, false, true, false},
    };
    for (const TCase& test : cases) {
        SCOPED_TRACE(std::to_string(test.localize) + std::to_string(test.interactive) +
                     std::to_string(test.cursorVisible));
        TPlatform::GetInstance()->SetCursorVisible(test.cursorVisible);
        TFlashPlayer player("intro.swf");
        EXPECT_FALSE(player.Play(test.loop, test.localize, test.interactive));
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_EQ(mRecord->mCursorVisible, test.cursorVisible);
        EXPECT_EQ(GetWindow(mMain, GW_CHILD), nullptr);
        EXPECT_EQ(FindWindowA("AtlAxWin", nullptr), nullptr);
        EXPECT_FALSE(cursor_test::TCursorWindowManager::sSuspended);
        EXPECT_FALSE(cursor_test::TCursorWindowManager::sInputBlocked);
    }
}

TEST_F(FlashPlayerTest, StopDrawsOneFrameOfTheRootsBackground) {
    TDxDisplayHandler& handler = Open(320, 240);
    cursor_test::TCursorWindowManager::sHasRoot = true;
    cursor_test::TCursorWindowManager::sRoot = TRect{0, 0, 320, 240};
    cursor_test::TCursorWindowManager::sBackground = TColor{0.25f, 0.5f, 0.75f, 1.0f};
    standin::TakePresentCount();
    {
        TFlashPlayer player("intro.swf");
        EXPECT_FALSE(player.Play(false, false, false));
        cursor_test::TCursorWindowManager::sSuspended = true;
        player.Stop();
        EXPECT_FALSE(cursor_test::TCursorWindowManager::sSuspended);
        EXPECT_EQ(standin::TakePresentCount(), 1);
        const standin::TScreenImage screen = Screen();
        // 0.25, 0.5 and 0.75 of 255, truncated.
        EXPECT_EQ(screen.pixels.front(), 0xFF3F7FBFu);
        EXPECT_EQ(screen.pixels.back(), 0xFF3F7FBFu);

        // Deleting the player stops it as well.
        cursor_test::TCursorWindowManager::sSuspended = true;
        cursor_test::TCursorWindowManager::sBackground = TColor{0.0f, 0.0f, 1.0f, 1.0f};
    }
    EXPECT_FALSE(cursor_test::TCursorWindowManager::sSuspended);
    EXPECT_EQ(Screen().pixels.front(), 0xFF0000FFu);
    EXPECT_TRUE(handler.IsReady());
}

TEST_F(FlashPlayerTest, StopWithoutARootDrawsNothing) {
    Open(320, 240);
    standin::TakePresentCount();
    TFlashPlayer player(nullptr);
    cursor_test::TCursorWindowManager::sSuspended = true;
    player.Stop();
    EXPECT_FALSE(cursor_test::TCursorWindowManager::sSuspended);
    EXPECT_EQ(standin::TakePresentCount(), 0);
    EXPECT_EQ(Differences(Screen(), Expected()), 0);
}

} // namespace
