// Integer rectangles and points in pixels: window rectangles, clip and source rectangles, mouse
// positions. Plain values; any thread.
#pragma once

#include <algorithm>
#include <cstdint>

struct TRect {
    // Right and bottom are exclusive where windows test points. No constructor: a TRect declared
    // without an initialiser holds undefined values, as a plain struct does.
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;

    // The overlap of a and b (either may be this rectangle). When they do not overlap the result
    // is left as computed (right below left or bottom above top), not normalised.
    void Intersect(const TRect& a, const TRect& b) {
        const TRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
        *this = r;
    }
};

struct TPoint {
    int32_t x;
    int32_t y;

    bool operator==(const TPoint& other) const { return x == other.x && y == other.y; }
};
