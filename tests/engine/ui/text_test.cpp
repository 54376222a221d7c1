// Text windows built from descriptions: label translation, the font table, windows without size,
// links that press buttons, and a translated label drawn on the headless software renderer. The
// test font draws every glyph as a filled 16 x 16 box at size 20, 16 pixels apart, the first one a
// pixel in from the left, its bottom 19 pixels below the line's top.

#include "engine/ui/button.h"
#include "engine/ui/text.h"
#include "engine/ui/textsprite.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace text_window_test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using widget_test::Text;
using widget_test::TWidgetTest;

class TTextTest : public TWidgetTest {
protected:
    // A point inside the link's run, in the window's coordinates.
    static TPoint LinkPoint(const TText& text, const char* id) {
        const TTextSprite* sprite = text.GetSprite();
        for (const auto& line : sprite->GetLines()) {
            for (const TTextRun& run : line->runs) {
                if (run.linkId == str(id)) {
                    const float x = static_cast<float>(line->x) + line->offset +
                                    static_cast<float>(run.startX + run.endX) / 2.0f;
                    return TPoint{static_cast<int>(x),
                                  sprite->GetAnchor() + static_cast<int>(sprite->GetStartOffset()) +
                                      10};
                }
            }
        }
        ADD_FAILURE() << "no link " << id;
        return TPoint{0, 0};
    }

    static TPoint ToScreen(const TWindow& window, TPoint point) {
        window.LocalToScreen(point);
        return point;
    }
};

TEST_F(TTextTest, LabelsAreTranslatedWhileTheScriptAsks) {
    AddStrings({{"title", "The Stage"}, {"42", "forty-two"}});
    struct TCase {
        const char* label;
        bool translate;
        const char* shown;
    };
    const TCase cases[] = {
        {"#42", true, "42"},
        {"3.5", true, "3.5"},
        {"42", true, "42"},
        {"title", true, "The Stage"},
        {"title", false, "title"},
        {"#42", false, "#42"},
        {"", true, ""},
        {"nolabel", true, "#####"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.label);
        Manager()->SetTranslateLabels(c.translate);
        Build(std::string("Text{ name = 't', w = 100, h = 30, label = '") + c.label + "' }");
        auto* text = Find<TText>("t");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(Text(text->GetText()), c.shown);
        text->GetParent()->RemoveChild(text);
        delete text;
    }
}

TEST_F(TTextTest, TheFontTableSetsNameSizeAndColour) {
    struct TCase {
        const char* font;
        const char* name;
        int size;
        TColor color;
    };
    const TColor green{0.0f, 1.0f, 0.0f, 1.0f};
    const TCase cases[] = {
        {"nil", "__DEFAULT", 16, green},
        {"'fonts/test.mvec'", "__DEFAULT", 16, green},
        {"{ 'fonts/test.mvec' }", "fonts/test.mvec", 16, green},
        {"{ 'fonts/test.mvec', 0 }", "fonts/test.mvec", 12, green},
        {"{ 'fonts/test.mvec', 20.7, { 1, 0.5, 0, 0.25 } }",
         "fonts/test.mvec",
         20,
         {1.0f, 0.5f, 0.0f, 0.25f}},
        {"{ nil, 30 }", "__DEFAULT", 30, green},
        {"{ {}, 'x', 'y' }", "__DEFAULT", 12, green},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.font);
        Build(std::string("Text{ name = 't', w = 100, h = 30, label = 'ab', font = ") + c.font +
              " }");
        auto* text = Find<TText>("t");
        ASSERT_NE(text, nullptr);
        ASSERT_NE(text->GetSprite(), nullptr);
        const TTextSprite& sprite = *text->GetSprite();
        EXPECT_EQ(Text(sprite.GetFontName()), c.name);
        EXPECT_EQ(sprite.GetFontSize(), c.size);
        EXPECT_EQ(sprite.GetColor().r, c.color.r);
        EXPECT_EQ(sprite.GetColor().g, c.color.g);
        EXPECT_EQ(sprite.GetColor().b, c.color.b);
        EXPECT_EQ(sprite.GetColor().a, c.color.a);
        text->GetParent()->RemoveChild(text);
        delete text;
    }
}

TEST_F(TTextTest, AWindowWithoutSizeHasNoSprite) {
    Build("Text{ name = 'empty', label = 'hello' }");
    auto* text = Find<TText>("empty");
    ASSERT_NE(text, nullptr);
    EXPECT_THAT(LogText(), HasSubstr("ERROR: Attempting to create text window of size(0,0): named "
                                     "'empty', label 'hello'"));
    EXPECT_EQ(text->GetSprite(), nullptr);
    EXPECT_EQ(Text(text->GetText()), "");
    text->SetText("changed");
    text->SetColor(TColor{1, 0, 0, 1});
    text->SetRotation(30.0f, 0, 0);
    EXPECT_EQ(Text(text->GetText()), "");
    EXPECT_EQ(text->GetTextExtent().right, 0);
    text->MoveTo(0, 0);
    text->SetSize(50, 50);
    const standin::TScreenImage image = DrawFrame();
    for (uint32_t pixel : image.pixels) {
        ASSERT_EQ(pixel & 0xFFFFFFu, 0u);
    }
    EXPECT_FALSE(text->OnMouseDown(TPoint{5, 5}));
    EXPECT_FALSE(text->OnMouseMove(TPoint{5, 5}));
}

TEST_F(TTextTest, SetTextColourRotationAndExtent) {
    Build("Text{ name = 't', x = 10, y = 10, w = 120, h = 40, label = 'ab', font = { "
          "'fonts/test.mvec', 20 } }");
    auto* text = Find<TText>("t");
    ASSERT_NE(text, nullptr);
    // Each glyph is 16 pixels on.
    const int right = text->GetTextExtent().right;
    const int layouts = text->GetSprite()->GetLayoutCount();
    text->SetText("ab");
    EXPECT_EQ(text->GetSprite()->GetLayoutCount(), layouts) << "same text, no layout";
    text->SetText("abcd");
    EXPECT_EQ(text->GetTextExtent().right, right + 32);
    text->SetColor(TColor{1, 0, 0, 1});
    EXPECT_EQ(text->GetSprite()->GetColor().r, 1.0f);
    EXPECT_EQ(text->GetSprite()->GetColor().g, 0.0f);

    Build("Text{ name = 'r', w = 50, h = 20, label = 'ab', rotation = 90 }");
    auto* rotated = Find<TText>("r");
    ASSERT_NE(rotated, nullptr);
    EXPECT_NEAR(rotated->GetSprite()->GetRotationSin(), 1.0f, 1e-6);
}

TEST_F(TTextTest, ALinkPressesTheButtonItNames) {
    PushDialog("dialog", TRect{0, 0, 160, 120});
    Build("Button{ name = 'ok', x = 0, y = 100, w = 20, h = 20 }");
    Build("Window{ name = 'plain', x = 30, y = 100, w = 20, h = 20 }");
    Build("Text{ name = 't', x = 0, y = 0, w = 160, h = 40, font = { 'fonts/test.mvec', 20 }, "
          "label = \"#a<a id='ok'>bc</a>d<a id='nothere'>e</a>f<a id='plain'>g</a>\" }");
    auto* text = Find<TText>("t");
    ASSERT_NE(text, nullptr);
    ScriptMessages();
    const TPoint ok = ToScreen(*text, LinkPoint(*text, "ok"));
    const TPoint plain = ToScreen(*text, LinkPoint(*text, "plain"));
    const TPoint missing = ToScreen(*text, LinkPoint(*text, "nothere"));

    // Pressed and released over the same link: the button's command runs once.
    Click(ok.x, ok.y);
    EXPECT_THAT(ScriptMessages(), ElementsAre("3 ok"));
    EXPECT_EQ(Text(text->GetPendingLink()), "");

    // Released over another link, or off the text: nothing runs, the pending link goes.
    Send(widget_test::MakeEvent(kEventLeftDown, ok.x, ok.y));
    EXPECT_EQ(Text(text->GetPendingLink()), "ok");
    Send(widget_test::MakeEvent(kEventMouseMove, plain.x, plain.y));
    Send(widget_test::MakeEvent(kEventLeftUp, plain.x, plain.y));
    EXPECT_EQ(Text(text->GetPendingLink()), "");
    Send(widget_test::MakeEvent(kEventLeftDown, ok.x, ok.y));
    Send(widget_test::MakeEvent(kEventMouseMove, 150, 30));
    Send(widget_test::MakeEvent(kEventLeftUp, 150, 30));
    EXPECT_EQ(Text(text->GetPendingLink()), "");
    EXPECT_THAT(ScriptMessages(), IsEmpty());

    // A target that is no button, or none at all, is logged.
    Click(plain.x, plain.y);
    Click(missing.x, missing.y);
    EXPECT_THAT(ScriptMessages(), IsEmpty());
    EXPECT_THAT(LogText(), HasSubstr("ERROR: Command window plain not a derived class of TButton"));
    EXPECT_THAT(LogText(), HasSubstr("ERROR: Command window nothere not found"));
}

TEST_F(TTextTest, HoveringALinkHighlightsItUntilTheMouseLeaves) {
    Build("Text{ name = 't', w = 160, h = 40, font = { 'fonts/test.mvec', 20 }, "
          "label = \"#a<a id='ok'>bc</a>d\" }");
    auto* text = Find<TText>("t");
    ASSERT_NE(text, nullptr);
    const TPoint ok = ToScreen(*text, LinkPoint(*text, "ok"));
    Send(widget_test::MakeEvent(kEventMouseMove, ok.x, ok.y));
    EXPECT_EQ(Text(text->GetSprite()->GetHoverLink()), "ok");
    EXPECT_TRUE(Manager()->IsTracking(text));
    Send(widget_test::MakeEvent(kEventMouseMove, ok.x + 1, ok.y));
    EXPECT_EQ(Text(text->GetSprite()->GetHoverLink()), "ok");
    EXPECT_TRUE(text->OnMouseLeave());
    EXPECT_EQ(Text(text->GetSprite()->GetHoverLink()), "");
    EXPECT_FALSE(Manager()->IsTracking(text));
}

TEST_F(TTextTest, ScrollFactorsPickTheFirstShownLineWithinTheTextsRange) {
    // Eight lines of 20 pixels, line i of i + 1 glyphs, in a 50-pixel window: two lines fit, and
    // the last page starts at line 6.
    std::string label;
    for (int i = 1; i <= 8; ++i) {
        label += std::string(static_cast<size_t>(i), 'a') + (i < 8 ? "<br>" : "");
    }
    Build("Text{ name = 't', x = 10, y = 10, w = 140, h = 50, font = { 'fonts/test.mvec', 20, "
          "{ 1, 1, 1, 1 } }, label = '" +
          label + "' }");
    auto* text = Find<TText>("t");
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(text->GetSprite()->GetLineCount(), 8);
    const struct {
        float factor;
        float firstLine;
        // Glyphs drawn on the window's first and second line; a third never fits.
        int glyphs[2];
    } cases[] = {
        {0.0f, 0.0f, {1, 2}},  {1.0f, 6.0f, {7, 8}}, {0.5f, 3.0f, {4, 5}},
        {-2.0f, 0.0f, {1, 2}}, {3.0f, 6.0f, {7, 8}}, {std::nanf(""), 0.0f, {1, 2}},
    };
    for (const auto& c : cases) {
        text->SetScroll(c.factor, 0);
        EXPECT_EQ(text->GetSprite()->GetFirstLine(), c.firstLine) << c.factor;
        const standin::TScreenImage image = DrawFrame();
        for (int row = 0; row < 3; ++row) {
            // Glyph boxes touch: a bar from x 11 to 11 + 16 a glyph, y 13 to 29 on a line.
            const int y = 10 + 20 * row + 10;
            int lit = 0;
            for (int x = 10; x < 150; ++x) {
                lit += (image.pixels[y * image.width + x] & 0xFFFFFFu) != 0 ? 1 : 0;
            }
            EXPECT_EQ(lit, row < 2 ? 16 * c.glyphs[row] + 1 : 0) << c.factor << " row " << row;
        }
    }
}

TEST_F(TTextTest, GoldenTranslatedLabel) {
    AddStrings({{"greet", "hi"}});
    Manager()->SetTranslateLabels(true);
    Build("Text{ name = 't', x = 10, y = 10, w = 100, h = 30, label = 'greet', font = { "
          "'fonts/test.mvec', 20, { 1, 1, 1, 1 } } }");
    Build("Text{ name = 'u', x = 10, y = 50, w = 100, h = 30, label = '#greet', font = { "
          "'fonts/test.mvec', 20, { 1, 1, 0, 1 } } }");
    const standin::TScreenImage image = DrawFrame();
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    struct TPixel {
        int x;
        int y;
        uint32_t expected;
    };
    // "hi": a white bar from x 11 to 43, y 13 to 29; "greet" untranslated, yellow, to x 91.
    const TPixel pixels[] = {
        {20, 20, 0xFFFFFF}, {40, 20, 0xFFFFFF}, {50, 20, 0},        {80, 20, 0}, {5, 20, 0},
        {20, 8, 0},         {20, 60, 0xFFFF00}, {80, 60, 0xFFFF00}, {95, 60, 0},
    };
    for (const TPixel& p : pixels) {
        EXPECT_EQ(at(p.x, p.y), p.expected) << p.x << "," << p.y;
    }
    testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/text_window.png");
}

} // namespace
} // namespace text_window_test
