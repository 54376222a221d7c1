// Texture coordinates of the textured fast path (d3dfastpath.h) along one screen axis: which
// columns (or rows) of a triangle take one float coordinate on every pixel whatever the general
// path's rounding, and the texels and weight the sampler takes there. Not part of the Direct3D
// surface.
#pragma once

#include "platform/directx/d3draster.h"

#include <cstdint>
#include <vector>

namespace standin::detail {

// A texture coordinate that changes along one axis only: `low` at sub-pixel position `from`,
// `high` at `to` (from < to).
struct TLinearCoordinate {
    std::int64_t from, to;
    float low, high;

    bool operator==(const TLinearCoordinate& other) const;
};

// The coordinate `attribute` (kU or kV) of a triangle as a function of the vertices' sub-pixel
// `positions` (x for kU, y for kV) alone, if it is one: the positions take two values and the
// vertices sharing one have equal coordinates, within a range far from overflow.
bool CoordinateAlong(const TTriangle& t, const std::int64_t* positions, int attribute,
                     TLinearCoordinate* out);

// Per pixel along one axis of a box: whether the coordinate is certain, and if so the texels and
// the weight of the second (also in 256ths, or -1 when it is not a whole number of them), and
// where runs of neighbouring texels start.
class TTexelAxis {
public:
    // For `count` pixels from `start` with centres `offset` sub-pixels on; made again only when
    // something it depends on changes, so the two triangles of a quad share it.
    void Build(int start, int count, std::int64_t offset, const TLinearCoordinate& c, DWORD size,
               DWORD mode, bool linear);

    // The first pixel and the pixels it was made for.
    int Start() const { return mStart; }
    int Count() const { return static_cast<int>(mCertain.size()); }
    bool Certain(int i) const { return mCertain[i] != 0; }
    const std::vector<int>& Uncertain() const { return mUncertain; }
    const int* First() const { return mFirst.data(); }
    const int* Second() const { return mSecond.data(); }
    const double* Weight() const { return mWeight.data(); }
    const int* Weight256() const { return mWeight256.data(); }
    // Whether every certain weight is a whole number of 256ths, or exactly a half.
    bool Whole256() const { return mWhole256; }
    bool Halves() const { return mHalves; }
    // How many pixels from i on take texels first[i] + k and first[i] + k + 1 (linear) or
    // first[i] + k (point) with certain coordinates, k counting from 0.
    int Straight(int i) const { return mStraight[i]; }

private:
    // The table depends on the centres only relative to the coordinate's ends, so quads of one
    // size and mapping share it wherever they are.
    struct TKey {
        std::int64_t firstCentre, span, count; // sub-pixels from c.from, c.to - c.from
        std::uint32_t low, high;               // float bits
        DWORD size, mode;
        bool linear;
        bool operator==(const TKey&) const = default;
    };
    TKey mKey{};
    bool mValid = false;
    int mStart = 0;
    std::vector<int> mFirst, mSecond, mWeight256, mStraight;
    std::vector<double> mWeight;
    std::vector<std::uint8_t> mCertain;
    std::vector<int> mUncertain; // in order
    bool mWhole256 = true;
    bool mHalves = true;
};

} // namespace standin::detail
