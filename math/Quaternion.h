#pragma once

#include <trellis/math/Matrix.h>
#include <trellis/math/Vector3.h>

namespace trellis {

/// A rotation quaternion: vector part (x, y, z), scalar part w. A rotation by
/// angle about the unit axis a is (a * sin(angle / 2), cos(angle / 2)).
struct Quaternion {
    float x;  ///< vector part, first component
    float y;  ///< vector part, second component
    float z;  ///< vector part, third component
    float w;  ///< scalar part
};

/// out = the rotation by nothing, (0, 0, 0, 1).
void QuaternionIdentity(Quaternion* out);
/// The axis is not normalised first; the result is.
void QuaternionRotationAxis(Quaternion* out, const Vector3* axis, float angle);
/// The input comes first here. The angle lies in 0 ... 2 pi; close to the
/// identity the axis is the vector part unscaled.
void QuaternionToAxisAngle(const Quaternion* q, Vector3* axisOut, float* angleOut);
/// Scales q to unit length in place; a zero quaternion stays as it is.
void QuaternionNormalize(Quaternion* q);
/// out = a * b, normalised: a's rotation is applied first, b's second.
/// out may be a or b.
void QuaternionMultiply(Quaternion* out, const Quaternion* a, const Quaternion* b);
/// Spherical interpolation along the shorter arc from a (t = 0) to b (t = 1),
/// normalised. A null input or t outside 0 ... 1 gives the identity.
void QuaternionSlerp(Quaternion* out, const Quaternion* a, const Quaternion* b, float t);
/// The rotation matrix of q, which is not normalised first.
void MatrixRotationQuaternion(Matrix4* out, const Quaternion* q);

} // namespace trellis
