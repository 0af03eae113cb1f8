#pragma once

#include <trellis/math/Vector3.h>

namespace trellis {

/// A 4 x 4 matrix acting on row vectors: m[4 * i + j] is row i, column j, so the
/// translation stands in m[12..14]. Its sixteen values in storage order are the
/// array glLoadMatrixx and glMultMatrixx take after conversion to fixed point.
struct Matrix4 {
    float m[16];  ///< row i, column j at 4 * i + j
};

/// Every builder writes all sixteen elements of its output, which comes first.

void MatrixIdentity(Matrix4* out);
/// out = a * b: a applied first, b second. out may be a, b or both.
void MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b);
void MatrixTranslation(Matrix4* out, float x, float y, float z);
void MatrixScaling(Matrix4* out, float x, float y, float z);
/// A positive angle (radians) turns points clockwise seen from the positive end
/// of the axis: MatrixRotationZ(pi / 2) takes (1, 0, 0) to (0, -1, 0).
void MatrixRotationX(Matrix4* out, float angle);
void MatrixRotationY(Matrix4* out, float angle);
void MatrixRotationZ(Matrix4* out, float angle);
/// out may be in.
void MatrixTranspose(Matrix4* out, const Matrix4* in);

/// View matrices: translate by -eye, then rotate so that the viewing direction
/// becomes -z (RH) or +z (LH).
void MatrixLookAtRH(Matrix4* out, const Vector3* eye, const Vector3* at, const Vector3* up);
void MatrixLookAtLH(Matrix4* out, const Vector3* eye, const Vector3* at, const Vector3* up);

/// Perspective projections; fovy is the full vertical field of view in radians
/// and aspect is width / height. RH maps eye depth -zn to -1 and -zf to +1 after
/// the division by w; LH maps zn to 0 and zf to 1.
void MatrixPerspectiveFovRH(Matrix4* out, float fovy, float aspect, float zn, float zf);
void MatrixPerspectiveFovLH(Matrix4* out, float fovy, float aspect, float zn, float zf);

/// Orthographic projections of a w x h view volume: the near plane maps to depth
/// 0 and the far plane to depth 1 (eye depth -zn and -zf for RH, zn and zf for LH).
void MatrixOrthoRH(Matrix4* out, float w, float h, float zn, float zf);
void MatrixOrthoLH(Matrix4* out, float w, float h, float zn, float zf);

/// Inverse of a matrix whose last column is taken to be (0, 0, 0, 1). A singular
/// or numerically degenerate 3 x 3 block leaves out untouched. out may be in.
void MatrixInverseAffine(Matrix4* out, const Matrix4* in);
/// Inverse of any non-singular matrix; a singular one gives infinities or NaNs.
/// out may be in.
void MatrixInverseGeneral(Matrix4* out, const Matrix4* in);

/// Solves n equations in n unknowns (n >= 1). Row j holds n + 1 floats: the
/// right-hand side b_j, then the coefficients of x_0 ... x_{n-1}. The rows are
/// scratch space and are overwritten; the unknowns go to x.
void LinearSolve(float* x, float* const* rows, int n);

} // namespace trellis
