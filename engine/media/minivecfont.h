// A vector font of the ".mvec" format ("MVC4"), parsed once and queried by the text layout and
// the glyph rasteriser. The window system's font list builds one per font name and owns it; the
// font owns the bytes it was built over. Main thread only.
//
// The file, little-endian, lengths in 1/128 units with y growing downwards:
//   0  "MVC4"   4  glyph count (16 bits)   6  six bytes not read
//   12 one 18-byte record per glyph, sorted by code: code (32 bits), x offset, y offset, top,
//      bottom, advance (signed 16 bits each), outline offset from the start of the file (32 bits)
// An outline is a stream of one-byte commands with their operands (MiniVecCommandLength), ending
// with kMiniVecEnd. Loading checks every record and outline against the buffer: a table that does
// not fit leaves no glyphs, and a glyph whose outline does not end well inside the buffer keeps
// its metrics but has no outline, so whoever walks an outline the font hands out stays inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Outline commands. Coordinates are signed 16-bit values in 1/128 units.
enum : unsigned char {
    kMiniVecContour = 1,   // start a contour; both its fill colours become none
    kMiniVecFill = 2,      // u8 colour: the first fill colour (0 none)
    kMiniVecFillAlt = 3,   // u8 colour: the second fill colour, used where the first is none
    kMiniVecMove = 4,      // x, y: move the pen
    kMiniVecLine = 5,      // x, y: line from the pen
    kMiniVecCurve = 6,     // cx, cy, x, y: quadratic curve from the pen through (cx, cy)
    kMiniVecDefColour = 7, // u8 r, g, b: define the glyph's next colour
    kMiniVecEnd = 8,       // end of the glyph
};

// Bytes a command takes with its operands, or 0 for a byte that is no command.
int MiniVecCommandLength(unsigned char command);

// The share of a text cell that the ascent and descent take: 1 - 0.15 above - 0.05 below.
float MiniVecCellFraction();

class TMiniVecFont {
public:
    // Parses the bytes, which the font then owns. Never null: bytes that are not a font give a
    // font with no glyphs, on which every lookup fails.
    static std::unique_ptr<TMiniVecFont> Load(std::vector<unsigned char> data);

    // Frees the bytes and the tables; the font then has no glyphs.
    void Release();

    int GetGlyphCount() const { return mCount; }
    // Index of the glyph of a code point, or -1.
    int FindGlyph(uint32_t code) const;
    // The glyph's commands, ending with kMiniVecEnd inside the font's bytes; null when the index
    // is out of range or the glyph's outline is damaged.
    const unsigned char* GetGlyphOutline(int index) const;
    // The record's values in units; 0 when the index is out of range. The x offset is the left
    // edge of the glyph's ink, the y offset its right edge, which the layout holds against the
    // advance.
    float GetGlyphAdvance(int index) const;
    float GetGlyphOffsetX(int index) const;
    float GetGlyphOffsetY(int index) const;
    // The factor that shrinks a glyph reaching beyond its cell into it; 1 when the index is out
    // of range.
    float GetGlyphScale(int index) const;

    // Height of 'W' above the baseline (without one, the tallest glyph of codes 0 to 127).
    float GetAscent() const { return mAscent; }
    // Depth of the deepest glyph of codes 0 to 127 below the baseline, '_' left out; never
    // negative.
    float GetDescent() const { return mDescent; }
    bool GetFlag() const { return mFlag; }
    float GetScale() const { return mScale; }
    // The margin a text cell keeps above (true) or below (false) the ascent and descent.
    float ComputeCellScale(bool above) const;

private:
    TMiniVecFont() = default;

    void Parse();
    // The value of the 16-bit field at `field` in the glyph's record; the index must be valid.
    int RecordValue(int index, int field) const;

    std::vector<unsigned char> mData;
    int mCount = 0;
    std::vector<uint32_t> mCodes;
    // Offset of each glyph's checked outline in mData, or kNoOutline.
    std::vector<uint32_t> mOutlines;
    std::vector<float> mScales;
    float mAscent = 0;
    float mDescent = 0;
    bool mFlag = false;
    float mScale = 1.0f;
};
