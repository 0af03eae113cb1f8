#include <gtest/gtest.h>

#include <cmath>

#include "MathTestUtil.h"

using namespace trellis;

namespace {

bool IsIdentity(const Quaternion& q)
{
    return q.x == 0.0f && q.y == 0.0f && q.z == 0.0f && q.w == 1.0f;
}

TEST(QuaternionRotationAxis, EncodesHalfTheAngleAndNormalisesAfterwards)
{
    ExpectNear({0.1494381f, 0, 0, 0.9887711f}, AxisAngle({1, 0, 0}, 0.3f), 1e-7f);
    // A longer axis changes the encoded angle, not the length.
    const Quaternion stretched = AxisAngle({2, 0, 0}, 0.3f);
    ExpectNear({0.2893412f, 0, 0, 0.9572261f}, stretched, 1e-7f);
    float angle;
    Vector3 axis;
    QuaternionToAxisAngle(&stretched, &axis, &angle);
    EXPECT_NEAR(0.586f, angle, 2e-3f);
}

TEST(QuaternionToAxisAngle, RecoversAxisAndPositiveAngle)
{
    Vector3 axis;
    float angle;
    const Quaternion forward = AxisAngle({0, 0, 1}, 1.2f);
    QuaternionToAxisAngle(&forward, &axis, &angle);
    EXPECT_NEAR(1.2f, angle, 1e-6f);
    EXPECT_NEAR(0.0f, axis.x, 1e-7f);
    EXPECT_NEAR(1.0f, axis.z, 1e-6f);

    const Quaternion backward = AxisAngle({0, 0, 1}, -1.2f);
    QuaternionToAxisAngle(&backward, &axis, &angle);
    EXPECT_NEAR(1.2f, angle, 1e-6f);
    EXPECT_NEAR(-1.0f, axis.z, 1e-6f);

    const Quaternion identity{0, 0, 0, 1};
    QuaternionToAxisAngle(&identity, &axis, &angle);
    EXPECT_EQ(0.0f, angle);
    ExpectNear({0, 0, 0}, axis, 0.0f);

    // Close to the identity the vector part is taken unscaled.
    const Quaternion nearIdentity{1e-4f, 0, 0, 1};
    QuaternionToAxisAngle(&nearIdentity, &axis, &angle);
    EXPECT_EQ(1e-4f, axis.x);

    const Quaternion beyond{0, 0, 0, 2};
    QuaternionToAxisAngle(&beyond, &axis, &angle);
    EXPECT_TRUE(std::isnan(angle));
    EXPECT_TRUE(std::isnan(axis.x));
}

TEST(QuaternionNormalize, ScalesToUnitLengthAndLeavesZeroAlone)
{
    Quaternion zero{0, 0, 0, 0};
    QuaternionNormalize(&zero);
    ExpectNear({0, 0, 0, 0}, zero, 0.0f);
    Quaternion doubled{0, 0, 0, 2};
    QuaternionNormalize(&doubled);
    EXPECT_TRUE(IsIdentity(doubled));
    Quaternion q{1, 2, 2, 4};
    QuaternionNormalize(&q);
    ExpectNear({0.2f, 0.4f, 0.4f, 0.8f}, q, 1e-7f);
}

TEST(QuaternionMultiply, AppliesTheLeftFactorFirst)
{
    const Quaternion a = AxisAngle({1, 0, 0}, 0.3f);
    const Quaternion b = AxisAngle({0, 1, 0}, 0.5f);
    Quaternion ab;
    QuaternionMultiply(&ab, &a, &b);
    const Matrix4 inOrder = Product(RotationOf(a), RotationOf(b));
    ExpectMatrixNear(inOrder, RotationOf(ab), 2e-7f);
    const Matrix4 reversed = Product(RotationOf(b), RotationOf(a));
    float largest = 0.0f;
    for (int k = 0; k < 16; ++k) {
        largest = std::fmax(largest, std::fabs(reversed.m[k] - RotationOf(ab).m[k]));
    }
    EXPECT_NEAR(0.14f, largest, 0.01f);
}

TEST(QuaternionMultiply, IdentityOnEitherSideNormalisesTheOtherFactor)
{
    const Quaternion identity{0, 0, 0, 1};
    const Quaternion q{0, 3, 0, 4};
    Quaternion out;
    QuaternionMultiply(&out, &identity, &q);
    ExpectNear({0, 0.6f, 0, 0.8f}, out, 1e-7f);
    QuaternionMultiply(&out, &q, &identity);
    ExpectNear({0, 0.6f, 0, 0.8f}, out, 1e-7f);
}

TEST(QuaternionMultiply, GivesTheSameProductWhenTheOutputIsAnInput)
{
    const Quaternion a = AxisAngle({1, 2, 3}, 0.9f);
    const Quaternion b = AxisAngle({-1, 0.5f, 0}, 2.1f);
    Quaternion expected;
    QuaternionMultiply(&expected, &a, &b);
    Quaternion left = a;
    QuaternionMultiply(&left, &left, &b);
    Quaternion right = b;
    QuaternionMultiply(&right, &a, &right);
    ExpectNear(expected, left, 0.0f);
    ExpectNear(expected, right, 0.0f);
}

TEST(QuaternionSlerp, InvalidInputGivesTheIdentity)
{
    const Quaternion a = AxisAngle({0, 1, 0}, 0.4f);
    const Quaternion b = AxisAngle({0, 1, 0}, 1.4f);
    // A fraction outside [0, 1] or NaN, or an input missing.
    const struct {
        const Quaternion* from;
        const Quaternion* to;
        float t;
    } cases[] = {{&a, &b, 1.5f}, {&a, &b, -0.1f}, {&a, &b, std::nanf("")}, {nullptr, &b, 0.5f}, {&a, nullptr, 0.5f}};
    for (const auto& c : cases) {
        Quaternion out{5, 5, 5, 5};
        QuaternionSlerp(&out, c.from, c.to, c.t);
        EXPECT_TRUE(IsIdentity(out)) << c.t;
    }
}

TEST(QuaternionSlerp, InterpolatesAlongTheArc)
{
    const Quaternion identity{0, 0, 0, 1};
    const Quaternion end = AxisAngle({0, 0, 1}, 1.0f);
    Quaternion out;
    QuaternionSlerp(&out, &identity, &end, 0.5f);
    ExpectNear({0, 0, 0.247404f, 0.968912f}, out, 1e-6f);
    ExpectNear(AxisAngle({0, 0, 1}, 0.5f), out, 1e-6f);
    QuaternionSlerp(&out, &identity, &end, 0.0f);
    ExpectNear(identity, out, 1e-7f);
    QuaternionSlerp(&out, &identity, &end, 1.0f);
    ExpectNear(end, out, 1e-6f);
}

TEST(QuaternionSlerp, TakesTheShorterArc)
{
    const Quaternion a = AxisAngle({1, 0, 0}, 0.2f);
    const Quaternion b = AxisAngle({1, 0, 0}, 0.6f);
    const Quaternion negatedB{-b.x, -b.y, -b.z, -b.w};
    Quaternion direct, flipped;
    QuaternionSlerp(&direct, &a, &b, 0.25f);
    QuaternionSlerp(&flipped, &a, &negatedB, 0.25f);
    ExpectNear(direct, flipped, 1e-7f);
    ExpectNear(AxisAngle({1, 0, 0}, 0.3f), direct, 1e-6f);

    const Quaternion identity{0, 0, 0, 1};
    const Quaternion negated{0, 0, 0, -1};
    QuaternionSlerp(&direct, &identity, &negated, 0.7f);
    EXPECT_TRUE(IsIdentity(direct));
}

TEST(QuaternionSlerp, BetweenEqualInputsCopiesTheFirstAsIs)
{
    const Quaternion a{0, 0.6f, 0, 0.8f};
    Quaternion out;
    QuaternionSlerp(&out, &a, &a, 0.3f);
    ExpectNear(a, out, 0.0f);
    // Not normalised: a non-unit input comes back unchanged.
    const Quaternion twice{0, 0, 0, 2};
    QuaternionSlerp(&out, &twice, &twice, 0.3f);
    EXPECT_EQ(2.0f, out.w);
}

TEST(MatrixRotationQuaternion, MatchesTheAxisRotations)
{
    for (float angle : {0.3f, -1.1f, 2.5f}) {
        Matrix4 expected;
        MatrixRotationX(&expected, angle);
        ExpectMatrixNear(expected, RotationOf(AxisAngle({1, 0, 0}, angle)), 3e-7f);
        MatrixRotationY(&expected, angle);
        ExpectMatrixNear(expected, RotationOf(AxisAngle({0, 1, 0}, angle)), 3e-7f);
        MatrixRotationZ(&expected, angle);
        ExpectMatrixNear(expected, RotationOf(AxisAngle({0, 0, 1}, angle)), 3e-7f);
    }
    const Matrix4 scaled = RotationOf({0, 0, 0, 2});
    EXPECT_EQ(1.0f, scaled.m[0]);
    EXPECT_EQ(1.0f, scaled.m[15]);
}

} // namespace
