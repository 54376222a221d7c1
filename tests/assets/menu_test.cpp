// The main script and the first menu as the game main runs them: "scripts/mainloop.lua" in the
// window script, whose coroutine then waits in the menu. The window manager is driven by
// synthetic events; the game's Lua functions that do not exist yet are stood in by probes that
// journal their calls.

#include "engine/script/luabinding.h"
#include "engine/ui/text.h"
#include "tests/assets/assets_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace assets_test {
namespace {

using testing::ElementsAre;

std::vector<std::string>* gJournal = nullptr;

void Note(const std::string& text) {
    if (gJournal != nullptr) {
        gJournal->push_back(text);
    }
}

int gUsers = 0;

std::string RectText(const TRect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// The game's functions, as the scripts call them.
void PlayMusicProbe(int track, int loop) {
    Note("PlayMusic " + std::to_string(track) + " " + std::to_string(loop));
}
int GetNumUsersProbe() {
    return gUsers;
}
void CreateNewUserProbe(str name) {
    Note("CreateNewUser " + Text(name));
}
void WriteProbe() {
    Note("CPP_WriteGO");
}
void PauseProbe(bool paused) {
    Note(std::string("CPP_StatisticOnPause ") + (paused ? "true" : "false"));
}

// The game main's quit question, asked as the game main asks it.
constexpr char kQuitText[] =
    "result = DisplayDialog{ 'scripts/yesno.lua', body = 'quitconfirm', title = 'quittitle', "
    "name = 'quit_dialog' }; "
    "if result == 'yes' then PostMessage( CreateNamedMessage( kQuitNow, 'Quit' ) ) end";

class TDemoMenuTest : public TDemoAssetsTest {
protected:
    void SetUp() override {
        TDemoAssetsTest::SetUp();
        OpenDisplay(800, 600);
        gJournal = &mJournal;
        gUsers = 1;
    }

    void TearDown() override {
        gJournal = nullptr;
        // A failing script says so only in the log.
        const std::string log = LogText();
        EXPECT_EQ(log.find("rror"), std::string::npos) << log;
        TDemoAssetsTest::TearDown();
    }

    // The game's functions the scripts look for; those not published stay nil.
    void PublishGame(bool users) {
        lua_State* state = Script()->GetState();
        LuaPublish(state, "PlayMusic", &PlayMusicProbe);
        LuaPublish(state, "CreateNewUser", &CreateNewUserProbe);
        LuaPublish(state, "CPP_WriteGO", &WriteProbe);
        LuaPublish(state, "CPP_StatisticOnPause", &PauseProbe);
        if (users) {
            LuaPublish(state, "GetNumUsers", &GetNumUsersProbe);
        }
    }

    // The game main's start: the main script runs and its coroutine waits in the menu.
    void Start() {
        ASSERT_TRUE(Script()->RunScript("scripts/mainloop.lua"));
        ASSERT_TRUE(Script()->IsYielded());
        ASSERT_EQ(TopName(), "mainmenu");
    }

    static std::string TopName() {
        TWindow* top = Manager()->GetTopModal();
        return top != nullptr ? Text(top->GetName()) : std::string();
    }

    static TWindow* Find(const char* name) {
        TWindow* top = Manager()->GetTopModal();
        return top != nullptr ? top->FindChild(name, -1) : nullptr;
    }

    static std::string Shown(const char* name) {
        TWindow* window = Find(name);
        if (window == nullptr || !window->IsKindOf(TText::ClassId())) {
            return "no text " + std::string(name);
        }
        return Text(static_cast<TText*>(window)->GetText());
    }

    void Send(const TEvent& event) { Manager()->HandleEvent(event); }

    // A press and release in the middle of the named window of the top modal window; then idle
    // events deliver what the press posted.
    void Click(const char* name) {
        TWindow* window = Find(name);
        ASSERT_NE(window, nullptr) << name << " in " << TopName();
        const TRect rect = window->GetScreenRect();
        const int x = (rect.left + rect.right) / 2;
        const int y = (rect.top + rect.bottom) / 2;
        for (const int32_t type : {kEventMouseMove, kEventLeftDown, kEventLeftUp}) {
            TEvent event;
            event.type = type;
            event.x = x;
            event.y = y;
            Send(event);
        }
        Idle();
    }

    void Key(int character) {
        TEvent event;
        event.type = kEventChar;
        event.param = character;
        Send(event);
        Idle();
    }

    // Two idle events: the first delivers the messages, the second the closes they caused.
    void Idle() {
        TEvent idle;
        idle.type = kEventIdle;
        Send(idle);
        Send(idle);
    }

    // Whether the platform's events up to the next idle one hold the quit event.
    bool Quits() {
        const std::vector<TEvent> events = UntilIdleOrQuit();
        return !events.empty() && events.back().type == kEventQuit;
    }

    std::string GlobalText(const char* name) {
        lua_State* state = Script()->GetState();
        lua_pushstring(state, name);
        lua_gettable(state, LUA_GLOBALSINDEX);
        std::string text = lua_isnil(state, -1) ? "nil" : lua_typename(state, lua_type(state, -1));
        if (lua_type(state, -1) == LUA_TNUMBER) {
            text = lua_tostring(state, -1);
        }
        lua_pop(state, 1);
        return text;
    }

    std::vector<std::string> mJournal;
};

TEST_F(TDemoMenuTest, TheMainScriptSetsTheGameGlobalsAndOpensTheMenu) {
    PublishGame(true);
    Start();
    EXPECT_THAT(mJournal, ElementsAre("PlayMusic 5 1")) << "the menus' music";
    const std::pair<const char*, const char*> globals[] = {{"gSendReport", "0"},
                                                           {"gCheatMode", "0"},
                                                           {"gGameVersionPostfix", "nil"},
                                                           {"gLevelNum", "1"},
                                                           {"gStageNum", "0"},
                                                           {"power_begin_x", "16"},
                                                           {"power_begin_y", "400"},
                                                           {"power_delta_x", "64"},
                                                           {"power_delta_y", "64"},
                                                           {"gGlobalPlayerInfo", "table"}};
    for (const auto& global : globals) {
        EXPECT_EQ(GlobalText(global.first), global.second) << global.first;
    }
    for (const char* function :
         {"SetDefaultInfo", "SetGlobalVariable", "SetUserVariable", "CheckVersionProfiles",
          "LevelCompleted", "UpgradeBuyed", "GetUpgradeIndex", "GetMoney", "GetTotalScore",
          "GetCountLevel", "LevelStatistic", "NewUser"}) {
        EXPECT_EQ(GlobalText(function), "function") << function;
    }

    // The background fills the screen; the buttons sit centred under the title, labelled from
    // the string table.
    TWindow* background = Find("background");
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(RectText(background->GetScreenRect()), "0,0,800,600");
    TWindow* play = Find("play");
    TWindow* quit = Find("quit");
    ASSERT_NE(play, nullptr);
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(RectText(play->GetScreenRect()), "280,300,520,364");
    EXPECT_EQ(RectText(quit->GetScreenRect()), "280,390,520,454");
    EXPECT_EQ(Text(play->GetLabelText()), "Play");
    EXPECT_EQ(Text(quit->GetLabelText()), "Quit");
}

TEST_F(TDemoMenuTest, WithoutAnyPlayerTheMenuMakesTheFirstOne) {
    gUsers = 0;
    PublishGame(true);
    Start();
    EXPECT_THAT(mJournal, ElementsAre("PlayMusic 5 1", "CreateNewUser Player", "CPP_WriteGO"));
}

// Drawn without any of the game's functions: the menu needs none of them.
TEST_F(TDemoMenuTest, GoldenMenu) {
    Start();
    const standin::TScreenImage image = DrawFrame();
    ASSERT_EQ(image.width, 800);
    ASSERT_EQ(image.height, 600);
    auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
    // The background's gradient runs from #2a1040 at the top edge to #8e2c5e at the bottom edge,
    // taken at each row's middle: row 0 at 0.5 / 600, row 300 at 300.5 / 600, row 390 at
    // 390.5 / 600 of the way (red 42 + 100 t, green 16 + 28 t, blue 64 + 30 t, rounded).
    EXPECT_EQ(at(0, 0), 0x2A1040u);
    EXPECT_EQ(at(5, 300), 0x5C1E4Fu);
    // The quit button's top left corner lies outside its rounded shape: background.
    EXPECT_EQ(at(280, 390), 0x6B2254u);
    // 10 pixels into the play button and 50 down, inside its outline: its gradient from #f06fa0
    // at y 2 to #b3154f at y 62, at (50.5 - 2) / 60 of the way.
    EXPECT_EQ(at(290, 350), 0xBF265Fu);
    // The labels are drawn in their colour in the middle of the buttons.
    for (const TRect& button : {TRect{280, 300, 520, 364}, TRect{280, 390, 520, 454}}) {
        int labelled = 0;
        for (int y = button.top + 16; y < button.bottom - 16; ++y) {
            for (int x = button.left + 60; x < button.right - 60; ++x) {
                labelled += at(x, y) == 0xFFF3E6u ? 1 : 0;
            }
        }
        EXPECT_GT(labelled, 50) << RectText(button);
    }
    testing_fixtures::ExpectGolden(image, "tests/assets/golden/mainmenu.png");
}

TEST_F(TDemoMenuTest, QuitAsksFirstAndQuitsOnYes) {
    PublishGame(true);
    Start();
    struct TWay {
        const char* name;
        std::function<void()> ask;
    };
    const TWay ways[] = {
        {"the quit button", [this] { Click("quit"); }},
        {"Esc in the menu", [this] { Key(27); }},
        {"the game main's close request", [] { Script()->DoLuaString(kQuitText); }},
    };
    for (const TWay& way : ways) {
        SCOPED_TRACE(way.name);
        way.ask();
        ASSERT_EQ(TopName(), "quit_dialog");
        EXPECT_EQ(Shown("title"), "Leaving already?");
        EXPECT_EQ(Shown("body"), "Do you really want to quit the game?");
        EXPECT_EQ(Text(Find("yes")->GetLabelText()), "Yes");
        EXPECT_EQ(Text(Find("no")->GetLabelText()), "No");
        Click("no");
        EXPECT_EQ(TopName(), "mainmenu");
        EXPECT_EQ(GlobalText("result"), "string");
        EXPECT_FALSE(Quits()) << "no answer but yes quits";

        way.ask();
        ASSERT_EQ(TopName(), "quit_dialog");
        Key(13);
        EXPECT_EQ(TopName(), "mainmenu");
        EXPECT_TRUE(Quits()) << "Enter answers yes";
    }
}

TEST_F(TDemoMenuTest, PlayOpensTheGameScreenWithEveryWindowTheGameLooksFor) {
    // The game's own window types are the game main's; plain windows stand in for them here.
    for (const char* type : {"GGameWnd", "GGameCtrl", "GSceneCtrl", "TPSimple"}) {
        Script()->RegisterWindowType(type, &TWindow::Create);
    }
    PublishGame(true);
    Start();
    Click("play");
    ASSERT_EQ(TopName(), "game") << "the game main pauses only over this name";
    for (const char* name : {"game_wnd",
                             "game_ctrl",
                             "scene_ctrl",
                             "background",
                             "score_panel",
                             "score_number",
                             "goal_number",
                             "money_account",
                             "judging_count_value",
                             "judging_counter_img",
                             "name_level1",
                             "buy_panel",
                             "start_show",
                             "girl_upgrade_panel",
                             "level_panel",
                             "guide_glow",
                             "last_event",
                             "energy_boost",
                             "energy_boost_dis",
                             "makeup_power",
                             "makeup_power_dis",
                             "hairstyle_power",
                             "hairstyle_power_dis",
                             "poise_power",
                             "poise_power_dis",
                             "podium_power",
                             "podium_power_dis",
                             "pause"}) {
        EXPECT_NE(Find(name), nullptr) << name;
    }
    for (const char* hidden : {"goal_reach_txt", "expert_reach_txt", "last_event"}) {
        EXPECT_EQ(Find(hidden)->GetFlags() & TWindow::kEnabled, 0u) << hidden;
    }
    EXPECT_EQ(Shown("name_level1"), "");

    // The main script's functions for the game.
    Script()->DoLuaString("ShowLastEvent('great')");
    EXPECT_EQ(Shown("last_event"), "Great performance!");
    EXPECT_NE(Find("last_event")->GetFlags() & TWindow::kEnabled, 0u);
    Script()->DoLuaString("HideLastEvent() HidePowerButtons()");
    for (const char* hidden : {"last_event", "energy_boost", "podium_power_dis"}) {
        EXPECT_EQ(Find(hidden)->GetFlags() & TWindow::kEnabled, 0u) << hidden;
    }

    mJournal.clear();
    Click("pause");
    ASSERT_EQ(TopName(), "pause") << "as Esc does";
    EXPECT_THAT(mJournal, ElementsAre("CPP_StatisticOnPause true"));
    Key(13);
    EXPECT_EQ(TopName(), "game");
}

TEST_F(TDemoMenuTest, PauseAndStopDialogsOpenAndCloseAsTheGameMainDrivesThem) {
    PublishGame(true);
    Start();
    mJournal.clear();
    Script()->DoLuaString("DoModal('scripts/pause.lua')");
    ASSERT_EQ(TopName(), "pause");
    EXPECT_EQ(Shown("title"), "Paused");
    EXPECT_EQ(Text(Find("continue")->GetLabelText()), "Continue");
    Click("continue");
    EXPECT_EQ(TopName(), "mainmenu");
    EXPECT_THAT(mJournal, ElementsAre("CPP_StatisticOnPause false")) << "the pause ends";

    Script()->DoLuaString("DoModal('scripts/stop_game.lua')");
    ASSERT_EQ(TopName(), "stop_game");
    EXPECT_EQ(Shown("title"), "Game stopped");
    EXPECT_EQ(Find("continue"), nullptr) << "only the window's return closes it";
    Script()->DoLuaString("PopModal('stop_game');");
    Idle();
    EXPECT_EQ(TopName(), "mainmenu");
}

} // namespace
} // namespace assets_test
