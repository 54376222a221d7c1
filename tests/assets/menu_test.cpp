// The demo's first screens as the game runs them on the game harness: the main script opens the
// loading screen, which swaps to the first menu; the menu's buttons and keys, its quit question
// and the dialogs the game main opens over it.

#include "engine/media/texture.h"
#include "engine/ui/button.h"
#include "engine/ui/image.h"
#include "engine/ui/text.h"
#include "game/common/GUserManager.h"
#include "game/shell/GFlyText.h"
#include "game/shell/GGameWnd.h"
#include "game/shell/GHintPanel.h"
#include "game/shell/GPowerMeterSelector.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GMusicPlayer.h"
#include "tests/assets/demo_play_fixture.h"
#include "tests/fixtures/golden.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace assets_test {
namespace {

using game_harness::Text;
using testing::ElementsAre;

std::string RectText(const TRect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.right) + "," + std::to_string(rect.bottom);
}

// The game main's quit question, asked as the game main asks it.
constexpr char kQuitText[] =
    "result = DisplayDialog{ 'scripts/yesno.lua', body = 'quitconfirm', title = 'quittitle', "
    "name = 'quit_dialog' }; "
    "if result == 'yes' then PostMessage( CreateNamedMessage( kQuitNow, 'Quit' ) ) end";

class TDemoMenuTest : public TDemoPlayTest {
protected:
    using TMenuBody = std::function<void()>;

    // The game starts on the demo; the loading screen's eight ticks bring the first menu, in
    // which the body runs.
    void RunMenu(const TMenuBody& body) {
        RunGame([&](TPlatform*, GGameMain&) {
            ASSERT_EQ(Top(), "loading");
            AddPlayer("Tester");
            ASSERT_TRUE(RunFor(800));
            ASSERT_EQ(Top(), "mainmenu");
            body();
        });
    }

    // "Play" and the first level's button of the level choice.
    static void PlayLevelOne() {
        Click("play");
        ASSERT_EQ(Top(), "levels");
        Click("level_1");
    }

    // Whether the loop ends within the next turns.
    static bool Quits() { return !RunFor(200); }

    static std::string GlobalText(const char* name) {
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
};

TEST_F(TDemoMenuTest, TheMainScriptSetsTheGameGlobalsAndTheLoaderOpensTheMenu) {
    RunGame([](TPlatform*, GGameMain&) {
        ASSERT_EQ(Top(), "loading");
        TWindow* bar = Find("LoadingProgressing");
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(RectText(bar->GetScreenRect()), "200,460,600,484") << "the background's size";
        EXPECT_NE(Find("grayimage"), nullptr);
        EXPECT_EQ(GMusicPlayer::Instance()->GetCurrentTrack(), 5) << "the menus' music";
        // The eighth tick of 100 ms swaps to the menu.
        ASSERT_TRUE(RunFor(700));
        EXPECT_EQ(Top(), "loading");
        ASSERT_TRUE(RunFor(100));
        ASSERT_EQ(Top(), "mainmenu");
        EXPECT_EQ(Stack().size(), 1u) << "the menu took the loader's place";

        const std::pair<const char*, const char*> globals[] = {{"gSendReport", "0"},
                                                               {"gCheatMode", "0"},
                                                               {"gGameVersionPostfix", "nil"},
                                                               {"gLevelNum", "1"},
                                                               {"gStageNum", "0"},
                                                               {"power_begin_x", "16"},
                                                               {"power_begin_y", "100"},
                                                               {"power_delta_x", "64"},
                                                               {"power_delta_y", "58"},
                                                               {"gGlobalPlayerInfo", "table"}};
        for (const auto& global : globals) {
            EXPECT_EQ(GlobalText(global.first), global.second) << global.first;
        }
        for (const char* function :
             {"SetDefaultInfo", "SetGlobalVariable", "SetUserVariable", "CheckVersionProfiles",
              "LevelCompleted", "UpgradeBuyed", "GetUpgradeIndex", "GetMoney", "GetTotalScore",
              "GetCountLevel", "LevelStatistic", "NewUser", "CheckBeforeCloseLoader",
              "CheatLevel"}) {
            EXPECT_EQ(GlobalText(function), "function") << function;
        }

        // The background fills the screen; the buttons sit centred under the title, labelled
        // from the string table.
        TWindow* background = Find("background");
        ASSERT_NE(background, nullptr);
        EXPECT_EQ(RectText(background->GetScreenRect()), "0,0,800,600");
        TWindow* play = Find("play");
        TWindow* quit = Find("quit");
        ASSERT_NE(play, nullptr);
        ASSERT_NE(quit, nullptr);
        EXPECT_EQ(RectText(play->GetScreenRect()), "280,252,520,316");
        EXPECT_EQ(RectText(quit->GetScreenRect()), "280,524,520,588");
        EXPECT_EQ(Text(play->GetLabelText()), "Play");
        EXPECT_EQ(Text(quit->GetLabelText()), "Quit");
    });
}

TEST_F(TDemoMenuTest, WithoutAnyPlayerTheMenuAsksForTheFirstOneAndWelcomesThem) {
    RunGame([](TPlatform*, GGameMain&) {
        ASSERT_TRUE(RunFor(800));
        ASSERT_EQ(Top(), "mainmenu");
        EXPECT_EQ(Find("welcome")->GetFlags() & TWindow::kEnabled, 0u);
        EXPECT_EQ(Find("changeplayer")->GetFlags() & TWindow::kEnabled, 0u);
        ASSERT_TRUE(RunFor(40));
        ASSERT_EQ(Top(), "newplayer");
        EXPECT_EQ(Shown("name_edit"), "Your name");
        EXPECT_EQ(Find("cancel"), nullptr) << "the first player cannot be refused";
        // The hint goes at the first key, which is typed into the empty edit.
        for (const char c : std::string("Ann")) {
            Key(c);
        }
        EXPECT_EQ(Shown("name_edit"), "Ann");
        Key(13);
        ASSERT_EQ(Top(), "mainmenu");
        GUserManager* users = GetUserManager();
        ASSERT_EQ(users->GetNumUsers(), 1);
        EXPECT_EQ(Text(users->GetUserName(0)), "Ann");
        EXPECT_EQ(users->GetCurrentUser(), 0);
        EXPECT_EQ(Shown("welcome"), "Welcome, Ann!") << "the menu is built anew";
        EXPECT_NE(Find("changeplayer")->GetFlags() & TWindow::kEnabled, 0u);
        ASSERT_TRUE(RunFor(100));
        EXPECT_EQ(Top(), "mainmenu") << "asked once";
    });
}

// "Change player": a new player typed in becomes current, an earlier one chosen again; the menu
// welcomes each; a name in use is refused.
TEST_F(TDemoMenuTest, ChangePlayerMakesAndChoosesPlayersAndTheMenuWelcomesThem) {
    RunMenu([] {
        EXPECT_EQ(Shown("welcome"), "Welcome, Tester!");
        Click("changeplayer");
        ASSERT_EQ(Top(), "chooseplayer");
        Click("new");
        ASSERT_EQ(Top(), "newplayer");
        for (const char c : std::string("Tester")) {
            Key(c);
        }
        Key(13);
        ASSERT_EQ(Top(), "newplayer") << "a name in use";
        EXPECT_EQ(Shown("body"), "That name is taken; try another.");
        Key(8);
        Key('a');
        Key(13);
        ASSERT_EQ(Top(), "chooseplayer");
        EXPECT_EQ(Text(Find("button1")->GetLabelText()), "Testea");
        EXPECT_TRUE(static_cast<TButton*>(Find("button1"))->IsToggledOn());
        Click("ok");
        ASSERT_EQ(Top(), "mainmenu");
        EXPECT_EQ(Shown("welcome"), "Welcome, Testea!");

        Click("changeplayer");
        Click("button0");
        Click("ok");
        ASSERT_EQ(Top(), "mainmenu");
        EXPECT_EQ(Shown("welcome"), "Welcome, Tester!");
        EXPECT_EQ(GetUserManager()->GetCurrentUser(), 0);
        EXPECT_EQ(GetUserManager()->GetNumUsers(), 2);
    });
}

// Each screen of the menu opens on its button and closes again with Esc.
TEST_F(TDemoMenuTest, EachScreenOfTheMenuOpensAndClosesWithEsc) {
    RunMenu([] {
        EXPECT_EQ(Find("moregames")->GetFlags() & TWindow::kEnabled, 0u)
            << "the demo has no cross-sell file";
        const char* const screens[][3] = {{"play", "levels", "levels_title"},
                                          {"options", "options", "options_title"},
                                          {"hiscores", "hiscores", "hiscores_title"},
                                          {"credits", "credits", "credits_title"},
                                          {"changeplayer", "chooseplayer", "chooseplayer_title"}};
        for (const auto& screen : screens) {
            Click(screen[0]);
            ASSERT_EQ(Top(), screen[1]);
            EXPECT_NE(Shown("title"), std::string("no text title")) << screen[1];
            Key(27);
            EXPECT_EQ(Top(), "mainmenu") << screen[1];
        }
        // The hiscore window gave the engine's game-state query back.
        EXPECT_EQ(GlobalText("GetState"), "function");
        EXPECT_EQ(GlobalText("CPP_Clear"), "nil");
    });
}

TEST_F(TDemoMenuTest, GoldenMenu) {
    RunMenu([] {
        const standin::TScreenImage image = Frame();
        ASSERT_EQ(image.width, 800);
        ASSERT_EQ(image.height, 600);
        auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
        // The background's gradient runs from #2a1040 at the top edge to #8e2c5e at the bottom
        // edge, taken at each row's middle: row 0 at 0.5 / 600, row 300 at 300.5 / 600, row 390
        // at 390.5 / 600 of the way (red 42 + 100 t, green 16 + 28 t, blue 64 + 30 t, rounded).
        EXPECT_EQ(at(0, 0), 0x2A1040u);
        EXPECT_EQ(at(5, 300), 0x5C1E4Fu);
        // The quit button's top left corner lies outside its rounded shape: background, at
        // 524.5 / 600 of the way (red 129.4, green 40.5, blue 90.2), under the stage's light
        // (white at 0x12 / 255): red 129.4 + 125.6 x 0.0706 = 138.3, green 40.5 + 214.5 x
        // 0.0706 = 55.6, blue 90.2 + 164.8 x 0.0706 = 101.8.
        EXPECT_EQ(at(280, 524), 0x8A3866u);
        // 10 pixels into the play button and 50 down, inside its outline: its gradient from
        // #f06fa0 at y 2 to #b3154f at y 62, at (50.5 - 2) / 60 of the way.
        EXPECT_EQ(at(290, 302), 0xBF265Fu);
        // The labels are drawn in their colour in the middle of the buttons.
        for (const TRect& button : {TRect{280, 252, 520, 316}, TRect{280, 524, 520, 588}}) {
            int labelled = 0;
            for (int y = button.top + 16; y < button.bottom - 16; ++y) {
                for (int x = button.left + 60; x < button.right - 60; ++x) {
                    labelled += at(x, y) == 0xFFF3E6u ? 1 : 0;
                }
            }
            EXPECT_GT(labelled, 50) << RectText(button);
        }
        testing_fixtures::ExpectGolden(image, "tests/assets/golden/mainmenu.png");
    });
}

// The menu's screens as the player sees them, each opened from the menu with a second player
// and a score of each in the table: options (sound at 500 of 1000), hiscores, the player choice,
// the new-player dialog and the credits one second in (still in the intro pause).
TEST_F(TDemoMenuTest, GoldenScreens) {
    RunMenu([] {
        Script()->DoLuaString("CreateNewUser('Bea') CPP_StatisticOnSessionEnd(120) "
                              "SetCurrentUser(0) CPP_StatisticOnSessionEnd(80)");
        struct TScreen {
            const char* button;
            const char* top;
            const char* golden;
        };
        const TScreen screens[] = {
            {"options", "options", "tests/assets/golden/options.png"},
            {"hiscores", "hiscores", "tests/assets/golden/hiscores.png"},
            {"changeplayer", "chooseplayer", "tests/assets/golden/chooseplayer.png"},
            {"credits", "credits", "tests/assets/golden/credits.png"},
        };
        for (const TScreen& screen : screens) {
            Click(screen.button);
            ASSERT_EQ(Top(), screen.top);
            ASSERT_TRUE(RunFor(1000, 50));
            const standin::TScreenImage image = Frame();
            ASSERT_EQ(image.width, 800);
            auto at = [&image](int x, int y) {
                return image.pixels[y * image.width + x] & 0xFFFFFFu;
            };
            // The stage's top edge shows in every screen.
            EXPECT_EQ(at(0, 0), 0x2A1040u) << screen.top;
            testing_fixtures::ExpectGolden(image, screen.golden);
            if (std::string(screen.top) == "options") {
                // The sound slider's rail, 28 pixels thick from y 210, filled with #b3154f along
                // its middle piece, left of the thumb at the middle (x 500).
                EXPECT_EQ(at(420, 224), 0xB3154Fu);
            }
            if (std::string(screen.top) == "credits") {
                // The headers in the header colour #ffd54f: "Programming" in the left half of
                // the third block, 164 pixels below the window's top at 248.
                int header = 0;
                for (int y = 404; y < 424; ++y) {
                    for (int x = 150; x < 290; ++x) {
                        header += at(x, y) == 0xFFD54Fu ? 1 : 0;
                    }
                }
                EXPECT_GT(header, 50);
            }
            if (std::string(screen.top) == "hiscores") {
                EXPECT_EQ(Shown("name1"), "Bea");
                EXPECT_EQ(Shown("score1"), "120");
                EXPECT_EQ(Shown("1"), "1.");
                EXPECT_EQ(Shown("name2"), "Tester");
                EXPECT_EQ(Find("name3")->GetFlags() & TWindow::kEnabled, 0u);
            }
            if (std::string(screen.top) == "chooseplayer") {
                EXPECT_EQ(Text(Find("button0")->GetLabelText()), "Tester");
                EXPECT_EQ(Text(Find("button1")->GetLabelText()), "Bea");
                EXPECT_EQ(Find("button2")->GetFlags() & TWindow::kEnabled, 0u);
                Click("new");
                ASSERT_EQ(Top(), "newplayer");
                const standin::TScreenImage dialog = Frame();
                testing_fixtures::ExpectGolden(dialog, "tests/assets/golden/newplayer.png");
                Key(27);
                ASSERT_EQ(Top(), "chooseplayer");
            }
            Key(27);
            ASSERT_EQ(Top(), "mainmenu") << screen.top;
        }
    });
}

// The loading screen after five ticks: the bar at 31 of 100, the gray veil at 1 - 0.31.
TEST_F(TDemoMenuTest, GoldenLoader) {
    RunGame([](TPlatform*, GGameMain&) {
        ASSERT_TRUE(RunFor(500));
        ASSERT_EQ(Top(), "loading");
        const standin::TScreenImage image = Frame();
        ASSERT_EQ(image.width, 800);
        ASSERT_EQ(image.height, 600);
        auto at = [&image](int x, int y) { return image.pixels[y * image.width + x] & 0xFFFFFFu; };
        // The veil's #202020 at 0.69 over the stage's #2a1040 at the top edge: red 42 x 0.31 +
        // 32 x 0.69 = 35.1, green 16 x 0.31 + 22.08 = 27.0, blue 64 x 0.31 + 22.08 = 41.9.
        EXPECT_EQ(at(0, 0), 0x231B2Au);
        // The filling shows over the bar's first trunc (0.31 x 400) = 124 pixels from its offset
        // (204, 464): lit at x 264, and not at x 334, where the empty bar's #3a1030 shows
        // (under the veil: red 58 x 0.31 + 22.08 = 40.06, green 16 x 0.31 + 22.08 = 27.04,
        // blue 48 x 0.31 + 22.08 = 36.96).
        EXPECT_GT(at(264, 472) >> 16, 0x50u) << std::hex << at(264, 472);
        EXPECT_EQ(at(334, 472), 0x281B25u);
        testing_fixtures::ExpectGolden(image, "tests/assets/golden/loader.png");
    });
}

TEST_F(TDemoMenuTest, QuitAsksFirstAndQuitsOnYes) {
    struct TWay {
        const char* name;
        std::function<void()> ask;
    };
    const TWay ways[] = {
        {"the quit button", [] { Click("quit"); }},
        {"Esc in the menu", [] { Key(27); }},
        {"the game main's close request", [] { Script()->DoLuaString(kQuitText); }},
    };
    for (const TWay& way : ways) {
        SCOPED_TRACE(way.name);
        RunMenu([&way] {
            way.ask();
            ASSERT_EQ(Top(), "quit_dialog");
            EXPECT_EQ(Shown("title"), "Leaving already?");
            EXPECT_EQ(Shown("body"), "Do you really want to quit the game?");
            EXPECT_EQ(Text(Find("yes")->GetLabelText()), "Yes");
            EXPECT_EQ(Text(Find("no")->GetLabelText()), "No");
            Click("no");
            EXPECT_EQ(Top(), "mainmenu");
            EXPECT_EQ(GlobalText("result"), "string");
            EXPECT_FALSE(Quits()) << "no answer but yes quits";

            way.ask();
            ASSERT_EQ(Top(), "quit_dialog");
            Key(13);
            EXPECT_TRUE(Quits()) << "Enter answers yes";
        });
    }
}

TEST_F(TDemoMenuTest, PlayOpensTheGameScreenOnTheFirstLevel) {
    RunMenu([] {
        PlayLevelOne();
        ASSERT_EQ(Top(), "game") << "the game main pauses only over this name";
        for (const char* name :
             {"game_wnd",         "game_ctrl",     "scene_ctrl",          "background",
              "score_panel",      "money_account", "judging_count_value", "judging_counter_img",
              "name_level1",      "buy_panel",     "girl_upgrade_panel",  "level_panel",
              "guide_glow",       "energy_boost",  "energy_boost_dis",    "podium_power",
              "podium_power_dis", "pause",         "hint_panel",          "small_hint_panel",
              "score_label_0",    "score_label_3", "white_score_text"}) {
            EXPECT_NE(Find(name), nullptr) << name;
        }
        EXPECT_EQ(Shown("name_level1"), "Level 1");
        ASSERT_NE(Level(), nullptr);
        EXPECT_EQ(Level()->GetObjectCount(), 11)
            << "entrance, two waiting places, the hair seat, the heroine, the stand, two judging "
               "places and three girls";
        // No offers: the first tick starts the show, the next opens the level-goal dialog and the
        // rules after it.
        ASSERT_TRUE(RunFor(60, 30));
        EXPECT_EQ(GameState(), 2);
        EXPECT_EQ(Top(), "levelgoal");
        EXPECT_EQ(Shown("title"), "The contest hall");
        EXPECT_EQ(Shown("body"),
                  "The hall is ready for the first show. Goal: 50 points. Expert: 100 points.");
        Key(13);
        EXPECT_EQ(Top(), "rule_window");
        Key(13);
        EXPECT_EQ(Top(), "game");
        Click("pause");
        EXPECT_EQ(Top(), "pause") << "as Esc does";
        Key(13);
        EXPECT_EQ(Top(), "game");
        ASSERT_TRUE(Play("at 0: key 27"));
        Turn();
        EXPECT_EQ(Top(), "pause") << "Esc during play";
        Key(13);
        EXPECT_EQ(Top(), "game");
    });
}

// The game window hands the manager the screen's hint panels, its four score labels and the white
// score text; the upgrade hint shows the labels' texts with its notes, the small hints fly.
TEST_F(TDemoMenuTest, TheGameScreensHintsAndScoreLabelsReachTheManager) {
    RunMenu([] {
        PlayLevelOne();
        // The show starts; the level-goal dialog and the rules go.
        ASSERT_TRUE(RunFor(60, 30));
        Key(13);
        Key(13);
        ASSERT_EQ(Top(), "game");
        GLogicalManager& manager = GLogicalManager::Instance();
        EXPECT_EQ(manager.GetHintPanel(), Find("hint_panel"));
        EXPECT_EQ(manager.GetSmallHintPanel(), Find("small_hint_panel"));
        EXPECT_EQ(manager.GetWhiteScoreText(), Find("white_score_text"));
        auto* labels = static_cast<GGameWnd*>(Find("game_wnd"));
        ASSERT_EQ(labels->GetScoreLabels().size(), 4U);
        EXPECT_EQ(manager.GetIdleScoreLabel("5"), Find("score_label_0"));

        manager.GetHooks().ShowHint("marivell_power_2", "marivell_power_2_hint", 100000, true);
        EXPECT_EQ(Shown("hint_caption"), "Make-up rush");
        EXPECT_EQ(Shown("hint_descript"), "Every girl waiting for make-up is made up at once.");
        EXPECT_EQ(Shown("item_cost"), "100000");
        for (const char* name :
             {"hint_panel", "hint_top", "recomend_text", "hint_bottom", "coment_text"}) {
            EXPECT_NE(Find(name)->GetFlags() & TWindow::kEnabled, 0U) << name;
        }
        EXPECT_EQ(Shown("coment_text"), "Not enough money yet");
        EXPECT_EQ(Shown("recomend_text"), "Recommended");

        auto* label = static_cast<GSmallHintPanel*>(Find("score_label_0"));
        label->SetPosition(300.0f, 300.0f);
        label->SetDescription("+25");
        label->SetBackground(1);
        label->Fly(1, 20, true);
        EXPECT_EQ(manager.GetIdleScoreLabel("5"), Find("score_label_1"));
        auto* white = static_cast<GFlyText*>(Find("white_score_text"));
        white->SetText("x 2");
        white->GetMobile().SetPosition(420.0f, 300.0f);
        white->Fly(1, 30);
        auto* hover = static_cast<GSmallHintPanel*>(Find("small_hint_panel"));
        hover->SetPosition(100.0f, 380.0f);
        hover->SetCaption("Bonus");
        hover->SetDescription("Click me");
        hover->SetBackground(2);
        hover->Fly(0, 5000, false);
        ASSERT_TRUE(RunFor(150, 30));
        EXPECT_FALSE(label->IsIdle());
        EXPECT_LT(label->GetRect().top, 270) << "rising past its first step";
    });
}

// The developer cheats on the demo, switched on by the test: PgUp and PgDn move within the four
// demo levels, L opens the jump screen, whose buttons start their level.
TEST_F(TDemoMenuTest, TheCheatsJumpBetweenTheDemoLevels) {
    RunMenu([] {
        Script()->DoLuaString("gCheatMode = 1");
        PlayLevelOne();
        ASSERT_EQ(Top(), "game");
        ASSERT_TRUE(RunFor(60, 30));
        Key(13);
        Key(13);
        ASSERT_EQ(Top(), "game");
        const struct {
            int key;
            const char* level;
        } steps[] = {{34, "1"}, {33, "2"}, {33, "3"}, {33, "4"}, {33, "4"}, {34, "3"}};
        for (const auto& step : steps) {
            ASSERT_TRUE(Play("at 0: key " + std::to_string(step.key)));
            EXPECT_EQ(GlobalText("gLevelNum"), step.level) << step.key;
            ASSERT_NE(Level(), nullptr);
            EXPECT_EQ(std::to_string(Level()->GetLevelNumber()), step.level);
            EXPECT_EQ(Shown("name_level1"), std::string("Level ") + step.level);
            // Each load walks the start-up again; its dialogs are closed.
            ASSERT_TRUE(RunFor(60, 30));
            for (int dialogs = 0; dialogs < 2 && Top() != "game"; ++dialogs) {
                Key(13);
            }
            ASSERT_EQ(Top(), "game");
        }

        ASSERT_TRUE(Play("at 0: key 76"));
        ASSERT_EQ(Top(), "jump_level");
        EXPECT_EQ(Shown("title"), "Jump to a level");
        for (int level = 1; level <= 4; ++level) {
            const std::string name = "level_" + std::to_string(level);
            TWindow* button = Find(name.c_str());
            ASSERT_NE(button, nullptr) << name;
            EXPECT_TRUE(button->IsKindOf(GLevelJumpButton::ClassId())) << name;
            EXPECT_EQ(Text(button->GetLabelText()), "Level " + std::to_string(level));
        }
        Click("level_2");
        EXPECT_EQ(Top(), "game");
        EXPECT_EQ(GlobalText("gLevelNum"), "2");
        ASSERT_NE(Level(), nullptr);
        EXPECT_EQ(Level()->GetLevelNumber(), 2);
        EXPECT_EQ(Shown("name_level1"), "Level 2");
    });
}

TEST_F(TDemoMenuTest, PauseAndStopDialogsOpenAndCloseAsTheGameMainDrivesThem) {
    RunMenu([this] {
        Script()->DoLuaString("local real = CPP_StatisticOnPause\n"
                              "function CPP_StatisticOnPause(paused)\n"
                              "  Note('CPP_StatisticOnPause ' .. tostring(paused)); real(paused)\n"
                              "end");
        Take();
        Script()->DoLuaString("DoModal('scripts/pause.lua')");
        ASSERT_EQ(Top(), "pause");
        EXPECT_EQ(Shown("title"), "Paused");
        EXPECT_EQ(Text(Find("continue")->GetLabelText()), "Continue");
        Click("continue");
        EXPECT_EQ(Top(), "mainmenu");
        EXPECT_THAT(Take(), ElementsAre("CPP_StatisticOnPause false")) << "the pause ends";

        Script()->DoLuaString("DoModal('scripts/stop_game.lua')");
        ASSERT_EQ(Top(), "stop_game");
        EXPECT_EQ(Shown("title"), "Game stopped");
        EXPECT_EQ(Find("continue"), nullptr) << "only the window's return closes it";
        Script()->DoLuaString("PopModal('stop_game');");
        Turn();
        Turn();
        EXPECT_EQ(Top(), "mainmenu");
    });
}

TEST_F(TDemoMenuTest, PowersDialogOffersTheSodaAndAnswersTheChosenKind) {
    RunMenu([this] {
        Script()->DoLuaString("function CPP_EndPowerMeterDialog(id, kind, value)\n"
                              "  Note('power ' .. id .. ' ' .. kind .. ' ' .. value)\n"
                              "end");
        Take();
        struct TChoice {
            const char* button;
            const char* answer;
        };
        // Before level 3 only the soda is open; a locked power takes no click.
        for (const TChoice& choice :
             {TChoice{"power_button_0", "power 7 1 0"}, TChoice{"cancel", "power 7 0 0"}}) {
            SCOPED_TRACE(choice.button);
            Script()->DoLuaString("PowerIDS=7; PowerIndObj=1; DoModal('scripts/powers.lua');");
            ASSERT_EQ(Top(), "powers");
            EXPECT_EQ(Shown("title"), "Choose a power");
            for (int i = 0; i < 5; ++i) {
                const std::string name = "power_button_" + std::to_string(i);
                TWindow* button = Find(name.c_str());
                ASSERT_NE(button, nullptr);
                ASSERT_TRUE(button->IsKindOf(GPowerMeterButton::ClassId()));
                EXPECT_EQ(static_cast<GPowerMeterButton*>(button)->IsEnabled(), i == 0);
                TWindow* icon = Find((name + "_icon").c_str());
                ASSERT_TRUE(icon != nullptr && icon->IsKindOf(TImage::ClassId()));
                EXPECT_EQ(static_cast<TImage*>(icon)->GetTexture(),
                          TTexture::Get(
                              i == 0 ? "buttons/powers/soda.png" : "buttons/powers/locked.png", 0));
            }
            EXPECT_EQ(static_cast<GPowerMeterButton*>(Find("power_button_0"))->GetCaption(),
                      str("Energy soda"));
            Click("power_button_2");
            EXPECT_EQ(Top(), "powers");
            Click(choice.button);
            EXPECT_EQ(Top(), "mainmenu");
            EXPECT_THAT(Take(), ElementsAre(choice.answer));
        }
    });
}

TEST_F(TDemoMenuTest, BuyDialogShowsTheOfferAndAnswersBuyOrCancel) {
    RunMenu([this] {
        Script()->DoLuaString("function CPP_EndBuyDialog(ok) Note('buy ' .. tostring(ok)) end");
        Take();
        for (const char* button : {"buy_ok", "buy_cancel"}) {
            SCOPED_TRACE(button);
            Script()->DoLuaString(GLogicalManager::BuyDialogText(120, "makeup_seat_0"));
            ASSERT_EQ(Top(), "buy");
            EXPECT_EQ(Shown("price"), "Price: 120");
            TWindow* image = Find("buy_image");
            ASSERT_TRUE(image != nullptr && image->IsKindOf(TImage::ClassId()));
            EXPECT_EQ(static_cast<TImage*>(image)->GetTexture(),
                      TTexture::Get("selector/buy_preview/buy_makeup_seat_0.png", 0));
            Click(button);
            EXPECT_EQ(Top(), "mainmenu");
            EXPECT_THAT(Take(), ElementsAre(std::string("buy ") +
                                            (button == std::string("buy_ok") ? "true" : "false")));
        }
    });
}

TEST_F(TDemoMenuTest, SelectorCountAndPowerIconsComeFromTheMainScript) {
    RunMenu([] {
        Script()->DoLuaString("n1 = GetSelectorCount(1, 1, 'makeup', 'cheerleader') "
                              "n2 = GetSelectorCount(1, 1, 'hairstyle', 'singer') "
                              "n3 = GetSelectorCount(1, 1, 'dress', 'singer')");
        EXPECT_EQ(GlobalText("n1"), "3");
        EXPECT_EQ(GlobalText("n2"), "3");
        EXPECT_EQ(GlobalText("n3"), "0");
    });
}

} // namespace
} // namespace assets_test
