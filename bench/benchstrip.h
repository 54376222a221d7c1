// The sprite strip the visual-object benchmarks load: a 128 x 32 RGBA PNG of four 32 x 32 frames,
// an opaque disc on transparent ground in each.
#pragma once

#include "bench/benchpng.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Green is `tint`, or a ramp down the rows when tint is negative.
inline std::vector<uint8_t> DiscStripPng(int tint = -1) {
    std::vector<uint8_t> pixels(128 * 32 * 4);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 128; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y * 128 + x) * 4];
            const int dx = x % 32 - 16;
            const int dy = y - 16;
            p[0] = static_cast<uint8_t>(x * 2);
            p[1] = static_cast<uint8_t>(tint < 0 ? y * 8 : tint);
            p[2] = 128;
            p[3] = dx * dx + dy * dy < 14 * 14 ? 255 : 0;
        }
    }
    return EncodePng(128, 32, PNG_FORMAT_RGBA, pixels);
}
