// Span kernels of the rasteriser's fast paths: runs of source colours blended into a row of the
// target, one kernel per target format and blend set-up the engine uses, and a table-driven one
// for the rest. Each gives the bytes TPixelPipe::Blend and EncodePixel would. Not part of the
// Direct3D surface.
#pragma once

#include "platform/directx/d3draster.h"

#include <array>
#include <cstdint>

namespace standin::detail {

// A pixel format's conversion to and from 0xAARRGGBB by tables made from DecodePixel and
// EncodePixel, for the formats without a kernel of their own.
class TPixelCodec {
public:
    explicit TPixelCodec(const TPixelLayout& layout);

    const TPixelLayout& Layout() const { return mLayout; }
    std::uint32_t Decode(DWORD raw) const {
        std::uint32_t argb = 0;
        for (int c = 0; c < 4; ++c) {
            argb |= static_cast<std::uint32_t>(mDecode[c][(raw & mMask[c]) >> mShift[c]])
                    << kArgbShift[c];
        }
        return argb;
    }
    DWORD Encode(std::uint32_t argb) const {
        return mEncode[0][(argb >> 16) & 0xFF] | mEncode[1][(argb >> 8) & 0xFF] |
               mEncode[2][argb & 0xFF] | mEncode[3][argb >> 24];
    }

    // Where red, green, blue and alpha sit in 0xAARRGGBB.
    static constexpr int kArgbShift[4] = {16, 8, 0, 24};

private:
    TPixelLayout mLayout;
    // Channels red, green, blue, alpha; a missing alpha channel decodes as 255.
    std::array<DWORD, 4> mMask{};
    std::array<int, 4> mShift{};
    std::array<std::array<std::uint8_t, 256>, 4> mDecode{};
    std::array<std::array<DWORD, 256>, 4> mEncode{};
};

// Writes runs of source colours (0xAARRGGBB) into a target row as a draw call's state says:
// blending, then packing. Chosen once per draw call.
class TSpanWriter {
public:
    // `codec` is used for formats without a kernel of their own; it must outlive the writer.
    TSpanWriter(const TPixelPipe& pipe, const TPixelCodec& codec);

    // `count` pixels from `out` (the first pixel's bytes), one source colour each or one for all.
    void Span(std::uint8_t* out, const std::uint32_t* source, int count) const {
        (count < kFew ? mKernels.spanFew : mKernels.span)(*this, out, source, count);
    }
    // `rows` runs of `count` pixels: target rows `pitch` bytes apart, sources `stride` apart.
    void Rows(std::uint8_t* out, std::size_t pitch, const std::uint32_t* source, std::size_t stride,
              int count, int rows) const {
        const TSpanFn span = count < kFew ? mKernels.spanFew : mKernels.span;
        for (int r = 0; r < rows; ++r) {
            span(*this, out + pitch * static_cast<std::size_t>(r),
                 source + stride * static_cast<std::size_t>(r), count);
        }
    }
    void Fill(std::uint8_t* out, std::uint32_t source, int count) const {
        (count < kFew ? mKernels.fillFew : mKernels.fill)(*this, out, source, count);
    }
    DWORD Bytes() const { return mBytes; }

    using TSpanFn = void (*)(const TSpanWriter&, std::uint8_t*, const std::uint32_t*, int);
    using TFillFn = void (*)(const TSpanWriter&, std::uint8_t*, std::uint32_t, int);
    // Vector kernels, and plain ones for runs of fewer than kFew pixels.
    struct TKernels {
        TSpanFn span, spanFew;
        TFillFn fill, fillFew;
    };
    static constexpr int kFew = 8;

    const TPixelPipe& Pipe() const { return mPipe; }
    const TPixelCodec& Codec() const { return mCodec; }

private:
    const TPixelPipe& mPipe;
    const TPixelCodec& mCodec;
    DWORD mBytes;
    TKernels mKernels{};
};

} // namespace standin::detail
