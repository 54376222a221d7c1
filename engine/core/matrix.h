// 3 x 3 matrices for the 2-D affine transforms of windows, sprites and draw descriptors, and the
// 4 x 4 projection matrix of the 3-D view. Points are row vectors: p' = p * M, so A * B applies A
// first; the last row holds the translation. Plain values; any thread.
#pragma once

#include "engine/core/vec.h"

struct TMat3 {
    float m[3][3];

    // Identity.
    TMat3();
    // The nine elements row by row.
    TMat3(float m00, float m01, float m02, float m10, float m11, float m12, float m20, float m21,
          float m22);

    // Post-multiply the upper 2 x 2 part by a rotation (radians) or a uniform scale; the
    // translation row stays.
    void Rotate(float angle);
    void Scale(float s);
};

TMat3 operator*(const TMat3& a, const TMat3& b);

// out may be the same object as point.
void TransformPoint(TVec2& out, const TVec2& point, const TMat3& matrix);

struct TMat4 {
    // m[0] .. m[15], row by row.
    float m[16];

    // Identity.
    TMat4();

    // Left-handed perspective projection; centre shifts the projection centre off the middle of
    // the view (-1 .. 1 on each axis).
    void SetPerspective(float nearZ, float farZ, float fovY, float ratio, const float centre[2]);
};
