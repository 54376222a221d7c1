#include "engine/media/minivecdraw.h"

#include "engine/core/log.h"
#include "engine/media/dxhelpers.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// Alpha of the four edge shades, in 256ths of the colour's.
constexpr int kShadeWeights[4] = {17, 40, 73, 128};
// Origins and quad corners are kept within this many pixels, far inside what floats and the
// sums with glyph positions hold exactly.
constexpr float kMaxPixels = 1 << 22;
// A quad is drawn over at most this many rows.
constexpr int64_t kMaxQuadRows = 1 << 16;

float MiniVecUnit(float v) {
    return v > 0.0f ? std::min(v, 1.0f) : 0.0f;
}

uint32_t MiniVecWithAlpha(uint32_t rgb, int alpha) {
    return static_cast<uint32_t>(alpha) << 24 | (rgb & 0x00FFFFFFu);
}

// Quarter pixels of a position, truncated toward zero.
int MiniVecQuarters(float pixels) {
    return TruncateScaled(std::clamp(pixels, -kMaxPixels, kMaxPixels) * 4.0f);
}

uint32_t MiniVecChannel(uint32_t pixel, int shift) {
    return pixel >> shift & 0xFFu;
}

// The span's colour over the pixel by their alphas; the alphas add up.
uint32_t MiniVecMerge(uint32_t span, uint32_t pixel) {
    const uint32_t a = span >> 24;
    const uint32_t v = pixel >> 24;
    const uint32_t sum = a + v;
    uint32_t out = std::min<uint32_t>(sum, 255) << 24;
    for (const int shift : {16, 8, 0}) {
        out |= (MiniVecChannel(span, shift) * a + MiniVecChannel(pixel, shift) * v) / sum << shift;
    }
    return out;
}

// The span's colour over the pixel by the span's alpha; the pixel keeps its alpha.
uint32_t MiniVecBlend(uint32_t span, uint32_t pixel) {
    const uint32_t a = span >> 24;
    uint32_t out = pixel & 0xFF000000u;
    for (const int shift : {16, 8, 0}) {
        out |= (MiniVecChannel(span, shift) * a + MiniVecChannel(pixel, shift) * (255 - a)) / 255
               << shift;
    }
    return out;
}

} // namespace

TQzMiniVecDraw::TQzMiniVecDraw() : mVertexSet(TVertexSet::FromScreenVertices(mVertices, 0)) {
    for (D3DTLVERTEX& vertex : mVertices) {
        vertex = D3DTLVERTEX{0.0f, 0.0f, 0.1f, 0.5f, 0, 0, 0.0f, 0.0f};
    }
}

TQzMiniVecDraw::~TQzMiniVecDraw() {
    if (mTarget && mPixels != nullptr) {
        mTarget->Unlock();
    }
}

void TQzMiniVecDraw::SetColor(int number, const TColor* colour, float alphaFactor) {
    if (number < 0 || number >= kColours || colour == nullptr) {
        return;
    }
    const TColor32 packed(TColor{MiniVecUnit(colour->r), MiniVecUnit(colour->g),
                                 MiniVecUnit(colour->b), MiniVecUnit(colour->a)});
    const int alpha = std::clamp(
        TruncateScaled(static_cast<float>(packed.GetA()) * std::clamp(alphaFactor, 0.0f, 1.0f)), 0,
        255);
    const uint32_t rgb = packed.value;
    TColourEntry& entry = mColours[number];
    entry.mColour = MiniVecWithAlpha(rgb, alpha);
    for (int k = 0; k < 4; ++k) {
        entry.mShades[k] = MiniVecWithAlpha(rgb, alpha * kShadeWeights[k] >> 8);
    }
    uint32_t* coverage = mCoverage[MiniVecPlaneOf(number)];
    for (int k = 0; k < kLevels; ++k) {
        coverage[k] = MiniVecWithAlpha(rgb, alpha * (k < 16 ? 16 * (k + 1) : 255) >> 8);
    }
}

void TQzMiniVecDraw::DefineColour(int number, int red, int green, int blue) {
    const TColor colour{static_cast<float>(red) / 255.0f, static_cast<float>(green) / 255.0f,
                        static_cast<float>(blue) / 255.0f, 1.0f};
    SetColor(number, &colour, 1.0f);
}

bool TQzMiniVecDraw::Begin(float x, float y, const TTexturePtr& target) {
    if (!target) {
        if (TRenderer* renderer = TRenderer::Existing()) {
            renderer->SetTexture(TTexturePtr());
        }
    }
    // Toward zero: the phase of a negative origin is negative, and DrawGlyph folds it in.
    const int quarterX = MiniVecQuarters(x);
    const int quarterY = MiniVecQuarters(y);
    mOriginX = quarterX / 4;
    mPhaseX = quarterX % 4;
    mOriginY = quarterY / 4;
    mPhaseY = quarterY % 4;
    if (target != mTarget) {
        Flush();
        mTarget = target;
        if (mTarget) {
            LockTarget();
        }
    }
    return true;
}

void TQzMiniVecDraw::DrawGlyph(const unsigned char* outline, int x, int y) {
    if (outline == nullptr) {
        return;
    }
    const int64_t quarterX = int64_t{x} + mPhaseX;
    const int64_t quarterY = int64_t{y} + mPhaseY;
    mGlyphX = quarterX >> 2;
    mGlyphY = quarterY >> 2;
    TMiniVecGlyphKey key;
    key.mOutline = outline;
    key.mPhaseX = static_cast<uint8_t>(quarterX & 3);
    key.mPhaseY = static_cast<uint8_t>(quarterY & 3);
    key.mSlant = mSlant;
    key.mScaleX = mScaleX;
    key.mScaleY = mScaleY;
    key.mStroke1 = mStrokeWidth[0];
    key.mStroke2 = mStrokeWidth[1];
    key.mCos = mRotationCos;
    key.mSin = mRotationSin;
    if (mCache.Replay(key,
                      [this](const TMiniVecSpan& span) { AddSpanLine(span, mGlyphX, mGlyphY); })) {
        ++mReplayCount;
        return;
    }
    ++mRasterCount;
    mCache.BeginRecord(key);
    const TColor transparent{0.0f, 0.0f, 0.0f, 0.0f};
    SetColor(0, &transparent, 1.0f);
    TMiniVecRasterParams params;
    params.mScaleX = mScaleX;
    params.mScaleY = mScaleY;
    params.mCos = mRotationCos;
    params.mSin = mRotationSin;
    params.mSlant = mSlant;
    params.mStrokeWidth[0] = mStrokeWidth[0];
    params.mStrokeWidth[1] = mStrokeWidth[1];
    params.mPhaseX = key.mPhaseX;
    params.mPhaseY = key.mPhaseY;
    mRaster.Run(outline, params, *this);
    mCache.EndRecord();
}

void TQzMiniVecDraw::EmitSpan(const TMiniVecSpan& span) {
    mCache.Record(span);
    AddSpanLine(span, mGlyphX, mGlyphY);
}

void TQzMiniVecDraw::AddSpanLine(const TMiniVecSpan& span, int64_t glyphX, int64_t glyphY) {
    const uint32_t colour =
        mCoverage[span.mPlane % TMiniVecDrawRaster::kPlanes][std::min<int>(span.mLevel, 31)];
    AddLine(glyphX + span.mStart, glyphX + span.mEnd, glyphY + span.mRow, colour);
}

void TQzMiniVecDraw::DrawBar(int x0, int x1, int row, int colour) {
    if (colour < 0 || colour >= kColours || x1 < x0) {
        return;
    }
    const TColourEntry& entry = mColours[colour];
    const int64_t q0 = int64_t{x0} + mPhaseX;
    const int64_t q1 = int64_t{x1} + 1 + mPhaseX;
    const int64_t p0 = q0 >> 2;
    const int64_t p1 = q1 >> 2;
    const int f0 = static_cast<int>(q0 & 3);
    const int f1 = static_cast<int>(q1 & 3);
    if (p0 == p1) {
        AddLine(p0, p0 + 1, row, entry.mShades[f1 - f0 - 1]);
        return;
    }
    int64_t full = p0;
    if (f0 != 0) {
        AddLine(p0, p0 + 1, row, entry.mShades[4 - f0 - 1]);
        full = p0 + 1;
    }
    if (full < p1) {
        AddLine(full, p1, row, entry.mColour);
    }
    if (f1 != 0) {
        AddLine(p1, p1 + 1, row, entry.mShades[f1 - 1]);
    }
}

void TQzMiniVecDraw::DrawQuad(float left, float top, float right, float bottom, int colour) {
    if (!(right > left) || !(bottom > top)) {
        return;
    }
    auto bounded = [](float v) {
        return static_cast<double>(std::clamp(v, -kMaxPixels, kMaxPixels));
    };
    const auto q0 = static_cast<int>(std::lround(bounded(left) * 4.0));
    auto q1 = static_cast<int>(std::lround(bounded(right) * 4.0));
    if (q1 <= q0) {
        q1 = q0 + 1;
    }
    const double phase = mPhaseY / 4.0;
    auto r0 = static_cast<int64_t>(std::ceil(bounded(top) + phase - 0.5));
    auto r1 = static_cast<int64_t>(std::ceil(bounded(bottom) + phase - 0.5));
    if (r1 <= r0) {
        r0 = static_cast<int64_t>(std::floor((bounded(top) + bounded(bottom)) / 2.0 + phase));
        r1 = r0 + 1;
    }
    r1 = std::min(r1, r0 + kMaxQuadRows);
    for (int64_t row = r0; row < r1; ++row) {
        DrawBar(q0, q1 - 1, static_cast<int>(row), colour);
    }
}

void TQzMiniVecDraw::SetLineOffsets(int a, int b, int c) {
    mStartOffset = static_cast<float>(a) / 4.0f - 1.0f;
    mEndOffset = static_cast<float>(b) / 4.0f - 1.0f;
    mYOffset = static_cast<float>(c) / 4.0f;
}

void TQzMiniVecDraw::AddLine(int64_t x0, int64_t x1, int64_t y, uint32_t colour) {
    if (mBatchCount + 2 > mBatchCapacity) {
        FlushBatch();
    }
    D3DTLVERTEX* v = &mVertices[mBatchCount];
    const auto row = static_cast<float>(mOriginY + y) + mYOffset;
    v[0].sx = static_cast<float>(mOriginX + x0) + mStartOffset;
    v[1].sx = static_cast<float>(mOriginX + x1) + mEndOffset;
    v[0].sy = row;
    v[1].sy = row;
    v[0].color = colour;
    v[1].color = colour;
    mBatchCount += 2;
    if (mBatchCount >= mBatchCapacity) {
        FlushBatch();
    }
}

void TQzMiniVecDraw::FlushBatch() {
    if (mBatchCount == 0) {
        return;
    }
    if (mTarget) {
        if (mPixels != nullptr) {
            WriteSpansToTarget();
        }
    } else if (TRenderer* renderer = TRenderer::Existing()) {
        mVertexSet.SetCount(mBatchCount);
        renderer->DrawVertices(D3DPT_LINELIST, mVertexSet);
    }
    mBatchCount = 0;
}

void TQzMiniVecDraw::Flush() {
    FlushBatch();
    if (!mTarget) {
        return;
    }
    if (mPixels != nullptr) {
        mTarget->Unlock();
        mPixels = nullptr;
        TPlatform* platform = TPlatform::GetInstance();
        if (TWindowManagerLink* manager =
                platform != nullptr ? platform->GetWindowManager() : nullptr) {
            manager->Invalidate();
        }
    }
    mTarget.reset();
}

void TQzMiniVecDraw::LockTarget() {
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!mTarget->Lock(&pixels, &pitch)) {
        Log("TQzMiniVecDraw::Begin: the target texture cannot be locked; nothing is drawn into it");
        return;
    }
    const TPoint surface = mTarget->GetSurfaceSize();
    mPixels = pixels;
    mPitch = pitch;
    mTargetWidth = std::min(mTarget->GetWidth(), static_cast<int>(surface.x));
    mTargetHeight = std::min(mTarget->GetHeight(), static_cast<int>(surface.y));
}

void TQzMiniVecDraw::WriteSpansToTarget() {
    for (int i = 0; i + 1 < mBatchCount; i += 2) {
        const D3DTLVERTEX& from = mVertices[i];
        const D3DTLVERTEX& to = mVertices[i + 1];
        const int row = TruncateScaled(from.sy - mYOffset);
        if (row < 0 || row >= mTargetHeight) {
            continue;
        }
        const uint32_t colour = from.color;
        if (mAlphaMerge && (colour >> 24) == 0) {
            continue;
        }
        const int start = std::max(TruncateScaled(from.sx - mStartOffset), 0);
        const int end = std::min(TruncateScaled(to.sx - mEndOffset), mTargetWidth);
        uint32_t* line = mPixels + static_cast<ptrdiff_t>(row) * mPitch;
        for (int x = start; x < end; ++x) {
            uint32_t& pixel = line[x];
            if (mAlphaMerge) {
                pixel = MiniVecMerge(colour, pixel);
            } else if (mCopyToTarget) {
                pixel = colour;
            } else {
                pixel = MiniVecBlend(colour, pixel);
            }
        }
    }
}
