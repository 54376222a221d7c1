#include "game/visual/GVAlphaHitTester.h"

#include "engine/media/texture.h"
#include "engine/media/texturedata.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVTextures.h"

#include <algorithm>

namespace {

// A texture locked for reading for as long as it lives; no pixels when it cannot be locked.
class GTextureLock {
public:
    explicit GTextureLock(TTexture* texture) : mTexture(texture) {
        if (mTexture != nullptr && !mTexture->Lock(&mPixels, &mPitch)) {
            mTexture = nullptr;
            mPixels = nullptr;
        }
    }
    ~GTextureLock() {
        if (mTexture != nullptr) {
            mTexture->Unlock();
        }
    }
    GTextureLock(const GTextureLock&) = delete;
    GTextureLock& operator=(const GTextureLock&) = delete;

    const uint32_t* GetPixels() const { return mPixels; }
    int GetPitch() const { return mPitch; }

private:
    TTexture* mTexture;
    uint32_t* mPixels = nullptr;
    int mPitch = 0;
};

int ClampToInt(int64_t value) {
    return static_cast<int>(std::clamp<int64_t>(value, 0, INT32_MAX));
}

} // namespace

bool GVAlphaHitTester::Attach(GVObject* object) {
    mMasks.clear();
    if (object == nullptr) {
        return false;
    }
    const GVFrames* frames = object->GetFrames().get();
    if (frames == nullptr) {
        return true;
    }
    const GVTextures* textures = object->GetTextures().get();
    const int count = frames->Count();
    mMasks.resize(static_cast<size_t>(count));
    // Frames that share a texture are built under one lock.
    std::vector<bool> built(static_cast<size_t>(count), false);
    for (int i = 0; i < count; ++i) {
        if (built[static_cast<size_t>(i)]) {
            continue;
        }
        const int index = frames->At(i)->mTexture;
        TTexture* texture = textures != nullptr ? textures->TextureAt(index) : nullptr;
        const GTextureLock lock(texture);
        int width = 0;
        int height = 0;
        if (lock.GetPixels() != nullptr) {
            // The image lies at the top-left of its surface; rows are a pitch apart.
            width = std::min(texture->GetWidth(), lock.GetPitch());
            height = texture->GetHeight();
            if (const TTextureData* data = texture->GetData()) {
                height = std::min(height, data->GetSurfaceHeight());
            }
        }
        for (int j = i; j < count; ++j) {
            const GVFrame* frame = frames->At(j);
            if (built[static_cast<size_t>(j)] || frame->mTexture != index) {
                continue;
            }
            built[static_cast<size_t>(j)] = true;
            if (lock.GetPixels() != nullptr) {
                mMasks[static_cast<size_t>(j)] =
                    BuildMask(frame->mRect, lock.GetPixels(), lock.GetPitch(), width, height);
            }
        }
    }
    return true;
}

std::unique_ptr<GVAlphaHitTester::GMask> GVAlphaHitTester::BuildMask(const TRect& rect,
                                                                     const uint32_t* pixels,
                                                                     int pitch, int textureWidth,
                                                                     int textureHeight) {
    auto mask = std::make_unique<GMask>();
    // A rectangle from a file may be reversed or reach far past its texture.
    const int64_t left = rect.left;
    const int64_t top = rect.top;
    mask->width = ClampToInt(int64_t{rect.right} - left);
    mask->height = ClampToInt(int64_t{rect.bottom} - top);
    mask->x0 = ClampToInt(-left);
    mask->y0 = ClampToInt(-top);
    mask->x1 = std::max(mask->x0, ClampToInt(std::min<int64_t>(mask->width, textureWidth - left)));
    mask->y1 = std::max(mask->y0, ClampToInt(std::min<int64_t>(mask->height, textureHeight - top)));
    mask->x0 = std::min(mask->x0, mask->x1);
    mask->y0 = std::min(mask->y0, mask->y1);

    auto opaque = [&](int x, int y) {
        const uint32_t pixel = pixels[static_cast<size_t>(left + x) +
                                      static_cast<size_t>(top + y) * static_cast<size_t>(pitch)];
        return (pixel >> 24) > kOpaqueAlpha;
    };
    mask->rows.resize(static_cast<size_t>(mask->y1 - mask->y0));
    for (int y = mask->y0; y < mask->y1; ++y) {
        GSpan& span = mask->rows[static_cast<size_t>(y - mask->y0)];
        for (int x = mask->x0; x < mask->x1; ++x) {
            if (opaque(x, y)) {
                if (span.first < 0) {
                    span.first = x;
                }
                span.last = x;
            }
        }
        if (span.first > 0) {
            --span.first;
        }
    }
    mask->columns.resize(static_cast<size_t>(mask->x1 - mask->x0));
    for (int x = mask->x0; x < mask->x1; ++x) {
        GSpan& span = mask->columns[static_cast<size_t>(x - mask->x0)];
        for (int y = mask->y0; y < mask->y1; ++y) {
            if (opaque(x, y)) {
                if (span.first < 0) {
                    span.first = y;
                }
                span.last = y;
            }
        }
        if (span.first > 0) {
            --span.first;
        }
        if (span.first >= 0 && span.last + 1 < mask->height) {
            ++span.last;
        }
    }
    return mask;
}

bool GVAlphaHitTester::HitTest(const TPoint& point, const GVFrame* frame) {
    if (frame == nullptr || frame->mNumber < 0 ||
        frame->mNumber >= static_cast<int>(mMasks.size())) {
        return false;
    }
    const GMask* mask = mMasks[static_cast<size_t>(frame->mNumber)].get();
    if (mask == nullptr || point.x < mask->x0 || point.x >= mask->x1 || point.y < mask->y0 ||
        point.y >= mask->y1) {
        return false;
    }
    const GSpan& row = mask->rows[static_cast<size_t>(point.y - mask->y0)];
    const GSpan& column = mask->columns[static_cast<size_t>(point.x - mask->x0)];
    return row.first != -1 && column.first != -1 && row.first <= point.x && point.x <= row.last &&
           column.first <= point.y && point.y <= column.last;
}
