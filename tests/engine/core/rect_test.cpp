#include "engine/core/rect.h"

#include <gtest/gtest.h>

namespace {

struct IntersectCase {
    const char* name;
    TRect a;
    TRect b;
    TRect expected;
};

class RectIntersectTest : public testing::TestWithParam<IntersectCase> {};

void ExpectRect(const TRect& r, const TRect& expected) {
    EXPECT_EQ(r.left, expected.left);
    EXPECT_EQ(r.top, expected.top);
    EXPECT_EQ(r.right, expected.right);
    EXPECT_EQ(r.bottom, expected.bottom);
}

TEST_P(RectIntersectTest, KeepsTheOverlap) {
    const IntersectCase& c = GetParam();
    TRect r;
    r.Intersect(c.a, c.b);
    ExpectRect(r, c.expected);
}

TEST_P(RectIntersectTest, AnOperandMayBeTheResult) {
    const IntersectCase& c = GetParam();
    TRect first = c.a;
    first.Intersect(first, c.b);
    ExpectRect(first, c.expected);
    TRect second = c.b;
    second.Intersect(c.a, second);
    ExpectRect(second, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RectIntersectTest,
    testing::Values(IntersectCase{"Overlap", {0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}},
                    IntersectCase{"Contained", {-10, -10, 100, 100}, {3, 4, 5, 6}, {3, 4, 5, 6}},
                    // Disjoint rectangles are not normalised: right ends up left of left.
                    IntersectCase{"Disjoint", {0, 0, 10, 10}, {20, 30, 40, 50}, {20, 30, 10, 10}},
                    IntersectCase{
                        "TouchingEdges", {0, 0, 10, 10}, {10, 0, 20, 10}, {10, 0, 10, 10}}),
    [](const testing::TestParamInfo<IntersectCase>& info) { return info.param.name; });

TEST(PointTest, EqualWhenBothCoordinatesAre) {
    EXPECT_TRUE((TPoint{3, -4} == TPoint{3, -4}));
    EXPECT_FALSE((TPoint{3, -4} == TPoint{3, 4}));
    EXPECT_FALSE((TPoint{3, -4} == TPoint{-3, -4}));
}

} // namespace
