// The compiled-in font atlas, metric tables, frame and logo images.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "text/GlyphMetrics.h"
#include "text/GlyphonAssets.h"

using namespace trellis;

namespace {

bool Covered(unsigned code)
{
    return (code >= 1 && code <= 4) || code == 33 || code == 34 || (code >= 36 && code <= 59) || code == 61 ||
           (code >= 63 && code <= 90) || code == 92 || code == 95 || (code >= 97 && code <= 122);
}

struct Row {
    unsigned code;
    float large[3];
    float small[3];
};

TEST(GlyphMetrics, TellingRowsAsListed)
{
    const Row rows[] = {
        {'A', {0.0039f, 0.5313f, 0.0938f}, {0.0078f, 0.0469f, 0.0273f}},
        {'0', {0.0039f, 0.8828f, 0.0664f}, {0.5430f, 0.1641f, 0.0273f}},
        {'i', {0.6133f, 0.7656f, 0.0234f}, {0.2578f, 0.1055f, 0.0273f}},
        {'W', {0.0938f, 0.2969f, 0.1250f}, {0.6953f, 0.0469f, 0.0313f}},
        {1, {0.5898f, 0.2969f, 0.0898f}, {0.8633f, 0.0469f, 0.0234f}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(kGlyphLargeFont.u[row.code], row.large[0]) << row.code;
        EXPECT_EQ(kGlyphLargeFont.v[row.code], row.large[1]) << row.code;
        EXPECT_EQ(kGlyphLargeFont.w[row.code], row.large[2]) << row.code;
        EXPECT_EQ(kGlyphSmallFont.u[row.code], row.small[0]) << row.code;
        EXPECT_EQ(kGlyphSmallFont.v[row.code], row.small[1]) << row.code;
        EXPECT_EQ(kGlyphSmallFont.w[row.code], row.small[2]) << row.code;
    }
}

TEST(GlyphMetrics, EveryCoveredCodeAndNothingElse)
{
    const std::set<float> largeRows = {0.2969f, 0.4141f, 0.5313f, 0.6484f, 0.7656f, 0.8828f, 1.0f};
    const std::set<float> smallRows = {0.0469f, 0.1055f, 0.1641f};
    for (unsigned code = 0; code < 256; ++code) {
        for (const GlyphFont* font : {&kGlyphLargeFont, &kGlyphSmallFont}) {
            if (!Covered(code)) {
                EXPECT_EQ(font->w[code], 0.0f) << code;
                EXPECT_EQ(font->u[code], 0.0f) << code;
                EXPECT_EQ(font->v[code], 0.0f) << code;
                continue;
            }
            EXPECT_GT(font->w[code], 0.0f) << code;
            EXPECT_LE(font->u[code] + font->w[code], 1.0f) << code;
            const auto& bandRows = font == &kGlyphLargeFont ? largeRows : smallRows;
            EXPECT_EQ(bandRows.count(font->v[code]), 1u) << code;
        }
        if (Covered(code)) {
            const float smallUnits = kGlyphSmallFont.w[code] * 255.0f;
            EXPECT_GE(smallUnits, 3.0f);
            EXPECT_LE(smallUnits, 9.0f);
        }
    }
    EXPECT_NEAR(kGlyphLargeFont.w[unsigned('i')] * 255.0f, 6.0f, 0.5f);
    EXPECT_NEAR(kGlyphLargeFont.w[unsigned('0')] * 255.0f, 17.0f, 0.5f);
    EXPECT_NEAR(kGlyphLargeFont.w[unsigned('W')] * 255.0f, 32.0f, 0.5f);
}

// The texels a glyph's quad can reach with linear filtering: its cell and one
// texel around it. Cells are (column, row) rectangles of atlas texels.
struct Cell {
    int left, right, bottom, top;  // inclusive
};

Cell CellOf(const GlyphFont& font, unsigned code, float topOffset, float height)
{
    const float topT = (font.v[code] - topOffset) * 256.0f;
    const float bottomT = topT - height * 256.0f;
    const float leftS = font.u[code] * 256.0f;
    const float rightS = (font.u[code] + font.w[code]) * 256.0f;
    // Texels whose centres lie inside the sampled range.
    return {int(std::ceil(leftS - 0.5f)), int(std::floor(rightS - 0.5f)), int(std::ceil(bottomT - 0.5f)),
            int(std::floor(topT - 0.5f))};
}

TEST(GlyphAtlas, GlyphsStayInsideTheirCellsAndNeverMeetANeighbour)
{
    ASSERT_EQ(trellis_glyphon_font_atlas_size, 65536u);
    std::vector<int> owner(256 * 256, -1);
    std::vector<Cell> cells;
    for (unsigned code = 0; code < 256; ++code) {
        if (!Covered(code)) {
            continue;
        }
        cells.push_back(CellOf(kGlyphLargeFont, code, 0.0043478f, 0.11372549f));
        cells.push_back(CellOf(kGlyphSmallFont, code, 0.0001f, 0.047058824f));
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        ASSERT_LE(cell.left, cell.right);
        EXPECT_EQ(cell.top - cell.bottom + 1, i % 2 == 0 ? 29 : 12) << "cell " << i;
        for (int row = cell.bottom; row <= cell.top; ++row) {
            for (int column = cell.left; column <= cell.right; ++column) {
                ASSERT_TRUE(row >= 0 && row < 256 && column >= 0 && column < 256);
                EXPECT_EQ(owner[row * 256 + column], -1) << "cells overlap";
                owner[row * 256 + column] = int(i);
            }
        }
    }
    // No coverage outside the cells, and the texel ring that filtering reaches
    // around each cell belongs to no other glyph (rows and columns wrap).
    for (int texel = 0; texel < 256 * 256; ++texel) {
        if (owner[texel] == -1) {
            EXPECT_EQ(trellis_glyphon_font_atlas[texel], 0) << "row " << texel / 256 << " column " << texel % 256;
        }
    }
    for (size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        for (int row = cell.bottom - 1; row <= cell.top + 1; ++row) {
            for (int column = cell.left - 1; column <= cell.right + 1; ++column) {
                const int at = ((row + 256) % 256) * 256 + (column + 256) % 256;
                EXPECT_TRUE(owner[at] == -1 || owner[at] == int(i)) << "cell " << i << " touches " << owner[at];
            }
        }
    }
    // Glyphs have ink, and the block pictogram fills its whole cell.
    const Cell block = CellOf(kGlyphLargeFont, 4, 0.0043478f, 0.11372549f);
    for (int row = block.bottom; row <= block.top; ++row) {
        EXPECT_EQ(trellis_glyphon_font_atlas[row * 256 + block.left], 255);
    }
    int inkA = 0;
    const Cell a = CellOf(kGlyphLargeFont, 'A', 0.0043478f, 0.11372549f);
    for (int row = a.bottom; row <= a.top; ++row) {
        for (int column = a.left; column <= a.right; ++column) {
            inkA += trellis_glyphon_font_atlas[row * 256 + column] > 128 ? 1 : 0;
        }
    }
    EXPECT_GT(inkA, 60);
}

unsigned Texel(const unsigned char* image, int x, int row)
{
    const unsigned char* p = image + 16 + 2 * (row * 16 + x);
    return p[0] | p[1] << 8;
}

TEST(FrameImages, PackingAndAlpha)
{
    const unsigned char* images[4] = {trellis_glyphon_frame_bevel_translucent, trellis_glyphon_frame_plain_translucent,
                                      trellis_glyphon_frame_bevel_opaque, trellis_glyphon_frame_plain_opaque};
    const unsigned sizes[4] = {trellis_glyphon_frame_bevel_translucent_size, trellis_glyphon_frame_plain_translucent_size,
                               trellis_glyphon_frame_bevel_opaque_size, trellis_glyphon_frame_plain_opaque_size};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(sizes[i], 16u + 512u);
        const bool bevelled = i % 2 == 0, opaque = i >= 2;
        for (int row = 0; row < 16; ++row) {
            for (int x = 0; x < 16; ++x) {
                const unsigned texel = Texel(images[i], x, row);
                const unsigned alpha = 15 - (texel >> 12);
                const bool centre = x >= 6 && x < 10 && row >= 6 && row < 10;
                const unsigned expectedAlpha = opaque || (bevelled && !centre) ? 15 : 13;
                EXPECT_EQ(alpha, expectedAlpha) << "image " << i << " at " << x << "," << row;
                const unsigned red = texel & 0xF, green = (texel >> 4) & 0xF, blue = (texel >> 8) & 0xF;
                EXPECT_TRUE(red == green && green == blue) << "grey shades only";
                if (!bevelled || centre) {
                    EXPECT_EQ(red, 15u) << "white";
                }
            }
        }
        if (bevelled) {
            // A raised border: the upper-left edge is lighter than the lower-right one.
            EXPECT_GT(Texel(images[i], 1, 8) & 0xF, Texel(images[i], 14, 8) & 0xF);
            EXPECT_GT(Texel(images[i], 8, 14) & 0xF, Texel(images[i], 8, 1) & 0xF);
        }
    }
}

TEST(LogoImages, HeadersLevelsAndBoxFilter)
{
    // headerSize, height, width, mipMapCount, flags, dataSize, bitCount, the four masks.
    const uint32_t expected[11] = {44, 128, 128, 7, 0x102, 43690, 16, 0xF800, 0x07E0, 0x001F, 0};
    for (const unsigned char* block : {trellis_glyphon_logo_trellis, trellis_glyphon_logo_glyphon}) {
        for (int field = 0; field < 11; ++field) {
            const unsigned char* p = block + 4 * field;
            const uint32_t value = p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
            EXPECT_EQ(value, expected[field]) << "field " << field;
        }
    }
    EXPECT_EQ(trellis_glyphon_logo_trellis_size, 44u + 43690u);
    EXPECT_EQ(trellis_glyphon_logo_glyphon_size, 44u + 43690u);

    // Each level is the average of level 0 over its box: compare level 1 with
    // level 0 and the last 1 x 1 level with the whole image, per channel.
    for (const unsigned char* block : {trellis_glyphon_logo_trellis, trellis_glyphon_logo_glyphon}) {
        const unsigned char* level0 = block + 44;
        auto texel = [](const unsigned char* level, int size, int x, int y) {
            const unsigned char* p = level + 2 * (y * size + x);
            const unsigned v = p[0] | p[1] << 8;
            return std::array<double, 3>{double(v >> 11) / 31, double((v >> 5) & 63) / 63, double(v & 31) / 31};
        };
        const unsigned char* level1 = level0 + 128 * 128 * 2;
        double worst = 0.0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const double mean = (texel(level0, 128, 2 * x, 2 * y)[c] + texel(level0, 128, 2 * x + 1, 2 * y)[c] +
                                         texel(level0, 128, 2 * x, 2 * y + 1)[c] +
                                         texel(level0, 128, 2 * x + 1, 2 * y + 1)[c]) / 4;
                    worst = std::max(worst, std::fabs(mean - texel(level1, 64, x, y)[c]));
                }
            }
        }
        EXPECT_LT(worst, 1.5 / 31);
        const unsigned char* last = block + 44 + 43690 - 2;
        double sum[3] = {};
        for (int y = 0; y < 128; ++y) {
            for (int x = 0; x < 128; ++x) {
                for (int c = 0; c < 3; ++c) {
                    sum[c] += texel(level0, 128, x, y)[c];
                }
            }
        }
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(sum[c] / (128 * 128), texel(last, 1, 0, 0)[c], 1.5 / 31);
        }
    }
}

}  // namespace
