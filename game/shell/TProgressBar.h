// The progress bar of the window type "ProgressBar": a background image with a foreground image
// over it that shows as much of its width as the value fills of the range. Owned by its parent
// window; owns its two images. Main thread only.
#pragma once

#include "engine/system/medialink.h"
#include "game/shell/TCustomProgressBar.h"

class TImage;

class TProgressBar : public TCustomProgressBar {
public:
    // Makes the two images.
    TProgressBar();
    const char* GetClassName() const override { return "TProgressBar"; }
    bool IsKindOf(TWindowClassId id) const override;
    // Takes the images out of the children and deletes them.
    ~TProgressBar() override;
    // Once only: the images "Background" and "Foreground", the foreground's offset "dX", "dY"; a
    // bar without a size takes the background's; then the range and value.
    void Init(TWindowStyle& style) override;
    // The foreground, as wide as the value's share of the bar, at its offset.
    void Update() override;

    // The factory function of the type name "ProgressBar".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Layer 0 is the background, 1 the foreground; false for any other layer.
    bool SetLayerTexture(int layer, const TTexturePtr& texture);
    TImage* GetBackground() const { return mBackground; }
    TImage* GetForeground() const { return mForeground; }

private:
    // Owned; children once initialised.
    TImage* mBackground;
    TImage* mForeground;
    float mOffsetX = 0.0f;
    float mOffsetY = 0.0f;
};
