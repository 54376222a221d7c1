#include "engine/core/crtrand.h"

namespace {

thread_local uint32_t gHoldRand = 1;

} // namespace

void CrtSrand(uint32_t seed) {
    gHoldRand = seed;
}

int CrtRand() {
    gHoldRand = gHoldRand * 214013u + 2531011u;
    return static_cast<int>((gHoldRand >> 16) & 0x7FFFu);
}
