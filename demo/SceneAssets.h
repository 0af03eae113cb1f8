#pragma once
#include <cstdint>

#include "demo/MeshData.h"
#include "shell/TextureHeader.h"

// The scene's compiled-in data. Everything returned is constant program data
// that lives as long as the program and is never freed.

// The lit kestrel figure and the open backdrop cylinder around it, in float
// form (convert them with MeshToFixed before drawing).
const MeshData* KestrelModelMesh();
const MeshData* KestrelBackdropMesh();

// The float-form record over a mesh file (demo/MeshFile.h) whose arrays are
// used in place, so `file` must be 4-byte aligned and outlive the record. A
// file that does not hold exactly what its header promises gives an empty
// record (no vertices, null arrays) rather than pointers past its end.
MeshData MeshRecordFromFile(const unsigned char* file, uint32_t size);

// Texture blocks: a TextureHeader followed by every mip level, ready for
// TrellisLoadTextureFromHeader.
const trellis::TextureHeader* NewNormalMapTexture();  // object-space normals of the figure
const trellis::TextureHeader* NewDiffuseTexture();    // the figure's plumage and base
const trellis::TextureHeader* SeamlessTexture();      // panorama around the backdrop
const trellis::TextureHeader* ZELlogoTexture();       // logo, rows stored bottom-up

// Bytes embedded for one of the four blocks above (header and all levels);
// 0 for any other pointer.
uint32_t SceneTextureBlockSize(const trellis::TextureHeader* block);
