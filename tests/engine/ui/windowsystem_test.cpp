#include "tests/engine/system/platform_fixture.h"

#include "engine/ui/stringtable.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"

namespace platform_test {
namespace {

class TWindowSystemTest : public TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        RegisterWindowSystem();
    }

    TWindowManager* Manager() { return GetWindowManager(); }
    TWindowScript* Script() { return Manager()->GetWindowScript(); }
};

TEST_F(TWindowSystemTest, ThePlatformBuildsTheWindowSystemThroughTheLink) {
    MakePlatform();
    ASSERT_NE(Manager(), nullptr);
    ASSERT_NE(Script(), nullptr);
    EXPECT_NE(dynamic_cast<TStringTable*>(mPlatform->GetStringTable()), nullptr);
    EXPECT_FALSE(Script()->GetTranslateLabels()) << "no strings.xml";
    // The main task list owns the script.
    EXPECT_TRUE(mPlatform->RemoveTask(Script()));
    mPlatform->AddTask(Script());
}

TEST_F(TWindowSystemTest, StringsFileSwitchesLabelTranslationOn) {
    testing_fixtures::TempDir folder;
    folder.Write("assets/strings.xml", "<Row><Data>windowtitle</Data><Data>Marivell</Data></Row>");
    mCommandLine = "";
    auto* record = new TWin32Platform(GetModuleHandleA(nullptr), nullptr, mCommandLine.data(),
                                      SW_SHOWNORMAL, true);
    SetCurrentDirectoryA(folder.Path().string().c_str());
    mPlatform = new TPlatform(record);
    EXPECT_TRUE(Script()->GetTranslateLabels());
    EXPECT_TRUE(Manager()->SetTranslateLabels(false));
    EXPECT_FALSE(Script()->GetTranslateLabels());
    EXPECT_EQ(mPlatform->GetStringTable()->GetString("windowtitle"), str("Marivell"));
}

TEST_F(TWindowSystemTest, SetTopModalOnlyIsPublishedToTheScript) {
    MakePlatform();
    EXPECT_FALSE(Manager()->IsTopModalOnly());
    Script()->DoLuaString("SetTopModalOnly(true)");
    EXPECT_TRUE(Manager()->IsTopModalOnly());
    Script()->DoLuaString("SetTopModalOnly(false)");
    EXPECT_FALSE(Manager()->IsTopModalOnly());
}

TEST_F(TWindowSystemTest, FirstDisplayMakesTheRootScreen) {
    TFakeDisplay display;
    display.viewport = TPoint{320, 240};
    SetDisplayLink(&display);
    TFakeRenderer renderer;
    Open();
    TRect rect{};
    EXPECT_FALSE(Manager()->GetRootRect(&rect));
    mPlatform->SetDisplay(800, 600, false);
    TWindow* root = Manager()->GetRootWindow();
    ASSERT_NE(root, nullptr);
    EXPECT_STREQ(root->GetClassName(), "TScreen");
    EXPECT_EQ(root->GetName(), str("_screen_"));
    EXPECT_EQ(root->GetFlags(), 0x903u);
    EXPECT_EQ(Manager()->GetTopModal(), root);
    ASSERT_TRUE(Manager()->GetRootRect(&rect));
    EXPECT_EQ(rect.right - rect.left, 800);
    EXPECT_EQ(rect.bottom - rect.top, 600);
    // The first display fills the root's rectangle.
    ASSERT_EQ(renderer.fills.size(), 1u);
    EXPECT_EQ(renderer.fills[0].right, 800);

    mPlatform->SetDisplay(1024, 768, false);
    EXPECT_EQ(Manager()->GetRootWindow(), root) << "the root is made once";
    SetDisplayLink(nullptr);
}

TEST_F(TWindowSystemTest, MovieFlagsAndRedraw) {
    MakePlatform();
    TWindowManager* manager = Manager();
    EXPECT_TRUE(manager->IsInvalidated());
    manager->SetDrawingSuspended(true);
    manager->SetInputBlocked(true);
    EXPECT_TRUE(manager->IsDrawingSuspended());
    EXPECT_TRUE(manager->IsInputBlocked());
    manager->SetDrawingSuspended(false);
    EXPECT_FALSE(manager->IsDrawingSuspended());
    manager->AbortMovie();
}

TEST(TWindowTree, SizeIdsAndChildren) {
    TWindow parent;
    auto* child = new TWindow;
    EXPECT_EQ(child->GetId(), parent.GetId() + 1);
    EXPECT_EQ(parent.GetIdText().Length(), 8);
    EXPECT_TRUE(parent.AddChild(child, true));
    EXPECT_TRUE(parent.AddChild(child, false));
    EXPECT_EQ(parent.GetChildren().size(), 1u) << "a child already there is not added again";
    EXPECT_EQ(child->GetParent(), &parent);
    child->SetSize(30, 20);
    EXPECT_EQ(child->GetWidth(), 30);
    EXPECT_EQ(child->GetClientRect().bottom, 20);
    EXPECT_EQ(TModalWindow().GetFlags(), 0x103u);
}

TEST(TWindowTree, IdTextIsRightAlignedHex) {
    TWindow window;
    str expected = str::FromFormat("%8x", window.GetId());
    EXPECT_EQ(window.GetIdText(), expected);
    EXPECT_EQ(str::FromFormat("%8x", 255u), str("      ff"));
}

// Without a platform the manager keeps the script itself.
TEST(TWindowManagerAlone, OwnsTheScriptWithoutAPlatform) {
    auto* manager = new TWindowManager;
    auto* script = new TWindowScript(nullptr);
    manager->SetScript(script);
    EXPECT_EQ(manager->GetScript(), script);
    delete manager;
}

class TWindowScriptTest : public ::testing::Test {
protected:
    TWindowScript mScript;
};

TEST_F(TWindowScriptTest, CallWhileSuspendedRunsTheCallInsideTheWaitingScript) {
    mScript.DoLuaString("function Dialog()\n"
                        "  return function()\n"
                        "    local message, command = coroutine.yield()\n"
                        "    gMessageWasNil = message == nil\n"
                        "    command()\n"
                        "    coroutine.yield()\n"
                        "  end\n"
                        "end\n"
                        "function Command() gCalls = (gCalls or 0) + 1 end\n");
    lua_State* state = mScript.GetState();
    lua_settop(state, 0);
    lua_pushstring(state, "Dialog");
    lua_gettable(state, LUA_GLOBALSINDEX);
    // The returned function starts as the script's coroutine, which waits in its yield.
    ASSERT_EQ(mScript.RunFunction(0, 1), 0);
    ASSERT_TRUE(mScript.IsYielded());

    lua_pushstring(state, "Command");
    lua_gettable(state, LUA_GLOBALSINDEX);
    ASSERT_EQ(mScript.RunFunction(0, 0), 0);
    // The waiting script received (nil, closure) and ran the closure once.
    lua_pushstring(state, "gMessageWasNil");
    lua_gettable(state, LUA_GLOBALSINDEX);
    EXPECT_TRUE(lua_toboolean(state, -1));
    lua_pop(state, 1);
    EXPECT_EQ(mScript.GetGlobalNumber("gCalls"), 1.0);
}

TEST_F(TWindowScriptTest, WithoutAWaitingScriptTheCallRunsDirectly) {
    mScript.DoLuaString("function Command() gRan = 1 end");
    lua_State* state = mScript.GetState();
    lua_pushstring(state, "Command");
    lua_gettable(state, LUA_GLOBALSINDEX);
    ASSERT_EQ(mScript.RunFunction(0, 0), 0);
    EXPECT_EQ(mScript.GetGlobalNumber("gRan"), 1.0);
}

} // namespace
} // namespace platform_test
