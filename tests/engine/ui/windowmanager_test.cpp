// The modal stack, the message queue and the manager's lifetime, driven by synthetic events on
// the stand-in's fake clock.

#include "engine/core/filescan.h"
#include "engine/ui/windowscript.h"
#include "tests/engine/ui/manager_fixture.h"
#include "tests/fixtures/childprocess.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace manager_test {
namespace {

// Counts its deletions.
class TCountedMessage : public TMessage {
public:
    TCountedMessage(int32_t kind, const char* name, int& deletions, TWindow* target = nullptr)
        : TMessage(kind, name, target), mDeletions(deletions) {}
    ~TCountedMessage() override { ++mDeletions; }

private:
    int& mDeletions;
};

// Counts the runs of a modal window's task list.
struct TCountingTask : TAnimTask {
    explicit TCountingTask(int& runs) : mRuns(runs) {}
    bool Animate() override {
        ++mRuns;
        return true;
    }
    int& mRuns;
};

using TWindowManagerTest = TManagerTest;

TEST_F(TWindowManagerTest, RootScreenIsTheBottomLayer) {
    EXPECT_EQ(Manager()->GetRootWindow(), mScreen);
    EXPECT_STREQ(mScreen->GetClassName(), "TScreen");
    EXPECT_EQ(RectText(mScreen->GetRect()), "0,0,800,600");
    EXPECT_EQ(Manager()->GetFocus(), mScreen);
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));
    TColor background{1, 1, 1, 1};
    ASSERT_TRUE(Manager()->GetRootBackground(&background));
    EXPECT_EQ(background.r + background.g + background.b + background.a, 0.0f);
    // Only modal windows go on the stack, each once.
    TProbe loose("loose", mJournal);
    Manager()->PushModal(&loose);
    Manager()->PushModal(mScreen);
    Manager()->PushModal(nullptr);
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));
    EXPECT_NE(LogText().find("PushModal: window 'loose' is no modal window"), std::string::npos);
    EXPECT_NE(LogText().find("PushModal: window '_screen_' is on the modal stack already"),
              std::string::npos);
}

TEST_F(TWindowManagerTest, PushModalStacksAndPausesTheLayerBelow) {
    TProbeDialog* first = Push("first", {100, 100, 300, 200});
    mJournal.clear();
    standin::AdvanceTime(40);
    const int64_t firstAt = first->GetClock().GetTime();
    EXPECT_EQ(firstAt, 40) << "a pushed dialog's clock runs from its push";
    const int64_t screenAt = mScreen->GetClock().GetTime();

    TProbeDialog* second = Push("second");
    EXPECT_EQ(Stack(), (std::vector<std::string>{"second", "first", "_screen_"}));
    EXPECT_EQ(RectText(second->GetRect()), "0,0,200,100") << "sized to its parent";
    EXPECT_EQ(Manager()->GetFocus(), second);
    EXPECT_EQ(mJournal, (TJournal{"second focus from first"}));

    standin::AdvanceTime(100);
    EXPECT_EQ(first->GetClock().GetTime(), firstAt) << "the layer below stands still";
    EXPECT_EQ(mScreen->GetClock().GetTime(), screenAt);
    EXPECT_EQ(second->GetClock().GetTime(), 100);
}

TEST_F(TWindowManagerTest, OnlyTheTopLayersTasksRun) {
    int screenRuns = 0;
    int dialogRuns = 0;
    mScreen->AddTask(new TCountingTask(screenRuns));
    Send(MakeEvent(kEventIdle));
    EXPECT_EQ(screenRuns, 1);

    TProbeDialog* dialog = Push("dialog");
    dialog->AddTask(new TCountingTask(dialogRuns));
    Send(MakeEvent(kEventIdle));
    Send(MakeEvent(kEventIdle));
    EXPECT_EQ(screenRuns, 1) << "a covered layer's tasks do not run";
    EXPECT_EQ(dialogRuns, 2);
    // A repaint runs no tasks.
    Send(MakeEvent(kEventRepaint));
    EXPECT_EQ(dialogRuns, 2);

    Manager()->DoPopModal("dialog");
    Send(MakeEvent(kEventIdle));
    EXPECT_EQ(screenRuns, 2);
}

TEST_F(TWindowManagerTest, PopModalQueuesTheLayerAndHandsTheFocusDown) {
    TProbeDialog* dialog = Push("dialog", {0, 0, 400, 300});
    TProbe* panel = Add(dialog, "panel", {10, 10, 100, 100});
    Add(panel, "inner", {0, 0, 10, 10});
    int runs = 0;
    dialog->AddTask(new TCountingTask(runs));
    const str idText = dialog->GetIdText();
    mJournal.clear();

    Manager()->PopModal();
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));
    EXPECT_EQ(dialog->GetParent(), nullptr);
    EXPECT_TRUE(mScreen->GetChildren().empty());
    EXPECT_EQ(Manager()->GetFocus(), mScreen);
    EXPECT_EQ(mJournal, (TJournal{"inner popped", "panel popped"}))
        << "descendants hear of it, children first; nothing is deleted yet";
    dialog->RunTasks(0);
    EXPECT_EQ(runs, 0) << "its tasks were cleared";
    EXPECT_TRUE(Manager()->GetQueuedMessages().empty());

    // The next event deletes it; its kModalClosed, named by its id text, is queued then.
    mJournal.clear();
    Send(MakeEvent(kEventActivation));
    EXPECT_EQ(mJournal, (TJournal{"dialog deleted", "panel deleted", "inner deleted"}));
    ASSERT_EQ(Manager()->GetQueuedMessages().size(), 1u);
    const TMessage* closed = Manager()->GetQueuedMessages().front();
    EXPECT_EQ(closed->GetKind(), TMessage::kModalClosed);
    EXPECT_EQ(closed->GetName(), idText);
    EXPECT_EQ(closed->GetTarget(), nullptr);
}

TEST_F(TWindowManagerTest, DoPopModalByNameOrIdText) {
    struct TCase {
        const char* text;
        std::vector<std::string> left;
    };
    // The stack is rebuilt for each case: _screen_, a, b, c (top).
    const TCase cases[] = {
        {"nothing", {"c", "b", "a", "_screen_"}},
        {"c", {"b", "a", "_screen_"}},
        {"a", {"_screen_"}},
        {"_screen_", {"_screen_"}},
        {"", {"c", "b", "a", "_screen_"}},
    };
    for (const TCase& c : cases) {
        Push("a");
        Push("b");
        Push("c");
        Manager()->DoPopModal(c.text);
        EXPECT_EQ(Stack(), c.left) << "'" << c.text << "'";
        Manager()->DoPopModal("_screen_");
        Send(MakeEvent(kEventActivation));
    }

    // The id text names a layer as well as its name does, the root's included.
    TProbeDialog* a = Push("a");
    Push("b");
    Manager()->DoPopModal(a->GetIdText());
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));
    Push("a");
    Manager()->DoPopModal(mScreen->GetIdText());
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));

    // Events still reach the root after every layer above it went.
    Add(mScreen, "window", {0, 0, 100, 100});
    Send(MakeEvent(kEventActivation));
    mJournal.clear();
    Send(MakeEvent(kEventLeftDown, 5, 5));
    EXPECT_EQ(mJournal, (TJournal{"window down 5,5"}));
}

TEST_F(TWindowManagerTest, DoPopModalResumesTheClockOfTheNewTop) {
    TProbeDialog* lower = Push("lower");
    Push("upper");
    standin::AdvanceTime(50);
    const int64_t lowerAt = lower->GetClock().GetTime();
    Manager()->DoPopModal("upper");
    standin::AdvanceTime(30);
    EXPECT_EQ(lower->GetClock().GetTime(), lowerAt + 30);

    // A name that matches nothing pops nothing but resumes the top's clock.
    lower->GetClock().Pause();
    Manager()->DoPopModal("no such layer");
    EXPECT_EQ(Manager()->GetTopModal(), lower);
    standin::AdvanceTime(20);
    EXPECT_EQ(lower->GetClock().GetTime(), lowerAt + 50);

    // A plain PopModal leaves the new top's clock paused.
    Push("again");
    Manager()->PopModal();
    const int64_t pausedAt = lower->GetClock().GetTime();
    standin::AdvanceTime(20);
    EXPECT_EQ(lower->GetClock().GetTime(), pausedAt);
}

TEST_F(TWindowManagerTest, CloseWindowMessagePopsTheNamedLayer) {
    TProbeDialog* lower = Push("lower");
    TProbeDialog* upper = Push("upper");
    TProbe* focus = Add(upper, "edit", {0, 0, 10, 10});
    upper->SetDefaultFocus(focus);
    mJournal.clear();

    // An empty name is taken and changes nothing: the default focus child does not see it.
    TWindow::SendMessage(upper, new TMessage(TMessage::kCloseWindow, "", nullptr));
    EXPECT_EQ(Stack(), (std::vector<std::string>{"upper", "lower", "_screen_"}));
    EXPECT_EQ(mJournal, (TJournal{"upper message 1 ''"}));

    // Any other kind is declined.
    EXPECT_FALSE(
        lower->OnMessage(std::make_unique<TMessage>(TMessage::kGeneric, "lower", nullptr).get()));

    // Posted, it reaches the focus window and climbs to the dialog, which pops down to the name.
    Manager()->PostMessage(new TMessage(TMessage::kCloseWindow, lower->GetIdText(), nullptr));
    Manager()->ProcessMessages();
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));
}

TEST_F(TWindowManagerTest, ModalClosedCarriesTheIdText) {
    // Ids are counted process-wide: a fresh process makes the window with id 5.
    const pid_t child = testing_fixtures::SpawnChild("ModalClosedOfWindow5", {});
    ASSERT_GT(child, 0);
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 0);
}

TEST_F(TWindowManagerTest, MessagesGoToTheTargetElseTheFocusElseTheTop) {
    TProbeDialog* dialog = Push("dialog");
    TProbe* target = Add(dialog, "target", {0, 0, 10, 10});
    TProbe* doomed = Add(dialog, "doomed", {20, 0, 30, 10});
    TProbe* inside = Add(doomed, "inside", {0, 0, 5, 5});
    TProbe* focus = Add(dialog, "focus", {40, 0, 50, 10});
    Manager()->SetFocus(focus);
    focus->mOnMessage = [] { return true; };
    target->mOnMessage = [] { return true; };
    mJournal.clear();

    Manager()->PostMessage(new TMessage(TMessage::kGeneric, "to target", target));
    Manager()->PostMessage(new TMessage(TMessage::kGeneric, "to inside", inside));
    Manager()->PostMessage(new TMessage(TMessage::kGeneric, "untargeted", nullptr));
    // Its target is deleted before the queue is processed: the focus window gets it.
    dialog->RemoveChild(doomed);
    Manager()->DeleteWindowLater(doomed);
    Send(MakeEvent(kEventIdle));
    EXPECT_EQ(mJournal,
              (TJournal{"doomed deleted", "inside deleted", "target message 0 'to target'",
                        "focus message 0 'to inside'", "focus message 0 'untargeted'"}));

    // Without a focus window the top modal window gets it.
    mJournal.clear();
    Manager()->SetFocus(nullptr);
    Manager()->PostMessage(new TMessage(TMessage::kGeneric, "no focus", nullptr));
    Manager()->ProcessMessages();
    EXPECT_EQ(mJournal, (TJournal{"dialog message 0 'no focus'"}));
}

TEST_F(TWindowManagerTest, MessagesPostedWhileDispatchingAreDeliveredInTheSamePass) {
    TProbe* window = Add(mScreen, "window", {0, 0, 10, 10});
    Manager()->SetFocus(window);
    mJournal.clear();
    int posted = 0;
    window->mOnMessage = [&posted] {
        if (posted < 2) {
            ++posted;
            GetWindowManager()->PostMessage(new TMessage(TMessage::kGeneric, "follow-up", nullptr));
        }
        return true;
    };
    Manager()->PostMessage(new TMessage(TMessage::kGeneric, "first", nullptr));
    Manager()->ProcessMessages();
    EXPECT_EQ(mJournal, (TJournal{"window message 0 'first'", "window message 0 'follow-up'",
                                  "window message 0 'follow-up'"}));
    EXPECT_TRUE(Manager()->GetQueuedMessages().empty());
}

TEST_F(TWindowManagerTest, QuitNowEndsTheProgramEvenWhenAWindowWouldTakeIt) {
    TProbe* window = Add(mScreen, "window", {0, 0, 10, 10});
    window->mOnMessage = [] { return true; };
    int deletions = 0;
    Manager()->PostMessage(new TCountedMessage(TMessage::kQuitNow, "", deletions, window));
    Send(MakeEvent(kEventIdle));
    EXPECT_TRUE(mJournal.empty()) << "no window sees it";
    EXPECT_EQ(deletions, 1);
    EXPECT_EQ(Next().type, kEventQuit);
}

TEST_F(TWindowManagerTest, EventsAfterTheStackWentAreDropped) {
    Manager()->PopModal();
    EXPECT_EQ(Manager()->GetTopModal(), nullptr);
    EXPECT_EQ(Manager()->GetRootWindow(), nullptr);
    Manager()->PopModal();
    EXPECT_NE(LogText().find("PopModal: the modal stack is empty"), std::string::npos);
    int deletions = 0;
    Manager()->PostMessage(new TCountedMessage(TMessage::kGeneric, "", deletions));
    // The first event deletes the popped root; the message stays queued.
    Send(MakeEvent(kEventIdle));
    Send(MakeEvent(kEventLeftDown, 1, 1));
    EXPECT_EQ(deletions, 0);
    Manager()->ProcessMessages();
    EXPECT_EQ(deletions, 1) << "with nowhere to go a message is deleted";
    TRect rect{};
    EXPECT_FALSE(Manager()->GetRootRect(&rect));
    TColor background{};
    EXPECT_FALSE(Manager()->GetRootBackground(&background));
    // A new root screen can be made.
    Manager()->CreateRootScreen(640, 480);
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));
}

TEST_F(TWindowManagerTest, DestroyingTheManagerWithDialogsOpenDeletesEverything) {
    TProbeDialog* lower = Push("lower", {0, 0, 400, 300});
    Add(lower, "a", {0, 0, 10, 10});
    TProbeDialog* upper = Push("upper", {0, 0, 200, 100});
    TProbe* b = Add(upper, "b", {0, 0, 10, 10});
    Manager()->StartTracking(b);
    Manager()->SetFocus(b);
    TProbe* queued = Add(mScreen, "queued", {0, 0, 10, 10});
    mScreen->RemoveChild(queued);
    Manager()->DeleteWindowLater(queued);
    int deletions = 0;
    Manager()->PostMessage(new TCountedMessage(TMessage::kGeneric, "", deletions, b));
    Manager()->PostMessage(new TCountedMessage(TMessage::kGeneric, "", deletions));
    mJournal.clear();

    delete mPlatform;
    mPlatform = nullptr;
    TJournal deleted;
    std::copy_if(mJournal.begin(), mJournal.end(), std::back_inserter(deleted),
                 [](const std::string& line) { return line.ends_with(" deleted"); });
    std::sort(deleted.begin(), deleted.end());
    EXPECT_EQ(deleted, (TJournal{"a deleted", "b deleted", "lower deleted", "queued deleted",
                                 "upper deleted"}));
    EXPECT_EQ(deletions, 2);
}

TEST_F(TWindowManagerTest, ALayerDeletedWithoutPopLeavesTheStack) {
    TProbeDialog* lower = Push("lower");
    Push("upper");
    mScreen->RemoveChild(lower);
    delete lower;
    EXPECT_EQ(Stack(), (std::vector<std::string>{"_screen_"}));
    Send(MakeEvent(kEventLeftDown, 1, 1));
}

TEST_F(TWindowManagerTest, RegisterWindowTypeDefinesTheLuaConstructor) {
    TWindowScript* script = Manager()->GetWindowScript();
    ASSERT_NE(script, nullptr);
    Manager()->RegisterWindowType("Probe", &TWindow::Create);
    EXPECT_EQ(script->FindWindowType("Probe"), &TWindow::Create);
    EXPECT_EQ(script->FindWindowType("Other"), nullptr);
    // The constructor announces the table, names its type and builds it later with DoWindow.
    script->DoLuaString("function Creating(name, t) gAnnounced = name end\n"
                        "function DoWindow(t) gBuilt = t.typename .. t.label end\n"
                        "local build = Probe{ label = '!' }\n"
                        "gBefore = gBuilt == nil\n"
                        "build()\n");
    EXPECT_EQ(script->GetGlobalString("gAnnounced"), str("Probe"));
    EXPECT_EQ(script->GetGlobalNumber("gBefore"), 0.0);
    EXPECT_EQ(script->GetGlobalString("gBuilt"), str("Probe!"));
}

TEST_F(TWindowManagerTest, RunWindowScriptAndString) {
    // A script file the file layer finds under its bare name, as it finds the assets.
    testing_fixtures::TempDir folder;
    folder.Write("assets/dialog.lua", "gFromFile = 7");
    SetCurrentDirectoryA(folder.Path().string().c_str());
    ScanFolder("assets", str());
    EXPECT_TRUE(Manager()->RunWindowScript(mScreen, "dialog.lua"));
    EXPECT_FALSE(Manager()->RunWindowScript(mScreen, "no_such_dialog.lua"));
    Manager()->RunWindowString(mScreen, "gFromString = gFromFile + 1");
    EXPECT_EQ(Manager()->GetWindowScript()->GetGlobalNumber("gFromString"), 8.0);
}

} // namespace
} // namespace manager_test

// A fresh process, whose window ids start at 0: the root screen has id 0, four windows 1 to 4,
// and the dialog id 5.
CHILD_ENTRY(ModalClosedOfWindow5) {
    testing_fixtures::TempDir runtime;
    standin::SetRuntimeFolder(runtime.Path().string());
    RegisterWindowSystem();
    char commandLine[1] = "";
    auto* platform = new TPlatform(
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true));
    TWindowManager* manager = GetWindowManager();
    manager->CreateRootScreen(800, 600);
    for (int i = 0; i < 4; ++i) {
        manager->GetRootWindow()->AddChild(new TWindow, false);
    }
    auto* dialog = new TModalWindow;
    manager->PushModal(dialog);
    manager->PopModal();
    TEvent event;
    event.type = kEventActivation;
    manager->HandleEvent(event);
    const bool ok = dialog != nullptr && manager->GetQueuedMessages().size() == 1 &&
                    manager->GetQueuedMessages().front()->GetName() == str("       5") &&
                    manager->GetQueuedMessages().front()->GetKind() == TMessage::kModalClosed;
    delete platform;
    return ok ? 0 : 1;
}
