// Making surfaces: the primary with its flip chain, off-screen plain surfaces, textures with
// their mip chains, and z-buffers, charged to the adapter's video memory.
#include "platform/directx/ddstate.h"

#include <algorithm>
#include <vector>

using namespace standin::detail;
using standin::TDisplayMode;

namespace {

constexpr DWORD kMaxSurfaceSide = 16384;

// Where a new surface's memory goes, and the caps that say so.
HRESULT ChargeVideoMemory(TAdapterState& adapter, DWORD bytes, DDSCAPS2* caps, DWORD* charged) {
    *charged = 0;
    const bool system = (caps->dwCaps & DDSCAPS_SYSTEMMEMORY) != 0;
    const bool video = (caps->dwCaps & DDSCAPS_VIDEOMEMORY) != 0;
    if (system) {
        return DD_OK;
    }
    std::lock_guard<std::mutex> hold(System().mutex);
    const DWORD total = adapter.desc.videoMemory;
    const bool fits = adapter.usedVideoMemory <= total && bytes <= total - adapter.usedVideoMemory;
    if (!fits) {
        if (video) {
            return DDERR_OUTOFVIDEOMEMORY;
        }
        // Neither asked: system memory when video memory is full.
        caps->dwCaps |= DDSCAPS_SYSTEMMEMORY;
        return DD_OK;
    }
    adapter.usedVideoMemory += bytes;
    *charged = bytes;
    caps->dwCaps |= DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    return DD_OK;
}

std::shared_ptr<TSurface> NewSurface(const std::shared_ptr<TDirectDraw>& owner, DWORD width,
                                     DWORD height, const TPixelLayout& layout) {
    auto surface = std::make_shared<TSurface>();
    surface->owner = owner;
    surface->adapter = owner->adapter;
    surface->width = width;
    surface->height = height;
    surface->layout = layout;
    surface->pitch = static_cast<LONG>((width * layout.bytes + 3) & ~3u);
    surface->pixels.assign(static_cast<std::size_t>(surface->pitch) * height, 0);
    static std::atomic<std::uint32_t> seed{0x2545F491u};
    surface->scramble = seed.fetch_add(0x9E3779B9u) | 1u;
    return surface;
}

void Register(const std::shared_ptr<TDirectDraw>& owner, const std::shared_ptr<TSurface>& surface) {
    std::lock_guard<std::mutex> hold(System().mutex);
    owner->surfaces.push_back(surface);
    System().surfaces.push_back(surface);
}

HRESULT CreatePrimary(const std::shared_ptr<TDirectDraw>& owner, const DDSURFACEDESC2& desc,
                      const DDSCAPS2& caps, const TDisplayMode& mode, bool exclusive,
                      const TPixelLayout& displayLayout, bool displayKnown,
                      IDirectDrawSurface7** out) {
    const bool chain = (caps.dwCaps & DDSCAPS_FLIP) != 0;
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT)) != 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (chain && (!exclusive || (caps.dwCaps & DDSCAPS_COMPLEX) == 0)) {
        return exclusive ? DDERR_INVALIDCAPS : DDERR_NOEXCLUSIVEMODE;
    }
    if (chain && ((desc.dwFlags & DDSD_BACKBUFFERCOUNT) == 0 || desc.dwBackBufferCount != 1)) {
        return DDERR_INVALIDPARAMS;
    }
    if (!displayKnown) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        if (owner->primary.lock()) {
            return DDERR_PRIMARYSURFACEALREADYEXISTS;
        }
    }
    auto front = NewSurface(owner, mode.width, mode.height, displayLayout);
    front->primary = true;
    front->caps = caps;
    front->caps.dwCaps |= DDSCAPS_VISIBLE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    std::shared_ptr<TSurface> back;
    if (chain) {
        // A flip chain lives in video memory: both buffers are charged.
        const DWORD bytes = static_cast<DWORD>(front->pixels.size());
        DDSCAPS2 memory{};
        memory.dwCaps = DDSCAPS_VIDEOMEMORY;
        DWORD frontCharge = 0;
        HRESULT hr = ChargeVideoMemory(*owner->adapter, bytes, &memory, &frontCharge);
        if (FAILED(hr)) {
            return hr;
        }
        front->videoMemory = frontCharge;
        DWORD backCharge = 0;
        hr = ChargeVideoMemory(*owner->adapter, bytes, &memory, &backCharge);
        if (FAILED(hr)) {
            return hr; // `front` gives its charge back as it goes
        }
        front->caps.dwCaps |= DDSCAPS_FRONTBUFFER;
        front->backBufferCount = 1;
        back = NewSurface(owner, mode.width, mode.height, displayLayout);
        back->videoMemory = backCharge;
        back->caps.dwCaps = (caps.dwCaps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_VISIBLE)) |
                            DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
        back->caps.dwCaps2 = caps.dwCaps2;
    }
    Register(owner, front);
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        owner->primary = front;
        auto& objects = System().objects;
        // The newest object with a primary is the one the screen shows.
        objects.erase(std::remove_if(
                          objects.begin(), objects.end(),
                          [&](const auto& weak) { return weak.expired() || weak.lock() == owner; }),
                      objects.end());
        objects.push_back(owner);
    }
    auto* frontInterface = new IDirectDrawSurface7(front);
    if (back) {
        Register(owner, back);
        auto* backInterface = new IDirectDrawSurface7(back);
        front->attached.push_back(backInterface);
        front->flipPartner = backInterface;
    }
    {
        std::lock_guard<std::mutex> hold(front->mutex);
        front->dirty = true;
    }
    *out = frontInterface;
    return DD_OK;
}

} // namespace

namespace standin::detail {

HRESULT CreateSurfaceOn(const std::shared_ptr<TDirectDraw>& owner, const DDSURFACEDESC2& desc,
                        IDirectDrawSurface7** out) {
    DDSCAPS2 caps = desc.ddsCaps;
    TDisplayMode mode;
    bool exclusive = false;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        if (owner->cooperativeLevel == 0) {
            return DDERR_NOCOOPERATIVELEVELSET;
        }
        mode = CurrentModeLocked(*owner);
        exclusive = owner->exclusive;
    }
    TPixelLayout displayLayout;
    const bool displayKnown = LayoutForDisplayBits(mode.bitsPerPixel, &displayLayout);

    if ((caps.dwCaps & DDSCAPS_PRIMARYSURFACE) != 0) {
        return CreatePrimary(owner, desc, caps, mode, exclusive, displayLayout, displayKnown, out);
    }
    if ((desc.dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) != (DDSD_WIDTH | DDSD_HEIGHT) ||
        desc.dwWidth == 0 || desc.dwHeight == 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (desc.dwWidth > kMaxSurfaceSide || desc.dwHeight > kMaxSurfaceSide) {
        return DDERR_TOOBIGSIZE;
    }
    if ((caps.dwCaps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER | DDSCAPS_FRONTBUFFER)) != 0 ||
        ((caps.dwCaps & DDSCAPS_SYSTEMMEMORY) != 0 && (caps.dwCaps & DDSCAPS_VIDEOMEMORY) != 0)) {
        return DDERR_INVALIDCAPS;
    }
    TPixelLayout layout = displayLayout;
    const bool zbuffer = (caps.dwCaps & DDSCAPS_ZBUFFER) != 0;
    if ((desc.dwFlags & DDSD_PIXELFORMAT) != 0) {
        if (!LayoutFromDD(desc.ddpfPixelFormat, &layout) || layout.depth != zbuffer) {
            return DDERR_INVALIDPIXELFORMAT;
        }
    } else if (zbuffer) {
        return DDERR_INVALIDPIXELFORMAT;
    } else if (!displayKnown) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    // A mip-mapped texture is a chain of levels, each half the one above and at least 1 x 1,
    // each holding the next.
    DWORD levels = 1;
    if ((caps.dwCaps & DDSCAPS_MIPMAP) != 0) {
        if ((caps.dwCaps & (DDSCAPS_TEXTURE | DDSCAPS_COMPLEX)) !=
            (DDSCAPS_TEXTURE | DDSCAPS_COMPLEX)) {
            return DDERR_INVALIDCAPS;
        }
        DWORD full = 1;
        for (DWORD side = std::max(desc.dwWidth, desc.dwHeight); side > 1; side /= 2) {
            ++full;
        }
        levels = (desc.dwFlags & DDSD_MIPMAPCOUNT) != 0 && desc.dwMipMapCount != 0
                     ? desc.dwMipMapCount
                     : full;
        if (levels > full) {
            return DDERR_INVALIDPARAMS;
        }
    }
    std::vector<std::shared_ptr<TSurface>> made;
    DWORD width = desc.dwWidth;
    DWORD height = desc.dwHeight;
    for (DWORD level = 0; level < levels; ++level) {
        auto surface = NewSurface(owner, width, height, layout);
        surface->caps = caps;
        if ((caps.dwCaps & (DDSCAPS_OFFSCREENPLAIN | DDSCAPS_TEXTURE | DDSCAPS_ZBUFFER)) == 0) {
            surface->caps.dwCaps |= DDSCAPS_OFFSCREENPLAIN;
        }
        if (level > 0) {
            surface->caps.dwCaps2 |= DDSCAPS2_MIPMAPSUBLEVEL;
        }
        surface->mipCount = levels - level;
        DWORD charged = 0;
        const HRESULT hr = ChargeVideoMemory(
            *owner->adapter, static_cast<DWORD>(surface->pixels.size()), &surface->caps, &charged);
        if (FAILED(hr)) {
            return hr; // the levels made so far give their memory back as they go
        }
        surface->videoMemory = charged;
        made.push_back(std::move(surface));
        width = std::max<DWORD>(1, width / 2);
        height = std::max<DWORD>(1, height / 2);
    }
    IDirectDrawSurface7* below = nullptr;
    for (auto level = made.rbegin(); level != made.rend(); ++level) {
        Register(owner, *level);
        auto* created = new IDirectDrawSurface7(*level);
        if (below != nullptr) {
            // The level above holds the one reference the level below was made with.
            (*level)->attached.push_back(below);
            (*level)->nextLevel = below;
        }
        below = created;
    }
    *out = below;
    return DD_OK;
}

} // namespace standin::detail
