#include "engine/media/directx.h"

#include "engine/core/cipher.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/dxerror.h"
#include "engine/media/mouselock.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/win32/windows.h"

#include <cstring>

namespace {

constexpr const char* kDirectxSource = ".\\directx";

// The platform's embedded flag and viewport scale; not embedded without a platform.
bool IsGameEmbedded(float* scale) {
    *scale = 1.0f;
    const TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr && platform->GetWin32()->GetViewportScale(scale);
}

HWND HostParentWindow() {
    const TPlatform* platform = TPlatform::GetInstance();
    return platform != nullptr ? platform->GetWin32()->mExternalWindowParent : nullptr;
}

int ScaleSize(int size, float scale) {
    return static_cast<int>(static_cast<float>(size) * scale + 0.5f);
}

} // namespace

str HexEncode(const void* bytes, int count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    str text;
    const auto* in = static_cast<const unsigned char*>(bytes);
    for (int i = 0; i < count; ++i) {
        const char pair[3] = {kDigits[in[i] >> 4], kDigits[in[i] & 0x0F], '\0'};
        text += pair;
    }
    return text;
}

TDXContext::TDXContext() {
    TGuid guid{};
    CreateGuid(&guid);
    const str name = str::FromFormat("TDXContextMouseMutex:%x:%x:%x:%x", guid.data[0], guid.data[1],
                                     guid.data[2], guid.data[3]);
    mMouseMutex = CreateMutexA(nullptr, FALSE, name.CStr());
    ReadDesktop();
}

TDXContext::~TDXContext() {
    ReleaseCursor();
    ReleaseObjects();
    if (mMouseMutex != nullptr) {
        CloseHandle(mMouseMutex);
    }
}

void TDXContext::ReadDesktop() {
    HDC screen = GetDC(nullptr);
    mDesktopWidth = GetDeviceCaps(screen, HORZRES);
    mDesktopHeight = GetDeviceCaps(screen, VERTRES);
    mDesktopColors = GetDeviceCaps(screen, NUMCOLORS);
    ReleaseDC(nullptr, screen);
}

void TDXContext::SetDesktopInfo(int colors, int width, int height) {
    // The cursor thread checks the cursor against the desktop.
    const TMouseLock lock(mMouseMutex);
    mDesktopColors = colors;
    mDesktopWidth = width;
    mDesktopHeight = height;
}

void TDXContext::ReleaseObjects() {
    // The cursor thread must not find a buffer or cursor surface half gone.
    const TMouseLock lock(mMouseMutex);
    ReleaseCursorSurfaces();
    mCursorPlaced = false;
    mCursorDrawn = false;
    if (mDevice != nullptr) {
        mDevice->Release();
        mDevice = nullptr;
    }
    if (mDirect3D != nullptr) {
        mDirect3D->Release();
        mDirect3D = nullptr;
    }
    if (IDirectDraw7* directDraw = mDisplay.GetDirectDraw()) {
        directDraw->RestoreDisplayMode();
    }
    mDisplay.ReleaseAll();
    InvalidateRect(nullptr, nullptr, TRUE);
}

HRESULT TDXContext::ClearDepth(DWORD flags) {
    if (mDevice == nullptr) {
        return E_POINTER;
    }
    return mDevice->Clear(0, nullptr, flags, 0, 1.0f, 0);
}

bool TDXContext::Create(HWND window, bool fullscreen, int width, int height, int depth, int flags) {
    if (HostParentWindow() != nullptr) {
        fullscreen = false;
        mNoWindowMemory = false;
    }
    float scale = 1.0f;
    mEmbedded = IsGameEmbedded(&scale);
    const TMouseLock lock(mMouseMutex);
    RefreshCursorFacts();
    ReleaseObjects();
    ReadDesktop();

    if (!mEmbedded && !(mDesktopWidth > width && mDesktopHeight > height) && !fullscreen) {
        return false;
    }
    if (mDesktopColors != -1) {
        if (mDesktopColors <= 16) {
            mPalettedFatal = true;
            return false;
        }
        if (!fullscreen) {
            return false;
        }
    }
    if (mNoWindowMemory && !fullscreen) {
        return false;
    }

    HRESULT result;
    if (fullscreen) {
        result =
            mDisplay.OpenFullScreen(window, width, height, depth, static_cast<uint32_t>(flags));
    } else {
        if (mEmbedded) {
            width = ScaleSize(width, scale);
            height = ScaleSize(height, scale);
        }
        result = mDisplay.OpenWindowed(window, mClipWindow, width, height, mBackBufferInVideoMemory,
                                       static_cast<uint32_t>(flags));
        if (result == DDERR_OUTOFVIDEOMEMORY) {
            mNoWindowMemory = true;
        }
    }
    if (FAILED(result)) {
        ReportDxError(result, kDirectxSource, 201);
        return false;
    }

    IDirectDraw7* directDraw = mDisplay.GetDirectDraw();
    mDisplayMode = DDSURFACEDESC2{};
    mDisplayMode.dwSize = sizeof(mDisplayMode);
    directDraw->GetDisplayMode(&mDisplayMode);

    void* direct3D = nullptr;
    result = directDraw->QueryInterface(IID_IDirect3D7, &direct3D);
    if (FAILED(result)) {
        ReportDxError(result, kDirectxSource, 202);
        return false;
    }
    mDirect3D = static_cast<IDirect3D7*>(direct3D);

    mHardware = false;
    mDeviceChosen = false;
    mDirect3D->EnumDevices(&TDXContext::EnumDeviceCallback, this);
    if (!mDeviceChosen || (!mHardware && !mEmbedded)) {
        Log("TDXContext::Create failed! Could not find a hardware renderer.");
        return false;
    }

    mZBufferFormat = DDPIXELFORMAT{};
    mDirect3D->EnumZBufferFormats(mDeviceDesc.deviceGUID, &TDXContext::EnumZBufferCallback, this);
    if (!CreateDepthBuffer(fullscreen, width, height)) {
        return false;
    }
    return CreateDevice();
}

bool TDXContext::CreateDepthBuffer(bool fullscreen, int width, int height) {
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_ZBUFFER | (mHardware ? DDSCAPS_VIDEOMEMORY : DDSCAPS_SYSTEMMEMORY);
    TDDSurface* depth = nullptr;
    const HRESULT result = mDisplay.MakeSurface(&depth, width, height, &mZBufferFormat, &caps);
    if (FAILED(result)) {
        if (result == DDERR_OUTOFVIDEOMEMORY && !fullscreen) {
            mNoWindowMemory = true;
        }
        ReportDxError(result, kDirectxSource, 203);
        return false;
    }
    const HRESULT attached = mDisplay.GetBackBuffer()->AddAttachedSurface(depth->mSurface);
    if (FAILED(attached)) {
        ReportDxError(attached, kDirectxSource, 204);
    }
    // The back buffer holds the depth buffer from here on.
    delete depth;
    return true;
}

bool TDXContext::CreateDevice() {
    const HRESULT result =
        mDirect3D->CreateDevice(mDeviceDesc.deviceGUID, mDisplay.GetBackBuffer(), &mDevice);
    if (FAILED(result)) {
        mDevice = nullptr;
        if (result == D3DERR_SURFACENOTINVIDMEM) {
            mBackBufferInVideoMemory = true;
        } else if (result == DDERR_NOPALETTEATTACHED) {
            // The next attempt treats the desktop as paletted and goes full screen.
            mDesktopColors = 32;
        } else {
            ReportDxError(result, kDirectxSource, 205);
        }
        return false;
    }
    ResetCursorState();

    D3DDEVICEDESC7 caps{};
    mDevice->GetCaps(&caps);
    if (caps.dwMaxTextureWidth < 1024 || caps.dwMaxTextureHeight < 1024) {
        Log("TDXContext::Create - context does not support 1024x1024 textures! Failing!");
        ReleaseObjects();
        return false;
    }

    IDirectDraw7* directDraw = mDisplay.GetDirectDraw();
    DDCAPS driverCaps{};
    driverCaps.dwSize = sizeof(driverCaps);
    directDraw->GetCaps(&driverCaps, nullptr);
    LogDeviceIdentifier(directDraw);
    mInfo += str::FromFormat("DDCAPS: %s\n",
                             HexEncode(&driverCaps, static_cast<int>(sizeof(driverCaps))).CStr());
    mInfo += str::FromFormat("D3DDESC: %s\n",
                             HexEncode(&mDeviceDesc, static_cast<int>(sizeof(mDeviceDesc))).CStr());
    return true;
}

void TDXContext::LogDeviceIdentifier(IDirectDraw7* directDraw) {
    DDDEVICEIDENTIFIER2 id{};
    directDraw->GetDeviceIdentifier(&id, 0);
    uint32_t guidWords[4];
    static_assert(sizeof(guidWords) == sizeof(id.guidDeviceIdentifier));
    std::memcpy(guidWords, &id.guidDeviceIdentifier, sizeof(guidWords));
    const auto high = static_cast<unsigned>(id.liDriverVersion.HighPart);
    const auto low = static_cast<unsigned>(id.liDriverVersion.LowPart);
    const str text = str::FromFormat(
        "Device identifier:  \n  Driver: '%s'\n  Description: '%s'\n  Version: %x:%x\n  Vendor "
        "ID: %x (%d)\n  Device ID: %x (%d)\n  SubSys:  : %x (%d)\n  Revision:  %x (%d)\n  GUID:  "
        "    %x:%x:%x:%x\n",
        id.szDriver, id.szDescription, high, low, static_cast<unsigned>(id.dwVendorId),
        static_cast<int>(id.dwVendorId), static_cast<unsigned>(id.dwDeviceId),
        static_cast<int>(id.dwDeviceId), static_cast<unsigned>(id.dwSubSysId),
        static_cast<int>(id.dwSubSysId), static_cast<unsigned>(id.dwRevision),
        static_cast<int>(id.dwRevision), guidWords[0], guidWords[1], guidWords[2], guidWords[3]);
    Log("%s", text.CStr());
    mInfo += text;

    // These adapters draw indexed vertex lists wrongly; the particle renderers avoid them.
    const char* description = id.szDescription;
    if (std::strstr(description, "Intel") != nullptr &&
        (std::strstr(description, "82810E") != nullptr ||
         std::strstr(description, "82845") != nullptr ||
         std::strstr(description, " 965 ") != nullptr)) {
        SetSetting("brokenindexedverts", "1");
    }
}

HRESULT TDXContext::EnumDeviceCallback(char* /*description*/, char* /*name*/, D3DDEVICEDESC7* desc,
                                       void* context) {
    auto* self = static_cast<TDXContext*>(context);
    DWORD depthBit = DDBD_32;
    switch (self->mDisplayMode.ddpfPixelFormat.dwRGBBitCount) {
    case 8:
        depthBit = DDBD_8;
        break;
    case 16:
        depthBit = DDBD_16;
        break;
    case 24:
        depthBit = DDBD_24;
        break;
    default:
        break;
    }
    const bool hardware = (desc->dwDevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0;
    const bool accepted = (hardware || self->mEmbedded) &&
                          (desc->dwDeviceRenderBitDepth & depthBit) != 0 &&
                          (desc->dpcTriCaps.dwShadeCaps & D3DPSHADECAPS_COLORGOURAUDRGB) != 0;
    if (!accepted) {
        return DDENUMRET_OK;
    }
    self->mDeviceDesc = *desc;
    self->mHardware = hardware;
    self->mDeviceChosen = true;
    if (hardware && (desc->dwDevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0) {
        return DDENUMRET_CANCEL;
    }
    return DDENUMRET_OK;
}

HRESULT TDXContext::EnumZBufferCallback(DDPIXELFORMAT* format, void* context) {
    auto* self = static_cast<TDXContext*>(context);
    if ((format->dwFlags & DDPF_ZBUFFER) != 0 && format->dwZBufferBitDepth >= 16) {
        self->mZBufferFormat = *format;
        return DDENUMRET_CANCEL;
    }
    return DDENUMRET_OK;
}

bool TDXContext::PrepareBackBuffer() {
    if (mDisplay.IsWindowed()) {
        return true;
    }
    const TMouseLock lock(mMouseMutex);
    RefreshCursorFacts();
    IDirectDrawSurface7* front = mDisplay.GetFrontBuffer();
    IDirectDrawSurface7* back = mDisplay.GetBackBuffer();
    if (front == nullptr || back == nullptr) {
        return false;
    }
    // A full-screen frame starts from the screen as shown.
    const HRESULT result = back->BltFast(0, 0, front, nullptr, DDBLTFAST_WAIT);
    if (FAILED(result)) {
        ReportDxError(result, kDirectxSource, 401);
        return false;
    }
    // The cursor stays on the front buffer; the frame starts without it.
    if (mCursorDrawn) {
        EraseCursorFromBackBuffer();
    }
    return true;
}

HRESULT TDXContext::Present() {
    const TMouseLock lock(mMouseMutex);
    RefreshCursorFacts();
    mDisplay.RefreshBounds();
    if (mCursorSurfacesLost) {
        RestoreMouseImage();
        if (mCursorSurfacesLost) {
            return DD_OK;
        }
    }
    mCursorDrawn = false;
    DrawCursor(-1, -1, true);
    if (mDisplay.IsWindowed() && mVSync && mDisplay.GetDirectDraw() != nullptr) {
        mDisplay.GetDirectDraw()->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr);
    }
    const HRESULT result = mDisplay.ShowFrame();
    if (FAILED(result)) {
        mCursorDrawn = false;
    } else if (mCursorDrawn) {
        // The cursor is on the screen now; a windowed back buffer is drawn on again as it is.
        if (mDisplay.IsWindowed()) {
            EraseCursorFromBackBuffer();
        }
        mCursorOnBackBuffer = false;
    }
    return result;
}
