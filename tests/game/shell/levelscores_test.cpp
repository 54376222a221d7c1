// The statistics girl, the level score counters and the separate layer on fixture levels: the
// girl's type and line, the counters' steps and timing with and without their text windows, and
// the layer's registration and its going.
#include "tests/game/shell/levelend_fixture.h"

#include "engine/ui/text.h"
#include "game/visual/GVLayer.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace levelend_test {
namespace {

const char kSayMax[] = "gSayAsked = ''\n"
                       "function GetSayMaxIndex(type) gSayAsked = gSayAsked .. type .. ';' "
                       "return gSayMax end\n";

const char kStatLayout[] =
    "GStatWnd{ name = 'stat', x = 0, y = 0, w = 800, h = 600, girl_x = 120.5, girl_y = 200,\n"
    "  GSeparateLayer{ name = 'girls_layer', x = 0, y = 0, w = 800, h = 600 },\n"
    "  Text{ name = 'girl_say_text', x = 0, y = 500, w = 400, h = 20, label = '' } }";

using StatWndTest = TLevelEndTest;

TEST_F(StatWndTest, ALevelOfOneTypeAlwaysShowsThatTypeWithALineOfIt) {
    Run(kSayMax);
    Run("gSayMax = 3");
    AddStrings({{"dancer_say_text_1", "One"},
                {"dancer_say_text_2", "Two"},
                {"dancer_say_text_3", "Three"}});
    ASSERT_TRUE(OpenLevel(3, {"dancer"}));
    std::set<std::string> lines;
    for (int i = 0; i < 30; ++i) {
        OpenEndScreen(kStatLayout);
        auto* stat = Find<GStatWnd>("stat");
        ASSERT_EQ(stat->GetTypeName(), str("dancer"));
        ASSERT_NE(stat->GetGirl(), nullptr);
        EXPECT_FLOAT_EQ(stat->GetGirl()->mDeltaX, 120.5f);
        EXPECT_FLOAT_EQ(stat->GetGirl()->mDeltaY, 200.0f);
        EXPECT_TRUE(stat->GetGirlsLayer()->GetLayer()->Contains(stat->GetGirl()));
        lines.insert(Text(Find<TText>("girl_say_text")->GetText()));
        CloseEndScreen();
    }
    EXPECT_EQ(lines, (std::set<std::string>{"One", "Two", "Three"}));
    EXPECT_EQ(Global("gSayAsked").substr(0, 7), "dancer;");
}

TEST_F(StatWndTest, TwoTypesAreBothDrawnAndWithoutALevelABuiltInTypeIs) {
    Run(kSayMax);
    Run("gSayMax = 1");
    ASSERT_TRUE(OpenLevel(4, {"cheerleader", "dancer"}));
    std::set<std::string> types;
    for (int i = 0; i < 30; ++i) {
        OpenEndScreen(kStatLayout);
        types.insert(Text(Find<GStatWnd>("stat")->GetTypeName()));
        CloseEndScreen();
    }
    EXPECT_EQ(types, (std::set<std::string>{"cheerleader", "dancer"}));

    CloseScreen();
    GLogicalManager::Instance().SetGameData(nullptr);
    const std::set<std::string> builtIn(std::begin(GStatWnd::kBuiltInTypes),
                                        std::end(GStatWnd::kBuiltInTypes));
    types.clear();
    for (int i = 0; i < 60; ++i) {
        OpenEndScreen(kStatLayout);
        const std::string type = Text(Find<GStatWnd>("stat")->GetTypeName());
        EXPECT_EQ(builtIn.count(type), 1u) << type;
        types.insert(type);
        // The label is the string table's "#####" for a missing row; the type's name is asked.
        CloseEndScreen();
    }
    EXPECT_GT(types.size(), 3u) << "drawn, not fixed";
}

TEST_F(StatWndTest, WithoutItsLayerOrTextTheWindowShowsNothingAndAsksNothing) {
    Run(kSayMax);
    ASSERT_TRUE(OpenLevel(1));
    OpenEndScreen("GStatWnd{ name = 'stat', x = 0, y = 0, w = 800, h = 600,\n"
                  "  Window{ name = 'girls_layer', w = 10, h = 10 },\n"
                  "  Window{ name = 'girl_say_text', w = 10, h = 10 } }");
    EXPECT_EQ(Find<GStatWnd>("stat")->GetGirl(), nullptr);
    EXPECT_EQ(Global("gSayAsked"), "");
}

class LevelScoreTest : public TLevelEndTest {
protected:
    // Every counter's text window, in the order they count.
    static constexpr const char* kNames[] = {
        "beginner_goal_val", "expert_goal_val", "breakdowns_val", "order_bonus_val",
        "total_points_val",  "new_score_val",   "new_money_val"};

    static std::string Layout(const std::set<std::string>& missing = {}) {
        std::string layout = "Window{ name = 'scores', x = 0, y = 0, w = 800, h = 600,\n"
                             "  GLevelScoreValues{ x = 0, y = 0, w = 10, h = 10, "
                             "anim_delay = 50 }";
        int y = 0;
        for (const char* name : kNames) {
            if (missing.count(name) == 0) {
                layout += ",\n  Text{ name = '" + std::string(name) +
                          "', x = 100, y = " + std::to_string(y += 30) +
                          ", w = 200, h = 20, label = '' }";
            }
        }
        return layout + " }";
    }

    GLevelScoreValues* Values() {
        for (TWindow* child : Find("scores")->GetChildren()) {
            if (auto* values = AsKind<GLevelScoreValues>(child)) {
                return values;
            }
        }
        return nullptr;
    }

    // The shown texts of the counters after each tick, until all have ended.
    std::vector<std::map<std::string, std::string>> RunCounters() {
        std::vector<std::map<std::string, std::string>> ticks;
        GLevelScoreValues* values = Values();
        for (int tick = 0; tick < 200 && values->GetCurrentIndex() < 7; ++tick) {
            Tick(50);
            std::map<std::string, std::string> shown;
            for (const char* name : kNames) {
                if (auto* text = AsKind<TText>(Find(name))) {
                    shown[name] = Text(text->GetText());
                }
            }
            ticks.push_back(shown);
        }
        return ticks;
    }

    // The ticks (1-based) on which the text showed each new value.
    static std::vector<std::string>
    Steps(const std::vector<std::map<std::string, std::string>>& ticks, const char* name) {
        std::vector<std::string> steps;
        std::string last;
        for (const auto& shown : ticks) {
            const auto found = shown.find(name);
            if (found != shown.end() && found->second != last) {
                steps.push_back(found->second);
                last = found->second;
            }
        }
        return steps;
    }
};

TEST_F(LevelScoreTest, CountersRunOneAfterAnotherWithTheirSteps) {
    ASSERT_TRUE(OpenLevel(0));
    Level()->AddScore(1000);
    Level()->AddComboBonus(7);
    Run("gMoney = 345 function GetTotalScore() return 4320 end");
    OpenEndScreen(Layout());
    Run("CPP_OnLevelScoreInitComplete()");
    ASSERT_NE(Values(), nullptr);
    ASSERT_EQ(Values()->GetCounters().size(), 7u);
    EXPECT_EQ(Manager()->GetTopModal()->GetDefaultFocus(), Values());
    EXPECT_EQ(Text(Values()->GetName()), "") << "the base Init does not run";

    const auto ticks = RunCounters();
    // The goals at once, on the first tick.
    EXPECT_EQ(ticks[0].at("beginner_goal_val"), "50");
    EXPECT_EQ(ticks[0].at("expert_goal_val"), "100");
    // The order bonus of 7 in steps of 1, not stuck at a twentieth of 0.
    EXPECT_EQ(Steps(ticks, "order_bonus_val"),
              (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
    std::vector<std::string> fifties;
    for (int value = 50; value <= 1000; value += 50) {
        fifties.push_back(std::to_string(value));
    }
    EXPECT_EQ(Steps(ticks, "total_points_val"), fifties);
    const auto total = Steps(ticks, "new_score_val");
    ASSERT_EQ(total.size(), 20u);
    EXPECT_EQ(total.front(), "216");
    EXPECT_EQ(total.back(), "4320");
    EXPECT_EQ(Steps(ticks, "new_money_val"), (std::vector<std::string>{"345"})) << "one step";
    // Each next counter takes its first step in the tick its predecessor ends: the bonus ends on
    // tick 9 with the points' first 50, the points end on tick 28 with the score's first step, the
    // score on tick 47 with the money, which is over on tick 48.
    EXPECT_EQ(ticks[8].at("order_bonus_val"), "7");
    EXPECT_EQ(ticks[8].at("total_points_val"), "50");
    EXPECT_EQ(ticks[27].at("total_points_val"), "1000");
    EXPECT_EQ(ticks[27].at("new_score_val"), "216");
    EXPECT_EQ(ticks[46].at("new_money_val"), "345");
    EXPECT_EQ(ticks[45].at("new_money_val"), "");
    EXPECT_EQ(ticks.size(), 48u);
}

TEST_F(LevelScoreTest, NegativeMoneyShowsAtOnceAndMissingTextsKeepTheTiming) {
    ASSERT_TRUE(OpenLevel(0));
    Level()->AddScore(100);
    Run("gMoney = -30 function GetTotalScore() return 40 end");
    OpenEndScreen(Layout());
    Run("CPP_OnLevelScoreInitComplete()");
    const auto full = RunCounters();
    EXPECT_EQ(Steps(full, "new_money_val"), (std::vector<std::string>{"-30"}));
    CloseEndScreen();

    OpenEndScreen(Layout({"breakdowns_val", "order_bonus_val", "total_points_val"}));
    Run("CPP_OnLevelScoreInitComplete()");
    const auto partial = RunCounters();
    EXPECT_EQ(partial.size(), full.size());
    EXPECT_EQ(Steps(partial, "new_score_val"), Steps(full, "new_score_val"));
    for (size_t tick = 0; tick < full.size(); ++tick) {
        EXPECT_EQ(partial[tick].at("new_score_val"), full[tick].at("new_score_val")) << tick;
    }
}

TEST_F(LevelScoreTest, WithoutALevelItsValuesCountFromZeroAndTheGlobalGoesWithTheWindow) {
    ASSERT_TRUE(OpenLevel(0));
    CloseScreen();
    GLogicalManager::Instance().SetGameData(nullptr);
    Run("gMoney = 5 function GetTotalScore() return 19 end");
    OpenEndScreen(Layout());
    Run("CPP_OnLevelScoreInitComplete()");
    const auto ticks = RunCounters();
    EXPECT_EQ(ticks.front().at("beginner_goal_val"), "0");
    EXPECT_EQ(Steps(ticks, "total_points_val"), (std::vector<std::string>{"0"}));
    EXPECT_EQ(Steps(ticks, "new_score_val").size(), 19u) << "19 in steps of 1";
    EXPECT_EQ(Steps(ticks, "new_money_val"), (std::vector<std::string>{"5"}));
    EXPECT_FALSE(IsNilGlobal("CPP_OnLevelScoreInitComplete"));
    CloseEndScreen();
    EXPECT_TRUE(IsNilGlobal("CPP_OnLevelScoreInitComplete"));
}

using SeparateLayerTest = TLevelEndTest;

TEST_F(SeparateLayerTest, RegistersUnlessToldAndLeavesNothingPointingAtItWhenGone) {
    GLogicalManager& manager = GLogicalManager::Instance();
    OpenEndScreen("GSeparateLayer{ name = 'first', x = 0, y = 0, w = 10, h = 10 }");
    auto* first = Find<GSeparateLayer>("first");
    ASSERT_NE(first->GetLayer(), nullptr);
    EXPECT_EQ(first->GetLayer()->GetModalWindow(), mEnd);
    EXPECT_EQ(manager.GetSeparateLayer(), first);
    Build("GSeparateLayer{ name = 'quiet', x = 0, y = 0, w = 10, h = 10, no_game_layer = true }");
    EXPECT_EQ(manager.GetSeparateLayer(), first) << "unchanged";
    Build("GSeparateLayer{ name = 'second', x = 0, y = 0, w = 10, h = 10 }");
    auto* second = Find<GSeparateLayer>("second");
    EXPECT_EQ(manager.GetSeparateLayer(), second) << "the later one replaces it";

    // Registered and its list the factory's current one when it goes.
    GVFactory::Instance().SetCurrentLayer(second->GetLayer());
    CloseEndScreen();
    EXPECT_EQ(manager.GetSeparateLayer(), nullptr);
    EXPECT_EQ(GVFactory::Instance().GetCurrentLayer(), nullptr);
}

} // namespace
} // namespace levelend_test
