// The choose-player window and the name edit of the new-player dialog: the names handed to the
// screen's script, the selected button, the Lua functions going with the window, the initial text
// cleared at the first click or key, the OK button following the text, and the typing sound.

#include "engine/core/assetmap.h"
#include "engine/media/media.h"
#include "engine/system/medialink.h"
#include "engine/ui/button.h"
#include "game/shell/TChoosePlayer.h"
#include "game/shell/TCustomTextEdit.h"
#include "tests/fixtures/testpaths.h"
#include "tests/game/shell/screen_fixture.h"

#include <gmock/gmock.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace chooseplayer_test {

using screen_test::Text;
using widget_test::TBytes;

// The screen's function notes what it was given: the selected index, the count and the names.
const char kScreenScript[] = R"(
gChoices = {}
function UpdatePlayerChoices(current, count, names)
  gCurrent = current gCount = count gChoices = names gCalls = (gCalls or 0) + 1
end
)";

class TChoosePlayerTest : public screen_test::TScreenTest {
protected:
    void SetUp() override {
        TScreenTest::SetUp();
        Run("kToggle = 1");
        Run(kScreenScript);
        Script()->RegisterWindowType("ChoosePlayerWindow", &TChoosePlayer::Create);
    }

    TChoosePlayer* Open(const std::string& buttons = "") {
        Build("ChoosePlayerWindow{ name = 'choose', x = 0, y = 0, w = 160, h = 120, " + buttons +
              " }");
        return Find<TChoosePlayer>("choose");
    }

    static std::vector<std::string> Choices() {
        std::vector<std::string> names;
        Run("gJoined = table.concat(gChoices, '|')");
        const std::string joined = Text(Script()->GetGlobalString("gJoined"));
        if (joined.empty()) {
            return names;
        }
        size_t start = 0;
        for (size_t bar = joined.find('|');; bar = joined.find('|', start)) {
            names.push_back(joined.substr(start, bar - start));
            if (bar == std::string::npos) {
                break;
            }
            start = bar + 1;
        }
        return names;
    }
};

TEST_F(TChoosePlayerTest, TwelvePlayersGiveTenNamesAndTheCountTwelve) {
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
        names.push_back("p" + std::to_string(i));
    }
    MakeProfiles(names, 4);
    TChoosePlayer* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(window->GetClassName(), "TChoosePlayer");
    EXPECT_EQ(Script()->GetGlobalNumber("gCalls"), 1);
    EXPECT_EQ(Script()->GetGlobalNumber("gCurrent"), 4);
    EXPECT_EQ(Script()->GetGlobalNumber("gCount"), 12);
    EXPECT_EQ(Choices(), std::vector<std::string>(names.begin(), names.begin() + 10));
    Run("SetPlayerChoices()");
    EXPECT_EQ(Script()->GetGlobalNumber("gCalls"), 2);
}

TEST_F(TChoosePlayerTest, NamesWithQuotesBackslashesAndBracketsArriveIntact) {
    const std::vector<std::string> names = {
        "it's", "back\\slash", "a]]b", "x'); gHacked = 1 --", "[[long]]", "tab\there"};
    MakeProfiles(names, 0);
    ASSERT_NE(Open(), nullptr);
    EXPECT_EQ(Choices(), names);
    EXPECT_TRUE(IsNil("gHacked"));
    EXPECT_EQ(Text(TChoosePlayer::PlayerChoicesCall(-1, 2, "{'a','b',}")),
              "UpdatePlayerChoices( -1, 2, {'a','b',} )");
}

TEST_F(TChoosePlayerTest, TheSelectedButtonNamesThePlayerAndNoneGivesZero) {
    MakeProfiles({"ann", "bob", "cy", "dee"}, -1);
    std::string buttons;
    for (int i = 0; i < 4; ++i) {
        buttons += "Button{ name = 'button" + std::to_string(i) +
                   "', x = " + std::to_string(i * 30) +
                   ", y = 0, w = 20, h = 20, type = kToggle },";
    }
    // A plain window under a button's name is no button.
    buttons += "Window{ name = 'button4', x = 0, y = 40, w = 20, h = 20 },";
    ASSERT_NE(Open(buttons), nullptr);
    EXPECT_EQ(Script()->GetGlobalNumber("gCurrent"), -1);
    EXPECT_EQ(Script()->GetGlobalNumber("gCount"), 4);

    struct TCase {
        int toggled;
        int selected;
        const char* name;
    };
    for (const TCase& c : {TCase{-1, 0, "ann"}, TCase{2, 2, "cy"}, TCase{3, 3, "dee"}}) {
        for (int i = 0; i < 4; ++i) {
            Find<TButton>(("button" + std::to_string(i)).c_str())->SetToggleState(i == c.toggled);
        }
        Run("selected = GetCurrentSelectedUser() name = GetSelectedPlayerName()");
        EXPECT_EQ(Script()->GetGlobalNumber("selected"), c.selected) << c.toggled;
        EXPECT_EQ(Text(Script()->GetGlobalString("name")), c.name) << c.toggled;
    }
}

TEST_F(TChoosePlayerTest, ASelectionPastThePlayersHasNoName) {
    MakeProfiles({"ann"}, 0);
    ASSERT_NE(Open("Button{ name = 'button3', x = 0, y = 0, w = 20, h = 20, type = kToggle },"),
              nullptr);
    Find<TButton>("button3")->SetToggleState(true);
    Run("name = GetSelectedPlayerName()");
    EXPECT_EQ(Text(Script()->GetGlobalString("name")), "");
}

TEST_F(TChoosePlayerTest, ClosedItsFunctionsAreGoneAndAKeptCopyIsAScriptError) {
    MakeProfiles({"ann"}, 0);
    TChoosePlayer* window = Open();
    ASSERT_NE(window, nullptr);
    Run("held = GetCurrentSelectedUser");
    Close(window);
    for (const char* name :
         {"SetPlayerChoices", "GetCurrentSelectedUser", "GetSelectedPlayerName"}) {
        EXPECT_TRUE(IsNil(name)) << name;
    }
    Run("ok = pcall(held)");
    EXPECT_FALSE(BoolGlobal("ok"));
}

// The new-player dialog: a name edit whose initial text goes at the first click or key, and the OK
// button it enables.
class TNameEditTest : public screen_test::TScreenTest {
protected:
    void SetUp() override {
        TScreenTest::SetUp();
        // Only the media's asset loaders, which load the typing sound; the fixture's platform
        // keeps its own renderer and sound.
        RegisterMedia();
        SetRendererHooks(nullptr, nullptr);
        SetSoundManagerFactory(nullptr);
        std::ifstream file(testing_fixtures::SourceDir() / "tests/engine/ui/sounds/click.ogg",
                           std::ios::binary);
        AddFile("audio/sfx/typing.ogg", TBytes(std::istreambuf_iterator<char>(file), {}));
        Script()->RegisterWindowType("TextEdit", &TCustomTextEdit::Create);
        PushDialog("new_player", TRect{0, 0, 160, 120});
    }

    void TearDown() override {
        TScreenTest::TearDown();
        SetAssetLoaderLink(nullptr);
    }

    TCustomTextEdit* Open(const std::string& keys) {
        Build("Button{ name = 'ok', x = 0, y = 80, w = 40, h = 20 }");
        Build("TextEdit{ name = 'edit', x = 0, y = 0, w = 160, h = 30, " + keys + " }");
        return Find<TCustomTextEdit>("edit");
    }

    static bool OkEnabled() { return Shown(Find("ok")); }

    // How often the log says a sound was asked to play: the test platform has no sound manager.
    int Plays() const {
        const std::string log = LogText();
        int count = 0;
        for (size_t at = log.find("No Sound Manager"); at != std::string::npos;
             at = log.find("No Sound Manager", at + 1)) {
            ++count;
        }
        return count;
    }
};

constexpr uint8_t kBackspace = 8;
constexpr uint8_t kLeft = 37;
constexpr uint8_t kDelete = 46;

TEST_F(TNameEditTest, TheInitialTextGoesAtTheFirstClickAndTheKeysThenGoIn) {
    TCustomTextEdit* edit = Open("label = 'Your name', clearinitial = true, enablewindow = 'ok'");
    ASSERT_NE(edit, nullptr);
    EXPECT_STREQ(edit->GetClassName(), "TCustomTextEdit");
    EXPECT_TRUE(edit->IsKindOf(TTextEdit::ClassId()));
    EXPECT_EQ(Text(edit->GetText()), "Your name");
    EXPECT_FALSE(edit->IsInitialCleared());
    EXPECT_TRUE(edit->OnMouseUp(TPoint{5, 5}));
    EXPECT_EQ(Text(edit->GetText()), "");
    EXPECT_FALSE(OkEnabled()) << "the button follows the emptied text";
    EXPECT_TRUE(edit->OnChar('a'));
    EXPECT_EQ(Text(edit->GetText()), "a");
    EXPECT_FALSE(edit->OnMouseUp(TPoint{5, 5})) << "later clicks are the text window's";
    EXPECT_EQ(Text(edit->GetText()), "a");
}

TEST_F(TNameEditTest, TheFirstKeyEmptiesTheEditAndIsInserted) {
    struct TCase {
        uint8_t key;
        bool isChar;
        const char* text;
    };
    // A character goes into the emptied text; moves and deletes find nothing left to act on, and
    // the caret stays at 0 (a move past the emptied text would leave it outside).
    for (const TCase& c : {TCase{'b', true, "b"}, TCase{kBackspace, true, ""},
                           TCase{kLeft, false, ""}, TCase{kDelete, false, ""}}) {
        TCustomTextEdit* edit = Open("label = 'abc', clearinitial = true");
        ASSERT_NE(edit, nullptr);
        if (c.isChar) {
            edit->OnChar(c.key);
        } else {
            edit->OnKeyDown(c.key, 0);
        }
        EXPECT_EQ(Text(edit->GetText()), c.text) << int{c.key};
        EXPECT_EQ(edit->GetCursor(), static_cast<int>(std::string(c.text).size())) << int{c.key};
        Manager()->GetTopModal()->DeleteChildren();
        Manager()->DeletePendingWindows();
    }
    // Without "clearinitial" the text stays.
    TCustomTextEdit* edit = Open("label = 'abc'");
    edit->OnChar('d');
    EXPECT_EQ(Text(edit->GetText()), "abcd");
}

TEST_F(TNameEditTest, TheEnableWindowFollowsTheTextAfterEachChange) {
    TCustomTextEdit* edit = Open("label = '', enablewindow = 'ok'");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(Text(edit->GetEnableWindowName()), "ok");
    edit->OnChar('a');
    EXPECT_TRUE(OkEnabled());
    edit->OnChar(kBackspace);
    EXPECT_FALSE(OkEnabled()) << "the last character erased";
    edit->OnChar('x');
    EXPECT_TRUE(OkEnabled()) << "the first one typed";
    edit->OnKeyDown(kLeft, 0);
    ASSERT_EQ(edit->GetCursor(), 0);
    edit->OnChar(kBackspace);
    EXPECT_EQ(Text(edit->GetText()), "x");
    EXPECT_TRUE(OkEnabled()) << "Backspace at the caret's start keeps it";
    edit->OnKeyDown(kDelete, 0);
    EXPECT_EQ(Text(edit->GetText()), "");
    EXPECT_FALSE(OkEnabled()) << "Delete re-evaluates after the deletion";
    // Delete with nothing to delete re-evaluates too: the script's enabling is undone.
    Find("ok")->SetFlags(Find("ok")->GetFlags() | TWindow::kEnabled);
    edit->OnKeyDown(kDelete, 0);
    EXPECT_FALSE(OkEnabled());
}

TEST_F(TNameEditTest, EachAcceptedCharacterPlaysTheTypingSoundAndARefusedOneNothing) {
    TCustomTextEdit* edit = Open("label = '', length = 3, enablewindow = 'ok'");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(Plays(), 0);
    for (const char c : std::string("abc")) {
        edit->OnChar(static_cast<uint8_t>(c));
    }
    EXPECT_EQ(Plays(), 3);
    EXPECT_TRUE(OkEnabled());
    // The script disabled the button meanwhile; the refused character leaves it so.
    Find("ok")->SetFlags(Find("ok")->GetFlags() & ~TWindow::kEnabled);
    EXPECT_FALSE(edit->OnChar('d'));
    EXPECT_EQ(Text(edit->GetText()), "abc");
    EXPECT_EQ(Plays(), 3);
    EXPECT_FALSE(OkEnabled());
}

TEST_F(TNameEditTest, AMissingEnableWindowOrTypingSoundIsLeftAlone) {
    RemoveFile("audio/sfx/typing.ogg");
    TCustomTextEdit* edit = Open("label = '', enablewindow = 'nothere'");
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->OnChar('a'));
    EXPECT_EQ(Text(edit->GetText()), "a");
    EXPECT_EQ(Plays(), 0);
    EXPECT_TRUE(OkEnabled());
}

} // namespace chooseplayer_test
