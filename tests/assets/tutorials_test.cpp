// The demo's tutorial sets as the game loads them on the demo folder: the common set and demo
// level 3's load into the tutorial engine with every tutorial's step in the game screen's tutorial
// window, their start conditions and links as the level's play needs them, and every label they
// show in the string table.

#include "game/common/StringTableText.h"
#include "game/shell/GTutorialAction.h"
#include "game/shell/GTutorialCloseTriger.h"
#include "game/shell/GTutorialInitor.h"
#include "game/shell/GTutorialProcessor.h"
#include "game/shell/GTutorialRun.h"
#include "tests/assets/demo_play_fixture.h"
#include "tests/fixtures/golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>

namespace assets_test {
namespace {

using game_harness::Text;

class DemoTutorialsTest : public TDemoPlayTest {
protected:
    // The first step over the game screen: the arrow in the window's corner toward Amber, the
    // panel in the opposite one.
    static void FirstStepFrame(TWindow& window) {
        const standin::TScreenImage image = Frame();
        auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
        // Within the tolerance in each channel.
        auto near = [](uint32_t pixel, int red, int green, int blue, int tolerance) {
            const int channels[] = {static_cast<int>(pixel >> 16),
                                    static_cast<int>(pixel >> 8 & 0xFF),
                                    static_cast<int>(pixel & 0xFF)};
            const int expected[] = {red, green, blue};
            for (int i = 0; i < 3; ++i) {
                if (std::abs(channels[i] - expected[i]) > tolerance) {
                    return false;
                }
            }
            return true;
        };
        // The arrow's centre is its pivot, on the middle of its shaft: the gold gradient halfway
        // from #ffd54f to #f9a825.
        const TRect arrow = window.FindChild("arwArrow", -1)->GetScreenRect();
        const uint32_t shaft = at((arrow.left + arrow.right) / 2, (arrow.top + arrow.bottom) / 2);
        EXPECT_TRUE(near(shaft, 252, 190, 58, 4)) << std::hex << shaft;
        // The panel above its OK button: its gradient from #fff3e6 to #ffd9e6 at 62 % of its
        // height, nearly opaque.
        const TRect panel = window.FindChild("imgBG", -1)->GetScreenRect();
        const uint32_t fill = at(panel.left + 300, panel.top + 80);
        EXPECT_TRUE(near(fill, 250, 225, 228, 8)) << std::hex << fill;
        testing_fixtures::ExpectGolden(image, "tests/assets/golden/tutorial_first_step.png");
    }

    static GTutorialProcessor* Processor() {
        return static_cast<GTutorialProcessor*>(LogicalManager().GetTutorialProcessor());
    }
    static std::string Current() {
        GTutorialProcessor* processor = Processor();
        const GTutorialRun* run = processor != nullptr ? processor->GetCurrent() : nullptr;
        return run != nullptr ? Text(run->GetName()) : std::string();
    }
};

TEST_F(DemoTutorialsTest, TheSetsLoadWithTheirStepsLinksAndLabels) {
    RunGame([](TPlatform*, GGameMain&) {
        ASSERT_TRUE(RunFor(800));
        ASSERT_EQ(Top(), "mainmenu");
        GTutorialProcessor processor;
        ASSERT_TRUE(processor.Load("scripts/stages/tutorials.lua"));
        ASSERT_TRUE(processor.LoadFile("scripts/stages/tutorial_03.lua"));
        std::set<std::string> names;
        for (const auto& [name, run] : processor.GetTutorials()) {
            names.insert(Text(name));
            const GTutorialAction* action = run->GetAction();
            EXPECT_EQ(Text(action->GetWindow()), "tutorial") << Text(name);
            EXPECT_NE(action->GetCloseTrigger(), nullptr) << Text(name);
            std::vector<str> labels = {action->GetMessage()};
            if (const GTutorialCloseTriger* close = action->GetCloseTrigger()) {
                if (close->HasButton()) {
                    labels.push_back(close->GetButton());
                }
            }
            for (const str& label : labels) {
                EXPECT_NE(Text(StringTableText(label)), "#####") << Text(label);
            }
        }
        EXPECT_EQ(names, (std::set<std::string>{"drag_tip", "first_girl", "serve_her", "selector",
                                                "wish", "touchup", "door"}));
        // Started by the first girl's arrival, or by the tutorial before them.
        const GTutorialInitor* first = processor.FindTutorial("first_girl")->GetInitor();
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(first->WaitsCreating());
        EXPECT_EQ(Text(first->GetId()), "amber");
        EXPECT_TRUE(processor.FindTutorial("first_girl")->GetAction()->IsStop());
        EXPECT_EQ(processor.FindTutorial("serve_her")->GetInitor(), nullptr);
        EXPECT_EQ(processor.FindTutorial("door")->GetInitor(), nullptr);
        for (const auto& [later, before] :
             {std::pair{"selector", "serve_her"}, std::pair{"wish", "selector"},
              std::pair{"touchup", "wish"}}) {
            const GTutorialInitor* initor = processor.FindTutorial(later)->GetInitor();
            ASSERT_NE(initor, nullptr) << later;
            EXPECT_EQ(initor->GetDependence(), processor.FindTutorial(before)) << later;
        }
        EXPECT_TRUE(processor.FindTutorial("touchup")->HasPostBlock());
        EXPECT_EQ(Text(processor.FindTutorial("touchup")->GetNextTutorial()), "door");
        EXPECT_EQ(processor.FindTutorial("wish")->GetAction()->GetCloseTrigger()->GetTimer(), 5000);
    });
}

// A new player meets the tutorial; the first step pauses the show over the game screen, its OK
// opens the next step without a pause, and SkipTutorial finishes the rest. The same player's
// second visit of the level loads no tutorial.
TEST_F(DemoTutorialsTest, LevelThreeShowsItsTutorialOncePerPlayer) {
    RunGame([this](TPlatform*, GGameMain&) {
        PlayLevel(3);
        ASSERT_NE(Processor(), nullptr);
        EXPECT_EQ(Text(LogicalManager().GetTutorialFile()), "scripts/stages/tutorial_03.lua");
        for (int turn = 0; turn < 100 && Current().empty(); ++turn) {
            ASSERT_TRUE(Turn());
        }
        ASSERT_EQ(Current(), "first_girl");
        EXPECT_EQ(Top(), "TutorialModalWindow") << "the show pauses";
        ASSERT_TRUE(RunFor(60, 20));
        TWindow* window = Find("tutorial");
        ASSERT_NE(window, nullptr);
        EXPECT_NE(window->GetFlags() & TWindow::kEnabled, 0u);
        FirstStepFrame(*window);
        Click("btnOK");
        ASSERT_TRUE(RunFor(60, 20));
        EXPECT_EQ(Current(), "serve_her");
        EXPECT_EQ(Top(), "game") << "the show goes on";
        Script()->DoLuaString("SkipTutorial()");
        EXPECT_EQ(Current(), "");
        EXPECT_TRUE(Processor()->FindTutorial("serve_her")->IsFinished());
    });
    RunGame([this](TPlatform*, GGameMain&) {
        PlayLevel(3);
        EXPECT_EQ(Text(LogicalManager().GetTutorialFile()), "") << "seen by this player";
        ASSERT_TRUE(RunFor(3000));
        EXPECT_EQ(Current(), "");
        EXPECT_EQ(Top(), "game");
    });
}

} // namespace
} // namespace assets_test
