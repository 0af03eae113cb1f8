#include "Images.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int kFrameSize = 16;
constexpr int kLogoSize = 128;
constexpr int kLogoLevels = 8;

uint16_t FrameTexel(int red, int green, int blue, int alpha)
{
    return static_cast<uint16_t>(red | green << 4 | blue << 8 | (15 - alpha) << 12);
}

struct Colour {
    double r, g, b;
};

Colour Mix(Colour a, Colour b, double amount)
{
    return {a.r + (b.r - a.r) * amount, a.g + (b.g - a.g) * amount, a.b + (b.b - a.b) * amount};
}

Colour Hex(uint32_t rgb)
{
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0};
}

// Logos are drawn on a 96 x 56 design canvas, the shape they take on a 4:3
// screen, and stretched onto the square image, so that they look right where
// they are shown.
constexpr double kDesignWidth = 96.0;
constexpr double kDesignHeight = 56.0;
using Painter = std::function<Colour(double x, double y)>;

// A word placed on the design canvas: its ink box is centred at (cx, cy) and `height` units tall.
struct Lettering {
    GreyImage ink;
    double left, top, scale;

    Lettering(const Font& font, const char* word, double cx, double cy, double height)
    {
        ink = font.RenderWord(word, 160);
        scale = height / ink.height;
        left = cx - ink.width * scale * 0.5;
        top = cy - height * 0.5;
    }
    double Coverage(double x, double y) const
    {
        const int ix = static_cast<int>(std::floor((x - left) / scale));
        const int iy = static_cast<int>(std::floor((y - top) / scale));
        return ink.At(ix, iy) / 255.0;
    }
};

double RoundedBox(double x, double y, double left, double top, double right, double bottom, double radius)
{
    const double cx = x < left + radius ? left + radius : (x > right - radius ? right - radius : x);
    const double cy = y < top + radius ? top + radius : (y > bottom - radius ? bottom - radius : y);
    const double dx = x - cx, dy = y - cy;
    const bool inside = x >= left && x <= right && y >= top && y <= bottom && dx * dx + dy * dy <= radius * radius;
    return inside ? 1.0 : 0.0;
}

uint16_t To565(const Colour& c)
{
    auto channel = [](double v, int max) {
        const double clamped = v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
        return static_cast<int>(std::floor(clamped * max + 0.5));
    };
    return static_cast<uint16_t>(channel(c.r, 31) << 11 | channel(c.g, 63) << 5 | channel(c.b, 31));
}

std::vector<uint8_t> LogoBlock(const Painter& paint)
{
    // Level 0 in full precision, four by four samples per texel; rows top to bottom.
    std::vector<Colour> base(size_t(kLogoSize) * kLogoSize);
    const double cellX = kDesignWidth / kLogoSize, cellY = kDesignHeight / kLogoSize;
    for (int y = 0; y < kLogoSize; ++y) {
        for (int x = 0; x < kLogoSize; ++x) {
            Colour sum = {0, 0, 0};
            for (int j = 0; j < kSamplesPerAxis; ++j) {
                for (int i = 0; i < kSamplesPerAxis; ++i) {
                    const Colour c = paint((x + (i + 0.5) / kSamplesPerAxis) * cellX,
                                           (y + (j + 0.5) / kSamplesPerAxis) * cellY);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                }
            }
            const double n = kSamplesPerAxis * kSamplesPerAxis;
            base[size_t(y) * kLogoSize + x] = {sum.r / n, sum.g / n, sum.b / n};
        }
    }
    std::vector<uint8_t> block;
    uint32_t dataSize = 0;
    for (int level = 0, size = kLogoSize; level < kLogoLevels; ++level, size /= 2) {
        dataSize += uint32_t(size) * size * 2;
    }
    const uint32_t header[11] = {44, kLogoSize, kLogoSize, kLogoLevels - 1, 0x102, dataSize, 16,
                                 0xF800, 0x07E0, 0x001F, 0};
    for (uint32_t field : header) {
        AppendLE32(block, field);
    }
    // Every level is a box filter of level 0 over blocks of 2^level texels.
    for (int level = 0; level < kLogoLevels; ++level) {
        const int box = 1 << level, size = kLogoSize >> level;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                Colour sum = {0, 0, 0};
                for (int j = 0; j < box; ++j) {
                    for (int i = 0; i < box; ++i) {
                        const Colour& c = base[size_t(y * box + j) * kLogoSize + x * box + i];
                        sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b};
                    }
                }
                const double n = double(box) * box;
                AppendLE16(block, To565({sum.r / n, sum.g / n, sum.b / n}));
            }
        }
    }
    return block;
}

}  // namespace

std::vector<uint8_t> MakeFrameImage(bool bevelled, bool opaque)
{
    std::vector<uint8_t> image;
    // The header is never read by the library; it names the size and the packing for people.
    AppendLE32(image, kFrameSize);
    AppendLE32(image, kFrameSize);
    AppendLE32(image, 0x4444);
    AppendLE32(image, opaque ? 1 : 0);
    const int centreAlpha = opaque ? 15 : 13;
    // Rows run bottom to top on screen: row 15 is the frame's upper edge.
    for (int row = 0; row < kFrameSize; ++row) {
        for (int x = 0; x < kFrameSize; ++x) {
            if (!bevelled) {
                AppendLE16(image, FrameTexel(15, 15, 15, centreAlpha));
                continue;
            }
            const int fromTop = kFrameSize - 1 - row;
            const int ring = std::min(std::min(x, fromTop), std::min(kFrameSize - 1 - x, row));
            int grey;
            if (ring == 0) {
                grey = 4;  // dark outline
            } else if (ring <= 2) {
                // Light falls from the upper left: those edges are bright, the others shaded.
                const bool lit = x == ring || fromTop == ring;
                grey = lit ? (ring == 1 ? 15 : 13) : (ring == 1 ? 7 : 9);
            } else {
                grey = ring < 6 ? 10 + ring : 15;  // a soft ramp into the white centre
            }
            const int alpha = ring >= 6 ? centreAlpha : 15;
            AppendLE16(image, FrameTexel(grey, grey, grey, alpha));
        }
    }
    return image;
}

std::vector<uint8_t> MakeTrellisLogo(const Font& bold)
{
    const Lettering word(bold, "Trellis", 48.0, 42.0, 15.0);
    const Colour deep = Hex(0x0B3C49), light = Hex(0x197278), vine = Hex(0x9BE564), white = Hex(0xFFFFFF);
    return LogoBlock([&](double x, double y) {
        Colour c = Mix(light, deep, y / kDesignHeight);
        // A trellis: two families of diagonal slats crossing in the upper part.
        if (y > 5.0 && y < 29.0 && x > 8.0 && x < 88.0) {
            const double a = std::fmod(x + y * 1.2 + 200.0, 12.0), b = std::fmod(x - y * 1.2 + 200.0, 12.0);
            if (a < 2.2 || b < 2.2) {
                c = Mix(c, vine, 0.9);
            }
        }
        c = Mix(c, white, word.Coverage(x, y));
        const double border = RoundedBox(x, y, 1.5, 1.5, 94.5, 54.5, 5.0) - RoundedBox(x, y, 3.0, 3.0, 93.0, 53.0, 4.0);
        return Mix(c, vine, border);
    });
}

std::vector<uint8_t> MakeGlyphonLogo(const Font& bold)
{
    const Lettering word(bold, "Glyphon", 48.0, 42.0, 15.0);
    const Colour top = Hex(0xF4A259), bottom = Hex(0xBC4B51), ink = Hex(0x2B193D), paper = Hex(0xFFF5E1);
    return LogoBlock([&](double x, double y) {
        Colour c = Mix(top, bottom, y / kDesignHeight);
        // A little text window: a panel with a title bar and three lines of text.
        const double panel = RoundedBox(x, y, 24.0, 5.0, 72.0, 29.0, 3.0);
        c = Mix(c, paper, panel);
        c = Mix(c, ink, RoundedBox(x, y, 24.0, 5.0, 72.0, 11.0, 2.0));
        for (int line = 0; line < 3; ++line) {
            const double lineTop = 14.0 + line * 5.0;
            const double lineEnd = line == 2 ? 54.0 : 67.0;
            c = Mix(c, ink, 0.8 * RoundedBox(x, y, 29.0, lineTop, lineEnd, lineTop + 2.5, 1.2));
        }
        c = Mix(c, Hex(0xFFFFFF), word.Coverage(x, y));
        const double border = RoundedBox(x, y, 1.5, 1.5, 94.5, 54.5, 5.0) - RoundedBox(x, y, 3.0, 3.0, 93.0, 53.0, 4.0);
        return Mix(c, paper, border);
    });
}
