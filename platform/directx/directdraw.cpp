// The DirectDraw object: devices, cooperative levels, display modes and making surfaces.
#include "platform/directx/d3d.h"
#include "platform/directx/ddstate.h"
#include "platform/directx/presenterimpl.h"
#include "platform/win32/desktop.h"
#include "platform/win32/standin.h"
#include "platform/win32/userstate.h"
#include "platform/win32/winuser.h"

#include <algorithm>
#include <cstring>

using namespace standin::detail;
using standin::TAdapter;
using standin::TDisplayMode;

IDirectDraw7::IDirectDraw7(std::shared_ptr<TDirectDraw> state) : mState(std::move(state)) {}

IDirectDraw7::~IDirectDraw7() {
    // The object's surfaces go with it: their memory is given back, and they answer
    // DDERR_INVALIDOBJECT from now on.
    std::vector<std::weak_ptr<TSurface>> surfaces;
    bool restoreMode = false;
    HWND window = nullptr;
    bool wasExclusive = false;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        mState->released = true;
        surfaces = mState->surfaces;
        restoreMode = mState->mode.has_value();
        mState->mode.reset();
        wasExclusive = mState->exclusive;
        mState->exclusive = false;
        window = mState->window;
    }
    for (const auto& weak : surfaces) {
        if (auto surface = weak.lock()) {
            {
                std::lock_guard<std::mutex> hold(surface->mutex);
                surface->dead = true;
                surface->pixels.clear();
                surface->pixels.shrink_to_fit();
            }
            std::lock_guard<std::mutex> hold(System().mutex);
            surface->adapter->usedVideoMemory -=
                std::min(surface->adapter->usedVideoMemory, surface->videoMemory);
            surface->videoMemory = 0;
        }
    }
    if (restoreMode) {
        RestoreDesktopMode();
        std::lock_guard<std::mutex> hold(System().mutex);
        ++System().modeGeneration;
    }
    if (wasExclusive) {
        if (TPresenter* presenter = MainThreadPresenter()) {
            presenter->SetFullscreen(window, false);
        }
    }
}

ULONG IDirectDraw7::AddRef() {
    return ++mRefs;
}

ULONG IDirectDraw7::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT IDirectDraw7::QueryInterface(const GUID& iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (auto fault = TakeFault(this, "IDirectDraw7::QueryInterface")) {
        return *fault;
    }
    if (IsSameGuid(iid, IID_IDirectDraw7)) {
        AddRef();
        *out = this;
        return S_OK;
    }
    if (IsSameGuid(iid, IID_IDirect3D7)) {
        *out = new IDirect3D7(this);
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT IDirectDraw7::SetCooperativeLevel(HWND window, DWORD flags) {
    if (auto fault = TakeFault(this, "IDirectDraw7::SetCooperativeLevel")) {
        return *fault;
    }
    const bool exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    const bool normal = (flags & DDSCL_NORMAL) != 0;
    const bool fullscreen = (flags & DDSCL_FULLSCREEN) != 0;
    if (exclusive == normal || exclusive != fullscreen) {
        return DDERR_INVALIDPARAMS;
    }
    if (exclusive && (window == nullptr || !IsWindow(window))) {
        return DDERR_NOHWND;
    }
    bool leftExclusive = false;
    HWND oldWindow = nullptr;
    bool restoreMode = false;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        if (exclusive) {
            for (const auto& weak : System().objects) {
                const auto other = weak.lock();
                if (other && other != mState && other->exclusive) {
                    return DDERR_EXCLUSIVEMODEALREADYSET;
                }
            }
        }
        leftExclusive = mState->exclusive && !exclusive;
        oldWindow = mState->window;
        restoreMode = leftExclusive && mState->mode.has_value();
        if (restoreMode) {
            mState->mode.reset();
        }
        mState->window = window;
        mState->cooperativeLevel = flags;
        mState->exclusive = exclusive;
    }
    if (restoreMode) {
        // Leaving exclusive mode gives the desktop its mode back.
        RestoreDesktopMode();
        std::lock_guard<std::mutex> hold(System().mutex);
        mState->generation = ++System().modeGeneration;
    }
    if (TPresenter* presenter = MainThreadPresenter()) {
        if (leftExclusive) {
            presenter->SetFullscreen(oldWindow, false);
        }
        if (exclusive) {
            presenter->SetFullscreen(window, true);
        }
    }
    return DD_OK;
}

HRESULT IDirectDraw7::GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) {
    if (driverCaps == nullptr && emulationCaps == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if ((driverCaps != nullptr && driverCaps->dwSize != sizeof(DDCAPS)) ||
        (emulationCaps != nullptr && emulationCaps->dwSize != sizeof(DDCAPS))) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::GetCaps")) {
        return *fault;
    }
    DWORD total = 0;
    DWORD used = 0;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        total = mState->adapter->desc.videoMemory;
        used = mState->adapter->usedVideoMemory;
    }
    if (driverCaps != nullptr) {
        *driverCaps = DDCAPS{};
        driverCaps->dwSize = sizeof(DDCAPS);
        driverCaps->dwCaps = DDCAPS_3D | DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL |
                             DDCAPS_CANCLIP | DDCAPS_CANCLIPSTRETCHED | DDCAPS_CANBLTSYSMEM;
        driverCaps->dwCaps2 = DDCAPS2_CANRENDERWINDOWED | DDCAPS2_FLIPNOVSYNC;
        driverCaps->dwZBufferBitDepths = DDBD_16 | DDBD_24 | DDBD_32;
        driverCaps->dwVidMemTotal = total;
        driverCaps->dwVidMemFree = total - std::min(total, used);
        driverCaps->ddsCaps.dwCaps = DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FLIP |
                                     DDSCAPS_FRONTBUFFER | DDSCAPS_OFFSCREENPLAIN |
                                     DDSCAPS_PRIMARYSURFACE | DDSCAPS_SYSTEMMEMORY |
                                     DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY |
                                     DDSCAPS_ZBUFFER | DDSCAPS_MIPMAP | DDSCAPS_LOCALVIDMEM;
        driverCaps->ddsOldCaps.dwCaps = driverCaps->ddsCaps.dwCaps;
    }
    if (emulationCaps != nullptr) {
        *emulationCaps = DDCAPS{};
        emulationCaps->dwSize = sizeof(DDCAPS);
        emulationCaps->dwCaps =
            DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_BLTCOLORFILL | DDCAPS_CANCLIP;
        emulationCaps->ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
    }
    return DD_OK;
}

HRESULT IDirectDraw7::GetAvailableVidMem(DDSCAPS2* caps, DWORD* total, DWORD* free) {
    if (caps == nullptr || (total == nullptr && free == nullptr)) {
        return DDERR_INVALIDPARAMS;
    }
    if ((caps->dwCaps & DDSCAPS_SYSTEMMEMORY) != 0) {
        return DDERR_INVALIDCAPS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::GetAvailableVidMem")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(System().mutex);
    const DWORD all = mState->adapter->desc.videoMemory;
    if (total != nullptr) {
        *total = all;
    }
    if (free != nullptr) {
        *free = all - std::min(all, mState->adapter->usedVideoMemory);
    }
    return DD_OK;
}

HRESULT IDirectDraw7::EnumDisplayModes(DWORD flags, DDSURFACEDESC2* filter, void* context,
                                       LPDDENUMMODESCALLBACK2 callback) {
    if (callback == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::EnumDisplayModes")) {
        return *fault;
    }
    std::vector<TDisplayMode> modes;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        modes = mState->adapter->desc.modes;
    }
    const bool withRefresh = (flags & DDEDM_REFRESHRATES) != 0;
    std::vector<TDisplayMode> listed;
    for (const TDisplayMode& mode : modes) {
        if (filter != nullptr) {
            if ((filter->dwFlags & DDSD_WIDTH) != 0 && filter->dwWidth != mode.width) {
                continue;
            }
            if ((filter->dwFlags & DDSD_HEIGHT) != 0 && filter->dwHeight != mode.height) {
                continue;
            }
            if ((filter->dwFlags & DDSD_REFRESHRATE) != 0 && filter->dwRefreshRate != 0 &&
                filter->dwRefreshRate != mode.refreshRate) {
                continue;
            }
        }
        // Without refresh rates, a mode at several rates is listed once.
        const bool seen = !withRefresh && std::any_of(listed.begin(), listed.end(), [&](auto& m) {
            return m.width == mode.width && m.height == mode.height &&
                   m.bitsPerPixel == mode.bitsPerPixel;
        });
        if (seen) {
            continue;
        }
        listed.push_back(mode);
        DDSURFACEDESC2 desc;
        DescribeMode(mode, &desc, withRefresh);
        if (filter != nullptr && (filter->dwFlags & DDSD_PIXELFORMAT) != 0 &&
            filter->ddpfPixelFormat.dwRGBBitCount != desc.ddpfPixelFormat.dwRGBBitCount) {
            continue;
        }
        if (callback(&desc, context) == DDENUMRET_CANCEL) {
            break;
        }
    }
    return DD_OK;
}

HRESULT IDirectDraw7::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel,
                                     DWORD refreshRate, DWORD /*flags*/) {
    if (auto fault = TakeFault(this, "IDirectDraw7::SetDisplayMode")) {
        return *fault;
    }
    TDisplayMode chosen;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        if (!mState->exclusive) {
            return DDERR_NOEXCLUSIVEMODE;
        }
        const auto& modes = mState->adapter->desc.modes;
        // A 15-bit mode is listed with 16 bits (5-5-5 masks), so 16 reaches it too when the
        // adapter has no 5-6-5 mode of that size.
        auto matches = [&](DWORD bits) {
            return std::find_if(modes.begin(), modes.end(), [&](const TDisplayMode& m) {
                return m.width == width && m.height == height && m.bitsPerPixel == bits &&
                       (refreshRate == 0 || m.refreshRate == refreshRate);
            });
        };
        auto found = matches(bitsPerPixel);
        if (found == modes.end() && bitsPerPixel == 16) {
            found = matches(15);
        }
        if (found == modes.end()) {
            return DDERR_INVALIDMODE;
        }
        chosen = *found;
    }
    SetDesktopMode(static_cast<int>(chosen.width), static_cast<int>(chosen.height),
                   static_cast<int>(chosen.bitsPerPixel), static_cast<int>(chosen.refreshRate));
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        mState->mode = chosen;
        mState->generation = ++System().modeGeneration;
    }
    // A mode change leaves nothing of video memory as it was.
    LoseEverySurface();
    return DD_OK;
}

HRESULT IDirectDraw7::RestoreDisplayMode() {
    if (auto fault = TakeFault(this, "IDirectDraw7::RestoreDisplayMode")) {
        return *fault;
    }
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        if (!mState->mode) {
            return DD_OK;
        }
        mState->mode.reset();
    }
    RestoreDesktopMode();
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        mState->generation = ++System().modeGeneration;
    }
    LoseEverySurface();
    return DD_OK;
}

HRESULT IDirectDraw7::GetDisplayMode(DDSURFACEDESC2* desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2)) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::GetDisplayMode")) {
        return *fault;
    }
    TDisplayMode mode;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        mode = CurrentModeLocked(*mState);
    }
    DescribeMode(mode, desc, true);
    return DD_OK;
}

HRESULT IDirectDraw7::GetMonitorFrequency(DWORD* frequency) {
    if (frequency == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::GetMonitorFrequency")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(System().mutex);
    *frequency = mState->mode ? mState->mode->refreshRate : mState->adapter->desc.monitorFrequency;
    return DD_OK;
}

HRESULT IDirectDraw7::GetDeviceIdentifier(DDDEVICEIDENTIFIER2* identifier, DWORD /*flags*/) {
    if (identifier == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::GetDeviceIdentifier")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(System().mutex);
    const TAdapter& adapter = mState->adapter->desc;
    *identifier = DDDEVICEIDENTIFIER2{};
    std::strncpy(identifier->szDriver, adapter.driver.c_str(), MAX_DDDEVICEID_STRING - 1);
    std::strncpy(identifier->szDescription, adapter.description.c_str(), MAX_DDDEVICEID_STRING - 1);
    identifier->liDriverVersion.QuadPart = adapter.driverVersion;
    identifier->dwVendorId = adapter.vendorId;
    identifier->dwDeviceId = adapter.deviceId;
    identifier->dwSubSysId = adapter.subSysId;
    identifier->dwRevision = adapter.revision;
    identifier->guidDeviceIdentifier = adapter.guid;
    return DD_OK;
}

HRESULT IDirectDraw7::WaitForVerticalBlank(DWORD flags, HANDLE /*event*/) {
    if ((flags & (DDWAITVB_BLOCKBEGIN | DDWAITVB_BLOCKEND)) == 0) {
        return (flags & DDWAITVB_BLOCKBEGINEVENT) != 0 ? DDERR_UNSUPPORTED : DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::WaitForVerticalBlank")) {
        return *fault;
    }
    DWORD refresh = 60;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        refresh = mState->mode ? mState->mode->refreshRate : mState->adapter->desc.monitorFrequency;
    }
    if (TPresenter* presenter = MainThreadPresenter()) {
        presenter->WaitForVerticalBlank(refresh);
    } else {
        WaitForNextRefresh(refresh);
    }
    return DD_OK;
}

HRESULT IDirectDraw7::FlipToGDISurface() {
    if (auto fault = TakeFault(this, "IDirectDraw7::FlipToGDISurface")) {
        return *fault;
    }
    return DD_OK;
}

HRESULT IDirectDraw7::TestCooperativeLevel() {
    if (auto fault = TakeFault(this, "IDirectDraw7::TestCooperativeLevel")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(System().mutex);
    return CooperativeStateLocked(*mState);
}

HRESULT IDirectDraw7::RestoreAllSurfaces() {
    if (auto fault = TakeFault(this, "IDirectDraw7::RestoreAllSurfaces")) {
        return *fault;
    }
    std::vector<std::weak_ptr<TSurface>> surfaces;
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        const HRESULT state = CooperativeStateLocked(*mState);
        if (FAILED(state)) {
            return state;
        }
        surfaces = mState->surfaces;
    }
    for (const auto& weak : surfaces) {
        if (auto surface = weak.lock()) {
            std::lock_guard<std::mutex> hold(surface->mutex);
            surface->lost = false;
        }
    }
    return DD_OK;
}

HRESULT IDirectDraw7::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface7** out,
                                    IUnknown* outer) {
    if (out == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *out = nullptr;
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2) || outer != nullptr ||
        (desc->dwFlags & DDSD_CAPS) == 0) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::CreateSurface")) {
        return *fault;
    }
    return CreateSurfaceOn(mState, *desc, out);
}

HRESULT IDirectDraw7::CreateClipper(DWORD flags, IDirectDrawClipper** clipper, IUnknown* outer) {
    if (clipper == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *clipper = nullptr;
    if (flags != 0 || outer != nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDraw7::CreateClipper")) {
        return *fault;
    }
    *clipper = new IDirectDrawClipper(std::make_shared<TClipper>());
    return DD_OK;
}
