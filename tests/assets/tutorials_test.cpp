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
#include "tests/game/game_harness.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace assets_test {
namespace {

using game_harness::Text;

class DemoTutorialsTest : public game_harness::TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        UseDemoAssets();
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

} // namespace
} // namespace assets_test
