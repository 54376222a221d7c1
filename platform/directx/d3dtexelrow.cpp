#include "platform/directx/d3dtexelrow.h"

#include <cstring>

namespace standin::detail {

namespace {

#define STANDIN_ALWAYS_INLINE inline __attribute__((always_inline))
// Also for the passes' bodies, so that each vector clone has them inlined.
#define STANDIN_ALWAYS_INLINE_LAMBDA __attribute__((always_inline))

// Runs shorter than this are not worth a vector pass.
constexpr int kFew = 8;
// Red, green, blue and alpha in 0xAARRGGBB.
constexpr int kChannelShift[4] = {16, 8, 0, 24};

// Calls body(i) for each i below `count` in blocks of 16, which vectorise whole; the last block
// ends at `count`, overlapping the one before. Only for passes whose output i depends on their
// input alone, never on what they wrote.
template <typename TBody>
STANDIN_ALWAYS_INLINE void Blocks(int count, TBody body) {
    constexpr int kBlock = 16;
    if (count < kBlock) {
        for (int i = 0; i < count; ++i) {
            body(i);
        }
        return;
    }
    int i = 0;
    for (; i + kBlock <= count; i += kBlock) {
        for (int j = 0; j < kBlock; ++j) {
            body(i + j);
        }
    }
    if (i < count) {
        const int last = count - kBlock;
        for (int j = 0; j < kBlock; ++j) {
            body(last + j);
        }
    }
}

STANDIN_ALWAYS_INLINE std::uint32_t TexelAt(const std::uint8_t* row, int x) {
    std::uint32_t texel;
    std::memcpy(&texel, row + static_cast<std::size_t>(x) * 4, 4);
    return texel;
}

// The sampler's double blend (d3dsampler.cpp) is exact for weights in 256ths: p + (q - p) * t is
// a multiple of 1/256 below 256, and the lower row's blend one of 1/65536. Its rounding of halves
// upwards is the + 32768. With `kOpaque` the texels' alpha is 255 throughout and stays so.
template <bool kOpaque>
STANDIN_ALWAYS_INLINE std::uint32_t Blend256(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                             std::uint32_t d, std::uint32_t wx, std::uint32_t wy,
                                             std::uint32_t fill) {
    std::uint32_t result = fill;
    for (int s = 0; s < (kOpaque ? 24 : 32); s += 8) {
        const std::uint32_t upper = ((a >> s) & 0xFF) * (256 - wx) + ((b >> s) & 0xFF) * wx;
        const std::uint32_t lower = ((c >> s) & 0xFF) * (256 - wx) + ((d >> s) & 0xFF) * wx;
        result |= ((upper * (256 - wy) + lower * wy + 32768) >> 16) << s;
    }
    return result;
}

// With both weights 128 the blend is (a + b + c + d + 2) / 4 in each channel, worked out two
// channels at a time in 16-bit halves of a word.
STANDIN_ALWAYS_INLINE std::uint32_t Mean4(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                          std::uint32_t d) {
    constexpr std::uint32_t kEven = 0x00FF00FF;
    const std::uint32_t even = (a & kEven) + (b & kEven) + (c & kEven) + (d & kEven) + 0x00020002;
    const std::uint32_t odd = ((a >> 8) & kEven) + ((b >> 8) & kEven) + ((c >> 8) & kEven) +
                              ((d >> 8) & kEven) + 0x00020002;
    return ((even >> 2) & kEven) | (((odd >> 2) & kEven) << 8);
}

template <bool kOpaque>
STANDIN_ALWAYS_INLINE std::uint32_t
Bilinear256At(const std::uint8_t* top, const std::uint8_t* bottom, std::uint32_t fill,
              const int* first, const int* second, const int* weights, std::uint32_t wy, int i) {
    return Blend256<kOpaque>(TexelAt(top, first[i]), TexelAt(top, second[i]),
                             TexelAt(bottom, first[i]), TexelAt(bottom, second[i]),
                             static_cast<std::uint32_t>(weights[i]), wy, fill);
}

template <bool kOpaque>
STANDIN_VECTOR_CLONES void
Bilinear256Gather(const std::uint8_t* __restrict top, const std::uint8_t* __restrict bottom,
                  std::uint32_t fill, const int* __restrict first, const int* __restrict second,
                  const int* __restrict weights, int rowWeight, int count,
                  std::uint32_t* __restrict out) {
    const auto wy = static_cast<std::uint32_t>(rowWeight);
    Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
        out[i] = Bilinear256At<kOpaque>(top, bottom, fill, first, second, weights, wy, i);
    });
}

template <bool kOpaque>
STANDIN_VECTOR_CLONES void
Bilinear256Line(const std::uint8_t* __restrict top, const std::uint8_t* __restrict bottom,
                std::uint32_t fill, const int* __restrict weights, int rowWeight, int count,
                std::uint32_t* __restrict out) {
    const auto wy = static_cast<std::uint32_t>(rowWeight);
    Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
        out[i] = Blend256<kOpaque>(TexelAt(top, i), TexelAt(top, i + 1), TexelAt(bottom, i),
                                   TexelAt(bottom, i + 1), static_cast<std::uint32_t>(weights[i]),
                                   wy, fill);
    });
}

STANDIN_VECTOR_CLONES void HalvesLine(const std::uint8_t* __restrict top,
                                      const std::uint8_t* __restrict bottom, std::uint32_t fill,
                                      int count, std::uint32_t* __restrict out) {
    Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
        out[i] = Mean4(TexelAt(top, i) | fill, TexelAt(top, i + 1) | fill,
                       TexelAt(bottom, i) | fill, TexelAt(bottom, i + 1) | fill);
    });
}

STANDIN_VECTOR_CLONES void HalvesLines(const TTexelRows* __restrict rows, int rowCount, int count,
                                       std::uint32_t* __restrict out, std::size_t stride) {
    for (int r = 0; r < rowCount; ++r) {
        const std::uint8_t* __restrict top = rows[r].top;
        const std::uint8_t* __restrict bottom = rows[r].bottom;
        const std::uint32_t fill = rows[r].fill;
        std::uint32_t* __restrict line = out + stride * static_cast<std::size_t>(r);
        Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
            line[i] = Mean4(TexelAt(top, i) | fill, TexelAt(top, i + 1) | fill,
                            TexelAt(bottom, i) | fill, TexelAt(bottom, i + 1) | fill);
        });
    }
}

template <bool kOpaque>
STANDIN_VECTOR_CLONES void Across(const std::uint8_t* __restrict row, const int* __restrict first,
                                  const int* __restrict second, const double* __restrict weights,
                                  int count, std::size_t stride, double* __restrict out) {
    Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
        const std::uint32_t a = TexelAt(row, first[i]);
        const std::uint32_t b = TexelAt(row, second[i]);
        const double tx = weights[i];
        for (int c = 0; c < (kOpaque ? 3 : 4); ++c) {
            const int s = kChannelShift[c];
            const int p = static_cast<int>((a >> s) & 0xFF);
            const int q = static_cast<int>((b >> s) & 0xFF);
            out[c * stride + i] = p + (q - p) * tx;
        }
    });
}

template <bool kOpaque>
STANDIN_VECTOR_CLONES void Down(const double* __restrict upper, const double* __restrict lower,
                                std::size_t stride, double ty, std::uint32_t fill, int count,
                                std::uint32_t* __restrict out) {
    Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
        std::uint32_t result = fill;
        for (int c = 0; c < (kOpaque ? 3 : 4); ++c) {
            // As d3dsampler.cpp's Bilinear; the value is at least 0, so rounding half away
            // from zero is truncating and adding one from a half up.
            const double top = upper[c * stride + i];
            const double value = top + (lower[c * stride + i] - top) * ty;
            const int whole = static_cast<int>(value);
            const int rounded = whole + (value - whole >= 0.5 ? 1 : 0);
            result |= static_cast<std::uint32_t>(rounded) << kChannelShift[c];
        }
        out[i] = result;
    });
}

STANDIN_VECTOR_CLONES void Gather(const std::uint8_t* __restrict row, std::uint32_t fill,
                                  const int* __restrict first, int count,
                                  std::uint32_t* __restrict out) {
    Blocks(count,
           [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA { out[i] = TexelAt(row, first[i]) | fill; });
}

STANDIN_VECTOR_CLONES void MapByTables(const TStageTables& tables,
                                       const std::uint32_t* __restrict in, int count,
                                       std::uint32_t* __restrict out) {
    const auto& t = tables.table;
    const auto& s = tables.shift;
    Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
        const std::uint32_t texel = in[i];
        out[i] = t[0][(texel >> s[0]) & 0xFF] | t[1][(texel >> s[1]) & 0xFF] |
                 t[2][(texel >> s[2]) & 0xFF] | t[3][(texel >> s[3]) & 0xFF];
    });
}

STANDIN_VECTOR_CLONES void MapByScales(const TStageTables& tables,
                                       const std::uint32_t* __restrict in, int count,
                                       std::uint32_t* __restrict out) {
    const std::uint32_t k0 = tables.scale[0], k1 = tables.scale[1], k2 = tables.scale[2],
                        k3 = tables.scale[3];
    const std::uint32_t a0 = tables.add[0], a1 = tables.add[1], a2 = tables.add[2],
                        a3 = tables.add[3];
    Blocks(count, [&](int i) STANDIN_ALWAYS_INLINE_LAMBDA {
        const std::uint32_t texel = in[i];
        out[i] = (Div255(((texel >> 16) & 0xFF) * k0) + a0) << 16 |
                 (Div255(((texel >> 8) & 0xFF) * k1) + a1) << 8 |
                 (Div255((texel & 0xFF) * k2) + a2) | (Div255((texel >> 24) * k3) + a3) << 24;
    });
}

} // namespace

void PointRow(const TTexelRows& rows, const int* first, int count, std::uint32_t* out) {
    if (count < kFew) {
        for (int i = 0; i < count; ++i) {
            out[i] = TexelAt(rows.top, first[i]) | rows.fill;
        }
        return;
    }
    Gather(rows.top, rows.fill, first, count, out);
}

void PointStraight(const TTexelRows& rows, int count, std::uint32_t* out) {
    std::memcpy(out, rows.top, static_cast<std::size_t>(count) * 4);
    if (rows.fill != 0) {
        for (int i = 0; i < count; ++i) {
            out[i] |= rows.fill;
        }
    }
}

void Bilinear256Row(const TTexelRows& rows, const int* first, const int* second, const int* weights,
                    int rowWeight, int count, std::uint32_t* out) {
    const auto wy = static_cast<std::uint32_t>(rowWeight);
    if (count < kFew) {
        for (int i = 0; i < count; ++i) {
            out[i] = Bilinear256At<false>(rows.top, rows.bottom, rows.fill, first, second, weights,
                                          wy, i);
        }
    } else if (rows.fill != 0) {
        Bilinear256Gather<true>(rows.top, rows.bottom, rows.fill, first, second, weights, rowWeight,
                                count, out);
    } else {
        Bilinear256Gather<false>(rows.top, rows.bottom, 0, first, second, weights, rowWeight, count,
                                 out);
    }
}

void Bilinear256Straight(const TTexelRows& rows, const int* weights, int rowWeight, int count,
                         std::uint32_t* out) {
    if (rows.fill != 0) {
        Bilinear256Line<true>(rows.top, rows.bottom, rows.fill, weights, rowWeight, count, out);
    } else {
        Bilinear256Line<false>(rows.top, rows.bottom, 0, weights, rowWeight, count, out);
    }
}

void HalvesRow(const TTexelRows& rows, const int* first, const int* second, int count,
               std::uint32_t* out) {
    const std::uint32_t fill = rows.fill;
    for (int i = 0; i < count; ++i) {
        out[i] =
            Mean4(TexelAt(rows.top, first[i]) | fill, TexelAt(rows.top, second[i]) | fill,
                  TexelAt(rows.bottom, first[i]) | fill, TexelAt(rows.bottom, second[i]) | fill);
    }
}

void HalvesStraight(const TTexelRows& rows, int count, std::uint32_t* out) {
    HalvesLine(rows.top, rows.bottom, rows.fill, count, out);
}

void PointStraightBlock(const TTexelRows* rows, int rowCount, int count, std::uint32_t* out,
                        std::size_t stride) {
    for (int r = 0; r < rowCount; ++r) {
        PointStraight(rows[r], count, out + stride * static_cast<std::size_t>(r));
    }
}

void HalvesStraightBlock(const TTexelRows* rows, int rowCount, int count, std::uint32_t* out,
                         std::size_t stride) {
    HalvesLines(rows, rowCount, count, out, stride);
}

void HalvesRowBlock(const TTexelRows* rows, int rowCount, const int* first, const int* second,
                    int count, std::uint32_t* out, std::size_t stride) {
    for (int r = 0; r < rowCount; ++r) {
        const TTexelRows& row = rows[r];
        std::uint32_t* line = out + stride * static_cast<std::size_t>(r);
        for (int i = 0; i < count; ++i) {
            line[i] =
                Mean4(TexelAt(row.top, first[i]) | row.fill, TexelAt(row.top, second[i]) | row.fill,
                      TexelAt(row.bottom, first[i]) | row.fill,
                      TexelAt(row.bottom, second[i]) | row.fill);
        }
    }
}

void Bilinear256StraightBlock(const TTexelRows* rows, const int* rowWeights, int rowCount,
                              const int* weights, int count, std::uint32_t* out,
                              std::size_t stride) {
    for (int r = 0; r < rowCount; ++r) {
        Bilinear256Straight(rows[r], weights, rowWeights[r], count,
                            out + stride * static_cast<std::size_t>(r));
    }
}

void BilinearAcross(const std::uint8_t* row, std::uint32_t fill, const int* first,
                    const int* second, const double* weights, int count, std::size_t stride,
                    double* out) {
    if (fill != 0) {
        Across<true>(row, first, second, weights, count, stride, out);
    } else {
        Across<false>(row, first, second, weights, count, stride, out);
    }
}

void BilinearDown(const double* upper, const double* lower, std::size_t stride, double rowWeight,
                  std::uint32_t fill, int count, std::uint32_t* out) {
    if (fill != 0) {
        Down<true>(upper, lower, stride, rowWeight, fill, count, out);
    } else {
        Down<false>(upper, lower, stride, rowWeight, 0, count, out);
    }
}

void MapChannels(const TStageTables& tables, const std::uint32_t* in, int count,
                 std::uint32_t* out) {
    if (tables.scaled) {
        MapByScales(tables, in, count, out);
    } else {
        MapByTables(tables, in, count, out);
    }
}

} // namespace standin::detail

#undef STANDIN_ALWAYS_INLINE
#undef STANDIN_ALWAYS_INLINE_LAMBDA
