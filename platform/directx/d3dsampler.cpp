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

TTexel TSampler::Texel(const TSurface& level, long long x, long long y) const {
    const auto tx = static_cast<DWORD>(Address(x, level.width, mAddressU));
    const auto ty = static_cast<DWORD>(Address(y, level.height, mAddressV));
    const DWORD bytes = level.layout.bytes;
    const std::uint32_t argb =
        DecodePixel(ReadRaw(level.pixels.data() + static_cast<std::size_t>(level.pitch) * ty +
                                static_cast<std::size_t>(tx) * bytes,
                            bytes),
                    level.layout);
    return TTexel{static_cast<int>((argb >> 16) & 0xFF), static_cast<int>((argb >> 8) & 0xFF),
                  static_cast<int>(argb & 0xFF), static_cast<int>(argb >> 24)};
}

TTexel TSampler::Filtered(const TSurface& level, double u, double v, DWORD filter) const {
    const double x = Bounded(u * level.width);
    const double y = Bounded(v * level.height);
    if (filter != D3DTFG_LINEAR) {
        return Texel(level, static_cast<long long>(std::floor(x)),
                     static_cast<long long>(std::floor(y)));
    }
    const double fx = x - 0.5;
    const double fy = y - 0.5;
    const auto x0 = static_cast<long long>(std::floor(fx));
    const auto y0 = static_cast<long long>(std::floor(fy));
    const double tx = fx - static_cast<double>(x0);
    const double ty = fy - static_cast<double>(y0);
    const TTexel a = Texel(level, x0, y0);
    const TTexel b = Texel(level, x0 + 1, y0);
    const TTexel c = Texel(level, x0, y0 + 1);
    const TTexel d = Texel(level, x0 + 1, y0 + 1);
    auto blend = [&](int p, int q, int r, int s) {
        const double top = p + (q - p) * tx;
        const double bottom = r + (s - r) * tx;
        return static_cast<int>(std::lround(top + (bottom - top) * ty));
    };
    return TTexel{blend(a.r, b.r, c.r, d.r), blend(a.g, b.g, c.g, d.g), blend(a.b, b.b, c.b, d.b),
                  blend(a.a, b.a, c.a, d.a)};
}

TTexel TSampler::Sample(double u, double v, double lod) const {
    if (mLevels.empty()) {
        return TTexel{255, 255, 255, 255};
    }
    if (!(lod > 0.0) || mMipFilter == D3DTFP_NONE || mLevels.size() == 1) {
        return Filtered(*mLevels.front(), u, v, lod > 0.0 ? mMinFilter : mMagFilter);
    }
    const double last = static_cast<double>(mLevels.size() - 1);
    if (mMipFilter == D3DTFP_POINT) {
        const auto level = static_cast<std::size_t>(std::min(std::floor(lod + 0.5), last));
        return Filtered(*mLevels[level], u, v, mMinFilter);
    }
    const double clamped = std::min(lod, last);
    const auto lower = static_cast<std::size_t>(std::floor(clamped));
    const double t = clamped - static_cast<double>(lower);
    const TTexel a = Filtered(*mLevels[lower], u, v, mMinFilter);
    if (t == 0.0) {
        return a;
    }
    return Mix(a, Filtered(*mLevels[lower + 1], u, v, mMinFilter), t);
}

} // namespace standin::detail
