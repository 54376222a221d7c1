// 200 alpha-blended 64x64 sprites drawn through TTexture::Draw in one 800x600 frame (BeginDraw,
// a 2-D block, EndDraw without present), and the same 200 draws placed wholly off the screen, so
// that the rasteriser has nothing to fill: the second figure is the share of the frame spent
// outside the rasteriser (descriptors, vertices, the facade, the device's set-up of each draw).
#include "bench/benchpng.h"
#include "bench/benchscreen.h"
#include "engine/core/knownfiles.h"
#include "engine/media/texture.h"

#include <cstdint>
#include <vector>

namespace {

using bench_screen::TScreen;

// A 64x64 RGBA PNG with a soft alpha ramp.
std::vector<uint8_t> SpritePng() {
    std::vector<uint8_t> pixels(64 * 64 * 4);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            uint8_t* p = &pixels[static_cast<size_t>(y * 64 + x) * 4];
            p[0] = static_cast<uint8_t>(x * 4);
            p[1] = static_cast<uint8_t>(y * 4);
            p[2] = 128;
            p[3] = static_cast<uint8_t>(64 + (x + y));
        }
    }
    return EncodePng(64, 64, PNG_FORMAT_RGBA, pixels);
}

void DrawSprites(benchmark::State& state, float offsetX) {
    TScreen screen;
    const std::vector<uint8_t> png = SpritePng();
    RegisterMemoryFile("bench/sprite.png", png.data(), static_cast<unsigned>(png.size()));
    TTexturePtr sprite = TTexture::Get("bench/sprite.png");
    if (!sprite) {
        state.SkipWithError("the sprite did not load");
        return;
    }
    TRenderer& renderer = *TRenderer::Existing();
    for (auto _ : state) {
        if (!renderer.BeginDraw(0)) {
            state.SkipWithError("BeginDraw refused the frame");
            break;
        }
        renderer.Begin2d();
        for (int i = 0; i < 200; ++i) {
            TDrawSpec params(TVec2(offsetX + 40.0f + static_cast<float>((i * 37) % 720),
                                   40.0f + static_cast<float>((i * 53) % 520)),
                             0.8f, 1.0f, 0);
            params.mBlendMode = 0;
            sprite->Draw(params);
        }
        renderer.End2d();
        renderer.EndDraw(0);
    }
    sprite.reset();
    RegisterMemoryFile("bench/sprite.png", nullptr, 0);
}

void BM_SpritesFrame(benchmark::State& state) {
    DrawSprites(state, 0.0f);
}
BENCHMARK(BM_SpritesFrame)->Unit(benchmark::kMillisecond);

void BM_SpritesFrameOffScreen(benchmark::State& state) {
    DrawSprites(state, 5000.0f);
}
BENCHMARK(BM_SpritesFrameOffScreen)->Unit(benchmark::kMillisecond);

} // namespace
