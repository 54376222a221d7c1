// Visual objects in trees: how the link modes pass a parent's changes on, which objects one update
// touches, the draw descriptor and bounds of a frame, copies and the children list.

#include "engine/media/drawdesc.h"
#include "game/visual/GVFrame.h"
#include "tests/game/visual/visual_fixture.h"

#include <cmath>
#include <numbers>

namespace gvobject_test {
namespace {

using visual_test::Move;
using GVObjectTreeTest = visual_test::TVisualTest;

// Counts its updates: each ends by building the draw descriptor.
class TCountingObject : public GVObject {
public:
    void BuildDrawSpec(const GVFrame* frame) override {
        ++mBuilds;
        GVObject::BuildDrawSpec(frame);
    }
    int mBuilds = 0;
};

TEST_F(GVObjectTreeTest, AParentsMoveReachesEachChildAsItsLinkSays) {
    GVObject* parent = Root("parent");
    GVObject* children[4];
    for (int link = 0; link < 4; ++link) {
        children[link] = Child(parent, "child", link);
    }
    Move(parent, 10);
    mLayer.Draw();

    EXPECT_FLOAT_EQ(parent->GetWorldData().mDeltaX, 10.0f);
    // Link 3 adds the parent's world position to its own base, which followed the move too.
    const float expected[4] = {0.0f, 10.0f, 10.0f, 20.0f};
    for (int link = 0; link < 4; ++link) {
        EXPECT_FLOAT_EQ(children[link]->GetWorldData().mDeltaX, expected[link]) << "link " << link;
        EXPECT_FLOAT_EQ(children[link]->mDeltaX, link == 0 ? 0.0f : 10.0f) << "link " << link;
        EXPECT_FALSE(children[link]->IsDirty()) << "link " << link;
    }
}

TEST_F(GVObjectTreeTest, InheritedAndWorldDataByLinkMode) {
    GVObject* parent = Root("parent");
    GVObject* children[4];
    for (int link = 0; link < 4; ++link) {
        children[link] = Child(parent, "child", link);
    }
    GVData& parentLocal = parent->GetLocalData();
    parentLocal.mDeltaX = 5;
    parentLocal.mAlpha = 0.5f;
    parentLocal.mScaling = 2;
    parentLocal.MarkChanged();
    Move(parent, 100);
    for (GVObject* child : children) {
        child->GetLocalData().mDeltaX = 3;
        child->GetLocalData().mAlpha = 0.5f;
        child->GetLocalData().MarkChanged();
    }
    mLayer.UpdateObjects();

    // Parent: world = base 100 (+) inherited (its local: 5, alpha 0.5, scaling 2).
    EXPECT_FLOAT_EQ(parent->GetWorldData().mDeltaX, 105.0f);
    EXPECT_FLOAT_EQ(parent->GetWorldData().mAlpha, 0.5f);
    EXPECT_FLOAT_EQ(parent->GetWorldData().mScaling, 2.0f);
    struct TExpected {
        float inheritedX, inheritedAlpha, worldX, worldAlpha, worldScaling;
    };
    const TExpected expected[4] = {
        // Link 0: no base change; inherited is the local data alone.
        {3, 0.5f, 3, 0.5f, 1},
        // Link 1: base 100 (+) local.
        {3, 0.5f, 103, 0.5f, 1},
        // Link 2: inherited = local (+) parent's inherited = 8, 0.25, 2; world = 100 (+) that.
        {8, 0.25f, 108, 0.25f, 2},
        // Link 3: base 100 (+) local 3 (+) parent's world 105 (alpha 0.5, scaling 2).
        {8, 0.25f, 208, 0.25f, 2},
    };
    for (int link = 0; link < 4; ++link) {
        const GVObject* child = children[link];
        const TExpected& e = expected[link];
        EXPECT_FLOAT_EQ(child->GetInheritedData().mDeltaX, e.inheritedX) << "link " << link;
        EXPECT_FLOAT_EQ(child->GetInheritedData().mAlpha, e.inheritedAlpha) << "link " << link;
        EXPECT_FLOAT_EQ(child->GetWorldData().mDeltaX, e.worldX) << "link " << link;
        EXPECT_FLOAT_EQ(child->GetWorldData().mAlpha, e.worldAlpha) << "link " << link;
        EXPECT_FLOAT_EQ(child->GetWorldData().mScaling, e.worldScaling) << "link " << link;
        EXPECT_FALSE(child->IsDirty()) << "link " << link;
    }
}

TEST_F(GVObjectTreeTest, HidingAParentHidesALinkedChildAndShowingItShowsItAgain) {
    GVObject* parent = Root("parent");
    GVObject* child = Child(parent, "child", GVObject::kLinkBase);
    parent->mVisible = 0;
    parent->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(child->mVisible, 0);
    EXPECT_EQ(child->GetWorldData().mVisible, 0);

    parent->mVisible = 1;
    parent->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(child->mVisible, 1);
    EXPECT_EQ(child->GetWorldData().mVisible, 1);
}

TEST_F(GVObjectTreeTest, AMirroredParentThatMovesLeavesItsChildsFlipAlone) {
    GVObject* parent = Root("parent");
    GVObject* child = Child(parent, "child", GVObject::kLinkBase);
    parent->mFlip = GVData::kFlipH;
    parent->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(child->GetWorldData().mFlip, GVData::kFlipH) << "the child follows the flip once";

    for (int step = 0; step < 5; ++step) {
        Move(parent, 1);
        mLayer.UpdateObjects();
        EXPECT_EQ(child->GetWorldData().mFlip, GVData::kFlipH) << "move " << step;
    }
    EXPECT_FLOAT_EQ(child->GetWorldData().mDeltaX, 5.0f);

    parent->mFlip = 0;
    parent->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(child->GetWorldData().mFlip, 0u) << "unmirrored once";
}

TEST_F(GVObjectTreeTest, ABlendOfTheObjectsOwnShowsOverANormalInheritedOne) {
    GVObject* parent = Root("parent");
    GVObject* plain = Child(parent, "plain", GVObject::kLinkInherited);
    GVObject* coded = Child(parent, "coded", GVObject::kLinkInherited);
    parent->GetLocalData().mBlend = GVData::kBlendAdd;
    parent->GetLocalData().MarkChanged();
    coded->mBlend = GVData::kBlendMul;
    coded->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(parent->GetWorldData().mBlend, GVData::kBlendAdd) << "from its element";
    EXPECT_EQ(plain->GetWorldData().mBlend, GVData::kBlendAdd) << "inherited";
    EXPECT_EQ(coded->GetWorldData().mBlend, GVData::kBlendAdd)
        << "an inherited blend other than normal is combined last";

    GVObject* alone = Root("alone");
    alone->mBlend = GVData::kBlendSub;
    alone->MarkChanged();
    mLayer.UpdateObjects();
    EXPECT_EQ(alone->GetWorldData().mBlend, GVData::kBlendSub) << "set by code";
    // Moving the parent passes no blend on to its children.
    Move(parent, 3);
    mLayer.UpdateObjects();
    EXPECT_EQ(coded->mBlend, GVData::kBlendMul);
}

TEST_F(GVObjectTreeTest, OneUpdateCoversTheDirtySubtreeAndLeavesCleanObjectsAlone) {
    auto* root = Root<TCountingObject>("root");
    auto* linked = Child<TCountingObject>(root, "linked", GVObject::kLinkBase);
    auto* grandchild = Child<TCountingObject>(linked, "grandchild", GVObject::kLinkBase);
    auto* unlinked = Child<TCountingObject>(root, "unlinked", GVObject::kLinkNone);
    auto* other = Root<TCountingObject>("other");
    TCountingObject* all[] = {root, linked, grandchild, unlinked, other};
    for (TCountingObject* object : all) {
        object->mBuilds = 0;
    }

    // From the grandchild, the update climbs to the root and comes down the changed branch.
    Move(root, 4);
    EXPECT_FALSE(grandchild->IsDirty()) << "only its parent's base counts";
    EXPECT_TRUE(unlinked->IsDirty());
    linked->Update();
    const int builds[] = {1, 1, 1, 0, 0};
    for (size_t i = 0; i < std::size(all); ++i) {
        EXPECT_EQ(all[i]->mBuilds, builds[i]) << all[i]->GetId().CStr();
        EXPECT_FALSE(all[i]->IsDirty()) << all[i]->GetId().CStr();
    }
    EXPECT_FLOAT_EQ(grandchild->GetWorldData().mDeltaX, 4.0f);
    EXPECT_FLOAT_EQ(unlinked->GetWorldData().mDeltaX, 0.0f);

    // A child whose own description changed is updated with its parent's pass.
    unlinked->GetLocalData().mDeltaY = 2;
    unlinked->GetLocalData().MarkChanged();
    Move(root, 1);
    unlinked->Update();
    EXPECT_EQ(unlinked->mBuilds, 1);
    EXPECT_FLOAT_EQ(unlinked->GetWorldData().mDeltaY, 2.0f);
    EXPECT_FALSE(unlinked->IsDirty());
    EXPECT_EQ(other->mBuilds, 0);
}

struct TSpecCase {
    const char* name;
    float x, y, scaling, rotate;
    uint32_t flip;
    uint32_t flags;
    // Expected registration point and transform's upper 2 x 2 part.
    float originX, originY;
    float m00, m01, m10, m11;
};

TEST(GVObjectTest, TheDrawDescriptorOfAFrame) {
    GVFrame frame;
    frame.mRect = {10, 20, 50, 40};
    frame.mRegistration = TVec2(6.9f, -2.5f);
    frame.mMirroredRegistration = TVec2(33.1f, 22.5f);
    const float quarter = std::numbers::pi_v<float> / 2;
    const TSpecCase cases[] = {
        {"plain", 100, 200, 1, 0, 0, 12, 6, -2, 1, 0, 0, 1},
        {"scaled", 100, 200, 2, 0, 0, 12, 6, -2, 2, 0, 0, 2},
        {"mirrored horizontally", 100, 200, 1, 0, 1, 13, 33, -2, 1, 0, 0, 1},
        {"mirrored vertically", 100, 200, 1, 0, 2, 14, 6, 22, 1, 0, 0, 1},
        {"mirrored both ways", 100, 200, 1, 0, 3, 15, 33, 22, 1, 0, 0, 1},
        // Scale, then a quarter turn: (1, 0) goes to (0, 2).
        {"scaled and turned", -5, 7, 2, quarter, 0, 12, 6, -2, 0, 2, -2, 0},
    };
    for (const TSpecCase& c : cases) {
        GVObject object;
        object.mDeltaX = c.x;
        object.mDeltaY = c.y;
        object.mScaling = c.scaling;
        object.mRotate = c.rotate;
        object.mFlip = c.flip;
        object.mAlpha = 0.75f;
        object.mBlend = GVData::kBlendSub;
        object.MarkChanged();
        object.Update();
        EXPECT_EQ(object.GetDrawSpec(), nullptr) << c.name << ": no current frame, nothing built";
        object.BuildDrawSpec(&frame);
        const TDrawSpec* params = object.GetDrawSpec();
        ASSERT_NE(params, nullptr) << c.name;
        EXPECT_EQ(params->mFlags, c.flags) << c.name;
        EXPECT_FLOAT_EQ(params->mOrigin.x, c.originX) << c.name;
        EXPECT_FLOAT_EQ(params->mOrigin.y, c.originY) << c.name;
        EXPECT_FLOAT_EQ(params->mAlpha, 0.75f) << c.name;
        EXPECT_EQ(params->mBlendMode, GVData::kBlendSub) << c.name;
        EXPECT_EQ(params->mSrcRect.left, 10) << c.name;
        EXPECT_EQ(params->mSrcRect.bottom, 40) << c.name;
        const TMat3& m = params->mTransform;
        EXPECT_NEAR(m.m[0][0], c.m00, 1e-6f) << c.name;
        EXPECT_NEAR(m.m[0][1], c.m01, 1e-6f) << c.name;
        EXPECT_NEAR(m.m[1][0], c.m10, 1e-6f) << c.name;
        EXPECT_NEAR(m.m[1][1], c.m11, 1e-6f) << c.name;
        EXPECT_FLOAT_EQ(m.m[2][0], c.x) << c.name;
        EXPECT_FLOAT_EQ(m.m[2][1], c.y) << c.name;
        EXPECT_FLOAT_EQ(m.m[2][2], 1.0f) << c.name;
    }
}

struct TBoundsCase {
    const char* name;
    float regX, regY, scaling;
    uint32_t flip;
    GVRect bounds;
};

TEST(GVObjectTest, BoundsAreTheDrawnQuad) {
    const TBoundsCase cases[] = {
        // The registration point (0, 0) is the top-left: the translation itself.
        {"top-left registration", 0, 0, 1, 0, {100, 200, 140, 220}},
        {"centred registration", 20, 10, 1, 0, {80, 190, 120, 210}},
        {"centred and scaled", 20, 10, 2, 0, {60, 180, 140, 220}},
        // Mirrored, the mirrored point (40 - 30, 20 - 5) is used.
        {"mirrored both ways", 30, 5, 1, 3, {90, 185, 130, 205}},
    };
    for (const TBoundsCase& c : cases) {
        GVFrame frame;
        frame.mRect = {10, 20, 50, 40};
        frame.mRegistration = TVec2(c.regX, c.regY);
        frame.mMirroredRegistration = TVec2(40 - c.regX, 20 - c.regY);
        GVObject object;
        object.mDeltaX = 100;
        object.mDeltaY = 200;
        object.mScaling = c.scaling;
        object.mFlip = c.flip;
        object.MarkChanged();
        object.Update();
        const GVRect bounds = object.GetBounds(&frame);
        EXPECT_FLOAT_EQ(bounds.x0, c.bounds.x0) << c.name;
        EXPECT_FLOAT_EQ(bounds.y0, c.bounds.y0) << c.name;
        EXPECT_FLOAT_EQ(bounds.x1, c.bounds.x1) << c.name;
        EXPECT_FLOAT_EQ(bounds.y1, c.bounds.y1) << c.name;
    }

    GVObject frameless;
    frameless.mDeltaX = 5;
    frameless.MarkChanged();
    frameless.Update();
    const GVRect none = frameless.GetBounds(nullptr);
    EXPECT_EQ(none.x0 + none.y0 + none.x1 + none.y1, 0.0f);
}

TEST(GVObjectTest, CopyToTakesDataLinkAndIdButNoPlace) {
    GVLayer layer;
    GVObject parent;
    GVObject source;
    source.SetId("source");
    source.SetLink(GVObject::kLinkWorld);
    source.mDeltaX = 7;
    source.mAlpha = 0.5f;
    source.GetLocalData().mDeltaY = 3;
    source.AttachTo(&layer, &parent, false);
    source.SetFrame(4);

    GVObject copy;
    EXPECT_EQ(source.CopyTo(&copy), &copy);
    EXPECT_EQ(copy.GetId(), str("source"));
    EXPECT_EQ(copy.GetLink(), GVObject::kLinkWorld);
    EXPECT_FLOAT_EQ(copy.mDeltaX, 7.0f);
    EXPECT_FLOAT_EQ(copy.mAlpha, 0.5f);
    EXPECT_FLOAT_EQ(copy.GetLocalData().mDeltaY, 3.0f);
    EXPECT_EQ(copy.GetParent(), nullptr);
    EXPECT_TRUE(copy.GetLayers().empty());
    EXPECT_FALSE(layer.Contains(&copy));
    EXPECT_EQ(copy.GetFramePosition(), -1);

    GVData data;
    EXPECT_EQ(source.CopyTo(&data), nullptr) << "not an object";
    EXPECT_EQ(source.CopyTo(nullptr), nullptr);
}

// Counts its deletions.
class TCountedObject : public GVObject {
public:
    explicit TCountedObject(int& deletions) : mDeletions(deletions) {}
    ~TCountedObject() override { ++mDeletions; }

private:
    int& mDeletions;
};

TEST(GVObjectTest, TheChildrenListDeletesItsChildrenOnlyOnceOwning) {
    int deletions = 0;
    TCountedObject first(deletions);
    TCountedObject second(deletions);
    {
        GVObject parent;
        auto* childs = new GVChilds(&parent);
        parent.SetChilds(childs);
        childs->Append(&first, "a");
        childs->Append(&second, "b");
        childs->Append(nullptr, "c");
        childs->AddImported(&second);
        first.AttachTo(nullptr, &parent, false);
        EXPECT_EQ(childs->GetOwner(), &parent);
        EXPECT_EQ(childs->GetType(), GVBase::kChilds);
        EXPECT_EQ(childs->GetItemName(), str("obj"));
        EXPECT_EQ(childs->Count(), 2);
        EXPECT_EQ(parent.GetChild("b"), &second);
        EXPECT_EQ(parent.GetChild("c"), nullptr);
        EXPECT_TRUE(childs->IsImported(&second));
        EXPECT_FALSE(childs->IsImported(&first));
        EXPECT_EQ(first.GetOwner(), &parent);
        childs->Clear();
        EXPECT_EQ(childs->Count(), 0);
        EXPECT_TRUE(childs->GetImported().empty());
        childs->Append(&first, "a");
        childs->Append(&second, "a");
        EXPECT_EQ(parent.GetChild("a"), &first) << "equal keys: the first";
        EXPECT_EQ(childs->IndexOf("a"), 0);
    }
    EXPECT_EQ(deletions, 0) << "a list that does not own its children only forgets them";
    EXPECT_EQ(first.GetParent(), nullptr) << "a parent that is gone is forgotten";

    int owned = 0;
    {
        GVObject parent;
        auto* childs = new GVChilds(&parent);
        parent.SetChilds(childs);
        childs->Append(new TCountedObject(owned), "a");
        childs->Append(new TCountedObject(owned), "b");
        childs->SetOwning(true);
        childs->Clear();
        EXPECT_EQ(owned, 2);
        childs->Append(new TCountedObject(owned), "c");
    }
    EXPECT_EQ(owned, 3) << "deleted with the parent";
}

// An owner that counts the calls of its timer.
struct TTicker {
    void Tick() { ++mTicks; }
    int mTicks = 0;
    TOnTimerCaller<TTicker, TModalWindow>* mTimer = nullptr;
};
using TTickerTimer = TOnTimerCaller<TTicker, TModalWindow>;

TEST(TOnTimerCallerTest, RunsOnlyOnceStartedAndEndsOnceDetached) {
    TTicker ticker;
    TTaskList tasks;
    auto* timer = new TTickerTimer(&ticker, &TTicker::Tick, &ticker.mTimer);
    EXPECT_EQ(ticker.mTimer, timer);
    EXPECT_EQ(timer->GetElapsed(), -1) << "made stopped";
    tasks.Add(timer);
    tasks.Run(0);
    tasks.Run(0);
    EXPECT_EQ(ticker.mTicks, 0) << "not before Start";

    timer->Start(0, false, true, false);
    tasks.Run(0);
    tasks.Run(0);
    EXPECT_EQ(ticker.mTicks, 2) << "without a period a started task stays due";

    timer->Detach();
    EXPECT_EQ(ticker.mTimer, nullptr);
    EXPECT_EQ(timer->GetOwner(), nullptr);
    tasks.Run(0);
    EXPECT_EQ(ticker.mTicks, 2);
    EXPECT_FALSE(tasks.Remove(timer)) << "its list deleted it at its next run";
}

TEST(TOnTimerCallerTest, ALaterTimerReplacesTheHoldersAndADeletedOneLetsGo) {
    TTicker ticker;
    {
        TTaskList tasks;
        auto* first = new TTickerTimer(&ticker, &TTicker::Tick, &ticker.mTimer);
        tasks.Add(first);
        auto* second = new TTickerTimer(&ticker, &TTicker::Tick, &ticker.mTimer);
        tasks.Add(second);
        EXPECT_EQ(ticker.mTimer, second);
        EXPECT_EQ(first->GetOwner(), nullptr) << "the earlier one is detached";
        first->Start(0, false, true, false);
        tasks.Run(0);
        EXPECT_EQ(ticker.mTicks, 0);
        EXPECT_EQ(ticker.mTimer, second) << "the detached one's end leaves the new one alone";
    }
    EXPECT_EQ(ticker.mTimer, nullptr) << "deleted with its list";
}

} // namespace
} // namespace gvobject_test
