#include "platform/directx/d3dspan.h"
#include "platform/directx/d3dtexelrow.h"

#include <bit>
#include <cstring>

namespace standin::detail {

namespace {

// The per-pixel helpers are inlined into each kernel so that its vector clone vectorises them.
#define STANDIN_INLINE inline __attribute__((always_inline))

enum class TSpanFormat { X8R8G8B8, A8R8G8B8, R5G6B5, Table };
enum class TSpanBlend { Opaque, Normal, Additive, Subtractive, Multiply, Sum, Any };

template <TSpanFormat F>
constexpr DWORD kSpanBytes = F == TSpanFormat::R5G6B5 ? 2 : 4;

// Whether the format keeps alpha, so that blending must work it out.
template <TSpanFormat F>
STANDIN_INLINE bool KeepsAlpha(const TSpanWriter& w) {
    if constexpr (F == TSpanFormat::Table) {
        return w.Codec().Layout().alpha != 0;
    }
    return F == TSpanFormat::A8R8G8B8;
}

template <TSpanFormat F>
STANDIN_INLINE std::uint32_t LoadPixel(const TSpanWriter& w, const std::uint8_t* at) {
    if constexpr (F == TSpanFormat::R5G6B5) {
        std::uint16_t raw;
        std::memcpy(&raw, at, 2);
        const std::uint32_t r = raw >> 11;
        const std::uint32_t g = (raw >> 5) & 0x3F;
        const std::uint32_t b = raw & 0x1F;
        return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) |
               (b << 3 | b >> 2);
    } else if constexpr (F == TSpanFormat::Table) {
        return w.Codec().Decode(ReadRaw(at, w.Bytes()));
    } else {
        std::uint32_t raw;
        std::memcpy(&raw, at, 4);
        return F == TSpanFormat::X8R8G8B8 ? raw | 0xFF000000u : raw;
    }
}

template <TSpanFormat F>
STANDIN_INLINE void StorePixel(const TSpanWriter& w, std::uint8_t* at, std::uint32_t argb) {
    if constexpr (F == TSpanFormat::R5G6B5) {
        const auto raw = static_cast<std::uint16_t>(
            ((argb >> 8) & 0xF800) | ((argb >> 5) & 0x07E0) | ((argb >> 3) & 0x001F));
        std::memcpy(at, &raw, 2);
    } else if constexpr (F == TSpanFormat::Table) {
        WriteRaw(at, w.Bytes(), w.Codec().Encode(argb));
    } else {
        const std::uint32_t raw = F == TSpanFormat::X8R8G8B8 ? argb & 0x00FFFFFFu : argb;
        std::memcpy(at, &raw, 4);
    }
}

// One channel of a blend: `s` the source channel, `d` the destination's, `sa` the source alpha.
template <TSpanBlend B>
STANDIN_INLINE std::uint32_t MixChannel(std::uint32_t s, std::uint32_t d, std::uint32_t sa) {
    if constexpr (B == TSpanBlend::Normal) {
        return Div255(s * sa + d * (255 - sa));
    } else if constexpr (B == TSpanBlend::Additive) {
        // (s * sa + d * 255 + 127) / 255, as d * 255 divides exactly.
        return std::min<std::uint32_t>(255, d + Div255(s * sa));
    } else if constexpr (B == TSpanBlend::Subtractive) {
        return Div255(d * (255 - s));
    } else if constexpr (B == TSpanBlend::Multiply) {
        return Div255(d * s);
    } else {
        // (s * 255 + d * 255 + 127) / 255.
        return std::min<std::uint32_t>(255, s + d);
    }
}

template <TSpanBlend B>
STANDIN_INLINE std::uint32_t MixPixel(const TSpanWriter& w, std::uint32_t source,
                                      std::uint32_t dest, bool alpha) {
    if constexpr (B == TSpanBlend::Opaque) {
        return source;
    } else if constexpr (B == TSpanBlend::Any) {
        return w.Pipe().Blend(source, dest);
    } else {
        const std::uint32_t sa = source >> 24;
        std::uint32_t out = MixChannel<B>((source >> 16) & 0xFF, (dest >> 16) & 0xFF, sa) << 16 |
                            MixChannel<B>((source >> 8) & 0xFF, (dest >> 8) & 0xFF, sa) << 8 |
                            MixChannel<B>(source & 0xFF, dest & 0xFF, sa);
        if (alpha) {
            out |= MixChannel<B>(sa, dest >> 24, sa) << 24;
        }
        return out;
    }
}

template <TSpanFormat F, TSpanBlend B>
STANDIN_INLINE void SpanLoop(const TSpanWriter& w, std::uint8_t* __restrict out,
                             const std::uint32_t* __restrict source, int count) {
    const bool alpha = KeepsAlpha<F>(w);
    const DWORD bytes = F == TSpanFormat::Table ? w.Bytes() : kSpanBytes<F>;
    for (int i = 0; i < count; ++i) {
        std::uint8_t* at = out + static_cast<std::size_t>(i) * bytes;
        if constexpr (B == TSpanBlend::Opaque) {
            StorePixel<F>(w, at, source[i]);
        } else {
            StorePixel<F>(w, at, MixPixel<B>(w, source[i], LoadPixel<F>(w, at), alpha));
        }
    }
}

template <TSpanFormat F, TSpanBlend B>
STANDIN_INLINE void FillLoop(const TSpanWriter& w, std::uint8_t* out, std::uint32_t source,
                             int count) {
    const bool alpha = KeepsAlpha<F>(w);
    const DWORD bytes = F == TSpanFormat::Table ? w.Bytes() : kSpanBytes<F>;
    for (int i = 0; i < count; ++i) {
        std::uint8_t* at = out + static_cast<std::size_t>(i) * bytes;
        if constexpr (B == TSpanBlend::Opaque) {
            StorePixel<F>(w, at, source);
        } else {
            StorePixel<F>(w, at, MixPixel<B>(w, source, LoadPixel<F>(w, at), alpha));
        }
    }
}

// Vector kernels for runs, plain ones for the few pixels of a short run.
template <TSpanFormat F, TSpanBlend B>
STANDIN_VECTOR_CLONES void SpanKernel(const TSpanWriter& w, std::uint8_t* __restrict out,
                                      const std::uint32_t* __restrict source, int count) {
    SpanLoop<F, B>(w, out, source, count);
}

template <TSpanFormat F, TSpanBlend B>
void SpanFew(const TSpanWriter& w, std::uint8_t* __restrict out,
             const std::uint32_t* __restrict source, int count) {
    SpanLoop<F, B>(w, out, source, count);
}

template <TSpanFormat F, TSpanBlend B>
STANDIN_VECTOR_CLONES void FillKernel(const TSpanWriter& w, std::uint8_t* out, std::uint32_t source,
                                      int count) {
    FillLoop<F, B>(w, out, source, count);
}

template <TSpanFormat F, TSpanBlend B>
void FillFew(const TSpanWriter& w, std::uint8_t* out, std::uint32_t source, int count) {
    FillLoop<F, B>(w, out, source, count);
}

template <TSpanFormat F, TSpanBlend B>
void SetKernels(TSpanWriter::TKernels* k) {
    *k =
        TSpanWriter::TKernels{&SpanKernel<F, B>, &SpanFew<F, B>, &FillKernel<F, B>, &FillFew<F, B>};
}

template <TSpanFormat F>
void Choose(TSpanBlend blend, TSpanWriter::TKernels* kernels) {
    switch (blend) {
    case TSpanBlend::Opaque:
        SetKernels<F, TSpanBlend::Opaque>(kernels);
        return;
    case TSpanBlend::Normal:
        SetKernels<F, TSpanBlend::Normal>(kernels);
        return;
    case TSpanBlend::Additive:
        SetKernels<F, TSpanBlend::Additive>(kernels);
        return;
    case TSpanBlend::Subtractive:
        SetKernels<F, TSpanBlend::Subtractive>(kernels);
        return;
    case TSpanBlend::Multiply:
        SetKernels<F, TSpanBlend::Multiply>(kernels);
        return;
    case TSpanBlend::Sum:
        SetKernels<F, TSpanBlend::Sum>(kernels);
        return;
    case TSpanBlend::Any:
        SetKernels<F, TSpanBlend::Any>(kernels);
        return;
    }
}

TSpanBlend BlendOf(const TPipeState& s) {
    if (!s.blend) {
        return TSpanBlend::Opaque;
    }
    const DWORD from = s.sourceBlend;
    const DWORD to = s.destBlend;
    if (from == D3DBLEND_ONE && to == D3DBLEND_ZERO) {
        return TSpanBlend::Opaque; // (s * 255 + 127) / 255 is s
    }
    if (from == D3DBLEND_SRCALPHA && to == D3DBLEND_INVSRCALPHA) {
        return TSpanBlend::Normal;
    }
    if (from == D3DBLEND_SRCALPHA && to == D3DBLEND_ONE) {
        return TSpanBlend::Additive;
    }
    if (from == D3DBLEND_ZERO && to == D3DBLEND_INVSRCCOLOR) {
        return TSpanBlend::Subtractive;
    }
    if (from == D3DBLEND_ZERO && to == D3DBLEND_SRCCOLOR) {
        return TSpanBlend::Multiply;
    }
    if (from == D3DBLEND_ONE && to == D3DBLEND_ONE) {
        return TSpanBlend::Sum;
    }
    return TSpanBlend::Any;
}

bool IsLayout(const TPixelLayout& layout, DWORD bits, DWORD red, DWORD green, DWORD blue,
              DWORD alpha) {
    return !layout.depth && layout.bits == bits && layout.red == red && layout.green == green &&
           layout.blue == blue && layout.alpha == alpha;
}

} // namespace

TPixelCodec::TPixelCodec(const TPixelLayout& layout) : mLayout(layout) {
    const DWORD masks[4] = {layout.red, layout.green, layout.blue, layout.alpha};
    for (int c = 0; c < 4; ++c) {
        mMask[c] = masks[c];
        mShift[c] = masks[c] != 0 ? std::countr_zero(masks[c]) : 0;
        const int levels = masks[c] != 0 ? 1 << std::popcount(masks[c]) : 1;
        for (int v = 0; v < levels; ++v) {
            const std::uint32_t argb =
                DecodePixel(static_cast<DWORD>(v) << mShift[c] & masks[c], layout);
            mDecode[c][v] = static_cast<std::uint8_t>(argb >> kArgbShift[c]);
        }
        for (std::uint32_t v = 0; v < 256; ++v) {
            mEncode[c][v] = EncodePixel(v << kArgbShift[c], layout);
        }
    }
}

TSpanWriter::TSpanWriter(const TPixelPipe& pipe, const TPixelCodec& codec)
    : mPipe(pipe), mCodec(codec), mBytes(codec.Layout().bytes) {
    const TPixelLayout& layout = codec.Layout();
    const TSpanBlend blend = BlendOf(pipe.State());
    if (IsLayout(layout, 32, 0xFF0000, 0xFF00, 0xFF, 0)) {
        Choose<TSpanFormat::X8R8G8B8>(blend, &mKernels);
    } else if (IsLayout(layout, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)) {
        Choose<TSpanFormat::A8R8G8B8>(blend, &mKernels);
    } else if (IsLayout(layout, 16, 0xF800, 0x07E0, 0x001F, 0)) {
        Choose<TSpanFormat::R5G6B5>(blend, &mKernels);
    } else {
        Choose<TSpanFormat::Table>(blend, &mKernels);
    }
}

} // namespace standin::detail

#undef STANDIN_INLINE
