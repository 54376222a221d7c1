// Text sprites on the headless 800x600 display: a paragraph of 2000 characters with bold, links,
// font changes and italics, wrapped at 400 pixels in the shipped font, laid out again and drawn
// (first with the glyph cache emptied, then replayed from it) through the glyph rasteriser the
// platform made at its first display.
#include "bench/benchscreen.h"
#include "engine/core/knownfiles.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/minivecfontbuiltin.h"
#include "engine/media/renderer.h"
#include "engine/ui/fontlist.h"
#include "engine/ui/textsprite.h"

#include <memory>
#include <string>
#include <vector>

namespace {

// About 2000 characters of text (tags not counted).
std::string Paragraph() {
    const char* pieces[] = {
        "The contest opens at dawn, and <b>every girl</b> in the line wants her turn at the ",
        "<a id='mirror' color='40c0ff'>mirror</a> before the judges arrive. ",
        "<font size='20' color='ffd040'>Hair</font> first, then <i>make-up</i>, then the dress; ",
        "a <font face='fonts/default.mvec' size='14'>small note</font> pinned to the wall says ",
        "that <u>nobody</u> skips the manicure. ",
    };
    std::string text;
    size_t visible = 0;
    for (size_t i = 0; visible < 2000; ++i) {
        const std::string piece = pieces[i % std::size(pieces)];
        text += piece;
        bool inTag = false;
        for (const char c : piece) {
            inTag = c == '<' ? true : c == '>' ? false : inTag;
            visible += !inTag && c != '>' ? 1 : 0;
        }
    }
    return text;
}

class TTextBench {
public:
    TTextBench() : mFont(BuiltInMiniVecFont().begin(), BuiltInMiniVecFont().end()) {
        RegisterMemoryFile("fonts/default.mvec", mFont.data(), static_cast<unsigned>(mFont.size()));
        mSprite.reset(TTextSprite::Create(Paragraph().c_str(), 400, 600, 0, "", 16,
                                          TColor{1.0f, 1.0f, 1.0f, 1.0f}));
        mDraw = dynamic_cast<TQzMiniVecDraw*>(TPlatform::GetInstance()->GetWin32()->mGlyphRenderer);
        if (mDraw == nullptr) {
            throw std::runtime_error("the platform made no glyph rasteriser");
        }
        TRenderer& renderer = *TRenderer::Instance();
        renderer.BeginDraw(0);
        renderer.Begin2d();
    }
    ~TTextBench() {
        TRenderer& renderer = *TRenderer::Instance();
        renderer.End2d();
        renderer.EndDraw(0);
        mSprite.reset();
        TFontList::Instance().Clear();
        RegisterMemoryFile("fonts/default.mvec", nullptr, 0);
    }
    TTextBench(const TTextBench&) = delete;
    TTextBench& operator=(const TTextBench&) = delete;

    TTextSprite& Sprite() { return *mSprite; }
    TQzMiniVecDraw& Drawer() { return *mDraw; }
    void Draw() { mSprite->DrawInRect(TRect{0, 0, 400, 600}, 1.0f, 0, 1.0f, TTexturePtr()); }

private:
    std::vector<unsigned char> mFont;
    std::unique_ptr<TTextSprite> mSprite;
    TQzMiniVecDraw* mDraw = nullptr;
};

void BM_Text_Layout(benchmark::State& state) {
    bench_screen::TScreen screen;
    TTextBench bench;
    for (auto _ : state) {
        bench.Sprite().Layout();
    }
    state.counters["lines"] = bench.Sprite().GetLineCount();
    state.counters["characters"] = bench.Sprite().GetText().Length();
}
BENCHMARK(BM_Text_Layout)->Unit(benchmark::kMicrosecond);

void BM_Text_FirstDraw(benchmark::State& state) {
    bench_screen::TScreen screen;
    TTextBench bench;
    for (auto _ : state) {
        bench.Drawer().ClearCache();
        bench.Draw();
    }
}
BENCHMARK(BM_Text_FirstDraw)->Unit(benchmark::kMillisecond);

void BM_Text_Draw(benchmark::State& state) {
    bench_screen::TScreen screen;
    TTextBench bench;
    bench.Draw();
    const int rasterised = bench.Drawer().GetRasterCount();
    for (auto _ : state) {
        bench.Draw();
    }
    state.counters["rasterised"] = bench.Drawer().GetRasterCount() - rasterised;
}
BENCHMARK(BM_Text_Draw)->Unit(benchmark::kMillisecond);

} // namespace
