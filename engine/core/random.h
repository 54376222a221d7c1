// The engine's pseudo-random generator, the Mersenne Twister MT19937 with its standard seeding by
// one word or by an array of words. Each user owns its own generator (game world, particle
// systems), so sequences are reproducible and independent. One thread per generator.
#pragma once

#include <cstdint>

class TRandom {
public:
    // Seeded with a fixed key, the same for every object: usable at once, same sequence each run.
    TRandom();

    void Seed(uint32_t seed);
    // A null key or a length of 0 or less seeds as an empty key.
    void SeedArray(const uint32_t* key, int length);
    uint32_t Next();

private:
    static constexpr int kStateSize = 624;

    uint32_t mState[kStateSize];
    // The next word to hand out; kStateSize or more means the state must be regenerated first.
    int32_t mIndex = kStateSize;
};

// Scalings of a generator's outputs.
// A real in [0, 1) with 53-bit resolution, from two successive outputs.
double RandomUnitReal(TRandom& random);
// An integer from a to b: a + trunc(RandomUnitReal * (b - a + 1)).
int RandomIntRange(TRandom& random, int a, int b);
// One output times 2.3283063671497593e-10, rounded to single precision. The factor is a hair
// under 2^-32, so even the largest output gives the largest float below 1, never 1.0.
float RandomUnitFloat(TRandom& random);
