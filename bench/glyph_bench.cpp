// The glyph rasteriser on the headless 800x600 display, with the drawer the platform made and
// self-tested at its first display: 2000 glyphs of 16-pixel text (25 lines of 80 characters)
// drawn into an open frame, first with every glyph rasterised, then as a first draw of the text
// would go (the cache emptied, repeats of a glyph at the same phase replayed), then again from the
// cache. Counters give the glyphs rasterised and replayed per run, and the cache's size after a
// first draw.
#include "bench/benchscreen.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/minivecfont.h"
#include "engine/media/minivecfontbuiltin.h"
#include "engine/media/renderer.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr float kTextSize = 16.0f;
constexpr int kLines = 25;
constexpr int kColumns = 80;

struct TPlacedGlyph {
    const unsigned char* outline;
    int x; // quarter pixels
    int y;
};

const char kText[] = "The quick brown fox jumps over the lazy dog; PACK MY BOX WITH FIVE DOZEN "
                     "LIQUOR JUGS! 0123456789 (glyphs, spans & lines) - ";

std::vector<TPlacedGlyph> LayOut(const TMiniVecFont& font, float scale) {
    std::vector<TPlacedGlyph> glyphs;
    const std::string text(kText);
    size_t next = 0;
    for (int line = 0; line < kLines; ++line) {
        float pen = 0.0f;
        for (int column = 0; column < kColumns; ++column) {
            const int index =
                font.FindGlyph(static_cast<unsigned char>(text[next++ % text.size()]));
            glyphs.push_back(TPlacedGlyph{font.GetGlyphOutline(index),
                                          static_cast<int>(std::lround(pen)),
                                          static_cast<int>(std::lround(line * 20.0f * 4.0f))});
            pen += font.GetGlyphAdvance(index) * scale;
        }
    }
    return glyphs;
}

class TGlyphBench {
public:
    TGlyphBench()
        : mFont(TMiniVecFont::Load(std::vector<unsigned char>(BuiltInMiniVecFont().begin(),
                                                              BuiltInMiniVecFont().end()))),
          mDraw(
              dynamic_cast<TQzMiniVecDraw*>(TPlatform::GetInstance()->GetWin32()->mGlyphRenderer)),
          mGlyphs(LayOut(*mFont, 4.0f * kTextSize / 32.0f)) {
        if (mDraw == nullptr) {
            throw std::runtime_error("the platform made no glyph rasteriser");
        }
        const TColor white{1.0f, 1.0f, 1.0f, 1.0f};
        mDraw->SetColor(1, &white, 1.0f);
        mDraw->mScaleX = 4.0f * kTextSize / 32.0f;
        mDraw->mScaleY = mDraw->mScaleX;
        TRenderer& renderer = *TRenderer::Instance();
        renderer.BeginDraw(0);
        renderer.Begin2d();
        renderer.SetBlendMode(0);
    }
    ~TGlyphBench() {
        TRenderer& renderer = *TRenderer::Instance();
        renderer.End2d();
        renderer.EndDraw(0);
    }
    TGlyphBench(const TGlyphBench&) = delete;
    TGlyphBench& operator=(const TGlyphBench&) = delete;

    // Draws the text once; with `forget`, every glyph is rasterised.
    void Draw(bool forget) {
        mDraw->Begin(10.0f, 20.0f, TTexturePtr());
        for (const TPlacedGlyph& glyph : mGlyphs) {
            if (forget) {
                mDraw->ClearCache();
            }
            mDraw->DrawGlyph(glyph.outline, glyph.x, glyph.y);
        }
        mDraw->Flush();
    }

    TQzMiniVecDraw& Drawer() { return *mDraw; }

    void Report(benchmark::State& state, int rasterised, int replayed) const {
        if (state.iterations() > 0) {
            const auto runs = static_cast<double>(state.iterations());
            state.counters["rasterised"] = (mDraw->GetRasterCount() - rasterised) / runs;
            state.counters["replayed"] = (mDraw->GetReplayCount() - replayed) / runs;
            state.counters["glyphs"] = static_cast<double>(mGlyphs.size());
        }
    }

private:
    std::unique_ptr<TMiniVecFont> mFont;
    TQzMiniVecDraw* mDraw;
    std::vector<TPlacedGlyph> mGlyphs;
};

void BM_Glyphs_EveryGlyphRasterised(benchmark::State& state) {
    bench_screen::TScreen screen;
    TGlyphBench bench;
    const int rasterised = bench.Drawer().GetRasterCount();
    const int replayed = bench.Drawer().GetReplayCount();
    for (auto _ : state) {
        bench.Draw(true);
    }
    bench.Report(state, rasterised, replayed);
}
BENCHMARK(BM_Glyphs_EveryGlyphRasterised)->Unit(benchmark::kMillisecond);

void BM_Glyphs_FirstDraw(benchmark::State& state) {
    bench_screen::TScreen screen;
    TGlyphBench bench;
    const int rasterised = bench.Drawer().GetRasterCount();
    const int replayed = bench.Drawer().GetReplayCount();
    for (auto _ : state) {
        bench.Drawer().ClearCache();
        bench.Draw(false);
    }
    bench.Report(state, rasterised, replayed);
    // What the cache holds after one first draw.
    const TMiniVecDrawCache& cache = bench.Drawer().GetCache();
    state.counters["cache_glyphs"] = cache.GetGlyphCount();
    state.counters["cache_spans"] = static_cast<double>(cache.GetSpanCount());
}
BENCHMARK(BM_Glyphs_FirstDraw)->Unit(benchmark::kMillisecond);

void BM_Glyphs_Replayed(benchmark::State& state) {
    bench_screen::TScreen screen;
    TGlyphBench bench;
    bench.Draw(false);
    const int rasterised = bench.Drawer().GetRasterCount();
    const int replayed = bench.Drawer().GetReplayCount();
    for (auto _ : state) {
        bench.Draw(false);
    }
    bench.Report(state, rasterised, replayed);
}
BENCHMARK(BM_Glyphs_Replayed)->Unit(benchmark::kMillisecond);

} // namespace
