#include "engine/media/ddutil.h"

#include "engine/core/log.h"
#include "engine/media/dxerror.h"
#include "platform/win32/winuser.h"

#include <algorithm>
#include <vector>

namespace {

constexpr const char* kDdutilSource = ".\\ddutil";

template <class T>
void ReleaseDdObject(T*& object) {
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

DDSURFACEDESC2 EmptySurfaceDesc() {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    return desc;
}

// The devices DirectDrawEnumerateExA lists, the primary display driver (no GUID) first.
struct TDeviceList {
    std::vector<GUID> guids;
    std::vector<bool> hasGuid;
};

BOOL CollectDevice(GUID* guid, char* /*description*/, char* /*name*/, void* context,
                   HMONITOR /*monitor*/) {
    auto* list = static_cast<TDeviceList*>(context);
    list->guids.push_back(guid != nullptr ? *guid : GUID{});
    list->hasGuid.push_back(guid != nullptr);
    return TRUE;
}

struct TModeSearch {
    DWORD width;
    DWORD height;
    DWORD depth;
    DWORD chosen = 0;
};

// The first mode of the size is kept unless a 16-bit one comes; the exact depth ends the search.
HRESULT PickMode(DDSURFACEDESC2* mode, void* context) {
    auto* search = static_cast<TModeSearch*>(context);
    const DWORD bits = mode->ddpfPixelFormat.dwRGBBitCount;
    if (bits < 15 || mode->dwWidth != search->width || mode->dwHeight != search->height) {
        return DDENUMRET_OK;
    }
    if (bits == search->depth) {
        search->chosen = bits;
        return DDENUMRET_CANCEL;
    }
    if (search->chosen == 0 || bits == 16) {
        search->chosen = bits;
    }
    return DDENUMRET_OK;
}

} // namespace

TDDSurface::~TDDSurface() {
    ReleaseDdObject(mSurface);
}

CDisplay::~CDisplay() {
    // Not virtually: the object is being destroyed.
    CDisplay::ReleaseAll();
}

HRESULT CDisplay::OpenFullScreen(HWND window, int width, int height, int depth, uint32_t flags) {
    for (;;) {
        bool noAdapter = false;
        const HRESULT result = TryFullScreen(window, width, height, depth, flags, &noAdapter);
        if (noAdapter) {
            Log("Failed to create a DirectDraw device after trying all GUIDs");
            if (!mOpenedOnce) {
                MessageBoxA(nullptr,
                            "Sorry, but this product isn't compatible with your display. Try "
                            "using a different display, if you have the option.",
                            "Error", MB_OK | MB_ICONSTOP);
            }
            return E_FAIL;
        }
        if (SUCCEEDED(result)) {
            return result;
        }
        ReportDxError(result, kDdutilSource, 101);
        flags += kNextAdapter;
    }
}

HRESULT CDisplay::CreateDirectDraw(uint32_t adapter, bool* noAdapter) {
    void* object = nullptr;
    HRESULT result = DD_OK;
    if (adapter == 0) {
        result = DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr);
    } else {
        TDeviceList list;
        DirectDrawEnumerateExA(&CollectDevice, &list, DDENUM_ATTACHEDSECONDARYDEVICES);
        if (adapter >= list.guids.size() || !list.hasGuid[adapter]) {
            *noAdapter = true;
            return E_FAIL;
        }
        result = DirectDrawCreateEx(&list.guids[adapter], &object, IID_IDirectDraw7, nullptr);
    }
    mDirectDraw = static_cast<IDirectDraw7*>(object);
    return result;
}

HRESULT CDisplay::TryFullScreen(HWND window, int width, int height, int depth, uint32_t flags,
                                bool* noAdapter) {
    ReleaseAll();
    HRESULT result = CreateDirectDraw(flags >> 16, noAdapter);
    if (FAILED(result)) {
        return result;
    }
    result = mDirectDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN);
    if (FAILED(result)) {
        return result;
    }
    // Cards with little memory cannot hold deep full-screen buffers and textures together.
    DDCAPS caps{};
    caps.dwSize = sizeof(caps);
    const HRESULT capsResult = mDirectDraw->GetCaps(&caps, nullptr);
    if (FAILED(capsResult)) {
        ReportDxError(capsResult, kDdutilSource, 102);
    } else if (caps.dwVidMemTotal < (16u << 20) && depth > 16) {
        depth = 16;
    }

    TModeSearch search{static_cast<DWORD>(width), static_cast<DWORD>(height),
                       static_cast<DWORD>(depth)};
    mDirectDraw->EnumDisplayModes(0, nullptr, &search, &PickMode);
    const DWORD chosen = search.chosen != 0 ? search.chosen : static_cast<DWORD>(depth);
    result = mDirectDraw->SetDisplayMode(static_cast<DWORD>(width), static_cast<DWORD>(height),
                                         chosen, 0, 0);
    if (FAILED(result)) {
        Log("Failed to create screen at %d bpp.", depth);
        return result;
    }
    Log("Created screen at %d bpp.", static_cast<int>(chosen));

    DDSURFACEDESC2 desc = EmptySurfaceDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    if ((flags & kAntialias) != 0) {
        desc.ddsCaps.dwCaps2 = DDSCAPS2_HINTANTIALIASING;
    }
    result = mDirectDraw->CreateSurface(&desc, &mFrontBuffer, nullptr);
    if (FAILED(result) && (flags & kAntialias) != 0) {
        Log("FAILED to create front buffer with DDSCAPS2_ENABLEALPHACHANNEL");
        desc.ddsCaps.dwCaps2 = 0;
        result = mDirectDraw->CreateSurface(&desc, &mFrontBuffer, nullptr);
    }
    if (FAILED(result)) {
        return result;
    }
    DDSCAPS2 backCaps{};
    backCaps.dwCaps = DDSCAPS_BACKBUFFER;
    result = mFrontBuffer->GetAttachedSurface(&backCaps, &mBackBuffer);
    if (FAILED(result)) {
        return result;
    }
    mWindowed = false;
    mWindow = window;
    RefreshBounds();
    FillBlack(mFrontBuffer);
    FillBlack(mBackBuffer);
    mOpenedOnce = true;
    return DD_OK;
}

HRESULT CDisplay::OpenWindowed(HWND window, HWND clipWindow, int width, int height,
                               bool backBufferInVideoMemory, uint32_t flags) {
    ReleaseAll();
    bool noAdapter = false;
    HRESULT result = CreateDirectDraw(0, &noAdapter);
    if (FAILED(result)) {
        return result;
    }
    if (FAILED(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL))) {
        return E_FAIL;
    }

    if ((flags & kHostChild) == 0) {
        DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
        style = (style & ~WS_POPUP) | WS_CAPTION | WS_THICKFRAME | WS_MINIMIZEBOX;
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));
        // The game's windows have no menu bar.
        RECT frame{0, 0, width, height};
        AdjustWindowRectEx(&frame, style, FALSE,
                           static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, frame.right - frame.left,
                     frame.bottom - frame.top, SWP_NOMOVE | SWP_NOACTIVATE);
        RECT placed{};
        RECT work{};
        ::GetWindowRect(window, &placed);
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        const int x = std::max(placed.left, work.left);
        const int y = std::max(placed.top, work.top);
        if (x != placed.left || y != placed.top) {
            SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }

    DDSURFACEDESC2 desc = EmptySurfaceDesc();
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    result = mDirectDraw->CreateSurface(&desc, &mFrontBuffer, nullptr);
    if (FAILED(result)) {
        return result;
    }
    desc = EmptySurfaceDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE |
                          (backBufferInVideoMemory ? DDSCAPS_VIDEOMEMORY : 0u);
    if ((flags & kAntialias) != 0) {
        desc.ddsCaps.dwCaps2 = DDSCAPS2_HINTANTIALIASING;
    }
    result = mDirectDraw->CreateSurface(&desc, &mBackBuffer, nullptr);
    if (FAILED(result)) {
        return result;
    }

    IDirectDrawClipper* clipper = nullptr;
    result = mDirectDraw->CreateClipper(0, &clipper, nullptr);
    if (FAILED(result)) {
        return result;
    }
    result = clipper->SetHWnd(0, clipWindow != nullptr ? clipWindow : window);
    if (SUCCEEDED(result)) {
        result = mFrontBuffer->SetClipper(clipper);
    }
    clipper->Release();
    if (FAILED(result)) {
        return result;
    }

    mWindow = window;
    mWindowed = true;
    RefreshBounds();
    FillBlack(mBackBuffer);
    mOpenedOnce = true;
    return DD_OK;
}

HRESULT CDisplay::ShowFrame() {
    if (mFrontBuffer == nullptr || mBackBuffer == nullptr) {
        return E_POINTER;
    }
    for (;;) {
        HRESULT result;
        if (mWindowed) {
            DDBLTFX fx{};
            fx.dwSize = sizeof(fx);
            fx.dwDDFX = DDBLTFX_NOTEARING;
            RECT target{mWindowRect.left, mWindowRect.top, mWindowRect.right, mWindowRect.bottom};
            result = mFrontBuffer->Blt(&target, mBackBuffer, nullptr, DDBLT_WAIT | DDBLT_DDFX, &fx);
        } else {
            result = mFrontBuffer->Flip(nullptr, DDFLIP_WAIT);
        }
        if (result == DDERR_WASSTILLDRAWING) {
            continue;
        }
        if (result == DDERR_SURFACELOST) {
            mFrontBuffer->Restore();
            mBackBuffer->Restore();
        }
        return result;
    }
}

void CDisplay::RefreshBounds() {
    if (mWindowed) {
        RECT client{};
        GetClientRect(mWindow, &client);
        POINT origin{0, 0};
        ClientToScreen(mWindow, &origin);
        mWindowRect = TRect{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    } else {
        mWindowRect = TRect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
}

HRESULT CDisplay::ReleaseAll() {
    ReleaseDdObject(mSecondBackBuffer);
    ReleaseDdObject(mBackBuffer);
    ReleaseDdObject(mFrontBuffer);
    if (mDirectDraw != nullptr) {
        mDirectDraw->SetCooperativeLevel(mWindow, DDSCL_NORMAL);
        ReleaseDdObject(mDirectDraw);
    }
    return DD_OK;
}

HRESULT CDisplay::MakeSurface(TDDSurface** out, int width, int height, const DDPIXELFORMAT* format,
                              const DDSCAPS2* caps) {
    if (mDirectDraw == nullptr) {
        return E_POINTER;
    }
    if (out == nullptr) {
        return E_INVALIDARG;
    }
    DDSURFACEDESC2 desc = EmptySurfaceDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    if (caps != nullptr) {
        desc.ddsCaps = *caps;
    } else {
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    }
    if (format != nullptr) {
        desc.dwFlags |= DDSD_PIXELFORMAT;
        desc.ddpfPixelFormat = *format;
    }
    auto* surface = new TDDSurface;
    const HRESULT result = mDirectDraw->CreateSurface(&desc, &surface->mSurface, nullptr);
    if (FAILED(result)) {
        delete surface;
        *out = nullptr;
        return result;
    }
    surface->mDesc = EmptySurfaceDesc();
    surface->mSurface->GetSurfaceDesc(&surface->mDesc);
    *out = surface;
    return DD_OK;
}

void CDisplay::FillBlack(IDirectDrawSurface7* surface) {
    DDBLTFX fx{};
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0;
    const HRESULT result =
        surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    if (FAILED(result)) {
        ReportDxError(result, kDdutilSource, 103);
    }
}
