#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

// Small drawing helpers shared by the atlas and the images. Shapes are tested
// on a 4 x 4 grid of samples per pixel, so every edge is anti-aliased the same
// way on every machine.
constexpr int kSamplesPerAxis = 4;

template <typename InsideFn>
uint8_t Coverage(float left, float top, float width, float height, InsideFn inside)
{
    int hits = 0;
    for (int j = 0; j < kSamplesPerAxis; ++j) {
        for (int i = 0; i < kSamplesPerAxis; ++i) {
            const float x = left + width * (i + 0.5f) / kSamplesPerAxis;
            const float y = top + height * (j + 0.5f) / kSamplesPerAxis;
            hits += inside(x, y) ? 1 : 0;
        }
    }
    return static_cast<uint8_t>((hits * 255 + 8) / (kSamplesPerAxis * kSamplesPerAxis));
}

// An 8-bit coverage image, rows top to bottom.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    uint8_t At(int x, int y) const
    {
        return (x < 0 || y < 0 || x >= width || y >= height) ? 0 : pixels[size_t(y) * width + x];
    }
};

// One loaded face of the DejaVu family.
class Font {
public:
    Font(FT_Library library, const std::string& path);
    ~Font();
    bool Ok() const { return face != nullptr; }
    // Renders one character at `pixelSize`; the image's (0, 0) is its top-left ink pixel.
    GreyImage Render(unsigned code, int pixelSize, int* bearingTop, int* advance) const;
    // Renders a whole word on one baseline, trimmed to its ink.
    GreyImage RenderWord(const char* word, int pixelSize) const;

private:
    FT_Face face = nullptr;
};

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, bool* ok);
void AppendLE32(std::vector<uint8_t>& out, uint32_t value);
void AppendLE16(std::vector<uint8_t>& out, uint16_t value);
