// The Direct3D stand-in's rasteriser: untextured fill rate on an 800x600 X8R8G8B8 target, one
// screen-covering quad per iteration, opaque and alpha-blended. items_per_second is pixels drawn
// per second.
#include <benchmark/benchmark.h>

#include "platform/directx/d3d.h"
#include "platform/win32/winuser.h"

#include <cstdlib>
#include <stdexcept>

namespace {

LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void Check(HRESULT result) {
    if (FAILED(result)) {
        throw std::runtime_error("Direct3D call failed");
    }
}

struct TTarget {
    HWND window = nullptr;
    IDirectDraw7* directDraw = nullptr;
    IDirectDrawSurface7* surface = nullptr;
    IDirect3D7* direct3D = nullptr;
    IDirect3DDevice7* device = nullptr;

    TTarget() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &PlainProc;
        windowClass.lpszClassName = "Direct3DBench";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "Direct3DBench", "bench", WS_POPUP, 0, 0, 64, 64, nullptr,
                                 nullptr, nullptr, nullptr);
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
        Check(directDraw->CreateSurface(&desc, &surface, nullptr));
        Check(directDraw->QueryInterface(IID_IDirect3D7, &object));
        direct3D = static_cast<IDirect3D7*>(object);
        Check(direct3D->CreateDevice(IID_IDirect3DTnLHalDevice, surface, &device));
        Check(device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE));
        Check(device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE));
        Check(device->BeginScene());
    }

    ~TTarget() {
        device->EndScene();
        device->Release();
        direct3D->Release();
        surface->Release();
        directDraw->Release();
        DestroyWindow(window);
    }
};

void DrawScreens(benchmark::State& state, bool blended) {
    TTarget target;
    Check(target.device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, blended));
    Check(target.device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_SRCALPHA));
    Check(target.device->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_INVSRCALPHA));
    D3DTLVERTEX quad[4] = {{0, 0, 0.5f, 1, 0x80FF8040, 0, 0, 0},
                           {800, 0, 0.5f, 1, 0x8040FF80, 0, 0, 0},
                           {800, 600, 0.5f, 1, 0x808040FF, 0, 0, 0},
                           {0, 600, 0.5f, 1, 0x80FFFFFF, 0, 0, 0}};
    for (auto _ : state) {
        Check(target.device->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, quad, 4, 0));
    }
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

} // namespace
