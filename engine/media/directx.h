// The Direct3D context: owns every DirectDraw and Direct3D object of the display (the CDisplay
// with its buffers, the Direct3D interface, the device and its depth buffer), builds a device for
// a window or full screen and refuses hardware the engine cannot use. One per process, owned by
// the display handler's TPlatformData. Main thread; the cursor thread uses the surfaces only under
// the mouse mutex.
#pragma once

#include "engine/core/str.h"
#include "engine/media/ddutil.h"
#include "platform/directx/d3d.h"

#include <cstdint>

// Two upper-case hexadecimal digits a byte, high nibble first; "" for a count of 0 or less.
str HexEncode(const void* bytes, int count);

class TDXContext {
public:
    // Create flags.
    static constexpr int kAlways = 1;
    static constexpr int kHostChild = 2;
    static constexpr int kAntialias = 4;

    // Makes the mouse mutex and reads the desktop's size and colours.
    TDXContext();
    virtual ~TDXContext();
    TDXContext(const TDXContext&) = delete;
    TDXContext& operator=(const TDXContext&) = delete;

    // Releases what a previous Create built, then builds the display and its device. False on any
    // failure; the failure flags below tell the display set-up what to try next.
    bool Create(HWND window, bool fullscreen, int width, int height, int depth, int flags);
    void ReleaseObjects();
    void SetDesktopInfo(int colors, int width, int height);
    // Clears the whole viewport: colour 0, depth 1, stencil 0.
    HRESULT ClearDepth(DWORD flags);
    // Full screen: the back buffer starts as a copy of the front buffer. False when the copy
    // fails; always true in a window.
    bool PrepareBackBuffer();
    // Shows the back buffer, after the vertical blank in a window with vsync on.
    HRESULT Present();

    CDisplay& GetDisplay() { return mDisplay; }
    IDirectDraw7* GetDirectDraw() const { return mDisplay.GetDirectDraw(); }
    IDirectDrawSurface7* GetFrontBuffer() const { return mDisplay.GetFrontBuffer(); }
    IDirectDrawSurface7* GetBackBuffer() const { return mDisplay.GetBackBuffer(); }
    IDirect3D7* GetDirect3D() const { return mDirect3D; }
    IDirect3DDevice7* GetDevice() const { return mDevice; }
    const D3DDEVICEDESC7& GetDeviceDesc() const { return mDeviceDesc; }
    const DDSURFACEDESC2& GetDisplayMode() const { return mDisplayMode; }
    const str& GetInfo() const { return mInfo; }
    HWND GetClipWindow() const { return mClipWindow; }
    void SetClipWindow(HWND window) { mClipWindow = window; }
    bool IsHardware() const { return mHardware; }
    bool IsPalettedFatal() const { return mPalettedFatal; }
    bool IsNoWindowMemory() const { return mNoWindowMemory; }
    bool IsBackBufferInVideoMemory() const { return mBackBufferInVideoMemory; }
    int GetDesktopColors() const { return mDesktopColors; }
    int GetDesktopWidth() const { return mDesktopWidth; }
    int GetDesktopHeight() const { return mDesktopHeight; }
    bool GetVSync() const { return mVSync; }
    void SetVSync(bool on) { mVSync = on; }
    HANDLE GetMouseMutex() const { return mMouseMutex; }

private:
    static HRESULT EnumDeviceCallback(char* description, char* name, D3DDEVICEDESC7* desc,
                                      void* context);
    static HRESULT EnumZBufferCallback(DDPIXELFORMAT* format, void* context);
    void ReadDesktop();
    bool CreateDepthBuffer(bool fullscreen, int width, int height);
    // The device on the back buffer, its checks and the identifier log.
    bool CreateDevice();
    void LogDeviceIdentifier(IDirectDraw7* directDraw);

    // Device identifier and capability dumps of each successful Create.
    str mInfo;
    // Set by the display set-up to the game window when embedded.
    HWND mClipWindow = nullptr;
    CDisplay mDisplay;
    IDirect3D7* mDirect3D = nullptr;
    IDirect3DDevice7* mDevice = nullptr;
    D3DDEVICEDESC7 mDeviceDesc{};
    DDSURFACEDESC2 mDisplayMode{};
    DDPIXELFORMAT mZBufferFormat{};
    bool mHardware = false;
    // The desktop has 16 colours or fewer: DirectX cannot run at all.
    bool mPalettedFatal = false;
    // Too little video memory for a windowed display.
    bool mNoWindowMemory = false;
    // The windowed back buffer is asked for in video memory.
    bool mBackBufferInVideoMemory = false;
    // -1 above 256 colours.
    int mDesktopColors = -1;
    int mDesktopWidth = 0;
    int mDesktopHeight = 0;
    bool mVSync = false;
    HANDLE mMouseMutex = nullptr;

    // Enumeration state of one Create.
    bool mEmbedded = false;
    bool mDeviceChosen = false;
};
