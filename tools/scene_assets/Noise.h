#pragma once
#include <cmath>
#include <cstdint>

#include "Vec.h"

// Deterministic lattice noise from an integer hash: the same numbers on
// every run and every machine, no random generator state.
inline double Hash(int32_t x, int32_t y, int32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^
                 static_cast<uint32_t>(seed) * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return (h & 0xFFFFFF) / double(0xFFFFFF);
}

// Value noise in [0, 1]; `period` > 0 makes it tile in x with that many cells.
inline double ValueNoise(double x, double y, int32_t seed, int period = 0)
{
    const double fx = std::floor(x), fy = std::floor(y);
    int32_t x0 = static_cast<int32_t>(fx), y0 = static_cast<int32_t>(fy);
    int32_t x1 = x0 + 1;
    if (period > 0) {
        x0 = ((x0 % period) + period) % period;
        x1 = ((x1 % period) + period) % period;
    }
    const double tx = SmoothStep(0, 1, x - fx), ty = SmoothStep(0, 1, y - fy);
    const double a = Lerp(Hash(x0, y0, seed), Hash(x1, y0, seed), tx);
    const double b = Lerp(Hash(x0, y0 + 1, seed), Hash(x1, y0 + 1, seed), tx);
    return Lerp(a, b, ty);
}

// Sum of octaves, each twice the frequency and half the weight.
inline double Fractal(double x, double y, int32_t seed, int octaves, int period = 0)
{
    double sum = 0, weight = 0.5, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += weight * ValueNoise(x, y, seed + i, period);
        total += weight;
        x *= 2;
        y *= 2;
        period *= 2;
        weight *= 0.5;
    }
    return sum / total;
}
