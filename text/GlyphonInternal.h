#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "text/Glyphon.h"

namespace trellis {

// Pieces shared by the renderer, the title block and the windows.

// Percent of the screen to virtual units (640 and 480 divided by 100).
constexpr float kPercentToX = 6.4f;
constexpr float kPercentToY = 4.8f;

// Points the vertex, colour and texture-coordinate arrays at a run of TextVertex.
void PointTextArrays(const TextVertex* vertices);

// True on a portrait surface, where the text is turned by 90 degrees.
bool IsPortrait(const GlyphonState& state);

// A logo quad in normalised device coordinates: a four-vertex triangle strip
// (top-left, bottom-left, top-right, bottom-right) in 16.16 fixed point.
struct LogoQuad {
    int32_t positions[12];
    int32_t colours[16];
    int32_t texCoords[8];
};
enum class LogoCorner { BottomRight, BottomLeft };
const LogoQuad& LogoQuadAt(LogoCorner corner);

// Draws one logo quad with the given texture (used by Flush).
void DrawLogo(const GlyphonState& state, uint32_t texture, LogoCorner corner);

// Packs a colour value (bytes R, G, B, A lowest first) into a vertex.
void SetVertexColour(TextVertex& vertex, uint32_t colour);

// A text to lay out: `length` characters from `text` (not necessarily followed
// by a terminator), at most kGlyphonTextBytes - 1 of them.
struct TextSpan {
    const char* text;
    size_t length;
};

// The printf rules applied to `format` and `arguments`, cut to 5,119
// characters. A format without a conversion is its own text and a lone "%s"
// is its argument, so neither needs a formatting pass: the span then points
// at the caller's text. Otherwise the text is formatted into `buffer`
// (kGlyphonTextBytes); a formatting error gives the empty text.
TextSpan FormatText(char* buffer, const char* format, va_list arguments);

} // namespace trellis
