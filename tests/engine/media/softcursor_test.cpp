// The software cursor on a headless screen holding a pattern: what it covers comes back exactly,
// whatever the moves, presents, flips and restores in between.
#include "engine/core/task.h"
#include "engine/media/directx.h"
#include "tests/engine/media/cursor_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

class SoftCursorTest : public cursor_test::TCursorTest {
protected:
    static constexpr int kHotX = 3;
    static constexpr int kHotY = 2;

    // A windowed display with the arrow as the game's cursor image.
    TDxDisplayHandler& OpenWithArrow(int width = 320, int height = 240, bool fullscreen = false) {
        TDxDisplayHandler& handler = Open(width, height, fullscreen);
        mArrow = cursor_test::ArrowImage();
        EXPECT_TRUE(handler.SetCursorImage(Texture("arrow.png", mArrow), kHotX, kHotY, false));
        return handler;
    }

    // The screen against the pattern with the arrow at (x, y), or without it.
    void ExpectArrowAt(int x, int y, const std::string& where) {
        EXPECT_EQ(Differences(Screen(), Expected(&mArrow, x, y, kHotX, kHotY)), 0) << where;
    }
    void ExpectNoArrow(const std::string& where) {
        EXPECT_EQ(Differences(Screen(), Expected()), 0) << where;
    }

    cursor_test::TImage mArrow;
};

TEST_F(SoftCursorTest, MovesLeaveEveryOtherPixelAlone) {
    OpenWithArrow();
    ExpectNoArrow("before any move");
    // Far apart, overlapping to the lower right and to the upper left, at the edges of the
    // client area (cut there), and back.
    const TPoint moves[] = {{50, 40},   {55, 45}, {58, 44},   {52, 38}, {200, 100},
                            {205, 103}, {0, 0},   {318, 238}, {1, 239}, {60, 50}};
    for (const TPoint& move : moves) {
        MoveMouse(move.x, move.y);
        ExpectArrowAt(move.x, move.y,
                      "after a move to " + std::to_string(move.x) + ", " + std::to_string(move.y));
    }
    ExpectGolden(Screen(), "cursor_moves.png");
    // Checked by hand: the pattern beside the cursor, and the arrow's tip and a later pixel
    // (x 2, y 5 of the image: red 255, green 32, blue 80 show as 254, 31, 79).
    const cursor_test::TScreen screen = Screen();
    const TPoint origin = ClientOrigin();
    EXPECT_EQ(screen.pixels[40 * 320 + 40],
              cursor_test::PatternPixel(origin.x + 40, origin.y + 40));
    EXPECT_EQ(screen.pixels[48 * 320 + 57], 0xFFFE0000u);
    EXPECT_EQ(screen.pixels[53 * 320 + 59], 0xFFFE1F4Fu);
    // Above the diagonal the image is transparent.
    EXPECT_EQ(screen.pixels[48 * 320 + 58],
              cursor_test::PatternPixel(origin.x + 58, origin.y + 48));

    Handler().RemoveCursorImage();
    ExpectNoArrow("after the cursor was removed");
}

TEST_F(SoftCursorTest, AnImageWithNothingDrawnStillSavesAndRestores) {
    TDxDisplayHandler& handler = Open(320, 240);
    ASSERT_TRUE(handler.SetCursorImage(
        Texture("empty.png", cursor_test::SolidImage(16, 16, cursor_test::kMagenta)), 0, 0, false));
    MoveMouse(100, 100);
    ExpectNoArrow("drawn");
    // The screen changes under the cursor; the next move puts back what the cursor saved.
    const TPoint origin = ClientOrigin();
    FillSurface(Front(), [&](int x, int y) {
        const bool under =
            x >= origin.x + 100 && x < origin.x + 116 && y >= origin.y + 100 && y < origin.y + 116;
        return under ? 0xFF123456u : cursor_test::PatternPixel(x, y);
    });
    MoveMouse(150, 150);
    ExpectNoArrow("moved away");
}

TEST_F(SoftCursorTest, TheThreadDrawsAPlacedCursorEvery16Ms) {
    TDxDisplayHandler& handler = OpenWithArrow();
    // Not placed: nothing to draw, and x -1 sends the thread to its long sleep.
    handler.ResetCursorState();
    PutMouse(30, 30);
    standin::AdvanceTime(100);
    EXPECT_EQ(handler.UpdateCursor(-1, -1).x, -1);
    ExpectNoArrow("before the first move");

    MoveMouse(40, 40);
    ExpectArrowAt(40, 40, "placed by a move");
    PutMouse(80, 60);
    standin::AdvanceTime(15);
    EXPECT_EQ(handler.UpdateCursor(-1, -1), (TPoint{40, 40}));
    ExpectArrowAt(40, 40, "15 ms after the last draw");
    standin::AdvanceTime(1);
    EXPECT_EQ(handler.UpdateCursor(-1, -1), (TPoint{80, 60}));
    ExpectArrowAt(80, 60, "16 ms after the last draw");
    // Not moved: nothing to do, however late.
    standin::AdvanceTime(50);
    EXPECT_EQ(handler.UpdateCursor(-1, -1), (TPoint{80, 60}));
    ExpectArrowAt(80, 60, "not moved");
}

TEST_F(SoftCursorTest, OnVistaOnlyTheThreadDrawsAWindowedCursor) {
    standin::SetWindowsVersion(6, 0);
    ForgetWindowsVersion();
    TDxDisplayHandler& handler = OpenWithArrow();
    MoveMouse(40, 40);
    ExpectNoArrow("a move");
    standin::AdvanceTime(16);
    handler.UpdateCursor(-1, -1);
    ExpectArrowAt(40, 40, "the thread's update");
}

TEST_F(SoftCursorTest, AtTheDesktopsEdgeTheNextFrameDrawsTheCursor) {
    TDxDisplayHandler& handler = OpenWithArrow();
    // The client area's right edge on the desktop's (1024).
    RECT frame{};
    GetWindowRect(mMain, &frame);
    const TPoint origin = ClientOrigin();
    const int shift = 1024 - (origin.x + 320);
    SetWindowPos(mMain, nullptr, frame.left + shift, frame.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    UntilIdle();
    FillPattern(Front());

    const int before = cursor_test::TCursorWindowManager::sInvalidates;
    // 16 pixels wide from x - 3: past 1024 at 310, inside at 300.
    MoveMouse(310, 50);
    EXPECT_EQ(ClientOrigin().x + 320, 1024);
    ExpectNoArrow("past the desktop's edge");
    EXPECT_GT(cursor_test::TCursorWindowManager::sInvalidates, before);
    MoveMouse(300, 50);
    ExpectArrowAt(300, 50, "inside the desktop");

    // The cursor thread asks for the frame through a paint message: the window manager is the
    // main thread's.
    PutMouse(312, 60);
    standin::AdvanceTime(16);
    const int beforeThread = cursor_test::TCursorWindowManager::sInvalidates;
    std::thread([&handler] { handler.UpdateCursor(-1, -1); }).join();
    EXPECT_EQ(cursor_test::TCursorWindowManager::sInvalidates, beforeThread);
    UntilIdle();
    EXPECT_GT(cursor_test::TCursorWindowManager::sInvalidates, beforeThread);
    ExpectArrowAt(300, 50, "not drawn by the thread");
}

TEST_F(SoftCursorTest, AWindowedPresentLeavesTheCursorOnTheScreenOnly) {
    TDxDisplayHandler& handler = OpenWithArrow();
    // The frame: the pattern of the screen shifted to the client area's place.
    const TPoint origin = ClientOrigin();
    FillSurface(Back(), [&](int x, int y) {
        return cursor_test::PatternPixel(origin.x + x, origin.y + y);
    });
    MoveMouse(70, 80);
    FillPattern(Front());

    ASSERT_TRUE(handler.BeginDraw(false));
    EXPECT_EQ(handler.EndDraw(true), DD_OK);
    ExpectArrowAt(70, 80, "presented");
    const cursor_test::TScreen back = standin::ReadSurface(Back());
    EXPECT_EQ(Differences(back, Expected()), 0) << "the back buffer keeps the frame";

    // The thread moves it on from the screen, putting back what the frame had there.
    PutMouse(74, 83);
    standin::AdvanceTime(16);
    handler.UpdateCursor(-1, -1);
    ExpectArrowAt(74, 83, "moved by the thread");
    ASSERT_TRUE(handler.BeginDraw(false));
    EXPECT_EQ(handler.EndDraw(true), DD_OK);
    ExpectArrowAt(74, 83, "presented again");
}

TEST_F(SoftCursorTest, AFullScreenFrameStartsFromTheScreenWithoutTheCursor) {
    TDxDisplayHandler& handler = OpenWithArrow(640, 480, true);
    ASSERT_EQ(ClientOrigin(), (TPoint{0, 0}));
    MoveMouse(100, 90);
    ExpectArrowAt(100, 90, "drawn on the screen");

    ASSERT_TRUE(handler.BeginDraw(true));
    EXPECT_EQ(Differences(standin::ReadSurface(Back()), Expected()), 0)
        << "the frame starts as the screen shows, less the cursor";
    ExpectArrowAt(100, 90, "still on the screen");
    EXPECT_EQ(handler.EndDraw(true), DD_OK);
    ExpectArrowAt(100, 90, "flipped");

    // After the flip the thread finds the cursor on the screen and moves it from there.
    PutMouse(104, 95);
    standin::AdvanceTime(16);
    handler.UpdateCursor(-1, -1);
    ExpectArrowAt(104, 95, "moved after the flip");

    // While the last flip is still being drawn the thread waits; while the game is minimised
    // nothing draws at all.
    standin::SetFault(nullptr, "IDirectDrawSurface7::GetFlipStatus", DDERR_WASSTILLDRAWING, false);
    PutMouse(120, 100);
    standin::AdvanceTime(16);
    handler.UpdateCursor(-1, -1);
    ExpectArrowAt(104, 95, "the flip still drawing");
    standin::ClearFaults();
    mRecord->mInactiveInFullScreen = true;
    MoveMouse(130, 100);
    ExpectArrowAt(104, 95, "inactive");
    mRecord->mInactiveInFullScreen = false;
    MoveMouse(104, 95);

    ASSERT_TRUE(handler.BeginDraw(true));
    EXPECT_EQ(Differences(standin::ReadSurface(Back()), Expected()), 0) << "next frame";
    handler.EndDraw(true);
}

TEST_F(SoftCursorTest, ALostSurfaceStopsTheCursorUntilTheNextFrame) {
    TDxDisplayHandler& handler = OpenWithArrow();
    MoveMouse(40, 40);
    // The save of the next draw finds its surface lost.
    standin::SetFault(nullptr, "IDirectDrawSurface7::Blt", DDERR_SURFACELOST);
    MoveMouse(60, 50);
    ExpectArrowAt(40, 40, "lost");
    PutMouse(100, 100);
    standin::AdvanceTime(16);
    handler.UpdateCursor(-1, -1);
    ExpectArrowAt(40, 40, "the thread while lost");

    // The next frame makes the cursor's surfaces anew and draws it with the frame.
    const TPoint origin = ClientOrigin();
    FillSurface(Back(), [&](int x, int y) {
        return cursor_test::PatternPixel(origin.x + x, origin.y + y);
    });
    ASSERT_TRUE(handler.BeginDraw(false));
    EXPECT_EQ(handler.EndDraw(true), DD_OK);
    ExpectArrowAt(100, 100, "the next frame");
    MoveMouse(110, 104);
    ExpectArrowAt(110, 104, "moved again");
}

// Short of video memory, the cursor's surfaces are asked for once more after the managed textures
// were evicted; when that fails too there is no software cursor from then on.
TEST_F(SoftCursorTest, ShortOfVideoMemory) {
    TDxDisplayHandler& handler = Open(320, 240);
    mArrow = cursor_test::ArrowImage();
    const TTexturePtr arrow = Texture("arrow.png", mArrow);
    standin::SetFault(nullptr, "IDirectDraw7::CreateSurface", DDERR_OUTOFVIDEOMEMORY);
    ASSERT_TRUE(handler.SetCursorImage(arrow, kHotX, kHotY, false));
    MoveMouse(40, 40);
    ExpectArrowAt(40, 40, "the second try");

    standin::SetFault(nullptr, "IDirectDraw7::CreateSurface", DDERR_OUTOFVIDEOMEMORY, false);
    EXPECT_TRUE(handler.SetCursorImage(arrow, kHotX, kHotY, false));
    standin::ClearFaults();
    const int before = cursor_test::TCursorWindowManager::sInvalidates;
    MoveMouse(80, 60);
    ExpectNoArrow("no cursor surfaces");
    EXPECT_GT(cursor_test::TCursorWindowManager::sInvalidates, before);
    EXPECT_TRUE(handler.SetCursorImage(arrow, kHotX, kHotY, false));
    MoveMouse(90, 60);
    ExpectNoArrow("for good");
}

TEST_F(SoftCursorTest, LeavingTheWindowTakesTheCursorAway) {
    OpenWithArrow();
    MoveMouse(120, 100);
    ExpectArrowAt(120, 100, "inside");
    const int before = cursor_test::TCursorWindowManager::sInvalidates;
    standin::InjectMessage(mMain, WM_MOUSELEAVE, 0, 0);
    UntilIdle();
    ExpectNoArrow("left the window");
    EXPECT_GT(cursor_test::TCursorWindowManager::sInvalidates, before);
    // The thread has nothing to draw until the mouse comes back.
    standin::AdvanceTime(100);
    EXPECT_EQ(Handler().UpdateCursor(-1, -1).x, -1);
    ExpectNoArrow("the thread after leaving");
    MoveMouse(130, 110);
    ExpectArrowAt(130, 110, "back inside");
}

TEST_F(SoftCursorTest, HiddenCursorIsTakenAwayAndComesBackWithTheFrame) {
    TDxDisplayHandler& handler = OpenWithArrow();
    MoveMouse(120, 100);
    TPlatform::GetInstance()->SetCursorVisible(false);
    ExpectNoArrow("hidden");
    MoveMouse(125, 100);
    ExpectNoArrow("moved while hidden");
    TPlatform::GetInstance()->SetCursorVisible(true);
    const TPoint origin = ClientOrigin();
    FillSurface(Back(), [&](int x, int y) {
        return cursor_test::PatternPixel(origin.x + x, origin.y + y);
    });
    ASSERT_TRUE(handler.BeginDraw(false));
    handler.EndDraw(true);
    ExpectArrowAt(125, 100, "shown again");
}

// The system image (with alpha) takes over from the game's while it is set; switching it off shows
// the game's image at once, with its own hot spot.
TEST_F(SoftCursorTest, TheSystemImageOverTheGamesImage) {
    TDxDisplayHandler& handler = OpenWithArrow();
    MoveMouse(60, 60);
    const cursor_test::TImage blue = cursor_test::SolidImage(8, 8, 0xFF0000FFu);
    ASSERT_TRUE(handler.SetCursorImage(Texture("blue.png", blue), 0, 0, true));
    cursor_test::TScreen expected = Expected();
    Compose(&expected, blue, 60, 60);
    EXPECT_EQ(Differences(Screen(), expected), 0) << "the system image, drawn at once";

    // A new game image waits under the system image.
    ASSERT_TRUE(handler.SetCursorImage(Texture("arrow2.png", mArrow), kHotX, kHotY, false));
    MoveMouse(61, 60);
    expected = Expected();
    Compose(&expected, blue, 61, 60);
    EXPECT_EQ(Differences(Screen(), expected), 0) << "still the system image";

    ASSERT_TRUE(handler.SetCursorImage(TTexturePtr(), 0, 0, true));
    ExpectArrowAt(61, 60, "system image off");
}

// While a movie covers the screen the thread leaves it alone, and a display restore only forgets
// that the cursor was drawn: the movie covered it.
TEST_F(SoftCursorTest, AMovieOnTheScreen) {
    TDxDisplayHandler& handler = StartDisplay(320, 240, false);
    FillPattern(Front());
    mArrow = cursor_test::ArrowImage();
    ASSERT_TRUE(handler.SetCursorImage(Texture("arrow.png", mArrow), kHotX, kHotY, false));
    MoveMouse(40, 40);
    ExpectArrowAt(40, 40, "placed");

    cursor_test::TCursorWindowManager::sSuspended = true;
    PutMouse(90, 90);
    standin::AdvanceTime(100);
    // Two turns of the thread while the movie shows.
    const int queries = cursor_test::TCursorWindowManager::sSuspendedQueries;
    ASSERT_TRUE(WaitUntil(
        [&] { return cursor_test::TCursorWindowManager::sSuspendedQueries >= queries + 2; }));
    mRecord->StopCursorThread();
    ExpectArrowAt(40, 40, "the thread left the screen alone");

    TPlatform::GetInstance()->GetRestoreTaskList()->Run(0);
    ExpectArrowAt(40, 40, "restored during the movie");
    cursor_test::TCursorWindowManager::sSuspended = false;
    // The old image is not put back: what the cursor had saved belonged to the game's screen.
    MoveMouse(150, 150);
    cursor_test::TScreen expected = Expected(&mArrow, 40, 40, kHotX, kHotY);
    Compose(&expected, mArrow, 150 - kHotX, 150 - kHotY);
    EXPECT_EQ(Differences(Screen(), expected), 0);
}

// A restore for a display of another depth re-applies both images in its format.
TEST_F(SoftCursorTest, AfterADeviceLossBothImagesComeBack) {
    TDxDisplayHandler& handler = OpenWithArrow();
    const cursor_test::TImage blue = cursor_test::SolidImage(8, 8, 0xFF0000FFu);
    ASSERT_TRUE(handler.SetCursorImage(Texture("blue.png", blue), 0, 0, true));
    MoveMouse(60, 60);

    // Another program puts the desktop into 16 bits: the display is rebuilt at that depth.
    standin::SimulateDisplayModeChange(standin::TDisplayMode{1024, 768, 16, 60});
    handler.MarkLost();
    handler.Restore();
    ASSERT_TRUE(handler.IsReady());
    ASSERT_EQ(ScreenBits(), 16u);
    mRecord->StopCursorThread();
    DDBLTFX black{};
    black.dwSize = sizeof black;
    ASSERT_EQ(Front()->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &black), DD_OK);

    // Runs of the 32-bit display would put 16-bit products into 5- and 6-bit fields: opaque
    // blue would show as blue 1 of 31, the arrow's green 32 as 63 of 63. (The textures have
    // 4 bits a channel now, so full channels show a little below 255.)
    MoveMouse(30, 30);
    cursor_test::TScreen screen = Screen();
    const uint32_t shown = screen.pixels[static_cast<size_t>(32 * screen.width + 32)];
    EXPECT_EQ(shown & 0xFFFF00u, 0u);
    EXPECT_GE(shown & 0xFFu, 0xC0u);

    ASSERT_TRUE(handler.SetCursorImage(TTexturePtr(), 0, 0, true));
    screen = Screen();
    // The arrow's tip (red 255) and its pixel x 2, y 5 (red 255, green 32, blue 80).
    const uint32_t tip = screen.pixels[static_cast<size_t>(28 * screen.width + 27)];
    EXPECT_GE(tip >> 16 & 0xFF, 0xC0u);
    EXPECT_EQ(tip & 0xFFFFu, 0u);
    const uint32_t inside = screen.pixels[static_cast<size_t>(33 * screen.width + 29)];
    EXPECT_LT(inside >> 8 & 0xFF, 0x40u);
    EXPECT_GE(inside & 0xFF, 0x40u);
    EXPECT_LT(inside & 0xFF, 0x60u);
}

TEST_F(SoftCursorTest, ASecondRestoreFromWithinTheFirstReturnsAtOnce) {
    TDxDisplayHandler& handler = OpenWithArrow();
    TDXContext& context = Context();
    cursor_test::TCursorWindowManager::sOnQuery = [&context] { context.RestoreMouseImage(); };
    context.RestoreMouseImage();
    EXPECT_TRUE(Logged("Second concurrent call to RestoreMouseImage"));
    // The first one went on: the cursor draws.
    MoveMouse(50, 50);
    ExpectArrowAt(50, 50, "after the restore");
    EXPECT_TRUE(handler.IsReady());
}

} // namespace
