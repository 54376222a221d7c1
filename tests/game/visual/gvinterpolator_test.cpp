// Interpolators on the dialog's clock: the four kinds step by step, their default pass inside a
// state and under "effects", passes of 0 ms, single keys, and starts with nowhere to run.

#include "game/visual/GVDefInterpolator.h"
#include "game/visual/GVEffects.h"
#include "game/visual/GVScaleInterpolator.h"
#include "tests/game/visual/visual_xml_fixture.h"

#include <string>
#include <utility>
#include <vector>

namespace gvinterpolator_test {
namespace {

using visual_test::Key;

// One image, `frames` 2 x 2 frames, the object attributes and the inner elements.
std::string ObjectXml(const std::string& attributes, int frames, const std::string& inner) {
    std::string text = "<main " + attributes + "><images><img name=\"a.png\"/></images><framelist>";
    for (int i = 0; i < frames; ++i) {
        text += "<frame x=\"" + std::to_string(2 * i) + "\" w=\"2\" h=\"2\"/>";
    }
    return text + "</framelist>" + inner + "</main>";
}

// A "normal" state of one frame running the effect element.
std::string NormalWith(const std::string& effect) {
    return "<states><state id=\"normal\" framelist=\"0\">" + effect + "</state></states>";
}

GVDefInterpolator* StateInterpolator(const GVObject* object, const char* state, int index = 0) {
    const GVState* found = object->GetStates()->Find(Key(state));
    if (found == nullptr || found->GetEffects() == nullptr) {
        return nullptr;
    }
    return dynamic_cast<GVDefInterpolator*>(found->GetEffects()->At(index));
}

class GVInterpolatorTest : public visual_test::TVisualXmlTest {
protected:
    void SetUp() override {
        TVisualXmlTest::SetUp();
        ServeImage("a.png", 16);
    }

    // Runs the dialog's tasks once per step of ms, then updates the draw list.
    void Steps(int count, int ms) {
        for (int i = 0; i < count; ++i) {
            standin::AdvanceTime(ms);
            Send(manager_test::MakeEvent(kEventIdle));
        }
        mLayer.UpdateObjects();
    }
};

TEST_F(GVInterpolatorTest, EachKindReachesItsValueInStepsOfQuant) {
    struct Case {
        const char* attributes;
        const char* effect;
        // World data field read, at elapsed ms (all multiples of the 50 ms step).
        float GVData::*field;
        std::vector<std::pair<int, float>> expected;
    };
    const Case cases[] = {
        {"",
         "<ScaleInterpolator keys=\"1 2\" time=\"1000\" quant=\"50\"/>",
         &GVData::mScaling,
         {{0, 1.0f}, {250, 1.25f}, {500, 1.5f}, {950, 1.95f}, {1000, 1.0f}, {1500, 1.5f}}},
        {"deltaX=\"100\"",
         "<DeltaMoveInterpolator keys=\"0 0 10 0\" time=\"1000\" quant=\"50\"/>",
         &GVData::mDeltaX,
         {{0, 100.0f}, {500, 105.0f}, {950, 109.5f}, {1000, 100.0f}}},
        {"deltaY=\"7\"",
         "<DeltaMoveInterpolator keys=\"0 0 10 0\" time=\"1000\" quant=\"50\"/>",
         &GVData::mDeltaY,
         {{0, 7.0f}, {500, 7.0f}}},
        {"alpha=\"0.5\"",
         "<AlphaInterpolator keys=\"1 0\" time=\"1000\" quant=\"50\"/>",
         &GVData::mAlpha,
         {{0, 0.5f}, {500, 0.25f}, {1000, 0.5f}}},
        {"rotate=\"0.25\"",
         "<RotateInterpolator keys=\"0 1 3\" time=\"1000\" quant=\"50\"/>",
         &GVData::mRotate,
         {{0, 0.25f}, {250, 0.75f}, {500, 1.25f}, {750, 2.25f}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.effect);
        ServeXml("obj", ObjectXml(c.attributes, 1, NormalWith(c.effect)));
        GVFactory::Instance().ClearCache();
        GVObject* object = Create("obj");
        ASSERT_NE(object, nullptr);
        ASSERT_NE(object->GetEffects(), nullptr);
        EXPECT_EQ(object->GetEffects()->RunningCount(), 1);
        int at = 0;
        for (const auto& [ms, value] : c.expected) {
            Steps((ms - at) / 50, 50);
            at = ms;
            EXPECT_FLOAT_EQ(object->GetWorldData().*c.field, value) << "at " << ms << " ms";
        }
        // Between steps the value stands.
        const float before = object->GetWorldData().*c.field;
        Steps(1, 49);
        EXPECT_FLOAT_EQ(object->GetWorldData().*c.field, before);
        mClones.clear();
    }
}

TEST_F(GVInterpolatorTest, TheDefaultPassIsDelayTimesFramesSquaredInAStateAnd100Elsewhere) {
    const std::string scale = "<ScaleInterpolator keys=\"1 2\"/>";
    ServeXml("obj", ObjectXml("", 5,
                              "<effects>" + scale +
                                  "</effects><states>"
                                  "<state id=\"five\" framelist=\"0..4\">" +
                                  scale +
                                  "</state>"
                                  "<state id=\"four\" framelist=\"0..3\" defdelay=\"100\">" +
                                  scale +
                                  "</state><state id=\"timed\" framelist=\"0..3\">"
                                  "<ScaleInterpolator keys=\"1 2\" time=\"0x10\" quant=\"010\"/>"
                                  "</state></states>"));
    GVObject* object = Create("obj");
    ASSERT_NE(object, nullptr);
    struct Case {
        const char* state;
        uint32_t time;
        uint32_t quant;
    };
    for (const Case& c : {Case{"five", 2500, 30}, Case{"four", 1600, 30}, Case{"timed", 16, 8}}) {
        const GVDefInterpolator* interpolator = StateInterpolator(object, c.state);
        ASSERT_NE(interpolator, nullptr) << c.state;
        EXPECT_EQ(interpolator->GetTime(), c.time) << c.state;
        EXPECT_EQ(interpolator->GetQuant(), c.quant) << c.state;
    }
    ASSERT_NE(object->GetEffects(), nullptr);
    ASSERT_EQ(object->GetEffects()->Count(), 1);
    const auto* own = dynamic_cast<const GVDefInterpolator*>(object->GetEffects()->At(0));
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->GetTime(), 100u);
}

TEST_F(GVInterpolatorTest, APassOfNoTimeAndASingleKeyHoldTheirFirstKey) {
    struct Case {
        const char* inner;
        float scaling;
        float deltaX;
    };
    const Case cases[] = {
        // Given as 0, and made 0 by an empty frame list or a delay of 0.
        {"<state id=\"normal\" framelist=\"0\"><ScaleInterpolator keys=\"3 5\" time=\"0\"/>"
         "</state>",
         3.0f, 0.0f},
        {"<state id=\"normal\" framelist=\"0\" defdelay=\"0\"><ScaleInterpolator keys=\"3 5\"/>"
         "</state>",
         3.0f, 0.0f},
        {"<state id=\"normal\" framelist=\"9\"><ScaleInterpolator keys=\"3 5\"/></state>", 3.0f,
         0.0f},
        {"<state id=\"normal\" framelist=\"0\"><ScaleInterpolator keys=\"4\" time=\"100\"/>"
         "</state>",
         4.0f, 0.0f},
        {"<state id=\"normal\" framelist=\"0\">"
         "<DeltaMoveInterpolator keys=\"6 1 8\" time=\"100\"/></state>",
         1.0f, 6.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inner);
        ServeXml("obj", ObjectXml("", 1, std::string("<states>") + c.inner + "</states>"));
        GVFactory::Instance().ClearCache();
        GVObject* object = Create("obj");
        ASSERT_NE(object, nullptr);
        for (int round = 0; round < 3; ++round) {
            Steps(1, 30);
            EXPECT_FLOAT_EQ(object->GetWorldData().mScaling, c.scaling);
            EXPECT_FLOAT_EQ(object->GetWorldData().mDeltaX, c.deltaX);
        }
        mClones.clear();
    }
}

TEST_F(GVInterpolatorTest, StartingWithNowhereToRunAnswersFalseAndMakesNoTimer) {
    GVScaleInterpolator interpolator;
    EXPECT_FALSE(interpolator.Start()) << "no owner";
    EXPECT_EQ(interpolator.GetTimer(), nullptr);
    GVObject loose;
    EXPECT_TRUE(interpolator.SetOwner(&loose));
    EXPECT_FALSE(interpolator.Start()) << "in no draw list";
    EXPECT_EQ(interpolator.GetTimer(), nullptr);
    EXPECT_TRUE(interpolator.Stop());

    // A copy applies its source's state before it is attached; it runs once attached.
    ServeXml("obj", ObjectXml("", 1, NormalWith("<ScaleInterpolator keys=\"1 2\"/>")));
    GVObject* prototype = GVFactory::Instance().LoadByPath("obj");
    ASSERT_NE(prototype, nullptr);
    GVObject copy;
    ASSERT_NE(prototype->CopyTo(&copy), nullptr);
    EXPECT_EQ(copy.GetEffects() == nullptr ? 0 : copy.GetEffects()->RunningCount(), 0);
    EXPECT_EQ(StateInterpolator(&copy, "normal")->GetTimer(), nullptr);
    copy.AttachTo(&mLayer, nullptr, true);
    ASSERT_NE(copy.GetEffects(), nullptr);
    EXPECT_EQ(copy.GetEffects()->RunningCount(), 1);
    EXPECT_NE(StateInterpolator(&copy, "normal")->GetTimer(), nullptr);
}

TEST_F(GVInterpolatorTest, TimersStandStillWhileAnotherDialogIsOnTop) {
    ServeXml("obj", ObjectXml("", 1,
                              NormalWith("<ScaleInterpolator keys=\"1 2\" time=\"1000\" "
                                         "quant=\"100\"/>")));
    GVObject* object = Create("obj");
    ASSERT_NE(object, nullptr);
    Steps(2, 100);
    EXPECT_FLOAT_EQ(object->GetWorldData().mScaling, 1.2f);
    Push("over");
    Steps(5, 100);
    EXPECT_FLOAT_EQ(object->GetWorldData().mScaling, 1.2f);
    Manager()->DoPopModal("over");
    Steps(1, 0);
    Steps(1, 100);
    EXPECT_FLOAT_EQ(object->GetWorldData().mScaling, 1.3f);
}

TEST_F(GVInterpolatorTest, ObjectsWithRunningEffectsGoCleanly) {
    ServeXml("obj", ObjectXml("", 3,
                              "<objects><obj id=\"leg\"><framelist><frame w=\"2\" h=\"2\"/>"
                              "</framelist><states><state id=\"normal\">"
                              "<RotateInterpolator keys=\"0 1\" quant=\"10\"/></state></states>"
                              "</obj></objects>" +
                                  NormalWith("<ScaleInterpolator keys=\"1 2\" quant=\"10\"/>"
                                             "<AlphaInterpolator keys=\"1 0\" quant=\"10\"/>")));
    GVObject* first = Create("obj");
    GVObject* second = Create("obj");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    Steps(3, 10);
    // The cache goes while its clones live, then the clones with their timers still queued.
    GVFactory::Instance().ClearCache();
    Steps(3, 10);
    EXPECT_FLOAT_EQ(first->GetWorldData().mScaling, 1.6f);
    mClones.clear();
    Steps(3, 10);
    EXPECT_TRUE(mLayer.GetDrawOrder().empty());
}

} // namespace
} // namespace gvinterpolator_test
