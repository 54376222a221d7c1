// Float vectors shared by every layer: positions, sizes, directions and plain float quadruples.
// Plain values; any thread.
#pragma once

struct TVec3;

struct TVec2 {
    float x = 0.0f;
    float y = 0.0f;

    constexpr TVec2() = default;
    constexpr TVec2(float ax, float ay) : x(ax), y(ay) {}
    // Drops z.
    constexpr explicit TVec2(const TVec3& v);

    constexpr TVec2& operator+=(const TVec2& v) {
        x += v.x;
        y += v.y;
        return *this;
    }
    constexpr TVec2& operator*=(float s) {
        x *= s;
        y *= s;
        return *this;
    }
    constexpr TVec2 operator-() const { return TVec2(-x, -y); }
};

constexpr TVec2 operator+(const TVec2& a, const TVec2& b) {
    return TVec2(a.x + b.x, a.y + b.y);
}

constexpr TVec2 operator*(const TVec2& v, float s) {
    return TVec2(v.x * s, v.y * s);
}

struct TVec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr TVec3() = default;
    constexpr TVec3(float ax, float ay, float az) : x(ax), y(ay), z(az) {}
    constexpr TVec3(const TVec2& v, float az) : x(v.x), y(v.y), z(az) {}

    constexpr TVec3& operator+=(const TVec3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
};

constexpr TVec2::TVec2(const TVec3& v) : x(v.x), y(v.y) {}

struct TVec4 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    constexpr TVec4() = default;
    constexpr TVec4(float ax, float ay, float az, float aw) : x(ax), y(ay), z(az), w(aw) {}
};
