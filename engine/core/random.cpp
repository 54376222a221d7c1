#include "engine/core/random.h"

#include <cmath>

namespace {

constexpr int kN = 624;
constexpr int kM = 397;
constexpr uint32_t kMatrixA = 0x9908b0dfu;
constexpr uint32_t kUpperMask = 0x80000000u;
constexpr uint32_t kLowerMask = 0x7fffffffu;

constexpr uint32_t kDefaultKey[] = {0xd4c4cf4bu, 0x3e2019a7u, 0xe6489797u, 0x5746fcb5u};

uint32_t Twist(uint32_t upper, uint32_t lower, uint32_t far) {
    const uint32_t y = (upper & kUpperMask) | (lower & kLowerMask);
    return far ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
}

} // namespace

TRandom::TRandom() {
    SeedArray(kDefaultKey, 4);
}

void TRandom::Seed(uint32_t seed) {
    mState[0] = seed;
    for (int i = 1; i < kN; ++i) {
        const uint32_t prev = mState[i - 1];
        mState[i] = 1812433253u * (prev ^ (prev >> 30)) + static_cast<uint32_t>(i);
    }
    mIndex = kN;
}

void TRandom::SeedArray(const uint32_t* key, int length) {
    // An empty key mixes in nothing but the position terms; the published loop would read key[0].
    if (key == nullptr || length < 0) {
        length = 0;
    }
    Seed(19650218u);
    int i = 1;
    int j = 0;
    for (int k = length > kN ? length : kN; k > 0; --k) {
        const uint32_t prev = mState[i - 1];
        const uint32_t word = length > 0 ? key[j] : 0u;
        mState[i] =
            (mState[i] ^ ((prev ^ (prev >> 30)) * 1664525u)) + word + static_cast<uint32_t>(j);
        ++i;
        ++j;
        if (i >= kN) {
            mState[0] = mState[kN - 1];
            i = 1;
        }
        if (j >= length) {
            j = 0;
        }
    }
    for (int k = kN - 1; k > 0; --k) {
        const uint32_t prev = mState[i - 1];
        mState[i] = (mState[i] ^ ((prev ^ (prev >> 30)) * 1566083941u)) - static_cast<uint32_t>(i);
        ++i;
        if (i >= kN) {
            mState[0] = mState[kN - 1];
            i = 1;
        }
    }
    // The top bit alone makes the state non-zero whatever the key.
    mState[0] = 0x80000000u;
}

uint32_t TRandom::Next() {
    if (mIndex >= kN) {
        int k = 0;
        for (; k < kN - kM; ++k) {
            mState[k] = Twist(mState[k], mState[k + 1], mState[k + kM]);
        }
        for (; k < kN - 1; ++k) {
            mState[k] = Twist(mState[k], mState[k + 1], mState[k + (kM - kN)]);
        }
        mState[kN - 1] = Twist(mState[kN - 1], mState[0], mState[kM - 1]);
        mIndex = 0;
    }
    uint32_t y = mState[mIndex++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}

double RandomUnitReal(TRandom& random) {
    const uint32_t a = random.Next() >> 5;
    const uint32_t b = random.Next() >> 6;
    return (a * 67108864.0 + b) * (1.0 / 9007199254740992.0);
}

int RandomIntRange(TRandom& random, int a, int b) {
    // In double and 64 bits, so that no span of two ints overflows; the truncated offset is below
    // the span, so the sum lies between a and b and fits an int.
    const double span = static_cast<double>(b) - static_cast<double>(a) + 1.0;
    const auto offset = static_cast<int64_t>(std::trunc(RandomUnitReal(random) * span));
    return static_cast<int>(static_cast<int64_t>(a) + offset);
}

float RandomUnitFloat(TRandom& random) {
    return static_cast<float>(random.Next() * 2.3283063671497593e-10);
}
