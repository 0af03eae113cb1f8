#include "Kestrel.h"

#include <algorithm>
#include <cstdlib>

namespace {

// ---- Swept parts: a Catmull-Rom spine with an elliptic section ----

struct Station {
    Vec3 c;
    double ra, rb;  // half-widths along the lateral axis and across it
};

double CatmullRom(double p0, double p1, double p2, double p3, double t)
{
    return 0.5 * ((2 * p1) + (-p0 + p2) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t * t +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * t * t * t);
}

Station SpineAt(const std::vector<Station>& stations, double v)
{
    const int last = static_cast<int>(stations.size()) - 1;
    const double x = v * last;
    const int i = std::min(last - 1, static_cast<int>(x));
    const double t = x - i;
    const Station& s0 = stations[std::max(0, i - 1)];
    const Station& s1 = stations[i];
    const Station& s2 = stations[i + 1];
    const Station& s3 = stations[std::min(last, i + 2)];
    auto mix = [&](auto get) { return CatmullRom(get(s0), get(s1), get(s2), get(s3), t); };
    Station result;
    result.c = {mix([](const Station& s) { return s.c.x; }), mix([](const Station& s) { return s.c.y; }),
                mix([](const Station& s) { return s.c.z; })};
    result.ra = std::max(0.0, mix([](const Station& s) { return s.ra; }));
    result.rb = std::max(0.0, mix([](const Station& s) { return s.rb; }));
    if (v <= 0 || v >= 1) {
        result = v <= 0 ? stations.front() : stations.back();
    }
    return result;
}

// `lateral` is the direction the ra half-width points in (the thin axis of
// wings and tail feathers).
Surface Sweep(std::vector<Station> stations, Vec3 lateral, double angleOffset)
{
    return [stations, lateral, angleOffset](double u, double v) {
        const Station s = SpineAt(stations, v);
        const double dv = 1e-3;
        const Vec3 tangent = Normalize(SpineAt(stations, std::min(1.0, v + dv)).c -
                                       SpineAt(stations, std::max(0.0, v - dv)).c);
        const Vec3 a = Normalize(lateral - tangent * Dot(lateral, tangent));
        const Vec3 b = Cross(tangent, a);
        const double angle = 2 * kPi * u + angleOffset;
        return s.c + a * (s.ra * std::cos(angle)) + b * (s.rb * std::sin(angle));
    };
}

Vec3 Mirror(Vec3 p, int side) { return {p.x, p.y, p.z * side}; }

Vec3 MeanOf(const std::vector<Station>& stations)
{
    Vec3 sum;
    for (const auto& s : stations) {
        sum = sum + s.c;
    }
    return sum * (1.0 / stations.size());
}

void AddSwept(GenMesh& mesh, Material material, int side, double density, int segments, int rings,
              const std::vector<Station>& stations, Vec3 lateral)
{
    const int part = AddPart(mesh, material, side, density);
    // Four-sided parts are thin blades: corners on the diagonals give them
    // two broad faces and two narrow edges rather than a diamond.
    const double angleOffset = segments == 4 ? kPi / 4 : 0;
    AddTube(mesh, part, segments, rings, true, Sweep(stations, lateral, angleOffset), MeanOf(stations));
}

// ---- Tessellation choices ----

struct Tessellation {
    int bodyRings;
    int wingRings;
    int plinthSegments;
    int postFacets;
    int postBands;
    int branchSegments;
};

// Counts of one closed swept part.
int SweptVertices(int segments, int rings) { return rings * (segments + 1) + 2; }
int SweptTriangles(int segments, int rings) { return 2 * segments * rings; }

constexpr int kBodySegments = 12;
constexpr int kWingSegments = 8;
constexpr int kPrimaries = 4;
constexpr int kTailFeathers = 5;
constexpr int kToes = 4;

// Vertices and triangles of the whole figure for one choice; mirrors Build.
std::array<int, 2> Count(const Tessellation& t)
{
    int v = 0, f = 0;
    auto swept = [&](int segments, int rings, int copies) {
        v += copies * SweptVertices(segments, rings);
        f += copies * SweptTriangles(segments, rings);
    };
    swept(kBodySegments, t.bodyRings, 1);
    swept(8, 3, 1);  // upper beak
    swept(6, 2, 1);  // lower beak
    swept(8, 2, 2);  // eyes
    swept(kWingSegments, t.wingRings, 2);
    swept(4, 2, 2 * kPrimaries);
    swept(4, 3, kTailFeathers);
    swept(6, 3, 2);        // legs
    swept(4, 2, 2 * kToes);  // toes
    swept(4, 1, 2 * kToes);  // claws
    // Plinth: three smooth bands, a top and a bottom cap.
    v += 3 * 2 * (t.plinthSegments + 1) + 2 * (t.plinthSegments + 1);
    f += 3 * 2 * t.plinthSegments + 2 * t.plinthSegments;
    // Post: flat facets in bands, and a top cap.
    v += 4 * t.postFacets * t.postBands + t.postFacets + 1;
    f += 2 * t.postFacets * t.postBands + t.postFacets;
    // Branch: one smooth band and two end caps.
    v += 2 * (t.branchSegments + 1) + 2 * (t.branchSegments + 1);
    f += 2 * t.branchSegments + 2 * t.branchSegments;
    return {v, f};
}

// The exact counts admit many tessellations; take the one nearest to the
// preferred look. The search order is fixed, so the choice is too.
bool ChooseTessellation(Tessellation& chosen)
{
    const Tessellation preferred{15, 6, 32, 8, 4, 12};
    int bestCost = -1;
    for (int body = 10; body <= 20; ++body) {
        for (int wing = 3; wing <= 9; ++wing) {
            for (int plinth = 16; plinth <= 64; ++plinth) {
                for (int facets = 6; facets <= 10; facets += 2) {
                    for (int bands = 1; bands <= 24; ++bands) {
                        for (int branch = 6; branch <= 20; ++branch) {
                            const Tessellation t{body, wing, plinth, facets, bands, branch};
                            const auto counts = Count(t);
                            if (counts[0] != kKestrelVertices || counts[1] != kKestrelTriangles) {
                                continue;
                            }
                            const int cost = 8 * std::abs(body - preferred.bodyRings) +
                                             8 * std::abs(wing - preferred.wingRings) +
                                             std::abs(plinth - preferred.plinthSegments) +
                                             4 * std::abs(facets - preferred.postFacets) +
                                             std::abs(bands - preferred.postBands) +
                                             2 * std::abs(branch - preferred.branchSegments);
                            if (bestCost < 0 || cost < bestCost) {
                                bestCost = cost;
                                chosen = t;
                            }
                        }
                    }
                }
            }
        }
    }
    return bestCost >= 0;
}

// ---- The bird (design units; facing +x, y up, z to its left) ----

const Vec3 kLateral{0, 0, 1};

void AddBodyAndHead(GenMesh& mesh, int rings)
{
    const std::vector<Station> spine = {
        {{-2.2, 1.6, 0}, 0, 0},       // under the tail
        {{-1.7, 2.4, 0}, 2.4, 2.0},
        {{-0.7, 4.6, 0}, 3.9, 3.7},
        {{0.2, 8.0, 0}, 4.6, 4.7},    // belly
        {{0.8, 11.6, 0}, 4.5, 4.6},   // breast
        {{1.0, 14.8, 0}, 3.9, 3.9},   // shoulders
        {{1.2, 17.4, 0}, 3.0, 3.0},   // neck
        {{1.5, 19.6, 0}, 3.4, 3.5},
        {{1.8, 21.8, 0}, 3.8, 3.9},   // widest part of the head
        {{1.8, 23.9, 0}, 3.4, 3.5},
        {{1.5, 25.4, 0}, 2.3, 2.4},
        {{1.2, 26.1, 0}, 0, 0},       // crown
    };
    AddSwept(mesh, Material::Body, 0, 1.4, kBodySegments, rings, spine, kLateral);
}

void AddBeak(GenMesh& mesh)
{
    // The upper mandible curves down into the hook; the lower one is short.
    AddSwept(mesh, Material::Beak, 0, 1.0, 8, 3,
             {{{4.2, 22.0, 0}, 0, 0},
              {{5.0, 21.7, 0}, 0.95, 0.95},
              {{6.1, 21.4, 0}, 0.7, 0.75},
              {{6.8, 20.8, 0}, 0.42, 0.45},
              {{6.9, 20.0, 0}, 0, 0}},
             kLateral);
    AddSwept(mesh, Material::Beak, 0, 1.0, 6, 2,
             {{{4.3, 21.0, 0}, 0, 0}, {{5.2, 20.9, 0}, 0.7, 0.45}, {{6.0, 20.9, 0}, 0.4, 0.25},
              {{6.4, 20.8, 0}, 0, 0}},
             kLateral);
}

void AddEyes(GenMesh& mesh)
{
    for (int side : {-1, 1}) {
        const Vec3 c = Mirror({3.95, 22.6, 2.5}, side);
        const Vec3 look = Normalize(Mirror({0.55, 0.0, 0.83}, side));
        const double r = 1.0;
        AddSwept(mesh, Material::Eye, side, 1.0, 8, 2,
                 {{c - look * r, 0, 0}, {c - look * (0.5 * r), 0.87 * r, 0.87 * r},
                  {c + look * (0.5 * r), 0.87 * r, 0.87 * r}, {c + look * r, 0, 0}},
                 Vec3{0, 1, 0});
    }
}

void AddWings(GenMesh& mesh, int rings)
{
    for (int side : {-1, 1}) {
        // Coverts and secondaries: a thick folded blade along the flank.
        AddSwept(mesh, Material::Wing, side, 1.0, kWingSegments, rings,
                 {{Mirror({1.4, 16.2, 3.0}, side), 0, 0},
                  {Mirror({0.6, 14.6, 3.9}, side), 0.9, 2.6},
                  {Mirror({-0.6, 11.2, 4.4}, side), 1.0, 3.5},
                  {Mirror({-1.6, 7.4, 4.2}, side), 0.9, 3.3},
                  {Mirror({-2.6, 3.6, 3.5}, side), 0.7, 2.4},
                  {Mirror({-3.2, 1.4, 2.9}, side), 0, 0}},
                 kLateral);
        // Primaries: long feathers from under the coverts to the wingtip,
        // reaching over the tail.
        for (int i = 0; i < kPrimaries; ++i) {
            const double k = double(i) / (kPrimaries - 1);
            const Vec3 root = Mirror({-1.0 - 0.5 * k, 9.0 - 1.2 * k, 3.9 - 0.3 * k}, side);
            const Vec3 tip = Mirror({-4.6 - 0.3 * k, -3.5 + 1.2 * k, 1.2 + 0.3 * k}, side);
            const Vec3 mid = Lerp(root, tip, 0.5) + Mirror({-0.6, 0, 0.5}, side);
            AddSwept(mesh, Material::Wing, side, 0.5, 4, 2,
                     {{root, 0, 0}, {Lerp(root, mid, 0.6), 0.32, 1.25}, {Lerp(mid, tip, 0.5), 0.26, 0.95},
                      {tip, 0, 0}},
                     kLateral);
        }
    }
}

void AddTail(GenMesh& mesh)
{
    // Five overlapping feathers, fanned slightly, hanging behind the perch.
    for (int i = 0; i < kTailFeathers; ++i) {
        const double k = double(i) / (kTailFeathers - 1) * 2 - 1;  // -1 .. 1
        const Vec3 root{-2.2, 3.4, 0.5 * k};
        const Vec3 tip{-5.6 + 0.25 * std::abs(k), -14.0 + 0.6 * std::abs(k), 1.9 * k};
        AddSwept(mesh, Material::Tail, 0, 0.55, 4, 3,
                 {{root, 0, 0},
                  {Lerp(root, tip, 0.25), 1.3, 0.35},
                  {Lerp(root, tip, 0.6), 1.5, 0.35},
                  {Lerp(root, tip, 0.92), 1.3, 0.28},
                  {tip, 0, 0}},
                 kLateral);
    }
}

// The branch the bird grips runs along z at this height.
const Vec3 kBranchCenter{0.2, -1.0, 0};
constexpr double kBranchRadius = 1.15;

void AddLegsAndFeet(GenMesh& mesh)
{
    for (int side : {-1, 1}) {
        const Vec3 knee = Mirror({0.0, 4.4, 1.6}, side);
        const Vec3 ankle = Mirror({0.35, 0.7, 1.7}, side);
        AddSwept(mesh, Material::Leg, side, 0.9, 6, 3,
                 {{knee, 0, 0}, {Lerp(knee, ankle, 0.3), 0.55, 0.55}, {Lerp(knee, ankle, 0.75), 0.42, 0.42},
                  {ankle + Vec3{0, -0.3, 0}, 0, 0}},
                 Vec3{1, 0, 0});
        // Three toes forward around the branch, one back.
        const double toeAngles[kToes][2] = {{85, 10}, {85, 0}, {85, 10}, {95, 175}};
        const double toeSpread[kToes] = {-0.55, 0.0, 0.55, 0.0};
        for (int i = 0; i < kToes; ++i) {
            auto around = [&](double degrees, double lift) {
                const double a = degrees * kPi / 180;
                const double r = kBranchRadius + lift;
                return kBranchCenter + Vec3{r * std::cos(a), r * std::sin(a), ankle.z + toeSpread[i]};
            };
            const double a0 = toeAngles[i][0], a1 = toeAngles[i][1];
            const Vec3 start = around(a0, 0.35);
            const Vec3 mid = around(Lerp(a0, a1, 0.5), 0.3);
            const Vec3 end = around(a1, 0.28);
            AddSwept(mesh, Material::Toe, side, 1.0, 4, 2,
                     {{start, 0, 0}, {Lerp(start, mid, 0.5), 0.3, 0.3}, {Lerp(mid, end, 0.5), 0.26, 0.26},
                      {end, 0, 0}},
                     Vec3{0, 0, 1});
            const Vec3 clawTip = around(a1 + (a1 < a0 ? -28 : 28), 0.05);
            AddSwept(mesh, Material::Claw, side, 0.8, 4, 1,
                     {{Lerp(mid, end, 0.6), 0, 0}, {end, 0.2, 0.2}, {clawTip, 0, 0}}, Vec3{0, 0, 1});
        }
    }
}

// The bird is designed at a convenient size and then enlarged about the
// branch it grips, so that it, not the stand, fills most of the height.
constexpr double kBirdScale = 1.15;

void EnlargeBird(GenMesh& mesh)
{
    for (auto& vertex : mesh.vertices) {
        vertex.p = kBranchCenter + (vertex.p - kBranchCenter) * kBirdScale;
    }
}

// ---- The stand: a round stone plinth, a faceted wooden post, a branch ----

void AddStand(GenMesh& mesh, const Tessellation& t)
{
    const Lathe upright{{0.6, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}};
    const int plinth = AddPart(mesh, Material::Stone, 0, 0.45);
    const int segments = t.plinthSegments;
    auto band = [&](double r0, double y0, double r1, double y1) {
        const Surface ring = [&](double u, double v) {
            const double a = 2 * kPi * u;
            const double r = Lerp(r0, r1, v), y = Lerp(y0, y1, v);
            return upright.origin + Vec3{r * std::cos(a), y, -r * std::sin(a)};
        };
        AddTube(mesh, plinth, segments, 2, false, ring, upright.origin + Vec3{0, (y0 + y1) / 2, 0});
    };
    // Three bands of one island: the layout spans them by their own v.
    const size_t firstBand = mesh.vertices.size();
    band(8.6, -29.4, 8.6, -28.0);
    band(8.6, -28.0, 7.9, -27.3);
    band(7.9, -27.3, 7.4, -26.8);
    const size_t afterBands = mesh.vertices.size();
    const int bandVertices = static_cast<int>(afterBands - firstBand) / 3;
    for (size_t i = firstBand; i < afterBands; ++i) {
        const int which = static_cast<int>(i - firstBand) / bandVertices;
        mesh.vertices[i].v = (which + 0.15 + 0.7 * mesh.vertices[i].v) / 3;
    }
    const int plinthTop = AddPart(mesh, Material::Stone, 0, 0.45);
    AddCap(mesh, plinthTop, segments, 7.4, -26.8, upright, 0, true);
    const int plinthBottom = AddPart(mesh, Material::Stone, 0, 0.2);
    AddCap(mesh, plinthBottom, segments, 8.6, -29.4, upright, 0, false);
    // The bands are narrow; a taller island gives each its own rows of texels.
    GenPart& stone = mesh.parts[plinth];
    stone.width = 2 * kPi * 8.6;
    stone.height = 8.0;

    const int post = AddPart(mesh, Material::Wood, 0, 0.4);
    const double branchRadius = kBranchRadius * kBirdScale;
    const double postTop = kBranchCenter.y - 0.5 * branchRadius;
    std::vector<std::array<double, 2>> profile;
    for (int i = 0; i <= t.postBands; ++i) {
        const double k = double(i) / t.postBands;
        profile.push_back({Lerp(1.75, 1.45, k), Lerp(-26.8, postTop, k)});
    }
    const Lathe postFrame{{kBranchCenter.x, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}};
    AddFacetedLathe(mesh, post, t.postFacets, profile, postFrame, kPi / t.postFacets);
    const int postTopPart = AddPart(mesh, Material::Wood, 0, 0.6);
    AddCap(mesh, postTopPart, t.postFacets, 1.45, postTop, postFrame, kPi / t.postFacets, true);

    const int branch = AddPart(mesh, Material::Wood, 0, 0.7);
    const double halfLength = 4.8;
    const Surface bark = [&](double u, double v) {
        const double a = 2 * kPi * u;
        return kBranchCenter +
               Vec3{branchRadius * std::cos(a), branchRadius * std::sin(a), Lerp(-halfLength, halfLength, v)};
    };
    AddTube(mesh, branch, t.branchSegments, 2, false, bark, kBranchCenter);
    const Lathe along{kBranchCenter, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}};
    for (double end : {-halfLength, halfLength}) {
        const int cap = AddPart(mesh, Material::Wood, 0, 0.7);
        AddCap(mesh, cap, t.branchSegments, branchRadius, end, along, 0, end > 0);
    }
}

}  // namespace

bool BuildKestrel(GenMesh& mesh)
{
    Tessellation t{};
    if (!ChooseTessellation(t)) {
        return false;
    }
    AddBodyAndHead(mesh, t.bodyRings);
    AddBeak(mesh);
    AddEyes(mesh);
    AddWings(mesh, t.wingRings);
    AddTail(mesh);
    AddLegsAndFeet(mesh);
    EnlargeBird(mesh);
    AddStand(mesh, t);
    if (mesh.vertices.size() != size_t(kKestrelVertices) || mesh.triangles.size() != size_t(kKestrelTriangles)) {
        return false;
    }
    Finish(mesh, {-7.19, -29.39, -5.08}, {10.58, 32.75, 12.26}, kAtlasSize, 8);
    return true;
}

void BuildBackdrop(GenMesh& mesh)
{
    // An open wall of 18 segments around the y axis; the seam column is
    // doubled so that s runs on past 1 without wrapping back.
    constexpr int kSegments = 18;
    constexpr double kRadius = 130.0, kBottom = kBackdropBottom, kTop = 124.27;
    const int part = AddPart(mesh, Material::Backdrop, 0, 1.0);
    const int group = mesh.groups++;
    for (int j = 0; j <= kSegments; ++j) {
        const double a = 2 * kPi * (j % kSegments) / kSegments;
        for (int row = 0; row < 2; ++row) {
            GenVertex vertex;
            vertex.p = {kRadius * std::sin(a), row ? kTop : kBottom, kRadius * std::cos(a)};
            vertex.design = vertex.p;
            vertex.n = Normalize(Vec3{-std::sin(a), 0, -std::cos(a)});
            vertex.s = double(j) / kSegments - 0.028;
            vertex.t = row ? 0.9995 : 0.0005;
            vertex.part = part;
            vertex.normalGroup = group;
            mesh.vertices.push_back(vertex);
        }
    }
    for (int j = 0; j < kSegments; ++j) {
        const int a = 2 * j, b = 2 * j + 1, c = 2 * j + 3, d = 2 * j + 2;
        // Counter-clockwise as seen from the axis.
        mesh.triangles.push_back({a, b, c});
        mesh.triangles.push_back({a, c, d});
    }
}
