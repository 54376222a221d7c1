#include "engine/media/minivecfont.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<unsigned char>;

struct TGlyphSpec {
    uint32_t code = 0;
    int top = 0;
    int bottom = 0;
    int advance = 0;
    int offsetX = 0;
    int offsetY = 0;
    TBytes outline = {kMiniVecEnd};
    // Stored in place of the real offset of the outline.
    std::optional<uint32_t> outlineOffset;
};

TGlyphSpec Glyph(uint32_t code, int top = 0, int bottom = 0) {
    TGlyphSpec glyph;
    glyph.code = code;
    glyph.top = top;
    glyph.bottom = bottom;
    return glyph;
}

TGlyphSpec WithOutline(TGlyphSpec glyph, TBytes outline, std::optional<uint32_t> offset = {}) {
    glyph.outline = std::move(outline);
    glyph.outlineOffset = offset;
    return glyph;
}

void PutLe16(TBytes& out, int value) {
    out.push_back(static_cast<unsigned char>(value & 0xFF));
    out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void PutLe32(TBytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>((value >> shift) & 0xFF));
    }
}

// A font file: header, the records in the order given, then the outlines in the same order.
TBytes MakeFont(const std::vector<TGlyphSpec>& glyphs, int count = -1) {
    TBytes file = {'M', 'V', 'C', '4'};
    PutLe16(file, count < 0 ? static_cast<int>(glyphs.size()) : count);
    file.resize(12, 0);
    auto offset = static_cast<uint32_t>(12 + 18 * glyphs.size());
    for (const TGlyphSpec& g : glyphs) {
        PutLe32(file, g.code);
        PutLe16(file, g.offsetX);
        PutLe16(file, g.offsetY);
        PutLe16(file, g.top);
        PutLe16(file, g.bottom);
        PutLe16(file, g.advance);
        PutLe32(file, g.outlineOffset.value_or(offset));
        offset += static_cast<uint32_t>(g.outline.size());
    }
    for (const TGlyphSpec& g : glyphs) {
        file.insert(file.end(), g.outline.begin(), g.outline.end());
    }
    return file;
}

// The font is loaded over an allocation of exactly its size, so that ASan reports any read past
// its end.
std::unique_ptr<TMiniVecFont> LoadExact(const TBytes& bytes) {
    return TMiniVecFont::Load(TBytes(bytes.begin(), bytes.end()));
}

TBytes Point(int x, int y) {
    TBytes out;
    PutLe16(out, x);
    PutLe16(out, y);
    return out;
}

TBytes Concat(std::initializer_list<TBytes> parts) {
    TBytes out;
    for (const TBytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// Every command once, with its operands.
const TBytes kEveryCommand = Concat({{kMiniVecContour, kMiniVecFill, 1, kMiniVecFillAlt, 0,
                                      kMiniVecDefColour, 10, 20, 30, kMiniVecMove},
                                     Point(0, -1280),
                                     {kMiniVecLine},
                                     Point(640, 0),
                                     {kMiniVecCurve},
                                     Point(320, 100),
                                     Point(0, -1280),
                                     {kMiniVecEnd}});

TEST(MiniVecFontTest, BytesThatAreNoFontGiveNoGlyphs) {
    TBytes wrongMagic = MakeFont({Glyph('W', -1280)});
    wrongMagic[3] = '3';
    const std::vector<std::pair<std::string, TBytes>> cases = {
        {"wrong magic", wrongMagic},
        {"empty", {}},
        {"part of the magic", {'M', 'V'}},
        {"magic without a count", {'M', 'V', 'C', '4', 1}},
        {"header cut short", {'M', 'V', 'C', '4', 0, 0, 0, 0}},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const auto font = LoadExact(bytes);
        EXPECT_EQ(font->GetGlyphCount(), 0);
        EXPECT_EQ(font->FindGlyph('W'), -1);
        EXPECT_EQ(font->GetGlyphOutline(0), nullptr);
        EXPECT_EQ(font->GetGlyphAdvance(0), 0.0f);
        EXPECT_EQ(font->GetGlyphScale(0), 1.0f);
        EXPECT_EQ(font->GetAscent(), 0.0f);
        EXPECT_EQ(font->GetDescent(), 0.0f);
        EXPECT_FALSE(font->GetFlag());
        EXPECT_EQ(font->GetScale(), 1.0f);
    }
}

TEST(MiniVecFontTest, AscentIsTheTopOfW) {
    // 'A' reaches higher, but the ascent is W's.
    const auto font = LoadExact(MakeFont({Glyph('A', -2000), Glyph('W', -1280)}));
    EXPECT_FLOAT_EQ(font->GetAscent(), 10.0f);
}

TEST(MiniVecFontTest, WithoutWTheAscentIsTheTallestGlyphBelow128) {
    const auto font =
        LoadExact(MakeFont({Glyph('A', -1024), Glyph('b', -1280), Glyph(0xC5, -2560)}));
    EXPECT_FLOAT_EQ(font->GetAscent(), 10.0f);

    const auto none = LoadExact(MakeFont({Glyph(0xC5, -2560)}));
    EXPECT_EQ(none->GetAscent(), 0.0f);
}

TEST(MiniVecFontTest, DescentIgnoresUnderscoreAndCodesFrom128) {
    const auto font = LoadExact(MakeFont(
        {Glyph('W', -1280), Glyph('_', 0, 640), Glyph('g', 0, 256), Glyph(0xE7, 0, 1280)}));
    EXPECT_FLOAT_EQ(font->GetDescent(), 2.0f);

    // Never above the baseline.
    const auto high = LoadExact(MakeFont({Glyph('^', -1280, -640)}));
    EXPECT_EQ(high->GetDescent(), 0.0f);
}

TEST(MiniVecFontTest, CellMarginsAndFitFactors) {
    EXPECT_FLOAT_EQ(MiniVecCellFraction(), 0.8f);
    // Ascent 10, descent 2: the cell reaches 12.25 above the baseline and 2.75 below it.
    const auto font =
        LoadExact(MakeFont({Glyph('A', -1664), Glyph('W', -1280), Glyph('g', -640, 256),
                            Glyph('x', -1568, 0), Glyph(0xC5, -1664, 384)}));
    ASSERT_FLOAT_EQ(font->GetAscent(), 10.0f);
    ASSERT_FLOAT_EQ(font->GetDescent(), 2.0f);
    EXPECT_FLOAT_EQ(font->ComputeCellScale(true), 2.25f);
    EXPECT_FLOAT_EQ(font->ComputeCellScale(false), 0.75f);

    const std::vector<std::pair<uint32_t, float>> cases = {
        {'A', 12.25f / 13.0f},
        {'W', 1.0f},
        {'g', 1.0f},
        {'x', 1.0f}, // 12.25 high: just inside
        // Too high by 13 / 12.25 and too deep by 3 / 2.75: the larger one counts.
        {0xC5, 2.75f / 3.0f},
    };
    for (const auto& [code, scale] : cases) {
        SCOPED_TRACE(code);
        EXPECT_FLOAT_EQ(font->GetGlyphScale(font->FindGlyph(code)), scale);
    }
}

TEST(MiniVecFontTest, FontWithoutHeightLeavesEveryGlyphUnscaled) {
    // No glyph below 128: ascent and descent 0, so the cell has no size to fit into.
    const auto font = LoadExact(MakeFont({Glyph(0xC5, -1280, 256), Glyph(0xE7)}));
    ASSERT_EQ(font->GetAscent() + font->GetDescent(), 0.0f);
    EXPECT_EQ(font->ComputeCellScale(true), 0.0f);
    EXPECT_EQ(font->GetGlyphScale(0), 1.0f);
    EXPECT_EQ(font->GetGlyphScale(1), 1.0f);
}

TEST(MiniVecFontTest, GlyphQueriesReadTheRecord) {
    TGlyphSpec glyph = WithOutline(Glyph('A'), kEveryCommand);
    glyph.advance = 640;
    glyph.offsetX = -64;
    glyph.offsetY = 1000;
    const TBytes bytes = MakeFont({glyph});
    const auto font = LoadExact(bytes);
    ASSERT_EQ(font->GetGlyphCount(), 1);
    EXPECT_FLOAT_EQ(font->GetGlyphAdvance(0), 5.0f);
    EXPECT_FLOAT_EQ(font->GetGlyphOffsetX(0), -0.5f);
    EXPECT_FLOAT_EQ(font->GetGlyphOffsetY(0), 7.8125f);
    const unsigned char* outline = font->GetGlyphOutline(0);
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(TBytes(outline, outline + kEveryCommand.size()), kEveryCommand);

    for (const int index : {-1, 1}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(font->GetGlyphAdvance(index), 0.0f);
        EXPECT_EQ(font->GetGlyphOffsetX(index), 0.0f);
        EXPECT_EQ(font->GetGlyphOffsetY(index), 0.0f);
        EXPECT_EQ(font->GetGlyphScale(index), 1.0f);
        EXPECT_EQ(font->GetGlyphOutline(index), nullptr);
    }
}

TEST(MiniVecFontTest, FindGlyphSearchesTheSortedCodes) {
    const std::vector<uint32_t> codes = {0x20, 'A', 'W', 0xE9, 0x20AC, 0x1F600};
    std::vector<TGlyphSpec> glyphs;
    for (const uint32_t code : codes) {
        glyphs.push_back(Glyph(code));
    }
    const auto font = LoadExact(MakeFont(glyphs));
    for (size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(font->FindGlyph(codes[i]), static_cast<int>(i));
    }
    for (const uint32_t missing : {0u, 'B' + 0u, 0xFFu, 0x1F601u, 0xFFFFFFFFu}) {
        EXPECT_EQ(font->FindGlyph(missing), -1) << missing;
    }
}

TEST(MiniVecFontTest, ReleaseLeavesNoGlyphs) {
    auto font = LoadExact(MakeFont({WithOutline(Glyph('W', -1280), kEveryCommand)}));
    font->Release();
    EXPECT_EQ(font->GetGlyphCount(), 0);
    EXPECT_EQ(font->FindGlyph('W'), -1);
    EXPECT_EQ(font->GetGlyphOutline(0), nullptr);
}

TEST(MiniVecFontTest, RecordTableThatDoesNotFitLeavesNoGlyphs) {
    const TBytes whole = MakeFont({Glyph('A'), Glyph('W', -1280)});
    // The second record lacks its last byte (and there are no outlines).
    const TBytes cut(whole.begin(), whole.begin() + 12 + 18 * 2 - 1);
    // The count claims more records than there are.
    const TBytes overcounted = MakeFont({Glyph('W', -1280)}, 0xFFFF);
    for (const TBytes& bytes : {cut, overcounted}) {
        const auto font = LoadExact(bytes);
        EXPECT_EQ(font->GetGlyphCount(), 0);
        EXPECT_EQ(font->FindGlyph('W'), -1);
        EXPECT_EQ(font->GetAscent(), 0.0f);
    }
}

TEST(MiniVecFontTest, DamagedOutlineLeavesTheGlyphWithoutOutline) {
    struct TCase {
        std::string name;
        TBytes outline; // the last bytes of the file
        std::optional<uint32_t> offset;
    };
    const std::vector<TCase> cases = {
        {"offset past the end", {kMiniVecEnd}, 100000},
        {"offset at the end", {kMiniVecEnd}, 12 + 18 * 2 + 1 + 1},
        {"largest offset", {kMiniVecEnd}, 0xFFFFFFFF},
        {"unknown command 9", {kMiniVecContour, 9, kMiniVecEnd}, {}},
        {"unknown command 0", {0, kMiniVecEnd}, {}},
        {"move cut short", {kMiniVecMove, 1, 0, 2}, {}},
        {"curve cut short", {kMiniVecCurve, 0, 0, 0, 0, 0, 0, 0}, {}},
        {"colour cut short", {kMiniVecDefColour, 255, 0}, {}},
        {"fill cut short", {kMiniVecContour, kMiniVecFill}, {}},
        {"no final 8", Concat({{kMiniVecContour, kMiniVecMove}, Point(0, 0)}), {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        // '0' has a good outline; the damaged one of 'A' ends the file.
        TGlyphSpec damaged = WithOutline(Glyph('A', -1280), c.outline, c.offset);
        damaged.advance = 640;
        const auto font = LoadExact(MakeFont({Glyph('0'), damaged}));
        ASSERT_EQ(font->GetGlyphCount(), 2);
        EXPECT_NE(font->GetGlyphOutline(0), nullptr);
        EXPECT_EQ(font->GetGlyphOutline(1), nullptr);
        EXPECT_FLOAT_EQ(font->GetGlyphAdvance(1), 5.0f);
        EXPECT_FLOAT_EQ(font->GetAscent(), 10.0f);
    }
}

TEST(MiniVecFontTest, GlyphsSharingAStreamEachGetTheirOwnVerdict) {
    // One stream: contour, move (its operands start with a zero byte), end. Entered at the
    // contour or at the move it ends well; entered at the move's first operand byte (0) it does
    // not. The verdicts must not depend on the order the glyphs are checked in.
    const TBytes stream = Concat({{kMiniVecContour, kMiniVecMove}, Point(0, 5), {kMiniVecEnd}});
    const uint32_t start = 12 + 18 * 3;
    const std::vector<std::vector<uint32_t>> orders = {{start, start + 1, start + 2},
                                                       {start + 2, start + 1, start},
                                                       {start + 1, start + 2, start}};
    for (const auto& order : orders) {
        std::vector<TGlyphSpec> glyphs;
        for (int i = 0; i < 3; ++i) {
            glyphs.push_back(WithOutline(Glyph(static_cast<uint32_t>('a' + i)),
                                         i == 0 ? stream : TBytes{}, order[i]));
        }
        const auto font = LoadExact(MakeFont(glyphs));
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(order[i] - start);
            EXPECT_EQ(font->GetGlyphOutline(i) != nullptr, order[i] != start + 2);
        }
    }
}

TEST(MiniVecFontTest, ManyGlyphsInOneLongStreamLoadInOnePass) {
    // 65535 glyphs entering one 200000-command stream at successive commands: walking each to its
    // end anew would take billions of steps.
    constexpr int kCount = 0xFFFF;
    std::vector<TGlyphSpec> glyphs(kCount);
    const uint32_t start = 12 + 18 * kCount;
    for (int i = 0; i < kCount; ++i) {
        glyphs[i].code = static_cast<uint32_t>(i);
        glyphs[i].outline.clear();
        glyphs[i].outlineOffset = start + static_cast<uint32_t>(i);
    }
    glyphs[0].outline = TBytes(200000, kMiniVecContour);
    glyphs[0].outline.push_back(kMiniVecEnd);
    const auto font = LoadExact(MakeFont(glyphs));
    ASSERT_EQ(font->GetGlyphCount(), kCount);
    EXPECT_NE(font->GetGlyphOutline(0), nullptr);
    EXPECT_NE(font->GetGlyphOutline(kCount - 1), nullptr);
}

} // namespace
