#include "tests/platform/directx/ddtest.h"

#include "platform/directx/pixelformat.h"

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
    std::string path = STELLAGRIM_SOURCE_DIR;
    path += "/tests/platform/directx/golden/";
    path += name;
    if (std::getenv("STELLAGRIM_UPDATE_GOLDEN") != nullptr) {
        ASSERT_TRUE(standin::WritePng(path, image)) << path;
    }
    standin::TScreenImage golden;
    ASSERT_TRUE(standin::ReadPng(path, &golden)) << path;
    ASSERT_EQ(golden.width, image.width);
    ASSERT_EQ(golden.height, image.height);
    EXPECT_TRUE(golden.pixels == image.pixels) << "differs from " << path;
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
