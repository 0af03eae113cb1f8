#include "math/Vector3.h"

#include <cmath>

namespace trellis {

void Vector3Lerp(Vector3* out, const Vector3* a, const Vector3* b, float t)
{
    // Each component is stored before the next is read, so out may be a or b.
    out->x = (b->x - a->x) * t + a->x;
    out->y = (b->y - a->y) * t + a->y;
    out->z = (b->z - a->z) * t + a->z;
}

float Vector3Dot(const Vector3* a, const Vector3* b)
{
    return (a->z * b->z + a->y * b->y) + a->x * b->x;
}

void Vector3Cross(Vector3* out, const Vector3* a, const Vector3* b)
{
    const Vector3 cross = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x};
    *out = cross;
}

void Vector3Normalize(Vector3* out, const Vector3* in)
{
    const float lengthSquared = (in->x * in->x + in->y * in->y) + in->z * in->z;
    // The reciprocal length is formed entirely in double and rounded once.
    const float k = static_cast<float>(1.0 / std::sqrt(static_cast<double>(lengthSquared)));
    out->x = in->x * k;
    out->y = in->y * k;
    out->z = in->z * k;
}

} // namespace trellis
