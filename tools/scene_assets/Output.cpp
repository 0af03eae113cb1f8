#include "Output.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "Bake.h"
#include "demo/MeshFile.h"
#include "capture/Capture.h"

using namespace trellis;

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

namespace {

void PutWord(std::vector<uint8_t>& out, uint32_t word)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(word >> (8 * i)));
    }
}

void PutFloat(std::vector<uint8_t>& out, double value)
{
    const float f = static_cast<float>(value);
    uint32_t word;
    std::memcpy(&word, &f, 4);
    PutWord(out, word);
}

}  // namespace

Vec3 BoundingBoxCenter(const GenMesh& mesh)
{
    const GenVertex& first = mesh.vertices[0];
    float lo[3] = {float(first.p.x), float(first.p.y), float(first.p.z)};
    float hi[3] = {lo[0], lo[1], lo[2]};
    for (const auto& v : mesh.vertices) {
        const float p[3] = {float(v.p.x), float(v.p.y), float(v.p.z)};
        for (int axis = 0; axis < 3; ++axis) {
            lo[axis] = std::min(lo[axis], p[axis]);
            hi[axis] = std::max(hi[axis], p[axis]);
        }
    }
    return {(double(lo[0]) + hi[0]) / 2, (double(lo[1]) + hi[1]) / 2, (double(lo[2]) + hi[2]) / 2};
}

std::vector<uint8_t> MeshFileBytes(const GenMesh& mesh, int32_t reserved1, Vec3 center)
{
    std::vector<uint8_t> out(kMeshFileMagic, kMeshFileMagic + 4);
    PutWord(out, static_cast<uint32_t>(mesh.vertices.size()));
    PutWord(out, static_cast<uint32_t>(mesh.triangles.size()));
    PutWord(out, 0x20006);
    PutWord(out, static_cast<uint32_t>(reserved1));
    PutFloat(out, center.x);
    PutFloat(out, center.y);
    PutFloat(out, center.z);
    for (const auto& v : mesh.vertices) {
        PutFloat(out, v.p.x);
        PutFloat(out, v.p.y);
        PutFloat(out, v.p.z);
    }
    for (const auto& v : mesh.vertices) {
        PutFloat(out, v.s);
        PutFloat(out, v.t);
    }
    for (const auto& v : mesh.vertices) {
        PutFloat(out, v.n.x);
        PutFloat(out, v.n.y);
        PutFloat(out, v.n.z);
    }
    for (const auto& tri : mesh.triangles) {
        for (int index : tri) {
            out.push_back(static_cast<uint8_t>(index));
            out.push_back(static_cast<uint8_t>(index >> 8));
        }
    }
    return out;
}

namespace {

uint8_t ToByte(double value) { return static_cast<uint8_t>(std::floor(Clamp01(value) * 255 + 0.5)); }

}  // namespace

bool WritePng(const std::string& path, const Image& image, bool bottomUp)
{
    // The framework's writer takes the capture layout: bottom row first, B, G, R.
    std::vector<uint8_t> bgr;
    bgr.reserve(size_t(image.width) * size_t(image.height) * 3);
    for (int row = image.height - 1; row >= 0; --row) {
        const int y = bottomUp ? image.height - 1 - row : row;
        for (int x = 0; x < image.width; ++x) {
            const Vec3& c = image.At(x, y);
            bgr.push_back(ToByte(c.z));
            bgr.push_back(ToByte(c.y));
            bgr.push_back(ToByte(c.x));
        }
    }
    return TrellisWritePNG(path.c_str(), image.width, image.height, bgr.data()) == 0;
}

Image RenderFigure(const GenMesh& mesh, const Image& diffuse, const Image& normals, Vec3 light, const Camera& camera)
{
    const int w = camera.width * 2, h = camera.height * 2;  // rendered at twice the size, then halved
    const Vec3 forward = Normalize(camera.target - camera.eye);
    const Vec3 right = Normalize(Cross(forward, camera.up));
    const Vec3 up = Cross(right, forward);
    const double focal = (h / 2.0) / std::tan(camera.fovY / 2);
    const Vec3 l = Normalize(light);

    Image frame(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            frame.At(x, y) = Lerp(Vec3{0.10, 0.11, 0.13}, Vec3{0.28, 0.30, 0.34}, double(y) / h);
        }
    }
    std::vector<double> depth(size_t(w) * h, 0);  // 1 / z, larger is nearer
    for (const auto& tri : mesh.triangles) {
        const GenVertex* v[3] = {&mesh.vertices[tri[0]], &mesh.vertices[tri[1]], &mesh.vertices[tri[2]]};
        const Vec3 faceNormal = Cross(v[1]->p - v[0]->p, v[2]->p - v[0]->p);
        if (Dot(faceNormal, v[0]->p - camera.eye) >= 0) {
            continue;  // facing away: culled like GL_BACK with counter-clockwise fronts
        }
        double sx[3], sy[3], iz[3];
        for (int i = 0; i < 3; ++i) {
            const Vec3 d = v[i]->p - camera.eye;
            const double z = Dot(d, forward);
            iz[i] = 1 / z;
            sx[i] = w / 2.0 + Dot(d, right) * focal * iz[i];
            sy[i] = h / 2.0 - Dot(d, up) * focal * iz[i];
        }
        const double area = (sx[1] - sx[0]) * (sy[2] - sy[0]) - (sx[2] - sx[0]) * (sy[1] - sy[0]);
        if (std::fabs(area) < 1e-12) {
            continue;
        }
        const int x0 = std::max(0, int(std::floor(std::min({sx[0], sx[1], sx[2]}))));
        const int x1 = std::min(w - 1, int(std::ceil(std::max({sx[0], sx[1], sx[2]}))));
        const int y0 = std::max(0, int(std::floor(std::min({sy[0], sy[1], sy[2]}))));
        const int y1 = std::min(h - 1, int(std::ceil(std::max({sy[0], sy[1], sy[2]}))));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                const double px = x + 0.5, py = y + 0.5;
                const double b0 = ((sx[1] - px) * (sy[2] - py) - (sx[2] - px) * (sy[1] - py)) / area;
                const double b1 = ((sx[2] - px) * (sy[0] - py) - (sx[0] - px) * (sy[2] - py)) / area;
                const double b2 = 1 - b0 - b1;
                if (b0 < 0 || b1 < 0 || b2 < 0) {
                    continue;
                }
                const double inverseZ = b0 * iz[0] + b1 * iz[1] + b2 * iz[2];
                double& nearest = depth[size_t(y) * w + x];
                if (inverseZ <= nearest) {
                    continue;
                }
                nearest = inverseZ;
                const double s = (b0 * v[0]->s * iz[0] + b1 * v[1]->s * iz[1] + b2 * v[2]->s * iz[2]) / inverseZ;
                const double t = (b0 * v[0]->t * iz[0] + b1 * v[1]->t * iz[1] + b2 * v[2]->t * iz[2]) / inverseZ;
                const Vec3 n = DecodeNormal(normals.Sample(s, t));
                const double lit = std::max(0.0, Dot(n, l));
                frame.At(x, y) = diffuse.Sample(s, t) * (0.18 + 0.9 * lit);
            }
        }
    }
    return BoxHalve(frame);
}
