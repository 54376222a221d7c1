// A play session followed by the statistics against the test HTTP server, with the demo's
// progress functions keeping the per-level counters on the stand-in's fake clock: the tracking
// requests as they arrive, the counters, pauses, and the score filed at the session's end.
#include "game/world/GStatistics.h"

#include "engine/core/qzhiscores.h"
#include "engine/core/settings.h"
#include "engine/system/platform.h"
#include "platform/win32/standin.h"
#include "tests/fixtures/httpserver.h"
#include "tests/game/world/progress_fixture.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace world_test {
namespace {

using testing_fixtures::THttpExchange;
using testing_fixtures::THttpReply;
using testing_fixtures::TTestHttpServer;

class StatisticsSession : public TProgressTest {
protected:
    void SetUp() override {
        TProgressTest::SetUp();
        CreateUserManager(mRandom);
        GetUserManager()->CreateNewUser("Ann");
        mInfo->Load();
        mUniqId = GetUserManager()->GetPrefs()->GetInt("uniq_id", 0, 0);
        mStatistics = std::make_unique<GStatistics>();
        mExpectedRandom.Seed(TPlatform::GetTime());
    }

    void TearDown() override {
        mStatistics.reset();
        mServer.reset();
        SetSetting("trackserver", "");
        TProgressTest::TearDown();
    }

    // The server, named by "trackserver".
    void Serve() {
        mServer = std::make_unique<TTestHttpServer>([](const THttpExchange&) {
            return THttpReply{200, "ok"};
        });
        SetSetting("trackserver", ("127.0.0.1:" + std::to_string(mServer->Port())).c_str());
    }

    // The path and query of each request once `count` have arrived.
    std::vector<std::string> Requests(size_t count) const {
        EXPECT_TRUE(mServer->WaitSeen(count, std::chrono::seconds(20)));
        std::vector<std::string> targets;
        for (const THttpExchange& exchange : mServer->Seen()) {
            targets.push_back(exchange.target);
        }
        return targets;
    }

    // The session number a session start draws next from a generator like the statistics' own.
    int NextSession() {
        return static_cast<int>(RandomUnitReal(mExpectedRandom) * 2147483646.0) + 1;
    }

    static int Seconds() { return static_cast<int>(TPlatform::GetTime() / 1000U); }
    static void Advance(int seconds) { standin::AdvanceTime(static_cast<DWORD>(seconds) * 1000); }

    int Counter(int level, int kind) {
        Run(("counter = LevelStatistic(" + std::to_string(level) + ", " + std::to_string(kind) +
             ", 0, 1)")
                .c_str());
        return static_cast<int>(Number("counter"));
    }

    std::unique_ptr<TTestHttpServer> mServer;
    std::unique_ptr<GStatistics> mStatistics;
    TRandom mExpectedRandom;
    int mUniqId = 0;
};

TEST_F(StatisticsSession, ReportsAGameStartAndEachLevelEnd) {
    Serve();
    Run("gSendReport = 1; gGameVersionPostfix = 'beta 2&x'");
    Advance(3);
    const int start = Seconds();
    Run("CPP_StatisticOnGameSessionStart(); CPP_StatisticOnGameStart()");
    const int session = NextSession();
    EXPECT_TRUE(mStatistics->IsSessionActive());
    const std::string prefix = "/gametrack/Track?cmd=endlevel&id=" + std::to_string(mUniqId) +
                               "&session=" + std::to_string(session);
    EXPECT_EQ(Requests(1)[0], "/gametrack/Track?cmd=startgame&id=" + std::to_string(mUniqId) +
                                  "&session=" + std::to_string(session) +
                                  "&time=" + std::to_string(start) +
                                  "&name=VorlaneMarivell&var=main&ver=1.0.0.22beta%202%26x&api=1");

    // 100 s of level with a pause of 30 s: 70 s of play. A resume without a pause adds nothing.
    Advance(10);
    mStatistics->OnLevelStart(1);
    EXPECT_TRUE(mStatistics->IsLevelActive());
    Advance(20);
    Run("CPP_StatisticOnPause(false)");
    Run("CPP_StatisticOnPause(true)");
    Advance(30);
    Run("CPP_StatisticOnPause(false)");
    Run("CPP_StatisticOnPause(false)");
    Advance(50);
    mInfo->LevelCompleted(1, 250, true);
    mStatistics->OnLevelEnd(GStatistics::kGoalReached);
    EXPECT_FALSE(mStatistics->IsLevelActive());
    EXPECT_EQ(Requests(2)[1], prefix + "&level=1&btime=10&etime=110&bscore=0&escore=250&blives=0&"
                                       "elives=0&endcause=1&prevtime=0&pausetime=30&misc1=1&"
                                       "misc2=0&misc3=1");
    EXPECT_EQ(Counter(1, 4), 70);
    // The end saved the progress with the counters.
    EXPECT_NE(Stored("gGlobalPlayerInfo", 0).find("seconds=70"), std::string::npos);

    // A reset records neither a loss nor a win; a second pause keeps the first one's start.
    mStatistics->OnLevelStart(1);
    Advance(5);
    mStatistics->CPP_StatisticOnPause(true);
    Advance(5);
    mStatistics->CPP_StatisticOnPause(true);
    Advance(5);
    mStatistics->CPP_StatisticOnPause(false);
    Advance(25);
    mStatistics->OnLevelEnd(GStatistics::kLevelReset);
    EXPECT_EQ(Requests(3)[2], prefix + "&level=1&btime=110&etime=150&bscore=250&escore=250&"
                                       "blives=0&elives=0&endcause=2&prevtime=70&pausetime=10&"
                                       "misc1=1&misc2=0&misc3=2");
    EXPECT_EQ(Counter(1, 2), 0);
    EXPECT_EQ(Counter(1, 3), 1);
    EXPECT_EQ(Counter(1, 4), 100);

    // A lost level of a session whose game start was not reported carries id 0.
    Run("CPP_StatisticOnGameSessionStart()");
    const int second = NextSession();
    mStatistics->OnLevelStart(2);
    Advance(7);
    mStatistics->OnLevelEnd(GStatistics::kLevelLost);
    EXPECT_EQ(Requests(4)[3],
              "/gametrack/Track?cmd=endlevel&id=0&session=" + std::to_string(second) +
                  "&level=2&btime=0&etime=7&bscore=250&escore=250&blives=0&"
                  "elives=0&endcause=0&prevtime=0&pausetime=0&misc1=0&misc2=1&"
                  "misc3=1");
    EXPECT_EQ(Counter(2, 2), 1);
}

TEST_F(StatisticsSession, TheVersionWithoutAPostfixAndTheSessionNumbersRange) {
    Serve();
    Run("gSendReport = 1");
    Run("CPP_StatisticOnGameSessionStart(); CPP_StatisticOnGameStart()");
    const std::string target = Requests(1)[0];
    EXPECT_NE(target.find("&ver=1.0.0.22&api=1"), std::string::npos) << target;
    for (int i = 0; i < 200; ++i) {
        const int session = NextSession();
        ASSERT_GE(session, 1);
        ASSERT_LE(session, 2147483646);
    }
}

TEST_F(StatisticsSession, ReportingIsDecidedByTheFirstQuestion) {
    Run("gSendReport = 1");
    EXPECT_TRUE(mStatistics->IsReporting());
    Run("gSendReport = 0");
    EXPECT_TRUE(mStatistics->IsReporting());

    GStatistics quiet;
    Run("gSendReport = nil");
    EXPECT_FALSE(quiet.IsReporting());
    Run("gSendReport = 1");
    EXPECT_FALSE(quiet.IsReporting());
}

TEST_F(StatisticsSession, WithReportingOffOnlyTheStartReportIsSentAndNoCounterIsTouched) {
    Serve();
    Run("gSendReport = 0; LevelStatistic = function() statisticCalled = 1 end");
    Run("CPP_StatisticOnGameSessionStart(); CPP_StatisticOnGameStart()");
    EXPECT_TRUE(mStatistics->IsSessionActive());
    mStatistics->OnLevelStart(1);
    mStatistics->CPP_StatisticOnPause(true);
    Advance(10);
    mStatistics->CPP_StatisticOnPause(false);
    mStatistics->OnLevelEnd(GStatistics::kLevelLost);
    Run("CPP_StatisticOnGameSessionStart(); CPP_StatisticOnGameStart()");
    // Without reporting the record keeps zeros: no session was drawn.
    EXPECT_EQ(Requests(2)[1], "/gametrack/Track?cmd=startgame&id=" + std::to_string(mUniqId) +
                                  "&session=0&time=0&name=&var=&ver=&api=0");
    EXPECT_FALSE(mServer->WaitSeen(3, std::chrono::milliseconds(300)));
    EXPECT_TRUE(IsNil("statisticCalled"));
}

TEST_F(StatisticsSession, WithoutATrackServerTheRequestIsOnlyLogged) {
    mServer = std::make_unique<TTestHttpServer>([](const THttpExchange&) {
        return THttpReply{200, "ok"};
    });
    Run("gSendReport = 1; CPP_StatisticOnGameSessionStart(); CPP_StatisticOnGameStart()");
    const std::string expected =
        "GStatistics: no trackserver, not sent: "
        "/gametrack/Track?cmd=startgame&id=" +
        std::to_string(mUniqId) + "&session=" + std::to_string(NextSession()) +
        "&time=" + std::to_string(Seconds()) + "&name=VorlaneMarivell&var=main&ver=1.0.0.22&api=1";
    EXPECT_NE(LogText().find(expected), std::string::npos) << LogText();
    EXPECT_FALSE(mServer->WaitSeen(1, std::chrono::milliseconds(300)));
}

TEST_F(StatisticsSession, TheSessionEndFilesTheScoreOncePerPlayer) {
    Run("gSendReport = 1; CPP_StatisticOnGameSessionStart()");
    Run("CPP_StatisticOnSessionEnd(500)");
    EXPECT_FALSE(mStatistics->IsSessionActive());
    Run("CPP_StatisticOnSessionEnd(700.9)");
    Run("CPP_StatisticOnSessionEnd(0)");
    GetUserManager()->CreateNewUser("Bob");
    Run("CPP_StatisticOnSessionEnd(300)");
    Run("CPP_StatisticOnSessionEnd(-5)");
    EXPECT_TRUE(mStatistics->CPP_StatisticOnSessionEnd(0));

    TQzHiscores* hiscores = GetUserManager()->GetHiscores();
    ASSERT_EQ(hiscores->GetScoreCount(true), 2);
    struct TRow {
        std::string name;
        int score;
    };
    const TRow expected[] = {{"Ann", 700}, {"Bob", 300}};
    for (int i = 0; i < 2; ++i) {
        char name[32] = {};
        int score = 0;
        ASSERT_TRUE(hiscores->GetScore(true, i, nullptr, name, static_cast<int>(sizeof name),
                                       nullptr, &score, nullptr, 0));
        EXPECT_EQ(name, expected[i].name);
        EXPECT_EQ(score, expected[i].score);
    }

    // Without the profiles there is no table to file in.
    DestroyUserManager();
    EXPECT_TRUE(mStatistics->CPP_StatisticOnSessionEnd(900));
}

} // namespace
} // namespace world_test
