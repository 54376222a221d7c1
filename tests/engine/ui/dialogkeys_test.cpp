// Enter, Escape and hot keys in a dialog with buttons: the default and cancel buttons, the
// kDefaultAction that reaches the focus window before the buttons' posted messages, buttons in
// disabled panels, and hot keys with and without modifiers.

#include "engine/ui/button.h"
#include "tests/engine/ui/widget_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace dialog_keys_test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using widget_test::MakeEvent;
using widget_test::Text;
using widget_test::TWidgetTest;

constexpr int kEnter = 13;
constexpr int kEscape = 27;

class TDialogKeysTest : public TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        mDialog = PushDialog("dialog", TRect{0, 0, 100, 100});
        Build("Button{ name = 'ok', default = true, close = true, w = 10, h = 10 }");
        Build("Button{ name = 'cancel', cancel = true, x = 20, w = 10, h = 10 }");
        Build("Window{ name = 'panel', y = 20, w = 50, h = 50, "
              "Button{ name = 'hidden', default = true, cancel = true, w = 10, h = 10 } }");
        Build("Button{ name = 'save', x = 60, w = 10, h = 10 }");
        mFocus = manager_test::Place(mDialog, new manager_test::TProbe("focus", mJournal),
                                     TRect{80, 80, 90, 90});
        Find("panel")->SetFlags(Find("panel")->GetFlags() & ~TWindow::kEnabled);
        Manager()->SetFocus(mFocus);
        ScriptMessages();
        mJournal.clear();
    }

    void Char(int character) { Send(MakeEvent(kEventChar, 0, 0, character)); }
    void Key(int key, int modifiers) { Send(MakeEvent(kEventKeyDown, 0, 0, key, modifiers)); }

    manager_test::TJournal mJournal;
    TModalWindow* mDialog = nullptr;
    manager_test::TProbe* mFocus = nullptr;
};

TEST_F(TDialogKeysTest, EnterRunsTheDefaultButtonAfterTheFocusHearsIt) {
    const std::string id = Text(mDialog->GetIdText());
    Char(kEnter);
    // The focus window gets the character, then kDefaultAction at once, then the close the button
    // posted; the press reaches the script once the dialog has gone.
    EXPECT_THAT(mJournal, ElementsAre("focus char 13", "focus message 2 ''",
                                      "focus message 1 '" + id + "'", "focus popped"));
    EXPECT_THAT(ScriptMessages(), ElementsAre("2 ", "3 ok"));
    EXPECT_EQ(Global("gReturnValue"), "ok");
    EXPECT_EQ(Manager()->GetTopModal(), Manager()->GetRootWindow());
}

TEST_F(TDialogKeysTest, EscapeRunsTheCancelButton) {
    Char(kEscape);
    EXPECT_THAT(mJournal, ElementsAre("focus char 27", "focus message 2 ''"));
    EXPECT_THAT(ScriptMessages(), ElementsAre("2 ", "3 cancel"));
}

TEST_F(TDialogKeysTest, ButtonsInADisabledPanelAreNotFound) {
    Find<TButton>("ok")->SetFlags(Find("ok")->GetFlags() & ~TWindow::kEnabled);
    Char(kEnter);
    EXPECT_THAT(ScriptMessages(), ElementsAre("2 ")) << "neither ok nor hidden";
    Find("panel")->SetFlags(Find("panel")->GetFlags() | TWindow::kEnabled);
    Char(kEnter);
    EXPECT_THAT(ScriptMessages(), ElementsAre("2 ", "3 hidden"));
}

TEST_F(TDialogKeysTest, HotKeysPressTheirButtonWithExactlyTheirModifiers) {
    mDialog->SetHotKey("Ctrl-S", "save");
    mDialog->SetHotKey("ctrl-P", "print");
    mDialog->SetHotKey("ctrl-X", "nobutton");
    mDialog->SetHotKey("ctrl-Y", "panel");
    Key('S', 2);
    EXPECT_THAT(ScriptMessages(), ElementsAre("3 save"));
    Key('S', 0);
    Key('S', 3);
    // F1 is 0x70, the code of a lower-case p.
    Key(0x70, 2);
    // Keys no window takes reach the script as any-key presses.
    EXPECT_THAT(ScriptMessages(), ElementsAre("4 raw:S", "4 raw:S", "4 raw:p"));
    Key('X', 2);
    Key('Y', 2);
    EXPECT_THAT(ScriptMessages(), ElementsAre());
    EXPECT_THAT(LogText(), HasSubstr("ERROR: Hot key button not found. Button:'nobutton'"));
    EXPECT_THAT(LogText(), HasSubstr("ERROR: Hot key button not found. Button:'panel'"));
}

} // namespace
} // namespace dialog_keys_test
