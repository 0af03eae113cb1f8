// Text windows: slots, word wrap and scrolling, sizes, and their frames on screen.
#include <string>
#include <utility>
#include <vector>

#include "GlyphonTestSupport.h"

using namespace trellis;

namespace {

class TextWindows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(surface.Ok()); }
    GlyphonSurface surface{640, 480};
    GlyphonContext& glyphon = surface.glyphon;

    const TextWindow& Window(int32_t id) const { return glyphon.State().windows[id]; }
    // Every row of the body, top first.
    std::vector<std::string> Rows(int32_t id) const
    {
        std::vector<std::string> rows;
        for (uint32_t row = 0; row < Window(id).lineCount; ++row) {
            rows.emplace_back(Window(id).bodyText + row * Window(id).lineLength);
        }
        return rows;
    }
};

TEST_F(TextWindows, IdsStartAtOneAreReusedAndRunOutAt511)
{
    EXPECT_EQ(glyphon.CreateTextWindow(10, 2), 1);
    glyphon.DeleteTextWindow(1);
    EXPECT_EQ(Window(1).flags, 0u);
    EXPECT_EQ(glyphon.CreateTextWindow(10, 2), 1);
    for (int32_t expected = 2; expected <= 511; ++expected) {
        ASSERT_EQ(glyphon.CreateTextWindow(4, 1), expected);
    }
    EXPECT_EQ(glyphon.CreateTextWindow(4, 1), 0) << "the 512th window";
    EXPECT_EQ(glyphon.CreateQuickWindow(0.0f, 0.0f, 10, "Title", "Body"), 0);
    glyphon.DeleteTextWindow(300);
    EXPECT_EQ(glyphon.CreateTextWindow(4, 1), 300);
    glyphon.DeleteTextWindow(400);
    glyphon.DeleteTextWindow(200);
    EXPECT_EQ(glyphon.CreateTextWindow(4, 1), 200) << "the lowest free slot, whatever the order of deletion";
    EXPECT_EQ(glyphon.CreateTextWindow(4, 1), 400);
    EXPECT_EQ(glyphon.CreateTextWindow(4, 1), 0);
    glyphon.DeleteAllTextWindows();
    EXPECT_EQ(Window(511).flags, 0u);
    EXPECT_EQ(glyphon.CreateTextWindow(4, 1), 1);
}

TEST_F(TextWindows, NewWindowDefaults)
{
    const int32_t id = glyphon.CreateTextWindow(7, 3);
    const TextWindow& window = Window(id);
    EXPECT_EQ(window.flags, kWindowInUse | kWindowBodyShown | kWindowTitleShown);
    EXPECT_TRUE(window.dirty);
    EXPECT_EQ(window.lineLength, 8u);
    EXPECT_EQ(window.lineCount, 3u);
    EXPECT_EQ(window.titleScale, 1.0f);
    EXPECT_EQ(window.bodyScale, 0.5f);
    EXPECT_EQ(window.titleLeftColour, 0xFF00FFFFu);
    EXPECT_EQ(window.titleBarColour, 0xFFFF3030u);
    EXPECT_EQ(window.bodyColour, 0xFFFFFFFFu);
    EXPECT_EQ(window.backgroundColour, 0xFFFF8080u);
    EXPECT_EQ(window.width, 20.0f);
    EXPECT_EQ(window.height, 20.0f);
    EXPECT_STREQ(window.titleLeftText, "");
}

TEST_F(TextWindows, UnusableSizesMakeNoWindow)
{
    const std::pair<int32_t, int32_t> sizes[] = {{0, 3}, {-5, 3}, {10, 0}, {10, 256}, {kGlyphonTextBytes, 1}};
    for (const auto& [columns, rows] : sizes) {
        EXPECT_EQ(glyphon.CreateTextWindow(columns, rows), 0) << columns << " x " << rows;
    }
    EXPECT_EQ(glyphon.CreateQuickWindow(0.0f, 0.0f, 0, "Title", nullptr), 0);
    EXPECT_EQ(Window(1).flags, 0u) << "no slot is touched";
    EXPECT_EQ(glyphon.CreateTextWindow(kGlyphonTextBytes - 1, kGlyphonMaxRows), 1);
}

TEST_F(TextWindows, BadIdsAndFreeSlotsAreIgnoredByEveryOperation)
{
    const int32_t id = glyphon.CreateTextWindow(10, 2);
    for (int32_t bad : {-1, 0, 2, 511, 512, 100000}) {
        glyphon.SetWindowLook(bad, 0, 0, 1.0f, 1, 1, 1, 1);
        glyphon.SetWindowTitleBar(bad, 0, 1.0f, 0, "left", 0, "right");
        glyphon.SetWindowBody(bad, "text %d", bad);
        glyphon.ApplyWindowCommands(bad, 0xFF);
        glyphon.FitWindowToText(bad, 0);
        glyphon.DrawTextWindow(bad);
        glyphon.DeleteTextWindow(bad);
    }
    EXPECT_EQ(Window(0).flags, 0u);
    EXPECT_EQ(Window(2).flags, 0u);
    EXPECT_EQ(Window(2).bodyText, nullptr);
    EXPECT_EQ(Window(id).flags, kWindowInUse | kWindowBodyShown | kWindowTitleShown);
    EXPECT_EQ(glyphon.State().queueCount, 0);
}

TEST_F(TextWindows, SetWindowLookWithStoredValuesLeavesTheWindowClean)
{
    const int32_t id = glyphon.CreateTextWindow(10, 2);
    glyphon.SetWindowLook(id, 0x80FF0000, 0xFFFFFFFF, 0.5f, 10.0f, 20.0f, 30.0f, 40.0f);
    EXPECT_EQ((std::vector<float>{Window(id).x, Window(id).y, Window(id).width, Window(id).height}),
              (std::vector<float>{64, 96, 192, 192}));
    glyphon.DrawTextWindow(id);
    ASSERT_FALSE(Window(id).dirty);
    glyphon.SetWindowLook(id, 0x80FF0000, 0xFFFFFFFF, 0.5f, 10.0f, 20.0f, 30.0f, 40.0f);
    EXPECT_FALSE(Window(id).dirty);
    glyphon.SetWindowLook(id, 0x80FF0000, 0xFFFFFFFF, 0.5f, 10.0f, 20.0f, 30.0f, 41.0f);
    EXPECT_TRUE(Window(id).dirty);
}

TEST_F(TextWindows, WordWrapDropsTheSpaceBeforeAWordThatDoesNotFit)
{
    const int32_t id = glyphon.CreateTextWindow(7, 3);
    const struct {
        const char* body;
        std::vector<std::string> rows;
    } cases[] = {
        {"abc def ghijk", {"abc def", "ghijk", ""}},
        {"ab cdefg", {"ab", "cdefg", ""}},           // a word ending exactly at the row's terminator wraps too
        {"abcdefghijkl", {"abcdefg", "hijkl", ""}},  // a word longer than a row is split where the row is full
        {"abcdefg\nx", {"abcdefg", "", "x"}},       // a newline right after a full row leaves an empty row
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        glyphon.SetWindowBody(id, "%s", c.body);
        EXPECT_EQ(Rows(id), c.rows);
    }
}

TEST_F(TextWindows, RowsScrollAwayWhenTheyRunOut)
{
    const int32_t id = glyphon.CreateTextWindow(10, 2);
    glyphon.SetWindowBody(id, "%s\n%s\n%s", "first", "second", "third");
    EXPECT_EQ(Rows(id), (std::vector<std::string>{"second", "third"}));
    // Only (lineLength + 1) x (lineCount + 1) characters are read.
    const std::string flood(4000, 'z');
    glyphon.SetWindowBody(id, "%s", flood.c_str());
    EXPECT_EQ(Rows(id), (std::vector<std::string>{std::string(10, 'z'), std::string(6, 'z')}))
        << "36 characters: 10, 10 scrolled away, 10, 6";
    const int32_t single = glyphon.CreateTextWindow(5, 1);
    glyphon.SetWindowBody(single, "ab\ncd");
    EXPECT_EQ(Rows(single), std::vector<std::string>{"cd"});
}

TEST_F(TextWindows, ABodyIsCutAt5119CharactersWhateverItsFormat)
{
    const int32_t id = glyphon.CreateTextWindow(kGlyphonTextBytes - 1, 2);
    // The last word fits the row only as cut: whole, it would wrap.
    const std::string text = std::string(5110, 'a') + " " + std::string(20, 'b');
    const std::vector<std::string> cut = {text.substr(0, kGlyphonTextBytes - 1), ""};
    glyphon.SetWindowBody(id, "%s", text.c_str());
    EXPECT_EQ(Rows(id), cut);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-security"
    glyphon.SetWindowBody(id, text.c_str());
#pragma GCC diagnostic pop
    EXPECT_EQ(Rows(id), cut);
}

TEST_F(TextWindows, TitleBarHeightAndFirstRowPosition)
{
    const int32_t id = glyphon.CreateTextWindow(20, 2);
    glyphon.SetWindowTitleBar(id, 0xFFFF0000, 1.0f, kYellow, "Title", kYellow, nullptr);
    glyphon.SetWindowBody(id, "Body");
    glyphon.DrawTextWindow(id);
    const TextWindow& window = Window(id);
    ASSERT_NE(window.titleFrameMesh, nullptr);
    ASSERT_NE(window.lineVertices[0], nullptr);
    // The title bar is 39.5 units high and the first row starts 45.5 units down.
    EXPECT_EQ(window.titleFrameMesh[12].y, FloatToFixed(39.5f));
    EXPECT_EQ(window.bodyFrameMesh[0].y, FloatToFixed(39.5f));
    EXPECT_EQ(window.lineVertices[0][0].y, FloatToFixed(45.5f));
    EXPECT_EQ(window.lineVertices[0][0].x, FloatToFixed(6.0f));
    EXPECT_EQ(window.titleLeftVertices[0].y, FloatToFixed(7.0f));
    EXPECT_EQ(window.lineVertexCounts[0], 16);
    EXPECT_EQ(window.titleLeftVertexCount, 20);
    EXPECT_EQ(window.titleLeftWidth, glyphon.StringWidth(1.0f, "Title") + 10.0f);
    // Small-font titles make a 24-unit bar.
    glyphon.SetWindowTitleBar(id, 0xFFFF0000, -1.0f, kYellow, nullptr, kYellow, "Right");
    glyphon.DrawTextWindow(id);
    EXPECT_EQ(window.lineVertices[0][0].y, FloatToFixed(30.0f));
    EXPECT_STREQ(window.titleLeftText, "Title") << "a null title stays";
    EXPECT_EQ(window.titleRightVertexCount, 20);
}

TEST_F(TextWindows, FrameLatticeAndRightTitlePlacement)
{
    const int32_t id = glyphon.CreateTextWindow(20, 2);
    glyphon.SetWindowLook(id, kWhite, kWhite, 0.5f, 10.0f, 20.0f, 30.0f, 40.0f);
    glyphon.SetWindowTitleBar(id, kWhite, 1.0f, kYellow, "L", kYellow, "R");
    glyphon.DrawTextWindow(id);
    const TextWindow& window = Window(id);
    // The body frame below the 39.5-unit bar: 6-unit borders around a stretched middle.
    const float columns[4] = {64.0f, 70.0f, 250.0f, 256.0f};
    const float rows[4] = {96.0f + 39.5f, 102.0f + 39.5f, 282.0f + 39.5f, 288.0f + 39.5f};
    const float s[4] = {0.0f, 0.375f, 0.625f, 1.0f};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            const TextVertex& vertex = window.bodyFrameMesh[4 * row + column];
            EXPECT_EQ(vertex.x, FloatToFixed(columns[column])) << row << "," << column;
            EXPECT_EQ(vertex.y, FloatToFixed(rows[row])) << row << "," << column;
            EXPECT_EQ(vertex.s, FloatToFixed(s[column]));
            EXPECT_EQ(vertex.t, FloatToFixed(s[3 - row])) << "t runs from 1 at the top to 0";
        }
    }
    // The right title is right-aligned 6 units from the edge ...
    ASSERT_EQ(window.titleRightVertexCount, 4);
    EXPECT_EQ(window.titleRightVertices[0].x,
              FloatToFixed(window.x + (window.width - glyphon.StringWidth(1.0f, "R") - 6.0f)));
    EXPECT_EQ(window.titleRightVertices[0].y, FloatToFixed(window.y + 7.0f));
    // ... but never closer than 10 units behind the left title.
    glyphon.SetWindowTitleBar(id, kWhite, 1.0f, kYellow, "A much longer left title", kYellow, nullptr);
    glyphon.DrawTextWindow(id);
    ASSERT_EQ(window.titleRightVertexCount, 4);
    EXPECT_EQ(window.titleRightVertices[0].x, FloatToFixed(window.x + window.titleLeftWidth));
}

TEST_F(TextWindows, OverlongTitlesAreCut)
{
    const int32_t id = glyphon.CreateTextWindow(20, 2);
    const std::string title(8000, 'T');
    glyphon.SetWindowTitleBar(id, 0, 1.0f, kYellow, title.c_str(), kYellow, title.c_str());
    EXPECT_EQ(std::string(Window(id).titleLeftText).size(), size_t(kGlyphonTextBytes - 1));
    glyphon.SetWindowTitleBar(id, 0, 1.0f, kYellow, "short", kYellow, "");
    EXPECT_STREQ(Window(id).titleLeftText, "short");
    EXPECT_STREQ(Window(id).titleRightText, "");
}

TEST_F(TextWindows, AutoFitFollowsTheTexts)
{
    const int32_t id = glyphon.CreateTextWindow(30, 5);
    glyphon.ApplyWindowCommands(id, kHideTitle | kSetAutoFit);
    // Twenty spaces at body scale 0.5 make a row 100 units wide.
    glyphon.SetWindowBody(id, "%20s", "");
    EXPECT_FLOAT_EQ(glyphon.StringWidth(0.5f, "                    "), 100.0f);
    EXPECT_FLOAT_EQ(Window(id).width, 114.0f);
    glyphon.SetWindowBody(id, "one\ntwo\nthree");
    EXPECT_FLOAT_EQ(Window(id).height, 59.5f);
    EXPECT_FLOAT_EQ(Window(id).width, glyphon.StringWidth(0.5f, "three") + 14.0f);
    // With the title bar shown both titles and 12 units count.
    glyphon.SetWindowTitleBar(id, 0, 2.0f, kYellow, "A much longer title", kYellow, "R");
    glyphon.ApplyWindowCommands(id, kShowTitle);
    glyphon.FitWindowToText(id, 1);
    EXPECT_FLOAT_EQ(Window(id).width,
                    glyphon.StringWidth(2.0f, "A much longer title") + glyphon.StringWidth(2.0f, "R") + 12.0f + 14.0f);
    glyphon.SetWindowBody(id, "%s", "");
    glyphon.FitWindowToText(id, 2);
    EXPECT_FLOAT_EQ(Window(id).height, 0.5f * 29.0f + 16.0f);
}

TEST_F(TextWindows, CommandsSetAndClearTheirBits)
{
    const int32_t id = glyphon.CreateTextWindow(10, 2);
    glyphon.ApplyWindowCommands(id, kShowBody | kHideBody | kShowTitle | kHideTitle);
    EXPECT_EQ(Window(id).flags, kWindowInUse) << "show and hide together leave the part hidden";
    glyphon.ApplyWindowCommands(id, kShowBody);
    EXPECT_EQ(Window(id).flags, kWindowInUse | kWindowBodyShown);
    const uint32_t permanent = kWindowOpaque | kWindowFrameless | kWindowAutoFit | kWindowPlainFrame;
    glyphon.ApplyWindowCommands(id, kSetOpaque | kSetFrameless | kSetAutoFit | kSetPlainFrame);
    // No command clears them again.
    for (uint32_t command = 0; command <= 0xFF; ++command) {
        glyphon.ApplyWindowCommands(id, command & (kShowBody | kHideBody | kShowTitle | kHideTitle));
    }
    EXPECT_EQ(Window(id).flags & permanent, permanent);
    glyphon.DrawTextWindow(id);
    glyphon.ApplyWindowCommands(id, kSetOpaque);
    EXPECT_FALSE(Window(id).dirty) << "opacity only changes how the window is drawn";
    glyphon.ApplyWindowCommands(id, kHideTitle);
    EXPECT_TRUE(Window(id).dirty);
}

TEST_F(TextWindows, QuickWindows)
{
    EXPECT_EQ(glyphon.CreateQuickWindow(0.0f, 0.0f, 10, nullptr, nullptr), -1);
    EXPECT_EQ(Window(1).flags, 0u);

    const int32_t both = glyphon.CreateQuickWindow(10.0f, 10.0f, 20, "Title", "Body 100%");
    EXPECT_EQ(Window(both).flags, kWindowInUse | kWindowBodyShown | kWindowTitleShown | kWindowAutoFit);
    EXPECT_EQ(Window(both).backgroundColour, 0xE0FF3020u);
    EXPECT_EQ(Window(both).titleBarColour, 0xE0B02020u);
    EXPECT_EQ(Window(both).titleScale, 0.6f);
    EXPECT_EQ(Window(both).lineCount, 50u);
    EXPECT_EQ(Rows(both)[0], "Body 100%");
    EXPECT_EQ(Window(both).x, 64.0f);

    const int32_t textOnly = glyphon.CreateQuickWindow(0.0f, 0.0f, 20, nullptr, "Note");
    EXPECT_EQ(Window(textOnly).flags, kWindowInUse | kWindowBodyShown | kWindowAutoFit);
    EXPECT_EQ(Window(textOnly).bodyColour, 0xFF30FFFFu);
    EXPECT_EQ(Window(textOnly).lineCount, 1u);
    EXPECT_FLOAT_EQ(Window(textOnly).width, glyphon.StringWidth(0.5f, "Note") + 14.0f);

    const int32_t titleOnly = glyphon.CreateQuickWindow(0.0f, 0.0f, 20, "Only", nullptr);
    EXPECT_EQ(Window(titleOnly).flags, kWindowInUse | kWindowTitleShown | kWindowAutoFit);
}

// Frames on screen: a window at the top-left, 200 x 100 units, over black.
class WindowFrames : public TextWindows {
protected:
    int32_t MakeWindow(uint32_t commands, uint32_t background)
    {
        const int32_t id = glyphon.CreateTextWindow(20, 2);
        glyphon.SetWindowLook(id, background, kYellow, 1.0f, 0.0f, 0.0f, 200.0f / 6.4f, 100.0f / 4.8f);
        glyphon.SetWindowBody(id, "%s", "\x04");
        glyphon.ApplyWindowCommands(id, kHideTitle | commands);
        surface.Clear(0, 0, 0);
        glyphon.DrawTextWindow(id);
        return id;
    }
};

TEST_F(WindowFrames, EveryFrameStyleDrawsWhereItShould)
{
    // Opaque frames show their white centres in the window's colour exactly.
    MakeWindow(kSetOpaque, 0xFF0000FF);
    EXPECT_EQ(surface.PixelFromTop(100, 70), 0xFF0000FFu);
    MakeWindow(kSetOpaque | kSetPlainFrame, 0xFF00FF00);
    EXPECT_EQ(surface.PixelFromTop(100, 70), 0x00FF00FFu);
    EXPECT_EQ(surface.PixelFromTop(1, 1), 0x00FF00FFu) << "plain frames have no border";
    // The bevelled border is shaded, not the window colour.
    MakeWindow(kSetOpaque, 0xFF0000FF);
    EXPECT_NE(surface.PixelFromTop(0, 50), 0xFF0000FFu);
    EXPECT_GT(Red(surface.PixelFromTop(0, 50)), 0);
    // Translucent centres let 2/15 of the black through.
    MakeWindow(0, 0xFFFFFFFF);
    EXPECT_NEAR(Red(surface.PixelFromTop(100, 70)), 221, 2);
    MakeWindow(kSetPlainFrame, 0xFFFFFFFF);
    EXPECT_NEAR(Red(surface.PixelFromTop(1, 1)), 221, 2);
    // Outside the window nothing is drawn.
    EXPECT_EQ(surface.PixelFromTop(210, 50), 0x000000FFu);
    EXPECT_EQ(surface.PixelFromTop(100, 110), 0x000000FFu);
}

TEST_F(WindowFrames, TextIsQueuedAboveTheFrames)
{
    MakeWindow(kSetOpaque, 0xFF0000FF);
    // The body's block glyph starts 6 units in; it appears with the next Flush.
    EXPECT_EQ(surface.PixelFromTop(10, 10), 0xFF0000FFu);
    EXPECT_EQ(glyphon.Flush(), 2);
    EXPECT_EQ(surface.PixelFromTop(10, 10), 0xFFFF00FFu);
}

TEST_F(WindowFrames, FramelessWindowDrawsOnlyItsText)
{
    MakeWindow(kSetFrameless, 0xFFFFFFFF);
    EXPECT_EQ(surface.PixelFromTop(100, 70), 0x000000FFu);
    EXPECT_EQ(surface.PixelFromTop(1, 1), 0x000000FFu);
    EXPECT_EQ(glyphon.Flush(), 2);
    EXPECT_EQ(surface.PixelFromTop(10, 10), 0xFFFF00FFu);
}

TEST_F(WindowFrames, NothingIsDrawnAfterReleaseUntilInitialise)
{
    const int32_t id = MakeWindow(kSetOpaque, 0xFF0000FF);
    glyphon.Flush();
    glyphon.ReleaseResources();
    surface.Clear(0, 0, 0);
    glyphon.DrawTextWindow(id);
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "%s", kBlock);
    EXPECT_EQ(glyphon.Flush(), 0);
    EXPECT_EQ(surface.PixelFromTop(100, 70), 0x000000FFu);
    // The window survives and is rebuilt for the new context's textures.
    ASSERT_TRUE(glyphon.Initialise(640, 480));
    EXPECT_TRUE(Window(id).dirty);
    glyphon.DrawTextWindow(id);
    EXPECT_EQ(surface.PixelFromTop(100, 70), 0xFF0000FFu);
}

}  // namespace
