#pragma once
#include <map>
#include <memory>
#include <string>

#include "shell/ce/EventQueue.h"
#include "shell/ce/WindowBackend.h"

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_output;
struct wl_seat;
struct wl_keyboard;
struct wl_pointer;
struct wl_surface;
struct wl_egl_window;
struct wl_callback;
struct libdecor;
struct libdecor_frame;
struct wl_shm;
struct wl_cursor_theme;
struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct zxdg_decoration_manager_v1;
struct zxdg_toplevel_decoration_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace trellis {

// Wayland backend (wayland-client, xdg-shell, xdg-output, wayland-egl,
// wayland-cursor, xkbcommon, libdecor): native toplevels on a Wayland
// compositor.
// Supports: one xdg toplevel per window that renders, titled as the window,
// with the program's name as its app id, made when its rendering surface is;
// every configure sizes the surface, in full screen too, except the
// quarter-size surface, which keeps its own and which the compositor shows on
// its own in full screen; a configure without a size brings back the floating
// size (the last outside full screen, maximized and tiled); the monitor as the
// first output's logical size (xdg-output, else its mode turned and scaled);
// the buffer scale of that output, sizes the shell sees being buffer pixels;
// server-side decorations where the compositor offers xdg-decoration, else a
// title bar drawn by libdecor on framed windows; the cursor theme's arrow as
// the pointer image, or none while the application hides it; switching full
// screen on and off while running (sizes from the configure that follows);
// frames paced (unless the application turns vsync off) by the compositor's frame callbacks with a
// 250 ms limit, so a window it does not show goes on rendering; input mapped
// to messages: the toplevel's close -> WM_CLOSE, button 1 (BTN_LEFT) ->
// WM_LBUTTONDOWN at the pointer's position, keyboard focus leaving ->
// WM_KILLFOCUS, Escape (read through the compositor's keymap) ->
// WM_KEYDOWN/VK_ESCAPE, a configured size change -> WM_SIZE (held within the
// size limit, which the toplevel also announces as its maximum), key repeat
// at the compositor's rate and delay; EGL window surfaces on Mesa's Wayland
// platform, 8 bits a colour where offered. A compositor that goes away ends
// the program at once with a message and exit code 1, as Xlib does when its
// server goes.
// Does not support: placing windows (Wayland leaves that to the compositor:
// positions are kept as records only), raising or focusing on request, a
// window that never renders (the quarter-size cover window has nothing to show
// and never reaches the compositor), other keys, other buttons, several
// outputs (the first counts, for the monitor and the scale), fractional
// scales, a display driver (no escapes).
class WaylandBackend : public WindowBackend {
public:
    // Null when no compositor answers at `displayName` (WAYLAND_DISPLAY when
    // null) or it lacks wl_compositor or xdg_wm_base.
    static std::unique_ptr<WaylandBackend> Open(const char* displayName);
    ~WaylandBackend() override;

    bool OpenWindow(WindowHandle window, const Rect& client, bool framed, bool visible,
                    const char16_t* title) override;
    void CloseWindow(WindowHandle window) override;
    void PlaceWindow(WindowHandle window, Rect& client) override;
    void SetTitle(WindowHandle window, const char16_t* title) override;
    void LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight) override;
    void MakeFullScreen(WindowHandle window, bool spansMonitor) override;
    Rect Monitor() override;
    void PollEvents() override;
    EGLDisplay GetEGLDisplay() override;
    void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) override;
    EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window,
                                const Rect& client) override;
    // Presents without waiting in EGL, then waits for the compositor to ask
    // for the next frame, reading its events meanwhile.
    EGLBoolean SwapBuffers(EGLDisplay display, EGLSurface surface) override;
    std::string Describe() const override { return "Wayland display " + displayName; }
    // 1 waits for the compositor's frame callback after each swap; 0 never waits.
    bool SetSwapInterval(EGLDisplay display, int32_t interval) override;
    bool SwitchFullScreen(WindowHandle window, bool on, const Rect& framedClient) override;
    bool ShowPointer(WindowHandle window, bool show) override;

    // Whether framed windows get a title bar: the compositor's (xdg-decoration) or libdecor's.
    bool HasDecorations() const { return decorationManager != nullptr || decorator != nullptr; }
    // The compositor's surface behind a window; null until it renders.
    wl_surface* NativeSurface(WindowHandle window) const;

    // What the compositor's events do, as its listeners deliver them. Public
    // so that input a compositor without devices cannot send can be handed in
    // below the protocol.
    // `fixedSize`: the compositor holds the window at its size (full screen,
    // maximized or tiled), so the size is no floating size to come back to.
    void OnToplevelConfigure(WindowHandle window, int32_t width, int32_t height, bool fixedSize);
    void OnToplevelClose(WindowHandle window);
    // Takes ownership of `fd`; the keymap is the compositor's XKB text.
    void OnKeymap(int fd, uint32_t size);
    void OnModifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group);
    void OnKey(uint32_t key, bool pressed);
    void OnRepeatInfo(int32_t rate, int32_t delay);
    void OnKeyboardEnter(wl_surface* surface);
    void OnKeyboardLeave(wl_surface* surface);
    void OnPointerEnter(wl_surface* surface, double x, double y);
    // Gives the pointer the theme's arrow over our surfaces, for the enter of `serial`.
    void ShowPointerImage(const wl_surface* surface, uint32_t serial);
    void OnPointerLeave(wl_surface* surface);
    void OnPointerMotion(double x, double y);
    void OnPointerButton(uint32_t button, bool pressed);
    // `axis` is WL_POINTER_AXIS_*; a discrete step, where the device has
    // notches, comes before the axis value it goes with.
    void OnPointerAxis(uint32_t axis, double value);
    void OnPointerAxisDiscrete(uint32_t axis, int32_t steps);

    // The state of one window on the compositor.
    struct NativeWindow {
        WaylandBackend* owner = nullptr;
        WindowHandle handle = kNoWindow;
        std::string title;  // UTF-8
        bool fullScreenRequested = false;
        bool keepsOwnSize = false;  // full screen at a size of its own (the quarter-size surface)
        wl_surface* surface = nullptr;
        xdg_surface* shellSurface = nullptr;
        xdg_toplevel* toplevel = nullptr;
        zxdg_toplevel_decoration_v1* decoration = nullptr;
        libdecor_frame* frame = nullptr;  // a frame libdecor draws, which owns the toplevel
        wl_egl_window* eglWindow = nullptr;
        EGLSurface eglSurface = EGL_NO_SURFACE;
        bool swapsUnpaced = false;          // EGL's own wait for the compositor is off
        wl_callback* frameRequest = nullptr;  // the compositor's call for the next frame, awaited
        bool configured = false;
        int32_t clientWidth = 0;  // the client area the shell sees, in buffer pixels
        int32_t clientHeight = 0;
        int32_t scale = 1;  // buffer pixels to a surface unit
        bool onOutput = false;  // the compositor shows the surface on the output
        int32_t width = 0;  // the surface's size, in surface units
        int32_t height = 0;
        int32_t pendingWidth = 0;  // the size of the last configure; 0 = the client chooses
        int32_t pendingHeight = 0;
        bool pendingFixed = false;  // the last configure holds the window at its size
        int32_t floatingWidth = 0;  // the size outside full screen and maximized, to come back to
        int32_t floatingHeight = 0;
        int32_t maxWidth = 0;  // the largest size the buffer may take; 0 = no limit
        int32_t maxHeight = 0;
    };

    // Registry, output, seat and surface events, for the listeners.
    void OnGlobal(uint32_t name, const char* interface, uint32_t version);
    void OnGlobalRemove(uint32_t name);
    void OnSeatCapabilities(uint32_t capabilities);
    void OnOutputMode(uint32_t flags, int32_t width, int32_t height);
    void OnOutputGeometry(int32_t transform);
    void OnOutputScale(int32_t scale);
    void OnOutputLogicalSize(int32_t width, int32_t height);
    void OnOutputDone();
    void OnSurfaceEnter(WindowHandle window, const wl_output* entered);
    void OnSurfaceConfigure(WindowHandle window);

private:
    explicit WaylandBackend(wl_display* display);
    std::string displayName;  // as connected to, for messages
    bool Connect();
    bool MakeToplevel(NativeWindow& native);
    void MakePlainToplevel(NativeWindow& native);
    void MakeFramedToplevel(NativeWindow& native);
    void DescribeOutput();
    void Resize(NativeWindow& native, int32_t width, int32_t height);
    void ApplyScale(NativeWindow& native);
    NativeWindow* Find(WindowHandle window) const;
    NativeWindow* FindBySurface(const wl_surface* surface) const;
    NativeEvent PointerEvent(TrellisEventKind kind) const;
    void QueueKey(uint32_t code, bool pressed);
    void QueueFocus(const wl_surface* surface, TrellisEventKind kind);
    uint32_t Modifiers() const;
    // Wayland leaves repeating a held key to the client.
    void RepeatHeldKey();
    // Reads and dispatches what the compositor has sent, without waiting.
    void ReadEvents();
    // Waits for and dispatches the compositor's next events.
    bool DispatchBlocking();
    // Reads and dispatches events until the frame asked for is wanted, or for
    // at most `timeoutMs`.
    void AwaitFrame(NativeWindow& native, uint32_t timeoutMs);
    NativeWindow* FindBySwapSurface(EGLSurface surface) const;
    [[noreturn]] void ConnectionLost();
    void DestroyNative(NativeWindow& native);
    void ReleaseKeyboard();
    void ReleasePointer();
    void ReleaseOutput();

    wl_display* display;
    EGLDisplay eglDisplay = EGL_NO_DISPLAY;  // the one GetEGLDisplay handed out
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zxdg_decoration_manager_v1* decorationManager = nullptr;
    libdecor* decorator = nullptr;  // draws frames where the compositor offers none
    zxdg_output_manager_v1* outputManager = nullptr;
    wl_output* output = nullptr;
    zxdg_output_v1* outputDescription = nullptr;  // the output's logical size, where offered
    uint32_t outputName = 0;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    wl_shm* shm = nullptr;
    wl_cursor_theme* cursorTheme = nullptr;  // loaded at the first enter
    wl_surface* pointerImage = nullptr;
    bool pointerHidden = false;  // the application hid the pointer over its windows
    uint32_t pointerSerial = 0;  // the latest enter's, which a new pointer image needs
    bool framePaced = true;      // swaps wait for the compositor's frame callback
    // The output as announced: its current mode in device pixels, how the
    // compositor turns and scales it, and the logical size that results
    // (from xdg-output; 0 x 0 until it says).
    int32_t modeWidth = 0;
    int32_t modeHeight = 0;
    int32_t outputTransform = 0;
    int32_t outputScale = 1;
    int32_t logicalWidth = 0;
    int32_t logicalHeight = 0;

    xkb_context* xkbContext = nullptr;
    xkb_keymap* keymap = nullptr;
    xkb_state* keyState = nullptr;

    wl_surface* pointerSurface = nullptr;
    double pointerX = 0;  // in surface units
    double pointerY = 0;
    wl_surface* keyboardSurface = nullptr;
    KeyRepeat keyRepeat;  // of XKB key codes, on the tick count
    int32_t pendingSteps[2] = {0, 0};  // discrete steps of each axis, for the value that follows

    std::map<WindowHandle, std::unique_ptr<NativeWindow>> windows;
};

} // namespace trellis
