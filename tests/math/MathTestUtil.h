#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "math/Matrix.h"
#include "math/Quaternion.h"
#include "math/Vector3.h"

using namespace trellis;

// Clip-space image (x, y, z, w) of the point p under m, in the row-vector order.
struct Vector4 {
    float x, y, z, w;
};

inline Vector4 Transform(const Matrix4& m, const Vector3& p)
{
    const float* e = m.m;
    return {p.x * e[0] + p.y * e[4] + p.z * e[8] + e[12], p.x * e[1] + p.y * e[5] + p.z * e[9] + e[13],
            p.x * e[2] + p.y * e[6] + p.z * e[10] + e[14], p.x * e[3] + p.y * e[7] + p.z * e[11] + e[15]};
}

inline bool SameBits(const Matrix4& a, const Matrix4& b)
{
    return std::memcmp(&a, &b, sizeof(Matrix4)) == 0;
}

// Every element within tolerance (0: equal by value, 0 and -0 alike, a NaN never).
inline void ExpectMatrixNear(const Matrix4& expected, const Matrix4& actual, float tolerance)
{
    for (int k = 0; k < 16; ++k) {
        EXPECT_NEAR(expected.m[k], actual.m[k], tolerance) << "element " << k;
    }
}

// x, y, z and w each within tolerance (0: equal by value).
template <typename Xyzw>
void ExpectNear(const Xyzw& expected, const Xyzw& actual, float tolerance)
{
    EXPECT_NEAR(expected.x, actual.x, tolerance) << "x";
    EXPECT_NEAR(expected.y, actual.y, tolerance) << "y";
    EXPECT_NEAR(expected.z, actual.z, tolerance) << "z";
    EXPECT_NEAR(expected.w, actual.w, tolerance) << "w";
}

inline void ExpectNear(const Vector3& expected, const Vector3& actual, float tolerance)
{
    ExpectNear(Vector4{expected.x, expected.y, expected.z, 0}, Vector4{actual.x, actual.y, actual.z, 0}, tolerance);
}

// The matrix of these 16 elements, in storage order.
inline Matrix4 Elements(std::initializer_list<float> elements)
{
    Matrix4 m{};
    std::copy(elements.begin(), elements.end(), m.m);
    return m;
}

inline Matrix4 Identity()
{
    Matrix4 m;
    MatrixIdentity(&m);
    return m;
}

inline Quaternion AxisAngle(Vector3 axis, float angle)
{
    Quaternion q;
    QuaternionRotationAxis(&q, &axis, angle);
    return q;
}

inline Matrix4 RotationOf(const Quaternion& q)
{
    Matrix4 m;
    MatrixRotationQuaternion(&m, &q);
    return m;
}

inline Matrix4 Product(const Matrix4& a, const Matrix4& b)
{
    Matrix4 m;
    MatrixMultiply(&m, &a, &b);
    return m;
}
