#pragma once
#include <EGL/egl.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "dualdisplay/DisplayDriver.h"
#include "shell/TrellisEvent.h"

namespace trellis {

// The window-system calls the platform layer makes, written from what the shell
// asks of a Windows CE style window system: classes and windows, placement,
// the monitor, the message queue, painting, device contexts and display-driver
// escapes, debug output and the tick counter. A backend maps them onto a real
// window system (X11), onto none at all (headless) or onto a test script.
// Every call runs on the one thread that runs the shell.

using WindowHandle = uint32_t;   // 0: no window

constexpr WindowHandle kNoWindow = 0;
constexpr uint32_t WM_NULL = 0;

// Message numbers, with the values the window procedures and the pump test for.
constexpr uint32_t WM_DESTROY = 2;
constexpr uint32_t WM_SIZE = 5;
constexpr uint32_t WM_SETFOCUS = 7;
constexpr uint32_t WM_KILLFOCUS = 8;
constexpr uint32_t WM_PAINT = 15;
constexpr uint32_t WM_CLOSE = 16;
constexpr uint32_t WM_QUIT = 18;
constexpr uint32_t WM_KEYDOWN = 256;
constexpr uint32_t WM_KEYUP = 257;
constexpr uint32_t WM_MOUSEMOVE = 512;
constexpr uint32_t WM_LBUTTONDOWN = 513;
constexpr uint32_t WM_LBUTTONUP = 514;
constexpr uint32_t WM_RBUTTONDOWN = 516;
constexpr uint32_t WM_RBUTTONUP = 517;
constexpr uint32_t WM_MBUTTONDOWN = 519;
constexpr uint32_t WM_MBUTTONUP = 520;
constexpr uint32_t WM_MOUSEWHEEL = 522;
constexpr uintptr_t VK_ESCAPE = 27;

// Window and class styles.
constexpr uint32_t WS_VISIBLE = 0x10000000;
constexpr uint32_t WS_FRAMED = 0x00CC0000;  // caption, system menu and sizing frame
constexpr uint32_t CS_HREDRAW_VREDRAW = 3;

// SetWindowPos: insert-after values and flags.
constexpr int32_t HWND_TOPMOST = -1;
constexpr int32_t HWND_TOP = 0;
constexpr uint32_t SWP_NOSIZE = 0x1;
constexpr uint32_t SWP_NOMOVE = 0x2;
constexpr uint32_t SWP_MOVE_ONLY = 0x15;  // no size, no z-order change, no activation

constexpr int32_t SW_HIDE = 0;
constexpr int32_t SW_SHOWNORMAL = 1;

// The shell's full-screen request: hide the task bar, the input-panel button and the Start icon.
constexpr uint32_t SHFS_HIDE_ALL = 0x2A;

// Stock objects and cursors a window class may name.
constexpr int32_t WHITE_BRUSH = 0;
constexpr int32_t BLACK_BRUSH = 4;
constexpr int32_t NO_CURSOR = 0;
constexpr int32_t ARROW_CURSOR = 1;

struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// A message and, for input, what the application is told of it. A backend
// with input fills `event` beside the message the window procedure sees
// (WM_KEYDOWN for a key press, WM_LBUTTONDOWN for a left click ...; WM_NULL
// where the shell has no use for one). Positions in `event` are client-area
// pixels from the top left, as window systems give them; the shell's pump
// turns them to the application's bottom-left origin. Resize carries the new
// client size with WM_SIZE.
struct WindowMessage {
    WindowHandle window;  // kNoWindow for a message to the thread (WM_QUIT)
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    TrellisEvent event{};
};

// Sets a key event's typed text from `length` bytes of UTF-8, cut at a
// character boundary where it does not fit; malformed bytes become U+FFFD.
void SetEventText(TrellisEvent& event, const char* utf8, size_t length);
// Appends one Unicode character to a key event's typed text; false (and the
// text unchanged) when it does not fit.
bool AppendEventText(TrellisEvent& event, uint32_t codePoint);

class WindowSystem;

// A window procedure; it reaches the window system through `system`.
using WindowProc = intptr_t (*)(WindowSystem& system, WindowHandle window, uint32_t message, uintptr_t wParam,
                                intptr_t lParam);

struct WindowClass {
    uint32_t style;
    WindowProc windowProc;
    void* instance;
    int32_t cursor;           // NO_CURSOR or ARROW_CURSOR
    int32_t backgroundBrush;  // stock object number
    const char16_t* className;
};

class WindowSystem : public DisplayDriver {
public:
    WindowSystem() = default;
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;
    virtual ~WindowSystem() = default;

    // Window classes and windows. Positions and sizes are those of the whole
    // window, frame included; the client area is what AdjustWindowRectEx frames.
    virtual bool RegisterClass(const WindowClass& windowClass) = 0;
    virtual WindowHandle CreateWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title,
                                        uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                                        void* instance) = 0;
    virtual void SetWindowPos(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width,
                              int32_t height, uint32_t flags) = 0;
    virtual void SetForegroundWindow(WindowHandle window) = 0;
    virtual void ShowWindow(WindowHandle window, int32_t command) = 0;
    virtual void UpdateWindow(WindowHandle window) = 0;
    virtual void MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                            bool repaint) = 0;
    // Sends WM_DESTROY to the window's procedure, then destroys it.
    virtual void DestroyWindow(WindowHandle window) = 0;
    virtual void InvalidateRect(WindowHandle window, const Rect& rect, bool erase) = 0;
    // Changes the title a window was created with.
    virtual void SetWindowText(WindowHandle window, const char16_t* title) = 0;
    // The shell's full-screen request (SHFS_* flags).
    virtual void FullScreen(WindowHandle window, uint32_t flags) = 0;
    // The largest client area the window's rendering surface can have; a
    // window system that lets others resize the window keeps it within.
    virtual void LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight) = 0;

    // Rectangles: the monitor that holds the window (the primary one by default).
    virtual Rect GetMonitorRect(WindowHandle window) = 0;
    // The part of that monitor left to windows (without panels and docks).
    virtual Rect GetWorkRect(WindowHandle window) { return GetMonitorRect(window); }
    virtual Rect GetWindowRect(WindowHandle window) = 0;
    // Grows a client rectangle into the window rectangle of `style`.
    virtual void AdjustWindowRectEx(Rect& rect, uint32_t style, bool menu, uint32_t exStyle) = 0;
    // The window's user data (GWL_USERDATA).
    virtual void SetWindowUserData(WindowHandle window, void* data) = 0;
    virtual void* GetWindowUserData(WindowHandle window) = 0;

    // The message queue. PeekMessage removes the next message for `window` (or
    // for the thread, such as WM_QUIT) and returns false when there is none.
    virtual bool PeekMessage(WindowMessage& message, WindowHandle window) = 0;
    // Accelerator tables are never loaded by the shell; `accelerators` is 0.
    virtual bool TranslateAccelerator(WindowHandle window, uint32_t accelerators, const WindowMessage& message) = 0;
    virtual void TranslateMessage(const WindowMessage& message) = 0;
    virtual intptr_t DispatchMessage(const WindowMessage& message) = 0;
    virtual void PostQuitMessage(int32_t exitCode) = 0;
    virtual intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual void BeginPaint(WindowHandle window) = 0;
    virtual void EndPaint(WindowHandle window) = 0;

    // Milliseconds from a monotonic clock, wrapping at 2^32.
    virtual uint32_t GetTickCount() = 0;
    // Gives up the processor for about `milliseconds`.
    virtual void Sleep(uint32_t milliseconds) = 0;

    // The two EGL steps that depend on the native window system: the display
    // behind a device context, and a rendering surface for a window's client
    // area. The configuration attributes (EGL_NONE-terminated, at most 32
    // entries) are those the native surface needs, with the multisampling that
    // `fsaaMode` asks for: 1 = two samples, 2 = four, anything else none.
    virtual EGLDisplay GetEGLDisplay(DeviceContext dc) = 0;
    virtual void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) = 0;
    virtual EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window) = 0;
    // Presents the frame drawn to a surface made above; EGL_FALSE when the swap
    // failed (eglGetError tells why). A window's swap is all it takes.
    virtual EGLBoolean SwapBuffers(EGLDisplay display, EGLSurface surface)
    {
        return eglSwapBuffers(display, surface);
    }

    // Vsync for the surfaces of `display`: 1 presents at the refresh, 0 at once.
    virtual bool SetSwapInterval(EGLDisplay display, int32_t interval)
    {
        return eglSwapInterval(display, interval) == EGL_TRUE;
    }
    // Switches a window between full screen on its monitor and a framed window
    // whose client area is `framedClient`; the new size comes back as a
    // resize. False where the window system has no such thing.
    virtual bool SwitchFullScreen(WindowHandle, bool, const Rect&) { return false; }
    // Hides or shows the pointer over a window; false where there is no pointer.
    virtual bool ShowPointer(WindowHandle, bool) { return false; }

    // For messages that say what failed where: the window system and its
    // display ("X11 display :0"), and the EGL call CreateEGLSurface makes.
    virtual std::string Describe() const { return "an unnamed window system"; }
    virtual const char* SurfaceCall() const { return "eglCreateWindowSurface"; }
};

// Destroys `mainWindow` and then `coverWindow` behind it, showing the cover once
// more so that the desktop is repainted; both handles become null. Nothing
// happens without a main window.
inline void DestroyMainAndCoverWindows(WindowSystem& system, WindowHandle& mainWindow, WindowHandle& coverWindow,
                                       int32_t showCommand)
{
    if (mainWindow == kNoWindow) {
        return;
    }
    system.DestroyWindow(mainWindow);
    if (coverWindow != kNoWindow) {
        system.ShowWindow(coverWindow, showCommand);
        system.UpdateWindow(coverWindow);
        system.DestroyWindow(coverWindow);
    }
    mainWindow = kNoWindow;
    coverWindow = kNoWindow;
}

// Fills the attribute list shared by every backend: level 0, the given surface
// type, a depth buffer of at least 16 bits and the multisampling of `fsaaMode`.
void FillEGLConfigAttributes(EGLint surfaceType, int32_t fsaaMode, EGLint* attributes);

} // namespace trellis
