#include "Bake.h"

#include <algorithm>
#include <cmath>

#include "Noise.h"

namespace {

void Dilate(Image& image, std::vector<uint8_t>& covered)
{
    const int w = image.width, h = image.height;
    std::vector<int> frontier;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (!covered[size_t(y) * w + x]) {
                frontier.push_back(y * w + x);
            }
        }
    }
    // Layer by layer: each layer averages the covered neighbours of the
    // layer before, so the result does not depend on visiting order.
    while (!frontier.empty()) {
        std::vector<std::pair<int, Vec3>> filled;
        std::vector<int> rest;
        for (int index : frontier) {
            const int x = index % w, y = index / w;
            Vec3 sum;
            int count = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if ((dx || dy) && nx >= 0 && ny >= 0 && nx < w && ny < h && covered[size_t(ny) * w + nx]) {
                        sum = sum + image.At(nx, ny);
                        ++count;
                    }
                }
            }
            if (count > 0) {
                filled.emplace_back(index, sum * (1.0 / count));
            } else {
                rest.push_back(index);
            }
        }
        if (filled.empty()) {
            break;
        }
        for (const auto& [index, value] : filled) {
            image.texels[index] = value;
            covered[index] = 1;
        }
        frontier.swap(rest);
    }
}

}  // namespace

Image BakeAtlas(const GenMesh& mesh, int size, const Shader& shade)
{
    Image image(size, size);
    std::vector<uint8_t> covered(size_t(size) * size, 0);
    for (const auto& tri : mesh.triangles) {
        const GenVertex* v[3] = {&mesh.vertices[tri[0]], &mesh.vertices[tri[1]], &mesh.vertices[tri[2]]};
        double sx[3], sy[3];
        for (int i = 0; i < 3; ++i) {
            sx[i] = v[i]->s * size;
            sy[i] = v[i]->t * size;
        }
        const double area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
        if (std::fabs(area) < 1e-12) {
            continue;
        }
        // Gradients of the island coordinates along the surface (dual basis
        // of the triangle's edges).
        const Vec3 e1 = v[1]->p - v[0]->p, e2 = v[2]->p - v[0]->p;
        const Vec3 n = Cross(e1, e2);
        const double nn = Dot(n, n);
        const Vec3 a1 = Cross(e2, n) * (1.0 / nn), a2 = Cross(n, e1) * (1.0 / nn);
        const Vec3 gradU = a1 * (v[1]->u - v[0]->u) + a2 * (v[2]->u - v[0]->u);
        const Vec3 gradV = a1 * (v[1]->v - v[0]->v) + a2 * (v[2]->v - v[0]->v);

        const int x0 = std::max(0, static_cast<int>(std::floor(std::min({sx[0], sx[1], sx[2]}))));
        const int x1 = std::min(size - 1, static_cast<int>(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
        const int y0 = std::max(0, static_cast<int>(std::floor(std::min({sy[0], sy[1], sy[2]}))));
        const int y1 = std::min(size - 1, static_cast<int>(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double w0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
                const double w1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
                const double w2 = 1 - w0 - w1;
                const double eps = -1e-9;
                if (w0 < eps || w1 < eps || w2 < eps) {
                    continue;
                }
                SurfaceSample sample;
                sample.part = &mesh.parts[v[0]->part];
                sample.position = v[0]->p * w0 + v[1]->p * w1 + v[2]->p * w2;
                sample.design = v[0]->design * w0 + v[1]->design * w1 + v[2]->design * w2;
                sample.normal = Normalize(v[0]->n * w0 + v[1]->n * w1 + v[2]->n * w2);
                sample.gradU = gradU;
                sample.gradV = gradV;
                sample.u = v[0]->u * w0 + v[1]->u * w1 + v[2]->u * w2;
                sample.v = v[0]->v * w0 + v[1]->v * w1 + v[2]->v * w2;
                image.At(x, y) = shade(sample);
                covered[size_t(y) * size + x] = 1;
            }
        }
    }
    Dilate(image, covered);
    return image;
}

// ---- Relief ----

namespace {

double Fract(double x) { return x - std::floor(x); }

// 1 along the middle of the two broad faces of a four-sided blade (feathers),
// 0 on its edges.
double BladeMiddle(double u) { return std::fabs(std::sin(2 * kPi * u + kPi / 4)); }

// Overlapping feathers: rows along v, staggered scallops around u. Each
// feather rises from its tip edge toward the next row.
double Scallops(double u, double v, double around, double rows, double amplitude)
{
    const double row = std::floor(v * rows);
    const double shift = std::fmod(row, 2.0) * 0.5;
    const double cu = Fract(u * around + shift);
    const double edge = 0.22 * std::cos(2 * kPi * cu);
    const double t = Fract(v * rows + edge);
    return amplitude * SmoothStep(0.0, 0.85, t);
}

// Height of the relief above the smooth surface, in model units.
double Relief(const SurfaceSample& s, double u, double v)
{
    switch (s.part->material) {
    case Material::Body: {
        const double head = SmoothStep(17.0, 19.0, s.design.y);
        return Lerp(Scallops(u, v, 14, 26, 0.07), Scallops(u, v, 20, 40, 0.03), head);
    }
    case Material::Wing:
        return s.part->density < 0.8 ? 0.04 * std::pow(BladeMiddle(u), 8)
                                     : Scallops(u, v, 3, 9, 0.09);
    case Material::Tail:
        return 0.03 * std::pow(BladeMiddle(u), 16) + 0.015 * std::sin(2 * kPi * (v * 40 + u * 3));
    case Material::Beak:
        return 0.02 * SmoothStep(0.85, 1.0, std::fabs(std::sin(2 * kPi * u)));
    case Material::Leg:
    case Material::Toe:
        return 0.03 * Fract(v * 10);
    case Material::Wood:
        return 0.05 * Fractal(u * 40, v * 3, 11, 3);
    default:
        return 0;
    }
}

}  // namespace

Vec3 NormalMapTexel(const SurfaceSample& s)
{
    const double du = 1.0 / std::max(4, s.part->atlasW), dv = 1.0 / std::max(4, s.part->atlasH);
    const double hu = (Relief(s, s.u + du, s.v) - Relief(s, s.u - du, s.v)) / (2 * du);
    const double hv = (Relief(s, s.u, s.v + dv) - Relief(s, s.u, s.v - dv)) / (2 * dv);
    Vec3 gradient = s.gradU * hu + s.gradV * hv;
    gradient = gradient - s.normal * Dot(gradient, s.normal);
    const Vec3 n = Normalize(s.normal - gradient);
    return {n.x * 0.5 + 0.5, n.z * 0.5 + 0.5, n.y * 0.5 + 0.5};
}

Vec3 DecodeNormal(Vec3 texel)
{
    return Normalize(Vec3{texel.x * 2 - 1, texel.z * 2 - 1, texel.y * 2 - 1});
}

void RenormalizeNormalMap(Image& image)
{
    for (Vec3& texel : image.texels) {
        const Vec3 n = DecodeNormal(texel);
        texel = {n.x * 0.5 + 0.5, n.z * 0.5 + 0.5, n.y * 0.5 + 0.5};
    }
}

// ---- Plumage ----

namespace {

const Vec3 kRufous{0.70, 0.33, 0.13};
const Vec3 kBlueGrey{0.47, 0.53, 0.62};
const Vec3 kBuff{0.93, 0.80, 0.60};
const Vec3 kCream{0.95, 0.92, 0.84};
const Vec3 kDark{0.13, 0.09, 0.07};
const Vec3 kYellow{0.98, 0.76, 0.16};

double DistanceToSegment(Vec3 p, Vec3 a, Vec3 b)
{
    const Vec3 ab = b - a;
    const double t = Clamp01(Dot(p - a, ab) / Dot(ab, ab));
    return Length(p - (a + ab * t));
}

// Dark marks in a staggered grid: drop-shaped streaks or arrow bars.
double Marks(double x, double y, double sizeX, double sizeY, int seed)
{
    const double gy = std::floor(y);
    const double gx = std::floor(x + 0.5 * std::fmod(std::fabs(gy), 2.0));
    const double jx = Hash(int32_t(gx), int32_t(gy), seed) - 0.5, jy = Hash(int32_t(gx), int32_t(gy), seed + 7) - 0.5;
    const double cx = x + 0.5 * std::fmod(std::fabs(gy), 2.0) - gx - 0.5 - 0.3 * jx;
    const double cy = y - gy - 0.5 - 0.3 * jy;
    const double d = (cx * cx) / (sizeX * sizeX) + (cy * cy) / (sizeY * sizeY);
    return 1 - SmoothStep(0.7, 1.0, d);
}

Vec3 BodyColour(const SurfaceSample& s)
{
    const Vec3 q = s.design;
    const Vec3 eye{3.95, 22.6, 2.5 * (q.z < 0 ? -1 : 1)};
    const double front = SmoothStep(-0.45, 0.05, s.normal.x);
    // Breast: pale buff with dark drop streaks; back: rufous with dark bars.
    const double streak = Marks(q.z * 0.65 + 7, q.y * 0.6, 0.12, 0.3, 3) * SmoothStep(4.0, 7.0, q.y);
    const Vec3 breast = Lerp(kBuff, kDark, 0.85 * streak);
    const double bar = Marks(q.z * 0.7 + 5, q.y * 0.9, 0.42, 0.2, 5);
    const Vec3 back = Lerp(kRufous, kDark, 0.8 * bar);
    Vec3 colour = Lerp(back, breast, front);
    // Under the tail: plain buff.
    colour = Lerp(kBuff, colour, SmoothStep(2.2, 4.5, q.y));

    const double head = SmoothStep(17.4, 19.0, q.y);
    const double crownStreak = 0.25 * Marks(q.z * 2 + 3, q.y * 2, 0.1, 0.35, 9);
    Vec3 headColour = Lerp(kBlueGrey, kDark, crownStreak);
    // Pale cheeks and throat, with the dark moustache below the eye.
    const double face = SmoothStep(1.8, 3.2, q.x) * (1 - SmoothStep(21.2, 22.6, q.y));
    headColour = Lerp(headColour, kCream, face);
    const double moustache = 1 - SmoothStep(0.35, 0.6, DistanceToSegment(q, eye + Vec3{-0.2, -0.9, 0.3},
                                                                           eye + Vec3{-0.7, -3.2, 0.6}));
    headColour = Lerp(headColour, kDark * 1.6, moustache);
    colour = Lerp(colour, headColour, head);

    // Yellow eye ring and cere.
    const double ring = 1 - SmoothStep(1.25, 1.45, Length(q - eye));
    colour = Lerp(colour, kYellow, ring);
    const double cere = 1 - SmoothStep(0.7, 0.95, Length(q - Vec3{4.6, 21.8, 0}));
    return Lerp(colour, kYellow, cere);
}

Vec3 WingColour(const SurfaceSample& s)
{
    if (s.part->density < 0.8) {  // primaries: dark with a paler edge
        const double edge = 1 - SmoothStep(0.3, 0.6, BladeMiddle(s.u));
        return Lerp(kDark, Vec3{0.32, 0.26, 0.22}, edge);
    }
    const double bar = Marks(s.u * 6, s.v * 11, 0.3, 0.22, 13);
    Vec3 colour = Lerp(kRufous, kDark, 0.85 * bar);
    // The trailing, lower end darkens toward the flight feathers.
    return Lerp(colour, kDark, SmoothStep(0.72, 0.95, s.v));
}

Vec3 TailColour(const SurfaceSample& s)
{
    const double band = SmoothStep(0.72, 0.76, s.v) * (1 - SmoothStep(0.9, 0.93, s.v));
    const double tip = SmoothStep(0.94, 0.97, s.v);
    const double shaft = SmoothStep(0.97, 0.995, BladeMiddle(s.u));
    Vec3 colour = Lerp(kBlueGrey * 1.05, kDark, band);
    colour = Lerp(colour, kCream, tip);
    return Lerp(colour, kBlueGrey * 0.6, 0.5 * shaft);
}

Vec3 EyeColour(const SurfaceSample& s)
{
    // The front half shows: a near-black iris with a small highlight.
    const Vec3 iris{0.09, 0.06, 0.05};
    const double highlight = 1 - SmoothStep(0.03, 0.06, std::hypot(s.u - 0.3, s.v - 0.8) * 0.5);
    return Lerp(Lerp(kYellow, iris, SmoothStep(0.45, 0.55, s.v)), kCream, highlight);
}

Vec3 WoodColour(const SurfaceSample& s)
{
    const double grain = Fractal(s.u * 30, s.v * 2.5, 21, 4);
    const double rings = 0.5 + 0.5 * std::sin(grain * 18);
    return Lerp(Vec3{0.33, 0.21, 0.12}, Vec3{0.55, 0.38, 0.22}, 0.35 + 0.5 * rings);
}

Vec3 StoneColour(const SurfaceSample& s)
{
    const double vein = std::fabs(std::sin(8 * Fractal(s.design.x * 0.4, s.design.z * 0.4 + s.design.y * 0.3, 31, 5) * kPi));
    const Vec3 base{0.16, 0.19, 0.20};
    return Lerp(Vec3{0.55, 0.58, 0.56}, base, SmoothStep(0.0, 0.25, vein));
}

}  // namespace

Vec3 DiffuseTexel(const SurfaceSample& s)
{
    switch (s.part->material) {
    case Material::Body:
        return BodyColour(s);
    case Material::Wing:
        return WingColour(s);
    case Material::Tail:
        return TailColour(s);
    case Material::Beak: {
        const double cere = 1 - SmoothStep(0.15, 0.25, s.v);
        return Lerp(Lerp(Vec3{0.40, 0.44, 0.52}, kDark, SmoothStep(0.6, 0.95, s.v)), kYellow, cere);
    }
    case Material::Eye:
        return EyeColour(s);
    case Material::Leg:
        return Lerp(kBuff, kYellow, SmoothStep(0.25, 0.45, s.v));
    case Material::Toe:
        return kYellow;
    case Material::Claw:
        return kDark;
    case Material::Wood:
        return WoodColour(s);
    case Material::Stone:
    case Material::Backdrop:
        return StoneColour(s);
    }
    return kDark;
}
