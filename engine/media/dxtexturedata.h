// Texture data on a DirectDraw 7 surface, the one implementation of TTextureData. It decides how a
// surface is made (through the Direct3D utility library for ordinary textures, as a plain surface
// for simple ones, with fall-backs when memory or formats run short), converts 32-bit pixels to
// and from the surface's format, copies to the back buffer and rebuilds its surface after a
// display reset. The display handler makes one for every texture; the texture owns it. Main
// thread only.
#pragma once

#include "engine/media/texturedata.h"
#include "platform/directx/d3d.h"
#include "platform/directx/ddraw.h"

#include <cstdint>
#include <memory>

// Forgets the alpha pixel format chosen for plain texture surfaces, so that the next one chooses
// it again from the device's formats. Every new display forgets it too.
void ForgetTexturePixelFormat();

class TDxTextureData final : public TTextureData {
public:
    TDxTextureData() = default;
    ~TDxTextureData() override;

    void ReleaseSurface() override;
    // From the image files when the data has them, else an empty surface of the same size. A
    // failure to make the surface marks the display lost (at most every 250 ms), so that it
    // tries again; an image that is gone or no longer decodes fails for good.
    bool Restore() override;
    // Managed surfaces take the whole buffer; others the image area, converted to their format.
    bool Upload(int stride, int rows, const uint32_t* pixels) override;
    // A failed creation still counts as done while the display is not ready: the next restore
    // makes the surface.
    bool CreateSurface(int width, int height, bool clear) override;
    void Blit(int x, int y, const TRect* source, TTextureData* target) override;
    void Clear() override;
    // An A8R8G8B8 surface hands out its own memory; any other a converted copy that Unlock
    // writes back.
    bool Lock(uint32_t** pixels, int* pitch) override;
    void Unlock() override;

    // Reads the image area (cut to `stride` x `rows`) into `pixels`: each channel's top bit goes
    // to bit 7 of its byte; alpha is 255 when the data has no alpha.
    bool ReadPixels(uint32_t* pixels, int stride, int rows);

    // Null while released; the data keeps its reference.
    IDirectDrawSurface7* GetSurface() const { return mSurface; }
    bool IsManaged() const { return mManaged; }

    // The name cut at its first '?' exists, or exists with ".png" or ".jpg" appended.
    static bool ImageFileExists(const str& name);

private:
    // Plain surfaces, with and without alpha; each answers the result of its last attempt.
    HRESULT CreatePlainSurface(IDirectDraw7* directDraw, DDSURFACEDESC2 desc);
    HRESULT CreateAlphaSurface(IDirectDraw7* directDraw, IDirect3DDevice7* device,
                               const DDSURFACEDESC2& display, DDSURFACEDESC2 desc);
    HRESULT CreateManagedSurface(IDirect3DDevice7* device, DWORD displayBits, int width, int height,
                                 int askedWidth, int askedHeight);
    void ReadSurfaceSize();
    // Unscaled, waiting; a failure other than a loss is logged once and retried through GDI.
    void BlitFast(IDirectDrawSurface7* target, int x, int y, const RECT& source);
    void BlitToScreen(int x, int y, const RECT& source);

    // Owned reference.
    IDirectDrawSurface7* mSurface = nullptr;
    // -1 (every level) for a mip-mapped managed surface, else 0.
    int32_t mMipLevel = 0;
    // Made by the utility library: uploads go through it.
    bool mManaged = false;
    // The copy Lock handed out for a surface that is not A8R8G8B8.
    std::unique_ptr<uint32_t[]> mLockCopy;
};
