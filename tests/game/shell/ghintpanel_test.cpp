// The hint panels on a fixture game screen of the game harness: the small panel's flight step by
// step, the large panel's notes and its staying shown, and the children a panel may lack.

#include "engine/ui/text.h"
#include "game/shell/GHintPanel.h"
#include "tests/game/game_harness.h"

#include <gtest/gtest.h>

namespace hintpanel_test {

using namespace game_harness;

const char kScreen[] =
    "SetWindowName('hints')\nfunction GetMoney() return 500 end\nMakeDialog({ GHintPanel({ name = "
    "'hint_panel', x = 10, y = 20, "
    "w = 200, h = 100, Text({ name = 'hint_caption', w = 100, h = 20 }), "
    "Text({ name = 'hint_descript', w = 100, h = 20 }), Text({ name = 'item_cost', w = 50, h = 20 "
    "}), Text({ name = 'coment_text', w = 50, h = 20 }), Text({ name = 'recomend_text', w = 50, "
    "h = 20 }), Bitmap({ name = 'hint_bottom', w = 5, h = 5 }), Bitmap({ name = 'hint_top', w = 5, "
    "h = 5 }) }), GSmallHintPanel({ name = 'small_hint_panel', x = 100, y = 200, w = 160, h = 100, "
    "vector_x = 2, vector_y = -4, FontColorFlyDown = { 1, 0, 0, 1 }, "
    "Text({ name = 'small_hint_caption', w = 100, h = 20 }), "
    "Text({ name = 'small_hint_descript', w = 100, h = 20 }) }), "
    "GSmallHintPanel({ name = 'bare', x = 0, y = 0, w = 10, h = 10 }), "
    "GSmallHintPanel({ name = 'huge', x = 0, y = 0, w = 10, h = 10, vector_x = 1e300, "
    "vector_y = -1/0 }), GSmallHintPanel({ name = 'nan', x = 5, y = 6, w = 10, h = 10, "
    "vector_x = 0/0, vector_y = 0/0 }) })\n";

class THintPanelTest : public TGameHarness {
protected:
    void Run(const std::function<void()>& body) {
        mGame.Write("assets/scripts/hints.lua", kScreen);
        RunGame(
            [&](TPlatform*, GGameMain&) {
                ASSERT_EQ(Top(), "hints");
                body();
            },
            {{"firstscreen", "scripts/hints.lua"}});
    }

    static GSmallHintPanel* Small(const char* name = "small_hint_panel") {
        return static_cast<GSmallHintPanel*>(Find(name));
    }
    static GHintPanel* Large() { return static_cast<GHintPanel*>(Find("hint_panel")); }
    static bool Visible(const char* name) {
        return (Find(name)->GetFlags() & TWindow::kEnabled) != 0;
    }
    static TPoint Place(TWindow* window) {
        return TPoint{window->GetRect().left, window->GetRect().top};
    }
};

TEST_F(THintPanelTest, AFlightStepsByTheRemainingAmountAndHidesOnItsLastTick) {
    Run([] {
        GSmallHintPanel* panel = Small();
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(panel->IsIdle()) << "idle after Init";
        EXPECT_FALSE(Visible("small_hint_panel"));
        panel->Fly(1, 3, false);
        EXPECT_EQ(Place(panel).x, 106);
        EXPECT_EQ(Place(panel).y, 188);
        EXPECT_FALSE(panel->IsIdle());
        EXPECT_TRUE(Visible("small_hint_panel"));
        const int expected[][2] = {{112, 176}, {116, 168}, {118, 164}};
        for (int tick = 0; tick < 3; ++tick) {
            ASSERT_TRUE(Turn(GHintPanel::kTickMs));
            EXPECT_EQ(Place(panel).x, expected[tick][0]) << "tick " << tick;
            EXPECT_EQ(Place(panel).y, expected[tick][1]) << "tick " << tick;
            EXPECT_EQ(panel->IsIdle(), tick == 2) << "tick " << tick;
        }
        EXPECT_FALSE(Visible("small_hint_panel"));
        EXPECT_TRUE(panel->OnAnimate()) << "an idle panel keeps ticking";
        ASSERT_TRUE(Turn(GHintPanel::kTickMs));
        EXPECT_EQ(Place(panel).x, 118);
    });
}

TEST_F(THintPanelTest, DownwardFlightReversesTheVector) {
    Run([] {
        GSmallHintPanel* panel = Small();
        panel->Fly(-1, 1, true);
        EXPECT_EQ(Place(panel).x, 98);
        EXPECT_EQ(Place(panel).y, 204);
        EXPECT_FLOAT_EQ(panel->GetVelocity().x, -2.0f);
        EXPECT_FLOAT_EQ(panel->GetVelocity().y, 4.0f);
        EXPECT_TRUE(panel->OnAnimate());
        EXPECT_TRUE(panel->IsIdle()) << "amount 1: the first tick ends the flight";
        panel->Fly(0, 1, true);
        EXPECT_FLOAT_EQ(panel->GetVelocity().x, 2.0f) << "direction 0 flies up";
    });
}

TEST_F(THintPanelTest, AStillHintRunsDownItsCountAndThenHides) {
    Run([] {
        GSmallHintPanel* panel = Small("bare");
        panel->Fly(0, 5000, false);
        // 5000 ticks of 30 ms on the fake clock, the last one hiding it.
        ASSERT_TRUE(RunFor(4999 * GHintPanel::kTickMs, GHintPanel::kTickMs));
        EXPECT_FALSE(panel->IsIdle());
        EXPECT_EQ(panel->GetMoveCount(), 1.0f);
        ASSERT_TRUE(Turn(GHintPanel::kTickMs));
        EXPECT_TRUE(panel->IsIdle());
        EXPECT_EQ(Place(panel).x, 0);
        EXPECT_EQ(Place(panel).y, 0);
    });
}

TEST_F(THintPanelTest, TheLargeHintShowsItsNotesAndStaysShown) {
    Run([] {
        GHintPanel* panel = Large();
        ASSERT_NE(panel, nullptr);
        // The ten moves after Init run out on the panel's own 30 ms timer.
        ASSERT_TRUE(RunFor(400));
        EXPECT_EQ(panel->GetMoveCount(), 0.0f);
        panel->SetCaption("Chair");
        panel->SetDescription("Sit");
        panel->SetCost(1000000);
        panel->SetRecommended(false);
        panel->Refresh();
        EXPECT_EQ(Text(static_cast<TText*>(Find("item_cost"))->GetText()), "1000000");
        EXPECT_EQ(Text(static_cast<TText*>(Find("hint_caption"))->GetText()), "Chair");
        EXPECT_EQ(Text(static_cast<TText*>(Find("hint_descript"))->GetText()), "Sit");
        EXPECT_TRUE(Visible("coment_text"));
        EXPECT_TRUE(Visible("hint_bottom"));
        EXPECT_FALSE(Visible("recomend_text"));
        EXPECT_FALSE(Visible("hint_top"));

        panel->SetCost(-1);
        panel->SetRecommended(true);
        panel->Refresh();
        EXPECT_FALSE(Visible("coment_text"));
        EXPECT_FALSE(Visible("hint_bottom"));
        EXPECT_TRUE(Visible("recomend_text"));
        EXPECT_TRUE(Visible("hint_top"));
        for (int tick = 0; tick < 20; ++tick) {
            panel->OnAnimate();
        }
        EXPECT_TRUE(panel->IsShown());
        EXPECT_TRUE(Visible("hint_panel"));
        EXPECT_EQ(Place(panel).x, 10) << "a large panel does not move";
    });
}

TEST_F(THintPanelTest, APanelWithoutChildrenSkipsThem) {
    Run([] {
        GSmallHintPanel* panel = Small("bare");
        panel->SetDescription("x");
        panel->SetCaption("y");
        panel->SetCost(5);
        panel->SetBackground(1);
        panel->SetDescriptionColor(TColor{1.0f, 0.0f, 0.0f, 1.0f});
        panel->Refresh();
        EXPECT_FALSE(panel->IsIdle());
        EXPECT_EQ(panel->GetCost(), 5);
    });
}

// Vectors from the script are held to the int range (NaN is no motion), and a panel flown past
// the int range stands at a defined place.
TEST_F(THintPanelTest, HugeAndNanVectorsStayDefined) {
    Run([] {
        GSmallHintPanel* huge = Small("huge");
        huge->Fly(1, 3, false);
        EXPECT_FLOAT_EQ(huge->GetVelocity().x, 2147483647.0f);
        EXPECT_FLOAT_EQ(huge->GetVelocity().y, -2147483648.0f);
        huge->Fly(-1, 5000, true);
        EXPECT_FLOAT_EQ(huge->GetVelocity().x, -2147483647.0f);
        ASSERT_TRUE(Turn(GHintPanel::kTickMs));
        EXPECT_FALSE(huge->IsIdle());

        GSmallHintPanel* still = Small("nan");
        still->Fly(1, 2, false);
        EXPECT_EQ(still->GetVelocity().x, 0.0f);
        EXPECT_EQ(still->GetVelocity().y, 0.0f);
        EXPECT_EQ(Place(still).x, 5);
        EXPECT_EQ(Place(still).y, 6);
    });
}

} // namespace hintpanel_test
