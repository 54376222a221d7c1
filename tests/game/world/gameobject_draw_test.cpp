// Placed objects in the game screen's draw list: drawn in depth order (y + "deltaZ"), an object
// with a walk mask at the centre of its cell.
#include "game/world/GGameObject.h"

#include "game/visual/GVObject.h"
#include "tests/fixtures/golden.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using world_test::TWorldObjectTest;

class GameObjectDrawTest : public TWorldObjectTest {
protected:
    // A 40 x 40 square of the colour, its registration point at its top left corner.
    void ServeSquare(const std::string& name, uint32_t argb) {
        ServeImage(name + ".png", 40, argb);
        ServeXml(name, "<main id=\"" + name + "\"><images><img name=\"" + name +
                           ".png\"/></images><framelist><frame w=\"40\" h=\"40\"/></framelist>"
                           "</main>");
    }

    GGameObject* PlaceSquare(const std::string& name, const std::string& extra,
                             const std::string& position) {
        return Place(name, "{ class_name = 'GGameObject', xml_anim = '" + name + "'" + extra + " }",
                     position);
    }
};

TEST_F(GameObjectDrawTest, ObjectsAreDrawnInDepthOrder) {
    ServeSquare("red", 0xFFFF0000u);
    ServeSquare("green", 0xFF00FF00u);
    ServeSquare("blue", 0xFF0000FFu);
    // Depths: red 100, green 110 + 50 = 160 (front), blue 95 (back), snapped from (133, 95) to
    // the centre of cell (6, 4): (130, 90).
    GGameObject* red = PlaceSquare("red", "", "{ pos_x = 100, pos_y = 100 }");
    GGameObject* green = PlaceSquare("green", "", "{ pos_x = 120, pos_y = 110, deltaZ = 50 }");
    GGameObject* blue =
        PlaceSquare("blue", ", log_grid = { { 1 } }", "{ pos_x = 133, pos_y = 95 }");
    ASSERT_NE(red, nullptr);
    ASSERT_NE(green, nullptr);
    ASSERT_NE(blue, nullptr);
    EXPECT_EQ(blue->GetVisual()->mDeltaX, 130.0f);
    EXPECT_EQ(blue->GetVisual()->mDeltaY, 90.0f);
    EXPECT_EQ(blue->GetVisual()->mDeltaZ, 95.0f);

    const standin::TScreenImage image = DrawFrame(0xFF000000u);
    // Red alone at its top left; green over red where they meet; red over blue; blue alone
    // above red; green over blue.
    EXPECT_EQ(At(image, 101, 101), 0xFF0000u);
    EXPECT_EQ(At(image, 125, 115), 0x00FF00u);
    EXPECT_EQ(At(image, 135, 105), 0xFF0000u);
    EXPECT_EQ(At(image, 150, 120), 0x00FF00u) << "green (160) over blue";
    EXPECT_EQ(At(image, 131, 101), 0xFF0000u) << "red (100) over blue (95)";
    EXPECT_EQ(At(image, 131, 91), 0x0000FFu);
    EXPECT_EQ(At(image, 165, 125), 0x0000FFu);
    EXPECT_EQ(At(image, 99, 99), 0x000000u);
    testing_fixtures::ExpectGolden(image, "tests/game/world/golden/objects_depth_order.png");
}

} // namespace
