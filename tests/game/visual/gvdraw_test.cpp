// Objects of a draw list drawn on the headless software renderer: frames of a fixture texture
// with registration points, flips, blend modes, scaling, rotation and alpha, culling at the edge
// of the draw area; compared with a golden image and at pixels worked out by hand.

#include "tests/game/visual/visual_draw_fixture.h"

#include <cstdlib>
#include <numbers>

namespace gvdraw_test {
namespace {

using visual_test::MakeFrames;
using visual_test::MakeStates;
using visual_test::TFrameDesc;

constexpr D3DCOLOR kBackground = 0xFF304050;

// 32 x 32: red x * 8, green y * 8, blue 0x40; the left half opaque, the right half at alpha 0x80.
uint32_t Gradient(int x, int y) {
    const uint32_t alpha = x < 16 ? 0xFFu : 0x80u;
    return alpha << 24 | static_cast<uint32_t>(x * 8) << 16 | static_cast<uint32_t>(y * 8) << 8 |
           0x40u;
}

uint32_t Texel(int x, int y) {
    return Gradient(x, y) & 0xFFFFFFu;
}

class GVDrawTest : public visual_test::TVisualDrawTest {
protected:
    void SetUp() override {
        TVisualDrawTest::SetUp();
        AddImage("gradient.png", 32, 32, Gradient);
    }

    // The object at (x, y) with its base data changed by `change`.
    template <class Change>
    GVObject* Place(const std::vector<TFrameDesc>& frames, float x, float y, Change change) {
        GVObject* object = TexturedSprite("sprite", frames);
        object->mDeltaX = x;
        object->mDeltaY = y;
        change(*object);
        object->MarkChanged();
        return object;
    }
    GVObject* Place(const std::vector<TFrameDesc>& frames, float x, float y) {
        return Place(frames, x, y, [](GVObject&) {});
    }
};

const TFrameDesc kQuarter{TRect{0, 0, 16, 16}};
const TFrameDesc kWhole{TRect{0, 0, 32, 32}, 0, 4.0f, 2.0f};
const TFrameDesc kCentred{TRect{0, 0, 32, 32}, 0, 16.0f, 16.0f};

TEST_F(GVDrawTest, GoldenFramesFlipsBlendsAndTransforms) {
    // Registration points: the top-left, the middle, a frame cut from the right half.
    Place({kQuarter}, 40, 40);
    Place({TFrameDesc{TRect{0, 0, 16, 16}, 0, 8.0f, 8.0f}}, 100, 48);
    Place({TFrameDesc{TRect{16, 16, 32, 32}}}, 120, 40);
    // Flags 12 to 15: the registration point (4, 2) mirrors with the image.
    for (uint32_t flip = 0; flip < 4; ++flip) {
        Place({kWhole}, 200.0f + 60.0f * static_cast<float>(flip), 40,
              [flip](GVObject& o) { o.mFlip = flip; });
    }
    // Blend modes 0, 2, 3 and 4.
    const int blends[] = {GVData::kBlendNormal, GVData::kBlendAdd, GVData::kBlendSub,
                          GVData::kBlendMul};
    for (int i = 0; i < 4; ++i) {
        Place({kWhole}, 40.0f + 60.0f * static_cast<float>(i), 120,
              [&](GVObject& o) { o.mBlend = blends[i]; });
    }
    // Scaling, rotation about the middle, alpha.
    Place({kQuarter}, 40, 200, [](GVObject& o) { o.mScaling = 2.0f; });
    Place({kCentred}, 160, 220, [](GVObject& o) { o.mRotate = std::numbers::pi_v<float> / 6.0f; });
    Place({kQuarter}, 300, 200, [](GVObject& o) { o.mAlpha = 0.5f; });
    // Half over the right edge of the draw area; and a turned one whose bounds lie outside it.
    Place({kCentred}, 800, 300);
    Place({kWhole}, 820, 400, [](GVObject& o) { o.mRotate = std::numbers::pi_v<float>; });

    const standin::TScreenImage image = DrawFrame(kBackground);
    struct TPixel {
        const char* what;
        int x, y;
        uint32_t expected;
    };
    for (const TPixel& p : {
             TPixel{"top-left registration", 43, 45, Texel(3, 5)},
             TPixel{"middle registration", 92, 40, Texel(0, 0)},
             TPixel{"scaled by 2", 47, 211, Texel(3, 5)},
             TPixel{"outside every object", 5, 590, 0x304050u},
         }) {
        EXPECT_EQ(At(image, p.x, p.y), p.expected) << p.what;
    }
    // Flip H: registration x = 32 - 4, so the quad spans [232, 264) and texel x shows at
    // 232 + 31 - x.
    EXPECT_EQ(At(image, 232 + 31 - 3, 40 - 2 + 5), Texel(3, 5));
    // Flip V likewise in y: the quad spans [10, 42) from y = 40 - (32 - 2), texel y at 10 + 31 - y.
    EXPECT_EQ(At(image, 320 - 4 + 3, 10 + 31 - 5), Texel(3, 5));
    // Additive: background + texel.
    EXPECT_EQ(At(image, 100 - 4 + 3, 120 - 2 + 5), 0x304050u + Texel(3, 5));
    // The frame from the right half: texel (18, 17) at alpha 0x80 over the background.
    const uint32_t translucent = At(image, 122, 41);
    EXPECT_NEAR(static_cast<int>(translucent >> 16), (18 * 8 + 0x30) / 2, 2);
    EXPECT_NEAR(static_cast<int>(translucent >> 8 & 0xFF), (17 * 8 + 0x40) / 2, 2);
    // Alpha 0.5: halfway between the texel and the background.
    const uint32_t half = At(image, 303, 205);
    EXPECT_NEAR(static_cast<int>(half >> 16), (0x30 + 24) / 2, 2);
    EXPECT_NEAR(static_cast<int>(half >> 8 & 0xFF), (0x40 + 40) / 2, 2);
    // Half over the edge: the quad spans [784, 816), texel (6, 16) at (790, 300).
    EXPECT_EQ(At(image, 790, 300), Texel(6, 16));
    // Turned by half a turn about (820, 400): texel x shows at 820 - x (its translucent half).
    EXPECT_NE(At(image, 795, 390), 0x304050u);
    ExpectGolden(image, "draw_list.png");
}

TEST_F(GVDrawTest, CullingUsesTheDrawnQuad) {
    // Wholly right of the area (the quad starts at 801): not drawn; and frames whose texture
    // index names no texture draw nothing.
    GVObject* outside = Place({kQuarter}, 801, 300);
    Place({TFrameDesc{TRect{0, 0, 16, 16}, 3}}, 400, 300);
    mLayer.UpdateObjects();
    const GVRect bounds = outside->GetBounds(nullptr);
    EXPECT_FLOAT_EQ(bounds.x0, 801.0f);
    const standin::TScreenImage image = DrawFrame(kBackground);
    for (int y = 290; y < 320; ++y) {
        for (int x = 390; x < 420; ++x) {
            ASSERT_EQ(At(image, x, y), 0x304050u) << x << "," << y;
        }
    }
}

using GVBoundsTest = visual_test::TVisualTest;

TEST_F(GVBoundsTest, AnObjectWithoutFramesReportsItsFirstChildsBounds) {
    auto* parent = new GVObject;
    mRoots.emplace_back(parent);
    parent->AttachTo(&mLayer, nullptr, true);
    GVObject* child = Sprite("child", MakeFrames({TFrameDesc{TRect{0, 0, 20, 10}, 0, 5.0f, 0.0f}}),
                             MakeStates({}, 1), parent, GVObject::kLinkNone);
    Sprite("second", MakeFrames(1), MakeStates({}, 1), parent, GVObject::kLinkNone);
    child->mDeltaX = 50;
    child->MarkChanged();
    mLayer.UpdateObjects();
    const GVRect bounds = parent->GetBounds(nullptr);
    EXPECT_FLOAT_EQ(bounds.x0, 45.0f);
    EXPECT_FLOAT_EQ(bounds.x1, 65.0f);
    EXPECT_FLOAT_EQ(bounds.y1, 10.0f);
}

} // namespace
} // namespace gvdraw_test
