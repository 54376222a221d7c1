// The C runtime's 15-bit generator, reproduced so that script and game sequences match the
// original platform: the same seed gives the same numbers. Each thread has its own seed, as
// in the multithreaded runtime; the seed starts at 1.
#pragma once

#include <cstdint>

constexpr int kCrtRandMax = 0x7FFF;

void CrtSrand(uint32_t seed);
// 0 to kCrtRandMax.
int CrtRand();
