// The scan converter of the glyph rasteriser: runs one glyph outline (TMiniVecFont commands),
// fills its contours and strokes their borders at quarter-pixel precision, and hands the result
// on as anti-aliased spans, pixel row by pixel row. It keeps its edge store, row buckets and
// coverage rows from glyph to glyph. Owned by TQzMiniVecDraw; main thread only.
//
// Geometry: outline units times the scale give quarter pixels, y downwards. Quarter row r is
// sampled at its centre (y = r + 0.5) and a crossing x is rounded to the nearest quarter, so a
// shape whose corners lie on quarter-pixel boundaries covers exactly the quarters inside it; four
// quarter rows of four quarters make a pixel's 16 coverage steps.
//
// Colours: each contour fills in even-odd with its colour; where contours overlap the later one
// shows. The two strokes are non-zero bands around every segment, in colours 255 (the first) and
// 254 (the second), shown only where no contour fills. A colour is counted in one of four
// coverage planes (MiniVecPlaneOf).
#pragma once

#include "engine/media/minivecdrawcache.h"

#include <cstdint>
#include <vector>

// 255 -> 0, 254 -> 1, 1 -> 3, every other colour number -> 2.
int MiniVecPlaneOf(int colour);

struct TMiniVecRasterParams {
    // Outline units to quarter pixels.
    float mScaleX = 1.0f;
    float mScaleY = 1.0f;
    float mCos = 1.0f;
    float mSin = 0.0f;
    // x - y / 3 before scaling.
    bool mSlant = false;
    // Pixels on each side of a segment; the first 0 ends the list.
    float mStrokeWidth[2] = {0.0f, 0.0f};
    // Quarter-pixel phases of the glyph's position, 0 to 3.
    int mPhaseX = 0;
    int mPhaseY = 0;
};

// Where a run of an outline goes.
class TMiniVecSpanSink {
public:
    // Command 7: colour number `number` (1 to 255) becomes r, g, b (0 to 255) at full alpha.
    virtual void DefineColour(int number, int red, int green, int blue) = 0;
    virtual void EmitSpan(const TMiniVecSpan& span) = 0;

protected:
    ~TMiniVecSpanSink() = default;
};

class TMiniVecDrawRaster {
public:
    static constexpr int kPlanes = 4;
    // Coverage cells per plane: pixels -1600 to 1599 around the glyph's pixel x. Coverage beyond
    // is cut at these ends.
    static constexpr int kCells = 3200;
    static constexpr int kCellOrigin = 1600;
    // At most this many quarter rows, half of them above the glyph's position: 4096 pixels each
    // way, room for the letters of a font of 4000 pixels to the em.
    static constexpr int kMaxRows = 1 << 15;
    // Edges of one glyph beyond this are dropped: some 300 curves at the finest flattening with
    // both strokes, against about 100 edges for a letter.
    static constexpr size_t kMaxEdges = size_t{1} << 18;

    // A glyph whose edges cross more quarter rows than this in all is not drawn (it would take
    // a good part of a second): a letter of 16-pixel text crosses some 2000, one of 4000 pixels
    // with both strokes about half a million.
    static constexpr size_t kMaxEdgeRows = size_t{1} << 23;

    TMiniVecDrawRaster();

    // Runs the commands up to the end command, or up to a byte that is no command, which ends the
    // glyph as well. The outline must end within its buffer, as TMiniVecFont hands them out.
    void Run(const unsigned char* outline, const TMiniVecRasterParams& params,
             TMiniVecSpanSink& sink);

private:
    struct TVec {
        float x;
        float y;
    };
    struct TEdge {
        // The upper end in quarter pixels, and the change of x per quarter row.
        double mXTop;
        double mYTop;
        double mSlope;
        // x at the current row, with the phase.
        double mX;
        // Quarter rows mFirstRow up to (not including) mEndRow.
        int mFirstRow;
        int mEndRow;
        int mNextInBucket;
        // Contour number (2 up), or stroke 0 or 1.
        uint16_t mNumber;
        // A fill's colour number; a stroke's direction (1 when its ends were swapped).
        uint8_t mColour;
        bool mStroke;
    };

    void PrepareRows();
    int& Bucket(int row) {
        const int at = row + mRowBase;
        return mBuckets[static_cast<size_t>(at)];
    }
    void Line(TVec from, TVec to, int colour, int number);
    void Curve(TVec from, TVec control, TVec to, int colour, int number);
    void AddStroke(TVec from, TVec to, int stroke);
    void AddEdge(TVec from, TVec to, int colour, int number, bool stroke);
    TVec Transform(TVec point) const;
    void Sweep(TMiniVecSpanSink& sink);
    void SortActive();
    void WalkRow();
    bool HasState(int number) const;
    int ColourOf(int number) const;
    // Quarters x0 to x1 (both included) of the current quarter row, in plane `plane`.
    void AddCoverage(int plane, int x0, int x1);
    void EmitRow(int pixelRow, TMiniVecSpanSink& sink);

    TMiniVecRasterParams mParams;
    std::vector<TEdge> mEdges;
    bool mEdgesDropped = false;
    size_t mEdgeRows = 0;
    // Row bucket heads; quarter row r is bucket r + mRowBase.
    std::vector<int> mBuckets;
    int mRowBase = 0;
    int mLowRow = 0;
    int mHighRow = -1;
    // Indices of the edges crossing the current row, by x.
    std::vector<int> mActive;
    // Per contour number: its colour + 1 while inside, else 0. Strokes: winding counts.
    std::vector<int> mFillState;
    int mWinding[2] = {0, 0};
    // A heap of the numbers that may have a state on the current row: the top one shows.
    std::vector<int> mShown;
    // Coverage differences per plane, one cell per pixel and one past the end, where runs that
    // reach the right end close. The running sum is a pixel's coverage: one step per covered
    // quarter of each of its quarter rows, 16 when it is covered whole.
    std::vector<int32_t> mCells[kPlanes];
    bool mDirty[kPlanes] = {};
    int mLowCell = kCells + 1;
    int mHighCell = -1;
};
