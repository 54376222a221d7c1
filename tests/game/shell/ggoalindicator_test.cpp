// The goal indicator over a fixture score panel on the game harness: what the panel shows as the
// score moves, the two celebrations and their blinking, and the same without a score bar.

#include "engine/ui/text.h"
#include "game/shell/GGoalIndicator.h"
#include "game/shell/TProgressBar.h"
#include "game/visual/TPSimple.h"
#include "tests/game/game_harness.h"

#include <gmock/gmock.h>

namespace goalindicator_test {

using namespace game_harness;
using testing::ElementsAre;

// `bar` is the score bar's definition, or empty.
std::string PanelScreen(const std::string& bar) {
    return "SetWindowName('game')\nMakeDialog({ Window({ name = 'score_panel', w = 300, h = 100, " +
           bar +
           "ProgressBar({ name = 'goal_progress', w = 200, h = 4 }), "
           "Text({ name = 'score_number', w = 50, h = 20 }), "
           "Text({ name = 'score_number_up', w = 50, h = 20 }), "
           "Text({ name = 'goal_reach_txt', w = 50, h = 20 }), "
           "Window({ name = 'expert_reach_txt', w = 50, h = 20 }), "
           "Text({ name = 'goal_number', w = 50, h = 20 }), "
           "Text({ name = 'bess_distance_number', w = 50, h = 20 }), "
           "Text({ name = 'goal_mode_name', w = 50, h = 20 }) }), "
           "TPSimple({ name = 'score_glow', w = 10, h = 10 }) })\n";
}

const char kScoreBar[] = "ProgressBar({ name = 'score_progress', w = 200, h = 4 }), ";

const char kStrings[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Workbook><Worksheet Name=\"strings\"><Table>\n"
    "<Row><Cell><Data>windowtitle</Data></Cell><Cell><Data>Fixture Title</Data></Cell></Row>\n"
    "<Row><Cell><Data>goal_txt</Data></Cell><Cell><Data>Goal</Data></Cell></Row>\n"
    "<Row><Cell><Data>expert_goal</Data></Cell><Cell><Data>Expert</Data></Cell></Row>\n"
    "</Table></Worksheet></Workbook>\n";

struct TListener final : GGoalListener {
    std::vector<std::string> events;
    void OnGoalReached() override { events.emplace_back("goal"); }
    void OnExpertReached() override { events.emplace_back("expert"); }
};

class TGoalIndicatorTest : public TGameHarness {
protected:
    static std::string Shown(const char* name) {
        TWindow* window = Find(name);
        return window != nullptr && window->IsKindOf(TText::ClassId())
                   ? Text(static_cast<TText*>(window)->GetText())
                   : "no text " + std::string(name);
    }

    static bool Visible(const char* name) {
        TWindow* window = Find(name);
        return window != nullptr && (window->GetFlags() & TWindow::kEnabled) != 0;
    }

    // The glow's particle script's "gActive", as 1, 0 or -1 for nil.
    static int Glow() {
        auto* glow = static_cast<TPSimple*>(Find("score_glow"));
        TScript* script = glow->GetParticles().GetScript();
        if (script == nullptr) {
            return -2;
        }
        script->DoLuaString("gActiveSeen = gActive == nil and -1 or (gActive and 1 or 0)");
        return static_cast<int>(script->GetGlobalNumber("gActiveSeen"));
    }

    void SetUp() override {
        TGameHarness::SetUp();
        mGame.Write("assets/strings.xml", kStrings);
    }

    void RunPanel(const std::string& bar, const std::function<void()>& body) {
        mGame.Write("assets/scripts/panel.lua", PanelScreen(bar));
        RunGame(
            [&](TPlatform*, GGameMain&) {
                ASSERT_EQ(Top(), "game");
                body();
            },
            {{"firstscreen", "scripts/panel.lua"}});
    }
};

TEST_F(TGoalIndicatorTest, AttachingShowsTheStartingGoalsAndHidesTheCaptions) {
    RunPanel(kScoreBar, [] {
        GGoalIndicator indicator;
        TListener listener;
        indicator.Attach(Find("score_panel"), &listener);
        EXPECT_EQ(indicator.GetGoal(), 50);
        EXPECT_EQ(indicator.GetExpert(), 100);
        EXPECT_EQ(Shown("goal_number"), "50");
        EXPECT_EQ(Shown("score_number"), "0");
        EXPECT_EQ(Shown("goal_mode_name"), "Goal");
        EXPECT_EQ(Shown("bess_distance_number"), "0");
        for (const char* hidden : {"score_number_up", "goal_reach_txt", "expert_reach_txt"}) {
            EXPECT_FALSE(Visible(hidden)) << hidden;
        }
        auto* goalBar = static_cast<TProgressBar*>(Find("goal_progress"));
        EXPECT_EQ(goalBar->GetMaximum(), 100.0f);
        EXPECT_EQ(goalBar->GetValue(), 50.0f);

        indicator.SetGoals(30, 60);
        EXPECT_EQ(Shown("goal_number"), "30");
        EXPECT_EQ(static_cast<TProgressBar*>(Find("score_progress"))->GetMaximum(), 60.0f);
        EXPECT_EQ(goalBar->GetValue(), 30.0f);
        indicator.SetScore(-7);
        EXPECT_EQ(Shown("score_number"), "0") << "a negative score shows as 0";
        EXPECT_TRUE(listener.events.empty());
    });
}

// With and without the score bar the celebrations happen the same way: the score is compared
// with 0 and the expert score directly when the panel has no bar.
TEST_F(TGoalIndicatorTest, AJumpPastTheExpertScoreCelebratesBothInOrder) {
    for (const std::string& bar : {std::string(kScoreBar), std::string()}) {
        SCOPED_TRACE(bar.empty() ? "without a score bar" : "with a score bar");
        RunPanel(bar, [&bar] {
            GGoalIndicator indicator;
            TListener listener;
            indicator.Attach(Find("score_panel"), &listener);
            indicator.SetGoals(50, 100);
            indicator.SetScore(30);
            EXPECT_TRUE(listener.events.empty());
            EXPECT_EQ(Shown("score_number"), "30");
            EXPECT_EQ(Shown("score_number_up"), "30");
            if (!bar.empty()) {
                EXPECT_EQ(static_cast<TProgressBar*>(Find("score_progress"))->GetValue(), 30.0f);
            }

            indicator.SetScore(130);
            EXPECT_THAT(listener.events, ElementsAre("goal", "expert"));
            EXPECT_TRUE(indicator.IsGoalReached());
            EXPECT_TRUE(indicator.IsExpertReached());
            EXPECT_EQ(Shown("goal_number"), "100") << "the goal text names the expert score";
            EXPECT_EQ(Shown("goal_mode_name"), "Expert");
            EXPECT_FALSE(Visible("goal_reach_txt")) << "the expert caption replaces it";
            EXPECT_TRUE(Visible("expert_reach_txt"));
            EXPECT_EQ(Glow(), 1);
            if (!bar.empty()) {
                EXPECT_EQ(static_cast<TProgressBar*>(Find("score_progress"))->GetValue(), 100.0f);
            }

            // The same score again changes nothing.
            indicator.SetScore(130);
            EXPECT_EQ(listener.events.size(), 2u);
            EXPECT_EQ(indicator.GetBlinkCountdown(), GGoalIndicator::kBlinkTicks);

            // The score-up text blinks for 100 ticks: hidden while countdown / 5 is odd.
            int changes = 0;
            bool shown = Visible("score_number_up");
            for (int tick = 0; tick < GGoalIndicator::kBlinkTicks; ++tick) {
                indicator.Tick();
                changes += Visible("score_number_up") != shown ? 1 : 0;
                shown = Visible("score_number_up");
            }
            EXPECT_EQ(changes, 20);
            EXPECT_TRUE(Visible("expert_reach_txt")) << "until the countdown has run out";
            indicator.Tick();
            EXPECT_FALSE(Visible("expert_reach_txt"));
            EXPECT_EQ(Glow(), 0);
        });
    }
}

TEST_F(TGoalIndicatorTest, TheGoalAloneAndTheDistance) {
    RunPanel(kScoreBar, [] {
        GGoalIndicator indicator;
        indicator.Attach(Find("score_panel"), nullptr);
        indicator.SetScore(60);
        EXPECT_TRUE(indicator.IsGoalReached());
        EXPECT_FALSE(indicator.IsExpertReached());
        EXPECT_TRUE(Visible("goal_reach_txt"));
        EXPECT_FALSE(Visible("expert_reach_txt"));
        // New goals let both celebrations happen again.
        indicator.SetGoals(80, 200);
        EXPECT_FALSE(indicator.IsGoalReached());
        EXPECT_EQ(Shown("goal_mode_name"), "Goal");

        indicator.AddDistance(2.5f);
        indicator.AddDistance(1.75f);
        EXPECT_EQ(Shown("bess_distance_number"), "4");
        indicator.AddDistance(-1.0f);
        EXPECT_EQ(indicator.GetDistance(), 0.0f);
        EXPECT_EQ(Shown("bess_distance_number"), "4") << "the reset leaves the text";
        indicator.AddDistance(1.0f);
        EXPECT_EQ(Shown("bess_distance_number"), "1");
    });
}

} // namespace goalindicator_test
