#include <GLES/gl.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "math/Fixed.h"
#include "text/Glyphon.h"
#include "text/GlyphonInternal.h"

namespace trellis {

namespace {

constexpr int32_t kFirstWindowId = 1;
constexpr uint32_t kNewWindowFlags = kWindowInUse | kWindowBodyShown | kWindowTitleShown;
constexpr int32_t kTitleBytes = kGlyphonTextBytes;
constexpr float kFrameBorder = 6.0f;  // virtual units kept by the frame image's 6-texel border

// The nine quads of the 4 x 4 frame lattice, two counter-clockwise triangles each.
// Built at compile time: the library runs no code of its own before main.
struct FrameIndices {
    uint16_t values[54];
    constexpr FrameIndices() : values()
    {
        int n = 0;
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                const auto topLeft = static_cast<uint16_t>(row * 4 + column);
                const auto topRight = static_cast<uint16_t>(topLeft + 1);
                const auto bottomLeft = static_cast<uint16_t>(topLeft + 4);
                const auto bottomRight = static_cast<uint16_t>(topLeft + 5);
                const uint16_t quad[6] = {topLeft, bottomRight, topRight, bottomRight, topLeft, bottomLeft};
                for (uint16_t index : quad) {
                    values[n++] = index;
                }
            }
        }
    }
};
constexpr FrameIndices kFrameIndices;

// Height of the title bar in virtual units.
float TitleBarHeight(const TextWindow& window)
{
    return window.titleScale < 0.0f ? 24.0f : window.titleScale * 23.5f + 16.0f;
}

float RowSpacing(float bodyScale)
{
    return bodyScale > 0.0f ? 29.0f * bodyScale : 12.0f;
}

const char* BodyRow(const TextWindow& window, uint32_t row)
{
    return window.bodyText + size_t(row) * window.lineLength;
}

// Copies a title, cut to what its buffer holds; the buffer's last byte stays a terminator.
void CopyTitle(char* buffer, const char* text)
{
    const size_t length = strnlen(text, kTitleBytes - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
}

void FreeLayout(TextVertex*& layout)
{
    std::free(layout);
    layout = nullptr;
}

TextVertex* AllocateVertices(size_t count)
{
    return static_cast<TextVertex*>(std::malloc(count * sizeof(TextVertex)));
}

}  // namespace

TextWindow* GlyphonContext::FindWindow(int32_t id) const
{
    if (state == nullptr || id < kFirstWindowId || id >= kGlyphonWindowSlots) {
        return nullptr;
    }
    TextWindow& window = state->windows[id];
    return (window.flags & kWindowInUse) != 0 ? &window : nullptr;
}

int32_t GlyphonContext::CreateTextWindow(int32_t maxChars, int32_t maxLines)
{
    // A row must hold a character and its terminator, and the body must fit the
    // fixed row table; anything else could never be laid out safely.
    if (state == nullptr || maxChars < 1 || maxChars > kGlyphonTextBytes - 1 || maxLines < 1 ||
        maxLines > kGlyphonMaxRows) {
        return 0;
    }
    int32_t id = state->firstFreeWindow > kFirstWindowId ? state->firstFreeWindow : kFirstWindowId;
    while (id < kGlyphonWindowSlots && (state->windows[id].flags & kWindowInUse) != 0) {
        ++id;
    }
    state->firstFreeWindow = id;
    if (id == kGlyphonWindowSlots) {
        return 0;
    }
    TextWindow& window = state->windows[id];
    window.flags = kNewWindowFlags;
    window.lineLength = uint32_t(maxChars) + 1;
    window.lineCount = uint32_t(maxLines);
    window.bodyText = static_cast<char*>(std::calloc(size_t(maxChars + 2) * size_t(maxLines + 2), 1));
    window.titleLeftText = static_cast<char*>(std::calloc(kTitleBytes, 1));
    window.titleRightText = static_cast<char*>(std::calloc(kTitleBytes, 1));
    if (window.bodyText == nullptr || window.titleLeftText == nullptr || window.titleRightText == nullptr) {
        ReleaseWindow(window);
        return 0;
    }
    window.titleScale = 1.0f;
    window.titleLeftColour = 0xFF00FFFF;
    window.titleRightColour = 0xFF00FFFF;
    window.titleBarColour = 0xFFFF3030;
    window.bodyScale = 0.5f;
    window.bodyColour = 0xFFFFFFFF;
    window.backgroundColour = 0xFFFF8080;
    window.x = 0.0f;
    window.y = 0.0f;
    window.width = 20.0f;
    window.height = 20.0f;
    window.dirty = true;
    return id;
}

int32_t GlyphonContext::CreateQuickWindow(float x, float y, int32_t charsPerRow, const char* title, const char* text)
{
    if (title == nullptr && text == nullptr) {
        return -1;
    }
    const uint32_t background = title != nullptr ? 0xE0FF3020 : 0xE0B02020;
    const uint32_t bodyColour = title != nullptr ? 0xFFFFFFFF : 0xFF30FFFF;
    const int32_t id = CreateTextWindow(charsPerRow, title != nullptr ? 50 : 1);
    if (id == 0) {
        return 0;
    }
    SetWindowLook(id, background, bodyColour, 0.5f, x, y, 20.0f, 20.0f);
    if (title != nullptr) {
        SetWindowTitleBar(id, 0xE0B02020, 0.6f, 0xFF30FFFF, title, 0xFF30FFFF, "");
    }
    if (text != nullptr) {
        // Shown as written: a percent sign in the text is not a conversion.
        SetWindowBody(id, "%s", text);
    }
    if (title != nullptr && text != nullptr) {
        ApplyWindowCommands(id, kSetAutoFit);
    } else if (text != nullptr) {
        ApplyWindowCommands(id, kSetAutoFit | kHideTitle);
    } else {
        ApplyWindowCommands(id, kSetAutoFit | kHideBody);
    }
    state->windows[id].dirty = true;
    return id;
}

void GlyphonContext::ReleaseWindow(TextWindow& window)
{
    FreeLayout(window.titleLeftVertices);
    FreeLayout(window.titleRightVertices);
    FreeLayout(window.titleFrameMesh);
    FreeLayout(window.bodyFrameMesh);
    // Rows past lineCount are never laid out.
    for (uint32_t row = 0; row < window.lineCount; ++row) {
        FreeLayout(window.lineVertices[row]);
    }
    std::free(window.bodyText);
    std::free(window.titleLeftText);
    std::free(window.titleRightText);
    std::memset(&window, 0, sizeof window);
    const auto id = static_cast<int32_t>(&window - state->windows);
    if (id < state->firstFreeWindow) {
        state->firstFreeWindow = id;
    }
}

void GlyphonContext::DeleteTextWindow(int32_t id)
{
    if (TextWindow* window = FindWindow(id)) {
        ReleaseWindow(*window);
    }
}

void GlyphonContext::DeleteAllTextWindows()
{
    if (state == nullptr) {
        return;
    }
    // A free slot holds nothing (releasing clears it whole).
    for (TextWindow& window : state->windows) {
        if (window.flags != 0) {
            ReleaseWindow(window);
        }
    }
}

void GlyphonContext::SetWindowLook(int32_t id, uint32_t backgroundColour, uint32_t bodyColour, float bodyScale,
                                   float x, float y, float width, float height)
{
    TextWindow* window = FindWindow(id);
    if (window == nullptr) {
        return;
    }
    const float vx = x * kPercentToX, vy = y * kPercentToY, vw = width * kPercentToX, vh = height * kPercentToY;
    if (window->bodyScale == bodyScale && window->bodyColour == bodyColour &&
        window->backgroundColour == backgroundColour && window->x == vx && window->y == vy && window->width == vw &&
        window->height == vh) {
        return;
    }
    window->bodyScale = bodyScale;
    window->bodyColour = bodyColour;
    window->backgroundColour = backgroundColour;
    window->x = vx;
    window->y = vy;
    window->width = vw;
    window->height = vh;
    window->dirty = true;
}

void GlyphonContext::SetWindowTitleBar(int32_t id, uint32_t barColour, float titleScale, uint32_t leftColour,
                                       const char* left, uint32_t rightColour, const char* right)
{
    TextWindow* window = FindWindow(id);
    if (window == nullptr) {
        return;
    }
    FreeLayout(window->titleLeftVertices);
    FreeLayout(window->titleRightVertices);
    if (left != nullptr) {
        CopyTitle(window->titleLeftText, left);
    }
    if (right != nullptr) {
        CopyTitle(window->titleRightText, right);
    }
    window->titleRightColour = rightColour;
    window->titleLeftColour = leftColour;
    window->titleScale = titleScale;
    window->titleBarColour = barColour;
    window->titleLeftWidth = StringWidth(titleScale, window->titleLeftText) + 10.0f;
    window->dirty = true;
}

void GlyphonContext::ApplyWindowCommands(int32_t id, uint32_t commands)
{
    TextWindow* window = FindWindow(id);
    if (window == nullptr) {
        return;
    }
    if ((commands & (kShowTitle | kHideTitle | kSetAutoFit)) != 0) {
        window->dirty = true;
    }
    // In this order, so that show and hide given together leave the part hidden.
    const struct {
        uint32_t command;
        uint32_t set;
        uint32_t clear;
    } effects[] = {
        {kShowBody, kWindowBodyShown, 0},  {kHideBody, 0, kWindowBodyShown},   {kShowTitle, kWindowTitleShown, 0},
        {kHideTitle, 0, kWindowTitleShown}, {kSetOpaque, kWindowOpaque, 0},     {kSetFrameless, kWindowFrameless, 0},
        {kSetAutoFit, kWindowAutoFit, 0},  {kSetPlainFrame, kWindowPlainFrame, 0},
    };
    for (const auto& effect : effects) {
        if ((commands & effect.command) != 0) {
            window->flags = (window->flags | effect.set) & ~effect.clear;
            if (effect.command == kSetAutoFit) {
                FitWindowToText(id, 0);
            }
        }
    }
}

void GlyphonContext::SetWindowBody(int32_t id, const char* format, ...)
{
    TextWindow* window = FindWindow(id);
    if (window == nullptr || format == nullptr) {
        return;
    }
    std::memset(window->bodyText, 0, size_t(window->lineLength) * window->lineCount);
    va_list arguments;
    va_start(arguments, format);
    const TextSpan text = FormatText(state->windowText, format, arguments);
    va_end(arguments);
    window->dirty = true;
    FillBody(*window, text.text, text.length);
    if ((window->flags & kWindowAutoFit) != 0) {
        FitWindowToText(id, 0);
    }
}

// Word wrap and scrolling: rows fill left to right; a word that does not fit
// after a space starts the next row (unless it would not fit any row), a full
// row ends where it is, and when the rows run out the oldest one scrolls away.
void GlyphonContext::FillBody(TextWindow& window, const char* text, size_t textLength)
{
    char* body = window.bodyText;
    const uint32_t length = window.lineLength;
    const uint32_t rows = window.lineCount;
    const size_t limit = size_t(length + 1) * (rows + 1);
    const size_t end = textLength < limit ? textLength : limit;
    uint32_t row = 0, column = 0;
    size_t position = 0;
    for (size_t i = 0; i < end; ++i) {
        const char c = text[i];
        if (c == ' ') {
            size_t word = 0;
            while (i + 1 + word < textLength && text[i + 1 + word] != ' ' && text[i + 1 + word] != '\n') {
                ++word;
            }
            if (word + 2 < length && column + 1 + word > length - 1) {
                body[position] = 0;
                ++row;
                column = 0;
                position = size_t(row) * length;
                continue;
            }
        }
        if (column == length - 1) {
            body[position++] = 0;
            ++row;
            column = 0;
        }
        if (row == rows) {
            std::memmove(body, body + length, size_t(rows - 1) * length);
            std::memset(body + size_t(rows - 1) * length, 0, length);
            position -= length;
            --row;
            column = 0;
        }
        if (c == '\n') {
            body[position] = 0;
            ++row;
            column = 0;
            position = size_t(row) * length;
        } else {
            body[position++] = c;
            ++column;
        }
    }
}

void GlyphonContext::FitWindowToText(int32_t id, int32_t mode)
{
    TextWindow* window = FindWindow(id);
    if (window == nullptr) {
        return;
    }
    if (mode == 0 || mode == 1) {
        float widest = 0.0f;
        if ((window->flags & kWindowTitleShown) != 0) {
            widest = StringWidth(window->titleScale, window->titleLeftText) +
                     StringWidth(window->titleScale, window->titleRightText) + 12.0f;
        }
        for (uint32_t row = 0; row < window->lineCount; ++row) {
            const float width = StringWidth(window->bodyScale, BodyRow(*window, row));
            if (width > widest) {
                widest = width;
            }
        }
        window->width = widest + 14.0f;
    }
    if (mode == 0 || mode == 2) {
        uint32_t last = window->lineCount >= 2 ? window->lineCount - 1 : 0;
        while (last > 0 && BodyRow(*window, last)[0] == 0) {
            --last;
        }
        window->height = float(last + 1) * RowSpacing(window->bodyScale) + 16.0f;
    }
    window->dirty = true;
}

void GlyphonContext::DrawTextWindow(int32_t id)
{
    TextWindow* window = FindWindow(id);
    if (!IsReady() || window == nullptr) {
        return;
    }
    const bool titleShown = (window->flags & kWindowTitleShown) != 0;
    const bool bodyShown = (window->flags & kWindowBodyShown) != 0;
    const bool framed = (window->flags & kWindowFrameless) == 0;
    if (window->dirty) {
        float bar = 0.0f;
        if (titleShown) {
            bar = TitleBarHeight(*window);
            BuildTitleMeshes(*window);
            if (framed) {
                BuildFrameMesh(window->titleBarColour, window->x, window->y, window->width, bar,
                               window->titleFrameMesh);
            }
        }
        BuildBodyMeshes(*window);
        BuildFrameMesh(window->backgroundColour, window->x, window->y + bar, window->width, window->height,
                       window->bodyFrameMesh);
        window->dirty = false;
    }
    // Text queued so far lies beneath this window's frames, and so do the
    // logos: they are drawn once, under the frame's first window.
    const bool logos = !state->logosDrawn && state->logoSelect != kLogoNone;
    DrawQueue(logos);
    state->logosDrawn = state->logosDrawn || logos;
    BeginTextState();
    if (titleShown) {
        if (framed) {
            DrawFrame(*window, window->titleFrameMesh);
        }
        QueueVertices(window->titleLeftVertices, window->titleLeftVertexCount);
        QueueVertices(window->titleRightVertices, window->titleRightVertexCount);
    }
    if (bodyShown) {
        if (framed) {
            DrawFrame(*window, window->bodyFrameMesh);
        }
        for (uint32_t row = 0; row < window->lineCount; ++row) {
            QueueVertices(window->lineVertices[row], window->lineVertexCounts[row]);
        }
    }
    EndTextState();
}

void GlyphonContext::BuildTitleMeshes(TextWindow& window)
{
    const size_t leftLength = std::strlen(window.titleLeftText);
    const size_t rightLength = std::strlen(window.titleRightText);
    if (window.titleLeftVertices == nullptr || window.titleRightVertices == nullptr) {
        FreeLayout(window.titleLeftVertices);
        FreeLayout(window.titleRightVertices);
        if (leftLength > 0) {
            window.titleLeftVertices = AllocateVertices(4 * leftLength);
        }
        if (rightLength > 0) {
            window.titleRightVertices = AllocateVertices(4 * rightLength);
        }
    }
    window.titleLeftVertexCount = 0;
    window.titleRightVertexCount = 0;
    if (window.titleLeftVertices != nullptr) {
        window.titleLeftVertexCount = LayOutString(0.0f, window.x + 6.0f, window.y + 7.0f, window.titleScale,
                                                   window.titleLeftColour, window.titleLeftText,
                                                   window.titleLeftVertices);
    }
    if (window.titleRightVertices != nullptr) {
        // Right-aligned, but never closer than 10 units behind the left title.
        const float aligned = window.width - StringWidth(window.titleScale, window.titleRightText) - 6.0f;
        const float offset = aligned > window.titleLeftWidth ? aligned : window.titleLeftWidth;
        window.titleRightVertexCount = LayOutString(0.0f, window.x + offset, window.y + 7.0f, window.titleScale,
                                                    window.titleRightColour, window.titleRightText,
                                                    window.titleRightVertices);
    }
}

void GlyphonContext::BuildBodyMeshes(TextWindow& window)
{
    const float bar = (window.flags & kWindowTitleShown) != 0 ? TitleBarHeight(window) : 0.0f;
    const float spacing = RowSpacing(window.bodyScale);
    for (uint32_t row = 0; row < window.lineCount; ++row) {
        const char* text = BodyRow(window, row);
        window.lineVertexCounts[row] = 0;
        if (text[0] == 0) {
            FreeLayout(window.lineVertices[row]);
            continue;
        }
        if (window.lineVertices[row] == nullptr) {
            window.lineVertices[row] = AllocateVertices(4 * size_t(window.lineLength));
            if (window.lineVertices[row] == nullptr) {
                continue;
            }
        }
        window.lineVertexCounts[row] = LayOutString(0.0f, window.x + 6.0f, window.y + 6.0f + row * spacing + bar,
                                                    window.bodyScale, window.bodyColour, text,
                                                    window.lineVertices[row]);
    }
}

void GlyphonContext::BuildFrameMesh(uint32_t colour, float x, float y, float width, float height,
                                    TextVertex*& mesh) const
{
    if (mesh == nullptr) {
        mesh = AllocateVertices(16);
        if (mesh == nullptr) {
            return;
        }
    }
    // The image's 6-texel border keeps 6 units on screen; its middle stretches.
    const float columns[4] = {x, x + kFrameBorder, x + width - kFrameBorder, x + width};
    const float rows[4] = {y, y + kFrameBorder, y + height - kFrameBorder, y + height};
    const float s[4] = {0.0f, 6.0f / 16.0f, 10.0f / 16.0f, 1.0f};
    const float t[4] = {1.0f, 10.0f / 16.0f, 6.0f / 16.0f, 0.0f};
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            TextVertex& vertex = mesh[row * 4 + column];
            vertex.x = FloatToFixed(columns[column] * state->screenScaleX);
            vertex.y = FloatToFixed(rows[row] * state->screenScaleY);
            vertex.z = 0;
            SetVertexColour(vertex, colour);
            vertex.s = FloatToFixed(s[column]);
            vertex.t = FloatToFixed(t[row]);
        }
    }
}

void GlyphonContext::DrawFrame(const TextWindow& window, const TextVertex* mesh) const
{
    if (mesh == nullptr) {
        return;
    }
    const bool opaque = (window.flags & kWindowOpaque) != 0;
    const bool plain = (window.flags & kWindowPlainFrame) != 0;
    glBindTexture(GL_TEXTURE_2D, state->frameTextures[(opaque ? 2 : 0) + (plain ? 1 : 0)]);
    if (opaque) {
        glDisable(GL_BLEND);
    } else {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    PointTextArrays(mesh);
    glDrawElements(GL_TRIANGLES, 54, GL_UNSIGNED_SHORT, kFrameIndices.values);
    glGetError();
}

} // namespace trellis
