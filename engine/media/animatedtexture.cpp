#include "engine/media/animatedtexture.h"

#include "engine/core/assetmanager.h"
#include "engine/core/file.h"
#include "engine/core/matrix.h"
#include "engine/media/texturedata.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

// Frame rectangles come from files: their sums may not fit 32 bits.
int32_t SaturatedSum(int32_t a, int32_t b) {
    const int64_t sum = static_cast<int64_t>(a) + static_cast<int64_t>(b);
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

TRect FrameRect(const TAnimFrame& frame) {
    return TRect{frame.mX, frame.mY, SaturatedSum(frame.mX, frame.mW),
                 SaturatedSum(frame.mY, frame.mH)};
}

// The folder part of a path, up to and including its last separator.
str FolderOf(const str& path) {
    const int slash =
        std::max(path.FindChar('/', str::kBackward), path.FindChar('\\', str::kBackward));
    return slash < 0 ? str() : path.Substr(0, slash + 1);
}

} // namespace

const void* TAnimatedTexture::ClassId() {
    return reinterpret_cast<const void*>(&TAnimatedTexture::ClassId);
}

const char* TAnimatedTexture::GetClassName() const {
    return "TAnimatedTexture";
}

bool TAnimatedTexture::IsKindOf(const void* classId) const {
    return classId == ClassId() || TTexture::IsKindOf(classId);
}

const TAnimFrame* TAnimatedTexture::CurrentFrame() const {
    const int32_t index = mAnim.mCurrentFrame;
    if (index < 0 || static_cast<size_t>(index) >= mAnim.mFrames.size()) {
        return nullptr;
    }
    return &mAnim.mFrames[static_cast<size_t>(index)];
}

void TAnimatedTexture::Draw(const TDrawSpec& params) {
    const TAnimFrame* frame = CurrentFrame();
    if (frame == nullptr) {
        return;
    }
    TDrawSpec copy = params;
    if ((copy.mFlags & TDrawSpec::kUseOrigin) == 0) {
        copy.mFlags |= TDrawSpec::kUseOrigin;
        // In floating point: the registration point and the size come from the file.
        const float regX = static_cast<float>(frame->mRegX);
        const float regY = static_cast<float>(frame->mRegY);
        copy.mOrigin = TVec2(
            (copy.mFlags & TDrawSpec::kFlipX) != 0 ? static_cast<float>(frame->mW) - regX : regX,
            (copy.mFlags & TDrawSpec::kFlipY) != 0 ? static_cast<float>(frame->mH) - regY : regY);
    }
    if (frame->HasTransform()) {
        const float* t = frame->mTransform;
        const TMat3 own(t[0], t[1], 0.0f, t[2], t[3], 0.0f, t[4], t[5], 1.0f);
        copy.mTransform = own * copy.mTransform;
    }
    const TRect whole = FrameRect(*frame);
    if ((copy.mFlags & TDrawSpec::kUseSrcRect) != 0) {
        const TRect moved{SaturatedSum(copy.mSrcRect.left, frame->mX),
                          SaturatedSum(copy.mSrcRect.top, frame->mY),
                          SaturatedSum(copy.mSrcRect.right, frame->mX),
                          SaturatedSum(copy.mSrcRect.bottom, frame->mY)};
        copy.mSrcRect.Intersect(moved, whole);
    } else {
        copy.mFlags |= TDrawSpec::kUseSrcRect;
        copy.mSrcRect = whole;
    }
    // A frame of width 0, or a source rectangle outside the frame: the quad would show pixels
    // from beside the frame, or mirrored ones.
    if (copy.mSrcRect.right <= copy.mSrcRect.left || copy.mSrcRect.bottom <= copy.mSrcRect.top) {
        return;
    }
    copy.mAlpha *= frame->mAlpha;
    TTexture::Draw(copy);
}

void TAnimatedTexture::DrawAt(float x, float y, float alpha, float scale, float rotation,
                              uint32_t flags) {
    // Draw tests the 2-D block itself.
    if (GetData() == nullptr) {
        return;
    }
    TDrawSpec params(TVec2(x, y), alpha, scale, flags);
    params.mTransform.Rotate(rotation);
    Draw(params);
}

int TAnimatedTexture::GetWidth() const {
    const TAnimFrame* frame = CurrentFrame();
    return frame != nullptr ? frame->mW : 0;
}

int TAnimatedTexture::GetHeight() const {
    const TAnimFrame* frame = CurrentFrame();
    return frame != nullptr ? frame->mH : 0;
}

TRect TAnimatedTexture::GetFrameRect(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= mAnim.mFrames.size()) {
        return TRect{0, 0, 0, 0};
    }
    return FrameRect(mAnim.mFrames[static_cast<size_t>(index)]);
}

str TAnimatedTexture::MakeKey(const str& path, const str& imageOverride, const str& maskOverride) {
    return path + ":" + imageOverride + ":" + maskOverride;
}

TAnimatedTexturePtr TAnimatedTexture::Find(const str& key) {
    TAssetManager* assets = GetAssetManager();
    if (assets == nullptr) {
        return TAnimatedTexturePtr();
    }
    const TAssetPtr asset = assets->Find(key);
    if (!asset || !asset->IsKindOf(ClassId())) {
        return TAnimatedTexturePtr();
    }
    return boost::static_pointer_cast<TAnimatedTexture>(asset);
}

TAnimatedTexturePtr TAnimatedTexture::Create(const str& path, const str& key) {
    TAnimatedTexturePtr texture(new TAnimatedTexture);
    texture->mAnim.mPath = path;
    if (TAssetManager* assets = GetAssetManager()) {
        assets->Add(key, texture);
    }
    return texture;
}

TAnimatedTexturePtr TAnimatedTexture::Get(const str& path, const str& imageOverride,
                                          const str& maskOverride) {
    const str key = MakeKey(path, imageOverride, maskOverride);
    if (TAnimatedTexturePtr found = Find(key)) {
        return found;
    }
    TAnimatedTexturePtr texture = Create(path, key);
    if (!texture->Load(imageOverride, maskOverride) || !texture->LoadImages()) {
        return TAnimatedTexturePtr();
    }
    return texture;
}

bool TAnimatedTexture::Load(const str& imageOverride, const str& maskOverride) {
    str fileName = mAnim.mPath;
    if (!EngineFileExists(fileName)) {
        fileName = mAnim.mPath + ".xml";
        if (!EngineFileExists(fileName)) {
            fileName = mAnim.mPath + ".anm";
            if (!EngineFileExists(fileName)) {
                return false;
            }
        }
    }
    bool read = false;
    if (fileName.Find(".xml", str::kNoCase) >= 0) {
        read = ReadXml(fileName);
    } else if (fileName.Find(".anm", str::kNoCase) >= 0) {
        read = ReadAnm(fileName);
    }
    if (!read) {
        return false;
    }
    mAnim.mFolder = FolderOf(mAnim.mPath);
    if (imageOverride.Length() != 0) {
        mAnim.mImageName = imageOverride;
    }
    if (maskOverride.Length() != 0) {
        mAnim.mMaskName = maskOverride;
    }
    return true;
}

bool TAnimatedTexture::LoadImages() {
    TTextureData* data = GetData();
    if (data == nullptr) {
        return false;
    }
    data->SetFlags(static_cast<uint8_t>((data->GetFlags() | TTextureData::kAlpha) &
                                        ~TTextureData::kAlphaFromFile));
    const bool masked = mAnim.mMaskName.Length() != 0;
    const str inFolderMask = masked ? mAnim.mFolder + mAnim.mMaskName : str();
    if (data->LoadImage(mAnim.mFolder + mAnim.mImageName, inFolderMask)) {
        return true;
    }
    return data->LoadImage(mAnim.mImageName, masked ? mAnim.mMaskName : str());
}
