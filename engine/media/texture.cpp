#include "engine/media/texture.h"

#include "engine/core/assetmanager.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/renderer.h"
#include "engine/media/texturedata.h"

#include <algorithm>
#include <cstdint>

const void* TTexture::ClassId() {
    return reinterpret_cast<const void*>(&TTexture::ClassId);
}

const char* TTexture::GetClassName() const {
    return "TTexture";
}

bool TTexture::IsKindOf(const void* classId) const {
    return classId == ClassId() || TAsset::IsKindOf(classId);
}

TTexture::TTexture() {
    TDxDisplayHandler* handler = TDxDisplayHandler::Instance();
    mData = handler != nullptr ? handler->CreateTextureData() : nullptr;
}

TTexture::~TTexture() {
    if (mData != nullptr && mData->GetFileName().Length() == 0) {
        if (TAssetManager* assets = GetAssetManager()) {
            assets->Remove(MakeTargetKey(this));
        }
    }
    DeleteData();
}

void TTexture::DeleteData() {
    delete mData;
    mData = nullptr;
}

void TTexture::Unload() {
    if (mData != nullptr) {
        mData->ReleaseSurface();
    }
}

void TTexture::Restore() {
    if (mData != nullptr) {
        mData->Restore();
    }
}

void TTexture::Draw(const TDrawSpec& params) {
    TRenderer* renderer = TRenderer::Existing();
    if (mData == nullptr || renderer == nullptr || !renderer->IsIn2d() || IsSimple()) {
        return;
    }
    const TRect source = (params.mFlags & TDrawSpec::kUseSrcRect) != 0
                             ? params.mSrcRect
                             : TRect{0, 0, mData->GetWidth(), mData->GetHeight()};
    const float w = static_cast<float>(source.right - source.left);
    const float h = static_cast<float>(source.bottom - source.top);
    const TVec2 first = (params.mFlags & TDrawSpec::kUseOrigin) != 0
                            ? TVec2(-params.mOrigin.x, -params.mOrigin.y)
                            : TVec2(-w / 2.0f, -h / 2.0f);
    TVec2 corners[4] = {first, TVec2(first.x + w, first.y), TVec2(first.x + w, first.y + h),
                        TVec2(first.x, first.y + h)};
    // The texture coordinates stay with the corner numbers: the image shows mirrored.
    if ((params.mFlags & TDrawSpec::kFlipY) != 0) {
        std::swap(corners[0].y, corners[2].y);
        std::swap(corners[1].y, corners[3].y);
    }
    if ((params.mFlags & TDrawSpec::kFlipX) != 0) {
        std::swap(corners[0].x, corners[1].x);
        std::swap(corners[2].x, corners[3].x);
    }
    const float surfaceWidth = static_cast<float>(mData->GetSurfaceWidth());
    const float surfaceHeight = static_cast<float>(mData->GetSurfaceHeight());
    const TVec2 uv0(static_cast<float>(source.left) / surfaceWidth,
                    static_cast<float>(source.top) / surfaceHeight);
    const TVec2 uv1(static_cast<float>(source.right) / surfaceWidth,
                    static_cast<float>(source.bottom) / surfaceHeight);
    D3DLVERTEX vertices[4];
    BuildQuadVertices(TVec2(0.0f, 0.0f), vertices, corners, uv0, uv1, params.mTransform,
                      params.mAlpha, params.mColor);
    renderer->SetTexture(SharedFromThis());
    if (params.mBlendMode != -1) {
        renderer->SetBlendMode(params.mBlendMode);
    }
    renderer->DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(vertices, 4));
}

void TTexture::DrawAt(float x, float y, float alpha, float scale, float rotation, uint32_t flags) {
    TRenderer* renderer = TRenderer::Existing();
    if (mData == nullptr || renderer == nullptr || !renderer->IsIn2d()) {
        return;
    }
    TDrawSpec params(TVec2(x, y), alpha, scale, flags);
    params.mTransform.Rotate(rotation);
    Draw(params);
}

void TTexture::Blit(int x, int y, const TRect* source, const TTexturePtr& target) {
    TRenderer* renderer = TRenderer::Existing();
    if (mData == nullptr || (renderer != nullptr && renderer->IsDrawing())) {
        return;
    }
    TRect cut{0, 0, mData->GetWidth(), mData->GetHeight()};
    if (source != nullptr) {
        cut = TRect{std::max(source->left, 0), std::max(source->top, 0),
                    std::min(source->right, mData->GetWidth()),
                    std::min(source->bottom, mData->GetHeight())};
    }
    mData->Blit(x, y, &cut, target ? target->GetData() : nullptr);
}

int TTexture::GetWidth() const {
    return mData != nullptr ? mData->GetWidth() : 0;
}

int TTexture::GetHeight() const {
    return mData != nullptr ? mData->GetHeight() : 0;
}

bool TTexture::IsSimple() const {
    return mData != nullptr && (mData->GetFlags() & TTextureData::kSimple) != 0;
}

bool TTexture::HasAlpha() const {
    return mData != nullptr && (mData->GetFlags() & TTextureData::kAlpha) != 0;
}

TPoint TTexture::GetSurfaceSize() const {
    return mData != nullptr ? mData->GetSurfaceSize() : TPoint{0, 0};
}

bool TTexture::Lock(uint32_t** pixels, int* pitch) {
    return mData != nullptr && mData->Lock(pixels, pitch);
}

void TTexture::Unlock() {
    if (mData != nullptr) {
        mData->Unlock();
    }
}

TTexturePtr TTexture::SharedFromThis() {
    return boost::static_pointer_cast<TTexture>(shared_from_this());
}

str TTexture::MakeKey(const str& path, bool alpha, bool mipmap, bool simple) {
    str key = path;
    key.Replace("\\", "/", str::kAll);
    if (alpha) {
        key += ":a";
    }
    if (mipmap) {
        key += ":m";
    }
    if (simple) {
        key += ":s";
    }
    key += ":tex";
    return key;
}

str TTexture::MakeMaskedKey(const str& path, const str& maskPath, bool mipmap, bool simple) {
    str key = path + ":" + maskPath;
    if (mipmap) {
        key += ":m";
    }
    if (simple) {
        key += ":s";
    }
    key += ":tex";
    return key;
}

str TTexture::MakeTargetKey(const TTexture* texture) {
    // The whole address: two live targets never share a key.
    return str::FromFormat(
        "%llx:tex:r", static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(texture)));
}

TTexturePtr TTexture::Create(const str& key) {
    TTexturePtr texture(new TTexture);
    if (TAssetManager* assets = GetAssetManager()) {
        assets->Add(key.Length() == 0 ? MakeTargetKey(texture.get()) : key, texture);
    }
    return texture;
}

TTexturePtr TTexture::Find(const str& key) {
    TAssetManager* assets = GetAssetManager();
    if (assets == nullptr) {
        return TTexturePtr();
    }
    const TAssetPtr asset = assets->Find(key);
    // Other asset kinds may sit under a name that ends like a texture key.
    if (!asset || !asset->IsKindOf(ClassId())) {
        return TTexturePtr();
    }
    return boost::static_pointer_cast<TTexture>(asset);
}

namespace {

// The live texture under `key`, or a new one whose fresh data takes `flags` and loads `path`
// (with `mask`); empty when the load fails.
TTexturePtr FindOrLoad(const str& key, const str& path, const str& mask, uint8_t flags) {
    if (TTexturePtr found = TTexture::Find(key)) {
        return found;
    }
    TTexturePtr texture = TTexture::Create(key);
    TTextureData* data = texture->GetData();
    if (data == nullptr) {
        return TTexturePtr();
    }
    data->SetFlags(flags);
    if (!data->LoadImage(path, mask)) {
        return TTexturePtr();
    }
    return texture;
}

} // namespace

TTexturePtr TTexture::Get(const str& path, unsigned options) {
    const bool alpha = (options & kForceAlpha) != 0;
    const bool mipmap = (options & kMipMap) != 0;
    // Without either alpha option the image file decides.
    uint8_t flags = alpha                            ? TTextureData::kAlpha
                    : (options & kForceNoAlpha) != 0 ? 0
                                                     : TTextureData::kAlphaFromFile;
    if (mipmap) {
        flags |= TTextureData::kMipMap;
    }
    return FindOrLoad(MakeKey(path, alpha, mipmap, false), path, str(), flags);
}

TTexturePtr TTexture::GetMasked(const str& path, const str& maskPath, unsigned options) {
    const bool mipmap = (options & kMipMap) != 0;
    const uint8_t flags = TTextureData::kAlpha | (mipmap ? TTextureData::kMipMap : 0);
    return FindOrLoad(MakeMaskedKey(path, maskPath, mipmap, false), path, maskPath, flags);
}

TTexturePtr TTexture::GetSimple(const str& path) {
    return FindOrLoad(MakeKey(path, false, false, true), path, str(),
                      TTextureData::kSimple | TTextureData::kAlphaFromFile);
}

TTexturePtr TTexture::CreateRenderTarget(int width, int height, bool alpha) {
    TTexturePtr texture = Create(str());
    TTextureData* data = texture->GetData();
    if (data == nullptr) {
        return TTexturePtr();
    }
    data->SetFlags(alpha ? TTextureData::kAlpha : 0);
    if (!data->CreateSurface(width, height, true)) {
        return TTexturePtr();
    }
    return texture;
}
