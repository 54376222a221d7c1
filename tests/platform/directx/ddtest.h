// A desktop, adapters and a top-level window for DirectDraw tests, put back as they were after
// each test.
#pragma once

#include "platform/directx/d3d.h"
#include "platform/directx/ddraw.h"
#include "platform/directx/standin_directx.h"
#include "platform/win32/standin.h"
#include "platform/win32/winuser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ddtest {

// Releases a DirectDraw interface when it goes.
template <typename T>
class TRef {
public:
    TRef() = default;
    explicit TRef(T* object) : mObject(object) {}
    TRef(const TRef&) = delete;
    TRef& operator=(const TRef&) = delete;
    ~TRef() { Reset(); }
    void Reset() {
        if (mObject != nullptr) {
            mObject->Release();
            mObject = nullptr;
        }
    }
    T* Get() const { return mObject; }
    T* operator->() const { return mObject; }
    T** Out() {
        Reset();
        return &mObject;
    }
    explicit operator bool() const { return mObject != nullptr; }

private:
    T* mObject = nullptr;
};

standin::TAdapter ScriptedAdapter(DWORD videoMemory = 16u << 20);

class TDirectDrawTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A visible pop-up window with its client area at (`x`, `y`), `width` x `height`.
    HWND MakeWindow(int x, int y, int width, int height);
    // A DirectDraw object on the default device.
    IDirectDraw7* Create();
    // Full screen at `width` x `height` x `bits`: the front buffer and its back buffer.
    void OpenFullScreen(DWORD width, DWORD height, DWORD bits, TRef<IDirectDrawSurface7>& front,
                        TRef<IDirectDrawSurface7>& back);
    // A window's program: normal cooperation and the desktop-sized primary.
    void OpenWindowed(HWND window, TRef<IDirectDrawSurface7>& primary);
    // An off-screen surface; `format` null for the display's own.
    IDirectDrawSurface7* MakeSurface(DWORD width, DWORD height, const DDPIXELFORMAT* format,
                                     DWORD caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);

    TRef<IDirectDraw7> mDirectDraw;
    std::vector<HWND> mWindows;
};

inline constexpr int kSize = 64;

// A 64x64 off-screen target of the given depth (optionally with a z-buffer) and a Direct3D
// device on it, in a scene. Pre-lit vertices are in pixels: the projection maps (x, y) to the
// pixel grid and z passes. Lighting and culling are off; stage 0 modulates the vertex alpha, as
// the engine sets it.
class TDirect3DTest : public TDirectDrawTest {
protected:
    void Open(DWORD bits, bool withDepth = false);
    void Close();
    void TearDown() override;
    void Fill(RECT rect, DWORD raw);
    HRESULT Quad(float left, float top, float right, float bottom, D3DCOLOR color, float z = 0.5f);
    // Every pixel of the target, and one raw pixel.
    standin::TScreenImage Image();
    DWORD At(int x, int y);

    TRef<IDirectDrawSurface7> mTarget;
    TRef<IDirectDrawSurface7> mDepth;
    TRef<IDirect3D7> mDirect3D;
    TRef<IDirect3DDevice7> mDevice;
};

DDSURFACEDESC2 EmptyDesc();
DDBLTFX FillFx(DWORD raw);
DDPIXELFORMAT Format(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha);
// Compares an image with the golden PNG of that name beside the tests, byte for byte;
// STELLAGRIM_UPDATE_GOLDEN=1 in the environment writes the golden anew first.
void ExpectGolden(const standin::TScreenImage& image, const char* name);
// A raw pixel of a surface, read through Lock.
DWORD PixelAt(IDirectDrawSurface7* surface, int x, int y);
// Writes raw pixels of `width` x `height` at the top left through Lock.
void WritePixels(IDirectDrawSurface7* surface, int width, int height,
                 const std::vector<DWORD>& raw);

} // namespace ddtest
