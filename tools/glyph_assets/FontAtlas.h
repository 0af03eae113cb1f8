#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "Raster.h"

// The 256 x 256 coverage atlas holding both fonts (first row = t 0, glyphs
// upright when read bottom-up) and the C++ source of their metric tables.
struct FontAtlas {
    std::vector<uint8_t> coverage;
    std::string metricsSource;
};

bool MakeFontAtlas(const Font& largeFace, const Font& smallFace, FontAtlas* atlas);
