// Draw lists: depth order, joining and leaving, the update pass, and the home of frame timers in
// the task list of the list's modal window (or the platform's), on that window's clock.

#include "engine/core/tasklist.h"
#include "tests/game/visual/visual_fixture.h"

#include <limits>

namespace gvlayer_test {
namespace {

using visual_test::Move;
using GVLayerTest = visual_test::TVisualTest;

void SetDepth(GVObject* object, float depth) {
    object->mDeltaZ = depth;
    object->MarkChanged();
}

TEST_F(GVLayerTest, ADepthChangeResortsTheObjectInEveryListAtItsNextUpdate) {
    GVObject* a = Root("a");
    GVObject* b = Root("b");
    GVObject* c = Root("c");
    GVLayer second;
    for (GVObject* object : {c, b, a}) {
        object->AddToLayer(&second, false);
    }
    SetDepth(b, 2);
    SetDepth(c, 1);
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{a, b, c})) << "not before the update";
    mLayer.UpdateObjects();
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{a, c, b}));
    EXPECT_EQ(second.GetDrawOrder(), (std::vector<GVObject*>{a, c, b}))
        << "updated once, sorted in both";

    SetDepth(a, -1);
    SetDepth(b, 0.5f);
    second.UpdateObjects();
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{a, b, c}));
    EXPECT_EQ(second.GetDrawOrder(), (std::vector<GVObject*>{a, b, c}));
}

TEST_F(GVLayerTest, EqualDepthsDrawInTheOrderTheyEntered) {
    GVObject* first = Root("first");
    GVObject* second = Root("second");
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{first, second}));

    // Raised and set back, it re-entered last.
    SetDepth(first, 5);
    mLayer.Draw();
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{second, first}));
    SetDepth(first, 0);
    mLayer.Draw();
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{second, first}));

    // A child's depth adds to its parent's inherited depth through its local data.
    GVObject* parent = Root("parent");
    GVObject* child = Child(parent, "child", GVObject::kLinkInherited);
    parent->GetLocalData().mDeltaZ = -3;
    parent->GetLocalData().MarkChanged();
    mLayer.Draw();
    EXPECT_FLOAT_EQ(child->GetWorldData().mDeltaZ, -3.0f);
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{parent, child, second, first}));
}

TEST_F(GVLayerTest, AnObjectWithANaNDepthIsSortedAndLeavesCleanly) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    GVObject* low = Root("low");
    SetDepth(low, -100);
    auto* doomed = new GVObject;
    doomed->AttachTo(&mLayer, nullptr, false);
    GVObject* high = Root("high");
    SetDepth(high, 100);
    GVLayer second;
    doomed->AddToLayer(&second, false);

    SetDepth(doomed, nan);
    mLayer.UpdateObjects();
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{doomed, low, high}))
        << "NaN before every number";
    EXPECT_EQ(second.GetDrawOrder(), (std::vector<GVObject*>{doomed}));

    // From NaN back to a number and to NaN again: one entry each time.
    SetDepth(doomed, 0);
    mLayer.UpdateObjects();
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{low, doomed, high}));
    SetDepth(doomed, nan);
    mLayer.UpdateObjects();
    SetDepth(doomed, nan);
    mLayer.UpdateObjects();
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{doomed, low, high}));

    delete doomed;
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{low, high}));
    EXPECT_TRUE(second.GetDrawOrder().empty());
    mLayer.Draw();
}

TEST_F(GVLayerTest, AnObjectThatLeftIsNeitherUpdatedNorDrawn) {
    GVObject* kept = Root("kept");
    GVObject* gone = Root("gone");
    gone->RemoveFromLayer(&mLayer, false);
    gone->RemoveFromLayer(&mLayer, false);
    gone->RemoveFromLayer(nullptr, false);
    Move(gone, 10);
    Move(kept, 10);
    mLayer.Draw();
    EXPECT_TRUE(gone->IsDirty());
    EXPECT_FLOAT_EQ(gone->GetWorldData().mDeltaX, 0.0f);
    EXPECT_FALSE(mLayer.Contains(gone));
    EXPECT_EQ(mLayer.GetDrawOrder(), (std::vector<GVObject*>{kept}));
    EXPECT_FLOAT_EQ(kept->GetWorldData().mDeltaX, 10.0f);
    mLayer.Remove(gone);
    mLayer.Remove(nullptr);
    EXPECT_EQ(mLayer.GetDrawOrder().size(), 1u);
}

TEST_F(GVLayerTest, DeletingAListDetachesItsObjects) {
    GVObject* object = Root("object");
    auto list = std::make_unique<GVLayer>();
    object->AddToLayer(list.get(), false);
    EXPECT_EQ(object->GetLayers(), (std::vector<GVLayer*>{&mLayer, list.get()}));
    list.reset();
    EXPECT_EQ(object->GetLayers(), (std::vector<GVLayer*>{&mLayer}));
    object->RemoveFromLayer(&mLayer, false);
    EXPECT_TRUE(object->GetLayers().empty());
    EXPECT_FALSE(object->EnsureTimer()) << "in no list";
}

TEST_F(GVLayerTest, AddingATreeAddsTheChildrenFirstAndOnlyOnce) {
    GVObject tree;
    tree.SetChilds(new GVChilds(&tree));
    tree.GetChilds()->SetOwning(true);
    auto* left = new GVObject;
    auto* right = new GVObject;
    tree.GetChilds()->Append(left, "left");
    tree.GetChilds()->Append(right, "right");
    auto* leaf = new GVObject;
    left->SetChilds(new GVChilds(left));
    left->GetChilds()->SetOwning(true);
    left->GetChilds()->Append(leaf, "leaf");

    GVLayer list;
    tree.AddToLayer(&list, true);
    EXPECT_EQ(list.GetDrawOrder(), (std::vector<GVObject*>{leaf, left, right, &tree}));
    tree.AddToLayer(&list, true);
    EXPECT_EQ(list.GetDrawOrder().size(), 4u) << "a second time adds nothing";
    EXPECT_EQ(leaf->GetLayers().size(), 1u);

    tree.AddToLayer(nullptr, true);
    tree.RemoveFromLayer(&list, false);
    EXPECT_EQ(list.GetDrawOrder(), (std::vector<GVObject*>{leaf, left, right}));
    tree.RemoveFromLayer(&list, true);
    EXPECT_TRUE(list.GetDrawOrder().empty());
    EXPECT_TRUE(leaf->GetLayers().empty());
}

TEST_F(GVLayerTest, AFrameTimerRunsOnItsDialogsClock) {
    EXPECT_EQ(mLayer.GetModalWindow(), mDialog);
    GVObject* object = Root("object");
    EXPECT_EQ(object->GetFrameTimer(), nullptr) << "without states it does not animate";
    EXPECT_FALSE(object->EnsureTimer());

    GVObject::TFrameTimer* timer = mLayer.CreateTimer(object);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(object->GetFrameTimer(), timer);
    EXPECT_TRUE(object->EnsureTimer());
    standin::AdvanceTime(500);
    Send(manager_test::MakeEvent(kEventIdle));
    EXPECT_EQ(object->GetFramePosition(), -1) << "made stopped";

    object->SetTimerPeriod(100);
    standin::AdvanceTime(99);
    Send(manager_test::MakeEvent(kEventIdle));
    EXPECT_EQ(object->GetFramePosition(), -1);
    standin::AdvanceTime(1);
    Send(manager_test::MakeEvent(kEventIdle));
    EXPECT_EQ(object->GetFramePosition(), 0);

    // Another dialog on top: the timer's clock stands still.
    Push("over");
    standin::AdvanceTime(1000);
    Send(manager_test::MakeEvent(kEventIdle));
    EXPECT_EQ(object->GetFramePosition(), 0);
    Manager()->DoPopModal("over");
    Send(manager_test::MakeEvent(kEventIdle));
    EXPECT_EQ(object->GetFramePosition(), 0) << "the covered time did not count";
    standin::AdvanceTime(100);
    Send(manager_test::MakeEvent(kEventIdle));
    EXPECT_EQ(object->GetFramePosition(), 1);

    // The object goes: its timer ends at its next run.
    mRoots.clear();
    standin::AdvanceTime(100);
    Send(manager_test::MakeEvent(kEventIdle));
}

TEST_F(GVLayerTest, AListOutsideAnyModalWindowUsesThePlatformsTaskList) {
    manager_test::TProbe loose("loose", mJournal);
    GVLayer list;
    list.SetWindow(&loose);
    EXPECT_EQ(list.GetModalWindow(), nullptr);
    GVObject object;
    object.AddToLayer(&list, false);
    GVObject::TFrameTimer* timer = list.CreateTimer(&object);
    ASSERT_NE(timer, nullptr);
    object.SetTimerPeriod(50);
    standin::AdvanceTime(50);
    mDialog->RunTasks(0);
    EXPECT_EQ(object.GetFramePosition(), -1) << "not in the dialog's list";
    TPlatform::GetInstance()->GetTaskList()->Run(0);
    EXPECT_EQ(object.GetFramePosition(), 0);

    list.SetWindow(nullptr);
    EXPECT_EQ(list.GetModalWindow(), nullptr);
    list.SetWindow(mHost);
    EXPECT_EQ(list.GetModalWindow(), mDialog);
}

TEST_F(GVLayerTest, DeletingTheDialogEndsItsTimersAndTheObjectsForgetThem) {
    GVObject* object = Root("object");
    ASSERT_NE(mLayer.CreateTimer(object), nullptr);
    Manager()->DoPopModal("dialog");
    Send(manager_test::MakeEvent(kEventActivation));
    EXPECT_EQ(object->GetFrameTimer(), nullptr);
    mLayer.SetWindow(nullptr);
}

} // namespace
} // namespace gvlayer_test
