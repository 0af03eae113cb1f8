#pragma once
#include <EGL/egl.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// A real OpenGL ES 1.x context on Mesa's surfaceless platform, current on a
// pbuffer of the given size, for tests that render and read pixels back.
class GlTestContext {
public:
    GlTestContext(int width, int height);
    ~GlTestContext();
    GlTestContext(const GlTestContext&) = delete;
    GlTestContext& operator=(const GlTestContext&) = delete;

    // Makes one context, once per process, so that Mesa's driver stays loaded
    // after programs under test terminate their own displays: the blocks it
    // keeps for good then stay matched by the leak suppressions.
    static void KeepDriverLoaded();

    bool Ok() const { return context != EGL_NO_CONTEXT; }
    int Width() const { return width; }
    int Height() const { return height; }

    // RGBA bytes of the whole surface, bottom row first.
    std::vector<uint8_t> ReadPixels() const;
    // RGBA of one pixel, x from the left and y from the bottom.
    uint32_t PixelAt(int x, int y) const;

private:
    int width;
    int height;
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLSurface surface = EGL_NO_SURFACE;
    EGLContext context = EGL_NO_CONTEXT;
};
