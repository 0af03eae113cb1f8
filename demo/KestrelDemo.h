#pragma once
#include <cstdint>

#include "demo/MeshData.h"
#include "math/Matrix.h"
#include "math/Vector3.h"
#include "shell/TrellisApp.h"
#include "text/Glyphon.h"

// The Kestrel demo: a kestrel figure turning about its vertical axis, lit per
// pixel by DOT3 bump mapping in the fixed-function texture combiner, in front
// of a textured backdrop cylinder, with the title block on top.
//
// Texture unit 0 takes the dot product of the object-space normal map with the
// light direction, which arrives as the primary colour; unit 1 multiplies the
// result by the diffuse texture. The light is moved into the model's space once
// per frame, so every vertex shares one colour.
class KestrelDemo : public trellis::TrellisApp {
public:
    KestrelDemo() = default;
    // Frees the fixed-point meshes only if the scene was never released (a
    // start that failed after copying them); everything else is ReleaseScene's.
    ~KestrelDemo() override;

    int32_t InitApp(int32_t argCount, char** args, int32_t width, int32_t height) override;
    int32_t InitScene(int32_t width, int32_t height) override;
    void ReleaseScene() override;
    int32_t QuitApp() override;
    int32_t RenderFrame() override;
    void HandleEvent(const trellis::TrellisEvent& event) override;
    // The demo takes no options of its own: every token is a shell option.
    const trellis::TrellisAppOption* GetAppOptions() const override;

protected:
    int32_t LoadTextures();
    int32_t DetectCombiners();
    void SetUpProjection(int32_t width, int32_t height);
    // Units 0 and 1 for the lit model; 0 when no combiner path exists.
    int32_t SetUpModelUnits();
    void SetUpBackdropUnits();
    void SetLightColour(const trellis::Matrix4* rotation, const trellis::Vector3* light);
    void LoadModelView();
    void DrawMesh(const MeshDataFixed* mesh, int32_t textureUnits);

    trellis::GlyphonContext glyphon;
    uint32_t texDiffuse = 0;
    uint32_t texNormalMap = 0;
    uint32_t texSeamless = 0;
    uint32_t texLogo = 0;
    uint32_t viewWidth = 0;
    uint32_t viewHeight = 0;
    int32_t frameCounter = 0;
    trellis::Vector3 eye{5.0f, -25.0f, -135.0f};
    trellis::Vector3 target{0.0f, 7.0f, 0.0f};
    trellis::Vector3 up{0.0f, 1.0f, 0.0f};
    trellis::Matrix4 projection{};
    trellis::Matrix4 modelView{};
    MeshDataFixed* modelMesh = nullptr;
    MeshDataFixed* backdropMesh = nullptr;
    int32_t hasCombine = 0;
    int32_t hasEnhancedFixedFunction = 0;
};
