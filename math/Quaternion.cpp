#include "math/Quaternion.h"

#include <cmath>

#include "math/DoubleMath.h"

namespace trellis {

void QuaternionIdentity(Quaternion* out)
{
    *out = Quaternion{0.0f, 0.0f, 0.0f, 1.0f};
}

void QuaternionRotationAxis(Quaternion* out, const Vector3* axis, float angle)
{
    const float half = angle * 0.5f;
    const float sn = SinF(half);
    const float cs = CosF(half);
    *out = Quaternion{axis->x * sn, axis->y * sn, axis->z * sn, cs};
    QuaternionNormalize(out);
}

void QuaternionToAxisAngle(const Quaternion* q, Vector3* axisOut, float* angleOut)
{
    const Quaternion in = *q;
    float sn = SqrtF(1.0f - in.w * in.w);
    // Near the identity the axis is ill-defined; the vector part is kept as is.
    if (std::fabs(sn) < 0.0005f) {
        sn = 1.0f;
    }
    const float k = 1.0f / sn;
    *angleOut = AcosF(in.w) * 2.0f;
    *axisOut = Vector3{in.x * k, in.y * k, in.z * k};
}

void QuaternionNormalize(Quaternion* q)
{
    const float length = SqrtF(((q->x * q->x + q->y * q->y) + q->z * q->z) + q->w * q->w);
    if (length == 0.0f) {
        return;
    }
    const float k = 1.0f / length;
    q->x *= k;
    q->y *= k;
    q->z *= k;
    q->w *= k;
}

void QuaternionMultiply(Quaternion* out, const Quaternion* a, const Quaternion* b)
{
    // Built apart, so the product is the same whether or not out is a or b.
    Quaternion product;
    product.w = a->w * b->w - ((a->z * b->z + a->y * b->y) + a->x * b->x);
    product.x = (a->w * b->x + a->x * b->w) + (a->y * b->z - b->y * a->z);
    product.y = (a->y * b->w + a->w * b->y) + (b->x * a->z - a->x * b->z);
    product.z = (a->z * b->w + a->w * b->z) + (a->x * b->y - b->x * a->y);
    QuaternionNormalize(&product);
    *out = product;
}

void QuaternionSlerp(Quaternion* out, const Quaternion* a, const Quaternion* b, float t)
{
    if (a == nullptr || b == nullptr || !(t >= 0.0f && t <= 1.0f)) {
        QuaternionIdentity(out);
        return;
    }
    float cs = ((a->y * b->y + a->z * b->z) + a->w * b->w) + a->x * b->x;
    if (cs < 0.0f) {
        // Take the shorter arc; the flipped dot product is exactly -cs, so this
        // recurses once at most.
        const Quaternion flipped = {-b->x, -b->y, -b->z, -b->w};
        QuaternionSlerp(out, a, &flipped, t);
        return;
    }
    if (cs >= 1.0f) {
        cs = 1.0f;
    }
    const float theta = AcosF(cs);
    if (theta == 0.0f) {
        *out = *a;
        return;
    }
    const double sinTheta = std::sin(static_cast<double>(theta));
    const float s0 = static_cast<float>(std::sin(static_cast<double>((1.0f - t) * theta)) / sinTheta);
    const float s1 = static_cast<float>(std::sin(static_cast<double>(theta * t)) / sinTheta);
    // Each component is stored before the next is read, so out may be a or b.
    out->x = a->x * s0 + b->x * s1;
    out->y = a->y * s0 + b->y * s1;
    out->z = a->z * s0 + b->z * s1;
    out->w = a->w * s0 + b->w * s1;
    QuaternionNormalize(out);
}

void MatrixRotationQuaternion(Matrix4* out, const Quaternion* q)
{
    const float x = q->x;
    const float y = q->y;
    const float z = q->z;
    const float w = q->w;
    float* m = out->m;
    m[0] = (1.0f - (y * y) * 2.0f) - (z * z) * 2.0f;
    m[1] = (y * x) * 2.0f - (w * z) * 2.0f;
    m[2] = ((w * y) + (z * x)) * 2.0f;
    m[3] = 0.0f;
    m[4] = ((w * z) + (y * x)) * 2.0f;
    m[5] = (1.0f - (x * x) * 2.0f) - (z * z) * 2.0f;
    m[6] = (z * y) * 2.0f - (w * x) * 2.0f;
    m[7] = 0.0f;
    m[8] = (z * x) * 2.0f - (w * y) * 2.0f;
    m[9] = ((z * y) + (w * x)) * 2.0f;
    m[10] = (1.0f - (x * x) * 2.0f) - (y * y) * 2.0f;
    m[11] = 0.0f;
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
}

} // namespace trellis
