// A block of markup text (UTF-8 with tags in angle brackets that change font, colour, style and
// alignment, mark links and the edit caret, break lines and set tab positions), laid out into
// lines inside a wrap box and drawn through the glyph rasteriser the platform record owns. Text
// windows, the text edit, game widgets and the renderer's statistics overlay each own theirs.
// Positions along a line count in quarter pixels until they are stored. Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/core/vec.h"
#include "engine/system/windowsystemlink.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <memory>
#include <vector>

class TMiniVecFont;
class TQzMiniVecDraw;
class TTexture;

// Quarter pixels to pixels: rounded half away from zero, then divided by 4 toward zero (9.5 gives
// 2, -9.5 gives -2, 11.5 gives 3). Values beyond the int range give its ends, NaN 0.
int TextQuarterToPixels(float quarters);

// The state that tags change while a text is laid out; reset at the start of every layout.
struct TTextLayoutState {
    static constexpr int kStackSize = 32;

    struct TFontEntry {
        str face;
        int size = 0;
        TColor color{0, 0, 0, 0};
    };

    TFontEntry fonts[kStackSize];
    // Font tags open; the entry in force is that of min(depth, kStackSize - 1), so tags nested
    // deeper keep the last entry and their closing tags still match.
    int fontDepth = 0;
    uint8_t bold = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    // Entry 0 is -1: the sprite's own alignment flags. Pushed: 0 left, 1 centre, 2 right.
    int align[kStackSize] = {};
    int alignDepth = 0;
    str linkId;
    // A link's "color" when it gave one, else the font entry's colour.
    TColor currentColor{0, 0, 0, 0};
    bool linkColored = false;
    float outlineSize = 0.0f;
    TColor outlineColor{0, 0, 0, 0};

    const TFontEntry& Font() const;
    TFontEntry& Font();
};

// One stretch of a line drawn with one font and one set of attributes.
struct TTextRun {
    // Owned by the font list.
    TMiniVecFont* font = nullptr;
    // Font units to quarter pixels.
    float scale = 0.0f;
    int size = 0;
    // Pixels above the baseline.
    int height = 0;
    // The run draws glyphs that only the fallback font has.
    bool fallback = false;
    TColor fontColor{0, 0, 0, 0};
    uint8_t bold = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t caret = 0;
    // Bytes [first, end) of the text.
    int first = 0;
    int end = 0;
    // Pixels from the line start.
    int startX = 0;
    int endX = 0;
    str linkId;
    TColor currentColor{0, 0, 0, 0};
    float outlineSize = 0.0f;
    TColor outlineColor{0, 0, 0, 0};
    // Quarter pixels; 0 none.
    int tabPos = 0;
};

struct TTextLine {
    // Pixels: the largest run size, plus the pad of a "br" that ended the line.
    int height = 0;
    // The largest run height above the baseline.
    int baseline = 0;
    int x = 0;
    float offset = 0.0f;
    std::vector<TTextRun> runs;
};

class TTextSprite final : public TTextSpriteLink {
public:
    // Alignment flags.
    enum : int {
        kAlignCenter = 1,
        kAlignRight = 2,
        kAlignVCenter = 4,
        kAlignBottom = 8,
    };

    // A new sprite laid out with the text; an empty font name selects "__DEFAULT". Owned by the
    // caller; free it with Delete.
    static TTextSprite* Create(const str& text, int width, int height, int flags,
                               const str& fontName, int fontSize, const TColor& color);
    static void Delete(TTextSprite* sprite);

    // Empty, with "textspriterender" read now.
    TTextSprite();
    ~TTextSprite() override;
    TTextSprite(const TTextSprite&) = delete;
    TTextSprite& operator=(const TTextSprite&) = delete;

    // Each lays the text out again only when the value changed.
    void SetText(const str& text) override;
    // Empty is "__DEFAULT".
    void SetFont(const str& name);
    void SetFontSize(int size);
    void SetColor(const TColor& color);
    // Lays out again in every case. Angles within 0.0001 of no rotation store exactly 1 and 0.
    void SetRotation(float degrees, int originX, int originY);

    // Draws the lines with the block's top-left at `position`; lines whose bottom passes
    // `clipHeight` or lies above 0 are left out. Without a target the position is relative to the
    // current viewport and the platform's viewport scale applies. A scale that is not positive
    // draws nothing.
    void Draw(const TVec2& position, int clipHeight, float scale, int lineSpacing, float alpha,
              const boost::shared_ptr<TTexture>& target);
    void DrawInRect(const TRect& rect, float scale, int lineSpacing, float alpha,
                    const boost::shared_ptr<TTexture>& target) override;

    // Lays the text out into lines.
    void Layout();
    // Applies the tag at the start of `tag` (which holds `length` bytes from a '<') to the layout
    // state. False when the text there is no tag (no '>' before its end); otherwise `consumed` is
    // the bytes up to and including the '>' and the outputs say what the tag asks of the line
    // (`tabPos` in quarter pixels from the line start, 0 for none).
    bool ParseTag(const char* tag, int length, int* consumed, bool* lineBreak, int* pad,
                  bool* caret, bool* alignChanged, int* tabPos);

    // The bounding rectangle of the lines from the first shown one, at `scale`.
    void GetExtent(TRect* rect, float scale) const;
    // The link id of the run under a point in sprite coordinates; empty when none.
    str LinkAt(const TPoint& point, int lineSpacing) const;
    // Hovers the link under the point (none without one); true when the hovered link changed.
    bool SetHoverLink(const TPoint* point, int lineSpacing);
    // How many lines scroll out at the top when the last page is shown: the last lines that fit
    // the sprite's height, with the spacing between them, form that page.
    int GetScrollRange(float scale, int lineSpacing) const;
    int GetLineCount() const { return static_cast<int>(mLines.size()); }

    const str& GetText() const { return mText; }
    const str& GetFontName() const { return mFontName; }
    int GetFontSize() const { return mFontSize; }
    const TColor& GetColor() const { return mColor; }
    int GetFlags() const { return mFlags; }
    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }
    float GetRotationCos() const { return mRotationCos; }
    float GetRotationSin() const { return mRotationSin; }
    float GetFirstLine() const { return mFirstLine; }
    void SetFirstLine(float line) { mFirstLine = line; }
    float GetHorizontalScale() const { return mHorizontalScale; }
    void SetHorizontalScale(float scale) { mHorizontalScale = scale; }
    // The glyph rasteriser's target-writing modes for this sprite's draws.
    void SetRenderOptions(bool copy, bool alphaMerge) {
        mOptions[0] = copy ? 1 : 0;
        mOptions[1] = alphaMerge ? 1 : 0;
    }
    bool GetRenderMode() const { return mRenderMode != 0; }
    const str& GetHoverLink() const { return mHoverLink; }
    const std::vector<std::shared_ptr<TTextLine>>& GetLines() const { return mLines; }
    int GetMinLineX() const { return mMinLineX; }
    int GetMaxRight() const { return mMaxRight; }
    int GetTotalHeight() const { return mTotalHeight; }
    int GetAnchor() const { return mAnchor; }
    float GetStartOffset() const { return mStartOffset; }
    // Layouts run since construction.
    int GetLayoutCount() const { return mLayoutCount; }

private:
    class TLineBuilder;

    // One line whose top lies `top` pixels below the drawer's origin.
    void DrawLine(TQzMiniVecDraw& drawer, const TTextLine& line, float top, float scale,
                  float alpha) const;
    // First shown line as an index; lines before it are neither drawn nor measured.
    size_t FirstShown() const;

    str mText;
    std::unique_ptr<TTextLayoutState> mState;
    int mAnchor = 0;
    int mMaxRight = 0;
    int mTotalHeight = 0;
    int mWidth = 0;
    int mHeight = 0;
    float mRotationCos = 1.0f;
    float mRotationSin = 0.0f;
    int mRotationX = 0;
    int mRotationY = 0;
    uint8_t mOptions[2] = {0, 0};
    std::vector<std::shared_ptr<TTextLine>> mLines;
    int mMinLineX = 0;
    str mFontName;
    int mFontSize = 0;
    TColor mColor{0, 0, 0, 0};
    float mFirstLine = 0.0f;
    float mStartOffset = 0.0f;
    str mHoverLink;
    int mFlags = 0;
    float mHorizontalScale = 1.0f;
    uint8_t mRenderMode = 0;
    int mLayoutCount = 0;
};
