#include "demo/KestrelDemo.h"

#include <GLES/gl.h>

#include "demo/GlesVersion.h"
#include "demo/SceneAssets.h"
#include "math/Fixed.h"

using namespace trellis;

namespace {

// Linear magnification, linear minification from the nearest mip level.
constexpr uint32_t kTextureFilter = 2;
// 25 degrees as the scene has always computed it: 25 * 3.14 / 180.
constexpr float kFieldOfView = 0.43611112f;
constexpr float kNearPlane = 10.0f;
constexpr float kFarPlane = 10000.0f;
constexpr GLfixed kOne = 0x10000;

// Khronos' ES headers spell the combiner sources GL_SRC0_RGB / GL_SRC1_RGB
// (the values of GL_SOURCE0_RGB / GL_SOURCE1_RGB).
void TexEnv(GLenum name, GLenum value)
{
    glTexEnvx(GL_TEXTURE_ENV, name, static_cast<GLfixed>(value));
}

void UseUnit(GLenum unit, uint32_t texture)
{
    glActiveTexture(unit);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void MultMatrixFixed(const Matrix4* matrix)
{
    GLfixed fixed[16];
    MatrixToFixed(fixed, matrix);
    glMultMatrixx(fixed);
}

// Negation and increment wrap instead of overflowing after 2^31 frames.
int32_t WrappingNegate(int32_t value)
{
    return static_cast<int32_t>(0u - static_cast<uint32_t>(value));
}

int32_t WrappingIncrement(int32_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);
}

} // namespace

KestrelDemo::~KestrelDemo()
{
    MeshFreeFixed(modelMesh);
    MeshFreeFixed(backdropMesh);
}

int32_t KestrelDemo::InitApp(int32_t, char**, int32_t, int32_t)
{
    return 1;
}

const TrellisAppOption* KestrelDemo::GetAppOptions() const
{
    static constexpr TrellisAppOption kNone[] = {{nullptr, nullptr, nullptr}};
    return kNone;
}

int32_t KestrelDemo::QuitApp()
{
    return 1;
}

int32_t KestrelDemo::InitScene(int32_t width, int32_t height)
{
    viewWidth = static_cast<uint32_t>(width);
    viewHeight = static_cast<uint32_t>(height);
    if (!glyphon.Initialise(width, height)) {
        ShellLog("ERROR: Cannot initialise Glyphon\n");
        return 0;
    }
    if (LoadTextures() == 0) {
        return 0;
    }
    // The fixed-point meshes are plain memory and outlive a lost context.
    if (!IsRecovering()) {
        modelMesh = MeshToFixed(KestrelModelMesh());
        backdropMesh = MeshToFixed(KestrelBackdropMesh());
    }
    if (DetectCombiners() == 0) {
        ShellLog("Can't run this demo without Combiners or XAN_Texture_Ext\n");
        return 0;
    }
    SetUpProjection(width, height);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glEnable(GL_DEPTH_TEST);
    return 1;
}

int32_t KestrelDemo::LoadTextures()
{
    struct Load {
        const TextureHeader* block;
        uint32_t* name;
        const char* failure;
    };
    const Load loads[] = {
        {NewNormalMapTexture(), &texNormalMap, "Error loading texture: newnormalmap"},
        {NewDiffuseTexture(), &texDiffuse, "Error loading texture: newdiffuse"},
        {SeamlessTexture(), &texSeamless, "Error loading texture: seamless"},
        {ZELlogoTexture(), &texLogo, "Error loading texture: ZELlogo"},
    };
    for (const Load& load : loads) {
        if (TrellisLoadTextureFromHeader(load.block, kTextureFilter, load.name) != 0) {
            ShellLog("%s", load.failure);
            return 0;
        }
    }
    return 1;
}

// Combine is core from ES 1.1 on, so the version counts as much as the extension.
int32_t KestrelDemo::DetectCombiners()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    hasCombine = (IsGLExtensionSupported("GL_ARB_texture_env_combine") != 0 || GlesHasCoreCombine(version)) ? 1 : 0;
    hasEnhancedFixedFunction = IsGLExtensionSupported("GL_XAN_texture_env_enhanced_fixed_function");
    return hasCombine != 0 || hasEnhancedFixedFunction != 0 ? 1 : 0;
}

// A portrait screen used full screen is drawn turned, so the scene keeps its
// landscape framing; the aspect then follows the turned sides.
void KestrelDemo::SetUpProjection(int32_t width, int32_t height)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (IsPortrait() && IsFullScreen()) {
        glRotatex(0x5A0000, 0, 0, kOne);
        viewWidth = static_cast<uint32_t>(height);
        viewHeight = static_cast<uint32_t>(width);
    }
    const float aspect = static_cast<float>(viewWidth) / static_cast<float>(viewHeight);
    MatrixPerspectiveFovRH(&projection, kFieldOfView, aspect, kNearPlane, kFarPlane);
    MultMatrixFixed(&projection);
}

// A framed window resized by its user keeps showing the whole scene: the
// projection and the text follow the new surface (RenderFrame's viewport
// reads the size from ShellData).
void KestrelDemo::HandleEvent(const TrellisEvent& event)
{
    if (event.kind != TrellisEventKind::Resize) {
        return;
    }
    viewWidth = static_cast<uint32_t>(event.width);
    viewHeight = static_cast<uint32_t>(event.height);
    glyphon.Initialise(event.width, event.height);
    SetUpProjection(event.width, event.height);
}

void KestrelDemo::ReleaseScene()
{
    glyphon.ReleaseResources();
    TrellisDeleteTexture(texDiffuse);
    TrellisDeleteTexture(texNormalMap);
    TrellisDeleteTexture(texSeamless);
    TrellisDeleteTexture(texLogo);
    if (!IsRecovering()) {
        MeshFreeFixed(modelMesh);
        MeshFreeFixed(backdropMesh);
        modelMesh = nullptr;
        backdropMesh = nullptr;
    }
}

int32_t KestrelDemo::RenderFrame()
{
    glViewport(0, 0, GetWidth(), GetHeight());
    glClearColorx(0, 0, 0, kOne);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    if (SetUpModelUnits() == 0) {
        ShellLog("Error, neither combiners nor GL_XAN_texture_env_enhanced_fixed_function present\n");
        return 0;
    }

    const float angle = static_cast<float>(WrappingNegate(frameCounter)) / 100.0f;
    MatrixRotationY(&modelView, angle);
    const Vector3 light{-1.0f, 1.0f, -1.0f};
    SetLightColour(&modelView, &light);
    LoadModelView();
    DrawMesh(modelMesh, 2);

    SetUpBackdropUnits();
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
    glColor4x(kOne, kOne, kOne, kOne);
    DrawMesh(backdropMesh, 1);

    glyphon.ShowTitleBlock("Kestrel", "DOT3 per-pixel lighting", kLogoFirst);
    glyphon.Flush();
    frameCounter = WrappingIncrement(frameCounter);
    return 0;
}

// Unit 0: DOT3 of the normal-map texel with the primary colour (the light).
// Unit 1: that result times the diffuse texel. Operands stay GL_SRC_COLOR.
int32_t KestrelDemo::SetUpModelUnits()
{
    UseUnit(GL_TEXTURE0, texNormalMap);
    if (hasCombine != 0) {
        TexEnv(GL_TEXTURE_ENV_MODE, GL_COMBINE);
        TexEnv(GL_COMBINE_RGB, GL_DOT3_RGBA);
        TexEnv(GL_SRC0_RGB, GL_TEXTURE);
        TexEnv(GL_SRC1_RGB, GL_PREVIOUS);
    } else if (hasEnhancedFixedFunction != 0) {
        TexEnv(GL_TEXTURE_ENV_MODE, GL_DOT3_RGBA);
    } else {
        return 0;
    }
    UseUnit(GL_TEXTURE1, texDiffuse);
    if (hasCombine != 0) {
        // The mode stays at its initial modulate, which forms the same product.
        TexEnv(GL_COMBINE_RGB, GL_MODULATE);
        TexEnv(GL_SRC0_RGB, GL_TEXTURE);
        TexEnv(GL_SRC1_RGB, GL_PREVIOUS);
    } else {
        TexEnv(GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    return 1;
}

// The backdrop shows its texture under a white colour. The combiner values set
// here only matter once the next frame switches unit 0 back to combine.
void KestrelDemo::SetUpBackdropUnits()
{
    UseUnit(GL_TEXTURE0, texSeamless);
    if (hasCombine != 0) {
        TexEnv(GL_TEXTURE_ENV_MODE, GL_MODULATE);
        TexEnv(GL_COMBINE_RGB, GL_REPLACE);
        TexEnv(GL_SRC0_RGB, GL_TEXTURE);
        TexEnv(GL_SRC1_RGB, GL_PREVIOUS);
    } else if (hasEnhancedFixedFunction != 0) {
        TexEnv(GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
}

// The light direction in the model's own space, encoded as the normal map
// encodes normals (x in red, z in green, y in blue, each mapped to [0, 1]), so
// that DOT3 yields the cosine between normal and light.
void KestrelDemo::SetLightColour(const Matrix4* rotation, const Vector3* light)
{
    Vector3 direction;
    Vector3Normalize(&direction, light);
    Matrix4 inverse;
    MatrixIdentity(&inverse);
    MatrixInverseAffine(&inverse, rotation);
    float colour[3];
    for (int j = 0; j < 3; ++j) {
        const float objectSpace =
            (direction.x * inverse.m[j] + direction.y * inverse.m[4 + j]) + direction.z * inverse.m[8 + j];
        colour[j] = objectSpace * 0.5f + 0.5f;
    }
    glColor4x(FloatToFixed(colour[0]), FloatToFixed(colour[2]), FloatToFixed(colour[1]), 0);
}

// The rotation followed by the view, handed to GL in fixed point.
void KestrelDemo::LoadModelView()
{
    Matrix4 view;
    MatrixLookAtRH(&view, &eye, &target, &up);
    MatrixMultiply(&modelView, &modelView, &view);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    MultMatrixFixed(&modelView);
}

// Both units sample with the one coordinate set; every vertex takes the
// current colour.
void KestrelDemo::DrawMesh(const MeshDataFixed* mesh, int32_t textureUnits)
{
    if (mesh == nullptr) {
        return;
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FIXED, 0, mesh->positions);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FIXED, 0, mesh->texCoords);
    if (textureUnits > 1) {
        glClientActiveTexture(GL_TEXTURE1);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FIXED, 0, mesh->texCoords);
    }
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(3 * mesh->faceCount), GL_UNSIGNED_SHORT, mesh->indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (textureUnits > 1) {
        glClientActiveTexture(GL_TEXTURE1);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}
