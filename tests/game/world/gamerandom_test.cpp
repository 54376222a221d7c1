// The game world's generator: made once, seeded with the platform time of its first use.
#include "game/world/GameRandom.h"

#include "engine/core/random.h"
#include "engine/system/platform.h"
#include "platform/win32/standin.h"
#include "tests/fixtures/childprocess.h"

#include <gtest/gtest.h>

namespace {

// In a process of its own, so that the first use falls at a time the test chose (on the stand-in's
// frozen clock): 0 when the generator is one and its outputs are those of one seeded with that
// time, 1 when they are not, 2 when a later use gave another generator.
CHILD_ENTRY(GameRandomSeed) {
    standin::SetFakeTime(2345678);
    TRandom& random = GameRandom();
    standin::AdvanceTime(5000);
    if (&GameRandom() != &random) {
        return 2;
    }
    standin::SetFakeTime(2345678);
    TRandom expected;
    expected.Seed(TPlatform::GetTime());
    for (int i = 0; i < 8; ++i) {
        if (GameRandom().Next() != expected.Next()) {
            return 1;
        }
    }
    return 0;
}

TEST(GameRandom, IsMadeOnceAndSeededWithThePlatformTimeOfItsFirstUse) {
    const pid_t child = testing_fixtures::SpawnChild("GameRandomSeed", {});
    EXPECT_EQ(testing_fixtures::WaitForProcess(child, 60), 0);
}

} // namespace
