#pragma once

namespace trellis {

/// A point, direction or axis: three contiguous floats.
struct Vector3 {
    float x;  ///< first component
    float y;  ///< second component
    float z;  ///< third component
};

/// The operations write through their first argument and read their inputs
/// through pointers; an output may be one of the inputs.

/// out = a + (b - a) * t, component by component.
void Vector3Lerp(Vector3* out, const Vector3* a, const Vector3* b, float t);
/// (a.z * b.z + a.y * b.y) + a.x * b.x.
float Vector3Dot(const Vector3* a, const Vector3* b);
/// out = a x b.
void Vector3Cross(Vector3* out, const Vector3* a, const Vector3* b);
/// out = in / length(in); the zero vector gives NaNs.
void Vector3Normalize(Vector3* out, const Vector3* in);

} // namespace trellis
