// Events, messages, focus, deferred deletion and the modal layer mechanics, with synthetic events
// and the platform's window manager.

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/ui/message.h"
#include "engine/ui/window.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"
#include "engine/ui/windowsystem.h"
#include "tests/engine/system/platform_fixture.h"

#include <string>
#include <vector>

namespace window_routing_test {
namespace {

// What the recording windows saw, in order: "<name> <what> x,y".
using TJournal = std::vector<std::string>;

class TRecordingWindow : public TWindow {
public:
    TRecordingWindow(const char* name, TJournal& journal, bool focusable = false)
        : mJournal(journal) {
        SetName(name);
        if (focusable) {
            mFlags |= kFocusable;
        }
    }
    ~TRecordingWindow() override { mJournal.push_back(Name() + " deleted"); }

    bool OnMouseDown(const TPoint& point) override { return Mouse("down", point); }
    bool OnMouseUp(const TPoint& point) override { return Mouse("up", point); }
    bool OnMouseButton(const TPoint& point, int code) override {
        return Mouse("button" + std::to_string(code), point);
    }
    bool OnKeyDown(uint8_t key, int modifiers) override {
        mJournal.push_back(Name() + " key " + std::to_string(key) + "," +
                           std::to_string(modifiers));
        return mHandleKeys;
    }
    bool OnChar(uint8_t character) override {
        mJournal.push_back(Name() + " char " + std::to_string(character));
        return false;
    }
    bool OnTextInput(const str& text) override {
        mJournal.push_back(Name() + " text " + std::to_string(text.Length()));
        return false;
    }
    void OnSetFocus(TWindow* previous) override {
        mJournal.push_back(Name() + " focus from " +
                           (previous != nullptr ? previous->GetName().CStr() : "none"));
    }
    bool OnMessage(TMessage* message) override {
        mJournal.push_back(Name() + " message " + message->GetName().CStr());
        return mHandleMessages;
    }
    bool OnAnimate() override {
        ++mAnimations;
        return mKeepAnimating;
    }

    bool mHandleMouse = false;
    bool mHandleKeys = false;
    bool mHandleMessages = false;
    bool mKeepAnimating = true;
    int mAnimations = 0;

private:
    std::string Name() const { return GetName().CStr() != nullptr ? GetName().CStr() : ""; }
    bool Mouse(const std::string& what, const TPoint& point) {
        mJournal.push_back(Name() + " " + what + " " + std::to_string(point.x) + "," +
                           std::to_string(point.y));
        return mHandleMouse;
    }

    TJournal& mJournal;
};

// A modal window with a name that records what reaches it.
class TRecordingModal : public TModalWindow {
public:
    TRecordingModal(const char* name, TJournal& journal) : mJournal(journal) { SetName(name); }
    bool OnMessage(TMessage* message) override {
        mJournal.push_back(std::string(GetName().CStr()) + " message " + message->GetName().CStr());
        return false;
    }
    void OnSetFocus(TWindow* previous) override {
        mJournal.push_back(std::string(GetName().CStr()) + " focus from " +
                           (previous != nullptr ? previous->GetName().CStr() : "none"));
        TModalWindow::OnSetFocus(previous);
    }

private:
    TJournal& mJournal;
};

// Counts its deletions.
class TCountedMessage : public TMessage {
public:
    TCountedMessage(const char* name, int& deletions, TWindow* target = nullptr)
        : TMessage(kGeneric, name, target), mDeletions(deletions) {}
    ~TCountedMessage() override { ++mDeletions; }

private:
    int& mDeletions;
};

TEvent MakeEvent(int32_t type, int32_t x, int32_t y, int32_t param = 0, int32_t modifiers = 0) {
    TEvent event;
    event.type = type;
    event.param = param;
    event.x = x;
    event.y = y;
    event.modifiers = modifiers;
    return event;
}

class TWindowRoutingTest : public platform_test::TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        RegisterWindowSystem();
        MakePlatform();
        Manager()->CreateRootScreen(800, 600);
        mScreen = Manager()->GetRootWindow();
    }

    static TWindowManager* Manager() { return GetWindowManager(); }

    template <class T = TRecordingWindow>
    T* Add(TWindow* parent, const char* name, TRect rect, bool focusable = false) {
        auto* window = new T(name, mJournal, focusable);
        parent->AddChild(window, true);
        window->MoveTo(rect.left, rect.top);
        window->SetSize(rect.right - rect.left, rect.bottom - rect.top);
        return window;
    }

    TRecordingModal* AddModal(TWindow* parent, const char* name) {
        auto* modal = new TRecordingModal(name, mJournal);
        parent->AddChild(modal, true);
        modal->SetSize(parent->GetWidth(), parent->GetHeight());
        return modal;
    }

    std::vector<std::string> QueuedNames() const {
        std::vector<std::string> names;
        for (const TMessage* message : Manager()->GetQueuedMessages()) {
            EXPECT_EQ(message->GetKind(), TMessage::kPressAnyKey);
            names.emplace_back(message->GetName().CStr(), message->GetName().Length());
        }
        return names;
    }

    TJournal mJournal;
    TWindow* mScreen = nullptr;
    // Messages still queued are deleted with the manager, after the test body.
    int mDeletions = 0;
};

TEST_F(TWindowRoutingTest, LeftPressFocusesTheNearestFocusableWindow) {
    auto* panel = Add(mScreen, "panel", {100, 100, 300, 300}, true);
    auto* button = Add(panel, "button", {10, 10, 50, 50});
    auto* other = Add(mScreen, "other", {400, 0, 500, 100}, true);
    Manager()->SetFocus(other);
    mJournal.clear();

    EXPECT_FALSE(button->HandleEvent(MakeEvent(kEventLeftDown, 5, 6), false));
    EXPECT_EQ(Manager()->GetFocus(), panel) << "the screen, reached later, does not take it";
    EXPECT_EQ(mJournal,
              (TJournal{"button down 5,6", "panel focus from other", "panel down 15,16"}));

    // A handled press gives the focus too; a press routed with the focus done does not.
    mJournal.clear();
    other->mHandleMouse = true;
    EXPECT_TRUE(other->HandleEvent(MakeEvent(kEventLeftDown, 1, 1), false));
    EXPECT_EQ(Manager()->GetFocus(), other);
    button->HandleEvent(MakeEvent(kEventLeftDown, 1, 1), true);
    EXPECT_EQ(Manager()->GetFocus(), other);
}

TEST_F(TWindowRoutingTest, UnhandledMouseGoesToTheSiblingBelowBeforeTheParent) {
    auto* parent = Add(mScreen, "parent", {100, 100, 400, 400});
    auto* below = Add(parent, "below", {30, 30, 130, 130});
    Add(below, "inner", {0, 0, 20, 20});
    auto* front = Add(parent, "front", {10, 10, 60, 60});
    ASSERT_EQ(parent->GetChildren().front(), front);
    mJournal.clear();

    EXPECT_FALSE(front->HandleEvent(MakeEvent(kEventLeftUp, 25, 25), false));
    EXPECT_EQ(mJournal,
              (TJournal{"front up 25,25", "inner up 5,5", "below up 5,5", "parent up 35,35"}));

    // Outside the sibling the event goes straight to the parent.
    mJournal.clear();
    front->HandleEvent(MakeEvent(kEventMouseButton, 5, 5, kRightDown), false);
    EXPECT_EQ(mJournal, (TJournal{"front button1 5,5", "parent button1 15,15"}));

    // A disabled sibling is passed over.
    mJournal.clear();
    below->SetFlags(0);
    front->HandleEvent(MakeEvent(kEventLeftUp, 25, 25), false);
    EXPECT_EQ(mJournal, (TJournal{"front up 25,25", "parent up 35,35"}));
}

TEST_F(TWindowRoutingTest, UnhandledKeysGoToTheParentNeverToASibling) {
    auto* parent = Add(mScreen, "parent", {100, 100, 400, 400});
    // Covers the parent's top-left corner, where a key's (0, 0) would hit.
    Add(parent, "corner", {0, 0, 100, 100});
    auto* focus = Add(parent, "focus", {200, 200, 250, 250});
    mJournal.clear();

    const TEvent events[] = {MakeEvent(kEventKeyDown, 0, 0, 0x141, kModShift),
                             MakeEvent(kEventChar, 0, 0, 'a'),
                             MakeEvent(kEventUnicodeChar, 0, 0, 0xE9)};
    for (const TEvent& event : events) {
        EXPECT_FALSE(focus->HandleEvent(event, false));
    }
    EXPECT_EQ(mJournal, (TJournal{"focus key 65,1", "parent key 65,1", "focus char 97",
                                  "parent char 97", "focus text 2", "parent text 2"}))
        << "a two-byte character is not offered as a char";

    mJournal.clear();
    focus->HandleEvent(MakeEvent(kEventUnicodeChar, 0, 0, 'z'), false);
    EXPECT_EQ(mJournal,
              (TJournal{"focus text 1", "focus char 122", "parent text 1", "parent char 122"}));
}

TEST_F(TWindowRoutingTest, ModalRootPostsPressAnyKeyForUnhandledReleasesAndKeys) {
    auto* window = Add(mScreen, "window", {0, 0, 100, 100});
    window->HandleEvent(MakeEvent(kEventLeftUp, 1, 1), false);
    window->HandleEvent(MakeEvent(kEventKeyDown, 0, 0, 0x300 | 'Q'), false);
    window->HandleEvent(MakeEvent(kEventKeyUp, 0, 0, 'Q'), false);
    window->HandleEvent(MakeEvent(kEventLeftDown, 1, 1), false);
    window->HandleEvent(MakeEvent(kEventMouseMove, 1, 1), false);
    EXPECT_EQ(QueuedNames(), (std::vector<std::string>{"mouse:up", "raw:Q"}));
    for (const TMessage* message : Manager()->GetQueuedMessages()) {
        EXPECT_EQ(message->GetTarget(), nullptr);
    }

    // A handled release posts nothing.
    window->mHandleMouse = true;
    window->HandleEvent(MakeEvent(kEventLeftUp, 1, 1), false);
    EXPECT_EQ(Manager()->GetQueuedMessages().size(), 2u);

    // With "overlaymouse" the modal root stays quiet.
    window->mHandleMouse = false;
    SetSetting("overlaymouse", "1");
    window->HandleEvent(MakeEvent(kEventLeftUp, 1, 1), false);
    window->HandleEvent(MakeEvent(kEventKeyDown, 0, 0, 'Q'), false);
    EXPECT_EQ(Manager()->GetQueuedMessages().size(), 2u);
}

TEST_F(TWindowRoutingTest, SendMessageClimbsToTheModalRootThenTriesTheDefaultFocus) {
    auto* modal = AddModal(mScreen, "modal");
    auto* panel = Add(modal, "panel", {0, 0, 100, 100});
    auto* button = Add(panel, "button", {0, 0, 10, 10});
    auto* fallback = Add(modal, "fallback", {200, 200, 210, 210});
    int& deletions = mDeletions;

    // Nobody takes it: up to the modal root, then on to the window script, which keeps it in its
    // Lua queue until the script lets go of it.
    TWindowScript* script = Manager()->GetWindowScript();
    script->DoLuaString("gMessageQueue = {}");
    mJournal.clear();
    TWindow::SendMessage(button, new TCountedMessage("m1", deletions));
    EXPECT_EQ(mJournal, (TJournal{"button message m1", "panel message m1", "modal message m1"}));
    EXPECT_EQ(deletions, 0);
    script->DoLuaString("gMessageQueue = {}; collectgarbage()");
    EXPECT_EQ(deletions, 1);

    // The default focus child is asked after the modal root.
    modal->SetDefaultFocus(fallback);
    fallback->mHandleMessages = true;
    mJournal.clear();
    TWindow::SendMessage(button, new TCountedMessage("m2", deletions));
    EXPECT_EQ(mJournal, (TJournal{"button message m2", "panel message m2", "modal message m2",
                                  "fallback message m2"}));
    EXPECT_EQ(deletions, 2);

    // A window that takes it ends the climb.
    panel->mHandleMessages = true;
    mJournal.clear();
    TWindow::SendMessage(button, new TCountedMessage("m3", deletions));
    EXPECT_EQ(mJournal, (TJournal{"button message m3", "panel message m3"}));
    EXPECT_EQ(deletions, 3);

    // No modal root above: dropped. No window: dropped.
    TWindow loose;
    TWindow::SendMessage(&loose, new TCountedMessage("m4", deletions));
    TWindow::SendMessage(nullptr, new TCountedMessage("m5", deletions));
    EXPECT_EQ(deletions, 5);
}

TEST_F(TWindowRoutingTest, DeferredDeletion) {
    int& deletions = mDeletions;
    auto* doomed = Add(mScreen, "doomed", {0, 0, 100, 100});
    auto* inside = Add(doomed, "inside", {0, 0, 10, 10});
    auto* survivor = Add(mScreen, "survivor", {200, 0, 300, 100});
    Manager()->PostMessage(new TCountedMessage("to inside", deletions, inside));
    Manager()->PostMessage(new TCountedMessage("to doomed", deletions, doomed));
    Manager()->PostMessage(new TCountedMessage("to survivor", deletions, survivor));
    Manager()->StartTracking(doomed);
    Manager()->StartTracking(survivor);
    Manager()->StartTracking(doomed);

    mScreen->RemoveChild(doomed);
    Manager()->DeleteWindowLater(doomed);
    Manager()->DeleteWindowLater(doomed);
    std::vector<TWindow*> targets;
    for (const TMessage* message : Manager()->GetQueuedMessages()) {
        targets.push_back(message->GetTarget());
    }
    EXPECT_EQ(targets, (std::vector<TWindow*>{nullptr, nullptr, survivor}));
    EXPECT_FALSE(Manager()->IsTracking(doomed));
    EXPECT_TRUE(Manager()->IsTracking(survivor));

    mJournal.clear();
    Manager()->DeletePendingWindows();
    EXPECT_EQ(mJournal, (TJournal{"doomed deleted", "inside deleted"}))
        << "queued twice, deleted once";
    mJournal.clear();
    Manager()->DeletePendingWindows();
    EXPECT_TRUE(mJournal.empty());
    EXPECT_EQ(deletions, 0) << "the queue still owns the messages";
}

TEST_F(TWindowRoutingTest, DeleteChildrenQueuesThem) {
    auto* panel = Add(mScreen, "panel", {0, 0, 100, 100});
    Add(panel, "a", {0, 0, 10, 10});
    Add(panel, "b", {0, 0, 10, 10});
    mJournal.clear();
    panel->DeleteChildren();
    EXPECT_TRUE(panel->GetChildren().empty());
    EXPECT_TRUE(mJournal.empty()) << "deleted later";
    Manager()->DeletePendingWindows();
    EXPECT_EQ(mJournal, (TJournal{"b deleted", "a deleted"}));
}

TEST_F(TWindowRoutingTest, ADestroyedWindowLeavesNoReferenceBehind) {
    auto* window = Add(mScreen, "window", {0, 0, 10, 10});
    auto* screen = static_cast<TModalWindow*>(mScreen);
    screen->SetDefaultFocus(window);
    Manager()->SetFocus(window);
    Manager()->StartTracking(window);
    Manager()->PostMessage(new TCountedMessage("aimed", mDeletions, window));
    mScreen->RemoveChild(window);
    delete window;
    EXPECT_EQ(Manager()->GetFocus(), nullptr);
    EXPECT_FALSE(Manager()->IsTracking(window));
    EXPECT_EQ(screen->GetDefaultFocus(), nullptr) << "the top modal window forgets it";
    EXPECT_EQ(Manager()->GetQueuedMessages().front()->GetTarget(), nullptr);
}

TEST_F(TWindowRoutingTest, DefaultFocusTakesTheFocusFromItsModalWindow) {
    auto* modal = AddModal(mScreen, "modal");
    auto* edit = Add(modal, "edit", {0, 0, 10, 10});
    auto* other = Add(mScreen, "other", {0, 0, 10, 10});
    Manager()->SetFocus(other);
    mJournal.clear();

    // Not focused: only stored.
    modal->SetDefaultFocus(edit);
    EXPECT_TRUE(mJournal.empty());
    // Focusing the modal window passes the focus on, with the focus it came from.
    Manager()->SetFocus(modal);
    EXPECT_EQ(Manager()->GetFocus(), edit);
    EXPECT_EQ(mJournal, (TJournal{"modal focus from other", "edit focus from other"}));

    // Set while the modal window has the focus, it moves at once; null leaves no focus.
    modal->SetDefaultFocus(nullptr);
    Manager()->SetFocus(modal);
    mJournal.clear();
    modal->SetDefaultFocus(edit);
    EXPECT_EQ(Manager()->GetFocus(), edit);
    EXPECT_EQ(mJournal, (TJournal{"edit focus from modal"}));
    modal->SetDefaultFocus(nullptr);
    Manager()->SetFocus(modal);
    EXPECT_EQ(Manager()->GetFocus(), modal);
    modal->SetDefaultFocus(nullptr);
    EXPECT_EQ(Manager()->GetFocus(), nullptr);
}

TEST_F(TWindowRoutingTest, ACoveringLayerMarksTheLayersBelow) {
    auto* lower = AddModal(mScreen, "lower");
    auto* upper = AddModal(lower, "upper");
    EXPECT_EQ(lower->GetFlags() & TWindow::kCovering, 0u);
    auto* sheet = Add(upper, "sheet", {0, 0, 800, 600});
    EXPECT_EQ(upper->GetFlags() & TWindow::kCovering, 0u) << "not opaque";

    sheet->SetFlags(sheet->GetFlags() | TWindow::kCovering);
    EXPECT_NE(upper->GetFlags() & TWindow::kCovering, 0u);
    EXPECT_NE(lower->GetFlags() & TWindow::kCovering, 0u) << "the layer below is covered too";

    // Smaller than the root no longer covers.
    sheet->SetSize(800, 599);
    EXPECT_EQ(upper->GetFlags() & TWindow::kCovering, 0u);
    EXPECT_EQ(lower->GetFlags() & TWindow::kCovering, 0u);
    sheet->SetSize(800, 600);
    EXPECT_NE(lower->GetFlags() & TWindow::kCovering, 0u);

    upper->RemoveChild(sheet);
    EXPECT_EQ(upper->GetFlags() & TWindow::kCovering, 0u);
    EXPECT_EQ(lower->GetFlags() & TWindow::kCovering, 0u);
    upper->AddChild(sheet, false);
    sheet->SetFlags(sheet->GetFlags());
    EXPECT_NE(lower->GetFlags() & TWindow::kCovering, 0u);
}

TEST_F(TWindowRoutingTest, AnimationRunsOnTheModalWindowsClock) {
    auto* modal = AddModal(mScreen, "modal");
    auto* window = Add(modal, "window", {0, 0, 10, 10});
    window->StartAnimation(100, true, true, false);
    ASSERT_NE(window->GetAnimation(), nullptr);

    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 0);
    standin::AdvanceTime(100);
    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 1);

    // While the clock is paused the animation stands still.
    modal->GetClock().Pause();
    standin::AdvanceTime(500);
    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 1);
    modal->GetClock().Resume();
    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 1);
    standin::AdvanceTime(100);
    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 2);

    // OnAnimate answering false ends it; the next request makes a new one.
    window->mKeepAnimating = false;
    standin::AdvanceTime(100);
    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 3);
    standin::AdvanceTime(100);
    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 3);

    // Detached, it ends at its next tick without asking the window.
    window->mKeepAnimating = true;
    window->StartAnimation(100, true, true, false);
    window->DetachAnimation();
    standin::AdvanceTime(100);
    modal->RunTasks(0);
    EXPECT_EQ(window->mAnimations, 3);

    // A window deleted with a running animation leaves a task that ends quietly.
    window->StartAnimation(10, true, true, false);
    modal->RemoveChild(window);
    delete window;
    standin::AdvanceTime(10);
    modal->RunTasks(0);

    // The modal window animates on its own list.
    auto* self = AddModal(mScreen, "self");
    EXPECT_NE(self->GetAnimation(), nullptr);
}

TEST_F(TWindowRoutingTest, AnimationOutsideAModalWindowIsRefused) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().string().c_str());
    TRecordingWindow loose("loose", mJournal);
    EXPECT_EQ(loose.GetAnimation(), nullptr);
    loose.StartAnimation(10, true, true, false);
    SetLogFolder(nullptr);
    EXPECT_NE(logs.Read("logfile.txt").find("GetAnimation: window 'loose' lies in no modal window"),
              std::string::npos);
}

TEST_F(TWindowRoutingTest, TasksOfAModalWindow) {
    struct TCountingTask : TAnimTask {
        explicit TCountingTask(int& runs) : mRuns(runs) {}
        bool Animate() override { return ++mRuns < 2; }
        int& mRuns;
    };
    auto* modal = AddModal(mScreen, "modal");
    int runs = 0;
    modal->AddTask(new TCountingTask(runs));
    modal->RunTasks(0);
    modal->RunTasks(0);
    modal->RunTasks(0);
    EXPECT_EQ(runs, 2) << "the list deletes a finished task";
    modal->AddTask(new TCountingTask(runs));
    modal->ClearTasks();
    modal->RunTasks(0);
    EXPECT_EQ(runs, 2);
}

TEST_F(TWindowRoutingTest, AttachResumesTheModalClock) {
    TModalWindow modal;
    standin::AdvanceTime(50);
    EXPECT_EQ(modal.GetClock().GetTime(), 0);
    EXPECT_TRUE(modal.OnAttach());
    standin::AdvanceTime(30);
    EXPECT_EQ(modal.GetClock().GetTime(), 30);
}

} // namespace
} // namespace window_routing_test
