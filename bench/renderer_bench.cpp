// Frames through the render facade on a windowed 800x600 display at 32 bits, headless (SDL's dummy
// video: the presenter shows nothing, but the primary surface is still updated and read back for
// it). Each iteration is one frame: BeginDraw, the drawing, EndDraw with the present, and the
// message pump that hands the changed primary to the presenter, as a game loop has it.
// - an empty frame;
// - one opaque pre-lit quad over the whole screen in a 2-D block.
#include <benchmark/benchmark.h>

#include "engine/media/dxdisplayhandler.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/directx/standin_directx.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <cstdlib>
#include <stdexcept>

namespace {

void Pump() {
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The engine as start-up leaves it for the game main, on a scripted 1024x768 desktop, with the
// display set to 800x600 in a window.
class TScreen {
public:
    TScreen() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        standin::TDesktop desktop;
        desktop.width = 1024;
        desktop.height = 768;
        standin::SetDesktop(desktop);
        RegisterMedia();
        mPlatform = new TPlatform(new TWin32Platform(GetModuleHandleA(nullptr), nullptr,
                                                     mCommandLine, SW_SHOWNORMAL, true));
        mPlatform->CreateMainWindow();
        CreateRenderer();
        mPlatform->SetDisplay(800, 600, false);
        Pump();
        standin::TakePresentCount();
        TRenderer* renderer = TRenderer::Existing();
        if (renderer == nullptr || !renderer->GetDisplayHandler().IsReady()) {
            throw std::runtime_error("the 800x600 windowed display did not come up");
        }
    }

    ~TScreen() {
        delete mPlatform;
        UnregisterClassA(MainWindowClassName().CStr(), GetModuleHandleA(nullptr));
        Pump();
        SetRendererHooks(nullptr, nullptr);
        SetSoundManagerFactory(nullptr);
        standin::UseSystemDesktop();
    }

    TScreen(const TScreen&) = delete;
    TScreen& operator=(const TScreen&) = delete;

private:
    char mCommandLine[1] = "";
    TPlatform* mPlatform = nullptr;
};

// Primary surfaces handed to the presenter, per frame: 1 when every present got through.
void ReportPresents(benchmark::State& state) {
    const int presents = standin::TakePresentCount();
    if (state.iterations() > 0) {
        state.counters["presents"] = static_cast<double>(presents) / state.iterations();
    }
}

void BM_EmptyFrame(benchmark::State& state) {
    TScreen screen;
    TRenderer& renderer = *TRenderer::Existing();
    for (auto _ : state) {
        if (!renderer.BeginDraw(0)) {
            state.SkipWithError("BeginDraw refused the frame");
            break;
        }
        renderer.EndDraw(1);
        Pump();
    }
    ReportPresents(state);
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);

void BM_FullScreenQuadFrame(benchmark::State& state) {
    TScreen screen;
    TRenderer& renderer = *TRenderer::Existing();
    const D3DCOLOR colour = 0xFF2080E0;
    D3DLVERTEX quad[4] = {{0, 0, 0.1f, 0, colour, 0xFF000000, 0, 0},
                          {800, 0, 0.1f, 0, colour, 0xFF000000, 1, 0},
                          {800, 600, 0.1f, 0, colour, 0xFF000000, 1, 1},
                          {0, 600, 0.1f, 0, colour, 0xFF000000, 0, 1}};
    for (auto _ : state) {
        if (!renderer.BeginDraw(0)) {
            state.SkipWithError("BeginDraw refused the frame");
            break;
        }
        renderer.Begin2d();
        renderer.SetBlendMode(1);
        renderer.DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(quad, 4));
        renderer.End2d();
        renderer.EndDraw(1);
        Pump();
    }
    ReportPresents(state);
}
BENCHMARK(BM_FullScreenQuadFrame)->Unit(benchmark::kMillisecond);

} // namespace
