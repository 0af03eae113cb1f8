#include "demo/MeshData.h"

#include <new>

#include "math/Fixed.h"

using namespace trellis;

uint64_t InterleavedValueCount(uint32_t flags, uint32_t vertexCount)
{
    const uint64_t v = vertexCount;
    uint64_t count = 3 * v;
    if (flags & kMeshInterleavedBit0) {
        count += 3 * v;
    }
    if (flags & kMeshInterleavedBit1) {
        count += 3 * v;
    }
    if (flags & (kMeshInterleavedBit0 | kMeshInterleavedBit1)) {
        count += 2 * v;
    }
    return count;
}

namespace {

// Converts `count` floats into a new array; an absent or empty source gives
// null. `failed` is set when the allocation does not succeed.
const int32_t* ConvertArray(const float* source, uint64_t count, bool& failed)
{
    if (source == nullptr || count == 0) {
        return nullptr;
    }
    int32_t* values = new (std::nothrow) int32_t[count];
    if (values == nullptr) {
        failed = true;
        return nullptr;
    }
    for (uint64_t i = 0; i < count; ++i) {
        values[i] = FloatToFixed(source[i]);
    }
    return values;
}

}  // namespace

MeshDataFixed* MeshToFixed(const MeshData* source)
{
    if (source == nullptr) {
        return nullptr;
    }
    MeshDataFixed* mesh = new (std::nothrow) MeshDataFixed{};
    if (mesh == nullptr) {
        return nullptr;
    }
    for (int i = 0; i < 3; ++i) {
        mesh->center[i] = FloatToFixed(source->center[i]);
    }
    mesh->vertexCount = source->vertexCount;
    mesh->faceCount = source->faceCount;
    mesh->reserved0 = source->reserved0;
    mesh->flags = source->flags;
    mesh->reserved1 = source->reserved1;

    const uint64_t v = source->vertexCount;
    bool failed = false;
    mesh->positions = ConvertArray(source->positions, 3 * v, failed);
    mesh->texCoords = ConvertArray(source->texCoords, 2 * v, failed);
    mesh->normals = ConvertArray(source->normals, 3 * v, failed);
    mesh->interleaved =
        ConvertArray(source->interleaved, InterleavedValueCount(source->flags, source->vertexCount), failed);

    mesh->reserved2[0] = source->reserved2[0];
    mesh->reserved2[1] = source->reserved2[1];
    mesh->indices = source->indices;
    for (int i = 0; i < 8; ++i) {
        mesh->reserved3[i] = source->reserved3[i];
    }
    if (failed) {
        MeshFreeFixed(mesh);
        return nullptr;
    }
    return mesh;
}

void MeshFreeFixed(MeshDataFixed* mesh)
{
    if (mesh == nullptr) {
        return;
    }
    delete[] mesh->positions;
    delete[] mesh->texCoords;
    delete[] mesh->normals;
    delete[] mesh->interleaved;
    delete mesh;
}
