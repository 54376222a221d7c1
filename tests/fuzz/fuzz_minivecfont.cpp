// Loads arbitrary bytes as a vector font and walks every glyph: its metrics, and each command of
// its outline with all operands up to the end command. Then the glyph rasteriser draws the first
// glyphs twice (rasterised, then replayed) with a scale, strokes, slant, rotation and position
// taken from the last bytes of the input, extreme and non-finite values included, and a quad.
#include "engine/core/color.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/minivecfont.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace {

void Expect(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Rasterising many glyphs takes long under the sanitizers; a few show the rest.
constexpr int kDrawnGlyphs = 4;
// A glyph this many times its units or more one way reaches the rasteriser's clamps. Huge and
// more than a few pixels the other way (in scale or in strokes), or huge and turned, it crosses
// millions of cells, for a second or more an input under the sanitizers, and reaches no code that
// a thin huge glyph does not.
constexpr float kHugeScale = 64.0f;
constexpr size_t kParameterBytes = 16;

// A scale from one byte: 32nds from -4 to 4, with a few extremes at the top.
float ScaleFrom(uint8_t byte) {
    switch (byte) {
    case 255:
        return std::numeric_limits<float>::quiet_NaN();
    case 254:
        return std::numeric_limits<float>::infinity();
    case 253:
        return 1.0e6f;
    case 252:
        return 1.0e-6f;
    case 251:
        return 0.0f;
    default:
        return static_cast<float>(static_cast<int8_t>(byte)) / 32.0f;
    }
}

bool Huge(float scale) {
    return !(std::fabs(scale) < kHugeScale) && !std::isnan(scale);
}

// At most `limit` either way; NaN stays.
float HeldTo(float value, float limit) {
    return value > limit ? limit : value < -limit ? -limit : value;
}

// A stroke width from one byte: 0 to 8 pixels in 32nds, or a negative or non-finite width.
float WidthFrom(uint8_t byte) {
    switch (byte) {
    case 255:
        return std::numeric_limits<float>::quiet_NaN();
    case 254:
        return -1.5f;
    case 253:
        return 40.0f;
    default:
        return static_cast<float>(byte) / 32.0f;
    }
}

void DrawGlyphs(const TMiniVecFont& font, const uint8_t* p) {
    TQzMiniVecDraw draw;
    const TColor text{1.0f, 0.5f, 0.25f, 1.0f};
    draw.SetColor(1, &text, static_cast<float>(p[0]) / 128.0f);
    draw.SetColor(255, &text, 1.0f);
    draw.mScaleX = ScaleFrom(p[1]);
    draw.mScaleY = (p[0] & 1) != 0 ? draw.mScaleX : ScaleFrom(p[2]);
    if ((p[0] & 2) != 0) {
        // Any float at all, from its bits.
        uint32_t bits = 0;
        std::memcpy(&bits, p + 12, sizeof bits);
        draw.mScaleX = std::bit_cast<float>(bits);
    }
    draw.mStrokeWidth[0] = WidthFrom(p[3]);
    draw.mStrokeWidth[1] = WidthFrom(p[4]);
    const bool huge = Huge(draw.mScaleX) || Huge(draw.mScaleY);
    if (Huge(draw.mScaleX)) {
        draw.mScaleY = HeldTo(draw.mScaleY, 1.0f);
    } else if (Huge(draw.mScaleY)) {
        draw.mScaleX = HeldTo(draw.mScaleX, 1.0f);
    }
    if (huge) {
        for (float& width : draw.mStrokeWidth) {
            width = HeldTo(width, 1.0f);
        }
    }
    draw.mSlant = (p[0] & 4) != 0;
    const auto turn = static_cast<uint16_t>(p[5] | p[6] << 8);
    if (turn != 0 && !huge) {
        const float angle = static_cast<float>(turn) * 6.2831853f / 65536.0f;
        draw.mRotationCos = std::cos(angle);
        draw.mRotationSin =
            (p[0] & 8) != 0 ? std::numeric_limits<float>::quiet_NaN() : std::sin(angle);
    }
    draw.Begin(static_cast<float>(static_cast<int8_t>(p[7])) / 4.0f,
               static_cast<float>(static_cast<int8_t>(p[8])) / 4.0f, TTexturePtr());
    const int x = static_cast<int8_t>(p[9]) * 64;
    const int y = static_cast<int8_t>(p[10]) * 64;
    const int count = std::min(font.GetGlyphCount(), kDrawnGlyphs);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < count; ++i) {
            draw.DrawGlyph(font.GetGlyphOutline(i), x + i, y);
        }
    }
    Expect(draw.GetCache().GetBytes() <= TMiniVecDrawCache::kBudgetBytes + (size_t{1} << 20));
    draw.DrawQuad(draw.mScaleX, draw.mScaleY, draw.mStrokeWidth[0] * 100.0f,
                  draw.mStrokeWidth[1] * 100.0f, p[11]);
    draw.DrawBar(x, x + p[11], p[12], p[13]);
    draw.Flush();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto font = TMiniVecFont::Load(std::vector<unsigned char>(data, data + size));
    Expect(std::isfinite(font->GetAscent()) && font->GetDescent() >= 0);
    Expect(std::isfinite(font->ComputeCellScale(true)) &&
           std::isfinite(font->ComputeCellScale(false)));

    unsigned sum = 0;
    for (int i = -1; i <= font->GetGlyphCount(); ++i) {
        Expect(std::isfinite(font->GetGlyphAdvance(i)) && std::isfinite(font->GetGlyphOffsetX(i)) &&
               std::isfinite(font->GetGlyphOffsetY(i)));
        const float scale = font->GetGlyphScale(i);
        Expect(scale > 0 && scale <= 1);
        const unsigned char* p = font->GetGlyphOutline(i);
        if (p == nullptr) {
            continue;
        }
        for (;; ++p) {
            const int length = MiniVecCommandLength(*p);
            Expect(length > 0);
            if (*p == kMiniVecEnd) {
                break;
            }
            for (int k = 1; k < length; ++k) {
                sum += *++p;
            }
        }
    }
    for (const uint32_t code : {0u, 'W' + 0u, 0xFFFFu, 0xFFFFFFFFu}) {
        const int index = font->FindGlyph(code);
        Expect(index >= -1 && index < font->GetGlyphCount());
    }
    if (size >= kParameterBytes) {
        DrawGlyphs(*font, data + size - kParameterBytes);
    }
    font->Release();
    Expect(font->GetGlyphCount() == 0 && font->GetGlyphOutline(0) == nullptr);
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
