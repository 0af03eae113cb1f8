// kestrel-bare: the Kestrel frame written plainly against EGL and GLES 1.x,
// with no framework, as the reference the demo's frame cost is measured
// against. It issues the same GL work per frame as the demo on Mesa (the
// texture-combine path): the same state changes and combiner calls, the same
// fixed-point meshes, textures, text quads and logo. Everything a frame does
// not need to recompute is prepared once: the view matrix, the text vertices,
// the quad indices.
//
// It reuses the compiled-in asset bytes (meshes, textures, glyph atlas and
// metric tables, logo) and nothing else of the framework.
//
// Usage: kestrel-bare [-width=W] [-height=H] [-qaf=N]   (N + 1 frames; default 640 x 480, 100)
// Renders on Mesa's surfaceless EGL platform into a pbuffer, like the headless shell.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES/gl.h>
#include <GLES/glext.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "text/GlyphMetrics.h"
#include "text/GlyphonAssets.h"

using namespace trellis;

extern "C" {
extern const unsigned char kestrel_model_mesh[];
extern const unsigned char kestrel_backdrop_mesh[];
extern const unsigned char kestrel_newnormalmap[];
extern const unsigned char kestrel_newdiffuse[];
extern const unsigned char kestrel_seamless[];
extern const unsigned char kestrel_zellogo[];
}

namespace {

int32_t ToFixed(float value)
{
    return static_cast<int32_t>(static_cast<double>(value) * 65536.0);
}

uint32_t ReadWord(const unsigned char* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// A mesh in the form GL draws: positions and texture coordinates in 16.16.
struct Mesh {
    std::vector<GLfixed> positions;
    std::vector<GLfixed> texCoords;
    std::vector<GLfixed> normals;
    const uint16_t* indices = nullptr;
    GLsizei indexCount = 0;
};

// The mesh files are "KMSH", vertex and face counts, flags, one word, the
// centre, then positions, texture coordinates, normals (floats) and indices.
Mesh LoadMesh(const unsigned char* file)
{
    const uint32_t vertices = ReadWord(file + 4);
    const uint32_t faces = ReadWord(file + 8);
    const float* values = reinterpret_cast<const float*>(file + 32);
    Mesh mesh;
    for (uint32_t i = 0; i < 3 * vertices; ++i) {
        mesh.positions.push_back(ToFixed(values[i]));
        mesh.normals.push_back(ToFixed(values[5 * vertices + i]));
    }
    for (uint32_t i = 0; i < 2 * vertices; ++i) {
        mesh.texCoords.push_back(ToFixed(values[3 * vertices + i]));
    }
    mesh.indices = reinterpret_cast<const uint16_t*>(values + 8 * vertices);
    mesh.indexCount = GLsizei(3 * faces);
    return mesh;
}

// A texture block: a 44-byte header (size, height, width, levels after the
// first, flags, ...) and every level of RGB 5:6:5 texels.
GLuint LoadMipmappedTexture(const unsigned char* block)
{
    const uint32_t headerSize = ReadWord(block);
    uint32_t height = ReadWord(block + 4);
    uint32_t width = ReadWord(block + 8);
    const uint32_t levels = ReadWord(block + 12) + 1;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const unsigned char* texels = block + headerSize;
    for (uint32_t level = 0; level < levels; ++level) {
        glTexImage2D(GL_TEXTURE_2D, GLint(level), GL_RGB, GLsizei(width), GLsizei(height), 0, GL_RGB,
                     GL_UNSIGNED_SHORT_5_6_5, texels);
        texels += 2 * width * height;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    return name;
}

GLuint LoadLinearTexture(GLsizei size, GLenum format, GLenum type, const void* texels)
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), size, size, 0, format, type, texels);
    return name;
}

// White glyphs whose alpha is the top four bits of the atlas coverage.
GLuint LoadFontTexture()
{
    std::vector<uint16_t> texels(256 * 256);
    for (size_t i = 0; i < texels.size(); ++i) {
        texels[i] = uint16_t(0xFFF0 | (trellis_glyphon_font_atlas[i] >> 4));
    }
    return LoadLinearTexture(256, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, texels.data());
}

// The window-frame images are uploaded like the text library does, though the
// frame never draws them, so that start-up does the same work.
GLuint LoadFrameTexture(const unsigned char* image)
{
    uint16_t texels[256];
    for (int i = 0; i < 256; ++i) {
        const unsigned word = image[16 + 2 * i] | image[17 + 2 * i] << 8;
        texels[i] = uint16_t((word & 0xF) << 12 | ((word >> 4) & 0xF) << 8 | ((word >> 8) & 0xF) << 4 |
                             (15 - (word >> 12)));
    }
    return LoadLinearTexture(16, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, texels);
}

struct TextVertex {
    GLfixed x, y, z;
    uint8_t colour[4];
    GLfixed s, t;
};

// Lays out one line of the large font at (x, y) percent of the screen, four
// vertices per glyph, as the demo's title block does.
void LayOutLine(std::vector<TextVertex>& out, const char* text, float x, float y, float scale, uint32_t colour,
                float sx, float sy)
{
    const GlyphFont& font = kGlyphLargeFont;
    const float unit = sx * 255.0f * scale;
    const float lineHeight = sy * 27.0f * scale;
    float penX = sx * (x * 6.4f);
    const float penY = sy * (y * 4.8f);
    const uint8_t rgba[4] = {uint8_t(colour), uint8_t(colour >> 8), uint8_t(colour >> 16), uint8_t(colour >> 24)};
    for (const char* c = text; *c != 0; ++c) {
        const auto code = static_cast<unsigned char>(*c);
        if (code == ' ') {
            penX += sx * 10.0f * scale;
            continue;
        }
        const float u = font.u[code], w = font.w[code];
        const float top = font.v[code] - 0.0043478f;
        const float bottom = top - 0.11372549f;
        const float right = penX + w * unit;
        const float corners[4][4] = {{penX, penY, u, top},
                                     {right, penY, u + w, top},
                                     {penX, penY + lineHeight, u, bottom},
                                     {right, penY + lineHeight, u + w, bottom}};
        for (const auto& corner : corners) {
            TextVertex vertex{ToFixed(corner[0]), ToFixed(corner[1]), 0, {}, ToFixed(corner[2]), ToFixed(corner[3])};
            std::memcpy(vertex.colour, rgba, 4);
            out.push_back(vertex);
        }
        penX += (code >= '0' && code <= '9' ? font.w[static_cast<unsigned char>('0')] : w) * unit;
    }
}

// The logo quad in the bottom-right corner, in normalised device coordinates.
struct Logo {
    GLfixed positions[12];
    GLfixed colours[16];
    GLfixed texCoords[8];
};

Logo MakeLogo()
{
    const float left = 0.65f, right = 0.95f, bottom = -0.95f, top = -0.95f + 0.234375f;
    const float corners[4][2] = {{left, top}, {left, bottom}, {right, top}, {right, bottom}};
    const float st[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    Logo logo{};
    for (int v = 0; v < 4; ++v) {
        logo.positions[3 * v] = ToFixed(corners[v][0]);
        logo.positions[3 * v + 1] = ToFixed(corners[v][1]);
        logo.positions[3 * v + 2] = ToFixed(0.5f);
        logo.colours[4 * v] = logo.colours[4 * v + 1] = logo.colours[4 * v + 2] = 0x10000;
        logo.colours[4 * v + 3] = ToFixed(0.75f);
        logo.texCoords[2 * v] = ToFixed(st[v][0]);
        logo.texCoords[2 * v + 1] = ToFixed(st[v][1]);
    }
    return logo;
}

struct Scene {
    int width = 640, height = 480;
    GLuint normalMap = 0, diffuse = 0, seamless = 0, zelLogo = 0;
    GLuint font = 0, frames[4] = {}, logos[2] = {};
    Mesh model, backdrop;
    float view[16] = {};
    std::vector<TextVertex> text;
    std::vector<uint16_t> textIndices;
    GLfixed textMatrix[16] = {};
    Logo logo{};
};

// The camera never moves, so the view is built once: look from the eye at the
// target, rows of a matrix acting on row vectors.
void BuildView(float* m)
{
    const float eye[3] = {5.0f, -25.0f, -135.0f}, target[3] = {0.0f, 7.0f, 0.0f};
    float f[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    const float k = float(1.0 / std::sqrt(double((f[0] * f[0] + f[1] * f[1]) + f[2] * f[2])));
    for (float& c : f) {
        c *= k;
    }
    const float side[3] = {-f[2], 0.0f, f[0]};  // forward x (0, 1, 0)
    const float up[3] = {side[1] * f[2] - side[2] * f[1], side[2] * f[0] - side[0] * f[2],
                         side[0] * f[1] - side[1] * f[0]};
    for (int i = 0; i < 3; ++i) {
        m[4 * i] = side[i];
        m[4 * i + 1] = up[i];
        m[4 * i + 2] = -f[i];
    }
    for (int j = 0; j < 3; ++j) {
        m[12 + j] = -((eye[0] * m[j] + eye[1] * m[4 + j]) + eye[2] * m[8 + j]);
    }
    m[15] = 1.0f;
}

bool InitScene(Scene& scene)
{
    const float sx = scene.width * 0.0015625f, sy = scene.height * 0.0020833334f;
    scene.frames[0] = LoadFrameTexture(trellis_glyphon_frame_bevel_translucent);
    scene.frames[1] = LoadFrameTexture(trellis_glyphon_frame_plain_translucent);
    scene.frames[2] = LoadFrameTexture(trellis_glyphon_frame_bevel_opaque);
    scene.frames[3] = LoadFrameTexture(trellis_glyphon_frame_plain_opaque);
    scene.font = LoadFontTexture();
    scene.logos[0] = LoadLinearTexture(128, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, trellis_glyphon_logo_trellis + 44);
    scene.logos[1] = LoadLinearTexture(128, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, trellis_glyphon_logo_glyphon + 44);
    scene.normalMap = LoadMipmappedTexture(kestrel_newnormalmap);
    scene.diffuse = LoadMipmappedTexture(kestrel_newdiffuse);
    scene.seamless = LoadMipmappedTexture(kestrel_seamless);
    scene.zelLogo = LoadMipmappedTexture(kestrel_zellogo);
    scene.model = LoadMesh(kestrel_model_mesh);
    scene.backdrop = LoadMesh(kestrel_backdrop_mesh);
    if (glGetError() != GL_NO_ERROR) {
        std::fprintf(stderr, "kestrel-bare: texture upload failed\n");
        return false;
    }

    LayOutLine(scene.text, "Kestrel", 0.0f, 1.0f, 1.2f, 0xFF00FFFF, sx, sy);
    LayOutLine(scene.text, "DOT3 per-pixel lighting", 0.0f, 8.0f, 0.9f, 0xFFFFFFFF, sx, sy);
    for (uint16_t base = 0; base < scene.text.size(); base = uint16_t(base + 4)) {
        const uint16_t quad[6] = {base, uint16_t(base + 3), uint16_t(base + 1), uint16_t(base + 3), base,
                                  uint16_t(base + 2)};
        scene.textIndices.insert(scene.textIndices.end(), quad, quad + 6);
    }
    scene.textMatrix[0] = ToFixed(2.0f / (sx * 640.0f));
    scene.textMatrix[5] = ToFixed(-2.0f / (sy * 480.0f));
    scene.textMatrix[10] = 0x10000;
    scene.textMatrix[12] = -0x10000;
    scene.textMatrix[13] = 0x10000;
    scene.textMatrix[15] = 0x10000;
    scene.logo = MakeLogo();
    BuildView(scene.view);

    // Perspective: 25 degrees (as 25 x 3.14 / 180) high, near 10, far 10000.
    const float aspect = float(unsigned(scene.width)) / float(unsigned(scene.height));
    const float y = 1.0f / float(std::tan(double(0.43611112f * 0.5f)));
    const float q = 1.0f / (10.0f - 10000.0f);
    float projection[16] = {};
    projection[0] = y / aspect;
    projection[5] = y;
    projection[10] = (10.0f + 10000.0f) * q;
    projection[11] = -1.0f;
    projection[14] = ((10.0f * 10000.0f) * 2.0f) * q;
    GLfixed fixedProjection[16];
    for (int i = 0; i < 16; ++i) {
        fixedProjection[i] = ToFixed(projection[i]);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMultMatrixx(fixedProjection);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glEnable(GL_DEPTH_TEST);
    return true;
}

void DrawMesh(const Mesh& mesh, int units)
{
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FIXED, 0, mesh.positions.data());
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FIXED, 0, mesh.texCoords.data());
    if (units > 1) {
        glClientActiveTexture(GL_TEXTURE1);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FIXED, 0, mesh.texCoords.data());
    }
    glDrawElements(GL_TRIANGLES, mesh.indexCount, GL_UNSIGNED_SHORT, mesh.indices);
    glDisableClientState(GL_VERTEX_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    if (units > 1) {
        glClientActiveTexture(GL_TEXTURE1);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
}

void SetEnv(GLenum name, GLenum value)
{
    glTexEnvx(GL_TEXTURE_ENV, name, GLfixed(value));
}

void DrawText(const Scene& scene)
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixx(scene.textMatrix);
    glDisable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glCullFace(GL_FRONT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    SetEnv(GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);

    glBindTexture(GL_TEXTURE_2D, scene.font);
    glEnable(GL_BLEND);
    const TextVertex* text = scene.text.data();
    glVertexPointer(3, GL_FIXED, sizeof(TextVertex), &text->x);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(TextVertex), text->colour);
    glTexCoordPointer(2, GL_FIXED, sizeof(TextVertex), &text->s);
    glDrawElements(GL_TRIANGLES, GLsizei(scene.textIndices.size()), GL_UNSIGNED_SHORT, scene.textIndices.data());
    glGetError();

    // The logo at three-quarters opacity, bottom right.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scene.logos[0]);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FIXED, 0, scene.logo.positions);
    glColorPointer(4, GL_FIXED, 0, scene.logo.colours);
    glTexCoordPointer(2, GL_FIXED, 0, scene.logo.texCoords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void RenderFrame(const Scene& scene, int frame)
{
    glViewport(0, 0, scene.width, scene.height);
    glClearColorx(0, 0, 0, 0x10000);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);

    // Unit 0: DOT3 of the normal map with the light, which arrives as the colour.
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scene.normalMap);
    SetEnv(GL_TEXTURE_ENV_MODE, GL_COMBINE);
    SetEnv(GL_COMBINE_RGB, GL_DOT3_RGBA);
    SetEnv(GL_SRC0_RGB, GL_TEXTURE);
    SetEnv(GL_SRC1_RGB, GL_PREVIOUS);
    // Unit 1: times the diffuse colour.
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scene.diffuse);
    SetEnv(GL_COMBINE_RGB, GL_MODULATE);
    SetEnv(GL_SRC0_RGB, GL_TEXTURE);
    SetEnv(GL_SRC1_RGB, GL_PREVIOUS);

    // The model turns about y by -frame / 100 radians. The light (-1, 1, -1)
    // goes into the model's space through the transposed rotation.
    const float angle = float(-frame) / 100.0f;
    const float co = float(std::cos(double(angle))), si = float(std::sin(double(angle)));
    const float light = float(1.0 / std::sqrt(3.0));
    const float dx = -light * co + -light * si;
    const float dy = light;
    const float dz = -(-light) * si + -light * co;
    glColor4x(ToFixed(dx * 0.5f + 0.5f), ToFixed(dz * 0.5f + 0.5f), ToFixed(dy * 0.5f + 0.5f), 0);

    // Model-view: the rotation (rows co 0 si / 0 1 0 / -si 0 co) times the view.
    const float* v = scene.view;
    GLfixed modelView[16];
    for (int j = 0; j < 4; ++j) {
        modelView[j] = ToFixed(co * v[j] + si * v[8 + j]);
        modelView[4 + j] = ToFixed(v[4 + j]);
        modelView[8 + j] = ToFixed(-si * v[j] + co * v[8 + j]);
        modelView[12 + j] = ToFixed(v[12 + j]);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMultMatrixx(modelView);
    DrawMesh(scene.model, 2);

    // The backdrop with its own texture, unlit.
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, scene.seamless);
    SetEnv(GL_TEXTURE_ENV_MODE, GL_MODULATE);
    SetEnv(GL_COMBINE_RGB, GL_REPLACE);
    SetEnv(GL_SRC0_RGB, GL_TEXTURE);
    SetEnv(GL_SRC1_RGB, GL_PREVIOUS);
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
    glColor4x(0x10000, 0x10000, 0x10000, 0x10000);
    DrawMesh(scene.backdrop, 1);

    DrawText(scene);
}

void ReleaseScene(Scene& scene)
{
    const GLuint textures[] = {scene.font,      scene.frames[0], scene.frames[1], scene.frames[2],
                               scene.frames[3], scene.logos[0],  scene.logos[1],  scene.diffuse,
                               scene.normalMap, scene.seamless,  scene.zelLogo};
    glDeleteTextures(GLsizei(sizeof textures / sizeof textures[0]), textures);
}

int ValueOf(const char* argument, const char* option, int fallback)
{
    const size_t length = std::strlen(option);
    return std::strncmp(argument, option, length) == 0 ? std::atoi(argument + length) : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    Scene scene;
    int lastFrame = 100;
    for (int i = 1; i < argc; ++i) {
        scene.width = ValueOf(argv[i], "-width=", scene.width);
        scene.height = ValueOf(argv[i], "-height=", scene.height);
        lastFrame = ValueOf(argv[i], "-qaf=", lastFrame);
    }

    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = getPlatformDisplay != nullptr
                             ? getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                             : EGL_NO_DISPLAY;
    if (!eglInitialize(display, nullptr, nullptr)) {
        std::fprintf(stderr, "kestrel-bare: no EGL display\n");
        return 1;
    }
    const EGLint configAttributes[] = {EGL_LEVEL,      0,  EGL_SURFACE_TYPE,   EGL_PBUFFER_BIT,
                                       EGL_DEPTH_SIZE, 16, EGL_SAMPLE_BUFFERS, 0,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    eglChooseConfig(display, configAttributes, &config, 1, &configs);
    const EGLint surfaceAttributes[] = {EGL_WIDTH, scene.width, EGL_HEIGHT, scene.height, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (configs != 1 || context == EGL_NO_CONTEXT || surface == EGL_NO_SURFACE ||
        !eglMakeCurrent(display, surface, surface, context) || !InitScene(scene)) {
        std::fprintf(stderr, "kestrel-bare: cannot set up the context\n");
        return 1;
    }

    for (int frame = 0; frame <= lastFrame; ++frame) {
        RenderFrame(scene, frame);
        // Presented as the headless shell presents: a pbuffer swap submits nothing.
        glFlush();
        eglSwapBuffers(display, surface);
    }

    ReleaseScene(scene);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    eglDestroySurface(display, surface);
    eglTerminate(display);
    return 0;
}
