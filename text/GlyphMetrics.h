#pragma once

namespace trellis {

// Metric tables of one of the two fonts in the glyph atlas, indexed by
// character code: U is the left texture coordinate of the glyph, V the texture
// t of its upper edge and W its width in texture coordinates. A code has a glyph
// when its W is non-zero. The tables are generated with the atlas by
// tools/glyph_assets.
struct GlyphFont {
    float u[256];
    float v[256];
    float w[256];
};

extern const GlyphFont kGlyphLargeFont;
extern const GlyphFont kGlyphSmallFont;

} // namespace trellis
