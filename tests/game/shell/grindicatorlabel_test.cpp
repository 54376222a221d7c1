// The pointer arrow on a fixture game screen: the pivot and turn of its descriptor, the frame it
// draws turned a quarter about its pivot, and nothing drawn for an image that does not load.

#include "game/shell/GRIndicatorLabel.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <gtest/gtest.h>

namespace indicatorlabel_test {

using gamewnd_test::TGameWndTest;

constexpr uint32_t kRed = 0xFF0000u;
constexpr uint32_t kGreen = 0x00FF00u;

// An arrow 40 x 10, red left of its pivot at x 20, green from it on, drawn at (50, 50) of a
// window at (10, 10).
std::string ArrowScreen(const char* image) {
    return std::string("GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600, "
                       "Label{ name = 'arrow', x = 10, y = 10, w = 100, h = 100, image = '") +
           image + "', xc = 50, yc = 50, angle = 90, length = 20 } }";
}

using IndicatorLabelTest = TGameWndTest;

TEST_F(IndicatorLabelTest, AQuarterTurnAboutThePivotPutsTheLeftPartAboveIt) {
    AddFile("arrow.png",
            widget_test::PatternPng(40, 10, [](int x, int) { return x < 20 ? kRed : kGreen; }));
    const std::string screen = ArrowScreen("arrow.png");
    OpenScreen(screen.c_str());
    auto* arrow = Find<GRIndicatorLabel>("arrow");
    ASSERT_NE(arrow, nullptr);
    EXPECT_TRUE(arrow->IsReady());
    const TDrawSpec& drawn = arrow->GetDrawSpec();
    EXPECT_FLOAT_EQ(drawn.mOrigin.x, 20.0f);
    EXPECT_FLOAT_EQ(drawn.mOrigin.y, 5.0f);
    EXPECT_FLOAT_EQ(drawn.mTransform.m[2][0], 50.0f);
    EXPECT_FLOAT_EQ(drawn.mTransform.m[2][1], 50.0f);
    EXPECT_EQ(drawn.mFlags, TDrawSpec::kUseOrigin);
    EXPECT_NEAR(drawn.mTransform.m[0][1], 1.0f, 1e-6);
    EXPECT_NEAR(drawn.mTransform.m[1][0], -1.0f, 1e-6);

    const standin::TScreenImage image = DrawFrame();
    testing_fixtures::ExpectGolden(image, "tests/game/shell/golden/label_90.png");
    const auto at = [&image](int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFFFFFFu;
    };
    // The pivot lands on (60, 60) of the screen; image x runs down the screen, image y leftward.
    EXPECT_EQ(at(60, 45), kRed);
    EXPECT_EQ(at(57, 42), kRed);
    EXPECT_EQ(at(60, 75), kGreen);
    EXPECT_EQ(at(63, 78), kGreen);
    for (const TPoint p : {TPoint{60, 37}, TPoint{60, 83}, TPoint{52, 60}, TPoint{68, 60},
                           TPoint{80, 60}, TPoint{40, 60}}) {
        EXPECT_NE(at(p.x, p.y), kRed) << p.x << "," << p.y;
        EXPECT_NE(at(p.x, p.y), kGreen) << p.x << "," << p.y;
    }
}

TEST_F(IndicatorLabelTest, AnImageThatDoesNotLoadDrawsNothing) {
    const std::string screen = ArrowScreen("missing.png");
    OpenScreen(screen.c_str());
    auto* arrow = Find<GRIndicatorLabel>("arrow");
    ASSERT_NE(arrow, nullptr);
    const standin::TScreenImage image = DrawFrame();
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint32_t rgb = image.pixels[i] & 0xFFFFFFu;
        ASSERT_NE(rgb, kRed) << i;
        ASSERT_NE(rgb, kGreen) << i;
    }
}

} // namespace indicatorlabel_test
