#pragma once

namespace trellis {

// Glyphon's compiled-in images, embedded from text/assets/ at build time.
extern "C" {
// 256 x 256 coverage bytes, first row at t = 0.
extern const unsigned char trellis_glyphon_font_atlas[];
extern const unsigned int trellis_glyphon_font_atlas_size;
// 16 x 16 frame images: a 16-byte header, then 256 little-endian texels
// (R, G, B in bits 0-11, 15 - alpha in bits 12-15).
extern const unsigned char trellis_glyphon_frame_bevel_translucent[];
extern const unsigned int trellis_glyphon_frame_bevel_translucent_size;
extern const unsigned char trellis_glyphon_frame_plain_translucent[];
extern const unsigned int trellis_glyphon_frame_plain_translucent_size;
extern const unsigned char trellis_glyphon_frame_bevel_opaque[];
extern const unsigned int trellis_glyphon_frame_bevel_opaque_size;
extern const unsigned char trellis_glyphon_frame_plain_opaque[];
extern const unsigned int trellis_glyphon_frame_plain_opaque_size;
// 128 x 128 RGB565 TextureHeader blocks with eight levels.
extern const unsigned char trellis_glyphon_logo_trellis[];
extern const unsigned int trellis_glyphon_logo_trellis_size;
extern const unsigned char trellis_glyphon_logo_glyphon[];
extern const unsigned int trellis_glyphon_logo_glyphon_size;
}

constexpr unsigned kGlyphonAtlasSize = 256;
constexpr unsigned kGlyphonFrameSize = 16;
constexpr unsigned kGlyphonFrameHeaderBytes = 16;
constexpr unsigned kGlyphonLogoSize = 128;
constexpr unsigned kGlyphonLogoHeaderBytes = 44;  // the TextureHeader in front of level 0

} // namespace trellis
