#include "shell/ce/X11Backend.h"

#include "shell/Utf8.h"

#include <EGL/eglext.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/Xatom.h>
#include <X11/XKBlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace trellis {

namespace {

// Requests about windows race the window manager (focus on a window it has
// not mapped yet, a window it already destroyed). Such a request may fail
// without ending the program, which is what Xlib's default handler would do.
int IgnoreXError(Display*, XErrorEvent*)
{
    return 0;
}

// The protocol carries positions in 16 signed bits and sizes in 16 unsigned
// bits, and servers make windows of 1 to 32767 pixels. A value outside is
// held at the nearest limit: cut to 16 bits instead, a size could become 0,
// the window would never be made, and the driver fails on the surface of a
// window that does not exist.
int Coordinate(int32_t position)
{
    return std::clamp<int32_t>(position, -32768, 32767);
}

unsigned Dimension(int32_t size)
{
    return static_cast<unsigned>(std::clamp<int32_t>(size, 1, 32767));
}

// How long the window manager is given to say how large its frames are, and
// to carry out a resize that brings a window within what the driver renders.
constexpr int kFrameExtentsWaitMs = 500;
constexpr int kResizeWaitMs = 2000;

// Xlib calls this when the connection breaks and ends the program if it
// returns; EGL's teardown would send requests on the same connection and
// re-enter here.
int ServerGone(Display* display)
{
    char text[320];
    std::snprintf(text, sizeof text, "The X server of display %.256s has gone away\n", DisplayString(display));
    EndForLostConnection(text);
}

// Xlib's convention: RESOURCE_NAME where set, else the program's name.
const char* ResourceName()
{
    const char* name = std::getenv("RESOURCE_NAME");
    return name != nullptr && *name != 0 ? name : program_invocation_short_name;
}

// WM_NAME is Latin-1; characters beyond it become '?'. Window managers
// that read _NET_WM_NAME show the whole title.
std::string Latin1Title(const char16_t* title)
{
    std::string text;
    for (; *title != 0; ++title) {
        text.push_back(*title < 0x100 ? static_cast<char>(*title) : '?');
    }
    return text;
}

std::vector<long> ReadLongs(Display* display, Window window, Atom property, Atom type)
{
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format, &count, &remaining,
                           &data) == Success &&
        data != nullptr) {
        if (actualType == type && format == 32) {
            const long* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
        }
        XFree(data);
    }
    return values;
}

void SendToRoot(Display* display, Window window, Atom type, long data0, long data1, long data2, long data3)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    event.xclient.data.l[0] = data0;
    event.xclient.data.l[1] = data1;
    event.xclient.data.l[2] = data2;
    event.xclient.data.l[3] = data3;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

// Takes events of `type` for `window` as they come, for up to `waitMs`, until
// `wanted` accepts one; events of other kinds stay queued in order.
bool AwaitEvent(Display* display, Window window, int type, int waitMs,
                const std::function<bool(const XEvent&)>& wanted, XEvent& event)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        while (XCheckTypedWindowEvent(display, window, type, &event)) {
            if (wanted(event)) {
                return true;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            return false;
        }
        pollfd ready{ConnectionNumber(display), POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            return false;
        }
    }
}

} // namespace

std::unique_ptr<X11Backend> X11Backend::Open(const char* displayName)
{
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr) {
        return nullptr;
    }
    XSetErrorHandler(IgnoreXError);
    XSetIOErrorHandler(ServerGone);
    return std::unique_ptr<X11Backend>(new X11Backend(display));
}

X11Backend::X11Backend(Display* connection)
    : display(connection),
      wmProtocols(XInternAtom(connection, "WM_PROTOCOLS", False)),
      wmDeleteWindow(XInternAtom(connection, "WM_DELETE_WINDOW", False)),
      netWmState(XInternAtom(connection, "_NET_WM_STATE", False)),
      netWmStateFullscreen(XInternAtom(connection, "_NET_WM_STATE_FULLSCREEN", False)),
      netWmStateAbove(XInternAtom(connection, "_NET_WM_STATE_ABOVE", False)),
      motifWmHints(XInternAtom(connection, "_MOTIF_WM_HINTS", False)),
      netActiveWindow(XInternAtom(connection, "_NET_ACTIVE_WINDOW", False)),
      netWmPid(XInternAtom(connection, "_NET_WM_PID", False)),
      netWmName(XInternAtom(connection, "_NET_WM_NAME", False)),
      utf8String(XInternAtom(connection, "UTF8_STRING", False)),
      netSupported(XInternAtom(connection, "_NET_SUPPORTED", False)),
      netRequestFrameExtents(XInternAtom(connection, "_NET_REQUEST_FRAME_EXTENTS", False)),
      netFrameExtents(XInternAtom(connection, "_NET_FRAME_EXTENTS", False)),
      netWorkarea(XInternAtom(connection, "_NET_WORKAREA", False)),
      netCurrentDesktop(XInternAtom(connection, "_NET_CURRENT_DESKTOP", False))
{
    // A held key repeats as presses alone, so a press of a key already down
    // is a repeat.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(connection, True, &detectable);
    // The input method named by XMODIFIERS (or the built-in one, which
    // composes dead keys) where the locale allows one; the program's locale
    // is its own to choose.
    if (XSupportsLocale() && XSetLocaleModifiers("") != nullptr) {
        inputMethod = XOpenIM(connection, nullptr, nullptr, nullptr);
    }
}

X11Backend::~X11Backend()
{
    for (const auto& entry : windows) {
        if (entry.second.inputContext != nullptr) {
            XDestroyIC(entry.second.inputContext);
        }
        if (entry.second.window != 0) {
            XDestroyWindow(display, entry.second.window);
        }
    }
    if (inputMethod != nullptr) {
        XCloseIM(inputMethod);
    }
    if (blankCursor != 0) {
        XFreeCursor(display, blankCursor);
    }
    XCloseDisplay(display);
}

X11Backend::Native* X11Backend::Find(WindowHandle window)
{
    const auto found = windows.find(window);
    return found == windows.end() ? nullptr : &found->second;
}

unsigned long X11Backend::NativeWindow(WindowHandle window)
{
    const Native* native = Find(window);
    return native != nullptr ? native->window : 0;
}

bool X11Backend::OpenWindow(WindowHandle window, const Rect& rect, bool framed, bool visible, const char16_t* title)
{
    XSetWindowAttributes attributes{};
    // Black hides what lay beneath (the cover window's purpose) until a
    // rendering surface paints the window.
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                            KeyReleaseMask | FocusChangeMask | StructureNotifyMask | LeaveWindowMask;
    const Window native =
        XCreateWindow(display, DefaultRootWindow(display), Coordinate(rect.left), Coordinate(rect.top),
                      Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    if (native == 0) {
        return false;
    }
    windows[window] = Native{native, nullptr, framed};
    // Lets a person's tools and window-manager rules find the program's windows.
    XClassHint classHint{const_cast<char*>(ResourceName()), const_cast<char*>("Trellis")};
    XSetClassHint(display, native, &classHint);
    Atom deleteWindow = wmDeleteWindow;
    XSetWMProtocols(display, native, &deleteWindow, 1);
    SetTitle(window, title);
    if (inputMethod != nullptr) {
        XIC context = XCreateIC(inputMethod, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                                native, XNFocusWindow, native, nullptr);
        if (context != nullptr) {
            windows[window].inputContext = context;
        }
    }
    // The client area goes where the shell's rectangle less the frame puts
    // it; a window manager should keep it and draw its frame around it.
    XSizeHints hints{};
    hints.flags = PPosition | PSize | PWinGravity;
    hints.win_gravity = StaticGravity;
    XSetWMNormalHints(display, native, &hints);
    if (!framed) {
        // A window without a caption has no frame at all: decorations off.
        const long motifHints[5] = {2 /* decorations given */, 0, 0 /* none */, 0, 0};
        XChangeProperty(display, native, motifWmHints, motifWmHints, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(motifHints), 5);
    }
    // Lets a window manager (or a test) tell which process the window belongs to.
    const long pid = getpid();
    XChangeProperty(display, native, netWmPid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    if (visible) {
        XMapWindow(display, native);
    }
    XFlush(display);
    return true;
}

void X11Backend::PlaceWindow(WindowHandle window, Rect& rect)
{
    const Native* native = Find(window);
    if (native == nullptr) {
        return;
    }
    if (native->framed) {
        KeepFrameReachable(rect);
    }
    XMoveResizeWindow(display, native->window, Coordinate(rect.left), Coordinate(rect.top),
                      Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top));
    XFlush(display);
    if (native->maxWidth > 0 && rect.right - rect.left <= native->maxWidth &&
        rect.bottom - rect.top <= native->maxHeight) {
        AwaitSize(window, static_cast<int>(Dimension(rect.right - rect.left)),
                  static_cast<int>(Dimension(rect.bottom - rect.top)));
    }
}

// A window manager carries out resizes on its own time, in order, so an
// earlier request (sent before the driver's limit was known) may still make
// the window larger than the driver renders, and drawing into it then takes
// the driver down. The answer to this resize is awaited (briefly) before
// anything is drawn.
void X11Backend::AwaitSize(WindowHandle window, int width, int height)
{
    const Window native = NativeWindow(window);
    XWindowAttributes now{};
    if (XGetWindowAttributes(display, native, &now) == 0 || (now.width == width && now.height == height)) {
        return;
    }
    // Sizes reported before the answer are out of date and dropped; the
    // answer goes to the application as any resize does.
    XEvent event;
    if (AwaitEvent(display, native, ConfigureNotify, kResizeWaitMs,
                   [width, height](const XEvent& configure) {
                       return configure.xconfigure.width == width && configure.xconfigure.height == height;
                   },
                   event)) {
        NativeEvent resized;
        resized.window = window;
        if (TranslateEvent(event, resized)) {
            Deliver(resized);
        }
    }
}

// The frame a window manager will draw around a framed window, measured on a
// window that is never shown, so that the shell's rectangles include it from
// the first framed window on. None without a window manager that says.
void X11Backend::MeasureFrame()
{
    if (frameMeasured) {
        return;
    }
    frameMeasured = true;
    if (!ManagerSupports(netRequestFrameExtents)) {
        return;
    }
    const Window root = DefaultRootWindow(display);
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    const Window probe =
        XCreateWindow(display, root, 0, 0, 100, 100, 0, CopyFromParent, InputOutput, CopyFromParent, CWEventMask,
                      &attributes);
    SendToRoot(display, probe, netRequestFrameExtents, 0, 0, 0, 0);
    XFlush(display);
    XEvent event;
    const Atom extentsAtom = netFrameExtents;
    if (AwaitEvent(display, probe, PropertyNotify, kFrameExtentsWaitMs,
                   [extentsAtom](const XEvent& change) { return change.xproperty.atom == extentsAtom; }, event)) {
        const std::vector<long> extents = ReadLongs(display, probe, netFrameExtents, XA_CARDINAL);
        if (extents.size() == 4) {
            // Left, right, top, bottom.
            frame = Rect{static_cast<int32_t>(extents[0]), static_cast<int32_t>(extents[2]),
                         static_cast<int32_t>(extents[1]), static_cast<int32_t>(extents[3])};
        }
    }
    XDestroyWindow(display, probe);
}

Rect X11Backend::FrameInsets()
{
    MeasureFrame();
    return frame;
}

// A frame larger than the work area is centred off it; its top left (the
// title bar and the window menu) is kept where a person can reach it.
void X11Backend::KeepFrameReachable(Rect& rect)
{
    const Rect work = WorkArea();
    const int32_t right = std::max(0, work.left - (rect.left - frame.left));
    const int32_t down = std::max(0, work.top - (rect.top - frame.top));
    rect = Rect{rect.left + right, rect.top + down, rect.right + right, rect.bottom + down};
}

void X11Backend::RaiseWindow(WindowHandle window)
{
    const Window native = NativeWindow(window);
    XRaiseWindow(display, native);
    // A window manager activates on request; without one, focus is set directly.
    SendToRoot(display, native, netActiveWindow, 1, CurrentTime, 0, 0);
    XSetInputFocus(display, native, RevertToParent, CurrentTime);
    XFlush(display);
}

void X11Backend::ShowWindow(WindowHandle window, bool visible)
{
    if (visible) {
        XMapWindow(display, NativeWindow(window));
    } else {
        XUnmapWindow(display, NativeWindow(window));
    }
    XFlush(display);
}

void X11Backend::CloseWindow(WindowHandle window)
{
    const Native* native = Find(window);
    if (native == nullptr) {
        return;
    }
    if (native->inputContext != nullptr) {
        XDestroyIC(native->inputContext);
    }
    // One that another client destroyed is already gone.
    if (native->window != 0) {
        XDestroyWindow(display, native->window);
    }
    windows.erase(window);
    XFlush(display);
}

// A window manager makes a full-screen window span the monitor whatever its
// size, so only one that spans it already is made full screen there. A
// smaller one (the quarter-size surface and its cover) stays at the
// rectangle the shell gave it, kept above other windows instead.
void X11Backend::MakeFullScreen(WindowHandle window, bool spans)
{
    constexpr long kAdd = 1;
    constexpr long kFromApplication = 1;
    const Atom state = spans ? netWmStateFullscreen : netWmStateAbove;
    SendToRoot(display, NativeWindow(window), netWmState, kAdd, static_cast<long>(state), 0, kFromApplication);
    XFlush(display);
}

bool X11Backend::ManagerSupports(unsigned long state)
{
    const std::vector<long> supported = ReadLongs(display, DefaultRootWindow(display), netSupported, XA_ATOM);
    return std::find(supported.begin(), supported.end(), static_cast<long>(state)) != supported.end();
}

// A window manager keeps a full-screen window on the monitor through the
// EWMH state, and puts back the size it had before it, which for a window
// that started in full screen is the monitor's: the framed rectangle is asked
// for on top. Without a manager the window is simply given the monitor's
// rectangle. A window that started without decorations gets the manager's.
bool X11Backend::SwitchFullScreen(WindowHandle window, bool on, const Rect& framedClient)
{
    constexpr long kFromApplication = 1;
    const Window native = NativeWindow(window);
    if (native == 0) {
        return false;
    }
    const bool managed = ManagerSupports(netWmStateFullscreen);
    if (!on) {
        XDeleteProperty(display, native, motifWmHints);
    }
    if (managed) {
        SendToRoot(display, native, netWmState, on ? 1 : 0, static_cast<long>(netWmStateFullscreen), 0,
                   kFromApplication);
    }
    if (!on || !managed) {
        const Rect rect = on ? Monitor() : framedClient;
        XMoveResizeWindow(display, native, Coordinate(rect.left), Coordinate(rect.top),
                          Dimension(rect.right - rect.left), Dimension(rect.bottom - rect.top));
        XRaiseWindow(display, native);
    }
    XFlush(display);
    return true;
}

bool X11Backend::ShowPointer(WindowHandle window, bool show)
{
    const Window native = NativeWindow(window);
    if (native == 0) {
        return false;
    }
    if (show) {
        XUndefineCursor(display, native);
    } else {
        if (blankCursor == 0) {
            const char bits[1] = {0};
            const Pixmap pixmap = XCreateBitmapFromData(display, native, bits, 1, 1);
            XColor black{};
            blankCursor = XCreatePixmapCursor(display, pixmap, pixmap, &black, &black, 0, 0);
            XFreePixmap(display, pixmap);
        }
        XDefineCursor(display, native, blankCursor);
    }
    XFlush(display);
    return true;
}

void X11Backend::LimitClientSize(WindowHandle window, int32_t maxWidth, int32_t maxHeight)
{
    Native* native = Find(window);
    if (native == nullptr) {
        return;
    }
    native->maxWidth = maxWidth;
    native->maxHeight = maxHeight;
    XSizeHints hints{};
    hints.flags = PPosition | PSize | PWinGravity | PMaxSize;
    hints.win_gravity = StaticGravity;
    hints.max_width = static_cast<int>(Dimension(maxWidth));
    hints.max_height = static_cast<int>(Dimension(maxHeight));
    XSetWMNormalHints(display, native->window, &hints);
    XFlush(display);
}

Rect X11Backend::Monitor()
{
    const int screen = DefaultScreen(display);
    return Rect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

// The current desktop's work area where a window manager publishes one.
Rect X11Backend::WorkArea()
{
    const Window root = DefaultRootWindow(display);
    const std::vector<long> areas = ReadLongs(display, root, netWorkarea, XA_CARDINAL);
    const std::vector<long> desktop = ReadLongs(display, root, netCurrentDesktop, XA_CARDINAL);
    const size_t at = desktop.size() == 1 && desktop[0] >= 0 ? 4 * static_cast<size_t>(desktop[0]) : 0;
    if (areas.size() < at + 4 || areas[at + 2] <= 0 || areas[at + 3] <= 0) {
        return Monitor();
    }
    const auto edge = [](long value) { return static_cast<int32_t>(std::clamp<long>(value, -32768, 65535)); };
    return Rect{edge(areas[at]), edge(areas[at + 1]), edge(areas[at] + areas[at + 2]),
                edge(areas[at + 1] + areas[at + 3])};
}

void X11Backend::SetTitle(WindowHandle window, const char16_t* title)
{
    const Window native = NativeWindow(window);
    XStoreName(display, native, Latin1Title(title).c_str());
    const std::string utf8 = NarrowUtf16(title);
    XChangeProperty(display, native, netWmName, utf8String, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XFlush(display);
}

EGLDisplay X11Backend::GetEGLDisplay()
{
    // Asked for by platform, so that EGL_PLATFORM in the environment cannot
    // turn the X connection into some other kind of display.
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (getPlatformDisplay != nullptr) {
        return getPlatformDisplay(EGL_PLATFORM_X11_EXT, display, nullptr);
    }
    return eglGetDisplay(reinterpret_cast<EGLNativeDisplayType>(display));
}

void X11Backend::GetEGLConfigAttributes(int32_t fsaaMode, EGLint* attributes)
{
    FillEGLConfigAttributes(EGL_WINDOW_BIT, fsaaMode, attributes);
}

EGLSurface X11Backend::CreateEGLSurface(EGLDisplay eglDisplay, EGLConfig config, WindowHandle window, const Rect&)
{
    const Window native = NativeWindow(window);
    if (native == 0) {
        return EGL_NO_SURFACE;
    }
    // From here the surface paints the window; a background would flash
    // between frames.
    XSetWindowBackgroundPixmap(display, native, None);
    return eglCreateWindowSurface(eglDisplay, config, static_cast<EGLNativeWindowType>(native), nullptr);
}

std::string X11Backend::Describe() const
{
    return std::string("X11 display ") + DisplayString(display);
}

} // namespace trellis
