// An image window: one texture drawn at the window's top left, scaled, mirrored, faded or turned by
// a quarter turn, with the window sized to the texture. Created by the type name "Bitmap", by
// buttons for their state images and by game windows that derive from it. Owned by its parent
// window like any window. Main thread only.
#pragma once

#include "engine/system/medialink.h"
#include "engine/ui/window.h"

#include <cstdint>

class TImage : public TWindow {
public:
    enum : uint32_t {
        kFlipHorizontal = 1,
        kFlipVertical = 2,
    };

    // Opaque until an alpha or a texture with an alpha channel says otherwise.
    TImage();
    const char* GetClassName() const override { return "TImage"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TImage() override;
    // Reads "image", "mask", "scale", "alpha", "mipmap", "hflip", "vflip", "rotate", loads the
    // texture and sizes the window to it, then places the window.
    void Init(TWindowStyle& style) override;
    void Draw() override;

    // The factory function of the type name "Bitmap".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // An empty texture keeps the window's size.
    void SetImage(const TTexturePtr& texture, float scale);
    // Opaque only at exactly 1.0 over a texture without alpha channel.
    void SetAlpha(float alpha);
    void SetFlip(uint32_t bits);
    // Turned a quarter turn clockwise; the window's width and height swap.
    void SetRotated(bool on);
    TTexturePtr GetTexture() const { return mTexture; }
    float GetScale() const { return mScale; }
    float GetAlpha() const { return mAlpha; }
    uint32_t GetFlip() const { return mFlip; }
    bool IsRotated() const { return mRotated; }

private:
    // The window's size for the texture at the scale, turned when rotated.
    void FitToTexture();

    TTexturePtr mTexture;
    float mScale = 1.0f;
    float mAlpha = 1.0f;
    uint32_t mFlip = 0;
    bool mRotated = false;
};
