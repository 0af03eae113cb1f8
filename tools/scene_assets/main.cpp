// Makes the Kestrel scene's compiled-in meshes and textures, and pictures of
// them, from code alone. The same build run twice writes the same bytes.
//
//   scene_assets <asset folder> [<picture folder>]
//
// From the repository root, after a build: build/tools/scene_assets/scene_assets demo/assets docs

#include <cstdio>
#include <string>

#include "Bake.h"
#include "Kestrel.h"
#include "Output.h"
#include "Scenery.h"

namespace {

bool Write(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes)
{
    const std::string path = folder + "/" + name;
    if (!WriteFile(path, bytes)) {
        std::fprintf(stderr, "scene_assets: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool Picture(const std::string& folder, const char* name, const Image& image, bool bottomUp)
{
    const std::string path = folder + "/" + name;
    if (!WritePng(path, image, bottomUp)) {
        std::fprintf(stderr, "scene_assets: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: scene_assets <asset folder> [<picture folder>]\n");
        return 2;
    }
    const std::string assets = argv[1];

    GenMesh kestrel;
    if (!BuildKestrel(kestrel)) {
        std::fprintf(stderr, "scene_assets: no tessellation meets the kestrel's vertex and triangle counts\n");
        return 1;
    }
    GenMesh backdrop;
    BuildBackdrop(backdrop);

    Image normals = BakeAtlas(kestrel, kAtlasSize, NormalMapTexel);
    RenormalizeNormalMap(normals);
    const Image diffuse = BoxHalve(BakeAtlas(kestrel, kAtlasSize, DiffuseTexel));
    const Image panorama = Panorama(512, 256);
    const Image logo = Logo(128);

    bool ok = Write(assets, "kestrel.mesh", MeshFileBytes(kestrel, 0, BoundingBoxCenter(kestrel))) &&
              Write(assets, "backdrop.mesh", MeshFileBytes(backdrop, -1, {0, kBackdropBottom, 0})) &&
              Write(assets, "newnormalmap.tex", TextureBlock565(normals)) &&
              Write(assets, "newdiffuse.tex", TextureBlock565(diffuse)) &&
              Write(assets, "seamless.tex", TextureBlock565(panorama)) &&
              Write(assets, "ZELlogo.tex", TextureBlock565(logo));
    if (ok && argc == 3) {
        const std::string docs = argv[2];
        const Image storedDiffuse = Quantize565(diffuse), storedNormals = Quantize565(normals);
        const Camera front{{60, 30, -80}, {1.7, 2.5, 3.6}, {0, 1, 0}, 0.62, 480, 560};
        const Image render = RenderFigure(kestrel, storedDiffuse, storedNormals, {0.6, 0.7, -0.8}, front);
        const Camera back{{-40, 22, 95}, {1.7, 2.5, 3.6}, {0, 1, 0}, 0.62, 480, 560};
        const Image behind = RenderFigure(kestrel, storedDiffuse, storedNormals, {-0.2, 0.6, 1.0}, back);
        ok = Picture(docs, "kestrel_render.png", render, false) &&
             Picture(docs, "kestrel_render_back.png", behind, false) &&
             Picture(docs, "kestrel_normalmap.png", storedNormals, true) &&
             Picture(docs, "kestrel_diffuse.png", storedDiffuse, true) &&
             Picture(docs, "seamless.png", Quantize565(panorama), true) &&
             Picture(docs, "zellogo.png", Quantize565(logo), true);
    }
    return ok ? 0 : 1;
}
