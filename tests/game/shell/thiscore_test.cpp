// The hiscore window over a seeded local score table: the rows it fills and hides, the captions,
// names shrunk to fit, "hiscorelocal", clearing the table, and its Lua functions coming and going
// with it.

#include "engine/ui/message.h"
#include "engine/ui/text.h"
#include "engine/ui/textsprite.h"
#include "game/shell/THiscore.h"
#include "tests/game/shell/screen_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace hiscore_test {

using screen_test::Text;

// Ten rows of texts 100 x 20 (names, one line high at size 20), every caption, a left panel and the
// scroll buttons; the script's UpdateButtons counts its calls.
std::string HiscoreScreen() {
    std::string rows;
    for (int i = 1; i <= 10; ++i) {
        const std::string n = std::to_string(i);
        const std::string y = std::to_string(i * 2);
        rows += "Text{ name = 'name" + n + "', x = 0, y = " + y +
                ", w = 100, h = 20, font = { 'fonts/test.mvec', 20 }, label = '' },"
                "Text{ name = 'score" +
                n + "', x = 100, y = " + y +
                ", w = 40, h = 24, label = '' },"
                "Text{ name = '" +
                n + "', x = 140, y = " + y + ", w = 20, h = 24, label = '' },";
    }
    std::string captions;
    for (const char* name : {"eligible", "eligibleasterisk", "server", "error", "info", "category",
                             "local", "global", "topplayers", "congratulations", "dnq", "yourrank",
                             "yourrankglobalinfo", "rankvalue", "scrollup", "scrolldown"}) {
        captions += std::string("Window{ name = '") + name + "', x = 0, y = 0, w = 5, h = 5 },";
    }
    return "HiscoreWindow{ name = 'hiscores', x = 0, y = 0, w = 160, h = 120, " + rows + captions +
           "Window{ name = 'leftpanel', x = 7, y = 9, w = 20, h = 20 } }";
}

class THiscoreTest : public screen_test::TScreenTest {
protected:
    void SetUp() override {
        TScreenTest::SetUp();
        Script()->RegisterWindowType("HiscoreWindow", &THiscore::Create);
        Run("gButtonUpdates = 0 function UpdateButtons() gButtonUpdates = gButtonUpdates + 1 end");
    }

    // Entries {name, score} filed in the local table; the selected player is `current`.
    void Seed(const std::vector<std::pair<std::string, int>>& entries, const char* current) {
        MakeProfiles({current}, 0);
        for (const auto& [name, score] : entries) {
            Hiscores().SetUserField(1, name.c_str());
            Hiscores().AddLocalScore(score, true, nullptr, nullptr);
        }
        Hiscores().SetUserField(1, current);
    }

    THiscore* Open() {
        Build(HiscoreScreen());
        return Find<THiscore>("hiscores");
    }

    static std::string Label(const std::string& name) {
        auto* text = Find<TText>(name.c_str());
        return text != nullptr ? Text(text->GetText()) : "<none>";
    }
    static bool ShownChild(const std::string& name) { return Shown(Find(name.c_str())); }

    // Rows 1 to 10 as "name score rank" when shown, "-" when hidden.
    static std::vector<std::string> Rows() {
        std::vector<std::string> rows;
        for (int i = 1; i <= 10; ++i) {
            const std::string n = std::to_string(i);
            const bool shown = ShownChild("name" + n);
            EXPECT_EQ(ShownChild("score" + n), shown) << n;
            EXPECT_EQ(ShownChild(n), shown) << n;
            rows.push_back(shown ? Label("name" + n) + " " + Label("score" + n) + " " + Label(n)
                                 : "-");
        }
        return rows;
    }
};

TEST_F(THiscoreTest, ThreeEntriesFillTheFirstThreeRowsBestFirst) {
    Seed({{"ann", 300}, {"bob", 500}, {"cy", 400}}, "dee");
    THiscore* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(window->GetClassName(), "THiscore");
    EXPECT_EQ(Rows(), (std::vector<std::string>{"bob 500 1.", "cy 400 2.", "ann 300 3.", "-", "-",
                                                "-", "-", "-", "-", "-"}));
    EXPECT_TRUE(ShownChild("local"));
    EXPECT_TRUE(ShownChild("info"));
    for (const char* hidden : {"topplayers", "eligible", "eligibleasterisk", "scrollup",
                               "scrolldown", "server", "congratulations", "rankvalue"}) {
        EXPECT_FALSE(ShownChild(hidden)) << hidden;
    }
    EXPECT_EQ(Script()->GetGlobalNumber("gButtonUpdates"), 1);
    Run("count = CPP_GetScoreCount() available = ScoreAvailable() state = GetState()");
    EXPECT_EQ(Script()->GetGlobalNumber("count"), 3);
    EXPECT_FALSE(BoolGlobal("available"));
    EXPECT_EQ(Script()->GetGlobalNumber("state"), 0);
    TRect bounds{};
    EXPECT_TRUE(window->GetScreenBounds(&bounds));
    EXPECT_EQ(bounds.right, 800);
    EXPECT_EQ(bounds.bottom, 600);
    EXPECT_FALSE(window->GetScreenBounds(nullptr));
}

TEST_F(THiscoreTest, ThePlayerInTheTableShowsTheEligibleCaptions) {
    Seed({{"ann", 300}, {"dee", 200}}, "dee");
    ASSERT_NE(Open(), nullptr);
    EXPECT_TRUE(ShownChild("eligible"));
    EXPECT_TRUE(ShownChild("eligibleasterisk"));
    Run("available = ScoreAvailable()");
    EXPECT_TRUE(BoolGlobal("available"));
}

TEST_F(THiscoreTest, TwentyFiveEntriesShowTheFirstTenAndScrollingDownKeepsThem) {
    std::vector<std::pair<std::string, int>> entries;
    for (int i = 1; i <= 25; ++i) {
        entries.emplace_back("p" + std::to_string(i), i * 10);
    }
    Seed(entries, "p1");
    THiscore* window = Open();
    ASSERT_NE(window, nullptr);
    const std::vector<std::string> first = Rows();
    EXPECT_EQ(first.front(), "p25 250 1.");
    EXPECT_EQ(first.back(), "p16 160 10.");
    EXPECT_FALSE(ShownChild("scrolldown"));

    TWindow::SendMessage(window, new TMessage(TMessage::kButtonPress, "scrolldown", window));
    EXPECT_EQ(Rows(), first);
    EXPECT_EQ(window->GetScrollOffset(), 0);
    TWindow::SendMessage(window, new TMessage(TMessage::kButtonPress, "viewlocal", window));
    EXPECT_EQ(Rows(), first);
    EXPECT_EQ(Script()->GetGlobalNumber("gButtonUpdates"), 2) << "viewlocal updates the buttons";
    EXPECT_EQ(ScriptMessages(), (std::vector<std::string>{"3 scrolldown", "3 viewlocal"}))
        << "the presses go on to the script";
}

TEST_F(THiscoreTest, ALongNameShrinksUntilItFitsAndTheNextKeepsTheSmallerSizeWhenItFits) {
    // At size s a glyph is 0.8 s pixels and a line s pixels high: ten glyphs fit 100 pixels from
    // size 12 down, eight at size 12; thirteen wrap into two lines, 20 pixels high at size 10.
    Seed({{"abcdefghij", 300}}, "x");
    ASSERT_NE(Open(), nullptr);
    auto* name = Find<TText>("name1");
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->GetSprite()->GetFontSize(), 12);
    EXPECT_LE(name->GetTextExtent().right, 100);

    struct TCase {
        const char* name;
        int size;
    };
    for (const TCase& c : {TCase{"abcdefgh", 12}, TCase{"abcdefghijklm", 10}, TCase{"ab", 10}}) {
        Hiscores().ClearLocalScores();
        Hiscores().SetUserField(1, c.name);
        Hiscores().AddLocalScore(100, true, nullptr, nullptr);
        Run("UpdateText()");
        EXPECT_EQ(Label("name1"), c.name);
        EXPECT_EQ(name->GetSprite()->GetFontSize(), c.size) << c.name;
        EXPECT_LE(name->GetTextExtent().right, 100) << c.name;
    }
}

TEST_F(THiscoreTest, HiscoreLocalShowsTopPlayersHidesTheInfoAndMovesTheLeftPanel) {
    SetSetting("hiscorelocal", "1");
    Seed({{"ann", 300}, {"dee", 200}}, "dee");
    ASSERT_NE(Open(), nullptr);
    EXPECT_TRUE(ShownChild("topplayers"));
    for (const char* hidden : {"local", "info", "eligible", "eligibleasterisk"}) {
        EXPECT_FALSE(ShownChild(hidden)) << hidden;
    }
    const TRect& panel = Find("leftpanel")->GetRect();
    EXPECT_EQ(panel.left, 137);
    EXPECT_EQ(panel.top, 9);
    SetSetting("hiscorelocal", "0");
}

TEST_F(THiscoreTest, ClearEmptiesTheTableOnDiskAndOnScreen) {
    Seed({{"ann", 300}, {"bob", 500}}, "ann");
    ASSERT_NE(Open(), nullptr);
    ASSERT_EQ(Rows()[1], "ann 300 2.");
    Run("cleared = CPP_Clear() count = CPP_GetScoreCount()");
    EXPECT_EQ(Script()->GetGlobalNumber("cleared"), 1);
    EXPECT_EQ(Script()->GetGlobalNumber("count"), 0);
    EXPECT_EQ(Rows(), std::vector<std::string>(10, "-"));
    EXPECT_FALSE(ShownChild("eligible"));

    DestroyUserManager();
    MakeProfiles({"ann"}, 0);
    EXPECT_EQ(Hiscores().GetScoreCount(true), 0) << "the file holds no entry";
}

TEST_F(THiscoreTest, ClosedItsGlobalsAreNilAndGetStateAnswersAsTheEnginesAgain) {
    Seed({{"ann", 300}}, "ann");
    // The engine's game-state query the window stands in for.
    Run("function GetState(key) return 'engine ' .. key end engineGetState = GetState");
    THiscore* window = Open();
    ASSERT_NE(window, nullptr);
    Run("during = (GetState ~= engineGetState) heldUpdate = UpdateText");
    EXPECT_TRUE(BoolGlobal("during"));
    Close(window);
    for (const char* name : {"ScoreAvailable", "UpdateText", "CPP_Clear", "CPP_GetScoreCount"}) {
        EXPECT_TRUE(IsNil(name)) << name;
    }
    Run("restored = (GetState == engineGetState) answer = GetState('x')");
    EXPECT_TRUE(BoolGlobal("restored"));
    EXPECT_EQ(Text(Script()->GetGlobalString("answer")), "engine x");
    // A copy the script kept raises a script error instead of reaching the deleted window.
    Run("ok = pcall(heldUpdate)");
    EXPECT_FALSE(BoolGlobal("ok"));
}

} // namespace hiscore_test
