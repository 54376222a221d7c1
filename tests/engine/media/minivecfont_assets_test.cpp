// The fonts the system ships: assets/fonts/default.mvec and the copy built into the program, both
// made by tools/fontconv from DejaVu Sans.
#include "engine/media/minivecfont.h"
#include "engine/media/minivecfontbuiltin.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<unsigned char>;

TBytes ReadAssetFont() {
    std::ifstream in(testing_fixtures::SourceDir().string() + "/assets/fonts/default.mvec",
                     std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TBytes BuiltInBytes() {
    const auto span = BuiltInMiniVecFont();
    return TBytes(span.begin(), span.end());
}

int Le16(const unsigned char* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
}

// What a walk over one outline finds.
struct TShape {
    int contours = 0;
    int paths = 0;
    std::string faults; // one word per kind of fault seen
};

void Note(TShape& shape, const char* fault) {
    if (shape.faults.find(fault) == std::string::npos) {
        shape.faults += std::string(fault) + " ";
    }
}

// Walks glyph `index` of the font over `bytes`: every contour must be filled in colour 1, every
// sub-path must come back to its start, and every point must lie in the record's ink box.
TShape Walk(const TMiniVecFont& font, const TBytes& bytes, int index) {
    TShape shape;
    const unsigned char* record = bytes.data() + 12 + 18 * index;
    const int left = Le16(record + 4);
    const int right = Le16(record + 6);
    const int top = Le16(record + 8);
    const int bottom = Le16(record + 10);
    const unsigned char* p = font.GetGlyphOutline(index);
    if (p == nullptr) {
        Note(shape, "no-outline");
        return shape;
    }
    int penX = 0, penY = 0, startX = 0, startY = 0;
    bool inPath = false;
    auto point = [&](const unsigned char* at) {
        const int x = Le16(at);
        const int y = Le16(at + 2);
        if (x < left || x > right || y < top || y > bottom) {
            Note(shape, "outside-box");
        }
        penX = x;
        penY = y;
    };
    auto closePath = [&] {
        if (inPath && (penX != startX || penY != startY)) {
            Note(shape, "open-path");
        }
        inPath = false;
    };
    for (;; p += MiniVecCommandLength(*p)) {
        switch (*p) {
        case kMiniVecContour:
            closePath();
            ++shape.contours;
            if (p[1] != kMiniVecFill || p[2] != 1) {
                Note(shape, "not-colour-1");
            }
            break;
        case kMiniVecFill:
            break;
        case kMiniVecMove:
            closePath();
            if (shape.contours == 0) {
                Note(shape, "path-outside-contour");
            }
            ++shape.paths;
            point(p + 1);
            startX = penX;
            startY = penY;
            inPath = true;
            break;
        case kMiniVecLine:
            point(p + 1);
            break;
        case kMiniVecCurve:
            point(p + 1);
            point(p + 5);
            break;
        case kMiniVecEnd:
            closePath();
            return shape;
        default:
            Note(shape, "unexpected-command");
            break;
        }
    }
}

TEST(MiniVecFontAssetsTest, BuiltInFontIsTheAssetFont) {
    const TBytes file = ReadAssetFont();
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(BuiltInBytes(), file);
}

TEST(MiniVecFontAssetsTest, ShippedFontsCoverTheirCharactersWithWellFormedOutlines) {
    for (const bool builtIn : {false, true}) {
        SCOPED_TRACE(builtIn ? "built-in font" : "assets/fonts/default.mvec");
        const TBytes bytes = builtIn ? BuiltInBytes() : ReadAssetFont();
        const auto font = TMiniVecFont::Load(bytes);

        std::vector<uint32_t> wanted;
        for (uint32_t c = 0x20; c <= 0x7E; ++c) {
            wanted.push_back(c);
        }
        for (uint32_t c = 0xA0; c <= 0xFF; ++c) {
            wanted.push_back(c);
        }
        for (const uint32_t code : wanted) {
            EXPECT_GE(font->FindGlyph(code), 0) << "U+" << std::hex << code;
        }
        for (int i = 0; i < font->GetGlyphCount(); ++i) {
            const TShape shape = Walk(*font, bytes, i);
            EXPECT_EQ(shape.faults, "") << "glyph " << i;
        }

        // DejaVu Sans: 'W' rises 1493 and '|' reaches 483 below the baseline, of 2048 units to
        // the em, which the converter makes 32 units.
        EXPECT_EQ(font->GetAscent(), 1493.0f * 32 / 2048);
        EXPECT_EQ(font->GetDescent(), 483.0f * 32 / 2048);
    }
}

TEST(MiniVecFontAssetsTest, HolesShareTheContourOfTheirOuterPath) {
    const TBytes bytes = ReadAssetFont();
    const auto font = TMiniVecFont::Load(bytes);
    struct TCase {
        uint32_t code;
        int contours;
        int paths;
    };
    const TCase cases[] = {
        {'o', 1, 2},
        {'e', 1, 2},
        {'B', 1, 3},
        {'i', 1, 2},
        {' ', 0, 0},
        // The cedilla overlaps the C: filled even-odd in one contour, the overlap would be a hole.
        {0xC7, 2, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.code);
        const int index = font->FindGlyph(c.code);
        ASSERT_GE(index, 0);
        const TShape shape = Walk(*font, bytes, index);
        EXPECT_EQ(shape.contours, c.contours);
        EXPECT_EQ(shape.paths, c.paths);
    }
}

} // namespace
