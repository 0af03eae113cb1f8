#pragma once
#include <GLES/gl.h>
#include <gtest/gtest.h>

#include <cstdint>

#include "GlTestContext.h"
#include "math/Fixed.h"
#include "text/Glyphon.h"

using namespace trellis;

// A GL surface with an initialised Glyphon on it. The context outlives the
// library, which deletes its textures on destruction.
class GlyphonSurface {
public:
    GlyphonSurface(int width, int height) : gl(width, height)
    {
        initialised = gl.Ok() && glyphon.Initialise(width, height);
    }
    bool Ok() const { return initialised; }

    void Clear(float red, float green, float blue)
    {
        glClearColor(red, green, blue, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    // 0xRRGGBBAA of the pixel x from the left and y from the top.
    uint32_t PixelFromTop(int x, int y) const { return gl.PixelAt(x, gl.Height() - 1 - y); }

    GlTestContext gl;
    GlyphonContext glyphon;

private:
    bool initialised = false;
};

inline int Red(uint32_t rgba) { return int(rgba >> 24); }
inline int Green(uint32_t rgba) { return int((rgba >> 16) & 0xFF); }
inline int Blue(uint32_t rgba) { return int((rgba >> 8) & 0xFF); }

// Pixels of the full-coverage block pictogram (code 4) in the large font.
constexpr const char* kBlock = "\x04";
constexpr uint32_t kYellow = 0xFF00FFFF;
constexpr uint32_t kWhite = 0xFFFFFFFF;
