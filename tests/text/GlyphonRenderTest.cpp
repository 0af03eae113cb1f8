// What the text renderer, the title block and the logos put on the screen,
// read back from the real driver.
#include <cstdlib>
#include <string>
#include <vector>

#include "GlyphonTestSupport.h"
#include "text/GlyphonInternal.h"

using namespace trellis;

namespace {

bool IsYellow(uint32_t rgba)
{
    return Red(rgba) > 150 && Green(rgba) > 150 && Blue(rgba) < 40 && std::abs(Red(rgba) - Green(rgba)) < 8;
}

bool IsWhitish(uint32_t rgba)
{
    return Red(rgba) > 150 && Green(rgba) > 150 && Blue(rgba) > 150;
}

int CountPixels(const GlyphonSurface& surface, int top, int bottom, int right, bool (*match)(uint32_t))
{
    int count = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = 0; x < right; ++x) {
            count += match(surface.PixelFromTop(x, y)) ? 1 : 0;
        }
    }
    return count;
}

// A 320 x 240 surface cleared to black.
class GlyphonRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(surface.Ok());
        surface.Clear(0, 0, 0);
    }
    GlyphonSurface surface{320, 240};
};

TEST_F(GlyphonRender, FirstGlyphStartsAtTheGivenPercentOfTheSurface)
{
    surface.glyphon.PrintAt(50.0f, 50.0f, 1.0f, kYellow, "%s", kBlock);
    EXPECT_EQ(surface.glyphon.Flush(), 2);
    EXPECT_EQ(surface.PixelFromTop(160, 120), 0xFFFF00FFu);
    EXPECT_EQ(surface.PixelFromTop(165, 125), 0xFFFF00FFu);
    EXPECT_EQ(surface.PixelFromTop(159, 120), 0x000000FFu);
    EXPECT_EQ(surface.PixelFromTop(160, 119), 0x000000FFu);
}

TEST_F(GlyphonRender, TitleBlockIsYellowAboveWhite)
{
    surface.glyphon.ShowTitleBlock("Kestrel", "DOT3 per-pixel lighting", kLogoNone);
    EXPECT_GT(surface.glyphon.Flush(), 0);
    // The title spans 1 % to about 8 % of the height, the description 8 % to about 13 %.
    EXPECT_GT(CountPixels(surface, 2, 19, 120, IsYellow), 60);
    EXPECT_EQ(CountPixels(surface, 2, 19, 320, IsWhitish), 0);
    EXPECT_GT(CountPixels(surface, 20, 32, 160, IsWhitish), 60);
    EXPECT_EQ(CountPixels(surface, 20, 240, 320, IsYellow), 0);
    EXPECT_EQ(CountPixels(surface, 34, 240, 320, IsWhitish), 0);
}

TEST_F(GlyphonRender, TitleBlockShowsPercentSignsAsWritten)
{
    surface.glyphon.ShowTitleBlock("100%s", nullptr, kLogoNone);
    EXPECT_STREQ(surface.glyphon.State().lastText, "100%s");
    EXPECT_EQ(surface.glyphon.State().queueCount, 4 * 5);
}

class GlyphonLogo : public GlyphonRender {
protected:
    // Draws a frame with a dot of text at the top and the given logos over a grey level.
    void Draw(int32_t selection, float grey)
    {
        surface.Clear(grey, grey, grey);
        surface.glyphon.ShowTitleBlock(".", nullptr, selection);
        surface.glyphon.Flush();
    }
    // Centres of the two logo corners: x 0.8 and -0.8, y -0.833 in device coordinates.
    uint32_t Right() const { return surface.gl.PixelAt(288, 20); }
    uint32_t Left() const { return surface.gl.PixelAt(32, 20); }
};

void ExpectClose(uint32_t a, uint32_t b, int tolerance)
{
    EXPECT_NEAR(Red(a), Red(b), tolerance) << std::hex << a << " " << b;
    EXPECT_NEAR(Green(a), Green(b), tolerance) << std::hex << a << " " << b;
    EXPECT_NEAR(Blue(a), Blue(b), tolerance) << std::hex << a << " " << b;
}

TEST_F(GlyphonLogo, FirstLogoShowsBottomRightAtThreeQuartersOpacity)
{
    Draw(kLogoFirst, 0.0f);
    const uint32_t overBlack = Right();
    EXPECT_EQ(Left(), 0x000000FFu);
    EXPECT_EQ(surface.gl.PixelAt(255, 20), 0x000000FFu) << "left of the logo";
    EXPECT_EQ(surface.gl.PixelAt(288, 40), 0x000000FFu) << "above the logo";
    Draw(kLogoFirst, 1.0f);
    const uint32_t overWhite = Right();
    // A quarter of what lies beneath shows through.
    EXPECT_NEAR(Red(overWhite) - Red(overBlack), 64, 2);
    EXPECT_NEAR(Green(overWhite) - Green(overBlack), 64, 2);
    EXPECT_NEAR(Blue(overWhite) - Blue(overBlack), 64, 2);
}

TEST_F(GlyphonLogo, SelectionsChooseLogosAndCorners)
{
    Draw(kLogoFirst, 0.0f);
    const uint32_t first = Right();
    Draw(kLogoSecond, 0.0f);
    const uint32_t second = Right();
    EXPECT_EQ(Left(), 0x000000FFu);
    EXPECT_GT(std::abs(Red(first) - Red(second)) + std::abs(Blue(first) - Blue(second)), 60)
        << "the two logos differ where they are sampled";
    for (int32_t selection : {1, 3, 5, 7, -1}) {
        Draw(selection, 0.0f);
        ExpectClose(Right(), first, 0);
        EXPECT_EQ(Left(), 0x000000FFu);
    }
    Draw(kLogoBoth, 0.0f);
    ExpectClose(Right(), first, 0);
    ExpectClose(Left(), second, 3);
    Draw(kLogoNone, 0.0f);
    EXPECT_EQ(Right(), 0x000000FFu);
}

// A frame of the title block with `windows` small windows in the top-left
// quarter and the first logo, over a grey level; returns the logo's centre.
uint32_t LogoCentreWithWindows(GlyphonSurface& surface, int windows, float grey)
{
    surface.Clear(grey, grey, grey);
    surface.glyphon.ShowTitleBlock("Kestrel", nullptr, kLogoFirst);
    for (int i = 0; i < windows; ++i) {
        const int32_t id = surface.glyphon.CreateTextWindow(8, 1);
        surface.glyphon.SetWindowLook(id, 0xE0FF3020, kWhite, 0.5f, 5.0f + 12.0f * i, 20.0f, 10.0f, 10.0f);
        surface.glyphon.SetWindowBody(id, "w%d", i);
        surface.glyphon.DrawTextWindow(id);
    }
    surface.glyphon.Flush();
    surface.glyphon.DeleteAllTextWindows();
    return surface.gl.PixelAt(288, 20);
}

TEST_F(GlyphonLogo, KeepsThreeQuartersOpacityWhateverTheNumberOfWindows)
{
    for (int windows : {0, 1, 3}) {
        SCOPED_TRACE(std::to_string(windows) + " windows");
        // A frame before, that drew a window but never flushed, takes nothing from these.
        surface.glyphon.ShowTitleBlock(nullptr, nullptr, kLogoFirst);
        surface.glyphon.DrawTextWindow(surface.glyphon.CreateTextWindow(8, 1));
        surface.glyphon.DeleteAllTextWindows();
        const uint32_t overBlack = LogoCentreWithWindows(surface, windows, 0.0f);
        const uint32_t overWhite = LogoCentreWithWindows(surface, windows, 1.0f);
        EXPECT_NEAR(Red(overWhite) - Red(overBlack), 64, 2);
        EXPECT_NEAR(Green(overWhite) - Green(overBlack), 64, 2);
        EXPECT_NEAR(Blue(overWhite) - Blue(overBlack), 64, 2);
    }
}

TEST_F(GlyphonLogo, LiesBeneathTheWindowsOfItsFrame)
{
    // An opaque window over the bottom-right corner hides the logo entirely.
    uint32_t covered[2] = {};
    for (int32_t selection : {kLogoNone, kLogoFirst}) {
        surface.Clear(0.0f, 0.0f, 0.0f);
        surface.glyphon.ShowTitleBlock("Kestrel", nullptr, selection);
        const int32_t id = surface.glyphon.CreateTextWindow(8, 1);
        surface.glyphon.SetWindowLook(id, 0xFF2080FF, kWhite, 0.5f, 70.0f, 70.0f, 29.0f, 29.0f);
        surface.glyphon.ApplyWindowCommands(id, kSetOpaque | kSetPlainFrame | kHideTitle);
        surface.glyphon.SetWindowBody(id, "x");
        surface.glyphon.DrawTextWindow(id);
        EXPECT_GT(surface.glyphon.Flush(), 0);
        surface.glyphon.DeleteTextWindow(id);
        covered[selection == kLogoFirst] = surface.gl.PixelAt(288, 20);
    }
    EXPECT_EQ(covered[0], covered[1]);
    EXPECT_GT(Red(covered[0]), 200) << std::hex << covered[0];
}

TEST_F(GlyphonLogo, EmptyFlushDrawsNothingNotEvenTheLogo)
{
    surface.Clear(0.0f, 0.0f, 0.0f);
    const std::vector<uint8_t> before = surface.gl.ReadPixels();
    surface.glyphon.ShowTitleBlock(nullptr, nullptr, kLogoBoth);
    EXPECT_EQ(surface.glyphon.State().logoSelect, kLogoBoth);
    EXPECT_EQ(surface.glyphon.Flush(), 0);
    EXPECT_EQ(surface.gl.ReadPixels(), before);
}

TEST(GlyphonLogoQuads, CornersInFixedPoint)
{
    const LogoQuad& right = LogoQuadAt(LogoCorner::BottomRight);
    const LogoQuad& left = LogoQuadAt(LogoCorner::BottomLeft);
    // Top-left, bottom-left, top-right, bottom-right.
    const int32_t rightXY[8] = {0xA666, int32_t(0xFFFF48CD), 0xA666, int32_t(0xFFFF0CCD),
                                0xF333, int32_t(0xFFFF48CD), 0xF333, int32_t(0xFFFF0CCD)};
    const int32_t leftX[4] = {int32_t(0xFFFF0CCD), int32_t(0xFFFF0CCD), int32_t(0xFFFF599A), int32_t(0xFFFF599A)};
    const int32_t texCoords[8] = {0, 0, 0, 0x10000, 0x10000, 0, 0x10000, 0x10000};
    for (int v = 0; v < 4; ++v) {
        EXPECT_EQ(right.positions[3 * v], rightXY[2 * v]);
        EXPECT_EQ(right.positions[3 * v + 1], rightXY[2 * v + 1]);
        EXPECT_EQ(right.positions[3 * v + 2], 0x8000);
        EXPECT_EQ(left.positions[3 * v], leftX[v]);
        EXPECT_EQ(left.positions[3 * v + 1], right.positions[3 * v + 1]);
        EXPECT_EQ(right.colours[4 * v], 0x10000);
        EXPECT_EQ(right.colours[4 * v + 3], 0xC000);
        EXPECT_EQ(right.texCoords[2 * v], texCoords[2 * v]);
        EXPECT_EQ(right.texCoords[2 * v + 1], texCoords[2 * v + 1]);
    }
}

TEST(GlyphonPortrait, SurfaceTurnsTheTextBy90Degrees)
{
    GlyphonSurface surface(240, 320);
    ASSERT_TRUE(surface.Ok());
    surface.Clear(0, 0, 0);
    // Three blocks from the top-left of the virtual screen run up the surface's left edge.
    surface.glyphon.PrintAt(0.0f, 0.0f, 1.0f, kYellow, "\x04\x04\x04");
    surface.glyphon.Flush();
    EXPECT_EQ(surface.gl.PixelAt(3, 3), 0xFFFF00FFu);
    EXPECT_EQ(surface.gl.PixelAt(3, 30), 0xFFFF00FFu);
    EXPECT_EQ(surface.gl.PixelAt(30, 3), 0x000000FFu);
    EXPECT_EQ(surface.PixelFromTop(3, 3), 0x000000FFu) << "not where a landscape surface shows it";
    // The logo turns with the text: from the bottom-right corner to the top-right.
    surface.Clear(0, 0, 0);
    surface.glyphon.ShowTitleBlock(".", nullptr, kLogoFirst);
    surface.glyphon.Flush();
    EXPECT_NE(surface.gl.PixelAt(220, 288), 0x000000FFu);
    EXPECT_EQ(surface.gl.PixelAt(216, 27), 0x000000FFu);

    GlyphonSurface landscape(320, 240);
    ASSERT_TRUE(landscape.Ok());
    landscape.Clear(0, 0, 0);
    landscape.glyphon.PrintAt(0.0f, 0.0f, 1.0f, kYellow, "\x04\x04\x04");
    landscape.glyphon.Flush();
    EXPECT_EQ(landscape.PixelFromTop(3, 3), 0xFFFF00FFu);
    EXPECT_EQ(landscape.PixelFromTop(30, 3), 0xFFFF00FFu);
}

GLint Integer(GLenum name)
{
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

TEST_F(GlyphonRender, FlushLeavesExactlyTheTextEndState)
{
    // The opposite of everything the text state sets.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glScalef(2.0f, 2.0f, 2.0f);
    glEnable(GL_LIGHTING);
    glEnable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glClientActiveTexture(GL_TEXTURE1);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_2D);
    glTexEnvx(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);

    surface.glyphon.PrintAt(10.0f, 10.0f, 1.0f, kWhite, "A");
    ASSERT_EQ(surface.glyphon.Flush(), 2);

    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(Integer(GL_FRONT_FACE), GL_CW);
    EXPECT_EQ(Integer(GL_CULL_FACE_MODE), GL_FRONT);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(Integer(GL_BLEND_SRC), GL_SRC_ALPHA);
    EXPECT_EQ(Integer(GL_BLEND_DST), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(Integer(GL_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_EQ(Integer(GL_CLIENT_ACTIVE_TEXTURE), GL_TEXTURE0);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(surface.glyphon.State().fontTexture));
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    glActiveTexture(GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    glActiveTexture(GL_TEXTURE0);
    // The matrices are back as they were, the model-view one current.
    EXPECT_EQ(Integer(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_EQ(Integer(GL_PROJECTION_STACK_DEPTH), 1);
    GLfloat matrix[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[12], 1.0f);
    EXPECT_FLOAT_EQ(matrix[14], 3.0f);
    glGetFloatv(GL_PROJECTION_MATRIX, matrix);
    EXPECT_FLOAT_EQ(matrix[0], 2.0f);

    // With a logo drawn last, its texture is the one left bound.
    surface.glyphon.ShowTitleBlock("A", nullptr, kLogoSecond);
    surface.glyphon.Flush();
    EXPECT_EQ(Integer(GL_TEXTURE_BINDING_2D), GLint(surface.glyphon.State().logoTextures[1]));
    EXPECT_EQ(Integer(GL_MODELVIEW_STACK_DEPTH), 1);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
