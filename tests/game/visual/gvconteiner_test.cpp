// The keyed list behind every list of the visual object model, over frames: appending under keys,
// lookups, copies into a list of the same kind, and clearing.

#include "game/visual/GVConteiner.h"
#include "game/visual/GVFrame.h"

#include <gtest/gtest.h>

namespace gvconteiner_test {
namespace {

// Frames keyed by number, cloned through the frame's own copy.
class TFrameList : public GVConteiner<GVFrame, int> {
public:
    explicit TFrameList(int type = kFrames) : GVConteiner(type, "frame") {}
    GVFrame* CloneItem(GVFrame* item) override {
        auto* copy = new GVFrame;
        item->CopyTo(copy);
        return copy;
    }
};

GVFrame* MakeFrame(int left, int texture) {
    auto* frame = new GVFrame;
    frame->mRect = {left, 0, left + 10, 10};
    frame->mTexture = texture;
    frame->mRegistration = TVec2(1.5f, 2.5f);
    frame->mMirroredRegistration = TVec2(8.5f, 7.5f);
    frame->mMode = 3;
    frame->mNumber = 9;
    return frame;
}

TEST(GVConteinerTest, AppendsUnderKeysAndFindsTheFirstOfEqualKeys) {
    TFrameList list;
    EXPECT_EQ(list.GetItemName(), str("frame"));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Find(0), nullptr);
    EXPECT_EQ(list.At(0), nullptr);
    GVFrame* a = MakeFrame(0, 0);
    GVFrame* b = MakeFrame(10, 1);
    GVFrame* c = MakeFrame(20, 2);
    list.Append(a, 5);
    list.Append(b, 2);
    list.Append(c, 5);
    list.Append(nullptr, 1);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.At(2), c);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(list.At(3), nullptr);
    EXPECT_EQ(list.IndexOf(5), 0) << "equal keys: the first appended";
    EXPECT_EQ(list.Find(2), b);
    EXPECT_EQ(list.IndexOf(1), -1);
    EXPECT_EQ(list.IndexOf(7), -1);
    EXPECT_FALSE(list.Save(nullptr)) << "lists are not written";

    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IndexOf(5), -1);
    list.Append(MakeFrame(0, 0), 1);
}

TEST(GVConteinerTest, CopyToAppendsClonesOnlyToAListOfItsKind) {
    TFrameList source;
    source.Append(MakeFrame(0, 4), 3);
    source.Append(MakeFrame(10, 6), 1);
    TFrameList target;
    target.Append(MakeFrame(50, 0), 7);
    EXPECT_EQ(source.CopyTo(&target), &target);
    ASSERT_EQ(target.Count(), 3);
    const GVFrame* copy = target.Find(1);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, source.Find(1));
    EXPECT_EQ(target.IndexOf(3), 1) << "appended after what the target held, under their keys";
    EXPECT_EQ(copy->mRect.left, 10);
    EXPECT_EQ(copy->mRect.right, 20);
    EXPECT_EQ(copy->mTexture, 6);
    EXPECT_FLOAT_EQ(copy->mRegistration.y, 2.5f);
    EXPECT_FLOAT_EQ(copy->mMirroredRegistration.x, 8.5f);
    EXPECT_EQ(copy->mMode, GVFrame::kModeNotSet) << "the mode is not copied";
    EXPECT_EQ(copy->mNumber, 0);

    TFrameList other(GVBase::kTextures);
    EXPECT_EQ(source.CopyTo(&other), nullptr);
    EXPECT_EQ(source.CopyTo(nullptr), nullptr);
    EXPECT_EQ(other.Count(), 0);
    GVFrame frame;
    EXPECT_EQ(source.Find(3)->CopyTo(&other), nullptr) << "a frame copies only into a frame";
    EXPECT_EQ(source.Find(3)->CopyTo(&frame), &frame);
}

} // namespace
} // namespace gvconteiner_test
