#pragma once
#include <cstdint>

// A compiled-in mesh. The same record shape serves the float form, which is
// constant program data, and the 16.16 fixed-point form that GL draws from;
// only the value type of `center` and the numeric arrays differs.
template <typename Value>
struct MeshRecord {
    uint32_t vertexCount;
    uint32_t faceCount;
    uint32_t reserved0;       // not read; 0 in the compiled-in meshes
    uint32_t flags;           // bits 0 and 1 size `interleaved`
    int32_t reserved1;        // not read; 0 for the model, -1 for the backdrop
    Value center[3];
    const Value* positions;   // x, y, z per vertex
    const Value* texCoords;   // s, t per vertex; may be null
    const Value* normals;     // unit normal per vertex; may be null
    const Value* interleaved; // InterleavedValueCount values; may be null
    uint32_t reserved2[2];    // not read
    const uint16_t* indices;  // three per triangle, counter-clockwise front faces
    uint32_t reserved3[8];    // not read
};

using MeshData = MeshRecord<float>;
using MeshDataFixed = MeshRecord<int32_t>;

constexpr uint32_t kMeshInterleavedBit0 = 0x1;
constexpr uint32_t kMeshInterleavedBit1 = 0x2;

// Number of values in the interleaved array of a mesh with `vertexCount`
// vertices: 3V, plus 3V for each of the two low flag bits, plus 2V when either
// is set. Computed in 64 bits so that no vertex count can wrap it.
uint64_t InterleavedValueCount(uint32_t flags, uint32_t vertexCount);

// Makes a fixed-point copy of a float-form mesh. The copy owns its numeric
// arrays and shares the source's index array, which is never freed. Returns
// null for a null source or when memory runs out (nothing is leaked then).
MeshDataFixed* MeshToFixed(const MeshData* source);

// Frees a copy made by MeshToFixed and the arrays it owns; null is a no-op.
void MeshFreeFixed(MeshDataFixed* mesh);
