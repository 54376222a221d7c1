#include "engine/media/minivecdrawraster.h"

#include "engine/core/log.h"
#include "engine/media/minivecfont.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace {

// Quarter pixels from the first cell to the end cell of a plane.
constexpr int kCoverageQuarters = TMiniVecDrawRaster::kCells * 4;
constexpr int kOriginQuarters = TMiniVecDrawRaster::kCellOrigin * 4;
// Stroke numbers; contours count from 2 up, so that any of them covers the strokes.
constexpr int kFirstContour = 2;
constexpr int kMaxNumber = UINT16_MAX;
// How far a flattened curve may stray from the true one, in quarter pixels.
constexpr double kCurveTolerance = 0.25;
constexpr int kMaxCurveSteps = 64;

float MiniVecCoordinate(const unsigned char* at) {
    const auto value = static_cast<int16_t>(static_cast<uint16_t>(at[0] | at[1] << 8));
    return static_cast<float>(value) / 128.0f;
}

// Rounded half away from zero and kept just beyond the coverage row, which cuts it anyway.
int MiniVecRoundQuarter(double x) {
    constexpr double kLimit = kOriginQuarters + 4;
    if (!(x > -kLimit)) {
        return -static_cast<int>(kLimit);
    }
    if (!(x < kLimit)) {
        return static_cast<int>(kLimit);
    }
    return static_cast<int>(std::lround(x));
}

} // namespace

int MiniVecPlaneOf(int colour) {
    switch (colour) {
    case 255:
        return 0;
    case 254:
        return 1;
    case 1:
        return 3;
    default:
        return 2;
    }
}

TMiniVecDrawRaster::TMiniVecDrawRaster() {
    for (std::vector<int32_t>& cells : mCells) {
        cells.assign(kCells + 1, 0);
    }
    mFillState.assign(kFirstContour + 1, 0);
}

void TMiniVecDrawRaster::Run(const unsigned char* outline, const TMiniVecRasterParams& params,
                             TMiniVecSpanSink& sink) {
    mParams = params;
    mEdges.clear();
    mEdgesDropped = false;
    mEdgeRows = 0;
    PrepareRows();
    mLowRow = INT_MAX;
    mHighRow = INT_MIN;

    TVec pen{0.0f, 0.0f};
    // Paths before the first contour command fill as a contour of their own.
    int number = kFirstContour;
    int base = 0;
    int defined = 0;
    int fill = 0;
    int fillAlt = 0;
    auto contourColour = [&] {
        const int c = fill != 0 ? fill : fillAlt;
        return c == 0 ? 0 : (base + c) & 0xFF;
    };
    for (const unsigned char* p = outline; p != nullptr;) {
        switch (*p) {
        case kMiniVecContour:
            number = std::min(number + 1, kMaxNumber);
            if (mFillState.size() <= static_cast<size_t>(number)) {
                mFillState.resize(static_cast<size_t>(number) + 1, 0);
            }
            base = defined;
            fill = 0;
            fillAlt = 0;
            break;
        case kMiniVecFill:
            fill = p[1];
            break;
        case kMiniVecFillAlt:
            fillAlt = p[1];
            break;
        case kMiniVecMove:
            pen = TVec{MiniVecCoordinate(p + 1), MiniVecCoordinate(p + 3)};
            break;
        case kMiniVecLine: {
            const TVec to{MiniVecCoordinate(p + 1), MiniVecCoordinate(p + 3)};
            Line(pen, to, contourColour(), number);
            pen = to;
            break;
        }
        case kMiniVecCurve: {
            const TVec control{MiniVecCoordinate(p + 1), MiniVecCoordinate(p + 3)};
            const TVec to{MiniVecCoordinate(p + 5), MiniVecCoordinate(p + 7)};
            Curve(pen, control, to, contourColour(), number);
            pen = to;
            break;
        }
        case kMiniVecDefColour:
            if (defined < 255) {
                ++defined;
                sink.DefineColour(defined, p[1], p[2], p[3]);
            }
            break;
        default:
            // The end command, or a byte that is no command: nothing after it can be read.
            p = nullptr;
            continue;
        }
        p += MiniVecCommandLength(*p);
    }
    if (mEdgesDropped) {
        Log("TQzMiniVecDraw::DrawGlyph: more than %zu edges in one glyph; the rest are dropped",
            kMaxEdges);
    }
    if (mEdgeRows > kMaxEdgeRows) {
        Log("TQzMiniVecDraw::DrawGlyph: the glyph is too large to draw (%zu edge rows)", mEdgeRows);
        for (int row = mLowRow; row <= mHighRow; ++row) {
            Bucket(row) = -1;
        }
        return;
    }
    Sweep(sink);
}

void TMiniVecDrawRaster::PrepareRows() {
    // Rotation brings the x extent into the rows.
    float scale = std::fabs(mParams.mScaleY);
    if (mParams.mSin != 0.0f) {
        scale = std::max(scale, std::fabs(mParams.mScaleX));
    }
    size_t wanted = kMaxRows;
    if (scale < static_cast<float>(kMaxRows) / 1024.0f) {
        wanted = static_cast<size_t>(scale + 1.0f) * 1024;
    }
    size_t rows = std::max<size_t>(mBuckets.size(), 1024);
    while (rows < wanted) {
        rows *= 2;
    }
    rows = std::min<size_t>(rows, kMaxRows);
    if (rows != mBuckets.size()) {
        mBuckets.assign(rows, -1);
        mRowBase = static_cast<int>(rows / 2);
    }
}

void TMiniVecDrawRaster::Line(TVec from, TVec to, int colour, int number) {
    for (int i = 0; i < 2 && mParams.mStrokeWidth[i] != 0.0f; ++i) {
        AddStroke(from, to, i);
    }
    AddEdge(from, to, colour, number, false);
}

void TMiniVecDrawRaster::Curve(TVec from, TVec control, TVec to, int colour, int number) {
    // A quadratic strays at most a quarter of (from - 2 control + to) from its chord, and n equal
    // steps cut that by n squared.
    const double ex = (static_cast<double>(from.x) - 2.0 * control.x + to.x) * mParams.mScaleX;
    const double ey = (static_cast<double>(from.y) - 2.0 * control.y + to.y) * mParams.mScaleY;
    const double stray = std::sqrt(ex * ex + ey * ey) / 4.0;
    int steps = 1;
    if (std::isfinite(stray) && stray > kCurveTolerance) {
        steps = static_cast<int>(
            std::min<double>(kMaxCurveSteps, std::ceil(std::sqrt(stray / kCurveTolerance))));
    }
    TVec previous = from;
    for (int k = 1; k <= steps; ++k) {
        TVec point = to;
        if (k < steps) {
            const float t = static_cast<float>(k) / static_cast<float>(steps);
            const float s = 1.0f - t;
            point = TVec{s * s * from.x + 2.0f * t * s * control.x + t * t * to.x,
                         s * s * from.y + 2.0f * t * s * control.y + t * t * to.y};
        }
        Line(previous, point, colour, number);
        previous = point;
    }
}

void TMiniVecDrawRaster::AddStroke(TVec from, TVec to, int stroke) {
    const float dx = to.x - from.x;
    const float dy = to.y - from.y;
    const float d = std::sqrt(dx * dx + dy * dy);
    // A segment without length has no direction to stroke across.
    if (!(d > 0.0f) || !std::isfinite(d)) {
        return;
    }
    const float t = 4.0f * mParams.mStrokeWidth[stroke];
    const float u = t / mParams.mScaleX * dx / d;
    const float v = t / mParams.mScaleY * dy / d;
    const TVec hexagon[6] = {{from.x + v, from.y - u}, {from.x - u, from.y - v},
                             {from.x - v, from.y + u}, {to.x - v, to.y + u},
                             {to.x + u, to.y + v},     {to.x + v, to.y - u}};
    for (int k = 0; k < 6; ++k) {
        AddEdge(hexagon[k], hexagon[(k + 1) % 6], 0, stroke, true);
    }
}

TMiniVecDrawRaster::TVec TMiniVecDrawRaster::Transform(TVec point) const {
    float x = point.x;
    float y = point.y;
    if (mParams.mSlant) {
        x -= y / 3.0f;
    }
    x *= mParams.mScaleX;
    y *= mParams.mScaleY;
    if (mParams.mSin != 0.0f) {
        const float rx = x * mParams.mCos - y * mParams.mSin;
        const float ry = x * mParams.mSin + y * mParams.mCos;
        x = rx;
        y = ry;
    }
    return TVec{x, y};
}

void TMiniVecDrawRaster::AddEdge(TVec from, TVec to, int colour, int number, bool stroke) {
    // A contour without a fill colour never shows, nor hides anything below it.
    if (!stroke && colour == 0) {
        return;
    }
    TVec top = Transform(from);
    TVec bottom = Transform(to);
    if (!std::isfinite(top.x) || !std::isfinite(top.y) || !std::isfinite(bottom.x) ||
        !std::isfinite(bottom.y)) {
        return;
    }
    const bool swapped = top.y > bottom.y;
    if (swapped) {
        std::swap(top, bottom);
    }
    // The rows whose centres lie in [top, bottom), cut to the row buckets.
    const double lowest = -mRowBase;
    const double limit = static_cast<double>(mBuckets.size()) - mRowBase;
    const double first = std::max(std::ceil(static_cast<double>(top.y) - 0.5), lowest);
    const double end = std::min(std::ceil(static_cast<double>(bottom.y) - 0.5), limit);
    if (!(first < end)) {
        return;
    }
    // Crossings right of the coverage row change nothing on it (WalkRow closes a run they would
    // close at the row's end).
    const double right = kOriginQuarters + 8;
    if (top.x > right && bottom.x > right) {
        return;
    }
    if (mEdges.size() >= kMaxEdges) {
        mEdgesDropped = true;
        return;
    }
    TEdge edge{};
    edge.mXTop = top.x;
    edge.mYTop = top.y;
    edge.mSlope = (static_cast<double>(bottom.x) - top.x) / (static_cast<double>(bottom.y) - top.y);
    edge.mFirstRow = static_cast<int>(first);
    edge.mEndRow = static_cast<int>(end);
    edge.mNumber = static_cast<uint16_t>(number);
    edge.mColour = static_cast<uint8_t>(stroke ? (swapped ? 1 : 0) : colour);
    edge.mStroke = stroke;
    int& head = Bucket(edge.mFirstRow);
    edge.mNextInBucket = head;
    head = static_cast<int>(mEdges.size());
    mEdges.push_back(edge);
    mEdgeRows += static_cast<size_t>(edge.mEndRow - edge.mFirstRow);
    mLowRow = std::min(mLowRow, edge.mFirstRow);
    mHighRow = std::max(mHighRow, edge.mEndRow - 1);
}

void TMiniVecDrawRaster::Sweep(TMiniVecSpanSink& sink) {
    mActive.clear();
    for (int row = mLowRow; row <= mHighRow; ++row) {
        const double centre = row + 0.5;
        const double phase = mParams.mPhaseX;
        size_t kept = 0;
        for (const int index : mActive) {
            TEdge& edge = mEdges[static_cast<size_t>(index)];
            if (edge.mEndRow > row) {
                edge.mX = edge.mXTop + (centre - edge.mYTop) * edge.mSlope + phase;
                mActive[kept++] = index;
            }
        }
        mActive.resize(kept);
        int& head = Bucket(row);
        for (int index = head; index >= 0;) {
            TEdge& edge = mEdges[static_cast<size_t>(index)];
            edge.mX = edge.mXTop + (centre - edge.mYTop) * edge.mSlope + phase;
            mActive.push_back(index);
            index = edge.mNextInBucket;
        }
        head = -1;
        SortActive();
        WalkRow();
        const int at = row + mParams.mPhaseY;
        if ((at & 3) == 3 || row == mHighRow) {
            EmitRow(at >> 2, sink);
        }
    }
}

void TMiniVecDrawRaster::SortActive() {
    auto before = [this](int a, int b) {
        return mEdges[static_cast<size_t>(a)].mX < mEdges[static_cast<size_t>(b)].mX;
    };
    // Nearly sorted from the row before: an insertion sort is close to one pass. Edges that cross
    // a lot (an outline of scribbles) get the general sort instead.
    size_t moves = 0;
    const size_t budget = 8 * mActive.size() + 64;
    for (size_t i = 1; i < mActive.size(); ++i) {
        const int index = mActive[i];
        size_t j = i;
        for (; j > 0 && before(index, mActive[j - 1]); --j) {
            mActive[j] = mActive[j - 1];
        }
        mActive[j] = index;
        moves += i - j;
        if (moves > budget) {
            std::stable_sort(mActive.begin(), mActive.end(), before);
            return;
        }
    }
}

bool TMiniVecDrawRaster::HasState(int number) const {
    return number < kFirstContour ? mWinding[number] != 0
                                  : mFillState[static_cast<size_t>(number)] != 0;
}

int TMiniVecDrawRaster::ColourOf(int number) const {
    return number < kFirstContour ? 255 - number : mFillState[static_cast<size_t>(number)] - 1;
}

void TMiniVecDrawRaster::WalkRow() {
    // The numbers that gained a state, highest on top; one that lost its state since is dropped
    // when it comes to the top (and may be in twice when it gained a state again).
    mShown.clear();
    int colour = -1;
    int runStart = 0;
    for (const int index : mActive) {
        const TEdge& edge = mEdges[static_cast<size_t>(index)];
        const int x = MiniVecRoundQuarter(edge.mX);
        const int number = edge.mNumber;
        const bool had = HasState(number);
        if (edge.mStroke) {
            mWinding[number] += edge.mColour != 0 ? -1 : 1;
        } else {
            int& state = mFillState[static_cast<size_t>(number)];
            state = state != 0 ? 0 : edge.mColour + 1;
        }
        if (!had && HasState(number)) {
            mShown.push_back(number);
            std::push_heap(mShown.begin(), mShown.end());
        }
        while (!mShown.empty() && !HasState(mShown.front())) {
            std::pop_heap(mShown.begin(), mShown.end());
            mShown.pop_back();
        }
        const int now = mShown.empty() ? -1 : ColourOf(mShown.front());
        if (now != colour) {
            if (colour >= 0 && x > runStart) {
                AddCoverage(MiniVecPlaneOf(colour), runStart, x - 1);
            }
            colour = now;
            runStart = x;
        }
    }
    // Edges right of the coverage row are not kept: a colour still in force reaches its end.
    if (colour >= 0) {
        AddCoverage(MiniVecPlaneOf(colour), runStart, kOriginQuarters);
    }
    // A contour left open (an edge of it was dropped) must not reach into the next row.
    for (const int index : mActive) {
        const TEdge& edge = mEdges[static_cast<size_t>(index)];
        if (edge.mStroke) {
            mWinding[edge.mNumber] = 0;
        } else {
            mFillState[edge.mNumber] = 0;
        }
    }
}

void TMiniVecDrawRaster::AddCoverage(int plane, int x0, int x1) {
    const int q0 = std::clamp(x0 + kOriginQuarters, 0, kCoverageQuarters);
    const int q1 = std::clamp(x1 + 1 + kOriginQuarters, 0, kCoverageQuarters);
    if (q1 <= q0) {
        return;
    }
    // q0 lies below the end, so q0 >> 2 is a pixel's cell and the one after exists; q1 may be the
    // end itself, the extra cell.
    std::vector<int32_t>& cells = mCells[plane];
    const int c0 = q0 >> 2;
    const int f0 = q0 & 3;
    const int c1 = q1 >> 2;
    const int f1 = q1 & 3;
    cells[static_cast<size_t>(c0)] += 4 - f0;
    if (f0 != 0) {
        cells[static_cast<size_t>(c0) + 1] += f0;
    }
    cells[static_cast<size_t>(c1)] -= 4 - f1;
    if (f1 != 0) {
        cells[static_cast<size_t>(c1) + 1] -= f1;
    }
    mLowCell = std::min(mLowCell, c0);
    mHighCell = std::max(mHighCell, f1 != 0 ? c1 + 1 : c1);
    mDirty[plane] = true;
}

void TMiniVecDrawRaster::EmitRow(int pixelRow, TMiniVecSpanSink& sink) {
    for (int plane = 0; plane < kPlanes; ++plane) {
        if (!mDirty[plane]) {
            continue;
        }
        mDirty[plane] = false;
        std::vector<int32_t>& cells = mCells[plane];
        int level = -1;
        int start = mLowCell;
        for (int c = mLowCell; c <= mHighCell; ++c) {
            const int32_t step = cells[static_cast<size_t>(c)];
            if (step == 0) {
                continue;
            }
            cells[static_cast<size_t>(c)] = 0;
            if (level != -1) {
                sink.EmitSpan(TMiniVecSpan{
                    static_cast<int16_t>(start - kCellOrigin),
                    static_cast<int16_t>(c - kCellOrigin), static_cast<int16_t>(pixelRow),
                    static_cast<uint8_t>(std::clamp(level, 0, 31)), static_cast<uint8_t>(plane)});
            }
            level += step;
            start = c;
        }
    }
    mLowCell = kCells + 1;
    mHighCell = -1;
}
