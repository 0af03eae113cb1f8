#pragma once
#include <functional>

#include "GenMesh.h"
#include "Texture.h"

// What is known about the surface under one atlas texel.
struct SurfaceSample {
    const GenPart* part;
    Vec3 position;     // final space
    Vec3 design;       // design space
    Vec3 normal;       // interpolated vertex normal, unit
    Vec3 gradU, gradV; // surface gradients of the island's u and v
    double u, v;
};

using Shader = std::function<Vec3(const SurfaceSample&)>;

// Rasterises every triangle into a size x size atlas through its texture
// coordinates, shades each covered texel, and fills the texels outside the
// islands from their nearest neighbours so that smaller mip levels keep the
// islands' colours at their borders.
Image BakeAtlas(const GenMesh& mesh, int size, const Shader& shade);

// Object-space normals with feather, eye and beak relief: x to red, z to
// green, y to blue, each from [-1, 1] to [0, 1].
Vec3 NormalMapTexel(const SurfaceSample& sample);
Vec3 DecodeNormal(Vec3 texel);

// Back to unit length after the fill between islands averaged neighbours.
void RenormalizeNormalMap(Image& image);

// Kestrel plumage, bare parts and the stand.
Vec3 DiffuseTexel(const SurfaceSample& sample);
