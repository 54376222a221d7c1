#include "engine/core/prefs.h"
#include "game/common/GUserManager.h"
#include "tests/game/game_harness.h"

#include <memory>

namespace gamemain_test {

using namespace game_harness;

// The game main on the fixture folder with hooks whose answers each test sets.
class GameMainTest : public TGameHarness {
protected:
    void SetUp() override {
        TGameHarness::SetUp();
        UseHooks(&mHooks);
    }

    TTestHooks mHooks;
};

using TLines = std::vector<std::string>;

HWND MainWindow(TPlatform* platform) {
    return platform->GetWin32()->mMainWindow;
}

// A window of another program, to take the foreground from the game.
HWND OtherWindow() {
    static bool registered = false;
    if (!registered) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.lpszClassName = "GameMainTestOther";
        RegisterClassA(&windowClass);
        registered = true;
    }
    return CreateWindowExA(0, "GameMainTestOther", "other", WS_POPUP | WS_VISIBLE, 600, 400, 50, 50,
                           nullptr, nullptr, nullptr, nullptr);
}

// Two idle turns: the first delivers the dialog's close message and pops it, the second deletes it,
// whose close the waiting script then receives.
void Idle(GGameMain& game) {
    game.HandleEvent(MakeEvent(kEventIdle));
    game.HandleEvent(MakeEvent(kEventIdle));
}

const char kQuitDialog[] =
    "DisplayDialog scripts/yesno.lua name=quit_dialog body=quitconfirm title=quittitle";

// Lua texts: the quit dialog's DisplayDialog{"scripts/yesno.lua", ...}, then
// "CloseWindow('no')" from the test, the quit dialog again, and "CloseWindow('yes')".
TEST_F(GameMainTest, CloseInTheForegroundAsksOnceAndQuitsOnYes) {
    RunGame([this](TPlatform* platform, GGameMain& game) {
        SetForegroundWindow(MainWindow(platform));
        ASSERT_TRUE(platform->IsForeground());
        Take();

        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventClose)));
        EXPECT_EQ(Take(), TLines{kQuitDialog});
        EXPECT_EQ(Top(), "quit_dialog");
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventClose)));
        EXPECT_EQ(Take(), TLines{}) << "no second dialog over the first";

        Script()->DoLuaString("CloseWindow('no')");
        Idle(game);
        EXPECT_EQ(Take(), TLines{"answer no"});
        EXPECT_EQ(Top(), "menu");
        EXPECT_FALSE(QuitFollows(platform));

        game.HandleEvent(MakeEvent(kEventClose));
        Script()->DoLuaString("CloseWindow('yes')");
        Idle(game);
        EXPECT_EQ(Take(), (TLines{kQuitDialog, "answer yes"}));
        EXPECT_TRUE(QuitFollows(platform));
    });
    EXPECT_EQ(Take(), TLines{"close game"});
    EXPECT_EQ(GetUserManager(), nullptr);
}

// The quit dialog needs a coroutine to wait in: once the main script's has failed, the dialog
// runs as one of its own, so that "Yes" still quits.
TEST_F(GameMainTest, YesQuitsAfterTheMainScriptFailed) {
    std::string mainLoop = kMainLoop;
    const std::string menu = "return function() DoMainWindow";
    mainLoop.replace(mainLoop.find(menu), std::string::npos,
                     "return function() error('menu broken') end\n");
    mGame.Write("assets/scripts/mainloop.lua", mainLoop);
    RunGame([this](TPlatform* platform, GGameMain& game) {
        SetForegroundWindow(MainWindow(platform));
        Take();
        ASSERT_FALSE(Script()->IsYielded());
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventClose)));
        EXPECT_EQ(Take(), TLines{kQuitDialog});
        EXPECT_EQ(Top(), "quit_dialog");
        EXPECT_FALSE(QuitFollows(platform));
        Script()->DoLuaString("CloseWindow('yes')");
        Idle(game);
        EXPECT_EQ(Take(), TLines{"answer yes"});
        EXPECT_TRUE(QuitFollows(platform));
    });
    EXPECT_NE(LogText().find("menu broken"), std::string::npos);
}

// Without the dialog that should ask, a close request quits.
TEST_F(GameMainTest, CloseQuitsWhenTheQuitDialogCannotBeShown) {
    std::filesystem::remove(mGame.Path() / "assets/scripts/yesno.lua");
    RunGame([this](TPlatform* platform, GGameMain& game) {
        SetForegroundWindow(MainWindow(platform));
        Take();
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventClose)));
        EXPECT_TRUE(QuitFollows(platform));
    });
    EXPECT_NE(LogText().find("GameMain: the quit dialog could not be shown; quitting"),
              std::string::npos);
}

// No Lua text runs.
TEST_F(GameMainTest, CloseInTheBackgroundQuitsAtOnce) {
    RunGame([this](TPlatform* platform, GGameMain& game) {
        HWND other = OtherWindow();
        SetForegroundWindow(other);
        ASSERT_FALSE(platform->IsForeground());
        Take();
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventClose)));
        EXPECT_EQ(Take(), TLines{});
        EXPECT_EQ(Top(), "menu");
        EXPECT_TRUE(QuitFollows(platform));
        DestroyWindow(other);
    });
}

// The real loop on the platform's events: the close request, the quit dialog (answered by the
// dialog file itself through the setting "autoanswer"), the quit message, the quit event.
TEST_F(GameMainTest, TheLoopRunsUntilTheQuitEvent) {
    mGame.Write("assets/scripts/yesno.lua",
                "SetWindowName(gDialogTable.name)\nCloseWindow(GetConfig('autoanswer'))\n");
    RunGame(
        [this](TPlatform* platform, GGameMain& game) {
            SetForegroundWindow(MainWindow(platform));
            DropPendingEvents(platform);
            Take();
            PostMessageA(MainWindow(platform), WM_CLOSE, 0, 0);
            game.RunLoop();
            EXPECT_EQ(Take(), (TLines{kQuitDialog, "answer yes"}));
        },
        {{"autoanswer", "yes"}});
    EXPECT_EQ(Take(), TLines{"close game"});
}

// Esc opens the pause dialog only during play over "game" or "TutorialModalWindow"; the key
// reaches the window manager in every case (the script receives "raw:" and the key). Lua texts:
// "DoModal('scripts/pause.lua')" where the pause opens, none elsewhere.
TEST_F(GameMainTest, EscPausesOnlyAPlayedLevelOnAPauseScreen) {
    struct TCase {
        const char* screen;
        bool playing;
        int key;
        TLines journal;
        const char* top;
    };
    const std::string esc = "message 4 raw:\x1b";
    const TCase cases[] = {
        {"scripts/game.lua",
         true,
         27,
         {"statistics pause", "DoModal scripts/pause.lua", esc},
         "pause"},
        {"scripts/tutorial.lua",
         true,
         27,
         {"statistics pause", "DoModal scripts/pause.lua", esc},
         "pause"},
        {"scripts/game.lua", false, 27, {esc}, "game"},
        {"scripts/menu.lua", true, 27, {esc}, "menu"},
        {"scripts/game.lua", true, 'A', {"message 4 raw:A"}, "game"},
    };
    for (const TCase& c : cases) {
        mHooks.levelPlaying = c.playing;
        RunGame(
            [&](TPlatform*, GGameMain& game) {
                Take();
                game.HandleEvent(MakeEvent(kEventKeyDown, c.key));
                EXPECT_EQ(Take(), c.journal) << c.screen << " key " << c.key;
                EXPECT_EQ(Top(), c.top) << c.screen << " key " << c.key;
            },
            {{"firstscreen", c.screen}});
        Take();
    }
}

// One stop dialog per loss of activation, popped when it comes back. Lua texts:
// "DoModal('scripts/stop_game.lua')", then "PopModal('stop_game');".
TEST_F(GameMainTest, LosingTheActivationTwiceGivesOneStopDialog) {
    RunGame([this](TPlatform*, GGameMain& game) {
        Take();
        game.HandleEvent(MakeEvent(kEventActivation, 1));
        EXPECT_EQ(Take(), TLines{}) << "regaining without a stop dialog does nothing";
        game.HandleEvent(MakeEvent(kEventActivation, 0));
        EXPECT_EQ(Take(), TLines{"DoModal scripts/stop_game.lua"});
        EXPECT_TRUE(game.IsStopDialogOpen());
        EXPECT_EQ(Top(), "stop_game");
        game.HandleEvent(MakeEvent(kEventActivation, 0));
        EXPECT_EQ(Take(), TLines{});
        game.HandleEvent(MakeEvent(kEventActivation, 1));
        EXPECT_EQ(Take(), TLines{"PopModal stop_game"});
        EXPECT_FALSE(game.IsStopDialogOpen());
        EXPECT_EQ(Stack(), TLines{"menu"});
        game.HandleEvent(MakeEvent(kEventActivation, 1));
        EXPECT_EQ(Take(), TLines{});
    });
}

// During play the pause dialog opens first and the stop dialog over it; the statistics pause is
// noted only while a level is active. Lua texts: "DoModal('scripts/pause.lua')" (with a game
// window), "DoModal('scripts/stop_game.lua')", then "PopModal('stop_game');".
TEST_F(GameMainTest, LosingTheActivationDuringPlayPausesFirst) {
    struct TCase {
        bool gameWindow;
        bool levelActive;
        TLines journal;
        TLines stack;
    };
    const TCase cases[] = {
        {true,
         true,
         {"outside release game_ctrl", "statistics pause", "DoModal scripts/pause.lua",
          "DoModal scripts/stop_game.lua"},
         {"pause", "game"}},
        {true,
         false,
         {"outside release game_ctrl", "DoModal scripts/pause.lua",
          "DoModal scripts/stop_game.lua"},
         {"pause", "game"}},
        {false, true, {"outside release game_ctrl", "DoModal scripts/stop_game.lua"}, {"game"}},
    };
    for (const TCase& c : cases) {
        mHooks.gameWindow = c.gameWindow;
        mHooks.levelActive = c.levelActive;
        RunGame(
            [&](TPlatform*, GGameMain& game) {
                Take();
                game.HandleEvent(MakeEvent(kEventActivation, 0));
                EXPECT_EQ(Take(), c.journal) << c.gameWindow << c.levelActive;
                EXPECT_EQ(Top(), "stop_game");
                game.HandleEvent(MakeEvent(kEventActivation, 1));
                EXPECT_EQ(Take(), TLines{"PopModal stop_game"});
                EXPECT_EQ(Stack(), c.stack);
            },
            {{"firstscreen", "scripts/game.lua"}});
        Take();
    }
}

// The game's mouse listeners are released before the window manager routes the release.
TEST_F(GameMainTest, LeftButtonReleasesOverTheGameReleaseItsListenersFirst) {
    struct TCase {
        const char* screen;
        TLines journal;
    };
    const TCase cases[] = {
        {"scripts/game.lua", {"outside release game_ctrl", "game_ctrl up 10,20"}},
        {"scripts/menu.lua", {"message 4 mouse:up"}},
    };
    for (const TCase& c : cases) {
        RunGame(
            [&](TPlatform*, GGameMain& game) {
                Take();
                game.HandleEvent(MakeEvent(kEventLeftUp, 0, 10, 20));
                EXPECT_EQ(Take(), c.journal) << c.screen;
            },
            {{"firstscreen", c.screen}});
        Take();
    }
}

TEST_F(GameMainTest, AltEnterStoresTheFullScreenStateAtOnce) {
    bool full = false;
    RunGame([&full](TPlatform* platform, GGameMain& game) {
        GUserManager* users = GetUserManager();
        ASSERT_NE(users, nullptr);
        users->GetPrefs()->SetInt("fullscreen", 7, -1, true);
        full = platform->IsFullScreen();
        game.HandleEvent(MakeEvent(kEventFullScreenToggled));
        EXPECT_EQ(users->GetPrefs()->GetInt("fullscreen", -1, -1), full ? 1 : 0);
        // Saved at once: a store that reads the file now sees it.
        TPrefs reread(false);
        EXPECT_EQ(reread.GetInt("fullscreen", -1, -1), full ? 1 : 0);
    });
}

// While the editor runs nothing of the game main's own handling happens: no dialog, no quit. A
// quit that came meanwhile ends the loop once the editor has ended.
TEST_F(GameMainTest, WhileTheEditorRunsEveryEventGoesStraightOn) {
    RunGame([this](TPlatform* platform, GGameMain& game) {
        SetForegroundWindow(MainWindow(platform));
        mHooks.editorRunning = true;
        Take();
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventClose)));
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventActivation, 0)));
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventQuit)));
        EXPECT_TRUE(game.HandleEvent(MakeEvent(kEventIdle)));
        EXPECT_EQ(Take(), TLines{});
        EXPECT_EQ(Top(), "menu");
        mHooks.editorRunning = false;
        EXPECT_FALSE(game.HandleEvent(MakeEvent(kEventIdle))) << "the kept quit";
    });
}

} // namespace gamemain_test
