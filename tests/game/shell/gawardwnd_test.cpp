// The award ceremony on fixture levels: the crown's two runs and the reveal tick by tick, the
// timer's period for few and many girls, the "girl_x_y" pairs, the winner's index and a level
// without girls; the girls' visuals leave their draw list before the window deletes them.
#include "tests/game/shell/levelend_fixture.h"

#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "game/visual/GVLayer.h"

#include <gtest/gtest.h>

namespace levelend_test {
namespace {

// The winner's spot (400, 300), then one pair per girl; the crown stands 5 right of and 20 above a
// girl's position.
std::string AwardLayout(const std::string& pairs) {
    return "GAwardWnd{ name = 'award', x = 0, y = 0, w = 800, h = 600, crown_offset_x = 5, "
           "crown_offset_y = -20, girl_x_y = { " +
           pairs +
           " },\n"
           "  GSeparateLayer{ name = 'award_layer', x = 0, y = 0, w = 800, h = 600,\n"
           "    Bitmap{ name = 'crown', x = 0, y = 0, w = 10, h = 10 },\n"
           "    Bitmap{ name = 'award_crown', x = 395, y = 280, w = 10, h = 10 } },\n"
           "  Text{ name = 'award_text', x = 300, y = 50, w = 200, h = 20, label = '' },\n"
           "  Button{ name = 'aw_btn', x = 350, y = 550, w = 100, h = 30,\n"
           "    Text{ name = 'label', w = 100, h = 30, label = 'Next' } } }";
}

const char kFourPairs[] = "400, 300, 100, 400, 250, 400, 400, 400, 550, 400";

class AwardWndTest : public TLevelEndTest {
protected:
    GAwardWnd* Award() { return Find<GAwardWnd>("award"); }
    TPoint CrownAt() {
        const TRect& rect = Find("crown")->GetRect();
        return TPoint{rect.left, rect.top};
    }
    std::string Button() { return Text(Find("aw_btn")->GetLabelText()); }
};

TEST_F(AwardWndTest, FourGirlsGetTwoCrownRunsAndTheRevealAtTheEleventhTick) {
    ASSERT_TRUE(OpenLevel(4));
    AddStrings({{"award_text", "And the crown goes to"}});
    OpenEndScreen(AwardLayout(kFourPairs));
    GAwardWnd* award = Award();
    ASSERT_NE(award, nullptr);
    ASSERT_EQ(award->GetGirls().size(), 4u);
    EXPECT_EQ(award->GetWinnerX(), 400);
    EXPECT_EQ(award->GetWinnerY(), 300);
    EXPECT_EQ(award->GetWinnerIndex(), 3) << "all scores equal: the last name is the best";
    EXPECT_EQ(Text(AsKind<TText>(Find("award_text"))->GetText()), "And the crown goes to ...");
    EXPECT_FALSE(Shown("award_crown"));

    // The girls stand at their pairs, each in front of those above it.
    const int xs[] = {100, 250, 400, 550};
    for (size_t i = 0; i < 4; ++i) {
        const GVObject* girl = award->GetGirls()[i].get();
        ASSERT_NE(girl, nullptr);
        EXPECT_FLOAT_EQ(girl->mDeltaX, static_cast<float>(xs[i]));
        EXPECT_FLOAT_EQ(girl->mDeltaY, 400.0f);
        EXPECT_FLOAT_EQ(girl->mDeltaZ, 400.0f);
        EXPECT_TRUE(award->GetAwardLayer()->GetLayer()->Contains(girl));
    }

    // 720 / 4: the first tick comes after 180 ms.
    Tick(179);
    EXPECT_EQ(award->GetTickCounter(), 0);
    Tick(1);
    EXPECT_EQ(award->GetTickCounter(), 1);

    // Timer tick by timer tick: girl 0 is never visited; the 8th tick's second, recursive call
    // counts as one more tick, so the counter runs one ahead from then on.
    const int crownAt[] = {0, 1, 1, 2, 2, 3, 3, 1, 2, 3};
    for (int tick = 2; tick <= 10; ++tick) {
        Tick(180);
        const int expected = crownAt[tick - 1];
        EXPECT_EQ(award->GetCrownIndex(), expected) << "tick " << tick;
        EXPECT_EQ(CrownAt().x, xs[expected] + 5) << "tick " << tick;
        EXPECT_EQ(CrownAt().y, 380) << "tick " << tick;
    }
    EXPECT_EQ(award->GetTickCounter(), 11);
    EXPECT_EQ(award->GetRounds(), 1);
    EXPECT_EQ(Button(), "Next");

    Tick(180);
    EXPECT_EQ(award->GetRounds(), 0) << "revealed";
    const GVObject* winner = award->GetGirls()[3].get();
    EXPECT_FLOAT_EQ(winner->mDeltaX, 400.0f);
    EXPECT_FLOAT_EQ(winner->mDeltaY, 300.0f);
    EXPECT_FLOAT_EQ(winner->mDeltaZ, 300.0f);
    EXPECT_TRUE(Shown("award_crown"));
    EXPECT_FALSE(Shown("crown"));
    EXPECT_TRUE(Shown("award_text"));
    EXPECT_EQ(Button(), "Ok");

    Tick(180 * 5);
    EXPECT_EQ(award->GetCrownIndex(), 4) << "idle after the reveal";
}

TEST_F(AwardWndTest, ThePeriodIsBoundedForManyAndFewGirls) {
    struct TCase {
        int girls;
        int period;
    };
    // 720 / 100 = 7, raised to 10; 720 / 2 = 360, lowered to 200; 720 / 5 = 144.
    for (const TCase& c : {TCase{100, 10}, TCase{2, 200}, TCase{5, 144}}) {
        SCOPED_TRACE(c.girls);
        ASSERT_TRUE(OpenLevel(c.girls));
        std::string pairs = "400, 300";
        for (int i = 0; i < c.girls; ++i) {
            pairs += ", " + std::to_string(i * 7) + ", 400";
        }
        OpenEndScreen(AwardLayout(pairs));
        ASSERT_EQ(static_cast<int>(Award()->GetGirls().size()), c.girls);
        Tick(c.period - 1);
        EXPECT_EQ(Award()->GetTickCounter(), 0);
        Tick(1);
        EXPECT_EQ(Award()->GetTickCounter(), 1);
        CloseEndScreen();
        CloseScreen();
    }
}

TEST_F(AwardWndTest, PairsSkipNonNumbersAndGirlsBeyondThePairsAreNotShown) {
    ASSERT_TRUE(OpenLevel(4));
    // A text inside the pairs, and only three girls' pairs: the best girl (girl03) is not shown.
    OpenEndScreen(AwardLayout("400, 300, 100, 'crowd', 400, 250, 400, {}, 400, 400"));
    GAwardWnd* award = Award();
    ASSERT_EQ(award->GetGirls().size(), 3u);
    EXPECT_FLOAT_EQ(award->GetGirls()[0]->mDeltaX, 100.0f);
    EXPECT_FLOAT_EQ(award->GetGirls()[0]->mDeltaY, 400.0f);
    EXPECT_FLOAT_EQ(award->GetGirls()[2]->mDeltaX, 400.0f);
    EXPECT_EQ(award->GetWinnerIndex(), 0);
    EXPECT_EQ(Level()->GetBestGirlName(), str("girl03"));
}

TEST_F(AwardWndTest, MorePairsThanGirlsShowEveryGirlOnce) {
    ASSERT_TRUE(OpenLevel(2));
    OpenEndScreen(AwardLayout(kFourPairs));
    EXPECT_EQ(Award()->GetGirls().size(), 2u);
    EXPECT_EQ(Award()->GetWinnerIndex(), 1);
}

TEST_F(AwardWndTest, WithoutGirlsTheWindowRevealsAtOnce) {
    ASSERT_TRUE(OpenLevel(0));
    OpenEndScreen(AwardLayout(kFourPairs));
    GAwardWnd* award = Award();
    EXPECT_TRUE(award->GetGirls().empty());
    EXPECT_EQ(award->GetRounds(), 0);
    EXPECT_TRUE(Shown("award_text"));
    EXPECT_EQ(Button(), "Ok");
    Tick(1000);
    EXPECT_EQ(award->GetTickCounter(), 0) << "no timer";
}

TEST_F(AwardWndTest, WithoutALayerOrCrownNothingRunsAndWithoutALevelNothingIsBuilt) {
    ASSERT_TRUE(OpenLevel(3));
    OpenEndScreen("GAwardWnd{ name = 'award', x = 0, y = 0, w = 800, h = 600, "
                  "girl_x_y = { 1, 2, 3, 4 }, Window{ name = 'award_layer', w = 10, h = 10 } }");
    EXPECT_TRUE(Award()->GetGirls().empty()) << "the layer is no separate layer";
    CloseEndScreen();

    GLogicalManager::Instance().SetGameData(nullptr);
    OpenEndScreen(AwardLayout(kFourPairs));
    EXPECT_TRUE(Award()->GetGirls().empty());
    EXPECT_EQ(Award()->GetWinnerX(), -1);
    Tick(1000);
    EXPECT_EQ(Award()->GetTickCounter(), 0);
}

TEST_F(AwardWndTest, ClosingTheCeremonyMidRunLeavesNoVisualInAnyList) {
    ASSERT_TRUE(OpenLevel(4));
    OpenEndScreen(AwardLayout(kFourPairs));
    Tick(180 * 3);
    GVLayer* layer = Award()->GetAwardLayer()->GetLayer();
    EXPECT_EQ(GVFactory::Instance().GetCurrentLayer(), layer);
    CloseEndScreen();
    EXPECT_NE(GVFactory::Instance().GetCurrentLayer(), layer);
    EXPECT_EQ(GLogicalManager::Instance().GetSeparateLayer(), nullptr);
}

} // namespace
} // namespace levelend_test

namespace levelend_test {
namespace {

// The reveal over the black game screen (160 x 120): girls 0 to 2 (pink 20 x 40 boxes) on their
// pairs at y 70, the winner moved up to (70, 20) with the gold award crown at (65, 5) over her,
// the running (blue) crown hidden.
TEST_F(AwardWndTest, GoldenReveal) {
    AddFile("crown.png", widget_test::PatternPng(10, 10, [](int, int) { return 0xFFD700u; }));
    AddFile("crown_run.png", widget_test::PatternPng(10, 10, [](int, int) { return 0x00C0FFu; }));
    ASSERT_TRUE(OpenLevel(4));
    OpenEndScreen("GAwardWnd{ name = 'award', x = 0, y = 0, w = 160, h = 120, crown_offset_x = 5, "
                  "crown_offset_y = -15, girl_x_y = { 70, 20, 10, 70, 40, 70, 70, 70, 100, 70 },\n"
                  "  GSeparateLayer{ name = 'award_layer', x = 0, y = 0, w = 160, h = 120,\n"
                  "    Bitmap{ name = 'crown', x = 0, y = 0, image = 'crown_run.png' },\n"
                  "    Bitmap{ name = 'award_crown', x = 65, y = 5, image = 'crown.png' } } }");
    for (int tick = 0; tick < 11; ++tick) {
        Tick(180);
    }
    ASSERT_EQ(Award()->GetRounds(), 0);
    const standin::TScreenImage image = DrawFrame();
    testing_fixtures::ExpectGolden(image, "tests/game/shell/golden/award_reveal.png");
    const auto at = [&image](int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFFFFFFu;
    };
    struct TPixel {
        int x;
        int y;
        uint32_t rgb;
    };
    for (const TPixel& p :
         {TPixel{10, 70, 0xFF4080u}, TPixel{29, 109, 0xFF4080u}, TPixel{30, 109, 0x000000u},
          TPixel{40, 70, 0xFF4080u}, TPixel{70, 70, 0xFF4080u}, TPixel{100, 70, 0x000000u},
          TPixel{70, 20, 0xFF4080u}, TPixel{89, 59, 0xFF4080u}, TPixel{90, 59, 0x000000u},
          TPixel{65, 5, 0xFFD700u}, TPixel{74, 14, 0xFFD700u}, TPixel{75, 10, 0x000000u},
          TPixel{0, 0, 0x000000u}}) {
        EXPECT_EQ(at(p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
}

} // namespace
} // namespace levelend_test
