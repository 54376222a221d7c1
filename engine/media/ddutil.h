// The DirectDraw side of the display: the DirectDraw object, the front and back buffers, the
// window they show in, and where its drawing area lies on the screen. Owned by the Direct3D
// context (TDXContext), which builds its device on the back buffer. Main thread; the cursor code
// reads the buffers under the context's mouse mutex.
#pragma once

#include "engine/core/rect.h"
#include "platform/directx/ddraw.h"

#include <cstdint>

// A surface made by CDisplay::MakeSurface together with its description as DirectDraw made it.
// Releases the surface when deleted.
struct TDDSurface {
    TDDSurface() = default;
    ~TDDSurface();
    TDDSurface(const TDDSurface&) = delete;
    TDDSurface& operator=(const TDDSurface&) = delete;

    IDirectDrawSurface7* mSurface = nullptr;
    DDSURFACEDESC2 mDesc{};
    uint32_t mReserved = 0;
};

// The name is the one the display's log lines carry.
class CDisplay {
public:
    // Open flags: the adapter index sits in the high 16 bits (full screen only).
    static constexpr uint32_t kHostChild = 2; // windowed: a host's child, neither sized nor moved
    static constexpr uint32_t kAntialias = 4; // ask for antialiased buffers
    static constexpr uint32_t kNextAdapter = 0x10000;

    CDisplay() = default;
    virtual ~CDisplay();
    CDisplay(const CDisplay&) = delete;
    CDisplay& operator=(const CDisplay&) = delete;

    // Exclusive full screen at width x height, `depth` bits or the nearest the adapter has; an
    // adapter that fails hands over to the next one. E_FAIL when none is left.
    HRESULT OpenFullScreen(HWND window, int width, int height, int depth, uint32_t flags);
    // A windowed display with a width x height back buffer; blits clip to `clipWindow` (or the
    // window itself when null). Failures are returned, not reported.
    HRESULT OpenWindowed(HWND window, HWND clipWindow, int width, int height,
                         bool backBufferInVideoMemory, uint32_t flags);
    // Shows the back buffer. DDERR_SURFACELOST after restoring both buffers; E_POINTER without.
    HRESULT ShowFrame();
    void RefreshBounds();
    TPoint GetClientOrigin() const { return TPoint{mWindowRect.left, mWindowRect.top}; }
    // Releases the buffers and DirectDraw; always succeeds.
    virtual HRESULT ReleaseAll();
    // A surface of width x height; `format` null for the display's own, `caps` null for an
    // off-screen plain surface. The caller owns `*out`.
    HRESULT MakeSurface(TDDSurface** out, int width, int height, const DDPIXELFORMAT* format,
                        const DDSCAPS2* caps);

    IDirectDraw7* GetDirectDraw() const { return mDirectDraw; }
    IDirectDrawSurface7* GetFrontBuffer() const { return mFrontBuffer; }
    IDirectDrawSurface7* GetBackBuffer() const { return mBackBuffer; }
    HWND GetWindow() const { return mWindow; }
    bool IsWindowed() const { return mWindowed; }
    const TRect& GetWindowRect() const { return mWindowRect; }

private:
    // One attempt on the adapter `flags` names; *noAdapter is set when the list has ended.
    HRESULT TryFullScreen(HWND window, int width, int height, int depth, uint32_t flags,
                          bool* noAdapter);
    HRESULT CreateDirectDraw(uint32_t adapter, bool* noAdapter);
    void FillBlack(IDirectDrawSurface7* surface);

    IDirectDraw7* mDirectDraw = nullptr;
    IDirectDrawSurface7* mFrontBuffer = nullptr;
    IDirectDrawSurface7* mBackBuffer = nullptr;
    // Never created; released with the others.
    IDirectDrawSurface7* mSecondBackBuffer = nullptr;
    HWND mWindow = nullptr;
    // Screen coordinates of the drawing area.
    TRect mWindowRect{0, 0, 0, 0};
    bool mWindowed = false;
    // Once a display has come up the compatibility box is never shown again.
    bool mOpenedOnce = false;
};
