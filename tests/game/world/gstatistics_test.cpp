// The statistics singleton: built once, with a generator of its own seeded from the platform time.
#include "game/world/GStatistics.h"

#include "engine/system/platform.h"
#include "platform/win32/standin.h"
#include "tests/fixtures/childprocess.h"

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

} // namespace
