#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "MathTestUtil.h"

using namespace trellis;

namespace {

Matrix4 Filled(float value)
{
    Matrix4 m;
    for (float& e : m.m) {
        e = value;
    }
    return m;
}

Matrix4 AffineInverse(const Matrix4& in)
{
    Matrix4 out = Filled(-7.0f);
    MatrixInverseAffine(&out, &in);
    return out;
}

Matrix4 GeneralInverse(const Matrix4& in)
{
    Matrix4 out;
    MatrixInverseGeneral(&out, &in);
    return out;
}

// The identity with its upper 3 x 3 block replaced, row by row.
Matrix4 WithBlock(const float (&rows)[9])
{
    Matrix4 m = Identity();
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            m.m[4 * i + j] = rows[3 * i + j];
        }
    }
    return m;
}

TEST(MatrixInverseAffine, InvertsIdentityTranslationAndScaling)
{
    ExpectMatrixNear(Identity(), AffineInverse(Identity()), 0.0f);

    Matrix4 translation, expected;
    MatrixTranslation(&translation, 1.0f, 2.0f, 3.0f);
    MatrixTranslation(&expected, -1.0f, -2.0f, -3.0f);
    ExpectMatrixNear(expected, AffineInverse(translation), 0.0f);

    Matrix4 scaling;
    MatrixScaling(&scaling, 2.0f, 4.0f, 8.0f);
    MatrixScaling(&expected, 0.5f, 0.25f, 0.125f);
    ExpectMatrixNear(expected, AffineInverse(scaling), 0.0f);
}

TEST(MatrixInverseAffine, AcceptsAUniformlyTinyScaling)
{
    Matrix4 tiny;
    MatrixScaling(&tiny, 1e-6f, 1e-6f, 1e-6f);
    const Matrix4 inverse = AffineInverse(tiny);
    for (int k : {0, 5, 10}) {
        EXPECT_NEAR(1e6f, inverse.m[k], 1.0f) << k;
    }
    EXPECT_EQ(1.0f, inverse.m[15]);
    EXPECT_EQ(0.0f, inverse.m[1]);
}

TEST(MatrixInverseAffine, RefusesSingularBlocksLeavingTheOutputUntouched)
{
    Matrix4 zeroRow = Identity();
    zeroRow.m[4] = zeroRow.m[5] = zeroRow.m[6] = 0.0f;
    Matrix4 integerRows = WithBlock({1, 2, 3, 1, 2, 3, 4, 5, 6});
    for (const Matrix4* singular : {&zeroRow, &integerRows}) {
        Matrix4 out = Filled(-7.0f);
        out.m[3] = std::nanf("");
        const Matrix4 before = out;
        MatrixInverseAffine(&out, singular);
        EXPECT_TRUE(SameBits(before, out));
    }
    // In place, a refused matrix stays as it was.
    Matrix4 inPlace = integerRows;
    MatrixInverseAffine(&inPlace, &inPlace);
    EXPECT_TRUE(SameBits(integerRows, inPlace));
}

TEST(MatrixInverseAffine, PassesEqualFractionalRowsWithHugeElements)
{
    // Rounding to float before the sums leaves a tiny non-zero determinant.
    const Matrix4 inverse = AffineInverse(WithBlock({0.7f, 0.3f, 0.9f, 0.7f, 0.3f, 0.9f, 0.1f, 0.6f, 0.2f}));
    EXPECT_TRUE(std::any_of(std::begin(inverse.m), std::end(inverse.m), [](float e) { return std::fabs(e) > 1e5f; }));
}

TEST(MatrixInverseAffine, IgnoresTheLastColumnAndAllowsInPlace)
{
    Matrix4 rotation, translation, scaling;
    MatrixRotationY(&rotation, 0.7f);
    MatrixTranslation(&translation, 3.0f, -4.0f, 12.5f);
    MatrixScaling(&scaling, 2.0f, 0.5f, 3.0f);
    const Matrix4 in = Product(Product(rotation, translation), scaling);
    const Matrix4 inverse = AffineInverse(in);
    ExpectMatrixNear(Identity(), Product(in, inverse), 2e-6f);

    Matrix4 odd = in;
    odd.m[3] = 5.0f;
    odd.m[7] = -1.0f;
    odd.m[11] = 2.0f;
    odd.m[15] = 0.0f;
    EXPECT_TRUE(SameBits(inverse, AffineInverse(odd)));

    Matrix4 inPlace = in;
    MatrixInverseAffine(&inPlace, &inPlace);
    EXPECT_TRUE(SameBits(inverse, inPlace));
}

TEST(MatrixInverseGeneral, InvertsAPermutationThatNeedsRowExchanges)
{
    Matrix4 permutation{};
    permutation.m[1] = permutation.m[4] = permutation.m[11] = permutation.m[14] = 1.0f;
    ExpectMatrixNear(permutation, GeneralInverse(permutation), 0.0f);
}

TEST(MatrixInverseGeneral, InvertsAPerspectiveProjection)
{
    Matrix4 projection;
    MatrixPerspectiveFovRH(&projection, 0.43611112f, 0.75f, 10.0f, 10000.0f);
    const Matrix4 inverse = GeneralInverse(projection);
    EXPECT_TRUE(std::all_of(std::begin(inverse.m), std::end(inverse.m), [](float e) { return std::isfinite(e); }));
    ExpectMatrixNear(Identity(), Product(projection, inverse), 1e-5f);
    // The inverse takes a clip-space point back to the eye-space point.
    const Vector4 clip = Transform(projection, {1.0f, -2.0f, -50.0f});
    const float* e = inverse.m;
    const float w = clip.x * e[3] + clip.y * e[7] + clip.z * e[11] + clip.w * e[15];
    const float z = clip.x * e[2] + clip.y * e[6] + clip.z * e[10] + clip.w * e[14];
    EXPECT_NEAR(-50.0f, z / w, 1e-3f);
}

TEST(MatrixInverseGeneral, InPlaceAndSingularInput)
{
    Matrix4 m;
    MatrixRotationX(&m, 0.4f);
    m.m[12] = 2.0f;
    m.m[3] = 0.25f;
    const Matrix4 separate = GeneralInverse(m);
    MatrixInverseGeneral(&m, &m);
    EXPECT_TRUE(SameBits(separate, m));

    const Matrix4 ofZero = GeneralInverse(Matrix4{});
    EXPECT_FALSE(std::all_of(std::begin(ofZero.m), std::end(ofZero.m), [](float e) { return std::isfinite(e); }));
}

TEST(LinearSolve, SolvesOneAndTwoUnknowns)
{
    float single[2] = {6.0f, 4.0f};
    float* singleRows[1] = {single};
    float x[2] = {};
    LinearSolve(x, singleRows, 1);
    EXPECT_EQ(1.5f, x[0]);

    float first[3] = {5, 1, 1};
    float second[3] = {1, 1, -1};
    float* rows[2] = {first, second};
    LinearSolve(x, rows, 2);
    EXPECT_EQ(3.0f, x[0]);
    EXPECT_EQ(2.0f, x[1]);
}

TEST(LinearSolve, TakesTheLowestRowWithANonZeroPivotAndKeepsThePointers)
{
    // x_1 appears only in the first row: its contents move to the last row.
    float first[3] = {7, 1, 2};
    float second[3] = {3, 1, 0};
    float* rows[2] = {first, second};
    float x[2] = {};
    LinearSolve(x, rows, 2);
    EXPECT_EQ(3.0f, x[0]);
    EXPECT_EQ(2.0f, x[1]);
    EXPECT_EQ(first, rows[0]);
    EXPECT_EQ(7.0f, second[0]);
    EXPECT_EQ(2.0f, second[2]);
}

TEST(LinearSolve, DividesByZeroWhenNoPivotExists)
{
    float first[3] = {1, 1, 0};
    float second[3] = {2, 1, 0};
    float* rows[2] = {first, second};
    float x[2] = {};
    LinearSolve(x, rows, 2);
    EXPECT_FALSE(std::isfinite(x[1]));
}

} // namespace
