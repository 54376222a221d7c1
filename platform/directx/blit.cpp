#include "platform/directx/blit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace standin::detail {

namespace {

// The source column or row for destination offset `d` of `destSize`: the sample under the
// destination pixel's centre.
LONG SampleAt(LONG d, LONG destSize, LONG sourceSize) {
    return static_cast<LONG>((static_cast<long long>(2 * d + 1) * sourceSize) / (2LL * destSize));
}

} // namespace

HRESULT TBlitLocks::AcquireAll(std::vector<TSurface*> surfaces, bool wait) {
    std::erase(surfaces, nullptr);
    std::sort(surfaces.begin(), surfaces.end());
    surfaces.erase(std::unique(surfaces.begin(), surfaces.end()), surfaces.end());
    const auto self = std::this_thread::get_id();
    for (;;) {
        mLocks.clear();
        TSurface* busy = nullptr;
        for (TSurface* surface : surfaces) {
            mLocks.emplace_back(surface->mutex);
            if (surface->locked) {
                if (surface->lockedBy == self) {
                    return DDERR_SURFACEBUSY;
                }
                busy = surface;
                break;
            }
        }
        if (busy == nullptr) {
            return DD_OK;
        }
        if (!wait) {
            return DDERR_WASSTILLDRAWING;
        }
        // Wait holding only the busy surface's own lock, then start again.
        std::unique_lock<std::mutex> held = std::move(mLocks.back());
        mLocks.clear();
        busy->unlocked.wait(held, [busy] { return !busy->locked; });
    }
}

void FillPixels(TSurface& target, const RECT& rect, DWORD raw) {
    const DWORD bytes = target.layout.bytes;
    std::uint8_t pattern[4];
    WriteRaw(pattern, 4, raw);
    const auto width = static_cast<std::size_t>(rect.right - rect.left);
    std::vector<std::uint8_t> row(width * bytes);
    for (std::size_t x = 0; x < width; ++x) {
        std::memcpy(row.data() + x * bytes, pattern, bytes);
    }
    for (LONG y = rect.top; y < rect.bottom; ++y) {
        std::memcpy(target.Row(static_cast<DWORD>(y)) + static_cast<std::size_t>(rect.left) * bytes,
                    row.data(), row.size());
    }
}

void CopyPixels(TSurface& target, const RECT& to, const RECT& clip, TSurface& source,
                const RECT& from) {
    if (clip.right <= clip.left || clip.bottom <= clip.top) {
        return;
    }
    const LONG toWidth = to.right - to.left;
    const LONG toHeight = to.bottom - to.top;
    const LONG fromWidth = from.right - from.left;
    const LONG fromHeight = from.bottom - from.top;
    const DWORD sourceBytes = source.layout.bytes;
    const DWORD targetBytes = target.layout.bytes;
    const bool sameFormat = source.layout == target.layout;

    // A blit within one surface reads from a copy, so overlapping rectangles come out whole.
    std::vector<std::uint8_t> copy;
    const std::uint8_t* sourceBase = source.pixels.data();
    if (&source == &target) {
        copy = source.pixels;
        sourceBase = copy.data();
    }
    auto sourceRow = [&](LONG y) {
        return sourceBase + static_cast<std::size_t>(source.pitch) * static_cast<std::size_t>(y);
    };

    const bool oneToOne = toWidth == fromWidth && toHeight == fromHeight;
    // The source column of every written column, worked out once per blit.
    std::vector<std::size_t> columns(static_cast<std::size_t>(clip.right - clip.left));
    for (LONG x = clip.left; x < clip.right; ++x) {
        const LONG sx =
            from.left + (oneToOne ? x - to.left : SampleAt(x - to.left, toWidth, fromWidth));
        columns[static_cast<std::size_t>(x - clip.left)] =
            static_cast<std::size_t>(sx) * sourceBytes;
    }
    for (LONG y = clip.top; y < clip.bottom; ++y) {
        const LONG sy =
            from.top + (oneToOne ? y - to.top : SampleAt(y - to.top, toHeight, fromHeight));
        const std::uint8_t* in = sourceRow(sy);
        std::uint8_t* out =
            target.Row(static_cast<DWORD>(y)) + static_cast<std::size_t>(clip.left) * targetBytes;
        if (oneToOne && sameFormat) {
            std::memcpy(out, in + columns.front(), columns.size() * targetBytes);
        } else if (sameFormat && targetBytes == 4) {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                std::memcpy(out + i * 4, in + columns[i], 4);
            }
        } else if (sameFormat && targetBytes == 2) {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                std::memcpy(out + i * 2, in + columns[i], 2);
            }
        } else {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                DWORD raw = ReadRaw(in + columns[i], sourceBytes);
                if (!sameFormat) {
                    raw = EncodePixel(DecodePixel(raw, source.layout), target.layout);
                }
                WriteRaw(out + i * targetBytes, targetBytes, raw);
            }
        }
    }
}

} // namespace standin::detail
