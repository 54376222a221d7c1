// The pixel formats surfaces are kept in, and conversion between them and 32-bit colour.
// Not part of the DirectDraw surface.
#pragma once

#include "platform/directx/ddraw.h"

#include <cstdint>

namespace standin::detail {

struct TPixelLayout {
    DWORD bits = 0;  // as DirectDraw reports it: 16, 24 or 32; the depth of a z-buffer
    DWORD bytes = 0; // storage per pixel
    DWORD red = 0;
    DWORD green = 0;
    DWORD blue = 0;
    DWORD alpha = 0;
    bool depth = false;
    DWORD depthMask = 0;

    DDPIXELFORMAT ToDD() const;
    bool operator==(const TPixelLayout& other) const = default;
};

// One of the supported formats (R5G6B5, X1R5G5B5, A1R5G5B5, A4R4G4B4, R8G8B8, X8R8G8B8,
// A8R8G8B8, z-buffers of 16, 24 and 32 bits); false for anything else.
bool LayoutFromDD(const DDPIXELFORMAT& format, TPixelLayout* layout);
// The format of a display mode's depth: 15 X1R5G5B5, 16 R5G6B5, 24 R8G8B8, 32 X8R8G8B8;
// false for other depths (palettes are not supported).
bool LayoutForDisplayBits(DWORD bits, TPixelLayout* layout);

inline DWORD ReadRaw(const std::uint8_t* at, DWORD bytes) {
    switch (bytes) {
    case 2:
        return static_cast<DWORD>(at[0] | (at[1] << 8));
    case 3:
        return static_cast<DWORD>(at[0] | (at[1] << 8) | (at[2] << 16));
    default:
        return static_cast<DWORD>(at[0]) | (static_cast<DWORD>(at[1]) << 8) |
               (static_cast<DWORD>(at[2]) << 16) | (static_cast<DWORD>(at[3]) << 24);
    }
}

inline void WriteRaw(std::uint8_t* at, DWORD bytes, DWORD value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    if (bytes >= 3) {
        at[2] = static_cast<std::uint8_t>(value >> 16);
    }
    if (bytes >= 4) {
        at[3] = static_cast<std::uint8_t>(value >> 24);
    }
}

// 0xAARRGGBB to the layout's raw value: each channel keeps its top bits. Without an alpha
// channel alpha is dropped.
DWORD EncodePixel(std::uint32_t argb, const TPixelLayout& layout);
// The layout's raw value to 0xAARRGGBB: each channel widened by repeating its bits, so that a
// full channel gives 255; alpha 255 without an alpha channel.
std::uint32_t DecodePixel(DWORD raw, const TPixelLayout& layout);

} // namespace standin::detail
