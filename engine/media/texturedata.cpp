#include "engine/media/texturedata.h"

#include "engine/core/file.h"
#include "engine/media/imageload.h"
#include "engine/media/renderer.h"

#include <cstddef>

namespace {

bool ContainsText(const str& text, const char* needle) {
    return text.Find(needle) >= 0;
}

// A decoded image and the decoder that has to release it.
struct TImagePixels {
    TImagePixels() = default;
    ~TImagePixels() { Release(); }
    TImagePixels(const TImagePixels&) = delete;
    TImagePixels& operator=(const TImagePixels&) = delete;

    void Release() {
        if (mPng) {
            FreePngPixels(mPixels);
        } else {
            FreeJpegPixels(mPixels);
        }
        mPixels = nullptr;
    }

    uint32_t* mPixels = nullptr;
    bool mPng = false;
    int mWidth = 0;
    int mHeight = 0;
    int mSide = 0;
    bool mHasAlpha = false;
};

// Decodes by the name: ".png" anywhere in it first, then ".jpg". False for neither.
bool DecodeImageFile(const str& path, int maxSide, TImagePixels* image) {
    if (ContainsText(path, ".png")) {
        image->mPng = true;
        return LoadPngImage(path, maxSide, &image->mPixels, &image->mWidth, &image->mHeight,
                            &image->mSide, &image->mHasAlpha);
    }
    if (ContainsText(path, ".jpg")) {
        image->mPng = false;
        return LoadJpegImage(path, maxSide, &image->mPixels, &image->mWidth, &image->mHeight,
                             &image->mSide);
    }
    return false;
}

int SurfaceSideFor(int value) {
    int power = 1;
    while (power < value && power < (1 << 30)) {
        power *= 2;
    }
    return power;
}

} // namespace

bool TTextureData::Succeeded(TLoadResult result) {
    return result == TLoadResult::kLoaded || result == TLoadResult::kLoadedUnfilled;
}

bool TTextureData::LoadImage(const str& path, const str& mask) {
    return Succeeded(LoadImageFrom(path, mask));
}

TTextureData::TLoadResult TTextureData::LoadImageFrom(const str& path, const str& mask) {
    str filePath = path;
    str options;
    const int question = path.FindChar('?', str::kBackward);
    if (question >= 0) {
        filePath = path.Substr(0, question);
        options = path.Substr(question);
        if (ContainsText(options, "slow")) {
            mFlags |= kSimple | kLarge;
        }
        if (ContainsText(options, "simple")) {
            mFlags |= kSimple;
        }
        if (ContainsText(options, "alpha")) {
            mFlags = static_cast<uint8_t>((mFlags & ~kAlphaFromFile) | kAlpha);
        }
        if (ContainsText(options, "mipmap")) {
            mFlags |= kMipMap;
        }
    }

    if (!EngineFileExists(filePath)) {
        if (ContainsText(filePath, ".png") || ContainsText(filePath, ".jpg")) {
            return TLoadResult::kNoImage;
        }
        const TLoadResult png = LoadImageFrom(filePath + ".png" + options, mask);
        if (Succeeded(png)) {
            return png;
        }
        const TLoadResult jpg = LoadImageFrom(filePath + ".jpg" + options, mask);
        // An image that is there but found no surface outweighs one that is not there.
        return jpg == TLoadResult::kNoImage ? png : jpg;
    }
    return DecodeAndPlace(path, filePath, mask);
}

TTextureData::TLoadResult TTextureData::DecodeAndPlace(const str& path, const str& filePath,
                                                       const str& mask) {
    // Refused from the header, before a pixel buffer is made.
    const int maxSide = (mFlags & kLarge) != 0 ? kMaxLargeSide : kMaxSide;
    TImagePixels image;
    if (!DecodeImageFile(filePath, maxSide, &image)) {
        return TLoadResult::kNoImage;
    }
    if (image.mPng && (mFlags & kAlphaFromFile) != 0) {
        mFlags = image.mHasAlpha ? (mFlags | kAlpha) : static_cast<uint8_t>(mFlags & ~kAlpha);
    }

    if (mask.Length() != 0) {
        if (!EngineFileExists(mask)) {
            image.Release();
            if (ContainsText(mask, ".png") || ContainsText(mask, ".jpg")) {
                return TLoadResult::kNoImage;
            }
            const TLoadResult jpg = LoadImageFrom(filePath, mask + ".jpg");
            if (Succeeded(jpg)) {
                return jpg;
            }
            const TLoadResult png = LoadImageFrom(filePath, mask + ".png");
            return png == TLoadResult::kNoImage ? jpg : png;
        }
        // Only a mask of the image's side is used, so a larger one is refused unread, and then
        // ignored like any other of another side.
        TImagePixels maskImage;
        const bool named = ContainsText(mask, ".png") || ContainsText(mask, ".jpg");
        if (named && !DecodeImageFile(mask, image.mSide, &maskImage) &&
            maskImage.mWidth <= image.mSide && maskImage.mHeight <= image.mSide) {
            return TLoadResult::kNoImage;
        }
        if (maskImage.mPixels != nullptr && maskImage.mSide == image.mSide) {
            const auto* from = reinterpret_cast<const uint8_t*>(maskImage.mPixels);
            auto* to = reinterpret_cast<uint8_t*>(image.mPixels);
            const size_t count =
                static_cast<size_t>(image.mSide) * static_cast<size_t>(image.mSide);
            for (size_t i = 0; i < count; ++i) {
                to[4 * i + 3] = from[4 * i + 2];
            }
        }
    }

    const int width = image.mSide;
    const bool square = (mFlags & kSimple) == 0 && TRenderer::Existing() != nullptr &&
                        TRenderer::Existing()->NeedsSquareTextures();
    const int height = square ? image.mSide : SurfaceSideFor(image.mHeight);
    if ((width > kMaxSide || height > kMaxSide) && (mFlags & kLarge) == 0) {
        return TLoadResult::kNoImage;
    }
    if (!CreateSurface(width, height, false)) {
        return TLoadResult::kNoSurface;
    }
    mOffsetX = (width - image.mWidth) / 2;
    mOffsetY = (height - image.mHeight) / 2;
    mWidth = image.mWidth;
    mHeight = image.mHeight;
    const bool filled = Upload(image.mSide, height, image.mPixels);
    image.Release();
    if (mask.Length() != 0) {
        mMaskName = mask;
    }
    mFileName = path;
    return filled ? TLoadResult::kLoaded : TLoadResult::kLoadedUnfilled;
}

TPoint TTextureData::GetSurfaceSize() const {
    const int width = mWidth + 2 * mOffsetX;
    const int height = mHeight + 2 * mOffsetY;
    return TPoint{(width + 1) & ~1, (height + 1) & ~1};
}
