#pragma once
#include <map>
#include <memory>
#include <string>

#include "shell/ce/WindowBackend.h"

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_output;
struct wl_surface;
struct libdecor;
struct xdg_wm_base;
struct zxdg_decoration_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;

namespace trellis {

// Wayland backend (wayland-client, xdg-shell, xdg-output, wayland-egl,
// wayland-cursor, xkbcommon, libdecor): native toplevels on a Wayland
// compositor.
// Supports: one xdg toplevel per window that renders, titled as the window,
// with the program's name as its app id, made when its rendering surface is;
// every configure sizes the surface (within the size limit, which the toplevel
// announces as its maximum), in full screen too, except the quarter-size
// surface, which keeps its own and which the compositor shows on its own; a
// configure without a size brings back the floating size (the last outside
// full screen, maximized and tiled); full screen switched on and off while
// running; the monitor as the first output's logical size (xdg-output, else
// its mode turned and scaled) and that output's buffer scale, the shell
// counting buffer pixels; server-side decorations through xdg-decoration, else
// a title bar libdecor draws on framed windows; the cursor theme's arrow, or no
// pointer image while the application hides it; frames paced by the
// compositor's frame callbacks (unless vsync is off), waiting at most 250 ms so
// that a window it does not show goes on rendering; events: keys read through
// the compositor's XKB keymap, with modifiers and typed text, repeated at its
// rate and delay; pointer motion and leaving; left, middle and right buttons;
// wheel steps; focus; the toplevel's close; resizes. EGL window surfaces on
// Mesa's Wayland platform, 8 bits a colour where offered. A compositor that
// goes away ends the program with a message and exit code 1.
// Does not support: placing windows (positions are records only), showing,
// hiding, raising or focusing on request, a window that never renders (the
// quarter-size cover window never reaches the compositor), composed text (dead
// keys, input methods), other buttons, several outputs (the first counts),
// fractional scales.
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
    void OnPointerAxis(uint32_t axis, double value);
    void OnPointerAxisDiscrete(uint32_t axis, int32_t steps);

    // The state of one window on the compositor (WaylandInternal.h).
    struct NativeWindow;

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
    void RepeatHeldKey();
    void DispatchQueued();
    void ReadEvents(int waitMs);
    bool DispatchBlocking();
    void AwaitFrame(NativeWindow& native, uint32_t timeoutMs);
    NativeWindow* FindBySwapSurface(EGLSurface surface) const;
    [[noreturn]] void ConnectionLost();
    void DestroyNative(NativeWindow& native);
    void ReleaseKeyboard();
    void ReleasePointer();
    void ReleaseOutput();

    wl_display* display;
    struct Devices;  // the seat and its keyboard and pointer (WaylandInternal.h)
    std::unique_ptr<Devices> devices;
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
    bool framePaced = true;  // swaps wait for the compositor's frame callback
    // The output as announced: its current mode in device pixels, how the
    // compositor turns and scales it, and the logical size that results
    // (from xdg-output; 0 x 0 until it says).
    int32_t modeWidth = 0;
    int32_t modeHeight = 0;
    int32_t outputTransform = 0;
    int32_t outputScale = 1;
    int32_t logicalWidth = 0;
    int32_t logicalHeight = 0;

    std::map<WindowHandle, std::unique_ptr<NativeWindow>> windows;
};

} // namespace trellis
