#include "platform/directx/d3dsampler.h"

#include <algorithm>
#include <cmath>

namespace standin::detail {

namespace {

// Texel indices stay far from overflow whatever the coordinates.
constexpr double kMaxTexel = 1073741824.0;

long long Address(long long i, long long n, DWORD mode) {
    switch (mode) {
    case D3DTADDRESS_WRAP:
        return ((i % n) + n) % n;
    case D3DTADDRESS_MIRROR: {
        const long long m = ((i % (2 * n)) + 2 * n) % (2 * n);
        return m < n ? m : 2 * n - 1 - m;
    }
    default:
        return std::clamp<long long>(i, 0, n - 1);
    }
}

double Bounded(double value) {
    return std::isfinite(value) ? std::clamp(value, -kMaxTexel, kMaxTexel) : 0.0;
}

TTexel Mix(const TTexel& a, const TTexel& b, double t) {
    auto lerp = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return TTexel{lerp(a.r, b.r), lerp(a.g, b.g), lerp(a.b, b.b), lerp(a.a, b.a)};
}

} // namespace

TSampler::TSampler(IDirectDrawSurface7* texture, const std::array<DWORD, kStageStates>& states)
    : mAddressU(states[D3DTSS_ADDRESSU]), mAddressV(states[D3DTSS_ADDRESSV]),
      mMagFilter(states[D3DTSS_MAGFILTER]), mMinFilter(states[D3DTSS_MINFILTER]),
      mMipFilter(states[D3DTSS_MIPFILTER]) {
    for (IDirectDrawSurface7* level = texture; level != nullptr; level = level->State().nextLevel) {
        mLevels.push_back(&level->State());
    }
}

HRESULT TSampler::Usable() const {
    for (const TSurface* level : mLevels) {
        if (level->dead) {
            return DDERR_INVALIDOBJECT;
        }
        if (level->lost) {
            return DDERR_SURFACELOST;
        }
    }
    return DD_OK;
}

TAxisTexels AxisAt(double coordinate, DWORD size, DWORD mode, bool linear) {
    const double x = Bounded(coordinate * size);
    const auto n = static_cast<long long>(size);
    if (!linear) {
        const long long i = Address(static_cast<long long>(std::floor(x)), n, mode);
        return TAxisTexels{i, i, 0.0};
    }
    const double fx = x - 0.5;
    const auto x0 = static_cast<long long>(std::floor(fx));
    return TAxisTexels{Address(x0, n, mode), Address(x0 + 1, n, mode),
                       fx - static_cast<double>(x0)};
}

TTexel Bilinear(const TTexel& a, const TTexel& b, const TTexel& c, const TTexel& d, double tx,
                double ty) {
    auto blend = [&](int p, int q, int r, int s) {
        const double top = p + (q - p) * tx;
        const double bottom = r + (s - r) * tx;
        return static_cast<int>(std::lround(top + (bottom - top) * ty));
    };
    return TTexel{blend(a.r, b.r, c.r, d.r), blend(a.g, b.g, c.g, d.g), blend(a.b, b.b, c.b, d.b),
                  blend(a.a, b.a, c.a, d.a)};
}

TTexel TSampler::Texel(const TSurface& level, long long x, long long y) {
    const DWORD bytes = level.layout.bytes;
    const std::uint32_t argb = DecodePixel(
        ReadRaw(level.pixels.data() +
                    static_cast<std::size_t>(level.pitch) * static_cast<std::size_t>(y) +
                    static_cast<std::size_t>(x) * bytes,
                bytes),
        level.layout);
    return TTexel{static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                  static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 24)};
}

TTexel TSampler::Filtered(const TSurface& level, double u, double v, DWORD filter) const {
    const bool linear = filter == D3DTFG_LINEAR;
    const TAxisTexels x = AxisAt(u, level.width, mAddressU, linear);
    const TAxisTexels y = AxisAt(v, level.height, mAddressV, linear);
    if (!linear) {
        return Texel(level, x.first, y.first);
    }
    return Bilinear(Texel(level, x.first, y.first), Texel(level, x.second, y.first),
                    Texel(level, x.first, y.second), Texel(level, x.second, y.second), x.weight,
                    y.weight);
}

bool TSampler::SingleLevel(double lod, std::size_t* level, DWORD* filter) const {
    if (!(lod > 0.0) || mMipFilter == D3DTFP_NONE || mLevels.size() <= 1) {
        *level = 0;
        *filter = lod > 0.0 ? mMinFilter : mMagFilter;
        return true;
    }
    const double last = static_cast<double>(mLevels.size() - 1);
    *filter = mMinFilter;
    if (mMipFilter == D3DTFP_POINT) {
        *level = static_cast<std::size_t>(std::min(std::floor(lod + 0.5), last));
        return true;
    }
    const double clamped = std::min(lod, last);
    *level = static_cast<std::size_t>(std::floor(clamped));
    return clamped - static_cast<double>(*level) == 0.0;
}

TTexel TSampler::Sample(double u, double v, double lod) const {
    if (mLevels.empty()) {
        return TTexel{255, 255, 255, 255};
    }
    std::size_t level = 0;
    DWORD filter = 0;
    if (SingleLevel(lod, &level, &filter)) {
        return Filtered(*mLevels[level], u, v, filter);
    }
    const double clamped = std::min(lod, static_cast<double>(mLevels.size() - 1));
    const double t = clamped - static_cast<double>(level);
    return Mix(Filtered(*mLevels[level], u, v, filter), Filtered(*mLevels[level + 1], u, v, filter),
               t);
}

} // namespace standin::detail
