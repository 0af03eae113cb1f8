#include <GLES/gl.h>

#include "math/Fixed.h"
#include "text/Glyphon.h"
#include "text/GlyphonInternal.h"

namespace trellis {

namespace {

// Logos sit in the bottom corners, 0.3 wide and 0.234375 high in normalised
// device coordinates, half-way into the depth range.
constexpr float kLogoBottom = -0.95f;
constexpr float kLogoHeight = 0.234375f;
constexpr float kLogoDepth = 0.5f;
constexpr float kLogoOpacity = 0.75f;

LogoQuad MakeLogoQuad(float left, float right)
{
    const float top = kLogoBottom + kLogoHeight;
    const float corners[4][2] = {{left, top}, {left, kLogoBottom}, {right, top}, {right, kLogoBottom}};
    const float texCoords[4][2] = {{0.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}};
    LogoQuad quad = {};
    for (int v = 0; v < 4; ++v) {
        quad.positions[3 * v] = FloatToFixed(corners[v][0]);
        quad.positions[3 * v + 1] = FloatToFixed(corners[v][1]);
        quad.positions[3 * v + 2] = FloatToFixed(kLogoDepth);
        for (int c = 0; c < 3; ++c) {
            quad.colours[4 * v + c] = FloatToFixed(1.0f);
        }
        quad.colours[4 * v + 3] = FloatToFixed(kLogoOpacity);
        quad.texCoords[2 * v] = FloatToFixed(texCoords[v][0]);
        quad.texCoords[2 * v + 1] = FloatToFixed(texCoords[v][1]);
    }
    return quad;
}

}  // namespace

const LogoQuad& LogoQuadAt(LogoCorner corner)
{
    static const LogoQuad bottomRight = MakeLogoQuad(0.65f, 0.95f);
    static const LogoQuad bottomLeft = MakeLogoQuad(-0.95f, -0.65f);
    return corner == LogoCorner::BottomRight ? bottomRight : bottomLeft;
}

void DrawLogo(const GlyphonState& state, uint32_t texture, LogoCorner corner)
{
    const LogoQuad& quad = LogoQuadAt(corner);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (IsPortrait(state)) {
        glRotatex(0x5A0000, 0, 0, 0x10000);
    }
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FIXED, 0, quad.positions);
    glColorPointer(4, GL_FIXED, 0, quad.colours);
    glTexCoordPointer(2, GL_FIXED, 0, quad.texCoords);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

void GlyphonContext::ShowTitleBlock(const char* title, const char* description, int32_t logoSelect)
{
    // The texts are shown as written: a percent sign in a title is not a conversion.
    if (title != nullptr) {
        PrintAt(0.0f, 1.0f, 1.2f, 0xFF00FFFF, "%s", title);
    }
    if (description != nullptr) {
        PrintAt(0.0f, 8.0f, 0.9f, 0xFFFFFFFF, "%s", description);
    }
    // The choice is made afresh every frame: a frame that drew windows but
    // never flushed must not leave the logos counted as drawn for this one.
    if (state != nullptr) {
        state->logoSelect = logoSelect;
        state->logosDrawn = false;
    }
}

void GlyphonContext::DrawLogos() const
{
    switch (state->logoSelect) {
    case kLogoNone:
        break;
    case kLogoSecond:
        DrawLogo(*state, state->logoTextures[1], LogoCorner::BottomRight);
        break;
    case kLogoBoth:
        DrawLogo(*state, state->logoTextures[1], LogoCorner::BottomLeft);
        DrawLogo(*state, state->logoTextures[0], LogoCorner::BottomRight);
        break;
    default:
        DrawLogo(*state, state->logoTextures[0], LogoCorner::BottomRight);
        break;
    }
}

} // namespace trellis
