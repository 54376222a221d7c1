// Colours: TColor, four floats each meant to lie in 0 to 1, and TColor32, the packed 32-bit form
// (alpha in the top byte, then red, green, blue) that surfaces and vertices take. Plain values;
// any thread.
#pragma once

#include <cstdint>
#include <type_traits>

struct TColor {
    float r;
    float g;
    float b;
    float a;
};

template <class... T>
concept TAnyFloat = (std::is_floating_point_v<T> || ...);

struct TColor32 {
    uint32_t value = 0;

    // Transparent black.
    constexpr TColor32() = default;
    // Each component times 255, truncated toward zero. Components are not clamped: one outside 0 to
    // 1 spills into the neighbouring bytes, so callers keep them in range.
    explicit TColor32(const TColor& color);
    // The low byte of each.
    constexpr TColor32(int r, int g, int b, int a)
        : value((static_cast<uint32_t>(a) & 0xFF) << 24 | (static_cast<uint32_t>(r) & 0xFF) << 16 |
                (static_cast<uint32_t>(g) & 0xFF) << 8 | (static_cast<uint32_t>(b) & 0xFF)) {}
    // Float components belong in a TColor; without this TColor32(1, 0.5f, 0, 1) would quietly
    // truncate them to 0 and 1 through the int constructor.
    template <class R, class G, class B, class A, class = std::enable_if_t<TAnyFloat<R, G, B, A>>>
    TColor32(R, G, B, A) = delete;
    constexpr explicit TColor32(uint32_t packed) : value(packed) {}

    constexpr int GetA() const { return static_cast<int>(value >> 24); }
    constexpr int GetR() const { return static_cast<int>(value >> 16 & 0xFF); }
    constexpr int GetG() const { return static_cast<int>(value >> 8 & 0xFF); }
    constexpr int GetB() const { return static_cast<int>(value & 0xFF); }

    constexpr void SetA(int a) { SetByte(24, a); }
    constexpr void SetR(int r) { SetByte(16, r); }
    constexpr void SetG(int g) { SetByte(8, g); }
    constexpr void SetB(int b) { SetByte(0, b); }

private:
    constexpr void SetByte(int shift, int byte) {
        value = (value & ~(0xFFu << shift)) | (static_cast<uint32_t>(byte) & 0xFF) << shift;
    }
};
