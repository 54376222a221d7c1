// Placing a window from its script definition. Positions and sizes are codes: pixels from the
// near edge, from the far edge, centred, or sizes relative to the parent. Scripts supply them, so
// every step is done in 64 bits and the results are cut to the int range.

#include "engine/script/lua/luanumber.h"
#include "engine/ui/window.h"
#include "engine/ui/windowstyle.h"

#include <cmath>
#include <limits>

namespace {

// Position codes: up to kPixelLimit pixels from the near edge; centred offsets around kCenter up
// to kFarEdgeStart; from there offsets from the far edge around kMax. Sizes above kRelativeSize
// reach to the parent's far edge less (kMax - size).
constexpr int64_t kPixelLimit = 40000;
constexpr int64_t kCenter = 80000;
constexpr int64_t kRelativeSize = 80000;
constexpr int64_t kFarEdgeStart = 106667;
constexpr int64_t kMax = 160000;

enum : int {
    kHAlignCenter = 1,
    kHAlignRight = 2,
    kVAlignCenter = 4,
    kVAlignBottom = 8,
};

struct TLayoutAxis {
    int64_t pos;
    int64_t size;
    int64_t extent;
    bool center;
    bool farEdge;
};

// Negative positions count from the far edge unless the definition has "align".
int64_t ResolveLayoutPosition(int64_t pos, int64_t size, int64_t extent, bool hasAlign) {
    if (pos >= 0 && pos <= kPixelLimit) {
        return pos;
    }
    if (pos < 0) {
        return hasAlign ? pos : extent + pos;
    }
    if (pos < kFarEdgeStart) {
        return extent / 2 - size / 2 + (pos - kCenter);
    }
    return extent + pos - kMax;
}

void ResolveLayoutAxis(TLayoutAxis& axis, bool hasParent, bool hasAlign) {
    if (axis.size == 0) {
        return;
    }
    if (axis.pos < kPixelLimit || axis.pos >= kFarEdgeStart) {
        if (axis.center) {
            axis.pos -= axis.size / 2;
        } else if (axis.farEdge) {
            axis.pos -= axis.size;
        }
    }
    if (!hasParent) {
        return;
    }
    if (axis.size > kRelativeSize) {
        if (axis.pos <= kPixelLimit) {
            axis.pos = ResolveLayoutPosition(axis.pos, axis.size, axis.extent, hasAlign);
            axis.size = axis.size + axis.extent - axis.pos - kMax;
        } else {
            // A centred window keeps its centre and fills the parent less the margins.
            const int64_t offset = axis.pos - kCenter;
            if (offset >= 0) {
                axis.size = axis.size + axis.extent - 2 * offset - kMax;
                axis.pos = 2 * offset;
            } else {
                axis.size = axis.size + axis.extent + 2 * offset - kMax;
                axis.pos = 0;
            }
        }
    } else if (axis.size >= 0) {
        axis.pos = ResolveLayoutPosition(axis.pos, axis.size, axis.extent, hasAlign);
    } else {
        // The window extends backward from the position.
        axis.size = -axis.size;
        if (axis.size <= kRelativeSize) {
            axis.pos =
                ResolveLayoutPosition(axis.pos, axis.size, axis.extent, hasAlign) - axis.size;
        }
    }
}

bool IsRelativeLayout(int pos, int size) {
    return size < 0 || pos < 0 || size > kRelativeSize || pos > kPixelLimit;
}

} // namespace

void TWindow::Init(TWindowStyle& style) {
    SetName(style.GetString("name", str()));
    ReadLayout(style);
}

void TWindow::PostCreate(TWindowStyle& style) {
    if (style.GetBool("fit", false)) {
        FitToChildren();
    }
    ReadLayout(style);
}

void TWindow::ReadLayout(TWindowStyle& style) {
    const int x = style.GetInt("x", 0);
    const int y = style.GetInt("y", 0);
    const int w = style.GetInt("w", GetWidth());
    const int h = style.GetInt("h", GetHeight());
    if (mParent != nullptr) {
        // Relative values mean nothing yet in a parent without size.
        if (IsRelativeLayout(x, w) && mParent->GetWidth() == 0) {
            return;
        }
        if (IsRelativeLayout(y, h) && mParent->GetHeight() == 0) {
            return;
        }
    }
    if ((x > kPixelLimit || x < 0) && w == 0) {
        return;
    }
    if ((y > kPixelLimit || y < 0) && h == 0) {
        return;
    }
    // NaN stands for "no align": whether the key is there changes what negative positions mean.
    const double alignValue = style.GetNumber("align", std::numeric_limits<double>::quiet_NaN());
    const bool hasAlign = !std::isnan(alignValue);
    const int align = hasAlign ? LuaNumberToInt(alignValue) : 0;

    const bool hasParent = mParent != nullptr;
    TLayoutAxis horizontal{x, w, hasParent ? mParent->GetWidth() : 0, (align & kHAlignCenter) != 0,
                           (align & kHAlignRight) != 0};
    TLayoutAxis vertical{y, h, hasParent ? mParent->GetHeight() : 0, (align & kVAlignCenter) != 0,
                         (align & kVAlignBottom) != 0};
    ResolveLayoutAxis(horizontal, hasParent, hasAlign);
    ResolveLayoutAxis(vertical, hasParent, hasAlign);

    // A window that already has a position or size keeps it: the second pass from PostCreate
    // places only what the first could not.
    const TRect& rect = GetRect();
    MoveTo(rect.left != 0 ? rect.left : SaturateToInt(horizontal.pos),
           rect.top != 0 ? rect.top : SaturateToInt(vertical.pos));
    const int width = GetWidth();
    const int height = GetHeight();
    SetSize(width != 0 ? width : SaturateToInt(horizontal.size),
            height != 0 ? height : SaturateToInt(vertical.size));
}

TPoint TWindow::ResolveCodedPoint(int x, int y, int align) const {
    const bool hasParent = mParent != nullptr;
    TLayoutAxis horizontal{x, GetWidth(), hasParent ? mParent->GetWidth() : 0,
                           (align & kHAlignCenter) != 0, (align & kHAlignRight) != 0};
    TLayoutAxis vertical{y, GetHeight(), hasParent ? mParent->GetHeight() : 0,
                         (align & kVAlignCenter) != 0, (align & kVAlignBottom) != 0};
    ResolveLayoutAxis(horizontal, hasParent, false);
    ResolveLayoutAxis(vertical, hasParent, false);
    return TPoint{SaturateToInt(horizontal.pos), SaturateToInt(vertical.pos)};
}
