#include "GenMesh.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

int AddPart(GenMesh& mesh, Material material, int side, double density)
{
    mesh.parts.push_back(GenPart{material, side, density});
    return static_cast<int>(mesh.parts.size()) - 1;
}

namespace {

int AddVertex(GenMesh& mesh, int part, int group, Vec3 p, double u, double v)
{
    GenVertex vertex;
    vertex.p = p;
    vertex.design = p;
    vertex.u = u;
    vertex.v = v;
    vertex.part = part;
    vertex.normalGroup = group;
    mesh.vertices.push_back(vertex);
    return static_cast<int>(mesh.vertices.size()) - 1;
}

// Turns the triangles from `first` on so that most of their area faces away
// from `inside`.
void OrientAway(GenMesh& mesh, size_t first, Vec3 inside)
{
    double sum = 0;
    for (size_t i = first; i < mesh.triangles.size(); ++i) {
        const auto& tri = mesh.triangles[i];
        const Vec3 a = mesh.vertices[tri[0]].p, b = mesh.vertices[tri[1]].p, c = mesh.vertices[tri[2]].p;
        sum += Dot(Cross(b - a, c - a), (a + b + c) * (1.0 / 3) - inside);
    }
    if (sum < 0) {
        for (size_t i = first; i < mesh.triangles.size(); ++i) {
            std::swap(mesh.triangles[i][1], mesh.triangles[i][2]);
        }
    }
}

void AddQuad(GenMesh& mesh, int a, int b, int c, int d)
{
    mesh.triangles.push_back({a, b, c});
    mesh.triangles.push_back({a, c, d});
}

}  // namespace

void AddTube(GenMesh& mesh, int part, int segments, int rings, bool poles, const Surface& surface, Vec3 inside)
{
    const size_t firstTriangle = mesh.triangles.size();
    const int group = mesh.groups++;
    const int stations = rings + (poles ? 2 : 0);
    auto stationV = [&](int k) { return double(k) / (stations - 1); };
    std::vector<int> ringStart;
    double widthSum = 0;
    for (int k = poles ? 1 : 0; k < (poles ? stations - 1 : stations); ++k) {
        const double v = stationV(k);
        ringStart.push_back(static_cast<int>(mesh.vertices.size()));
        for (int j = 0; j <= segments; ++j) {
            // The seam column repeats the first one's position exactly.
            const double around = double(j % segments) / segments;
            AddVertex(mesh, part, group, surface(around, v), double(j) / segments, v);
        }
        for (int j = 0; j < segments; ++j) {
            widthSum += Length(mesh.vertices[ringStart.back() + j + 1].p - mesh.vertices[ringStart.back() + j].p);
        }
    }
    for (size_t r = 0; r + 1 < ringStart.size(); ++r) {
        for (int j = 0; j < segments; ++j) {
            const int a = ringStart[r] + j, b = ringStart[r + 1] + j;
            AddQuad(mesh, a, a + 1, b + 1, b);
        }
    }
    double heightSum = 0;
    for (int j = 0; j < segments; ++j) {
        Vec3 previous = surface(double(j) / segments, 0);
        for (int k = 1; k < stations; ++k) {
            const Vec3 p = surface(double(j) / segments, stationV(k));
            heightSum += Length(p - previous);
            previous = p;
        }
    }
    if (poles) {
        const int south = AddVertex(mesh, part, group, surface(0, 0), 0.5, 0);
        const int north = AddVertex(mesh, part, group, surface(0, 1), 0.5, 1);
        mesh.vertices[south].poleRing = ringStart.front();
        mesh.vertices[north].poleRing = ringStart.back();
        mesh.vertices[south].poleRingSize = mesh.vertices[north].poleRingSize = segments;
        for (int j = 0; j < segments; ++j) {
            mesh.triangles.push_back({south, ringStart.front() + j + 1, ringStart.front() + j});
            mesh.triangles.push_back({north, ringStart.back() + j, ringStart.back() + j + 1});
        }
    }
    GenPart& info = mesh.parts[part];
    info.width = widthSum / ringStart.size();
    info.height = heightSum / segments;
    OrientAway(mesh, firstTriangle, inside);
}

namespace {

Vec3 LathePoint(const Lathe& frame, double radius, double height, double angle)
{
    return frame.origin + frame.axis * height +
           (frame.across * std::cos(angle) + frame.across2 * std::sin(angle)) * radius;
}

}  // namespace

void AddFacetedLathe(GenMesh& mesh, int part, int facets, const std::vector<std::array<double, 2>>& profile,
                     const Lathe& frame, double angleOffset)
{
    double length = 0;
    for (size_t i = 0; i + 1 < profile.size(); ++i) {
        length += std::hypot(profile[i + 1][0] - profile[i][0], profile[i + 1][1] - profile[i][1]);
    }
    double maxRadius = 0;
    for (const auto& point : profile) {
        maxRadius = std::max(maxRadius, point[0]);
    }
    const double step = 2 * kPi / facets;
    double along = 0;
    for (size_t band = 0; band + 1 < profile.size(); ++band) {
        const auto lo = profile[band], hi = profile[band + 1];
        const double next = along + std::hypot(hi[0] - lo[0], hi[1] - lo[1]);
        // A small gap between facets and bands keeps each one's texels its
        // own, so the normal map stays sharp at the edges.
        const double gap = 0.15;
        const double v0 = (along + gap * (next - along)) / length, v1 = (next - gap * (next - along)) / length;
        for (int f = 0; f < facets; ++f) {
            const int group = mesh.groups++;
            const double a0 = angleOffset + f * step, a1 = angleOffset + ((f + 1) % facets) * step;
            const double u0 = (f + gap) / facets, u1 = (f + 1 - gap) / facets;
            const int a = AddVertex(mesh, part, group, LathePoint(frame, lo[0], lo[1], a0), u0, v0);
            const int b = AddVertex(mesh, part, group, LathePoint(frame, lo[0], lo[1], a1), u1, v0);
            const int c = AddVertex(mesh, part, group, LathePoint(frame, hi[0], hi[1], a1), u1, v1);
            const int d = AddVertex(mesh, part, group, LathePoint(frame, hi[0], hi[1], a0), u0, v1);
            const size_t first = mesh.triangles.size();
            AddQuad(mesh, a, b, c, d);
            const double mid = (lo[1] + hi[1]) / 2;
            OrientAway(mesh, first, frame.origin + frame.axis * mid);
        }
        along = next;
    }
    GenPart& info = mesh.parts[part];
    info.width = 2 * kPi * maxRadius;
    info.height = length;
}

void AddCap(GenMesh& mesh, int part, int facets, double radius, double height, const Lathe& frame,
            double angleOffset, bool facingAxis)
{
    const int group = mesh.groups++;
    const size_t first = mesh.triangles.size();
    const int center = AddVertex(mesh, part, group, LathePoint(frame, 0, height, 0), 0.5, 0.5);
    for (int f = 0; f < facets; ++f) {
        const double angle = angleOffset + f * 2 * kPi / facets;
        AddVertex(mesh, part, group, LathePoint(frame, radius, height, angle), 0.5 + 0.5 * std::cos(angle),
                  0.5 + 0.5 * std::sin(angle));
    }
    for (int f = 0; f < facets; ++f) {
        mesh.triangles.push_back({center, center + 1 + f, center + 1 + (f + 1) % facets});
    }
    // Facing along the axis when the cap closes the top of its prism.
    const Vec3 behind = frame.origin + frame.axis * (height + (facingAxis ? -1.0 : 1.0));
    OrientAway(mesh, first, behind);
    GenPart& info = mesh.parts[part];
    info.width = info.height = 2 * radius;
}

void ComputeNormals(GenMesh& mesh)
{
    // Vertices of one group at the same position (seams, poles) share a normal.
    std::map<std::tuple<int, double, double, double>, Vec3> sums;
    auto key = [](const GenVertex& v) { return std::make_tuple(v.normalGroup, v.p.x, v.p.y, v.p.z); };
    for (const auto& tri : mesh.triangles) {
        const Vec3 a = mesh.vertices[tri[0]].p, b = mesh.vertices[tri[1]].p, c = mesh.vertices[tri[2]].p;
        const Vec3 faceNormal = Cross(b - a, c - a);
        for (int corner : tri) {
            Vec3& sum = sums[key(mesh.vertices[corner])];
            sum = sum + faceNormal;
        }
    }
    for (auto& vertex : mesh.vertices) {
        vertex.n = Normalize(sums[key(vertex)]);
    }
    // A tip points away from the ring around it. Averaging the fan instead
    // would cancel out on flat parts such as feathers, whose two faces
    // point in opposite directions.
    for (auto& vertex : mesh.vertices) {
        if (vertex.poleRing >= 0) {
            Vec3 center;
            for (int i = 0; i < vertex.poleRingSize; ++i) {
                center = center + mesh.vertices[vertex.poleRing + i].p;
            }
            vertex.n = Normalize(vertex.p - center * (1.0 / vertex.poleRingSize));
        }
    }
}

namespace {

struct Shelf {
    int y, height, x;
};

// Shelf packing, tallest islands first. Returns false when they do not fit.
bool Pack(GenMesh& mesh, double scale, int atlasSize, int padding)
{
    const int lo = padding, hi = atlasSize - padding;
    std::vector<int> order(mesh.parts.size());
    for (size_t i = 0; i < order.size(); ++i) {
        GenPart& part = mesh.parts[i];
        order[i] = static_cast<int>(i);
        // Even the smallest part gets enough texels for its normals to turn.
        part.atlasW = std::max(12, static_cast<int>(part.width * part.density * scale));
        part.atlasH = std::max(12, static_cast<int>(part.height * part.density * scale));
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return mesh.parts[a].atlasH > mesh.parts[b].atlasH; });
    std::vector<Shelf> shelves;
    int top = lo;
    for (int index : order) {
        GenPart& part = mesh.parts[index];
        if (part.atlasW > hi - lo) {
            return false;
        }
        Shelf* chosen = nullptr;
        for (auto& shelf : shelves) {
            if (shelf.height >= part.atlasH && shelf.x + part.atlasW <= hi) {
                chosen = &shelf;
                break;
            }
        }
        if (chosen == nullptr) {
            if (top + part.atlasH > hi) {
                return false;
            }
            shelves.push_back(Shelf{top, part.atlasH, lo});
            top += part.atlasH + padding;
            chosen = &shelves.back();
        }
        part.atlasX = chosen->x;
        part.atlasY = chosen->y;
        chosen->x += part.atlasW + padding;
    }
    return true;
}

void LayOutAtlas(GenMesh& mesh, int atlasSize, int padding)
{
    double fits = 0.1, fails = 1000;
    for (int i = 0; i < 60; ++i) {
        const double middle = (fits + fails) / 2;
        (Pack(mesh, middle, atlasSize, padding) ? fits : fails) = middle;
    }
    Pack(mesh, fits, atlasSize, padding);
    for (auto& vertex : mesh.vertices) {
        const GenPart& part = mesh.parts[vertex.part];
        vertex.s = (part.atlasX + vertex.u * part.atlasW) / atlasSize;
        vertex.t = (part.atlasY + vertex.v * part.atlasH) / atlasSize;
    }
}

}  // namespace

void Finish(GenMesh& mesh, Vec3 lo, Vec3 hi, int atlasSize, int padding)
{
    Vec3 min = mesh.vertices[0].p, max = min;
    for (const auto& vertex : mesh.vertices) {
        min = {std::min(min.x, vertex.p.x), std::min(min.y, vertex.p.y), std::min(min.z, vertex.p.z)};
        max = {std::max(max.x, vertex.p.x), std::max(max.y, vertex.p.y), std::max(max.z, vertex.p.z)};
    }
    for (auto& vertex : mesh.vertices) {
        const Vec3 p = vertex.p;
        vertex.p = {lo.x + (p.x - min.x) * (hi.x - lo.x) / (max.x - min.x),
                    lo.y + (p.y - min.y) * (hi.y - lo.y) / (max.y - min.y),
                    lo.z + (p.z - min.z) * (hi.z - lo.z) / (max.z - min.z)};
    }
    ComputeNormals(mesh);
    LayOutAtlas(mesh, atlasSize, padding);
}
