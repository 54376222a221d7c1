// A texture whose image is a sheet of frames: one image file (with an optional mask) and a
// description of the frames on it, each with its source rectangle, registration point, anchors,
// 2-D transform and alpha. The description is a chunked ".anm" file or an XML file. Shared
// through the asset manager like every texture, under "path:image:mask"; drawn through
// TTexture's Draw, which shows the current frame. Main thread only.
#pragma once

#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/media/texture.h"

#include <cstdint>
#include <vector>

class TAnimatedTexture;
using TAnimatedTexturePtr = boost::shared_ptr<TAnimatedTexture>;

struct TAnimAnchor {
    str mName;
    int32_t mX = 0;
    int32_t mY = 0;
};

struct TAnimFrame {
    // The first transform value of a frame without a transform.
    static constexpr float kNoTransform = -10000000.0f;

    bool HasTransform() const { return mTransform[0] != kNoTransform; }

    str mName;
    // The source rectangle in image pixels.
    int32_t mX = 0;
    int32_t mY = 0;
    int32_t mW = 0;
    int32_t mH = 0;
    // The registration point within the frame.
    int32_t mRegX = 0;
    int32_t mRegY = 0;
    std::vector<TAnimAnchor> mAnchors;
    // a, b, c, d, e, f: rows (a, b, 0), (c, d, 0), (e, f, 1).
    float mTransform[6] = {kNoTransform, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    float mAlpha = 1.0f;
};

struct TAnimData {
    str mName;
    str mSource;
    // The path the animation was asked for.
    str mPath;
    str mImageName;
    str mMaskName;
    // mPath up to and including its last '/' or '\'.
    str mFolder;
    // The animation's Lua text; kept, never run here.
    str mScript;
    int32_t mMaxFrameWidth = 0;
    int32_t mMaxFrameHeight = 0;
    // -1 draws nothing.
    int32_t mCurrentFrame = 0;
    // As the file states them; kept for the tools.
    int32_t mImageRegX = 0;
    int32_t mImageRegY = 0;
    int32_t mImageWidth = 0;
    int32_t mImageHeight = 0;
    std::vector<TAnimFrame> mFrames;
};

class TAnimatedTexture : public TTexture {
public:
    static const void* ClassId();
    const char* GetClassName() const override;
    bool IsKindOf(const void* classId) const override;

    // The current frame, placed by its registration point (mirrored with the flips) unless the
    // descriptor brings its own origin; nothing when there is no such frame.
    void Draw(const TDrawSpec& params) override;
    void DrawAt(float x, float y, float alpha, float scale, float rotation,
                uint32_t flags) override;
    // The current frame's size; 0 when there is no such frame.
    int GetWidth() const override;
    int GetHeight() const override;

    // {x, y, x + w, y + h} of the frame; all zeros for an index outside the frames.
    TRect GetFrameRect(int index) const;
    int GetFrameCount() const { return static_cast<int>(mAnim.mFrames.size()); }
    // Which frame Draw shows; -1 (or any index outside the frames) shows none.
    void SetCurrentFrame(int index) { mAnim.mCurrentFrame = index; }
    const TAnimData& GetAnim() const { return mAnim; }

    // The animation at `path` (as given, else with ".xml", else with ".anm"), its images loaded;
    // a non-empty override replaces the image or mask name of the file. Empty on failure. Only
    // the XML reader logs.
    static TAnimatedTexturePtr Get(const str& path, const str& imageOverride = str(),
                                   const str& maskOverride = str());
    // The live animation under `key`; empty for none, or for another kind of asset.
    static TAnimatedTexturePtr Find(const str& key);
    static str MakeKey(const str& path, const str& imageOverride, const str& maskOverride);

    // Reads the description; false when no file is found or it does not read.
    bool Load(const str& imageOverride, const str& maskOverride);
    // The image (with its mask) from the animation's folder, else by the names as they stand.
    bool LoadImages();

    // "function DoAnim()", a 60 ms delay and the frames 1 to frameCount in order.
    static str MakeDefaultScript(int frameCount);

private:
    TAnimatedTexture() = default;
    // A new, empty animation for `path`, registered under `key`.
    static TAnimatedTexturePtr Create(const str& path, const str& key);

    // Both fill mAnim from the file; on failure mAnim holds whatever was read.
    bool ReadAnm(const str& fileName);
    bool ReadXml(const str& fileName);
    const TAnimFrame* CurrentFrame() const;

    TAnimData mAnim;
};
