// The drag-and-drop strategy driven as the level drives it: clicks, drags past and within the
// drag distance, drops on a chair whichever of the two sees the release first, the frontmost of
// two posting objects, blocked clicks, the hot place and objects without a visual.
#include "game/world/GMStr_TargetDrag.h"

#include "game/visual/GVObject.h"
#include "game/world/GMStr_Chair.h"
#include "game/world/G_Invoker.h"
#include "tests/game/world/mousestrategy_fixture.h"

#include <gtest/gtest.h>

namespace {

using TCalls = std::vector<std::string>;
using visual_test::Key;
using world_test::TMouseStrategyTest;

using TargetDragTest = TMouseStrategyTest;

GMStr_TargetDrag* Drag() {
    return new GMStr_TargetDrag(0, GGameObject::sClassId);
}

TEST_F(TargetDragTest, PressAndReleaseClicksAndDragsMoreThanThirtyPixels) {
    struct TCase {
        int dx;
        TCalls calls;
        bool dragged;
    };
    const TCase cases[] = {{0, {"Click girl"}, false},
                           {30, {"OSD girl", "Click girl"}, false},
                           {31, {"OSD girl", "OFD girl"}, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.dx);
        GGameObject* girl = PlaceSquare("girl", 100, 100);
        ASSERT_NE(girl, nullptr);
        Give(girl, Drag());
        GVObject* visual = girl->GetVisual();
        Move(120, 120);
        EXPECT_EQ(MouseInteraction().mHovered, girl);
        Down(120, 120);
        EXPECT_EQ(GetPressedObject(), girl);
        if (c.dx != 0) {
            Move(120 + c.dx, 120);
            // Dragged objects are carried in front of everything.
            EXPECT_EQ(visual->mDeltaX, c.dragged ? 100.0f + c.dx : 100.0f);
            EXPECT_EQ(visual->mDeltaZ, c.dragged ? 10000.0f : 100.0f);
            EXPECT_EQ(GLogicalManager::Instance().GetCursorKind(), c.dragged ? 3 : 2);
        }
        Up(120 + c.dx, 120);
        EXPECT_EQ(TakeCalls(), c.calls);
        // Back where it was pressed, at its depth.
        EXPECT_EQ(visual->mDeltaX, 100.0f);
        EXPECT_EQ(visual->mDeltaY, 100.0f);
        EXPECT_EQ(visual->mDeltaZ, 100.0f);
        EXPECT_EQ(GetPressedObject(), nullptr);
        EXPECT_EQ(MouseInteraction().mHovered, girl) << "the released object stays hovered";
        mObjects.clear();
    }
}

TEST_F(TargetDragTest, DropOnAChairWhicheverSeesTheReleaseFirst) {
    for (const bool chairFirst : {true, false}) {
        SCOPED_TRACE(chairFirst ? "chair first" : "dragged object first");
        GGameObject* chair = PlaceSquare("chair", 300, 100);
        GGameObject* girl = PlaceSquare("girl", 100, 100);
        ASSERT_NE(chair, nullptr);
        ASSERT_NE(girl, nullptr);
        Give(chair, new GMStr_Chair);
        Give(girl, Drag());
        mOrder = chairFirst ? std::vector<GGameObject*>{chair, girl}
                            : std::vector<GGameObject*>{girl, chair};
        Move(120, 120);
        Down(120, 120);
        Move(200, 120);
        EXPECT_EQ(TakeCalls(), TCalls{"OSD girl"});
        Move(320, 120);
        EXPECT_EQ(TakeCalls(), TCalls{"OOOA girl chair"});
        EXPECT_EQ(MouseInteraction().mDropTarget, chair);
        EXPECT_EQ(chair->GetVisual()->GetStateKey(), Key("showaccept"));

        Up(320, 120);
        EXPECT_EQ(TakeCalls(), TCalls{"OODTA girl chair"});
        EXPECT_EQ(MouseInteraction().mDropTarget, nullptr);
        EXPECT_EQ(chair->GetVisual()->GetStateKey(), Key("hidehotplace"));
        EXPECT_TRUE(MouseInteraction().mReleaseArmed);
        // The dropped object is clicked before the mouse moves.
        Down(320, 120);
        Up(320, 120);
        EXPECT_EQ(TakeCalls(), TCalls{"Click girl"});
        mOrder.clear();
        mObjects.clear();
    }
}

TEST_F(TargetDragTest, DropTargetLeftBehindIsReset) {
    GGameObject* chair = PlaceSquare("chair", 300, 100);
    GGameObject* girl = PlaceSquare("girl", 100, 100);
    Give(chair, new GMStr_Chair);
    Give(girl, Drag());
    Move(120, 120);
    Down(120, 120);
    Move(320, 120);
    Move(500, 120);
    EXPECT_EQ(MouseInteraction().mDropTarget, nullptr);
    EXPECT_EQ(chair->GetVisual()->GetStateKey(), Key("hidehotplace"));
    Up(500, 120);
    EXPECT_EQ(TakeCalls(), (TCalls{"OOOA girl chair", "OFD girl"}))
        << "a first move onto the chair: the drop's entry is pending before the grab";
}

// Posts a click on release wherever the point lies on its target, whatever was pressed.
class TClicker final : public GMStr_Main {
public:
    bool OnMouseUp(TPoint point) override {
        if (HitsTarget(point)) {
            Post(G_Invoke_Click::Instance(), mTarget);
        }
        return true;
    }
};

TEST_F(TargetDragTest, OfObjectsThatPostTheOneInFrontIsInvokedOnce) {
    for (const bool backFirst : {true, false}) {
        SCOPED_TRACE(backFirst ? "back first" : "front first");
        GGameObject* back = PlaceSquare("back", 100, 100, 0);
        GGameObject* front = PlaceSquare("front", 110, 110, 5);
        Give(back, new TClicker);
        Give(front, new TClicker);
        mOrder = backFirst ? std::vector<GGameObject*>{back, front}
                           : std::vector<GGameObject*>{front, back};
        Up(130, 130);
        EXPECT_EQ(TakeCalls(), TCalls{"Click front"});
        // Inactive objects post the blocked click by the same rule.
        Give(back, Drag(), false);
        Give(front, Drag(), false);
        Down(130, 130);
        EXPECT_EQ(TakeCalls(), TCalls{"BMC front"});
        mOrder.clear();
        mObjects.clear();
    }
}

TEST_F(TargetDragTest, InactiveObjectPostsOnlyTheBlockedClickInThePlayArea) {
    GGameObject* girl = PlaceSquare("girl", 100, 100);
    GGameObject* edge = PlaceSquare("edge", -30, 100);
    Give(girl, Drag(), false);
    Give(edge, Drag(), false);
    Move(120, 120);
    Down(120, 120);
    Move(160, 120);
    Up(160, 120);
    EXPECT_EQ(TakeCalls(), TCalls{"BMC girl"});
    EXPECT_EQ(GetPressedObject(), nullptr);
    EXPECT_EQ(MouseInteraction().mHovered, nullptr);
    EXPECT_EQ(girl->GetVisual()->mDeltaX, 100.0f);
    Down(-5, 120);
    EXPECT_EQ(TakeCalls(), TCalls{}) << "left of the play area";
}

TEST_F(TargetDragTest, ReleaseOverTheVisibleHotPlaceTouchesUp) {
    ServeSquare("spot", "<objects><obj id=\"hotplace\" deltaX=\"30\" deltaY=\"30\"><framelist>"
                        "<frame w=\"10\" h=\"10\"/></framelist></obj></objects>");
    GGameObject* girl = PlaceSquare("girl", 100, 100, 0, "spot");
    ASSERT_NE(girl, nullptr);
    GMStr_TargetDrag* strategy = Give(girl, Drag());
    strategy->SetHighlight(true);
    Move(135, 135);
    Down(135, 135);
    Up(135, 135);
    EXPECT_EQ(TakeCalls(), TCalls{"OTU girl"});
    EXPECT_FALSE(strategy->IsHighlighted());
    // Outside it, or with it hidden, the release clicks.
    Down(110, 110);
    Up(110, 110);
    girl->GetVisual()->GetChild("hotplace")->mVisible = 0;
    Down(135, 135);
    Up(135, 135);
    EXPECT_EQ(TakeCalls(), (TCalls{"Click girl", "Click girl"}));
}

TEST_F(TargetDragTest, ObjectWithoutAVisualIsNeverHit) {
    GGameObject* ghost =
        Place("ghost", "{ class_name = 'GGameObject' }", "{ name = 'ghost', pos_x = 100 }");
    ASSERT_NE(ghost, nullptr);
    ASSERT_EQ(ghost->GetVisual(), nullptr);
    Give(ghost, Drag());
    // The level offers presses and releases to it; moves need a visual.
    MouseInteraction().mHovered = ghost;
    Down(100, 0);
    Up(100, 0);
    Give(ghost, Drag(), false);
    Down(100, 0);
    EXPECT_EQ(TakeCalls(), TCalls{});
}

} // namespace
