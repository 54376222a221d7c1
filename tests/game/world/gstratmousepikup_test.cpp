// The strategy base: its target's visual shown opaque with the hot place hidden, highlighting,
// activation by the object's three mouse flags, and the shared interaction entries it clears.
#include "game/world/GStratMousePikUp.h"

#include "game/visual/GVObject.h"
#include "game/world/GGameObject.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

namespace {

using visual_test::Key;
using world_test::TWorldObjectTest;

class StratMousePikUpTest : public TWorldObjectTest {
protected:
    void SetUp() override {
        TWorldObjectTest::SetUp();
        ServeImage("a.png", 8);
        ServeXml("spot", "<main id=\"spot\"><images><img name=\"a.png\"/></images><framelist>"
                         "<frame w=\"8\" h=\"8\"/></framelist><states>"
                         "<state id=\"showhotplace\" framelist=\"0\"/>"
                         "<state id=\"hidehotplace\" framelist=\"0\"/></states></main>");
        mObject = Place("spot", "{ class_name = 'GGameObject', xml_anim = 'spot' }", "{}");
        ASSERT_NE(mObject, nullptr);
        ASSERT_NE(mObject->GetVisual(), nullptr);
    }

    void TearDown() override {
        MouseInteraction() = GMouseInteraction();
        TWorldObjectTest::TearDown();
    }

    GGameObject* mObject = nullptr;
};

TEST_F(StratMousePikUpTest, TargetIsShownOpaqueWithItsHotPlaceHiddenOrHighlighted) {
    GVObject* visual = mObject->GetVisual();
    visual->mAlpha = 0.25f;
    auto* strategy = new GStratMousePikUp;
    mObject->SetStrategy(strategy);
    strategy->SetTarget(mObject, nullptr);
    EXPECT_EQ(strategy->GetTarget(), mObject);
    EXPECT_EQ(visual->mAlpha, 1.0f);
    EXPECT_EQ(visual->GetStateKey(), Key("hidehotplace"));

    strategy->SetHighlight(true);
    EXPECT_EQ(visual->GetStateKey(), Key("showhotplace"));
    // Deactivating shows the stored highlight again.
    strategy->Deactivate();
    EXPECT_TRUE(strategy->IsHighlighted());
    EXPECT_EQ(visual->GetStateKey(), Key("showhotplace"));

    // Every event may go on to other objects.
    EXPECT_TRUE(strategy->OnMouseDown(TPoint{1, 1}));
    EXPECT_TRUE(strategy->OnMouseUp(TPoint{1, 1}));
    EXPECT_TRUE(strategy->OnMouseMove(TPoint{1, 1}));
    EXPECT_TRUE(mObject->OnMouseMove(TPoint{1, 1}));
}

TEST_F(StratMousePikUpTest, ObjectsMouseFlagsDecideActivation) {
    auto* strategy = new GStratMousePikUp;
    mObject->SetStrategy(strategy);
    EXPECT_TRUE(strategy->IsInactive());
    mObject->SetMouseEnabled(true);
    EXPECT_FALSE(strategy->IsInactive());
    mObject->SetMouseLocked(true);
    EXPECT_TRUE(strategy->IsInactive());
    mObject->SetMouseLocked(false);
    mObject->SetStrategyMode(true);
    EXPECT_TRUE(strategy->IsInactive());
    mObject->SetStrategyMode(false);
    EXPECT_FALSE(strategy->IsInactive());
    mObject->SetMouseEnabled(false);
    EXPECT_TRUE(strategy->IsInactive());

    // Without a strategy the enabled flag is not taken.
    mObject->SetStrategy(nullptr);
    mObject->SetMouseEnabled(true);
    mObject->SetStrategy(new GStratMousePikUp);
    EXPECT_TRUE(mObject->GetStrategy()->IsInactive());
}

TEST_F(StratMousePikUpTest, DeactivatedOrDeletedStrategyForgetsItsTarget) {
    GGameObject other;
    auto* strategy = new GStratMousePikUp;
    mObject->SetStrategy(strategy);
    strategy->SetTarget(mObject, nullptr);
    GMouseInteraction& shared = MouseInteraction();
    shared = GMouseInteraction{mObject, mObject, &other};
    strategy->Deactivate();
    EXPECT_EQ(shared.mPressed, nullptr);
    EXPECT_EQ(shared.mHovered, nullptr);
    EXPECT_EQ(shared.mDropTarget, &other);
    strategy->Activate();
    EXPECT_FALSE(strategy->IsInactive());

    shared = GMouseInteraction{&other, mObject, mObject};
    mObject->SetStrategy(nullptr);
    EXPECT_EQ(shared.mPressed, &other);
    EXPECT_EQ(shared.mHovered, nullptr);
    EXPECT_EQ(shared.mDropTarget, nullptr);
}

} // namespace
