// The textured fast path (d3dfastpath.h): the stage's tables, and a triangle or two drawn band
// of rows by band from per-column and per-row texel tables.
#include "platform/directx/d3dfastpath.h"
#include "platform/directx/d3drows.h"

#include <optional>

namespace standin::detail {

namespace {

// Runs of neighbouring texels shorter than this are read like the others.
constexpr int kMinStraight = 4;
// Texels worked out in one band of rows.
constexpr int kBandPixels = 4096;
// The shift in 0xAARRGGBB of red, green, blue and alpha.
constexpr int kOutputShift[4] = {16, 8, 0, 24};

bool SameKey(const TStageKey& a, const TStageKey& b) {
    const TPipeState& s = a.state;
    const TPipeState& t = b.state;
    return s.colourOp == t.colourOp && s.colourArg1 == t.colourArg1 &&
           s.colourArg2 == t.colourArg2 && s.alphaOp == t.alphaOp && s.alphaArg1 == t.alphaArg1 &&
           s.alphaArg2 == t.alphaArg2 && SameRgba(s.factor, t.factor) && s.specular == t.specular &&
           SameRgba(a.diffuse, b.diffuse) && SameRgba(a.specular, b.specular);
}

} // namespace

void TFastPaths::MakeStageTables(const TRgba& diffuse, const TRgba& specular) {
    const TStageKey key{mPipe.State(), diffuse, specular};
    if (mScratch.stageValid && SameKey(mScratch.stageKey, key)) {
        return;
    }
    TStageTables& tables = mScratch.stage;
    for (int value = 0; value < 256; ++value) {
        const TRgba out = mPipe.Combine(diffuse, specular, TRgba{value, value, value, value});
        const int channels[4] = {out.r, out.g, out.b, out.a};
        for (int c = 0; c < 4; ++c) {
            tables.table[c][value] = static_cast<std::uint32_t>(channels[c]) << kOutputShift[c];
        }
    }
    tables.identity = tables.scaled = true;
    for (int c = 0; c < 4; ++c) {
        const int read = mStageReads[c];
        tables.shift[c] = read >= 0 ? kOutputShift[read] : 0;
        // A channel that reads no texel is a constant; one that reads its own may be a scale.
        tables.add[c] = read < 0 ? tables.table[c][0] >> kOutputShift[c] : 0;
        tables.scale[c] = read == c ? tables.table[c][255] >> kOutputShift[c] : 0;
        bool same = read == c;
        bool scaled = read < 0 || read == c;
        for (std::uint32_t value = 0; value < 256; ++value) {
            const std::uint32_t out = tables.table[c][value];
            same = same && out == value << kOutputShift[c];
            scaled = scaled && out == (Div255(value * tables.scale[c]) + tables.add[c])
                                          << kOutputShift[c];
        }
        tables.identity = tables.identity && same;
        tables.scaled = tables.scaled && scaled;
    }
    mScratch.stageKey = key;
    mScratch.stageValid = true;
}

void TFastPaths::DrawTextured(const TTriangle* first, const TTriangle* second,
                              const TTrianglePlan& plan) {
    MakeStageTables(plan.diffuse, plan.specular);
    mSegmentsValid = false;
    const TSampler& sampler = mPipe.Sampler();
    const TSurface& level = sampler.Level(plan.level);
    const bool linear = plan.filter == D3DTFG_LINEAR;
    const TTriangle& box = *first;
    const int width = box.x1 - box.x0 + 1;
    TTexelAxis& columns = mScratch.columns;
    TTexelAxis& rows = mScratch.rows;
    columns.Build(box.x0, width, box.offset, plan.u, level.width, sampler.AddressU(), linear);
    rows.Build(box.y0, box.y1 - box.y0 + 1, box.offset, plan.v, level.height, sampler.AddressV(),
               linear);
    enum class TFilter { Point, Bilinear256, Bilinear };
    TFilter filter = TFilter::Point;
    if (linear) {
        filter = columns.Whole256() && rows.Whole256() ? TFilter::Bilinear256 : TFilter::Bilinear;
    }
    // Texel rows as 0xAARRGGBB words: 32-bit ARGB formats as they are, others decoded.
    const TPixelLayout& layout = level.layout;
    const bool plain = layout.bytes == 4 && layout.red == 0xFF0000 && layout.green == 0xFF00 &&
                       layout.blue == 0xFF && (layout.alpha == 0 || layout.alpha == 0xFF000000u);
    const std::uint32_t fill = layout.alpha == 0 ? 0xFF000000u : 0u;
    const TPixelCodec* codec = plain ? nullptr : &CodecFor(layout);
    if (mScratch.decodedLevel != &level) {
        mScratch.decodedLevel = &level;
        mScratch.decodedRow = {-1, -1};
    }
    auto texelRow = [&](int y, int slot) -> const std::uint8_t* {
        const std::uint8_t* raw = level.pixels.data() + static_cast<std::size_t>(level.pitch) *
                                                            static_cast<std::size_t>(y);
        if (codec == nullptr) {
            return raw;
        }
        std::vector<std::uint32_t>& row = mScratch.decoded[slot];
        if (mScratch.decodedRow[slot] != y) {
            row.resize(level.width);
            for (DWORD x = 0; x < level.width; ++x) {
                row[x] = codec->Decode(ReadRaw(raw + x * layout.bytes, layout.bytes));
            }
            mScratch.decodedRow[slot] = y;
        }
        return reinterpret_cast<const std::uint8_t*>(row.data());
    };
    // A pixel the tables cannot give, as the general path works it out.
    auto exact = [&](const TTriangle& t, int x, int y) {
        const std::int64_t sx = t.CentreX(x);
        const std::int64_t sy = t.CentreY(y);
        const double la = static_cast<double>(t.edges[0].At(sx, sy)) * t.inverse;
        const double lb = static_cast<double>(t.edges[1].At(sx, sy)) * t.inverse;
        const double lc = static_cast<double>(t.edges[2].At(sx, sy)) * t.inverse;
        float attr[kAttributes];
        TextureAt(t, la, lb, lc, attr);
        return PackArgb(sampler.Sample(attr[kU], attr[kV], t.lod));
    };
    // The slot of the blends across texel row y, made unless kept; not slot `keep`.
    mScratch.acrossRow = {-1, -1};
    auto across = [&](int y, int keep) {
        for (int slot = 0; slot < 2; ++slot) {
            if (mScratch.acrossRow[slot] == y) {
                return slot;
            }
        }
        const int slot = keep == 0 ? 1 : 0;
        std::vector<double>& blends = mScratch.across[slot];
        blends.resize(static_cast<std::size_t>(width) * 4);
        BilinearAcross(texelRow(y, 0), fill, columns.First(), columns.Second(), columns.Weight(),
                       width, static_cast<std::size_t>(width), blends.data());
        mScratch.acrossRow[slot] = y;
        return slot;
    };
    // The filtered texels of `count` columns from box column `at` on box row `row`.
    auto sample = [&](int at, int count, int row, std::uint32_t* out) {
        if (filter == TFilter::Bilinear) {
            const int upper = across(rows.First()[row], -1);
            const int lower = across(rows.Second()[row], upper);
            BilinearDown(mScratch.across[upper].data() + at, mScratch.across[lower].data() + at,
                         static_cast<std::size_t>(width), rows.Weight()[row], fill, count, out);
            return;
        }
        const std::uint8_t* top = texelRow(rows.First()[row], 0);
        const std::uint8_t* bottom = linear ? texelRow(rows.Second()[row], 1) : top;
        const int* first = columns.First() + at;
        const int* second = columns.Second() + at;
        const int rowWeight = rows.Weight256()[row];
        const bool halves = columns.Halves() && rowWeight == 128;
        for (const TSegment& segment : Segments(at, count)) {
            std::uint32_t* to = out + (segment.at - at);
            const int* texel = first + (segment.at - at);
            if (segment.straight) {
                const std::size_t k = static_cast<std::size_t>(*texel) * 4;
                const TTexelRows texels{top + k, bottom + k, fill};
                if (filter == TFilter::Point) {
                    PointStraight(texels, segment.count, to);
                } else if (halves) {
                    HalvesStraight(texels, segment.count, to);
                } else {
                    Bilinear256Straight(texels, columns.Weight256() + segment.at, rowWeight,
                                        segment.count, to);
                }
                continue;
            }
            const TTexelRows texels{top, bottom, fill};
            const int* other = second + (segment.at - at);
            if (filter == TFilter::Point) {
                PointRow(texels, texel, segment.count, to);
            } else if (halves) {
                HalvesRow(texels, texel, other, segment.count, to);
            } else {
                Bilinear256Row(texels, texel, other, columns.Weight256() + segment.at, rowWeight,
                               segment.count, to);
            }
        }
    };
    // Rows go in bands of about 16 KB of texels: each band's texels are all worked out before
    // any is read again, as reading a vector of them just written in other pieces stalls.
    const TStageTables& tables = mScratch.stage;
    const int band = std::max(1, std::min(box.y1 - box.y0 + 1, kBandPixels / width));
    const auto stride = static_cast<std::size_t>(width);
    // Each run has a row of its own there: two triangles' runs of a row may overlap.
    mScratch.texels.resize(stride * static_cast<std::size_t>(2 * band));
    mScratch.source.resize(stride * static_cast<std::size_t>(2 * band));
    std::vector<TRasterScratch::TBandRun>& bandRuns = mScratch.bandRuns;
    TRowSolver one(*first);
    std::optional<TRowSolver> two;
    if (second != nullptr) {
        two.emplace(*second);
    }
    for (int top = box.y0; top <= box.y1; top += band) {
        const int bottom = std::min(box.y1, top + band - 1);
        bandRuns.clear();
        for (int y = top; y <= bottom; ++y) {
            const TRowRuns runs(one, two ? &*two : nullptr, y);
            for (int r = 0; r < runs.count; ++r) {
                const TRowRuns::TRun& run = runs.runs[r];
                bandRuns.push_back(TRasterScratch::TBandRun{y, run.from, run.to - run.from + 1,
                                                            run.split, run.left, run.right});
            }
        }
        if (bandRuns.empty()) {
            continue;
        }
        const int at = bandRuns.front().from - box.x0;
        const int count = bandRuns.front().count;
        // Rows that all sample the same certain columns go segment by segment over the band.
        bool uniform = codec == nullptr && filter != TFilter::Bilinear;
        for (const TRasterScratch::TBandRun& run : bandRuns) {
            uniform = uniform && run.from - box.x0 == at && run.count == count &&
                      rows.Certain(run.y - box.y0);
        }
        for (int i : columns.Uncertain()) {
            uniform = uniform && (i < at || i >= at + count);
        }
        if (uniform) {
            SampleBand(at, count, filter == TFilter::Point, fill, level);
        } else {
            for (std::size_t r = 0; r < bandRuns.size(); ++r) {
                const TRasterScratch::TBandRun& run = bandRuns[r];
                const int row = run.y - box.y0;
                const int runAt = run.from - box.x0;
                std::uint32_t* out = mScratch.texels.data() + stride * r;
                auto owner = [&](int x) -> const TTriangle& {
                    return x < run.split ? *run.left : *run.right;
                };
                if (rows.Certain(row)) {
                    sample(runAt, run.count, row, out + runAt);
                    for (int i : columns.Uncertain()) {
                        if (i >= runAt && i < runAt + run.count) {
                            out[i] = exact(owner(box.x0 + i), box.x0 + i, run.y);
                        }
                    }
                } else {
                    for (int x = run.from; x < run.from + run.count; ++x) {
                        out[x - box.x0] = exact(owner(x), x, run.y);
                    }
                }
            }
        }
        const std::uint32_t* colours = mScratch.texels.data();
        if (!tables.identity) {
            // The band's rows whole when the runs fill them, else run by run.
            if (uniform && count == width) {
                MapChannels(tables, colours, count * static_cast<int>(bandRuns.size()),
                            mScratch.source.data());
            } else {
                for (std::size_t r = 0; r < bandRuns.size(); ++r) {
                    const std::size_t offset =
                        stride * r + static_cast<std::size_t>(bandRuns[r].from - box.x0);
                    MapChannels(tables, colours + offset, bandRuns[r].count,
                                mScratch.source.data() + offset);
                }
            }
            colours = mScratch.source.data();
        }
        // One run a row on rows one after another: all in one go.
        const TRasterScratch::TBandRun& head = bandRuns.front();
        if (uniform && !mPipe.State().alphaTest &&
            bandRuns.back().y - head.y + 1 == static_cast<int>(bandRuns.size())) {
            mWriter.Rows(PixelAt(head.from, head.y), static_cast<std::size_t>(mTarget.pitch),
                         colours + at, stride, count, static_cast<int>(bandRuns.size()));
            continue;
        }
        for (std::size_t r = 0; r < bandRuns.size(); ++r) {
            const TRasterScratch::TBandRun& run = bandRuns[r];
            WriteRun(PixelAt(run.from, run.y),
                     colours + stride * r + static_cast<std::size_t>(run.from - box.x0), run.count);
        }
    }
}

void TFastPaths::SampleBand(int at, int count, bool point, std::uint32_t fill,
                            const TSurface& level) {
    const TTexelAxis& columns = mScratch.columns;
    const TTexelAxis& rows = mScratch.rows;
    const std::vector<TRasterScratch::TBandRun>& runs = mScratch.bandRuns;
    const int n = static_cast<int>(runs.size());
    const auto stride = static_cast<std::size_t>(mScratch.columns.Count());
    std::vector<TTexelRows>& texelRows = mScratch.bandRows;
    std::vector<int>& weights = mScratch.bandWeights;
    texelRows.resize(runs.size());
    weights.resize(runs.size());
    bool halves = columns.Halves();
    const int y0 = runs.front().y - rows.Start();
    for (int r = 0; r < n; ++r) {
        const int row = y0 + (runs[static_cast<std::size_t>(r)].y - runs.front().y);
        const std::uint8_t* pixels = level.pixels.data();
        const auto pitch = static_cast<std::size_t>(level.pitch);
        texelRows[r] =
            TTexelRows{pixels + pitch * static_cast<std::size_t>(rows.First()[row]),
                       pixels + pitch * static_cast<std::size_t>(rows.Second()[row]), fill};
        weights[r] = rows.Weight256()[row];
        halves = halves && weights[r] == 128;
    }
    std::vector<TTexelRows>& shifted = mScratch.bandShifted;
    shifted.resize(runs.size());
    std::uint32_t* out = mScratch.texels.data();
    for (const TSegment& segment : Segments(at, count)) {
        std::uint32_t* to = out + segment.at;
        const int* first = columns.First() + segment.at;
        if (segment.straight) {
            const std::size_t k = static_cast<std::size_t>(*first) * 4;
            for (int r = 0; r < n; ++r) {
                shifted[r] = TTexelRows{texelRows[r].top + k, texelRows[r].bottom + k, fill};
            }
            if (point) {
                PointStraightBlock(shifted.data(), n, segment.count, to, stride);
            } else if (halves) {
                HalvesStraightBlock(shifted.data(), n, segment.count, to, stride);
            } else {
                Bilinear256StraightBlock(shifted.data(), weights.data(), n,
                                         columns.Weight256() + segment.at, segment.count, to,
                                         stride);
            }
            continue;
        }
        const int* second = columns.Second() + segment.at;
        if (!point && halves) {
            HalvesRowBlock(texelRows.data(), n, first, second, segment.count, to, stride);
            continue;
        }
        for (int r = 0; r < n; ++r) {
            std::uint32_t* line = to + stride * static_cast<std::size_t>(r);
            if (point) {
                PointRow(texelRows[r], first, segment.count, line);
            } else if (halves) {
                HalvesRow(texelRows[r], first, second, segment.count, line);
            } else {
                Bilinear256Row(texelRows[r], first, second, columns.Weight256() + segment.at,
                               weights[r], segment.count, line);
            }
        }
    }
}

const std::vector<TFastPaths::TSegment>& TFastPaths::Segments(int at, int count) {
    std::vector<TSegment>& segments = mScratch.segments;
    if (mSegmentsValid && mSegmentsAt == at && mSegmentsCount == count) {
        return segments;
    }
    const TTexelAxis& columns = mScratch.columns;
    segments.clear();
    for (int i = 0; i < count;) {
        const int straight = std::min(columns.Straight(at + i), count - i);
        if (straight >= kMinStraight) {
            segments.push_back(TSegment{at + i, straight, true});
            i += straight;
            continue;
        }
        int end = i + 1;
        while (end < count && columns.Straight(at + end) < kMinStraight) {
            ++end;
        }
        segments.push_back(TSegment{at + i, end - i, false});
        i = end;
    }
    mSegmentsValid = true;
    mSegmentsAt = at;
    mSegmentsCount = count;
    return segments;
}

} // namespace standin::detail
