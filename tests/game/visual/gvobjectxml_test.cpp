// Objects read from their files: the elements in their order, the hit tester's inheritance,
// textures and frames with left-out items, children from "objects" or "export", states, and
// the writer.

#include "game/visual/GVChilds.h"
#include "game/visual/GVHitTester.h"
#include "game/visual/GVTextures.h"
#include "tests/game/visual/visual_xml_fixture.h"

namespace gvobjectxml_test {
namespace {

using visual_test::Key;
using GVObjectXmlTest = visual_test::TVisualXmlTest;

// One image and `frames` 2 x 2 frames side by side on it.
std::string SpriteXml(const char* attributes, int frames, const char* inner = "") {
    std::string text =
        std::string("<main ") + attributes + "><images><img name=\"a.png\"/></images><framelist>";
    for (int i = 0; i < frames; ++i) {
        text += "<frame x=\"" + std::to_string(2 * i) + "\" w=\"2\" h=\"2\"/>";
    }
    return text + "</framelist>" + inner + "</main>";
}

TEST_F(GVObjectXmlTest, AttributesGoToTheLocalDataAndLinkAndId) {
    ServeImage("a.png", 16);
    ServeXml("obj", SpriteXml("id=\"door\" deltaX=\"3.5\" deltaY=\"-2\" deltaZ=\"7\" visible=\"0\" "
                              "alpha=\"0.5\" flip=\"hv\" blend=\"Additive\" rotate=\"0.25\" "
                              "scaling=\"2\" link=\"0\"",
                              1, "<params a=\"1\" b=\"2\"/>"));
    GVObject* object = Create("obj");
    ASSERT_NE(object, nullptr);
    const GVData& local = object->GetLocalData();
    EXPECT_FLOAT_EQ(local.mDeltaX, 3.5f);
    EXPECT_FLOAT_EQ(local.mDeltaY, -2.0f);
    EXPECT_FLOAT_EQ(local.mDeltaZ, 7.0f);
    EXPECT_EQ(local.mVisible, 0);
    EXPECT_FLOAT_EQ(local.mAlpha, 0.5f);
    EXPECT_EQ(local.mFlip, 3u);
    EXPECT_EQ(local.mBlend, 2);
    EXPECT_FLOAT_EQ(local.mRotate, 0.25f);
    EXPECT_FLOAT_EQ(local.mScaling, 2.0f);
    EXPECT_EQ(object->GetLink(), 0);
    EXPECT_STREQ(object->GetId().CStr(), "door");
    EXPECT_EQ(mLayer.GetDrawOrder().size(), 1u) << "attached to the current draw list";
}

TEST_F(GVObjectXmlTest, HitTestNamesAreInheritedFromTheParent) {
    ServeImage("a.png", 16);
    const std::string child = "<obj id=\"c\"><framelist><frame w=\"2\" h=\"2\"/></framelist>"
                              "<objects><obj id=\"g\"><framelist><frame w=\"1\" h=\"1\"/>"
                              "</framelist></obj></objects></obj>";
    struct Case {
        const char* top;
        const char* expectedTop;
        const char* expectedChild;
    };
    const Case cases[] = {
        {"", "default", "default"},
        {"hit_test=\"alpha\"", "alpha", "alpha"},
        {"hit_test=\"none\"", nullptr, nullptr},
        {"hit_test=\"bogus\"", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        GVFactory::Instance().ClearCache();
        ServeXml("tester", SpriteXml(c.top, 1, ("<objects>" + child + "</objects>").c_str()));
        GVObject* object = Create("tester");
        ASSERT_NE(object, nullptr) << c.top;
        const auto name = [](const GVObject* o) {
            return o->GetHitTester() != nullptr ? o->GetHitTester()->GetTypeName() : nullptr;
        };
        EXPECT_STREQ(name(object), c.expectedTop) << c.top;
        const GVObject* inner = object->GetChild("c");
        ASSERT_NE(inner, nullptr);
        EXPECT_STREQ(name(inner), c.expectedChild) << c.top;
        ASSERT_NE(inner->GetChild("g"), nullptr);
        EXPECT_STREQ(name(inner->GetChild("g")), c.expectedChild) << c.top;
    }
}

TEST_F(GVObjectXmlTest, ImagesThatKeepNothingGiveTheParentsTextures) {
    ServeImage("a.png", 16);
    ServeXml("parent", SpriteXml("", 1,
                                 "<objects><obj id=\"own\"><images><img name=\"missing.png\"/>"
                                 "<img/></images><framelist><frame w=\"2\" h=\"2\"/></framelist>"
                                 "</obj><obj id=\"none\"><framelist><frame w=\"2\" h=\"2\"/>"
                                 "</framelist></obj></objects>"));
    GVObject* object = Create("parent");
    ASSERT_NE(object, nullptr);
    ASSERT_NE(object->GetTextures(), nullptr);
    for (const char* id : {"own", "none"}) {
        const GVObject* child = object->GetChild(id);
        ASSERT_NE(child, nullptr) << id;
        EXPECT_EQ(child->GetTextures(), object->GetTextures()) << id;
    }
    // Without a texture list a file's frames are not read: nothing to show, no object.
    ServeXml("bare", "<main><framelist><frame w=\"2\" h=\"2\"/></framelist></main>");
    EXPECT_EQ(Create("bare"), nullptr);
}

TEST_F(GVObjectXmlTest, AnImageThatFailsKeepsItsIndexForTheFramesAfterIt) {
    ServeImage("red.png", 4, 0xFFFF0000u);
    ServeImage("blue.png", 4, 0xFF0000FFu);
    ServeXml("slots", "<main><images><img name=\"red.png\"/><img name=\"gone.png\"/>"
                      "<img name=\"blue.png\"/></images><framelist>"
                      "<frame w=\"4\" h=\"4\" img=\"2\"/><frame w=\"4\" h=\"4\" img=\"1\"/>"
                      "</framelist><states><state id=\"blue\" framelist=\"0\"/>"
                      "<state id=\"gone\" framelist=\"1\"/></states></main>");
    GVObject* object = Create("slots");
    ASSERT_NE(object, nullptr);
    const GVTextures* textures = object->GetTextures().get();
    ASSERT_EQ(textures->Count(), 3);
    EXPECT_EQ(textures->TextureAt(1), nullptr);
    object->mDeltaX = 10.0f;
    object->mDeltaY = 10.0f;
    object->MarkChanged();
    object->SetState(Key("blue"), true);
    EXPECT_EQ(At(DrawFrame(0xFF000000u), 11, 11), 0x0000FFu) << "img 2 is still blue.png";
    object->SetState(Key("gone"), true);
    EXPECT_EQ(At(DrawFrame(0xFF000000u), 11, 11), 0x000000u) << "the empty slot draws nothing";
}

TEST_F(GVObjectXmlTest, ADroppedFrameTakesNoNumberAndANegativeOneKeepsAnEmptySlot) {
    ServeImage("a.png", 16);
    ServeXml("frames", "<main><images><img name=\"a.png\"/></images><framelist>"
                       "<frame w=\"4\" h=\"4\"/><frame w=\"0\" h=\"0\"/>"
                       "<frame x=\"4\" w=\"6\" h=\"6\"/></framelist>"
                       "<states><state id=\"one\" framelist=\"1\"/></states></main>");
    GVObject* object = Create("frames");
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->GetFrames()->Count(), 2);
    object->SetState(Key("one"), true);
    const GVFrame* shown = object->GetCurrentFrame();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ((std::vector<int>{shown->mRect.left, shown->mRect.right, shown->mRect.bottom}),
              (std::vector<int>{4, 10, 6}));
    // The added "normal" cycles the two kept frames; none of its steps is blank.
    EXPECT_EQ(FrameList(object, "normal"), (std::vector<int>{0, 1}));
    object->SetState(Key("normal"), true);
    for (const int width : {4, 6, 4}) {
        const GVFrame* frame = object->GetCurrentFrame();
        ASSERT_NE(frame, nullptr) << width;
        EXPECT_EQ(frame->mRect.right - frame->mRect.left, width);
        object->SetFrame(object->GetFramePosition() + 1);
    }

    // A reversed size has a number of its own that shows nothing and is never hit.
    ServeXml("reversed", "<main><images><img name=\"a.png\"/></images><framelist>"
                         "<frame w=\"2\" h=\"2\"/><frame w=\"-2\" h=\"2\"/>"
                         "<frame x=\"4\" w=\"3\" h=\"3\"/></framelist>"
                         "<states><state id=\"last\" framelist=\"2\"/>"
                         "<state id=\"hole\" framelist=\"1\"/></states></main>");
    GVObject* reversed = Create("reversed");
    ASSERT_NE(reversed, nullptr);
    ASSERT_EQ(reversed->GetFrames()->Count(), 3);
    reversed->SetState(Key("last"), true);
    ASSERT_NE(reversed->GetCurrentFrame(), nullptr);
    EXPECT_EQ(reversed->GetCurrentFrame()->mRect.left, 4);
    reversed->SetState(Key("hole"), true);
    EXPECT_EQ(reversed->GetCurrentFrame(), nullptr);
    EXPECT_FALSE(reversed->HitTestPoint(TVec2(0.0f, 0.0f)));
}

TEST_F(GVObjectXmlTest, StatesWithoutIdAreLeftOutAndNormalIsAdded) {
    ServeImage("a.png", 16);
    ServeXml("states", SpriteXml("", 8,
                                 "<states><state framelist=\"1\"/><state id=\"walk\" "
                                 "framelist=\"2..5\" defdelay=\"40\" nextstate=\"stand\" "
                                 "alpha=\"0.5\"/><other id=\"x\"/><state id=\"stand\"/>"
                                 "</states>"));
    GVObject* object = Create("states");
    ASSERT_NE(object, nullptr);
    const GVStates* states = object->GetStates();
    ASSERT_EQ(states->Count(), 3);
    EXPECT_EQ(FrameList(object, "walk"), (std::vector<int>{2, 3, 4, 5}));
    EXPECT_EQ(FrameList(object, "stand"), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(FrameList(object, "normal"), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    const GVState* walk = states->Find(Key("walk"));
    EXPECT_EQ(walk->mDelay, 40);
    EXPECT_EQ(walk->mNextKey, Key("stand"));
    EXPECT_FLOAT_EQ(walk->mAlpha, 0.5f);
    EXPECT_EQ(object->GetStateKey(), Key("normal"));

    // A file's own "normal" stays the only one.
    ServeXml("own", SpriteXml("", 3, "<states><state id=\"normal\" framelist=\"2,1\"/></states>"));
    GVObject* own = Create("own");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(own->GetStates()->Count(), 1);
    EXPECT_EQ(FrameList(own, "normal"), (std::vector<int>{2, 1}));
}

TEST_F(GVObjectXmlTest, ObjectsWinOverExportAndAnExportedChildIsNotWritten) {
    ServeImage("a.png", 16);
    ServeXml("other", SpriteXml("id=\"imported\"", 1));
    ServeXml("both", SpriteXml("export=\"other\"", 1,
                               "<objects><obj id=\"own\"><framelist><frame w=\"1\" h=\"1\"/>"
                               "</framelist></obj></objects>"));
    ServeXml("exporting",
             SpriteXml("export=\"other\"", 1, "<objects><obj id=\"empty\"/></objects>"));
    GVObject* both = Create("both");
    ASSERT_NE(both, nullptr);
    ASSERT_EQ(both->GetChilds()->Count(), 1);
    EXPECT_NE(both->GetChild("own"), nullptr);

    GVObject* exporting = Create("exporting");
    ASSERT_NE(exporting, nullptr);
    GVChilds* childs = exporting->GetChilds();
    ASSERT_EQ(childs->Count(), 1);
    GVObject* imported = exporting->GetChild("imported");
    ASSERT_NE(imported, nullptr);
    EXPECT_TRUE(childs->IsImported(imported));
    EXPECT_NE(imported, GVFactory::Instance().Preload("other")) << "the clone's own copy";
    TXmlNode element("obj");
    EXPECT_FALSE(childs->SaveChild(&element, imported));
    TXmlNode ownElement("obj");
    EXPECT_TRUE(both->GetChilds()->SaveChild(&ownElement, both->GetChild("own")));
    EXPECT_STREQ(ownElement.GetAttribute("id").CStr(), "own");
}

TEST_F(GVObjectXmlTest, ExportsThatComeBackToAFileBeingLoadedGiveNoChild) {
    ServeImage("a.png", 16);
    ServeXml("self", SpriteXml("export=\"self\"", 1));
    ServeXml("ping", SpriteXml("export=\"pong\"", 1));
    ServeXml("pong", SpriteXml("export=\"ping?default\"", 1));
    GVObject* self = Create("self");
    ASSERT_NE(self, nullptr) << "its frames are enough";
    EXPECT_EQ(self->GetChilds(), nullptr);
    GVObject* ping = Create("ping");
    ASSERT_NE(ping, nullptr);
    ASSERT_NE(ping->GetChilds(), nullptr);
    const GVObject* pong = ping->GetChilds()->At(0);
    EXPECT_EQ(pong->GetChilds(), nullptr) << "pong's export back to ping is cut";

    // Without frames, the cut export leaves nothing to show.
    ServeXml("loop", "<main export=\"loop\"/>");
    EXPECT_EQ(Create("loop"), nullptr);
}

TEST_F(GVObjectXmlTest, ASavedAndReloadedObjectHasTheSameDataFramesAndStates) {
    ServeImage("a.png", 16);
    ServeXml("saved",
             "<main id=\"s\" deltaX=\"1.5\" alpha=\"0.25\" flip=\"V\" blend=\"mul\" link=\"3\">"
             "<params x=\"1\"/><images><img name=\"a.png\" centering=\"center\"/></images>"
             "<framelist centering=\"left\"><frame x=\"1\" y=\"2\" w=\"3\" h=\"4\" regx=\"1.5\" "
             "regy=\"2\"/><frame/><frame w=\"-2\"/><frame x=\"5\" w=\"2\" h=\"2\" "
             "centering=\"old\"/>"
             "<frame w=\"1\" h=\"1\"/></framelist><effects><Unknown/></effects>"
             "<states><state id=\"a_b\" framelist=\"0..3,1\" defdelay=\"30\" nextstate=\"c\" "
             "deltaY=\"4\"/><state id=\"c\" framelist=\"9\"/><state id=\"far\" "
             "framelist=\"2..6\"/></states></main>");
    GVObject* original = Create("saved");
    ASSERT_NE(original, nullptr);

    TXmlNode root;
    TXmlNode* element = root.AddChild("main");
    element->AddChild("states")->AddChild("state")->SetAttribute("id", "stale");
    element->AddChild("effects")->AddChild("Particles");
    element->AddChild("params");
    ASSERT_TRUE(original->Save(element));
    EXPECT_EQ(element->FindChild("params"), nullptr);
    ASSERT_NE(element->FindChild("effects"), nullptr) << "left as it was";
    EXPECT_NE(element->FindChild("effects")->FindChild("Particles"), nullptr);
    element->AddChild("images")->AddChild("img")->SetAttribute("name", "a.png");

    ServeXml("reloaded", root.ToString().CStr());
    GVObject* copy = Create("reloaded");
    ASSERT_NE(copy, nullptr) << root.ToString().CStr();

    const GVData& a = original->GetLocalData();
    const GVData& b = copy->GetLocalData();
    EXPECT_EQ(a.mDeltaX, b.mDeltaX);
    EXPECT_EQ(a.mAlpha, b.mAlpha);
    EXPECT_EQ(a.mFlip, b.mFlip);
    EXPECT_EQ(a.mBlend, b.mBlend);
    EXPECT_EQ(original->GetLink(), copy->GetLink());
    EXPECT_STREQ(copy->GetId().CStr(), "s");

    const GVFrames& fa = *original->GetFrames();
    const GVFrames& fb = *copy->GetFrames();
    ASSERT_EQ(fa.Count(), fb.Count());
    EXPECT_EQ(fa.mMode, fb.mMode);
    for (int i = 0; i < fa.Count(); ++i) {
        const GVFrame& x = *fa.At(i);
        const GVFrame& y = *fb.At(i);
        EXPECT_EQ(x.mEmpty, y.mEmpty) << i;
        EXPECT_EQ(x.mRect.left, y.mRect.left) << i;
        EXPECT_EQ(x.mRect.top, y.mRect.top) << i;
        EXPECT_EQ(x.mRect.right, y.mRect.right) << i;
        EXPECT_EQ(x.mRect.bottom, y.mRect.bottom) << i;
        EXPECT_EQ(x.mTexture, y.mTexture) << i;
        EXPECT_EQ(x.mMode, y.mMode) << i;
        EXPECT_EQ(x.mRegistration.x, y.mRegistration.x) << i;
        EXPECT_EQ(x.mRegistration.y, y.mRegistration.y) << i;
        EXPECT_EQ(x.mMirroredRegistration.x, y.mMirroredRegistration.x) << i;
    }

    const GVStates& sa = *original->GetStates();
    const GVStates& sb = *copy->GetStates();
    ASSERT_EQ(sa.Count(), sb.Count());
    EXPECT_EQ(sb.Find(Key("stale")), nullptr);
    for (int i = 0; i < sa.Count(); ++i) {
        const GVState& x = *sa.At(i);
        const GVState& y = *sb.At(i);
        EXPECT_EQ(x.mKey, y.mKey) << i;
        EXPECT_EQ(x.mNextKey, y.mNextKey) << i;
        EXPECT_EQ(x.mDelay, y.mDelay) << i;
        EXPECT_EQ(x.mFrames, y.mFrames) << i;
        EXPECT_EQ(x.mDeltaY, y.mDeltaY) << i;
    }
    EXPECT_EQ(FrameList(copy, "c"), std::vector<int>{});
    EXPECT_EQ(FrameList(copy, "far"), (std::vector<int>{2, 3, 4, 5, 6}));
}

} // namespace
} // namespace gvobjectxml_test
