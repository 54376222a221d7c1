// Pieces of the software rasteriser shared by its general path (d3draster.cpp) and its fast paths
// (d3dfastpath.h): screen vertices, the set-up of a triangle, and the pixel pipe that shades,
// tests, blends and writes one pixel. Not part of the Direct3D surface.
#pragma once

#include "platform/directx/d3dsampler.h"
#include "platform/directx/d3dstate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace standin::detail {

// Sub-pixel steps per pixel of the fixed-point edge arithmetic.
inline constexpr std::int64_t kSubPixels = 256;

// Attributes carried through clipping and interpolation: diffuse r, g, b, a and specular r, g, b
// on a 0-255 scale, then the texture coordinates.
enum { kR, kG, kB, kA, kSR, kSG, kSB, kU, kV, kAttributes };

struct TScreenVertex {
    double x, y, z, rhw;
    float attr[kAttributes];
};

struct TScissor {
    int left, top, right, bottom; // pixels left <= x < right, top <= y < bottom
};

using TRgba = TTexel;

inline std::uint32_t PackArgb(const TRgba& c) {
    return static_cast<std::uint32_t>(c.a) << 24 | static_cast<std::uint32_t>(c.r) << 16 |
           static_cast<std::uint32_t>(c.g) << 8 | static_cast<std::uint32_t>(c.b);
}

inline bool SameRgba(const TRgba& a, const TRgba& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// std::llround for |value| below 2^52 without a library call: halves away from zero. The part
// after the point, value - whole, is exact.
inline std::int64_t RoundHalfAway(double value) {
    const auto whole = static_cast<std::int64_t>(value);
    const double rest = value - static_cast<double>(whole);
    return whole + (rest >= 0.5 ? 1 : rest <= -0.5 ? -1 : 0);
}

// std::floor and std::ceil for |value| below 2^52, without a library call.
inline std::int64_t FloorToInt(double value) {
    const auto whole = static_cast<std::int64_t>(value);
    return whole - (static_cast<double>(whole) > value ? 1 : 0);
}

inline std::int64_t CeilToInt(double value) {
    const auto whole = static_cast<std::int64_t>(value);
    return whole + (static_cast<double>(whole) < value ? 1 : 0);
}

inline int ToByte(float value) {
    if (!(value > 0.0f)) {
        return 0;
    }
    if (value >= 255.0f) {
        return 255;
    }
    // std::lround of a value in (0, 255).
    const auto whole = static_cast<int>(value);
    return whole + (value - static_cast<float>(whole) >= 0.5f ? 1 : 0);
}

bool Compare(DWORD function, std::uint32_t value, std::uint32_t reference);

// Edge from p to q over sub-pixel positions s: E(s) = a * sx + b * sy + c, >= 0 inside. A centre
// on the edge counts only for a top edge (level, going right) or a left edge (going up): `bias`
// is 0 for those and -1 for the others, so a centre is inside where E + bias >= 0.
struct TEdge {
    std::int64_t a, b, c;
    std::int64_t bias;

    std::int64_t At(std::int64_t sx, std::int64_t sy) const { return a * sx + b * sy + c; }
};

// A triangle ready to cover: its vertices in clockwise order on the screen, their positions in
// sub-pixels, the edge opposite each, and the pixels of its box within the scissor.
struct TTriangle {
    const TScreenVertex* v[3];
    std::int64_t sx[3], sy[3];
    TEdge edges[3];
    double inverse;      // 1 / twice the area in sub-pixels
    std::int64_t offset; // of pixel centres, in sub-pixels
    int x0, x1, y0, y1;  // the box, inclusive
    bool gouraud;
    const float* flat; // the provoking vertex's attributes
    double lod;

    std::int64_t CentreX(int x) const { return x * kSubPixels + offset; }
    std::int64_t CentreY(int y) const { return y * kSubPixels + offset; }
};

// The texture coordinates at barycentric weights (la, lb, lc), interpolated with perspective.
inline void TextureAt(const TTriangle& t, double la, double lb, double lc, float* attr) {
    const TScreenVertex& a = *t.v[0];
    const TScreenVertex& b = *t.v[1];
    const TScreenVertex& c = *t.v[2];
    const double qa = la * a.rhw;
    const double qb = lb * b.rhw;
    const double qc = lc * c.rhw;
    const double q = qa + qb + qc;
    attr[kU] = static_cast<float>((qa * a.attr[kU] + qb * b.attr[kU] + qc * c.attr[kU]) / q);
    attr[kV] = static_cast<float>((qa * a.attr[kV] + qb * b.attr[kV] + qc * c.attr[kV]) / q);
}

// What a draw call's pixels go through, fixed for the call.
struct TPipeState {
    DWORD colourOp, colourArg1, colourArg2, alphaOp, alphaArg1, alphaArg2;
    TRgba factor;
    bool specular, alphaTest;
    DWORD alphaRef, alphaFunc;
    bool depthTest, depthWrite;
    DWORD depthFunc;
    bool blend;
    DWORD sourceBlend, destBlend;
    double depthMax;
};

// Everything a pixel needs, fixed for one draw call.
class TPixelPipe {
public:
    TPixelPipe(const TDevice3D& device, TSurface& target, TSurface* depth, const TSampler& sampler);

    bool Textured() const { return mSampler.Bound(); }
    // The mip level's measure for what follows (see d3dsampler.h); 0 for lines and points.
    void SetLod(double lod) { mLod = lod; }

    // Texture stage 0 and the specular sum: the colour a pixel has before the tests.
    TRgba Combine(const TRgba& diffuse, const TRgba& specular, const TRgba& texture) const;
    // Blends a source colour over a destination one (both 0xAARRGGBB) as the state says.
    std::uint32_t Blend(std::uint32_t source, std::uint32_t dest) const;
    void Write(int x, int y, const float* attr, double z);

    const TPipeState& State() const { return mState; }
    const TSampler& Sampler() const { return mSampler; }
    TSurface& Target() const { return mTarget; }

private:
    TSurface& mTarget;
    TSurface* mDepth;
    const TSampler& mSampler;
    double mLod = 0.0;
    TPipeState mState{};
};

} // namespace standin::detail
