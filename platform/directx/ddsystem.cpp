// The DirectDraw stand-in's process-wide state: adapters, scripted faults, loss of surfaces, and
// showing the primary surface on the screen.
#include "platform/directx/ddstate.h"
#include "platform/win32/desktop.h"
#include "platform/win32/standin.h"
#include "platform/win32/userstate.h"
#include "platform/win32/windowbackend.h"
#include "platform/win32/winuser.h"

#include <algorithm>

namespace standin::detail {

namespace {

constexpr GUID kDefaultAdapterGuid = {
    0x5f2e1c4a, 0x7b3d, 0x4e21, {0x9a, 0x6c, 0x31, 0x8d, 0x0e, 0x52, 0xb7, 0x14}};

TDisplayMode DesktopMode() {
    const TDesktop desktop = CurrentDesktop();
    TDisplayMode mode;
    mode.width = static_cast<DWORD>(desktop.width);
    mode.height = static_cast<DWORD>(desktop.height);
    mode.bitsPerPixel = static_cast<DWORD>(desktop.bitsPerPixel);
    mode.refreshRate = static_cast<DWORD>(desktop.refreshRate);
    return mode;
}

std::vector<TDisplayMode> DefaultModes() {
    std::vector<TDisplayMode> modes;
    auto add = [&modes](const TDisplayMode& mode) {
        const bool known = std::any_of(modes.begin(), modes.end(), [&](const TDisplayMode& m) {
            return m.width == mode.width && m.height == mode.height &&
                   m.bitsPerPixel == mode.bitsPerPixel;
        });
        if (!known) {
            modes.push_back(mode);
        }
    };
    const TDisplayMode desktop = DesktopMode();
    if (desktop.bitsPerPixel >= 15) {
        add(desktop);
    }
    for (const auto& [width, height] :
         {std::pair<DWORD, DWORD>{640, 480}, {800, 600}, {1024, 768}}) {
        for (DWORD bits : {16u, 32u}) {
            add(TDisplayMode{width, height, bits, 60});
        }
    }
    return modes;
}

TAdapter DefaultAdapter() {
    TAdapter adapter;
    adapter.guid = kDefaultAdapterGuid;
    adapter.driver = "standin.drv";
    adapter.description = "Stand-in Display Adapter";
    adapter.vendorId = 0x1AF4;
    adapter.deviceId = 0x0010;
    adapter.driverVersion = 0x0004000700000001LL;
    adapter.videoMemory = 32u << 20;
    adapter.modes = DefaultModes();
    adapter.monitorFrequency = static_cast<DWORD>(CurrentDesktop().refreshRate);
    return adapter;
}

// Surfaces whose pixels a read-out or an upload uses: the primary of the newest DirectDraw
// object that has one, with the window it shows in.
struct TScreenSource {
    std::shared_ptr<TSurface> primary;
    HWND window = nullptr;
    bool fullscreen = false;
};

TScreenSource FindScreen() {
    std::vector<std::shared_ptr<TDirectDraw>> objects;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        for (auto it = System().objects.rbegin(); it != System().objects.rend(); ++it) {
            if (auto object = it->lock()) {
                objects.push_back(std::move(object));
            }
        }
    }
    TScreenSource source;
    for (const auto& object : objects) {
        std::shared_ptr<TSurface> primary;
        HWND window = nullptr;
        {
            std::lock_guard<std::mutex> hold(System().mutex);
            primary = object->primary.lock();
            window = object->window;
        }
        if (!primary) {
            continue;
        }
        source.primary = primary;
        source.fullscreen = primary->backBufferCount > 0;
        source.window = window;
        if (!source.fullscreen && primary->clipper != nullptr) {
            HWND clipWindow = nullptr;
            primary->clipper->GetHWnd(&clipWindow);
            if (clipWindow != nullptr) {
                source.window = clipWindow;
            }
        }
        break;
    }
    return source;
}

// The part of the primary to show: the window's client area windowed (black where it leaves
// the screen), the whole primary full screen.
TScreenImage ImageOf(const TScreenSource& source, HWND window, bool clearDirty) {
    TScreenImage image;
    if (!source.primary) {
        return image;
    }
    TSurface& surface = *source.primary;
    RECT area{0, 0, static_cast<LONG>(surface.width), static_cast<LONG>(surface.height)};
    if (!source.fullscreen) {
        RECT client{};
        POINT origin{0, 0};
        if (window == nullptr || !GetClientRect(window, &client) ||
            !ClientToScreen(window, &origin)) {
            return image;
        }
        area = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    }
    image.width = std::max<LONG>(0, area.right - area.left);
    image.height = std::max<LONG>(0, area.bottom - area.top);
    image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 0xFF000000u);
    std::lock_guard<std::mutex> hold(surface.mutex);
    if (surface.dead || surface.pixels.empty()) {
        return image;
    }
    const LONG left = std::max<LONG>(area.left, 0);
    const LONG top = std::max<LONG>(area.top, 0);
    const LONG right = std::min<LONG>(area.right, static_cast<LONG>(surface.width));
    const LONG bottom = std::min<LONG>(area.bottom, static_cast<LONG>(surface.height));
    // The common screen format needs no conversion beyond the alpha byte.
    const bool x8r8g8b8 = surface.layout.bytes == 4 && surface.layout.red == 0xFF0000 &&
                          surface.layout.green == 0xFF00 && surface.layout.blue == 0xFF;
    for (LONG y = top; y < bottom; ++y) {
        const std::uint8_t* row = surface.Row(static_cast<DWORD>(y));
        std::uint32_t* out =
            image.pixels.data() + static_cast<std::size_t>(y - area.top) * image.width;
        if (x8r8g8b8) {
            for (LONG x = left; x < right; ++x) {
                out[x - area.left] =
                    ReadRaw(row + static_cast<std::size_t>(x) * 4, 4) | 0xFF000000u;
            }
            continue;
        }
        for (LONG x = left; x < right; ++x) {
            const DWORD raw = ReadRaw(row + static_cast<std::size_t>(x) * surface.layout.bytes,
                                      surface.layout.bytes);
            out[x - area.left] = DecodePixel(raw, surface.layout) | 0xFF000000u;
        }
    }
    if (clearDirty) {
        surface.dirty = false;
    }
    return image;
}

} // namespace

TSystem& System() {
    static TSystem system;
    return system;
}

TSurface::~TSurface() {
    if (videoMemory != 0 && adapter) {
        std::lock_guard<std::mutex> hold(System().mutex);
        adapter->usedVideoMemory -= std::min(adapter->usedVideoMemory, videoMemory);
    }
}

void TSurface::LoseLocked() {
    lost = true;
    // Garbage, as video memory holds after a mode change; the same for the same surface.
    std::uint32_t state = scramble;
    for (std::uint8_t& byte : pixels) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    scramble = state;
    dirty = primary;
}

std::optional<HRESULT> TakeFault(const void* object, const char* method) {
    return System().faults.Take(object, method);
}

std::vector<std::shared_ptr<TAdapterState>>& AdaptersLocked() {
    auto& adapters = System().adapters;
    if (!System().customAdapters) {
        TAdapter fresh = DefaultAdapter();
        if (adapters.empty()) {
            adapters.push_back(std::make_shared<TAdapterState>());
            adapters.front()->desc = std::move(fresh);
        } else {
            // The desktop may have changed since; the memory in use stays.
            adapters.front()->desc.modes = std::move(fresh.modes);
            adapters.front()->desc.monitorFrequency = fresh.monitorFrequency;
        }
    }
    return adapters;
}

TDisplayMode CurrentModeLocked(const TDirectDraw& directDraw) {
    return directDraw.mode ? *directDraw.mode : DesktopMode();
}

void DescribeMode(const TDisplayMode& mode, DDSURFACEDESC2* desc, bool withRefresh) {
    *desc = DDSURFACEDESC2{};
    desc->dwSize = sizeof *desc;
    desc->dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
    desc->dwWidth = mode.width;
    desc->dwHeight = mode.height;
    desc->dwRefreshRate = withRefresh ? mode.refreshRate : 0;
    TPixelLayout layout;
    if (LayoutForDisplayBits(mode.bitsPerPixel, &layout)) {
        desc->ddpfPixelFormat = layout.ToDD();
        desc->lPitch = static_cast<LONG>((mode.width * layout.bytes + 3) & ~3u);
    } else {
        desc->ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc->ddpfPixelFormat.dwFlags =
            DDPF_RGB | (mode.bitsPerPixel <= 8 ? DDPF_PALETTEINDEXED8 : 0u);
        desc->ddpfPixelFormat.dwRGBBitCount = mode.bitsPerPixel;
        desc->lPitch = static_cast<LONG>((mode.width * mode.bitsPerPixel / 8 + 3) & ~3u);
    }
}

void LoseEverySurface() {
    std::vector<std::weak_ptr<TSurface>> all;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        auto& surfaces = System().surfaces;
        surfaces.erase(std::remove_if(surfaces.begin(), surfaces.end(),
                                      [](const auto& s) { return s.expired(); }),
                       surfaces.end());
        all = surfaces;
    }
    for (const auto& weak : all) {
        if (auto surface = weak.lock()) {
            std::lock_guard<std::mutex> hold(surface->mutex);
            if (!surface->dead) {
                surface->LoseLocked();
            }
        }
    }
}

HRESULT CooperativeStateLocked(const TDirectDraw& directDraw) {
    if (directDraw.generation != System().modeGeneration) {
        return DDERR_WRONGMODE;
    }
    if (directDraw.exclusive && !System().focusActive) {
        return DDERR_NOEXCLUSIVEMODE;
    }
    return DD_OK;
}

void UploadPrimaryIfDirty() {
    if (!IsSdlThread()) {
        return;
    }
    const TScreenSource source = FindScreen();
    if (!source.primary || source.window == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(source.primary->mutex);
        if (!source.primary->dirty) {
            return;
        }
    }
    const TScreenImage image = ImageOf(source, source.window, true);
    if (image.pixels.empty()) {
        return;
    }
    TPresenter* presenter = MainThreadPresenter();
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        ++System().presentCount;
    }
    TPresentImage shown;
    shown.pixels = image.pixels.data();
    shown.pitch = image.width;
    shown.width = image.width;
    shown.height = image.height;
    presenter->Show(source.window, source.fullscreen, shown);
}

TPresenter* MainThreadPresenter() {
    if (!IsSdlThread()) {
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        if (System().presenter) {
            // Made once and kept for the process, so the pointer stays good without the lock.
            return System().presenter.get();
        }
    }
    // Only the SDL thread makes it, so nobody else can have made one meanwhile.
    auto made = MakePresenter();
    std::lock_guard<std::mutex> hold(System().mutex);
    System().presenter = std::move(made);
    return System().presenter.get();
}

void EnsurePumpHook() {
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        if (System().pumpHookSet) {
            return;
        }
        System().pumpHookSet = true;
    }
    SetPumpHook(&UploadPrimaryIfDirty);
}

} // namespace standin::detail

namespace standin {

using namespace standin::detail;

void SetAdapters(const std::vector<TAdapter>& adapters) {
    std::lock_guard<std::mutex> hold(System().mutex);
    System().customAdapters = true;
    System().adapters.clear();
    for (const TAdapter& adapter : adapters) {
        auto state = std::make_shared<TAdapterState>();
        state->desc = adapter;
        System().adapters.push_back(std::move(state));
    }
}

void UseDefaultAdapters() {
    std::lock_guard<std::mutex> hold(System().mutex);
    System().customAdapters = false;
    System().adapters.clear();
}

std::vector<TAdapter> Adapters() {
    std::lock_guard<std::mutex> hold(System().mutex);
    std::vector<TAdapter> result;
    for (const auto& adapter : AdaptersLocked()) {
        result.push_back(adapter->desc);
    }
    return result;
}

DWORD UsedVideoMemory(std::size_t adapter) {
    std::lock_guard<std::mutex> hold(System().mutex);
    const auto& adapters = AdaptersLocked();
    return adapter < adapters.size() ? adapters[adapter]->usedVideoMemory : 0;
}

void SetFault(const void* object, const std::string& method, HRESULT result, bool once) {
    System().faults.Set(object, method, result, once);
}

void ClearFaults() {
    System().faults.Clear();
}

void LoseAllSurfaces() {
    LoseEverySurface();
}

void SimulateDisplayModeChange(const TDisplayMode& mode) {
    SetDesktopMode(static_cast<int>(mode.width), static_cast<int>(mode.height),
                   static_cast<int>(mode.bitsPerPixel), static_cast<int>(mode.refreshRate));
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        ++System().modeGeneration;
    }
    LoseEverySurface();
}

void SimulateFocusChange(bool active) {
    bool lose = false;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        // Only a full-screen program loses its surfaces with the focus.
        const bool fullscreen =
            std::any_of(System().objects.begin(), System().objects.end(), [](const auto& weak) {
                const auto object = weak.lock();
                return object && object->exclusive;
            });
        lose = fullscreen && System().focusActive && !active;
        System().focusActive = active;
    }
    if (lose) {
        LoseEverySurface();
    }
}

TScreenImage ReadScreen(HWND window) {
    const TScreenSource source = FindScreen();
    return ImageOf(source, window != nullptr ? window : source.window, false);
}

TScreenImage ReadSurface(IDirectDrawSurface7* surface) {
    TScreenImage image;
    if (surface == nullptr) {
        return image;
    }
    TSurface& state = surface->State();
    std::lock_guard<std::mutex> hold(state.mutex);
    if (state.dead || state.layout.depth) {
        return image;
    }
    image.width = static_cast<int>(state.width);
    image.height = static_cast<int>(state.height);
    image.pixels.reserve(static_cast<std::size_t>(image.width) * image.height);
    for (DWORD y = 0; y < state.height; ++y) {
        const std::uint8_t* row = state.Row(y);
        for (DWORD x = 0; x < state.width; ++x) {
            image.pixels.push_back(DecodePixel(
                ReadRaw(row + static_cast<std::size_t>(x) * state.layout.bytes, state.layout.bytes),
                state.layout));
        }
    }
    return image;
}

int TakePresentCount() {
    std::lock_guard<std::mutex> hold(System().mutex);
    const int count = System().presentCount;
    System().presentCount = 0;
    return count;
}

} // namespace standin
