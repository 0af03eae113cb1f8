// Draw calls made by Flush and DrawTextWindow, counted by a glDrawElements
// and a glDrawArrays defined here that forward to the driver's.
#include <dlfcn.h>

#include <string>
#include <vector>

#include "GlyphonTestSupport.h"

using namespace trellis;

namespace {

std::vector<GLsizei> elementCounts;  // indices per glDrawElements
int arrayDraws = 0;

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {
GL_API void GL_APIENTRY glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices)
{
    using DrawElements = void(GL_APIENTRY*)(GLenum, GLsizei, GLenum, const void*);
    static const DrawElements next = Next<DrawElements>("glDrawElements");
    elementCounts.push_back(count);
    next(mode, count, type, indices);
}

GL_API void GL_APIENTRY glDrawArrays(GLenum mode, GLint first, GLsizei count)
{
    using DrawArrays = void(GL_APIENTRY*)(GLenum, GLint, GLsizei);
    static const DrawArrays next = Next<DrawArrays>("glDrawArrays");
    ++arrayDraws;
    next(mode, first, count);
}
}

namespace {

class GlyphonDrawCalls : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(surface.Ok());
        elementCounts.clear();
        arrayDraws = 0;
    }
    GlyphonSurface surface{320, 240};
    GlyphonContext& glyphon = surface.glyphon;
};

TEST_F(GlyphonDrawCalls, TwentyThousandGlyphsFlushInTwoBatches)
{
    const std::string line(5000, 'A');
    for (int i = 0; i < 4; ++i) {
        glyphon.PrintAt(0.0f, 0.0f, 0.1f, kWhite, "%s", line.c_str());
    }
    ASSERT_EQ(glyphon.State().queueCount, 80000);
    EXPECT_EQ(glyphon.Flush(), 40000);
    // 65,532 and 14,468 vertices, six indices per four.
    EXPECT_EQ(elementCounts, (std::vector<GLsizei>{65532 / 4 * 6, 14468 / 4 * 6}));
    EXPECT_EQ(arrayDraws, 0);
}

TEST_F(GlyphonDrawCalls, PartQuadsAreNeverDrawn)
{
    // Six vertices queued by hand: one quad and half of another. The index list
    // names four vertices per quad, so half a quad would send the driver to
    // vertices that were never queued.
    std::vector<TextVertex> vertices(8);
    ASSERT_EQ(glyphon.LayOutString(0.0f, 0.0f, 0.0f, 1.0f, kWhite, "AB", vertices.data()), 8);
    glyphon.QueueVertices(vertices.data(), 6);
    EXPECT_EQ(glyphon.Flush(), 2);
    EXPECT_EQ(elementCounts, std::vector<GLsizei>{6});
}

TEST_F(GlyphonDrawCalls, EmptyFlushDrawsNothingAndLogosFollowTheText)
{
    glyphon.ShowTitleBlock(nullptr, nullptr, kLogoBoth);
    EXPECT_EQ(glyphon.Flush(), 0);
    EXPECT_TRUE(elementCounts.empty());
    EXPECT_EQ(arrayDraws, 0);
    glyphon.ShowTitleBlock("Kestrel", nullptr, kLogoBoth);
    EXPECT_EQ(glyphon.Flush(), 14);
    EXPECT_EQ(elementCounts, std::vector<GLsizei>{42});
    EXPECT_EQ(arrayDraws, 2);
}

TEST_F(GlyphonDrawCalls, WindowsDrawTwoFramesUnlessFrameless)
{
    const int32_t id = glyphon.CreateQuickWindow(10.0f, 10.0f, 20, "Title", "Body");
    glyphon.DrawTextWindow(id);
    EXPECT_EQ(elementCounts, (std::vector<GLsizei>{54, 54}));
    // "Title" and "Body": nine glyphs queued for the next Flush.
    EXPECT_EQ(glyphon.Flush(), 18);
    // Text queued before the window is drawn first, beneath its frames.
    elementCounts.clear();
    glyphon.PrintAt(0.0f, 0.0f, 1.0f, kWhite, "AB");
    glyphon.DrawTextWindow(id);
    EXPECT_EQ(elementCounts, (std::vector<GLsizei>{12, 54, 54}));
    glyphon.Flush();
    elementCounts.clear();
    glyphon.ApplyWindowCommands(id, kSetFrameless);
    glyphon.DrawTextWindow(id);
    EXPECT_TRUE(elementCounts.empty());
    EXPECT_EQ(glyphon.Flush(), 18);
    EXPECT_EQ(elementCounts, std::vector<GLsizei>{54});
}

}  // namespace
