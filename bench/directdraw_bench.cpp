// The DirectDraw stand-in's blitter on an 800x600 full-screen back buffer at 32 and 16 bits:
// a whole-screen BltFast, a stretch Blt from a quarter-size surface and a colour fill.
// items_per_second is pixels written per second.
#include <benchmark/benchmark.h>

#include "platform/directx/ddraw.h"
#include "platform/win32/winuser.h"

#include <cstdlib>
#include <stdexcept>

namespace {

LRESULT PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

struct TScreen {
    HWND window = nullptr;
    IDirectDraw7* directDraw = nullptr;
    IDirectDrawSurface7* front = nullptr;
    IDirectDrawSurface7* back = nullptr;
    IDirectDrawSurface7* full = nullptr;
    IDirectDrawSurface7* quarter = nullptr;

    explicit TScreen(DWORD bits) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = &PlainProc;
        windowClass.lpszClassName = "DirectDrawBench";
        RegisterClassA(&windowClass);
        window = CreateWindowExA(0, "DirectDrawBench", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 64, 64,
                                 nullptr, nullptr, nullptr, nullptr);
        void* object = nullptr;
        Check(DirectDrawCreateEx(nullptr, &object, IID_IDirectDraw7, nullptr));
        directDraw = static_cast<IDirectDraw7*>(object);
        Check(directDraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN));
        Check(directDraw->SetDisplayMode(800, 600, bits, 0, 0));
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = 1;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        Check(directDraw->CreateSurface(&desc, &front, nullptr));
        DDSCAPS2 caps{};
        caps.dwCaps = DDSCAPS_BACKBUFFER;
        Check(front->GetAttachedSurface(&caps, &back));
        full = Plain(800, 600);
        quarter = Plain(400, 300);
    }

    ~TScreen() {
        quarter->Release();
        full->Release();
        back->Release();
        front->Release();
        directDraw->Release();
        DestroyWindow(window);
    }

    IDirectDrawSurface7* Plain(DWORD width, DWORD height) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        IDirectDrawSurface7* surface = nullptr;
        Check(directDraw->CreateSurface(&desc, &surface, nullptr));
        return surface;
    }

    static void Check(HRESULT result) {
        if (FAILED(result)) {
            throw std::runtime_error("DirectDraw call failed");
        }
    }
};

constexpr std::int64_t kScreenPixels = 800 * 600;

void BM_BltFastWholeScreen(benchmark::State& state) {
    TScreen screen(static_cast<DWORD>(state.range(0)));
    for (auto _ : state) {
        TScreen::Check(screen.back->BltFast(0, 0, screen.full, nullptr, DDBLTFAST_WAIT));
    }
    state.SetItemsProcessed(state.iterations() * kScreenPixels);
}
BENCHMARK(BM_BltFastWholeScreen)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_StretchBltWholeScreen(benchmark::State& state) {
    TScreen screen(static_cast<DWORD>(state.range(0)));
    for (auto _ : state) {
        TScreen::Check(screen.back->Blt(nullptr, screen.quarter, nullptr, DDBLT_WAIT, nullptr));
    }
    state.SetItemsProcessed(state.iterations() * kScreenPixels);
}
BENCHMARK(BM_StretchBltWholeScreen)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

void BM_ColorFillWholeScreen(benchmark::State& state) {
    TScreen screen(static_cast<DWORD>(state.range(0)));
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0x1234;
    for (auto _ : state) {
        TScreen::Check(
            screen.back->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx));
    }
    state.SetItemsProcessed(state.iterations() * kScreenPixels);
}
BENCHMARK(BM_ColorFillWholeScreen)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

} // namespace
