#pragma once
#include <map>
#include <memory>
#include <vector>

#include "shell/ce/WindowBackend.h"

struct _XDisplay;
struct _XIM;
struct _XIC;
union _XEvent;

namespace trellis {

// X11 backend (Xlib): real windows on an X server.
// Supports: a top-level window per window, placed where the shell puts it;
// the window manager's frame measured before the first framed window
// (_NET_FRAME_EXTENTS) and kept reachable in the work area (_NET_WORKAREA);
// undecorated windows without a frame; black until rendered into; raising
// and focusing; titles (WM_NAME in Latin-1, _NET_WM_NAME in UTF-8); WM_CLASS
// "Trellis"; full screen (_NET_WM_STATE_FULLSCREEN, or _NET_WM_STATE_ABOVE at
// its own rectangle for a window smaller than the monitor), switched while
// running; a hidden pointer; a size limit held against other clients; keys
// with key codes, modifiers and the input method's text, pointer motion and
// leaving, buttons 1 to 3, buttons 4 to 7 as wheel steps, focus, resizes,
// exposure, the window manager's close and a window destroyed by another
// client; a server that goes away ends the program; EGL window surfaces.
// Does not support: input-method pre-editing (text comes when committed),
// buttons beyond 7, several monitors (the screen counts as one).
class X11Backend : public WindowBackend {
public:
    // Null when the display (DISPLAY when `displayName` is null) does not open.
    static std::unique_ptr<X11Backend> Open(const char* displayName);
    ~X11Backend() override;

    bool OpenWindow(WindowHandle window, const Rect& client, bool framed, bool visible,
                    const char16_t* title) override;
    void CloseWindow(WindowHandle window) override;
    void PlaceWindow(WindowHandle window, Rect& client) override;
    void ShowWindow(WindowHandle window, bool visible) override;
    void RaiseWindow(WindowHandle window) override;
    void SetTitle(WindowHandle window, const char16_t* title) override;
    void LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight) override;
    void MakeFullScreen(WindowHandle window, bool spansMonitor) override;
    Rect Monitor() override;
    Rect WorkArea() override;
    Rect FrameInsets() override;
    void PollEvents() override;
    EGLDisplay GetEGLDisplay() override;
    void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) override;
    EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window,
                                const Rect& client) override;
    bool SwitchFullScreen(WindowHandle window, bool on, const Rect& framedClient) override;
    bool ShowPointer(WindowHandle window, bool show) override;
    std::string Describe() const override;

private:
    struct Native {
        unsigned long window = 0;  // 0 once another client destroyed it
        _XIC* inputContext = nullptr;
        bool framed = false;
        int32_t maxWidth = 0;  // the largest client area; 0: no limit
        int32_t maxHeight = 0;
    };

    explicit X11Backend(_XDisplay* display);
    Native* Find(WindowHandle window);
    unsigned long NativeWindow(WindowHandle window);
    WindowHandle HandleOf(unsigned long native) const;
    bool TranslateEvent(_XEvent& event, NativeEvent& native);
    void NoteResize(WindowHandle window, int width, int height, TrellisEvent& resize);
    void TypedText(WindowHandle window, _XEvent& event, TrellisEvent& input);
    _XIC* InputContext(WindowHandle window);
    void HoldWithinLimit(WindowHandle window, int width, int height);
    void MeasureFrame();
    void KeepFrameReachable(Rect& client);
    // Whether a window manager runs that announces `state` in _NET_SUPPORTED.
    bool ManagerSupports(unsigned long state);
    void AwaitSize(WindowHandle window, int width, int height);

    _XDisplay* display;
    // Atoms, interned once.
    unsigned long wmProtocols, wmDeleteWindow, netWmState, netWmStateFullscreen, netWmStateAbove, motifWmHints;
    unsigned long netActiveWindow, netWmPid, netWmName, utf8String, netSupported, netRequestFrameExtents;
    unsigned long netFrameExtents, netWorkarea, netCurrentDesktop;
    bool frameMeasured = false;
    unsigned long blankCursor = 0;  // made the first time the pointer is hidden
    Rect frame{0, 0, 0, 0};  // what the window manager's frame adds on each side
    _XIM* inputMethod = nullptr;
    std::map<WindowHandle, Native> windows;
};

} // namespace trellis
