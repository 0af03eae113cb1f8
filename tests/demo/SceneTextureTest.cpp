#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "demo/SceneAssets.h"

using namespace trellis;

namespace {

struct Expected {
    const char* name;
    const TextureHeader* block;
    uint32_t width, height, levels, dataSize;
};

std::vector<Expected> Textures()
{
    return {{"newnormalmap", NewNormalMapTexture(), 512, 512, 10, 699050},
            {"newdiffuse", NewDiffuseTexture(), 256, 256, 9, 174762},
            {"seamless", SeamlessTexture(), 512, 256, 10, 349526},
            {"ZELlogo", ZELlogoTexture(), 128, 128, 8, 43690}};
}

TextureHeader HeaderOf(const TextureHeader* block)
{
    TextureHeader header;
    std::memcpy(&header, block, sizeof header);
    return header;
}

// One stored level as 5:6:5 texels, row 0 at t = 0.
struct Level {
    uint32_t width, height;
    std::vector<uint16_t> texels;
    uint16_t At(uint32_t x, uint32_t y) const { return texels[size_t(y) * width + x]; }
};

std::vector<Level> LevelsOf(const TextureHeader* block)
{
    const TextureHeader header = HeaderOf(block);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(block) + header.headerSize;
    std::vector<Level> levels;
    uint32_t w = header.width, h = header.height;
    for (uint32_t i = 0; i <= header.mipMapCount; ++i) {
        Level level{w, h, std::vector<uint16_t>(size_t(w) * h)};
        for (auto& texel : level.texels) {
            texel = static_cast<uint16_t>(p[0] | p[1] << 8);
            p += 2;
        }
        levels.push_back(std::move(level));
        w = std::max(1u, w / 2);
        h = std::max(1u, h / 2);
    }
    return levels;
}

// Red, green or blue (c = 0, 1, 2) of a 5:6:5 texel, unscaled.
int Channel(uint16_t texel, int c) { return c == 0 ? texel >> 11 : (c == 1 ? (texel >> 5) & 63 : texel & 31); }

TEST(SceneTextures, HeadersMatchTheTable)
{
    for (const Expected& e : Textures()) {
        SCOPED_TRACE(e.name);
        const TextureHeader h = HeaderOf(e.block);
        EXPECT_EQ(44u, h.headerSize);
        EXPECT_EQ(e.width, h.width);
        EXPECT_EQ(e.height, h.height);
        EXPECT_EQ(e.levels - 1, h.mipMapCount);
        EXPECT_EQ(0x102u, h.flags);
        EXPECT_EQ(e.dataSize, h.dataSize);
        EXPECT_EQ((std::array<uint32_t, 5>{16, 0xF800, 0x07E0, 0x001F, 0}),
                  (std::array<uint32_t, 5>{h.bitCount, h.redMask, h.greenMask, h.blueMask, h.alphaMask}))
            << "5:6:5 bits";
        // The levels, halving down to 1 x 1, fill the block exactly.
        uint32_t w = e.width, hgt = e.height, bytes = 0, levels = 0;
        for (;; w = std::max(1u, w / 2), hgt = std::max(1u, hgt / 2)) {
            bytes += w * hgt * 2;
            ++levels;
            if (w == 1 && hgt == 1) {
                break;
            }
        }
        EXPECT_EQ(e.levels, levels);
        EXPECT_EQ(e.dataSize, bytes);
        EXPECT_EQ(44 + e.dataSize, SceneTextureBlockSize(e.block));
    }
    EXPECT_EQ(0u, SceneTextureBlockSize(nullptr));
}

TEST(SceneTextures, EachLevelIsTheBoxFilteredLevelAbove)
{
    for (const Expected& e : Textures()) {
        SCOPED_TRACE(e.name);
        const std::vector<Level> levels = LevelsOf(e.block);
        ASSERT_EQ(e.levels, levels.size());
        EXPECT_EQ(1u, levels.back().width);
        EXPECT_EQ(1u, levels.back().height);
        for (size_t i = 1; i < levels.size(); ++i) {
            const Level& above = levels[i - 1];
            const Level& level = levels[i];
            const uint32_t sx = above.width / level.width, sy = above.height / level.height;
            int worst = 0;
            for (uint32_t y = 0; y < level.height; ++y) {
                for (uint32_t x = 0; x < level.width; ++x) {
                    for (int c = 0; c < 3; ++c) {
                        double sum = 0;
                        for (uint32_t dy = 0; dy < sy; ++dy) {
                            for (uint32_t dx = 0; dx < sx; ++dx) {
                                sum += Channel(above.At(x * sx + dx, y * sy + dy), c);
                            }
                        }
                        const double mean = sum / (sx * sy);
                        worst = std::max(worst, int(std::fabs(mean - Channel(level.At(x, y), c)) + 0.5));
                    }
                }
            }
            EXPECT_LE(worst, 1) << "level " << i;
        }
    }
}

// The normal stored in a normal-map texel (x in red, z in green, y in blue)
// and its length before normalising.
std::array<double, 4> DecodeNormal(uint16_t texel)
{
    const double x = Channel(texel, 0) / 31.0 * 2 - 1, z = Channel(texel, 1) / 63.0 * 2 - 1,
                 y = Channel(texel, 2) / 31.0 * 2 - 1;
    const double length = std::sqrt(x * x + y * y + z * z);
    return {x / length, y / length, z / length, length};
}

TEST(NewNormalMap, AgreesWithTheModelsNormals)
{
    const MeshData& mesh = *KestrelModelMesh();
    const Level top = LevelsOf(NewNormalMapTexture()).front();
    int close = 0;
    double sumCos = 0;
    for (uint32_t i = 0; i < mesh.vertexCount; ++i) {
        const uint32_t x = std::min(511u, static_cast<uint32_t>(mesh.texCoords[2 * i] * 512));
        const uint32_t y = std::min(511u, static_cast<uint32_t>(mesh.texCoords[2 * i + 1] * 512));
        const auto n = DecodeNormal(top.At(x, y));
        const double cosine = n[0] * mesh.normals[3 * i] + n[1] * mesh.normals[3 * i + 1] + n[2] * mesh.normals[3 * i + 2];
        sumCos += cosine;
        if (cosine > std::cos(20.0 * 3.14159265 / 180)) {
            ++close;
        }
    }
    EXPECT_GT(close, static_cast<int>(mesh.vertexCount * 9 / 10));
    EXPECT_GT(sumCos / mesh.vertexCount, 0.95);
}

TEST(NewNormalMap, HoldsUnitNormalsEverywhere)
{
    // Also the texels between the islands, which the filled border provides.
    const Level top = LevelsOf(NewNormalMapTexture()).front();
    for (uint16_t texel : top.texels) {
        ASSERT_NEAR(1.0, DecodeNormal(texel)[3], 0.1);
    }
}

TEST(Seamless, TilesAcrossTheSeam)
{
    // The step from the last column to the first is no larger than a typical
    // step between neighbouring columns.
    const Level top = LevelsOf(SeamlessTexture()).front();
    auto step = [&](uint32_t a, uint32_t b) {
        double sum = 0;
        for (uint32_t y = 0; y < top.height; ++y) {
            for (int c = 0; c < 3; ++c) {
                sum += std::abs(Channel(top.At(a, y), c) - Channel(top.At(b, y), c));
            }
        }
        return sum / top.height;
    };
    double typical = 0;
    for (uint32_t x = 0; x + 1 < top.width; ++x) {
        typical += step(x, x + 1);
    }
    typical /= top.width - 1;
    EXPECT_LT(step(top.width - 1, 0), 2 * typical + 0.5);
    // A picture, not a flat colour: sky above, land below.
    EXPECT_GT(Channel(top.At(10, 240), 2), Channel(top.At(10, 240), 0));
    EXPECT_GT(Channel(top.At(10, 5), 1) / 63.0, Channel(top.At(10, 5), 2) / 31.0);
}

}  // namespace
