// The cursor thread drawing as fast as it can while the main thread presents frames: at every
// checkpoint the screen holds the frame and one whole cursor, nothing else. Also run under
// ThreadSanitizer.
#include "engine/media/mouselock.h"
#include "tests/engine/media/cursor_fixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

class CursorThreadTest : public cursor_test::TCursorTest {};

TEST_F(CursorThreadTest, DrawingAtFullRateBesidePresents) {
    TDxDisplayHandler& handler = Open(320, 240);
    const cursor_test::TImage arrow = cursor_test::ArrowImage();
    ASSERT_TRUE(handler.SetCursorImage(Texture("arrow.png", arrow), 3, 2, false));
    const TPoint origin = ClientOrigin();
    FillSurface(Back(), [&](int x, int y) {
        return cursor_test::PatternPixel(origin.x + x, origin.y + y);
    });
    MoveMouse(100, 100);

    // The screen with the cursor at (x, y), read while the thread cannot draw.
    auto expectCursorAt = [&](int x, int y, const std::string& when) {
        const TMouseLock hold(Context().GetMouseMutex());
        EXPECT_EQ(Differences(Screen(), Expected(&arrow, x, y, 3, 2)), 0) << when;
    };

    std::atomic<bool> stop{false};
    std::atomic<int> turns{0};
    std::thread thread([&] {
        while (!stop) {
            // Every turn is 16 ms later: each one may draw.
            standin::AdvanceTime(16);
            const TDisplayLinkUse display;
            display->UpdateCursor(-1, -1);
            ++turns;
        }
    });
    // Overlapping steps, jumps, and the client area's edges.
    const TPoint path[] = {{100, 100}, {104, 103}, {101, 98},  {250, 30},  {252, 33},
                           {0, 0},     {5, 4},     {318, 238}, {160, 120}, {158, 125}};
    for (int round = 0; round < 6; ++round) {
        for (size_t i = 0; i + 1 < std::size(path); i += 2) {
            const TPoint byThread = path[i];
            const TPoint byFrame = path[i + 1];
            PutMouse(byThread.x, byThread.y);
            const int seen = turns;
            ASSERT_TRUE(WaitUntil([&] { return turns >= seen + 2; }));
            expectCursorAt(byThread.x, byThread.y, "drawn by the thread");

            PutMouse(byFrame.x, byFrame.y);
            ASSERT_TRUE(handler.BeginDraw(false));
            ASSERT_EQ(handler.EndDraw(true), DD_OK);
            expectCursorAt(byFrame.x, byFrame.y, "presented");
        }
    }
    stop = true;
    thread.join();

    Handler().RemoveCursorImage();
    EXPECT_EQ(Differences(Screen(), Expected()), 0) << "nothing of any cursor is left";
}

} // namespace
