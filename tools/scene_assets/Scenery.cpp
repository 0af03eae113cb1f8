#include "Scenery.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace {

// A ridge line that repeats every turn of s: whole-number frequencies only.
double Ridge(double s, double base, double amplitude, int seed)
{
    double h = 0;
    for (int k = 1; k <= 6; ++k) {
        const double phase = 2 * kPi * Hash(k, 0, seed);
        h += std::sin(2 * kPi * (k * s) + phase) / k;
    }
    return base + amplitude * h * 0.5;
}

// The two hill ranges: ridge heights in t at s, noise along the crest included.
double FarRidge(double s)
{
    return Ridge(s, 0.30, 0.10, 7) + 0.02 * Fractal(s * 32, 0, 51, 3, 32);
}

double NearRidge(double s)
{
    return Ridge(s, 0.20, 0.08, 17) + 0.015 * Fractal(s * 64, 0, 61, 3, 64);
}

// How much of texel (x, y) lies below a ridge: the exact share of its height in
// each of four columns across it, averaged. The edge is blended rather than
// stepped, since the backdrop shows each texel several pixels wide.
constexpr int kRidgeColumns = 4;

double RidgeCover(double (*ridge)(double), int x, int y, int width, int height)
{
    double cover = 0;
    for (int k = 0; k < kRidgeColumns; ++k) {
        const double s = (x + (k + 0.5) / kRidgeColumns) / width;
        cover += Clamp01(ridge(s) * height - y);
    }
    return cover / kRidgeColumns;
}

}  // namespace

Image Panorama(int width, int height)
{
    Image image(width, height);
    const Vec3 skyLow{0.93, 0.78, 0.58}, skyHigh{0.25, 0.45, 0.75};
    const Vec3 farHills{0.48, 0.56, 0.66}, nearHills{0.30, 0.42, 0.30}, meadow{0.45, 0.55, 0.22};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double s = (x + 0.5) / width, t = (y + 0.5) / height;
            // Sky: warm at the horizon, blue above, soft clouds tiling with s.
            Vec3 colour = Lerp(skyLow, skyHigh, SmoothStep(0.18, 0.75, t));
            const double cloud = Fractal(s * 8, t * 6, 41, 5, 8);
            const double cover = SmoothStep(0.52, 0.75, cloud) * SmoothStep(0.3, 0.5, t);
            colour = Lerp(colour, Vec3{0.97, 0.96, 0.94}, 0.85 * cover);
            // Two ranges of hills and the meadow in front.
            const double farCover = RidgeCover(FarRidge, x, y, width, height);
            if (farCover > 0) {
                const double far = FarRidge(s);
                colour = Lerp(colour, Lerp(farHills, skyLow, 0.25 * std::max(0.0, far - t) / far), farCover);
            }
            const double nearCover = RidgeCover(NearRidge, x, y, width, height);
            if (nearCover > 0) {
                const double shade = Fractal(s * 48, t * 24, 71, 4, 48);
                colour = Lerp(colour, Lerp(nearHills * 0.8, nearHills * 1.2, shade), nearCover);
            }
            if (t < 0.1) {
                const double grass = Fractal(s * 128, t * 40, 81, 4, 128);
                colour = Lerp(meadow * 0.75, meadow * 1.25, grass);
            }
            image.At(x, y) = colour;
        }
    }
    return image;
}

namespace {

double Segment(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay;
    const double t = Clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy));
    return std::hypot(px - (ax + dx * t), py - (ay + dy * t));
}

// Distance to the strokes of "ZEL" in a 128-unit square, y up.
double Letters(double x, double y)
{
    const double top = 84, bottom = 44, mid = 64;
    const double strokes[][4] = {
        {22, top, 46, top},      {46, top, 22, bottom},   {22, bottom, 46, bottom},  // Z
        {57, top, 57, bottom},   {57, top, 79, top},      {57, mid, 75, mid},
        {57, bottom, 79, bottom},                                                    // E
        {89, top, 89, bottom},   {89, bottom, 107, bottom},                          // L
    };
    double d = 1e9;
    for (const auto& s : strokes) {
        d = std::min(d, Segment(x, y, s[0], s[1], s[2], s[3]));
    }
    return d;
}

}  // namespace

Image Logo(int size)
{
    Image image(size, size);
    const double scale = 128.0 / size;
    const Vec3 navy{0.06, 0.10, 0.22}, gold{0.96, 0.72, 0.20}, white{0.97, 0.97, 0.95};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Four samples per texel keep the strokes smooth.
            Vec3 sum;
            for (int k = 0; k < 4; ++k) {
                const double px = (x + 0.25 + 0.5 * (k & 1)) * scale, py = (y + 0.25 + 0.5 * (k >> 1)) * scale;
                const double r = std::hypot(px - 64, py - 64);
                Vec3 c = Lerp(navy * 1.5, navy, Clamp01(r / 64));
                // A gold ring, open at the top right like a wing's sweep.
                const double angle = std::atan2(py - 64, px - 64);
                const bool gap = angle > 0.35 && angle < 1.2;
                if (!gap && std::fabs(r - 56) < 4) {
                    c = gold;
                }
                if (Letters(px, py) < 5.5) {
                    c = white;
                }
                // A hovering kestrel's wings over the letters.
                const double wings = std::min({Segment(px, py, 40, 98, 52, 106), Segment(px, py, 52, 106, 64, 99),
                                               Segment(px, py, 64, 99, 76, 106), Segment(px, py, 76, 106, 88, 98)});
                if (wings < 2.5) {
                    c = gold;
                }
                sum = sum + c;
            }
            image.At(x, y) = sum * 0.25;
        }
    }
    return image;
}
