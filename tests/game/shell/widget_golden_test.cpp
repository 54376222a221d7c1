// Golden frames of the game screen's small windows on the 160 x 120 fixture display: the large
// hint of an item above the player's money, a small hint one tick into its flight, and a fly text
// ten ticks into an upward flight. Solid images make the pixels easy to work out by hand; the
// texts are checked by where their pixels may be.

#include "game/shell/GFlyText.h"
#include "game/shell/GHintPanel.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <gtest/gtest.h>

namespace widget_golden_test {

using gamewnd_test::TGameWndTest;

constexpr uint32_t kPanel = 0x203060u;
constexpr uint32_t kBottom = 0xC03030u;
constexpr uint32_t kChip = 0xE0A000u;

class WidgetGoldenTest : public TGameWndTest {
protected:
    void Solid(const char* name, int width, int height, uint32_t rgb) {
        AddFile(name, widget_test::PatternPng(width, height, [rgb](int, int) { return rgb; }));
    }

    // The frame, checked against the golden PNG of that name.
    standin::TScreenImage Golden(const char* name) {
        standin::TScreenImage image = DrawFrame();
        testing_fixtures::ExpectGolden(image, std::string("tests/game/shell/golden/") + name);
        return image;
    }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFFFFFFu;
    }

    // Pixels of the rectangle (right and bottom excluded) that are not the colour.
    static int CountOther(const standin::TScreenImage& image, TRect rect, uint32_t rgb) {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y) {
            for (int x = rect.left; x < rect.right; ++x) {
                count += At(image, x, y) != rgb ? 1 : 0;
            }
        }
        return count;
    }
};

// A 140 x 100 panel at (10, 10) costing 500 with 120 to spend: its 140 x 20 bottom strip at panel
// (0, 80) and the note in (4, 52)-(136, 72) show, the 140 x 4 top strip and the recommendation in
// (80, 28)-(136, 48) do not.
TEST_F(WidgetGoldenTest, ALargeHintAboveThePlayersMoney) {
    Solid("hint_bg.png", 140, 100, kPanel);
    Solid("bottom.png", 140, 20, kBottom);
    Solid("top.png", 140, 4, 0x30C030u);
    OpenScreen(R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 160, h = 120,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 160, h = 120 },
  GHintPanel{ name = 'hint_panel', x = 10, y = 10, w = 140, h = 100, image = 'hint_bg.png',
    Text{ name = 'hint_caption', x = 4, y = 4, w = 132, h = 20, label = '' },
    Text{ name = 'item_cost', x = 4, y = 28, w = 60, h = 20, label = '' },
    Text{ name = 'recomend_text', x = 80, y = 28, w = 56, h = 20, label = 'Best' },
    Text{ name = 'coment_text', x = 4, y = 52, w = 132, h = 20, label = 'Too dear' },
    Bitmap{ name = 'hint_top', x = 0, y = 0, image = 'top.png' },
    Bitmap{ name = 'hint_bottom', x = 0, y = 80, image = 'bottom.png' } } })");
    auto* panel = Find<GHintPanel>("hint_panel");
    ASSERT_NE(panel, nullptr);
    panel->SetCaption("Chair");
    panel->SetCost(500);
    panel->SetRecommended(false);
    panel->Refresh();
    const standin::TScreenImage image = Golden("hint_large.png");

    EXPECT_EQ(At(image, 10, 10), kPanel) << "no top strip";
    EXPECT_EQ(At(image, 149, 11), kPanel);
    EXPECT_EQ(At(image, 10, 89), kPanel);
    EXPECT_EQ(At(image, 10, 90), kBottom);
    EXPECT_EQ(At(image, 149, 109), kBottom);
    EXPECT_EQ(At(image, 150, 109), 0u);
    EXPECT_EQ(At(image, 9, 10), 0u);
    EXPECT_GT(CountOther(image, TRect{14, 14, 146, 34}, kPanel), 0) << "the caption";
    EXPECT_GT(CountOther(image, TRect{14, 38, 74, 58}, kPanel), 0) << "the cost";
    EXPECT_EQ(CountOther(image, TRect{90, 38, 146, 58}, kPanel), 0) << "no recommendation";
    EXPECT_GT(CountOther(image, TRect{14, 62, 146, 82}, kPanel), 0) << "the note";
}

// A 160 x 100 small panel at (0, 90) with the vector (0, -10) and a 60 x 20 background chip,
// centred on its point (80, 50): panel (50, 40). Flown up with amount 3 it moves 30 at once and 30
// on the first tick, so the chip covers (50, 70)-(109, 89) and the text starts at row 30.
TEST_F(WidgetGoldenTest, ASmallHintInFlight) {
    Solid("chip.png", 60, 20, kChip);
    OpenScreen(R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 160, h = 120,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 160, h = 120 },
  GSmallHintPanel{ name = 'small_hint_panel', x = 0, y = 90, w = 160, h = 100, vector_y = -10,
    image_1 = 'chip.png', FontColorFlyUp = { 1, 1, 1, 1 },
    Text{ name = 'small_hint_descript', x = 10, y = 0, w = 140, h = 20, label = '' },
    Bitmap{ name = 'hint_bg', x = 0, y = 0, w = 10, h = 10 } } })");
    auto* panel = Find<GSmallHintPanel>("small_hint_panel");
    ASSERT_NE(panel, nullptr);
    panel->SetDescription("+25");
    panel->SetBackground(1);
    panel->Fly(1, 3, true);
    Tick(GHintPanel::kTickMs);
    ASSERT_EQ(panel->GetRect().top, 30);
    const standin::TScreenImage image = Golden("hint_small_flying.png");

    EXPECT_EQ(At(image, 50, 70), kChip);
    EXPECT_EQ(At(image, 109, 89), kChip);
    EXPECT_EQ(At(image, 49, 70), 0u);
    EXPECT_EQ(At(image, 110, 89), 0u);
    EXPECT_EQ(At(image, 50, 69), 0u);
    EXPECT_EQ(At(image, 50, 90), 0u);
    EXPECT_GT(CountOther(image, TRect{10, 30, 150, 50}, 0u), 0) << "the text";
    EXPECT_EQ(CountOther(image, TRect{0, 0, 160, 30}, 0u), 0) << "nothing above the panel";
    EXPECT_EQ(CountOther(image, TRect{0, 90, 160, 120}, 0u), 0) << "nothing left behind";
}

// A fly text placed at (50, 80) and flown up 30 steps in yellow: Fly moves it 29 x 0.05 at once
// and ten ticks 28 x 0.05 down to 19 x 0.05, 13.2 pixels in all, so its window stands at row 66.
TEST_F(WidgetGoldenTest, AFlyTextTenTicksIntoItsFlight) {
    OpenScreen(R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 160, h = 120,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 160, h = 120 },
  GFlyText{ name = 'fly', x = 0, y = 0, w = 60, h = 20, label = '',
            FontColorFlyUp = { 1, 1, 0, 1 } } })");
    auto* fly = Find<GFlyText>("fly");
    ASSERT_NE(fly, nullptr);
    fly->SetText("+25");
    fly->GetMobile().SetPosition(50.0f, 80.0f);
    fly->Fly(1, 30);
    for (int tick = 0; tick < 10; ++tick) {
        Tick(GFlyText::kTickMs);
    }
    ASSERT_EQ(fly->GetRect().top, 66);
    const standin::TScreenImage image = Golden("fly_text.png");

    int yellow = 0;
    for (int y = 66; y < 86; ++y) {
        for (int x = 50; x < 110; ++x) {
            const uint32_t rgb = At(image, x, y);
            // Antialiased edges blend toward black; blue stays out of a yellow text.
            EXPECT_EQ(rgb & 0xFFu, 0u) << x << "," << y;
            yellow += rgb == 0xFFFF00u ? 1 : 0;
        }
    }
    EXPECT_GT(yellow, 0) << "the up colour";
    EXPECT_EQ(CountOther(image, TRect{0, 0, 160, 66}, 0u), 0);
    EXPECT_EQ(CountOther(image, TRect{0, 86, 160, 120}, 0u), 0);
    EXPECT_EQ(CountOther(image, TRect{0, 66, 50, 86}, 0u), 0);
}

} // namespace widget_golden_test
