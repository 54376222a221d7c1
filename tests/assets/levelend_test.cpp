// The demo's end-of-level screens and part selector as the game runs them on the game harness:
// a level won shows the statistics screen with its counters, one lost the try-again screen, an
// award level the award ceremony; their buttons go on, play again or go back to the menu, and a
// choose dialog's selector answers the scene with the part clicked.
#include "engine/media/sound.h"
#include "engine/ui/text.h"
#include "game/shell/GAwardWnd.h"
#include "game/shell/GSelectMenu.h"
#include "game/shell/GSelectMenuChild.h"
#include "game/world/GBaseLogicalScene.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GLogicalManagerHooks.h"
#include "tests/assets/assets_fixture.h"
#include "tests/assets/demo_play_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace assets_test {
namespace {

using game_harness::Text;

// Notes the answers of the dialogs it opened.
class TAnswerScene : public GBaseLogicalScene {
public:
    void OnDialogResult(int entry, int result, int poiseFactor) override {
        answers.push_back(std::to_string(entry) + " " + std::to_string(result) + " " +
                          std::to_string(poiseFactor));
    }
    std::vector<std::string> answers;
};

class TDemoLevelEndTest : public TDemoPlayTest {};

// First of the file: it draws every turn, and a run after one of the end screens found stale
// textures from the earlier run's display (DDERR_INVALIDOBJECT on every draw).
TEST_F(TDemoLevelEndTest, AChooseDialogsSelectorAnswersTheSceneWithThePartClicked) {
    DrawEachTurn(true);
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(1);
        GLogicalManager& manager = LogicalManager();
        TAnswerScene scene;
        manager.SetCurrentScene(&scene);
        manager.CPP_RunChooseUser(0);
        GLogicalManager::GChooseUserText values;
        values.mObjectName = "nobody";
        values.mDialog = manager.GetDialogIdCounter();
        values.mScene = "makeup";
        values.mGirlType = "cheerleader";
        values.mLevel = 1;
        manager.GetHooks().RequestSelector(GLogicalManager::ChooseUserText(values));
        ASSERT_TRUE(RunFor(60, 30));
        ASSERT_EQ(Top(), "SelectorModalWindow");
        auto* menu = static_cast<GSelectMenu*>(manager.GetSelectorWindow());
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->GetChoices().size(), 3u) << "three make-ups";
        // Ten frames of flight, then the menu stands; the clicks wait three tenths of a second.
        ASSERT_TRUE(RunFor(600, 30));
        EXPECT_NE(Find("select_control")->GetFlags() & TWindow::kEnabled, 0u);
        Click("select_part_1");
        ASSERT_EQ(scene.answers.size(), 1u);
        EXPECT_EQ(scene.answers[0], "0 2 " + std::to_string(menu->GetMoods()[1]));
        ASSERT_TRUE(RunFor(60, 30));
        EXPECT_EQ(Top(), "game") << "the selector closed";
        EXPECT_EQ(manager.GetSelectorModal(), nullptr);
        EXPECT_EQ(manager.GetSelectorWindow(), menu) << "kept for the next opening";
        manager.SetCurrentScene(nullptr);
        manager.DeleteDialogCallers();
    });
}

TEST_F(TDemoLevelEndTest, AWonLevelCountsItsScoresAndNextStartsTheNextLevel) {
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(1);
        const double money = Progress("gGlobalPlayerInfo.money");
        Level()->AddScore(70);
        Level()->SetResult(2);
        ASSERT_EQ(Top(), "level_stats");
        EXPECT_EQ(Shown("stats_title"), "Level complete!");
        EXPECT_EQ(Progress("gGlobalPlayerInfo.bestScores[1]"), 70.0) << "saved";
        EXPECT_EQ(Progress("gGlobalPlayerInfo.totalScore"), 70.0);
        // Goals and breakdowns at once, 20 steps of the points and of the total score, the money.
        ASSERT_TRUE(RunFor(6000, 60));
        EXPECT_EQ(Shown("beginner_goal_val"), "50");
        EXPECT_EQ(Shown("expert_goal_val"), "100");
        EXPECT_EQ(Shown("breakdowns_val"), "0");
        EXPECT_EQ(Shown("total_points_val"), "70");
        EXPECT_EQ(Shown("new_score_val"), "70");
        EXPECT_EQ(Shown("new_money_val"), std::to_string(static_cast<int>(money) + 70));
        const std::string line = Shown("girl_say_text");
        EXPECT_FALSE(line.empty());
        EXPECT_EQ(line.find("#####"), std::string::npos) << "a line of the strings: " << line;
        Click("next");
        EXPECT_EQ(Top(), "rule_upgrade") << "the second level introduces the upgrades";
        ASSERT_NE(Level(), nullptr);
        EXPECT_EQ(Level()->GetLevelNumber(), 2);
    });
}

TEST_F(TDemoLevelEndTest, ALostLevelOffersToPlayAgainOrToLeaveToTheMenu) {
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(1);
        Level()->AddScore(20);
        Level()->SetResult(1);
        ASSERT_EQ(Top(), "level_try_again");
        EXPECT_EQ(Shown("try_again_title"), "The judges were not convinced");
        EXPECT_EQ(Progress("gGlobalPlayerInfo.bestScores[1] or 0"), 0.0) << "a loss is not saved";
        ASSERT_TRUE(RunFor(60 * 30, 60));
        EXPECT_EQ(Shown("total_points_val"), "20");
        Click("again");
        EXPECT_EQ(Top(), "game");
        ASSERT_NE(Level(), nullptr);
        EXPECT_EQ(Level()->GetLevelNumber(), 1);
        EXPECT_EQ(Level()->GetScore(), 0) << "played again from the start";

        Level()->SetResult(1);
        ASSERT_EQ(Top(), "level_try_again");
        Click("menu");
        EXPECT_EQ(Top(), "mainmenu") << "the bottom screen";
    });
}

TEST_F(TDemoLevelEndTest, AnAwardLevelEndsWithTheCeremony) {
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(4);
        Level()->AddScore(120);
        Level()->SetResult(3);
        ASSERT_EQ(Top(), "level_award");
        EXPECT_EQ(Progress("gGlobalPlayerInfo.bestScores[4]"), 120.0);
        EXPECT_EQ(Progress("gGlobalPlayerInfo.expert[4]"), 1.0);
        auto* award = static_cast<GAwardWnd*>(Find("award"));
        ASSERT_NE(award, nullptr);
        // The level's four girls go by before the crown; the button waits for the end.
        EXPECT_EQ(award->GetGirls().size(), 4u);
        EXPECT_EQ(Text(Find("aw_btn")->GetLabelText()), "Wait...");
        for (int tenth = 0; tenth < 300 && Text(Find("aw_btn")->GetLabelText()) != "Ok"; ++tenth) {
            ASSERT_TRUE(RunFor(100));
        }
        EXPECT_EQ(Text(Find("aw_btn")->GetLabelText()), "Ok");
        EXPECT_EQ(Shown("award_text"), "And the crown goes to ...");
        // Level 4 is the demo's last: the hiscores with the run's total, the credits, the menu.
        Click("aw_btn");
        ASSERT_EQ(Top(), "hiscores");
        EXPECT_EQ(Shown("name1"), "Tester");
        EXPECT_EQ(Shown("score1"),
                  std::to_string(static_cast<int>(Progress("gGlobalPlayerInfo.totalScore"))));
        Key(27);
        ASSERT_EQ(Top(), "credits");
        Key(27);
        EXPECT_EQ(Top(), "mainmenu");
    });
}

} // namespace
} // namespace assets_test

namespace assets_test {
namespace {

// Stopping a sound answers whether it was playing.
bool WasPlaying(const char* file) {
    const TSoundPtr sound =
        TSound::Find((std::string("audio/sfx/") + file + ".ogg;1;1000").c_str());
    return sound && sound->Stop();
}

// "selection" is the demo's "sliding" sound: one play per child the mouse comes to.
TEST_F(TDemoSoundDeviceTest, HoveringAChoicePlaysTheSelectionSoundOncePerChoice) {
    GSelectMenu menu;
    GSelectMenuChild first;
    GSelectMenuChild second;
    menu.ShowChildHover(&first);
    EXPECT_TRUE(WasPlaying("sliding"));
    menu.ShowChildHover(&first);
    EXPECT_FALSE(WasPlaying("sliding")) << "the same choice again";
    menu.ShowChildHover(&second);
    EXPECT_TRUE(WasPlaying("sliding"));
    EXPECT_EQ(menu.GetHoveredChild(), &second);
}

} // namespace
} // namespace assets_test
