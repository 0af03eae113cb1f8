#pragma once
#include <cstddef>
#include <cstdint>

namespace trellis {

/// @file
/// Glyphon: a small on-screen text library. It draws strings of a compiled-in
/// bitmap font as blended, textured quads over the finished frame, queued during
/// the frame and drawn by one Flush, plus the title block with its logos and
/// framed text windows.
///
/// Positions given by callers are percentages of the screen; inside, the library
/// works on a virtual screen of 640 x 480 units scaled to the surface. Colours
/// are 32-bit values whose bytes, lowest first, are R, G, B, A (0xFF00FFFF is
/// opaque yellow). Every call runs on the thread that owns the current GL context.

/// One vertex of a text or frame quad: the layout the draw calls are set up for.
struct TextVertex {
    int32_t x;           ///< 16.16 pixels from the left
    int32_t y;           ///< 16.16 pixels from the top, downward
    int32_t z;           ///< 16.16 depth
    uint8_t colour[4];   ///< R, G, B, A
    int32_t s;           ///< 16.16 texture coordinate across
    int32_t t;           ///< 16.16 texture coordinate down
};
static_assert(sizeof(TextVertex) == 24, "TextVertex is 24 bytes");

constexpr int32_t kGlyphonTextBytes = 5120;         ///< one formatted text, terminator included
constexpr int32_t kGlyphonBatchVertices = 65532;    ///< vertices per draw call
constexpr int32_t kGlyphonIndexCount = 98298;       ///< 16,383 quads of six indices
constexpr int32_t kGlyphonInitialQueue = 4096;      ///< queue capacity after Initialise
constexpr int32_t kGlyphonMaxQueue = 1048576;       ///< the queue never grows beyond this
constexpr int32_t kGlyphonWindowSlots = 512;        ///< ids 1-511 are handed out
constexpr int32_t kGlyphonMaxRows = 255;            ///< body rows per window

/// Logo selections of ShowTitleBlock; any other non-zero value acts as kLogoFirst.
constexpr int32_t kLogoNone = 0;          ///< no logo
constexpr int32_t kLogoFirst = 2;         ///< first logo, bottom right (the demo's choice)
constexpr int32_t kLogoSecond = 4;        ///< second logo, bottom right
constexpr int32_t kLogoBoth = 6;          ///< second logo bottom left, first bottom right

/// Window state bits (TextWindow::flags).
constexpr uint32_t kWindowInUse = 0x01;       ///< the slot holds a window
constexpr uint32_t kWindowBodyShown = 0x02;   ///< the body is drawn
constexpr uint32_t kWindowTitleShown = 0x04;  ///< the title bar is drawn
constexpr uint32_t kWindowOpaque = 0x10;      ///< the frames are opaque
constexpr uint32_t kWindowFrameless = 0x20;   ///< no frames, text only
constexpr uint32_t kWindowAutoFit = 0x40;     ///< the size follows the text
constexpr uint32_t kWindowPlainFrame = 0x80;  ///< plain frames instead of bevelled ones

/// Window commands (ApplyWindowCommands); several may be combined.
constexpr uint32_t kShowBody = 0x01;       ///< draw the body
constexpr uint32_t kHideBody = 0x02;       ///< stop drawing the body
constexpr uint32_t kShowTitle = 0x04;      ///< draw the title bar
constexpr uint32_t kHideTitle = 0x08;      ///< stop drawing the title bar
constexpr uint32_t kSetOpaque = 0x10;      ///< opaque frames
constexpr uint32_t kSetFrameless = 0x20;   ///< no frames
constexpr uint32_t kSetAutoFit = 0x40;     ///< fit the size to the text from now on
constexpr uint32_t kSetPlainFrame = 0x80;  ///< plain frames

/// One text window slot. Positions and sizes are virtual units.
struct TextWindow {
    uint32_t flags;               ///< 0 = free slot
    bool dirty;                   ///< meshes must be rebuilt before the next draw
    char* bodyText;               ///< row r starts at r * lineLength, zero-terminated
    uint32_t lineLength;          ///< characters per row + 1
    uint32_t lineCount;           ///< rows, 1-255
    float titleScale;             ///< negative: small font
    float titleLeftWidth;         ///< StringWidth of the left title + 10
    uint32_t titleLeftColour;     ///< colour of the left title
    uint32_t titleRightColour;    ///< colour of the right title
    uint32_t titleBarColour;      ///< colour of the title bar's frame
    char* titleLeftText;          ///< left title, kGlyphonTextBytes
    char* titleRightText;         ///< right title, kGlyphonTextBytes
    int32_t titleLeftVertexCount;   ///< vertices of the laid-out left title
    int32_t titleRightVertexCount;  ///< vertices of the laid-out right title
    TextVertex* titleLeftVertices;  ///< the laid-out left title
    TextVertex* titleRightVertices; ///< the laid-out right title
    float bodyScale;              ///< size of the body text; negative: small font
    uint32_t bodyColour;          ///< colour of the body text
    uint32_t backgroundColour;    ///< colour of the body's frame
    float x;                      ///< left edge
    float y;                      ///< top edge of the body frame
    float width;                  ///< body frame width; the title bar sits above it
    float height;                 ///< body frame height
    int32_t lineVertexCounts[kGlyphonMaxRows];  ///< vertices of each laid-out row
    TextVertex* lineVertices[kGlyphonMaxRows];  ///< each row laid out
    TextVertex* titleFrameMesh;   ///< the title bar's frame, 16 vertices
    TextVertex* bodyFrameMesh;    ///< the body's frame, 16 vertices
};

/// Everything one GlyphonContext owns. Zero bytes are its created state.
struct GlyphonState {
    uint32_t fontTexture;         ///< the glyph atlas
    uint32_t frameTextures[4];    ///< bevelled translucent, plain translucent, bevelled opaque, plain opaque
    uint32_t logoTextures[2];     ///< the two logos
    int32_t logoSelect;           ///< the logos ShowTitleBlock chose (kLogo...)
    bool logosDrawn;              ///< this frame's logos are down, beneath its first window; cleared by
                                  /// Flush and ShowTitleBlock, which begin and end a frame
    uint16_t* indexBuffer;        ///< kGlyphonIndexCount entries
    TextVertex* printVertices;    ///< layout buffer of PrintAt, 4 per character
    float screenScaleX;           ///< pixels per virtual unit across
    float screenScaleY;           ///< pixels per virtual unit down
    bool ready;                   ///< prints and window draws work
    bool texturesLoaded;          ///< the textures and buffers exist
    TextVertex* queue;            ///< vertices for the next Flush
    int32_t queueCount;           ///< vertices queued
    int32_t queueCapacity;        ///< vertices the queue holds before it grows
    TextWindow windows[kGlyphonWindowSlots];  ///< slot 0 is never handed out
    int32_t firstFreeWindow;      ///< no slot below it is free, so a new window's search starts here
    // The one-entry layout cache of PrintAt and the format buffers live with the
    // instance, so that two instances never hand each other stale layouts.
    char printText[kGlyphonTextBytes];  ///< PrintAt's formatted text
    char lastText[kGlyphonTextBytes];   ///< the text of PrintAt's cached layout
    float lastX;                  ///< where the cached layout lies, across
    float lastY;                  ///< where the cached layout lies, down
    float lastScale;              ///< the cached layout's scale
    uint32_t lastColour;          ///< the cached layout's colour
    int32_t lastVertexCount;      ///< the cached layout's vertices
    char windowText[kGlyphonTextBytes];  ///< SetWindowBody's formatted text
};

/// One instance of the text library: its textures, buffers, queue and text
/// windows. Created empty; Initialise makes it ready with a current GL context.
class GlyphonContext {
public:
    GlyphonContext();
    ~GlyphonContext();
    GlyphonContext(const GlyphonContext&) = delete;
    GlyphonContext& operator=(const GlyphonContext&) = delete;

    /// Records the surface size; the first call (and the first after
    /// ReleaseResources) also creates the textures and buffers. True on success.
    bool Initialise(int32_t width, int32_t height);
    /// Formats text with the printf rules and queues it at (x, y) percent of the
    /// screen; scale > 0 draws the large font that many times its size, scale < 0
    /// the small font. Text longer than 5,119 characters is cut.
    void PrintAt(float x, float y, float scale, uint32_t colour, const char* format, ...)
        __attribute__((format(printf, 6, 7)));
    /// Queues the yellow title and the white description (either may be null),
    /// shown as written, and chooses the frame's logos: they are drawn beneath
    /// the first window drawn after this call, or else by the next Flush. Call
    /// it every frame, before the frame's windows.
    void ShowTitleBlock(const char* title, const char* description, int32_t logoSelect);
    /// Ends the frame's text: draws and empties the queue, then the chosen logos
    /// unless a window of this frame has drawn them already; nothing at all when
    /// the queue is empty. Returns the number of text triangles drawn.
    ///
    /// When it draws, Flush leaves depth testing, 2D texturing on texture unit 0
    /// and face culling switched on, with clockwise front faces culled (the
    /// demo's scene relies on that state from one frame to the next); blending,
    /// lighting and fog are left off and both matrices as they were. An
    /// application that draws after Flush, or counts on the GL defaults in its
    /// next frame, restores its own state first:
    ///     glDisable(GL_DEPTH_TEST);
    ///     glDisable(GL_TEXTURE_2D);
    ///     glDisable(GL_CULL_FACE);
    int32_t Flush();
    /// Deletes the textures and frees the buffers. Prints and draws do nothing
    /// until the next Initialise; the text windows survive.
    void ReleaseResources();

    /// Size of a string by the library's own measure (either output may be null).
    /// The width is roughly in percent of the screen width: a glyph counts
    /// W x 40 x scale, a small one W x 39.84375 (W x 255 / 6.4). The height is
    /// screenScaleY x 4.21875 x scale for the large font and screenScaleY x 12
    /// (the small glyphs' height in pixels) for the small one.
    void MeasureString(float* width, float* height, float scale, const char* text) const;
    /// The surface size in pixels as recorded by Initialise.
    void GetScreenSize(int32_t* width, int32_t* height) const;

    /// Building blocks shared by the title block and the windows, open to
    /// applications that lay out text themselves.
    /// Writes four vertices per character other than space and newline (at most
    /// 5,120 characters) at (x, y) virtual units; returns the vertex count.
    int32_t LayOutString(float z, float x, float y, float scale, uint32_t colour, const char* text,
                         TextVertex* out) const;
    /// Copies vertices behind the queued ones; a batch that would take the queue
    /// past kGlyphonMaxQueue is dropped whole.
    void QueueVertices(const TextVertex* vertices, int32_t count);
    /// Width of one line in virtual units.
    float StringWidth(float scale, const char* text) const;
    /// Sets the drawing state text is drawn with.
    void BeginTextState() const;
    /// Leaves the state Flush documents behind.
    void EndTextState() const;

    /// Text windows. Ids are 1-511; an id that is out of range or names a free
    /// slot is ignored by every operation.
    /// Returns the id, or 0 when no slot is free or the sizes are unusable
    /// (maxChars 1-5,119, maxLines 1-255).
    int32_t CreateTextWindow(int32_t maxChars, int32_t maxLines);
    /// A ready-styled, auto-fitted window; -1 when both texts are null, 0 when no window can be made.
    int32_t CreateQuickWindow(float x, float y, int32_t charsPerRow, const char* title, const char* text);
    /// Frees the window's slot and its memory.
    void DeleteTextWindow(int32_t id);
    /// Deletes every text window.
    void DeleteAllTextWindows();
    /// Colours, body text size (negative: small font), and the body frame's
    /// position and size in virtual units.
    void SetWindowLook(int32_t id, uint32_t backgroundColour, uint32_t bodyColour, float bodyScale, float x, float y,
                       float width, float height);
    /// Null texts leave that title unchanged; titles longer than 5,119 characters are cut.
    void SetWindowTitleBar(int32_t id, uint32_t barColour, float titleScale, uint32_t leftColour, const char* left,
                           uint32_t rightColour, const char* right);
    /// Fills the rows with word wrap, scrolling older rows away.
    void SetWindowBody(int32_t id, const char* format, ...) __attribute__((format(printf, 3, 4)));
    /// Applies kShowBody, kHideTitle ... (combined with |).
    void ApplyWindowCommands(int32_t id, uint32_t commands);
    /// Mode 0 fits width and height to the texts, 1 the width only, 2 the height only.
    void FitWindowToText(int32_t id, int32_t mode);
    /// Draws the frames now, over the text queued so far and, at the frame's
    /// first window, over the chosen logos; queues the window's texts.
    void DrawTextWindow(int32_t id);

    /// Read-only view of the instance, for tools and tests.
    const GlyphonState& State() const { return *state; }

private:
    bool IsReady() const { return state != nullptr && state->ready; }
    void PrintText(float x, float y, float scale, uint32_t colour, const char* text, size_t length);
    bool CreateTextures();
    void DiscardResources();
    int32_t DrawQueue(bool logos);
    void DrawLogos() const;
    TextWindow* FindWindow(int32_t id) const;
    void ReleaseWindow(TextWindow& window);
    void FillBody(TextWindow& window, const char* text, size_t textLength);
    void BuildTitleMeshes(TextWindow& window);
    void BuildBodyMeshes(TextWindow& window);
    void BuildFrameMesh(uint32_t colour, float x, float y, float width, float height, TextVertex*& mesh) const;
    void DrawFrame(const TextWindow& window, const TextVertex* mesh) const;

    GlyphonState* state;
};

} // namespace trellis
