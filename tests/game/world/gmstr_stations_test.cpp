// The strategies of stations and the editor: the flush, the editor's short drag, the queue's
// margin, its leave call and its hover over another drop target, presses on chairs and doors,
// and the look of hover.
#include "game/visual/GVObject.h"
#include "game/world/GMStr_Chair.h"
#include "game/world/GMStr_Door.h"
#include "game/world/GMStr_Edit.h"
#include "game/world/GMStr_Queue.h"
#include "game/world/GMStr_TargetDrag.h"
#include "game/world/G_ICanAcceptGirl.h"
#include "game/world/G_Invoker.h"
#include "tests/game/world/mousestrategy_fixture.h"

#include <gtest/gtest.h>

namespace {

using TCalls = std::vector<std::string>;
using visual_test::Key;
using world_test::TMouseStrategyTest;

using StationStrategyTest = TMouseStrategyTest;

// A station that counts how often it was asked to place its occupant.
class TPlacingObject final : public GGameObject {
public:
    void PlaceOccupant() override { ++mPlaced; }
    int mPlaced = 0;
};

// A door that takes girls while open.
class TDoorObject final : public GGameObject, public G_ICanAcceptGirl {
public:
    bool CanAcceptGirl() override { return mOpen; }
    bool mOpen = true;
};

// A link that notes the moves it gets, as a game object would pass them to its strategy.
class TMoveRecorder final : public G_VoidLink, public G_ICanListenMouse {
public:
    GVObject* GetVisual() override { return nullptr; }
    void MoveTo(TPoint /*point*/, float /*depth*/) override {}
    GUpgradeData& GetUpgradeData() override { return mData; }
    void SetVisualState(GStateKey /*key*/) override {}
    bool OnMouseDown(TPoint /*point*/) override { return true; }
    bool OnMouseUp(TPoint /*point*/) override { return true; }
    bool OnMouseMove(TPoint point) override {
        mMoves.push_back(point);
        return true;
    }

    GUpgradeData mData;
    std::vector<TPoint> mMoves;
};

TEST_F(StationStrategyTest, FlushMovesTheDropTargetAwayUnderAQueueAndRunsThePendingCallOnce) {
    TMoveRecorder target;
    TMoveRecorder queue;
    GMouseInteraction& shared = MouseInteraction();
    // Without a queue hover the drop target is left alone.
    shared.mDropTarget = &target;
    FlushMouseStrategyState();
    EXPECT_TRUE(target.mMoves.empty());

    shared.mQueueHover = &queue;
    G_Invoke_OSD::Instance().Set(&mSwitch, &queue);
    shared.mPending = &G_Invoke_OSD::Instance();
    FlushMouseStrategyState();
    ASSERT_EQ(target.mMoves.size(), 1u);
    EXPECT_EQ(target.mMoves[0].x, -1);
    EXPECT_EQ(target.mMoves[0].y, -1);
    EXPECT_EQ(shared.mQueueHover, nullptr);
    EXPECT_EQ(shared.mPending, nullptr);
    EXPECT_EQ(TakeCalls(), TCalls{"OSD -"});
    FlushMouseStrategyState();
    EXPECT_EQ(TakeCalls(), TCalls{});
    EXPECT_EQ(G_Invoke_OSD::Instance().GetArg(), &queue);
    shared.mDropTarget = nullptr;
}

TEST_F(StationStrategyTest, StrategyThatGoesForgetsEveryEntryNamingItsTargetOrItself) {
    GGameObject* queue = PlaceSquare("queue", 300, 100);
    GGameObject* other = PlaceSquare("other", 100, 100);
    auto* strategy = Give(queue, new GMStr_Queue);
    auto* kept = Give(other, new GMStr_Door);
    GMouseInteraction& shared = MouseInteraction();
    shared =
        GMouseInteraction{queue, queue, queue, queue, nullptr, false, true, strategy, strategy};
    queue->SetStrategy(nullptr);
    EXPECT_EQ(shared.mPressed, nullptr);
    EXPECT_EQ(shared.mHovered, nullptr);
    EXPECT_EQ(shared.mDropTarget, nullptr);
    EXPECT_EQ(shared.mQueueHover, nullptr);
    EXPECT_EQ(shared.mDoorCursorHolder, nullptr);
    EXPECT_EQ(shared.mDragCursorHolder, nullptr);
    // Entries naming others stay.
    shared = GMouseInteraction{other, other, other, other, nullptr, false, true, kept, kept};
    Give(queue, new GMStr_Queue);
    queue->SetStrategy(nullptr);
    EXPECT_EQ(shared.mPressed, other);
    EXPECT_EQ(shared.mQueueHover, other);
    EXPECT_EQ(shared.mDoorCursorHolder, kept);
    EXPECT_EQ(shared.mDragCursorHolder, kept);
    shared = GMouseInteraction();
}

TEST_F(StationStrategyTest, EditorDragsAfterMoreThanThreePixelsAndPostsNothing) {
    for (const int dx : {3, 4}) {
        SCOPED_TRACE(dx);
        auto* seat = PlaceAs<TPlacingObject>("seat", 100, 100);
        ASSERT_NE(seat, nullptr);
        // The editor ignores the inactive flag.
        Give(seat, new GMStr_Edit, false);
        MouseInteraction().mReleaseArmed = false;
        Move(120, 120);
        Down(120, 120);
        Move(120 + dx, 120);
        const bool dragged = dx == 4;
        EXPECT_EQ(seat->mPlaced, dragged ? 1 : 0);
        EXPECT_EQ(seat->GetVisual()->mDeltaX, dragged ? 100.0f + dx : 100.0f);
        EXPECT_EQ(seat->GetVisual()->mDeltaZ, dragged ? 10000.0f : 100.0f);
        Up(120 + dx, 120);
        EXPECT_EQ(seat->GetVisual()->mDeltaX, dragged ? 100.0f + dx : 100.0f) << "stays put";
        EXPECT_EQ(GetPressedObject(), nullptr);
        EXPECT_TRUE(MouseInteraction().mReleaseArmed);
        EXPECT_EQ(TakeCalls(), TCalls{});
        mObjects.clear();
    }
}

TEST_F(StationStrategyTest, QueueIsHitTenPixelsLeftOfItselfAndReportsADraggedObjectLeaving) {
    GGameObject* queue = PlaceSquare("queue", 300, 100);
    GGameObject* girl = PlaceSquare("girl", 100, 100);
    Give(queue, new GMStr_Queue);
    Give(girl, new GMStr_TargetDrag(0, GGameObject::sClassId));
    Move(289, 120);
    EXPECT_EQ(MouseInteraction().mHovered, nullptr);
    Move(290, 120);
    EXPECT_EQ(MouseInteraction().mHovered, queue);
    Move(120, 120);
    Down(120, 120);
    Move(200, 120);
    Move(290, 120);
    Move(250, 120);
    Up(250, 120);
    EXPECT_EQ(TakeCalls(), (TCalls{"OSD girl", "OOOA girl queue", "OTL girl queue", "OFD girl"}));
    EXPECT_EQ(queue->GetVisual()->GetStateKey(), Key("hidehotplace"));
}

TEST_F(StationStrategyTest, QueueOverAnotherDropTargetTakesTheDropFromIt) {
    GGameObject* chair = PlaceSquare("chair", 300, 100);
    GGameObject* queue = PlaceSquare("queue", 320, 100, 5);
    GGameObject* girl = PlaceSquare("girl", 100, 100);
    Give(chair, new GMStr_Chair);
    Give(queue, new GMStr_Queue);
    Give(girl, new GMStr_TargetDrag(0, GGameObject::sClassId));
    Move(120, 120);
    Down(120, 120);
    Move(200, 120);
    EXPECT_EQ(TakeCalls(), TCalls{"OSD girl"});
    // Over both: the chair takes the drop first, and the queue's hover makes the flush take it
    // from the chair again.
    Move(330, 120);
    EXPECT_EQ(TakeCalls(), TCalls{"OOOA girl chair"});
    EXPECT_EQ(MouseInteraction().mDropTarget, nullptr);
    EXPECT_EQ(MouseInteraction().mQueueHover, nullptr);
    EXPECT_EQ(chair->GetVisual()->GetStateKey(), Key("hidehotplace"));
    // Offered before the chair, the queue keeps the drop.
    mOrder = {queue, chair, girl};
    Move(331, 120);
    EXPECT_EQ(TakeCalls(), TCalls{"OOOA girl queue"});
    EXPECT_EQ(MouseInteraction().mDropTarget, queue);
}

TEST_F(StationStrategyTest, HoveredChairOrDoorIsPressedOnAndOff) {
    for (const bool door : {false, true}) {
        SCOPED_TRACE(door ? "door" : "chair");
        GGameObject* station = door
                                   ? static_cast<GGameObject*>(PlaceAs<TDoorObject>("st", 300, 100))
                                   : PlaceSquare("st", 300, 100);
        ASSERT_NE(station, nullptr);
        if (door) {
            Give(station, new GMStr_Door);
        } else {
            Give(station, new GMStr_Chair);
        }
        Down(320, 120);
        EXPECT_EQ(TakeCalls(), TCalls{}) << "not hovered yet";
        Move(320, 120);
        Down(320, 120);
        EXPECT_EQ(GetPressedObject(), station);
        Up(320, 120);
        EXPECT_EQ(TakeCalls(), (TCalls{"OCOn st", "OCOff st"}));
        // Leaving a pressed station releases it.
        Down(320, 120);
        Move(400, 120);
        EXPECT_EQ(TakeCalls(), (TCalls{"OCOn st", "OCOff st"}));
        EXPECT_EQ(GetPressedObject(), nullptr);
        mObjects.clear();
    }
}

TEST_F(StationStrategyTest, InactiveDoorPostsTheBlockedClickUnlessBlocked) {
    auto* door = PlaceAs<TDoorObject>("door", 300, 100);
    ASSERT_NE(door, nullptr);
    auto* strategy = Give(door, new GMStr_Door, false);
    door->SetMouseBlocked(true);
    EXPECT_TRUE(strategy->IsBlocked());
    Down(320, 120);
    EXPECT_EQ(TakeCalls(), TCalls{});
    door->SetMouseBlocked(false);
    Down(320, 120);
    EXPECT_EQ(TakeCalls(), TCalls{"BMC door"});
}

TEST_F(StationStrategyTest, HoverShowsTheObjectOpaqueExceptAChair) {
    for (const bool chair : {false, true}) {
        SCOPED_TRACE(chair ? "chair" : "drag");
        GGameObject* object = PlaceSquare("object", 100, 100);
        if (chair) {
            Give(object, new GMStr_Chair);
        } else {
            Give(object, new GMStr_TargetDrag(0, GGameObject::sClassId));
        }
        object->GetVisual()->mAlpha = 0.5f;
        Move(120, 120);
        EXPECT_EQ(MouseInteraction().mHovered, object);
        EXPECT_EQ(object->GetVisual()->mAlpha, chair ? 0.5f : 1.0f);
        EXPECT_EQ(MouseInteraction().mHandFlag, !chair);
        Move(200, 120);
        EXPECT_EQ(MouseInteraction().mHovered, nullptr);
        EXPECT_FALSE(MouseInteraction().mHandFlag);
        mObjects.clear();
    }
}

} // namespace
