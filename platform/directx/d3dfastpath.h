// Fast paths of the rasteriser for what the engine draws most: screen-aligned textured quads
// (sprites, text, backgrounds, particles), untextured fills and the short lines of text. Each is
// chosen per primitive and gives exactly the general path's bytes; a primitive it cannot prove
// that of (rotated or in perspective, a depth test, colours that vary, stage set-ups mixing two
// texel channels, a blend of two mip levels) is left to the general path.
//
// How the equality holds:
// - Coverage: each row's run of pixels is solved from the same integer edge functions the
//   general path tests pixel by pixel (d3drows.h), so the same pixels are lit. Two triangles of
//   a call are drawn row by row together (one run where their runs meet), the first's pixels of a
//   row before the second's, which is the general path's order for every pixel.
// - Colour: a colour equal at every vertex (or flat) interpolates to itself exactly, so the
//   stage's output is a fixed function of the texel: one table per channel, made by calling the
//   general path's own TPixelPipe::Combine for each of the 256 values.
// - Texture coordinates: on a triangle with axis-aligned legs, u equal along its vertical leg
//   and v along its horizontal one, and one w, u depends on the column alone and v on the row;
//   d3daxis.h finds the columns and rows whose coordinate the general path rounds to one float
//   whatever its rounding error, and the others are worked out pixel by pixel as it does.
// - Filtering and blending: the sampler's own axis arithmetic, its bilinear blend or integer
//   equivalents where that double arithmetic is exact (weights in 256ths) (d3dtexelrow.h), and
//   span kernels (d3dspan.h) equal to TPixelPipe::Blend.
// Selection, fills and lines are in d3dfastpath.cpp, textured triangles in d3dfasttexture.cpp.
// Not part of the Direct3D surface.
#pragma once

#include "platform/directx/d3daxis.h"
#include "platform/directx/d3dspan.h"
#include "platform/directx/d3dtexelrow.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace standin::detail {

// Whether drawing takes the fast paths (standin::SetRasterFastPaths).
bool FastPathsOn();

// What TPixelPipe::Combine reads besides the texel; the stage tables are made again only when
// it changes.
struct TStageKey {
    TPipeState state;
    TRgba diffuse;
    TRgba specular;
};

// The fast paths' working memory, kept by the device between draw calls (TDevice3D::Scratch).
struct TRasterScratch {
    std::vector<std::uint32_t> texels, source; // a band of rows' texels and source colours
    TTexelAxis columns, rows;
    TStageTables stage;
    TStageKey stageKey{};
    bool stageValid = false;
    // Texel rows of a format other than 32-bit ARGB, decoded, and which rows of which surface.
    std::array<std::vector<std::uint32_t>, 2> decoded;
    std::array<int, 2> decodedRow{};
    const TSurface* decodedLevel = nullptr;
    // Bilinear filtering's blends across texel rows (see BilinearAcross), for the box's columns,
    // and which texel rows they are.
    std::array<std::vector<double>, 2> across;
    std::array<int, 2> acrossRow{};
    std::vector<std::unique_ptr<TPixelCodec>> codecs; // one per layout met
    // How a run of box columns is read: runs of neighbouring texels and the columns between.
    struct TSegment {
        int at, count;
        bool straight;
    };
    std::vector<TSegment> segments;
    // The runs of a band of rows: row, first pixel, pixels, and whose pixels they are (those
    // before `split` are `left`'s).
    struct TBandRun {
        int y, from, count, split;
        const TTriangle* left;
        const TTriangle* right;
    };
    std::vector<TBandRun> bandRuns;
    // Per run of a band: its texel rows (and as read from a segment's first texel) and weight.
    std::vector<TTexelRows> bandRows, bandShifted;
    std::vector<int> bandWeights;
};

// How a fast path draws one triangle.
struct TTrianglePlan {
    bool textured = false;
    // Untextured: the colour and whether the alpha test keeps it.
    std::uint32_t colour = 0;
    bool visible = false;
    // Textured: the stage's inputs, the level and filter, and the coordinates.
    TRgba diffuse{}, specular{};
    std::size_t level = 0;
    DWORD filter = 0;
    TLinearCoordinate u{}, v{};
};

// One draw call's fast paths, made by DrawVertexList while its surfaces are locked.
class TFastPaths {
public:
    TFastPaths(const TPixelPipe& pipe, TRasterScratch& scratch);
    TFastPaths(const TFastPaths&) = delete;
    TFastPaths& operator=(const TFastPaths&) = delete;
    ~TFastPaths();

    // Draws the triangle when a fast path gives the general path's pixels, or keeps it to draw
    // with the next; false leaves it to the general path, once the kept one is drawn.
    bool Triangle(const TTriangle& t);
    // Draws what is kept; at the end of a draw call.
    void Finish();

    // A line's pixels: when BeginLine accepts it, the caller passes each pixel the general path
    // would light to Plot, then calls EndLine; false leaves the line to the general path.
    bool BeginLine(const TScreenVertex& from, const TScreenVertex& to, const float* flat,
                   bool gouraud);
    void Plot(int x, int y) {
        if (y == mRunY && x == mRunX + mRunLength) {
            ++mRunLength;
            return;
        }
        FlushRun();
        mRunY = y, mRunX = x, mRunLength = 1;
    }
    void EndLine() { FlushRun(); }

private:
    // A triangle kept for the next, with its own copy of what it points to.
    struct TKept {
        TTriangle triangle;
        TScreenVertex vertices[3];
        float flat[kAttributes];
        TTrianglePlan plan;
    };

    const TPixelCodec& CodecFor(const TPixelLayout& layout);
    bool Plan(const TTriangle& t, TTrianglePlan* plan) const;
    bool Pairs(const TTriangle& a, const TTrianglePlan& pa, const TTriangle& b,
               const TTrianglePlan& pb) const;
    // Draws one triangle, or two row by row.
    void Draw(const TTriangle* first, const TTriangle* second, const TTrianglePlan& plan);
    void DrawTextured(const TTriangle* first, const TTriangle* second, const TTrianglePlan& plan);
    void MakeStageTables(const TRgba& diffuse, const TRgba& specular);
    using TSegment = TRasterScratch::TSegment;
    // Samples `count` box columns from `at` on every run of the band (in scratch.bandRuns),
    // which all have them, with certain rows and columns; 32-bit ARGB level.
    void SampleBand(int at, int count, bool point, std::uint32_t fill, const TSurface& level);
    // The segments of `count` box columns from `at`, kept while rows repeat them.
    const std::vector<TSegment>& Segments(int at, int count);
    bool Passes(std::uint32_t argb) const;
    void FlushRun();
    // Writes a run of source colours, skipping those the alpha test discards.
    void WriteRun(std::uint8_t* out, const std::uint32_t* source, int count) const;
    std::uint8_t* PixelAt(int x, int y) const;

    const TPixelPipe& mPipe;
    TRasterScratch& mScratch;
    TSurface& mTarget;
    TSpanWriter mWriter;
    // The texel channel each output of the stage reads (-1 none); false when one output reads
    // two, which only the general path draws.
    std::array<int, 4> mStageReads{};
    bool mStageFits = false;
    TKept mKept{};
    bool mHaveKept = false;
    bool mSegmentsValid = false;
    int mSegmentsAt = 0, mSegmentsCount = 0;
    std::uint64_t mTextured = 0, mFills = 0, mLines = 0;
    // The line being drawn: its colour (or none when the alpha test discards it), worked out
    // from the diffuse and specular colours last met, and the run.
    bool mLineKnown = false;
    TRgba mLineDiffuse{}, mLineSpecular{};
    bool mLineVisible = false;
    std::uint32_t mLineColour = 0;
    int mRunX = 0, mRunY = -1, mRunLength = 0;
};

} // namespace standin::detail
