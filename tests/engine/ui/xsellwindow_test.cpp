// The cross-sell window filled from fixture data files through its Lua globals: the slots it
// disables, the description and link texts, the game and site links handed to the platform's
// browser launch, the windows it centres once, the globals withdrawn with the window, and a
// filled panel drawn on the headless software renderer.

#include "engine/ui/button.h"
#include "engine/ui/text.h"
#include "engine/ui/textsprite.h"
#include "engine/ui/xsellwindow.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace xsell_test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using widget_test::MakeEvent;
using widget_test::PatternPng;
using widget_test::TBytes;
using widget_test::Text;
using widget_test::TWidgetTest;

TBytes Bytes(const std::string& text) {
    return TBytes(text.begin(), text.end());
}

// "gameinfo" elements numbered from 1, each with a link, a link text on the odd ones.
std::string GameInfos(int count) {
    std::string xml;
    for (int n = 1; n <= count; ++n) {
        xml += "<gameinfo description=\"g" + std::to_string(n) + "\" link=\"http://g" +
               std::to_string(n) + ".example/\"" + (n % 2 == 1 ? " linktext=\"more\"" : "") + "/>";
    }
    return xml;
}

class TXSellTest : public TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        standin::RecordShellExecute(true);
        standin::TakeShellExecutes();
        AddFile("gfx/b.png", PatternPng(20, 10, [](int, int) { return 0x0000C0u; }));
        AddFile("gfx/logo.png", PatternPng(30, 20, [](int, int) { return 0xC0C000u; }));
        PushDialog("dialog", TRect{0, 0, widget_test::kScreenWidth, widget_test::kScreenHeight});
        // Eight slots: a description and a button each; the logos and the site button.
        std::string panel = "XSellWindow{ name = 'xs', w = 160, h = 120, ";
        for (int n = 1; n <= 8; ++n) {
            const std::string y = std::to_string(n * 12 - 10);
            panel += "Text{ name = 'descrip" + std::to_string(n) + "', x = 2, y = " + y +
                     ", w = 120, h = 12, font = { 'fonts/test.mvec', 10, { 1, 1, 1, 1 } } }, ";
            panel += "Button{ name = 'xsellbutton" + std::to_string(n) + "', x = 140, y = " + y +
                     ", graphics = { 'gfx/b.png', 'gfx/b.png', 'gfx/b.png' } }, ";
        }
        panel += "Text{ name = 'centertext1', x = 0, y = 100, w = 80, h = 12 }, "
                 "Text{ name = 'centertext2', x = 80, y = 100, w = 80, h = 12 }, "
                 "Bitmap{ name = 'sitelogo', x = 60, y = 40, image = 'gfx/logo.png' }, "
                 "Window{ name = 'gamesite', x = 100, y = 100, w = 10, h = 6 } }";
        Build(panel);
        mPanel = Find<TXSellWindow>("xs");
        ASSERT_NE(mPanel, nullptr);
    }

    void TearDown() override {
        standin::RecordShellExecute(false);
        standin::TakeShellExecutes();
        TWidgetTest::TearDown();
    }

    void Serve(const std::string& inside) {
        AddFile("xsell/xsell.xml", Bytes("<?xml version=\"1.0\"?><xsell>" + inside + "</xsell>"));
    }

    bool Enabled(const std::string& name) {
        TWindow* window = mPanel->FindChild(name.c_str(), -1);
        EXPECT_NE(window, nullptr) << name;
        return window != nullptr && (window->GetFlags() & TWindow::kEnabled) != 0;
    }
    std::string Shown(const char* name) { return Text(Find<TText>(name)->GetText()); }

    // The addresses handed to the browser since the last call.
    static std::vector<std::string> Launched() {
        std::vector<std::string> files;
        for (const auto& record : standin::TakeShellExecutes()) {
            files.push_back(record.file);
        }
        return files;
    }

    TXSellWindow* mPanel = nullptr;
};

TEST_F(TXSellTest, FillsTheSlotsAndDisablesTheRest) {
    Serve(GameInfos(3) + "<sitelink link=\"http://site.example/\"/>"
                         "<centertext text1=\"left\" text2=\"right\"/>");
    Run("SetupXSell()");
    for (int n = 1; n <= 8; ++n) {
        EXPECT_EQ(Enabled("descrip" + std::to_string(n)), n <= 3) << n;
        EXPECT_EQ(Enabled("xsellbutton" + std::to_string(n)), n <= 3) << n;
    }
    EXPECT_EQ(Shown("descrip1"),
              "g1 <u><font color=\"003cff\"><a id='xsellbutton1'>more</a></font></u>");
    // Without a link text only the description, and still the link.
    EXPECT_EQ(Shown("descrip2"), "g2");
    EXPECT_EQ(Text(mPanel->GetGameLink(2)), "http://g2.example/");
    EXPECT_EQ(Shown("centertext1"), "left");
    EXPECT_EQ(Shown("centertext2"), "right");
    EXPECT_TRUE(Enabled("gamesite"));
    Run("LaunchGameLink(0) LaunchGameLink(3)");
    EXPECT_THAT(Launched(), ElementsAre("http://site.example/", "http://g3.example/"));
}

TEST_F(TXSellTest, ClickingTheLinkTextPressesTheSlotsButton) {
    Serve(GameInfos(1));
    Run("SetupXSell()");
    ScriptMessages();
    auto* text = Find<TText>("descrip1");
    // "g1 " then the link: the test font's boxes are 8 pixels apart at size 10.
    const TRect extent = text->GetTextExtent();
    TPoint point{extent.right - 4, (extent.top + extent.bottom) / 2};
    text->LocalToScreen(point);
    Click(point.x, point.y);
    EXPECT_THAT(ScriptMessages(), Contains("3 xsellbutton1"));
}

TEST_F(TXSellTest, WithoutSiteLinkTheSiteStaysEmptyAndGamesiteIsDisabled) {
    Serve(GameInfos(2));
    Run("SetupXSell() LaunchGameLink(0)");
    EXPECT_FALSE(Enabled("gamesite"));
    EXPECT_EQ(Text(mPanel->GetSiteLink()), "");
    // The empty address reaches the platform, which opens nothing.
    for (const std::string& file : Launched()) {
        EXPECT_EQ(file, "");
    }
}

TEST_F(TXSellTest, NineGamesKeepSevenLinks) {
    Serve(GameInfos(9));
    Run("SetupXSell()");
    EXPECT_EQ(Shown("descrip8"), "g8");
    EXPECT_TRUE(Enabled("xsellbutton8"));
    EXPECT_EQ(Text(mPanel->GetGameLink(7)), "http://g7.example/");
    Run("LaunchGameLink(9) LaunchGameLink(8) LaunchGameLink(-1) LaunchGameLink(7)");
    EXPECT_THAT(Launched(), ElementsAre("http://g7.example/"));
}

TEST_F(TXSellTest, MissingFileDisablesEverySlotAndCentresOnce) {
    Run("SetupXSell()");
    for (int n = 1; n <= 8; ++n) {
        EXPECT_FALSE(Enabled("descrip" + std::to_string(n))) << n;
        EXPECT_FALSE(Enabled("xsellbutton" + std::to_string(n))) << n;
    }
    const TWindow* button = Find("xsellbutton1");
    const TWindow* logo = Find("sitelogo");
    const TWindow* site = Find("gamesite");
    // Moved left and up by their halves: 20 x 10, 30 x 20, 10 x 6.
    EXPECT_EQ(button->GetRect().left, 130);
    EXPECT_EQ(button->GetRect().top, -3);
    EXPECT_EQ(logo->GetRect().left, 45);
    EXPECT_EQ(logo->GetRect().top, 30);
    EXPECT_EQ(site->GetRect().left, 95);
    EXPECT_EQ(site->GetRect().top, 97);
    // A second call reads the file again and moves nothing.
    Serve(GameInfos(1));
    Run("SetupXSell()");
    EXPECT_EQ(Shown("descrip1"),
              "g1 <u><font color=\"003cff\"><a id='xsellbutton1'>more</a></font></u>");
    EXPECT_EQ(button->GetRect().left, 130);
    EXPECT_EQ(logo->GetRect().top, 30);
    EXPECT_EQ(site->GetRect().left, 95);
}

TEST_F(TXSellTest, DeletedWindowLeavesScriptErrors) {
    Run("gKeep = SetupXSell");
    mPanel->GetParent()->RemoveChild(mPanel);
    delete mPanel;
    Run("gPlain = tostring(pcall(function() SetupXSell() end)) "
        "gKept = tostring(pcall(gKeep)) "
        "gLaunch = tostring(pcall(function() LaunchGameLink(0) end))");
    EXPECT_EQ(Global("gPlain"), "false");
    EXPECT_EQ(Global("gKept"), "false");
    EXPECT_EQ(Global("gLaunch"), "false");
    EXPECT_THAT(Launched(), IsEmpty());
}

TEST_F(TXSellTest, GoldenFilledPanel) {
    Serve(GameInfos(2) + "<sitelink link=\"http://site.example/\"/>");
    Run("SetupXSell()");
    const standin::TScreenImage image = DrawFrame();
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    // Slot 1's button at (130, -3) cut to rows 0-6; slot 2's at (130, 9); the logo from (45, 30).
    EXPECT_EQ(at(135, 3), 0x0000C0u);
    EXPECT_EQ(at(135, 12), 0x0000C0u);
    EXPECT_EQ(at(135, 30), 0u);
    EXPECT_EQ(at(50, 35), 0xC0C000u);
    EXPECT_EQ(at(80, 35), 0u);
    // "g1 " in white, then the link text in its link colour; "g2" alone on the next line.
    EXPECT_EQ(at(5, 6), 0xFFFFFFu);
    EXPECT_EQ(at(40, 6), 0x003CFFu);
    EXPECT_EQ(at(5, 20), 0xFFFFFFu);
    EXPECT_EQ(at(40, 20), 0u);
    testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/xsell_panel.png");
}

} // namespace
} // namespace xsell_test
