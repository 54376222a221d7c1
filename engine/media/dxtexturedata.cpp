#include "engine/media/dxtexturedata.h"

#include "engine/core/file.h"
#include "engine/core/log.h"
#include "engine/media/directx.h"
#include "engine/media/dxdisplayhandler.h"
#include "engine/media/dxerror.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "platform/directx/d3dx.h"
#include "platform/win32/wingdi.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr const char* kTextureSource = ".\\dxtexturedata";

using TAlphaFormatCache = TPlatformData::TAlphaFormat;

// The alpha format chosen for plain alpha surfaces, shared by all of them until the display
// set-up forgets it. Only asked for while a display handler exists.
TAlphaFormatCache& AlphaFormatCache() {
    return TDxDisplayHandler::Instance()->GetData().mAlphaFormat;
}

// Blit logs its first failure of each kind only, once per process.
struct TBlitFailureLog {
    bool fast = false;
    bool scaled = false;
};

TBlitFailureLog& BlitFailureLog() {
    static TBlitFailureLog log;
    return log;
}

struct TAlphaSearch {
    DWORD bits;
    bool first;
};

HRESULT AlphaFormatCallback(DDPIXELFORMAT* format, void* context) {
    auto* search = static_cast<TAlphaSearch*>(context);
    const bool counts = (format->dwFlags & DDPF_RGB) != 0 &&
                        (format->dwFlags & DDPF_ALPHAPIXELS) != 0 &&
                        (format->dwFlags & DDPF_LUMINANCE) == 0;
    if (!counts || format->dwRGBBitCount != search->bits) {
        return DDENUMRET_OK;
    }
    TAlphaFormatCache& cache = AlphaFormatCache();
    if (search->first) {
        cache.format = *format;
        cache.found = true;
        search->first = false;
    } else if (std::popcount(format->dwRGBAlphaBitMask) >
                   std::popcount(cache.format.dwRGBAlphaBitMask) &&
               std::popcount(format->dwBBitMask) >= 3) {
        cache.format = *format;
    }
    // Every format is looked at.
    return DDENUMRET_OK;
}

void FindAlphaFormat(IDirect3DDevice7* device, DWORD bits) {
    TAlphaSearch search{bits, true};
    const HRESULT result = device->EnumTextureFormats(AlphaFormatCallback, &search);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 101);
    }
}

int PowerOfTwoFrom2(int value) {
    int power = 2;
    while (power < value && power < (1 << 30)) {
        power *= 2;
    }
    return power;
}

// The position of a contiguous mask's top bit; -1 for an empty mask.
int TopBit(DWORD mask) {
    return mask == 0 ? -1 : 31 - std::countl_zero(mask);
}

// An 8-bit channel reduced to the mask's width by dropping low bits, at the mask's position.
DWORD PlaceChannel(uint32_t value, DWORD mask) {
    const int top = TopBit(mask);
    if (top < 0) {
        return 0;
    }
    const DWORD moved = top >= 7 ? value << (top - 7) : value >> (7 - top);
    return moved & mask;
}

// The channel under the mask, its top bit moved to bit 7.
uint32_t TakeChannel(DWORD raw, DWORD mask) {
    const int top = TopBit(mask);
    if (top < 0) {
        return 0;
    }
    const DWORD bits = raw & mask;
    return (top >= 7 ? bits >> (top - 7) : bits << (7 - top)) & 0xFF;
}

DWORD ReadValue(const uint8_t* at, int bytes) {
    DWORD value = 0;
    std::memcpy(&value, at, static_cast<size_t>(bytes));
    return value;
}

void WriteValue(uint8_t* at, int bytes, DWORD value) {
    std::memcpy(at, &value, static_cast<size_t>(bytes));
}

// Rounded to the nearest integer; NaN gives 0 and values beyond the int range its ends (the scale
// is a setting).
LONG RoundScaled(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0) {
        return std::numeric_limits<LONG>::max();
    }
    if (value <= -2147483648.0) {
        return std::numeric_limits<LONG>::min();
    }
    return static_cast<LONG>(std::lround(value));
}

// GDI's copy between the two surfaces' device contexts, the fall-back of a failed blit. With
// `dest` the copy stretches to it.
void GdiCopy(IDirectDrawSurface7* target, IDirectDrawSurface7* source, int x, int y,
             const RECT& from, const RECT* dest) {
    HDC targetDc = nullptr;
    HDC sourceDc = nullptr;
    if (FAILED(target->GetDC(&targetDc))) {
        return;
    }
    if (SUCCEEDED(source->GetDC(&sourceDc))) {
        const int width = from.right - from.left;
        const int height = from.bottom - from.top;
        if (dest != nullptr) {
            StretchBlt(targetDc, dest->left, dest->top, dest->right - dest->left,
                       dest->bottom - dest->top, sourceDc, from.left, from.top, width, height,
                       SRCCOPY);
        } else {
            BitBlt(targetDc, x, y, width, height, sourceDc, from.left, from.top, SRCCOPY);
        }
        source->ReleaseDC(sourceDc);
    }
    target->ReleaseDC(targetDc);
}

} // namespace

void ForgetTexturePixelFormat() {
    if (TDxDisplayHandler::Instance() != nullptr) {
        AlphaFormatCache() = TAlphaFormatCache{};
    }
}

TTextureData* TDxDisplayHandler::CreateTextureData() {
    return new TDxTextureData;
}

TDxTextureData::~TDxTextureData() {
    if (mSurface != nullptr) {
        mSurface->Release();
    }
}

void TDxTextureData::ReleaseSurface() {
    if (mSurface != nullptr) {
        mSurface->Release();
        mSurface = nullptr;
    }
}

void TDxTextureData::ReadSurfaceSize() {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    const HRESULT result = mSurface->GetSurfaceDesc(&desc);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 102);
        return;
    }
    mSurfaceWidth = static_cast<int32_t>(desc.dwWidth);
    mSurfaceHeight = static_cast<int32_t>(desc.dwHeight);
}

bool TDxTextureData::CreateSurface(int width, int height, bool clear) {
    const int askedWidth = width;
    const int askedHeight = height;
    mOffsetX = 0;
    mOffsetY = 0;
    TDxDisplayHandler* handler = TDxDisplayHandler::Instance();
    if (handler == nullptr) {
        return false;
    }
    TPlatformData& data = handler->GetData();
    const bool simple = (mFlags & kSimple) != 0;
    if (!simple && data.mSquareTextures && width != height) {
        const int side = std::max(PowerOfTwoFrom2(width), PowerOfTwoFrom2(height));
        mOffsetX = (side - width) / 2;
        mOffsetY = (side - height) / 2;
        width = side;
        height = side;
    }
    if (data.mDirectDraw == nullptr || data.mDevice == nullptr) {
        return false;
    }
    DDSURFACEDESC2 display{};
    display.dwSize = sizeof display;
    HRESULT result = data.mDirectDraw->GetDisplayMode(&display);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 103);
        return false;
    }
    const DWORD displayBits = display.ddpfPixelFormat.dwRGBBitCount;

    if (simple) {
        // A plain surface is made anew each time.
        ReleaseSurface();
        mManaged = false;
        mMipLevel = 0;
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT;
        if (data.mSeparateTextureMemory) {
            desc.dwFlags |= DDSD_TEXTURESTAGE;
        }
        desc.dwWidth = static_cast<DWORD>(width);
        desc.dwHeight = static_cast<DWORD>(height);
        desc.ddpfPixelFormat = display.ddpfPixelFormat;
        desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
        const bool systemMemory = !data.mContext->IsHardware() || (mFlags & kLarge) != 0;
        if (systemMemory) {
            desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
        } else {
            desc.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
            DDSCAPS2 caps{};
            caps.dwCaps = DDSCAPS_VIDEOMEMORY;
            DWORD total = 0;
            DWORD available = 0;
            const HRESULT memory = data.mDirectDraw->GetAvailableVidMem(&caps, &total, &available);
            const uint64_t needed = uint64_t{displayBits} * static_cast<uint64_t>(width) *
                                    static_cast<uint64_t>(height) / 8;
            if (FAILED(memory)) {
                ReportDxError(memory, kTextureSource, 104);
            } else if (available != 0 && available <= needed && displayBits == 32) {
                Log("TDxTextureData::CreateSurface: Out of Memory in 32 bit mode. Tagging to "
                    "restart.");
                handler->OnOutOfVideoMemory();
            }
        }
        result = (mFlags & kAlpha) != 0
                     ? CreateAlphaSurface(data.mDirectDraw, data.mDevice, display, desc)
                     : CreatePlainSurface(data.mDirectDraw, desc);
        if (mSurface != nullptr && clear) {
            Clear();
        }
    } else if (mSurface == nullptr) {
        result =
            CreateManagedSurface(data.mDevice, displayBits, width, height, askedWidth, askedHeight);
    }
    mWidth = askedWidth;
    mHeight = askedHeight;
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 105);
        return !handler->IsReady() || result == DDERR_UNSUPPORTEDMODE;
    }
    return true;
}

HRESULT TDxTextureData::CreatePlainSurface(IDirectDraw7* directDraw, DDSURFACEDESC2 desc) {
    HRESULT result = directDraw->CreateSurface(&desc, &mSurface, nullptr);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 111);
        desc.ddsCaps.dwCaps ^= DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY;
        result = directDraw->CreateSurface(&desc, &mSurface, nullptr);
    }
    if (SUCCEEDED(result)) {
        ReadSurfaceSize();
    }
    return result;
}

HRESULT TDxTextureData::CreateAlphaSurface(IDirectDraw7* directDraw, IDirect3DDevice7* device,
                                           const DDSURFACEDESC2& display, DDSURFACEDESC2 desc) {
    const DWORD bits = display.ddpfPixelFormat.dwRGBBitCount;
    TAlphaFormatCache& cache = AlphaFormatCache();
    if (!cache.found || cache.format.dwRGBBitCount != bits) {
        FindAlphaFormat(device, bits);
    }
    HRESULT result = DDERR_INVALIDPIXELFORMAT;
    if (cache.found && cache.format.dwRGBBitCount == bits) {
        desc.ddpfPixelFormat = cache.format;
        result = directDraw->CreateSurface(&desc, &mSurface, nullptr);
        if (FAILED(result)) {
            ReportDxError(result, kTextureSource, 121);
        }
    }
    if (mSurface == nullptr) {
        // The display's format with an alpha channel: 4-4-4-4 at 16 bits, else 8 bits of alpha.
        DDPIXELFORMAT& format = desc.ddpfPixelFormat;
        format = display.ddpfPixelFormat;
        format.dwFlags |= DDPF_ALPHAPIXELS;
        if (bits == 16) {
            format.dwRGBAlphaBitMask = 0xF000;
            format.dwRBitMask = 0x0F00;
            format.dwGBitMask = 0x00F0;
            format.dwBBitMask = 0x000F;
        } else {
            format.dwRGBBitCount = 32;
            format.dwRGBAlphaBitMask = 0xFF000000u;
        }
        result = directDraw->CreateSurface(&desc, &mSurface, nullptr);
        if (FAILED(result)) {
            desc.ddsCaps.dwCaps =
                (desc.ddsCaps.dwCaps & ~DDSCAPS_SYSTEMMEMORY) | DDSCAPS_VIDEOMEMORY;
            result = directDraw->CreateSurface(&desc, &mSurface, nullptr);
        }
        if (FAILED(result)) {
            desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE;
            desc.ddpfPixelFormat = display.ddpfPixelFormat;
            result = directDraw->CreateSurface(&desc, &mSurface, nullptr);
        }
    }
    if (mSurface != nullptr) {
        ReadSurfaceSize();
        DDPIXELFORMAT made{};
        made.dwSize = sizeof made;
        if (FAILED(mSurface->GetPixelFormat(&made)) || (made.dwFlags & DDPF_ALPHAPIXELS) == 0) {
            Log("SURFACE request FAILED to get DDPF_ALPHAPIXELS.");
        }
    }
    return result;
}

HRESULT TDxTextureData::CreateManagedSurface(IDirect3DDevice7* device, DWORD displayBits, int width,
                                             int height, int askedWidth, int askedHeight) {
    const bool alpha = (mFlags & kAlpha) != 0;
    const bool mipMapped = (mFlags & kMipMap) != 0;
    D3DX_SURFACEFORMAT asked = D3DX_SF_UNKNOWN;
    if (displayBits == 16) {
        asked = alpha ? D3DX_SF_A4R4G4B4 : D3DX_SF_R5G6B5;
    } else {
        asked = alpha ? D3DX_SF_A8R8G8B8 : D3DX_SF_X8R8G8B8;
    }
    D3DX_SURFACEFORMAT made = asked;
    DWORD flags = mipMapped ? 0 : D3DX_TEXTURE_NOMIPMAP;
    DWORD madeWidth = static_cast<DWORD>(width);
    DWORD madeHeight = static_cast<DWORD>(height);
    const HRESULT result = D3DXCreateTexture(device, &flags, &madeWidth, &madeHeight, &made,
                                             nullptr, &mSurface, nullptr);
    if (FAILED(result)) {
        return result;
    }
    mMipLevel = mipMapped ? -1 : 0;
    // Measured from the size first asked for: the library may have enlarged it.
    mOffsetX = static_cast<int32_t>((madeWidth - static_cast<DWORD>(askedWidth)) >> 1);
    mOffsetY = static_cast<int32_t>((madeHeight - static_cast<DWORD>(askedHeight)) >> 1);
    mSurfaceWidth = static_cast<int32_t>(madeWidth);
    mSurfaceHeight = static_cast<int32_t>(madeHeight);
    if (made != asked && displayBits == 32) {
        Log("D3DXCreateTexture::CreateSurface: Created a 16 bit texture when requesting 32 bits. "
            "Switching to 16 bit mode");
        TDxDisplayHandler::Instance()->OnOutOfVideoMemory();
    }
    mManaged = true;
    return result;
}

bool TDxTextureData::Upload(int stride, int rows, const uint32_t* pixels) {
    if (mSurface == nullptr || pixels == nullptr || stride <= 0 || rows <= 0) {
        return false;
    }
    if (mManaged) {
        TDxDisplayHandler* handler = TDxDisplayHandler::Instance();
        IDirect3DDevice7* device = handler != nullptr ? handler->GetData().mDevice : nullptr;
        RECT area{0, 0, stride, rows};
        const HRESULT result = D3DXLoadTextureFromMemory(
            device, mSurface, static_cast<DWORD>(mMipLevel), const_cast<uint32_t*>(pixels), nullptr,
            D3DX_SF_A8R8G8B8, D3DX_DEFAULT, &area,
            mMipLevel == -1 ? D3DX_FT_LINEAR : D3DX_FT_POINT);
        if (FAILED(result)) {
            ReportDxError(result, kTextureSource, 131);
        }
        return true;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    HRESULT result = mSurface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 132);
        return false;
    }
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    const int width = std::min({mWidth, stride, static_cast<int>(desc.dwWidth)});
    const int height = std::min({mHeight, rows, static_cast<int>(desc.dwHeight)});
    const DWORD bits = format.dwRGBBitCount;
    auto* base = static_cast<uint8_t*>(desc.lpSurface);
    if (bits == 15 || bits == 16 || bits == 32) {
        const int bytes = bits == 32 ? 4 : 2;
        const DWORD colour = format.dwRBitMask | format.dwGBitMask | format.dwBBitMask;
        const DWORD alphaMask =
            (format.dwFlags & DDPF_ALPHAPIXELS) != 0 ? format.dwRGBAlphaBitMask : 0;
        // Without alpha every bit outside the colour masks is set.
        const DWORD opaque = (bits == 32 ? 0xFFFFFFFFu : 0xFFFFu) & ~colour;
        const bool alpha = (mFlags & kAlpha) != 0;
        for (int y = 0; y < height; ++y) {
            const uint32_t* in = pixels + static_cast<size_t>(stride) * static_cast<size_t>(y);
            uint8_t* out = base + static_cast<ptrdiff_t>(desc.lPitch) * y;
            for (int x = 0; x < width; ++x) {
                const uint32_t p = in[x];
                DWORD value = PlaceChannel(p & 0xFF, format.dwBBitMask) |
                              PlaceChannel((p >> 8) & 0xFF, format.dwGBitMask) |
                              PlaceChannel((p >> 16) & 0xFF, format.dwRBitMask);
                value |= alpha ? PlaceChannel(p >> 24, alphaMask) : opaque;
                WriteValue(out + static_cast<ptrdiff_t>(x) * bytes, bytes, value);
            }
        }
    } else if (bits == 24) {
        for (int y = 0; y < height; ++y) {
            const uint32_t* in = pixels + static_cast<size_t>(stride) * static_cast<size_t>(y);
            uint8_t* out = base + static_cast<ptrdiff_t>(desc.lPitch) * y;
            for (int x = 0; x < width; ++x) {
                WriteValue(out + static_cast<ptrdiff_t>(x) * 3, 3, in[x] & 0xFFFFFF);
            }
        }
    }
    result = mSurface->Unlock(nullptr);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 133);
        return false;
    }
    return true;
}

bool TDxTextureData::ReadPixels(uint32_t* pixels, int stride, int rows) {
    if (mSurface == nullptr || pixels == nullptr) {
        return false;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    HRESULT result = mSurface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 141);
        return false;
    }
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    const int width = std::min({mWidth, stride, static_cast<int>(desc.dwWidth)});
    const int height = std::min({mHeight, rows, static_cast<int>(desc.dwHeight)});
    const DWORD bits = format.dwRGBBitCount;
    const int bytes = bits == 32 ? 4 : bits == 24 ? 3 : 2;
    const DWORD alphaMask = (format.dwFlags & DDPF_ALPHAPIXELS) != 0 ? format.dwRGBAlphaBitMask : 0;
    const bool alpha = (mFlags & kAlpha) != 0;
    if (bits == 15 || bits == 16 || bits == 24 || bits == 32) {
        const auto* base = static_cast<const uint8_t*>(desc.lpSurface);
        for (int y = 0; y < height; ++y) {
            const uint8_t* in = base + static_cast<ptrdiff_t>(desc.lPitch) * y;
            uint32_t* out = pixels + static_cast<size_t>(stride) * static_cast<size_t>(y);
            for (int x = 0; x < width; ++x) {
                const DWORD raw = ReadValue(in + static_cast<ptrdiff_t>(x) * bytes, bytes);
                const uint32_t a = alpha ? TakeChannel(raw, alphaMask) : 0xFF;
                out[x] = (a << 24) | (TakeChannel(raw, format.dwRBitMask) << 16) |
                         (TakeChannel(raw, format.dwGBitMask) << 8) |
                         TakeChannel(raw, format.dwBBitMask);
            }
        }
    }
    result = mSurface->Unlock(nullptr);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 142);
    }
    return true;
}

bool TDxTextureData::Lock(uint32_t** pixels, int* pitch) {
    if (mSurface == nullptr) {
        return false;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    HRESULT result = mSurface->GetSurfaceDesc(&desc);
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 151);
        return false;
    }
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    const bool argb = format.dwRGBBitCount == 32 && (format.dwFlags & DDPF_ALPHAPIXELS) != 0 &&
                      format.dwRBitMask == 0xFF0000 && format.dwGBitMask == 0xFF00 &&
                      format.dwBBitMask == 0xFF && format.dwRGBAlphaBitMask == 0xFF000000u;
    if (argb) {
        DDSURFACEDESC2 locked{};
        locked.dwSize = sizeof locked;
        result = mSurface->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr);
        if (SUCCEEDED(result)) {
            *pixels = static_cast<uint32_t*>(locked.lpSurface);
            *pitch = locked.lPitch / 4;
            return true;
        }
        ReportDxError(result, kTextureSource, 152);
    }
    const size_t count = static_cast<size_t>(desc.dwWidth) * desc.dwHeight;
    mLockCopy.reset(new uint32_t[count]());
    ReadPixels(mLockCopy.get(), static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight));
    *pixels = mLockCopy.get();
    *pitch = static_cast<int>(desc.dwWidth);
    return true;
}

void TDxTextureData::Unlock() {
    if (mLockCopy) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = sizeof desc;
        if (mSurface != nullptr && SUCCEEDED(mSurface->GetSurfaceDesc(&desc))) {
            // The copy goes back through the converting path, whoever made the surface.
            const bool managed = mManaged;
            mManaged = false;
            Upload(static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight),
                   mLockCopy.get());
            mManaged = managed;
        }
        mLockCopy.reset();
        return;
    }
    if (mSurface != nullptr) {
        const HRESULT result = mSurface->Unlock(nullptr);
        if (FAILED(result)) {
            ReportDxError(result, kTextureSource, 153);
        }
    }
}

void TDxTextureData::Blit(int x, int y, const TRect* source, TTextureData* target) {
    if (mSurface == nullptr) {
        return;
    }
    const RECT from = source != nullptr
                          ? RECT{source->left, source->top, source->right, source->bottom}
                          : RECT{0, 0, mWidth, mHeight};
    if (target == nullptr) {
        BlitToScreen(x, y, from);
        return;
    }
    // Texture data comes from the display handler, which makes only this kind.
    IDirectDrawSurface7* surface = static_cast<TDxTextureData*>(target)->GetSurface();
    if (surface != nullptr) {
        BlitFast(surface, x, y, from);
    }
}

void TDxTextureData::BlitFast(IDirectDrawSurface7* target, int x, int y, const RECT& source) {
    RECT from = source;
    const HRESULT result = target->BltFast(static_cast<DWORD>(x), static_cast<DWORD>(y), mSurface,
                                           &from, DDBLTFAST_WAIT);
    if (result == DDERR_SURFACELOST) {
        if (TDxDisplayHandler* handler = TDxDisplayHandler::Instance()) {
            handler->MarkLostThrottled();
        }
        return;
    }
    if (FAILED(result)) {
        TBlitFailureLog& logged = BlitFailureLog();
        if (!logged.fast) {
            logged.fast = true;
            ReportDxError(result, kTextureSource, 161);
        }
        GdiCopy(target, mSurface, x, y, from, nullptr);
    }
}

void TDxTextureData::BlitToScreen(int x, int y, const RECT& source) {
    TDxDisplayHandler* handler = TDxDisplayHandler::Instance();
    IDirectDrawSurface7* target = handler != nullptr ? handler->GetData().mScreenTarget : nullptr;
    if (target == nullptr) {
        return;
    }
    RECT from = source;
    float scale = 1.0f;
    const TPlatform* platform = TPlatform::GetInstance();
    const bool scaled = platform != nullptr && platform->GetWin32()->GetViewportScale(&scale);
    TBlitFailureLog& logged = BlitFailureLog();
    if (!scaled) {
        BlitFast(target, x, y, from);
        return;
    }
    // Embedded with a viewport scale: the source rectangle itself, scaled, on the screen.
    RECT dest{RoundScaled(static_cast<double>(from.left) * scale),
              RoundScaled(static_cast<double>(from.top) * scale),
              RoundScaled(static_cast<double>(from.right) * scale),
              RoundScaled(static_cast<double>(from.bottom) * scale)};
    const HRESULT result = target->Blt(&dest, mSurface, &from, DDBLT_WAIT, nullptr);
    if (result == DDERR_SURFACELOST) {
        handler->MarkLostThrottled();
        return;
    }
    if (FAILED(result)) {
        if (!logged.scaled) {
            logged.scaled = true;
            ReportDxError(result, kTextureSource, 162);
        }
        GdiCopy(target, mSurface, x, y, from, &dest);
    }
}

void TDxTextureData::Clear() {
    if (mSurface == nullptr) {
        return;
    }
    DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = 0;
    HRESULT result = mSurface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    if (result == DDERR_SURFACELOST) {
        const HRESULT restored = mSurface->Restore();
        if (FAILED(restored)) {
            ReportDxError(restored, kTextureSource, 171);
        }
        result = mSurface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
    if (FAILED(result)) {
        ReportDxError(result, kTextureSource, 172);
    }
}

bool TDxTextureData::ImageFileExists(const str& name) {
    const int question = name.FindChar('?');
    const str file = question >= 0 ? name.Substr(0, question) : name;
    return EngineFileExists(file) || EngineFileExists(file + ".png") ||
           EngineFileExists(file + ".jpg");
}

bool TDxTextureData::Restore() {
    TDxDisplayHandler* handler = TDxDisplayHandler::Instance();
    if (mFileName.Length() != 0) {
        const TLoadResult result = LoadImageFrom(mFileName, mMaskName);
        if (result == TLoadResult::kLoaded) {
            return true;
        }
        if (mMaskName.Length() != 0) {
            Log("TDxTextureData::Restore: Failed to restore from file %s and %s.", mFileName.CStr(),
                mMaskName.CStr());
        } else {
            Log("TDxTextureData::Restore: Failed to restore from file %s.", mFileName.CStr());
        }
        const bool gone =
            !ImageFileExists(mFileName) || (mMaskName.Length() != 0 && !ImageFileExists(mMaskName));
        // An image that is gone or no longer decodes will not load on another try either; only
        // a surface that could not be made or filled asks the display for another restore.
        if (gone || result == TLoadResult::kNoImage) {
            return false;
        }
        if (handler != nullptr) {
            handler->MarkLostThrottled();
        }
        return false;
    }
    if (CreateSurface(mWidth, mHeight, true)) {
        return true;
    }
    Log("TDxTextureData::Restore: Failed to restore %dx%d texture (%d,%d)", mWidth, mHeight,
        mSurfaceWidth, mSurfaceHeight);
    if (handler != nullptr) {
        handler->MarkLostThrottled();
    }
    return false;
}
