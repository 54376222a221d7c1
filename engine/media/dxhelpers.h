// Small helpers of the display handler's files.
#pragma once

#include <cmath>
#include <limits>

// Toward zero; NaN gives 0 and values beyond the int range its ends (a setting supplies the scale).
inline int TruncateScaled(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0f) {
        return std::numeric_limits<int>::max();
    }
    if (value <= -2147483648.0f) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(value);
}

// Sets a flag for a scope and clears it on every way out (a nested call that cleared and set it
// again leaves it cleared too): the display handler's re-entry guards.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : mFlag(flag) { mFlag = true; }
    ~TFlagScope() { mFlag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& mFlag;
};
