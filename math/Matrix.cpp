#include "math/Matrix.h"

#include "math/DoubleMath.h"

namespace trellis {

void MatrixIdentity(Matrix4* out)
{
    *out = Matrix4{};
    out->m[0] = out->m[5] = out->m[10] = out->m[15] = 1.0f;
}

void MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b)
{
    // Built apart and copied in one piece, so out may alias either input.
    Matrix4 product;
    for (int i = 0; i < 4; ++i) {
        const float* row = &a->m[4 * i];
        for (int j = 0; j < 4; ++j) {
            product.m[4 * i + j] = ((row[0] * b->m[j] + row[1] * b->m[4 + j]) + row[2] * b->m[8 + j]) + row[3] * b->m[12 + j];
        }
    }
    *out = product;
}

void MatrixTranslation(Matrix4* out, float x, float y, float z)
{
    MatrixIdentity(out);
    out->m[12] = x;
    out->m[13] = y;
    out->m[14] = z;
}

void MatrixScaling(Matrix4* out, float x, float y, float z)
{
    *out = Matrix4{};
    out->m[0] = x;
    out->m[5] = y;
    out->m[10] = z;
    out->m[15] = 1.0f;
}

void MatrixRotationX(Matrix4* out, float angle)
{
    const float co = CosF(angle);
    const float si = SinF(angle);
    MatrixIdentity(out);
    out->m[5] = co;
    out->m[6] = -si;
    out->m[9] = si;
    out->m[10] = co;
}

void MatrixRotationY(Matrix4* out, float angle)
{
    const float co = CosF(angle);
    const float si = SinF(angle);
    MatrixIdentity(out);
    out->m[0] = co;
    out->m[2] = si;
    out->m[8] = -si;
    out->m[10] = co;
}

void MatrixRotationZ(Matrix4* out, float angle)
{
    const float co = CosF(angle);
    const float si = SinF(angle);
    MatrixIdentity(out);
    out->m[0] = co;
    out->m[1] = -si;
    out->m[4] = si;
    out->m[5] = co;
}

void MatrixTranspose(Matrix4* out, const Matrix4* in)
{
    Matrix4 transposed;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            transposed.m[4 * i + j] = in->m[4 * j + i];
        }
    }
    *out = transposed;
}

namespace {

// The look-at builders differ only in the forward vector they pass (not yet normalised).
void LookAlong(Matrix4* out, const Vector3* eye, Vector3 forward, const Vector3* up)
{
    Vector3Normalize(&forward, &forward);
    Vector3 upUnit;
    Vector3Normalize(&upUnit, up);
    // side is deliberately not re-normalised: with up oblique to the viewing
    // direction the first two columns are shorter than 1.
    Vector3 side;
    Vector3Cross(&side, &forward, &upUnit);
    Vector3 viewUp;
    Vector3Cross(&viewUp, &side, &forward);

    *out = Matrix4{};
    out->m[0] = side.x;
    out->m[1] = viewUp.x;
    out->m[2] = -forward.x;
    out->m[4] = side.y;
    out->m[5] = viewUp.y;
    out->m[6] = -forward.y;
    out->m[8] = side.z;
    out->m[9] = viewUp.z;
    out->m[10] = -forward.z;
    out->m[15] = 1.0f;

    // Translate by -eye first, rotate second.
    Matrix4 translation;
    MatrixTranslation(&translation, -eye->x, -eye->y, -eye->z);
    MatrixMultiply(out, &translation, out);
}

} // namespace

void MatrixLookAtRH(Matrix4* out, const Vector3* eye, const Vector3* at, const Vector3* up)
{
    LookAlong(out, eye, Vector3{at->x - eye->x, at->y - eye->y, at->z - eye->z}, up);
}

void MatrixLookAtLH(Matrix4* out, const Vector3* eye, const Vector3* at, const Vector3* up)
{
    LookAlong(out, eye, Vector3{eye->x - at->x, eye->y - at->y, eye->z - at->z}, up);
}

namespace {

// The x and y scales shared by both perspective builders.
void SetPerspectiveScales(Matrix4* out, float fovy, float aspect)
{
    const float t = TanF(fovy * 0.5f);
    const float y = 1.0f / t;
    *out = Matrix4{};
    out->m[0] = y / aspect;
    out->m[5] = y;
}

void SetOrthoScales(Matrix4* out, float w, float h)
{
    *out = Matrix4{};
    out->m[0] = 2.0f / w;
    out->m[5] = 2.0f / h;
    out->m[15] = 1.0f;
}

} // namespace

void MatrixPerspectiveFovRH(Matrix4* out, float fovy, float aspect, float zn, float zf)
{
    const float q = 1.0f / (zn - zf);
    SetPerspectiveScales(out, fovy, aspect);
    out->m[10] = (zn + zf) * q;
    out->m[11] = -1.0f;
    out->m[14] = ((zn * zf) * 2.0f) * q;
}

void MatrixPerspectiveFovLH(Matrix4* out, float fovy, float aspect, float zn, float zf)
{
    const float q = 1.0f / (zf - zn);
    SetPerspectiveScales(out, fovy, aspect);
    out->m[10] = q * zf;
    out->m[11] = 1.0f;
    out->m[14] = -((q * zn) * zf);
}

// The depth offset belongs in the translation row: in the w column (element
// 11) it would make w depend on z and the projection would stop being one.
void MatrixOrthoRH(Matrix4* out, float w, float h, float zn, float zf)
{
    const float q = 1.0f / (zn - zf);
    SetOrthoScales(out, w, h);
    out->m[10] = q;
    out->m[14] = q * zn;
}

void MatrixOrthoLH(Matrix4* out, float w, float h, float zn, float zf)
{
    SetOrthoScales(out, w, h);
    out->m[10] = 1.0f / (zf - zn);
    out->m[14] = zn / (zn - zf);
}

} // namespace trellis
