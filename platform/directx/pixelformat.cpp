#include "platform/directx/pixelformat.h"

#include <bit>

namespace standin::detail {

namespace {

struct TKnownFormat {
    DWORD bits;
    DWORD bytes;
    DWORD red;
    DWORD green;
    DWORD blue;
    DWORD alpha;
};

constexpr TKnownFormat kColourFormats[] = {
    {16, 2, 0xF800, 0x07E0, 0x001F, 0},                // R5G6B5
    {16, 2, 0x7C00, 0x03E0, 0x001F, 0},                // X1R5G5B5
    {16, 2, 0x7C00, 0x03E0, 0x001F, 0x8000},           // A1R5G5B5
    {16, 2, 0x0F00, 0x00F0, 0x000F, 0xF000},           // A4R4G4B4
    {24, 3, 0xFF0000, 0x00FF00, 0x0000FF, 0},          // R8G8B8
    {32, 4, 0xFF0000, 0x00FF00, 0x0000FF, 0},          // X8R8G8B8
    {32, 4, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000}, // A8R8G8B8
};

TPixelLayout FromKnown(const TKnownFormat& known) {
    TPixelLayout layout;
    layout.bits = known.bits;
    layout.bytes = known.bytes;
    layout.red = known.red;
    layout.green = known.green;
    layout.blue = known.blue;
    layout.alpha = known.alpha;
    return layout;
}

DWORD Place(std::uint32_t value8, DWORD mask) {
    if (mask == 0) {
        return 0;
    }
    const int width = std::popcount(mask);
    const int shift = std::countr_zero(mask);
    return ((value8 >> (8 - width)) << shift) & mask;
}

std::uint32_t Widen(DWORD raw, DWORD mask) {
    const int width = std::popcount(mask);
    const int shift = std::countr_zero(mask);
    std::uint32_t value = (raw & mask) >> shift;
    // Repeat the bits until eight are filled: 5 bits 11111 -> 11111111.
    std::uint32_t wide = 0;
    int filled = 0;
    while (filled < 8) {
        wide = (wide << width) | value;
        filled += width;
    }
    return wide >> (filled - 8);
}

} // namespace

DDPIXELFORMAT TPixelLayout::ToDD() const {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof format;
    if (depth) {
        format.dwFlags = DDPF_ZBUFFER;
        format.dwZBufferBitDepth = bits;
        format.dwZBitMask = depthMask;
        return format;
    }
    format.dwFlags = DDPF_RGB | (alpha != 0 ? DDPF_ALPHAPIXELS : 0u);
    format.dwRGBBitCount = bits;
    format.dwRBitMask = red;
    format.dwGBitMask = green;
    format.dwBBitMask = blue;
    format.dwRGBAlphaBitMask = alpha;
    return format;
}

bool LayoutFromDD(const DDPIXELFORMAT& format, TPixelLayout* layout) {
    if ((format.dwFlags & DDPF_ZBUFFER) != 0) {
        const DWORD bits = format.dwZBufferBitDepth;
        if (bits != 16 && bits != 24 && bits != 32) {
            return false;
        }
        const DWORD full = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        if (format.dwZBitMask != 0 && format.dwZBitMask != full) {
            return false;
        }
        *layout = TPixelLayout{};
        layout->depth = true;
        layout->bits = bits;
        layout->bytes = bits == 16 ? 2 : 4;
        layout->depthMask = full;
        return true;
    }
    if ((format.dwFlags & DDPF_RGB) == 0 ||
        (format.dwFlags & (DDPF_FOURCC | DDPF_PALETTEINDEXED8 | DDPF_LUMINANCE)) != 0) {
        return false;
    }
    const DWORD alpha = (format.dwFlags & DDPF_ALPHAPIXELS) != 0 ? format.dwRGBAlphaBitMask : 0;
    for (const TKnownFormat& known : kColourFormats) {
        if (known.bits == format.dwRGBBitCount && known.red == format.dwRBitMask &&
            known.green == format.dwGBitMask && known.blue == format.dwBBitMask &&
            known.alpha == alpha) {
            *layout = FromKnown(known);
            return true;
        }
    }
    return false;
}

bool LayoutForDisplayBits(DWORD bits, TPixelLayout* layout) {
    switch (bits) {
    case 15:
        // DirectDraw reports 15-bit modes as 16 bits with 5-5-5 masks.
        *layout = FromKnown(kColourFormats[1]);
        return true;
    case 16:
        *layout = FromKnown(kColourFormats[0]);
        return true;
    case 24:
        *layout = FromKnown(kColourFormats[4]);
        return true;
    case 32:
        *layout = FromKnown(kColourFormats[5]);
        return true;
    default:
        return false;
    }
}

DWORD EncodePixel(std::uint32_t argb, const TPixelLayout& layout) {
    return Place((argb >> 16) & 0xFF, layout.red) | Place((argb >> 8) & 0xFF, layout.green) |
           Place(argb & 0xFF, layout.blue) | Place(argb >> 24, layout.alpha);
}

std::uint32_t DecodePixel(DWORD raw, const TPixelLayout& layout) {
    if (layout.depth) {
        return 0xFF000000u;
    }
    const std::uint32_t alpha = layout.alpha != 0 ? Widen(raw, layout.alpha) : 0xFF;
    return (alpha << 24) | (Widen(raw, layout.red) << 16) | (Widen(raw, layout.green) << 8) |
           Widen(raw, layout.blue);
}

} // namespace standin::detail
