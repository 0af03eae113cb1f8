#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>

#include <trellis/shell/ShellData.h>
#include <trellis/shell/TrellisEvent.h>

namespace trellis {

class TrellisPlatform;

/// One option of the application's own, for the usage text and so that the
/// shell can tell the application's tokens from typos.
struct TrellisAppOption {
    const char* name;   ///< as typed; ends in '=' when a value follows ("-frames=")
    const char* value;  ///< what the value is, for the usage text ("LIST"); null for a flag
    const char* help;   ///< one line
};

/// Receives the framework's messages when an application routes them (see
/// TrellisApp::SetLogHandler).
using TrellisLogHandler = void (*)(const char* text, void* context);

/// The application base class. An application derives from it, overrides the
/// lifecycle operations it needs and supplies CreateApplication(); the shell
/// drives the rest (see shell/Entry.h).
class TrellisApp {
public:
    TrellisApp();
    virtual ~TrellisApp();

    TrellisApp(const TrellisApp&) = delete;
    TrellisApp& operator=(const TrellisApp&) = delete;

    /// Called once before any window exists, with the command-line tokens that
    /// are not shell options. Non-zero = success; the default fails.
    virtual int32_t InitApp(int32_t argCount, char** args, int32_t width, int32_t height);
    /// Called with the rendering context current, and again after every recovery
    /// from a lost context. Non-zero = success; the default fails.
    virtual int32_t InitScene(int32_t width, int32_t height);
    /// Called before the rendering context goes away.
    virtual void ReleaseScene();
    /// Called once after the last ReleaseScene. Non-zero = success; the default fails.
    virtual int32_t QuitApp();
    /// Draws one frame without presenting it. Non-zero stops the frame loop at once.
    virtual int32_t RenderFrame();
    /// Receives each input event (see shell/TrellisEvent.h) while the shell
    /// pumps window messages after a frame is presented. An event that ends the
    /// program (Escape, a tap in full screen ...) arrives before the program
    /// ends. The default ignores them.
    virtual void HandleEvent(const TrellisEvent& event);
    /// The application's own options: an array ended by an entry whose name is
    /// null, or null (the default) when it has none. The shell lists them under
    /// -help and, before InitApp, warns about every token that neither it nor a
    /// declared option matches ("unknown option -widht=800; ..."). That is how
    /// the shell knows which tokens the application uses: an application that
    /// takes tokens declares them here, and InitApp still receives every token
    /// the shell did not consume, declared or not.
    virtual const TrellisAppOption* GetAppOptions() const;

    /// The rendering surface's width in pixels; it follows a Resize.
    int32_t GetWidth() const { return shellData->width; }
    /// The rendering surface's height in pixels; it follows a Resize.
    int32_t GetHeight() const { return shellData->height; }
    /// The framed window's position given on the command line, across.
    int32_t GetPosX() const { return shellData->posX; }
    /// The framed window's position given on the command line, down.
    int32_t GetPosY() const { return shellData->posY; }
    /// The multisampling asked for: 1 = two samples, 2 = four, else none.
    int32_t GetFSAAMode() const { return shellData->fsaaMode; }
    /// 1 in full screen, 0 in a framed window.
    int32_t IsFullScreen() const { return shellData->fullScreen; }
    /// 1 when the monitor is at least as tall as it is wide.
    int32_t IsPortrait() const { return shellData->portrait; }
    /// 1 while the scene is set up again after a lost context.
    int32_t IsRecovering() const { return shellData->recovering; }
    /// The record shared with the shell (see ShellData).
    ShellData* GetShellData() const { return shellData; }

    /// Names the application's window (UTF-8, up to 127 bytes, cut at a
    /// character boundary): in InitApp for the window's first title, or at any
    /// later time, when the window takes it after the current frame. Until then
    /// the window is called "Trellis".
    void SetWindowTitle(const char* title);
    /// The title set, or null for the default; its version counts the changes.
    const char* GetWindowTitle() const { return windowTitleVersion != 0 ? windowTitle : nullptr; }
    /// How many times the title was set.
    uint32_t GetWindowTitleVersion() const { return windowTitleVersion; }

    /// Vsync: 1 presents each frame at the display's refresh, 0 as soon as it is
    /// drawn. Takes effect from the next frame; call it in InitScene or later.
    /// On X11 and headless it is eglSwapInterval on the current display; on
    /// Wayland 1 waits for the compositor's frame callback and 0 never waits.
    /// 1 = success, 0 = failure (no window yet, a negative interval, or EGL refused).
    int32_t SetSwapInterval(int32_t interval);
    /// Switches between full screen on the monitor and a framed window while the
    /// program runs; a Resize event with the new size follows, and IsFullScreen,
    /// GetWidth and GetHeight follow it. A tap or a lost focus still ends the
    /// program only when it started in full screen. Refused (0, with a message)
    /// before the window exists, for a quarter-size (320 x 240) surface and where
    /// there is no display (headless). 1 = success.
    int32_t SetFullScreen(bool on);
    /// Hides (false) or shows (true) the pointer over the window. 1 = success;
    /// 0, with a message, before the window exists and where there is no
    /// pointer (headless).
    int32_t ShowCursor(bool show);

    /// 1 if `name` is a whole word of the current context's GL_EXTENSIONS, else 0.
    int32_t IsGLExtensionSupported(const char* name) const;
    /// The platform's millisecond tick count (monotonic).
    uint32_t GetTicks() const;
    /// Nanoseconds of a monotonic clock that starts at an arbitrary point; for
    /// timing frames finer than GetTicks, and without its wrap after 49 days.
    uint64_t GetTimeNs() const;
    /// 1 while `key` is held: a KeyDown for it has been delivered and no KeyUp
    /// since, nor a FocusLost (a window without the focus hears no release).
    int32_t IsKeyDown(TrellisKey key) const;
    /// The library's version, "MAJOR.MINOR.PATCH" (trellis/Version.h has the
    /// headers' as numbers).
    static const char* GetTrellisVersion();
    /// Routes every message of the framework, ShellLog's included, to
    /// `handler(text, context)`: UTF-8 text as it is written, usually a whole
    /// line ending in '\n' (a long message may come in pieces). Null restores
    /// the default, standard error. Not thread-safe: set it before the program
    /// starts threads that log, or in InitApp.
    static void SetLogHandler(TrellisLogHandler handler, void* context = nullptr);
    /// printf-style diagnostic line on the debug output; only "%s" (narrow
    /// strings) and plain text are used by the framework's own messages.
    void ShellLog(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    /// Texture loading from compiled-in blocks (TextureHeader + all mip levels).
    /// 0 = success; 1 = unsupported format or no memory; else the GL error code.
    uint32_t TrellisLoadPartialTextureFromHeader(const void* block, uint32_t filterMode, int32_t skip,
                                                 uint32_t* textureName) const;
    /// All mip levels of the block (skip = 0).
    uint32_t TrellisLoadTextureFromHeader(const void* block, uint32_t filterMode, uint32_t* textureName) const;
    /// Deletes a texture the loaders made.
    void TrellisDeleteTexture(uint32_t textureName) const;

    /// Screen capture and BMP files, on the terms of capture/Capture.h (a read
    /// into pixels takes the buffer's size in *width and *height). Pixel
    /// buffers from TrellisCaptureFrame are released by the caller with delete[].
    int32_t TrellisCaptureFrame(int32_t width, int32_t height, uint8_t** pixels) const;
    /// trellis::TrellisSaveScreenDump at the surface's size.
    int32_t TrellisSaveScreenDump(const char* prefix, char* chosenName, const uint8_t* pixels) const;
    /// trellis::TrellisWriteBMP, replacing an existing file.
    int32_t TrellisWriteBMP(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels) const;
    /// trellis::TrellisReadBMP.
    int32_t TrellisReadBMP(const char* fileName, int32_t* width, int32_t* height, uint8_t* pixels) const;

protected:
    /// The record shared with the shell; an application may set its fields in
    /// InitApp (fullScreen, width, height ...) before the command line is read again.
    ShellData* shellData;

private:
    friend class TrellisPlatform;
    /// Keeps IsKeyDown's answers; the platform calls it before HandleEvent.
    void TrackKeys(const TrellisEvent& event);

    std::bitset<static_cast<size_t>(TrellisKey::Count)> keysDown;
    TrellisPlatform* platform = nullptr;  // while the window exists
    char windowTitle[128] = {};
    uint32_t windowTitleVersion = 0;
};

} // namespace trellis

/// Supplied by the application, outside the namespace: allocates its object.
trellis::TrellisApp* CreateApplication();
