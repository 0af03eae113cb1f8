#pragma once
#include <EGL/egl.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/TrellisEvent.h"

namespace trellis {

using WindowHandle = uint32_t;  // 0: no window
constexpr WindowHandle kNoWindow = 0;

struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// What a backend reports of a window: an input event for the application, or
// one of the window system's own notices that only the window procedure sees.
enum class NativeEventKind : uint8_t {
    Input,
    Close,    // the user or the compositor asks the window to close
    Destroy,  // another client destroyed the window
    Repaint,  // part of the window must be drawn again
};

struct NativeEvent {
    NativeEvent() = default;
    explicit NativeEvent(WindowHandle of, NativeEventKind what = NativeEventKind::Input) : window(of), kind(what) {}

    WindowHandle window = kNoWindow;
    NativeEventKind kind = NativeEventKind::Input;
    TrellisEvent input;    // positions in client-area pixels from the top left
    uint32_t keyCode = 0;  // key events: the window system's code of the key
};

// Where a backend's events go. A Resize carries the client size the window
// now has (held within its size limit).
class EventSink {
public:
    virtual void Deliver(const NativeEvent& event) = 0;

protected:
    ~EventSink() = default;
};

// What the shell needs of a real window system, and no more. Handles are the
// shell's; every rectangle is a client area in the window system's
// coordinates. Every call runs on the one thread that runs the shell.
class WindowBackend {
public:
    WindowBackend() = default;
    WindowBackend(const WindowBackend&) = delete;
    WindowBackend& operator=(const WindowBackend&) = delete;
    virtual ~WindowBackend() = default;

    // Events reach `sink` from PollEvents and, where a backend must read
    // while it waits (a swap, a resize), from those calls too.
    void SetEventSink(EventSink& eventSink) { sink = &eventSink; }

    // False: the window cannot be made. `framed` windows get a title bar and
    // frame where the window system draws them.
    virtual bool OpenWindow(WindowHandle window, const Rect& client, bool framed, bool visible,
                            const char16_t* title) = 0;
    virtual void CloseWindow(WindowHandle window) = 0;
    // Moves and sizes the window; a backend that keeps it elsewhere (its
    // title bar where a person can reach it) says where in `client`.
    virtual void PlaceWindow(WindowHandle window, Rect& client) = 0;

    // What a window system without such a thing leaves undone: showing,
    // raising (to the front, with the input focus), a title, a size limit
    // (the largest client area the rendering surface can have, kept when
    // others resize the window), and the shell's full-screen request (a
    // window that spans the monitor becomes full screen there; a smaller one,
    // the quarter-size surface, keeps its own rectangle above the others).
    virtual void ShowWindow(WindowHandle, bool) {}
    virtual void RaiseWindow(WindowHandle) {}
    virtual void SetTitle(WindowHandle, const char16_t*) {}
    virtual void LimitClientSize(WindowHandle, int32_t, int32_t) {}
    virtual void MakeFullScreen(WindowHandle, bool) {}

    // The monitor, the part of it left to windows (without panels and docks),
    // and what a frame adds on each side of a framed client area.
    virtual Rect Monitor() = 0;
    virtual Rect WorkArea() { return Monitor(); }
    virtual Rect FrameInsets() { return Rect{0, 0, 0, 0}; }

    // Delivers what the window system has sent, without waiting.
    virtual void PollEvents() = 0;

    // The native EGL steps: the display, the configuration attributes (see
    // FillEGLConfigAttributes), a rendering surface for a window's client
    // area, and presenting a frame; EGL_FALSE when the swap failed.
    virtual EGLDisplay GetEGLDisplay() = 0;
    virtual void GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes) = 0;
    virtual EGLSurface CreateEGLSurface(EGLDisplay display, EGLConfig config, WindowHandle window,
                                        const Rect& client) = 0;
    virtual EGLBoolean SwapBuffers(EGLDisplay display, EGLSurface surface) { return eglSwapBuffers(display, surface); }
    // 1 presents at the refresh, 0 at once.
    virtual bool SetSwapInterval(EGLDisplay display, int32_t interval)
    {
        return eglSwapInterval(display, interval) == EGL_TRUE;
    }

    // Switches a window between full screen and a framed window of client
    // area `framedClient`; the new size arrives as a Resize. False where
    // there is no such thing.
    virtual bool SwitchFullScreen(WindowHandle, bool, const Rect&) { return false; }
    // Hides or shows the pointer over a window; false where there is no pointer.
    virtual bool ShowPointer(WindowHandle, bool) { return false; }

    // For messages that say what failed where: the window system and its
    // display ("X11 display :0"), and the EGL call CreateEGLSurface makes.
    virtual std::string Describe() const = 0;
    virtual const char* SurfaceCall() const { return "eglCreateWindowSurface"; }

protected:
    void Deliver(const NativeEvent& event)
    {
        if (sink != nullptr) {
            sink->Deliver(event);
        }
    }

private:
    EventSink* sink = nullptr;
};

// Ends the program when the connection to the window system is gone, after
// one line that says so. Nothing is released: every release (windows, and
// EGL, whose teardown talks to the same connection) would only fail again,
// while the driver's threads may still be drawing.
[[noreturn]] void EndForLostConnection(const std::string& message);

// Fills the attribute list shared by every backend: level 0, the given surface
// type, a depth buffer of at least 16 bits and the multisampling of `fsaaMode`
// (1 = two samples, 2 = four, anything else none). At most 32 entries,
// EGL_NONE-terminated.
void FillEGLConfigAttributes(EGLint surfaceType, int32_t fsaaMode, EGLint* attributes);

// Sets a key event's typed text from `length` bytes of UTF-8, cut at a
// character boundary where it does not fit; malformed bytes become U+FFFD.
void SetEventText(TrellisEvent& event, const char* utf8, size_t length);
// Appends one Unicode character to a key event's typed text; false (and the
// text unchanged) when it does not fit.
bool AppendEventText(TrellisEvent& event, uint32_t codePoint);

} // namespace trellis
