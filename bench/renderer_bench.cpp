// Frames through the render facade on a windowed 800x600 display at 32 bits, headless (SDL's dummy
// video: the presenter shows nothing, but the primary surface is still updated and read back for
// it). Each iteration is one frame: BeginDraw, the drawing, EndDraw with the present, and the
// message pump that hands the changed primary to the presenter, as a game loop has it.
// - an empty frame;
// - one opaque pre-lit quad over the whole screen in a 2-D block.
#include "bench/benchscreen.h"

namespace {

using bench_screen::Pump;
using bench_screen::ReportPresents;
using bench_screen::TScreen;

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
