// The C runtime's 15-bit generator: known sequences per seed, the range, and one seed per thread.
#include <gtest/gtest.h>

#include <thread>

#include "engine/core/crtrand.h"

namespace {

TEST(CrtRand, ReplaysTheRuntimeSequenceForASeed) {
    // holdrand = holdrand * 214013 + 2531011; the result is bits 16 to 30.
    const struct {
        uint32_t seed;
        int values[4];
    } cases[] = {
        {1, {41, 18467, 6334, 26500}},
        {0, {38, 7719, 21238, 2437}},
    };
    for (const auto& c : cases) {
        CrtSrand(c.seed);
        for (int v : c.values) {
            EXPECT_EQ(CrtRand(), v) << "seed " << c.seed;
        }
    }
}

TEST(CrtRand, StaysWithinFifteenBits) {
    CrtSrand(12345);
    for (int i = 0; i < 10000; i++) {
        const int r = CrtRand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, kCrtRandMax);
    }
}

TEST(CrtRand, EachThreadStartsFromSeedOne) {
    CrtSrand(99);
    CrtRand();
    int first = -1;
    std::thread t([&first] { first = CrtRand(); });
    t.join();
    EXPECT_EQ(first, 41);
}

} // namespace
