// Reads a fuzzer's input front to back as the values a target builds from it; past the end every
// byte reads 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

class TFuzzBytes {
public:
    TFuzzBytes(const uint8_t* data, size_t size) : mData(data), mSize(size) {}

    bool Empty() const { return mAt >= mSize; }
    uint8_t Byte() { return mAt < mSize ? mData[mAt++] : 0; }
    // Eight bytes, lowest first, as the bits of a double: NaNs, infinities and denormals too.
    double Double() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits |= static_cast<uint64_t>(Byte()) << (8 * i);
        }
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // What is left, not consumed.
    std::string_view Rest() const {
        return mAt < mSize
                   ? std::string_view(reinterpret_cast<const char*>(mData) + mAt, mSize - mAt)
                   : std::string_view();
    }

private:
    const uint8_t* mData;
    size_t mSize;
    size_t mAt = 0;
};

// A double as Lua source that reads back as the same value: NaN and the infinities as the
// divisions that make them, everything else in parentheses so a minus sign stays with it.
inline std::string LuaNumberLiteral(double value) {
    if (value != value) {
        return "(0/0)";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    const std::string number = text;
    return number.find("inf") != std::string::npos ? (value > 0 ? "(1/0)" : "(-1/0)")
                                                   : "(" + number + ")";
}
