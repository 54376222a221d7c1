#include "engine/ui/image.h"

#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"

#include <cmath>

namespace {

// A texture side at the scale, rounded half up. Scripts give the scale: NaN and negative results
// give 0, huge ones the int range's end.
int ScaledSide(int pixels, float scale) {
    const double scaled = std::floor(static_cast<double>(pixels) * scale + 0.5);
    if (!(scaled > 0.0)) {
        return 0;
    }
    return scaled >= 2147483647.0 ? 2147483647 : static_cast<int>(scaled);
}

void InvalidateImage() {
    if (TWindowManager* manager = GetWindowManager()) {
        manager->Invalidate();
    }
}

} // namespace

TImage::TImage() {
    SetFlags(mFlags | kCovering);
}

TImage::~TImage() = default;

TWindow* TImage::Create() {
    return new TImage;
}

bool TImage::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void TImage::FitToTexture() {
    if (!mTexture) {
        return;
    }
    const int width = ScaledSide(mTexture->GetWidth(), mScale);
    const int height = ScaledSide(mTexture->GetHeight(), mScale);
    if (mRotated) {
        SetSize(height, width);
    } else {
        SetSize(width, height);
    }
}

void TImage::SetImage(const TTexturePtr& texture, float scale) {
    mTexture = texture;
    mScale = scale;
    FitToTexture();
    InvalidateImage();
}

void TImage::SetAlpha(float alpha) {
    mAlpha = alpha;
    const bool opaque = alpha == 1.0f && mTexture && !mTexture->HasAlpha();
    SetFlags(opaque ? mFlags | kCovering : mFlags & ~kCovering);
    InvalidateImage();
}

void TImage::SetFlip(uint32_t bits) {
    mFlip = bits;
    InvalidateImage();
}

void TImage::SetRotated(bool on) {
    if (on == mRotated) {
        return;
    }
    mRotated = on;
    FitToTexture();
    InvalidateImage();
}

void TImage::Init(TWindowStyle& style) {
    const str image = style.GetString("image", str());
    const str mask = style.GetString("mask", str());
    const auto scale = static_cast<float>(style.GetNumber("scale", 1.0));
    const bool alpha = style.GetBool("alpha", false);
    const bool mipmap = style.GetBool("mipmap", false);
    uint32_t flip = 0;
    if (style.GetBool("hflip", false)) {
        flip |= kFlipHorizontal;
    }
    if (style.GetBool("vflip", false)) {
        flip |= kFlipVertical;
    }
    mFlip = flip;
    mRotated = style.GetBool("rotate", false);
    unsigned options = 0;
    if (alpha) {
        SetFlags(mFlags & ~kCovering);
        options |= TTexture::kForceAlpha;
    }
    if (mipmap) {
        options |= TTexture::kMipMap;
    }
    TTexturePtr texture;
    if (image.Length() != 0 && mask.Length() != 0) {
        texture = TTexture::GetMasked(image, mask, options);
    } else if (image.Length() != 0) {
        texture = TTexture::Get(image, options);
    }
    SetImage(texture, scale);
    TWindow::Init(style);
}

void TImage::Draw() {
    TRenderer* renderer = TRenderer::Existing();
    if (!mTexture || renderer == nullptr) {
        return;
    }
    TRenderer2dScope pass;
    pass.mActive = renderer->Begin2d();
    TDrawSpec params(TVec2(0.0f, 0.0f), mAlpha, mScale, mFlip | TDrawSpec::kUseOrigin);
    if (mRotated) {
        // A quarter turn maps (1, 0) to (0, 1): the image would lie left of the window; moved right
        // by its turned width it fills the window.
        params.mTransform.Rotate(1.5707964f);
        params.mTransform.m[2][0] = static_cast<float>(mTexture->GetHeight()) * mScale;
    }
    mTexture->Draw(params);
}
