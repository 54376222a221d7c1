// Laying a markup text out into runs and lines: fonts and their fallback, italic adjustment, tabs,
// the caret, wrapping, and line and block alignment.
#include "engine/core/legacylinewrap.h"
#include "engine/core/log.h"
#include "engine/media/minivecfont.h"
#include "engine/ui/fontlist.h"
#include "engine/ui/textdecode.h"
#include "engine/ui/textsprite.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace text_layout {

constexpr const char* kFallbackFont = "fonts/default.mvec";

// Rounded half away from zero, held within the int range.
int RoundToInt(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    const float rounded = std::round(value);
    if (rounded >= 2147483647.0f) {
        return INT_MAX;
    }
    if (rounded <= -2147483648.0f) {
        return INT_MIN;
    }
    return static_cast<int>(rounded);
}

// The layout's running values that a break at a blank goes back to, besides the line's width.
struct TBreakPoint {
    int pos = -1;
    float width = 0.0f;
    bool previousItalic = false;
    int pendingTab = 0;
    // The layout state before the first tag read after the blank, once one was read.
    bool stateSaved = false;
    TTextLayoutState state;
};

} // namespace text_layout

int TextQuarterToPixels(float quarters) {
    return text_layout::RoundToInt(quarters) / 4;
}

void TTextSprite::Layout() {
    using namespace text_layout;
    ++mLayoutCount;
    mLines.clear();
    TTextLayoutState& state = *mState;
    state = TTextLayoutState();
    state.fonts[0].face = mFontName;
    state.fonts[0].size = mFontSize;
    state.fonts[0].color = mColor;
    state.align[0] = -1;
    state.currentColor = mColor;
    mMinLineX = INT_MAX;
    mMaxRight = 0;
    TFontList& fonts = TFontList::Instance();
    TMiniVecFont* fallback = fonts.Get(kFallbackFont);

    const char* text = mText.CStr();
    const int length = mText.Length();
    const float cellFraction = MiniVecCellFraction();
    const float wrap = 4.0f * static_cast<float>(mWidth);
    int pos = 0;
    // Alignment of the lines from here on: set by the tag that ended the latest line.
    int lineAlign = -1;
    bool previousItalic = false;
    bool nextFallback = false;
    bool pendingCaret = false;
    int pendingTab = 0;
    bool loggedMissing = false;
    TBreakPoint blank;

    while (pos < length) {
        auto line = std::make_shared<TTextLine>();
        float width = 0.0f;
        float margin = 0.0f;
        bool firstGlyph = true;
        float firstAdjust = 0.0f;
        // What the last glyph's ink reaches past its advance: held until the next glyph.
        float takeBack = 0.0f;
        blank = TBreakPoint();
        int pad = 0;
        bool ended = false;
        bool alignEnded = false;
        int newAlign = lineAlign;

        // A caret after the last character still needs the run that draws it.
        while (!ended && (pos < length || pendingCaret)) {
            const TTextLayoutState::TFontEntry& entry = state.Font();
            TMiniVecFont* current = fonts.Get(entry.face);
            TTextRun run;
            run.fallback = nextFallback && fallback != nullptr;
            nextFallback = false;
            run.font = run.fallback ? fallback : current;
            run.size = entry.size;
            if (run.font != nullptr) {
                const float cell = run.font->GetAscent() + run.font->GetDescent();
                run.scale = cell > 0.0f
                                ? 4.0f * static_cast<float>(entry.size) * cellFraction / cell
                                : 0.0f;
                run.height = RoundToInt((run.font->GetAscent() + run.font->ComputeCellScale(true)) *
                                        run.scale / 4.0f);
            }
            run.fontColor = entry.color;
            run.bold = state.bold;
            run.italic = state.italic;
            run.underline = state.underline;
            run.caret = pendingCaret ? 1 : 0;
            pendingCaret = false;
            run.linkId = state.linkId;
            run.currentColor = state.currentColor;
            run.outlineSize = state.outlineSize;
            run.outlineColor = state.outlineColor;
            run.tabPos = pendingTab;
            pendingTab = 0;
            float italicAdjust = 0.0f;
            if ((run.italic != 0) != previousItalic && run.font != nullptr) {
                italicAdjust = run.scale / 3.0f *
                               (previousItalic ? run.font->GetAscent() : run.font->GetDescent());
                width += italicAdjust;
            }
            previousItalic = run.italic != 0;
            run.first = pos;
            run.end = pos;
            const float runStart = width;
            bool dropRun = false;

            while (pos < length) {
                if (text[pos] == '<') {
                    if (blank.pos >= 0 && !blank.stateSaved) {
                        blank.state = state;
                        blank.stateSaved = true;
                    }
                    int consumed = 0;
                    bool lineBreak = false;
                    bool caret = false;
                    bool alignChanged = false;
                    int tagPad = 0;
                    int tab = 0;
                    if (ParseTag(text + pos, length - pos, &consumed, &lineBreak, &tagPad, &caret,
                                 &alignChanged, &tab)) {
                        run.end = pos;
                        pos += consumed;
                        if (caret) {
                            width -= italicAdjust;
                            pendingCaret = true;
                        }
                        if (tab != 0) {
                            width = static_cast<float>(tab);
                            takeBack = 0.0f;
                            pendingTab = tab;
                        }
                        if (lineBreak) {
                            pad = tagPad;
                            ended = true;
                        }
                        if (alignChanged) {
                            newAlign = state.align[state.alignDepth];
                            alignEnded = true;
                            ended = true;
                        }
                        break;
                    }
                }
                uint32_t code = 0;
                int bytes = 0;
                if (!text_decode::NextCharacter(text + pos, length - pos, &code, &bytes)) {
                    pos += bytes;
                    run.end = pos;
                    continue;
                }
                if (code == '\n') {
                    pos += bytes;
                    run.end = pos;
                    ended = true;
                    break;
                }
                int index = -1;
                TMiniVecFont* font = run.font;
                if (run.fallback) {
                    if (current != nullptr && current->FindGlyph(code) >= 0) {
                        break;
                    }
                    index = fallback->FindGlyph(code);
                } else {
                    index = current != nullptr ? current->FindGlyph(code) : -1;
                    if (index < 0 && fallback != nullptr && fallback != current &&
                        fallback->FindGlyph(code) >= 0) {
                        nextFallback = true;
                        break;
                    }
                }
                if (font == nullptr && !loggedMissing) {
                    Log("ERROR: FONT missing in text when attempting to render string %s.",
                        mText.CStr());
                    loggedMissing = true;
                }
                const float widthBefore = width;
                const float takeBackBefore = takeBack;
                if (index >= 0) {
                    width -= takeBack;
                    takeBack = 0.0f;
                    if (firstGlyph) {
                        firstAdjust = 4.0f - font->GetGlyphOffsetX(index) * run.scale;
                        width += firstAdjust;
                        margin = run.outlineSize;
                    }
                    const float advance = font->GetGlyphAdvance(index) * run.scale;
                    const float extent = font->GetGlyphOffsetY(index) * run.scale;
                    if (extent > advance) {
                        width += extent;
                        takeBack = extent - advance;
                    } else {
                        width += advance;
                    }
                }
                pos += bytes;
                run.end = pos;
                if (code == ' ') {
                    blank.pos = pos;
                    blank.width = width;
                    blank.previousItalic = previousItalic;
                    blank.pendingTab = pendingTab;
                    blank.stateSaved = false;
                }
                const bool wasFirst = firstGlyph && index >= 0;
                if (index >= 0) {
                    firstGlyph = false;
                }
                if (index < 0 || width + static_cast<float>(RoundToInt(
                                             (margin + 1.0f + run.outlineSize) * 4.0f)) <=
                                     wrap) {
                    continue;
                }
                ended = true;
                if (blank.pos >= 0) {
                    // Back to the last blank: what followed it goes to the next line, laid out
                    // from the state it had there.
                    width = blank.width;
                    takeBack = 0.0f;
                    pos = blank.pos;
                    previousItalic = blank.previousItalic;
                    pendingTab = blank.pendingTab;
                    pendingCaret = false;
                    nextFallback = false;
                    if (blank.stateSaved) {
                        state = blank.state;
                    }
                    std::vector<TTextRun>& runs = line->runs;
                    runs.erase(std::remove_if(runs.begin(), runs.end(),
                                              [&](const TTextRun& r) { return r.first >= pos; }),
                               runs.end());
                    for (TTextRun& kept : runs) {
                        if (kept.end > pos) {
                            kept.end = pos;
                            kept.endX = TextQuarterToPixels(width);
                        }
                    }
                    if (run.first >= pos) {
                        dropRun = true;
                    } else {
                        run.end = pos;
                    }
                } else if (!wasFirst && !gLegacyLineWrap) {
                    width = widthBefore;
                    takeBack = takeBackBefore;
                    pos -= bytes;
                    run.end = pos;
                }
                break;
            }
            if (dropRun) {
                continue;
            }
            run.startX = TextQuarterToPixels(runStart);
            run.endX = TextQuarterToPixels(width);
            if (run.end == run.first) {
                run.size = 0;
                run.height = 0;
            }
            line->runs.push_back(run);
        }

        for (const TTextRun& run : line->runs) {
            line->height = std::max(line->height, run.size);
            line->baseline = std::max(line->baseline, run.height);
        }
        line->height += pad;
        const float lastOutline = line->runs.empty() ? 0.0f : line->runs.back().outlineSize;
        const int lineWidth = TextQuarterToPixels(width);
        int align = lineAlign;
        if (align == -1) {
            align = (mFlags & kAlignCenter) != 0 ? 1 : (mFlags & kAlignRight) != 0 ? 2 : 0;
        }
        if (align == 1) {
            line->x = mWidth / 2;
            line->offset = -static_cast<float>(lineWidth) / 2.0f;
        } else if (align == 2) {
            line->x = mWidth - RoundToInt(lastOutline) - 1;
            line->offset = -static_cast<float>(lineWidth);
        } else {
            line->x = RoundToInt(margin);
            line->offset = 0.0f;
        }
        line->offset += firstAdjust / 4.0f + 0.5f;
        const float left = static_cast<float>(line->x) + line->offset;
        mMinLineX = std::min(mMinLineX, RoundToInt(std::floor(left)));
        mMaxRight =
            std::max(mMaxRight, RoundToInt(std::floor(left + static_cast<float>(lineWidth))));
        if (alignEnded) {
            lineAlign = newAlign;
        }
        mLines.push_back(std::move(line));
    }

    if (mLines.empty()) {
        mMinLineX = 0;
    }
    int64_t total = 0;
    for (const auto& line : mLines) {
        total += line->height;
    }
    mTotalHeight = static_cast<int>(std::clamp<int64_t>(total, INT_MIN, INT_MAX));
    if ((mFlags & kAlignVCenter) != 0) {
        mAnchor = mHeight / 2;
        mStartOffset = -static_cast<float>(mTotalHeight) / 2.0f;
    } else if ((mFlags & kAlignBottom) != 0) {
        mAnchor = mHeight;
        mStartOffset = -static_cast<float>(mTotalHeight);
    } else {
        mAnchor = 0;
        mStartOffset = 0.0f;
    }
}
