#include "platform/directx/d3dx.h"

#include "platform/directx/blit.h"
#include "platform/directx/d3dstate.h"

#include <algorithm>
#include <cstdlib>

using namespace standin::detail;

namespace {

struct TFormatInfo {
    D3DX_SURFACEFORMAT format;
    DWORD bits;
    DWORD red;
    DWORD green;
    DWORD blue;
    DWORD alpha;
};

constexpr TFormatInfo kFormats[] = {
    {D3DX_SF_R8G8B8, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DX_SF_A8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {D3DX_SF_X8R8G8B8, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {D3DX_SF_R5G6B5, 16, 0xF800, 0x07E0, 0x001F, 0},
    {D3DX_SF_R5G5B5, 16, 0x7C00, 0x03E0, 0x001F, 0},
    {D3DX_SF_A1R5G5B5, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},
    {D3DX_SF_A4R4G4B4, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},
};

DDPIXELFORMAT PixelFormatOf(const TFormatInfo& info) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB | (info.alpha != 0 ? DDPF_ALPHAPIXELS : 0u);
    format.dwRGBBitCount = info.bits;
    format.dwRBitMask = info.red;
    format.dwGBitMask = info.green;
    format.dwBBitMask = info.blue;
    format.dwRGBAlphaBitMask = info.alpha;
    return format;
}

const TFormatInfo* InfoOf(D3DX_SURFACEFORMAT format) {
    for (const TFormatInfo& info : kFormats) {
        if (info.format == format) {
            return &info;
        }
    }
    return nullptr;
}

const TFormatInfo* InfoOf(const DDPIXELFORMAT& format) {
    TPixelLayout wanted;
    if (!LayoutFromDD(format, &wanted)) {
        return nullptr;
    }
    for (const TFormatInfo& info : kFormats) {
        TPixelLayout layout;
        if (LayoutFromDD(PixelFormatOf(info), &layout) && layout == wanted) {
            return &info;
        }
    }
    return nullptr;
}

// The device's format nearest to `asked`: the same kind (alpha or not) first, then the closest
// depth, then the most alike alpha; ties go to the order the device lists them in.
const TFormatInfo* NearestFormat(D3DX_SURFACEFORMAT asked,
                                 const std::vector<DDPIXELFORMAT>& offered) {
    const TFormatInfo* exact = InfoOf(asked);
    const bool wantsAlpha = exact != nullptr ? exact->alpha != 0 : false;
    const DWORD wantsBits = exact != nullptr ? exact->bits : (asked == D3DX_SF_X4R4G4B4 ? 16 : 32);
    const TFormatInfo* best = nullptr;
    long bestScore = 0;
    for (const DDPIXELFORMAT& format : offered) {
        const TFormatInfo* info = InfoOf(format);
        if (info == nullptr) {
            continue;
        }
        if (info->format == asked) {
            return info;
        }
        const long score =
            ((info->alpha != 0) != wantsAlpha ? 1000 : 0) +
            std::labs(static_cast<long>(info->bits) - static_cast<long>(wantsBits)) * 10 +
            ((exact != nullptr && info->alpha != exact->alpha) ? 1 : 0);
        if (best == nullptr || score < bestScore) {
            best = info;
            bestScore = score;
        }
    }
    return best;
}

DWORD PowerOfTwoAtLeast(DWORD value) {
    DWORD power = 1;
    while (power < value && power < (1u << 30)) {
        power *= 2;
    }
    return power;
}

bool Initialized() {
    std::lock_guard<std::mutex> hold(System().mutex);
    return System().d3dxUsers > 0;
}

// One level from the one above: each texel the rounded mean of the (up to) four under it.
void BoxFilter(TSurface& above, TSurface& below) {
    for (DWORD y = 0; y < below.height; ++y) {
        for (DWORD x = 0; x < below.width; ++x) {
            DWORD sums[4] = {0, 0, 0, 0};
            DWORD count = 0;
            for (DWORD dy = 0; dy < 2; ++dy) {
                for (DWORD dx = 0; dx < 2; ++dx) {
                    const DWORD sx = 2 * x + dx;
                    const DWORD sy = 2 * y + dy;
                    if (sx >= above.width || sy >= above.height) {
                        continue;
                    }
                    const std::uint32_t argb =
                        DecodePixel(ReadRaw(above.Row(sy) + std::size_t{sx} * above.layout.bytes,
                                            above.layout.bytes),
                                    above.layout);
                    for (int c = 0; c < 4; ++c) {
                        sums[c] += (argb >> (8 * c)) & 0xFF;
                    }
                    ++count;
                }
            }
            std::uint32_t mean = 0;
            for (int c = 0; c < 4; ++c) {
                mean |= ((sums[c] + count / 2) / count) << (8 * c);
            }
            WriteRaw(below.Row(y) + std::size_t{x} * below.layout.bytes, below.layout.bytes,
                     EncodePixel(mean, below.layout));
        }
    }
}

} // namespace

namespace standin::detail {

std::vector<DDPIXELFORMAT> DefaultTextureFormats() {
    std::vector<DDPIXELFORMAT> formats;
    for (const TFormatInfo& info : kFormats) {
        formats.push_back(PixelFormatOf(info));
    }
    return formats;
}

} // namespace standin::detail

HRESULT D3DXInitialize() {
    std::lock_guard<std::mutex> hold(System().mutex);
    ++System().d3dxUsers;
    return S_OK;
}

HRESULT D3DXUninitialize() {
    std::lock_guard<std::mutex> hold(System().mutex);
    if (System().d3dxUsers == 0) {
        return E_FAIL;
    }
    --System().d3dxUsers;
    return S_OK;
}

HRESULT D3DXCreateTexture(IDirect3DDevice7* device, DWORD* flags, DWORD* width, DWORD* height,
                          D3DX_SURFACEFORMAT* format, PALETTEENTRY* palette,
                          IDirectDrawSurface7** texture, DWORD* mipMaps) {
    if (texture != nullptr) {
        *texture = nullptr;
    }
    if (device == nullptr || width == nullptr || height == nullptr || texture == nullptr ||
        palette != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (!Initialized()) {
        return E_FAIL;
    }
    if (auto fault = TakeFault(nullptr, "D3DXCreateTexture")) {
        return *fault;
    }
    const TDevice3D& state = device->State();
    const D3DDEVICEDESC7& caps = state.caps;
    DWORD w = PowerOfTwoAtLeast(*width == 0 || *width == D3DX_DEFAULT ? 256 : *width);
    DWORD h = PowerOfTwoAtLeast(*height == 0 || *height == D3DX_DEFAULT ? 256 : *height);
    if ((caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0) {
        w = h = std::max(w, h);
    }
    if (caps.dwMaxTextureAspectRatio != 0) {
        while (std::max(w, h) / std::min(w, h) > caps.dwMaxTextureAspectRatio) {
            (w < h ? w : h) *= 2;
        }
    }
    if ((caps.dwMaxTextureWidth != 0 && w > caps.dwMaxTextureWidth) ||
        (caps.dwMaxTextureHeight != 0 && h > caps.dwMaxTextureHeight)) {
        return DDERR_INVALIDPARAMS;
    }
    std::vector<DDPIXELFORMAT> offered;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        offered = state.owner->adapter->desc.textureFormats;
    }
    if (offered.empty()) {
        offered = DefaultTextureFormats();
    }
    const D3DX_SURFACEFORMAT asked =
        format == nullptr || *format == D3DX_SF_UNKNOWN ? D3DX_SF_A8R8G8B8 : *format;
    const TFormatInfo* chosen = NearestFormat(asked, offered);
    if (chosen == nullptr) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    DWORD levels = 1;
    if (flags == nullptr || (*flags & D3DX_TEXTURE_NOMIPMAP) == 0) {
        for (DWORD side = std::max(w, h); side > 1; side /= 2) {
            ++levels;
        }
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = w;
    desc.dwHeight = h;
    desc.ddpfPixelFormat = PixelFormatOf(*chosen);
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
    if (levels > 1) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.dwMipMapCount = levels;
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    }
    const HRESULT hr = CreateSurfaceOn(state.owner, desc, texture);
    if (FAILED(hr)) {
        return hr;
    }
    *width = w;
    *height = h;
    if (format != nullptr) {
        *format = chosen->format;
    }
    if (mipMaps != nullptr) {
        *mipMaps = levels;
    }
    return D3D_OK;
}

HRESULT D3DXLoadTextureFromMemory(IDirect3DDevice7* device, IDirectDrawSurface7* texture,
                                  DWORD mipLevel, void* source, PALETTEENTRY* palette,
                                  D3DX_SURFACEFORMAT sourceFormat, DWORD sourcePitch,
                                  RECT* destRect, D3DX_FILTERTYPE filter) {
    if (device == nullptr || texture == nullptr || source == nullptr || palette != nullptr ||
        (filter != D3DX_FT_POINT && filter != D3DX_FT_LINEAR && filter != D3DX_FT_DEFAULT)) {
        return DDERR_INVALIDPARAMS;
    }
    if (sourceFormat != D3DX_SF_A8R8G8B8) {
        return DDERR_UNSUPPORTED;
    }
    if (!Initialized()) {
        return E_FAIL;
    }
    if (auto fault = TakeFault(nullptr, "D3DXLoadTextureFromMemory")) {
        return *fault;
    }
    const bool allLevels = mipLevel == D3DX_DEFAULT;
    IDirectDrawSurface7* level = texture;
    for (DWORD i = 0; !allLevels && i < mipLevel && level != nullptr; ++i) {
        level = level->State().nextLevel;
    }
    if (level == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    TSurface& target = level->State();
    const RECT area = destRect != nullptr ? *destRect
                                          : RECT{0, 0, static_cast<LONG>(target.width),
                                                 static_cast<LONG>(target.height)};
    if (area.left < 0 || area.top < 0 || area.right > static_cast<LONG>(target.width) ||
        area.bottom > static_cast<LONG>(target.height) || area.right <= area.left ||
        area.bottom <= area.top) {
        return DDERR_INVALIDPARAMS;
    }
    const auto rowBytes = static_cast<DWORD>(area.right - area.left) * 4;
    const DWORD pitch = sourcePitch == D3DX_DEFAULT || sourcePitch == 0 ? rowBytes : sourcePitch;
    if (pitch < rowBytes) {
        return DDERR_INVALIDPARAMS;
    }
    {
        TBlitLocks locks;
        HRESULT hr = locks.Acquire(target, nullptr, true);
        if (FAILED(hr)) {
            return hr;
        }
        if (target.dead || target.lost) {
            return target.dead ? DDERR_INVALIDOBJECT : DDERR_SURFACELOST;
        }
        const auto* rows = static_cast<const std::uint8_t*>(source);
        for (LONG y = area.top; y < area.bottom; ++y) {
            const std::uint8_t* in =
                rows + std::size_t{pitch} * static_cast<std::size_t>(y - area.top);
            std::uint8_t* out = target.Row(static_cast<DWORD>(y));
            for (LONG x = area.left; x < area.right; ++x) {
                const std::uint32_t argb = ReadRaw(in + std::size_t(x - area.left) * 4, 4);
                WriteRaw(out + std::size_t(x) * target.layout.bytes, target.layout.bytes,
                         EncodePixel(argb, target.layout));
            }
        }
    }
    if (allLevels) {
        for (IDirectDrawSurface7* above = texture; above->State().nextLevel != nullptr;
             above = above->State().nextLevel) {
            TSurface& from = above->State();
            TSurface& to = above->State().nextLevel->State();
            TBlitLocks locks;
            HRESULT hr = locks.Acquire(from, &to, true);
            if (FAILED(hr)) {
                return hr;
            }
            if (to.dead || to.lost) {
                return to.dead ? DDERR_INVALIDOBJECT : DDERR_SURFACELOST;
            }
            BoxFilter(from, to);
        }
    }
    return D3D_OK;
}
