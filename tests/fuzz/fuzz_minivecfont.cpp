// Loads arbitrary bytes as a vector font and walks every glyph: its metrics, and each command of
// its outline with all operands up to the end command, as the glyph rasteriser does.
#include "engine/media/minivecfont.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void Expect(bool condition) {
    if (!condition) {
        std::abort();
    }
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
    font->Release();
    Expect(font->GetGlyphCount() == 0 && font->GetGlyphOutline(0) == nullptr);
    volatile unsigned sink = sum;
    (void)sink;
    return 0;
}
