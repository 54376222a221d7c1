#include "engine/core/color.h"

#include <gtest/gtest.h>

#include <limits>
#include <type_traits>

namespace {

struct ColorCase {
    const char* name;
    TColor color;
    uint32_t expected;
};

class Color32FromColorTest : public testing::TestWithParam<ColorCase> {};

TEST_P(Color32FromColorTest, Packs) {
    EXPECT_EQ(TColor32(GetParam().color).value, GetParam().expected);
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, Color32FromColorTest,
    testing::Values(
        // 0.5 * 255 = 127.5, truncated to 0x7F.
        ColorCase{"HalfGreenTruncates", {1, 0.5f, 0, 1}, 0xFFFF7F00u},
        ColorCase{"TransparentBlack", {0, 0, 0, 0}, 0},
        ColorCase{"OpaqueWhite", {1, 1, 1, 1}, 0xFFFFFFFFu},
        // 51.0000008, 102.0000015, 153.0000061, 204.0000030 (single-precision inputs).
        ColorCase{"Fractions", {0.2f, 0.4f, 0.6f, 0.8f}, 0xCC336699u},
        ColorCase{"JustBelowAStep", {0.998f, 0, 0, 0}, 0x00FE0000u},
        // 2 * 255 = 510 = 0x1FE: the carry lands in alpha's low bit.
        ColorCase{"RedAboveOneSpillsIntoAlpha", {2, 0, 0, 0}, 0x01FE0000u},
        // 1.5 * 255 = 382.5 -> 0x17E.
        ColorCase{"GreenAboveOneSpillsIntoRed", {0, 1.5f, 0, 0}, 0x00017E00u},
        // -0.01 * 255 = -2.55 -> -2 = 0xFFFFFFFE fills every byte above blue.
        ColorCase{"NegativeBlueFillsAll", {0, 0, -0.01f, 0}, 0xFFFFFFFEu},
        // A value with no integer gives 0x80000000; in blue its top bit lands in alpha.
        ColorCase{"NaNBlue", {0, 0, kNaN, 0}, 0x80000000u},
        ColorCase{"HugeAlphaShiftsOut", {0, 0, 0, 1e30f}, 0}),
    [](const testing::TestParamInfo<ColorCase>& info) { return info.param.name; });

static_assert(!std::is_constructible_v<TColor32, int, double, int, int>,
              "float components must go through TColor");
static_assert(std::is_constructible_v<TColor32, int, int, unsigned char, long>);

TEST(Color32Test, IntegerComponentsKeepTheirLowByte) {
    EXPECT_EQ(TColor32().value, 0u);
    EXPECT_EQ(TColor32(0x12, 0x34, 0x56, 0x78).value, 0x78123456u);
    EXPECT_EQ(TColor32(257, -1, 0, 0x1FF).value, 0xFF01FF00u);
    EXPECT_EQ(TColor32(0xDEADBEEFu).value, 0xDEADBEEFu);
}

TEST(Color32Test, GetAndSetOneByte) {
    TColor32 c(0x11223344u);
    EXPECT_EQ(c.GetA(), 0x11);
    EXPECT_EQ(c.GetR(), 0x22);
    EXPECT_EQ(c.GetG(), 0x33);
    EXPECT_EQ(c.GetB(), 0x44);

    struct Case {
        void (TColor32::*set)(int);
        int byte;
        uint32_t expected;
    };
    const Case cases[] = {
        {&TColor32::SetA, 0xAB, 0xAB223344u},
        {&TColor32::SetR, 0xAB, 0x11AB3344u},
        {&TColor32::SetG, 0xAB, 0x1122AB44u},
        {&TColor32::SetB, 0xAB, 0x112233ABu},
        // Only the low byte of the argument is taken.
        {&TColor32::SetR, 0x1AB, 0x11AB3344u},
        {&TColor32::SetB, -1, 0x112233FFu},
    };
    for (const Case& k : cases) {
        TColor32 d(0x11223344u);
        (d.*k.set)(k.byte);
        EXPECT_EQ(d.value, k.expected) << std::hex << k.expected;
    }
}

} // namespace
