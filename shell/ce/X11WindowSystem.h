#pragma once
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "shell/ce/BasicWindowSystem.h"

struct _XDisplay;
struct _XIM;
struct _XIC;
union _XEvent;

namespace trellis {

// X11 backend (Xlib): real windows on an X server.
// Supports: one top-level X window per window, placed where the shell puts it,
// the frame that a window manager draws around a framed window counted in its
// rectangle (_NET_FRAME_EXTENTS, asked for before the first framed window) and
// kept with its top left inside the work area (_NET_WORKAREA); raising and
// focusing; windows without a caption left undecorated; black until a
// rendering surface is made on them; WM_CLASS "Trellis" with the program's
// name (RESOURCE_NAME where set); a server that goes away ends the program
// with a message; switching full screen on and off while running (the EWMH
// state with a window manager, the monitor's size without one); a hidden
// pointer (a blank cursor); full screen through the EWMH _NET_WM_STATE_FULLSCREEN
// request for a window that spans the monitor, and for a smaller one the
// _NET_WM_STATE_ABOVE request at its own rectangle; the monitor as the whole X
// screen; input mapped to messages and application events: Expose ->
// WM_PAINT, WM_DELETE_WINDOW -> WM_CLOSE, keys -> WM_KEYDOWN / WM_KEYUP
// (Escape as VK_ESCAPE) with their key codes, modifiers and the input
// method's text (XLookupString's where no input method opens), pointer motion
// and buttons 1 to 3 -> WM_MOUSEMOVE, WM_[LMR]BUTTON{DOWN,UP}, buttons 4 to 7
// -> wheel steps, focus -> WM_SETFOCUS / WM_KILLFOCUS, ConfigureNotify ->
// WM_SIZE and a resize, the window destroyed by another client -> WM_DESTROY;
// the largest size told to the window manager and held when another client
// resizes beyond it, a shrink below it awaited (briefly) before drawing goes on; window titles in Latin-1 (WM_NAME) and UTF-8
// (_NET_WM_NAME); EGL window surfaces on Mesa's X11 platform.
// Does not support: input-method pre-editing (text arrives when committed),
// buttons beyond 7, several monitors (the screen counts as one), a display
// driver (no escapes).
class X11WindowSystem : public BasicWindowSystem {
public:
    // Null when the display (DISPLAY when `displayName` is null) does not open.
    static std::unique_ptr<X11WindowSystem> Open(const char* displayName);
    ~X11WindowSystem() override;

    void UpdateWindow(WindowHandle window) override;
    void FullScreen(WindowHandle window, uint32_t flags) override;
    void LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight) override;
    Rect GetMonitorRect(WindowHandle window) override;
    Rect GetWorkRect(WindowHandle window) override;
    void AdjustWindowRectEx(Rect& rect, uint32_t style, bool menu, uint32_t exStyle) override;
    EGLDisplay GetEGLDisplay(DeviceContext dc) override;
    void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) override;
    EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window) override;
    std::string Describe() const override;
    bool SwitchFullScreen(WindowHandle window, bool on, const Rect& framedClient) override;
    bool ShowPointer(WindowHandle window, bool show) override;

protected:
    bool OpenNativeWindow(WindowHandle window, const WindowRecord& record, const char16_t* title) override;
    void PlaceNativeWindow(WindowHandle window, const WindowRecord& record) override;
    void RaiseNativeWindow(WindowHandle window) override;
    void ShowNativeWindow(WindowHandle window, bool visible) override;
    void CloseNativeWindow(WindowHandle window) override;
    void ReadNativeEvents() override;
    void SetNativeTitle(WindowHandle window, const char16_t* title) override;
    void ConstrainPlacement(uint32_t style, Rect& rect) override;

private:
    explicit X11WindowSystem(_XDisplay* display);
    unsigned long NativeWindow(WindowHandle window) const;
    WindowHandle HandleOf(unsigned long native) const;
    bool TranslateEvent(_XEvent& event, NativeEvent& native);
    void NoteResize(WindowHandle window, int width, int height, TrellisEvent& resize);
    void TypedText(WindowHandle window, _XEvent& event, TrellisEvent& input);
    _XIC* InputContext(WindowHandle window) const;
    void HoldWithinLimit(WindowHandle window, int width, int height);
    void SendToRoot(unsigned long window, unsigned long type, long data0, long data1, long data2, long data3);
    std::vector<long> ReadLongs(unsigned long window, unsigned long property, unsigned long type);
    bool AwaitEvent(unsigned long window, int type, int waitMs, const std::function<bool(const _XEvent&)>& wanted,
                    _XEvent& event);
    void MeasureFrame();
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
    std::map<WindowHandle, unsigned long> nativeWindows;
    _XIM* inputMethod = nullptr;
    std::map<WindowHandle, _XIC*> inputContexts;
    std::map<WindowHandle, std::pair<int32_t, int32_t>> sizeLimits;  // largest client area per window
};

} // namespace trellis
