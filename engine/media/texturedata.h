// The device side of a texture: one image's pixels on a surface, with the image and surface sizes
// and a flag byte, and the loader that reads a PNG or JPEG image (with an optional mask) into it.
// Surfaces are the business of the one implementation, TDxTextureData. Owned by its texture.
// Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"

#include <cstdint>

class TTextureData {
public:
    // Flag bits (bit 0x01 is never set).
    static constexpr uint8_t kAlpha = 0x02;
    // The alpha decision is taken from the image file.
    static constexpr uint8_t kAlphaFromFile = 0x04;
    static constexpr uint8_t kMipMap = 0x08;
    // A plain surface with readable pixels, never drawn nor drawn into.
    static constexpr uint8_t kSimple = 0x10;
    // Surfaces above 1024 pixels allowed.
    static constexpr uint8_t kLarge = 0x20;

    // Sides an image may have: up to kMaxSide, with kLarge up to kMaxLargeSide.
    static constexpr int kMaxSide = 1024;
    static constexpr int kMaxLargeSide = 8192;

    TTextureData() = default;
    virtual ~TTextureData() = default;
    TTextureData(const TTextureData&) = delete;
    TTextureData& operator=(const TTextureData&) = delete;

    virtual void ReleaseSurface() = 0;
    // Rebuilds the surface after a display reset: from the image files, or empty.
    virtual bool Restore() = 0;
    // `pixels`: 32-bit, bytes blue, green, red, alpha; rows `stride` pixels apart.
    virtual bool Upload(int stride, int rows, const uint32_t* pixels) = 0;
    virtual bool CreateSurface(int width, int height, bool clear) = 0;
    // Copies the source rectangle (the whole image when null) to (x, y) of the target's surface,
    // or of the back buffer without a target.
    virtual void Blit(int x, int y, const TRect* source, TTextureData* target) = 0;
    virtual void Clear() = 0;
    // Pixels as Upload takes them, valid until Unlock; the pitch is in pixels.
    virtual bool Lock(uint32_t** pixels, int* pitch) = 0;
    virtual void Unlock() = 0;

    // Reads the image at `path` (options after its last '?': "slow", "simple", "alpha",
    // "mipmap") with the optional mask (empty: none), whose red channel becomes the alpha, and
    // puts it on a new surface. The options' flags stay set even when the load fails. Logs
    // nothing.
    bool LoadImage(const str& path, const str& mask);

    // The image size plus the offsets on both sides, each rounded up to an even number.
    TPoint GetSurfaceSize() const;

    uint8_t GetFlags() const { return mFlags; }
    void SetFlags(uint8_t flags) { mFlags = flags; }
    const str& GetFileName() const { return mFileName; }
    const str& GetMaskName() const { return mMaskName; }
    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }
    int GetSurfaceWidth() const { return mSurfaceWidth; }
    int GetSurfaceHeight() const { return mSurfaceHeight; }
    int GetOffsetX() const { return mOffsetX; }
    int GetOffsetY() const { return mOffsetY; }

protected:
    // Why a load failed: a restore gives up on an image that is gone or no longer decodes, and
    // tries again later when only the surface could not be made or filled.
    enum class TLoadResult {
        kLoaded,
        // Loaded, but the pixels did not reach a surface (there was none, or the upload failed).
        kLoadedUnfilled,
        kNoImage,
        kNoSurface,
    };
    TLoadResult LoadImageFrom(const str& path, const str& mask);
    static bool Succeeded(TLoadResult result);

    // The path of the last successful load, options included; empty without a file.
    str mFileName;
    // Empty when none.
    str mMaskName;
    // The image size (without a file: the size asked for).
    int32_t mWidth = 0;
    int32_t mHeight = 0;
    int32_t mSurfaceWidth = 0;
    int32_t mSurfaceHeight = 0;
    // Half the difference between surface and image size.
    int32_t mOffsetX = 0;
    int32_t mOffsetY = 0;
    uint8_t mFlags = 0;

private:
    TLoadResult DecodeAndPlace(const str& path, const str& filePath, const str& mask);
};
