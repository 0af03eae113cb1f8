#pragma once

#include <cmath>

namespace trellis {

// The library's transcendental functions: evaluated in double on the float
// argument and rounded to float once, so results do not depend on the quality
// of a float implementation.
inline float SinF(float angle)
{
    return static_cast<float>(std::sin(static_cast<double>(angle)));
}

inline float CosF(float angle)
{
    return static_cast<float>(std::cos(static_cast<double>(angle)));
}

inline float TanF(float angle)
{
    return static_cast<float>(std::tan(static_cast<double>(angle)));
}

inline float AcosF(float value)
{
    return static_cast<float>(std::acos(static_cast<double>(value)));
}

inline float SqrtF(float value)
{
    return static_cast<float>(std::sqrt(static_cast<double>(value)));
}

} // namespace trellis
