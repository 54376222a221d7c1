// Text markup and layout in the small test font (tests/engine/ui/text_fixture.h): runs, tags and
// their attributes, fonts and their fallback, wrapping, alignment, extents, links and scrolling.
// Expected positions are worked out from the font's metrics given there.
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/minivecfont.h"
#include "engine/ui/textdecode.h"
#include "tests/engine/ui/text_fixture.h"
#include "tests/fixtures/childprocess.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace text_test {
namespace {

class TTextLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { SetLogFolder(mLogs.Path().string().c_str()); }
    void TearDown() override { SetLogFolder(nullptr); }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }

    testing_fixtures::TempDir mLogs;
    TTextFonts mFonts;
};

const TTextRun& RunOf(const TTextSprite& sprite, size_t line, size_t run) {
    return sprite.GetLines().at(line)->runs.at(run);
}

bool SameColor(const TColor& a, const TColor& b) {
    return std::fabs(a.r - b.r) < 1e-6f && std::fabs(a.g - b.g) < 1e-6f &&
           std::fabs(a.b - b.b) < 1e-6f && std::fabs(a.a - b.a) < 1e-6f;
}

TEST(TextQuarterPixels, RoundHalfAwayFromZeroThenDivideTowardZero) {
    const struct {
        float quarters;
        int pixels;
    } cases[] = {{9.5f, 2},
                 {-9.5f, -2},
                 {11.5f, 3},
                 {7.4f, 1},
                 {-7.6f, -2},
                 {0.0f, 0},
                 {std::numeric_limits<float>::quiet_NaN(), 0},
                 {1e20f, INT_MAX / 4},
                 {-1e20f, INT_MIN / 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(TextQuarterToPixels(c.quarters), c.pixels) << c.quarters;
    }
}

TEST_F(TTextLayoutTest, RunsAndLinesOfTags) {
    const struct {
        const char* text;
        int width;
        const char* runs;
    } cases[] = {
        {"a<b>b</b>c", 400, "a|b|c"},
        // "<p>" is no tag the layout knows: consumed, it only ends a run; "</p>" breaks the line.
        {"<p>x</p>y", 400, "|x/y"},
        {"a\\<b>x", 400, "a\\<b>x"},
        {"ab\ncd", 400, "ab\n/cd"},
        {"ab<br>cd<br>", 400, "ab/cd"},
        // Wrapping at 50 pixels: "a", "b", "c" reach 196 quarter pixels, + 4 fits in 200.
        {"abcd", 50, "abc/d"},
        {"abcdefgh", 50, "abc/def/gh"},
        {"ab cd", 50, "ab /cd"},
        {"a<b>b cd</b>e", 50, "a|b /cd|e"},
        // The first character of a line stays, however narrow the box.
        {"ab", 5, "a/b"},
        {"ab", -10, "a/b"},
        // 'm' inks 12 units: "am" needs 144.8 + 4 quarter pixels, more than 37 pixels hold.
        {"am", 37, "a/m"},
        {"ab", 37, "ab"},
        {"", 400, ""},
    };
    for (const auto& c : cases) {
        const auto sprite = Sprite(c.text, c.width);
        EXPECT_EQ(RunTexts(*sprite), c.runs) << c.text;
    }
}

TEST_F(TTextLayoutTest, RunAttributesAndPositions) {
    auto sprite = Sprite("a<b>b</b>c");
    ASSERT_EQ(sprite->GetLineCount(), 1);
    const int bold[] = {0, 1, 0};
    const int starts[] = {0, 17, 33};
    const int ends[] = {17, 33, 49};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(RunOf(*sprite, 0, i).bold, bold[i]) << i;
        EXPECT_EQ(RunOf(*sprite, 0, i).startX, starts[i]) << i;
        EXPECT_EQ(RunOf(*sprite, 0, i).endX, ends[i]) << i;
        EXPECT_EQ(RunOf(*sprite, 0, i).size, 20);
        EXPECT_EQ(RunOf(*sprite, 0, i).height, 19);
    }
    EXPECT_EQ(sprite->GetLines()[0]->height, 20);
    EXPECT_EQ(sprite->GetLines()[0]->baseline, 19);

    // "<bold>" matches "b"; "<abc ...>" is a link tag; tags are read without blanks or case.
    sprite = Sprite("<bold>x<abc id='k'>y</a><I>z</I ><U >w");
    EXPECT_EQ(RunTexts(*sprite), "|x|y||z||w");
    EXPECT_EQ(RunOf(*sprite, 0, 1).bold, 1);
    EXPECT_EQ(RunOf(*sprite, 0, 2).linkId, str("k"));
    EXPECT_EQ(RunOf(*sprite, 0, 4).linkId, str(""));
    EXPECT_EQ(RunOf(*sprite, 0, 4).italic, 1);
    EXPECT_EQ(RunOf(*sprite, 0, 6).italic, 0);
    EXPECT_EQ(RunOf(*sprite, 0, 6).underline, 1);

    // Leaving italic moves on by scale / 3 x ascent (6.4 / 3 x 10 = 21.33 quarter pixels); the
    // font has no descent, so entering it moves nothing.
    sprite = Sprite("a<i>b</i>c");
    EXPECT_EQ(RunOf(*sprite, 0, 1).startX, 17);
    EXPECT_EQ(RunOf(*sprite, 0, 2).startX, 38); // (132 + 21.33) / 4
    EXPECT_EQ(RunOf(*sprite, 0, 2).endX, 54);

    // A tab replaces the running width; the caret marks the run after it.
    sprite = Sprite("ab<tab pos='10'>c<cursor>d");
    EXPECT_EQ(RunOf(*sprite, 0, 1).startX, 10);
    EXPECT_EQ(RunOf(*sprite, 0, 1).tabPos, 40);
    EXPECT_EQ(RunOf(*sprite, 0, 1).endX, 26);
    EXPECT_EQ(RunOf(*sprite, 0, 1).caret, 0);
    EXPECT_EQ(RunOf(*sprite, 0, 2).caret, 1);
    EXPECT_EQ(RunOf(*sprite, 0, 2).startX, 26);

    // A caret after the last character (where a text edit's cursor usually is) gets an empty run
    // of its own to draw it, and so does a caret alone.
    sprite = Sprite("ab<tab pos='10'>c<cursor>");
    ASSERT_EQ(sprite->GetLineCount(), 1);
    EXPECT_EQ(RunTexts(*sprite), "ab|c|");
    EXPECT_EQ(RunOf(*sprite, 0, 2).caret, 1);
    EXPECT_EQ(RunOf(*sprite, 0, 2).startX, 26);
    EXPECT_EQ(RunOf(*sprite, 0, 2).endX, 26);
    sprite = Sprite("<cursor>");
    ASSERT_EQ(sprite->GetLineCount(), 1);
    EXPECT_EQ(RunTexts(*sprite), "|");
    EXPECT_EQ(RunOf(*sprite, 0, 1).caret, 1);
}

TEST_F(TTextLayoutTest, ColoursOfFontsLinksAndOutlines) {
    const TColor eight{0x11 / 255.0f, 0x22 / 255.0f, 0x33 / 255.0f, 0x44 / 255.0f};
    const TColor red{1.0f, 0.0f, 0.0f, 1.0f};
    const TColor teal{0.0f, 0x80 / 255.0f, 0x80 / 255.0f, 1.0f};
    const struct {
        const char* text;
        TColor font;
        TColor current;
    } cases[] = {
        {"<font color='11223344'>x", eight, eight},
        {"<font color='#11223344'>x", eight, eight},
        {"<font color='#008080'>x", teal, teal},
        {"<a id='k' color='ff0000'>x", White(), red},
        {"<a color='#FF0000'>x", White(), red},
        // "color" inside the id's value is no attribute.
        {"<a id='colorful'>x", White(), White()},
        {"<a id='k' color='ff0000'></a>x", White(), White()},
    };
    for (const auto& c : cases) {
        const auto sprite = Sprite(c.text);
        const TTextRun& run = sprite->GetLines()[0]->runs.back();
        EXPECT_TRUE(SameColor(run.fontColor, c.font)) << c.text;
        EXPECT_TRUE(SameColor(run.currentColor, c.current)) << c.text;
    }

    auto sprite = Sprite("<outline color='ff0000'>a<outline size='3'>b</outline>c");
    EXPECT_EQ(RunOf(*sprite, 0, 1).outlineSize, 2.0f);
    EXPECT_TRUE(SameColor(RunOf(*sprite, 0, 1).outlineColor, red));
    EXPECT_EQ(RunOf(*sprite, 0, 2).outlineSize, 3.0f);
    EXPECT_EQ(RunOf(*sprite, 0, 3).outlineSize, 0.0f);
    EXPECT_TRUE(SameColor(RunOf(*sprite, 0, 3).outlineColor, TColor{0, 0, 0, 0}));
}

TEST_F(TTextLayoutTest, AttributeNamesInsideQuotedValuesAreNotAttributes) {
    const struct {
        const char* text;
        int size;
    } cases[] = {
        {"<font face='mysize' size='30'>x", 30},
        {"<font face=\"size='9'\" size=\"30\">x", 30},
        {"<font face='fonts/test.mvec'>x", 20},
        {"<font size='12'>x", 12},
    };
    for (const auto& c : cases) {
        const auto sprite = Sprite(c.text);
        EXPECT_EQ(sprite->GetLines()[0]->runs.back().size, c.size) << c.text;
    }
}

TEST_F(TTextLayoutTest, ValuesThatSizeGlyphsAreBounded) {
    const struct {
        const char* text;
        int size;
        float outline;
        int tab;
    } cases[] = {
        {"<font size='99999'>x", 1024, 0.0f, 0},
        {"<font size='-5'>x", 0, 0.0f, 0},
        {"<font size='99999999999999999999'>x", 1024, 0.0f, 0},
        {"<outline size='1000'>x", 20, 64.0f, 0},
        {"<outline size='-3'>x", 20, 0.0f, 0},
        {"<tab pos='99999'>x", 20, 0.0f, 32767 * 4},
        {"<tab pos='-99999'>x", 20, 0.0f, -32768 * 4},
    };
    for (const auto& c : cases) {
        const auto sprite = Sprite(c.text);
        const TTextRun& run = sprite->GetLines()[0]->runs.back();
        EXPECT_EQ(run.size, c.size) << c.text;
        EXPECT_EQ(run.outlineSize, c.outline) << c.text;
        EXPECT_EQ(run.tabPos, c.tab) << c.text;
    }
    const auto padded = Sprite("a<br pad='99999999'>b<br pad='-7'>c");
    EXPECT_EQ(padded->GetLines()[0]->height, 20 + 32767);
    EXPECT_EQ(padded->GetLines()[1]->height, 20 - 7);
}

TEST_F(TTextLayoutTest, FontTagsNestedPastTheStackKeepTheLastEntry) {
    std::string text;
    for (int i = 1; i <= 40; ++i) {
        text += "<font size='" + std::to_string(i) + "'>";
    }
    text += "x";
    for (int closed = 1; closed <= 40; ++closed) {
        text += "</font>";
        if (closed == 9 || closed == 10 || closed == 39 || closed == 40) {
            text += "y";
        }
    }
    const auto sprite = Sprite(text, 100000);
    std::vector<int> sizes;
    for (const TTextRun& run : sprite->GetLines()[0]->runs) {
        if (run.end > run.first) {
            sizes.push_back(run.size);
        }
    }
    // Depth 40 and 31 use entry 31; depth 30 its own; then 1 and the sprite's own 20.
    EXPECT_EQ(sizes, (std::vector<int>{31, 31, 30, 1, 20}));
}

TEST_F(TTextLayoutTest, FallbackFontRunsAndMissingGlyphs) {
    auto sprite = Sprite("a~b\xC3\xA9");
    EXPECT_EQ(RunTexts(*sprite), "a|~|b|\xC3\xA9");
    EXPECT_FALSE(RunOf(*sprite, 0, 0).fallback);
    EXPECT_TRUE(RunOf(*sprite, 0, 1).fallback);
    EXPECT_EQ(RunOf(*sprite, 0, 1).endX, 49); // 68 + 128 quarter pixels
    EXPECT_FALSE(RunOf(*sprite, 0, 2).fallback);
    EXPECT_TRUE(RunOf(*sprite, 0, 3).fallback);

    // U+0001 is in neither font: it takes no room.
    sprite = Sprite("a\x01"
                    "b");
    EXPECT_EQ(RunTexts(*sprite), "a\x01"
                                 "b");
    EXPECT_EQ(RunOf(*sprite, 0, 0).endX, 33);

    // A face that does not load falls back to "fonts/default.mvec"; bytes that are no font
    // build none, logged once.
    mFonts.Serve("fonts/bad.mvec", {'X', 'X', 'X', 'X', 0, 0});
    sprite = Sprite("<font face='fonts/missing.mvec'>W<font face='fonts/bad.mvec'>W~");
    EXPECT_EQ(TFontList::Instance().Get("fonts/missing.mvec")->GetGlyphCount(), 3);
    EXPECT_EQ(TFontList::Instance().Get("fonts/bad.mvec"), nullptr);
    EXPECT_EQ(RunTexts(*sprite), "|W||W~");
    EXPECT_TRUE(RunOf(*sprite, 0, 3).fallback);
    sprite->Layout();
    const std::string log = LogText();
    EXPECT_NE(log.find("Font not found: fonts/bad.mvec"), std::string::npos) << log;
    EXPECT_EQ(log.find("Font not found: fonts/bad.mvec"),
              log.rfind("Font not found: fonts/bad.mvec"));
    EXPECT_EQ(log.find("ERROR: FONT missing"), std::string::npos);

    // Without any font the characters take no room, and the layout says so.
    mFonts.Serve("fonts/default.mvec", {'X', 'X', 'X', 'X'});
    TFontList::Instance().Clear();
    sprite = Sprite("<font face='fonts/bad.mvec'>xy");
    EXPECT_EQ(sprite->GetLines()[0]->runs.back().endX, 0);
    EXPECT_NE(LogText().find("ERROR: FONT missing in text when attempting to render string "
                             "<font face='fonts/bad.mvec'>xy."),
              std::string::npos);
}

TEST_F(TTextLayoutTest, LineAndBlockAlignment) {
    // Left lines start at the outline margin; every offset adds the first glyph's 4 - 0 quarter
    // pixels and a half. A centre tag ends its line, which is still aligned the old way.
    auto sprite = Sprite("ab<center>cd</center>ef", 200);
    EXPECT_EQ(LineTexts(*sprite), "ab/cd/ef");
    const int x[] = {0, 100, 0};
    const float offset[] = {1.5f, -15.0f, 1.5f}; // "cd" is 33 pixels: -16.5 + 1.5
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sprite->GetLines()[i]->x, x[i]) << i;
        EXPECT_EQ(sprite->GetLines()[i]->offset, offset[i]) << i;
    }

    sprite = Sprite("ab", 200, 100, TTextSprite::kAlignRight);
    EXPECT_EQ(sprite->GetLines()[0]->x, 199);
    EXPECT_EQ(sprite->GetLines()[0]->offset, -31.5f);
    sprite = Sprite("<outline size='3'>ab", 200, 100, TTextSprite::kAlignRight);
    EXPECT_EQ(sprite->GetLines()[0]->x, 196);
    sprite = Sprite("<outline size='3'>ab", 200);
    EXPECT_EQ(sprite->GetLines()[0]->x, 3);
    // A nested alignment tag ends its line too; closing it returns to the enclosing one.
    sprite = Sprite("<right>a<center>b</center>c</right>d", 200, 100, TTextSprite::kAlignCenter);
    EXPECT_EQ(LineTexts(*sprite), "/a/b/c/d");
    const int nested[] = {100, 199, 100, 199, 100};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(sprite->GetLines()[i]->x, nested[i]) << i;
    }

    const struct {
        int flags;
        int anchor;
        float start;
    } vertical[] = {{0, 0, 0.0f},
                    {TTextSprite::kAlignVCenter, 50, -20.0f},
                    {TTextSprite::kAlignBottom, 100, -40.0f}};
    for (const auto& c : vertical) {
        sprite = Sprite("a<br>b", 200, 100, c.flags);
        EXPECT_EQ(sprite->GetTotalHeight(), 40);
        EXPECT_EQ(sprite->GetAnchor(), c.anchor) << c.flags;
        EXPECT_EQ(sprite->GetStartOffset(), c.start) << c.flags;
    }
}

TEST_F(TTextLayoutTest, Extents) {
    const struct {
        const char* text;
        int flags;
        float scale;
        TRect extent;
    } cases[] = {
        {"ab", 0, 1.0f, {1, 0, 34, 20}},
        {"ab", 0, 2.0f, {3, 0, 69, 40}},
        {"ab", TTextSprite::kAlignVCenter, 1.0f, {1, 10, 34, 30}},
        {"ab", TTextSprite::kAlignVCenter, 2.0f, {3, 0, 69, 40}},
        {"ab", TTextSprite::kAlignCenter, 1.0f, {85, 0, 118, 20}},
        {"ab", TTextSprite::kAlignCenter, 2.0f, {70, 0, 136, 40}},
        {"ab<br>abcd", 0, 1.0f, {1, 0, 66, 40}},
        {"", 0, 1.0f, {0, 0, 0, 0}},
        {"", 0, 2.0f, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const auto sprite = Sprite(c.text, 200, 40, c.flags);
        TRect extent{};
        sprite->GetExtent(&extent, c.scale);
        EXPECT_EQ(extent.left, c.extent.left) << c.text << " " << c.flags << " " << c.scale;
        EXPECT_EQ(extent.top, c.extent.top) << c.text << " " << c.flags << " " << c.scale;
        EXPECT_EQ(extent.right, c.extent.right) << c.text << " " << c.flags << " " << c.scale;
        EXPECT_EQ(extent.bottom, c.extent.bottom) << c.text << " " << c.flags << " " << c.scale;
    }
    const auto empty = Sprite("");
    EXPECT_EQ(empty->GetLineCount(), 0);
    EXPECT_EQ(empty->GetMinLineX(), 0);

    // Lines before the first shown one are not measured.
    const auto two = Sprite("abcd<br>ab", 200, 40);
    two->SetFirstLine(1.0f);
    TRect extent{};
    two->GetExtent(&extent, 1.0f);
    EXPECT_EQ(extent.right, 34);
}

TEST_F(TTextLayoutTest, LinksUnderPoints) {
    // Line 1: "ab" (one) spans x 1.5 to 34.5, " cd " to 98.5, "ef" (two) to 130.5; line 2:
    // "gh" (three). Each line is 20 high; the spacing above a line belongs to it.
    const auto sprite = Sprite("<a id='one'>ab</a> cd <a id='two'>ef</a><br><a id='three'>gh</a>");
    const struct {
        int x;
        int y;
        int spacing;
        const char* link;
    } cases[] = {
        {2, 5, 0, "one"},     {34, 5, 0, "one"},    {35, 5, 0, ""},  {98, 5, 0, ""},
        {100, 5, 0, "two"},   {200, 5, 0, ""},      {1, 5, 0, ""},   {10, 20, 0, "three"},
        {10, 39, 0, "three"}, {10, 40, 0, ""},      {10, -2, 0, ""}, {10, -2, 4, "one"},
        {10, 21, 4, "three"}, {10, 43, 4, "three"}, {10, 44, 4, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sprite->LinkAt(TPoint{c.x, c.y}, c.spacing), str(c.link))
            << c.x << "," << c.y << " spacing " << c.spacing;
    }

    auto hover = Sprite("<a id='one'>ab</a> cd");
    const TPoint onLink{10, 5};
    const TPoint offLink{60, 5};
    EXPECT_TRUE(hover->SetHoverLink(&onLink, 0));
    EXPECT_EQ(hover->GetHoverLink(), str("one"));
    EXPECT_FALSE(hover->SetHoverLink(&onLink, 0));
    EXPECT_TRUE(hover->SetHoverLink(&offLink, 0));
    EXPECT_FALSE(hover->SetHoverLink(nullptr, 0));
    EXPECT_TRUE(hover->SetHoverLink(&onLink, 0));
    EXPECT_TRUE(hover->SetHoverLink(nullptr, 0));
    EXPECT_EQ(hover->GetHoverLink(), str(""));
}

TEST_F(TTextLayoutTest, ScrollRangeOfATextTallerThanItsBox) {
    std::string text;
    for (int i = 0; i < 10; ++i) {
        text += "a<br>";
    }
    const auto sprite = Sprite(text, 200, 50);
    ASSERT_EQ(sprite->GetLineCount(), 10);
    const struct {
        float scale;
        int spacing;
        int range;
    } cases[] = {{1.0f, 0, 8}, {0.5f, 0, 5}, {1.0f, 10, 8}, {1.0f, 11, 9}, {0.1f, 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(sprite->GetScrollRange(c.scale, c.spacing), c.range)
            << c.scale << " " << c.spacing;
    }
    EXPECT_EQ(Sprite("a<br>b", 200, 50)->GetScrollRange(1.0f, 0), 0);
    // A last line taller than the box is still the page.
    EXPECT_EQ(Sprite("a<br>b", 200, 10)->GetScrollRange(1.0f, 0), 1);
}

TEST_F(TTextLayoutTest, TextsEndingInsideACharacterReadNothingPastTheirEnd) {
    // Exactly sized buffers: ASan sees a read past the end.
    for (const std::string& bytes :
         {std::string("\xF0"), std::string("a\xE2\x82"), std::string("\\"), std::string("\xC3")}) {
        const std::vector<char> text(bytes.begin(), bytes.end());
        int at = 0;
        while (at < static_cast<int>(text.size())) {
            uint32_t code = 0;
            int taken = 0;
            text_decode::NextCharacter(text.data() + at, static_cast<int>(text.size()) - at, &code,
                                       &taken);
            ASSERT_GT(taken, 0);
            at += taken;
        }
        EXPECT_EQ(at, static_cast<int>(text.size())) << bytes;
    }
    const struct {
        const char* text;
        const char* runs;
    } cases[] = {{"ab\xF0", "ab\xF0"}, {"ab\\", "ab\\"}, {"ab<font", "ab<font"}};
    for (const auto& c : cases) {
        const auto sprite = Sprite(c.text);
        EXPECT_EQ(RunTexts(*sprite), c.runs);
        EXPECT_EQ(RunOf(*sprite, 0, 0).endX, c.text[2] == '<' ? 113 : 33) << c.text;
    }
    // A tag is read only up to the length it is given.
    TTextSprite sprite;
    const char tag[] = {'<', 'b', '>'};
    int consumed = 0;
    bool lineBreak = false;
    bool caret = false;
    bool align = false;
    int pad = 0;
    int tab = 0;
    EXPECT_FALSE(sprite.ParseTag(tag, 2, &consumed, &lineBreak, &pad, &caret, &align, &tab));
    EXPECT_TRUE(sprite.ParseTag(tag, 3, &consumed, &lineBreak, &pad, &caret, &align, &tab));
    EXPECT_EQ(consumed, 3);
}

TEST_F(TTextLayoutTest, LongTagsAreCutAt128Characters) {
    // The size attribute lies past the 128 kept characters: it is not read.
    const std::string filler(130, 'z');
    auto sprite = Sprite("<font face='" + filler + "' size='30'>x");
    EXPECT_EQ(sprite->GetLines()[0]->runs.back().size, 20);
    // Blanks outside quotes are not kept, so they do not count.
    sprite = Sprite("<font" + std::string(200, ' ') + "size='30'>x");
    EXPECT_EQ(sprite->GetLines()[0]->runs.back().size, 30);
}

// The legacy line-wrap switch stays on for the rest of the process: it runs in one of its own.
CHILD_ENTRY(TextLegacyLineWrap) {
    TTextFonts fonts;
    SetSetting("legacylinewrap", "1");
    const struct {
        const char* text;
        int width;
        const char* lines;
    } cases[] = {{"abcdefgh", 50, "abcd/efgh"}, {"ab cd", 50, "ab /cd"}, {"ab", 5, "a/b"}};
    for (const auto& c : cases) {
        const std::string lines = LineTexts(*Sprite(c.text, c.width));
        if (lines != c.lines) {
            std::fprintf(stderr, "%s: %s, not %s\n", c.text, lines.c_str(), c.lines);
            return 1;
        }
    }
    return 0;
}

TEST(TextLegacyLineWrap, TheCharacterThatDidNotFitStaysOnTheLine) {
    const pid_t child = testing_fixtures::SpawnChild("TextLegacyLineWrap", {});
    ASSERT_GT(child, 0);
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 120), 0);
}

} // namespace
} // namespace text_test
