// The glyph rasteriser: coverage levels and planes, contour order and strokes, the glyph cache and
// its budget, bars and quads, target writing, the self-test against the software rasteriser's
// line rule, and golden images of text in the built-in font.
#include "engine/core/assetmanager.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/minivecfont.h"
#include "engine/media/minivecfontbuiltin.h"
#include "engine/media/texture.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

// Outline bytes written by hand; coordinates in outline units.
class TOutline {
public:
    TOutline& Contour(int fill = 1) {
        mBytes.push_back(kMiniVecContour);
        if (fill >= 0) {
            mBytes.push_back(kMiniVecFill);
            mBytes.push_back(static_cast<unsigned char>(fill));
        }
        return *this;
    }
    // A contour filled in a colour the glyph defines (its first after the contour began).
    TOutline& OwnColourContour(int r, int g, int b) { return Contour(-1).Colour(r, g, b).Fill(1); }
    TOutline& Colour(int r, int g, int b) {
        mBytes.insert(mBytes.end(), {kMiniVecDefColour, static_cast<unsigned char>(r),
                                     static_cast<unsigned char>(g), static_cast<unsigned char>(b)});
        return *this;
    }
    TOutline& Fill(int colour) {
        mBytes.insert(mBytes.end(), {kMiniVecFill, static_cast<unsigned char>(colour)});
        return *this;
    }
    TOutline& Move(float x, float y) { return Command(kMiniVecMove, {x, y}); }
    TOutline& Line(float x, float y) { return Command(kMiniVecLine, {x, y}); }
    TOutline& Rect(float x0, float y0, float x1, float y1) {
        return Move(x0, y0).Line(x1, y0).Line(x1, y1).Line(x0, y1).Line(x0, y0);
    }
    TOutline& Byte(unsigned char byte) {
        mBytes.push_back(byte);
        return *this;
    }
    // Ends the outline; the bytes must not change while the drawer may name them.
    const unsigned char* End() {
        mBytes.push_back(kMiniVecEnd);
        return mBytes.data();
    }

private:
    TOutline& Command(unsigned char command, std::initializer_list<float> values) {
        mBytes.push_back(command);
        for (const float v : values) {
            const auto raw = static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 128.0f)));
            mBytes.push_back(static_cast<unsigned char>(raw & 0xFF));
            mBytes.push_back(static_cast<unsigned char>(raw >> 8));
        }
        return *this;
    }

    std::vector<unsigned char> mBytes;
};

constexpr uint32_t kBackground = 0x12345678u;

TColor Rgba(int r, int g, int b, int a) {
    return TColor{static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f,
                  static_cast<float>(b) / 255.0f, static_cast<float>(a) / 255.0f};
}

void SetColour(TQzMiniVecDraw& draw, int number, const TColor& colour) {
    draw.SetColor(number, &colour, 1.0f);
}

class MiniVecDrawTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        SetAssetManager(&mAssets);
        mFont = TMiniVecFont::Load(
            std::vector<unsigned char>(BuiltInMiniVecFont().begin(), BuiltInMiniVecFont().end()));
    }

    void TearDown() override {
        mDraw.reset();
        TTextureTest::TearDown();
        SetAssetManager(nullptr);
    }

    // A drawer at scale 1 (one outline unit a quarter pixel), colour 1 opaque (200, 100, 50).
    TQzMiniVecDraw& Draw() {
        mDraw = std::make_unique<TQzMiniVecDraw>();
        SetColour(*mDraw, 1, Rgba(200, 100, 50, 255));
        return *mDraw;
    }

    // A render target whose pixels are all `fill`.
    static TTexturePtr Target(int width, int height, uint32_t fill = kBackground) {
        TTexturePtr target = TTexture::CreateRenderTarget(width, height, true);
        EXPECT_TRUE(target);
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (target && target->Lock(&pixels, &pitch)) {
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    pixels[y * pitch + x] = fill;
                }
            }
            target->Unlock();
        }
        return target;
    }

    // The target's pixels, row by row.
    static std::vector<uint32_t> Pixels(const TTexturePtr& target) {
        std::vector<uint32_t> out;
        uint32_t* pixels = nullptr;
        int pitch = 0;
        if (target->Lock(&pixels, &pitch)) {
            for (int y = 0; y < target->GetHeight(); ++y) {
                out.insert(out.end(), pixels + y * pitch, pixels + y * pitch + target->GetWidth());
            }
            target->Unlock();
        }
        return out;
    }

    // `outline` drawn at quarter-pixel (x, y) into a fresh 16 x 16 target in copy mode.
    std::vector<uint32_t> DrawCopied(TQzMiniVecDraw& draw, const unsigned char* outline, int x = 0,
                                     int y = 0) {
        const TTexturePtr target = Target(16, 16);
        draw.mCopyToTarget = true;
        draw.Begin(0.0f, 0.0f, target);
        draw.DrawGlyph(outline, x, y);
        draw.Flush();
        return Pixels(target);
    }

    // Text as the text code draws it: glyph after glyph from the origin (x, y) on the baseline,
    // `size` pixels to the em, turned by `degrees` about the origin.
    void DrawText(TQzMiniVecDraw& draw, const std::string& text, float x, float y, float size,
                  float degrees = 0.0f, const TTexturePtr& target = TTexturePtr()) {
        const float scale = 4.0f * size / 32.0f;
        const float angle = degrees * std::numbers::pi_v<float> / 180.0f;
        const float c = degrees == 0.0f ? 1.0f : std::cos(angle);
        const float s = degrees == 0.0f ? 0.0f : std::sin(angle);
        draw.mScaleX = scale;
        draw.mScaleY = scale;
        draw.mRotationCos = c;
        draw.mRotationSin = s;
        draw.Begin(x, y, target);
        float pen = 0.0f;
        for (const char ch : text) {
            const int index = mFont->FindGlyph(static_cast<unsigned char>(ch));
            if (index < 0) {
                continue;
            }
            draw.DrawGlyph(mFont->GetGlyphOutline(index), static_cast<int>(std::lround(pen * c)),
                           static_cast<int>(std::lround(pen * s)));
            pen += mFont->GetGlyphAdvance(index) * scale;
        }
    }

    // The width in pixels that DrawText gives `text`.
    float TextWidth(const std::string& text, float size) const {
        float pen = 0.0f;
        for (const char ch : text) {
            pen += mFont->GetGlyphAdvance(mFont->FindGlyph(static_cast<unsigned char>(ch)));
        }
        return pen * size / 32.0f;
    }

    static standin::TScreenImage Crop(const standin::TScreenImage& image, int width, int height) {
        standin::TScreenImage out;
        out.width = width;
        out.height = height;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                out.pixels.push_back(image.pixels[static_cast<size_t>(y * image.width + x)]);
            }
        }
        return out;
    }

    TAssetManager mAssets;
    std::unique_ptr<TMiniVecFont> mFont;
    std::unique_ptr<TQzMiniVecDraw> mDraw;
};

uint32_t At(const std::vector<uint32_t>& pixels, int x, int y, int width = 16) {
    return pixels[static_cast<size_t>(y * width + x)];
}

int AlphaAt(const std::vector<uint32_t>& pixels, int x, int y, int width = 16) {
    return static_cast<int>(At(pixels, x, y, width) >> 24);
}

// Coverage levels: a pixel's 16 quarter-pixel cells, four rows of four, give level cells - 1;
// levels 0 to 15 take alpha A x 16 (level + 1) / 256 of the colour's alpha A (200 here).
TEST_F(MiniVecDrawTest, CoverageLevelsGiveTheColoursAlpha) {
    OpenDisplay(32, 800, 600);
    struct TCase {
        const char* what;
        float x0, y0, x1, y1; // outline units = quarter pixels at scale 1
        int x;                // quarter-pixel position
        // Alphas of pixels (0, 0), (1, 0), (0, 1); -1: left as it was.
        int alphas[3];
    };
    const TCase cases[] = {
        {"a whole pixel: level 15, full alpha", 0, 0, 4, 4, 0, {200, -1, -1}},
        {"half a pixel: level 7, A x 128 / 256", 0, 0, 2, 4, 0, {100, -1, -1}},
        {"half the rows", 0, 2, 4, 4, 0, {100, -1, -1}},
        {"one cell: level 0", 0, 0, 1, 1, 0, {12, -1, -1}},
        {"three quarters at phase 1, then one", 0, 0, 4, 4, 1, {150, 50, -1}},
        {"two pixels high", 0, 0, 4, 8, 0, {200, -1, 200}},
        {"nothing covered emits nothing", 0, 0, 0, 4, 0, {-1, -1, -1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TOutline outline;
        const unsigned char* bytes = outline.Contour().Rect(c.x0, c.y0, c.x1, c.y1).End();
        TQzMiniVecDraw& draw = Draw();
        SetColour(draw, 1, Rgba(200, 100, 50, 200));
        const std::vector<uint32_t> pixels = DrawCopied(draw, bytes, c.x);
        const int where[3][2] = {{0, 0}, {1, 0}, {0, 1}};
        for (int i = 0; i < 3; ++i) {
            const uint32_t pixel = At(pixels, where[i][0], where[i][1]);
            if (c.alphas[i] < 0) {
                EXPECT_EQ(pixel, kBackground) << i;
            } else {
                EXPECT_EQ(pixel, static_cast<uint32_t>(c.alphas[i]) << 24 | 0xC86432u) << i;
            }
        }
        EXPECT_EQ(At(pixels, 2, 2), kBackground);
    }
}

// The cache key: the outline, the quarter-pixel phases and everything that changes the spans.
TEST_F(MiniVecDrawTest, SameGlyphAtTheSamePhaseReplays) {
    TOutline outline;
    const unsigned char* bytes = outline.Contour().Rect(0, 0, 10, 10).End();
    struct TCase {
        const char* what;
        std::function<void(TQzMiniVecDraw&)> change;
        int x;
        int y;
        bool rasterises;
    };
    const TCase cases[] = {
        {"four quarters on", nullptr, 4, 0, false},
        {"two pixels down", nullptr, 0, 8, false},
        {"a quarter on: another x phase", nullptr, 1, 0, true},
        {"half a pixel down: another y phase", nullptr, 0, 2, true},
        {"x scale", [](TQzMiniVecDraw& d) { d.mScaleX = 2.0f; }, 0, 0, true},
        {"y scale", [](TQzMiniVecDraw& d) { d.mScaleY = 0.5f; }, 0, 0, true},
        {"first stroke width", [](TQzMiniVecDraw& d) { d.mStrokeWidth[0] = 1.0f; }, 0, 0, true},
        {"second stroke width", [](TQzMiniVecDraw& d) { d.mStrokeWidth[1] = 1.0f; }, 0, 0, true},
        {"slant", [](TQzMiniVecDraw& d) { d.mSlant = true; }, 0, 0, true},
        {"rotation",
         [](TQzMiniVecDraw& d) {
             d.mRotationCos = 0.0f;
             d.mRotationSin = 1.0f;
         },
         0, 0, true},
        {"colours and target modes are not in the key",
         [](TQzMiniVecDraw& d) {
             SetColour(d, 1, Rgba(1, 2, 3, 4));
             d.mCopyToTarget = true;
         },
         8, 0, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TQzMiniVecDraw& draw = Draw();
        draw.DrawGlyph(bytes, 0, 0);
        if (c.change) {
            c.change(draw);
        }
        draw.DrawGlyph(bytes, c.x, c.y);
        EXPECT_EQ(draw.GetRasterCount(), c.rasterises ? 2 : 1);
        EXPECT_EQ(draw.GetReplayCount(), c.rasterises ? 0 : 1);
    }
}

TEST_F(MiniVecDrawTest, ReplayDrawsTheSamePixelsAtTheNewPosition) {
    OpenDisplay(32, 800, 600);
    TOutline outline;
    const unsigned char* bytes = outline.Contour().Rect(1, 0, 7, 6).End();
    TQzMiniVecDraw& draw = Draw();
    const std::vector<uint32_t> first = DrawCopied(draw, bytes, 0, 0);
    const std::vector<uint32_t> again = DrawCopied(draw, bytes, 8, 4);
    EXPECT_EQ(draw.GetRasterCount(), 1);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(At(again, x + 2, y + 1), At(first, x, y)) << x << "," << y;
        }
    }
}

// 255 -> plane 0, 254 -> plane 1, 1 -> plane 3, all others plane 2, whose coverage colours are
// those of the colour set last among them.
TEST_F(MiniVecDrawTest, ColourNumbersShareTheirPlane) {
    OpenDisplay(32, 800, 600);
    TOutline outline;
    // The glyph's own colours: 1 red, 2 green (contour 2's colour 1), 3 blue (contour 3's).
    const unsigned char* bytes = outline.OwnColourContour(255, 0, 0)
                                     .Rect(0, 0, 4, 4)
                                     .OwnColourContour(0, 255, 0)
                                     .Rect(8, 0, 12, 4)
                                     .OwnColourContour(0, 0, 255)
                                     .Rect(16, 0, 20, 4)
                                     .End();
    TQzMiniVecDraw& draw = Draw();
    std::vector<uint32_t> pixels = DrawCopied(draw, bytes);
    EXPECT_EQ(At(pixels, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(At(pixels, 2, 0), 0xFF0000FFu);
    EXPECT_EQ(At(pixels, 4, 0), 0xFF0000FFu);

    // The replay takes the planes' colours as they are now.
    SetColour(draw, 200, Rgba(255, 255, 0, 255));
    pixels = DrawCopied(draw, bytes);
    EXPECT_EQ(draw.GetReplayCount(), 1);
    EXPECT_EQ(At(pixels, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(At(pixels, 2, 0), 0xFFFFFF00u);
    EXPECT_EQ(At(pixels, 4, 0), 0xFFFFFF00u);
    SetColour(draw, 1, Rgba(1, 2, 3, 255));
    SetColour(draw, 255, Rgba(9, 9, 9, 255));
    SetColour(draw, 254, Rgba(8, 8, 8, 255));
    pixels = DrawCopied(draw, bytes);
    EXPECT_EQ(At(pixels, 0, 0), 0xFF010203u);
    EXPECT_EQ(At(pixels, 2, 0), 0xFFFFFF00u);

    // An undefined colour of plane 2 is drawn in the transparent colour 0 that each rasterisation
    // sets first.
    TOutline plain;
    pixels = DrawCopied(draw, plain.Contour(7).Rect(0, 0, 4, 4).End());
    EXPECT_EQ(At(pixels, 0, 0), 0x00000000u);
}

TEST_F(MiniVecDrawTest, LaterContoursCoverEarlierOnesAndFillsCoverStrokes) {
    OpenDisplay(32, 800, 600);
    TOutline outline;
    // Contour 1 red over pixels 2..9, contour 2 green over pixels 5..7.
    const unsigned char* bytes = outline.OwnColourContour(255, 0, 0)
                                     .Rect(8, 8, 40, 40)
                                     .OwnColourContour(0, 255, 0)
                                     .Rect(20, 20, 32, 32)
                                     .End();
    TQzMiniVecDraw& draw = Draw();
    SetColour(draw, 255, Rgba(255, 255, 255, 255));
    draw.mStrokeWidth[0] = 1.0f;
    const std::vector<uint32_t> pixels = DrawCopied(draw, bytes);
    EXPECT_EQ(At(pixels, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(At(pixels, 6, 6), 0xFF00FF00u) << "the later contour shows";
    EXPECT_EQ(At(pixels, 4, 6), 0xFFFF0000u) << "the inner stroke is hidden by the fill";
    EXPECT_EQ(At(pixels, 5, 6), 0xFF00FF00u);
    EXPECT_EQ(At(pixels, 1, 6), 0xFFFFFFFFu) << "the outer stroke shows";
    EXPECT_EQ(At(pixels, 0, 6), kBackground);
    EXPECT_EQ(At(pixels, 10, 6), 0xFFFFFFFFu);
    EXPECT_EQ(At(pixels, 11, 6), kBackground);
}

// Stroke width w: a band w pixels wide on each side of the outline; the first width of 0 ends
// the list of strokes.
TEST_F(MiniVecDrawTest, StrokeBandsAroundAnUnfilledSquare) {
    OpenDisplay(32, 800, 600);
    TOutline outline;
    const unsigned char* bytes = outline.Contour(0).Rect(16, 16, 48, 48).End();
    struct TCase {
        float first;
        float second;
        // Pixels of row 8 from x 0: 'a' first stroke, 'b' second, '.' untouched.
        const char* row;
    };
    const TCase cases[] = {
        {1.0f, 0.0f, "...aa......aa..."},
        {2.0f, 0.0f, "..aaaa....aaaa.."},
        {0.0f, 1.0f, "................"},
        // Stroke 1 lies above stroke 0.
        {2.0f, 1.0f, "..abba....abba.."},
        {1.0f, 2.0f, "..bbbb....bbbb.."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.row);
        TQzMiniVecDraw& draw = Draw();
        SetColour(draw, 255, Rgba(255, 255, 255, 255));
        SetColour(draw, 254, Rgba(0, 0, 255, 255));
        draw.mStrokeWidth[0] = c.first;
        draw.mStrokeWidth[1] = c.second;
        const std::vector<uint32_t> pixels = DrawCopied(draw, bytes);
        std::string row;
        for (int x = 0; x < 16; ++x) {
            const uint32_t pixel = At(pixels, x, 8);
            row += pixel == 0xFFFFFFFFu   ? 'a'
                   : pixel == 0xFF0000FFu ? 'b'
                   : pixel == kBackground ? '.'
                                          : '?';
        }
        EXPECT_EQ(row, c.row);
    }
}

// A pixel covered whole by a span of colour (200, 100, 50) at alpha 128 over (32, 64, 96) at
// alpha 128, worked out by hand for each mode.
TEST_F(MiniVecDrawTest, TargetModesWriteThePixels) {
    OpenDisplay(32, 800, 600);
    TOutline outline;
    const unsigned char* bytes = outline.Contour().Rect(0, 0, 4, 4).End();
    struct TCase {
        const char* what;
        bool copy;
        bool merge;
        uint32_t expected;
    };
    const TCase cases[] = {
        {"copy replaces", true, false, 0x80C86432u},
        // (200 x 128 + 32 x 127) / 255 = 116, (100 x 128 + 64 x 127) / 255 = 82,
        // (50 x 128 + 96 x 127) / 255 = 72; the pixel keeps its alpha.
        {"blend", false, false, 0x80745248u},
        // (s x 128 + p x 128) / 256: 116, 82, 73; alphas add up to 255 at most.
        {"alpha-merge", false, true, 0xFF745249u},
        {"alpha-merge wins over copy", true, true, 0xFF745249u},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TQzMiniVecDraw& draw = Draw();
        SetColour(draw, 1, Rgba(200, 100, 50, 128));
        const TTexturePtr target = Target(4, 4, 0x80204060u);
        draw.mCopyToTarget = c.copy;
        draw.mAlphaMerge = c.merge;
        draw.Begin(1.0f, 2.0f, target);
        draw.DrawGlyph(bytes, 0, 0);
        draw.Flush();
        const std::vector<uint32_t> pixels = Pixels(target);
        EXPECT_EQ(At(pixels, 1, 2, 4), c.expected);
        EXPECT_EQ(At(pixels, 0, 2, 4), 0x80204060u);
        EXPECT_EQ(At(pixels, 2, 2, 4), 0x80204060u);
    }
}

// Plane 2 is transparent during the glyph's rasterisation (colour 0), so in alpha-merge mode its
// spans are skipped; the opaque spans of plane 3 that follow on the same rows are still written.
TEST_F(MiniVecDrawTest, AlphaMergeSkipsTransparentSpansOnly) {
    OpenDisplay(32, 800, 600);
    TOutline outline;
    const unsigned char* bytes =
        outline.Contour(2).Rect(0, 0, 8, 8).Contour(1).Rect(12, 0, 16, 8).End();
    TQzMiniVecDraw& draw = Draw();
    const TTexturePtr target = Target(8, 4, 0x80204060u);
    draw.mAlphaMerge = true;
    draw.Begin(0.0f, 0.0f, target);
    draw.DrawGlyph(bytes, 0, 0);
    draw.Flush();
    const std::vector<uint32_t> pixels = Pixels(target);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(At(pixels, 0, y, 8), 0x80204060u);
        EXPECT_EQ(At(pixels, 1, y, 8), 0x80204060u);
        // (200 x 255 + 32 x 128) / 383 = 143, (100 x 255 + 64 x 128) / 383 = 87,
        // (50 x 255 + 96 x 128) / 383 = 65.
        EXPECT_EQ(At(pixels, 3, y, 8), 0xFF8F5741u);
    }
    EXPECT_EQ(At(pixels, 3, 2, 8), 0x80204060u);
}

// A target is written from the first column to the last; spans beyond are cut. Flush hands the
// target back and has the window manager redraw; the next Begin without one draws on the screen.
TEST_F(MiniVecDrawTest, TargetSpansAreCutToTheTexture) {
    OpenDisplay(32, 800, 600);
    MakeRecord(false);
    TOutline outline;
    const unsigned char* bytes = outline.Contour().Rect(-40, 0, 80, 4).End();
    TQzMiniVecDraw& draw = Draw();
    const TTexturePtr target = Target(8, 4);
    const int invalidates = platform_test::TFakeWindowManager::sInvalidates;
    draw.mCopyToTarget = true;
    draw.Begin(0.0f, 3.0f, target);
    draw.DrawGlyph(bytes, 0, 0);
    draw.Begin(0.0f, 3.0f, target);
    draw.DrawGlyph(bytes, 0, -4);
    draw.Flush();
    EXPECT_EQ(platform_test::TFakeWindowManager::sInvalidates, invalidates + 1);
    const std::vector<uint32_t> pixels = Pixels(target);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(At(pixels, x, 3, 8), 0xFFC86432u) << x;
        EXPECT_EQ(At(pixels, x, 2, 8), 0xFFC86432u) << x;
        EXPECT_EQ(At(pixels, x, 1, 8), kBackground) << x;
    }
    // Nothing more reaches the released target.
    draw.Begin(0.0f, 0.0f, TTexturePtr());
    draw.DrawGlyph(bytes, 0, 0);
    draw.Flush();
    EXPECT_EQ(At(Pixels(target), 0, 0, 8), kBackground);
}

// Bars: whole pixels take the colour, an end pixel covered by q quarters takes shade q - 1, of
// alpha A x (17, 40, 73) / 256; with A = 200: 13, 31, 57.
TEST_F(MiniVecDrawTest, BarsAndQuadsShadeTheirEnds) {
    OpenDisplay(32, 800, 600);
    TQzMiniVecDraw& draw = Draw();
    SetColour(draw, 5, Rgba(10, 20, 30, 200));
    const TTexturePtr target = Target(8, 8, 0);
    draw.mCopyToTarget = true;
    draw.Begin(0.0f, 0.0f, target);
    draw.DrawBar(1, 10, 0, 5);
    draw.DrawBar(4, 4, 1, 5);
    draw.DrawBar(5, 6, 2, 5);
    draw.DrawBar(0, 7, 3, 5);
    draw.DrawBar(2, 5, 4, 5);
    draw.DrawBar(6, 5, 5, 5);
    draw.DrawQuad(1.0f, 5.6f, 3.5f, 7.6f, 5);
    draw.Flush();
    const std::vector<uint32_t> pixels = Pixels(target);
    const int expected[8][4] = {
        {57, 200, 57, 0}, {0, 13, 0, 0}, {0, 31, 0, 0},     {200, 200, 0, 0},
        {31, 31, 0, 0},   {0, 0, 0, 0},  {0, 200, 200, 31}, {0, 200, 200, 31},
    };
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(AlphaAt(pixels, x, y, 8), expected[y][x]) << x << "," << y;
        }
    }
    EXPECT_EQ(At(pixels, 1, 0, 8), 0xC80A141Eu);

    // A quad thinner than a row still takes the row it is centred on; one narrower than a
    // quarter takes one quarter.
    const TTexturePtr thin = Target(8, 8, 0);
    draw.Begin(0.0f, 0.0f, thin);
    draw.DrawQuad(2.0f, 3.3f, 2.1f, 3.5f, 5);
    draw.Flush();
    EXPECT_EQ(AlphaAt(Pixels(thin), 2, 3, 8), 13);
    EXPECT_EQ(AlphaAt(Pixels(thin), 2, 4, 8), 0);
}

// Bad outlines and bad state: whatever is drawn stays inside the coverage row and the row
// buckets, and nothing hangs.
TEST_F(MiniVecDrawTest, DegenerateInputIsCutOrDropped) {
    OpenDisplay(32, 800, 600);
    struct TCase {
        const char* what;
        std::function<const unsigned char*(TOutline&)> outline;
        std::function<void(TQzMiniVecDraw&)> state;
        // Alpha of pixel (0, 0) and of pixel (8, 8); -1 untouched.
        int alpha00;
        int alpha88;
    };
    const TCase cases[] = {
        {"an unknown command ends the glyph",
         [](TOutline& o) {
             o.Contour().Rect(0, 0, 4, 4).Byte(9).Contour().Rect(32, 32, 36, 36);
             return o.End();
         },
         nullptr, 255, -1},
        {"a zero-length segment draws no stroke",
         [](TOutline& o) { return o.Contour(0).Move(16, 16).Line(16, 16).End(); },
         [](TQzMiniVecDraw& d) { d.mStrokeWidth[0] = 4.0f; }, -1, -1},
        {"an infinite scale drops the edges",
         [](TOutline& o) { return o.Contour().Rect(0, 0, 4, 4).End(); },
         [](TQzMiniVecDraw& d) { d.mScaleX = std::numeric_limits<float>::infinity(); }, -1, -1},
        {"a NaN rotation drops the edges",
         [](TOutline& o) { return o.Contour().Rect(0, 0, 4, 4).End(); },
         [](TQzMiniVecDraw& d) { d.mRotationSin = std::numeric_limits<float>::quiet_NaN(); }, -1,
         -1},
        {"rows beyond the buckets are cut",
         [](TOutline& o) { return o.Contour().Rect(0, -200, 40, 200).End(); },
         [](TQzMiniVecDraw& d) { d.mScaleY = 1.0e6f; }, 255, 255},
        {"columns beyond the coverage row are cut",
         [](TOutline& o) { return o.Contour().Rect(-250, 0, 250, 40).End(); },
         [](TQzMiniVecDraw& d) { d.mScaleX = 100.0f; }, 255, 255},
        {"a zero scale draws nothing",
         [](TOutline& o) { return o.Contour().Rect(0, 0, 4, 4).End(); },
         [](TQzMiniVecDraw& d) { d.mScaleY = 0.0f; }, -1, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TOutline outline;
        const unsigned char* bytes = c.outline(outline);
        TQzMiniVecDraw& draw = Draw();
        if (c.state) {
            c.state(draw);
        }
        const std::vector<uint32_t> pixels = DrawCopied(draw, bytes);
        for (const auto& [x, alpha] : {std::pair{0, c.alpha00}, std::pair{8, c.alpha88}}) {
            if (alpha < 0) {
                EXPECT_EQ(At(pixels, x, x), kBackground) << x;
            } else {
                EXPECT_EQ(AlphaAt(pixels, x, x), alpha) << x;
            }
        }
    }
}

// Turned a little at an absurd x scale, every edge crosses every row of the buckets: more work
// than a glyph may take. It is refused with a log line, and the next glyph draws.
TEST_F(MiniVecDrawTest, AGlyphTooLargeIsRefused) {
    OpenDisplay(32, 800, 600);
    TOutline zigzag;
    zigzag.Contour().Move(0, 0);
    for (int i = 1; i <= 1200; ++i) {
        zigzag.Line(i % 2 == 0 ? -1.0f : 1.0f, static_cast<float>(i) / 8.0f);
    }
    const unsigned char* huge = zigzag.Line(0, 0).End();
    TQzMiniVecDraw& draw = Draw();
    draw.mScaleX = 1.0e6f;
    draw.mRotationCos = 0.8f;
    draw.mRotationSin = 0.6f;
    EXPECT_EQ(DrawCopied(draw, huge), std::vector<uint32_t>(256, kBackground));
    EXPECT_NE(LogText().find("TQzMiniVecDraw::DrawGlyph: the glyph is too large to draw"),
              std::string::npos);

    TOutline square;
    draw.mScaleX = 1.0f;
    draw.mRotationCos = 1.0f;
    draw.mRotationSin = 0.0f;
    const std::vector<uint32_t> pixels = DrawCopied(draw, square.Contour().Rect(0, 0, 4, 4).End());
    EXPECT_EQ(At(pixels, 0, 0), 0xFFC86432u);
}

// On the software rasteriser a horizontal line from x0 to x1 lights pixels ceil(x0) up to
// ceil(x1) of row floor(y + 0.5). A probe bar covers pixel p: it matches for start offsets in
// (-1, 0], end offsets in (-1, 0] and y offsets in [-0.5, 0.5); the last matching cell wins:
// start -0.25, end 0, y 0.25 (cell 60). With pixel centres at +0.5 the ranges move up by half a
// pixel: start -0.25, end 0.5, y 0.75 (cell 126).
TEST_F(MiniVecDrawTest, SelfTestPicksTheLastMatchingCell) {
    struct TCase {
        bool halfPixelCentres;
        float start;
        float end;
        float y;
    };
    for (const TCase& c : {TCase{false, -0.25f, 0.0f, 0.25f}, TCase{true, -0.25f, 0.5f, 0.75f}}) {
        SCOPED_TRACE(c.halfPixelCentres);
        standin::TAdapter adapter = display_test::Adapter();
        adapter.halfPixelCentres = c.halfPixelCentres;
        standin::SetAdapters({adapter});
        OpenDisplay(32, 800, 600);
        for (int run = 0; run < 2; ++run) {
            std::unique_ptr<TGlyphRendererLink> made(Renderer().CreateGlyphRenderer());
            auto* draw = dynamic_cast<TQzMiniVecDraw*>(made.get());
            ASSERT_NE(draw, nullptr);
            EXPECT_EQ(draw->GetStartOffset(), c.start);
            EXPECT_EQ(draw->GetEndOffset(), c.end);
            EXPECT_EQ(draw->GetYOffset(), c.y);
            EXPECT_EQ(draw->GetBatchCapacity(), TQzMiniVecDraw::kBatch);
        }
        TRenderer::Destroy();
    }
}

// Lines that light nothing: no cell matches and every cell stays dark, so the offsets fall back
// to (1, 1, 1) and the self-test runs again with the small batch.
TEST_F(MiniVecDrawTest, SelfTestFallsBackWhenLinesStayDark) {
    OpenDisplay(32, 800, 600);
    standin::SetFault(nullptr, "IDirect3DDevice7::DrawPrimitive", DD_OK, false);
    TQzMiniVecDraw& draw = Draw();
    draw.SelfTest();
    standin::ClearFaults();
    EXPECT_EQ(draw.GetStartOffset(), -0.75f);
    EXPECT_EQ(draw.GetEndOffset(), -0.75f);
    EXPECT_EQ(draw.GetYOffset(), 0.25f);
    EXPECT_EQ(draw.GetBatchCapacity(), TQzMiniVecDraw::kSmallBatch);

    // Without a display there is nothing to measure either.
    TRenderer::Destroy();
    TQzMiniVecDraw alone;
    alone.SelfTest();
    EXPECT_EQ(alone.GetStartOffset(), -0.75f);
    EXPECT_EQ(alone.GetBatchCapacity(), TQzMiniVecDraw::kSmallBatch);
}

class MiniVecDrawGoldenTest : public MiniVecDrawTest {
protected:
    // The self-tested drawer with white text (colour 1) and an orange first stroke (255).
    TQzMiniVecDraw& TextDraw() {
        TQzMiniVecDraw& draw = Draw();
        draw.SelfTest();
        SetColour(draw, 1, Rgba(255, 255, 255, 255));
        SetColour(draw, 255, Rgba(255, 140, 0, 255));
        return draw;
    }

    // Two sizes, an outline stroke, a rotation, an underline and a caret on the screen.
    standin::TScreenImage DrawScreen(TQzMiniVecDraw& draw) {
        BeginFrame(0xFF202830);
        const std::string small = "Stellagrim glyphs: 0123456789 &@?";
        DrawText(draw, small, 20.0f, 40.0f, 16.0f);
        draw.DrawQuad(0.0f, 2.0f, TextWidth(small, 16.0f), 3.0f, 1);
        draw.mStrokeWidth[0] = 1.5f;
        const std::string big = "Outlined 32";
        DrawText(draw, big, 20.25f, 100.5f, 32.0f);
        draw.mStrokeWidth[0] = 0.0f;
        draw.DrawQuad(TextWidth(big, 32.0f) + 2.0f, -24.0f, TextWidth(big, 32.0f) + 3.75f, 7.0f, 1);
        DrawText(draw, "Rotated by 20 degrees", 40.0f, 150.0f, 24.0f, 20.0f);
        draw.Flush();
        return Crop(EndFrame(), 480, 280);
    }

    standin::TScreenImage EndFrame() {
        TRenderer& renderer = *TRenderer::Instance();
        renderer.End2d();
        renderer.EndDraw(0);
        return standin::ReadSurface(Data().mScreenTarget);
    }

    void BeginFrame(D3DCOLOR background) {
        TRenderer& renderer = *TRenderer::Instance();
        ASSERT_TRUE(renderer.BeginDraw(0));
        Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        ASSERT_TRUE(renderer.Begin2d());
        renderer.SetBlendMode(0);
    }
};

TEST_F(MiniVecDrawGoldenTest, TextOnTheScreen) {
    OpenDisplay(32, 800, 600);
    TQzMiniVecDraw& draw = TextDraw();
    const standin::TScreenImage first = DrawScreen(draw);
    // The top of the underline under the first line at x 20: opaque white; background below.
    EXPECT_EQ(first.pixels[42 * 480 + 20], 0xFFFFFFFFu);
    EXPECT_EQ(first.pixels[43 * 480 + 20], 0xFF202830u);
    // The caret of the second line spans x 188.97 to 190.72 from its origin 20.25: quarters 757
    // up to 764 from pixel 20, so pixel 209 holds three quarters (shade 2, alpha 255 x 73 / 256 =
    // 72) and pixel 210 is whole. Blended: (255 x 72 + 32 x 183) / 255 = 95, 101, 106.
    EXPECT_EQ(first.pixels[90 * 480 + 209], 0xFF5F656Au);
    EXPECT_EQ(first.pixels[90 * 480 + 210], 0xFFFFFFFFu);
    EXPECT_EQ(first.pixels[90 * 480 + 211], 0xFF202830u);
    ExpectGolden(first, "minivecdraw_screen.png");

    const int rasterised = draw.GetRasterCount();
    const int replayed = draw.GetReplayCount();
    const standin::TScreenImage second = DrawScreen(draw);
    EXPECT_EQ(draw.GetRasterCount(), rasterised);
    EXPECT_GT(draw.GetReplayCount(), replayed + 50);
    EXPECT_TRUE(second.pixels == first.pixels);
}

// The same text into a 240 x 40 target over a pattern of rising alpha, in copy, alpha-merge and
// blend mode; each shown as its colours and, below, its alpha as grey.
TEST_F(MiniVecDrawGoldenTest, TextIntoTargets) {
    OpenDisplay(32, 800, 600);
    TQzMiniVecDraw& draw = TextDraw();
    constexpr int kWidth = 240;
    constexpr int kHeight = 40;
    standin::TScreenImage image;
    image.width = kWidth;
    image.height = kHeight * 6;
    image.pixels.resize(static_cast<size_t>(image.width * image.height));
    const TColor text = Rgba(255, 220, 120, 255);
    draw.SetColor(1, &text, 0.8f);
    const TColor stroke = Rgba(20, 20, 60, 255);
    draw.SetColor(255, &stroke, 0.6f);
    for (int mode = 0; mode < 3; ++mode) {
        const TTexturePtr target = Target(kWidth, kHeight);
        uint32_t* pixels = nullptr;
        int pitch = 0;
        ASSERT_TRUE(target->Lock(&pixels, &pitch));
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                pixels[y * pitch + x] = static_cast<uint32_t>(x * 255 / (kWidth - 1)) << 24 |
                                        0x280000u | static_cast<uint32_t>(80 + y) << 8 | 0xA0u;
            }
        }
        target->Unlock();
        draw.mCopyToTarget = mode == 0;
        draw.mAlphaMerge = mode == 1;
        draw.mStrokeWidth[0] = 1.0f;
        DrawText(draw, "Target 42 &", 8.0f, 30.0f, 26.0f, 0.0f, target);
        draw.Flush();
        draw.mStrokeWidth[0] = 0.0f;
        const std::vector<uint32_t> out = Pixels(target);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t pixel = out[static_cast<size_t>(y * kWidth + x)];
                const uint32_t alpha = pixel >> 24;
                image.pixels[static_cast<size_t>((mode * 2 * kHeight + y) * kWidth + x)] =
                    0xFF000000u | pixel;
                image.pixels[static_cast<size_t>(((mode * 2 + 1) * kHeight + y) * kWidth + x)] =
                    0xFF000000u | alpha << 16 | alpha << 8 | alpha;
            }
        }
    }
    // Untouched at the top left: the pattern, alpha 0 shown black.
    EXPECT_EQ(image.pixels[0], 0xFF2850A0u);
    EXPECT_EQ(image.pixels[static_cast<size_t>(kHeight * kWidth)], 0xFF000000u);
    // Pixel (8, 11), inside the T: the text colour (255, 220, 120) at alpha 204 over the pattern
    // (40, 91, 160) at alpha 8. Copy: the span itself. Merge: (255 x 204 + 40 x 8) / 212 = 246,
    // 215, 121, alpha 212. Blend: (255 x 204 + 40 x 51) / 255 = 212, 194, 128, alpha 8.
    auto pixel = [&](int block, int x, int y) {
        return image.pixels[static_cast<size_t>((block * kHeight + y) * kWidth + x)] & 0xFFFFFFu;
    };
    EXPECT_EQ(pixel(0, 8, 11), 0xFFDC78u);
    EXPECT_EQ(pixel(1, 8, 11), 0xCCCCCCu);
    EXPECT_EQ(pixel(2, 8, 11), 0xF6D779u);
    EXPECT_EQ(pixel(3, 8, 11), 0xD4D4D4u);
    EXPECT_EQ(pixel(4, 8, 11), 0xD4C280u);
    EXPECT_EQ(pixel(5, 8, 11), 0x080808u);
    ExpectGolden(image, "minivecdraw_targets.png");
}

// Past the budget the next new glyph empties the cache; the text is rasterised again and looks
// the same.
TEST_F(MiniVecDrawGoldenTest, DrawingGoesOnPastTheCacheBudget) {
    OpenDisplay(32, 800, 600);
    TQzMiniVecDraw& draw = TextDraw();
    const standin::TScreenImage before = DrawScreen(draw);
    const int rasterised = draw.GetRasterCount();

    const TTexturePtr scratch = Target(64, 64);
    const unsigned char* w = mFont->GetGlyphOutline(mFont->FindGlyph('W'));
    for (int i = 0; i < 5000 && draw.GetCache().GetClearCount() == 0; ++i) {
        const float angle = static_cast<float>(i) * 0.001f;
        draw.mScaleX = 40.0f;
        draw.mScaleY = 40.0f;
        draw.mRotationCos = std::cos(angle);
        draw.mRotationSin = std::sin(angle) + 1.0e-3f;
        draw.Begin(0.0f, 0.0f, scratch);
        draw.DrawGlyph(w, 0, 0);
        EXPECT_LE(draw.GetCache().GetBytes(), TMiniVecDrawCache::kBudgetBytes + (256u << 10));
    }
    draw.Flush();
    EXPECT_EQ(draw.GetCache().GetClearCount(), 1);
    EXPECT_EQ(draw.GetCache().GetGlyphCount(), 1);

    const int before2 = draw.GetRasterCount();
    const standin::TScreenImage after = DrawScreen(draw);
    EXPECT_EQ(draw.GetRasterCount() - before2, rasterised);
    EXPECT_TRUE(after.pixels == before.pixels);
}

} // namespace
