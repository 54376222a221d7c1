// Follows a play session for the tracking reports and the per-level counters. One instance for
// the whole program, built on first use (the game main builds it early) and destroyed when the
// process ends. Main thread only.
#pragma once

#include "engine/core/random.h"

class GStatistics {
public:
    // The instance, built on first use.
    static GStatistics* Instance();

    GStatistics(const GStatistics&) = delete;
    GStatistics& operator=(const GStatistics&) = delete;

    // The statistics' own generator, seeded with the platform time when the instance was built;
    // player ids and session numbers are drawn from it.
    TRandom& GetRandom() { return mRandom; }

private:
    GStatistics();
    ~GStatistics() = default;

    TRandom mRandom;
};
