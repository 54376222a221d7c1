// The render facade: the one object everything on screen is drawn through. A thin layer over the
// display handler that adds the block bookkeeping (each call made in the wrong block is logged and
// refused or carried on), the selected texture and the clip-rectangle stack, and the frame rate
// with its statistics overlay. A process-wide singleton, made on first use and deleted by the
// platform. Main thread only.
#pragma once

#include "engine/core/color.h"
#include "engine/core/rect.h"
#include "engine/core/str.h"
#include "engine/media/vertexset.h"
#include "engine/system/medialink.h"
#include "platform/directx/d3d.h"

#include <cstdint>
#include <vector>

class TDxDisplayHandler;
class TDxDisplayLink;
class TRendererFacadeLink;
class TTextSpriteLink;

struct TRendererState {
    TRendererState() = default;
    ~TRendererState();
    TRendererState(const TRendererState&) = delete;
    TRendererState& operator=(const TRendererState&) = delete;

    static constexpr uint32_t kFrameRing = 15;

    // Next slot of mFrameTimes.
    uint32_t mFrameIndex = 0;
    float mFps = 0.0f;
    // Platform times at the end of the last frames.
    uint32_t mFrameTimes[kFrameRing] = {};
    bool mShowStats = false;
    // Owned; made when the overlay is first drawn.
    TTextSpriteLink* mStatsText = nullptr;
    // Kept alive while selected.
    TTexturePtr mTexture;
    // Last element on top.
    std::vector<TRect> mClipRects;
    bool mIn2d = false;
    bool mIn3d = false;
    bool mDrawing = false;
    bool mInRenderTarget = false;
};

class TRenderer {
public:
    // The singleton, made on the first call; null when it cannot be made.
    static TRenderer* Instance();
    // Deletes the singleton; a later Instance makes a new one.
    static void Destroy();
    // The singleton or null; never makes one.
    static TRenderer* Existing() { return sInstance; }

    TRenderer(const TRenderer&) = delete;
    TRenderer& operator=(const TRenderer&) = delete;

    TDxDisplayHandler& GetDisplayHandler() { return *mImpl.mHandler; }

    bool BeginDraw(int flag);
    int EndDraw(int present);
    // Drawing into a texture in place of a frame; `mode` 0-4 as the display handler takes it.
    // False, silently, for an empty or simple texture, inside a frame or inside another target.
    bool BeginRenderTarget(const TTexturePtr& texture, int mode);
    void EndRenderTarget();
    bool Begin2d();
    void End2d();
    bool Begin3d();
    void End3d();

    void DrawVertices(int primitiveType, const TVertexSet& vertices);
    void DrawIndexedVertices(int primitiveType, const TVertexSet& vertices, const uint16_t* indices,
                             int indexCount);

    // A simple texture counts as none.
    void SetTexture(const TTexturePtr& texture);
    const TTexturePtr& GetTexture() const { return mState.mTexture; }
    // 0 normal, 1 opaque, 2 additive alpha, 3 subtractive, 4 multiplicative.
    void SetBlendMode(int mode);
    // 2 clockwise, 3 counter-clockwise, anything else none.
    void SetCullMode(int mode);
    // 0 point, 1 linear.
    void SetFiltering(int mode);
    void SetOption(const str& name, const str& value);
    // With a target the rectangle is in its pixels; without one it is relative to the viewport
    // and cut at it.
    void FillRect(const TRect& rect, const TColor& color, const TTexturePtr& target);

    void GetViewport(int* left, int* top, int* right, int* bottom) const;
    void PushViewport(const TRect& rect);
    void PopViewport();
    void PushClipRect(const TRect& rect);
    // The bottom rectangle is never popped.
    void PopClipRect();
    // {0, 0, 0, 0} while the stack is empty.
    TRect GetClipRect() const;

    // Answers true when the overlay is now off.
    bool ToggleStats();
    bool NeedsSquareTextures() const;
    bool IsIn2d() const { return mState.mIn2d; }
    bool IsIn3d() const { return mState.mIn3d; }
    bool IsDrawing() const { return mState.mDrawing || mState.mInRenderTarget; }
    // The last frame rate, refreshed every 15th frame.
    float GetFps() const { return mState.mFps; }

private:
    TRenderer();
    ~TRenderer();
    void DrawStats();

    TRendererState mState;
    // The display handler, and the links through which the platform layer reaches it and the
    // facade while they exist.
    struct TImpl {
        explicit TImpl(TRenderer& renderer);
        ~TImpl();
        TImpl(const TImpl&) = delete;
        TImpl& operator=(const TImpl&) = delete;
        TDxDisplayHandler* mHandler;
        TDxDisplayLink* mDisplayLink;
        TRendererFacadeLink* mRendererLink;
    } mImpl;

    static TRenderer* sInstance;
};

// Closes a 2-D block on every way out of the drawing code that opened it.
class TRenderer2dScope {
public:
    TRenderer2dScope() = default;
    ~TRenderer2dScope() { End(); }
    TRenderer2dScope(const TRenderer2dScope&) = delete;
    TRenderer2dScope& operator=(const TRenderer2dScope&) = delete;

    // End2d once, and only when the block began.
    void End();

    // Set by the user when Begin2d succeeded.
    bool mActive = false;
};
