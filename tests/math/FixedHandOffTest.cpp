#include <gtest/gtest.h>

#include <GLES/gl.h>

#include <cmath>
#include <vector>

#include "GlTestContext.h"
#include "MathTestUtil.h"
#include "math/Fixed.h"

using namespace trellis;

namespace {

constexpr int kSize = 64;

TEST(MatrixToFixed, TruncatesEveryElementTowardZeroInStorageOrder)
{
    Matrix4 m;
    for (int k = 0; k < 16; ++k) {
        m.m[k] = (k % 2 ? -1.0f : 1.0f) * (k + 0.75f / 65536.0f);
    }
    int32_t fixed[16];
    MatrixToFixed(fixed, &m);
    for (int k = 0; k < 16; ++k) {
        EXPECT_EQ((k % 2 ? -1 : 1) * k * 65536, fixed[k]) << k;
    }
    EXPECT_EQ(-65667, FloatToFixed(-1.002002f));
    EXPECT_EQ(INT32_MAX, FloatToFixed(40000.0f));
    EXPECT_EQ(INT32_MIN, FloatToFixed(-INFINITY));
    EXPECT_EQ(0, FloatToFixed(NAN));
}

// Where a drawn point lands on the surface: the centre of the lit pixels.
struct Spot {
    int count = 0;
    float x = 0.0f;
    float y = 0.0f;
};

Spot LitSpot(const GlTestContext& gl)
{
    const std::vector<uint8_t> pixels = gl.ReadPixels();
    Spot spot;
    for (int y = 0; y < gl.Height(); ++y) {
        for (int x = 0; x < gl.Width(); ++x) {
            if (pixels[(static_cast<size_t>(y) * gl.Width() + x) * 4] > 128) {
                ++spot.count;
                spot.x += x + 0.5f;
                spot.y += y + 0.5f;
            }
        }
    }
    if (spot.count > 0) {
        spot.x /= spot.count;
        spot.y /= spot.count;
    }
    return spot;
}

void LoadFixed(GLenum mode, const Matrix4& m)
{
    int32_t fixed[16];
    MatrixToFixed(fixed, &m);
    glMatrixMode(mode);
    glLoadIdentity();
    glMultMatrixx(fixed);
}

void DrawPoints(const std::vector<Vector3>& points)
{
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPointSize(3.0f);
    glColor4f(1, 0, 0, 1);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, points.data());
    glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(points.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    ASSERT_EQ(static_cast<GLenum>(GL_NO_ERROR), glGetError());
}

// The window position the float math predicts for a clip-space point.
void ExpectSpotAt(const GlTestContext& gl, const Vector4& clip)
{
    const Spot spot = LitSpot(gl);
    ASSERT_GT(spot.count, 0) << "the point was clipped away";
    EXPECT_NEAR((clip.x / clip.w + 1.0f) * 0.5f * gl.Width(), spot.x, 1.0f);
    EXPECT_NEAR((clip.y / clip.w + 1.0f) * 0.5f * gl.Height(), spot.y, 1.0f);
}

TEST(FixedHandOff, GlTransformsAPointAsTheFloatMathSays)
{
    GlTestContext gl(kSize, kSize);
    ASSERT_TRUE(gl.Ok());
    Matrix4 scaling, rotation, translation;
    MatrixScaling(&scaling, 0.5f, 0.8f, 1.0f);
    MatrixRotationZ(&rotation, 0.6f);
    MatrixTranslation(&translation, 0.2f, -0.3f, 0.0f);
    const Matrix4 model = Product(Product(scaling, rotation), translation);
    LoadFixed(GL_PROJECTION, Identity());
    LoadFixed(GL_MODELVIEW, model);
    const Vector3 point{0.9f, 0.4f, 0.0f};
    DrawPoints({point});
    ExpectSpotAt(gl, Transform(model, point));

    // The transposed matrix would put the point elsewhere: no transposition is hidden anywhere.
    Matrix4 transposed;
    MatrixTranspose(&transposed, &model);
    transposed.m[3] = transposed.m[7] = 0.0f;
    const Vector4 wrong = Transform(transposed, point);
    const Spot spot = LitSpot(gl);
    EXPECT_GT(std::fabs((wrong.y + 1.0f) * 0.5f * kSize - spot.y), 4.0f);
}

TEST(FixedHandOff, TheSceneViewAndProjectionPlaceAPointAsTheFloatMathSays)
{
    GlTestContext gl(48, 64);
    ASSERT_TRUE(gl.Ok());
    Matrix4 projection, model, view;
    MatrixPerspectiveFovRH(&projection, 0.43611112f, 0.75f, 10.0f, 10000.0f);
    MatrixRotationY(&model, 0.5f);
    const Vector3 eye{5, -25, -135}, at{0, 7, 0}, up{0, 1, 0};
    MatrixLookAtRH(&view, &eye, &at, &up);
    Matrix4 modelView = model;
    MatrixMultiply(&modelView, &modelView, &view);
    LoadFixed(GL_PROJECTION, projection);
    LoadFixed(GL_MODELVIEW, modelView);
    const Vector3 point{12.0f, 20.0f, -8.0f};
    DrawPoints({point});
    ExpectSpotAt(gl, Transform(Product(modelView, projection), point));
}

TEST(FixedHandOff, OrthoProjectionsMapNearToDepthZeroAndFarToOne)
{
    GlTestContext gl(kSize, kSize);
    ASSERT_TRUE(gl.Ok());
    LoadFixed(GL_MODELVIEW, Identity());
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    // GL stores (depth + 1) / 2: near (0) becomes 0.5, half-way (0.5) becomes 0.75.
    glClearDepthf(0.6f);
    Matrix4 ortho;
    const float zn = 2.0f, zf = 10.0f;
    void (*const orthos[2])(Matrix4*, float, float, float, float) = {MatrixOrthoRH, MatrixOrthoLH};
    for (int variant = 0; variant < 2; ++variant) {
        const float toward = variant == 0 ? -1.0f : 1.0f;  // RH looks down -z, LH down +z
        orthos[variant](&ortho, 4.0f, 4.0f, zn, zf);
        LoadFixed(GL_PROJECTION, ortho);
        const Vector3 nearPoint{1.0f, 1.0f, toward * zn};
        const Vector3 middlePoint{-1.0f, -1.0f, toward * (zn + zf) * 0.5f};
        DrawPoints({nearPoint, middlePoint});
        // Only the near point passes the depth test, at the place x / w and y / w give.
        ExpectSpotAt(gl, Transform(ortho, nearPoint));
        EXPECT_EQ(9, LitSpot(gl).count) << "variant " << variant;
        glClearDepthf(0.8f);
        DrawPoints({nearPoint, middlePoint});
        EXPECT_EQ(18, LitSpot(gl).count) << "variant " << variant;
        glClearDepthf(0.6f);
    }
}

} // namespace
