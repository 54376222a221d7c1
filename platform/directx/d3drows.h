// The runs of pixels the rows of a triangle light, solved from the general path's own integer
// edge tests (d3draster.h), for the rasteriser's fast paths. Not part of the Direct3D surface.
#pragma once

#include "platform/directx/d3draster.h"

#include <algorithm>
#include <cstdint>

namespace standin::detail {

inline std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

inline std::int64_t CeilDivide(std::int64_t a, std::int64_t b) {
    return -FloorDivide(-a, b);
}

// The run of pixels of each row inside a triangle, solved from the general path's edge tests:
// at column x of a row an edge passes where A * x + C >= 0. Upright edges bound every row alike
// and level ones (A = 0) take or refuse a row whole; a sloping edge's bound is a quotient that
// steps from one row to the next by a fixed quotient and remainder.
class TRowSolver {
public:
    explicit TRowSolver(const TTriangle& t) : mTriangle(t), mLow(t.x0), mHigh(t.x1) {
        for (const TEdge& e : t.edges) {
            const std::int64_t a = e.a * kSubPixels;
            const std::int64_t base = e.a * t.offset + e.c + e.bias;
            if (a == 0) {
                mLevel[mLevels++] = TLevel{base, e.b};
            } else if (e.b == 0) {
                if (a > 0) {
                    mLow = std::max(mLow, CeilDivide(-base, a));
                } else {
                    mHigh = std::min(mHigh, FloorDivide(base, -a));
                }
            } else {
                // A > 0: x >= ceil(-C / A) = floor((A - 1 - C) / A); A < 0: x <= floor(C / -A).
                // Either is floor(M / D) with M = sign * C + extra, stepping by sign * b * 256.
                TSloped& s = mSloped[mSlopes++];
                s.lower = a > 0;
                s.divisor = a > 0 ? a : -a;
                s.sign = a > 0 ? -1 : 1;
                s.extra = a > 0 ? a - 1 : 0;
                s.base = base;
                s.b = e.b;
                const std::int64_t step = s.sign * e.b * kSubPixels;
                s.stepQuotient = FloorDivide(step, s.divisor);
                s.stepRemainder = step - s.stepQuotient * s.divisor;
            }
        }
    }

    const TTriangle& Triangle() const { return mTriangle; }

    // Pixels [*from, *to] of row y; false when none. Quickest for rows in order.
    bool Run(int y, int* from, int* to) {
        if (y < mTriangle.y0 || y > mTriangle.y1) {
            return false;
        }
        const bool next = mStepped && y == mLastY + 1;
        mStepped = true;
        mLastY = y;
        const std::int64_t sy = mTriangle.CentreY(y);
        std::int64_t low = mLow;
        std::int64_t high = mHigh;
        for (int i = 0; i < mSlopes; ++i) {
            TSloped& s = mSloped[i];
            if (next) {
                s.remainder += s.stepRemainder;
                const std::int64_t carry = s.remainder >= s.divisor ? 1 : 0;
                s.quotient += s.stepQuotient + carry;
                s.remainder -= carry * s.divisor;
            } else {
                const std::int64_t m = s.sign * (s.base + s.b * sy) + s.extra;
                s.quotient = FloorDivide(m, s.divisor);
                s.remainder = m - s.quotient * s.divisor;
            }
            if (s.lower) {
                low = std::max(low, s.quotient);
            } else {
                high = std::min(high, s.quotient);
            }
        }
        for (int i = 0; i < mLevels; ++i) {
            if (mLevel[i].base + mLevel[i].b * sy < 0) {
                return false;
            }
        }
        if (low > high) {
            return false;
        }
        *from = static_cast<int>(low);
        *to = static_cast<int>(high);
        return true;
    }

private:
    struct TLevel {
        std::int64_t base, b; // C = base + b * (the row's centre)
    };
    struct TSloped {
        bool lower;
        std::int64_t divisor, sign, extra, base, b;
        std::int64_t stepQuotient, stepRemainder;
        std::int64_t quotient = 0, remainder = 0;
    };

    const TTriangle& mTriangle;
    std::int64_t mLow, mHigh;
    TLevel mLevel[3]{};
    TSloped mSloped[3]{};
    int mLevels = 0, mSlopes = 0;
    bool mStepped = false; // rows have been solved, the last being mLastY
    int mLastY = 0;
};

// The runs of a row of one triangle or two drawn together: one run where they meet, else the
// first's pixels before the second's.
struct TRowRuns {
    struct TRun {
        int from, to;
        // Pixels before `split` are `left`'s, the others `right`'s.
        int split;
        const TTriangle* left;
        const TTriangle* right;
    };
    TRun runs[2];
    int count = 0;

    TRowRuns(TRowSolver& first, TRowSolver* second, int y) {
        int f0 = 0, t0 = 0, f1 = 0, t1 = 0;
        const bool a = first.Run(y, &f0, &t0);
        const bool b = second != nullptr && second->Run(y, &f1, &t1);
        const TTriangle* one = &first.Triangle();
        const TTriangle* two = second != nullptr ? &second->Triangle() : nullptr;
        if (a && b && t0 + 1 == f1) {
            runs[count++] = TRun{f0, t1, f1, one, two};
        } else if (a && b && t1 + 1 == f0) {
            runs[count++] = TRun{f1, t0, f0, two, one};
        } else {
            if (a) {
                runs[count++] = TRun{f0, t0, f0, one, one};
            }
            if (b) {
                runs[count++] = TRun{f1, t1, f1, two, two};
            }
        }
    }
};

} // namespace standin::detail
