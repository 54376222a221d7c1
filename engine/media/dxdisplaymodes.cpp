// The display handler's mode changes: bringing the display up in a window or full screen, the
// desktops that force full screen, the fall-back between the two modes and the fatal exits.
#include "engine/core/assetmanager.h"
#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/dxhelpers.h"
#include "engine/system/platform.h"
#include "engine/system/portal.h"
#include "engine/system/win32platform.h"
#include "engine/system/windowsystemlink.h"

#include <cstdlib>
#include <numbers>

namespace {

constexpr const char* kOutOfMemoryText =
    "You cannot run this application at your current screen resolution or bit depth (out of "
    "memory). Change your display settings and run again. Closing other applications might also "
    "help.";
constexpr const char* kPalettedHostText =
    "You cannot run this application when your video mode is 8 bits or less. Change your display "
    "settings and run again.";
constexpr const char* kSmallHostText =
    "You cannot run this application at your current screen resolution. Change your display "
    "settings and run again.";
constexpr const char* kNoWindowMemoryHostText =
    "You cannot run this application at your current screen resolution or bit depth (out of "
    "memory). Change your display settings and run again.";
constexpr const char* kReconfiguringText =
    "Your video card doesn't have enough memory in the current mode. Changing to another mode. "
    "This setting will be saved so you won't see this box again. This will take less than a "
    "minute. Press OK to continue.";
constexpr const char* kPalettedFatalText =
    "DirectX requires that you have your screen set to 256 color mode or higher for any DirectX "
    "application to run. Please go to your control panel and select 256 color mode or install new "
    "video drivers to run this game. Exiting.";
constexpr const char* kPalettedWindowText =
    "Cannot run in 256 color mode or lower in a window. Switching to full screen.";
constexpr const char* kSmallWindowText =
    "Cannot run in a window when your desktop is set to 800x600 or lower resolution. Switching to "
    "full screen.";
constexpr const char* kNoMemoryWindowText =
    "Cannot run in a window: Insufficient video memory. Switching to full screen.";
constexpr const char* kWindowFailedText = "Failed to initialize windowed mode. Trying full screen.";
constexpr const char* kFullscreenFailedText =
    "Failed to initialize full screen mode. Your video card is not supported. Trying to run in a "
    "window.";
constexpr const char* kFallbackFailedText =
    "Failed to initialize window. Please try running the game again. If that doesn't help, try "
    "changing the screen resolution and color depth. If that fails, then your video card does "
    "not support this game.";

// Ends the process the way start-up does for a lost host: nothing may run on while the process
// tears its objects down.
[[noreturn]] void ExitDisplay(TWin32Platform& win32) {
    win32.StopCursorThread();
    std::exit(-1);
}

void ErrorBox(const char* text, UINT icon, HWND owner = nullptr) {
    MessageBoxA(owner, text, "Error", icon);
}

void ApplyStyles(HWND window, DWORD exStyle, DWORD style) {
    SetWindowLongA(window, GWL_EXSTYLE, static_cast<LONG>(exStyle));
    SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));
}

} // namespace

void CenterWindowOnMonitor(HWND window, unsigned flags) {
    RECT rect{};
    GetWindowRect(window, &rect);
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (HMONITOR monitor = MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST)) {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (GetMonitorInfoA(monitor, &info)) {
            area = (flags & 2u) != 0 ? info.rcWork : info.rcMonitor;
        }
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    int left = 0;
    int top = 0;
    if ((flags & 1u) != 0) {
        left = area.left + (area.right - area.left - width) / 2;
        top = area.top + (area.bottom - area.top - height) / 2;
    } else {
        left = std::max<int>(area.left, std::min<int>(area.right - width, rect.left));
        top = std::max<int>(area.top, std::min<int>(area.bottom - height, rect.top));
    }
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TDxDisplayHandler::UpdateDesktopMode() {
    HDC screen = GetDC(nullptr);
    mData->mContext->SetDesktopInfo(GetDeviceCaps(screen, NUMCOLORS),
                                    GetDeviceCaps(screen, HORZRES), GetDeviceCaps(screen, VERTRES));
    ReleaseDC(nullptr, screen);
}

bool TDxDisplayHandler::SetFullscreen(bool fullscreen) {
    TPlatformData& data = *mData;
    const TDXContext& context = *data.mContext;
    const int width = data.mTargetRect.right - data.mTargetRect.left;
    const int height = data.mTargetRect.bottom - data.mTargetRect.top;
    if (!fullscreen) {
        const bool small =
            width >= context.GetDesktopWidth() || height >= context.GetDesktopHeight();
        if (context.GetDesktopColors() != -1 || small || context.IsNoWindowMemory() ||
            data.mLowMemoryVideo) {
            return false;
        }
    }
    SetDisplay(width, height, fullscreen, false, false, false);
    return true;
}

void TDxDisplayHandler::SetDisplay(int width, int height, bool fullscreen, bool force, bool quiet,
                                   bool child) {
    TPlatformData& data = *mData;
    if (data.mInSetDisplay) {
        Sleep(50);
        return;
    }
    TFlagScope busy(data.mInSetDisplay);
    if (IsZylomMode()) {
        fullscreen = false;
        quiet = true;
    }
    TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr || platform->GetWin32() == nullptr) {
        return;
    }
    TWin32Platform& win32 = *platform->GetWin32();
    if (win32.mInactiveInFullScreen) {
        Sleep(100);
        return;
    }
    TDXContext& context = *data.mContext;
    if (data.mLowMemoryVideo) {
        if (IsPqMode()) {
            ErrorBox(kOutOfMemoryText, MB_ICONEXCLAMATION);
            ExitDisplay(win32);
        }
        Log("SetDisplay Forcing Fullscreen (MEMORY)");
        fullscreen = true;
    }
    bool active = win32.mWindowActive;
    if (win32.mAppActivationEventPending) {
        active = win32.mWindowActive && win32.mAppActive;
    }
    if (!active && !force) {
        return;
    }
    HWND window = win32.mMainWindow;
    HWND host = win32.mExternalWindowParent;
    if (win32.mEmbedded && !win32.mAxTest) {
        if (host != nullptr) {
            if (!IsWindow(host)) {
                Log("Error: mExternalWindowParent is lost, exiting!");
                ExitDisplay(win32);
            }
            if (fullscreen) {
                SetParent(window, nullptr);
            } else {
                SetParent(window, host);
                ApplyStyles(window, 0, WS_CHILD | WS_VISIBLE);
                child = true;
                RECT client{};
                GetClientRect(host, &client);
                MoveWindow(window, 0, 0, client.right, client.bottom, TRUE);
            }
            context.SetClipWindow(window);
            if (fullscreen) {
                ApplyStyles(window, WS_EX_TOPMOST, WS_POPUP);
            } else {
                ApplyStyles(window, 0, WS_CHILD | WS_VISIBLE);
            }
        } else {
            context.SetClipWindow(nullptr);
        }
    }
    if (data.mFatal) {
        ExitDisplay(win32);
    }
    // Under a host, a display that was just marked lost is not rebuilt again for a second: the
    // host's frames keep asking for a restore.
    if (host != nullptr && data.mLost && TPlatform::GetTime() - data.mLostTime < 1000) {
        return;
    }
    data.mWorkingCount = 0;
    const bool paletted = context.GetDesktopColors() != -1;
    if (!fullscreen && paletted) {
        if (host != nullptr) {
            ErrorBox(kPalettedHostText, MB_ICONEXCLAMATION);
            ExitDisplay(win32);
        }
        Log("SetDisplay Forcing Fullscreen (PALLETTED)");
        fullscreen = true;
    }
    if (fullscreen == data.mFullscreen && width == data.mTargetRect.right - data.mTargetRect.left &&
        height == data.mTargetRect.bottom - data.mTargetRect.top && !force) {
        return;
    }
    if (!fullscreen) {
        const float scale = win32.mViewportScale;
        if (!IsPqMode() &&
            (TruncateScaled(static_cast<float>(width) * scale) >= context.GetDesktopWidth() ||
             TruncateScaled(static_cast<float>(height) * scale) >= context.GetDesktopHeight())) {
            if (host != nullptr) {
                ErrorBox(kSmallHostText, MB_ICONEXCLAMATION);
                ExitDisplay(win32);
            }
            Log("SetDisplay Forcing Fullscreen (SMALL)");
            fullscreen = true;
        }
        if (!fullscreen && context.IsNoWindowMemory()) {
            if (host != nullptr) {
                ErrorBox(kNoWindowMemoryHostText, MB_ICONEXCLAMATION);
                ExitDisplay(win32);
            }
            Log("SetDisplay Forcing Fullscreen (MEMORY)");
            fullscreen = true;
        }
    }
    if (TAssetManager* assets = GetAssetManager()) {
        assets->ReleaseAll();
    }
    win32.mAssetsReleased = true;
    if (host == nullptr) {
        if (fullscreen) {
            ApplyStyles(window, WS_EX_APPWINDOW | WS_EX_TOPMOST, WS_POPUP);
        } else {
            ApplyStyles(window, WS_EX_APPWINDOW,
                        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX);
        }
    }
    data.mFullscreen = fullscreen;
    data.mViewport = data.mTargetRect = data.mSavedViewport = data.mClipRect =
        TRect{0, 0, width, height};
    data.mDirectDraw = nullptr;
    data.mDirect3D = nullptr;
    data.mDevice = nullptr;
    data.mLost = false;
    context.ReleaseObjects();
    if (data.mReconfigure) {
        MessageBoxA(window, kReconfiguringText, "Reconfiguring", MB_ICONEXCLAMATION);
        data.mReconfigure = false;
    }
    const int depth = data.mLowMemoryVideo ? 16 : 32;
    int flags = TDXContext::kAlways | (child ? TDXContext::kHostChild : 0) |
                (data.mHintAntialias ? TDXContext::kAntialias : 0);
    bool created = context.Create(window, fullscreen, width, height, depth, flags);
    while (!created && (flags & TDXContext::kAntialias) != 0) {
        data.mAntialias = false;
        data.mHintAntialias = false;
        flags &= ~TDXContext::kAntialias;
        created = context.Create(window, fullscreen, width, height, depth, flags);
    }
    if (created) {
        OnDisplayCreated(window, fullscreen, child);
        return;
    }

    if (context.IsPalettedFatal()) {
        if (!quiet) {
            MessageBoxA(nullptr, kPalettedFatalText, "Error", MB_OK);
        }
        data.mFatal = true;
        ExitDisplay(win32);
    }
    if (host != nullptr) {
        MarkLost();
        return;
    }
    if (data.mWasFullscreen && fullscreen) {
        MarkLost();
        Sleep(150);
        return;
    }
    const bool foreground = GetForegroundWindow() == window;
    if (!data.mFallbackTried && !(active && foreground)) {
        Log("SetDisplay marking DirectX Broken: %s, %s", active ? "ACTIVE" : "INACTIVE",
            foreground ? "FOREGROUND" : "BACKGROUND");
        MarkLost();
        return;
    }
    const bool small = width >= context.GetDesktopWidth() || height >= context.GetDesktopHeight();
    const char* refusal = paletted                     ? kPalettedWindowText
                          : small                      ? kSmallWindowText
                          : context.IsNoWindowMemory() ? kNoMemoryWindowText
                                                       : nullptr;
    // A fall-back that was tried already ends here whatever the reason; in the Zylom mode the
    // full-screen retry comes back as a window, and it would otherwise go round for good.
    if (data.mFallbackTried) {
        Log("ERROR FALLBACK FAILED");
        MessageBoxA(window, kFallbackFailedText, "Error", MB_ICONSTOP);
        PostQuitMessage(0);
        data.mFatal = true;
        return;
    }
    data.mFallbackTried = true;
    data.mInSetDisplay = false;
    if (!fullscreen && refusal != nullptr) {
        if (!quiet) {
            MessageBoxA(nullptr, refusal, "Error", MB_OK);
        }
        SetDisplay(width, height, true, force, false, false);
    } else if (fullscreen) {
        SetDisplay(width, height, false, force, false, false);
        if (!quiet) {
            MessageBoxA(nullptr, kFullscreenFailedText, "Error", MB_OK);
        }
    } else {
        if (!quiet) {
            MessageBoxA(nullptr, kWindowFailedText, "Error", MB_OK);
        }
        SetDisplay(width, height, true, false, false, false);
    }
}

void TDxDisplayHandler::OnDisplayCreated(HWND window, bool fullscreen, bool child) {
    TPlatformData& data = *mData;
    TDXContext& context = *data.mContext;
    data.mFallbackTried = false;
    if (!child) {
        RECT rect{};
        GetWindowRect(window, &rect);
        if (rect.left == 0 && rect.top == 0 && !fullscreen) {
            CenterWindowOnMonitor(window, 1);
        }
        ShowWindow(window, SW_SHOW);
        if (fullscreen) {
            SetActiveWindow(window);
        }
    }
    data.mDirectDraw = context.GetDirectDraw();
    data.mDirect3D = context.GetDirect3D();
    data.mDevice = context.GetDevice();
    const D3DDEVICEDESC7& caps = context.GetDeviceDesc();
    // Only ever set: a later device keeps the limits of the first.
    if ((caps.dwDevCaps & D3DDEVCAPS_SEPARATETEXTUREMEMORIES) != 0) {
        data.mSeparateTextureMemory = true;
    }
    if ((caps.dpcTriCaps.dwShadeCaps & D3DPSHADECAPS_SPECULARGOURAUDRGB) == 0) {
        data.mNoSpecular = true;
    }
    if ((caps.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0 ||
        caps.dwMaxTextureAspectRatio < 64) {
        data.mSquareTextures = true;
    }
    data.mRenderTarget = nullptr;
    if (data.mDevice != nullptr) {
        Check(data.mDevice->GetRenderTarget(&data.mRenderTarget), 501);
        // The device's answer carries a reference; the record borrows the surface.
        if (data.mRenderTarget != nullptr) {
            data.mRenderTarget->Release();
        }
    }
    data.mScreenTarget = data.mRenderTarget;
    SetDefaultStates();
    data.mAlphaFormat = TPlatformData::TAlphaFormat{};
    TAssetManager* assets = GetAssetManager();
    TPlatform* platform = TPlatform::GetInstance();
    TWindowManagerLink* manager = platform != nullptr ? platform->GetWindowManager() : nullptr;
    if (assets != nullptr && assets->HasEntries() && manager != nullptr &&
        !manager->IsDrawingSuspended()) {
        context.Present();
    }
    if (!IsReady()) {
        return;
    }
    const TMat4 identity;
    SetWorldTransform(identity);
    SetViewTransform(identity);
    SetPerspective(0.1f, 1000.0f, std::numbers::pi_v<float> / 4.0f, 0.0f);
    SetAmbient(TColor{1, 1, 1, 1});
    D3DMATERIAL7 material{};
    material.diffuse = D3DCOLORVALUE{1, 1, 1, 1};
    material.ambient = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 1};
    material.specular = D3DCOLORVALUE{1, 1, 1, 1};
    material.emissive = D3DCOLORVALUE{0, 0, 0, 1};
    material.power = 1.0f;
    SetMaterial(material);
    if (!data.mDefaultCursorSet && platform != nullptr) {
        data.mDefaultCursorSet = true;
        platform->SetMouseCursor(TTexturePtr(), 2, 2, false);
    }
    RestoreAssets();
    if (manager != nullptr) {
        manager->Invalidate();
    }
    if (fullscreen) {
        data.mWasFullscreen = true;
    }
    DWORD frequency = 0;
    if (data.mDirectDraw != nullptr &&
        SUCCEEDED(data.mDirectDraw->GetMonitorFrequency(&frequency))) {
        SetSetting("monitorfrequency", str::FromFormat("%u", static_cast<unsigned>(frequency)));
    }
}

void TDxDisplayHandler::SetDefaultStates() {
    RenderState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFFu, 511);
    SetZEnable(true);
    SetZWrite(true);
    RenderState(D3DRENDERSTATE_COLORVERTEX, TRUE, 512);
    RenderState(D3DRENDERSTATE_LIGHTING, TRUE, 513);
    RenderState(D3DRENDERSTATE_NORMALIZENORMALS, TRUE, 514);
    RenderState(D3DRENDERSTATE_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL, 515);
    RenderState(D3DRENDERSTATE_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL, 516);
    RenderState(D3DRENDERSTATE_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL, 517);
    RenderState(D3DRENDERSTATE_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL, 518);
    RenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA, 519);
    RenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA, 520);
    RenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE, 521);
    RenderState(D3DRENDERSTATE_WRAP0, 0, 522);
    StageState(D3DTSS_MAGFILTER, D3DTFG_LINEAR, 523);
    StageState(D3DTSS_MINFILTER, D3DTFN_LINEAR, 524);
    StageState(D3DTSS_MIPFILTER, D3DTFP_LINEAR, 525);
    StageState(D3DTSS_COLORARG1, D3DTA_TEXTURE, 526);
    StageState(D3DTSS_COLORARG2, D3DTA_CURRENT, 527);
    StageState(D3DTSS_COLOROP, D3DTOP_MODULATE, 528);
    StageState(D3DTSS_ALPHAARG1, D3DTA_TEXTURE, 529);
    StageState(D3DTSS_ALPHAARG2, D3DTA_CURRENT, 530);
    StageState(D3DTSS_ALPHAOP, D3DTOP_MODULATE, 531);
    RenderState(D3DRENDERSTATE_ALPHATESTENABLE, TRUE, 532);
    RenderState(D3DRENDERSTATE_ALPHAREF, 1, 533);
    RenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL, 534);
    RenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_GOURAUD, 535);
}
