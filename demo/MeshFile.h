#pragma once
#include <cstdint>

// The binary form in which the compiled-in meshes are stored under demo/assets
// and embedded as they are. Little-endian, 4-byte aligned throughout:
//
//   offset  0  "KMSH"
//           4  vertexCount V          (uint32)
//           8  faceCount F            (uint32)
//          12  flags                  (uint32)
//          16  reserved1              (int32: 0 for the model, -1 for the backdrop)
//          20  center x, y, z         (3 floats)
//          32  positions              (3V floats)
//              texCoords              (2V floats)
//              normals                (3V floats)
//              indices                (3F uint16, counter-clockwise front faces)
//
// Nothing follows the indices, so a file is exactly MeshFileSize(V, F) bytes.
constexpr char kMeshFileMagic[4] = {'K', 'M', 'S', 'H'};
constexpr uint32_t kMeshFileHeaderSize = 32;

constexpr uint64_t MeshFileSize(uint64_t vertexCount, uint64_t faceCount)
{
    return kMeshFileHeaderSize + vertexCount * (3 + 2 + 3) * 4 + faceCount * 3 * 2;
}
