#include "tests/platform/directx/ddtest.h"

#include "platform/directx/pixelformat.h"
#include "tests/fixtures/golden.h"
#include "tests/fixtures/testpaths.h"

#include <cstdlib>

namespace ddtest {

namespace {

LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

standin::TAdapter ScriptedAdapter(DWORD videoMemory) {
    standin::TAdapter adapter;
    adapter.guid = GUID{0x11223344, 0x5566, 0x7788, {1, 2, 3, 4, 5, 6, 7, 8}};
    adapter.driver = "scripted.drv";
    adapter.description = "Scripted Adapter";
    adapter.vendorId = 0x1234;
    adapter.deviceId = 0x5678;
    adapter.videoMemory = videoMemory;
    adapter.modes = {{640, 480, 16, 60},
                     {800, 600, 16, 60},
                     {800, 600, 32, 60},
                     {800, 600, 32, 75},
                     {1024, 768, 32, 60}};
    adapter.monitorFrequency = 60;
    return adapter;
}

void TDirectDrawTest::SetUp() {
    standin::TDesktop desktop;
    desktop.width = 1024;
    desktop.height = 768;
    desktop.bitsPerPixel = 32;
    desktop.refreshRate = 60;
    standin::SetDesktop(desktop);
    standin::SetAdapters({ScriptedAdapter()});
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = &PlainProc;
    windowClass.lpszClassName = "DirectDrawTest";
    RegisterClassA(&windowClass);
}

void TDirectDrawTest::TearDown() {
    mDirectDraw.Reset();
    for (HWND window : mWindows) {
        DestroyWindow(window);
    }
    mWindows.clear();
    standin::ClearFaults();
    standin::SimulateFocusChange(true);
    standin::UseDefaultAdapters();
    standin::UseSystemDesktop();
    standin::TakePresentCount();
}

HWND TDirectDrawTest::MakeWindow(int x, int y, int width, int height) {
    HWND window = CreateWindowExA(0, "DirectDrawTest", "DirectDraw", WS_POPUP | WS_VISIBLE, x, y,
                                  width, height, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    mWindows.push_back(window);
    return window;
}

IDirectDraw7* TDirectDrawTest::Create() {
    void* object = nullptr;
    EXPECT_EQ(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr), DD_OK);
    return static_cast<IDirectDraw7*>(object);
}

void TDirectDrawTest::OpenFullScreen(DWORD width, DWORD height, DWORD bits,
                                     TRef<IDirectDrawSurface7>& front,
                                     TRef<IDirectDrawSurface7>& back) {
    HWND window = MakeWindow(0, 0, 64, 64);
    *mDirectDraw.Out() = Create();
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(mDirectDraw->SetDisplayMode(width, height, bits, 0, 0), DD_OK);
    DDSURFACEDESC2 desc = EmptyDesc();
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
    ASSERT_EQ(mDirectDraw->CreateSurface(&desc, front.Out(), nullptr), DD_OK);
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    ASSERT_EQ(front->GetAttachedSurface(&caps, back.Out()), DD_OK);
}

void TDirectDrawTest::OpenWindowed(HWND window, TRef<IDirectDrawSurface7>& primary) {
    *mDirectDraw.Out() = Create();
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    DDSURFACEDESC2 desc = EmptyDesc();
    desc.dwFlags = DDSD_CAPS;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    ASSERT_EQ(mDirectDraw->CreateSurface(&desc, primary.Out(), nullptr), DD_OK);
}

IDirectDrawSurface7* TDirectDrawTest::MakeSurface(DWORD width, DWORD height,
                                                  const DDPIXELFORMAT* format, DWORD caps) {
    DDSURFACEDESC2 desc = EmptyDesc();
    desc.dwFlags =
        DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | (format != nullptr ? DDSD_PIXELFORMAT : 0u);
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddsCaps.dwCaps = caps;
    if (format != nullptr) {
        desc.ddpfPixelFormat = *format;
    }
    IDirectDrawSurface7* surface = nullptr;
    EXPECT_EQ(mDirectDraw->CreateSurface(&desc, &surface, nullptr), DD_OK);
    return surface;
}

void ExpectGolden(const standin::TScreenImage& image, const char* name) {
    testing_fixtures::ExpectGolden(image, std::string("tests/platform/directx/golden/") + name);
}

void TDirect3DTest::Open(DWORD bits, bool withDepth) {
    HWND window = MakeWindow(0, 0, 32, 32);
    *mDirectDraw.Out() = Create();
    ASSERT_EQ(mDirectDraw->SetCooperativeLevel(window, DDSCL_NORMAL), DD_OK);
    const DDPIXELFORMAT format =
        bits == 16 ? Format(16, 0xF800, 0x07E0, 0x001F, 0) : Format(32, 0xFF0000, 0xFF00, 0xFF, 0);
    *mTarget.Out() = MakeSurface(kSize, kSize, &format,
                                 DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
    ASSERT_TRUE(mTarget);
    if (withDepth) {
        DDPIXELFORMAT depth{};
        depth.dwSize = sizeof depth;
        depth.dwFlags = DDPF_ZBUFFER;
        depth.dwZBufferBitDepth = 16;
        *mDepth.Out() = MakeSurface(kSize, kSize, &depth, DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY);
        ASSERT_EQ(mTarget->AddAttachedSurface(mDepth.Get()), DD_OK);
    }
    void* object = nullptr;
    ASSERT_EQ(mDirectDraw->QueryInterface(IID_IDirect3D7, &object), DD_OK);
    *mDirect3D.Out() = static_cast<IDirect3D7*>(object);
    ASSERT_EQ(mDirect3D->CreateDevice(IID_IDirect3DTnLHalDevice, mTarget.Get(), mDevice.Out()),
              D3D_OK);
    D3DMATRIX pixels{};
    pixels._11 = 2.0f / kSize;
    pixels._22 = -2.0f / kSize;
    pixels._33 = 1.0f;
    pixels._41 = -1.0f;
    pixels._42 = 1.0f;
    pixels._44 = 1.0f;
    ASSERT_EQ(mDevice->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &pixels), D3D_OK);
    mDevice->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE);
    mDevice->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    mDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    ASSERT_EQ(mDevice->BeginScene(), D3D_OK);
}

void TDirect3DTest::Close() {
    if (mDevice) {
        mDevice->EndScene();
    }
    mDevice.Reset();
    mDirect3D.Reset();
    mDepth.Reset();
    mTarget.Reset();
    mDirectDraw.Reset();
}

void TDirect3DTest::TearDown() {
    Close();
    TDirectDrawTest::TearDown();
}

void TDirect3DTest::Fill(RECT rect, DWORD raw) {
    DDBLTFX fx = FillFx(raw);
    ASSERT_EQ(mTarget->Blt(&rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
}

HRESULT TDirect3DTest::Quad(float left, float top, float right, float bottom, D3DCOLOR color,
                            float z) {
    D3DLVERTEX fan[4] = {{left, top, z, 0, color, 0, 0, 0},
                         {right, top, z, 0, color, 0, 0, 0},
                         {right, bottom, z, 0, color, 0, 0, 0},
                         {left, bottom, z, 0, color, 0, 0, 0}};
    return mDevice->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_LVERTEX, fan, 4, D3DDP_WAIT);
}

standin::TScreenImage TDirect3DTest::Image() {
    return standin::ReadSurface(mTarget.Get());
}

DWORD TDirect3DTest::At(int x, int y) {
    return PixelAt(mTarget.Get(), x, y);
}

DDSURFACEDESC2 EmptyDesc() {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    return desc;
}

DDBLTFX FillFx(DWORD raw) {
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = raw;
    return fx;
}

DDPIXELFORMAT Format(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD alpha) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    format.dwFlags = DDPF_RGB | (alpha != 0 ? DDPF_ALPHAPIXELS : 0u);
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    format.dwRGBAlphaBitMask = alpha;
    return format;
}

DWORD PixelAt(IDirectDrawSurface7* surface, int x, int y) {
    DDSURFACEDESC2 desc = EmptyDesc();
    RECT one{x, y, x + 1, y + 1};
    EXPECT_EQ(surface->Lock(&one, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr), DD_OK);
    if (desc.lpSurface == nullptr) {
        return 0;
    }
    const DWORD value = standin::detail::ReadRaw(static_cast<const std::uint8_t*>(desc.lpSurface),
                                                 desc.ddpfPixelFormat.dwRGBBitCount / 8);
    surface->Unlock(&one);
    return value;
}

void WritePixels(IDirectDrawSurface7* surface, int width, int height,
                 const std::vector<DWORD>& raw) {
    DDSURFACEDESC2 desc = EmptyDesc();
    ASSERT_EQ(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr), DD_OK);
    const DWORD bytes = desc.ddpfPixelFormat.dwRGBBitCount / 8;
    auto* base = static_cast<std::uint8_t*>(desc.lpSurface);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            standin::detail::WriteRaw(base + y * desc.lPitch + x * bytes, bytes,
                                      raw[static_cast<std::size_t>(y * width + x)]);
        }
    }
    surface->Unlock(nullptr);
}

} // namespace ddtest
