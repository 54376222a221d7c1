// The upgrade screen's buttons: the hovered view and its hint, the rest view they return to, the
// hint going with the button or with a posted call, blocked clicks, and the press that opens the
// buy dialog.
#include "game/visual/GVObject.h"
#include "game/world/GMStr_StudentUpgrButton.h"
#include "game/world/GMStr_UpgradeButton.h"
#include "tests/game/world/mousestrategy_fixture.h"

#include <gtest/gtest.h>

namespace {

using TCalls = std::vector<std::string>;
using TTexts = std::vector<std::string>;
using visual_test::Key;
using world_test::TMouseStrategyTest;

class UpgradeButtonTest : public TMouseStrategyTest {
protected:
    void SetUp() override {
        TMouseStrategyTest::SetUp();
        std::string states;
        for (const char* state :
             {"normal", "showupgrade", "upgrade_0", "upgrade_1", "showrecomended"}) {
            states += std::string("<state id=\"") + state + "\" framelist=\"0\"/>";
        }
        ServeSquare("button", "<objects><obj id=\"main_view\"><framelist><frame w=\"40\" "
                              "h=\"40\"/></framelist><states>" +
                                  states + "</states></obj></objects>");
    }

    void TearDown() override {
        GLogicalManager::Instance().CPP_EndBuyDialog(false);
        TMouseStrategyTest::TearDown();
    }

    // An object of base type "X" offering upgrade level `level` for 120.
    GGameObject* PlaceButton(int level, bool recommended) {
        GGameObject* object =
            Place("tub", "{ class_name = 'GGameObject', xml_anim = 'button', base_type = 'X' }",
                  ObjectTable("tub", 100, 100, 0));
        if (object != nullptr) {
            GUpgradeData& data = object->GetUpgradeData();
            data.mUpgradeLevel = level;
            data.mPrice = 120;
            data.mRecommended = recommended;
            mLayer.UpdateObjects();
        }
        return object;
    }

    static GStateKey MainView(GGameObject* object) {
        return object->GetVisual()->GetChild("main_view")->GetStateKey();
    }
};

TEST_F(UpgradeButtonTest, HoverShowsTheUpgradeAndItsHintAndLeavingRestoresTheView) {
    struct TCase {
        bool student;
        int level;
        bool recommended;
        const char* rest;
        const char* hint;
    };
    const TCase cases[] = {{false, 0, false, "upgrade_0", "show X_0_name X_0_descript"},
                           {false, 1, false, "upgrade_1", "show X_1_name X_1_descript"},
                           {false, 0, true, "showrecomended", "show X_0_name X_0_descript"},
                           {true, 0, false, "normal", "show X_0_name X_0_descript"},
                           {true, 1, true, "showrecomended", "show X_1_name X_1_descript"}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.rest);
        GGameObject* tub = PlaceButton(c.level, c.recommended);
        ASSERT_NE(tub, nullptr);
        if (c.student) {
            Give(tub, new GMStr_StudentUpgrButton);
        } else {
            Give(tub, new GMStr_UpgradeButton);
        }
        EXPECT_EQ(mHooks.mHints, TTexts{}) << "binding shows nothing";
        Move(120, 120);
        EXPECT_EQ(MainView(tub), Key("showupgrade"));
        EXPECT_EQ(mHooks.mHints, TTexts{c.hint});
        Move(200, 120);
        EXPECT_EQ(MainView(tub), Key(c.rest));
        EXPECT_EQ(mHooks.mHints, (TTexts{c.hint, "hide"}));
        // A button that goes while hovered takes its hint with it.
        Move(120, 120);
        mObjects.clear();
        EXPECT_EQ(mHooks.mHints, (TTexts{c.hint, "hide", c.hint, "hide"}));
        mHooks.mHints.clear();
    }
}

TEST_F(UpgradeButtonTest, PressOnTheHoveredButtonOpensTheBuyDialogOnce) {
    GGameObject* tub = PlaceButton(0, false);
    GGameObject* other = PlaceSquare("other", 110, 100);
    ASSERT_NE(tub, nullptr);
    Give(tub, new GMStr_UpgradeButton, false);
    Move(120, 120);
    EXPECT_EQ(mHooks.mHints, TTexts{}) << "no hover while inactive";
    Down(120, 120);
    EXPECT_EQ(TakeCalls(), TCalls{"BMC tub"});
    EXPECT_EQ(GLogicalManager::Instance().GetPendingUpgrade(), nullptr);

    tub->SetMouseEnabled(true);
    Move(121, 120);
    // A second button under the mouse is not hovered: one dialog opens.
    Give(other, new GMStr_UpgradeButton);
    Down(121, 120);
    Up(121, 120);
    EXPECT_EQ(TakeCalls(), TCalls{"OCOn tub"});
    EXPECT_EQ(GLogicalManager::Instance().GetPendingUpgrade(), tub);
    // Posting the call hid the hint.
    EXPECT_EQ(mHooks.mHints, (TTexts{"show X_0_name X_0_descript", "hide"}));
}

} // namespace
