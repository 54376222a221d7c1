// The statistics singleton: built once, with a generator of its own seeded from the platform time,
// and asked once per run whether to report.
#include "game/world/GStatistics.h"

#include "engine/system/platform.h"
#include "platform/win32/standin.h"
#include "tests/fixtures/childprocess.h"
#include "tests/game/shell/shell_fixture.h"

#include <gtest/gtest.h>

namespace {

// In a process of its own, so that the instance is first asked for at a time the test chose (on
// the stand-in's frozen clock): 0 when the instance is one and its outputs are those of a
// generator seeded with that time, 1 when they are not, 2 when a second instance was made.
CHILD_ENTRY(StatisticsSeed) {
    standin::SetFakeTime(7654321);
    GStatistics* statistics = GStatistics::Instance();
    standin::AdvanceTime(1000);
    if (GStatistics::Instance() != statistics) {
        return 2;
    }
    standin::SetFakeTime(7654321);
    TRandom expected;
    expected.Seed(TPlatform::GetTime());
    for (int i = 0; i < 8; ++i) {
        if (statistics->GetRandom().Next() != expected.Next()) {
            return 1;
        }
    }
    return 0;
}

TEST(Statistics, TheInstanceIsBuiltOnceSeededWithThePlatformTime) {
    const pid_t child = testing_fixtures::SpawnChild("StatisticsSeed", {});
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 0);
}

// The window script of a platform, made outside a test.
class TChildPlatform : public shell_test::TShellTest {
public:
    void Open() { SetUp(); }
    void Close() { TearDown(); }
    static void Run(const char* text) { TShellTest::Run(text); }

private:
    void TestBody() override {}
};

// 0 when the instance, asked first through the scripts while "gSendReport" is 1, keeps reporting
// after the global changed and in the window script of a platform made anew; 1 when it does not,
// 2 when it did not report to begin with.
CHILD_ENTRY(StatisticsReportingOnce) {
    auto* platform = new TChildPlatform;
    platform->Open();
    // The game main builds the instance before the scripts run.
    GStatistics::Instance();
    TChildPlatform::Run("gSendReport = 1; CPP_StatisticOnGameSessionStart()");
    if (!GStatistics::Instance()->IsSessionActive() || !GStatistics::Instance()->IsReporting()) {
        return 2;
    }
    TChildPlatform::Run("gSendReport = 0");
    const bool kept = GStatistics::Instance()->IsReporting();
    platform->Close();
    delete platform;

    auto* next = new TChildPlatform;
    next->Open();
    const bool keptAfter = GStatistics::Instance()->IsReporting();
    next->Close();
    delete next;
    return kept && keptAfter ? 0 : 1;
}

TEST(Statistics, ReportingIsAskedOncePerRun) {
    const pid_t child = testing_fixtures::SpawnChild("StatisticsReportingOnce", {});
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 0);
}

} // namespace
