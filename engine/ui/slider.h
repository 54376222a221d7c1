// A slider: a value from 0 to 1 shown as a thumb on a rail drawn from three images (start, middle
// stretched, end). The player drags the thumb or clicks the rail beside it to page; the slider
// tells its parent by kSliderValChanged, kSliderMouseUp, kSliderPageUp and kSliderPageDown. Created
// by the type name "Slider". Owned by its parent window; owns its thumb as a child. Main thread
// only.
#pragma once

#include "engine/system/medialink.h"
#include "engine/ui/window.h"

class TImage;

class TSlider : public TWindow {
public:
    // Vertical until Init says otherwise; makes the thumb.
    TSlider();
    const char* GetClassName() const override { return "TSlider"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TSlider() override;
    // The window's behaviour; the first time also the orientation, the rail and thumb images, the
    // scale and the cross offset.
    void Init(TWindowStyle& style) override;
    // The rail; the thumb is a child and drawn after it.
    void Draw() override;
    bool OnMouseDown(const TPoint& point) override;
    bool OnMouseUp(const TPoint& point) override;
    bool OnMouseMove(const TPoint& point) override;
    bool OnMouseLeave() override;

    // The factory function of the type name "Slider".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    float GetValue() const { return mValue; }
    // Clamped to 0 .. 1 (not a number counts as 0); moves the thumb and, unless silent, sends
    // kSliderValChanged to the parent.
    void SetValue(float value, bool silent);
    void SetRail(const TTexturePtr& start, const TTexturePtr& middle, const TTexturePtr& end);
    void SetThumbImages(const TTexturePtr& normal, const TTexturePtr& roll);
    bool IsHorizontal() const { return mHorizontal; }
    bool IsDragging() const { return mDragging != 0; }
    int GetThickness() const { return mThickness; }
    TImage* GetThumb() const { return mThumb; }

private:
    // The size across the axis: the widest rail image or the thumb with its offset.
    void UpdateThickness();
    void PlaceThumb();
    bool OnThumb(const TPoint& point) const;
    // The thumb shows the roll image and the slider tracks the mouse, or the normal image and the
    // tracking ends.
    void Highlight(bool on);
    void TellParent(int kind);

    int mDragging = 0;
    bool mInitialised = false;
    // Owned as a child once added; owned directly before.
    TImage* mThumb = nullptr;
    TTexturePtr mThumbImage;
    TTexturePtr mThumbRollImage;
    TTexturePtr mRail[3];
    float mValue = 0.0f;
    float mScale = 1.0f;
    float mRailAlpha = 1.0f;
    int mCrossOffset = 0;
    int mThickness = 0;
    bool mHorizontal = false;
};
