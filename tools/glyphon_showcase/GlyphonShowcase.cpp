// Renders the pictures of Glyphon under docs/ on the real driver:
//   glyphon_showcase <folder>
// glyphon.png: the title block, both fonts, text windows of every frame style
// and both logos over a dark scene; glyph_atlas.png: the font atlas;
// glyphon_logos.png: the two logo images.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <GLES/gl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "GlTestContext.h"
#include "text/Glyphon.h"
#include "text/GlyphonAssets.h"

using namespace trellis;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A dusk-coloured backdrop standing in for the 3D scene the text goes over.
void DrawBackdrop()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLfloat positions[] = {-1, 1, -1, -1, 1, 1, 1, -1};
    const GLfloat colours[] = {0.10f, 0.14f, 0.26f, 1, 0.03f, 0.04f, 0.07f, 1,
                               0.16f, 0.12f, 0.24f, 1, 0.05f, 0.03f, 0.06f, 1};
    glDisable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, 0, positions);
    glColorPointer(4, GL_FLOAT, 0, colours);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

void ShowWindows(GlyphonContext& glyphon)
{
    struct Sample {
        const char* title;
        uint32_t commands;
        uint32_t background;
        float x, y;
    };
    const Sample samples[] = {
        {"Bevelled", 0, 0xE0A05020, 2.0f, 36.0f},
        {"Plain", kSetPlainFrame, 0xE0206040, 36.0f, 36.0f},
        {"Bevelled opaque", kSetOpaque, 0xFF804020, 69.0f, 36.0f},
        {"Plain opaque", kSetOpaque | kSetPlainFrame, 0xFF303080, 27.0f, 58.0f},
        {"Frameless", kSetFrameless, 0, 60.0f, 60.0f},
    };
    for (const Sample& sample : samples) {
        const int32_t id = glyphon.CreateTextWindow(24, 4);
        glyphon.SetWindowLook(id, sample.background, 0xFFFFFFFF, 0.5f, sample.x, sample.y, 20.0f, 20.0f);
        glyphon.SetWindowTitleBar(id, 0xE0302010, 0.6f, 0xFF00FFFF, sample.title, 0xFF80C0FF, "\x01");
        glyphon.SetWindowBody(id, "Windows wrap words and scroll; digits 0123 line up.");
        glyphon.ApplyWindowCommands(id, kSetAutoFit | sample.commands);
        glyphon.DrawTextWindow(id);
    }
    const int32_t note = glyphon.CreateQuickWindow(2.0f, 62.0f, 20, nullptr, "Quick note \x03 \x04");
    glyphon.DrawTextWindow(note);
}

bool WritePng(const std::string& path, int width, int height, int channels, const std::vector<uint8_t>& rows)
{
    if (stbi_write_png(path.c_str(), width, height, channels, rows.data(), width * channels) == 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool WriteScene(const std::string& folder)
{
    GlTestContext gl(kWidth, kHeight);
    if (!gl.Ok()) {
        std::fprintf(stderr, "no GL context\n");
        return false;
    }
    GlyphonContext glyphon;
    if (!glyphon.Initialise(kWidth, kHeight)) {
        std::fprintf(stderr, "cannot initialise Glyphon\n");
        return false;
    }
    DrawBackdrop();
    glyphon.ShowTitleBlock("Kestrel", "DOT3 per-pixel lighting", kLogoBoth);
    glyphon.PrintAt(0.0f, 15.0f, 0.55f, 0xFFFFFFFF, "Large font: ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    glyphon.PrintAt(0.0f, 18.5f, 0.55f, 0xFFFFFFFF, "abcdefghijklmnopqrstuvwxyz 0123456789");
    glyphon.PrintAt(0.0f, 22.0f, 0.55f, 0xFF80FFFF, "!\"$%%&'()*+,-./:;=?@\\_ \x01 \x02 \x03 \x04");
    glyphon.PrintAt(0.0f, 27.0f, -1.0f, 0xFFFFFFFF,
                    "Small font: ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz");
    glyphon.PrintAt(0.0f, 30.0f, -1.0f, 0xFF80FFFF, "0123456789 !\"$%%&'()*+,-./:;=?@\\_ \x01 \x02 \x03 \x04");
    ShowWindows(glyphon);
    glyphon.Flush();

    const std::vector<uint8_t> pixels = gl.ReadPixels();
    std::vector<uint8_t> image(pixels.size());
    const size_t stride = size_t(kWidth) * 4;
    for (int y = 0; y < kHeight; ++y) {
        std::copy_n(pixels.begin() + (kHeight - 1 - y) * stride, stride, image.begin() + y * stride);
    }
    return WritePng(folder + "/glyphon.png", kWidth, kHeight, 4, image);
}

// The atlas twice its size, upright: its last row is the top of the picture.
bool WriteAtlas(const std::string& folder)
{
    const int size = kGlyphonAtlasSize, zoom = 2;
    std::vector<uint8_t> image(size_t(size * zoom) * size * zoom);
    for (int y = 0; y < size * zoom; ++y) {
        for (int x = 0; x < size * zoom; ++x) {
            image[size_t(y) * size * zoom + x] = trellis_glyphon_font_atlas[(size - 1 - y / zoom) * size + x / zoom];
        }
    }
    return WritePng(folder + "/glyph_atlas.png", size * zoom, size * zoom, 1, image);
}

// Level 0 of both logos side by side, twice their size.
bool WriteLogos(const std::string& folder)
{
    const int size = kGlyphonLogoSize, zoom = 2, width = 2 * size * zoom + 16;
    std::vector<uint8_t> image(size_t(width) * size * zoom * 3, 0);
    const unsigned char* logos[2] = {trellis_glyphon_logo_trellis, trellis_glyphon_logo_glyphon};
    for (int logo = 0; logo < 2; ++logo) {
        for (int y = 0; y < size * zoom; ++y) {
            for (int x = 0; x < size * zoom; ++x) {
                const unsigned char* texel = logos[logo] + 44 + 2 * ((y / zoom) * size + x / zoom);
                const unsigned value = texel[0] | texel[1] << 8;
                uint8_t* out = &image[(size_t(y) * width + logo * (size * zoom + 16) + x) * 3];
                out[0] = uint8_t((value >> 11) * 255 / 31);
                out[1] = uint8_t(((value >> 5) & 63) * 255 / 63);
                out[2] = uint8_t((value & 31) * 255 / 31);
            }
        }
    }
    return WritePng(folder + "/glyphon_logos.png", width, size * zoom, 3, image);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const bool scene = WriteScene(argv[1]);
    const bool atlas = WriteAtlas(argv[1]);
    const bool logos = WriteLogos(argv[1]);
    return scene && atlas && logos ? 0 : 1;
}
