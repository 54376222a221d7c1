#include "engine/ui/textsprite.h"

#include "engine/core/settings.h"
#include "engine/media/minivecdraw.h"
#include "engine/media/minivecfont.h"
#include "engine/media/renderer.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/textdecode.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

namespace text_sprite {

constexpr const char* kDefaultFont = "__DEFAULT";

// Toward zero, held within the int range; NaN 0.
int Truncate(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0f) {
        return INT_MAX;
    }
    if (value <= -2147483648.0f) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

int QuarterPixels(float pixels) {
    const float quarters = std::round(pixels * 4.0f);
    if (!(quarters > -2147483648.0f && quarters < 2147483647.0f)) {
        return 0;
    }
    return static_cast<int>(quarters);
}

bool SameColor(const TColor& a, const TColor& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
}

// The platform's glyph rasteriser, or null before the first display.
TQzMiniVecDraw* GlyphDrawer() {
    const TPlatform* platform = TPlatform::GetInstance();
    if (platform == nullptr) {
        return nullptr;
    }
    return dynamic_cast<TQzMiniVecDraw*>(platform->GetWin32()->mGlyphRenderer);
}

} // namespace text_sprite

TTextSprite* TTextSprite::Create(const str& text, int width, int height, int flags,
                                 const str& fontName, int fontSize, const TColor& color) {
    auto* sprite = new TTextSprite;
    sprite->mFlags = flags;
    sprite->mFontName = fontName.Length() == 0 ? str(text_sprite::kDefaultFont) : fontName;
    sprite->mFontSize = fontSize;
    sprite->mColor = color;
    sprite->mWidth = width;
    sprite->mHeight = height;
    sprite->mText = text;
    sprite->Layout();
    return sprite;
}

void TTextSprite::Delete(TTextSprite* sprite) {
    delete sprite;
}

TTextSprite::TTextSprite()
    : mState(std::make_unique<TTextLayoutState>()),
      mRenderMode(GetSetting("textspriterender").ToInt() > 0 ? 1 : 0) {}

TTextSprite::~TTextSprite() = default;

void TTextSprite::SetText(const str& text) {
    if (text == mText) {
        return;
    }
    mText = text;
    Layout();
}

void TTextSprite::SetFont(const str& name) {
    const str font = name.Length() == 0 ? str(text_sprite::kDefaultFont) : name;
    if (font == mFontName) {
        return;
    }
    mFontName = font;
    Layout();
}

void TTextSprite::SetFontSize(int size) {
    if (size == mFontSize) {
        return;
    }
    mFontSize = size;
    Layout();
}

void TTextSprite::SetColor(const TColor& color) {
    if (text_sprite::SameColor(color, mColor)) {
        return;
    }
    mColor = color;
    Layout();
}

void TTextSprite::SetRotation(float degrees, int originX, int originY) {
    const double radians = static_cast<double>(degrees) * std::numbers::pi / 180.0;
    mRotationCos = static_cast<float>(std::cos(radians));
    mRotationSin = static_cast<float>(std::sin(radians));
    if (std::fabs(mRotationCos - 1.0f) < 0.0001f && std::fabs(mRotationSin) < 0.0001f) {
        mRotationCos = 1.0f;
        mRotationSin = 0.0f;
    }
    mRotationX = originX;
    mRotationY = originY;
    Layout();
}

size_t TTextSprite::FirstShown() const {
    if (!(mFirstLine > 0.0f)) {
        return 0;
    }
    const auto first = static_cast<double>(std::floor(mFirstLine));
    return first >= static_cast<double>(mLines.size()) ? mLines.size() : static_cast<size_t>(first);
}

void TTextSprite::Draw(const TVec2& position, int clipHeight, float scale, int lineSpacing,
                       float alpha, const boost::shared_ptr<TTexture>& target) {
    // Not positive (NaN included): nothing, as the render mode divides by it.
    if (!(scale > 0.0f)) {
        return;
    }
    TQzMiniVecDraw* drawer = text_sprite::GlyphDrawer();
    if (drawer == nullptr) {
        return;
    }
    TVec2 origin = position;
    if (!target) {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
        TRenderer::Instance()->GetViewport(&left, &top, &right, &bottom);
        origin.x += static_cast<float>(left);
        origin.y += static_cast<float>(top);
        float viewportScale = 1.0f;
        TPlatform::GetInstance()->GetWin32()->GetViewportScale(&viewportScale);
        scale *= viewportScale;
        if (!(scale > 0.0f && std::isfinite(scale))) {
            return;
        }
    }
    drawer->mCopyToTarget = mOptions[0] != 0;
    drawer->mAlphaMerge = mOptions[1] != 0;
    drawer->mRotationCos = mRotationCos;
    drawer->mRotationSin = mRotationSin;
    drawer->Begin(origin.x, origin.y, target);

    const auto fontSize = static_cast<float>(mFontSize);
    const float anchor = static_cast<float>(mAnchor);
    float top = mRenderMode != 0 ? (mStartOffset + anchor) / scale : scale * mStartOffset + anchor;
    top -= scale * fontSize * (mFirstLine - std::floor(mFirstLine));
    for (size_t i = FirstShown(); i < mLines.size(); ++i) {
        const TTextLine& line = *mLines[i];
        const float height = static_cast<float>(line.height);
        const float bottom = mRenderMode != 0 ? scale * top + fontSize : top + scale * height;
        if (!(bottom > static_cast<float>(clipHeight) || bottom < 0.0f)) {
            DrawLine(*drawer, line, top, scale, alpha);
        }
        top += scale * height + static_cast<float>(lineSpacing);
    }
    drawer->Flush();
    drawer->mStrokeWidth[0] = 0.0f;
    drawer->mStrokeWidth[1] = 0.0f;
    drawer->mSlant = false;
    drawer->mRotationCos = 1.0f;
    drawer->mRotationSin = 0.0f;
    drawer->mCopyToTarget = false;
    drawer->mAlphaMerge = false;
}

void TTextSprite::DrawLine(TQzMiniVecDraw& drawer, const TTextLine& line, float top, float scale,
                           float alpha) const {
    const float baseline = top + scale * static_cast<float>(line.baseline);
    const float lineX = static_cast<float>(line.x);
    const auto originX = static_cast<float>(mRotationX);
    const auto originY = static_cast<float>(mRotationY);
    const char* text = mText.CStr();
    for (const TTextRun& run : line.runs) {
        TMiniVecFont* font = run.font;
        if (font == nullptr) {
            continue;
        }
        const bool hovered = mHoverLink.Length() != 0 && mHoverLink == run.linkId;
        const TColor& color = hovered ? run.currentColor : run.fontColor;
        drawer.SetColor(1, &color, alpha);
        // Strokes: the outline first, under the bold widening; each in the next stroke colour.
        int strokes = 0;
        if (run.outlineSize != 0.0f) {
            drawer.SetColor(255, &run.outlineColor, alpha);
            drawer.mStrokeWidth[strokes++] = run.outlineSize * scale;
        }
        if (run.bold != 0 || font->GetFlag()) {
            drawer.SetColor(strokes == 0 ? 255 : 254, &color, alpha);
            drawer.mStrokeWidth[strokes++] =
                0.0125f * static_cast<float>(run.size) * scale * font->GetScale();
        }
        for (; strokes < 2; ++strokes) {
            drawer.mStrokeWidth[strokes] = 0.0f;
        }
        drawer.mSlant = run.italic != 0;

        const float runX = lineX + scale * (line.offset + static_cast<float>(run.startX));
        if (run.caret != 0) {
            const float unit = run.scale * scale / 4.0f;
            drawer.DrawQuad(runX, baseline - (font->GetAscent() + 0.5f) * unit, runX + 3.0f * unit,
                            baseline + (font->GetDescent() + 0.5f) * unit, 1);
        }
        const float step = run.scale * scale * mHorizontalScale;
        float pen = 0.0f; // quarter pixels from the run's start
        for (int at = run.first; at < run.end;) {
            uint32_t code = 0;
            int bytes = 0;
            const bool shown = text_decode::NextCharacter(text + at, run.end - at, &code, &bytes);
            at += bytes > 0 ? bytes : 1;
            if (!shown || code == '\n') {
                continue;
            }
            const int index = font->FindGlyph(code);
            if (index < 0) {
                continue;
            }
            const float glyphScale = font->GetGlyphScale(index);
            drawer.mScaleX = step * glyphScale;
            drawer.mScaleY = run.scale * scale * glyphScale;
            const float dx = runX + pen / 4.0f - originX;
            const float dy = baseline - originY;
            const float x = originX + dx * mRotationCos - dy * mRotationSin;
            const float y = originY + dx * mRotationSin + dy * mRotationCos;
            if (const unsigned char* outline = font->GetGlyphOutline(index)) {
                drawer.DrawGlyph(outline, text_sprite::QuarterPixels(x),
                                 text_sprite::QuarterPixels(y));
            }
            pen += font->GetGlyphAdvance(index) * step;
        }
        if (run.underline != 0 && pen > 0.0f) {
            drawer.DrawQuad(runX, baseline + 2.0f * scale, runX + pen / 4.0f,
                            baseline + 2.75f * scale, 1);
        }
    }
}

void TTextSprite::DrawInRect(const TRect& rect, float scale, int lineSpacing, float alpha,
                             const boost::shared_ptr<TTexture>& target) {
    // The caller's reference may be the last one and be dropped while we draw.
    const boost::shared_ptr<TTexture> held = target;
    Draw(TVec2(static_cast<float>(rect.left), static_cast<float>(rect.top)), rect.bottom - rect.top,
         scale, lineSpacing, alpha, held);
}

void TTextSprite::GetExtent(TRect* rect, float scale) const {
    using text_sprite::Truncate;
    int left = INT_MAX;
    int right = 0;
    for (size_t i = FirstShown(); i < mLines.size(); ++i) {
        const TTextLine& line = *mLines[i];
        if (line.runs.empty()) {
            continue;
        }
        const float x = static_cast<float>(line.x);
        left = std::min(left, Truncate(scale * static_cast<float>(line.runs.front().startX) + x +
                                       scale * line.offset));
        right = std::max(right, Truncate(scale * static_cast<float>(line.runs.back().endX) + x +
                                         scale * line.offset));
    }
    rect->left = left == INT_MAX ? 0 : left;
    rect->right = right;
    rect->top = Truncate(static_cast<float>(mAnchor) + scale * mStartOffset);
    rect->bottom = rect->top + Truncate(scale * static_cast<float>(mTotalHeight));
}

str TTextSprite::LinkAt(const TPoint& point, int lineSpacing) const {
    const auto spacing = static_cast<float>(lineSpacing);
    const auto px = static_cast<float>(point.x);
    const auto py = static_cast<float>(point.y);
    float top = static_cast<float>(mAnchor) + mStartOffset;
    for (size_t i = FirstShown(); i < mLines.size(); ++i) {
        const TTextLine& line = *mLines[i];
        const auto height = static_cast<float>(line.height);
        if (py >= top - spacing && py < top + height) {
            const float x = static_cast<float>(line.x) + line.offset;
            for (const TTextRun& run : line.runs) {
                if (x + static_cast<float>(run.startX) <= px &&
                    px < x + static_cast<float>(run.endX)) {
                    return run.linkId;
                }
            }
            return str();
        }
        top += height + spacing;
    }
    return str();
}

bool TTextSprite::SetHoverLink(const TPoint* point, int lineSpacing) {
    const str link = point != nullptr ? LinkAt(*point, lineSpacing) : str();
    if (link == mHoverLink) {
        return false;
    }
    mHoverLink = link;
    return true;
}

int TTextSprite::GetScrollRange(float scale, int lineSpacing) const {
    // The spacing falls between lines only, and the line that no longer fits is not shown: the
    // draw leaves out a line that reaches past the bottom, so a page counted with it would lose
    // the last line of the text.
    float sum = -scale * static_cast<float>(lineSpacing);
    for (int i = static_cast<int>(mLines.size()) - 1; i >= 0; --i) {
        sum += scale * static_cast<float>(lineSpacing + mLines[static_cast<size_t>(i)]->height);
        if (sum > static_cast<float>(mHeight)) {
            // A last line taller than the sprite still comes first rather than nothing.
            return std::min(i + 1, static_cast<int>(mLines.size()) - 1);
        }
    }
    return 0;
}
