#include "engine/media/renderer.h"

#include "engine/core/log.h"
#include "engine/core/settings.h"
#include "engine/media/displaylink.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/texture.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

namespace {

// An edge moved by the viewport's corner; scripts may hand any edge, so the sum saturates (the cut
// at the viewport follows).
int32_t OffsetEdge(int32_t edge, int32_t by) {
    const int64_t sum = int64_t{edge} + by;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

} // namespace

TRenderer* TRenderer::sInstance = nullptr;

TRendererState::~TRendererState() {
    delete mStatsText;
}

TRenderer::TImpl::TImpl(TRenderer& renderer)
    : mHandler(new TDxDisplayHandler), mDisplayLink(new TDxDisplayLink(*mHandler)),
      mRendererLink(new TRendererFacadeLink(renderer)) {
    SetDisplayLink(mDisplayLink);
    SetRendererLink(mRendererLink);
}

TRenderer::TImpl::~TImpl() {
    // Once SetDisplayLink returns the cursor thread no longer uses the old link.
    SetRendererLink(nullptr);
    SetDisplayLink(nullptr);
    delete mRendererLink;
    delete mDisplayLink;
    delete mHandler;
}

TRenderer::TRenderer() : mImpl(*this) {}

// The display handler goes before the state: members are destroyed in reverse order.
TRenderer::~TRenderer() = default;

TRenderer* TRenderer::Instance() {
    if (sInstance == nullptr) {
        sInstance = new (std::nothrow) TRenderer;
    }
    return sInstance;
}

void TRenderer::Destroy() {
    TRenderer* renderer = sInstance;
    sInstance = nullptr;
    delete renderer;
}

bool TRenderer::BeginDraw(int flag) {
    mState.mDrawing = mImpl.mHandler->BeginDraw(flag != 0);
    return mState.mDrawing;
}

int TRenderer::EndDraw(int present) {
    const uint32_t now = TPlatform::GetTime();
    mState.mFrameTimes[mState.mFrameIndex] = now;
    mState.mFrameIndex = (mState.mFrameIndex + 1) % TRendererState::kFrameRing;
    if (mState.mFrameIndex == 0) {
        // Slot 0 now holds the time of 14 frame intervals ago.
        const uint32_t span = now - mState.mFrameTimes[0];
        mState.mFps = 14000.0f / static_cast<float>(span);
    }
    if (mState.mShowStats) {
        DrawStats();
    }
    mState.mDrawing = false;
    return mImpl.mHandler->EndDraw(present != 0);
}

void TRenderer::DrawStats() {
    if (mState.mStatsText == nullptr) {
        mState.mStatsText = CreateTextSprite(str(), 512, 512, 0, str(), 16, TColor{1, 1, 1, 1});
    }
    const int texMem = GetSetting("texture_ram_allocated", "").ToInt();
    const int maxTexMem = GetSetting("max_texture_ram_allocated", "").ToInt();
    const int sprites = GetSetting("current_sprite_count", "").ToInt();
    const int mem = GetMemoryInUse();
    const int maxMem = GetMemoryPeak();
    const str text = str::FromFormat(
        "Stellagrim Version %d.%d.%d.%d<br>%f FPS<tab pos='150'>Sprites: %d<br>Mem: "
        "%dkB<tab pos='150'>TexMem: %dkB<br>MaxMem: %dkB<tab pos='150'>MaxTexMem: %dkB<br>",
        4, 0, 15, 1, static_cast<double>(mState.mFps), sprites, mem / 1024, texMem / 1024,
        maxMem / 1024, maxTexMem / 1024);
    const bool began = Begin2d();
    FillRect(TRect{0, 0, 300, 64}, TColor{0.0f, 0.0f, 0.0f, 0.0f}, TTexturePtr());
    if (mState.mStatsText != nullptr) {
        mState.mStatsText->SetText(text);
        mState.mStatsText->DrawInRect(TRect{0, 0, 512, 512}, 1.0f, 0, 1.0f, TTexturePtr());
    }
    if (began) {
        End2d();
    }
}

bool TRenderer::Begin2d() {
    if (mState.mIn2d) {
        Log("Begin2d called when already in Begin2d state");
        return false;
    }
    if (mState.mIn3d) {
        Log("Begin2d called when already in Begin3d state");
        return false;
    }
    if (!IsDrawing()) {
        Log("ERROR: Calling Begin2d outside of a BeginDraw or BeginRenderTarget block!");
        return false;
    }
    mState.mIn2d = mImpl.mHandler->Begin2d();
    return mState.mIn2d;
}

void TRenderer::End2d() {
    if (!mState.mIn2d) {
        Log("End2d called when not in Begin2d state");
        return;
    }
    if (!IsDrawing()) {
        Log("ERROR: Calling End2d after EndDraw or EndRenderTarget!");
    }
    mImpl.mHandler->End2d();
    mState.mIn2d = false;
}

bool TRenderer::Begin3d() {
    if (mState.mIn2d) {
        Log("Begin3d called when already in Begin2d state");
        return false;
    }
    if (mState.mIn3d) {
        Log("Begin3d called when already in Begin3d state");
        return false;
    }
    if (!IsDrawing()) {
        Log("ERROR: Calling Begin3d outside of a BeginDraw or BeginRenderTarget block!");
        return false;
    }
    mState.mIn3d = mImpl.mHandler->Begin3d();
    return mState.mIn3d;
}

void TRenderer::End3d() {
    if (!mState.mIn3d) {
        Log("End3d called when not in Begin3d state");
        return;
    }
    if (!IsDrawing()) {
        Log("Calling End3d after EndDraw or EndRenderTarget!");
    }
    mImpl.mHandler->End3d();
    mState.mIn3d = false;
}

void TRenderer::DrawVertices(int primitiveType, const TVertexSet& vertices) {
    if (!mState.mIn2d && !mState.mIn3d) {
        Log("DrawVertices called when not in Begin2d or Begin3d state");
        return;
    }
    mImpl.mHandler->DrawVertices(static_cast<D3DPRIMITIVETYPE>(primitiveType), vertices);
}

void TRenderer::DrawIndexedVertices(int primitiveType, const TVertexSet& vertices,
                                    const uint16_t* indices, int indexCount) {
    if (!mState.mIn2d && !mState.mIn3d) {
        Log("DrawIndexedVertices called when not in Begin2d or Begin3d state");
        return;
    }
    mImpl.mHandler->DrawIndexedVertices(static_cast<D3DPRIMITIVETYPE>(primitiveType), vertices,
                                        const_cast<WORD*>(indices), indexCount);
}

bool TRenderer::BeginRenderTarget(const TTexturePtr& texture, int mode) {
    if (!texture || texture->IsSimple() || mState.mDrawing || mState.mInRenderTarget) {
        return false;
    }
    const bool began = mImpl.mHandler->BeginRenderTarget(texture, mode);
    mState.mInRenderTarget = began;
    mState.mDrawing = began;
    return began;
}

void TRenderer::EndRenderTarget() {
    mImpl.mHandler->EndRenderTarget();
    mState.mInRenderTarget = false;
    mState.mDrawing = false;
}

void TRenderer::SetTexture(const TTexturePtr& texture) {
    // A simple texture is never drawn.
    if (texture && texture->IsSimple()) {
        mState.mTexture.reset();
    } else {
        mState.mTexture = texture;
    }
    mImpl.mHandler->SetTexture(mState.mTexture);
}

void TRenderer::SetBlendMode(int mode) {
    mImpl.mHandler->SetBlendMode(mode);
}

void TRenderer::SetCullMode(int mode) {
    mImpl.mHandler->SetCullMode(mode);
}

void TRenderer::SetFiltering(int mode) {
    mImpl.mHandler->SetFiltering(mode);
}

void TRenderer::SetOption(const str& name, const str& value) {
    mImpl.mHandler->SetOption(name, value);
}

void TRenderer::FillRect(const TRect& rect, const TColor& color, const TTexturePtr& target) {
    TRect area = rect;
    if (!target) {
        TRect viewport{0, 0, 0, 0};
        GetViewport(&viewport.left, &viewport.top, &viewport.right, &viewport.bottom);
        area = TRect{OffsetEdge(rect.left, viewport.left), OffsetEdge(rect.top, viewport.top),
                     OffsetEdge(rect.right, viewport.left), OffsetEdge(rect.bottom, viewport.top)};
        area.Intersect(area, viewport);
    }
    mImpl.mHandler->FillRect(area.left, area.top, area.right, area.bottom, color, target);
}

void TRenderer::GetViewport(int* left, int* top, int* right, int* bottom) const {
    mImpl.mHandler->GetViewport(left, top, right, bottom);
}

void TRenderer::PushViewport(const TRect& rect) {
    mImpl.mHandler->PushViewport(rect.left, rect.top, rect.right, rect.bottom);
}

void TRenderer::PopViewport() {
    mImpl.mHandler->PopViewport();
}

void TRenderer::PushClipRect(const TRect& rect) {
    mState.mClipRects.push_back(rect);
    mImpl.mHandler->SetClipRect(rect);
}

void TRenderer::PopClipRect() {
    if (mState.mClipRects.size() < 2) {
        return;
    }
    mState.mClipRects.pop_back();
    mImpl.mHandler->SetClipRect(mState.mClipRects.back());
}

TRect TRenderer::GetClipRect() const {
    if (mState.mClipRects.empty()) {
        return TRect{0, 0, 0, 0};
    }
    return mState.mClipRects.back();
}

bool TRenderer::ToggleStats() {
    mState.mShowStats = !mState.mShowStats;
    return !mState.mShowStats;
}

bool TRenderer::NeedsSquareTextures() const {
    return mImpl.mHandler->GetData().mSquareTextures;
}

void TRenderer2dScope::End() {
    if (!mActive) {
        return;
    }
    mActive = false;
    if (TRenderer* renderer = TRenderer::Existing()) {
        renderer->End2d();
    }
}
