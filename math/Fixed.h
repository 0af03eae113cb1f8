#pragma once
#include <cstdint>

#include <trellis/math/Matrix.h>

namespace trellis {

/// @file
/// 16.16 fixed point as the graphics interface takes it: the float times 65536,
/// truncated toward zero. Every float that reaches GL goes through here.
/// Values outside the 32-bit range (and NaN) saturate instead of being undefined.
inline int32_t FloatToFixed(float value)
{
    const double scaled = static_cast<double>(value) * 65536.0;
    if (!(scaled > -2147483649.0)) {  ///< also catches NaN
        return value != value ? 0 : INT32_MIN;
    }
    if (scaled >= 2147483648.0) {
        return INT32_MAX;
    }
    return static_cast<int32_t>(scaled);
}

/// The sixteen elements of `matrix` in storage order as 16.16 fixed point,
/// ready for glLoadMatrixx / glMultMatrixx.
inline void MatrixToFixed(int32_t out[16], const Matrix4* matrix)
{
    for (int k = 0; k < 16; ++k) {
        out[k] = FloatToFixed(matrix->m[k]);
    }
}

} // namespace trellis
