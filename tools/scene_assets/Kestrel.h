#pragma once
#include "GenMesh.h"

// The perched kestrel on its stand, and the backdrop cylinder around it.
constexpr int kKestrelVertices = 1260;
constexpr int kKestrelTriangles = 1492;
constexpr int kAtlasSize = 512;

// Returns false when no choice of tessellation meets the exact counts.
bool BuildKestrel(GenMesh& mesh);
void BuildBackdrop(GenMesh& mesh);
// The backdrop's reference point is the centre of its base, on the y axis.
constexpr double kBackdropBottom = -27.53;
