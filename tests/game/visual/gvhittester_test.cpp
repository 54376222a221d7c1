// Hit testers on a fixture texture: "default" against "alpha" and its row and column spans, the
// object's point test under mirroring, scaling and rotation, the tree search, the registry, and
// masks of frames that reach outside their texture or have none.

#include "game/visual/GVAlphaHitTester.h"
#include "game/visual/GVDefHitTester.h"
#include "game/visual/GVHitTester.h"
#include "tests/game/visual/visual_draw_fixture.h"

#include <boost/shared_ptr.hpp>

#include <numbers>

namespace gvhittester_test {
namespace {

using visual_test::MakeFrames;
using visual_test::MakeStates;
using visual_test::TFrameDesc;

// 20 x 10, transparent but for a staircase: row y (2 to 7) is opaque from x = y + 3 to 14, so
// row y's span (grown left) is y + 2 .. 14 and column x's is 1 .. min(7, x - 3) + 1.
uint32_t Staircase(int x, int y) {
    return y >= 2 && y <= 7 && x >= y + 3 && x <= 14 ? 0xFFC03020u : 0x00000000u;
}

boost::shared_ptr<GVHitTester> Tester(const char* name) {
    return boost::shared_ptr<GVHitTester>(GetHitTesterCreators().at(name)());
}

class GVHitTesterTest : public visual_test::TVisualDrawTest {
protected:
    void SetUp() override {
        TVisualDrawTest::SetUp();
        AddImage("stairs.png", 20, 10, Staircase);
    }

    // The whole image at (100, 50), registration point at its top-left, with the tester.
    GVObject* Stairs(const char* tester) {
        GVObject* object = TexturedSprite("stairs", {TFrameDesc{TRect{0, 0, 20, 10}}});
        auto hitTester = Tester(tester);
        EXPECT_TRUE(hitTester->Attach(object));
        object->SetHitTester(hitTester);
        object->mDeltaX = 100;
        object->mDeltaY = 50;
        object->MarkChanged();
        mLayer.UpdateObjects();
        return object;
    }

    // The pixel's centre on screen for an object drawn unturned at (100, 50).
    static TVec2 Pixel(float x, float y) { return TVec2(100.0f + x + 0.5f, 50.0f + y + 0.5f); }
};

TEST_F(GVHitTesterTest, AlphaHitsOnTheSpansWhereDefaultHitsTheWholeFrame) {
    GVObject* alpha = Stairs("alpha");
    GVObject* plain = Stairs("default");
    struct TCase {
        const char* what;
        int x, y;
        bool alpha;
        bool plain;
    };
    for (const TCase& c : {
             TCase{"transparent pixel inside the frame", 1, 1, false, true},
             TCase{"rightmost opaque pixel of row 3", 14, 3, true, true},
             TCase{"one right of it", 15, 3, false, true},
             TCase{"one left of row 5's leftmost, column 7 reaching row 5", 7, 5, true, true},
             TCase{"two left of it", 6, 5, false, true},
             TCase{"below column 7's grown span", 7, 6, false, true},
             TCase{"above the top row, whose row is empty", 10, 1, false, true},
             TCase{"outside the frame", 20, 3, false, false},
             TCase{"left of the frame", -1, 3, false, false},
         }) {
        EXPECT_EQ(alpha->HitTestPoint(Pixel(c.x, c.y)), c.alpha) << c.what;
        EXPECT_EQ(plain->HitTestPoint(Pixel(c.x, c.y)), c.plain) << c.what;
    }

    alpha->mVisible = 0;
    alpha->MarkChanged();
    plain->mVisible = 0;
    plain->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_FALSE(alpha->HitTestPoint(Pixel(14, 3))) << "hidden";
    EXPECT_FALSE(plain->HitTestPoint(Pixel(14, 3))) << "hidden";

    GVObject* none = Stairs("default");
    none->SetHitTester(nullptr);
    EXPECT_FALSE(none->HitTestPoint(Pixel(14, 3))) << "no tester";
}

TEST_F(GVHitTesterTest, ObjectsAreHitOnThePixelsTheyShow) {
    GVObject* object = Stairs("alpha");
    // Mirrored: the registration point is the mirrored one (the right edge), so the image lies
    // left of the position, and texture column x is shown at 100 - x - 1.
    object->mFlip = GVData::kFlipH;
    object->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_TRUE(object->HitTestPoint(TVec2(100.0f - 14.5f, 53.5f)));
    EXPECT_FALSE(object->HitTestPoint(TVec2(100.0f - 15.5f, 53.5f)));
    EXPECT_FALSE(object->HitTestPoint(Pixel(14, 3))) << "where the unmirrored image would be";

    // Scaled by 2: texture pixel (14, 3) covers [128, 130) x [56, 58).
    object->mFlip = 0;
    object->mScaling = 2.0f;
    object->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_TRUE(object->HitTestPoint(TVec2(129.0f, 57.0f)));
    EXPECT_TRUE(object->HitTestPoint(TVec2(128.2f, 56.2f)));
    EXPECT_FALSE(object->HitTestPoint(TVec2(130.5f, 57.0f)));
    EXPECT_FALSE(object->HitTestPoint(Pixel(15, 3))) << "at scale 1 it would hit";

    // Turned by a quarter: (x, y) of the frame lands at (100 - y, 50 + x).
    object->mScaling = 1.0f;
    object->mRotate = std::numbers::pi_v<float> / 2.0f;
    object->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_TRUE(object->HitTestPoint(TVec2(100.0f - 3.5f, 50.0f + 14.5f)));
    EXPECT_FALSE(object->HitTestPoint(TVec2(100.0f - 3.5f, 50.0f + 15.5f)));
    EXPECT_FALSE(object->HitTestPoint(Pixel(14, 3)));

    // Scaled to nothing: nothing is hit.
    object->mRotate = 0.0f;
    object->mScaling = 0.0f;
    object->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_FALSE(object->HitTestPoint(TVec2(100.0f, 50.0f)));
}

TEST_F(GVHitTesterTest, MasksOfFramesOutsideTheirTextureReadNothingOutsideIt) {
    // Each frame against the 20 x 10 staircase; points in frame pixels.
    const auto frames = MakeFrames({
        TFrameDesc{TRect{10, 5, 30, 15}},   // over the right and bottom edges
        TFrameDesc{TRect{-5, -2, 15, 8}},   // over the left and top edges
        TFrameDesc{TRect{10, 10, 5, 5}},    // negative size
        TFrameDesc{TRect{0, 0, 20, 10}, 5}, // a texture index with no texture
        TFrameDesc{TRect{40, 40, 60, 60}},  // wholly outside
    });
    GVObject object;
    object.SetTextures(mTextures);
    object.SetFrames(frames);
    GVAlphaHitTester tester;
    ASSERT_TRUE(tester.Attach(&object));
    struct TCase {
        int frame, x, y;
        bool hit;
    };
    for (const TCase& c : {
             TCase{0, 4, 2, true},   // texture (14, 7)
             TCase{0, 5, 2, false},  // texture (15, 7)
             TCase{0, 12, 2, false}, // texture (22, 7): outside
             TCase{0, 4, 8, false},  // texture (14, 13): outside
             TCase{1, 19, 5, true},  // texture (14, 3)
             TCase{1, 2, 5, false},  // texture (-3, 3)
             TCase{2, 0, 0, false},
             TCase{3, 14, 3, false},
             TCase{4, 5, 5, false},
         }) {
        EXPECT_EQ(tester.HitTest(TPoint{c.x, c.y}, frames->At(c.frame)), c.hit)
            << c.frame << " " << c.x << "," << c.y;
    }
    GVDefHitTester plain;
    EXPECT_TRUE(plain.HitTest(TPoint{14, 3}, frames->At(3)));
    EXPECT_FALSE(tester.Attach(nullptr));
}

TEST_F(GVHitTesterTest, ATesterSharedByClonesOutlivesThePrototype) {
    auto prototype = std::make_unique<GVObject>();
    prototype->SetTextures(mTextures);
    prototype->SetFrames(MakeFrames({TFrameDesc{TRect{0, 0, 20, 10}}}, mTextures.get()));
    prototype->SetStates(MakeStates({}, 1));
    auto tester = Tester("alpha");
    ASSERT_TRUE(tester->Attach(prototype.get()));
    prototype->SetHitTester(tester);
    auto* clone = new GVObject;
    prototype->CopyTo(clone);
    mRoots.emplace_back(clone);
    prototype.reset();
    clone->AttachTo(&mLayer, nullptr, true);
    clone->mDeltaX = 100;
    clone->mDeltaY = 50;
    clone->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(clone->GetHitTester(), tester);
    EXPECT_TRUE(clone->HitTestPoint(Pixel(14, 3)));
    EXPECT_FALSE(clone->HitTestPoint(Pixel(1, 1)));
}

TEST(GVHitTesterRegistryTest, DefaultAndAlphaAreRegisteredBeforeMain) {
    ASSERT_NE(GetHitTesterCreators().count("default"), 0u);
    ASSERT_NE(GetHitTesterCreators().count("alpha"), 0u);
    for (const char* name : {"default", "alpha"}) {
        std::unique_ptr<GVHitTester> tester(GetHitTesterCreators().at(name)());
        EXPECT_STREQ(tester->GetTypeName(), name);
        EXPECT_EQ(tester->GetType(), GVBase::kParams);
    }
    EXPECT_EQ(HitTesterCreatorSlot("none"), nullptr) << "no tester under that name";
    EXPECT_NE(GetHitTesterCreators().count("none"), 0u) << "the slot is made";
    GetHitTesterCreators().erase("none");
}

using GVFindTest = visual_test::TVisualTest;

TEST_F(GVFindTest, FindObjectAtTestsTheParentFirstThenTheChildrenInListOrder) {
    // Frames of 20 x 10 without textures: the default tester needs none.
    const auto frames = MakeFrames({TFrameDesc{TRect{0, 0, 20, 10}}});
    GVObject* parent = Sprite("parent", frames, MakeStates({}, 1));
    GVObject* first = Sprite("first", frames, MakeStates({}, 1), parent, GVObject::kLinkNone);
    GVObject* second = Sprite("second", frames, MakeStates({}, 1), parent, GVObject::kLinkNone);
    GVObject* grandchild = Sprite("grand", frames, MakeStates({}, 1), second, GVObject::kLinkNone);
    auto tester = Tester("default");
    for (GVObject* object : {parent, first, second, grandchild}) {
        object->SetHitTester(tester);
    }
    first->mDeltaX = 15;  // 15 .. 35, overlapping the parent
    second->mDeltaX = 30; // 30 .. 50, behind the first where they overlap
    grandchild->mDeltaX = 60;
    for (GVObject* object : {first, second, grandchild}) {
        object->MarkChanged();
    }
    mLayer.UpdateObjects();

    struct TCase {
        float x;
        int depth;
        GVObject* expected;
    };
    for (const TCase& c :
         {TCase{17, 1, parent}, TCase{25, 1, first}, TCase{32, 1, first}, TCase{45, 1, second},
          TCase{25, 0, nullptr}, TCase{65, 1, nullptr}, TCase{65, 2, grandchild},
          TCase{65, -1, grandchild}, TCase{90, 2, nullptr}}) {
        EXPECT_EQ(parent->FindObjectAt(c.x, 5, c.depth), c.expected) << c.x << " " << c.depth;
    }
    const TVec2 offset(20, 0);
    EXPECT_EQ(parent->FindObjectAt(5, 5, 1, &offset), first) << "the offset moves the point";

    parent->mVisible = 0;
    parent->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(parent->FindObjectAt(17, 5, 1), first) << "a hidden parent is not hit";
}

} // namespace
} // namespace gvhittester_test
