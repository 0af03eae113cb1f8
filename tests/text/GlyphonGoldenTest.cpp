// Every vertex Glyphon queues for a fixed corpus of prints, compared byte for
// byte with a recorded file: any change to the layout arithmetic, the 16.16
// conversion, the formatting or the print cache that moves one bit shows here.
// The corpus covers every character code, short and long texts (past the
// 5,119-character cut), formats with and without conversions, both fonts,
// several scales, surface sizes and a portrait surface, positions far outside
// the screen (saturating values) and cache hits.
//
// To record the file again after a deliberate change of output:
//   GLYPHON_GOLDEN_WRITE=1 glyphon_tests --gtest_filter='GlyphonGolden.*'
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <zlib.h>

#include "GlyphonTestSupport.h"

using namespace trellis;

namespace {

// Compressed with zlib: the vertices repeat their colour and depth.
const char* const kGoldenPath = TRELLIS_TEST_DATA_DIR "/glyphon-vertices.golden.gz";

struct Surface {
    int width, height;
};
constexpr Surface kSurfaces[] = {{640, 480}, {320, 240}, {1024, 768}, {240, 320}, {177, 999}};

// Records what the queue holds as its vertex count (4 bytes, little-endian)
// and the raw bytes of the vertices, and empties it.
void Take(GlyphonContext& glyphon, std::string& bytes)
{
    const GlyphonState& state = glyphon.State();
    const auto count = uint32_t(state.queueCount);
    for (int i = 0; i < 4; ++i) {
        bytes.push_back(char(count >> (8 * i)));
    }
    const char* first = reinterpret_cast<const char*>(state.queue);
    bytes.insert(bytes.end(), first, first + size_t(count) * sizeof(TextVertex));
    glyphon.Flush();
}

// Every code from 1 to 255 once, in order: pictograms, controls, printable
// ASCII, the codes without glyphs and the upper half.
std::string EveryCode()
{
    std::string text;
    for (int code = 1; code < 256; ++code) {
        text.push_back(char(code));
    }
    return text;
}

void PrintCorpus(GlyphonContext& glyphon, std::string& bytes, bool everyScale, bool longTexts)
{
    const std::string everyCode = EveryCode();
    std::string printable;
    for (int code = 32; code < 127; ++code) {
        printable.push_back(char(code));
    }
    const float scales[] = {1.0f, -1.0f, 0.5f, 0.9f, 1.2f, 2.75f, 0.0f, -5.0f};
    for (float scale : scales) {
        if (!everyScale && scale != 1.0f && scale != -1.0f) {
            continue;
        }
        glyphon.PrintAt(0.0f, 0.0f, scale, kWhite, "%s", everyCode.c_str());
        glyphon.PrintAt(12.5f, 33.3f, scale, 0x80402010, "%s", printable.c_str());
        Take(glyphon, bytes);
    }
    // Short texts, lines, digits, literal formats and conversions.
    glyphon.PrintAt(50.0f, 50.0f, 1.0f, kYellow, "A");
    glyphon.PrintAt(50.0f, 50.0f, 1.0f, kYellow, " ");
    glyphon.PrintAt(3.0f, 97.0f, -1.0f, kYellow, "  x");
    glyphon.PrintAt(1.0f, 2.0f, 1.0f, kWhite, "\nAB");
    glyphon.PrintAt(1.0f, 2.0f, 0.7f, kWhite, "A\nB\n\nC D\n");
    glyphon.PrintAt(10.0f, 20.0f, 1.0f, kWhite, "The quick brown fox jumps over the lazy dog");
    glyphon.PrintAt(10.0f, 20.0f, 1.0f, kWhite, "Frame %05d at %.2f fps, %s %c%c %x %% %u", 1234, 59.94, "DOT3", 'o', 'k',
                    0xBEEFu, 7u);
    glyphon.PrintAt(-10.0f, 99.5f, 1.3f, kWhite, "%-8s|%8s|%+d|%e", "left", "right", -42, 6.02e23);
    glyphon.PrintAt(33.3f, 66.6f, -2.0f, kWhite, "Text with no conversion: 100 percent");
    glyphon.PrintAt(33.3f, 66.6f, -2.0f, kWhite, "%s", "");
    Take(glyphon, bytes);
    // Cache hits, a miss between them, and hits that differ only in position,
    // scale or colour.
    for (int i = 0; i < 3; ++i) {
        glyphon.PrintAt(5.0f, 5.0f, 1.0f, kWhite, "cached %d", 1);
        glyphon.PrintAt(5.0f, 5.0f, 1.0f, kWhite, "cached %d", 1);
        Take(glyphon, bytes);
    }
    glyphon.PrintAt(5.0f, 5.0f, 1.0f, kWhite, "cached 1");
    glyphon.PrintAt(5.5f, 5.0f, 1.0f, kWhite, "cached 1");
    glyphon.PrintAt(5.5f, 5.0f, 1.5f, kWhite, "cached 1");
    glyphon.PrintAt(5.5f, 5.0f, 1.5f, kYellow, "cached 1");
    Take(glyphon, bytes);
    // The title block prints through the same path.
    glyphon.ShowTitleBlock("Kestrel", "DOT3 per-pixel lighting", kLogoNone);
    glyphon.ShowTitleBlock("100% sure", nullptr, kLogoNone);
    Take(glyphon, bytes);
    // Far off the screen and beyond the 16.16 range: the values saturate.
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float positions[][2] = {{1.0e6f, 1.0e6f}, {-1.0e6f, 5.0f}, {5.0f, -1.0e9f}, {4999.0f, 6820.0f},
                                  {5119.9f, -6826.6f}, {inf, 0.0f}, {0.0f, -inf}, {nan, nan}};
    for (const auto& position : positions) {
        glyphon.PrintAt(position[0], position[1], 1.0f, kWhite, "Wide %s", "glyphs 0123");
    }
    glyphon.PrintAt(10.0f, 10.0f, 4.0e4f, kWhite, "Huge");
    glyphon.PrintAt(10.0f, 10.0f, inf, kWhite, "Inf");
    glyphon.PrintAt(10.0f, 10.0f, nan, kWhite, "NaN");
    glyphon.PrintAt(10.0f, 10.0f, -nan, kWhite, "NaN");
    Take(glyphon, bytes);
    // The layout building block with its own z.
    std::vector<TextVertex> out(4 * kGlyphonTextBytes);
    const float depths[] = {0.0f, 0.25f, -3.5f, 1.0e5f};
    for (float z : depths) {
        const int32_t count = glyphon.LayOutString(z, 17.0f, 29.0f, 0.8f, kWhite, "z 09 Wi", out.data());
        glyphon.QueueVertices(out.data(), count);
    }
    Take(glyphon, bytes);
    if (!longTexts) {
        return;
    }
    // Long bodies: dense glyphs past the cut, through a conversion and as a
    // literal format; spaces before a tail that the cut keeps or drops.
    std::string dense;
    while (dense.size() < 6000) {
        dense += "W0i ";
    }
    glyphon.PrintAt(0.0f, 0.0f, 0.1f, kWhite, "%s", dense.c_str());
    Take(glyphon, bytes);
    std::string literal(5100, ' ');
    literal += "tail past the cut of the text";
    glyphon.PrintAt(0.0f, 0.0f, -1.0f, kWhite, "%s", literal.c_str());
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    glyphon.PrintAt(0.0f, 10.0f, 0.5f, kWhite, literal.c_str());  // the text is the format, with no conversion
#pragma GCC diagnostic pop
    std::string lines;
    for (int row = 0; row < 260; ++row) {
        lines += "row " + std::to_string(row) + "\n";
    }
    glyphon.PrintAt(0.0f, 0.0f, 0.3f, kWhite, "%s", lines.c_str());
    Take(glyphon, bytes);
}

std::string RecordCorpus(GlyphonSurface& surface)
{
    std::string bytes;
    for (const Surface& size : kSurfaces) {
        surface.glyphon.Initialise(size.width, size.height);
        const bool first = &size == kSurfaces;
        PrintCorpus(surface.glyphon, bytes, first, first || size.width == 240);
    }
    return bytes;
}

TEST(GlyphonGolden, QueuedVerticesMatchTheRecordedFile)
{
    GlyphonSurface surface(64, 64);
    ASSERT_TRUE(surface.Ok());
    const std::string bytes = RecordCorpus(surface);
    if (std::getenv("GLYPHON_GOLDEN_WRITE") != nullptr) {
        gzFile out = gzopen(kGoldenPath, "wb9");
        ASSERT_NE(out, nullptr) << kGoldenPath;
        EXPECT_EQ(gzwrite(out, bytes.data(), unsigned(bytes.size())), int(bytes.size()));
        gzclose(out);
        GTEST_SKIP() << "recorded " << bytes.size() << " bytes into " << kGoldenPath;
    }
    gzFile in = gzopen(kGoldenPath, "rb");
    ASSERT_NE(in, nullptr) << kGoldenPath;
    std::string golden(bytes.size() + 1, '\0');
    const int read = gzread(in, &golden[0], unsigned(golden.size()));
    gzclose(in);
    golden.resize(size_t(read < 0 ? 0 : read));
    ASSERT_EQ(bytes.size(), golden.size());
    const auto mismatch = std::mismatch(bytes.begin(), bytes.end(), golden.begin());
    EXPECT_TRUE(mismatch.first == bytes.end()) << "first differing byte at " << (mismatch.first - bytes.begin());
}

}  // namespace
