#pragma once
#include <string>
#include <vector>

#include "GenMesh.h"
#include "Texture.h"

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

// The mesh in the file form documented in demo/MeshFile.h; `reserved1` is
// the word after the flags.
std::vector<uint8_t> MeshFileBytes(const GenMesh& mesh, int32_t reserved1, Vec3 center);

// The centre of the bounding box of the positions as they are stored.
Vec3 BoundingBoxCenter(const GenMesh& mesh);

// An 8-bit RGB PNG. `bottomUp` images (textures: row 0 is t = 0) are turned
// so that t grows upward in the picture.
bool WritePng(const std::string& path, const Image& image, bool bottomUp);

struct Camera {
    Vec3 eye, target, up;
    double fovY;
    int width, height;
};

// The figure as the demo lights it: the normal map's cosine with a light
// direction times the diffuse colour, with a little ambient so the shadow
// side stays readable. Rows top-down.
Image RenderFigure(const GenMesh& mesh, const Image& diffuse, const Image& normals, Vec3 light, const Camera& camera);
