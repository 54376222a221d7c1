// Effect lists and the object's calls into them: state effects started and stopped with their
// state, the object's own effects owned but never run, notifications only to effects that take
// them, a drawing an effect refuses, copies, and the registry's left-out items.

#include "engine/core/xml.h"
#include "game/visual/GVEffects.h"
#include "game/visual/GVScaleInterpolator.h"
#include "game/visual/GVXmlValues.h"
#include "tests/game/visual/visual_xml_fixture.h"

#include <memory>
#include <string>
#include <vector>

namespace gveffects_test {
namespace {

using visual_test::Key;

std::vector<std::string> gJournal;

// Writes every call it gets into the journal under its "name"; "mask" is its event mask.
class TProbeEffect final : public GVEffect {
public:
    static constexpr const char* kTypeName = "TestProbe";

    TProbeEffect() { mEventMask = kEventInterpolator; }

    bool Load(TXmlNode* element, GVBase* owner) override {
        if (!GVEffect::Load(element, owner)) {
            return false;
        }
        mName = gvxml::Text(element, "name").CStr();
        mEventMask = gvxml::ReadInt(element, "mask", kEventInterpolator);
        return true;
    }
    GVBase* CopyTo(GVBase* target) override {
        auto* probe = dynamic_cast<TProbeEffect*>(target);
        if (probe == nullptr || GVEffect::CopyTo(target) == nullptr) {
            return nullptr;
        }
        probe->mName = mName;
        probe->mEventMask = mEventMask;
        return target;
    }
    const char* GetTypeName() const override { return kTypeName; }
    bool Start() override {
        Note("start");
        return true;
    }
    bool Stop() override {
        Note("stop");
        return true;
    }
    bool PreDraw(const TDrawSpec& /*params*/) override {
        Note("predraw");
        return !mHide;
    }
    void PostDraw(const TDrawSpec& /*params*/) override { Note("postdraw"); }
    void OnFrameChanged(int previous) override { Note("frame " + std::to_string(previous)); }
    void Apply(GVData& /*data*/) override { Note("apply"); }

    void Note(const std::string& what) const { gJournal.push_back(mName + " " + what); }

    std::string mName;
    bool mHide = false;
};

std::string ObjectXml(int frames, const std::string& inner) {
    std::string text = "<main><images><img name=\"a.png\"/></images><framelist>";
    for (int i = 0; i < frames; ++i) {
        text += "<frame x=\"" + std::to_string(2 * i) + "\" w=\"2\" h=\"2\"/>";
    }
    return text + "</framelist>" + inner + "</main>";
}

std::string Probe(const char* name, int mask = GVEffect::kEventInterpolator) {
    return "<TestProbe name=\"" + std::string(name) + "\" mask=\"" + std::to_string(mask) + "\"/>";
}

TProbeEffect* StateProbe(const GVObject* object, const char* state, int index = 0) {
    const GVState* found = object->GetStates()->Find(Key(state));
    return found != nullptr && found->GetEffects() != nullptr
               ? dynamic_cast<TProbeEffect*>(found->GetEffects()->At(index))
               : nullptr;
}

class GVEffectsTest : public visual_test::TVisualXmlTest {
protected:
    void SetUp() override {
        TVisualXmlTest::SetUp();
        RegisterEffectCreator(TProbeEffect::kTypeName,
                              []() -> GVEffect* { return new TProbeEffect; });
        gJournal.clear();
        ServeImage("a.png", 16);
    }
    void TearDown() override {
        TVisualXmlTest::TearDown();
        GetEffectCreators().erase(TProbeEffect::kTypeName);
        gJournal.clear();
    }

    std::vector<std::string> TakeJournal() {
        std::vector<std::string> taken;
        taken.swap(gJournal);
        return taken;
    }
};

using Journal = std::vector<std::string>;

int RedPixels(const standin::TScreenImage& image) {
    int count = 0;
    for (uint32_t pixel : image.pixels) {
        count += (pixel & 0xFFFFFFu) == 0xFF0000u ? 1 : 0;
    }
    return count;
}

TEST_F(GVEffectsTest, TheInterpolatorsAreRegisteredUnderTheirNames) {
    const struct {
        const char* typeName;
        const char* className;
    } kinds[] = {{"ScaleInterpolator", "GVScaleInterpolator"},
                 {"DeltaMoveInterpolator", "GVDeltaMoveInterpolator"},
                 {"AlphaInterpolator", "GVAlphaInterpolator"},
                 {"RotateInterpolator", "GVRotateInterpolator"}};
    for (const auto& kind : kinds) {
        auto found = GetEffectCreators().find(kind.typeName);
        ASSERT_NE(found, GetEffectCreators().end()) << kind.typeName;
        std::unique_ptr<GVEffect> effect(found->second());
        EXPECT_STREQ(effect->GetTypeName(), kind.typeName);
        EXPECT_STREQ(effect->GetClassName(), kind.className);
        EXPECT_EQ(effect->GetType(), GVBase::kEffect);
        EXPECT_EQ(effect->GetEventMask(), GVEffect::kEventInterpolator);
        EXPECT_TRUE(effect->IsEnabled());
        EXPECT_TRUE(effect->IsKindOf(GVEffect::ClassIdentity()));
        EXPECT_TRUE(effect->IsKindOf(GVDefInterpolator::ClassIdentity()));
        EXPECT_EQ(effect->IsKindOf(GVScaleInterpolator::ClassIdentity()),
                  std::string(kind.typeName) == "ScaleInterpolator");
    }
    GVEffect base;
    EXPECT_FALSE(base.IsKindOf(GVDefInterpolator::ClassIdentity()));
    EXPECT_FALSE(base.Start());
    EXPECT_TRUE(base.Stop());
    EXPECT_FALSE(base.SetOwner(nullptr));
}

TEST_F(GVEffectsTest, SwitchingStateStopsTheOldEffectsAndStartsTheNewInListOrder) {
    ServeXml("obj",
             ObjectXml(2, "<states><state id=\"a\">" + Probe("a1") + Probe("a2") +
                              "</state><state id=\"b\">" + Probe("b1") + "</state></states>"));
    GVObject* object = Create("obj");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetEffects(), nullptr) << "normal has no effects";
    TakeJournal();

    object->SetState(Key("a"), true);
    EXPECT_EQ(TakeJournal(), (Journal{"a1 start", "a2 start", "a1 frame 0", "a2 frame 0"}));
    ASSERT_NE(object->GetEffects(), nullptr);
    EXPECT_EQ(object->GetEffects()->RunningCount(), 2);
    object->SetState(Key("b"), true);
    EXPECT_EQ(TakeJournal(), (Journal{"a1 stop", "a2 stop", "b1 start", "b1 frame 0"}));
    EXPECT_EQ(object->GetEffects()->RunningCount(), 1);
    object->SetState(Key("normal"), true);
    EXPECT_EQ(TakeJournal(), (Journal{"b1 stop"}));
    EXPECT_EQ(object->GetEffects()->RunningCount(), 0);
}

TEST_F(GVEffectsTest, OnlyEffectsWithAMaskAreNotifiedAndARefusedDrawingHidesOneFrame) {
    ServeXml("obj", ObjectXml(2, "<states><state id=\"normal\" framelist=\"0,1\">" + Probe("on") +
                                     Probe("off", 0) + "</state></states>"));
    GVObject* object = Create("obj");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(TakeJournal(), (Journal{"on start", "off start", "on frame -1"}));
    EXPECT_EQ(object->GetEffects()->RunningCount(), 2);

    visual_test::Move(object, 50.0f, 60.0f);
    standin::TScreenImage image = DrawFrame(0xFF000000u);
    EXPECT_EQ(RedPixels(image), 4);
    EXPECT_EQ(TakeJournal(), (Journal{"on apply", "on predraw", "on postdraw"}));

    StateProbe(object, "normal")->mHide = true;
    image = DrawFrame(0xFF000000u);
    EXPECT_EQ(RedPixels(image), 0);
    EXPECT_EQ(TakeJournal(), (Journal{"on predraw"}));
    StateProbe(object, "normal")->mHide = false;
    image = DrawFrame(0xFF000000u);
    EXPECT_EQ(RedPixels(image), 4);
    EXPECT_EQ(TakeJournal(), (Journal{"on predraw", "on postdraw"}));

    standin::AdvanceTime(100);
    Send(manager_test::MakeEvent(kEventIdle));
    EXPECT_EQ(TakeJournal(), (Journal{"on frame 0"}));
}

TEST_F(GVEffectsTest, OwnEffectsGetTheirOwnerAreCopiedAndNeverRun) {
    ServeXml("obj", ObjectXml(1, "<effects>" + Probe("own") +
                                     "</effects><states>"
                                     "<state id=\"normal\">" +
                                     Probe("st") + "</state></states>"));
    GVObject* prototype = GVFactory::Instance().LoadByPath("obj");
    ASSERT_NE(prototype, nullptr);
    ASSERT_NE(prototype->GetEffects(), nullptr);
    ASSERT_EQ(prototype->GetEffects()->Count(), 1);
    EXPECT_EQ(prototype->GetEffects()->At(0)->GetOwnerObject(), nullptr);
    TakeJournal();

    GVObject* first = Create("obj");
    GVObject* second = Create("obj");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(TakeJournal(), (Journal{"st start", "st frame -1", "st start", "st frame -1"}))
        << "the own effect never runs";
    for (GVObject* clone : {first, second}) {
        GVEffect* own = clone->GetEffects()->At(0);
        ASSERT_NE(own, nullptr);
        EXPECT_NE(own, prototype->GetEffects()->At(0)) << "a clone's effects are its own";
        EXPECT_EQ(own->GetOwnerObject(), clone);
        EXPECT_EQ(clone->GetEffects()->RunningCount(), 1);
        EXPECT_EQ(StateProbe(clone, "normal")->GetOwnerObject(), clone);
    }
    EXPECT_NE(StateProbe(first, "normal"), StateProbe(second, "normal"));
}

TEST_F(GVEffectsTest, UnknownTypesAndInterpolatorsWithoutKeysAreLeftOut) {
    ServeXml("obj", ObjectXml(1, "<effects><Fog/><ScaleInterpolator/>"
                                 "<ScaleInterpolator keys=\"x\"/></effects><states>"
                                 "<state id=\"normal\"><Fog/><AlphaInterpolator keys=\"\"/>"
                                 "<DeltaMoveInterpolator keys=\"1\"/>"
                                 "<RotateInterpolator keys=\"1\" id=\"r\"/></state></states>"));
    GVObject* object = Create("obj");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetEffects()->Count(), 0) << "nothing of \"effects\" is kept";
    const GVState* normal = object->GetStates()->Find(Key("normal"));
    ASSERT_NE(normal->GetEffects(), nullptr);
    ASSERT_EQ(normal->GetEffects()->Count(), 1);
    EXPECT_STREQ(normal->GetEffects()->At(0)->GetTypeName(), "RotateInterpolator");
    EXPECT_STREQ(normal->GetEffects()->At(0)->GetId().CStr(), "") << "interpolators read no id";
}

TEST_F(GVEffectsTest, RemovingARunningEffectTakesItsFirstEntryOnly) {
    GVEffects list(nullptr);
    TProbeEffect loud;
    TProbeEffect quiet;
    loud.mName = "loud";
    quiet.mName = "quiet";
    list.AddRunning(&loud);
    list.AddRunning(&quiet);
    list.AddRunning(&loud);
    EXPECT_EQ(list.RunningCount(), 3);
    GVData data;
    list.Apply(data);
    EXPECT_EQ(TakeJournal(), (Journal{"loud apply", "quiet apply", "loud apply"}));
    list.RemoveRunning(&loud);
    EXPECT_EQ(list.RunningCount(), 2);
    list.Apply(data);
    EXPECT_EQ(TakeJournal(), (Journal{"quiet apply", "loud apply"}));
    list.ForgetRunning();
    EXPECT_EQ(list.RunningCount(), 0);
}

} // namespace
} // namespace gveffects_test
