#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "Vec.h"

// The mesh under construction: parts (each one island of the texture atlas),
// their vertices with both the atlas coordinates and the part's own (u, v),
// and counter-clockwise triangles.

enum class Material { Body, Beak, Eye, Wing, Tail, Leg, Toe, Claw, Wood, Stone, Backdrop };

struct GenVertex {
    Vec3 p;             // position (final space once Finish has run)
    Vec3 design;        // position as designed, before fitting to the extents
    Vec3 n;             // unit normal
    double u = 0, v = 0;  // place inside the part's island, [0, 1]
    double s = 0, t = 0;  // atlas coordinates
    int part = 0;
    int normalGroup = 0;  // vertices share normals only within one group
    int poleRing = -1;    // for the tip of a tube: first vertex of the ring next to it
    int poleRingSize = 0;
};

struct GenPart {
    Material material;
    int side;             // -1 / +1 for paired parts, 0 otherwise
    double density;       // relative texel density in the atlas
    double width = 0, height = 0;  // physical size of the island
    int atlasX = 0, atlasY = 0, atlasW = 0, atlasH = 0;  // island rectangle in atlas texels
};

struct GenMesh {
    std::vector<GenVertex> vertices;
    std::vector<std::array<int, 3>> triangles;
    std::vector<GenPart> parts;
    int groups = 0;
};

using Surface = std::function<Vec3(double u, double v)>;

int AddPart(GenMesh& mesh, Material material, int side, double density);

// A tube of `segments` around (u, seam duplicated) and `rings` along v;
// closed ends collapse into one pole vertex each. `inside` is a point inside
// the part; triangles are turned so that they face away from it.
void AddTube(GenMesh& mesh, int part, int segments, int rings, bool poles, const Surface& surface, Vec3 inside);

// A faceted prism around `axis`: `facets` flat sides for each band of the
// profile (corner radius, height) pairs; every facet and band has its own
// vertices so that edges stay sharp.
struct Lathe {
    Vec3 origin, axis, across, across2;  // axis frame (unit vectors)
};
void AddFacetedLathe(GenMesh& mesh, int part, int facets, const std::vector<std::array<double, 2>>& profile,
                     const Lathe& frame, double angleOffset);
// A flat polygon across the axis at `height`, facing along the axis when
// `facingAxis` (the top of a prism), against it otherwise.
void AddCap(GenMesh& mesh, int part, int facets, double radius, double height, const Lathe& frame,
            double angleOffset, bool facingAxis);

// Fits the designed positions into the box [lo, hi] axis by axis, computes
// normals from the final geometry and lays the islands out in the atlas.
void Finish(GenMesh& mesh, Vec3 lo, Vec3 hi, int atlasSize, int padding);

// Area-weighted smooth normals within each normal group.
void ComputeNormals(GenMesh& mesh);
