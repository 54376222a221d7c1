// The credits window over the widget fixture's display and test font (size 20: lines 20 pixels
// high, glyphs 16 pixels apart), its file served from memory and the stand-in's fake clock: the
// file cut into columns and blocks, the header colour, the layout and the scroll position at
// chosen times.

#include "engine/system/platform.h"
#include "engine/ui/textsprite.h"
#include "game/shell/TCredits.h"
#include "platform/win32/standin.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

namespace credits_test {

using testing::ElementsAre;
using widget_test::TBytes;
using widget_test::Text;

constexpr int kLine = 20;

std::vector<std::string> Texts(const std::vector<str>& columns) {
    std::vector<std::string> out;
    for (const str& column : columns) {
        out.push_back(Text(column));
    }
    return out;
}

TEST(CreditsLineTest, CutsTrimsDropsEmptyColumnsAndColoursTheFirstBracketPair) {
    const TColor header{1.0f, 0.5f, 0.0f, 1.0f};
    const std::string red = "<font color='ff7f00ff'>";
    struct TCase {
        const char* line;
        std::vector<std::string> columns;
    };
    const TCase cases[] = {
        {"Art|Music\n", {"Art", "Music"}},
        {" \t Art \t|\t Music  \n", {"Art", "Music"}},
        {"Art||Music", {"Art", "Music"}},
        {"   \n", {}},
        {"|", {}},
        {"\n", {}},
        // Carriage returns are not trimmed.
        {"Art\r\n", {"Art\r"}},
        {"[Code]", {red + "Code</font>"}},
        {"[Code] and [Art]", {red + "Code</font> and [Art]"}},
        // An earlier "]" stays text: the colour closes at the first "]" after the "[".
        {"a] [b] c]", {"a] " + red + "b</font> c]"}},
        {"only] here", {"only] here"}},
        {"[open", {red + "open"}},
        {"[a|b]|c", {red + "a", "b]", "c"}},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Texts(CutCreditsLine(c.line, header)), c.columns) << c.line;
    }
    // Components beyond 0 .. 1 (or not numbers) still give two digits each.
    EXPECT_THAT(Texts(CutCreditsLine("[x]", TColor{2.0f, -1.0f, NAN, 0.2f})),
                ElementsAre("<font color='ff000033'>x</font>"));
}

class TCreditsTest : public widget_test::TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        standin::SetFakeTime(50000);
        Script()->RegisterWindowType("CreditsWindow", &TCredits::Create);
    }

    // A credits window w x h on the file text; `keys` adds definition keys.
    TCredits* Open(const std::string& file, const std::string& keys = "", int w = 800,
                   int h = 600) {
        AddFile("credits.txt", TBytes(file.begin(), file.end()));
        Build("CreditsWindow{ name = 'credits', x = 0, y = 0, w = " + std::to_string(w) +
              ", h = " + std::to_string(h) +
              ", file = 'credits.txt', font = 'fonts/test.mvec', fontsize = 20" + keys + " }");
        return Find<TCredits>("credits");
    }

    static uint32_t Now() { return TPlatform::GetTime(); }

    static std::vector<int> Heights(const TCredits& credits) {
        std::vector<int> heights;
        for (const auto& block : credits.GetBlocks()) {
            heights.push_back(block->GetHeight());
        }
        return heights;
    }
};

std::string Lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += line + "\n";
    }
    return text;
}

TEST_F(TCreditsTest, ALineOfTwoTextsGivesTwoHalfWidthColumnsCentredInTheirHalves) {
    TCredits* credits = Open("Art|Music\n");
    ASSERT_NE(credits, nullptr);
    EXPECT_STREQ(credits->GetClassName(), "TCredits");
    ASSERT_EQ(credits->GetBlocks().size(), 1u);
    const TCreditsBlock& block = *credits->GetBlocks()[0];
    ASSERT_EQ(block.GetColumnCount(), 2u);
    EXPECT_EQ(block.GetWidth(), 800);
    EXPECT_EQ(block.ColumnLeft(0), 0);
    EXPECT_EQ(block.ColumnLeft(1), 400);
    EXPECT_EQ(Text(block.GetColumns()[0].text), "Art\n");
    EXPECT_EQ(Text(block.GetColumns()[1].text), "Music\n");
    for (const TCreditsColumn& column : block.GetColumns()) {
        ASSERT_NE(column.sprite, nullptr);
        EXPECT_EQ(column.sprite->GetWidth(), 400);
        EXPECT_EQ(column.sprite->GetFlags(), TTextSprite::kAlignCenter);
    }
    EXPECT_EQ(block.GetHeight(), kLine);
    EXPECT_EQ(credits->GetTotalHeight(), kLine);
}

TEST_F(TCreditsTest, ThreeColumnsIn800PixelsStartAt0_266And533) {
    TCredits* credits = Open("a|b|c\n");
    ASSERT_NE(credits, nullptr);
    const TCreditsBlock& block = *credits->GetBlocks()[0];
    ASSERT_EQ(block.GetColumnCount(), 3u);
    EXPECT_EQ(block.ColumnLeft(0), 0);
    EXPECT_EQ(block.ColumnLeft(1), 266);
    EXPECT_EQ(block.ColumnLeft(2), 533);
    EXPECT_EQ(block.GetColumns()[2].sprite->GetWidth(), 266);
}

TEST_F(TCreditsTest, BlocksFollowTheColumnCountAndBlankLinesAddToTheBlockAbove) {
    // Two leading blank lines make a block without columns and no space; the second column of
    // the first block is taller by the blank line at its end and two lines of its own.
    std::string file = "\n  \n" + Lines(9, "a|b") + "a|b\nc\n" + "\n" + "x|y|z\n";
    TCredits* credits = Open(file);
    ASSERT_NE(credits, nullptr);
    ASSERT_EQ(credits->GetBlocks().size(), 4u);
    EXPECT_EQ(credits->GetBlocks()[0]->GetColumnCount(), 0u);
    EXPECT_EQ(credits->GetBlocks()[1]->GetColumnCount(), 2u);
    EXPECT_EQ(credits->GetBlocks()[2]->GetColumnCount(), 1u);
    EXPECT_EQ(credits->GetBlocks()[3]->GetColumnCount(), 3u);
    EXPECT_EQ(Text(credits->GetBlocks()[2]->GetColumns()[0].text), "c\n\n");
    EXPECT_THAT(Heights(*credits), ElementsAre(0, 10 * kLine, 2 * kLine, kLine));
    EXPECT_EQ(credits->GetTotalHeight(), 13 * kLine);
}

TEST_F(TCreditsTest, TenLinesOfTwoColumnsThenThreeGiveTwoBlocksTheSecondBelowTheTallerColumn) {
    // The right column's first line is at twice the size: the block is as tall as that column.
    std::string file = "a|<font size='40'>B</font>\n" + Lines(9, "a|b") + "x|y|z\n";
    TCredits* credits = Open(file);
    ASSERT_NE(credits, nullptr);
    ASSERT_EQ(credits->GetBlocks().size(), 2u);
    const TCreditsBlock& first = *credits->GetBlocks()[0];
    TRect left{};
    TRect right{};
    first.GetColumns()[0].sprite->GetExtent(&left, 1.0f);
    first.GetColumns()[1].sprite->GetExtent(&right, 1.0f);
    EXPECT_EQ(left.bottom - left.top, 10 * kLine);
    EXPECT_EQ(right.bottom - right.top, 11 * kLine);
    EXPECT_EQ(first.GetHeight(), 11 * kLine);
    EXPECT_EQ(credits->GetTotalHeight(), 12 * kLine);
}

// Each glyph of the test font is a 16 x 16 box, from 3 to 19 below the line's top.
TEST_F(TCreditsTest, TheBracketedWordIsDrawnInTheHeaderColourAndTheTextMovesUpWithTheClock) {
    TCredits* credits =
        Open("[a]|b\n", ", fontcolor = { 0, 1, 0, 1 }, headercolor = { 1, 0, 0, 1 }", 160, 120);
    ASSERT_NE(credits, nullptr);
    const auto rgb = [](const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFFFFFFu;
    };
    // "a" centred in the left half (0 .. 80), "b" in the right half.
    standin::TScreenImage image = DrawFrame();
    EXPECT_EQ(rgb(image, 40, 12), 0xFF0000u);
    EXPECT_EQ(rgb(image, 120, 12), 0x00FF00u);
    EXPECT_EQ(rgb(image, 40, 1), 0u);
    EXPECT_EQ(rgb(image, 20, 12), 0u);
    EXPECT_EQ(rgb(image, 80, 12), 0u);
    // One second at 10 pixels a second later the boxes reach from -7 to 9.
    standin::AdvanceTime(1000);
    image = DrawFrame();
    EXPECT_EQ(rgb(image, 40, 5), 0xFF0000u);
    EXPECT_EQ(rgb(image, 120, 5), 0x00FF00u);
    EXPECT_EQ(rgb(image, 40, 12), 0u);
    EXPECT_EQ(rgb(image, 120, 12), 0u);
}

// speed 10, 500 pixels of text in a window 600 high, a pause of 2000 ms.
TEST_F(TCreditsTest, TheTextStandsTwoSecondsThenPassesOf50AndThen110Seconds) {
    TCredits* credits = Open(Lines(25, "line"), ", speed = 10, intropause = 2000");
    ASSERT_NE(credits, nullptr);
    ASSERT_EQ(credits->GetTotalHeight(), 500);
    const uint32_t start = Now();
    struct TStep {
        uint32_t at;
        int64_t top;
        int pass;
    };
    // Times from the start; the top of the text in the window.
    const TStep steps[] = {
        {0, 0, 0},
        {1000, 0, 0},
        {2000, 0, 0},
        {2100, -1, 0},
        {12000, -100, 0},
        {51900, -499, 0},
        // The first pass ends after 50 s; the later ones start at the bottom edge.
        {52000, 600, 1},
        {52100, 599, 1},
        {107100, 49, 1},
        {162000, 600, 1},
        {162100, 599, 1},
        {272000, 600, 1},
    };
    for (const TStep& step : steps) {
        EXPECT_EQ(credits->TextTop(start + step.at), step.top) << step.at;
        EXPECT_EQ(credits->GetPass(), step.pass) << step.at;
    }
}

TEST_F(TCreditsTest, ATextOf5000PixelsScrollsAWholePassWithoutAJump) {
    TCredits* credits = Open(Lines(250, "line"), ", speed = 10");
    ASSERT_NE(credits, nullptr);
    ASSERT_EQ(credits->GetTotalHeight(), 5000);
    const uint32_t start = Now();
    int64_t last = credits->TextTop(start);
    EXPECT_EQ(last, 0);
    // 500 s of the first pass, then a whole 560 s pass, sampled every 250 ms: the text never
    // moves down, nor up by more than it can in that time, but where a pass begins.
    for (uint32_t t = 250; t < 1060000; t += 250) {
        const int64_t top = credits->TextTop(start + t);
        if (t == 500000) {
            EXPECT_EQ(credits->GetPass(), 1);
            EXPECT_EQ(top, 600);
        } else {
            ASSERT_LE(top, last) << t;
            ASSERT_GE(top, last - 3) << t;
        }
        last = top;
    }
    EXPECT_EQ(last, 600 - 5600 + 3);
    EXPECT_EQ(credits->TextTop(start + 1060000), 600);
}

TEST_F(TCreditsTest, NoSpeedNoFileOrAnEmptyFileShowAnEmptyWindow) {
    struct TCase {
        const char* file;
        const char* keys;
    };
    const TCase cases[] = {
        {"a|b\n", ", speed = 0"},
        {"a|b\n", ", speed = -5"},
        {"", ""},
        {"\n\n  \n|\n", ""},
    };
    for (const TCase& c : cases) {
        TCredits* credits = Open(c.file, c.keys);
        ASSERT_NE(credits, nullptr) << c.file << c.keys;
        EXPECT_EQ(credits->TextTop(Now() + 5000), 0) << c.file << c.keys;
        const standin::TScreenImage image = DrawFrame();
        for (const uint32_t pixel : image.pixels) {
            ASSERT_EQ(pixel & 0xFFFFFFu, 0u) << c.file << c.keys;
        }
        Manager()->GetTopModal()->DeleteChildren();
    }
    Build("CreditsWindow{ name = 'credits', x = 0, y = 0, w = 800, h = 600, file = 'none.txt' }");
    TCredits* missing = Find<TCredits>("credits");
    ASSERT_NE(missing, nullptr);
    EXPECT_TRUE(missing->GetBlocks().empty());
    EXPECT_EQ(missing->TextTop(Now() + 5000), 0);
}

} // namespace credits_test
