#include "text/Glyphon.h"

#include <GLES/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "math/Fixed.h"
#include "text/GlyphMetrics.h"
#include "text/GlyphonAssets.h"
#include "text/GlyphonInternal.h"

namespace trellis {

static_assert(std::is_trivial<GlyphonState>::value, "the state is created as zero bytes");

namespace {

constexpr float kVirtualWidth = 640.0f;
constexpr float kVirtualHeight = 480.0f;

// Where a glyph's rows lie below its V value, and how many there are, per font.
constexpr float kLargeTop = 0.0043478f;
constexpr float kLargeHeight = 0.11372549f;  // 29 / 255
constexpr float kSmallTop = 0.0001f;
constexpr float kSmallHeight = 0.047058824f;  // 12 / 255

// A new texture name, bound, with linear filtering both ways.
GLuint NewLinearTexture()
{
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterx(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    return name;
}

// Creates one RGBA4444 texture of n x n texels; 0 on a GL error.
GLuint CreateRgba4444Texture(GLsizei size, const uint16_t* texels)
{
    GLuint name = NewLinearTexture();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, size, size, 0, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, texels);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        return 0;
    }
    return name;
}

// A frame image's texel words hold R, G, B low to high and the inverted alpha on
// top; GL wants R, G, B, A from the top down.
GLuint CreateFrameTexture(const unsigned char* image)
{
    uint16_t texels[kGlyphonFrameSize * kGlyphonFrameSize];
    const unsigned char* source = image + kGlyphonFrameHeaderBytes;
    for (unsigned i = 0; i < kGlyphonFrameSize * kGlyphonFrameSize; ++i) {
        const unsigned word = source[2 * i] | source[2 * i + 1] << 8;
        texels[i] = static_cast<uint16_t>((word & 0xF) << 12 | ((word >> 4) & 0xF) << 8 | ((word >> 8) & 0xF) << 4 |
                                          (15 - (word >> 12)));
    }
    return CreateRgba4444Texture(kGlyphonFrameSize, texels);
}

// The atlas becomes white texels whose alpha is the top four bits of the coverage.
GLuint CreateFontTexture()
{
    const unsigned count = kGlyphonAtlasSize * kGlyphonAtlasSize;
    auto* texels = static_cast<uint16_t*>(std::malloc(count * sizeof(uint16_t)));
    if (texels == nullptr) {
        return 0;
    }
    for (unsigned i = 0; i < count; ++i) {
        texels[i] = static_cast<uint16_t>(0xFFF0 | (trellis_glyphon_font_atlas[i] >> 4));
    }
    const GLuint name = CreateRgba4444Texture(kGlyphonAtlasSize, texels);
    std::free(texels);
    return name;
}

// Logos upload their level 0 only; their own errors do not stop the library.
GLuint CreateLogoTexture(const unsigned char* block)
{
    const GLuint name = NewLinearTexture();
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kGlyphonLogoSize, kGlyphonLogoSize, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                 block + kGlyphonLogoHeaderBytes);
    return name;
}

// Two triangles per glyph over vertices top-left, top-right, bottom-left,
// bottom-right, wound counter-clockwise on screen.
void FillQuadIndices(uint16_t* indices)
{
    for (int32_t quad = 0; quad < kGlyphonIndexCount / 6; ++quad) {
        const auto base = static_cast<uint16_t>(4 * quad);
        uint16_t* entry = indices + 6 * quad;
        entry[0] = base;
        entry[1] = static_cast<uint16_t>(base + 3);
        entry[2] = static_cast<uint16_t>(base + 1);
        entry[3] = static_cast<uint16_t>(base + 3);
        entry[4] = base;
        entry[5] = static_cast<uint16_t>(base + 2);
    }
}

// Every digit measures and advances like '0', so columns of numbers line up.
constexpr unsigned char kZero = '0';

bool IsDigit(unsigned char code)
{
    return code >= '0' && code <= '9';
}

void MarkAllWindowsDirty(GlyphonState& state)
{
    for (TextWindow& window : state.windows) {
        window.dirty = true;
    }
}

// Truncation toward zero, kept inside the 32-bit range.
int32_t TruncateToInt(float value)
{
    if (!(value > -2147483648.0f)) {
        return value != value ? 0 : INT32_MIN;
    }
    return value >= 2147483648.0f ? INT32_MAX : static_cast<int32_t>(value);
}

// 16.16 of a value whose magnitude is below 32,768: the float product by
// 65,536 is exact there (a power of two) and within the 32-bit range, so its
// truncation equals FloatToFixed's without the double step or the saturation.
// Callers test the range with FitsFixedFast once per quad or per row.
bool FitsFixedFast(float value)
{
    return value > -32768.0f && value < 32768.0f;  // false for NaN
}

int32_t FixedFast(float value)
{
    return static_cast<int32_t>(value * 65536.0f);
}

int32_t FixedChecked(float value)
{
    return FitsFixedFast(value) ? FixedFast(value) : FloatToFixed(value);
}

// A glyph's texture coordinates in 16.16 depend on its font and code only,
// so they are converted once, from the same float expressions the layout
// would evaluate.
struct GlyphTexCoords {
    int32_t left, right, top, bottom;
};

struct FontTexCoords {
    GlyphTexCoords glyph[256];
};

FontTexCoords MakeTexCoords(const GlyphFont& font, float topOffset, float glyphHeight)
{
    FontTexCoords coords = {};
    for (int code = 0; code < 256; ++code) {
        const float u = font.u[code];
        const float w = font.w[code];
        const float top = font.v[code] - topOffset;
        coords.glyph[code] = {FloatToFixed(u), FloatToFixed(u + w), FloatToFixed(top),
                              FloatToFixed(top - glyphHeight)};
    }
    return coords;
}

const FontTexCoords& TexCoordsOf(bool small)
{
    static const FontTexCoords large = MakeTexCoords(kGlyphLargeFont, kLargeTop, kLargeHeight);
    static const FontTexCoords smallFont = MakeTexCoords(kGlyphSmallFont, kSmallTop, kSmallHeight);
    return small ? smallFont : large;
}

// Four vertices per glyph (top-left, top-right, bottom-left, bottom-right) for
// every character but space and newline. Each glyph's edges are converted
// once: the pen's left and right per quad, its top and bottom per row.
int32_t LayOutSpan(const GlyphonState& state, float z, float x, float y, float scale, uint32_t colour, TextSpan text,
                   TextVertex* out)
{
    if (text.length == 0) {
        return 0;
    }
    const bool small = scale < 0.0f;
    const GlyphFont& font = small ? kGlyphSmallFont : kGlyphLargeFont;
    const GlyphTexCoords* coords = TexCoordsOf(small).glyph;
    const float sx = state.screenScaleX;
    const float sy = state.screenScaleY;
    const bool scaled = scale > 0.0f;
    const float unit = scaled ? sx * 255.0f * scale : sx * 255.0f;
    const float lineHeight = scaled ? sy * 27.0f * scale : sy * 12.0f;
    const float spaceAdvance = scaled ? sx * 10.0f * scale : sx * 5.0f;
    const float digitAdvance = font.w[kZero] * unit;

    TextVertex model = {};
    model.z = FloatToFixed(z);
    SetVertexColour(model, colour);
    float penX = sx * x;
    float penY = sy * y;
    const float lineStart = penX;
    float lineAdvance = 0.0f;
    bool rowConverted = false;
    int32_t top = 0, bottom = 0;
    TextVertex* vertex = out;
    for (size_t i = 0; i < text.length; ++i) {
        // Codes 128-255 index the tables' upper half, which holds no glyphs.
        const auto code = static_cast<unsigned char>(text.text[i]);
        if (code == ' ') {
            penX += spaceAdvance;
            continue;
        }
        if (code == '\n') {
            penX = lineStart;
            penY += lineAdvance;
            rowConverted = false;
            continue;
        }
        if (!rowConverted) {
            top = FixedChecked(penY);
            bottom = FixedChecked(penY + lineHeight);
            rowConverted = true;
        }
        const float w = font.w[code];
        const float right = penX + w * unit;
        int32_t left = 0, rightFixed = 0;
        if (FitsFixedFast(penX) && FitsFixedFast(right)) {
            left = FixedFast(penX);
            rightFixed = FixedFast(right);
        } else {
            left = FloatToFixed(penX);
            rightFixed = FloatToFixed(right);
        }
        const GlyphTexCoords& glyph = coords[code];
        const auto corner = [&model](TextVertex& at, int32_t x, int32_t y, int32_t s, int32_t t) {
            at = model;
            at.x = x;
            at.y = y;
            at.s = s;
            at.t = t;
        };
        corner(vertex[0], left, top, glyph.left, glyph.top);
        corner(vertex[1], rightFixed, top, glyph.right, glyph.top);
        corner(vertex[2], left, bottom, glyph.left, glyph.bottom);
        corner(vertex[3], rightFixed, bottom, glyph.right, glyph.bottom);
        vertex += 4;
        penX += IsDigit(code) ? digitAdvance : w * unit;
        lineAdvance = lineHeight;
    }
    return int32_t(vertex - out);
}

}  // namespace

void SetVertexColour(TextVertex& vertex, uint32_t colour)
{
    for (int i = 0; i < 4; ++i) {
        vertex.colour[i] = static_cast<uint8_t>(colour >> (8 * i));
    }
}

void PointTextArrays(const TextVertex* vertices)
{
    glVertexPointer(3, GL_FIXED, sizeof(TextVertex), &vertices->x);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(TextVertex), vertices->colour);
    glTexCoordPointer(2, GL_FIXED, sizeof(TextVertex), &vertices->s);
}

bool IsPortrait(const GlyphonState& state)
{
    return state.screenScaleX * kVirtualWidth < state.screenScaleY * kVirtualHeight;
}

GlyphonContext::GlyphonContext() : state(static_cast<GlyphonState*>(std::calloc(1, sizeof(GlyphonState)))) {}

GlyphonContext::~GlyphonContext()
{
    DeleteAllTextWindows();
    ReleaseResources();
    std::free(state);
}

bool GlyphonContext::Initialise(int32_t width, int32_t height)
{
    if (state == nullptr) {
        return false;
    }
    const float scaleX = width * 0.0015625f;
    const float scaleY = height * 0.0020833334f;
    if (scaleX != state->screenScaleX || scaleY != state->screenScaleY) {
        // Layouts made for the old size would keep their old pixel positions.
        state->lastText[0] = 0;
        MarkAllWindowsDirty(*state);
    }
    state->screenScaleX = scaleX;
    state->screenScaleY = scaleY;
    if (state->texturesLoaded) {
        return true;
    }
    state->ready = false;
    if (!CreateTextures()) {
        DiscardResources();
        return false;
    }
    state->indexBuffer = static_cast<uint16_t*>(std::malloc(kGlyphonIndexCount * sizeof(uint16_t)));
    state->logoTextures[0] = CreateLogoTexture(trellis_glyphon_logo_trellis);
    state->logoTextures[1] = CreateLogoTexture(trellis_glyphon_logo_glyphon);
    state->queue = static_cast<TextVertex*>(std::malloc(kGlyphonInitialQueue * sizeof(TextVertex)));
    if (state->indexBuffer == nullptr || state->queue == nullptr) {
        DiscardResources();
        return false;
    }
    FillQuadIndices(state->indexBuffer);
    state->queueCapacity = kGlyphonInitialQueue;
    state->queueCount = 0;
    state->logosDrawn = false;
    state->ready = true;
    state->texturesLoaded = true;
    // The windows' meshes may predate this context; they are rebuilt at their next draw.
    MarkAllWindowsDirty(*state);
    return true;
}

bool GlyphonContext::CreateTextures()
{
    const unsigned char* frames[4] = {trellis_glyphon_frame_bevel_translucent, trellis_glyphon_frame_plain_translucent,
                                      trellis_glyphon_frame_bevel_opaque, trellis_glyphon_frame_plain_opaque};
    for (int i = 0; i < 4; ++i) {
        state->frameTextures[i] = CreateFrameTexture(frames[i]);
        if (state->frameTextures[i] == 0) {
            return false;
        }
    }
    state->fontTexture = CreateFontTexture();
    return state->fontTexture != 0;
}

// Deletes whatever GL objects and buffers exist, so that a failed Initialise
// leaves nothing behind and a later one starts afresh.
void GlyphonContext::DiscardResources()
{
    const GLuint textures[5] = {state->fontTexture, state->frameTextures[0], state->frameTextures[1],
                                state->frameTextures[2], state->frameTextures[3]};
    glDeleteTextures(5, textures);
    glDeleteTextures(1, &state->logoTextures[0]);
    glDeleteTextures(1, &state->logoTextures[1]);
    state->fontTexture = 0;
    std::memset(state->frameTextures, 0, sizeof state->frameTextures);
    std::memset(state->logoTextures, 0, sizeof state->logoTextures);
    std::free(state->indexBuffer);
    std::free(state->printVertices);
    std::free(state->queue);
    state->indexBuffer = nullptr;
    state->printVertices = nullptr;
    state->queue = nullptr;
    state->queueCount = 0;
    state->queueCapacity = 0;
    state->ready = false;
    state->texturesLoaded = false;
}

void GlyphonContext::ReleaseResources()
{
    if (state == nullptr || !state->texturesLoaded) {
        return;
    }
    DiscardResources();
}

TextSpan FormatText(char* buffer, const char* format, va_list arguments)
{
    constexpr size_t kMaxChars = kGlyphonTextBytes - 1;
    const size_t plain = std::strcspn(format, "%");
    if (format[plain] == 0) {
        return {format, plain < kMaxChars ? plain : kMaxChars};
    }
    va_list copy;
    va_copy(copy, arguments);
    if (plain == 0 && format[1] == 's' && format[2] == 0) {
        const char* argument = va_arg(copy, const char*);
        if (argument != nullptr) {
            va_end(copy);
            return {argument, strnlen(argument, kMaxChars)};
        }
    }
    va_end(copy);
    if (std::vsnprintf(buffer, kGlyphonTextBytes, format, arguments) < 0) {
        buffer[0] = 0;
    }
    // A %c of code 0 ends the text there, as the terminator would.
    return {buffer, strnlen(buffer, kMaxChars)};
}

void GlyphonContext::PrintAt(float x, float y, float scale, uint32_t colour, const char* format, ...)
{
    if (!IsReady() || format == nullptr) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    const TextSpan text = FormatText(state->printText, format, arguments);
    va_end(arguments);
    PrintText(x, y, scale, colour, text.text, text.length);
}

void GlyphonContext::PrintText(float x, float y, float scale, uint32_t colour, const char* characters, size_t length)
{
    const TextSpan text = {characters, length};
    if (text.length == 0) {
        return;
    }
    const float vx = x * kPercentToX;
    const float vy = y * kPercentToY;
    if (state->printVertices != nullptr && vx == state->lastX && vy == state->lastY && scale == state->lastScale &&
        colour == state->lastColour && state->lastText[text.length] == 0 &&
        std::memcmp(text.text, state->lastText, text.length) == 0) {
        QueueVertices(state->printVertices, state->lastVertexCount);
        return;
    }
    // The text may be the last one itself, handed back by a caller.
    std::memmove(state->lastText, text.text, text.length);
    state->lastText[text.length] = 0;
    state->lastX = vx;
    state->lastY = vy;
    state->lastScale = scale;
    state->lastColour = colour;
    state->lastVertexCount = 0;
    if (state->printVertices == nullptr) {
        state->printVertices = static_cast<TextVertex*>(std::malloc(4 * kGlyphonTextBytes * sizeof(TextVertex)));
        if (state->printVertices == nullptr) {
            return;
        }
    }
    // With room for four vertices per character, the text is laid out straight
    // into the queue and the cache keeps a copy; otherwise the queue grows (or
    // refuses the print) as QueueVertices decides.
    if (state->queue != nullptr && text.length <= size_t(state->queueCapacity - state->queueCount) / 4) {
        TextVertex* queued = state->queue + state->queueCount;
        const int32_t count = LayOutSpan(*state, 0.0f, vx, vy, scale, colour, text, queued);
        std::memcpy(state->printVertices, queued, size_t(count) * sizeof(TextVertex));
        state->lastVertexCount = count;
        state->queueCount += count;
        return;
    }
    state->lastVertexCount = LayOutSpan(*state, 0.0f, vx, vy, scale, colour, text, state->printVertices);
    QueueVertices(state->printVertices, state->lastVertexCount);
}

int32_t GlyphonContext::LayOutString(float z, float x, float y, float scale, uint32_t colour, const char* text,
                                     TextVertex* out) const
{
    if (state == nullptr || text == nullptr) {
        return 0;
    }
    return LayOutSpan(*state, z, x, y, scale, colour, {text, strnlen(text, kGlyphonTextBytes)}, out);
}

void GlyphonContext::QueueVertices(const TextVertex* vertices, int32_t count)
{
    // The limit is tested as room left, so that no count can overflow the sum.
    if (count <= 0 || vertices == nullptr || state == nullptr || !state->texturesLoaded ||
        count > kGlyphonMaxQueue - state->queueCount) {
        return;
    }
    while (state->queueCount + count > state->queueCapacity) {
        const int32_t capacity =
            state->queueCapacity * 2 < kGlyphonMaxQueue ? state->queueCapacity * 2 : kGlyphonMaxQueue;
        auto* grown = static_cast<TextVertex*>(std::realloc(state->queue, size_t(capacity) * sizeof(TextVertex)));
        if (grown == nullptr) {
            return;
        }
        state->queue = grown;
        state->queueCapacity = capacity;
    }
    std::memcpy(state->queue + state->queueCount, vertices, size_t(count) * sizeof(TextVertex));
    state->queueCount += count;
}

int32_t GlyphonContext::Flush()
{
    if (state == nullptr) {
        return 0;
    }
    // The frame ends here: its logos are drawn now unless a window already
    // put them beneath itself, and the next frame starts without them.
    const bool logos = !state->logosDrawn;
    state->logosDrawn = false;
    if (state->queueCount == 0) {
        return 0;
    }
    return DrawQueue(logos);
}

int32_t GlyphonContext::DrawQueue(bool logos)
{
    if (!state->texturesLoaded || (state->queueCount == 0 && !logos)) {
        return 0;
    }
    // The index list names four vertices per quad: a part quad left at the end
    // of a hand-made queue is not drawn, since its indices would reach past it.
    const int32_t triangles = state->queueCount / 4 * 2;
    BeginTextState();
    glBindTexture(GL_TEXTURE_2D, state->fontTexture);
    glEnable(GL_BLEND);
    const TextVertex* batch = state->queue;
    for (int32_t left = state->queueCount; left > 0;) {
        const int32_t count = left < kGlyphonBatchVertices ? left : kGlyphonBatchVertices;
        PointTextArrays(batch);
        glDrawElements(GL_TRIANGLES, count / 4 * 6, GL_UNSIGNED_SHORT, state->indexBuffer);
        glGetError();
        left -= count;
        batch += count;
    }
    state->queueCount = 0;
    if (logos) {
        DrawLogos();
    }
    EndTextState();
    return triangles;
}

void GlyphonContext::BeginTextState() const
{
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    // Pixels, origin top-left and y downward, onto the surface's -1 .. 1.
    float pixelsToClip[16] = {};
    pixelsToClip[0] = 2.0f / (state->screenScaleX * kVirtualWidth);
    pixelsToClip[5] = -2.0f / (state->screenScaleY * kVirtualHeight);
    pixelsToClip[10] = 1.0f;
    pixelsToClip[12] = -1.0f;
    pixelsToClip[13] = 1.0f;
    pixelsToClip[15] = 1.0f;
    GLfixed matrix[16];
    for (int i = 0; i < 16; ++i) {
        matrix[i] = FloatToFixed(pixelsToClip[i]);
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (IsPortrait(*state)) {
        glRotatex(0x5A0000, 0, 0, 0x10000);
    }
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixx(matrix);
    glDisable(GL_LIGHTING);
    glEnable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glCullFace(GL_FRONT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glClientActiveTexture(GL_TEXTURE0);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glActiveTexture(GL_TEXTURE1);
    glDisable(GL_TEXTURE_2D);
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glTexEnvx(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
}

void GlyphonContext::EndTextState() const
{
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

float GlyphonContext::StringWidth(float scale, const char* text) const
{
    if (text == nullptr) {
        return 0.0f;
    }
    const bool small = scale < 0.0f;
    const GlyphFont& font = small ? kGlyphSmallFont : kGlyphLargeFont;
    const float space = small ? 5.0f : 10.0f * scale;
    const float unit = small ? 255.0f : 255.0f * scale;
    float width = 0.0f;
    for (const char* c = text; *c != 0; ++c) {
        const auto code = static_cast<unsigned char>(*c);
        width += code == ' ' ? space : font.w[IsDigit(code) ? kZero : code] * unit;
    }
    return width;
}

void GlyphonContext::MeasureString(float* width, float* height, float scale, const char* text) const
{
    float measuredWidth = 0.0f;
    float measuredHeight = 0.0f;
    if (text != nullptr && state != nullptr) {
        const bool large = scale > 0.0f;
        const GlyphFont& font = large ? kGlyphLargeFont : kGlyphSmallFont;
        for (const char* c = text; *c != 0; ++c) {
            const auto code = static_cast<unsigned char>(*c);
            if (large) {
                measuredWidth += font.w[code == ' ' || IsDigit(code) ? kZero : code] * 40.0f * scale;
                if (code == 'i' || code == 'j' || code == 'l') {
                    measuredWidth += 0.4f * scale;
                }
            } else {
                measuredWidth += code == ' ' ? 5.0f : font.w[IsDigit(code) ? kZero : code] * 39.84375f;
            }
        }
        measuredHeight = large ? state->screenScaleY * 4.21875f * scale : state->screenScaleY * 12.0f;
    }
    if (width != nullptr) {
        *width = measuredWidth;
    }
    if (height != nullptr) {
        *height = measuredHeight;
    }
}

void GlyphonContext::GetScreenSize(int32_t* width, int32_t* height) const
{
    const float scaleX = state != nullptr ? state->screenScaleX : 0.0f;
    const float scaleY = state != nullptr ? state->screenScaleY : 0.0f;
    if (width != nullptr) {
        *width = TruncateToInt(scaleX * kVirtualWidth);
    }
    if (height != nullptr) {
        *height = TruncateToInt(scaleY * kVirtualHeight);
    }
}

} // namespace trellis
