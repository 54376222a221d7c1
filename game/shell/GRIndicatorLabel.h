// A pointer arrow: an image drawn turned by an angle about a pivot on it, the point "length"
// pixels right of its left edge at half height, which lands on (xc, yc) of the window. The
// tutorial's arrows turn it. Created by the type name "Label"; owned by the window tree. Main
// thread only.
#pragma once

#include "engine/media/drawdesc.h"
#include "engine/media/texture.h"
#include "engine/ui/window.h"

class GRIndicatorLabel : public TWindow {
public:
    GRIndicatorLabel();
    const char* GetClassName() const override { return "GRIndicatorLabel"; }
    bool IsKindOf(TWindowClassId id) const override;
    // The window's, then Setup from "xc", "yc", "angle", "image" and "length".
    void Init(TWindowStyle& style) override;
    // The image by the descriptor, once set up with an image.
    void Draw() override;

    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Each value is stored and the descriptor updated; the updates take effect once ready.
    virtual void Setup(int xc, int yc, float angle, const TTexturePtr& image, int length);
    void SetImage(const TTexturePtr& image);
    void SetAngle(float angle) { mAngle = angle; }
    // Rebuilds the descriptor from the values; nothing before Setup or without an image.
    void Update();

    const TDrawSpec& GetDrawSpec() const { return mSpec; }
    bool IsReady() const { return mReady; }
    float GetAngle() const { return mAngle; }
    int GetXc() const { return mXc; }
    int GetYc() const { return mYc; }
    int GetLength() const { return mLength; }
    const TTexturePtr& GetImage() const { return mImage; }

private:
    TDrawSpec mSpec;
    TTexturePtr mImage;
    bool mReady = false;
    int32_t mLength = 0;
    float mAngle = 0.0f;
    int32_t mXc = 0;
    int32_t mYc = 0;
};
