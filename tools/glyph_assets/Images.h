#pragma once
#include <cstdint>
#include <vector>

#include "Raster.h"

// The four 16 x 16 window frame images, in the order bevelled translucent,
// plain translucent, bevelled opaque, plain opaque: a 16-byte header, then 256
// little-endian texels with R, G, B in bits 0-11 and 15 - alpha in bits 12-15.
std::vector<uint8_t> MakeFrameImage(bool bevelled, bool opaque);

// Glyphon's two 128 x 128 RGB565 logo blocks (TextureHeader and eight
// box-filtered levels): the first for the framework, the second for the text library.
std::vector<uint8_t> MakeTrellisLogo(const Font& bold);
std::vector<uint8_t> MakeGlyphonLogo(const Font& bold);
