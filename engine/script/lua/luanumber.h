// Double-to-integer conversions for the script machine. Every place that truncates a script number
// goes through these, so NaN, infinities and out-of-range values give one defined result instead of
// undefined behaviour. Pure functions; any thread.
#pragma once

#include <cmath>
#include <cstdint>

// Truncates toward zero to a signed 64-bit integer. NaN, infinities and values outside the 64-bit
// range give INT64_MIN (only the top bit set), the value the x87/SSE truncating conversion yields,
// which the bitwise operators rely on.
inline int64_t LuaNumberToInt64(double n) {
    if (!(n >= -9223372036854775808.0 && n < 9223372036854775808.0)) {
        return INT64_MIN;
    }
    return static_cast<int64_t>(n);
}

// Truncates toward zero to a 32-bit int. NaN and values outside the int range give INT32_MIN.
inline int32_t LuaNumberToInt(double n) {
    if (!(n > -2147483649.0 && n < 2147483648.0)) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(n);
}

// The low 32 bits of the 64-bit truncation, read as unsigned: the operand of the bitwise operators.
inline uint32_t LuaNumberLow32(double n) {
    return static_cast<uint32_t>(static_cast<uint64_t>(LuaNumberToInt64(n)));
}

// True when n is an integer that fits an int; the integer is stored in *out.
inline bool LuaNumberIsInt(double n, int32_t* out) {
    const int32_t k = LuaNumberToInt(n);
    if (static_cast<double>(k) != n) {
        return false;
    }
    *out = k;
    return true;
}
