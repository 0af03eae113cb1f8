#pragma once
#include <EGL/egl.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dualdisplay/DisplayDriver.h"
#include "shell/ce/EventQueue.h"
#include "shell/ce/WindowBackend.h"

namespace trellis {

// The Windows CE style window system the shell is written against: window
// classes and procedures, windows with their placement and user data, the
// message queue with its WM_* messages, painting, device contexts, debug
// output and the tick counter. It is written once, over a WindowBackend that
// is the real window system (X11, Wayland) or none (headless). Its calls are
// virtual so that a test can watch them. Every call runs on the one thread
// that runs the shell.

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

// A message and, for input, what the application is told of it: the message
// made of a window system's event carries the event (WM_KEYDOWN for a key
// press, WM_LBUTTONDOWN for a left click ...; WM_NULL where the shell has no
// use for one). Positions in `event` are client-area pixels from the top
// left, as window systems give them; the shell's pump turns them to the
// application's bottom-left origin. Resize carries the new client size with
// WM_SIZE.
struct WindowMessage {
    WindowHandle window;  // kNoWindow for a message to the thread (WM_QUIT)
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    TrellisEvent event{};
};

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

class WindowSystem : public DisplayDriver, public EventSink {
public:
    explicit WindowSystem(std::unique_ptr<WindowBackend> windowBackend);
    WindowSystem(const WindowSystem&) = delete;
    WindowSystem& operator=(const WindowSystem&) = delete;
    virtual ~WindowSystem();

    // The real window system underneath, for what has no Windows CE call:
    // presenting, vsync, switching full screen, the pointer, descriptions.
    WindowBackend& Backend() { return *backend; }

    // Window classes and windows. Positions and sizes are those of the whole
    // window, frame included; the client area is what AdjustWindowRectEx frames.
    virtual bool RegisterClass(const WindowClass& windowClass);
    virtual WindowHandle CreateWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title,
                                        uint32_t style, int32_t x, int32_t y, int32_t width, int32_t height,
                                        void* instance);
    virtual void SetWindowPos(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width,
                              int32_t height, uint32_t flags);
    virtual void SetForegroundWindow(WindowHandle window);
    virtual void ShowWindow(WindowHandle window, int32_t command);
    virtual void UpdateWindow(WindowHandle window);
    virtual void MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height, bool repaint);
    // Sends WM_DESTROY to the window's procedure, then destroys it.
    virtual void DestroyWindow(WindowHandle window);
    virtual void InvalidateRect(WindowHandle window, const Rect& rect, bool erase);
    // Changes the title a window was created with.
    virtual void SetWindowText(WindowHandle window, const char16_t* title);
    // The shell's full-screen request (SHFS_* flags).
    virtual void FullScreen(WindowHandle window, uint32_t flags);
    // The largest client area the window's rendering surface can have; a
    // window system that lets others resize the window keeps it within.
    virtual void LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight);

    // Rectangles: the monitor that holds the window, and the part of it left
    // to windows (without panels and docks).
    virtual Rect GetMonitorRect(WindowHandle window);
    virtual Rect GetWorkRect(WindowHandle window);
    virtual Rect GetWindowRect(WindowHandle window);
    // The client area of a window, in window-system coordinates; empty for no window.
    Rect GetClientRect(WindowHandle window);
    // Grows a client rectangle into the window rectangle of `style`.
    virtual void AdjustWindowRectEx(Rect& rect, uint32_t style, bool menu, uint32_t exStyle);
    // The window's user data (GWL_USERDATA).
    virtual void SetWindowUserData(WindowHandle window, void* data);
    virtual void* GetWindowUserData(WindowHandle window);

    // The message queue. PeekMessage removes the next message for `window` (or
    // for the thread, such as WM_QUIT) and returns false when there is none:
    // messages the program posted first, then the window system's events in
    // the order they came, then the quit message.
    virtual bool PeekMessage(WindowMessage& message, WindowHandle window);
    // Accelerator tables are never loaded by the shell; `accelerators` is 0.
    virtual bool TranslateAccelerator(WindowHandle window, uint32_t accelerators, const WindowMessage& message);
    virtual void TranslateMessage(const WindowMessage& message);
    virtual intptr_t DispatchMessage(const WindowMessage& message);
    virtual void PostQuitMessage(int32_t exitCode);
    // Messages the program posts to one of its windows, delivered before native ones.
    void PostMessage(const WindowMessage& message);
    virtual intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
    virtual void BeginPaint(WindowHandle window);
    virtual void EndPaint(WindowHandle window);

    // The display driver. No driver stands behind a Linux window system: it
    // knows no escape and makes no objects.
    DeviceContext GetDC(WindowHandle window) override;
    void ReleaseDC(WindowHandle window, DeviceContext dc) override;
    DeviceContext CreateDC(const char16_t* driver) override;
    void DeleteDC(DeviceContext dc) override;
    int32_t ExtEscape(DeviceContext dc, int32_t escape, int32_t inputSize, const void* input, int32_t outputSize,
                      void* output) override;
    DeviceContext CreateCompatibleDC(DeviceContext dc) override;
    GdiObject CreateCompatibleBitmap(DeviceContext dc, int32_t width, int32_t height) override;
    GdiObject GetCurrentObject(DeviceContext dc, uint32_t type) override;
    GdiObject SelectObject(DeviceContext dc, GdiObject object) override;
    void DeleteObject(GdiObject object) override;
    void VirtualFree(uint32_t address, uint32_t size, uint32_t type) override;

    // One 16-bit diagnostic string, as it is.
    void DebugOutput(const char16_t* text) override;
    // Milliseconds from a monotonic clock, wrapping at 2^32.
    virtual uint32_t GetTickCount();
    // Gives up the processor for about `milliseconds`.
    virtual void Sleep(uint32_t milliseconds);

    // The backend's EGL steps: the display behind a device context, the
    // configuration attributes and a rendering surface for a window.
    virtual EGLDisplay GetEGLDisplay(DeviceContext dc);
    virtual void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes);
    virtual EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window);

    // Queues a backend's event for the pump; a key press of a key that is down
    // already arrives as a repeat, and the window's rectangle follows a resize.
    void Deliver(const NativeEvent& event) override;

private:
    struct WindowRecord {
        WindowProc windowProc;
        uint32_t style;
        Rect rect;  // the whole window, frame included
        void* userData;
    };

    WindowRecord* FindWindow(WindowHandle window);
    Rect ClientRectOf(const WindowRecord& record);
    Rect WindowRectOf(const Rect& client, uint32_t style);
    bool NextEvent(WindowHandle window, WindowMessage& message);
    void Place(WindowHandle window, int32_t insertAfter, int32_t x, int32_t y, int32_t width, int32_t height,
               uint32_t flags);

    std::unique_ptr<WindowBackend> backend;
    std::vector<std::pair<std::u16string, WindowProc>> classes;
    std::map<WindowHandle, WindowRecord> windows;
    WindowHandle nextWindow = 1;
    std::deque<WindowMessage> posted;
    EventQueue events;
    HeldKeys heldKeys;
    bool quitPosted = false;
    int32_t quitCode = 0;
};

// The window message a native event becomes, the event riding along. This is
// the one place where events turn into WM_* messages.
WindowMessage MessageFor(const NativeEvent& event);

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

} // namespace trellis
