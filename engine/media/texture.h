// The image asset: every picture a window, sprite, cursor, particle or font draws. Textures are
// shared through boost shared pointers and found again by a key in the asset manager, so that one
// image file is loaded once however many objects show it. The device side (pixels on a surface)
// is the texture data, which the display handler makes and the texture owns. Main thread only.
#pragma once

#include "engine/core/asset.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/media/drawdesc.h"
#include "engine/system/medialink.h"

#include <cstdint>

class TTextureData;

class TTexture : public TAsset {
public:
    // Options of Get.
    static constexpr unsigned kMipMap = 1;
    static constexpr unsigned kForceAlpha = 2;
    static constexpr unsigned kForceNoAlpha = 4;

    static const void* ClassId();
    const char* GetClassName() const override;
    bool IsKindOf(const void* classId) const override;
    // A texture without a file (a render target, or one whose load failed) takes its key out of
    // the asset manager.
    ~TTexture() override;
    // Releases the surface before a display reset, and rebuilds it afterwards.
    void Unload() override;
    void Restore() override;

    // Draws one quad inside a 2-D block; nothing without data, outside a 2-D block or for a
    // simple texture.
    virtual void Draw(const TDrawSpec& params);
    virtual void DrawAt(float x, float y, float alpha, float scale, float rotation, uint32_t flags);
    // Copies the source rectangle (cut to the image; the whole image when null) to (x, y) of the
    // target, or of the back buffer without one. Only outside frames and render targets.
    virtual void Blit(int x, int y, const TRect* source, const TTexturePtr& target);
    virtual int GetWidth() const;
    virtual int GetHeight() const;

    bool IsSimple() const;
    bool HasAlpha() const;
    TPoint GetSurfaceSize() const;
    bool Lock(uint32_t** pixels, int* pitch);
    void Unlock();
    TTexturePtr SharedFromThis();
    // Null when the display handler could not make it.
    TTextureData* GetData() const { return mData; }

    // Empty references on failure; a texture already registered under the key is returned as it
    // is. Nothing is logged here.
    static TTexturePtr Get(const str& path, unsigned options = 0);
    static TTexturePtr GetMasked(const str& path, const str& maskPath, unsigned options = 0);
    static TTexturePtr GetSimple(const str& path);
    static TTexturePtr CreateRenderTarget(int width, int height, bool alpha);
    // A new texture registered under `key` (its target key when empty).
    static TTexturePtr Create(const str& key);
    // The live texture under `key`; empty for none, or for another kind of asset.
    static TTexturePtr Find(const str& key);

    static str MakeKey(const str& path, bool alpha, bool mipmap, bool simple);
    static str MakeMaskedKey(const str& path, const str& maskPath, bool mipmap, bool simple);
    static str MakeTargetKey(const TTexture* texture);

protected:
    TTexture();

private:
    void DeleteData();

    TTextureData* mData;
};
