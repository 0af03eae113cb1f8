#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "MathTestUtil.h"

using namespace trellis;

namespace {

constexpr int kTrials = 500;

class MathProperties : public testing::Test {
protected:
    std::mt19937 random{20240611u};

    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }

    Vector3 UnitAxis()
    {
        Vector3 axis{Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1) + 2.0f};
        Vector3Normalize(&axis, &axis);
        return axis;
    }

    Quaternion RandomRotation()
    {
        const Vector3 axis = UnitAxis();
        return AxisAngle(axis, Uniform(-3.1f, 3.1f));
    }

    // Scaling, rotation about all three axes, translation.
    Matrix4 RandomAffine()
    {
        Matrix4 scaling, x, y, z, translation;
        MatrixScaling(&scaling, Uniform(0.5f, 2), Uniform(0.5f, 2), Uniform(0.5f, 2));
        MatrixRotationX(&x, Uniform(-3, 3));
        MatrixRotationY(&y, Uniform(-3, 3));
        MatrixRotationZ(&z, Uniform(-3, 3));
        MatrixTranslation(&translation, Uniform(-10, 10), Uniform(-10, 10), Uniform(-10, 10));
        return Product(Product(Product(Product(scaling, x), y), z), translation);
    }

    // Diagonally dominant: well conditioned, and every pivot the bottom-up
    // search takes is large (it has no magnitude criterion).
    Matrix4 RandomGeneral()
    {
        Matrix4 m;
        for (int k = 0; k < 16; ++k) {
            m.m[k] = Uniform(-1, 1) + (k % 5 == 0 ? 4.0f : 0.0f);
        }
        return m;
    }
};

TEST_F(MathProperties, AMatrixTimesItsInverseIsTheIdentity)
{
    for (int trial = 0; trial < kTrials; ++trial) {
        const Matrix4 affine = RandomAffine();
        Matrix4 inverse;
        MatrixInverseAffine(&inverse, &affine);
        ExpectMatrixNear(Identity(), Product(affine, inverse), 5e-6f);

        const Matrix4 general = RandomGeneral();
        MatrixInverseGeneral(&inverse, &general);
        ExpectMatrixNear(Identity(), Product(general, inverse), 2e-6f);
        ASSERT_FALSE(HasFailure()) << "trial " << trial;
    }
}

TEST_F(MathProperties, AQuaternionsMatrixIsTheMatchingAxisRotation)
{
    for (int trial = 0; trial < kTrials; ++trial) {
        const float angle = Uniform(-6.2f, 6.2f);
        Matrix4 direct;
        const Vector3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        void (*rotations[3])(Matrix4*, float) = {MatrixRotationX, MatrixRotationY, MatrixRotationZ};
        for (int a = 0; a < 3; ++a) {
            rotations[a](&direct, angle);
            ExpectMatrixNear(direct, RotationOf(AxisAngle(axes[a], angle)), 5e-7f);
        }
        ASSERT_FALSE(HasFailure()) << "trial " << trial << " angle " << angle;
    }
}

TEST_F(MathProperties, TheProductOfQuaternionsMatchesTheProductOfTheirMatrices)
{
    for (int trial = 0; trial < kTrials; ++trial) {
        const Quaternion a = RandomRotation();
        const Quaternion b = RandomRotation();
        Quaternion ab;
        QuaternionMultiply(&ab, &a, &b);
        ExpectMatrixNear(Product(RotationOf(a), RotationOf(b)), RotationOf(ab), 1e-6f);
        ASSERT_FALSE(HasFailure()) << "trial " << trial;
    }
}

TEST_F(MathProperties, SlerpStaysUnitAndBetweenItsEnds)
{
    for (int trial = 0; trial < kTrials; ++trial) {
        const Quaternion a = RandomRotation();
        const Quaternion b = RandomRotation();
        const float t = Uniform(0, 1);
        Quaternion out;
        QuaternionSlerp(&out, &a, &b, t);
        const float length = std::sqrt(out.x * out.x + out.y * out.y + out.z * out.z + out.w * out.w);
        EXPECT_NEAR(1.0f, length, 1e-6f);
        // The angle to each end splits the whole arc in the proportion t.
        const auto arc = [](const Quaternion& p, const Quaternion& q) {
            const float dot = std::fabs(p.x * q.x + p.y * q.y + p.z * q.z + p.w * q.w);
            return std::acos(std::fmin(1.0f, dot));
        };
        const float whole = arc(a, b);
        EXPECT_NEAR(whole * t, arc(a, out), 2e-3f);
        EXPECT_NEAR(whole * (1 - t), arc(out, b), 2e-3f);
        ASSERT_FALSE(HasFailure()) << "trial " << trial;
    }
}

} // namespace
