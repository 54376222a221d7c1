// A text window: a block of markup text laid out by the text sprite it owns, drawn into the
// window, with the links of the text pressing the buttons they name. Created by the type name
// "Text", by dialogs for button labels and by game windows that derive from it (fly texts, the
// text edit). A text window that had no size at Init has no sprite and shows nothing. Owned by
// its parent window like any window. Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/ui/window.h"

class TTextSprite;

class TText : public TWindow {
public:
    TText();
    const char* GetClassName() const override { return "TText"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TText() override;
    // Reads the font table, the label (translated while the window script asks for it), the
    // layout flags, the padding and the rotation, places the window and lays the label out in it.
    void Init(TWindowStyle& style) override;
    void Draw() override;
    // A press on a link remembers it; the release over the same link presses the button it names.
    bool OnMouseDown(const TPoint& point) override;
    bool OnMouseUp(const TPoint& point) override;
    // Highlights the link under the mouse, tracking the mouse while one is highlighted.
    bool OnMouseMove(const TPoint& point) override;
    bool OnMouseLeave() override;
    // Scrolls the text: 0 shows it from its first line, 1 shows its last page, values between
    // move the first shown line in proportion; others are held to 0..1. Nothing without a sprite.
    void SetScroll(float factor, int unused) override;
    // Slot 28: lays the text out again when it changed; nothing without a sprite.
    virtual void SetText(const str& text);
    // Slot 29: the shown text; empty without a sprite.
    virtual str GetText() const;

    // The factory function of the type name "Text".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Makes the sprite (replacing an old one) and sizes the window to the box; false, with
    // nothing made, when the box has no width or height.
    bool CreateSprite(const str& text, int width, int height, int flags, const str& fontName,
                      int fontSize, const TColor& color);
    // Nothing without a sprite.
    void SetColor(const TColor& color);
    void SetRotation(float degrees, int originX, int originY);
    // The bounding rectangle of the laid-out text at scale 1; empty without a sprite.
    TRect GetTextExtent() const;
    TTextSprite* GetSprite() const { return mSprite; }
    const str& GetPendingLink() const { return mPendingLink; }
    int GetPadding() const { return mPadding; }
    // Set by scripts through the game's SetUnderlineDistance; the layout draws underlines at its
    // own fixed distance below the baseline.
    void SetUnderlineDistance(int distance) { mUnderlineDistance = distance; }
    int GetUnderlineDistance() const { return mUnderlineDistance; }

protected:
    // Owned; null until Init or CreateSprite made it.
    TTextSprite* mSprite = nullptr;
    // The sprite's draw scale and alpha; derived windows animate them.
    float mDrawScale = 1.0f;
    float mDrawAlpha = 1.0f;
    // The margin for drawing and for finding links.
    int mPadding = 0;
    int mUnderlineDistance = 0;
    str mPendingLink;
};
