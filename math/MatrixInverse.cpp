#include <cmath>

#include "math/Matrix.h"

namespace trellis {

namespace {

// Below this relative size the determinant is taken to have cancelled away.
constexpr double kDegenerateDeterminant = 1.0e-15;

// The six triple products of the 3 x 3 block, each rounded to float, summed
// in two double accumulators by sign so that the relative test below can
// compare the determinant with the size of its terms. Returns false when the
// block is to be refused; else sets the determinant.
bool BlockDeterminant(const float* m, double* determinant)
{
    const float terms[6] = {
        m[0] * (m[5] * m[10]),   m[2] * (m[4] * m[9]),    m[1] * (m[6] * m[8]),
        -((m[8] * m[5]) * m[2]), -((m[4] * m[10]) * m[1]), -((m[6] * m[9]) * m[0]),
    };
    double positive = 0.0;
    double negative = 0.0;
    for (float term : terms) {
        if (term >= 0.0f) {
            positive += term;
        } else {
            negative += term;
        }
    }
    const double det = negative + positive;
    if (det == 0.0 || std::fabs(det / (positive - negative)) < kDegenerateDeterminant) {
        return false;
    }
    *determinant = det;
    return true;
}

} // namespace

void MatrixInverseAffine(Matrix4* out, const Matrix4* in)
{
    const float* m = in->m;
    double det;
    if (!BlockDeterminant(m, &det)) {
        return;
    }
    const float k = static_cast<float>(1.0 / det);

    Matrix4 inverse{};
    float* r = inverse.m;
    r[0] = (m[5] * m[10] - m[6] * m[9]) * k;
    r[1] = -((m[1] * m[10] - m[2] * m[9]) * k);
    r[2] = (m[1] * m[6] - m[2] * m[5]) * k;
    r[4] = -((m[4] * m[10] - m[6] * m[8]) * k);
    r[5] = (m[0] * m[10] - m[8] * m[2]) * k;
    r[6] = -((m[6] * m[0] - m[2] * m[4]) * k);
    r[8] = (m[4] * m[9] - m[8] * m[5]) * k;
    r[9] = -((m[9] * m[0] - m[1] * m[8]) * k);
    r[10] = (m[0] * m[5] - m[1] * m[4]) * k;
    for (int j = 0; j < 3; ++j) {
        r[12 + j] = -((m[12] * r[j] + m[14] * r[8 + j]) + m[13] * r[4 + j]);
    }
    r[15] = 1.0f;
    // Copied in one piece at the end, so out may be in.
    *out = inverse;
}

void MatrixInverseGeneral(Matrix4* out, const Matrix4* in)
{
    Matrix4 identity;
    MatrixIdentity(&identity);
    Matrix4 inverse;
    for (int i = 0; i < 4; ++i) {
        // Row j of the system for column i: sum over k of in[4j + k] * x_k = identity[4j + i].
        float scratch[4][5];
        float* rows[4];
        for (int j = 0; j < 4; ++j) {
            scratch[j][0] = identity.m[4 * j + i];
            for (int k = 0; k < 4; ++k) {
                scratch[j][1 + k] = in->m[4 * j + k];
            }
            rows[j] = scratch[j];
        }
        float x[4];
        LinearSolve(x, rows, 4);
        for (int k = 0; k < 4; ++k) {
            inverse.m[4 * k + i] = x[k];
        }
    }
    *out = inverse;
}

namespace {

void SwapRows(float* a, float* b, int length)
{
    for (int e = 0; e < length; ++e) {
        const float held = a[e];
        a[e] = b[e];
        b[e] = held;
    }
}

// The pivot for the last unknown x_{n-1} is the row nearest the end whose
// coefficient is non-zero, however small; -1 when there is none, and the back
// substitution then divides by zero into infinities or NaNs.
int FindPivot(float* const* rows, int n)
{
    for (int p = n - 1; p >= 0; --p) {
        if (rows[p][n] != 0.0f) {
            return p;
        }
    }
    return -1;
}

} // namespace

void LinearSolve(float* x, float* const* rows, int n)
{
    if (n < 1) {
        return;
    }
    if (n == 1) {
        x[0] = rows[0][0] / rows[0][1];
        return;
    }
    float* const last = rows[n - 1];
    const int pivot = FindPivot(rows, n);
    if (pivot >= 0) {
        if (pivot != n - 1) {
            SwapRows(rows[pivot], last, n + 1);
        }
        // Element n of the other rows is not read again, so it is left as is.
        for (int r = 0; r < n - 1; ++r) {
            const float factor = rows[r][n] / last[n];
            for (int e = 0; e < n; ++e) {
                rows[r][e] = rows[r][e] - last[e] * factor;
            }
        }
    }
    LinearSolve(x, rows, n - 1);
    float s = last[0];
    for (int e = 1; e < n; ++e) {
        s = s - x[e - 1] * last[e];
    }
    x[n - 1] = s / last[n];
}

} // namespace trellis
