#include "platform/directx/d3daxis.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace standin::detail {

namespace {

// The general path's texture coordinate strays from the exact value by at most a few double
// roundings of sum(weight * |value|) over the vertices (its weights are never negative); this is
// sixteen times that bound and what rounding the estimate here adds, so a coordinate whose
// interval [estimate +- that] rounds to one float is certain to be that float in the general
// path. A vertex of weight exactly 0 (a pixel centre on the opposite leg) adds nothing, in
// either.
constexpr double kCoordinateError = 0x1p-44;
// Texture coordinates beyond this are left to the general path, far from overflow.
constexpr double kMaxCoordinate = 0x1p24;

// The floats next to a finite `value` below and above it.
void Neighbours(float value, float* below, float* above) {
    if (value == 0.0f) {
        *above = std::numeric_limits<float>::denorm_min();
        *below = -*above;
        return;
    }
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t outwards = bits + 1;
    const std::uint32_t inwards = bits - 1;
    *above = std::bit_cast<float>(value > 0.0f ? outwards : inwards);
    *below = std::bit_cast<float>(value > 0.0f ? inwards : outwards);
}

// Whether three sub-pixel positions take exactly two values; the lower and higher then.
bool TwoValues(const std::int64_t* p, std::int64_t* low, std::int64_t* high) {
    *low = std::min({p[0], p[1], p[2]});
    *high = std::max({p[0], p[1], p[2]});
    if (*low == *high) {
        return false;
    }
    for (int i = 0; i < 3; ++i) {
        if (p[i] != *low && p[i] != *high) {
            return false;
        }
    }
    return true;
}

} // namespace

bool TLinearCoordinate::operator==(const TLinearCoordinate& other) const {
    return from == other.from && to == other.to &&
           std::bit_cast<std::uint32_t>(low) == std::bit_cast<std::uint32_t>(other.low) &&
           std::bit_cast<std::uint32_t>(high) == std::bit_cast<std::uint32_t>(other.high);
}

bool CoordinateAlong(const TTriangle& t, const std::int64_t* positions, int attribute,
                     TLinearCoordinate* out) {
    if (!TwoValues(positions, &out->from, &out->to)) {
        return false;
    }
    bool haveLow = false, haveHigh = false;
    for (int i = 0; i < 3; ++i) {
        const float value = t.v[i]->attr[attribute];
        if (!(std::fabs(value) <= kMaxCoordinate)) {
            return false;
        }
        const bool atLow = positions[i] == out->from;
        bool& have = atLow ? haveLow : haveHigh;
        float& known = atLow ? out->low : out->high;
        if (have && known != value) {
            return false;
        }
        have = true;
        known = value;
    }
    return true;
}

void TTexelAxis::Build(int start, int count, std::int64_t offset, const TLinearCoordinate& c,
                       DWORD size, DWORD mode, bool linear) {
    mStart = start;
    const std::int64_t firstCentre = start * kSubPixels + offset - c.from;
    const std::int64_t span = c.to - c.from;
    const TKey key{firstCentre,
                   span,
                   count,
                   std::bit_cast<std::uint32_t>(c.low),
                   std::bit_cast<std::uint32_t>(c.high),
                   size,
                   mode,
                   linear};
    if (mValid && mKey == key) {
        return;
    }
    mKey = key;
    mValid = true;
    const auto n = static_cast<std::size_t>(count);
    mFirst.resize(n);
    mSecond.resize(n);
    mWeight.resize(n);
    mWeight256.resize(n);
    mStraight.resize(n);
    mCertain.resize(n);
    mUncertain.clear();
    mWhole256 = mHalves = true;
    const double low = c.low;
    const double high = c.high;
    for (int i = 0; i < count; ++i) {
        const std::int64_t centre = firstCentre + i * kSubPixels;
        // The weights of the two ends, each within an ulp; 0 exactly on an end.
        const double toHigh = static_cast<double>(centre) / static_cast<double>(span);
        const double toLow = static_cast<double>(span - centre) / static_cast<double>(span);
        const double at = low * toLow + high * toHigh;
        const double bound = kCoordinateError * (std::fabs(low) * toLow + std::fabs(high) * toHigh);
        const float value = static_cast<float>(at);
        float below = 0, above = 0;
        Neighbours(value, &below, &above);
        const double lowest = (static_cast<double>(below) + value) / 2;
        const double highest = (static_cast<double>(above) + value) / 2;
        if (!(lowest < at - bound && at + bound < highest)) {
            // Sampled at texel 0 like the others, then worked out pixel by pixel.
            mCertain[i] = 0;
            mFirst[i] = mSecond[i] = mWeight256[i] = 0;
            mWeight[i] = 0.0;
            mUncertain.push_back(i);
            continue;
        }
        mCertain[i] = 1;
        const TAxisTexels texels = AxisAt(value, size, mode, linear);
        mFirst[i] = static_cast<int>(texels.first);
        mSecond[i] = static_cast<int>(texels.second);
        mWeight[i] = texels.weight;
        const double scaled = texels.weight * 256.0;
        mWeight256[i] = scaled == std::floor(scaled) ? static_cast<int>(scaled) : -1;
        mWhole256 = mWhole256 && mWeight256[i] >= 0;
        mHalves = mHalves && mWeight256[i] == 128;
    }
    for (int i = count - 1; i >= 0; --i) {
        const bool next = i + 1 < count && mCertain[i + 1] != 0 && mFirst[i + 1] == mFirst[i] + 1 &&
                          mSecond[i + 1] - mFirst[i + 1] == mSecond[i] - mFirst[i];
        const bool pair = !linear || mSecond[i] == mFirst[i] + 1;
        mStraight[i] = mCertain[i] == 0 || !pair ? 0 : 1 + (next ? mStraight[i + 1] : 0);
    }
}

} // namespace standin::detail
