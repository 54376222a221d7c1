// The window script library: its constants, the description language run from dialog files, and
// the functions that only pass their arguments on.
#include "tests/engine/ui/windowlibrary_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace windowlibrary_test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class TLibraryTest : public TWindowLibraryTest {
protected:
    // Builds the dialog file in a fresh modal window named "host".
    void Build(const char* file) {
        Lua("PushModal('host')");
        Lua(std::string("ReadFile('") + file + "')");
    }
};

TEST_F(TLibraryTest, ConstantsAndStartValues) {
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"LUA_PATH", "?;../?;../../?"},
        {"kHAlignLeft", "0"},
        {"kHAlignCenter", "1"},
        {"kHAlignRight", "2"},
        {"kVAlignTop", "0"},
        {"kVAlignCenter", "4"},
        {"kVAlignBottom", "8"},
        {"kPushButtonAlignment", "5"},
        {"kRadioButtonAlignment", "4"},
        {"kToggleButtonAlignment", "5"},
        {"kPush", "0"},
        {"kToggle", "1"},
        {"kRadio", "2"},
        {"kAllLayers", "-1"},
        {"kCenter", "80000"},
        {"kMax", "160000"},
        {"kDefault", "128"},
        {"kCmdLine", "cmdline"},
        {"kLevel", "level"},
        {"kSubLevel", "sublevel"},
        {"kPause", "pause"},
        {"kMute", "mute"},
        {"kBreakNow", "breaknow"},
        {"kScore", "score"},
        {"kGameMode", "gamemode"},
        {"kGameOver", "gameover"},
        {"kRestartButton", "restartbutton"},
        {"kSystemMode", "systemmode"},
        {"kMaxLevel", "maxlevel"},
        {"kCheatMode", "cheatmode"},
        {"kComputerId", "computerid"},
        {"kInstallKey", "installkey"},
        {"kGameName", "gamename"},
        {"kGameVersion", "version"},
        {"kEncryptionKey", "encryptionkey"},
        {"kHiscoreLocalOnly", "hiscorelocal"},
        {"kHiscoreAnonymous", "hiscoreanon"},
        {"gReturnValue", "nil"},
        {"gCurID", "100"},
        {"gBeginGroup", "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Global(c.name), c.value) << c.name;
    }

    struct Kind {
        const char* name;
        int32_t kind;
    };
    const Kind kinds[] = {
        {"kGeneric", TMessage::kGeneric},
        {"kCloseWindow", TMessage::kCloseWindow},
        {"kDefaultAction", TMessage::kDefaultAction},
        {"kButtonPress", TMessage::kButtonPress},
        {"kPressAnyKey", TMessage::kPressAnyKey},
        {"kQuitNow", TMessage::kQuitNow},
        {"kModalClosed", TMessage::kModalClosed},
        {"kTextEditChanged", TMessage::kTextEditChanged},
        {"kCommandOnly", TMessage::kCommandOnly},
        {"kSliderValChanged", TMessage::kSliderValChanged},
        {"kSliderMouseUp", TMessage::kSliderMouseUp},
        {"kSliderPageUp", TMessage::kSliderPageUp},
        {"kSliderPageDown", TMessage::kSliderPageDown},
        {"kUserMessageBase", TMessage::kUserMessageBase},
    };
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(kinds[i].kind, i) << kinds[i].name;
    }
    for (const Kind& k : kinds) {
        EXPECT_EQ(Global(k.name), std::to_string(k.kind)) << k.name;
    }

    for (const char* table : {"gMessageQueue", "gCommandQueue", "gClosedWindows", "gDialogTable",
                              "idtable", "gParent", "gCurrentDefaultStyle"}) {
        Lua(std::string("gEmpty = type(") + table + ") == 'table' and next(" + table + ") == nil");
        EXPECT_EQ(Global("gEmpty"), "true") << table;
    }
}

TEST_F(TLibraryTest, ColorsAndPositions) {
    Lua("gRed = table.concat(Color(255, 0, 0), ',')\n"
        "gFifth = Color(0, 0, 0, 51)[4] == 0.2\n"
        "gNoAlpha = Color(51, 102, 255, false)[4]\n"
        "gF = table.concat(FColor(0.5, 0.25, 1), ',')\n"
        "gFA = table.concat(FColor(0.5, 0.25, 1, 0.75), ',')\n"
        "gDialogWidth = 90 gDialogHeight = 50\n"
        "gX = table.concat(DistributeX(2), ',') gY = table.concat(DistributeY(4), ',')\n"
        "gNone = table.getn(DistributeX(0))");
    EXPECT_EQ(Global("gRed"), "1,0,0,1");
    EXPECT_EQ(Global("gFifth"), "true");
    EXPECT_EQ(Global("gNoAlpha"), "1");
    EXPECT_EQ(Global("gF"), "0.5,0.25,1,1");
    EXPECT_EQ(Global("gFA"), "0.5,0.25,1,0.75");
    EXPECT_EQ(Global("gX"), "30,60");
    EXPECT_EQ(Global("gY"), "10,20,30,40");
    EXPECT_EQ(Global("gNone"), "0");
    // DistributeX leaves its divisor and last fraction behind; DistributeY keeps them local.
    EXPECT_EQ(Global("divisor"), "1");
    EXPECT_EQ(Global("d"), "0.66666666666667");

    // The width of the window created last.
    Build("distribute.lua");
    EXPECT_EQ(Global("gXs"), "100,200,300");
    EXPECT_EQ(Global("gYs"), "100,200");
}

TEST_F(TLibraryTest, StylesLastToTheEndOfTheirDescription) {
    Build("styles.lua");
    EXPECT_THAT(mJournal, ElementsAre("first in host: font=outer group=0",
                                      "nested in box: font=outer group=0",
                                      "twice in again: font=outer group=0",
                                      "after in host: font=outer group=0"));
    // Read through gInner's parent, then gInner gone with the end of "box".
    Lua("gNestedSize = gInner.parent == gOuter\n"
        "gRestored = gCurrentDefaultStyle == gKeep");
    EXPECT_EQ(Global("gNestedSize"), "true") << "appended twice, gInner is not its own parent";
    EXPECT_EQ(Global("gTwiceFont"), "outer");
    EXPECT_EQ(Global("gRestored"), "true");
    EXPECT_EQ(LogText().find("loops"), std::string::npos) << LogText();
}

TEST_F(TLibraryTest, AppendStyleNeverClosesALoop) {
    // A, B, A: the second A finds itself in the chain and keeps its parent.
    Lua("base = {} a = { name = 'a' } b = { name = 'b' }\n"
        "SetDefaultStyle(base)\n"
        "AppendStyle(a)() AppendStyle(b)() AppendStyle(a)()\n"
        "gSteps = 0 local s = gCurrentDefaultStyle\n"
        "while s and gSteps < 10 do gSteps = gSteps + 1 s = s.parent end\n"
        "gTop = gCurrentDefaultStyle.name gParentIsBase = a.parent == base");
    EXPECT_EQ(Global("gTop"), "a");
    EXPECT_EQ(Global("gParentIsBase"), "true");
    EXPECT_EQ(Global("gSteps"), "2");
}

TEST_F(TLibraryTest, BeginGroupMarksOnlyTheNextWindow) {
    Build("groups.lua");
    EXPECT_THAT(mJournal, ElementsAre("r1 in host: font=- group=1", "r2 in host: font=- group=0",
                                      "r3 in host: font=- group=1", "r4 in r3: font=- group=0"));
    EXPECT_EQ(Global("gBeginGroup"), "0");
}

TEST_F(TLibraryTest, GetTag) {
    struct Case {
        const char* setup;
        const char* call;
        const char* result;
    };
    const Case cases[] = {
        {"", "GetTag({ a = 1 }, 'a')", "1"},
        // A false value counts as missing.
        {"gCurrentDefaultStyle = { a = 2 }", "GetTag({ a = false }, 'a')", "2"},
        {"gCurrentDefaultStyle = { parent = { a = 3 } }", "GetTag({}, 'a')", "3"},
        // Two arguments: the default style stands behind the table, not the table's parent.
        {"gCurrentDefaultStyle = {}", "GetTag({ parent = { a = 4 } }, 'a')", "nil"},
        {"gCurrentDefaultStyle = { a = 5 }",
         "GetTag({ parent = { parent = { a = 4 } } }, 'a', true)", "4"},
        {"gCurrentDefaultStyle = { a = 5 }", "GetTag({}, 'a', true)", "nil"},
        {"loop = { b = 1 } loop.parent = loop", "GetTag(loop, 'a', true)", "nil"},
        {"gCurrentDefaultStyle = { b = 1 } gCurrentDefaultStyle.parent = gCurrentDefaultStyle",
         "GetTag({}, 'a')", "nil"},
    };
    for (const Case& c : cases) {
        Lua(std::string("gCurrentDefaultStyle = {} ") + c.setup + " gTag = " + c.call);
        EXPECT_EQ(Global("gTag"), c.result) << c.call;
    }
}

TEST_F(TLibraryTest, GroupLayerAndFitClosuresActOnTheCreationTop) {
    Lua("function DoSelectLayer(index) Note('layer ' .. index) end");
    Build("group.lua");
    EXPECT_THAT(mJournal, ElementsAre("g1 in holder: font=group group=0", "layer 2",
                                      "g2 in holder: font=- group=0"));
    TWindow* holder = Find("holder");
    ASSERT_NE(holder, nullptr);
    EXPECT_EQ(holder->GetWidth(), 100);
    TWindow* fit = Find("fit");
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(manager_test::RectText(fit->GetRect()), "0,0,60,60");
}

TEST_F(TLibraryTest, ADescriptionOfAnUnknownTypeLeavesItsParentAlone) {
    Manager()->RegisterWindowType("Gadget", nullptr);
    Build("unknown.lua");
    EXPECT_THAT(mJournal, ElementsAre("orphan in parent: font=- group=0",
                                      "sibling in parent: font=- group=0"));
    TWindow* parent = Find("parent");
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(manager_test::RectText(parent->GetRect()), "0,0,200,100");
    EXPECT_EQ(Find("ghost"), nullptr);
    EXPECT_EQ(parent->GetParent(), Manager()->GetTopModal());
    EXPECT_EQ(mScript->GetCreationDepth(), 1u);
    EXPECT_EQ(mScript->GetCreationTop(), Manager()->GetTopModal());
}

TEST_F(TLibraryTest, ArgumentsPassedOn) {
    Lua("function Record(name)\n"
        "  return function(...)\n"
        "    local parts = {}\n"
        "    for i = 1, arg.n do parts[i] = tostring(arg[i]) end\n"
        "    Note(name .. '(' .. table.concat(parts, ',') .. ')')\n"
        "    return 'answer'\n"
        "  end\n"
        "end\n"
        "_GetString = Record('_GetString') _SetBitmap = Record('_SetBitmap')\n"
        "_RegisterHotkey = Record('_RegisterHotkey') DoPopModal = Record('DoPopModal')\n"
        "RealSetFocus = Record('RealSetFocus')");
    Lua("gAnswer = GetString('label', nil, 5)\n"
        "GetString('all', 'a', false, 3, 'd', 'e')\n"
        "SetBitmap('logo', 'a.png') SetBitmap('logo', 'b.png', 0.5)\n"
        "RegisterHotkey(nil, 'play') RegisterHotkey('@p', nil) RegisterHotkey(false, 'play')\n"
        "RegisterHotkey('@p', 'play')\n"
        "PopModal('dialog') SetFocus('ok')");
    EXPECT_THAT(mJournal,
                ElementsAre("_GetString(label,,5,,,)", "_GetString(all,a,,3,d,e)",
                            "_SetBitmap(logo,a.png,1)", "_SetBitmap(logo,b.png,0.5)",
                            "_RegisterHotkey(@p,play)", "DoPopModal(dialog)", "RealSetFocus(ok)"));
    EXPECT_EQ(Global("gAnswer"), "answer");
}

TEST_F(TLibraryTest, GetStringReachesTheStringTable) {
    Lua("gText = GetString('#Plain text')");
    EXPECT_EQ(Global("gText"), "Plain text");
}

TEST_F(TLibraryTest, SetStatePassesTexts) {
    AddGameStateHandler();
    Lua("SetState(kPause, true) gPause = GetState('pause')\n"
        "SetState(kMute, false) gMute = GetState('mute')\n"
        "SetState(kLevel, 7) gLevel = GetState('level')\n"
        "SetState(kGameMode, 'endless') gMode = GetState('gamemode')");
    EXPECT_EQ(Global("gPause"), "1");
    EXPECT_EQ(Global("gMute"), "0");
    EXPECT_EQ(Global("gLevel"), "7");
    EXPECT_EQ(Global("gMode"), "endless");
}

TEST_F(TLibraryTest, SmallHelpers) {
    Lua("Push('a') Push('b') gTop = gParent[1] Pop() gLeft = gParent[1] .. table.getn(gParent)\n"
        "ModalReturn('kept') gReturned = gReturnValue\n"
        "gFirst, gSecond = ReadFile('results.lua')\n"
        "gCreating = Creating('Window', {}) == nil and CustomCreator(1) == nil\n"
        "gNothing = SetDefault(1)() == nil");
    EXPECT_EQ(Global("gTop"), "b");
    EXPECT_EQ(Global("gLeft"), "a1");
    EXPECT_EQ(Global("gReturned"), "kept");
    EXPECT_EQ(Global("gFirst"), "one");
    EXPECT_EQ(Global("gSecond"), "2");
    EXPECT_EQ(Global("gCreating"), "true");
    EXPECT_EQ(Global("gNothing"), "true");
}

TEST_F(TLibraryTest, CloseWindowPostsACloseForTheCreationTop) {
    Lua("gId = PushModal('dialog') ModalReturn('before') CloseWindow()");
    EXPECT_EQ(Global("gReturnValue"), "before") << "no value: the return value stays";
    const auto& queued = Manager()->GetQueuedMessages();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued.front()->GetKind(), TMessage::kCloseWindow);
    EXPECT_EQ(Text(queued.front()->GetName()), Global("gId"));

    Lua("CloseWindow(false)");
    EXPECT_EQ(Global("gReturnValue"), "false");
    Idle();
    EXPECT_THAT(Stack(), ElementsAre("_screen_"));
}

TEST_F(TLibraryTest, DisplayDialogWithoutAFileDoesNothing) {
    Lua("DebugOut = Note\n"
        "gNone = table.getn({ DisplayDialog{} }) + table.getn({ DisplayDialog{ '' } })");
    EXPECT_EQ(Global("gNone"), "0");
    EXPECT_THAT(mJournal, ElementsAre("DisplayDialog called with empty script; aborting",
                                      "DisplayDialog called with empty script; aborting"));
    EXPECT_THAT(Stack(), ElementsAre("_screen_"));
    EXPECT_FALSE(Waiting());
}

} // namespace
} // namespace windowlibrary_test
