#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "MathTestUtil.h"
#include "math/Fixed.h"

using namespace trellis;

namespace {

constexpr float kHalfPi = 1.57079632679f;

Matrix4 Sample(float base)
{
    Matrix4 m;
    for (int k = 0; k < 16; ++k) {
        m.m[k] = base + 0.37f * k - 0.05f * k * k;
    }
    return m;
}

TEST(MatrixMultiply, AppliesTheLeftFactorFirst)
{
    Matrix4 translation, rotation;
    MatrixTranslation(&translation, 1.0f, 2.0f, 3.0f);
    MatrixRotationZ(&rotation, kHalfPi);
    ExpectNear({2, -1, 3, 1}, Transform(Product(translation, rotation), {0, 0, 0}), 1e-6f);
    ExpectNear({1, 2, 3, 1}, Transform(Product(rotation, translation), {0, 0, 0}), 0.0f);
}

TEST(MatrixMultiply, GivesTheSameValuesWhateverTheOutputAliases)
{
    const Matrix4 a = Sample(0.5f);
    const Matrix4 b = Sample(-1.25f);
    const Matrix4 expected = Product(a, b);

    Matrix4 out = a;
    MatrixMultiply(&out, &out, &b);
    EXPECT_TRUE(SameBits(expected, out));
    out = b;
    MatrixMultiply(&out, &a, &out);
    EXPECT_TRUE(SameBits(expected, out));

    const Matrix4 square = Product(a, a);
    out = a;
    MatrixMultiply(&out, &out, &out);
    EXPECT_TRUE(SameBits(square, out));
    EXPECT_FALSE(SameBits(a, square));
}

TEST(MatrixMultiply, SumsEachElementInItsFixedOrder)
{
    // ((1 * 1 + 1e8 * 1) + -1e8 * 1) is 0 in float; any other order gives 1.
    Matrix4 a{}, b{};
    a.m[0] = 1.0f;
    a.m[1] = 1e8f;
    a.m[2] = -1e8f;
    b.m[0] = b.m[4] = b.m[8] = 1.0f;
    EXPECT_EQ(0.0f, Product(a, b).m[0]);
}

TEST(MatrixBuilders, WriteEveryElement)
{
    Matrix4 m;
    MatrixScaling(&m, 2.0f, 3.0f, 4.0f);
    ExpectMatrixNear(Elements({2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}), m, 0.0f);
    m = Sample(9.0f);
    MatrixTranslation(&m, -1.0f, 2.0f, -3.0f);
    ExpectMatrixNear(Elements({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, 2, -3, 1}), m, 0.0f);
}

TEST(MatrixRotation, TurnsClockwiseSeenFromThePositiveAxis)
{
    Matrix4 m;
    MatrixRotationZ(&m, kHalfPi);
    ExpectNear({0, -1, 0, 1}, Transform(m, {1, 0, 0}), 1e-7f);
    MatrixRotationY(&m, kHalfPi);
    ExpectNear({0, 0, 1, 1}, Transform(m, {1, 0, 0}), 1e-7f);
    MatrixRotationX(&m, kHalfPi);
    ExpectNear({0, 0, -1, 1}, Transform(m, {0, 1, 0}), 1e-7f);
}

TEST(MatrixRotation, UsesExactlyNegatedSines)
{
    Matrix4 m;
    MatrixRotationX(&m, 0.3f);
    EXPECT_EQ(-m.m[9], m.m[6]);
    EXPECT_EQ(static_cast<float>(std::cos(0.3)), m.m[5]);
    MatrixRotationY(&m, 0.3f);
    EXPECT_EQ(-m.m[2], m.m[8]);
    MatrixRotationZ(&m, 0.3f);
    EXPECT_EQ(-m.m[4], m.m[1]);
    EXPECT_EQ(static_cast<float>(std::sin(0.3)), m.m[4]);
}

TEST(MatrixTranspose, SwapsRowsAndColumnsInPlaceToo)
{
    const Matrix4 in = Sample(1.0f);
    Matrix4 out;
    MatrixTranspose(&out, &in);
    EXPECT_EQ(in.m[1], out.m[4]);
    EXPECT_EQ(in.m[14], out.m[11]);
    EXPECT_EQ(in.m[5], out.m[5]);
    Matrix4 inPlace = in;
    MatrixTranspose(&inPlace, &inPlace);
    EXPECT_TRUE(SameBits(out, inPlace));
}

TEST(MatrixLookAt, LooksDownTheAxisFromFiveUnitsAway)
{
    const Vector3 eye{0, 0, 5}, at{0, 0, 0}, up{0, 1, 0};
    Matrix4 rh, lh;
    MatrixLookAtRH(&rh, &eye, &at, &up);
    MatrixLookAtLH(&lh, &eye, &at, &up);
    ExpectMatrixNear(Elements({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -5, 1}), rh, 0.0f);
    ExpectMatrixNear(Elements({-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 5, 1}), lh, 0.0f);
}

TEST(MatrixLookAt, MatchesTheSceneView)
{
    const Vector3 eye{5, -25, -135}, at{0, 7, 0}, up{0, 1, 0};
    Matrix4 m;
    MatrixLookAtRH(&m, &eye, &at, &up);
    EXPECT_FLOAT_EQ(-0.9724064f, m.m[0]);
    EXPECT_FLOAT_EQ(-0.9724064f, m.m[10]);
    EXPECT_FLOAT_EQ(0.9468713f, m.m[5]);
    EXPECT_FLOAT_EQ(-0.2304963f, m.m[6]);
    EXPECT_FLOAT_EQ(-0.2241361f, m.m[9]);
    EXPECT_FLOAT_EQ(-6.628099f, m.m[13]);
    EXPECT_FLOAT_EQ(-137.2174f, m.m[14]);
    for (int column = 0; column < 3; ++column) {
        const Vector3 c{m.m[column], m.m[4 + column], m.m[8 + column]};
        EXPECT_NEAR(column < 2 ? 0.9730732f : 1.0f, std::sqrt(Vector3Dot(&c, &c)), 2e-7f) << column;
    }
    EXPECT_EQ((std::vector<float>{0, 0, 0, 1}), (std::vector<float>{m.m[3], m.m[7], m.m[11], m.m[15]}));
    // The eye itself goes to the view origin and the target straight ahead (-z).
    ExpectNear({0, 0, 0, 1}, Transform(m, eye), 1e-4f);
    const Vector4 target = Transform(m, at);
    ExpectNear({0, 0, target.z, 1}, target, 1e-4f);
    EXPECT_LT(target.z, -100.0f);
}

TEST(MatrixLookAt, KeepsObliqueSideVectorsUnnormalised)
{
    // up at 60 degrees to the viewing direction (-z).
    const Vector3 eye{0, 0, 0}, at{0, 0, -1}, up{0, std::sqrt(3.0f), -1};
    Matrix4 m;
    MatrixLookAtRH(&m, &eye, &at, &up);
    for (int column = 0; column < 2; ++column) {
        const Vector3 c{m.m[column], m.m[4 + column], m.m[8 + column]};
        EXPECT_NEAR(0.8660254f, std::sqrt(Vector3Dot(&c, &c)), 1e-6f) << column;
    }
}

TEST(MatrixLookAt, DegenerateInputGivesNaNsWithoutTrapping)
{
    const Vector3 same{1, 2, 3}, up{0, 1, 0}, zero{0, 0, 0}, at{0, 0, -1};
    Matrix4 m;
    MatrixLookAtRH(&m, &same, &same, &up);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            EXPECT_TRUE(std::isnan(m.m[4 * row + column])) << row << "," << column;
        }
    }
    EXPECT_EQ((std::vector<float>{0, 0, 0, 1}), (std::vector<float>{m.m[3], m.m[7], m.m[11], m.m[15]}));

    MatrixLookAtRH(&m, &zero, &at, &zero);
    EXPECT_TRUE(std::isnan(m.m[0]) && std::isnan(m.m[1]) && std::isnan(m.m[4]) && std::isnan(m.m[9]));
    EXPECT_EQ(1.0f, m.m[10]);
}

TEST(MatrixPerspective, MatchesTheSceneProjectionToTheFixedPointBit)
{
    Matrix4 m;
    MatrixPerspectiveFovRH(&m, 0.43611112f, 0.75f, 10.0f, 10000.0f);
    EXPECT_FLOAT_EQ(6.0174274f, m.m[0]);
    EXPECT_FLOAT_EQ(4.5130706f, m.m[5]);
    EXPECT_FLOAT_EQ(-1.002002f, m.m[10]);
    EXPECT_EQ(-1.0f, m.m[11]);
    EXPECT_FLOAT_EQ(-20.020020f, m.m[14]);
    EXPECT_EQ(0.0f, m.m[15]);
    int32_t fixed[16];
    MatrixToFixed(fixed, &m);
    EXPECT_EQ((std::vector<int32_t>{394358, 0, 0, 0, 0, 295768, 0, 0, 0, 0, -65667, -65536, 0, 0, -1312032, 0}),
              std::vector<int32_t>(fixed, fixed + 16));
}

TEST(MatrixPerspective, MapsNearAndFarPlanes)
{
    Matrix4 rh, lh;
    MatrixPerspectiveFovRH(&rh, 0.8f, 1.5f, 2.0f, 50.0f);
    MatrixPerspectiveFovLH(&lh, 0.8f, 1.5f, 2.0f, 50.0f);
    const Vector4 nearRH = Transform(rh, {0, 0, -2}), farRH = Transform(rh, {0, 0, -50});
    EXPECT_NEAR(-1.0f, nearRH.z / nearRH.w, 1e-6f);
    EXPECT_NEAR(1.0f, farRH.z / farRH.w, 1e-6f);
    const Vector4 nearLH = Transform(lh, {0, 0, 2}), farLH = Transform(lh, {0, 0, 50});
    EXPECT_NEAR(0.0f, nearLH.z / nearLH.w, 1e-6f);
    EXPECT_NEAR(1.0f, farLH.z / farLH.w, 1e-6f);
    EXPECT_EQ(1.0f, lh.m[11]);
    EXPECT_FLOAT_EQ(lh.m[5] / 1.5f, lh.m[0]);

    MatrixPerspectiveFovLH(&lh, 0.43611112f, 0.75f, 10.0f, 10000.0f);
    EXPECT_FLOAT_EQ(1.001001f, lh.m[10]);
    EXPECT_FLOAT_EQ(-10.01001f, lh.m[14]);
}

TEST(MatrixOrtho, MapsTheNearPlaneToDepthZeroAndTheFarPlaneToOne)
{
    Matrix4 lh, rh;
    MatrixOrthoLH(&lh, 2.0f, 2.0f, 1.0f, 3.0f);
    ExpectMatrixNear(Elements({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.5f, 0, 0, 0, -0.5f, 1}), lh, 0.0f);
    MatrixOrthoRH(&rh, 2.0f, 2.0f, 1.0f, 3.0f);
    ExpectMatrixNear(Elements({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -0.5f, 0, 0, 0, -0.5f, 1}), rh, 0.0f);

    MatrixOrthoLH(&lh, 8.0f, 4.0f, 2.0f, 10.0f);
    MatrixOrthoRH(&rh, 8.0f, 4.0f, 2.0f, 10.0f);
    const struct {
        const Matrix4& m;
        float sign;
    } variants[] = {{lh, 1.0f}, {rh, -1.0f}};
    for (const auto& v : variants) {
        const Vector4 nearPoint = Transform(v.m, {4, -2, 2 * v.sign});
        const Vector4 farPoint = Transform(v.m, {-4, 2, 10 * v.sign});
        ExpectNear({1, -1, nearPoint.z, 1}, nearPoint, 0.0f);
        ExpectNear({-1, 1, farPoint.z, 1}, farPoint, 0.0f);
        EXPECT_NEAR(0.0f, nearPoint.z, 1e-6f);
        EXPECT_NEAR(1.0f, farPoint.z, 1e-6f);
    }
}

TEST(MatrixOrtho, WithoutNearDistanceIsAPureAxisScaling)
{
    Matrix4 m;
    MatrixOrthoRH(&m, 4.0f, 8.0f, 0.0f, 2.0f);
    ExpectMatrixNear(Elements({0.5f, 0, 0, 0, 0, 0.25f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1}), m, 0.0f);
}

TEST(MatrixProjections, DivideByZeroIntoInfinitiesWithoutTrapping)
{
    Matrix4 m;
    MatrixPerspectiveFovRH(&m, 0.5f, 1.0f, 5.0f, 5.0f);
    EXPECT_TRUE(std::isinf(m.m[10]));
    MatrixOrthoLH(&m, 0.0f, 2.0f, 1.0f, 1.0f);
    EXPECT_TRUE(std::isinf(m.m[0]));
    EXPECT_TRUE(std::isinf(m.m[10]));
    EXPECT_EQ(1.0f, m.m[5]);
}

TEST(Vector3, DotCrossAndNormalize)
{
    const Vector3 a{1, 2, 3}, b{4, 5, 6};
    EXPECT_EQ(32.0f, Vector3Dot(&a, &b));
    // (z + y) + x: the large terms cancel before the small one is added.
    const Vector3 big{1, 1e8f, -1e8f}, ones{1, 1, 1};
    EXPECT_EQ(1.0f, Vector3Dot(&big, &ones));

    const Vector3 x{1, 0, 0}, y{0, 1, 0};
    Vector3 c;
    Vector3Cross(&c, &x, &y);
    ExpectNear({0, 0, 1}, c, 0.0f);

    Vector3 n{3, 4, 0};
    Vector3Normalize(&n, &n);
    EXPECT_FLOAT_EQ(0.6f, n.x);
    EXPECT_FLOAT_EQ(0.8f, n.y);
    EXPECT_EQ(0.0f, n.z);
    const Vector3 zero{0, 0, 0};
    Vector3Normalize(&n, &zero);
    EXPECT_TRUE(std::isnan(n.x) && std::isnan(n.y) && std::isnan(n.z));
}

TEST(Vector3, CrossAllowsTheOutputToBeAnInput)
{
    const Vector3 a{1, 2, 3}, b{-2, 0.5f, 4};
    Vector3 expected;
    Vector3Cross(&expected, &a, &b);
    Vector3 first = a;
    Vector3Cross(&first, &first, &b);
    Vector3 second = b;
    Vector3Cross(&second, &a, &second);
    ExpectNear(expected, first, 0.0f);
    ExpectNear(expected, second, 0.0f);
    EXPECT_EQ(6.5f, expected.x);
}

TEST(Vector3, LerpEndsAndAliasing)
{
    const Vector3 a{0.02f, -3.0f, 7.7f}, b{0.1f, 2.0f, -1.3f};
    Vector3 out;
    Vector3Lerp(&out, &a, &b, 0.0f);
    ExpectNear(a, out, 0.0f);
    Vector3Lerp(&out, &a, &b, 1.0f);
    EXPECT_EQ((b.x - a.x) + a.x, out.x);
    EXPECT_EQ((b.z - a.z) + a.z, out.z);
    EXPECT_NE(b.x, out.x);  // (0.1 - 0.02) + 0.02 is not 0.1 in float
    Vector3 half;
    Vector3Lerp(&half, &a, &b, 0.5f);
    Vector3 inPlace = b;
    Vector3Lerp(&inPlace, &a, &inPlace, 0.5f);
    ExpectNear(half, inPlace, 0.0f);
}

} // namespace
