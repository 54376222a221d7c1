// Pixel work of the blitter on locked surfaces. Not part of the DirectDraw surface.
#pragma once

#include "platform/directx/ddstate.h"

#include <vector>

namespace standin::detail {

// Fills `rect` (inside the surface) with the raw pixel value.
void FillPixels(TSurface& target, const RECT& rect, DWORD raw);

// Copies `source` rectangle `from` onto `target`, where `to` is the whole destination rectangle
// the source maps onto (point-sampled when the sizes differ) and `clip` the part of it that is
// written (inside both `to` and the target). Converts between formats; the surfaces may be one.
void CopyPixels(TSurface& target, const RECT& to, const RECT& clip, TSurface& source,
                const RECT& from);

// The surfaces' locks for a blit, a flip or a draw, taken in address order so that two threads
// never wait on each other. A Lock held by another thread is waited out when `wait` is set; one
// held by this thread makes the surface busy, as the blitter cannot reach it.
class TBlitLocks {
public:
    HRESULT Acquire(TSurface& first, TSurface* second, bool wait) {
        return AcquireAll({&first, second}, wait);
    }
    // Null entries and repeats are skipped.
    HRESULT AcquireAll(std::vector<TSurface*> surfaces, bool wait);

private:
    std::vector<std::unique_lock<std::mutex>> mLocks;
};

} // namespace standin::detail
