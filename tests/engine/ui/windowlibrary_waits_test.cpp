// The window script library's dialogs and waits, run in the window script's coroutine and driven
// by messages, task-list runs and the fake clock.
#include "tests/engine/ui/windowlibrary_fixture.h"

#include "engine/core/knownfiles.h"
#include "engine/script/lua/lauxlib.h"
#include "tests/engine/media/texture_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace windowlibrary_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TWaitTest : public TWindowLibraryTest {
protected:
    // Idle events until the coroutine has run to its end; false after ten.
    bool IdleUntilDone() {
        for (int i = 0; i < 10 && Global("gDone") != "true"; ++i) {
            Idle();
        }
        return Global("gDone") == "true";
    }

    // A Lua function, for the script to get as a command.
    std::unique_ptr<TLuaFunction> Function(const std::string& source) {
        Lua("gFunction = " + source);
        lua_pushstring(L, "gFunction");
        lua_gettable(L, LUA_GLOBALSINDEX);
        return std::make_unique<TLuaFunction>(L);
    }

    void PassCommand(TMessage* message, TLuaFunction* command) {
        Manager()->PassToScript(message, command);
    }

    // "<messages>,<commands>" queued on the Lua side.
    std::string QueueSizes() {
        return std::to_string(Size("gMessageQueue")) + "," + std::to_string(Size("gCommandQueue"));
    }

    int Size(const char* table) {
        lua_pushstring(L, table);
        lua_gettable(L, LUA_GLOBALSINDEX);
        const int size = lua_istable(L, -1) ? luaL_getn(L, -1) : -1;
        lua_pop(L, 1);
        return size;
    }
};

TEST_F(TWaitTest, DisplayDialogReturnsWhatTheDialogGaveCloseWindow) {
    Start("gResult = DisplayDialog{ 'fixture.lua', 'extra' } gDone = true");
    ASSERT_TRUE(Waiting());
    EXPECT_THAT(Stack(), ElementsAre("fixture.lua", "_screen_"));
    ASSERT_NE(Find("panel"), nullptr);
    EXPECT_EQ(Find("panel")->GetParent(), Manager()->GetTopModal());
    EXPECT_EQ(Field("gSeenTable", "2"), "extra");

    // A command of the dialog, as a button would run it.
    Lua("CloseWindow(42)");
    EXPECT_EQ(Global("gDone"), "nil");
    EXPECT_EQ(Global("gReturnValue"), "42");
    ASSERT_TRUE(IdleUntilDone());
    EXPECT_EQ(Global("gResult"), "42");
    EXPECT_EQ(Global("gReturnValue"), "nil");
    EXPECT_THAT(Stack(), ElementsAre("_screen_"));
    EXPECT_FALSE(Waiting());
}

TEST_F(TWaitTest, DoModalFitsTheDialogAndDisplayDialogDoesNot) {
    struct Case {
        const char* call;
        const char* rect;
    };
    const Case cases[] = {
        {"DoModal('fixture.lua')", "0,0,910,720"},
        {"DisplayDialog{ 'fixture.lua' }", "0,0,800,600"},
    };
    for (const Case& c : cases) {
        Lua("gDone = nil");
        Start(std::string("gResult = ") + c.call + " gDone = true");
        ASSERT_TRUE(Waiting()) << c.call;
        EXPECT_EQ(manager_test::RectText(Manager()->GetTopModal()->GetRect()), c.rect) << c.call;
        Lua("CloseWindow('ok')");
        ASSERT_TRUE(IdleUntilDone()) << c.call;
        EXPECT_EQ(Global("gResult"), "ok") << c.call;
        EXPECT_EQ(Global("gReturnValue"), "nil") << c.call;
    }
}

TEST_F(TWaitTest, DoMainWindowRunsUntilItsLayerIsPopped) {
    Start("DoMainWindow('main.lua') gDone = true");
    ASSERT_TRUE(Waiting());
    EXPECT_THAT(Stack(), ElementsAre("main.lua", "_screen_"));
    EXPECT_EQ(manager_test::RectText(Manager()->GetTopModal()->GetRect()), "0,0,1000,650");

    // A dialog over it and back: the depth never dropped below the main window's.
    Lua("PushModal('over')");
    Tick();
    Lua("PopModal('over')");
    Tick();
    Idle();
    EXPECT_EQ(Global("gDone"), "nil");
    EXPECT_TRUE(Waiting());

    Lua("PopModal('main.lua')");
    EXPECT_EQ(Global("gDone"), "true");
    EXPECT_FALSE(Waiting());
}

TEST_F(TWaitTest, SwapToModalBuildsAnotherFileInTheTopLayer) {
    Start("gResult = DisplayDialog{ 'fixture.lua' } gDone = true");
    ASSERT_TRUE(Waiting());
    TWindow* dialog = Manager()->GetTopModal();
    Lua("SwapToModal('other.lua')");
    EXPECT_EQ(Manager()->GetTopModal(), dialog);
    ASSERT_EQ(dialog->GetChildren().size(), 1u);
    EXPECT_EQ(Text(dialog->GetChildren().front()->GetName()), "swapped");
    EXPECT_EQ(manager_test::RectText(dialog->GetRect()), "0,0,50,60");
    Idle();
    EXPECT_EQ(Find("panel"), nullptr);

    Lua("CloseWindow(1)");
    ASSERT_TRUE(IdleUntilDone());
    EXPECT_EQ(Global("gResult"), "1");
}

TEST_F(TWaitTest, QueuedMessagesComeBackNewestFirst) {
    Pass(TMessage::kGeneric, "first");
    Pass(TMessage::kButtonPress, "second");
    Start("gA = WaitForMessage() gB = WaitForMessage() gKind = gA.type gDone = true");
    EXPECT_EQ(Global("gDone"), "true") << "queued messages need no wait";
    Lua("gA = gA.name gB = gB.name gLast = message.name");
    EXPECT_EQ(Global("gA"), "second");
    EXPECT_EQ(Global("gKind"), "3");
    EXPECT_EQ(Global("gB"), "first");
    EXPECT_EQ(Global("gLast"), "first");
    EXPECT_EQ(QueueSizes(), "0,0");
}

TEST_F(TWaitTest, WaitForMessageSkipsTheQueueWhenAsked) {
    Pass(TMessage::kGeneric, "queued");
    Start("gM = WaitForMessage(nil, true) gDone = true");
    ASSERT_TRUE(Waiting());
    Pass(TMessage::kGeneric, "fresh");
    EXPECT_EQ(Global("gDone"), "true");
    Lua("gM = gM.name");
    EXPECT_EQ(Global("gM"), "fresh");
    EXPECT_EQ(QueueSizes(), "1,0");
}

TEST_F(TWaitTest, PauseEndsAtAKeyPressOnlyWhenAbortable) {
    Start("Pause(100, true) gDone = true");
    ASSERT_TRUE(Waiting());
    Pass(TMessage::kButtonPress, "kept");
    EXPECT_TRUE(Waiting()) << "other messages wait for later";
    Pass(TMessage::kPressAnyKey, "raw:x");
    EXPECT_EQ(Global("gDone"), "true");
    Lua("gKept = gMessageQueue[1].name");
    EXPECT_EQ(Global("gKept"), "kept");
    EXPECT_EQ(QueueSizes(), "1,0") << "the key press is not queued again";
    Lua("gMessageQueue = {} gDone = nil");

    Start("Pause(100) gM = WaitForMessage() gDone = true");
    ASSERT_TRUE(Waiting());
    Pass(TMessage::kPressAnyKey, "raw:y");
    EXPECT_TRUE(Waiting());
    Advance(99);
    Tick();
    EXPECT_TRUE(Waiting());
    Advance(1);
    Tick();
    EXPECT_EQ(Global("gDone"), "true");
    Lua("gKind = gM.type gName = gM.name");
    EXPECT_EQ(Global("gKind"), "4");
    EXPECT_EQ(Global("gName"), "raw:y");
}

TEST_F(TWaitTest, ACloseForAnotherWindowIsKeptForItsOwnWait) {
    Start("WaitForCloseMessage('outer') gFirst = true\n"
          "WaitForCloseMessage('inner') gDone = true");
    Pass(TMessage::kModalClosed, "inner");
    EXPECT_EQ(Global("gFirst"), "nil");
    EXPECT_EQ(Field("gClosedWindows", "inner"), "true");
    Pass(TMessage::kGeneric, "unrelated");
    EXPECT_EQ(MessageText("gLastMessage"), "0 unrelated");
    Pass(TMessage::kModalClosed, "outer");
    EXPECT_EQ(Global("gFirst"), "true");
    EXPECT_EQ(MessageText("gLastMessage"), "6 outer");
    // The second wait ends after its first WaitForMessage, a tick of the task list.
    EXPECT_EQ(Global("gDone"), "nil");
    Tick();
    EXPECT_EQ(Global("gDone"), "true");
    EXPECT_EQ(Field("gClosedWindows", "inner"), "nil");
}

TEST_F(TWaitTest, FlushMessagesDropsEverything) {
    auto queued = Function("function() gRan = 'queued' end");
    auto late = Function("function() gRan = 'late' end");
    Pass(TMessage::kGeneric, "old");
    PassCommand(nullptr, queued.get());
    EXPECT_EQ(QueueSizes(), "1,1");

    Start("FlushMessages() gDone = true");
    ASSERT_TRUE(Waiting());
    PassCommand(new TMessage(TMessage::kGeneric, "late", nullptr), late.get());
    PassCommand(nullptr, late.get());
    EXPECT_TRUE(Waiting()) << "a wait that brought something waits again";
    Advance(1);
    Tick();
    EXPECT_EQ(Global("gDone"), "true");
    EXPECT_EQ(Global("gRan"), "nil");
    EXPECT_EQ(QueueSizes(), "0,0");
}

TEST_F(TWaitTest, CommandsRunWhileWaitingAndLeaveTheirResult) {
    // Made before the dialog waits: Lua text run while it waits would be a command itself.
    auto first = Function("function() Note('first') return 1 end");
    auto second = Function("function() Note('second') return 2 end");
    auto third = Function("function() Note('third') return 3 end");
    Lua("function Answer() return 'forty-two' end");
    PassCommand(nullptr, first.get());
    PassCommand(nullptr, second.get());
    Start("while true do WaitForMessage() end");
    ASSERT_TRUE(Waiting());
    EXPECT_THAT(mJournal, IsEmpty());

    // A tick brings no command: the newest queued one runs.
    Tick();
    EXPECT_THAT(mJournal, ElementsAre("second"));
    EXPECT_EQ(Global("gYieldResult"), "2");
    Tick();
    EXPECT_EQ(Global("gYieldResult"), "1");

    // A command that comes with a message runs at once.
    PassCommand(new TMessage(TMessage::kButtonPress, "ok", nullptr), third.get());
    EXPECT_THAT(mJournal, ElementsAre("second", "first", "third"));
    EXPECT_EQ(Global("gYieldResult"), "3");

    // A native call of a Lua function while the dialog waits gets its result back.
    lua_pushstring(L, "Answer");
    lua_gettable(L, LUA_GLOBALSINDEX);
    const int below = lua_gettop(L) - 1;
    ASSERT_EQ(mScript->RunFunction(0, 1), 0);
    ASSERT_EQ(lua_gettop(L), below + 1);
    EXPECT_STREQ(lua_tostring(L, -1), "forty-two");
    lua_settop(L, below);
    EXPECT_EQ(Global("gYieldResult"), "forty-two");
    EXPECT_TRUE(Waiting());
}

TEST_F(TWaitTest, YieldHandsBackWhatTheResumerPassed) {
    Start("gGot = Yield() gDone = true");
    ASSERT_TRUE(Waiting());
    lua_pushstring(L, "value");
    mScript->Resume(1);
    EXPECT_EQ(Global("gGot"), "value");
    EXPECT_EQ(Global("gDone"), "true");
}

class TSplashTest : public TWaitTest {
protected:
    void SetUp() override {
        TWaitTest::SetUp();
        // The image window loads its texture on a headless display.
        TPlatformData& data = TRenderer::Instance()->GetDisplayHandler().GetData();
        ASSERT_TRUE(
            data.mContext->Create(MakeWindow(64, 64), false, 64, 64, 32, TDXContext::kAlways));
        data.mDirectDraw = data.mContext->GetDirectDraw();
        data.mDirect3D = data.mContext->GetDirect3D();
        data.mDevice = data.mContext->GetDevice();
        data.mScreenTarget = data.mContext->GetBackBuffer();
        data.mRenderTarget = data.mScreenTarget;
        data.mTargetRect = TRect{0, 0, 64, 64};
        data.mViewport = data.mTargetRect;
        data.mClipRect = data.mTargetRect;
        mImage = texture_test::SolidPng(4, 4, {255, 0, 0});
        RegisterMemoryFile("splash.png", mImage.data(), static_cast<unsigned>(mImage.size()));
    }
    void TearDown() override {
        RegisterMemoryFile("splash.png", nullptr, 0);
        TWaitTest::TearDown();
        TRenderer::Destroy();
    }

    texture_test::TBytes mImage;
};

TEST_F(TSplashTest, WithoutAnImageTheLayerGoesAtOnce) {
    for (const char* movie : {"nil", "'intro.swf'"}) {
        Lua("gDone = nil");
        Start(std::string("DisplaySplash(") + movie + ", nil, 1000) gDone = true");
        EXPECT_EQ(Global("gDone"), "true") << movie;
        EXPECT_EQ(Global("inMovie"), "false") << "movies never play here";
        Idle();
        EXPECT_THAT(Stack(), ElementsAre("_screen_"));
    }
    EXPECT_THAT(mJournal, IsEmpty());
}

TEST_F(TSplashTest, AnImageStaysUntilTimeKeyOrClose) {
    struct Case {
        const char* name;
        bool disableAbort;
        // The message that reaches the script once the image shows; none below 0.
        int32_t kind;
        const char* message;
        // Milliseconds after the two 50 ms pauses at which the splash has gone; 0: at once.
        DWORD endsAfter;
    };
    const Case cases[] = {
        {"time", false, -1, "", 1000},
        {"close", false, TMessage::kCloseWindow, "", 0},
        {"key", false, TMessage::kPressAnyKey, "mouse:up", 0},
        {"key while abort is off", true, TMessage::kPressAnyKey, "mouse:up", 1000},
        {"another layer's close", false, TMessage::kModalClosed, "elsewhere", 1000},
        {"its own layer's close", false, TMessage::kModalClosed, "own", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mJournal.clear();
        Lua(std::string("gDone = nil gClosedWindows = {} gCurrentDefaultStyle = {\n"
                        "  disableAbort = ") +
            (c.disableAbort ? "true" : "false") +
            ",\n  splashoverlay = Group{ Probe{ name = 'overlay' } } }");
        Start("DisplaySplash('intro.swf', 'splash.png', 1000) gDone = true");
        ASSERT_TRUE(Waiting());
        EXPECT_THAT(Stack(), ElementsAre("DisplaySplash", "_screen_"));
        TWindow* image = Find("splashimage");
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->GetParent(), Manager()->GetTopModal());
        EXPECT_STREQ(image->GetClassName(), "TImage");
        EXPECT_THAT(mJournal, ElementsAre("overlay in splashimage: font=- group=0"));
        Advance(50);
        Tick();
        Advance(50);
        Tick();
        ASSERT_TRUE(Waiting()) << "the image loaded";

        if (c.kind >= 0) {
            // "own" stands for the splash layer's id text.
            const std::string name = c.message == std::string("own")
                                         ? Text(Manager()->GetTopModal()->GetIdText())
                                         : c.message;
            Pass(c.kind, name.c_str());
        }
        if (c.endsAfter > 0) {
            EXPECT_TRUE(Waiting());
            Advance(c.endsAfter - 100);
            Tick();
            EXPECT_TRUE(Waiting()) << "the time is not yet past";
            Advance(101);
            Tick();
        }
        EXPECT_EQ(Global("gDone"), "true");
        Idle();
        EXPECT_THAT(Stack(), ElementsAre("_screen_"));
        const bool kept = c.kind == TMessage::kModalClosed && c.message == std::string("elsewhere");
        EXPECT_EQ(Field("gClosedWindows", "elsewhere"), kept ? "true" : "nil");
    }
}

} // namespace
} // namespace windowlibrary_test
