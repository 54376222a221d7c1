// The factory: prototypes cached by path key and cloned, creators by name, children as cached
// prototypes and owned clones, the cache emptied, and the current draw list.

#include "game/visual/GVChilds.h"
#include "game/visual/GVDefaultObjectCreator.h"
#include "game/visual/GVHitTester.h"
#include "tests/game/visual/visual_xml_fixture.h"

namespace gvfactory_test {
namespace {

using GVFactoryTest = visual_test::TVisualXmlTest;

const char* const kTree = "<main id=\"top\"><images><img name=\"a.png\"/></images>"
                          "<framelist><frame w=\"2\" h=\"2\"/></framelist><objects>"
                          "<obj id=\"arm\"><framelist><frame w=\"1\" h=\"1\"/></framelist>"
                          "<objects><obj><framelist><frame w=\"1\" h=\"1\"/></framelist></obj>"
                          "</objects></obj></objects></main>";

TEST_F(GVFactoryTest, ClonesOfOnePathShareTexturesFramesAndHitTester) {
    ServeImage("a.png", 8);
    ServeXml("tree", kTree);
    GVObject* first = Create("tree");
    GVObject* second = Create("tree");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->GetTextures(), nullptr);
    EXPECT_EQ(first->GetTextures(), second->GetTextures());
    EXPECT_EQ(first->GetFrames(), second->GetFrames());
    EXPECT_NE(first->GetHitTester(), nullptr);
    EXPECT_EQ(first->GetHitTester(), second->GetHitTester());
    EXPECT_NE(first->GetStates(), second->GetStates());
    // Each clone and its children are in the current draw list: 2 x 3 objects.
    EXPECT_EQ(mLayer.GetDrawOrder().size(), 6u);
}

TEST_F(GVFactoryTest, TheCreatorPartOfAPathPicksTheCreatorButNotTheCacheEntry) {
    ServeImage("a.png", 8);
    ServeXml("a", kTree);
    GVFactory& factory = GVFactory::Instance();
    GVObject* plain = factory.Preload("a");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(factory.Preload("a?default"), plain);
    EXPECT_TRUE(factory.IsCached("xml/a.xml"));
    EXPECT_STREQ(factory.MakePathKey("a?default", nullptr).CStr(), "xml/a.xml");
    EXPECT_NE(Create("a?default"), nullptr);
    EXPECT_EQ(Create("a?other"), nullptr);
    EXPECT_EQ(factory.GetPrototype("b?other", nullptr, nullptr), nullptr);
    EXPECT_FALSE(factory.IsCached("xml/b.xml"));
    EXPECT_EQ(factory.Preload(""), nullptr);
    EXPECT_EQ(Create(""), nullptr);
    EXPECT_EQ(Create("missing"), nullptr);
    EXPECT_FALSE(factory.IsCached("xml/missing.xml")) << "a failed load is not cached";
    // An object inside a file cannot be named by a path.
    EXPECT_EQ(Create("a@arm"), nullptr);

    ASSERT_NE(factory.GetCreator("x"), nullptr);
    EXPECT_STREQ(factory.GetCreator("x")->GetName(), "default");
    EXPECT_EQ(factory.GetCreator("x"), factory.GetCreator("y?default")) << "made once";
}

TEST_F(GVFactoryTest, AfterClearCacheTheFileIsReadAgain) {
    ServeImage("a.png", 8);
    ServeXml("changing", "<main id=\"one\"><images><img name=\"a.png\"/></images><framelist>"
                         "<frame w=\"2\" h=\"2\"/></framelist></main>");
    GVObject* before = Create("changing");
    ASSERT_NE(before, nullptr);
    ServeXml("changing", "<main id=\"two\"><images><img name=\"a.png\"/></images><framelist>"
                         "<frame w=\"2\" h=\"2\"/></framelist></main>");
    EXPECT_STREQ(Create("changing")->GetId().CStr(), "one") << "still the cached prototype";
    GVFactory::Instance().ClearCache();
    GVObject* after = Create("changing");
    ASSERT_NE(after, nullptr);
    EXPECT_STREQ(after->GetId().CStr(), "two");
    EXPECT_NE(before->GetFrames(), after->GetFrames());
}

TEST_F(GVFactoryTest, PrototypeChildrenAreCachedAndCloneChildrenAreOwnedCopies) {
    ServeImage("a.png", 8);
    ServeXml("tree", kTree);
    GVFactory& factory = GVFactory::Instance();
    GVObject* prototype = factory.Preload("tree");
    ASSERT_NE(prototype, nullptr);
    GVChilds* prototypeChilds = prototype->GetChilds();
    ASSERT_NE(prototypeChilds, nullptr);
    EXPECT_FALSE(prototypeChilds->IsOwning());
    GVObject* arm = prototype->GetChild("arm");
    ASSERT_NE(arm, nullptr);
    EXPECT_TRUE(factory.IsCached("xml/tree.xml@arm"));
    EXPECT_TRUE(factory.IsCached("xml/tree.xml@arm@#0")) << "an empty id counts the children";
    EXPECT_EQ(factory.GetPrototype("arm", nullptr, prototype), arm);

    GVObject* clone = Create("tree");
    ASSERT_NE(clone, nullptr);
    GVChilds* childs = clone->GetChilds();
    ASSERT_NE(childs, nullptr);
    EXPECT_TRUE(childs->IsOwning());
    GVObject* cloneArm = clone->GetChild("arm");
    ASSERT_NE(cloneArm, nullptr);
    EXPECT_NE(cloneArm, arm);
    EXPECT_EQ(cloneArm->GetParent(), clone);
    EXPECT_TRUE(mLayer.Contains(cloneArm));
    EXPECT_FALSE(mLayer.Contains(arm));
    ASSERT_NE(cloneArm->GetChilds(), nullptr);
    EXPECT_TRUE(cloneArm->GetChilds()->IsOwning());
    GVObject* grandchild = cloneArm->GetChilds()->At(0);
    EXPECT_EQ(grandchild->GetParent(), cloneArm);

    // Moving the clone moves its own children, not the prototype's.
    visual_test::Move(clone, 5.0f);
    mLayer.UpdateObjects();
    EXPECT_FLOAT_EQ(cloneArm->GetWorldData().mDeltaX, 5.0f);
    EXPECT_FLOAT_EQ(arm->GetWorldData().mDeltaX, 0.0f);

    // Deleting the clone deletes its children and takes them out of the list (ASan watches).
    mClones.clear();
    EXPECT_TRUE(mLayer.GetDrawOrder().empty());
    EXPECT_EQ(prototype->GetChild("arm"), arm);
}

TEST_F(GVFactoryTest, FilesWithEqualTopLevelIdsKeepTheirOwnChildren) {
    ServeImage("a.png", 8);
    for (const char* name : {"first", "second"}) {
        ServeXml(name, std::string("<main id=\"same\"><images><img name=\"a.png\"/></images>"
                                   "<objects><obj id=\"part\" deltaX=\"") +
                           (name[0] == 'f' ? "1" : "2") +
                           "\"><framelist><frame w=\"1\" h=\"1\"/></framelist></obj>"
                           "<obj deltaY=\"3\"><framelist><frame w=\"1\" h=\"1\"/></framelist>"
                           "</obj></objects></main>");
    }
    GVObject* first = Create("first");
    GVObject* second = Create("second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_FLOAT_EQ(first->GetChild("part")->GetLocalData().mDeltaX, 1.0f);
    EXPECT_FLOAT_EQ(second->GetChild("part")->GetLocalData().mDeltaX, 2.0f);
    EXPECT_EQ(first->GetChilds()->Count(), 2);
    EXPECT_EQ(second->GetChilds()->Count(), 2);
    // Clones of one file still share their child prototypes.
    GVObject* again = Create("first");
    EXPECT_EQ(again->GetChild("part")->GetFrames(), first->GetChild("part")->GetFrames());
    EXPECT_NE(again->GetChild("part")->GetFrames(), second->GetChild("part")->GetFrames());
}

TEST_F(GVFactoryTest, CreationAttachesToTheCurrentDrawListUntilThatListIsGone) {
    ServeImage("a.png", 8);
    ServeXml("one", "<main><images><img name=\"a.png\"/></images><framelist>"
                    "<frame w=\"2\" h=\"2\"/></framelist></main>");
    GVFactory& factory = GVFactory::Instance();
    auto other = std::make_unique<GVLayer>();
    factory.SetCurrentLayer(other.get());
    GVObject* inOther = Create("one");
    ASSERT_NE(inOther, nullptr);
    EXPECT_TRUE(other->Contains(inOther));
    EXPECT_FALSE(mLayer.Contains(inOther));
    other.reset();
    EXPECT_EQ(factory.GetCurrentLayer(), nullptr);
    GVObject* inNone = Create("one");
    ASSERT_NE(inNone, nullptr);
    EXPECT_TRUE(inNone->GetLayers().empty());
}

TEST_F(GVFactoryTest, ACloneTakesThePrototypesDataAndStartsInNormal) {
    ServeImage("a.png", 8);
    ServeXml("anim", "<main deltaX=\"4\"><images><img name=\"a.png\"/></images><framelist>"
                     "<frame w=\"2\" h=\"2\"/><frame x=\"2\" w=\"2\" h=\"2\"/></framelist>"
                     "<states><state id=\"walk\" framelist=\"1\"/></states></main>");
    GVObject* object = Create("anim");
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetStateKey(), visual_test::Key("normal"));
    EXPECT_NE(object->GetFrameTimer(), nullptr) << "two frames animate";
    mLayer.UpdateObjects();
    EXPECT_FLOAT_EQ(object->GetWorldData().mDeltaX, 4.0f);
    EXPECT_EQ(object->SetState(visual_test::Key("walk"), true), 100);
    EXPECT_EQ(object->GetCurrentFrame()->mNumber, 1);
}

} // namespace
} // namespace gvfactory_test
