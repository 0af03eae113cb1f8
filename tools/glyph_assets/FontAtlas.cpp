#include "FontAtlas.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr int kAtlasSize = 256;

// The large font: DejaVu Sans Bold at 25 pixels in 29-row cells on bands 30
// rows apart; the small font: DejaVu Sans Mono Bold at 11 pixels in 12-row cells
// 15 rows apart. The rows between bands stay empty, so linear filtering at a
// quad's edge only ever reads blank texels.
struct FontStyle {
    int pixelSize;
    int cellHeight;
    int baseline;  // rows from the cell's top to the baseline
    int topGap;    // rows from a band's V (times 256) down to its cells' top row, inclusive
};
// A large quad's upper edge samples about 1.1 texels below V, a small one's just below it.
constexpr FontStyle kLarge = {25, 29, 21, 2};
constexpr FontStyle kSmall = {11, 12, 9, 1};

// One band of glyphs. `top` is the atlas row of the cells' upper edge plus one:
// the t of the band's V value times 256.
struct Band {
    int top;
    const char* codes;  // in order, left to right
};

// A few glyphs sit at fixed places that the library's users rely on.
struct Pin {
    unsigned code;
    int column;
    int width;  // 0: the font's own width
};

const Band kLargeBands[] = {
    {76, "&W%$?!\"\x01\x02\x03\x04"},
    {106, "NOPQRSTUVXYZ"},
    {136, "ABCDEFGHIJKLM"},
    {166, "opqrstuvwxyz()/"},
    {196, "abcdefghijklmn"},
    {226, "0123456789+=-_"},
    {256, "@'*,.:;\\"},
};
const Pin kLargePins[] = {
    {'A', 1, 24}, {'0', 1, 17}, {'i', 157, 6}, {'W', 24, 32}, {1, 151, 23}, {2, 0, 23}, {3, 0, 23}, {4, 0, 23},
};

const Band kSmallBands[] = {
    {12, "ABCDEFGHIJKLMNOPQRSTUVWXYZ\x01\x02\x03\x04"},
    {27, "abcdefghijklmnopqrstuvwxyz!\"$%"},
    {42, "&'()*+,-./:;=?@\\_0123456789"},
};
const Pin kSmallPins[] = {
    {'A', 2, 7}, {'a', 2, 7}, {'0', 139, 7}, {'i', 66, 7}, {'W', 178, 8}, {1, 221, 6}, {2, 0, 6}, {3, 0, 6}, {4, 0, 6},
};

const Pin* FindPin(const Pin* pins, size_t count, unsigned code)
{
    for (size_t i = 0; i < count; ++i) {
        if (pins[i].code == code) {
            return &pins[i];
        }
    }
    return nullptr;
}

// Table values keep four decimals, rounded half up.
double Round4(double value)
{
    return std::floor(value * 10000.0 + 0.5) / 10000.0;
}

struct Metrics {
    double u[256] = {};
    double v[256] = {};
    double w[256] = {};
};

// Pictograms 1-4: a clockwise and a counter-clockwise curved arrow, an outlined
// and a filled rectangle, drawn into a cell of the given size.
bool InsidePictogram(unsigned code, float width, float height, float x, float y)
{
    if (code == 4) {
        return true;
    }
    const float unit = width / 23.0f;
    if (code == 3) {
        const float inset = 1.5f * unit, border = 2.5f * unit;
        const bool inOuter = x > inset && x < width - inset && y > inset && y < height - inset;
        const bool inInner = x > inset + border && x < width - inset - border && y > inset + border &&
                             y < height - inset - border;
        return inOuter && !inInner;
    }
    if (code == 2) {
        x = width - x;  // the counter-clockwise arrow mirrors the clockwise one
    }
    const float pi = 3.14159265f;
    const float cx = width * 0.5f, cy = height * 0.55f;
    const float outer = width * 0.43f, inner = width * 0.25f;
    const float dx = x - cx, dy = cy - y;  // y up from here on
    const float r = std::sqrt(dx * dx + dy * dy);
    float angle = std::atan2(dy, dx) * 180.0f / pi;  // -180 .. 180
    // The ring runs clockwise from 60 degrees round to 150 degrees, leaving a gap at the upper left.
    const bool onRing = r >= inner && r <= outer && !(angle > 60.0f && angle < 150.0f);
    if (onRing) {
        return true;
    }
    // Arrowhead at 150 degrees pointing along the clockwise tangent.
    const float end = 150.0f * pi / 180.0f;
    const float ex = cx + std::cos(end) * (inner + outer) * 0.5f;
    const float ey = cy - std::sin(end) * (inner + outer) * 0.5f;
    const float tx = std::sin(end), ty = std::cos(end);  // clockwise tangent in y-down coordinates
    const float nx = std::cos(end), ny = -std::sin(end);  // outward normal in y-down coordinates
    const float along = (x - ex) * tx + (y - ey) * ty;
    const float across = (x - ex) * nx + (y - ey) * ny;
    const float halfBase = (outer - inner) * 0.5f + width * 0.16f;
    const float length = width * 0.3f;
    return along >= 0.0f && along <= length && std::fabs(across) <= halfBase * (1.0f - along / length);
}

// Writes an upright glyph image into the atlas: image row 0 goes to the highest atlas row.
void PutCell(std::vector<uint8_t>& atlas, int column, int cellTop, int width, int height, const GreyImage& image,
             int offsetX, int offsetY, bool* clipped)
{
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t value = image.At(x, y);
            const int cx = offsetX + x, cy = offsetY + y;
            if (value == 0) {
                continue;
            }
            if (cx < 0 || cy < 0 || cx >= width || cy >= height || cellTop - cy < 0) {
                *clipped = true;
                continue;
            }
            atlas[size_t(cellTop - cy) * kAtlasSize + column + cx] = value;
        }
    }
}

GreyImage RenderPictogram(unsigned code, int width, int height)
{
    GreyImage image;
    image.width = width;
    image.height = height;
    image.pixels.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.pixels[size_t(y) * width + x] = Coverage(float(x), float(y), 1.0f, 1.0f, [&](float px, float py) {
                return InsidePictogram(code, float(width), float(height), px, py);
            });
        }
    }
    return image;
}

// Places one font's bands; false when a band overflows or a pin cannot be honoured.
bool PlaceFont(const Font& face, const FontStyle& style, const Band* bands, size_t bandCount, const Pin* pins,
               size_t pinCount, std::vector<uint8_t>& atlas, Metrics& metrics)
{
    int zeroWidth = 0;
    for (size_t b = 0; b < bandCount; ++b) {
        const Band& band = bands[b];
        const int cellTop = band.top - style.topGap;
        int cursor = 1;
        for (const char* c = band.codes; *c != 0; ++c) {
            const unsigned code = static_cast<unsigned char>(*c);
            const Pin* pin = FindPin(pins, pinCount, code);
            GreyImage image;
            int bearingTop = 0, advance = 0;
            if (code <= 4) {
                image = RenderPictogram(code, pin->width, style.cellHeight);
                bearingTop = style.baseline;
                advance = pin->width;
            } else {
                image = face.Render(code, style.pixelSize, &bearingTop, &advance);
            }
            int width = advance > image.width ? advance : image.width;
            if (code >= '1' && code <= '9') {
                // Digits advance like '0' in the layout; their quads hug the ink.
                width = image.width + 2 < zeroWidth ? image.width + 2 : zeroWidth;
            }
            if (pin != nullptr && pin->width != 0) {
                width = pin->width;
            }
            if (code == '0') {
                zeroWidth = width;
            }
            if (pin != nullptr && pin->column != 0) {
                if (pin->column < cursor) {
                    std::fprintf(stderr, "glyph %u cannot sit at column %d\n", code, pin->column);
                    return false;
                }
                cursor = pin->column;
            }
            if (cursor + width > kAtlasSize - 1) {
                std::fprintf(stderr, "band %d overflows at glyph %u\n", band.top, code);
                return false;
            }
            bool clipped = false;
            PutCell(atlas, cursor, cellTop, width, style.cellHeight, image, (width - image.width) / 2,
                    style.baseline - bearingTop, &clipped);
            if (clipped) {
                std::fprintf(stderr, "glyph %u does not fit its cell\n", code);
                return false;
            }
            metrics.u[code] = Round4(cursor / 256.0);
            metrics.v[code] = Round4(band.top / 256.0);
            metrics.w[code] = Round4(width / 256.0);
            cursor += width + 1;
        }
    }
    return true;
}

void AppendTable(std::string& source, const char* name, const double* values)
{
    source += "    // ";
    source += name;
    source += "\n";
    char line[160];
    for (int row = 0; row < 256; row += 8) {
        std::string text = "    ";
        for (int i = row; i < row + 8; ++i) {
            std::snprintf(line, sizeof line, "%.4ff,%s", values[i], i + 1 < row + 8 ? " " : "");
            text += line;
        }
        std::snprintf(line, sizeof line, "  // %d\n", row);
        source += text + line;
    }
}

std::string MetricsSource(const Metrics& large, const Metrics& small)
{
    std::string source =
        "// Generated by tools/glyph_assets (DejaVu Sans Bold 25 px and DejaVu Sans Mono Bold 11 px).\n"
        "// Do not edit: change the generator and run it again.\n"
        "#include \"text/GlyphMetrics.h\"\n\nnamespace trellis {\n\n";
    const struct {
        const char* name;
        const Metrics* metrics;
    } fonts[] = {{"kGlyphLargeFont", &large}, {"kGlyphSmallFont", &small}};
    for (const auto& font : fonts) {
        source += std::string("const GlyphFont ") + font.name + " = {\n  {\n";
        AppendTable(source, "U: left texture coordinate", font.metrics->u);
        source += "  },\n  {\n";
        AppendTable(source, "V: texture t of the upper edge", font.metrics->v);
        source += "  },\n  {\n";
        AppendTable(source, "W: width in texture coordinates", font.metrics->w);
        source += "  },\n};\n";
        source += "\n";
    }
    return source + "} // namespace trellis\n";
}

}  // namespace

bool MakeFontAtlas(const Font& largeFace, const Font& smallFace, FontAtlas* atlas)
{
    atlas->coverage.assign(size_t(kAtlasSize) * kAtlasSize, 0);
    Metrics large, small;
    const size_t largeBands = sizeof kLargeBands / sizeof kLargeBands[0];
    const size_t smallBands = sizeof kSmallBands / sizeof kSmallBands[0];
    if (!PlaceFont(largeFace, kLarge, kLargeBands, largeBands, kLargePins, sizeof kLargePins / sizeof kLargePins[0],
                   atlas->coverage, large) ||
        !PlaceFont(smallFace, kSmall, kSmallBands, smallBands, kSmallPins, sizeof kSmallPins / sizeof kSmallPins[0],
                   atlas->coverage, small)) {
        return false;
    }
    atlas->metricsSource = MetricsSource(large, small);
    return true;
}
