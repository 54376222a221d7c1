// The Direct3D stand-in's rasteriser on an 800x600 X8R8G8B8 target, on one core:
// - untextured fill rate, one screen-covering quad per iteration, opaque and alpha-blended
//   (items_per_second is pixels drawn per second);
// - a typical frame: a full-screen textured background, 200 alpha-blended 64x64 sprites, 500
//   additive 16x16 particles and 2000 short untextured lines (text), through the fast paths and
//   through the general path alone (the stand-in's test control); the time per iteration is one
//   frame.
#include <benchmark/benchmark.h>

#include "platform/directx/d3dx.h"
#include "platform/directx/standin_directx.h"
#include "platform/win32/winuser.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace {

LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void Check(HRESULT result) {
    if (FAILED(result)) {
        throw std::runtime_error("Direct3D call failed");
    }
}

struct TScene {
    HWND window = nullptr;
    IDirectDraw7* directDraw = nullptr;
    IDirectDrawSurface7* target = nullptr;
    IDirect3D7* direct3D = nullptr;
    IDirect3DDevice7* device = nullptr;
    IDirectDrawSurface7* background = nullptr;
    IDirectDrawSurface7* sprite = nullptr;
    IDirectDrawSurface7* particle = nullptr;

    TScene() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &PlainProc;
        windowClass.lpszClassName = "FrameBench";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "FrameBench", "bench", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                 nullptr, nullptr);
        void* object = nullptr;
        Check(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr));
        directDraw = static_cast<IDirectDraw7*>(object);
        Check(directDraw->SetCooperativeLevel(window, DDSCL_NORMAL));
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        desc.dwWidth = 800;
        desc.dwHeight = 600;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY;
        desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        desc.ddpfPixelFormat.dwFlags = DDPF_RGB;
        desc.ddpfPixelFormat.dwRGBBitCount = 32;
        desc.ddpfPixelFormat.dwRBitMask = 0xFF0000;
        desc.ddpfPixelFormat.dwGBitMask = 0xFF00;
        desc.ddpfPixelFormat.dwBBitMask = 0xFF;
        Check(directDraw->CreateSurface(&desc, &target, nullptr));
        Check(directDraw->QueryInterface(IID_IDirect3D7, &object));
        direct3D = static_cast<IDirect3D7*>(object);
        Check(direct3D->CreateDevice(IID_IDirect3DTnLHalDevice, target, &device));
        Check(D3DXInitialize());
        background = Texture(512, 512, D3DX_SF_X8R8G8B8);
        sprite = Texture(64, 64, D3DX_SF_A8R8G8B8);
        particle = Texture(16, 16, D3DX_SF_A8R8G8B8);
        Check(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE));
        Check(device->SetRenderState(D3DRENDERSTATE_LIGHTING, FALSE));
        Check(device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE));
        Check(device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_LINEAR));
        Check(device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_LINEAR));
        Check(device->SetTextureStageState(0, D3DTSS_ADDRESS, D3DTADDRESS_CLAMP));
    }

    ~TScene() {
        device->SetTexture(0, nullptr);
        particle->Release();
        sprite->Release();
        background->Release();
        D3DXUninitialize();
        device->Release();
        direct3D->Release();
        target->Release();
        directDraw->Release();
        DestroyWindow(window);
    }

    IDirectDrawSurface7* Texture(DWORD width, DWORD height, D3DX_SURFACEFORMAT format) {
        DWORD flags = D3DX_TEXTURE_NOMIPMAP;
        IDirectDrawSurface7* texture = nullptr;
        Check(D3DXCreateTexture(device, &flags, &width, &height, &format, nullptr, &texture,
                                nullptr));
        std::vector<DWORD> pixels(width * height);
        for (DWORD i = 0; i < pixels.size(); ++i) {
            pixels[i] = (i * 0x9E3779B9u) | 0x80000000u;
        }
        RECT all{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        Check(D3DXLoadTextureFromMemory(device, texture, 0, pixels.data(), nullptr,
                                        D3DX_SF_A8R8G8B8, D3DX_DEFAULT, &all, D3DX_FT_POINT));
        return texture;
    }

    void Quad(float x, float y, float size, float width, D3DCOLOR colour) {
        const float w = width > 0 ? width : size;
        D3DTLVERTEX fan[4] = {{x, y, 0.5f, 1, colour, 0, 0, 0},
                              {x + w, y, 0.5f, 1, colour, 0, 1, 0},
                              {x + w, y + size, 0.5f, 1, colour, 0, 1, 1},
                              {x, y + size, 0.5f, 1, colour, 0, 0, 1}};
        Check(device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, fan, 4, 0));
    }

    void Frame() {
        Check(device->BeginScene());
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, FALSE);
        device->SetTexture(0, background);
        Quad(0, 0, 600, 800, 0xFFFFFFFF);
        device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTexture(0, sprite);
        for (int i = 0; i < 200; ++i) {
            Quad(static_cast<float>((i * 37) % 736), static_cast<float>((i * 53) % 536), 64, 0,
                 0xFFFFFFFF);
        }
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
        device->SetTexture(0, particle);
        for (int i = 0; i < 500; ++i) {
            Quad(static_cast<float>((i * 71) % 784), static_cast<float>((i * 29) % 584), 16, 0,
                 0xC0FFE080);
        }
        device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->SetTexture(0, nullptr);
        std::vector<D3DTLVERTEX> lines(4000);
        for (int i = 0; i < 2000; ++i) {
            const float x = static_cast<float>((i * 13) % 790);
            const float y = static_cast<float>((i * 7) % 590);
            lines[2 * i] = D3DTLVERTEX{x, y, 0.5f, 1, 0xFF000000, 0, 0, 0};
            lines[2 * i + 1] = D3DTLVERTEX{x + 6, y + (i % 3), 0.5f, 1, 0xFF000000, 0, 0, 0};
        }
        Check(device->DrawPrimitive(D3DPT_LINELIST, D3DFVF_TLVERTEX, lines.data(), 4000, 0));
        Check(device->EndScene());
    }
};

void DrawScreens(benchmark::State& state, bool blended) {
    TScene scene;
    IDirect3DDevice7* device = scene.device;
    Check(device->SetTexture(0, nullptr));
    Check(device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blended));
    Check(device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA));
    Check(device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA));
    D3DTLVERTEX quad[4] = {{0, 0, 0.5f, 1, 0x80FF8040, 0, 0, 0},
                           {800, 0, 0.5f, 1, 0x8040FF80, 0, 0, 0},
                           {800, 600, 0.5f, 1, 0x808040FF, 0, 0, 0},
                           {0, 600, 0.5f, 1, 0x80FFFFFF, 0, 0, 0}};
    Check(device->BeginScene());
    for (auto _ : state) {
        Check(device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, quad, 4, 0));
    }
    Check(device->EndScene());
    state.SetItemsProcessed(state.iterations() * 800 * 600);
}

void BM_FillOpaque(benchmark::State& state) {
    DrawScreens(state, false);
}
BENCHMARK(BM_FillOpaque)->Unit(benchmark::kMillisecond);

void BM_FillBlended(benchmark::State& state) {
    DrawScreens(state, true);
}
BENCHMARK(BM_FillBlended)->Unit(benchmark::kMillisecond);

void DrawFrames(benchmark::State& state, bool fastPaths) {
    TScene scene;
    standin::SetRasterFastPaths(fastPaths);
    for (auto _ : state) {
        scene.Frame();
    }
    standin::SetRasterFastPaths(true);
}

void BM_TypicalFrame(benchmark::State& state) {
    DrawFrames(state, true);
}
BENCHMARK(BM_TypicalFrame)->Unit(benchmark::kMillisecond);

void BM_TypicalFrameGeneralPath(benchmark::State& state) {
    DrawFrames(state, false);
}
BENCHMARK(BM_TypicalFrameGeneralPath)->Unit(benchmark::kMillisecond);

} // namespace
