#include "demo/SceneAssets.h"

#include <cstring>

#include "demo/MeshFile.h"
#include "shell/LittleEndian.h"

using namespace trellis;

// The asset files, linked in by trellis_embed (16-byte aligned).
extern "C" {
extern const unsigned char kestrel_model_mesh[];
extern const unsigned int kestrel_model_mesh_size;
extern const unsigned char kestrel_backdrop_mesh[];
extern const unsigned int kestrel_backdrop_mesh_size;
extern const unsigned char kestrel_newnormalmap[];
extern const unsigned int kestrel_newnormalmap_size;
extern const unsigned char kestrel_newdiffuse[];
extern const unsigned int kestrel_newdiffuse_size;
extern const unsigned char kestrel_seamless[];
extern const unsigned int kestrel_seamless_size;
extern const unsigned char kestrel_zellogo[];
extern const unsigned int kestrel_zellogo_size;
}

namespace {

const TextureHeader* AsHeader(const unsigned char* block)
{
    return reinterpret_cast<const TextureHeader*>(block);
}

}  // namespace

MeshData MeshRecordFromFile(const unsigned char* file, uint32_t size)
{
    MeshData mesh{};
    if (size < kMeshFileHeaderSize || std::memcmp(file, kMeshFileMagic, 4) != 0) {
        return mesh;
    }
    const uint32_t v = ReadLittleEndian32(file + 4);
    const uint32_t f = ReadLittleEndian32(file + 8);
    if (MeshFileSize(v, f) != size) {
        return mesh;
    }
    const float* values = reinterpret_cast<const float*>(file + kMeshFileHeaderSize);
    mesh.vertexCount = v;
    mesh.faceCount = f;
    mesh.flags = ReadLittleEndian32(file + 12);
    mesh.reserved1 = static_cast<int32_t>(ReadLittleEndian32(file + 16));
    std::memcpy(mesh.center, file + 20, sizeof mesh.center);
    mesh.positions = values;
    mesh.texCoords = values + 3 * uint64_t(v);
    mesh.normals = values + 5 * uint64_t(v);
    mesh.indices = reinterpret_cast<const uint16_t*>(values + 8 * uint64_t(v));
    return mesh;
}

const MeshData* KestrelModelMesh()
{
    static const MeshData mesh = MeshRecordFromFile(kestrel_model_mesh, kestrel_model_mesh_size);
    return &mesh;
}

const MeshData* KestrelBackdropMesh()
{
    static const MeshData mesh = MeshRecordFromFile(kestrel_backdrop_mesh, kestrel_backdrop_mesh_size);
    return &mesh;
}

const TextureHeader* NewNormalMapTexture()
{
    return AsHeader(kestrel_newnormalmap);
}

const TextureHeader* NewDiffuseTexture()
{
    return AsHeader(kestrel_newdiffuse);
}

const TextureHeader* SeamlessTexture()
{
    return AsHeader(kestrel_seamless);
}

const TextureHeader* ZELlogoTexture()
{
    return AsHeader(kestrel_zellogo);
}

uint32_t SceneTextureBlockSize(const TextureHeader* block)
{
    if (block == NewNormalMapTexture()) {
        return kestrel_newnormalmap_size;
    }
    if (block == NewDiffuseTexture()) {
        return kestrel_newdiffuse_size;
    }
    if (block == SeamlessTexture()) {
        return kestrel_seamless_size;
    }
    if (block == ZELlogoTexture()) {
        return kestrel_zellogo_size;
    }
    return 0;
}
