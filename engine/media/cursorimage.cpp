// The cursor's images as the Direct3D context draws them: run lists built once per image, blended
// into the composite surface at every draw, and the icon cursor of the "activex" hosted mode.
#include "engine/media/cursorimage.h"

#include "engine/media/directx.h"
#include "engine/media/dxtexturedata.h"
#include "engine/media/texture.h"
#include "platform/win32/windows.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>

namespace {

// major << 16 | minor; -1 until the system was asked.
std::atomic<int32_t> gWindowsVersion{-1};

int32_t WindowsVersion() {
    int32_t version = gWindowsVersion.load();
    if (version < 0) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        version = GetVersionExA(&info) != FALSE
                      ? static_cast<int32_t>((info.dwMajorVersion & 0x7FFF) << 16 |
                                             (info.dwMinorVersion & 0xFFFF))
                      : 0;
        gWindowsVersion = version;
    }
    return version;
}

// The top n bits of a 16-bit product, placed where the n-bit mask sits.
uint16_t PackChannel(uint32_t product, DWORD mask) {
    if (mask == 0) {
        return 0;
    }
    const int bits = std::popcount(mask);
    const int shift = std::countr_zero(mask);
    return static_cast<uint16_t>(((product >> (16 - bits)) << shift) & mask);
}

// Destination channel under mask, darkened by the inverse alpha, plus the run's value.
uint32_t BlendChannel(uint32_t destination, DWORD mask, uint32_t inverseAlpha, uint32_t value) {
    return ((((destination & mask) * inverseAlpha) >> 8) + value) & mask;
}

uint8_t BlendByte(uint8_t destination, uint32_t inverseAlpha, uint32_t value) {
    return static_cast<uint8_t>((destination * inverseAlpha + value) >> 8);
}

// Pure magenta marks a game image's transparent pixels; image tools round it a little.
bool IsKeyColor(TColor32 pixel) {
    return pixel.GetR() >= 248 && pixel.GetG() == 0 && pixel.GetB() >= 248;
}

// Walks the image's rows: every run of pixels that `drawn` accepts becomes a run whose pixels
// `convert` made. False when the texture cannot be read; the list is left as it was then.
template <class Drawn, class Convert>
bool BuildRuns(const TTexturePtr& texture, TCursorRuns* runs, Drawn drawn, Convert convert) {
    uint32_t* pixels = nullptr;
    int pitch = 0;
    if (!texture || !texture->Lock(&pixels, &pitch)) {
        return false;
    }
    runs->clear();
    // Positions are 16-bit; no cursor comes near that.
    const int width = std::min(texture->GetWidth(), 0xFFFF);
    const int height = std::min(texture->GetHeight(), 0xFFFF);
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
        int x = 0;
        while (x < width) {
            if (!drawn(TColor32(row[x]))) {
                ++x;
                continue;
            }
            TCursorRun run;
            run.x = static_cast<uint16_t>(x);
            run.y = static_cast<uint16_t>(y);
            for (; x < width && drawn(TColor32(row[x])); ++x) {
                run.pixels.push_back(convert(TColor32(row[x])));
            }
            runs->push_back(std::move(run));
        }
    }
    texture->Unlock();
    return true;
}

} // namespace

bool IsXpOrLater() {
    return WindowsVersion() > (5 << 16);
}

bool IsVistaOrLater() {
    return WindowsVersion() >= (6 << 16);
}

void ForgetWindowsVersion() {
    gWindowsVersion = -1;
}

TRunPixel TDXContext::RunPixel(TColor32 pixel, const DDPIXELFORMAT& format) {
    TRunPixel out;
    const uint32_t alpha = static_cast<uint32_t>(pixel.GetA());
    out.inverseAlpha = static_cast<uint8_t>(255 - alpha);
    const uint32_t red = alpha * static_cast<uint32_t>(pixel.GetR());
    const uint32_t green = alpha * static_cast<uint32_t>(pixel.GetG());
    const uint32_t blue = alpha * static_cast<uint32_t>(pixel.GetB());
    switch (format.dwRGBBitCount) {
    case 15:
    case 16:
        out.red = PackChannel(red, format.dwRBitMask);
        out.green = PackChannel(green, format.dwGBitMask);
        out.blue = PackChannel(blue, format.dwBBitMask);
        break;
    case 24:
    case 32:
        out.red = static_cast<uint16_t>(red);
        out.green = static_cast<uint16_t>(green);
        out.blue = static_cast<uint16_t>(blue);
        break;
    default:
        // No depth the engine runs in: nothing to convert to.
        break;
    }
    return out;
}

void TDXContext::BlendRuns(const TCursorRuns& runs, const DDSURFACEDESC2& surface) {
    const DDPIXELFORMAT& format = surface.ddpfPixelFormat;
    const DWORD bits = format.dwRGBBitCount;
    const int bytes = bits == 15 || bits == 16 ? 2 : bits == 24 ? 3 : bits == 32 ? 4 : 0;
    if (bytes == 0 || surface.lpSurface == nullptr) {
        return;
    }
    auto* base = static_cast<uint8_t*>(surface.lpSurface);
    const int width = static_cast<int>(surface.dwWidth);
    const int height = static_cast<int>(surface.dwHeight);
    for (const TCursorRun& run : runs) {
        if (run.y >= height || run.x >= width) {
            continue;
        }
        const int count = std::min(static_cast<int>(run.pixels.size()), width - run.x);
        uint8_t* out = base + static_cast<ptrdiff_t>(run.y) * surface.lPitch +
                       static_cast<ptrdiff_t>(run.x) * bytes;
        for (int i = 0; i < count; ++i, out += bytes) {
            const TRunPixel& pixel = run.pixels[static_cast<size_t>(i)];
            const uint32_t inverse = pixel.inverseAlpha;
            if (bytes == 2) {
                uint16_t value = 0;
                std::memcpy(&value, out, 2);
                const uint32_t blended =
                    BlendChannel(value, format.dwRBitMask, inverse, pixel.red) |
                    BlendChannel(value, format.dwGBitMask, inverse, pixel.green) |
                    BlendChannel(value, format.dwBBitMask, inverse, pixel.blue);
                value = static_cast<uint16_t>(blended);
                std::memcpy(out, &value, 2);
            } else {
                out[0] = BlendByte(out[0], inverse, pixel.blue);
                out[1] = BlendByte(out[1], inverse, pixel.green);
                out[2] = BlendByte(out[2], inverse, pixel.red);
            }
        }
    }
}

bool TDXContext::BuildAlphaRuns(const TTexturePtr& texture, TCursorRuns* runs) const {
    const DDPIXELFORMAT format = mDisplayMode.ddpfPixelFormat;
    return BuildRuns(
        texture, runs, [](TColor32 pixel) { return pixel.GetA() != 0; },
        [&format](TColor32 pixel) { return RunPixel(pixel, format); });
}

bool TDXContext::BuildKeyedRuns(const TTexturePtr& texture, TCursorRuns* runs) const {
    const DDPIXELFORMAT format = mDisplayMode.ddpfPixelFormat;
    return BuildRuns(
        texture, runs, [](TColor32 pixel) { return !IsKeyColor(pixel); },
        [&format](TColor32 pixel) {
            // The image's own alpha means nothing here: every drawn pixel is opaque.
            pixel.SetA(255);
            return RunPixel(pixel, format);
        });
}

bool TDXContext::MakeCursorIcon(const TTexturePtr& texture, int hotX, int hotY) {
    constexpr int kSide = 32;
    if (!IsXpOrLater()) {
        return false;
    }
    mSystemCursor = texture;
    mIconHotSpot = TPoint{hotX, hotY};
    auto* data = texture ? static_cast<TDxTextureData*>(texture->GetData()) : nullptr;
    if (data == nullptr) {
        return false;
    }
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = kSide;
    header.bV5Height = -kSide;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000u;
    header.bV5GreenMask = 0x0000FF00u;
    header.bV5BlueMask = 0x000000FFu;
    header.bV5AlphaMask = 0xFF000000u;
    header.bV5CSType = LCS_WINDOWS_COLOR_SPACE;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP color = CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(&header),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    if (color == nullptr) {
        return false;
    }
    // The bitmap holds 32 x 32 pixels whatever the image's size: a larger image is cut.
    data->ReadPixels(static_cast<uint32_t*>(bits), kSide, kSide);
    const uint8_t noMask[kSide * kSide / 8] = {};
    HBITMAP mask = CreateBitmap(kSide, kSide, 1, 1, noMask);
    ICONINFO info{};
    info.fIcon = FALSE;
    info.xHotspot = static_cast<DWORD>(std::clamp(hotX, 0, kSide - 1));
    info.yHotspot = static_cast<DWORD>(std::clamp(hotY, 0, kSide - 1));
    info.hbmMask = mask;
    info.hbmColor = color;
    HICON icon = mask != nullptr ? CreateIconIndirect(&info) : nullptr;
    DeleteObject(color);
    if (mask != nullptr) {
        DeleteObject(mask);
    }
    if (icon == nullptr) {
        return false;
    }
    if (mCursorIcon != nullptr) {
        DestroyIcon(mCursorIcon);
    }
    mCursorIcon = icon;
    SetCursor(reinterpret_cast<HCURSOR>(icon));
    return true;
}
