// The entrance door: its class, its opening with the "open" state and the "door_open" sound, and
// the strategies of edit mode and play.
#include "game/world/GInDoor.h"

#include "engine/media/sound.h"
#include "game/visual/GVObject.h"
#include "game/world/GMStr_Door.h"
#include "game/world/GMStr_Edit.h"
#include "game/world/GStateKey.h"
#include "tests/assets/assets_fixture.h"
#include "tests/game/world/world_object_fixture.h"

#include <gtest/gtest.h>

namespace {

using world_test::TWorldObjectTest;

class InDoorTest : public TWorldObjectTest {
protected:
    GInDoor* PlaceDoor() {
        ServeImage("a.png", 8);
        ServeXml("door",
                 "<main id=\"door\"><images><img name=\"a.png\"/></images><framelist>"
                 "<frame w=\"8\" h=\"8\"/></framelist><states>"
                 "<state id=\"closed\" framelist=\"0\"/><state id=\"open\" framelist=\"0\"/>"
                 "</states></main>");
        return dynamic_cast<GInDoor*>(
            Place("entrance", "{ class_name = 'GInDoor', xml_anim = 'door' }", "{}"));
    }
};

TEST_F(InDoorTest, TheFactoryMakesDoorsThatCloneAsDoors) {
    GInDoor* door = PlaceDoor();
    ASSERT_NE(door, nullptr);
    EXPECT_STREQ(door->GetClassName(), "GInDoor");
    EXPECT_EQ(door->GetClassId(), GInDoor::sClassId);
    EXPECT_NE(GInDoor::sClassId, GGameObject::sClassId);
    EXPECT_TRUE(door->IsKindOf(GInDoor::sClassId));
    EXPECT_TRUE(door->IsKindOf(GGameObject::sClassId));
    EXPECT_TRUE(door->IsEditable());
    std::unique_ptr<GGameObject> copy(door->Clone());
    EXPECT_STREQ(copy->GetClassName(), "GInDoor");
    EXPECT_EQ(copy->GetVisualPath(), "door");
}

TEST_F(InDoorTest, OpenShowsTheOpenState) {
    GInDoor* door = PlaceDoor();
    ASSERT_NE(door, nullptr);
    ASSERT_NE(door->GetVisual(), nullptr);
    door->Open();
    EXPECT_EQ(door->GetVisual()->GetStateKey(), GStateKey::FromString("open"));
}

TEST_F(InDoorTest, EditModeGivesTheEditorStrategyAndLeavingItTheDoorStrategy) {
    GInDoor* door = PlaceDoor();
    ASSERT_NE(door, nullptr);
    ASSERT_EQ(door->GetStrategy(), nullptr);
    door->StartGame();
    door->SetEditMode(true, 1);
    EXPECT_NE(dynamic_cast<GMStr_Edit*>(door->GetStrategy()), nullptr);
    EXPECT_FALSE(door->IsActive());
    EXPECT_EQ(door->GetStrategy()->GetTarget(), door);
    door->SetEditMode(false, 1);
    EXPECT_NE(dynamic_cast<GMStr_Door*>(door->GetStrategy()), nullptr);
    EXPECT_EQ(door->GetStrategy()->GetTarget(), door);
    EXPECT_TRUE(door->IsActive());

    GInDoor fresh;
    fresh.SetEditMode(false, 1);
    EXPECT_NE(dynamic_cast<GMStr_Door*>(fresh.GetStrategy()), nullptr)
        << "a door that was never edited";
}

using InDoorSoundTest = assets_test::TDemoSoundDeviceTest;

TEST_F(InDoorSoundTest, OpenPlaysTheDoorSound) {
    GInDoor door;
    door.Open();
    const TSoundPtr sound = TSound::Find("audio/sfx/door_open.ogg;1;1000");
    ASSERT_TRUE(sound);
    EXPECT_TRUE(sound->Stop()) << "it was playing";
}

} // namespace
