#include "engine/core/matrix.h"

#include <cmath>

TMat3::TMat3() : TMat3(1, 0, 0, 0, 1, 0, 0, 0, 1) {}

TMat3::TMat3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
             float m22)
    : m{{m00, m01, m02}, {m10, m11, m12}, {m20, m21, m22}} {}

namespace {

// Replaces the upper 2 x 2 part of mat by its product with r; row 2 (translation) is not touched.
void MultiplyUpper(TMat3& mat, const float r[2][2]) {
    for (int i = 0; i < 2; ++i) {
        const float a = mat.m[i][0];
        const float b = mat.m[i][1];
        mat.m[i][0] = a * r[0][0] + b * r[1][0];
        mat.m[i][1] = a * r[0][1] + b * r[1][1];
    }
}

} // namespace

void TMat3::Rotate(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const float r[2][2] = {{c, s}, {-s, c}};
    MultiplyUpper(*this, r);
}

void TMat3::Scale(float s) {
    const float r[2][2] = {{s, 0}, {0, s}};
    MultiplyUpper(*this, r);
}

TMat3 operator*(const TMat3& a, const TMat3& b) {
    TMat3 result;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            result.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
        }
    }
    return result;
}

void TransformPoint(TVec2& out, const TVec2& point, const TMat3& matrix) {
    const float x = point.x;
    const float y = point.y;
    out.x = x * matrix.m[0][0] + y * matrix.m[1][0] + matrix.m[2][0];
    out.y = x * matrix.m[0][1] + y * matrix.m[1][1] + matrix.m[2][1];
}

TMat4::TMat4() : m{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1} {}

namespace {

// The off-centre term of one axis; a centre on the very edge of the view gets a fixed large value
// instead of a division by zero.
float OffCentre(float c) {
    return std::fabs(c) == 1.0f ? -10000.0f : c / (1.0f - std::fabs(c));
}

} // namespace

void TMat4::SetPerspective(float nearZ, float farZ, float fovY, float ratio,
                           const float centre[2]) {
    const float y = std::cos(fovY / 2) / std::sin(fovY / 2);
    for (float& element : m) {
        element = 0.0f;
    }
    m[0] = y * ratio;
    m[5] = y;
    m[8] = OffCentre(-centre[0]);
    m[9] = OffCentre(centre[1]);
    m[10] = farZ / (farZ - nearZ);
    m[11] = 1.0f;
    m[14] = -nearZ * farZ / (farZ - nearZ);
}
