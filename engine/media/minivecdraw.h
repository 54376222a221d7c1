// The process-wide rasteriser of vector glyphs (TMiniVecFont outlines). It turns a glyph into
// anti-aliased horizontal spans (TMiniVecDrawRaster), remembers the spans of every glyph it drew
// and replays them when the same glyph is drawn again (TMiniVecDrawCache), and sends spans to the
// screen as batched line lists or writes them straight into the pixels of a target texture. The
// text code sets the public drawing state and draws through Begin, DrawGlyph, DrawQuad and Flush.
// The platform record owns the one drawer: the renderer link makes it at the first display and
// runs its self-test, which adapts the span lines to the display driver's line rules. Main thread
// only.
#pragma once

#include "engine/core/color.h"
#include "engine/media/minivecdrawcache.h"
#include "engine/media/minivecdrawraster.h"
#include "engine/media/vertexset.h"
#include "engine/system/medialink.h"
#include "platform/directx/d3d.h"

#include <cstdint>

class TQzMiniVecDraw final : public TGlyphRendererLink, private TMiniVecSpanSink {
public:
    static constexpr int kColours = 256;
    static constexpr int kLevels = 32;
    static constexpr int kBatch = 256;
    // The batch after a self-test in which most cells stayed dark.
    static constexpr int kSmallBatch = 64;

    TQzMiniVecDraw();
    // Releases a target still locked, without drawing what is batched.
    ~TQzMiniVecDraw() override;
    TQzMiniVecDraw(const TQzMiniVecDraw&) = delete;
    TQzMiniVecDraw& operator=(const TQzMiniVecDraw&) = delete;

    // Chooses the line offsets by drawing probe bars into a render target and reading them back.
    // Outside frames and render targets, once the render facade has a display.
    void SelfTest();

    // Colour `number` (0 to 255; others are ignored) becomes `colour` with its alpha times
    // `alphaFactor`. Sets the colour's bar shades and its plane's coverage colours.
    void SetColor(int number, const TColor* colour, float alphaFactor);
    // Sets the origin (pixels, quarter-pixel precision) and where spans go: the screen through the
    // render facade, or the pixels of `target`, which stays locked until Flush or a Begin with
    // another target. Always true.
    bool Begin(float x, float y, const TTexturePtr& target);
    // x and y in quarter pixels from the origin. `outline` as TMiniVecFont hands it out.
    void DrawGlyph(const unsigned char* outline, int x, int y);
    // One pixel row `row` (from the origin's) of colour `colour`, from quarter x0 to quarter x1
    // (both covered; from the origin). Whole pixels take the colour; a pixel the bar covers only
    // partly takes an edge shade by the quarters covered: 1 -> shade 0 (17/256 of the alpha),
    // 2 -> shade 1 (40/256), 3 -> shade 2 (73/256). The shades lie below the linear share (a
    // quarter is 64/256), which keeps the ends of a caret or underline crisp; shade 3 (half
    // alpha) is kept with the colour but no bar end takes it.
    void DrawBar(int x0, int x1, int row, int colour);
    // A filled rectangle in pixels from the origin, as bars over the pixel rows whose centres it
    // holds (one row at least); x at quarter-pixel precision. The caret and the underline.
    void DrawQuad(float left, float top, float right, float bottom, int colour);
    // Draws what is batched; then a locked target is unlocked and released, and the window
    // manager redraws.
    void Flush();
    // Line offsets in quarter steps: start a / 4 - 1, end b / 4 - 1, y c / 4 pixels.
    void SetLineOffsets(int a, int b, int c);

    // Forgets every glyph. The cache knows outlines by address: whoever frees outlines that were
    // drawn (a font list being cleared) calls this before new ones may take their place.
    void ClearCache() { mCache.Clear(); }

    float GetStartOffset() const { return mStartOffset; }
    float GetEndOffset() const { return mEndOffset; }
    float GetYOffset() const { return mYOffset; }
    int GetBatchCapacity() const { return mBatchCapacity; }
    const TMiniVecDrawCache& GetCache() const { return mCache; }
    // Glyphs rasterised and glyphs replayed since construction.
    int GetRasterCount() const { return mRasterCount; }
    int GetReplayCount() const { return mReplayCount; }

    // The drawing state the text code sets. Scales take outline units to quarter pixels; stroke
    // widths are pixels on each side of the outline (the first 0 ends the list: colour 255 for
    // the first stroke, 254 for the second). The target modes choose how spans are written into
    // a target texture: alpha-merge, else copy, else blending over the pixels.
    float mScaleX = 1.0f;
    float mScaleY = 1.0f;
    float mRotationCos = 1.0f;
    float mRotationSin = 0.0f;
    bool mSlant = false;
    float mStrokeWidth[2] = {0.0f, 0.0f};
    bool mCopyToTarget = false;
    bool mAlphaMerge = false;

private:
    struct TColourEntry {
        // The colour at its alpha, and its four edge shades; 0xAARRGGBB.
        uint32_t mColour = 0;
        uint32_t mShades[4] = {};
    };

    void DefineColour(int number, int red, int green, int blue) override;
    void EmitSpan(const TMiniVecSpan& span) override;
    // Span `span` of the glyph at pixel (glyphX, glyphY) from the origin.
    void AddSpanLine(const TMiniVecSpan& span, int64_t glyphX, int64_t glyphY);
    // A line over pixels x0 up to x1 (not included) of row y, all from the origin.
    void AddLine(int64_t x0, int64_t x1, int64_t y, uint32_t colour);
    void FlushBatch();
    void LockTarget();
    void WriteSpansToTarget();
    // One pass of the self-test: how many cells stayed dark; whether one matched, whose offsets
    // are then in force.
    bool RunSelfTestPass(int* darkCells);

    D3DTLVERTEX mVertices[kBatch];
    int mBatchCapacity = kBatch;
    int mBatchCount = 0;
    TVertexSet mVertexSet;

    float mStartOffset = 0.25f;
    float mEndOffset = 0.25f;
    float mYOffset = 0.25f;

    int mOriginX = 0;
    int mOriginY = 0;
    int mPhaseX = 0;
    int mPhaseY = 0;

    TColourEntry mColours[kColours];
    uint32_t mCoverage[TMiniVecDrawRaster::kPlanes][kLevels] = {};

    TMiniVecDrawRaster mRaster;
    TMiniVecDrawCache mCache;
    // The glyph being rasterised, in pixels from the origin.
    int64_t mGlyphX = 0;
    int64_t mGlyphY = 0;
    int mRasterCount = 0;
    int mReplayCount = 0;

    // None: spans go to the screen. Its pixels while locked.
    TTexturePtr mTarget;
    uint32_t* mPixels = nullptr;
    int mTargetWidth = 0;
    int mTargetHeight = 0;
    int mPitch = 0;
};
