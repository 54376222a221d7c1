// The rasteriser's fast paths (d3dfastpath.h): their test controls, the choice of a path for
// each triangle and line, untextured fills and lines.
#include "platform/directx/d3dfastpath.h"
#include "platform/directx/d3drows.h"

#include <cmath>
#include <optional>

namespace standin {

void SetRasterFastPaths(bool on) {
    detail::System().rasterFastPaths.store(on);
}

TFastPathCounts TakeFastPathCounts() {
    detail::TSystem& system = detail::System();
    TFastPathCounts counts;
    counts.texturedTriangles = system.fastTexturedTriangles.exchange(0);
    counts.fills = system.fastFills.exchange(0);
    counts.lines = system.fastLines.exchange(0);
    return counts;
}

} // namespace standin

namespace standin::detail {

namespace {

// w beyond these is left to the general path, far from underflow and overflow.
constexpr double kMinRhw = 0x1p-30;
constexpr double kMaxRhw = 0x1p30;
constexpr TRgba kWhite{255, 255, 255, 255};

// The texel channel (0-3 as red, green, blue, alpha) that stage argument `argument` reads for
// output channel `channel`, or -1 when it reads no texel.
int TexelChannel(DWORD argument, int channel) {
    if ((argument & D3DTA_SELECTMASK) != D3DTA_TEXTURE) {
        return -1;
    }
    return (argument & D3DTA_ALPHAREPLICATE) != 0 ? 3 : channel;
}

// The texel channel an operation on two arguments reads for `channel`: -1 for none; false when
// it reads two different ones.
bool OperationChannel(DWORD op, DWORD arg1, DWORD arg2, int channel, int* out) {
    const int first = op != D3DTOP_SELECTARG2 ? TexelChannel(arg1, channel) : -1;
    const int second = op != D3DTOP_SELECTARG1 ? TexelChannel(arg2, channel) : -1;
    if (first >= 0 && second >= 0 && first != second) {
        return false;
    }
    *out = first >= 0 ? first : second;
    return true;
}

// The constant colour of a primitive whose colour attributes do not vary; false if they do.
// Weights summing to one within a few ulps bring an equal value back to itself once rounded to
// float; infinities would not survive a zero weight.
bool ConstantColour(const float* a, const float* b, const float* c, const float* flat, bool gouraud,
                    TRgba* diffuse, TRgba* specular) {
    const float* colour = flat;
    if (gouraud) {
        for (int i = 0; i < kU; ++i) {
            if (!std::isfinite(a[i]) || a[i] != b[i] || a[i] != c[i]) {
                return false;
            }
        }
        colour = a;
    }
    *diffuse =
        TRgba{ToByte(colour[kR]), ToByte(colour[kG]), ToByte(colour[kB]), ToByte(colour[kA])};
    *specular = TRgba{ToByte(colour[kSR]), ToByte(colour[kSG]), ToByte(colour[kSB]), 255};
    return true;
}

} // namespace

void TRasterScratchDeleter::operator()(TRasterScratch* scratch) const {
    delete scratch;
}

TRasterScratch& TDevice3D::Scratch() {
    if (!scratch) {
        scratch.reset(new TRasterScratch);
    }
    return *scratch;
}

bool FastPathsOn() {
    return System().rasterFastPaths.load(std::memory_order_relaxed);
}

TFastPaths::TFastPaths(const TPixelPipe& pipe, TRasterScratch& scratch)
    : mPipe(pipe), mScratch(scratch), mTarget(pipe.Target()),
      mWriter(pipe, CodecFor(pipe.Target().layout)) {
    const TPipeState& s = pipe.State();
    mStageReads = {-1, -1, -1, -1};
    mStageFits = true;
    if (s.colourOp != D3DTOP_DISABLE) {
        for (int c = 0; c < 3; ++c) {
            mStageFits = mStageFits && OperationChannel(s.colourOp, s.colourArg1, s.colourArg2, c,
                                                        &mStageReads[c]);
        }
        if (s.alphaOp != D3DTOP_DISABLE) {
            mStageFits = mStageFits &&
                         OperationChannel(s.alphaOp, s.alphaArg1, s.alphaArg2, 3, &mStageReads[3]);
        }
    }
    mScratch.decodedLevel = nullptr;
}

TFastPaths::~TFastPaths() {
    TSystem& system = System();
    if (mTextured != 0) {
        system.fastTexturedTriangles.fetch_add(mTextured, std::memory_order_relaxed);
    }
    if (mFills != 0) {
        system.fastFills.fetch_add(mFills, std::memory_order_relaxed);
    }
    if (mLines != 0) {
        system.fastLines.fetch_add(mLines, std::memory_order_relaxed);
    }
}

const TPixelCodec& TFastPaths::CodecFor(const TPixelLayout& layout) {
    for (const auto& codec : mScratch.codecs) {
        if (codec->Layout() == layout) {
            return *codec;
        }
    }
    mScratch.codecs.push_back(std::make_unique<TPixelCodec>(layout));
    return *mScratch.codecs.back();
}

std::uint8_t* TFastPaths::PixelAt(int x, int y) const {
    return mTarget.Row(static_cast<DWORD>(y)) + static_cast<std::size_t>(x) * mTarget.layout.bytes;
}

bool TFastPaths::Passes(std::uint32_t argb) const {
    const TPipeState& s = mPipe.State();
    return !s.alphaTest || Compare(s.alphaFunc, argb >> 24, s.alphaRef);
}

void TFastPaths::WriteRun(std::uint8_t* out, const std::uint32_t* source, int count) const {
    if (!mPipe.State().alphaTest) {
        mWriter.Span(out, source, count);
        return;
    }
    const std::size_t bytes = mWriter.Bytes();
    for (int i = 0; i < count;) {
        if (!Passes(source[i])) {
            ++i;
            continue;
        }
        int end = i + 1;
        while (end < count && Passes(source[end])) {
            ++end;
        }
        mWriter.Span(out + static_cast<std::size_t>(i) * bytes, source + i, end - i);
        i = end;
    }
}

bool TFastPaths::Plan(const TTriangle& t, TTrianglePlan* plan) const {
    if (mPipe.State().depthTest) {
        return false;
    }
    if (!ConstantColour(t.v[0]->attr, t.v[1]->attr, t.v[2]->attr, t.flat, t.gouraud, &plan->diffuse,
                        &plan->specular)) {
        return false;
    }
    plan->textured = mPipe.Textured();
    if (!plan->textured) {
        plan->colour = PackArgb(mPipe.Combine(plan->diffuse, plan->specular, kWhite));
        plan->visible = Passes(plan->colour);
        return true;
    }
    if (!mStageFits || !mPipe.Sampler().SingleLevel(t.lod, &plan->level, &plan->filter)) {
        return false;
    }
    const double rhw = t.v[0]->rhw;
    if (t.v[1]->rhw != rhw || t.v[2]->rhw != rhw || !(std::fabs(rhw) >= kMinRhw) ||
        !(std::fabs(rhw) <= kMaxRhw)) {
        return false;
    }
    return CoordinateAlong(t, t.sx, kU, &plan->u) && CoordinateAlong(t, t.sy, kV, &plan->v);
}

bool TFastPaths::Pairs(const TTriangle& a, const TTrianglePlan& pa, const TTriangle& b,
                       const TTrianglePlan& pb) const {
    if (pa.textured != pb.textured) {
        return false;
    }
    if (!pa.textured) {
        return pa.colour == pb.colour && pa.visible == pb.visible;
    }
    // One set of tables serves both.
    return a.x0 == b.x0 && a.x1 == b.x1 && a.y0 == b.y0 && a.y1 == b.y1 &&
           SameRgba(pa.diffuse, pb.diffuse) && SameRgba(pa.specular, pb.specular) &&
           pa.level == pb.level && pa.filter == pb.filter && pa.u == pb.u && pa.v == pb.v;
}

bool TFastPaths::Triangle(const TTriangle& t) {
    TTrianglePlan plan;
    if (!Plan(t, &plan)) {
        Finish();
        return false;
    }
    ++(plan.textured ? mTextured : mFills);
    if (mHaveKept && Pairs(mKept.triangle, mKept.plan, t, plan)) {
        mHaveKept = false;
        Draw(&mKept.triangle, &t, plan);
        return true;
    }
    Finish();
    for (int i = 0; i < 3; ++i) {
        mKept.vertices[i] = *t.v[i];
    }
    std::copy(t.flat, t.flat + kAttributes, mKept.flat);
    mKept.triangle = t;
    mKept.triangle.v[0] = &mKept.vertices[0];
    mKept.triangle.v[1] = &mKept.vertices[1];
    mKept.triangle.v[2] = &mKept.vertices[2];
    mKept.triangle.flat = mKept.flat;
    mKept.plan = plan;
    mHaveKept = true;
    return true;
}

void TFastPaths::Finish() {
    if (mHaveKept) {
        mHaveKept = false;
        Draw(&mKept.triangle, nullptr, mKept.plan);
    }
}

void TFastPaths::Draw(const TTriangle* first, const TTriangle* second, const TTrianglePlan& plan) {
    if (plan.textured) {
        DrawTextured(first, second, plan);
        return;
    }
    if (!plan.visible) {
        return;
    }
    TRowSolver one(*first);
    std::optional<TRowSolver> two;
    int y0 = first->y0, y1 = first->y1;
    if (second != nullptr) {
        two.emplace(*second);
        y0 = std::min(y0, second->y0);
        y1 = std::max(y1, second->y1);
    }
    for (int y = y0; y <= y1; ++y) {
        const TRowRuns row(one, two ? &*two : nullptr, y);
        for (int i = 0; i < row.count; ++i) {
            const TRowRuns::TRun& run = row.runs[i];
            mWriter.Fill(PixelAt(run.from, y), plan.colour, run.to - run.from + 1);
        }
    }
}

bool TFastPaths::BeginLine(const TScreenVertex& from, const TScreenVertex& to, const float* flat,
                           bool gouraud) {
    if (mPipe.Textured() || mPipe.State().depthTest) {
        return false;
    }
    TRgba diffuse{}, specular{};
    if (!ConstantColour(from.attr, to.attr, to.attr, flat, gouraud, &diffuse, &specular)) {
        return false;
    }
    ++mLines;
    // Text draws many lines of one colour.
    if (!mLineKnown || !SameRgba(diffuse, mLineDiffuse) || !SameRgba(specular, mLineSpecular)) {
        mLineKnown = true;
        mLineDiffuse = diffuse;
        mLineSpecular = specular;
        mLineColour = PackArgb(mPipe.Combine(diffuse, specular, kWhite));
        mLineVisible = Passes(mLineColour);
    }
    mRunLength = 0;
    mRunY = -1;
    return true;
}

void TFastPaths::FlushRun() {
    if (mRunLength > 0 && mLineVisible) {
        mWriter.Fill(PixelAt(mRunX, mRunY), mLineColour, mRunLength);
    }
    mRunLength = 0;
}

} // namespace standin::detail
