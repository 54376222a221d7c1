// The web-portal host handler against a fake host: the game's main window is created inside the
// host as with "-wnd=", commands arrive at the host in 8-byte pieces, and host events travel back
// through the main window's procedure into the game state.
#include "engine/system/gamestate.h"
#include "engine/system/portal.h"
#include "tests/engine/system/platform_fixture.h"
#include "tests/fixtures/fakehost.h"

#include <atomic>
#include <cstdio>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using platform_test::TFakeSound;
using platform_test::TPlatformTest;
using testing_fixtures::TFakeHost;

enum class TMode { kMsn, kZylom, kPq };

const char* const kSessionReady = "SessionReady(\"<data></data>\")";

class PortalTest : public TPlatformTest {
protected:
    void SetUp() override {
        TPlatformTest::SetUp();
        // A folder of this test's own: a death test's child ends through exit(), which removes
        // the shared one the platform fixture keeps.
        standin::SetRuntimeFolder(mRuntime.Path().string());
        ResetPortalStateForTests();
        mHost = std::make_unique<TFakeHost>();
    }

    void TearDown() override {
        TPlatformTest::TearDown();
        mHost.reset();
        standin::SetRuntimeFolder(std::string());
        ResetPortalStateForTests();
    }

    // The platform with its main window inside the fake host (or with no host), a sound manager
    // at master volume 0.8, and the portal mode on.
    void Start(TMode mode, bool withHost = true) {
        TWin32Platform& record = Open(withHost ? mHost->Handle() : nullptr);
        mSound = new TFakeSound;
        record.mSoundManager = mSound;
        if (mode == TMode::kPq) {
            gCommandLine = "game -pq=1";
        }
        if (mode == TMode::kZylom) {
            EnableZylomMode();
        } else {
            EnableMsnMode();
        }
        mHost->Clear();
    }

    // The host posts an event; the main window's procedure hands it to the game state.
    void HostEvent(int kind) {
        ASSERT_EQ(mHost->SendEvent(static_cast<WPARAM>(kind)), 1) << "event " << kind;
        MSG message;
        for (int i = 0; i < 1000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
            DispatchMessageA(&message);
        }
    }

    void Set(const char* key, const char* value = "") {
        TGameState::Get()->SetState(str(key), str(value));
    }

    std::vector<std::string> Commands() { return mHost->Commands(); }

    testing_fixtures::TempDir mRuntime;
    std::unique_ptr<TFakeHost> mHost;
    TFakeSound* mSound = nullptr;
};

TEST_F(PortalTest, TheMainWindowLivesInTheHost) {
    // What start-up reads after "-wnd=".
    unsigned number = 0;
    ASSERT_EQ(std::sscanf(mHost->WndSwitch().c_str(), "-wnd=%x", &number), 1);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number)), mHost->Handle());
    EXPECT_TRUE(IsWindow(mHost->Handle()));
    Start(TMode::kMsn);
    EXPECT_EQ(GetParent(mMain), mHost->Handle());
    EXPECT_EQ(gPortalHostWindow, mHost->Handle());
    EXPECT_EQ(mHost->AttachedCount(), 1);
}

TEST_F(PortalTest, CommandsGoOutIn8BytePiecesEndingWithTheNul) {
    struct TCase {
        const char* key;
        const char* text;
        size_t pieces;
    };
    const TCase cases[] = {
        // 29 characters: three full pieces, then the last 5 and the NUL.
        {"sessionready", kSessionReady, 4},
        // 32 characters: the NUL alone in a fifth piece.
        {"gameover", "GameEnd(\"<gamedata></gamedata>\")", 5},
        {"breaknow", "GameBreak(\"<data><breakpoint>1</breakpoint></data>\")", 7},
    };
    Start(TMode::kZylom);
    for (const TCase& c : cases) {
        mHost->Clear();
        Set(c.key);
        EXPECT_EQ(Commands(), std::vector<std::string>{c.text}) << c.key;
        EXPECT_EQ(mHost->Messages().size(), c.pieces) << c.key;
        for (const auto& piece : mHost->Messages()) {
            EXPECT_EQ(piece.message, static_cast<UINT>(WM_USER));
        }
    }
}

TEST_F(PortalTest, TheLastPieceCarriesNothingPastTheNul) {
    Start(TMode::kZylom);
    Set("sessionready");
    const auto& pieces = mHost->Messages();
    ASSERT_EQ(pieces.size(), 4u);
    // "Sess" "ionR" little-endian.
    EXPECT_EQ(pieces[0].wParam, 0x73736553u);
    EXPECT_EQ(pieces[0].lParam, 0x526E6F69);
    // "ta>\"" and ")" with the NUL and zeros.
    EXPECT_EQ(pieces[3].wParam, 0x223E6174u);
    EXPECT_EQ(pieces[3].lParam, 0x29);
}

TEST_F(PortalTest, SessionReadyGoesOutOncePerRun) {
    Start(TMode::kZylom);
    Set("sessionready");
    Set("sessionready");
    EXPECT_EQ(Commands(), std::vector<std::string>{kSessionReady});
}

TEST_F(PortalTest, ScoresLessThan5000MsApartGiveOneBroadcast) {
    Start(TMode::kMsn);
    Set("score", "50");
    EXPECT_TRUE(Commands().empty()) << "no broadcast before a game is being played";
    HostEvent(7);
    Set("score", "100");
    standin::AdvanceTime(4999);
    Set("score", "200");
    standin::AdvanceTime(1);
    Set("score", "300");
    EXPECT_EQ(Commands(), (std::vector<std::string>{
                              "ScoreBroadcast(\"<game><score>100</score><time>0</time></game>\")",
                              "ScoreBroadcast(\"<game><score>300</score><time>5</time></game>\")",
                          }));
    EXPECT_FALSE(IsPortalPaused()) << "a broadcast does not pause";
}

TEST_F(PortalTest, TheFirstNewGameRequestsNoRestartLaterOnesDo) {
    Start(TMode::kMsn);
    TGameState& state = *TGameState::Get();
    HostEvent(7);
    EXPECT_FALSE(state.QueryRestartMode()) << "the first game after launch";
    HostEvent(7);
    EXPECT_TRUE(state.QueryRestartMode());
    EXPECT_FALSE(state.QueryRestartMode()) << "a request is taken once";
    HostEvent(1);
    EXPECT_TRUE(state.QueryJumpToMenu());
    EXPECT_FALSE(state.QueryJumpToMenu());
    HostEvent(7);
    EXPECT_FALSE(state.QueryRestartMode()) << "the first game after a jump to the menu";
    HostEvent(7);
    EXPECT_TRUE(state.QueryRestartMode());
    HostEvent(8);
    EXPECT_TRUE(state.QueryRestartMode());
}

TEST_F(PortalTest, AJumpToMenuNotTakenDoesNotSkipTheRestart) {
    Start(TMode::kMsn);
    HostEvent(7);
    HostEvent(1);
    HostEvent(7);
    EXPECT_TRUE(TGameState::Get()->QueryRestartMode());
}

TEST_F(PortalTest, HostMuteOverridesTheGameUnmutingItself) {
    Start(TMode::kZylom);
    HostEvent(2);
    EXPECT_EQ(mSound->master, 0.0f);
    Set("mute", "1");
    Set("mute", "0");
    EXPECT_EQ(mSound->master, 0.0f) << "the host still wants silence";
    EXPECT_FALSE(TGameState::Get()->QueryMuteGame());
    HostEvent(3);
    EXPECT_EQ(mSound->master, 0.8f);
    // The volume was saved once, and only the portal touched it.
    EXPECT_EQ(mSound->calls, (std::vector<std::string>{"get -1", "set -1 0", "set -1 0.8"}));
}

TEST_F(PortalTest, GameMuteIsTheGamesAndMutesToo) {
    Start(TMode::kZylom);
    Set("mute", "1");
    EXPECT_TRUE(TGameState::Get()->QueryMuteGame());
    EXPECT_EQ(mSound->master, 0.0f);
    Set("mute", "0");
    EXPECT_FALSE(TGameState::Get()->QueryMuteGame());
    EXPECT_EQ(mSound->master, 0.8f);
}

TEST_F(PortalTest, MsnStaysSilentOutsideAGame) {
    Start(TMode::kMsn);
    HostEvent(3);
    EXPECT_EQ(mSound->master, 0.0f);
    HostEvent(7);
    EXPECT_EQ(mSound->master, 0.8f);
    Set("gameover");
    HostEvent(5);
    EXPECT_EQ(mSound->master, 0.0f);
}

TEST_F(PortalTest, PqModePostsNothingAndMarksTheGameActive) {
    Start(TMode::kPq);
    HostEvent(3);
    EXPECT_EQ(mSound->master, 0.0f) << "no game yet";
    Set("sessionready");
    Set("gamemode", "classic");
    Set("breaknow");
    Set("gameover");
    EXPECT_TRUE(mHost->Messages().empty());
    EXPECT_FALSE(IsPortalPaused());
    Set("gamemode", "classic");
    HostEvent(3);
    EXPECT_EQ(mSound->master, 0.8f) << "sending a command started a game";
}

TEST_F(PortalTest, PqModeHostPauseReleasesTheGamesCapture) {
    Start(TMode::kPq);
    SetCapture(mMain);
    HostEvent(4);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_TRUE(IsPortalPaused());
}

TEST_F(PortalTest, BreakNowPausesOnlyInMsnMode) {
    const char* const kBreak = "GameBreak(\"<data><breakpoint>1</breakpoint></data>\")";
    Start(TMode::kZylom);
    Set("breaknow");
    EXPECT_EQ(Commands(), std::vector<std::string>{kBreak});
    EXPECT_FALSE(IsPortalPaused());
    EXPECT_FALSE(TGameState::Get()->IsBusy());
}

TEST_F(PortalTest, MsnPausesAfterABreakUntilAResumeEvent) {
    struct TCase {
        int event;
        bool resumes;
    };
    const TCase cases[] = {{5, true},  {6, true},  {7, true},  {9, true},  {10, true},  {1, false},
                           {2, false}, {3, false}, {4, false}, {8, false}, {11, false}, {0, false}};
    Start(TMode::kMsn);
    int breaks = 0;
    for (const TCase& c : cases) {
        mHost->Clear();
        Set("breaknow");
        ++breaks;
        EXPECT_EQ(Commands().size(), 1u);
        EXPECT_TRUE(IsPortalPaused());
        EXPECT_TRUE(TGameState::Get()->IsBusy());
        HostEvent(c.event);
        EXPECT_EQ(IsPortalPaused(), !c.resumes) << "event " << c.event;
        HostEvent(5);
        EXPECT_FALSE(IsPortalPaused());
        if (c.event == 7) {
            breaks = 0;
        }
    }
    mHost->Clear();
    Set("breaknow");
    EXPECT_EQ(Commands(),
              std::vector<std::string>{"GameBreak(\"<data><breakpoint>" +
                                       std::to_string(breaks + 1) + "</breakpoint></data>\")"});
}

TEST_F(PortalTest, MsnPausesAfterEachCommandButTheScore) {
    struct TCase {
        const char* key;
        const char* value;
        bool pauses;
    };
    const TCase cases[] = {{"sessionready", "", true}, {"gamemode", "classic", true},
                           {"breaknow", "", true},     {"gameover", "", true},
                           {"score", "10", false},     {"pause", "1", false}};
    Start(TMode::kMsn);
    for (const TCase& c : cases) {
        HostEvent(7);
        Set(c.key, c.value);
        EXPECT_EQ(IsPortalPaused(), c.pauses) << c.key;
        Set("pause", "0");
    }
}

TEST_F(PortalTest, GameReadyCarriesTheModeAndStaysWithinTheBuffer) {
    Start(TMode::kZylom);
    Set("gamemode", "timed");
    Set("gamemode", std::string(300, 'm').c_str());
    const auto commands = Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0], "GameReady(\"<data><mode>timed</mode></data>\")");
    const std::string head = "GameReady(\"<data><mode>";
    const std::string tail = "</mode></data>\")";
    EXPECT_EQ(commands[1], head + std::string(255 - head.size() - tail.size(), 'm') + tail);
}

TEST_F(PortalTest, TheGamesOwnPauseIsToldToAZylomHostOnly) {
    struct TCase {
        TMode mode;
        std::vector<std::string> commands;
    };
    const TCase cases[] = {
        {TMode::kZylom, {"GamePause(\"<data>true</data>\")", "GamePause(\"<data>false</data>\")"}},
        {TMode::kMsn, {}},
    };
    for (const TCase& c : cases) {
        ResetPortalStateForTests();
        delete mPlatform;
        mPlatform = nullptr;
        Start(c.mode);
        Set("pause", "1");
        Set("pause", "1");
        Set("pause", "0");
        EXPECT_EQ(Commands(), c.commands);
        EXPECT_FALSE(TGameState::Get()->IsBusy()) << "the game's own pause is not the host's";
    }
}

TEST_F(PortalTest, SystemModeNamesThePortal) {
    struct TCase {
        TMode mode;
        const char* answer;
    };
    for (const TCase& c :
         {TCase{TMode::kMsn, "msn"}, TCase{TMode::kZylom, "zylom"}, TCase{TMode::kPq, "msn"}}) {
        ResetPortalStateForTests();
        delete mPlatform;
        mPlatform = nullptr;
        gCommandLine = nullptr;
        Start(c.mode);
        TGameState& state = *TGameState::Get();
        EXPECT_EQ(std::string(state.GetState(str("systemmode")).CStr()), c.answer);
        Set("level", "4");
        EXPECT_EQ(std::string(state.GetState(str("level")).CStr()), "4")
            << "other keys pass through";
    }
}

// As start-up does: "-msn" before the platform exists, "-pq=" after it.
TEST_F(PortalTest, MsnAloneOrWithPqAddsOneHandler) {
    for (const bool pqToo : {false, true}) {
        ResetPortalStateForTests();
        delete mPlatform;
        mPlatform = nullptr;
        EnableMsnMode();
        Open(mHost->Handle());
        if (pqToo) {
            EnableMsnMode();
        }
        mHost->Clear();
        Set("breaknow");
        EXPECT_EQ(
            Commands(),
            std::vector<std::string>{"GameBreak(\"<data><breakpoint>1</breakpoint></data>\")"})
            << (pqToo ? "-msn -pq=" : "-msn");
    }
}

TEST_F(PortalTest, PausedTimeGrowsWithThePauseAndTimeNeverStepsBack) {
    Start(TMode::kMsn);
    // Time as the platform clock sees it: the tick count less the paused total.
    const auto Seen = [] { return timeGetTime() - GetPortalPausedTime(); };
    EXPECT_EQ(GetPortalPausedTime(), 0u);
    standin::AdvanceTime(100);
    const DWORD before = Seen();
    const uint32_t platformBefore = TPlatform::GetTime();
    Set("breaknow");
    for (int step = 0; step < 3; ++step) {
        standin::AdvanceTime(1000);
        EXPECT_EQ(Seen(), before) << "time stands still while the host pause lasts";
        EXPECT_EQ(TPlatform::GetTime(), platformBefore);
    }
    EXPECT_EQ(GetPortalPausedTime(), 3000u);
    HostEvent(5);
    EXPECT_EQ(GetPortalPausedTime(), 3000u);
    EXPECT_EQ(Seen(), before);
    standin::AdvanceTime(250);
    EXPECT_EQ(Seen(), before + 250);
    EXPECT_GE(TPlatform::GetTime(), platformBefore);
    Set("breaknow");
    standin::AdvanceTime(40);
    HostEvent(6);
    EXPECT_EQ(GetPortalPausedTime(), 3040u);
    EXPECT_EQ(Seen(), before + 250);
}

// The sound thread reads the engine's time while the host pauses and resumes the game.
TEST_F(PortalTest, EngineTimeIsReadFromAnotherThreadWhileTheHostPauses) {
    Start(TMode::kMsn);
    std::atomic<bool> done{false};
    std::atomic<bool> steppedBack{false};
    std::thread reader([&] {
        uint32_t last = TPlatform::GetTime();
        while (!done) {
            const uint32_t now = TPlatform::GetTime();
            steppedBack = steppedBack || static_cast<int32_t>(now - last) < 0;
            last = now;
        }
    });
    for (int i = 0; i < 200; ++i) {
        Set("breaknow");
        standin::AdvanceTime(3);
        HostEvent(5);
        standin::AdvanceTime(2);
    }
    done = true;
    reader.join();
    EXPECT_FALSE(steppedBack);
    EXPECT_EQ(GetPortalPausedTime(), 600u);
}

TEST_F(PortalTest, TheGameClockStandsStillDuringAHostPause) {
    Start(TMode::kMsn);
    HostEvent(7);
    standin::AdvanceTime(2000);
    Set("breaknow");
    standin::AdvanceTime(60000);
    HostEvent(5);
    standin::AdvanceTime(3000);
    Set("score", "1");
    EXPECT_EQ(Commands().back(), "ScoreBroadcast(\"<game><score>1</score><time>5</time></game>\")");
}

TEST_F(PortalTest, HostPauseHidesTheGamesCursorUntilResumed) {
    Start(TMode::kMsn);
    TWin32Platform& record = *mPlatform->GetWin32();
    Set("breaknow");
    EXPECT_FALSE(record.mCursorVisible);
    HostEvent(5);
    EXPECT_TRUE(record.mCursorVisible);
    Set("pause", "1");
    Set("breaknow");
    EXPECT_TRUE(record.mCursorVisible) << "a game paused by itself keeps its cursor";
}

TEST_F(PortalTest, MsnWithoutALiveHostNeverPausesForever) {
    struct TCase {
        const char* name;
        bool withHost;
        bool closeBeforeCommand;
    };
    const TCase cases[] = {{"no host", false, false}, {"host gone before", true, true}};
    for (const TCase& c : cases) {
        ResetPortalStateForTests();
        delete mPlatform;
        mPlatform = nullptr;
        mHost = std::make_unique<TFakeHost>();
        Start(TMode::kMsn, c.withHost);
        if (c.closeBeforeCommand) {
            mHost->Close();
        }
        Set("breaknow");
        EXPECT_FALSE(IsPortalPaused()) << c.name;
        EXPECT_FALSE(TGameState::Get()->IsBusy()) << c.name;
    }
}

TEST_F(PortalTest, AHostPauseEndsWhenTheHostGoes) {
    Start(TMode::kMsn);
    Set("breaknow");
    EXPECT_TRUE(TGameState::Get()->IsBusy());
    standin::AdvanceTime(700);
    mHost->Close();
    EXPECT_FALSE(TGameState::Get()->IsBusy());
    EXPECT_FALSE(IsPortalPaused());
    standin::AdvanceTime(300);
    EXPECT_EQ(GetPortalPausedTime(), 700u);
}

TEST_F(PortalTest, AZylomGameEndsWhenItsHostGoes) {
    Start(TMode::kZylom);
    EXPECT_EQ(Next().type, kEventIdle);
    mHost->Close();
    EXPECT_EQ(Next().type, kEventQuit);
}

TEST_F(PortalTest, WithoutSoundManagerMuteWaitsForOne) {
    Start(TMode::kZylom);
    mPlatform->GetWin32()->mSoundManager = nullptr;
    HostEvent(2);
    mPlatform->GetWin32()->mSoundManager = mSound;
    EXPECT_EQ(mSound->master, 0.8f);
    HostEvent(3);
    HostEvent(2);
    EXPECT_EQ(mSound->master, 0.0f);
    HostEvent(3);
    EXPECT_EQ(mSound->master, 0.8f);
}

TEST(PortalOutsideModesTest, EveryOperationDoesNothing) {
    ResetPortalStateForTests();
    TMsnZylomHandler handler;
    EXPECT_TRUE(handler.SetState("windowmessage", "8"));
    EXPECT_FALSE(handler.SetState("breaknow", ""));
    EXPECT_FALSE(handler.QueryRestartMode());
    EXPECT_FALSE(handler.QueryPause());
    EXPECT_FALSE(IsPortalPaused());
    // Across many millisecond boundaries: the paused time is never read off two ticks.
    for (int i = 0; i < 200000; ++i) {
        ASSERT_EQ(GetPortalPausedTime(), 0u) << i;
    }
    EXPECT_FALSE(IsMsnMode());
    EXPECT_FALSE(IsZylomMode());
    EXPECT_STREQ(handler.GetState("systemmode", "pc"), "pc");
}

} // namespace
