// Modal windows: hot keys and their names, Enter and Escape, and growing to the children.

#include "engine/script/luawrapper.h"
#include "engine/script/script.h"
#include "engine/ui/windowstyle.h"
#include "tests/engine/ui/manager_fixture.h"

#include <memory>
#include <string>

namespace manager_test {
namespace {

TEST(TModalWindowKeys, NormaliseKeyName) {
    struct TCase {
        const char* name;
        const char* expected;
    };
    const TCase cases[] = {
        {"Ctrl-S", "ctrl-S"},
        {"Alt-Ctrl-s", "ctrl-alt-S"},
        {"control-alt-S", "ctrl-alt-S"},
        {"alt-shift-control-1", "shift-ctrl-alt-1"},
        {"@x", "@X"},
        {"@ctrl-k", "@K"},
        {"@", "@"},
        {"s", "S"},
        {"ctrl-", "ctrl--"},
        {"", ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Text(TModalWindow::NormaliseKeyName(c.name)), c.expected) << c.name;
    }
}

class TModalWindowTest : public TManagerTest {
protected:
    void SetUp() override {
        TManagerTest::SetUp();
        mDialog = Push("dialog");
        mEdit = Add(mDialog, "edit", {0, 0, 10, 10});
        mLogStart = LogText().size();
        mJournal.clear();
    }

    // The buttons hot keys pressed since the last call, by the lines they logged.
    std::vector<std::string> Pressed() {
        const std::string text = LogText();
        const std::string fresh = text.substr(mLogStart);
        mLogStart = text.size();
        std::vector<std::string> names;
        const std::string marker = "ERROR: Hot key button not found. Button:'";
        for (size_t at = fresh.find(marker); at != std::string::npos;
             at = fresh.find(marker, at + 1)) {
            const size_t start = at + marker.size();
            names.push_back(fresh.substr(start, fresh.find('\'', start) - start));
        }
        return names;
    }

    TProbeDialog* mDialog = nullptr;
    TProbe* mEdit = nullptr;
    size_t mLogStart = 0;
};

TEST_F(TModalWindowTest, HotKeysMatchTheExactModifiersFirst) {
    mDialog->SetHotKey("Ctrl-S", "save");
    mDialog->SetHotKey("@s", "any");
    mDialog->SetHotKey("p", "plain");

    struct TCase {
        uint8_t key;
        int modifiers;
        bool handled;
        const char* button;
    };
    const TCase cases[] = {
        {'S', kModCtrl, true, "save"},
        {'S', 0, true, "any"},
        {'S', kModShift | kModCtrl, true, "any"},
        {'S', kModCtrl | kModExtended, true, "save"},
        {'P', 0, true, "plain"},
        {'P', kModAlt, false, nullptr},
        {'Q', kModCtrl, false, nullptr},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(mDialog->OnKeyDown(c.key, c.modifiers), c.handled)
            << c.key << " with " << c.modifiers;
        const std::vector<std::string> expected =
            c.button != nullptr ? std::vector<std::string>{c.button} : std::vector<std::string>{};
        EXPECT_EQ(Pressed(), expected) << c.key << " with " << c.modifiers;
    }

    // Without the '@' form, S alone is not Ctrl-S.
    mDialog->SetHotKey("@S", "");
    EXPECT_FALSE(mDialog->OnKeyDown('S', 0));
    EXPECT_TRUE(mDialog->OnKeyDown('S', kModCtrl));
    // A later mapping replaces the earlier one; an empty button name removes the key.
    mDialog->SetHotKey("control-s", "store");
    EXPECT_TRUE(mDialog->OnKeyDown('S', kModCtrl));
    mDialog->SetHotKey("CTRL-S", "");
    EXPECT_FALSE(mDialog->OnKeyDown('S', kModCtrl));
    EXPECT_EQ(Pressed(), (std::vector<std::string>{"save", "store"}));
}

TEST_F(TModalWindowTest, FunctionAndKeypadKeysAreNotLetters) {
    // F1 is 0x70 ('p'), the keypad's 1 is 0x61 ('a'): names end in an upper-case character.
    mDialog->SetHotKey("ctrl-p", "print");
    mDialog->SetHotKey("a", "add");
    mDialog->SetHotKey("@z", "zoom");
    EXPECT_FALSE(mDialog->OnKeyDown(0x70, kModCtrl));
    EXPECT_FALSE(mDialog->OnKeyDown(0x61, 0));
    EXPECT_FALSE(mDialog->OnKeyDown(0x7A, 0)) << "F11";
    EXPECT_TRUE(Pressed().empty());
    EXPECT_TRUE(mDialog->OnKeyDown('P', kModCtrl));
    EXPECT_TRUE(mDialog->OnKeyDown('A', 0));
    EXPECT_TRUE(mDialog->OnKeyDown('Z', kModAlt));
    EXPECT_EQ(Pressed(), (std::vector<std::string>{"print", "add", "zoom"}));
}

TEST_F(TModalWindowTest, AHotKeyReachesTheDialogFromTheFocusWindow) {
    mDialog->SetHotKey("alt-x", "quit");
    Manager()->SetFocus(mEdit);
    mJournal.clear();
    Send(MakeEvent(kEventKeyDown, 0, 0, 'X', kModAlt));
    EXPECT_EQ(mJournal, (TJournal{"edit key 88,4"})) << "taken by the hot key: nothing posted";
    EXPECT_EQ(Pressed(), (std::vector<std::string>{"quit"}));
    // A key the dialog does not map bubbles out as kPressAnyKey.
    mJournal.clear();
    Send(MakeEvent(kEventKeyDown, 0, 0, 'Y', kModAlt));
    EXPECT_EQ(mJournal,
              (TJournal{"edit key 89,4", "edit message 4 'raw:Y'", "dialog message 4 'raw:Y'"}));
}

TEST_F(TModalWindowTest, EnterAndEscapeWithoutButtonsSendDefaultActionToTheFocus) {
    Manager()->SetFocus(mEdit);
    mJournal.clear();
    Send(MakeEvent(kEventChar, 0, 0, 13));
    Send(MakeEvent(kEventChar, 0, 0, 27));
    EXPECT_EQ(mJournal, (TJournal{"edit char 13", "edit message 2 ''", "dialog message 2 ''",
                                  "edit char 27", "edit message 2 ''", "dialog message 2 ''"}))
        << "the message climbs from the focus window, which declines it";

    // Without a focus window the dialog sends it to itself.
    Manager()->SetFocus(nullptr);
    mJournal.clear();
    EXPECT_TRUE(mDialog->OnChar(13));
    EXPECT_EQ(mJournal, (TJournal{"dialog message 2 ''"}));

    // Every other character is declined.
    mJournal.clear();
    EXPECT_FALSE(mDialog->OnChar('a'));
    EXPECT_FALSE(mDialog->OnChar(10));
    EXPECT_TRUE(mJournal.empty());
}

TEST_F(TModalWindowTest, PostCreateGrowsToTheChildrenFirst) {
    TScript script;
    script.DoLuaString("def = { x = 80000, y = 80000 }");
    lua_State* state = script.GetState();
    lua_pushstring(state, "def");
    lua_gettable(state, LUA_GLOBALSINDEX);
    TLuaTable definition(state);
    TWindowStyle style(script, definition);

    auto* dialog = new TProbeDialog("grown", mJournal);
    Place(dialog, new TProbe("wide", mJournal), {0, 0, 300, 20});
    Place(dialog, new TProbe("tall", mJournal), {0, 0, 20, 200});
    dialog->SetSize(100, 100);
    mScreen->AddChild(dialog, false);
    dialog->PostCreate(style);
    // 300 x 200, then centred in the 800 x 600 screen.
    EXPECT_EQ(RectText(dialog->GetRect()), "250,200,550,400");
    mScreen->RemoveChild(dialog);
    Manager()->DeleteWindowLater(dialog);
}

} // namespace
} // namespace manager_test
