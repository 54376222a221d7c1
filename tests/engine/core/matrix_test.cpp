#include "engine/core/matrix.h"
#include "engine/core/vec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

TEST(VecTest, Arithmetic) {
    TVec2 a(1, 2);
    a += TVec2(3, -5);
    EXPECT_EQ(a.x, 4);
    EXPECT_EQ(a.y, -3);
    a *= 0.5f;
    EXPECT_EQ(a.x, 2);
    EXPECT_EQ(a.y, -1.5f);
    const TVec2 n = -a;
    EXPECT_EQ(n.x, -2);
    EXPECT_EQ(n.y, 1.5f);
    const TVec2 sum = TVec2(1, 1) + TVec2(2, 3) * 2.0f;
    EXPECT_EQ(sum.x, 5);
    EXPECT_EQ(sum.y, 7);

    TVec3 v(TVec2(7, 8), 9);
    v += TVec3(1, 1, 1);
    EXPECT_EQ(v.x, 8);
    EXPECT_EQ(v.y, 9);
    EXPECT_EQ(v.z, 10);
    const TVec2 dropped(v);
    EXPECT_EQ(dropped.x, 8);
    EXPECT_EQ(dropped.y, 9);

    const TVec4 zero;
    EXPECT_EQ(zero.x + zero.y + zero.z + zero.w, 0);
}

TVec2 Map(const TMat3& m, float x, float y) {
    TVec2 out;
    TransformPoint(out, TVec2(x, y), m);
    return out;
}

TMat3 Translation(float x, float y) {
    return TMat3(1, 0, 0, 0, 1, 0, x, y, 1);
}

struct MapCase {
    const char* name;
    TMat3 matrix;
    TVec2 point;
    TVec2 expected;
};

class TransformPointTest : public testing::TestWithParam<MapCase> {};

TEST_P(TransformPointTest, MapsRowVector) {
    const MapCase& c = GetParam();
    const TVec2 out = Map(c.matrix, c.point.x, c.point.y);
    EXPECT_FLOAT_EQ(out.x, c.expected.x);
    EXPECT_FLOAT_EQ(out.y, c.expected.y);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TransformPointTest,
    testing::Values(MapCase{"Identity", TMat3(), TVec2(3, -4), TVec2(3, -4)},
                    MapCase{"Translation", Translation(10, 20), TVec2(1, 2), TVec2(11, 22)},
                    // x' = x*m00 + y*m10 + m20, y' = x*m01 + y*m11 + m21
                    MapCase{"General", TMat3(2, 3, 0, 5, 7, 0, 11, 13, 1), TVec2(1, 10),
                            TVec2(2 + 50 + 11, 3 + 70 + 13)},
                    MapCase{"ColumnTwoIgnored", TMat3(1, 0, 9, 0, 1, 9, 0, 0, 9), TVec2(4, 5),
                            TVec2(4, 5)}),
    [](const testing::TestParamInfo<MapCase>& info) { return info.param.name; });

TEST(TransformPointTest, OutMayBeThePoint) {
    TVec2 p(1, 10);
    TransformPoint(p, p, TMat3(2, 3, 0, 5, 7, 0, 11, 13, 1));
    EXPECT_EQ(p.x, 63);
    EXPECT_EQ(p.y, 86);
}

TEST(Mat3Test, ProductAppliesLeftFirst) {
    const TMat3 move = Translation(10, 0);
    const TMat3 twice(2, 0, 0, 0, 2, 0, 0, 0, 1);
    // (1, 1) moved to (11, 1), then doubled; the other order doubles first.
    const TVec2 moveThenScale = Map(move * twice, 1, 1);
    EXPECT_EQ(moveThenScale.x, 22);
    EXPECT_EQ(moveThenScale.y, 2);
    const TVec2 scaleThenMove = Map(twice * move, 1, 1);
    EXPECT_EQ(scaleThenMove.x, 12);
    EXPECT_EQ(scaleThenMove.y, 2);

    const TMat3 a(1, 2, 3, 4, 5, 6, 7, 8, 9);
    const TMat3 b(9, 8, 7, 6, 5, 4, 3, 2, 1);
    const TMat3 p = a * b;
    const float expected[3][3] = {{30, 24, 18}, {84, 69, 54}, {138, 114, 90}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(p.m[i][j], expected[i][j]) << i << "," << j;
        }
    }
}

TEST(Mat3Test, RotateQuarterTurnKeepsTranslation) {
    TMat3 m;
    m.Rotate(kPi / 2);
    const TVec2 p = Map(m, 1, 0);
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 1, 1e-6);

    TMat3 moved = Translation(5, 7);
    moved.Rotate(kPi / 2);
    EXPECT_EQ(moved.m[2][0], 5);
    EXPECT_EQ(moved.m[2][1], 7);
    const TVec2 q = Map(moved, 1, 0);
    EXPECT_NEAR(q.x, 5, 1e-6);
    EXPECT_NEAR(q.y, 8, 1e-6);
}

TEST(Mat3Test, RotatePostMultiplies) {
    // Upper part diag(1, 2) times the quarter turn rows (0, 1), (-1, 0) gives rows (0, 1), (-2, 0);
    // the rotation applied first would give rows (0, 2), (-1, 0).
    TMat3 m(1, 0, 0, 0, 2, 0, 0, 0, 1);
    m.Rotate(kPi / 2);
    EXPECT_NEAR(m.m[0][0], 0, 1e-6);
    EXPECT_NEAR(m.m[0][1], 1, 1e-6);
    EXPECT_NEAR(m.m[1][0], -2, 1e-6);
    EXPECT_NEAR(m.m[1][1], 0, 1e-6);
}

TEST(Mat3Test, ScaleKeepsTranslationAndThirdColumn) {
    TMat3 m(1, 2, 8, 3, 4, 9, 5, 6, 1);
    m.Scale(2);
    const float expected[3][3] = {{2, 4, 8}, {6, 8, 9}, {5, 6, 1}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(m.m[i][j], expected[i][j]) << i << "," << j;
        }
    }
}

struct PerspectiveCase {
    const char* name;
    float centre[2];
    float m8;
    float m9;
};

class PerspectiveTest : public testing::TestWithParam<PerspectiveCase> {};

TEST_P(PerspectiveTest, BuildsLeftHandedProjection) {
    const PerspectiveCase& c = GetParam();
    TMat4 m;
    // fovY = pi/2 gives y = cot(pi/4) = 1.
    m.SetPerspective(1, 101, kPi / 2, 0.75f, c.centre);
    float expected[16] = {};
    expected[0] = 0.75f;
    expected[5] = 1;
    expected[8] = c.m8;
    expected[9] = c.m9;
    expected[10] = 101.0f / 100.0f;
    expected[11] = 1;
    expected[14] = -101.0f / 100.0f;
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(m.m[i], expected[i], 1e-5) << "m" << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PerspectiveTest,
    testing::Values(PerspectiveCase{"Centred", {0, 0}, 0, 0},
                    PerspectiveCase{"XNegatedYNot", {0.5f, -0.5f}, -1, -1},
                    PerspectiveCase{"Quarter", {-0.25f, 0.25f}, 1.0f / 3, 1.0f / 3},
                    PerspectiveCase{"EdgesGiveFixedValue", {1, -1}, -10000, -10000},
                    PerspectiveCase{"OneEdge", {-1, 0.25f}, -10000, 1.0f / 3}),
    [](const testing::TestParamInfo<PerspectiveCase>& info) { return info.param.name; });

TEST(Mat4Test, DefaultIsIdentity) {
    const TMat4 m;
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m.m[i], i % 5 == 0 ? 1 : 0) << "m" << i;
    }
}

} // namespace
