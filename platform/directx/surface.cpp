// Surfaces: blits, flips, locks, attachments, clippers and loss.
#include "platform/directx/blit.h"
#include "platform/directx/ddstate.h"
#include "platform/win32/winuser.h"

#include <algorithm>
#include <cstring>

using namespace standin::detail;
using standin::TAdapter;
using standin::TDisplayMode;

namespace {

RECT Bounds(const TSurface& surface) {
    return RECT{0, 0, static_cast<LONG>(surface.width), static_cast<LONG>(surface.height)};
}

bool IsEmpty(const RECT& rect) {
    return rect.right <= rect.left || rect.bottom <= rect.top;
}

bool Inside(const RECT& rect, const RECT& bounds) {
    return rect.left >= bounds.left && rect.top >= bounds.top && rect.right <= bounds.right &&
           rect.bottom <= bounds.bottom;
}

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

HRESULT UsableLocked(const TSurface& surface) {
    if (surface.dead) {
        return DDERR_INVALIDOBJECT;
    }
    return surface.lost ? DDERR_SURFACELOST : DD_OK;
}

// The rectangle a clipper lets a blit write to: the window's client area in screen
// coordinates. False when the clipper has no live window.
bool ClipRect(IDirectDrawClipper* clipper, RECT* clip) {
    HWND window = nullptr;
    clipper->GetHWnd(&window);
    RECT client{};
    POINT origin{0, 0};
    if (window == nullptr || !GetClientRect(window, &client) || !ClientToScreen(window, &origin)) {
        return false;
    }
    *clip = RECT{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    return true;
}

void Describe(const TSurface& surface, DDSURFACEDESC2* desc) {
    const DWORD size = desc->dwSize;
    *desc = DDSURFACEDESC2{};
    desc->dwSize = size;
    desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    desc->dwWidth = surface.width;
    desc->dwHeight = surface.height;
    desc->lPitch = surface.pitch;
    desc->ddpfPixelFormat = surface.layout.ToDD();
    desc->ddsCaps = surface.caps;
    if (surface.backBufferCount > 0) {
        desc->dwFlags |= DDSD_BACKBUFFERCOUNT;
        desc->dwBackBufferCount = surface.backBufferCount;
    }
    if (surface.layout.depth) {
        desc->dwFlags |= DDSD_ZBUFFERBITDEPTH;
    }
    if ((surface.caps.dwCaps & DDSCAPS_MIPMAP) != 0) {
        desc->dwFlags |= DDSD_MIPMAPCOUNT;
        desc->dwMipMapCount = surface.mipCount;
    }
}

} // namespace

IDirectDrawSurface7::IDirectDrawSurface7(std::shared_ptr<TSurface> state)
    : mState(std::move(state)) {}

IDirectDrawSurface7::~IDirectDrawSurface7() {
    for (IDirectDrawSurface7* attached : mState->attached) {
        attached->Release();
    }
    mState->attached.clear();
    if (mState->clipper != nullptr) {
        mState->clipper->Release();
        mState->clipper = nullptr;
    }
}

ULONG IDirectDrawSurface7::AddRef() {
    return ++mRefs;
}

ULONG IDirectDrawSurface7::Release() {
    const ULONG left = --mRefs;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT IDirectDrawSurface7::QueryInterface(const GUID& iid, void** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (!IsSameGuid(iid, IID_IDirectDrawSurface7)) {
        return E_NOINTERFACE;
    }
    AddRef();
    *out = this;
    return S_OK;
}

HRESULT IDirectDrawSurface7::AddAttachedSurface(IDirectDrawSurface7* surface) {
    if (surface == nullptr || surface == this) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::AddAttachedSurface")) {
        return *fault;
    }
    TSurface& added = surface->State();
    if (!added.layout.depth || mState->layout.depth || added.width != mState->width ||
        added.height != mState->height) {
        return DDERR_CANNOTATTACHSURFACE;
    }
    auto& attached = mState->attached;
    if (std::find(attached.begin(), attached.end(), surface) != attached.end()) {
        return DDERR_SURFACEALREADYATTACHED;
    }
    const bool hasDepth = std::any_of(attached.begin(), attached.end(),
                                      [](auto* s) { return s->State().layout.depth; });
    if (hasDepth) {
        return DDERR_CANNOTATTACHSURFACE;
    }
    surface->AddRef();
    attached.push_back(surface);
    return DD_OK;
}

HRESULT IDirectDrawSurface7::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) {
    if (caps == nullptr || surface == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *surface = nullptr;
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::GetAttachedSurface")) {
        return *fault;
    }
    for (IDirectDrawSurface7* attached : mState->attached) {
        const DDSCAPS2& has = attached->State().caps;
        if ((has.dwCaps & caps->dwCaps) == caps->dwCaps &&
            (has.dwCaps2 & caps->dwCaps2) == caps->dwCaps2) {
            attached->AddRef();
            *surface = attached;
            return DD_OK;
        }
    }
    return DDERR_NOTFOUND;
}

HRESULT IDirectDrawSurface7::Blt(RECT* destRect, IDirectDrawSurface7* source, RECT* sourceRect,
                                 DWORD flags, DDBLTFX* fx) {
    constexpr DWORD kKnown =
        DDBLT_WAIT | DDBLT_DONOTWAIT | DDBLT_ASYNC | DDBLT_COLORFILL | DDBLT_DDFX;
    if ((flags & ~kKnown) != 0) {
        return DDERR_UNSUPPORTED;
    }
    const bool fill = (flags & DDBLT_COLORFILL) != 0;
    if ((fill || (flags & DDBLT_DDFX) != 0) && (fx == nullptr || fx->dwSize != sizeof(DDBLTFX))) {
        return DDERR_INVALIDPARAMS;
    }
    if ((flags & DDBLT_DDFX) != 0 &&
        (fx->dwDDFX & ~(DDBLTFX_NOTEARING | DDBLTFX_ARITHSTRETCHY)) != 0) {
        return DDERR_UNSUPPORTED;
    }
    if (!fill && source == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::Blt")) {
        return *fault;
    }
    TSurface& target = *mState;
    TSurface* from = fill ? nullptr : &source->State();
    const RECT to = destRect != nullptr ? *destRect : Bounds(target);
    const RECT sourceArea =
        from == nullptr ? RECT{} : (sourceRect != nullptr ? *sourceRect : Bounds(*from));
    if (IsEmpty(to) ||
        (from != nullptr && (IsEmpty(sourceArea) || !Inside(sourceArea, Bounds(*from))))) {
        return DDERR_INVALIDRECT;
    }
    RECT clip = to;
    if (target.clipper != nullptr) {
        RECT window{};
        if (ClipRect(target.clipper, &window)) {
            clip = Intersect(Intersect(clip, window), Bounds(target));
        } else {
            clip = Intersect(clip, Bounds(target));
        }
    } else if (!Inside(to, Bounds(target))) {
        return DDERR_INVALIDRECT;
    }

    TBlitLocks locks;
    HRESULT hr = locks.Acquire(target, from, (flags & DDBLT_DONOTWAIT) == 0);
    if (FAILED(hr)) {
        return hr;
    }
    if (FAILED(hr = UsableLocked(target)) ||
        (from != nullptr && FAILED(hr = UsableLocked(*from)))) {
        return hr;
    }
    if (!IsEmpty(clip)) {
        if (fill) {
            FillPixels(target, clip, fx->dwFillColor);
        } else {
            CopyPixels(target, to, clip, *from, sourceArea);
        }
        target.dirty = target.dirty || target.primary;
    }
    const bool show = target.primary;
    locks = TBlitLocks();
    if (show) {
        UploadPrimaryIfDirty();
    }
    return DD_OK;
}

HRESULT IDirectDrawSurface7::BltFast(DWORD x, DWORD y, IDirectDrawSurface7* source,
                                     RECT* sourceRect, DWORD flags) {
    if (source == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if ((flags & (DDBLTFAST_SRCCOLORKEY | DDBLTFAST_DESTCOLORKEY)) != 0 ||
        (flags & ~(DDBLTFAST_WAIT | DDBLTFAST_DONOTWAIT)) != 0) {
        return DDERR_UNSUPPORTED;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::BltFast")) {
        return *fault;
    }
    TSurface& target = *mState;
    if (target.clipper != nullptr) {
        return DDERR_BLTFASTCANTCLIP;
    }
    TSurface& from = source->State();
    const RECT area = sourceRect != nullptr ? *sourceRect : Bounds(from);
    if (IsEmpty(area) || !Inside(area, Bounds(from)) || x > target.width || y > target.height) {
        return DDERR_INVALIDRECT;
    }
    const RECT to{static_cast<LONG>(x), static_cast<LONG>(y),
                  static_cast<LONG>(x) + (area.right - area.left),
                  static_cast<LONG>(y) + (area.bottom - area.top)};
    if (!Inside(to, Bounds(target))) {
        return DDERR_INVALIDRECT;
    }
    TBlitLocks locks;
    HRESULT hr = locks.Acquire(target, &from, (flags & DDBLTFAST_WAIT) != 0);
    if (FAILED(hr)) {
        return hr;
    }
    if (FAILED(hr = UsableLocked(target)) || FAILED(hr = UsableLocked(from))) {
        return hr;
    }
    CopyPixels(target, to, to, from, area);
    target.dirty = target.dirty || target.primary;
    const bool show = target.primary;
    locks = TBlitLocks();
    if (show) {
        UploadPrimaryIfDirty();
    }
    return DD_OK;
}

HRESULT IDirectDrawSurface7::Flip(IDirectDrawSurface7* target, DWORD flags) {
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::Flip")) {
        return *fault;
    }
    IDirectDrawSurface7* partner = mState->flipPartner;
    if (partner == nullptr) {
        return DDERR_NOTFLIPPABLE;
    }
    if (target != nullptr && target != partner) {
        return DDERR_INVALIDPARAMS;
    }
    TSurface& front = *mState;
    TSurface& back = partner->State();
    TBlitLocks locks;
    HRESULT hr = locks.Acquire(front, &back, (flags & DDFLIP_DONOTWAIT) == 0);
    if (FAILED(hr)) {
        return hr;
    }
    if (FAILED(hr = UsableLocked(front)) || FAILED(hr = UsableLocked(back))) {
        return hr;
    }
    // Both stay the same objects; only what they show changes places.
    front.pixels.swap(back.pixels);
    front.dirty = true;
    locks = TBlitLocks();
    UploadPrimaryIfDirty();
    return DD_OK;
}

HRESULT IDirectDrawSurface7::GetFlipStatus(DWORD flags) {
    if (flags != DDGFS_CANFLIP && flags != DDGFS_ISFLIPDONE) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::GetFlipStatus")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(mState->mutex);
    return UsableLocked(*mState);
}

HRESULT IDirectDrawSurface7::GetBltStatus(DWORD flags) {
    if (flags != DDGBS_CANBLT && flags != DDGBS_ISBLTDONE) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::GetBltStatus")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(mState->mutex);
    return mState->dead ? DDERR_INVALIDOBJECT : DD_OK;
}

HRESULT IDirectDrawSurface7::GetCaps(DDSCAPS2* caps) {
    if (caps == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *caps = mState->caps;
    return DD_OK;
}

HRESULT IDirectDrawSurface7::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2)) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::GetSurfaceDesc")) {
        return *fault;
    }
    Describe(*mState, desc);
    return DD_OK;
}

HRESULT IDirectDrawSurface7::GetPixelFormat(DDPIXELFORMAT* format) {
    if (format == nullptr || format->dwSize != sizeof(DDPIXELFORMAT)) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::GetPixelFormat")) {
        return *fault;
    }
    *format = mState->layout.ToDD();
    return DD_OK;
}

HRESULT IDirectDrawSurface7::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE /*event*/) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2)) {
        return DDERR_INVALIDPARAMS;
    }
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::Lock")) {
        return *fault;
    }
    TSurface& surface = *mState;
    const RECT area = rect != nullptr ? *rect : Bounds(surface);
    if (IsEmpty(area) || !Inside(area, Bounds(surface))) {
        return DDERR_INVALIDRECT;
    }
    std::unique_lock<std::mutex> hold(surface.mutex);
    for (;;) {
        if (const HRESULT hr = UsableLocked(surface); FAILED(hr)) {
            return hr;
        }
        if (!surface.locked) {
            break;
        }
        if (surface.lockedBy == std::this_thread::get_id()) {
            return DDERR_SURFACEBUSY;
        }
        if ((flags & DDLOCK_WAIT) == 0) {
            return DDERR_WASSTILLDRAWING;
        }
        surface.unlocked.wait(hold);
    }
    surface.locked = true;
    surface.lockedBy = std::this_thread::get_id();
    Describe(surface, desc);
    desc->dwFlags |= DDSD_LPSURFACE;
    desc->lpSurface = surface.Row(static_cast<DWORD>(area.top)) +
                      static_cast<std::size_t>(area.left) * surface.layout.bytes;
    if ((flags & DDLOCK_READONLY) == 0) {
        surface.dirty = surface.dirty || surface.primary;
    }
    return DD_OK;
}

HRESULT IDirectDrawSurface7::Unlock(RECT* /*rect*/) {
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::Unlock")) {
        return *fault;
    }
    TSurface& surface = *mState;
    {
        std::lock_guard<std::mutex> hold(surface.mutex);
        if (!surface.locked) {
            return DDERR_NOTLOCKED;
        }
        surface.locked = false;
    }
    surface.unlocked.notify_all();
    return DD_OK;
}

HRESULT IDirectDrawSurface7::SetClipper(IDirectDrawClipper* clipper) {
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::SetClipper")) {
        return *fault;
    }
    if (clipper != nullptr) {
        clipper->AddRef();
    }
    if (mState->clipper != nullptr) {
        mState->clipper->Release();
    }
    mState->clipper = clipper;
    return DD_OK;
}

HRESULT IDirectDrawSurface7::GetClipper(IDirectDrawClipper** clipper) {
    if (clipper == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *clipper = mState->clipper;
    if (*clipper == nullptr) {
        return DDERR_NOCLIPPERATTACHED;
    }
    (*clipper)->AddRef();
    return DD_OK;
}

HRESULT IDirectDrawSurface7::GetDC(HDC* dc) {
    if (dc != nullptr) {
        *dc = nullptr;
    }
    return DDERR_CANTCREATEDC;
}

HRESULT IDirectDrawSurface7::ReleaseDC(HDC /*dc*/) {
    return DDERR_NODC;
}

HRESULT IDirectDrawSurface7::IsLost() {
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::IsLost")) {
        return *fault;
    }
    std::lock_guard<std::mutex> hold(mState->mutex);
    return UsableLocked(*mState);
}

HRESULT IDirectDrawSurface7::Restore() {
    if (auto fault = TakeFault(this, "IDirectDrawSurface7::Restore")) {
        return *fault;
    }
    const auto owner = mState->owner.lock();
    if (!owner) {
        return DDERR_INVALIDOBJECT;
    }
    {
        std::lock_guard<std::mutex> hold(System().mutex);
        const HRESULT state = CooperativeStateLocked(*owner);
        if (FAILED(state)) {
            return state;
        }
    }
    // The front of a flip chain brings its back buffer with it, a mip-mapped texture its levels.
    std::vector<TSurface*> chain{mState.get()};
    if (mState->flipPartner != nullptr) {
        chain.push_back(&mState->flipPartner->State());
    }
    for (IDirectDrawSurface7* level = mState->nextLevel; level != nullptr;
         level = level->State().nextLevel) {
        chain.push_back(&level->State());
    }
    for (TSurface* surface : chain) {
        std::lock_guard<std::mutex> hold(surface->mutex);
        if (surface->dead) {
            return DDERR_INVALIDOBJECT;
        }
        surface->lost = false;
    }
    return DD_OK;
}
