// Frames of text, title block, logos and clean windows allocate nothing in the
// library once they run. The library is linked into this program, so every
// malloc, calloc and realloc called from the program's own code is counted;
// the driver's allocations come from its shared objects and are left out.
// The sanitizers own malloc, so there the count cannot be taken.
#include <cstdlib>

#include "GlyphonTestSupport.h"

using namespace trellis;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define GLYPHON_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define GLYPHON_SANITIZED 1
#endif

#ifndef GLYPHON_SANITIZED
extern "C" char __executable_start;
extern "C" char etext;
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

namespace {

bool counting = false;
size_t ownCalls = 0;

void Count(const void* caller)
{
    if (counting && caller >= &__executable_start && caller < &etext) {
        ++ownCalls;
    }
}

}  // namespace

extern "C" void* malloc(size_t size)
{
    Count(__builtin_return_address(0));
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size)
{
    Count(__builtin_return_address(0));
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size)
{
    Count(__builtin_return_address(0));
    return __libc_realloc(block, size);
}
#endif

namespace {

#ifndef GLYPHON_SANITIZED
void Frame(GlyphonContext& glyphon, int32_t quick, int32_t plain)
{
    glyphon.ShowTitleBlock("Kestrel", "DOT3 per-pixel lighting", kLogoBoth);
    glyphon.PrintAt(60.0f, 90.0f, -1.0f, kWhite, "Frame %d of %s", 7, "many");
    glyphon.DrawTextWindow(quick);
    glyphon.DrawTextWindow(plain);
    glyphon.Flush();
}
#endif

TEST(GlyphonAllocation, SteadyFramesAllocateNothing)
{
#ifdef GLYPHON_SANITIZED
    GTEST_SKIP() << "the sanitizers own malloc";
#else
    GlyphonSurface surface(320, 240);
    ASSERT_TRUE(surface.Ok());
    GlyphonContext& glyphon = surface.glyphon;
    const int32_t quick = glyphon.CreateQuickWindow(10.0f, 30.0f, 24, "Title", "A body of\nthree rows\nof text");
    const int32_t plain = glyphon.CreateTextWindow(20, 3);
    glyphon.SetWindowTitleBar(plain, kWhite, -1.0f, kYellow, "Left", kYellow, "Right");
    glyphon.SetWindowBody(plain, "%s", "word wrapped body text");
    glyphon.ApplyWindowCommands(plain, kSetOpaque | kSetPlainFrame);
    ASSERT_GT(quick, 0);
    ASSERT_GT(plain, 0);
    for (int frame = 0; frame < 3; ++frame) {
        Frame(glyphon, quick, plain);
    }
    counting = true;
    for (int frame = 0; frame < 200; ++frame) {
        Frame(glyphon, quick, plain);
    }
    counting = false;
    EXPECT_EQ(ownCalls, 0u) << "allocations in 200 frames";

    // The count sees the library: a changed title is laid out into new buffers.
    counting = true;
    glyphon.SetWindowTitleBar(plain, kWhite, -1.0f, kYellow, "New left", kYellow, nullptr);
    Frame(glyphon, quick, plain);
    counting = false;
    EXPECT_GT(ownCalls, 0u);
#endif
}

}  // namespace
