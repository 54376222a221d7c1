#include "engine/core/color.h"

#include <cmath>

namespace {

// Truncates toward zero. A value that has no 32-bit integer (NaN, infinity, out of range) gives
// 0x80000000, the integer a hardware truncation answers, instead of undefined behaviour.
uint32_t Truncate(float component) {
    const double v = static_cast<double>(component) * 255.0;
    if (!(v > -2147483649.0 && v < 2147483648.0)) {
        return 0x80000000u;
    }
    return static_cast<uint32_t>(static_cast<int32_t>(v));
}

} // namespace

TColor32::TColor32(const TColor& color)
    : value(Truncate(color.a) << 24 | Truncate(color.r) << 16 | Truncate(color.g) << 8 |
            Truncate(color.b)) {}
