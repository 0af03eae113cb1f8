#pragma once
#include <functional>
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
// Supports: one top-level window per window, placed where the shell puts it;
// the frame a window manager draws around a framed window (_NET_FRAME_EXTENTS,
// asked for before the first framed window), its top left kept inside the
// work area (_NET_WORKAREA); windows without a frame left undecorated; black
// until a rendering surface is made on them; raising and focusing; titles in
// Latin-1 (WM_NAME) and UTF-8 (_NET_WM_NAME); WM_CLASS "Trellis" with the
// program's name (RESOURCE_NAME where set); full screen through
// _NET_WM_STATE_FULLSCREEN for a window that spans the monitor and
// _NET_WM_STATE_ABOVE at its own rectangle for a smaller one, switched on and
// off while running (the monitor's rectangle without a window manager); a
// hidden pointer (a blank cursor); the size limit told to the window manager
// and held when another client resizes beyond it, a shrink below it awaited
// (briefly) before drawing goes on; events: keys with their key codes,
// modifiers and typed text (the input method's where one opens, else
// XLookupString's), pointer motion and leaving, buttons 1 to 3, buttons 4 to 7
// as wheel steps, focus, resizes, exposure, the window manager's close
// (WM_DELETE_WINDOW) and a window destroyed by another client; a server that
// goes away ends the program with a message; EGL window surfaces on Mesa's X11
// platform.
// Does not support: input-method pre-editing (text arrives when committed),
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
    void SendToRoot(unsigned long window, unsigned long type, long data0, long data1, long data2, long data3);
    std::vector<long> ReadLongs(unsigned long window, unsigned long property, unsigned long type);
    bool AwaitEvent(unsigned long window, int type, int waitMs, const std::function<bool(const _XEvent&)>& wanted,
                    _XEvent& event);
    void MeasureFrame();
    void KeepFrameReachable(Rect& client);
    // Whether a window manager runs that announces `state` in _NET_SUPPORTED.
    bool ManagerSupports(unsigned long state);
    void AwaitSize(WindowHandle window, int width, int height);

    _XDisplay* display;
    unsigned long wmProtocols;
    unsigned long wmDeleteWindow;
    unsigned long netWmState;
    unsigned long netWmStateFullscreen;
    unsigned long netWmStateAbove;
    unsigned long motifWmHints;
    unsigned long netActiveWindow;
    unsigned long netWmPid;
    unsigned long netWmName;
    unsigned long utf8String;
    unsigned long netSupported;
    unsigned long netRequestFrameExtents;
    unsigned long netFrameExtents;
    unsigned long netWorkarea;
    unsigned long netCurrentDesktop;
    bool frameMeasured = false;
    unsigned long blankCursor = 0;  // made the first time the pointer is hidden
    Rect frame{0, 0, 0, 0};  // what the window manager's frame adds on each side
    _XIM* inputMethod = nullptr;
    std::map<WindowHandle, Native> windows;
};

} // namespace trellis
