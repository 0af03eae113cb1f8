#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "demo/MeshFile.h"
#include "demo/SceneAssets.h"

using namespace trellis;

namespace {

using Vec = std::array<double, 3>;

Vec Sub(Vec a, Vec b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec Cross(Vec a, Vec b) { return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}; }
double Dot(Vec a, Vec b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec Add(Vec a, Vec b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec Scale(Vec a, double k) { return {a[0] * k, a[1] * k, a[2] * k}; }

Vec Triple(const float* v) { return {v[0], v[1], v[2]}; }
Vec Position(const MeshData& mesh, uint32_t i) { return Triple(mesh.positions + 3 * i); }
Vec Normal(const MeshData& mesh, uint32_t i) { return Triple(mesh.normals + 3 * i); }

Vec FaceNormal(const MeshData& mesh, uint32_t face)
{
    const uint16_t* t = mesh.indices + 3 * face;
    const Vec a = Position(mesh, t[0]);
    return Cross(Sub(Position(mesh, t[1]), a), Sub(Position(mesh, t[2]), a));
}

struct Bounds {
    Vec lo, hi;
};

Bounds BoundsOf(const MeshData& mesh)
{
    Bounds b{Position(mesh, 0), Position(mesh, 0)};
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
        const Vec p = Position(mesh, i);
        for (int axis = 0; axis < 3; ++axis) {
            b.lo[axis] = std::min(b.lo[axis], p[axis]);
            b.hi[axis] = std::max(b.hi[axis], p[axis]);
        }
    }
    return b;
}

Vec Round2(Vec v)
{
    for (double& coordinate : v) {
        coordinate = std::round(coordinate * 100) / 100;
    }
    return v;
}

// Checks shared by both meshes: the words, indices in range, every vertex
// used, no degenerate triangle, unit normals, and the winding agreeing with
// the normals of the triangle's own vertices: always with their sum, and
// nearly always with each one (a smooth normal on the rim of a thin feather
// may lean past a neighbouring face).
void ExpectWellFormed(const MeshData& mesh)
{
    EXPECT_EQ(0u, mesh.reserved0);
    EXPECT_EQ(0x20006u, mesh.flags);
    EXPECT_EQ(nullptr, mesh.interleaved);
    EXPECT_EQ(0u, mesh.reserved2[0]);
    EXPECT_EQ(0u, mesh.reserved2[1]);
    for (uint32_t word : mesh.reserved3) {
        EXPECT_EQ(0u, word);
    }
    ASSERT_NE(nullptr, mesh.positions);
    ASSERT_NE(nullptr, mesh.texCoords);
    ASSERT_NE(nullptr, mesh.normals);
    ASSERT_NE(nullptr, mesh.indices);

    std::vector<bool> used(mesh.vertexCount, false);
    int disagreeing = 0;
    int corners = 0;
    for (uint32_t f = 0; f < mesh.faceCount; ++f) {
        const uint16_t* t = mesh.indices + 3 * f;
        for (int k = 0; k < 3; ++k) {
            ASSERT_LT(t[k], mesh.vertexCount);
            used[t[k]] = true;
        }
        const Vec n = FaceNormal(mesh, f);
        EXPECT_GT(std::sqrt(Dot(n, n)), 1e-6) << "degenerate triangle " << f;
        Vec sum{};
        for (int k = 0; k < 3; ++k) {
            const Vec corner = Normal(mesh, t[k]);
            sum = Add(sum, corner);
            ++corners;
            disagreeing += Dot(n, corner) <= 0 ? 1 : 0;
        }
        EXPECT_GT(Dot(n, sum), 0) << "triangle " << f << " is wound against its normals";
    }
    EXPECT_LE(disagreeing, corners / 50) << "corners whose normal leans against the winding";
    EXPECT_EQ(mesh.vertexCount, static_cast<uint32_t>(std::count(used.begin(), used.end(), true)));
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
        EXPECT_NEAR(1.0, std::sqrt(Dot(Normal(mesh, i), Normal(mesh, i))), 1e-5) << "vertex " << i;
    }
}

TEST(KestrelModelMesh, HasTheStatedCountsWordsAndExtents)
{
    const MeshData& mesh = *KestrelModelMesh();
    ASSERT_EQ(1260u, mesh.vertexCount);
    ASSERT_EQ(1492u, mesh.faceCount);
    EXPECT_EQ(0, mesh.reserved1);
    ExpectWellFormed(mesh);

    const Bounds b = BoundsOf(mesh);
    EXPECT_EQ((Vec{-7.19, -29.39, -5.08}), Round2(b.lo));
    EXPECT_EQ((Vec{10.58, 32.75, 12.26}), Round2(b.hi));
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_FLOAT_EQ(static_cast<float>((b.lo[axis] + b.hi[axis]) / 2), mesh.center[axis]);
    }
}

TEST(KestrelModelMesh, TextureCoordinatesStayInsideTheAtlas)
{
    const MeshData& mesh = *KestrelModelMesh();
    for (uint32_t i = 0; i < 2 * mesh.vertexCount; ++i) {
        EXPECT_GE(mesh.texCoords[i], 0.01f) << "value " << i;
        EXPECT_LE(mesh.texCoords[i], 0.99f) << "value " << i;
    }
}

// Number of triangles a ray from `origin` along `direction` passes through.
int Crossings(const MeshData& mesh, Vec origin, Vec direction)
{
    int count = 0;
    for (uint32_t f = 0; f < mesh.faceCount; ++f) {
        const uint16_t* t = mesh.indices + 3 * f;
        const Vec a = Position(mesh, t[0]);
        const Vec e1 = Sub(Position(mesh, t[1]), a), e2 = Sub(Position(mesh, t[2]), a);
        const Vec p = Cross(direction, e2);
        const double det = Dot(e1, p);
        if (std::fabs(det) < 1e-12) {
            continue;
        }
        const Vec s = Sub(origin, a);
        const double u = Dot(s, p) / det;
        const Vec q = Cross(s, e1);
        const double v = Dot(direction, q) / det;
        const double distance = Dot(e2, q) / det;
        if (u >= 0 && v >= 0 && u + v <= 1 && distance > 0) {
            ++count;
        }
    }
    return count;
}

// A triangle on the outside sees open space in front of it and its own
// part behind it. For every triangle where exactly one of the two rays from
// its centre (along the front normal and against it) meets nothing, that
// ray should be the front one. Triangles tucked inside other parts see
// something both ways and decide nothing.
struct Facing {
    int decided = 0;
    int outward = 0;
};

Facing FacingOf(const MeshData& mesh)
{
    Facing facing;
    for (uint32_t f = 0; f < mesh.faceCount; ++f) {
        const uint16_t* t = mesh.indices + 3 * f;
        const Vec face = FaceNormal(mesh, f);
        const Vec n = Scale(face, 1 / std::sqrt(Dot(face, face)));
        const Vec center = Scale(Add(Add(Position(mesh, t[0]), Position(mesh, t[1])), Position(mesh, t[2])), 1.0 / 3);
        const bool frontOpen = Crossings(mesh, Add(center, Scale(n, 1e-4)), n) == 0;
        const bool backOpen = Crossings(mesh, Add(center, Scale(n, -1e-4)), Scale(n, -1)) == 0;
        if (frontOpen != backOpen) {
            ++facing.decided;
            facing.outward += frontOpen ? 1 : 0;
        }
    }
    return facing;
}

TEST(KestrelModelMesh, FrontFacesPointOutward)
{
    const MeshData& mesh = *KestrelModelMesh();
    const Facing facing = FacingOf(mesh);
    EXPECT_GT(facing.decided, static_cast<int>(mesh.faceCount / 2));
    EXPECT_GT(facing.outward, facing.decided * 98 / 100) << facing.decided - facing.outward << " face inward";
}

TEST(KestrelBackdropMesh, IsAnOpenCylinderFacingInward)
{
    const MeshData& mesh = *KestrelBackdropMesh();
    ASSERT_EQ(38u, mesh.vertexCount);
    ASSERT_EQ(36u, mesh.faceCount);
    EXPECT_EQ(-1, mesh.reserved1);
    ExpectWellFormed(mesh);

    const Bounds b = BoundsOf(mesh);
    EXPECT_EQ(-27.53, Round2(b.lo)[1]);
    EXPECT_EQ(124.27, Round2(b.hi)[1]);
    EXPECT_FLOAT_EQ(0.0f, mesh.center[0]);
    EXPECT_FLOAT_EQ(-27.53f, mesh.center[1]);
    EXPECT_FLOAT_EQ(0.0f, mesh.center[2]);
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
        const Vec p = Position(mesh, i);
        EXPECT_NEAR(130.0, std::hypot(p[0], p[2]), 0.01);
        // Normals point at the axis.
        EXPECT_LT(Dot(Normal(mesh, i), {p[0], 0, p[2]}), -129.0);
    }
    for (uint32_t f = 0; f < mesh.faceCount; ++f) {
        const uint16_t* t = mesh.indices + 3 * f;
        const Vec p = Position(mesh, t[0]);
        EXPECT_LT(Dot(FaceNormal(mesh, f), {p[0], 0, p[2]}), 0) << "triangle " << f << " faces outward";
    }
}

TEST(KestrelBackdropMesh, TextureRunsOnceAroundWithTheSeamDoubled)
{
    const MeshData& mesh = *KestrelBackdropMesh();
    float sLo = 1e9f, sHi = -1e9f, tLo = 1e9f, tHi = -1e9f;
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
        sLo = std::min(sLo, mesh.texCoords[2 * i]);
        sHi = std::max(sHi, mesh.texCoords[2 * i]);
        tLo = std::min(tLo, mesh.texCoords[2 * i + 1]);
        tHi = std::max(tHi, mesh.texCoords[2 * i + 1]);
    }
    EXPECT_FLOAT_EQ(-0.028f, sLo);
    EXPECT_FLOAT_EQ(0.972f, sHi);
    EXPECT_FLOAT_EQ(0.0005f, tLo);
    EXPECT_FLOAT_EQ(0.9995f, tHi);
    // Every position appears twice in the 19 columns except the seam, which
    // the first and the last column share: 18 distinct columns.
    std::set<std::pair<double, double>> columns;
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
        columns.insert({Position(mesh, i)[0], Position(mesh, i)[2]});
    }
    EXPECT_EQ(18u, columns.size());
}

TEST(MeshRecordFromFile, RejectsFilesThatDoNotHoldWhatTheyPromise)
{
    // A valid file: one triangle.
    std::vector<unsigned char> file(MeshFileSize(3, 1), 0);
    const uint32_t words[4] = {3, 1, 0x20006, 0};
    std::copy(kMeshFileMagic, kMeshFileMagic + 4, file.begin());
    std::memcpy(file.data() + 4, words, sizeof words);
    MeshData mesh = MeshRecordFromFile(file.data(), static_cast<uint32_t>(file.size()));
    EXPECT_EQ(3u, mesh.vertexCount);
    EXPECT_EQ(1u, mesh.faceCount);
    EXPECT_EQ(0x20006u, mesh.flags);
    EXPECT_EQ(file.data() + 32, reinterpret_cast<const unsigned char*>(mesh.positions));
    EXPECT_EQ(file.data() + 32 + 8 * 3 * 4, reinterpret_cast<const unsigned char*>(mesh.indices));

    // One byte short, one byte too many, a wrong tag, no header at all.
    for (uint32_t size : {uint32_t(file.size() - 1), uint32_t(file.size() + 1), 8u, 0u}) {
        if (size > file.size()) {
            file.push_back(0);
        }
        mesh = MeshRecordFromFile(file.data(), size);
        EXPECT_EQ(0u, mesh.vertexCount) << "size " << size;
        EXPECT_EQ(nullptr, mesh.positions) << "size " << size;
        EXPECT_EQ(nullptr, mesh.indices) << "size " << size;
    }
    file[0] = 'X';
    mesh = MeshRecordFromFile(file.data(), static_cast<uint32_t>(MeshFileSize(3, 1)));
    EXPECT_EQ(nullptr, mesh.positions);
}

}  // namespace
