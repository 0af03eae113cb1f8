#include "Texture.h"

#include <cmath>

Vec3 Image::Sample(double s, double t) const
{
    const double x = s * width - 0.5, y = t * height - 0.5;
    const double fx = std::floor(x), fy = std::floor(y);
    const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    const double ax = x - fx, ay = y - fy;
    auto texel = [&](int xi, int yi) {
        xi = ((xi % width) + width) % width;
        yi = yi < 0 ? 0 : (yi >= height ? height - 1 : yi);
        return At(xi, yi);
    };
    return Lerp(Lerp(texel(x0, y0), texel(x0 + 1, y0), ax), Lerp(texel(x0, y0 + 1), texel(x0 + 1, y0 + 1), ax), ay);
}

Image BoxHalve(const Image& image)
{
    const int w = image.width > 1 ? image.width / 2 : 1;
    const int h = image.height > 1 ? image.height / 2 : 1;
    const int sx = image.width > 1 ? 2 : 1, sy = image.height > 1 ? 2 : 1;
    Image half(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Vec3 sum;
            for (int dy = 0; dy < sy; ++dy) {
                for (int dx = 0; dx < sx; ++dx) {
                    sum = sum + image.At(x * sx + dx, y * sy + dy);
                }
            }
            half.At(x, y) = sum * (1.0 / (sx * sy));
        }
    }
    return half;
}

namespace {

int Level(double value, int maximum)
{
    const double scaled = std::floor(Clamp01(value) * maximum + 0.5);
    return static_cast<int>(scaled);
}

uint16_t Pack565(Vec3 c)
{
    return static_cast<uint16_t>(Level(c.x, 31) << 11 | Level(c.y, 63) << 5 | Level(c.z, 31));
}

Vec3 Unpack565(uint16_t texel)
{
    return {(texel >> 11) / 31.0, ((texel >> 5) & 63) / 63.0, (texel & 31) / 31.0};
}

void PutWord(std::vector<uint8_t>& out, uint32_t word)
{
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(word >> (8 * i)));
    }
}

}  // namespace

Image Quantize565(const Image& image)
{
    Image stored(image.width, image.height);
    for (size_t i = 0; i < image.texels.size(); ++i) {
        stored.texels[i] = Unpack565(Pack565(image.texels[i]));
    }
    return stored;
}

std::vector<uint8_t> TextureBlock565(const Image& level0)
{
    std::vector<Image> levels{Quantize565(level0)};
    while (levels.back().width > 1 || levels.back().height > 1) {
        levels.push_back(Quantize565(BoxHalve(levels.back())));
    }
    uint32_t dataSize = 0;
    for (const auto& level : levels) {
        dataSize += static_cast<uint32_t>(level.texels.size() * 2);
    }
    std::vector<uint8_t> block;
    const uint32_t header[11] = {44, uint32_t(level0.height), uint32_t(level0.width),
                                 uint32_t(levels.size() - 1), 0x102, dataSize, 16, 0xF800, 0x07E0, 0x001F, 0};
    for (uint32_t word : header) {
        PutWord(block, word);
    }
    for (const auto& level : levels) {
        for (const Vec3& texel : level.texels) {
            const uint16_t packed = Pack565(texel);
            block.push_back(static_cast<uint8_t>(packed));
            block.push_back(static_cast<uint8_t>(packed >> 8));
        }
    }
    return block;
}
