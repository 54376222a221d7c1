// The mouse cursor: the images the manager sets by kind on the demo assets, and the kinds the
// strategies ask for while hovering, dragging and pointing at objects of inactive strategies.
#include "engine/media/texture.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMStr_Door.h"
#include "game/world/GMStr_TargetDrag.h"
#include "game/world/G_ICanAcceptGirl.h"
#include "tests/assets/assets_fixture.h"
#include "tests/game/world/mousestrategy_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TMouseStrategyTest;

class SetCursorTest : public assets_test::TDemoAssetsTest {
protected:
    TWin32Platform& Record() const { return *mPlatform->GetWin32(); }
};

TEST_F(SetCursorTest, KindsSetTheirImagesWithTheTipAtOneOne) {
    OpenDisplay(64, 64);
    GLogicalManager manager;
    EXPECT_EQ(manager.GetCursorKind(), 5);
    // The first call sets the arrow, whatever was shown.
    EXPECT_EQ(manager.SetCursor(0), 0);
    ASSERT_TRUE(Record().mCursorTexture);
    EXPECT_EQ(Record().mCursorTexture, TTexture::GetSimple("cursor/cursor_def"));
    EXPECT_EQ(Record().mCursorHotX, 1);
    EXPECT_EQ(Record().mCursorHotY, 1);
    // The kind shown already sets nothing.
    Record().mCursorTexture.reset();
    EXPECT_EQ(manager.SetCursor(0), 0);
    EXPECT_FALSE(Record().mCursorTexture);

    struct TCase {
        int kind;
        const char* image;
    };
    for (const TCase& c : {TCase{1, "cursor/cursor_def_click"}, TCase{2, "cursor/cursor_def_want"},
                           TCase{3, "cursor/cursor_def_drag"}, TCase{4, "cursor/cursor_def"},
                           TCase{2, "cursor/cursor_def_want"}}) {
        SCOPED_TRACE(c.kind);
        EXPECT_EQ(manager.SetCursor(c.kind), c.kind);
        EXPECT_EQ(manager.GetCursorKind(), c.kind);
        ASSERT_TRUE(Record().mCursorTexture);
        EXPECT_EQ(Record().mCursorTexture, TTexture::GetSimple(c.image));
    }
}

using CursorFeedbackTest = TMouseStrategyTest;

// A door that takes girls.
class TOpenDoor final : public GGameObject, public G_ICanAcceptGirl {
public:
    bool CanAcceptGirl() override { return true; }
};

int Cursor() {
    return GLogicalManager::Instance().GetCursorKind();
}

TEST_F(CursorFeedbackTest, HoverWantsAndDragCarries) {
    GGameObject* girl = PlaceSquare("girl", 100, 100);
    Give(girl, new GMStr_TargetDrag(0, GGameObject::sClassId));
    Move(120, 120);
    EXPECT_EQ(Cursor(), 2);
    Down(120, 120);
    Move(125, 120);
    EXPECT_EQ(Cursor(), 2);
    Move(160, 120);
    EXPECT_EQ(Cursor(), 3);
    Up(160, 120);
    Move(300, 300);
    EXPECT_EQ(Cursor(), 0);
}

TEST_F(CursorFeedbackTest, InactiveStrategyShowsTheClickCursorOverItsServedClassOnly) {
    struct TCase {
        int mode;
        int servedClass;
        int over;
    };
    const TCase cases[] = {{1, GGameObject::sClassId, 1},
                           {0, GGameObject::sClassId, 0},
                           {1, GGameObject::sClassId + 1000, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.mode);
        GLogicalManager::Instance().SetCursor(0);
        GGameObject* girl = PlaceSquare("girl", 100, 100);
        Give(girl, new GMStr_TargetDrag(c.mode, c.servedClass), false);
        Move(120, 120);
        EXPECT_EQ(Cursor(), c.over);
        Move(300, 120);
        EXPECT_EQ(Cursor(), 0);
        EXPECT_EQ(MouseInteraction().mDragCursorHolder, nullptr);
        mObjects.clear();
    }
}

TEST_F(CursorFeedbackTest, HolderBlocksOthersUntilItGoes) {
    GGameObject* first = PlaceSquare("first", 100, 100);
    GGameObject* second = PlaceSquare("second", 300, 100);
    auto* holder = Give(first, new GMStr_TargetDrag(1, GGameObject::sClassId), false);
    Give(second, new GMStr_TargetDrag(1, GGameObject::sClassId), false);
    mOrder = {first};
    Move(120, 120);
    EXPECT_EQ(MouseInteraction().mDragCursorHolder, holder);
    GLogicalManager::Instance().SetCursor(0);
    mOrder = {second};
    Move(320, 120);
    EXPECT_EQ(Cursor(), 0) << "blocked by the holder";
    // The holder goes with its object's strategy; the other is free again.
    first->SetStrategy(nullptr);
    EXPECT_EQ(MouseInteraction().mDragCursorHolder, nullptr);
    Move(321, 120);
    EXPECT_EQ(Cursor(), 1);
    mOrder.clear();
}

TEST_F(CursorFeedbackTest, DoorShowsTheClickCursorOnlyWhenItCanBeUsed) {
    auto* judging = PlaceAs<TOpenDoor>("judging", 100, 100);
    GGameObject* entrance = PlaceSquare("entrance", 300, 100);
    ASSERT_NE(judging, nullptr);
    auto* door = Give(judging, new GMStr_Door, false);
    Give(entrance, new GMStr_Door, false);
    Move(120, 120);
    EXPECT_EQ(Cursor(), 1);
    EXPECT_EQ(MouseInteraction().mDoorCursorHolder, door);
    Move(200, 120);
    EXPECT_EQ(Cursor(), 0);
    Move(320, 120);
    EXPECT_EQ(Cursor(), 0) << "the entrance door cannot be used";
    judging->SetMouseBlocked(true);
    Move(120, 120);
    EXPECT_EQ(Cursor(), 0) << "blocked";
    // Active: over it while nothing is pressed, and on hover.
    judging->SetMouseBlocked(false);
    judging->SetMouseEnabled(true);
    Move(200, 120);
    Move(121, 120);
    EXPECT_EQ(Cursor(), 1);
    EXPECT_EQ(MouseInteraction().mHovered, judging);
}

TEST_F(CursorFeedbackTest, TheJudgingDoorShowsTheClickCursorOnlyWhileItCanTakeGirls) {
    auto* door = PlaceAs<GJudgingSceneDoor>("judging", 100, 100);
    ASSERT_NE(door, nullptr);
    Give(door, new GMStr_Door, false);
    GLogicalManager::Instance().SetCursor(0);
    Move(120, 120);
    EXPECT_EQ(Cursor(), 0) << "closed";
    Move(300, 120);
    door->OnQueueCount(1);
    Move(120, 120);
    EXPECT_EQ(Cursor(), 1) << "open";
    Move(300, 120);
    EXPECT_EQ(Cursor(), 0);
    ASSERT_EQ(door->EnterQueue(), 1);
    Move(120, 120);
    EXPECT_EQ(Cursor(), 0) << "its group went in";
}

} // namespace
