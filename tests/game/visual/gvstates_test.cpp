// States on the dialog's fake clock: frame timing and speed, queued and missing states, the state
// data in the world data, durations over a tree, copies; the data faults (empty and cyclic lists,
// queued keys that name nothing, frame numbers past the last frame); and registration points.

#include "game/visual/GVRegCalc.h"
#include "game/visual/GVState.h"
#include "game/visual/GVTextures.h"
#include "tests/game/visual/visual_fixture.h"

namespace gvstates_test {
namespace {

using visual_test::Key;
using visual_test::MakeFrames;
using visual_test::MakeStates;
using visual_test::TFrameDesc;
using visual_test::Tick;
using GVStatesTest = visual_test::TVisualTest;

int FrameNumber(const GVObject* object) {
    const GVFrame* frame = object->GetCurrentFrame();
    return frame != nullptr ? frame->mNumber : -1;
}

TEST_F(GVStatesTest, AttachingAppliesNormalAndEachFrameShowsForTheDelayTimesTheSpeed) {
    GVObject* object = Sprite("walker", MakeFrames(3), MakeStates({{"walk", {2, 1, 0}}}, 3));
    EXPECT_EQ(object->GetStateKey(), Key("normal"));
    EXPECT_EQ(FrameNumber(object), 0);
    ASSERT_NE(object->GetFrameTimer(), nullptr) << "three frames animate";

    EXPECT_EQ(object->SetState(Key("walk"), true), 300);
    EXPECT_EQ(FrameNumber(object), 2);
    Tick(99);
    EXPECT_EQ(FrameNumber(object), 2);
    Tick(1);
    EXPECT_EQ(FrameNumber(object), 1);
    Tick(100);
    EXPECT_EQ(FrameNumber(object), 0);
    Tick(100);
    EXPECT_EQ(FrameNumber(object), 2) << "a state without a next state loops";

    object->SetAnimSpeed(2.0f, false);
    EXPECT_EQ(object->SetState(Key("walk"), true), 300) << "the duration ignores the speed";
    Tick(199);
    EXPECT_EQ(FrameNumber(object), 2);
    Tick(1);
    EXPECT_EQ(FrameNumber(object), 1);
    Tick(200);
    EXPECT_EQ(FrameNumber(object), 0);
}

TEST_F(GVStatesTest, AQueuedStateStartsWhenTheRunningListNextEnds) {
    GVObject* object = Sprite("hopper", MakeFrames(3),
                              MakeStates({{"loop", {0, 1}}, {"jump", {2}, 50, "loop"}}, 3));
    object->SetState(Key("loop"), true);
    Tick(100);
    EXPECT_EQ(object->SetState(Key("jump"), false), 50);
    EXPECT_EQ(object->GetStateKey(), Key("loop")) << "the running state plays on";
    EXPECT_EQ(FrameNumber(object), 1);
    Tick(100);
    EXPECT_EQ(object->GetStateKey(), Key("jump"));
    EXPECT_EQ(FrameNumber(object), 2);
    Tick(50);
    EXPECT_EQ(object->GetStateKey(), Key("loop")) << "jump hands over to its next state";

    // A still state (one frame) makes no timer; a queued state must still get its turn.
    GVObject* still = Sprite("still", MakeFrames(2), MakeStates({{"normal", {0}}, {"go", {1}}}, 2));
    EXPECT_EQ(still->GetFrameTimer(), nullptr);
    EXPECT_FALSE(still->EnsureTimer());
    still->SetState(Key("go"), false);
    EXPECT_EQ(still->GetStateKey(), Key("normal"));
    Tick(100);
    EXPECT_EQ(still->GetStateKey(), Key("go"));
}

TEST_F(GVStatesTest, AMissingStateFallsBackToAnyElseNothingChanges) {
    GVObject* withAny = Sprite("a", MakeFrames(2), MakeStates({{"any", {1}}}, 2));
    GVObject* without = Sprite("b", MakeFrames(2), MakeStates({{"run", {1, 0}}}, 2));
    without->SetState(Key("run"), true);
    Tick(100);

    EXPECT_EQ(withAny->SetState(Key("missing"), true), 0);
    EXPECT_EQ(withAny->GetStateKey(), Key("any"));
    EXPECT_EQ(FrameNumber(withAny), 1);

    EXPECT_EQ(without->SetState(Key("missing"), true), 0);
    EXPECT_EQ(without->GetStateKey(), Key("run"));
    EXPECT_EQ(without->GetFramePosition(), 1);

    // A state whose name gave no key is not kept.
    auto* nameless = new GVState;
    EXPECT_FALSE(without->GetStates()->AppendState(nameless));
    EXPECT_EQ(without->GetStates()->Count(), 2) << "run and normal";

    GVObject bare;
    EXPECT_EQ(bare.SetState(Key("run"), true), 0) << "an object without states";
    EXPECT_EQ(bare.GetStateKey(), GStateKey());
    EXPECT_EQ(bare.GetCurrentFrame(), nullptr);
}

TEST_F(GVStatesTest, SetStateReportsTheLongestDurationOfTheTree) {
    GVObject* parent = Sprite("parent", MakeFrames(4), MakeStates({{"show", {0, 1, 2, 3}}}, 4));
    GVObject* child = Sprite("child", MakeFrames(9),
                             MakeStates({{"show", {0, 1, 2, 3, 4, 5, 6, 7, 8}}}, 9), parent);
    Sprite("other", MakeFrames(1), MakeStates({}, 1), parent);
    EXPECT_EQ(parent->SetState(Key("show"), true), 900);
    EXPECT_EQ(child->GetStateKey(), Key("show"));
    EXPECT_EQ(parent->ApplyState(Key("show"), true), 400);
}

TEST_F(GVStatesTest, TheCurrentStatesDataJoinsTheWorldData) {
    GVObject* parent = Sprite("parent", MakeFrames(2), MakeStates({{"fade", {0}}}, 2));
    GVObject* child =
        Sprite("child", MakeFrames(2), MakeStates({}, 2), parent, GVObject::kLinkWorld);
    GVState* fade = parent->GetStates()->Find(Key("fade"));
    fade->mAlpha = 0.5f;
    fade->mDeltaX = 5.0f;
    fade->mBlend = GVData::kBlendAdd;
    parent->SetState(Key("fade"), true);
    mLayer.UpdateObjects();
    EXPECT_FLOAT_EQ(parent->GetWorldData().mAlpha, 0.5f);
    EXPECT_FLOAT_EQ(parent->GetWorldData().mDeltaX, 5.0f);
    EXPECT_EQ(parent->GetWorldData().mBlend, GVData::kBlendAdd);
    // Link 3 adds the parent's world data.
    EXPECT_FLOAT_EQ(child->GetWorldData().mDeltaX, 5.0f);

    // Changing the state's data makes the object dirty and reaches a link-3 child.
    fade->mDeltaX = 8.0f;
    fade->MarkChanged();
    EXPECT_TRUE(parent->IsDirty());
    mLayer.UpdateObjects();
    EXPECT_FALSE(parent->IsDirty());
    EXPECT_FLOAT_EQ(parent->GetWorldData().mDeltaX, 8.0f);
    EXPECT_FLOAT_EQ(child->GetWorldData().mDeltaX, 8.0f);

    parent->SetState(Key("normal"), true);
    mLayer.UpdateObjects();
    EXPECT_FLOAT_EQ(parent->GetWorldData().mAlpha, 1.0f);
    EXPECT_EQ(parent->GetWorldData().mBlend, GVData::kBlendNormal);
}

TEST_F(GVStatesTest, EnsureTimerAnswersWhetherTheObjectCanAnimate) {
    GVObject loose;
    loose.SetFrames(MakeFrames(3));
    loose.SetStates(MakeStates({}, 3));
    loose.ApplyState(Key("normal"), true);
    EXPECT_FALSE(loose.EnsureTimer()) << "in no draw list";

    GVObject* still = Sprite("still", MakeFrames(1), MakeStates({}, 1));
    EXPECT_FALSE(still->EnsureTimer());
    GVObject* moving = Sprite("moving", MakeFrames(2), MakeStates({}, 2));
    EXPECT_TRUE(moving->EnsureTimer());
}

TEST_F(GVStatesTest, ACopyTakesItsSourcesStateAloneAndKeepsItsOwnList) {
    // A prototype and its child, in no draw list, as the factory's cache holds them.
    GVObject prototype;
    prototype.SetFrames(MakeFrames(3));
    prototype.SetStates(MakeStates({{"walk", {1, 2}}}, 3));
    auto* child = new GVObject;
    child->SetFrames(MakeFrames(3));
    child->SetStates(MakeStates({{"walk", {0}}}, 3));
    prototype.SetChilds(new GVChilds(&prototype));
    prototype.GetChilds()->Append(child, "child");
    prototype.GetChilds()->SetOwning(true);
    child->ApplyState(Key("normal"), true);
    prototype.ApplyState(Key("walk"), true);

    GVObject copy;
    ASSERT_EQ(prototype.CopyTo(&copy), &copy);
    EXPECT_EQ(copy.GetStateKey(), Key("walk"));
    EXPECT_EQ(FrameNumber(&copy), 1);
    EXPECT_NE(copy.GetStates(), prototype.GetStates());
    EXPECT_EQ(copy.GetStates()->GetOwnerObject(), &copy);
    EXPECT_EQ(copy.GetFrames(), prototype.GetFrames());
    EXPECT_EQ(child->GetStateKey(), Key("normal")) << "the prototype's child is left alone";

    // The copy's list is its own.
    copy.GetStates()->Find(Key("walk"))->mDelay = 500;
    EXPECT_EQ(prototype.GetStates()->Find(Key("walk"))->mDelay, 100);
}

TEST_F(GVStatesTest, EmptyAndCyclicStateListsNeitherLoopNorShowAnything) {
    GVObject* object = Sprite("broken", MakeFrames(2),
                              MakeStates({{"empty", {}},
                                          {"a", {}, 100, "b"},
                                          {"b", {}, 100, "a"},
                                          {"pass", {}, 100, "show"},
                                          {"show", {1, 0}}},
                                         2));
    EXPECT_EQ(object->SetState(Key("empty"), true), 0);
    EXPECT_EQ(object->GetCurrentFrame(), nullptr);
    Tick(1000);
    EXPECT_EQ(object->GetStateKey(), Key("empty")) << "it neither ends nor restarts";
    EXPECT_EQ(object->GetCurrentFrame(), nullptr);

    // A and B hand over to each other at once: the chain stops.
    object->SetState(Key("a"), true);
    const GStateKey stopped = object->GetStateKey();
    EXPECT_TRUE(stopped == Key("a") || stopped == Key("b"));
    EXPECT_EQ(object->GetCurrentFrame(), nullptr);
    Tick(1000);
    EXPECT_EQ(object->GetStateKey(), stopped);

    // An empty state with a next state that shows something passes straight on to it.
    object->SetState(Key("pass"), true);
    EXPECT_EQ(object->GetStateKey(), Key("show"));
    EXPECT_EQ(FrameNumber(object), 1);

    // A state queued behind an empty one has no end to wait for.
    object->SetState(Key("empty"), true);
    object->SetState(Key("show"), false);
    EXPECT_EQ(object->GetStateKey(), Key("show"));
}

TEST_F(GVStatesTest, AQueuedKeyThatNamesNoStateIsDroppedAndTheStateRestarts) {
    GVObject* object =
        Sprite("once", MakeFrames(2), MakeStates({{"once", {0, 1}, 100, "nowhere"}}, 2));
    object->SetState(Key("once"), true);
    Tick(100);
    Tick(100);
    EXPECT_EQ(object->GetStateKey(), Key("once"));
    EXPECT_EQ(object->GetFramePosition(), 0);
    EXPECT_EQ(FrameNumber(object), 0) << "still drawn";
    EXPECT_TRUE(object->GetStates()->mPendingKey.IsEmpty());
    Tick(100);
    EXPECT_EQ(FrameNumber(object), 1);

    // With "any", the missing key shows "any".
    GVObject* withAny = Sprite("any", MakeFrames(2),
                               MakeStates({{"once", {0, 1}, 100, "nowhere"}, {"any", {1}}}, 2));
    withAny->SetState(Key("once"), true);
    Tick(100);
    Tick(100);
    EXPECT_EQ(withAny->GetStateKey(), Key("any"));
}

TEST_F(GVStatesTest, FramesPastTheLastShowNothingAndKeepTheirShareOfTime) {
    GVObject* object = Sprite("far", MakeFrames(3), MakeStates({{"far", {0, 7, 1}}}, 3));
    EXPECT_EQ(object->SetState(Key("far"), true), 300);
    EXPECT_EQ(FrameNumber(object), 0);
    Tick(100);
    EXPECT_EQ(object->GetFramePosition(), 1);
    EXPECT_EQ(object->GetCurrentFrame(), nullptr);
    const GVRect bounds = object->GetBounds(nullptr);
    EXPECT_EQ(bounds.x1, 0.0f) << "no frame, no bounds";
    mLayer.Draw();
    Tick(100);
    EXPECT_EQ(FrameNumber(object), 1);
}

// Registration points by mode: the plain point and the mirrored one (size minus point).
TEST(GVRegCalcTest, RegistrationPointsByMode) {
    for (int mode = GVRegCalc::kModeDeltaLeft; mode <= GVRegCalc::kModeCenter; ++mode) {
        const auto frames = MakeFrames({TFrameDesc{TRect{0, 0, 40, 20}, 0, 10.0f, 5.0f, mode}});
        const GVFrame* frame = frames->At(0);
        EXPECT_FLOAT_EQ(frame->mRegistration.x, 10.0f) << "mode " << mode;
        EXPECT_FLOAT_EQ(frame->mMirroredRegistration.x, 30.0f) << "mode " << mode;
        EXPECT_FLOAT_EQ(frame->mMirroredRegistration.y, 15.0f) << "mode " << mode;
    }

    // Mode 0: points relative to the list's lowest point, when one is negative.
    const auto old = MakeFrames({TFrameDesc{TRect{0, 0, 40, 20}, 0, -5.0f, 2.0f, 0},
                                 TFrameDesc{TRect{0, 0, 40, 20}, 0, 3.0f, 4.0f, 0}});
    EXPECT_FLOAT_EQ(old->At(0)->mRegistration.x, 0.0f);
    EXPECT_FLOAT_EQ(old->At(1)->mRegistration.x, 8.0f);
    EXPECT_FLOAT_EQ(old->At(1)->mRegistration.y, 4.0f) << "no negative y: base 0";
    EXPECT_FLOAT_EQ(old->At(1)->mMirroredRegistration.x, 40.0f - 3.0f + 5.0f);

    // Raw points are truncated toward zero first.
    const auto raw = MakeFrames({TFrameDesc{TRect{0, 0, 40, 20}, 0, 2.9f, -0.9f, 3}});
    EXPECT_FLOAT_EQ(raw->At(0)->mRegistration.x, 2.0f);
    EXPECT_FLOAT_EQ(raw->At(0)->mRegistration.y, 0.0f);
}

TEST(GVRegCalcTest, AFrameWithoutModeTakesItsListsElseItsTexturesElseOld) {
    GVTextures textures;
    auto* centred = new GVTexture;
    centred->mMode = GVRegCalc::kModeCenter;
    textures.Append(centred, "a.png");
    textures.Append(new GVTexture, "b.png");
    const auto frames =
        MakeFrames({TFrameDesc{TRect{0, 0, 4, 4}, 0}, TFrameDesc{TRect{0, 0, 4, 4}, 1},
                    TFrameDesc{TRect{0, 0, 4, 4}, 9},
                    TFrameDesc{TRect{0, 0, 4, 4}, 0, 0, 0, GVRegCalc::kModeLeft}},
                   &textures);
    const int expected[] = {GVRegCalc::kModeCenter, GVRegCalc::kModeOld, GVRegCalc::kModeOld,
                            GVRegCalc::kModeLeft};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(GVRegCalc::ResolveMode(*frames->At(i), *frames, &textures), expected[i]) << i;
    }
    frames->mMode = GVRegCalc::kModeDeltaLeft;
    EXPECT_EQ(GVRegCalc::ResolveMode(*frames->At(0), *frames, &textures),
              GVRegCalc::kModeDeltaLeft);
}

TEST(GVFrameTest, GetRegistrationPicksEachCoordinateByItsFlipBitAndTruncates) {
    GVFrame frame;
    frame.mRegistration = TVec2(2.7f, -3.7f);
    frame.mMirroredRegistration = TVec2(-1.5f, 9.9f);
    struct TCase {
        uint32_t flip;
        TPoint expected;
    };
    for (const TCase& c :
         {TCase{0, {2, -3}}, TCase{1, {-1, -3}}, TCase{2, {2, 9}}, TCase{3, {-1, 9}}}) {
        EXPECT_EQ(frame.GetRegistration(c.flip), c.expected) << c.flip;
    }
}

} // namespace
} // namespace gvstates_test
