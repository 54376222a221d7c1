// Messages between the window manager and the window script: message userdata, messages posted
// from Lua, the Lua queues, the waits in HandleGetMessage and the script's timer.

#include "engine/script/luabinding.h"
#include "engine/ui/windowscriptmessages.h"
#include "tests/engine/ui/windowscript_fixture.h"

namespace manager_test {
namespace {

// Counts its deletions.
class TTalliedMessage : public TMessage {
public:
    TTalliedMessage(int32_t kind, const char* name, int& deletions, TWindow* target = nullptr)
        : TMessage(kind, name, target), mDeletions(deletions) {}
    ~TTalliedMessage() override { ++mDeletions; }

private:
    int& mDeletions;
};

int PushForeignUserdata(lua_State* state) {
    lua_newuserdata(state, 16);
    return 1;
}

int gBoxed = 0;
int PushForeignBox(lua_State* state) {
    lua_pushboxedpointer(state, &gBoxed);
    return 1;
}

int PassFromInside(lua_State* /*state*/) {
    GetWindowManager()->PassToScript(new TMessage(1000, "inside", nullptr), nullptr);
    return 0;
}

class TScriptMessagesTest : public TWindowScriptFixture {
protected:
    void SetUp() override {
        TWindowScriptFixture::SetUp();
        LuaPublish(State(), "ForeignUserdata", &PushForeignUserdata);
        LuaPublish(State(), "ForeignBox", &PushForeignBox);
        LuaPublish(State(), "PassFromInside", &PassFromInside);
        Run("function Cmd() gCmdRuns = ( gCmdRuns or 0 ) + 1 return 7 end");
    }

    // Starts the coroutine: the function the text returns runs until it first yields.
    static void Start(const char* body) {
        const std::string text = std::string("return function()\n") + body + "\nend";
        Run(text.c_str());
    }

    static size_t Queued() { return Manager()->GetQueuedMessages().size(); }

    int mDeletions = 0;
};

TEST_F(TScriptMessagesTest, MessageUserdataReadsTypeAndName) {
    Run("local m = CreateNamedMessage( kButtonPress, 'ok' )\n"
        "gType = m.type\n"
        "gName = m.name\n"
        "gOtherIsNil = m.other == nil and m[1] == nil\n"
        "gIsUserdata = type( m ) == 'userdata'");
    EXPECT_EQ(Number("gType"), 3);
    EXPECT_EQ(String("gName"), "ok");
    EXPECT_TRUE(Bool("gOtherIsNil"));
    EXPECT_TRUE(Bool("gIsUserdata"));
    // The metatable lives in the registry under its interface name.
    lua_pushstring(State(), "qzMessageMetatable");
    lua_rawget(State(), LUA_REGISTRYINDEX);
    ASSERT_TRUE(lua_istable(State(), -1));
    for (const char* key : {"__gc", "__index"}) {
        lua_pushstring(State(), key);
        lua_rawget(State(), -2);
        EXPECT_TRUE(lua_isfunction(State(), -1)) << key;
        lua_pop(State(), 1);
    }
    lua_pop(State(), 1);
}

TEST_F(TScriptMessagesTest, PostedMessageNoWindowTakesComesBackAsTheSameUserdata) {
    Run("gPosted = CreateNamedMessage( kUserMessageBase, 'x' )\n"
        "PostMessage( gPosted )\n"
        "gPosted2 = CreateNamedMessage( kUserMessageBase + 1, 'y' )\n"
        "PostMessage( gPosted2 )");
    ASSERT_EQ(Queued(), 2u);
    const TMessage* carrier = Manager()->GetQueuedMessages().front();
    EXPECT_STREQ(carrier->GetClassName(), "TLuaMessageWrapper");
    EXPECT_TRUE(carrier->IsKindOf(TLuaMessageWrapper::ClassId()));
    EXPECT_TRUE(carrier->IsKindOf(TMessage::ClassId()));
    EXPECT_EQ(carrier->GetKind(), 1000);
    EXPECT_EQ(Text(carrier->GetName()), "x");
    Manager()->ProcessMessages();
    EXPECT_EQ(Queued(), 0u);
    // The manager deleted the carriers; the Lua values stay the script's.
    Run("gPosted = nil gPosted2 = nil collectgarbage()\n"
        "gCount = table.getn( gMessageQueue )\n"
        "gName1 = gMessageQueue[1].name\n"
        "gName2 = gMessageQueue[2].name");
    EXPECT_EQ(Number("gCount"), 2);
    EXPECT_EQ(String("gName1"), "x");
    EXPECT_EQ(String("gName2"), "y");
    Run("gKeep = CreateNamedMessage( 0, 'k' ) PostMessage( gKeep )");
    Manager()->ProcessMessages();
    Run("gSame = rawequal( gMessageQueue[3], gKeep )");
    EXPECT_TRUE(Bool("gSame"));
}

TEST_F(TScriptMessagesTest, PostMessageRefusesAnythingButAMessage) {
    for (const char* value :
         {"5", "{}", "'text'", "nil", "Cmd", "ForeignUserdata()", "ForeignBox()"}) {
        SCOPED_TRACE(value);
        const std::string text =
            std::string("PostMessage( ") + value + " ) PostMessageToParent( " + value + " )";
        Run(text.c_str());
        EXPECT_EQ(Queued(), 0u);
    }
    EXPECT_NE(LogText().find("TWindowScript::PostMessage: the argument is no message but a table"),
              std::string::npos);
    EXPECT_NE(LogText().find("TWindowScript::PostMessageToParent: the argument is no message but "
                             "a userdata"),
              std::string::npos);
    EXPECT_EQ(gBoxed, 0);
}

TEST_F(TScriptMessagesTest, PostMessageToParentTargetsTheLayerBelow) {
    Run("PostMessageToParent( CreateNamedMessage( 0, 'root' ) )");
    ASSERT_EQ(Queued(), 1u);
    EXPECT_EQ(Manager()->GetQueuedMessages().back()->GetTarget(), nullptr);
    Push("dlg", {0, 0, 100, 100});
    Run("PostMessageToParent( CreateNamedMessage( 0, 'up' ) )");
    ASSERT_EQ(Queued(), 2u);
    EXPECT_EQ(Manager()->GetQueuedMessages().back()->GetTarget(), mScreen);
    // Without a top modal window it does nothing.
    Manager()->PopModal();
    Manager()->PopModal();
    Run("PostMessageToParent( CreateNamedMessage( 0, 'none' ) )");
    EXPECT_EQ(Queued(), 2u);
}

TEST_F(TScriptMessagesTest, MessagesArrivingWhileNotSuspendedAreQueued) {
    TWindow* target = Add(mScreen, "target", {0, 0, 10, 10});
    EXPECT_TRUE(Script()->QueueMessage(new TMessage(1000, "a", target), nullptr));
    std::unique_ptr<TLuaFunction> command(Command("Cmd"));
    EXPECT_TRUE(Script()->QueueMessage(nullptr, command.get()));
    Run("gCount = table.getn( gMessageQueue )\n"
        "gName = gMessageQueue[1].name\n"
        "gCommand = rawequal( gCommandQueue[1], Cmd )\n"
        "gLeftovers = gMessageToQueue == nil and gMessageCommand == nil");
    EXPECT_EQ(Number("gCount"), 1);
    EXPECT_EQ(String("gName"), "a");
    EXPECT_TRUE(Bool("gCommand"));
    EXPECT_TRUE(Bool("gLeftovers"));
    EXPECT_TRUE(IsNil("gCmdRuns")) << "queued, not run";
    // The message kept by Lua has lost its window: posting it again sends it nowhere in
    // particular.
    Run("PostMessage( gMessageQueue[1] )");
    ASSERT_EQ(Queued(), 1u);
    EXPECT_EQ(Manager()->GetQueuedMessages().front()->GetTarget(), nullptr);

    // A message handed over while the coroutine runs is queued too.
    Run("gMessageQueue = {}");
    Start("PassFromInside()\n"
          "gInsideCount = table.getn( gMessageQueue )\n"
          "gInsideName = gMessageQueue[1].name");
    EXPECT_EQ(Number("gInsideCount"), 1);
    EXPECT_EQ(String("gInsideName"), "inside");
}

TEST_F(TScriptMessagesTest, WaitInHandleGetMessageIsResumedWithMessageAndCommand) {
    Start("while true do\n"
          "  gWaits = ( gWaits or 0 ) + 1\n"
          "  local m, c = HandleGetMessage()\n"
          "  gType = m and m.type gName = m and m.name\n"
          "  gCommand = c ~= nil gIsCmd = rawequal( c, Cmd )\n"
          "end");
    ASSERT_TRUE(Script()->IsYielded());
    EXPECT_EQ(Script()->GetWaitState(), TWindowScript::kWaitForMessage);
    EXPECT_EQ(Number("gWaits"), 1);

    EXPECT_TRUE(Script()->QueueMessage(new TMessage(1000, "a", nullptr), nullptr));
    EXPECT_EQ(Number("gWaits"), 2);
    EXPECT_EQ(Number("gType"), 1000);
    EXPECT_EQ(String("gName"), "a");
    EXPECT_FALSE(Bool("gCommand"));

    std::unique_ptr<TLuaFunction> command(Command("Cmd"));
    EXPECT_TRUE(Script()->QueueMessage(new TMessage(3, "b", nullptr), command.get()));
    EXPECT_EQ(Number("gType"), 3);
    EXPECT_EQ(String("gName"), "b");
    EXPECT_TRUE(Bool("gIsCmd"));

    // A command alone comes with a message of its own.
    EXPECT_TRUE(Script()->QueueMessage(nullptr, command.get()));
    EXPECT_EQ(Number("gType"), TMessage::kCommandOnly);
    EXPECT_EQ(String("gName"), "");
    EXPECT_TRUE(Bool("gIsCmd"));
    EXPECT_EQ(Number("gWaits"), 4);
    EXPECT_TRUE(IsNil("gCmdRuns")) << "the script runs its commands itself";

    // Through the manager: a message posted from Lua that no window takes.
    lua_State* state = State();
    PushMessageUserdata(state, std::make_unique<TMessage>(1000, "posted", nullptr));
    lua_pushstring(state, "gPostedByHand");
    lua_pushvalue(state, -2);
    lua_settable(state, LUA_GLOBALSINDEX);
    Manager()->PostMessage(new TLuaMessageWrapper(state, *ToMessage(state, -1)));
    Manager()->ProcessMessages();
    EXPECT_EQ(String("gName"), "posted");
    EXPECT_EQ(Number("gWaits"), 5);
}

TEST_F(TScriptMessagesTest, PlainYieldBeforeAnyWaitDiscardsTheMessage) {
    Start("while true do coroutine.yield() gResumes = ( gResumes or 0 ) + 1 end");
    ASSERT_TRUE(Script()->IsYielded());
    EXPECT_EQ(Script()->GetWaitState(), TWindowScript::kWaitNone);
    std::unique_ptr<TLuaFunction> command(Command("Cmd"));
    EXPECT_FALSE(
        Script()->QueueMessage(new TTalliedMessage(1000, "lost", mDeletions), command.get()));
    EXPECT_EQ(mDeletions, 1);
    EXPECT_EQ(Number("gCmdRuns"), 1) << "the command runs at once";
    EXPECT_TRUE(IsNil("gResumes"));
    EXPECT_TRUE(Script()->IsYielded());

    // Through the manager the message is deleted once, by the script.
    TWindow::SendMessage(mScreen, new TTalliedMessage(1000, "lost too", mDeletions));
    EXPECT_EQ(mDeletions, 2);
}

TEST_F(TScriptMessagesTest, PlainYieldAfterAWaitIsResumedLikeAWait) {
    Start("HandleGetMessage()\n"
          "gAfterWait = true\n"
          "local m = coroutine.yield()\n"
          "gPlain = m and m.name");
    Script()->QueueMessage(new TMessage(1000, "first", nullptr), nullptr);
    EXPECT_TRUE(Bool("gAfterWait"));
    ASSERT_TRUE(Script()->IsYielded());
    EXPECT_TRUE(Script()->QueueMessage(new TMessage(1000, "second", nullptr), nullptr));
    EXPECT_EQ(String("gPlain"), "second");
    EXPECT_FALSE(Script()->IsYielded());
}

TEST_F(TScriptMessagesTest, FailedResumeEndsTheWait) {
    Start("local m = HandleGetMessage()\n"
          "error( 'dialog failed' )");
    std::unique_ptr<TLuaFunction> command(Command("Cmd"));
    EXPECT_TRUE(Script()->QueueMessage(new TMessage(1000, "boom", nullptr), nullptr));
    EXPECT_EQ(Script()->GetWaitState(), TWindowScript::kWaitResumeFailed);
    EXPECT_NE(LogText().find("lua_resume ERROR"), std::string::npos);
    EXPECT_FALSE(Script()->IsYielded());
    // Nothing waits any more: messages are queued again.
    EXPECT_TRUE(Script()->QueueMessage(new TMessage(1000, "later", nullptr), command.get()));
    Run("gCount = table.getn( gMessageQueue )");
    EXPECT_EQ(Number("gCount"), 1);
}

TEST_F(TScriptMessagesTest, HandleGetMessageTimers) {
    TTaskList* tasks = mPlatform->GetTaskList();
    // Nil: resumed on every run of the task list, with no values.
    Start("gTicks = 0\n"
          "while true do\n"
          "  gGotSomething = HandleGetMessage( nil ) ~= nil\n"
          "  gTicks = gTicks + 1\n"
          "end");
    for (int i = 1; i <= 3; ++i) {
        tasks->Run(0);
        EXPECT_EQ(Number("gTicks"), i);
    }
    EXPECT_FALSE(Bool("gGotSomething"));
}

TEST_F(TScriptMessagesTest, HandleGetMessageWithMillisecondsWaitsForTheClock) {
    TTaskList* tasks = mPlatform->GetTaskList();
    Start("gTicks = 0\n"
          "while true do HandleGetMessage( 50 ) gTicks = gTicks + 1 end");
    tasks->Run(0);
    EXPECT_EQ(Number("gTicks"), 0);
    standin::AdvanceTime(49);
    tasks->Run(0);
    EXPECT_EQ(Number("gTicks"), 0);
    standin::AdvanceTime(1);
    tasks->Run(0);
    EXPECT_EQ(Number("gTicks"), 1);
    standin::AdvanceTime(50);
    tasks->Run(0);
    EXPECT_EQ(Number("gTicks"), 2);
}

TEST_F(TScriptMessagesTest, WaitWithoutArgumentsStopsTheTimer) {
    TTaskList* tasks = mPlatform->GetTaskList();
    Start("gTicks = 0\n"
          "HandleGetMessage( 0 ) gTicks = gTicks + 1\n"
          "HandleGetMessage() gTicks = gTicks + 1");
    tasks->Run(0);
    EXPECT_EQ(Number("gTicks"), 1);
    standin::AdvanceTime(1000);
    tasks->Run(0);
    tasks->Run(0);
    EXPECT_EQ(Number("gTicks"), 1);
    EXPECT_TRUE(Script()->IsYielded());
}

TEST_F(TScriptMessagesTest, NativeCallWhileWaitingRunsInsideTheCoroutine) {
    Run("function Probe() gProbeRuns = ( gProbeRuns or 0 ) + 1 return 42 end");
    Start("gCommands = 0\n"
          "while true do\n"
          "  local m, c = HandleGetMessage()\n"
          "  if c then gCommands = gCommands + 1 gYieldResult = c() end\n"
          "end");
    PushGlobal("Probe");
    ASSERT_EQ(Script()->RunFunction(0, 1), 0);
    EXPECT_EQ(lua_tonumber(State(), -1), 42);
    lua_pop(State(), 1);
    EXPECT_EQ(Number("gCommands"), 1);
    EXPECT_EQ(Number("gProbeRuns"), 1);
    EXPECT_TRUE(Script()->IsYielded());
}

TEST_F(TScriptMessagesTest, HandCalledCollectorFreesAMessageOnce) {
    Run("local m = CreateNamedMessage( 1, 'a' )\n"
        "local mt = getmetatable( m )\n"
        "mt.__gc( m ) mt.__gc( m ) mt.__gc( 5 ) mt.__gc( ForeignBox() )\n"
        "gTypeIsNil = m.type == nil\n"
        "PostMessage( m )\n"
        "gIndexOfOther = mt.__index( ForeignBox(), 'type' ) == nil\n"
        "m = nil collectgarbage()");
    EXPECT_TRUE(Bool("gTypeIsNil"));
    EXPECT_TRUE(Bool("gIndexOfOther"));
    EXPECT_EQ(Queued(), 0u);
    EXPECT_EQ(gBoxed, 0);
}

TEST(TWindowScriptAlone, DestroyingTheScriptCollectsItsMessages) {
    int deletions = 0;
    auto* script = new TWindowScript(nullptr);
    script->DoLuaString("gMessageQueue = {}");
    EXPECT_TRUE(script->QueueMessage(new TTalliedMessage(1000, "kept", deletions), nullptr));
    EXPECT_TRUE(script->QueueMessage(new TTalliedMessage(1000, "dropped", deletions), nullptr));
    script->DoLuaString("gMessageQueue[2] = nil");
    EXPECT_EQ(deletions, 0);
    delete script;
    EXPECT_EQ(deletions, 2);
}

} // namespace
} // namespace manager_test
