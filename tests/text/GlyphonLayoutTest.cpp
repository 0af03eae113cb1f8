// Layout, queue and print cache of the text renderer, on a 640 x 480 surface
// where one virtual unit is one pixel.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GlyphonTestSupport.h"
#include "text/GlyphMetrics.h"

using namespace trellis;

namespace {

class GlyphonLayout : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(surface.Ok()); }
    GlyphonSurface surface{640, 480};
    GlyphonContext& glyphon = surface.glyphon;
    std::vector<TextVertex> out = std::vector<TextVertex>(4 * kGlyphonTextBytes);

    int32_t LayOut(const char* text, float scale = 1.0f, float x = 0.0f, float y = 0.0f)
    {
        return glyphon.LayOutString(0.0f, x, y, scale, kWhite, text, out.data());
    }
    float Units(int32_t fixed) const { return fixed / 65536.0f; }
    // Copy of the queued vertices.
    std::vector<TextVertex> Queued() const
    {
        const GlyphonState& state = glyphon.State();
        return std::vector<TextVertex>(state.queue, state.queue + state.queueCount);
    }
};

bool SameVertices(const TextVertex* a, const TextVertex* b, size_t count)
{
    return std::memcmp(a, b, count * sizeof(TextVertex)) == 0;
}

TEST_F(GlyphonLayout, GlyphQuadsFollowTheMetricTables)
{
    ASSERT_EQ(LayOut("W", 1.0f, 100.0f, 50.0f), 4);
    const GlyphFont& font = kGlyphLargeFont;
    // Top-left, top-right, bottom-left, bottom-right.
    EXPECT_EQ(out[0].x, FloatToFixed(100.0f));
    EXPECT_EQ(out[0].y, FloatToFixed(50.0f));
    EXPECT_EQ(out[1].x, FloatToFixed(100.0f + font.w[unsigned('W')] * 255.0f));
    EXPECT_EQ(out[2].y, FloatToFixed(50.0f + 27.0f));
    EXPECT_EQ(out[3].x, out[1].x);
    EXPECT_EQ(out[3].y, out[2].y);
    EXPECT_NEAR(Units(out[1].x - out[0].x), 32.0f, 0.2f);
    EXPECT_EQ(out[0].s, FloatToFixed(font.u[unsigned('W')]));
    EXPECT_EQ(out[1].s, FloatToFixed(font.u[unsigned('W')] + font.w[unsigned('W')]));
    EXPECT_EQ(out[0].t, FloatToFixed(font.v[unsigned('W')] - 0.0043478f));
    EXPECT_EQ(out[2].t, FloatToFixed(font.v[unsigned('W')] - 0.0043478f - 0.11372549f));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(out[i].z, 0);
        EXPECT_EQ(out[i].colour[0], 0xFF);
    }
    // Colour bytes go in lowest first: R, G, B, A.
    glyphon.LayOutString(0.0f, 0.0f, 0.0f, 1.0f, 0x80402010, "A", out.data());
    EXPECT_EQ(std::vector<int>(out[0].colour, out[0].colour + 4), (std::vector<int>{0x10, 0x20, 0x40, 0x80}));
}

TEST_F(GlyphonLayout, DigitsShareTheAdvanceOfZero)
{
    const float zero = kGlyphLargeFont.w[unsigned('0')] * 255.0f;
    ASSERT_EQ(LayOut("1117"), 16);
    std::vector<TextVertex> ones(out.begin(), out.begin() + 16);
    ASSERT_EQ(LayOut("0000"), 16);
    for (int glyph = 0; glyph < 4; ++glyph) {
        EXPECT_EQ(ones[4 * glyph].x, out[4 * glyph].x) << "glyph " << glyph;
    }
    EXPECT_NEAR(Units(out[12].x), 3 * zero, 0.01f);
    // The quad of '1' is narrower than the advance it takes.
    EXPECT_LT(ones[1].x - ones[0].x, out[1].x - out[0].x);
    EXPECT_FLOAT_EQ(glyphon.StringWidth(1.0f, "1117"), glyphon.StringWidth(1.0f, "0000"));
    EXPECT_FLOAT_EQ(glyphon.StringWidth(-1.0f, "1234"), glyphon.StringWidth(-1.0f, "9876"));
}

TEST_F(GlyphonLayout, CodesWithoutGlyphMakeZeroWidthQuads)
{
    // '#', '<', a tab, a carriage return and codes 128-255 have no glyph.
    const char* texts[] = {"#A", "<A", "\tA", "\rA", "\x80" "A", "\xC8" "A", "\xFF" "A"};
    ASSERT_EQ(LayOut("A"), 4);
    const int32_t alone = out[0].x;
    for (const char* text : texts) {
        ASSERT_EQ(LayOut(text), 8) << int(static_cast<unsigned char>(text[0]));
        EXPECT_EQ(out[0].x, out[1].x);
        EXPECT_EQ(out[4].x, alone) << "the pen stays in place";
        EXPECT_EQ(out[0].s, out[1].s);
    }
    EXPECT_EQ(glyphon.StringWidth(1.0f, "\xC8\n#"), 0.0f);
}

TEST_F(GlyphonLayout, SpacesAndNewlinesMoveThePen)
{
    ASSERT_EQ(LayOut("A B", 1.0f, 10.0f, 20.0f), 8);
    EXPECT_FLOAT_EQ(Units(out[4].x - out[1].x), 10.0f);
    // The line advance is 0 before the first glyph of the string.
    ASSERT_EQ(LayOut("\nAB", 1.0f, 10.0f, 20.0f), 8);
    EXPECT_EQ(out[0].y, FloatToFixed(20.0f));
    // After it, a newline goes one line height down, back to the line start.
    ASSERT_EQ(LayOut("A\nB", 1.0f, 10.0f, 20.0f), 8);
    EXPECT_EQ(out[4].y, FloatToFixed(47.0f));
    EXPECT_EQ(out[4].x, FloatToFixed(10.0f));
    ASSERT_EQ(LayOut("A\nB", 2.0f, 10.0f, 20.0f), 8);
    EXPECT_EQ(out[4].y, FloatToFixed(74.0f));
    EXPECT_EQ(LayOut(""), 0);
    EXPECT_EQ(glyphon.LayOutString(0.0f, 0.0f, 0.0f, 1.0f, kWhite, nullptr, out.data()), 0);
    EXPECT_EQ(LayOut("   \n\n "), 0);
}

TEST_F(GlyphonLayout, NegativeScaleAlwaysGivesTheSmallFont)
{
    ASSERT_EQ(LayOut("Ai0", -1.0f), 12);
    const std::vector<TextVertex> minusOne(out.begin(), out.begin() + 12);
    ASSERT_EQ(LayOut("Ai0", -5.0f), 12);
    EXPECT_TRUE(SameVertices(minusOne.data(), out.data(), 12));
    EXPECT_EQ(out[0].s, FloatToFixed(kGlyphSmallFont.u[unsigned('A')]));
    EXPECT_EQ(out[0].t, FloatToFixed(kGlyphSmallFont.v[unsigned('A')] - 0.0001f));
    EXPECT_FLOAT_EQ(Units(out[2].y - out[0].y), 12.0f);
    ASSERT_EQ(LayOut("A A", -3.0f), 8);
    EXPECT_FLOAT_EQ(Units(out[4].x - out[1].x), 5.0f);
}

TEST_F(GlyphonLayout, StringWidthAndMeasureString)
{
    const GlyphFont& large = kGlyphLargeFont;
    const GlyphFont& small = kGlyphSmallFont;
    EXPECT_FLOAT_EQ(glyphon.StringWidth(2.0f, "A \nW"), (large.w[unsigned('A')] + large.w[unsigned('W')]) * 255.0f * 2.0f + 20.0f);
    EXPECT_FLOAT_EQ(glyphon.StringWidth(-1.0f, "A W"), (small.w[unsigned('A')] + small.w[unsigned('W')]) * 255.0f + 5.0f);
    EXPECT_EQ(glyphon.StringWidth(1.0f, nullptr), 0.0f);

    float width = -1.0f, height = -1.0f;
    glyphon.MeasureString(&width, &height, 1.0f, "i 7");
    EXPECT_FLOAT_EQ(width, (large.w[unsigned('i')] + 2.0f * large.w[unsigned('0')]) * 40.0f + 0.4f);
    EXPECT_FLOAT_EQ(height, 4.21875f);
    glyphon.MeasureString(&width, &height, -1.0f, "A 1");
    EXPECT_FLOAT_EQ(width, (small.w[unsigned('A')] + small.w[unsigned('0')]) * 39.84375f + 5.0f);
    EXPECT_FLOAT_EQ(height, 12.0f);
    glyphon.MeasureString(&width, nullptr, 1.0f, nullptr);
    EXPECT_EQ(width, 0.0f);

    int32_t screenWidth = 0, screenHeight = 0;
    glyphon.GetScreenSize(&screenWidth, &screenHeight);
    EXPECT_EQ(screenWidth, 640);
    EXPECT_EQ(screenHeight, 480);
}

TEST_F(GlyphonLayout, PrintCacheQueuesTheSameQuadsAgainAndNeverAStaleLayout)
{
    glyphon.PrintAt(10.0f, 10.0f, 1.0f, kYellow, "Score %d", 42);
    const std::vector<TextVertex> first = Queued();
    ASSERT_EQ(first.size(), 4u * 7u);
    EXPECT_STREQ(glyphon.State().lastText, "Score 42");
    glyphon.PrintAt(10.0f, 10.0f, 1.0f, kYellow, "Score %d", 42);
    std::vector<TextVertex> queued = Queued();
    ASSERT_EQ(queued.size(), 2 * first.size());
    EXPECT_TRUE(SameVertices(first.data(), queued.data() + first.size(), first.size()));

    // Any changed argument lays the text out again.
    glyphon.PrintAt(10.0f, 10.0f, 1.0f, kWhite, "Score 42");
    glyphon.PrintAt(20.0f, 10.0f, 1.0f, kWhite, "Score 42");
    glyphon.PrintAt(20.0f, 10.0f, 2.0f, kWhite, "Score 42");
    glyphon.PrintAt(20.0f, 10.0f, 2.0f, kWhite, "Score 43");
    queued = Queued();
    ASSERT_EQ(queued.size(), 6 * first.size());
    const TextVertex* whites = queued.data() + 2 * first.size();
    EXPECT_EQ(whites[0].colour[2], 0xFF);
    EXPECT_EQ(whites[0].x, first[0].x);
    EXPECT_EQ(whites[first.size()].x, FloatToFixed(20.0f * 6.4f));
    EXPECT_GT(whites[2 * first.size() + 2].y - whites[2 * first.size()].y, whites[2].y - whites[0].y);
    EXPECT_NE(whites[3 * first.size() + 24].s, whites[2 * first.size() + 24].s);

    // Two strings alternating keep their own layouts.
    glyphon.Flush();
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "AB");
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "CD");
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "AB");
    queued = Queued();
    ASSERT_EQ(queued.size(), 24u);
    EXPECT_TRUE(SameVertices(queued.data(), queued.data() + 16, 8));
    EXPECT_FALSE(SameVertices(queued.data(), queued.data() + 8, 8));
}

TEST_F(GlyphonLayout, EmptyAndBlankPrints)
{
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "%s", "");
    EXPECT_EQ(glyphon.State().queueCount, 0);
    // Spaces queue nothing but become the last print.
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "   ");
    EXPECT_EQ(glyphon.State().queueCount, 0);
    EXPECT_STREQ(glyphon.State().lastText, "   ");
    EXPECT_EQ(glyphon.Flush(), 0);
}

TEST_F(GlyphonLayout, OverlongPrintsAreCutToTheFormatBuffer)
{
    const std::string text(9000, 'x');
    glyphon.PrintAt(0.0f, 0.0f, -1.0f, kWhite, "%s", text.c_str());
    EXPECT_EQ(glyphon.State().queueCount, 4 * (kGlyphonTextBytes - 1));
    EXPECT_EQ(std::strlen(glyphon.State().lastText), size_t(kGlyphonTextBytes - 1));
    // A format without conversions is cut alike.
    glyphon.Flush();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    glyphon.PrintAt(1.0f, 0.0f, -1.0f, kWhite, text.c_str());
#pragma GCC diagnostic pop
    EXPECT_EQ(glyphon.State().queueCount, 4 * (kGlyphonTextBytes - 1));
}

TEST_F(GlyphonLayout, TheFormattedTextEndsAtItsFirstZeroByte)
{
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "A%cB", 0);
    EXPECT_EQ(glyphon.State().queueCount, 4);
    EXPECT_STREQ(glyphon.State().lastText, "A");
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "%cB", 0);
    EXPECT_EQ(glyphon.State().queueCount, 4);
    // A lone %s of a null text prints what printf prints for it.
    const char* volatile absent = nullptr;
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "%s", absent);
    char expected[16];
    std::snprintf(expected, sizeof expected, "%s", absent);
    EXPECT_STREQ(glyphon.State().lastText, expected);
}

TEST_F(GlyphonLayout, QueueDoublesUpToItsLimitAndDropsWhatDoesNotFit)
{
    EXPECT_EQ(glyphon.State().queueCapacity, kGlyphonInitialQueue);
    const std::string full(kGlyphonTextBytes - 1, 'A');
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "%s", full.c_str());
    EXPECT_EQ(glyphon.State().queueCapacity, 8 * kGlyphonInitialQueue) << "doubled until 20,476 vertices fit";
    const int32_t perPrint = 4 * (kGlyphonTextBytes - 1);
    while (glyphon.State().queueCount + perPrint <= kGlyphonMaxQueue) {
        glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "%s", full.c_str());
    }
    const int32_t before = glyphon.State().queueCount;
    EXPECT_EQ(glyphon.State().queueCapacity, kGlyphonMaxQueue);
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "%s", full.c_str());
    EXPECT_EQ(glyphon.State().queueCount, before) << "a print that does not fit is dropped whole";
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "AB");
    EXPECT_EQ(glyphon.State().queueCount, before + 8) << "smaller prints still fit";
    EXPECT_EQ(glyphon.Flush(), (before + 8) / 2);
    EXPECT_EQ(glyphon.State().queueCount, 0);
    EXPECT_EQ(glyphon.State().queueCapacity, kGlyphonMaxQueue) << "the queue never shrinks";
}

TEST_F(GlyphonLayout, QueueRejectsCountsBeyondItsLimitWithoutOverflowing)
{
    ASSERT_EQ(LayOut("AB"), 8);
    glyphon.QueueVertices(out.data(), 8);
    // Counts whose sum with the queued ones passes the 32-bit range are refused
    // before anything is read, like any other batch that does not fit.
    glyphon.QueueVertices(out.data(), INT32_MAX);
    glyphon.QueueVertices(out.data(), INT32_MAX - 4);
    glyphon.QueueVertices(out.data(), kGlyphonMaxQueue - 7);
    glyphon.QueueVertices(nullptr, 4);
    glyphon.QueueVertices(out.data(), -4);
    EXPECT_EQ(glyphon.State().queueCount, 8);
    EXPECT_EQ(glyphon.State().queueCapacity, kGlyphonInitialQueue);
}

TEST(GlyphonLifecycle, NothingIsQueuedBeforeInitialiseOrAfterRelease)
{
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.Ok());
    GlyphonContext glyphon;
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "early");
    glyphon.ShowTitleBlock("Title", "Text", kLogoFirst);
    EXPECT_EQ(glyphon.Flush(), 0);

    ASSERT_TRUE(glyphon.Initialise(64, 64));
    const uint32_t font = glyphon.State().fontTexture;
    EXPECT_TRUE(glyphon.Initialise(64, 64));
    EXPECT_EQ(glyphon.State().fontTexture, font) << "textures are made once";
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "AB");
    ASSERT_EQ(glyphon.State().queueCount, 8);

    glyphon.ReleaseResources();
    EXPECT_FALSE(glyphon.State().texturesLoaded);
    EXPECT_FALSE(glIsTexture(font));
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "late");
    EXPECT_EQ(glyphon.Flush(), 0);
    glyphon.ReleaseResources();

    ASSERT_TRUE(glyphon.Initialise(64, 64));
    EXPECT_EQ(glyphon.State().queueCapacity, kGlyphonInitialQueue);
    EXPECT_EQ(glyphon.State().queueCount, 0);
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "AB");
    EXPECT_EQ(glyphon.Flush(), 4);
}

TEST(GlyphonLifecycle, FailedInitialiseLeavesNothingBehindAndCanBeRetried)
{
    GlTestContext gl(64, 64);
    ASSERT_TRUE(gl.Ok());
    GlyphonContext glyphon;
    // An error still pending when the first texture is checked fails the creation.
    glEnable(0x7FFF);
    EXPECT_FALSE(glyphon.Initialise(64, 64));
    EXPECT_FALSE(glyphon.State().ready);
    EXPECT_FALSE(glyphon.State().texturesLoaded);
    EXPECT_EQ(glyphon.State().frameTextures[0], 0u);
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "AB");
    EXPECT_EQ(glyphon.Flush(), 0);
    EXPECT_TRUE(glyphon.Initialise(64, 64));
    EXPECT_TRUE(glyphon.State().ready);
}

TEST_F(GlyphonLayout, AnUnchangedPrintQueuesItsStoredLayoutWithoutLayingItOutAgain)
{
    // A mark put into the stored layout reaches the queue only through a cache
    // hit: laying the text out again would overwrite it.
    glyphon.PrintAt(10.0f, 10.0f, 1.0f, kYellow, "Score %d", 42);
    auto* stored = const_cast<TextVertex*>(glyphon.State().printVertices);
    ASSERT_NE(stored, nullptr);
    stored[0].z = 0x1234;
    glyphon.PrintAt(10.0f, 10.0f, 1.0f, kYellow, "Score %d", 42);
    EXPECT_EQ(Queued()[28].z, 0x1234);
    stored[0].z = 0x1234;
    glyphon.PrintAt(10.0f, 10.0f, 1.0f, kYellow, "Score %d", 43);
    EXPECT_EQ(Queued()[56].z, 0) << "a changed text is laid out afresh";
}

TEST(GlyphonLifecycle, NewSurfaceSizeLaysCachedTextOutAgain)
{
    GlTestContext gl(640, 480);
    ASSERT_TRUE(gl.Ok());
    GlyphonContext glyphon;
    ASSERT_TRUE(glyphon.Initialise(640, 480));
    glyphon.PrintAt(50.0f, 50.0f, 1.0f, kWhite, "A");
    EXPECT_EQ(glyphon.State().queue[0].x, FloatToFixed(320.0f));
    glyphon.Flush();
    ASSERT_TRUE(glyphon.Initialise(320, 240));
    glyphon.PrintAt(50.0f, 50.0f, 1.0f, kWhite, "A");
    EXPECT_EQ(glyphon.State().queue[0].x, FloatToFixed(160.0f));
    int32_t width = 0, height = 0;
    glyphon.GetScreenSize(&width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
}

}  // namespace
