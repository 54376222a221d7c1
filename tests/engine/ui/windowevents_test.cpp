// How the window manager routes events: the mouse through the tracking list or to the deepest
// window under it in the top modal window, keys to the focus window, and deferred deletion.

#include "engine/core/settings.h"
#include "tests/engine/ui/manager_fixture.h"

namespace manager_test {
namespace {

// A dialog at (100, 100)-(500, 400) with a button at (10, 10)-(60, 40), on screen
// (110, 110)-(160, 140), and a panel at (200, 10)-(300, 100), on screen (300, 110)-(400, 200).
class TWindowEventsTest : public TManagerTest {
protected:
    void SetUp() override {
        TManagerTest::SetUp();
        mBelow = Add(mScreen, "below", {0, 0, 800, 600});
        mDialog = Push("dialog", {100, 100, 500, 400});
        mButton = Add(mDialog, "button", {10, 10, 60, 40});
        mPanel = Add(mDialog, "panel", {200, 10, 300, 100});
        mButton->mTrackOnPress = true;
        mButton->mOnMouse = [] { return true; };
        mPanel->mOnMouse = [] { return true; };
        mJournal.clear();
    }

    TProbe* mBelow = nullptr;
    TProbeDialog* mDialog = nullptr;
    TProbe* mButton = nullptr;
    TProbe* mPanel = nullptr;
};

TEST_F(TWindowEventsTest, MouseGoesToTheDeepestWindowInTheTopModalWindow) {
    const TEvent events[] = {
        MakeEvent(kEventMouseMove, 320, 130), MakeEvent(kEventMouseButton, 320, 130, kWheelBack),
        MakeEvent(kEventMouseHover, 399, 199), MakeEvent(kEventLeftUp, 400, 130)};
    for (const TEvent& event : events) {
        Send(event);
    }
    EXPECT_EQ(mJournal, (TJournal{"panel move 20,20", "panel button7 20,20", "panel hover 99,89",
                                  "dialog message 4 'mouse:up'"}))
        << "the release at the panel's right edge goes to the dialog, never to the layer below";
}

TEST_F(TWindowEventsTest, AnUnhandledReleasePostsPressAnyKeyOnce) {
    // The dialog has the focus, so it hears the message too.
    for (const char* overlay : {"0", "1"}) {
        SetSetting("overlaymouse", overlay);
        mJournal.clear();
        Send(MakeEvent(kEventLeftUp, 450, 350));
        EXPECT_EQ(mJournal, (TJournal{"dialog message 4 'mouse:up'"}))
            << "overlaymouse " << overlay;
    }
    // A handled one posts nothing.
    mJournal.clear();
    Send(MakeEvent(kEventLeftUp, 120, 120));
    EXPECT_EQ(mJournal, (TJournal{"button up 10,10"}));
}

TEST_F(TWindowEventsTest, ATrackedButtonThatSeesTheMouseLeaveGetsNoFurtherMoves) {
    mButton->mReleaseOnLeave = true;
    Send(MakeEvent(kEventLeftDown, 120, 120));
    EXPECT_TRUE(Manager()->IsTracking(mButton));
    Send(MakeEvent(kEventMouseMove, 150, 139));
    // Leaving, it lets go: neither it nor the panel under the mouse gets this move.
    Send(MakeEvent(kEventMouseMove, 350, 150));
    EXPECT_FALSE(Manager()->IsTracking(mButton));
    // With no window tracking, the next move goes where the mouse is.
    Send(MakeEvent(kEventMouseMove, 350, 150));
    EXPECT_EQ(mJournal, (TJournal{"button down 10,10", "dialog focus from dialog",
                                  "button move 40,29", "button leave", "panel move 50,40"}));
}

TEST_F(TWindowEventsTest, WhileAWindowIsTrackedAClickElsewhereGoesOnlyToIt) {
    Send(MakeEvent(kEventLeftDown, 120, 120));
    mJournal.clear();
    // It keeps tracking on leave, so it gets the click, in its own coordinates.
    Send(MakeEvent(kEventLeftDown, 350, 150));
    Send(MakeEvent(kEventLeftUp, 130, 135));
    EXPECT_EQ(mJournal, (TJournal{"button leave", "button down 240,40", "dialog focus from dialog",
                                  "button up 20,25"}));
}

TEST_F(TWindowEventsTest, MouseLeftTheWindowGivesEveryTrackedWindowOnMouseLeave) {
    Manager()->StartTracking(mPanel);
    Manager()->StartTracking(mButton);
    Send(MakeEvent(kEventMouseLeft));
    EXPECT_EQ(mJournal, (TJournal{"button leave", "panel leave"})) << "front to back";
    EXPECT_TRUE(Manager()->IsTracking(mPanel)) << "tracking ends only if the window ends it";
    Manager()->StopTracking(mPanel);
    Manager()->StopTracking(mButton);
    mJournal.clear();
    Send(MakeEvent(kEventMouseLeft));
    EXPECT_TRUE(mJournal.empty());
}

TEST_F(TWindowEventsTest, TrackedWindowsAreServedOnlyWhileTheTopModalWindowStays) {
    Manager()->StartTracking(mPanel);
    Manager()->StartTracking(mButton);
    mButton->mOnMouse = [] {
        GetWindowManager()->DoPopModal("dialog");
        return true;
    };
    Send(MakeEvent(kEventMouseMove, 120, 120));
    EXPECT_EQ(mJournal, (TJournal{"button move 10,10", "panel popped", "button popped"}))
        << "the panel, tracked in the popped dialog, is not served";
}

TEST_F(TWindowEventsTest, MouseLeftStopsOnceTheTopModalWindowChanged) {
    Manager()->StartTracking(mPanel);
    Manager()->StartTracking(mButton);
    mButton->mOnLeave = [] {
        GetWindowManager()->PopModal();
        return false;
    };
    Send(MakeEvent(kEventMouseLeft));
    EXPECT_EQ(mJournal, (TJournal{"button leave", "panel popped", "button popped"}));
}

TEST_F(TWindowEventsTest, PushingALayerLetsGoOfTheTrackedWindows) {
    Manager()->StartTracking(mButton);
    Manager()->StartTracking(mPanel);
    Push("over");
    EXPECT_FALSE(Manager()->IsTracking(mButton));
    EXPECT_FALSE(Manager()->IsTracking(mPanel));
    EXPECT_EQ(mJournal, (TJournal{"panel leave", "button leave", "over focus from dialog"}));
}

TEST_F(TWindowEventsTest, KeysGoToTheFocusWindowElseTheTopModalWindow) {
    mPanel->mHandleKeys = true;
    Manager()->SetFocus(mPanel);
    mJournal.clear();
    Send(MakeEvent(kEventKeyDown, 0, 0, 0x141, kModShift));
    Send(MakeEvent(kEventChar, 0, 0, 'a'));
    Manager()->SetFocus(nullptr);
    Send(MakeEvent(kEventKeyDown, 0, 0, 'B'));
    EXPECT_EQ(mJournal, (TJournal{"panel key 65,1", "panel char 97", "dialog message 4 'raw:B'"}))
        << "without a focus window the dialog gets the key and, not taking it, posts it";
}

TEST_F(TWindowEventsTest, PendingDeletionsHappenAtTheStartOfTheNextEvent) {
    mDialog->RemoveChild(mPanel);
    Manager()->DeleteWindowLater(mPanel);
    Send(MakeEvent(kEventNothing));
    EXPECT_TRUE(mJournal.empty()) << "type 2 is no event";
    Send(MakeEvent(kEventActivation));
    EXPECT_EQ(mJournal, (TJournal{"panel deleted"}));

    // A window may queue itself from its own handler; a close request then reaches the top.
    mButton->mOnMouse = [this] {
        mDialog->RemoveChild(mButton);
        GetWindowManager()->DeleteWindowLater(mButton);
        return true;
    };
    mJournal.clear();
    Send(MakeEvent(kEventLeftUp, 120, 120));
    Send(MakeEvent(kEventClose));
    EXPECT_EQ(mJournal, (TJournal{"button up 10,10", "button deleted"}));
}

} // namespace
} // namespace manager_test
