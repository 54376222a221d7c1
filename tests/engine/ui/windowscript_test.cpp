// Window scripting: the window types, the creation stack, window creation from descriptions and
// the globals that act on windows, labels, settings and movies.

#include "engine/core/settings.h"
#include "engine/script/luabinding.h"
#include "tests/engine/ui/windowscript_fixture.h"

#include <cstdint>

namespace manager_test {
namespace {

// What the last TInitProbe saw when its Init ran.
struct TInitSeen {
    bool ran = false;
    std::string parent;
};
TInitSeen gInitSeen;

class TInitProbe : public TWindow {
public:
    static TWindow* Create() { return new TInitProbe; }
    void Init(TWindowStyle& style) override {
        gInitSeen.ran = true;
        gInitSeen.parent = GetParent() != nullptr ? Text(GetParent()->GetName()) : "";
        TWindow::Init(style);
    }
};

// A class-id function: answers its own address and makes nothing.
TWindow* SelfAddress() {
    return reinterpret_cast<TWindow*>(reinterpret_cast<uintptr_t>(&SelfAddress));
}

int gRefusedDeletions = 0;

// Refuses to be attached, as a window does that cannot live in its parent.
class TRefusing : public TWindow {
public:
    static TWindow* Create() { return new TRefusing; }
    ~TRefusing() override { ++gRefusedDeletions; }
    bool OnAttach() override { return false; }
};

str CreationTopName() {
    const TWindow* top = GetWindowManager()->GetWindowScript()->GetCreationTop();
    return top != nullptr ? top->GetName() : str("-");
}

class TWindowCreationTest : public TWindowScriptFixture {
protected:
    void SetUp() override {
        TWindowScriptFixture::SetUp();
        LuaPublish(State(), "TestCreationTop", &CreationTopName);
        gInitSeen = TInitSeen{};
        gRefusedDeletions = 0;
    }

    void Idle() { Send(MakeEvent(kEventIdle)); }
};

TEST_F(TWindowCreationTest, TypeConstructorStoresTheTypeNameAndAnswersABuilder) {
    EXPECT_EQ(Script()->FindWindowType("Window"), &TWindow::Create);
    Run("gT = { name = 'a', w = 10, h = 20 }\n"
        "gIsBuilder = type( Window( gT ) ) == 'function'\n"
        "gType = gT.typename");
    EXPECT_TRUE(Bool("gIsBuilder"));
    EXPECT_EQ(String("gType"), "Window");
    // Building it later makes the window.
    EXPECT_EQ(mScreen->FindChild("a", -1), nullptr);
    Run("Window( gT )()");
    EXPECT_NE(mScreen->FindChild("a", -1), nullptr);
}

TEST_F(TWindowCreationTest, GenericCreateLinksBeforeInitAndMakesTheWindowTheCreationTop) {
    Manager()->RegisterWindowType("InitProbe", &TInitProbe::Create);
    Run("InitProbe{ name = 'a', x = 5, y = 6, w = 10, h = 20,\n"
        "  function() gInside = TestCreationTop() end,\n"
        "  Window{ name = 'child', w = 1, h = 1 } }()");
    ASSERT_TRUE(gInitSeen.ran);
    EXPECT_EQ(gInitSeen.parent, "_screen_");
    EXPECT_EQ(String("gInside"), "a");
    TWindow* made = mScreen->FindChild("a", 1);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(RectText(made->GetRect()), "5,6,15,26");
    ASSERT_NE(made->FindChild("child", 1), nullptr);
    // The size of the window made last: the child.
    EXPECT_EQ(Number("gDialogWidth"), 1);
    EXPECT_EQ(Number("gDialogHeight"), 1);
    Run("Window{ name = 'b', w = 10, h = 20 }()");
    EXPECT_EQ(Number("gDialogWidth"), 10);
    EXPECT_EQ(Number("gDialogHeight"), 20);
    EXPECT_EQ(Script()->GetCreationDepth(), 1u);
    EXPECT_EQ(Script()->GetCreationTop(), mScreen);
}

// A description that makes no window must not act on its parent: the parent keeps its name,
// layout and place on the creation stack, and the description's children land in the parent.
TEST_F(TWindowCreationTest, DescriptionWithoutAWindowLeavesTheParentAlone) {
    Manager()->RegisterWindowType("SelfId", &SelfAddress);
    Manager()->RegisterWindowType("Refusing", &TRefusing::Create);
    for (const char* type : {"NoSuchType", "SelfId", "Refusing"}) {
        SCOPED_TRACE(type);
        TProbe* parent = Add(mScreen, "p", {10, 10, 110, 60});
        Script()->PushWindow(parent);
        const std::string text = std::string("DoWindow{ typename = '") + type +
                                 "', name = 'zz', fit = true, x = 1, y = 1,\n"
                                 "  Window{ name = 'child', w = 300, h = 300 } }\n"
                                 "Window{ name = 'sibling', w = 4, h = 4 }()";
        Run(text.c_str());
        EXPECT_EQ(Text(parent->GetName()), "p");
        EXPECT_EQ(RectText(parent->GetRect()), "10,10,110,60");
        EXPECT_EQ(Script()->GetCreationDepth(), 2u);
        EXPECT_EQ(Script()->GetCreationTop(), parent);
        ASSERT_NE(parent->FindChild("child", 1), nullptr);
        EXPECT_NE(parent->FindChild("sibling", 1), nullptr);
        EXPECT_EQ(parent->GetChildren().size(), 2u);
        Script()->PopWindow();
        mScreen->RemoveChild(parent);
        Manager()->DeleteWindowLater(parent);
        Idle();
    }
    // The refused window was deleted, not left without an owner.
    EXPECT_EQ(gRefusedDeletions, 1);
}

TEST_F(TWindowCreationTest, PopWindowKeepsTheLastEntry) {
    TProbe* parent = Add(mScreen, "p", {0, 0, 10, 10});
    Script()->PushWindow(parent);
    Run("PopWindow()");
    EXPECT_EQ(Script()->GetCreationDepth(), 1u);
    Run("PopWindow()");
    EXPECT_EQ(Script()->GetCreationDepth(), 1u);
    EXPECT_EQ(Script()->GetCreationTop(), mScreen);
    Script()->ResetCreationStack(nullptr);
    Run("PopWindow()");
    EXPECT_EQ(Script()->GetCreationDepth(), 0u);
}

TEST_F(TWindowCreationTest, ModalPushesAndPopsResetTheCreationStack) {
    TProbe* parent = Add(mScreen, "p", {0, 0, 10, 10});
    Script()->PushWindow(parent);
    Run("gId = PushModal( 'dlg' )");
    TModalWindow* dialog = Manager()->GetTopModal();
    ASSERT_NE(dialog, mScreen);
    EXPECT_EQ(Text(dialog->GetName()), "dlg");
    EXPECT_EQ(String("gId"), Text(dialog->GetIdText()));
    EXPECT_EQ(String("gId"), Text(str::FromFormat("%8x", dialog->GetId())));
    EXPECT_EQ(Script()->GetCreationDepth(), 1u);
    EXPECT_EQ(Script()->GetCreationTop(), dialog);

    Run("DoPopModal( gId )");
    EXPECT_EQ(Manager()->GetTopModal(), mScreen);
    EXPECT_EQ(Script()->GetCreationDepth(), 1u);
    EXPECT_EQ(Script()->GetCreationTop(), mScreen);

    // The stack is empty once the last layer is gone.
    Manager()->PopModal();
    EXPECT_EQ(Script()->GetCreationDepth(), 0u);
}

TEST_F(TWindowCreationTest, ManagerHandsItsParentsToTheScript) {
    TProbe* panel = Add(mScreen, "panel", {0, 0, 100, 100});
    Manager()->RunWindowString(panel, "Window{ name = 'x', w = 1, h = 1 }()");
    EXPECT_NE(panel->FindChild("x", 1), nullptr);
    EXPECT_EQ(Script()->GetCreationDepth(), 1u);
    EXPECT_EQ(Script()->GetCreationTop(), mScreen);

    // A script installed later starts with the top modal window as its creation parent.
    auto* later = new TWindowScript(nullptr);
    Manager()->SetScript(later);
    EXPECT_EQ(later->GetCreationDepth(), 1u);
    EXPECT_EQ(later->GetCreationTop(), mScreen);
}

TEST_F(TWindowCreationTest, TypeNamesMustBeLuaIdentifiers) {
    for (const char* name :
         {"", "1abc", "a b", "end", "continue", "x=1 os", "Win-dow", "\xC3\xA9"}) {
        SCOPED_TRACE(name);
        Manager()->RegisterWindowType(name, &TWindow::Create);
        EXPECT_EQ(Script()->FindWindowType(name), nullptr);
        EXPECT_NE(
            LogText().find(std::string("RegisterWindowType: '") + name + "' is no Lua identifier"),
            std::string::npos);
    }
    Manager()->RegisterWindowType("_Probe2", &TWindow::Create);
    EXPECT_EQ(Script()->FindWindowType("_Probe2"), &TWindow::Create);
    Run("gIsFunction = type( _Probe2 ) == 'function'");
    EXPECT_TRUE(Bool("gIsFunction"));
}

TEST_F(TWindowCreationTest, CreationTopGlobalsDoNothingOnAnEmptyStack) {
    TProbe* child = Add(mScreen, "c", {0, 0, 10, 10});
    Script()->ResetCreationStack(nullptr);
    Run("GenericCreate{ typename = 'Window', name = 'n' }\n"
        "PostCreate( { fit = true, w = 1 }, 'Window' )\n"
        "DoFitToChildren()\n"
        "RealSetFocus( 'c' )\n"
        "DestroyWindow( 'c' )\n"
        "SetWindowName( 'renamed' )\n"
        "gCloseIsNil = CreateCloseMessage() == nil");
    EXPECT_EQ(Script()->GetCreationDepth(), 0u);
    EXPECT_EQ(mScreen->GetChildren().size(), 1u);
    EXPECT_EQ(child->GetParent(), mScreen);
    EXPECT_EQ(Manager()->GetFocus(), mScreen);
    EXPECT_EQ(Text(mScreen->GetName()), "_screen_");
    EXPECT_TRUE(Bool("gCloseIsNil"));
}

TEST_F(TWindowCreationTest, CreationTopGlobals) {
    TProbe* panel = Add(mScreen, "panel", {0, 0, 10, 10});
    Add(panel, "inner", {50, 40, 70, 60});
    Script()->PushWindow(panel);
    Run("SetWindowName( 'named' )\n"
        "DoFitToChildren()\n"
        "RealSetFocus( 'inner' )\n"
        "local m = CreateCloseMessage()\n"
        "gType = m.type\n"
        "gName = m.name");
    EXPECT_EQ(Text(panel->GetName()), "named");
    EXPECT_EQ(RectText(panel->GetRect()), "0,0,70,60");
    ASSERT_NE(Manager()->GetFocus(), nullptr);
    EXPECT_EQ(Text(Manager()->GetFocus()->GetName()), "inner");
    EXPECT_EQ(Number("gType"), TMessage::kCloseWindow);
    EXPECT_EQ(String("gName"), Text(panel->GetIdText()));
    // A name that matches nothing takes the focus away.
    Run("RealSetFocus( 'nothing' )");
    EXPECT_EQ(Manager()->GetFocus(), nullptr);
}

TEST_F(TWindowCreationTest, DestroyWindow) {
    TProbe* doomed = Add(mScreen, "doomed", {0, 0, 100, 100});
    Add(doomed, "inside", {0, 0, 10, 10});
    Run("DestroyWindow( 'doomed' )");
    EXPECT_EQ(doomed->GetParent(), nullptr);
    EXPECT_EQ(mScreen->FindChild("doomed", -1), nullptr);
    mJournal.clear();
    Idle();
    EXPECT_EQ(mJournal, (TJournal{"doomed deleted", "inside deleted"}));

    // A window destroyed while its description runs: nothing more is made in it, and the
    // description's pop takes its entry, not its parent's.
    Run("Window{ name = 'a', w = 50, h = 50,\n"
        "  Window{ name = 'first' },\n"
        "  function() DestroyWindow( 'a' ) end,\n"
        "  Window{ name = 'b' } }()\n"
        "Window{ name = 'c' }()");
    EXPECT_EQ(mScreen->FindChild("a", -1), nullptr);
    EXPECT_EQ(mScreen->FindChild("b", -1), nullptr);
    EXPECT_NE(mScreen->FindChild("c", 1), nullptr);
    EXPECT_EQ(Script()->GetCreationDepth(), 1u);
    EXPECT_EQ(Script()->GetCreationTop(), mScreen);
    Idle();

    // A dialog on the modal stack is closed by popping it, never this way.
    Run("PushModal( 'dlg' )");
    Script()->PushWindow(mScreen);
    Run("DestroyWindow( 'dlg' )");
    EXPECT_EQ(Text(Manager()->GetTopModal()->GetName()), "dlg");
    EXPECT_NE(LogText().find("DestroyWindow: 'dlg' is a dialog on the modal stack"),
              std::string::npos);
    Idle();
    EXPECT_EQ(Text(Manager()->GetTopModal()->GetName()), "dlg");
}

TEST_F(TWindowCreationTest, WindowsQueuedForDeletionLeaveTheCreationStack) {
    TProbe* outer = Add(mScreen, "outer", {0, 0, 100, 100});
    TProbe* inner = Add(outer, "inner", {0, 0, 10, 10});
    Script()->PushWindow(outer);
    Script()->PushWindow(inner);
    // The top modal window's children go: the entries inside them stand for deleted windows.
    Run("ClearModalChildren()");
    EXPECT_EQ(Script()->GetCreationDepth(), 3u);
    EXPECT_EQ(Script()->GetCreationTop(), nullptr);
    EXPECT_EQ(Script()->GetCreationParent(), nullptr);
    Run("Window{ name = 'x' }()");
    EXPECT_EQ(Script()->GetCreationDepth(), 3u);
    mJournal.clear();
    Idle();
    EXPECT_EQ(mJournal, (TJournal{"outer deleted", "inner deleted"}));
    EXPECT_EQ(mScreen->FindChild("x", -1), nullptr);
    Run("PopWindow() PopWindow() Window{ name = 'y' }()");
    EXPECT_NE(mScreen->FindChild("y", 1), nullptr);
}

TEST_F(TWindowCreationTest, WindowDeletedDirectlyLeavesTheCreationStack) {
    auto* loose = new TProbe("loose", mJournal);
    Place(mScreen, loose, {0, 0, 10, 10});
    Script()->PushWindow(loose);
    mScreen->RemoveChild(loose);
    delete loose;
    EXPECT_EQ(Script()->GetCreationParent(), nullptr);
    Run("Window{ name = 'x' }()");
    EXPECT_EQ(mScreen->FindChild("x", -1), nullptr);
}

class TWindowGlobalsTest : public TWindowScriptFixture {};

TEST_F(TWindowGlobalsTest, StripKeyFromLabel) {
    struct TCase {
        const char* label;
        const char* stripped;
        const char* key;
    };
    const TCase cases[] = {
        {"&Play", "Play", "@P"}, {"Pl&ay", "Play", "@a"},
        {"Sound&", "Sound", ""}, {"Ab&", "Ab", ""},
        {"Plain", "Plain", ""},  {"&\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", ""},
        {"A&&B", "A&B", "@&"},   {"", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.label);
        lua_pushstring(State(), "gLabel");
        lua_pushstring(State(), c.label);
        lua_settable(State(), LUA_GLOBALSINDEX);
        Run("gStripped, gKey = StripKeyFromLabel( gLabel )");
        EXPECT_EQ(String("gStripped"), c.stripped);
        EXPECT_EQ(String("gKey"), c.key);
    }
}

TEST_F(TWindowGlobalsTest, TagHotKey) {
    struct TCase {
        const char* key;
        const char* label;
        const char* tagged;
    };
    const TCase cases[] = {
        {"@p", "Play", "<u>P</u>lay"},
        {"@A", "bar", "b<u>a</u>r"},
        {"ctrl-S", "Save as", "<u>S</u>ave as"},
        {"@z", "Play", "Play"},
        {"", "Play", "Play"},
        {"@p", "", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.key) + " " + c.label);
        const std::string text =
            std::string("gTagged = TagHotKey( '") + c.key + "', '" + c.label + "', 'ignored' )";
        Run(text.c_str());
        EXPECT_EQ(String("gTagged"), c.tagged);
    }
}

TEST_F(TWindowGlobalsTest, GetLabelAndTheWindowlessReaders) {
    Add(mScreen, "plain", {0, 0, 10, 10});
    Run("gMissing = GetLabel( 'x' )\n"
        "gPlain = GetLabel( 'plain' )\n"
        "gToggle = GetButtonToggleState( 'plain' )\n"
        "gImage = ImageLoaded( 'plain' )");
    EXPECT_EQ(String("gMissing"), "x_is_not_found");
    EXPECT_EQ(String("gPlain"), "plain_is_not_a_TText_window_or_TButton");
    EXPECT_FALSE(Bool("gToggle"));
    EXPECT_FALSE(Bool("gImage"));
    // Without a top modal window every top-modal function does nothing.
    Manager()->PopModal();
    Run("gNoTop = GetLabel( 'x' )\n"
        "gDepth = GetWindowDepth()\n"
        "gEnabled = EnableWindow( 'plain', false )\n"
        "ClearModalChildren()\n"
        "_RegisterHotkey( '@o', 'ok' )\n"
        "SetPosition( 'plain', 1, 1 )");
    EXPECT_EQ(String("gNoTop"), "");
    EXPECT_EQ(Number("gDepth"), 0);
    EXPECT_FALSE(Bool("gEnabled"));
}

TEST_F(TWindowGlobalsTest, EnableWindowWalksUpFromTheTopModal) {
    TProbe* below = Add(mScreen, "w", {0, 0, 10, 10});
    TProbe* only = Add(mScreen, "only_below", {20, 0, 30, 10});
    TProbeDialog* dialog = Push("dlg", {0, 0, 200, 200});
    TProbe* above = Add(dialog, "w", {0, 0, 10, 10});
    Run("gFirst = EnableWindow( 'w', false )\n"
        "gSecond = EnableWindow( 'only_below', false )\n"
        "gNone = EnableWindow( 'nothing', true )");
    EXPECT_TRUE(Bool("gFirst"));
    EXPECT_TRUE(Bool("gSecond"));
    EXPECT_FALSE(Bool("gNone"));
    // The nearest layer wins.
    EXPECT_EQ(above->GetFlags() & TWindow::kEnabled, 0u);
    EXPECT_NE(below->GetFlags() & TWindow::kEnabled, 0u);
    EXPECT_EQ(only->GetFlags() & TWindow::kEnabled, 0u);
    EXPECT_TRUE(Manager()->IsInvalidated());
    Run("EnableWindow( 'w', true )");
    EXPECT_NE(above->GetFlags() & TWindow::kEnabled, 0u);
}

TEST_F(TWindowGlobalsTest, WindowDepthAndClearingTheTopModal) {
    Run("gDepth = GetWindowDepth()");
    EXPECT_EQ(Number("gDepth"), 1);
    TProbeDialog* dialog = Push("dlg", {10, 20, 210, 220});
    Add(dialog, "a", {0, 0, 10, 10});
    Add(dialog, "b", {0, 0, 10, 10});
    int runs = 0;
    struct TTask final : TAnimTask {
        explicit TTask(int& runs) : TAnimTask(nullptr), mRuns(runs) {}
        ~TTask() override { mRuns = -1; }
        bool Animate() override { return true; }
        int& mRuns;
    };
    dialog->AddTask(new TTask(runs));
    Run("gDepth = GetWindowDepth()\n"
        "ClearModalChildren()");
    EXPECT_EQ(Number("gDepth"), 2);
    EXPECT_EQ(runs, -1) << "the task list was cleared";
    EXPECT_TRUE(dialog->GetChildren().empty());
    EXPECT_EQ(RectText(dialog->GetRect()), "0,0,0,0");
    mJournal.clear();
    Send(MakeEvent(kEventIdle));
    EXPECT_EQ(mJournal, (TJournal{"b deleted", "a deleted"}));
}

TEST_F(TWindowGlobalsTest, SetPositionResolvesCodedCoordinates) {
    TProbe* window = Add(mScreen, "w", {0, 0, 20, 10});
    Run("SetPosition( 'w', kCenter or 80000, -30 )");
    EXPECT_EQ(RectText(window->GetRect()), "390,570,410,580");
    Run("SetPosition( 'w', 160000 - 20, 5 )");
    EXPECT_EQ(RectText(window->GetRect()), "780,5,800,15");
    Run("SetPosition( 'nothing', 1, 1 )");
    EXPECT_EQ(RectText(window->GetRect()), "780,5,800,15");
}

TEST_F(TWindowGlobalsTest, HotKeysGoToTheTopModal) {
    Run("_RegisterHotkey( '@o', 'ok' )\n"
        "_RegisterHotkey( '', 'cancel' )");
    // No window class is a button yet: the hot key finds no button to press.
    Send(MakeEvent(kEventKeyDown, 0, 0, 'O'));
    EXPECT_NE(LogText().find("Hot key button not found. Button:'ok'"), std::string::npos);
}

TEST_F(TWindowGlobalsTest, TimerSettingsStringsAndClipboard) {
    Run("gBefore = GetTimer()");
    standin::AdvanceTime(250);
    Run("gAfter = GetTimer()");
    EXPECT_EQ(Number("gAfter") - Number("gBefore"), 250);
    EXPECT_EQ(Number("gAfter"), TPlatform::GetTime());

    SetSetting("h37key", "value");
    SetSetting("h37on", "1");
    SetSetting("h37off", "0");
    Run("gSet = GetConfig( 'h37key', 'fallback' )\n"
        "gUnset = GetConfig( 'h37missing', 'fallback' )\n"
        "gOn = IsEnabled( 'h37on' )\n"
        "gOff = IsEnabled( 'h37off' )\n"
        "gMissing = IsEnabled( 'h37missing' )");
    EXPECT_EQ(String("gSet"), "value");
    EXPECT_EQ(String("gUnset"), "fallback");
    EXPECT_TRUE(Bool("gOn"));
    EXPECT_FALSE(Bool("gOff"));
    EXPECT_FALSE(Bool("gMissing"));

    Run("gHash = _GetString( '#literal' )\n"
        "gLookup = _GetString( 'no_such_label', 'a' )");
    EXPECT_EQ(String("gHash"), "literal");
    EXPECT_EQ(String("gLookup"), "#####");

    Run("gCopied = StringToClipboard( 'copied text' )");
    EXPECT_TRUE(Bool("gCopied"));
    EXPECT_EQ(Text(mPlatform->GetClipboardText()), "copied text");
    Run("gCopied = StringToClipboard( '' )");
    EXPECT_TRUE(Bool("gCopied"));
    EXPECT_EQ(Text(mPlatform->GetClipboardText()), "");
}

TEST_F(TWindowGlobalsTest, MoviesCannotPlayHere) {
    Run("gEmpty = StartMovie( '', false, false )\n"
        "gStarted = StartMovie( 'movies/intro.swf', true, true )\n"
        "gPlaying = IsMoviePlaying()\n"
        "StopMovie()");
    EXPECT_FALSE(Bool("gEmpty"));
    EXPECT_FALSE(Bool("gStarted"));
    EXPECT_FALSE(Bool("gPlaying"));
    EXPECT_FALSE(Script()->HasMoviePlayer());

    // Without a player the abort leaves a waiting script alone.
    Run("return function() gWaits = 0 while true do gWaits = gWaits + 1 HandleGetMessage() end "
        "end");
    ASSERT_TRUE(Script()->IsYielded());
    Manager()->AbortMovie();
    EXPECT_EQ(Number("gWaits"), 1);
    EXPECT_TRUE(Script()->IsYielded());
}

} // namespace
} // namespace manager_test
