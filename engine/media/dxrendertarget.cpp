// The display handler's drawing into textures, its rectangle fills and the measurement of the
// texel offset. A texture is drawn into through the top-left corner of the back buffer: the
// region is prepared, drawn like a frame and copied into the texture at the end.
#include "engine/core/log.h"
#include "engine/media/directx.h"
#include "engine/media/drawdesc.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/dxhelpers.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/script/lua/luanumber.h"
#include "engine/system/platform.h"
#include "engine/system/windowsystemlink.h"
#include "platform/win32/synchapi.h"
#include "platform/win32/wingdi.h"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace {

IDirectDrawSurface7* SurfaceOf(const TTexture& texture) {
    const auto* data = dynamic_cast<const TDxTextureData*>(texture.GetData());
    return data != nullptr ? data->GetSurface() : nullptr;
}

RECT ToWinRect(const TRect& rect) {
    return RECT{rect.left, rect.top, rect.right, rect.bottom};
}

bool IsEmptyRect(const TRect& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

void InvalidateWindowsForTarget() {
    TPlatform* platform = TPlatform::GetInstance();
    if (TWindowManagerLink* manager =
            platform != nullptr ? platform->GetWindowManager() : nullptr) {
        manager->Invalidate();
    }
}

// The channel's bits of `pixel` moved so that the mask's top bit lands on bit 7 of a byte.
uint32_t ChannelToByte(uint32_t pixel, uint32_t mask) {
    if (mask == 0) {
        return 0;
    }
    const int top = 31 - std::countl_zero(mask);
    const uint32_t bits = pixel & mask;
    return (top >= 7 ? bits >> (top - 7) : bits << (7 - top)) & 0xFFu;
}

// A colour component's share of a fill value: component x mask, truncated, kept to the mask. The
// low 32 bits of the truncation, as the platform's own conversion gives them: a full 8-bit alpha
// is 0xFF000000, beyond a signed 32-bit int.
DWORD FillChannel(float component, DWORD mask) {
    return LuaNumberLow32(static_cast<double>(component) * static_cast<double>(mask)) & mask;
}

// Copies through the surfaces' device contexts; false, copying nothing, unless both give one.
bool CopyThroughDeviceContexts(IDirectDrawSurface7* target, IDirectDrawSurface7* texture,
                               const TRect& area) {
    HDC from = nullptr;
    if (FAILED(target->GetDC(&from))) {
        return false;
    }
    HDC to = nullptr;
    if (FAILED(texture->GetDC(&to))) {
        target->ReleaseDC(from);
        return false;
    }
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    StretchBlt(to, area.left, area.top, width, height, from, area.left, area.top, width, height,
               SRCCOPY);
    texture->ReleaseDC(to);
    target->ReleaseDC(from);
    return true;
}

// The render target's pixels while locked, read as 2, 3 or 4 little-endian bytes.
class TLockedTarget {
public:
    explicit TLockedTarget(IDirectDrawSurface7* surface) : mSurface(surface) {
        mDesc.dwSize = sizeof mDesc;
        mResult = surface->Lock(nullptr, &mDesc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
    }
    ~TLockedTarget() {
        if (SUCCEEDED(mResult)) {
            mSurface->Unlock(nullptr);
        }
    }
    TLockedTarget(const TLockedTarget&) = delete;
    TLockedTarget& operator=(const TLockedTarget&) = delete;

    HRESULT GetResult() const { return mResult; }
    const DDPIXELFORMAT& GetFormat() const { return mDesc.ddpfPixelFormat; }
    // 0 for depths that are not read.
    int GetBytesPerPixel() const {
        switch (mDesc.ddpfPixelFormat.dwRGBBitCount) {
        case 15:
        case 16:
            return 2;
        case 24:
            return 3;
        case 32:
            return 4;
        default:
            return 0;
        }
    }
    TRect GetBounds() const {
        return TRect{0, 0, static_cast<int32_t>(mDesc.dwWidth),
                     static_cast<int32_t>(mDesc.dwHeight)};
    }
    uint32_t GetPixel(int x, int y) const {
        const int bytes = GetBytesPerPixel();
        const uint8_t* at = static_cast<const uint8_t*>(mDesc.lpSurface) +
                            static_cast<ptrdiff_t>(mDesc.lPitch) * y +
                            static_cast<ptrdiff_t>(x) * bytes;
        uint32_t pixel = 0;
        for (int i = bytes - 1; i >= 0; --i) {
            pixel = (pixel << 8) | at[i];
        }
        return pixel;
    }

private:
    IDirectDrawSurface7* mSurface;
    DDSURFACEDESC2 mDesc{};
    HRESULT mResult;
};

// A texture's 32-bit pixels (0xAARRGGBB) while locked; the bounds are the image cut to the
// surface.
class TLockedTexture {
public:
    explicit TLockedTexture(TTexture& texture) : mTexture(texture) {
        const TTextureData* data = texture.GetData();
        if (data == nullptr || !texture.Lock(&mPixels, &mPitch)) {
            return;
        }
        mLocked = true;
        mBounds = TRect{0, 0, std::min(data->GetWidth(), data->GetSurfaceWidth()),
                        std::min(data->GetHeight(), data->GetSurfaceHeight())};
    }
    ~TLockedTexture() {
        if (mLocked) {
            mTexture.Unlock();
        }
    }
    TLockedTexture(const TLockedTexture&) = delete;
    TLockedTexture& operator=(const TLockedTexture&) = delete;

    bool IsLocked() const { return mLocked; }
    const TRect& GetBounds() const { return mBounds; }
    uint32_t& At(int x, int y) { return mPixels[static_cast<ptrdiff_t>(mPitch) * y + x]; }

private:
    TTexture& mTexture;
    uint32_t* mPixels = nullptr;
    int mPitch = 0;
    bool mLocked = false;
    TRect mBounds{0, 0, 0, 0};
};

} // namespace

bool TDxDisplayHandler::BeginRenderTarget(const TTexturePtr& texture, int mode) {
    TPlatformData& data = *mData;
    if (data.mDevice == nullptr || data.mLost) {
        return false;
    }
    if (mode < 0 || mode > 4) {
        Log("TDxDisplayHandler::BeginRenderTarget: unknown target mode %d", mode);
        return false;
    }
    IDirectDrawSurface7* surface = texture ? SurfaceOf(*texture) : nullptr;
    if (surface == nullptr || data.mRenderTarget == nullptr) {
        return false;
    }
    data.mTargetMode = mode;
    data.mPendingTarget = texture;
    if (IDirectDrawSurface7* front = data.mContext->GetFrontBuffer()) {
        while (front->GetFlipStatus(DDGFS_ISFLIPDONE) == DDERR_WASSTILLDRAWING) {
            Sleep(1);
        }
    }
    const int width = texture->GetWidth();
    const int height = texture->GetHeight();
    const TRect saved = data.mSavedViewport;
    PushViewport(0, 0, width, height);
    data.mSavedViewport = TRect{0, 0, width, height};
    InvalidateWindowsForTarget();
    if (mode == 2 || mode == 3) {
        RECT area{0, 0, std::min(width, data.mTargetRect.right),
                  std::min(height, data.mTargetRect.bottom)};
        if (area.right > 0 && area.bottom > 0) {
            Check(data.mRenderTarget->Blt(&area, surface, &area, DDBLT_WAIT, nullptr), 601);
        }
    } else if (mode == 4) {
        FillRect(0, 0, width, height, TColor{0.0f, 0.0f, 0.0f, 0.0f}, TTexturePtr());
    }
    if (BeginDraw(false)) {
        return true;
    }
    // No trace: the screen's viewport and scale come back with the target dropped.
    data.mPendingTarget.reset();
    PopViewport();
    data.mSavedViewport = saved;
    return false;
}

void TDxDisplayHandler::EndRenderTarget() {
    TPlatformData& data = *mData;
    // Dropping the target first gives the screen its configured scale again before its viewport
    // comes back.
    const TTexturePtr texture = data.mPendingTarget;
    data.mPendingTarget.reset();
    if (!texture) {
        return;
    }
    EndDraw(false);
    PopViewport();
    const TRect area{0, 0, std::min(data.mSavedViewport.right, data.mTargetRect.right),
                     std::min(data.mSavedViewport.bottom, data.mTargetRect.bottom)};
    data.mSavedViewport = data.mTargetRect;
    // A restore inside EndDraw may have released the surfaces.
    IDirectDrawSurface7* surface = SurfaceOf(*texture);
    if (surface == nullptr || data.mRenderTarget == nullptr || IsEmptyRect(area)) {
        return;
    }
    const int mode = data.mTargetMode;
    if (mode == 4) {
        CopyAlphaFromTarget(*texture, area);
        return;
    }
    bool copied = false;
    if (data.mContext->GetDisplayMode().ddpfPixelFormat.dwRGBBitCount == 32) {
        RECT rect = ToWinRect(area);
        copied = SUCCEEDED(surface->Blt(&rect, data.mRenderTarget, &rect, DDBLT_WAIT, nullptr));
    }
    if (!copied) {
        CopyTargetToTexture(*texture, area);
    }
    if (mode != 1) {
        MakeOpaque(*texture);
    }
}

void TDxDisplayHandler::CopyTargetToTexture(TTexture& texture, const TRect& area) {
    IDirectDrawSurface7* target = mData->mRenderTarget;
    IDirectDrawSurface7* surface = SurfaceOf(texture);
    if (target == nullptr || surface == nullptr ||
        CopyThroughDeviceContexts(target, surface, area)) {
        return;
    }
    const TLockedTarget from(target);
    if (FAILED(from.GetResult())) {
        Check(from.GetResult(), 611);
        return;
    }
    // The texture reports its own lock failures.
    TLockedTexture to(texture);
    if (!to.IsLocked() || from.GetBytesPerPixel() == 0) {
        return;
    }
    TRect r;
    r.Intersect(area, from.GetBounds());
    r.Intersect(r, to.GetBounds());
    const DDPIXELFORMAT& format = from.GetFormat();
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const uint32_t pixel = from.GetPixel(x, y);
            to.At(x, y) = 0xFF000000u | ChannelToByte(pixel, format.dwRBitMask) << 16 |
                          ChannelToByte(pixel, format.dwGBitMask) << 8 |
                          ChannelToByte(pixel, format.dwBBitMask);
        }
    }
}

void TDxDisplayHandler::MakeOpaque(TTexture& texture) {
    TLockedTexture pixels(texture);
    if (!pixels.IsLocked()) {
        return;
    }
    const TRect& r = pixels.GetBounds();
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            pixels.At(x, y) |= 0xFF000000u;
        }
    }
}

// Only the copied rectangle: the texture may be larger than the target, whose memory ends there;
// the rest of the texture keeps its alpha.
void TDxDisplayHandler::CopyAlphaFromTarget(TTexture& texture, const TRect& area) {
    IDirectDrawSurface7* target = mData->mRenderTarget;
    if (target == nullptr) {
        return;
    }
    const TLockedTarget from(target);
    if (FAILED(from.GetResult())) {
        Check(from.GetResult(), 621);
        return;
    }
    TLockedTexture to(texture);
    const int bytes = from.GetBytesPerPixel();
    if (!to.IsLocked() || bytes == 0) {
        return;
    }
    TRect r;
    r.Intersect(area, from.GetBounds());
    r.Intersect(r, to.GetBounds());
    const DWORD red = from.GetFormat().dwRBitMask;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const uint32_t pixel = from.GetPixel(x, y);
            // The coverage was drawn as grey: any channel holds it, a 32-bit pixel's first byte
            // most simply.
            const uint32_t alpha = bytes == 4 ? pixel & 0xFFu : ChannelToByte(pixel, red);
            uint32_t& out = to.At(x, y);
            out = (out & 0x00FFFFFFu) | alpha << 24;
        }
    }
}

void TDxDisplayHandler::FillRect(int left, int top, int right, int bottom, const TColor& color,
                                 const TTexturePtr& target) {
    TRenderer* renderer = TRenderer::Existing();
    const TRect rect{left, top, right, bottom};
    if (target || renderer == nullptr || !renderer->IsDrawing()) {
        FillSurface(rect, color, target, renderer);
    } else if (!IsEmptyRect(rect)) {
        FillByQuad(rect, color, *renderer);
    }
}

void TDxDisplayHandler::FillSurface(TRect rect, const TColor& color, const TTexturePtr& target,
                                    TRenderer* renderer) {
    IDirectDrawSurface7* surface = nullptr;
    TRect bounds{0, 0, 0, 0};
    if (target) {
        surface = SurfaceOf(*target);
        bounds = TRect{0, 0, target->GetWidth(), target->GetHeight()};
    } else {
        surface = mData->mRenderTarget;
        if (renderer != nullptr) {
            bounds.Intersect(renderer->GetClipRect(), mData->mTargetRect);
        }
    }
    if (surface == nullptr) {
        return;
    }
    rect.Intersect(rect, bounds);
    if (IsEmptyRect(rect)) {
        return;
    }
    float scale = 1.0f;
    if (!target && GetEffectiveViewportScale(&scale)) {
        rect = TRect{TruncateScaled(static_cast<float>(rect.left) * scale),
                     TruncateScaled(static_cast<float>(rect.top) * scale),
                     TruncateScaled(static_cast<float>(rect.right) * scale),
                     TruncateScaled(static_cast<float>(rect.bottom) * scale)};
    }
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    HRESULT result = surface->GetPixelFormat(&format);
    if (FAILED(result)) {
        Check(result, 631);
        return;
    }
    const DWORD alphaMask = (format.dwFlags & DDPF_ALPHAPIXELS) != 0 ? format.dwRGBAlphaBitMask : 0;
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = FillChannel(color.r, format.dwRBitMask) +
                     FillChannel(color.g, format.dwGBitMask) +
                     FillChannel(color.b, format.dwBBitMask) + FillChannel(color.a, alphaMask);
    RECT area = ToWinRect(rect);
    Check(surface->Blt(&area, nullptr, nullptr, DDBLT_COLORFILL, &fx), 632);
}

void TDxDisplayHandler::FillByQuad(const TRect& rect, const TColor& color, TRenderer& renderer) {
    const bool was2d = renderer.IsIn2d();
    const bool was3d = renderer.IsIn3d();
    if (was3d) {
        renderer.End3d();
    }
    const bool opened = !was2d && renderer.Begin2d();
    if (renderer.IsIn2d()) {
        TVec2 corners[4] = {{static_cast<float>(rect.left), static_cast<float>(rect.top)},
                            {static_cast<float>(rect.right), static_cast<float>(rect.top)},
                            {static_cast<float>(rect.right), static_cast<float>(rect.bottom)},
                            {static_cast<float>(rect.left), static_cast<float>(rect.bottom)}};
        // Into a mode-4 target the alpha is the coverage drawn; on the screen fills are opaque.
        const float alpha = InTargetMode4() ? color.a : 1.0f;
        const TVec2 offset(static_cast<float>(-mData->mViewport.left),
                           static_cast<float>(-mData->mViewport.top));
        D3DLVERTEX vertices[4];
        BuildQuadVertices(offset, vertices, corners, TVec2(0.0f, 0.0f), TVec2(1.0f, 1.0f), TMat3(),
                          alpha, color);
        const TTexturePtr kept = renderer.GetTexture();
        renderer.SetTexture(TTexturePtr());
        SetBlendMode(0);
        DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(vertices, 4));
        renderer.SetTexture(kept);
    }
    if (opened) {
        renderer.End2d();
    }
    if (was3d) {
        renderer.Begin3d();
    }
}

void TDxDisplayHandler::CalibrateTexelOffset() {
    TPlatformData& data = *mData;
    if (data.mTexelCalibrated) {
        return;
    }
    data.mTexelCalibrated = true;
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr) {
        return;
    }
    MeasureTexelOffset(*renderer);
    // The probe drew on the back buffer; the first frame must not show it.
    const TRect screen = data.mTargetRect;
    renderer->PushClipRect(screen);
    FillRect(screen.left, screen.top, screen.right, screen.bottom, TColor{0.0f, 0.0f, 0.0f, 1.0f},
             TTexturePtr());
    renderer->PopClipRect();
}

// A 16 x 16 white texture with black corners at (0, 0) and (15, 15) is drawn at ten offsets from
// -0.5 to 0.4, side by side; the first whose corners land whole on the corner pixels maps texels
// exactly.
void TDxDisplayHandler::MeasureTexelOffset(TRenderer& renderer) {
    TPlatformData& data = *mData;
    constexpr int kCandidates = 10;
    constexpr int kSide = 16;
    auto candidate = [](int i) { return static_cast<float>(i) * 0.1f - 0.5f; };

    const TTexturePtr probe = TTexture::CreateRenderTarget(kSide, kSide, false);
    if (!probe) {
        return;
    }
    FillRect(0, 0, kSide, kSide, TColor{1.0f, 1.0f, 1.0f, 1.0f}, probe);
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (probe->Lock(&pixels, &pitch)) {
        pixels[0] = 0xFF000000u;
        pixels[static_cast<ptrdiff_t>(pitch) * (kSide - 1) + kSide - 1] = 0xFF000000u;
        probe->Unlock();
    }
    const TTexturePtr canvas = TTexture::CreateRenderTarget(1024, 512, true);
    if (!canvas) {
        return;
    }
    FillRect(0, 0, 512, 512, TColor{1.0f, 0.0f, 0.0f, 1.0f}, canvas);

    if (renderer.BeginRenderTarget(canvas, 0)) {
        TRenderer2dScope block;
        block.mActive = renderer.Begin2d();
        // Linear filtering: a corner texel stays pure black only when it is sampled at its
        // centre. Point sampling would show the same pixels for every offset within half a
        // texel, and the search would stop at the first of them, not at the centred one.
        renderer.SetFiltering(1);
        for (int i = 0; i < kCandidates; ++i) {
            data.mTexelOffset = candidate(i);
            // The probe's top-left corner on (16 i, 0); the default params would centre it there.
            const TDrawSpec params(TVec2(static_cast<float>(kSide * i), 0.0f), 1.0f, 1.0f,
                                   TDrawSpec::kUseOrigin);
            probe->Draw(params);
        }
        block.End();
        renderer.EndRenderTarget();
    }

    bool found = false;
    if (canvas->Lock(&pixels, &pitch)) {
        const auto black = [&](int x, int y) {
            return (pixels[static_cast<ptrdiff_t>(pitch) * y + x] & 0x00FFFFFFu) == 0;
        };
        for (int i = 0; i < kCandidates && !found; ++i) {
            data.mTexelOffset = candidate(i);
            found = black(kSide * i, 0) && black(kSide * i + kSide - 1, kSide - 1);
        }
        canvas->Unlock();
    }
    if (!found) {
        data.mTexelOffset = -0.5f;
    }
}
