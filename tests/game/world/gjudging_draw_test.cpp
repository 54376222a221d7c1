// The judging door and the judges drawn from the demo assets, as the door shows the number of
// waiting girls and the judging scene shows a judge's score card.
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/world/GJudgingScene.h"
#include "game/world/GJudgingSceneDoor.h"
#include "game/world/GObjectFactory.h"
#include "tests/assets/assets_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/game/visual/layer_frame.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class JudgingDrawTest : public assets_test::TDemoAssetsTest {
protected:
    void SetUp() override {
        TDemoAssetsTest::SetUp();
        OpenDisplay(320, 200);
        GVFactory& factory = GVFactory::Instance();
        factory.ClearCache();
        factory.SetObjectFolder("xml/");
        factory.SetTextureFolder("anim/");
        factory.SetCurrentLayer(&mLayer);
        GObjectFactory::Instance().Clear(false, false);
    }

    void TearDown() override {
        mObjects.clear();
        GObjectFactory::Instance().Clear(false, false);
        GVFactory::Instance().ClearCache();
        GVFactory::Instance().SetCurrentLayer(nullptr);
        TDemoAssetsTest::TearDown();
    }

    // The factory's object from the Lua tables, placed without a level; the fixture owns it.
    template <class T>
    T* Place(const std::string& name, const std::string& type, const std::string& object) {
        mTables.DoLuaString(("return " + type).c_str(), -1, 1);
        TLuaTable typeTable(mTables.GetState());
        mTables.DoLuaString(("return " + object).c_str(), -1, 1);
        TLuaTable objectTable(mTables.GetState());
        std::unique_ptr<GGameObject> made(
            GObjectFactory::Instance().CreateObject(name.c_str(), &typeTable, &objectTable));
        if (made == nullptr || !made->InitInLevel(&objectTable, nullptr, "", nullptr)) {
            return nullptr;
        }
        mObjects.push_back(std::move(made));
        return dynamic_cast<T*>(mObjects.back().get());
    }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                            static_cast<size_t>(x)] &
               0xFFFFFFu;
    }

    TScript mTables;
    GVLayer mLayer;
    std::vector<std::unique_ptr<GGameObject>> mObjects;
};

TEST_F(JudgingDrawTest, TheDoorShowsFortyFiveBesideTheJudgesWithTheFirstJudgesThree) {
    auto* door = Place<GJudgingSceneDoor>(
        "door", "{ class_name = 'GJudgingSceneDoor', xml_anim = 'judging_door' }",
        "{ name = 'door', pos_x = 60, pos_y = 170 }");
    auto* scene = Place<GJudgingScene>("stand",
                                       "{ class_name = 'GJudgingScene', xml_judges = 'judges', "
                                       "judges_delta = { x = 20, y = -10 } }",
                                       "{ name = 'stand', pos_x = 190, pos_y = 160 }");
    ASSERT_NE(door, nullptr);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(door->ShowNumber(45), 1);
    scene->SetJudgesState("judges_1_score_3");

    const standin::TScreenImage image = visual_test::DrawLayerFrame(mLayer, 0xFF3A2A48);
    // The door from (20, 58); its digit plates of 16 x 20 centred at (52, 94) and (68, 94). Inside
    // a plate (texel (3, 10)) #fff8e1; the 4's bar at texel (6, 12) #775668; the 5's top stroke at
    // texel (5, 7) #4a2040.
    EXPECT_EQ(At(image, 47, 94), 0xFFF8E1u);
    EXPECT_EQ(At(image, 63, 94), 0xFFF8E1u);
    EXPECT_EQ(At(image, 50, 96), 0x775668u);
    EXPECT_EQ(At(image, 65, 91), 0x4A2040u);
    // The judges stand at (210, 150), 70 apart, each 56 x 64 from its feet: faces #f2c9a8 at
    // texel (28, 20). The first judge's card (frame 3, from (130, 122)): white inside at texel
    // (4, 4), the 3's top stroke #37474f at texel (8, 7). The second judge shows no card: its
    // coat #37474f where a card's white would be.
    EXPECT_EQ(At(image, 140, 106), 0xF2C9A8u);
    EXPECT_EQ(At(image, 210, 106), 0xF2C9A8u);
    EXPECT_EQ(At(image, 134, 126), 0xFFFFFFu);
    EXPECT_EQ(At(image, 138, 129), 0x37474Fu);
    EXPECT_EQ(At(image, 204, 126), 0x37474Fu);
    testing_fixtures::ExpectGolden(image, "tests/game/world/golden/judging_door_45.png");
}

} // namespace
