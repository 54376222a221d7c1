// Reading a texture for the rasteriser: address modes, point and bilinear filtering and the mip
// level. Texel centres lie at +0.5: texel i of n covers u in [i/n, (i+1)/n).
//
// The mip level is chosen once per triangle from its footprint: lod = log2 of the square root of
// (texels it covers on level 0) / (pixels it covers). A lod of 0 or less magnifies (MAGFILTER,
// level 0); above 0 it minifies with MINFILTER on the level MIPFILTER picks: NONE level 0, POINT
// the level nearest lod (halves up), LINEAR a blend of the two levels around it. Lines and points
// sample level 0 with MAGFILTER. Not part of the Direct3D surface.
#pragma once

#include "platform/directx/d3dstate.h"

#include <vector>

namespace standin::detail {

struct TTexel {
    int r, g, b, a;
};

// Where one texture coordinate falls on a level of `size` texels, after addressing: the texel
// (point), or the two texels and the weight of the second (linear).
struct TAxisTexels {
    long long first;
    long long second;
    double weight;
};
TAxisTexels AxisAt(double coordinate, DWORD size, DWORD mode, bool linear);
// The bilinear blend of four texels: a and b along one row, c and d along the next.
TTexel Bilinear(const TTexel& a, const TTexel& b, const TTexel& c, const TTexel& d, double tx,
                double ty);

class TSampler {
public:
    // `texture` null for none: every sample is opaque white. The texture's surfaces must stay
    // locked while samples are taken (Surfaces() lists them).
    TSampler(IDirectDrawSurface7* texture, const std::array<DWORD, kStageStates>& states);

    bool Bound() const { return !mLevels.empty(); }
    int Width() const { return Bound() ? static_cast<int>(mLevels.front()->width) : 1; }
    int Height() const { return Bound() ? static_cast<int>(mLevels.front()->height) : 1; }
    std::vector<TSurface*> Surfaces() const { return mLevels; }
    // Dead or lost surfaces cannot be read.
    HRESULT Usable() const;

    TTexel Sample(double u, double v, double lod) const;
    // The one level and the filter a lod samples with; false when it blends two levels.
    bool SingleLevel(double lod, std::size_t* level, DWORD* filter) const;
    // Whether the lod can change a sample: not with one level (or no mip filter) and the same
    // filter for magnifying and minifying.
    bool LodMatters() const {
        return (mLevels.size() > 1 && mMipFilter != D3DTFP_NONE) || mMagFilter != mMinFilter;
    }
    const TSurface& Level(std::size_t level) const { return *mLevels[level]; }
    DWORD AddressU() const { return mAddressU; }
    DWORD AddressV() const { return mAddressV; }

private:
    TTexel Filtered(const TSurface& level, double u, double v, DWORD filter) const;
    // Texel (x, y), both already addressed.
    static TTexel Texel(const TSurface& level, long long x, long long y);

    std::vector<TSurface*> mLevels;
    DWORD mAddressU, mAddressV, mMagFilter, mMinFilter, mMipFilter;
};

} // namespace standin::detail
