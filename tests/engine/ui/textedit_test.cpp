// Text edits built from descriptions and driven by synthetic key and character events on the fake
// clock: the length limit, passwords, caret moves and deletes, Tab through the dialog's edits,
// paste, the blinking caret, the untranslated label, which keys reach the dialog, the messages
// every change posts, and an edit with its caret drawn on the headless software renderer. The test
// font draws every glyph as a filled 16 x 16 box at size 20, 16 pixels apart.

#include "engine/core/event.h"
#include "engine/ui/textedit.h"
#include "engine/ui/textsprite.h"
#include "tests/engine/ui/widget_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace textedit_test {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using widget_test::MakeEvent;
using widget_test::Text;
using widget_test::TWidgetTest;

// Records every AllowEdit question and refuses the actions it is told to.
class TRecordingEdit : public TTextEdit {
public:
    static TWindow* Create() { return new TRecordingEdit; }
    bool AllowEdit(int action, uint8_t character) override {
        sAsked.push_back(action);
        if (sRefused.count(action) != 0) {
            return false;
        }
        return TTextEdit::AllowEdit(action, character);
    }

    static std::vector<int> sAsked;
    static std::set<int> sRefused;
};

std::vector<int> TRecordingEdit::sAsked;
std::set<int> TRecordingEdit::sRefused;

constexpr uint8_t kKeyLeft = 0x25;
constexpr uint8_t kKeyRight = 0x27;
constexpr uint8_t kKeyInsert = 0x2D;
constexpr uint8_t kKeyDelete = 0x2E;

class TTextEditTest : public TWidgetTest {
protected:
    void SetUp() override {
        TWidgetTest::SetUp();
        Manager()->RegisterWindowType("TextEdit", &TRecordingEdit::Create);
        TRecordingEdit::sAsked.clear();
        TRecordingEdit::sRefused.clear();
        mDialog = PushDialog("dialog",
                             TRect{0, 0, widget_test::kScreenWidth, widget_test::kScreenHeight});
        ScriptMessages();
    }

    // An edit in the dialog, with the focus.
    TTextEdit* MakeEdit(const std::string& properties = "") {
        Build("TextEdit{ name = 'e', x = 0, y = 0, w = 150, h = 30, font = { "
              "'fonts/test.mvec', 20, { 1, 1, 1, 1 } }, " +
              properties + " }");
        auto* edit = Find<TTextEdit>("e");
        EXPECT_NE(edit, nullptr);
        Manager()->SetFocus(edit);
        TRecordingEdit::sAsked.clear();
        ScriptMessages();
        return edit;
    }

    void Type(const std::string& text) {
        for (const char c : text) {
            Send(MakeEvent(kEventChar, 0, 0, static_cast<uint8_t>(c)));
        }
    }
    void Key(uint8_t key, int modifiers = 0) {
        Send(MakeEvent(kEventKeyDown, 0, 0, key, modifiers));
    }

    // The markup the edit gives its sprite.
    static std::string Shown(const TTextEdit* edit) { return Text(edit->GetSprite()->GetText()); }

    TModalWindow* mDialog = nullptr;
};

TEST_F(TTextEditTest, TypingStopsAtTheLimitAndTheRefusalPostsNothing) {
    TTextEdit* edit = MakeEdit();
    Type("abcdefghij");
    EXPECT_EQ(ScriptMessages().size(), 10u);
    EXPECT_EQ(Text(edit->GetText()), "abcdefghij");
    TRecordingEdit::sAsked.clear();
    Type("k");
    EXPECT_EQ(Text(edit->GetText()), "abcdefghij");
    EXPECT_THAT(TRecordingEdit::sAsked,
                ElementsAre(TTextEdit::kEditInsert, TTextEdit::kEditRefused));
    EXPECT_THAT(ScriptMessages(), IsEmpty());
}

TEST_F(TTextEditTest, EveryChangePostsTextEditChanged) {
    TTextEdit* edit = MakeEdit("label = 'abc', length = 20, ignore = '#'");
    struct TCase {
        const char* what;
        int type;
        uint8_t code;
        int modifiers;
        const char* text;
        int cursor;
        std::vector<std::string> messages;
    };
    const std::vector<TCase> cases = {
        {"typed", kEventChar, 'd', 0, "abcd", 4, {"7 e"}},
        {"ignored: swallowed, still told", kEventChar, '#', 0, "abcd", 4, {"7 e"}},
        {"left", kEventKeyDown, kKeyLeft, 0, "abcd", 3, {}},
        {"left again", kEventKeyDown, kKeyLeft, 0, "abcd", 2, {}},
        {"right", kEventKeyDown, kKeyRight, 0, "abcd", 3, {}},
        {"backspace", kEventChar, 8, 0, "abd", 2, {"7 e"}},
        {"delete", kEventKeyDown, kKeyDelete, 0, "ab", 2, {"7 e"}},
        {"delete at the end", kEventKeyDown, kKeyDelete, 0, "ab", 2, {}},
        {"right at the end", kEventKeyDown, kKeyRight, 0, "ab", 2, {}},
        // Refused: the dialog answers Enter with its default action.
        {"enter", kEventChar, 13, 0, "ab", 2, {"2 "}},
        {"control byte", kEventChar, 3, 0, "ab", 2, {}},
        {"high byte in a plain edit", kEventChar, 200, 0, "ab", 2, {}},
    };
    for (const TCase& c : cases) {
        Send(MakeEvent(c.type, 0, 0, c.code, c.modifiers));
        EXPECT_EQ(Text(edit->GetText()), c.text) << c.what;
        EXPECT_EQ(edit->GetCursor(), c.cursor) << c.what;
        EXPECT_EQ(ScriptMessages(), c.messages) << c.what;
    }
}

TEST_F(TTextEditTest, DeleteAsksAsBackspaceDoes) {
    TTextEdit* edit = MakeEdit("label = 'abc'");
    Key(kKeyLeft);
    TRecordingEdit::sAsked.clear();
    TRecordingEdit::sRefused = {TTextEdit::kEditMoveOrDelete};
    Key(kKeyDelete);
    Type("\b");
    EXPECT_THAT(TRecordingEdit::sAsked,
                ElementsAre(TTextEdit::kEditMoveOrDelete, TTextEdit::kEditMoveOrDelete));
    EXPECT_EQ(Text(edit->GetText()), "abc");
    EXPECT_THAT(ScriptMessages(), IsEmpty());
}

TEST_F(TTextEditTest, NothingBeforePositionZero) {
    TTextEdit* edit = MakeEdit("label = 'abc'");
    for (int i = 0; i < 3; ++i) {
        Key(kKeyLeft);
    }
    ASSERT_EQ(edit->GetCursor(), 0);
    ScriptMessages();
    TRecordingEdit::sAsked.clear();
    EXPECT_FALSE(edit->OnChar(8));
    EXPECT_TRUE(edit->OnKeyDown(kKeyLeft, 0));
    EXPECT_EQ(Text(edit->GetText()), "abc");
    EXPECT_EQ(edit->GetCursor(), 0);
    EXPECT_THAT(TRecordingEdit::sAsked,
                ElementsAre(TTextEdit::kEditRefused, TTextEdit::kEditRefused));
    Manager()->ProcessMessages();
    EXPECT_THAT(ScriptMessages(), IsEmpty());
}

TEST_F(TTextEditTest, PasswordShowsOneStarPerByteAndTakesHighBytes) {
    TTextEdit* edit = MakeEdit("label = 'abc', password = true");
    Manager()->SetFocus(nullptr);
    edit->OnAnimate();
    EXPECT_EQ(Shown(edit), "***");
    EXPECT_EQ(Text(edit->GetText()), "abc");
    // Compared unsigned: bytes 128 to 255 are no control characters.
    EXPECT_TRUE(edit->OnChar(200));
    EXPECT_EQ(Text(edit->GetText()), "abc\xC8");
    EXPECT_EQ(Shown(edit), "****");
}

TEST_F(TTextEditTest, TabPassesTheFocusRoundTheDialog) {
    for (const char* name : {"one", "two", "three"}) {
        Build(std::string("TextEdit{ name = '") + name + "', w = 100, h = 30 }");
    }
    auto* one = Find<TTextEdit>("one");
    auto* two = Find<TTextEdit>("two");
    auto* three = Find<TTextEdit>("three");
    ASSERT_TRUE(one->GetGroup());
    EXPECT_EQ(one->GetGroup(), three->GetGroup());
    EXPECT_EQ(one->GetGroup()->size(), 3u);
    Manager()->SetFocus(three);
    EXPECT_FALSE(three->OnChar(9));
    EXPECT_EQ(Manager()->GetFocus(), one);
    Type("\t");
    EXPECT_EQ(Manager()->GetFocus(), two);
    Manager()->ProcessMessages();
    EXPECT_THAT(ScriptMessages(), IsEmpty());
    // A deleted edit leaves the group.
    mDialog->RemoveChild(two);
    delete two;
    EXPECT_EQ(one->GetGroup()->size(), 2u);
    Manager()->SetFocus(one);
    Type("\t");
    EXPECT_EQ(Manager()->GetFocus(), three);
}

TEST_F(TTextEditTest, TabOutsideAnyModalWindowKeepsTheFocus) {
    TTextEdit loose;
    loose.Attach();
    EXPECT_FALSE(loose.GetGroup());
    Manager()->SetFocus(&loose);
    EXPECT_FALSE(loose.OnChar(9));
    EXPECT_EQ(Manager()->GetFocus(), &loose);
    Manager()->SetFocus(nullptr);
}

TEST_F(TTextEditTest, PasteCutsToTheLimitThenDropsIgnoredAndControlBytes) {
    TPlatform* platform = TPlatform::GetInstance();
    struct TCase {
        const char* clipboard;
        uint8_t key;
        int modifiers;
        const char* text;
        bool handled;
        bool posted;
    };
    const TCase cases[] = {
        // Cut to "ab\tc de|fg", then '|' and the tab go.
        {"ab\tc de|fghijklm", 'V', kModCtrl, "abc defg", true, true},
        {"x\xE9y", kKeyInsert, 0, "xy", true, true},
        {"x\xE9y", kKeyInsert, kModShift, "xy", true, false},
        // Nothing to paste: control + V goes on to the dialog.
        {"", 'V', kModCtrl, "xy", false, false},
        // 'V' alone is a letter.
        {"zzz", 'V', 0, "xy", true, false},
    };
    TTextEdit* edit = MakeEdit("ignore = '|'");
    for (const TCase& c : cases) {
        platform->SetClipboardText(c.clipboard);
        EXPECT_EQ(edit->OnKeyDown(c.key, c.modifiers), c.handled) << c.clipboard;
        EXPECT_EQ(Text(edit->GetText()), c.text) << c.clipboard;
        Manager()->ProcessMessages();
        EXPECT_EQ(ScriptMessages().size(), c.posted ? 1u : 0u) << c.clipboard;
    }
    EXPECT_EQ(edit->GetCursor(), 2);
}

TEST_F(TTextEditTest, PlainKeysStayInTheEdit) {
    TTextEdit* edit = MakeEdit();
    struct TCase {
        uint8_t key;
        int modifiers;
        bool handled;
    };
    const TCase cases[] = {
        {'A', 0, true},         {'7', 0, true},        {'A', kModShift, true},
        {'S', kModCtrl, false}, {'A', kModAlt, false}, {0x70, 0, false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(edit->OnKeyDown(c.key, c.modifiers), c.handled)
            << int(c.key) << " " << c.modifiers;
    }
}

TEST_F(TTextEditTest, CaretBlinksOnlyWithTheFocus) {
    TTextEdit* edit = MakeEdit("label = 'ab'");
    Key(kKeyLeft);
    struct TCase {
        int time;
        const char* shown;
    };
    const TCase cases[] = {
        {0, "ab"},   {400, "ab"},  {401, "a<cursor>b"},  {799, "a<cursor>b"},
        {800, "ab"}, {1200, "ab"}, {1201, "a<cursor>b"},
    };
    int now = 0;
    for (const TCase& c : cases) {
        standin::AdvanceTime(static_cast<DWORD>(c.time - now));
        now = c.time;
        edit->OnAnimate();
        EXPECT_EQ(Shown(edit), c.shown) << c.time;
    }
    Manager()->SetFocus(nullptr);
    edit->OnAnimate();
    EXPECT_EQ(Shown(edit), "ab");
}

TEST_F(TTextEditTest, TypedMarkupShowsAsTyped) {
    TTextEdit* edit = MakeEdit();
    Type("<b\\");
    EXPECT_EQ(Text(edit->GetText()), "<b\\");
    standin::AdvanceTime(500);
    edit->OnAnimate();
    EXPECT_EQ(Shown(edit), "\\<b\\\\<cursor>");
}

TEST_F(TTextEditTest, LabelIsTheInitialTextNeverTranslated) {
    AddStrings({{"hello", "bonjour"}});
    Manager()->SetTranslateLabels(true);
    TTextEdit* edit = MakeEdit("label = 'hello', length = 3.9");
    EXPECT_EQ(Text(edit->GetText()), "hello");
    EXPECT_EQ(edit->GetCursor(), 5);
    EXPECT_EQ(edit->GetLengthLimit(), 3);
    EXPECT_TRUE(Script()->GetTranslateLabels());
    // A script reads and sets the edited text as any text window's.
    Run("SetLabel('e', 'new') gRead = GetLabel('e')");
    EXPECT_EQ(Global("gRead"), "new");
}

TEST_F(TTextEditTest, GoldenCaretAndPassword) {
    // The test font with a star.
    std::vector<text_test::TGlyphParams> glyphs;
    for (const char c : std::string(" Wabc*")) {
        glyphs.push_back(text_test::TGlyphParams{static_cast<unsigned char>(c)});
    }
    mFonts.Serve("fonts/star.mvec", text_test::FontBytes(glyphs));
    Build("TextEdit{ name = 'e', x = 10, y = 10, w = 140, h = 30, label = 'ab', font = { "
          "'fonts/test.mvec', 20, { 1, 1, 1, 1 } } }");
    Build("TextEdit{ name = 'p', x = 10, y = 60, w = 140, h = 30, label = 'abc', password = true, "
          "font = { 'fonts/star.mvec', 20, { 1, 1, 0, 1 } } }");
    auto* edit = Find<TTextEdit>("e");
    Manager()->SetFocus(edit);
    Key(kKeyLeft);
    standin::AdvanceTime(500);
    edit->OnAnimate();
    Find<TTextEdit>("p")->OnAnimate();
    ASSERT_EQ(Shown(edit), "a<cursor>b");
    const standin::TScreenImage image = DrawFrame();
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    // 'a' from x 12 to 26, rows 13 to 28; the caret a bar from x 29 to 32 one row taller at both
    // ends; the stars yellow from x 12 to 60 at rows 63 to 78.
    EXPECT_EQ(at(20, 20), 0xFFFFFFu);
    EXPECT_EQ(at(30, 12), 0xFFFFFFu);
    EXPECT_EQ(at(30, 29), 0xFFFFFFu);
    EXPECT_EQ(at(20, 12), 0u);
    EXPECT_EQ(at(30, 10), 0u);
    EXPECT_EQ(at(20, 70), 0xFFFF00u);
    EXPECT_EQ(at(55, 70), 0xFFFF00u);
    EXPECT_EQ(at(65, 70), 0u);
    testing_fixtures::ExpectGolden(image, "tests/engine/ui/golden/textedit_caret.png");
}

} // namespace
} // namespace textedit_test
