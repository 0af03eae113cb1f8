// The demo's own combiner set-up, light colour and draw on the real driver:
// one quad covering the surface with a single known normal-map texel and a
// white diffuse texel must come out as the cosine between normal and light.
#include <gtest/gtest.h>

#include <GLES/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "GlTestContext.h"
#include "KestrelHarness.h"

using namespace trellis;

namespace {

constexpr int kSize = 8;
// The framebuffer has 8 bits a channel and the texel is quantised to 8 bits
// as well; the combiner's own arithmetic adds at most a count or two.
constexpr int kTolerance = 4;

struct Vec { double x, y, z; };

Vec Normalised(Vec v)
{
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return Vec{v.x / length, v.y / length, v.z / length};
}

// A unit component as a texel byte: -1 to 0, 1 to 255.
uint8_t Encode(double component) { return static_cast<uint8_t>(std::lround((component * 0.5 + 0.5) * 255.0)); }

GLuint OneTexelTexture(uint8_t r, uint8_t g, uint8_t b)
{
    GLuint name = 0;
    const uint8_t texel[3] = {r, g, b};
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texel);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

// A quad over the whole surface in the fixed-point mesh form the demo draws.
struct Quad {
    int32_t positions[12] = {-0x10000, -0x10000, 0, 0x10000, -0x10000, 0, 0x10000, 0x10000, 0, -0x10000, 0x10000, 0};
    int32_t texCoords[8] = {0, 0, 0x10000, 0, 0x10000, 0x10000, 0, 0x10000};
    uint16_t indices[6] = {0, 1, 2, 0, 2, 3};
    MeshDataFixed mesh{};
    Quad()
    {
        mesh.vertexCount = 4;
        mesh.faceCount = 2;
        mesh.positions = positions;
        mesh.texCoords = texCoords;
        mesh.indices = indices;
    }
};

// Lights a texel holding `normal` (object space) with the world light
// (-1, 1, -1) after the model turned by `angle`; returns the red channel.
int LitRed(ProbeDemo& demo, Vec normal, float angle)
{
    const Vec n = Normalised(normal);
    const GLuint normalMap = OneTexelTexture(Encode(n.x), Encode(n.z), Encode(n.y));
    const GLuint white = OneTexelTexture(255, 255, 255);
    demo.UseTextures(normalMap, white);
    demo.SetCombinerFlags(1, 0);
    EXPECT_EQ(1, demo.SetUpModelUnits());
    Matrix4 rotation;
    MatrixRotationY(&rotation, angle);
    const Vector3 light{-1.0f, 1.0f, -1.0f};
    demo.SetLightColour(&rotation, &light);
    Quad quad;
    glClear(GL_COLOR_BUFFER_BIT);
    demo.DrawMesh(&quad.mesh, 2);
    uint8_t pixel[4] = {};
    glReadPixels(kSize / 2, kSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    glDeleteTextures(1, &normalMap);
    glDeleteTextures(1, &white);
    EXPECT_EQ(pixel[0], pixel[1]);
    EXPECT_EQ(pixel[0], pixel[2]);
    return pixel[0];
}

// The cosine the combiner should find: the light taken into object space
// (row vector times the transposed turn) against the normal, clamped at 0.
int ExpectedRed(Vec normal, float angle)
{
    Matrix4 rotation;
    MatrixRotationY(&rotation, angle);
    const Vec n = Normalised(normal);
    const Vec l = Normalised(Vec{-1, 1, -1});
    const double lightIn[3] = {l.x, l.y, l.z};
    double object[3] = {};
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            object[j] += lightIn[i] * rotation.m[4 * j + i];
        }
    }
    const double cosine = n.x * object[0] + n.y * object[1] + n.z * object[2];
    return static_cast<int>(std::lround(std::clamp(cosine, 0.0, 1.0) * 255.0));
}

TEST(KestrelDot3, TheCombinerGivesTheCosineBetweenTheNormalTexelAndTheLight)
{
    GlTestContext gl(kSize, kSize);
    ASSERT_TRUE(gl.Ok());
    ProbeDemo demo;
    const struct {
        Vec normal;
        float angle;
    } cases[] = {
        {{-1, 1, -1}, 0.0f},   // facing the light
        {{0, 1, 0}, 0.0f},     // up: cos = 1 / sqrt(3)
        {{0, 0, -1}, 0.0f},    // towards the camera side of the light
        {{1, 0, 0}, 0.0f},     // turned away: clamped to black
        {{-1, 0.2, 0.3}, 0.0f},
        {{-1, 1, -1}, -0.8f},  // the model turned: the light moves in object space
        {{1, 1, -1}, -1.57f},
        {{0.3, -0.2, -1}, 2.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.normal.x << " " << c.normal.y << " " << c.normal.z << " at " << c.angle);
        const int expected = ExpectedRed(c.normal, c.angle);
        EXPECT_NEAR(expected, LitRed(demo, c.normal, c.angle), kTolerance);
    }
    EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError());
}

} // namespace
