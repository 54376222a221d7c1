// Row passes of the textured fast path (d3dfastpath.h): the filtered texels under a run of
// pixels, from per-column texel indices and weights and the row's, and the texture stage applied
// to them by per-channel tables. Each pass works on plain arrays, so that the compiler can
// vectorise it; vector instructions are chosen at run time where the processor has them, with
// the same integer and double arithmetic, so the same results. Not part of the Direct3D surface.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A function compiled for AVX-512, AVX2 and plain x86-64, chosen when first called. The vector
// clones never fuse a multiply and an add (the processors that have AVX-512 have FMA too), so
// their double arithmetic is the general path's. Not under ThreadSanitizer: the choice is made
// while the program loads, before the sanitizer's run time is ready, and crashes there.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define STANDIN_VECTOR_CLONES                                                                      \
    __attribute__((target_clones("arch=x86-64-v4", "avx2", "default"), optimize("fp-contract="     \
                                                                                "off")))
#else
#define STANDIN_VECTOR_CLONES
#endif

namespace standin::detail {

// The stage's output as a function of the texel: for each of red, green, blue and alpha, the
// texel channel it reads (its shift in 0xAARRGGBB) and what each value of it gives, already in
// the output channel's place.
struct TStageTables {
    std::array<int, 4> shift{};
    std::array<std::array<std::uint32_t, 256>, 4> table{};
    bool identity = false; // every output is its own texel channel unchanged
    // When every output is (its own texel channel * scale + 127) / 255 + add, as modulating by a
    // constant colour is, for all 256 values: the scales and additions, in channel order.
    bool scaled = false;
    std::array<std::uint32_t, 4> scale{}, add{};
};

// (x + 127) / 255 for x up to 255 * 255.
constexpr std::uint32_t Div255(std::uint32_t x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

// Texel rows are 0xAARRGGBB words; `fill` is or-ed into each: 0xFF000000 for a format without
// alpha, whose alpha the passes then leave at 255 without blending it, else 0.
//
// A "straight" pass reads the texels of pixel i at k + i and k + i + 1 of its rows (point: k + i),
// `top` and `bottom` already pointing at texel k; the others read columns first[i], second[i].
struct TTexelRows {
    const std::uint8_t* top;
    const std::uint8_t* bottom; // the lower row of bilinear filtering
    std::uint32_t fill;
};

// The passes below take one pair of texel rows; the Block ones do the same for `rowCount` pairs,
// `out` rows `stride` words apart, all with the same columns.
void PointRow(const TTexelRows& rows, const int* first, int count, std::uint32_t* out);
void PointStraight(const TTexelRows& rows, int count, std::uint32_t* out);
// Bilinear with weights in 256ths: the second texel of each pair weighs weights[i] / 256, the
// lower row rowWeight / 256.
void Bilinear256Row(const TTexelRows& rows, const int* first, const int* second, const int* weights,
                    int rowWeight, int count, std::uint32_t* out);
void Bilinear256Straight(const TTexelRows& rows, const int* weights, int rowWeight, int count,
                         std::uint32_t* out);
// Bilinear with every weight a half: the mean of four texels.
void HalvesRow(const TTexelRows& rows, const int* first, const int* second, int count,
               std::uint32_t* out);
void HalvesStraight(const TTexelRows& rows, int count, std::uint32_t* out);
// Bilinear in 256ths on several rows, each with its own weight down (rowWeights[r]).
void PointStraightBlock(const TTexelRows* rows, int rowCount, int count, std::uint32_t* out,
                        std::size_t stride);
void HalvesStraightBlock(const TTexelRows* rows, int rowCount, int count, std::uint32_t* out,
                         std::size_t stride);
void HalvesRowBlock(const TTexelRows* rows, int rowCount, const int* first, const int* second,
                    int count, std::uint32_t* out, std::size_t stride);
void Bilinear256StraightBlock(const TTexelRows* rows, const int* rowWeights, int rowCount,
                              const int* weights, int count, std::uint32_t* out,
                              std::size_t stride);
// Bilinear with any weights, in the sampler's own double arithmetic, in two steps: the blend
// across of one texel row, `p + (q - p) * weight` for each column and channel (channel c of
// column i at out[c * stride + i]; alpha not with `fill`), then the blend of two such rows down.
void BilinearAcross(const std::uint8_t* row, std::uint32_t fill, const int* first,
                    const int* second, const double* weights, int count, std::size_t stride,
                    double* out);
void BilinearDown(const double* upper, const double* lower, std::size_t stride, double rowWeight,
                  std::uint32_t fill, int count, std::uint32_t* out);
// The stage's output for each texel.
void MapChannels(const TStageTables& tables, const std::uint32_t* in, int count,
                 std::uint32_t* out);

} // namespace standin::detail
