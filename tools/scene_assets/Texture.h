#pragma once
#include <cstdint>
#include <vector>

#include "Vec.h"

// A picture in linear [0, 1] RGB, row 0 first (t = 0 in GL terms).
struct Image {
    int width = 0, height = 0;
    std::vector<Vec3> texels;

    Image() = default;
    Image(int w, int h) : width(w), height(h), texels(size_t(w) * h) {}
    Vec3& At(int x, int y) { return texels[size_t(y) * width + x]; }
    const Vec3& At(int x, int y) const { return texels[size_t(y) * width + x]; }
    // Bilinear sample with wrapping in s and clamping in t.
    Vec3 Sample(double s, double t) const;
};

// Half size by averaging each 2 x 2 (2 x 1 or 1 x 2 once a side is 1).
Image BoxHalve(const Image& image);

// The image as stored in 5:6:5 texels (rounded to nearest) and decoded again.
Image Quantize565(const Image& image);

// A complete compiled-in texture block: the 44-byte header (format code 2,
// mip maps) and every level down to 1 x 1, each level box-filtered from the
// stored one above it.
std::vector<uint8_t> TextureBlock565(const Image& level0);
