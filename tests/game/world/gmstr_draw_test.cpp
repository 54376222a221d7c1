// A dragged object drawn over the chair it is dropped on: in front of it whatever its depth before
// the drag, and the chair showing that it accepts the drop.
#include "game/visual/GVObject.h"
#include "game/world/GMStr_Chair.h"
#include "game/world/GMStr_TargetDrag.h"
#include "tests/fixtures/golden.h"
#include "tests/game/world/mousestrategy_fixture.h"

#include <gtest/gtest.h>

namespace {

using visual_test::Key;
using world_test::TMouseStrategyTest;

using StrategyDrawTest = TMouseStrategyTest;

TEST_F(StrategyDrawTest, DraggedObjectInFrontOfTheAcceptingChair) {
    // A 60 x 60 chair, blue, green while it accepts a drop.
    ServeImage("blue.png", 60, 0xFF0000FFu);
    ServeImage("green.png", 60, 0xFF00FF00u);
    ServeXml("chair", "<main id=\"chair\"><images><img name=\"blue.png\"/><img name=\"green.png\"/>"
                      "</images><framelist><frame w=\"60\" h=\"60\"/>"
                      "<frame w=\"60\" h=\"60\" img=\"1\"/></framelist><states>"
                      "<state id=\"normal\" framelist=\"0\"/>"
                      "<state id=\"hidehotplace\" framelist=\"0\"/>"
                      "<state id=\"showaccept\" framelist=\"1\"/></states></main>");
    GGameObject* chair = PlaceSquare("chair", 300, 100, 0, "chair");
    // The red 40 x 40 girl lies behind the chair's depth (50 against 100) before the drag.
    GGameObject* girl = PlaceSquare("girl", 100, 50);
    ASSERT_NE(chair, nullptr);
    ASSERT_NE(girl, nullptr);
    Give(chair, new GMStr_Chair);
    Give(girl, new GMStr_TargetDrag(0, GGameObject::sClassId));
    Move(120, 70);
    Down(120, 70);
    Move(200, 70);
    // The press offset (20, 20) puts the girl at (310, 110) to (350, 150).
    Move(330, 130);
    EXPECT_EQ(girl->GetVisual()->mDeltaZ, 10000.0f);
    EXPECT_EQ(chair->GetVisual()->GetStateKey(), Key("showaccept"));

    const standin::TScreenImage image = DrawFrame(0xFF000000u);
    EXPECT_EQ(At(image, 310, 110), 0xFF0000u) << "the girl's top left corner, over the chair";
    EXPECT_EQ(At(image, 349, 149), 0xFF0000u);
    EXPECT_EQ(At(image, 350, 150), 0x00FF00u) << "the accepting chair beyond the girl";
    EXPECT_EQ(At(image, 300, 100), 0x00FF00u);
    EXPECT_EQ(At(image, 359, 159), 0x00FF00u);
    EXPECT_EQ(At(image, 360, 160), 0x000000u);
    EXPECT_EQ(At(image, 120, 70), 0x000000u) << "nothing left where the girl was";
    testing_fixtures::ExpectGolden(image, "tests/game/world/golden/drag_over_chair.png");
}

} // namespace
